// The byte reader of data files: the plain shape that Quorval and most other tools write, read
// straight from the bytes. It takes a document only where every byte belongs to that shape, and
// such a document reads through any XML parser alike: ASCII, an optional XML declaration of
// version 1.0 in UTF-8, the known elements each at most once (every "Entry" with its three
// numbers), blanks and comments between them, number text that is a number, identification
// texts that may also hold letters of any script, the predefined entities and character
// references, and nothing else (no CDATA, processing instructions, document type, other
// attributes, other references).
// What it does not take goes to the conformant parser, which gives the result or the message.

#include "src/compute/datafile.h"

#include "core/base/assertion.h"
#include "core/base/xmlfile.h"
#include "src/compute/details.h"
#include "src/compute/fileformat.h"
#include "src/compute/numbertext.h"
#include "src/compute/progress.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// The elements of FileFormat, the root and any other.
enum TName {
    NAME_OFFSET_A = FileFormat::OFFSET_A,
    NAME_OFFSET_B = FileFormat::OFFSET_B,
    NAME_SET_A = FileFormat::SET_A,
    NAME_SET_B = FileFormat::SET_B,
    NAME_ALIGN = FileFormat::ALIGN,
    NAME_MERGE_DISTANCE = FileFormat::MERGE_DISTANCE,
    NAME_DETAIL_FIRST = FileFormat::DETAIL_FIRST,
    NAME_DETAIL_LAST = FileFormat::DETAIL_LAST,
    NAME_ENTRY = FileFormat::ENTRY,
    NAME_NOMINAL = FileFormat::NOMINAL,
    NAME_ROOT = FileFormat::ELEMENT_COUNT,
    NAME_OTHER
};

inline bool Is_Blank(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

inline bool Is_Name_Character(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

// Characters of number and setting text that every parser reads as themselves: printable ASCII
// without markup ("<", "&", and "]" and ">" of "]]>"), and blanks.
inline bool Is_Text_Character(char c)
{
    return (c >= 0x20 && c < 0x7f && c != '&' && c != '<' && c != '>' && c != ']') || Is_Blank(c);
}

inline bool Is_Comment_Character(char c) { return (c >= 0x20 && c < 0x7f) || Is_Blank(c); }

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && Is_Blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && Is_Blank(text.back()))
        text.remove_suffix(1);
    return text;
}

class TPlain_Reader
{
public:
    TPlain_Reader(const char *begin, const char *end, const Progress::TReport &progress,
                  const DataFile::TRelease &release = {})
        : d_begin(begin), d_p(begin), d_end(end), d_progress(progress), d_release(release)
    {
    }
    TPlain_Reader(const TPlain_Reader &) = delete;
    TPlain_Reader &operator=(const TPlain_Reader &) = delete;

