#include "core/base/interpolation.h"

#include "core/base/assertion.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Keys closer than this are treated as one position: no segment, span or slope is taken over them.
constexpr double Key_Tolerance = 1e-6;
constexpr std::size_t No_Segment = static_cast<std::size_t>(-1);

// The rules of the walk, shared by the list scan and the indexed look-up so that both pick the
// same segment and compute the same bits. Key(p) gives the key component of a point.

// Whether the segment from a to b has a usable key spacing.
template <typename TPoint, typename TKey> bool Usable(const TPoint &a, const TPoint &b, TKey Key)
{
    return std::fabs(Key(b) - Key(a)) > Key_Tolerance;
}

// Beyond the first point: the outermost segment on that side that has a usable key spacing, so
// duplicate end keys never divide by zero. Its first point, or No_Segment.
template <typename TPoint, typename TKey>
std::size_t Segment_Before_First(const std::vector<TPoint> &points, TKey Key)
{
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        if (Usable(points[i], points[i + 1], Key))
            return i;
    return No_Segment;
}

// Beyond the last point, likewise: the point continued (with its predecessor), or No_Segment.
template <typename TPoint, typename TKey>
std::size_t Point_After_Last(const std::vector<TPoint> &points, TKey Key)
{
    for (std::size_t i = points.size() - 1; i > 0; --i)
        if (Usable(points[i - 1], points[i], Key))
            return i;
    return No_Segment;
}

// Whether the closed key interval of the segment starting at point i holds the key.
template <typename TPoint, typename TKey>
bool Segment_Holds(const std::vector<TPoint> &points, std::size_t i, const double &key, TKey Key)
{
    const double dk = Key(points[i + 1]) - Key(points[i]);
    if (!(std::fabs(dk) > Key_Tolerance))
        return false;
    const double u = (key - Key(points[i])) / dk;
    return !(u < 0.0 || u > 1.0);
}

// The point at the key on the line through p and q.
template <typename TPoint, typename TKey>
TPoint Point_On(const TPoint &p, const TPoint &q, const double &key, TKey Key)
{
    const TPoint d = q - p;
    const double s = (key - Key(p)) / Key(d);
    return p + d * s;
}

// Where the key lies against the whole list: 0 inside, -1 before the first point, 1 after the
// last; false when the list spans no usable key range.
template <typename TPoint, typename TKey>
bool Side_Of(const std::vector<TPoint> &points, const double &key, TKey Key, int *side)
{
    const std::size_t n = points.size();
    if (n < 2)
        return false;
    const double span = Key(points[n - 1]) - Key(points[0]);
    if (std::fabs(span) < Key_Tolerance)
        return false;
    const double t = (key - Key(points[0])) / span;
    *side = t < 0.0 ? -1 : t > 1.0 ? 1 : 0;
    return true;
}

// The walk of every interpolator: beyond the ends the end segments given, inside the segment
// Find_Inner picks. On success *result holds the interpolated or extrapolated point.
template <typename TPoint, typename TKey, typename TFind>
bool Walk(const std::vector<TPoint> &points, const double &key, TKey Key, std::size_t before_first,
          std::size_t after_last, TFind Find_Inner, TPoint *result)
{
    int side = 0;
    if (!Side_Of(points, key, Key, &side))
        return false;

    const TPoint *p = nullptr;
    const TPoint *q = nullptr;
    if (side < 0) {
        if (before_first != No_Segment) {
            p = &points[before_first];
            q = &points[before_first + 1];
        }
    } else if (side > 0) {
        if (after_last != No_Segment) {
            p = &points[after_last];
            q = &points[after_last - 1];
        }
    } else {
        const std::size_t i = Find_Inner();
        if (i != No_Segment) {
            p = &points[i];
            q = &points[i + 1];
        }
    }
    if (p == nullptr)
        return false;
    *result = Point_On(*p, *q, key, Key);
    return true;
}

