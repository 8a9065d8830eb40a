#include "core/base/xmlfile.h"

#include "core/base/safewrite.h"
#include "test_support.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

using namespace Support;

namespace {

// The message and kind of what the call throws; "no exception" when it returns.
QString Thrown(const std::function<void()> &call, TXmlFileException::TExceptionType *type = nullptr)
{
    try {
        call();
    } catch (const TXmlFileException &e) {
        if (type != nullptr)
            *type = e.d_type;
        return e.d_message;
    }
    return QStringLiteral("no exception");
}

QString Open_Data_Error(const QByteArray &data, const QString &identification = "Quorval_Data")
{
    TXmlFile xml;
    int version = 0;
    TXmlFileException::TExceptionType type = TXmlFileException::FILE_ERROR;
    const QString message =
        Thrown([&] { xml.Open_Data(data, identification, &version, true); }, &type);
    if (message != "no exception" && type != TXmlFileException::DATA_ERROR)
        return QStringLiteral("wrong type: ") + message;
    return message;
}

const QByteArray Declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// A document with every kind of content the writer produces.
void Build_Sample(TXmlFile *xml)
{
    xml->Reset("Quorval_Data", 2);
    QDomElement set = xml->Create_Node(&xml->d_root_node, "Data_Set_A");
    QDomElement entry = xml->Create_Node(&set, "Entry");
    xml->Write_Attribute(&entry, "Index", 3);
    QDomElement nominal = xml->Create_Node(&entry, "Nominal");
    xml->Write_Text_Node(&nominal, 0.0, 5);
    QDomElement actual = xml->Create_Node(&entry, "Actual");
    xml->Write_Text_Node(&actual, -2.25, 3);
    QDomElement count = xml->Create_Node(&entry, "Count");
    xml->Write_Text_Node(&count, -7);
    QDomElement note = xml->Create_Node(&xml->d_root_node, "Note");
    xml->Write_Text_Node(&note, "a < b & c");
    xml->Create_Node(&xml->d_root_node, "Empty");
    QDomElement two = xml->Create_Node(&xml->d_root_node, "Two");
    xml->Write_Text_Node(&two, "x");
    xml->Write_Text_Node(&two, "y");
}

const QByteArray Sample_Indented = Declaration + "<Quorval_Data File_Version=\"2\">\n"
                                                 "    <Data_Set_A>\n"
                                                 "        <Entry Index=\"3\">\n"
                                                 "            <Nominal>0.00000</Nominal>\n"
                                                 "            <Actual>-2.250</Actual>\n"
                                                 "            <Count>-7</Count>\n"
                                                 "        </Entry>\n"
                                                 "    </Data_Set_A>\n"
                                                 "    <Note>a &lt; b &amp; c</Note>\n"
                                                 "    <Empty/>\n"
                                                 "    <Two>xy</Two>\n"
                                                 "</Quorval_Data>\n";

const QByteArray Sample_Compact =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><Quorval_Data File_Version=\"2\"><Data_Set_A>"
    "<Entry Index=\"3\"><Nominal>0.00000</Nominal><Actual>-2.250</Actual><Count>-7</Count>"
    "</Entry></Data_Set_A><Note>a &lt; b &amp; c</Note><Empty/><Two>xy</Two></Quorval_Data>";

} // namespace

class TTestXmlFile : public QObject
{
    Q_OBJECT

private slots:
    void Open_File_Errors();
    void Identification_And_Version();
    void Read_Text_Node();
    void Read_Attribute();
    void Navigation();
    void Written_Bytes();
    void Build_Errors();
    void Write_File_Round_Trip_And_Links();
    void Write_File_Failures();
    void Write_File_Full_Disk();
    void Entity_Declarations_Refused();
    void Hostile_Input();
    void Characters_Outside_Xml();
    void Fuzz_Regressions();
    void Files_That_Are_Not_Regular_Refused_data();
    void Files_That_Are_Not_Regular_Refused();
    void Oversized_File_Refused();
    void Invalid_Encoding_Refused_data();
    void Invalid_Encoding_Refused();
    void Valid_Encodings_Read_data();
    void Valid_Encodings_Read();
    void Open_In_Steps_data();
    void Open_In_Steps();
};

void TTestXmlFile::Open_File_Errors()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TXmlFile xml;
    int version = -1;
    TXmlFileException::TExceptionType type = TXmlFileException::DATA_ERROR;

    xml.d_file_name = dir.filePath("missing.quorval");
    QCOMPARE(Thrown([&] { xml.Open("Quorval_Data", &version, true); }, &type),
             QStringLiteral("ERR:  Cannot open file '%1' for reading.").arg(xml.d_file_name));
    QCOMPARE(type, TXmlFileException::FILE_ERROR);

    // Readable but not a file: the open itself fails with the system's reason.
    xml.d_file_name = dir.path();
    QCOMPARE(Thrown([&] { xml.Open("Quorval_Data", &version, true); }, &type),
             QStringLiteral("ERR:  Cannot open file: '%1'.  Reason: file to open is a directory")
                 .arg(dir.path()));
    QCOMPARE(type, TXmlFileException::FILE_ERROR);

    xml.d_file_name = dir.filePath("empty.quorval");
    QVERIFY(Write_All(xml.d_file_name, QByteArray()));
    QCOMPARE(Thrown([&] { xml.Open("Quorval_Data", &version, true); }, &type),
             QStringLiteral("ERR:  Reference file XML parse error at line 1 column 1: "
                            "unexpected end of file"));
    QCOMPARE(type, TXmlFileException::DATA_ERROR);
    QCOMPARE(Open_Data_Error(QByteArray()),
             QStringLiteral("ERR:  Reference data XML parse error at line 1 column 1: "
                            "unexpected end of file"));
    QCOMPARE(version, -1);

    // A good file: CR LF line ends and a document type are read as they are.
    xml.d_file_name = dir.filePath("good.quorval");
    QVERIFY(Write_All(xml.d_file_name, "<?xml version=\"1.0\"?>\r\n<!DOCTYPE Quorval>\r\n"
                                       "<Quorval_Data File_Version=\"2\">\r\n"
                                       "<Offset_B>1.50000</Offset_B></Quorval_Data>\r\n"));
    xml.Open("Quorval_Data", &version, true);
    QCOMPARE(version, 2);
    QCOMPARE(xml.Doctype_Name(), QStringLiteral("Quorval"));
    QCOMPARE(xml.Identification(), QStringLiteral("Quorval_Data"));
    const QDomElement offset = xml.Get_Node(&xml.d_root_node, "Offset_B", false);
    QCOMPARE(xml.Read_Text_Node(&offset, false), QStringLiteral("1.50000"));
}

