#include "core/base/xmlfile.h"

#include "core/base/assertion.h"
#include "core/base/safewrite.h"

#include <QBuffer>
#include <QDomImplementation>
#include <QDomNamedNodeMap>
#include <QDomText>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextStream>
#include <QXmlInputSource>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Parse_Error_File =
    QStringLiteral("ERR:  Reference file XML parse error at line %1 column %2: %3");
const QString Parse_Error_Data =
    QStringLiteral("ERR:  Reference data XML parse error at line %1 column %2: %3");

// Largest data file read. The parser needs many times the file's size in memory, and the decoded
// text of a larger file would not fit a string.
constexpr qint64 Max_File_Size = qint64(1) << 30;
constexpr qint64 Read_Chunk = qint64(1) << 20;
const QString Too_Large = QStringLiteral("the file is larger than 1 GiB");

// The Qt DOM parser recurses once per element level and runs out of stack somewhere beyond
// 20,000 levels (and gets slow well before); data files need a handful.
constexpr int Max_Element_Depth = 256;

TXmlFileException Data_Error(const QString &message)
{
    return TXmlFileException(message, TXmlFileException::DATA_ERROR);
}

TXmlFileException File_Error(const QString &message)
{
    return TXmlFileException(message, TXmlFileException::FILE_ERROR);
}

TXmlFileException Cannot_Read(const QString &file_name, const QString &reason)
{
    return File_Error(
        QStringLiteral("ERR:  Cannot open file: '%1'.  Reason: %2").arg(file_name, reason));
}

// The input source reads a device in pieces of this size.
constexpr int Parser_Chunk = 1024;

// The text exactly as the DOM parser sees it: the same input source, fed the same way (in
// pieces from a device), so that byte order marks and encoding declarations are honoured
// identically. Used only to look for content the parser must not be given.
QString Decode_As_Parser(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QString text;
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QXmlInputSource source(&buffer);
    while (!buffer.atEnd()) {
        source.fetchData();
        text += source.data();
    }
    QT_WARNING_POP
    return text;
}

// The encoding declared in the text decoded so far, as the parser's input source reads it: empty
// when there is none; *more when the declaration may still be incomplete.
QString Declared_Encoding(const QString &text, bool *more)
{
    *more = false;
    if (!text.startsWith(QStringLiteral("<?xml").left(text.size())))
        return QString();
    const int end = text.indexOf(QLatin1Char('>'));
    if (end < 0) {
        *more = text.size() < 255;
        return QString();
    }
    int i = text.indexOf(QLatin1String("encoding"));
    if (i < 0 || i >= end)
        return QString();
    while (i < end && text.at(i) != QLatin1Char('\'') && text.at(i) != QLatin1Char('"'))
        ++i;
    QString name;
    for (++i; i < end && text.at(i) != QLatin1Char('\'') && text.at(i) != QLatin1Char('"'); ++i)
        name += text.at(i);
    return name;
}

// The codec that the input source chooses by the first bytes of a document: a byte order mark,
// or "<" in UTF-16 or UTF-32; UTF-8 otherwise.
int Initial_Mib(const QByteArray &chunk)
{
    const uchar *b = reinterpret_cast<const uchar *>(chunk.constData());
    if (chunk.size() >= 4) {
        if ((b[0] == 0 && b[1] == 0 && b[2] == 0xfe && b[3] == 0xff) ||
            (b[0] == 0xff && b[1] == 0xfe && b[2] == 0 && b[3] == 0))
            return 1017;
        if (b[0] == 0x3c && b[1] == 0 && b[2] == 0 && b[3] == 0)
            return 1019;
        if (b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 0x3c)
            return 1018;
    }
    if (chunk.size() >= 2) {
        if ((b[0] == 0xfe && b[1] == 0xff) || (b[0] == 0xff && b[1] == 0xfe))
            return 1015;
        if (b[0] == 0x3c && b[1] == 0)
            return 1014;
        if (b[0] == 0 && b[1] == 0x3c)
            return 1013;
    }
    return 106; // UTF-8, which the input source compares a declared codec with
}

// The parser's decoding again, but with every byte sequence that is not valid in the encoding
// turned into U+0000 rather than U+FFFD: the input source chooses the codec by the first bytes and
// switches to a declared encoding that Qt knows. *codec_name is the codec used at the end. With
// declaration_only, decoding stops once the declaration is settled (the codec is all that is
// wanted).
QString Decode_Invalid_As_Null(const QByteArray &data, QByteArray *codec_name,
                               bool declaration_only = false)
{
    const QTextCodec::ConversionFlags flags = QTextCodec::ConvertInvalidToNull;
    std::unique_ptr<QTextDecoder> decoder;
    QByteArray declaration_bytes;
    QString declaration_text;
    bool looking = true;
    QString text;
    for (int start = 0; start < data.size() && (looking || !declaration_only);
         start += Parser_Chunk) {
        const QByteArray chunk = data.mid(start, Parser_Chunk);
        const int mib = decoder ? 106 : Initial_Mib(chunk);
        if (!decoder) {
            QTextCodec *codec = QTextCodec::codecForMib(mib);
            if (codec == nullptr)
                return QString(); // nothing to compare with: no finding
            *codec_name = codec->name();
            decoder.reset(codec->makeDecoder(flags));
        }
        QString input = decoder->toUnicode(chunk);
        if (looking) {
            declaration_text += input;
            const QString name = Declared_Encoding(declaration_text, &looking);
            QTextCodec *codec =
                name.isEmpty() ? nullptr : QTextCodec::codecForName(name.toLatin1());
            if (codec != nullptr && codec->mibEnum() != mib) {
                *codec_name = codec->name();
                decoder.reset(codec->makeDecoder(flags));
                decoder->toUnicode(declaration_bytes);
                input = decoder->toUnicode(chunk);
            }
            declaration_bytes += chunk;
        }
        text += input;
    }
    return text;
}

