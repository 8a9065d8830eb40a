#include "core/widgets/graphwidget.h"

#include "test_support.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <limits>

using Support::Near;

namespace {

// Records the regions it is asked to paint.
class TRecordingGraph : public TGraphWidget
{
public:
    QRegion painted;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        painted += event->region();
        ++paints;
        TGraphWidget::paintEvent(event);
    }
};

struct TView
{
    double left, right, bottom, top; // data values at the plot area's edges
};

TView View_Of(const TGraphWidget &w)
{
    const QRect g = w.Graph_Rect();
    return {w.Horizontal_Value_At(g.left()), w.Horizontal_Value_At(g.right()),
            w.Vertical_Value_At(g.bottom()), w.Vertical_Value_At(g.top())};
}

bool Same_View(const TView &a, const TView &b, double tolerance)
{
    return Near(a.left, b.left, tolerance) && Near(a.right, b.right, tolerance) &&
           Near(a.bottom, b.bottom, tolerance) && Near(a.top, b.top, tolerance);
}

bool Finite_Transform(const TGraphWidget &w)
{
    return std::isfinite(w.Horizontal_Scale()) && std::isfinite(w.Horizontal_Offset()) &&
           std::isfinite(w.Vertical_Scale()) && std::isfinite(w.Vertical_Offset()) &&
           w.Horizontal_Scale() > 0.0 && w.Vertical_Scale() < 0.0;
}

// A move with buttons held, as the window system delivers it.
void Move(QWidget *w, const QPoint &p, Qt::MouseButtons buttons)
{
    QMouseEvent event(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void Left_Drag(QWidget *w, const QPoint &from, const QPoint &to)
{
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from);
    Move(w, (from + to) / 2, Qt::LeftButton);
    Move(w, to, Qt::LeftButton);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, to);
}

void Right_Drag(QWidget *w, const QPoint &from, const QPoint &to)
{
    QTest::mousePress(w, Qt::RightButton, Qt::NoModifier, from);
    Move(w, to, Qt::RightButton);
    QTest::mouseRelease(w, Qt::RightButton, Qt::NoModifier, to);
}

// Lets the paints and the requests they make run their course.
void Settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// A double-click as Qt delivers it: press, release, double-click, release.
void Double_Click(QWidget *w, Qt::MouseButton button, const QPoint &p)
{
    QTest::mousePress(w, button, Qt::NoModifier, p);
    QTest::mouseRelease(w, button, Qt::NoModifier, p);
    QTest::mouseDClick(w, button, Qt::NoModifier, p);
    QTest::mouseRelease(w, button, Qt::NoModifier, p);
}

} // namespace

class TTestGraphWidgetMouse : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void Click_Reports_Data_Coordinates();
    void Short_Drag_Is_Click_Long_Drag_Zooms();
    void Press_Outside_Anchors_At_Plot_Corner();
    void Right_Click_Zooms_Out_About_Centre();
    void Right_Drag_Pans();
    void Cursor_Read_Out();
    void Pending_Requests_Order();
    void Update_Graph_Returns_To_Fit();
    void Zoom_Box_Repaints_Only_Its_Outline();
    void Right_Press_Restarts_Zoom_Box();
    void Log_Axis_Box_Zoom();
    void Repeated_Zoom_And_Pan_Stay_Finite();
    void Left_Double_Click_Fits();
    void Right_Double_Click_Zooms_Out_Twice();
    void View_Changed_Reports_The_Range_data();
    void View_Changed_Reports_The_Range();
    void Set_Horizontal_Range_data();
    void Set_Horizontal_Range();
    void Linked_Graphs_Follow_Each_Other();

private:
    TRecordingGraph *d_widget = nullptr;
    TView d_fitted{};
};

void TTestGraphWidgetMouse::init()
{
    d_widget = new TRecordingGraph;
    const int set = d_widget->CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT);
    d_widget->AddPoints(set, {TVector2(0.0, -10.0), TVector2(100.0, 50.0)});
    d_widget->setFixedSize(640, 420);
    d_widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(d_widget));
    QApplication::processEvents();
    d_fitted = View_Of(*d_widget);
}

void TTestGraphWidgetMouse::cleanup()
{
    delete d_widget;
    d_widget = nullptr;
}