void TTestXmlFile::Identification_And_Version()
{
    QCOMPARE(Open_Data_Error("<quorval_data File_Version=\"2\"/>"),
             QStringLiteral("ERR:  Identification 'Quorval_Data' does not match 'quorval_data'"));
    QCOMPARE(Open_Data_Error("<Quorval_Data File_Version=\"2\"/>", "quorval_data"),
             QStringLiteral("ERR:  Identification 'quorval_data' does not match 'Quorval_Data'"));
    // Placeholder text in the names is not substituted a second time.
    QCOMPARE(Open_Data_Error("<R/>", "Q%2"),
             QStringLiteral("ERR:  Identification 'Q%2' does not match 'R'"));
    // The parser insists on a root element.
    QCOMPARE(Open_Data_Error("<?xml version=\"1.0\"?>"),
             QStringLiteral("ERR:  Reference data XML parse error at line 1 column 22: "
                            "unexpected end of file"));

    struct TCase
    {
        QByteArray root;
        int expected;
    };
    const TCase cases[] = {{"<Quorval_Data File_Version=\"2\"/>", 2},
                           {"<Quorval_Data File_Version=\"two\"/>", 0},
                           {"<Quorval_Data File_Version=\"\"/>", 0},
                           {"<Quorval_Data File_Version=\"-3\"/>", -3}};
    for (const TCase &c : cases) {
        TXmlFile xml;
        int version = 99;
        xml.Open_Data(c.root, "Quorval_Data", &version, false);
        QCOMPARE(version, c.expected);
    }

    TXmlFile xml;
    QCOMPARE(Thrown([&] {
                 int version = 0;
                 xml.Open_Data("<Quorval_Data/>", "Quorval_Data", &version, true);
             }),
             QStringLiteral("ERR:  The 'File_Version' attribute is missing."));
    // Without a version pointer the attribute is neither needed nor read.
    xml.Open_Data("<Quorval_Data/>", "Quorval_Data", nullptr, true);
    QCOMPARE(xml.Identification(), QStringLiteral("Quorval_Data"));
    QCOMPARE(xml.Doctype_Name(), QString());

    // A failed identification keeps the earlier one but already points at the new root.
    QVERIFY(Thrown([&] { xml.Open_Data("<Other/>", "Quorval_Data", nullptr, true); }) !=
            "no exception");
    QCOMPARE(xml.Identification(), QStringLiteral("Quorval_Data"));
    QCOMPARE(xml.d_root_node.tagName(), QStringLiteral("Other"));
}

void TTestXmlFile::Read_Text_Node()
{
    TXmlFile xml;
    xml.Open_Data("<Quorval_Data File_Version=\"2\">"
                  "<Nominal/>"
                  "<Comment_First><!--c-->text</Comment_First>"
                  "<Split>first<!--c-->second</Split>"
                  "<Cdata><![CDATA[<raw> & text]]></Cdata>"
                  "<Element_First><Inner>x</Inner>tail</Element_First>"
                  "<Blank>  1.5 \n</Blank>"
                  "</Quorval_Data>",
                  "Quorval_Data", nullptr, true);
    const QDomElement &root = xml.d_root_node;
    auto child = [&](const char *name) { return xml.Get_Node(&root, name, false); };

    const QDomElement nominal = child("Nominal");
    QCOMPARE(Thrown([&] { xml.Read_Text_Node(&nominal, false); }),
             QStringLiteral("ERR:  Node Text for 'Nominal' is not optional."));
    QCOMPARE(xml.Read_Text_Node(&nominal, true), QString());
    const QDomElement comment_first = child("Comment_First");
    QCOMPARE(xml.Read_Text_Node(&comment_first, true), QString());
    const QDomElement split = child("Split");
    QCOMPARE(xml.Read_Text_Node(&split, false), QStringLiteral("first"));
    const QDomElement cdata = child("Cdata");
    QCOMPARE(xml.Read_Text_Node(&cdata, false), QStringLiteral("<raw> & text"));
    const QDomElement element_first = child("Element_First");
    QCOMPARE(xml.Read_Text_Node(&element_first, true), QString());
    const QDomElement blank = child("Blank");
    QCOMPARE(xml.Read_Text_Node(&blank, false), QStringLiteral("  1.5 \n"));

    // The node overload names the local name, which namespace processing provides.
    const QDomNode nominal_node = nominal;
    QCOMPARE(Thrown([&] { xml.Read_Text_Node(&nominal_node, false); }),
             QStringLiteral("ERR:  Node Text for 'Nominal' is not optional."));
    QCOMPARE(xml.Read_Text_Node(&static_cast<const QDomNode &>(split), false),
             QStringLiteral("first"));
    xml.Open_Data("<Quorval_Data><Nominal/></Quorval_Data>", "Quorval_Data", nullptr, false);
    const QDomNode plain = xml.d_root_node.firstChild();
    QCOMPARE(Thrown([&] { xml.Read_Text_Node(&plain, false); }),
             QStringLiteral("ERR:  Node Text for '' is not optional."));

    const QDomElement null_element;
    const QDomNode null_node;
    QCOMPARE(Thrown([&] { xml.Read_Text_Node(&null_element, true); }),
             QStringLiteral("ERR:  Cannot read data from a NULL node"));
    QCOMPARE(Thrown([&] { xml.Read_Text_Node(&null_node, true); }),
             QStringLiteral("ERR:  Cannot read data from a NULL node"));
}

