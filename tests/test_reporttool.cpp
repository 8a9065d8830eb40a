// Runs the built quorval-report program and checks its outputs against what the main window
// computes and exports for the same file.

#include "core/graphwidget.h"
#include "src/comparison.h"
#include "src/comparisongraphs.h"
#include "src/datafile.h"
#include "src/quorval.h"
#include "src/reporttool.h"

#include "test_support.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>
#include <cstring>

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

TRun Run_Tool(const QStringList &arguments,
              const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
              const QString &stdout_file = QString())
{
    QProcess process;
    QProcessEnvironment child = environment;
    // The leak checker of a sanitizer build would otherwise list its suppressions on stderr.
    if (child.contains("LSAN_OPTIONS"))
        child.insert("LSAN_OPTIONS", child.value("LSAN_OPTIONS") + ":print_suppressions=0");
    process.setProcessEnvironment(child);
    if (!stdout_file.isEmpty())
        process.setStandardOutputFile(stdout_file);
    process.start(QStringLiteral(QUORVAL_REPORT_EXECUTABLE), arguments);
    TRun run;
    if (!process.waitForStarted(30000) || !process.waitForFinished(300000))
        return run;
    if (process.exitStatus() == QProcess::NormalExit)
        run.exit_code = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// Set A covers 0 to 300, set B (zero at 50.75309 relative to A, rounded by the widget to
// 50.7531) covers about 100 to 560: positions with A only, both, and B only. The entries are out
// of order and A's uncertainty changes with length, so alignment moves B's deviations and
// adjusts A's uncertainty.
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
    QStringList graphs; // titles and points of both graphs
};

// A graph's titles and every data set's points, exactly (17 digits), one line per set.
QStringList Graph_Text(const TGraphWidget *graph)
{
    QStringList text = {graph->Title(), graph->Horizontal_Title(), graph->Vertical_Title()};
    for (int set = 0; set < graph->DataSetCount(); ++set) {
        QString line;
        for (int i = 0; i < graph->DataSetSize(set); ++i) {
            const TVector2 point = graph->GetPoint(set, i);
            line +=
                QString::number(point.x, 'g', 17) + ' ' + QString::number(point.y, 'g', 17) + ';';
        }
        text.append(line);
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
    if (window.Options().remove_deviations != align || !window.Load_Data(file_name))
        return result;
    QMetaObject::invokeMethod(&window, "Update", Qt::DirectConnection);
    const QString export_file = QDir::home().filePath("window-export.txt");
    if (!window.Export_Data(export_file))
        return result;
    result.rows = window.Export_Rows();
    result.report = Read_All(export_file);
    result.graphs = Graph_Text(window.Deviation_Graph()) + Graph_Text(window.En_Graph());
    return result;
}

// The CSV as rows of fields, without the header.
QList<QList<QByteArray>> Csv_Fields(const QByteArray &csv)
{
    QList<QByteArray> lines = csv.split('\n');
    QList<QList<QByteArray>> fields;
    if (lines.isEmpty() || lines.takeLast() != QByteArray())
        return fields; // the text must end with a line feed
    if (!lines.isEmpty())
        lines.removeFirst();
    for (const QByteArray &line : lines)
        fields.append(line.split(','));
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

class TestReportTool : public QObject
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
    }

    void Report_Is_The_Windows_Export_data()
    {
        QTest::addColumn<QByteArray>("file_text");
        QTest::addColumn<bool>("align");
        QTest::newRow("version 2, aligned") << QByteArray() << true;
        QTest::newRow("version 2, not aligned") << QByteArray() << false;
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
        QTest::newRow("version 1, aligned") << version_1 << true;
    }

    // The report file and standard output both hold byte for byte the window's export.
    void Report_Is_The_Windows_Export()
    {
        QFETCH(QByteArray, file_text);
        QFETCH(bool, align);
        QString input = d_sample;
        if (!file_text.isEmpty()) {
            input = Path("version1.quorval");
            QVERIFY(Write_All(input, file_text));
        }
        const TWindowResult window = Window_Result(input, align);
        QVERIFY(!window.rows.empty());
        QVERIFY(window.report.contains("En Max:"));

        const QString output = Path("report.txt");
        QFile::remove(output);
        QStringList arguments = {input, "-o", output};
        if (!align)
            arguments << "--no-align";
        const TRun to_file = Run_Tool(arguments);
        QCOMPARE(to_file.exit_code, 0);
        QCOMPARE(to_file.out, QByteArray());
        QCOMPARE(Read_All(output), window.report);

        arguments = QStringList{input};
        if (!align)
            arguments.prepend("--no-align");
        const TRun to_stdout = Run_Tool(arguments);
        QCOMPARE(to_stdout.exit_code, 0);
        QCOMPARE(to_stdout.out, window.report);
        QCOMPARE(to_stdout.err, QByteArray());

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

    // The CSV holds the comparison's own doubles, and where the report prints a number the CSV
    // value prints the same; "------" is an empty field.
    void Csv_Reads_Back_As_The_Report()
    {
        const QString csv_file = Path("rows.csv");
        const TRun run = Run_Tool({d_sample, "--csv", csv_file});
        QCOMPARE(run.exit_code, 0);
        const QByteArray csv = Read_All(csv_file);
        QVERIFY(csv.startsWith("position,dev_a,dev_b,uc_a,uc_a_adj,uc_b,en\n"));
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
                const double value = QLocale::c().toDouble(QString::fromLatin1(field), &ok);
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
        const EntryLists::TInputs inputs = EntryLists::Inputs_Of(DataFile::Lists_Of(content));
        TComparison comparison;
        QVERIFY(comparison.Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b,
                                     Type::TOptions{true}));
        TGraphWidget deviation_graph;
        TGraphWidget en_graph;
        ComparisonGraphs::Set_Titles(&deviation_graph, &en_graph);
        ComparisonGraphs::Add_Data_Sets(comparison, &deviation_graph, &en_graph);
        QCOMPARE(Graph_Text(&deviation_graph) + Graph_Text(&en_graph), window.graphs);
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
        QVERIFY(!Has_Ink(image, QRect(0, 0, 10, 480)));
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

    void Usage_Errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--bogus", "SAMPLE"};
        QTest::newRow("missing file") << QStringList{"-o", "OUT/r.txt"};
        QTest::newRow("two files") << QStringList{"SAMPLE", "SAMPLE"};
        QTest::newRow("option without value") << QStringList{"SAMPLE", "--csv"};
        QTest::newRow("empty output name") << QStringList{"SAMPLE", "-o", ""};
        QTest::newRow("output given twice")
            << QStringList{"SAMPLE", "-o", "OUT/a.txt", "-o", "OUT/b.txt"};
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

    void Unreadable_File_data()
    {
        QTest::addColumn<QByteArray>("file_text");
        QTest::newRow("cut off") << Read_All(d_sample).left(Read_All(d_sample).size() / 2);
        QTest::newRow("not XML") << QByteArray("Nominal;Actual;Uc\n1;2;3\n");
        QTest::newRow("unknown version")
            << QByteArray("<?xml version=\"1.0\"?>\n<Quorval_Data File_Version=\"3\">"
                          "</Quorval_Data>\n");
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

        // The report into a missing folder: the window's own message.
        TRun run = Run_Tool({d_sample, "-o", out_dir + "/missing/r.txt"});
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(run.err, QByteArray("ERR  Cannot open file for writing.\n"));
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
};

QTEST_MAIN(TestReportTool)
#include "test_reporttool.moc"
