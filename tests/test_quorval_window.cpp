// The main window itself: settings and geometry, closing with and without changes, the about
// box, actions, menus, tool bar, layout and images.

#include "test_quorval_support.h"

#include "src/window/busy.h"
#include "core/widgets/legendrow.h"
#include "src/window/setheading.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using Support::Action;
using Support::New_Home;

namespace {

QString Settings_Path() { return QDir::homePath() + "/.quorval/quorval_settings.ini"; }

TMessageBox *Message_Box(QWidget *window)
{
    return dynamic_cast<TMessageBox *>(window->findChild<QMessageBox *>());
}

// Clicks "+" n times in the entry widget of the given object name.
void Add_Entries(QWidget *window, const char *name, int n)
{
    TEntryWidget *widget = window->findChild<TEntryWidget *>(name);
    QToolButton *add = widget->findChild<QToolButton *>("add_button");
    for (int i = 0; i < n; ++i)
        QTest::mouseClick(add, Qt::LeftButton);
}

// Answers the next run of the box with a key once it shows; records what it showed.
struct TAnswer
{
    bool shown = false;
    QString text;
    QString informative_text;
    QString detailed_text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    int button_count = 0;
    int width = 0;

    void Schedule(TMessageBox *box, int key)
    {
        QTimer::singleShot(0, box, [this, box, key]() {
            shown = box->isVisible();
            text = box->text();
            informative_text = box->informativeText();
            detailed_text = box->detailedText();
            icon = box->icon();
            buttons = box->standardButtons();
            default_button = box->defaultButton() ? box->standardButton(box->defaultButton())
                                                  : QMessageBox::NoButton;
            button_count = box->buttons().size();
            width = box->width();
            box->Send_Key(key);
        });
    }
};

// Fails a test that shows a box it should not, instead of blocking on it.
class TBoxWatchdog
{
public:
    explicit TBoxWatchdog(TMessageBox *box) : d_fired(false)
    {
        d_timer.setSingleShot(true);
        QObject::connect(&d_timer, &QTimer::timeout, box, [this, box]() {
            if (box->isVisible()) {
                d_fired = true;
                box->reject();
            }
        });
        d_timer.start(3000);
    }
    bool Fired() const { return d_fired; }

private:
    QTimer d_timer;
    bool d_fired;
};

} // namespace

class TTestQuorvalWindow : public QObject
{
    Q_OBJECT

public:
    explicit TTestQuorvalWindow(const QString &root) : d_root(root), d_home_count(0) {}

private slots:
    void init();
    void First_Start_Defaults();
    void Stored_Geometry();
    void Damaged_Settings_File();
    void Damaged_Settings_Values_data();
    void Damaged_Settings_Values();
    void Close_Without_Changes_Writes_Settings();
    void Close_With_Changes_Asks();
    void Quit_Behaves_Like_Close();
    void Save_And_Export_Follow_Entry_Counts();
    void About_Box();
    void Actions_Menus_And_Tool_Bar();
    void Central_Layout();
    void Layout_Holds_With_Long_Descriptions();
    void Images();
    void Busy_Work_Shows_Progress_And_Cancels();

private:
    QString d_root;
    int d_home_count;
};

// Every test starts in a home directory of its own, without settings.
void TTestQuorvalWindow::init()
{
    const QString home = New_Home(d_root, &d_home_count);
    QVERIFY(!home.isEmpty());
    QCOMPARE(QDir::homePath(), home);
}

