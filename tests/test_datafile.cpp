#include "src/compute/datafile.h"
#include "tests/reference/parsed_reader.h"

#include "core/base/xmlfile.h"
#include "src/compute/comparisondocument.h"

#include "test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using Items = std::vector<Type::TEntryItem>;
using namespace Support;

namespace {

DataFile::TContent Content(const Items &a, const Items &b, double offset_a, double offset_b)
{
    DataFile::TContent content;
    content.entries_a = a;
    content.entries_b = b;
    content.offset_a = offset_a;
    content.offset_b = offset_b;
    return content;
}

QByteArray Saved(const DataFile::TContent &content)
{
    QByteArray data;
    QString error;
    if (!DataFile::Save_Data(content, &data, &error))
        qWarning("%s", qPrintable(error));
    return data;
}

// A content that a failed load must leave exactly as it was.
DataFile::TContent Sentinel()
{
    DataFile::TContent content =
        Content({Entry(1, 2, 3)}, {Entry(4, 5, 6), Entry(7, 8, 9)}, 0.5, 1.5);
    content.version = 7;
    return content;
}

bool Same_Content(const DataFile::TContent &a, const DataFile::TContent &b)
{
    return Same_Entries(a.entries_a, b.entries_a) && Same_Entries(a.entries_b, b.entries_b) &&
           a.offset_a == b.offset_a && a.offset_b == b.offset_b && a.version == b.version;
}

// What the main window does with a loaded file, and what it saves of it: its document.
DataFile::TContent Shown_And_Saved(const DataFile::TContent &content, TComparisonDocument *document)
{
    document->Load(content, QString(), QString());
    return document->Content();
}

const char *const Two_One_Entry_Sets = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                       "<Quorval_Data File_Version=\"2\">\n"
                                       "    <Data_Set_A_Offset>0.00000</Data_Set_A_Offset>\n"
                                       "    <Data_Set_B_Offset>0.00000</Data_Set_B_Offset>\n"
                                       "    <Data_Set_A>\n"
                                       "        <Entry>\n"
                                       "            <Nominal>100.00000</Nominal>\n"
                                       "            <Actual>100.00120</Actual>\n"
                                       "            <Uc>0.00200</Uc>\n"
                                       "        </Entry>\n"
                                       "    </Data_Set_A>\n"
                                       "    <Data_Set_B>\n"
                                       "        <Entry>\n"
                                       "            <Nominal>100.00000</Nominal>\n"
                                       "            <Actual>100.00080</Actual>\n"
                                       "            <Uc>0.00300</Uc>\n"
                                       "        </Entry>\n"
                                       "    </Data_Set_B>\n"
                                       "</Quorval_Data>\n";

// A version 2 document with one entry in each set; the pieces can be replaced to damage it.
QByteArray Document(const QByteArray &root_attributes = "File_Version=\"2\"",
                    const QByteArray &offsets = "<Data_Set_A_Offset>0</Data_Set_A_Offset>"
                                                "<Data_Set_B_Offset>2</Data_Set_B_Offset>",
                    const QByteArray &entry_b = "<Nominal>1</Nominal><Actual>2</Actual>"
                                                "<Uc>3</Uc>")
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Quorval_Data " + root_attributes + ">" +
           offsets +
           "<Data_Set_A><Entry><Nominal>4</Nominal><Actual>5</Actual><Uc>6</Uc></Entry>"
           "</Data_Set_A><Data_Set_B><Entry>" +
           entry_b + "</Entry></Data_Set_B></Quorval_Data>\n";
}

// The files of the project that any reader change must read as before: the examples and the
// test data of the data file and of the XML layer.
QStringList Project_Files()
{
    QStringList files;
    for (const char *folder : {"../examples", "data/datafile", "data/xmlfile"}) {
        const QDir dir(QFINDTESTDATA(folder));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
            if (!name.endsWith(".txt"))
                files << dir.filePath(name);
    }
    return files;
}

// Loads data both ways, the byte reader with its fall-back and the conformant parser alone, and
// checks that they agree in everything: accepted or refused, content bit for bit, message.
// Returns the reader that decided, or fails the test.
struct TBoth
{
    bool read = false;
    DataFile::TContent content = Sentinel();
    QString error;
    DataFile::TReader reader = DataFile::READER_PARSER;
};

TBoth Load_Both(const QByteArray &data)
{
    TBoth fast;
    fast.read = DataFile::Load_Data(data, &fast.content, &fast.error, &fast.reader);
    TBoth reference;
    reference.read = Reference::Load_Parsed_Data(data, &reference.content, &reference.error);
    if (fast.read != reference.read || fast.error != reference.error ||
        !DataFile::Identical(fast.content, reference.content)) {
        qWarning("the readers disagree: fast %d '%s', parser %d '%s'", fast.read,
                 qPrintable(fast.error), reference.read, qPrintable(reference.error));
        fast.read = !reference.read;
    }
    return fast;
}

QByteArray Utf16(const QString &text, bool little_endian)
{
    QByteArray bytes = little_endian ? QByteArray("\xff\xfe", 2) : QByteArray("\xfe\xff", 2);
    for (const QChar c : text) {
        const char low = static_cast<char>(c.unicode() & 0xff);
        const char high = static_cast<char>(c.unicode() >> 8);
        bytes.append(little_endian ? low : high);
        bytes.append(little_endian ? high : low);
    }
    return bytes;
}

// A version 2 document around the given root content.
QByteArray Root(const QByteArray &content, const QByteArray &version = "2")
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Quorval_Data File_Version=\"" + version +
           "\">" + content + "</Quorval_Data>\n";
}

const QByteArray Offsets = "<Data_Set_A_Offset>0.5</Data_Set_A_Offset>"
                           "<Data_Set_B_Offset>2.5</Data_Set_B_Offset>";
const QByteArray Set_A = "<Data_Set_A><Entry><Nominal>4</Nominal><Actual>5</Actual><Uc>6</Uc>"
                         "</Entry></Data_Set_A>";

// Set B holding one entry with the given inside.
QByteArray Set_B(const QByteArray &entry)
{
    return "<Data_Set_B><Entry>" + entry + "</Entry></Data_Set_B>";
}

const QByteArray Plain_Entry = "<Nominal>1</Nominal><Actual>2</Actual><Uc>3</Uc>";
const QByteArray Settings = "<Align_Deviations>false</Align_Deviations>"
                            "<Position_Merge_Distance>0.25</Position_Merge_Distance>";

} // namespace

