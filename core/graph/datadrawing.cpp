#include "core/graph/datadrawing.h"

#include "core/graph/graphpainter.h"

#include <QImage>
#include <QLine>
#include <QPaintEngine>
#include <QPainter>
#include <QRect>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

using TDataSet = TGraphScene::TDataSet;
using TSpan = TGraphScene::TSpan;

// Lines are clipped in double to the plot area widened by this before they are truncated, so no
// coordinate handed to the painter is far outside it.
constexpr int Line_Reach = 2;
// Markers further out than this from the plot area cannot reach it.
constexpr int Marker_Reach = 8;
// Shorter runs of sets and shorter sets are simply walked through.
constexpr int Least_Bisected = 16;
// How many sets ahead the points are fetched on the way back through a run.
constexpr int Fetch_Ahead = 16;

bool Is_Line(TGraphScene::TGraphType type)
{
    return type == TGraphScene::GRAPH_LINE || type == TGraphScene::GRAPH_DEFAULT;
}

// The primitives of a run of consecutive data sets sharing one colour and one drawing type; they
// go to the painter in one call with the pen or brush set once.
class TPrimitiveBatch
{
public:
    explicit TPrimitiveBatch(QPainter *painter) : d_painter(painter), d_filled(false), d_drawn(0) {}

    void Start(const QColor &color, bool filled)
    {
        if (color != d_color || filled != d_filled)
            Flush();
        d_color = color;
        d_filled = filled;
    }

    void Flush()
    {
        d_drawn += d_lines.size() + d_rects.size();
        if (!d_lines.isEmpty()) {
            d_painter->setPen(d_color);
            d_painter->drawLines(d_lines);
            d_lines.clear();
        }
        if (!d_rects.isEmpty()) {
            d_painter->setPen(Qt::NoPen);
            d_painter->setBrush(d_color);
            d_painter->drawRects(d_rects);
            d_painter->setBrush(Qt::NoBrush);
            d_rects.clear();
        }
    }

    QPainter *d_painter;
    QColor d_color;
    bool d_filled;
    QVector<QLine> d_lines;
    QVector<QRect> d_rects;
    int d_drawn; // lines and rectangles handed to the painter so far
};

// What drawing a data set needs: both axes, the plot area and the box around it to which lines
// are clipped.
struct TPlotFrame
{
    TPlotFrame(const TScaleMap &h, const TScaleMap &v, const QRect &p)
        : horizontal(h), vertical(v), plot(p), box_left(p.left() - Line_Reach),
          box_top(p.top() - Line_Reach), box_right(p.right() + Line_Reach),
          box_bottom(p.bottom() + Line_Reach)
    {
    }

    TScaleMap horizontal;
    TScaleMap vertical;
    QRect plot;
    double box_left;
    double box_top;
    double box_right;
    double box_bottom;

    // Pixel position in double, before truncation; false for points without a position.
    bool Position(const TVector2 &p, double *px, double *py) const
    {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
        *px = horizontal.Position(p.x);
        *py = vertical.Position(p.y);
        return true;
    }

    // The same truncated to whole pixels.
    bool Pixel(const TVector2 &p, int *px, int *py) const
    {
        double fx;
        double fy;
        if (!Position(p, &fx, &fy))
            return false;
        *px = TScaleMap::To_Pixel(fx);
        *py = TScaleMap::To_Pixel(fy);
        return true;
    }
};

// Turns consecutive positions into segments clipped to the box around the plot area; a break
// starts a new line.
class TLineSink
{
public:
    TLineSink(const QRect &plot, QVector<QLine> *lines)
        : d_left(plot.left() - Line_Reach), d_top(plot.top() - Line_Reach),
          d_right(plot.right() + Line_Reach), d_bottom(plot.bottom() + Line_Reach), d_x(0.0),
          d_y(0.0), d_inside(false), d_have_previous(false), d_lines(lines)
    {
    }

