// Runs the built quorval-report program and checks its outputs against what the main window
// computes and exports for the same file.

#include "core/widgets/graphwidget.h"
#include "src/compute/comparison.h"
#include "src/compute/comparisondocument.h"
#include "src/compute/datafile.h"
#include "src/compute/report.h"
#include "src/documents/comparisongraphs.h"
#include "src/reporttool/reporttool.h"
#include "src/window/entrywidget.h"
#include "src/window/quorval.h"

#include "test_support.h"

#include <QCryptographicHash>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUORVAL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVAL_ADDRESS_SANITIZER 1
#endif
#endif

#ifndef QUORVAL_REPORT_EXECUTABLE
#error "QUORVAL_REPORT_EXECUTABLE must name the built quorval-report program"
#endif

using Rows = std::vector<TComparison::TExportData>;
using namespace Support;

namespace {

struct TRun
{
    int exit_code = -1;
    QByteArray out;
    QByteArray err;
};

// The tool as a shell's "ulimit" leaves it: a resource limit (none when resource is negative) and
// SIGXFSZ at its default disposition.
class TLimited_Process : public QProcess
{
public:
    TLimited_Process(int resource, rlim_t limit) : d_resource(resource), d_limit(limit) {}

protected:
    void setupChildProcess() override
    {
        std::signal(SIGXFSZ, SIG_DFL);
        const struct rlimit limit = {d_limit, d_limit};
        if (d_resource >= 0 && ::setrlimit(d_resource, &limit) != 0)
            ::_exit(99);
    }

private:
    int d_resource;
    rlim_t d_limit;
};

struct TRun_Options
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString stdout_file;
    QString working_directory;
    int resource = -1;
    rlim_t limit = RLIM_INFINITY;
    // Only so that a tool that hangs fails the test instead of stopping it.
    int timeout_ms = 300000;
};

TRun Run_Program(const QString &program, const QStringList &arguments, const TRun_Options &options)
{
    TLimited_Process process(options.resource, options.limit);
    QProcessEnvironment child = options.environment;
    // The leak checker of a sanitizer build would otherwise list its suppressions on stderr.
    if (child.contains("LSAN_OPTIONS"))
        child.insert("LSAN_OPTIONS", child.value("LSAN_OPTIONS") + ":print_suppressions=0");
    process.setProcessEnvironment(child);
    if (!options.stdout_file.isEmpty())
        process.setStandardOutputFile(options.stdout_file);
    if (!options.working_directory.isEmpty())
        process.setWorkingDirectory(options.working_directory);
    process.start(program, arguments);
    TRun run;
    if (!process.waitForStarted(30000) || !process.waitForFinished(options.timeout_ms))
        return run;
    if (process.exitStatus() == QProcess::NormalExit)
        run.exit_code = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

TRun Run_Tool(const QStringList &arguments, const TRun_Options &options = TRun_Options())
{
    return Run_Program(QStringLiteral(QUORVAL_REPORT_EXECUTABLE), arguments, options);
}

TRun Run_Tool(const QStringList &arguments, const QProcessEnvironment &environment,
              const QString &stdout_file = QString())
{
    TRun_Options options;
    options.environment = environment;
    options.stdout_file = stdout_file;
    return Run_Tool(arguments, options);
}

// The tool through a shell script, which gets the tool as $0 and the given arguments after it.
TRun Run_Shell(const QString &shell, const QString &script, const QStringList &arguments)
{
    return Run_Program(
        shell, QStringList{"-c", script, QStringLiteral(QUORVAL_REPORT_EXECUTABLE)} + arguments,
        TRun_Options());
}

// The text of a data file whose set A has count entries one millimetre apart and whose set B has
// two, so that the comparison has count positions.
QByteArray Data_File_Text(int count)
{
    QByteArray text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<Quorval_Data File_Version=\"2\">\n"
                      "<Data_Set_A_Offset>0.00000</Data_Set_A_Offset>\n"
                      "<Data_Set_B_Offset>0.00000</Data_Set_B_Offset>\n<Data_Set_A>\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray length = QByteArray::number(i) + ".00000";
        text += "<Entry><Nominal>" + length + "</Nominal><Actual>" + length +
                "</Actual><Uc>0.00100</Uc></Entry>\n";
    }
    text += "</Data_Set_A>\n<Data_Set_B>\n"
            "<Entry><Nominal>0.00000</Nominal><Actual>0.00010</Actual><Uc>0.00100</Uc></Entry>\n"
            "<Entry><Nominal>1.00000</Nominal><Actual>1.00010</Actual><Uc>0.00100</Uc></Entry>\n"
            "</Data_Set_B>\n</Quorval_Data>\n";
    return text;
}

// Set A covers 0 to 300, set B (zero at 50.75309 relative to A) covers about 100 to 560: positions
// with A only, both, and B only. The entries are out of order and A's uncertainty changes with
// length, so alignment moves B's deviations and adjusts A's uncertainty.
DataFile::TContent Sample_Content()
{
    DataFile::TContent content;
    content.offset_a = 1.23456;
    content.offset_b = 51.98765;
    content.entries_a = {Entry(200.0, 200.00150, 0.00250), Entry(0.0, -0.00020, 0.00100),
                         Entry(100.0, 100.00120, 0.00200), Entry(300.0, 299.99910, 0.00310),
                         Entry(150.5, 150.50070, 0.00220), Entry(50.0, 50.00040, 0.00140)};
    content.entries_b = {Entry(160.75309, 160.75401, 0.00300), Entry(360.75309, 360.75280, 0.00330),
                         Entry(260.75309, 260.75399, 0.00310), Entry(460.75309, 460.75350, 0.00400),
                         Entry(560.75309, 560.75309, 0.00420)};
    return content;
}

bool Save(const QString &file_name, const DataFile::TContent &content)
{
    QString error;
    return DataFile::Save_File(file_name, content, &error);
}

// What the main window computes after opening the file with the Open command (load, then a
// new comparison) and what its Export writes. The window reads its alignment option from the
// settings file in the home folder, which the test points at its own folder.
struct TWindowResult
{
    Rows rows;
    QByteArray report;
    QByteArray report_6; // the same with six decimals
    int data_decimals = 0;
    QStringList graphs;  // titles and points of both graphs
};