void TTestGraphWidgetMouse::Click_Reports_Data_Coordinates()
{
    TGraphWidget &w = *d_widget;
    QSignalSpy spy(&w, &TGraphWidget::Mouse_Click);
    const QPoint p = w.Graph_Rect().center() + QPoint(17, -23);
    const double x = (p.x() - w.Horizontal_Offset()) / w.Horizontal_Scale();
    const double y = (p.y() - w.Vertical_Offset()) / w.Vertical_Scale();
    QTest::mouseClick(&w, Qt::LeftButton, Qt::NoModifier, p);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), x);
    QCOMPARE(spy.at(0).at(1).toDouble(), y);
    QApplication::processEvents();
    QVERIFY(Same_View(View_Of(w), d_fitted, 0.0));

    // A click is reported wherever it lands, outside the plot area too.
    QTest::mouseClick(&w, Qt::LeftButton, Qt::NoModifier, QPoint(3, 4));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toDouble(), (3 - w.Horizontal_Offset()) / w.Horizontal_Scale());
}

void TTestGraphWidgetMouse::Short_Drag_Is_Click_Long_Drag_Zooms()
{
    TGraphWidget &w = *d_widget;
    QSignalSpy spy(&w, &TGraphWidget::Mouse_Click);
    const QPoint o = w.Graph_Rect().topLeft() + QPoint(60, 40);

    // Manhattan size 18: a click at the release point, and the box is gone.
    Left_Drag(&w, o, o + QPoint(10, 8));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDouble(), w.Horizontal_Value_At(o.x() + 10));
    QCOMPARE(spy.at(0).at(1).toDouble(), w.Vertical_Value_At(o.y() + 8));
    QVERIFY(!w.Left_Down_Box_Shown());
    QApplication::processEvents();
    QVERIFY(Same_View(View_Of(w), d_fitted, 0.0));

    // Size 20: a zoom to the box, no signal.
    const TView expected = {w.Horizontal_Value_At(o.x()), w.Horizontal_Value_At(o.x() + 10),
                            w.Vertical_Value_At(o.y() + 10), w.Vertical_Value_At(o.y())};
    Left_Drag(&w, o, o + QPoint(10, 10));
    QCOMPARE(spy.count(), 1);
    QVERIFY(!w.Left_Down_Box_Shown());
    const TView zoomed = View_Of(w);
    QVERIFY(Same_View(zoomed, expected, 1e-9));

    // The reverse drag gives the same box.
    w.UpdateGraph();
    Left_Drag(&w, o + QPoint(10, 10), o);
    QCOMPARE(spy.count(), 1);
    QVERIFY(Same_View(View_Of(w), zoomed, 1e-9));
}

void TTestGraphWidgetMouse::Press_Outside_Anchors_At_Plot_Corner()
{
    TGraphWidget &w = *d_widget;
    QSignalSpy spy(&w, &TGraphWidget::Mouse_Click);
    const QRect g = w.Graph_Rect();
    const QPoint end = g.topLeft() + QPoint(120, 90);
    const TView expected = {w.Horizontal_Value_At(g.left()), w.Horizontal_Value_At(end.x()),
                            w.Vertical_Value_At(end.y()), w.Vertical_Value_At(g.top())};
    Left_Drag(&w, QPoint(2, 2), end);
    QCOMPARE(spy.count(), 0);
    QVERIFY(Same_View(View_Of(w), expected, 1e-9));
}

void TTestGraphWidgetMouse::Right_Click_Zooms_Out_About_Centre()
{
    TGraphWidget &w = *d_widget;
    const QPoint p = w.Graph_Rect().center();
    QTest::mouseClick(&w, Qt::RightButton, Qt::NoModifier, p);
    QVERIFY(w.Zoom_Out_Pending());
    Settle();
    QVERIFY(!w.Zoom_Out_Pending());
    const TView view = View_Of(w);
    const double pixel = (d_fitted.right - d_fitted.left) / w.Graph_Rect().width();
    QVERIFY(Near(view.right - view.left, 2.0 * (d_fitted.right - d_fitted.left), 3 * pixel));
    QVERIFY(Near((view.right + view.left) / 2, (d_fitted.right + d_fitted.left) / 2, 2 * pixel));
    const double row = (d_fitted.top - d_fitted.bottom) / w.Graph_Rect().height();
    QVERIFY(Near(view.top - view.bottom, 2.0 * (d_fitted.top - d_fitted.bottom), 3 * row));
    QVERIFY(Near((view.top + view.bottom) / 2, (d_fitted.top + d_fitted.bottom) / 2, 2 * row));

    // Zooming out stops at 50 times the fitted data extent (the margins included here), and
    // data far from value 0 stays in the middle of the plot.
    w.DeletePoints(0);
    w.AddPoints(0, {TVector2(1000.0, 1000.0), TVector2(1010.0, 1010.0)});
    w.UpdateGraph();
    Settle();
    const TView fitted = View_Of(w);
    for (int i = 0; i < 12; ++i) {
        QTest::mouseClick(&w, Qt::RightButton, Qt::NoModifier, p);
        Settle();
    }
    const TView out = View_Of(w);
    QVERIFY(out.right - out.left <= 50.0 * w.Horizontal_Data_Range() * 1.000001);
    QVERIFY(out.right - out.left >= 49.0 * w.Horizontal_Data_Range());
    QVERIFY(Near((out.left + out.right) / 2, 1005.0, 0.03 * (out.right - out.left)));
    QVERIFY(Near((out.bottom + out.top) / 2, (fitted.bottom + fitted.top) / 2,
                 0.03 * (out.top - out.bottom)));
}

