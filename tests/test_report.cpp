#include "core/base/safewrite.h"
#include "src/compute/comparison.h"
#include "src/compute/report.h"

#include "test_support.h"

#include <QtTest>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

using Rows = std::vector<TComparison::TExportData>;
using namespace Support;

namespace {

const QByteArray Head = QByteArray("Comparison Data\n\n"
                                   "Position       Dev. A     Dev. B      Uc A      Uc A Adj    "
                                   "Uc B        En\n") +
                        QByteArray(82, '-') + '\n';

TComparison::TExportData Row_Both(double position, double dev_a, double dev_b, double uc_a,
                                  double uc_a_adj, double uc_b, double en)
{
    TComparison::TExportData row;
    row.position = position;
    row.dev_a = dev_a;
    row.dev_b = dev_b;
    row.uc_a = uc_a;
    row.uc_a_adj = uc_a_adj;
    row.uc_b = uc_b;
    row.en_value = en;
    row.dev_a_valid = row.dev_b_valid = row.uc_a_valid = row.uc_b_valid = true;
    return row;
}

TComparison::TExportData Row_B_Only(double position, double dev_b, double uc_b)
{
    TComparison::TExportData row;
    row.position = position;
    row.dev_a = 123.0; // computed but outside A's range: must not be printed
    row.uc_a = 456.0;
    row.dev_b = dev_b;
    row.uc_b = uc_b;
    row.dev_b_valid = row.uc_b_valid = true;
    return row;
}

// Writes the report in a child process, as the user "nobody" when this test runs as root (so that
// permissions apply) and under a file-size limit when one is given. Returns "ok" or the error.
QString Write_In_Child(const QString &file_name, const QByteArray &text, bool unprivileged,
                       rlim_t size_limit = RLIM_INFINITY)
{
    return Run_In_Child([&] {
        if (unprivileged && !Become_Unprivileged())
            return QStringLiteral("could not switch user");
        if (size_limit != RLIM_INFINITY) {
            if (!Limit_File_Size(size_limit))
                return QStringLiteral("could not set the limit");
            SafeWrite::Ignore_File_Size_Signal(); // as the window's main does
        }
        QString error;
        return Report::Write_File(file_name, text, &error) ? QStringLiteral("ok") : error;
    });
}

// A report line as QString::arg formats its numbers, the reference for the report's own
// formatting: each number fixed-point with four decimals, right-aligned in ten characters.
// The line as QString::arg writes each number; a value that is not finite is missing ("------").
// Each decimal beyond four widens the fields by one character.
QByteArray Reference_Line(const TComparison::TExportData &row, int decimals = 4)
{
    const auto Field = [decimals](const double &value) {
        const int width = 6 + decimals;
        if (!std::isfinite(value))
            return QByteArray("------").rightJustified(width, ' ');
        return QStringLiteral("%1").arg(value, width, 'f', decimals, QLatin1Char(' ')).toLatin1();
    };
    return Field(row.position) + "  " + Field(row.dev_a) + " " + Field(row.dev_b) + " " +
           Field(row.uc_a) + " " + Field(row.uc_a_adj) + " " + Field(row.uc_b) + " " +
           Field(row.en_value) + "\n";
}

} // namespace

