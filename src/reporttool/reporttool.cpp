#include "src/reporttool/reporttool.h"

#include "core/base/assertion.h"
#include "core/base/safewrite.h"
#include "src/compute/comparisondocument.h"
#include "src/compute/entrylists.h"
#include "src/compute/numbertext.h"
#include "src/compute/progress.h"
#include "src/compute/report.h"
#include "src/documents/comparisongraphs.h"
#include "src/documents/record.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <new>
#include <utility>

#include <unistd.h>

namespace {

// The warning about entries without a position of their own names this many, then counts.
const std::size_t Merged_Entries_Named = 100;

// A CSV field. The machine format is the shortest text that reads back as the same double,
// independent of the locale. Spreadsheets of a locale with a decimal comma read fixed notation
// with one; their default import splits at commas too (and at semicolons and tabs), so such a
// field is quoted.
void Append_Csv_Number(QByteArray *text, const double &value, bool decimal_comma)
{
    if (!decimal_comma) {
        NumberText::Append_Shortest(text, value);
        return;
    }
    const QByteArray number = NumberText::Shortest_Fixed(value, 0, QLatin1Char(',')).toLatin1();
    if (number.contains(','))
        text->append('"').append(number).append('"');
    else
        text->append(number);
}

void Print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

int Usage_Error(std::FILE *err, const QString &reason)
{
    Print(err, QStringLiteral("quorval-report: %1\n\n%2").arg(reason, TReportTool::Usage()));
    return TReportTool::EXIT_USAGE_ERROR;
}

QString Output_Error(const QString &file_name, const QString &reason)
{
    return QStringLiteral("ERR  Cannot write file '%1': %2\n").arg(file_name, reason);
}

// The report on standard output. One that does not arrive completely (a full disk behind a
// redirection) is a failure, not a success: false with the reason.
bool Write_Standard_Output(std::FILE *out, const QByteArray &report, QString *reason)
{
    errno = 0;
    const std::size_t length = static_cast<std::size_t>(report.size());
    const bool complete = std::fwrite(report.constData(), 1, length, out) == length;
    const bool flushed = std::fflush(out) == 0;
    if (complete && flushed && !std::ferror(out))
        return true;
    const int saved_errno = errno;
    *reason = saved_errno != 0 ? QString::fromLocal8Bit(std::strerror(saved_errno))
                               : QStringLiteral("write error");
    return false;
}

QString Standard_Output_Error(const QString &reason)
{
    return QStringLiteral("ERR  Cannot write the report to standard output: %1\n").arg(reason);
}

bool Parse_Size(const QString &text, QSize *size)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,9})[xX]([0-9]{1,9})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const int width = match.captured(1).toInt();
    const int height = match.captured(2).toInt();
    if (width < TReportTool::Smallest_Plot_Side || width > TReportTool::Largest_Plot_Side ||
        height < TReportTool::Smallest_Plot_Side || height > TReportTool::Largest_Plot_Side)
        return false;
    *size = QSize(width, height);
    return true;
}

// Progress for a person watching a long run: one line on standard error, rewritten in place,
// shown only when that is a terminal and the run has taken longer than the delay, and erased
// before any other message and at the end.
class TProgress_Line
{
public:
    TProgress_Line(std::FILE *err, bool quiet, int delay)
        : d_err(err), d_shown_length(0), d_delay(delay),
          d_enabled(!quiet && ::isatty(::fileno(err)) == 1)
    {
        d_clock.start();
    }
    ~TProgress_Line() { Clear(); }

