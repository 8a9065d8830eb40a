#ifndef QUORVAL_CORE_GRAPH_CURVESTYLE_H
#define QUORVAL_CORE_GRAPH_CURVESTYLE_H

#include "core/base/vector2.h"
#include "core/graph/scalemap.h"

#include <QColor>
#include <QPointF>

#include <vector>

class QPainter;
class QRect;

// How a curve is drawn where colour alone must not tell it apart (printed in grey, read by a
// colour-blind reader): its colour, the dash pattern of its line and the shape of its markers.
// Sizes are in pixels at 96 dots per inch and grow with the unit the painters are given.
struct TCurveStyle
{
    enum TMarker { MARKER_NONE, MARKER_CIRCLE, MARKER_SQUARE, MARKER_TRIANGLE, MARKER_DIAMOND };

    QColor colour;
    Qt::PenStyle line = Qt::SolidLine; // Qt::NoPen: markers only
    TMarker marker = MARKER_NONE;
    double width = 1.0;       // of the line
    double marker_size = 7.0; // across a marker
};

namespace CurveDrawing {

// One marker of the style centred at the point: hollow, so that a marker under another stays
// visible.
void Draw_Marker(QPainter *painter, const QPointF &at, const TCurveStyle &style, double unit);

// The curve through the points with a position, clipped to the plot area: one dashed line through
// all of them (a point without a position breaks it), and markers at the points in the plot area
// where they stand far enough apart to be told from each other (on average three markers' width).
// Returns how many markers were drawn.
int Draw(QPainter *painter, const std::vector<TVector2> &points, const QRect &plot,
         const TScaleMap &horizontal, const TScaleMap &vertical, const TCurveStyle &style,
         double unit);

// A white band along the curve's line, a pixel wider on each side, drawn under the curves of a
// graph so that they stand out over a dense drawing beneath them (the uncertainty brackets).
void Draw_Halo(QPainter *painter, const std::vector<TVector2> &points, const QRect &plot,
               const TScaleMap &horizontal, const TScaleMap &vertical, const TCurveStyle &style,
               double unit);

// The pixel path of the points before clipping, one list per piece between points without a
// position; where several points fall into one pixel column only the first, lowest, highest and
// last of them are kept, which draws the same pixels as all of them.
std::vector<std::vector<QPointF>> Pixel_Paths(const std::vector<TVector2> &points,
                                              const TScaleMap &horizontal,
                                              const TScaleMap &vertical);

} // namespace CurveDrawing

#endif
