#include "src/entrylists.h"

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

QString Field_Text(const double &value) { return QString::number(value, 'f', 4); }

double Shown_Offset(const double &offset) { return To_Number(Field_Text(offset)); }

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
