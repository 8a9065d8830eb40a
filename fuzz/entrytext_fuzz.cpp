// Feeds arbitrary input to the paste and import parser. The first byte chooses the locale's
// decimal mark and whether the rest is a file's bytes (decoded as Import does) or pasted UTF-16
// text. A refused text gives no entries at all; an accepted one gives finite entries within the
// limit that Copy writes and Paste reads back bit for bit.

#include "src/compute/entrytext.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "entrytext_fuzz: %s\n", what);
        std::abort();
    }
}

bool Within_Limit(double value)
{
    return std::isfinite(value) && std::fabs(value) <= EntryText::Largest_Value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 1000000)
        return 0;
    const QChar mark = (data[0] & 1) ? QLatin1Char(',') : QLatin1Char('.');
    const bool pasted = (data[0] & 2) != 0;
    const char *rest = reinterpret_cast<const char *>(data + 1);
    const int rest_size = static_cast<int>(size - 1);

    QString text;
    if (pasted) {
        // Clipboard text may hold anything, lone surrogates and NULs included.
        text.resize(rest_size / 2);
        std::memcpy(text.data(), rest, static_cast<std::size_t>(text.size()) * 2);
    } else {
        QString reason;
        if (!EntryText::Decode(QByteArray(rest, rest_size), &text, &reason)) {
            Require(!reason.isEmpty(), "bytes refused without a reason");
            return 0;
        }
    }

    const EntryText::TParsed parsed = EntryText::Parse(text, mark);
    if (!parsed.Accepted()) {
        Require(parsed.entries.empty(), "a refused text handed back entries");
        Require(parsed.bad_line_count > 0 || parsed.data_line_count == 0,
                "a text refused without a bad line");
        Require(static_cast<int>(parsed.bad_lines.size()) ==
                    std::min(parsed.bad_line_count, EntryText::Most_Reported_Lines),
                "bad lines miscounted");
        return 0;
    }
    Require(static_cast<int>(parsed.entries.size()) == parsed.data_line_count,
            "an accepted text lost lines");
    for (const Type::TEntryItem &entry : parsed.entries)
        Require(Within_Limit(entry.nominal) && Within_Limit(entry.actual) && Within_Limit(entry.uc),
                "an accepted value beyond the limit or not finite");

    const QString copied = EntryText::Entries_Text(parsed.entries, mark);
    const EntryText::TParsed again = EntryText::Parse(copied, mark);
    Require(again.Accepted(), "copied entries refused by paste");
    Require(again.entries.size() == parsed.entries.size() &&
                std::memcmp(again.entries.data(), parsed.entries.data(),
                            parsed.entries.size() * sizeof(Type::TEntryItem)) == 0,
            "copied entries pasted as other numbers");
    return 0;
}
