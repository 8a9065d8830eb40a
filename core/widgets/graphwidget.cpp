#include "core/widgets/graphwidget.h"

#include "core/base/assertion.h"

#include <QFont>
#include <QFontMetrics>
#include <QLine>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QResizeEvent>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Pixel positions are clamped to this before truncation: far beyond any plot area, yet far inside
// int, so deep zooms and huge values never overflow and inf/NaN never reach a conversion.
constexpr double Pixel_Limit = 1.0e7;
// Before a segment is clipped to the plot area its ends are kept within this: far enough that
// the direction of any line crossing the plot area is kept, yet finite.
constexpr double Segment_Limit = 1.0e15;
// Data bounds beyond this are treated as this, so extents, margins and the zoom-out limit stay
// finite.
constexpr double Value_Limit = 1.0e300;
// Whole numbers handled by the integer axes.
constexpr double Integer_Limit = 1.0e15;
// Extents are never narrower than this fraction of their magnitude: beyond it a fixed widening
// would vanish in rounding and the scale would divide by zero.
constexpr double Relative_Least_Extent = 1.0e-12;

const char *const Cursor_Format = "%1,   %2";
// Labels of a linear axis get at most this many decimals to tell neighbours apart.
constexpr int Most_Label_Decimals = 10;

// Truncation toward zero of a clamped pixel position; NaN maps to 0.
int To_Pixel(double value)
{
    if (std::isnan(value))
        return 0;
    value = std::max(-Pixel_Limit, std::min(Pixel_Limit, value));
    return static_cast<int>(value);
}

// The logarithmic warp of a pixel between first and last (first <= last), compressed toward
// first; pixels outside stay as they are.
int Warp_From_Near_End(int pixel, int first, int last)
{
    const double w = static_cast<double>(last) - first + 1.0;
    const double d = static_cast<double>(pixel) - first;
    if (w == 0.0 || d < 0.0 || d > w)
        return pixel;
    return first + To_Pixel(w * std::log10(9.0 * d / w + 1.0) + 0.5);
}

// The same warp mirrored: compressed toward last.
int Warp_From_Far_End(int pixel, int first, int last)
{
    const double w = static_cast<double>(last) - first + 1.0;
    const double d = static_cast<double>(pixel) - first;
    if (w == 0.0 || d < 0.0 || d > w)
        return pixel;
    return first + static_cast<int>(w) - To_Pixel(w * std::log10(9.0 * (w - d) / w + 1.0) + 0.5);
}

int Truncate_To_Int(double value, int limit)
{
    if (std::isnan(value))
        return 0;
    const double bound = static_cast<double>(limit);
    value = std::max(-bound, std::min(bound, value));
    return static_cast<int>(value);
}

double Clamp_Value(const double &value)
{
    return std::max(-Value_Limit, std::min(Value_Limit, value));
}

// Keeps an extent at least 1e-5 wide by widening 5e-6 on each side.
void Widen_Small_Extent(double *low, double *high)
{
    if (*high - *low < 1e-5) {
        *high += 5e-6;
        *low -= 5e-6;
    }
    const double least = (std::fabs(*low) + std::fabs(*high)) * Relative_Least_Extent;
    if (*high - *low < least) {
        const double middle = *low / 2.0 + *high / 2.0;
        *low = middle - least;
        *high = middle + least;
    }
}

// The margins of a linear axis: a fiftieth of the extent on each side.
void Add_Margins(double *low, double *high)
{
    const double m = (*high - *low) / 50.0;
    *low -= m;
    *high += m;
}

// The zoom-out limit: an extent wider than 50 times the last data fit is scaled down toward
// value 0.
void Limit_Zoom_Out(double *low, double *high, const double &data_range)
{
    if (*high - *low > 50.0 * data_range) {
        const double k = 50.0 * data_range / (*high - *low);
        *low *= k;
        *high *= k;
    }
}

QString Cursor_Read_Out(const double &x, const double &y)
{
    return QString(Cursor_Format).arg(x, 0, 'f', 5, QChar(' ')).arg(y, 0, 'f', 5, QChar(' '));
}

struct TInteger_Tick
{
    int pixel;
    qlonglong value;
};

// The whole numbers from low to high that an integer axis labels, at their pixels value * scale +
// offset: the first one, then each one more than spacing pixels from the last one kept.
std::vector<TInteger_Tick> Integer_Ticks(const double &low, const double &high, const double &scale,
                                         const double &offset, int spacing)
{
    std::vector<TInteger_Tick> ticks;
    if (!std::isfinite(low) || !std::isfinite(high))
        return ticks;
    const qlonglong first =
        static_cast<qlonglong>(std::max(-Integer_Limit, std::min(Integer_Limit, low)));
    const qlonglong last =
        static_cast<qlonglong>(std::max(-Integer_Limit, std::min(Integer_Limit, high)));
    auto Pixel = [&](qlonglong k) { return To_Pixel(k * scale + offset); };
    qlonglong k = first;
    while (k <= last) {
        const int pixel = Pixel(k);
        ticks.push_back({pixel, k});
        // The pixels move away from this label as k grows, so the next number far enough from it
        // is found by bisection, not by walking a wide range number by number.
        qlonglong below = k + 1;
        qlonglong beyond = last + 1;
        while (below < beyond) {
            const qlonglong middle = below + (beyond - below) / 2;
            if (std::abs(Pixel(middle) - pixel) > spacing)
                beyond = middle;
            else
                below = middle + 1;
        }
        k = below;
    }
    return ticks;
}

// A number label of an axis at the pixel column or row at.
struct TAxis_Label
{
    int at;
    QString text;
};

QString Value_Label(const double &value, int field_width, int precision)
{
    QString text = QString("%1").arg(value, field_width, 'f', precision, QChar(' '));
    // A small negative value rounded to zero reads as zero, not as "-0.0000".
    const int minus = text.indexOf('-');
    if (minus >= 0 && std::all_of(text.begin(), text.end(), [](QChar c) {
            return c == ' ' || c == '-' || c == '0' || c == '.';
        }))
        text[minus] = ' ';
    return text;
}

// The distance that thins the labels of an axis: their width horizontally, their height
// vertically.
int Label_Spacing(const TGraphWidget::TScaleMap &map, const QSize &label_size)
{
    return std::max(1, map.vertical ? label_size.height() : label_size.width());
}

