#include "src/compute/numbertext.h"

#include "core/base/assertion.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace NumberText {

QString Shortest_Fixed(const double &value, int least_decimals)
{
    QUORVAL_ASSERT(least_decimals >= 0);
    if (!std::isfinite(value))
        return QString::number(value);
    // The shortest fixed-point text of a double has at most 309 integer digits or 343 decimals.
    char buffer[1100];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QUORVAL_ASSERT(result.ec == std::errc());
    const char *point = static_cast<const char *>(
        std::memchr(buffer, '.', static_cast<std::size_t>(result.ptr - buffer)));
    const long decimals = point ? static_cast<long>(result.ptr - point - 1) : 0;
    if (decimals > least_decimals)
        return QString::fromLatin1(buffer, static_cast<int>(result.ptr - buffer));
    // Qt rounds the exact value to least_decimals: the text written so far, which reads back as
    // the same double wherever the shortest digits are no longer than that.
    const QString text = QString::number(value, 'f', least_decimals);
    if (value == 0.0 && std::signbit(value))
        return QLatin1Char('-') + text;
    return text;
}

QString Shortest_Fixed(const double &value, int least_decimals, QChar decimal_mark)
{
    QString text = Shortest_Fixed(value, least_decimals);
    if (decimal_mark != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimal_mark);
    return text;
}

} // namespace NumberText