void TTestXmlFile::Read_Attribute()
{
    TXmlFile xml;
    xml.Open_Data("<Quorval_Data File_Version=\"2\"><E a=\"1\" b=\"\"/>text</Quorval_Data>",
                  "Quorval_Data", nullptr, true);
    const QDomElement e = xml.Get_Node(&xml.d_root_node, "E", false);
    const QDomNode node = e;
    const QDomNode text = xml.d_root_node.lastChild();

    QCOMPARE(xml.Read_Attribute(&e, "a", false), QStringLiteral("1"));
    QCOMPARE(xml.Read_Attribute(&node, "a", false), QStringLiteral("1"));
    QCOMPARE(xml.Read_Attribute(&e, "b", false), QString(""));
    QCOMPARE(xml.Read_Attribute(&e, "A", true), QString());
    QCOMPARE(Thrown([&] { xml.Read_Attribute(&e, "A", false); }),
             QStringLiteral("ERR:  Node attribute 'A' missing and not optional."));
    QCOMPARE(Thrown([&] { xml.Read_Attribute(&node, "c", false); }),
             QStringLiteral("ERR:  Node attribute 'c' missing and not optional."));
    QCOMPARE(xml.Read_Attribute(&text, "a", true), QString());
    QCOMPARE(Thrown([&] { xml.Read_Attribute(&text, "a", false); }),
             QStringLiteral("ERR:  Node attribute 'a' missing and not optional."));

    const QDomElement null_element;
    const QDomNode null_node;
    QCOMPARE(Thrown([&] { xml.Read_Attribute(&null_element, "a", true); }),
             QStringLiteral("ERR:  Cannot read attribute from a NULL node"));
    QCOMPARE(Thrown([&] { xml.Read_Attribute(&null_node, "a", true); }),
             QStringLiteral("ERR:  Cannot read attribute from a NULL node"));
}

void TTestXmlFile::Navigation()
{
    TXmlFile xml;
    xml.Open_Data("<Quorval_Data File_Version=\"2\">"
                  "<Other><Entry n=\"grandchild\"/></Other>"
                  "<Entry n=\"1\"/>lead<Entry n=\"2\"><Empty/></Entry>"
                  "</Quorval_Data>",
                  "Quorval_Data", nullptr, true);
    const QDomElement &root = xml.d_root_node;

    // The usual loop over repeated children finds the direct ones, in order.
    QStringList found;
    for (QDomElement e = xml.Get_Node(&root, "Entry", true); !e.isNull();
         e = xml.Get_Sibling_Node(&e, "Entry", true))
        found << e.attribute("n");
    QCOMPARE(found, (QStringList{"1", "2"}));

    const QDomElement last = root.lastChildElement();
    QVERIFY(xml.Get_Sibling_Node(&last, "Entry", true).isNull());
    QCOMPARE(Thrown([&] { xml.Get_Sibling_Node(&last, "Entry", false); }),
             QStringLiteral("ERR:  Node 'Entry' is missing from node 'Entry' and not optional."));
    QCOMPARE(Thrown([&] { xml.Get_Node(&root, "Missing", false); }),
             QStringLiteral(
                 "ERR:  Node 'Missing' is missing from node 'Quorval_Data' and not optional."));
    const QDomNode root_node = root;
    QCOMPARE(Thrown([&] { xml.Get_Node(&root_node, "Missing", false); }),
             QStringLiteral(
                 "ERR:  Node 'Missing' is missing from node 'Quorval_Data' and not optional."));
    QCOMPARE(xml.Get_Node(&root_node, "Entry", false).attribute("n"), QStringLiteral("1"));

    // An empty name matches any element.
    const QDomElement first = xml.Get_Node(&root, QString(), false);
    QCOMPARE(first.tagName(), QStringLiteral("Other"));
    QCOMPARE(xml.Get_Sibling_Node(&first, QString(), false).attribute("n"), QStringLiteral("1"));

    // Any node kind: the text between the entries is a sibling of its own.
    const QDomElement entry1 = xml.Get_Node(&root, "Entry", false);
    const QDomNode lead = xml.Get_Sibling_Node(&static_cast<const QDomNode &>(entry1), false);
    QVERIFY(lead.isText());
    QCOMPARE(lead.nodeValue(), QStringLiteral("lead"));
    const QDomNode entry2 = xml.Get_Sibling_Node(&lead, false);
    QVERIFY(xml.Get_Sibling_Node(&entry2, true).isNull());
    QCOMPARE(
        Thrown([&] { xml.Get_Sibling_Node(&entry2, false); }),
        QStringLiteral("ERR:  Node 'Entry' does not have siblings and they are not optional."));

    const QDomElement empty = xml.Get_Node(&entry2, "Empty", false);
    QVERIFY(xml.Get_First_Node(&empty, true).isNull());
    QCOMPARE(Thrown([&] { xml.Get_First_Node(&empty, false); }),
             QStringLiteral("ERR:  Parent 'Empty' does not have nodes and they are not optional."));
    const QDomNode empty_node = empty;
    QCOMPARE(Thrown([&] { xml.Get_First_Node(&empty_node, false); }),
             QStringLiteral("ERR:  Parent 'Empty' does not have nodes and they are not optional."));

    xml.Open_Data("<R><A>text<B/></A></R>", "R", nullptr, false);
    const QDomElement a = xml.d_root_node.firstChildElement();
    QVERIFY(xml.Get_First_Node(&a, false).isText());

    const QDomElement null_element;
    const QDomNode null_node;
    QCOMPARE(Thrown([&] { xml.Get_Node(&null_element, "A", true); }),
             QStringLiteral("ERR:  Cannot get child from a NULL node"));
    QCOMPARE(Thrown([&] { xml.Get_Node(&null_node, "A", true); }),
             QStringLiteral("ERR:  Cannot get child from a NULL node"));
    QCOMPARE(Thrown([&] { xml.Get_Sibling_Node(&null_element, "A", true); }),
             QStringLiteral("ERR:  Cannot get sibling from a NULL node"));
    // The unnamed navigation has no null check: a null node has no children or siblings.
    QVERIFY(xml.Get_First_Node(&null_node, true).isNull());
    QVERIFY(xml.Get_Sibling_Node(&null_node, true).isNull());
}

