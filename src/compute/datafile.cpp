#include "src/compute/datafile.h"

#include "core/base/assertion.h"
#include "core/base/xmlfile.h"
#include "src/compute/details.h"
#include "src/compute/entrylists.h"
#include "src/compute/fileformat.h"
#include "src/compute/numbertext.h"

#include <QDomElement>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <utility>

#include <openssl/evp.h>

namespace {

const int Decimals = 5;
const QString Text_True = QStringLiteral("true");
const QString Text_False = QStringLiteral("false");

QString Latin1(std::string_view name)
{
    return QString::fromLatin1(name.data(), static_cast<int>(name.size()));
}

QString Name_Of(FileFormat::TElement element) { return Latin1(FileFormat::Name(element)); }

// A value that cannot be read back (infinity, not-a-number) is written as 0, which is what
// reading such text gives anyway; a negative zero is written as a zero.
double Writable(double value)
{
    if (!std::isfinite(value))
        return 0.0;
    return value + 0.0;
}

// Every digit that the double needs to read back as itself, and at least five.
void Write_Number(TXmlFile *xml_file, QDomElement *parent, FileFormat::TElement element,
                  double value)
{
    QDomElement node = xml_file->Create_Node(parent, Name_Of(element));
    xml_file->Write_Text_Node(&node, NumberText::Shortest_Fixed(Writable(value), Decimals));
}

void Write_Set(TXmlFile *xml_file, FileFormat::TElement set_element,
               const std::vector<Type::TEntryItem> &items)
{
    // The widgets hand the entries over sorted already; other callers get the same order. A
    // stable sort keeps the given order of entries with equal actual values.
    const std::vector<Type::TEntryItem> *sorted = &items;
    std::vector<Type::TEntryItem> copy;
    if (!std::is_sorted(items.begin(), items.end(), TEntryItem_Sort())) {
        copy = items;
        std::stable_sort(copy.begin(), copy.end(), TEntryItem_Sort());
        sorted = &copy;
    }

    QDomElement set = xml_file->Create_Node(&xml_file->d_root_node, Name_Of(set_element));
    for (const Type::TEntryItem &item : *sorted) {
        QDomElement entry = xml_file->Create_Node(&set, Name_Of(FileFormat::ENTRY));
        Write_Number(xml_file, &entry, FileFormat::NOMINAL, item.nominal);
        Write_Number(xml_file, &entry, FileFormat::ACTUAL, item.actual);
        Write_Number(xml_file, &entry, FileFormat::UC, item.uc);
    }
}

// ---- Loading ----

// The conformant parser, for bytes that the byte reader did not take. False when progress said
// stop.
bool Read_Other(const QByteArray &data, bool from_file, DataFile::TContent *content,
                DataFile::TReader *reader, const Progress::TReport &progress);

// The byte reader where it takes the document, the conformant parser otherwise.
bool Read_Bytes(const QByteArray &data, bool from_file, DataFile::TContent *content,
                DataFile::TReader *reader, const Progress::TReport &progress = {})
{
    bool stopped = false;
    if (DataFile::Read_Plain(data.constData(), static_cast<std::size_t>(data.size()), content,
                             progress, &stopped)) {
        if (reader != nullptr)
            *reader = DataFile::READER_PLAIN;
        return true;
    }
    return !stopped && Read_Other(data, from_file, content, reader, progress);
}

// SHA-256 through libcrypto, which uses the processor's SHA instructions where it has them.
class TSha256
{
public:
    TSha256() : d_context(EVP_MD_CTX_new())
    {
        if (d_context == nullptr || EVP_DigestInit_ex(d_context, EVP_sha256(), nullptr) != 1) {
            EVP_MD_CTX_free(d_context);
            throw std::bad_alloc();
        }
    }
    ~TSha256() { EVP_MD_CTX_free(d_context); }
    TSha256(const TSha256 &) = delete;
    TSha256 &operator=(const TSha256 &) = delete;

    void Add(const char *data, std::size_t size)
    {
        // SHA-256 of bytes in memory cannot fail but for a broken library.
        const int added = EVP_DigestUpdate(d_context, data, size);
        QUORVAL_ASSERT(added == 1);
    }
    // The digest in lower-case hex, as sha256sum prints it.
    QString Hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        const int done = EVP_DigestFinal_ex(d_context, digest, &length);
        QUORVAL_ASSERT(done == 1);
        return QString::fromLatin1(QByteArray::fromRawData(reinterpret_cast<const char *>(digest),
                                                           static_cast<int>(length))
                                       .toHex());
    }

private:
    EVP_MD_CTX *d_context;
};

// The bytes of a mapped file that are hashed while it is read: the pages read are hashed before
// they are let go, so that they are not read from the file again.
class TFile_Hash
{
public:
    TFile_Hash(const TFileBytes &file, bool wanted) : d_file(file), d_hashed(0)
    {
        if (wanted)
            d_sha.emplace();
    }
    // Hashes the bytes before end not hashed yet, then lets go of them.
    void Up_To(std::size_t end)
    {
        end = std::min(end, d_file.Size());
        if (d_sha && end > d_hashed) {
            d_sha->Add(d_file.Data() + d_hashed, end - d_hashed);
            d_hashed = end;
        }
        d_file.Release(end);
    }
    QString Hex()
    {
        Up_To(d_file.Size());
        return d_sha ? d_sha->Hex() : QString();
    }

private:
    const TFileBytes &d_file;
    std::optional<TSha256> d_sha;
    std::size_t d_hashed;
};