void TTestQuorvalWindow::First_Start_Defaults()
{
    QVERIFY(!QDir(QDir::homePath() + "/.quorval").exists());
    TQuorval window(nullptr, Qt::WindowFlags());
    QVERIFY(QDir(QDir::homePath() + "/.quorval").exists());
    QVERIFY(!QFile::exists(Settings_Path())); // written only by a close

    // The default rectangle, cut to the screen when the screen is smaller.
    const QRect expected =
        QRect(30, 30, 901, 801).intersected(QGuiApplication::primaryScreen()->availableGeometry());
    QVERIFY(expected.width() > 500 && expected.height() > 500);
    QCOMPARE(window.pos(), expected.topLeft());
    QCOMPARE(window.size(), expected.size());
    QCOMPARE(window.windowTitle(), QString("Quorval"));
    QVERIFY(window.acceptDrops());
    QVERIFY(!Action(&window, "File_Save")->isEnabled());
    QVERIFY(!Action(&window, "File_Export")->isEnabled());

    window.show();
    TBoxWatchdog watchdog(Message_Box(&window));
    QVERIFY(window.close()); // modified flag clear after start-up: no question
    QVERIFY(!watchdog.Fired());

    QSettings settings(Settings_Path(), QSettings::IniFormat);
    QCOMPARE(settings.value("File_Path").toString(), QDir::homePath());
    QCOMPARE(settings.value("Remove_Deviations").toBool(), true);
    QVERIFY(settings.contains("Remove_Deviations"));
}

void TTestQuorvalWindow::Stored_Geometry()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.width() >= 600 && screen.height() >= 600, "screen too small for the test");
    struct TCase
    {
        QPoint position;
        QSize size;
        QPoint expected_position;
        QSize expected_size;
    };
    const QPoint corner = screen.bottomRight() + QPoint(1, 1);
    const TCase cases[] = {
        // 600 x 600 visible at the bottom right: exactly that part is kept.
        {corner - QPoint(600, 600), QSize(901, 801), corner - QPoint(600, 600), QSize(600, 600)},
        // 501 pixels visible in both directions is still enough.
        {corner - QPoint(501, 501), QSize(700, 700), corner - QPoint(501, 501), QSize(501, 501)},
        // 500 wide or 500 high visible: the defaults.
        {corner - QPoint(500, 600), QSize(901, 801), QPoint(30, 30), QSize(901, 801)},
        {corner - QPoint(600, 500), QSize(901, 801), QPoint(30, 30), QSize(901, 801)},
        {QPoint(-5000, -5000), QSize(901, 801), QPoint(30, 30), QSize(901, 801)},
        // Wholly on screen: unchanged.
        {screen.topLeft() + QPoint(10, 20), QSize(550, 560), screen.topLeft() + QPoint(10, 20),
         QSize(550, 560)},
    };
    QDir(QDir::homePath()).mkdir(".quorval");
    for (const TCase &c : cases) {
        {
            QSettings settings(Settings_Path(), QSettings::IniFormat);
            settings.setValue("Mainwindow_Position", c.position);
            settings.setValue("Mainwindow_Size", c.size);
        }
        TQuorval window(nullptr, Qt::WindowFlags());
        QCOMPARE(window.pos(), c.expected_position);
        // The defaults replace an unusable rectangle as they are, not cut to the screen.
        QCOMPARE(window.size(), c.expected_size);
    }
}

void TTestQuorvalWindow::Damaged_Settings_File()
{
    QDir(QDir::homePath()).mkdir(".quorval");
    QFile file(Settings_Path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray data("[General\nMainwindow_Size=@Size(abc)\nMainwindow_Position=\x01\x02\xff\n=\n");
    data.append('\0').append("garbage");
    QCOMPARE(file.write(data), qint64(data.size()));
    file.close();

    TQuorval window(nullptr, Qt::WindowFlags());
    // Unreadable values count as missing: the default rectangle, cut to the screen as on a
    // first start.
    const QRect expected =
        QRect(30, 30, 901, 801).intersected(QGuiApplication::primaryScreen()->availableGeometry());
    QCOMPARE(window.pos(), expected.topLeft());
    QCOMPARE(window.size(), expected.size());
    TBoxWatchdog watchdog(Message_Box(&window));
    QVERIFY(window.close());
    QVERIFY(!watchdog.Fired());
    QSettings settings(Settings_Path(), QSettings::IniFormat);
    QCOMPARE(settings.value("File_Path").toString(), QDir::homePath());
    QCOMPARE(settings.value("Mainwindow_Position").toPoint(), QPoint(30, 30));

    // A FIFO, which would block the start for good, is neither read nor written, with a
    // warning; the window starts as on a first start. In a child, so that a hang fails.
    QVERIFY(QFile::remove(Settings_Path()) && ::mkfifo(qPrintable(Settings_Path()), 0600) == 0);
    const QString reply = Support::Run_In_Child([&expected] {
        static QString warnings;
        qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { warnings += text; });
        TQuorval fifo_window(nullptr, Qt::WindowFlags());
        fifo_window.close();
        return fifo_window.pos() == expected.topLeft() ? warnings : QString("moved");
    });
    QVERIFY(reply.contains(Settings_Path() + " is not a regular file; it is ignored and the "
                                             "defaults are used."));
    QVERIFY(!QFileInfo(Settings_Path()).isFile());
}

