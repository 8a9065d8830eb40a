// The main window's data file and its commands: loading and saving through the entry widgets,
// Open, Save, drag and drop with their questions and error boxes, and the options dialog.

#include "test_quorval_support.h"

#include "src/compute/numbertext.h"
#include "src/window/entrymodel.h"
#include "src/window/optionsdialog.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include <cmath>

using namespace Support;

namespace {

std::vector<Type::TEntryItem> Set_A()
{
    return {Entry(100, 100.0012, 0.002), Entry(200, 200.0004, 0.003), Entry(300, 299.9991, 0.004)};
}
std::vector<Type::TEntryItem> Set_B()
{
    return {Entry(0, 0.0003, 0.001), Entry(100, 99.9995, 0.002), Entry(250, 250.001, 0.003)};
}

QByteArray File_V2(const QByteArray &offsets, const QByteArray &entry_b)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Quorval_Data File_Version=\"2\">\n" +
           offsets +
           "<Data_Set_A><Entry><Nominal>1</Nominal><Actual>1.5</Actual><Uc>0.1</Uc></Entry>"
           "<Entry><Nominal>2</Nominal><Actual>2.5</Actual><Uc>0.2</Uc></Entry></Data_Set_A>"
           "<Data_Set_B>" +
           entry_b + "</Data_Set_B></Quorval_Data>\n";
}

const QByteArray Both_Offsets = "<Data_Set_A_Offset>0</Data_Set_A_Offset>"
                                "<Data_Set_B_Offset>0</Data_Set_B_Offset>";
const QByteArray Good_Entry = "<Entry><Nominal>3</Nominal><Actual>3.1</Actual><Uc>0.3</Uc></Entry>";

// What the two entry widgets hold: entries as returned and both offsets.
struct TState
{
    std::vector<Type::TEntryItem> a, b;
    double offset_a, offset_b;
};

TState State_Of(QWidget *window)
{
    return {Entry_Widget(window, 'A')->Entry_Items(), Entry_Widget(window, 'B')->Entry_Items(),
            Entry_Widget(window, 'A')->Entry_Offset(), Entry_Widget(window, 'B')->Entry_Offset()};
}

bool Same_State(const TState &x, const TState &y)
{
    return Same_Entries(x.a, y.a) && Same_Entries(x.b, y.b) && x.offset_a == y.offset_a &&
           x.offset_b == y.offset_b;
}

void Send_Drag(QWidget *window, QMimeData *mime, bool *accepted)
{
    QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
    *accepted = event.isAccepted();
}

