#include "core/widgets/messagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QtTest>

class TTestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void Construction();
    void Span_Markup();
    void Fixed_Width_On_Show_And_Resize();
    void Exec_Answered_By_Send_Key();
};

void TTestMessageBox::Construction()
{
    TMessageBox box(nullptr);
    QCOMPARE(box.textFormat(), Qt::RichText);
    QCOMPARE(box.styleSheet(),
             QString("dialogbuttonbox-buttons-have-icons: 0;\nbutton-layout: 1;"));
}

void TTestMessageBox::Span_Markup()
{
    TMessageBox box(nullptr);
    TMessageBox *through_pointer = &box;
    through_pointer->setText("Data Not Saved");
    QCOMPARE(box.text(), QString("<span style=\"font-size:10pt; font-weight:600; "
                                 "color:#000000;\" >Data Not Saved</span>"));
    through_pointer->setInformativeText("a <b>bold</b> word");
    QCOMPARE(box.informativeText(), QString("<span style=\"font-size:10pt; font-weight:400; "
                                            "color:#000000;\" >a <b>bold</b> word</span>"));
    // The %1 of the wrapper is filled once: placeholders in the text itself stay as they are.
    through_pointer->setText("100 %1 %2");
    QVERIFY(box.text().contains(">100 %1 %2</span>"));

    // Details are shown as they are, up to a length that Show Details lays out at once: a longer
    // line, and a longer text, is cut and says so.
    through_pointer->setDetailedText("ERR  line one\nline two");
    QCOMPARE(box.detailedText(), QString("ERR  line one\nline two"));
    const QString quoted = QString(3000000, QLatin1Char('7'));
    through_pointer->setDetailedText("ERR  Bad value '" + quoted + "'\nnext line");
    QCOMPARE(box.detailedText(),
             "ERR  Bad value '" + quoted.left(TMessageBox::Most_Detail_Line_Characters - 16) +
                 "\u2026 (line cut at 1000 of its 3000017 characters)\nnext line");
    through_pointer->setDetailedText(QString("ERR  a line\n").repeated(100000));
    QVERIFY(box.detailedText().endsWith("\u2026 (text cut at 20000 of its 1200000 characters)"));
}

void TTestMessageBox::Fixed_Width_On_Show_And_Resize()
{
    TMessageBox box(nullptr);
    box.setText("Error Exporting File");
    box.setInformativeText(
        QString("A long informative text that would widen the box. ").repeated(20));
    box.setStandardButtons(QMessageBox::Ok);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.width(), 500);
    box.resize(900, 400);
    QCoreApplication::processEvents();
    QCOMPARE(box.width(), 500);
    // Changing a text of the visible box makes QMessageBox resize it to fit the new text.
    box.setInformativeText("Short.");
    QCoreApplication::processEvents();
    QCOMPARE(box.width(), 500);
    box.setText(QString("A very long main text. ").repeated(30));
    QCoreApplication::processEvents();
    QCOMPARE(box.width(), 500);
    box.hide();

    // Shown again with short texts, it keeps its width.
    box.setText("Short.");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.width(), 500);
}

void TTestMessageBox::Exec_Answered_By_Send_Key()
{
    TMessageBox box(nullptr);
    box.setText("Data Not Saved");
    box.setInformativeText("Do you want to close without saving?");
    box.setDetailedText(QString());
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setIcon(QMessageBox::Warning);

    bool visible_while_running = false;
    QTimer::singleShot(0, &box, [&box, &visible_while_running]() {
        visible_while_running = box.isVisible();
        box.Send_Key(Qt::Key_Return);
    });
    QCOMPARE(box.exec(), int(QMessageBox::No)); // Return presses the default button
    QVERIFY(visible_while_running);
    QVERIFY(!box.isVisible());

    QTimer::singleShot(0, &box, [&box]() { box.Send_Key(Qt::Key_Y); });
    QCOMPARE(box.exec(), int(QMessageBox::Yes)); // the button's mnemonic

    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    QTimer::singleShot(0, &box, [&box]() { box.Send_Key(Qt::Key_Escape); });
    QCOMPARE(box.exec(), int(QMessageBox::Ok));
}

QTEST_MAIN(TTestMessageBox)
#include "test_messagebox.moc"
