#include "src/compute/entrytext.h"

#include "core/base/assertion.h"
#include "src/compute/numbertext.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextCodec>
#include <QVarLengthArray>

#include <algorithm>
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
    int start;
    int length;
};

// A field of a line without its quotes and the blanks around it.
struct TField
{
    QStringRef text;
    bool quoted = false;
};

// The fields of a line: the first three, and how many there are.
struct TSplit
{
    std::array<TField, 3> fields;
    int count = 0;
};

// Blanks around fields, and between them where runs of blanks separate: spaces, tabs and the
// no-break and thin spaces that spreadsheets and word processors put into numbers and tables.
bool Is_Blank(QChar c)
{
    const ushort u = c.unicode();
    return u == ' ' || u == '\t' || u == 0x00a0 || u == 0x2007 || u == 0x2009 || u == 0x202f;
}

bool Is_Digit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

bool Is_Minus(QChar c) { return c.unicode() == '-' || c.unicode() == 0x2212; }

// The quote that closes the one at opening, a doubled quote inside standing for one; *closed
// says whether there is one, else the end of the line is returned.
int Closing_Quote(const QStringRef &line, int opening, bool *closed)
{
    *closed = false;
    int j = opening + 1;
    while (j < line.size()) {
        if (line.at(j) == QLatin1Char('"')) {
            if (j + 1 < line.size() && line.at(j + 1) == QLatin1Char('"')) {
                j += 2;
                continue;
            }
            *closed = true;
            break;
        }
        ++j;
    }
    return j;
}

TSplit Split(const QStringRef &line, TSeparator separator)
{
    TSplit split;
    const int n = line.size();
    const QChar split_char = separator == TSeparator::Tab         ? QLatin1Char('\t')
                             : separator == TSeparator::Semicolon ? QLatin1Char(';')
                                                                  : QLatin1Char(',');
    const bool spaces = separator == TSeparator::Spaces;
    // With tab as the separator a tab never counts as a blank around a field.
    const auto blank = [separator](QChar c) {
        return Is_Blank(c) && !(separator == TSeparator::Tab && c.unicode() == '\t');
    };
    const auto ends_field = [&](QChar c) { return spaces ? Is_Blank(c) : c == split_char; };
    const auto store = [&split](const TField &field) {
        if (split.count < 3)
            split.fields[static_cast<std::size_t>(split.count)] = field;
        ++split.count;
    };

    int i = 0;
    for (;;) {
        while (i < n && blank(line.at(i)))
            ++i;
        if (spaces && i == n)
            return split;
        if (i < n && line.at(i) == QLatin1Char('"')) {
            // The closing quote must end the field.
            bool closed = false;
            const int j = Closing_Quote(line, i, &closed);
            int k = j + 1;
            while (closed && !spaces && k < n && blank(line.at(k)))
                ++k;
            if (closed && (k == n || ends_field(line.at(k)))) {
                store({line.mid(i + 1, j - i - 1).trimmed(), true});
                i = k;
                if (i == n)
                    return split;
                ++i;
                continue;
            }
        }
        // An unquoted field, or a quoted one that is not well formed, taken as it stands.
        const int start = i;
        while (i < n && !ends_field(line.at(i)))
            ++i;
        int end = i;
        while (end > start && blank(line.at(end - 1)))
            --end;
        store({line.mid(start, end - start), false});
        if (i == n)
            return split;
        ++i;
    }
}

// A field read as a number under one decimal mark.
struct TNumber
{
    enum TKind { Not_A_Number, Value, Not_Finite, Too_Large, Too_Small };
    TKind kind = Not_A_Number;
    double value = 0.0;
    // Its only separator is the other mark, once, between three digits and up to three before
    // them without a decimal part (1,000 under "."): also a decimal number of the other mark.
    bool two_ways = false;
    // The other mark as a group separator where it cannot be a decimal mark (1,000,000 or
    // 1,000.5 under "."): the text uses it so.
    bool shows_grouping = false;
};