    bool Read(DataFile::TContent *content);
    // Whether the progress report said stop (Read then returned false).
    bool Stopped() const { return d_stopped; }

private:
    // Counts an entry read, and now and then reports the bytes read. False once the report says
    // stop.
    bool Counted()
    {
        if (++d_entries % Progress::Items_Between_Reports != 0)
            return true;
        d_stopped = !Progress::Go_On(d_progress, d_p - d_begin, d_end - d_begin);
        return !d_stopped;
    }
    bool Take(std::string_view text)
    {
        if (static_cast<std::size_t>(d_end - d_p) < text.size() ||
            std::memcmp(d_p, text.data(), text.size()) != 0)
            return false;
        d_p += text.size();
        return true;
    }
    // The same for a literal, compared without a call.
    template <std::size_t Size> bool Take_Literal(const char (&text)[Size])
    {
        constexpr std::size_t length = Size - 1;
        if (static_cast<std::size_t>(d_end - d_p) < length || std::memcmp(d_p, text, length) != 0)
            return false;
        d_p += length;
        return true;
    }
    template <std::size_t Open, std::size_t Close>
    bool Number_As_Written(const char (&open)[Open], const char (&close)[Close], double *value);
    bool Take(char c)
    {
        if (d_p == d_end || *d_p != c)
            return false;
        ++d_p;
        return true;
    }
    bool Skip_Blanks()
    {
        const char *const start = d_p;
        while (d_p < d_end && Is_Blank(*d_p))
            ++d_p;
        return d_p > start;
    }
    bool Skip_Blanks_And_Comments();
    bool Quoted(std::string_view *value);
    bool Attribute(std::string_view name, std::string_view *value);
    bool Declaration();
    TName Name();
    TName Start_Tag(bool *empty);
    bool End_Tag(TName name);
    bool Text(std::string_view *text);
    bool Number(TName name, double *value);
    template <typename TVisit> bool Children(TName parent, TVisit visit);
    bool Entry(Type::TEntryItem *item);
    bool Entry_As_Written(Type::TEntryItem *item);
    bool Set(TName name, bool empty, std::vector<Type::TEntryItem> *items);
    bool Setting(TName name, DataFile::TContent *content);
    bool Character_Reference(std::string *text);
    bool Detail(TName name, bool empty, QString *text);
    bool Root(DataFile::TContent *content);

    const char *const d_begin;
    const char *d_p;
    const char *const d_end;
    const Progress::TReport &d_progress;
    const DataFile::TRelease &d_release;
    qint64 d_entries = 0;
    bool d_stopped = false;

    friend class TSet_B_Ahead;
};

// Set B of a large document, read on a second thread while set A is read. That thread looks
// for the first "<Data_Set_B>" after the root's start tag and reads set B from just past it; the
// reader takes what was read there only when set B's start tag ends at that very byte (not, say,
// in a comment before it), and reads the set itself in every other case, a failure here
// included: the same bytes read the same either way. The bytes looked through and read are let
// go as the thread goes (release), so that set A's pages are read again from the file's cache.
class TSet_B_Ahead
{
public:
    // Documents from this size on: below it a thread costs more than it saves.
    static constexpr std::ptrdiff_t Least_Size = std::ptrdiff_t(8) << 20;

    TSet_B_Ahead(const char *document, const char *from, const char *end, std::size_t reserved,
                 const DataFile::TRelease &release)
        : d_document(document), d_release(release)
    {
        if (end - from < Least_Size)
            return;
        d_items.reserve(reserved);
        try {
            d_thread = std::thread([this, from, end] { Read(from, end); });
        } catch (const std::system_error &) {
            // No thread to be had: the reader reads set B itself.
        }
    }
    ~TSet_B_Ahead() { Stop(); }
    TSet_B_Ahead(const TSet_B_Ahead &) = delete;
    TSet_B_Ahead &operator=(const TSet_B_Ahead &) = delete;

