#include "src/entrywidget.h"

#include "src/entrylists.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QStringList>
#include <QToolButton>
#include <QVariant>

#include <cstring>

TEntryWidget::TEntryWidget(const QWidget *parent, Qt::WindowFlags flags)
    : QWidget(const_cast<QWidget *>(parent), flags), d_entry_changing(false),
      d_return_pressed(false)
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
    for (QLineEdit *edit : {d_nominal_edit, d_actual_edit, d_uc_edit}) {
        // Return comes just before the edit finishes, on the same key press.
        connect(edit, &QLineEdit::returnPressed, this, [this]() { d_return_pressed = true; });
        connect(edit, &QLineEdit::editingFinished, this, &TEntryWidget::Entry_Changed);
    }
    connect(d_entry_list, &QListWidget::itemSelectionChanged, this,
            &TEntryWidget::Selection_Changed);
    connect(d_add_button, &QToolButton::clicked, this, &TEntryWidget::Add_Entry);
    connect(d_remove_button, &QToolButton::clicked, this, &TEntryWidget::Remove_Entry);

    // Insert and Delete on the list work as "+" and "-".
    const auto Add_List_Key = [this](const QKeySequence &key, void (TEntryWidget::*slot)()) {
        QAction *action = new QAction(d_entry_list);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        d_entry_list->addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    Add_List_Key(QKeySequence(Qt::Key_Insert), &TEntryWidget::Add_Entry);
    Add_List_Key(QKeySequence(Qt::Key_Delete), &TEntryWidget::Remove_Entry);
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
    // As QString("%1, %2, %3").arg(...) of the three values, each fixed-point with 4 decimals in
    // the C locale, in fields of 10, 10 and 8; made directly, as a loaded file can hold 200,000.
    QByteArray text;
    text.reserve(40);
    EntryLists::Append_Fixed_Text(&text, item.nominal, 10);
    text += ", ";
    EntryLists::Append_Fixed_Text(&text, item.actual, 10);
    text += ", ";
    EntryLists::Append_Fixed_Text(&text, item.uc, 8);
    return QString::fromLatin1(text);
}

double TEntryWidget::Entry_Offset() const { return EntryLists::To_Number(d_offset_edit->text()); }

void TEntryWidget::Set_Entry_Offset(const double &offset)
{
    d_offset_edit->setText(EntryLists::Field_Text(offset));
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
        // Copies of one variant share its font rather than each holding one of its own.
        const QVariant font(d_item_font);
        for (std::size_t i = 0; i < items.size(); ++i) {
            QListWidgetItem *list_item = d_entry_list->item(first + static_cast<int>(i));
            list_item->setData(Qt::FontRole, font);
            list_item->setData(Qt::UserRole, QVariant::fromValue(items[i]));
        }
    }
    emit model->dataChanged(model->index(first, 0), model->index(d_entry_list->count() - 1, 0));
}

std::vector<Type::TEntryItem> TEntryWidget::List_Items() const
{
    // A command (Save by its shortcut, say) can read the entries while a typed value is not yet
    // finished. Storing it changes the widget's data, not what a caller can observe as its
    // state, hence the cast; the focus stays where the user put it.
    const_cast<TEntryWidget *>(this)->Store_Pending_Edit();

    std::vector<Type::TEntryItem> items;
    items.reserve(static_cast<std::size_t>(d_entry_list->count()));
    for (int row = 0; row < d_entry_list->count(); ++row)
        items.push_back(d_entry_list->item(row)->data(Qt::UserRole).value<Type::TEntryItem>());
    return items;
}

std::vector<Type::TEntryItem> TEntryWidget::Entry_Items() const
{
    return EntryLists::With_Offset(List_Items(), Entry_Offset());
}