// The list scan: inside, the first segment in list order whose closed key interval holds the key.
template <typename TPoint, typename TKey>
bool Interpolate(const std::vector<TPoint> &points, const double &key, TKey Key, TPoint *result)
{
    if (points.size() < 2)
        return false;
    const auto Scan = [&]() {
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            if (Segment_Holds(points, i, key, Key))
                return i;
        return No_Segment;
    };
    return Walk(points, key, Key, Segment_Before_First(points, Key), Point_After_Last(points, Key),
                Scan, result);
}

double Key_X(const TVector2 &p) { return p.x; }

// The 3-D variants: the point at the key (component key_index), then two of its components
// (index, output) out; both outputs are 0 unless the point was found.
bool Components_At(const std::vector<TVector3> &points, const double &key, int key_index, int first,
                   double *first_value, int second, double *second_value)
{
    *first_value = 0.0;
    *second_value = 0.0;
    TVector3 r;
    if (!Interpolate(
            points, key, [key_index](const TVector3 &p) { return p(key_index); }, &r))
        return false;
    *first_value = r(first);
    *second_value = r(second);
    return true;
}

// Keys up to this magnitude have finite differences, so the ratios of the segment test neither
// overflow nor, beyond the allowance below, underflow; larger ones keep the list scan.
constexpr double Largest_Indexed_Key = 1e307;
constexpr double Underflow_Allowance = 1e-14;

} // namespace

namespace Extrapolation {

bool Get_Value(const std::vector<TVector2> &points, const double &x, double *value)
{
    QUORVAL_ASSERT(value);
    *value = 0.0;
    TVector2 r;
    if (!Interpolate(points, x, Key_X, &r))
        return false;
    *value = r.y;
    return true;
}

TPolyline::TPolyline(const std::vector<TVector2> &points)
    : d_points(points), d_lookup(TLookup::List_Scan), d_increasing(true), d_leaves(0),
      d_key_magnitude(0.0), d_before_first(No_Segment), d_after_last(No_Segment)
{
    const std::size_t n = points.size();
    if (n < 2)
        return;

    // The end pairs used beyond the first and the last point, as the interpolation picks them.
    d_before_first = Segment_Before_First(points, Key_X);
    d_after_last = Point_After_Last(points, Key_X);

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

bool TPolyline::Accepts(std::size_t segment, const double &x) const
{
    return Segment_Holds(d_points, segment, x, Key_X);
}

// Monotone keys: the first segment the scan would accept. A segment ending before x can still
// pass when x - start rounds down to the segment's length, which needs x within a few units in
// the last place of its end; the search skips only segments ending further below x.
std::size_t TPolyline::Search_Sorted(const double &x, std::size_t *cursor) const
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
std::size_t TPolyline::Search_Tree(const double &x, std::size_t node, std::size_t first,
                                   std::size_t count) const
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

bool TPolyline::Get_Value(const double &x, double *value, std::size_t *cursor) const
{
    QUORVAL_ASSERT(value);
    if (d_lookup == TLookup::List_Scan || !std::isfinite(x))
        return Extrapolation::Get_Value(d_points, x, value);

    *value = 0.0;
    const auto Search = [&]() {
        return d_lookup == TLookup::Binary_Search ? Search_Sorted(x, cursor)
                                                  : Search_Tree(x, 1, 0, d_leaves);
    };
    TVector2 r;
    if (!Walk(d_points, x, Key_X, d_before_first, d_after_last, Search, &r))
        return false;
    *value = r.y;
    return true;
}

bool Get_Value_XY(const std::vector<TVector3> &points, const double &z, double *x_value,
                  double *y_value)
{
    QUORVAL_ASSERT(x_value);
    QUORVAL_ASSERT(y_value);
    return Components_At(points, z, 2, 0, x_value, 1, y_value);
}

bool Get_Value_YZ(const std::vector<TVector3> &points, const double &x, double *y_value,
                  double *z_value)
{
    QUORVAL_ASSERT(y_value);
    QUORVAL_ASSERT(z_value);
    return Components_At(points, x, 0, 1, y_value, 2, z_value);
}

bool Get_Value_ZX(const std::vector<TVector3> &points, const double &y, double *z_value,
                  double *x_value)
{
    QUORVAL_ASSERT(x_value);
    QUORVAL_ASSERT(z_value);
    return Components_At(points, y, 1, 2, z_value, 0, x_value);
}

} // namespace Extrapolation

namespace {

// Gauss-Jordan elimination in place on a row-major augmented matrix (cols = rows + 1), without
// partial pivoting: a zero pivot is swapped with the first usable row below it.
bool Solve_Mat(int rows, int cols, double *matrix, double *solution)
{
    QUORVAL_ASSERT(cols == rows + 1);
    auto at = [matrix, cols](int r, int c) -> double & { return matrix[r * cols + c]; };
    for (int k = 0; k < rows; ++k) {
        if (std::fabs(at(k, k)) < 1e-12) {
            int j = k + 1;
            while (j < rows && !(std::fabs(at(j, k)) > 1e-12))
                ++j;
            if (j >= rows)
                return false;
            for (int c = k; c < cols; ++c) {
                const double tmp = at(k, c);
                at(k, c) = at(j, c);
                at(j, c) = tmp;
            }
        }
        const double pivot = at(k, k);
        for (int c = k; c < cols; ++c)
            at(k, c) /= pivot;
        for (int i = 0; i < rows; ++i) {
            if (i == k)
                continue;
            const double factor = at(i, k);
            for (int c = k; c < cols; ++c)
                at(i, c) -= factor * at(k, c);
        }
    }
    for (int i = 0; i < rows; ++i)
        solution[i] = at(i, rows);
    return true;
}

bool All_Finite(std::initializer_list<double> values)
{
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// Degree 3 and 4 fits: normal equations solved by Solve_Mat; outputs[0] receives the highest power.
bool Fit_Polynomial(const std::vector<TVector2> &points, int m, double *const *outputs)
{
    for (int k = 0; k < m; ++k)
        *outputs[k] = 0.0;
    if (static_cast<int>(points.size()) < m)
        return false;

    std::vector<double> matrix(static_cast<std::size_t>(m * (m + 1)), 0.0);
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < m; ++j) {
            double sum = 0.0;
            for (const TVector2 &p : points)
                sum += std::pow(p.x, i + j);
            matrix[static_cast<std::size_t>(i * (m + 1) + j)] = -sum;
        }
        double sum = 0.0;
        for (const TVector2 &p : points)
            sum += p.y * std::pow(p.x, i);
        matrix[static_cast<std::size_t>(i * (m + 1) + m)] = -sum;
    }
    std::vector<double> solution(static_cast<std::size_t>(m), 0.0);
    if (!Solve_Mat(m, m + 1, matrix.data(), solution.data()))
        return false;
    for (double v : solution)
        if (!std::isfinite(v))
            return false;
    for (int k = 0; k < m; ++k)
        *outputs[k] = solution[static_cast<std::size_t>(m - 1 - k)];
    return true;
}

} // namespace

