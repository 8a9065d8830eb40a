// The main window's comparison: what Update puts into the graphs, the report rows and the
// enabled state of the commands, and the Export, Export Graphs, Export Record and Print commands
// with their files and error boxes.

#include "test_quorval_support.h"

#include "core/widgets/graphwidget.h"
#include "core/widgets/legendrow.h"
#include "src/compute/comparison.h"
#include "src/compute/datafile.h"
#include "src/compute/entrytext.h"
#include "src/documents/comparisongraphs.h"
#include "src/documents/record.h"
#include "src/window/setheading.h"

#include <QCryptographicHash>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace Support;

Q_DECLARE_METATYPE(std::vector<Type::TEntryItem>)

namespace {

// Set A at 100 and 200 with deviation 0.0012, set B at 100 and 300 with deviation -0.0003: rows at
// 100 and 200 carry En = 1.9206, the row at 300 only set B.
std::vector<Type::TEntryItem> Example_A()
{
    return {Entry(100.0, 100.0012, 0.0005), Entry(200.0, 200.0012, 0.0005)};
}
std::vector<Type::TEntryItem> Example_B()
{
    return {Entry(100.0, 99.9997, 0.0006), Entry(300.0, 299.9997, 0.0006)};
}

const QByteArray Report_Head = "Comparison Data\n\n"
                               "Position       Dev. A     Dev. B      Uc A      Uc A Adj    Uc B"
                               "        En\n" +
                               QByteArray(82, '-') + "\n";

// Colours present in a picture and in a graph's rendering.
QSet<QRgb> Colours_Of(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            colours.insert(line[x] & 0xffffff);
    }
    return colours;
}

QSet<QRgb> Colours(const TGraphWidget *graph)
{
    return Colours_Of(graph->Background_Pixmap().toImage());
}

QRgb Rgb(const QColor &colour) { return colour.rgb() & 0xffffff; }

// The graph's data sets are exactly the comparison's, in creation order (a set of brackets stands
// for a set of each bracket's four points).
bool Same_Sets(const TGraphWidget *graph, const std::vector<std::vector<TVector2>> &expected)
{
    std::vector<std::vector<TVector2>> shown;
    for (const TGraphScene::TDataSet &set : graph->Scene().Sets()) {
        if (!set.dataset_brackets)
            shown.push_back(set.dataset_points);
        for (std::size_t k = 0; k < set.Bracket_Places(); ++k) {
            TGraphScene::TBracket bracket;
            QRgb colour = 0;
            if (!set.Bracket(k, &bracket, &colour))
                continue;
            shown.emplace_back(4);
            bracket.Points(shown.back().data());
        }
    }
    const auto Same = [](const std::vector<TVector2> &a, const std::vector<TVector2> &b) {
        return std::equal(
            a.begin(), a.end(), b.begin(), b.end(),
            [](const TVector2 &p, const TVector2 &q) { return p.x == q.x && p.y == q.y; });
    };
    return std::equal(shown.begin(), shown.end(), expected.begin(), expected.end(), Same);
}

std::vector<std::vector<TVector2>> Sets_Of(const TComparison &comparison,
                                           ComparisonGraphs::TGraph which)
{
    std::vector<std::vector<TVector2>> sets;
    ComparisonGraphs::Make_Data_Sets(comparison, [&](ComparisonGraphs::TGraph graph, const QColor &,
                                                     const std::vector<TVector2> &points) {
        if (graph == which)
            sets.push_back(points);
    });
    return sets;
}

std::vector<std::vector<TVector2>> Deviation_Sets(const TComparison &comparison)
{
    return Sets_Of(comparison, ComparisonGraphs::Deviation_Graph);
}

std::vector<std::vector<TVector2>> En_Sets(const TComparison &comparison)
{
    return Sets_Of(comparison, ComparisonGraphs::En_Graph);
}

bool Same_Rows(const std::vector<TQuorval::TExportData> &a,
               const std::vector<TQuorval::TExportData> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const TQuorval::TExportData &x = a[i];
        const TQuorval::TExportData &y = b[i];
        if (x.position != y.position || x.dev_a != y.dev_a || x.dev_b != y.dev_b ||
            x.uc_a != y.uc_a || x.dev_a_valid != y.dev_a_valid || x.dev_b_valid != y.dev_b_valid ||
            x.uc_a_valid != y.uc_a_valid || x.uc_b_valid != y.uc_b_valid)
            return false;
        if (x.uc_a_valid && x.uc_a_adj != y.uc_a_adj)
            return false;
        if (x.uc_b_valid && x.uc_b != y.uc_b)
            return false;
        if (x.uc_a_valid && x.uc_b_valid && x.en_value != y.en_value)
            return false;
    }
    return true;
}

} // namespace

class TTestQuorvalComparison : public QObject
{
    Q_OBJECT

public:
    explicit TTestQuorvalComparison(const QString &root) : d_root(root), d_count(0) {}

private slots:
    void init();
    // Forks: runs before any file dialog has started threads of its own.
    void Export_To_A_Read_Only_File();
    void Graphs_In_The_Window();
    void Update_Fills_Graphs_And_Rows();
    void Too_Few_Entries_Empty_Everything();
    void Nested_Update_Leaves_A_Single_Run();
    void Export_Writes_The_Report();
    void Export_Without_Overlap_Has_No_Summary();
    void Export_Failures_Show_The_Error();
    void Status_Line_data();
    void Status_Line();
    void Gauge_Blocks_As_Separate_Items();
    void Exported_Graphs_Are_The_Report_Tools_Plot();
    void Files_Keep_Their_Settings_And_Numbers();
    void Export_Graphs_Command();
    void Fit_To_Data_Restores_Both_Graphs();
    void Graphs_Share_One_Length_Range();
    void Legend_Row_Above_The_Graphs_data();
    void Legend_Row_Above_The_Graphs();
    void Record_Heading_Names_The_Data_File();
    void Record_Printed_As_Exported();
    void Record_Commands();
    void Cancelled_Work_Changes_Nothing_data();
    void Cancelled_Work_Changes_Nothing();

private:
    // The data file line of the heading of the window's record.
    QString Heading_File(TQuorval *window);

    QString d_root;
    QString d_home;
    int d_count;
};

void TTestQuorvalComparison::init()
{
    d_home = New_Home(d_root, &d_count);
    QVERIFY(!d_home.isEmpty());
}

