#ifndef QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H
#define QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H

#include "src/compute/types.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The modal dialog that edits the comparison's settings (the kind of standard at the top, then
// alignment and merge distance on their own) and the
// decimals the lists and fields show. The main window creates it on first use and keeps it, so
// its size and position carry over from one use to the next.
class TOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDialog(QWidget *parent = nullptr,
                            Qt::WindowFlags flags = Qt::WindowFlags());
    ~TOptionsDialog() override;

    // The settings as the dialog currently shows them. Accept is enabled only while the merge
    // distance reads as a number of 0 or more.
    Type::TOptions Options() const;
    int Decimals_Shown() const;
    // Shows the given settings; decimals from 4 to 8.
    void Reset(const Type::TOptions &options, int decimals_shown = 4);

private:
    // The kind of standard follows the two settings; choosing a kind sets them.
    void Show_Kind();
    void Choose_Kind(Type::TStandard_Kind kind);

    QRadioButton *d_separate_radio;
    QRadioButton *d_one_length_radio;
    QCheckBox *d_align_check;
    QLineEdit *d_merge_edit;
    QSpinBox *d_decimals_spin;
    QPushButton *d_accept_button;
    QPushButton *d_cancel_button;
};

#endif