    void Point(const double &x, const double &y)
    {
        const bool inside = d_left <= x && x <= d_right && d_top <= y && y <= d_bottom;
        if (d_have_previous) {
            double ax = d_x, ay = d_y, bx = x, by = y;
            // A segment between two points in the box is all in it.
            if ((inside && d_inside) ||
                DataDrawing::Clip_Segment(&ax, &ay, &bx, &by, d_left, d_top, d_right, d_bottom))
                d_lines->append(QLine(TScaleMap::To_Pixel(ax), TScaleMap::To_Pixel(ay),
                                      TScaleMap::To_Pixel(bx), TScaleMap::To_Pixel(by)));
        }
        d_x = x;
        d_y = y;
        d_inside = inside;
        d_have_previous = true;
    }

    void Break() { d_have_previous = false; }

private:
    double d_left;
    double d_top;
    double d_right;
    double d_bottom;
    double d_x;
    double d_y;
    bool d_inside;
    bool d_have_previous;
    QVector<QLine> *d_lines;
};

// Hands on, of each run of consecutive positions in one pixel column, the first, the lowest, the
// highest and the last, in their order. The segments between the others lie in that column
// between the lowest and the highest, where the ones kept draw the same pixels.
class TColumnReducer
{
public:
    explicit TColumnReducer(TLineSink *sink) : d_sink(sink), d_column(0), d_count(0) {}

    void Point(int index, const double &x, const double &y)
    {
        const int column = TScaleMap::To_Pixel(x);
        const TPoint p{index, x, y};
        if (d_count > 0 && column == d_column) {
            if (y < d_low.y)
                d_low = p;
            if (y > d_high.y)
                d_high = p;
            d_last = p;
            ++d_count;
            return;
        }
        Flush();
        d_column = column;
        d_first = d_low = d_high = d_last = p;
        d_count = 1;
    }

    void Break()
    {
        Flush();
        d_sink->Break();
    }

    void Flush()
    {
        if (d_count == 0)
            return;
        const bool low_first = d_low.index < d_high.index;
        const TPoint *kept[4] = {&d_first, low_first ? &d_low : &d_high,
                                 low_first ? &d_high : &d_low, &d_last};
        int emitted = -1;
        for (const TPoint *p : kept) {
            if (p->index != emitted)
                d_sink->Point(p->x, p->y);
            emitted = p->index;
        }
        d_count = 0;
    }

private:
    struct TPoint
    {
        int index;
        double x;
        double y;
    };

    TLineSink *d_sink;
    int d_column;
    int d_count;
    TPoint d_first{};
    TPoint d_low{};
    TPoint d_high{};
    TPoint d_last{};
};

// Whether things in ascending order of their x can be bisected by pixel columns.
bool Bisectable(const TScaleMap &map)
{
    return map.scale > 0.0 && map.type != TScaleMap::SCALE_LOG10;
}

// The points whose segments can reach the box around the plot area: with ascending x, from the
// one before the first inside to the one after the last inside, otherwise all.
void Reaching_Points(const TPlotFrame &frame, const TVector2 *points, int count, bool sorted,
                     int *begin, int *end)
{
    *begin = 0;
    *end = count;
    if (!sorted || count < Least_Bisected || !Bisectable(frame.horizontal))
        return;
    const double left = frame.plot.left() - Line_Reach;
    const double right = frame.plot.right() + Line_Reach;
    const TVector2 *first_inside =
        std::partition_point(points, points + count, [&](const TVector2 &p) {
            return frame.horizontal.Position(p.x) < left;
        });
    const TVector2 *first_beyond =
        std::partition_point(first_inside, points + count, [&](const TVector2 &p) {
            return frame.horizontal.Position(p.x) <= right;
        });
    *begin = std::max(0, static_cast<int>(first_inside - points) - 1);
    *end = std::min(count, static_cast<int>(first_beyond - points) + 1);
}

// Of things begin to end - 1 whose bounds ascend (both ends), those that can reach the plot area
// widened by reach: between the first that ends right of its left edge and the last that begins
// left of its right edge.
template <typename TLow, typename THigh>
void Reaching_Range(const TScaleMap &map, const QRect &plot, int reach, const TLow &x_low,
                    const THigh &x_high, std::size_t *begin, std::size_t *end)
{
    const auto Column = [&map](const double &x) { return TScaleMap::To_Pixel(map.Position(x)); };
    const int left = plot.left() - reach;
    const int right = plot.right() + reach;
    *begin = TGraphScene::Partition_Point(*begin, *end,
                                          [&](std::size_t k) { return Column(x_high(k)) < left; });
    *end = TGraphScene::Partition_Point(*begin, *end,
                                        [&](std::size_t k) { return Column(x_low(k)) <= right; });
}

