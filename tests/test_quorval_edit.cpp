// Getting entries in and out of the main window's lists: paste, copy, import, and undo and redo
// of every change, driven with key presses and clicks as a user makes them.

#include "test_quorval_support.h"

#include "src/compute/comparison.h"
#include "src/compute/numbertext.h"
#include "src/window/detailsdialog.h"
#include "src/window/entrymodel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>

#include <cstring>

using namespace Support;

namespace {

using Items = std::vector<Type::TEntryItem>;

std::vector<Type::TEntryItem> Set_A()
{
    return {Entry(10, 10.00012, 0.0003), Entry(20, 20.00034, 0.00045), Entry(30, 29.99991, 0.0005)};
}

// The document's data: both sets as stored and B's offset, bit for bit, the settings and the
// details. Values still being typed are stored first.
struct TLists
{
    Items a, b;
    double offset_b;
    Type::TOptions options;
    Type::TDetails details;
};

TLists Lists_Of(TQuorval *window)
{
    Entry_Widget(window, 'A')->Store_Pending_Edit();
    Entry_Widget(window, 'B')->Store_Pending_Edit();
    const TComparisonDocument *document = window->Document();
    return {document->Entries(TComparisonDocument::SET_A),
            document->Entries(TComparisonDocument::SET_B), document->Offset_B(),
            document->Options(), document->Details()};
}

bool Same_Bits(const Items &x, const Items &y)
{
    return x.size() == y.size() &&
           (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(x[0])) == 0);
}

QString Same_Lists(const TLists &x, const TLists &y)
{
    if (!Same_Bits(x.a, y.a))
        return QStringLiteral("set A differs (%1 vs %2 entries)").arg(x.a.size()).arg(y.a.size());
    if (!Same_Bits(x.b, y.b))
        return QStringLiteral("set B differs (%1 vs %2 entries)").arg(x.b.size()).arg(y.b.size());
    if (std::memcmp(&x.offset_b, &y.offset_b, sizeof(double)) != 0)
        return QStringLiteral("offset %1 vs %2").arg(x.offset_b).arg(y.offset_b);
    if (x.options.remove_deviations != y.options.remove_deviations ||
        std::memcmp(&x.options.merge_distance, &y.options.merge_distance, sizeof(double)) != 0)
        return QStringLiteral("settings");
    if (x.details != y.details)
        return QStringLiteral("details");
    return QString();
}

// The window shows the comparison of what its lists hold now.
QString Comparison_Is_Current(TQuorval *window)
{
    TComparison expected;
    expected.Calculate(Entry_Widget(window, 'A')->Entry_Items(),
                       Entry_Widget(window, 'B')->Entry_Items(),
                       Entry_Widget(window, 'B')->Entry_Offset(), window->Options());
    const auto &rows = window->Export_Rows();
    const auto &wanted = expected.Export_Rows();
    if (rows.size() != wanted.size())
        return QStringLiteral("%1 rows, not %2").arg(rows.size()).arg(wanted.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].position != wanted[i].position || rows[i].dev_a != wanted[i].dev_a ||
            rows[i].dev_b != wanted[i].dev_b || rows[i].Has_En() != wanted[i].Has_En())
            return QStringLiteral("row %1 differs").arg(i);
    return QString();
}

// Each list shows its set of the document: as many rows, the rows' texts (set B's in its own
// scale) at the ends and at a random row, and B's offset in its field.
QString Views_Show_The_Document(TQuorval *window, quint32 random)
{
    const TComparisonDocument *document = window->Document();
    for (const int set : {TComparisonDocument::SET_A, TComparisonDocument::SET_B}) {
        TEntryWidget *widget = Entry_Widget(window, set == TComparisonDocument::SET_A ? 'A' : 'B');
        const QListView *list = widget->findChild<QListView *>("entry_list");
        const int count = static_cast<int>(document->Count(set));
        if (Row_Count(list) != count)
            return QStringLiteral("set %1: %2 rows, not %3").arg(set).arg(Row_Count(list)).arg(count);
        if (count == 0)
            continue;
        for (const int row : {0, count - 1, int(random % quint32(count))}) {
            const QString text = TEntryModel::Display_Text(
                document->Shown_Entry(set, std::size_t(row)), widget->Decimals());
            if (Row_Text(list, row) != text)
                return QStringLiteral("set %1 row %2: %3").arg(set).arg(row).arg(Row_Text(list, row));
        }
    }
    const QLineEdit *offset = Entry_Widget(window, 'B')->findChild<QLineEdit *>("offset_edit");
    double shown = 0.0;
    if (!NumberText::Read_Typed(offset->text(), &shown) || shown != document->Offset_B())
        return QStringLiteral("offset field %1").arg(offset->text());
    return QString();
}

