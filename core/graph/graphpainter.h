#ifndef QUORVAL_CORE_GRAPH_GRAPHPAINTER_H
#define QUORVAL_CORE_GRAPH_GRAPHPAINTER_H

#include "core/graph/graphscene.h"
#include "core/graph/scalemap.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

// The areas of one picture of a graph (inclusive QRect coordinates): the plot area, the numbers
// and titles around it, and the whole picture.
struct TGraphLayout
{
    // On screen; in another painter (the plot area one font height wider); the same without the
    // titles, with thin strips in their place.
    enum TKind { LAYOUT_SCREEN, LAYOUT_DEVICE, LAYOUT_GRAPH_ONLY };

    QRect graph;
    QRect vertical_legend;
    QRect vertical_title;
    QRect horizontal_legend;
    QRect horizontal_title;
    QRect title;
    QRect widget;

    // The areas of a graph filling rect, measured in the height of the font used.
    static TGraphLayout Of(TKind kind, const QRect &rect, int font_height);
};

// How the number labels of an axis are written: field width and decimals, and the measured size
// of one label.
struct TLabelFormat
{
    int field_width = 8;
    int precision = 4;
    QSize label_size = QSize(-1, -1);
};

struct TLabelFormats
{
    TLabelFormat horizontal;
    TLabelFormat vertical;
};

// What a picture shows besides the scene, and how it is drawn.
struct TGraphStyle
{
    bool frame = true;  // the outline of the whole picture
    bool titles = true; // the three titles
    // Where the painter's device is a raster at its own resolution: only what reaches the plot
    // area visited, curves drawn as the first, lowest, highest and last point of each pixel
    // column, lines hidden under later ones left out; the picture stays the same pixel for pixel.
    // Vector devices get every line.
    bool reduce = true;
    // Linear axes labelled at round values (see Round_Ticks), each label centred on its tick,
    // with faint lines across the plot area at the ticks; otherwise the labels spread evenly.
    bool round_ticks = false;
};

// The ticks of an axis at round values: whole multiples of step, which is 1, 2 or 5 times a
// power of ten, and their labels, which all differ.
struct TRoundTicks
{
    double step = 0.0;
    std::vector<double> values;
    std::vector<QString> labels;
};

// Paints a graph scene into any painter: axes with their ticks and number labels, zero lines,
// border, frame, titles and the data sets, for a layout and the two scale maps of its plot area.
// It keeps nothing and touches no widget.
namespace GraphPainter {

// The whole picture; returns the label formats it chose. The labels are measured and drawn in
// the painter's font; on return the painter's font is the bold 10-point title font.
TLabelFormats Paint(QPainter *painter, const TGraphScene &scene, const TGraphLayout &layout,
                    const TScaleMap &horizontal, const TScaleMap &vertical,
                    const TGraphStyle &style);

// The parts of Paint: the label formats of both axes (measured in the painter's font), the
// legend (everything but the data) and the data sets, clipped to the plot area (returning how
// many lines and rectangles went to the painter).
TLabelFormats Label_Formats(QPainter *painter, const TScaleMap &horizontal,
                            const TScaleMap &vertical);
void Draw_Legend(QPainter *painter, const TGraphScene &scene, const TGraphLayout &layout,
                 const TScaleMap &horizontal, const TScaleMap &vertical,
                 const TLabelFormats &formats, const TGraphStyle &style);
int Draw_Data(QPainter *painter, const TGraphScene &scene, const QRect &plot,
              const TScaleMap &horizontal, const TScaleMap &vertical, const TGraphStyle &style);

// Field width and decimals of the labels of an axis showing low to high, before a linear axis
// gets more decimals where neighbouring labels would read alike.
void Label_Format(TScaleMap::TScaleType type, bool vertical, const double &low, const double &high,
                  int *field_width, int *precision);
// Positions of the ticks of a linear axis spanning the pixels first to last with labels of the
// given size: evenly spread, the last one at last + 1.
std::vector<int> Linear_Tick_Positions(int first, int last, int label_size);
// The round ticks from low to high on an axis pixels long: those of the smallest step at which
// neighbouring ticks stand at least as far apart as room(label) says each label needs. Labels
// have the decimals of the step (none from 1 up); beyond what fixed decimals can write they are
// written with an exponent. No ticks for a range that is empty or not finite.
TRoundTicks Round_Ticks(const double &low, const double &high, double pixels,
                        const std::function<double(const QString &)> &room);
// Half the width of the bars of a set of count points on a plot area plot_width wide.
int Bar_Half_Width(int plot_width, int count, bool log_axis);

} // namespace GraphPainter

#endif
