#include "src/compute/entrytext.h"

#include "test_support.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

#include <sys/stat.h>

using Support::Entry;
using Entries = std::vector<Type::TEntryItem>;
Q_DECLARE_METATYPE(Entries)

namespace {

bool Same_Bits(const Entries &a, const Entries &b)
{
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0);
}

QString Describe(const Entries &entries)
{
    QString text;
    for (const Type::TEntryItem &e : entries)
        text += QStringLiteral("(%1 %2 %3) ")
                    .arg(e.nominal, 0, 'g', 17)
                    .arg(e.actual, 0, 'g', 17)
                    .arg(e.uc, 0, 'g', 17);
    return text;
}

} // namespace

class TTestEntryText : public QObject
{
    Q_OBJECT

private slots:
    // Where a text cannot tell its decimal mark, the tests' locale decides: ".".
    void init() { QLocale::setDefault(QLocale::c()); }

    void Accepted_Text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Entries>("expected");
        const Entries two = {Entry(10, 10.00012, 0.0003), Entry(20.5, 20.49987, 0.0004)};
        QTest::newRow("tab") << "10\t10.00012\t0.0003\n20.5\t20.49987\t0.0004\n" << two;
        QTest::newRow("semicolon") << "10;10.00012;0.0003\n20.5;20.49987;0.0004" << two;
        QTest::newRow("comma") << "10,10.00012,0.0003\n20.5,20.49987,0.0004\n" << two;
        QTest::newRow("runs of spaces")
            << "  10   10.00012 0.0003\n20.5  20.49987    0.0004  " << two;
        QTest::newRow("blanks around fields")
            << "10 ; 10.00012 ;0.0003\n 20.5;20.49987 ; 0.0004" << two;
        QTest::newRow("CRLF line ends") << "10\t10.00012\t0.0003\r\n20.5\t20.49987\t0.0004\r\n"
                                        << two;
        QTest::newRow("CR line ends") << "10\t10.00012\t0.0003\r20.5\t20.49987\t0.0004\r" << two;
        QTest::newRow("German CSV export")
            << "\"Nennma\u00df\",\"Istma\u00df\",\"Uc (k=2)\"\r\n\"10\",\"10,00012\",\"0,0003\"\r\n"
               "\"20,5\",\"20,49987\",\"0,0004\"\r\n"
            << two;
        QTest::newRow("quoted first line is data")
            << "\"10\",\"10,00012\",\"0,0003\"\r\n20,\"20,49987\",\"0,0004\"\r\n"
            << Entries{Entry(10, 10.00012, 0.0003), Entry(20, 20.49987, 0.0004)};
        QTest::newRow("US CSV export")
            << "Nominal,Actual,Uc (k=2)\r\n10,10.00012,3E-04\r\n"
               "\"1,020.5\",\"1,020.49987\",4E-04\r\n"
            << Entries{Entry(10, 10.00012, 0.0003), Entry(1020.5, 1020.49987, 0.0004)};
        QTest::newRow("quoted header with separators and quotes")
            << "\"Nominal; mm\";\"Actual \"\"measured\"\"\";Uc\n10;10,00012;0,0003\n"
               "20,5;20,49987;0,0004"
            << two;
        QTest::newRow("thousands beside a decimal point")
            << "1,000\t1,000.00012\t0.0003\n1,020.5\t1,020.49987\t4e-4"
            << Entries{Entry(1000, 1000.00012, 0.0003), Entry(1020.5, 1020.49987, 0.0004)};
        QTest::newRow("thousands beside a decimal comma")
            << "1.000;1.000,00012;0,0003\n1.000.000;1.000.000,5;1,5E-3"
            << Entries{Entry(1000, 1000.00012, 0.0003), Entry(1e6, 1000000.5, 0.0015)};
        // Where the other numbers chose the mark, the other one can only group thousands.
        QTest::newRow("thousands, decimal point shown elsewhere")
            << "10\t10.0001\t0.0003\n1,000\t1000.0001\t0.0003"
            << Entries{Entry(10, 10.0001, 0.0003), Entry(1000, 1000.0001, 0.0003)};
        QTest::newRow("thousands, decimal comma shown elsewhere")
            << "0,5;0,49993;0,00003\n1.000;1000,00012;0,0003"
            << Entries{Entry(0.5, 0.49993, 0.00003), Entry(1000, 1000.00012, 0.0003)};
        QTest::newRow("blank thousands")
            << "1 020,5;1\u00a0020,49987;0,0004\n\"1 020,5\";1\u202f020,49987;4e-4"
            << Entries{Entry(1020.5, 1020.49987, 0.0004), Entry(1020.5, 1020.49987, 0.0004)};
        QTest::newRow("decimal comma, spaces, one line")
            << "10 10,0001 0,0003" << Entries{Entry(10, 10.0001, 0.0003)};
        QTest::newRow("no-break spaces between fields")
            << "10\u00a010.0001\u00a00.0003" << Entries{Entry(10, 10.0001, 0.0003)};
        QTest::newRow("blank lines") << "\n\n10;10.00012;0.0003\n  \n\t\n20.5;20.49987;0.0004\n\n"
                                     << two;
        QTest::newRow("header") << "Nominal;Actual;Uc (k=2)\n10;10.00012;0.0003\n"
                                   "20.5;20.49987;0.0004"
                                << two;
        QTest::newRow("header after blank lines")
            << "\n\nnominal\tactual [mm]\tU\n10\t10.00012\t0.0003\n20.5\t20.49987\t0.0004" << two;
        QTest::newRow("decimal comma, tab")
            << "10\t10,00012\t0,0003\n20,5\t20,49987\t0,0004" << two;
        QTest::newRow("decimal comma, semicolon")
            << "10;10,00012;0,0003\n20,5;20,49987;0,0004" << two;
        QTest::newRow("decimal comma, spaces") << "10 10,00012 0,0003\n20,5 20,49987 0,0004" << two;
        QTest::newRow("exponents and signs")
            << "1e1\t+10.00012\t3e-4\n2.05E1\t20.49987\t4E-4" << two;
        QTest::newRow("full precision kept") << "0.1;0.30000000000000004;1e-300\n"
                                             << Entries{Entry(0.1, 0.30000000000000004, 1e-300)};
        QTest::newRow("negative zero and limits")
            << "-0;1e12;-1e12" << Entries{Entry(-0.0, 1e12, -1e12)};
    }

    void Accepted_Text()
    {
        QFETCH(QString, text);
        QFETCH(Entries, expected);
        const EntryText::TParsed parsed = EntryText::Parse(text);
        QVERIFY2(parsed.Accepted(),
                 parsed.bad_lines.empty() ? "" : qPrintable(parsed.bad_lines[0].reason));
        QVERIFY2(Same_Bits(parsed.entries, expected), qPrintable(Describe(parsed.entries)));
        QCOMPARE(parsed.data_line_count, int(expected.size()));
    }

    void Refused_Text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("bad_lines");
        QTest::addColumn<QString>("first_reason");
        QTest::newRow("text in a field")
            << "10;10.1;0.1\n20;abc;0.1\n30;30;0.1" << QList<int>{2} << "\"abc\" is not a number";
        QTest::newRow("a huge field, quoted in part")
            << "10;" + QString(5000, 'x') + ";0.1" << QList<int>{1}
            << "\"" + QString(200, 'x') + "\u2026 (5000 characters)\" is not a number";
        QTest::newRow("two fields") << "10;10.1;0.1\n20;20.1\n"
                                    << QList<int>{2} << "2 fields, not 3";
        QTest::newRow("four fields")
            << "10;10.1;0.1;7\n20;20.1;0.2" << QList<int>{1} << "4 fields, not 3";
        QTest::newRow("inf") << "10\t10.1\tinf" << QList<int>{1}
                             << "\"inf\" is not a finite number";
        QTest::newRow("nan") << "nan 10.1 0.1" << QList<int>{1} << "\"nan\" is not a finite number";
        QTest::newRow("overflowing exponent")
            << "10;1e999;0.1" << QList<int>{1} << "\"1e999\" is beyond \u00b11e12 mm";
        QTest::newRow("beyond 1e12")
            << "1.5e12;10;0.1\n10;10;0.1" << QList<int>{1} << "\"1.5e12\" is beyond \u00b11e12 mm";
        QTest::newRow("empty field") << "10;;0.1" << QList<int>{1} << "an empty field";
        // With comma as the separator a decimal comma would be another field.
        QTest::newRow("decimal comma with comma separator")
            << "10,10.1,0.1\n20,20,5,0.1" << QList<int>{2} << "4 fields, not 3";
        QTest::newRow("thousands separator")
            << "1.00,5;10;0.1" << QList<int>{1} << "\"1.00,5\" is not a number";
        const QString ambiguous = "\"%1\" is ambiguous: \",\" may separate thousands or mark the "
                                  "decimals; write it without thousands separators";
        QTest::newRow("ambiguous thousands, no other number")
            << "1,125\t1,125\t0" << QList<int>{1} << ambiguous.arg("1,125");
        QTest::newRow("other decimal mark")
            << "0,5;0,49993;0,00003\n1.5;1.50001;0,00003\n2,5;2,5;0,1" << QList<int>{2}
            << "\"1.5\" has the decimal mark \".\", but the text's numbers have \",\"";
        QTest::newRow("too close to 0")
            << "10;10;1e-400" << QList<int>{1} << "\"1e-400\" is too close to 0 to be stored";
        // No entries: nothing to add, and never a set emptied by an import.
        QTest::newRow("nothing") << "" << QList<int>{} << QString();
        QTest::newRow("only blank lines") << "\n \r\n\t\n" << QList<int>{} << QString();
        QTest::newRow("header alone") << "Nominal;Actual;Uc\n" << QList<int>{} << QString();
        // Line numbers count blank lines and the header; only the first line can be a header.
        QTest::newRow("line numbers") << "Nominal;Actual;Uc\n\n10;10;0.1\nx;y;z\n\n20;20\n"
                                      << QList<int>{4, 6} << "\"x\" is not a number";
        QTest::newRow("first five of seven")
            << "a;1;1\nb;1;1\nc;1;1\nd;1;1\ne;1;1\nf;1;1\n1;1;1\n"
               "g;1;1\n1;1;1\n"
            << QList<int>{1, 2, 3, 4, 5} << "\"a\" is not a number";
    }

    // A text with any bad line gives no entries at all, and names the first bad lines.
    void Refused_Text()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, bad_lines);
        QFETCH(QString, first_reason);
        const EntryText::TParsed parsed = EntryText::Parse(text);
        QVERIFY(!parsed.Accepted());
        QVERIFY(parsed.entries.empty());
        QList<int> lines;
        for (const EntryText::TBad_Line &bad : parsed.bad_lines)
            lines << bad.line;
        QCOMPARE(lines, bad_lines);
        if (bad_lines.isEmpty())
            return;
        QCOMPARE(parsed.bad_lines.front().reason, first_reason);
        QCOMPARE(parsed.bad_lines.front().text,
                 text.split('\n').value(bad_lines.front() - 1).remove('\r'));
    }

    void Seven_Bad_Lines_Are_Counted()
    {
        const EntryText::TParsed parsed =
            EntryText::Parse("a;1;1\nb;1;1\nc;1;1\nd;1;1\ne;1;1\nf;1;1\ng;1;1\n1;1;1\n");
        QCOMPARE(parsed.bad_line_count, 7);
        QCOMPARE(int(parsed.bad_lines.size()), EntryText::Most_Reported_Lines);
        QCOMPARE(parsed.data_line_count, 8);

        // Beyond a limit of entries the text is refused at the first line too many, before any
        // line is read: its bad lines are never found.
        const EntryText::TParsed too_many =
            EntryText::Parse("Nominal;Actual;Uc\na;1;1\n1;1;1\n2;2;2\n", QLatin1Char('.'), {}, 2);
        QVERIFY(too_many.too_many && !too_many.Accepted() && too_many.entries.empty());
        QCOMPARE(too_many.bad_line_count, 0);
        QVERIFY(EntryText::Parse("Nominal;Actual;Uc\n0;1;1\n1;1;1\n", QLatin1Char('.'), {}, 2)
                    .Accepted());
    }

    void Copied_Text_Reads_Back_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("US") << QLocale(QLocale::English, QLocale::UnitedStates);
    }

    // What Copy writes in the user's locale, Paste reads back bit for bit, whatever the values;
    // also where only the locale tells what 1,125 or 1.125 is.
    void Copied_Text_Reads_Back()
    {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        const Entries entries = {Entry(0.1 + 0.2, 100.00012, 1e-300),
                                 Entry(-123456789.123456789, std::nextafter(1.0, 2.0), 0.0),
                                 Entry(5e-324, -1e12, 2.5e-7), Entry(70, 70.0001, 0.0003)};
        const QString text = EntryText::Entries_Text(entries);
        QCOMPARE(text.count('\n'), 4);
        QVERIFY(!text.contains('e')); // fixed notation, never an exponent
        QVERIFY(text.startsWith(
            QString("0.30000000000000004\t100.00012\t0.000").replace('.', locale.decimalPoint())));
        for (const Entries &copied : {entries, Entries{Entry(1.125, 10.375, 1)}}) {
            const EntryText::TParsed parsed = EntryText::Parse(EntryText::Entries_Text(copied));
            QVERIFY(parsed.Accepted());
            QVERIFY2(Same_Bits(parsed.entries, copied), qPrintable(Describe(parsed.entries)));
        }
    }

    void Many_Lines()
    {
        Entries entries;
        for (int i = 0; i < 100000; ++i)
            entries.push_back(Entry(i * 0.5, i * 0.5 + 1e-5 * (i % 13), 1e-4 + 1e-7 * (i % 7)));
        QString text = EntryText::Entries_Text(entries);
        text.replace('\t', ';');
        // Progress climbs through the three passes over the text (lines, survey, reading).
        const qint64 size = text.size();
        std::vector<qint64> done;
        const EntryText::TParsed parsed =
            EntryText::Parse(text, QLatin1Char('.'), [&](qint64 characters, qint64 total) {
                done.push_back(characters);
                return total == 3 * size;
            });
        QVERIFY(parsed.Accepted());
        QVERIFY(Same_Bits(parsed.entries, entries));
        QVERIFY(done.size() > 3 * 20 && std::is_sorted(done.begin(), done.end()));
        QVERIFY(done.front() > 0 && done.back() > 2 * size && done.back() < 3 * size);

        // A stop in any pass ends the reading with nothing taken.
        for (qint64 pass = 0; pass < 3; ++pass) {
            const EntryText::TParsed stopped =
                EntryText::Parse(text, QLatin1Char('.'), [&](qint64 characters, qint64) {
                    return characters < pass * size + size / 2;
                });
            QVERIFY(stopped.stopped && !stopped.Accepted() && stopped.entries.empty());
        }
    }

    void Decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8") << QByteArray("1;2;3\n\xc2\xb5m") << true << "1;2;3\n\u00b5m";
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbf"
                                                      "1;2;3")
                                        << true << "1;2;3";
        QTest::newRow("UTF-16LE with BOM") << QByteArray("\xff\xfe"
                                                         "1\0;\0"
                                                         "2\0",
                                                         8)
                                           << true << "1;2";
        QTest::newRow("UTF-16BE with BOM") << QByteArray("\xfe\xff\0"
                                                         "1\0;\0"
                                                         "2",
                                                         8)
                                           << true << "1;2";
        QTest::newRow("NUL byte") << QByteArray("1;2;3\0\n", 7) << false << QString();
        QTest::newRow("not UTF-8: Windows-1252")
            << QByteArray("Nennma\xdf;\x80;\x81\xc2") << true << "Nennma\u00df;\u20ac;\u0081\u00c2";
        QTest::newRow("lone surrogate in UTF-16") << QByteArray("\xff\xfe"
                                                                "1\0\x00\xd8;\0",
                                                                8)
                                                  << false << QString();
        QTest::newRow("xls (OLE2)")
            << QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1") << false << QString();
        QTest::newRow("odd UTF-16") << QByteArray("\xff\xfe"
                                                  "1\0;",
                                                  5)
                                    << false << QString();
    }

    void Decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(QString, text);
        QString decoded = "untouched";
        QString reason;
        QCOMPARE(EntryText::Decode(bytes, &decoded, &reason), ok);
        QCOMPARE(decoded, ok ? text : QString("untouched"));
        QCOMPARE(reason.isEmpty(), ok);
    }

    void Read_File()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString good = dir.filePath("good.csv");
        QVERIFY(Support::Write_All(good, "Nennma\xdf;Istma\xdf;Uc\r\n10;10,001;0,002\r\n"));
        EntryText::TParsed parsed;
        QString reason;
        QVERIFY(EntryText::Read_File(good, &parsed, &reason));
        QVERIFY(parsed.Accepted());
        QVERIFY(Same_Bits(parsed.entries, {Entry(10, 10.001, 0.002)}));

        // Bad lines are not a read failure: the caller shows them.
        const QString bad = dir.filePath("bad.txt");
        QVERIFY(Support::Write_All(bad, "10;x;1\n"));
        QVERIFY(EntryText::Read_File(bad, &parsed, &reason));
        QCOMPARE(parsed.bad_line_count, 1);

        const QString binary = dir.filePath("binary.dat");
        QVERIFY(Support::Write_All(binary, QByteArray("10;1;1\0\0\0", 9)));
        QVERIFY(!EntryText::Read_File(binary, &parsed, &reason));
        QVERIFY(reason.contains("NUL"));

        QVERIFY(!EntryText::Read_File(dir.filePath("missing.txt"), &parsed, &reason));
        QCOMPARE(reason, QString("it does not exist"));
        QVERIFY(!EntryText::Read_File(dir.path(), &parsed, &reason));
        QCOMPARE(reason, QString("it is not a regular file"));
        // A FIFO is refused before it is opened, which would wait for a writer.
        const QString fifo = dir.filePath("fifo");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!EntryText::Read_File(fifo, &parsed, &reason));
        QCOMPARE(reason, QString("it is not a regular file"));
    }
};

QTEST_GUILESS_MAIN(TTestEntryText)
#include "test_entrytext.moc"