// A drop reaches the widget that accepted the drag's entry, as with a real drag.
void Send_Drop(QWidget *window, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    bool accepted = false;
    Send_Drag(window, &mime, &accepted);
    QVERIFY(accepted);
    QDropEvent event(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

} // namespace

class TTestQuorvalFiles : public QObject
{
    Q_OBJECT

public:
    explicit TTestQuorvalFiles(const QString &root) : d_root(root), d_count(0) {}

private slots:
    void init();
    // Forks: runs before any file dialog has started threads of its own.
    void Save_To_A_Read_Only_File();
    void Round_Trips_data();
    void Round_Trips();
    void Versions_And_Numbers();
    void Failed_Loads_Keep_Everything();
    void Loading_Inserts_Each_Set_At_Once();
    void Open_Command();
    void Command_Line_data();
    void Command_Line();
    void Save_Command();
    void Open_Recent();
    void Drag_And_Drop();
    void Drop_With_Unsaved_Data();
    void Options_Dialog();
    void Partial_Data_Is_Kept_data();
    void Partial_Data_Is_Kept();
    void New_Command_data();
    void New_Command();

private:
    QString d_root;
    QString d_home;
    int d_count;
};

void TTestQuorvalFiles::init()
{
    d_home = New_Home(d_root, &d_count);
    QVERIFY(!d_home.isEmpty());
}

void TTestQuorvalFiles::Round_Trips_data()
{
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("scale");
    QTest::newRow("no offset") << 0.0 << 1.0;
    QTest::newRow("offset 12.5") << 12.5 << 1.0;
    QTest::newRow("offset 2.12345, large values") << 2.12345 << 1e7;
    QTest::newRow("offset -0.000125, small values") << -0.000125 << 1e-5;
}

// Save, load into another window, save again: the same bytes, and both sets and set B's offset
// as they were, bit for bit, with values of 1 to 12 decimals.
void TTestQuorvalFiles::Round_Trips()
{
    QFETCH(double, offset);
    QFETCH(double, scale);
    std::vector<Type::TEntryItem> a = Set_A();
    std::vector<Type::TEntryItem> b = Set_B();
    for (int decimals = 1; decimals <= 12; ++decimals) {
        const double step = std::pow(10.0, -decimals);
        const double nominal = scale * (1000 + 10 * decimals);
        a.push_back(Entry(nominal, nominal + 3 * step, step));
        b.push_back(Entry(nominal, nominal - 7 * step, 2 * step));
    }
    TQuorval first(nullptr, Qt::WindowFlags());
    Fill(&first, a, b, offset);
    const TState before = State_Of(&first);
    const QString saved = d_home + "/first.quorval";
    QVERIFY(first.Save_Data(saved));

    TQuorval second(nullptr, Qt::WindowFlags());
    QVERIFY(second.Load_Data(saved));
    QVERIFY(!second.Data_Modified());
    const TState after = State_Of(&second);
    QCOMPARE(after.offset_a, 0.0);
    QCOMPARE(after.offset_b, offset);
    QVERIFY(Same_Entries(after.a, before.a));
    QVERIFY(Same_Entries(after.b, before.b));
    const QString again = d_home + "/second.quorval";
    QVERIFY(second.Save_Data(again));
    QCOMPARE(Read_All(again), Read_All(saved));
    QVERIFY(Read_All(saved).contains("<Data_Set_B_Offset>" +
                                     NumberText::Shortest_Fixed(offset, 5).toLatin1() + "<"));
}

void TTestQuorvalFiles::Versions_And_Numbers()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Set_A(), Set_B(), 7.0);

    // Version 1: no offsets, both set to 0; entries as stored.
    const QString v1 = d_home + "/v1.quorval";
    QVERIFY(Write_All(v1, "<?xml version=\"1.0\"?><Quorval_Data File_Version=\"1\">"
                          "<Data_Set_A><Entry><Nominal>1</Nominal><Actual>1.5</Actual>"
                          "<Uc>0.1</Uc></Entry></Data_Set_A><Data_Set_B>" +
                              Good_Entry + "</Data_Set_B></Quorval_Data>"));
    QVERIFY(window.Load_Data(v1));
    TState state = State_Of(&window);
    QCOMPARE(state.offset_a, 0.0);
    QCOMPARE(state.offset_b, 0.0);
    QVERIFY(Same_Entries(state.a, {Entry(1, 1.5, 0.1)}));
    QVERIFY(Same_Entries(state.b, {Entry(3, 3.1, 0.3)}));

    // Version 2 with set A's offset not 0: set B keeps its place relative to set A.
    const QString v2 = d_home + "/v2.quorval";
    QVERIFY(Write_All(v2, File_V2("<Data_Set_A_Offset>2</Data_Set_A_Offset>"
                                  "<Data_Set_B_Offset>14.5</Data_Set_B_Offset>",
                                  "<Entry><Nominal>0</Nominal><Actual>0</Actual>"
                                  "<Uc>0</Uc></Entry><Entry><Nominal>0</Nominal>"
                                  "<Actual>20.5</Actual><Uc>0.5</Uc></Entry>")));
    QVERIFY(window.Load_Data(v2));
    state = State_Of(&window);
    QCOMPARE(state.offset_a, 0.0);
    QCOMPARE(state.offset_b, 12.5);
    QVERIFY(Same_Entries(state.b, {Entry(0, 0, 0), Entry(0, 20.5, 0.5)}, 1e-9));

    // The comparison's settings in a file apply; a file without them is compared with the
    // defaults, whatever the file before held.
    const QString settings = d_home + "/settings.quorval";
    QVERIFY(Write_All(settings, File_V2(Both_Offsets, Good_Entry)
                                    .replace("</Quorval_Data>",
                                             "<Align_Deviations>false</Align_Deviations>"
                                             "<Position_Merge_Distance>0.25"
                                             "</Position_Merge_Distance></Quorval_Data>")));
    for (const QString &file_name : {settings, v1}) {
        QVERIFY(window.Load_Data(file_name));
        const bool carries = file_name == settings;
        QCOMPARE(window.Options().remove_deviations, !carries);
        QCOMPARE(window.Options().merge_distance, carries ? 0.25 : 1.0);
        QVERIFY(!window.Data_Modified());
    }
}

