#ifndef QUORVAL_SRC_ENTRYWIDGET_H
#define QUORVAL_SRC_ENTRYWIDGET_H

#include "src/types.h"

#include <QFont>
#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QToolButton;

// Builds and edits one data set: a list of entries, "+" and "-" buttons, three fields for the
// selected entry and an offset that shifts the whole set along the length axis. The entries live
// only in the list items (Qt::UserRole holds the Type::TEntryItem).
class TEntryWidget : public QWidget
{
    Q_OBJECT

public:
    explicit TEntryWidget(const QWidget *parent = nullptr,
                          Qt::WindowFlags flags = Qt::WindowFlags());
    ~TEntryWidget() override;

    // The offset field's value; text that is not a finite number reads as 0.0.
    double Entry_Offset() const;
    // Shows the offset with 4 decimals and emits Data_Changed.
    void Set_Entry_Offset(const double &offset);
    void Enable_Entry_Offset(bool enable);

    // Neither of these emits Data_Changed.
    void Clear_Entry_Items();
    void Add_Entry_Item(const Type::TEntryItem &item);
    void Add_Entry_Items(const std::vector<Type::TEntryItem> &items);

    // All entries with the offset added to nominal and actual, sorted by actual. Finishes an edit
    // still open in one of the fields first, so a pending value is not lost.
    std::vector<Type::TEntryItem> Entry_Items() const;

    // What Entry_Offset returns after Set_Entry_Offset(offset): the offset shown with 4 decimals
    // and read back. Lets code without a widget feed the comparison exactly what the widget would.
    static double Shown_Offset(const double &offset);
    // Entries as Entry_Items returns them for list entries and an offset: the offset added to
    // nominal and actual, sorted by actual.
    static std::vector<Type::TEntryItem> Items_With_Offset(std::vector<Type::TEntryItem> items,
                                                           const double &offset);

    // The list text of an entry: "%1, %2, %3", fields 10, 10 and 8 wide, 4 decimals, C locale.
    static QString Display_Text(const Type::TEntryItem &item);
    // Reads a field as QString::toDouble does; anything but a finite number gives 0.0.
    static double Text_To_Value(const QString &text);

signals:
    void Data_Changed();

private slots:
    void Selection_Changed();
    void Entry_Changed();
    void Add_Entry();
    void Remove_Entry();

private:
    static QString Field_Text(double value);

    QListWidget *d_entry_list;
    QToolButton *d_add_button;
    QToolButton *d_remove_button;
    QLabel *d_offset_label;
    QLineEdit *d_offset_edit;
    QLineEdit *d_nominal_edit;
    QLineEdit *d_actual_edit;
    QLineEdit *d_uc_edit;
    QFont d_item_font;
    // Set while Entry_Changed runs: the focus it moves (or that an update triggered by its signal
    // moves) ends the same edit a second time, which must not store or signal again.
    bool d_entry_changing;
};

#endif