// Straight segments between consecutive points of begin to end - 1; a point without a position
// breaks the line.
void Add_Lines(const TPlotFrame &frame, const TVector2 *points, int begin, int end, bool reduce,
               QVector<QLine> *lines)
{
    TLineSink sink(frame.plot, lines);
    TColumnReducer reducer(&sink);
    for (int i = begin; i < end; ++i) {
        double px;
        double py;
        const bool positioned = frame.Position(points[i], &px, &py);
        if (!reduce) {
            if (positioned)
                sink.Point(px, py);
            else
                sink.Break();
        } else if (positioned) {
            reducer.Point(i, px, py);
        } else {
            reducer.Break();
        }
    }
    reducer.Flush();
}

// A filled bar from each point to the zero line.
void Add_Bars(const TPlotFrame &frame, const TDataSet &set, TPrimitiveBatch *batch)
{
    batch->Start(set.dataset_color, true);
    const QRect &plot = frame.plot;
    const int hw = GraphPainter::Bar_Half_Width(plot.right() - plot.left() + 1,
                                                static_cast<int>(set.dataset_points.size()),
                                                frame.horizontal.type == TScaleMap::SCALE_LOG10);
    const int zero_row =
        std::max(plot.top() - 2, std::min(plot.bottom() + 2, frame.vertical.Position_Of(0.0)));
    for (const TVector2 &p : set.dataset_points) {
        int px;
        int py;
        if (!frame.Pixel(p, &px, &py) || px + hw < plot.left() - Marker_Reach ||
            px - hw > plot.right() + Marker_Reach)
            continue;
        py = std::max(plot.top() - 2, std::min(plot.bottom() + 2, py));
        const QRect bar =
            QRect(QPoint(px - hw, py), QPoint(px + hw - 1, zero_row - 1)).normalized();
        if (py != zero_row)
            batch->d_rects.append(bar);
    }
}

// An X of 7 x 7 pixels, or a filled 6 x 6 square, at each point.
void Add_Markers(const TPlotFrame &frame, const TDataSet &set, bool square, TPrimitiveBatch *batch)
{
    batch->Start(set.dataset_color, square);
    const QRect &plot = frame.plot;
    for (const TVector2 &p : set.dataset_points) {
        int px;
        int py;
        if (!frame.Pixel(p, &px, &py) || px < plot.left() - Marker_Reach ||
            px > plot.right() + Marker_Reach || py < plot.top() - Marker_Reach ||
            py > plot.bottom() + Marker_Reach)
            continue;
        if (square) {
            batch->d_rects.append(QRect(px - 3, py - 3, 6, 6));
        } else {
            batch->d_lines.append(QLine(px - 3, py - 3, px + 3, py + 3));
            batch->d_lines.append(QLine(px - 3, py + 3, px + 3, py - 3));
        }
    }
}

// Bars and markers of a set; lines are added by the caller.
void Add_Shapes(const TPlotFrame &frame, const TDataSet &set, TGraphScene::TGraphType type,
                TPrimitiveBatch *batch)
{
    switch (type) {
    case TGraphScene::GRAPH_BAR: Add_Bars(frame, set, batch); break;
    case TGraphScene::GRAPH_CROSS: Add_Markers(frame, set, false, batch); break;
    case TGraphScene::GRAPH_SQUARE: Add_Markers(frame, set, true, batch); break;
    default: break;
    }
}