    // The report function of one stage of the run ("writing the record"); a stage shown with a
    // total of 0 has no percentage.
    Progress::TReport Stage(const QString &what)
    {
        return [this, what](qint64 done, qint64 total) {
            Show(what, done, total);
            return true;
        };
    }
    void Show(const QString &what, qint64 done, qint64 total)
    {
        // A new stage shows at once; the percentage at most ten times a second.
        if (!d_enabled || d_clock.elapsed() < d_delay ||
            (what == d_shown_what && d_since_shown.elapsed() < 100))
            return;
        QString line = QStringLiteral("quorval-report: ") + what;
        if (total > 0)
            line += QStringLiteral(" %1%").arg(100 * std::min(done, total) / total);
        const int length = line.size();
        line = QLatin1Char('\r') + line.leftJustified(d_shown_length);
        Print(d_err, line);
        d_shown_length = length;
        d_shown_what = what;
        d_since_shown.start();
    }
    void Clear()
    {
        if (d_shown_length == 0)
            return;
        Print(d_err,
              QLatin1Char('\r') + QString(d_shown_length, QLatin1Char(' ')) + QLatin1Char('\r'));
        d_shown_length = 0;
        d_shown_what.clear();
    }
    // A message on standard error, not mixed into the progress line.
    void Message(const QString &text)
    {
        Clear();
        Print(d_err, text);
    }

private:
    std::FILE *d_err;
    int d_shown_length; // 0: no line shown
    QString d_shown_what;
    int d_delay;
    bool d_enabled;
    QElapsedTimer d_clock;
    QElapsedTimer d_since_shown;
};

// The options of the command line.
struct TTool_Options
{
    const QCommandLineOption output{{"o", "output"}, "Report file.", "FILE"};
    const QCommandLineOption align{"align", "Compare with alignment."};
    const QCommandLineOption no_align{"no-align", "Compare without alignment."};
    const QCommandLineOption merge{"merge-distance", "Merge distance.", "MM"};
    const QCommandLineOption decimals{"decimals", "Decimals.", "N"};
    const QCommandLineOption csv{"csv", "CSV file.", "FILE"};
    const QCommandLineOption decimal_comma{"decimal-comma", "CSV with decimal commas."};
    const QCommandLineOption plot{"plot", "Plot file.", "FILE"};
    const QCommandLineOption size{"size", "Plot size.", "WxH"};
    const QCommandLineOption record{"record", "Record file.", "FILE"};
    const QCommandLineOption quiet{{"q", "quiet"}, "No progress."};
    const QCommandLineOption help{{"h", "help"}, "Usage."};
    const QCommandLineOption version{"version", "Version."};
};

// Every option at most once, and a value never empty: a repeated one would silently drop a name
// the user typed, and flags are treated alike. The reason, or empty.
QString Repeated_Option(const QCommandLineParser &parser,
                        std::initializer_list<const QCommandLineOption *> options)
{
    for (const QCommandLineOption *option : options) {
        int given = 0;
        for (const QString &name : option->names())
            given += parser.optionNames().count(name);
        const QString name = QStringLiteral("--") + option->names().constLast();
        if (given > 1)
            return QStringLiteral("Option '%1' given more than once.").arg(name);
        if (!option->valueName().isEmpty() && given == 1 && parser.value(*option).isEmpty())
            return QStringLiteral("Option '%1' needs a non-empty value.").arg(name);
    }
    return QString();
}

// Exactly one data file, with a name. The reason, or empty.
QString Data_File_Error(const QStringList &files)
{
    if (files.isEmpty())
        return QStringLiteral("Missing data file argument.");
    if (files.size() > 1)
        return QStringLiteral("Only one data file can be given, not %1.").arg(files.size());
    if (files.first().isEmpty())
        return QStringLiteral("The data file name is empty.");
    return QString();
}

// A plot named .png, .pdf or .svg and a record named .pdf. The reason, or empty.
QString Format_Error(const TReportTool::TArguments &parsed)
{
    if (!parsed.plot_file.isEmpty() && parsed.plot_format == ComparisonGraphs::PLOT_NONE)
        return QStringLiteral("Unknown plot format of '%1': the name must end in .png, .pdf or "
                              ".svg.")
            .arg(parsed.plot_file);
    if (!parsed.record_file.isEmpty() &&
        QFileInfo(parsed.record_file).suffix().compare("pdf", Qt::CaseInsensitive) != 0)
        return QStringLiteral("Unknown record format of '%1': the name must end in .pdf.")
            .arg(parsed.record_file);
    return QString();
}