void TTestXmlFile::Written_Bytes()
{
    TXmlFile xml;
    QByteArray data;
    xml.Reset("Quorval_Data", 2);
    xml.Write_Data(&data, false);
    QCOMPARE(data, Declaration + "<Quorval_Data File_Version=\"2\"/>\n");

    Build_Sample(&xml);
    xml.Write_Data(&data, false);
    QCOMPARE(data, Sample_Indented);
    // Writing neither changes the document nor appends to earlier output.
    xml.Write_Data(&data, true);
    QCOMPARE(data, Sample_Compact);
    xml.Write_Data(&data, false);
    QCOMPARE(data, Sample_Indented);

    // Line breaks inside a text vanish in the compact form too.
    QDomElement note = xml.Create_Node(&xml.d_root_node, "Lines");
    xml.Write_Text_Node(&note, "one\ntwo");
    xml.Write_Data(&data, true);
    QVERIFY(data.endsWith("<Lines>onetwo</Lines></Quorval_Data>"));
    QVERIFY(!data.contains('\n'));

    // The last value of an attribute wins; numbers are formatted in the C locale.
    const QLocale old_locale;
    QLocale::setDefault(QLocale(QLocale::German));
    xml.Reset("R", -1);
    QDomElement value = xml.Create_Node(&xml.d_root_node, "Value");
    xml.Write_Attribute(&value, "v", "first");
    xml.Write_Attribute(&value, "v", 1234.5, 2);
    xml.Write_Text_Node(&value, 1234567.125, 1);
    QDomElement count = xml.Create_Node(&xml.d_root_node, "Count");
    xml.Write_Attribute(&count, "n", -12);
    QLocale::setDefault(old_locale);
    xml.Write_Data(&data, false);
    QCOMPARE(data, Declaration + "<R File_Version=\"-1\">\n"
                                 "    <Value v=\"1234.50\">1234567.1</Value>\n"
                                 "    <Count n=\"-12\"/>\n"
                                 "</R>\n");

    // With a document type there is no XML declaration; the text is UTF-8.
    xml.Reset("Quorval", "Root", 1);
    QDomElement text = xml.Create_Node(&xml.d_root_node, "T");
    xml.Write_Text_Node(&text, QString::fromUtf8("\xc2\xb5m \xe2\x88\x9a \xf0\x9f\x93\x8f"));
    xml.Write_Data(&data, false);
    QCOMPARE(data, QByteArray("<!DOCTYPE Quorval>\n<Root File_Version=\"1\">\n"
                              "    <T>\xc2\xb5m \xe2\x88\x9a \xf0\x9f\x93\x8f</T>\n</Root>\n"));
    // ... and reads back the same, characters beyond U+FFFF included.
    TXmlFile back;
    back.Open_Data(data, "Root", nullptr, true);
    QCOMPARE(back.Doctype_Name(), QStringLiteral("Quorval"));
    const QDomElement t = back.Get_Node(&back.d_root_node, "T", false);
    QCOMPARE(back.Read_Text_Node(&t, false),
             QString::fromUtf8("\xc2\xb5m \xe2\x88\x9a \xf0\x9f\x93\x8f"));

    xml.Clear();
    xml.Write_Data(&data, false);
    QCOMPARE(data, QByteArray());
}

void TTestXmlFile::Build_Errors()
{
    TXmlFile xml;
    xml.Reset("Quorval_Data", 2);
    QDomElement root = xml.d_root_node;

    QCOMPARE(Thrown([&] { xml.Create_Node(&root, QString()); }),
             QStringLiteral("ERR:  Cannot create an unnamed node"));
    QDomElement invalid = xml.Create_Node(&root, "1abc");
    QVERIFY(invalid.isNull());
    QVERIFY(root.firstChild().isNull());
    QCOMPARE(Thrown([&] { xml.Write_Text_Node(&invalid, "x"); }),
             QStringLiteral("ERR:  Cannot append data to a NULL node"));
    QCOMPARE(Thrown([&] { xml.Create_Node(&invalid, "Child"); }),
             QStringLiteral("ERR:  Cannot create node from a NULL node"));

    QDomElement value = xml.Create_Node(&root, "Value");
    const QString control = QStringLiteral("a") + QChar(1) + QStringLiteral("b");
    TXmlFileException::TExceptionType type = TXmlFileException::FILE_ERROR;
    QCOMPARE(Thrown([&] { xml.Write_Text_Node(&value, control); }, &type),
             QStringLiteral("ERR:  Cannot write node 'Value' with data '%1'").arg(control));
    QCOMPARE(type, TXmlFileException::DATA_ERROR);
    QVERIFY(value.firstChild().isNull());

    QCOMPARE(Thrown([&] { xml.Write_Attribute(&value, QString(), "x"); }),
             QStringLiteral("ERR:  Cannot create an unnamed attribute"));
    // The DOM would write these unescaped into a file that cannot be read again.
    QCOMPARE(Thrown([&] { xml.Write_Attribute(&value, "a", control); }),
             QStringLiteral("ERR:  Cannot write attribute 'a' with data '%1'").arg(control));
    QCOMPARE(Thrown([&] { xml.Write_Attribute(&value, "1a", "x"); }),
             QStringLiteral("ERR:  Cannot write attribute '1a' with data 'x'"));
    QVERIFY(!value.hasAttributes());
    // On a null element an attribute has no effect.
    xml.Write_Attribute(&invalid, "a", "x");
    QVERIFY(!invalid.hasAttribute("a"));

    QByteArray data;
    xml.Write_Data(&data, true);
    QCOMPARE(data, "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                   "<Quorval_Data File_Version=\"2\"><Value/></Quorval_Data>");
}

