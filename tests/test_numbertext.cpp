#include "src/compute/numbertext.h"

#include <QLocale>
#include <QtTest>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

class TTestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void Shortest_Fixed_Text_data();
    void Shortest_Fixed_Text();
    void Shortest_Fixed_Reads_Back_Bit_For_Bit();
    void Fixed_Text_As_Qt_Writes_It();
    void Readable_Text_data();
    void Readable_Text();
    void Typed_Text_data();
    void Typed_Text();
    void Data_Resolution();
    void Decimal_Sum_And_Difference_data();
    void Decimal_Sum_And_Difference();
    void Decimal_Difference_Undoes_Decimal_Sum();
};

void TTestNumberText::Shortest_Fixed_Text_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("least_decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("five decimals suffice") << 10.00012 << 5 << "10.00012";
    QTest::newRow("whole number") << 20.0 << 5 << "20.00000";
    QTest::newRow("six decimals") << 10.000125 << 5 << "10.000125";
    QTest::newRow("twelve decimals") << -0.000000000001 << 5 << "-0.000000000001";
    QTest::newRow("third of one") << 1.0 / 3.0 << 5 << "0.3333333333333333";
    QTest::newRow("no decimals asked") << 1.005 << 0 << "1.005";
    QTest::newRow("whole, no decimals") << 1000.0 << 0 << "1000";
    QTest::newRow("negative zero") << -0.0 << 5 << "-0.00000";
    QTest::newRow("positive zero") << 0.0 << 5 << "0.00000";
    QTest::newRow("beyond 2^53 as written so far") << 1e23 << 5 << "99999999999999991611392.00000";
    QTest::newRow("tiny, no exponent") << 3e-20 << 5 << "0.00000000000000000003";
}

void TTestNumberText::Shortest_Fixed_Text()
{
    QFETCH(double, value);
    QFETCH(int, least_decimals);
    QFETCH(QString, text);
    QCOMPARE(NumberText::Shortest_Fixed(value, least_decimals), text);
}

void TTestNumberText::Shortest_Fixed_Reads_Back_Bit_For_Bit()
{
    // Values with 1 to 12 decimals as people type them, and doubles of any bit pattern.
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 20000; ++i) {
        double value;
        if (i % 2 == 0) {
            const int decimals = 1 + i % 12;
            const double scale = std::pow(10.0, decimals);
            value = static_cast<double>(static_cast<std::int64_t>(random() % 2000000000000ULL) -
                                        1000000000000LL) /
                    scale;
        } else {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value))
                continue;
        }
        const QString text = NumberText::Shortest_Fixed(value, 5);
        bool ok = false;
        const double back = text.toDouble(&ok);
        QVERIFY2(ok && std::memcmp(&back, &value, sizeof value) == 0, qPrintable(text));
        // The data file's reader reads it back alike.
        const QByteArray latin1 = text.toLatin1();
        double read = 0.0;
        QVERIFY(NumberText::Read_File_Number(latin1.constData(), latin1.constData() + latin1.size(),
                                             &read));
        QVERIFY2(std::memcmp(&read, &value, sizeof value) == 0, qPrintable(text));
        QVERIFY2(!text.contains(QLatin1Char('e')), qPrintable(text));
        QVERIFY2(text.size() - text.indexOf(QLatin1Char('.')) - 1 >= 5, qPrintable(text));
        // The decimals carried are the shortest text's, found without writing it.
        const int shortest = NumberText::Shortest_Fixed(value, 0).section('.', 1).size();
        QCOMPARE(NumberText::Carried_Decimals(value, 0, 17), std::min(shortest, 17));
    }
}

void TTestNumberText::Fixed_Text_As_Qt_Writes_It()
{
    // The report's and the lists' formatter against QString::arg: doubles of any bit pattern
    // and of every magnitude, decimal values with ties among them, 0 to 20 decimals.
    std::mt19937_64 random(28);
    int in_place = 0;
    for (int i = 0; i < 30000; ++i) {
        double value = std::ldexp(static_cast<double>(random() % 100000), -int(random() % 60));
        if (i % 3 == 0) {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
        } else if (i % 3 == 1) {
            value = static_cast<double>(static_cast<std::int64_t>(random() % 2000000000)) / 1e4;
        }
        const int decimals = i % 2 == 0 ? 4 : static_cast<int>(random() % 21);
        QByteArray text;
        NumberText::Append_Fixed(&text, value, 10, decimals);
        QCOMPARE(text, QString("%1").arg(value, 10, 'f', decimals, QChar(' ')).toLatin1());
        // Written in place, where that takes the value, the same field.
        char field[64];
        const char *const end = NumberText::Write_Fixed(field, value, 10, decimals);
        if (end != nullptr)
            QCOMPARE(QByteArray(field, int(end - field)), text);
        in_place += end != nullptr;
    }
    // Most values are written in place.
    QVERIFY(in_place > 15000);
}

void TTestNumberText::Readable_Text_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("significant");
    QTest::addColumn<QString>("text");
    QTest::newRow("four decimals suffice") << 12.34567 << 1 << "12.3457";
    QTest::newRow("would read as zero") << 0.00003 << 1 << "0.00003";
    QTest::newRow("rounds up to 0.0001") << 0.00005 << 1 << "0.0001";
    QTest::newRow("negative, would read as -0.0000") << -0.0000049 << 1 << "-0.000005";
    QTest::newRow("negative zero") << -0.0 << 1 << "0.0000";
    QTest::newRow("uncertainty of 0.03 um") << 0.00003 << 2 << "0.000030";
    QTest::newRow("uncertainty rounding to two digits") << 0.000996 << 2 << "0.0010";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 1 << "------";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 2 << "------";
}