// The sets that can reach the plot area, in drawing order: in a run of sets with ascending
// bounds, those between the first that ends right of its left edge and the last that begins
// left of its right edge. Sets without a position draw nothing.
std::vector<TGraphScene::TRun> Reaching_Sets(const TGraphScene &scene, const TPlotFrame &frame)
{
    const std::vector<TSpan> &spans = scene.Spans();
    std::vector<TGraphScene::TRun> reaching;
    for (TGraphScene::TRun run : scene.Runs()) {
        const TGraphScene::TGraphType type = scene.Type_Of(scene.Sets()[run.begin]);
        // Bars are as wide as their number makes them: those runs are walked through.
        if (Bisectable(frame.horizontal) && run.end - run.begin >= Least_Bisected &&
            type != TGraphScene::GRAPH_BAR) {
            std::size_t begin = static_cast<std::size_t>(run.begin);
            std::size_t end = static_cast<std::size_t>(run.end);
            Reaching_Range(
                frame.horizontal, frame.plot, Is_Line(type) ? Line_Reach : Marker_Reach,
                [&spans](std::size_t i) { return spans[i].bounds.x_low; },
                [&spans](std::size_t i) { return spans[i].bounds.x_high; }, &begin, &end);
            run.begin = static_cast<int>(begin);
            run.end = static_cast<int>(end);
        }
        if (run.begin < run.end)
            reaching.push_back(run);
    }
    return reaching;
}

// Every line of every set, in drawing order; what the plot area does not show is clipped.
int Draw_All(QPainter *painter, const TGraphScene &scene, const TPlotFrame &frame)
{
    TPrimitiveBatch batch(painter);
    for (const TDataSet &set : scene.Sets()) {
        const TGraphScene::TGraphType type = scene.Type_Of(set);
        TVector2 corners[4];
        for (std::size_t k = 0; k < set.Bracket_Places(); ++k) {
            TGraphScene::TBracket bracket;
            QRgb colour = 0;
            if (!set.Bracket(k, &bracket, &colour))
                continue;
            bracket.Points(corners);
            batch.Start(QColor::fromRgba(colour), false);
            Add_Lines(frame, corners, 0, 4, false, &batch.d_lines);
        }
        if (set.dataset_brackets)
            continue;
        if (Is_Line(type)) {
            batch.Start(set.dataset_color, false);
            Add_Lines(frame, set.dataset_points.data(), 0,
                      static_cast<int>(set.dataset_points.size()), false, &batch.d_lines);
        } else {
            Add_Shapes(frame, set, type, &batch);
        }
    }
    batch.Flush();
    return batch.d_drawn;
}

// The lines of a set of at most four points that all lie in the box around the plot area on
// linear axes: nothing to clip, and drawn as they are, the same pixels as reduced. False for any
// other set.
bool Few_Lines(const TPlotFrame &frame, const TVector2 *points, std::size_t n, QLine *lines,
               int *count)
{
    const TScaleMap &h = frame.horizontal;
    const TScaleMap &v = frame.vertical;
    if (n > 4 || h.type == TScaleMap::SCALE_LOG10 || v.type == TScaleMap::SCALE_LOG10)
        return false;
    int x[4];
    int y[4];
    for (std::size_t k = 0; k < n; ++k) {
        const double px = points[k].x * h.scale + h.offset;
        const double py = points[k].y * v.scale + v.offset;
        // Also false for a point without a position.
        if (!(frame.box_left <= px && px <= frame.box_right && frame.box_top <= py &&
              py <= frame.box_bottom))
            return false;
        x[k] = static_cast<int>(px);
        y[k] = static_cast<int>(py);
    }
    *count = 0;
    for (std::size_t k = 1; k < n; ++k)
        lines[(*count)++] = QLine(x[k - 1], y[k - 1], x[k], y[k]);
    return true;
}

// The lines of a set that reach the plot area, curves reduced to their pixel columns where
// reduce: in few (room for three) or in buffer.
const QLine *Set_Lines(const TPlotFrame &frame, const TVector2 *points, int n, bool sorted,
                       bool reduce, QLine *few, QVector<QLine> *buffer, int *count)
{
    if (Few_Lines(frame, points, static_cast<std::size_t>(n), few, count))
        return few;
    int begin = 0;
    int end = 0;
    Reaching_Points(frame, points, n, sorted, &begin, &end);
    buffer->clear();
    Add_Lines(frame, points, begin, end, reduce, buffer);
    *count = buffer->size();
    return buffer->constData();
}

