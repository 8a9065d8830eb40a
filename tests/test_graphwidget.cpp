#include "core/widgets/graphwidget.h"

#include "test_support.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QResizeEvent>
#include <QtTest>

#include <cmath>
#include <limits>

using Support::Abort_Text;
using Support::Near;

Q_DECLARE_METATYPE(std::vector<TVector2>)

namespace {

// Lays the widget out as a resize to the given size would, without showing it.
void Resize_Hidden(TGraphWidget *widget, const QSize &size)
{
    widget->resize(size);
    QResizeEvent event(size, QSize());
    QApplication::sendEvent(widget, &event);
}

int Count_Color(const QImage &image, const QColor &color, const QRect &inside, bool outside)
{
    int count = 0;
    const QRgb wanted = color.rgb();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == (wanted & 0xffffff) &&
                inside.contains(x, y) != outside)
                ++count;
    return count;
}

int Count_Dark(const QImage &image, const QRect &area)
{
    int count = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ++count;
    return count;
}

QImage White_Image(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A paint device that keeps the texts and the lines drawn on it, in device coordinates.
class TRecordingDevice : public QPaintDevice
{
public:
    struct TText
    {
        QString text;
        QPointF at; // start of the baseline
    };

    explicit TRecordingDevice(const QSize &size) : d_size(size) {}
    QPaintEngine *paintEngine() const override { return &d_engine; }
    const std::vector<TText> &Texts() const { return d_engine.texts; }
    const std::vector<QLine> &Lines() const { return d_engine.lines; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: return d_size.width();
        case PdmHeight: return d_size.height();
        case PdmWidthMM: return d_size.width() * 254 / 960;
        case PdmHeightMM: return d_size.height() * 254 / 960;
        case PdmNumColors: return std::numeric_limits<int>::max();
        case PdmDepth: return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class TEngine : public QPaintEngine
    {
    public:
        TEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        Type type() const override { return QPaintEngine::User; }
        void drawTextItem(const QPointF &p, const QTextItem &item) override
        {
            texts.push_back({item.text(), painter()->transform().map(p)});
        }
        void drawLines(const QLine *l, int count) override
        {
            lines.insert(lines.end(), l, l + count);
        }
        // Everything else is dropped; the base class would turn the shapes into one another
        // without end.
        void drawLines(const QLineF *, int) override {}
        void drawRects(const QRect *, int) override {}
        void drawRects(const QRectF *, int) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawPolygon(const QPoint *, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath &) override {}
        void drawPoints(const QPointF *, int) override {}
        void drawPoints(const QPoint *, int) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}

        std::vector<TText> texts;
        std::vector<QLine> lines;
    };

    QSize d_size;
    mutable TEngine d_engine;
};

// The number labels of one axis as drawn, in drawing order, and the pixel column or row of the
// tick drawn with each.
struct TAxisLabels
{
    QStringList texts;
    std::vector<int> ticks;
};

struct TLegendLabels
{
    TAxisLabels horizontal;
    TAxisLabels vertical;
};

// The labels that the widget's legend shows for its current view and layout, measured and drawn
// on a recording device in the widget's font. The titles are left out.
TLegendLabels Legend_Labels(TGraphWidget *w)
{
    TRecordingDevice device(w->size());
    QPainter painter(&device);
    painter.setFont(w->font());
    w->Calculate_Legend_Display_Precision(&painter);
    w->Draw_Legend(&painter);
    painter.end();

    const QRect g = w->Graph_Rect();
    TLegendLabels labels;
    for (const QLine &l : device.Lines()) {
        if (l.y1() == l.y2() && l.x2() == g.left() && l.x1() < l.x2())
            labels.vertical.ticks.push_back(l.y1());
        else if (l.x1() == l.x2() && l.y1() == g.bottom() && l.y2() > l.y1())
            labels.horizontal.ticks.push_back(l.x1());
    }
    const QStringList titles = {w->Title(), w->Horizontal_Title(), w->Vertical_Title()};
    // Horizontal labels stand on the label row of their area, below every vertical one.
    const int row =
        w->Current_Layout().horizontal_legend.top() + w->Horizontal_Label_Size().height();
    for (const TRecordingDevice::TText &t : device.Texts()) {
        if (titles.contains(t.text))
            continue;
        (t.at.y() > row ? labels.horizontal : labels.vertical).texts << t.text;
    }
    return labels;
}

int Decimals(const QString &label)
{
    const QString text = label.trimmed();
    const int point = text.indexOf('.');
    return point < 0 ? 0 : text.size() - point - 1;
}

// Checks that every label of a linear axis reads the value at its tick, to the half unit of its
// last decimal.
QString Misread_Label(const TAxisLabels &axis, const double &offset, const double &scale)
{
    if (axis.texts.size() != static_cast<int>(axis.ticks.size()))
        return QString("%1 labels, %2 ticks").arg(axis.texts.size()).arg(axis.ticks.size());
    for (int i = 0; i < axis.texts.size(); ++i) {
        bool ok = false;
        const double shown = axis.texts[i].toDouble(&ok);
        const double value = (axis.ticks[i] - offset) / scale;
        const double half_unit = 0.5 * std::pow(10.0, -Decimals(axis.texts[i]));
        if (!ok || std::fabs(shown - value) > half_unit * (1 + 1e-9) + std::fabs(value) * 1e-12)
            return QString("\"%1\" at %2 reads %3")
                .arg(axis.texts[i])
                .arg(axis.ticks[i])
                .arg(value);
    }
    return QString();
}

// The whole-number rule, checked label by label: the first label is the whole part of the value
// at the low edge; each further one is the first whole number more than spacing pixels from the
// label before; after the last one no number up to the high edge is that far.
QString Broken_Integer_Rule(const TAxisLabels &axis, const double &low, const double &high,
                            const double &scale, const double &offset, int spacing)
{
    auto Pixel = [&](qlonglong k) { return static_cast<int>(std::trunc(k * scale + offset)); };
    if (axis.texts.isEmpty() || axis.texts.size() != static_cast<int>(axis.ticks.size()))
        return QString("%1 labels, %2 ticks").arg(axis.texts.size()).arg(axis.ticks.size());
    std::vector<qlonglong> numbers;
    for (const QString &text : axis.texts)
        numbers.push_back(text.trimmed().toLongLong());
    if (numbers.front() != static_cast<qlonglong>(std::trunc(low)))
        return QString("first label %1, low edge %2").arg(numbers.front()).arg(low);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (axis.ticks[i] != Pixel(numbers[i]))
            return QString("%1 drawn at %2").arg(numbers[i]).arg(axis.ticks[i]);
        if (i == 0)
            continue;
        const int last = Pixel(numbers[i - 1]);
        if (std::abs(Pixel(numbers[i]) - last) <= spacing)
            return QString("%1 crowds %2").arg(numbers[i]).arg(numbers[i - 1]);
        if (numbers[i] - 1 > numbers[i - 1] && std::abs(Pixel(numbers[i] - 1) - last) > spacing)
            return QString("%1 skipped after %2").arg(numbers[i] - 1).arg(numbers[i - 1]);
    }
    const qlonglong end = static_cast<qlonglong>(std::trunc(high));
    if (end > numbers.back() && std::abs(Pixel(end) - Pixel(numbers.back())) > spacing)
        return QString("nothing drawn after %1 up to %2").arg(numbers.back()).arg(end);
    return QString();
}

} // namespace