void TTestQuorvalComparison::Graphs_In_The_Window()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    // Below the splitter, the deviation graph right above the En graph.
    const QWidget *area = window.findChild<QWidget *>("graph_area");
    QVERIFY(area != nullptr && area->layout() != nullptr);
    const struct
    {
        const TGraphWidget *graph;
        int below;
        const char *title;
        const char *vertical_title;
    } expected[] = {{window.Deviation_Graph(), 0, "Length Comparison", "Deviation"},
                    {window.En_Graph(), 2, "En Score", "En Value"}}; // after the spacing
    const int first = area->layout()->indexOf(const_cast<TGraphWidget *>(window.Deviation_Graph()));
    // The legend row right above the deviation graph.
    QCOMPARE(area->layout()->indexOf(const_cast<TLegendRow *>(window.Legend_Row())), first - 1);
    for (const auto &e : expected) {
        QVERIFY(e.graph != nullptr);
        QCOMPARE(e.graph->parentWidget(), area);
        QCOMPARE(e.graph->minimumSize(), QSize(100, 150));
        QCOMPARE(area->layout()->indexOf(const_cast<TGraphWidget *>(e.graph)), first + e.below);
        QCOMPARE(e.graph->Title(), QString(e.title));
        QCOMPARE(e.graph->Horizontal_Title(), QString("Length"));
        QCOMPARE(e.graph->Vertical_Title(), QString(e.vertical_title));
        QCOMPARE(e.graph->Graph_Type(), TGraphWidget::GRAPH_LINE);
        QCOMPARE(e.graph->DataSetCount(), 0);
    }
}

// The window shows and stores exactly what the comparison computes on the entries as the
// widgets return them, with the B offset and the option; both graphs are drawn in the colours.
void TTestQuorvalComparison::Update_Fills_Graphs_And_Rows()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.Options().remove_deviations);

    // Positions 0.5 and 100.4 of set B merge into set A's 0 and 100; 300 remains.
    Fill(&window, {Entry(0, 0.001, 0.001), Entry(100, 100.002, 0.002), Entry(200, 200.0, 0.004)},
         {Entry(0.5, 0.5015, 0.001), Entry(100.4, 100.4, 0.001), Entry(300, 299.998, 0.002)});
    QCOMPARE(window.Graph_Positions(), std::vector<double>({0.0, 100.0, 200.0, 300.0}));
    QVERIFY(window.Data_Modified());
    QVERIFY(Action(&window, "File_Save")->isEnabled());
    QVERIFY(Action(&window, "File_Export")->isEnabled());

    // With B offset 50 and alignment on, then without alignment.
    for (double offset : {50.0, 0.0}) {
        Entry_Widget(&window, 'B')->Set_Entry_Offset(offset);
        TComparison expected;
        QVERIFY(expected.Calculate(Entry_Widget(&window, 'A')->Entry_Items(),
                                   Entry_Widget(&window, 'B')->Entry_Items(), offset,
                                   window.Options()));
        QCOMPARE(window.Graph_Positions(), expected.Graph_Positions());
        QCOMPARE(window.Data_B_Dev_Offset(), expected.Data_B_Dev_Offset());
        QVERIFY(Same_Rows(window.Export_Rows(), expected.Export_Rows()));
        QVERIFY(Same_Sets(window.Deviation_Graph(), Deviation_Sets(expected)));
        QVERIFY(Same_Sets(window.En_Graph(), En_Sets(expected)));
    }
    QVERIFY(window.Data_B_Dev_Offset() != 0.0); // aligned at 0, where A deviates by 0.001

    // Every kind of data set reaches the screen in its colour: with offset 50 set A's
    // uncertainty differs at 50 and 0, so the grey bracket stands apart from the red one.
    Entry_Widget(&window, 'B')->Set_Entry_Offset(50.0);
    const QSet<QRgb> deviation = Colours(window.Deviation_Graph());
    for (const QColor &colour :
         {QColor(128, 40, 40), QColor(20, 96, 20), QColor(212, 212, 212), QColor(212, 96, 96)})
        QVERIFY2(deviation.contains(Rgb(colour)), qPrintable(colour.name()));
    const QSet<QRgb> en = Colours(window.En_Graph());
    QVERIFY(en.contains(Rgb(QColor(40, 40, 128))));
    QVERIFY(en.contains(Rgb(QColor(196, 196, 196))));
}

void TTestQuorvalComparison::Too_Few_Entries_Empty_Everything()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Two entries in A, one in B: nothing to compare, but data to save.
    Fill(&window, Example_A(), {Example_B()[0]}, 50.0);
    QVERIFY(window.Data_Modified());
    QVERIFY(Action(&window, "File_Save")->isEnabled());
    QVERIFY(!Action(&window, "File_Export")->isEnabled());
    QCOMPARE(window.Deviation_Graph()->DataSetCount(), 0);
    QCOMPARE(window.En_Graph()->DataSetCount(), 0);

    Fill(&window, Example_A(), Example_B(), 50.0);
    QVERIFY(window.Data_Modified());
    QVERIFY(window.Deviation_Graph()->DataSetCount() > 2);
    QVERIFY(Colours(window.Deviation_Graph()).contains(Rgb(QColor(128, 40, 40))));
    const double dev_offset = window.Data_B_Dev_Offset();
    QVERIFY(dev_offset != 0.0);

    // Back to one entry in B: everything emptied, the B deviation offset and the flag kept.
    Fill(&window, Example_A(), {Example_B()[0]}, 50.0);
    QVERIFY(Action(&window, "File_Save")->isEnabled());
    QVERIFY(!Action(&window, "File_Export")->isEnabled());
    QCOMPARE(window.Deviation_Graph()->DataSetCount(), 0);
    QCOMPARE(window.En_Graph()->DataSetCount(), 0);
    QVERIFY(window.Graph_Positions().empty());
    QVERIFY(window.Export_Rows().empty());
    QCOMPARE(window.Data_B_Dev_Offset(), dev_offset);
    QVERIFY(window.Data_Modified());
    // The graphs are redrawn empty: no curve is left on screen.
    QVERIFY(!Colours(window.Deviation_Graph()).contains(Rgb(QColor(128, 40, 40))));
}

