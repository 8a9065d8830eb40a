#include "core/vector3.h"

#include "core/assertion.h"

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
    x /= d;
    y /= d;
    z /= d;
    return *this;
}

TVector3 &TVector3::operator*=(const TVector3 &v)
{
    const TVector3 old(*this);
    x = old.y * v.z - old.z * v.y;
    y = old.z * v.x - old.x * v.z;
    z = old.x * v.y - old.y * v.x;
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
