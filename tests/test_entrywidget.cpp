#include "src/compute/entrylists.h"
#include "src/compute/numbertext.h"
#include "src/window/entrymodel.h"
#include "src/window/entrywidget.h"

#include "test_support.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

using Support::Entry;

namespace {

// Gives access to the widget's children by their object names.
struct TFixture
{
    std::unique_ptr<TEntryWidget> widget;
    QListView *list;
    QToolButton *add;
    QToolButton *remove;
    QLabel *offset_label;
    QLineEdit *offset;
    QLineEdit *nominal;
    QLineEdit *actual;
    QLineEdit *uc;

    TFixture() : widget(new TEntryWidget(nullptr, Qt::WindowFlags()))
    {
        list = widget->findChild<QListView *>("entry_list");
        add = widget->findChild<QToolButton *>("add_button");
        remove = widget->findChild<QToolButton *>("remove_button");
        offset_label = widget->findChild<QLabel *>("offset_label");
        offset = widget->findChild<QLineEdit *>("offset_edit");
        nominal = widget->findChild<QLineEdit *>("nominal_edit");
        actual = widget->findChild<QLineEdit *>("actual_edit");
        uc = widget->findChild<QLineEdit *>("uc_edit");
    }

    // An entry as the list shows it (set B's values in B's own scale).
    Type::TEntryItem Stored(int row) const
    {
        return widget->Document()->Shown_Entry(TComparisonDocument::SET_B, std::size_t(row));
    }
    int Count() const { return list->model()->rowCount(); }
    QString Text(int row) const { return list->model()->index(row, 0).data().toString(); }
    std::vector<int> Selected_Rows() const
    {
        std::vector<int> rows;
        for (const QModelIndex &index : list->selectionModel()->selectedRows())
            rows.push_back(index.row());
        return rows;
    }
    void Select_Also(int row)
    {
        list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
    }

    // Shows the widget as the active window, so that focus changes finish edits as for a user.
    bool Show_Active()
    {
        widget->show();
        QApplication::setActiveWindow(widget.get());
        return QTest::qWaitForWindowActive(widget.get());
    }

    void Select_Only(int row)
    {
        list->clearSelection();
        Select_Also(row);
    }
};

} // namespace

class TTestEntryWidget : public QObject
{
    Q_OBJECT

private slots:
    void Initial_State();
    void Display_Text_Format();
    void Display_Text_As_Qt_Formats_data();
    void Display_Text_As_Qt_Formats();
    void Add_Button_Values();
    void Entry_Items_Sorted_By_Actual_With_Offset();
    void Offset_Field();
    void Text_That_Is_Not_A_Number_Is_Not_Stored();
    void Number_Text_Reads_As_Qt_Reads_It();
    void Signal_Counts_Of_Silent_Operations();
    void Loading_Sequence_Emits_Once();
    void Selection_Of_Two_Items();
    void Typing_Letters_Stores_Nothing_And_Keeps_Focus();
    void Focus_Chain_Emits_Once_Per_Edit();
    void Unedited_Fields_Keep_Full_Precision();
    void Entry_Items_Finishes_Pending_Edit();
    void Edit_Without_Selection_Does_Nothing();
    void Typing_After_Add_Stores_What_Was_Typed_data();
    void Typing_After_Add_Stores_What_Was_Typed();
    void Focus_Loss_Leaves_Focus_Where_The_User_Put_It();
    void Tab_Through_Unchanged_Fields_Keeps_Values();
    void Add_Selects_And_Shows_The_New_Entry();
    void Insert_And_Delete_Keys_On_The_List();
};

