#ifndef QUORVAL_CORE_BASE_SAFEWRITE_H
#define QUORVAL_CORE_BASE_SAFEWRITE_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ctime>
#include <functional>
#include <vector>

#include <sys/types.h>

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

// How long a writer waits for another one that holds the folder or file it is to write, in
// milliseconds, before it gives up (10 seconds unless set).
void Set_Lock_Wait(int milliseconds);

// Several files replaced together, all or none. Prepare writes each new content completely into a
// file of its own beside its target, unnamed where the file system allows, and synced; Commit then
// names and renames them all over their targets. A failure anywhere leaves every target as it
// was: before the renames nothing is replaced, and a rename or write that fails after others
// puts back the files already replaced, which are kept beside their targets until the end.
//
// One writer at a time: every Quorval writer locks the folder of each target (flock), and the
// file itself where it is written in place or its folder cannot be opened, from the first byte to
// the last rename; another writer waits for it (see Set_Lock_Wait) and then fails. Lock takes the
// locks of several targets at once, in one order, so that two runs never interleave their files
// nor wait for each other in a circle; Prepare takes those not held yet.
//
// A named file beside a target NAME is called ".NAME.quorval-RANDOM.tmp" (RANDOM: 13 digits or
// lower-case letters) and is locked while the program holds it. A program killed while such files
// have names leaves them behind; the next Prepare in that folder removes those that are regular
// files of the user with one link (or a second one of their own target), that nobody holds and
// that are older than the running commit. A replaced file that a failed commit cannot put back is
// renamed "NAME.kept-DATE-TIME", which no writer removes, and the reason names it.
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
// place instead (*in_place tells): Commit reserves the room without changing the size, overwrites
// the file with the complete content, truncates it, syncs it and reads it back; a failure writes
// the old content back. Such a write is not atomic: a program killed during it leaves the new
// content over the start of the old (never bytes that were not written).
//
// Failures return false with the system's reason (e.g. "No space left on device") in *reason,
// when reason is not null. The destructor aborts what was not committed.
class TCommit
{
public:
    TCommit();
    ~TCommit();
    TCommit(const TCommit &) = delete;
    TCommit &operator=(const TCommit &) = delete;

    // Locks the targets of file_names together (names of descriptors and devices need none).
    // *failed (when not null) is set to the index of a name whose lock stayed taken.
    bool Lock(const QStringList &file_names, int *failed, QString *reason);

    bool Prepare(const QString &file_name, const QByteArray &data, QString *reason,
                 bool *in_place = nullptr);
    // *failed (when not null) is set to the index, in the order of Prepare, of the file that
    // failed. last_step, when given, runs once every file is in place, before the replaced ones
    // are let go: when it fails (with its reason), every file is put back and *failed is the
    // number of files. Afterwards the object is empty again.
    bool Commit(int *failed, QString *reason,
                const std::function<bool(QString *)> &last_step = nullptr);
    // Drops every prepared file and releases the locks; no target is touched.
    void Abort();

private:
    struct TLock
    {
        dev_t device;
        ino_t inode;
        int fd;
    };
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
    // keep_old: keep the replaced files even of a single target, for a later step may fail.
    bool Replace_Files(bool keep_old, std::size_t *index, int *error,
                       std::vector<QByteArray> *directories);
    static bool Keep_Old(TEntry *entry, int *error);
    static bool Write_In_Place(TEntry *entry, int *error);
    // Puts back what a replaced entry replaced; false when that failed.
    static bool Put_Back(TEntry *entry);
    // Puts back every replaced target; says which could not be.
    QString Roll_Back();
    // Locks the folders and files that writing these resolved targets takes, in the order of
    // their device and inode. *failed: the index of the target whose lock stayed taken.
    bool Take_Locks(const std::vector<QByteArray> &targets, std::size_t *failed);

    std::vector<TEntry> d_entries;
    std::vector<TLock> d_locks;
    struct timespec d_start; // left temporary files must be older
};

// Replaces one file as TCommit does.
bool Write_File(const QString &file_name, const QByteArray &data, QString *reason,
                bool *in_place = nullptr);

} // namespace SafeWrite

#endif
