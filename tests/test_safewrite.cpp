#include "core/base/safewrite.h"

#include "test_support.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cstddef>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

using namespace Support;

namespace {

const QString Child_Ok = QStringLiteral("OK");

QByteArray Pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return data;
}

// Checks done in a child after a refused write: reason, unchanged old content, nothing left over.
QString Check_Refused(const QString &file_name, const QByteArray &old_content,
                      const QString &expected_reason, const QString &directory)
{
    QString reason;
    const QStringList before = Entries(directory);
    if (SafeWrite::Write_File(file_name, Pattern(100000), &reason))
        return QStringLiteral("write reported success");
    if (reason != expected_reason)
        return QStringLiteral("reason was '%1'").arg(reason);
    if (Read_All(file_name) != old_content)
        return QStringLiteral("old content changed");
    if (Entries(directory) != before)
        return QStringLiteral("left files behind: %1").arg(Entries(directory).join(' '));
    return Child_Ok;
}

// Whether the file system of folder can hold unnamed files (O_TMPFILE).
bool Has_Unnamed_Files(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// In a child: the write end of the pipe on which it tells its parent that it was stopped.
int Stopped_Notice = -1;

// Runs when a write goes beyond the file-size limit: the child is then in the middle of writing.
// It tells the parent and waits there to be killed.
extern "C" void Stop_Mid_Write(int)
{
    const char notice = 'w';
    if (::write(Stopped_Notice, &notice, 1) == 1)
        for (;;)
            ::pause();
    ::_exit(4);
}

// In a child: from now on the given system calls (three at most) fail with EIO, by a seccomp
// filter; Install is async-signal-safe.
struct TFailing_Calls
{
    sock_filter code[8];
    sock_fprog program{0, code};

    TFailing_Calls(std::initializer_list<long> calls)
    {
        code[program.len++] = BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr));
        for (const long call : calls) {
            code[program.len++] = BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(call), 0, 1);
            code[program.len++] = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO);
        }
        code[program.len++] = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW);
    }
    bool Install() const
    {
        return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
               ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
    }
};

const TFailing_Calls Failing_Renames({SYS_rename, SYS_renameat, SYS_renameat2});
extern "C" void Fail_Renames_From_Now(int) { Failing_Renames.Install(); }

} // namespace

class TTestSafeWrite : public QObject
{
    Q_OBJECT

private slots:
    void New_And_Replaced_Files();
    void Symbolic_Links();
    void Refused_Targets();
    void Devices_And_Fifos();
    void Read_Only_File_And_Directory();
    void Full_Disk();
    void File_Size_Limit();
    void Killed_Writer_Leaves_Nothing_data();
    void Killed_Writer_Leaves_Nothing();
    void Left_Temporary_Files_Removed_By_The_Next_Write();
    void Concurrent_Writers_data();
    void Concurrent_Writers();
    void Second_Writer_Gives_Up();
    void Failed_Roll_Back_Keeps_The_Old_File();
    void Commit_Replaces_Every_File();
    void Failed_Commit_Replaces_Nothing_data();
    void Failed_Commit_Replaces_Nothing();
    void Failed_Commit_Puts_Back_Replaced_Files_data();
    void Failed_Commit_Puts_Back_Replaced_Files();
    void Descriptors_Written_In_Place_data();
    void Descriptors_Written_In_Place();
    void Unusable_Descriptors_Refused_data();
    void Unusable_Descriptors_Refused();
    void Same_File_data();
    void Same_File();
};

void TTestSafeWrite::New_And_Replaced_Files()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = dir.filePath("data.quorval");

    QString reason = QStringLiteral("untouched");
    QVERIFY(SafeWrite::Write_File(name, QByteArray("first\n"), &reason));
    QCOMPARE(Read_All(name), QByteArray("first\n"));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QCOMPARE(Mode_Of(name), static_cast<mode_t>(0666 & ~mask));

    // Replacing keeps the permissions the user gave the old file; a large content arrives whole.
    QVERIFY(Set_Mode(name, 0640));
    const QByteArray big = Pattern(5 * 1024 * 1024 + 17);
    QVERIFY(SafeWrite::Write_File(name, big, &reason));
    QCOMPARE(Read_All(name), big);
    QCOMPARE(Mode_Of(name), static_cast<mode_t>(0640));

    QVERIFY(SafeWrite::Write_File(name, QByteArray(), nullptr));
    QCOMPARE(QFileInfo(name).size(), qint64(0));
    QCOMPARE(Entries(dir.path()), QStringList{"data.quorval"});
}