void TTestEntryWidget::Initial_State()
{
    TFixture f;
    QVERIFY(f.list && f.add && f.remove && f.offset_label && f.offset && f.nominal && f.actual &&
            f.uc);
    QCOMPARE(f.list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(f.add->isEnabled());
    QVERIFY(!f.remove->isEnabled());
    QCOMPARE(f.offset->text(), QString("0.0000"));
    for (QLineEdit *edit : {f.nominal, f.actual, f.uc}) {
        QVERIFY(edit->text().isEmpty());
        QVERIFY(!edit->isEnabled());
    }
    QVERIFY(f.widget->Entry_Items().empty());

    f.widget->Enable_Entry_Offset(false);
    QVERIFY(!f.offset->isEnabled());
    QVERIFY(!f.offset_label->isEnabled());
    f.widget->Enable_Entry_Offset(true);
    QVERIFY(f.offset->isEnabled());
    QVERIFY(f.offset_label->isEnabled());
}

void TTestEntryWidget::Display_Text_Format()
{
    const QString text = TEntryModel::Display_Text(Entry(100, 100.0012, 0.002));
    QCOMPARE(text, QString("  100.0000,   100.0012,   0.0020"));
    QCOMPARE(text.size(), 32);
    // Negative values, and values wider than the field, which are written in full.
    QCOMPARE(TEntryModel::Display_Text(Entry(-5.5, 123456789.25, 1234.56789)),
             QString("   -5.5000, 123456789.2500, 1234.5679"));

    TFixture f;
    f.widget->Add_Entry_Item(Entry(1.5, 2.25, 0.125));
    QCOMPARE(f.Text(0), QString("    1.5000,     2.2500,   0.1250"));
    QCOMPARE(f.list->font().family(), QString("Courier New"));
    QVERIFY(f.list->font().fixedPitch());
    QVERIFY(f.list->uniformItemSizes());
}

void TTestEntryWidget::Display_Text_As_Qt_Formats_data()
{
    QTest::addColumn<double>("value");
    // Ties at four decimals (odd multiples of 1/32), zeros of both signs, tiny negatives, wide,
    // huge and non-finite values.
    const double values[] = {0.0, -0.0, 0.03125, -12.53125, 0.09375, -1e-5, -5e-5, 1.00005, 2.5,
                             1e15, -123456.78, 1e300, 1e-300, -1e-300, qInf(), -qInf(), qQNaN(),
                             // Carries through every digit; just below 1e15; the smallest
                             // double; a near tie.
                             9.99995, 999999999999999.9, 4.9406564584124654e-324, 123.45675};
    for (const double value : values)
        QTest::newRow(qPrintable(QString::number(value, 'g', 17))) << value;
}

void TTestEntryWidget::Display_Text_As_Qt_Formats()
{
    // The list text is made without QString::arg for speed; it must read exactly as arg writes.
    QFETCH(double, value);
    const Type::TEntryItem item = Entry(value, -value, value / 3.0);
    for (int decimals = 4; decimals <= 8; ++decimals) {
        const int wider = decimals - 4;
        const QString expected = QString("%1, %2, %3")
                                     .arg(item.nominal, 10 + wider, 'f', decimals, QChar(' '))
                                     .arg(item.actual, 10 + wider, 'f', decimals, QChar(' '))
                                     .arg(item.uc, 8 + wider, 'f', decimals, QChar(' '));
        QCOMPARE(TEntryModel::Display_Text(item, decimals), expected);
    }
}

void TTestEntryWidget::Add_Button_Values()
{
    TFixture f;
    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    QTest::mouseClick(f.add, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(f.Count(), 1);
    QCOMPARE(f.Text(0), QString("  100.0000,   100.0000,   0.0020"));
    QCOMPARE(f.Stored(0).uc, 0.002);

    // The values follow the count of items, not their contents.
    f.widget->Clear_Entry_Items();
    f.widget->Add_Entry_Items({Entry(7, 7, 1), Entry(8, 8, 1), Entry(9, 9, 1)});
    QTest::mouseClick(f.add, Qt::LeftButton);
    QCOMPARE(f.Stored(3).nominal, 400.0);
    QCOMPARE(f.Stored(3).actual, 400.0);
    QCOMPARE(f.Stored(3).uc, 0.005);

    // After removing one of 100, 200, 300 the next "+" repeats nominal 300.
    f.widget->Clear_Entry_Items();
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(f.add, Qt::LeftButton);
    f.Select_Only(1);
    QVERIFY(f.remove->isEnabled());
    QTest::mouseClick(f.remove, Qt::LeftButton);
    QTest::mouseClick(f.add, Qt::LeftButton);
    QCOMPARE(f.Count(), 3);
    QCOMPARE(f.Stored(0).nominal, 100.0);
    QCOMPARE(f.Stored(1).nominal, 300.0);
    QCOMPARE(f.Stored(2).nominal, 300.0);
}

void TTestEntryWidget::Entry_Items_Sorted_By_Actual_With_Offset()
{
    TFixture f;
    f.widget->Add_Entry_Items({Entry(300, 300, 0.1), Entry(100, 100, 0.2), Entry(200, 200, 0.3)});
    std::vector<Type::TEntryItem> items = f.widget->Entry_Items();
    QCOMPARE(items.size(), std::size_t(3));
    QCOMPARE(items[0].nominal, 100.0);
    QCOMPARE(items[0].uc, 0.2);
    QCOMPARE(items[1].nominal, 200.0);
    QCOMPARE(items[2].nominal, 300.0);
    // The list keeps the order of entry.
    QCOMPARE(f.Stored(0).nominal, 300.0);
    QCOMPARE(f.Stored(2).nominal, 200.0);

    // The key is the actual value, not the nominal one.
    f.widget->Clear_Entry_Items();
    f.widget->Add_Entry_Items({Entry(100, 250, 0.1), Entry(200, 200, 0.2)});
    items = f.widget->Entry_Items();
    QCOMPARE(items[0].nominal, 200.0);
    QCOMPARE(items[1].nominal, 100.0);

    // The offset shifts nominal and actual, never the uncertainty.
    f.widget->Clear_Entry_Items();
    f.widget->Add_Entry_Item(Entry(100, 100.001, 0.002));
    f.offset->setText("0.5");
    items = f.widget->Entry_Items();
    QCOMPARE(items[0].nominal, 100.5);
    QCOMPARE(items[0].actual, 100.501);
    QCOMPARE(items[0].uc, 0.002);
    QCOMPARE(f.Stored(0).actual, 100.001);
}

void TTestEntryWidget::Offset_Field()
{
    TFixture f;
    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    f.widget->Set_Entry_Offset(1.23456);
    QCOMPARE(spy.count(), 1);
    // Every digit of the offset; its untouched text never replaces it.
    QCOMPARE(f.offset->text(), QString("1.23456"));
    QTest::keyClick(f.offset, Qt::Key_Return);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(f.widget->Entry_Offset(), 1.23456);
    QCOMPARE(f.widget->Undo_Stack()->count(), 0);
    f.widget->Set_Entry_Offset(-0.0);
    QCOMPARE(f.offset->text(), QString("0.0000"));
    QVERIFY(std::signbit(f.widget->Entry_Offset()));
    f.widget->Set_Entry_Offset(-0.5);
    QCOMPARE(f.offset->text(), QString("-0.5000"));
    QCOMPARE(spy.count(), 4);

    // Finishing an edit of the offset field signals once each time.
    f.offset->selectAll();
    QTest::keyClicks(f.offset, "2.5");
    QTest::keyClick(f.offset, Qt::Key_Return);
    QCOMPARE(spy.count(), 5);
    QCOMPARE(f.widget->Entry_Offset(), 2.5);
    QTest::keyClick(f.offset, Qt::Key_Enter);
    QCOMPARE(spy.count(), 6);

    f.offset->setText("not a number");
    QCOMPARE(f.widget->Entry_Offset(), 2.5);
    f.offset->setText("  3.25 ");
    QCOMPARE(f.widget->Entry_Offset(), 3.25);
}

void TTestEntryWidget::Number_Text_Reads_As_Qt_Reads_It()
{
    // Random texts of digits, points, exponents, signs and blanks, numbers with many digits and
    // beyond a double's range: a data file's number reads, bit for bit, as QString::toDouble reads
    // the text where that gives a finite value, and is refused where it does not (except a value
    // too small for a double, which is a zero).
    std::mt19937_64 random(28);
    const char characters[] = "0123456789012345678901234567890123456789.eE+- \t\n";
    for (int i = 0; i < 200000; ++i) {
        QByteArray text;
        const int length = static_cast<int>(random() % (i % 50 == 0 ? 400 : 14));
        for (int k = 0; k < length; ++k)
            text += characters[random() % (sizeof characters - 1)];
        bool ok = false;
        const double qt = QString::fromLatin1(text).toDouble(&ok);
        double read = 0.0;
        const bool number =
            NumberText::Read_File_Number(text.constData(), text.constData() + text.size(), &read);
        if (ok && std::isfinite(qt))
            QVERIFY2(number && std::memcmp(&read, &qt, sizeof read) == 0, text.constData());
        else
            QVERIFY2(!number || (read == 0.0 && std::isfinite(qt)), text.constData());
    }
}

void TTestEntryWidget::Text_That_Is_Not_A_Number_Is_Not_Stored()
{
    for (const char *text : {"inf", "-inf", "nan", "NaN", "1e999", "-1e999", "infinity", "abc", ""})
        QCOMPARE(EntryLists::To_Number(text), 0.0);
    QCOMPARE(EntryLists::To_Number("1e-3"), 0.001);
    QCOMPARE(EntryLists::To_Number("-12.5"), -12.5);
    QCOMPARE(EntryLists::To_Number("\v2.5\f"), 2.5); // blanks that Qt trims as well

    TFixture f;
    f.widget->Add_Entry_Item(Entry(100, 100, 0.002));
    f.widget->Set_Entry_Offset(0.5);
    QSignalSpy refused(f.widget.get(), &TEntryWidget::Number_Refused);
    for (const char *text : {"inf", "nan", "1e999"}) {
        f.offset->setText(text);
        QCOMPARE(f.widget->Entry_Offset(), 0.5);
        QCOMPARE(f.widget->Entry_Items()[0].actual, 100.5);
    }
    QVERIFY(f.offset->property("refused").toBool());

    // The same in the entry fields: those that do not read are marked, no value is stored.
    f.Select_Only(0);
    f.nominal->setText("inf");
    f.actual->setText("1e999");
    f.uc->setText("0.5");
    refused.clear();
    QTest::keyClick(f.uc, Qt::Key_Return);
    const Type::TEntryItem kept = f.Stored(0);
    QVERIFY(kept.nominal == 100.0 && kept.actual == 100.0 && kept.uc == 0.002);
    QCOMPARE(refused.count(), 1);
    QVERIFY(f.nominal->property("refused").toBool() && f.actual->property("refused").toBool());
    f.nominal->setText("100");
    QVERIFY(!f.nominal->property("refused").toBool());
}

void TTestEntryWidget::Signal_Counts_Of_Silent_Operations()
{
    TFixture f;
    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    f.widget->Add_Entry_Items({Entry(2, 2, 1), Entry(3, 3, 1)});
    QCOMPARE(spy.count(), 1);
    f.widget->Enable_Entry_Offset(false);
    f.widget->Enable_Entry_Offset(true);
    f.Select_Only(1);
    f.list->clearSelection();
    f.widget->Entry_Offset();
    f.widget->Entry_Items();
    QCOMPARE(spy.count(), 1);

    // Remove signals once even when nothing is selected.
    QMetaObject::invokeMethod(f.widget.get(), "Remove_Entry");
    QCOMPARE(spy.count(), 2);
    QCOMPARE(f.Count(), 2);
}

void TTestEntryWidget::Loading_Sequence_Emits_Once()
{
    // A loaded file replaces the set and its offset as one change, the list order kept.
    TFixture f;
    f.widget->Add_Entry_Items({Entry(5, 5, 1)});
    f.Select_Only(0);
    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    DataFile::TContent content;
    content.entries_b = {Entry(32.5, 32.5, 1), Entry(12.5, 12.5, 1), Entry(22.5, 22.5, 1)};
    content.offset_b = 2.5;
    f.widget->Document()->Load(content, QString(), QString());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(f.offset->text(), QString("2.5000"));
    QCOMPARE(f.Stored(0).nominal, 30.0);
    QCOMPARE(f.Stored(1).nominal, 10.0);
    QCOMPARE(f.Stored(2).nominal, 20.0);
    QVERIFY(f.Selected_Rows().empty() && !f.nominal->isEnabled());
}

void TTestEntryWidget::Selection_Of_Two_Items()
{
    TFixture f;
    f.widget->Add_Entry_Items({Entry(1, 1.5, 0.25), Entry(2, 2, 1), Entry(3, 3, 1)});
    f.Select_Only(0);
    QCOMPARE(f.nominal->text(), QString("1.0000"));
    QCOMPARE(f.actual->text(), QString("1.5000"));
    QCOMPARE(f.uc->text(), QString("0.2500"));
    QVERIFY(f.nominal->isEnabled() && f.actual->isEnabled() && f.uc->isEnabled());

    f.Select_Also(2);
    for (QLineEdit *edit : {f.nominal, f.actual, f.uc}) {
        QVERIFY(edit->text().isEmpty());
        QVERIFY(!edit->isEnabled());
    }
    QVERIFY(f.remove->isEnabled());

    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    QTest::mouseClick(f.remove, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(f.Count(), 1);
    QCOMPARE(f.Stored(0).nominal, 2.0);
    QVERIFY(!f.remove->isEnabled());
}

void TTestEntryWidget::Typing_Letters_Stores_Nothing_And_Keeps_Focus()
{
    TFixture f;
    QVERIFY(f.Show_Active());
    f.widget->Add_Entry_Items({Entry(100, 100, 0.002), Entry(200, 200, 0.003)});
    f.Select_Only(1);
    f.nominal->setFocus();
    f.nominal->selectAll();

    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    QSignalSpy refused(f.widget.get(), &TEntryWidget::Number_Refused);
    QTest::keyClicks(f.nominal, "abc");
    QTest::keyClick(f.nominal, Qt::Key_Return);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(refused.count(), 1);
    QVERIFY(refused[0][0].toString().contains("\"abc\" in Nominal of set B"));
    QCOMPARE(f.Stored(1).nominal, 200.0);
    QCOMPARE(f.nominal->text(), QString("abc")); // the field keeps what was typed
    QCOMPARE(QApplication::focusWidget(), f.nominal); // Return stays in the field
    QCOMPARE(f.Selected_Rows(), std::vector<int>{1}); // the entry keeps its place
}

void TTestEntryWidget::Focus_Chain_Emits_Once_Per_Edit()
{
    TFixture f;
    QVERIFY(f.Show_Active());
    f.widget->Add_Entry_Item(Entry(100, 100, 0.002));
    f.Select_Only(0);
    f.nominal->setFocus();

    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    f.nominal->selectAll();
    QTest::keyClicks(f.nominal, "101.5");
    QTest::keyClick(f.nominal, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), f.actual);
    QCOMPARE(spy.count(), 1);

    f.actual->selectAll();
    QTest::keyClicks(f.actual, "101.25");
    QTest::keyClick(f.actual, Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), f.uc);
    QCOMPARE(spy.count(), 2);

    f.uc->selectAll();
    QTest::keyClicks(f.uc, "0.01");
    QTest::keyClick(f.uc, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.list));
    QCOMPARE(spy.count(), 3);

    const Type::TEntryItem stored = f.Stored(0);
    QCOMPARE(stored.nominal, 101.5);
    QCOMPARE(stored.actual, 101.25);
    QCOMPARE(stored.uc, 0.01);
    QCOMPARE(f.Text(0), QString("  101.5000,   101.2500,   0.0100"));
}

