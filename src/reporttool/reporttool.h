#ifndef QUORVAL_SRC_REPORTTOOL_REPORTTOOL_H
#define QUORVAL_SRC_REPORTTOOL_REPORTTOOL_H

#include "src/compute/comparison.h"
#include "src/compute/datafile.h"
#include "src/documents/comparisongraphs.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>
#include <vector>

// The command-line report tool quorval-report: reads a data file, runs the comparison exactly as
// the main window does after opening that file, and writes the text report, optionally a CSV file
// of the report rows, a plot of both graphs and the comparison's record (PDF). Everything but main,
// so that tests can call it.
class TReportTool
{
public:
    // Exit statuses of the tool.
    enum TExitCode {
        EXIT_OK = 0,
        EXIT_FILE_ERROR = 1,   // the data file cannot be read or an output cannot be written
        EXIT_USAGE_ERROR = 2,  // bad command line
        EXIT_NO_COMPARISON = 3 // a data set holds fewer than two entries
    };

    using TPlotFormat = ComparisonGraphs::TPlotFormat;

    struct TArguments
    {
        QString input_file;
        QString output_file; // empty: standard output
        QString csv_file;    // empty: no CSV
        QString plot_file;   // empty: no plot
        QString record_file; // empty: no record
        TPlotFormat plot_format = ComparisonGraphs::PLOT_NONE;
        QSize plot_size = QSize(1000, 800);
        // The comparison's settings given on the command line; the data file's otherwise.
        std::optional<bool> align;
        std::optional<double> merge_distance;
        int decimals = 4;           // of the text report's numbers
        bool decimal_comma = false; // CSV with ";" separators and decimal commas
        bool quiet = false;         // no progress on standard error
        bool help = false;
        bool version = false;
    };

    static const char *const Version_Text;
    static const int Smallest_Plot_Side;
    static const int Largest_Plot_Side;
    static const int Most_Decimals;

    // The usage text printed by --help and after a usage error.
    static QString Usage();

    // Parses the whole command line (the program name first). Returns false with a one-line
    // reason in *error on a usage error.
    static bool Parse_Arguments(const QStringList &arguments, TArguments *parsed, QString *error);

    // Whether the parsed command line asks for a plot or a record: their graphs need a
    // QGuiApplication, nothing else does.
    static bool Draws(const TArguments &parsed);

    // The CSV text of the report rows: a header line and one line per row, numbers in their
    // shortest round-trip form, an empty field wherever the report prints "------". With
    // decimal_comma, ";" separates the fields and the numbers are in fixed notation with a
    // decimal comma.
    static QByteArray Csv_Text(const std::vector<TComparison::TExportData> &rows,
                               bool decimal_comma = false);

    // The whole run: the report goes to out (unless -o is given), messages to err. Returns the
    // exit status. When err is a terminal, a run that takes longer than progress_delay
    // milliseconds shows its progress there on one line (unless --quiet), erased at the end.
    static int Run(const QStringList &arguments, std::FILE *out, std::FILE *err,
                   int progress_delay = 1000);

private:
    static int Run_Unguarded(const QStringList &arguments, std::FILE *out, std::FILE *err,
                             int progress_delay);
};

#endif