namespace Regression {

bool Get_Endfit_Slope(const std::vector<TVector2> &points, double *slope)
{
    QUORVAL_ASSERT(slope);
    *slope = 0.0;
    if (points.size() < 2)
        return false;
    const double dx = points.back().x - points.front().x;
    if (!(std::fabs(dx) > 1e-6))
        return false;
    const double result = (points.back().y - points.front().y) / dx;
    // Values so far apart that their difference overflows give no slope.
    if (!std::isfinite(result))
        return false;
    *slope = result;
    return true;
}

bool Fit_Line(const std::vector<TVector2> &points, double *slope, double *intercept)
{
    const double n = static_cast<double>(points.size());
    if (points.size() <= 1)
        return false;
    QUORVAL_ASSERT(slope);
    double sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
    for (const TVector2 &p : points) {
        sx += p.x;
        sy += p.y;
        sxy += p.x * p.y;
        sxx += p.x * p.x;
    }
    // All points on one x (even one such as 0.1 that binary cannot hold exactly) leave only
    // rounding noise in the denominator: refuse rather than return a huge or infinite slope.
    const double denominator = n * sxx - sx * sx;
    const double scale = n * sxx + sx * sx;
    if (!(std::fabs(denominator) > 1e-12 * scale))
        return false;
    const double m = (n * sxy - sx * sy) / denominator;
    const double b = (sy - m * sx) / n;
    if (!All_Finite({m, b}))
        return false;
    *slope = m;
    if (intercept)
        *intercept = b;
    return true;
}

bool Get_Slope_Through_Zero(const std::vector<TVector2> &points, double *slope)
{
    QUORVAL_ASSERT(slope);
    *slope = 0.0;
    if (points.empty())
        return false;
    double sx = 0.0, sy = 0.0;
    for (const TVector2 &p : points) {
        if (p.x > 0.0) {
            sx += p.x;
            sy += p.y;
        } else {
            sx -= p.x;
            sy -= p.y;
        }
    }
    const double n = static_cast<double>(points.size());
    const double mx = sx / n;
    const double my = sy / n;
    if (std::fabs(my) > std::fabs(mx) || std::fabs(mx) < 1e-6)
        return Fit_Line(points, slope, nullptr);
    // Sums that overflow give inf or NaN means: no slope, as for the other fits.
    const double result = my / mx;
    if (!std::isfinite(result))
        return false;
    *slope = result;
    return true;
}

} // namespace Regression

