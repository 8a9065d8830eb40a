#ifndef QUORVAL_SRC_COMPUTE_REPORT_H
#define QUORVAL_SRC_COMPUTE_REPORT_H

#include "src/compute/comparison.h"
#include "src/compute/numbertext.h"

#include "core/base/safewrite.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

// The fixed-column text report of a comparison: one line per comparison position and, when any
// position carries an En value, a summary of the offsets and of En.
namespace Report {

// The decimals of the report's numbers: 4 gives the report's own layout, each more widens every
// column (and the summary's numbers) by one character.
constexpr int Least_Decimals = NumberText::Least_Decimals;

// The whole report as it goes into the file (ASCII). offset_b is set B's entry offset,
// dev_offset_b the deviation added to set B's deviations.
QByteArray Text(const std::vector<TComparison::TExportData> &rows, const double &offset_b,
                const double &dev_offset_b, int decimals = Least_Decimals);

// The titles of the report's seven columns, left to right.
extern const std::array<const char *, 7> Column_Titles;

// The decimals of each of the seven columns.
using TDecimals = std::array<int, 7>;
TDecimals Same_Decimals(int decimals);
// The fewest decimals per column with which every value of the rows reads as NumberText::Readable
// wants it: no non-zero value as zero, every uncertainty with two significant digits at least.
TDecimals Readable_Decimals(const std::vector<TComparison::TExportData> &rows);

// A row's seven fields as its line prints them, left to right: each number right-aligned in 10
// characters with four decimals (a wider number widens its field; each decimal more widens it by
// one), after one space, or before it for the position; "     ------" where the row has no such
// value.
using TRow_Fields = std::array<QString, 7>;
TRow_Fields Row_Fields(const TComparison::TExportData &row,
                       const TDecimals &decimals = Same_Decimals(Least_Decimals));

// Whether the row shows an En above 1: the two sets disagree at its position.
bool Disagrees(const TComparison::TExportData &row);

// What says which entries have no position of their own, "2 entries share a position: A 13.0000
// → 12.5000, A 18.0000 → 17.5000", naming the first most of them and how many more there are;
// empty when there are none.
QString Merged_Text(const std::vector<TComparison::TMerged_Entry> &merged, std::size_t most);
// One entry of it: "A 13.0000 → 12.5000".
QString Merged_Entry_Text(const TComparison::TMerged_Entry &entry);

// What the summary says of the En values the report shows.
struct TSummary
{
    int positions = 0;            // rows
    int en_count = 0;             // rows with an En value
    double en_mean = 0.0;         // meaningful only when en_count > 0
    double en_max = 0.0;          // the largest En; 0 without any
    double en_max_position = 0.0; // where it is (the first such position)
    int above_one = 0;            // rows with En > 1: the two sets disagree there
    int covered = 0;              // rows covered by both sets, with an En value or not
};
TSummary Summarise(const std::vector<TComparison::TExportData> &rows);
// Why a summary without any En value has none: "no position is covered by both sets", or that
// the numbers where both sets cover a position are too large to compute with.
QString No_En_Reason(const TSummary &summary);

// Writes the text to file_name, replacing an existing file only once the new one is complete.
// On failure returns false, leaves any existing file unchanged and sets *last_error to
// "ERR  Cannot open file '<name>' for writing." when the file cannot be opened for writing at all
// (missing folder, a directory, no permission), or to "ERR  Cannot write file '<name>': <reason>"
// when writing it failed (a full disk, a file-size limit).
bool Write_File(const QString &file_name, const QByteArray &text, QString *last_error,
                bool *in_place = nullptr);

// The same in two steps, for writing the report together with other files: prepares the new file
// in commit (false with *last_error set as by Write_File), which then replaces the old one. When
// the commit fails for the report, Write_Error(file_name, reason) is Write_File's message.
bool Prepare_File(SafeWrite::TCommit *commit, const QString &file_name, const QByteArray &text,
                  QString *last_error, bool *in_place = nullptr);
QString Write_Error(const QString &file_name, const QString &reason);

} // namespace Report

#endif
