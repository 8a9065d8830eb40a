#ifndef QUORVAL_TESTS_REFERENCE_LITERAL_COMPARISON_H
#define QUORVAL_TESTS_REFERENCE_LITERAL_COMPARISON_H

// The comparison computed the plain way, as its rules read: every new position compared with all
// kept ones, the positions sorted once at the end, every value interpolated by a scan of its
// list. Quadratic and slow, but simple: the judge of TComparison, which must give the same
// positions, merged entries, rows and offsets bit for bit. Its results are read through the
// accessors of TComparison, so that the graphs and the report can be made from it too.

#include "core/base/interpolation.h"
#include "src/compute/comparison.h"

#include <algorithm>
#include <cmath>
#include <vector>

class TLiteral_Comparison : public TComparison
{
public:
    double Add_Graph_Position(const double &position)
    {
        bool taken = false;
        const double taken_by =
            Taken_By(d_graph_positions.data(), d_graph_positions.size(), position, &taken);
        if (!taken)
            d_graph_positions.push_back(position);
        return taken_by;
    }

    bool Calculate(const std::vector<Type::TEntryItem> &entries_a,
                   const std::vector<Type::TEntryItem> &entries_b, const double &offset_b,
                   const Type::TOptions &options)
    {
        Clear();
        if (entries_a.size() < 2 || entries_b.size() < 2)
            return false;
        const double first_a = entries_a.front().actual, last_a = entries_a.back().actual;
        const double first_b = entries_b.front().actual, last_b = entries_b.back().actual;
        d_range_min = std::min(first_a, first_b);
        d_range_max = std::max(last_a, last_b);
        d_merge_distance = options.merge_distance;

        std::vector<TVector2> dev_a, uc_a, dev_b, uc_b;
        for (bool set_b : {false, true}) {
            const std::size_t first_merged = d_merged_entries.size();
            for (const Type::TEntryItem &e : set_b ? entries_b : entries_a) {
                (set_b ? dev_b : dev_a).emplace_back(e.nominal, e.actual - e.nominal);
                (set_b ? uc_b : uc_a).emplace_back(e.nominal, e.uc);
                const double at = Add_Graph_Position(e.nominal);
                if (at != e.nominal && std::isfinite(e.nominal))
                    d_merged_entries.push_back(TMerged_Entry{set_b, e.nominal, at});
            }
            std::stable_sort(d_merged_entries.begin() + static_cast<long>(first_merged),
                             d_merged_entries.end(),
                             [](const TMerged_Entry &x, const TMerged_Entry &y) {
                                 return x.nominal < y.nominal;
                             });
        }

        d_data_b_dev_offset = 0.0;
        d_uc_adjustment = 0.0;
        if (options.remove_deviations) {
            double value = 0.0, at_offset = 0.0, at_zero = 0.0;
            if (Extrapolation::Get_Value(dev_a, offset_b, &value))
                d_data_b_dev_offset = value;
            Extrapolation::Get_Value(uc_a, offset_b, &at_offset);
            Extrapolation::Get_Value(uc_a, 0.0, &at_zero);
            d_uc_adjustment = at_offset - at_zero;
        }

        // Positions that are not a number last.
        const auto numbers_end =
            std::stable_partition(d_graph_positions.begin(), d_graph_positions.end(),
                                  [](double p) { return !std::isnan(p); });
        std::sort(d_graph_positions.begin(), numbers_end);
        for (const double p : d_graph_positions) {
            TExportData row;
            row.position = p;
            double b_uc = 0.0;
            Extrapolation::Get_Value(dev_a, p, &row.dev_a);
            Extrapolation::Get_Value(dev_b, p, &row.dev_b);
            Extrapolation::Get_Value(uc_a, p, &row.uc_a);
            Extrapolation::Get_Value(uc_b, p, &b_uc);
            row.dev_b += d_data_b_dev_offset;
            row.dev_a_valid = first_a - 10.0 < p && p < last_a + 10.0;
            row.dev_b_valid = first_b - 10.0 < p && p < last_b + 10.0;
            row.uc_a_valid = row.dev_a_valid;
            row.uc_b_valid = row.dev_b_valid;
            if (row.uc_a_valid)
                row.uc_a_adj = row.dev_b_valid ? row.uc_a - d_uc_adjustment : row.uc_a;
            if (row.uc_b_valid)
                row.uc_b = b_uc;
            if (row.Has_En())
                row.en_value = En_Value(row.dev_a, row.dev_b, row.uc_a_adj, row.uc_b);
            d_export_rows->push_back(row);
        }
        return true;
    }
};

#endif