void TTestSafeWrite::Symbolic_Links()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("real"));
    QVERIFY(QDir(dir.path()).mkdir("links"));
    const QString target = dir.filePath("real/target.quorval");
    const QString link = dir.filePath("links/link.quorval");
    const QString link_to_link = dir.filePath("links/second.quorval");
    QVERIFY(Write_All(target, "old"));
    QVERIFY(Set_Mode(target, 0600));
    // Relative links are resolved from the link's own folder, not the working directory.
    QVERIFY(::symlink("../real/target.quorval", QFile::encodeName(link).constData()) == 0);
    QVERIFY(::symlink("link.quorval", QFile::encodeName(link_to_link).constData()) == 0);

    QString reason;
    QVERIFY2(SafeWrite::Write_File(link_to_link, "new content", &reason), qPrintable(reason));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(link_to_link).isSymLink());
    QCOMPARE(QFile::symLinkTarget(link), target);
    QCOMPARE(Read_All(target), QByteArray("new content"));
    QCOMPARE(Mode_Of(target), static_cast<mode_t>(0600));
    QCOMPARE(Entries(dir.filePath("real")), QStringList{"target.quorval"});

    // A dangling link gets its target created.
    const QString dangling = dir.filePath("links/dangling.quorval");
    QVERIFY(::symlink("../real/created.quorval", QFile::encodeName(dangling).constData()) == 0);
    QVERIFY2(SafeWrite::Write_File(dangling, "created", &reason), qPrintable(reason));
    QVERIFY(QFileInfo(dangling).isSymLink());
    QCOMPARE(Read_All(dir.filePath("real/created.quorval")), QByteArray("created"));

    // A link loop is reported, not followed forever.
    const QString loop = dir.filePath("links/loop");
    QVERIFY(::symlink("loop", QFile::encodeName(loop).constData()) == 0);
    QVERIFY(!SafeWrite::Write_File(loop, "x", &reason));
    QCOMPARE(reason, qt_error_string(ELOOP));
}

void TTestSafeWrite::Refused_Targets()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString reason;

    QVERIFY(!SafeWrite::Write_File(dir.path(), "x", &reason));
    QCOMPARE(reason, QStringLiteral("Is a directory"));
    QVERIFY(QFileInfo(dir.path()).isDir());

    QVERIFY(!SafeWrite::Write_File(dir.filePath("missing/data.quorval"), "x", &reason));
    QCOMPARE(reason, QStringLiteral("No such file or directory"));

    QVERIFY(!SafeWrite::Write_File(QString(), "x", &reason));
    QCOMPARE(reason, QStringLiteral("No such file or directory"));
    QCOMPARE(Entries(dir.path()), QStringList());
}

void TTestSafeWrite::Devices_And_Fifos()
{
    QString reason;
    // A device stays a device: it is written into, never replaced by a regular file.
    QVERIFY2(SafeWrite::Write_File("/dev/null", "discarded", &reason), qPrintable(reason));
    QVERIFY(!QFileInfo("/dev/null").isFile());
    QVERIFY(!SafeWrite::Write_File("/dev/full", "x", &reason));
    QCOMPARE(reason, QStringLiteral("No space left on device"));
    QVERIFY(!QFileInfo("/dev/full").isFile());

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fifo = dir.filePath("pipe");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    // No reader: refused at once instead of blocking the program.
    QVERIFY(!SafeWrite::Write_File(fifo, "x", &reason));
    QCOMPARE(reason, qt_error_string(ENXIO));

    // With a reader the data goes through the pipe.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QVERIFY2(SafeWrite::Write_File(fifo, "through", &reason), qPrintable(reason));
    char buffer[16] = {};
    QCOMPARE(::read(reader, buffer, sizeof(buffer)), ssize_t(7));
    ::close(reader);
    QCOMPARE(QByteArray(buffer), QByteArray("through"));
    struct stat st;
    QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
}