// The same on a mapped file: the byte reader lets go of the pages it has read as it goes (hashed
// first when hash wants them), so a file of any size takes little memory; the parser needs the
// bytes in memory, at most 1 GiB of them.
bool Read_File_Bytes(const TFileBytes &file, DataFile::TContent *content, DataFile::TReader *reader,
                     const Progress::TReport &progress, TFile_Hash *hash)
{
    bool stopped = false;
    const Progress::TReport read_on = [&](qint64 done, qint64 total) {
        hash->Up_To(static_cast<std::size_t>(done));
        return Progress::Go_On(progress, done, total);
    };
    const DataFile::TRelease release = [&file](std::size_t begin, std::size_t end) {
        file.Release(begin, end);
    };
    const bool plain =
        DataFile::Read_Plain(file.Data(), file.Size(), content, read_on, &stopped, release);
    if (plain && reader != nullptr)
        *reader = DataFile::READER_PLAIN;
    if (plain || stopped)
        return plain;
    const QByteArray copy = file.Copy();
    hash->Up_To(file.Size());
    return Read_Other(copy, true, content, reader, progress);
}

bool Read_Other(const QByteArray &data, bool from_file, DataFile::TContent *content,
                DataFile::TReader *reader, const Progress::TReport &progress)
{
    // The parser reads from the start again, and tells nothing until it is done.
    if (!Progress::Go_On(progress, 0, data.size()))
        return false;
    if (reader != nullptr)
        *reader = DataFile::READER_PARSER;
    DataFile::Read_Parsed(data.constData(), static_cast<std::size_t>(data.size()), from_file,
                          content);
    return true;
}

// The memory free for the program, from the system's estimate; -1 where it gives none.
qint64 Available_Memory()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : meminfo.readAll().split('\n'))
        if (line.startsWith("MemAvailable:"))
            return line.mid(13).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

// Refuses, before reading it, a file whose entries need more room than the memory has free:
// read, it would run out of memory midway, or have the system end the program.
void Check_Room(std::size_t size)
{
    const qint64 needed =
        static_cast<qint64>(2 * DataFile::Reserved_Entries(size) * sizeof(Type::TEntryItem));
    const qint64 available = Available_Memory();
    constexpr qint64 MiB = qint64(1) << 20;
    if (available >= 0 && needed > available)
        throw TXmlFileException(QStringLiteral("ERR:  Not enough memory: the entries of a file of "
                                               "%1 MiB need about %2 MiB, %3 MiB are free.")
                                    .arg(static_cast<qint64>(size) / MiB)
                                    .arg(needed / MiB)
                                    .arg(available / MiB),
                                TXmlFileException::DATA_ERROR);
}

QString Load_Error(const TXmlFileException &exception)
{
    return QStringLiteral("ERR  Load_Data: %1").arg(exception.d_message);
}

QString Save_Error(const TXmlFileException &exception)
{
    return QStringLiteral("ERR  Save_Data: %1").arg(exception.d_message);
}

// Runs one whole load or save: a failure of the XML layer becomes false and the one-line reason.
template <typename TAction>
bool Attempt(QString (*describe)(const TXmlFileException &), QString *error, TAction action)
{
    try {
        action();
    } catch (const TXmlFileException &exception) {
        *error = describe(exception);
        return false;
    } catch (const std::bad_alloc &) {
        // A file too big for the memory left: a failed load or save like any other.
        *error = describe(TXmlFileException(QStringLiteral("ERR:  Out of memory"),
                                            TXmlFileException::DATA_ERROR));
        return false;
    }
    return true;
}

} // namespace

