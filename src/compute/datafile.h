#ifndef QUORVAL_SRC_COMPUTE_DATAFILE_H
#define QUORVAL_SRC_COMPUTE_DATAFILE_H

#include "src/compute/entrylists.h"
#include "src/compute/progress.h"
#include "src/compute/types.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

class TXmlFile;

// Reading and writing the comparison data file (".quorval"), apart from the widgets so that tests,
// the fuzzer and the benchmarks can use it without a window. Version 2 is written; versions 1 and
// 2 are read. The Read_* and Build_* functions throw TXmlFileException like the XML layer; the
// Load_* and Save_* functions catch it and return false with the one-line reason the main window
// shows ("ERR  Load_Data: ..." or "ERR  Save_Data: ...").
namespace DataFile {

// Everything a data file holds.
struct TContent
{
    // Entries as stored: each set's offset already added to nominal and actual.
    std::vector<Type::TEntryItem> entries_a;
    std::vector<Type::TEntryItem> entries_b;
    // "Data_Set_A_Offset" and "Data_Set_B_Offset"; both 0 for a version 1 file.
    double offset_a = 0.0;
    double offset_b = 0.0;
    // The version read (1 or 2); the writer ignores it and always writes version 2.
    int version = 2;
    // The comparison's settings, "Align_Deviations" and "Position_Merge_Distance": read when the
    // file has them; written only where they differ from the defaults (aligned, 1.0 mm), so that
    // files of default comparisons keep their bytes.
    std::optional<bool> align_deviations;
    std::optional<double> merge_distance;
    // The identification texts, each element written only when its text is not empty.
    Type::TDetails details;
};

// Builds the version 2 document of content in xml_file (entries written sorted by actual, numbers
// with at least 5 decimals and as many more as they need to read back as the same doubles).
// Throws TXmlFileException.
void Build_Document(TXmlFile *xml_file, const TContent &content);

// The reader that decided a load.
enum TReader {
    READER_PLAIN, // the byte reader took the document
    READER_PARSER // the conformant parser read or refused it, or a check before it refused it
};

// Whole load of a file or of bytes: on failure *content is left as it was. The byte reader
// (Read_Plain) reads what it takes; anything else is read or refused by the conformant parser
// (Read_Parsed). *reader, when given, tells which one decided.
// *checksum, when given, becomes the SHA-256 of the file's bytes (lower-case hex) on success.
// progress, when given, hears how many of the file's bytes are read (the byte reader tells it
// as it goes, the parser only as it starts); when it says stop, the load ends at once: false
// with *stopped set (it must then be given), *content and *error as they were.
bool Load_File(const QString &file_name, TContent *content, QString *error,
               TReader *reader = nullptr, QString *checksum = nullptr,
               const Progress::TReport &progress = {}, bool *stopped = nullptr);
bool Load_Data(const QByteArray &data, TContent *content, QString *error,
               TReader *reader = nullptr);

// The conformant parser alone, on the bytes of a data file, with the messages of a file
// (from_file) or of data: the checks of TXmlFile::Check_Bytes, then one pass of a conformant
// XML 1.0 parser with namespaces (expat), no document built. A document that is not well-formed
// is refused with the line and column of the fault; a number whose text is not a number (an
// entry's naming the set and the entry's place in it), a damaged setting or identification text
// and a missing element are refused with their names. Entities: the five predefined ones and
// character references only; no document type with an internal subset, no reference to any
// other entity, nothing read from the network or another file. Throws TXmlFileException;
// *content is written only once everything is read.
void Read_Parsed(const char *data, std::size_t size, bool from_file, TContent *content);
// The byte reader alone, on the bytes of a data file: it takes only documents of the plain shape
// that Quorval writes, which every XML parser reads alike (UTF-8 whose markup and numbers are
// ASCII; in the identification texts other letters, the predefined entities and character
// references; no other references, no CDATA, processing instructions or document type), and
// reads them exactly as Read_Parsed does; true with *content set for those, false with *content
// as it was for any other. progress, when given, hears every few thousand entries how many
// bytes are read; when it says stop, false with *stopped set (it must then be given).
//
// The set B of a large document is read on a second thread beside set A (progress hears of set
// A's bytes only); release, when given, hears from that thread (at the same intervals) which
// bytes it has read: release(begin, end) with offsets into data.
using TRelease = std::function<void(std::size_t begin, std::size_t end)>;
bool Read_Plain(const char *data, std::size_t size, TContent *content,
                const Progress::TReport &progress = {}, bool *stopped = nullptr,
                const TRelease &release = {});
// The entries the byte reader makes room for in each set, at once, for a file of size bytes.
std::size_t Reserved_Entries(std::size_t size);
// Whole save to a file (an existing file is replaced only by a complete new one) or into bytes.
bool Save_File(const QString &file_name, const TContent &content, QString *error,
               bool *in_place = nullptr, QString *checksum = nullptr);
// The SHA-256 of bytes, in lower-case hex as sha256sum prints it.
QString Checksum(const QByteArray &data);
// The SHA-256 of a file's bytes as they are now (lower-case hex); an empty text when it cannot
// be read. By content alone: a changed time stamp is no change, other bytes are.
QString Checksum_Of_File(const QString &file_name);
bool Save_Data(const TContent &content, QByteArray *data, QString *error);

// Whether two contents hold the same version, offsets, entries, settings and details, bit for bit
// (the sign of a zero included).
bool Identical(const TContent &a, const TContent &b);

// Set B's offset relative to set A, as the file records it.
double Relative_Offset_B(const TContent &content);

// The options with the settings that content carries put in; the others as they were.
Type::TOptions Options_Of(const TContent &content, Type::TOptions options);
} // namespace DataFile

#endif