    // For set B whose start tag ends at p: true with its entries in *items and *p moved past its
    // end tag where it was read here, false where the reader reads it itself.
    bool Take(const char **p, bool empty, std::vector<Type::TEntryItem> *items)
    {
        if (!d_thread.joinable())
            return false;
        while (!d_found.load(std::memory_order_acquire))
            std::this_thread::yield();
        if (*p != d_start || empty) {
            Stop();
            return false;
        }
        d_thread.join();
        if (!d_read)
            return false;
        *items = std::move(d_items);
        *p = d_after;
        return true;
    }

private:
    void Let_Go(const char *begin, const char *end) const
    {
        if (d_release)
            d_release(static_cast<std::size_t>(begin - d_document),
                      static_cast<std::size_t>(end - d_document));
    }
    void Read(const char *from, const char *end)
    {
        static constexpr std::string_view Tag = "<Data_Set_B>";
        constexpr std::ptrdiff_t Piece = std::ptrdiff_t(16) << 20;
        // Looked for piece by piece, each overlapping the one before by the tag's length.
        const void *found = nullptr;
        for (const char *piece = from; found == nullptr && piece < end && !d_stop; piece += Piece) {
            const char *const piece_end = std::min(end, piece + Piece + std::ptrdiff_t(Tag.size()));
            found = ::memmem(piece, static_cast<std::size_t>(piece_end - piece), Tag.data(),
                             Tag.size());
            Let_Go(piece, found != nullptr ? static_cast<const char *>(found) : piece_end);
        }
        d_start = found != nullptr ? static_cast<const char *>(found) + Tag.size() : nullptr;
        d_found.store(true, std::memory_order_release);
        if (d_start == nullptr)
            return;
        // Stop ends the reading at its next report.
        const Progress::TReport go_on = [&](qint64 done, qint64) {
            Let_Go(d_start, d_start + done);
            return !d_stop.load(std::memory_order_relaxed);
        };
        try {
            TPlain_Reader reader(d_start, end, go_on);
            d_read = reader.Set(NAME_SET_B, false, &d_items);
            d_after = reader.d_p;
        } catch (const std::bad_alloc &) {
            d_read = false; // the reader tries again, and fails with the message
        }
    }
    void Stop()
    {
        d_stop = true;
        if (d_thread.joinable())
            d_thread.join();
    }

    const char *const d_document;
    const DataFile::TRelease &d_release;
    const char *d_start = nullptr; // just past the tag found; written before d_found
    const char *d_after = nullptr;
    std::vector<Type::TEntryItem> d_items;
    bool d_read = false;
    std::atomic<bool> d_found{false};
    std::atomic<bool> d_stop{false};
    std::thread d_thread;
};

// A value in single or double quotes, of printable characters without markup.
bool TPlain_Reader::Quoted(std::string_view *value)
{
    if (d_p == d_end || (*d_p != '"' && *d_p != '\''))
        return false;
    const char quote = *d_p++;
    const char *const start = d_p;
    while (d_p < d_end && *d_p != quote) {
        if (!Is_Text_Character(*d_p) || Is_Blank(*d_p) || *d_p == '"' || *d_p == '\'')
            return false;
        ++d_p;
    }
    if (d_p == d_end)
        return false;
    *value = std::string_view(start, static_cast<std::size_t>(d_p - start));
    ++d_p;
    return true;
}

// Blanks, name, "=" with blanks around it, and the quoted value.
bool TPlain_Reader::Attribute(std::string_view name, std::string_view *value)
{
    if (!Skip_Blanks() || !Take(name))
        return false;
    Skip_Blanks();
    if (!Take('='))
        return false;
    Skip_Blanks();
    return Quoted(value);
}

// <?xml version="1.0" encoding="utf-8"?>, the encoding optional and in any case.
bool TPlain_Reader::Declaration()
{
    std::string_view value;
    if (!Take("<?xml") || !Attribute("version", &value) || value != "1.0")
        return false;
    const char *const before = d_p;
    if (Attribute("encoding", &value)) {
        if (value.size() != 5 || strncasecmp(value.data(), "utf-8", 5) != 0)
            return false;
    } else {
        d_p = before;
    }
    Skip_Blanks();
    return Take("?>");
}

TName TPlain_Reader::Name()
{
    const char *const start = d_p;
    while (d_p < d_end && Is_Name_Character(*d_p))
        ++d_p;
    const std::string_view name(start, static_cast<std::size_t>(d_p - start));
    // The names of an entry come most often: looked at first.
    FileFormat::TElement element = FileFormat::Entry_Child(name);
    if (element == FileFormat::ELEMENT_COUNT && name == FileFormat::Name(FileFormat::ENTRY))
        element = FileFormat::ENTRY;
    if (element == FileFormat::ELEMENT_COUNT)
        element = FileFormat::Root_Child(name);
    if (element != FileFormat::ELEMENT_COUNT)
        return static_cast<TName>(element);
    return name == FileFormat::Root_Name ? NAME_ROOT : NAME_OTHER;
}

