#include "core/graphwidget.h"

#include "test_support.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

using Support::Near;

namespace {

// Records the regions it is asked to paint.
class TRecordingGraph : public TGraphWidget
{
public:
    QRegion painted;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        painted += event->region();
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

} // namespace

class TestGraphWidgetMouse : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clickReportsDataCoordinates();
    void shortDragIsClickLongDragZooms();
    void pressOutsideAnchorsAtPlotCorner();
    void rightClickZoomsOutAboutCentre();
    void rightDragPans();
    void cursorReadOut();
    void pendingRequestsOrder();
    void updateGraphReturnsToFit();
    void zoomBoxRepaintsOnlyItsOutline();
    void otherButtonEndsZoomBoxDrag();
    void logAxisBoxZoom();
    void repeatedZoomAndPanStayFinite();

private:
    TRecordingGraph *d_widget = nullptr;
    TView d_fitted{};
};

void TestGraphWidgetMouse::init()
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

void TestGraphWidgetMouse::cleanup()
{
    delete d_widget;
    d_widget = nullptr;
}

void TestGraphWidgetMouse::clickReportsDataCoordinates()
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

void TestGraphWidgetMouse::shortDragIsClickLongDragZooms()
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

void TestGraphWidgetMouse::pressOutsideAnchorsAtPlotCorner()
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

void TestGraphWidgetMouse::rightClickZoomsOutAboutCentre()
{
    TGraphWidget &w = *d_widget;
    const QPoint p = w.Graph_Rect().center();
    QTest::mouseClick(&w, Qt::RightButton, Qt::NoModifier, p);
    QVERIFY(w.Zoom_Out_Pending());
    w.repaint();
    QVERIFY(!w.Zoom_Out_Pending());
    const TView view = View_Of(w);
    const double pixel = (d_fitted.right - d_fitted.left) / w.Graph_Rect().width();
    QVERIFY(Near(view.right - view.left, 2.0 * (d_fitted.right - d_fitted.left), 3 * pixel));
    QVERIFY(Near((view.right + view.left) / 2, (d_fitted.right + d_fitted.left) / 2, 2 * pixel));
    const double row = (d_fitted.top - d_fitted.bottom) / w.Graph_Rect().height();
    QVERIFY(Near(view.top - view.bottom, 2.0 * (d_fitted.top - d_fitted.bottom), 3 * row));
    QVERIFY(Near((view.top + view.bottom) / 2, (d_fitted.top + d_fitted.bottom) / 2, 2 * row));

    // Zooming out stops at 50 times the fitted data extent (the margins included here).
    for (int i = 0; i < 12; ++i) {
        QTest::mouseClick(&w, Qt::RightButton, Qt::NoModifier, p);
        w.repaint();
    }
    const TView out = View_Of(w);
    QVERIFY(out.right - out.left <= 50.0 * w.Horizontal_Data_Range() * 1.000001);
    QVERIFY(out.right - out.left >= 49.0 * w.Horizontal_Data_Range());
}

void TestGraphWidgetMouse::rightDragPans()
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

void TestGraphWidgetMouse::cursorReadOut()
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

void TestGraphWidgetMouse::pendingRequestsOrder()
{
    TGraphWidget &w = *d_widget;
    const QRect g = w.Graph_Rect();
    w.Draw_Background_Scaled_Pixmap(QRect(g.topLeft() + QPoint(30, 30), QSize(100, 80)));
    w.ZoomOut();
    w.ScaleToFit();
    QVERIFY(w.Zoom_Out_Pending() && w.Scale_To_Fit_Pending());
    w.repaint();
    QVERIFY(!w.Scale_To_Fit_Pending());
    QVERIFY(w.Zoom_Out_Pending());
    QVERIFY(Same_View(View_Of(w), d_fitted, 1e-12));
    w.repaint();
    QVERIFY(!w.Zoom_Out_Pending());
    const TView out = View_Of(w);
    QVERIFY(Near(out.right - out.left, 2 * (d_fitted.right - d_fitted.left),
                 3 * (d_fitted.right - d_fitted.left) / g.width()));

    // Direct rendering keeps the requests pending.
    w.Set_Direct_Render(true);
    w.ScaleToFit();
    w.repaint();
    QVERIFY(w.Scale_To_Fit_Pending());
    w.Set_Direct_Render(false);
    w.repaint();
    QVERIFY(!w.Scale_To_Fit_Pending());
}

void TestGraphWidgetMouse::updateGraphReturnsToFit()
{
    TGraphWidget &w = *d_widget;
    const QPoint o = w.Graph_Rect().topLeft() + QPoint(30, 30);
    Left_Drag(&w, o, o + QPoint(80, 50));
    QVERIFY(!Same_View(View_Of(w), d_fitted, 1e-6));
    w.UpdateGraph();
    QVERIFY(Same_View(View_Of(w), d_fitted, 0.0));
}

void TestGraphWidgetMouse::zoomBoxRepaintsOnlyItsOutline()
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

void TestGraphWidgetMouse::otherButtonEndsZoomBoxDrag()
{
    TRecordingGraph &w = *d_widget;
    QSignalSpy spy(&w, &TGraphWidget::Mouse_Click);
    const QPoint a = w.Graph_Rect().topLeft() + QPoint(50, 40);
    const QPoint b = a + QPoint(80, 60);
    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, a);
    Move(&w, b, Qt::LeftButton);
    QApplication::processEvents();
    QVERIFY(w.Left_Down_Box_Shown());

    // A right press during the drag erases the box; its release zooms out as a right click does.
    w.painted = QRegion();
    QTest::mousePress(&w, Qt::RightButton, Qt::NoModifier, b);
    QVERIFY(!w.Left_Down_Box_Shown());
    QApplication::processEvents();
    QVERIFY(w.painted.contains(QRect(a, b).normalized().topLeft()));
    QTest::mouseRelease(&w, Qt::RightButton, Qt::NoModifier, b);
    QVERIFY(w.Zoom_Out_Pending());
    w.repaint();
    const TView out = View_Of(w);
    QVERIFY(out.right - out.left > 1.9 * (d_fitted.right - d_fitted.left));

    // The left release that follows neither zooms to the old box nor clicks.
    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, b);
    QApplication::processEvents();
    QCOMPARE(spy.count(), 0);
    QVERIFY(Same_View(View_Of(w), out, 0.0));
    QVERIFY(!w.Left_Down_Box_Shown());
}

void TestGraphWidgetMouse::logAxisBoxZoom()
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

void TestGraphWidgetMouse::repeatedZoomAndPanStayFinite()
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
        w.repaint();
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

QTEST_MAIN(TestGraphWidgetMouse)
#include "test_graphwidget_mouse.moc"