// Whatever makes a load fail, both lists and both offsets stay as they were.
void TTestQuorvalFiles::Failed_Loads_Keep_Everything()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Set_A(), Set_B(), 12.5);
    const TState before = State_Of(&window);

    const QString version_error = "ERR  Load_Data: ERR:  File version not recognized";
    const struct
    {
        const char *name;
        QByteArray content;
        QString error;        // exact, or empty
        QStringList mentions; // otherwise: words the message names
    } cases[] = {
        {"missing", QByteArray(), QString(), {"ERR  Load_Data: ERR:  "}},
        {"not_xml", "this is no XML", QString(), {"ERR  Load_Data: ERR:  "}},
        {"version3",
         File_V2(Both_Offsets, Good_Entry).replace("\"2\"", "\"3\""),
         version_error,
         {}},
        {"version0",
         File_V2(Both_Offsets, Good_Entry).replace("\"2\"", "\"0\""),
         version_error,
         {}},
        {"version_word",
         File_V2(Both_Offsets, Good_Entry).replace("\"2\"", "\"two\""),
         version_error,
         {}},
        {"no_b_offset",
         File_V2("<Data_Set_A_Offset>0</Data_Set_A_Offset>", Good_Entry),
         QString(),
         {"ERR  Load_Data: ERR:  ", "Data_Set_B_Offset", "Quorval_Data"}},
        {"no_uc",
         File_V2(Both_Offsets, "<Entry><Nominal>3</Nominal><Actual>3</Actual></Entry>"),
         QString(),
         {"ERR  Load_Data: ERR:  ", "Uc", "Entry"}},
        {"not_a_number",
         File_V2(Both_Offsets, Good_Entry + "<Entry><Nominal>abc</Nominal><Actual>inf</Actual>"
                                            "<Uc>nan</Uc></Entry>"),
         "ERR  Load_Data: ERR:  Node 'Nominal' of entry 2 in 'Data_Set_B' holds 'abc', which is "
         "not "
         "a number.",
         {}},
        {"not_well_formed",
         File_V2(Both_Offsets, Good_Entry).replace("<Nominal>3", "<Nominal>3&x;"),
         QString(),
         {"ERR  Load_Data: ERR:  Reference file XML parse error at line 3 column ",
          ": undefined entity"}},
        {"no_set_b",
         File_V2(Both_Offsets, "").replace("<Data_Set_B></Data_Set_B>", ""),
         QString(),
         {"ERR  Load_Data: ERR:  ", "Data_Set_B"}},
    };
    for (const auto &c : cases) {
        const QString file_name = d_home + "/" + c.name + ".quorval";
        if (!c.content.isNull())
            QVERIFY(Write_All(file_name, c.content));
        QVERIFY2(!window.Load_Data(file_name), c.name);
        if (!c.error.isEmpty())
            QCOMPARE(window.Last_Error(), c.error);
        for (const QString &word : c.mentions)
            QVERIFY2(window.Last_Error().contains(word), qPrintable(window.Last_Error()));
        QVERIFY2(Same_State(State_Of(&window), before), c.name);
    }
}

// Entries of a file reach each list at once (one reset), shown in their own scale.
void TTestQuorvalFiles::Loading_Inserts_Each_Set_At_Once()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    std::vector<Type::TEntryItem> many;
    for (int i = 0; i < 500; ++i)
        many.push_back(Entry(i, i + 0.001 * (i % 7), 0.001));
    Fill(&window, many, many, 3.0);
    const QString file_name = d_home + "/many.quorval";
    QVERIFY(window.Save_Data(file_name));

    TQuorval other(nullptr, Qt::WindowFlags());
    QListView *list = List_Of(&other, 'A');
    int resets = 0;
    QObject::connect(list->model(), &QAbstractItemModel::modelReset, [&resets]() { ++resets; });
    QVERIFY(other.Load_Data(file_name));
    QCOMPARE(resets, 1);
    QCOMPARE(Row_Count(list), 500);
    QCOMPARE(Row_Text(list, 499), TEntryModel::Display_Text(many[499]));
    QCOMPARE(Row_Text(List_Of(&other, 'B'), 499), TEntryModel::Display_Text(many[499]));
    QVERIFY(Same_Entries(Entry_Widget(&other, 'B')->Entry_Items(),
                         Entry_Widget(&window, 'B')->Entry_Items(), 1e-9));
}