// Gives a list the focus as a click into it does, without changing its selection.
void Focus_List(QWidget *window, char set)
{
    QListView *list = List_Of(window, set);
    list->setFocus(Qt::MouseFocusReason);
    QVERIFY(QTest::qWaitFor([list]() { return list->hasFocus(); }));
}

void Press(QWidget *window, char set, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(List_Of(window, set), key, modifiers);
}

} // namespace

class TTestQuorvalEdit : public QObject
{
    Q_OBJECT

public:
    explicit TTestQuorvalEdit(const QString &root) : d_root(root), d_count(0) {}

private slots:
    void init();
    void Paste_Goes_To_The_List_With_The_Focus();
    void Bad_Paste_Changes_Nothing();
    void Copy_Then_Paste_Keeps_Every_Bit_data();
    void Copy_Then_Paste_Keeps_Every_Bit();
    void Undo_And_Redo_data();
    void Undo_And_Redo();
    void Undo_To_The_Saved_State_Clears_Modified();
    void Details_Dialog_Accepts_Only_Texts_That_Can_Be_Kept();
    void Loading_Clears_The_History();
    void Import_Refusals();
    void Out_Of_Memory_Changes_Nothing();
    void Set_B_Is_Saved_As_Typed();
    void Typed_Numbers_In_The_Locale_data();
    void Typed_Numbers_In_The_Locale();
    void Random_Edit_Sequences_data();
    void Random_Edit_Sequences();

private:
    // A shown, active window with set A filled and saved, so that changes start from a clean
    // state.
    std::unique_ptr<TQuorval> Window(double offset_b = 0.0)
    {
        std::unique_ptr<TQuorval> window(new TQuorval(nullptr, Qt::WindowFlags()));
        window->show();
        QApplication::setActiveWindow(window.get());
        if (!QTest::qWaitForWindowActive(window.get()))
            return nullptr;
        Fill(window.get(), Set_A(), {Entry(10, 10.0001, 0.0004), Entry(25, 25.0002, 0.0004)},
             offset_b);
        if (!window->Save_Data(d_home + "/start.quorval"))
            return nullptr;
        return window;
    }

    QString d_root;
    QString d_home;
    int d_count;
};

void TTestQuorvalEdit::init()
{
    d_home = New_Home(d_root, &d_count);
    QVERIFY(!d_home.isEmpty());
    QApplication::clipboard()->clear();
    QLocale::setDefault(QLocale::c());
}