void TTestQuorvalWindow::Damaged_Settings_Values_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("alignment empty") << QByteArray("Remove_Deviations") << QByteArray("");
    QTest::newRow("alignment an unreadable variant")
        << QByteArray("Remove_Deviations") << QByteArray("@Variant(garbage)");
    QTest::newRow("alignment a point")
        << QByteArray("Remove_Deviations") << QByteArray("@Point(1 2)");
    QTest::newRow("alignment a word") << QByteArray("Remove_Deviations") << QByteArray("maybe");
    QTest::newRow("position a size")
        << QByteArray("Mainwindow_Position") << QByteArray("@Size(40 50)");
    QTest::newRow("position a word") << QByteArray("Mainwindow_Position") << QByteArray("40,50");
    QTest::newRow("size a point") << QByteArray("Mainwindow_Size") << QByteArray("@Point(600 540)");
    QTest::newRow("folder a point") << QByteArray("File_Path") << QByteArray("@Point(1 2)");
    QTest::newRow("folder a list") << QByteArray("File_Path") << QByteArray("/data/a, /data/b");
}

// A value that cannot be read as its key's type gives that key's default (alignment on, the
// default place and size, the home folder); the other keys keep their stored values.
void TTestQuorvalWindow::Damaged_Settings_Values()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.width() >= 800 && screen.height() >= 600, "screen too small for the test");
    QMap<QByteArray, QByteArray> stored = {{"Mainwindow_Position", "@Point(40 50)"},
                                           {"Mainwindow_Size", "@Size(600 540)"},
                                           {"File_Path", "/data/runs"},
                                           {"Remove_Deviations", "false"}};
    stored[key] = value;
    QByteArray text = "[General]\n";
    for (auto i = stored.constBegin(); i != stored.constEnd(); ++i)
        text += i.key() + '=' + i.value() + '\n';
    QVERIFY(QDir(QDir::homePath()).mkpath(".quorval"));
    QFile file(Settings_Path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), qint64(text.size()));
    file.close();

    TQuorval window(nullptr, Qt::WindowFlags());
    QCOMPARE(window.Options().remove_deviations, key == "Remove_Deviations");
    QCOMPARE(window.File_Path(), key == "File_Path" ? QDir::homePath() : QString("/data/runs"));
    const QPoint position = key == "Mainwindow_Position" ? QPoint(30, 30) : QPoint(40, 50);
    const QSize size = key == "Mainwindow_Size" ? QSize(901, 801) : QSize(600, 540);
    const QRect expected = QRect(position, size).intersected(screen);
    QCOMPARE(window.pos(), expected.topLeft());
    QCOMPARE(window.size(), expected.size());
}

void TTestQuorvalWindow::Close_Without_Changes_Writes_Settings()
{
    QDir(QDir::homePath()).mkdir(".quorval");
    {
        QSettings settings(Settings_Path(), QSettings::IniFormat);
        settings.setValue("File_Path", "/data/runs");
        settings.setValue("Remove_Deviations", false);
        settings.setValue("Mainwindow_Position", QPoint(40, 50));
        settings.setValue("Mainwindow_Size", QSize(600, 540));
    }
    TQuorval window(nullptr, Qt::WindowFlags());
    window.move(0, 0);
    window.resize(620, 600);
    window.show();
    QSplitter *splitter = window.findChild<QSplitter *>("central_splitter");
    splitter->setSizes({70, splitter->height()});
    const QList<int> sizes = splitter->sizes();
    TBoxWatchdog watchdog(Message_Box(&window));
    QVERIFY(window.close());
    QVERIFY(!watchdog.Fired());
    {
        TQuorval restored(nullptr, Qt::WindowFlags());
        restored.show();
        QCOMPARE(restored.findChild<QSplitter *>("central_splitter")->sizes(), sizes);
    }

    QSettings settings(Settings_Path(), QSettings::IniFormat);
    QCOMPARE(settings.value("Mainwindow_Position").toPoint(), QPoint(0, 0));
    QCOMPARE(settings.value("Mainwindow_Size").toSize(), QSize(620, 600));
    QCOMPARE(settings.value("File_Path").toString(), QString("/data/runs"));
    QCOMPARE(settings.value("Remove_Deviations").toBool(), false);
    QVERIFY(settings.contains("Remove_Deviations"));
}

