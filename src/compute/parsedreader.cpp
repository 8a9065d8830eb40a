// The conformant reader of data files: every document that the byte reader does not take goes
// through expat, a conformant non-validating XML 1.0 parser, with namespaces, in one pass and
// without building a document. A document that is not well-formed is refused with the parser's
// line and column, before any of its values counts.

#include "src/compute/datafile.h"

#include "core/base/assertion.h"
#include "core/base/xmlfile.h"
#include "src/compute/details.h"
#include "src/compute/fileformat.h"
#include "src/compute/numbertext.h"

#include <QByteArray>
#include <QString>

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using FileFormat::TElement;

const QString Parse_Error_File =
    QStringLiteral("ERR:  Reference file XML parse error at line %1 column %2: %3");
const QString Parse_Error_Data =
    QStringLiteral("ERR:  Reference data XML parse error at line %1 column %2: %3");
const QString Missing_Node =
    QStringLiteral("ERR:  Node '%1' is missing from node '%2' and not optional.");

// The parser is given the document in blocks of this size, so that it never holds more than a
// block and the markup it ends in.
constexpr std::size_t Block_Size = std::size_t(1) << 20;
// Between a namespace and the local name in the names the parser reports: no XML character.
constexpr XML_Char Namespace_Separator = '\x01';

QString Text_Of(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QString Name_Of(TElement element) { return Text_Of(FileFormat::Name(element)); }

// The name without its namespace: elements and attributes are known by their local names.
std::string_view Local_Name(const XML_Char *name)
{
    const XML_Char *const separator = std::strrchr(name, Namespace_Separator);
    return separator != nullptr ? separator + 1 : name;
}

// The settings' texts: "true" or "false" with blanks around.
bool Align_Of(const QString &text, bool *align)
{
    const QString word = text.trimmed();
    *align = word == QLatin1String("true");
    return *align || word == QLatin1String("false");
}

class TParsed_Reader
{
public:
    TParsed_Reader(bool from_file, std::size_t size);
    ~TParsed_Reader() { XML_ParserFree(d_parser); }
    TParsed_Reader(const TParsed_Reader &) = delete;
    TParsed_Reader &operator=(const TParsed_Reader &) = delete;

    // Parses the next piece of the document (UTF-8); throws TXmlFileException where the
    // document is not well-formed or holds what is refused.
    void Parse(const char *data, std::size_t size, bool last);
    // Gives the parser a byte order mark of its own, which it counts as a column of the first
    // line: the positions it reports there are told one column less.
    void Parse_Byte_Order_Mark(bool last)
    {
        d_first_columns = 1;
        Parse("\xef\xbb\xbf", 3, last);
    }
    // The content once the whole document is parsed; throws the first fault of its values.
    void Take(DataFile::TContent *content);

private:
    enum TOpen { OPEN_ROOT, OPEN_SET, OPEN_ENTRY, OPEN_TEXT, OPEN_IGNORED };
    struct TFrame
    {
        TOpen open;
        TElement element;
    };
    // Of several faults the one named is the first in this order, whatever their order in the
    // file: the root, then its children in FileFormat's order.
    static constexpr int Root_Rank = -1;
    static int Rank(TElement element) { return element; }

    static void XMLCALL On_Start(void *reader, const XML_Char *name, const XML_Char **attributes);
    static void XMLCALL On_End(void *reader, const XML_Char *name);
    static void XMLCALL On_Text(void *reader, const XML_Char *text, int length);
    static void XMLCALL On_Doctype(void *reader, const XML_Char *name, const XML_Char *system_id,
                                   const XML_Char *public_id, int internal_subset);
    static void XMLCALL On_Entity(void *reader, const XML_Char *, int, const XML_Char *, int,
                                  const XML_Char *, const XML_Char *, const XML_Char *,
                                  const XML_Char *);
    static void XMLCALL On_Skipped_Entity(void *reader, const XML_Char *name, int);
    static int XMLCALL On_External_Entity(XML_Parser, const XML_Char *, const XML_Char *,
                                          const XML_Char *, const XML_Char *);

    void Start(const XML_Char *name, const XML_Char **attributes);
    void Start_Root(std::string_view name, const XML_Char **attributes);
    void End();
    void End_Text(TElement element);
    void End_Entry(TElement set);
    // Ends the parse with a refusal at the parser's position.
    void Stop(const QString &what);
    void Fault(int rank, const QString &message);
    [[noreturn]] void Throw_At(const QString &what) const;
    QString Number_Fault() const;

    XML_Parser d_parser;
    const QString &d_parse_error;
    std::vector<TFrame> d_open;
    DataFile::TContent d_read;
    bool d_found[FileFormat::ENTRY] = {};
    // The text of the open number, setting or identification element: all its character data.
    std::string d_text;
    // The entry being read, and its place in its set (from 1).
    Type::TEntryItem d_item;
    bool d_item_found[3] = {};
    QString d_item_fault[3];
    qint64 d_entry = 0;
    // The first fault of the values, by rank.
    QString d_fault;
    int d_fault_rank = FileFormat::ELEMENT_COUNT;
    // Why a handler stopped the parse, and where.
    QString d_stop;
    XML_Size d_stop_line = 0;
    XML_Size d_stop_column = 0;
    // Columns of the first line that the document does not have.
    XML_Size d_first_columns = 0;
};

TParsed_Reader::TParsed_Reader(bool from_file, std::size_t size)
    : d_parser(XML_ParserCreateNS("UTF-8", Namespace_Separator)),
      d_parse_error(from_file ? Parse_Error_File : Parse_Error_Data)
{
    if (d_parser == nullptr)
        throw std::bad_alloc();
    XML_SetUserData(d_parser, this);
    XML_SetElementHandler(d_parser, On_Start, On_End);
    XML_SetCharacterDataHandler(d_parser, On_Text);
    XML_SetStartDoctypeDeclHandler(d_parser, On_Doctype);
    XML_SetEntityDeclHandler(d_parser, On_Entity);
    XML_SetSkippedEntityHandler(d_parser, On_Skipped_Entity);
    XML_SetExternalEntityRefHandler(d_parser, On_External_Entity);
    XML_SetParamEntityParsing(d_parser, XML_PARAM_ENTITY_PARSING_NEVER);
    // An entry takes about 150 bytes as Quorval writes it.
    d_read.entries_a.reserve(size / 256);
    d_read.entries_b.reserve(size / 256);
}

void TParsed_Reader::Parse(const char *data, std::size_t size, bool last)
{
    if (XML_Parse(d_parser, data, static_cast<int>(size), last) == XML_STATUS_OK)
        return;
    if (!d_stop.isEmpty())
        throw TXmlFileException(d_parse_error.arg(QString::number(d_stop_line),
                                                  QString::number(d_stop_column + 1), d_stop),
                                TXmlFileException::DATA_ERROR);
    Throw_At(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(d_parser))));
}

