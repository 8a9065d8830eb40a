#ifndef QUORVAL_SRC_COMPARISONGRAPHS_H
#define QUORVAL_SRC_COMPARISONGRAPHS_H

class TComparison;
class TGraphWidget;

// Shows a comparison in the program's two graphs, the deviation graph and the En graph; used by
// the main window and by the report tool's plot, so that both draw the same.
namespace ComparisonGraphs {

void Set_Titles(TGraphWidget *deviation_graph, TGraphWidget *en_graph);

// Adds the comparison's data sets, in creation order and colour, to graphs the caller emptied:
// curve A, curve B, then the brackets per position; on the En graph the En curve, then the line
// En = 1.
void Add_Data_Sets(const TComparison &comparison, TGraphWidget *deviation_graph,
                   TGraphWidget *en_graph);

} // namespace ComparisonGraphs

#endif