void TTestSafeWrite::Read_Only_File_And_Directory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(Set_Mode(dir.path(), 0777));
    const QString name = dir.filePath("protected.quorval");
    QVERIFY(Write_All(name, "keep me"));
    QVERIFY(Set_Mode(name, 0444));

    QCOMPARE(Run_In_Child([&] {
                 if (!Become_Unprivileged())
                     return QStringLiteral("cannot switch to nobody");
                 return Check_Refused(name, "keep me", "Permission denied", dir.path());
             }),
             Child_Ok);
    QCOMPARE(Mode_Of(name), static_cast<mode_t>(0444));

    // A writable file in a folder the user may not change is written in place, and holds just
    // the new content.
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    const QString locked = dir.filePath("locked");
    const QString inner = dir.filePath("locked/open.quorval");
    QVERIFY(Write_All(inner, "old inner") && Set_Mode(inner, 0666) && Set_Mode(locked, 0555));
    QCOMPARE(Run_In_Child([&] {
                 bool in_place = false;
                 QString reason = QStringLiteral("not written in place as nobody");
                 for (const QByteArray &content : {Pattern(5000), QByteArray("short")})
                     if (!Become_Unprivileged() ||
                         !SafeWrite::Write_File(inner, content, &reason, &in_place) || !in_place ||
                         Read_All(inner) != content)
                         return reason;
                 return Entries(locked).join(' ');
             }),
             QString("open.quorval"));

    // A write in place that fails every time leaves the file as it was: not even the room
    // reserved for the new content shows.
    QCOMPARE(Run_In_Child([&] {
                 QString reason = QStringLiteral("no system call filter");
                 if (Become_Unprivileged() && TFailing_Calls({SYS_pwrite64}).Install())
                     SafeWrite::Write_File(inner, Pattern(20000), &reason);
                 return reason;
             }),
             qt_error_string(EIO) + "; " + inner + " cannot be put back as it was");
    QCOMPARE(Read_All(inner), QByteArray("short"));
    QVERIFY(Set_Mode(locked, 0755));
}

void TTestSafeWrite::Full_Disk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString mount_point = dir.path();

    const QString result = Run_In_Child([&] {
        const QString unavailable = Mount_Small_Disk(mount_point);
        if (!unavailable.isEmpty())
            return QStringLiteral("SKIP: ") + unavailable;

        const QString name = mount_point + "/data.quorval";
        QString reason;
        const QByteArray old_content = Pattern(20000);
        if (!SafeWrite::Write_File(name, old_content, &reason))
            return QStringLiteral("first write failed: ") + reason;
        // Old file (20 kB) plus new file must fit: 30 kB does, 50 kB does not on 64 kB.
        if (!SafeWrite::Write_File(name, Pattern(30000), &reason))
            return QStringLiteral("fitting write failed: ") + reason;
        if (Read_All(name) != Pattern(30000))
            return QStringLiteral("fitting write gave wrong content");
        if (!SafeWrite::Write_File(name, old_content, &reason))
            return QStringLiteral("rewrite failed: ") + reason;
        return Check_Refused(name, old_content, "No space left on device", mount_point);
    });
    if (result.startsWith("SKIP: "))
        QSKIP(qPrintable(result));
    QCOMPARE(result, Child_Ok);
}

// Under "ulimit -f" the kernel ends a program with SIGXFSZ at the first write beyond the limit;
// with the signal set aside as both programs' main does, the write fails and is reported.
void TTestSafeWrite::File_Size_Limit()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = dir.filePath("limited.quorval");
    QVERIFY(Write_All(name, "short old content"));

    QCOMPARE(Run_In_Child([&] {
                 if (!Limit_File_Size(4096))
                     return QStringLiteral("setrlimit failed");
                 SafeWrite::Ignore_File_Size_Signal();
                 return Check_Refused(name, "short old content", "File too large", dir.path());
             }),
             Child_Ok);
}