// The pixels of the plot area that lines of later sets paint, one bit each, column by column,
// and an image of the plot area holding the pixels of the last line sets, those whose lines are
// all horizontal or vertical: painted last set first, each pixel by the first line reaching it,
// the image shows what drawing them in order would.
class TPixelLayer
{
public:
    explicit TPixelLayer(const QRect &plot)
        : d_plot(plot), d_words((std::max(0, plot.height()) + 63) / 64),
          d_bits(static_cast<std::size_t>(std::max(0, plot.width())) * d_words, 0),
          d_pixels(nullptr), d_stride(0), d_colour(0)
    {
    }

    // Whether every line is horizontal or vertical and all its pixels in the plot area are
    // painted later.
    bool Hides(const QLine *lines, int count)
    {
        for (int i = 0; i < count; ++i)
            if (!Walk<CHECK>(lines[i]))
                return false;
        return true;
    }

    // Marks the pixels of the horizontal and vertical lines as painted.
    void Cover(const QLine *lines, int count)
    {
        for (int i = 0; i < count; ++i)
            Walk<MARK>(lines[i]);
    }

    static bool Axis_Parallel(const QLine *lines, int count)
    {
        for (int i = 0; i < count; ++i)
            if (lines[i].x1() != lines[i].x2() && lines[i].y1() != lines[i].y2())
                return false;
        return true;
    }

    // Paints the pixels of the horizontal and vertical lines that no line painted yet into the
    // image.
    void Paint(const QLine *lines, int count, QRgb colour)
    {
        if (d_pixels == nullptr) {
            d_image = QImage(d_plot.size(), QImage::Format_ARGB32_Premultiplied);
            d_image.fill(Qt::transparent);
            d_pixels = d_image.bits();
            d_stride = d_image.bytesPerLine();
        }
        d_colour = colour;
        for (int i = 0; i < count; ++i)
            Walk<PAINT>(lines[i]);
    }

    // The image over what the painter drew before; returns the images drawn.
    int Draw(QPainter *painter) const
    {
        if (d_pixels == nullptr)
            return 0;
        painter->drawImage(d_plot.topLeft(), d_image);
        return 1;
    }

private:
    enum TWalk { CHECK, MARK, PAINT };

    // Walks the pixels of a line in the plot area: all of them painted already (CHECK; a sloping
    // line never is), marks them, or paints and marks those not painted yet.
    template <TWalk walk> bool Walk(const QLine &line)
    {
        const int left = d_plot.left();
        const int top = d_plot.top();
        if (line.x1() == line.x2()) {
            const int first = std::max(std::min(line.y1(), line.y2()), top);
            const int last = std::min(std::max(line.y1(), line.y2()), d_plot.bottom());
            if (line.x1() < left || line.x1() > d_plot.right() || first > last)
                return true;
            return Column_Run<walk>(line.x1() - left, first - top, last - top);
        }
        if (line.y1() != line.y2())
            return false;
        const int first = std::max(std::min(line.x1(), line.x2()), left);
        const int last = std::min(std::max(line.x1(), line.x2()), d_plot.right());
        if (line.y1() < top || line.y1() > d_plot.bottom())
            return true;
        const int row = line.y1() - top;
        const std::uint64_t bit = std::uint64_t(1) << (row % 64);
        std::uint64_t *word = &d_bits[static_cast<std::size_t>(first - left) * d_words +
                                      static_cast<std::size_t>(row / 64)];
        QRgb *pixel = walk != PAINT
                          ? nullptr
                          : reinterpret_cast<QRgb *>(d_pixels + row * d_stride) + (first - left);
        for (int x = first; x <= last; ++x, word += d_words) {
            if (walk == CHECK && (*word & bit) == 0)
                return false;
            if (walk == PAINT && (*word & bit) == 0)
                pixel[x - first] = d_colour;
            *word |= bit;
        }
        return true;
    }