namespace DataFile {

void Build_Document(TXmlFile *xml_file, const TContent &content)
{
    QUORVAL_ASSERT(xml_file != nullptr);
    xml_file->Reset(Latin1(FileFormat::Root_Name), FileFormat::Written_Version);
    const Type::TOptions defaults;
    for (int i = 0; i < FileFormat::ENTRY; ++i) {
        const FileFormat::TElement element = static_cast<FileFormat::TElement>(i);
        QDomElement *const root = &xml_file->d_root_node;
        switch (FileFormat::Rules[element].kind) {
        case FileFormat::NUMBER:
            // Set A's entries carry set A's offset, so the file records offsets relative to A.
            Write_Number(xml_file, root, element,
                         element == FileFormat::OFFSET_A ? 0.0 : Relative_Offset_B(content));
            break;
        case FileFormat::SET:
            Write_Set(xml_file, element,
                      element == FileFormat::SET_A ? content.entries_a : content.entries_b);
            break;
        case FileFormat::ALIGNMENT:
            if (content.align_deviations.value_or(defaults.remove_deviations) !=
                defaults.remove_deviations) {
                QDomElement align = xml_file->Create_Node(root, Name_Of(element));
                xml_file->Write_Text_Node(&align,
                                          *content.align_deviations ? Text_True : Text_False);
            }
            break;
        case FileFormat::DISTANCE:
            if (content.merge_distance.value_or(defaults.merge_distance) != defaults.merge_distance)
                Write_Number(xml_file, root, element, *content.merge_distance);
            break;
        case FileFormat::TEXT: {
            const QString text = Details::Normalised(
                Details::Field(content.details, element - FileFormat::DETAIL_FIRST));
            if (!text.isEmpty()) {
                QDomElement node = xml_file->Create_Node(root, Name_Of(element));
                xml_file->Write_Text_Node(&node, text);
            }
            break;
        }
        case FileFormat::ENTRIES: break;
        }
    }
}

bool Load_File(const QString &file_name, TContent *content, QString *error, TReader *reader,
               QString *checksum, const Progress::TReport &progress, bool *stopped)
{
    QUORVAL_ASSERT(content != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    QUORVAL_ASSERT(!progress || stopped != nullptr);
    bool read = true;
    const bool loaded = Attempt(Load_Error, error, [&] {
        const TFileBytes file(file_name);
        Check_Room(file.Size());
        TFile_Hash hash(file, checksum != nullptr);
        read = Read_File_Bytes(file, content, reader, progress, &hash);
        if (read && checksum != nullptr)
            *checksum = hash.Hex();
    });
    if (stopped != nullptr)
        *stopped = !read;
    return loaded && read;
}

bool Load_Data(const QByteArray &data, TContent *content, QString *error, TReader *reader)
{
    QUORVAL_ASSERT(content != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    return Attempt(Load_Error, error, [&] { Read_Bytes(data, false, content, reader); });
}

bool Save_File(const QString &file_name, const TContent &content, QString *error, bool *in_place,
               QString *checksum)
{
    QUORVAL_ASSERT(error != nullptr);
    return Attempt(Save_Error, error, [&] {
        TXmlFile xml_file;
        xml_file.d_file_name = file_name;
        Build_Document(&xml_file, content);
        QByteArray written;
        xml_file.Write_File(false, in_place, checksum != nullptr ? &written : nullptr);
        if (checksum != nullptr)
            *checksum = Checksum(written);
    });
}

QString Checksum(const QByteArray &data)
{
    TSha256 sha;
    sha.Add(data.constData(), static_cast<std::size_t>(data.size()));
    return sha.Hex();
}

QString Checksum_Of_File(const QString &file_name)
{
    // Hashed afresh from the file's bytes, whatever its time stamp says.
    try {
        QFile file(file_name);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        TSha256 sha;
        constexpr qint64 Block = qint64(1) << 20;
        std::vector<char> buffer(static_cast<std::size_t>(Block));
        qint64 length = 0;
        while ((length = file.read(buffer.data(), Block)) > 0)
            sha.Add(buffer.data(), static_cast<std::size_t>(length));
        return length < 0 ? QString() : sha.Hex();
    } catch (const std::bad_alloc &) {
        // No room for the hash's buffers: no checksum, and the record names none.
        return QString();
    }
}

bool Save_Data(const TContent &content, QByteArray *data, QString *error)
{
    QUORVAL_ASSERT(data != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    return Attempt(Save_Error, error, [&] {
        TXmlFile xml_file;
        Build_Document(&xml_file, content);
        xml_file.Write_Data(data, false);
    });
}

bool Identical(const TContent &a, const TContent &b)
{
    const auto Same_Bits = [](const double &x, const double &y) {
        return std::memcmp(&x, &y, sizeof x) == 0;
    };
    const auto Same_Items = [&Same_Bits](const std::vector<Type::TEntryItem> &x,
                                         const std::vector<Type::TEntryItem> &y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                          [&Same_Bits](const Type::TEntryItem &p, const Type::TEntryItem &q) {
                              return Same_Bits(p.nominal, q.nominal) &&
                                     Same_Bits(p.actual, q.actual) && Same_Bits(p.uc, q.uc);
                          });
    };
    const bool same_distance =
        a.merge_distance.has_value() == b.merge_distance.has_value() &&
        (!a.merge_distance || Same_Bits(*a.merge_distance, *b.merge_distance));
    return a.version == b.version && Same_Bits(a.offset_a, b.offset_a) &&
           Same_Bits(a.offset_b, b.offset_b) && Same_Items(a.entries_a, b.entries_a) &&
           Same_Items(a.entries_b, b.entries_b) && a.align_deviations == b.align_deviations &&
           same_distance && a.details == b.details;
}

double Relative_Offset_B(const TContent &content)
{
    // Two huge offsets of opposite sign could differ by more than a double holds.
    return Writable(Writable(content.offset_b) - Writable(content.offset_a));
}

Type::TOptions Options_Of(const TContent &content, Type::TOptions options)
{
    options.remove_deviations = content.align_deviations.value_or(options.remove_deviations);
    options.merge_distance = content.merge_distance.value_or(options.merge_distance);
    return options;
}

} // namespace DataFile
