#include "core/base/interpolation.h"
#include "src/compute/comparison.h"
#include "src/compute/report.h"
#include "src/documents/comparisongraphs.h"
#include "src/reporttool/reporttool.h"
#include "tests/reference/literal_comparison.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using Entries = std::vector<Type::TEntryItem>;
using Rows = std::vector<TComparison::TExportData>;

namespace {

// One data set as the graphs are given it.
struct TSet
{
    QColor colour;
    std::vector<TVector2> points;
};
using Sets = std::vector<TSet>;

Sets Graph_Sets(const TComparison &comparison, ComparisonGraphs::TGraph which)
{
    Sets sets;
    ComparisonGraphs::Make_Data_Sets(comparison,
                                     [&](ComparisonGraphs::TGraph graph, const QColor &colour,
                                         const std::vector<TVector2> &points) {
                                         if (graph == which)
                                             sets.push_back({colour, points});
                                     });
    return sets;
}

// The deviation graph's data sets in creation order: the curves, then the brackets.
Sets Deviation_Sets(const TComparison &comparison)
{
    return Graph_Sets(comparison, ComparisonGraphs::Deviation_Graph);
}

// The En curve, then the line En = 1.
Sets En_Sets(const TComparison &comparison)
{
    return Graph_Sets(comparison, ComparisonGraphs::En_Graph);
}

} // namespace

