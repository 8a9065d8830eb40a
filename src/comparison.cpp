#include "src/comparison.h"

#include "core/assertion.h"
#include "core/interpolation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace {

// Keys closer than this form no segment (the same threshold as the interpolation routines).
constexpr double Key_Tolerance = 1e-6;
constexpr std::size_t No_Segment = static_cast<std::size_t>(-1);
// Keys up to this magnitude have finite differences, so the ratios of the segment test neither
// overflow nor, beyond the allowance below, underflow; larger ones keep the list scan.
constexpr double Largest_Indexed_Key = 1e307;
constexpr double Underflow_Allowance = 1e-14;

// Entries are inside a set's range up to this far beyond its first and last actual value.
constexpr double Range_Margin = 10.0;
// Combined uncertainties at or below this give the fixed En below instead of a division.
constexpr double Smallest_Combined_Uncertainty = 0.00001;
constexpr double En_For_Zero_Uncertainty = 1000.0;

double En_Value(const double &dev_a, const double &dev_b, const double &uc_a, const double &uc_b)
{
    const double combined = std::sqrt(uc_a * uc_a + uc_b * uc_b);
    if (combined > Smallest_Combined_Uncertainty)
        return std::fabs(dev_a - dev_b) / combined;
    return En_For_Zero_Uncertainty;
}

// A bracket from top to bottom at position p: its upright at p - reach and its arms reaching to
// p + reach, so open to the right for a positive reach and to the left for a negative one.
TComparison::TBracket Bracket(const double &p, const double &reach, const double &top,
                              const double &bottom, const QColor &colour)
{
    return {{TVector2(p + reach, top), TVector2(p - reach, top), TVector2(p - reach, bottom),
             TVector2(p + reach, bottom)},
            colour};
}

} // namespace

const QColor TComparison::Curve_A_Colour(128, 40, 40);
const QColor TComparison::Curve_B_Colour(20, 96, 20);
const QColor TComparison::En_Curve_Colour(40, 40, 128);
const QColor TComparison::Unadjusted_Bracket_Colour(212, 212, 212);
const QColor TComparison::Bracket_A_Colour(212, 96, 96);
const QColor TComparison::Bracket_B_Colour(20, 96, 20);
const QColor TComparison::En_Limit_Colour(196, 196, 196);

TComparison::TPolyline::TPolyline(const std::vector<TVector2> &points)
    : d_points(points), d_lookup(TLookup::List_Scan), d_increasing(true), d_leaves(0),
      d_key_magnitude(0.0), d_before_first(No_Segment), d_after_last(No_Segment)
{
    const std::size_t n = points.size();
    if (n < 2)
        return;

    // The end pairs used beyond the first and the last point, as the interpolation picks them.
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (std::fabs(points[i + 1].x - points[i].x) > Key_Tolerance) {
            d_before_first = i;
            break;
        }
    }
    for (std::size_t i = n - 1; i > 0; --i) {
        if (std::fabs(points[i].x - points[i - 1].x) > Key_Tolerance) {
            d_after_last = i;
            break;
        }
    }

    bool increasing = true;
    bool decreasing = true;
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(points[i].x))
            return;
        d_key_magnitude = std::max(d_key_magnitude, std::fabs(points[i].x));
        if (i > 0) {
            increasing = increasing && points[i].x >= points[i - 1].x;
            decreasing = decreasing && points[i].x <= points[i - 1].x;
        }
    }
    if (d_key_magnitude > Largest_Indexed_Key)
        return;

    if (increasing || decreasing) {
        d_lookup = TLookup::Binary_Search;
        d_increasing = increasing;
        d_keys.reserve(n);
        for (const TVector2 &p : points)
            d_keys.push_back(increasing ? p.x : -p.x);
        return;
    }

    // Unordered keys (entries come sorted by actual, keys are nominal values): each segment
    // covers the keys between its ends, widened by what rounding can add on either side.
    d_lookup = TLookup::Interval_Tree;
    const std::size_t segments = n - 1;
    d_leaves = 1;
    while (d_leaves < segments)
        d_leaves *= 2;
    const double inf = std::numeric_limits<double>::infinity();
    d_low.assign(2 * d_leaves, inf);
    d_high.assign(2 * d_leaves, -inf);
    const double allowance = std::ldexp(d_key_magnitude, -48) + Underflow_Allowance;
    for (std::size_t i = 0; i < segments; ++i) {
        const double a = points[i].x;
        const double b = points[i + 1].x;
        if (!(std::fabs(b - a) > Key_Tolerance))
            continue; // never used
        d_low[d_leaves + i] = std::min(a, b) - allowance;
        d_high[d_leaves + i] = std::max(a, b) + allowance;
    }
    for (std::size_t node = d_leaves - 1; node > 0; --node) {
        d_low[node] = std::min(d_low[2 * node], d_low[2 * node + 1]);
        d_high[node] = std::max(d_high[2 * node], d_high[2 * node + 1]);
    }
}