// Whether the document ends inside a character of its encoding: half a UTF-16 unit, or the
// start of a UTF-8 sequence. The parser drops such bytes silently. *codec_name names the codec.
bool Ends_Inside_Character(const QByteArray &data, QByteArray *codec_name)
{
    Decode_Invalid_As_Null(data, codec_name, true);
    QTextCodec *codec = QTextCodec::codecForName(*codec_name);
    if (codec == nullptr)
        return false;
    const int mib = codec->mibEnum();
    // Fixed-width units count from the first byte.
    if (mib == 1013 || mib == 1014 || mib == 1015)
        return data.size() % 2 != 0;
    if (mib == 1017 || mib == 1018 || mib == 1019)
        return data.size() % 4 != 0;
    // Others resynchronise: the last few bytes tell.
    const std::unique_ptr<QTextDecoder> decoder(codec->makeDecoder());
    decoder->toUnicode(data.right(8));
    return decoder->needsMoreData();
}

// Position in the parser's text of the first byte sequence that is not valid in the document's
// encoding, or -1. The parser would take it silently as U+FFFD, and so a damaged number as 0.
int Find_Invalid_Encoding(const QByteArray &data, const QString &text, QByteArray *codec_name)
{
    const int replacement = text.indexOf(QChar(QChar::ReplacementCharacter));
    if (replacement < 0)
        return -1;
    const QString strict = Decode_Invalid_As_Null(data, codec_name);
    const int n = std::min(text.size(), strict.size());
    for (int i = replacement; i < n; ++i)
        if (text.at(i) == QChar(QChar::ReplacementCharacter) && strict.at(i).isNull())
            return i;
    return -1;
}

bool Is_Space(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// With Unicode case folding, for text that is not ASCII.
bool Starts_With_Folded(const QString &text, int i, QLatin1String what)
{
    return text.midRef(i, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// Called at every tag: ASCII characters, which fold only to ASCII, are compared here.
inline bool Starts_With(const QString &text, int i, QLatin1String what)
{
    if (text.size() - i < what.size())
        return false;
    const QChar *p = text.constData() + i;
    for (int k = 0; k < what.size(); ++k) {
        const ushort c = p[k].unicode();
        const ushort w = static_cast<uchar>(what.data()[k]);
        if (c >= 0x80 || w >= 0x80)
            return Starts_With_Folded(text, i, what);
        if (c == w)
            continue;
        // Letters differing only in case.
        const ushort lower = c | 0x20;
        if (lower != (w | 0x20) || lower < 'a' || lower > 'z')
            return false;
    }
    return true;
}

// Index just past the next occurrence of terminator at or after i (the end when there is none:
// the parser then reports the document as unfinished).
int Skip_Past(const QString &text, int i, QLatin1String terminator)
{
    const int at = text.indexOf(terminator, i);
    return at < 0 ? text.size() : at + terminator.size();
}

// i is at a quote character: index just past the matching one.
int Skip_Quoted(const QString &text, int i)
{
    const int at = text.indexOf(text.at(i), i + 1);
    return at < 0 ? text.size() : at + 1;
}

bool Is_Entity_Declaration(const QString &text, int i)
{
    return Starts_With(text, i, QLatin1String("<!ENTITY"));
}

// i is just past "<!DOCTYPE". Returns the index just past the declaration; *entity is set to
// the position of an entity declaration in it, if any.
int Scan_Doctype(const QString &text, int i, int *entity)
{
    const int n = text.size();
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\''))
            i = Skip_Quoted(text, i);
        else if (c == QLatin1Char('>'))
            return i + 1;
        else if (c == QLatin1Char('['))
            break;
        else if (Is_Entity_Declaration(text, i)) {
            *entity = i;
            return n;
        } else
            ++i;
    }
    ++i;
    // The internal subset: markup declarations, comments, processing instructions, parameter
    // entity references and blanks, up to "]".
    while (i < n) {
        if (Is_Entity_Declaration(text, i)) {
            *entity = i;
            return n;
        }
        const QChar c = text.at(i);
        if (c == QLatin1Char(']'))
            return Skip_Past(text, i + 1, QLatin1String(">"));
        if (Starts_With(text, i, QLatin1String("<!--"))) {
            i = Skip_Past(text, i + 4, QLatin1String("-->"));
        } else if (Starts_With(text, i, QLatin1String("<?"))) {
            i = Skip_Past(text, i + 2, QLatin1String("?>"));
        } else if (Starts_With(text, i, QLatin1String("<!"))) {
            // A declaration up to its ">", which may also appear inside quoted literals.
            for (i += 2; i < n && text.at(i) != QLatin1Char('>');) {
                const QChar d = text.at(i);
                if (d == QLatin1Char('"') || d == QLatin1Char('\''))
                    i = Skip_Quoted(text, i);
                else if (Is_Entity_Declaration(text, i)) {
                    *entity = i;
                    return n;
                } else
                    ++i;
            }
            ++i;
        } else {
            ++i;
        }
    }
    return n;
}