void TParsed_Reader::Throw_At(const QString &what) const
{
    const XML_Size line = XML_GetCurrentLineNumber(d_parser);
    const XML_Size column =
        XML_GetCurrentColumnNumber(d_parser) - (line == 1 ? d_first_columns : 0);
    throw TXmlFileException(
        d_parse_error.arg(QString::number(line), QString::number(column + 1), what),
        TXmlFileException::DATA_ERROR);
}

void TParsed_Reader::Stop(const QString &what)
{
    if (!d_stop.isEmpty())
        return;
    d_stop = what;
    d_stop_line = XML_GetCurrentLineNumber(d_parser);
    d_stop_column = XML_GetCurrentColumnNumber(d_parser) - (d_stop_line == 1 ? d_first_columns : 0);
    XML_StopParser(d_parser, XML_FALSE);
}

void TParsed_Reader::Fault(int rank, const QString &message)
{
    if (rank < d_fault_rank) {
        d_fault_rank = rank;
        d_fault = message;
    }
}

void TParsed_Reader::Take(DataFile::TContent *content)
{
    if (d_fault_rank > Root_Rank) {
        // The elements every file of its version must have.
        for (int i = 0; i < FileFormat::ENTRY; ++i) {
            const FileFormat::TRule &rule = FileFormat::Rules[i];
            if (!d_found[i] && rule.required_from != 0 && d_read.version >= rule.required_from)
                Fault(Rank(TElement(i)),
                      Missing_Node.arg(Name_Of(TElement(i)), Text_Of(FileFormat::Root_Name)));
        }
    }
    if (!d_fault.isEmpty())
        throw TXmlFileException(d_fault, TXmlFileException::DATA_ERROR);
    *content = std::move(d_read);
}

void TParsed_Reader::On_Start(void *reader, const XML_Char *name, const XML_Char **attributes)
{
    static_cast<TParsed_Reader *>(reader)->Start(name, attributes);
}

void TParsed_Reader::On_End(void *reader, const XML_Char *)
{
    static_cast<TParsed_Reader *>(reader)->End();
}

void TParsed_Reader::On_Text(void *reader, const XML_Char *text, int length)
{
    TParsed_Reader *const self = static_cast<TParsed_Reader *>(reader);
    if (!self->d_open.empty() && self->d_open.back().open == OPEN_TEXT)
        self->d_text.append(text, static_cast<std::size_t>(length));
}

