#include "core/graph/graphpainter.h"

#include "core/base/assertion.h"
#include "core/graph/datadrawing.h"

#include <QFont>
#include <QFontMetrics>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace {

// Whole numbers handled by the integer axes.
constexpr double Integer_Limit = 1.0e15;
// Labels of a linear axis get at most this many decimals to tell neighbours apart.
constexpr int Most_Label_Decimals = 10;

int Truncate_To_Int(double value, int limit)
{
    if (std::isnan(value))
        return 0;
    const double bound = static_cast<double>(limit);
    value = std::max(-bound, std::min(bound, value));
    return static_cast<int>(value);
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
    auto Pixel = [&](qlonglong k) { return TScaleMap::To_Pixel(k * scale + offset); };
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
int Label_Spacing(const TScaleMap &map, const QSize &label_size)
{
    return std::max(1, map.vertical ? label_size.height() : label_size.width());
}

std::vector<TAxis_Label> Linear_Labels(const TScaleMap &map, int spacing, int field_width,
                                       int precision)
{
    std::vector<TAxis_Label> labels;
    std::vector<int> pixels = GraphPainter::Linear_Tick_Positions(map.first, map.last, spacing);
    // A single label sits at the low end of the axis.
    if (pixels.size() == 1)
        pixels[0] = map.Low_Pixel();
    for (int pixel : pixels)
        labels.push_back({pixel, Value_Label(map.Plain_Value(pixel), field_width, precision)});
    return labels;
}

std::vector<TAxis_Label> Integer_Labels(const TScaleMap &map, int spacing)
{
    std::vector<TAxis_Label> labels;
    if (!(map.vertical ? map.scale < 0.0 : map.scale > 0.0))
        return labels;
    // The vertical axis counts from the row below the plot area, the horizontal one from its
    // first column.
    const int low_pixel = map.vertical ? map.Low_Pixel() + 1 : map.Low_Pixel();
    for (const TInteger_Tick &tick :
         Integer_Ticks(map.Plain_Value(low_pixel), map.Plain_Value(map.High_Pixel()), map.scale,
                       map.offset, spacing))
        // Vertical labels keep a blank between the number and its tick.
        labels.push_back({tick.pixel, QString(map.vertical ? "%1 " : "%1").arg(tick.value)});
    return labels;
}

std::vector<TAxis_Label> Log10_Labels(const TScaleMap &map, int spacing, int field_width,
                                      int precision)
{
    std::vector<TAxis_Label> labels;
    const int n = (map.last - map.first + 1) / spacing;
    if (n <= 0)
        return labels;
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
        // The horizontal axis labels the stepped value, the vertical one the value read back at
        // the label's row.
        const double shown = map.vertical ? map.Log10_Value(pixel) : v;
        labels.push_back({pixel, Value_Label(shown, field_width, precision)});
        previous = pixel;
        // The horizontal axis stops before passing the high end, the vertical one after.
        if (map.vertical ? v > hi : v > hi - step)
            break;
        v += step;
    }
    return labels;
}

// The labels of an axis in the given number format, spacing pixels apart at least where the rule
// of the scale type thins them (the labels' width horizontally, their height vertically).
std::vector<TAxis_Label> Axis_Labels(const TScaleMap &map, int spacing, int field_width,
                                     int precision)
{
    switch (map.type) {
    case TScaleMap::SCALE_LINEAR: return Linear_Labels(map, spacing, field_width, precision);
    case TScaleMap::SCALE_INTEGER: return Integer_Labels(map, spacing);
    case TScaleMap::SCALE_LOG10: return Log10_Labels(map, spacing, field_width, precision);
    }
    return {};
}

// A round tick's label: the decimals of its step, or an exponent where fixed decimals would be
// too many or the number too long.
QString Round_Label(const double &value, int exponent, const double &largest)
{
    constexpr int Most_Fixed_Decimals = 15;
    constexpr double Largest_Fixed = 1.0e15;
    if (-exponent > Most_Fixed_Decimals || largest >= Largest_Fixed) {
        const int digits = std::max(
            1, std::min(17, static_cast<int>(std::floor(std::log10(largest))) - exponent + 1));
        return QString::number(value, 'g', digits);
    }
    return QString::number(value, 'f', std::max(0, -exponent));
}

