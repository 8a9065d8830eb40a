#include "src/compute/comparison.h"

#include "core/base/assertion.h"
#include "core/base/interpolation.h"
#include "src/compute/numbertext.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

namespace {

// Entries are inside a set's range up to this far beyond its first and last actual value.
constexpr double Range_Margin = 10.0;
// Combined uncertainties at or below this give the fixed En below instead of a division.
constexpr double Smallest_Combined_Uncertainty = 0.00001;
constexpr double En_For_Zero_Uncertainty = 1000.0;

// Deviation and uncertainty over nominal length.
void Points(const std::vector<Type::TEntryItem> &entries, std::vector<TVector2> *dev_data,
            std::vector<TVector2> *uc_data)
{
    dev_data->reserve(entries.size());
    uc_data->reserve(entries.size());
    for (const Type::TEntryItem &entry : entries) {
        dev_data->emplace_back(entry.nominal, entry.actual - entry.nominal);
        uc_data->emplace_back(entry.nominal, entry.uc);
    }
}

} // namespace

double TComparison::En_Value(const double &dev_a, const double &dev_b, const double &uc_a,
                             const double &uc_b)
{
    if (!std::isfinite(dev_a) || !std::isfinite(dev_b) || !std::isfinite(uc_a) ||
        !std::isfinite(uc_b))
        return std::numeric_limits<double>::quiet_NaN();
    double combined = std::sqrt(uc_a * uc_a + uc_b * uc_b);
    // Uncertainties whose squares overflow still have a finite combination.
    if (std::isinf(combined))
        combined = std::hypot(uc_a, uc_b);
    if (combined > Smallest_Combined_Uncertainty)
        return std::fabs(dev_a - dev_b) / combined;
    return En_For_Zero_Uncertainty;
}

TComparison::TComparison()
    : d_merge_distance(1.0), d_data_decimals(NumberText::Least_Decimals), d_offset_b(0.0),
      d_data_b_dev_offset(0.0), d_uc_adjustment(0.0), d_range_min(0.0), d_range_max(0.0),
      d_export_rows(std::make_shared<std::vector<TExportData>>())
{
}

void TComparison::Set_Merge_Distance(const double &distance) { d_merge_distance = distance; }

double TComparison::Taken_By(const double *candidates, std::size_t count, const double &position,
                             bool *taken) const
{
    *taken = false;
    double taken_by = position;
    // A position that is not finite is never within reach of anything, nor anything of it.
    if (!std::isfinite(position))
        return taken_by;
    for (std::size_t i = 0; i < count; ++i) {
        const double &kept = candidates[i];
        if (!std::isfinite(kept) ||
            !(std::fabs(kept - position) < d_merge_distance || kept == position))
            continue;
        const double distance = std::fabs(kept - position);
        const double best = std::fabs(taken_by - position);
        if (!*taken || distance < best || (distance == best && kept < taken_by))
            taken_by = kept;
        *taken = true;
    }
    return taken_by;
}

double TComparison::Add_Graph_Position(const double &position)
{
    // The rounded distance grows with the true one: where any kept position on a side of this
    // one takes it, the nearest kept position on that side does.
    double neighbours[2];
    std::size_t count = 0;
    if (std::isfinite(position)) {
        const auto above = d_kept.lower_bound(position);
        if (above != d_kept.end())
            neighbours[count++] = *above;
        if (above != d_kept.begin())
            neighbours[count++] = *std::prev(above);
    }
    bool taken = false;
    const double taken_by = Taken_By(neighbours, count, position, &taken);
    if (taken)
        return taken_by;
    if (std::isfinite(position))
        d_kept.insert(position);
    d_graph_positions.push_back(position);
    return position;
}

void TComparison::Clear()
{
    d_data_decimals = NumberText::Least_Decimals;
    d_uc_adjustment = 0.0;
    d_range_min = 0.0;
    d_range_max = 0.0;
    d_graph_positions.clear();
    d_kept.clear();
    d_merged_entries.clear();
    // Rows handed out stay as they are.
    d_export_rows = std::make_shared<std::vector<TExportData>>();
}