void TTestXmlFile::Write_File_Round_Trip_And_Links()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString target = dir.filePath("sample.quorval");
    const QString link = dir.filePath("link.quorval");
    QVERIFY(Write_All(target, "old"));
    QVERIFY(Set_Mode(target, 0640));
    QVERIFY(QFile::link("sample.quorval", link));

    TXmlFile xml;
    Build_Sample(&xml);
    xml.d_file_name = link;
    xml.Write_File(false);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(Read_All(target), Sample_Indented);
    QCOMPARE(Mode_Of(target), static_cast<mode_t>(0640));
    xml.Write_File(true);
    QCOMPARE(Read_All(target), Sample_Compact);

    TXmlFile back;
    back.d_file_name = target;
    int version = 0;
    back.Open("Quorval_Data", &version, true);
    QCOMPARE(version, 2);
    const QDomElement set = back.Get_Node(&back.d_root_node, "Data_Set_A", false);
    const QDomElement entry = back.Get_Node(&set, "Entry", false);
    const QDomElement actual = back.Get_Node(&entry, "Actual", false);
    QCOMPARE(back.Read_Text_Node(&actual, false), QStringLiteral("-2.250"));
    QCOMPARE(back.Read_Attribute(&entry, "Index", false), QStringLiteral("3"));
    const QDomElement note = back.Get_Node(&back.d_root_node, "Note", false);
    QCOMPARE(back.Read_Text_Node(&note, false), QStringLiteral("a < b & c"));
}

void TTestXmlFile::Write_File_Failures()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(Set_Mode(dir.path(), 0777));
    TXmlFile xml;
    Build_Sample(&xml);
    TXmlFileException::TExceptionType type = TXmlFileException::FILE_ERROR;

    xml.d_file_name = dir.filePath("missing/data.quorval");
    QCOMPARE(Thrown([&] { xml.Write_File(false); }, &type),
             QStringLiteral("ERR:  Cannot write file '%1'.  Reason: No such file or directory")
                 .arg(xml.d_file_name));
    QCOMPARE(type, TXmlFileException::DATA_ERROR);

    xml.d_file_name = dir.path();
    QCOMPARE(Thrown([&] { xml.Write_File(false); }, &type),
             QStringLiteral("ERR:  Cannot write file '%1'.  Reason: Is a directory")
                 .arg(xml.d_file_name));

    // Read-only file, checked as an ordinary user (root may write anything).
    const QString read_only = dir.filePath("read_only.quorval");
    QVERIFY(Write_All(read_only, "keep"));
    QVERIFY(Set_Mode(read_only, 0444));
    QCOMPARE(Run_In_Child([&] {
                 if (!Become_Unprivileged())
                     return QStringLiteral("cannot switch to nobody");
                 xml.d_file_name = read_only;
                 TXmlFileException::TExceptionType child_type = TXmlFileException::DATA_ERROR;
                 const QString message = Thrown([&] { xml.Write_File(false); }, &child_type);
                 if (child_type != TXmlFileException::FILE_ERROR)
                     return QStringLiteral("wrong type: ") + message;
                 if (Read_All(read_only) != "keep")
                     return QStringLiteral("file changed");
                 return message;
             }),
             QStringLiteral("ERR:  Cannot open file '%1' for writing").arg(read_only));

    // A write that fails half-way (file size limit) throws and keeps the old file: the window's
    // Save, once main has set the signal aside, fails with a message instead of ending the
    // program.
    const QString limited = dir.filePath("limited.quorval");
    QVERIFY(Write_All(limited, "previous content"));
    QCOMPARE(Run_In_Child([&] {
                 if (!Limit_File_Size(64))
                     return QStringLiteral("setrlimit failed");
                 SafeWrite::Ignore_File_Size_Signal();
                 xml.d_file_name = limited;
                 const QString message = Thrown([&] { xml.Write_File(false); });
                 if (Read_All(limited) != "previous content")
                     return QStringLiteral("file changed");
                 if (Entries(dir.path()).size() != 2)
                     return QStringLiteral("temporary file left");
                 return message;
             }),
             QStringLiteral("ERR:  Cannot write file '%1'.  Reason: File too large").arg(limited));
}

void TTestXmlFile::Write_File_Full_Disk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString mount_point = dir.path();
    const QString name = mount_point + "/data.quorval";
    const QString result = Run_In_Child([&] {
        const QString unavailable = Mount_Small_Disk(mount_point);
        if (!unavailable.isEmpty())
            return QStringLiteral("SKIP: ") + unavailable;

        TXmlFile xml;
        xml.d_file_name = name;
        Build_Sample(&xml);
        xml.Write_File(false);
        // Grow the document beyond what the small disk holds.
        for (int i = 0; i < 4000; ++i) {
            QDomElement e = xml.Create_Node(&xml.d_root_node, "Entry");
            xml.Write_Text_Node(&e, 1.0 / (i + 1), 12);
        }
        const QString message = Thrown([&] { xml.Write_File(false); });
        if (Read_All(name) != Sample_Indented)
            return QStringLiteral("old file changed");
        if (Entries(mount_point).size() != 1)
            return QStringLiteral("temporary file left");
        return message;
    });
    if (result.startsWith("SKIP: "))
        QSKIP(qPrintable(result));
    QCOMPARE(
        result,
        QStringLiteral("ERR:  Cannot write file '%1'.  Reason: No space left on device").arg(name));
}

