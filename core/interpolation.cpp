#include "core/interpolation.h"

#include "core/assertion.h"

#include <cmath>

namespace {

// Keys closer than this are treated as one position: no segment, span or slope is taken over them.
constexpr double Key_Tolerance = 1e-6;

// The shared walk of the four interpolators. Key(p) gives the key component of a point; on
// success *result holds the interpolated or extrapolated point.
template <typename TPoint, typename TKey>
bool Interpolate(const std::vector<TPoint> &points, const double &key, TKey Key, TPoint *result)
{
    const std::size_t n = points.size();
    if (n < 2)
        return false;

    const double span = Key(points[n - 1]) - Key(points[0]);
    if (std::fabs(span) < Key_Tolerance)
        return false;
    const double t = (key - Key(points[0])) / span;

    const TPoint *p = nullptr;
    const TPoint *q = nullptr;
    if (t < 0.0) {
        // Beyond the first point: continue the outermost segment on that side that has a usable
        // key spacing, so duplicate end keys never divide by zero.
        for (std::size_t i = 0; i + 1 < n; ++i) {
            if (std::fabs(Key(points[i + 1]) - Key(points[i])) > Key_Tolerance) {
                p = &points[i];
                q = &points[i + 1];
                break;
            }
        }
    } else if (t > 1.0) {
        for (std::size_t i = n - 1; i > 0; --i) {
            if (std::fabs(Key(points[i]) - Key(points[i - 1])) > Key_Tolerance) {
                p = &points[i];
                q = &points[i - 1];
                break;
            }
        }
    } else {
        // The first segment in list order whose closed key interval holds the key.
        for (std::size_t i = 0; i + 1 < n; ++i) {
            const double dk = Key(points[i + 1]) - Key(points[i]);
            if (!(std::fabs(dk) > Key_Tolerance))
                continue;
            const double u = (key - Key(points[i])) / dk;
            if (u < 0.0 || u > 1.0)
                continue;
            p = &points[i];
            q = &points[i + 1];
            break;
        }
    }
    if (p == nullptr)
        return false;

    const TPoint d = *q - *p;
    const double s = (key - Key(*p)) / Key(d);
    *result = *p + d * s;
    return true;
}

} // namespace

namespace Extrapolation {

bool Get_Value(const std::vector<TVector2> &points, const double &x, double *value)
{
    QUORVAL_ASSERT(value);
    *value = 0.0;
    TVector2 r;
    if (!Interpolate(
            points, x, [](const TVector2 &p) { return p.x; }, &r))
        return false;
    *value = r.y;
    return true;
}

bool Get_Value_XY(const std::vector<TVector3> &points, const double &z, double *x_value,
                  double *y_value)
{
    QUORVAL_ASSERT(x_value);
    QUORVAL_ASSERT(y_value);
    *x_value = 0.0;
    *y_value = 0.0;
    TVector3 r;
    if (!Interpolate(
            points, z, [](const TVector3 &p) { return p.z; }, &r))
        return false;
    *x_value = r.x;
    *y_value = r.y;
    return true;
}

bool Get_Value_YZ(const std::vector<TVector3> &points, const double &x, double *y_value,
                  double *z_value)
{
    QUORVAL_ASSERT(y_value);
    QUORVAL_ASSERT(z_value);
    *y_value = 0.0;
    *z_value = 0.0;
    TVector3 r;
    if (!Interpolate(
            points, x, [](const TVector3 &p) { return p.x; }, &r))
        return false;
    *y_value = r.y;
    *z_value = r.z;
    return true;
}

bool Get_Value_ZX(const std::vector<TVector3> &points, const double &y, double *z_value,
                  double *x_value)
{
    QUORVAL_ASSERT(x_value);
    QUORVAL_ASSERT(z_value);
    *z_value = 0.0;
    *x_value = 0.0;
    TVector3 r;
    if (!Interpolate(
            points, y, [](const TVector3 &p) { return p.y; }, &r))
        return false;
    *z_value = r.z;
    *x_value = r.x;
    return true;
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
    *slope = (points.back().y - points.front().y) / dx;
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
    *slope = my / mx;
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