class TTestGraphWidget : public QObject
{
    Q_OBJECT

private slots:
    void Color_Generator();
    void Data_Set_Operations();
    void Index_Assertions();
    void Fit_To_Data();
    void Fit_Options();
    void Fit_To_Rectangle_And_Limits();
    void Log_Warp();
    void Label_Format();
    void Tick_Positions();
    void Resize_Lays_Out_Screen();
    void Update_Graph_Before_Resize();
    void Update_Graph_Discards_Zoom();
    void Paint_To_Device_Layout_And_State();
    void Paint_To_Device_Graph_Only_Draws_No_Titles();
    void Paint_To_Device_High_Resolution();
    void Rendered_Image_Inspection();
    void Clipping_All_Types();
    void Huge_And_Invalid_Values();
    void Integer_And_Log_Axes_Render();
    void Widget_Paint_Copies_Cache();
    void Linear_Labels_Read_Their_Values_data();
    void Linear_Labels_Read_Their_Values();
    void Integer_Labels_Follow_One_Rule_data();
    void Integer_Labels_Follow_One_Rule();
    void Log_Labels_data();
    void Log_Labels();
};

void TTestGraphWidget::Color_Generator()
{
    const int expected[6][3] = {{255, 0, 0},   {0, 127, 0},   {0, 0, 255},
                                {255, 127, 0}, {0, 127, 255}, {255, 0, 255}};
    int r = -1, g = -1, b = -1;
    for (int i = 0; i < 6; ++i) {
        QVERIFY(TGraphWidget::GenerateRGBColor(i, &r, &g, &b));
        QCOMPARE(r, expected[i][0]);
        QCOMPARE(g, expected[i][1]);
        QCOMPARE(b, expected[i][2]);
    }
    QVERIFY(TGraphWidget::GenerateRGBColor(6, &r, &g, &b));
    QCOMPARE(QColor(r, g, b), QColor(128, 0, 0));
    QVERIFY(TGraphWidget::GenerateRGBColor(9, &r, &g, &b));
    QCOMPARE(QColor(r, g, b), QColor(128, 64, 0));
    QVERIFY(TGraphWidget::GenerateRGBColor(96, &r, &g, &b));
    QCOMPARE(QColor(r, g, b), QColor(0, 0, 0));
    r = g = b = 7;
    QVERIFY(!TGraphWidget::GenerateRGBColor(97, &r, &g, &b));
    QCOMPARE(QColor(r, g, b), QColor(0, 0, 0));
    r = g = b = 7;
    QVERIFY(!TGraphWidget::GenerateRGBColor(-1, &r, &g, &b));
    QCOMPARE(QColor(r, g, b), QColor(0, 0, 0));
}

void TTestGraphWidget::Data_Set_Operations()
{
    TGraphWidget w;
    QCOMPARE(w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT), 0);
    QCOMPARE(w.CreateDataSet(Qt::green, TGraphWidget::GRAPH_BAR), 1);
    QCOMPARE(w.CreateDataSet(Qt::blue, TGraphWidget::GRAPH_CROSS), 2);
    QCOMPARE(w.CreateDataSet(Qt::cyan, TGraphWidget::GRAPH_SQUARE), 3);

    QVERIFY(w.AddPoint(3, TVector2(1.0, 2.0)));
    QVERIFY(w.AddPoints(3, {TVector2(3.0, 4.0), TVector2(5.0, 6.0)}));
    QVERIFY(w.DeleteDataSet(1));
    QCOMPARE(w.DataSetCount(), 3);
    // The former set 3 is now set 2.
    QCOMPARE(w.DataSetSize(2), 3);
    QCOMPARE(w.GetPoint(2, 1).x, 3.0);

    QVERIFY(w.ModifyPoint(2, 1, TVector2(-1.0, -2.0)));
    QCOMPARE(w.GetPoint(2, 1).y, -2.0);
    QVERIFY(w.DeletePoint(2, 0));
    QCOMPARE(w.DataSetSize(2), 2);
    QCOMPARE(w.GetPoint(2, 0).x, -1.0);
    QCOMPARE(w.GetPoint(2, 1).x, 5.0);

    QVERIFY(w.SetPoints(0, {TVector2(9.0, 9.0)}));
    QVERIFY(w.SetPoints(0, {TVector2(8.0, 8.0), TVector2(7.0, 7.0)}));
    QCOMPARE(w.DataSetSize(0), 2);
    QCOMPARE(w.GetPoint(0, 0).x, 8.0);

    QVERIFY(w.DeletePoints(2));
    QCOMPARE(w.DataSetCount(), 3);
    QCOMPARE(w.DataSetSize(2), 0);

    w.DeleteDataSets();
    QCOMPARE(w.DataSetCount(), 0);
    QCOMPARE(w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT), 0);
}

void TTestGraphWidget::Index_Assertions()
{
    TGraphWidget w;
    w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoint(0, TVector2(1.0, 1.0));

    QString text = Abort_Text([&w] { w.AddPoint(1, TVector2()); });
    QVERIFY2(text.contains("\"set < static_cast<int>(d_data_sets.size())\""), qPrintable(text));
    QVERIFY2(text.contains(" core/widgets/graphwidget,"), qPrintable(text));
    QVERIFY2(text.contains("bool TGraphWidget::AddPoint(int, const TVector2&)"), qPrintable(text));

    text = Abort_Text([&w] { w.GetPoint(0, 1); });
    QVERIFY2(text.contains("\"index < static_cast<int>(d_data_sets[set].dataset_points.size())\""),
             qPrintable(text));
    text = Abort_Text([&w] { w.DeleteDataSet(1); });
    QVERIFY2(text.contains("\"index < static_cast<int>(d_data_sets.size())\""), qPrintable(text));
    // Negative indices stop the program too instead of reaching into memory.
    QVERIFY(!Abort_Text([&w] { w.ModifyPoint(-1, 0, TVector2()); }).isEmpty());
    QVERIFY(!Abort_Text([&w] { w.DeletePoint(0, -1); }).isEmpty());
    text = Abort_Text([&w] { w.Draw_Graph(nullptr); });
    QVERIFY2(text.contains("\"painter\""), qPrintable(text));
    // The good calls of the same kind do not abort.
    QVERIFY(Abort_Text([&w] {
                w.AddPoint(0, TVector2());
                w.GetPoint(0, 1);
            }).isEmpty());
}