    // Rows first to last of a column.
    template <TWalk walk> bool Column_Run(int column, int first, int last)
    {
        std::uint64_t *words = &d_bits[static_cast<std::size_t>(column) * d_words];
        for (int w = first / 64; w <= last / 64; ++w) {
            const int from = std::max(first, w * 64) - w * 64;
            const int to = std::min(last, w * 64 + 63) - w * 64;
            const std::uint64_t bits = (to - from == 63)
                                           ? ~std::uint64_t(0)
                                           : ((std::uint64_t(1) << (to - from + 1)) - 1) << from;
            if (walk == CHECK) {
                if ((words[w] & bits) != bits)
                    return false;
                continue;
            }
            if (walk == PAINT) {
                for (std::uint64_t fresh = bits & ~words[w]; fresh != 0; fresh &= fresh - 1) {
                    const int row = w * 64 + __builtin_ctzll(fresh);
                    reinterpret_cast<QRgb *>(d_pixels + row * d_stride)[column] = d_colour;
                }
            }
            words[w] |= bits;
        }
        return true;
    }

    QRect d_plot;
    int d_words;
    std::vector<std::uint64_t> d_bits;
    QImage d_image;
    uchar *d_pixels;
    int d_stride;
    QRgb d_colour;
};

// Whether the painter paints whole pixels of its own 24- or 32-bit device, opaque over what is
// there: then lines drawn over the same pixels can be left out.
bool Paints_Device_Pixels(QPainter *painter)
{
    const QPaintEngine *engine = painter->paintEngine();
    const QTransform transform = painter->combinedTransform();
    const int depth = painter->device()->depth();
    return engine != nullptr && engine->type() == QPaintEngine::Raster &&
           (depth == 24 || depth == 32) && transform.type() <= QTransform::TxTranslate &&
           transform.dx() == std::floor(transform.dx()) &&
           transform.dy() == std::floor(transform.dy()) &&
           !painter->testRenderHint(QPainter::Antialiasing) && painter->opacity() == 1.0 &&
           painter->compositionMode() == QPainter::CompositionMode_SourceOver;
}

// A set (or one bracket of it) drawn in the end, with the lines it draws (none for bars and
// markers).
struct TKept
{
    int set;
    int bracket; // -1: the set's points
    int first_line;
    int line_count;
};

// Goes through the sets reaching the plot area last to first. The last line sets whose lines
// are all horizontal or vertical go into the pixel layer; from the last set that cannot on, line
// sets that later lines hide are left out and curves are reduced to their pixel columns: those
// kept are listed, last first, with their lines.
void Sort_Out_Sets(const TGraphScene &scene, const TPlotFrame &frame, TPixelLayer *layer,
                   std::vector<TKept> *kept, QVector<QLine> *lines)
{
    const std::vector<TGraphScene::TRun> runs = Reaching_Sets(scene, frame);
    const std::vector<TDataSet> &sets = scene.Sets();
    const std::vector<TSpan> &spans = scene.Spans();
    bool layered = true;
    QVector<QLine> buffer;
    // A line set, or a bracket (set, bracket) drawn as a line set of its own.
    const auto Take_Lines = [&](int set, int bracket, const TVector2 *points, int n, bool sorted,
                                QRgb colour) {
        // Translucent lines show what is under them, and each line over a pixel darkens it.
        const bool opaque = qAlpha(colour) == 255;
        QLine few[3];
        int count = 0;
        const QLine *set_lines = Set_Lines(frame, points, n, sorted, opaque, few, &buffer, &count);
        // A hidden set paints no pixel of the layer.
        layered = layered && opaque && TPixelLayer::Axis_Parallel(set_lines, count);
        if (layered) {
            layer->Paint(set_lines, count, colour);
            return;
        }
        if (layer->Hides(set_lines, count))
            return;
        if (opaque)
            layer->Cover(set_lines, count);
        kept->push_back({set, bracket, lines->size(), count});
        for (int k = 0; k < count; ++k)
            lines->append(set_lines[k]);
    };
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        for (int i = run->end - 1; i >= run->begin; --i) {
            // The points of each set lie apart, and the walk goes backwards: fetch ahead.
            if (i >= run->begin + Fetch_Ahead)
                __builtin_prefetch(
                    sets[static_cast<std::size_t>(i - Fetch_Ahead)].dataset_points.data());
            const TDataSet &set = sets[static_cast<std::size_t>(i)];
            const TSpan &span = spans[static_cast<std::size_t>(i)];
            if (!Is_Line(scene.Type_Of(set))) {
                kept->push_back({i, -1, 0, 0});
                layered = false;
                continue;
            }
            if (!set.dataset_brackets) {
                Take_Lines(i, -1, set.dataset_points.data(),
                           static_cast<int>(set.dataset_points.size()), span.sorted, span.colour);
                continue;
            }
            const TGraphScene::TBracket_Source &source = *set.dataset_brackets;
            const double reach = std::fabs(source.Reach());
            std::size_t begin = 0;
            std::size_t end = source.Count();
            if (span.sorted && end >= Least_Bisected && Bisectable(frame.horizontal))
                Reaching_Range(
                    frame.horizontal, frame.plot, Line_Reach,
                    [&](std::size_t k) { return source.Position(k) - reach; },
                    [&](std::size_t k) { return source.Position(k) + reach; }, &begin, &end);
            TVector2 corners[4];
            for (std::size_t k = end; k-- > begin;) {
                TGraphScene::TBracket bracket;
                QRgb colour = 0;
                if (!set.Bracket(k, &bracket, &colour))
                    continue;
                bracket.Points(corners);
                Take_Lines(i, static_cast<int>(k), corners, 4, false, colour);
            }
        }
    }
}

