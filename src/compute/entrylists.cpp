#include "src/compute/entrylists.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace EntryLists {

double To_Number(const QString &text)
{
    // Plain decimal text, such as every number a data file holds, is read without Qt's copy of
    // it into a byte string.
    char ascii[64];
    const int size = text.size();
    if (size <= static_cast<int>(sizeof ascii)) {
        int i = 0;
        for (const QChar *p = text.constData(); i < size && p[i].unicode() < 0x80; ++i)
            ascii[i] = static_cast<char>(p[i].unicode());
        double value = 0.0;
        if (i == size && Read_Plain_Number(ascii, ascii + size, &value))
            return value;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "inf", "nan" and overflowing exponents parse, but must never reach the comparison.
    if (!ok || !std::isfinite(value))
        return 0.0;
    return value;
}

bool Read_Plain_Number(const char *begin, const char *end, double *value)
{
    const auto Blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const auto Digits = [](const char *p, const char *stop) {
        while (p < stop && *p >= '0' && *p <= '9')
            ++p;
        return p;
    };
    const char *first = begin;
    const char *last = end;
    while (first < last && Blank(*first))
        ++first;
    while (last > first && Blank(last[-1]))
        --last;
    // [+-] digits [. digits] [e [+-] digits], with a digit before or after the point: text that
    // the standard library reads to the same double as Qt (both round correctly).
    const char *const mantissa = first + (first < last && (*first == '+' || *first == '-'));
    const char *p = Digits(mantissa, last);
    bool any = p > mantissa;
    if (p < last && *p == '.') {
        const char *const decimals = p + 1;
        p = Digits(decimals, last);
        any = any || p > decimals;
    }
    const char *const mantissa_end = p;
    if (any && p < last && (*p == 'e' || *p == 'E')) {
        const char *const exponent = p + 1 + (p + 1 < last && (p[1] == '+' || p[1] == '-'));
        p = Digits(exponent, last);
        any = p > exponent;
    }
    if (!any || p != last)
        return false;
    const std::from_chars_result result = std::from_chars(first + (*first == '+'), last, *value);
    // A zero must be written as one: Qt reads a number too small for a double as 0 too, but
    // calls that an error. Out of range is Qt's to judge.
    const bool zero_written =
        std::all_of(mantissa, mantissa_end, [](char c) { return c == '0' || c == '.'; });
    return result.ec == std::errc() && result.ptr == last && std::isfinite(*value) &&
           (*value != 0.0 || zero_written);
}

double To_Number(const char *begin, const char *end)
{
    double value = 0.0;
    if (Read_Plain_Number(begin, end, &value))
        return value;
    return To_Number(QString::fromLatin1(begin, static_cast<int>(end - begin)));
}

double Without_Offset(const double &stored, const double &offset)
{
    double value = stored - offset;
    if (!std::isfinite(value) || value + offset == stored)
        return value;
    // The difference is rounded once, and the sum again: the list value wanted, where there is
    // one, lies a step or two from it. The sum grows with the value, so one direction is tried.
    const double toward = value + offset < stored ? INFINITY : -INFINITY;
    double step = value;
    for (int i = 0; i < 4; ++i) {
        step = std::nextafter(step, toward);
        if (step + offset == stored)
            return step;
    }
    return value;
}

std::vector<Type::TEntryItem> With_Offset(std::vector<Type::TEntryItem> items, const double &offset)
{
    for (Type::TEntryItem &item : items) {
        item.nominal += offset;
        item.actual += offset;
    }
    // Entries in strictly ascending order (a loaded file's, as a rule) have only one sorted
    // order; equal actual values are left to the sort, which decides their order as before.
    const auto not_ascending = std::adjacent_find(
        items.begin(), items.end(), [](const Type::TEntryItem &a, const Type::TEntryItem &b) {
            return !(a.actual < b.actual);
        });
    if (not_ascending != items.end())
        std::sort(items.begin(), items.end(), TEntryItem_Sort());
    return items;
}

TInputs Inputs_Of(const TLists &lists)
{
    TInputs inputs;
    inputs.entries_a = With_Offset(lists.list_a, lists.offset_a);
    inputs.entries_b = With_Offset(lists.list_b, lists.offset_b);
    inputs.offset_b = lists.offset_b;
    return inputs;
}

} // namespace EntryLists
