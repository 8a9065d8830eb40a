#include "src/compute/numbertext.h"

#include "core/base/assertion.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace NumberText {

const char *const Not_A_Number = "------";

namespace {

// The digits from the first non-zero one on: "0.00030" has two, "-12.5000" six.
int Significant_Digits(const QString &text)
{
    int digits = 0;
    for (const QChar c : text) {
        if (c.isDigit() && (digits > 0 || c != QLatin1Char('0')))
            ++digits;
    }
    return digits;
}

// A double's shortest text as a decimal number: digits without leading zeros, times ten to
// exponent.
struct TDecimal
{
    bool negative = false;
    char digits[24];
    int count = 0;
    int exponent = 0;
};

TDecimal Decimal_Of(const double &value)
{
    char buffer[40];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    QUORVAL_ASSERT(result.ec == std::errc());
    TDecimal decimal;
    const char *p = buffer;
    decimal.negative = *p == '-';
    p += decimal.negative;
    int fraction_digits = 0;
    bool in_fraction = false;
    for (; *p != 'e'; ++p) {
        if (*p == '.') {
            in_fraction = true;
            continue;
        }
        decimal.digits[decimal.count++] = *p;
        fraction_digits += in_fraction;
    }
    // The text is not terminated: the exponent is read up to its end.
    int exponent = 0;
    const char *first = p + 1 + (p[1] == '+');
    std::from_chars(first, result.ptr, exponent);
    decimal.exponent = exponent - fraction_digits;
    return decimal;
}

// The digits of a decimal at a lower exponent: zeros appended.
std::string Digits_At(const TDecimal &decimal, int exponent)
{
    return std::string(decimal.digits, static_cast<std::size_t>(decimal.count)) +
           std::string(static_cast<std::size_t>(decimal.exponent - exponent), '0');
}

// a + b or, when b is not larger, a - b, of equally long digit strings.
std::string Add_Digits(const std::string &a, const std::string &b, bool subtract)
{
    std::string sum(a.size() + 1, '0');
    int carry = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
        int digit = (a[i] - '0') + (subtract ? -(b[i] - '0') : (b[i] - '0')) + carry;
        carry = 0;
        if (digit < 0) {
            digit += 10;
            carry = -1;
        } else if (digit > 9) {
            digit -= 10;
            carry = 1;
        }
        sum[i + 1] = static_cast<char>('0' + digit);
    }
    sum[0] = static_cast<char>('0' + carry);
    return sum;
}

// The same for the common case without strings: mantissas of at most 17 digits whose exponents
// differ by at most 20, so that both and their sum fit 128 bits. False where they do not.
bool Short_Sum(const TDecimal &x, const TDecimal &y, double *sum)
{
    const int exponent = std::min(x.exponent, y.exponent);
    const int shift_x = x.exponent - exponent;
    const int shift_y = y.exponent - exponent;
    if (shift_x > 20 || shift_y > 20)
        return false;
    const auto Value = [](const TDecimal &decimal, int shift) {
        __int128 value = 0;
        for (int i = 0; i < decimal.count; ++i)
            value = value * 10 + (decimal.digits[i] - '0');
        for (int i = 0; i < shift; ++i)
            value *= 10;
        return decimal.negative ? -value : value;
    };
    __int128 total = Value(x, shift_x) + Value(y, shift_y);
    if (total == 0) {
        *sum = 0.0;
        return true;
    }
    // Digits, "e", exponent; the 128-bit value written as two 64-bit halves of 19 digits.
    const bool negative = total < 0;
    if (negative)
        total = -total;
    constexpr std::uint64_t Half = 10000000000000000000ULL;
    const std::uint64_t high = static_cast<std::uint64_t>(total / Half);
    const std::uint64_t low = static_cast<std::uint64_t>(total % Half);
    char text[64];
    char *p = text;
    if (negative)
        *p++ = '-';
    if (high > 0) {
        p = std::to_chars(p, p + 20, high).ptr;
        char digits[20];
        const char *digits_end = std::to_chars(digits, digits + sizeof digits, low).ptr;
        const std::size_t size = static_cast<std::size_t>(digits_end - digits);
        p = std::fill_n(p, size < 19 ? 19 - size : 0, '0');
        p = std::copy(digits, digits + size, p);
    } else {
        p = std::to_chars(p, p + 20, low).ptr;
    }
    *p++ = 'e';
    const char *const end = std::to_chars(p, p + 8, exponent).ptr;
    const std::from_chars_result result = std::from_chars(text, end, *sum);
    return result.ec == std::errc() && std::isfinite(*sum);
}

