#ifndef QUORVAL_TESTS_REFERENCE_DOCUMENT_READER_H
#define QUORVAL_TESTS_REFERENCE_DOCUMENT_READER_H

// Whole loads of a data file with the document reader alone (the whole document through the XML
// layer and the Qt DOM, each element looked up by name), with the messages of DataFile::Load_File
// and Load_Data: the judge of their faster readers, which must give the same content bit for bit
// and the same message for every document.

#include "core/base/xmlfile.h"
#include "src/compute/datafile.h"

#include <QByteArray>
#include <QString>

namespace Reference {

namespace Detail {

template <typename TBytes>
bool Load(TBytes bytes, bool from_file, DataFile::TContent *content, QString *error)
{
    try {
        DataFile::Read_Document(bytes(), from_file, content);
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
    return Detail::Load([&file_name] { return TXmlFile::Read_File(file_name); }, true, content,
                        error);
}

inline bool Load_Document_Data(const QByteArray &data, DataFile::TContent *content, QString *error)
{
    return Detail::Load([&data] { return data; }, false, content, error);
}

} // namespace Reference

#endif