void TTestSafeWrite::Killed_Writer_Leaves_Nothing_data()
{
    QTest::addColumn<bool>("after_another_file");
    QTest::newRow("one file") << false;
    QTest::newRow("second of two files") << true;
}

// A program killed while writing leaves no file behind: the new content goes into an unnamed
// file until it replaces the target. The child is stopped in the middle of its write by the
// file-size limit, and killed there.
void TTestSafeWrite::Killed_Writer_Leaves_Nothing()
{
    QFETCH(bool, after_another_file);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!Has_Unnamed_Files(dir.path()))
        QSKIP("the file system of the temporary folder has no unnamed files (O_TMPFILE): there "
              "a named temporary file is used, which a killed program leaves behind");
    const QString target = dir.filePath("data.quorval");
    QVERIFY(Write_All(target, "old content"));
    const QStringList before = Entries(dir.path());

    int notice[2] = {-1, -1};
    QVERIFY(::pipe(notice) == 0);
    const pid_t pid = ::fork();
    QVERIFY(pid >= 0);
    if (pid == 0) {
        ::close(notice[0]);
        Stopped_Notice = notice[1];
        std::signal(SIGXFSZ, Stop_Mid_Write);
        const struct rlimit limit = {1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        SafeWrite::TCommit commit;
        if (after_another_file)
            commit.Prepare(dir.filePath("report.txt"), Pattern(1000), nullptr);
        commit.Prepare(target, Pattern(4 << 20), nullptr);
        ::_exit(5); // not reached: the write beyond the limit stops the child
    }
    ::close(notice[1]);
    // A child that never stops is not waited for forever.
    struct pollfd ready = {notice[0], POLLIN, 0};
    char received = 0;
    const bool stopped = ::poll(&ready, 1, 120000) == 1 && ::read(notice[0], &received, 1) == 1;
    const QStringList during = Entries(dir.path());
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(notice[0]);

    QVERIFY(stopped);
    QCOMPARE(during, before);
    QCOMPARE(Entries(dir.path()), before);
    QCOMPARE(Read_All(target), QByteArray("old content"));
}

// A killed program can leave named temporary files in the folder: the next write there removes
// those of any target (and the second name of the old file that a commit killed before its
// renames gave it), but not one that a running program holds, one newer than the write, nor a
// file of a like shape that is the user's own: another name, a second link, another owner.
void TTestSafeWrite::Left_Temporary_Files_Removed_By_The_Next_Write()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto Path = [&dir](const char *name) { return QFile::encodeName(dir.filePath(name)); };
    const char *const removed[] = {".data.quorval.quorval-0left00000000.tmp",
                                   ".other.quorval-0left00000000.tmp",
                                   ".data.quorval.quorval-0keptbykilled.tmp"};
    const char *const kept[] = {
        ".data.quorval.quorval-0held00000000.tmp", ".data.quorval.quorval-left.tmp",
        ".data.quorval.quorval-0newer0000000.tmp", ".data.quorval.quorval-0linked000000.tmp",
        ".data.quorval.quorval-0foreign00000.tmp"};
    QVERIFY(Write_All(dir.filePath("data.quorval"), "old"));
    QVERIFY(::link(Path("data.quorval"), Path(removed[2])) == 0);
    for (const char *name : {removed[0], removed[1], kept[0], kept[1], kept[2], kept[3], kept[4]})
        QVERIFY(Write_All(dir.filePath(name), "x"));
    const struct timespec newer[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 3600, 0}};
    QVERIFY(::utimensat(AT_FDCWD, Path(kept[2]), newer, 0) == 0);
    QVERIFY(::link(Path(kept[3]), Path("users-copy")) == 0);
    QStringList expected = Entries(dir.path());
    for (const char *name : removed)
        expected.removeOne(name);
    if (::geteuid() != 0) // only root can give a file away
        expected.removeOne(kept[4]);
    else
        QVERIFY(::chown(Path(kept[4]), 65534, 65534) == 0);
    const int held = ::open(Path(kept[0]), O_RDONLY);
    QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
    QVERIFY(SafeWrite::Write_File(dir.filePath("data.quorval"), "new", nullptr));
    ::close(held);
    QCOMPARE(Entries(dir.path()), expected);
}