// "<Name>" or "<Name/>", blanks allowed before the end; NAME_OTHER for anything else.
TName TPlain_Reader::Start_Tag(bool *empty)
{
    if (!Take('<'))
        return NAME_OTHER;
    const TName name = Name();
    Skip_Blanks();
    *empty = Take('/');
    return Take('>') ? name : NAME_OTHER;
}

bool TPlain_Reader::End_Tag(TName name)
{
    if (!Take("</") || Name() != name)
        return false;
    Skip_Blanks();
    return Take('>');
}

// The text up to the next "<".
bool TPlain_Reader::Text(std::string_view *text)
{
    const char *const start = d_p;
    while (d_p < d_end && *d_p != '<') {
        if (!Is_Text_Character(*d_p))
            return false;
        ++d_p;
    }
    *text = std::string_view(start, static_cast<std::size_t>(d_p - start));
    return true;
}

// From just past the start tag to past the end tag. Text that is not a number is the parser's to
// refuse, with its message.
bool TPlain_Reader::Number(TName name, double *value)
{
    std::string_view text;
    return Text(&text) &&
           NumberText::Read_File_Number(text.data(), text.data() + text.size(), value) &&
           End_Tag(name);
}

// From just past the start tag of parent to past its end tag: visit(name, empty) reads each
// child element from just past its start tag, blanks between them skipped.
// Blanks and comments between elements, which every reader passes over. A comment holds
// printable ASCII and blanks, and no "--" but its end; false for any other.
bool TPlain_Reader::Skip_Blanks_And_Comments()
{
    for (;;) {
        Skip_Blanks();
        if (!Take("<!--"))
            return true;
        while (!Take("-->")) {
            if (d_p == d_end || !Is_Comment_Character(*d_p) ||
                (d_p[0] == '-' && d_p + 1 < d_end && d_p[1] == '-'))
                return false;
            ++d_p;
        }
    }
}

template <typename TVisit> bool TPlain_Reader::Children(TName parent, TVisit visit)
{
    for (;;) {
        if (!Skip_Blanks_And_Comments())
            return false;
        if (Take("</")) {
            d_p -= 2;
            return End_Tag(parent);
        }
        bool empty = false;
        const TName name = Start_Tag(&empty);
        if (name == NAME_OTHER || !visit(name, empty))
            return false;
    }
}

bool TPlain_Reader::Entry(Type::TEntryItem *item)
{
    bool found[3] = {false, false, false};
    double *const fields[3] = {&item->nominal, &item->actual, &item->uc};
    return Children(NAME_ENTRY,
                    [&](TName name, bool empty) {
                        const int field = name - NAME_NOMINAL;
                        if (field < 0 || field > 2 || empty || found[field])
                            return false;
                        found[field] = true;
                        return Number(name, fields[field]);
                    }) &&
           found[0] && found[1] && found[2];
}

// An entry as Quorval writes it, from just past "<Entry>" to past its end tag: the three numbers
// in their order, blanks between the tags and none inside them. Exactly what Entry reads of such
// an entry, without looking up names; false, somewhere in the entry, for any other.
template <std::size_t Open, std::size_t Close>
bool TPlain_Reader::Number_As_Written(const char (&open)[Open], const char (&close)[Close],
                                      double *value)
{
    Skip_Blanks();
    std::string_view text;
    return Take_Literal(open) && Text(&text) && Take_Literal(close) &&
           NumberText::Read_File_Number(text.data(), text.data() + text.size(), value);
}

bool TPlain_Reader::Entry_As_Written(Type::TEntryItem *item)
{
    if (!Number_As_Written("<Nominal>", "</Nominal>", &item->nominal) ||
        !Number_As_Written("<Actual>", "</Actual>", &item->actual) ||
        !Number_As_Written("<Uc>", "</Uc>", &item->uc))
        return false;
    Skip_Blanks();
    return Take_Literal("</Entry>");
}

