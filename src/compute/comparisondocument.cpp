#include "src/compute/comparisondocument.h"

#include "core/base/assertion.h"
#include "src/compute/numbertext.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

namespace {

// What an entry takes in its set, in the comparison and in its graphs, with room to spare.
constexpr std::size_t Bytes_Per_Entry = 400;

// Called through a volatile pointer, so that the compiler keeps the probe's allocation.
void *(*volatile Allocate)(std::size_t) = std::malloc;

bool Same_Bits(const double &a, const double &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool Same_Entries(const TComparisonDocument::TShared_Entries &a,
                  const TComparisonDocument::TShared_Entries &b)
{
    return a == b || (a->size() == b->size() &&
                      (a->empty() || std::memcmp(a->data(), b->data(), a->size() * sizeof(*a->data())) == 0));
}

bool Same_Options(const Type::TOptions &a, const Type::TOptions &b)
{
    return a.remove_deviations == b.remove_deviations &&
           Same_Bits(a.merge_distance, b.merge_distance);
}

// Entries in strictly ascending order (a loaded file's, as a rule) have only one sorted order;
// equal actual values are left to the sort, which decides their order as it always did.
bool Is_Sorted(const TComparisonDocument::TEntries &entries)
{
    return std::adjacent_find(entries.begin(), entries.end(),
                              [](const Type::TEntryItem &a, const Type::TEntryItem &b) {
                                  return !(a.actual < b.actual);
                              }) == entries.end();
}

// out[i] = convert(i) for every entry of out, on every core where there are many: moving a set of
// millions to a new offset takes four exact decimal operations per entry. A worker's
// std::bad_alloc (of the decimal arithmetic's rare long numbers) is thrown here.
template <typename TConvert>
void Convert_All(TComparisonDocument::TEntries *out, const TConvert &convert)
{
    const std::size_t count = out->size();
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = count < 100000 ? 1 : std::min<std::size_t>(cores, 16);
    std::vector<std::exception_ptr> failures(workers);
    const auto Work = [&](std::size_t worker) {
        try {
            for (std::size_t i = count * worker / workers; i < count * (worker + 1) / workers; ++i)
                (*out)[i] = convert(i);
        } catch (...) {
            failures[worker] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t worker = 1; worker < workers; ++worker)
        threads.emplace_back(Work, worker);
    Work(0);
    for (std::thread &thread : threads)
        thread.join();
    for (const std::exception_ptr &failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

} // namespace

bool TComparisonDocument::Room_For(std::size_t entries)
{
    if (entries == 0)
        return true;
    if (entries > Max_Entries || entries > std::size_t(-1) / Bytes_Per_Entry)
        return false;
    void *probe = Allocate(entries * Bytes_Per_Entry);
    std::free(probe);
    return probe != nullptr;
}

TComparisonDocument::TComparisonDocument(QObject *parent) : QObject(parent)
{
    d_state.entries[SET_A] = std::make_shared<TEntries>();
    d_state.entries[SET_B] = std::make_shared<TEntries>();
    d_saved = d_state;
}

Type::TEntryItem TComparisonDocument::Shown_Entry(int set, std::size_t row) const
{
    Type::TEntryItem item = Entries(set)[row];
    if (set == SET_B && d_state.offset_b != 0.0) {
        item.nominal = NumberText::Decimal_Difference(item.nominal, d_state.offset_b);
        item.actual = NumberText::Decimal_Difference(item.actual, d_state.offset_b);
    }
    return item;
}

Type::TEntryItem TComparisonDocument::Stored_Entry(int set, const Type::TEntryItem &shown) const
{
    Type::TEntryItem item = shown;
    if (set == SET_B && d_state.offset_b != 0.0) {
        item.nominal = NumberText::Decimal_Sum(item.nominal, d_state.offset_b);
        item.actual = NumberText::Decimal_Sum(item.actual, d_state.offset_b);
    }
    return item;
}

TComparisonDocument::TEntries TComparisonDocument::Shown_Entries(int set) const
{
    if (set != SET_B || d_state.offset_b == 0.0)
        return Entries(set);
    TEntries shown(Count(set));
    Convert_All(&shown, [this, set](std::size_t row) { return Shown_Entry(set, row); });
    return shown;
}

const TComparisonDocument::TEntries &TComparisonDocument::Sorted_Entries(int set,
                                                                         TEntries *sorted) const
{
    const TEntries &entries = Entries(set);
    if (Is_Sorted(entries))
        return entries;
    *sorted = entries;
    std::sort(sorted->begin(), sorted->end(), TEntryItem_Sort());
    return *sorted;
}

bool TComparisonDocument::Holds_Data() const
{
    return Count(SET_A) > 0 || Count(SET_B) > 0 || d_state.details != Type::TDetails();
}

bool TComparisonDocument::Differs_From_Saved() const
{
    return !Same_Entries(d_state.entries[SET_A], d_saved.entries[SET_A]) ||
           !Same_Entries(d_state.entries[SET_B], d_saved.entries[SET_B]) ||
           !Same_Bits(d_state.offset_b, d_saved.offset_b) ||
           !Same_Options(d_state.options, d_saved.options) || d_state.details != d_saved.details;
}

DataFile::TContent TComparisonDocument::Content() const
{
    DataFile::TContent content;
    content.entries_a = Entries(SET_A);
    content.entries_b = Entries(SET_B);
    content.offset_a = 0.0;
    content.offset_b = d_state.offset_b;
    content.align_deviations = d_state.options.remove_deviations;
    content.merge_distance = d_state.options.merge_distance;
    content.details = d_state.details;
    return content;
}

EntryLists::TInputs TComparisonDocument::Inputs_Of(DataFile::TContent content)
{
    EntryLists::TInputs inputs;
    inputs.entries_a = std::move(content.entries_a);
    inputs.entries_b = std::move(content.entries_b);
    for (TEntries *entries : {&inputs.entries_a, &inputs.entries_b})
        if (!Is_Sorted(*entries))
            std::sort(entries->begin(), entries->end(), TEntryItem_Sort());
    inputs.offset_b = DataFile::Relative_Offset_B(content);
    return inputs;
}

void TComparisonDocument::Load(DataFile::TContent content, const QString &file_name,
                               const QString &checksum)
{
    TSnapshot state;
    state.offset_b = DataFile::Relative_Offset_B(content);
    state.entries[SET_A] = std::make_shared<TEntries>(std::move(content.entries_a));
    state.entries[SET_B] = std::make_shared<TEntries>(std::move(content.entries_b));
    // A file without settings is compared with the defaults, as the report tool compares it.
    state.options = DataFile::Options_Of(content, Type::TOptions());
    state.details = std::move(content.details);
    d_file_name = file_name;
    d_file_checksum = checksum;
    // Everything is in place before anything is announced; the saved state compares equal.
    d_saved = state;
    Restore(state);
    emit File_Changed();
}

void TComparisonDocument::Mark_Saved(const QString &file_name, const QString &checksum)
{
    d_saved = d_state;
    d_file_name = file_name;
    d_file_checksum = checksum;
    emit File_Changed();
}

void TComparisonDocument::Forget_File()
{
    d_file_name.clear();
    d_file_checksum.clear();
    emit File_Changed();
}

void TComparisonDocument::Recall_File(const QString &file_name, const QString &checksum)
{
    if (!d_file_name.isEmpty())
        return;
    d_file_name = file_name;
    d_file_checksum = checksum;
    emit File_Changed();
}

TComparisonDocument::TEntries &TComparisonDocument::Writable(int set)
{
    // Shared with the saved state or an undo step: the document takes a copy of its own first.
    if (d_state.entries[set].use_count() > 1)
        d_state.entries[set] = std::make_shared<TEntries>(*d_state.entries[set]);
    return *d_state.entries[set];
}

void TComparisonDocument::Insert_Entries(int set, const TRows &rows)
{
    if (rows.empty())
        return;
    TEntries &entries = Writable(set);
    // Room first: nothing is announced that then fails.
    entries.reserve(entries.size() + rows.size());
    // Rows ascending; each run of consecutive rows goes in with one insertion.
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i + 1;
        while (end < rows.size() && rows[end].first == rows[end - 1].first + 1)
            ++end;
        const int first = rows[i].first;
        QUORVAL_ASSERT(first >= 0 && static_cast<std::size_t>(first) <= entries.size());
        const int last = first + static_cast<int>(end - i) - 1;
        emit Entries_About_To_Be_Inserted(set, first, last);
        entries.insert(entries.begin() + first, end - i, Type::TEntryItem());
        for (std::size_t k = i; k < end; ++k)
            entries[static_cast<std::size_t>(rows[k].first)] = rows[k].second;
        emit Entries_Inserted(set, first, last);
        i = end;
    }
    emit Data_Changed();
}

void TComparisonDocument::Remove_Entries(int set, const TRows &rows)
{
    if (rows.empty())
        return;
    TEntries &entries = Writable(set);
    // From the last run to the first, so that the rows still ahead keep their numbers; a run of
    // consecutive rows goes out with one removal.
    for (std::size_t end = rows.size(); end > 0;) {
        std::size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1].first == rows[begin].first - 1)
            --begin;
        const int first = rows[begin].first;
        const int last = first + static_cast<int>(end - begin) - 1;
        QUORVAL_ASSERT(first >= 0 && static_cast<std::size_t>(last) < entries.size());
        emit Entries_About_To_Be_Removed(set, first, last);
        entries.erase(entries.begin() + first, entries.begin() + last + 1);
        emit Entries_Removed(set, first, last);
        end = begin;
    }
    emit Data_Changed();
}

void TComparisonDocument::Set_Entry(int set, int row, const Type::TEntryItem &stored)
{
    TEntries &entries = Writable(set);
    QUORVAL_ASSERT(row >= 0 && static_cast<std::size_t>(row) < entries.size());
    entries[static_cast<std::size_t>(row)] = stored;
    emit Entry_Changed(set, row);
    emit Data_Changed();
}

void TComparisonDocument::Restore(const TSnapshot &snapshot)
{
    const bool offset_changed = !Same_Bits(snapshot.offset_b, d_state.offset_b);
    bool data_changed = offset_changed || !Same_Options(snapshot.options, d_state.options);
    for (const int set : {SET_A, SET_B}) {
        const bool reset = snapshot.entries[set] != d_state.entries[set] ||
                           (set == SET_B && offset_changed);
        if (!reset)
            continue;
        emit Set_About_To_Be_Reset(set);
        d_state.entries[set] = snapshot.entries[set];
        if (set == SET_B)
            d_state.offset_b = snapshot.offset_b;
        emit Set_Reset(set);
        data_changed = true;
    }
    d_state.offset_b = snapshot.offset_b;
    d_state.options = snapshot.options;
    if (d_state.details != snapshot.details) {
        d_state.details = snapshot.details;
        emit Details_Changed();
    }
    if (data_changed)
        emit Data_Changed();
}

TComparisonDocument::TSnapshot TComparisonDocument::With_Offset_B(const double &offset) const
{
    TSnapshot snapshot = d_state;
    snapshot.offset_b = offset;
    TEntries moved(Count(SET_B));
    Convert_All(&moved, [this, &offset](std::size_t row) {
        Type::TEntryItem item = Shown_Entry(SET_B, row);
        if (offset != 0.0) {
            item.nominal = NumberText::Decimal_Sum(item.nominal, offset);
            item.actual = NumberText::Decimal_Sum(item.actual, offset);
        }
        return item;
    });
    snapshot.entries[SET_B] = std::make_shared<TEntries>(std::move(moved));
    return snapshot;
}

TComparisonDocument::TSnapshot TComparisonDocument::With_Entries(int set,
                                                                 const TEntries &shown) const
{
    TSnapshot snapshot = d_state;
    TEntries stored(shown.size());
    Convert_All(&stored, [this, set, &shown](std::size_t i) { return Stored_Entry(set, shown[i]); });
    snapshot.entries[set] = std::make_shared<TEntries>(std::move(stored));
    return snapshot;
}
