#include "src/window/optionsdialog.h"

#include "src/compute/details.h"
#include "src/compute/numbertext.h"
#include "src/window/entrymodel.h"
#include "src/documents/record.h"

#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QButtonGroup>
#include <QPalette>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QVBoxLayout>

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

// The spin box's value below the decimals that it shows as "Automatic".
constexpr int Automatic_Value = NumberText::Least_Decimals - 1;

} // namespace

TOptionsDialog::TOptionsDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), d_separate_radio(nullptr), d_one_length_radio(nullptr),
      d_laboratory_edit(nullptr), d_row_limit_spin(nullptr), d_align_check(nullptr),
      d_merge_edit(nullptr), d_decimals_spin(nullptr), d_accept_button(nullptr),
      d_cancel_button(nullptr)
{
    resize(460, 560);

    QVBoxLayout *layout = new QVBoxLayout(this);

    layout->addWidget(New_Heading(QStringLiteral("Options"), this));

    layout->addWidget(new QLabel(QStringLiteral("The standard compared is"), this));
    d_separate_radio = new QRadioButton(QStringLiteral("separate items (gauge blocks)"), this);
    d_separate_radio->setObjectName("separate_items_radio");
    layout->addWidget(d_separate_radio);
    layout->addWidget(New_Explanation(
        QStringLiteral("No alignment; every entry is compared on its own."), this));
    d_one_length_radio =
        new QRadioButton(QStringLiteral("positions along one length (line scale, step gauge)"), this);
    d_one_length_radio->setObjectName("one_length_radio");
    layout->addWidget(d_one_length_radio);
    layout->addWidget(New_Explanation(
        QStringLiteral("Set B aligned to set A; lengths closer than the merge distance share a "
                       "position."),
        this));
    // Neither is chosen while the settings below fit neither kind.
    QButtonGroup *kinds = new QButtonGroup(this);
    kinds->addButton(d_separate_radio);
    kinds->addButton(d_one_length_radio);
    layout->addWidget(New_Separator(this));

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
    layout->addLayout(New_Row(QStringLiteral("Merge positions closer than"), d_merge_edit,
                              QStringLiteral("mm"), this));
    layout->addWidget(New_Explanation(
        QStringLiteral("Nominal lengths of the two sets closer than this share one position; use "
                       "0 for gauge blocks and fine scales, so that every distinct length keeps a "
                       "row of its own."),
        this));

    d_decimals_spin = new QSpinBox(this);
    d_decimals_spin->setObjectName("decimals_spin");
    d_decimals_spin->setRange(Automatic_Value, 8);
    d_decimals_spin->setSpecialValueText(QStringLiteral("Automatic"));
    layout->addLayout(New_Row(QStringLiteral("Decimals shown"), d_decimals_spin, QString(), this));
    layout->addWidget(New_Explanation(
        QStringLiteral("In the entry lists; \"Automatic\" shows as many as the entries carry. "
                       "The data keeps every digit, and a field being edited shows them all."),
        this));

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
    connect(d_merge_edit, &QLineEdit::textChanged, this, [this]() {
        double distance = 0.0;
        const bool read = Read_Distance(&distance);
        Check_Input();
        d_merge_edit->setProperty("refused", !read);
        QPalette palette = d_merge_edit->palette();
        palette.setColor(QPalette::Base,
                         read ? QApplication::palette(d_merge_edit).color(QPalette::Base)
                              : QColor(255, 214, 214));
        d_merge_edit->setPalette(palette);
        d_merge_edit->setToolTip(read ? QString()
                                      : QStringLiteral("Not a distance of 0 mm or more"));
        Show_Kind();
    });
    connect(d_align_check, &QCheckBox::toggled, this, &TOptionsDialog::Show_Kind);
    connect(d_separate_radio, &QRadioButton::clicked, this,
            [this]() { Choose_Kind(Type::TStandard_Kind::SEPARATE_ITEMS); });
    connect(d_one_length_radio, &QRadioButton::clicked, this,
            [this]() { Choose_Kind(Type::TStandard_Kind::ONE_LENGTH); });
    connect(d_laboratory_edit, &QPlainTextEdit::textChanged, this, &TOptionsDialog::Check_Input);
    Reset(Type::TOptions(), TEntryModel::Automatic);
    Reset_Record(QString(), Record::Default_Row_Limit);
}

void TOptionsDialog::Check_Input()
{
    double distance = 0.0;
    d_accept_button->setEnabled(Read_Distance(&distance) &&
                                Details::Fault(Laboratory()).isEmpty());
}

bool TOptionsDialog::Read_Distance(double *distance) const
{
    double read = 0.0;
    if (!NumberText::Read_Typed(d_merge_edit->text(), &read) || read < 0.0)
        return false;
    *distance = read + 0.0;
    return true;
}

void TOptionsDialog::accept()
{
    // Enter reaches here only through the default button, disabled for a distance that does not
    // read; a call by code is held to the same rule.
    double distance = 0.0;
    if (Read_Distance(&distance))
        QDialog::accept();
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
    Read_Distance(&options.merge_distance);
    return options;
}

int TOptionsDialog::Decimals_Shown() const
{
    return d_decimals_spin->value() == Automatic_Value ? TEntryModel::Automatic
                                                       : d_decimals_spin->value();
}

void TOptionsDialog::Reset(const Type::TOptions &options, int decimals_shown)
{
    d_align_check->setChecked(options.remove_deviations);
    d_merge_edit->setText(NumberText::Shortest_Fixed(options.merge_distance, 1));
    d_decimals_spin->setValue(decimals_shown == TEntryModel::Automatic ? Automatic_Value
                                                                       : decimals_shown);
    Show_Kind();
}

void TOptionsDialog::Show_Kind()
{
    const Type::TStandard_Kind kind = Type::Kind_Of(Options());
    QButtonGroup *kinds = d_separate_radio->group();
    kinds->setExclusive(false);
    d_separate_radio->setChecked(kind == Type::TStandard_Kind::SEPARATE_ITEMS);
    d_one_length_radio->setChecked(kind == Type::TStandard_Kind::ONE_LENGTH);
    kinds->setExclusive(true);
}

void TOptionsDialog::Choose_Kind(Type::TStandard_Kind kind)
{
    const Type::TOptions current = Options();
    if (Type::Kind_Of(current) != kind) {
        const Type::TOptions chosen = Type::Options_Of(kind, current);
        d_align_check->setChecked(chosen.remove_deviations);
        d_merge_edit->setText(NumberText::Shortest_Fixed(chosen.merge_distance, 1));
    }
    Show_Kind();
}
