#include "src/compute/entrylists.h"

#include "src/compute/numbertext.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace EntryLists {

double To_Number(const QString &text)
{
    // Plain decimal text, such as every number a data file holds, is read without Qt's copy of
    // it into a byte string.
    char ascii[64];
    const int size = text.size();
    if (size <= static_cast<int>(sizeof ascii)) {
        int i = 0;
        for (const QChar *p = text.constData(); i < size && p[i].unicode() < 0x80; ++i)
            ascii[i] = static_cast<char>(p[i].unicode());
        double value = 0.0;
        if (i == size && Read_Plain_Number(ascii, ascii + size, &value))
            return value;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "inf", "nan" and overflowing exponents parse, but must never reach the comparison.
    if (!ok || !std::isfinite(value))
        return 0.0;
    return value;
}

bool Read_Plain_Number(const char *begin, const char *end, double *value)
{
    double read = 0.0;
    if (!NumberText::Read_File_Number(begin, end, &read))
        return false;
    // Qt reads a number too small for a double as 0 too, but calls that an error: such text is
    // Qt's to judge.
    if (read == 0.0 &&
        std::any_of(begin, std::find_if(begin, end, [](char c) { return c == 'e' || c == 'E'; }),
                    [](char c) { return c >= '1' && c <= '9'; }))
        return false;
    *value = read;
    return true;
}

} // namespace EntryLists
