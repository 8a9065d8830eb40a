#ifndef QUORVAL_SRC_COMPUTE_COMPARISON_H
#define QUORVAL_SRC_COMPUTE_COMPARISON_H

#include "core/base/interpolation.h"
#include "core/base/vector2.h"
#include "src/compute/types.h"

#include <cmath>
#include <cstddef>
#include <memory>
#include <set>
#include <vector>

// The comparison of data set A with data set B: positions, alignment, interpolated deviations and
// uncertainties, En and the report rows. Plain computation, no widgets and no drawing: the graphs
// are drawn from the rows (comparisongraphs), the report is printed from them (report).
class TComparison
{
public:
    // One report row per comparison position. A set covers a position that lies within its range;
    // uc_a_adj, uc_b and en_value are meaningful only when their flags (uc_a_valid, uc_b_valid,
    // both: Has_En) are set; they are 0.0 otherwise.
    struct TExportData
    {
        double position = 0.0;
        double dev_a = 0.0;       // set-A deviation interpolated at the position
        double dev_b = 0.0;       // set-B deviation interpolated there, plus the B deviation offset
        double uc_a = 0.0;        // set-A uncertainty interpolated at the position
        double uc_a_adj = 0.0;    // set-A uncertainty used for En
        double uc_b = 0.0;        // set-B uncertainty interpolated at the position
        double en_value = 0.0;    // normalised error
        bool dev_a_valid = false; // the position lies within set A's range
        bool dev_b_valid = false; // the position lies within set B's range
        bool uc_a_valid = false;  // set A covers the position: its uncertainty (uc_a_adj) counts
        bool uc_b_valid = false;  // set B covers the position: its uncertainty (uc_b) counts

        // What the row has to show: a value of a set that covers the position, and that could be
        // computed. Inputs too large for a double (a deviation of 1e308 - (-1e308), say) give
        // values that are not finite; those are shown as missing ("------" in the report, an
        // empty CSV field, no point in the graphs), never as inf or nan.
        bool Has_Position() const { return std::isfinite(position); }
        bool Has_Dev_A() const { return dev_a_valid && std::isfinite(dev_a); }
        bool Has_Dev_B() const { return dev_b_valid && std::isfinite(dev_b); }
        bool Has_Uc_A() const { return uc_a_valid && std::isfinite(uc_a); }
        bool Has_Uc_A_Adj() const { return uc_a_valid && std::isfinite(uc_a_adj); }
        bool Has_Uc_B() const { return uc_b_valid && std::isfinite(uc_b); }
        // Both sets cover the position and its En could be computed.
        bool Has_En() const { return uc_a_valid && uc_b_valid && std::isfinite(en_value); }
    };

    // An entry whose nominal length has no position of its own: it lies closer than the merge
    // distance to a position kept before, and its set is shown there.
    struct TMerged_Entry
    {
        bool set_b = false;    // of set B, else of set A
        double nominal = 0.0;  // the entry's position (its offset added)
        double position = 0.0; // the nearest of the kept positions that took it
    };

    TComparison();

    // Runs the whole comparison from scratch on the entries as the entry lists give them to it
    // (offset added, sorted by actual), with the options' alignment and merge distance. Returns
    // false, with positions, rows and merged entries emptied, when either set holds fewer than
    // two entries; Data_B_Dev_Offset then keeps its previous value.
    bool Calculate(const std::vector<Type::TEntryItem> &entries_a,
                   const std::vector<Type::TEntryItem> &entries_b, const double &offset_b,
                   const Type::TOptions &options);

    // Ascending comparison positions.
    const std::vector<double> &Graph_Positions() const { return d_graph_positions; }
    // Set B's offset the last run computed with: what the report and the record print.
    double Offset_B() const { return d_offset_b; }
    // Deviation added to every set-B deviation (0 unless aligned).
    double Data_B_Dev_Offset() const { return d_data_b_dev_offset; }
    // One row per position, in ascending position order.
    const std::vector<TExportData> &Export_Rows() const { return *d_export_rows; }
    // The same rows, to be kept beyond the next Calculate (the graphs draw from them): each run
    // makes new rows and leaves those handed out as they are.
    std::shared_ptr<const std::vector<TExportData>> Shared_Rows() const { return d_export_rows; }
    // The entries without a position of their own: set A's before set B's, each set's by
    // nominal length.
    const std::vector<TMerged_Entry> &Merged_Entries() const { return d_merged_entries; }
    // The decimals the entries of both sets carry (NumberText::Carried_Decimals, 4 to 9), set B's
    // offset included: the resolution of the data, with which the documents show lengths,
    // deviations and uncertainties.
    int Data_Decimals() const { return d_data_decimals; }
    // The uncertainty taken off set A's where both sets cover a position (0 unless aligned).
    double Uc_Adjustment() const { return d_uc_adjustment; }
    // The length range: the smallest and the largest actual value of both sets together.
    double Range_Min() const { return d_range_min; }
    double Range_Max() const { return d_range_max; }

    // Appends the position unless a kept one lies closer than the merge distance or at the same
    // length; the first one kept wins. Returns the position it is shown at: itself when kept or
    // equal to a kept one, otherwise the nearest kept one within the distance (the lower of two
    // as near).
    double Add_Graph_Position(const double &position);
    // The merge distance Add_Graph_Position works with until the next Calculate: 1.0 at first.
    void Set_Merge_Distance(const double &distance);
    // Ascending order of positions.
    static bool Position_Sort(const double &a, const double &b) { return a < b; }

protected:
    // The results, and the steps that a computation of its own (the tests' reference) shares.
    void Clear();
    // Of the kept positions candidates[0, count), the one that takes position (closer than the
    // merge distance or equal to it; the nearest, the lower of two as near); *taken is false and
    // position returned when none does.
    double Taken_By(const double *candidates, std::size_t count, const double &position,
                    bool *taken) const;
    // En of a position covered by both sets: 1000 where the combined uncertainty is 0.00001 or
    // less; not a number when any input is not finite, so that it is never mistaken for a result.
    static double En_Value(const double &dev_a, const double &dev_b, const double &uc_a,
                           const double &uc_b);

    double d_merge_distance;
    int d_data_decimals;
    std::vector<double> d_graph_positions;
    std::vector<TMerged_Entry> d_merged_entries;
    double d_offset_b;
    double d_data_b_dev_offset;
    double d_uc_adjustment;
    double d_range_min;
    double d_range_max;
    std::shared_ptr<std::vector<TExportData>> d_export_rows;

private:
    // The deviation offset and the uncertainty adjustment of the alignment, from set A's lines.
    void Align(const Extrapolation::TPolyline &dev_a_line,
               const Extrapolation::TPolyline &uc_a_line, const double &offset_b);
    // The uncertainties that count and En of a row whose values and coverage are set.
    static void Complete_Row(TExportData *row, const double &uc_b, const double &adjustment);
    void Take_Positions(const std::vector<Type::TEntryItem> &entries_a,
                        const std::vector<Type::TEntryItem> &entries_b);
    void Merge_Positions(const std::vector<Type::TEntryItem> &entries_a,
                         const std::vector<Type::TEntryItem> &entries_b);
    void Sort_Positions();

    // The finite kept positions in order, for finding the neighbours of a new one.
    std::set<double> d_kept;
};

#endif