// An edit still open in a field is finished by reading the entries, which runs Update nested
// inside Update; the window must end as after one run on the committed data.
void TTestQuorvalComparison::Nested_Update_Leaves_A_Single_Run()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Fill(&window, Example_A(), Example_B());

    int updates = 0;
    QObject::connect(Entry_Widget(&window, 'A'), &TEntryWidget::Data_Changed,
                     [&updates]() { ++updates; });
    Select_Row(List_Of(&window, 'A'), 0);
    QLineEdit *actual = Entry_Widget(&window, 'A')->findChild<QLineEdit *>("actual_edit");
    actual->setFocus();
    QVERIFY(QTest::qWaitFor([actual]() { return actual->hasFocus(); }));
    actual->setText("100.0030");

    // Any command stores the pending value first.
    Action(&window, "Fit to Data")->trigger();
    QVERIFY(updates >= 1);
    QCOMPARE(Entry_Widget(&window, 'A')->Entry_Items()[0].actual, 100.003);

    TComparison expected;
    QVERIFY(expected.Calculate(Entry_Widget(&window, 'A')->Entry_Items(),
                               Entry_Widget(&window, 'B')->Entry_Items(), 0.0, window.Options()));
    QCOMPARE(window.Graph_Positions(), expected.Graph_Positions());
    QVERIFY(Same_Rows(window.Export_Rows(), expected.Export_Rows()));
    QVERIFY(Same_Sets(window.Deviation_Graph(), Deviation_Sets(expected)));
    QVERIFY(Same_Sets(window.En_Graph(), En_Sets(expected)));
}

void TTestQuorvalComparison::Export_Writes_The_Report()
{
    // Alignment off, from the settings file.
    QVERIFY(QDir(d_home).mkpath(".quorval"));
    QSettings(d_home + "/.quorval/quorval_settings.ini", QSettings::IniFormat)
        .setValue("Remove_Deviations", false);
    TQuorval window(nullptr, Qt::WindowFlags());
    QVERIFY(!window.Options().remove_deviations);
    window.show();
    Fill(&window, Example_A(), Example_B());
    QCOMPARE(window.Data_B_Dev_Offset(), 0.0);

    const QByteArray expected =
        Report_Head +
        "  100.0000      0.0012    -0.0003     0.0005     0.0005     0.0006     1.9206\n"
        "  200.0000      0.0012    -0.0003     0.0005     0.0005     0.0006     1.9206\n"
        "  300.0000      ------    -0.0003     ------     ------     0.0006     ------\n"
        "\n\nData B Pos Offset:    0.0000\n"
        "Data B Dev Offset:    0.0000\n"
        "En Avg:               1.9206\n"
        "En Max:               1.9206\n";

    // The report goes to the name as given: no extension added, the folder not remembered.
    const QString file_name = d_home + "/report";
    QVERIFY(Write_All(file_name, QByteArray(100000, 'x'))); // replaced completely
    const QString folder_before = window.File_Path();
    for (int run = 0; run < 2; ++run) {
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord overwrite;
        driver.Then_File(&dialog, file_name);
        driver.Then_Box(&overwrite, QMessageBox::Yes); // the dialog's own question
        Action(&window, "File_Export")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.caption, QString("Enter name of text file to create"));
        QCOMPARE(dialog.filters, QStringList({"Text files (*.txt)"}));
        QCOMPARE(dialog.directory, folder_before);
        QVERIFY(dialog.save_mode);
        QCOMPARE(Read_All(file_name), expected);
    }
    QCOMPARE(window.File_Path(), folder_before);
    QVERIFY(window.Data_Modified());

    // An offset typed into set B's field but not yet taken is not the one the rows were computed
    // with: the report and the record print the comparison's.
    Entry_Widget(&window, 'B')->findChild<QLineEdit *>("offset_edit")->setText("7.0000");
    QVERIFY(window.Export_Data(file_name));
    QCOMPARE(Read_All(file_name), expected);
    QVERIFY(window.Export_Record(d_home + "/record.pdf"));
    QVERIFY(Pdf_Text(d_home + "/record.pdf").contains(QRegularExpression("Pos Offset +0.0000 mm")));
}

void TTestQuorvalComparison::Export_Without_Overlap_Has_No_Summary()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, {Entry(0, 0.0, 0.001), Entry(10, 10.001, 0.001)},
         {Entry(1000, 999.999, 0.002), Entry(1010, 1010.0, 0.002)});
    const QString file_name = d_home + "/apart.txt";
    QVERIFY(window.Export_Data(file_name));
    QCOMPARE(Read_All(file_name),
             Report_Head +
                 "    0.0000      0.0000     ------     0.0010     0.0010     ------     ------\n"
                 "   10.0000      0.0010     ------     0.0010     0.0010     ------     ------\n"
                 " 1000.0000      ------    -0.0010     ------     ------     0.0020     ------\n"
                 " 1010.0000      ------     0.0000     ------     ------     0.0020     ------\n");
}

// A report that cannot be written shows the error box and leaves an existing file as it was.
void TTestQuorvalComparison::Export_Failures_Show_The_Error()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    Fill(&window, Example_A(), Example_B());
    QVERIFY(Write_All(d_home + "/plain", "not a folder"));

    const struct
    {
        QString file_name;
        QString error;
    } cases[] = {
        // A folder inside a regular file cannot exist, not even for root.
        {d_home + "/plain/report.txt",
         "Cannot open file '" + d_home + "/plain/report.txt' for writing."},
        // Opens, then every write fails as on a full disk.
        {"/dev/full", "Cannot write file '/dev/full': No space left on device"},
    };
    for (const auto &c : cases) {
        if (c.file_name == "/dev/full" && !QFile::exists(c.file_name))
            continue;
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord overwrite;
        TBoxRecord error;
        driver.Then_File(&dialog, c.file_name);
        if (QFile::exists(c.file_name))
            driver.Then_Box(&overwrite, QMessageBox::Yes); // the dialog's own question
        driver.Then_Box(&error, QMessageBox::Ok);
        Action(&window, "File_Export")->trigger();
        QVERIFY2(driver.Done(), qPrintable(c.file_name));
        QCOMPARE(Error_Box_Difference(error, "Error Exporting File",
                                      "The length comparison file cannot be exported."),
                 QString());
        QCOMPARE(Box_Reason(error), c.error);
    }
    QCOMPARE(Read_All(d_home + "/plain"), QByteArray("not a folder"));

    // A cancelled dialog does nothing.
    TModalDriver driver;
    TDialogRecord dialog;
    driver.Then_File(&dialog, QString());
    Action(&window, "File_Export")->trigger();
    QVERIFY(driver.Done());
}