void TTestQuorvalWindow::Close_With_Changes_Asks()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    TMessageBox *box = Message_Box(&window);
    QVERIFY(box != nullptr);
    Add_Entries(&window, "entry_widget_a", 2);
    Add_Entries(&window, "entry_widget_b", 2); // a comparison now exists: modified

    TAnswer no;
    no.Schedule(box, Qt::Key_N);
    QVERIFY(!window.close());
    QVERIFY(no.shown);
    QVERIFY(no.text.contains(">Data Not Saved</span>"));
    QVERIFY(no.informative_text.contains(">Do you want to close without saving?</span>"));
    QVERIFY(no.detailed_text.isEmpty());
    QCOMPARE(no.icon, QMessageBox::Warning);
    QCOMPARE(no.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(no.default_button, QMessageBox::No);
    QCOMPARE(no.width, 500);
    QVERIFY(window.isVisible());
    QVERIFY(!QFile::exists(Settings_Path()));

    // Return takes the default answer, No, as well.
    TAnswer enter;
    enter.Schedule(box, Qt::Key_Return);
    QVERIFY(!window.close());
    QVERIFY(enter.shown);
    QVERIFY(!QFile::exists(Settings_Path()));

    TAnswer yes;
    yes.Schedule(box, Qt::Key_Y);
    QVERIFY(window.close());
    QVERIFY(yes.shown);
    QVERIFY(!window.isVisible());
    QSettings settings(Settings_Path(), QSettings::IniFormat);
    for (const char *key :
         {"Mainwindow_Position", "Mainwindow_Size", "File_Path", "Remove_Deviations"})
        QVERIFY2(settings.contains(key), key);
}

void TTestQuorvalWindow::Quit_Behaves_Like_Close()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TMessageBox *box = Message_Box(&window);
    Add_Entries(&window, "entry_widget_a", 2);
    Add_Entries(&window, "entry_widget_b", 3);
    QAction *quit = Action(&window, "Quit");
    QVERIFY(quit != nullptr);

    TAnswer no;
    no.Schedule(box, Qt::Key_N);
    quit->trigger();
    QVERIFY(no.shown);
    QVERIFY(window.isVisible());
    QVERIFY(!QFile::exists(Settings_Path()));

    TAnswer yes;
    yes.Schedule(box, Qt::Key_Y);
    quit->trigger();
    QVERIFY(yes.shown);
    QVERIFY(!window.isVisible());
    QVERIFY(QFile::exists(Settings_Path()));
}