bool Is_Xml_Char(uint code)
{
    return code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
           (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
}

// Position of the first character that XML does not allow (control characters, unpaired
// surrogates, U+FFFE, U+FFFF), or -1.
int Find_Invalid_Char(const QString &text)
{
    const int n = text.size();
    const QChar *p = text.constData();
    for (int i = 0; i < n; ++i) {
        const ushort c = p[i].unicode();
        if (c >= 0x20 && c < 0xD800)
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (!Is_Xml_Char(c) || QChar::isSurrogate(c))
            return i;
    }
    return -1;
}

// Position of the first character reference ("&#65;", "&#x41;") in [from, to) that names a
// character XML does not allow, or one beyond U+FFFF (*beyond set), which the parser would
// silently cut to 16 bits; -1 when there is none.
int Find_Invalid_Reference(const QString &text, int from, int to, bool *beyond)
{
    const QChar *p = text.constData();
    for (int i = from; i + 1 < to; ++i) {
        if (p[i] != QLatin1Char('&') || p[i + 1] != QLatin1Char('#'))
            continue;
        int j = i + 2;
        int base = 10;
        if (j < to && text.at(j) == QLatin1Char('x')) {
            base = 16;
            ++j;
        }
        uint code = 0;
        bool any = false;
        for (; j < to; ++j) {
            const ushort u = text.at(j).unicode();
            int digit = -1;
            if (u >= '0' && u <= '9')
                digit = u - '0';
            else if (base == 16 && u >= 'a' && u <= 'f')
                digit = u - 'a' + 10;
            else if (base == 16 && u >= 'A' && u <= 'F')
                digit = u - 'A' + 10;
            if (digit < 0)
                break;
            any = true;
            code = code > 0x10FFFF ? code : code * static_cast<uint>(base) + digit;
        }
        // A malformed reference is the parser's to report.
        if (any && j < to && text.at(j) == QLatin1Char(';')) {
            *beyond = code > 0xFFFF;
            if (*beyond || !Is_Xml_Char(code))
                return i;
        }
    }
    return -1;
}

// Position of an XML declaration that does not follow the XML grammar, or -1. The parser takes
// any text for its version and encoding, and the DOM writes them back in quotes that such text
// can break, giving a file that cannot be read again.
int Find_Malformed_Declaration(const QString &text)
{
    const int start = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    if (!text.midRef(start, 5).startsWith(QLatin1String("<?xml")) || start + 5 >= text.size() ||
        !Is_Space(text.at(start + 5)))
        return -1;
    static const QRegularExpression declaration(
        QStringLiteral("^<\\?xml[ \t\r\n]+version[ \t\r\n]*=[ \t\r\n]*(\"1\\.[0-9]+\"|'1\\.[0-9]+')"
                       "([ \t\r\n]+encoding[ \t\r\n]*=[ \t\r\n]*"
                       "(\"[A-Za-z][A-Za-z0-9._-]*\"|'[A-Za-z][A-Za-z0-9._-]*'))?"
                       "([ \t\r\n]+standalone[ \t\r\n]*=[ \t\r\n]*(\"(yes|no)\"|'(yes|no)'))?"
                       "[ \t\r\n]*\\?>"));
    const int end = text.indexOf(QLatin1String("?>"), start);
    if (end < 0)
        return -1; // unfinished: the parser reports it
    if (declaration.match(text.midRef(start, end + 2 - start)).hasMatch())
        return -1;
    return start;
}

// The end of a start tag (or a stray "<") at start: its ">", which may also appear in quoted
// values, or the end of the text.
int Start_Tag_End(const QString &text, int start)
{
    int i = start + 1;
    while (i < text.size() && text.at(i) != QLatin1Char('>')) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\''))
            i = Skip_Quoted(text, i);
        else
            ++i;
    }
    return i;
}

// The markup and character references of Find_Unsafe_Content.
bool Find_Unsafe_Markup(const QString &text, int *offset, QString *what)
{
    auto Found = [offset, what](int at, const QString &description) {
        *offset = at;
        *what = description;
        return true;
    };
    const QString no_entities = QStringLiteral("entity declarations are not supported");
    bool beyond = false;
    auto bad_reference = [&beyond] {
        return beyond ? QStringLiteral("character references beyond U+FFFF are not supported")
                      : QStringLiteral("reference to a character not allowed in XML");
    };
    const int n = text.size();
    int depth = 0;
    int i = 0;
    while (i < n) {
        const int markup = text.indexOf(QLatin1Char('<'), i);
        const int content_end = markup < 0 ? n : markup;
        const int reference = Find_Invalid_Reference(text, i, content_end, &beyond);
        if (reference >= 0)
            return Found(reference, bad_reference());
        i = content_end;
        if (i >= n)
            break;
        if (Starts_With(text, i, QLatin1String("<!--"))) {
            i = Skip_Past(text, i + 4, QLatin1String("-->"));
        } else if (Starts_With(text, i, QLatin1String("<![CDATA["))) {
            i = Skip_Past(text, i + 9, QLatin1String("]]>"));
        } else if (Starts_With(text, i, QLatin1String("<?"))) {
            i = Skip_Past(text, i + 2, QLatin1String("?>"));
        } else if (Starts_With(text, i, QLatin1String("<!DOCTYPE"))) {
            int entity = -1;
            i = Scan_Doctype(text, i + 9, &entity);
            if (entity >= 0)
                return Found(entity, no_entities);
        } else if (Is_Entity_Declaration(text, i)) {
            return Found(i, no_entities);
        } else if (Starts_With(text, i, QLatin1String("</"))) {
            // An end tag with nothing open is an error at which the parser stops.
            depth = depth > 0 ? depth - 1 : 0;
            i = Skip_Past(text, i + 2, QLatin1String(">"));
        } else {
            const int start = i;
            i = Start_Tag_End(text, start);
            const int reference = Find_Invalid_Reference(text, start, i < n ? i : n, &beyond);
            if (reference >= 0)
                return Found(reference, bad_reference());
            const bool empty_element = i < n && text.at(i - 1) == QLatin1Char('/');
            if (!empty_element && ++depth > Max_Element_Depth)
                return Found(start, QStringLiteral("elements nested more than %1 levels deep")
                                        .arg(Max_Element_Depth));
            ++i;
        }
    }
    return false;
}