class TTestDataFile : public QObject
{
    Q_OBJECT

private slots:
    void Writes_The_Exact_Document()
    {
        const DataFile::TContent content =
            Content({Entry(100, 100.0012, 0.002)}, {Entry(100, 100.0008, 0.003)}, 0.0, 0.0);
        QCOMPARE(Saved(content), QByteArray(Two_One_Entry_Sets));

        // The same bytes reach a file.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file_name = dir.filePath("run1.quorval");
        QString error;
        QString checksum;
        QVERIFY(DataFile::Save_File(file_name, content, &error, nullptr, &checksum));
        QCOMPARE(Read_All(file_name), QByteArray(Two_One_Entry_Sets));
        // What sha256sum prints for those bytes, on saving and on loading them.
        const QString sha256 = "d70b902e6ddb5a7d57e758c7048274acd095f44bc4950683a2133a0db454dbcb";
        QCOMPARE(checksum, sha256);
        DataFile::TContent loaded;
        checksum.clear();
        QVERIFY(DataFile::Load_File(file_name, &loaded, &error, nullptr, &checksum));
        QCOMPARE(checksum, sha256);

        // The comparison's settings follow the sets, each only where it is not the default.
        DataFile::TContent with_settings = content;
        with_settings.align_deviations = true;
        with_settings.merge_distance = 1.0;
        QCOMPARE(Saved(with_settings), Saved(content));
        with_settings.align_deviations = false;
        with_settings.merge_distance = 0.0;
        QCOMPARE(
            Saved(with_settings),
            QByteArray(Two_One_Entry_Sets)
                .replace("</Quorval_Data>",
                         "    <Align_Deviations>false</Align_Deviations>\n"
                         "    <Position_Merge_Distance>0.00000</Position_Merge_Distance>\n"
                         "</Quorval_Data>"));

        // Then the identification texts that are not empty, in their order, as kept (trimmed,
        // "\n" line breaks), and read back as written by every reader.
        Type::TDetails details;
        details.item = QStringLiteral(" Gauge blocks \u00e9 S/N 1 ");
        details.operator_name = QStringLiteral("A. B. & C.");
        details.remarks = QStringLiteral("line 1\r\nline <2>");
        details.record_number = QStringLiteral("QR-17");
        details.set_b_dates = QStringLiteral("2024-05-06");
        DataFile::TContent with_details_content = content;
        with_details_content.details = details;
        const QByteArray with_details = Saved(with_details_content);
        QCOMPARE(with_details,
                 QByteArray(Two_One_Entry_Sets)
                     .replace("</Quorval_Data>", "    <Item>Gauge blocks \xc3\xa9 S/N 1</Item>\n"
                                                 "    <Operator>A. B. &amp; C.</Operator>\n"
                                                 "    <Remarks>line 1\nline &lt;2></Remarks>\n"
                                                 "    <Record_Number>QR-17</Record_Number>\n"
                                                 "    <Set_B_Calibration_Date>2024-05-06"
                                                 "</Set_B_Calibration_Date>\n"
                                                 "</Quorval_Data>"));
        const TBoth both = Load_Both(with_details);
        QVERIFY(both.read);
        QCOMPARE(both.content.details.item, QStringLiteral("Gauge blocks \u00e9 S/N 1"));
        QCOMPARE(both.content.details.operator_name, details.operator_name);
        QCOMPARE(both.content.details.remarks, QStringLiteral("line 1\nline <2>"));
        QCOMPARE(both.content.details.record_number, details.record_number);
        QCOMPARE(both.content.details.set_b_dates, details.set_b_dates);
        QVERIFY(both.content.details.set_a_description.isEmpty());
    }

    void Writes_Empty_Sets_Rounded_Sorted_Numbers()
    {
        QCOMPARE(Saved(Content({}, {}, 0.0, 0.0)),
                 QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                            "<Quorval_Data File_Version=\"2\">\n"
                            "    <Data_Set_A_Offset>0.00000</Data_Set_A_Offset>\n"
                            "    <Data_Set_B_Offset>0.00000</Data_Set_B_Offset>\n"
                            "    <Data_Set_A/>\n"
                            "    <Data_Set_B/>\n"
                            "</Quorval_Data>\n"));

        // Every digit a double needs beyond 5, negative values, sorting by actual (not nominal;
        // equal actual values keep their order), set A's offset written as 0 and B's relative
        // to it.
        const QByteArray data = Saved(Content({Entry(300, 300, 0.1), Entry(1.234567, -0.5, 1e-6),
                                               Entry(150, 200, 0.2), Entry(50, 200, 0.3)},
                                              {}, 1.0, -2.5));
        const QByteArray expected = "    <Data_Set_A_Offset>0.00000</Data_Set_A_Offset>\n"
                                    "    <Data_Set_B_Offset>-3.50000</Data_Set_B_Offset>\n"
                                    "    <Data_Set_A>\n"
                                    "        <Entry>\n"
                                    "            <Nominal>1.234567</Nominal>\n"
                                    "            <Actual>-0.50000</Actual>\n"
                                    "            <Uc>0.000001</Uc>\n"
                                    "        </Entry>\n"
                                    "        <Entry>\n"
                                    "            <Nominal>150.00000</Nominal>\n"
                                    "            <Actual>200.00000</Actual>\n"
                                    "            <Uc>0.20000</Uc>\n"
                                    "        </Entry>\n"
                                    "        <Entry>\n"
                                    "            <Nominal>50.00000</Nominal>\n"
                                    "            <Actual>200.00000</Actual>\n"
                                    "            <Uc>0.30000</Uc>\n"
                                    "        </Entry>\n"
                                    "        <Entry>\n"
                                    "            <Nominal>300.00000</Nominal>\n"
                                    "            <Actual>300.00000</Actual>\n"
                                    "            <Uc>0.10000</Uc>\n"
                                    "        </Entry>\n"
                                    "    </Data_Set_A>\n"
                                    "    <Data_Set_B/>\n";
        QVERIFY2(data.contains(expected), data.constData());

        DataFile::TContent read;
        QString error;
        QVERIFY2(DataFile::Load_Data(data, &read, &error), qPrintable(error));
        QCOMPARE(read.version, 2);
        QCOMPARE(read.offset_a, 0.0);
        QCOMPARE(read.offset_b, -3.5);
        QCOMPARE(read.entries_a.size(), std::size_t(4));
        QCOMPARE(read.entries_a[0].nominal, 1.234567);
        QVERIFY(read.entries_b.empty());

