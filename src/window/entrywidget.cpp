#include "src/window/entrywidget.h"

#include "core/base/assertion.h"
#include "src/compute/numbertext.h"
#include "src/window/documentcommands.h"
#include "src/window/entrymodel.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QSpacerItem>
#include <QToolButton>
#include <QUndoStack>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

bool Same_Bits(const double &a, const double &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool Same_Bits(const Type::TEntryItem &a, const Type::TEntryItem &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The rows of a selection, ascending.
std::vector<int> Rows_Of(const QItemSelection &selection)
{
    std::vector<int> rows;
    for (const QItemSelectionRange &range : selection)
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace

TEntryWidget::TEntryWidget(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), d_document(new TComparisonDocument(this)),
      d_set(TComparisonDocument::SET_B), d_model(nullptr), d_entry_changing(false),
      d_return_pressed(false), d_storing(false), d_typing_row(-1),
      d_undo_stack(new QUndoStack(this)), d_decimals(TEntryModel::Automatic)
{
    Create_Children();
    Create_Layout();
    setWindowTitle("Entry Widget");
    resize(280, 343);
    Make_Connections();
    Set_Document(d_document, d_set, d_undo_stack);
}

void TEntryWidget::Create_Children()
{
    d_item_font = QApplication::font();
    d_item_font.setFamily("Courier New");
    d_item_font.setFixedPitch(true);
    // Where Courier New is not installed, fall back to some fixed-pitch family so the columns
    // still line up.
    d_item_font.setStyleHint(QFont::TypeWriter);

    d_entry_list = new QListView(this);
    d_entry_list->setObjectName("entry_list");
    d_entry_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    d_entry_list->setFont(d_item_font);
    // Every row has the same font and fixed-width text: the list lays out millions of rows
    // without measuring each one.
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
    d_offset_edit = new QLineEdit(this);
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
    // A refused field keeps its mark until its text changes.
    for (QLineEdit *edit : {d_offset_edit, d_nominal_edit, d_actual_edit, d_uc_edit})
        connect(edit, &QLineEdit::textChanged, this, [this, edit]() { Mark_Refused(edit, false); });
    for (QLineEdit *edit : {d_nominal_edit, d_actual_edit, d_uc_edit}) {
        // Return comes just before the edit finishes, on the same key press.
        connect(edit, &QLineEdit::returnPressed, this, [this]() { d_return_pressed = true; });
        connect(edit, &QLineEdit::editingFinished, this, &TEntryWidget::Entry_Changed);
    }
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
    disconnect(d_document, nullptr, this, nullptr);
}

void TEntryWidget::Set_Document(TComparisonDocument *document, int set, QUndoStack *stack)
{
    QUORVAL_ASSERT(document != nullptr && stack != nullptr);
    disconnect(d_document, nullptr, this, nullptr);
    if (d_document != document && d_document->parent() == this)
        d_document->deleteLater();
    d_document = document;
    d_set = set;
    d_undo_stack = stack;
    TEntryModel *old_model = d_model;
    d_model = new TEntryModel(document, set, this);
    d_model->Set_Decimals(d_decimals);
    d_entry_list->setModel(d_model);
    delete old_model;
    connect(d_entry_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TEntryWidget::Selection_Changed);
    Connect_Document();
    Show_Offset();
    Selection_Changed();
}

void TEntryWidget::Connect_Document()
{
    // The document's changes shown. Rows a command inserted are selected once the whole change
    // is made: the runs of an undone removal are selected together.
    auto inserted = std::make_shared<std::vector<std::pair<int, int>>>();
    connect(d_document, &TComparisonDocument::Entries_Inserted, this,
            [this, inserted](int set, int first, int last) {
                if (set == d_set && TDocumentCommand::Running())
                    inserted->emplace_back(first, last);
            });
    connect(d_document, &TComparisonDocument::Entries_Removed, this, [this](int set) {
        if (set == d_set)
            Selection_Changed();
    });
    connect(d_document, &TComparisonDocument::Entry_Changed, this, [this](int set, int row) {
        if (set == d_set && !d_storing)
            Show_Entry(row);
    });
    connect(d_document, &TComparisonDocument::Set_Reset, this, [this](int set) {
        if (set != d_set)
            return;
        // A reset model drops its selection without a word.
        d_typing_row = -1;
        Selection_Changed();
        Show_Offset();
    });
    connect(d_document, &TComparisonDocument::Data_Changed, this, [this, inserted]() {
        if (!inserted->empty()) {
            QItemSelection selection;
            for (const auto &[first, last] : *inserted)
                selection.select(d_model->index(first), d_model->index(last));
            inserted->clear();
            d_entry_list->selectionModel()->select(selection,
                                                   QItemSelectionModel::ClearAndSelect);
            d_entry_list->selectionModel()->setCurrentIndex(selection.first().topLeft(),
                                                            QItemSelectionModel::NoUpdate);
            d_entry_list->scrollTo(selection.first().topLeft());
        }
        emit Data_Changed();
    });
}

QString TEntryWidget::Field_Text(const double &value) const
{
    // Every digit: an edit of one digit keeps all the others. A zero shows no sign; its untouched
    // text still keeps the value's.
    return NumberText::Shortest_Fixed(value == 0.0 ? 0.0 : value, NumberText::Least_Decimals);
}

bool TEntryWidget::Read_Field(const QLineEdit *edit, double *value) const
{
    const QString text = edit->text();
    if (text == Field_Text(*value))
        return true;
    if (text.trimmed().isEmpty()) {
        *value = 0.0;
        return true;
    }
    return NumberText::Read_Typed(text, value);
}

void TEntryWidget::Mark_Refused(QLineEdit *edit, bool refused)
{
    if (edit->property("refused").toBool() == refused)
        return;
    edit->setProperty("refused", refused);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, refused ? QColor(255, 214, 214)
                                             : QApplication::palette(edit).color(QPalette::Base));
    edit->setPalette(palette);
    edit->setToolTip(refused ? QStringLiteral("Not a number: not stored") : QString());
}

double TEntryWidget::Entry_Offset() const
{
    double offset = d_document->Offset_Of(d_set);
    Read_Field(d_offset_edit, &offset);
    return offset;
}

void TEntryWidget::Show_Offset()
{
    d_offset_edit->setText(Field_Text(d_document->Offset_Of(d_set)));
}

void TEntryWidget::Set_Entry_Offset(const double &offset)
{
    QUORVAL_ASSERT(d_set == TComparisonDocument::SET_B);
    d_document->Restore(d_document->With_Offset_B(offset));
}

void TEntryWidget::Set_Decimals(int decimals)
{
    d_decimals = decimals;
    d_model->Set_Decimals(decimals);
}

int TEntryWidget::Decimals() const { return d_model->Decimals(); }

void TEntryWidget::Enable_Entry_Offset(bool enable)
{
    d_offset_label->setEnabled(enable);
    d_offset_edit->setEnabled(enable);
}

void TEntryWidget::Clear_Entry_Items() { d_document->Restore(d_document->With_Entries(d_set, {})); }

void TEntryWidget::Add_Entry_Item(const Type::TEntryItem &item) { Add_Entry_Items({item}); }

void TEntryWidget::Add_Entry_Items(const std::vector<Type::TEntryItem> &items)
{
    TComparisonDocument::TRows rows;
    rows.reserve(items.size());
    const int first = Entry_Count();
    for (std::size_t i = 0; i < items.size(); ++i)
        rows.emplace_back(first + static_cast<int>(i), d_document->Stored_Entry(d_set, items[i]));
    d_document->Insert_Entries(d_set, rows);
}

int TEntryWidget::Entry_Count() const { return static_cast<int>(d_document->Count(d_set)); }

std::vector<Type::TEntryItem> TEntryWidget::List_Items()
{
    Store_Pending_Edit();
    return d_document->Shown_Entries(d_set);
}

std::vector<Type::TEntryItem> TEntryWidget::Entry_Items()
{
    Store_Pending_Edit();
    TComparisonDocument::TEntries sorted;
    return d_document->Sorted_Entries(d_set, &sorted);
}

int TEntryWidget::Selected_Row() const
{
    const QItemSelection selection = d_entry_list->selectionModel()->selection();
    int rows = 0;
    for (const QItemSelectionRange &range : selection)
        rows += range.height();
    return rows == 1 ? selection.first().top() : -1;
}

void TEntryWidget::Selection_Changed()
{
    d_remove_button->setEnabled(d_entry_list->selectionModel()->hasSelection());
    const int row = Selected_Row();
    if (row != d_typing_row)
        d_typing_row = -1;

    if (row >= 0) {
        const Type::TEntryItem item = d_document->Shown_Entry(d_set, static_cast<std::size_t>(row));
        d_nominal_edit->setText(Field_Text(item.nominal));
        d_actual_edit->setText(Field_Text(item.actual));
        d_uc_edit->setText(Field_Text(item.uc));
        for (QLineEdit *edit : {d_nominal_edit, d_actual_edit, d_uc_edit})
            edit->setEnabled(true);
    } else {
        for (QLineEdit *edit : {d_nominal_edit, d_actual_edit, d_uc_edit}) {
            edit->clear();
            edit->setEnabled(false);
        }
    }
}

void TEntryWidget::Show_Entry(int row)
{
    const QModelIndex index = d_model->index(row);
    d_entry_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    d_entry_list->scrollTo(index);
    // The fields show the values now stored, also when the selection did not change.
    Selection_Changed();
}

bool TEntryWidget::Read_Fields(Type::TEntryItem *item, std::vector<QLineEdit *> *refused) const
{
    bool changed = false;
    const auto read_back = [&](QLineEdit *edit, double *value) {
        double typed = *value;
        if (!Read_Field(edit, &typed)) {
            refused->push_back(edit);
            return;
        }
        changed = changed || !Same_Bits(typed, *value);
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
    // their text is not the user's. A command's change of the data is no edit either.
    const int row = Selected_Row();
    if (row < 0 || TDocumentCommand::Running())
        return false;

    const Type::TEntryItem shown = d_document->Shown_Entry(d_set, static_cast<std::size_t>(row));
    Type::TEntryItem typed = shown;
    std::vector<QLineEdit *> refused;
    Read_Fields(&typed, &refused);
    // Text that is not a number is no value: nothing is stored, and the field says so.
    if (!refused.empty()) {
        const auto Name = [this](const QLineEdit *edit) {
            return edit == d_nominal_edit  ? QStringLiteral("Nominal")
                   : edit == d_actual_edit ? QStringLiteral("Actual")
                                           : QStringLiteral("Uc (k=2)");
        };
        for (QLineEdit *edit : refused)
            Mark_Refused(edit, true);
        emit Number_Refused(QStringLiteral("Not a number: \"%1\" in %2 of set %3; the entry keeps "
                                           "its value")
                                .arg(NumberText::Excerpt(refused.front()->text().trimmed(), 40),
                                     Name(refused.front()),
                                     d_set == TComparisonDocument::SET_A ? "A" : "B"));
        return false;
    }
    // An edit that changes nothing still counts as finished, but there is nothing to undo.
    if (Same_Bits(shown, typed)) {
        emit Data_Changed();
        return true;
    }
    // Only the values typed become new stored ones; the others keep every bit they have.
    const Type::TEntryItem before = d_document->Entries(d_set)[static_cast<std::size_t>(row)];
    const Type::TEntryItem converted = d_document->Stored_Entry(d_set, typed);
    Type::TEntryItem after = before;
    if (!Same_Bits(typed.nominal, shown.nominal))
        after.nominal = converted.nominal;
    if (!Same_Bits(typed.actual, shown.actual))
        after.actual = converted.actual;
    if (!Same_Bits(typed.uc, shown.uc))
        after.uc = converted.uc;
    // The fields already show what was typed: the change is not shown back into them.
    d_storing = true;
    TDocumentCommand::Push(d_undo_stack, new TEditEntryCommand(d_document, d_set, row, before,
                                                               after, row == d_typing_row));
    d_storing = false;
    return true;
}

void TEntryWidget::Store_Pending_Edit()
{
    // An offset typed and not yet finished counts as typed.
    if (d_set == TComparisonDocument::SET_B &&
        d_offset_edit->text() != Field_Text(d_document->Offset_B()))
        Offset_Changed();
    if (d_entry_changing)
        return;
    if (!d_nominal_edit->hasFocus() && !d_actual_edit->hasFocus() && !d_uc_edit->hasFocus())
        return;
    const int row = Selected_Row();
    if (row < 0)
        return;
    Type::TEntryItem item = d_document->Shown_Entry(d_set, static_cast<std::size_t>(row));
    std::vector<QLineEdit *> refused;
    if (!Read_Fields(&item, &refused) && refused.empty())
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

void TEntryWidget::Add_Entry()
{
    if (d_document->Count(d_set) >= TComparisonDocument::Max_Entries) {
        QApplication::beep();
        return;
    }
    // A value typed but not finished belongs to the entry selected now, before the new one is.
    Store_Pending_Edit();
    const int row = Entry_Count();
    const int n = row + 1;
    Type::TEntryItem item;
    item.nominal = 100.0 * n;
    item.actual = 100.0 * n;
    item.uc = 0.001 + n / 1000.0;
    // The new entry alone is selected and in view, and its nominal field ready for typing: the
    // user types the three values with Return between them.
    TDocumentCommand::Push(d_undo_stack,
                           new TInsertEntriesCommand(d_document, d_set,
                                                     {{row, d_document->Stored_Entry(d_set, item)}},
                                                     QStringLiteral("Add Entry"), true));
    d_typing_row = row;
    d_nominal_edit->setFocus(Qt::OtherFocusReason);
    d_nominal_edit->selectAll();
}

void TEntryWidget::Remove_Entry()
{
    Store_Pending_Edit();
    const std::vector<int> rows = Rows_Of(d_entry_list->selectionModel()->selection());
    if (rows.empty()) {
        emit Data_Changed();
        return;
    }
    TComparisonDocument::TRows removed;
    removed.reserve(rows.size());
    for (const int row : rows)
        removed.emplace_back(row, d_document->Entries(d_set)[static_cast<std::size_t>(row)]);
    TDocumentCommand::Push(d_undo_stack,
                           new TRemoveEntriesCommand(d_document, d_set, std::move(removed)));
}

void TEntryWidget::Offset_Changed()
{
    if (TDocumentCommand::Running() || d_set != TComparisonDocument::SET_B)
        return;
    // Only text the user changed is read back.
    const double before = d_document->Offset_B();
    double after = before;
    if (!Read_Field(d_offset_edit, &after)) {
        Mark_Refused(d_offset_edit, true);
        emit Number_Refused(
            QStringLiteral("Not a number: \"%1\" as set B's offset; the offset "
                           "stays %2 mm")
                .arg(NumberText::Excerpt(d_offset_edit->text().trimmed(), 40), Field_Text(before)));
        return;
    }
    if (Same_Bits(before, after)) {
        emit Data_Changed();
        return;
    }
    try {
        // Every entry of the set moves: a set of millions takes seconds.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const struct TRestore
        {
            ~TRestore() { QApplication::restoreOverrideCursor(); }
        } restore;
        TDocumentCommand::Push(d_undo_stack,
                               new TStateCommand(d_document, QStringLiteral("Change Offset"),
                                                 d_document->State(),
                                                 d_document->With_Offset_B(after)));
    } catch (const std::bad_alloc &) {
        // No room for the moved entries: the offset stays as it was.
        QApplication::beep();
        Show_Offset();
    }
}

bool TEntryWidget::Paste_Entries(const std::vector<Type::TEntryItem> &items)
{
    if (items.empty())
        return true;
    Store_Pending_Edit();
    TComparisonDocument::TRows rows;
    rows.reserve(items.size());
    const int first = Entry_Count();
    for (std::size_t i = 0; i < items.size(); ++i)
        rows.emplace_back(first + static_cast<int>(i), d_document->Stored_Entry(d_set, items[i]));
    return TDocumentCommand::Push(d_undo_stack, new TInsertEntriesCommand(d_document, d_set,
                                                                          std::move(rows),
                                                                          QStringLiteral("Paste")));
}

std::vector<Type::TEntryItem> TEntryWidget::Selected_Items() const
{
    const std::vector<int> rows = Rows_Of(d_entry_list->selectionModel()->selection());
    if (rows.empty())
        return d_document->Shown_Entries(d_set);
    std::vector<Type::TEntryItem> items;
    items.reserve(rows.size());
    for (const int row : rows)
        items.push_back(d_document->Shown_Entry(d_set, static_cast<std::size_t>(row)));
    return items;
}