// Finds what must not reach the parser: characters that XML does not allow (the DOM, with the
// invalid-data policy in force, crashes on them instead of reporting them), an entity
// declaration (the expansion of a few references can build gigabytes) or elements nested deeper
// than Max_Element_Depth. Counts the nesting as the parser would for any part that it accepts;
// after the first fault of the document the count may be off, but the parser stops there.
bool Find_Unsafe_Content(const QString &text, int *offset, QString *what)
{
    const int invalid = Find_Invalid_Char(text);
    if (invalid >= 0) {
        *offset = invalid;
        *what = QStringLiteral("character U+%1 is not allowed in XML")
                    .arg(QString::number(text.at(invalid).unicode(), 16)
                             .toUpper()
                             .rightJustified(4, QLatin1Char('0')));
        return true;
    }
    const int bad_declaration = Find_Malformed_Declaration(text);
    if (bad_declaration >= 0) {
        *offset = bad_declaration;
        *what = QStringLiteral("malformed XML declaration");
        return true;
    }
    return Find_Unsafe_Markup(text, offset, what);
}

// Line and column (both from 1) of a position in the decoded text.
void Line_And_Column(const QString &text, int offset, int *line, int *column)
{
    *line = 1;
    int line_start = 0;
    for (int i = 0; i < offset; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') ||
            (c == QLatin1Char('\r') && (i + 1 >= text.size() || text.at(i + 1) != '\n'))) {
            ++*line;
            line_start = i + 1;
        }
    }
    *column = offset - line_start + 1;
}

// A data file opened for reading. Anything but a regular file is refused before it is opened, and
// again once it is open in case it was swapped meanwhile: a FIFO would wait for a writer and a
// device such as /dev/zero never ends. So is a file beyond largest bytes. *st becomes the open
// file's status.
int Open_Data_File(const QString &file_name, qint64 largest, struct stat *st)
{
    if (!QFileInfo(file_name).isReadable())
        throw File_Error(QStringLiteral("ERR:  Cannot open file '%1' for reading.").arg(file_name));
    auto Check_Kind = [&](const struct stat &status) {
        if (S_ISDIR(status.st_mode))
            throw Cannot_Read(file_name,
                              QStringLiteral("file to open is a directory")); // as QFile says
        if (!S_ISREG(status.st_mode))
            throw Cannot_Read(file_name, QStringLiteral("not a regular file"));
        if (status.st_size > largest)
            throw Cannot_Read(file_name, Too_Large);
    };
    const QByteArray path = QFile::encodeName(file_name);
    if (::stat(path.constData(), st) != 0)
        throw Cannot_Read(file_name, qt_error_string(errno));
    Check_Kind(*st);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw Cannot_Read(file_name, qt_error_string(errno));
    if (::fstat(fd, st) != 0) {
        const int error = errno;
        ::close(fd);
        throw Cannot_Read(file_name, qt_error_string(error));
    }
    try {
        Check_Kind(*st);
    } catch (...) {
        ::close(fd);
        throw;
    }
    return fd;
}

// The whole of a data file, also one that grows past Max_File_Size while it is read.
QByteArray Read_Data_File(const QString &file_name)
{
    struct stat st;
    const int fd = Open_Data_File(file_name, Max_File_Size, &st);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Cannot_Read(file_name, file.errorString());
    }

    QByteArray data;
    // Room for the whole file and the end-of-file read, so that it is never moved.
    data.reserve(static_cast<int>(std::min(st.st_size + Read_Chunk, Max_File_Size + 1)));
    for (;;) {
        const qint64 size = data.size();
        const qint64 piece = std::min(Read_Chunk, Max_File_Size + 1 - size);
        data.resize(static_cast<int>(size + piece));
        const qint64 read = file.read(data.data() + size, piece);
        if (read < 0)
            throw Cannot_Read(file_name, file.errorString());
        data.resize(static_cast<int>(size + read));
        if (data.size() > Max_File_Size)
            throw Cannot_Read(file_name, Too_Large);
        if (read == 0)
            return data;
    }
}