void TComparison::Sort_Positions()
{
    // A NaN has no place in an ascending order and would break the sort: such positions go last.
    const auto first = d_graph_positions.begin();
    const auto last = std::stable_partition(first, d_graph_positions.end(),
                                            [](double p) { return !std::isnan(p); });
    // Kept positions come as a few ascending runs (each set's nominal values, in actual order):
    // merging the runs is linear. Kept positions are distinct, so any correct sort gives the
    // same order.
    constexpr int Most_Runs = 16;
    std::vector<std::vector<double>::iterator> run_ends;
    for (auto it = first; it != last; ++it) {
        if (it != first && Position_Sort(*it, *(it - 1))) {
            run_ends.push_back(it);
            if (run_ends.size() >= Most_Runs) {
                std::sort(first, last,
                          [](const double &a, const double &b) { return Position_Sort(a, b); });
                return;
            }
        }
    }
    run_ends.push_back(last);
    for (std::size_t i = 1; i < run_ends.size(); ++i)
        std::inplace_merge(first, run_ends[i - 1], run_ends[i], Position_Sort);
}

// Both sets' nominal values ascend in entry order (the usual case: actual and nominal lengths in
// the same order). The kept positions of each set then ascend too, the neighbours of a new
// position are found by walking along them, and the two lists merge into the sorted positions:
// the same neighbours as Add_Graph_Position finds, so the same positions and merged entries.
void TComparison::Merge_Positions(const std::vector<Type::TEntryItem> &entries_a,
                                  const std::vector<Type::TEntryItem> &entries_b)
{
    std::vector<double> kept_a;
    std::vector<double> kept_b;
    kept_a.reserve(entries_a.size());
    kept_b.reserve(entries_b.size());
    std::size_t next_a = 0; // set A's first kept position not below set B's current one
    const auto Take = [&](const double &p, bool set_b) {
        std::vector<double> &kept = set_b ? kept_b : kept_a;
        double neighbours[2];
        std::size_t count = 0;
        if (!kept.empty() && kept.back() == p) {
            neighbours[count++] = p; // an equal position takes it
        } else {
            // The set's own kept positions lie below p, the last one nearest; while set B is
            // taken, set A's nearest at or above p and the nearer of both below p count too.
            bool any_below = !kept.empty();
            double below = any_below ? kept.back() : 0.0;
            if (set_b) {
                while (next_a < kept_a.size() && kept_a[next_a] < p)
                    ++next_a;
                if (next_a < kept_a.size())
                    neighbours[count++] = kept_a[next_a];
                if (next_a > 0 && (!any_below || kept_a[next_a - 1] > below)) {
                    below = kept_a[next_a - 1];
                    any_below = true;
                }
            }
            if (any_below)
                neighbours[count++] = below;
        }
        bool taken = false;
        const double shown_at = Taken_By(neighbours, count, p, &taken);
        if (!taken)
            kept.push_back(p);
        else if (shown_at != p)
            d_merged_entries.push_back(TMerged_Entry{set_b, p, shown_at});
    };
    for (const Type::TEntryItem &entry : entries_a)
        Take(entry.nominal, false);
    for (const Type::TEntryItem &entry : entries_b)
        Take(entry.nominal, true);
    d_graph_positions.resize(kept_a.size() + kept_b.size());
    std::merge(kept_a.begin(), kept_a.end(), kept_b.begin(), kept_b.end(),
               d_graph_positions.begin(), Position_Sort);
}

// Every nominal value is a position, unless one kept before takes it. Fills the sorted positions
// and the merged entries.
void TComparison::Take_Positions(const std::vector<Type::TEntryItem> &entries_a,
                                 const std::vector<Type::TEntryItem> &entries_b)
{
    const auto Ascending = [](const std::vector<Type::TEntryItem> &entries) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (!std::isfinite(entries[i].nominal) ||
                (i > 0 && entries[i].nominal < entries[i - 1].nominal))
                return false;
        return true;
    };
    if (Ascending(entries_a) && Ascending(entries_b)) {
        Merge_Positions(entries_a, entries_b);
        return;
    }
    const auto Take_Set = [this](const std::vector<Type::TEntryItem> &entries, bool set_b) {
        const std::size_t first_merged = d_merged_entries.size();
        for (const Type::TEntryItem &entry : entries) {
            const double shown_at = Add_Graph_Position(entry.nominal);
            if (shown_at != entry.nominal && std::isfinite(entry.nominal))
                d_merged_entries.push_back(TMerged_Entry{set_b, entry.nominal, shown_at});
        }
        std::stable_sort(
            d_merged_entries.begin() + static_cast<std::ptrdiff_t>(first_merged),
            d_merged_entries.end(),
            [](const TMerged_Entry &a, const TMerged_Entry &b) { return a.nominal < b.nominal; });
    };
    Take_Set(entries_a, false);
    Take_Set(entries_b, true);
    Sort_Positions();
}