// The labels of an axis in the given number format, spacing pixels apart at least where the rule
// of the scale type thins them (the labels' width horizontally, their height vertically).
std::vector<TAxis_Label> Axis_Labels(const TGraphWidget::TScaleMap &map, int spacing,
                                     int field_width, int precision)
{
    std::vector<TAxis_Label> labels;
    switch (map.type) {
    case TGraphWidget::SCALE_LINEAR: {
        std::vector<int> pixels = TGraphWidget::Linear_Tick_Positions(map.first, map.last, spacing);
        // A single label sits at the low end of the axis.
        if (pixels.size() == 1)
            pixels[0] = map.Low_Pixel();
        for (int pixel : pixels)
            labels.push_back({pixel, Value_Label(map.Plain_Value(pixel), field_width, precision)});
        break;
    }
    case TGraphWidget::SCALE_INTEGER: {
        if (!(map.vertical ? map.scale < 0.0 : map.scale > 0.0))
            break;
        // The vertical axis counts from the row below the plot area, the horizontal one from its
        // first column.
        const int low_pixel = map.vertical ? map.Low_Pixel() + 1 : map.Low_Pixel();
        for (const TInteger_Tick &tick :
             Integer_Ticks(map.Plain_Value(low_pixel), map.Plain_Value(map.High_Pixel()), map.scale,
                           map.offset, spacing))
            // Vertical labels keep a blank between the number and its tick.
            labels.push_back({tick.pixel, QString(map.vertical ? "%1 " : "%1").arg(tick.value)});
        break;
    }
    case TGraphWidget::SCALE_LOG10: {
        const int n = (map.last - map.first + 1) / spacing;
        if (n <= 0)
            break;
        const double lo = map.Plain_Value(map.Low_Pixel());
        const double hi = map.Plain_Value(map.High_Pixel());
        double step = (hi - lo) / (n - 1);
        // The horizontal axis steps by whole numbers; the vertical one keeps a fractional step.
        if (!map.vertical)
            step = std::ceil(step);
        double v = lo;
        int previous = 0;
        for (int i = 0; i < n; ++i) {
            const int pixel = map.Log10_Position(v);
            const int distance = map.vertical ? previous - pixel : pixel - previous;
            if (i > 0 && distance < spacing)
                step *= 1.5;
            // The horizontal axis labels the stepped value, the vertical one the value read back
            // at the label's row.
            const double shown = map.vertical ? map.Log10_Value(pixel) : v;
            labels.push_back({pixel, Value_Label(shown, field_width, precision)});
            previous = pixel;
            // The horizontal axis stops before passing the high end, the vertical one after.
            if (map.vertical ? v > hi : v > hi - step)
                break;
            v += step;
        }
        break;
    }
    }
    return labels;
}

// Ticks in the grid pen; leaves the text pen set for the labels.
void Draw_Ticks(QPainter *painter, const QVector<QLine> &ticks)
{
    painter->setPen(QPen(Qt::lightGray));
    painter->drawLines(ticks);
    painter->setPen(QPen(Qt::black));
}

// Size of a text in the painter's font, at least one pixel each way.
QSize Measured_Size(QPainter *painter, const QString &text)
{
    const QRect box = painter->boundingRect(QRect(), 0, text);
    return QSize(std::max(1, box.width()), std::max(1, box.height()));
}

// Liang-Barsky clipping of the segment (x0, y0)-(x1, y1) to the box; false when nothing is left.
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

// The primitives of a run of consecutive data sets sharing one colour and one drawing type; they
// go to the painter in one call with the pen or brush set once.
class TPrimitiveBatch
{
public:
    explicit TPrimitiveBatch(QPainter *painter) : d_painter(painter), d_filled(false) {}

    void Start(const QColor &color, bool filled)
    {
        if (color != d_color || filled != d_filled)
            Flush();
        d_color = color;
        d_filled = filled;
    }

    void Flush()
    {
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
};

// What drawing a data set needs: both axes and the plot area.
struct TPlotFrame
{
    TGraphWidget::TScaleMap horizontal;
    TGraphWidget::TScaleMap vertical;
    QRect plot;

    // Pixel position in double, before truncation; false for points without a position.
    bool Position(const TVector2 &p, double *px, double *py) const
    {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
        *px = Unclipped_Position(horizontal, p.x);
        *py = Unclipped_Position(vertical, p.y);
        return true;
    }

    // The same truncated to whole pixels.
    bool Pixel(const TVector2 &p, int *px, int *py) const
    {
        double fx;
        double fy;
        if (!Position(p, &fx, &fy))
            return false;
        *px = To_Pixel(fx);
        *py = To_Pixel(fy);
        return true;
    }

