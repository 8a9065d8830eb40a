// Feeds arbitrary bytes to both readers of data files, the streaming reader with its fall-back
// (DataFile::Load_Data) and the document reader alone, and stops at the first input on which
// they differ: one accepts and the other refuses, the contents differ in any bit, or the
// messages of a refusal differ. Whatever the streaming reader takes on its own must be what the
// document reader reads.

#include "core/xmlfile.h"
#include "src/datafile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "datafile_stream_fuzz: %s\n", what);
        std::abort();
    }
}

// What a failed read must leave as it was.
DataFile::TContent Sentinel()
{
    DataFile::TContent content;
    content.entries_a.push_back(Type::TEntryItem{1.0, 2.0, 3.0});
    content.offset_a = -0.0;
    content.offset_b = 4.0;
    content.version = 7;
    return content;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1000000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));

    DataFile::TContent reference = Sentinel();
    QString reference_error;
    const bool reference_read = DataFile::Load_Document_Data(bytes, &reference, &reference_error);

    DataFile::TContent loaded = Sentinel();
    QString error;
    DataFile::TReader reader = DataFile::READER_DOCUMENT;
    const bool read = DataFile::Load_Data(bytes, &loaded, &error, &reader);
    Require(read || !reference_read, "the fast path refused what the document reader reads");
    Require(!read || reference_read, "the fast path read what the document reader refuses");
    Require(DataFile::Identical(loaded, reference), "the two paths read different content");
    Require(error == reference_error, "the two paths give different messages");
    Require(read || reader == DataFile::READER_DOCUMENT, "a refusal reported as the stream's");

    QString text;
    try {
        text = TXmlFile::Checked_Text(bytes, false);
    } catch (const TXmlFileException &) {
        Require(!reference_read, "the checks before parsing refused a readable document");
        return 0;
    }
    DataFile::TContent streamed = Sentinel();
    if (DataFile::Read_Stream(text, &streamed)) {
        Require(reference_read, "the streaming reader took a document the DOM refuses");
        Require(DataFile::Identical(streamed, reference),
                "the streaming reader read other content");
    } else {
        Require(DataFile::Identical(streamed, Sentinel()), "a refused stream changed the content");
    }
    return 0;
}
