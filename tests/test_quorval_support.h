#ifndef QUORVAL_TESTS_TEST_QUORVAL_SUPPORT_H
#define QUORVAL_TESTS_TEST_QUORVAL_SUPPORT_H

// Helpers shared by the main window's tests: a home folder of their own, and answering the modal
// dialogs a command opens (message box, file dialogs, options dialog) from a timer, so that no
// test ever blocks.

#include "core/widgets/messagebox.h"
#include "src/window/entrywidget.h"
#include "src/window/quorval.h"

#include "test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace Support {

// What a message box showed.
struct TBoxRecord
{
    bool shown = false;
    QString text;
    QString informative_text;
    QString detailed_text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Empty when the box showed this title and informative text (each in its markup) with these
// buttons, default button and icon; otherwise what it showed instead.
inline QString Box_Difference(const TBoxRecord &box, const QString &title,
                              const QString &informative, QMessageBox::StandardButtons buttons,
                              QMessageBox::StandardButton default_button, QMessageBox::Icon icon)
{
    if (!box.shown)
        return QStringLiteral("not shown");
    if (!box.text.contains(">" + title + "</span>"))
        return QStringLiteral("text ") + box.text;
    if (!box.informative_text.contains(">" + informative + "</span>") &&
        !box.informative_text.contains(">" + informative + "<br><br>"))
        return QStringLiteral("informative text ") + box.informative_text;
    if (box.buttons != buttons || box.default_button != default_button || box.icon != icon)
        return QStringLiteral("buttons %1, default %2, icon %3")
            .arg(int(box.buttons))
            .arg(int(box.default_button))
            .arg(int(box.icon));
    return QString();
}

// The same for an error box: Ok alone, critical.
inline QString Error_Box_Difference(const TBoxRecord &box, const QString &title,
                                    const QString &informative)
{
    return Box_Difference(box, title, informative, QMessageBox::Ok, QMessageBox::Ok,
                          QMessageBox::Critical);
}

// The reason an error box gives after its sentence, as plain text.
inline QString Box_Reason(const TBoxRecord &box)
{
    const int start = box.informative_text.indexOf("<br><br>");
    const int end = box.informative_text.lastIndexOf("</span>");
    if (start < 0 || end < start)
        return QStringLiteral("no reason in ") + box.informative_text;
    return box.informative_text.mid(start + 8, end - start - 8)
        .replace("<br>", "\n")
        .replace("&lt;", "<")
        .replace("&gt;", ">")
        .replace("&quot;", "\"")
        .replace("&amp;", "&");
}

// What a file dialog showed.
struct TDialogRecord
{
    bool shown = false;
    QString caption;
    QStringList filters;
    QString directory;
    bool save_mode = false;
};

// Answers the modal dialogs of the next command, in order, polling for the active modal widget.
// A step looks at the dialog and returns the action that closes it; the action runs from the
// event loop, so that a dialog it opens in turn (a question of the file dialog) is answered by
// the next step. A dialog shown when no step is left is rejected and counted, so a test fails
// instead of hanging.
class TModalDriver
{
public:
    using TAction = std::function<void()>;
    using TStep = std::function<TAction(QWidget *)>;

    TModalDriver() : d_next(0), d_unexpected(0), d_pending(false)
    {
        d_timer.setInterval(10);
        QObject::connect(&d_timer, &QTimer::timeout, [this]() { Poll(); });
        d_timer.start();
    }

    void Then(const TStep &step) { d_steps.push_back(step); }

    // Answers a message box with the given button (NoButton: closes it with Escape).
    void Then_Box(TBoxRecord *record, QMessageBox::StandardButton button)
    {
        Then([record, button](QWidget *widget) -> TAction {
            QMessageBox *box = qobject_cast<QMessageBox *>(widget);
            if (box == nullptr)
                return [widget]() { qobject_cast<QDialog *>(widget)->reject(); };
            record->shown = true;
            record->text = box->text();
            record->informative_text = box->informativeText();
            record->detailed_text = box->detailedText();
            record->buttons = box->standardButtons();
            record->default_button = box->defaultButton()
                                         ? box->standardButton(box->defaultButton())
                                         : QMessageBox::NoButton;
            record->icon = box->icon();
            if (button == QMessageBox::NoButton)
                return [box]() { box->reject(); };
            return [box, button]() { box->button(button)->click(); };
        });
    }

    // Answers a file dialog with the given file name (empty: cancels it).
    void Then_File(TDialogRecord *record, const QString &file_name)
    {
        Then([record, file_name](QWidget *widget) -> TAction {
            QFileDialog *dialog = qobject_cast<QFileDialog *>(widget);
            if (dialog == nullptr)
                return [widget]() { qobject_cast<QDialog *>(widget)->reject(); };
            record->shown = true;
            record->caption = dialog->windowTitle();
            record->filters = dialog->nameFilters();
            record->directory = dialog->directory().absolutePath();
            record->save_mode = dialog->acceptMode() == QFileDialog::AcceptSave;
            if (file_name.isEmpty())
                return [dialog]() { dialog->reject(); };
            return [dialog, file_name]() {
                dialog->findChild<QLineEdit *>("fileNameEdit")->setText(file_name);
                // As the Return key in the name field would.
                QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
            };
        });
    }