void TTestSafeWrite::Concurrent_Writers_data()
{
    QTest::addColumn<bool>("in_place");
    QTest::newRow("one file written in place") << true;
    QTest::newRow("a report and a CSV in two folders") << false;
}

// Two programs writing the same files at once, 40 times (the second names them in the other
// order): one waits for the other, and the files hold all that one of them wrote: never the old
// content, never the report of one beside the CSV of the other. As nobody, the report's folder
// allows no new file, so that it is written in place.
void TTestSafeWrite::Concurrent_Writers()
{
    QFETCH(bool, in_place);
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && Set_Mode(dir.path(), 0777));
    QVERIFY(QDir(dir.path()).mkdir("one") && QDir(dir.path()).mkdir("two"));
    const QStringList targets =
        QStringList{dir.filePath("one/report.txt"), dir.filePath("two/rows.csv")}.mid(0,
                                                                                      2 - in_place);
    const QByteArray pattern = Pattern(1 << 18);
    const auto Content = [&pattern](int run, const QString &target) {
        return QByteArray::number(run) + QFile::encodeName(target) + pattern;
    };
    for (int round = 0; round < 40; ++round) {
        for (const QString &target : targets)
            QVERIFY(Write_All(target, "old") && Set_Mode(target, 0666));
        QVERIFY(Set_Mode(dir.filePath("one"), in_place ? 0555 : 0777));
        int go[2] = {-1, -1};
        QVERIFY(::pipe(go) == 0);
        pid_t children[2];
        for (int run = 0; run < 2; ++run) {
            if ((children[run] = ::fork()) != 0)
                continue;
            ::close(go[1]);
            char end = 0; // both start at the end of the pipe
            SafeWrite::TCommit commit;
            QStringList names = targets;
            std::rotate(names.begin(), names.begin() + run % names.size(), names.end());
            bool ok = ::read(go[0], &end, 1) == 0 && (!in_place || Become_Unprivileged()) &&
                      commit.Lock(names, nullptr, nullptr);
            for (const QString &target : targets)
                ok = ok && commit.Prepare(target, Content(run, target), nullptr);
            ::_exit(ok && commit.Commit(nullptr, nullptr) ? 0 : 1);
        }
        ::close(go[0]);
        ::close(go[1]);
        for (const pid_t child : children) {
            int status = -1;
            QVERIFY(::waitpid(child, &status, 0) == child && status == 0);
        }
        QVERIFY(Set_Mode(dir.filePath("one"), 0755));
        const int last = Read_All(targets[0]).startsWith('1') ? 1 : 0;
        for (const QString &target : targets)
            QVERIFY2(Read_All(target) == Content(last, target), qPrintable(target));
    }
}

// A writer waits for another that holds the folder of its target (here the second of the two
// that the other locked together), then gives up with the reason and changes nothing.
void TTestSafeWrite::Second_Writer_Gives_Up()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && QDir(dir.path()).mkdir("one") && QDir(dir.path()).mkdir("two"));
    SafeWrite::TCommit holder;
    QString reason;
    QVERIFY2(holder.Lock({dir.filePath("one/report.txt"), dir.filePath("two/rows.csv")}, nullptr,
                         &reason),
             qPrintable(reason));
    SafeWrite::Set_Lock_Wait(200);
    QVERIFY(!SafeWrite::Write_File(dir.filePath("two/other.csv"), "new", &reason));
    SafeWrite::Set_Lock_Wait(10000);
    QCOMPARE(reason, QString("another program is writing this file or its folder (waited 0.2 s)"));
    QCOMPARE(Entries(dir.filePath("two")), QStringList());
}