void TTestGraphWidgetMouse::Right_Drag_Pans()
{
    TGraphWidget &w = *d_widget;
    const QPoint p = w.Graph_Rect().center();
    const double x_under = w.Horizontal_Value_At(p.x());
    const double y_under = w.Vertical_Value_At(p.y());
    QTest::mousePress(&w, Qt::RightButton, Qt::NoModifier, p);
    Move(&w, p + QPoint(10, 0), Qt::RightButton);
    Move(&w, p + QPoint(30, 0), Qt::RightButton);
    // The data under the pointer followed it, and the scale is unchanged.
    QVERIFY(Near(w.Horizontal_Value_At(p.x() + 30), x_under, 1e-9));
    QVERIFY(Near(w.Vertical_Value_At(p.y()), y_under, 1e-9));
    QVERIFY(Near(View_Of(w).right - View_Of(w).left, d_fitted.right - d_fitted.left, 1e-9));
    const TView panned = View_Of(w);
    QTest::mouseRelease(&w, Qt::RightButton, Qt::NoModifier, p + QPoint(30, 0));
    QVERIFY(!w.Zoom_Out_Pending());
    w.repaint();
    QVERIFY(Same_View(View_Of(w), panned, 0.0));

    // Panning up and left: the data under the pointer follows it that way too.
    const double x_before = w.Horizontal_Value_At(p.x());
    const double y_before = w.Vertical_Value_At(p.y());
    Right_Drag(&w, p, p + QPoint(-20, -15));
    QVERIFY(Near(w.Horizontal_Value_At(p.x() - 20), x_before, 1e-9));
    QVERIFY(Near(w.Vertical_Value_At(p.y() - 15), y_before, 1e-9));
    QVERIFY(View_Of(w).left > panned.left);
    QVERIFY(View_Of(w).top < panned.top);
}

void TTestGraphWidgetMouse::Cursor_Read_Out()
{
    TGraphWidget &w = *d_widget;
    const QRect g = w.Graph_Rect();
    const QPoint inside = g.center() + QPoint(5, 7);
    Move(&w, inside, Qt::NoButton);
    // The data (0, -10) to (100, 50) with 1/50 margins: -2 to 102 from the left to the right
    // column, -11.2 to 51.2 from the bottom to the top row.
    const double x = -2.0 + 104.0 * (inside.x() - g.left()) / (g.right() - g.left());
    const double y = 51.2 - 62.4 * (inside.y() - g.top()) / (g.bottom() - g.top());
    const QRegularExpressionMatch read_out =
        QRegularExpression("^(-?\\d+\\.\\d{5}),   (-?\\d+\\.\\d{5})$").match(w.Cursor_Text());
    QVERIFY2(read_out.hasMatch(), qPrintable(w.Cursor_Text()));
    QVERIFY(Near(read_out.captured(1).toDouble(), x, 0.5e-5 + 1e-9));
    QVERIFY(Near(read_out.captured(2).toDouble(), y, 0.5e-5 + 1e-9));
    const QString expected = w.Cursor_Text();
    // Outside the plot area the read-out keeps its last text.
    Move(&w, QPoint(2, 2), Qt::NoButton);
    Move(&w, QPoint(w.width() - 2, w.height() - 2), Qt::NoButton);
    QCOMPARE(w.Cursor_Text(), expected);
    // Moves while dragging do not change it either.
    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, inside);
    Move(&w, inside + QPoint(40, 40), Qt::LeftButton);
    QCOMPARE(w.Cursor_Text(), expected);
    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, inside + QPoint(40, 40));

    // Switched off: no read-out.
    w.Set_Show_Cursor_Position(false);
    Move(&w, inside + QPoint(1, 1), Qt::NoButton);
    QCOMPARE(w.Cursor_Text(), expected);
}

