#ifndef QUORVAL_SRC_COMPARISON_H
#define QUORVAL_SRC_COMPARISON_H

#include "core/vector2.h"
#include "src/types.h"

#include <QColor>

#include <array>
#include <cstddef>
#include <vector>

// The comparison of data set A with data set B: positions, alignment, interpolated deviations and
// uncertainties, En, the report rows and the data sets of both graphs. Plain computation, no
// widgets: the main window reads its entry widgets, runs Calculate and pours the results into its
// graphs and members.
class TComparison
{
public:
    // One report row per comparison position. uc_a_adj, uc_b and en_value are meaningful only when
    // their flags (uc_a_valid, uc_b_valid, both) are set; they are 0.0 otherwise.
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
        bool uc_a_valid = false;  // set A's point and uncertainty were plotted
        bool uc_b_valid = false;  // set B's point and uncertainty were plotted
    };

    // One graph data set, to be created with GRAPH_DEFAULT in this colour and filled in order.
    struct TDataSet
    {
        std::vector<TVector2> points;
        QColor colour;
    };

    // An uncertainty bracket: a data set of always four points, held without a heap block of its
    // own because there are up to three per position.
    struct TBracket
    {
        std::array<TVector2, 4> points;
        QColor colour;
    };

    // Indexed is the one the program uses; Literal_Reference is the plain quadratic method (every
    // new position compared with all kept ones, every interpolation a list scan), kept to check
    // that the indexed one gives bit-for-bit the same results and to measure it against.
    enum class TMethod { Indexed, Literal_Reference };

    // Piecewise-linear look-up on one point list that gives exactly what Extrapolation::Get_Value
    // gives without scanning the list: a binary search when the keys are monotone, an interval
    // tree over the segments otherwise. Keeps a reference to the list, which must outlive it and
    // stay unchanged.
    class TPolyline
    {
    public:
        enum class TLookup {
            List_Scan,     // keys that are not finite or too large for the rounding bounds
            Binary_Search, // monotone keys
            Interval_Tree  // unordered keys
        };

        explicit TPolyline(const std::vector<TVector2> &points);

        // cursor (may be null) speeds up a series of look-ups at ascending x: start it at 0 and
        // pass it to every call of the series.
        bool Get_Value(const double &x, double *value, std::size_t *cursor = nullptr) const;
        TLookup Lookup() const { return d_lookup; }

    private:
        bool Accepts(std::size_t segment, const double &x) const;
        std::size_t Search_Sorted(const double &x, std::size_t *cursor) const;
        std::size_t Search_Tree(const double &x, std::size_t node, std::size_t first,
                                std::size_t count) const;

        const std::vector<TVector2> &d_points;
        TLookup d_lookup;
        bool d_increasing;
        std::vector<double> d_keys; // binary search: keys, negated when decreasing
        std::vector<double> d_low;  // interval tree: per node the lowest start of its segments
        std::vector<double> d_high; // and the highest end, widened by the rounding allowance
        std::size_t d_leaves;       // interval tree: leaf count, a power of two
        double d_key_magnitude;     // largest absolute key
        std::size_t d_before_first; // segment continued before the first point, or npos
        std::size_t d_after_last;   // point continued after the last one (with its predecessor)
    };

    explicit TComparison(TMethod method = TMethod::Indexed);

    // Runs the whole comparison from scratch on the entries as TEntryWidget::Entry_Items returns
    // them (offset added, sorted by actual). Returns false, with positions, rows and data sets
    // emptied, when either set holds fewer than two entries; Data_B_Dev_Offset then keeps its
    // previous value.
    bool Calculate(const std::vector<Type::TEntryItem> &entries_a,
                   const std::vector<Type::TEntryItem> &entries_b, const double &offset_b,
                   const Type::TOptions &options);

    // Ascending comparison positions.
    const std::vector<double> &Graph_Positions() const { return d_graph_positions; }
    // Deviation added to every set-B deviation (0 unless aligned).
    double Data_B_Dev_Offset() const { return d_data_b_dev_offset; }
    // One row per position, in ascending position order.
    const std::vector<TExportData> &Export_Rows() const { return d_export_rows; }
    // The deviation graph's data sets in creation order are the two curves (A, then B) followed
    // by the brackets (per position, ascending: the grey, red and green ones that apply).
    const std::vector<TDataSet> &Deviation_Curves() const { return d_deviation_curves; }
    const std::vector<TBracket> &Brackets() const { return d_brackets; }
    // The En curve, then the line En = 1 across the length range.
    const std::vector<TDataSet> &En_Data_Sets() const { return d_en_sets; }

    // Appends the position unless a kept one lies closer than 1.0; the first one kept wins.
    void Add_Graph_Position(const double &position);
    // Ascending order of positions.
    static bool Position_Sort(const double &a, const double &b) { return a < b; }

    static const QColor Curve_A_Colour;
    static const QColor Curve_B_Colour;
    static const QColor En_Curve_Colour;
    static const QColor Unadjusted_Bracket_Colour;
    static const QColor Bracket_A_Colour;
    static const QColor Bracket_B_Colour;
    static const QColor En_Limit_Colour;

private:
    // The kept finite positions by their unit cell (floor): any position closer than 1.0 to a
    // new one lies in the new one's cell or a neighbouring cell. Kept positions lie 1.0 apart,
    // so a cell mostly holds one (two only where rounding makes 1 - 2^-1074 a distance of 1.0).
    // Open addressing; a cell key of NaN marks a free slot.
    struct TCell
    {
        double cell;
        double position;
    };

    void Clear();
    void Sort_Positions();
    void Reserve_Cells(std::size_t positions);
    bool Is_Near_Kept(const double &cell, const double &position) const;
    void Insert_Cell(const double &cell, const double &position);
    bool Interpolate(const TPolyline &polyline, const std::vector<TVector2> &points,
                     const double &x, double *value, std::size_t *cursor = nullptr) const;

    TMethod d_method;
    std::vector<double> d_graph_positions;
    std::vector<TCell> d_cells;
    std::size_t d_cell_count;
    double d_data_b_dev_offset;
    std::vector<TExportData> d_export_rows;
    std::vector<TDataSet> d_deviation_curves;
    std::vector<TBracket> d_brackets;
    std::vector<TDataSet> d_en_sets;
};

#endif
