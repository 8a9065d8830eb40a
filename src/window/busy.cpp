#include "src/window/busy.h"

#include <QApplication>
#include <QProgressDialog>
#include <QWidget>

#include <algorithm>

namespace {

// Steps of the progress bar.
constexpr int Steps = 1000;
// How often events are handled while the work runs, in milliseconds.
constexpr int Event_Interval = 40;

} // namespace

TBusy::TBusy(QWidget *window, const QString &what, int dialog_delay)
    : d_window(window), d_what(what), d_dialog_delay(dialog_delay), d_cancelled(false),
      d_finished(false)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    d_clock.start();
    d_since_events.start();
}

TBusy::~TBusy() { Finish(); }

void TBusy::Finish()
{
    if (d_finished)
        return;
    d_finished = true;
    delete d_dialog;
    QApplication::restoreOverrideCursor();
}

bool TBusy::Go_On(qint64 done, qint64 total)
{
    if (d_cancelled || d_finished)
        return !d_cancelled;
    const bool show = d_dialog.isNull() && d_clock.elapsed() >= d_dialog_delay;
    if (show) {
        d_dialog = new QProgressDialog(d_what, QStringLiteral("Cancel"), 0, Steps, d_window);
        d_dialog->setObjectName("progress_dialog");
        d_dialog->setWindowModality(Qt::WindowModal);
        d_dialog->setMinimumDuration(0);
        d_dialog->setAutoClose(false);
        d_dialog->setAutoReset(false);
        d_dialog->show();
        // Busy, but Cancel can be clicked.
        QApplication::changeOverrideCursor(Qt::BusyCursor);
    }
    if (show || d_since_events.elapsed() >= Event_Interval) {
        d_since_events.restart();
        if (d_dialog.isNull()) {
            // Until the dialog shows, the window is only repainted: it takes no input.
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        } else {
            d_dialog->setValue(total > 0 ? static_cast<int>(Steps * std::min(done, total) / total)
                                         : 0);
            // What follows the last report (filling the lists, writing the file) cannot be
            // stopped: no Cancel that would do nothing.
            if (total > 0 && done >= total)
                d_dialog->setCancelButton(nullptr);
            QApplication::processEvents();
        }
    }
    d_cancelled = !d_dialog.isNull() && d_dialog->wasCanceled();
    return !d_cancelled;
}

Progress::TReport TBusy::Report()
{
    return [this](qint64 done, qint64 total) { return Go_On(done, total); };
}
