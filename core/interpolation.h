#ifndef QUORVAL_CORE_INTERPOLATION_H
#define QUORVAL_CORE_INTERPOLATION_H

#include "core/vector2.h"
#include "core/vector3.h"

#include <vector>

// Piecewise-linear interpolation with straight-line extrapolation beyond the ends of a point
// list. Each function sets its outputs to 0.0 first and returns false when it produced no value.
namespace Extrapolation {

bool Get_Value(const std::vector<TVector2> &points, const double &x, double *value);
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