void TTestGraphWidgetMouse::Pending_Requests_Order()
{
    TGraphWidget &w = *d_widget;
    const QRect g = w.Graph_Rect();
    w.Draw_Background_Scaled_Pixmap(QRect(g.topLeft() + QPoint(30, 30), QSize(100, 80)));
    w.ZoomOut();
    w.ScaleToFit();
    QVERIFY(w.Zoom_Out_Pending() && w.Scale_To_Fit_Pending());
    // A paint only shows the picture; the requests are carried out on the event loop, the fit
    // first.
    w.repaint();
    QVERIFY(w.Zoom_Out_Pending() && w.Scale_To_Fit_Pending());
    Settle();
    QVERIFY(!w.Scale_To_Fit_Pending());
    QVERIFY(!w.Zoom_Out_Pending());
    const TView out = View_Of(w);
    QVERIFY(Near(out.right - out.left, 2 * (d_fitted.right - d_fitted.left),
                 3 * (d_fitted.right - d_fitted.left) / g.width()));

    // Direct rendering keeps the requests pending.
    w.Set_Direct_Render(true);
    w.ScaleToFit();
    Settle();
    QVERIFY(w.Scale_To_Fit_Pending());
    w.Set_Direct_Render(false);
    Settle();
    QVERIFY(!w.Scale_To_Fit_Pending());
}

void TTestGraphWidgetMouse::Update_Graph_Returns_To_Fit()
{
    TGraphWidget &w = *d_widget;
    const QPoint o = w.Graph_Rect().topLeft() + QPoint(30, 30);
    Left_Drag(&w, o, o + QPoint(80, 50));
    QVERIFY(!Same_View(View_Of(w), d_fitted, 1e-6));
    w.UpdateGraph();
    QVERIFY(Same_View(View_Of(w), d_fitted, 0.0));
}

void TTestGraphWidgetMouse::Zoom_Box_Repaints_Only_Its_Outline()
{
    TRecordingGraph &w = *d_widget;
    const QPoint a = w.Graph_Rect().topLeft() + QPoint(50, 40);
    const QPoint b = a + QPoint(90, 60);
    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, b);
    Move(&w, a, Qt::LeftButton); // the box is normalized for drawing and repainting
    QApplication::processEvents();
    QVERIFY(w.Left_Down_Box_Shown());

    auto Outline = [](const QRect &box) {
        const QRect n = box.normalized();
        QRegion region;
        region += QRect(QPoint(n.left(), n.top()), QPoint(n.right(), n.top()));
        region += QRect(QPoint(n.left(), n.top()), QPoint(n.left(), n.bottom()));
        region += QRect(QPoint(n.left(), n.bottom() + 1), QPoint(n.right(), n.bottom() + 1));
        region += QRect(QPoint(n.right() + 1, n.top()), QPoint(n.right() + 1, n.bottom()));
        return region;
    };
    w.painted = QRegion();
    w.Update_Left_Down_Box();
    QApplication::processEvents();
    QCOMPARE(w.painted, Outline(QRect(a, b)));

    // A move repaints the old and the new outline only.
    w.painted = QRegion();
    const QPoint c = a + QPoint(-20, 10);
    Move(&w, c, Qt::LeftButton);
    QApplication::processEvents();
    QCOMPARE(w.painted, Outline(QRect(a, b)) + Outline(QRect(c, b)));

    // The outline is on screen, one pixel wide, in black.
    const QImage shown = w.grab().toImage();
    const QRect n = QRect(c, b).normalized();
    QCOMPARE(QColor(shown.pixel(n.left(), n.center().y())), QColor(Qt::black));
    QCOMPARE(QColor(shown.pixel(n.right() + 1, n.center().y())), QColor(Qt::black));
    QCOMPARE(QColor(shown.pixel(n.center().x(), n.top())), QColor(Qt::black));
    QCOMPARE(QColor(shown.pixel(n.center().x(), n.bottom() + 1)), QColor(Qt::black));
    QVERIFY(QColor(shown.pixel(n.left() + 1, n.center().y() + 1)) != QColor(Qt::black));

    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, c);
    QVERIFY(!w.Left_Down_Box_Shown());
}