        // Values that cannot be written as a number are written as 0, as they would read back;
        // so is a negative zero (never "-0.00000"). Tiny values keep their digits.
        const double inf = std::numeric_limits<double>::infinity();
        const QByteArray odd = Saved(
            Content({Entry(inf, std::nan(""), -0.000004)}, {Entry(-0.0, -0.000005, 1)}, 0.0, inf));
        QVERIFY(odd.contains("<Data_Set_B_Offset>0.00000</Data_Set_B_Offset>"));
        QVERIFY(odd.contains("<Nominal>0.00000</Nominal>"));
        QVERIFY(odd.contains("<Actual>0.00000</Actual>"));
        QVERIFY(odd.contains("<Uc>-0.000004</Uc>"));
        QVERIFY(odd.contains("<Actual>-0.000005</Actual>"));
        QVERIFY2(!odd.contains("-0.00000<"), odd.constData());
        QVERIFY(Saved(Content({}, {}, 0.0000018, 0.0))
                    .contains("<Data_Set_B_Offset>-0.0000018</Data_Set_B_Offset>"));
    }

    void Round_Trip_Through_The_Document_data()
    {
        QTest::addColumn<double>("offset_b");
        QTest::addColumn<double>("scale");
        QTest::newRow("no offset") << 0.0 << 1.0;
        QTest::newRow("offset 12.5") << 12.5 << 1.0;
        QTest::newRow("negative offset with 4 decimals") << -0.0375 << 1.0;
        QTest::newRow("offset 2.12345") << 2.12345 << 1.0;
        QTest::newRow("offset of 12 decimals") << 0.123456789012 << 1.0;
        QTest::newRow("large values") << -12.5 << 1e6;
        QTest::newRow("small values") << 0.000125 << 1e-4;
    }

    void Round_Trip_Through_The_Document()
    {
        // Loading a file and saving it again without edits writes the same bytes: the document
        // keeps set B's entries as stored, with its offset in them, every double bit for bit,
        // whatever its decimals (1 to 12 here).
        QFETCH(double, offset_b);
        QFETCH(double, scale);
        Items a{Entry(100, 100.0012, 0.002), Entry(200, 200.0021, 0.0025)};
        Items b{Entry(100 + offset_b, 100.0008 + offset_b, 0.003),
                Entry(300 + offset_b, 299.99871 + offset_b, 0.004)};
        for (int decimals = 1; decimals <= 12; ++decimals) {
            const double step = std::pow(10.0, -decimals);
            a.push_back(Entry(scale * (400 + decimals), scale * (400 + decimals) + 7 * step, step));
            b.push_back(Entry(scale * (400 + decimals) + offset_b,
                              scale * (400 + decimals) + offset_b - 3 * step, 2 * step));
        }
        const QByteArray first = Saved(Content(a, b, 0.0, offset_b));

        DataFile::TContent read;
        QString error;
        QVERIFY2(DataFile::Load_Data(first, &read, &error), qPrintable(error));
        TComparisonDocument document;
        const DataFile::TContent saved = Shown_And_Saved(read, &document);
        QCOMPARE(document.Offset_B(), offset_b);
        QVERIFY(Same_Entries(document.Entries(TComparisonDocument::SET_A), read.entries_a));
        QVERIFY(Same_Entries(document.Entries(TComparisonDocument::SET_B), read.entries_b));

        QCOMPARE(Saved(saved), first);
    }

    void Offset_With_More_Decimals_Than_The_Widget_Shows()
    {
        // The widget shows 4 decimals of the offset and keeps all of them.
        const Items b{Entry(100.12346, 100.12399, 0.003)};
        const QByteArray first = Saved(Content({}, b, 0.0, 0.12346));
        DataFile::TContent read;
        QString error;
        QVERIFY(DataFile::Load_Data(first, &read, &error));
        TComparisonDocument document;
        const DataFile::TContent saved = Shown_And_Saved(read, &document);
        QCOMPARE(document.Offset_B(), 0.12346);
        QVERIFY(Same_Entries(document.Entries(TComparisonDocument::SET_B), b));
        QCOMPARE(Saved(saved), first);
    }

    void Saving_A_Loaded_File_Twice_Gives_The_Same_Bytes_data()
    {
        QTest::addColumn<QString>("file_name");
        QTest::addColumn<bool>("as_written");
        for (const char *name : {"version1.quorval", "version2_reordered.quorval",
                                 "fuzz_negative_zero_offset_readable.quorval"})
            QTest::newRow(name) << QFINDTESTDATA(QString("data/datafile/") + name) << false;
        for (const char *name : {"gauge_blocks.quorval", "line_scale.quorval"})
            QTest::newRow(name) << QFINDTESTDATA(QString("../examples/") + name) << true;
    }

    void Saving_A_Loaded_File_Twice_Gives_The_Same_Bytes()
    {
        // Whatever loads saves to a document that loads and saves to the same bytes (the
        // negative-zero case was found by the fuzzer); the examples save as they are.
        QFETCH(QString, file_name);
        QFETCH(bool, as_written);
        DataFile::TContent content;
        QString error;
        QVERIFY2(DataFile::Load_File(file_name, &content, &error), qPrintable(error));
        const QByteArray first = Saved(content);
        if (as_written)
            QCOMPARE(first, Read_All(file_name));
        DataFile::TContent again;
        QVERIFY2(DataFile::Load_Data(first, &again, &error), qPrintable(error));
        QCOMPARE(Saved(again), first);
    }

    void Reads_Version_1_And_Tolerated_Layouts()
    {
        DataFile::TContent content;
        QString error;
        // Version 1: entries as stored and in file order, offset elements ignored.
        QVERIFY2(
            DataFile::Load_File(QFINDTESTDATA("data/datafile/version1.quorval"), &content, &error),
            qPrintable(error));
        QCOMPARE(content.version, 1);
        QCOMPARE(content.offset_a, 0.0);
        QCOMPARE(content.offset_b, 0.0);
        QVERIFY(Same_Entries(content.entries_a,
                             {Entry(200, 200.0015, 0.002), Entry(100, 100.0012, 0.002)}));
        QVERIFY(Same_Entries(content.entries_b, {Entry(100, 100.0008, 0.003)}));

        // Children in any order, foreign elements and attributes, comments, CDATA; an "Entry"
        // nested in another element is not part of the set.
        QVERIFY2(DataFile::Load_File(QFINDTESTDATA("data/datafile/version2_reordered.quorval"),
                                     &content, &error),
                 qPrintable(error));
        QCOMPARE(content.version, 2);
        QCOMPARE(content.offset_a, 0.0);
        QCOMPARE(content.offset_b, 12.5);
        QVERIFY(content.entries_a.empty());
        QVERIFY(Same_Entries(content.entries_b,
                             {Entry(112.5, 112.5008, 0.003), Entry(212.5, 212.499, 0.004)}));
    }

    void Number_Text_data()
    {
        QTest::addColumn<QByteArray>("text");
        // What the entry lists read (0 for text that is not a finite number).
        QTest::addColumn<double>("value");
        // Whether a data file's number may hold the text.
        QTest::addColumn<bool>("in_file");
        QTest::newRow("plain") << QByteArray("-12.34567") << -12.34567 << true;
        QTest::newRow("exponent") << QByteArray("1.5e2") << 150.0 << true;
        QTest::newRow("word") << QByteArray("abc") << 0.0 << false;
        QTest::newRow("decimal comma") << QByteArray("30,5") << 0.0 << false;
        QTest::newRow("inf") << QByteArray("inf") << 0.0 << false;
        QTest::newRow("minus inf") << QByteArray("-inf") << 0.0 << false;
        QTest::newRow("nan") << QByteArray("nan") << 0.0 << false;
        QTest::newRow("overflow") << QByteArray("1e999") << 0.0 << false;
        QTest::newRow("empty") << QByteArray("") << 0.0 << false;
        QTest::newRow("padded") << QByteArray(" 2.5\n") << 2.5 << true;
        QTest::newRow("signed, no integer digits") << QByteArray("+.5") << 0.5 << true;
        QTest::newRow("no decimals") << QByteArray("-5.") << -5.0 << true;
        QTest::newRow("point alone") << QByteArray("-.") << 0.0 << false;
        QTest::newRow("exponent without digits") << QByteArray("1e+") << 0.0 << false;
        QTest::newRow("two signs") << QByteArray("+-5") << 0.0 << false;
        QTest::newRow("hexadecimal") << QByteArray("0x1p3") << 0.0 << false;
        QTest::newRow("too small for a double") << QByteArray("1e-400") << 0.0 << true;
        QTest::newRow("zero with a huge exponent") << QByteArray("0.0e999") << 0.0 << true;
        QTest::newRow("subnormal") << QByteArray("5e-324") << 4.9406564584124654e-324 << true;
        QTest::newRow("digits beyond a double")
            << QByteArray("0." + QByteArray(30, '3')) << 1 / 3.0 << true;
        QTest::newRow("blank inside") << QByteArray("1 5") << 0.0 << false;
        QTest::newRow("no-break space before") << QByteArray("\xc2\xa0"
                                                             "1")
                                               << 1.0 << false;
        QTest::newRow("long text") << QByteArray(300, 'x') << 0.0 << false;
    }

    void Number_Text()
    {
        // The entry lists read text that is not a finite number as 0; a data file that holds such
        // text in any number element is refused, naming the element, its entry and the text.
        QFETCH(QByteArray, text);
        QFETCH(double, value);
        QFETCH(bool, in_file);
        QCOMPARE(EntryLists::To_Number(QString::fromUtf8(text)), value);

        const QByteArray data = Document(
            "File_Version=\"2\"",
            "<Data_Set_A_Offset>" + text + "</Data_Set_A_Offset><Data_Set_B_Offset>" + text +
                "</Data_Set_B_Offset>",
            "<Nominal>" + text + "</Nominal><Actual>" + text + "</Actual><Uc>" + text + "</Uc>");
        // Bit for bit as the conformant parser reads it.
        const TBoth both = Load_Both(data);
        QCOMPARE(both.read, in_file);
        const QString quoted =
            text.size() > 200 ? QString(200, 'x') + QString::fromUtf8("\u2026 (300 characters)")
                              : QString::fromUtf8(text);
        if (!in_file) {
            QCOMPARE(both.error, "ERR  Load_Data: ERR:  Node 'Data_Set_A_Offset' holds '" + quoted +
                                     "', which is not a number.");
            const TBoth entry = Load_Both(
                Document().replace("<Actual>2</Actual>", "<Actual>" + text + "</Actual>"));
            QCOMPARE(entry.error, "ERR  Load_Data: ERR:  Node 'Actual' of entry 1 in 'Data_Set_B' "
                                  "holds '" +
                                      quoted + "', which is not a number.");
            return;
        }
        const DataFile::TContent &content = both.content;
        QCOMPARE(content.offset_a, value);
        QCOMPARE(content.offset_b, value);
        QCOMPARE(content.entries_b.size(), std::size_t(1));
        QCOMPARE(content.entries_b[0].nominal, value);
        QCOMPARE(content.entries_b[0].actual, value);
        QCOMPARE(content.entries_b[0].uc, value);
    }

    void Both_Readers_Agree_On_Every_Project_File_data()
    {
        QTest::addColumn<QString>("file_name");
        QTest::addColumn<bool>("readable");
        const QStringList files = Project_Files();
        QVERIFY(files.size() >= 10);
        for (const QString &file_name : files)
            QTest::newRow(qPrintable(QFileInfo(file_name).fileName()))
                << file_name
                << !QFileInfo(file_name).fileName().contains(
                       QRegularExpression("^fuzz_crash|^fuzz_negative_zero_offset.quorval"));
    }

    void Both_Readers_Agree_On_Every_Project_File()
    {
        // Every file reads the same through both readers, as a file and as bytes; the examples
        // and the plain data files are the byte reader's own. (The fuzzer's file with a damaged
        // offset is refused: its offset's text is not a number.)
        QFETCH(QString, file_name);
        QFETCH(bool, readable);
        DataFile::TContent fast = Sentinel();
        DataFile::TContent reference = Sentinel();
        QString fast_error;
        QString reference_error;
        DataFile::TReader reader = DataFile::READER_PARSER;
        const bool fast_read = DataFile::Load_File(file_name, &fast, &fast_error, &reader);
        QCOMPARE(fast_read, Reference::Load_Parsed_File(file_name, &reference, &reference_error));
        QCOMPARE(fast_error, reference_error);
        QVERIFY(DataFile::Identical(fast, reference));

        const TBoth both = Load_Both(Read_All(file_name));
        QCOMPARE(both.read, fast_read);
        QCOMPARE(both.reader, reader);
        QVERIFY(DataFile::Identical(both.content, fast));

        const QString name = QFileInfo(file_name).fileName();
        if (file_name.contains("examples") || name.startsWith("version1")) {
            QVERIFY(fast_read);
            QCOMPARE(reader, DataFile::READER_PLAIN);
        }
        if (name.startsWith("fuzz_negative_zero") || name.startsWith("version2"))
            QCOMPARE(reader, DataFile::READER_PARSER);
        if (file_name.endsWith(".quorval"))
            QCOMPARE(fast_read, readable);
    }

    void Both_Readers_Agree_On_Hand_Made_Documents_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("readable");
        // Whether the byte reader took the document.
        QTest::addColumn<bool>("plain");

        const QByteArray plain = Root(Offsets + Set_A + Set_B(Plain_Entry));
        QTest::newRow("plain") << plain << true << true;
        QTest::newRow("version 1 ignores damaged offsets")
            << Root("<Data_Set_A_Offset/><Data_Set_B_Offset><x/></Data_Set_B_Offset>" + Set_A +
                        Set_B(Plain_Entry),
                    "1")
            << true << false;
        QTest::newRow("CDATA numbers")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal><![CDATA[1]]></Nominal><Actual> <![CDATA[2]]>9</Actual>"
                          "<Uc><![CDATA[3]]>4</Uc>"))
            << true << false;
        QTest::newRow("empty and blank CDATA first")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal><![CDATA[]]>1</Nominal><Actual><![CDATA[ ]]></Actual>"
                          "<Uc>3</Uc>"))
            << false << false;
        QTest::newRow("character references")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal>&#49;</Nominal><Actual>2&#46;5</Actual>"
                          "<Uc>&#x33;</Uc>"))
            << true << false;
        QTest::newRow("entity reference in a foreign attribute")
            << Root(Offsets + Set_A + Set_B(Plain_Entry) + "<Note text=\"a &amp; b\"/>") << true
            << false;
        QTest::newRow("comments and processing instructions between entries")
            << Root("<!-- offsets --><?tool run?>" + Offsets +
                    "<Data_Set_A><!--a--><Entry><?x?><Nominal>4</Nominal><!--b--><Actual>5"
                    "</Actual><Uc>6</Uc></Entry><?pi between?><!--c--><Entry><Nominal>7"
                    "</Nominal><Actual>8</Actual><Uc>9</Uc></Entry></Data_Set_A>" +
                    Set_B(Plain_Entry)) +
                   "<!-- after --><?after?>"
            << true << false;
        QTest::newRow("comments between elements")
            << Root(Offsets + "<!---->" + Set_A + Set_B("<!-- n -->" + Plain_Entry + "<!--x-->"))
                       .replace("<Quorval_Data", "<!-- made by hand -->\n<Quorval_Data") +
                   "<!-- end -->"
            << true << true;
        QTest::newRow("comment with two hyphens inside")
            << Root(Offsets + "<!-- a -- b -->" + Set_A + Set_B(Plain_Entry)) << false << false;
        QTest::newRow("comment before the number")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal><!--x-->1</Nominal><Actual>2</Actual>"
                          "<Uc>3</Uc>"))
            << true << false;
        QTest::newRow("blanks then a comment before the number")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal>\n  <!--x-->1</Nominal><Actual>2</Actual>"
                          "<Uc>3</Uc>"))
            << true << false;
        QTest::newRow("processing instruction before the number")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal><?x?>1</Nominal><Actual>2</Actual>"
                          "<Uc>3</Uc>"))
            << true << false;
        QTest::newRow("text, comment, text")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal>1<!--x-->2</Nominal><Actual>2</Actual>"
                          "<Uc>3</Uc>"))
            << true << false;
        QTest::newRow("blanks around numbers")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal>\n   1.5\n  </Nominal><Actual>\t2 "
                          "</Actual><Uc> 3 4 </Uc>"))
            << false << false;
        QTest::newRow("blank number") << Root(Offsets + Set_A +
                                              Set_B("<Nominal>  \n </Nominal><Actual>2</Actual>"
                                                    "<Uc>3</Uc>"))
                                      << false << false;
        QTest::newRow("no-break space number")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal>\xc2\xa0</Nominal><Actual>2</Actual>"
                          "<Uc>3</Uc>"))
            << false << false;
        QTest::newRow("no-break space before a number")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal>\xc2\xa0"
                          "1</Nominal><Actual>2</Actual><Uc>3</Uc>"))
            << false << false;
        QTest::newRow("empty number element")
            << Root(Offsets + Set_A + Set_B("<Nominal/><Actual>2</Actual><Uc>3</Uc>")) << false
            << false;
        QTest::newRow("element in a number")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal><b>1</b></Nominal><Actual>2</Actual>"
                          "<Uc>3</Uc>"))
            << false << false;
        QTest::newRow("attributes on entries and numbers")
            << Root(Offsets +
                    "<Data_Set_A id=\"a\"><Entry n=\"1\" x='2'><Nominal unit=\"mm\">4"
                    "</Nominal><Actual>5</Actual><Uc>6</Uc></Entry></Data_Set_A>" +
                    Set_B(Plain_Entry))
            << true << false;
        QTest::newRow("byte order mark") << "\xef\xbb\xbf" + plain << true << false;
        QTest::newRow("UTF-16 little endian")
            << Utf16(QString::fromUtf8(plain).replace("utf-8", "utf-16"), true) << true << false;
        QTest::newRow("UTF-16 big endian")
            << Utf16(QString::fromUtf8(plain).replace("utf-8", "UTF-16"), false) << true << false;
        QTest::newRow("Latin-1 declared")
            << QByteArray(plain)
                   .replace("utf-8", "ISO-8859-1")
                   .replace("<Data_Set_A>", "<!-- \xe9 --><Data_Set_A>")
            << true << false;
        QTest::newRow("CRLF line ends") << QByteArray(plain).replace(">", ">\r\n") << true << true;
        QTest::newRow("CR line ends in numbers")
            << Root(Offsets + Set_A +
                    Set_B("<Nominal>\r1\r\n</Nominal><Actual>2\r</Actual>"
                          "<Uc>\r\n3</Uc>"))
            << true << true;
        QTest::newRow("blanks inside tags of entries otherwise as written")
            << Root(Offsets + Set_A +
                    Set_B(Plain_Entry + "</Entry ><Entry><Nominal>5</Nominal>\n<Actual>6"
                                        "</Actual ><Uc>7</Uc>"))
            << true << true;
        // Large documents, whose set B is read on a thread of its own while set A is read.
        const QByteArray large = "<!--" + QByteArray(9 << 20, ' ') + "-->";
        QByteArray many;
        for (int i = 0; i < 5000; ++i)
            many += "<Entry><Nominal>" + QByteArray::number(i) + "</Nominal><Actual>" +
                    QByteArray::number(i + 0.25) + "</Actual><Uc>0.5</Uc></Entry>\n";
        QTest::newRow("large") << Root(Offsets + large + Set_A + "<Data_Set_B>" + many +
                                       "</Data_Set_B>")
                               << true << true;
        QTest::newRow("large, set B first")
            << Root(Offsets + Set_B(Plain_Entry) + large + Set_A) << true << true;
        QTest::newRow("large, set B's tag in a comment before it")
            << Root(Offsets + "<!-- <Data_Set_B> -->" + large + Set_A + Set_B(Plain_Entry)) << true
            << true;
        QTest::newRow("large, set B damaged")
            << Root(Offsets + large + Set_A + Set_B("<Nominal>1</Nominal><Actual>x</Actual>"))
            << false << false;
        QTest::newRow("elements in another order")
            << Root(Set_B("<Uc>3</Uc><Actual>2</Actual><Nominal>1</Nominal>") + Set_A +
                    "<Data_Set_B_Offset>2.5</Data_Set_B_Offset>"
                    "<Data_Set_A_Offset>0.5</Data_Set_A_Offset>")
            << true << true;
        QTest::newRow("duplicated elements: the first counts")
            << Root(Offsets + "<Data_Set_A_Offset>9</Data_Set_A_Offset>" + Set_A +
                    "<Data_Set_A><Entry><Nominal>9</Nominal></Entry></Data_Set_A>" +
                    Set_B("<Nominal>1</Nominal><Nominal/><Actual>2</Actual><Actual>x</Actual>"
                          "<Uc>3</Uc>") +
                    "<Data_Set_B/>")
            << true << false;
        QTest::newRow("entry nested in an entry")
            << Root(Offsets + Set_A +
                    Set_B("<Entry><Nominal>8</Nominal></Entry>" + Plain_Entry +
                          "<Entry><Uc>9</Uc></Entry>"))
            << true << false;
        QTest::newRow("entry nested in another element")
            << Root(Offsets + Set_A +
                    "<Data_Set_B><Group><Entry><Nominal>8</Nominal></Entry>"
                    "</Group><Entry>" +
                    Plain_Entry + "</Entry></Data_Set_B>")
            << true << false;
        QTest::newRow("text before the first child element")
            << Root("some text" + Offsets + "more" + Set_A + Set_B("x" + Plain_Entry + "y")) << true
            << false;
        QTest::newRow("foreign elements everywhere")
            << Root("<Note>n</Note>" + Offsets +
                    "<Data_Set_A><Other/><Entry><Extra>e</Extra>"
                    "<Nominal>4</Nominal><Actual>5</Actual>"
                    "<Uc>6</Uc></Entry></Data_Set_A>" +
                    Set_B(Plain_Entry) + "<Unknown><Data_Set_A/></Unknown>")
            << true << false;
        QTest::newRow("namespace prefix on the root")
            << QByteArray("<q:Quorval_Data xmlns:q=\"urn:q\" File_Version=\"2\">") + Offsets +
                   Set_A + Set_B(Plain_Entry) + "</q:Quorval_Data>"
            << true << false;
        QTest::newRow("default namespace")
            << QByteArray(plain).replace("File_Version", "xmlns=\"urn:q\" File_Version") << true
            << false;
        QTest::newRow("namespace prefix on a foreign element")
            << Root(Offsets + Set_A + Set_B(Plain_Entry) + "<q:Note xmlns:q=\"urn:q\"/>") << true
            << false;
        QTest::newRow("undeclared namespace prefix")
            << Root(Offsets + Set_A + Set_B("<q:Nominal>1</q:Nominal>" + Plain_Entry)) << false
            << false;
        QTest::newRow("name outside ASCII")
            << Root(Offsets + Set_A + Set_B(Plain_Entry) + "<Not\xc2\xb7iz/>") << true << false;
        QTest::newRow("document type")
            << Root(Offsets + Set_A + Set_B(Plain_Entry))
                   .replace("<Quorval_Data", "<!DOCTYPE Quorval_Data>\n<Quorval_Data")
            << true << false;
        QTest::newRow("version with blanks")
            << Root(Offsets + Set_A + Set_B(Plain_Entry), " 2") << true << false;
        QTest::newRow("version 3")
            << Root(Offsets + Set_A + Set_B(Plain_Entry), "3") << false << false;
        QTest::newRow("no offsets in version 2")
            << Root(Set_A + Set_B(Plain_Entry)) << false << false;
        QTest::newRow("no Uc") << Root(Offsets + Set_A +
                                       Set_B("<Nominal>1</Nominal><Actual>2"
                                             "</Actual>"))
                               << false << false;
        QTest::newRow("no set B") << Root(Offsets + Set_A) << false << false;
        QTest::newRow("wrong root")
            << QByteArray(plain).replace("Quorval_Data", "Quorval") << false << false;
        QTest::newRow("not well-formed")
            << QByteArray(plain).replace("</Data_Set_A>", "</Data_Set_X>") << false << false;
        QTest::newRow("two byte order marks")
            << "\xef\xbb\xbf\xef\xbb\xbf" + plain << false << false;
        QTest::newRow("entity declaration") << "<!DOCTYPE Quorval_Data [<!ENTITY a \"1\">]>" +
                                                   Root(Offsets + Set_A + Set_B(Plain_Entry))
                                            << false << false;
        QTest::newRow("settings") << Root(Offsets + Set_A + Set_B(Plain_Entry) + Settings) << true
                                  << true;
        QTest::newRow("settings first, with blanks, CDATA, duplicates")
            << Root("<Position_Merge_Distance> 2.5 </Position_Merge_Distance><Align_Deviations>"
                    "<![CDATA[true]]></Align_Deviations><Align_Deviations>x</Align_Deviations>" +
                    Offsets + Set_A + Set_B(Plain_Entry))
            << true << false;
        QTest::newRow("damaged alignment") << Root(Offsets + Set_A + Set_B(Plain_Entry) +
                                                   "<Align_Deviations>no</Align_Deviations>")
                                           << false << false;
        QTest::newRow("negative merge distance")
            << Root(Offsets + Set_A + Set_B(Plain_Entry) +
                    "<Position_Merge_Distance>-1</Position_Merge_Distance>")
            << false << false;

        const QByteArray sets = Offsets + Set_A + Set_B(Plain_Entry);
        QTest::newRow("details, plain")
            << Root("<Item>\n Block &amp; [1] \r\n</Item><Operator/>" + sets +
                    "<Remarks>a\r\nb\rc</Remarks><Set_A_Description></Set_A_Description>")
            << true << true;
        QTest::newRow("details outside ASCII, first of duplicates")
            << Root(sets + "<Set_B_Description>PTB \xe2\x80\x93 2024</Set_B_Description>"
                           "<Set_B_Description>x</Set_B_Description>")
            << true << false;
        QTest::newRow("details with a comment, CDATA, an element")
            << Root(sets + "<Item>a<!--c-->b</Item><Operator> x <![CDATA[<y>]]> </Operator>"
                           "<Remarks>1<b>2</b>3</Remarks>")
            << true << false;
        QTest::newRow("details with character references")
            << Root(sets + "<Remarks>a&#13;&#10;b&#x2014;</Remarks>") << true << true;
        QTest::newRow("details with line breaks written and referenced")
            << Root(sets + "<Remarks>a\r&#10;b\r\n&#13;\nc</Remarks>") << true << true;
        QTest::newRow("details of blanks only")
            << Root(sets + "<Item>  \n </Item><Operator>\xc2\xa0</Operator>") << true << true;
        QTest::newRow("tab in details")
            << Root(sets + "<Operator>a\tb</Operator>") << false << false;
        QTest::newRow("tab in a set's certificate")
            << Root(sets + "<Set_A_Certificate>a\tb</Set_A_Certificate>") << false << false;
        QTest::newRow("control character reference in details")
            << Root(sets + "<Remarks>a&#x85;b</Remarks>") << false << false;
        QTest::newRow("details of 1000 characters, one outside the basic plane")
            << Root(sets + "<Item>" + QByteArray(999, 'x') + "\xf0\x9f\x98\x80</Item>") << true
            << true;
        // Not well-formed: refused, whatever a lenient parser made of it (more in the damaged
        // examples below).
        QTest::newRow("undeclared entity in an offset")
            << Root("<Data_Set_A_Offset>0</Data_Set_A_Offset><Data_Set_B_Offset>2&x;.5"
                    "</Data_Set_B_Offset>" +
                    Set_A + Set_B(Plain_Entry))
            << false << false;
        QTest::newRow("undeclared entity in details")
            << Root(sets + "<Remarks>a &foo; b</Remarks>") << false << false;
        QTest::newRow("details of 1001 characters")
            << Root(sets + "<Item>" + QByteArray(1001, 'x') + "</Item>") << false << false;
    }

    void Both_Readers_Agree_On_Hand_Made_Documents()
    {
        // Where the byte reader and the parser could read differently: the byte reader either
        // reads exactly what the parser reads or leaves the document to it.
        QFETCH(QByteArray, data);
        QFETCH(bool, readable);
        QFETCH(bool, plain);
        const TBoth both = Load_Both(data);
        QVERIFY2(both.read == readable, qPrintable(both.error));
        QCOMPARE(both.reader == DataFile::READER_PLAIN, plain);

        QTemporaryDir dir;
        const QString file_name = dir.filePath("hand_made.quorval");
        QVERIFY(Write_All(file_name, data));
        DataFile::TContent fast = Sentinel();
        DataFile::TContent reference = Sentinel();
        QString fast_error;
        QString reference_error;
        DataFile::TReader reader = DataFile::READER_PARSER;
        QCOMPARE(DataFile::Load_File(file_name, &fast, &fast_error, &reader), readable);
        QCOMPARE(Reference::Load_Parsed_File(file_name, &reference, &reference_error), readable);
        QCOMPARE(fast_error, reference_error);
        QVERIFY(DataFile::Identical(fast, reference));
        QCOMPARE(reader, both.reader);
    }

    void Parser_Reads_What_Is_Stored()
    {
        // The values themselves, not only agreement: all the text of a number (CDATA, text
        // around a comment), the first of duplicates, blanks.
        TBoth both = Load_Both(
            Root(Offsets + "<Data_Set_A_Offset>9</Data_Set_A_Offset>" + Set_A +
                 Set_B("<Nominal>\n 1.25 </Nominal><Nominal>7</Nominal><Actual><![CDATA[-2.5]]>"
                       "</Actual><Uc>3<!--c-->e-3</Uc>")));
        QVERIFY(both.read);
        QCOMPARE(both.reader, DataFile::READER_PARSER);
        QCOMPARE(both.content.version, 2);
        QCOMPARE(both.content.offset_a, 0.5);
        QCOMPARE(both.content.offset_b, 2.5);
        QVERIFY(Same_Entries(both.content.entries_a, {Entry(4, 5, 6)}));
        QVERIFY(Same_Entries(both.content.entries_b, {Entry(1.25, -2.5, 0.003)}));

        QVERIFY(!both.content.align_deviations && !both.content.merge_distance);

        // A version 1 file leaves the offsets 0, whatever offset elements it has; the settings
        // are read where the file has them.
        both = Load_Both(Root(Offsets + Set_A + Set_B(Plain_Entry) + Settings, "1"));
        QCOMPARE(both.reader, DataFile::READER_PLAIN);
        QCOMPARE(both.content.version, 1);
        QCOMPARE(both.content.offset_a, 0.0);
        QCOMPARE(both.content.offset_b, 0.0);
        QCOMPARE(both.content.align_deviations, std::optional<bool>(false));
        QCOMPARE(both.content.merge_distance, std::optional<double>(0.25));

        // Texts of other scripts, entities and character references in the details stay with
        // the byte reader, read as the parser reads them.
        both =
            Load_Both(Root(Offsets + Set_A + Set_B(Plain_Entry) +
                           "<Operator>M\xc3\xbcller &amp; &#x4E2D;&#25991; &lt;QA&gt;</Operator>"));
        QCOMPARE(both.reader, DataFile::READER_PLAIN);
        QCOMPARE(both.content.details.operator_name,
                 QString::fromUtf8("M\xc3\xbcller & \xe4\xb8\xad\xe6\x96\x87 <QA>"));
    }

    void Parser_Reads_Large_Documents_In_Pieces()
    {
        // A document longer than the pieces it is parsed in, from the text the checks decoded
        // (a CDATA section keeps it from the bytes), with a character outside the basic plane (a
        // surrogate pair) across a piece boundary and entries across others.
        Items a;
        Items b;
        for (int i = 0; i < 6000; ++i) {
            a.push_back(Entry(0.5 * i, 0.5 * i + 1e-5 * (i % 7), 0.001 + 1e-5 * i));
            b.push_back(Entry(0.5 * i + 0.25, 0.5 * i + 0.25 - 1e-5 * (i % 5), 0.002));
        }
        QByteArray data = Saved(Content(a, b, 0.0, 0.0));
        const int piece = 1 << 18;
        QVERIFY(data.size() > 3 * piece);
        data.replace("<Data_Set_A>", "<Note><![CDATA[x]]></Note><Data_Set_A>");
        // The high half of the pair ends the first piece.
        const int at = data.lastIndexOf('>', piece - 100) + 1;
        data.insert(at, "<!--" + QByteArray(piece - 1 - at - 4, ' ') + "\xf0\x9f\x98\x80-->");
        QVERIFY(QString::fromUtf8(data).at(piece - 1).isHighSurrogate());
        const TBoth both = Load_Both(data);
        QVERIFY(both.read);
        QCOMPARE(both.reader, DataFile::READER_PARSER);
        QCOMPARE(both.content.entries_a.size(), a.size());
        QVERIFY(Same_Entries(both.content.entries_b, b, 1e-5));
    }

    void Plain_Leaves_Refused_Content_Alone()
    {
        // The byte reader alone: what it leaves to the parser leaves the content as it was; what
        // it takes replaces it whole.
        DataFile::TContent content = Sentinel();
        const QByteArray refused[] = {Root(Offsets + Set_A), QByteArray(),
                                      Root(Offsets + Set_A + Set_B("<Nominal>1,5</Nominal>"))};
        for (const QByteArray &data : refused) {
            QVERIFY(!DataFile::Read_Plain(data.constData(), std::size_t(data.size()), &content));
            QVERIFY(Same_Content(content, Sentinel()));
        }
        const QByteArray plain = Root(Offsets + Set_A + Set_B(Plain_Entry));
        QVERIFY(DataFile::Read_Plain(plain.constData(), std::size_t(plain.size()), &content));
        QVERIFY(Same_Entries(content.entries_a, {Entry(4, 5, 6)}));
        QVERIFY(Same_Entries(content.entries_b, {Entry(1, 2, 3)}));
    }

    void Stopped_Load_Leaves_Everything_Alone_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("reports");
        Items a;
        for (int i = 0; i < 5000; ++i)
            a.push_back(Entry(0.5 * i, 0.5 * i + 1e-5 * (i % 7), 0.001));
        const QByteArray plain = Saved(Content(a, a, 0.0, 0.0));
        // The byte reader tells how far it has come every few thousand entries.
        QTest::newRow("read by the byte reader") << plain << 2;
        // Where it gives up, the parser starts over and tells so.
        QByteArray other = plain;
        other.replace(other.lastIndexOf("<Uc>"), 4, "<Uc><![CDATA[1]]>");
        QTest::newRow("read by the parser") << other << 3;
        // Set B read on a second thread, which lets go of its pages before they are hashed.
        Items longer = a;
        longer.insert(longer.end(), a.begin(), a.end());
        const QByteArray large = QByteArray(Saved(Content(longer, a, 0.0, 0.0)))
                                     .replace("<Data_Set_A>", "<!--" + QByteArray(9 << 20, ' ') +
                                                                  "--><Data_Set_A>");
        QTest::newRow("read on two threads") << large << 2;
    }

    void Stopped_Load_Leaves_Everything_Alone()
    {
        // A load whose progress report says stop ends then: stopped, not a failure with a reason.
        QFETCH(QByteArray, data);
        QFETCH(int, reports);
        QTemporaryDir dir;
        const QString file_name = dir.filePath("large.quorval");
        QVERIFY(Write_All(file_name, data));
        std::vector<qint64> done;
        const Progress::TReport stop_at_last = [&](qint64 bytes, qint64 total) {
            done.push_back(bytes);
            return total == data.size() && int(done.size()) < reports;
        };
        DataFile::TContent content = Sentinel();
        QString error = "untouched";
        bool stopped = false;
        QVERIFY(!DataFile::Load_File(file_name, &content, &error, nullptr, nullptr, stop_at_last,
                                     &stopped));
        QVERIFY(stopped);
        QCOMPARE(error, QString("untouched"));
        QVERIFY(Same_Content(content, Sentinel()));
        QCOMPARE(int(done.size()), reports);
        QVERIFY(done[0] > 0 && done[1] > done[0] && done[1] < data.size());

        // Read to the end, the file is hashed piece by piece as it is read (by the parser, the
        // pieces the byte reader read before it gave up and then the rest).
        QString checksum;
        QVERIFY(DataFile::Load_File(file_name, &content, &error, nullptr, &checksum));
        QCOMPARE(checksum, QString::fromLatin1(
                               QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()));
        // Read in blocks when the record asks for it, the same.
        QCOMPARE(DataFile::Checksum_Of_File(file_name), checksum);
    }

    void Identical_Compares_Every_Bit()
    {
        DataFile::TContent a = Content({Entry(1, 2, 3)}, {}, 0.0, 1.0);
        DataFile::TContent b = a;
        QVERIFY(DataFile::Identical(a, b));
        b.offset_a = -0.0;
        QVERIFY(!DataFile::Identical(a, b));
        b = a;
        b.entries_b.push_back(Entry(0, 0, 0));
        QVERIFY(!DataFile::Identical(a, b));
        b = a;
        b.entries_a[0].uc = std::nextafter(3.0, 4.0);
        QVERIFY(!DataFile::Identical(a, b));
        b = a;
        b.version = 1;
        QVERIFY(!DataFile::Identical(a, b));
        b = a;
        b.details.remarks = QStringLiteral("x");
        QVERIFY(!DataFile::Identical(a, b));
    }

    void Refuses_Damaged_Documents_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("message");

        const QString not_recognized = "ERR  Load_Data: ERR:  File version not recognized";
        QTest::newRow("version 3") << Document("File_Version=\"3\"") << not_recognized;
        QTest::newRow("version 0") << Document("File_Version=\"0\"") << not_recognized;
        QTest::newRow("version word") << Document("File_Version=\"two\"") << not_recognized;
        QTest::newRow("version empty") << Document("File_Version=\"\"") << not_recognized;
        QTest::newRow("no version") << Document("Other=\"2\"")
                                    << "ERR  Load_Data: ERR:  The 'File_Version' attribute is "
                                       "missing.";
        QTest::newRow("no B offset")
            << Document("File_Version=\"2\"", "<Data_Set_A_Offset>0</Data_Set_A_Offset>")
            << "ERR  Load_Data: ERR:  Node 'Data_Set_B_Offset' is missing from node "
               "'Quorval_Data' and not optional.";
        QTest::newRow("empty A offset")
            << Document("File_Version=\"2\"", "<Data_Set_A_Offset/><Data_Set_B_Offset>0"
                                              "</Data_Set_B_Offset>")
            << "ERR  Load_Data: ERR:  Node 'Data_Set_A_Offset' holds '', which is not a number.";
        QTest::newRow("no Uc")
            << Document("File_Version=\"2\"",
                        "<Data_Set_A_Offset>0</Data_Set_A_Offset>"
                        "<Data_Set_B_Offset>0</Data_Set_B_Offset>",
                        "<Nominal>1</Nominal><Actual>2</Actual>")
            << "ERR  Load_Data: ERR:  Node 'Uc' is missing from node 'Entry' and not optional.";
        QTest::newRow("no Uc in version 1")
            << Document("File_Version=\"1\"", "", "<Nominal>1</Nominal><Actual>2</Actual>")
            << "ERR  Load_Data: ERR:  Node 'Uc' is missing from node 'Entry' and not optional.";
        QTest::newRow("nominal holds an element")
            << Document("File_Version=\"2\"",
                        "<Data_Set_A_Offset>0</Data_Set_A_Offset>"
                        "<Data_Set_B_Offset>0</Data_Set_B_Offset>",
                        "<Nominal><b>1</b></Nominal><Actual>2</Actual><Uc>3</Uc>")
            << "ERR  Load_Data: ERR:  Node 'Nominal' of entry 1 in 'Data_Set_B' holds '', which is "
               "not a number.";
        QTest::newRow("no set B")
            << QByteArray("<Quorval_Data File_Version=\"1\"><Data_Set_A/></Quorval_Data>")
            << "ERR  Load_Data: ERR:  Node 'Data_Set_B' is missing from node 'Quorval_Data' "
               "and not optional.";
        QTest::newRow("wrong root")
            << QByteArray("<quorval_data File_Version=\"2\"/>")
            << "ERR  Load_Data: ERR:  Identification 'Quorval_Data' does not match "
               "'quorval_data'";
        const QByteArray sound = Document().replace("</Quorval_Data>", "");
        QTest::newRow("alignment neither true nor false")
            << sound + "<Align_Deviations>yes</Align_Deviations></Quorval_Data>"
            << "ERR  Load_Data: ERR:  Node 'Align_Deviations' holds 'yes', which is not true or "
               "false.";
        QTest::newRow("merge distance not finite")
            << sound + "<Position_Merge_Distance>1e999</Position_Merge_Distance></Quorval_Data>"
            << "ERR  Load_Data: ERR:  Node 'Position_Merge_Distance' holds '1e999', which is not "
               "a distance of 0 mm or more.";
        QTest::newRow("control character in details")
            << sound + "<Item>ok</Item><Remarks>a\x7f</Remarks></Quorval_Data>"
            << "ERR  Load_Data: ERR:  Node 'Remarks' holds the control character U+007F.";
        QTest::newRow("details too long")
            << sound + "<Set_A_Description>" + QByteArray(1200, 'x') +
                   "</Set_A_Description></Quorval_Data>"
            << "ERR  Load_Data: ERR:  Node 'Set_A_Description' holds 1200 characters, more than "
               "1000.";
    }

    void Refuses_Damaged_Documents()
    {
        // A failed load hands back nothing: the content keeps what it held before.
        QFETCH(QByteArray, data);
        QFETCH(QString, message);
        DataFile::TContent content = Sentinel();
        QString error;
        QVERIFY(!DataFile::Load_Data(data, &content, &error));
        QCOMPARE(error, message);
        QVERIFY(Same_Content(content, Sentinel()));

        // The same through a file.
        QTemporaryDir dir;
        const QString file_name = dir.filePath("damaged.quorval");
        QVERIFY(Write_All(file_name, data));
        error.clear();
        QVERIFY(!DataFile::Load_File(file_name, &content, &error));
        QCOMPARE(error, message);
        QVERIFY(Same_Content(content, Sentinel()));
    }

    void Refuses_Damaged_Copies_Of_The_Examples_data()
    {
        // Each match of find is replaced; the parser stops at the first occurrence of at, and
        // says what. Without at, what is the whole message.
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replace");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("what");
        // A document type on the first line, after the declaration.
        const QString root = "\\?>\\n<Quorval_Data";
        const QString doctype = "?><!DOCTYPE Quorval_Data %1>\n<Quorval_Data";
        QTest::newRow("undeclared entity") << "<Actual>"
                                           << "<Actual>&foo;"
                                           << "&foo;"
                                           << "undefined entity";
        QTest::newRow("external document type")
            << root << doctype.arg("SYSTEM \"q.dtd\"") << ">\n<Quorval_Data"
            << "external document type definitions are not supported";
        QTest::newRow("duplicate attribute") << "(File_Version=\"\\d\")"
                                             << "\\1 File_Version=\"9\""
                                             << "File_Version=\"9\""
                                             << "duplicate attribute";
        QTest::newRow("no blank between attributes") << "(File_Version=\"\\d\")"
                                                     << "\\1Note=\"x\""
                                                     << "Note="
                                                     << "not well-formed (invalid token)";
        QTest::newRow("brace in a public identifier")
            << root << doctype.arg("PUBLIC \"a{b\" \"q.dtd\"") << "{b"
            << "illegal character(s) in public id";
        QTest::newRow("content model mixing , and |")
            << root << doctype.arg("[<!ELEMENT a (b,c|d)>]") << "[<!ELEMENT"
            << "internal subsets of a document type are not supported";
        QTest::newRow("decimal comma")
            << "<Actual>[^<]*</Actual>"
            << "<Actual>30,5</Actual>" << QString()
            << "ERR  Load_Data: ERR:  Node 'Actual' of entry 1 in 'Data_Set_A' holds '30,5', which "
               "is not a number.";
    }

    void Refuses_Damaged_Copies_Of_The_Examples()
    {
        // Damaged as hand edits and other programs damage files, every example is refused,
        // naming where the fault is; nothing of it is read.
        QFETCH(QString, find);
        QFETCH(QString, replace);
        QFETCH(QString, at);
        QFETCH(QString, what);
        const QDir examples(QFINDTESTDATA("../examples"));
        QTemporaryDir dir;
        for (const QString &name : examples.entryList({"*.quorval"})) {
            const QString text = QString::fromUtf8(Read_All(examples.filePath(name)))
                                     .replace(QRegularExpression(find), replace);
            const QString file_name = dir.filePath(name);
            QVERIFY(Write_All(file_name, text.toUtf8()));
            QString message = what;
            if (!at.isEmpty()) {
                const int offset = text.indexOf(at);
                message = QString("ERR  Load_Data: ERR:  Reference file XML parse error at line %1 "
                                  "column %2: %3")
                              .arg(text.left(offset).count('\n') + 1)
                              .arg(offset - text.lastIndexOf('\n', offset - 1))
                              .arg(what);
            }
            DataFile::TContent content = Sentinel();
            QString error;
            QVERIFY2(!DataFile::Load_File(file_name, &content, &error), qPrintable(name));
            QCOMPARE(error, message);
            QVERIFY(Same_Content(content, Sentinel()));
        }
    }

    // A file whose entries would need more memory than is free is refused before it is read.
    void Refuses_A_File_Beyond_The_Memory()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("huge.quorval"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(Document()) > 0);
        // 4 TiB, nearly all of it a hole that takes no room on the disk.
        if (!file.resize(qint64(1) << 42))
            QSKIP("the file system holds no file of 4 TiB");
        file.close();
        DataFile::TContent content = Sentinel();
        QString error;
        QVERIFY(!DataFile::Load_File(file.fileName(), &content, &error));
        QVERIFY2(error.startsWith("ERR  Load_Data: ERR:  Not enough memory: the entries of a file "
                                  "of 4194304 MiB need about 786432 MiB"),
                 qPrintable(error));
        QVERIFY(Same_Content(content, Sentinel()));
    }

    void Survives_Control_Characters()
    {
        // Control characters in text crashed the DOM parser (found by the fuzzer); they are
        // refused as a parse error and change nothing.
        DataFile::TContent content = Sentinel();
        QString error;
        QVERIFY(!DataFile::Load_File(QFINDTESTDATA("data/datafile/fuzz_crash_nul_in_text.quorval"),
                                     &content, &error));
        QVERIFY2(error.startsWith("ERR  Load_Data: ERR:  Reference file XML parse error at line "),
                 qPrintable(error));
        QVERIFY(Same_Content(content, Sentinel()));

        const QByteArray data("<Quorval_Data File_Version=\"1\" note=\"&#1;\"><?x y&#1;?>"
                              "<Data_Set_A/><Data_Set_B><Entry><Nominal>1&#1;</Nominal>"
                              "<Actual>2</Actual><Uc><![CDATA[3\x01]]></Uc></Entry>"
                              "</Data_Set_B></Quorval_Data>");
        QVERIFY(!DataFile::Load_Data(data, &content, &error));
        QVERIFY2(
            error.startsWith("ERR  Load_Data: ERR:  Reference data XML parse error at line 1 "),
            qPrintable(error));
        QVERIFY(Same_Content(content, Sentinel()));
    }

    void Reports_Unreadable_Files()
    {
        QTemporaryDir dir;
        DataFile::TContent content = Sentinel();
        QString error;

        const QString missing = dir.filePath("missing.quorval");
        QVERIFY(!DataFile::Load_File(missing, &content, &error));
        QCOMPARE(error,
                 QString("ERR  Load_Data: ERR:  Cannot open file '%1' for reading.").arg(missing));

        const QString empty = dir.filePath("empty.quorval");
        QVERIFY(Write_All(empty, QByteArray()));
        QVERIFY(!DataFile::Load_File(empty, &content, &error));
        QVERIFY2(error.startsWith("ERR  Load_Data: ERR:  Reference file XML parse error at line "),
                 qPrintable(error));

        const QString truncated = dir.filePath("truncated.quorval");
        QVERIFY(Write_All(truncated, QByteArray(Two_One_Entry_Sets).left(300)));
        QVERIFY(!DataFile::Load_File(truncated, &content, &error));
        QVERIFY2(error.startsWith("ERR  Load_Data: ERR:  Reference file XML parse error at line "),
                 qPrintable(error));

        QVERIFY(!DataFile::Load_File(dir.path(), &content, &error));
        QVERIFY2(error.startsWith("ERR  Load_Data: ERR:  "), qPrintable(error));
        QVERIFY(Same_Content(content, Sentinel()));
    }

    void Reports_Failed_Saves()
    {
        QTemporaryDir dir;
        const DataFile::TContent content = Content({Entry(1, 1, 1)}, {}, 0.0, 0.0);
        QString error;

        // A folder that is a regular file fails for every user, root included.
        const QString blocker = dir.filePath("plain_file");
        QVERIFY(Write_All(blocker, "x"));
        const QString inside = blocker + "/run1.quorval";
        QVERIFY(!DataFile::Save_File(inside, content, &error));
        QVERIFY2(
            error.startsWith(
                QString("ERR  Save_Data: ERR:  Cannot write file '%1'.  Reason: ").arg(inside)),
            qPrintable(error));
        QVERIFY(error.length() > QString("ERR  Save_Data: ERR:  Cannot write file '%1'.  Reason: ")
                                     .arg(inside)
                                     .length());

        // A read-only file is refused and left as it was. Root ignores permissions, so the save
        // runs in a child process switched to an unprivileged user.
        const QString read_only = dir.filePath("read_only.quorval");
        QVERIFY(Write_All(read_only, "old content"));
        QVERIFY(Set_Mode(read_only, 0444));
        QVERIFY(Set_Mode(dir.path(), 0755));
        QCOMPARE(Run_In_Child([&] {
                     if (!Become_Unprivileged())
                         return QStringLiteral("cannot switch user");
                     QString child_error;
                     if (DataFile::Save_File(read_only, content, &child_error))
                         return QStringLiteral("saved");
                     return child_error;
                 }),
                 QString("ERR  Save_Data: ERR:  Cannot open file '%1' for writing").arg(read_only));
        QCOMPARE(Read_All(read_only), QByteArray("old content"));
    }
};

QTEST_MAIN(TTestDataFile)
#include "test_datafile.moc"
