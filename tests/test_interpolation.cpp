#include "core/base/interpolation.h"

#include <QtTest>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using Points = std::vector<TVector2>;
Q_DECLARE_METATYPE(Points)

class TTestInterpolation : public QObject
{
    Q_OBJECT

private:
    static bool Same_Bits(double a, double b)
    {
        std::uint64_t ua, ub;
        std::memcpy(&ua, &a, sizeof a);
        std::memcpy(&ub, &b, sizeof b);
        return ua == ub;
    }

    static double Value_At(const Points &points, double x, bool *ok)
    {
        double value = 123.0;
        *ok = Extrapolation::Get_Value(points, x, &value);
        return value;
    }

private slots:
    void Get_Value_data()
    {
        QTest::addColumn<Points>("points");
        QTest::addColumn<double>("x");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("expected");

        const Points line{{0, 0}, {10, 10}};
        QTest::newRow("inside") << line << 5.0 << true << 5.0;
        QTest::newRow("before first") << line << -5.0 << true << -5.0;
        QTest::newRow("after last") << line << 15.0 << true << 15.0;
        QTest::newRow("at first key") << line << 0.0 << true << 0.0;
        QTest::newRow("at last key") << line << 10.0 << true << 10.0;

        const Points peak{{0, 0}, {10, 10}, {20, 0}};
        QTest::newRow("interior key from ending segment") << peak << 10.0 << true << 10.0;
        QTest::newRow("extrapolate last pair") << peak << 25.0 << true << -5.0;

        QTest::newRow("empty") << Points{} << 1.0 << false << 0.0;
        QTest::newRow("single point") << Points{{1, 1}} << 1.0 << false << 0.0;
        QTest::newRow("span below 1e-6") << Points{{0, 1}, {0.0000005, 2}} << 0.0 << false << 0.0;
        QTest::newRow("zero span") << Points{{3, 1}, {3, 2}} << 3.0 << false << 0.0;

        const Points decreasing{{10, 0}, {0, 10}};
        QTest::newRow("decreasing inside") << decreasing << 2.0 << true << 8.0;
        QTest::newRow("decreasing beyond first") << decreasing << 12.0 << true << -2.0;

        const Points unsorted{{0, 0}, {10, 10}, {5, 20}};
        QTest::newRow("unsorted first segment") << unsorted << 2.0 << true << 2.0;
        // t = 1.4 selects the extrapolation through the last two points even though the first
        // segment contains the key.
        QTest::newRow("unsorted beyond last") << unsorted << 7.0 << true << 16.0;

        // Exactly 1e-6 of span passes the range test but the segment itself is skipped.
        QTest::newRow("span exactly 1e-6") << Points{{0, 0}, {1e-6, 1}} << 5e-7 << false << 0.0;

        // Duplicate end keys: extrapolation continues the outermost usable segment.
        const Points dup_first{{0, 1}, {0, 2}, {10, 5}};
        QTest::newRow("duplicate first key") << dup_first << -5.0 << true << 0.5;
        QTest::newRow("duplicate first key, at it") << dup_first << 0.0 << true << 2.0;
        const Points dup_last{{0, 0}, {10, 10}, {10, 20}};
        QTest::newRow("duplicate last key") << dup_last << 15.0 << true << 15.0;
        const Points dup_both{{0, 1}, {0, 2}, {10, 5}, {10, 7}};
        QTest::newRow("duplicate keys both ends, before") << dup_both << -10.0 << true << -1.0;
        QTest::newRow("duplicate keys both ends, after") << dup_both << 20.0 << true << 8.0;
    }

    void Get_Value()
    {
        QFETCH(Points, points);
        QFETCH(double, x);
        QFETCH(bool, ok);
        QFETCH(double, expected);
        bool result = false;
        const double value = Value_At(points, x, &result);
        QCOMPARE(result, ok);
        QVERIFY(std::isfinite(value));
        if (ok)
            QVERIFY2(
                std::fabs(value - expected) < 1e-9,
                qPrintable(
                    QString("got %1, want %2").arg(value, 0, 'g', 17).arg(expected, 0, 'g', 17)));
        else
            QCOMPARE(value, 0.0);
    }