void TTestEntryWidget::Unedited_Fields_Keep_Full_Precision()
{
    TFixture f;
    f.widget->Add_Entry_Item(Entry(100, 100.00012, 0.00234));
    f.Select_Only(0);
    // The fields show every digit, the list as many as the set carries.
    QCOMPARE(f.actual->text(), QString("100.00012"));
    QCOMPARE(f.uc->text(), QString("0.00234"));
    QCOMPARE(f.Text(0), QString("  100.00000,   100.00012,   0.00234"));

    f.nominal->setText("99.5");
    QTest::keyClick(f.nominal, Qt::Key_Return);
    Type::TEntryItem stored = f.Stored(0);
    QCOMPARE(stored.nominal, 99.5);
    QCOMPARE(stored.actual, 100.00012);
    QCOMPARE(stored.uc, 0.00234);

    // A value typed at more than 4 decimals is kept as typed when another field is edited later.
    f.actual->setText("100.00056");
    QTest::keyClick(f.actual, Qt::Key_Return);
    f.uc->setText("0.003");
    QTest::keyClick(f.uc, Qt::Key_Return);
    stored = f.Stored(0);
    QCOMPARE(stored.nominal, 99.5);
    QCOMPARE(stored.actual, 100.00056);
    QCOMPARE(stored.uc, 0.003);

    // Decimals chosen: the list shows them; text typed into a field stays.
    f.list->clearSelection();
    f.Select_Only(0);
    f.uc->setText("0.004");
    f.widget->Set_Decimals(6);
    QCOMPARE(f.Text(0), QString("   99.500000,   100.000560,   0.003000"));
    QCOMPARE(f.actual->text(), QString("100.00056"));
    QCOMPARE(f.uc->text(), QString("0.004"));
}