void TTestXmlFile::Entity_Declarations_Refused()
{
    const QByteArray laughs = "<?xml version=\"1.0\"?>\n"
                              "<!DOCTYPE Quorval_Data [\n"
                              "  <!ENTITY lol \"lol\">\n"
                              "  <!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
                              "  <!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">\n"
                              "]>\n"
                              "<Quorval_Data File_Version=\"2\">&lol3;</Quorval_Data>\n";
    QCOMPARE(Open_Data_Error(laughs),
             QStringLiteral("ERR:  Reference data XML parse error at line 3 column 3: "
                            "entity declarations are not supported"));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TXmlFile xml;
    xml.d_file_name = dir.filePath("external.quorval");
    QVERIFY(Write_All(xml.d_file_name, "<!DOCTYPE Quorval_Data [<!ELEMENT Quorval_Data ANY>"
                                       "<!ENTITY passwd SYSTEM \"file:///etc/passwd\">]>"
                                       "<Quorval_Data File_Version=\"2\">&passwd;</Quorval_Data>"));
    QCOMPARE(Thrown([&] { xml.Open("Quorval_Data", nullptr, true); }),
             QStringLiteral("ERR:  Reference file XML parse error at line 1 column 52: "
                            "entity declarations are not supported"));

    // One 4,000-character entity referenced 100,000 times: refused before the DOM builds it.
    QByteArray big = "<!DOCTYPE Quorval_Data [<!ENTITY e \"" + QByteArray(4000, 'x') +
                     "\">]>"
                     "<Quorval_Data File_Version=\"2\">";
    for (int i = 0; i < 100000; ++i)
        big += "&e;";
    big += "</Quorval_Data>";
    QCOMPARE(Open_Data_Error(big),
             QStringLiteral("ERR:  Reference data XML parse error at line 1 column 25: "
                            "entity declarations are not supported"));

    // Parameter entities and declarations hidden after other declarations are caught too.
    QCOMPARE(
        Open_Data_Error("<!DOCTYPE R [<!ATTLIST R a CDATA \"]>\"><!ENTITY % p \"x\">]><R/>", "R"),
        QStringLiteral("ERR:  Reference data XML parse error at line 1 column 39: "
                       "entity declarations are not supported"));
    // The same document in UTF-16 is refused as well.
    const QByteArray utf16 =
        QTextCodec::codecForName("UTF-16LE")->fromUnicode(QString::fromLatin1(laughs));
    QVERIFY(Open_Data_Error(utf16).endsWith("entity declarations are not supported"));

    // A document type without entities is read as before; a comment may mention them.
    xml.Open_Data("<!DOCTYPE Quorval [\n<!ELEMENT R ANY>\n<!-- no <!ENTITY here -->\n"
                  "<!ATTLIST R a CDATA \"x>y\">\n]>\n<R File_Version=\"1\">x</R>",
                  "R", nullptr, true);
    QCOMPARE(xml.Doctype_Name(), QStringLiteral("Quorval"));
    QCOMPARE(xml.Read_Text_Node(&xml.d_root_node, false), QStringLiteral("x"));
}

void TTestXmlFile::Hostile_Input()
{
    // 50 MB of random bytes: refused at once, without a crash.
    QByteArray noise(50 * 1024 * 1024, '\0');
    QRandomGenerator generator(20261207);
    generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QVERIFY(Open_Data_Error(noise).startsWith("ERR:  Reference data XML parse error at line "));
    // Random bytes behind a good start.
    noise.replace(0, 31, "<Quorval_Data File_Version=\"2\">");
    QVERIFY(Open_Data_Error(noise).startsWith("ERR:  Reference data XML parse error at line 1 "));
    noise.clear();

    // 100,000 levels of nesting would exhaust the parser's stack.
    QByteArray deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    for (int i = 0; i < 100000; ++i)
        deep += "</a>";
    QCOMPARE(Open_Data_Error(deep, "a"),
             QStringLiteral("ERR:  Reference data XML parse error at line 1 column 769: "
                            "elements nested more than 256 levels deep"));
    // Empty-element tags, end tags and quoted ">" do not count as levels.
    QByteArray wide = "<a>";
    for (int i = 0; i < 300; ++i)
        wide += "<b x=\">\"/><c></c>";
    wide += "</a>";
    TXmlFile xml;
    xml.Open_Data(wide, "a", nullptr, true);
    QCOMPARE(xml.d_root_node.childNodes().count(), 600);

    // UTF-16 with a byte order mark, and without one, is read.
    const QString document =
        QString::fromUtf8("<Quorval_Data File_Version=\"2\"><T>\xc4\x8d</T></Quorval_Data>");
    for (const char *codec : {"UTF-16", "UTF-16BE"}) {
        TXmlFile utf16;
        int version = 0;
        utf16.Open_Data(QTextCodec::codecForName(codec)->fromUnicode(document), "Quorval_Data",
                        &version, true);
        QCOMPARE(version, 2);
        const QDomElement t = utf16.Get_Node(&utf16.d_root_node, "T", false);
        QCOMPARE(utf16.Read_Text_Node(&t, false), QString::fromUtf8("\xc4\x8d"));
    }

    // A declaration the parser would take but the DOM cannot write back.
    QCOMPARE(Open_Data_Error("<?xml version=\"1.0\" encoding=\"utf'8\"?><Quorval_Data/>"),
             QStringLiteral("ERR:  Reference data XML parse error at line 1 column 1: "
                            "malformed XML declaration"));
}

void TTestXmlFile::Characters_Outside_Xml()
{
    struct TCase
    {
        QByteArray data;
        QString message;
    };
    const QString prefix = QStringLiteral("ERR:  Reference data XML parse error at line ");
    const TCase cases[] = {
        {QByteArray("<Quorval_Data File_Version=\"2\">\n  <A>1.0") + '\0' + "</A></Quorval_Data>",
         prefix + "2 column 9: character U+0000 is not allowed in XML"},
        {"<Quorval_Data File_Version=\"2\"><A>\x01</A></Quorval_Data>",
         prefix + "1 column 35: character U+0001 is not allowed in XML"},
        {"<Quorval_Data File_Version=\"2\"><!--\x1f--></Quorval_Data>",
         prefix + "1 column 36: character U+001F is not allowed in XML"},
        {"<Quorval_Data File_Version=\"2\"><A>&#1;</A></Quorval_Data>",
         prefix + "1 column 35: reference to a character not allowed in XML"},
        {"<Quorval_Data File_Version=\"2\" a=\"&#x0;\"/>",
         prefix + "1 column 35: reference to a character not allowed in XML"},
        // The parser would cut this one to U+F4CF.
        {"<Quorval_Data File_Version=\"2\"><A>&#x1F4CF;</A></Quorval_Data>",
         prefix + "1 column 35: character references beyond U+FFFF are not supported"},
        {"<Quorval_Data File_Version=\"2\"><A>\xef\xbf\xbf</A></Quorval_Data>",
         prefix + "1 column 35: character U+FFFF is not allowed in XML"},
        // The first fault is reported, also when a damaged byte follows.
        {"<Quorval_Data File_Version=\"2\"><A>\x01\xff</A></Quorval_Data>",
         prefix + "1 column 35: character U+0001 is not allowed in XML"},
    };
    for (const TCase &c : cases)
        QCOMPARE(Open_Data_Error(c.data), c.message);

    // Allowed characters, also as references and beyond U+FFFF, are read.
    TXmlFile xml;
    xml.Open_Data("<Quorval_Data File_Version=\"2\"><A>&#x9;&#65;&#xFFFD;\xf0\x9f\x93\x8f"
                  "<!-- &#1; in a comment is text --></A></Quorval_Data>",
                  "Quorval_Data", nullptr, true);
    const QDomElement a = xml.Get_Node(&xml.d_root_node, "A", false);
    QCOMPARE(xml.Read_Text_Node(&a, false), QString::fromUtf8("\tA\xef\xbf\xbd\xf0\x9f\x93\x8f"));
}