    static double Unclipped_Position(const TGraphWidget::TScaleMap &map, const double &value)
    {
        if (map.type == TGraphWidget::SCALE_LOG10)
            return map.Log10_Position(value);
        return std::max(-Segment_Limit, std::min(Segment_Limit, value * map.scale + map.offset));
    }
};

// Markers and bars further out than this from the plot area cannot reach it.
constexpr int Marker_Reach = 8;

// Straight segments between consecutive points; a point without a position breaks the line.
void Add_Lines(const TPlotFrame &frame, const TGraphWidget::TDataSet &set, TPrimitiveBatch *batch)
{
    batch->Start(set.dataset_color, false);
    // Segments are clipped in double to a box slightly larger than the plot area before they are
    // truncated, so no coordinate handed to the painter is far outside it.
    const double left = frame.plot.left() - 2.0;
    const double top = frame.plot.top() - 2.0;
    const double right = frame.plot.right() + 2.0;
    const double bottom = frame.plot.bottom() + 2.0;
    double px0 = 0.0;
    double py0 = 0.0;
    bool have_previous = false;
    for (const TVector2 &p : set.dataset_points) {
        double px1;
        double py1;
        if (!frame.Position(p, &px1, &py1)) {
            have_previous = false;
            continue;
        }
        if (have_previous) {
            double ax = px0, ay = py0, bx = px1, by = py1;
            if (Clip_Segment(&ax, &ay, &bx, &by, left, top, right, bottom))
                batch->d_lines.append(
                    QLine(To_Pixel(ax), To_Pixel(ay), To_Pixel(bx), To_Pixel(by)));
        }
        px0 = px1;
        py0 = py1;
        have_previous = true;
    }
}

// A filled bar from each point to the zero line.
void Add_Bars(const TPlotFrame &frame, const TGraphWidget::TDataSet &set, TPrimitiveBatch *batch)
{
    batch->Start(set.dataset_color, true);
    const QRect &plot = frame.plot;
    const int hw = TGraphWidget::Bar_Half_Width(plot.right() - plot.left() + 1,
                                                static_cast<int>(set.dataset_points.size()),
                                                frame.horizontal.type == TGraphWidget::SCALE_LOG10);
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
void Add_Markers(const TPlotFrame &frame, const TGraphWidget::TDataSet &set, bool square,
                 TPrimitiveBatch *batch)
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

} // namespace

// ===================================================================================== widget

TGraphWidget::TGraphWidget(const QWidget *parent, Qt::WindowFlags flags)
    // Qt's parent chain needs a mutable parent; the widget never modifies it through this pointer.
    : QWidget(const_cast<QWidget *>(parent), flags), d_horizontal_scale(1.0),
      d_vertical_scale(-1.0), d_horizontal_offset(0.0), d_vertical_offset(0.0),
      d_vertical_title(QStringLiteral("V Title")), d_horizontal_title(QStringLiteral("H Title")),
      d_title(QStringLiteral("Sample Graph")), d_horizontal_field_width(8),
      d_horizontal_precision(4), d_vertical_field_width(8), d_vertical_precision(4),
      d_vertical_label_size(-1, -1), d_horizontal_label_size(-1, -1), d_graph_type(GRAPH_LINE),
      d_horizontal_data_range(1e-5), d_vertical_data_range(1e-5),
      d_cursor_text(Cursor_Read_Out(0.0, 0.0)), d_drag_state(DRAG_NONE),
      d_show_cursor_position(true), d_direct_render(false), d_y_includes_zero(true),
      d_scale_minimum_symmetric(true), d_draw_frame(true), d_scale_to_fit_pending(false),
      d_zoom_out_pending(false), d_horizontal_scale_type(SCALE_LINEAR),
      d_vertical_scale_type(SCALE_LINEAR), d_scale_minimum_y(5e-6), d_lock_aspect_ratio(false)
{
    setAttribute(Qt::WA_MouseTracking);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
}

TGraphWidget::~TGraphWidget() = default;

// ================================================================================= data sets

int TGraphWidget::CreateDataSet(QColor color, TGraphType type)
{
    TDataSet set;
    set.dataset_color = color;
    set.dataset_type = type;
    d_data_sets.push_back(set);
    return static_cast<int>(d_data_sets.size()) - 1;
}

bool TGraphWidget::AddPoint(int set, const TVector2 &point)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    d_data_sets[set].dataset_points.push_back(point);
    return true;
}

bool TGraphWidget::AddPoints(int set, const std::vector<TVector2> &points)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    std::vector<TVector2> &target = d_data_sets[set].dataset_points;
    target.insert(target.end(), points.begin(), points.end());
    return true;
}

bool TGraphWidget::SetPoints(int set, const std::vector<TVector2> &points)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    d_data_sets[set].dataset_points = points;
    return true;
}

bool TGraphWidget::ModifyPoint(int set, int index, const TVector2 &point)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    QUORVAL_ASSERT(index < static_cast<int>(d_data_sets[set].dataset_points.size()));
    QUORVAL_ASSERT(index >= 0);
    d_data_sets[set].dataset_points[index] = point;
    return true;
}

bool TGraphWidget::DeletePoint(int set, int index)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    QUORVAL_ASSERT(index < static_cast<int>(d_data_sets[set].dataset_points.size()));
    QUORVAL_ASSERT(index >= 0);
    std::vector<TVector2> &points = d_data_sets[set].dataset_points;
    points.erase(points.begin() + index);
    return true;
}

bool TGraphWidget::DeletePoints(int set)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    d_data_sets[set].dataset_points.clear();
    return true;
}

bool TGraphWidget::DeleteDataSet(int index)
{
    QUORVAL_ASSERT(index < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(index >= 0);
    d_data_sets.erase(d_data_sets.begin() + index);
    return true;
}

void TGraphWidget::DeleteDataSets() { d_data_sets.clear(); }

int TGraphWidget::DataSetSize(int set) const
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    return static_cast<int>(d_data_sets[set].dataset_points.size());
}

TVector2 TGraphWidget::GetPoint(int set, int index) const
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    QUORVAL_ASSERT(index < static_cast<int>(d_data_sets[set].dataset_points.size()));
    QUORVAL_ASSERT(index >= 0);
    return d_data_sets[set].dataset_points[index];
}

int TGraphWidget::DataSetCount() const { return static_cast<int>(d_data_sets.size()); }

