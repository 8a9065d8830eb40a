#ifndef QUORVAL_CORE_BASE_SAFEWRITE_H
#define QUORVAL_CORE_BASE_SAFEWRITE_H

#include <QByteArray>
#include <QString>

#include <vector>

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
// file of its own beside its target, unnamed where the file system allows (so that nothing is
// left behind when the program is killed), and synced; Commit then names and renames them all
// over their targets. A failure anywhere before the renames leaves every target as it was.
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
// Failures return false with the system's reason (e.g. "No space left on device") in *reason,
// when reason is not null. The destructor aborts what was not committed.
class TCommit
{
public:
    TCommit() = default;
    ~TCommit();
    TCommit(const TCommit &) = delete;
    TCommit &operator=(const TCommit &) = delete;

    bool Prepare(const QString &file_name, const QByteArray &data, QString *reason);
    // *failed (when not null) is set to the index, in the order of Prepare, of the file that
    // failed. Afterwards the object is empty again.
    bool Commit(int *failed, QString *reason);
    // Drops every prepared file; no target is touched.
    void Abort();

private:
    struct TEntry
    {
        enum TKind { DESCRIPTOR, DEVICE, FILE } kind = FILE;
        int fd = -1;          // the program's own descriptor, the opened device or the new file
        QByteArray data;      // for descriptors and devices, written by Commit
        QByteArray target;    // a new file's final name
        QByteArray temp_name; // a new file's name beside the target; empty while unnamed
    };
    std::vector<TEntry> d_entries;
};

// Replaces one file as TCommit does.
bool Write_File(const QString &file_name, const QByteArray &data, QString *reason);

} // namespace SafeWrite

#endif