// Writing an output over the data file, or two outputs into one file, would lose data. The
// reason, or empty.
QString Shared_Output_Error(const TReportTool::TArguments &parsed)
{
    const QStringList outputs = {parsed.output_file, parsed.csv_file, parsed.plot_file,
                                 parsed.record_file};
    for (int i = 0; i < outputs.size(); ++i) {
        if (outputs[i].isEmpty())
            continue;
        if (SafeWrite::Same_File(outputs[i], parsed.input_file))
            return QStringLiteral("Output '%1' is the data file itself.").arg(outputs[i]);
        for (int j = i + 1; j < outputs.size(); ++j)
            if (!outputs[j].isEmpty() && SafeWrite::Same_File(outputs[i], outputs[j]))
                return QStringLiteral("Two outputs go to the same file '%1'.").arg(outputs[j]);
    }
    return QString();
}

// --align and --no-align at most once together, and --decimal-comma only with --csv.
// The reason, or empty.
QString Flag_Error(const QCommandLineParser &parser, int align_count,
                   const QCommandLineOption &decimal_comma_option,
                   const QCommandLineOption &csv_option)
{
    if (align_count > 1)
        return QStringLiteral("Give '--align' or '--no-align' once at most.");
    if (parser.isSet(decimal_comma_option) && !parser.isSet(csv_option))
        return QStringLiteral("Option '--decimal-comma' needs '--csv FILE'.");
    return QString();
}

// The merge distance, the number of decimals and the plot size, where given (not null). False
// with *error set when one is out of range.
bool Parse_Numbers(const QString &merge_distance, const QString &decimals, const QString &size,
                   TReportTool::TArguments *parsed, QString *error)
{
    if (!merge_distance.isNull()) {
        bool ok = false;
        const double distance = merge_distance.toDouble(&ok);
        if (!ok || !std::isfinite(distance) || distance < 0.0) {
            *error = QStringLiteral("Bad merge distance '%1': give a number of millimetres, 0 or "
                                    "more.")
                         .arg(merge_distance);
            return false;
        }
        parsed->merge_distance = distance + 0.0;
    }
    if (!decimals.isNull()) {
        bool ok = false;
        parsed->decimals = decimals.toInt(&ok);
        if (!ok || parsed->decimals < Report::Least_Decimals ||
            parsed->decimals > TReportTool::Most_Decimals) {
            *error = QStringLiteral("Bad number of decimals '%1': give %2 to %3.")
                         .arg(decimals)
                         .arg(Report::Least_Decimals)
                         .arg(TReportTool::Most_Decimals);
            return false;
        }
    }
    if (!size.isNull() && !Parse_Size(size, &parsed->plot_size)) {
        *error = QStringLiteral("Bad plot size '%1': give WxH, each side %2 to %3 pixels.")
                     .arg(size)
                     .arg(TReportTool::Smallest_Plot_Side)
                     .arg(TReportTool::Largest_Plot_Side);
        return false;
    }
    return true;
}

} // namespace

const char *const TReportTool::Version_Text = "quorval-report " QUORVAL_VERSION;
const int TReportTool::Smallest_Plot_Side = 100;
const int TReportTool::Largest_Plot_Side = 10000;
const int TReportTool::Most_Decimals = 12;

QString TReportTool::Usage()
{
    return QStringLiteral(
               "Usage: quorval-report [options] FILE.quorval\n"
               "Writes the comparison report of a Quorval data file.\n"
               "\n"
               "Options:\n"
               "  -o, --output FILE   write the text report to FILE (default: standard output)\n"
               "  --align, --no-align compare with or without aligning set B to set A\n"
               "                      (default: as the data file says, else aligned)\n"
               "  --merge-distance MM merge positions closer than MM millimetres, 0 or more\n"
               "                      (default: as the data file says, else 1.0)\n"
               "  --decimals N        decimals of the report's numbers, 4 to %3 (default 4);\n"
               "                      each one more widens every column by one character\n"
               "  --csv FILE          also write the comparison rows as CSV\n"
               "  --decimal-comma     write the CSV with \";\" separators and decimal commas,\n"
               "                      each number quoted, as spreadsheets of European\n"
               "                      locales read it\n"
               "  --plot FILE         also draw both graphs, one above the other, into FILE:\n"
               "                      .png, .pdf or .svg by its extension\n"
               "  --size WxH          size of the plot in pixels, %1 to %2 each "
               "(default 1000x800)\n"
               "  --record FILE.pdf   also write the comparison's record for filing: heading,\n"
               "                      table, summary and both graphs on numbered pages (PDF)\n"
               "  -q, --quiet         show no progress (shown on a terminal for a run that\n"
               "                      takes longer than a second)\n"
               "  -h, --help          show this usage\n"
               "  --version           show the version\n"
               "\n"
               "Exit status: 0 success, 1 the file cannot be read, an output cannot be written\n"
               "or memory runs out, 2 usage error, 3 a data set holds fewer than two entries.\n"
               "Entries without a position of their own are named in a warning on standard\n"
               "error; the exit status does not change.\n")
        .arg(Smallest_Plot_Side)
        .arg(Largest_Plot_Side)
        .arg(Most_Decimals);
}

