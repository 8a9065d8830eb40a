#ifndef QUORVAL_SRC_WINDOW_QUORVAL_H
#define QUORVAL_SRC_WINDOW_QUORVAL_H

#include "src/compute/comparison.h"
#include "src/compute/comparisondocument.h"
#include "src/compute/datafile.h"
#include "src/compute/entrytext.h"
#include "src/compute/progress.h"
#include "src/compute/types.h"
#include "src/documents/comparisongraphs.h"
#include "src/documents/record.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QAction;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QPageLayout;
class QPrinter;
class QSettings;
class QSplitter;
class QUndoStack;
class TEntryWidget;
class TGraphWidget;
class TLegendRow;
class TMessageBox;
class TDetailsDialog;
class TOptionsDialog;
class TSetHeading;

// The main window: the two entry lists (set A left, set B right), the deviation and En graphs of
// the comparison, actions, menus, tool bar, footer, the one shared message box and the settings
// file.
class TQuorval : public QMainWindow
{
    Q_OBJECT

public:
    // One report row per comparison position.
    using TExportData = TComparison::TExportData;

    explicit TQuorval(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TQuorval() override;

    // Data file and report. Each returns false with the reason in Last_Error() on failure.
    // Loading reads the whole file before it touches the document: a file that cannot be read
    // leaves the data as it was. A loaded file is shown with its comparison, compared with the
    // settings it carries (the defaults where it has none), and counts as unmodified.
    //
    // The functions that can take long report to progress (see Progress); when it stops them
    // they fail and leave the data and every file as they were.
    bool Load_Data(const QString &file_name,
                   const Progress::TReport &progress = Progress::TReport());
    bool Save_Data(const QString &file_name);
    // Opens a data file as File > Open does once the file is chosen (a file given on the command
    // line): its folder becomes the file dialogs' folder, a failed load shows Open's error box.
    void Open_Data_File(const QString &file_name);
    // Replaces the entries of set A or B by those of a text file (see EntryText::Parse), as one
    // change that Undo takes back. On failure nothing changes and Last_Error() says why.
    bool Import_Data(const QString &file_name, bool set_b,
                     const Progress::TReport &progress = Progress::TReport());
    // Draws both graphs of the last comparison into a PNG, PDF or SVG file (by its extension), as
    // the report tool's plot does; an existing file is replaced only by a complete new one.
    bool Export_Graphs(const QString &file_name,
                       const Progress::TReport &progress = Progress::TReport());
    // Writes the report of the last comparison; an existing file is replaced only by a complete
    // new report.
    bool Export_Data(const QString &file_name);
    // The record of the last comparison (see Record): into a PDF file, which is replaced only by a
    // complete new one, or on a printer the print dialog set up.
    // Printing into a file (the print dialog's choice) writes the PDF as Export_Record does, on
    // the page the dialog set up.
    bool Export_Record(const QString &file_name, const QPageLayout *layout = nullptr,
                       const Progress::TReport &progress = Progress::TReport());
    bool Print_Record(QPrinter *printer, const Progress::TReport &progress = Progress::TReport());

    // The comparison the window shows and edits.
    const TComparisonDocument *Document() const { return d_document; }
    // The state the commands work on, read-only.
    bool Data_Modified() const { return d_document->Modified(); }
    const QString &Last_Error() const { return d_last_error; }
    const QString &File_Path() const { return d_file_path; }
    // File > Open Recent: the files last opened or saved, newest first.
    const QStringList &Recent_Files() const { return d_recent_files; }
    static constexpr int Most_Recent_Files = 8;
    // The file last opened or saved, for the record's heading; empty after New.
    const QString &Data_File_Name() const { return d_document->File_Name(); }
    // The comparison's settings (kept with the data) and the decimals the lists and fields show.
    const Type::TOptions &Options() const { return d_document->Options(); }
    // The settings File > New starts with: the last ones chosen in Options.
    const Type::TOptions &New_Options() const { return d_new_options; }
    // Who and what the comparison is about (File > Comparison Details), kept with the data.
    const Type::TDetails &Details() const { return d_document->Details(); }
    int Decimals_Shown() const { return d_decimals_shown; }
    const TComparison &Comparison() const { return d_comparison; }
    const std::vector<double> &Graph_Positions() const { return d_comparison.Graph_Positions(); }
    const std::vector<TExportData> &Export_Rows() const { return d_comparison.Export_Rows(); }
    double Data_B_Dev_Offset() const { return d_comparison.Data_B_Dev_Offset(); }
    const TGraphWidget *Deviation_Graph() const { return d_deviation_graph; }
    const TGraphWidget *En_Graph() const { return d_en_graph; }
    // The legend above the graphs.
    const TLegendRow *Legend_Row() const { return d_legend_row; }
    // The verdict at a glance in the status line.
    QString Status_Text() const;
    // Changes the comparison's settings as Options does once accepted: one undo step, and those
    // of the next New comparison.
    void Change_Options(const Type::TOptions &options);
    // Shows the comparison's descriptions of the sets in the headings of their lists ("Set A
    // \u2014 description"); an empty one shows the name alone.
    void Show_Details();
    // The history of changes to the document, shared by both lists.
    QUndoStack *Undo_Stack() const { return d_undo_stack; }

protected:
    // Asks before unsaved data is dropped; writes the settings only when the close goes ahead.
    void closeEvent(QCloseEvent *event) override;
    // Any drag offering a URL list is accepted while it hovers; a drop opens one data file.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void Update();
    void File_New();
    void File_Load();
    void File_Import_A();
    void File_Import_B();
    void Edit_Copy();
    void Edit_Paste();
    void File_Export_Graphs();
    void File_Export_Record();
    void File_Print();
    void View_Fit_To_Data();
    void File_Save();
    void File_Export();
    void Edit_Options();
    void Edit_Details();
    void Help_About();

private:
    // The questions asked before unsaved data would be replaced or dropped.
    enum class TUnsaved_Question { Close, Open, New, Drop };

    void Create_Settings();
    void Restore_Geometry();
    void Create_Actions();
    void Create_Layout();
    void Create_Entry_Area(QSplitter *parent);
    void Create_Tool_Bar();
    void Create_Graph_Area(QSplitter *parent);
    void Create_Menus();
    void Make_Connections();
    void Write_Settings();
    // Values typed into a field and not yet finished, stored before a command reads the data.
    void Store_Pending_Edits();
    // A change of the document's state as one undo step; false when memory had no room for it.
    bool Push_State(const QString &text, const TComparisonDocument::TSnapshot &after);
    // After a change of the details: the headings, the legend and what there is to save.
    void Details_Changed();
    void File_Import(bool set_b);
    void Fit_Graphs();
    // The name with the extension added where it lacks it; empty when that names an existing file
    // the user would not have replaced (the file dialog asked about the name as typed only).
    QString With_Extension(const QString &file_name, const QString &extension);
    Record::THeading Record_Heading() const;
    // What the legends of the graphs say about the sets: the alignment in use and the sets'
    // descriptions.
    ComparisonGraphs::TLegendTexts Legend_Texts() const;
    QWidget *Create_Legend_Row(QWidget *parent);
    // Says in the status line that a file was written, and whether in place rather than
    // replaced; or what else was done (until the next change).
    void Note_Written(const QString &file_name, bool in_place);
    void Note_Done(const QString &what);
    // Opens a data file with the busy cursor and progress; false when the user cancelled, and
    // when it failed (the reason in d_last_error).
    bool Open_With_Progress(const QString &file_name, bool *cancelled);
    // Writes a document the program made (graphs, record); the reason of a failure goes to
    // d_last_error.
    bool Write_Document(const QString &file_name, const QByteArray &data);
    static QString Write_Error(const QString &file_name, const QString &reason);
    // progress, and *stopped set when it says stop.
    static Progress::TReport Watched(const Progress::TReport &progress, bool *stopped);
    // A comparison computed and drawn before the document takes the data it was computed from.
    struct TStaged
    {
        TComparison comparison;
        bool compared = false;
        ComparisonGraphs::TScenes scenes;
    };
    // Compares and draws the content of a file as the document will hold it, reporting each
    // step; false when progress said stop.
    static bool Stage_Comparison(const DataFile::TContent &content,
                                 const Progress::TReport &progress, TStaged *staged);
    // File > Open Recent: a file opened or saved goes first; the menu shows the list; a file
    // gone is taken off the list with a note in the status line.
    void Remember_Recent(const QString &file_name);
    void Fill_Recent_Menu();
    void Open_Recent(const QString &file_name);
    // The error box of a command: its fixed sentences, then the reason (d_last_error) as a user
    // reads it, without the markers the file functions put before it.
    void Show_Error(const QString &text, const QString &informative_text);
    static QString Readable_Reason(const QString &reason);
    // Says which lines of refused entry text are bad, and why, one line each.
    static QString Refusal_Text(const QString &what_happened, const EntryText::TParsed &parsed);
    // Why sets of these sizes cannot be shown when added entries come into them: a set beyond
    // the entry limit, or no room in memory for the added ones; empty when they can.
    static QString Entries_Refusal(std::size_t entries_a, std::size_t entries_b, std::size_t added);
    static QString Out_Of_Memory_Text();
    bool Import_Entries(const QString &file_name, const QString &shown_name, bool set_b,
                        const Progress::TReport &progress);
    // Undo or Redo; one that memory has no room for changes nothing and clears the history.
    void Undo_Or_Redo(bool undo);
    // Asks the question when the data is modified; true when the command may go ahead.
    bool Unsaved_Data_May_Go(TUnsaved_Question question);
    // Configures all six properties of the shared message box, runs it and returns the button.
    int Run_Message_Box(const QString &text, const QString &informative_text,
                        const QString &detailed_text, QMessageBox::StandardButtons buttons,
                        QMessageBox::StandardButton default_button, QMessageBox::Icon icon);

    QAction *d_action_new;
    QAction *d_action_export_graphs;
    QAction *d_action_export_record;
    QAction *d_action_print;
    QAction *d_action_fit;
    QAction *d_action_import_a;
    QAction *d_action_import_b;
    QAction *d_action_undo;
    QAction *d_action_redo;
    QAction *d_action_copy;
    QAction *d_action_paste;
    QAction *d_action_open;
    QAction *d_action_save;
    QAction *d_action_export;
    QAction *d_action_options;
    QAction *d_action_details;
    QAction *d_action_about;
    QAction *d_action_quit;

    TEntryWidget *d_entry_widget_a;
    TEntryWidget *d_entry_widget_b;
    TSetHeading *d_heading_a;
    TSetHeading *d_heading_b;
    // Between the entry lists and the graphs; its position is kept in the settings file.
    QSplitter *d_splitter;

    TGraphWidget *d_deviation_graph;
    TGraphWidget *d_en_graph;
    TLegendRow *d_legend_row = nullptr;
    QLabel *d_status_label;
    // "Compare every entry on its own", offered where merged entries look like separate items.
    QLabel *d_separate_offer = nullptr;
    // Set during Open's load of the document: Update shows it instead of computing anew.
    TStaged *d_staged = nullptr;
    QMenu *d_recent_menu = nullptr;
    QStringList d_recent_files;

    QSettings *d_settings; // null where the settings file is not a regular file
    TMessageBox *d_message_box;
    TOptionsDialog *d_options_dialog; // created on first use, then reused
    TDetailsDialog *d_details_dialog; // created on first use, then reused

    TComparisonDocument *d_document;
    Type::TOptions d_new_options;
    int d_decimals_shown;
    // What every record says of the laboratory, and its most table rows (Options).
    QString d_laboratory;
    int d_record_row_limit;
    QString d_file_path;
    // What the set headings and the legend row show, once shown.
    std::optional<ComparisonGraphs::TLegendTexts> d_details_shown;
    QString d_last_error;
    QUndoStack *d_undo_stack;
    // The list that last had the focus: the one Copy and Paste work on.
    TEntryWidget *d_paste_target;

    // Kept across runs: its buffers are reused by every Update. Its results are the window's:
    // positions, rows and the B deviation offset of the last comparison.
    TComparison d_comparison;
};

#endif
