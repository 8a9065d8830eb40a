#ifndef QUORVAL_TESTS_TEST_QUORVAL_SUPPORT_H
#define QUORVAL_TESTS_TEST_QUORVAL_SUPPORT_H

// Helpers shared by the main window's command tests: answering the modal dialogs a command opens
// (message box, file dialogs, options dialog) from a timer, so that no test ever blocks.

#include "core/messagebox.h"
#include "src/entrywidget.h"
#include "src/quorval.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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
        if (d_pending || modal == nullptr || !modal->isVisible())
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
        QTimer::singleShot(0, [this, action]() {
            d_pending = false;
            action();
        });
    }

    QTimer d_timer;
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

inline Type::TEntryItem Entry(double nominal, double actual, double uc)
{
    Type::TEntryItem item;
    item.nominal = nominal;
    item.actual = actual;
    item.uc = uc;
    return item;
}

inline QByteArray Read_All(const QString &file_name)
{
    QFile file(file_name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

inline bool Write_All(const QString &file_name, const QByteArray &data)
{
    QFile file(file_name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A window whose flag is clear and whose lists hold the given entries (set B's offset 0).
inline void Fill(TQuorval *window, const std::vector<Type::TEntryItem> &a,
                 const std::vector<Type::TEntryItem> &b, double offset_b = 0.0)
{
    Entry_Widget(window, 'A')->Clear_Entry_Items();
    Entry_Widget(window, 'B')->Clear_Entry_Items();
    Entry_Widget(window, 'A')->Add_Entry_Items(a);
    Entry_Widget(window, 'B')->Add_Entry_Items(b);
    // Emits Data_Changed: the window recomputes.
    Entry_Widget(window, 'B')->Set_Entry_Offset(offset_b);
}

// Runs check in a forked child switched to the unprivileged user 65534, where file permissions
// hold even when the tests run as root. Returns "ok" when check returned true, otherwise what
// went wrong. A child that does not finish within 60 seconds is killed.
inline QString Check_As_Unprivileged(const std::function<bool()> &check)
{
    const pid_t child = ::fork();
    if (child < 0)
        return "fork failed";
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        ::_exit(check() ? 0 : 1);
    }
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (clock.elapsed() > 60000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return "child hung";
        }
        QThread::msleep(10);
    }
    if (!WIFEXITED(status))
        return "child crashed";
    switch (WEXITSTATUS(status)) {
    case 0: return "ok";
    case 3: return "cannot switch user";
    default: return "check failed";
    }
}

} // namespace Support

#endif