    // Every step was used and no other dialog appeared.
    bool Done() const { return d_next == d_steps.size() && d_unexpected == 0; }

private:
    void Poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        // A long command's progress dialog goes when its work ends: not a step, and not to be
        // cancelled (it shows or not by how long the work takes on this machine).
        if (d_pending || modal == nullptr || !modal->isVisible() ||
            qobject_cast<QProgressDialog *>(modal) != nullptr)
            return;
        // A dialog whose answer is still running (a file dialog's accept waiting for its own
        // question) is closing: answering it again would count a dialog that never came.
        for (const QPointer<QWidget> &closing : d_closing)
            if (closing == modal)
                return;
        TAction action;
        if (d_next < d_steps.size()) {
            action = d_steps[d_next++](modal);
        } else if (QDialog *dialog = qobject_cast<QDialog *>(modal)) {
            ++d_unexpected;
            action = [dialog]() { dialog->reject(); };
        } else {
            return;
        }
        d_pending = true;
        // Tied to the driver's timer: dropped, not run, if the driver is gone first.
        const QPointer<QWidget> target(modal);
        QTimer::singleShot(0, &d_timer, [this, action, target]() {
            d_pending = false;
            d_closing.push_back(target);
            action();
            d_closing.pop_back();
        });
    }

    QTimer d_timer;
    std::vector<QPointer<QWidget>> d_closing; // dialogs whose answer is running, innermost last
    std::vector<TStep> d_steps;
    std::size_t d_next;
    int d_unexpected;
    bool d_pending;
};

inline QAction *Action(QWidget *window, const QString &text)
{
    for (QAction *action : window->findChildren<QAction *>())
        if (action->text() == text)
            return action;
    return nullptr;
}

inline TEntryWidget *Entry_Widget(QWidget *window, char set)
{
    return window->findChild<TEntryWidget *>(set == 'A' ? "entry_widget_a" : "entry_widget_b");
}

// The list view of a set, its rows and their texts, and selecting a row (added to the selection,
// or alone) as a click or Ctrl+click does.
inline QListView *List_Of(QWidget *window, char set)
{
    return Entry_Widget(window, set)->findChild<QListView *>("entry_list");
}

inline int Row_Count(const QListView *list) { return list->model()->rowCount(); }

inline QString Row_Text(const QListView *list, int row)
{
    return list->model()->index(row, 0).data().toString();
}

inline void Select_Row(QListView *list, int row, bool add = false)
{
    list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                            add ? QItemSelectionModel::Select
                                                : QItemSelectionModel::ClearAndSelect);
}

// Lists holding the given entries, put in as a paste puts them (so the data counts as modified
// when there are any), and set B's offset.
inline void Fill(TQuorval *window, const std::vector<Type::TEntryItem> &a,
                 const std::vector<Type::TEntryItem> &b, double offset_b = 0.0)
{
    Entry_Widget(window, 'A')->Clear_Entry_Items();
    Entry_Widget(window, 'B')->Clear_Entry_Items();
    window->Undo_Stack()->clear();
    Entry_Widget(window, 'A')->Paste_Entries(a);
    Entry_Widget(window, 'B')->Paste_Entries(b);
    // Emits Data_Changed: the window recomputes.
    Entry_Widget(window, 'B')->Set_Entry_Offset(offset_b);
}

// Types an offset into set B's field and presses Return, as a user changes it.
inline void Type_Offset(QWidget *window, const QString &text)
{
    QLineEdit *edit = Entry_Widget(window, 'B')->findChild<QLineEdit *>("offset_edit");
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

// Points HOME at a new empty folder below root, so that a test starts without settings.
// Returns the folder, or an empty string when it cannot be made.
inline QString New_Home(const QString &root, int *count)
{
    const QString home = root + QString("/home%1").arg(++*count);
    if (!QDir().mkpath(home))
        return QString();
    qputenv("HOME", home.toLocal8Bit());
    return home;
}

// Runs the test object, made from the root folder of the homes, with HOME pointed at that
// temporary folder before the application object exists: no test may see or change the real
// settings.
template <typename TTest> int Run_With_Temporary_Home(int argc, char *argv[])
{
    QTemporaryDir root;
    if (!root.isValid())
        return 1;
    qputenv("HOME", root.path().toLocal8Bit());
    QApplication application(argc, argv);
    application.setQuitOnLastWindowClosed(false);
    TTest test(root.path());
    return QTest::qExec(&test, argc, argv);
}

} // namespace Support

#endif