namespace {

// Entries as the entry widget hands them over: sorted by actual.
Entries Sorted(Entries entries)
{
    std::stable_sort(entries.begin(), entries.end(), TEntryItem_Sort());
    return entries;
}

Type::TOptions Options(bool align)
{
    Type::TOptions options;
    options.remove_deviations = align;
    return options;
}

bool Same_Bits(double a, double b)
{
    std::uint64_t ua, ub;
    std::memcpy(&ua, &a, sizeof a);
    std::memcpy(&ub, &b, sizeof b);
    return ua == ub;
}

// Hand-computed expectations allow for the representation error of decimal inputs.
bool Near(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

const TComparison::TExportData *Row_At(const Rows &rows, double position)
{
    for (const TComparison::TExportData &row : rows)
        if (row.position == position)
            return &row;
    return nullptr;
}

QString Describe(const TSet &set)
{
    QString text = QStringLiteral("rgb(%1,%2,%3):")
                       .arg(set.colour.red())
                       .arg(set.colour.green())
                       .arg(set.colour.blue());
    for (const TVector2 &p : set.points)
        text += QStringLiteral(" (%1,%2)").arg(p.x, 0, 'g', 17).arg(p.y, 0, 'g', 17);
    return text;
}

// Every number of both results compared bit for bit; returns the first difference, or empty.
QString Difference(const TComparison &fast, const TComparison &literal)
{
    if (!Same_Bits(fast.Data_B_Dev_Offset(), literal.Data_B_Dev_Offset()))
        return QStringLiteral("dev offset");
    if (!Same_Bits(fast.Uc_Adjustment(), literal.Uc_Adjustment()) ||
        !Same_Bits(fast.Range_Min(), literal.Range_Min()) ||
        !Same_Bits(fast.Range_Max(), literal.Range_Max()))
        return QStringLiteral("adjustment or length range");
    const std::vector<double> &pf = fast.Graph_Positions();
    const std::vector<double> &pl = literal.Graph_Positions();
    if (pf.size() != pl.size())
        return QStringLiteral("position count %1 vs %2").arg(pf.size()).arg(pl.size());
    for (std::size_t i = 0; i < pf.size(); ++i)
        if (!Same_Bits(pf[i], pl[i]))
            return QStringLiteral("position %1").arg(i);
    const Rows &rf = fast.Export_Rows();
    const Rows &rl = literal.Export_Rows();
    if (rf.size() != rl.size())
        return QStringLiteral("row count");
    for (std::size_t i = 0; i < rf.size(); ++i) {
        const TComparison::TExportData &a = rf[i];
        const TComparison::TExportData &b = rl[i];
        if (!Same_Bits(a.position, b.position) || !Same_Bits(a.dev_a, b.dev_a) ||
            !Same_Bits(a.dev_b, b.dev_b) || !Same_Bits(a.uc_a, b.uc_a) ||
            !Same_Bits(a.uc_a_adj, b.uc_a_adj) || !Same_Bits(a.uc_b, b.uc_b) ||
            !Same_Bits(a.en_value, b.en_value) || a.dev_a_valid != b.dev_a_valid ||
            a.dev_b_valid != b.dev_b_valid || a.uc_a_valid != b.uc_a_valid ||
            a.uc_b_valid != b.uc_b_valid)
            return QStringLiteral("row %1 at %2").arg(i).arg(a.position, 0, 'g', 17);
    }
    const Sets fast_deviation = Deviation_Sets(fast);
    const Sets literal_deviation = Deviation_Sets(literal);
    const Sets fast_en = En_Sets(fast);
    const Sets literal_en = En_Sets(literal);
    const Sets *fast_sets[] = {&fast_deviation, &fast_en};
    const Sets *literal_sets[] = {&literal_deviation, &literal_en};
    for (int g = 0; g < 2; ++g) {
        if (fast_sets[g]->size() != literal_sets[g]->size())
            return QStringLiteral("graph %1 set count").arg(g);
        for (std::size_t s = 0; s < fast_sets[g]->size(); ++s) {
            const TSet &a = (*fast_sets[g])[s];
            const TSet &b = (*literal_sets[g])[s];
            bool same = a.colour == b.colour && a.points.size() == b.points.size();
            for (std::size_t k = 0; same && k < a.points.size(); ++k)
                same = Same_Bits(a.points[k].x, b.points[k].x) &&
                       Same_Bits(a.points[k].y, b.points[k].y);
            if (!same)
                return QStringLiteral("graph %1 set %2: %3 vs %4")
                    .arg(g)
                    .arg(s)
                    .arg(Describe(a), Describe(b));
        }
    }
    return QString();
}

// Random nominal values with the awkward cases mixed in: positions exactly 1.0 apart, equal and
// nearly equal values (around the 1e-6 segment threshold), wide magnitudes.
double Random_Nominal(std::mt19937_64 &rng, int style, double base, int index)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> small(0, 6);
    switch (style) {
    case 0: // integer grid with repeats: many pairs exactly 1.0 apart, many equal
        return base + static_cast<double>(index / (1 + small(rng) % 2)) + (small(rng) == 0 ? 1 : 0);
    case 1: // half-unit grid
        return base + 0.5 * static_cast<double>(small(rng) + index);
    case 2: { // clusters of nearly equal keys
        const double cluster = base + 10.0 * static_cast<double>(index / 3);
        const double steps[] = {0.0, 1e-6, 2e-6, 5e-7, 1e-6 + 1e-12, 1.0, 1.0 - 1e-12};
        double v = cluster + steps[small(rng)];
        if (small(rng) == 0)
            v = std::nextafter(v, 1e300);
        return v;
    }
    case 3: // plain random
        return base + 500.0 * unit(rng);
    case 4: // large and tiny magnitudes
        return (small(rng) < 3 ? 1e9 : 1e-3) * (unit(rng) - 0.3) + static_cast<double>(index);
    default: // ascending with jitter: mostly monotone keys
        return base + 3.0 * static_cast<double>(index) + (unit(rng) - 0.5) * 2.0;
    }
}

Entries Random_Entries(std::mt19937_64 &rng, double base, int most)
{
    std::uniform_int_distribution<int> count(2, most);
    std::uniform_int_distribution<int> style(0, 5);
    std::uniform_int_distribution<int> deviation_style(0, 3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int n = count(rng);
    const int s = style(rng);
    const int d = deviation_style(rng);
    Entries entries;
    for (int i = 0; i < n; ++i) {
        Type::TEntryItem e;
        e.nominal = Random_Nominal(rng, s, base, i);
        // Deviations from tiny (actual order = nominal order) to large (orders differ, so the
        // keys of the point lists are unsorted).
        const double scale = d == 0 ? 1e-3 : d == 1 ? 2.0 : d == 2 ? 50.0 : 0.0;
        e.actual = e.nominal + scale * (unit(rng) - 0.5);
        e.uc = unit(rng) < 0.1 ? 0.0 : 1e-3 * unit(rng);
        entries.push_back(e);
    }
    return Sorted(entries);
}

} // namespace

class TTestComparison : public QObject
{
    Q_OBJECT

private slots:
    void Too_Few_Entries_Computes_Nothing()
    {
        const Entries two = Sorted({{0, 0.001, 0.0005}, {100, 100.002, 0.0007}});
        const Entries one = {{0, 0.0, 0.001}};

        TComparison comparison;
        QVERIFY(comparison.Calculate(two, two, 50.0, Options(true)));
        const double offset = comparison.Data_B_Dev_Offset();
        QVERIFY(Near(offset, 0.0015));

        QVERIFY(!comparison.Calculate(two, one, 0.0, Options(false)));
        QVERIFY(comparison.Graph_Positions().empty());
        QVERIFY(comparison.Export_Rows().empty());
        QVERIFY(Deviation_Sets(comparison).empty());
        QVERIFY(En_Sets(comparison).empty());
        // Left as it was by the last run that computed.
        QCOMPARE(comparison.Data_B_Dev_Offset(), offset);

        QVERIFY(!comparison.Calculate({}, two, 0.0, Options(false)));
        QVERIFY(comparison.Calculate(two, two, 0.0, Options(false)));
        QCOMPARE(comparison.Data_B_Dev_Offset(), 0.0);
        QCOMPARE(comparison.Graph_Positions(), std::vector<double>({0.0, 100.0}));
    }