double Exact_Sum(const double &a, const double &b)
{
    if (!std::isfinite(a) || !std::isfinite(b) || (a == 0.0 && b == 0.0))
        return a + b;
    const TDecimal x = Decimal_Of(a);
    const TDecimal y = Decimal_Of(b);
    double fast = 0.0;
    if (Short_Sum(x, y, &fast))
        return fast;
    const int exponent = std::min(x.exponent, y.exponent);
    std::string dx = Digits_At(x, exponent);
    std::string dy = Digits_At(y, exponent);
    const std::size_t width = std::max(dx.size(), dy.size());
    dx.insert(0, width - dx.size(), '0');
    dy.insert(0, width - dy.size(), '0');
    bool negative = x.negative;
    std::string digits;
    if (x.negative == y.negative) {
        digits = Add_Digits(dx, dy, false);
    } else if (dx >= dy) {
        digits = Add_Digits(dx, dy, true);
    } else {
        digits = Add_Digits(dy, dx, true);
        negative = y.negative;
    }
    if (digits.find_first_not_of('0') == std::string::npos)
        return 0.0;
    const std::string text =
        (negative ? "-" : "") + digits + "e" + std::to_string(exponent);
    double value = 0.0;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return a + b;
    return value;
}

// The shortest fixed-point text of a finite double (at most 309 integer digits or 343
// decimals), with where its decimal point is (null without one) and how many decimals it has.
struct TShortest_Fixed
{
    char text[1100];
    const char *end;
    const char *point;
    long decimals;

    explicit TShortest_Fixed(const double &value)
    {
        const std::to_chars_result result =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
        QUORVAL_ASSERT(result.ec == std::errc());
        end = result.ptr;
        point = static_cast<const char *>(
            std::memchr(text, '.', static_cast<std::size_t>(end - text)));
        decimals = point ? static_cast<long>(end - point - 1) : 0;
    }
    int Length() const { return static_cast<int>(end - text); }
};

} // namespace

double Decimal_Sum(const double &a, const double &b) { return Exact_Sum(a, b); }

double Decimal_Difference(const double &a, const double &b)
{
    // Zeros keep the double rules: -0 - +0 is -0.
    if (a == 0.0 && b == 0.0)
        return a - b;
    return Exact_Sum(a, -b);
}

QString Shortest_Fixed(const double &value, int least_decimals)
{
    QUORVAL_ASSERT(least_decimals >= 0);
    if (!std::isfinite(value))
        return QString::number(value);
    const TShortest_Fixed shortest(value);
    const long decimals = shortest.decimals;
    if (decimals > least_decimals)
        return QString::fromLatin1(shortest.text, shortest.Length());
    // Below 1e9 a double lies closer than 1e-7 to its shortest text, far less than half a unit
    // of the sixth decimal: rounding its exact value gives that text with zeros appended.
    if (std::fabs(value) < 1e9 && least_decimals <= 6) {
        QByteArray text(shortest.text, shortest.Length());
        if (shortest.point == nullptr && least_decimals > 0)
            text += '.';
        text.append(static_cast<int>(least_decimals - decimals), '0');
        return QString::fromLatin1(text);
    }
    // Qt rounds the exact value to least_decimals: the text written so far, which reads back as
    // the same double wherever the shortest digits are no longer than that.
    const QString text = QString::number(value, 'f', least_decimals);
    if (value == 0.0 && std::signbit(value))
        return QLatin1Char('-') + text;
    return text;
}

void Append_Shortest(QByteArray *text, const double &value)
{
    QUORVAL_ASSERT(text != nullptr);
    char buffer[64];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QUORVAL_ASSERT(result.ec == std::errc());
    text->append(buffer, static_cast<int>(result.ptr - buffer));
}

QString Fixed(const double &value, int decimals) { return QString::number(value, 'f', decimals); }