void TTestQuorvalFiles::Open_Command()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QVERIFY(QDir().mkpath(d_home + "/data"));
    const QString good = d_home + "/data/good.quorval";
    const QString damaged = d_home + "/data/damaged.quorval";
    QVERIFY(Write_All(good, File_V2(Both_Offsets, Good_Entry + Good_Entry)));
    QVERIFY(Write_All(damaged, "<Quorval_Data File_Version=\"2\"><Data_Set_A>"));
    Fill(&window, Set_A(), Set_B());
    QVERIFY(window.Data_Modified());
    const TState before = State_Of(&window);

    { // Unsaved data, answered No: no dialog, nothing changes.
        TModalDriver driver;
        TBoxRecord question;
        driver.Then_Box(&question, QMessageBox::No);
        Action(&window, "Open")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(Box_Difference(
                     question, "Data Not Saved", "Do you want to continue without saving?",
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QMessageBox::Warning),
                 QString());
        QVERIFY(question.detailed_text.isEmpty());
    }
    { // Yes, then the dialog cancelled: nothing changes, the flag stays set.
        TModalDriver driver;
        TBoxRecord question;
        TDialogRecord dialog;
        driver.Then_Box(&question, QMessageBox::Yes);
        driver.Then_File(&dialog, QString());
        Action(&window, "Open")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.caption, QString("Select length comparison file to open"));
        QCOMPARE(dialog.filters, QStringList({"Length Comparison Files (*.quorval)"}));
        QCOMPARE(dialog.directory, d_home);
        QVERIFY(!dialog.save_mode);
        QVERIFY(window.Data_Modified());
        QCOMPARE(window.File_Path(), d_home);
    }
    { // A damaged file: the error box, the data and the flag as before, the folder kept.
        // An entry put in without a signal shows in the rows only if the command recomputes.
        const std::size_t rows_before = window.Export_Rows().size();
        Entry_Widget(&window, 'A')->Add_Entry_Item(Entry(900.0, 900.0, 0.001));
        TModalDriver driver;
        TBoxRecord question, error;
        TDialogRecord dialog;
        driver.Then_Box(&question, QMessageBox::Yes);
        driver.Then_File(&dialog, damaged);
        driver.Then_Box(&error, QMessageBox::Ok);
        Action(&window, "Open")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(Error_Box_Difference(error, "Error Loading File",
                                      "The selected length comparison file cannot be loaded."),
                 QString());
        // The reason is in the box's text, without the markers of the file functions.
        QVERIFY(window.Last_Error().startsWith("ERR  Load_Data: ERR:  "));
        QCOMPARE("ERR  Load_Data: ERR:  " + Box_Reason(error), window.Last_Error());
        QCOMPARE(window.Export_Rows().size(), rows_before + 1); // recomputed
        Entry_Widget(&window, 'A')->Clear_Entry_Items();
        Entry_Widget(&window, 'A')->Add_Entry_Items(before.a);
        QVERIFY(Same_State(State_Of(&window), before));
        QVERIFY(window.Data_Modified());
        QCOMPARE(window.File_Path(), d_home + "/data");
    }
    { // A good file: loaded, recomputed, the flag clear.
        TModalDriver driver;
        TBoxRecord question;
        TDialogRecord dialog;
        driver.Then_Box(&question, QMessageBox::Yes);
        driver.Then_File(&dialog, good);
        Action(&window, "Open")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.directory, d_home + "/data");
        QVERIFY(!window.Data_Modified());
        QCOMPARE(Entry_Widget(&window, 'B')->Entry_Items().size(), std::size_t(2));
        QVERIFY(Action(&window, "File_Save")->isEnabled());
    }
    { // A damaged file with the flag clear: it stays clear.
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord error;
        driver.Then_File(&dialog, damaged);
        driver.Then_Box(&error, QMessageBox::Ok);
        Action(&window, "Open")->trigger();
        QVERIFY(driver.Done());
        QVERIFY(error.shown);
        QVERIFY(!window.Data_Modified());
    }
}

void TTestQuorvalFiles::Command_Line_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit_code");
    QTest::addColumn<QString>("output"); // the start of standard output or, failing, of error
    QTest::newRow("version") << QStringList{"--version"} << 0 << "quorval " QUORVAL_VERSION "\n";
    QTest::newRow("help") << QStringList{"a.quorval", "-h"} << 0 << "Usage: quorval [FILE.quorval]";
    QTest::newRow("unknown option")
        << QStringList{"--bogus"} << 2 << "quorval: unknown option '--bogus'\n\nUsage: quorval";
    // Qt's own options are taken by Qt, so only the unknown one is refused.
    QTest::newRow("Qt's options") << QStringList{"-style", "windows", "-reverse", "--bogus"} << 2
                                  << "quorval: unknown option '--bogus'\n\nUsage: quorval";
    QTest::newRow("second file") << QStringList{"a.quorval", "b.quorval"} << 2
                                 << "quorval: only one file can be opened\n\nUsage: quorval";
}

// Answered before any window opens (the Open command shares the opening of a file given).
void TTestQuorvalFiles::Command_Line()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exit_code);
    QFETCH(QString, output);
    QProcess program;
    program.start(QUORVAL_EXECUTABLE, arguments);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), exit_code);
    const QByteArray text =
        exit_code == 0 ? program.readAllStandardOutput() : program.readAllStandardError();
    // Before a usage error Qt may have warned about the environment (it read its options first).
    QVERIFY2(exit_code == 0 ? text.startsWith(output.toUtf8()) : text.contains(output.toUtf8()),
             text.constData());
}