void TTestQuorvalWindow::Save_And_Export_Follow_Entry_Counts()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    QAction *save = Action(&window, "File_Save");
    QAction *exporting = Action(&window, "File_Export");
    QVERIFY(!save->isEnabled());
    QVERIFY(!exporting->isEnabled());

    // Entries typed so far can be saved before there is anything to compare.
    Add_Entries(&window, "entry_widget_a", 1);
    QVERIFY(save->isEnabled());
    QVERIFY(!exporting->isEnabled());
    Add_Entries(&window, "entry_widget_a", 1);
    Add_Entries(&window, "entry_widget_b", 1);
    QVERIFY(save->isEnabled());
    QVERIFY(!exporting->isEnabled());

    Add_Entries(&window, "entry_widget_b", 1);
    QVERIFY(save->isEnabled());
    QVERIFY(exporting->isEnabled());

    // Removing an entry of set A leaves nothing to export.
    TEntryWidget *a = window.findChild<TEntryWidget *>("entry_widget_a");
    Support::Select_Row(a->findChild<QListView *>("entry_list"), 0);
    QTest::mouseClick(a->findChild<QToolButton *>("remove_button"), Qt::LeftButton);
    QVERIFY(save->isEnabled());
    QVERIFY(!exporting->isEnabled());

    Add_Entries(&window, "entry_widget_a", 1);
    QVERIFY(exporting->isEnabled());

    // Both lists emptied: nothing to save either.
    for (TEntryWidget *widget : window.findChildren<TEntryWidget *>()) {
        QListView *entries = widget->findChild<QListView *>("entry_list");
        entries->selectAll();
        QTest::mouseClick(widget->findChild<QToolButton *>("remove_button"), Qt::LeftButton);
    }
    QVERIFY(!save->isEnabled());
    QVERIFY(!exporting->isEnabled());
}

void TTestQuorvalWindow::About_Box()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    window.show();
    TMessageBox *box = Message_Box(&window);
    // As an earlier error report would have left it.
    box->setDetailedText("ERR  Cannot open file");
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);

    TAnswer about;
    about.Schedule(box, Qt::Key_Return);
    Action(&window, "About")->trigger();
    QVERIFY(about.shown);
    QVERIFY(about.text.contains(">Quorval</span>"));
    QVERIFY(about.informative_text.contains(">Quorval - Version 2.0</span>"));
    QVERIFY(about.detailed_text.isEmpty());
    QCOMPARE(about.button_count, 1); // no details button left over
    QCOMPARE(about.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(about.default_button, QMessageBox::Ok);
    QCOMPARE(about.icon, QMessageBox::Information);
    QVERIFY(!box->isVisible());
}

void TTestQuorvalWindow::Actions_Menus_And_Tool_Bar()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    struct TExpected
    {
        const char *text;
        const char *tool_tip;
        const char *shortcut;
        bool has_icon;
    };
    const TExpected expected[] = {
        {"New", "Start a new comparison with empty data sets.", "Ctrl+N", false},
        {"Open", "Open an existing Quorval file.", "Ctrl+O", true},
        {"File_Save", "File_Save the current Quorval file.", "Ctrl+S", true},
        {"File_Export", "File_Export data from the Quorval file.", "Ctrl+E", true},
        {"Print\u2026", "Print the comparison's record.", "Ctrl+P", false},
        {"Options", "Options for the Quorval utility.", "", true},
        {"About", "About the Quorval utility.", "", true},
        {"Quit", "Close the Quorval utility.", "Ctrl+Q", false},
    };
    for (const TExpected &e : expected) {
        QAction *action = Action(&window, e.text);
        QVERIFY2(action != nullptr, e.text);
        QCOMPARE(action->parent(), &window);
        QCOMPARE(action->toolTip(), QString(e.tool_tip));
        QVERIFY(action->statusTip().isEmpty());
        QCOMPARE(action->shortcut(), QKeySequence(e.shortcut));
        QCOMPARE(action->icon().isNull(), !e.has_icon);
        if (e.has_icon)
            QCOMPARE(action->icon().availableSizes().value(0), QSize(32, 32));
    }

    const auto names = [](const QList<QAction *> &actions) {
        QStringList list;
        for (const QAction *action : actions)
            list << (action->isSeparator() ? QString("|") : action->text());
        return list;
    };
    QMenuBar *menu_bar = window.menuBar();
    QCOMPARE(names(menu_bar->actions()), QStringList({"&File", "&Edit", "&View", "&Help"}));
    QCOMPARE(
        names(menu_bar->actions()[0]->menu()->actions()),
        QStringList({"New", "Open", "Open &Recent", "|", "Comparison Details\u2026", "|", "File_Save",
                     "File_Export", "Export Graphs\u2026", "Export Record\u2026", "Print\u2026",
                     "|", "Import Set A\u2026", "Import Set B\u2026", "|", "Quit"}));
    QCOMPARE(names(menu_bar->actions()[1]->menu()->actions()),
             QStringList({"Undo", "Redo", "|", "Copy", "Paste", "|", "Options"}));
    QCOMPARE(names(menu_bar->actions()[2]->menu()->actions()), QStringList({"Fit to Data"}));
    QCOMPARE(names(menu_bar->actions()[3]->menu()->actions()), QStringList({"About"}));

    QToolBar *tool_bar = window.findChild<QToolBar *>();
    QVERIFY(tool_bar != nullptr);
    QCOMPARE(window.toolBarArea(tool_bar), Qt::TopToolBarArea);
    QCOMPARE(tool_bar->iconSize(), QSize(32, 32));
    QCOMPARE(names(tool_bar->actions()),
             QStringList({"Open", "|", "File_Save", "File_Export", "|", "Options", "|", "About", "",
                          "", ""})); // then a spacer, the notice and the logo

    // The keyboard shortcut reaches the window's close like the title-bar button.
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!window.isVisible());
    QVERIFY(QFile::exists(Settings_Path()));
}

