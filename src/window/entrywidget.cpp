#include "src/window/entrywidget.h"

#include "core/base/assertion.h"
#include "src/compute/entrylists.h"
#include "src/compute/numbertext.h"
#include "src/window/undocommand.h"

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
#include <QUndoStack>
#include <QVariant>

#include <QItemSelection>
#include <QPointer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

// The base of the entry list's undo commands: the widget's changes, reached through the widget
// while it exists.
class TEntryListCommand : public TUndoCommand
{
public:
    using TRows = std::vector<std::pair<int, Type::TEntryItem>>;

    TEntryListCommand(TEntryWidget *widget, const QString &text)
        : TUndoCommand(text), d_widget(widget)
    {
    }

protected:
    TEntryWidget *Widget() const { return d_widget; }
    void Insert(const TRows &rows, bool select)
    {
        if (d_widget)
            d_widget->Apply_Insert(rows, select);
    }
    void Remove(const TRows &rows)
    {
        if (d_widget)
            d_widget->Apply_Remove(rows);
    }
    void Set(int row, const Type::TEntryItem &item, bool select)
    {
        if (d_widget)
            d_widget->Apply_Set(row, item, select);
    }
    void Offset(const double &offset)
    {
        if (d_widget)
            d_widget->Set_Entry_Offset(offset);
    }

private:
    QPointer<TEntryWidget> d_widget;
};

namespace {

// The id under which the fields typed right after "+" join its Add Entry.
constexpr int Typed_Entry_Id = 1;

// One entry's values edited in the fields. The first redo is the edit itself, already on screen
// in the fields; later ones, and the undo, select the entry and show its values. An edit typed
// right after "+" (typed) merges into that command.
class TEdit_Command : public TEntryListCommand
{
public:
    TEdit_Command(TEntryWidget *widget, int row, const Type::TEntryItem &before,
                  const Type::TEntryItem &after, bool typed)
        : TEntryListCommand(widget, QStringLiteral("Edit Entry")), d_row(row), d_before(before),
          d_after(after), d_done(false), d_typed(typed)
    {
    }
    void Redo() override
    {
        Set(d_row, d_after, d_done);
        d_done = true;
    }
    void Undo() override { Set(d_row, d_before, true); }
    std::size_t Entries_Added(bool) const override { return 0; }
    int id() const override { return d_typed ? Typed_Entry_Id : -1; }