bool TReportTool::Parse_Arguments(const QStringList &arguments, TArguments *parsed, QString *error)
{
    QUORVAL_ASSERT(parsed != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    *parsed = TArguments();

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const TTool_Options o;
    parser.addOptions({o.output, o.align, o.no_align, o.merge, o.decimals, o.csv, o.decimal_comma,
                       o.plot, o.size, o.record, o.quiet, o.help, o.version});

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    parsed->help = parser.isSet(o.help);
    parsed->version = parser.isSet(o.version);
    if (parsed->help || parsed->version)
        return true;

    *error = Repeated_Option(parser, {&o.output, &o.merge, &o.decimals, &o.csv, &o.decimal_comma,
                                      &o.plot, &o.size, &o.record, &o.quiet});
    const int align_count = parser.optionNames().count(QStringLiteral("align")) +
                            parser.optionNames().count(QStringLiteral("no-align"));
    if (error->isEmpty())
        *error = Flag_Error(parser, align_count, o.decimal_comma, o.csv);
    if (error->isEmpty())
        *error = Data_File_Error(parser.positionalArguments());
    if (!error->isEmpty())
        return false;
    parsed->input_file = parser.positionalArguments().first();
    parsed->output_file = parser.value(o.output);
    parsed->csv_file = parser.value(o.csv);
    parsed->plot_file = parser.value(o.plot);
    parsed->record_file = parser.value(o.record);
    if (align_count == 1)
        parsed->align = parser.isSet(o.align);
    parsed->decimal_comma = parser.isSet(o.decimal_comma);
    parsed->quiet = parser.isSet(o.quiet);
    const auto Given = [&parser](const QCommandLineOption &option) {
        return parser.isSet(option) ? parser.value(option) : QString();
    };
    if (!Parse_Numbers(Given(o.merge), Given(o.decimals), Given(o.size), parsed, error))
        return false;
    if (!parsed->plot_file.isEmpty())
        parsed->plot_format = ComparisonGraphs::Plot_Format_Of(parsed->plot_file);
    *error = Format_Error(*parsed);
    if (error->isEmpty())
        *error = Shared_Output_Error(*parsed);
    return error->isEmpty();
}

bool TReportTool::Draws(const TArguments &parsed)
{
    return parsed.plot_format != ComparisonGraphs::PLOT_NONE || !parsed.record_file.isEmpty();
}

QByteArray TReportTool::Csv_Text(const std::vector<TComparison::TExportData> &rows,
                                 bool decimal_comma)
{
    const char separator = decimal_comma ? ';' : ',';
    QByteArray text;
    // A row is at most seven numbers of 24 characters, their quotes and separators.
    text.reserve(static_cast<int>(std::min<std::size_t>(rows.size(), 5000000) * 114 + 64));
    for (int column = 0; column < Report::Column_Count; ++column) {
        if (column > 0)
            text.append(separator);
        text.append(Report::Columns[static_cast<std::size_t>(column)].name);
    }
    text.append('\n');
    for (const TComparison::TExportData &row : rows) {
        for (int column = 0; column < Report::Column_Count; ++column) {
            if (column > 0)
                text.append(separator);
            double value = 0.0;
            if (Report::Value_Of(row, column, &value))
                Append_Csv_Number(&text, value, decimal_comma);
        }
        text.append('\n');
    }
    return text;
}

namespace {

// The outputs of a run, made in memory.
struct TOutputs
{
    QByteArray report;
    QByteArray csv;
    QByteArray plot;
    QByteArray record;
};

// file_heading: what the record's heading says of the data file (details, checksum).
bool Make_Outputs(const TReportTool::TArguments &parsed, const TComparison &comparison,
                  const Type::TOptions &options, const Record::THeading &file_heading,
                  TProgress_Line *progress, TOutputs *outputs, QString *error)
{
    outputs->report = Report::Text(comparison.Export_Rows(), comparison.Offset_B(),
                                   comparison.Data_B_Dev_Offset(), parsed.decimals);
    if (!parsed.csv_file.isEmpty())
        outputs->csv = TReportTool::Csv_Text(comparison.Export_Rows(), parsed.decimal_comma);
    const auto legend =
        ComparisonGraphs::TLegendTexts::Of(file_heading.details, options.remove_deviations);
    if (parsed.plot_format != ComparisonGraphs::PLOT_NONE)
        progress->Show(QStringLiteral("drawing the plot"), 0, 0);
    if (parsed.plot_format != ComparisonGraphs::PLOT_NONE &&
        !ComparisonGraphs::Render_Plot(comparison, legend, parsed.plot_format, parsed.plot_size,
                                       TReportTool::Version_Text, &outputs->plot, error))
        return false;
    if (parsed.record_file.isEmpty())
        return true;
    Record::THeading heading = file_heading;
    // The laboratory and the row limit of the user's Options, as the window's record has them;
    // a settings file that is not a regular file is not read (a FIFO would block).
    const QFileInfo settings_file(Record::Settings_File());
    if (settings_file.isFile())
        Record::Read_Settings(QSettings(settings_file.filePath(), QSettings::IniFormat),
                              &heading.laboratory, &heading.row_limit);
    heading.data_file = parsed.input_file;
    heading.created = QDateTime::currentDateTime();
    heading.aligned = options.remove_deviations;
    heading.merge_distance = options.merge_distance;
    heading.en_decimals = parsed.decimals;
    return Record::Render_Pdf(comparison, heading, TReportTool::Version_Text, &outputs->record,
                              error, nullptr,
                              progress->Stage(QStringLiteral("writing the record")));
}

// Every file is written completely beside its target, and only when all of them are written do
// they replace their targets: a failed run leaves the outputs of the last one. All of them are
// locked together first, so that two runs never mix their outputs. The report goes to standard
// output unless it has a file, and only once every file is in place: a pipeline never reads a
// complete-looking report of a failed run.
bool Write_Outputs(const TReportTool::TArguments &parsed, const TOutputs &outputs, std::FILE *out,
                   std::FILE *err, TProgress_Line *progress)
{
    progress->Show(QStringLiteral("writing the files"), 0, 0);
    SafeWrite::TCommit commit;
    QStringList names; // the files to write, in the order of Prepare
    std::vector<const QByteArray *> contents;
    const std::pair<const QString *, const QByteArray *> files[] = {
        {&parsed.output_file, &outputs.report},
        {&parsed.csv_file, &outputs.csv},
        {&parsed.plot_file, &outputs.plot},
        {&parsed.record_file, &outputs.record}};
    for (const auto &file : files) {
        if (!file.first->isEmpty()) {
            names.append(*file.first);
            contents.push_back(file.second);
        }
    }
    QString reason;
    int failed = 0;
    if (!commit.Lock(names, &failed, &reason)) {
        progress->Message(Output_Error(names[failed], reason));
        return false;
    }
    for (int i = 0; i < names.size(); ++i) {
        if (!commit.Prepare(names[i], *contents[static_cast<std::size_t>(i)], &reason)) {
            progress->Message(Output_Error(names[i], reason));
            return false;
        }
    }
    progress->Clear();
    std::function<bool(QString *)> to_standard_output;
    if (parsed.output_file.isEmpty())
        to_standard_output = [out, &outputs](QString *why) {
            return Write_Standard_Output(out, outputs.report, why);
        };
    if (commit.Commit(&failed, &reason, to_standard_output))
        return true;
    Print(err, failed < names.size() ? Output_Error(names[failed], reason)
                                     : Standard_Output_Error(reason));
    return false;
}

} // namespace

int TReportTool::Run(const QStringList &arguments, std::FILE *out, std::FILE *err,
                     int progress_delay)
{
    QUORVAL_ASSERT(out != nullptr);
    QUORVAL_ASSERT(err != nullptr);
    try {
        return Run_Unguarded(arguments, out, err, progress_delay);
    } catch (const std::bad_alloc &) {
        // Whatever was prepared is dropped on the way out: no output is replaced.
        Print(err, QStringLiteral("ERR  Out of memory\n"));
        return EXIT_FILE_ERROR;
    }
}

namespace {

// The file's settings where the command line gives none. Settings given on the command line that
// differ from the file's: the record is then not exactly what the file holds.
Type::TOptions Options_For(const TReportTool::TArguments &parsed, const DataFile::TContent &content,
                           Record::THeading *file_heading)
{
    const Type::TOptions file_options = DataFile::Options_Of(content, Type::TOptions());
    Type::TOptions options = file_options;
    options.remove_deviations = parsed.align.value_or(options.remove_deviations);
    options.merge_distance = parsed.merge_distance.value_or(options.merge_distance);
    if (options.remove_deviations != file_options.remove_deviations ||
        options.merge_distance != file_options.merge_distance) {
        file_heading->data_changed = true;
        file_heading->changed_text = QStringLiteral("settings given on the command line");
    }
    return options;
}

} // namespace

int TReportTool::Run_Unguarded(const QStringList &arguments, std::FILE *out, std::FILE *err,
                               int progress_delay)
{
    TArguments parsed;
    QString error;
    if (!Parse_Arguments(arguments, &parsed, &error))
        return Usage_Error(err, error);
    if (parsed.help) {
        Print(out, Usage());
        return EXIT_OK;
    }
    if (parsed.version) {
        Print(out, QString::fromLatin1(Version_Text) + QLatin1Char('\n'));
        return EXIT_OK;
    }

    TProgress_Line progress(err, parsed.quiet, progress_delay);
    DataFile::TContent content;
    Record::THeading file_heading;
    // Only the record shows the file's checksum, and hashing takes longer than reading.
    if (!DataFile::Load_File(parsed.input_file, &content, &error, nullptr,
                             parsed.record_file.isEmpty() ? nullptr : &file_heading.checksum)) {
        progress.Message(error + QLatin1Char('\n'));
        return EXIT_FILE_ERROR;
    }

    // What the window gives the comparison after opening the same file; the entries are moved
    // there, not copied.
    const Type::TOptions options = Options_For(parsed, content, &file_heading);
    file_heading.details = std::move(content.details);
    EntryLists::TInputs inputs = TComparisonDocument::Inputs_Of(std::move(content));
    const char *too_small = inputs.entries_a.size() < 2   ? "A"
                            : inputs.entries_b.size() < 2 ? "B"
                                                          : nullptr;
    if (too_small != nullptr) {
        progress.Message(QStringLiteral("quorval-report: data set %1 of '%2' holds fewer than two "
                                        "entries: there is no comparison to report.\n")
                             .arg(QLatin1String(too_small), parsed.input_file));
        return EXIT_NO_COMPARISON;
    }

    progress.Show(QStringLiteral("comparing"), 0, 0);
    TComparison comparison;
    const bool compared =
        comparison.Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b, options);
    QUORVAL_ASSERT(compared);
    // The rows hold all the outputs need of the entries but their number.
    file_heading.entries_a = static_cast<int>(inputs.entries_a.size());
    file_heading.entries_b = static_cast<int>(inputs.entries_b.size());
    inputs = EntryLists::TInputs();
    const QString merged = Report::Merged_Text(comparison.Merged_Entries(), Merged_Entries_Named);
    if (!merged.isEmpty())
        progress.Message(QStringLiteral("quorval-report: warning: %1\n").arg(merged));

    // Every output is made in memory first, so that nothing is written when one cannot be made.
    TOutputs outputs;
    if (!Make_Outputs(parsed, comparison, options, file_heading, &progress, &outputs, &error)) {
        progress.Message(error + QLatin1Char('\n'));
        return EXIT_FILE_ERROR;
    }
    return Write_Outputs(parsed, outputs, out, err, &progress) ? EXIT_OK : EXIT_FILE_ERROR;
}