// A graph's titles and every data set's points, exactly (17 digits), one line per set; a bracket's
// colour and points on a line of its own.
QStringList Graph_Text(const TGraphScene &graph)
{
    QStringList text = {graph.Title(), graph.Horizontal_Title(), graph.Vertical_Title()};
    const auto Line = [](const TVector2 *points, std::size_t count) {
        QString line;
        for (std::size_t i = 0; i < count; ++i)
            line += QString::number(points[i].x, 'g', 17) + ' ' +
                    QString::number(points[i].y, 'g', 17) + ';';
        return line;
    };
    for (const TGraphScene::TDataSet &set : graph.Sets()) {
        text.append(Line(set.dataset_points.data(), set.dataset_points.size()));
        for (std::size_t k = 0; k < set.Bracket_Places(); ++k) {
            TGraphScene::TBracket bracket;
            QRgb colour = 0;
            TVector2 points[4];
            if (!set.Bracket(k, &bracket, &colour))
                continue;
            bracket.Points(points);
            text.append(QString::number(colour, 16) + Line(points, 4));
        }
    }
    return text;
}

TWindowResult Window_Result(const QString &file_name, bool align)
{
    TWindowResult result;
    const QString settings_folder = QDir::home().filePath(".quorval");
    const QByteArray settings =
        align ? "[General]\nRemove_Deviations=true\n" : "[General]\nRemove_Deviations=false\n";
    if (!QDir().mkpath(settings_folder) ||
        !Write_All(settings_folder + "/quorval_settings.ini", settings))
        return result;

    TQuorval window;
    if (!window.Load_Data(file_name))
        return result;
    // The file's settings (the defaults where it has none); unaligned where asked, as Options
    // changes them.
    if (!align && window.Options().remove_deviations)
        window.Change_Options({false, window.Options().merge_distance});
    QMetaObject::invokeMethod(&window, "Update", Qt::DirectConnection);
    const QString export_file = QDir::home().filePath("window-export.txt");
    if (!window.Export_Data(export_file))
        return result;
    result.rows = window.Export_Rows();
    result.data_decimals = window.Comparison().Data_Decimals();
    result.report = Read_All(export_file);
    result.report_6 = Report::Text(
        result.rows, window.findChild<TEntryWidget *>("entry_widget_b")->Entry_Offset(),
        window.Data_B_Dev_Offset(), 6);
    result.graphs =
        Graph_Text(window.Deviation_Graph()->Scene()) + Graph_Text(window.En_Graph()->Scene());
    return result;
}

// The CSV as rows of fields, without the header.
// The CSV's rows split as a spreadsheet's default import does: at , ; and tab outside quotes.
QList<QList<QByteArray>> Csv_Fields(const QByteArray &csv)
{
    QList<QByteArray> lines = csv.split('\n');
    QList<QList<QByteArray>> fields;
    if (lines.isEmpty() || lines.takeLast() != QByteArray())
        return fields; // the text must end with a line feed
    if (!lines.isEmpty())
        lines.removeFirst();
    static const QRegularExpression separator("[,;\t](?=(?:[^\"]*\"[^\"]*\")*[^\"]*$)");
    for (const QByteArray &line : lines) {
        QList<QByteArray> row;
        for (const QString &field : QString::fromLatin1(line).split(separator))
            row.append(QString(field).remove('"').toLatin1());
        fields.append(row);
    }
    return fields;
}

// The data lines of a report: the lines after the ruler up to the first empty line.
QList<QByteArray> Report_Lines(const QByteArray &report)
{
    const QList<QByteArray> lines = report.split('\n');
    QList<QByteArray> data;
    for (int i = 4; i < lines.size() && !lines[i].isEmpty(); ++i)
        data.append(lines[i]);
    return data;
}

bool Has_Ink(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xffffff) != 0xffffff)
                return true;
    return false;
}

} // namespace