void TTestQuorvalFiles::Save_Command()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    Fill(&window, Set_A(), Set_B(), 12.5);
    QVERIFY(QDir().mkpath(d_home + "/data"));

    { // run1 typed in /data: run1.quorval there, the folder remembered, the flag cleared.
        TModalDriver driver;
        TDialogRecord dialog;
        driver.Then_File(&dialog, d_home + "/data/run1");
        Action(&window, "File_Save")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.caption, QString("Enter name of length comparison file to create"));
        QCOMPARE(dialog.filters, QStringList({"Length Comparison Files (*.quorval)"}));
        QCOMPARE(dialog.directory, d_home);
        QVERIFY(dialog.save_mode);
        QVERIFY(QFile::exists(d_home + "/data/run1.quorval"));
        QCOMPARE(window.File_Path(), d_home + "/data");
        QVERIFY(!window.Data_Modified());
    }
    { // An upper-case extension is kept as typed.
        Type_Offset(&window, "13");
        TModalDriver driver;
        TDialogRecord dialog;
        driver.Then_File(&dialog, d_home + "/data/RUN2.QUORVAL");
        Action(&window, "File_Save")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.directory, d_home + "/data");
        QVERIFY(QFile::exists(d_home + "/data/RUN2.QUORVAL"));
        QVERIFY(!QFile::exists(d_home + "/data/RUN2.QUORVAL.quorval"));
        QVERIFY(!window.Data_Modified());
    }

    // The name with the extension added is that of an existing file: asked first.
    const QString existing = d_home + "/other/a&b.quorval";
    QVERIFY(QDir().mkpath(d_home + "/other"));
    QVERIFY(Write_All(existing, "old"));
    Type_Offset(&window, "12.5");
    { // No: nothing written, folder and flag unchanged.
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord question;
        driver.Then_File(&dialog, d_home + "/other/a&b");
        driver.Then_Box(&question, QMessageBox::No);
        Action(&window, "File_Save")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(Box_Difference(question, "File Exists",
                                QString("The file %1 already exists.  Do you want to replace it?")
                                    .arg(existing.toHtmlEscaped()),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                                QMessageBox::Warning),
                 QString());
        QVERIFY(question.informative_text.contains("a&amp;b"));
        QVERIFY(question.detailed_text.isEmpty());
        QCOMPARE(Read_All(existing), QByteArray("old"));
        QCOMPARE(window.File_Path(), d_home + "/data");
        QVERIFY(window.Data_Modified());
    }
    { // Yes: replaced.
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord question;
        driver.Then_File(&dialog, d_home + "/other/a&b");
        driver.Then_Box(&question, QMessageBox::Yes);
        Action(&window, "File_Save")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(Read_All(existing), Read_All(d_home + "/data/run1.quorval"));
        QVERIFY(!window.Data_Modified());
    }
    { // A file that cannot be written, even by root: the error box, the flag kept.
        Type_Offset(&window, "13");
        QVERIFY(Write_All(d_home + "/plain", "a file"));
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord error;
        driver.Then_File(&dialog, d_home + "/plain/run3.quorval");
        driver.Then_Box(&error, QMessageBox::Ok);
        Action(&window, "File_Save")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(Error_Box_Difference(error, "Error Saving File",
                                      "The length comparison file cannot be written."),
                 QString());
        QCOMPARE("ERR  Save_Data: ERR:  " + Box_Reason(error), window.Last_Error());
        QVERIFY(window.Data_Modified());
        QCOMPARE(window.File_Path(), d_home + "/plain");
    }
    { // A cancelled dialog changes nothing.
        TModalDriver driver;
        TDialogRecord dialog;
        driver.Then_File(&dialog, QString());
        Action(&window, "File_Save")->trigger();
        QVERIFY(driver.Done());
        QVERIFY(window.Data_Modified());
    }
}

// Permissions do not stop root: the save runs in a child switched to an unprivileged user.
void TTestQuorvalFiles::Save_To_A_Read_Only_File()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    Fill(&window, Set_A(), Set_B());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(Set_Mode(dir.path(), 0755));
    const QString file_name = dir.path() + "/old.quorval";
    QVERIFY(Write_All(file_name, "old data"));
    QVERIFY(Set_Mode(file_name, 0444));

    const auto refused = [&window, &file_name]() {
        return !window.Save_Data(file_name) &&
               window.Last_Error().startsWith("ERR  Save_Data: ERR:  ") &&
               window.Last_Error().contains(file_name);
    };
    QCOMPARE(Check_As_Unprivileged(refused), QString("ok"));
    QCOMPARE(Read_All(file_name), QByteArray("old data"));

    // A writable file in a folder that allows no new file is written in place, as the status
    // line says.
    QVERIFY(Set_Mode(file_name, 0666) && Set_Mode(dir.path(), 0555));
    const auto in_place = [&window, &file_name]() {
        return window.Save_Data(file_name) && window.findChild<QLabel *>("status_label")
                                                  ->text()
                                                  .endsWith("old.quorval written in place");
    };
    QCOMPARE(Check_As_Unprivileged(in_place), QString("ok"));
    QVERIFY(Read_All(file_name).startsWith("<?xml"));
}

void TTestQuorvalFiles::Drag_And_Drop()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();

    bool accepted = true;
    QMimeData text;
    text.setText("/some/file.quorval");
    Send_Drag(&window, &text, &accepted);
    QVERIFY(!accepted);
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/a.txt"), QUrl::fromLocalFile("/b.txt")});
    Send_Drag(&window, &files, &accepted);
    QVERIFY(accepted); // looked at only on the drop

    const QString good = d_home + "/good.QUORVAL";
    QVERIFY(Write_All(good, File_V2(Both_Offsets, Good_Entry + Good_Entry)));
    const QString other = d_home + "/good.txt";
    QVERIFY(Write_All(other, File_V2(Both_Offsets, Good_Entry + Good_Entry)));
    const QString damaged = d_home + "/damaged.quorval";
    QVERIFY(Write_All(damaged, "<Quorval_Data File_Version=\"2\">"));

    TModalDriver driver; // no box at all in this test
    // Two files, or another extension: nothing.
    Send_Drop(&window, {QUrl::fromLocalFile(good), QUrl::fromLocalFile(good)});
    Send_Drop(&window, {QUrl::fromLocalFile(other)});
    QVERIFY(Entry_Widget(&window, 'A')->Entry_Items().empty());

    // One data file, the extension in any case: loaded, the flag clear, the folder unchanged.
    Send_Drop(&window, {QUrl::fromLocalFile(good)});
    QCOMPARE(Entry_Widget(&window, 'A')->Entry_Items().size(), std::size_t(2));
    QVERIFY(!window.Data_Modified());
    QVERIFY(!window.Export_Rows().empty());
    QCOMPARE(window.File_Path(), d_home);

    // A damaged file: no message, nothing changes.
    const TState before = State_Of(&window);
    Send_Drop(&window, {QUrl::fromLocalFile(damaged)});
    QVERIFY(Same_State(State_Of(&window), before));
    QVERIFY(!window.Data_Modified());
    QVERIFY(driver.Done());
}

