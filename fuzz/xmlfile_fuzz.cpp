// libFuzzer target for the XML document layer: arbitrary bytes are opened as a data file, the
// accepted documents are walked with every reading operation, written out in both forms and
// read back. The checks made on the bytes must refuse exactly what the checks of the decoded
// text refuse, with the same message.

#include "core/base/xmlfile.h"

#include <QByteArray>
#include <QDomElement>
#include <QDomNode>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString Thrown(void (*check)(const QByteArray &), const QByteArray &bytes)
{
    try {
        check(bytes);
    } catch (const TXmlFileException &exception) {
        return exception.d_message;
    }
    return QString();
}

void Compare_Checks(const QByteArray &bytes)
{
    const QString on_text =
        Thrown([](const QByteArray &b) { TXmlFile::Checked_Text(b, false); }, bytes);
    const QString on_bytes = Thrown(
        [](const QByteArray &b) {
            QString text;
            TXmlFile::Check_Bytes(b, false, &text);
        },
        bytes);
    if (on_text != on_bytes) {
        std::fprintf(stderr, "xmlfile_fuzz: the checks of the bytes and of the text differ\n");
        std::abort();
    }
}

void Walk(const TXmlFile &xml, const QDomNode &node, int depth)
{
    if (depth > 300)
        std::abort(); // the reader refuses deeper documents
    QDomNode child = xml.Get_First_Node(&node, true);
    while (!child.isNull()) {
        xml.Read_Text_Node(&child, true);
        xml.Read_Attribute(&child, QStringLiteral("File_Version"), true);
        if (child.isElement()) {
            const QDomElement element = child.toElement();
            xml.Read_Text_Node(&element, true);
            xml.Read_Attribute(&element, QStringLiteral("File_Version"), true);
            xml.Get_First_Node(&element, true);
            // The usual loop over repeated children, by name and by any name.
            for (const QString &name : {QStringLiteral("Entry"), QString()}) {
                QDomElement item = xml.Get_Node(&element, name, true);
                while (!item.isNull())
                    item = xml.Get_Sibling_Node(&item, name, true);
            }
            try {
                xml.Read_Text_Node(&element, false);
                xml.Get_Node(&child, QStringLiteral("Nominal"), false);
            } catch (const TXmlFileException &) {
            }
        }
        Walk(xml, child, depth + 1);
        child = xml.Get_Sibling_Node(&child, true);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    Compare_Checks(bytes);
    TXmlFile xml;
    int version = -1;
    try {
        xml.Open_Data(bytes, QStringLiteral("Quorval_Data"), &version, true);
    } catch (const TXmlFileException &) {
        return 0;
    }
    Walk(xml, xml.d_root_node, 0);

    // Write the accepted document out in both forms and read that back. The DOM is lenient
    // enough (undeclared namespace prefixes, for one) that its output of a foreign document
    // need not read again, so only the absence of crashes is checked here.
    for (const bool compact : {false, true}) {
        QByteArray written;
        xml.Write_Data(&written, compact);
        TXmlFile again;
        int again_version = -1;
        try {
            again.Open_Data(written, QStringLiteral("Quorval_Data"), &again_version, true);
        } catch (const TXmlFileException &) {
        }
    }
    return 0;
}
