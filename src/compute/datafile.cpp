#include "src/compute/datafile.h"

#include "core/base/assertion.h"
#include "core/base/xmlfile.h"
#include "src/compute/details.h"
#include "src/compute/entrylists.h"
#include "src/compute/numbertext.h"

#include <QCryptographicHash>
#include <QDomElement>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

namespace {

const QString Identification = QStringLiteral("Quorval_Data");
const int Written_Version = 2;
const int Decimals = 5;

const QString Name_Offset_A = QStringLiteral("Data_Set_A_Offset");
const QString Name_Offset_B = QStringLiteral("Data_Set_B_Offset");
const QString Name_Set_A = QStringLiteral("Data_Set_A");
const QString Name_Set_B = QStringLiteral("Data_Set_B");
const QString Name_Entry = QStringLiteral("Entry");
const QString Name_Nominal = QStringLiteral("Nominal");
const QString Name_Actual = QStringLiteral("Actual");
const QString Name_Uc = QStringLiteral("Uc");
const QString Name_Align = QStringLiteral("Align_Deviations");
const QString Name_Merge_Distance = QStringLiteral("Position_Merge_Distance");
const QString Text_True = QStringLiteral("true");
const QString Text_False = QStringLiteral("false");

void Check_Version(int version)
{
    if (version != 1 && version != 2)
        throw TXmlFileException(QStringLiteral("ERR:  File version not recognized"),
                                TXmlFileException::DATA_ERROR);
}

double Read_Number(const TXmlFile *xml_file, const QDomElement &parent, const QString &name)
{
    const QDomElement element = xml_file->Get_Node(&parent, name, false);
    return EntryLists::To_Number(xml_file->Read_Text_Node(&element, false));
}

// Reads every "Entry" of the data set named set_name, in document order.
std::vector<Type::TEntryItem> Read_Set(const TXmlFile *xml_file, const QString &set_name)
{
    const QDomElement set = xml_file->Get_Node(&xml_file->d_root_node, set_name, false);
    std::vector<Type::TEntryItem> items;
    QDomElement entry = xml_file->Get_Node(&set, Name_Entry, true);
    while (!entry.isNull()) {
        Type::TEntryItem item;
        item.nominal = Read_Number(xml_file, entry, Name_Nominal);
        item.actual = Read_Number(xml_file, entry, Name_Actual);
        item.uc = Read_Number(xml_file, entry, Name_Uc);
        items.push_back(item);
        entry = xml_file->Get_Sibling_Node(&entry, Name_Entry, true);
    }
    return items;
}

// The settings' texts, as both readers take them; false for any other text.
bool Align_Of(const QString &text, bool *align)
{
    const QString word = text.trimmed();
    *align = word == Text_True;
    return *align || word == Text_False;
}

bool Merge_Distance_Of(const QString &text, double *distance)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0)
        return false;
    *distance = value + 0.0; // no -0
    return true;
}

[[noreturn]] void Refuse_Setting(const QString &name, const QString &text, const char *wanted)
{
    throw TXmlFileException(
        QStringLiteral("ERR:  Node '%1' holds '%2', which is not %3.").arg(name, text, wanted),
        TXmlFileException::DATA_ERROR);
}

// Reads the settings elements of the root where the file has them.
void Read_Settings(const TXmlFile *xml_file, DataFile::TContent *content)
{
    const QDomElement align = xml_file->Get_Node(&xml_file->d_root_node, Name_Align, true);
    if (!align.isNull()) {
        const QString text = xml_file->Read_Text_Node(&align, false);
        bool value = true;
        if (!Align_Of(text, &value))
            Refuse_Setting(Name_Align, text, "true or false");
        content->align_deviations = value;
    }
    const QDomElement merge = xml_file->Get_Node(&xml_file->d_root_node, Name_Merge_Distance, true);
    if (!merge.isNull()) {
        const QString text = xml_file->Read_Text_Node(&merge, false);
        double value = 0.0;
        if (!Merge_Distance_Of(text, &value))
            Refuse_Setting(Name_Merge_Distance, text, "a distance of 0 mm or more");
        content->merge_distance = value;
    }
}

// A value that cannot be read back (infinity, not-a-number) is written as 0, which is what
// reading such text gives anyway; a negative zero is written as a zero.
double Writable(double value)
{
    if (!std::isfinite(value))
        return 0.0;
    return value + 0.0;
}

