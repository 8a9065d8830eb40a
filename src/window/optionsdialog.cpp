#include "src/window/optionsdialog.h"

#include "src/compute/details.h"
#include "src/compute/numbertext.h"
#include "src/documents/record.h"

#include <QCheckBox>
#include <QDoubleValidator>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace {

// A sentence under a setting that says when to use it.
QLabel *New_Explanation(const QString &text, QWidget *parent)
{
    QLabel *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setContentsMargins(20, 0, 0, 6);
    return label;
}

// A label, the field and its unit on one line.
QHBoxLayout *New_Row(const QString &label, QWidget *field, const QString &unit, QWidget *parent)
{
    QHBoxLayout *row = new QHBoxLayout();
    row->addWidget(new QLabel(label, parent));
    row->addWidget(field);
    if (!unit.isEmpty())
        row->addWidget(new QLabel(unit, parent));
    row->addStretch(1);
    return row;
}

// A sunken horizontal line across the dialog.
QFrame *New_Separator(QWidget *parent)
{
    QFrame *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// The buttons at the right end of a row.
QHBoxLayout *New_Button_Row(QPushButton *first, QPushButton *second)
{
    QHBoxLayout *row = new QHBoxLayout();
    row->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addWidget(first);
    row->addWidget(second);
    return row;
}

// The dialog's heading: larger, italic and underlined.
QLabel *New_Heading(const QString &text, QWidget *parent)
{
    QLabel *heading = new QLabel(text, parent);
    QFont heading_font = heading->font();
    heading_font.setPointSize(14);
    heading_font.setItalic(true);
    heading_font.setUnderline(true);
    heading->setFont(heading_font);
    return heading;
}

// Any distance that Reset shows, every digit of it, is acceptable.
QDoubleValidator *New_Distance_Validator(QObject *parent)
{
    QDoubleValidator *validator =
        new QDoubleValidator(0.0, std::numeric_limits<double>::max(), 1000, parent);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    return validator;
}

} // namespace