    void Positions_Merge_Within_One()
    {
        TComparison comparison;
        const Entries a = Sorted({{0, 0, 0.001}, {100, 100, 0.001}, {200, 200, 0.001}});
        const Entries b = Sorted({{0.5, 0.5, 0.001}, {100.4, 100.4, 0.001}, {300, 300, 0.001}});
        QVERIFY(comparison.Calculate(a, b, 0.0, Options(false)));
        QCOMPARE(comparison.Graph_Positions(), std::vector<double>({0, 100, 200, 300}));
        QCOMPARE(comparison.Export_Rows().size(), std::size_t(4));

        // The first position within reach is kept, whichever side it lies on; exactly 1.0 apart
        // are two positions.
        TComparison positions;
        for (double p : {10.0, 10.9, 9.1, 11.0, 9.0, 12.5, 11.6, 13.4, -0.25, 0.75})
            positions.Add_Graph_Position(p);
        QCOMPARE(positions.Graph_Positions(),
                 std::vector<double>({10.0, 11.0, 9.0, 12.5, -0.25, 0.75}));
        // Each is shown at the nearest kept position within reach, the lower of two as near.
        QCOMPARE(positions.Add_Graph_Position(10.4), 10.0);
        QCOMPARE(positions.Add_Graph_Position(10.5), 10.0);
        QCOMPARE(positions.Add_Graph_Position(10.6), 11.0);

        // Merge distance 0: every distinct length a position, equal ones one; a set's own
        // entries merge like the other set's, and each that has no position of its own is named.
        const struct
        {
            double distance;
            std::vector<double> positions;
            QString merged;
        } distances[] = {{0.0, {12.5, 12.8, 13}, ""},
                         {0.3, {12.5, 13}, "B 12.8>13 "},
                         {1.0, {12.5}, "A 13>12.5 A 13>12.5 B 12.8>12.5 "}};
        for (const auto &d : distances) {
            Type::TOptions options = Options(false);
            options.merge_distance = d.distance;
            QVERIFY(comparison.Calculate(
                Sorted({{12.5, 12.5, 0.001}, {13, 13, 0.001}, {13, 13, 0.002}}),
                Sorted({{12.5, 12.5, 0.001}, {12.8, 12.8, 0.001}}), 0.0, options));
            QCOMPARE(comparison.Graph_Positions(), d.positions);
            QString merged;
            for (const TComparison::TMerged_Entry &e : comparison.Merged_Entries())
                merged += QStringLiteral("%1 %2>%3 ")
                              .arg(e.set_b ? 'B' : 'A')
                              .arg(e.nominal)
                              .arg(e.position);
            QCOMPARE(merged, d.merged);
        }
        QVERIFY(TComparison::Position_Sort(1.0, 2.0));
        QVERIFY(!TComparison::Position_Sort(2.0, 1.0));
        QVERIFY(!TComparison::Position_Sort(2.0, 2.0));
    }

