#ifndef QUORVAL_SRC_DOCUMENTS_COMPARISONGRAPHS_H
#define QUORVAL_SRC_DOCUMENTS_COMPARISONGRAPHS_H

#include "core/base/vector2.h"
#include "core/graph/graphscene.h"
#include "core/graph/legendpainter.h"
#include "src/compute/types.h"

#include <QColor>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QByteArray;
class QPainter;
class QRect;
class QSize;
class TComparison;

// How a comparison is drawn in the program's two graphs, the deviation graph and the En graph:
// curves, uncertainty brackets, the line En = 1 and their colours, all made from the comparison's
// rows. Used by the main window and by the report tool's plot, so that both draw the same.
namespace ComparisonGraphs {

enum TGraph { Deviation_Graph, En_Graph };

extern const QColor Curve_A_Colour;
extern const QColor Curve_B_Colour;
extern const QColor En_Curve_Colour;
extern const QColor Unadjusted_Bracket_Colour;
extern const QColor Bracket_A_Colour;
extern const QColor Bracket_B_Colour;
extern const QColor En_Limit_Colour;

// Receives each data set in creation order; the points are valid only during the call.
using TSet_Sink =
    std::function<void(TGraph graph, const QColor &colour, const std::vector<TVector2> &points)>;

// The data sets of a comparison. Deviation graph: curve A, curve B, then per position
// (ascending) the grey bracket of A's unadjusted uncertainty where both sets cover it, A's red
// bracket where A covers it and B's green one where B covers it. En graph: the En curve, then
// the line En = 1 across the length range. Nothing when the comparison has no rows.
void Make_Data_Sets(const TComparison &comparison, const TSet_Sink &sink);

struct TScenes
{
    TGraphScene deviation;
    TGraphScene en;
};

// Both graphs of a comparison with their titles and the data sets of Make_Data_Sets; without
// rows, the titles alone.
TScenes Scenes_Of(const TComparison &comparison);

// What a legend says about the sets beyond their names "Set A" and "Set B".
struct TLegendTexts
{
    QString set_a_description; // who measured set A, the certificate; empty: nothing
    QString set_b_description;
    // Set B aligned to set A: the grey bracket of A's uncertainty before the alignment is named.
    bool aligned = true;

    bool operator==(const TLegendTexts &other) const
    {
        return set_a_description == other.set_a_description &&
               set_b_description == other.set_b_description && aligned == other.aligned;
    }

    static TLegendTexts Of(const Type::TDetails &details, bool aligned)
    {
        return {details.set_a_description, details.set_b_description, aligned};
    }
};

// The window's graphs keep their colours; the documents' graphs (plots and the record) tell the
// sets apart in colours that colour-blind readers tell apart, in grey by the dash pattern of B's
// line and by markers, and have axes at round values with units.
enum TLook { Window_Look, Document_Look };

// The legend of both graphs: set A, set B, A before alignment (when aligned), the En values and
// the line En = 1, each with a sample drawn as the graphs of the look draw it.
std::vector<TLegendItem> Legend_Items(TLook look, const TLegendTexts &texts);

// The values of the documents' En graph: from a little below 0 to a little above both 1 and the
// largest En, so that the line En = 1 always stands inside the plot area, clear of its edges.
std::pair<double, double> En_Range(const std::vector<TVector2> &en_curve);

// The files both graphs can be drawn into, by the name's extension (case ignored).
enum TPlotFormat { PLOT_NONE, PLOT_PNG, PLOT_PDF, PLOT_SVG };
TPlotFormat Plot_Format_Of(const QString &file_name);
// More positions than an SVG plot is drawn for (its text grows by about 2 kB a position).
extern const int Largest_Svg_Plot_Positions;

// Paints both graphs of a comparison in the documents' look into the area on white: the legend
// at the top, then the deviation graph and the En graph below it, both over the same lengths,
// the En graph from below 0 to above 1 and its largest value. Fonts and lines are sized for the
// painter's device (in its dots per inch), so that the same size gives the same picture wherever
// it is drawn. Needs a QGuiApplication.
void Paint_Comparison(QPainter *painter, const QRect &area, const TComparison &comparison,
                      const TLegendTexts &texts);

// Draws both graphs of a comparison, fitted to its data, into the bytes of a PNG, PDF or SVG
// file of size pixels (creator names the program in a PDF). Needs a QGuiApplication. Returns
// false with *error set on failure.
bool Render_Plot(const TComparison &comparison, const TLegendTexts &texts, TPlotFormat format,
                 const QSize &size, const QString &creator, QByteArray *data, QString *error);

} // namespace ComparisonGraphs

#endif