void TTestXmlFile::Fuzz_Regressions()
{
    // Inputs the fuzz target once crashed or tripped on: each is refused with a clear message.
    const struct
    {
        const char *file;
        const char *message_end;
    } cases[] = {
        {"data/xmlfile/fuzz_nul_in_text.xml", "character U+0000 is not allowed in XML"},
        {"data/xmlfile/fuzz_encoding_name_quote.xml", "malformed XML declaration"},
        {"data/xmlfile/fuzz_version_quote.xml", "malformed XML declaration"},
    };
    for (const auto &c : cases) {
        const QString path = QFINDTESTDATA(c.file);
        QVERIFY2(!path.isEmpty(), c.file);
        TXmlFile xml;
        xml.d_file_name = path;
        int version = 0;
        const QString message = Thrown([&] { xml.Open("Quorval_Data", &version, true); });
        QVERIFY2(message.startsWith("ERR:  Reference file XML parse error at line ") &&
                     message.endsWith(c.message_end),
                 qPrintable(message));
    }
}

void TTestXmlFile::Files_That_Are_Not_Regular_Refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("endless device") << "/dev/zero";
    QTest::newRow("FIFO without a writer") << "FIFO";
}

// Refused at once with a reason: a FIFO would wait for a writer, a device never end.
void TTestXmlFile::Files_That_Are_Not_Regular_Refused()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (name == "FIFO") {
        name = dir.filePath("fifo.quorval");
        QVERIFY(::mkfifo(QFile::encodeName(name).constData(), 0600) == 0);
    } else if (!QFileInfo::exists(name)) {
        QSKIP(qPrintable(name + " does not exist here"));
    }
    // In a child, which is killed if it hangs or ends by running out of memory.
    const TChildEnd end = Run_Child(
        [&] {
            TXmlFile xml;
            xml.d_file_name = name;
            TXmlFileException::TExceptionType type = TXmlFileException::DATA_ERROR;
            const QString message = Thrown([&] { xml.Open("Quorval_Data", nullptr, true); }, &type);
            return (type == TXmlFileException::FILE_ERROR ? message : "wrong type: " + message)
                .toUtf8();
        },
        false, 60000);
    QVERIFY(end.Exited_Cleanly());
    QCOMPARE(QString::fromUtf8(end.reply),
             QStringLiteral("ERR:  Cannot open file: '%1'.  Reason: not a regular file").arg(name));
}

// A file beyond 1 GiB is refused before anything of it is read.
void TTestXmlFile::Oversized_File_Refused()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = dir.filePath("huge.quorval");
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize((qint64(1) << 30) + 1)); // sparse: takes no disk space
    file.close();
    const TChildEnd end = Run_Child(
        [&] {
            TXmlFile xml;
            xml.d_file_name = name;
            return Thrown([&] { xml.Open("Quorval_Data", nullptr, true); }).toUtf8();
        },
        false, 60000);
    QVERIFY(end.Exited_Cleanly());
    QCOMPARE(QString::fromUtf8(end.reply),
             QStringLiteral("ERR:  Cannot open file: '%1'.  Reason: the file is larger than 1 GiB")
                 .arg(name));
}

void TTestXmlFile::Invalid_Encoding_Refused_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    const QByteArray root = "<Quorval_Data File_Version=\"2\">\n";
    const QByteArray end = "</Quorval_Data>\n";
    QTest::newRow("damaged byte in a number") << root +
                                                     "<Actual>1\xff"
                                                     "5</Actual>\n" +
                                                     end
                                              << 2 << 10;
    QTest::newRow("declared UTF-8 after a byte order mark")
        << "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + root + "<A>\x80</A>" + end
        << 3 << 4;
    QTest::newRow("overlong form of '<'") << root + "<A>x\xc0\xbc</A>" + end << 2 << 5;
    QTest::newRow("encoded surrogate") << root + "<A>\xed\xa0\x80</A>" + end << 2 << 4;
    QTest::newRow("beyond U+10FFFF") << root + "<A>\xf4\x90\x80\x80</A>" + end << 2 << 4;
    QTest::newRow("sequence cut short") << root + "<A>\xe2\x82</A>" + end << 2 << 4;
    QTest::newRow("before a character not allowed in XML")
        << root + "<A>\xff\x01</A>" + end << 2 << 4;
    QTest::newRow("in an attribute")
        << QByteArray("<Quorval_Data File_Version=\"\xe9\">") + end << 1 << 29;
    // The parser decodes in pieces of 1024 bytes; a sequence may span two of them.
    QTest::newRow("after the first kilobyte")
        << root + "<A>" + QByteArray(1020 - root.size(), 'x') + "\xc3\xa9\xc3" + "</A>" + end << 2
        << 993;
    QTest::newRow("sequence cut short at the end") << root + end + "\xe2\x82" << 3 << 1;
    QTest::newRow("UTF-16 with an odd last byte")
        << QTextCodec::codecForName("UTF-16")->fromUnicode(QString::fromLatin1(root + end)) + "x"
        << 3 << 1;
}

