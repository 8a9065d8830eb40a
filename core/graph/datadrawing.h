#ifndef QUORVAL_CORE_GRAPH_DATADRAWING_H
#define QUORVAL_CORE_GRAPH_DATADRAWING_H

#include "core/graph/graphscene.h"
#include "core/graph/scalemap.h"

class QPainter;
class QRect;

// The data sets of a scene on the plot area, each in its effective type, clipped to the plot.
// With reduce, on a raster painter at its own resolution, only the sets and points that reach the
// plot area are visited, a curve is drawn by the first, lowest, highest and last point of each
// pixel column, and line sets that later lines hide completely are left out: the pixels are the
// same as with every line drawn, which is what other painters (PDF, SVG, printers) get. Returns
// how many lines and rectangles went to the painter.
namespace DataDrawing {

int Draw(QPainter *painter, const TGraphScene &scene, const QRect &plot,
         const TScaleMap &horizontal, const TScaleMap &vertical, bool reduce);

// Liang-Barsky clipping of the segment (x0, y0)-(x1, y1) to the box; false when nothing is left.
bool Clip_Segment(double *x0, double *y0, double *x1, double *y1, double left, double top,
                  double right, double bottom);

} // namespace DataDrawing

#endif