void TTestQuorvalFiles::Drop_With_Unsaved_Data()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    const QString good = d_home + "/good.quorval";
    QVERIFY(Write_All(good, File_V2(Both_Offsets, Good_Entry + Good_Entry)));
    const QString damaged = d_home + "/damaged.quorval";
    QVERIFY(Write_All(damaged, "<Quorval_Data File_Version=\"2\">"));
    Fill(&window, Set_A(), Set_B());
    const TState unsaved = State_Of(&window);

    { // Cancel: nothing.
        TModalDriver driver;
        TBoxRecord question;
        driver.Then_Box(&question, QMessageBox::Cancel);
        Send_Drop(&window, {QUrl::fromLocalFile(good)});
        QVERIFY(driver.Done());
        QCOMPARE(Box_Difference(question, "Data Not Saved",
                                "The length comparison data has been modified.  Do you want to "
                                "save the changes?",
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                QMessageBox::Yes, QMessageBox::Warning),
                 QString());
        QVERIFY(question.detailed_text.isEmpty());
        QVERIFY(Same_State(State_Of(&window), unsaved));
        QVERIFY(window.Data_Modified());
    }
    { // Yes, then the save dialog cancelled: nothing is loaded, the data stays unsaved.
        TModalDriver driver;
        TBoxRecord question;
        TDialogRecord dialog;
        driver.Then_Box(&question, QMessageBox::Yes);
        driver.Then_File(&dialog, QString());
        Send_Drop(&window, {QUrl::fromLocalFile(good)});
        QVERIFY(driver.Done());
        QVERIFY(dialog.save_mode);
        QVERIFY(Same_State(State_Of(&window), unsaved));
        QVERIFY(window.Data_Modified());
    }
    { // No, and the file is damaged: no error box, data and flag as before.
        TModalDriver driver;
        TBoxRecord question;
        driver.Then_Box(&question, QMessageBox::No);
        Send_Drop(&window, {QUrl::fromLocalFile(damaged)});
        QVERIFY(driver.Done());
        QVERIFY(Same_State(State_Of(&window), unsaved));
        QVERIFY(window.Data_Modified());
    }
    { // Yes and saved: the data is in the file, then the dropped file is loaded.
        TModalDriver driver;
        TBoxRecord question;
        TDialogRecord dialog;
        driver.Then_Box(&question, QMessageBox::Yes);
        driver.Then_File(&dialog, d_home + "/kept");
        Send_Drop(&window, {QUrl::fromLocalFile(good)});
        QVERIFY(driver.Done());
        QCOMPARE(Entry_Widget(&window, 'A')->Entry_Items().size(), std::size_t(2));
        QVERIFY(!window.Data_Modified());
        TQuorval check(nullptr, Qt::WindowFlags());
        QVERIFY(check.Load_Data(d_home + "/kept.quorval"));
        QVERIFY(Same_Entries(State_Of(&check).a, unsaved.a, 1e-9));
    }
    { // No: the unsaved data is replaced.
        Type_Offset(&window, "1.0");
        QVERIFY(window.Data_Modified());
        TModalDriver driver;
        TBoxRecord question;
        driver.Then_Box(&question, QMessageBox::No);
        Send_Drop(&window, {QUrl::fromLocalFile(good)});
        QVERIFY(driver.Done());
        QCOMPARE(Entry_Widget(&window, 'B')->Entry_Offset(), 0.0);
        QVERIFY(!window.Data_Modified());
    }
}

// The files last opened or saved, newest first and at most 8, kept over a restart; a file gone
// is taken off with a note.
void TTestQuorvalFiles::Open_Recent()
{
    QStringList names;
    {
        TQuorval window(nullptr, Qt::WindowFlags());
        Fill(&window, Set_A(), Set_B());
        for (int i = 0; i < 10; ++i) {
            names.prepend(d_home + QString("/%1.quorval").arg(i));
            QVERIFY(window.Save_Data(names.first()));
        }
        QVERIFY(window.Load_Data(names.at(3)));
        names.move(3, 0);
        QVERIFY(window.close());
    }
    TQuorval window(nullptr, Qt::WindowFlags());
    QCOMPARE(window.Recent_Files(), names.mid(0, 8));
    QVERIFY(QFile::remove(names.at(1)));
    window.findChild<QMenu *>("recent_menu")->actions().at(1)->trigger();
    QCOMPARE(window.Recent_Files(), names.mid(0, 1) + names.mid(2, 6));
    QVERIFY(window.findChild<QLabel *>("status_label")
                ->text()
                .endsWith("\"9.quorval\" no longer exists: removed from Open Recent"));
    window.findChild<QMenu *>("recent_menu")->actions().at(1)->trigger();
    QVERIFY(window.Data_File_Name() == names.at(2) && window.Recent_Files()[0] == names.at(2));
}

