#include "src/compute/entrylists.h"

#include <algorithm>
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