// A replaced file that a failed commit cannot put back (every rename fails once the write in
// place of the second file has failed) keeps its old content under a name that no writer
// removes, and the reason gives it; the user's retry leaves it there.
void TTestSafeWrite::Failed_Roll_Back_Keeps_The_Old_File()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && QDir(dir.path()).mkdir("locked"));
    const QString report = dir.filePath("report.txt");
    const QString plot = dir.filePath("locked/plot.png");
    QVERIFY(Write_All(report, "old report") && Write_All(plot, "old plot"));
    QVERIFY(Set_Mode(report, 0666) && Set_Mode(plot, 0666) && Set_Mode(dir.path(), 0777) &&
            Set_Mode(dir.filePath("locked"), 0555));
    const QString reason = Run_In_Child([&] {
        SafeWrite::TCommit commit;
        QString got = QStringLiteral("cannot switch to nobody");
        if (Become_Unprivileged() && Limit_File_Size(4096) &&
            std::signal(SIGXFSZ, Fail_Renames_From_Now) != SIG_ERR &&
            commit.Prepare(report, "new report", &got) && commit.Prepare(plot, Pattern(5000), &got))
            commit.Commit(nullptr, &got);
        return got;
    });
    QVERIFY(Set_Mode(dir.filePath("locked"), 0755));
    const QString kept = reason.section(" is in ", 1);
    QVERIFY2(reason == "File too large; " + report +
                           " cannot be put back as it was, its old content is in " + kept &&
                 kept.startsWith(report + ".kept-"),
             qPrintable(reason));
    QCOMPARE(Check_As_Unprivileged([&] { return SafeWrite::Write_File(report, "retry", nullptr); }),
             QString("ok"));
    QCOMPARE(Read_All(kept), QByteArray("old report"));
    QCOMPARE(Read_All(plot), QByteArray("old plot"));
}

void TTestSafeWrite::Commit_Replaces_Every_File()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString report = dir.filePath("report.txt");
    const QString csv = dir.filePath("rows.csv");
    QVERIFY(Write_All(report, "old report"));

    SafeWrite::TCommit commit;
    QString reason;
    QVERIFY2(commit.Prepare(report, "new report", &reason), qPrintable(reason));
    QVERIFY2(commit.Prepare(csv, "new rows", &reason), qPrintable(reason));
    // Prepared, not yet committed: the targets are as they were.
    QCOMPARE(Read_All(report), QByteArray("old report"));
    QVERIFY(!QFileInfo::exists(csv));
    int failed = -1;
    QVERIFY2(commit.Commit(&failed, &reason), qPrintable(reason));
    QCOMPARE(failed, -1);
    QCOMPARE(Read_All(report), QByteArray("new report"));
    QCOMPARE(Read_All(csv), QByteArray("new rows"));
    QCOMPARE(Entries(dir.path()), QStringList({"report.txt", "rows.csv"}));
}

void TTestSafeWrite::Failed_Commit_Replaces_Nothing_data()
{
    QTest::addColumn<QString>("second_name");
    QTest::addColumn<bool>("prepared");
    QTest::addColumn<QString>("reason");
    QTest::newRow("second cannot be prepared")
        << "missing/rows.csv" << false << "No such file or directory";
    QTest::newRow("device fails on commit") << "/dev/full" << true << "No space left on device";
    QTest::newRow("dropped without commit") << "rows.csv" << true << QString();
}

// A failure of any file, before or while committing, leaves every target as it was, and so does
// a commit that never comes.
void TTestSafeWrite::Failed_Commit_Replaces_Nothing()
{
    QFETCH(QString, second_name);
    QFETCH(bool, prepared);
    QFETCH(QString, reason);
    if (!QFileInfo::exists("/dev/full") && second_name == "/dev/full")
        QSKIP("no /dev/full");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString report = dir.filePath("report.txt");
    QVERIFY(Write_All(report, "old report"));
    const QString second = second_name.startsWith('/') ? second_name : dir.filePath(second_name);

    {
        SafeWrite::TCommit commit;
        QString got;
        QVERIFY2(commit.Prepare(report, "new report", &got), qPrintable(got));
        QCOMPARE(commit.Prepare(second, "new rows", &got), prepared);
        if (!reason.isEmpty()) {
            int failed = -1;
            if (prepared) {
                QVERIFY(!commit.Commit(&failed, &got));
                QCOMPARE(failed, 1);
            }
            QCOMPARE(got, reason);
        }
    }
    QCOMPARE(Read_All(report), QByteArray("old report"));
    QCOMPARE(Entries(dir.path()), QStringList({"report.txt"}));
}