void TTestQuorvalFiles::Options_Dialog()
{
    TOptionsDialog *seen = nullptr;
    const auto answer = [&seen](bool *checked_on_show, bool tick, const char *button) {
        return [&seen, checked_on_show, tick, button](QWidget *widget) -> TModalDriver::TAction {
            TOptionsDialog *dialog = qobject_cast<TOptionsDialog *>(widget);
            if (dialog == nullptr)
                return [widget]() { qobject_cast<QDialog *>(widget)->reject(); };
            seen = seen == nullptr || seen == dialog ? dialog : nullptr;
            QCheckBox *check = dialog->findChild<QCheckBox *>();
            *checked_on_show = check->isChecked();
            return [dialog, check, tick, button]() {
                check->setChecked(tick);
                for (QPushButton *push : dialog->findChildren<QPushButton *>())
                    if (push->text() == button)
                        push->click();
            };
        };
    };

    {
        TQuorval window(nullptr, Qt::WindowFlags());
        window.show();
        QVERIFY(window.Options().remove_deviations);
        // Accept with fewer than two entries: no comparison, the flag stays clear.
        bool shown = false;
        {
            TModalDriver driver;
            driver.Then(answer(&shown, true, "Accept"));
            Action(&window, "Options")->trigger();
            QVERIFY(driver.Done());
            QVERIFY(shown);
            QVERIFY(!window.Data_Modified());
        }

        // Set B placed at 150, inside set A: aligned, the B deviations are shifted.
        Fill(&window, Set_A(), Set_B(), 150.0);
        const double aligned = window.Data_B_Dev_Offset();
        QVERIFY(aligned != 0.0);
        const auto rows = window.Export_Rows();

        { // Unticked, then Cancel: nothing changes.
            TModalDriver cancel;
            cancel.Then(answer(&shown, false, "Cancel"));
            Action(&window, "Options")->trigger();
            QVERIFY(cancel.Done());
            QVERIFY(shown);
            QVERIFY(window.Options().remove_deviations);
            QCOMPARE(window.Data_B_Dev_Offset(), aligned);
            QCOMPARE(window.Export_Rows().size(), rows.size());
        }
        { // Unticked, then Accept: recomputed without alignment; the same dialog again.
            TModalDriver accept;
            accept.Then(answer(&shown, false, "Accept"));
            Action(&window, "Options")->trigger();
            QVERIFY(accept.Done());
            QVERIFY(shown); // it showed the option, not what was unticked before Cancel
            QVERIFY(!window.Options().remove_deviations);
            QCOMPARE(window.Data_B_Dev_Offset(), 0.0);
            QVERIFY(window.Data_Modified());
        }
        { // Shows the option now off; Accept unchanged still recomputes and marks modified.
            // A save clears the flag first; an entry put in without a signal shows in the rows
            // only after a recompute.
            QVERIFY(window.Save_Data(d_home + "/options.quorval"));
            QVERIFY(!window.Data_Modified());
            const std::size_t rows_before = window.Export_Rows().size();
            Entry_Widget(&window, 'A')->Add_Entry_Item(Entry(900.0, 900.0, 0.001));
            TModalDriver again;
            again.Then(answer(&shown, false, "Accept"));
            Action(&window, "Options")->trigger();
            QVERIFY(again.Done());
            QVERIFY(!shown);
            QVERIFY(window.Data_Modified());
            QCOMPARE(window.Export_Rows().size(), rows_before + 1);
        }
        { // The merge distance is a change of the data that Undo takes back; the decimals
          // shown are not, and the lists show them.
            TModalDriver driver;
            driver.Then([](QWidget *dialog) -> TModalDriver::TAction {
                return [dialog]() {
                    dialog->findChild<QLineEdit *>("merge_distance_edit")->setText("0");
                    dialog->findChild<QSpinBox *>("decimals_spin")->setValue(6);
                    qobject_cast<QDialog *>(dialog)->accept();
                };
            });
            QVERIFY(window.Save_Data(d_home + "/options.quorval"));
            Action(&window, "Options")->trigger();
            QVERIFY(driver.Done());
            QVERIFY(window.Options().merge_distance == 0.0 && window.Data_Modified());
            window.Undo_Stack()->undo();
            QVERIFY(window.Options().merge_distance == 1.0 && !window.Data_Modified());
            window.Undo_Stack()->redo();
            QCOMPARE(Entry_Widget(&window, 'A')->Decimals(), 6);
        }
        QVERIFY(seen != nullptr); // one dialog for every use
        QCOMPARE(window.findChildren<TOptionsDialog *>().size(), 1);

        TModalDriver close;
        TBoxRecord question;
        close.Then_Box(&question, QMessageBox::Yes);
        QVERIFY(window.close());
        QVERIFY(close.Done());
    }
    QSettings settings(d_home + "/.quorval/quorval_settings.ini", QSettings::IniFormat);
    QCOMPARE(settings.value("Remove_Deviations").toBool(), false);
    TQuorval restarted(nullptr, Qt::WindowFlags());
    QVERIFY(!restarted.Options().remove_deviations);
    QCOMPARE(restarted.Options().merge_distance, 0.0);
    QCOMPARE(restarted.Decimals_Shown(), 6);
}