bool TGraphWidget::GenerateRGBColor(int index, int *red, int *green, int *blue)
{
    QUORVAL_ASSERT(red && green && blue);
    static const int Intensity[16] = {255, 128, 192, 64, 160, 224, 96,  32,
                                      144, 112, 176, 80, 208, 48,  240, 16};
    static const int Enable[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                     {1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
    *red = *green = *blue = 0;
    // A negative index has no colour either.
    if (index > 96 || index < 0)
        return false;
    const int q = index / 6;
    const int m = index - 6 * q;
    const int intensity = (q == 16) ? 0 : Intensity[q];
    *red = intensity * Enable[m][0];
    *green = (intensity * Enable[m][1]) / 2;
    *blue = intensity * Enable[m][2];
    return true;
}

// ================================================================================== settings

void TGraphWidget::SetScaleMinimumY(const double &minimum, bool symmetric)
{
    d_scale_minimum_y = (minimum > 0.0) ? minimum : 5e-5;
    d_scale_minimum_symmetric = symmetric;
}

void TGraphWidget::EnableYIncludesZero(bool enable) { d_y_includes_zero = enable; }

void TGraphWidget::SetTitle(const QString &title) { d_title = title; }

void TGraphWidget::SetHorizontalTitle(const QString &title) { d_horizontal_title = title; }

void TGraphWidget::SetVerticalTitle(const QString &title) { d_vertical_title = title; }

// ===================================================================== scale: the axis maps

double TGraphWidget::TScaleMap::Value_At(int pixel) const
{
    if (type == SCALE_LOG10)
        return Log10_Value(pixel);
    return (pixel - offset) / scale;
}

int TGraphWidget::TScaleMap::Position_Of(const double &value) const
{
    if (type == SCALE_LOG10)
        return Log10_Position(value);
    return To_Pixel(value * scale + offset);
}

int TGraphWidget::TScaleMap::Log10_Position(const double &value) const
{
    if (last - first + 1 == 0)
        return 0;
    const int low = Low_Pixel();
    const int high = High_Pixel();
    const double lo = (low - offset) / scale;
    const double hi = (high - offset) / scale;
    if (value < lo)
        return low;
    if (value > hi)
        return high;
    const double range = hi - lo;
    if (!(range > 0.0) || !std::isfinite(value))
        return low;
    const double e = std::pow(10.0, (range - (value - lo)) / range);
    const double f = 1.0 - (e - 1.0) / 9.0;
    return To_Pixel((lo + f * range) * scale + offset);
}

double TGraphWidget::TScaleMap::Log10_Value(int pixel) const
{
    return (Reverse_Log10(pixel) - offset) / scale;
}

// The warp is the same in values on both axes; rows count the other way, so in pixels the
// vertical axis uses the mirrored form.
int TGraphWidget::TScaleMap::Reverse_Log10(int pixel) const
{
    return vertical ? Warp_From_Near_End(pixel, first, last)
                    : Warp_From_Far_End(pixel, first, last);
}

int TGraphWidget::TScaleMap::Forward_Log10(int pixel) const
{
    return vertical ? Warp_From_Far_End(pixel, first, last)
                    : Warp_From_Near_End(pixel, first, last);
}

TGraphWidget::TScaleMap TGraphWidget::Horizontal_Map() const
{
    return {d_horizontal_scale,   d_horizontal_offset,     d_graph_rect.left(),
            d_graph_rect.right(), d_horizontal_scale_type, false};
}

TGraphWidget::TScaleMap TGraphWidget::Vertical_Map() const
{
    return {d_vertical_scale,      d_vertical_offset,     d_graph_rect.top(),
            d_graph_rect.bottom(), d_vertical_scale_type, true};
}

// ===================================================================== scale: the transform

void TGraphWidget::Set_Transform(const double &xmin, const double &xmax, const double &ymin,
                                 const double &ymax)
{
    const double hs = (d_graph_rect.right() - d_graph_rect.left()) / (xmax - xmin);
    const double ho = d_graph_rect.left() - xmin * hs;
    const double vs = (d_graph_rect.top() - d_graph_rect.bottom()) / (ymax - ymin);
    const double vo = d_graph_rect.bottom() - ymin * vs;
    // A transform that cannot map back (zero-sized plot area, overflow) is not taken.
    if (!std::isfinite(hs) || !std::isfinite(ho) || !std::isfinite(vs) || !std::isfinite(vo))
        return;
    if (hs == 0.0 && d_graph_rect.right() != d_graph_rect.left())
        return;
    if (vs == 0.0 && d_graph_rect.top() != d_graph_rect.bottom())
        return;
    d_horizontal_scale = hs;
    d_horizontal_offset = ho;
    d_vertical_scale = vs;
    d_vertical_offset = vo;
}

bool TGraphWidget::Data_Bounds(const double &low, const double &high, double *xmin, double *xmax,
                               double *ymin, double *ymax) const
{
    bool found = false;
    for (const TDataSet &set : d_data_sets) {
        for (const TVector2 &p : set.dataset_points) {
            // Points without a position (inf, NaN) are not drawn and do not widen the view.
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || p.x < low || p.x > high)
                continue;
            if (!found) {
                *xmin = *xmax = p.x;
                *ymin = *ymax = p.y;
                found = true;
            } else {
                *xmin = std::min(*xmin, p.x);
                *xmax = std::max(*xmax, p.x);
                *ymin = std::min(*ymin, p.y);
                *ymax = std::max(*ymax, p.y);
            }
        }
    }
    return found;
}

void TGraphWidget::Include_Zero(double *ymin, double *ymax) const
{
    if (d_y_includes_zero) {
        *ymax = std::max(*ymax, d_scale_minimum_y);
        if (d_scale_minimum_symmetric)
            *ymin = std::min(*ymin, -d_scale_minimum_y);
    }
}

void TGraphWidget::Update_Viewport_To_Data()
{
    double xmax = 5e-6;
    double ymax = 5e-6;
    double xmin = -5e-6;
    double ymin = -5e-6;
    const double all = std::numeric_limits<double>::infinity();
    Data_Bounds(-all, all, &xmin, &xmax, &ymin, &ymax);
    xmin = Clamp_Value(xmin);
    xmax = Clamp_Value(xmax);
    ymin = Clamp_Value(ymin);
    ymax = Clamp_Value(ymax);

    Include_Zero(&ymin, &ymax);
    if (d_graph_type == GRAPH_BAR) {
        const double pad = (xmax - xmin) / (d_horizontal_scale_type == SCALE_LOG10 ? 40.0 : 20.0);
        xmax += pad;
        xmin -= pad;
    }
    Widen_Small_Extent(&xmin, &xmax);
    if (d_lock_aspect_ratio) {
        const double xc = (xmin + xmax) / 2.0;
        const double height = std::abs(d_graph_rect.top() - d_graph_rect.bottom());
        if (height > 0.0) {
            const double r = std::abs(d_graph_rect.right() - d_graph_rect.left()) / height;
            xmin = xc + r * ymin;
            xmax = xc + r * ymax;
        } else {
            xmin = xc + ymin;
            xmax = xc + ymax;
        }
        // Locked to a narrow plot area the horizontal extent can collapse again.
        Widen_Small_Extent(&xmin, &xmax);
    }
    Widen_Small_Extent(&ymin, &ymax);

    d_horizontal_data_range = xmax - xmin;
    d_vertical_data_range = ymax - ymin;

    if (d_horizontal_scale_type == SCALE_LINEAR)
        Add_Margins(&xmin, &xmax);
    if (d_vertical_scale_type == SCALE_LINEAR)
        Add_Margins(&ymin, &ymax);
    Set_Transform(xmin, xmax, ymin, ymax);
}

void TGraphWidget::Set_Horizontal_Range(const double &low, const double &high)
{
    if (d_widget_rect.isEmpty() || !std::isfinite(low) || !std::isfinite(high))
        return;
    double xmin = Clamp_Value(std::min(low, high));
    double xmax = Clamp_Value(std::max(low, high));
    Widen_Small_Extent(&xmin, &xmax);

    // The vertical range fits the points shown as a fit to the data does; without any it stays.
    const TScaleMap vertical = Vertical_Map();
    double ymin = vertical.Plain_Value(vertical.Low_Pixel());
    double ymax = vertical.Plain_Value(vertical.High_Pixel());
    double x0 = 0.0;
    double x1 = 0.0;
    double y0 = 0.0;
    double y1 = 0.0;
    if (Data_Bounds(xmin, xmax, &x0, &x1, &y0, &y1)) {
        ymin = Clamp_Value(y0);
        ymax = Clamp_Value(y1);
        Include_Zero(&ymin, &ymax);
        Widen_Small_Extent(&ymin, &ymax);
        if (d_vertical_scale_type == SCALE_LINEAR)
            Add_Margins(&ymin, &ymax);
    }
    // Equal units per pixel: the vertical extent follows the horizontal one.
    const int width = d_graph_rect.right() - d_graph_rect.left();
    const int height = d_graph_rect.bottom() - d_graph_rect.top();
    if (d_lock_aspect_ratio && width > 0 && height > 0) {
        const double middle = ymin / 2.0 + ymax / 2.0;
        const double half = (xmax - xmin) * height / width / 2.0;
        ymin = middle - half;
        ymax = middle + half;
    }
    Set_Transform(xmin, xmax, ymin, ymax);
    if (!d_direct_render)
        Render_Cache();
    update();
}

void TGraphWidget::Update_Viewport_To_Rect(const QRect &rect)
{
    const QRect n = rect.normalized();
    double xmin = (n.left() - d_horizontal_offset) / d_horizontal_scale;
    double xmax = (n.right() - d_horizontal_offset) / d_horizontal_scale;
    double ymax = (n.top() - d_vertical_offset) / d_vertical_scale;
    double ymin = (n.bottom() - d_vertical_offset) / d_vertical_scale;
    if (!std::isfinite(xmin) || !std::isfinite(xmax) || !std::isfinite(ymin) ||
        !std::isfinite(ymax))
        return;

    Limit_Zoom_Out(&xmin, &xmax, d_horizontal_data_range);
    Limit_Zoom_Out(&ymin, &ymax, d_vertical_data_range);
    Widen_Small_Extent(&xmin, &xmax);
    Widen_Small_Extent(&ymin, &ymax);
    Set_Transform(xmin, xmax, ymin, ymax);
}

int TGraphWidget::Calculate_Log10_Position_Horizontal(const double &value) const
{
    return Horizontal_Map().Log10_Position(value);
}

int TGraphWidget::Calculate_Log10_Position_Vertical(const double &value) const
{
    return Vertical_Map().Log10_Position(value);
}

double TGraphWidget::Calculate_Log10_Value_Horizontal(int x) const
{
    return Horizontal_Map().Log10_Value(x);
}

double TGraphWidget::Calculate_Log10_Value_Vertical(int y) const
{
    return Vertical_Map().Log10_Value(y);
}

int TGraphWidget::Reverse_Log10_Position_Horizontal(int x) const
{
    return Horizontal_Map().Reverse_Log10(x);
}

int TGraphWidget::Reverse_Log10_Position_Vertical(int y) const
{
    return Vertical_Map().Reverse_Log10(y);
}

int TGraphWidget::Forward_Log10_Position_Horizontal(int x) const
{
    return Horizontal_Map().Forward_Log10(x);
}

int TGraphWidget::Forward_Log10_Position_Vertical(int y) const
{
    return Vertical_Map().Forward_Log10(y);
}

double TGraphWidget::Horizontal_Value_At(int x) const { return Horizontal_Map().Value_At(x); }

double TGraphWidget::Vertical_Value_At(int y) const { return Vertical_Map().Value_At(y); }

int TGraphWidget::Horizontal_Position_Of(const double &value) const
{
    return Horizontal_Map().Position_Of(value);
}

int TGraphWidget::Vertical_Position_Of(const double &value) const
{
    return Vertical_Map().Position_Of(value);
}

// ================================================================ scale drawing: the legend

void TGraphWidget::Label_Format(TScaleType type, bool vertical, const double &low,
                                const double &high, int *field_width, int *precision)
{
    QUORVAL_ASSERT(field_width && precision);
    *field_width = 8;
    *precision = 4;
    switch (type) {
    case SCALE_LINEAR: {
        const double m = std::max(std::fabs(low), std::fabs(high));
        if (std::isfinite(m) && std::isfinite(high - low) && m > 1.0) {
            *precision =
                std::max(0, 4 - Truncate_To_Int(std::log10(std::max(1.0, high - low)), 1000));
            *field_width = Truncate_To_Int(std::log10(m), 1000) + *precision + 2;
        }
        break;
    }
    case SCALE_LOG10:
        // The vertical log axis has a narrower field than the horizontal one.
        if (vertical)
            *field_width = 6;
        *precision = 1;
        break;
    case SCALE_INTEGER:
        *field_width = 5;
        *precision = 0;
        break;
    }
}

std::vector<int> TGraphWidget::Linear_Tick_Positions(int first, int last, int label_size)
{
    std::vector<int> positions;
    const int extent = last - first + 1;
    const int n = (label_size > 0) ? extent / label_size : 0;
    if (n <= 0)
        return positions;
    // Room for a single label: it goes to the low edge.
    if (n == 1) {
        positions.push_back(first);
        return positions;
    }
    const double step = static_cast<double>(extent) / (n - 1);
    positions.reserve(n);
    for (int i = 0; i < n; ++i)
        positions.push_back(first + static_cast<int>(i * step));
    return positions;
}

void TGraphWidget::Calculate_Legend_Display_Precision(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    Choose_Label_Format(painter, Horizontal_Map(), &d_horizontal_field_width,
                        &d_horizontal_precision, &d_horizontal_label_size);
    Choose_Label_Format(painter, Vertical_Map(), &d_vertical_field_width, &d_vertical_precision,
                        &d_vertical_label_size);
}

void TGraphWidget::Choose_Label_Format(QPainter *painter, const TScaleMap &map, int *field_width,
                                       int *precision, QSize *label_size)
{
    Label_Format(map.type, map.vertical, map.Plain_Value(map.Low_Pixel()),
                 map.Plain_Value(map.High_Pixel()), field_width, precision);
    for (;;) {
        // Horizontal labels are measured with room on both sides, vertical ones (right-aligned
        // next to their ticks) on the left only.
        *label_size =
            Measured_Size(painter, QString(map.vertical ? "  %1" : "  %1  ")
                                       .arg(-0.5, *field_width, 'f', *precision, QChar(' ')));
        if (map.type != SCALE_LINEAR || *precision >= Most_Label_Decimals)
            return;
        // Neighbouring labels that read alike would name values other than those at their ticks:
        // one more decimal in a wider field, and the labels that fit then, until they differ.
        const std::vector<TAxis_Label> labels =
            Axis_Labels(map, Label_Spacing(map, *label_size), *field_width, *precision);
        const auto alike = std::adjacent_find(labels.begin(), labels.end(),
                                              [](const TAxis_Label &a, const TAxis_Label &b) {
                                                  return a.text.trimmed() == b.text.trimmed();
                                              });
        if (alike == labels.end())
            return;
        ++*precision;
        ++*field_width;
    }
}

void TGraphWidget::Draw_Axis(QPainter *painter, const TScaleMap &map, const QSize &label_size,
                             int field_width, int precision)
{
    const int lw = std::max(1, label_size.width());
    const int lh = std::max(1, label_size.height());
    const std::vector<TAxis_Label> labels =
        Axis_Labels(map, Label_Spacing(map, label_size), field_width, precision);

    QVector<QLine> ticks;
    ticks.reserve(static_cast<int>(labels.size()));
    for (const TAxis_Label &label : labels) {
        // Horizontal ticks reach a third of a label's height below the plot area, vertical ones
        // half a label's height left of it.
        if (map.vertical)
            ticks.append(
                QLine(d_graph_rect.left() - lh / 2, label.at, d_graph_rect.left(), label.at));
        else
            ticks.append(
                QLine(label.at, d_graph_rect.bottom(), label.at, d_graph_rect.bottom() + lh / 3));
    }
    Draw_Ticks(painter, ticks);

    const int base = d_horizontal_legend_rect.top() + lh;
    const int right = d_vertical_legend_rect.right();
    for (const TAxis_Label &label : labels) {
        // Vertical labels stand right-aligned against the number area's right edge; horizontal
        // whole numbers are centred under their ticks, other horizontal labels start half a
        // label's width left of them.
        if (map.vertical)
            painter->drawText(QRect(QPoint(right - lw, label.at - lh / 2), QSize(lw, lh)),
                              Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, label.text);
        else if (map.type == SCALE_INTEGER)
            painter->drawText(QRect(label.at - lw / 2, base - lh / 2, lw, lh),
                              Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, label.text);
        else
            painter->drawText(QPointF(label.at - lw / 2, base + lh / 2), label.text);
    }
}

void TGraphWidget::Draw_Legend(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    const QFont entry_font = painter->font();
    painter->setBrush(Qt::NoBrush);

    Draw_Axis(painter, Horizontal_Map(), d_horizontal_label_size, d_horizontal_field_width,
              d_horizontal_precision);
    Draw_Axis(painter, Vertical_Map(), d_vertical_label_size, d_vertical_field_width,
              d_vertical_precision);

    const int left = d_graph_rect.left();
    const int top = d_graph_rect.top();
    const int right = d_graph_rect.right();
    const int bottom = d_graph_rect.bottom();
    const int x0 = Horizontal_Position_Of(0.0);
    const int y0 = Vertical_Position_Of(0.0);
    painter->setPen(QPen(Qt::lightGray));
    if (left < x0 && x0 < right)
        painter->drawLine(x0, top, x0, bottom);
    if (top < y0 && y0 < bottom)
        painter->drawLine(left, y0, right, y0);

    painter->setPen(QPen(Qt::darkGray));
    painter->drawRects(&d_graph_rect, 1);

    painter->setPen(QPen(Qt::black));
    if (d_draw_frame)
        painter->drawRect(QRect(d_widget_rect.topLeft(),
                                QPoint(d_widget_rect.right() - 1, d_widget_rect.bottom() - 1)));

    QFont title_font(entry_font);
    title_font.setPointSize(12);
    title_font.setWeight(QFont::Bold);
    painter->setFont(title_font);
    painter->drawText(d_title_rect, Qt::AlignHCenter | Qt::AlignVCenter, d_title);

    title_font.setPointSize(10);
    painter->setFont(title_font);
    painter->drawText(d_horizontal_title_rect, Qt::AlignHCenter | Qt::AlignVCenter,
                      d_horizontal_title);

    const int tw =
        std::max(1, painter->boundingRect(QRect(), Qt::AlignLeft, d_vertical_title).width());
    painter->save();
    painter->translate(d_vertical_title_rect.center());
    painter->rotate(-90.0);
    painter->drawText(QPointF(-(tw / 2), 0.0), d_vertical_title);
    painter->restore();
}

// ============================================================= canvas: layout and painting

TGraphWidget::TLayout TGraphWidget::Layout(TLayoutKind kind, const QRect &rect, int fh)
{
    // The bands around the plot area: the main title above, the vertical title and numbers on
    // the left, the numbers and the horizontal title below, a margin on the right.
    int title_height = 2 * fh;
    int vertical_title_width = 2 * fh;
    int numbers_right = 6 * fh; // right edge of the vertical numbers
    int plot_left = 7 * fh;
    int title_left = 7 * fh;
    int horizontal_title_height = 2 * fh;
    const int numbers_height = 2 * fh;
    const int right_margin = 2 * fh;
    switch (kind) {
    case LAYOUT_SCREEN: break;
    case LAYOUT_DEVICE: plot_left = 6 * fh; break;
    case LAYOUT_GRAPH_ONLY:
        // Thin strips where the titles would be.
        title_height = vertical_title_width = horizontal_title_height = 6;
        numbers_right = plot_left = 6 + 4 * fh;
        title_left = 12;
        break;
    }
    const int x0 = rect.left();
    const int y0 = rect.top();
    const int x1 = x0 + rect.width();
    const int y1 = y0 + rect.height();
    const int numbers_top = y1 - horizontal_title_height - numbers_height;
    TLayout layout;
    layout.graph =
        QRect(QPoint(x0 + plot_left, y0 + title_height), QPoint(x1 - right_margin, numbers_top));
    layout.vertical_legend = QRect(QPoint(x0 + vertical_title_width, y0),
                                   QPoint(x0 + numbers_right, y1 - horizontal_title_height));
    layout.vertical_title =
        QRect(QPoint(x0, y0 + title_height), QPoint(x0 + vertical_title_width, numbers_top));
    layout.horizontal_legend =
        QRect(QPoint(x0 + numbers_right, numbers_top), QPoint(x1, y1 - horizontal_title_height));
    layout.horizontal_title =
        QRect(QPoint(x0 + plot_left, y1 - horizontal_title_height), QPoint(x1 - right_margin, y1));
    layout.title = QRect(QPoint(x0 + title_left, y0), QPoint(x1, y0 + title_height));
    layout.widget = rect;
    return layout;
}

TGraphWidget::TLayout TGraphWidget::Current_Layout() const
{
    TLayout layout;
    layout.graph = d_graph_rect;
    layout.vertical_legend = d_vertical_legend_rect;
    layout.vertical_title = d_vertical_title_rect;
    layout.horizontal_legend = d_horizontal_legend_rect;
    layout.horizontal_title = d_horizontal_title_rect;
    layout.title = d_title_rect;
    layout.widget = d_widget_rect;
    return layout;
}

void TGraphWidget::Apply_Layout(const TLayout &layout)
{
    d_graph_rect = layout.graph;
    d_vertical_legend_rect = layout.vertical_legend;
    d_vertical_title_rect = layout.vertical_title;
    d_horizontal_legend_rect = layout.horizontal_legend;
    d_horizontal_title_rect = layout.horizontal_title;
    d_title_rect = layout.title;
    d_widget_rect = layout.widget;
}

int TGraphWidget::Bar_Half_Width(int plot_width, int count, bool log_axis)
{
    if (count <= 0)
        return 1;
    const int half = plot_width / ((log_axis ? 4 : 2) * count) - 1;
    return std::max(1, half);
}

void TGraphWidget::resizeEvent(QResizeEvent *event)
{
    Apply_Layout(
        Layout(LAYOUT_SCREEN, QRect(QPoint(0, 0), event->size()), QFontMetrics(font()).height()));
    Draw_Background_Pixmap();
}

void TGraphWidget::UpdateGraph()
{
    if (d_widget_rect.isEmpty())
        return;
    if (!d_direct_render) {
        Draw_Background_Pixmap();
        Emit_View_Changed();
    }
    update();
}

void TGraphWidget::Emit_View_Changed()
{
    const TScaleMap horizontal = Horizontal_Map();
    emit View_Changed(horizontal.Plain_Value(horizontal.Low_Pixel()),
                      horizontal.Plain_Value(horizontal.High_Pixel()));
}

void TGraphWidget::Render_Scale_And_Data(QPainter *painter)
{
    Calculate_Legend_Display_Precision(painter);
    Draw_Legend(painter);
    Draw_Graph(painter);
}

void TGraphWidget::Draw_Background_Pixmap()
{
    if (d_widget_rect.isEmpty())
        return;
    d_background_pixmap = QPixmap(d_widget_rect.size());
    d_background_pixmap.fill(Qt::white);
    QPainter painter(&d_background_pixmap);
    painter.setFont(font());
    Update_Viewport_To_Data();
    Render_Scale_And_Data(&painter);
}

void TGraphWidget::Draw_Background_Scaled_Pixmap(const QRect &rect)
{
    if (d_background_pixmap.width() <= 0 || d_background_pixmap.height() <= 0)
        return;
    Update_Viewport_To_Rect(rect);
    Render_Cache();
}

void TGraphWidget::Render_Cache()
{
    if (d_background_pixmap.width() <= 0 || d_background_pixmap.height() <= 0)
        return;
    d_background_pixmap.fill(Qt::white);
    QPainter painter(&d_background_pixmap);
    painter.setFont(font());
    Render_Scale_And_Data(&painter);
}

void TGraphWidget::Direct_Render(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    Update_Viewport_To_Data();
    Render_Scale_And_Data(painter);
}

void TGraphWidget::Draw_Graph(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    if (d_data_sets.empty())
        return;
    painter->setClipRect(d_graph_rect, Qt::ReplaceClip);
    const TPlotFrame frame{Horizontal_Map(), Vertical_Map(), d_graph_rect};
    TPrimitiveBatch batch(painter);
    for (const TDataSet &set : d_data_sets) {
        if (set.dataset_points.empty())
            continue;
        TGraphType type = set.dataset_type;
        if (type == GRAPH_DEFAULT)
            type = d_graph_type;
        switch (type) {
        case GRAPH_DEFAULT:
        case GRAPH_LINE: Add_Lines(frame, set, &batch); break;
        case GRAPH_BAR: Add_Bars(frame, set, &batch); break;
        case GRAPH_CROSS: Add_Markers(frame, set, false, &batch); break;
        case GRAPH_SQUARE: Add_Markers(frame, set, true, &batch); break;
        }
    }
    batch.Flush();
    painter->setClipping(false);
}

void TGraphWidget::Render_With_Layout(QPainter *painter, const TLayout &layout, bool frame)
{
    const double hs = d_horizontal_scale, ho = d_horizontal_offset;
    const double vs = d_vertical_scale, vo = d_vertical_offset;
    const double h_range = d_horizontal_data_range, v_range = d_vertical_data_range;
    const TLayout screen_layout = Current_Layout();
    const bool draw_frame = d_draw_frame;

    d_draw_frame = frame;
    Apply_Layout(layout);
    Direct_Render(painter);

    Apply_Layout(screen_layout);
    d_draw_frame = draw_frame;
    d_horizontal_scale = hs;
    d_horizontal_offset = ho;
    d_vertical_scale = vs;
    d_vertical_offset = vo;
    // The screen's zoom-out limit keeps referring to the screen's last data fit.
    d_horizontal_data_range = h_range;
    d_vertical_data_range = v_range;
}

bool TGraphWidget::PaintToDevice(QPainter *painter, const QRect &rect, bool frame)
{
    QUORVAL_ASSERT(painter);
    // Measured on the painter's device, so a printer or PDF at a high resolution gets a layout
    // in its own pixels.
    const int fh = QFontMetrics(painter->font(), painter->device()).height();
    Render_With_Layout(painter, Layout(LAYOUT_DEVICE, rect, fh), frame);
    return true;
}

bool TGraphWidget::PaintToDevice_GraphOnly(QPainter *painter, const QRect &rect, bool frame)
{
    QUORVAL_ASSERT(painter);
    const int fh = QFontMetrics(painter->font(), painter->device()).height();
    // The titles are left out of this rendering only.
    QString title;
    QString horizontal_title;
    QString vertical_title;
    d_title.swap(title);
    d_horizontal_title.swap(horizontal_title);
    d_vertical_title.swap(vertical_title);
    Render_With_Layout(painter, Layout(LAYOUT_GRAPH_ONLY, rect, fh), frame);
    d_title.swap(title);
    d_horizontal_title.swap(horizontal_title);
    d_vertical_title.swap(vertical_title);
    return true;
}

void TGraphWidget::Draw_Cursor_Position(QPainter *painter)
{
    if (!d_show_cursor_position)
        return;
    painter->setPen(QPen(Qt::lightGray));
    const QRect box = painter->boundingRect(QRect(), 0, d_cursor_text);
    painter->drawText(QPoint(d_graph_rect.right() - box.width(), d_graph_rect.top() + box.height()),
                      d_cursor_text);
}

void TGraphWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QBrush white_brush(Qt::white);
    const QRegion region = event->region();

    if (d_direct_render) {
        painter.fillRect(d_widget_rect, white_brush);
        Direct_Render(&painter);
        Draw_Cursor_Position(&painter);
        return;
    }
    if (d_scale_to_fit_pending) {
        d_scale_to_fit_pending = false;
        Draw_Background_Pixmap();
        update(d_widget_rect);
        Emit_View_Changed();
        return;
    }
    if (d_zoom_out_pending) {
        d_zoom_out_pending = false;
        QRect r(d_graph_rect.topLeft(), d_graph_rect.size() * 2.0);
        r.moveCenter(d_graph_rect.center());
        Draw_Background_Scaled_Pixmap(r);
        update(d_widget_rect);
        Emit_View_Changed();
        return;
    }
    for (const QRect &r : region) {
        if (r.right() >= r.left() && r.bottom() >= r.top())
            painter.drawPixmap(QRectF(r), d_background_pixmap, QRectF(r));
    }
    if (d_drag_state == DRAG_ZOOM_BOX)
        painter.drawRect(d_left_down_box.normalized());
    Draw_Cursor_Position(&painter);
}

