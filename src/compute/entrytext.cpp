#include "src/compute/entrytext.h"

#include "core/base/assertion.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <array>
#include <charconv>
#include <cmath>

namespace {

// The separators in the order they are tried; Spaces stands for runs of blanks.
enum class TSeparator { Tab, Semicolon, Comma, Spaces };
constexpr std::array<TSeparator, 4> Separators = {TSeparator::Tab, TSeparator::Semicolon,
                                                  TSeparator::Comma, TSeparator::Spaces};

struct TLine
{
    int number; // from 1
    QStringRef text;
};

bool Is_Blank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QVector<QStringRef> Fields(const QStringRef &line, TSeparator separator)
{
    QVector<QStringRef> fields;
    if (separator == TSeparator::Spaces) {
        const int n = line.size();
        int i = 0;
        while (i < n) {
            while (i < n && Is_Blank(line.at(i)))
                ++i;
            const int start = i;
            while (i < n && !Is_Blank(line.at(i)))
                ++i;
            if (i > start)
                fields.append(line.mid(start, i - start));
        }
        return fields;
    }
    const QChar split = separator == TSeparator::Tab         ? QLatin1Char('\t')
                        : separator == TSeparator::Semicolon ? QLatin1Char(';')
                                                             : QLatin1Char(',');
    fields = line.split(split);
    for (QStringRef &field : fields)
        field = field.trimmed();
    return fields;
}

int Field_Count(const QStringRef &line, TSeparator separator)
{
    if (separator == TSeparator::Spaces)
        return Fields(line, separator).size();
    const QChar split = separator == TSeparator::Tab         ? QLatin1Char('\t')
                        : separator == TSeparator::Semicolon ? QLatin1Char(';')
                                                             : QLatin1Char(',');
    return line.count(split) + 1;
}

// A number in the C locale; a single decimal comma counts as the decimal point where comma is
// not the separator (spreadsheets of many locales copy it so).
bool Read_Number(const QStringRef &field, bool decimal_comma, double *value)
{
    bool ok = false;
    if (decimal_comma && field.count(QLatin1Char(',')) == 1 && !field.contains(QLatin1Char('.'))) {
        QString copy = field.toString();
        copy.replace(QLatin1Char(','), QLatin1Char('.'));
        *value = copy.toDouble(&ok);
    } else {
        *value = field.toDouble(&ok);
    }
    return ok;
}

// A header names the columns: no field of it is a number, whatever the separator.
bool Is_Header(const QStringRef &line)
{
    for (const TSeparator separator : Separators)
        for (const QStringRef &field : Fields(line, separator)) {
            double value = 0.0;
            if (Read_Number(field, separator != TSeparator::Comma, &value))
                return false;
        }
    return true;
}

QString Quoted(const QStringRef &field) { return QStringLiteral("\"%1\"").arg(field); }

// Reads one line as an entry; false with the reason when it is not one.
bool Read_Entry(const QStringRef &line, TSeparator separator, Type::TEntryItem *entry,
                QString *reason)
{
    const QVector<QStringRef> fields = Fields(line, separator);
    if (fields.size() != 3) {
        *reason = QStringLiteral("%1 %2, not 3")
                      .arg(fields.size())
                      .arg(fields.size() == 1 ? QStringLiteral("field") : QStringLiteral("fields"));
        return false;
    }
    double values[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < 3; ++i) {
        const bool number = Read_Number(fields[i], separator != TSeparator::Comma, &values[i]);
        // A number too large for a double reads as refused, with an infinite value.
        const bool overflow = !number && std::isinf(values[i]);
        if (!number && !overflow) {
            *reason = fields[i].isEmpty()
                          ? QStringLiteral("an empty field")
                          : QStringLiteral("%1 is not a number").arg(Quoted(fields[i]));
            return false;
        }
        if (number && !std::isfinite(values[i])) {
            *reason = QStringLiteral("%1 is not a finite number").arg(Quoted(fields[i]));
            return false;
        }
        if (overflow || std::fabs(values[i]) > EntryText::Largest_Value) {
            *reason = QStringLiteral("%1 is beyond %2 mm")
                          .arg(Quoted(fields[i]), QStringLiteral("\u00b11e12"));
            return false;
        }
    }
    *entry = Type::TEntryItem{values[0], values[1], values[2]};
    return true;
}

void Append_Number(QString *text, double value)
{
    // Shortest text that reads back as the same double, independent of the locale.
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    QUORVAL_ASSERT(result.ec == std::errc());
    text->append(QLatin1String(buffer, static_cast<int>(result.ptr - buffer)));
}

} // namespace

