#include "src/window/setheading.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

const QString Separator = QStringLiteral(" \u2014 ");

} // namespace

TSetHeading::TSetHeading(const QString &name, QWidget *parent) : QWidget(parent), d_name(name)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setToolTip(Text());
    // Painted text: screen readers hear it through the accessible name.
    setAccessibleName(Text());
}

void TSetHeading::Set_Description(const QString &description)
{
    // A description is one line here; a line break would only be cut off.
    d_description = description.simplified();
    setToolTip(Text());
    setAccessibleName(Text());
    updateGeometry();
    update();
}

QString TSetHeading::Text() const
{
    return d_description.isEmpty() ? d_name : d_name + Separator + d_description;
}

QFont TSetHeading::Name_Font() const
{
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

QSize TSetHeading::sizeHint() const
{
    const QFontMetrics name(Name_Font());
    const int width =
        name.horizontalAdvance(d_name) +
        (d_description.isEmpty() ? 0 : fontMetrics().horizontalAdvance(Separator + d_description));
    return QSize(width, std::max(name.height(), fontMetrics().height()));
}

QSize TSetHeading::minimumSizeHint() const
{
    return QSize(QFontMetrics(Name_Font()).horizontalAdvance(d_name), sizeHint().height());
}

void TSetHeading::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(Name_Font());
    const QFontMetrics name(Name_Font());
    painter.drawText(QRect(0, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, d_name);
    if (d_description.isEmpty())
        return;
    const int left = name.horizontalAdvance(d_name);
    painter.setFont(font());
    painter.drawText(
        QRect(left, 0, width() - left, height()), Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(Separator + d_description, Qt::ElideRight, width() - left));
}
