#include "core/base/vector2.h"
#include "core/base/vector3.h"

#include <QtTest>

#include <limits>

class TTestVectors : public QObject
{
    Q_OBJECT

private slots:
    void Indexing()
    {
        TVector2 v(1.5, -2.5);
        QCOMPARE(v(0), 1.5);
        QCOMPARE(v(1), -2.5);
        v(1) = 7.0;
        QCOMPARE(v.y, 7.0);

        TVector3 w(1.0, 2.0, 3.0);
        const TVector3 &cw = w;
        QCOMPARE(cw(0), 1.0);
        QCOMPARE(cw(1), 2.0);
        QCOMPARE(cw(2), 3.0);
        w(2) = -4.0;
        QCOMPARE(w.z, -4.0);
    }

    void Normal_Returns_Itself()
    {
        TVector2 v(3.0, 4.0);
        TVector2 &r = v.Normal();
        QCOMPARE(&r, &v);
        QCOMPARE(v.x, 0.6);
        QCOMPARE(v.y, 0.8);

        TVector3 w(0.0, 3.0, 4.0);
        QCOMPARE(&w.Normal(), &w);
        QCOMPARE(w.y, 0.6);
        QCOMPARE(w.z, 0.8);
    }

    void Arithmetic2()
    {
        const TVector2 a(1.0, 2.0);
        const TVector2 b(3.0, -5.0);
        QCOMPARE(a ^ b, 3.0 - 10.0);
        const TVector2 sum = a + b;
        QCOMPARE(sum.x, 4.0);
        QCOMPARE(sum.y, -3.0);
        const TVector2 diff = a - b;
        QCOMPARE(diff.x, -2.0);
        QCOMPARE(diff.y, 7.0);
        const TVector2 plus = a + 1.0;
        QCOMPARE(plus.x, 2.0);
        QCOMPARE(plus.y, 3.0);
        const TVector2 plus_left = 1.0 + a;
        QCOMPARE(plus_left.x, 2.0);
        QCOMPARE(plus_left.y, 3.0);
        const TVector2 minus = a - 1.0;
        QCOMPARE(minus.x, 0.0);
        QCOMPARE(minus.y, 1.0);
        const TVector2 minus_left = 1.0 - a; // component-wise d - v
        QCOMPARE(minus_left.x, 0.0);
        QCOMPARE(minus_left.y, -1.0);
        const TVector2 scaled = a * 3.0;
        const TVector2 scaled_left = 3.0 * a;
        QCOMPARE(scaled.x, 3.0);
        QCOMPARE(scaled.y, 6.0);
        QCOMPARE(scaled_left.x, 3.0);
        QCOMPARE(scaled_left.y, 6.0);
        const TVector2 half = TVector2(2.0, 4.0) / 2.0;
        QCOMPARE(half.x, 1.0);
        QCOMPARE(half.y, 2.0);
    }

    void Arithmetic3()
    {
        const TVector3 cross = TVector3(1, 0, 0) * TVector3(0, 1, 0);
        QCOMPARE(cross.x, 0.0);
        QCOMPARE(cross.y, 0.0);
        QCOMPARE(cross.z, 1.0);
        // The compound form must use the old components throughout.
        TVector3 u(1.0, 2.0, 3.0);
        u *= TVector3(4.0, 5.0, 6.0);
        QCOMPARE(u.x, 2.0 * 6.0 - 3.0 * 5.0);
        QCOMPARE(u.y, 3.0 * 4.0 - 1.0 * 6.0);
        QCOMPARE(u.z, 1.0 * 5.0 - 2.0 * 4.0);
        QCOMPARE(TVector3(1, 2, 3) ^ TVector3(4, 5, 6), 32.0);

        const TVector3 a(1.0, 2.0, 3.0);
        const TVector3 s = a + TVector3(1.0, 1.0, 1.0);
        QCOMPARE(s.z, 4.0);
        const TVector3 d = a - TVector3(1.0, 1.0, 1.0);
        QCOMPARE(d.z, 2.0);
        QCOMPARE((a + 1.0).x, 2.0);
        QCOMPARE((1.0 + a).z, 4.0);
        QCOMPARE((a - 1.0).y, 1.0);
        QCOMPARE((1.0 - a).z, -2.0);
        QCOMPARE((a * 2.0).z, 6.0);
        QCOMPARE((2.0 * a).y, 4.0);
        const TVector3 q = TVector3(2.0, 4.0, 6.0) / 2.0;
        QCOMPARE(q.x, 1.0);
        QCOMPARE(q.y, 2.0);
        QCOMPARE(q.z, 3.0);
    }

    // An operand that is the vector itself, or one of its own components, counts with its value
    // from before the operation.
    void Compound_Operators_On_Themselves()
    {
        TVector3 u(1.0, 2.0, 3.0);
        u *= u;
        QCOMPARE(u.x, 0.0);
        QCOMPARE(u.y, 0.0);
        QCOMPARE(u.z, 0.0);

        TVector2 v(4.0, 8.0);
        v /= v.x;
        QCOMPARE(v.x, 1.0);
        QCOMPARE(v.y, 2.0);

        TVector3 w(2.0, 4.0, 8.0);
        w /= w.x;
        QCOMPARE(w.x, 1.0);
        QCOMPARE(w.y, 2.0);
        QCOMPARE(w.z, 4.0);
        TVector3 z(2.0, 4.0, 8.0);
        z /= z.z;
        QCOMPARE(z.x, 0.25);
        QCOMPARE(z.y, 0.5);
        QCOMPARE(z.z, 1.0);
    }

    void Point_In_Triangle_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<bool>("inside");
        QTest::newRow("interior") << 0.25 << 0.25 << true;
        QTest::newRow("edge p1-p2") << 0.5 << 0.5 << true;
        QTest::newRow("edge p0-p1") << 0.5 << 0.0 << false;
        QTest::newRow("edge p0-p2") << 0.0 << 0.5 << false;
        QTest::newRow("corner p0") << 0.0 << 0.0 << false;
        QTest::newRow("outside") << 1.0 << 1.0 << false;
        QTest::newRow("outside negative") << -0.1 << 0.2 << false;
    }

    void Point_In_Triangle()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(bool, inside);
        const TVector2 p0(0, 0), p1(1, 0), p2(0, 1);
        QCOMPARE(TVector2::Is_Point_In_Triangle(TVector2(x, y), p0, p1, p2), inside);
        // The same triangle wound the other way gives the same answer for interior points.
        if (x == 0.25)
            QVERIFY(TVector2::Is_Point_In_Triangle(TVector2(x, y), p0, p2, p1));
    }

    void Degenerate_Triangle_Holds_Nothing()
    {
        const TVector2 p0(0, 0), p1(1, 1), p2(2, 2);
        QVERIFY(!TVector2::Is_Point_In_Triangle(TVector2(1, 1), p0, p1, p2));
        QVERIFY(!TVector2::Is_Point_In_Triangle(TVector2(0.5, 0.5), p0, p1, p2));
    }
};

QTEST_APPLESS_MAIN(TTestVectors)
#include "test_vectors.moc"
