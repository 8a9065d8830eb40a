#ifndef QUORVAL_CORE_GRAPH_LEGENDPAINTER_H
#define QUORVAL_CORE_GRAPH_LEGENDPAINTER_H

#include "core/graph/curvestyle.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <vector>

class QFont;
class QPaintDevice;
class QPainter;

// One entry of a legend: a sample drawn as the graph draws what it names, and its text.
struct TLegendItem
{
    QString text;
    // The sample's line and marker; Qt::NoPen and MARKER_NONE: neither.
    TCurveStyle curve;
    // An uncertainty bracket behind the line, its upright on the left when it opens to the right.
    bool bracket = false;
    QColor bracket_colour;
    bool bracket_opens_right = true;
};

// Paints a legend into any painter, in rows above or beside the graphs it explains: samples and
// texts from left to right, each row centred, a new row where the next item has no room left.
// It keeps nothing and touches no widget.
namespace LegendPainter {

// Where an item goes: its sample, its text and the text as shown (elided where even a row of its
// own is too narrow for it).
struct TPlacement
{
    QRectF sample;
    QRectF text;
    QString shown;
};

// The items laid out in the area's width from its top, in the font measured on the device.
std::vector<TPlacement> Lay_Out(const QFont &font, const QPaintDevice *device,
                                const std::vector<TLegendItem> &items, const QRectF &area);
// The height the items need in a width: a row's height for each row, none without items.
double Height(const QFont &font, const QPaintDevice *device, const std::vector<TLegendItem> &items,
              double width);
// Draws the items into the area in the painter's font; unit scales lines and markers (pixels of
// the device per pixel at 96 dots per inch).
void Paint(QPainter *painter, const QRectF &area, const std::vector<TLegendItem> &items,
           double unit);

} // namespace LegendPainter

#endif
