#include "src/compute/comparison.h"

#include "core/base/assertion.h"
#include "core/base/interpolation.h"

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

// Not a number when any input is not finite, so that it is never mistaken for a result.
double En_Value(const double &dev_a, const double &dev_b, const double &uc_a, const double &uc_b)
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

// The uncertainties that count and En of a row whose values and coverage are set: where both
// sets cover the position, A's uncertainty is reduced by the adjustment.
void Complete_Row(TComparison::TExportData *row, const double &uc_b, const double &adjustment)
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

} // namespace

TComparison::TComparison(TMethod method)
    : d_method(method), d_merge_distance(1.0), d_offset_b(0.0), d_data_b_dev_offset(0.0),
      d_uc_adjustment(0.0), d_range_min(0.0), d_range_max(0.0)
{
}

void TComparison::Set_Merge_Distance(const double &distance) { d_merge_distance = distance; }

double TComparison::Add_Graph_Position(const double &position)
{
    // A position that is not finite is never within reach of anything, nor anything of it.
    const auto Takes = [this, &position](const double &kept) {
        return std::isfinite(kept) && std::isfinite(position) &&
               (std::fabs(kept - position) < d_merge_distance || kept == position);
    };
    // The nearest of two that take the position, the lower one of two as near.
    double taken_by = position;
    bool taken = false;
    const auto Consider = [&](const double &kept) {
        if (!Takes(kept))
            return;
        const double distance = std::fabs(kept - position);
        const double best = std::fabs(taken_by - position);
        if (!taken || distance < best || (distance == best && kept < taken_by))
            taken_by = kept;
        taken = true;
    };

    if (d_method == TMethod::Literal_Reference) {
        for (const double kept : d_graph_positions)
            Consider(kept);
    } else if (std::isfinite(position)) {
        // The rounded distance grows with the true one: where any kept position on a side of
        // this one takes it, the nearest kept position on that side does.
        const auto above = d_kept.lower_bound(position);
        if (above != d_kept.end())
            Consider(*above);
        if (above != d_kept.begin())
            Consider(*std::prev(above));
    }
    if (taken)
        return taken_by;
    if (std::isfinite(position))
        d_kept.insert(position);
    d_graph_positions.push_back(position);
    return position;
}

void TComparison::Clear()
{
    d_uc_adjustment = 0.0;
    d_range_min = 0.0;
    d_range_max = 0.0;
    d_graph_positions.clear();
    d_kept.clear();
    d_merged_entries.clear();
    d_export_rows.clear();
}

void TComparison::Sort_Positions()
{
    // A NaN has no place in an ascending order and would break the sort: such positions go last.
    const auto first = d_graph_positions.begin();
    const auto last = std::stable_partition(first, d_graph_positions.end(),
                                            [](double p) { return !std::isnan(p); });
    if (d_method == TMethod::Literal_Reference) {
        std::sort(first, last, Position_Sort);
        return;
    }

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

bool TComparison::Interpolate(const Extrapolation::TPolyline &polyline,
                              const std::vector<TVector2> &points, const double &x, double *value,
                              std::size_t *cursor) const
{
    if (d_method == TMethod::Literal_Reference)
        return Extrapolation::Get_Value(points, x, value);
    return polyline.Get_Value(x, value, cursor);
}

void TComparison::Take_Entries(const std::vector<Type::TEntryItem> &entries, bool set_b,
                               std::vector<TVector2> *dev_data, std::vector<TVector2> *uc_data)
{
    dev_data->reserve(entries.size());
    uc_data->reserve(entries.size());
    const std::size_t first_merged = d_merged_entries.size();
    for (const Type::TEntryItem &entry : entries) {
        dev_data->emplace_back(entry.nominal, entry.actual - entry.nominal);
        uc_data->emplace_back(entry.nominal, entry.uc);
        const double shown_at = Add_Graph_Position(entry.nominal);
        if (shown_at != entry.nominal && std::isfinite(entry.nominal))
            d_merged_entries.push_back(TMerged_Entry{set_b, entry.nominal, shown_at});
    }
    std::stable_sort(d_merged_entries.begin() + static_cast<std::ptrdiff_t>(first_merged),
                     d_merged_entries.end(), [](const TMerged_Entry &a, const TMerged_Entry &b) {
                         return a.nominal < b.nominal;
                     });
}

void TComparison::Align(const Extrapolation::TPolyline &dev_a_line,
                        const std::vector<TVector2> &dev_a_data,
                        const Extrapolation::TPolyline &uc_a_line,
                        const std::vector<TVector2> &uc_a_data, const double &offset_b)
{
    double value = 0.0;
    if (Interpolate(dev_a_line, dev_a_data, offset_b, &value))
        d_data_b_dev_offset = value;
    double uc_at_offset = 0.0;
    double uc_at_zero = 0.0;
    Interpolate(uc_a_line, uc_a_data, offset_b, &uc_at_offset);
    Interpolate(uc_a_line, uc_a_data, 0.0, &uc_at_zero);
    d_uc_adjustment = uc_at_offset - uc_at_zero;
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
    std::vector<TVector2> dev_a_data, uc_a_data, dev_b_data, uc_b_data;
    Take_Entries(entries_a, false, &dev_a_data, &uc_a_data);
    Take_Entries(entries_b, true, &dev_b_data, &uc_b_data);

    const Extrapolation::TPolyline dev_a_line(dev_a_data);
    const Extrapolation::TPolyline uc_a_line(uc_a_data);
    const Extrapolation::TPolyline dev_b_line(dev_b_data);
    const Extrapolation::TPolyline uc_b_line(uc_b_data);

    d_uc_adjustment = 0.0;
    d_data_b_dev_offset = 0.0;
    if (options.remove_deviations)
        Align(dev_a_line, dev_a_data, uc_a_line, uc_a_data, offset_b);

    Sort_Positions();
    d_export_rows.reserve(d_graph_positions.size());

    // The positions ascend, so each list's search can continue from the previous position.
    std::size_t cursor_dev_a = 0, cursor_dev_b = 0, cursor_uc_a = 0, cursor_uc_b = 0;
    for (const double p : d_graph_positions) {
        TExportData row;
        row.position = p;

        Interpolate(dev_a_line, dev_a_data, p, &row.dev_a, &cursor_dev_a);
        Interpolate(dev_b_line, dev_b_data, p, &row.dev_b, &cursor_dev_b);
        row.dev_b += d_data_b_dev_offset;
        row.dev_a_valid = first_a - Range_Margin < p && p < last_a + Range_Margin;
        row.dev_b_valid = first_b - Range_Margin < p && p < last_b + Range_Margin;

        double uc_b = 0.0;
        Interpolate(uc_a_line, uc_a_data, p, &row.uc_a, &cursor_uc_a);
        Interpolate(uc_b_line, uc_b_data, p, &uc_b, &cursor_uc_b);
        Complete_Row(&row, uc_b, d_uc_adjustment);
        d_export_rows.push_back(row);
    }
    return true;
}
