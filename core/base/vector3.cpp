#include "core/base/vector3.h"

#include "core/base/assertion.h"

#include <cmath>
#include <limits>

TVector3::TVector3() : x(0.0), y(0.0), z(0.0) {}

TVector3::TVector3(const TVector3 &v) = default;

TVector3::TVector3(const double &x, const double &y, const double &z) : x(x), y(y), z(z) {}

TVector3::~TVector3() = default;

double TVector3::operator()(int index) const
{
    switch (index) {
    case 0: return x;
    case 1: return y;
    case 2: return z;
    default: QUORVAL_ASSERT(false);
    }
}

double &TVector3::operator()(int index)
{
    switch (index) {
    case 0: return x;
    case 1: return y;
    case 2: return z;
    default: QUORVAL_ASSERT(false);
    }
}

TVector3 &TVector3::Normal()
{
    const double Length = std::sqrt(x * x + y * y + z * z);
    QUORVAL_ASSERT(Length > std::numeric_limits<double>::epsilon());
    x /= Length;
    y /= Length;
    z /= Length;
    return *this;
}

TVector3 &TVector3::operator/=(const double &d)
{
    QUORVAL_ASSERT(d > std::numeric_limits<double>::epsilon());
    // d may be one of this vector's own components (v /= v.z): use its value from before.
    const double divisor = d;
    x /= divisor;
    y /= divisor;
    z /= divisor;
    return *this;
}

TVector3 &TVector3::operator*=(const TVector3 &v)
{
    // v may be this vector itself (v *= v): both operands are read from copies.
    const TVector3 old(*this);
    const TVector3 other(v);
    x = old.y * other.z - old.z * other.y;
    y = old.z * other.x - old.x * other.z;
    z = old.x * other.y - old.y * other.x;
    return *this;
}

double operator^(const TVector3 &u, const TVector3 &v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

TVector3 operator*(const TVector3 &u, const TVector3 &v)
{
    TVector3 result(u);
    result *= v;
    return result;
}

TVector3 operator*(const TVector3 &v, const double &d)
{
    return TVector3(v.x * d, v.y * d, v.z * d);
}
TVector3 operator*(const double &d, const TVector3 &v)
{
    return TVector3(v.x * d, v.y * d, v.z * d);
}
TVector3 operator+(const TVector3 &u, const TVector3 &v)
{
    return TVector3(u.x + v.x, u.y + v.y, u.z + v.z);
}
TVector3 operator+(const TVector3 &v, const double &d)
{
    return TVector3(v.x + d, v.y + d, v.z + d);
}
TVector3 operator+(const double &d, const TVector3 &v)
{
    return TVector3(v.x + d, v.y + d, v.z + d);
}
TVector3 operator-(const TVector3 &u, const TVector3 &v)
{
    return TVector3(u.x - v.x, u.y - v.y, u.z - v.z);
}
TVector3 operator-(const TVector3 &v, const double &d)
{
    return TVector3(v.x - d, v.y - d, v.z - d);
}
TVector3 operator-(const double &d, const TVector3 &v)
{
    return TVector3(d - v.x, d - v.y, d - v.z);
}

TVector3 operator/(const TVector3 &v, const double &d)
{
    TVector3 result(v);
    result /= d;
    return result;
}