void TTestGraphWidgetMouse::Right_Press_Restarts_Zoom_Box()
{
    TRecordingGraph &w = *d_widget;
    QSignalSpy spy(&w, &TGraphWidget::Mouse_Click);
    const QPoint a = w.Graph_Rect().topLeft() + QPoint(50, 40);
    const QPoint b = a + QPoint(80, 60);
    const QPoint c = a + QPoint(200, 30);
    const QPoint d = c + QPoint(-70, 90);
    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, a);
    Move(&w, b, Qt::LeftButton);
    QApplication::processEvents();
    QVERIFY(w.Left_Down_Box_Shown());

    // A right press during the drag moves the box's anchor to the pointer, erasing the old box.
    w.painted = QRegion();
    QTest::mousePress(&w, Qt::RightButton, Qt::NoModifier, c);
    QApplication::processEvents();
    QVERIFY(w.painted.contains(QRect(a, b).normalized().topLeft()));
    Move(&w, d, Qt::LeftButton | Qt::RightButton);
    // The right release, without a pan, zooms out; the box stays.
    QTest::mouseRelease(&w, Qt::RightButton, Qt::NoModifier, d);
    QVERIFY(w.Left_Down_Box_Shown());
    QVERIFY(w.Zoom_Out_Pending());
    Settle();
    QVERIFY(View_Of(w).right - View_Of(w).left > d_fitted.right - d_fitted.left);

    // The left release zooms to the box from the right press to the pointer, and clicks nothing.
    const TView expected = {w.Horizontal_Value_At(d.x()), w.Horizontal_Value_At(c.x()),
                            w.Vertical_Value_At(d.y()), w.Vertical_Value_At(c.y())};
    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, d);
    Settle();
    QCOMPARE(spy.count(), 0);
    QVERIFY(!w.Left_Down_Box_Shown());
    QVERIFY(Same_View(View_Of(w), expected, 1e-9));
}

void TTestGraphWidgetMouse::Log_Axis_Box_Zoom()
{
    TGraphWidget &w = *d_widget;
    w.Set_Horizontal_Scale_Type(TGraphWidget::SCALE_LOG10);
    w.Set_Vertical_Scale_Type(TGraphWidget::SCALE_LOG10);
    w.UpdateGraph();
    const QRect g = w.Graph_Rect();
    const QPoint a = g.topLeft() + QPoint(100, 50);
    const QPoint b = a + QPoint(120, 90);
    // The box's edges show these values before the zoom; afterwards they bound the view.
    const double left = w.Calculate_Log10_Value_Horizontal(a.x());
    const double right = w.Calculate_Log10_Value_Horizontal(b.x());
    const double top = w.Calculate_Log10_Value_Vertical(a.y());
    const double bottom = w.Calculate_Log10_Value_Vertical(b.y());
    Left_Drag(&w, a, b);
    const double h_pixel = (right - left) / g.width();
    const double v_pixel = (top - bottom) / g.height();
    QVERIFY(Near((g.left() - w.Horizontal_Offset()) / w.Horizontal_Scale(), left, 1e-9));
    QVERIFY(Near((g.right() - w.Horizontal_Offset()) / w.Horizontal_Scale(), right, 1e-9));
    QVERIFY(Near((g.top() - w.Vertical_Offset()) / w.Vertical_Scale(), top, 1e-9));
    QVERIFY(Near((g.bottom() - w.Vertical_Offset()) / w.Vertical_Scale(), bottom, 1e-9));
    QVERIFY(h_pixel > 0.0 && v_pixel > 0.0);

    // The read-out shows the warped value under the pointer.
    Move(&w, g.center(), Qt::NoButton);
    QVERIFY(w.Cursor_Text().startsWith(
        QString::number(w.Calculate_Log10_Value_Horizontal(g.center().x()), 'f', 5) + ","));
}

void TTestGraphWidgetMouse::Repeated_Zoom_And_Pan_Stay_Finite()
{
    TGraphWidget &w = *d_widget;
    const QRect g = w.Graph_Rect();
    const QPoint c = g.center();
    for (int i = 0; i < 1000; ++i) {
        Left_Drag(&w, c - QPoint(10, 10), c + QPoint(10, 10));
        QVERIFY(Finite_Transform(w));
    }
    const TView deep = View_Of(w);
    QVERIFY(deep.right - deep.left >= 1e-5 * (1 - 1e-6));
    QVERIFY(deep.top - deep.bottom >= 1e-5 * (1 - 1e-6));
    for (int i = 0; i < 1000; ++i) {
        Right_Drag(&w, c, c + QPoint(i % 2 ? 37 : 23, i % 3 ? 19 : 0));
        QVERIFY(Finite_Transform(w));
    }
    for (int i = 0; i < 1000; ++i) {
        Right_Drag(&w, c, c - QPoint(31, 17));
        QVERIFY(Finite_Transform(w));
    }
    for (int i = 0; i < 1000; ++i) {
        w.ZoomOut();
        Settle();
        QVERIFY(Finite_Transform(w));
    }
    const TView out = View_Of(w);
    QVERIFY(out.right - out.left <= 50.0 * w.Horizontal_Data_Range() * 1.000001);
    QVERIFY(out.top - out.bottom <= 50.0 * w.Vertical_Data_Range() * 1.000001);
    for (int i = 0; i < 1000; ++i) {
        Right_Drag(&w, c, c + QPoint(200, -150));
        QVERIFY(Finite_Transform(w));
    }
    // Everything drawn stays readable: the read-out is a pair of plain numbers.
    Move(&w, c, Qt::NoButton);
    QVERIFY(!w.Cursor_Text().contains("nan") && !w.Cursor_Text().contains("inf"));
}