bool Is_Group_Separator(QChar c, QChar other_mark, bool blank_groups)
{
    const ushort u = c.unicode();
    return c == other_mark || u == '\'' || u == 0x2019 ||
           (blank_groups && u != '\t' && Is_Blank(c));
}

// The digits before the decimal mark, with the groups they may stand in.
struct TInteger_Part
{
    QChar group; // the group separator
    int groups;  // how many separators
    int digits;
    bool well_grouped; // groups of three after a first one of one to three, not led by a 0
};

// Reads the integer part from *i on into c_text (digits only), leaving *i after it.
TInteger_Part Read_Integer_Part(const QStringRef &text, int *i, QChar other_mark, bool blank_groups,
                                QVarLengthArray<char, 64> *c_text)
{
    TInteger_Part part{QChar(), 0, 0, true};
    int run = 0;
    const int first_digit = *i;
    for (; *i < text.size(); ++*i) {
        const QChar c = text.at(*i);
        if (Is_Digit(c)) {
            c_text->append(static_cast<char>(c.unicode()));
            ++run;
            ++part.digits;
        } else if (Is_Group_Separator(c, other_mark, blank_groups)) {
            if (part.groups == 0) {
                part.group = c;
                part.well_grouped =
                    run >= 1 && run <= 3 && text.at(first_digit) != QLatin1Char('0');
            } else {
                part.well_grouped = part.well_grouped && c == part.group && run == 3;
            }
            ++part.groups;
            run = 0;
        } else {
            break;
        }
    }
    if (part.groups > 0 && run != 3)
        part.well_grouped = false;
    return part;
}

// Reads the exponent after the "e" at *i into c_text and *exponent (held within +-100000),
// leaving *i after it; false when it has no digits.
bool Read_Exponent(const QStringRef &text, int *i, QVarLengthArray<char, 64> *c_text,
                   long *exponent)
{
    const int n = text.size();
    c_text->append('e');
    ++*i;
    bool negative = false;
    if (*i < n && (text.at(*i) == QLatin1Char('+') || Is_Minus(text.at(*i)))) {
        negative = Is_Minus(text.at(*i));
        if (negative)
            c_text->append('-');
        ++*i;
    }
    const int exponent_start = *i;
    for (; *i < n && Is_Digit(text.at(*i)); ++*i) {
        c_text->append(static_cast<char>(text.at(*i).unicode()));
        *exponent = std::min(*exponent * 10 + (text.at(*i).unicode() - '0'), 100000L);
    }
    if (negative)
        *exponent = -*exponent;
    return *i != exponent_start;
}

// The value of the C text of a number, or whether it is too large or too close to 0 for a double.
void Convert(const QVarLengthArray<char, 64> &c_text, int integer_digits, long exponent,
             TNumber *number)
{
    const char *begin = c_text.constData();
    const std::from_chars_result result =
        std::from_chars(begin, begin + c_text.size(), number->value);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond the doubles: too large or too close to 0, by the place of the first digit that
        // is not 0 (all zeros never get here).
        long leading_zeros = 0;
        for (const char c : c_text) {
            if (c == '-' || c == '.')
                continue;
            if (c != '0')
                break;
            ++leading_zeros;
        }
        number->kind = integer_digits - 1 - leading_zeros + exponent > 0 ? TNumber::Too_Large
                                                                         : TNumber::Too_Small;
    } else {
        QUORVAL_ASSERT(result.ec == std::errc() && result.ptr == begin + c_text.size());
    }
}

