#ifndef QUORVAL_SRC_COMPUTE_ENTRYLISTS_H
#define QUORVAL_SRC_COMPUTE_ENTRYLISTS_H

#include "src/compute/types.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The rules of the entry lists, apart from the widgets that show them: how a number is read and
// shown, how an offset is held, and what the comparison is given.
namespace EntryLists {

// Reads text as a number in the C locale. Text that is not a number, and text that reads as
// infinity or not-a-number ("inf", "nan", "1e999"), gives 0.
double To_Number(const QString &text);
// A value as an entry field shows it: fixed-point with 4 decimals, C locale.
QString Field_Text(const double &value);
// Appends value exactly as QString::arg(value, width, 'f', 4, QLatin1Char(' ')) writes it
// (fixed-point with 4 decimals in the C locale, right-aligned in width characters, a wider number
// widening its field), at a fraction of the cost: for lists and reports of many values.
void Append_Fixed_Text(QByteArray *text, const double &value, int width);
// What an offset field holds once set to offset: the offset shown with 4 decimals, read back.
double Shown_Offset(const double &offset);
// A list's entries as the comparison takes them: the offset added to nominal and actual (not to
// the uncertainty), sorted by actual.
std::vector<Type::TEntryItem> With_Offset(std::vector<Type::TEntryItem> items,
                                          const double &offset);

// The two entry lists: each list's entries as it holds them (its offset not added) and the offset
// its field holds.
struct TLists
{
    std::vector<Type::TEntryItem> list_a;
    std::vector<Type::TEntryItem> list_b;
    double offset_a = 0.0;
    double offset_b = 0.0;
};

// What the comparison is given: both sets with their offsets added, sorted by actual, and set
// B's offset.
struct TInputs
{
    std::vector<Type::TEntryItem> entries_a;
    std::vector<Type::TEntryItem> entries_b;
    double offset_b = 0.0;
};

TInputs Inputs_Of(const TLists &lists);

} // namespace EntryLists

#endif
