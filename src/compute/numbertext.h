#ifndef QUORVAL_SRC_COMPUTE_NUMBERTEXT_H
#define QUORVAL_SRC_COMPUTE_NUMBERTEXT_H

#include <QByteArray>
#include <QLocale>
#include <QString>

// How the program writes numbers as text, in one place: the data file, the lists and fields, the
// report, the CSV, the status line and the record. Everything in the C locale (decimal point
// ".", no grouping), whatever the user's locale.
namespace NumberText {

// The fewest decimals the program shows anywhere.
constexpr int Least_Decimals = 4;

// Fixed-point text of value in the C locale, never with an exponent: at least least_decimals
// decimals, and as many more as the shortest text that reads back as the same double needs.
// Where least_decimals suffice the text is QString::number(value, 'f', least_decimals), except
// that a negative zero keeps its sign ("-0.00000"). Infinity and not-a-number give "inf", "-inf"
// and "nan".
QString Shortest_Fixed(const double &value, int least_decimals);

// The shortest text that reads back as the same double, in whichever of fixed-point and
// exponent notation is shorter ("0.1", "1e-300"), appended to text.
void Append_Shortest(QByteArray *text, const double &value);

// Fixed-point text with exactly the given decimals, as QString::number(value, 'f', decimals)
// writes it (Qt rounds ties away from zero and drops the sign of -0).
QString Fixed(const double &value, int decimals);

// Appends Fixed(value, decimals) right-aligned in width characters (a wider number widens its
// field), exactly as QString::arg(value, width, 'f', decimals, ' ') writes it, at a fraction of
// the cost: for lists and reports of many values.
void Append_Fixed(QByteArray *text, const double &value, int width, int decimals);
void Append_Fixed(QString *text, const double &value, int width, int decimals);
// The same field written at out, for the values it takes fast (finite, not zero, below 1e15, no
// tie): its end, or nullptr with nothing written for any other value, which Append_Fixed
// writes. Needs room for width or Most_Fast_Digits characters, whichever is more.
constexpr int Most_Fast_Digits = 40;
char *Write_Fixed(char *out, const double &value, int width, int decimals);

// What the program shows where it chooses the format itself (the status line, the record):
// at least Least_Decimals decimals and as many more as a non-zero value needs to show at least
// significant significant digits, so that no such value reads as zero; zero of either sign is
// "0.0000", never "-0.0000"; a value that is not finite is "------".
QString Readable(const double &value, int significant = 1);
// The decimals Readable gives a finite value.
int Readable_Decimals(const double &value, int significant = 1);

// The decimals a value carries: those of the shortest fixed-point text that reads back as the same
// double ("0.00003" carries 5), at least least and at most most. The data's resolution: what the
// lists and documents show of values the user typed or a file holds, without the digits of
// floating-point noise in values computed from them.
constexpr int Most_Carried_Decimals = 9;
int Carried_Decimals(const double &value, int least = Least_Decimals,
                     int most = Most_Carried_Decimals);

// Fixed-point text with exactly decimals decimals, where a value that is zero at that resolution
// is zero without a sign ("0.0000", never "-0.0000"); a value that is not finite is "------".
QString At_Resolution(const double &value, int decimals);

// The decimals that show both values' own digits (at least Least_Decimals) and tell them apart
// where they differ: 200.99999 and 200 take 5, 10.000001 and 10 take 6.
int Telling_Decimals(const double &a, const double &b);

// Reads a number as a person types it: "." is a decimal point in every locale, "," one where the
// locale's decimal mark is ","; the locale's thousands separator only in its own pattern (groups
// of three after a first group of one to three digits that does not start with 0, before the
// decimal mark: "1.000,5" in German, "1,000.5" in English); an optional sign and exponent; blanks
// around. False, *value untouched, for any other text, an empty one and a value that is not
// finite.
bool Read_Typed(const QString &text, double *value, const QLocale &locale = QLocale());

// Exact decimal arithmetic on the numbers as they read: the shortest texts that read back as a
// and b are added (subtracted) as decimal numbers without any rounding, and the result is rounded
// once to the nearest double. Typed 0.1 with an offset 0.2 gives 0.3, not 0.30000000000000004,
// and 0.3 less 0.2 gives 0.1 back. Where a or b is not finite, or the result overflows, the
// plain double sum (difference) is returned; an exact zero is +0 unless both inputs are
// zeros whose double sum is -0.
double Decimal_Sum(const double &a, const double &b);
double Decimal_Difference(const double &a, const double &b);

// What the program shows for a number that is not finite.
extern const char *const Not_A_Number;

// The same text with decimal_mark in place of ".": numbers for spreadsheets of a locale with a
// decimal comma.
QString Shortest_Fixed(const double &value, int least_decimals, QChar decimal_mark);

// Reads the text of a number of the data file: XML blanks around, an optional sign, digits with
// an optional decimal point (a digit before or after it) and an optional exponent, nothing else,
// and a finite value. A value too small for a double reads as the zero of its sign, every other
// value as the nearest double (as Qt reads it). False, *value untouched, for any other text.
bool Read_File_Number(const char *begin, const char *end, double *value);

// Text quoted from a file in a message, cut to a readable length: at most Excerpt_Characters
// characters (code points), then "…" and the full length, e.g. "… (1048576 characters)".
constexpr int Excerpt_Characters = 200;
QString Excerpt(const QStringRef &text, int most = Excerpt_Characters);
inline QString Excerpt(const QString &text, int most = Excerpt_Characters)
{
    return Excerpt(QStringRef(&text), most);
}

} // namespace NumberText

#endif