void TTestGraphWidgetMouse::Left_Double_Click_Fits()
{
    TRecordingGraph &w = *d_widget;
    const QRect g = w.Graph_Rect();
    Left_Drag(&w, g.topLeft() + QPoint(40, 30), g.topLeft() + QPoint(200, 150));
    Settle();
    QVERIFY(!Same_View(View_Of(w), d_fitted, 1e-6));
    QSignalSpy clicks(&w, &TGraphWidget::Mouse_Click);
    QSignalSpy views(&w, &TGraphWidget::View_Changed);

    const QPoint p = g.center();
    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseDClick(&w, Qt::LeftButton, Qt::NoModifier, p);
    // The pointer wanders 27 pixels before the last release: no zoom box comes of it.
    Move(&w, p + QPoint(15, 12), Qt::LeftButton);
    QVERIFY(!w.Left_Down_Box_Shown());
    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, p + QPoint(15, 12));
    // The first click is reported, the second is not.
    QCOMPARE(clicks.count(), 1);
    QVERIFY(w.Scale_To_Fit_Pending());
    Settle();
    QVERIFY(Same_View(View_Of(w), d_fitted, 1e-12));
    QCOMPARE(views.count(), 1);
    QCOMPARE(views.at(0).at(0).toDouble(), d_fitted.left);
    QCOMPARE(views.at(0).at(1).toDouble(), d_fitted.right);
    QCOMPARE(clicks.count(), 1);
}

void TTestGraphWidgetMouse::Right_Double_Click_Zooms_Out_Twice()
{
    TRecordingGraph &w = *d_widget;
    const QRect g = w.Graph_Rect();
    QSignalSpy views(&w, &TGraphWidget::View_Changed);
    QTest::mouseClick(&w, Qt::RightButton, Qt::NoModifier, g.center());
    Settle();
    const TView once = View_Of(w);
    // The screen is repainted between the clicks of a double-click.
    QTest::mousePress(&w, Qt::RightButton, Qt::NoModifier, g.center());
    QTest::mouseRelease(&w, Qt::RightButton, Qt::NoModifier, g.center());
    Settle();
    QTest::mouseDClick(&w, Qt::RightButton, Qt::NoModifier, g.center());
    QTest::mouseRelease(&w, Qt::RightButton, Qt::NoModifier, g.center());
    Settle();
    // Two more clicks: two more zoom-outs, as before double-clicks were handled.
    const TView view = View_Of(w);
    const double pixel = (once.right - once.left) / g.width();
    QVERIFY(Near(view.right - view.left, 4.0 * (once.right - once.left), 12 * pixel));
    QCOMPARE(views.count(), 3);
    QVERIFY(!w.Scale_To_Fit_Pending());
}

void TTestGraphWidgetMouse::View_Changed_Reports_The_Range_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("emitted");

    QTest::newRow("zoom box") << "zoom box" << 1;
    QTest::newRow("pan, two steps") << "pan" << 2;
    QTest::newRow("right click") << "zoom out" << 1;
    QTest::newRow("ScaleToFit") << "fit" << 1;
    QTest::newRow("UpdateGraph") << "update" << 1;
    QTest::newRow("click") << "click" << 0;
    QTest::newRow("short drag") << "short drag" << 0;
    QTest::newRow("cursor read-out") << "move" << 0;
    QTest::newRow("Set_Horizontal_Range") << "set range" << 0;
    QTest::newRow("resize") << "resize" << 0;
}

