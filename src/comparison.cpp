#include "src/comparison.h"

#include "core/assertion.h"
#include "core/interpolation.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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

TComparison::TDataSet Bracket(const QColor &colour, const TVector2 &p0, const TVector2 &p1,
                              const TVector2 &p2, const TVector2 &p3)
{
    TComparison::TDataSet set;
    set.points = {p0, p1, p2, p3};
    set.colour = colour;
    return set;
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
    : d_points(points), d_direction(0), d_key_magnitude(0.0), d_before_first(No_Segment),
      d_after_last(No_Segment)
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
        if (!std::isfinite(points[i].x)) {
            increasing = decreasing = false;
            break;
        }
        d_key_magnitude = std::max(d_key_magnitude, std::fabs(points[i].x));
        if (i > 0) {
            increasing = increasing && points[i].x >= points[i - 1].x;
            decreasing = decreasing && points[i].x <= points[i - 1].x;
        }
    }
    // Unordered keys (entries come sorted by actual, keys are nominal values) keep the list scan.
    if ((!increasing && !decreasing) || d_key_magnitude > Largest_Indexed_Key)
        return;
    d_direction = increasing ? 1 : -1;
    d_keys.reserve(n);
    for (const TVector2 &p : points)
        d_keys.push_back(d_direction > 0 ? p.x : -p.x);
}

