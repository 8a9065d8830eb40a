#include "src/window/optionsdialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <functional>

class TTestOptionsDialog : public QObject
{
    Q_OBJECT

private:
    static QPushButton *Button(const TOptionsDialog &dialog, const QString &text)
    {
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            if (button->text() == text)
                return button;
        return nullptr;
    }

    // Runs the dialog modally; action is done once it is shown and must end it.
    static int Exec_With(TOptionsDialog *dialog, const std::function<void()> &action)
    {
        QTimer::singleShot(0, dialog, [dialog, action]() {
            QVERIFY(dialog->isVisible());
            action();
        });
        // Ends a dialog that the action failed to close, so the test fails instead of hanging.
        QTimer::singleShot(5000, dialog, [dialog]() { dialog->done(-1); });
        return dialog->exec();
    }

private slots:
    void Texts()
    {
        TOptionsDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        QCheckBox *check = dialog.findChild<QCheckBox *>();
        QVERIFY(check != nullptr);
        QCOMPARE(check->text(), QStringLiteral("Align Deviations and Adjust Uncertainty"));
        QVERIFY(Button(dialog, QStringLiteral("Accept")) != nullptr);
        QVERIFY(Button(dialog, QStringLiteral("Cancel")) != nullptr);
        QCOMPARE(dialog.findChildren<QPushButton *>().size(), 2);
    }

    void Options_Follow_Reset_And_Check_Box()
    {
        TOptionsDialog dialog;
        QCheckBox *check = dialog.findChild<QCheckBox *>();
        QVERIFY(check != nullptr);

        dialog.Reset(Type::TOptions{true});
        QVERIFY(check->isChecked());
        QCOMPARE(dialog.Options().remove_deviations, true);

        dialog.Reset(Type::TOptions{false});
        QVERIFY(!check->isChecked());
        QCOMPARE(dialog.Options().remove_deviations, false);

        // The user's click is what Options reports.
        check->click();
        QCOMPARE(dialog.Options().remove_deviations, true);

        // The merge distance shows every digit it has and reads back as itself; Accept waits
        // for a distance of 0 or more. The decimals shown go from 4 to 8.
        QLineEdit *distance = dialog.findChild<QLineEdit *>("merge_distance_edit");
        const QSpinBox *decimals = dialog.findChild<QSpinBox *>("decimals_spin");
        dialog.Reset(Type::TOptions{false, 0.123456789012345}, 7);
        QCOMPARE(distance->text(), QStringLiteral("0.123456789012345"));
        QCOMPARE(dialog.Options().merge_distance, 0.123456789012345);
        QCOMPARE(dialog.Decimals_Shown(), 7);
        QVERIFY(decimals->minimum() == 3 && decimals->maximum() == 8);
        QCOMPARE(decimals->specialValueText(), QStringLiteral("Automatic"));
        for (const char *text : {"-1", "abc", "", "0"}) {
            distance->setText(text);
            QCOMPARE(Button(dialog, QStringLiteral("Accept"))->isEnabled(), text[0] == '0');
        }
        // "0,500": half a millimetre in German; in English no number, and the dialog stays open.
        for (const bool german : {true, false}) {
            QLocale::setDefault(QLocale(german ? "de_DE" : "en_US"));
            distance->clear();
            QTest::keyClicks(distance, "0,500");
            dialog.setResult(QDialog::Rejected);
            dialog.accept();
            QCOMPARE(dialog.result() == QDialog::Accepted, german);
            QCOMPARE(distance->property("refused").toBool(), !german);
            QCOMPARE(dialog.Options().merge_distance == 0.5, german);
        }
        QLocale::setDefault(QLocale::c());

        // The kind of standard follows the two settings (none where they fit neither), and
        // choosing one sets them.
        QRadioButton *separate = dialog.findChild<QRadioButton *>("separate_items_radio");
        QRadioButton *one_length = dialog.findChild<QRadioButton *>("one_length_radio");
        dialog.Reset(Type::TOptions{false, 0.0});
        QVERIFY(separate->isChecked());
        one_length->click();
        QVERIFY(check->isChecked() && dialog.Options().merge_distance == 1.0);
        check->click();
        QVERIFY(!separate->isChecked() && !one_length->isChecked());

        // The laboratory is kept trimmed with its lines; a control character holds Accept back.
        QPlainTextEdit *laboratory = dialog.findChild<QPlainTextEdit *>("laboratory_edit");
        dialog.Reset_Record(QString(), 500);
        laboratory->setPlainText(" Lab North\r\n1 Main St ");
        QCOMPARE(dialog.Laboratory(), QStringLiteral("Lab North\n1 Main St"));
        QCOMPARE(dialog.Record_Row_Limit(), 500);
        QVERIFY(Button(dialog, QStringLiteral("Accept"))->isEnabled());
        laboratory->setPlainText("Lab\tNorth");
        QVERIFY(!Button(dialog, QStringLiteral("Accept"))->isEnabled());
    }

    void Buttons_And_Keys_End_The_Dialog()
    {
        TOptionsDialog dialog;
        QCheckBox *check = dialog.findChild<QCheckBox *>();
        QPushButton *accept = Button(dialog, QStringLiteral("Accept"));
        QPushButton *cancel = Button(dialog, QStringLiteral("Cancel"));
        QVERIFY(check != nullptr && accept != nullptr && cancel != nullptr);

        dialog.Reset(Type::TOptions{true});
        QCOMPARE(Exec_With(&dialog, [&]() { check->click(); accept->click(); }),
                 int(QDialog::Accepted));
        QCOMPARE(dialog.Options().remove_deviations, false);

        QCOMPARE(Exec_With(&dialog, [&]() { cancel->click(); }), int(QDialog::Rejected));

        // Enter accepts even with the focus on Cancel; Escape rejects.
        QCOMPARE(Exec_With(&dialog, [&]() {
                     cancel->setFocus();
                     QTest::keyClick(&dialog, Qt::Key_Return);
                 }),
                 int(QDialog::Accepted));
        QCOMPARE(Exec_With(&dialog, [&]() { QTest::keyClick(&dialog, Qt::Key_Escape); }),
                 int(QDialog::Rejected));
    }
};

QTEST_MAIN(TTestOptionsDialog)
#include "test_optionsdialog.moc"