void TTestQuorvalFiles::Partial_Data_Is_Kept_data()
{
    QTest::addColumn<int>("count_a");
    QTest::addColumn<int>("count_b");
    QTest::newRow("one entry in A, none in B") << 1 << 0;
    QTest::newRow("three in A, none in B") << 3 << 0;
    QTest::newRow("one in each") << 1 << 1;
    QTest::newRow("none in A, two in B") << 0 << 2;
}

// Entries typed before there is anything to compare count as unsaved data and can be saved.
void TTestQuorvalFiles::Partial_Data_Is_Kept()
{
    QFETCH(int, count_a);
    QFETCH(int, count_b);
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (int i = 0; i < count_a; ++i)
        QTest::mouseClick(Entry_Widget(&window, 'A')->findChild<QToolButton *>("add_button"),
                          Qt::LeftButton);
    for (int i = 0; i < count_b; ++i)
        QTest::mouseClick(Entry_Widget(&window, 'B')->findChild<QToolButton *>("add_button"),
                          Qt::LeftButton);
    // One value typed as a user would, so that the file holds more than the "+" defaults.
    QTest::keyClicks(QApplication::focusWidget(), "12.34567");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(window.Data_Modified());
    QVERIFY(Action(&window, "File_Save")->isEnabled());
    QVERIFY(!Action(&window, "File_Export")->isEnabled());

    { // Quit asks, and No keeps the window open.
        TModalDriver driver;
        TBoxRecord question;
        driver.Then_Box(&question, QMessageBox::No);
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(driver.Done());
        QCOMPARE(Box_Difference(question, "Data Not Saved", "Do you want to close without saving?",
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                                QMessageBox::Warning),
                 QString());
        QVERIFY(window.isVisible());
    }

    const TState typed = State_Of(&window);
    const QString file_name = d_home + "/partial.quorval";
    QVERIFY2(window.Save_Data(file_name), qPrintable(window.Last_Error()));
    QVERIFY(!window.Data_Modified());
    TQuorval other(nullptr, Qt::WindowFlags());
    QVERIFY2(other.Load_Data(file_name), qPrintable(other.Last_Error()));
    QVERIFY(Same_State(State_Of(&other), typed));
    QCOMPARE(State_Of(&other).a.size() + State_Of(&other).b.size(), std::size_t(count_a + count_b));
    QVERIFY(!other.Data_Modified());
    QVERIFY(other.Export_Rows().empty());
}

void TTestQuorvalFiles::New_Command_data()
{
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("emptied");
    QTest::newRow("unmodified: no question") << false << int(QMessageBox::NoButton) << true;
    QTest::newRow("modified, Yes") << true << int(QMessageBox::Yes) << true;
    QTest::newRow("modified, No") << true << int(QMessageBox::No) << false;
}

void TTestQuorvalFiles::New_Command()
{
    QFETCH(bool, modified);
    QFETCH(int, answer);
    QFETCH(bool, emptied);
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(QDir(d_home).mkpath(".quorval"));
    Fill(&window, Set_A(), Set_B(), 2.5);
    if (!modified)
        QVERIFY(window.Save_Data(d_home + "/saved.quorval"));
    QCOMPARE(window.Data_Modified(), modified);
    const TState before = State_Of(&window);

    TModalDriver driver;
    TBoxRecord question;
    if (answer != QMessageBox::NoButton)
        driver.Then_Box(&question, QMessageBox::StandardButton(answer));
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
    QVERIFY(driver.Done());
    if (modified)
        QCOMPARE(Box_Difference(
                     question, "Data Not Saved", "Do you want to continue without saving?",
                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QMessageBox::Warning),
                 QString());

    if (emptied) {
        QVERIFY(State_Of(&window).a.empty() && State_Of(&window).b.empty());
        QCOMPARE(Entry_Widget(&window, 'B')->Entry_Offset(), 0.0);
        QVERIFY(!window.Data_Modified());
        QVERIFY(window.Export_Rows().empty());
        QVERIFY(!Action(&window, "File_Save")->isEnabled());
        QVERIFY(window.Options().remove_deviations); // the options stay
    } else {
        QVERIFY(Same_State(State_Of(&window), before));
        QVERIFY(window.Data_Modified());
    }
}

int main(int argc, char *argv[]) { return Run_With_Temporary_Home<TTestQuorvalFiles>(argc, argv); }

#include "test_quorval_files.moc"
