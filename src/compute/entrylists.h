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
// What the comparison is given: both sets as the comparison sees them (set B's entries with its
// offset in them), sorted by actual, and set B's offset.
struct TInputs
{
    std::vector<Type::TEntryItem> entries_a;
    std::vector<Type::TEntryItem> entries_b;
    double offset_b = 0.0;
};

} // namespace EntryLists

#endif
