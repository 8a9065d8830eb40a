#include "src/comparisongraphs.h"

#include "core/assertion.h"
#include "core/graphwidget.h"
#include "src/comparison.h"

#include <cmath>

namespace ComparisonGraphs {

const QColor Curve_A_Colour(128, 40, 40);
const QColor Curve_B_Colour(20, 96, 20);
const QColor En_Curve_Colour(40, 40, 128);
const QColor Unadjusted_Bracket_Colour(212, 212, 212);
const QColor Bracket_A_Colour(212, 96, 96);
const QColor Bracket_B_Colour(20, 96, 20);
const QColor En_Limit_Colour(196, 196, 196);

namespace {

// A bracket from top to bottom at position p: its upright at p - reach and its arms reaching to
// p + reach, so open to the right for a positive reach and to the left for a negative one.
void Fill_Bracket(std::vector<TVector2> *points, const double &p, const double &reach,
                  const double &top, const double &bottom)
{
    points->assign({TVector2(p + reach, top), TVector2(p - reach, top), TVector2(p - reach, bottom),
                    TVector2(p + reach, bottom)});
}

} // namespace

void Make_Data_Sets(const TComparison &comparison, const TSet_Sink &sink)
{
    const std::vector<TComparison::TExportData> &rows = comparison.Export_Rows();
    if (rows.empty())
        return;

    std::vector<TVector2> curve_a, curve_b, en_curve;
    curve_a.reserve(rows.size());
    curve_b.reserve(rows.size());
    en_curve.reserve(rows.size());
    for (const TComparison::TExportData &row : rows) {
        if (!row.Has_Position())
            continue;
        if (row.Has_Dev_A())
            curve_a.emplace_back(row.position, row.dev_a);
        if (row.Has_Dev_B())
            curve_b.emplace_back(row.position, row.dev_b);
        if (row.Has_En())
            en_curve.emplace_back(row.position, row.en_value);
    }
    sink(Deviation_Graph, Curve_A_Colour, curve_a);
    sink(Deviation_Graph, Curve_B_Colour, curve_b);

    // Bracket width: 0.5 % of the length range (taken in parts when the range itself is beyond
    // the largest double).
    double tick = (comparison.Range_Max() - comparison.Range_Min()) * 0.005;
    if (std::isinf(tick))
        tick = comparison.Range_Max() * 0.005 - comparison.Range_Min() * 0.005;
    const double half = tick / 2.0;
    const double adjustment = comparison.Uc_Adjustment();
    std::vector<TVector2> bracket;
    for (const TComparison::TExportData &row : rows) {
        if (!row.Has_Position())
            continue;
        const double p = row.position;
        if (row.Has_Dev_A() && row.Has_Uc_A_Adj()) {
            const double u = row.uc_a_adj;
            // The grey bracket shows the unadjusted uncertainty behind the red one.
            if (row.dev_b_valid && std::isfinite(adjustment)) {
                Fill_Bracket(&bracket, p, half, row.dev_a + u + adjustment,
                             row.dev_a - u - adjustment);
                sink(Deviation_Graph, Unadjusted_Bracket_Colour, bracket);
            }
            // Open to the right, upright at p - half.
            Fill_Bracket(&bracket, p, half, row.dev_a + u, row.dev_a - u);
            sink(Deviation_Graph, Bracket_A_Colour, bracket);
        }
        if (row.Has_Dev_B() && row.Has_Uc_B()) {
            // Open to the left, upright at p + half: facing A's bracket.
            Fill_Bracket(&bracket, p, -half, row.dev_b + row.uc_b, row.dev_b - row.uc_b);
            sink(Deviation_Graph, Bracket_B_Colour, bracket);
        }
    }

    sink(En_Graph, En_Curve_Colour, en_curve);
    sink(En_Graph, En_Limit_Colour,
         {TVector2(comparison.Range_Min(), 1.0), TVector2(comparison.Range_Max(), 1.0)});
}

void Set_Titles(TGraphWidget *deviation_graph, TGraphWidget *en_graph)
{
    QUORVAL_ASSERT(deviation_graph != nullptr);
    QUORVAL_ASSERT(en_graph != nullptr);
    deviation_graph->SetTitle("Length Comparison");
    deviation_graph->SetHorizontalTitle("Length");
    deviation_graph->SetVerticalTitle("Deviation");
    en_graph->SetTitle("En Score");
    en_graph->SetHorizontalTitle("Length");
    en_graph->SetVerticalTitle("En Value");
}

void Add_Data_Sets(const TComparison &comparison, TGraphWidget *deviation_graph,
                   TGraphWidget *en_graph)
{
    QUORVAL_ASSERT(deviation_graph != nullptr);
    QUORVAL_ASSERT(en_graph != nullptr);
    Make_Data_Sets(comparison, [deviation_graph, en_graph](TGraph graph, const QColor &colour,
                                                           const std::vector<TVector2> &points) {
        TGraphWidget *widget = graph == Deviation_Graph ? deviation_graph : en_graph;
        widget->AddPoints(widget->CreateDataSet(colour, TGraphWidget::GRAPH_DEFAULT), points);
    });
}

} // namespace ComparisonGraphs
