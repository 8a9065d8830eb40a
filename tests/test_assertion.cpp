#include "core/base/assertion.h"
#include "core/base/interpolation.h"
#include "core/base/vector2.h"

#include "test_support.h"

#include <QtTest>

using Support::Abort_Text;

class TTestAssertion : public QObject
{
    Q_OBJECT

private slots:
    void Failed_Assertion_Stops_With_Condition_File_And_Signature()
    {
        const QString text = Abort_Text([] {
            TVector2 v(1.0, 1.0);
            v /= 0.0;
        });
        QVERIFY2(text.contains("\"d > std::numeric_limits<double>::epsilon()\""), qPrintable(text));
        QVERIFY2(text.contains(" core/base/vector2,"), qPrintable(text));
        QVERIFY2(text.contains("TVector2& TVector2::operator/=(const double&)"), qPrintable(text));
    }

    void Null_Output_Pointer_Names_The_Parameter()
    {
        const QString text = Abort_Text([] {
            Extrapolation::Get_Value({{0, 0}, {1, 1}}, 0.5, nullptr);
        });
        QVERIFY2(text.contains("\"value\""), qPrintable(text));
        QVERIFY2(text.contains(" core/base/interpolation,"), qPrintable(text));
        QVERIFY2(text.contains("bool Extrapolation::Get_Value(const std::vector<TVector2>&, const "
                               "double&, double*)"),
                 qPrintable(text));
    }

    void Index_Out_Of_Range_Fails_False()
    {
        const QString text = Abort_Text([] {
            const TVector2 v;
            volatile double d = v(2);
            (void)d;
        });
        QVERIFY2(text.contains("\"false\""), qPrintable(text));
    }

    void Passing_Check_Does_Nothing()
    {
        const Support::TChildEnd end = Support::Run_Child(
            [] {
                QUORVAL_ASSERT(1 + 1 == 2);
                return QByteArray("ran on");
            },
            true);
        QVERIFY(end.Exited_Cleanly());
        QCOMPARE(end.reply, QByteArray("ran on"));
        QVERIFY(end.error_output.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TTestAssertion)
#include "test_assertion.moc"