void TParsed_Reader::On_Doctype(void *reader, const XML_Char *, const XML_Char *system_id,
                                const XML_Char *public_id, int internal_subset)
{
    // Declarations could give the document content that no file of the program holds; an
    // external subset, never loaded, would leave references to its entities unread.
    TParsed_Reader *const self = static_cast<TParsed_Reader *>(reader);
    if (internal_subset)
        self->Stop(QStringLiteral("internal subsets of a document type are not supported"));
    else if (system_id != nullptr || public_id != nullptr)
        self->Stop(QStringLiteral("external document type definitions are not supported"));
}

void TParsed_Reader::On_Entity(void *reader, const XML_Char *, int, const XML_Char *, int,
                               const XML_Char *, const XML_Char *, const XML_Char *,
                               const XML_Char *)
{
    static_cast<TParsed_Reader *>(reader)->Stop(
        QStringLiteral("entity declarations are not supported"));
}

void TParsed_Reader::On_Skipped_Entity(void *reader, const XML_Char *name, int)
{
    static_cast<TParsed_Reader *>(reader)->Stop(
        QStringLiteral("reference to the undeclared entity '%1'")
            .arg(NumberText::Excerpt(QString::fromUtf8(name))));
}

int TParsed_Reader::On_External_Entity(XML_Parser, const XML_Char *, const XML_Char *,
                                       const XML_Char *, const XML_Char *)
{
    return XML_STATUS_ERROR; // nothing is ever loaded
}

void TParsed_Reader::Start(const XML_Char *name, const XML_Char **attributes)
{
    const std::string_view local = Local_Name(name);
    if (d_open.empty()) {
        Start_Root(local, attributes);
        return;
    }
    const TFrame parent = d_open.back();
    TFrame frame{OPEN_IGNORED, FileFormat::ELEMENT_COUNT};
    if (parent.open == OPEN_ROOT) {
        const TElement element = FileFormat::Root_Child(local);
        if (element != FileFormat::ELEMENT_COUNT && !d_found[element] &&
            d_read.version >= FileFormat::Rules[element].read_from) {
            d_found[element] = true;
            frame = {FileFormat::Rules[element].kind == FileFormat::SET ? OPEN_SET : OPEN_TEXT,
                     element};
            d_entry = 0;
        }
    } else if (parent.open == OPEN_SET) {
        if (local == FileFormat::Name(FileFormat::ENTRY)) {
            frame = {OPEN_ENTRY, FileFormat::ENTRY};
            ++d_entry;
            std::fill(std::begin(d_item_found), std::end(d_item_found), false);
        }
    } else if (parent.open == OPEN_ENTRY) {
        const TElement element = FileFormat::Entry_Child(local);
        if (element != FileFormat::ELEMENT_COUNT && !d_item_found[element - FileFormat::NOMINAL]) {
            d_item_found[element - FileFormat::NOMINAL] = true;
            frame = {OPEN_TEXT, element};
        }
    }
    if (frame.open == OPEN_TEXT)
        d_text.clear();
    d_open.push_back(frame);
}

void TParsed_Reader::Start_Root(std::string_view name, const XML_Char **attributes)
{
    d_open.push_back({OPEN_IGNORED, FileFormat::ELEMENT_COUNT});
    if (name != FileFormat::Root_Name) {
        Fault(Root_Rank,
              QStringLiteral("ERR:  Identification '%1' does not match '%2'")
                  .arg(Text_Of(FileFormat::Root_Name), NumberText::Excerpt(Text_Of(name))));
        return;
    }
    const XML_Char *version = nullptr;
    for (const XML_Char **attribute = attributes; *attribute != nullptr && version == nullptr;
         attribute += 2)
        if (Local_Name(attribute[0]) == FileFormat::Version_Attribute)
            version = attribute[1];
    if (version == nullptr) {
        Fault(Root_Rank, QStringLiteral("ERR:  The 'File_Version' attribute is missing."));
        return;
    }
    // Anything that is not an integer reads as 0, which no version is.
    d_read.version = QString::fromUtf8(version).toInt(nullptr, 10);
    if (d_read.version != 1 && d_read.version != 2) {
        Fault(Root_Rank, QStringLiteral("ERR:  File version not recognized"));
        return;
    }
    d_open.back().open = OPEN_ROOT;
}

void TParsed_Reader::End()
{
    const TFrame frame = d_open.back();
    d_open.pop_back();
    if (frame.open == OPEN_TEXT)
        End_Text(frame.element);
    else if (frame.open == OPEN_ENTRY)
        End_Entry(d_open.back().element);
}

// The end of the message of a number element whose text is not a number.
QString TParsed_Reader::Number_Fault() const
{
    return QStringLiteral("holds '%1', which is not a number.")
        .arg(NumberText::Excerpt(Text_Of(d_text)));
}