    void Kept_Positions_Match_Literal_Reference()
    {
        // Dense candidates around cell borders, negative values, distances a hair below and at
        // 1.0, and magnitudes where neighbouring doubles lie 1.0 or more apart.
        std::mt19937_64 rng(11);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::uniform_int_distribution<int> kind(0, 6);
        for (int trial = 0; trial < 300; ++trial) {
            TComparison fast;
            TLiteral_Comparison literal;
            // The merge distances of the program: 1.0, 0 and others.
            const double distances[] = {1.0, 0.0, 0.25, 2.5};
            fast.Set_Merge_Distance(distances[trial % 4]);
            literal.Set_Merge_Distance(distances[trial % 4]);
            for (int i = 0; i < 200; ++i) {
                double p = 0.0;
                switch (kind(rng)) {
                case 0: p = std::round((unit(rng) - 0.5) * 40.0) / 4.0; break;
                case 1: p = (unit(rng) - 0.5) * 30.0; break;
                case 2: p = std::nextafter(std::round((unit(rng) - 0.5) * 20.0), 0.0); break;
                case 3: p = std::round(unit(rng) * 8.0) - 0.9999999999999999; break;
                case 4: p = 9007199254740992.0 + 2.0 * std::round(unit(rng) * 6.0); break;
                case 5: p = -std::ldexp(unit(rng), -1070); break; // rounds 1.0 apart from -1.0
                default: p = -0.0; break;
                }
                QCOMPARE(fast.Add_Graph_Position(p), literal.Add_Graph_Position(p));
            }
            QCOMPARE(fast.Graph_Positions(), literal.Graph_Positions());
        }

        // -1.0 and the negative number closest to 0 lie a rounded 1.0 apart: both are kept,
        // and 0.5 is close to the second one.
        TComparison fast;
        TLiteral_Comparison literal;
        for (double p : {-1.0, -4.9406564584124654e-324, 0.5, -0.5}) {
            fast.Add_Graph_Position(p);
            literal.Add_Graph_Position(p);
        }
        QCOMPARE(literal.Graph_Positions(), std::vector<double>({-1.0, -4.9406564584124654e-324}));
        QCOMPARE(fast.Graph_Positions(), literal.Graph_Positions());
    }

    void Range_Margin_data()
    {
        QTest::addColumn<double>("position");
        QTest::addColumn<bool>("inside_a");
        QTest::newRow("9.9 below A's smallest actual") << 10.1 << true;
        QTest::newRow("10.0 below") << 10.0 << false;
        QTest::newRow("9.9 above A's largest actual") << 109.9 << true;
        QTest::newRow("10.0 above") << 110.0 << false;
    }

