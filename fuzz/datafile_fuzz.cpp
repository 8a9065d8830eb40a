// Feeds arbitrary bytes to the data-file reader. Whatever it accepts must hold only finite numbers
// and must survive a save and a second load unchanged: writing that again gives the same bytes.

#include "src/compute/datafile.h"
#include "src/compute/details.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "datafile_fuzz: %s\n", what);
        std::abort();
    }
}

void Require_Finite(const std::vector<Type::TEntryItem> &items)
{
    for (const Type::TEntryItem &item : items)
        Require(std::isfinite(item.nominal) && std::isfinite(item.actual)
                    && std::isfinite(item.uc),
                "an entry read as a number that is not finite");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1000000)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));

    DataFile::TContent content;
    QString error;
    if (!DataFile::Load_Data(bytes, &content, &error)) {
        Require(error.startsWith(QStringLiteral("ERR  Load_Data: ERR:  ")),
                "a failed load without its message");
        Require(content.entries_a.empty() && content.entries_b.empty(),
                "a failed load handed back entries");
        return 0;
    }
    Require(content.version == 1 || content.version == 2, "a version other than 1 or 2 loaded");
    Require(std::isfinite(content.offset_a) && std::isfinite(content.offset_b),
            "an offset that is not finite");
    Require_Finite(content.entries_a);
    Require_Finite(content.entries_b);
    Require(std::isfinite(DataFile::Relative_Offset_B(content)), "relative offset not finite");
    Require(Details::First_Fault(content.details).isEmpty(), "a refused text was loaded");

    QByteArray first;
    Require(DataFile::Save_Data(content, &first, &error), "saving what was loaded failed");
    DataFile::TContent again;
    Require(DataFile::Load_Data(first, &again, &error), "the saved document does not load");
    Require(again.version == 2, "the saved document is not version 2");
    Require(again.entries_a.size() == content.entries_a.size()
                && again.entries_b.size() == content.entries_b.size(),
            "entries lost in a round trip");
    Require(again.details == content.details, "texts changed in a round trip");
    QByteArray second;
    Require(DataFile::Save_Data(again, &second, &error), "saving the reloaded content failed");
    Require(first == second, "save, load, save changed the bytes");
    return 0;
}