// Past an XML declaration at the start of data that follows the grammar and declares UTF-8 or no
// encoding (version="1.0" encoding="utf-8", either quotes); nullptr for any other.
const uchar *Past_Plain_Declaration(const uchar *p, const uchar *end)
{
    const auto Blanks = [&p, end] {
        const uchar *const start = p;
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r'))
            ++p;
        return p > start;
    };
    const auto Take = [&p, end](const char *word) {
        const std::size_t length = std::strlen(word);
        if (static_cast<std::size_t>(end - p) < length || std::memcmp(p, word, length) != 0)
            return false;
        p += length;
        return true;
    };
    // name = "value" (or 'value'): the value's bytes.
    const auto Attribute = [&](const char *name, QByteArray *value) {
        if (!Take(name))
            return false;
        Blanks();
        if (!Take("="))
            return false;
        Blanks();
        if (p == end || (*p != '"' && *p != '\''))
            return false;
        const uchar quote = *p++;
        const uchar *const start = p;
        while (p < end && *p != quote && *p != '?' && *p != '>')
            ++p;
        if (p == end || *p != quote)
            return false;
        *value = QByteArray(reinterpret_cast<const char *>(start), static_cast<int>(p - start));
        ++p;
        return true;
    };
    QByteArray value;
    if (!Take("<?xml") || !Blanks() || !Attribute("version", &value) || value != "1.0")
        return nullptr;
    const bool blank = Blanks();
    if (blank && p < end && *p == 'e') {
        if (!Attribute("encoding", &value) || value.toLower() != "utf-8")
            return nullptr;
        Blanks();
    }
    return Take("?>") ? p : nullptr;
}

// Whether data is a document of plain UTF-8 in which the checks of Checked_Text find nothing,
// decided in one pass over the bytes without decoding them: every character valid UTF-8 that XML
// allows, an XML declaration (if any) of UTF-8, no character reference, no markup declaration
// ("<!" other than a comment: document types, entities, CDATA), and elements nested no deeper
// than the limit, counted as Find_Unsafe_Content counts them. Such a document decodes alike in
// every parser. false for everything else, which the decoded text decides as before.
// Where the scan of Is_Plain_Safe_Utf8 is in the markup.
struct TPlain_Scan
{
    enum TState { CONTENT, COMMENT, INSTRUCTION, END_TAG, START_TAG, QUOTED };
    TState state = CONTENT;
    uchar quote = 0;
    int depth = 0;

    // Takes the ASCII byte at p, previous being the byte before it: returns how many bytes it
    // took, or 0 for markup left to the parser and for nesting deeper than Max_Element_Depth.
    int Step(const uchar *p, const uchar *end, uchar previous)
    {
        const auto At = [p, end](const char *what, std::ptrdiff_t length) {
            return end - p >= length && std::memcmp(p, what, static_cast<std::size_t>(length)) == 0;
        };
        const uchar c = *p;
        switch (state) {
        case CONTENT:
            if (c != '<')
                return 1;
            if (At("<!--", 4))
                return Enter(COMMENT, 4);
            if (At("<!", 2))
                return 0;
            if (At("<?", 2))
                return Enter(INSTRUCTION, 2);
            if (At("</", 2)) {
                depth = std::max(depth - 1, 0);
                return Enter(END_TAG, 2);
            }
            return Enter(START_TAG, 1);
        case COMMENT: return At("-->", 3) ? Enter(CONTENT, 3) : 1;
        case INSTRUCTION: return At("?>", 2) ? Enter(CONTENT, 2) : 1;
        case END_TAG: return c == '>' ? Enter(CONTENT, 1) : 1;
        case START_TAG:
            if (c == '"' || c == '\'') {
                quote = c;
                return Enter(QUOTED, 1);
            }
            if (c != '>')
                return 1;
            if (previous != '/' && ++depth > Max_Element_Depth)
                return 0;
            return Enter(CONTENT, 1);
        case QUOTED: return c == quote ? Enter(START_TAG, 1) : 1;
        }
        return 1;
    }

    int Enter(TState next, int taken)
    {
        state = next;
        return taken;
    }
};

bool Is_Plain_Safe_Utf8(const QByteArray &data)
{
    const uchar *p = reinterpret_cast<const uchar *>(data.constData());
    const uchar *const end = p + data.size();
    // The parser's input source takes an encoding from anything that begins with "<?xml".
    if (end - p >= 5 && std::memcmp(p, "<?xml", 5) == 0) {
        p = Past_Plain_Declaration(p, end);
        if (p == nullptr)
            return false;
    }
    TPlain_Scan scan;
    uchar previous = 0;
    while (p < end) {
        const uchar c = *p;
        if (c >= 0x80) {
            const int length = XmlText::Plain_Utf8_Length(p, end);
            if (length == 0)
                return false;
            p += length;
            previous = c;
            continue;
        }
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
            (c == '&' && end - p >= 2 && p[1] == '#'))
            return false;
        const int taken = scan.Step(p, end, previous);
        if (taken == 0)
            return false;
        // Markup opened or closed takes more than one byte and leaves the byte before as it was.
        if (taken == 1)
            previous = c;
        p += taken;
    }
    // A start tag that the document ends in counts as well.
    return !((scan.state == TPlain_Scan::START_TAG || scan.state == TPlain_Scan::QUOTED) &&
             scan.depth + 1 > Max_Element_Depth);
}

// Switches the process-wide invalid-data policy for one scope.
class TPolicy_Guard
{
public:
    explicit TPolicy_Guard(QDomImplementation::InvalidDataPolicy policy)
        : d_previous(QDomImplementation::invalidDataPolicy())
    {
        QDomImplementation::setInvalidDataPolicy(policy);
    }
    ~TPolicy_Guard() { QDomImplementation::setInvalidDataPolicy(d_previous); }
    TPolicy_Guard(const TPolicy_Guard &) = delete;
    TPolicy_Guard &operator=(const TPolicy_Guard &) = delete;

private:
    QDomImplementation::InvalidDataPolicy d_previous;
};