void TTestQuorvalWindow::Central_Layout()
{
    TQuorval window(nullptr, Qt::WindowFlags());
    // The entry lists, each under its heading, above a splitter; the graphs below it.
    QSplitter *splitter = window.findChild<QSplitter *>("central_splitter");
    QVERIFY(splitter != nullptr && splitter->count() == 2);
    TEntryWidget *a = Support::Entry_Widget(&window, 'A');
    TEntryWidget *b = Support::Entry_Widget(&window, 'B');
    QVERIFY(splitter->widget(0)->isAncestorOf(a) && splitter->widget(0)->isAncestorOf(b));
    QVERIFY(splitter->widget(1)->isAncestorOf(window.findChild<QWidget *>("deviation_graph")) &&
            splitter->widget(1)->isAncestorOf(window.findChild<QWidget *>("en_graph")));
    QVERIFY(!a->findChild<QLineEdit *>("offset_edit")->isEnabled());
    QVERIFY(b->findChild<QLineEdit *>("offset_edit")->isEnabled());

    TSetHeading *heading_a = window.findChild<TSetHeading *>("heading_a");
    TSetHeading *heading_b = window.findChild<TSetHeading *>("heading_b");
    QVERIFY(heading_a != nullptr && heading_b != nullptr);
    QCOMPARE(heading_a->Text(), QString("Set A"));
    QCOMPARE(heading_b->Text(), QString("Set B"));

    // All of the window, the status line included, fits a screen 768 pixels high.
    QVERIFY2(window.minimumSizeHint().height() <= 700,
             qPrintable(QString::number(window.minimumSizeHint().height())));

    // The notice and the logo sit in the tool bar.
    QLabel *notice = window.findChild<QLabel *>("notice_label");
    QVERIFY(notice != nullptr && !notice->text().isEmpty());
    QCOMPARE(notice->font().family(), QString("Verdana"));
    QVERIFY(notice->font().italic());
    QLabel *logo = window.findChild<QLabel *>("logo_label");
    QVERIFY(logo != nullptr);
    QCOMPARE(logo->pixmap(Qt::ReturnByValue).size(), QSize(100, 40));
    QVERIFY(window.findChild<QToolBar *>("tool_bar")->isAncestorOf(logo));
}

