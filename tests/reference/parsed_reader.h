#ifndef QUORVAL_TESTS_REFERENCE_PARSED_READER_H
#define QUORVAL_TESTS_REFERENCE_PARSED_READER_H

// Whole loads of a data file with the conformant parser alone (DataFile::Read_Parsed), with the
// messages of DataFile::Load_File and Load_Data: the judge of the byte reader, which must give
// the same content bit for bit and the same message for every document.

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
        const QByteArray data = bytes();
        DataFile::Read_Parsed(data.constData(), static_cast<std::size_t>(data.size()), from_file,
                              content);
        return true;
    } catch (const TXmlFileException &exception) {
        *error = QStringLiteral("ERR  Load_Data: %1").arg(exception.d_message);
        return false;
    }
}

} // namespace Detail

inline bool Load_Parsed_File(const QString &file_name, DataFile::TContent *content, QString *error)
{
    return Detail::Load([&file_name] { return TXmlFile::Read_File(file_name); }, true, content,
                        error);
}

inline bool Load_Parsed_Data(const QByteArray &data, DataFile::TContent *content, QString *error)
{
    return Detail::Load([&data] { return data; }, false, content, error);
}

} // namespace Reference

#endif
