#ifndef QUORVAL_CORE_BASE_SAFEWRITE_H
#define QUORVAL_CORE_BASE_SAFEWRITE_H

#include <QByteArray>
#include <QString>

#include <vector>

struct stat;

namespace SafeWrite {

// Makes a write beyond the file-size limit (ulimit -f) fail with "File too large" instead of
// ending the program by SIGXFSZ, so that it is reported and handled like a full disk. Each
// program calls it first thing in main.
void Ignore_File_Size_Signal();

// Whether writing both names would write one and the same regular file: links are followed, an
// existing file is known by its device and inode, a new one by the device and inode of its folder
// and its name. Devices, FIFOs and the like may be named more than once.
bool Same_File(const QString &a, const QString &b);

// Several files replaced together, all or none. Prepare writes each new content completely into a
// file of its own beside its target, unnamed where the file system allows, and synced; Commit then
// names and renames them all over their targets. A failure anywhere leaves every target as it
// was: before the renames nothing is replaced, and a rename or write that fails after others
// puts back the files already replaced, which are kept beside their targets until the end.
//
// A named file beside a target NAME is called ".NAME.quorval-RANDOM.tmp" and is locked while the
// program holds it. A program killed while such files have names leaves them behind; the next
// Prepare of NAME removes those that no running program holds.
//
// Targets: through a symbolic link the file it points to is replaced and the link kept. The new
// file keeps the old one's permissions (and, where allowed, its owner and group). An existing
// file that is not writable is refused, so that the rename never overrides a write protection; a
// directory, socket or block device is refused as well. A name of one of the program's open
// descriptors (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N) is written to that
// descriptor, and a FIFO or character device is written into (a FIFO without a reader is refused
// rather than waited for): these cannot be replaced, so they are written by Commit before any
// rename, and what went into them stays there if a later step fails.
//
// Where the folder allows no new file but the file itself may be written, the file is written in
// place instead (*in_place tells): Commit reserves the room, overwrites the file with the
// complete content, syncs it and reads it back; a failure writes the old content back. Such a
// write is not atomic: a program killed during it leaves the file damaged.
//
// Failures return false with the system's reason (e.g. "No space left on device") in *reason,
// when reason is not null. The destructor aborts what was not committed.
class TCommit
{
public:
    TCommit() = default;
    ~TCommit();
    TCommit(const TCommit &) = delete;
    TCommit &operator=(const TCommit &) = delete;

    bool Prepare(const QString &file_name, const QByteArray &data, QString *reason,
                 bool *in_place = nullptr);
    // *failed (when not null) is set to the index, in the order of Prepare, of the file that
    // failed. Afterwards the object is empty again.
    bool Commit(int *failed, QString *reason);
    // Drops every prepared file; no target is touched.
    void Abort();

private:
    struct TEntry
    {
        enum TKind { DESCRIPTOR, DEVICE, FILE, IN_PLACE } kind = FILE;
        int fd = -1;          // the program's own descriptor, the opened device or the new file
        QByteArray data;      // for descriptors, devices and files written in place
        QByteArray target;    // a new file's final name
        QByteArray temp_name; // a new file's name beside the target; empty while unnamed
        bool existed = false; // the target existed when the file was prepared
        bool replaced = false;
        int old_fd = -1;     // holds the kept old file, locked
        QByteArray old_name; // the replaced file, kept beside its target until the end
        QByteArray old_data; // what a file written in place held before
    };
    // A new file beside path with data, or the file itself where only it may be written.
    bool Prepare_File(const QByteArray &path, bool exists, const struct stat &old_stat,
                      const QByteArray &data, int *error, bool *in_place);
    // Writes the data of the descriptors and devices; *index tells the one that failed.
    bool Write_Streams(std::size_t *index, int *error);
    // Names every new file, then renames each over its target; the folders to sync are listed.
    bool Replace_Files(std::size_t *index, int *error, std::vector<QByteArray> *directories);
    static bool Keep_Old(TEntry *entry, int *error);
    static bool Write_In_Place(TEntry *entry, int *error);
    // Puts back what a replaced entry replaced; false when that failed.
    static bool Put_Back(TEntry *entry);
    // Puts back every replaced target; says which could not be.
    QString Roll_Back();

    std::vector<TEntry> d_entries;
};

// Replaces one file as TCommit does.
bool Write_File(const QString &file_name, const QByteArray &data, QString *reason,
                bool *in_place = nullptr);

} // namespace SafeWrite

#endif
