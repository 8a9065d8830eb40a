#ifndef QUORVAL_SRC_COMPUTE_ENTRYTEXT_H
#define QUORVAL_SRC_COMPUTE_ENTRYTEXT_H

#include "src/compute/types.h"

#include <QByteArray>
#include <QString>

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
    // The entries in line order, at full precision. Meaningful only when no line is bad.
    std::vector<Type::TEntryItem> entries;
    // The first bad lines (at most Most_Reported_Lines) and how many there are in all.
    std::vector<TBad_Line> bad_lines;
    int bad_line_count = 0;
    // Lines that were read as entries or found bad (blank lines and the header not counted).
    int data_line_count = 0;

    bool Accepted() const { return bad_line_count == 0; }
};

constexpr int Most_Reported_Lines = 5;
// Larger values are typing or unit errors, not lengths in mm.
constexpr double Largest_Value = 1e12;

// Reads entries from text. Lines end with LF or CR LF; blank lines are skipped, and so is one
// leading line that holds no number (a header). The separator is found once for the whole text:
// the first of tab, semicolon, comma and runs of spaces that splits every line into exactly
// three fields. With tab, semicolon or spaces a decimal comma is read as a decimal point; with
// comma as the separator only "." is. Every field must be a finite number within
// +-Largest_Value; otherwise the line is bad and the text is refused as a whole.
TParsed Parse(const QString &text);

// The entries one per line, tab-separated, each number in the shortest form that reads back as
// the same double, "." as the decimal point, no header.
QString Entries_Text(const std::vector<Type::TEntryItem> &entries);

// Largest file read for import: far beyond any list of entries, short of exhausting memory.
constexpr qint64 Largest_File_Size = qint64(256) * 1024 * 1024;

// Reads a text file of entries into *parsed. Returns false with the reason when the file cannot
// be read as text (missing, not a regular file, too large, not text); bad lines are not such a
// failure, they are in *parsed.
bool Read_File(const QString &file_name, TParsed *parsed, QString *reason);

// The text of a file's bytes: UTF-8 (with or without a byte order mark), or UTF-16 with a byte
// order mark. Returns false with the reason when the bytes are not such text (a NUL byte, bytes
// that are not valid UTF-8).
bool Decode(const QByteArray &bytes, QString *text, QString *reason);

} // namespace EntryText

#endif
