#ifndef QUORVAL_SRC_COMPUTE_DETAILS_H
#define QUORVAL_SRC_COMPUTE_DETAILS_H

#include "src/compute/types.h"

#include <QString>

#include <array>

// The rules of a comparison's identification texts (Type::TDetails), shared by the data file's
// readers and writer, the dialog that edits them and the record that prints them.
namespace Details {

// The texts in their file order, each under the element of its name.
constexpr int Count = 12;
// The one text of several lines.
constexpr int Remarks = 4;
// The order in which the dialog and the record show them: the record's number first, then what
// was compared, each set with its laboratory, certificate and dates, who compared them, remarks.
extern const std::array<int, Count> Shown_Order;
extern const std::array<const char *, Count> Element_Names;
// The labels the record and the dialog give them.
extern const std::array<const char *, Count> Labels;
// At most this many characters (code points) in each text.
constexpr int Most_Characters = 1000;

QString *Field(Type::TDetails *details, int index);
const QString &Field(const Type::TDetails &details, int index);

// The text as it is kept: blanks at both ends taken off, and every line break ("\r\n", "\r")
// made "\n", as XML reads a line break of a file.
QString Normalised(const QString &text);
// Why a normalised text cannot be kept, e.g. "holds the control character U+0009"; empty when it
// can. Refused are control characters other than "\n", characters that XML cannot hold (lone
// surrogates, U+FFFE, U+FFFF) and more than Most_Characters characters.
QString Fault(const QString &text);

// The first fault of the details, named by its element ("Node 'Remarks' holds ..."); empty when
// there is none.
QString First_Fault(const Type::TDetails &details);

} // namespace Details

#endif
