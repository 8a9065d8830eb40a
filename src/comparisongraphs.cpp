#include "src/comparisongraphs.h"

#include "core/assertion.h"
#include "core/graphwidget.h"
#include "src/comparison.h"

namespace ComparisonGraphs {

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
    for (const TComparison::TDataSet &set : comparison.Deviation_Curves())
        deviation_graph->AddPoints(
            deviation_graph->CreateDataSet(set.colour, TGraphWidget::GRAPH_DEFAULT), set.points);
    for (const TComparison::TBracket &bracket : comparison.Brackets()) {
        const int set = deviation_graph->CreateDataSet(bracket.colour, TGraphWidget::GRAPH_DEFAULT);
        for (const TVector2 &point : bracket.points)
            deviation_graph->AddPoint(set, point);
    }
    for (const TComparison::TDataSet &set : comparison.En_Data_Sets())
        en_graph->AddPoints(en_graph->CreateDataSet(set.colour, TGraphWidget::GRAPH_DEFAULT),
                            set.points);
}

} // namespace ComparisonGraphs