// Reads text as a number with mark as its decimal mark: an optional sign, digits in groups of
// three with one kind of group separator (the first group one to three digits, not starting
// with 0) or without, an optional decimal part and, without group separators, an optional
// exponent. With convert false only the kind and the flags are found, not the value.
TNumber Read_Number(const QStringRef &text, QChar mark, bool blank_groups, bool convert)
{
    TNumber number;
    const int n = text.size();
    const QChar other_mark = mark == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
    // The number as C text, digits only where groups were.
    QVarLengthArray<char, 64> c_text;
    int i = 0;
    if (i < n && (text.at(i) == QLatin1Char('+') || Is_Minus(text.at(i)))) {
        if (Is_Minus(text.at(i)))
            c_text.append('-');
        ++i;
    }
    const QChar initial = i < n ? text.at(i).toLower() : QChar();
    if (initial == QLatin1Char('i') || initial == QLatin1Char('n')) {
        const QStringRef word = text.mid(i);
        for (const char *name : {"inf", "infinity", "nan"})
            if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                number.kind = TNumber::Not_Finite;
        return number;
    }

    const TInteger_Part integer = Read_Integer_Part(text, &i, other_mark, blank_groups, &c_text);
    const QChar group = integer.group;
    const int groups = integer.groups;
    const int integer_digits = integer.digits;
    const bool well_grouped = integer.well_grouped;
    bool decimal_part = false;
    int fraction_digits = 0;
    if (i < n && text.at(i) == mark) {
        decimal_part = true;
        c_text.append('.');
        for (++i; i < n && Is_Digit(text.at(i)); ++i) {
            c_text.append(static_cast<char>(text.at(i).unicode()));
            ++fraction_digits;
        }
    }
    if (integer_digits + fraction_digits == 0 || !well_grouped)
        return number;
    long exponent = 0;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        if (groups > 0 || !Read_Exponent(text, &i, &c_text, &exponent))
            return number;
    }
    if (i != n)
        return number;

    number.kind = TNumber::Value;
    number.two_ways = groups == 1 && group == other_mark && !decimal_part;
    number.shows_grouping = group == other_mark && (groups > 1 || decimal_part);
    if (convert)
        Convert(c_text, integer_digits, exponent, &number);
    return number;
}

// Blanks inside a number separate its groups only where they cannot separate fields.
bool Blank_Groups(TSeparator separator, const TField &field)
{
    return field.quoted || separator == TSeparator::Tab || separator == TSeparator::Semicolon;
}

// The decimal mark of a text, and whether the text shows the other mark as a group separator.
struct TMark
{
    QChar mark;
    bool other_grouped = false;
    // The text's own numbers chose the mark (not the locale): the other mark can then only
    // group thousands, so 1.000 beside 0,5 is one thousand.
    bool shown_by_text = false;
};

// What the numbers of a text say about its decimal mark: how many of them only "." or only ","
// reads, and whether the other mark shows as a group separator under each.
struct TSurvey
{
    long point_votes = 0;
    long comma_votes = 0;
    bool comma_grouped = false; // under "."
    bool point_grouped = false; // under ","

    // Adds a field; true when it reads as a number (finite or not) under either mark.
    bool Add(const TField &field, bool blank_groups)
    {
        const TNumber point = Read_Number(field.text, QLatin1Char('.'), blank_groups, false);
        const TNumber comma = Read_Number(field.text, QLatin1Char(','), blank_groups, false);
        const bool by_point = point.kind != TNumber::Not_A_Number;
        const bool by_comma = comma.kind != TNumber::Not_A_Number;
        point_votes += by_point && !by_comma;
        comma_votes += by_comma && !by_point;
        comma_grouped = comma_grouped || (by_point && point.shows_grouping);
        point_grouped = point_grouped || (by_comma && comma.shows_grouping);
        return by_point || by_comma;
    }

    // The mark more numbers are read with alone; the locale's where none tells or as many tell
    // either way.
    TMark Mark(QChar locale_mark) const
    {
        TMark mark;
        mark.mark = point_votes > comma_votes   ? QLatin1Char('.')
                    : comma_votes > point_votes ? QLatin1Char(',')
                                                : locale_mark;
        mark.other_grouped = mark.mark == QLatin1Char(',') ? point_grouped : comma_grouped;
        mark.shown_by_text = point_votes != comma_votes;
        return mark;
    }
};

// A header names the columns: no field of it is a number, whatever the separator.
bool Is_Header(const QStringRef &line)
{
    TSurvey unused;
    for (const TSeparator separator : Separators) {
        const TSplit split = Split(line, separator);
        for (int i = 0; i < std::min(split.count, 3); ++i) {
            const TField &field = split.fields[static_cast<std::size_t>(i)];
            if (unused.Add(field, Blank_Groups(separator, field)))
                return false;
        }
    }
    return true;
}