void TTestQuorvalEdit::Paste_Goes_To_The_List_With_The_Focus()
{
    auto window = Window();
    QVERIFY(window);
    QApplication::clipboard()->setText("Nominal\tActual\tUc (k=2)\r\n"
                                       "40\t40,00021\t0,0007\r\n"
                                       "50\t49,99975\t0,0008\r\n");
    Focus_List(window.get(), 'B');
    Press(window.get(), 'B', Qt::Key_V, Qt::ControlModifier);

    const Items b = Entry_Widget(window.get(), 'B')->List_Items();
    QCOMPARE(b.size(), std::size_t(4));
    QVERIFY(Same_Bits({b[2], b[3]}, {Entry(40, 40.00021, 0.0007), Entry(50, 49.99975, 0.0008)}));
    QCOMPARE(Entry_Widget(window.get(), 'A')->List_Items().size(), Set_A().size());
    // The pasted entries are the selection, and the comparison includes them.
    QCOMPARE(List_Of(window.get(), 'B')->selectionModel()->selectedRows().size(), 2);
    QVERIFY(List_Of(window.get(), 'B')->selectionModel()->isRowSelected(3, QModelIndex()));
    QCOMPARE(Comparison_Is_Current(window.get()), QString());
    QCOMPARE(window->Graph_Positions().back(), 50.0);
    QVERIFY(window->Data_Modified());

    // Edit > Paste goes to the list that had the focus last, also once the menu has it.
    Focus_List(window.get(), 'A');
    window->findChild<QWidget *>("tool_bar")->setFocus();
    Action(window.get(), "Paste")->trigger();
    QCOMPARE(Entry_Widget(window.get(), 'A')->List_Items().size(), Set_A().size() + 2);

    // An empty clipboard does nothing.
    QApplication::clipboard()->clear();
    const int changes = window->Undo_Stack()->count();
    Press(window.get(), 'A', Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(window->Undo_Stack()->count(), changes);
}

void TTestQuorvalEdit::Bad_Paste_Changes_Nothing()
{
    auto window = Window();
    QVERIFY(window);
    const TLists before = Lists_Of(window.get());
    const int changes = window->Undo_Stack()->count();
    QApplication::clipboard()->setText("10;10.1;0.1\n<b>x</b>;1;1\n20;20.1\n30;30.1;inf\n");
    Focus_List(window.get(), 'B');

    TModalDriver driver;
    TBoxRecord box;
    driver.Then_Box(&box, QMessageBox::Ok);
    Press(window.get(), 'B', Qt::Key_V, Qt::ControlModifier);
    QVERIFY(driver.Done());
    QVERIFY(box.text.contains(">Entries Not Pasted</span>"));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QVERIFY(box.informative_text.contains(">Nothing was pasted: 3 of 4 lines do not give three "
                                          "numbers (nominal, actual and Uc (k=2), in mm).<br>"));
    // The first bad lines with their numbers, their text (escaped, not read as markup) and why.
    QVERIFY2(box.informative_text.contains(
                 "<br>Line 2: &lt;b&gt;x&lt;/b&gt;;1;1 \u2014 &quot;&lt;b&gt;x&lt;/b&gt;&quot; is "
                 "not a number"),
             qPrintable(box.informative_text));
    QVERIFY(box.informative_text.contains("<br>Line 3: 20;20.1 \u2014 2 fields, not 3"));
    QVERIFY(box.informative_text.contains("<br>Line 4: 30;30.1;inf"));
    QCOMPARE(Same_Lists(Lists_Of(window.get()), before), QString());
    QVERIFY(!window->Data_Modified());
    QCOMPARE(window->Undo_Stack()->count(), changes);
}

void TTestQuorvalEdit::Copy_Then_Paste_Keeps_Every_Bit_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    QTest::newRow("US") << QLocale(QLocale::English, QLocale::UnitedStates);
}

void TTestQuorvalEdit::Copy_Then_Paste_Keeps_Every_Bit()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    auto window = Window();
    QVERIFY(window);
    const Items awkward = {Entry(0.1 + 0.2, 100.00012345678901, 1e-300),
                           Entry(-5.5, std::nextafter(7.0, 8.0), 2.5e-7)};
    Entry_Widget(window.get(), 'A')->Paste_Entries(awkward);

    // The two pasted entries are selected: Ctrl+C copies just them.
    Focus_List(window.get(), 'A');
    Press(window.get(), 'A', Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QApplication::clipboard()->text().startsWith(
        QString("0.30000000000000004\t100.00012345678901\t").replace('.', locale.decimalPoint())));
    Focus_List(window.get(), 'B');
    List_Of(window.get(), 'B')->clearSelection();
    Press(window.get(), 'B', Qt::Key_V, Qt::ControlModifier);
    const Items b = Entry_Widget(window.get(), 'B')->List_Items();
    QCOMPARE(b.size(), std::size_t(4));
    QVERIFY(Same_Bits({b[2], b[3]}, awkward));

    // With nothing selected, Copy takes the whole list.
    List_Of(window.get(), 'B')->clearSelection();
    Action(window.get(), "Copy")->trigger();
    const EntryText::TParsed copied = EntryText::Parse(QApplication::clipboard()->text());
    QVERIFY(Same_Bits(copied.entries, b));
}