void TTestGraphWidget::Fit_To_Data()
{
    TGraphWidget w;
    Resize_Hidden(&w, QSize(400, 300));
    const QRect g = w.Graph_Rect();

    // Empty graph: +-5e-6 widened by the 1/50 margins.
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Horizontal_Value_At(g.left()), -5.2e-6, 1e-12));
    QVERIFY(Near(w.Horizontal_Value_At(g.right()), 5.2e-6, 1e-12));
    QVERIFY(Near(w.Vertical_Value_At(g.bottom()), -5.2e-6, 1e-12));
    QVERIFY(Near(w.Vertical_Value_At(g.top()), 5.2e-6, 1e-12));
    QVERIFY(w.Vertical_Scale() < 0.0);

    // A single point (3, 7).
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoint(set, TVector2(3.0, 7.0));
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Horizontal_Data_Range(), 1e-5, 1e-12));
    QVERIFY(Near(w.Vertical_Data_Range(), 7.0 + 5e-6, 1e-12));
    QVERIFY(Near(w.Horizontal_Value_At(g.left()), 3.0 - 5e-6 - 2e-7, 1e-10));
    const double margin = (7.0 + 5e-6) / 50.0;
    QVERIFY(Near(w.Vertical_Value_At(g.top()), 7.0 + margin, 1e-9));
    QVERIFY(Near(w.Vertical_Value_At(g.bottom()), -5e-6 - margin, 1e-9));

    // y between 10 and 20: the zero line is included while the minimum is symmetric.
    w.SetPoints(set, {TVector2(0.0, 10.0), TVector2(50.0, 20.0)});
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Vertical_Data_Range(), 20.0 + 5e-6, 1e-9));
    QVERIFY(Near(w.Horizontal_Data_Range(), 50.0, 1e-9));
    w.SetScaleMinimumY(5e-6, false);
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Vertical_Data_Range(), 10.0, 1e-9));
    // Exactly the data's corners on the plot corners, 1/50 inside.
    QVERIFY(Near(w.Horizontal_Value_At(g.left()), -1.0, 1e-9));
    QVERIFY(Near(w.Horizontal_Value_At(g.right()), 51.0, 1e-9));
    QVERIFY(Near(w.Vertical_Value_At(g.bottom()), 9.8, 1e-9));
    QVERIFY(Near(w.Vertical_Value_At(g.top()), 20.2, 1e-9));

    // Without the zero rule the minimum does not count at all.
    w.SetScaleMinimumY(100.0, true);
    w.EnableYIncludesZero(false);
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Vertical_Data_Range(), 10.0, 1e-9));
    w.EnableYIncludesZero(true);
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Vertical_Data_Range(), 200.0, 1e-9));
}

void TTestGraphWidget::Fit_Options()
{
    TGraphWidget w;
    Resize_Hidden(&w, QSize(500, 300));
    const QRect g = w.Graph_Rect();

    w.SetScaleMinimumY(0.0, true);
    QCOMPARE(w.Scale_Minimum_Y(), 5e-5);
    w.SetScaleMinimumY(-3.0, false);
    QCOMPARE(w.Scale_Minimum_Y(), 5e-5);
    QVERIFY(!w.Scale_Minimum_Symmetric());
    w.SetScaleMinimumY(2.0, true);
    QCOMPARE(w.Scale_Minimum_Y(), 2.0);
    w.Update_Viewport_To_Data(); // no data: -2 .. 2 vertically
    QVERIFY(Near(w.Vertical_Data_Range(), 4.0, 1e-9));
    w.SetScaleMinimumY(5e-6, true);

    // Bar padding: 1/20 of the extent on each side, 1/40 on a log axis (which has no margins).
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 1.0), TVector2(100.0, 2.0)});
    w.Set_Graph_Type(TGraphWidget::GRAPH_BAR);
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Horizontal_Data_Range(), 110.0, 1e-9));
    w.Set_Horizontal_Scale_Type(TGraphWidget::SCALE_LOG10);
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Horizontal_Data_Range(), 105.0, 1e-9));
    QVERIFY(Near((g.left() - w.Horizontal_Offset()) / w.Horizontal_Scale(), -2.5, 1e-9));
    w.Set_Horizontal_Scale_Type(TGraphWidget::SCALE_LINEAR);
    w.Set_Graph_Type(TGraphWidget::GRAPH_LINE);

    // Lock aspect ratio: equal data units per pixel on both axes, centred on the data.
    w.Set_Lock_Aspect_Ratio(true);
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Horizontal_Scale(), -w.Vertical_Scale(), 1e-9 * w.Horizontal_Scale()));
    // The horizontal range is the vertical one (-5e-6 .. 2) times the plot's aspect, placed
    // around the data's centre: xmin = 50 + r * ymin, xmax = 50 + r * ymax.
    const double r = double(g.right() - g.left()) / (g.bottom() - g.top());
    const double centre = (w.Horizontal_Value_At(g.left()) + w.Horizontal_Value_At(g.right())) / 2;
    QVERIFY(Near(centre, 50.0 + r * (2.0 - 5e-6) / 2.0, 1e-9));
    QVERIFY(Near(w.Horizontal_Data_Range(), r * (2.0 + 5e-6), 1e-9));
}

void TTestGraphWidget::Fit_To_Rectangle_And_Limits()
{
    TGraphWidget w;
    Resize_Hidden(&w, QSize(600, 400));
    const QRect g = w.Graph_Rect();
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 0.0), TVector2(100.0, 50.0)});
    w.Update_Viewport_To_Data();
    QVERIFY(Near(w.Horizontal_Data_Range(), 100.0, 1e-9));

    // A box's content fills the plot area.
    const QRect box(QPoint(g.left() + 10, g.top() + 20), QPoint(g.left() + 110, g.top() + 90));
    const double x0 = w.Horizontal_Value_At(box.left());
    const double x1 = w.Horizontal_Value_At(box.right());
    const double y0 = w.Vertical_Value_At(box.bottom());
    const double y1 = w.Vertical_Value_At(box.top());
    w.Update_Viewport_To_Rect(QRect(box.bottomRight(), box.topLeft())); // reversed corners
    QVERIFY(Near(w.Horizontal_Value_At(g.left()), x0, 1e-9));
    QVERIFY(Near(w.Horizontal_Value_At(g.right()), x1, 1e-9));
    QVERIFY(Near(w.Vertical_Value_At(g.bottom()), y0, 1e-9));
    QVERIFY(Near(w.Vertical_Value_At(g.top()), y1, 1e-9));

    // A rectangle 200 times wider than the data fit is cut back to 50 times about its centre.
    w.Update_Viewport_To_Data();
    const int c0 = w.Horizontal_Position_Of(0.0);
    const int c1 = w.Horizontal_Position_Of(20000.0);
    const double v0 = w.Horizontal_Value_At(c0);
    const double v1 = w.Horizontal_Value_At(c1);
    QVERIFY(v1 - v0 > 199.0 * 100.0);
    w.Update_Viewport_To_Rect(QRect(QPoint(c0, g.top()), QPoint(c1, g.bottom())));
    QVERIFY(Near(w.Horizontal_Value_At(g.right()) - w.Horizontal_Value_At(g.left()), 5000.0, 1e-6));
    QVERIFY(Near(w.Horizontal_Value_At(g.left()), (v0 + v1) / 2 - 2500.0, 1e-6));

    // Zooming into single pixels never goes below the least extent of 1e-5, and never breaks
    // the transform.
    for (int i = 0; i < 60; ++i)
        w.Update_Viewport_To_Rect(QRect(g.center(), QSize(1, 1)));
    const double extent = w.Horizontal_Value_At(g.right()) - w.Horizontal_Value_At(g.left());
    QVERIFY(extent >= 1e-5 * (1 - 1e-6));
    QVERIFY(std::isfinite(w.Horizontal_Scale()) && std::isfinite(w.Vertical_Scale()));
    QVERIFY(std::isfinite(w.Horizontal_Offset()) && std::isfinite(w.Vertical_Offset()));
}