void TTestSafeWrite::Failed_Commit_Puts_Back_Replaced_Files_data()
{
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("size"); // of its new content; the file-size limit is 4096
    QTest::addColumn<QString>("reason");
    QTest::newRow("rename refused by a sticky folder")
        << "sticky/plot.png" << 100 << "Operation not permitted";
    QTest::newRow("written in place beyond the file-size limit")
        << "locked/plot.png" << 5000 << "File too large";
}

// The last of three files fails after the first two have replaced their targets (as nobody, to
// whom the folders apply): the first is put back as it was, the new second one is gone, and no
// temporary file is left.
void TTestSafeWrite::Failed_Commit_Puts_Back_Replaced_Files()
{
    QFETCH(QString, last);
    QFETCH(int, size);
    QFETCH(QString, reason);
    if (::geteuid() != 0)
        QSKIP("the files must belong to another user than the writer, which only root can make");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("sticky") && QDir(dir.path()).mkdir("locked"));
    const QString report = dir.filePath("report.txt");
    const QString plot = dir.filePath(last);
    QVERIFY(Write_All(report, "old report") && Write_All(plot, "old plot"));
    QVERIFY(Set_Mode(report, 0666) && Set_Mode(plot, 0666) && Set_Mode(dir.path(), 0777) &&
            Set_Mode(dir.filePath("sticky"), 01777) && Set_Mode(dir.filePath("locked"), 0555));
    const QStringList before = Entries(dir.path()) + Entries(QFileInfo(plot).path());

    QCOMPARE(Run_In_Child([&] {
                 if (!Become_Unprivileged() || !Limit_File_Size(4096))
                     return QStringLiteral("cannot switch to nobody");
                 SafeWrite::Ignore_File_Size_Signal();
                 SafeWrite::TCommit commit;
                 QString got;
                 int failed = -1;
                 if (!commit.Prepare(report, "new report", &got) ||
                     !commit.Prepare(dir.filePath("rows.csv"), "new rows", &got) ||
                     !commit.Prepare(plot, Pattern(size), &got))
                     return QStringLiteral("prepare failed: ") + got;
                 return commit.Commit(&failed, &got) || failed != 2 ? QStringLiteral("no failure")
                                                                    : got;
             }),
             reason);
    QCOMPARE(Read_All(report), QByteArray("old report"));
    QCOMPARE(Read_All(plot), QByteArray("old plot"));
    QCOMPARE(Entries(dir.path()) + Entries(QFileInfo(plot).path()), before);
}

void TTestSafeWrite::Descriptors_Written_In_Place_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("/dev/fd of a file opened for appending")
        << "/dev/fd/%1" << int(O_APPEND) << QByteArray("before\nwritten");
    QTest::newRow("/proc/self/fd of a file, at its offset")
        << "/proc/self/fd/%1" << int(O_TRUNC) << QByteArray("before\nwritten");
    QTest::newRow("/dev/fd of a pipe") << "/dev/fd/%1" << -1 << QByteArray("written");
}