// Permissions do not stop root: the export runs in a child switched to an unprivileged user.
void TTestQuorvalComparison::Export_To_A_Read_Only_File()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Example_A(), Example_B());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(Set_Mode(dir.path(), 0755));
    const QString file_name = dir.path() + "/old.txt";
    QVERIFY(Write_All(file_name, "old report"));
    QVERIFY(Set_Mode(file_name, 0444));

    const auto refused = [&window, &file_name]() {
        return !window.Export_Data(file_name) &&
               window.Last_Error() == "ERR  Cannot open file '" + file_name + "' for writing.";
    };
    QCOMPARE(Check_As_Unprivileged(refused), QString("ok"));
    QCOMPARE(Read_All(file_name), QByteArray("old report"));
}

void TTestQuorvalComparison::Status_Line_data()
{
    QTest::addColumn<std::vector<Type::TEntryItem>>("a");
    QTest::addColumn<std::vector<Type::TEntryItem>>("b");
    QTest::addColumn<bool>("align");
    QTest::addColumn<QString>("status");
    const std::vector<Type::TEntryItem> a = {Entry(0, 0.0, 0.0005), Entry(100, 100.0, 0.0005)};
    // En 0.001 / sqrt(0.0005^2 + 0.0006^2) = 1.2804 at 0 and half of it at 100.
    const std::vector<Type::TEntryItem> b = {Entry(0, 0.001, 0.0006), Entry(100, 100.0005, 0.0006)};
    QTest::newRow("nothing") << std::vector<Type::TEntryItem>() << std::vector<Type::TEntryItem>()
                             << true << "Sets A and B need at least two entries each";
    QTest::newRow("one entry in B")
        << a << std::vector<Type::TEntryItem>{b[0]} << true << "Set B needs at least two entries";
    QTest::newRow("one entry in A")
        << std::vector<Type::TEntryItem>{a[0]} << b << false
        << "Set A needs at least two entries  \u00b7  Not aligned";
    QTest::newRow("aligned")
        << a << b << true
        << "Positions along one length  \u00b7  2 positions  \u00b7  2 with En  \u00b7  largest En "
           "1.2804 at 0.0000 mm  \u00b7  1 with En > 1";
    QTest::newRow("not aligned") << a << b << false
                                 << "Not aligned  \u00b7  2 positions  \u00b7  2 with En  \u00b7  "
                                    "largest En 1.2804 at 0.0000 mm  \u00b7  1 with En > 1";
    QTest::newRow("no overlap") << a
                                << std::vector<Type::TEntryItem>{Entry(500, 500.0, 0.001),
                                                                 Entry(600, 600.0, 0.001)}
                                << false
                                << "Not aligned  \u00b7  4 positions  \u00b7  0 with En (no "
                                   "position is covered by both sets)";
    // Deviations of opposite signs near the largest double: their difference overflows.
    QTest::newRow("deviations beyond the largest number")
        << std::vector<Type::TEntryItem>{Entry(0, -1e308, 1.0), Entry(1, 1e308, 1.0)}
        << std::vector<Type::TEntryItem>{Entry(1, -1e308, 1.0), Entry(0, 1e308, 1.0)} << false
        << "Not aligned  \u00b7  2 positions  \u00b7  0 with En (2 positions are covered by both "
           "sets, but their values are too large to compute with)";
    // Values of gauge blocks with all their digits; entries without a position of their own.
    QTest::newRow("small values, merged entries")
        << std::vector<Type::TEntryItem>{Entry(0, 0.0, 0.00003), Entry(0.5, 0.5, 0.00003),
                                         Entry(100, 100.0, 0.00003)}
        << std::vector<Type::TEntryItem>{Entry(0.2, 0.2, 0.00004),
                                         Entry(100, 100.000000002, 0.00004)}
        << false
        << "Not aligned  \u00b7  2 positions  \u00b7  2 with En  \u00b7  largest En 0.0000 at "
           "100.000000000 mm  \u00b7  0 with En > 1  \u00b7  2 entries share a position: A 0.5000 "
           "\u2192 0.0000, "
           "B 0.2000 \u2192 0.0000";
    // Lengths told apart by the digits they carry; the position at the data's resolution.
    QTest::newRow("merged within a hundred-thousandth")
        << std::vector<Type::TEntryItem>{Entry(0, 0.0, 0.001), Entry(201, 201.0, 0.001)}
        << std::vector<Type::TEntryItem>{Entry(0, 0.0, 0.001), Entry(200.99999, 200.99999, 0.001)}
        << false
        << "Not aligned  \u00b7  2 positions  \u00b7  2 with En  \u00b7  largest En 0.0000 at "
           "0.00000 mm  \u00b7  0 with En > 1  \u00b7  1 entry shares a position: B 200.99999 "
           "\u2192 201.00000";
}

void TTestQuorvalComparison::Status_Line()
{
    QFETCH(std::vector<Type::TEntryItem>, a);
    QFETCH(std::vector<Type::TEntryItem>, b);
    QFETCH(bool, align);
    QFETCH(QString, status);
    QVERIFY(QDir(d_home).mkpath(".quorval"));
    QSettings(d_home + "/.quorval/quorval_settings.ini", QSettings::IniFormat)
        .setValue("Remove_Deviations", align);
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    Fill(&window, a, b);
    QLabel *label = window.findChild<QLabel *>("status_label");
    QVERIFY(label != nullptr && label->isVisible());
    QCOMPARE(label->text(), status);
}

// Twenty pasted gauge blocks share positions under the defaults; one click, or the kind chosen in
// Options, gives each block its own row, and Undo takes the click back.
void TTestQuorvalComparison::Gauge_Blocks_As_Separate_Items()
{
    std::vector<Type::TEntryItem> blocks;
    for (double nominal : {0.5, 1.0, 1.0005, 1.001, 1.002, 1.003, 1.004, 1.005, 1.006, 1.007,
                           1.008, 1.009, 1.01, 1.02, 1.03, 1.04, 1.05, 1.1, 1.2, 1.5})
        blocks.push_back(Entry(nominal, nominal + 0.00002, 0.00005));
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QVERIFY(Entry_Widget(&window, 'A')->Paste_Entries(blocks) &&
            Entry_Widget(&window, 'B')->Paste_Entries(blocks));
    QLabel *offer = window.findChild<QLabel *>("separate_items_offer");
    QVERIFY(offer->isVisible() && window.Export_Rows().size() < 20);
    emit offer->linkActivated("separate");
    QVERIFY(!offer->isVisible() &&
            window.Status_Text().startsWith("Separate items  \u00b7  20 positions"));
    window.Undo_Stack()->undo();
    QVERIFY(offer->isVisible() && window.Export_Rows().size() < 20);
    TModalDriver driver;
    driver.Then([](QWidget *dialog) -> TModalDriver::TAction {
        dialog->findChild<QRadioButton *>("separate_items_radio")->click();
        return [dialog]() { qobject_cast<QDialog *>(dialog)->accept(); };
    });
    Action(&window, "Options")->trigger();
    QVERIFY(driver.Done());
    QCOMPARE(window.Export_Rows().size(), std::size_t(20));
}