    void Narrow_Segment_Value()
    {
        // Between 5 and 5.0000005 the narrow segment is skipped, so no segment holds the key.
        const Points narrow{{0, 0}, {5, 5}, {5.0000005, 100}, {10, 10}};
        bool ok = true;
        const double v = Value_At(narrow, 5.0000002, &ok);
        QVERIFY(!ok);
        QCOMPARE(v, 0.0);
        // Just past it the next segment answers.
        QVERIFY(std::fabs(Value_At(narrow, 7.5, &ok) - (100.0 + (10.0 - 100.0) * (7.5 - 5.0000005) /
                                                                    (10.0 - 5.0000005))) < 1e-9);
        QVERIFY(ok);
    }

    void No_Usable_Segment_Anywhere()
    {
        // Span above 1e-6 but every segment at most 1e-6 wide: nothing to extrapolate along.
        Points stairs;
        for (int i = 0; i <= 4; ++i)
            stairs.emplace_back(i * 0.9e-6, i);
        bool ok = true;
        QCOMPARE(Value_At(stairs, -1.0, &ok), 0.0);
        QVERIFY(!ok);
        QCOMPARE(Value_At(stairs, 1.0, &ok), 0.0);
        QVERIFY(!ok);
        QCOMPARE(Value_At(stairs, 1e-6, &ok), 0.0);
        QVERIFY(!ok);
    }

    void Vector3_Variants()
    {
        const std::vector<TVector3> points{{0, 0, 0}, {2, 4, 6}};
        double a = 9.0, b = 9.0;
        QVERIFY(Extrapolation::Get_Value_YZ(points, 1.0, &a, &b));
        QCOMPARE(a, 2.0);
        QCOMPARE(b, 3.0);
        QVERIFY(Extrapolation::Get_Value_ZX(points, 2.0, &a, &b));
        QCOMPARE(a, 3.0);
        QCOMPARE(b, 1.0);
        QVERIFY(Extrapolation::Get_Value_XY(points, 3.0, &a, &b));
        QCOMPARE(a, 1.0);
        QCOMPARE(b, 2.0);
        // Beyond the ends, and failures clearing both outputs.
        QVERIFY(Extrapolation::Get_Value_YZ(points, 4.0, &a, &b));
        QCOMPARE(a, 8.0);
        QCOMPARE(b, 12.0);
        a = b = 9.0;
        QVERIFY(!Extrapolation::Get_Value_XY({{1, 1, 1}}, 1.0, &a, &b));
        QCOMPARE(a, 0.0);
        QCOMPARE(b, 0.0);
        a = b = 9.0;
        QVERIFY(!Extrapolation::Get_Value_ZX({{0, 1, 2}, {5, 1, 7}}, 1.0, &a, &b));
        QCOMPARE(a, 0.0);
        QCOMPARE(b, 0.0);
    }

    void Fits_On_Parabola()
    {
        const Points parabola{{0, 1}, {1, 2}, {2, 5}, {3, 10}};
        double a = 7, b = 7, c = 7, d = 7, e = 7;
        QVERIFY(LeastSquares::Fit_Curve(parabola, &a, &b, &c));
        QVERIFY(std::fabs(a - 1) < 1e-9 && std::fabs(b) < 1e-9 && std::fabs(c - 1) < 1e-9);
        QVERIFY(LeastSquares::Fit_Curve(parabola, &a, &b, &c, &d));
        QVERIFY(std::fabs(a) < 1e-9 && std::fabs(b - 1) < 1e-9 && std::fabs(c) < 1e-9 &&
                std::fabs(d - 1) < 1e-9);

        // Degree 4 through y = x^4 - 2x + 3 on five points recovers it.
        Points quartic;
        for (int i = -2; i <= 2; ++i)
            quartic.emplace_back(i, std::pow(i, 4) - 2.0 * i + 3.0);
        QVERIFY(LeastSquares::Fit_Curve(quartic, &a, &b, &c, &d, &e));
        QVERIFY(std::fabs(a - 1) < 1e-9 && std::fabs(b) < 1e-9 && std::fabs(c) < 1e-9);
        QVERIFY(std::fabs(d + 2) < 1e-9 && std::fabs(e - 3) < 1e-9);
    }

