#ifndef QUORVAL_TESTS_REFERENCE_DOCUMENT_READER_H
#define QUORVAL_TESTS_REFERENCE_DOCUMENT_READER_H

// The data file read the plain way, as its format reads: the whole document through the XML
// layer (its checks and the Qt DOM), then each element looked up by name. Slow, but simple: the
// judge of DataFile::Load_File and Load_Data, whose faster readers must give the same content bit
// for bit and the same message for every document.

#include "core/base/xmlfile.h"
#include "src/compute/datafile.h"
#include "src/compute/entrylists.h"

#include <QByteArray>
#include <QDomElement>
#include <QString>

#include <cmath>
#include <utility>
#include <vector>

namespace Reference {

namespace Detail {

inline TXmlFileException Data_Error(const QString &message)
{
    return TXmlFileException(message, TXmlFileException::DATA_ERROR);
}

inline double Number(const TXmlFile &xml, const QDomElement &parent, const char *name)
{
    const QDomElement element = xml.Get_Node(&parent, QString::fromLatin1(name), false);
    return EntryLists::To_Number(xml.Read_Text_Node(&element, false));
}

inline std::vector<Type::TEntryItem> Set(const TXmlFile &xml, const char *name)
{
    const QDomElement set = xml.Get_Node(&xml.d_root_node, QString::fromLatin1(name), false);
    std::vector<Type::TEntryItem> items;
    const QString entry_name = QStringLiteral("Entry");
    for (QDomElement entry = xml.Get_Node(&set, entry_name, true); !entry.isNull();
         entry = xml.Get_Sibling_Node(&entry, entry_name, true))
        items.push_back(Type::TEntryItem{Number(xml, entry, "Nominal"),
                                         Number(xml, entry, "Actual"), Number(xml, entry, "Uc")});
    return items;
}

// The text of the optional setting element name, or a null string.
inline QString Setting(const TXmlFile &xml, const char *name)
{
    const QDomElement element = xml.Get_Node(&xml.d_root_node, QString::fromLatin1(name), true);
    return element.isNull() ? QString() : xml.Read_Text_Node(&element, false);
}

inline void Read_Settings(const TXmlFile &xml, DataFile::TContent *content)
{
    const auto Refuse = [](const char *name, const QString &text, const char *wanted) {
        return Data_Error(QStringLiteral("ERR:  Node '%1' holds '%2', which is not %3.")
                              .arg(QString::fromLatin1(name), text, QString::fromLatin1(wanted)));
    };
    const QString align = Setting(xml, "Align_Deviations");
    if (!align.isNull()) {
        if (align.trimmed() != "true" && align.trimmed() != "false")
            throw Refuse("Align_Deviations", align, "true or false");
        content->align_deviations = align.trimmed() == "true";
    }
    const QString distance = Setting(xml, "Position_Merge_Distance");
    if (!distance.isNull()) {
        bool ok = false;
        const double value = distance.toDouble(&ok);
        if (!ok || !std::isfinite(value) || value < 0.0)
            throw Refuse("Position_Merge_Distance", distance, "a distance of 0 mm or more");
        content->merge_distance = value + 0.0;
    }
}

// open(xml_file, &version) opens the document; everything else is read from it.
template <typename TOpen> bool Load(TOpen open, DataFile::TContent *content, QString *error)
{
    try {
        TXmlFile xml;
        int version = 0;
        open(&xml, &version);
        if (version != 1 && version != 2)
            throw Data_Error(QStringLiteral("ERR:  File version not recognized"));
        DataFile::TContent read;
        read.version = version;
        if (version == 2) {
            read.offset_a = Number(xml, xml.d_root_node, "Data_Set_A_Offset");
            read.offset_b = Number(xml, xml.d_root_node, "Data_Set_B_Offset");
        }
        read.entries_a = Set(xml, "Data_Set_A");
        read.entries_b = Set(xml, "Data_Set_B");
        Read_Settings(xml, &read);
        *content = std::move(read);
        return true;
    } catch (const TXmlFileException &exception) {
        *error = QStringLiteral("ERR  Load_Data: %1").arg(exception.d_message);
        return false;
    }
}

} // namespace Detail

inline bool Load_Document_File(const QString &file_name, DataFile::TContent *content,
                               QString *error)
{
    return Detail::Load(
        [&file_name](TXmlFile *xml, int *version) {
            xml->d_file_name = file_name;
            xml->Open(QStringLiteral("Quorval_Data"), version, true);
        },
        content, error);
}

inline bool Load_Document_Data(const QByteArray &data, DataFile::TContent *content, QString *error)
{
    return Detail::Load(
        [&data](TXmlFile *xml, int *version) {
            xml->Open_Data(data, QStringLiteral("Quorval_Data"), version, true);
        },
        content, error);
}

} // namespace Reference

#endif