void TTestQuorvalEdit::Undo_And_Redo_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<double>("offset_b");
    for (const char *change :
         {"add", "remove", "edit", "paste", "offset", "new", "import", "options", "details"})
        QTest::newRow(change) << QString(change) << 0.0;
    // The offset comes back as it was, every bit of it.
    QTest::newRow("new, offset of 5 decimals") << QString("new") << 1.23456;
    QTest::newRow("import, offset -0") << QString("import") << -0.0;
}

// Each kind of change is taken back exactly by Undo and made again exactly by Redo (both of its
// keys), and each time the comparison shown is that of the lists.
void TTestQuorvalEdit::Undo_And_Redo()
{
    QFETCH(QString, change);
    QFETCH(double, offset_b);
    auto window = Window(offset_b);
    QVERIFY(window);
    TQuorval *w = window.get();
    const TLists before = Lists_Of(w);
    const QString import_file = d_home + "/import.csv";
    QVERIFY(Write_All(import_file, "nominal,actual,uc\n5,5.00001,0.0002\n15,15.00003,0.0002\n"));

    if (change == "add") {
        QTest::mouseClick(Entry_Widget(w, 'B')->findChild<QToolButton *>("add_button"),
                          Qt::LeftButton);
    } else if (change == "remove") {
        List_Of(w, 'A')->clearSelection();
        Select_Row(List_Of(w, 'A'), 0, true);
        Select_Row(List_Of(w, 'A'), 2, true);
        Focus_List(w, 'A');
        Press(w, 'A', Qt::Key_Delete, Qt::NoModifier);
    } else if (change == "edit") {
        Select_Row(List_Of(w, 'A'), 1);
        QLineEdit *uc = Entry_Widget(w, 'A')->findChild<QLineEdit *>("uc_edit");
        uc->setFocus();
        uc->selectAll();
        QTest::keyClicks(uc, "0.00061");
        QTest::keyClick(uc, Qt::Key_Return);
    } else if (change == "paste") {
        QApplication::clipboard()->setText("60 60.0004 0.001\n70 70.0001 0.001\n");
        Focus_List(w, 'A');
        Press(w, 'A', Qt::Key_V, Qt::ControlModifier);
    } else if (change == "offset") {
        Type_Offset(w, "2.5");
    } else if (change == "new") {
        QTest::keyClick(w, Qt::Key_N, Qt::ControlModifier); // unmodified: no question
    } else if (change == "import") {
        TModalDriver driver;
        TDialogRecord dialog;
        driver.Then_File(&dialog, import_file);
        Action(w, "Import Set B\u2026")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(dialog.caption, QString("Select text file to import into Data Set B"));
        QCOMPARE(dialog.filters, QStringList({"Text Files (*.txt *.csv *.tsv)", "CSV Files (*.csv)",
                                              "TSV Files (*.tsv)", "All Files (*)"}));
    } else if (change == "options") {
        TModalDriver driver;
        driver.Then([](QWidget *dialog) -> TModalDriver::TAction {
            return [dialog]() {
                dialog->findChild<QCheckBox *>("align_check")->setChecked(false);
                qobject_cast<QDialog *>(dialog)->accept();
            };
        });
        Action(w, "Options")->trigger();
        QVERIFY(driver.Done());
    } else if (change == "details") {
        // Typed into the dialog's fields; saved as typed, trimmed.
        TModalDriver driver;
        driver.Then([](QWidget *dialog) -> TModalDriver::TAction {
            return [dialog]() {
                QTest::keyClicks(dialog->findChild<QLineEdit *>("item_edit"), " Scale 7 ");
                QTest::keyClicks(dialog->findChild<QPlainTextEdit *>("remarks_edit"), "a");
                QTest::keyClick(dialog->findChild<QPlainTextEdit *>("remarks_edit"),
                                Qt::Key_Return);
                QTest::keyClicks(dialog->findChild<QPlainTextEdit *>("remarks_edit"), "b");
                QTest::keyClick(dialog->findChild<QLineEdit *>("operator_edit"), Qt::Key_Return);
            };
        });
        Action(w, "Comparison Details\u2026")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(w->Details().item, QString("Scale 7"));
        QCOMPARE(w->Details().remarks, QString("a\nb"));
        QVERIFY(w->Data_Modified());
    }
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    const TLists after = Lists_Of(w);
    QVERIFY2(!Same_Lists(after, before).isEmpty(), "the change changed nothing");
    QCOMPARE(Comparison_Is_Current(w), QString());
    if (change == "import")
        QVERIFY(Same_Bits(after.b, {Entry(5, 5.00001, 0.0002), Entry(15, 15.00003, 0.0002)}));

    Focus_List(w, 'A');
    Press(w, 'A', Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Same_Lists(Lists_Of(w), before), QString());
    QCOMPARE(Comparison_Is_Current(w), QString());
    QVERIFY(!w->Data_Modified()); // back at the saved state

    Press(w, 'A', Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Same_Lists(Lists_Of(w), after), QString());
    QCOMPARE(Comparison_Is_Current(w), QString());
    Press(w, 'A', Qt::Key_Z, Qt::ControlModifier);
    Press(w, 'A', Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Same_Lists(Lists_Of(w), after), QString());
}