    void Range_Margin()
    {
        QFETCH(double, position);
        QFETCH(bool, inside_a);
        // A's actual values (not its nominal values) bound its range: 20 to 100.
        const Entries a = Sorted({{19, 20, 0.001}, {101, 100, 0.001}});
        const Entries b = Sorted({{position, position, 0.001}, {60, 60, 0.001}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 0.0, Options(false)));
        const TComparison::TExportData *row = Row_At(comparison.Export_Rows(), position);
        QVERIFY(row);
        QCOMPARE(row->dev_a_valid, inside_a);
        QCOMPARE(row->uc_a_valid, inside_a);
        QVERIFY(row->dev_b_valid);
        QCOMPARE(row->uc_b_valid, true);
        // En only where both sets cover the position.
        const std::vector<TVector2> en = En_Sets(comparison)[0].points;
        const bool plotted =
            std::any_of(en.begin(), en.end(), [&](const TVector2 &p) { return p.x == position; });
        QCOMPARE(plotted, inside_a);
    }

    void Alignment_Off_Keeps_Uncertainty()
    {
        const Entries a = Sorted({{0, 0.001, 0.0005}, {100, 100.003, 0.0009}});
        const Entries b = Sorted({{50, 49.999, 0.0004}, {150, 150.001, 0.0008}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 50.0, Options(false)));
        QCOMPARE(comparison.Data_B_Dev_Offset(), 0.0);
        for (const TComparison::TExportData &row : comparison.Export_Rows())
            if (row.uc_a_valid)
                QCOMPARE(row.uc_a_adj, row.uc_a);
        // Grey and red brackets of one position hold the same points.
        const Sets sets = Deviation_Sets(comparison);
        int pairs = 0;
        for (std::size_t i = 2; i + 1 < sets.size(); ++i) {
            if (sets[i].colour != ComparisonGraphs::Unadjusted_Bracket_Colour)
                continue;
            QCOMPARE(sets[i + 1].colour, ComparisonGraphs::Bracket_A_Colour);
            QCOMPARE(Describe(sets[i]).mid(Describe(sets[i]).indexOf(':')),
                     Describe(sets[i + 1]).mid(Describe(sets[i + 1]).indexOf(':')));
            ++pairs;
        }
        QCOMPARE(pairs, 2); // positions 50 and 100
    }

    void Alignment_On_Shifts_B_And_Adjusts_A()
    {
        // A's deviation at 50 is 0.002, its uncertainty 0.0007 there and 0.0005 at 0.
        const Entries a = Sorted({{0, 0.001, 0.0005}, {100, 100.003, 0.0009}});
        const Entries b = Sorted({{50, 49.999, 0.0004}, {150, 150.001, 0.0008}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 50.0, Options(true)));
        QVERIFY(Near(comparison.Data_B_Dev_Offset(), 0.002));
        QCOMPARE(comparison.Graph_Positions(), std::vector<double>({0, 50, 100, 150}));
        const Rows &rows = comparison.Export_Rows();

        // Covered by A alone: no adjustment.
        QVERIFY(rows[0].uc_a_valid && !rows[0].uc_b_valid);
        QCOMPARE(rows[0].uc_a_adj, rows[0].uc_a);
        QVERIFY(Near(rows[0].uc_a, 0.0005));

        // Covered by both: A's uncertainty reduced by 0.0002, B shifted by 0.002.
        QVERIFY(rows[1].uc_a_valid && rows[1].uc_b_valid);
        QVERIFY(Near(rows[1].dev_a, 0.002));
        QVERIFY(Near(rows[1].dev_b, -0.001 + 0.002));
        QVERIFY(Near(rows[1].uc_a, 0.0007));
        QVERIFY(Near(rows[1].uc_a_adj, 0.0005));
        QVERIFY(Near(rows[1].uc_b, 0.0004));
        QVERIFY(Near(rows[1].en_value, 0.001 / std::sqrt(0.0005 * 0.0005 + 0.0004 * 0.0004)));
        QVERIFY(Near(rows[2].uc_a_adj, 0.0009 - 0.0002));
        QVERIFY(Near(rows[2].dev_b, 0.0 + 0.002));

        // Beyond A's range: B alone, with its shifted deviation on the B curve.
        QVERIFY(!rows[3].dev_a_valid && !rows[3].uc_a_valid && rows[3].uc_b_valid);
        QVERIFY(Near(rows[3].dev_b, 0.001 + 0.002));
        const std::vector<TVector2> curve_b = Deviation_Sets(comparison)[1].points;
        QCOMPARE(curve_b.size(), std::size_t(3));
        QCOMPARE(curve_b.back().y, rows[3].dev_b);

        // The grey bracket shows the unadjusted uncertainty, the red one the adjusted.
        const Sets sets = Deviation_Sets(comparison);
        const auto grey = std::find_if(sets.begin(), sets.end(), [](const TSet &s) {
            return s.colour == ComparisonGraphs::Unadjusted_Bracket_Colour;
        });
        QVERIFY(grey != sets.end());
        QVERIFY(Near(grey->points[0].y - rows[1].dev_a, 0.0007));
        QCOMPARE((grey + 1)->colour, ComparisonGraphs::Bracket_A_Colour);
        QVERIFY(Near((grey + 1)->points[0].y - rows[1].dev_a, 0.0005));
    }