void TTestEntryWidget::Entry_Items_Finishes_Pending_Edit()
{
    TFixture f;
    QVERIFY(f.Show_Active());
    f.widget->Add_Entry_Items({Entry(100, 100, 0.002), Entry(200, 200, 0.003)});
    f.Select_Only(0);
    f.actual->setFocus();
    f.actual->selectAll();
    QTest::keyClicks(f.actual, "300");
    QCOMPARE(QApplication::focusWidget(), f.actual);

    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    const std::vector<Type::TEntryItem> items = f.widget->Entry_Items();
    QCOMPARE(spy.count(), 1);
    // The typed actual is in the result, so the entry now sorts last.
    QCOMPARE(items[1].nominal, 100.0);
    QCOMPARE(items[1].actual, 300.0);
}

void TTestEntryWidget::Edit_Without_Selection_Does_Nothing()
{
    TFixture f;
    f.widget->Add_Entry_Item(Entry(100, 100, 0.002));
    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    QMetaObject::invokeMethod(f.widget.get(), "Entry_Changed");
    QCOMPARE(spy.count(), 0);
    QCOMPARE(f.Stored(0).nominal, 100.0);
}

void TTestEntryWidget::Typing_After_Add_Stores_What_Was_Typed_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
}

// "+", then the three values typed with Return between them, as a user enters a set by hand.
void TTestEntryWidget::Typing_After_Add_Stores_What_Was_Typed()
{
    QFETCH(int, key);
    TFixture f;
    QVERIFY(f.Show_Active());
    // The window reads the entries on every change, as here.
    QObject::connect(f.widget.get(), &TEntryWidget::Data_Changed,
                     [&f]() { f.widget->Entry_Items(); });
    f.widget->Add_Entry_Items({Entry(100, 100, 0.002), Entry(200, 200, 0.003)});

    QTest::mouseClick(f.add, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), f.nominal);
    QTest::keyClicks(QApplication::focusWidget(), "70");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(QApplication::focusWidget(), f.actual);
    QTest::keyClicks(QApplication::focusWidget(), "70.0001");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(QApplication::focusWidget(), f.uc);
    QTest::keyClicks(QApplication::focusWidget(), "0.0003");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(f.list));

    const Type::TEntryItem stored = f.Stored(2);
    QCOMPARE(stored.nominal, 70.0);
    QCOMPARE(stored.actual, 70.0001);
    QCOMPARE(stored.uc, 0.0003);
    QCOMPARE(f.actual->text(), QString("70.0001"));
    QCOMPARE(f.uc->text(), QString("0.0003"));

    // The entry and its three typed values are one step to undo; a later edit is one more.
    QUndoStack *stack = f.widget->Undo_Stack();
    QCOMPARE(stack->count(), 1);
    QCOMPARE(stack->undoText(), QString("Add Entry"));
    f.nominal->setFocus();
    f.nominal->selectAll();
    QTest::keyClicks(f.nominal, "71");
    QTest::keyClick(f.nominal, Qt::Key(key));
    QCOMPARE(stack->count(), 2);
    stack->undo();
    stack->undo();
    QCOMPARE(f.Count(), 2);
    stack->redo();
    QCOMPARE(f.Stored(2).uc, 0.0003);
}