bool TComparison::TPolyline::Get_Value(const double &x, double *value) const
{
    QUORVAL_ASSERT(value);
    if (d_direction == 0 || !std::isfinite(x))
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
        // Wanted: the first segment in list order whose closed key interval holds x, judged by
        // the same rounded arithmetic as the scan. A segment ending before x can still pass when
        // x - start rounds down to the segment's length, which needs x within a few units in the
        // last place of the end; segments ending further below x are skipped by the search.
        const double key = d_direction > 0 ? x : -x;
        const double margin = std::ldexp(std::fabs(x) + d_key_magnitude, -48) + 1e-300;
        const auto first_end = std::lower_bound(d_keys.begin() + 1, d_keys.end(), key - margin);
        for (std::size_t i = static_cast<std::size_t>(first_end - d_keys.begin()) - 1; i + 1 < n;
             ++i) {
            // From here on every segment starts beyond x, so none can hold it. The small
            // allowance covers x a hair below a start, where the ratio underflows to -0.0 and
            // passes the test.
            if (d_keys[i] > key + Underflow_Allowance)
                break;
            const double dk = d_points[i + 1].x - d_points[i].x;
            if (!(std::fabs(dk) > Key_Tolerance))
                continue;
            const double u = (x - d_points[i].x) / dk;
            if (u < 0.0 || u > 1.0)
                continue;
            p = &d_points[i];
            q = &d_points[i + 1];
            break;
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

TComparison::TComparison(TMethod method) : d_method(method), d_data_b_dev_offset(0.0) {}

bool TComparison::Position_Sort(const double &a, const double &b)
{
    return a < b;
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

    // A non-finite position is never within 1.0 of anything, nor anything of it.
    if (std::isfinite(position)) {
        // The rounded distance grows with the true one, so the nearest kept neighbours on either
        // side decide.
        const auto above = d_finite_positions.lower_bound(position);
        if (above != d_finite_positions.end() && std::fabs(*above - position) < 1.0)
            return;
        if (above != d_finite_positions.begin() && std::fabs(*std::prev(above) - position) < 1.0)
            return;
        d_finite_positions.insert(above, position);
    }
    d_graph_positions.push_back(position);
}

void TComparison::Clear()
{
    d_graph_positions.clear();
    d_finite_positions.clear();
    d_export_rows.clear();
    d_deviation_sets.clear();
    d_en_sets.clear();
}

void TComparison::Sort_Positions()
{
    // A NaN has no place in an ascending order and would break the sort: such positions go last.
    const auto nan_begin = std::stable_partition(d_graph_positions.begin(),
                                                 d_graph_positions.end(),
                                                 [](double p) { return !std::isnan(p); });
    std::sort(d_graph_positions.begin(), nan_begin, Position_Sort);
}

bool TComparison::Interpolate(const TPolyline &polyline, const std::vector<TVector2> &points,
                              const double &x, double *value) const
{
    if (d_method == TMethod::Literal_Reference)
        return Extrapolation::Get_Value(points, x, value);
    return polyline.Get_Value(x, value);
}

bool TComparison::Calculate(const std::vector<Type::TEntryItem> &entries_a,
                            const std::vector<Type::TEntryItem> &entries_b,
                            const double &offset_b, const Type::TOptions &options)
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

    std::vector<TVector2> dev_a_data, uc_a_data, dev_b_data, uc_b_data;
    dev_a_data.reserve(entries_a.size());
    uc_a_data.reserve(entries_a.size());
    dev_b_data.reserve(entries_b.size());
    uc_b_data.reserve(entries_b.size());
    for (const Type::TEntryItem &entry : entries_a) {
        dev_a_data.emplace_back(entry.nominal, entry.actual - entry.nominal);
        uc_a_data.emplace_back(entry.nominal, entry.uc);
        Add_Graph_Position(entry.nominal);
    }
    for (const Type::TEntryItem &entry : entries_b) {
        dev_b_data.emplace_back(entry.nominal, entry.actual - entry.nominal);
        uc_b_data.emplace_back(entry.nominal, entry.uc);
        Add_Graph_Position(entry.nominal);
    }
    QUORVAL_ASSERT(dev_a_data.size() == uc_a_data.size());
    QUORVAL_ASSERT(dev_b_data.size() == uc_b_data.size());

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
    d_deviation_sets.reserve(2 + 3 * count);
    d_deviation_sets.push_back({{}, Curve_A_Colour});
    d_deviation_sets.push_back({{}, Curve_B_Colour});
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

    for (const double p : d_graph_positions) {
        TExportData row;
        row.position = p;

        double dev_a = 0.0;
        double dev_b = 0.0;
        Interpolate(dev_a_line, dev_a_data, p, &dev_a);
        Interpolate(dev_b_line, dev_b_data, p, &dev_b);
        dev_b += d_data_b_dev_offset;
        row.dev_a = dev_a;
        row.dev_b = dev_b;

        const bool a_valid = first_a - Range_Margin < p && p < last_a + Range_Margin;
        const bool b_valid = first_b - Range_Margin < p && p < last_b + Range_Margin;
        row.dev_a_valid = a_valid;
        row.dev_b_valid = b_valid;

        double uc_a = 0.0;
        double uc_b = 0.0;
        Interpolate(uc_a_line, uc_a_data, p, &uc_a);
        Interpolate(uc_b_line, uc_b_data, p, &uc_b);
        row.uc_a = uc_a;

        // Where both sets cover the position, A's uncertainty is reduced by the adjustment.
        double u = uc_a;
        if (a_valid && b_valid) {
            u = uc_a - adjustment;
            en_curve.emplace_back(p, En_Value(dev_a, dev_b, u, uc_b));
        }

        if (a_valid) {
            row.uc_a_adj = u;
            row.uc_a_valid = true;
            curve_a.emplace_back(p, dev_a);
            // The grey bracket shows the unadjusted uncertainty behind the red one.
            if (b_valid)
                d_deviation_sets.push_back(Bracket(
                    Unadjusted_Bracket_Colour, TVector2(p + half, dev_a + u + adjustment),
                    TVector2(p - half, dev_a + u + adjustment),
                    TVector2(p - half, dev_a - u - adjustment),
                    TVector2(p + half, dev_a - u - adjustment)));
            // Open to the right, upright at p - half.
            d_deviation_sets.push_back(Bracket(Bracket_A_Colour, TVector2(p + half, dev_a + u),
                                               TVector2(p - half, dev_a + u),
                                               TVector2(p - half, dev_a - u),
                                               TVector2(p + half, dev_a - u)));
        }

        if (b_valid) {
            row.uc_b = uc_b;
            row.uc_b_valid = true;
            curve_b.emplace_back(p, dev_b);
            // Open to the left, upright at p + half: facing A's bracket.
            d_deviation_sets.push_back(Bracket(Bracket_B_Colour, TVector2(p - half, dev_b + uc_b),
                                               TVector2(p + half, dev_b + uc_b),
                                               TVector2(p + half, dev_b - uc_b),
                                               TVector2(p - half, dev_b - uc_b)));
        }

        if (row.uc_a_valid && row.uc_b_valid)
            row.en_value = En_Value(dev_a, dev_b, row.uc_a_adj, row.uc_b);

        d_export_rows.push_back(row);
    }

    d_deviation_sets[0].points = std::move(curve_a);
    d_deviation_sets[1].points = std::move(curve_b);
    d_en_sets[0].points = std::move(en_curve);
    d_en_sets.push_back({{TVector2(range_min, 1.0), TVector2(range_max, 1.0)}, En_Limit_Colour});
    return true;
}