    void En_Values()
    {
        // Identical deviations give 0; zero uncertainties give 1000 on the graph and in the row.
        const Entries a = Sorted({{0, 0.002, 0.0}, {100, 100.002, 0.001}});
        const Entries b = Sorted({{0, 0.002, 0.0}, {100, 100.001, 0.001}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 0.0, Options(false)));
        const Rows &rows = comparison.Export_Rows();
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(rows[0].en_value, 1000.0);
        QVERIFY(Near(rows[1].en_value, 0.001 / std::sqrt(2e-6)));
        const std::vector<TVector2> en = En_Sets(comparison)[0].points;
        QCOMPARE(en.size(), std::size_t(2));
        QCOMPARE(en[0].y, 1000.0);
        QCOMPARE(en[1].y, rows[1].en_value);

        const Entries c = Sorted({{0, 0.002, 0.0003}, {100, 100.002, 0.0004}});
        QVERIFY(comparison.Calculate(c, c, 0.0, Options(false)));
        for (const TComparison::TExportData &row : comparison.Export_Rows())
            QCOMPARE(row.en_value, 0.0);
    }

    void Graph_Data_Sets_In_Order()
    {
        // Positions 0 (A only), 40 (both) and 100 (B only); actual values span 0.01 to 99.99.
        const Entries a = Sorted({{0, 0.01, 0.1}, {40, 40.02, 0.2}});
        const Entries b = Sorted({{40, 39.97, 0.3}, {100, 99.99, 0.4}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 0.0, Options(false)));
        const double half = (99.99 - 0.01) * 0.005 / 2.0;

        const Sets dev = Deviation_Sets(comparison);
        QStringList colours;
        for (const TSet &set : dev)
            colours << Describe(set).section(':', 0, 0);
        QCOMPARE(colours, QStringList({"rgb(128,40,40)", "rgb(20,96,20)", "rgb(212,96,96)",
                                       "rgb(212,212,212)", "rgb(212,96,96)", "rgb(20,96,20)",
                                       "rgb(20,96,20)"}));
        QCOMPARE(dev[0].points.size(), std::size_t(2)); // A at 0 and 40
        QCOMPARE(dev[1].points.size(), std::size_t(2)); // B at 40 and 100

        // A's bracket opens to the right, B's to the left; both 2 * half wide around 40.
        const double dev_a = 0.02;
        const std::vector<TVector2> &red = dev[4].points;
        QCOMPARE(red.size(), std::size_t(4));
        QVERIFY(Near(red[0].x, 40 + half) && Near(red[1].x, 40 - half));
        QVERIFY(Near(red[2].x, 40 - half) && Near(red[3].x, 40 + half));
        QVERIFY(Near(red[0].y, dev_a + 0.2) && Near(red[2].y, dev_a - 0.2));
        const std::vector<TVector2> &green = dev[5].points;
        QVERIFY(Near(green[0].x, 40 - half) && Near(green[1].x, 40 + half));
        QVERIFY(Near(green[2].x, 40 + half) && Near(green[3].x, 40 - half));
        QVERIFY(Near(green[0].y, -0.03 + 0.3) && Near(green[3].y, -0.03 - 0.3));

        // En curve, then the line En = 1 from the smallest to the largest actual value.
        const Sets en = En_Sets(comparison);
        QCOMPARE(en.size(), std::size_t(2));
        QCOMPARE(en[0].colour, QColor(40, 40, 128));
        QCOMPARE(en[0].points.size(), std::size_t(1));
        QCOMPARE(en[1].colour, QColor(196, 196, 196));
        QCOMPARE(en[1].points.size(), std::size_t(2));
        QCOMPARE(en[1].points[0].x, 0.01);
        QCOMPARE(en[1].points[0].y, 1.0);
        QCOMPARE(en[1].points[1].x, 99.99);
        QCOMPARE(en[1].points[1].y, 1.0);
    }

