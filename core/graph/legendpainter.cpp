#include "core/graph/legendpainter.h"

#include "core/base/assertion.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace {

// Distances in the font's height.
constexpr double Sample_Width = 2.4;
constexpr double Sample_Gap = 0.4; // between a sample and its text
constexpr double Item_Gap = 1.2;   // between an item's text and the next sample
constexpr double Row_Height = 1.25;

// One line of text: line breaks of a long description read as spaces.
QString One_Line(const QString &text)
{
    QString line = text;
    line.replace(QChar('\r'), QChar(' ')).replace(QChar('\n'), QChar(' '));
    return line;
}

void Draw_Bracket(QPainter *painter, const QRectF &sample, const TLegendItem &item, double unit)
{
    const double height = sample.height() * 0.7;
    const double arm = sample.width() * 0.25;
    const QPointF centre = sample.center();
    // The upright stands left of the centre when the bracket opens to the right.
    const double upright = item.bracket_opens_right ? centre.x() - arm / 2 : centre.x() + arm / 2;
    const double tip = item.bracket_opens_right ? upright + arm : upright - arm;
    const double top = centre.y() - height / 2;
    const double bottom = centre.y() + height / 2;
    painter->setPen(QPen(item.bracket_colour, std::max(1.0, unit)));
    painter->drawPolyline(QPolygonF({QPointF(tip, top), QPointF(upright, top),
                                     QPointF(upright, bottom), QPointF(tip, bottom)}));
}

} // namespace

namespace LegendPainter {

std::vector<TPlacement> Lay_Out(const QFont &font, const QPaintDevice *device,
                                const std::vector<TLegendItem> &items, const QRectF &area)
{
    // QFontMetricsF takes a non-const device but only reads its resolution.
    const QFontMetricsF metrics(font, const_cast<QPaintDevice *>(device));
    const double fh = metrics.height();
    const double row_height = Row_Height * fh;
    std::vector<TPlacement> placements;
    std::vector<TPlacement> row;
    double y = area.top();
    double x = 0.0;
    // Each finished row is moved to the middle of the area.
    const auto Finish_Row = [&]() {
        if (row.empty())
            return;
        const double shift = std::max(0.0, (area.width() - (x - Item_Gap * fh)) / 2.0);
        for (TPlacement &p : row) {
            p.sample.translate(area.left() + shift, 0.0);
            p.text.translate(area.left() + shift, 0.0);
            placements.push_back(p);
        }
        row.clear();
        y += row_height;
        x = 0.0;
    };
    for (const TLegendItem &item : items) {
        const double sample_width = Sample_Width * fh;
        const double text_room = std::max(0.0, area.width() - sample_width - Sample_Gap * fh);
        TPlacement p;
        p.shown = metrics.elidedText(One_Line(item.text), Qt::ElideRight, text_room);
        const double text_width = metrics.horizontalAdvance(p.shown);
        const double item_width = sample_width + Sample_Gap * fh + text_width;
        if (!row.empty() && x + item_width > area.width())
            Finish_Row();
        p.sample = QRectF(x, y, sample_width, row_height);
        p.text = QRectF(x + sample_width + Sample_Gap * fh, y, text_width, row_height);
        row.push_back(p);
        x += item_width + Item_Gap * fh;
    }
    Finish_Row();
    return placements;
}

double Height(const QFont &font, const QPaintDevice *device, const std::vector<TLegendItem> &items,
              double width)
{
    const std::vector<TPlacement> placements =
        Lay_Out(font, device, items, QRectF(0.0, 0.0, width, 0.0));
    if (placements.empty())
        return 0.0;
    return placements.back().sample.bottom();
}

void Paint(QPainter *painter, const QRectF &area, const std::vector<TLegendItem> &items,
           double unit)
{
    QUORVAL_ASSERT(painter != nullptr);
    const std::vector<TPlacement> placements =
        Lay_Out(painter->font(), painter->device(), items, area);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < placements.size(); ++i) {
        const TLegendItem &item = items[i];
        const TPlacement &p = placements[i];
        if (item.bracket)
            Draw_Bracket(painter, p.sample, item, unit);
        const double y = p.sample.center().y();
        if (item.curve.line != Qt::NoPen) {
            painter->setPen(
                QPen(item.curve.colour, item.curve.width * unit, item.curve.line, Qt::FlatCap));
            painter->drawLine(QPointF(p.sample.left(), y), QPointF(p.sample.right(), y));
        }
        if (item.curve.marker != TCurveStyle::MARKER_NONE)
            CurveDrawing::Draw_Marker(painter, p.sample.center(), item.curve, unit);
        painter->setPen(QPen(Qt::black));
        painter->drawText(p.text, Qt::AlignLeft | Qt::AlignVCenter, p.shown);
    }
    painter->restore();
}

} // namespace LegendPainter