// The window's graph export draws what the report tool's plot draws for the same data file.
void TTestQuorvalComparison::Exported_Graphs_Are_The_Report_Tools_Plot()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Example_A(), Example_B(), 50.0);
    const QString data_file = d_home + "/example.quorval";
    QVERIFY(window.Save_Data(data_file));
    const QString exported = d_home + "/graphs.png";
    QVERIFY2(window.Export_Graphs(exported), qPrintable(window.Last_Error()));

    const QString plot = d_home + "/plot.png";
    QProcess tool;
    tool.start(QUORVAL_REPORT_EXECUTABLE,
               {data_file, "-o", d_home + "/report.txt", "--plot", plot});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    const QImage mine(exported);
    const QImage theirs(plot);
    QCOMPARE(mine.size(), QSize(1000, 800));
    QVERIFY(mine.convertToFormat(QImage::Format_RGB32) ==
            theirs.convertToFormat(QImage::Format_RGB32));
    // Not an empty picture: the brackets of both sets are drawn, in the documents' colours.
    QVERIFY(Colours_Of(mine).contains(Rgb(QColor(128, 185, 216))));
    QVERIFY(Colours_Of(mine).contains(Rgb(QColor(240, 200, 110))));

    QVERIFY(window.Export_Graphs(d_home + "/graphs.PDF"));
    QVERIFY(Read_All(d_home + "/graphs.PDF").startsWith("%PDF"));
    QVERIFY(window.Export_Graphs(d_home + "/graphs.svg"));
    QVERIFY(Read_All(d_home + "/graphs.svg").contains("<svg"));
    QVERIFY(!window.Export_Graphs(d_home + "/graphs.bmp"));
    QCOMPARE(window.Last_Error(), QString("ERR  Cannot write file '%1/graphs.bmp': the name must "
                                          "end in .png, .pdf or .svg")
                                      .arg(d_home));
    QVERIFY(!QFile::exists(d_home + "/graphs.bmp"));
}

// Each file is compared with its own settings (a file without any with the defaults, whatever
// the file opened before held), so that Export equals the report tool's report of it; and an
// unedited Save writes every value it read.
void TTestQuorvalComparison::Files_Keep_Their_Settings_And_Numbers()
{
    QVERIFY(QDir(d_home).mkpath(".quorval"));
    QSettings(d_home + "/.quorval/quorval_settings.ini", QSettings::IniFormat)
        .setValue("Remove_Deviations", false);
    TQuorval window(nullptr, Qt::WindowFlags());
    // The file: B's offset and a tiny actual value, shifted and back by doubles no more.
    const QString offset_file = d_home + "/offset.quorval";
    QVERIFY(Write_All(offset_file,
                      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Quorval_Data File_Version=\"2\">"
                      "<Data_Set_A_Offset>0</Data_Set_A_Offset><Data_Set_B_Offset>2.12345"
                      "</Data_Set_B_Offset><Data_Set_A/><Data_Set_B><Entry><Nominal>0.1"
                      "</Nominal><Actual>0.000022500000</Actual><Uc>0.1</Uc></Entry>"
                      "</Data_Set_B></Quorval_Data>"));
    for (const QString &name : {QString(QUORVAL_SOURCE_ROOT "examples/gauge_blocks.quorval"),
                                QString(QUORVAL_SOURCE_ROOT "examples/small_version1.quorval"),
                                offset_file}) {
        QVERIFY(window.Load_Data(name));
        const QString copy = d_home + "/copy.quorval";
        QVERIFY(window.Save_Data(copy));
        DataFile::TContent read;
        DataFile::TContent saved;
        QString error;
        QVERIFY(DataFile::Load_File(name, &read, &error) && DataFile::Load_File(copy, &saved, &error));
        saved.version = read.version;
        QVERIFY2(DataFile::Identical(read, saved), qPrintable(name));
    }
    QVERIFY(Read_All(d_home + "/copy.quorval").contains("<Actual>0.0000225</Actual>"));

    const QString line_scale = d_home + "/line_scale.quorval";
    QVERIFY(QFile::copy(QUORVAL_SOURCE_ROOT "examples/line_scale.quorval", line_scale));
    QVERIFY(window.Load_Data(QUORVAL_SOURCE_ROOT "examples/gauge_blocks.quorval"));
    QVERIFY(window.Status_Text().startsWith("Separate items  \u00b7  "));
    QVERIFY(window.Load_Data(line_scale));
    QVERIFY(!window.Data_Modified());
    QCOMPARE(window.Options().merge_distance, 1.0);
    QVERIFY(window.Export_Data(d_home + "/window.txt"));
    QProcess tool;
    tool.start(QUORVAL_REPORT_EXECUTABLE, {line_scale, "-o", d_home + "/tool.txt"});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(Read_All(d_home + "/window.txt"), Read_All(d_home + "/tool.txt"));
    // Unedited, the file keeps its bytes: no settings written into it.
    QVERIFY(window.Save_Data(line_scale));
    QCOMPARE(Read_All(line_scale), Read_All(QUORVAL_SOURCE_ROOT "examples/line_scale.quorval"));
    // The settings file still gives a new comparison its settings.
    Action(&window, "New")->trigger();
    QVERIFY(!window.Options().remove_deviations);
}

