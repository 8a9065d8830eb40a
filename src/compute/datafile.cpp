#include "src/compute/datafile.h"

#include "core/base/assertion.h"
#include "core/base/xmlfile.h"
#include "src/compute/details.h"
#include "src/compute/entrylists.h"
#include "src/compute/fileformat.h"
#include "src/compute/numbertext.h"

#include <QCryptographicHash>
#include <QDomElement>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <thread>
#include <utility>

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

// The same on a mapped file: the byte reader lets go of the pages it has read as it goes, so a
// file of any size takes little memory; the parser needs the bytes in memory, at most 1 GiB of
// them.
bool Read_File_Bytes(const TFileBytes &file, DataFile::TContent *content, DataFile::TReader *reader,
                     const Progress::TReport &progress)
{
    bool stopped = false;
    const Progress::TReport read_on = [&](qint64 done, qint64 total) {
        file.Release(static_cast<std::size_t>(done));
        return Progress::Go_On(progress, done, total);
    };
    const bool plain = DataFile::Read_Plain(file.Data(), file.Size(), content, read_on, &stopped);
    file.Release(file.Size());
    if (plain && reader != nullptr)
        *reader = DataFile::READER_PLAIN;
    return plain || (!stopped && Read_Other(file.Copy(), true, content, reader, progress));
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

// The SHA-256 of a mapped file, letting go of its pages as they are hashed.
QString Checksum_Of(const TFileBytes &file)
{
    constexpr std::size_t Block = std::size_t(1) << 24;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (std::size_t done = 0; done < file.Size(); done += Block) {
        hash.addData(file.Data() + done, static_cast<int>(std::min(Block, file.Size() - done)));
        file.Release(done + Block);
    }
    return QString::fromLatin1(hash.result().toHex());
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
        // The very bytes read are hashed, on a second core while they are read: the checksum
        // costs Open no more than its excess over the reading.
        QString hashed;
        struct THashing
        {
            std::thread thread;
            ~THashing()
            {
                if (thread.joinable())
                    thread.join();
            }
        } hashing;
        if (checksum != nullptr)
            hashing.thread = std::thread([&file, &hashed] {
                // No room for the hash's buffers: no checksum, and the record names none.
                try {
                    hashed = Checksum_Of(file);
                } catch (const std::bad_alloc &) {
                }
            });
        read = Read_File_Bytes(file, content, reader, progress);
        if (hashing.thread.joinable())
            hashing.thread.join();
        if (read && checksum != nullptr)
            *checksum = hashed;
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
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

QString Checksum_Of_File(const QString &file_name)
{
    QString checksum;
    QString error;
    Attempt(Load_Error, &error, [&] { checksum = Checksum_Of(TFileBytes(file_name)); });
    return checksum;
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

EntryLists::TLists Lists_Of(const TContent &content)
{
    // The stored entries include their set's offset, which the list adds again: the offset is
    // taken off, so that an unedited file saves to the same numbers.
    const auto Taken_Off = [](const std::vector<Type::TEntryItem> &stored, double offset) {
        // Without an offset the entries go in exactly as stored, zeros keeping their sign.
        std::vector<Type::TEntryItem> items = stored;
        if (offset != 0.0) {
            for (Type::TEntryItem &item : items) {
                item.nominal = EntryLists::Without_Offset(item.nominal, offset);
                item.actual = EntryLists::Without_Offset(item.actual, offset);
            }
        }
        return items;
    };
    EntryLists::TLists lists;
    lists.offset_a = 0.0;
    lists.offset_b = Relative_Offset_B(content);
    lists.list_a = Taken_Off(content.entries_a, lists.offset_a);
    lists.list_b = Taken_Off(content.entries_b, lists.offset_b);
    return lists;
}

Type::TOptions Options_Of(const TContent &content, Type::TOptions options)
{
    options.remove_deviations = content.align_deviations.value_or(options.remove_deviations);
    options.merge_distance = content.merge_distance.value_or(options.merge_distance);
    return options;
}

TContent Content_Of(const EntryLists::TLists &lists, const Type::TOptions &options,
                    const Type::TDetails &details)
{
    TContent content;
    content.details = details;
    content.align_deviations = options.remove_deviations;
    content.merge_distance = options.merge_distance;
    content.entries_a = EntryLists::With_Offset(lists.list_a, lists.offset_a);
    content.entries_b = EntryLists::With_Offset(lists.list_b, lists.offset_b);
    content.offset_a = lists.offset_a;
    content.offset_b = lists.offset_b;
    return content;
}

} // namespace DataFile
