#ifndef QUORVAL_SRC_QUORVAL_H
#define QUORVAL_SRC_QUORVAL_H

#include "src/types.h"

#include <QFont>
#include <QMainWindow>
#include <QString>

class QAction;
class QCloseEvent;
class QGridLayout;
class QSettings;
class TEntryWidget;
class TMessageBox;

// The main window: the two entry lists (set A left, set B right), the rows for the two graphs,
// actions, menus, tool bar, footer, the one shared message box and the settings file.
class TQuorval : public QMainWindow
{
    Q_OBJECT

public:
    explicit TQuorval(const QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TQuorval() override;

protected:
    // Asks before unsaved data is dropped; writes the settings only when the close goes ahead.
    void closeEvent(QCloseEvent *event) override;

private slots:
    void Update();
    void File_Load();
    void File_Save();
    void File_Export();
    void Edit_Options();
    void Help_About();

private:
    void Create_Settings();
    void Restore_Geometry();
    void Create_Actions();
    void Create_Layout();
    void Create_Menus();
    void Make_Connections();
    void Write_Settings();

    QAction *d_action_open;
    QAction *d_action_save;
    QAction *d_action_export;
    QAction *d_action_options;
    QAction *d_action_about;
    QAction *d_action_quit;

    TEntryWidget *d_entry_widget_a;
    TEntryWidget *d_entry_widget_b;

    // The central grid: rows 2 and 3 hold the deviation and En graphs.
    QGridLayout *d_central_layout;
    QFont d_footer_font;

    QSettings *d_settings;
    TMessageBox *d_message_box;

    Type::TOptions d_options;
    QString d_file_path;
    bool d_data_modified;
    QString d_last_error;
};

#endif
