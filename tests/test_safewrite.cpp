#include "core/safewrite.h"

#include "test_support.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>

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

} // namespace

class TSafeWriteTest : public QObject
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
};

void TSafeWriteTest::New_And_Replaced_Files()
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

void TSafeWriteTest::Symbolic_Links()
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

void TSafeWriteTest::Refused_Targets()
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

void TSafeWriteTest::Devices_And_Fifos()
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

void TSafeWriteTest::Read_Only_File_And_Directory()
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

    // A writable file in a folder the user may not change cannot be replaced safely either.
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    const QString locked = dir.filePath("locked");
    const QString inner = dir.filePath("locked/open.quorval");
    QVERIFY(Write_All(inner, "old inner"));
    QVERIFY(Set_Mode(inner, 0666));
    QVERIFY(Set_Mode(locked, 0555));
    QCOMPARE(Run_In_Child([&] {
                 if (!Become_Unprivileged())
                     return QStringLiteral("cannot switch to nobody");
                 return Check_Refused(inner, "old inner", "Permission denied", locked);
             }),
             Child_Ok);
    QVERIFY(Set_Mode(locked, 0755));
}

void TSafeWriteTest::Full_Disk()
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
void TSafeWriteTest::File_Size_Limit()
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

QTEST_GUILESS_MAIN(TSafeWriteTest)
#include "test_safewrite.moc"
