// The paste and import parser: a refused text gives no entries, an accepted one entries within
// the limit that Copy writes and Paste reads back bit for bit (byte 1: mark, file or paste).

#include "src/compute/entrytext.h"

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

bool Within_Limit(double value) { return std::fabs(value) <= EntryText::Largest_Value; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 1000000)
        return 0;
    const QChar mark = (data[0] & 1) ? QLatin1Char(',') : QLatin1Char('.');
    const char *rest = reinterpret_cast<const char *>(data + 1);
    QString text;
    if (data[0] & 2) {
        // Clipboard text may hold anything, lone surrogates and NULs included.
        text.resize(static_cast<int>(size - 1) / 2);
        std::memcpy(text.data(), rest, static_cast<std::size_t>(text.size()) * 2);
    } else {
        QString reason;
        if (!EntryText::Decode(QByteArray(rest, static_cast<int>(size - 1)), &text, &reason)) {
            Require(!reason.isEmpty(), "bytes refused without a reason");
            return 0;
        }
    }

    const EntryText::TParsed parsed = EntryText::Parse(text, mark);
    if (!parsed.Accepted()) {
        Require(parsed.entries.empty(), "a refused text handed back entries");
        Require(parsed.bad_line_count > 0 || parsed.data_line_count == 0,
                "a text refused without a bad line");
        return 0;
    }
    for (const Type::TEntryItem &entry : parsed.entries)
        Require(Within_Limit(entry.nominal) && Within_Limit(entry.actual) && Within_Limit(entry.uc),
                "an accepted value beyond the limit or not a number");

    const EntryText::TParsed again =
        EntryText::Parse(EntryText::Entries_Text(parsed.entries, mark), mark);
    Require(again.Accepted() && again.entries.size() == parsed.entries.size() &&
                std::memcmp(again.entries.data(), parsed.entries.data(),
                            parsed.entries.size() * sizeof(Type::TEntryItem)) == 0,
            "copied entries pasted as other numbers");
    return 0;
}