TOptionsDialog::TOptionsDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), d_laboratory_edit(nullptr), d_row_limit_spin(nullptr),
      d_align_check(nullptr), d_merge_edit(nullptr),
      d_decimals_spin(nullptr), d_accept_button(nullptr), d_cancel_button(nullptr)
{
    resize(460, 520);

    QVBoxLayout *layout = new QVBoxLayout(this);

    layout->addWidget(New_Heading(QStringLiteral("Options"), this));

    d_align_check = new QCheckBox(QStringLiteral("Align Deviations and Adjust Uncertainty"), this);
    d_align_check->setObjectName("align_check");
    layout->addWidget(d_align_check);
    layout->addWidget(New_Explanation(
        QStringLiteral("For a scale measured from its own zero: set B's deviations are shifted "
                       "by set A's deviation at B's offset. Switch it off for independent "
                       "standards such as gauge blocks."),
        this));

    d_merge_edit = new QLineEdit(this);
    d_merge_edit->setObjectName("merge_distance_edit");
    d_merge_edit->setMaximumWidth(160);
    d_merge_edit->setValidator(New_Distance_Validator(d_merge_edit));
    layout->addLayout(New_Row(QStringLiteral("Merge positions closer than"), d_merge_edit,
                              QStringLiteral("mm"), this));
    layout->addWidget(New_Explanation(
        QStringLiteral("Nominal lengths of the two sets closer than this share one position; use "
                       "0 for gauge blocks and fine scales, so that every distinct length keeps a "
                       "row of its own."),
        this));

    d_decimals_spin = new QSpinBox(this);
    d_decimals_spin->setObjectName("decimals_spin");
    d_decimals_spin->setRange(NumberText::Least_Decimals, 8);
    layout->addLayout(New_Row(QStringLiteral("Decimals shown"), d_decimals_spin, QString(), this));
    layout->addWidget(New_Explanation(
        QStringLiteral("In the entry lists and fields; the data keeps every digit."), this));

    layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));

    // What every record says of the laboratory: a group of its own, not the comparison's.
    QGroupBox *record_group = new QGroupBox(QStringLiteral("Records"), this);
    record_group->setObjectName("record_group");
    QVBoxLayout *record_layout = new QVBoxLayout(record_group);
    record_layout->addWidget(
        new QLabel(QStringLiteral("Laboratory (name, then address lines):"), record_group));
    d_laboratory_edit = new QPlainTextEdit(record_group);
    d_laboratory_edit->setObjectName("laboratory_edit");
    d_laboratory_edit->setTabChangesFocus(true);
    d_laboratory_edit->setMaximumHeight(5 * d_laboratory_edit->fontMetrics().lineSpacing());
    record_layout->addWidget(d_laboratory_edit);
    d_row_limit_spin = new QSpinBox(record_group);
    d_row_limit_spin->setObjectName("row_limit_spin");
    d_row_limit_spin->setRange(Record::Least_Row_Limit, Record::Most_Row_Limit);
    d_row_limit_spin->setGroupSeparatorShown(true);
    record_layout->addLayout(New_Row(QStringLiteral("Whole table up to"), d_row_limit_spin,
                                     QStringLiteral("rows"), record_group));
    record_layout->addWidget(New_Explanation(
        QStringLiteral("A longer comparison's record holds the rows with En > 1 and the largest "
                       "En; quorval-report --csv writes the whole table."),
        record_group));
    layout->addWidget(record_group);

    layout->addWidget(New_Separator(this));

    d_cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    d_accept_button = new QPushButton(QStringLiteral("Accept"), this);
    layout->addLayout(New_Button_Row(d_cancel_button, d_accept_button));

    // Only Accept reacts to Enter, wherever the focus is.
    d_cancel_button->setAutoDefault(false);
    d_accept_button->setAutoDefault(false);
    d_accept_button->setDefault(true);

    setWindowTitle(QStringLiteral("Options"));

    connect(d_accept_button, &QPushButton::clicked, this, &QDialog::accept);
    connect(d_cancel_button, &QPushButton::clicked, this, &QDialog::reject);
    connect(d_merge_edit, &QLineEdit::textChanged, this, &TOptionsDialog::Check_Input);
    connect(d_laboratory_edit, &QPlainTextEdit::textChanged, this, &TOptionsDialog::Check_Input);
    Reset(Type::TOptions());
    Reset_Record(QString(), Record::Default_Row_Limit);
}

void TOptionsDialog::Check_Input()
{
    d_accept_button->setEnabled(d_merge_edit->hasAcceptableInput() &&
                                Details::Fault(Laboratory()).isEmpty());
}

QString TOptionsDialog::Laboratory() const
{
    return Details::Normalised(d_laboratory_edit->toPlainText());
}

int TOptionsDialog::Record_Row_Limit() const { return d_row_limit_spin->value(); }

void TOptionsDialog::Reset_Record(const QString &laboratory, int row_limit)
{
    d_laboratory_edit->setPlainText(laboratory);
    d_row_limit_spin->setValue(row_limit);
}

TOptionsDialog::~TOptionsDialog() = default;

Type::TOptions TOptionsDialog::Options() const
{
    Type::TOptions options;
    options.remove_deviations = d_align_check->isChecked();
    // The text shown reads back as the very distance given to Reset.
    bool ok = false;
    const double distance = d_merge_edit->text().toDouble(&ok);
    if (ok && distance >= 0.0)
        options.merge_distance = distance + 0.0;
    return options;
}

int TOptionsDialog::Decimals_Shown() const { return d_decimals_spin->value(); }

void TOptionsDialog::Reset(const Type::TOptions &options, int decimals_shown)
{
    d_align_check->setChecked(options.remove_deviations);
    d_merge_edit->setText(NumberText::Shortest_Fixed(options.merge_distance, 1));
    d_decimals_spin->setValue(decimals_shown);
}
