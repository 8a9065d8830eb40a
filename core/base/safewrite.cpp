#include "core/base/safewrite.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Symbolic links followed before giving up, as the kernel does.
constexpr int Max_Link_Hops = 40;
// Longest base name used for the temporary file, so that prefix and suffix still fit NAME_MAX.
constexpr int Max_Temp_Base = 200;
// Largest single write() request; larger buffers are written in pieces.
constexpr size_t Max_Write_Chunk = size_t(1) << 30;
// Random temporary names tried before giving up.
constexpr int Max_Name_Attempts = 100;
// Temporary files are named ".NAME.quorval-RANDOM.tmp" beside their target NAME.
constexpr char Temp_Marker[] = ".quorval-";
constexpr char Temp_Suffix[] = ".tmp";
// The random part: a 64-bit number in base 36, always this many digits and lower-case letters.
constexpr int Temp_Random_Length = 13;
// A replaced file that could not be put back is kept as "NAME.kept-DATE-TIME".
constexpr char Kept_Marker[] = ".kept-";
// How often a writer looks again whether a lock it waits for is free.
constexpr int Lock_Poll_Milliseconds = 10;
int Lock_Wait_Milliseconds = 10000;
// Pieces in which a file written in place is read back.
constexpr qint64 Read_Back_Chunk = qint64(1) << 20;

bool Fail(QString *reason, const QString &text)
{
    if (reason != nullptr)
        *reason = text;
    return false;
}

bool Fail_Errno(QString *reason, int error) { return Fail(reason, qt_error_string(error)); }

QByteArray Directory_Of(const QByteArray &path)
{
    const int slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray Base_Name_Of(const QByteArray &path) { return path.mid(path.lastIndexOf('/') + 1); }

bool Same_Inode(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folders in which the kernel lists this program's open descriptors. Their entries look like
// symbolic links, but the text they read as is no path: for a pipe it is "pipe:[1234]", and for a
// file it names the file but not the shell's offset or append mode.
class TDescriptor_Folders
{
public:
    TDescriptor_Folders()
    {
        d_known[0] = ::stat("/proc/self/fd", &d_folders[0]) == 0;
        d_known[1] = ::stat("/proc/thread-self/fd", &d_folders[1]) == 0;
    }

    // Whether path is an entry of one of them; *descriptor is then its number.
    bool Names_Descriptor(const QByteArray &path, int *descriptor) const
    {
        if (!d_known[0] && !d_known[1])
            return false;
        const QByteArray name = Base_Name_Of(path);
        if (name.isEmpty() || name.size() > 9)
            return false;
        for (const char c : name)
            if (c < '0' || c > '9')
                return false;
        struct stat folder;
        if (::stat(Directory_Of(path).constData(), &folder) != 0)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (d_known[i] && Same_Inode(folder, d_folders[i])) {
                *descriptor = name.toInt();
                return true;
            }
        }
        return false;
    }

private:
    struct stat d_folders[2];
    bool d_known[2];
};

struct TTarget
{
    QByteArray path;     // the name finally written
    int descriptor = -1; // when not negative: path names this open descriptor of the program
};

// Follows symbolic links from path to the name that is finally written, stopping at a name of one
// of the program's own descriptors. A path that does not exist (a new file, or the target of a
// dangling link) is returned as it is.
bool Resolve_Target(const QByteArray &path, TTarget *target, int *error)
{
    const TDescriptor_Folders descriptor_folders;
    QByteArray current = path;
    for (int hops = 0; hops <= Max_Link_Hops; ++hops) {
        target->path = current;
        if (descriptor_folders.Names_Descriptor(current, &target->descriptor))
            return true;
        struct stat st;
        if (::lstat(current.constData(), &st) != 0) {
            if (errno == ENOENT)
                return true;
            *error = errno;
            return false;
        }
        if (!S_ISLNK(st.st_mode))
            return true;
        char buffer[PATH_MAX + 1];
        const ssize_t length = ::readlink(current.constData(), buffer, sizeof(buffer));
        if (length < 0) {
            *error = errno;
            return false;
        }
        if (static_cast<size_t>(length) >= sizeof(buffer)) {
            *error = ENAMETOOLONG;
            return false;
        }
        const QByteArray link(buffer, static_cast<int>(length));
        if (link.startsWith('/'))
            current = link;
        else
            current = Directory_Of(current) + '/' + link;
    }
    *error = ELOOP;
    return false;
}

// Writes at the descriptor's offset, or at offset when that is not negative.
bool Write_All(int fd, const QByteArray &data, int *error, off_t offset = -1)
{
    const char *p = data.constData();
    size_t remaining = static_cast<size_t>(data.size());
    while (remaining > 0) {
        const size_t piece = remaining < Max_Write_Chunk ? remaining : Max_Write_Chunk;
        const ssize_t written = offset < 0 ? ::write(fd, p, piece) : ::pwrite(fd, p, piece, offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        if (written == 0) {
            *error = EIO;
            return false;
        }
        p += written;
        remaining -= static_cast<size_t>(written);
        if (offset >= 0)
            offset += written;
    }
    return true;
}

// Reads size bytes from offset into *data; false with *error set when fewer arrive.
bool Read_At(int fd, off_t offset, qint64 size, QByteArray *data, int *error)
{
    data->resize(static_cast<int>(size));
    qint64 done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd, data->data() + done, static_cast<size_t>(size - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            *error = got < 0 ? errno : EIO;
            return false;
        }
        done += got;
    }
    return true;
}

// Character devices and FIFOs cannot be replaced by a regular file: they are written into as they
// are. Non-blocking open, so that a FIFO without a reader fails at once instead of hanging.
int Open_Device(const QByteArray &target, int *error)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

QByteArray Temp_Prefix(const QByteArray &target)
{
    return '.' + Base_Name_Of(target).left(Max_Temp_Base) + Temp_Marker;
}

QByteArray Temp_Name(const QByteArray &target)
{
    return Directory_Of(target) + '/' + Temp_Prefix(target) +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36)
               .rightJustified(Temp_Random_Length, '0') +
           Temp_Suffix;
}

