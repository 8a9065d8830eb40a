#include "core/base/vector2.h"

#include "core/base/assertion.h"

#include <cmath>
#include <limits>

double TVector2::operator()(int index) const
{
    switch (index) {
    case 0: return x;
    case 1: return y;
    default: QUORVAL_ASSERT(false);
    }
}

double &TVector2::operator()(int index)
{
    switch (index) {
    case 0: return x;
    case 1: return y;
    default: QUORVAL_ASSERT(false);
    }
}

TVector2 &TVector2::Normal()
{
    const double Length = std::sqrt(x * x + y * y);
    QUORVAL_ASSERT(Length > std::numeric_limits<double>::epsilon());
    x /= Length;
    y /= Length;
    return *this;
}

TVector2 &TVector2::operator/=(const double &d)
{
    QUORVAL_ASSERT(d > std::numeric_limits<double>::epsilon());
    // d may be one of this vector's own components (v /= v.x): use its value from before.
    const double divisor = d;
    x /= divisor;
    y /= divisor;
    return *this;
}

bool TVector2::Is_Point_In_Triangle(const TVector2 &pt, const TVector2 &p0, const TVector2 &p1,
                                    const TVector2 &p2)
{
    double s = p0.y * p2.x - p0.x * p2.y + (p2.y - p0.y) * pt.x + (p0.x - p2.x) * pt.y;
    double t = p0.x * p1.y - p0.y * p1.x + (p0.y - p1.y) * pt.x + (p1.x - p0.x) * pt.y;
    if ((s < 0.0) != (t < 0.0))
        return false;
    double area = -p1.y * p2.x + p0.y * (p2.x - p1.x) + p0.x * (p1.y - p2.y) + p1.x * p2.y;
    if (area < 0.0) {
        s = -s;
        t = -t;
        area = -area;
    }
    return s > 0.0 && t > 0.0 && (s + t) <= area;
}

TVector2 operator/(const TVector2 &v, const double &d)
{
    TVector2 result(v);
    result /= d;
    return result;
}