// Leaving a field by a click stores it, and the click's field keeps the focus and the typing.
void TTestEntryWidget::Focus_Loss_Leaves_Focus_Where_The_User_Put_It()
{
    TFixture f;
    QVERIFY(f.Show_Active());
    QObject::connect(f.widget.get(), &TEntryWidget::Data_Changed,
                     [&f]() { f.widget->Entry_Items(); });
    f.widget->Add_Entry_Items({Entry(50, 50.0006, 0.0004), Entry(60, 60, 0.0004)});
    f.Select_Only(0);

    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    QTest::mouseClick(f.nominal, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), f.nominal);
    QTest::mouseClick(f.uc, Qt::LeftButton);
    QCOMPARE(spy.count(), 1); // Nominal's edit finished and stored
    QCOMPARE(QApplication::focusWidget(), f.uc);

    QTest::keyClick(f.uc, Qt::Key_A, Qt::ControlModifier); // select the field's text
    QTest::keyClicks(f.uc, "0.0009");
    QTest::keyClick(f.uc, Qt::Key_Return);
    const Type::TEntryItem stored = f.Stored(0);
    QCOMPARE(stored.uc, 0.0009);
    QCOMPARE(stored.actual, 50.0006);
    QCOMPARE(stored.nominal, 50.0);
    QCOMPARE(f.Selected_Rows().size(), std::size_t(1)); // Ctrl+A went to the field, not the list
}