    TEntryWidget *Edited_Widget() const { return Widget(); }
    int Row() const { return d_row; }
    const Type::TEntryItem &After() const { return d_after; }

private:
    int d_row;
    Type::TEntryItem d_before;
    Type::TEntryItem d_after;
    bool d_done;
    bool d_typed;
};

// Entries put in at their rows ("+", paste); undone by taking them out again. The entry of "+"
// (typed) takes in the edits of its fields typed right after it: one step to undo.
class TInsert_Command : public TEntryListCommand
{
public:
    TInsert_Command(TEntryWidget *widget, TRows rows, const QString &text, bool typed = false)
        : TEntryListCommand(widget, text), d_rows(std::move(rows)), d_typed(typed)
    {
    }
    void Redo() override { Insert(d_rows, true); }
    void Undo() override { Remove(d_rows); }
    std::size_t Entries_Added(bool redo) const override { return redo ? d_rows.size() : 0; }
    int id() const override { return d_typed ? Typed_Entry_Id : -1; }
    bool mergeWith(const QUndoCommand *other) override
    {
        const TEdit_Command *edit = dynamic_cast<const TEdit_Command *>(other);
        if (edit == nullptr || edit->Edited_Widget() != Widget() || d_rows.size() != 1 ||
            edit->Row() != d_rows.front().first)
            return false;
        d_rows.front().second = edit->After();
        return true;
    }

private:
    TRows d_rows;
    bool d_typed;
};

// Entries taken out ("-", Delete); undone by putting them back where they were, selected.
class TRemove_Command : public TEntryListCommand
{
public:
    TRemove_Command(TEntryWidget *widget, TRows rows)
        : TEntryListCommand(widget, QStringLiteral("Remove Entries")), d_rows(std::move(rows))
    {
    }
    void Redo() override { Remove(d_rows); }
    void Undo() override { Insert(d_rows, true); }
    std::size_t Entries_Added(bool redo) const override { return redo ? 0 : d_rows.size(); }

private:
    TRows d_rows;
};

// The offset changed; undone by putting back the value it had, every bit of it.
class TOffset_Command : public TEntryListCommand
{
public:
    TOffset_Command(TEntryWidget *widget, double before, double after)
        : TEntryListCommand(widget, QStringLiteral("Change Offset")), d_before(before),
          d_after(after)
    {
    }
    void Redo() override { Offset(d_after); }
    void Undo() override { Offset(d_before); }
    std::size_t Entries_Added(bool) const override { return 0; }

private:
    double d_before;
    double d_after;
};

bool Same_Bits(const Type::TEntryItem &a, const Type::TEntryItem &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// What an entry takes in a list (measured: about 500 bytes) and in the comparison and graphs
// (about as much again), with room to spare.
constexpr std::size_t Bytes_Per_Entry = 1200;

// Called through a volatile pointer, so that the compiler keeps the probe's allocation.
void *(*volatile Allocate)(std::size_t) = std::malloc;

} // namespace

TEntryWidget::TEntryWidget(const QWidget *parent, Qt::WindowFlags flags)
    : QWidget(const_cast<QWidget *>(parent), flags), d_entry_changing(false),
      d_return_pressed(false), d_typing_row(-1), d_undo_stack(new QUndoStack(this)), d_offset(0.0),
      d_decimals(NumberText::Least_Decimals)
{
    qRegisterMetaType<Type::TEntryItem>("Type::TEntryItem");
    Create_Children();
    Create_Layout();
    setWindowTitle("Entry Widget");
    resize(280, 343);
    Make_Connections();
}

void TEntryWidget::Create_Children()
{
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
}

void TEntryWidget::Create_Layout()
{
    QGridLayout *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    // Rows close together: the lists and the graphs share a small screen's height.
    grid->setVerticalSpacing(3);
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
}

void TEntryWidget::Make_Connections()
{
    connect(d_offset_edit, &QLineEdit::editingFinished, this, &TEntryWidget::Offset_Changed);
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

QString TEntryWidget::Display_Text(const Type::TEntryItem &item, int decimals)
{
    // As QString("%1, %2, %3").arg(...) of the three values, each fixed-point in the C locale, in
    // fields of 10, 10 and 8 at four decimals; made directly, as a loaded file can hold 200,000.
    const int wider = decimals - NumberText::Least_Decimals;
    QString text;
    text.reserve(40 + 3 * wider);
    NumberText::Append_Fixed(&text, item.nominal, 10 + wider, decimals);
    text += QLatin1String(", ");
    NumberText::Append_Fixed(&text, item.actual, 10 + wider, decimals);
    text += QLatin1String(", ");
    NumberText::Append_Fixed(&text, item.uc, 8 + wider, decimals);
    return text;
}

QString TEntryWidget::Field_Text(const double &value) const
{
    return NumberText::Fixed(value, d_decimals);
}

double TEntryWidget::Entry_Offset() const
{
    const QString text = d_offset_edit->text();
    return text == Field_Text(d_offset) ? d_offset : EntryLists::To_Number(text);
}

void TEntryWidget::Set_Entry_Offset(const double &offset)
{
    d_offset = offset;
    d_offset_edit->setText(Field_Text(offset));
    emit Data_Changed();
}

void TEntryWidget::Set_Decimals(int decimals)
{
    QUORVAL_ASSERT(decimals >= NumberText::Least_Decimals);
    if (decimals == d_decimals)
        return;
    // A field that shows its value shows it anew; text the user typed stays as it is.
    struct TField
    {
        QLineEdit *edit;
        double value;
        bool shown;
    };
    std::vector<TField> fields = {{d_offset_edit, d_offset, false}};
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    if (selected.size() == 1) {
        const Type::TEntryItem item =
            selected.first()->data(Qt::UserRole).value<Type::TEntryItem>();
        fields.push_back({d_nominal_edit, item.nominal, false});
        fields.push_back({d_actual_edit, item.actual, false});
        fields.push_back({d_uc_edit, item.uc, false});
    }
    for (TField &field : fields)
        field.shown = field.edit->text() == Field_Text(field.value);
    d_decimals = decimals;
    for (const TField &field : fields)
        if (field.shown)
            field.edit->setText(Field_Text(field.value));

    const int count = d_entry_list->count();
    if (count == 0)
        return;
    QAbstractItemModel *model = d_entry_list->model();
    {
        const QSignalBlocker blocker(model);
        for (int row = 0; row < count; ++row) {
            QListWidgetItem *item = d_entry_list->item(row);
            item->setData(
                Qt::DisplayRole,
                Display_Text(item->data(Qt::UserRole).value<Type::TEntryItem>(), d_decimals));
        }
    }
    emit model->dataChanged(model->index(0, 0), model->index(count - 1, 0));
}

void TEntryWidget::Enable_Entry_Offset(bool enable)
{
    d_offset_label->setEnabled(enable);
    d_offset_edit->setEnabled(enable);
}

void TEntryWidget::Clear_Entry_Items() { d_entry_list->clear(); }

void TEntryWidget::Add_Entry_Item(const Type::TEntryItem &item)
{
    Insert_Rows(d_entry_list->count(), {item});
}

void TEntryWidget::Add_Entry_Items(const std::vector<Type::TEntryItem> &items)
{
    Insert_Rows(d_entry_list->count(), items);
}

void TEntryWidget::Insert_Rows(int row, const std::vector<Type::TEntryItem> &items)
{
    if (items.empty())
        return;
    // A file can hold 100,000 entries: the rows go in with one insertion, and their data is set
    // without a change signal per item; one signal for the whole range follows.
    QStringList texts;
    texts.reserve(static_cast<int>(items.size()));
    for (const Type::TEntryItem &item : items)
        texts.append(Display_Text(item, d_decimals));
    d_entry_list->insertItems(row, texts);
    QAbstractItemModel *model = d_entry_list->model();
    {
        const QSignalBlocker blocker(model);
        // Copies of one variant share its font rather than each holding one of its own.
        const QVariant font(d_item_font);
        for (std::size_t i = 0; i < items.size(); ++i) {
            QListWidgetItem *list_item = d_entry_list->item(row + static_cast<int>(i));
            list_item->setData(Qt::FontRole, font);
            list_item->setData(Qt::UserRole, QVariant::fromValue(items[i]));
        }
    }
    emit model->dataChanged(model->index(row, 0),
                            model->index(row + static_cast<int>(items.size()) - 1, 0));
}

int TEntryWidget::Entry_Count() const { return d_entry_list->count(); }

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
    if (selected.size() != 1 || d_entry_list->row(selected.first()) != d_typing_row)
        d_typing_row = -1;

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

bool TEntryWidget::Read_Fields(Type::TEntryItem *item) const
{
    // The fields show the entry rounded to 4 decimals; a field whose text still shows the stored
    // value keeps that value at full precision, only changed text is read back.
    bool changed = false;
    const auto read_back = [this, &changed](const QLineEdit *edit, double *value) {
        if (edit->text() == Field_Text(*value))
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
    // The fields show an entry only while exactly one is selected; otherwise they are empty, and
    // their text is not the user's. A command's change of the lists is no edit either.
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    if (selected.size() != 1 || TUndoCommand::Running())
        return false;

    QListWidgetItem *list_item = selected.first();
    const Type::TEntryItem before = list_item->data(Qt::UserRole).value<Type::TEntryItem>();
    Type::TEntryItem after = before;
    Read_Fields(&after);
    // An edit that changes nothing still counts as finished, but there is nothing to undo.
    if (Same_Bits(before, after)) {
        emit Data_Changed();
        return true;
    }
    const int row = d_entry_list->row(list_item);
    TUndoCommand::Push(d_undo_stack,
                       new TEdit_Command(this, row, before, after, row == d_typing_row));
    return true;
}

void TEntryWidget::Store_Pending_Edit()
{
    if (d_entry_changing)
        return;
    if (!d_nominal_edit->hasFocus() && !d_actual_edit->hasFocus() && !d_uc_edit->hasFocus())
        return;
    const QList<QListWidgetItem *> selected = d_entry_list->selectedItems();
    if (selected.size() != 1)
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
    // Uc is the last of the three values typed after "+"; a later edit is a step of its own.
    if (sender() == d_uc_edit)
        d_typing_row = -1;
    d_entry_changing = false;
}

bool TEntryWidget::Room_For(std::size_t entries)
{
    if (entries == 0)
        return true;
    if (entries > std::size_t(-1) / Bytes_Per_Entry)
        return false;
    void *probe = Allocate(entries * Bytes_Per_Entry);
    std::free(probe);
    return probe != nullptr;
}

void TEntryWidget::Add_Entry()
{
    if (d_entry_list->count() >= Max_Entries) {
        QApplication::beep();
        return;
    }
    // A value typed but not finished belongs to the entry selected now, before the new one is.
    Store_Pending_Edit();
    const int n = d_entry_list->count() + 1;
    Type::TEntryItem item;
    item.nominal = 100.0 * n;
    item.actual = 100.0 * n;
    item.uc = 0.001 + n / 1000.0;
    // The new entry alone is selected and in view, and its nominal field ready for typing: the
    // user types the three values with Return between them.
    const int row = d_entry_list->count();
    TUndoCommand::Push(d_undo_stack,
                       new TInsert_Command(this, {{row, item}}, QStringLiteral("Add Entry"), true));
    d_typing_row = row;
    d_nominal_edit->setFocus(Qt::OtherFocusReason);
    d_nominal_edit->selectAll();
}

void TEntryWidget::Remove_Entry()
{
    Store_Pending_Edit();
    std::vector<int> rows;
    for (const QListWidgetItem *item : d_entry_list->selectedItems())
        rows.push_back(d_entry_list->row(item));
    if (rows.empty()) {
        emit Data_Changed();
        return;
    }
    std::sort(rows.begin(), rows.end());
    TEntryListCommand::TRows removed;
    removed.reserve(rows.size());
    for (const int row : rows)
        removed.emplace_back(row,
                             d_entry_list->item(row)->data(Qt::UserRole).value<Type::TEntryItem>());
    TUndoCommand::Push(d_undo_stack, new TRemove_Command(this, std::move(removed)));
}

void TEntryWidget::Offset_Changed()
{
    if (TUndoCommand::Running())
        return;
    // The field shows the offset rounded; only text the user changed is read back.
    const double after = Entry_Offset();
    if (std::memcmp(&d_offset, &after, sizeof after) == 0) {
        emit Data_Changed();
        return;
    }
    TUndoCommand::Push(d_undo_stack, new TOffset_Command(this, d_offset, after));
}

void TEntryWidget::Set_Undo_Stack(QUndoStack *stack)
{
    QUORVAL_ASSERT(stack != nullptr);
    d_undo_stack = stack;
}

bool TEntryWidget::Paste_Entries(const std::vector<Type::TEntryItem> &items)
{
    if (items.empty())
        return true;
    Store_Pending_Edit();
    TEntryListCommand::TRows rows;
    rows.reserve(items.size());
    const int first = d_entry_list->count();
    for (std::size_t i = 0; i < items.size(); ++i)
        rows.emplace_back(first + static_cast<int>(i), items[i]);
    return TUndoCommand::Push(d_undo_stack,
                              new TInsert_Command(this, std::move(rows), QStringLiteral("Paste")));
}

std::vector<Type::TEntryItem> TEntryWidget::Selected_Items() const
{
    const std::vector<Type::TEntryItem> all = List_Items();
    std::vector<int> rows;
    for (const QListWidgetItem *item : d_entry_list->selectedItems())
        rows.push_back(d_entry_list->row(item));
    if (rows.empty())
        return all;
    std::sort(rows.begin(), rows.end());
    std::vector<Type::TEntryItem> items;
    items.reserve(rows.size());
    for (const int row : rows)
        items.push_back(all[static_cast<std::size_t>(row)]);
    return items;
}

// ---- The changes of the undo commands ----

void TEntryWidget::Apply_Insert(const TEntryListCommand::TRows &rows, bool select)
{
    // Rows ascending; each run of consecutive rows goes in with one insertion.
    QItemSelection selection;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i + 1;
        while (end < rows.size() && rows[end].first == rows[end - 1].first + 1)
            ++end;
        const int first = rows[i].first;
        if (first < 0 || first > d_entry_list->count())
            return; // the list was changed behind the commands' back
        std::vector<Type::TEntryItem> items;
        items.reserve(end - i);
        for (std::size_t k = i; k < end; ++k)
            items.push_back(rows[k].second);
        Insert_Rows(first, items);
        selection.select(
            d_entry_list->model()->index(first, 0),
            d_entry_list->model()->index(first + static_cast<int>(items.size()) - 1, 0));
        i = end;
    }
    if (select && !selection.isEmpty()) {
        d_entry_list->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        d_entry_list->selectionModel()->setCurrentIndex(selection.first().topLeft(),
                                                        QItemSelectionModel::NoUpdate);
        d_entry_list->scrollTo(selection.first().topLeft());
    }
    emit Data_Changed();
}

void TEntryWidget::Apply_Remove(const TEntryListCommand::TRows &rows)
{
    // From the last run to the first, so that the rows still ahead keep their numbers; a run of
    // consecutive rows goes out with one removal.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1].first == rows[begin].first - 1)
            --begin;
        const int first = rows[begin].first;
        const int count = static_cast<int>(end - begin);
        if (first >= 0 && first + count <= d_entry_list->count())
            d_entry_list->model()->removeRows(first, count);
        end = begin;
    }
    emit Data_Changed();
}

void TEntryWidget::Apply_Set(int row, const Type::TEntryItem &item, bool select)
{
    QListWidgetItem *list_item = d_entry_list->item(row);
    if (list_item == nullptr)
        return;
    list_item->setData(Qt::UserRole, QVariant::fromValue(item));
    list_item->setData(Qt::DisplayRole, Display_Text(item, d_decimals));
    if (select) {
        d_entry_list->setCurrentItem(list_item, QItemSelectionModel::ClearAndSelect);
        d_entry_list->scrollToItem(list_item);
        // The fields show the values now stored, also when the selection did not change.
        Selection_Changed();
    }
    emit Data_Changed();
}
