#ifndef QUORVAL_CORE_GRAPH_GRAPHVIEW_H
#define QUORVAL_CORE_GRAPH_GRAPHVIEW_H

#include "core/graph/graphscene.h"
#include "core/graph/scalemap.h"

#include <QRect>

// The values a graph shows: x_low to x_high from the plot area's left to its right edge and
// y_low to y_high from its bottom to its top (before the warp of a log axis). In values, not
// pixels, so a view stays what it is when the plot area changes size.
struct TGraphView
{
    double x_low;
    double x_high;
    double y_low;
    double y_high;
    // The extents of the last fit to the data before margins: a view zooms out to 50 times them.
    double x_data_range;
    double y_data_range;
};

// How a view is fitted to the data and how its axes are scaled.
struct TFitRules
{
    // The least extent above zero (and below it, if symmetric) of a fitted vertical range.
    double scale_minimum_y = 5e-6;
    bool scale_minimum_symmetric = true;
    bool y_includes_zero = true;
    // The horizontal range follows the vertical one so that both axes have equal units per
    // pixel.
    bool lock_aspect_ratio = false;
    TScaleMap::TScaleType horizontal_type = TScaleMap::SCALE_LINEAR;
    TScaleMap::TScaleType vertical_type = TScaleMap::SCALE_LINEAR;
};

// The views of a graph: fitted to its data, to a box on the plot area (zoom and pan) and to a
// horizontal range, and the scale maps that show a view on a plot area.
namespace ViewFit {

// All points with a position, with margins on linear axes (a fiftieth of the extent each side).
TGraphView To_Data(const TGraphScene &scene, const TFitRules &rules, const QRect &plot);

// The values shown in the pixel rectangle box under the maps, filling the plot area; no wider
// than 50 times the last data fit (cut back about its centre), no narrower than 1e-5. False,
// leaving *view alone, when those values are not finite.
bool To_Box(const TScaleMap &horizontal, const TScaleMap &vertical, const QRect &box,
            TGraphView *view);

// Exactly low to high horizontally (in either order), the vertical range fitted to the points
// within it as a fit to the data does; without such points the vertical range of current stays.
TGraphView To_Horizontal_Range(const TGraphScene &scene, const TFitRules &rules, const QRect &plot,
                               const TGraphView &current, const double &low, const double &high);

TScaleMap Horizontal_Map(const TGraphView &view, const TFitRules &rules, const QRect &plot);
TScaleMap Vertical_Map(const TGraphView &view, const TFitRules &rules, const QRect &plot);

} // namespace ViewFit

#endif
