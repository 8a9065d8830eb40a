#include "core/base/safewrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
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

bool Fail(QString *reason, const QString &text)
{
    if (reason != nullptr)
        *reason = text;
    return false;
}

bool Fail_Errno(QString *reason, int error)
{
    return Fail(reason, qt_error_string(error));
}

QByteArray Directory_Of(const QByteArray &path)
{
    const int slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray Base_Name_Of(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

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

bool Write_All(int fd, const QByteArray &data, int *error)
{
    const char *p = data.constData();
    size_t remaining = static_cast<size_t>(data.size());
    while (remaining > 0) {
        const ssize_t written = ::write(fd, p, remaining < Max_Write_Chunk ? remaining
                                                                          : Max_Write_Chunk);
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

QByteArray Temp_Name(const QByteArray &target)
{
    return Directory_Of(target) + "/." + Base_Name_Of(target).left(Max_Temp_Base) + '.' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
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
        if (fd >= 0)
            return fd;
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
            *temp_name = name;
            return fd;
        }
        if (errno != EEXIST) {
            *error = errno;
            return -1;
        }
    }
    *error = EEXIST;
    return -1;
}

// Gives an unnamed file a random name beside its target, through its entry in /proc.
bool Link_Unnamed(int fd, const QByteArray &target, QByteArray *temp_name, int *error)
{
    const QByteArray entry = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < Max_Name_Attempts; ++attempt) {
        const QByteArray name = Temp_Name(target);
        if (::linkat(AT_FDCWD, entry.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) ==
            0) {
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

TCommit::~TCommit() { Abort(); }

bool TCommit::Prepare(const QString &file_name, const QByteArray &data, QString *reason)
{
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

    entry.kind = TEntry::FILE;
    entry.target = target.path;
    entry.fd = Create_Unnamed(target.path, &error);
    if (entry.fd < 0 && error == EOPNOTSUPP)
        entry.fd = Create_Named(target.path, &entry.temp_name, &error);
    if (entry.fd < 0)
        return Fail_Errno(reason, error);

    bool ok = Fill_New_File(entry.fd, exists, old_stat, data, &error);
    // An unnamed file stays open until Commit links it; a named one is complete now.
    if (!entry.temp_name.isEmpty() || !ok) {
        if (::close(entry.fd) != 0 && ok) {
            error = errno;
            ok = false;
        }
        entry.fd = -1;
    }
    if (!ok) {
        if (!entry.temp_name.isEmpty())
            ::unlink(entry.temp_name.constData());
        return Fail_Errno(reason, error);
    }
    d_entries.push_back(entry);
    return true;
}

bool TCommit::Commit(int *failed, QString *reason)
{
    int error = 0;
    auto Failed_At = [&](std::size_t index) {
        if (failed != nullptr)
            *failed = static_cast<int>(index);
        Abort();
        return Fail_Errno(reason, error);
    };

    // First what cannot be taken back, so that a failure there still replaces no file.
    for (std::size_t i = 0; i < d_entries.size(); ++i) {
        TEntry &entry = d_entries[i];
        if (entry.kind == TEntry::FILE)
            continue;
        if (!Write_All(entry.fd, entry.data, &error))
            return Failed_At(i);
        entry.data = QByteArray();
        if (entry.kind == TEntry::DEVICE) {
            const int result = ::close(entry.fd);
            entry.fd = -1;
            if (result != 0) {
                error = errno;
                return Failed_At(i);
            }
        }
    }
    // Every new file gets a name before any of them replaces its target.
    for (std::size_t i = 0; i < d_entries.size(); ++i) {
        TEntry &entry = d_entries[i];
        if (entry.kind != TEntry::FILE || !entry.temp_name.isEmpty())
            continue;
        if (!Link_Unnamed(entry.fd, entry.target, &entry.temp_name, &error))
            return Failed_At(i);
        const int result = ::close(entry.fd);
        entry.fd = -1;
        if (result != 0) {
            error = errno;
            return Failed_At(i);
        }
    }
    std::vector<QByteArray> directories;
    for (std::size_t i = 0; i < d_entries.size(); ++i) {
        TEntry &entry = d_entries[i];
        if (entry.kind != TEntry::FILE)
            continue;
        if (::rename(entry.temp_name.constData(), entry.target.constData()) != 0) {
            error = errno;
            return Failed_At(i);
        }
        entry.temp_name.clear();
        directories.push_back(Directory_Of(entry.target));
    }
    d_entries.clear();
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
    }
    d_entries.clear();
}

bool Write_File(const QString &file_name, const QByteArray &data, QString *reason)
{
    TCommit commit;
    return commit.Prepare(file_name, data, reason) && commit.Commit(nullptr, reason);
}

} // namespace SafeWrite