void TGraphWidget::Update_Left_Down_Box()
{
    const QRect n = d_left_down_box.normalized();
    update(QRect(QPoint(n.left(), n.top()), QPoint(n.right(), n.top())));
    update(QRect(QPoint(n.left(), n.top()), QPoint(n.left(), n.bottom())));
    update(QRect(QPoint(n.left(), n.bottom() + 1), QPoint(n.right(), n.bottom() + 1)));
    update(QRect(QPoint(n.right() + 1, n.top()), QPoint(n.right() + 1, n.bottom())));
}

// ========================================================================= mouse interaction

void TGraphWidget::ZoomOut()
{
    d_zoom_out_pending = true;
    update();
}

void TGraphWidget::ScaleToFit()
{
    d_scale_to_fit_pending = true;
    update();
}

void TGraphWidget::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->pos();
    const Qt::MouseButton button = event->button();
    if (button != Qt::LeftButton && button != Qt::RightButton)
        return;
    // A press of the other button during a zoom box drag ends that drag.
    if (d_drag_state == DRAG_ZOOM_BOX) {
        d_drag_state = DRAG_NONE;
        Update_Left_Down_Box();
    }
    if (button == Qt::LeftButton) {
        // A press outside the plot area anchors the zoom box at the plot's top left corner.
        const QPoint anchor = d_graph_rect.contains(p) ? p : d_graph_rect.topLeft();
        d_left_down_box = QRect(anchor, anchor);
        d_drag_state = DRAG_LEFT_PRESSED;
    } else {
        d_left_down_box = QRect(p, p);
        d_drag_state = DRAG_RIGHT_PRESSED;
    }
}

void TGraphWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->pos();
    if (event->buttons() & Qt::LeftButton) {
        if (d_drag_state == DRAG_ZOOM_BOX) {
            Update_Left_Down_Box();
            d_left_down_box.setBottomRight(p);
            Update_Left_Down_Box();
        } else if (d_drag_state == DRAG_LEFT_PRESSED) {
            d_drag_state = DRAG_ZOOM_BOX;
            d_left_down_box.setBottomRight(p);
            Update_Left_Down_Box();
        }
    } else if (event->buttons() & Qt::RightButton) {
        if (d_drag_state == DRAG_RIGHT_PRESSED || d_drag_state == DRAG_PANNING) {
            d_drag_state = DRAG_PANNING;
            const QPoint anchor = d_left_down_box.topLeft();
            Draw_Background_Scaled_Pixmap(
                d_graph_rect.translated(anchor.x() - p.x(), anchor.y() - p.y()));
            repaint();
            d_left_down_box = QRect(p, p);
            Emit_View_Changed();
        }
    } else if (d_graph_rect.contains(p) && d_show_cursor_position) {
        d_cursor_text = Cursor_Read_Out(Horizontal_Value_At(p.x()), Vertical_Value_At(p.y()));
        repaint();
    }
}

void TGraphWidget::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->pos();
    if (event->button() == Qt::LeftButton) {
        const QRect &box = d_left_down_box;
        const int size = std::abs(box.right() - box.left()) + std::abs(box.bottom() - box.top());
        if (d_drag_state == DRAG_ZOOM_BOX && size > 19) {
            d_drag_state = DRAG_NONE;
            Update_Left_Down_Box();
            // Expressed on the linear pixel scale of the current transform before fitting.
            if (d_horizontal_scale_type == SCALE_LOG10) {
                d_left_down_box.setLeft(Reverse_Log10_Position_Horizontal(d_left_down_box.left()));
                d_left_down_box.setRight(
                    Reverse_Log10_Position_Horizontal(d_left_down_box.right()));
            }
            if (d_vertical_scale_type == SCALE_LOG10) {
                d_left_down_box.setTop(Reverse_Log10_Position_Vertical(d_left_down_box.top()));
                d_left_down_box.setBottom(
                    Reverse_Log10_Position_Vertical(d_left_down_box.bottom()));
            }
            Draw_Background_Scaled_Pixmap(d_left_down_box);
            update(d_widget_rect);
            Emit_View_Changed();
        } else if (d_drag_state == DRAG_LEFT_PRESSED || d_drag_state == DRAG_ZOOM_BOX) {
            const bool box_shown = d_drag_state == DRAG_ZOOM_BOX;
            d_drag_state = DRAG_NONE;
            // A short drag is a click: its box is erased.
            if (box_shown)
                Update_Left_Down_Box();
            emit Mouse_Click(Horizontal_Value_At(p.x()), Vertical_Value_At(p.y()));
        } else if (d_drag_state == DRAG_DOUBLE_CLICK) {
            // The release that ends a double-click does nothing more.
            d_drag_state = DRAG_NONE;
        }
    } else if (event->button() == Qt::RightButton) {
        if (d_drag_state == DRAG_RIGHT_PRESSED)
            ZoomOut();
        if (d_drag_state == DRAG_RIGHT_PRESSED || d_drag_state == DRAG_PANNING)
            d_drag_state = DRAG_NONE;
    }
}

void TGraphWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Qt sends press, release, double-click, release: the first click has been reported, and
    // the double-click stands for the second press.
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event); // a press, as without this handler
        return;
    }
    d_drag_state = DRAG_DOUBLE_CLICK;
    ScaleToFit();
}