// Whether name is one that Temp_Name gives; *base is then the name of its target.
bool Is_Temp_Name(const QByteArray &name, QByteArray *base)
{
    const int marker = int(sizeof(Temp_Marker)) - 1;
    const int tail = marker + Temp_Random_Length + int(sizeof(Temp_Suffix)) - 1;
    if (name.size() < tail + 2 || !name.startsWith('.') || !name.endsWith(Temp_Suffix))
        return false;
    const int at = name.size() - tail;
    if (name.mid(at, marker) != Temp_Marker)
        return false;
    for (int i = at + marker; i < at + marker + Temp_Random_Length; ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'z')))
            return false;
    *base = name.mid(1, at - 1);
    return true;
}

bool Earlier(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// A file that may carry a temporary name is locked by the program holding it: another run that
// finds such a name locked leaves it alone, and one it can lock was left by a killed run.
void Hold_Lock(int fd)
{
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {}
}

// Whether a file of the temporary name pattern, opened as fd, is one a killed writer left: a
// regular file of this user, older than start, whose only other name (if any) is its target.
bool Left_By_A_Writer(int fd, const QByteArray &folder, const QByteArray &base,
                      const struct timespec &start)
{
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != ::geteuid() ||
        !Earlier(opened.st_mtim, start))
        return false;
    if (opened.st_nlink == 1)
        return true;
    // The old file kept by a commit that was killed before its renames.
    struct stat target;
    return opened.st_nlink == 2 && ::lstat((folder + '/' + base).constData(), &target) == 0 &&
           Same_Inode(opened, target);
}