namespace {

// 10^n for n from 0 to 20, exactly.
unsigned __int128 Power_Of_Ten(int n)
{
    static const auto Powers = [] {
        std::array<unsigned __int128, 21> powers{};
        powers[0] = 1;
        for (std::size_t i = 1; i < powers.size(); ++i)
            powers[i] = powers[i - 1] * 10u;
        return powers;
    }();
    return Powers[static_cast<std::size_t>(n)];
}

// The value, finite, not zero, of magnitude below 1e15, rounded to the nearest multiple of
// 10^-decimals, in those units: the exact binary value is m / 2^shift with m below 2^53, so
// m * 10^decimals / 2^shift is divided out in 128-bit integers. False for a tie (Qt rounds it
// away from zero, the standard library to even) and beyond 64 bits, which are left to the
// callers' slower ways.
bool Rounded_Units(const double &value, int decimals, std::uint64_t *units)
{
    // The mantissa and exponent straight from the bits (a subnormal's mantissa has no hidden bit).
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    std::uint64_t mantissa = bits & ((std::uint64_t(1) << 52) - 1);
    if (biased != 0)
        mantissa |= std::uint64_t(1) << 52;
    // The shift is at least 3 below 1e15; the product stays below 2^53 * 10^20 < 2^120.
    const int shift = 1075 - std::max(biased, 1);
    const unsigned __int128 scaled = mantissa * Power_Of_Ten(decimals);
    unsigned __int128 whole = 0;
    if (shift < 121) {
        whole = scaled >> shift;
        const unsigned __int128 rest = scaled - (whole << shift);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (rest == half)
            return false;
        if (rest > half)
            ++whole;
    } // else below half a unit of the last decimal: 0
    if (whole > std::numeric_limits<std::uint64_t>::max())
        return false;
    *units = static_cast<std::uint64_t>(whole);
    return true;
}

// The length of the text of units with decimals decimals: at least one digit before the point.
int Units_Length(std::uint64_t units, int decimals, bool negative)
{
    int digits = 1;
    for (std::uint64_t rest = units / 10; rest != 0; rest /= 10)
        ++digits;
    return negative + std::max(digits, decimals + 1) + (decimals > 0);
}

// Writes that text backwards, its last character just before end.
void Write_Units(char *end, std::uint64_t units, int decimals, bool negative)
{
    for (int i = 0; i < decimals; ++i, units /= 10)
        *--end = static_cast<char>('0' + units % 10);
    if (decimals > 0)
        *--end = '.';
    do {
        *--end = static_cast<char>('0' + units % 10);
        units /= 10;
    } while (units != 0);
    if (negative)
        *--end = '-';
}

} // namespace

namespace {

void Append_Latin1(QByteArray *text, const char *characters, int length)
{
    text->append(characters, length);
}
void Append_Latin1(QString *text, const char *characters, int length)
{
    text->append(QLatin1String(characters, length));
}
void Append_Blanks(QByteArray *text, int count) { text->append(count, ' '); }
void Append_Blanks(QString *text, int count)
{
    text->resize(text->size() + count, QLatin1Char(' '));
}

// Whether the fast way takes the value: zeros (Qt drops the sign of -0), ties and anything
// unusual are left to Qt itself.
bool Fast_Units(const double &value, int decimals, std::uint64_t *units)
{
    QUORVAL_ASSERT(decimals >= 0 && decimals <= 20);
    return std::isfinite(value) && value != 0.0 && std::fabs(value) < 1e15 &&
           Rounded_Units(value, decimals, units);
}

// Appends the field to text, a QByteArray or a QString.
template <typename TText>
void Append_Fixed_Field(TText *text, const double &value, int width, int decimals)
{
    QUORVAL_ASSERT(text != nullptr);
    char buffer[48];
    char *const end = Write_Fixed(buffer, value, 0, decimals);
    if (end == nullptr) {
        const QByteArray field =
            QStringLiteral("%1").arg(value, width, 'f', decimals, QLatin1Char(' ')).toLatin1();
        Append_Latin1(text, field.constData(), field.size());
        return;
    }
    const int length = static_cast<int>(end - buffer);
    if (length < width)
        Append_Blanks(text, width - length);
    Append_Latin1(text, buffer, length);
}

} // namespace

char *Write_Fixed(char *out, const double &value, int width, int decimals)
{
    std::uint64_t units = 0;
    if (!Fast_Units(value, decimals, &units))
        return nullptr;
    const bool negative = value < 0.0;
    const int length = Units_Length(units, decimals, negative);
    for (int blanks = width - length; blanks > 0; --blanks)
        *out++ = ' ';
    Write_Units(out + length, units, decimals, negative);
    return out + length;
}

void Append_Fixed(QByteArray *text, const double &value, int width, int decimals)
{
    Append_Fixed_Field(text, value, width, decimals);
}

void Append_Fixed(QString *text, const double &value, int width, int decimals)
{
    Append_Fixed_Field(text, value, width, decimals);
}