// How well a separator fits a line: three fields that are numbers, or at least three fields.
struct TFit
{
    int numbers = 0;
    int fields = 0;
    bool operator>(const TFit &other) const
    {
        return numbers != other.numbers ? numbers > other.numbers : fields > other.fields;
    }
};

// Whether a line splits into three numbers; the fields of a line of three go into the survey.
bool Fits(const QStringRef &line, TSeparator separator, bool *three_fields, TSurvey *survey)
{
    const TSplit split = Split(line, separator);
    *three_fields = split.count == 3;
    if (split.count != 3)
        return false;
    bool numbers = true;
    for (const TField &field : split.fields)
        numbers = survey->Add(field, Blank_Groups(separator, field)) && numbers;
    return numbers;
}

QString Quoted(const QStringRef &field)
{
    return QStringLiteral("\"%1\"").arg(NumberText::Excerpt(field));
}

// Reads one field as a number under the text's mark; false with the reason when it is not one.
bool Read_Value(const TField &field, TSeparator separator, const TMark &mark, double *value,
                QString *reason)
{
    const bool blank_groups = Blank_Groups(separator, field);
    const TNumber number = Read_Number(field.text, mark.mark, blank_groups, true);
    const QChar other = mark.mark == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',');
    switch (number.kind) {
    case TNumber::Value:
        if (number.two_ways && !mark.other_grouped && !mark.shown_by_text) {
            *reason = QStringLiteral("%1 is ambiguous: \"%2\" may separate thousands or mark the "
                                     "decimals; write it without thousands separators")
                          .arg(Quoted(field.text), other);
            return false;
        }
        if (std::fabs(number.value) > EntryText::Largest_Value)
            break;
        *value = number.value;
        return true;
    case TNumber::Not_Finite:
        *reason = QStringLiteral("%1 is not a finite number").arg(Quoted(field.text));
        return false;
    case TNumber::Too_Large: break;
    case TNumber::Too_Small:
        *reason = QStringLiteral("%1 is too close to 0 to be stored").arg(Quoted(field.text));
        return false;
    case TNumber::Not_A_Number:
        if (field.text.isEmpty())
            *reason = QStringLiteral("an empty field");
        else if (Read_Number(field.text, other, blank_groups, false).kind != TNumber::Not_A_Number)
            *reason = QStringLiteral("%1 has the decimal mark \"%2\", but the text's numbers have "
                                     "\"%3\"")
                          .arg(Quoted(field.text), other, mark.mark);
        else
            *reason = QStringLiteral("%1 is not a number").arg(Quoted(field.text));
        return false;
    }
    *reason =
        QStringLiteral("%1 is beyond %2 mm").arg(Quoted(field.text), QStringLiteral("\u00b11e12"));
    return false;
}

// Reads one line as an entry; false with the reason when it is not one.
bool Read_Entry(const QStringRef &line, TSeparator separator, const TMark &mark,
                Type::TEntryItem *entry, QString *reason)
{
    const TSplit split = Split(line, separator);
    if (split.count != 3) {
        *reason = QStringLiteral("%1 %2, not 3")
                      .arg(split.count)
                      .arg(split.count == 1 ? QStringLiteral("field") : QStringLiteral("fields"));
        return false;
    }
    double values[3] = {0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < 3; ++i)
        if (!Read_Value(split.fields[i], separator, mark, &values[i], reason))
            return false;
    *entry = Type::TEntryItem{values[0], values[1], values[2]};
    return true;
}

// Progress through Parse's three passes over the text, in characters: finding its lines,
// surveying them for the separator and the decimal mark, reading them.
class TPasses
{
public:
    enum TPass { FIND, SURVEY, READ };

    TPasses(const Progress::TReport &progress, int size) : d_progress(progress), d_size(size) {}