    void Fit_Failures_And_Outputs()
    {
        double a = 7, b = 7, c = 7, d = 7, e = 7;
        // Too few points: degree 2 leaves outputs untouched, degrees 3 and 4 clear them.
        QVERIFY(!LeastSquares::Fit_Curve(Points{{0, 1}, {1, 2}}, &a, &b, &c));
        QVERIFY(a == 7 && b == 7 && c == 7);
        QVERIFY(!LeastSquares::Fit_Curve(Points{{0, 1}, {1, 2}, {2, 5}}, &a, &b, &c, &d));
        QVERIFY(a == 0 && b == 0 && c == 0 && d == 0);
        a = b = c = d = e = 7;
        QVERIFY(
            !LeastSquares::Fit_Curve(Points{{0, 1}, {1, 2}, {2, 5}, {3, 1}}, &a, &b, &c, &d, &e));
        QVERIFY(a == 0 && b == 0 && c == 0 && d == 0 && e == 0);

        // Singular normal equations (all points on one x): false, never inf or NaN.
        a = b = c = 7;
        QVERIFY(!LeastSquares::Fit_Curve(Points{{0.1, 1}, {0.1, 2}, {0.1, 3}}, &a, &b, &c));
        QVERIFY(a == 7 && b == 7 && c == 7);
        QVERIFY(!LeastSquares::Fit_Curve(Points{{0.1, 1}, {0.1, 2}, {0.1, 3}, {0.1, 4}}, &a, &b, &c,
                                         &d));
        QVERIFY(a == 0 && b == 0 && c == 0 && d == 0);
        // Only two distinct x values cannot fix a parabola.
        a = b = c = 7;
        QVERIFY(
            !LeastSquares::Fit_Curve(Points{{0.1, 1}, {0.3, 2}, {0.1, 3}, {0.3, 4}}, &a, &b, &c));
        QVERIFY(a == 7 && b == 7 && c == 7);
    }

    void Line_Fits()
    {
        const Points line{{0, 1}, {1, 3}, {2, 5}};
        double slope = 9, intercept = 9;
        QVERIFY(Regression::Fit_Line(line, &slope, &intercept));
        QVERIFY(std::fabs(slope - 2) < 1e-12 && std::fabs(intercept - 1) < 1e-12);
        QVERIFY(Regression::Fit_Line(line, &slope, nullptr));
        QVERIFY(Regression::Get_Endfit_Slope(line, &slope));
        QCOMPARE(slope, 2.0);

        slope = 9;
        QVERIFY(!Regression::Get_Endfit_Slope(Points{{0, 0}, {0.0000005, 1}}, &slope));
        QCOMPARE(slope, 0.0);
        slope = 9;
        QVERIFY(!Regression::Get_Endfit_Slope(Points{{1, 1}}, &slope));
        QCOMPARE(slope, 0.0);

        // Fewer than two points, or all on one x (0.1 is not exact in binary): false, untouched.
        slope = intercept = 9;
        QVERIFY(!Regression::Fit_Line(Points{{1, 1}}, &slope, &intercept));
        QVERIFY(!Regression::Fit_Line(Points{{0.1, 1}, {0.1, 2}, {0.1, 5}}, &slope, &intercept));
        QVERIFY(!Regression::Fit_Line(Points{{1e6 + 0.1, 1}, {1e6 + 0.1, 2}}, &slope, &intercept));
        QVERIFY(slope == 9 && intercept == 9);
        // Sums that overflow are refused rather than returned as inf or NaN.
        QVERIFY(
            !Regression::Fit_Line(Points{{1e200, 1}, {-1e200, 2}, {3e200, 1}}, &slope, &intercept));
        QVERIFY(slope == 9 && intercept == 9);
    }