// The segment test of the list scan, operation for operation.
bool TComparison::TPolyline::Accepts(std::size_t segment, const double &x) const
{
    const double dk = d_points[segment + 1].x - d_points[segment].x;
    if (!(std::fabs(dk) > Key_Tolerance))
        return false;
    const double u = (x - d_points[segment].x) / dk;
    return !(u < 0.0 || u > 1.0);
}

// Monotone keys: the first segment the scan would accept. A segment ending before x can still
// pass when x - start rounds down to the segment's length, which needs x within a few units in
// the last place of its end; the search skips only segments ending further below x.
std::size_t TComparison::TPolyline::Search_Sorted(const double &x, std::size_t *cursor) const
{
    const std::size_t n = d_points.size();
    const double key = d_increasing ? x : -x;
    const double target = key - (std::ldexp(std::fabs(x) + d_key_magnitude, -48) + 1e-300);

    // First end (index 1 to n - 1) not below target; a cursor from the previous, smaller x
    // lets the search gallop forward from there.
    auto first = d_keys.begin() + 1;
    auto last = d_keys.end();
    if (cursor != nullptr && *cursor >= 1 && *cursor < n && d_keys[*cursor - 1] < target) {
        std::size_t low = *cursor;
        std::size_t step = 1;
        std::size_t high = low;
        while (high < n && d_keys[high] < target) {
            low = high + 1;
            high += step;
            step *= 2;
        }
        first = d_keys.begin() + static_cast<std::ptrdiff_t>(low);
        last = d_keys.begin() + static_cast<std::ptrdiff_t>(std::min(high, n));
    }
    const std::size_t end =
        static_cast<std::size_t>(std::lower_bound(first, last, target) - d_keys.begin());
    if (cursor != nullptr)
        *cursor = end;

    for (std::size_t i = end - 1; i + 1 < n; ++i) {
        // From here on every segment starts beyond x, so none can hold it. The small allowance
        // covers x a hair before a start, where the ratio underflows to -0.0 and passes.
        if (d_keys[i] > key + Underflow_Allowance)
            break;
        if (Accepts(i, x))
            return i;
    }
    return No_Segment;
}

// Unordered keys: the first accepted segment in list order among those whose widened key
// interval holds x, visiting the tree left to right.
std::size_t TComparison::TPolyline::Search_Tree(const double &x, std::size_t node,
                                                std::size_t first, std::size_t count) const
{
    if (x < d_low[node] || x > d_high[node] || first + 1 >= d_points.size())
        return No_Segment;
    if (count == 1)
        return Accepts(first, x) ? first : No_Segment;
    const std::size_t half = count / 2;
    const std::size_t left = Search_Tree(x, 2 * node, first, half);
    if (left != No_Segment)
        return left;
    return Search_Tree(x, 2 * node + 1, first + half, half);
}

bool TComparison::TPolyline::Get_Value(const double &x, double *value, std::size_t *cursor) const
{
    QUORVAL_ASSERT(value);
    if (d_lookup == TLookup::List_Scan || !std::isfinite(x))
        return Extrapolation::Get_Value(d_points, x, value);

    *value = 0.0;
    const std::size_t n = d_points.size();
    const double span = d_points[n - 1].x - d_points[0].x;
    if (std::fabs(span) < Key_Tolerance)
        return false;
    const double t = (x - d_points[0].x) / span;

    const TVector2 *p = nullptr;
    const TVector2 *q = nullptr;
    if (t < 0.0) {
        if (d_before_first != No_Segment) {
            p = &d_points[d_before_first];
            q = &d_points[d_before_first + 1];
        }
    } else if (t > 1.0) {
        if (d_after_last != No_Segment) {
            p = &d_points[d_after_last];
            q = &d_points[d_after_last - 1];
        }
    } else {
        const std::size_t segment = d_lookup == TLookup::Binary_Search
                                        ? Search_Sorted(x, cursor)
                                        : Search_Tree(x, 1, 0, d_leaves);
        if (segment != No_Segment) {
            p = &d_points[segment];
            q = &d_points[segment + 1];
        }
    }
    if (p == nullptr)
        return false;

    // The same operations in the same order as the interpolation routine, for identical bits.
    const TVector2 d = *q - *p;
    const double s = (x - p->x) / d.x;
    *value = (*p + d * s).y;
    return true;
}

