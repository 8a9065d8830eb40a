// libFuzzer target for the XML document layer: arbitrary bytes are opened as a data file, the
// accepted documents are walked with every reading operation, written out in both forms and
// read back.

#include "core/base/xmlfile.h"

#include <QByteArray>
#include <QDomElement>
#include <QDomNode>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

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