class TTestReportTool : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir d_dir;
    QString d_sample;

    QString Path(const QString &name) const { return d_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(d_dir.isValid());
        // The window keeps its settings below the home folder.
        QVERIFY(QDir().mkpath(Path("home")));
        qputenv("HOME", QFile::encodeName(Path("home")));
        d_sample = Path("sample.quorval");
        QVERIFY(Save(d_sample, Sample_Content()));
        // Other names of the usage errors' output folder and of a file in it.
        QVERIFY(QDir().mkpath(Path("usage")));
        QVERIFY(::symlink("usage", QFile::encodeName(Path("usage-link")).constData()) == 0);
        QVERIFY(::symlink("usage/target.txt", QFile::encodeName(Path("dangling-1")).constData()) ==
                0);
        QVERIFY(::symlink(QFile::encodeName(Path("usage/target.txt")).constData(),
                          QFile::encodeName(Path("dangling-2")).constData()) == 0);
    }

    void Report_Is_The_Windows_Export_data()
    {
        QTest::addColumn<QByteArray>("file_text");   // empty: the sample
        QTest::addColumn<QByteArray>("window_text"); // empty: the tool's file
        QTest::addColumn<bool>("align");             // the window's option
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QByteArray>("warning");
        QTest::newRow("version 2, aligned")
            << QByteArray() << QByteArray() << true << QStringList() << QByteArray();
        QTest::newRow("version 2, not aligned")
            << QByteArray() << QByteArray() << false << QStringList{"--no-align"} << QByteArray();
        const QByteArray version_1 =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<Quorval_Data File_Version=\"1\">\n"
            "<Data_Set_A_Offset>7.0</Data_Set_A_Offset><Data_Set_B_Offset>5.0</Data_Set_B_Offset>\n"
            "<Data_Set_A>"
            "<Entry><Nominal>200.0</Nominal><Actual>200.0015</Actual><Uc>0.002</Uc></Entry>"
            "<Entry><Nominal>100.0</Nominal><Actual>100.0012</Actual><Uc>0.0015</Uc></Entry>"
            "<Entry><Nominal>0.0</Nominal><Actual>0.0002</Actual><Uc>0.001</Uc></Entry>"
            "</Data_Set_A><Data_Set_B>"
            "<Entry><Nominal>100.3</Nominal><Actual>100.3008</Actual><Uc>0.003</Uc></Entry>"
            "<Entry><Nominal>250.0</Nominal><Actual>249.9991</Actual><Uc>0.0035</Uc></Entry>"
            "</Data_Set_B></Quorval_Data>\n";
        QTest::newRow("version 1, aligned")
            << version_1 << QByteArray() << true << QStringList()
            << QByteArray("quorval-report: warning: 1 entry shares a position: "
                          "B 100.3000 \xe2\x86\x92 100.0000\n");
        // The file's settings are followed, and the flags go over them.
        DataFile::TContent content = Sample_Content();
        content.align_deviations = false;
        content.merge_distance = 0.0;
        QByteArray with_settings;
        QString error;
        QVERIFY(DataFile::Save_Data(content, &with_settings, &error));
        QTest::newRow("settings in the file")
            << with_settings << QByteArray() << true << QStringList() << QByteArray();
        QTest::newRow("flags over the file's settings")
            << with_settings << Read_All(d_sample) << true
            << QStringList{"--align", "--merge-distance", "1"} << QByteArray();
    }

    // The report file and standard output both hold byte for byte the window's export; more
    // decimals widen it as the report of the window's rows widens.
    void Report_Is_The_Windows_Export()
    {
        QFETCH(QByteArray, file_text);
        QFETCH(QByteArray, window_text);
        QFETCH(bool, align);
        QFETCH(QStringList, flags);
        QFETCH(QByteArray, warning);
        QString input = d_sample;
        if (!file_text.isEmpty()) {
            input = Path("input.quorval");
            QVERIFY(Write_All(input, file_text));
        }
        QString window_input = input;
        if (!window_text.isEmpty()) {
            window_input = Path("window.quorval");
            QVERIFY(Write_All(window_input, window_text));
        }
        const TWindowResult window = Window_Result(window_input, align);
        QVERIFY(!window.rows.empty());
        QVERIFY(window.report.contains("En Max:"));

        const QString output = Path("report.txt");
        QFile::remove(output);
        QStringList arguments = QStringList{input, "-o", output} + flags;
        const TRun to_file = Run_Tool(arguments);
        QCOMPARE(to_file.exit_code, 0);
        QCOMPARE(to_file.out, QByteArray());
        QCOMPARE(to_file.err, warning);
        QCOMPARE(Read_All(output), window.report);

        arguments = flags + QStringList{input};
        const TRun to_stdout = Run_Tool(arguments);
        QCOMPARE(to_stdout.exit_code, 0);
        QCOMPARE(to_stdout.out, window.report);
        QCOMPARE(to_stdout.err, warning);
        QCOMPARE(Run_Tool(arguments + QStringList{"--decimals", "6"}).out, window.report_6);

        // A decimal comma in the user's locale changes neither the report nor the CSV.
        QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
        german.insert("LC_ALL", "de_DE.UTF-8");
        german.insert("LANG", "de_DE.UTF-8");
        const QString csv = Path("rows.csv");
        const QString german_csv = Path("rows-de.csv");
        QCOMPARE(Run_Tool(arguments + QStringList{"--csv", csv}).exit_code, 0);
        const TRun localised = Run_Tool(arguments + QStringList{"--csv", german_csv}, german);
        QCOMPARE(localised.exit_code, 0);
        QCOMPARE(localised.out, window.report);
        QCOMPARE(Read_All(german_csv), Read_All(csv));
    }

    // Alignment shifts set B's deviations where set B covers a position and adjusts set A's
    // uncertainty where both do; everything else stays as it is.
    void No_Align_Differs_Where_Alignment_Matters()
    {
        const QString aligned_csv = Path("aligned.csv");
        const QString plain_csv = Path("plain.csv");
        const TRun aligned = Run_Tool({d_sample, "--csv", aligned_csv});
        const TRun plain = Run_Tool({"--no-align", d_sample, "--csv", plain_csv});
        QCOMPARE(aligned.exit_code, 0);
        QCOMPARE(plain.exit_code, 0);
        // A's deviation at B's zero (50.7531): 0.0004 + 0.0008 * 0.7531 / 50.
        QVERIFY2(aligned.out.contains("Data B Dev Offset:    0.0004\n"), aligned.out.constData());
        QVERIFY2(plain.out.contains("Data B Dev Offset:    0.0000\n"), plain.out.constData());

        const QList<QList<QByteArray>> a = Csv_Fields(Read_All(aligned_csv));
        const QList<QList<QByteArray>> p = Csv_Fields(Read_All(plain_csv));
        QCOMPARE(a.size(), p.size());
        QVERIFY(a.size() >= 8);
        int only_a = 0, both = 0, only_b = 0;
        for (int i = 0; i < a.size(); ++i) {
            QCOMPARE(a[i].size(), 7);
            QCOMPARE(p[i].size(), 7);
            const bool has_a = !a[i][1].isEmpty();
            const bool has_b = !a[i][2].isEmpty();
            for (int column = 0; column < 7; ++column)
                QCOMPARE(a[i][column].isEmpty(), p[i][column].isEmpty());
            QCOMPARE(a[i][0], p[i][0]); // position
            QCOMPARE(a[i][1], p[i][1]); // dev_a
            QCOMPARE(a[i][3], p[i][3]); // uc_a
            QCOMPARE(a[i][5], p[i][5]); // uc_b
            // dev_b and uc_a_adj change exactly where alignment applies to them.
            QCOMPARE(a[i][2] != p[i][2], has_b);
            QCOMPARE(a[i][4] != p[i][4], has_a && has_b);
            if (has_a && has_b) {
                QVERIFY(a[i][6] != p[i][6]);
                // Without alignment the adjusted uncertainty is the plain one.
                QCOMPARE(p[i][4], p[i][3]);
                ++both;
            } else {
                only_a += has_a;
                only_b += has_b;
            }
        }
        QVERIFY(only_a > 0 && both > 0 && only_b > 0);
    }

    void Csv_Reads_Back_As_The_Report_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("machine format") << QStringList() << QLocale::c();
        QTest::newRow("decimal comma")
            << QStringList{"--decimal-comma"} << QLocale(QLocale::German);
    }

    // The CSV holds the comparison's own doubles, and where the report prints a number the CSV
    // value prints the same; "------" is an empty field. With --decimal-comma, as a German
    // spreadsheet reads it.
    void Csv_Reads_Back_As_The_Report()
    {
        QFETCH(QStringList, options);
        QFETCH(QLocale, locale);
        const char separator = locale.decimalPoint() == ',' ? ';' : ',';
        const QString csv_file = Path("rows.csv");
        const TRun run = Run_Tool(QStringList{d_sample, "--csv", csv_file} + options);
        QCOMPARE(run.exit_code, 0);
        const QByteArray csv = Read_All(csv_file);
        QVERIFY(csv.startsWith(
            QByteArray("position,dev_a,dev_b,uc_a,uc_a_adj,uc_b,en\n").replace(',', separator)));
        QVERIFY(!csv.contains('\r'));

        const TWindowResult window = Window_Result(d_sample, true);
        const QList<QList<QByteArray>> fields = Csv_Fields(csv);
        const QList<QByteArray> lines = Report_Lines(run.out);
        QCOMPARE(fields.size(), static_cast<int>(window.rows.size()));
        QCOMPARE(lines.size(), fields.size());
        int empty_fields = 0;
        for (int i = 0; i < fields.size(); ++i) {
            const TComparison::TExportData &row = window.rows[static_cast<std::size_t>(i)];
            const double expected[7] = {row.position, row.dev_a, row.dev_b,   row.uc_a,
                                        row.uc_a_adj, row.uc_b,  row.en_value};
            const QList<QByteArray> printed = lines[i].simplified().split(' ');
            QCOMPARE(fields[i].size(), 7);
            QCOMPARE(printed.size(), 7);
            for (int column = 0; column < 7; ++column) {
                const QByteArray &field = fields[i][column];
                if (printed[column] == "------") {
                    QVERIFY2(field.isEmpty(), field.constData());
                    ++empty_fields;
                    continue;
                }
                bool ok = false;
                const double value = locale.toDouble(QString::fromLatin1(field), &ok);
                QVERIFY2(ok, field.constData());
                QCOMPARE(std::memcmp(&value, &expected[column], sizeof(double)), 0);
                QCOMPARE(QByteArray::number(value, 'f', 4), printed[column]);
            }
        }
        QVERIFY(empty_fields > 0);
    }

    // The plot shows the window's own graphs: the same titles and data sets in the same order.
    void Plot_Graphs_Are_The_Windows()
    {
        const TWindowResult window = Window_Result(d_sample, true);
        QVERIFY(window.graphs.size() > 20);
        DataFile::TContent content;
        QString error;
        QVERIFY(DataFile::Load_File(d_sample, &content, &error));
        const EntryLists::TInputs inputs = TComparisonDocument::Inputs_Of(content);
        TComparison comparison;
        QVERIFY(comparison.Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b,
                                     Type::TOptions{true}));
        const ComparisonGraphs::TScenes scenes = ComparisonGraphs::Scenes_Of(comparison);
        QCOMPARE(Graph_Text(scenes.deviation) + Graph_Text(scenes.en), window.graphs);
    }

    // Without any display the plot is drawn on Qt's offscreen platform.
    void Png_Plot()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        const QString plot = Path("plot.PNG");
        const TRun run = Run_Tool({d_sample, "--plot", plot, "--size", "640x480"}, environment);
        QCOMPARE(run.exit_code, 0);
        QVERIFY(run.out.startsWith("Comparison Data\n"));
        QImage image;
        QVERIFY(image.load(plot, "PNG"));
        QCOMPARE(image.size(), QSize(640, 480));
        // White background with drawing in both the upper (deviation) and lower (En) graph's
        // plot area, not only in their titles.
        QCOMPARE(image.pixel(0, 0) & 0xffffff, 0xffffffu);
        QVERIFY(Has_Ink(image, QRect(120, 40, 460, 160)));
        QVERIFY(Has_Ink(image, QRect(120, 280, 460, 160)));
        QVERIFY(!Has_Ink(image, QRect(0, 0, 2, 480)));

        // The text report and the CSV need no graphics platform at all: with one that does not
        // exist they are still written, as a plot is not.
        environment.insert("QT_QPA_PLATFORM", "no-such-platform");
        QCOMPARE(Run_Tool({d_sample, "--csv", Path("rows.csv")}, environment).exit_code, 0);
        QVERIFY(Run_Tool({d_sample, "--plot", plot}, environment).exit_code != 0);
    }

    void Pdf_And_Svg_Plots()
    {
        const QString pdf = Path("plot.pdf");
        const QString svg = Path("plot.svg");
        QCOMPARE(Run_Tool({d_sample, "-o", Path("r1.txt"), "--plot", pdf}).exit_code, 0);
        QCOMPARE(Run_Tool({d_sample, "-o", Path("r2.txt"), "--plot", svg}).exit_code, 0);

        const QByteArray pdf_data = Read_All(pdf);
        QVERIFY(pdf_data.startsWith("%PDF-"));
        QVERIFY(pdf_data.trimmed().endsWith("%%EOF"));
        QVERIFY(pdf_data.contains("/Type /Page") || pdf_data.contains("/Type/Page"));

        QXmlStreamReader xml(Read_All(svg));
        QString root;
        int elements = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement) {
                if (root.isEmpty()) {
                    root = xml.name().toString();
                    // The default size.
                    QCOMPARE(xml.attributes().value("viewBox").toString(), QString("0 0 1000 800"));
                }
                ++elements;
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(root, QString("svg"));
        QVERIFY(elements > 20);

        // A copy of the tool without its SVG module beside it draws no SVG plot and says why;
        // the plot of the run before stays.
        const QString alone = Path("alone/quorval-report");
        QVERIFY(QDir().mkpath(Path("alone")));
        QVERIFY(QFile::copy(QStringLiteral(QUORVAL_REPORT_EXECUTABLE), alone));
        const TRun run =
            Run_Program(alone, {d_sample, "-o", Path("r1.txt"), "--plot", svg}, TRun_Options());
        QCOMPARE(run.exit_code, 1);
        QVERIFY2(run.err.startsWith("ERR  Cannot draw the plot: the SVG module"),
                 run.err.constData());
        QVERIFY(Read_All(svg).startsWith("<?xml"));
    }

    // The record holds the report's rows and names the data file as given; without any display
    // it is drawn on Qt's offscreen platform.
    void Record()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        const QString report = Path("record-report.txt");
        const QString record = Path("record.PDF");
        const TRun run =
            Run_Tool({d_sample, "--no-align", "-o", report, "--record", record}, environment);
        QCOMPARE(run.exit_code, 0);
        QCOMPARE(run.err, QByteArray());
        const QString text = Pdf_Text(record);
        const QString words = text.simplified();
        // Settings of the command line that differ from the file's: no checksum.
        for (const QString &field :
             {"Data file " + d_sample + " (settings given on the command line)",
              QString("Alignment Not aligned"), QString("Entries in set A 6"),
              QString("Entries in set B 5"), QString("Page 1 of 2")})
            QVERIFY2(words.contains(field), qPrintable(field));
        QVERIFY(!words.contains("SHA-256"));
        // The report's rows, each column with the decimals its values need to be read.
        const Rows rows = Window_Result(d_sample, false).rows;
        const Report::TDecimals decimals =
            Report::Document_Decimals(Window_Result(d_sample, false).data_decimals);
        QStringList lines;
        for (const TComparison::TExportData &row : rows) {
            QStringList fields;
            for (int column = 0; column < Report::Column_Count; ++column)
                fields.append(Report::Cell_Text(row, column, decimals[column]));
            lines.append(fields.join(' '));
        }
        QCOMPARE(Record_Rows(text).replaceInStrings(" En > 1", ""), lines);

        // What the file holds: its identification texts, and the checksum of its bytes.
        DataFile::TContent content = Sample_Content();
        content.details.item = "Line scale S/N 12";
        content.details.remarks = "first\nsecond";
        const QString file = Path("details.quorval");
        QVERIFY(Save(file, content));
        QCOMPARE(Run_Tool({file, "-o", report, "--record", record}, environment).exit_code, 0);
        const QString sha256 =
            QCryptographicHash::hash(Read_All(file), QCryptographicHash::Sha256).toHex();
        const QString details = Pdf_Text(record).simplified();
        for (const QString &field :
             {QString("Item Line scale S/N 12"), QString("Remarks first second"),
              "Data file " + file + " SHA-256 " + sha256, QString("Checked by")})
            QVERIFY2(details.contains(field), qPrintable(field));
    }

    void Help_And_Version()
    {
        const TRun help = Run_Tool({"--help"});
        QCOMPARE(help.exit_code, 0);
        QVERIFY(help.out.startsWith("Usage: quorval-report [options] FILE.quorval\n"));
        QCOMPARE(Run_Tool({"-h"}).out, help.out);
        const TRun version = Run_Tool({"--version"});
        QCOMPARE(version.exit_code, 0);
        QCOMPARE(version.out, QByteArray("quorval-report 2.0\n"));
    }

    void Progress_On_A_Terminal_Only_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<bool>("shown");
        QTest::newRow("terminal") << true << QStringList() << true;
        QTest::newRow("terminal, --quiet") << true << QStringList{"--quiet"} << false;
        QTest::newRow("terminal, -q") << true << QStringList{"-q"} << false;
        QTest::newRow("file") << false << QStringList() << false;
    }

    // A run past the progress delay (here none) shows its stage on standard error when that is
    // a terminal, on one line that it erases at the end.
    void Progress_On_A_Terminal_Only()
    {
        QFETCH(bool, terminal);
        QFETCH(QStringList, flags);
        QFETCH(bool, shown);
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QString file = Path("progress.txt");
        const int fd = terminal ? ::open(::ptsname(master), O_RDWR | O_NOCTTY)
                                : ::open(QFile::encodeName(file).constData(),
                                         O_RDWR | O_CREAT | O_TRUNC, 0600);
        std::FILE *err = ::fdopen(fd, "w");
        std::FILE *out = std::fopen("/dev/null", "w");
        QVERIFY(err != nullptr && out != nullptr);
        const int status = TReportTool::Run(
            QStringList{"quorval-report", d_sample, "--record", Path("progress.pdf")} + flags, out,
            err, 0);
        std::fclose(out);
        std::fclose(err);
        QByteArray text = Read_All(file);
        if (terminal) {
            char buffer[4096];
            const ssize_t count = ::read(master, buffer, sizeof buffer);
            text = count > 0 ? QByteArray(buffer, static_cast<int>(count)) : QByteArray();
        }
        ::close(master);
        QCOMPARE(status, 0);
        QCOMPARE(text.contains("\rquorval-report: writing the record 0%"), shown);
        QCOMPARE(text.endsWith('\r'), shown);
        QVERIFY(shown || text.isEmpty());
    }

    void Usage_Errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--bogus", "SAMPLE"};
        QTest::newRow("missing file") << QStringList{"-o", "OUT/r.txt"};
        QTest::newRow("two files") << QStringList{"SAMPLE", "SAMPLE"};
        QTest::newRow("option without value") << QStringList{"SAMPLE", "--csv"};
        QTest::newRow("decimal comma without CSV") << QStringList{"SAMPLE", "--decimal-comma"};
        QTest::newRow("empty output name") << QStringList{"SAMPLE", "-o", ""};
        QTest::newRow("output given twice")
            << QStringList{"SAMPLE", "-o", "OUT/a.txt", "-o", "OUT/b.txt"};
        QTest::newRow("quiet given twice") << QStringList{"SAMPLE", "-q", "--quiet"};
        QTest::newRow("decimal comma given twice")
            << QStringList{"SAMPLE", "--csv", "OUT/r.csv", "--decimal-comma", "--decimal-comma"};
        QTest::newRow("size not a size")
            << QStringList{"SAMPLE", "--plot", "OUT/p.png", "--size", "large"};
        QTest::newRow("size zero")
            << QStringList{"SAMPLE", "--plot", "OUT/p.png", "--size", "0x600"};
        QTest::newRow("size too small")
            << QStringList{"SAMPLE", "--plot", "OUT/p.png", "--size", "99x600"};
        QTest::newRow("size too large")
            << QStringList{"SAMPLE", "--plot", "OUT/p.png", "--size", "800x10001"};
        QTest::newRow("size overflowing")
            << QStringList{"SAMPLE", "--plot", "OUT/p.png", "--size", "4294967296x600"};
        QTest::newRow("plot extension unknown") << QStringList{"SAMPLE", "--plot", "OUT/p.bmp"};
        QTest::newRow("report over the data file") << QStringList{"SAMPLE", "-o", "SAMPLE"};
        QTest::newRow("two outputs into one file")
            << QStringList{"SAMPLE", "-o", "OUT/same.txt", "--csv", "OUT/same.txt"};
        QTest::newRow("record not a PDF") << QStringList{"SAMPLE", "--record", "OUT/r.png"};
        QTest::newRow("record into the plot")
            << QStringList{"SAMPLE", "--plot", "OUT/same.pdf", "--record", "OUT/same.pdf"};
        QTest::newRow("align and no-align") << QStringList{"SAMPLE", "--align", "--no-align"};
        QTest::newRow("negative merge distance")
            << QStringList{"SAMPLE", "--merge-distance", "-0.5"};
        QTest::newRow("too few decimals") << QStringList{"SAMPLE", "--decimals", "3"};
    }

    // Exit status 2 with the reason and the usage on standard error, and no file written.
    void Usage_Errors()
    {
        QFETCH(QStringList, arguments);
        const QString out_dir = Path("usage");
        QVERIFY(QDir().mkpath(out_dir));
        const QByteArray sample_before = Read_All(d_sample);
        arguments.replaceInStrings("SAMPLE", d_sample);
        arguments.replaceInStrings("OUT", out_dir);
        const TRun run = Run_Tool(arguments);
        QCOMPARE(run.exit_code, 2);
        QVERIFY(run.err.startsWith("quorval-report: "));
        QVERIFY(run.err.contains("\nUsage: quorval-report [options] FILE.quorval\n"));
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(Entries(out_dir), QStringList());
        QCOMPARE(Read_All(d_sample), sample_before);
    }

    void Outputs_Into_One_File_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("once through a linked folder")
            << QStringList{"-o", "LINKED/same.txt", "--csv", "usage/same.txt"}
            << "Two outputs go to the same file 'usage/same.txt'.";
        QTest::newRow("through two dangling links to one file")
            << QStringList{"-o", "dangling-1", "--csv", "dangling-2"}
            << "Two outputs go to the same file 'dangling-2'.";
        QTest::newRow("the data file through a linked folder")
            << QStringList{"-o", "HOME/sample.quorval"}
            << "Output 'HOME/sample.quorval' is the data file itself.";
    }

    // Names are compared by the files they lead to, not by their spelling: exit status 2 and no
    // file written.
    void Outputs_Into_One_File()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const QByteArray sample_before = Read_All(d_sample);
        arguments.replaceInStrings("LINKED", "usage-link");
        arguments.replaceInStrings("HOME", "usage-link/..");
        reason.replace("HOME", "usage-link/..");
        TRun_Options options;
        options.working_directory = d_dir.path(); // the names are relative to it
        const TRun run = Run_Tool(QStringList{d_sample} + arguments, options);
        QCOMPARE(run.exit_code, 2);
        QVERIFY2(run.err.startsWith("quorval-report: " + reason.toLocal8Bit() + "\n"),
                 run.err.constData());
        QCOMPARE(Entries(Path("usage")), QStringList());
        QCOMPARE(Read_All(d_sample), sample_before);
    }

    void Unreadable_File_data()
    {
        QTest::addColumn<QByteArray>("file_text");
        QTest::newRow("cut off") << Read_All(d_sample).left(Read_All(d_sample).size() / 2);
        QTest::newRow("not XML") << QByteArray("Nominal;Actual;Uc\n1;2;3\n");
        QTest::newRow("unknown version")
            << QByteArray("<?xml version=\"1.0\"?>\n<Quorval_Data File_Version=\"3\">"
                          "</Quorval_Data>\n");
        QTest::newRow("not well-formed") << Read_All(d_sample).replace("<Actual>", "<Actual>&foo;");
        QTest::newRow("number not a number")
            << Read_All(d_sample).replace("</Actual>", ",5</Actual>");
        QTest::newRow("missing") << QByteArray();
    }

    // Exit status 1 with exactly the window's load message, and no output file.
    void Unreadable_File()
    {
        QFETCH(QByteArray, file_text);
        const QString input = Path("damaged.quorval");
        QFile::remove(input);
        if (!file_text.isEmpty())
            QVERIFY(Write_All(input, file_text));
        DataFile::TContent content;
        QString expected;
        QVERIFY(!DataFile::Load_File(input, &content, &expected));
        QVERIFY(expected.startsWith("ERR  Load_Data: "));

        const QString out_dir = Path("damaged");
        QVERIFY(QDir().mkpath(out_dir));
        const TRun run = Run_Tool({input, "-o", out_dir + "/r.txt", "--csv", out_dir + "/r.csv",
                                   "--plot", out_dir + "/r.png"});
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(QString::fromLocal8Bit(run.err), expected + "\n");
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(Entries(out_dir), QStringList());
    }

    // A set with fewer than two entries: exit status 3, one line on standard error, nothing
    // written.
    void Too_Few_Entries()
    {
        DataFile::TContent content = Sample_Content();
        content.entries_b.resize(1);
        const QString input = Path("one_b.quorval");
        QVERIFY(Save(input, content));
        content = Sample_Content();
        content.entries_a.clear();
        const QString empty_a = Path("empty_a.quorval");
        QVERIFY(Save(empty_a, content));

        const QString out_dir = Path("few");
        QVERIFY(QDir().mkpath(out_dir));
        for (const QString &file : {input, empty_a}) {
            const TRun run = Run_Tool({file, "-o", out_dir + "/r.txt", "--csv", out_dir + "/r.csv",
                                       "--plot", out_dir + "/r.svg"});
            QCOMPARE(run.exit_code, 3);
            QCOMPARE(run.err.count('\n'), 1);
            QVERIFY(run.err.endsWith('\n'));
            QVERIFY(run.err.contains(file == input ? "data set B" : "data set A"));
            QCOMPARE(run.out, QByteArray());
            QCOMPARE(Entries(out_dir), QStringList());
        }
    }

    // Outputs that cannot be written: exit status 1 with the message, no partial file, and an
    // existing file left as it was.
    void Unwritable_Outputs()
    {
        const QString out_dir = Path("unwritable");
        QVERIFY(QDir().mkpath(out_dir));
        const QString blocker = out_dir + "/plain-file";
        QVERIFY(Write_All(blocker, "not a folder"));
        const QString old_report = out_dir + "/old-report.txt";
        QVERIFY(Write_All(old_report, "old report"));

        // The report into a missing folder: the message names the file and the reason.
        TRun run = Run_Tool({d_sample, "-o", out_dir + "/missing/r.txt"});
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(QString::fromLocal8Bit(run.err),
                 "ERR  Cannot write file '" + out_dir +
                     "/missing/r.txt': No such file or directory\n");
        QCOMPARE(run.out, QByteArray());

        // A CSV below a plain file fails even for root; the report is then not replaced.
        run = Run_Tool({d_sample, "-o", old_report, "--csv", blocker + "/r.csv"});
        QCOMPARE(run.exit_code, 1);
        QVERIFY2(run.err.startsWith("ERR  Cannot write file '" + blocker.toLocal8Bit() + "/r.csv'"),
                 run.err.constData());
        QCOMPARE(Read_All(old_report), QByteArray("old report"));

        run = Run_Tool({d_sample, "--plot", blocker + "/r.png"});
        QCOMPARE(run.exit_code, 1);
        QVERIFY(run.err.startsWith("ERR  Cannot write file '"));
        QCOMPARE(run.out, QByteArray());

        QCOMPARE(Entries(out_dir), QStringList({"old-report.txt", "plain-file"}));
        QCOMPARE(Read_All(blocker), QByteArray("not a folder"));

        // A full disk behind standard output is a failure, not a success.
        if (QFileInfo::exists("/dev/full")) {
            run = Run_Tool({d_sample}, QProcessEnvironment::systemEnvironment(), "/dev/full");
            QCOMPARE(run.exit_code, 1);
            QVERIFY2(run.err.startsWith("ERR  Cannot write the report to standard output: "),
                     run.err.constData());
        }
    }

    void File_Size_Limit_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("to_standard_output");
        QTest::addColumn<QString>("message");
        QTest::newRow("report file") << QStringList{"-o", "@OLD"} << false
                                     << "ERR  Cannot write file '@OLD': File too large\n";
        QTest::newRow("plot file")
            << QStringList{"-o", "/dev/null", "--plot", "@FOLDER/p.png"} << false
            << "ERR  Cannot write file '@FOLDER/p.png': File too large\n";
        QTest::newRow("standard output into a file")
            << QStringList() << true
            << "ERR  Cannot write the report to standard output: File too large\n";
    }

    // Under "ulimit -f" a write beyond the limit is an ordinary write error: exit status 1 with
    // the message, the old file as it was and nothing left beside it, rather than the tool
    // ending by SIGXFSZ.
    void File_Size_Limit()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, to_standard_output);
        QFETCH(QString, message);
        const QString folder = Path(QStringLiteral("limit-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString old_report = folder + "/old-report.txt";
        QVERIFY(Write_All(old_report, "old report"));
        arguments.replaceInStrings("@OLD", old_report);
        arguments.replaceInStrings("@FOLDER", folder);
        message.replace("@FOLDER", folder);
        message.replace("@OLD", old_report);

        TRun_Options options;
        options.resource = RLIMIT_FSIZE;
        options.limit = 512;
        if (to_standard_output)
            options.stdout_file = folder + "/standard-output.txt";
        const TRun run = Run_Tool(QStringList{d_sample} + arguments, options);
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(QString::fromLocal8Bit(run.err), message);
        QCOMPARE(Read_All(old_report), QByteArray("old report"));
        QStringList expected = {"old-report.txt"};
        if (to_standard_output)
            expected.append("standard-output.txt");
        QCOMPARE(Entries(folder), expected);
    }

    void Descriptor_Outputs_data()
    {
        QTest::addColumn<QString>("shell");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("copies");
        QTest::newRow("appended twice by the shell")
            << "sh"
            << "for i in 1 2; do \"$0\" \"$1\" -o /dev/null --csv /dev/stdout >> \"$2\"; done" << 2;
        QTest::newRow("into a pipe")
            << "sh"
            << "\"$0\" \"$1\" -o /dev/null --csv /dev/stdout | cat > \"$2\"" << 1;
        QTest::newRow("into a process substitution")
            << "bash"
            << "\"$0\" \"$1\" -o /dev/null --csv >(cat > \"$2\"); wait $!" << 1;
    }

    // An output named by an open descriptor goes to that descriptor, as the shell set it up:
    // appended where the shell appends, through a pipe where it is a pipe.
    void Descriptor_Outputs()
    {
        QFETCH(QString, shell);
        QFETCH(QString, script);
        QFETCH(int, copies);
        const QString csv = Path("descriptor-expected.csv");
        QCOMPARE(Run_Tool({d_sample, "-o", "/dev/null", "--csv", csv}).exit_code, 0);
        const QByteArray one = Read_All(csv);
        QVERIFY(one.startsWith("position,"));

        const QString result = Path("descriptor-result.csv");
        QFile::remove(result);
        const TRun run = Run_Shell(shell, script, {d_sample, result});
        QCOMPARE(run.exit_code, 0);
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(Read_All(result), one.repeated(copies));
    }

    void Failed_Run_Replaces_No_Output_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("stdout_file");
        QTest::addColumn<QString>("message");
        QTest::newRow("plot cannot be written")
            << QStringList{"-o", "@REPORT", "--csv", "@CSV", "--plot", "@BLOCKER/p.png"}
            << QString() << "ERR  Cannot write file '@BLOCKER/p.png': Not a directory\n";
        QTest::newRow("record cannot be written")
            << QStringList{"-o", "@REPORT", "--csv", "@CSV", "--record", "@BLOCKER/r.pdf"}
            << QString() << "ERR  Cannot write file '@BLOCKER/r.pdf': Not a directory\n";
        QTest::newRow("report cannot be opened")
            << QStringList{"-o", "@FOLDER/missing/r.txt", "--csv", "@CSV"} << QString()
            << "ERR  Cannot write file '@FOLDER/missing/r.txt': No such file or directory\n";
        QTest::newRow("standard output full")
            << QStringList{"--csv", "@CSV", "--plot", "@PLOT"} << "/dev/full"
            << "ERR  Cannot write the report to standard output: No space left on device\n";
        QTest::newRow("CSV into a full device")
            << QStringList{"-o", "@REPORT", "--csv", "/dev/full", "--plot", "@PLOT"} << QString()
            << "ERR  Cannot write file '/dev/full': No space left on device\n";
        QTest::newRow("CSV into a full device, the report to standard output")
            << QStringList{"--csv", "/dev/full", "--plot", "@PLOT"} << QString()
            << "ERR  Cannot write file '/dev/full': No space left on device\n";
    }

    // A run that fails for one output replaces none: the files of the last good run stay as
    // they were, no temporary file is left, and no report goes to standard output.
    void Failed_Run_Replaces_No_Output()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, stdout_file);
        QFETCH(QString, message);
        if (!QFileInfo::exists("/dev/full"))
            QSKIP("no /dev/full");
        const QString folder = Path(QStringLiteral("failed-%1").arg(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QStringList names = {"@REPORT", "@CSV", "@PLOT", "@BLOCKER"};
        const QStringList files = {"r.txt", "r.csv", "p.svg", "blocker"};
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(Write_All(folder + '/' + files[i], "old " + files[i].toLatin1()));
            arguments.replaceInStrings(names[i], folder + '/' + files[i]);
            message.replace(names[i], folder + '/' + files[i]);
        }
        arguments.replaceInStrings("@FOLDER", folder);
        message.replace("@FOLDER", folder);
        TRun_Options options;
        options.stdout_file = stdout_file;
        const TRun run = Run_Tool(QStringList{d_sample} + arguments, options);
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(QString::fromLocal8Bit(run.err), message);
        QCOMPARE(run.out, QByteArray());
        for (const QString &file : files)
            QCOMPARE(Read_All(folder + '/' + file), "old " + file.toLatin1());
        QCOMPARE(Entries(folder), QStringList({"blocker", "p.svg", "r.csv", "r.txt"}));
    }

    void Input_Not_A_Regular_File_data()
    {
        QTest::addColumn<QString>("input");
        QTest::newRow("endless device") << "/dev/zero";
        QTest::newRow("FIFO without a writer") << "FIFO";
    }

    // Refused at once, before reading: exit status 1 with the reason.
    void Input_Not_A_Regular_File()
    {
        QFETCH(QString, input);
        if (input == "FIFO") {
            input = Path("input-fifo.quorval");
            QVERIFY(::mkfifo(QFile::encodeName(input).constData(), 0600) == 0);
        } else if (!QFileInfo::exists(input)) {
            QSKIP(qPrintable(input + " does not exist here"));
        }
        TRun_Options options;
        options.timeout_ms = 60000;
        const TRun run = Run_Tool({input, "-o", Path("never-written.txt")}, options);
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(QString::fromLocal8Bit(run.err),
                 QStringLiteral("ERR  Load_Data: ERR:  Cannot open file: '%1'.  Reason: not a "
                                "regular file\n")
                     .arg(input));
        QVERIFY(!QFileInfo::exists(Path("never-written.txt")));
    }

    // A data file too big for the memory the tool may use is a failed load, exit status 1 with
    // a message, not an abort; no output is written.
    void Out_Of_Memory()
    {
#ifdef QUORVAL_ADDRESS_SANITIZER
        QSKIP("AddressSanitizer reserves terabytes of address space, so the tool cannot run "
              "under an address-space limit");
#endif
        const QString big = Path("big.quorval");
        QVERIFY(Write_All(big, Data_File_Text(900000)));
        const QString folder = Path("memory");
        QVERIFY(QDir().mkpath(folder));
        TRun_Options options;
        options.resource = RLIMIT_AS;
        options.limit = rlim_t(140) << 20;
        // The limit leaves room for an ordinary run...
        QCOMPARE(Run_Tool({d_sample, "-o", folder + "/sample.txt"}, options).exit_code, 0);
        QVERIFY(QFile::remove(folder + "/sample.txt"));
        // ... but not for reading the big file.
        const TRun run =
            Run_Tool({big, "-o", folder + "/r.txt", "--csv", folder + "/r.csv"}, options);
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(run.err, QByteArray("ERR  Load_Data: ERR:  Out of memory\n"));
        QCOMPARE(Entries(folder), QStringList());
        QVERIFY(QFile::remove(big));
    }

    // An SVG plot of more positions than it is drawn for is refused with the reason, before
    // anything is written; a PNG plot of the same comparison is drawn.
    void Svg_Plot_Of_Too_Many_Positions()
    {
        const int positions = ComparisonGraphs::Largest_Svg_Plot_Positions + 1;
        const QString input = Path("many.quorval");
        QVERIFY(Write_All(input, Data_File_Text(positions)));
        const QString folder = Path("many");
        QVERIFY(QDir().mkpath(folder));
        TRun run = Run_Tool({input, "-o", folder + "/r.txt", "--plot", folder + "/p.svg"});
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(QString::fromLocal8Bit(run.err),
                 QStringLiteral("ERR  Cannot draw the plot: an SVG plot holds at most %1 "
                                "positions, this comparison has %2; draw a PNG or PDF plot.\n")
                     .arg(ComparisonGraphs::Largest_Svg_Plot_Positions)
                     .arg(positions));
        QCOMPARE(Entries(folder), QStringList());
        run = Run_Tool({input, "-o", "/dev/null", "--plot", folder + "/p.png"});
        QCOMPARE(run.exit_code, 0);
        QCOMPARE(Entries(folder), QStringList{"p.png"});
        QVERIFY(QFile::remove(input));
    }
};

QTEST_MAIN(TTestReportTool)
#include "test_reporttool.moc"
