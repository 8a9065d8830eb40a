#ifndef QUORVAL_SRC_COMPUTE_ENTRYTEXT_H
#define QUORVAL_SRC_COMPUTE_ENTRYTEXT_H

#include "src/compute/progress.h"
#include "src/compute/types.h"

#include <QByteArray>
#include <QChar>
#include <QString>

#include <climits>
#include <vector>

// Entries as plain text, the way spreadsheets and calibration certificates hand them over: one
// entry per line, three numbers (nominal, actual, Uc (k=2), in mm). Read by paste and import,
// written by copy.
namespace EntryText {

// A line that does not give an entry: its number in the text (from 1), its text and why.
struct TBad_Line
{
    int line = 0;
    QString text;
    QString reason;
};

struct TParsed
{
    // The entries in line order, at full precision. Empty unless the text is accepted.
    std::vector<Type::TEntryItem> entries;
    // The first bad lines (at most Most_Reported_Lines) and how many there are in all.
    std::vector<TBad_Line> bad_lines;
    int bad_line_count = 0;
    // Lines that were read as entries or found bad (blank lines and the header not counted).
    int data_line_count = 0;
    // The progress report said stop before the whole text was read: nothing is taken.
    bool stopped = false;
    // The text has more lines of entries than were asked for at most: refused as soon as the
    // first one beyond them was found, without reading any.
    bool too_many = false;

    // A text is taken only as a whole: read to its end, no bad line, and at least one entry (a
    // text without any, such as a header alone, must not empty a set).
    bool Accepted() const
    {
        return !stopped && !too_many && bad_line_count == 0 && data_line_count > 0;
    }
};

constexpr int Most_Reported_Lines = 5;
// Larger values are typing or unit errors, not lengths in mm.
constexpr double Largest_Value = 1e12;

// The decimal mark of the system locale (LC_ALL, LC_NUMERIC, LANG, as Qt reads them, or the
// default QLocale set by the program): "," where the locale has a decimal comma, else ".".
QChar Locale_Decimal_Mark();

// Reads entries from text. Lines end with LF, CR LF or CR; blank lines are skipped, and so is
// one leading line that holds no number (a header).
// Fields: a field may be quoted as in RFC 4180 ("1,5", "a ""b"""); quotes never belong to a
// number. The separator is found once for the whole text: the first of tab, semicolon, comma
// and runs of blanks that splits every line into three numbers.
// Decimal mark: decided once for the whole text by its numbers that can be read with only one
// of "." and "," (0,5 or 1.000,5 say ","; 0.5 or 1,000,000 say "."); the majority wins, and
// locale_mark decides where the text cannot tell. A number of the other mark is then bad. Group
// separators: the other mark, apostrophes and (inside quotes, or with tab or semicolon
// separators) blanks, in groups of three digits. A number like 1,000 under the decimal point
// could be 1000 or 1: it is 1000 where the text's numbers chose the mark or show "," as a group
// separator elsewhere, and bad where only the locale chose it.
// Every field must be a finite number within +-Largest_Value; otherwise the line is bad and the
// text is refused as a whole. Accepted numbers are the doubles nearest to their digits.
// progress, when given, hears every few thousand lines how far the text is read, in characters
// of both passes over it (finding the lines, reading them); when it says stop, the result has
// stopped set and nothing else.
// most_entries: more lines of entries than this are refused (too_many).
TParsed Parse(const QString &text, QChar locale_mark = Locale_Decimal_Mark(),
              const Progress::TReport &progress = {}, int most_entries = INT_MAX);

// The entries one per line, tab-separated, no header: each number in fixed notation (never an
// exponent) with the fewest digits that read back as the same double, decimal_mark ("." or ",")
// as its decimal mark. Parse with the same mark reads them back bit for bit.
QString Entries_Text(const std::vector<Type::TEntryItem> &entries,
                     QChar decimal_mark = Locale_Decimal_Mark());

// Largest file read for import: far beyond any list of entries, short of exhausting memory.
constexpr qint64 Largest_File_Size = qint64(256) * 1024 * 1024;

// Reads a text file of entries into *parsed. Returns false with the reason when the file cannot
// be read as text (missing, not a regular file, too large, not text); bad lines are not such a
// failure, they are in *parsed. progress is Parse's.
bool Read_File(const QString &file_name, TParsed *parsed, QString *reason,
               const Progress::TReport &progress = {}, int most_entries = INT_MAX);

// The text of a file's bytes: UTF-8 with a byte order mark, UTF-16 with one, UTF-8 without one,
// and any other bytes as Windows-1252 (as older spreadsheets export). Returns false with the
// reason for a spreadsheet file (zip or OLE2: .xlsx, .ods, .xls), a NUL byte, a UTF-8 or UTF-16
// text with a BOM that is not valid (an odd byte count, a lone surrogate).
bool Decode(const QByteArray &bytes, QString *text, QString *reason);

} // namespace EntryText

#endif
