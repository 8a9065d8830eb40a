#include "src/optionsdialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
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
    void Layout_And_Texts()
    {
        TOptionsDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(dialog.size(), QSize(400, 300));

        QVBoxLayout *layout = qobject_cast<QVBoxLayout *>(dialog.layout());
        QVERIFY(layout != nullptr);
        QCOMPARE(layout->count(), 5);

        QLabel *heading = qobject_cast<QLabel *>(layout->itemAt(0)->widget());
        QVERIFY(heading != nullptr);
        QCOMPARE(heading->text(), QStringLiteral("Options"));
        QCOMPARE(heading->font().pointSize(), 14);
        QVERIFY(heading->font().italic());
        QVERIFY(heading->font().underline());

        QCheckBox *check = qobject_cast<QCheckBox *>(layout->itemAt(1)->widget());
        QVERIFY(check != nullptr);
        QCOMPARE(check->text(), QStringLiteral("Align Deviations and Adjust Uncertainty"));

        QSpacerItem *spacer = layout->itemAt(2)->spacerItem();
        QVERIFY(spacer != nullptr);
        QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);

        QFrame *line = qobject_cast<QFrame *>(layout->itemAt(3)->widget());
        QVERIFY(line != nullptr);
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->frameShadow(), QFrame::Sunken);

        QHBoxLayout *buttons = qobject_cast<QHBoxLayout *>(layout->itemAt(4)->layout());
        QVERIFY(buttons != nullptr);
        QCOMPARE(buttons->count(), 3);
        QVERIFY(buttons->itemAt(0)->spacerItem() != nullptr);
        QPushButton *cancel = qobject_cast<QPushButton *>(buttons->itemAt(1)->widget());
        QPushButton *accept = qobject_cast<QPushButton *>(buttons->itemAt(2)->widget());
        QVERIFY(cancel != nullptr && accept != nullptr);
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(accept->text(), QStringLiteral("Accept"));
        QVERIFY(accept->isDefault());
        QVERIFY(!cancel->isDefault());
        QVERIFY(!accept->autoDefault());
        QVERIFY(!cancel->autoDefault());
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
    }

    void Buttons_And_Keys_End_The_Dialog()
    {
        QWidget parent;
        TOptionsDialog dialog(&parent);
        QCOMPARE(dialog.parentWidget(), &parent);
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
