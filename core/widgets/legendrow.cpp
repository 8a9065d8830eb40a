#include "core/widgets/legendrow.h"

#include <QPainter>

#include <cmath>

TLegendRow::TLegendRow(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TLegendRow::Set_Items(const std::vector<TLegendItem> &items)
{
    d_items = items;
    updateGeometry();
    update();
}

int TLegendRow::heightForWidth(int width) const
{
    return static_cast<int>(std::ceil(LegendPainter::Height(font(), this, d_items, width)));
}

QSize TLegendRow::sizeHint() const
{
    // As wide as the whole legend in one row.
    const int width = 4000;
    const std::vector<LegendPainter::TPlacement> placements =
        LegendPainter::Lay_Out(font(), this, d_items, QRectF(0.0, 0.0, width, 0.0));
    double right = 0.0;
    for (const LegendPainter::TPlacement &p : placements)
        right = std::max(right, p.text.right() - placements.front().sample.left());
    return QSize(static_cast<int>(std::ceil(right)), heightForWidth(width));
}

// At least one row high; the layout gives it more rows where its width needs them.
QSize TLegendRow::minimumSizeHint() const { return QSize(0, sizeHint().height()); }

void TLegendRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    LegendPainter::Paint(&painter, QRectF(rect()), d_items, 1.0);
}