bool Is_Valid_Text(const QString &value) { return Find_Invalid_Char(value) < 0; }

const QString Missing_Node =
    QStringLiteral("ERR:  Node '%1' is missing from node '%2' and not optional.");

// The look-ups shared by the element and the node overloads, which name the node differently in
// their messages: name() gives that name, asked only for a message.
template <typename TName> QString Text_Of(const QDomNode &node, bool optional, TName name)
{
    if (node.isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot read data from a NULL node"));
    const QDomNode child = node.firstChild();
    if (child.isText() || child.isCDATASection())
        return child.nodeValue();
    if (optional)
        return QString();
    throw Data_Error(QStringLiteral("ERR:  Node Text for '%1' is not optional.").arg(name()));
}

template <typename TName>
QDomElement Child_Element(const QDomNode &node, const QString &child_name, bool optional,
                          TName name)
{
    if (node.isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot get child from a NULL node"));
    const QDomElement child = node.firstChildElement(child_name);
    if (!child.isNull() || optional)
        return child;
    throw Data_Error(Missing_Node.arg(child_name, name()));
}

template <typename TName> QDomNode First_Child(const QDomNode &parent, bool optional, TName name)
{
    const QDomNode child = parent.firstChild();
    if (!child.isNull() || optional)
        return child;
    throw Data_Error(
        QStringLiteral("ERR:  Parent '%1' does not have nodes and they are not optional.")
            .arg(name()));
}

} // namespace

namespace XmlText {

int Plain_Utf8_Length(const uchar *p, const uchar *end)
{
    const auto Continuation = [](uchar c) { return (c & 0xC0) == 0x80; };
    const std::ptrdiff_t left = end - p;
    uint code = 0;
    int length = 0;
    if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        length = 2;
        code = p[0] & 0x1Fu;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        length = 3;
        code = p[0] & 0x0Fu;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        length = 4;
        code = p[0] & 0x07u;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if (!Continuation(p[i]))
            return 0;
        code = (code << 6) | (p[i] & 0x3Fu);
    }
    const uint smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
        code == 0xFEFF || (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE)
        return 0;
    return length;
}

} // namespace XmlText

TXmlFileException::TXmlFileException(const QString &message, TExceptionType type)
    : d_message(message), d_type(type)
{
}

TXmlFile::TXmlFile()
{
    QDomImplementation::setInvalidDataPolicy(QDomImplementation::ReturnNullNode);
}

TXmlFile::~TXmlFile() = default;

QString TXmlFile::Checked_Text(const QByteArray &data, bool from_file)
{
    const QString &message = from_file ? Parse_Error_File : Parse_Error_Data;
    QString text = Decode_As_Parser(data);
    int offset = 0;
    QString what;
    const bool unsafe = Find_Unsafe_Content(text, &offset, &what);
    // Whichever comes first is reported.
    QByteArray codec_name;
    int invalid = Find_Invalid_Encoding(data, text, &codec_name);
    if (invalid >= 0 && (!unsafe || invalid < offset)) {
        offset = invalid;
        what = QStringLiteral("byte sequence not valid in the encoding %1")
                   .arg(QString::fromLatin1(codec_name));
    }
    if (!unsafe && invalid < 0 && Ends_Inside_Character(data, &codec_name)) {
        offset = text.size();
        what = QStringLiteral("byte sequence not valid in the encoding %1")
                   .arg(QString::fromLatin1(codec_name));
        invalid = offset;
    }
    if (unsafe || invalid >= 0) {
        int line = 0;
        int column = 0;
        Line_And_Column(text, offset, &line, &column);
        throw Data_Error(message.arg(QString::number(line), QString::number(column), what));
    }
    return text;
}

bool TXmlFile::Check_Bytes(const QByteArray &data, bool from_file, QString *text)
{
    QUORVAL_ASSERT(text != nullptr);
    if (Is_Plain_Safe_Utf8(data))
        return true;
    *text = Checked_Text(data, from_file);
    return false;
}

void TXmlFile::Parse(const QByteArray &data, bool from_file, bool namespace_processing)
{
    {
        QString text; // let go before the parse
        Check_Bytes(data, from_file, &text);
    }
    QString what;
    int line = 0;
    int column = 0;
    bool parsed = false;
    {
        // Under the null-node policy the DOM builder crashes on characters it refuses, among
        // them valid ones beyond U+FFFF; what the policy guards against was refused above.
        const TPolicy_Guard guard(QDomImplementation::AcceptInvalidChars);
        parsed = d_document.setContent(data, namespace_processing, &what, &line, &column);
    }
    if (!parsed)
        throw Data_Error((from_file ? Parse_Error_File : Parse_Error_Data)
                             .arg(QString::number(line), QString::number(column), what));
}

void TXmlFile::Check_Root(const QString &identification, int *version)
{
    d_root_node = d_document.documentElement();
    const QString tag = d_root_node.tagName();
    if (tag != identification)
        throw Data_Error(QStringLiteral("ERR:  Identification '%1' does not match '%2'")
                             .arg(identification, tag));

    d_doctype_name = d_document.doctype().name();
    d_identification = identification;

    if (version != nullptr) {
        if (!d_root_node.hasAttribute(QStringLiteral("File_Version")))
            throw Data_Error(QStringLiteral("ERR:  The 'File_Version' attribute is missing."));
        // Anything that is not an integer reads as 0.
        *version = d_root_node.attribute(QStringLiteral("File_Version")).toInt(nullptr, 10);
    }
}

