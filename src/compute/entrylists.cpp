#include "src/compute/entrylists.h"

#include "core/base/assertion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace EntryLists {

double To_Number(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "inf", "nan" and overflowing exponents parse, but must never reach the comparison.
    if (!ok || !std::isfinite(value))
        return 0.0;
    return value;
}

QString Field_Text(const double &value) { return QString::number(value, 'f', 4); }

double Shown_Offset(const double &offset) { return To_Number(Field_Text(offset)); }

void Append_Fixed_Text(QByteArray *text, const double &value, int width)
{
    // The exact conversion of the standard library rounds a tie to even where Qt rounds it away
    // from zero; at four decimals a tie is an odd multiple of 1/32. Ties, zeros (Qt drops the
    // sign of -0) and anything unusual are left to Qt itself.
    if (!std::isfinite(value) || value == 0.0 || std::fabs(value) >= 1e15 ||
        std::fabs(std::fmod(value * 32.0, 2.0)) == 1.0) {
        text->append(QStringLiteral("%1").arg(value, width, 'f', 4, QLatin1Char(' ')).toLatin1());
        return;
    }
    char buffer[32];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    QUORVAL_ASSERT(result.ec == std::errc());
    const int length = static_cast<int>(result.ptr - buffer);
    if (length < width)
        text->append(width - length, ' ');
    text->append(buffer, length);
}

std::vector<Type::TEntryItem> With_Offset(std::vector<Type::TEntryItem> items, const double &offset)
{
    for (Type::TEntryItem &item : items) {
        item.nominal += offset;
        item.actual += offset;
    }
    std::sort(items.begin(), items.end(), TEntryItem_Sort());
    return items;
}

TInputs Inputs_Of(const TLists &lists)
{
    TInputs inputs;
    inputs.entries_a = With_Offset(lists.list_a, lists.offset_a);
    inputs.entries_b = With_Offset(lists.list_b, lists.offset_b);
    inputs.offset_b = lists.offset_b;
    return inputs;
}

} // namespace EntryLists