TComparison::TComparison(TMethod method)
    : d_method(method), d_cell_count(0), d_data_b_dev_offset(0.0)
{
}

namespace {

std::size_t Cell_Hash(const double &cell)
{
    std::uint64_t bits;
    std::memcpy(&bits, &cell, sizeof bits);
    bits ^= bits >> 33;
    bits *= 0xff51afd7ed558ccdULL;
    bits ^= bits >> 33;
    bits *= 0xc4ceb9fe1a85ec53ULL;
    bits ^= bits >> 33;
    return static_cast<std::size_t>(bits);
}

} // namespace

void TComparison::Reserve_Cells(std::size_t positions)
{
    std::size_t capacity = 16;
    while (capacity < 2 * positions)
        capacity *= 2;
    if (capacity <= d_cells.size())
        return;
    std::vector<TCell> old;
    old.swap(d_cells);
    d_cells.assign(capacity, TCell{std::numeric_limits<double>::quiet_NaN(), 0.0});
    d_cell_count = 0;
    for (const TCell &cell : old)
        if (!std::isnan(cell.cell))
            Insert_Cell(cell.cell, cell.position);
}

bool TComparison::Is_Near_Kept(const double &cell, const double &position) const
{
    if (d_cells.empty())
        return false;
    const std::size_t mask = d_cells.size() - 1;
    for (std::size_t i = Cell_Hash(cell) & mask; !std::isnan(d_cells[i].cell); i = (i + 1) & mask)
        if (d_cells[i].cell == cell && std::fabs(d_cells[i].position - position) < 1.0)
            return true;
    return false;
}

void TComparison::Insert_Cell(const double &cell, const double &position)
{
    const std::size_t mask = d_cells.size() - 1;
    std::size_t i = Cell_Hash(cell) & mask;
    while (!std::isnan(d_cells[i].cell))
        i = (i + 1) & mask;
    d_cells[i] = TCell{cell, position};
    ++d_cell_count;
}

void TComparison::Add_Graph_Position(const double &position)
{
    if (d_method == TMethod::Literal_Reference) {
        for (const double kept : d_graph_positions)
            if (std::fabs(kept - position) < 1.0)
                return;
        d_graph_positions.push_back(position);
        return;
    }

    // A non-finite position is never within 1.0 of anything, nor anything of it. A finite one
    // whose rounded distance is below 1.0 is truly closer than 1.0, so it lies in the position's
    // unit cell or the two beside it (beyond 2^53 all three are the same cell, where only equal
    // values are that close).
    if (std::isfinite(position)) {
        const double cell = std::floor(position) + 0.0; // no separate cell for -0.0
        if (Is_Near_Kept(cell, position) || Is_Near_Kept(cell - 1.0, position) ||
            Is_Near_Kept(cell + 1.0, position))
            return;
        Reserve_Cells(d_cell_count + 1);
        Insert_Cell(cell, position);
    }
    d_graph_positions.push_back(position);
}