int Readable_Decimals(const double &value, int significant)
{
    QUORVAL_ASSERT(significant >= 1);
    const double size = std::fabs(value);
    // Values from 10^(significant - 1 - Least_Decimals) on show enough digits at the least.
    if (!std::isfinite(size) || size == 0.0 ||
        size >= std::pow(10.0, significant - 1 - Least_Decimals))
        return Least_Decimals;
    // The logarithm may be off by one next to a power of ten: the text decides.
    int decimals =
        std::max(Least_Decimals, significant - 1 - static_cast<int>(std::floor(std::log10(size))));
    while (decimals > Least_Decimals &&
           Significant_Digits(Fixed(value, decimals - 1)) >= significant)
        --decimals;
    while (Significant_Digits(Fixed(value, decimals)) < significant)
        ++decimals;
    return decimals;
}

QString Readable(const double &value, int significant)
{
    if (!std::isfinite(value))
        return QLatin1String(Not_A_Number);
    // + 0.0 turns -0 into 0; other values keep their sign, which their digits now show.
    return Fixed(value + 0.0, Readable_Decimals(value, significant));
}

QString Shortest_Fixed(const double &value, int least_decimals, QChar decimal_mark)
{
    QString text = Shortest_Fixed(value, least_decimals);
    if (decimal_mark != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimal_mark);
    return text;
}

bool Read_File_Number(const char *begin, const char *end, double *value)
{
    const auto Blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const auto Digits = [](const char *p, const char *stop) {
        while (p < stop && *p >= '0' && *p <= '9')
            ++p;
        return p;
    };
    while (begin < end && Blank(*begin))
        ++begin;
    while (end > begin && Blank(end[-1]))
        --end;
    const bool negative = begin < end && *begin == '-';
    const char *const mantissa = begin + (begin < end && (*begin == '+' || negative));
    const char *const point = Digits(mantissa, end);
    const char *p = point;
    if (p < end && *p == '.')
        p = Digits(p + 1, end);
    if (p - mantissa == (point < p ? 1 : 0)) // no digit at all
        return false;
    const char *const mantissa_end = p;
    long long exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char *const sign = p + 1;
        const char *const digits = sign + (sign < end && (*sign == '+' || *sign == '-'));
        p = Digits(digits, end);
        if (p == digits)
            return false;
        // Saturated: the exponent only decides overflow from underflow below.
        for (const char *d = digits; d < p; ++d)
            exponent = std::min(exponent * 10 + (*d - '0'), 1000000000LL);
        if (*sign == '-')
            exponent = -exponent;
    }
    if (p != end)
        return false;
    double read = 0.0;
    // At most 15 digits without an exponent are an integer below 2^53 over a power of ten up
    // to 10^15, both exact doubles: their quotient is rounded once, to the nearest double, as
    // from_chars rounds the text.
    if (p == mantissa_end && mantissa_end - mantissa - (point < mantissa_end) <= 15) {
        const long decimals =
            point < mantissa_end ? static_cast<long>(mantissa_end - point - 1) : 0;
        static const auto Powers = [] {
            std::array<double, 16> powers{};
            powers[0] = 1.0;
            for (std::size_t i = 1; i < powers.size(); ++i)
                powers[i] = powers[i - 1] * 10.0;
            return powers;
        }();
        std::int64_t digits = 0;
        for (const char *d = mantissa; d < mantissa_end; ++d)
            if (*d != '.')
                digits = digits * 10 + (*d - '0');
        read = static_cast<double>(digits) / Powers[static_cast<std::size_t>(decimals)];
        *value = negative ? -read : read;
        return true;
    }
    const std::from_chars_result result = std::from_chars(mantissa, end, read);
    if (result.ptr != end)
        return false;
    if (result.ec == std::errc::result_out_of_range) {
        // Out of range either way: the decimal exponent of the first significant digit tells
        // which. A value too small for a double is a zero, too large for one is no number.
        const char *first = mantissa;
        while (first < mantissa_end && (*first == '0' || *first == '.'))
            ++first;
        const long long position = first < point ? point - first - 1 : -(first - point);
        if (position + exponent >= 0)
            return false;
        read = 0.0;
    } else if (result.ec != std::errc() || !std::isfinite(read)) {
        return false;
    }
    *value = negative ? -read : read;
    return true;
}

