#ifndef QUORVAL_CORE_WIDGETS_LEGENDROW_H
#define QUORVAL_CORE_WIDGETS_LEGENDROW_H

#include "core/graph/legendpainter.h"

#include <QWidget>

#include <vector>

// A legend in a row of its own above or below the graphs it explains, outside their plot areas:
// as many rows as its width needs, in the widget's font.
class TLegendRow : public QWidget
{
    Q_OBJECT

public:
    explicit TLegendRow(QWidget *parent = nullptr);

    void Set_Items(const std::vector<TLegendItem> &items);
    const std::vector<TLegendItem> &Items() const { return d_items; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<TLegendItem> d_items;
};

#endif