void TTestNumberText::Readable_Text()
{
    QFETCH(double, value);
    QFETCH(int, significant);
    QFETCH(QString, text);
    QCOMPARE(NumberText::Readable(value, significant), text);
}

void TTestNumberText::Typed_Text_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("de: comma") << "de_DE" << "30,50012" << 30.50012;
    QTest::newRow("de: point") << "de_DE" << "30.5" << 30.5;
    QTest::newRow("de: groups") << "de_DE" << " -1.000.000,5 " << -1000000.5;
    QTest::newRow("de: group after the comma") << "de_DE" << "1,000.5" << qQNaN();
    QTest::newRow("de: group of two") << "de_DE" << "10.00,5" << qQNaN();
    QTest::newRow("en: groups") << "en_US" << "1,000.5" << 1000.5;
    QTest::newRow("en: comma is no decimal mark") << "en_US" << "30,5" << qQNaN();
    QTest::newRow("en: group after a zero") << "en_US" << "0,500" << qQNaN();
    QTest::newRow("trailing letters") << "de_DE" << "0,5mm" << qQNaN();
    QTest::newRow("empty") << "de_DE" << "" << qQNaN();
}

void TTestNumberText::Typed_Text()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(double, value); // not a number: the text is refused, the value untouched
    double typed = qQNaN();
    QCOMPARE(NumberText::Read_Typed(text, &typed, QLocale(locale)), !std::isnan(value));
    QVERIFY(std::isnan(typed) == std::isnan(value) && (std::isnan(typed) || typed == value));
}

void TTestNumberText::Data_Resolution()
{
    // Zero at the resolution has no sign.
    QCOMPARE(NumberText::At_Resolution(-0.00000000002, 4), QString("0.0000"));
    QCOMPARE(NumberText::At_Resolution(-0.00003, 5), QString("-0.00003"));
}

void TTestNumberText::Decimal_Sum_And_Difference_data()
{
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("sum");
    QTest::addColumn<double>("difference");
    // The double sums would be 0.30000000000000004, 0.8999999999999999 and 0.09999999999999998.
    QTest::newRow("typed 0.1, offset 0.2") << 0.1 << 0.2 << 0.3 << -0.1;
    QTest::newRow("typed 0.7, offset 0.2") << 0.7 << 0.2 << 0.9 << 0.5;
    QTest::newRow("0.3 less 0.2") << 0.3 << -0.2 << 0.1 << 0.5;
    QTest::newRow("tiny beside an offset") << 0.0000225 << 2.12345 << 2.1234725 << -2.1234275;
    QTest::newRow("far apart magnitudes") << 1e-300 << 1e300 << 1e300 << -1e300;
    QTest::newRow("carry into a new digit") << 9.99 << 0.01 << 10.0 << 9.98;
    QTest::newRow("exact zero is +0") << 2.5 << -2.5 << 0.0 << 5.0;
    QTest::newRow("zeros keep the double rules") << -0.0 << -0.0 << -0.0 << 0.0;
    QTest::newRow("overflow as doubles do") << 1.7e308 << 1.7e308
                                            << std::numeric_limits<double>::infinity() << 0.0;
}

void TTestNumberText::Decimal_Sum_And_Difference()
{
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, sum);
    QFETCH(double, difference);
    const double got_sum = NumberText::Decimal_Sum(a, b);
    const double got_difference = NumberText::Decimal_Difference(a, b);
    QVERIFY2(std::memcmp(&got_sum, &sum, sizeof sum) == 0,
             qPrintable(QString::number(got_sum, 'g', 17)));
    QVERIFY2(std::memcmp(&got_difference, &difference, sizeof sum) == 0,
             qPrintable(QString::number(got_difference, 'g', 17)));
}

void TTestNumberText::Decimal_Difference_Undoes_Decimal_Sum()
{
    // Values typed with up to 9 decimals and offsets with up to 6, below 10,000 mm: the sum has
    // at most 15 digits, so taking the offset off again gives the typed value bit for bit.
    std::mt19937_64 random(33);
    const auto Decimal = [&random](int most_decimals) {
        const int decimals = static_cast<int>(random() % (most_decimals + 1));
        const std::int64_t range = static_cast<std::int64_t>(std::pow(10.0, 4 + decimals));
        return static_cast<double>(static_cast<std::int64_t>(random() % (2 * range)) - range) /
               std::pow(10.0, decimals);
    };
    for (int i = 0; i < 20000; ++i) {
        const double typed = Decimal(9);
        const double offset = Decimal(6);
        const double back =
            NumberText::Decimal_Difference(NumberText::Decimal_Sum(typed, offset), offset);
        QVERIFY2(std::memcmp(&back, &typed, sizeof typed) == 0,
                 qPrintable(QString("%1 %2").arg(typed, 0, 'g', 17).arg(offset, 0, 'g', 17)));
    }
}

QTEST_GUILESS_MAIN(TTestNumberText)
#include "test_numbertext.moc"