void TTestEntryWidget::Tab_Through_Unchanged_Fields_Keeps_Values()
{
    TFixture f;
    QVERIFY(f.Show_Active());
    const Type::TEntryItem full = Entry(100.000123456789, 100.00012345, 0.000123456);
    f.widget->Add_Entry_Item(full);
    f.Select_Only(0);
    f.nominal->setFocus(Qt::TabFocusReason);
    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(spy.count(), 3);
    const Type::TEntryItem stored = f.Stored(0);
    QCOMPARE(std::memcmp(&stored, &full, sizeof full), 0);
}

void TTestEntryWidget::Add_Selects_And_Shows_The_New_Entry()
{
    TFixture f;
    QVERIFY(f.Show_Active());
    std::vector<Type::TEntryItem> many;
    for (int i = 0; i < 39; ++i)
        many.push_back(Entry(i, i, 0.001));
    f.widget->Add_Entry_Items(many);
    f.Select_Only(3);

    QTest::mouseClick(f.add, Qt::LeftButton);
    QCOMPARE(f.Count(), 40);
    QCOMPARE(f.Selected_Rows(), std::vector<int>{39});
    // Scrolled down to it (the rows are wider than the list; only rows scroll).
    const QRect row = f.list->visualRect(f.list->model()->index(39, 0));
    QVERIFY(row.top() >= 0 && row.bottom() <= f.list->viewport()->rect().bottom());
    QCOMPARE(f.nominal->text(), QString("4000.0000"));
    QCOMPARE(f.nominal->selectedText(), f.nominal->text());
}