// Every digit that the double needs to read back as itself, and at least five.
void Write_Number(TXmlFile *xml_file, QDomElement *parent, const QString &name, double value)
{
    QDomElement element = xml_file->Create_Node(parent, name);
    xml_file->Write_Text_Node(&element, NumberText::Shortest_Fixed(Writable(value), Decimals));
}

void Write_Set(TXmlFile *xml_file, const QString &set_name,
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

    QDomElement set = xml_file->Create_Node(&xml_file->d_root_node, set_name);
    for (const Type::TEntryItem &item : *sorted) {
        QDomElement entry = xml_file->Create_Node(&set, Name_Entry);
        Write_Number(xml_file, &entry, Name_Nominal, item.nominal);
        Write_Number(xml_file, &entry, Name_Actual, item.actual);
        Write_Number(xml_file, &entry, Name_Uc, item.uc);
    }
}

// The text of an identification element as the document holds it: all its text and CDATA, as
// kept (Details::Normalised); a text Details::Fault refuses is refused with the element's name.
QString Read_Detail(const QDomElement &element)
{
    QString text;
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling())
        if (child.isText() || child.isCDATASection())
            text += child.nodeValue();
    text = Details::Normalised(text);
    const QString fault = Details::Fault(text);
    if (!fault.isEmpty())
        throw TXmlFileException(QStringLiteral("ERR:  Node '%1' %2.").arg(element.tagName(), fault),
                                TXmlFileException::DATA_ERROR);
    return text;
}

void Read_Details(const TXmlFile *xml_file, Type::TDetails *details)
{
    for (int i = 0; i < Details::Count; ++i) {
        const QDomElement element = xml_file->Get_Node(
            &xml_file->d_root_node, QLatin1String(Details::Element_Names[i]), true);
        if (!element.isNull())
            *Details::Field(details, i) = Read_Detail(element);
    }
}

void Write_Details(TXmlFile *xml_file, const Type::TDetails &details)
{
    for (int i = 0; i < Details::Count; ++i) {
        const QString text = Details::Normalised(Details::Field(details, i));
        if (text.isEmpty())
            continue;
        QDomElement element =
            xml_file->Create_Node(&xml_file->d_root_node, QLatin1String(Details::Element_Names[i]));
        xml_file->Write_Text_Node(&element, text);
    }
}

// Reads an opened file of version 1 or 2; *content is written only once everything is read.
void Read_Content(const TXmlFile *xml_file, int version, DataFile::TContent *content)
{
    DataFile::TContent read;
    read.version = version;
    // Offset elements, if a version 1 file has any, are not looked at.
    if (version == 2) {
        read.offset_a = Read_Number(xml_file, xml_file->d_root_node, Name_Offset_A);
        read.offset_b = Read_Number(xml_file, xml_file->d_root_node, Name_Offset_B);
    }
    read.entries_a = Read_Set(xml_file, Name_Set_A);
    read.entries_b = Read_Set(xml_file, Name_Set_B);
    Read_Settings(xml_file, &read);
    Read_Details(xml_file, &read.details);
    *content = std::move(read);
}

// ---- The streaming reader ----
//
// It reads the document as the document reader sees it: the first child element of a name
// (a later one of the same name is not looked at), every "Entry" child of a set in order, and
// the text of a number element only when its first child node is text or CDATA, where the DOM
// drops text of blanks only. Whatever the two parsers might treat differently it does not take:
// references of any kind, a document type, namespaces, names other than plain ASCII ones, text
// of other blank characters where it would decide, and any parse error.

// Pieces of the text given to the parser at a time, so that its own copies stay small.
constexpr int Stream_Piece = 1 << 16;

// An ASCII name without a colon, which both parsers read alike.
bool Is_Plain_Name(const QStringRef &name)
{
    if (name.isEmpty())
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const ushort c = name.at(i).unicode();
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        const bool other = (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!letter && !(i > 0 && other))
            return false;
    }
    return true;
}

// Text made of blank characters only, some of which XML does not count as white space.
bool Is_Other_Blank(const QStringRef &text)
{
    for (const QChar c : text)
        if (!c.isSpace())
            return false;
    return !text.isEmpty();
}

class TStream_Reader
{
public:
    // The text as the XML layer decodes it, or the bytes of plain UTF-8 that it checked whole
    // (TXmlFile::Check_Bytes), which the stream decodes alike.
    explicit TStream_Reader(const QString &text) : d_text(&text), d_size(text.size()) {}
    explicit TStream_Reader(const QByteArray &bytes) : d_bytes(&bytes), d_size(bytes.size()) {}
    TStream_Reader(const TStream_Reader &) = delete;
    TStream_Reader &operator=(const TStream_Reader &) = delete;