    // Before the item of index i (a line) of pass, at character position; every few thousand
    // items it reports. False when progress says stop.
    bool Go_On(TPass pass, std::size_t i, int position) const
    {
        return i % std::size_t(Progress::Items_Between_Reports) != 0 || i == 0 ||
               Progress::Go_On(d_progress, qint64(pass) * d_size + position, 3 * qint64(d_size));
    }

private:
    const Progress::TReport &d_progress;
    const qint64 d_size;
};

// The lines of text that hold something, each with its number; a leading header is left out.
// False when progress says stop.
// The lines of entries, at most most + 1 of them: one more is enough to refuse the text.
bool Find_Lines(const QString &text, const TPasses &passes, std::size_t most,
                std::vector<TLine> *lines)
{
    const int size = text.size();
    int number = 0;
    bool first = true;
    for (int start = 0;;) {
        if (!passes.Go_On(TPasses::FIND, std::size_t(number), start))
            return false;
        int end = start;
        while (end < size && text.at(end) != QLatin1Char('\n') && text.at(end) != QLatin1Char('\r'))
            ++end;
        ++number;
        const QStringRef line = text.midRef(start, end - start);
        const bool blank =
            std::all_of(line.begin(), line.end(), [](QChar c) { return c.isSpace(); });
        if (!blank) {
            const bool header = first && Is_Header(line);
            first = false;
            if (!header)
                lines->push_back({number, start, end - start});
        }
        if (end == size || lines->size() > most)
            return true;
        start = end + (text.at(end) == QLatin1Char('\r') && end + 1 < size &&
                               text.at(end + 1) == QLatin1Char('\n')
                           ? 2
                           : 1);
    }
}

// The separator: the first that gives every line three numbers; failing that, the one that fits
// most lines, so that the lines it does not fit are the ones named. Then the decimal mark, from
// the numbers that separator gives. False when progress says stop.
bool Find_Separator_And_Mark(const QString &text, const std::vector<TLine> &lines,
                             QChar locale_mark, const TPasses &passes, TSeparator *separator,
                             TMark *mark)
{
    bool three_fields = false;
    for (const TSeparator candidate : Separators) {
        TSurvey survey;
        bool all = true;
        for (std::size_t i = 0; all && i < lines.size(); ++i) {
            if (!passes.Go_On(TPasses::SURVEY, i, lines[i].start))
                return false;
            all = Fits(text.midRef(lines[i].start, lines[i].length), candidate, &three_fields,
                       &survey);
        }
        if (all) {
            *separator = candidate;
            *mark = survey.Mark(locale_mark);
            return true;
        }
    }
    *separator = TSeparator::Tab;
    TFit best_fit;
    TSurvey best_survey;
    for (const TSeparator candidate : Separators) {
        TFit fit;
        TSurvey survey;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!passes.Go_On(TPasses::SURVEY, i, lines[i].start))
                return false;
            fit.numbers += Fits(text.midRef(lines[i].start, lines[i].length), candidate,
                                &three_fields, &survey);
            fit.fields += three_fields;
        }
        if (fit > best_fit) {
            best_fit = fit;
            best_survey = survey;
            *separator = candidate;
        }
    }
    *mark = best_survey.Mark(locale_mark);
    return true;
}