QByteArray TXmlFile::Read_File(const QString &file_name) { return Read_Data_File(file_name); }

TFileBytes::TFileBytes(const QString &file_name)
    : d_file_name(file_name), d_map(nullptr), d_data(""), d_size(0)
{
    struct stat st;
    // Mapped, a file is limited by the address space alone.
    const int fd = Open_Data_File(file_name, std::numeric_limits<qint64>::max(), &st);
    d_size = static_cast<std::size_t>(st.st_size);
    if (d_size > 0) {
        void *map = ::mmap(nullptr, d_size, PROT_READ, MAP_PRIVATE, fd, 0);
        const int error = errno;
        ::close(fd);
        // No address space left for it is a lack of memory like any other.
        if (map == MAP_FAILED && error == ENOMEM)
            throw std::bad_alloc();
        if (map == MAP_FAILED)
            throw Cannot_Read(file_name, qt_error_string(error));
        // Read from start to end, once.
        ::madvise(map, d_size, MADV_SEQUENTIAL);
        d_map = map;
        d_data = static_cast<const char *>(map);
    } else {
        ::close(fd);
    }
}

TFileBytes::~TFileBytes()
{
    if (d_map != nullptr)
        ::munmap(d_map, d_size);
}

void TFileBytes::Release(std::size_t end) const { Release(0, end); }

void TFileBytes::Release(std::size_t begin, std::size_t end) const
{
    // The pages stay in the file's cache; the mapping reads them again if they are touched.
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t first = (begin + page - 1) / page * page;
    const std::size_t last = std::min(end, d_size) / page * page;
    if (d_map != nullptr && last > first)
        ::madvise(static_cast<char *>(d_map) + first, last - first, MADV_DONTNEED);
}

QByteArray TFileBytes::Copy() const
{
    if (d_size > static_cast<std::size_t>(Max_File_Size))
        throw Cannot_Read(d_file_name, Too_Large);
    return QByteArray(d_data, static_cast<int>(d_size));
}

void TXmlFile::Open(const QString &identification, int *version, bool namespace_processing)
{
    Open_File_Data(Read_File(d_file_name), identification, version, namespace_processing);
}

void TXmlFile::Open_File_Data(const QByteArray &data, const QString &identification, int *version,
                              bool namespace_processing)
{
    Parse(data, true, namespace_processing);
    Check_Root(identification, version);
}

void TXmlFile::Open_Data(const QByteArray &data, const QString &identification, int *version,
                         bool namespace_processing)
{
    Parse(data, false, namespace_processing);
    Check_Root(identification, version);
}

QString TXmlFile::Read_Text_Node(const QDomElement *node, bool optional) const
{
    QUORVAL_ASSERT(node != nullptr);
    return Text_Of(*node, optional, [node] { return node->tagName(); });
}

QString TXmlFile::Read_Text_Node(const QDomNode *node, bool optional) const
{
    QUORVAL_ASSERT(node != nullptr);
    return Text_Of(*node, optional, [node] { return node->localName(); });
}