    void Polyline_Matches_List_Scan()
    {
        // Direct comparison with the interpolation routine on awkward lists: increasing,
        // decreasing, unsorted, with equal and nearly equal keys, queried at and next to every
        // key, between keys and far outside.
        std::mt19937_64 rng(20261207);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::uniform_int_distribution<int> pick(0, 9);
        const double Near_Zero[] = {-1e-300, -4.9e-324, 0.0,  4.9e-324, 1e-310,
                                    1e-300,  1e-6,      2e-6, 1.0,      1.000001};
        long checked = 0;
        int lookups[3] = {0, 0, 0};
        for (int trial = 0; trial < 6000; ++trial) {
            const int n = 1 + static_cast<int>(unit(rng) * 25);
            const int style = trial % 6;
            std::vector<TVector2> points;
            double key = (unit(rng) - 0.5) * (trial % 7 == 0 ? 1e8 : 100.0);
            if (style == 5)
                key = -1.0;
            for (int i = 0; i < n; ++i) {
                const int r = pick(rng);
                if (style == 4)
                    key = std::round(unit(rng) * 20.0); // unsorted, many equal
                else if (style == 5)
                    key = std::max(key, Near_Zero[pick(rng)]); // around 0, subnormal
                else if (r == 0)
                    key += 0.0; // equal
                else if (r == 1)
                    key += 1e-6; // at the threshold
                else if (r == 2)
                    key = std::nextafter(key + 1e-6, 1e300); // just above it
                else if (r == 3)
                    key += 1e-7;
                else
                    key += unit(rng) * (style == 3 ? 1e-3 : 10.0);
                points.emplace_back(key, (unit(rng) - 0.5) * 0.01);
            }
            if (style == 1 || style == 2)
                for (TVector2 &p : points)
                    p.x = -p.x; // decreasing
            if (style == 2 && n > 2)
                std::swap(points[0], points[n / 2]); // then unsorted

            std::vector<double> keys;
            for (const TVector2 &p : points) {
                keys.push_back(p.x);
                keys.push_back(std::nextafter(p.x, 1e300));
                keys.push_back(std::nextafter(p.x, -1e300));
                keys.push_back(p.x + 0.37);
                keys.push_back(p.x - 1e-6);
            }
            keys.push_back(points.front().x - 1000.0);
            keys.push_back(points.back().x + 1000.0);
            keys.push_back(std::numeric_limits<double>::quiet_NaN());
            keys.push_back(std::numeric_limits<double>::infinity());

            const Extrapolation::TPolyline polyline(points);
            ++lookups[static_cast<int>(polyline.Lookup())];
            for (const double x : keys) {
                double expected = 5.0;
                double actual = 7.0;
                const bool expected_ok = Extrapolation::Get_Value(points, x, &expected);
                const bool actual_ok = polyline.Get_Value(x, &actual);
                if (expected_ok != actual_ok || !Same_Bits(expected, actual)) {
                    for (const TVector2 &p : points)
                        qWarning("%.17g %.17g", p.x, p.y);
                    QFAIL(qPrintable(QStringLiteral("trial %1 key %2: %3 vs %4")
                                         .arg(trial)
                                         .arg(x, 0, 'g', 17)
                                         .arg(expected, 0, 'g', 17)
                                         .arg(actual, 0, 'g', 17)));
                }
                ++checked;
            }
        }
        QVERIFY(checked > 200000);
        // Both searches are what is being compared, not the fallback to the scan.
        QVERIFY(lookups[int(Extrapolation::TPolyline::TLookup::Binary_Search)] > 2500);
        QVERIFY(lookups[int(Extrapolation::TPolyline::TLookup::Interval_Tree)] > 1000);
    }

    void Slopes_Never_Infinite_data()
    {
        QTest::addColumn<Points>("points");
        // End points whose values lie so far apart that their difference overflows (and the
        // through-zero estimate falls back to the line fit, which overflows too).
        QTest::newRow("differences overflow") << Points{{0, -1e308}, {1, 1e308}};
        // Sums of the through-zero estimate that overflow to inf / inf.
        QTest::newRow("sums overflow") << Points{{1e308, 1e308}, {1e308, 1e308}, {1e308, 1e308}};
    }

    // Like the other fits, the slopes never report success with inf or NaN: false and 0.
    void Slopes_Never_Infinite()
    {
        QFETCH(Points, points);
        double slope = 9;
        QVERIFY(!Regression::Get_Endfit_Slope(points, &slope));
        QCOMPARE(slope, 0.0);
        slope = 9;
        QVERIFY(!Regression::Get_Slope_Through_Zero(points, &slope));
        QCOMPARE(slope, 0.0);
    }

    void Slope_Through_Zero()
    {
        double slope = 9;
        QVERIFY(Regression::Get_Slope_Through_Zero(Points{{1, 0.5}, {2, 1}, {-1, -0.5}}, &slope));
        QCOMPARE(slope, 0.5);
        // Steeper than 1: falls back to the least-squares slope.
        QVERIFY(Regression::Get_Slope_Through_Zero(Points{{1, 2}, {2, 4}}, &slope));
        QVERIFY(std::fabs(slope - 2) < 1e-12);
        slope = 9;
        QVERIFY(!Regression::Get_Slope_Through_Zero(Points{{1, 5}}, &slope));
        QCOMPARE(slope, 0.0);
        QVERIFY(Regression::Get_Slope_Through_Zero(Points{{5, 1}}, &slope));
        QCOMPARE(slope, 0.2);
        slope = 9;
        QVERIFY(!Regression::Get_Slope_Through_Zero(Points{}, &slope));
        QCOMPARE(slope, 0.0);
    }
};

QTEST_APPLESS_MAIN(TTestInterpolation)
#include "test_interpolation.moc"