// At 1280 x 720 with 300-character set descriptions every part is in view, whole, and under no
// other: headings, lists, fields, both graphs, the legend (both sets) and the status line.
void TTestQuorvalWindow::Layout_Holds_With_Long_Descriptions()
{
    const QString file = QDir::homePath() + "/long.quorval", a(300, 'a'), b(300, 'b');
    QVERIFY(Support::Write_All(file, Support::Read_All(QUORVAL_SOURCE_ROOT "examples/line_scale.quorval")
                                .replace("</Quorval_Data>",
                                         ("<Set_A_Description>" + a + "</Set_A_Description>" +
                                          "<Set_B_Description>" + b +
                                          "</Set_B_Description></Quorval_Data>")
                                             .toUtf8())));
    TQuorval window(nullptr, Qt::WindowFlags());
    QVERIFY(window.Load_Data(file));
    window.resize(1280, 720);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QList<QWidget *> parts;
    for (const char *name : {"heading_a", "heading_b", "deviation_graph", "en_graph", "legend_row",
                             "status_label", "entry_widget_a", "entry_widget_b"})
        parts += window.findChild<QWidget *>(name);
    for (int set = 6; set < 8; ++set) {
        parts += parts[set]->findChild<QListView *>();
        for (QLineEdit *field : parts[set]->findChildren<QLineEdit *>())
            parts += field;
    }
    std::vector<QRect> rects;
    for (QWidget *part : parts.mid(0, 6) + parts.mid(8)) {
        const QRect rect(part->mapTo(&window, QPoint(0, 0)), part->size());
        // Whole in view: inside the window, not cut by a scrolled area, under no other part.
        QVERIFY2(part->isVisible() && window.rect().contains(rect) &&
                     part->visibleRegion().boundingRect() == part->rect(),
                 qPrintable(part->objectName()));
        for (const QRect &other : rects)
            QVERIFY2(!rect.intersects(other), qPrintable(part->objectName()));
        rects.push_back(rect);
    }
    const TLegendRow *legend = window.Legend_Row();
    QVERIFY(legend->Items()[0].text.startsWith("Set A: a") &&
            legend->Items()[1].text.startsWith("Set B: b") &&
            legend->height() >= legend->heightForWidth(legend->width()));
    QVERIFY(legend->toolTip().contains(a) && legend->toolTip().contains(b));
}

void TTestQuorvalWindow::Images()
{
    const struct
    {
        const char *path;
        QSize size;
    } images[] = {
        {":/icons/quorval.png", QSize(64, 64)},
        {":/images/logo.png", QSize(100, 40)},
        {":/menu/file_open_x32.png", QSize(32, 32)},
        {":/menu/file_save_x32.png", QSize(32, 32)},
        {":/menu/file_export_x32.png", QSize(32, 32)},
        {":/menu/edit_options_x32.png", QSize(32, 32)},
        {":/menu/help_about_x32.png", QSize(32, 32)},
    };
    for (const auto &image : images) {
        QImage loaded(image.path);
        QVERIFY2(!loaded.isNull(), image.path);
        QCOMPARE(loaded.size(), image.size);
        QVERIFY2(loaded.hasAlphaChannel(), image.path);
    }
}

// Long work: the busy cursor at once; once the delay (here none) has passed, a progress dialog
// modal to the window; its Cancel stops the work; then the dialog and the cursor go.
void TTestQuorvalWindow::Busy_Work_Shows_Progress_And_Cancels()
{
    QWidget window;
    window.show();
    { // Work shorter than the delay shows the busy cursor only.
        TBusy busy(&window, "Writing the record", 60 * 60 * 1000);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QVERIFY(busy.Go_On(1, 4));
        QVERIFY(window.findChild<QProgressDialog *>() == nullptr);
    }
    QVERIFY(QApplication::overrideCursor() == nullptr);
    {
        TBusy busy(&window, "Writing the record", 0);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QVERIFY(busy.Go_On(1, 4));
        QProgressDialog *dialog = window.findChild<QProgressDialog *>("progress_dialog");
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(dialog->labelText(), QString("Writing the record"));
        QCOMPARE(dialog->value(), dialog->maximum() / 4);
        dialog->cancel();
        QVERIFY(!busy.Go_On(2, 4));
        busy.Finish();
        QVERIFY(busy.Cancelled());
        QVERIFY(window.findChild<QProgressDialog *>() == nullptr);
    }
    { // Once the work is done as far as it reports, nothing is left to cancel.
        TBusy busy(&window, "Opening", 0);
        QVERIFY(busy.Go_On(4, 4));
        QProgressDialog *dialog = window.findChild<QProgressDialog *>("progress_dialog");
        QVERIFY(dialog != nullptr && dialog->findChild<QPushButton *>() == nullptr);
    }
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

int main(int argc, char *argv[])
{
    return Support::Run_With_Temporary_Home<TTestQuorvalWindow>(argc, argv);
}

#include "test_quorval_window.moc"
