#include "src/window/detailsdialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const int Remarks_Index = Details::Remarks;

// What each field is for, under its label.
const std::array<const char *, Details::Count> Hints = {
    "e.g. gauge-block set, manufacturer, serial number",
    "e.g. before repair, reference laboratory",
    "e.g. after repair, own calibration",
    "who made the comparison",
    "",
    "printed on every page of the record",
    "who calibrated set A",
    "certificate or report number",
    "date(s) of set A's calibration",
    "who calibrated set B",
    "certificate or report number",
    "date(s) of set B's calibration"};

} // namespace

TDetailsDialog::TDetailsDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), d_fields{}, d_remarks_edit(nullptr),
      d_problem_label(nullptr), d_accept_button(nullptr), d_cancel_button(nullptr)
{
    resize(560, 560);
    setWindowTitle(QStringLiteral("Comparison Details"));

    QVBoxLayout *layout = new QVBoxLayout(this);
    QFormLayout *form = new QFormLayout();
    for (const int i : Details::Shown_Order) {
        QWidget *field = nullptr;
        if (i == Remarks_Index) {
            d_remarks_edit = new QPlainTextEdit(this);
            // Tab moves on to the next field rather than going into the text.
            d_remarks_edit->setTabChangesFocus(true);
            connect(d_remarks_edit, &QPlainTextEdit::textChanged, this,
                    &TDetailsDialog::Check_Texts);
            field = d_remarks_edit;
        } else {
            QLineEdit *edit = new QLineEdit(this);
            edit->setPlaceholderText(QLatin1String(Hints[static_cast<std::size_t>(i)]));
            connect(edit, &QLineEdit::textChanged, this, &TDetailsDialog::Check_Texts);
            field = edit;
        }
        field->setObjectName(QString::fromLatin1(Details::Element_Names[i]).toLower() + "_edit");
        d_fields[static_cast<std::size_t>(i)] = field;
        form->addRow(QLatin1String(Details::Labels[i]) + QLatin1Char(':'), field);
    }
    layout->addLayout(form);

    d_problem_label = new QLabel(this);
    d_problem_label->setObjectName("problem_label");
    d_problem_label->setWordWrap(true);
    layout->addWidget(d_problem_label);

    d_cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    d_accept_button = new QPushButton(QStringLiteral("Accept"), this);
    QHBoxLayout *buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(d_cancel_button);
    buttons->addWidget(d_accept_button);
    layout->addLayout(buttons);
    // Enter in a line edit accepts; in the remarks it starts a new line.
    d_cancel_button->setAutoDefault(false);
    d_accept_button->setAutoDefault(false);
    d_accept_button->setDefault(true);

    connect(d_accept_button, &QPushButton::clicked, this, &QDialog::accept);
    connect(d_cancel_button, &QPushButton::clicked, this, &QDialog::reject);
    Check_Texts();
}

TDetailsDialog::~TDetailsDialog() = default;

QString TDetailsDialog::Text(int index) const
{
    if (index == Remarks_Index)
        return Details::Normalised(d_remarks_edit->toPlainText());
    return Details::Normalised(
        static_cast<const QLineEdit *>(d_fields[static_cast<std::size_t>(index)])->text());
}

Type::TDetails TDetailsDialog::Details() const
{
    Type::TDetails details;
    for (int i = 0; i < Details::Count; ++i)
        *Details::Field(&details, i) = Text(i);
    return details;
}

void TDetailsDialog::Reset(const Type::TDetails &details)
{
    for (int i = 0; i < Details::Count; ++i) {
        const QString &text = Details::Field(details, i);
        if (i == Remarks_Index)
            d_remarks_edit->setPlainText(text);
        else
            static_cast<QLineEdit *>(d_fields[static_cast<std::size_t>(i)])->setText(text);
    }
    d_fields[static_cast<std::size_t>(Details::Shown_Order[0])]->setFocus();
}

void TDetailsDialog::Check_Texts()
{
    QString problem;
    for (const int i : Details::Shown_Order) {
        const QString fault = Details::Fault(Text(i));
        if (!fault.isEmpty()) {
            problem = QStringLiteral("%1 %2.").arg(QLatin1String(Details::Labels[i]), fault);
            break;
        }
    }
    d_problem_label->setText(problem);
    d_problem_label->setVisible(!problem.isEmpty());
    d_accept_button->setEnabled(problem.isEmpty());
}