void TTestGraphWidget::Log_Warp()
{
    TGraphWidget w;
    Resize_Hidden(&w, QSize(600, 400));
    const QRect g = w.Graph_Rect();
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 0.0), TVector2(100.0, 50.0)});
    w.Set_Horizontal_Scale_Type(TGraphWidget::SCALE_LOG10);
    w.Set_Vertical_Scale_Type(TGraphWidget::SCALE_LOG10);
    w.Update_Viewport_To_Data(); // no margins: 0 .. 100 on the plot width

    QCOMPARE(w.Calculate_Log10_Position_Horizontal(-0.001), g.left());
    QCOMPARE(w.Calculate_Log10_Position_Horizontal(100.001), g.right());
    QCOMPARE(w.Calculate_Log10_Position_Vertical(-1.0), g.bottom());
    QCOMPARE(w.Calculate_Log10_Position_Vertical(1000.0), g.top());
    // Half way along the data sits 1 - (sqrt(10) - 1) / 9 of the way along the axis.
    const double f = 1.0 - (std::sqrt(10.0) - 1.0) / 9.0;
    const int middle = w.Calculate_Log10_Position_Horizontal(50.0);
    QVERIFY(std::abs(middle - (g.left() + f * (g.right() - g.left()))) <= 1.0);
    QVERIFY(middle > g.center().x()); // low values are spread out

    // The reverse warp leaves columns outside the plot alone and fixes both ends.
    QCOMPARE(w.Reverse_Log10_Position_Horizontal(g.left() - 5), g.left() - 5);
    QCOMPARE(w.Reverse_Log10_Position_Horizontal(g.right() + 10), g.right() + 10);
    QCOMPARE(w.Reverse_Log10_Position_Vertical(g.top() - 1), g.top() - 1);
    QCOMPARE(w.Reverse_Log10_Position_Horizontal(g.left()), g.left());
    QCOMPARE(w.Reverse_Log10_Position_Horizontal(g.right() + 1), g.right() + 1);
    QCOMPARE(w.Forward_Log10_Position_Horizontal(g.left() - 3), g.left() - 3);
    // Reverse undoes the warp: the value read at a warped column is the one drawn there.
    const double read_back = w.Calculate_Log10_Value_Horizontal(middle);
    QVERIFY(Near(read_back, 50.0, 100.0 / g.width() * 2));
    // The opposite warp spreads out the high end instead.
    QVERIFY(w.Forward_Log10_Position_Horizontal(g.center().x()) > g.center().x() + 10);
    QVERIFY(w.Forward_Log10_Position_Vertical(g.center().y()) < g.center().y() - 10);
    QCOMPARE(w.Forward_Log10_Position_Horizontal(g.left()), g.left());
    QVERIFY(Near(w.Calculate_Log10_Value_Vertical(w.Calculate_Log10_Position_Vertical(25.0)), 25.0,
                 50.0 / g.height() * 2));
}

void TTestGraphWidget::Label_Format()
{
    int width = 0, precision = 0;
    TGraphWidget::Label_Format(TGraphWidget::SCALE_LINEAR, false, -20.0, 1020.0, &width,
                               &precision);
    QCOMPARE(width, 6);
    QCOMPARE(precision, 1);
    TGraphWidget::Label_Format(TGraphWidget::SCALE_LINEAR, true, -0.1, 0.9, &width, &precision);
    QCOMPARE(width, 8);
    QCOMPARE(precision, 4);
    TGraphWidget::Label_Format(TGraphWidget::SCALE_LINEAR, false, 0.0, 200000.0, &width,
                               &precision);
    QCOMPARE(precision, 0);
    QCOMPARE(width, 7);
    TGraphWidget::Label_Format(TGraphWidget::SCALE_LOG10, false, 0.0, 10.0, &width, &precision);
    QCOMPARE(width, 8);
    QCOMPARE(precision, 1);
    TGraphWidget::Label_Format(TGraphWidget::SCALE_LOG10, true, 0.0, 10.0, &width, &precision);
    QCOMPARE(width, 6);
    TGraphWidget::Label_Format(TGraphWidget::SCALE_INTEGER, true, 0.0, 10.0, &width, &precision);
    QCOMPARE(width, 5);
    QCOMPARE(precision, 0);

    // Through a real rendering: data 0 to 1000 shows -20 to 1020.
    TGraphWidget w;
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 0.0), TVector2(1000.0, 0.5)});
    Resize_Hidden(&w, QSize(600, 400));
    QCOMPARE(w.Horizontal_Precision(), 1);
    QCOMPARE(w.Horizontal_Field_Width(), 6);
    QCOMPARE(w.Vertical_Precision(), 4);
    QCOMPARE(w.Vertical_Field_Width(), 8);
    // Measured on the cache, in the widget's font.
    const QPixmap pixmap = w.Background_Pixmap();
    const QFontMetrics metrics(w.font(), const_cast<QPixmap *>(&pixmap));
    QCOMPARE(w.Horizontal_Label_Size().height(), metrics.height());
    QVERIFY(std::abs(w.Horizontal_Label_Size().width() - metrics.horizontalAdvance("    -0.5  ")) <=
            2);
}

void TTestGraphWidget::Tick_Positions()
{
    std::vector<int> ticks = TGraphWidget::Linear_Tick_Positions(100, 399, 60);
    QCOMPARE(ticks, std::vector<int>({100, 175, 250, 325, 400}));
    QCOMPARE(TGraphWidget::Linear_Tick_Positions(100, 159, 60), std::vector<int>({100}));
    QVERIFY(TGraphWidget::Linear_Tick_Positions(100, 158, 60).empty());
    QVERIFY(TGraphWidget::Linear_Tick_Positions(100, 90, 60).empty());

    // In a rendering: grey tick pixels right below the plot area at the computed columns.
    TGraphWidget w;
    w.Set_Draw_Frame(false);
    QImage image = White_Image(QSize(700, 400));
    QPainter painter(&image);
    const int fh = QFontMetrics(painter.font(), &image).height();
    w.PaintToDevice(&painter, image.rect(), false);
    painter.end();
    const QRect g = TGraphWidget::Layout(TGraphWidget::LAYOUT_DEVICE, image.rect(), fh).graph;
    const QSize label = w.Horizontal_Label_Size();
    const std::vector<int> columns =
        TGraphWidget::Linear_Tick_Positions(g.left(), g.right(), label.width());
    QVERIFY(columns.size() >= 2);
    const int row = g.bottom() + 2; // under the border (which reaches bottom + 1)
    for (int x : columns)
        QCOMPARE(QColor(image.pixel(x, row)), QColor(Qt::lightGray));
    QCOMPARE(QColor(image.pixel(columns[0] + 1, row)), QColor(Qt::white));
}

void TTestGraphWidget::Resize_Lays_Out_Screen()
{
    TGraphWidget w;
    Resize_Hidden(&w, QSize(400, 300));
    const int fh = QFontMetrics(w.font()).height();
    const TGraphWidget::TLayout l = w.Current_Layout();
    QCOMPARE(l.graph, QRect(QPoint(7 * fh, 2 * fh), QPoint(400 - 2 * fh, 300 - 4 * fh)));
    QCOMPARE(l.title, QRect(QPoint(7 * fh, 0), QPoint(400, 2 * fh)));
    QCOMPARE(l.widget, QRect(0, 0, 400, 300));
    QCOMPARE(w.Background_Pixmap().size(), QSize(400, 300));
}

void TTestGraphWidget::Update_Graph_Before_Resize()
{
    TGraphWidget w;
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoint(set, TVector2(1.0, 1.0));
    const double scale = w.Horizontal_Scale();
    w.UpdateGraph();
    QVERIFY(w.Background_Pixmap().isNull());
    QVERIFY(w.Widget_Rect().isNull());
    QCOMPARE(w.Horizontal_Scale(), scale);
}