int Carried_Decimals(const double &value, int least, int most)
{
    QUORVAL_ASSERT(least >= 0 && least <= most && most <= 17);
    if (!std::isfinite(value))
        return least;
    // value carries k decimals exactly when the double nearest to some integer N / 10^k is value.
    // Below 1e15 the product value * 10^k lies within a quarter of N, and the quotient is
    // rounded once: the test is exact, with no text made.
    static const double Powers[18] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                      1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
    for (int k = least; k <= most; ++k) {
        const double scaled = value * Powers[k];
        if (std::fabs(scaled) >= 1e15)
            break;
        if (std::nearbyint(scaled) / Powers[k] == value)
            return k;
    }
    return static_cast<int>(std::clamp<long>(TShortest_Fixed(value).decimals, least, most));
}

QString At_Resolution(const double &value, int decimals)
{
    if (!std::isfinite(value))
        return QLatin1String(Not_A_Number);
    QString text = Fixed(value, decimals);
    if (text.startsWith(QLatin1Char('-')) && std::all_of(text.begin() + 1, text.end(), [](QChar c) {
            return c == QLatin1Char('0') || c == QLatin1Char('.');
        }))
        text.remove(0, 1);
    return text;
}

int Telling_Decimals(const double &a, const double &b)
{
    constexpr int Most = 17;
    int decimals = std::max(Carried_Decimals(a, Least_Decimals, Most),
                            Carried_Decimals(b, Least_Decimals, Most));
    while (a != b && decimals < Most && Fixed(a, decimals) == Fixed(b, decimals))
        ++decimals;
    return decimals;
}

bool Read_Typed(const QString &input, double *value, const QLocale &locale)
{
    QUORVAL_ASSERT(value != nullptr);
    const QString text = input.trimmed();
    const QChar comma = QLatin1Char(',');
    const QChar point =
        locale.decimalPoint() == comma && text.contains(comma) ? comma : QLatin1Char('.');
    // The locale's thousands separator, unless it is the decimal mark the text uses.
    const QChar group = locale.groupSeparator() == point ? QChar() : locale.groupSeparator();
    // The text in the C locale: sign, digits, point and exponent, the groups checked and dropped.
    QByteArray plain;
    plain.reserve(text.size());
    int digits_in_group = 0; // since the last separator or the start of the integer part
    int integer_digits = 0;
    bool grouped = false;
    bool first_group_zero = false;
    bool in_integer = true;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (in_integer && !group.isNull() && c == group) {
            // Groups of three after a first one of one to three digits.
            if (grouped ? digits_in_group != 3
                        : digits_in_group < 1 || digits_in_group > 3 || first_group_zero)
                return false;
            grouped = true;
            digits_in_group = 0;
            continue;
        }
        if (c.unicode() >= 0x80)
            return false;
        const char ascii = static_cast<char>(c.unicode());
        if (in_integer && ascii >= '0' && ascii <= '9') {
            if (integer_digits == 0)
                first_group_zero = ascii == '0';
            ++integer_digits;
            ++digits_in_group;
        } else if (in_integer && (ascii == '+' || ascii == '-') && integer_digits == 0 &&
                   !grouped) {
        } else if (c == point || ascii == 'e' || ascii == 'E' || ascii == '.' || ascii == ',') {
            if (in_integer && grouped && digits_in_group != 3)
                return false;
            in_integer = false;
            if (c == point) {
                plain += '.';
                continue;
            }
            if (ascii == '.' || ascii == ',') // a second mark, or a separator after the point
                return false;
        } else if (in_integer) {
            return false;
        }
        plain += ascii;
    }
    if (in_integer && grouped && digits_in_group != 3)
        return false;
    // The strict reader of plain numbers decides the rest: at most one point, digits, exponent.
    return Read_File_Number(plain.constData(), plain.constData() + plain.size(), value);
}

QString Excerpt(const QStringRef &text, int most)
{
    int cut = 0;
    for (int characters = 0; cut < text.size() && characters < most; ++characters)
        cut += text.at(cut).isHighSurrogate() && cut + 1 < text.size() &&
                       text.at(cut + 1).isLowSurrogate()
                   ? 2
                   : 1;
    if (cut == text.size())
        return text.toString();
    const int characters =
        text.size() - static_cast<int>(std::count_if(text.begin(), text.end(),
                                                     [](QChar c) { return c.isLowSurrogate(); }));
    return text.left(cut) + QStringLiteral("\u2026 (%1 characters)").arg(characters);
}

} // namespace NumberText
