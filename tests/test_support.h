#ifndef QUORVAL_TESTS_TEST_SUPPORT_H
#define QUORVAL_TESTS_TEST_SUPPORT_H

// Helpers shared by the tests: entries, whole files and folder listings, and checks run in a
// forked child (as an unprivileged user, under a file-size limit, on a small private disk, or to
// see an assertion stop the program), so that none of that touches the test process.

#include "src/compute/types.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <functional>
#include <vector>

#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Support {

inline Type::TEntryItem Entry(double nominal, double actual, double uc)
{
    return Type::TEntryItem{nominal, actual, uc};
}

inline bool Near(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

inline bool Same_Entries(const std::vector<Type::TEntryItem> &a,
                         const std::vector<Type::TEntryItem> &b, double tolerance = 0.0)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!Near(a[i].nominal, b[i].nominal, tolerance) ||
            !Near(a[i].actual, b[i].actual, tolerance) || !Near(a[i].uc, b[i].uc, tolerance))
            return false;
    return true;
}

inline QByteArray Read_All(const QString &file_name)
{
    QFile file(file_name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

inline bool Write_All(const QString &file_name, const QByteArray &data)
{
    QFile file(file_name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush();
}

// Everything in a folder, hidden entries included, by name: shows files left behind.
inline QStringList Entries(const QString &directory)
{
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

inline bool Set_Mode(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

inline mode_t Mode_Of(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

// The text of a PDF file as pdftotext (poppler-utils) lays it out, every page ending in a form
// feed; a line saying why when it cannot be read.
inline QString Pdf_Text(const QString &file_name)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {"-layout", file_name, "-"});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QStringLiteral("pdftotext failed: ") + process.errorString() +
               QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The table rows of a record's text in page order, fields separated by single spaces: the lines
// of seven or more fields that begin with a number or the filler.
inline QStringList Record_Rows(const QString &text)
{
    // A position and a deviation: no sentence of the record starts so.
    static const QRegularExpression first_field(
        QStringLiteral("^(-?[0-9]+\\.[0-9]{4,}|------) (-?[0-9]+\\.[0-9]+|------) "));
    QStringList rows;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString fields = line.simplified();
        if (fields.count(QLatin1Char(' ')) >= 6 && first_field.match(fields).hasMatch())
            rows.append(fields);
    }
    return rows;
}

// How a forked child ended and what it wrote.
struct TChildEnd
{
    int status = 0;          // as waitpid reports it
    bool hung = false;       // killed after the time limit
    QByteArray reply;        // what the body returned
    QByteArray error_output; // its standard error, when captured

    bool Exited_Cleanly() const { return !hung && WIFEXITED(status) && WEXITSTATUS(status) == 0; }
    bool Aborted() const { return !hung && WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT; }
};

// Runs body in a forked child and collects its reply (and its standard error, if asked), reading
// both pipes together so that a child filling one never blocks. A child still running after
// timeout_ms is killed, so that a test fails instead of hanging.
inline TChildEnd Run_Child(const std::function<QByteArray()> &body, bool capture_stderr,
                           int timeout_ms = 120000)
{
    TChildEnd end;
    int reply[2] = {-1, -1};
    int errors[2] = {-1, -1};
    if (::pipe(reply) != 0 || (capture_stderr && ::pipe(errors) != 0))
        qFatal("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        qFatal("fork failed");
    if (pid == 0) {
        ::close(reply[0]);
        if (capture_stderr) {
            ::close(errors[0]);
            ::dup2(errors[1], STDERR_FILENO);
        }
        const QByteArray text = body();
        const bool sent =
            ::write(reply[1], text.constData(), static_cast<size_t>(text.size())) == text.size();
        ::_exit(sent ? 0 : 3);
    }
    ::close(reply[1]);
    if (capture_stderr)
        ::close(errors[1]);

    struct pollfd fds[2] = {{reply[0], POLLIN, 0}, {errors[0], POLLIN, 0}};
    QByteArray *targets[2] = {&end.reply, &end.error_output};
    const nfds_t count = capture_stderr ? 2 : 1;
    int open = static_cast<int>(count);
    QElapsedTimer clock;
    clock.start();
    while (open > 0) {
        const qint64 left = timeout_ms - clock.elapsed();
        const int ready = left > 0 ? ::poll(fds, count, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ::kill(pid, SIGKILL);
            end.hung = true;
            break;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0) {
                targets[i]->append(buffer, static_cast<int>(n));
                continue;
            }
            ::close(fds[i].fd);
            fds[i].fd = -1;
            --open;
        }
    }
    for (nfds_t i = 0; i < count; ++i)
        if (fds[i].fd >= 0)
            ::close(fds[i].fd);
    ::waitpid(pid, &end.status, 0);
    return end;
}

// Runs body in a forked child and returns its text, or why the child did not end normally.
inline QString Run_In_Child(const std::function<QString()> &body)
{
    const TChildEnd end = Run_Child([&body] { return body().toUtf8(); }, false);
    if (end.hung)
        return QStringLiteral("child hung");
    if (!end.Exited_Cleanly())
        return QStringLiteral("child ended abnormally, status %1").arg(end.status);
    return QString::fromUtf8(end.reply);
}

// What body wrote to standard error when it aborted the program; empty if it did not abort.
inline QString Abort_Text(const std::function<void()> &body)
{
    const TChildEnd end = Run_Child(
        [&body] {
            body();
            return QByteArray();
        },
        true);
    return end.Aborted() ? QString::fromUtf8(end.error_output) : QString();
}

// Root ignores file permissions: in a child, drop to nobody so that read-only files really are
// read-only. Anyone else is left as they are.
inline bool Become_Unprivileged()
{
    if (::geteuid() != 0)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

// Runs check in a child without root's rights: "ok" when it returned true, otherwise what failed.
inline QString Check_As_Unprivileged(const std::function<bool()> &check)
{
    return Run_In_Child([&check] {
        if (!Become_Unprivileged())
            return QStringLiteral("cannot switch user");
        return check() ? QStringLiteral("ok") : QStringLiteral("check failed");
    });
}

// In a child: a file-size limit of bytes as "ulimit -f" sets it, with SIGXFSZ at its default
// disposition, which ends the program at the first write beyond the limit unless the program
// ignores the signal (as Quorval's programs do).
inline bool Limit_File_Size(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_DFL);
    const struct rlimit limit = {bytes, bytes};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// In a child: an address-space limit of what it uses now (statm's first field) plus bytes.
inline bool Limit_Address_Space(rlim_t bytes)
{
    const rlim_t used = Read_All("/proc/self/statm").split(' ').first().toULongLong() *
                        static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
    const struct rlimit limit = {used + bytes, used + bytes};
    return used > 0 && ::setrlimit(RLIMIT_AS, &limit) == 0;
}

// In a child: mounts a 64 kB tmpfs on mount_point in a private mount namespace (through a user
// namespace when not root), so that nobody else sees it. Returns an empty string or the reason it
// is not possible here.
inline QString Mount_Small_Disk(const QString &mount_point)
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(uid == 0 ? CLONE_NEWNS : (CLONE_NEWUSER | CLONE_NEWNS)) != 0)
        return QStringLiteral("no private mount namespace: ") + qt_error_string();
    if (uid != 0) {
        // Map the user to root inside, or files it creates there would have no owner.
        const bool mapped =
            Write_All("/proc/self/setgroups", "deny") &&
            Write_All("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") &&
            Write_All("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
        if (!mapped)
            return QStringLiteral("cannot map the user into its namespace");
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QStringLiteral("cannot make mounts private: ") + qt_error_string();
    if (::mount("tmpfs", QFile::encodeName(mount_point).constData(), "tmpfs", 0, "size=64k") != 0)
        return QStringLiteral("cannot mount a tmpfs: ") + qt_error_string();
    return QString();
}

} // namespace Support

#endif