void TTestGraphWidget::Update_Graph_Discards_Zoom()
{
    TGraphWidget w;
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 0.0), TVector2(10.0, 5.0)});
    Resize_Hidden(&w, QSize(500, 400));
    const double hs = w.Horizontal_Scale();
    const double vo = w.Vertical_Offset();
    const QRect g = w.Graph_Rect();
    w.Draw_Background_Scaled_Pixmap(QRect(g.left() + 5, g.top() + 5, 50, 40));
    QVERIFY(w.Horizontal_Scale() > hs * 2);
    // New data does not change the picture until UpdateGraph, which refits.
    w.AddPoint(set, TVector2(20.0, 5.0));
    w.UpdateGraph();
    QVERIFY(Near(w.Horizontal_Scale(), hs / 2.0, 1e-12));
    w.DeletePoint(set, 2);
    w.UpdateGraph();
    QCOMPARE(w.Horizontal_Scale(), hs);
    QCOMPARE(w.Vertical_Offset(), vo);
}

void TTestGraphWidget::Paint_To_Device_Layout_And_State()
{
    TGraphWidget w;
    const int set = w.CreateDataSet(QColor(255, 0, 0), TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 0.0), TVector2(10.0, 5.0)});
    Resize_Hidden(&w, QSize(500, 400));
    w.Draw_Background_Scaled_Pixmap(QRect(w.Graph_Rect().topLeft(), QSize(80, 60)));
    const TGraphWidget::TLayout before = w.Current_Layout();
    const double hs = w.Horizontal_Scale(), ho = w.Horizontal_Offset();
    const double vs = w.Vertical_Scale(), vo = w.Vertical_Offset();
    const double range = w.Horizontal_Data_Range();

    QImage image = White_Image(QSize(800, 600));
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(20);
    painter.setFont(font);
    const int fh = QFontMetrics(font, &image).height();
    QVERIFY(w.PaintToDevice(&painter, QRect(0, 0, 800, 600), false));
    QCOMPARE(painter.font().pointSize(), 10);
    QVERIFY(painter.font().bold());
    painter.end();

    // The border of the plot area shows the device layout.
    const QRect g(QPoint(6 * fh, 2 * fh), QPoint(800 - 2 * fh, 600 - 4 * fh));
    const QColor border(Qt::darkGray);
    const int mid_row = g.top() + 5;
    QCOMPARE(QColor(image.pixel(g.left(), mid_row)), border);
    QCOMPARE(QColor(image.pixel(g.left() + 3, g.top())), border);
    QVERIFY(QColor(image.pixel(g.left() - 1, mid_row)) != border);
    QVERIFY(QColor(image.pixel(g.right(), mid_row)) == border ||
            QColor(image.pixel(g.right() + 1, mid_row)) == border);
    QCOMPARE(Count_Color(image, QColor(255, 0, 0), g, true), 0);
    QVERIFY(Count_Color(image, QColor(255, 0, 0), g, false) > 100);
    // No frame was asked for.
    QCOMPARE(QColor(image.pixel(0, 300)), QColor(Qt::white));

    const TGraphWidget::TLayout after = w.Current_Layout();
    QCOMPARE(after.graph, before.graph);
    QCOMPARE(after.vertical_legend, before.vertical_legend);
    QCOMPARE(after.vertical_title, before.vertical_title);
    QCOMPARE(after.horizontal_legend, before.horizontal_legend);
    QCOMPARE(after.horizontal_title, before.horizontal_title);
    QCOMPARE(after.title, before.title);
    QCOMPARE(after.widget, before.widget);
    QCOMPARE(w.Horizontal_Scale(), hs);
    QCOMPARE(w.Horizontal_Offset(), ho);
    QCOMPARE(w.Vertical_Scale(), vs);
    QCOMPARE(w.Vertical_Offset(), vo);
    QCOMPARE(w.Horizontal_Data_Range(), range);
    QVERIFY(w.Draw_Frame());
    QCOMPARE(w.Title(), QString("Sample Graph"));

    // With a frame, and at an offset inside a larger device.
    QImage framed = White_Image(QSize(700, 500));
    QPainter framed_painter(&framed);
    w.PaintToDevice(&framed_painter, QRect(50, 40, 600, 400), true);
    framed_painter.end();
    QCOMPARE(QColor(framed.pixel(50, 200)), QColor(Qt::black));
    QCOMPARE(QColor(framed.pixel(649, 200)), QColor(Qt::black));
    QCOMPARE(QColor(framed.pixel(300, 439)), QColor(Qt::black));
    QCOMPARE(QColor(framed.pixel(49, 200)), QColor(Qt::white));
    QCOMPARE(QColor(framed.pixel(650, 200)), QColor(Qt::white));
    QCOMPARE(QColor(framed.pixel(300, 440)), QColor(Qt::white));
}

void TTestGraphWidget::Paint_To_Device_Graph_Only_Draws_No_Titles()
{
    TGraphWidget w;
    const int set = w.CreateDataSet(QColor(0, 0, 255), TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 1.0), TVector2(10.0, 5.0)});
    w.SetTitle("Main Title");
    w.SetHorizontalTitle("Horizontal Title");
    w.SetVerticalTitle("Vertical Title");
    auto Drawn_Texts = [&w](bool graph_only) {
        TRecordingDevice device(QSize(600, 400));
        QPainter painter(&device);
        if (graph_only)
            w.PaintToDevice_GraphOnly(&painter, QRect(0, 0, 600, 400), false);
        else
            w.PaintToDevice(&painter, QRect(0, 0, 600, 400), false);
        painter.end();
        QStringList texts;
        for (const TRecordingDevice::TText &t : device.Texts())
            texts << t.text;
        return texts;
    };
    const QStringList titles = {"Main Title", "Horizontal Title", "Vertical Title"};

    // The full rendering draws the three titles besides the numbers, the graph alone only the
    // numbers.
    const QStringList full = Drawn_Texts(false);
    for (const QString &title : titles)
        QVERIFY2(full.contains(title), qPrintable(title));
    const QStringList only = Drawn_Texts(true);
    QVERIFY(only.size() >= 6);
    for (const QString &text : only)
        QVERIFY2(!titles.contains(text), qPrintable(text));

    // The titles are the widget's own again afterwards.
    QCOMPARE(w.Title(), QString("Main Title"));
    QCOMPARE(w.Horizontal_Title(), QString("Horizontal Title"));
    QCOMPARE(w.Vertical_Title(), QString("Vertical Title"));
}

void TTestGraphWidget::Paint_To_Device_High_Resolution()
{
    TGraphWidget w;
    const QColor color(255, 0, 0);
    const int set = w.CreateDataSet(color, TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 0.0), TVector2(10.0, 5.0)});

    // A 300 dpi image: the layout follows the font as measured on the device, so the text
    // keeps fitting its areas.
    QImage image = White_Image(QSize(2400, 1600));
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    QPainter painter(&image);
    const int fh = QFontMetrics(painter.font(), &image).height();
    QVERIFY(fh > 2 * QFontMetrics(QApplication::font()).height());
    w.PaintToDevice(&painter, image.rect(), false);
    painter.end();
    const QRect g = TGraphWidget::Layout(TGraphWidget::LAYOUT_DEVICE, image.rect(), fh).graph;
    QCOMPARE(QColor(image.pixel(g.left(), g.center().y())), QColor(Qt::darkGray));
    QCOMPARE(QColor(image.pixel(g.center().x(), g.top())), QColor(Qt::darkGray));
    QCOMPARE(Count_Color(image, color, g, true), 0);
    QVERIFY(w.Vertical_Label_Size().height() >= fh - 1);

    // A PDF at printer resolution, without a display.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(1200);
        QPainter pdf_painter(&pdf);
        QVERIFY(w.PaintToDevice(&pdf_painter, QRect(0, 0, pdf.width(), pdf.height() / 2), true));
        QVERIFY(w.PaintToDevice_GraphOnly(
            &pdf_painter, QRect(0, pdf.height() / 2, pdf.width(), pdf.height() / 2), true));
    }
    QVERIFY(buffer.data().startsWith("%PDF"));
    QVERIFY(buffer.size() > 1000);
}