// A name of an open descriptor is written to that descriptor, at its offset and with its append
// mode, as a shell redirection means it: the file behind it is not replaced, and a pipe is not
// mistaken for a missing file.
void TTestSafeWrite::Descriptors_Written_In_Place()
{
    QFETCH(QString, name);
    QFETCH(int, flags);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("shell-output.csv");
    int fd = -1;
    int pipe_ends[2] = {-1, -1};
    if (flags < 0) {
        QVERIFY(::pipe(pipe_ends) == 0);
        fd = pipe_ends[1];
    } else {
        fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | flags, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "before\n", 7), ssize_t(7));
    }
    struct stat before;
    QVERIFY(::fstat(fd, &before) == 0);

    QString reason;
    const bool written = SafeWrite::Write_File(name.arg(fd), "written", &reason);
    QByteArray arrived;
    if (flags < 0) {
        ::close(pipe_ends[1]);
        char buffer[64] = {};
        const ssize_t n = ::read(pipe_ends[0], buffer, sizeof(buffer));
        arrived = QByteArray(buffer, n > 0 ? static_cast<int>(n) : 0);
        ::close(pipe_ends[0]);
    } else {
        ::close(fd);
        arrived = Read_All(file);
        struct stat after;
        QVERIFY(::stat(QFile::encodeName(file).constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(Entries(dir.path()), QStringList({"shell-output.csv"}));
    }
    QVERIFY2(written, qPrintable(reason));
    QCOMPARE(arrived, expected);
}

void TTestSafeWrite::Unusable_Descriptors_Refused_data()
{
    QTest::addColumn<bool>("open_read_only");
    QTest::newRow("closed") << false;
    QTest::newRow("open for reading only") << true;
}

void TTestSafeWrite::Unusable_Descriptors_Refused()
{
    QFETCH(bool, open_read_only);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("input.txt");
    QVERIFY(Write_All(file, "unchanged"));
    int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
    QVERIFY(fd >= 0);
    if (!open_read_only) {
        ::close(fd);
    }
    QString reason;
    const bool written = SafeWrite::Write_File(QStringLiteral("/dev/fd/%1").arg(fd), "x", &reason);
    if (open_read_only)
        ::close(fd);
    QVERIFY(!written);
    QCOMPARE(reason, qt_error_string(EBADF));
    QCOMPARE(Read_All(file), QByteArray("unchanged"));
}

void TTestSafeWrite::Same_File_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("new file, once through a linked folder") << "linked/new.txt"
                                                            << "real/new.txt" << true;
    QTest::newRow("two dangling links to one new file") << "dangling1"
                                                        << "dangling2" << true;
    QTest::newRow("dangling link and its target") << "dangling1"
                                                  << "real/new.txt" << true;
    QTest::newRow("new file, spelled with ./") << "real/./new.txt"
                                               << "real/new.txt" << true;
    QTest::newRow("existing file and a hard link") << "real/file"
                                                   << "hard" << true;
    QTest::newRow("existing file, once through a linked folder") << "linked/file"
                                                                 << "real/file" << true;
    QTest::newRow("two new names") << "real/a.txt"
                                   << "real/b.txt" << false;
    QTest::newRow("same name in two folders") << "real/new.txt"
                                              << "new.txt" << false;
    QTest::newRow("existing and new") << "real/file"
                                      << "real/new.txt" << false;
    QTest::newRow("a device twice") << "/dev/null"
                                    << "/dev/null" << false;
}

// Two names write the same file when they lead to one file, however they are spelled.
void TTestSafeWrite::Same_File()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("real"));
    QVERIFY(Write_All(dir.filePath("real/file"), "content"));
    auto Path = [&dir](const char *name) { return QFile::encodeName(dir.filePath(name)); };
    QVERIFY(::symlink("real", Path("linked").constData()) == 0);
    QVERIFY(::symlink("real/new.txt", Path("dangling1").constData()) == 0);
    QVERIFY(::symlink(Path("real/new.txt").constData(), Path("dangling2").constData()) == 0);
    QVERIFY(::link(Path("real/file").constData(), Path("hard").constData()) == 0);
    const QStringList before = Entries(dir.path());

    auto Full = [&dir](const QString &name) {
        return name.startsWith('/') ? name : dir.filePath(name);
    };
    QCOMPARE(SafeWrite::Same_File(Full(a), Full(b)), same);
    QCOMPARE(SafeWrite::Same_File(Full(b), Full(a)), same);
    QCOMPARE(Entries(dir.path()), before);
}

QTEST_GUILESS_MAIN(TTestSafeWrite)
#include "test_safewrite.moc"
