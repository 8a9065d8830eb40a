#include "core/safewrite.h"

#include <QFile>
#include <QRandomGenerator>

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

// Follows symbolic links from path to the name that is finally written. A path that does not
// exist (a new file, or the target of a dangling link) is returned as it is.
bool Resolve_Target(const QByteArray &path, QByteArray *target, int *error)
{
    QByteArray current = path;
    for (int hops = 0; hops <= Max_Link_Hops; ++hops) {
        struct stat st;
        if (::lstat(current.constData(), &st) != 0) {
            if (errno == ENOENT) {
                *target = current;
                return true;
            }
            *error = errno;
            return false;
        }
        if (!S_ISLNK(st.st_mode)) {
            *target = current;
            return true;
        }
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

// Character devices and FIFOs cannot be replaced by a regular file: write into them as they are.
bool Write_Direct(const QByteArray &target, const QByteArray &data, QString *reason)
{
    // Non-blocking open so that a FIFO without a reader fails at once instead of hanging.
    const int fd = ::open(target.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Fail_Errno(reason, errno);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    int error = 0;
    if (!Write_All(fd, data, &error)) {
        ::close(fd);
        return Fail_Errno(reason, error);
    }
    if (::close(fd) != 0)
        return Fail_Errno(reason, errno);
    return true;
}

// Creates a new file beside the target with a random name. Mode 0666 lets the umask and a
// default ACL of the directory apply as for any new file.
int Create_Temporary(const QByteArray &target, QByteArray *temp_name, int *error)
{
    const QByteArray prefix =
        Directory_Of(target) + "/." + Base_Name_Of(target).left(Max_Temp_Base) + '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name =
            prefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
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

void Sync_Directory(const QByteArray &directory)
{
    // Best effort: makes the rename itself durable; a failure here cannot undo the rename.
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

namespace SafeWrite {

void Ignore_File_Size_Signal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

bool Write_File(const QString &file_name, const QByteArray &data, QString *reason)
{
    if (file_name.isEmpty())
        return Fail_Errno(reason, ENOENT);

    int error = 0;
    QByteArray target;
    if (!Resolve_Target(QFile::encodeName(file_name), &target, &error))
        return Fail_Errno(reason, error);

    struct stat old_stat;
    const bool exists = ::stat(target.constData(), &old_stat) == 0;
    if (!exists && errno != ENOENT)
        return Fail_Errno(reason, errno);
    if (exists) {
        if (S_ISDIR(old_stat.st_mode))
            return Fail_Errno(reason, EISDIR);
        if (S_ISCHR(old_stat.st_mode) || S_ISFIFO(old_stat.st_mode))
            return Write_Direct(target, data, reason);
        if (!S_ISREG(old_stat.st_mode))
            return Fail(reason, QStringLiteral("Not a regular file"));
        // The rename would replace a write-protected file; refuse as writing into it would.
        if (::access(target.constData(), W_OK) != 0)
            return Fail_Errno(reason, errno);
    }

    QByteArray temp_name;
    const int fd = Create_Temporary(target, &temp_name, &error);
    if (fd < 0)
        return Fail_Errno(reason, error);

    bool ok = true;
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
            error = errno;
            ok = false;
        }
    }
    if (ok && !Write_All(fd, data, &error))
        ok = false;
    // Space on some file systems is only allocated at sync time: a full disk may show up here.
    if (ok && ::fsync(fd) != 0) {
        error = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = errno;
        ok = false;
    }
    if (ok && ::rename(temp_name.constData(), target.constData()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(temp_name.constData());
        return Fail_Errno(reason, error);
    }
    Sync_Directory(Directory_Of(target));
    return true;
}

} // namespace SafeWrite