bool TPlain_Reader::Set(TName name, bool empty, std::vector<Type::TEntryItem> *items)
{
    if (empty)
        return true;
    // Entries as written, while they come; from the first other one on, the general way.
    for (;;) {
        const char *const start = d_p;
        Skip_Blanks();
        Type::TEntryItem item;
        if (!Take_Literal("<Entry>") || !Entry_As_Written(&item)) {
            d_p = start;
            break;
        }
        items->push_back(item);
        if (!Counted())
            return false;
    }
    return Children(name, [&](TName child, bool child_empty) {
        Type::TEntryItem item;
        if (child != NAME_ENTRY || child_empty || !Entry(&item))
            return false;
        items->push_back(item);
        return Counted();
    });
}

// The settings as the parser takes them; anything it would refuse is its to refuse.
bool TPlain_Reader::Setting(TName name, DataFile::TContent *content)
{
    std::string_view text;
    if (!Text(&text) || !End_Tag(name))
        return false;
    text = Trimmed(text);
    if (name == NAME_ALIGN) {
        if (text != "true" && text != "false")
            return false;
        content->align_deviations = text == "true";
        return true;
    }
    double distance = 0.0;
    if (!NumberText::Read_File_Number(text.data(), text.data() + text.size(), &distance) ||
        distance < 0.0)
        return false;
    content->merge_distance = distance + 0.0; // no -0
    return true;
}

// A character reference ("&#233;", "&#xE9;") just past its "&#": the character in UTF-8
// appended to *text and true, where it names a character of the basic plane that XML allows (the
// checks before the parser refuse the others); false otherwise.
bool TPlain_Reader::Character_Reference(std::string *text)
{
    const bool hexadecimal = Take('x');
    const char *const digits = d_p;
    unsigned code = 0;
    for (; d_p < d_end && code <= 0xFFFF; ++d_p) {
        const char c = *d_p;
        const int digit = c >= '0' && c <= '9'                  ? c - '0'
                          : hexadecimal && c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : hexadecimal && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                : -1;
        if (digit < 0)
            break;
        code = code * (hexadecimal ? 16 : 10) + static_cast<unsigned>(digit);
    }
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD);
    if (d_p == digits || !allowed || !Take(';'))
        return false;
    if (code < 0x80) {
        *text += static_cast<char>(code);
    } else if (code < 0x800) {
        *text += static_cast<char>(0xC0 | (code >> 6));
        *text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *text += static_cast<char>(0xE0 | (code >> 12));
        *text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *text += static_cast<char>(0x80 | (code & 0x3F));
    }
    return true;
}

// An identification text of printable ASCII and line breaks, letters of other scripts in UTF-8,
// the five predefined entities and character references, which every parser reads alike;
// anything else, and a text that Details::Fault refuses, is the parser's to read or refuse.
bool TPlain_Reader::Detail(TName name, bool empty, QString *text)
{
    static constexpr std::string_view Entities[][2] = {
        {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}};
    std::string read;
    while (!empty && d_p < d_end && *d_p != '<') {
        const uchar c = static_cast<uchar>(*d_p);
        if (c >= 0x80) {
            const int length = XmlText::Plain_Utf8_Length(reinterpret_cast<const uchar *>(d_p),
                                                          reinterpret_cast<const uchar *>(d_end));
            if (length == 0)
                return false;
            read.append(d_p, static_cast<std::size_t>(length));
            d_p += length;
        } else if (c == '\r') {
            // A line break of the file is one "\n" to XML, unlike a referenced "\r".
            ++d_p;
            Take('\n');
            read += '\n';
        } else if (Take("&#")) {
            if (!Character_Reference(&read))
                return false;
        } else if (c == '&') {
            const auto entity =
                std::find_if(std::begin(Entities), std::end(Entities),
                             [this](const std::string_view(&pair)[2]) { return Take(pair[0]); });
            if (entity == std::end(Entities))
                return false;
            read += (*entity)[1];
        } else if (c == ']' && d_end - d_p >= 3 && std::memcmp(d_p, "]]>", 3) == 0) {
            return false; // not well-formed in text
        } else if (Is_Text_Character(*d_p) || c == '>' || c == ']') {
            read += *d_p++;
        } else {
            return false;
        }
    }
    if (!empty && !End_Tag(name))
        return false;
    const QString kept = Details::Normalised(QString::fromUtf8(read.data(), int(read.size())));
    if (!Details::Fault(kept).isEmpty())
        return false;
    *text = kept;
    return true;
}

