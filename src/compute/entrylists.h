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
// Reads such a plain number into *value: true where Qt reads the text as that same finite
// double; false for any other text (which may still read as a number, or as 0).
bool Read_Plain_Number(const char *begin, const char *end, double *value);
// The list value that adding offset turns back into stored, bit for bit wherever a double does
// that (always for a stored value that was itself a list value plus that offset), so that a
// loaded file saves to the same numbers; otherwise the double nearest to it.
double Without_Offset(const double &stored, const double &offset);
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