QString TXmlFile::Read_Attribute(const QDomElement *node, const QString &name, bool optional) const
{
    QUORVAL_ASSERT(node != nullptr);
    if (node->isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot read attribute from a NULL node"));
    if (node->hasAttribute(name))
        return node->attribute(name);
    if (optional)
        return QString();
    throw Data_Error(
        QStringLiteral("ERR:  Node attribute '%1' missing and not optional.").arg(name));
}

QString TXmlFile::Read_Attribute(const QDomNode *node, const QString &name, bool optional) const
{
    QUORVAL_ASSERT(node != nullptr);
    if (node->isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot read attribute from a NULL node"));
    if (node->hasAttributes()) {
        const QDomNode item = node->attributes().namedItem(name);
        if (!item.isNull())
            return item.nodeValue();
    }
    if (optional)
        return QString();
    throw Data_Error(
        QStringLiteral("ERR:  Node attribute '%1' missing and not optional.").arg(name));
}

QDomElement TXmlFile::Get_Node(const QDomElement *node, const QString &name, bool optional) const
{
    QUORVAL_ASSERT(node != nullptr);
    return Child_Element(*node, name, optional, [node] { return node->tagName(); });
}

QDomElement TXmlFile::Get_Node(const QDomNode *node, const QString &name, bool optional) const
{
    QUORVAL_ASSERT(node != nullptr);
    return Child_Element(*node, name, optional, [node] { return node->nodeName(); });
}

QDomElement TXmlFile::Get_Sibling_Node(const QDomElement *current_node, const QString &name,
                                       bool optional) const
{
    QUORVAL_ASSERT(current_node != nullptr);
    if (current_node->isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot get sibling from a NULL node"));
    const QDomElement sibling = current_node->nextSiblingElement(name);
    if (!sibling.isNull() || optional)
        return sibling;
    throw Data_Error(Missing_Node.arg(name, current_node->tagName()));
}

QDomNode TXmlFile::Get_First_Node(const QDomElement *parent, bool optional) const
{
    QUORVAL_ASSERT(parent != nullptr);
    return First_Child(*parent, optional, [parent] { return parent->tagName(); });
}

QDomNode TXmlFile::Get_First_Node(const QDomNode *parent, bool optional) const
{
    QUORVAL_ASSERT(parent != nullptr);
    return First_Child(*parent, optional, [parent] { return parent->localName(); });
}

QDomNode TXmlFile::Get_Sibling_Node(const QDomNode *current_node, bool optional) const
{
    QUORVAL_ASSERT(current_node != nullptr);
    const QDomNode sibling = current_node->nextSibling();
    if (!sibling.isNull() || optional)
        return sibling;
    throw Data_Error(
        QStringLiteral("ERR:  Node '%1' does not have siblings and they are not optional.")
            .arg(current_node->localName()));
}

void TXmlFile::Clear() { d_document.clear(); }

void TXmlFile::Reset(const QString &identification, int version)
{
    Clear();
    d_document.appendChild(d_document.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"utf-8\"")));
    d_root_node = d_document.createElement(identification);
    d_root_node.setAttribute(QStringLiteral("File_Version"), QStringLiteral("%1").arg(version));
    d_document.appendChild(d_root_node);
}

void TXmlFile::Reset(const QString &doctype_name, const QString &identification, int version)
{
    d_document = QDomDocument(doctype_name);
    d_root_node = d_document.createElement(identification);
    d_root_node.setAttribute(QStringLiteral("File_Version"), QStringLiteral("%1").arg(version));
    d_document.appendChild(d_root_node);
}

QDomElement TXmlFile::Create_Node(QDomElement *parent, const QString &name)
{
    QUORVAL_ASSERT(parent != nullptr);
    if (parent->isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot create node from a NULL node"));
    if (name.isEmpty())
        throw Data_Error(QStringLiteral("ERR:  Cannot create an unnamed node"));
    // An invalid XML name gives a null element, which is returned without appending it.
    QDomElement element = d_document.createElement(name);
    if (!element.isNull())
        parent->appendChild(element);
    return element;
}

void TXmlFile::Write_Text_Node(QDomElement *node, const QString &value)
{
    QUORVAL_ASSERT(node != nullptr);
    if (node->isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot append data to a NULL node"));
    // Checked here rather than by the DOM's invalid-data policy, which also refuses valid
    // characters beyond U+FFFF.
    QDomText text;
    if (Is_Valid_Text(value)) {
        const TPolicy_Guard guard(QDomImplementation::AcceptInvalidChars);
        text = d_document.createTextNode(value);
    }
    if (text.isNull())
        throw Data_Error(QStringLiteral("ERR:  Cannot write node '%1' with data '%2'")
                             .arg(node->tagName(), value));
    node->appendChild(text);
}

void TXmlFile::Write_Text_Node(QDomElement *node, const double &value, int precision)
{
    Write_Text_Node(node, QStringLiteral("%1").arg(value, 0, 'f', precision));
}

void TXmlFile::Write_Text_Node(QDomElement *node, int value)
{
    Write_Text_Node(node, QStringLiteral("%1").arg(value));
}

void TXmlFile::Write_Attribute(QDomElement *node, const QString &name, const QString &value)
{
    QUORVAL_ASSERT(node != nullptr);
    if (name.isEmpty())
        throw Data_Error(QStringLiteral("ERR:  Cannot create an unnamed attribute"));
    if (node->isNull())
        return;
    // The DOM writes attribute names and values as they are: refuse what would make the
    // written file unreadable.
    if (d_document.createAttribute(name).isNull() || !Is_Valid_Text(value))
        throw Data_Error(
            QStringLiteral("ERR:  Cannot write attribute '%1' with data '%2'").arg(name, value));
    node->setAttribute(name, value);
}

void TXmlFile::Write_Attribute(QDomElement *node, const QString &name, const double &value,
                               int precision)
{
    Write_Attribute(node, name, QStringLiteral("%1").arg(value, 0, 'f', precision));
}

void TXmlFile::Write_Attribute(QDomElement *node, const QString &name, int value)
{
    Write_Attribute(node, name, QStringLiteral("%1").arg(value));
}

QByteArray TXmlFile::Serialise(bool compact) const
{
    if (d_document.isNull())
        return QByteArray();
    QString text;
    QTextStream stream(&text);
    // Sets the stream's codec from the XML declaration (UTF-8 without one).
    d_document.save(stream, compact ? 0 : 4, QDomNode::EncodingFromDocument);
    stream.flush();
    QTextCodec *codec = stream.codec();
    if (codec == nullptr)
        codec = QTextCodec::codecForName("UTF-8");
    if (compact) {
        // Line breaks go as characters, before encoding, so that no multi-byte encoding is cut.
        text.remove(QLatin1Char('\n'));
        text.remove(QLatin1Char('\r'));
    }
    const std::unique_ptr<QTextEncoder> encoder(codec->makeEncoder(QTextCodec::IgnoreHeader));
    return encoder->fromUnicode(text);
}

void TXmlFile::Write_File(bool compact, bool *in_place, QByteArray *written)
{
    const QFileInfo info(d_file_name);
    if (info.exists() && !info.isWritable())
        throw File_Error(
            QStringLiteral("ERR:  Cannot open file '%1' for writing").arg(d_file_name));

    // The whole text is made first and then replaces the file in one step, so a failure at any
    // point leaves an existing file as it was.
    QString reason;
    const QByteArray data = Serialise(compact);
    if (!SafeWrite::Write_File(d_file_name, data, &reason, in_place))
        throw Data_Error(
            QStringLiteral("ERR:  Cannot write file '%1'.  Reason: %2").arg(d_file_name, reason));
    if (written != nullptr)
        *written = data;
}

void TXmlFile::Write_Data(QByteArray *data, bool compact)
{
    QUORVAL_ASSERT(data != nullptr);
    data->clear();
    data->append(Serialise(compact));
}