// The labels of a linear axis at round ticks, each needing its width and a blank horizontally,
// twice its height vertically.
std::vector<TAxis_Label> Round_Labels(QPainter *painter, const TScaleMap &map)
{
    const QFontMetrics metrics(painter->font(), painter->device());
    const double pixels = std::abs(map.last - map.first) + 1;
    const double blank = metrics.horizontalAdvance(QStringLiteral("  "));
    const double height = metrics.height();
    const TRoundTicks ticks = GraphPainter::Round_Ticks(
        map.Plain_Value(map.Low_Pixel()), map.Plain_Value(map.High_Pixel()), pixels,
        [&](const QString &label) {
            return map.vertical ? 2.0 * height : metrics.horizontalAdvance(label) + blank;
        });
    std::vector<TAxis_Label> labels;
    for (std::size_t i = 0; i < ticks.values.size(); ++i)
        labels.push_back({map.Position_Of(ticks.values[i]), ticks.labels[i]});
    return labels;
}

// Size of a text in the painter's font, at least one pixel each way.
QSize Measured_Size(QPainter *painter, const QString &text)
{
    const QRect box = painter->boundingRect(QRect(), 0, text);
    return QSize(std::max(1, box.width()), std::max(1, box.height()));
}

// The number format of an axis's labels and the size of one label.
TLabelFormat Choose_Label_Format(QPainter *painter, const TScaleMap &map)
{
    TLabelFormat format;
    GraphPainter::Label_Format(map.type, map.vertical, map.Plain_Value(map.Low_Pixel()),
                               map.Plain_Value(map.High_Pixel()), &format.field_width,
                               &format.precision);
    for (;;) {
        // Horizontal labels are measured with room on both sides, vertical ones (right-aligned
        // next to their ticks) on the left only.
        format.label_size = Measured_Size(
            painter, QString(map.vertical ? "  %1" : "  %1  ")
                         .arg(-0.5, format.field_width, 'f', format.precision, QChar(' ')));
        if (map.type != TScaleMap::SCALE_LINEAR || format.precision >= Most_Label_Decimals)
            return format;
        // Neighbouring labels that read alike would name values other than those at their ticks:
        // one more decimal in a wider field, and the labels that fit then, until they differ.
        const std::vector<TAxis_Label> labels = Axis_Labels(
            map, Label_Spacing(map, format.label_size), format.field_width, format.precision);
        const auto alike = std::adjacent_find(labels.begin(), labels.end(),
                                              [](const TAxis_Label &a, const TAxis_Label &b) {
                                                  return a.text.trimmed() == b.text.trimmed();
                                              });
        if (alike == labels.end())
            return format;
        ++format.precision;
        ++format.field_width;
    }
}

// Faint lines across the plot area at the ticks, under everything else drawn there.
void Draw_Grid(QPainter *painter, const QRect &plot, const TScaleMap &map,
               const std::vector<TAxis_Label> &labels)
{
    QVector<QLine> lines;
    for (const TAxis_Label &label : labels)
        lines.append(map.vertical ? QLine(plot.left(), label.at, plot.right(), label.at)
                                  : QLine(label.at, plot.top(), label.at, plot.bottom()));
    painter->setPen(QPen(QColor(232, 232, 232)));
    painter->drawLines(lines);
}

// Ticks and number labels of one axis: ticks in the grid pen, labels in the text pen.
void Draw_Axis(QPainter *painter, const TGraphLayout &layout, const TScaleMap &map,
               const TLabelFormat &format, bool round_ticks)
{
    const int lw = std::max(1, format.label_size.width());
    const int lh = std::max(1, format.label_size.height());
    const bool round = round_ticks && map.type == TScaleMap::SCALE_LINEAR;
    const std::vector<TAxis_Label> labels =
        round ? Round_Labels(painter, map)
              : Axis_Labels(map, Label_Spacing(map, format.label_size), format.field_width,
                            format.precision);
    const QRect &plot = layout.graph;
    if (round)
        Draw_Grid(painter, plot, map, labels);

    QVector<QLine> ticks;
    ticks.reserve(static_cast<int>(labels.size()));
    for (const TAxis_Label &label : labels) {
        // Horizontal ticks reach a third of a label's height below the plot area, vertical ones
        // half a label's height left of it.
        if (map.vertical)
            ticks.append(QLine(plot.left() - lh / 2, label.at, plot.left(), label.at));
        else
            ticks.append(QLine(label.at, plot.bottom(), label.at, plot.bottom() + lh / 3));
    }
    painter->setPen(QPen(Qt::lightGray));
    painter->drawLines(ticks);
    painter->setPen(QPen(Qt::black));

    const int base = layout.horizontal_legend.top() + lh;
    const int right = layout.vertical_legend.right();
    for (const TAxis_Label &label : labels) {
        // Vertical labels stand right-aligned against the number area's right edge; horizontal
        // whole numbers are centred under their ticks, other horizontal labels start half a
        // label's width left of them.
        if (map.vertical)
            painter->drawText(QRect(QPoint(right - lw, label.at - lh / 2), QSize(lw, lh)),
                              Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, label.text);
        else if (map.type == TScaleMap::SCALE_INTEGER || round)
            painter->drawText(QRect(label.at - lw / 2, base - lh / 2, lw, lh),
                              Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, label.text);
        else
            painter->drawText(QPointF(label.at - lw / 2, base + lh / 2), label.text);
    }
}