// A control character or too long a text disables Accept and says which field and why; the
// dialog gives the texts back as they are kept.
void TTestQuorvalEdit::Details_Dialog_Accepts_Only_Texts_That_Can_Be_Kept()
{
    TDetailsDialog dialog;
    Type::TDetails details;
    details.set_b_description = "Lab B";
    dialog.Reset(details);
    QCOMPARE(dialog.Details(), details);
    QPushButton *accept = nullptr;
    for (QPushButton *button : dialog.findChildren<QPushButton *>())
        if (button->text() == "Accept")
            accept = button;
    QVERIFY(accept != nullptr && accept->isEnabled());
    const QLabel *problem = dialog.findChild<QLabel *>("problem_label");

    QPlainTextEdit *remarks = dialog.findChild<QPlainTextEdit *>("remarks_edit");
    remarks->setPlainText("a\tb");
    QVERIFY(!accept->isEnabled());
    QCOMPARE(problem->text(), QString("Remarks holds the control character U+0009."));
    remarks->setPlainText("a\r\nb ");
    QVERIFY(accept->isEnabled());
    QLineEdit *item = dialog.findChild<QLineEdit *>("item_edit");
    item->setText(QString(1001, QLatin1Char('x')));
    QVERIFY(!accept->isEnabled());
    QCOMPARE(problem->text(), QString("Item holds 1001 characters, more than 1000."));
    item->setText(QString(999, QLatin1Char('x')) + QString::fromUcs4(U"\U0001F600"));
    QVERIFY(accept->isEnabled());
    QCOMPARE(dialog.Details().remarks, QString("a\nb"));
}