void TTestGraphWidget::Rendered_Image_Inspection()
{
    // Never shown, never resized: as a command-line tool would use it.
    TGraphWidget w;
    w.SetTitle("Length Comparison");
    w.SetHorizontalTitle("Length");
    w.SetVerticalTitle("Deviation");
    const QColor line_color(255, 0, 0);
    const int set = w.CreateDataSet(line_color, TGraphWidget::GRAPH_DEFAULT);
    for (int i = 0; i <= 100; ++i)
        w.AddPoint(set, TVector2(i * 10.0, std::sin(i / 10.0) * 0.01));

    QImage image = White_Image(QSize(900, 500));
    QPainter painter(&image);
    const int fh = QFontMetrics(painter.font(), &image).height();
    QVERIFY(w.PaintToDevice(&painter, image.rect(), true));
    painter.end();
    const TGraphWidget::TLayout l =
        TGraphWidget::Layout(TGraphWidget::LAYOUT_DEVICE, image.rect(), fh);

    QVERIFY(Count_Dark(image, l.title.adjusted(2, 2, -2, -2)) > 20);
    QVERIFY(Count_Dark(image, l.horizontal_title.adjusted(2, 1, -2, -2)) > 10);
    QVERIFY(Count_Dark(image, l.vertical_title.adjusted(2, 2, -2, -2)) > 10);
    QVERIFY(Count_Dark(image, l.horizontal_legend.adjusted(0, 3, -2, 0)) > 20);
    QVERIFY(Count_Dark(image, l.vertical_legend.adjusted(0, 2, -2, 0)) > 20);
    int ticks = 0;
    for (int x = l.graph.left(); x <= l.graph.right() + 1; ++x)
        if (QColor(image.pixel(x, l.graph.bottom() + 2)) == QColor(Qt::lightGray))
            ++ticks;
    QVERIFY(ticks >= 3);
    QCOMPARE(Count_Color(image, line_color, l.graph, true), 0);
    QVERIFY(Count_Color(image, line_color, l.graph, false) > l.graph.width());
    // The curve spans the plot's width.
    QCOMPARE(Count_Color(image, line_color,
                         QRect(l.graph.left(), l.graph.top(), 20, l.graph.height()), false) > 0,
             true);
    QCOMPARE(Count_Color(image, line_color,
                         QRect(l.graph.right() - 20, l.graph.top(), 21, l.graph.height()),
                         false) > 0,
             true);
}

void TTestGraphWidget::Clipping_All_Types()
{
    const TGraphWidget::TGraphType types[] = {TGraphWidget::GRAPH_LINE, TGraphWidget::GRAPH_BAR,
                                              TGraphWidget::GRAPH_CROSS,
                                              TGraphWidget::GRAPH_SQUARE};
    for (TGraphWidget::TGraphType type : types) {
        TGraphWidget w;
        Resize_Hidden(&w, QSize(500, 350));
        const QColor color(0, 200, 0);
        const int set = w.CreateDataSet(color, type);
        for (int i = 0; i < 40; ++i)
            w.AddPoint(set, TVector2(i, (i % 2 ? 1.0 : -1.0) * i));
        w.UpdateGraph();
        const QRect g = w.Graph_Rect();
        // Zoom into the middle so most of the data lies beyond every edge.
        w.Draw_Background_Scaled_Pixmap(
            g.adjusted(g.width() / 3, g.height() / 3, -g.width() / 3, -g.height() / 3));
        const QImage image = w.Background_Pixmap().toImage();
        QCOMPARE(Count_Color(image, color, g, true), 0);
        QVERIFY(Count_Color(image, color, g, false) > 0);
    }
}

void TTestGraphWidget::Huge_And_Invalid_Values()
{
    TGraphWidget w;
    Resize_Hidden(&w, QSize(500, 350));
    const QColor color(0, 0, 200);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const int lines = w.CreateDataSet(color, TGraphWidget::GRAPH_LINE);
    w.AddPoints(lines, {TVector2(-1e300, 1e300), TVector2(0.0, 0.0), TVector2(nan, 1.0),
                        TVector2(1e300, -1e300), TVector2(inf, 0.0), TVector2(2.0, -inf)});
    const int bars = w.CreateDataSet(color, TGraphWidget::GRAPH_BAR);
    w.AddPoints(bars, {TVector2(1e300, 1e300), TVector2(5.0, nan)});
    const int marks = w.CreateDataSet(color, TGraphWidget::GRAPH_CROSS);
    w.AddPoints(marks, {TVector2(-1e300, -1e300), TVector2(inf, nan)});
    w.UpdateGraph();
    // Inf and NaN do not take part in the fit.
    QVERIFY(Near(w.Horizontal_Data_Range(), 2e300, 1e290));
    QVERIFY(std::isfinite(w.Horizontal_Scale()) && w.Horizontal_Scale() > 0.0);
    QVERIFY(std::isfinite(w.Vertical_Scale()) && w.Vertical_Scale() < 0.0);
    const QRect g = w.Graph_Rect();
    QCOMPARE(Count_Color(w.Background_Pixmap().toImage(), color, g, true), 0);

    // Deep zoom around a point of huge magnitude, then out again and panning far.
    w.SetPoints(lines, {TVector2(1e300, 1e300), TVector2(1e300, 1e300)});
    w.DeleteDataSet(bars);
    w.UpdateGraph();
    QVERIFY(std::isfinite(w.Horizontal_Scale()) && w.Horizontal_Scale() > 0.0);
    for (int i = 0; i < 30; ++i)
        w.Draw_Background_Scaled_Pixmap(QRect(g.center(), QSize(3, 3)));
    for (int i = 0; i < 30; ++i)
        w.Draw_Background_Scaled_Pixmap(
            g.adjusted(-g.width() * 4, -g.height() * 4, g.width() * 4, g.height() * 4));
    for (int i = 0; i < 30; ++i)
        w.Draw_Background_Scaled_Pixmap(g.translated(g.width() * 5, -g.height() * 5));
    QVERIFY(std::isfinite(w.Horizontal_Scale()) && std::isfinite(w.Horizontal_Offset()));
    QVERIFY(std::isfinite(w.Vertical_Scale()) && std::isfinite(w.Vertical_Offset()));
    QCOMPARE(Count_Color(w.Background_Pixmap().toImage(), color, g, true), 0);

    // Small data zoomed until the transform reaches the least extent: a line still crosses.
    w.SetPoints(lines, {TVector2(0.0, 0.0), TVector2(1.0, 1.0)});
    w.DeleteDataSet(1);
    w.UpdateGraph();
    for (int i = 0; i < 40; ++i)
        w.Draw_Background_Scaled_Pixmap(
            QRect(QPoint(w.Horizontal_Position_Of(0.5) - 2, w.Vertical_Position_Of(0.5) - 2),
                  QSize(4, 4)));
    const QImage deep = w.Background_Pixmap().toImage();
    QCOMPARE(Count_Color(deep, color, g, true), 0);
    QVERIFY(Count_Color(deep, color, g, false) > g.width() / 2);
}

