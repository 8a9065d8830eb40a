#ifndef QUORVAL_SRC_WINDOW_ENTRYWIDGET_H
#define QUORVAL_SRC_WINDOW_ENTRYWIDGET_H

#include "src/compute/comparisondocument.h"
#include "src/compute/types.h"

#include <QFont>
#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QToolButton;
class QUndoStack;
class TEntryModel;

// Shows and edits one set of a comparison document: a list of its entries, "+" and "-" buttons,
// three fields for the selected entry and set B's offset. Values are shown and typed in the
// set's own scale (set B's without its offset). Every change the user makes (add, remove, edit,
// offset, paste) is an undoable command on the document, pushed to the undo stack; the widget
// shows what the document holds and never keeps entries of its own.
class TEntryWidget : public QWidget
{
    Q_OBJECT

public:
    // Until Set_Document is called the widget shows set B of a document and undo stack of its own.
    explicit TEntryWidget(QWidget *parent = nullptr,
                          Qt::WindowFlags flags = Qt::WindowFlags());
    ~TEntryWidget() override;

    // The set of document shown, and the stack the user's changes go to (not owned).
    void Set_Document(TComparisonDocument *document, int set, QUndoStack *stack);
    TComparisonDocument *Document() const { return d_document; }
    QUndoStack *Undo_Stack() const { return d_undo_stack; }

    // The offset as stored, to the last bit, while its field shows it; text typed into the field
    // and not yet finished counts as typed (an empty field as 0.0, text that is not a number not
    // at all).
    double Entry_Offset() const;
    // Sets set B's offset without an undo step, the entries keeping the values shown.
    void Set_Entry_Offset(const double &offset);
    void Enable_Entry_Offset(bool enable);

    // Changes without an undo step, of values as shown: for loading and for tests.
    void Clear_Entry_Items();
    void Add_Entry_Item(const Type::TEntryItem &item);
    void Add_Entry_Items(const std::vector<Type::TEntryItem> &items);

    int Entry_Count() const;
    // The entries as the list shows them, in list order. Stores an edit still open in one of
    // the fields first, so a pending value is not lost.
    std::vector<Type::TEntryItem> List_Items();
    // The entries as stored (set B's offset added), sorted by actual; stores an open edit first.
    std::vector<Type::TEntryItem> Entry_Items();
    // The selected entries, or all when none is selected: values as shown, in list order.
    std::vector<Type::TEntryItem> Selected_Items() const;
    // Stores what was typed into a field that still has the focus, when it changes the entry:
    // before a command reads the data (Save by its shortcut, say).
    void Store_Pending_Edit();

    // The decimals of the list: 4 to 8, or TEntryModel::Automatic (at first) for those the set's
    // entries carry. The fields show every digit of their values; one whose text the user has not
    // changed never replaces them.
    void Set_Decimals(int decimals);
    // The decimals the list shows now.
    int Decimals() const;

    // Adds entries (values as shown) at the end as one undoable change and selects them. False,
    // with nothing changed, when memory has no room for them.
    bool Paste_Entries(const std::vector<Type::TEntryItem> &items);

signals:
    // After every change of this set or its offset, and after an edit that changed nothing.
    void Data_Changed();
    // A field's text was not stored because it is not a number; message says which and why.
    void Number_Refused(const QString &message);

private slots:
    void Selection_Changed();
    void Entry_Changed();
    void Add_Entry();
    void Remove_Entry();

private:
    void Create_Children();
    void Create_Layout();
    void Make_Connections();
    void Connect_Document();
    // A changed entry selected, in view and its values in the fields.
    void Show_Entry(int row);
    // The offset field shows the document's offset.
    void Show_Offset();
    // The offset field finished an edit.
    void Offset_Changed();
    // The one selected row, or -1.
    int Selected_Row() const;

    // A value as the fields show it.
    QString Field_Text(const double &value) const;
    // Reads a field: true with *value as typed, or as it was while the field shows it; false
    // for text that is not a number, *value untouched.
    bool Read_Field(const QLineEdit *edit, double *value) const;
    // Reads the three fields over *item (values as shown); true when that changed a value. A field
    // that is not a number leaves its value and goes to *refused.
    bool Read_Fields(Type::TEntryItem *item, std::vector<QLineEdit *> *refused) const;
    // Marks a field whose text was not stored (or clears the mark) and says so.
    void Mark_Refused(QLineEdit *edit, bool refused);
    // Stores the three fields in the selected entry; false when not exactly one is selected.
    bool Store_Fields();

    TComparisonDocument *d_document;
    int d_set;
    TEntryModel *d_model;
    QListView *d_entry_list;
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
    // Set while a typed edit is pushed: the fields show it already.
    bool d_storing;
    // The row of the entry "+" added, while its fields are being typed: their edits join the
    // addition as one undo step. -1 once another row is selected or Uc is stored.
    int d_typing_row;
    QUndoStack *d_undo_stack;
    int d_decimals;
};

#endif