bool TPlain_Reader::Root(DataFile::TContent *content)
{
    std::string_view version;
    if (!Take('<') || Name() != NAME_ROOT || !Attribute(FileFormat::Version_Attribute, &version))
        return false;
    Skip_Blanks();
    if (!Take('>'))
        return false;
    if (version == "1")
        content->version = 1;
    else if (version == "2")
        content->version = 2;
    else
        return false;

    bool found[NAME_ENTRY] = {};
    double ignored = 0.0;
    TSet_B_Ahead ahead(d_begin, d_p, d_end, content->entries_b.capacity(), d_release);
    const bool read = Children(NAME_ROOT, [&](TName name, bool empty) {
        const bool detail = name >= NAME_DETAIL_FIRST && name <= NAME_DETAIL_LAST;
        if (name >= NAME_ENTRY || found[name] ||
            (empty && name != NAME_SET_A && name != NAME_SET_B && !detail))
            return false;
        found[name] = true;
        switch (name) {
        case NAME_OFFSET_A:
        case NAME_OFFSET_B:
            // A version 1 file's offset elements are not looked at.
            return Number(name, content->version == 1   ? &ignored
                                : name == NAME_OFFSET_A ? &content->offset_a
                                                        : &content->offset_b);
        case NAME_SET_A: return Set(name, empty, &content->entries_a);
        case NAME_SET_B:
            return ahead.Take(&d_p, empty, &content->entries_b) ||
                   Set(name, empty, &content->entries_b);
        case NAME_ALIGN:
        case NAME_MERGE_DISTANCE: return Setting(name, content);
        default:
            return Detail(name, empty, Details::Field(&content->details, name - NAME_DETAIL_FIRST));
        }
    });
    return read && found[NAME_SET_A] && found[NAME_SET_B] &&
           (content->version == 1 || (found[NAME_OFFSET_A] && found[NAME_OFFSET_B]));
}

bool TPlain_Reader::Read(DataFile::TContent *content)
{
    if (d_p < d_end && *d_p == '<' && d_end - d_p > 1 && d_p[1] == '?' && !Declaration())
        return false;
    if (!Skip_Blanks_And_Comments() || !Root(content))
        return false;
    return Skip_Blanks_And_Comments() && d_p == d_end;
}

} // namespace

namespace DataFile {

std::size_t Reserved_Entries(std::size_t size)
{
    // An entry as Quorval writes it takes about 150 bytes: room for two sets of the same size.
    return size / 256;
}

bool Read_Plain(const char *data, std::size_t size, TContent *content,
                const Progress::TReport &progress, bool *stopped, const TRelease &release)
{
    QUORVAL_ASSERT(!progress || stopped != nullptr);
    QUORVAL_ASSERT(content != nullptr);
    QUORVAL_ASSERT(data != nullptr || size == 0);
    TContent read;
    read.entries_a.reserve(Reserved_Entries(size));
    read.entries_b.reserve(Reserved_Entries(size));
    TPlain_Reader reader(data, data + size, progress, release);
    const bool read_all = reader.Read(&read);
    if (stopped != nullptr)
        *stopped = reader.Stopped();
    if (!read_all)
        return false;
    *content = std::move(read);
    return true;
}

} // namespace DataFile