// Removes the temporary files that killed runs left behind in folder: those of the name pattern
// that Left_By_A_Writer accepts and that no running program holds. Best effort; a file system
// without locks keeps them all.
void Remove_Left_Temporaries(const QByteArray &folder, const struct timespec &start)
{
    DIR *directory = ::opendir(folder.constData());
    if (directory == nullptr)
        return;
    while (const struct dirent *entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        QByteArray base;
        if (!Is_Temp_Name(name, &base))
            continue;
        const QByteArray path = folder + '/' + name;
        const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        int fd = ::open(path.constData(), O_RDONLY | flags);
        if (fd < 0)
            fd = ::open(path.constData(), O_WRONLY | flags);
        if (fd < 0)
            continue;
        struct stat opened;
        struct stat named;
        if (Left_By_A_Writer(fd, folder, base, start) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &named) == 0 &&
            Same_Inode(opened, named))
            ::unlink(path.constData());
        ::close(fd);
    }
    ::closedir(directory);
}

// Gives a replaced file that could not be put back a name that no writer removes; false when it
// keeps the one it has.
bool Name_Kept(const QByteArray &target, QByteArray *kept_name)
{
    const QByteArray stem =
        target + Kept_Marker +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    for (int attempt = 1; attempt <= Max_Name_Attempts; ++attempt) {
        const QByteArray name = attempt == 1 ? stem : stem + '-' + QByteArray::number(attempt);
        // A link, not a rename: an existing file of that name is never replaced.
        if (::link(kept_name->constData(), name.constData()) == 0) {
            ::unlink(kept_name->constData());
            *kept_name = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// What a writer of the resolved target locks, opened: its folder, and the file itself where it
// is written in place (its folder allows no new file) or the folder cannot be opened.
void Open_Lock_Objects(const QByteArray &target, std::vector<int> *fds)
{
    const QByteArray folder = Directory_Of(target);
    const int folder_fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd >= 0)
        fds->push_back(folder_fd);
    struct stat st;
    if ((folder_fd >= 0 && ::access(folder.constData(), W_OK | X_OK) == 0) ||
        ::stat(target.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(target.constData(), O_RDONLY | flags);
    if (fd < 0)
        fd = ::open(target.constData(), O_WRONLY | flags);
    if (fd >= 0)
        fds->push_back(fd);
}

// Waits for the lock of fd until the lock wait has passed; a file system without locks counts as
// locked.
bool Wait_For_Lock(int fd, const QElapsedTimer &waited)
{
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return true;
        if (waited.elapsed() >= Lock_Wait_Milliseconds)
            return false;
        const struct timespec pause = {0, Lock_Poll_Milliseconds * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

QString Locked_Reason()
{
    return QStringLiteral("another program is writing this file or its folder (waited %1 s)")
        .arg(Lock_Wait_Milliseconds / 1000.0);
}

// A new file without a name in the target's folder: if the program is killed before it is
// linked, the file system drops it. Fails with EOPNOTSUPP where that is not possible: a file
// system or kernel without O_TMPFILE, or no /proc to link the file through.
int Create_Unnamed(const QByteArray &target, int *error)
{
#ifdef O_TMPFILE
    if (::access("/proc/self/fd", X_OK) == 0) {
        // Mode 0666 lets the umask and a default ACL of the directory apply as for any new file.
        const int fd =
            ::open(Directory_Of(target).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            Hold_Lock(fd);
            return fd;
        }
        // Kernels that predate O_TMPFILE take it for O_DIRECTORY and answer EISDIR.
        *error = errno == EISDIR || errno == EINVAL ? EOPNOTSUPP : errno;
        return -1;
    }
#else
    Q_UNUSED(target);
#endif
    *error = EOPNOTSUPP;
    return -1;
}

// Creates a new file beside the target with a random name.
int Create_Named(const QByteArray &target, QByteArray *temp_name, int *error)
{
    for (int attempt = 0; attempt < Max_Name_Attempts; ++attempt) {
        const QByteArray name = Temp_Name(target);
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Another run may have taken the new file for a left one before it was locked.
            Hold_Lock(fd);
            struct stat opened;
            struct stat named;
            if (::fstat(fd, &opened) == 0 && ::lstat(name.constData(), &named) == 0 &&
                Same_Inode(opened, named)) {
                *temp_name = name;
                return fd;
            }
            ::close(fd);
            continue;
        }
        if (errno != EEXIST) {
            *error = errno;
            return -1;
        }
    }
    *error = EEXIST;
    return -1;
}

// Gives a file a random temporary name beside target: source names it, an entry of /proc for an
// unnamed file (follow set) or the name it has.
bool Link_Beside(const QByteArray &source, bool follow, const QByteArray &target,
                 QByteArray *temp_name, int *error)
{
    for (int attempt = 0; attempt < Max_Name_Attempts; ++attempt) {
        const QByteArray name = Temp_Name(target);
        if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, name.constData(),
                     follow ? AT_SYMLINK_FOLLOW : 0) == 0) {
            *temp_name = name;
            return true;
        }
        if (errno != EEXIST) {
            *error = errno;
            return false;
        }
    }
    *error = EEXIST;
    return false;
}

// Owner, permissions and content of a new file that replaces old_stat's file (when exists).
bool Fill_New_File(int fd, bool exists, const struct stat &old_stat, const QByteArray &data,
                   int *error)
{
    if (exists) {
        // Owner first: changing it may clear set-id bits that the mode then restores. Taking
        // over the owner only works for root (or the group for its members); otherwise the
        // replacing file belongs to the writer, as any rewritten file does.
        if (::fchown(fd, old_stat.st_uid, old_stat.st_gid) != 0) {
            if (::fchown(fd, static_cast<uid_t>(-1), old_stat.st_gid) != 0) {
                // Keeps the writer's group.
            }
        }
        if (::fchmod(fd, old_stat.st_mode & 07777) != 0) {
            *error = errno;
            return false;
        }
    }
    if (!Write_All(fd, data, error))
        return false;
    // Space on some file systems is only allocated at sync time: a full disk may show up here.
    if (::fsync(fd) != 0) {
        *error = errno;
        return false;
    }
    return true;
}

bool Truncate_And_Sync(int fd, qint64 size, int *error)
{
    if (::ftruncate(fd, size) != 0 || ::fsync(fd) != 0) {
        *error = errno;
        return false;
    }
    return true;
}

void Sync_Directory(const QByteArray &directory)
{
    // Best effort: makes the rename itself durable; a failure here cannot undo the rename.
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// What a name would write, for telling whether two names write the same file.
struct TIdentity
{
    bool exists = false;
    bool regular = false;
    bool folder_known = false;
    dev_t device = 0; // of the file, or of the folder of a new one
    ino_t inode = 0;
    QByteArray name; // a new file's name in its folder; its cleaned path when the folder is unknown
};

TIdentity Identity_Of(const QString &file_name)
{
    TIdentity identity;
    const QByteArray path = QFile::encodeName(file_name);
    TTarget target;
    int error = 0;
    if (!Resolve_Target(path, &target, &error))
        target.path = path;
    struct stat st;
    if (::stat(target.path.constData(), &st) == 0) {
        identity.exists = true;
        identity.regular = S_ISREG(st.st_mode);
    } else if (::stat(Directory_Of(target.path).constData(), &st) == 0) {
        identity.folder_known = true;
        identity.name = Base_Name_Of(target.path);
    } else {
        identity.name = QFile::encodeName(
            QDir::cleanPath(QFileInfo(QFile::decodeName(target.path)).absoluteFilePath()));
        return identity;
    }
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    return identity;
}

} // namespace

namespace SafeWrite {

void Ignore_File_Size_Signal() { std::signal(SIGXFSZ, SIG_IGN); }

void Set_Lock_Wait(int milliseconds) { Lock_Wait_Milliseconds = std::max(0, milliseconds); }

bool Same_File(const QString &a, const QString &b)
{
    const TIdentity one = Identity_Of(a);
    const TIdentity other = Identity_Of(b);
    if (one.exists || other.exists)
        return one.exists && other.exists && one.regular && other.regular &&
               one.device == other.device && one.inode == other.inode;
    if (one.folder_known != other.folder_known)
        return false;
    return (!one.folder_known || (one.device == other.device && one.inode == other.inode)) &&
           one.name == other.name;
}

TCommit::TCommit() { ::clock_gettime(CLOCK_REALTIME, &d_start); }

TCommit::~TCommit() { Abort(); }

bool TCommit::Lock(const QStringList &file_names, int *failed, QString *reason)
{
    std::vector<QByteArray> targets;
    std::vector<int> names; // the index in file_names of each target
    for (int i = 0; i < file_names.size(); ++i) {
        int error = 0;
        TTarget target;
        struct stat st;
        if (!Resolve_Target(QFile::encodeName(file_names[i]), &target, &error) ||
            target.descriptor >= 0 ||
            (::stat(target.path.constData(), &st) == 0 && !S_ISREG(st.st_mode)))
            continue; // no lock to take: Prepare tells what is wrong with it
        targets.push_back(target.path);
        names.push_back(i);
    }
    std::size_t index = 0;
    if (Take_Locks(targets, &index))
        return true;
    if (failed != nullptr)
        *failed = names[index];
    return Fail(reason, Locked_Reason());
}

bool TCommit::Take_Locks(const std::vector<QByteArray> &targets, std::size_t *failed)
{
    struct TWanted
    {
        TLock lock;
        std::size_t target;
    };
    std::vector<TWanted> wanted;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        std::vector<int> fds;
        Open_Lock_Objects(targets[i], &fds);
        for (const int fd : fds) {
            struct stat st;
            const auto Same = [&st](const TLock &lock) {
                return lock.device == st.st_dev && lock.inode == st.st_ino;
            };
            if (::fstat(fd, &st) != 0 || std::any_of(d_locks.begin(), d_locks.end(), Same) ||
                std::any_of(wanted.begin(), wanted.end(),
                            [&Same](const TWanted &w) { return Same(w.lock); })) {
                ::close(fd);
                continue;
            }
            wanted.push_back({{st.st_dev, st.st_ino, fd}, i});
        }
    }
    // One order for every writer: no two wait for each other in a circle.
    std::sort(wanted.begin(), wanted.end(), [](const TWanted &a, const TWanted &b) {
        return a.lock.device != b.lock.device ? a.lock.device < b.lock.device
                                              : a.lock.inode < b.lock.inode;
    });
    QElapsedTimer waited;
    waited.start();
    bool locked = true;
    for (const TWanted &w : wanted) {
        if (locked && !Wait_For_Lock(w.lock.fd, waited)) {
            locked = false;
            *failed = w.target;
        }
        if (locked)
            d_locks.push_back(w.lock);
        else
            ::close(w.lock.fd);
    }
    return locked;
}

bool TCommit::Prepare(const QString &file_name, const QByteArray &data, QString *reason,
                      bool *in_place)
{
    if (in_place != nullptr)
        *in_place = false;
    if (file_name.isEmpty())
        return Fail_Errno(reason, ENOENT);

    int error = 0;
    TTarget target;
    if (!Resolve_Target(QFile::encodeName(file_name), &target, &error))
        return Fail_Errno(reason, error);

    TEntry entry;
    if (target.descriptor >= 0) {
        const int flags = ::fcntl(target.descriptor, F_GETFL);
        if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
            return Fail_Errno(reason, EBADF);
        entry.kind = TEntry::DESCRIPTOR;
        entry.fd = target.descriptor;
        entry.data = data;
        d_entries.push_back(entry);
        return true;
    }

    struct stat old_stat;
    const bool exists = ::stat(target.path.constData(), &old_stat) == 0;
    if (!exists && errno != ENOENT)
        return Fail_Errno(reason, errno);
    if (exists) {
        if (S_ISDIR(old_stat.st_mode))
            return Fail_Errno(reason, EISDIR);
        if (S_ISCHR(old_stat.st_mode) || S_ISFIFO(old_stat.st_mode)) {
            entry.kind = TEntry::DEVICE;
            entry.fd = Open_Device(target.path, &error);
            if (entry.fd < 0)
                return Fail_Errno(reason, error);
            entry.data = data;
            d_entries.push_back(entry);
            return true;
        }
        if (!S_ISREG(old_stat.st_mode))
            return Fail(reason, QStringLiteral("Not a regular file"));
        // The rename would replace a write-protected file; refuse as writing into it would.
        if (::access(target.path.constData(), W_OK) != 0)
            return Fail_Errno(reason, errno);
    }

    std::size_t failed = 0;
    if (!Take_Locks({target.path}, &failed))
        return Fail(reason, Locked_Reason());
    if (!Prepare_File(target.path, exists, old_stat, data, &error, in_place))
        return Fail_Errno(reason, error);
    return true;
}

bool TCommit::Prepare_File(const QByteArray &path, bool exists, const struct stat &old_stat,
                           const QByteArray &data, int *error, bool *in_place)
{
    TEntry entry;
    entry.kind = TEntry::FILE;
    entry.target = path;
    entry.existed = exists;
    Remove_Left_Temporaries(Directory_Of(path), d_start);
    entry.fd = Create_Unnamed(path, error);
    if (entry.fd < 0 && *error == EOPNOTSUPP)
        entry.fd = Create_Named(path, &entry.temp_name, error);
    if (entry.fd < 0) {
        // A folder that allows no new file, where the file itself may be written (a shared
        // folder, say): the file is written in place by Commit.
        if (!exists || (*error != EACCES && *error != EPERM))
            return false;
        entry.fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (entry.fd < 0)
            return false;
        entry.kind = TEntry::IN_PLACE;
        entry.data = data;
        d_entries.push_back(entry);
        if (in_place != nullptr)
            *in_place = true;
        return true;
    }

    // The new file stays open, and so locked, until it has replaced its target.
    if (!Fill_New_File(entry.fd, exists, old_stat, data, error)) {
        ::close(entry.fd);
        if (!entry.temp_name.isEmpty())
            ::unlink(entry.temp_name.constData());
        return false;
    }
    d_entries.push_back(entry);
    return true;
}

bool TCommit::Keep_Old(TEntry *entry, int *error)
{
    const int flags = O_NOCTTY | O_CLOEXEC;
    entry->old_fd = ::open(entry->target.constData(), O_RDONLY | flags);
    if (entry->old_fd < 0 && errno == EACCES)
        entry->old_fd = ::open(entry->target.constData(), O_WRONLY | flags);
    if (entry->old_fd < 0) {
        if (errno != ENOENT) {
            *error = errno;
            return false;
        }
        entry->existed = false; // removed meanwhile: nothing to keep
        return true;
    }
    // A lock that someone else holds on the user's file is theirs: it is kept without one.
    ::flock(entry->old_fd, LOCK_EX | LOCK_NB);
    struct stat old_stat;
    struct stat folder;
    if (::fstat(entry->old_fd, &old_stat) != 0 ||
        ::stat(Directory_Of(entry->target).constData(), &folder) != 0) {
        *error = errno;
        return false;
    }
    // A second name of someone else's file in a sticky folder could not be removed again.
    const uid_t user = ::geteuid();
    const bool foreign = (folder.st_mode & S_ISVTX) != 0 && user != 0 && old_stat.st_uid != user &&
                         folder.st_uid != user;
    if (!foreign && Link_Beside(entry->target, false, entry->target, &entry->old_name, error))
        return true;
    // Otherwise, and on a file system without links, a copy.
    QByteArray content;
    if (!Read_At(entry->old_fd, 0, old_stat.st_size, &content, error))
        return false;
    ::close(entry->old_fd);
    entry->old_fd = Create_Named(entry->target, &entry->old_name, error);
    if (entry->old_fd < 0)
        return false;
    if (Fill_New_File(entry->old_fd, true, old_stat, content, error))
        return true;
    ::unlink(entry->old_name.constData());
    entry->old_name.clear();
    return false;
}

bool TCommit::Write_In_Place(TEntry *entry, int *error)
{
    struct stat old_stat;
    if (::fstat(entry->fd, &old_stat) != 0) {
        *error = errno;
        return false;
    }
    if (!Read_At(entry->fd, 0, old_stat.st_size, &entry->old_data, error))
        return false;
    const qint64 size = entry->data.size();
    // Room first, so that a full disk fails before the file changes; the size stays, so that a
    // program killed before writing leaves no bytes that were never written.
    if (size > old_stat.st_size &&
        ::fallocate(entry->fd, FALLOC_FL_KEEP_SIZE, old_stat.st_size, size - old_stat.st_size) !=
            0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        *error = errno;
        return false;
    }
    entry->replaced = true;
    if (Write_All(entry->fd, entry->data, error, 0) && Truncate_And_Sync(entry->fd, size, error)) {
        // Read back past the cache where the system allows, so that what the disk holds is
        // compared.
        ::posix_fadvise(entry->fd, 0, 0, POSIX_FADV_DONTNEED);
        QByteArray piece;
        qint64 at = 0;
        for (; at < size; at += Read_Back_Chunk) {
            const qint64 length = std::min(Read_Back_Chunk, size - at);
            if (!Read_At(entry->fd, at, length, &piece, error))
                break;
            if (std::memcmp(piece.constData(), entry->data.constData() + at,
                            static_cast<size_t>(length)) != 0) {
                *error = EIO;
                break;
            }
        }
        if (at >= size)
            return true;
    }
    if (Put_Back(entry))
        entry->replaced = false;
    return false;
}

bool TCommit::Put_Back(TEntry *entry)
{
    int error = 0;
    if (entry->kind == TEntry::IN_PLACE)
        return Write_All(entry->fd, entry->old_data, &error, 0) &&
               Truncate_And_Sync(entry->fd, entry->old_data.size(), &error);
    if (!entry->existed)
        return ::unlink(entry->target.constData()) == 0;
    if (entry->old_name.isEmpty() ||
        ::rename(entry->old_name.constData(), entry->target.constData()) != 0)
        return false;
    entry->old_name.clear();
    return true;
}

QString TCommit::Roll_Back()
{
    QString lost;
    for (auto entry = d_entries.rbegin(); entry != d_entries.rend(); ++entry) {
        if (!entry->replaced)
            continue;
        if (Put_Back(&*entry)) {
            entry->replaced = false;
            continue;
        }
        lost += QStringLiteral("; %1 cannot be put back as it was")
                    .arg(QFile::decodeName(entry->target));
        // Under its temporary name the next writer in the folder would remove it.
        if (!entry->old_name.isEmpty())
            Name_Kept(entry->target, &entry->old_name);
        if (!entry->old_name.isEmpty())
            lost += QStringLiteral(", its old content is in %1")
                        .arg(QFile::decodeName(entry->old_name));
    }
    return lost;
}

bool TCommit::Write_Streams(std::size_t *index, int *error)
{
    for (std::size_t i = 0; i < d_entries.size(); ++i) {
        TEntry &entry = d_entries[i];
        *index = i;
        if (entry.kind != TEntry::DESCRIPTOR && entry.kind != TEntry::DEVICE)
            continue;
        if (!Write_All(entry.fd, entry.data, error))
            return false;
        entry.data = QByteArray();
        if (entry.kind == TEntry::DEVICE) {
            const int result = ::close(entry.fd);
            entry.fd = -1;
            if (result != 0) {
                *error = errno;
                return false;
            }
        }
    }
    return true;
}

// Every new file gets a name before any of them replaces its target; where a later step can still
// fail, each replaced file is kept until the end, so that it can be put back.
bool TCommit::Replace_Files(bool keep_old, std::size_t *index, int *error,
                            std::vector<QByteArray> *directories)
{
    const bool several =
        keep_old || std::count_if(d_entries.begin(), d_entries.end(), [](const TEntry &e) {
                        return e.kind == TEntry::FILE || e.kind == TEntry::IN_PLACE;
                    }) > 1;
    for (std::size_t i = 0; i < d_entries.size(); ++i) {
        TEntry &entry = d_entries[i];
        *index = i;
        if (entry.kind != TEntry::FILE)
            continue;
        if (entry.temp_name.isEmpty() &&
            !Link_Beside("/proc/self/fd/" + QByteArray::number(entry.fd), true, entry.target,
                         &entry.temp_name, error))
            return false;
        if (several && entry.existed && !Keep_Old(&entry, error))
            return false;
    }
    for (std::size_t i = 0; i < d_entries.size(); ++i) {
        TEntry &entry = d_entries[i];
        *index = i;
        if (entry.kind != TEntry::FILE)
            continue;
        if (::rename(entry.temp_name.constData(), entry.target.constData()) != 0) {
            *error = errno;
            return false;
        }
        entry.temp_name.clear();
        entry.replaced = true;
        directories->push_back(Directory_Of(entry.target));
    }
    return true;
}

bool TCommit::Commit(int *failed, QString *reason, const std::function<bool(QString *)> &last_step)
{
    int error = 0;
    auto Failed_At = [&](std::size_t index, const QString &why) {
        if (failed != nullptr)
            *failed = static_cast<int>(index);
        const QString lost = Roll_Back();
        Abort();
        return Fail(reason, why + lost);
    };

    // First what cannot be taken back, so that a failure there still replaces no file.
    std::size_t index = 0;
    std::vector<QByteArray> directories;
    if (!Write_Streams(&index, &error) ||
        !Replace_Files(bool(last_step), &index, &error, &directories))
        return Failed_At(index, qt_error_string(error));
    for (std::size_t i = 0; i < d_entries.size(); ++i)
        if (d_entries[i].kind == TEntry::IN_PLACE && !Write_In_Place(&d_entries[i], &error))
            return Failed_At(i, qt_error_string(error));
    QString step_reason;
    if (last_step && !last_step(&step_reason))
        return Failed_At(d_entries.size(), step_reason);

    for (TEntry &entry : d_entries)
        if (!entry.old_name.isEmpty())
            ::unlink(entry.old_name.constData());
    for (TEntry &entry : d_entries)
        entry.old_name.clear();
    Abort();
    for (std::size_t i = 0; i < directories.size(); ++i)
        if (std::find(directories.begin(), directories.begin() + i, directories[i]) ==
            directories.begin() + i)
            Sync_Directory(directories[i]);
    return true;
}

void TCommit::Abort()
{
    for (TEntry &entry : d_entries) {
        if (entry.fd >= 0 && entry.kind != TEntry::DESCRIPTOR)
            ::close(entry.fd);
        if (!entry.temp_name.isEmpty())
            ::unlink(entry.temp_name.constData());
        // A kept file whose target could not be put back is the only copy left of it.
        if (!entry.old_name.isEmpty() && !entry.replaced)
            ::unlink(entry.old_name.constData());
        if (entry.old_fd >= 0)
            ::close(entry.old_fd);
    }
    d_entries.clear();
    for (const TLock &lock : d_locks)
        ::close(lock.fd);
    d_locks.clear();
}

bool Write_File(const QString &file_name, const QByteArray &data, QString *reason, bool *in_place)
{
    TCommit commit;
    return commit.Prepare(file_name, data, reason, in_place) && commit.Commit(nullptr, reason);
}

} // namespace SafeWrite