void TTestQuorvalComparison::Export_Graphs_Command()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QAction *action = Action(&window, "Export Graphs\u2026");
    QVERIFY(!action->isEnabled()); // no comparison yet
    Fill(&window, Example_A(), Example_B());
    QVERIFY(action->isEnabled());
    { // A name without an extension takes the chosen type's (PNG, the first).
        TModalDriver driver;
        TDialogRecord dialog;
        driver.Then_File(&dialog, d_home + "/graphs");
        action->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.caption, QString("Enter name of graph file to create"));
        QCOMPARE(dialog.filters, QStringList({"PNG Images (*.png)", "PDF Documents (*.pdf)",
                                              "SVG Images (*.svg)"}));
        QCOMPARE(QImage(d_home + "/graphs.png").size(), QSize(1000, 800));
    }
    { // The extension makes the name of an existing file: replaced only when the user says so.
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord question;
        QVERIFY(Write_All(d_home + "/graphs.png", "kept"));
        driver.Then_File(&dialog, d_home + "/graphs");
        driver.Then_Box(&question, QMessageBox::No);
        action->trigger();
        QVERIFY(driver.Done());
        QVERIFY(question.informative_text.contains("graphs.png already exists"));
        QCOMPARE(Read_All(d_home + "/graphs.png"), QByteArray("kept"));
    }
    { // A folder that does not exist: the error box names the file and the reason.
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord error;
        const QString name = d_home + "/missing/graphs.svg";
        driver.Then_File(&dialog, name);
        driver.Then_Box(&error, QMessageBox::Ok);
        action->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(
            Error_Box_Difference(error, "Error Exporting Graphs", "The graphs cannot be exported."),
            QString());
        QCOMPARE(Box_Reason(error),
                 QString("Cannot write file '%1': No such file or directory").arg(name));
    }
}

void TTestQuorvalComparison::Fit_To_Data_Restores_Both_Graphs()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Fill(&window, Example_A(), Example_B());
    QApplication::processEvents();
    const double fitted_deviation = window.Deviation_Graph()->Horizontal_Scale();
    const double fitted_en = window.En_Graph()->Horizontal_Scale();
    // Zoom both graphs with a box, as a drag would.
    for (const TGraphWidget *graph : {window.Deviation_Graph(), window.En_Graph()}) {
        TGraphWidget *zoomed = const_cast<TGraphWidget *>(graph);
        const QRect plot = zoomed->Graph_Rect();
        zoomed->Update_Viewport_To_Rect(QRect(plot.left() + 50, plot.top() + 10, 100, 60));
    }
    QVERIFY(window.Deviation_Graph()->Horizontal_Scale() != fitted_deviation);
    QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
    QTRY_COMPARE(window.Deviation_Graph()->Horizontal_Scale(), fitted_deviation);
    QTRY_COMPARE(window.En_Graph()->Horizontal_Scale(), fitted_en);
}

namespace {

// The values at the left and right edges of a graph's plot area.
QPair<double, double> Length_Range(const TGraphWidget *graph)
{
    const TGraphWidget::TScaleMap map = graph->Horizontal_Map();
    return {map.Plain_Value(map.Low_Pixel()), map.Plain_Value(map.High_Pixel())};
}

} // namespace

// Whatever the user does to either graph, both show the same length range.
void TTestQuorvalComparison::Legend_Row_Above_The_Graphs_data()
{
    QTest::addColumn<bool>("aligned");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("aligned") << true
                             << QStringList{"Set A", "Set B", "A before alignment", "En", "En = 1"};
    QTest::newRow("not aligned") << false << QStringList{"Set A", "Set B", "En", "En = 1"};
}

void TTestQuorvalComparison::Legend_Row_Above_The_Graphs()
{
    QFETCH(bool, aligned);
    QFETCH(QStringList, texts);
    QVERIFY(QDir(d_home).mkpath(".quorval"));
    QSettings(d_home + "/.quorval/quorval_settings.ini", QSettings::IniFormat)
        .setValue("Remove_Deviations", aligned);
    TQuorval window(nullptr, Qt::WindowFlags());
    window.resize(900, 800);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Fill(&window, Example_A(), Example_B(), 20.0);
    QApplication::processEvents();

    const TLegendRow *legend = window.Legend_Row();
    QVERIFY(legend != nullptr && legend->isVisible());
    QStringList shown;
    for (const TLegendItem &item : legend->Items())
        shown << item.text;
    QCOMPARE(shown, texts);
    // Outside both graphs, above them, and tall enough for its row.
    const QRect row = legend->geometry();
    QVERIFY(row.height() >= legend->fontMetrics().height());
    QVERIFY(row.bottom() < window.Deviation_Graph()->geometry().top());
    QVERIFY(!row.intersects(window.En_Graph()->geometry()));
    // Its samples are the window's colours: set A's curve and bracket.
    QCOMPARE(legend->Items()[0].curve.colour, QColor(128, 40, 40));
    QCOMPARE(legend->Items()[0].bracket_colour, QColor(212, 96, 96));
}