namespace LeastSquares {

bool Fit_Curve(const std::vector<TVector2> &points, double *a, double *b, double *c)
{
    QUORVAL_ASSERT(a);
    QUORVAL_ASSERT(b);
    QUORVAL_ASSERT(c);
    if (points.size() < 3)
        return false;
    const double n = static_cast<double>(points.size());
    double s4 = 0.0, s3 = 0.0, s2 = 0.0, s1 = 0.0, t2 = 0.0, t1 = 0.0, t0 = 0.0;
    for (const TVector2 &p : points) {
        s4 += std::pow(p.x, 4);
        s3 += std::pow(p.x, 3);
        s2 += p.x * p.x;
        s1 += p.x;
        t2 += p.x * p.x * p.y;
        t1 += p.x * p.y;
        t0 += p.y;
    }
    // Cramer's rule on [s4 s3 s2; s3 s2 s1; s2 s1 n] (a, b, c) = (t2, t1, t0).
    auto det3 = [](double a11, double a12, double a13, double a21, double a22, double a23,
                   double a31, double a32, double a33) {
        return a11 * (a22 * a33 - a23 * a32) - a12 * (a21 * a33 - a23 * a31) +
               a13 * (a21 * a32 - a22 * a31);
    };
    const double d = s4 * (n * s2 - s1 * s1) - s3 * (n * s3 - s1 * s2) + s2 * (s1 * s3 - s2 * s2);
    // A singular system leaves only rounding noise in d, measured against the size of its terms.
    const double scale = std::fabs(s4 * n * s2) + std::fabs(s4 * s1 * s1) + std::fabs(s3 * n * s3) +
                         std::fabs(s3 * s1 * s2) + std::fabs(s2 * s1 * s3) +
                         std::fabs(s2 * s2 * s2);
    if (!(std::fabs(d) > 1e-12 * scale))
        return false;
    const double ra = det3(t2, s3, s2, t1, s2, s1, t0, s1, n) / d;
    const double rb = det3(s4, t2, s2, s3, t1, s1, s2, t0, n) / d;
    const double rc = det3(s4, s3, t2, s3, s2, t1, s2, s1, t0) / d;
    if (!All_Finite({ra, rb, rc}))
        return false;
    *a = ra;
    *b = rb;
    *c = rc;
    return true;
}

bool Fit_Curve(const std::vector<TVector2> &points, double *a, double *b, double *c, double *d)
{
    QUORVAL_ASSERT(a);
    QUORVAL_ASSERT(b);
    QUORVAL_ASSERT(c);
    QUORVAL_ASSERT(d);
    double *const outputs[] = {a, b, c, d};
    return Fit_Polynomial(points, 4, outputs);
}

bool Fit_Curve(const std::vector<TVector2> &points, double *a, double *b, double *c, double *d,
               double *e)
{
    QUORVAL_ASSERT(a);
    QUORVAL_ASSERT(b);
    QUORVAL_ASSERT(c);
    QUORVAL_ASSERT(d);
    QUORVAL_ASSERT(e);
    double *const outputs[] = {a, b, c, d, e};
    return Fit_Polynomial(points, 5, outputs);
}

} // namespace LeastSquares
