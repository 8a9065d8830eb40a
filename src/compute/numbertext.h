#ifndef QUORVAL_SRC_COMPUTE_NUMBERTEXT_H
#define QUORVAL_SRC_COMPUTE_NUMBERTEXT_H

#include <QString>

// How the program writes numbers as text, in one place: the data file, copied entries and the
// texts people read.
namespace NumberText {

// Fixed-point text of value in the C locale, never with an exponent: at least least_decimals
// decimals, and as many more as the shortest text that reads back as the same double needs.
// Where least_decimals suffice the text is QString::number(value, 'f', least_decimals), except
// that a negative zero keeps its sign ("-0.00000"). Infinity and not-a-number give "inf", "-inf"
// and "nan".
QString Shortest_Fixed(const double &value, int least_decimals);

// The same text with decimal_mark in place of ".": numbers for spreadsheets of a locale with a
// decimal comma.
QString Shortest_Fixed(const double &value, int least_decimals, QChar decimal_mark);

} // namespace NumberText

#endif
