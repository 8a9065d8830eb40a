#ifndef QUORVAL_SRC_DOCUMENTS_RECORD_H
#define QUORVAL_SRC_DOCUMENTS_RECORD_H

#include "src/compute/progress.h"
#include "src/compute/types.h"

#include <QDateTime>
#include <QPageSize>
#include <QString>

class QByteArray;
class QSettings;
class QPageLayout;
class QPagedPaintDevice;
class TComparison;

// The record of a comparison that a laboratory files: a heading that says what was compared and
// how, the report's table with the rows where the sets disagree (En > 1) marked, the report's
// summary and both graphs, on pages numbered "Page n of m". Plain painting on a paged device (a
// printer or a PDF writer); the graphs need a QGuiApplication.
namespace Record {

// The row limits that Options offers.
constexpr int Default_Row_Limit = 2000;
constexpr int Least_Row_Limit = 10;
constexpr int Most_Row_Limit = 1000000;
// Beyond the rows with En > 1, a record over its row limit shows this many with the largest En.
constexpr int Largest_Rows = 50;

// What the heading says beyond the comparison's own numbers.
struct THeading
{
    QString data_file;         // the data file's name; empty when the data was never saved
    bool data_changed = false; // the comparison is not exactly what that file holds
    // Said after the file's name when data_changed.
    QString changed_text = QStringLiteral("changed since last opened or saved");
    // The SHA-256 of the file's bytes (hex); shown only while the comparison is what it holds.
    QString checksum;
    QDateTime created;         // when the record was made
    bool aligned = true;       // set B aligned to set A
    double merge_distance = 1.0;
    int entries_a = 0;
    int entries_b = 0;
    int en_decimals = 4;    // of the En values, as the report writes them
    Type::TDetails details; // shown where not empty
    QString laboratory;     // its name, then its address lines; not shown when empty
    // A comparison of more rows than this gets the rows with En > 1 and the largest En only.
    int row_limit = Default_Row_Limit;
};


// The laboratory ("Laboratory") and the row limit ("Record_Row_Limit") as the settings file
// keeps them; a text that Details refuses, or a limit outside Least_Row_Limit..Most_Row_Limit,
// leaves the value as it was.
void Read_Settings(const QSettings &settings, QString *laboratory, int *row_limit);
// The settings file of the user's window (~/.quorval/quorval_settings.ini).
QString Settings_File();

// Dots per inch of the records the program sets up itself: the graphs are then laid out and
// drawn as in the graph export.
extern const int Resolution;

// The paper a record is printed on: Letter for paper of Letter's size (216 x 279 mm, as the
// locales give it), A4 for any other.
QPageSize::PageSizeId Paper_Of(int width_mm, int height_mm);
// The paper of the locale's paper setting (LC_PAPER), as Paper_Of maps it.
QPageSize::PageSizeId Locale_Paper();
// The locale's paper, portrait, with margins that every printer prints.
void Set_Up_Page(QPagedPaintDevice *device);

// Paints the record on the device's pages as they are set up. Returns the number of pages, 0 when
// the device cannot be painted on or progress stopped the painting (whoever stops a printer's
// painting aborts its job first, or the pages so far are printed). Progress is reported in pages.
int Paint(QPagedPaintDevice *device, const TComparison &comparison, const THeading &heading,
          const Progress::TReport &progress = Progress::TReport());

// The record as a PDF file in memory (creator names the program in it), at Resolution on the
// locale's paper, or on layout's page where given. Returns false with *error set when it cannot
// be made or progress stopped it.
bool Render_Pdf(const TComparison &comparison, const THeading &heading, const QString &creator,
                QByteArray *pdf, QString *error, const QPageLayout *layout = nullptr,
                const Progress::TReport &progress = Progress::TReport());

} // namespace Record

#endif
