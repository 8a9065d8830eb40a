// Feeds arbitrary bytes to the two readers of data files, the byte reader (DataFile::Read_Plain)
// and the conformant parser (DataFile::Read_Parsed), and stops at the first input on which they
// differ: the byte reader takes a document that the parser refuses, or the two read any bit of
// the sets, offsets, settings or details differently. The whole load (DataFile::Load_Data) must
// give the parser's result and message exactly. Most arbitrary bytes are no data file at all, so
// each input is also placed into a sound data file where the readers could differ most: as a
// number's text, among the entries of a set, as attributes of an entry, before the root element,
// as the text of the comparison's settings and of the identification texts, and among them after
// the sets.

#include "src/compute/datafile.h"
#include "tests/reference/parsed_reader.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "datafile_differential_fuzz: %s\n", what);
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
    content.align_deviations = true;
    content.merge_distance = -0.0;
    return content;
}

// The places of a sound version 2 data file that an input is put into.
QByteArray Data_File(const QByteArray &prolog, const QByteArray &entry_attributes,
                     const QByteArray &between_entries, const QByteArray &nominal,
                     const QByteArray &after_sets = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + prolog +
           "<Quorval_Data File_Version=\"2\">\n"
           "<Data_Set_A_Offset>0.00000</Data_Set_A_Offset>\n"
           "<Data_Set_B_Offset>2.50000</Data_Set_B_Offset>\n"
           "<Data_Set_A>\n<Entry" +
           entry_attributes + "><Nominal>" + nominal +
           "</Nominal><Actual>10.00012</Actual><Uc>0.00050</Uc></Entry>\n" + between_entries +
           "<Entry><Nominal>20.00000</Nominal><Actual>20.00031</Actual><Uc>0.00060</Uc></Entry>\n"
           "</Data_Set_A>\n<Data_Set_B/>\n" +
           after_sets + "</Quorval_Data>\n";
}

void Compare_Readers(const QByteArray &bytes)
{
    DataFile::TContent reference = Sentinel();
    QString reference_error;
    const bool reference_read = Reference::Load_Parsed_Data(bytes, &reference, &reference_error);

    DataFile::TContent loaded = Sentinel();
    QString error;
    DataFile::TReader reader = DataFile::READER_PARSER;
    const bool read = DataFile::Load_Data(bytes, &loaded, &error, &reader);
    Require(read == reference_read, "the load and the parser accept differently");
    Require(DataFile::Identical(loaded, reference),
            "the load and the parser read different content");
    Require(error == reference_error, "the load and the parser give different messages");
    Require(read || reader == DataFile::READER_PARSER, "a refusal reported as the byte reader's");

    DataFile::TContent plain = Sentinel();
    if (DataFile::Read_Plain(bytes.constData(), static_cast<std::size_t>(bytes.size()), &plain)) {
        Require(reference_read, "the byte reader took a document the parser refuses");
        Require(DataFile::Identical(plain, reference), "the byte reader read other content");
    } else {
        Require(DataFile::Identical(plain, Sentinel()), "a refused document changed the content");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1000000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    Compare_Readers(bytes);
    if (size > 10000)
        return 0;
    Compare_Readers(Data_File(QByteArray(), QByteArray(), QByteArray(), bytes));
    Compare_Readers(Data_File(QByteArray(), QByteArray(), bytes, "10.00000"));
    Compare_Readers(Data_File(QByteArray(), " " + bytes, QByteArray(), "10.00000"));
    Compare_Readers(Data_File(bytes, QByteArray(), QByteArray(), "10.00000"));
    Compare_Readers(Data_File(QByteArray(), QByteArray(), QByteArray(), "10.00000",
                              "<Align_Deviations>" + bytes +
                                  "</Align_Deviations>"
                                  "<Position_Merge_Distance>" +
                                  bytes + "</Position_Merge_Distance>"));
    Compare_Readers(Data_File(QByteArray(), QByteArray(), QByteArray(), "10.00000", bytes));
    Compare_Readers(Data_File(QByteArray(), QByteArray(), QByteArray(), "10.00000",
                              "<Item>" + bytes + "</Item><Remarks>" + bytes + "</Remarks>"));
    return 0;
}
