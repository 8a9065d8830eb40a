#ifndef QUORVAL_SRC_WINDOW_DETAILSDIALOG_H
#define QUORVAL_SRC_WINDOW_DETAILSDIALOG_H

#include "src/compute/details.h"
#include "src/compute/types.h"

#include <QDialog>

#include <array>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The modal dialog of File > Comparison Details: the artefact compared, what sets A and B are,
// who compared them, and remarks. Accept is enabled only while every text can be kept (see
// Details::Fault); a line below the fields says what is wrong.
class TDetailsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TDetailsDialog(QWidget *parent = nullptr,
                            Qt::WindowFlags flags = Qt::WindowFlags());
    ~TDetailsDialog() override;

    // The texts as the dialog shows them, as they are kept (Details::Normalised).
    Type::TDetails Details() const;
    void Reset(const Type::TDetails &details);

private:
    QString Text(int index) const;
    void Check_Texts();

    // One field per text, in Details' order: line edits, and a text edit for the remarks.
    std::array<QWidget *, Details::Count> d_fields;
    QPlainTextEdit *d_remarks_edit;
    QLabel *d_problem_label;
    QPushButton *d_accept_button;
    QPushButton *d_cancel_button;
};

#endif