void TTestEntryWidget::Insert_And_Delete_Keys_On_The_List()
{
    TFixture f;
    QVERIFY(f.Show_Active());
    f.widget->Add_Entry_Items({Entry(1, 1, 1), Entry(2, 2, 1), Entry(3, 3, 1)});
    f.list->setFocus();
    QSignalSpy spy(f.widget.get(), &TEntryWidget::Data_Changed);

    QTest::keyClick(f.list, Qt::Key_Insert);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(f.Count(), 4);
    QCOMPARE(f.Stored(3).nominal, 400.0);

    f.Select_Only(0);
    f.Select_Also(2);
    f.list->setFocus();
    QTest::keyClick(f.list, Qt::Key_Delete);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(f.Count(), 2);
    QCOMPARE(f.Stored(0).nominal, 2.0);
    QCOMPARE(f.Stored(1).nominal, 400.0);

    // The keys belong to the list: Delete in a field edits the field's text.
    f.Select_Only(0);
    f.nominal->setFocus();
    f.nominal->setCursorPosition(0);
    QTest::keyClick(f.nominal, Qt::Key_Delete);
    QCOMPARE(f.Count(), 2);
    QCOMPARE(f.nominal->text(), QString(".0000"));
}

QTEST_MAIN(TTestEntryWidget)
#include "test_entrywidget.moc"
