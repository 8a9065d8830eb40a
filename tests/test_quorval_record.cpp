// The main window's record: the Export Record and Print commands and what the record's heading
// says of the data file.

#include "test_quorval_support.h"

#include "src/record.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QtTest>

using namespace Support;

namespace {

const std::vector<Type::TEntryItem> A = {Entry(100.0, 100.0012, 0.0005),
                                         Entry(200.0, 200.0012, 0.0005)};
const std::vector<Type::TEntryItem> B = {Entry(100.0, 99.9997, 0.0006),
                                         Entry(300.0, 299.9997, 0.0006)};

// A record's text with its dates and times left out.
QString Undated_Text(const QString &file_name)
{
    return Pdf_Text(file_name).replace(QRegularExpression("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d"),
                                       "DATE");
}

} // namespace

class TestQuorvalRecord : public QObject
{
    Q_OBJECT

public:
    explicit TestQuorvalRecord(const QString &root) : d_root(root), d_count(0) {}

private:
    QString d_root;
    QString d_home;
    int d_count;

    // The data file line of the heading of the window's record.
    QString Heading_File(TQuorval *window)
    {
        const QString file = d_home + "/heading.pdf";
        if (!window->Export_Record(file))
            return window->Last_Error();
        for (const QString &line : Pdf_Text(file).split('\n'))
            if (line.startsWith("Data file"))
                return line.mid(9).simplified();
        return QString();
    }

private slots:
    void init() { d_home = New_Home(d_root, &d_count); }

    void Commands_Follow_The_Comparison()
    {
        TQuorval window(nullptr, Qt::WindowFlags());
        const QList<QAction *> actions = {Action(&window, "Export Record\u2026"),
                                          Action(&window, "Print\u2026")};
        for (QAction *action : actions)
            QVERIFY(!action->isEnabled());
        Fill(&window, A, B);
        for (QAction *action : actions)
            QVERIFY(action->isEnabled());
        Fill(&window, A, {B[0]});
        for (QAction *action : actions)
            QVERIFY(!action->isEnabled());
    }

    // The file last opened or saved, said to be changed while the data differs from it, until New.
    void Heading_Names_The_Data_File()
    {
        TQuorval window(nullptr, Qt::WindowFlags());
        Fill(&window, A, B);
        QCOMPARE(Heading_File(&window), QString("not saved"));
        const QString saved = d_home + "/saved.quorval";
        QVERIFY(window.Save_Data(saved));
        QCOMPARE(Heading_File(&window), saved);
        Type_Offset(&window, "2.5");
        QCOMPARE(Heading_File(&window), saved + " (changed since last opened or saved)");
        window.Undo_Stack()->undo();
        QCOMPARE(Heading_File(&window), saved);

        const QString other = d_home + "/other.quorval";
        QVERIFY(QFile::copy(saved, other));
        QVERIFY(window.Load_Data(other));
        QCOMPARE(Heading_File(&window), other);
        Action(&window, "New")->trigger();
        QCOMPARE(window.Data_File_Name(), QString());
        Fill(&window, A, B);
        QCOMPARE(Heading_File(&window), QString("not saved"));
    }

    // Printing without a printer, into a PDF file, gives the exported record's pages.
    void Printed_As_Exported()
    {
        TQuorval window(nullptr, Qt::WindowFlags());
        Fill(&window, A, B);
        QPrinter printer(QPrinter::HighResolution);
        Record::Set_Up_Page(&printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(d_home + "/printed.pdf");
        QVERIFY(window.Print_Record(&printer));
        QVERIFY(window.Export_Record(d_home + "/exported.pdf"));
        const QString printed = Undated_Text(d_home + "/printed.pdf");
        QVERIFY(printed.contains("Page 1 of 1"));
        QCOMPARE(printed, Undated_Text(d_home + "/exported.pdf"));

        printer.setOutputFileName(d_home + "/missing/printed.pdf");
        QVERIFY(!window.Print_Record(&printer));
        QCOMPARE(window.Last_Error(),
                 QString("the file %1/missing/printed.pdf cannot be written").arg(d_home));
    }

    void Commands()
    {
        TQuorval window(nullptr, Qt::WindowFlags());
        window.show();
        Fill(&window, A, B);
        QAction *action = Action(&window, "Export Record\u2026");
        const QString record = d_home + "/record.pdf";
        { // The extension is added.
            TModalDriver driver;
            TDialogRecord dialog;
            driver.Then_File(&dialog, d_home + "/record");
            action->trigger();
            QVERIFY(driver.Done());
            QCOMPARE(dialog.caption, QString("Enter name of record file to create"));
            QCOMPARE(dialog.filters, QStringList({"PDF Documents (*.pdf)"}));
            QVERIFY(Read_All(record).startsWith("%PDF-"));
        }
        { // The dialog asked about the name as typed: the one with the extension is asked about.
            QVERIFY(Write_All(record, "filed"));
            TModalDriver driver;
            TDialogRecord dialog;
            TBoxRecord question;
            driver.Then_File(&dialog, d_home + "/record");
            driver.Then_Box(&question, QMessageBox::No);
            action->trigger();
            QVERIFY(driver.Done());
            QCOMPARE(Box_Difference(question, "File Exists",
                                    QString("The file %1 already exists.  Do you want to replace "
                                            "it?")
                                        .arg(record),
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                                    QMessageBox::Warning),
                     QString());
            QCOMPARE(Read_All(record), QByteArray("filed"));
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
            QCOMPARE(Error_Box_Difference(error, "Error Exporting Record",
                                          QString("The record cannot be written to %1: No such "
                                                  "file or directory.")
                                              .arg(name)),
                     QString());
        }
        { // Print opens the system's print dialog; cancelled, it prints nothing and says nothing.
            TModalDriver driver;
            bool print_dialog = false;
            driver.Then([&print_dialog](QWidget *widget) -> TModalDriver::TAction {
                print_dialog = qobject_cast<QPrintDialog *>(widget) != nullptr;
                return [widget]() { qobject_cast<QDialog *>(widget)->reject(); };
            });
            Action(&window, "Print\u2026")->trigger();
            QVERIFY(driver.Done());
            QVERIFY(print_dialog);
        }
    }
};

int main(int argc, char *argv[]) { return Run_With_Temporary_Home<TestQuorvalRecord>(argc, argv); }

#include "test_quorval_record.moc"