    void Degenerate_Set_Gives_Zero_Values()
    {
        // All of B's entries share one nominal value: nothing can be interpolated from it.
        const Entries a = Sorted({{0, 0.001, 0.0005}, {100, 100.003, 0.0009}});
        const Entries b = Sorted({{50, 50.002, 0.0004}, {50, 50.001, 0.0008}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 0.0, Options(true)));
        const TComparison::TExportData *row = Row_At(comparison.Export_Rows(), 50.0);
        QVERIFY(row && row->uc_b_valid);
        QCOMPARE(row->dev_b, comparison.Data_B_Dev_Offset());
        QCOMPARE(row->uc_b, 0.0);
        QCOMPARE(comparison.Export_Rows().size(), std::size_t(3));
    }

    void Non_Finite_Positions_Do_Not_Break_The_Sort()
    {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        Entries a = {{nan, 0.0, 0.001}, {5, 1, 0.001}, {nan, 2, 0.001}, {inf, 3, 0.001}};
        for (int i = 0; i < 40; ++i)
            a.push_back({static_cast<double>(40 - i), 4.0 + i, 0.001});
        const Entries b = Sorted({{1, 1, 0.001}, {2.5, 2.5, 0.001}});
        TComparison fast;
        TLiteral_Comparison literal;
        QVERIFY(fast.Calculate(a, b, 0.0, Options(true)));
        QVERIFY(literal.Calculate(a, b, 0.0, Options(true)));
        const std::vector<double> &p = fast.Graph_Positions();
        QCOMPARE(p.size(), std::size_t(40 + 2 + 1)); // 5, 1 and 2.5 merge
        QVERIFY(std::isnan(p[p.size() - 1]) && std::isnan(p[p.size() - 2]));
        QCOMPARE(p[p.size() - 3], inf);
        QVERIFY(std::is_sorted(p.begin(), p.end() - 2));
        QCOMPARE(Difference(fast, literal), QString());
    }