// The zero lines (the only lines across the plot area), the plot's border and the frame.
void Draw_Lines(QPainter *painter, const TGraphLayout &layout, const TScaleMap &horizontal,
                const TScaleMap &vertical, bool frame)
{
    const QRect &plot = layout.graph;
    const int x0 = horizontal.Position_Of(0.0);
    const int y0 = vertical.Position_Of(0.0);
    painter->setPen(QPen(Qt::lightGray));
    if (plot.left() < x0 && x0 < plot.right())
        painter->drawLine(x0, plot.top(), x0, plot.bottom());
    if (plot.top() < y0 && y0 < plot.bottom())
        painter->drawLine(plot.left(), y0, plot.right(), y0);

    painter->setPen(QPen(Qt::darkGray));
    painter->drawRects(&plot, 1);

    painter->setPen(QPen(Qt::black));
    if (frame)
        painter->drawRect(QRect(layout.widget.topLeft(),
                                QPoint(layout.widget.right() - 1, layout.widget.bottom() - 1)));
}

// The three titles in bold, the main one larger; the vertical one reads upward. Leaves the
// 10-point title font on the painter.
void Draw_Titles(QPainter *painter, const TGraphScene &scene, const TGraphLayout &layout,
                 bool shown)
{
    const QString none;
    QFont title_font(painter->font());
    title_font.setPointSize(12);
    title_font.setWeight(QFont::Bold);
    painter->setFont(title_font);
    painter->drawText(layout.title, Qt::AlignHCenter | Qt::AlignVCenter,
                      shown ? scene.Title() : none);

    title_font.setPointSize(10);
    painter->setFont(title_font);
    painter->drawText(layout.horizontal_title, Qt::AlignHCenter | Qt::AlignVCenter,
                      shown ? scene.Horizontal_Title() : none);

    const QString &vertical = shown ? scene.Vertical_Title() : none;
    const int tw = std::max(1, painter->boundingRect(QRect(), Qt::AlignLeft, vertical).width());
    painter->save();
    painter->translate(layout.vertical_title.center());
    painter->rotate(-90.0);
    painter->drawText(QPointF(-(tw / 2), 0.0), vertical);
    painter->restore();
}

} // namespace

TGraphLayout TGraphLayout::Of(TKind kind, const QRect &rect, int fh)
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
    TGraphLayout layout;
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