void TComparison::Clear()
{
    d_graph_positions.clear();
    d_cells.clear();
    d_cell_count = 0;
    d_export_rows.clear();
    d_deviation_curves.clear();
    d_brackets.clear();
    d_en_sets.clear();
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

bool TComparison::Interpolate(const TPolyline &polyline, const std::vector<TVector2> &points,
                              const double &x, double *value, std::size_t *cursor) const
{
    if (d_method == TMethod::Literal_Reference)
        return Extrapolation::Get_Value(points, x, value);
    return polyline.Get_Value(x, value, cursor);
}

bool TComparison::Calculate(const std::vector<Type::TEntryItem> &entries_a,
                            const std::vector<Type::TEntryItem> &entries_b, const double &offset_b,
                            const Type::TOptions &options)
{
    Clear();
    if (entries_a.size() < 2 || entries_b.size() < 2)
        return false;

    const double first_a = entries_a.front().actual;
    const double last_a = entries_a.back().actual;
    const double first_b = entries_b.front().actual;
    const double last_b = entries_b.back().actual;
    const double range_min = std::min(first_a, first_b);
    const double range_max = std::max(last_a, last_b);

    if (d_method == TMethod::Indexed)
        Reserve_Cells(entries_a.size() + entries_b.size());
    // Deviation and uncertainty over nominal length; every nominal value is a position.
    auto Take_Entries = [this](const std::vector<Type::TEntryItem> &entries,
                               std::vector<TVector2> *dev_data, std::vector<TVector2> *uc_data) {
        dev_data->reserve(entries.size());
        uc_data->reserve(entries.size());
        for (const Type::TEntryItem &entry : entries) {
            dev_data->emplace_back(entry.nominal, entry.actual - entry.nominal);
            uc_data->emplace_back(entry.nominal, entry.uc);
            Add_Graph_Position(entry.nominal);
        }
    };
    std::vector<TVector2> dev_a_data, uc_a_data, dev_b_data, uc_b_data;
    Take_Entries(entries_a, &dev_a_data, &uc_a_data);
    Take_Entries(entries_b, &dev_b_data, &uc_b_data);

    const TPolyline dev_a_line(dev_a_data);
    const TPolyline uc_a_line(uc_a_data);
    const TPolyline dev_b_line(dev_b_data);
    const TPolyline uc_b_line(uc_b_data);

    double adjustment = 0.0;
    d_data_b_dev_offset = 0.0;
    if (options.remove_deviations) {
        double value = 0.0;
        if (Interpolate(dev_a_line, dev_a_data, offset_b, &value))
            d_data_b_dev_offset = value;
        double uc_at_offset = 0.0;
        double uc_at_zero = 0.0;
        Interpolate(uc_a_line, uc_a_data, offset_b, &uc_at_offset);
        Interpolate(uc_a_line, uc_a_data, 0.0, &uc_at_zero);
        adjustment = uc_at_offset - uc_at_zero;
    }

    Sort_Positions();

    const std::size_t count = d_graph_positions.size();
    d_brackets.reserve(3 * count);
    d_en_sets.reserve(2);
    d_en_sets.push_back({{}, En_Curve_Colour});
    std::vector<TVector2> curve_a, curve_b, en_curve;
    curve_a.reserve(count);
    curve_b.reserve(count);
    en_curve.reserve(count);
    d_export_rows.reserve(count);

    // Bracket width: 0.5 % of the length range.
    const double tick = (range_max - range_min) * 0.005;
    const double half = tick / 2.0;

    // The positions ascend, so each list's search can continue from the previous position.
    std::size_t cursor_dev_a = 0, cursor_dev_b = 0, cursor_uc_a = 0, cursor_uc_b = 0;
    for (const double p : d_graph_positions) {
        TExportData row;
        row.position = p;

        double dev_a = 0.0;
        double dev_b = 0.0;
        Interpolate(dev_a_line, dev_a_data, p, &dev_a, &cursor_dev_a);
        Interpolate(dev_b_line, dev_b_data, p, &dev_b, &cursor_dev_b);
        dev_b += d_data_b_dev_offset;
        row.dev_a = dev_a;
        row.dev_b = dev_b;

        const bool a_valid = first_a - Range_Margin < p && p < last_a + Range_Margin;
        const bool b_valid = first_b - Range_Margin < p && p < last_b + Range_Margin;
        row.dev_a_valid = a_valid;
        row.dev_b_valid = b_valid;

        double uc_a = 0.0;
        double uc_b = 0.0;
        Interpolate(uc_a_line, uc_a_data, p, &uc_a, &cursor_uc_a);
        Interpolate(uc_b_line, uc_b_data, p, &uc_b, &cursor_uc_b);
        row.uc_a = uc_a;

        // Where both sets cover the position, A's uncertainty is reduced by the adjustment.
        double u = uc_a;
        if (a_valid && b_valid) {
            u = uc_a - adjustment;
            row.en_value = En_Value(dev_a, dev_b, u, uc_b);
            en_curve.emplace_back(p, row.en_value);
        }

        if (a_valid) {
            row.uc_a_adj = u;
            row.uc_a_valid = true;
            curve_a.emplace_back(p, dev_a);
            // The grey bracket shows the unadjusted uncertainty behind the red one.
            if (b_valid)
                d_brackets.push_back(Bracket(p, half, dev_a + u + adjustment,
                                             dev_a - u - adjustment, Unadjusted_Bracket_Colour));
            // Open to the right, upright at p - half.
            d_brackets.push_back(Bracket(p, half, dev_a + u, dev_a - u, Bracket_A_Colour));
        }

        if (b_valid) {
            row.uc_b = uc_b;
            row.uc_b_valid = true;
            curve_b.emplace_back(p, dev_b);
            // Open to the left, upright at p + half: facing A's bracket.
            d_brackets.push_back(Bracket(p, -half, dev_b + uc_b, dev_b - uc_b, Bracket_B_Colour));
        }

        d_export_rows.push_back(row);
    }

    d_deviation_curves.push_back({std::move(curve_a), Curve_A_Colour});
    d_deviation_curves.push_back({std::move(curve_b), Curve_B_Colour});
    d_en_sets[0].points = std::move(en_curve);
    d_en_sets.push_back({{TVector2(range_min, 1.0), TVector2(range_max, 1.0)}, En_Limit_Colour});
    return true;
}
