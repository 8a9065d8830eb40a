#ifndef QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H
#define QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H

#include "src/compute/types.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

// The modal dialog that edits the program's one option. The main window creates it on first use
// and keeps it, so its size and position carry over from one use to the next.
class TOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDialog(const QWidget *parent = nullptr,
                            Qt::WindowFlags flags = Qt::WindowFlags());
    ~TOptionsDialog() override;

    // The options as the dialog currently shows them.
    Type::TOptions Options() const;
    // Shows the given options.
    void Reset(Type::TOptions options);

private:
    QCheckBox *d_align_check;
    QPushButton *d_accept_button;
    QPushButton *d_cancel_button;
};

#endif