namespace GraphPainter {

TLabelFormats Paint(QPainter *painter, const TGraphScene &scene, const TGraphLayout &layout,
                    const TScaleMap &horizontal, const TScaleMap &vertical,
                    const TGraphStyle &style)
{
    QUORVAL_ASSERT(painter != nullptr);
    const TLabelFormats formats = Label_Formats(painter, horizontal, vertical);
    Draw_Legend(painter, scene, layout, horizontal, vertical, formats, style);
    Draw_Data(painter, scene, layout.graph, horizontal, vertical, style);
    return formats;
}

TLabelFormats Label_Formats(QPainter *painter, const TScaleMap &horizontal,
                            const TScaleMap &vertical)
{
    QUORVAL_ASSERT(painter != nullptr);
    return {Choose_Label_Format(painter, horizontal), Choose_Label_Format(painter, vertical)};
}

void Draw_Legend(QPainter *painter, const TGraphScene &scene, const TGraphLayout &layout,
                 const TScaleMap &horizontal, const TScaleMap &vertical,
                 const TLabelFormats &formats, const TGraphStyle &style)
{
    QUORVAL_ASSERT(painter != nullptr);
    painter->setBrush(Qt::NoBrush);
    Draw_Axis(painter, layout, horizontal, formats.horizontal, style.round_ticks);
    Draw_Axis(painter, layout, vertical, formats.vertical, style.round_ticks);
    Draw_Lines(painter, layout, horizontal, vertical, style.frame);
    Draw_Titles(painter, scene, layout, style.titles);
}

int Draw_Data(QPainter *painter, const TGraphScene &scene, const QRect &plot,
              const TScaleMap &horizontal, const TScaleMap &vertical, const TGraphStyle &style)
{
    QUORVAL_ASSERT(painter != nullptr);
    return DataDrawing::Draw(painter, scene, plot, horizontal, vertical, style.reduce);
}

void Label_Format(TScaleMap::TScaleType type, bool vertical, const double &low, const double &high,
                  int *field_width, int *precision)
{
    QUORVAL_ASSERT(field_width && precision);
    *field_width = 8;
    *precision = 4;
    switch (type) {
    case TScaleMap::SCALE_LINEAR: {
        const double m = std::max(std::fabs(low), std::fabs(high));
        if (std::isfinite(m) && std::isfinite(high - low) && m > 1.0) {
            *precision =
                std::max(0, 4 - Truncate_To_Int(std::log10(std::max(1.0, high - low)), 1000));
            *field_width = Truncate_To_Int(std::log10(m), 1000) + *precision + 2;
        }
        break;
    }
    case TScaleMap::SCALE_LOG10:
        // The vertical log axis has a narrower field than the horizontal one.
        if (vertical)
            *field_width = 6;
        *precision = 1;
        break;
    case TScaleMap::SCALE_INTEGER:
        *field_width = 5;
        *precision = 0;
        break;
    }
}

std::vector<int> Linear_Tick_Positions(int first, int last, int label_size)
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

TRoundTicks Round_Ticks(const double &low, const double &high, double pixels,
                        const std::function<double(const QString &)> &room)
{
    // Whole numbers up to this are counted exactly by a double.
    constexpr double Largest_Counted = 1.0e15;
    TRoundTicks ticks;
    const double span = high - low;
    if (!std::isfinite(low) || !std::isfinite(high) || !std::isfinite(span) || !(span > 0.0) ||
        !(pixels >= 1.0))
        return ticks;
    const double largest = std::max(std::fabs(low), std::fabs(high));
    // From the step that gives one tick every two pixels upward.
    int exponent = static_cast<int>(std::floor(std::log10(span / std::max(1.0, pixels / 2.0))));
    for (;; ++exponent) {
        for (const int mantissa : {1, 2, 5}) {
            // A step below one is divided by its power of ten, so that 0.3 is 3 / 10 exactly
            // rounded rather than 3 * 0.1.
            const double power = std::pow(10.0, std::abs(exponent));
            const double step = exponent < 0 ? mantissa / power : mantissa * power;
            const double first = std::ceil(low / step);
            const double last = std::floor(high / step);
            if (!(step > 0.0) || !std::isfinite(step))
                return ticks;
            // Too many ticks, or multiples beyond those a double counts one by one.
            if (last - first > pixels / 2.0 || std::fabs(first) > Largest_Counted ||
                std::fabs(last) > Largest_Counted)
                continue;
            TRoundTicks candidate;
            candidate.step = step;
            double need = 0.0;
            for (double i = first; i <= last; ++i) {
                const double value = exponent < 0 ? i * mantissa / power : i * step;
                QString label = Round_Label(value, exponent, largest);
                // Where the doubles themselves cannot tell neighbours apart, one label for them.
                if (!candidate.labels.empty() && candidate.labels.back() == label)
                    continue;
                need = std::max(need, room(label));
                candidate.values.push_back(value);
                candidate.labels.push_back(std::move(label));
            }
            if (candidate.values.size() <= 1 || step / span * pixels >= need)
                return candidate;
        }
    }
}

int Bar_Half_Width(int plot_width, int count, bool log_axis)
{
    if (count <= 0)
        return 1;
    const int half = plot_width / ((log_axis ? 4 : 2) * count) - 1;
    return std::max(1, half);
}

} // namespace GraphPainter