    bool Read(DataFile::TContent *content);

private:
    bool Next();
    bool Is_Acceptable_Token() const;
    bool Skip_Element();
    template <typename TVisit> bool For_Each_Child(TVisit visit);
    template <std::size_t Count, typename TRead>
    bool Read_Children(const QString *const (&names)[Count], bool (&found)[Count], TRead read);
    template <typename TTake> bool Read_Text(TTake take);
    bool Read_Number(double *value);
    bool Read_Detail(QString *text);
    bool Read_Entry(Type::TEntryItem *item);
    bool Read_Set(std::vector<Type::TEntryItem> *items);
    bool Read_Root(DataFile::TContent *content);

    QXmlStreamReader d_reader;
    const QString *d_text = nullptr;
    const QByteArray *d_bytes = nullptr;
    const int d_size;
    int d_given = 0;
};

// Moves to the next token; false at a parse error or a token this reader does not take.
bool TStream_Reader::Next()
{
    for (;;) {
        if (d_reader.readNext() != QXmlStreamReader::Invalid)
            return Is_Acceptable_Token();
        if (d_reader.error() != QXmlStreamReader::PrematureEndOfDocumentError || d_given >= d_size)
            return false;
        int size = std::min(Stream_Piece, d_size - d_given);
        if (d_bytes != nullptr) {
            // The stream's decoder keeps a character split between pieces.
            d_reader.addData(d_bytes->mid(d_given, size));
        } else {
            // Each piece is encoded on its own: never between the halves of a surrogate pair.
            if (d_given + size < d_size && d_text->at(d_given + size - 1).isHighSurrogate())
                ++size;
            d_reader.addData(d_text->mid(d_given, size));
        }
        d_given += size;
    }
}

bool TStream_Reader::Is_Acceptable_Token() const
{
    switch (d_reader.tokenType()) {
    case QXmlStreamReader::StartDocument:
    case QXmlStreamReader::EndDocument:
    case QXmlStreamReader::EndElement:
    case QXmlStreamReader::Characters:
    case QXmlStreamReader::Comment: return true;
    case QXmlStreamReader::ProcessingInstruction:
        return Is_Plain_Name(d_reader.processingInstructionTarget());
    case QXmlStreamReader::StartElement: {
        // The parser's namespace processing is off: plain names carry no namespace, and a
        // namespace declaration shows as an attribute.
        if (!Is_Plain_Name(d_reader.qualifiedName()))
            return false;
        const QXmlStreamAttributes attributes = d_reader.attributes();
        for (const QXmlStreamAttribute &attribute : attributes)
            if (!Is_Plain_Name(attribute.qualifiedName()) ||
                attribute.qualifiedName() == QLatin1String("xmlns"))
                return false;
        return true;
    }
    default: return false;
    }
}

// From a start tag to the end of its element.
bool TStream_Reader::Skip_Element()
{
    for (int depth = 1; depth > 0;) {
        if (!Next())
            return false;
        if (d_reader.isStartElement())
            ++depth;
        else if (d_reader.isEndElement())
            --depth;
    }
    return true;
}

// From the start tag of a number or setting element to its end: take() is given the text of its
// first child node, as the document reader reads it, and says whether that text is sound.
template <typename TTake> bool TStream_Reader::Read_Text(TTake take)
{
    for (;;) {
        if (!Next() || !d_reader.isCharacters())
            return false;
        if (d_reader.isCDATA() || !d_reader.isWhitespace())
            break;
    }
    const QStringRef text = d_reader.text();
    if (!d_reader.isCDATA() && Is_Other_Blank(text))
        return false;
    // The text is read where the parser holds it, without a copy.
    return take(QString::fromRawData(text.unicode(), text.size())) && Skip_Element();
}

bool TStream_Reader::Read_Number(double *value)
{
    return Read_Text([value](const QString &text) {
        *value = EntryLists::To_Number(text);
        return true;
    });
}

