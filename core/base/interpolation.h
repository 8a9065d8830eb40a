#ifndef QUORVAL_CORE_BASE_INTERPOLATION_H
#define QUORVAL_CORE_BASE_INTERPOLATION_H

#include "core/base/vector2.h"
#include "core/base/vector3.h"

#include <cstddef>
#include <vector>

// Piecewise-linear interpolation with straight-line extrapolation beyond the ends of a point
// list. Each function sets its outputs to 0.0 first and returns false when it produced no value.
namespace Extrapolation {

bool Get_Value(const std::vector<TVector2> &points, const double &x, double *value);

// Get_Value on one point list, answered without scanning the list: a binary search when the keys
// are monotone, an interval tree over the segments otherwise. Every answer is bit for bit the
// one Get_Value gives. Keeps a reference to the list, which must outlive it and stay unchanged.
class TPolyline
{
public:
    enum class TLookup {
        List_Scan,     // keys that are not finite or too large for the rounding bounds
        Binary_Search, // monotone keys
        Interval_Tree  // unordered keys
    };

    explicit TPolyline(const std::vector<TVector2> &points);

    // cursor (may be null) speeds up a series of look-ups at ascending x: start it at 0 and pass
    // it to every call of the series.
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
    std::size_t d_before_first; // segment continued before the first point, or none
    std::size_t d_after_last;   // point continued after the last one (with its predecessor)
};
bool Get_Value_XY(const std::vector<TVector3> &points, const double &z, double *x_value,
                  double *y_value);
bool Get_Value_YZ(const std::vector<TVector3> &points, const double &x, double *y_value,
                  double *z_value);
bool Get_Value_ZX(const std::vector<TVector3> &points, const double &y, double *z_value,
                  double *x_value);

} // namespace Extrapolation

// Straight-line estimators.
namespace Regression {

bool Get_Endfit_Slope(const std::vector<TVector2> &points, double *slope);
// intercept may be null. Returns false (outputs untouched) for fewer than two points or when all
// points share one x.
bool Fit_Line(const std::vector<TVector2> &points, double *slope, double *intercept);
bool Get_Slope_Through_Zero(const std::vector<TVector2> &points, double *slope);

} // namespace Regression

// Polynomial least-squares fits; coefficients are given highest power first.
namespace LeastSquares {

bool Fit_Curve(const std::vector<TVector2> &points, double *a, double *b, double *c);
bool Fit_Curve(const std::vector<TVector2> &points, double *a, double *b, double *c, double *d);
bool Fit_Curve(const std::vector<TVector2> &points, double *a, double *b, double *c, double *d,
               double *e);

} // namespace LeastSquares

#endif
