#ifndef QUORVAL_SRC_COMPARISON_H
#define QUORVAL_SRC_COMPARISON_H

#include "core/vector2.h"
#include "src/types.h"

#include <QColor>

#include <cstddef>
#include <set>
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
        double dev_a = 0.0;    // set-A deviation interpolated at the position
        double dev_b = 0.0;    // set-B deviation interpolated there, plus the B deviation offset
        double uc_a = 0.0;     // set-A uncertainty interpolated at the position
        double uc_a_adj = 0.0; // set-A uncertainty used for En
        double uc_b = 0.0;     // set-B uncertainty interpolated at the position
        double en_value = 0.0; // normalised error
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

    // Indexed is the one the program uses; Literal_Reference is the plain quadratic method (every
    // new position compared with all kept ones, every interpolation a list scan), kept to check
    // that the indexed one gives bit-for-bit the same results and to measure it against.
    enum class TMethod
    {
        Indexed,
        Literal_Reference
    };

    // Piecewise-linear look-up on one point list that gives exactly what Extrapolation::Get_Value
    // gives, but finds the segment by binary search when the keys are monotone. Keeps a reference
    // to the list, which must outlive it and stay unchanged.
    class TPolyline
    {
    public:
        explicit TPolyline(const std::vector<TVector2> &points);

        bool Get_Value(const double &x, double *value) const;
        // Whether look-ups search the segment instead of scanning the list.
        bool Is_Indexed() const { return d_direction != 0; }

    private:
        const std::vector<TVector2> &d_points;
        int d_direction;           // +1 keys non-decreasing, -1 non-increasing, 0 neither
        std::vector<double> d_keys; // keys times d_direction: non-decreasing
        double d_key_magnitude;    // largest absolute key
        std::size_t d_before_first; // segment continued before the first point, or npos
        std::size_t d_after_last;   // point continued after the last point (with its predecessor)
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
    // Data sets in creation order: curve A, curve B, then per position the grey, red and green
    // brackets that apply.
    const std::vector<TDataSet> &Deviation_Data_Sets() const { return d_deviation_sets; }
    // The En curve, then the line En = 1 across the length range.
    const std::vector<TDataSet> &En_Data_Sets() const { return d_en_sets; }

    // Appends the position unless a kept one lies closer than 1.0; the first one kept wins.
    void Add_Graph_Position(const double &position);
    // Ascending order of positions.
    static bool Position_Sort(const double &a, const double &b);

    static const QColor Curve_A_Colour;
    static const QColor Curve_B_Colour;
    static const QColor En_Curve_Colour;
    static const QColor Unadjusted_Bracket_Colour;
    static const QColor Bracket_A_Colour;
    static const QColor Bracket_B_Colour;
    static const QColor En_Limit_Colour;

private:
    void Clear();
    void Sort_Positions();
    bool Interpolate(const TPolyline &polyline, const std::vector<TVector2> &points,
                     const double &x, double *value) const;

    TMethod d_method;
    std::vector<double> d_graph_positions;
    std::set<double> d_finite_positions; // the kept finite positions, ordered for the search
    double d_data_b_dev_offset;
    std::vector<TExportData> d_export_rows;
    std::vector<TDataSet> d_deviation_sets;
    std::vector<TDataSet> d_en_sets;
};

#endif
