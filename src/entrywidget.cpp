#include "src/entrywidget.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QStringList>
#include <QToolButton>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <utility>

TEntryWidget::TEntryWidget(const QWidget *parent, Qt::WindowFlags flags)
    : QWidget(const_cast<QWidget *>(parent), flags), d_entry_changing(false)
{
    qRegisterMetaType<Type::TEntryItem>("Type::TEntryItem");

    d_item_font = QApplication::font();
    d_item_font.setFamily("Courier New");
    d_item_font.setFixedPitch(true);
    // Where Courier New is not installed, fall back to some fixed-pitch family so the columns
    // still line up.
    d_item_font.setStyleHint(QFont::TypeWriter);

    d_entry_list = new QListWidget(this);
    d_entry_list->setObjectName("entry_list");
    d_entry_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Every row has the same font and fixed-width text: the list lays out 100,000 rows without
    // measuring each one.
    d_entry_list->setUniformItemSizes(true);

    d_add_button = new QToolButton(this);
    d_add_button->setObjectName("add_button");
    d_add_button->setText("+");
    d_add_button->setMinimumSize(20, 20);
    d_add_button->setMaximumSize(20, 20);

    d_remove_button = new QToolButton(this);
    d_remove_button->setObjectName("remove_button");
    d_remove_button->setText("-");
    d_remove_button->setMinimumSize(20, 20);
    d_remove_button->setMaximumSize(20, 20);
    d_remove_button->setEnabled(false);

    d_offset_label = new QLabel("Entry Offset:", this);
    d_offset_label->setObjectName("offset_label");
    d_offset_edit = new QLineEdit("0.0000", this);
    d_offset_edit->setObjectName("offset_edit");
    d_offset_edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    d_nominal_edit = new QLineEdit(this);
    d_nominal_edit->setObjectName("nominal_edit");
    d_actual_edit = new QLineEdit(this);
    d_actual_edit->setObjectName("actual_edit");
    d_uc_edit = new QLineEdit(this);
    d_uc_edit->setObjectName("uc_edit");
    for (QLineEdit *edit : {d_nominal_edit, d_actual_edit, d_uc_edit}) {
        edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        edit->setEnabled(false);
    }

    QGridLayout *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(d_entry_list, 0, 0, 1, 3);

    QHBoxLayout *buttons = new QHBoxLayout();
    buttons->addWidget(d_add_button);
    buttons->addWidget(d_remove_button);
    buttons->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    buttons->addWidget(d_offset_label);
    buttons->addWidget(d_offset_edit);
    buttons->addWidget(new QLabel("mm", this));
    grid->addLayout(buttons, 1, 0, 1, 3);

    grid->addWidget(new QLabel("Nominal:", this), 2, 0);
    grid->addWidget(d_nominal_edit, 2, 1);
    grid->addWidget(new QLabel("mm", this), 2, 2);
    grid->addWidget(new QLabel("Actual:", this), 3, 0);
    grid->addWidget(d_actual_edit, 3, 1);
    grid->addWidget(new QLabel("mm", this), 3, 2);
    grid->addWidget(new QLabel("Uc (k=2)", this), 4, 0);
    grid->addWidget(d_uc_edit, 4, 1);
    grid->addWidget(new QLabel("mm", this), 4, 2);

    setWindowTitle("Entry Widget");
    resize(280, 343);

    connect(d_offset_edit, &QLineEdit::editingFinished, this, &TEntryWidget::Data_Changed);
    connect(d_nominal_edit, &QLineEdit::editingFinished, this, &TEntryWidget::Entry_Changed);
    connect(d_actual_edit, &QLineEdit::editingFinished, this, &TEntryWidget::Entry_Changed);
    connect(d_uc_edit, &QLineEdit::editingFinished, this, &TEntryWidget::Entry_Changed);
    connect(d_entry_list, &QListWidget::itemSelectionChanged, this,
            &TEntryWidget::Selection_Changed);
    connect(d_add_button, &QToolButton::clicked, this, &TEntryWidget::Add_Entry);
    connect(d_remove_button, &QToolButton::clicked, this, &TEntryWidget::Remove_Entry);
}

TEntryWidget::~TEntryWidget()
{
    // QWidget deletes the children after this part of the object is gone; a field that has the
    // focus then finishes its edit, and that must not reach the slots or the signal of this class.
    for (QObject *child : children())
        disconnect(child, nullptr, this, nullptr);
}

QString TEntryWidget::Display_Text(const Type::TEntryItem &item)
{
    // QString::arg(double) formats in the C locale.
    return QString("%1, %2, %3")
        .arg(item.nominal, 10, 'f', 4, QChar(' '))
        .arg(item.actual, 10, 'f', 4, QChar(' '))
        .arg(item.uc, 8, 'f', 4, QChar(' '));
}

double TEntryWidget::Text_To_Value(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "inf", "nan" and overflowing exponents parse, but must never reach the comparison.
    if (!ok || !std::isfinite(value))
        return 0.0;
    return value;
}

QString TEntryWidget::Field_Text(double value) { return QString::number(value, 'f', 4); }

double TEntryWidget::Shown_Offset(const double &offset)
{
    return Text_To_Value(Field_Text(offset));
}

double TEntryWidget::Entry_Offset() const { return Text_To_Value(d_offset_edit->text()); }

void TEntryWidget::Set_Entry_Offset(const double &offset)
{
    d_offset_edit->setText(Field_Text(offset));
    emit Data_Changed();
}

