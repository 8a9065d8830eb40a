#ifndef QUORVAL_SRC_QUORVAL_H
#define QUORVAL_SRC_QUORVAL_H

#include "src/comparison.h"
#include "src/entrylists.h"
#include "src/types.h"

#include <QFont>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>

#include <vector>

class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QGridLayout;
class QSettings;
class TEntryWidget;
class TGraphWidget;
class TMessageBox;
class TOptionsDialog;

// The main window: the two entry lists (set A left, set B right), the deviation and En graphs of
// the comparison, actions, menus, tool bar, footer, the one shared message box and the settings
// file.
class TQuorval : public QMainWindow
{
    Q_OBJECT

public:
    // One report row per comparison position.
    using TExportData = TComparison::TExportData;

    explicit TQuorval(const QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TQuorval() override;

    // Data file and report. Each returns false with the reason in Last_Error() on failure.
    // Loading reads the whole file before it touches either entry list: a file that cannot be
    // read leaves both lists and both offsets as they were. A loaded file is shown with its
    // comparison and counts as unmodified.
    bool Load_Data(const QString &file_name);
    bool Save_Data(const QString &file_name);
    // Writes the report of the last comparison; an existing file is replaced only by a complete
    // new report.
    bool Export_Data(const QString &file_name);

    // The state the commands work on, read-only.
    bool Data_Modified() const { return d_data_modified; }
    const QString &Last_Error() const { return d_last_error; }
    const QString &File_Path() const { return d_file_path; }
    const Type::TOptions &Options() const { return d_options; }
    const TComparison &Comparison() const { return d_comparison; }
    const std::vector<double> &Graph_Positions() const { return d_comparison.Graph_Positions(); }
    const std::vector<TExportData> &Export_Rows() const { return d_comparison.Export_Rows(); }
    double Data_B_Dev_Offset() const { return d_comparison.Data_B_Dev_Offset(); }
    const TGraphWidget *Deviation_Graph() const { return d_deviation_graph; }
    const TGraphWidget *En_Graph() const { return d_en_graph; }

protected:
    // Asks before unsaved data is dropped; writes the settings only when the close goes ahead.
    void closeEvent(QCloseEvent *event) override;
    // Any drag offering a URL list is accepted while it hovers; a drop opens one data file.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void Update();
    // Either entry list or set B's offset changed: the data differs from the file now.
    void Entries_Changed();
    void File_New();
    void File_Load();
    void File_Save();
    void File_Export();
    void Edit_Options();
    void Help_About();

private:
    // The questions asked before unsaved data would be replaced or dropped.
    enum class TUnsaved_Question { Close, Open, New, Drop };

    void Create_Settings();
    void Restore_Geometry();
    void Create_Actions();
    void Create_Layout();
    void Create_Menus();
    void Make_Connections();
    void Write_Settings();
    // The lists as the entry widgets hold them now, and showing new lists (with their
    // comparison) as unmodified data.
    EntryLists::TLists Current_Lists() const;
    void Show_Lists(EntryLists::TLists lists);
    // The one writer of the modified flag.
    void Set_Data_Modified(bool modified);
    // Asks the question when the data is modified; true when the command may go ahead.
    bool Unsaved_Data_May_Go(TUnsaved_Question question);
    // Configures all six properties of the shared message box, runs it and returns the button.
    int Run_Message_Box(const QString &text, const QString &informative_text,
                        const QString &detailed_text, QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton default_button, QMessageBox::Icon icon);

    QAction *d_action_new;
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

    TGraphWidget *d_deviation_graph;
    TGraphWidget *d_en_graph;

    QSettings *d_settings;
    TMessageBox *d_message_box;
    TOptionsDialog *d_options_dialog; // created on first use, then reused

    Type::TOptions d_options;
    QString d_file_path;
    bool d_data_modified;
    QString d_last_error;

    // Kept across runs: its buffers are reused by every Update. Its results are the window's:
    // positions, rows and the B deviation offset of the last comparison.
    TComparison d_comparison;
};

#endif