void TTestGraphWidgetMouse::View_Changed_Reports_The_Range()
{
    QFETCH(QString, action);
    QFETCH(int, emitted);
    TRecordingGraph &w = *d_widget;
    const QRect g = w.Graph_Rect();
    const QPoint c = g.center();
    // From a zoomed view, so that a fit changes it too.
    Left_Drag(&w, g.topLeft() + QPoint(40, 30), g.topLeft() + QPoint(200, 150));
    Settle();
    QSignalSpy views(&w, &TGraphWidget::View_Changed);

    if (action == "zoom box") {
        Left_Drag(&w, c, c + QPoint(60, 40));
    } else if (action == "pan") {
        QTest::mousePress(&w, Qt::RightButton, Qt::NoModifier, c);
        Move(&w, c + QPoint(10, 5), Qt::RightButton);
        Move(&w, c + QPoint(30, 5), Qt::RightButton);
        QTest::mouseRelease(&w, Qt::RightButton, Qt::NoModifier, c + QPoint(30, 5));
    } else if (action == "zoom out") {
        QTest::mouseClick(&w, Qt::RightButton, Qt::NoModifier, c);
    } else if (action == "fit") {
        w.ScaleToFit();
    } else if (action == "update") {
        w.UpdateGraph();
    } else if (action == "click") {
        QTest::mouseClick(&w, Qt::LeftButton, Qt::NoModifier, c);
    } else if (action == "short drag") {
        Left_Drag(&w, c, c + QPoint(10, 8));
    } else if (action == "move") {
        Move(&w, c + QPoint(3, 3), Qt::NoButton);
    } else if (action == "set range") {
        w.Set_Horizontal_Range(10.0, 20.0);
    } else if (action == "resize") {
        // The zoomed view stays what it shows, in values.
        const TView zoomed = View_Of(w);
        w.setFixedSize(700, 460);
        Settle();
        QVERIFY(Same_View(View_Of(w), zoomed, 1e-9));
    }
    Settle();
    QCOMPARE(views.count(), emitted);
    if (emitted > 0) {
        // The last one tells the range now shown.
        QCOMPARE(views.last().at(0).toDouble(), View_Of(w).left);
        QCOMPARE(views.last().at(1).toDouble(), View_Of(w).right);
    }
}

void TTestGraphWidgetMouse::Set_Horizontal_Range_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<bool>("includes_zero");
    // Expected vertical range; NaN: the one shown before.
    QTest::addColumn<double>("bottom");
    QTest::addColumn<double>("top");

    // The points there run from 0 to 10; with zero (the symmetric minimum 5e-6) and 1/50
    // margins.
    QTest::newRow("inside") << 20.0 << 40.0 << true << -5e-6 - 10.000005 / 50
                            << 10.0 + 10.000005 / 50;
    QTest::newRow("reversed ends")
        << 40.0 << 20.0 << true << -5e-6 - 10.000005 / 50 << 10.0 + 10.000005 / 50;
    QTest::newRow("zero not included") << 20.0 << 40.0 << false << -0.2 << 10.2;
    // The peak of 120 at 60 counts in full.
    QTest::newRow("around the peak")
        << 55.0 << 65.0 << true << -5e-6 - 120.000005 / 50 << 120.0 + 120.000005 / 50;
    const double keep = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("no point inside") << 100.2 << 100.8 << true << keep << keep;
}

void TTestGraphWidgetMouse::Set_Horizontal_Range()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(bool, includes_zero);
    QFETCH(double, bottom);
    QFETCH(double, top);
    TRecordingGraph &w = *d_widget;
    // y = x / 2 - 10 every 1 from 0 to 100, with a peak of 120 at 60.
    std::vector<TVector2> points;
    for (int x = 0; x <= 100; ++x)
        points.emplace_back(x, x == 60 ? 120.0 : x / 2.0 - 10.0);
    w.SetPoints(0, points);
    w.EnableYIncludesZero(includes_zero);
    w.UpdateGraph();
    Settle();
    const TView before = View_Of(w);
    const QImage cache = w.Background_Pixmap().toImage();
    QSignalSpy views(&w, &TGraphWidget::View_Changed);
    w.paints = 0;

    w.Set_Horizontal_Range(low, high);
    const TView view = View_Of(w);
    QVERIFY(Near(view.left, std::min(low, high), 1e-9));
    QVERIFY(Near(view.right, std::max(low, high), 1e-9));
    if (std::isnan(bottom)) {
        QVERIFY(Near(view.bottom, before.bottom, 1e-9));
        QVERIFY(Near(view.top, before.top, 1e-9));
    } else {
        QVERIFY2(Near(view.bottom, bottom, 1e-9), qPrintable(QString::number(view.bottom)));
        QVERIFY2(Near(view.top, top, 1e-9), qPrintable(QString::number(view.top)));
    }
    // Rendered at once, shown by one repaint, and nothing reported.
    QVERIFY(w.Background_Pixmap().toImage() != cache);
    Settle();
    QCOMPARE(w.paints, 1);
    QCOMPARE(views.count(), 0);
    QVERIFY(Same_View(View_Of(w), view, 0.0));
}