void TTestGraphWidget::Integer_And_Log_Axes_Render()
{
    for (TGraphWidget::TScaleType type : {TGraphWidget::SCALE_INTEGER, TGraphWidget::SCALE_LOG10}) {
        TGraphWidget w;
        w.Set_Horizontal_Scale_Type(type);
        w.Set_Vertical_Scale_Type(type);
        const QColor color(0, 150, 150);
        const int set = w.CreateDataSet(color, TGraphWidget::GRAPH_SQUARE);
        for (int i = 0; i <= 20; ++i)
            w.AddPoint(set, TVector2(i * 50.0, i * 3.0));
        Resize_Hidden(&w, QSize(600, 400));
        const QImage image = w.Background_Pixmap().toImage();
        const QRect g = w.Graph_Rect();
        QCOMPARE(Count_Color(image, color, g, true), 0);
        QVERIFY(Count_Color(image, color, g, false) > 0);
        // Labels below and left of the plot area, spaced by at least a label's size.
        const TGraphWidget::TLayout l = w.Current_Layout();
        QVERIFY(Count_Dark(image, l.horizontal_legend.adjusted(0, 3, -2, 0)) > 20);
        QVERIFY(Count_Dark(image, l.vertical_legend.adjusted(0, 2, -2, 0)) > 20);
        std::vector<int> tick_columns;
        for (int x = g.left() - 1; x <= g.right() + 1; ++x)
            if (QColor(image.pixel(x, g.bottom() + 2)) == QColor(Qt::lightGray))
                tick_columns.push_back(x);
        QVERIFY(tick_columns.size() >= 2);
        if (type == TGraphWidget::SCALE_INTEGER)
            for (std::size_t i = 1; i < tick_columns.size(); ++i)
                QVERIFY(tick_columns[i] - tick_columns[i - 1] > w.Horizontal_Label_Size().width());
    }

    // A wide integer axis thins its labels without walking every whole number.
    TGraphWidget w;
    w.Set_Horizontal_Scale_Type(TGraphWidget::SCALE_INTEGER);
    w.Set_Vertical_Scale_Type(TGraphWidget::SCALE_INTEGER);
    const int set = w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_LINE);
    w.AddPoints(set, {TVector2(-4e14, -3e14), TVector2(4e14, 5e14)});
    Resize_Hidden(&w, QSize(600, 400));
    const QImage image = w.Background_Pixmap().toImage();
    QVERIFY(Count_Dark(image, w.Current_Layout().horizontal_legend.adjusted(0, 3, -2, 0)) > 20);
    QVERIFY(Count_Dark(image, w.Current_Layout().vertical_legend.adjusted(0, 2, -2, 0)) > 20);
}

void TTestGraphWidget::Widget_Paint_Copies_Cache()
{
    TGraphWidget w;
    const int set = w.CreateDataSet(QColor(255, 0, 0), TGraphWidget::GRAPH_DEFAULT);
    w.AddPoints(set, {TVector2(0.0, 0.0), TVector2(10.0, 5.0)});
    w.Set_Show_Cursor_Position(false);
    w.resize(500, 350);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QImage cached = w.Background_Pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage shown = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, cached);

    // Direct rendering paints the same data without the cache. (Text may differ: the test
    // application gives pixmaps and the screen different resolutions.)
    w.Set_Direct_Render(true);
    const QImage direct = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb red = QColor(255, 0, 0).rgb();
    int red_pixels = 0;
    for (int y = 0; y < direct.height(); ++y)
        for (int x = 0; x < direct.width(); ++x) {
            QCOMPARE(direct.pixel(x, y) == red, cached.pixel(x, y) == red);
            red_pixels += cached.pixel(x, y) == red;
        }
    QVERIFY(red_pixels > 100);

    // The read-out is drawn in grey inside the top right corner of the plot area.
    w.Set_Direct_Render(false);
    w.Set_Show_Cursor_Position(true);
    const QImage with_text = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect g = w.Graph_Rect();
    const int fh = QFontMetrics(w.font()).height();
    const QRect corner(QPoint(g.left() + 1, g.top() + 1), QPoint(g.right() + 2, g.top() + 2 * fh));
    int changed = 0;
    for (int y = 0; y < with_text.height(); ++y)
        for (int x = 0; x < with_text.width(); ++x)
            if (with_text.pixel(x, y) != cached.pixel(x, y)) {
                QVERIFY2(corner.contains(x, y), qPrintable(QString("%1 %2").arg(x).arg(y)));
                ++changed;
            }
    QVERIFY(changed > 10);
}

// Deviations of a gauge-block comparison: two laboratories' results at 39 lengths from 0.5 to 100
// mm, within about +-0.0006 mm.
std::vector<TVector2> Gauge_Block_Deviations()
{
    std::vector<TVector2> points;
    for (int i = 0; i < 39; ++i) {
        const double x = 0.5 + i * 99.5 / 38.0;
        points.emplace_back(x, 0.0006 * std::sin(i * 0.9));
        points.emplace_back(x, -0.0006 * std::cos(i * 0.7));
    }
    return points;
}

void TTestGraphWidget::Linear_Labels_Read_Their_Values_data()
{
    QTest::addColumn<std::vector<TVector2>>("points");
    QTest::addColumn<QSize>("size");
    // A zoom box in fractions of the plot area; empty for the fitted view.
    QTest::addColumn<QRectF>("zoom");
    QTest::addColumn<int>("horizontal_precision");
    QTest::addColumn<int>("vertical_precision");

    // The document's cases: -20 to 1020 gets one decimal, ranges within +-1 keep four.
    QTest::newRow("0 to 1000") << std::vector<TVector2>{{0.0, 0.0}, {1000.0, 0.5}}
                               << QSize(600, 400) << QRectF() << 1 << 4;
    QTest::newRow("within one") << std::vector<TVector2>{{-0.08, -0.3}, {0.88, 0.7}}
                                << QSize(600, 400) << QRectF() << 4 << 4;
    QTest::newRow("large and wide") << std::vector<TVector2>{{-50000.0, 0.0}, {250000.0, 12.0}}
                                    << QSize(700, 300) << QRectF() << 0 << 3;
    QTest::newRow("far from zero") << std::vector<TVector2>{{1.0e6, -3.0}, {1.0e6 + 0.5, 3.0}}
                                   << QSize(881, 250) << QRectF() << 4 << 4;
    // Six labels 0.0002 apart: four decimals tell them apart.
    QTest::newRow("gauge blocks, 881 x 250")
        << Gauge_Block_Deviations() << QSize(881, 250) << QRectF() << 2 << 4;
    // Fourteen labels less than 0.0001 apart need five; zoomed in, too.
    QTest::newRow("gauge blocks, 881 x 400")
        << Gauge_Block_Deviations() << QSize(881, 400) << QRectF() << 2 << 5;
    QTest::newRow("gauge blocks, 881 x 250, zoomed")
        << Gauge_Block_Deviations() << QSize(881, 250) << QRectF(1 / 3.0, 0.4, 1 / 3.0, 0.2) << 3
        << 5;
    QTest::newRow("gauge blocks, 881 x 400, zoomed")
        << Gauge_Block_Deviations() << QSize(881, 400) << QRectF(1 / 3.0, 0.4, 1 / 3.0, 0.2) << 3
        << 5;
    // The empty graph's +-0.0000052: four labels 0.0000035 apart need six decimals, thirteen
    // 0.0000009 apart seven.
    QTest::newRow("no data") << std::vector<TVector2>{} << QSize(600, 400) << QRectF() << 6 << 7;
    // Horizontally too: labels about 0.000013 apart read alike with four decimals; five tell
    // them apart, in a wider field of which fewer fit.
    QTest::newRow("narrow horizontal range") << std::vector<TVector2>{{0.0, 0.0}, {0.0001, 1.0}}
                                             << QSize(881, 250) << QRectF() << 5 << 4;
}