void TParsed_Reader::End_Text(TElement element)
{
    const char *const begin = d_text.data();
    const char *const end = begin + d_text.size();
    const QString name = Name_Of(element);
    double number = 0.0;
    switch (FileFormat::Rules[element].kind) {
    case FileFormat::NUMBER:
        if (element >= FileFormat::NOMINAL) {
            const int field = element - FileFormat::NOMINAL;
            double *const fields[] = {&d_item.nominal, &d_item.actual, &d_item.uc};
            if (!NumberText::Read_File_Number(begin, end, fields[field]))
                d_item_fault[field] = QStringLiteral("ERR:  Node '%1' of entry %2 in '%3' %4")
                                          .arg(name)
                                          .arg(d_entry)
                                          .arg(Name_Of(d_open[1].element), Number_Fault());
        } else if (NumberText::Read_File_Number(begin, end, &number)) {
            (element == FileFormat::OFFSET_A ? d_read.offset_a : d_read.offset_b) = number;
        } else {
            Fault(Rank(element), QStringLiteral("ERR:  Node '%1' %2").arg(name, Number_Fault()));
        }
        break;
    case FileFormat::ALIGNMENT: {
        const QString text = Text_Of(d_text);
        bool align = true;
        if (Align_Of(text, &align))
            d_read.align_deviations = align;
        else
            Fault(Rank(element),
                  QStringLiteral("ERR:  Node '%1' holds '%2', which is not true or false.")
                      .arg(name, NumberText::Excerpt(text)));
        break;
    }
    case FileFormat::DISTANCE:
        if (NumberText::Read_File_Number(begin, end, &number) && number >= 0.0)
            d_read.merge_distance = number + 0.0; // no -0
        else
            Fault(Rank(element),
                  QStringLiteral("ERR:  Node '%1' holds '%2', which is not a distance of 0 mm or "
                                 "more.")
                      .arg(name, NumberText::Excerpt(Text_Of(d_text))));
        break;
    case FileFormat::TEXT: {
        const QString text = Details::Normalised(Text_Of(d_text));
        const QString fault = Details::Fault(text);
        if (fault.isEmpty())
            *Details::Field(&d_read.details, element - FileFormat::DETAIL_FIRST) = text;
        else
            Fault(Rank(element), QStringLiteral("ERR:  Node '%1' %2.").arg(name, fault));
        break;
    }
    case FileFormat::SET:
    case FileFormat::ENTRIES: break;
    }
}

void TParsed_Reader::End_Entry(TElement set)
{
    for (int field = 0; field < 3; ++field) {
        QString fault = std::move(d_item_fault[field]);
        d_item_fault[field].clear();
        if (!d_item_found[field])
            fault = Missing_Node.arg(Name_Of(TElement(FileFormat::NOMINAL + field)),
                                     Name_Of(FileFormat::ENTRY));
        if (!fault.isEmpty()) {
            Fault(Rank(set), fault);
            return;
        }
    }
    (set == FileFormat::SET_A ? d_read.entries_a : d_read.entries_b).push_back(d_item);
}

// The document in UTF-8 pieces to the parser: the bytes themselves where they are plain UTF-8,
// otherwise the text the checks decoded.
void Parse_All(TParsed_Reader *reader, const QByteArray &data, bool from_file)
{
    QString text;
    if (TXmlFile::Check_Bytes(data, from_file, &text)) {
        std::size_t done = 0;
        const std::size_t size = static_cast<std::size_t>(data.size());
        do {
            const std::size_t piece = std::min(Block_Size, size - done);
            reader->Parse(data.constData() + done, piece, done + piece == size);
            done += piece;
        } while (done < size);
        return;
    }
    // The parser is told the text is UTF-8, whatever the declaration says: the checks decoded
    // the bytes already, as declared, and took off the byte order mark. A mark of the parser's
    // own comes first, so that a U+FEFF left at the start counts as the character it is.
    reader->Parse_Byte_Order_Mark(text.isEmpty());
    const int block = static_cast<int>(Block_Size / 4);
    int done = 0;
    do {
        int piece = std::min(block, text.size() - done);
        // A surrogate pair stays in one piece.
        if (done + piece < text.size() && text.at(done + piece - 1).isHighSurrogate())
            --piece;
        const QByteArray bytes = text.midRef(done, piece).toUtf8();
        done += piece;
        reader->Parse(bytes.constData(), static_cast<std::size_t>(bytes.size()),
                      done == text.size());
    } while (done < text.size());
}

} // namespace

namespace DataFile {

void Read_Parsed(const char *data, std::size_t size, bool from_file, TContent *content)
{
    QUORVAL_ASSERT(content != nullptr);
    QUORVAL_ASSERT(data != nullptr || size == 0);
    TParsed_Reader reader(from_file, size);
    Parse_All(&reader, QByteArray::fromRawData(data, static_cast<int>(size)), from_file);
    reader.Take(content);
}

} // namespace DataFile