void TTestGraphWidgetMouse::Linked_Graphs_Follow_Each_Other()
{
    // Two graphs over the same lengths: deviations, and En values with one peak at 60.
    TRecordingGraph a;
    TRecordingGraph b;
    std::vector<TVector2> deviations;
    std::vector<TVector2> en;
    for (int i = 0; i <= 40; ++i) {
        deviations.emplace_back(i * 2.5, 0.0005 * std::sin(i * 0.8));
        en.emplace_back(i * 2.5, i == 24 ? 2.7 : 0.2 + 0.1 * (i % 3));
    }
    a.AddPoints(a.CreateDataSet(Qt::red, TGraphWidget::GRAPH_DEFAULT), deviations);
    b.AddPoints(b.CreateDataSet(Qt::blue, TGraphWidget::GRAPH_DEFAULT), en);
    for (TRecordingGraph *w : {&a, &b}) {
        w->setFixedSize(640, 300);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
    }
    Settle();
    connect(&a, &TGraphWidget::View_Changed, &b, &TGraphWidget::Set_Horizontal_Range);
    connect(&b, &TGraphWidget::View_Changed, &a, &TGraphWidget::Set_Horizontal_Range);
    QSignalSpy a_views(&a, &TGraphWidget::View_Changed);
    QSignalSpy b_views(&b, &TGraphWidget::View_Changed);
    auto Start = [&]() {
        a.paints = b.paints = 0;
        a_views.clear();
        b_views.clear();
    };
    // Paints of A and of B, reports of A and of B since Start.
    auto Counts = [&]() {
        return QVector<int>{a.paints, b.paints, a_views.count(), b_views.count()};
    };
    auto Same_Lengths = [&]() {
        const double pixel = (View_Of(a).right - View_Of(a).left) / a.Graph_Rect().width();
        return Near(View_Of(a).left, View_Of(b).left, 1e-9 * pixel) &&
               Near(View_Of(a).right, View_Of(b).right, 1e-9 * pixel);
    };
    const QRect g = a.Graph_Rect();
    const QPoint c = g.center();

    // A zoom box on A around the peak's length: B shows the same lengths and, fitted to the En
    // values there, the peak at its height; one repaint each, one report.
    const QPoint from(a.Horizontal_Position_Of(50.0), g.top() + 20);
    const QPoint to(a.Horizontal_Position_Of(70.0), g.bottom() - 20);
    QTest::mousePress(&a, Qt::LeftButton, Qt::NoModifier, from);
    Move(&a, to, Qt::LeftButton);
    Settle();
    Start();
    QTest::mouseRelease(&a, Qt::LeftButton, Qt::NoModifier, to);
    Settle();
    QVERIFY(Same_Lengths());
    QCOMPARE(Counts(), QVector<int>({1, 1, 1, 0}));
    QVERIFY(View_Of(b).top > 2.7 && View_Of(b).top < 2.7 * 1.03);

    // A zoom box on A away from the peak: the En values there fill B's height.
    const QPoint away(a.Horizontal_Position_Of(52.0), g.top() + 20);
    const QPoint away_to(a.Horizontal_Position_Of(58.0), g.bottom() - 20);
    Left_Drag(&a, away, away_to);
    Settle();
    QVERIFY(Same_Lengths());
    QVERIFY(View_Of(b).top > 0.4 && View_Of(b).top < 0.4 * 1.03);

    // A pan step on B: A follows at once.
    Start();
    QTest::mousePress(&b, Qt::RightButton, Qt::NoModifier, c);
    Move(&b, c + QPoint(25, 0), Qt::RightButton);
    Settle();
    QVERIFY(Same_Lengths());
    QCOMPARE(Counts(), QVector<int>({1, 1, 0, 1}));
    QTest::mouseRelease(&b, Qt::RightButton, Qt::NoModifier, c + QPoint(25, 0));
    Settle();
    QCOMPARE(Counts(), QVector<int>({1, 1, 0, 1}));

    // A right click on A: one paint each.
    Start();
    QTest::mouseClick(&a, Qt::RightButton, Qt::NoModifier, c);
    Settle();
    QVERIFY(Same_Lengths());
    QCOMPARE(Counts(), QVector<int>({1, 1, 1, 0}));

    // A double-click on B fits B to its data; A shows the same lengths.
    Start();
    Double_Click(&b, Qt::LeftButton, c);
    Settle();
    QVERIFY(Same_Lengths());
    QVERIFY(Near(View_Of(b).left, -2.0, 1e-9) && Near(View_Of(b).right, 102.0, 1e-9));
    QCOMPARE(Counts(), QVector<int>({1, 1, 0, 1}));

    // Nothing keeps going afterwards.
    Start();
    Settle();
    QCOMPARE(Counts(), QVector<int>({0, 0, 0, 0}));
}

QTEST_MAIN(TTestGraphWidgetMouse)
#include "test_graphwidget_mouse.moc"
