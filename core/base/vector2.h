#ifndef QUORVAL_CORE_BASE_VECTOR2_H
#define QUORVAL_CORE_BASE_VECTOR2_H

// A point or direction in the plane: two doubles held by value. Graph points and the
// comparison's point lists use x = length, y = plotted value.
class TVector2
{
public:
    double x;
    double y;

    // Defined here, so that lists of millions of points are built and copied without a call
    // per point.
    TVector2() : x(0.0), y(0.0) {}
    TVector2(const TVector2 &v) = default;
    TVector2(const double &x, const double &y) : x(x), y(y) {}
    ~TVector2() = default;

    TVector2 &operator=(const TVector2 &v) = default;

    double operator()(int index) const;
    double &operator()(int index);

    // Scales the vector in place to length 1; its length must be above machine epsilon.
    TVector2 &Normal();
    // The divisor must be above machine epsilon (a negative one is refused too).
    TVector2 &operator/=(const double &d);

    // True for points strictly inside the triangle or on the edge p1-p2 (not its corners).
    static bool Is_Point_In_Triangle(const TVector2 &pt, const TVector2 &p0, const TVector2 &p1,
                                     const TVector2 &p2);
};

// dot product
inline double operator^(const TVector2 &u, const TVector2 &v) { return u.x * v.x + u.y * v.y; }
inline TVector2 operator*(const TVector2 &v, const double &d) { return {v.x * d, v.y * d}; }
inline TVector2 operator*(const double &d, const TVector2 &v) { return {v.x * d, v.y * d}; }
inline TVector2 operator+(const TVector2 &u, const TVector2 &v) { return {u.x + v.x, u.y + v.y}; }
inline TVector2 operator+(const TVector2 &v, const double &d) { return {v.x + d, v.y + d}; }
inline TVector2 operator+(const double &d, const TVector2 &v) { return {v.x + d, v.y + d}; }
inline TVector2 operator-(const TVector2 &u, const TVector2 &v) { return {u.x - v.x, u.y - v.y}; }
inline TVector2 operator-(const TVector2 &v, const double &d) { return {v.x - d, v.y - d}; }
// (d - x, d - y)
inline TVector2 operator-(const double &d, const TVector2 &v) { return {d - v.x, d - v.y}; }
TVector2 operator/(const TVector2 &v, const double &d);

#endif