void TTestQuorvalComparison::Graphs_Share_One_Length_Range()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.resize(900, 800);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Fill(&window, Example_A(), Example_B(), 20.0);
    QApplication::processEvents();
    TGraphWidget *deviation = const_cast<TGraphWidget *>(window.Deviation_Graph());
    TGraphWidget *en = const_cast<TGraphWidget *>(window.En_Graph());
    const QPair<double, double> fitted = Length_Range(deviation);
    // Fitted: one range for both, holding every position of both graphs.
    QCOMPARE(Length_Range(en), fitted);
    QVERIFY(fitted.first < 100.0 && fitted.second > 300.0);

    // A zoom box dragged on the upper graph.
    const QRect plot = deviation->Graph_Rect();
    const QPoint from(plot.left() + plot.width() / 4, plot.top() + 10);
    const QPoint to(plot.left() + plot.width() / 2, plot.bottom() - 10);
    QTest::mousePress(deviation, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent drag(QEvent::MouseMove, to, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(deviation, &drag);
    QTest::mouseRelease(deviation, Qt::LeftButton, Qt::NoModifier, to);
    QApplication::processEvents();
    const QPair<double, double> zoomed = Length_Range(deviation);
    QVERIFY(zoomed.second - zoomed.first < (fitted.second - fitted.first) / 2.0);
    QCOMPARE(Length_Range(en), zoomed);

    // A pan with the right button on the lower graph.
    const QPoint start = en->Graph_Rect().center();
    QTest::mousePress(en, Qt::RightButton, Qt::NoModifier, start);
    QMouseEvent move(QEvent::MouseMove, start + QPoint(40, 0), Qt::RightButton, Qt::RightButton,
                     Qt::NoModifier);
    QApplication::sendEvent(en, &move);
    QTest::mouseRelease(en, Qt::RightButton, Qt::NoModifier, start + QPoint(40, 0));
    QApplication::processEvents();
    const QPair<double, double> panned = Length_Range(en);
    QVERIFY(panned.first < zoomed.first);
    QCOMPARE(Length_Range(deviation), panned);

    // A resize keeps what both show (read back at the new plot edges, to rounding).
    const int panned_width = deviation->width();
    window.resize(820, 780);
    QTRY_VERIFY(deviation->width() != panned_width);
    QApplication::processEvents();
    const double rounding = (panned.second - panned.first) * 1e-12;
    for (const TGraphWidget *graph : {deviation, en})
        QVERIFY(std::fabs(Length_Range(graph).first - panned.first) <= rounding &&
                std::fabs(Length_Range(graph).second - panned.second) <= rounding);
    window.resize(900, 800);
    QTRY_COMPARE(deviation->width(), panned_width);

    // A double-click on either graph fits both again.
    QTest::mouseDClick(en, Qt::LeftButton, Qt::NoModifier, en->Graph_Rect().center());
    QApplication::processEvents();
    QCOMPARE(Length_Range(deviation), fitted);
    QCOMPARE(Length_Range(en), fitted);

    // A resized window fits both graphs to one range again.
    const int width = deviation->width();
    window.resize(700, 760);
    QTRY_VERIFY(deviation->width() != width);
    QApplication::processEvents();
    QCOMPARE(Length_Range(en), Length_Range(deviation));
}

QString TTestQuorvalComparison::Heading_File(TQuorval *window)
{
    const QString file = d_home + "/heading.pdf";
    if (!window->Export_Record(file))
        return window->Last_Error();
    // The checksum follows the file's name on the next line, where there is one.
    const QString text = Pdf_Text(file);
    const QRegularExpressionMatch match =
        QRegularExpression("^Data file +(.*)\n(SHA-256 +([0-9a-f]{64})\n)?",
                           QRegularExpression::MultilineOption)
            .match(text);
    if (!match.hasMatch())
        return QString();
    return match.captured(1).simplified() +
           (match.captured(3).isEmpty() ? QString() : " SHA-256 " + match.captured(3));
}

// The file last opened or saved, said to be changed while the data differs from it, until New.
void TTestQuorvalComparison::Record_Heading_Names_The_Data_File()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Example_A(), Example_B());
    QCOMPARE(Heading_File(&window), QString("not saved"));
    const QString saved = d_home + "/saved.quorval";
    QVERIFY(window.Save_Data(saved));
    // With the checksum of the file's bytes while the comparison is what the file holds.
    const auto Sha256 = [](const QString &file) {
        return " SHA-256 " +
               QString(
                   QCryptographicHash::hash(Read_All(file), QCryptographicHash::Sha256).toHex());
    };
    QCOMPARE(Heading_File(&window), saved + Sha256(saved));
    Type_Offset(&window, "2.5");
    QCOMPARE(Heading_File(&window), saved + " (changed since last opened or saved)");
    window.Undo_Stack()->undo();
    QCOMPARE(Heading_File(&window), saved + Sha256(saved));
    const QString other = d_home + "/other.quorval";
    QVERIFY(QFile::copy(saved, other) &&
            Write_All(other, Read_All(saved).replace(
                                 "</Quorval_Data>", "<Set_A_Description>Lab 1</Set_A_Description>"
                                                    "<Operator>K. Lee</Operator></Quorval_Data>")));
    QVERIFY(window.Load_Data(other));
    QCOMPARE(window.Details().operator_name, QString("K. Lee"));
    // Set A's description heads its list and names it in the legend row.
    QCOMPARE(window.findChild<TSetHeading *>("heading_a")->Text(), QString("Set A \u2014 Lab 1"));
    QCOMPARE(window.Legend_Row()->Items().front().text, QString("Set A: Lab 1"));
    QCOMPARE(Heading_File(&window), other + Sha256(other));
    // The file is known by its bytes: a new time stamp is no change; New then Undo is the data
    // opened again.
    QFile stamped(other);
    QVERIFY(stamped.open(QIODevice::ReadWrite));
    const QDateTime opened = stamped.fileTime(QFileDevice::FileModificationTime);
    QVERIFY(stamped.setFileTime(opened.addSecs(3600), QFileDevice::FileModificationTime));
    Action(&window, "New")->trigger();
    window.Undo_Stack()->undo();
    QCOMPARE(Heading_File(&window), other + Sha256(other));
    // Other bytes of the same size under the old time stamp are a change.
    const QByteArray bytes = Read_All(other);
    QVERIFY(Write_All(other, QByteArray(bytes).replace("K. Lee", "K. Lin")));
    QVERIFY(stamped.setFileTime(opened, QFileDevice::FileModificationTime));
    QCOMPARE(Heading_File(&window), other + " (changed since last opened or saved)");
    // Another program changed the file since it was opened: no checksum is given for it.
    QVERIFY(Write_All(other, bytes + "\n"));
    QCOMPARE(Heading_File(&window), other + " (changed since last opened or saved)");
    Action(&window, "New")->trigger();
    Fill(&window, Example_A(), Example_B());
    QCOMPARE(Heading_File(&window), QString("not saved"));

    // A file without settings opened where a new comparison is unaligned: compared as the file
    // says (aligned, the default), so the record names its checksum.
    QSettings(d_home + "/.quorval/quorval_settings.ini", QSettings::IniFormat)
        .setValue("Remove_Deviations", false);
    TQuorval unaligned(nullptr, Qt::WindowFlags());
    QVERIFY(!unaligned.Options().remove_deviations);
    QVERIFY(unaligned.Load_Data(saved));
    QVERIFY(unaligned.Options().remove_deviations);
    QCOMPARE(Heading_File(&unaligned), saved + Sha256(saved));
}