void TEntryWidget::Enable_Entry_Offset(bool enable)
{
    d_offset_label->setEnabled(enable);
    d_offset_edit->setEnabled(enable);
}

void TEntryWidget::Clear_Entry_Items() { d_entry_list->clear(); }

void TEntryWidget::Add_Entry_Item(const Type::TEntryItem &item)
{
    QListWidgetItem *list_item = new QListWidgetItem();
    list_item->setData(Qt::FontRole, d_item_font);
    list_item->setData(Qt::DisplayRole, Display_Text(item));
    list_item->setData(Qt::UserRole, QVariant::fromValue(item));
    d_entry_list->addItem(list_item);
}

void TEntryWidget::Add_Entry_Items(const std::vector<Type::TEntryItem> &items)
{
    if (items.empty())
        return;
    // A file can hold 100,000 entries: the rows go in with one insertion, and their data is set
    // without a change signal per item; one signal for the whole range follows.
    QStringList texts;
    texts.reserve(static_cast<int>(items.size()));
    for (const Type::TEntryItem &item : items)
        texts.append(Display_Text(item));
    const int first = d_entry_list->count();
    d_entry_list->addItems(texts);
    QAbstractItemModel *model = d_entry_list->model();
    {
        const QSignalBlocker blocker(model);
        for (std::size_t i = 0; i < items.size(); ++i) {
            QListWidgetItem *list_item = d_entry_list->item(first + static_cast<int>(i));
            list_item->setData(Qt::FontRole, d_item_font);
            list_item->setData(Qt::UserRole, QVariant::fromValue(items[i]));
        }
    }
    emit model->dataChanged(model->index(first, 0), model->index(d_entry_list->count() - 1, 0));
}

std::vector<Type::TEntryItem> TEntryWidget::Entry_Items() const
{
    // Taking the focus ends an edit still open in a field, which stores it (Entry_Changed).
    d_entry_list->setFocus(Qt::ActiveWindowFocusReason);

    std::vector<Type::TEntryItem> items;
    items.reserve(static_cast<std::size_t>(d_entry_list->count()));
    for (int row = 0; row < d_entry_list->count(); ++row)
        items.push_back(d_entry_list->item(row)->data(Qt::UserRole).value<Type::TEntryItem>());
    return Items_With_Offset(std::move(items), Entry_Offset());
}

std::vector<Type::TEntryItem> TEntryWidget::Items_With_Offset(std::vector<Type::TEntryItem> items,
                                                              const double &offset)
{
    for (Type::TEntryItem &item : items) {
        item.nominal += offset;
        item.actual += offset;
    }
    std::sort(items.begin(), items.end(), TEntryItem_Sort());
    return items;
}

void TEntryWidget::Selection_Changed()
{
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    d_remove_button->setEnabled(!selected.isEmpty());

    if (selected.size() == 1) {
        const Type::TEntryItem item =
            selected.first()->data(Qt::UserRole).value<Type::TEntryItem>();
        d_nominal_edit->setText(Field_Text(item.nominal));
        d_actual_edit->setText(Field_Text(item.actual));
        d_uc_edit->setText(Field_Text(item.uc));
        d_nominal_edit->setEnabled(true);
        d_actual_edit->setEnabled(true);
        d_uc_edit->setEnabled(true);
    } else {
        for (QLineEdit *edit : {d_nominal_edit, d_actual_edit, d_uc_edit}) {
            edit->clear();
            edit->setEnabled(false);
        }
    }
}

void TEntryWidget::Entry_Changed()
{
    if (d_entry_changing)
        return;
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    if (selected.isEmpty())
        return;

    d_entry_changing = true;
    QListWidgetItem *list_item = selected.first();
    Type::TEntryItem item = list_item->data(Qt::UserRole).value<Type::TEntryItem>();
    // The fields show the entry rounded to 4 decimals; a field whose text still shows the stored
    // value keeps that value at full precision, only changed text is read back.
    const auto read_back = [](const QLineEdit *edit, double *value) {
        if (edit->text() != Field_Text(*value))
            *value = Text_To_Value(edit->text());
    };
    read_back(d_nominal_edit, &item.nominal);
    read_back(d_actual_edit, &item.actual);
    read_back(d_uc_edit, &item.uc);
    list_item->setData(Qt::UserRole, QVariant::fromValue(item));
    list_item->setData(Qt::DisplayRole, Display_Text(item));

    emit Data_Changed();

    const QObject *source = sender();
    if (source == d_nominal_edit)
        d_actual_edit->setFocus(Qt::OtherFocusReason);
    else if (source == d_actual_edit)
        d_uc_edit->setFocus(Qt::OtherFocusReason);
    else if (source == d_uc_edit)
        d_entry_list->setFocus(Qt::OtherFocusReason);
    d_entry_changing = false;
}

void TEntryWidget::Add_Entry()
{
    const int n = d_entry_list->count() + 1;
    Type::TEntryItem item;
    item.nominal = 100.0 * n;
    item.actual = 100.0 * n;
    item.uc = 0.001 + n / 1000.0;
    Add_Entry_Item(item);
    emit Data_Changed();
}

void TEntryWidget::Remove_Entry()
{
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    for (QListWidgetItem *item : selected)
        delete d_entry_list->takeItem(d_entry_list->row(item));
    emit Data_Changed();
}
