#ifndef QUORVAL_CORE_SAFEWRITE_H
#define QUORVAL_CORE_SAFEWRITE_H

#include <QByteArray>
#include <QString>

namespace SafeWrite {

// Makes a write beyond the file-size limit (ulimit -f) fail with "File too large" instead of
// ending the program by SIGXFSZ, so that it is reported and handled like a full disk. Each
// program calls it first thing in main.
void Ignore_File_Size_Signal();

// Writes data to file_name so that an existing file is replaced only once the whole new content
// has been written: the data goes to a new file beside it, which is synced and then renamed over
// the old one, keeping the old file's permissions (and, where allowed, its owner and group).
// Through a symbolic link it replaces the file the link points to and keeps the link. A character
// device or a FIFO is written directly (a FIFO without a reader is refused rather than waited
// for); a directory, socket or block device is refused. An existing file that is not writable is
// refused as well, so that the rename never overrides a file's write protection.
// Returns false with the system's reason (e.g. "No space left on device") in *reason (when
// reason is not null) on any failure; an existing file is then byte for byte unchanged and no
// temporary file is left behind.
bool Write_File(const QString &file_name, const QByteArray &data, QString *reason);

} // namespace SafeWrite

#endif
