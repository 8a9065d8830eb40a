#include "src/window/optionsdialog.h"

#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

TOptionsDialog::TOptionsDialog(const QWidget *parent, Qt::WindowFlags flags)
    : QDialog(const_cast<QWidget *>(parent), flags),
      d_align_check(nullptr),
      d_accept_button(nullptr),
      d_cancel_button(nullptr)
{
    resize(400, 300);

    QVBoxLayout *layout = new QVBoxLayout(this);

    QLabel *heading = new QLabel(QStringLiteral("Options"), this);
    QFont heading_font = heading->font();
    heading_font.setPointSize(14);
    heading_font.setItalic(true);
    heading_font.setUnderline(true);
    heading->setFont(heading_font);
    layout->addWidget(heading);

    d_align_check = new QCheckBox(QStringLiteral("Align Deviations and Adjust Uncertainty"), this);
    layout->addWidget(d_align_check);

    layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));

    QFrame *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    QHBoxLayout *button_layout = new QHBoxLayout();
    button_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    d_cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    d_accept_button = new QPushButton(QStringLiteral("Accept"), this);
    button_layout->addWidget(d_cancel_button);
    button_layout->addWidget(d_accept_button);
    layout->addLayout(button_layout);

    // Only Accept reacts to Enter, wherever the focus is.
    d_cancel_button->setAutoDefault(false);
    d_accept_button->setAutoDefault(false);
    d_accept_button->setDefault(true);

    setWindowTitle(QStringLiteral("Options"));

    connect(d_accept_button, &QPushButton::clicked, this, &QDialog::accept);
    connect(d_cancel_button, &QPushButton::clicked, this, &QDialog::reject);
}

TOptionsDialog::~TOptionsDialog() = default;

Type::TOptions TOptionsDialog::Options() const
{
    Type::TOptions options;
    options.remove_deviations = d_align_check->isChecked();
    return options;
}

void TOptionsDialog::Reset(Type::TOptions options)
{
    d_align_check->setChecked(options.remove_deviations);
}
