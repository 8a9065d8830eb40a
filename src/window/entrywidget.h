#ifndef QUORVAL_SRC_WINDOW_ENTRYWIDGET_H
#define QUORVAL_SRC_WINDOW_ENTRYWIDGET_H

#include "src/compute/numbertext.h"
#include "src/compute/types.h"

#include <QFont>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QToolButton;
class QUndoStack;

// Builds and edits one data set: a list of entries, "+" and "-" buttons, three fields for the
// selected entry and an offset that shifts the whole set along the length axis. The entries live
// only in the list items (Qt::UserRole holds the Type::TEntryItem). Every change the user makes
// (add, remove, edit, offset, paste) is an undoable command on the widget's undo stack.
class TEntryWidget : public QWidget
{
    Q_OBJECT

    friend class TEntryListCommand;

public:
    explicit TEntryWidget(const QWidget *parent = nullptr,
                          Qt::WindowFlags flags = Qt::WindowFlags());
    ~TEntryWidget() override;

    // The offset as stored, to the last bit, while its field shows it; text typed into the field
    // and not yet finished counts as typed (text that is not a finite number reads as 0.0).
    double Entry_Offset() const;
    // Stores the offset, shows it with the decimals shown and emits Data_Changed.
    void Set_Entry_Offset(const double &offset);
    void Enable_Entry_Offset(bool enable);

    // Neither of these emits Data_Changed.
    void Clear_Entry_Items();
    void Add_Entry_Item(const Type::TEntryItem &item);
    void Add_Entry_Items(const std::vector<Type::TEntryItem> &items);

    // How many entries the list holds.
    int Entry_Count() const;
    // The list's entries as it holds them, in list order, the offset not added. Stores an edit
    // still open in one of the fields first, so a pending value is not lost.
    std::vector<Type::TEntryItem> List_Items() const;
    // All entries with the offset added to nominal and actual, sorted by actual; stores an open
    // edit first as List_Items does.
    std::vector<Type::TEntryItem> Entry_Items() const;

    // The list text of an entry: "%1, %2, %3", fields 10, 10 and 8 wide at 4 decimals (one
    // wider for each decimal more), C locale.
    static QString Display_Text(const Type::TEntryItem &item,
                                int decimals = NumberText::Least_Decimals);
    // The decimals of the list, the entry fields and the offset field (4 at first). The stored
    // values keep every digit: a field whose text the user has not changed never replaces them.
    void Set_Decimals(int decimals);
    int Decimals() const { return d_decimals; }

    // The most entries a list holds: the largest comparisons the program is made for, two sets of
    // a million entries. Each entry takes about 500 bytes in its list and as much again in the
    // comparison and its graphs: two full sets need about 1.6 GB (measured).
    static constexpr int Max_Entries = 1000000;
    // Whether memory has room for that many more entries in a list and the comparison: a probe
    // allocation of their size, made before any list changes (the list widget does not survive
    // running out of memory half-way).
    static bool Room_For(std::size_t entries);

    // The stack the user's changes go to (the window shares one between both lists); until one
    // is given the widget keeps its own. Not owned.
    void Set_Undo_Stack(QUndoStack *stack);
    QUndoStack *Undo_Stack() const { return d_undo_stack; }
    // Adds entries (list values) at the end as one undoable change and selects them; emits
    // Data_Changed once. False, with nothing changed, when memory has no room for them.
    bool Paste_Entries(const std::vector<Type::TEntryItem> &items);
    // The selected entries, or all when none is selected: list values in list order.
    std::vector<Type::TEntryItem> Selected_Items() const;

signals:
    void Data_Changed();

private slots:
    void Selection_Changed();
    void Entry_Changed();
    void Add_Entry();
    void Remove_Entry();

private:
    void Create_Children();
    void Create_Layout();
    void Make_Connections();
    // The changes the undo commands make, each followed by one Data_Changed. Rows are list rows;
    // select makes the changed rows the selection.
    // Rows ascending, each with the entry it holds after the insertion or before the removal.
    void Apply_Insert(const std::vector<std::pair<int, Type::TEntryItem>> &rows, bool select);
    void Apply_Remove(const std::vector<std::pair<int, Type::TEntryItem>> &rows);
    void Apply_Set(int row, const Type::TEntryItem &item, bool select);
    void Insert_Rows(int row, const std::vector<Type::TEntryItem> &items);
    // The offset field finished an edit.
    void Offset_Changed();

    // A value as the fields show it.
    QString Field_Text(const double &value) const;
    // Reads the three fields over *item; true when that changed a value.
    bool Read_Fields(Type::TEntryItem *item) const;
    // Stores the three fields in the first selected item and emits Data_Changed; false when no
    // item is selected.
    bool Store_Fields();
    // Stores what was typed into a field that still has the focus, when it changes the entry.
    void Store_Pending_Edit();

    QListWidget *d_entry_list;
    QToolButton *d_add_button;
    QToolButton *d_remove_button;
    QLabel *d_offset_label;
    QLineEdit *d_offset_edit;
    QLineEdit *d_nominal_edit;
    QLineEdit *d_actual_edit;
    QLineEdit *d_uc_edit;
    QFont d_item_font;
    // Set while Entry_Changed runs: the focus it moves ends the same edit a second time, which
    // must not store or signal again.
    bool d_entry_changing;
    // Set by Return or Enter in a field, just before that field's edit finishes: only such an
    // edit moves the focus on; one finished by focus loss leaves it where the user put it.
    bool d_return_pressed;
    // The row of the entry "+" added, while its fields are being typed: their edits join the
    // addition as one undo step. -1 once another row is selected or Uc is stored.
    int d_typing_row;
    QUndoStack *d_undo_stack;
    // The last committed offset: an edit that changes it is a command.
    double d_offset;
    int d_decimals;
};

#endif