namespace EntryText {

TParsed Parse(const QString &text)
{
    TParsed parsed;

    // The lines that hold something, each with its number.
    std::vector<TLine> lines;
    int number = 0;
    bool first = true;
    for (int start = 0; start <= text.size();) {
        int end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        ++number;
        QStringRef line = text.midRef(start, end - start);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        start = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        const bool header = first && Is_Header(line);
        first = false;
        if (!header)
            lines.push_back({number, line});
    }
    parsed.data_line_count = static_cast<int>(lines.size());
    if (lines.empty())
        return parsed;

    // The first separator that gives every line three fields; failing that, the one that gives
    // the most lines three fields names the lines that are wrong.
    TSeparator separator = TSeparator::Tab;
    std::size_t best = 0;
    for (const TSeparator candidate : Separators) {
        std::size_t fitting = 0;
        for (const TLine &line : lines)
            if (Field_Count(line.text, candidate) == 3)
                ++fitting;
        if (fitting > best) {
            best = fitting;
            separator = candidate;
        }
        if (fitting == lines.size())
            break;
    }

    parsed.entries.reserve(lines.size());
    for (const TLine &line : lines) {
        Type::TEntryItem entry;
        QString reason;
        if (Read_Entry(line.text, separator, &entry, &reason)) {
            parsed.entries.push_back(entry);
            continue;
        }
        if (parsed.bad_line_count++ < Most_Reported_Lines)
            parsed.bad_lines.push_back({line.number, line.text.toString(), reason});
    }
    if (!parsed.Accepted())
        parsed.entries.clear();
    return parsed;
}

QString Entries_Text(const std::vector<Type::TEntryItem> &entries)
{
    QString text;
    text.reserve(static_cast<int>(std::min<std::size_t>(entries.size(), 1000000) * 40));
    for (const Type::TEntryItem &entry : entries) {
        Append_Number(&text, entry.nominal);
        text.append(QLatin1Char('\t'));
        Append_Number(&text, entry.actual);
        text.append(QLatin1Char('\t'));
        Append_Number(&text, entry.uc);
        text.append(QLatin1Char('\n'));
    }
    return text;
}

bool Decode(const QByteArray &bytes, QString *text, QString *reason)
{
    QUORVAL_ASSERT(text != nullptr);
    QUORVAL_ASSERT(reason != nullptr);
    const char *codec_name = "UTF-8";
    int skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        codec_name = "UTF-16LE";
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        codec_name = "UTF-16BE";
        skip = 2;
    }
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString decoded = QTextCodec::codecForName(codec_name)
                                ->toUnicode(bytes.constData() + skip, bytes.size() - skip, &state);
    if (state.invalidChars > 0 || state.remainingChars > 0) {
        *reason = skip == 2 ? QStringLiteral("it is not valid UTF-16 text")
                            : QStringLiteral("it is not valid UTF-8 text");
        return false;
    }
    if (decoded.contains(QChar(0))) {
        *reason = QStringLiteral("it holds NUL bytes, so it is not a text file");
        return false;
    }
    *text = decoded;
    return true;
}

bool Read_File(const QString &file_name, TParsed *parsed, QString *reason)
{
    QUORVAL_ASSERT(parsed != nullptr);
    QUORVAL_ASSERT(reason != nullptr);
    const QFileInfo info(file_name);
    if (!info.exists()) {
        *reason = QStringLiteral("it does not exist");
        return false;
    }
    // A FIFO or a device would block or never end.
    if (!info.isFile()) {
        *reason = QStringLiteral("it is not a regular file");
        return false;
    }
    if (info.size() > Largest_File_Size) {
        *reason = QStringLiteral("it is larger than %1 MiB").arg(Largest_File_Size >> 20);
        return false;
    }
    QFile file(file_name);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    QString text;
    if (!Decode(bytes, &text, reason))
        return false;
    *parsed = Parse(text);
    return true;
}

} // namespace EntryText