    // Finite entries whose deviations or differences are too large for a double: what cannot be
    // computed is missing in the rows, the report, the CSV and the graphs alike, and the summary
    // counts only the En values that are shown.
    void Values_Too_Large_Are_Missing_Everywhere()
    {
        const Entries a = Sorted({{10, 10.001, 0.001}, {20, 20.002, 0.001}, {30, 1e308, 0.001}});
        const Entries b = Sorted({{30, -1e308, 0.001}, {10, 10.0005, 0.001}, {20, 20.001, 0.001}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 0.0, Options(false)));
        Rows rows = comparison.Export_Rows();
        int shown_en = 0;
        double largest = 0.0;
        for (const TComparison::TExportData &row : rows) {
            QVERIFY(!row.Has_Dev_A() || std::isfinite(row.dev_a));
            QVERIFY(!row.Has_Dev_B() || std::isfinite(row.dev_b));
            if (row.Has_En()) {
                ++shown_en;
                largest = std::max(largest, row.en_value);
            }
        }
        // At 10 only: at 20 and 30 B's interpolated deviation is so large that En overflows.
        QCOMPARE(shown_en, 1);
        const TComparison::TExportData *at_30 = Row_At(rows, 30.0);
        QVERIFY(at_30 && at_30->uc_a_valid && at_30->uc_b_valid && !at_30->Has_En());

        // A position beyond the largest double (a nominal length plus a large offset).
        TComparison::TExportData beyond = rows.back();
        beyond.position = std::numeric_limits<double>::infinity();
        rows.push_back(beyond);
        const QByteArray report = Report::Text(rows, 0.0, comparison.Data_B_Dev_Offset());
        QVERIFY2(!report.contains("inf") && !report.contains("nan"), report.constData());
        QVERIFY(report.contains("\n    ------  "));
        QVERIFY(report.contains("En Max:" + QByteArray(12, ' ') +
                                QByteArray::number(largest, 'f', 4).rightJustified(9, ' ')));
        const QByteArray csv = TReportTool::Csv_Text(rows);
        QVERIFY2(!csv.contains("inf") && !csv.contains("nan"), csv.constData());
        QCOMPARE(csv.count("\n"), int(rows.size()) + 1);

        const Sets en = En_Sets(comparison);
        QCOMPARE(en[0].points.size(), std::size_t(shown_en));
        for (const TSet &set : Deviation_Sets(comparison))
            for (const TVector2 &p : set.points)
                QVERIFY(std::isfinite(p.x) && std::isfinite(p.y));
    }

    void Combined_Uncertainty_Beyond_The_Squares()
    {
        // Squares of 1e200 overflow; the combined uncertainty does not.
        const Entries a = Sorted({{0, 0.0, 1e200}, {100, 100.0, 1e200}});
        const Entries b = Sorted({{0, 0.0, 1e200}, {100, 3e200, 1e200}});
        TComparison comparison;
        QVERIFY(comparison.Calculate(a, b, 0.0, Options(false)));
        const TComparison::TExportData *row = Row_At(comparison.Export_Rows(), 100.0);
        QVERIFY(row && row->Has_En());
        QVERIFY(Near(row->en_value, 3.0 / std::sqrt(2.0)));
    }

    void Indexed_Matches_Literal_Reference()
    {
        std::mt19937_64 rng(7);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        for (int trial = 0; trial < 4000; ++trial) {
            const double base = trial % 3 == 0 ? 0.0 : (unit(rng) - 0.5) * 200.0;
            // Mostly short lists; now and then long ones, where the searches skip far.
            const int most = trial % 40 == 0 ? 800 : 30;
            const Entries a = Random_Entries(rng, base, most);
            const Entries b =
                Random_Entries(rng, base + (trial % 2 ? 0.0 : 30.0 * unit(rng)), most);
            // Offsets at a key, between keys, and at 0 (where the uncertainty is also read).
            const double offset = trial % 4 == 0   ? 0.0
                                  : trial % 4 == 1 ? a[a.size() / 2].nominal
                                                   : (unit(rng) - 0.3) * 100.0;
            Type::TOptions options = Options(trial % 5 != 0);
            const double distances[] = {1.0, 0.0, 1.0, 0.25, 2.5};
            options.merge_distance = distances[trial % 5];

            TComparison fast;
            TLiteral_Comparison literal;
            QCOMPARE(fast.Calculate(a, b, offset, options),
                     literal.Calculate(a, b, offset, options));
            const QString difference = Difference(fast, literal);
            if (!difference.isEmpty())
                QFAIL(qPrintable(QStringLiteral("trial %1: %2").arg(trial).arg(difference)));
        }
    }
};

QTEST_GUILESS_MAIN(TTestComparison)
#include "test_comparison.moc"