// From the start tag of an identification element to its end. Only plain text is taken, which
// the document reader reads alike; a comment, CDATA or an element inside is the document
// reader's to read, and a text Details::Fault refuses is its to refuse.
bool TStream_Reader::Read_Detail(QString *text)
{
    QString read;
    for (;;) {
        if (!Next())
            return false;
        if (d_reader.isEndElement())
            break;
        if (!d_reader.isCharacters() || d_reader.isCDATA())
            return false;
        read += d_reader.text();
    }
    read = Details::Normalised(read);
    if (!Details::Fault(read).isEmpty())
        return false;
    *text = read;
    return true;
}

// From a start tag to the end of its element: visit() is called at the start tag of each child
// element and reads or skips that element whole.
template <typename TVisit> bool TStream_Reader::For_Each_Child(TVisit visit)
{
    for (;;) {
        if (!Next())
            return false;
        if (d_reader.isEndElement())
            return true;
        if (d_reader.isStartElement() && !visit())
            return false;
    }
}

// From a start tag to the end of its element: read(i) reads the first child element named
// names[i], as the DOM's look-up finds it, and found[i] is set; a later one of the same name, like
// every other child element, is skipped.
template <std::size_t Count, typename TRead>
bool TStream_Reader::Read_Children(const QString *const (&names)[Count], bool (&found)[Count],
                                   TRead read)
{
    return For_Each_Child([&] {
        std::size_t child = 0;
        while (child < Count && (found[child] || d_reader.qualifiedName() != *names[child]))
            ++child;
        if (child == Count)
            return Skip_Element();
        found[child] = true;
        return read(child);
    });
}

// From the start tag of an "Entry" to its end.
bool TStream_Reader::Read_Entry(Type::TEntryItem *item)
{
    static const QString *const names[] = {&Name_Nominal, &Name_Actual, &Name_Uc};
    double *const fields[] = {&item->nominal, &item->actual, &item->uc};
    bool found[] = {false, false, false};
    return Read_Children(names, found,
                         [&](std::size_t field) { return Read_Number(fields[field]); }) &&
           found[0] && found[1] && found[2];
}

// From the start tag of a data set to its end: every "Entry" child, in order.
bool TStream_Reader::Read_Set(std::vector<Type::TEntryItem> *items)
{
    return For_Each_Child([&] {
        if (d_reader.qualifiedName() != Name_Entry)
            return Skip_Element();
        Type::TEntryItem item;
        if (!Read_Entry(&item))
            return false;
        items->push_back(item);
        return true;
    });
}

// From the start tag of the root to its end.
bool TStream_Reader::Read_Root(DataFile::TContent *content)
{
    if (d_reader.qualifiedName() != Identification)
        return false;
    // Values that the stream and the DOM might read differently are the DOM's to judge.
    const QStringRef version = d_reader.attributes().value(QStringLiteral("File_Version"));
    if (version == QLatin1String("1"))
        content->version = 1;
    else if (version == QLatin1String("2"))
        content->version = 2;
    else
        return false;

    // Version 1 files do not look at offset elements. A damaged setting is the document
    // reader's to refuse, with its message.
    static const QString detail_names[Details::Count] = {
        QLatin1String(Details::Element_Names[0]), QLatin1String(Details::Element_Names[1]),
        QLatin1String(Details::Element_Names[2]), QLatin1String(Details::Element_Names[3]),
        QLatin1String(Details::Element_Names[4])};
    static const QString *const names[] = {&Name_Offset_A,   &Name_Offset_B,   &Name_Set_A,
                                           &Name_Set_B,      &Name_Align,      &Name_Merge_Distance,
                                           &detail_names[0], &detail_names[1], &detail_names[2],
                                           &detail_names[3], &detail_names[4]};
    bool found[std::size(names)] = {};
    const bool version_1 = content->version == 1;
    const bool read = Read_Children(names, found, [&](std::size_t child) {
        switch (child) {
        case 0: return version_1 ? Skip_Element() : Read_Number(&content->offset_a);
        case 1: return version_1 ? Skip_Element() : Read_Number(&content->offset_b);
        case 2: return Read_Set(&content->entries_a);
        case 3: return Read_Set(&content->entries_b);
        case 4:
            return Read_Text([content](const QString &text) {
                content->align_deviations = true;
                return Align_Of(text, &*content->align_deviations);
            });
        case 5:
            return Read_Text([content](const QString &text) {
                content->merge_distance = 0.0;
                return Merge_Distance_Of(text, &*content->merge_distance);
            });
        default: return Read_Detail(Details::Field(&content->details, static_cast<int>(child) - 6));
        }
    });
    return read && found[2] && found[3] && (version_1 || (found[0] && found[1]));
}

