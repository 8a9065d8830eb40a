#ifndef QUORVAL_CORE_BASE_VECTOR3_H
#define QUORVAL_CORE_BASE_VECTOR3_H

// A point or direction in space: three doubles held by value.
class TVector3
{
public:
    double x;
    double y;
    double z;

    TVector3();
    TVector3(const TVector3 &v);
    TVector3(const double &x, const double &y, const double &z);
    ~TVector3();

    TVector3 &operator=(const TVector3 &v) = default;

    double operator()(int index) const;
    double &operator()(int index);

    // Scales the vector in place to length 1; its length must be above machine epsilon.
    TVector3 &Normal();
    // The divisor must be above machine epsilon (a negative one is refused too).
    TVector3 &operator/=(const double &d);
    // Replaces the vector by its cross product with v.
    TVector3 &operator*=(const TVector3 &v);
};

double operator^(const TVector3 &u, const TVector3 &v);   // dot product
TVector3 operator*(const TVector3 &u, const TVector3 &v); // cross product
TVector3 operator*(const TVector3 &v, const double &d);
TVector3 operator*(const double &d, const TVector3 &v);
TVector3 operator+(const TVector3 &u, const TVector3 &v);
TVector3 operator+(const TVector3 &v, const double &d);
TVector3 operator+(const double &d, const TVector3 &v);
TVector3 operator-(const TVector3 &u, const TVector3 &v);
TVector3 operator-(const TVector3 &v, const double &d);
TVector3 operator-(const double &d, const TVector3 &v); // (d - x, d - y, d - z)
TVector3 operator/(const TVector3 &v, const double &d);

#endif