// A byte sequence that is not valid in the document's encoding is a fatal error of XML, reported
// where it is; the parser alone would read it as U+FFFD, and a damaged number as 0.
void TTestXmlFile::Invalid_Encoding_Refused()
{
    QFETCH(QByteArray, data);
    QFETCH(int, line);
    QFETCH(int, column);
    const QString where =
        QStringLiteral("XML parse error at line %1 column %2: byte sequence not "
                       "valid in the encoding %3")
            .arg(line)
            .arg(column)
            .arg(QByteArray(QTest::currentDataTag()).startsWith("UTF-16") ? "UTF-16" : "UTF-8");
    QCOMPARE(Open_Data_Error(data), "ERR:  Reference data " + where);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TXmlFile xml;
    xml.d_file_name = dir.filePath("damaged.quorval");
    QVERIFY(Write_All(xml.d_file_name, data));
    QCOMPARE(Thrown([&] { xml.Open("Quorval_Data", nullptr, true); }),
             "ERR:  Reference file " + where);
}

void TTestXmlFile::Valid_Encodings_Read_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    const QString replacement = QString(QChar(QChar::ReplacementCharacter));
    QTest::newRow("U+FFFD written as such in UTF-8")
        << QByteArray("<Quorval_Data File_Version=\"2\"><A>a\xef\xbf\xbd</A></Quorval_Data>")
        << "a" + replacement;
    QTest::newRow("declared Latin-1, where every byte is a character")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                      "<Quorval_Data File_Version=\"2\"><A>\xff</A></Quorval_Data>")
        << QString(QChar(0xff));
    QTest::newRow("UTF-16 with a byte order mark")
        << QTextCodec::codecForName("UTF-16")->fromUnicode("<Quorval_Data File_Version=\"2\"><A>b" +
                                                           replacement + "</A></Quorval_Data>")
        << "b" + replacement;
}

void TTestXmlFile::Valid_Encodings_Read()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, text);
    TXmlFile xml;
    xml.Open_Data(data, "Quorval_Data", nullptr, true);
    const QDomElement a = xml.Get_Node(&xml.d_root_node, "A", false);
    QCOMPARE(xml.Read_Text_Node(&a, false), text);
}

void TTestXmlFile::Open_In_Steps_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("safe");
    // Whether the checks decide on the bytes alone (plain UTF-8), without decoding them.
    QTest::addColumn<bool>("plain");
    QTest::newRow("data file") << Sample_Indented << true << true;
    QTest::newRow("wrong root") << Declaration + "<Other File_Version=\"2\"/>" << true << true;
    QTest::newRow("not well-formed") << Declaration + "<Quorval_Data>" << true << true;
    QTest::newRow("empty") << QByteArray() << true << true;
    QTest::newRow("entity declaration")
        << Declaration + "<!DOCTYPE Quorval_Data [<!ENTITY a \"b\">]><Quorval_Data/>" << false
        << false;
    QTest::newRow("control character")
        << Declaration + "<Quorval_Data File_Version=\"2\">\x01</Quorval_Data>" << false << false;
    QTest::newRow("deep nesting") << QByteArray(300 * 3, 'x').replace("xxx", "<a>") << false
                                  << false;
    QTest::newRow("nesting at the limit, empty elements, quotes")
        << "<b x='>'/>" + QByteArray(256 * 3, 'x').replace("xxx", "<a>") + "<c/>" << true << true;
    QTest::newRow("UTF-16") << QByteArray("\xff\xfe<\0a\0/\0>\0", 10) << true << false;
    QTest::newRow("characters of 2, 3 and 4 bytes")
        << Declaration + "<Quorval_Data a=\"\xc3\xa9\">\xe2\x86\x92\xf0\x9f\x98\x80</Quorval_Data>"
        << true << true;
    QTest::newRow("byte order mark inside") << QByteArray("<a>\xef\xbb\xbf</a>") << true << false;
    QTest::newRow("UTF-8 cut short") << QByteArray("<a>\xc3</a>") << false << false;
    QTest::newRow("Latin-1 declared")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xe9</a>") << true
        << false;
    QTest::newRow("character reference") << QByteArray("<a>&#65;</a>") << true << false;
    QTest::newRow("encoding taken from a processing instruction")
        << QByteArray("<?xml1 encoding=\"utf-7\"?><a>+AGE-</a>") << true << false;
}

void TTestXmlFile::Open_In_Steps()
{
    // Read_File, Checked_Text and Open_File_Data are Open taken apart: together they give what
    // Open gives, and Checked_Text refuses exactly what Open and Open_Data refuse before parsing,
    // with their messages.
    QFETCH(QByteArray, data);
    QFETCH(bool, safe);
    QFETCH(bool, plain);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TXmlFile whole;
    whole.d_file_name = dir.filePath("steps.quorval");
    QVERIFY(Write_All(whole.d_file_name, data));
    int whole_version = -1;
    const QString whole_message = Thrown([&] { whole.Open("Quorval_Data", &whole_version, true); });

    QCOMPARE(TXmlFile::Read_File(whole.d_file_name), data);
    TXmlFile steps;
    int steps_version = -1;
    QCOMPARE(Thrown([&] {
                 steps.Open_File_Data(TXmlFile::Read_File(whole.d_file_name), "Quorval_Data",
                                      &steps_version, true);
             }),
             whole_message);
    QCOMPARE(steps_version, whole_version);

    const QString file_check = Thrown([&] { TXmlFile::Checked_Text(data, true); });
    const QString data_check = Thrown([&] { TXmlFile::Checked_Text(data, false); });
    QCOMPARE(file_check == "no exception", safe);
    QCOMPARE(data_check == "no exception", safe);
    if (!safe) {
        QCOMPARE(file_check, whole_message);
        QCOMPARE(data_check, Open_Data_Error(data));
    }
    // Check_Bytes refuses alike; what it does not decide on the bytes it gives as text.
    QString text;
    bool bytes_decided = false;
    QCOMPARE(Thrown([&] { bytes_decided = TXmlFile::Check_Bytes(data, false, &text); }),
             data_check);
    QCOMPARE(bytes_decided, plain);
    if (safe && !plain)
        QCOMPARE(text, TXmlFile::Checked_Text(data, false));

    const QString missing = dir.filePath("missing.quorval");
    TXmlFile absent;
    absent.d_file_name = missing;
    QCOMPARE(Thrown([&] { TXmlFile::Read_File(missing); }),
             Thrown([&] { absent.Open("Quorval_Data", nullptr, true); }));
}

QTEST_GUILESS_MAIN(TTestXmlFile)
#include "test_xmlfile.moc"