bool Is_Spreadsheet(const QByteArray &bytes)
{
    // .xlsx and .ods are zip archives, .xls an OLE2 compound file.
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06") ||
           bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

bool Has_Lone_Surrogate(const QString &text)
{
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

// Windows-1252: Latin-1 but for 0x80 to 0x9F. The five bytes it leaves undefined stay the C1
// controls of the same number, as web browsers read them.
QString From_Windows_1252(const QByteArray &bytes)
{
    static const ushort high[32] = {0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                    0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
                                    0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                    0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes) {
        const uchar b = static_cast<uchar>(byte);
        *out++ = QChar(b >= 0x80 && b < 0xa0 ? high[b - 0x80] : ushort(b));
    }
    return text;
}

} // namespace

namespace EntryText {

QChar Locale_Decimal_Mark()
{
    return QLocale().decimalPoint() == QLatin1Char(',') ? QLatin1Char(',') : QLatin1Char('.');
}

TParsed Parse(const QString &text, QChar locale_mark, const Progress::TReport &progress,
              int most_entries)
{
    QUORVAL_ASSERT(locale_mark == QLatin1Char('.') || locale_mark == QLatin1Char(','));
    TParsed parsed;
    TParsed stopped;
    stopped.stopped = true;
    const TPasses passes(progress, text.size());

    std::vector<TLine> lines;
    if (!Find_Lines(text, passes, static_cast<std::size_t>(std::max(0, most_entries)), &lines))
        return stopped;
    parsed.data_line_count = static_cast<int>(lines.size());
    parsed.too_many = parsed.data_line_count > most_entries;
    if (lines.empty() || parsed.too_many)
        return parsed;

    TSeparator separator = TSeparator::Tab;
    TMark mark;
    if (!Find_Separator_And_Mark(text, lines, locale_mark, passes, &separator, &mark))
        return stopped;
    parsed.entries.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLine &line = lines[i];
        if (!passes.Go_On(TPasses::READ, i, line.start))
            return stopped;
        const QStringRef line_text = text.midRef(line.start, line.length);
        Type::TEntryItem entry;
        QString reason;
        if (Read_Entry(line_text, separator, mark, &entry, &reason)) {
            parsed.entries.push_back(entry);
            continue;
        }
        if (parsed.bad_line_count++ < Most_Reported_Lines)
            parsed.bad_lines.push_back({line.number, line_text.toString(), reason});
    }
    if (!parsed.Accepted())
        parsed.entries.clear();
    return parsed;
}

QString Entries_Text(const std::vector<Type::TEntryItem> &entries, QChar decimal_mark)
{
    QString text;
    text.reserve(static_cast<int>(std::min<std::size_t>(entries.size(), 1000000) * 40));
    for (const Type::TEntryItem &entry : entries) {
        const double *values[3] = {&entry.nominal, &entry.actual, &entry.uc};
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                text.append(QLatin1Char('\t'));
            text.append(NumberText::Shortest_Fixed(*values[i], 0, decimal_mark));
        }
        text.append(QLatin1Char('\n'));
    }
    return text;
}

bool Decode(const QByteArray &bytes, QString *text, QString *reason)
{
    QUORVAL_ASSERT(text != nullptr);
    QUORVAL_ASSERT(reason != nullptr);
    if (Is_Spreadsheet(bytes)) {
        *reason = QStringLiteral("it is a spreadsheet file, not text; save it as CSV in the "
                                 "spreadsheet program, or copy the cells and paste them");
        return false;
    }
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
    } else if (bytes.contains('\0')) {
        *reason = QStringLiteral("it holds NUL bytes, so it is not a text file");
        return false;
    }
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    QString decoded = QTextCodec::codecForName(codec_name)
                          ->toUnicode(bytes.constData() + skip, bytes.size() - skip, &state);
    const bool odd_utf16 = skip == 2 && bytes.size() % 2 != 0;
    const bool valid = state.invalidChars == 0 && state.remainingChars == 0 && !odd_utf16 &&
                       !Has_Lone_Surrogate(decoded);
    if (!valid && skip == 0) {
        // Not UTF-8 and no byte order mark: text of an older program or spreadsheet.
        decoded = From_Windows_1252(bytes);
    } else if (!valid) {
        *reason = skip == 2 ? QStringLiteral("it is not valid UTF-16 text")
                            : QStringLiteral("it is not valid UTF-8 text");
        return false;
    } else if (decoded.contains(QChar(0))) {
        *reason = QStringLiteral("it holds NUL bytes, so it is not a text file");
        return false;
    }
    *text = decoded;
    return true;
}

bool Read_File(const QString &file_name, TParsed *parsed, QString *reason,
               const Progress::TReport &progress, int most_entries)
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
    *parsed = Parse(text, Locale_Decimal_Mark(), progress, most_entries);
    return true;
}

} // namespace EntryText
