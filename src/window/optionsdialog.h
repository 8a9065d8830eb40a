#ifndef QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H
#define QUORVAL_SRC_WINDOW_OPTIONSDIALOG_H

#include "src/compute/types.h"
#include "src/window/entrymodel.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The modal dialog that edits the comparison's settings (the kind of standard at the top, then
// alignment and merge distance on their own), the decimals the lists and fields show, and what
// every record says of the laboratory and how many table rows it holds at most. The main window
// creates it on first use and keeps it, so
// its size and position carry over from one use to the next.
class TOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDialog(QWidget *parent = nullptr,
                            Qt::WindowFlags flags = Qt::WindowFlags());
    ~TOptionsDialog() override;

    // The settings as the dialog currently shows them. The merge distance is read as the entry
    // fields read numbers; while it is not a number of 0 or more the field is marked and Accept
    // is disabled, so that the dialog never closes with some other distance.
    Type::TOptions Options() const;
    // From 4 to 8, or TEntryModel::Automatic.
    int Decimals_Shown() const;
    void Reset(const Type::TOptions &options, int decimals_shown = TEntryModel::Automatic);
    // The laboratory's name and address (name on the first line), as kept (Details::Normalised).
    QString Laboratory() const;
    int Record_Row_Limit() const;
    void Reset_Record(const QString &laboratory, int row_limit);

    void accept() override;

private:
    // The merge distance typed, true when it is a number of 0 or more.
    bool Read_Distance(double *distance) const;
    // Accept is enabled only while the distance reads and Details::Fault finds nothing in the
    // laboratory's text.
    void Check_Input();

    // The kind of standard follows the two settings; choosing a kind sets them.
    void Show_Kind();
    void Choose_Kind(Type::TStandard_Kind kind);

    QRadioButton *d_separate_radio;
    QRadioButton *d_one_length_radio;
    QPlainTextEdit *d_laboratory_edit;
    QSpinBox *d_row_limit_spin;
    QCheckBox *d_align_check;
    QLineEdit *d_merge_edit;
    QSpinBox *d_decimals_spin;
    QPushButton *d_accept_button;
    QPushButton *d_cancel_button;
};

#endif
