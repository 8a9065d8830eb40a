#ifndef QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H
#define QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H

#include "src/compute/types.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The modal dialog that edits the comparison's settings (alignment, merge distance), the
// decimals the lists and fields show, and what every record says of the laboratory and how many
// table rows it holds at most. The main window creates it on first use and keeps it, so
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
    // The laboratory's name and address (name on the first line), as kept (Details::Normalised);
    // Accept is enabled only while Details::Fault finds nothing in it.
    QString Laboratory() const;
    int Record_Row_Limit() const;
    void Reset_Record(const QString &laboratory, int row_limit);

private:
    void Check_Input();

    QPlainTextEdit *d_laboratory_edit;
    QSpinBox *d_row_limit_spin;
    QCheckBox *d_align_check;
    QLineEdit *d_merge_edit;
    QSpinBox *d_decimals_spin;
    QPushButton *d_accept_button;
    QPushButton *d_cancel_button;
};

#endif