void TTestQuorvalEdit::Undo_To_The_Saved_State_Clears_Modified()
{
    auto window = Window();
    QVERIFY(window);
    QVERIFY(!window->Data_Modified());
    Type_Offset(window.get(), "1.5");
    Type_Offset(window.get(), "3");
    QVERIFY(window->Data_Modified());
    Focus_List(window.get(), 'A');
    Press(window.get(), 'A', Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(window->Data_Modified());
    Press(window.get(), 'A', Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!window->Data_Modified());
    QCOMPARE(Entry_Widget(window.get(), 'B')->Entry_Offset(), 0.0);
    Press(window.get(), 'A', Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(window->Data_Modified());

    // An edit that changes nothing is no change.
    Press(window.get(), 'A', Qt::Key_Z, Qt::ControlModifier);
    const int changes = window->Undo_Stack()->index();
    Type_Offset(window.get(), "0");
    QVERIFY(!window->Data_Modified());
    QCOMPARE(window->Undo_Stack()->index(), changes);

    // Nor is a change made and then taken back by another edit.
    Type_Offset(window.get(), "5");
    QVERIFY(window->Data_Modified());
    Type_Offset(window.get(), "0");
    QVERIFY(!window->Data_Modified());
}

void TTestQuorvalEdit::Loading_Clears_The_History()
{
    auto window = Window();
    QVERIFY(window);
    Type_Offset(window.get(), "4");
    QVERIFY(window->Undo_Stack()->canUndo());
    QVERIFY(window->Load_Data(d_home + "/start.quorval"));
    QVERIFY(!window->Undo_Stack()->canUndo());
    QVERIFY(!window->Undo_Stack()->canRedo());
    QVERIFY(!window->Data_Modified());
    QCOMPARE(Entry_Widget(window.get(), 'B')->Entry_Offset(), 0.0);

    // An entry edited after loading changes the data, not what the file held: modified until
    // the edit is undone.
    Select_Row(List_Of(window.get(), 'A'), 0);
    QLineEdit *actual = Entry_Widget(window.get(), 'A')->findChild<QLineEdit *>("actual_edit");
    actual->setText("123.25");
    QTest::keyClick(actual, Qt::Key_Return);
    QCOMPARE(Lists_Of(window.get()).a.front().actual, 123.25);
    QVERIFY(window->Data_Modified());
    window->Undo_Stack()->undo();
    QVERIFY(!window->Data_Modified());
}

void TTestQuorvalEdit::Import_Refusals()
{
    auto window = Window();
    QVERIFY(window);
    const TLists before = Lists_Of(window.get());
    const int changes = window->Undo_Stack()->count();
    struct TCase
    {
        const char *name;
        QByteArray content;
        const char *reason;
    };
    const TCase cases[] = {
        {"binary.txt", QByteArray("10;1;1\0\1\2", 9),
         "The file 'binary.txt' cannot be imported: it holds NUL bytes, so it is not a text "
         "file."},
        {"book.xlsx", QByteArray("PK\x03\x04\x14\0\x06\0", 8),
         "The file 'book.xlsx' cannot be imported: it is a spreadsheet file, not text; save it "
         "as CSV in the spreadsheet program, or copy the cells and paste them."},
        {"header.csv", "Nennma\xdf;Istma\xdf;Uc\r\n\r\n",
         "Nothing was imported from 'header.csv': no line gives three numbers"},
        {"bad <lines>.csv", "1,1,1\n2,2\n",
         "Nothing was imported from 'bad <lines>.csv': 1 of 2 lines do not give three numbers "
         "(nominal, actual and Uc (k=2), in mm).\nLine 2: 2,2"},
    };
    for (const TCase &c : cases) {
        const QString file = d_home + "/" + c.name;
        QVERIFY(Write_All(file, c.content));
        TModalDriver driver;
        TDialogRecord dialog;
        TBoxRecord box;
        driver.Then_File(&dialog, file);
        driver.Then_Box(&box, QMessageBox::Ok);
        Action(window.get(), "Import Set A\u2026")->trigger();
        QVERIFY(driver.Done());
        QCOMPARE(Error_Box_Difference(box, "Error Importing File",
                                      "The selected text file cannot be imported."),
                 QString());
        QVERIFY2(Box_Reason(box).startsWith(c.reason), qPrintable(Box_Reason(box)));
        QCOMPARE(Same_Lists(Lists_Of(window.get()), before), QString());
        QCOMPARE(window->Undo_Stack()->count(), changes);
    }

    // Unsaved changes and entries in the set: no question, as Undo brings the set back.
    Type_Offset(window.get(), "1");
    const TLists edited = Lists_Of(window.get());
    QVERIFY(Write_All(d_home + "/good.csv", "1;1.00002;0.0003\n2;2.00001;0.0003\n"));
    TModalDriver driver;
    TDialogRecord dialog;
    driver.Then_File(&dialog, d_home + "/good.csv");
    Action(window.get(), "Import Set A\u2026")->trigger();
    QVERIFY(driver.Done());
    QCOMPARE(Lists_Of(window.get()).a.size(), std::size_t(2));
    window->Undo_Stack()->undo();
    QCOMPARE(Same_Lists(Lists_Of(window.get()), edited), QString());
}

// Under an address-space limit, an import or a paste of more entries than memory has room for is
// refused with the reason, and the lists and their history stay as they were.
void TTestQuorvalEdit::Out_Of_Memory_Changes_Nothing()
{
#ifdef __SANITIZE_ADDRESS__
    QSKIP("AddressSanitizer reserves terabytes of address space: no address-space limit");
#endif
    auto window = Window();
    QVERIFY(window);
    const TLists before = Lists_Of(window.get());
    const int changes = window->Undo_Stack()->count();
    const Items many(1000000, Entry(1, 1.0001, 0.001));
    const QString file = d_home + "/many.txt";
    QVERIFY(Write_All(file, EntryText::Entries_Text(many).toUtf8()));
    QCOMPARE(Run_In_Child([&] {
                 // Room for reading the file, not for 1,000,000 entries in the window and
                 // its comparison (about 400 MB).
                 if (!Limit_Address_Space(150 << 20))
                     return QStringLiteral("cannot limit the address space");
                 if (window->Import_Data(file, true) ||
                     Entry_Widget(window.get(), 'A')->Paste_Entries(many) ||
                     !Same_Lists(Lists_Of(window.get()), before).isEmpty() ||
                     window->Undo_Stack()->count() != changes)
                     return QStringLiteral("something changed");
                 return window->Last_Error();
             }),
             QString("ERR  Nothing was imported from 'many.txt': there is not enough memory; "
                     "nothing was changed."));
}

// Values typed into set B with an offset are stored as offset plus value exactly (no noise
// digits in the file) and come back as typed, bit for bit; a new offset keeps them as typed, and
// Undo puts back every stored bit.
void TTestQuorvalEdit::Set_B_Is_Saved_As_Typed()
{
    auto window = Window();
    QVERIFY(window);
    Type_Offset(window.get(), "0.2");
    TEntryWidget *b = Entry_Widget(window.get(), 'B');
    QTest::mouseClick(b->findChild<QToolButton *>("add_button"), Qt::LeftButton);
    for (const char *name : {"nominal_edit", "actual_edit"}) {
        QLineEdit *edit = b->findChild<QLineEdit *>(name);
        edit->selectAll();
        QTest::keyClicks(edit, name[0] == 'n' ? "0.1" : "0.7");
        QTest::keyClick(edit, Qt::Key_Return);
    }
    const QString file = d_home + "/typed.quorval";
    QVERIFY(window->Save_Data(file));
    const QByteArray text = Read_All(file);
    QVERIFY2(text.contains("<Nominal>0.30000</Nominal>") && text.contains("<Actual>0.90000</Actual>"),
             text.constData());

    auto other = Window();
    QVERIFY(other && other->Load_Data(file));
    // Saved sorted by actual: the typed entry comes first.
    const Type::TEntryItem typed = Entry_Widget(other.get(), 'B')->List_Items().front();
    QVERIFY(Same_Bits({typed}, {Entry(0.1, 0.7, typed.uc)}));
    const TLists loaded = Lists_Of(other.get());
    Type_Offset(other.get(), "0.25");
    QVERIFY(Same_Bits({Entry_Widget(other.get(), 'B')->List_Items().front()}, {typed}));
    QCOMPARE(Lists_Of(other.get()).b.front().actual, 0.95);
    other->Undo_Stack()->undo();
    QCOMPARE(Same_Lists(Lists_Of(other.get()), loaded), QString());
}

void TTestQuorvalEdit::Typed_Numbers_In_The_Locale_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("de_DE") << "30,5 30,50012 0,00003";
    QTest::newRow("en_US") << "30.5 30.50012 0.00003";
}

// "+" and three values typed in the locale's way; text that is not a number changes nothing.
void TTestQuorvalEdit::Typed_Numbers_In_The_Locale()
{
    QFETCH(QString, typed);
    QLocale::setDefault(QLocale(QTest::currentDataTag()));
    auto window = Window();
    QVERIFY(window);
    TEntryWidget *a = Entry_Widget(window.get(), 'A');
    QTest::mouseClick(a->findChild<QToolButton *>("add_button"), Qt::LeftButton);
    for (const QString &value : typed.split(' ')) {
        QTest::keyClicks(QApplication::focusWidget(), value);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    const Type::TEntryItem stored = a->List_Items().back();
    QVERIFY(Same_Bits({stored}, {Entry(30.5, 30.50012, 0.00003)}));
    QCOMPARE(Row_Text(List_Of(window.get(), 'A'), a->Entry_Count() - 1).simplified(),
             QString("30.50000, 30.50012, 0.00003"));

    QLineEdit *actual = a->findChild<QLineEdit *>("actual_edit");
    actual->setFocus();
    actual->selectAll();
    const int steps = window->Undo_Stack()->count();
    QTest::keyClicks(actual, "abc");
    QTest::keyClick(actual, Qt::Key_Return);
    QCOMPARE(window->Undo_Stack()->count(), steps);
    QVERIFY(window->findChild<QLabel *>("status_label")->text().contains("\"abc\" in Actual"));
}

void TTestQuorvalEdit::Random_Edit_Sequences_data()
{
    QTest::addColumn<quint32>("seed");
    for (const quint32 seed : {1u, 23u, 4711u})
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed;
}

// Changes of every kind, undone and redone at random, now and then with the cursor in a field:
// after each step the document (both sets as stored, the offset, the settings) is, bit for bit,
// what it was when the history was last at the same point, the lists show it and the window
// shows its comparison.
void TTestQuorvalEdit::Random_Edit_Sequences()
{
    QFETCH(quint32, seed);
    auto window = Window();
    QVERIFY(window);
    TQuorval *w = window.get();
    w->Undo_Stack()->clear();
    std::vector<TLists> seen = {Lists_Of(w)};
    QVERIFY(Write_All(d_home + "/random.txt", "1 1.000021 0.0003\n2 2.000013 0.0004\n"));
    QRandomGenerator random(seed);
    for (int step = 0; step < 1000; ++step) {
        const std::size_t changes = static_cast<std::size_t>(w->Undo_Stack()->index());
        const char set = random.bounded(2) ? 'B' : 'A';
        QListView *list = List_Of(w, set);
        QLineEdit *field = nullptr; // of a random entry, which is then the one selected
        if (Row_Count(list) > 0) {
            Select_Row(list, random.bounded(Row_Count(list)));
            const char *const names[] = {"nominal_edit", "actual_edit", "uc_edit"};
            field = Entry_Widget(w, set)->findChild<QLineEdit *>(names[random.bounded(3)]);
        }
        const QString number =
            QString("%1e-%2").arg(random.bounded(-999999, 1000000)).arg(random.bounded(10));
        const int kind = random.bounded(9);
        if (kind == 0) {
            QTest::mouseClick(Entry_Widget(w, set)->findChild<QToolButton *>("add_button"),
                              Qt::LeftButton);
        } else if (kind == 1 && field != nullptr) {
            Select_Row(list, random.bounded(Row_Count(list)), true);
            Focus_List(w, set);
            Press(w, set, Qt::Key_Delete, Qt::NoModifier);
        } else if (kind == 2 && field != nullptr) {
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, number);
            QTest::keyClick(field, Qt::Key_Return);
        } else if (kind == 3) {
            Entry_Widget(w, set)->Paste_Entries(
                {Entry(random.bounded(99.0), random.bounded(99.0), random.bounded(0.01))});
        } else if (kind == 4) {
            Type_Offset(w, number);
        } else if (kind == 5) {
            QVERIFY(w->Import_Data(d_home + "/random.txt", set == 'B'));
        } else if (kind == 8) {
            w->Change_Options({random.bounded(2) == 1, random.bounded(3) * 0.5});
        } else if (kind >= 6) {
            if (field != nullptr && random.bounded(2))
                QTest::mouseClick(field, Qt::LeftButton);
            w->findChild<QAction *>(kind == 6 ? "undo_action" : "redo_action")->trigger();
        }
        const std::size_t index = static_cast<std::size_t>(w->Undo_Stack()->index());
        // A change drops what could be redone; a value typed after "+" joins that addition.
        const bool joins_addition =
            kind == 2 && index == changes && w->Undo_Stack()->undoText() == "Add Entry";
        if ((kind < 6 || kind == 8) && (index != changes || joins_addition)) {
            seen.resize(index);
            seen.push_back(Lists_Of(w));
        } else {
            QVERIFY(index < seen.size());
            QCOMPARE(Same_Lists(Lists_Of(w), seen[index]), QString());
        }
        QCOMPARE(Views_Show_The_Document(w, random.generate()), QString());
        QCOMPARE(Comparison_Is_Current(w), QString());
    }
}

int main(int argc, char *argv[]) { return Run_With_Temporary_Home<TTestQuorvalEdit>(argc, argv); }

#include "test_quorval_edit.moc"