void TComparison::Align(const Extrapolation::TPolyline &dev_a_line,
                        const Extrapolation::TPolyline &uc_a_line, const double &offset_b)
{
    double value = 0.0;
    if (dev_a_line.Get_Value(offset_b, &value))
        d_data_b_dev_offset = value;
    double uc_at_offset = 0.0;
    double uc_at_zero = 0.0;
    uc_a_line.Get_Value(offset_b, &uc_at_offset);
    uc_a_line.Get_Value(0.0, &uc_at_zero);
    d_uc_adjustment = uc_at_offset - uc_at_zero;
}

// Where both sets cover the position, A's uncertainty is reduced by the adjustment.
void TComparison::Complete_Row(TExportData *row, const double &uc_b, const double &adjustment)
{
    if (row->dev_a_valid) {
        row->uc_a_adj = row->dev_b_valid ? row->uc_a - adjustment : row->uc_a;
        row->uc_a_valid = true;
    }
    if (row->dev_b_valid) {
        row->uc_b = uc_b;
        row->uc_b_valid = true;
    }
    if (row->Has_En())
        row->en_value = En_Value(row->dev_a, row->dev_b, row->uc_a_adj, row->uc_b);
}

bool TComparison::Calculate(const std::vector<Type::TEntryItem> &entries_a,
                            const std::vector<Type::TEntryItem> &entries_b, const double &offset_b,
                            const Type::TOptions &options)
{
    Clear();
    d_offset_b = offset_b;
    if (entries_a.size() < 2 || entries_b.size() < 2)
        return false;

    const double first_a = entries_a.front().actual;
    const double last_a = entries_a.back().actual;
    const double first_b = entries_b.front().actual;
    const double last_b = entries_b.back().actual;
    d_range_min = std::min(first_a, first_b);
    d_range_max = std::max(last_a, last_b);

    d_merge_distance = options.merge_distance;
    Take_Positions(entries_a, entries_b);

    d_data_decimals = NumberText::Carried_Decimals(offset_b);
    for (const std::vector<Type::TEntryItem> *entries : {&entries_a, &entries_b})
        for (const Type::TEntryItem &entry : *entries) {
            if (d_data_decimals == NumberText::Most_Carried_Decimals)
                break;
            for (const double *value : {&entry.nominal, &entry.actual, &entry.uc})
                d_data_decimals = NumberText::Carried_Decimals(*value, d_data_decimals);
        }

    std::vector<TVector2> dev_a_data, uc_a_data, dev_b_data, uc_b_data;
    Points(entries_a, &dev_a_data, &uc_a_data);
    Points(entries_b, &dev_b_data, &uc_b_data);

    const Extrapolation::TPolyline dev_a_line(dev_a_data);
    const Extrapolation::TPolyline uc_a_line(uc_a_data);
    const Extrapolation::TPolyline dev_b_line(dev_b_data);
    const Extrapolation::TPolyline uc_b_line(uc_b_data);

    d_uc_adjustment = 0.0;
    d_data_b_dev_offset = 0.0;
    if (options.remove_deviations)
        Align(dev_a_line, uc_a_line, offset_b);

    d_export_rows->reserve(d_graph_positions.size());

    // The positions ascend, so each list's search can continue from the previous position.
    std::size_t cursor_dev_a = 0, cursor_dev_b = 0, cursor_uc_a = 0, cursor_uc_b = 0;
    for (const double p : d_graph_positions) {
        TExportData row;
        row.position = p;

        dev_a_line.Get_Value(p, &row.dev_a, &cursor_dev_a);
        dev_b_line.Get_Value(p, &row.dev_b, &cursor_dev_b);
        row.dev_b += d_data_b_dev_offset;
        row.dev_a_valid = first_a - Range_Margin < p && p < last_a + Range_Margin;
        row.dev_b_valid = first_b - Range_Margin < p && p < last_b + Range_Margin;

        double uc_b = 0.0;
        uc_a_line.Get_Value(p, &row.uc_a, &cursor_uc_a);
        uc_b_line.Get_Value(p, &uc_b, &cursor_uc_b);
        Complete_Row(&row, uc_b, d_uc_adjustment);
        d_export_rows->push_back(row);
    }
    return true;
}
