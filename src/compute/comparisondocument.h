#ifndef QUORVAL_SRC_COMPUTE_COMPARISONDOCUMENT_H
#define QUORVAL_SRC_COMPUTE_COMPARISONDOCUMENT_H

#include "src/compute/datafile.h"
#include "src/compute/entrylists.h"
#include "src/compute/types.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

// One comparison as the user has it: both sets' entries, set B's offset, the comparison's
// settings and details, the file it came from and what that file (or the last save) held.
//
// Entries are kept as the comparison and the data file see them: set B's include B's offset,
// exactly as loaded or as computed once when typed, and are never recomputed. Set B's lists and
// fields show and take values in B's own scale (stored value less the offset); the two are
// turned into each other by exact decimal arithmetic (Shown_Entry, Stored_Entry), so that a
// value typed as 0.1 is stored as offset + 0.1 without noise digits and shows as 0.1 again.
//
// The changes below are the only way to change the data; each says what changed with the
// signals, and Data_Changed follows every change that the comparison depends on. Sets are held
// as shared, copy-on-write vectors: what was last saved, and an undo step's snapshot, share the
// entries with the document until either changes.
class TComparisonDocument : public QObject
{
    Q_OBJECT

public:
    enum TSet { SET_A = 0, SET_B = 1 };
    using TEntries = std::vector<Type::TEntryItem>;
    // Never changed while shared: the document copies a shared set before it changes it.
    using TShared_Entries = std::shared_ptr<TEntries>;
    // Rows ascending, each with the entry (stored value) at that row after an insertion or
    // before a removal.
    using TRows = std::vector<std::pair<int, Type::TEntryItem>>;

    // Everything that Undo puts back at once, and what Modified compares with.
    struct TSnapshot
    {
        TShared_Entries entries[2];
        double offset_b = 0.0;
        Type::TOptions options;
        Type::TDetails details;
    };

    // The most entries a set holds: the rows a list can show.
    static constexpr std::size_t Max_Entries = std::numeric_limits<int>::max();
    // Whether memory has room for that many more entries in a set, in the comparison and in its
    // graphs: a probe allocation of their size, made before anything changes.
    static bool Room_For(std::size_t entries);

    explicit TComparisonDocument(QObject *parent = nullptr);

    // ---- Reading ----
    const TEntries &Entries(int set) const { return *d_state.entries[set]; }
    std::size_t Count(int set) const { return d_state.entries[set]->size(); }
    double Offset_B() const { return d_state.offset_b; }
    // The offset that the set's values are shown against: B's offset for set B, 0 for set A.
    double Offset_Of(int set) const { return set == SET_B ? d_state.offset_b : 0.0; }
    const Type::TOptions &Options() const { return d_state.options; }
    const Type::TDetails &Details() const { return d_state.details; }
    // An entry as its list shows it, and the stored entry of values shown or typed.
    Type::TEntryItem Shown_Entry(int set, std::size_t row) const;
    Type::TEntryItem Stored_Entry(int set, const Type::TEntryItem &shown) const;
    TEntries Shown_Entries(int set) const;
    // The set's entries sorted by actual, as the comparison takes them; no copy where they are
    // sorted already (*sorted is then left alone).
    const TEntries &Sorted_Entries(int set, TEntries *sorted) const;
    const TSnapshot &State() const { return d_state; }

    // The file last opened or saved (absolute), empty after New; the SHA-256 of the bytes it had
    // then (empty where it was not taken).
    const QString &File_Name() const { return d_file_name; }
    const QString &File_Checksum() const { return d_file_checksum; }
    // Whether there is anything to lose: entries in either set, or details.
    bool Holds_Data() const;
    // Whether the data differs, bit for bit, from what was last opened or saved.
    bool Differs_From_Saved() const;
    // Modified: differs from what was saved and holds something to lose.
    bool Modified() const { return Holds_Data() && Differs_From_Saved(); }
    // What Save writes: set A at offset 0, set B at its offset, entries as stored.
    DataFile::TContent Content() const;

    // What the comparison of a data file is given: its entries as stored, sorted by actual, and
    // set B's offset relative to set A. The window computes the same from an unedited document.
    // The entries are moved, not copied: a content given as an rvalue is left without them.
    static EntryLists::TInputs Inputs_Of(DataFile::TContent content);

    // ---- Changes ----
    // A loaded file: its entries, offset, settings (the defaults where it has none) and
    // details, as unmodified data.
    void Load(DataFile::TContent content, const QString &file_name, const QString &checksum);
    // Saved under file_name: the data now is what that file holds.
    void Mark_Saved(const QString &file_name, const QString &checksum);
    // Forgets the file (New), and takes it back (Undo of New) unless another file was opened
    // or saved since: what was last opened or saved stays what the data is compared with.
    void Forget_File();
    void Recall_File(const QString &file_name, const QString &checksum);

    // Entries put in at their rows, or taken out of them (rows ascending).
    void Insert_Entries(int set, const TRows &rows);
    void Remove_Entries(int set, const TRows &rows);
    void Set_Entry(int set, int row, const Type::TEntryItem &stored);
    // Puts back a whole state (or parts of it): a set whose entries are shared with the
    // snapshot is left alone.
    void Restore(const TSnapshot &snapshot);
    // The state with set B at a new offset, its entries keeping the values shown.
    TSnapshot With_Offset_B(const double &offset) const;
    // The state with a set's entries replaced by these (shown values).
    TSnapshot With_Entries(int set, const TEntries &shown) const;

signals:
    // Around the insertion or removal of rows first..last of a set, and after one entry changed.
    void Entries_About_To_Be_Inserted(int set, int first, int last);
    void Entries_Inserted(int set, int first, int last);
    void Entries_About_To_Be_Removed(int set, int first, int last);
    void Entries_Removed(int set, int first, int last);
    void Entry_Changed(int set, int row);
    // Around a change of a whole set (its entries, or the offset they are shown against).
    void Set_About_To_Be_Reset(int set);
    void Set_Reset(int set);
    // After every change of entries, offset or settings: the comparison is to be computed anew.
    void Data_Changed();
    // After a change of the details.
    void Details_Changed();
    // After Load, Mark_Saved and Forget_File: what the data is compared with changed.
    void File_Changed();

private:
    TEntries &Writable(int set);

    TSnapshot d_state;
    TSnapshot d_saved;
    QString d_file_name;
    QString d_file_checksum;
};

#endif