class TTestReport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir d_dir;

    QString Path(const QString &name) const { return d_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(d_dir.isValid());
        // Reachable for the unprivileged child.
        QVERIFY(Set_Mode(d_dir.path(), 0755));
    }

    void Sets_Without_Overlap_Have_No_Summary()
    {
        const std::vector<Type::TEntryItem> a = {{0, 0.001, 0.0005}, {10, 10.002, 0.0006}};
        const std::vector<Type::TEntryItem> b = {{100, 99.999, 0.0004}, {110, 110.001, 0.0004}};
        TComparison comparison;
        Type::TOptions options;
        options.remove_deviations = false;
        QVERIFY(comparison.Calculate(a, b, 100.0, options));
        const QByteArray expected =
            Head +
            "    0.0000      0.0010     ------     0.0005     0.0005     ------     ------\n"
            "   10.0000      0.0020     ------     0.0006     0.0006     ------     ------\n"
            "  100.0000      ------    -0.0010     ------     ------     0.0004     ------\n"
            "  110.0000      ------     0.0010     ------     ------     0.0004     ------\n";
        QCOMPARE(Report::Text(comparison.Export_Rows(), 100.0, comparison.Data_B_Dev_Offset()),
                 expected);
        QCOMPARE(Report::Text({}, 0.0, 0.0), Head);
    }

    void Rows_And_Summary()
    {
        // Alignment off: the example row at 100 and a row at 300 covered by B alone.
        const Rows rows = {Row_Both(100, 0.0012, -0.0003, 0.0005, 0.0005, 0.0006,
                                    0.0015 / std::sqrt(0.0005 * 0.0005 + 0.0006 * 0.0006)),
                           Row_B_Only(300, 0.0004, 0.0007)};
        const QByteArray expected =
            Head + "  100.0000      0.0012    -0.0003     0.0005     0.0005     0.0006     1.9206\n"
                   "  300.0000      ------     0.0004     ------     ------     0.0007     ------\n"
                   "\n\n"
                   "Data B Pos Offset:   25.5000\n"
                   "Data B Dev Offset:    0.0000\n"
                   "En Avg:               1.9206\n"
                   "En Max:               1.9206\n";
        QCOMPARE(Report::Text(rows, 25.5, 0.0), expected);

        // Six decimals widen every column, the titles and the ruler by two characters each; a
        // summary number that is not finite is missing, never "inf".
        QCOMPARE(Report::Text(rows, 25.5, std::numeric_limits<double>::infinity(), 6),
                 QByteArray("Comparison Data\n\n"
                            "Position         Dev. A       Dev. B        Uc A        Uc A Adj    "
                            "  Uc B          En\n") +
                     QByteArray(96, '-') +
                     "\n  100.000000      0.001200    -0.000300     0.000500     0.000500     "
                     "0.000600     1.920553\n"
                     "  300.000000        ------     0.000400       ------       ------     "
                     "0.000700       ------\n"
                     "\n\n"
                     "Data B Pos Offset:   25.500000\n"
                     "Data B Dev Offset:      ------\n"
                     "En Avg:               1.920553\n"
                     "En Max:               1.920553\n");

        // Numbers keep the decimal point and no grouping whatever the user's locale.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QByteArray german = Report::Text(rows, 25.5, 0.0);
        QLocale::setDefault(previous);
        QCOMPARE(german, expected);
    }

    void Numbers_Print_As_Qt_Formats_Them_data()
    {
        QTest::addColumn<double>("value");
        const double inf = std::numeric_limits<double>::infinity();
        // Ties at four decimals (odd multiples of 1/32) round away from zero, -0 prints without
        // its sign, tiny negatives keep theirs.
        const double values[] = {0.0,          -0.0,    0.03125, -0.03125,   12.53125, 0.09375,
                                 -1e-5,        -4.9e-5, -5e-5,   5e-5,       1.00005,  2.5,
                                 1e15,         -1e15,   1e20,    123456.7,   inf,      -inf,
                                 std::nan(""), 5e-324,  -5e-324, 99999.99995};
        for (const double value : values)
            QTest::newRow(qPrintable(QString::number(value, 'g', 17))) << value;
        QTest::newRow("widest written in place") << -999999999999999.9;
        // Data-file values (five decimals) and arbitrary bit patterns.
        std::mt19937_64 random(20240601);
        for (int i = 0; i < 40; ++i) {
            QTest::newRow(qPrintable(QString("five decimals %1").arg(i)))
                << static_cast<double>(static_cast<std::int64_t>(random() % 2000000001) -
                                       1000000000) /
                       100000.0;
            const std::uint64_t bits = random();
            double value = 0.0;
            std::memcpy(&value, &bits, sizeof value);
            QTest::newRow(qPrintable(QString("bits %1").arg(i))) << value;
        }
    }

    void Numbers_Print_As_Qt_Formats_Them()
    {
        // The report formats its numbers itself for speed; every field must read as QString::arg
        // writes it, in every column.
        QFETCH(double, value);
        const TComparison::TExportData row =
            Row_Both(value, value, value, value, value, value, value);
        const QByteArray text = Report::Text({row}, 0.0, 0.0);
        QVERIFY(text.startsWith(Head));
        QCOMPARE(text.mid(Head.size()).split('\n').first() + "\n", Reference_Line(row));

        // Last in a line of ordinary numbers, after a line of them: the line is written in place
        // up to the value, and written again where the value needs Qt.
        const TComparison::TExportData ordinary = Row_Both(1.5, 0.25, -0.125, 0.5, 0.5, 0.75, 0.3);
        TComparison::TExportData last = ordinary;
        last.en_value = value;
        const QList<QByteArray> lines =
            Report::Text({ordinary, last}, 0.0, 0.0).mid(Head.size()).split('\n');
        QCOMPARE(lines.value(0) + "\n", Reference_Line(ordinary));
        QCOMPARE(lines.value(1) + "\n", Reference_Line(last));

        // With the most decimals the tool allows, the widest fields.
        // (Title, blank line, column titles and ruler come first.)
        QCOMPARE(Report::Text({row}, 0.0, 0.0, 12).split('\n').value(4) + "\n",
                 Reference_Line(row, 12));
    }

    void Wide_Numbers_Widen_Their_Fields()
    {
        // 100000 and -10000 need 11 characters in a line; 10000 and -1000 need 10 in the summary.
        // A zero combined uncertainty's 1000 counts in the average and the maximum.
        const Rows rows = {Row_Both(-5, -10000, 99999.99994, 0, 0, 0, 1000.0),
                           Row_Both(100000, 0, -0.00004, 0.1, 0.05, 0.2, 10000.0),
                           Row_B_Only(100001, -0.5, 0.3)};
        const QByteArray expected =
            Head +
            "   -5.0000  -10000.0000 99999.9999     0.0000     0.0000     0.0000  1000.0000\n"
            "100000.0000      0.0000    -0.0000     0.1000     0.0500     0.2000 10000.0000\n"
            "100001.0000      ------    -0.5000     ------     ------     0.3000     ------\n"
            "\n\n"
            "Data B Pos Offset: -1000.0000\n"
            "Data B Dev Offset: 10000.0000\n"
            "En Avg:            5500.0000\n"
            "En Max:            10000.0000\n";
        QCOMPARE(Report::Text(rows, -1000.0, 10000.0), expected);

        // The maximum starts at 0: all-zero En values print 0.0000 for both.
        const Rows zero = {Row_Both(1, 0.1, 0.1, 0.2, 0.2, 0.2, 0.0)};
        QVERIFY(Report::Text(zero, 0, 0)
                    .endsWith("En Avg:               0.0000\n"
                              "En Max:               0.0000\n"));
    }

    void Writes_And_Replaces_Files()
    {
        const Rows rows = {Row_Both(1, 0.1, 0.2, 0.3, 0.3, 0.4, 0.2), Row_B_Only(50, 1, 2)};
        const QByteArray text = Report::Text(rows, 0.0, 0.0);
        const QString first = Path("first.txt");
        QString error = QStringLiteral("untouched");
        QVERIFY(Report::Write_File(first, text, &error));
        QCOMPARE(error, QStringLiteral("untouched"));
        QCOMPARE(Read_All(first), text);

        // A longer existing file is replaced completely, not overwritten in place.
        QVERIFY(Write_All(first, QByteArray(100000, 'x')));
        QVERIFY(Report::Write_File(first, text, &error));
        QCOMPARE(Read_All(first), text);
        QCOMPARE(QDir(d_dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"first.txt"}));
    }

    void Unopenable_Names_Change_Nothing()
    {
        const QByteArray text = Report::Text({Row_B_Only(1, 2, 3)}, 0.0, 0.0);
        QString error;
        QVERIFY(!Report::Write_File(Path("missing/report.txt"), text, &error));
        QCOMPARE(error, "ERR  Cannot open file '" + Path("missing/report.txt") + "' for writing.");
        QVERIFY(!QFileInfo::exists(Path("missing")));

        QVERIFY(QDir(d_dir.path()).mkdir("folder"));
        error.clear();
        QVERIFY(!Report::Write_File(Path("folder"), text, &error));
        QCOMPARE(error, "ERR  Cannot open file '" + Path("folder") + "' for writing.");
        QVERIFY(QFileInfo(Path("folder")).isDir());

        error.clear();
        QVERIFY(!Report::Write_File(QString(), text, &error));
        QCOMPARE(error, QStringLiteral("ERR  Cannot open file '' for writing."));
    }

    void Permissions_Are_Respected()
    {
        // Run as an unprivileged user: root would pass every permission check.
        const QByteArray old = "old report\n";
        const QByteArray text = Report::Text({Row_B_Only(1, 2, 3)}, 0.0, 0.0);

        QVERIFY(QDir(d_dir.path()).mkdir("locked"));
        const QString locked = Path("locked");
        QVERIFY(Write_All(locked + "/existing.txt", old));
        QVERIFY(Set_Mode(locked, 0755));
        QVERIFY(Set_Mode(locked + "/existing.txt", 0644));
        if (::geteuid() != 0) {
            QVERIFY(Set_Mode(locked, 0555));
            QVERIFY(Set_Mode(locked + "/existing.txt", 0444));
        }

        QCOMPARE(Write_In_Child(locked + "/new.txt", text, true),
                 "ERR  Cannot open file '" + locked + "/new.txt' for writing.");
        QVERIFY(!QFileInfo::exists(locked + "/new.txt"));
        QCOMPARE(Write_In_Child(locked + "/existing.txt", text, true),
                 "ERR  Cannot open file '" + locked + "/existing.txt' for writing.");
        QCOMPARE(Read_All(locked + "/existing.txt"), old);

        // A write-protected file in a folder everyone may write to is not replaced either.
        QVERIFY(QDir(d_dir.path()).mkdir("open"));
        const QString open = Path("open");
        QVERIFY(Write_All(open + "/protected.txt", old));
        QVERIFY(Set_Mode(open + "/protected.txt", 0444));
        QVERIFY(Set_Mode(open, 0777));
        QCOMPARE(Write_In_Child(open + "/protected.txt", text, true),
                 "ERR  Cannot open file '" + open + "/protected.txt' for writing.");
        QCOMPARE(Read_All(open + "/protected.txt"), old);
        QCOMPARE(Entries(open), QStringList({"protected.txt"}));
        Set_Mode(locked, 0755);
    }

    void Short_Writes_Fail_And_Keep_The_Old_File()
    {
        // Beyond the file-size limit the write stops short: a failure with the system's reason,
        // the old report as it was and no temporary file left behind.
        QVERIFY(QDir(d_dir.path()).mkdir("limit"));
        const QString file = Path("limit/report.txt");
        const QByteArray old = "previous contents\n";
        QVERIFY(Write_All(file, old));
        const Rows rows(200, Row_Both(1, 0.1, 0.2, 0.3, 0.3, 0.4, 0.2));
        const QByteArray text = Report::Text(rows, 0.0, 0.0);
        QVERIFY(text.size() > 4096);
        QCOMPARE(Write_In_Child(file, text, false, 4096),
                 "ERR  Cannot write file '" + file + "': File too large");
        QCOMPARE(Read_All(file), old);
        QCOMPARE(Entries(Path("limit")), QStringList({"report.txt"}));
        QCOMPARE(Write_In_Child(file, text, false), QStringLiteral("ok"));
        QCOMPARE(Read_All(file), text);
    }

    void Full_Device_Fails()
    {
        if (!QFileInfo::exists("/dev/full"))
            QSKIP("no /dev/full");
        QString error;
        QVERIFY(!Report::Write_File("/dev/full", Report::Text({}, 0.0, 0.0), &error));
        QCOMPARE(error,
                 QStringLiteral("ERR  Cannot write file '/dev/full': No space left on device"));
    }
};

QTEST_GUILESS_MAIN(TTestReport)
#include "test_report.moc"