void TTestGraphWidget::Linear_Labels_Read_Their_Values()
{
    QFETCH(std::vector<TVector2>, points);
    QFETCH(QSize, size);
    QFETCH(QRectF, zoom);
    QFETCH(int, horizontal_precision);
    QFETCH(int, vertical_precision);
    TGraphWidget w;
    w.AddPoints(w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT), points);
    Resize_Hidden(&w, size);
    const QRect g = w.Graph_Rect();
    if (!zoom.isEmpty())
        w.Draw_Background_Scaled_Pixmap(QRect(
            g.left() + qRound(zoom.left() * g.width()), g.top() + qRound(zoom.top() * g.height()),
            qRound(zoom.width() * g.width()), qRound(zoom.height() * g.height())));

    const TLegendLabels labels = Legend_Labels(&w);
    QCOMPARE(w.Horizontal_Precision(), horizontal_precision);
    QCOMPARE(w.Vertical_Precision(), vertical_precision);
    QVERIFY(labels.horizontal.texts.size() >= 3);
    QVERIFY(labels.vertical.texts.size() >= 3);
    for (const TAxisLabels *axis : {&labels.horizontal, &labels.vertical}) {
        const bool horizontal = axis == &labels.horizontal;
        const int field = horizontal ? w.Horizontal_Field_Width() : w.Vertical_Field_Width();
        const int precision = horizontal ? horizontal_precision : vertical_precision;
        for (int i = 0; i < axis->texts.size(); ++i) {
            const QString &text = axis->texts[i];
            // Padded to the field width (a minus sign may reach beyond it).
            QVERIFY(text.size() >= field);
            QCOMPARE(Decimals(text), precision);
            QVERIFY2(!QRegularExpression("^-0\\.?0*$").match(text.trimmed()).hasMatch(),
                     qPrintable(text));
            if (i > 0)
                QVERIFY2(text.trimmed() != axis->texts[i - 1].trimmed(), qPrintable(text));
        }
    }
    QString wrong = Misread_Label(labels.horizontal, w.Horizontal_Offset(), w.Horizontal_Scale());
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    wrong = Misread_Label(labels.vertical, w.Vertical_Offset(), w.Vertical_Scale());
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    // The horizontal labels, measured in their format, do not run into one another.
    const QFontMetrics metrics(w.font());
    for (std::size_t i = 1; i < labels.horizontal.ticks.size(); ++i)
        QVERIFY(labels.horizontal.ticks[i] - labels.horizontal.ticks[i - 1] >
                metrics.horizontalAdvance(labels.horizontal.texts[int(i) - 1].trimmed()));
    // The ticks are spread evenly from the low edge to one pixel beyond the high edge.
    QCOMPARE(labels.horizontal.ticks.front(), g.left());
    QCOMPARE(labels.horizontal.ticks.back(), g.right() + 1);
    QCOMPARE(labels.vertical.ticks.front(), g.top());
    QCOMPARE(labels.vertical.ticks.back(), g.bottom() + 1);
}

void TTestGraphWidget::Integer_Labels_Follow_One_Rule_data()
{
    QTest::addColumn<std::vector<TVector2>>("points");
    QTest::addColumn<QSize>("size");

    QTest::newRow("0 to 1000") << std::vector<TVector2>{{0.0, 0.0}, {1000.0, 1000.0}}
                               << QSize(400, 300);
    QTest::newRow("-4 to 1056") << std::vector<TVector2>{{-4.0, -4.0}, {1056.0, 1056.0}}
                                << QSize(700, 500);
    QTest::newRow("negative") << std::vector<TVector2>{{-3000.0, -3000.0}, {-20.0, -20.0}}
                              << QSize(881, 250);
    QTest::newRow("few numbers") << std::vector<TVector2>{{0.0, 0.0}, {3.0, 3.0}}
                                 << QSize(500, 400);
    QTest::newRow("very wide") << std::vector<TVector2>{{-4e14, -3e14}, {4e14, 5e14}}
                               << QSize(600, 400);
}

void TTestGraphWidget::Integer_Labels_Follow_One_Rule()
{
    QFETCH(std::vector<TVector2>, points);
    QFETCH(QSize, size);
    TGraphWidget w;
    w.Set_Horizontal_Scale_Type(TGraphWidget::SCALE_INTEGER);
    w.Set_Vertical_Scale_Type(TGraphWidget::SCALE_INTEGER);
    w.AddPoints(w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT), points);
    Resize_Hidden(&w, size);

    const TLegendLabels labels = Legend_Labels(&w);
    const QRect g = w.Graph_Rect();
    const double hs = w.Horizontal_Scale(), ho = w.Horizontal_Offset();
    const double vs = w.Vertical_Scale(), vo = w.Vertical_Offset();
    QString broken =
        Broken_Integer_Rule(labels.horizontal, (g.left() - ho) / hs, (g.right() - ho) / hs, hs, ho,
                            w.Horizontal_Label_Size().width());
    QVERIFY2(broken.isEmpty(), qPrintable("horizontal: " + broken));
    // The vertical axis counts from the row below the plot area.
    broken = Broken_Integer_Rule(labels.vertical, (g.bottom() + 1 - vo) / vs, (g.top() - vo) / vs,
                                 vs, vo, w.Vertical_Label_Size().height());
    QVERIFY2(broken.isEmpty(), qPrintable("vertical: " + broken));
    for (const QString &text : labels.horizontal.texts)
        QVERIFY(!text.endsWith(' '));
    for (const QString &text : labels.vertical.texts)
        QVERIFY(text.endsWith(' '));
}

void TTestGraphWidget::Log_Labels_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<QStringList>("expected");

    // Whole steps from 0 (the step 1000 / 8 rounded up), growing by half once the labels crowd
    // near the high end, and no label beyond it.
    QTest::newRow("horizontal") << false
                                << QStringList{"     0.0", "   126.0", "   252.0", "   378.0",
                                               "   504.0", "   630.0", "   819.0"};
    // Steps of 100 / 13 growing by half twice; each label shows the value read back at its
    // row, the last one the top of the axis.
    QTest::newRow("vertical") << true << QStringList{"  -0.4", "   7.7", "  15.3", "  23.0",
                                                     "  30.7", "  38.3", "  46.4", "  54.0",
                                                     "  65.3", "  77.4", "  94.5", " 100.0"};
}

void TTestGraphWidget::Log_Labels()
{
    QFETCH(bool, vertical);
    QFETCH(QStringList, expected);
    TGraphWidget w;
    w.Set_Horizontal_Scale_Type(TGraphWidget::SCALE_LOG10);
    w.Set_Vertical_Scale_Type(TGraphWidget::SCALE_LOG10);
    w.AddPoints(w.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT),
                {TVector2(0.0, 0.0), TVector2(1000.0, 100.0)});
    Resize_Hidden(&w, QSize(881, 400));
    const TLegendLabels labels = Legend_Labels(&w);
    const TAxisLabels &axis = vertical ? labels.vertical : labels.horizontal;
    QCOMPARE(axis.texts, expected);
    QCOMPARE(axis.ticks.size(), std::size_t(expected.size()));
}

QTEST_MAIN(TTestGraphWidget)
#include "test_graphwidget.moc"