// The sets kept, in order, then the pixel layer over them.
int Draw_Reduced(QPainter *painter, const TGraphScene &scene, const TPlotFrame &frame)
{
    TPixelLayer layer(frame.plot);
    std::vector<TKept> kept;
    QVector<QLine> lines;
    Sort_Out_Sets(scene, frame, &layer, &kept, &lines);
    TPrimitiveBatch batch(painter);
    for (auto k = kept.rbegin(); k != kept.rend(); ++k) {
        const TDataSet &set = scene.Sets()[static_cast<std::size_t>(k->set)];
        const TGraphScene::TGraphType type = scene.Type_Of(set);
        if (k->bracket >= 0) {
            TGraphScene::TBracket bracket;
            QRgb colour = 0;
            set.Bracket(static_cast<std::size_t>(k->bracket), &bracket, &colour);
            batch.Start(QColor::fromRgba(colour), false);
            batch.d_lines.append(lines.mid(k->first_line, k->line_count));
        } else if (Is_Line(type)) {
            batch.Start(set.dataset_color, false);
            batch.d_lines.append(lines.mid(k->first_line, k->line_count));
        } else {
            Add_Shapes(frame, set, type, &batch);
        }
    }
    batch.Flush();
    return batch.d_drawn + layer.Draw(painter);
}

} // namespace

namespace DataDrawing {

bool Clip_Segment(double *x0, double *y0, double *x1, double *y1, double left, double top,
                  double right, double bottom)
{
    const double dx = *x1 - *x0;
    const double dy = *y1 - *y0;
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {*x0 - left, right - *x0, *y0 - top, bottom - *y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1)
                return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0)
                return false;
            t1 = std::min(t1, r);
        }
    }
    const double sx = *x0;
    const double sy = *y0;
    if (t1 < 1.0) {
        *x1 = sx + t1 * dx;
        *y1 = sy + t1 * dy;
    }
    if (t0 > 0.0) {
        *x0 = sx + t0 * dx;
        *y0 = sy + t0 * dy;
    }
    return true;
}

int Draw(QPainter *painter, const TGraphScene &scene, const QRect &plot,
         const TScaleMap &horizontal, const TScaleMap &vertical, bool reduce)
{
    if (scene.Sets().empty())
        return 0;
    painter->setClipRect(plot, Qt::ReplaceClip);
    const TPlotFrame frame{horizontal, vertical, plot};
    const int drawn = reduce && Paints_Device_Pixels(painter) ? Draw_Reduced(painter, scene, frame)
                                                              : Draw_All(painter, scene, frame);
    painter->setClipping(false);
    return drawn;
}

} // namespace DataDrawing
