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

// The report's columns, left to right, defined once for the text report, the CSV and the record.
enum class TColumn_Kind
{
    LENGTH,      // a length or a deviation: the data's resolution
    UNCERTAINTY, // an expanded uncertainty: the data's resolution
    EN           // the normalised error: the report's decimals
};
struct TColumn
{
    const char *title;  // "Uc A"
    const char *unit;   // its unit and, for an uncertainty, the coverage factor: "(k=2) (mm)"
    const char *name;   // the CSV's: "uc_a"
    int header_blanks;  // before the title in the text report's header at four decimals
    TColumn_Kind kind;
};
constexpr int Column_Count = 7;
extern const std::array<TColumn, Column_Count> Columns;

// The row's value in a column; false where the row has none (the report's "------").
inline bool Value_Of(const TComparison::TExportData &row, int column, double *value)
{
    switch (column) {
    case 0: *value = row.position; return row.Has_Position();
    case 1: *value = row.dev_a; return row.Has_Dev_A();
    case 2: *value = row.dev_b; return row.Has_Dev_B();
    case 3: *value = row.uc_a; return row.Has_Uc_A();
    case 4: *value = row.uc_a_adj; return row.Has_Uc_A_Adj();
    case 5: *value = row.uc_b; return row.Has_Uc_B();
    default: *value = row.en_value; return row.Has_Position() && row.Has_En();
    }
}

// The decimals of each of the seven columns.
using TDecimals = std::array<int, Column_Count>;
TDecimals Same_Decimals(int decimals);
// The decimals of the documents: the data's resolution for lengths, deviations and
// uncertainties (TComparison::Data_Decimals), the report's decimals for En.
TDecimals Document_Decimals(int data_decimals, int en_decimals = Least_Decimals);
// A row's value in a column as the record shows it: NumberText::At_Resolution, or "------".
QString Cell_Text(const TComparison::TExportData &row, int column, int decimals);

// Whether the row shows an En above 1: the two sets disagree at its position.
bool Disagrees(const TComparison::TExportData &row);

// What says which entries have no position of their own, "2 entries share a position: A 13.0000
// → 12.5000, A 18.0000 → 17.5000", naming the first most of them and how many more there are;
// empty when there are none. Each entry shows as many decimals as tell its length from its
// position (NumberText::Telling_Decimals).
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