void TEntryWidget::Selection_Changed()
{
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    d_remove_button->setEnabled(!selected.isEmpty());

    if (selected.size() == 1) {
        const Type::TEntryItem item =
            selected.first()->data(Qt::UserRole).value<Type::TEntryItem>();
        d_nominal_edit->setText(EntryLists::Field_Text(item.nominal));
        d_actual_edit->setText(EntryLists::Field_Text(item.actual));
        d_uc_edit->setText(EntryLists::Field_Text(item.uc));
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

bool TEntryWidget::Read_Fields(Type::TEntryItem *item) const
{
    // The fields show the entry rounded to 4 decimals; a field whose text still shows the stored
    // value keeps that value at full precision, only changed text is read back.
    bool changed = false;
    const auto read_back = [&changed](const QLineEdit *edit, double *value) {
        if (edit->text() == EntryLists::Field_Text(*value))
            return;
        const double typed = EntryLists::To_Number(edit->text());
        changed = changed || std::memcmp(&typed, value, sizeof typed) != 0;
        *value = typed;
    };
    read_back(d_nominal_edit, &item->nominal);
    read_back(d_actual_edit, &item->actual);
    read_back(d_uc_edit, &item->uc);
    return changed;
}

bool TEntryWidget::Store_Fields()
{
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    if (selected.isEmpty())
        return false;

    QListWidgetItem *list_item = selected.first();
    Type::TEntryItem item = list_item->data(Qt::UserRole).value<Type::TEntryItem>();
    Read_Fields(&item);
    list_item->setData(Qt::UserRole, QVariant::fromValue(item));
    list_item->setData(Qt::DisplayRole, Display_Text(item));

    emit Data_Changed();
    return true;
}

void TEntryWidget::Store_Pending_Edit()
{
    if (d_entry_changing)
        return;
    if (!d_nominal_edit->hasFocus() && !d_actual_edit->hasFocus() && !d_uc_edit->hasFocus())
        return;
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    if (selected.isEmpty())
        return;
    Type::TEntryItem item = selected.first()->data(Qt::UserRole).value<Type::TEntryItem>();
    if (!Read_Fields(&item))
        return;
    d_entry_changing = true;
    Store_Fields();
    d_entry_changing = false;
}

void TEntryWidget::Entry_Changed()
{
    const bool by_return = d_return_pressed;
    d_return_pressed = false;
    if (d_entry_changing)
        return;

    d_entry_changing = true;
    // Only Return or Enter moves the focus on, to the next field with its text selected so that
    // typing replaces it; an edit finished by focus loss leaves the focus where the user put it.
    if (Store_Fields() && by_return) {
        const QObject *source = sender();
        QLineEdit *next = source == d_nominal_edit  ? d_actual_edit
                          : source == d_actual_edit ? d_uc_edit
                                                    : nullptr;
        if (next != nullptr) {
            next->setFocus(Qt::OtherFocusReason);
            next->selectAll();
        } else if (source == d_uc_edit) {
            d_entry_list->setFocus(Qt::OtherFocusReason);
        }
    }
    d_entry_changing = false;
}

void TEntryWidget::Add_Entry()
{
    // A value typed but not finished belongs to the entry selected now, before the new one is.
    Store_Pending_Edit();
    const int n = d_entry_list->count() + 1;
    Type::TEntryItem item;
    item.nominal = 100.0 * n;
    item.actual = 100.0 * n;
    item.uc = 0.001 + n / 1000.0;
    Add_Entry_Item(item);
    emit Data_Changed();

    // The new entry alone is selected and in view, and its nominal field ready for typing: the
    // user types the three values with Return between them.
    QListWidgetItem *added = d_entry_list->item(d_entry_list->count() - 1);
    d_entry_list->setCurrentItem(added, QItemSelectionModel::ClearAndSelect);
    d_entry_list->scrollToItem(added);
    d_nominal_edit->setFocus(Qt::OtherFocusReason);
    d_nominal_edit->selectAll();
}

void TEntryWidget::Remove_Entry()
{
    Store_Pending_Edit();
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    for (QListWidgetItem *item : selected)
        delete d_entry_list->takeItem(d_entry_list->row(item));
    emit Data_Changed();
}