bool TStream_Reader::Read(DataFile::TContent *content)
{
    // References may be reported in pieces by one parser and not the other; a byte order mark
    // left in the text would be dropped by the stream's decoding but not by the DOM.
    if (d_bytes != nullptr
            ? d_bytes->contains('&')
            : d_text->contains(QLatin1Char('&')) || d_text->startsWith(QChar(0xFEFF)))
        return false;
    d_reader.setNamespaceProcessing(false);
    do {
        if (!Next())
            return false;
    } while (!d_reader.isStartElement());

    DataFile::TContent read;
    if (!Read_Root(&read))
        return false;
    do {
        if (!Next())
            return false;
    } while (!d_reader.isEndDocument());
    *content = std::move(read);
    return true;
}

// ---- Loading ----

// The streaming reader where it takes the document, the document reader otherwise: for bytes that
// the byte reader did not take. Both start from the same checks of the bytes, which refuse alike
// for both. False when progress said stop.
bool Read_Other(const QByteArray &data, bool from_file, DataFile::TContent *content,
                DataFile::TReader *reader, const Progress::TReport &progress);

// The byte reader where it takes the document, else the other readers. What the byte reader
// takes passes the others' checks.
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
// file of any size takes little memory; the other readers need the bytes in memory, at most
// 1 GiB of them.
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
    // The other readers read from the start again, and tell nothing until they are done.
    if (!Progress::Go_On(progress, 0, data.size()))
        return false;
    if (reader != nullptr)
        *reader = DataFile::READER_DOCUMENT;
    bool streamed = false;
    {
        // Let go before the document reader makes its own.
        QString text;
        if (TXmlFile::Check_Bytes(data, from_file, &text)) {
            TStream_Reader stream(data);
            streamed = stream.Read(content);
        } else {
            streamed = DataFile::Read_Stream(text, content);
        }
    }
    if (streamed) {
        if (reader != nullptr)
            *reader = DataFile::READER_STREAM;
        return true;
    }
    DataFile::Read_Document(data, from_file, content);
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
    xml_file->Reset(Identification, Written_Version);
    // Set A's entries carry set A's offset, so the file records offsets relative to set A.
    Write_Number(xml_file, &xml_file->d_root_node, Name_Offset_A, 0.0);
    Write_Number(xml_file, &xml_file->d_root_node, Name_Offset_B, Relative_Offset_B(content));
    Write_Set(xml_file, Name_Set_A, content.entries_a);
    Write_Set(xml_file, Name_Set_B, content.entries_b);
    const Type::TOptions defaults;
    if (content.align_deviations.value_or(defaults.remove_deviations) !=
        defaults.remove_deviations) {
        QDomElement align = xml_file->Create_Node(&xml_file->d_root_node, Name_Align);
        xml_file->Write_Text_Node(&align, *content.align_deviations ? Text_True : Text_False);
    }
    const double distance = content.merge_distance.value_or(defaults.merge_distance);
    if (distance != defaults.merge_distance)
        Write_Number(xml_file, &xml_file->d_root_node, Name_Merge_Distance, distance);
    Write_Details(xml_file, content.details);
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
        read = Read_File_Bytes(file, content, reader, progress);
        if (read && checksum != nullptr)
            *checksum = Checksum_Of(file);
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

void Read_Document(const QByteArray &data, bool from_file, TContent *content)
{
    QUORVAL_ASSERT(content != nullptr);
    TXmlFile xml_file;
    int version = 0;
    if (from_file)
        xml_file.Open_File_Data(data, Identification, &version, true);
    else
        xml_file.Open_Data(data, Identification, &version, true);
    Check_Version(version);
    Read_Content(&xml_file, version, content);
}

bool Read_Stream(const QString &text, TContent *content)
{
    QUORVAL_ASSERT(content != nullptr);
    TStream_Reader reader(text);
    return reader.Read(content);
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

TFileStamp Stamp_Of(const QString &file_name)
{
    const QFileInfo info(file_name);
    TFileStamp stamp;
    if (info.exists()) {
        stamp.size = info.size();
        stamp.modified = info.lastModified();
    }
    return stamp;
}

QString Checksum_Of_File(const QString &file_name, const TFileStamp &stamp)
{
    if (stamp.size < 0 || !(Stamp_Of(file_name) == stamp))
        return QString();
    QFile file(file_name);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file) || file.pos() != stamp.size)
        return QString();
    file.close();
    if (!(Stamp_Of(file_name) == stamp))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
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
