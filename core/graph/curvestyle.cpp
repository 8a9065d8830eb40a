#include "core/graph/curvestyle.h"

#include "core/base/assertion.h"
#include "core/graph/datadrawing.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QRect>

#include <algorithm>
#include <cmath>

namespace {

// Lines are clipped this far outside the plot area, so that their ends are cut by the painter's
// clip and no coordinate handed to it is far outside the plot.
constexpr double Line_Reach = 2.0;

// Markers stand this many markers' widths apart on average, or are left out.
constexpr double Marker_Spacing = 3.0;

// Collects the points of one pixel column and passes on its first, lowest, highest and last.
class TColumnEnvelope
{
public:
    explicit TColumnEnvelope(std::vector<QPointF> *path) : d_path(path) {}

    void Add(const QPointF &point)
    {
        const int column = TScaleMap::To_Pixel(point.x());
        if (d_count > 0 && column != d_column)
            Flush();
        if (d_count == 0) {
            d_column = column;
            d_first = d_low = d_high = point;
            d_low_index = d_high_index = 0;
        } else {
            if (point.y() < d_low.y()) {
                d_low = point;
                d_low_index = d_count;
            }
            if (point.y() > d_high.y()) {
                d_high = point;
                d_high_index = d_count;
            }
        }
        d_last = point;
        ++d_count;
    }

    void Flush()
    {
        if (d_count == 0)
            return;
        const bool low_first = d_low_index <= d_high_index;
        for (const QPointF &p :
             {d_first, low_first ? d_low : d_high, low_first ? d_high : d_low, d_last})
            if (d_path->empty() || d_path->back() != p)
                d_path->push_back(p);
        d_count = 0;
    }

private:
    std::vector<QPointF> *d_path;
    int d_column = 0;
    int d_count = 0;
    int d_low_index = 0;
    int d_high_index = 0;
    QPointF d_first, d_low, d_high, d_last;
};

// The pieces of a path that reach the box, each added as one line so that its dashes run on.
void Add_Clipped_Lines(const std::vector<QPointF> &path, const QRectF &box,
                       std::vector<QPolygonF> *lines)
{
    bool joined = false; // the last line ends where this path's last segment ended
    for (std::size_t i = 1; i < path.size(); ++i) {
        double x0 = path[i - 1].x(), y0 = path[i - 1].y();
        double x1 = path[i].x(), y1 = path[i].y();
        if (!DataDrawing::Clip_Segment(&x0, &y0, &x1, &y1, box.left(), box.top(), box.right(),
                                       box.bottom())) {
            joined = false;
            continue;
        }
        const QPointF from(x0, y0);
        if (!joined || lines->back().back() != from)
            lines->push_back(QPolygonF({from}));
        lines->back().append(QPointF(x1, y1));
        joined = true;
    }
}

// The pieces of the paths that reach the plot area.
std::vector<QPolygonF> Clipped_Lines(const std::vector<std::vector<QPointF>> &paths,
                                     const QRect &plot)
{
    const QRectF box = QRectF(plot).adjusted(-Line_Reach, -Line_Reach, Line_Reach, Line_Reach);
    std::vector<QPolygonF> lines;
    for (const std::vector<QPointF> &path : paths)
        Add_Clipped_Lines(path, box, &lines);
    return lines;
}

} // namespace

namespace CurveDrawing {

void Draw_Halo(QPainter *painter, const std::vector<TVector2> &points, const QRect &plot,
               const TScaleMap &horizontal, const TScaleMap &vertical, const TCurveStyle &style,
               double unit)
{
    QUORVAL_ASSERT(painter != nullptr);
    if (style.line == Qt::NoPen)
        return;
    painter->save();
    painter->setClipRect(plot);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(
        QPen(Qt::white, (style.width + 2.0) * unit, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const QPolygonF &line : Clipped_Lines(Pixel_Paths(points, horizontal, vertical), plot))
        painter->drawPolyline(line);
    painter->restore();
}

void Draw_Marker(QPainter *painter, const QPointF &at, const TCurveStyle &style, double unit)
{
    QUORVAL_ASSERT(painter != nullptr);
    const double r = style.marker_size * unit / 2.0;
    painter->setPen(QPen(style.colour, std::max(1.0, unit)));
    painter->setBrush(Qt::white);
    switch (style.marker) {
    case TCurveStyle::MARKER_NONE: break;
    case TCurveStyle::MARKER_CIRCLE: painter->drawEllipse(at, r, r); break;
    case TCurveStyle::MARKER_SQUARE:
        painter->drawRect(QRectF(at.x() - 0.85 * r, at.y() - 0.85 * r, 1.7 * r, 1.7 * r));
        break;
    case TCurveStyle::MARKER_TRIANGLE:
        painter->drawPolygon(
            QPolygonF({QPointF(at.x(), at.y() - r), QPointF(at.x() + 0.87 * r, at.y() + 0.5 * r),
                       QPointF(at.x() - 0.87 * r, at.y() + 0.5 * r)}));
        break;
    case TCurveStyle::MARKER_DIAMOND:
        painter->drawPolygon(QPolygonF({QPointF(at.x(), at.y() - r), QPointF(at.x() + r, at.y()),
                                        QPointF(at.x(), at.y() + r), QPointF(at.x() - r, at.y())}));
        break;
    }
    painter->setBrush(Qt::NoBrush);
}

std::vector<std::vector<QPointF>> Pixel_Paths(const std::vector<TVector2> &points,
                                              const TScaleMap &horizontal,
                                              const TScaleMap &vertical)
{
    std::vector<std::vector<QPointF>> paths(1);
    TColumnEnvelope envelope(&paths.back());
    for (const TVector2 &point : points) {
        if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
            envelope.Flush();
            if (!paths.back().empty()) {
                paths.emplace_back();
                envelope = TColumnEnvelope(&paths.back());
            }
            continue;
        }
        envelope.Add(QPointF(horizontal.Position(point.x), vertical.Position(point.y)));
    }
    envelope.Flush();
    if (paths.back().empty())
        paths.pop_back();
    return paths;
}

int Draw(QPainter *painter, const std::vector<TVector2> &points, const QRect &plot,
         const TScaleMap &horizontal, const TScaleMap &vertical, const TCurveStyle &style,
         double unit)
{
    QUORVAL_ASSERT(painter != nullptr);
    const std::vector<std::vector<QPointF>> paths = Pixel_Paths(points, horizontal, vertical);
    painter->save();
    painter->setClipRect(plot);
    painter->setRenderHint(QPainter::Antialiasing);
    if (style.line != Qt::NoPen) {
        painter->setPen(
            QPen(style.colour, style.width * unit, style.line, Qt::FlatCap, Qt::RoundJoin));
        for (const QPolygonF &line : Clipped_Lines(paths, plot))
            painter->drawPolyline(line);
    }
    int drawn = 0;
    if (style.marker != TCurveStyle::MARKER_NONE) {
        std::vector<QPointF> inside;
        for (const std::vector<QPointF> &path : paths)
            std::copy_if(path.begin(), path.end(), std::back_inserter(inside),
                         [&plot](const QPointF &p) { return QRectF(plot).contains(p); });
        const double room =
            static_cast<double>(plot.width()) / std::max<std::size_t>(1, inside.size());
        if (room >= Marker_Spacing * style.marker_size * unit) {
            for (const QPointF &p : inside)
                Draw_Marker(painter, p, style, unit);
            drawn = static_cast<int>(inside.size());
        }
    }
    painter->restore();
    return drawn;
}

} // namespace CurveDrawing