// Printing without a printer, into a PDF file, gives the exported record's pages.
void TTestQuorvalComparison::Record_Printed_As_Exported()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Example_A(), Example_B());
    QPrinter printer(QPrinter::HighResolution);
    Record::Set_Up_Page(&printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(d_home + "/printed.pdf");
    QVERIFY(window.Print_Record(&printer));
    QVERIFY(window.Export_Record(d_home + "/exported.pdf"));
    const QRegularExpression time("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d");
    const QString printed = Pdf_Text(d_home + "/printed.pdf").replace(time, "TIME");
    QVERIFY(printed.contains("Page 1 of 2"));
    QCOMPARE(printed, Pdf_Text(d_home + "/exported.pdf").replace(time, "TIME"));

    printer.setOutputFileName(d_home + "/missing/printed.pdf");
    QVERIFY(!window.Print_Record(&printer));
    QCOMPARE(window.Last_Error(), QString("ERR  Cannot write file '%1/missing/printed.pdf': No "
                                          "such file or directory")
                                      .arg(d_home));

    // The file is replaced only by a complete record: beyond a file-size limit the old one stays.
    printer.setOutputFileName(d_home + "/printed.pdf");
    QVERIFY(Write_All(d_home + "/printed.pdf", "old record"));
    QCOMPARE(Run_In_Child([&window, &printer] {
                 const bool limited = Limit_File_Size(4096);
                 std::signal(SIGXFSZ, SIG_IGN); // as the program does
                 return limited && !window.Print_Record(&printer) ? window.Last_Error()
                                                                  : QStringLiteral("printed");
             }),
             QString("ERR  Cannot write file '%1/printed.pdf': File too large").arg(d_home));
    QCOMPARE(Read_All(d_home + "/printed.pdf"), QByteArray("old record"));
}

void TTestQuorvalComparison::Record_Commands()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QAction *action = Action(&window, "Export Record\u2026");
    QAction *print = Action(&window, "Print\u2026");
    QVERIFY(!action->isEnabled() && !print->isEnabled()); // no comparison yet
    Fill(&window, Example_A(), Example_B());
    QVERIFY(action->isEnabled() && print->isEnabled());
    { // The extension is added; the status line says what was written.
        TModalDriver driver;
        TDialogRecord dialog;
        driver.Then_File(&dialog, d_home + "/record");
        action->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.caption, QString("Enter name of record file to create"));
        QCOMPARE(dialog.filters, QStringList({"PDF Documents (*.pdf)"}));
        QVERIFY(Read_All(d_home + "/record.pdf").startsWith("%PDF-"));
        QVERIFY(window.findChild<QLabel *>("status_label")->text().endsWith("record.pdf written"));
    }
    { // A folder that does not exist: the error box names the file and the reason.
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord error;
        const QString name = d_home + "/missing/record.pdf";
        driver.Then_File(&dialog, name);
        driver.Then_Box(&error, QMessageBox::Ok);
        action->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(
            Error_Box_Difference(error, "Error Exporting Record", "The record cannot be exported."),
            QString());
        QCOMPARE(Box_Reason(error),
                 QString("Cannot write file '%1': No such file or directory").arg(name));
    }
    { // Print opens the system's print dialog; cancelled, it prints nothing and says nothing.
        TModalDriver driver;
        bool print_dialog = false;
        driver.Then([&print_dialog](QWidget *widget) -> TModalDriver::TAction {
            print_dialog = qobject_cast<QPrintDialog *>(widget) != nullptr;
            return [widget]() { qobject_cast<QDialog *>(widget)->reject(); };
        });
        print->trigger();
        QVERIFY(driver.Done() && print_dialog);
    }
    Fill(&window, Example_A(), {Example_B()[0]});
    QVERIFY(!action->isEnabled() && !print->isEnabled());
}

void TTestQuorvalComparison::Cancelled_Work_Changes_Nothing_data()
{
    QTest::addColumn<QString>("work");
    // Reading a file is stopped at its second report, in the middle of the reading; the other
    // work at its first.
    QTest::addColumn<bool>("reading");
    // Open reports while it compares and draws too, until just before its end.
    QTest::addColumn<bool>("after_reading");
    for (const char *work : {"open", "import"})
        QTest::newRow(work) << QString(work) << true << false;
    QTest::newRow("open, comparing") << QString("open") << false << true;
    for (const char *work : {"graphs", "record", "record printed to a file"})
        QTest::newRow(work) << QString(work) << false << false;
}

// Work the user cancels (its progress report says stop) fails, and leaves the data, its history
// and every file as they were.
void TTestQuorvalComparison::Cancelled_Work_Changes_Nothing()
{
    QFETCH(QString, work);
    QFETCH(bool, reading);
    QFETCH(bool, after_reading);
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Example_A(), Example_B());
    // Files long enough to be reported on several times while they are read.
    std::vector<Type::TEntryItem> many;
    for (int i = 1; i <= 10000; ++i)
        many.push_back(Entry(i, i + 0.001, 0.01));
    DataFile::TContent content;
    content.entries_a = content.entries_b = many;
    const QString data_file = d_home + "/other.quorval";
    QString error;
    QVERIFY(DataFile::Save_File(data_file, content, &error));
    Type_Offset(&window, "2.5");
    const std::vector<Type::TEntryItem> a = Entry_Widget(&window, 'A')->List_Items();
    const int changes = window.Undo_Stack()->count();
    const QString target = d_home + "/target.pdf";
    QVERIFY(Write_All(target, "old") &&
            Write_All(d_home + "/b.csv", EntryText::Entries_Text(many).toUtf8()));
    int reports = 0;
    qint64 stopped_done = -1;
    qint64 stopped_total = -1;
    const Progress::TReport stop = [&](qint64 done, qint64 total) {
        if (++reports < (reading ? 2 : 1) || (after_reading && done < total * 4 / 5))
            return true;
        if (stopped_total < 0) {
            stopped_done = done;
            stopped_total = total;
        }
        return false;
    };

    QPrinter printer;
    printer.setOutputFileName(target);
    const bool done = work == "open"     ? window.Load_Data(data_file, stop)
                      : work == "import" ? window.Import_Data(d_home + "/b.csv", false, stop)
                      : work == "graphs" ? window.Export_Graphs(target, stop)
                      : work == "record" ? window.Export_Record(target, nullptr, stop)
                                         : window.Print_Record(&printer, stop);
    QVERIFY(!done);
    if (reading || after_reading) // stopped part way
        QVERIFY(stopped_done > 0 && stopped_done < stopped_total);
    // Not taken for a damaged or unreadable file, nor for a record that cannot be drawn.
    QCOMPARE(window.Last_Error(), QString("ERR  Cancelled."));
    QVERIFY(Same_Entries(Entry_Widget(&window, 'A')->List_Items(), a));
    QCOMPARE(Entry_Widget(&window, 'B')->Entry_Offset(), 2.5);
    QVERIFY(window.Data_Modified());
    QCOMPARE(window.Undo_Stack()->count(), changes);
    QCOMPARE(Read_All(target), QByteArray("old"));
}

int main(int argc, char *argv[])
{
    return Run_With_Temporary_Home<TTestQuorvalComparison>(argc, argv);
}

#include "test_quorval_comparison.moc"
