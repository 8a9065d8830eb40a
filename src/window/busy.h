#ifndef QUORVAL_SRC_WINDOW_BUSY_H
#define QUORVAL_SRC_WINDOW_BUSY_H

#include "src/compute/progress.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

// A command's long work: the busy cursor from construction to destruction and, once the work has
// taken half a second, a progress dialog with Cancel, modal to the window. The work reports
// through Report() (or checkpoints through Go_On) and stops when either returns false.
class TBusy
{
public:
    // what: the dialog's text. dialog_delay: how long the work may run before the dialog shows,
    // in milliseconds.
    TBusy(QWidget *window, const QString &what, int dialog_delay = 500);
    ~TBusy();
    TBusy(const TBusy &) = delete;
    TBusy &operator=(const TBusy &) = delete;

    // Shows that done of total is done; false once the user has cancelled.
    bool Go_On(qint64 done, qint64 total);
    Progress::TReport Report();
    bool Cancelled() const { return d_cancelled; }
    // The work is over: the cursor and the dialog go (before a message about the outcome).
    void Finish();

private:
    QWidget *d_window;
    QString d_what;
    int d_dialog_delay;
    QElapsedTimer d_clock;
    // Since the events were last handled: the window is repainted and Cancel is seen a few
    // dozen times a second, not at every report.
    QElapsedTimer d_since_events;
    QPointer<QProgressDialog> d_dialog;
    bool d_cancelled;
    bool d_finished;
};

#endif
