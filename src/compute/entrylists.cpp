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

double Without_Offset(const double &stored, const double &offset)
{
    double value = stored - offset;
    if (!std::isfinite(value) || value + offset == stored)
        return value;
    // The difference is rounded once, and the sum again: the list value wanted, where there is
    // one, lies a step or two from it. The sum grows with the value, so one direction is tried.
    const double toward = value + offset < stored ? INFINITY : -INFINITY;
    double step = value;
    for (int i = 0; i < 4; ++i) {
        step = std::nextafter(step, toward);
        if (step + offset == stored)
            return step;
    }
    return value;
}

std::vector<Type::TEntryItem> With_Offset(std::vector<Type::TEntryItem> items, const double &offset)
{
    for (Type::TEntryItem &item : items) {
        item.nominal += offset;
        item.actual += offset;
    }
    // Entries in strictly ascending order (a loaded file's, as a rule) have only one sorted
    // order; equal actual values are left to the sort, which decides their order as before.
    const auto not_ascending = std::adjacent_find(
        items.begin(), items.end(), [](const Type::TEntryItem &a, const Type::TEntryItem &b) {
            return !(a.actual < b.actual);
        });
    if (not_ascending != items.end())
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
