#include "core/widgets/graphwidget.h"

#include "core/base/assertion.h"

#include <QFontMetrics>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QResizeEvent>

#include <cmath>

namespace {

const char *const Cursor_Format = "%1,   %2";

QString Cursor_Read_Out(const double &x, const double &y)
{
    return QString(Cursor_Format).arg(x, 0, 'f', 5, QChar(' ')).arg(y, 0, 'f', 5, QChar(' '));
}

} // namespace

// ===================================================================================== widget

TGraphWidget::TGraphWidget(const QWidget *parent, Qt::WindowFlags flags)
    // Qt's parent chain needs a mutable parent; the widget never modifies it through this pointer.
    : QWidget(const_cast<QWidget *>(parent), flags), d_data_sets(d_scene.Sets()),
      d_view_follows_data(true), d_cursor_text(Cursor_Read_Out(0.0, 0.0)), d_drag_state(DRAG_NONE),
      d_right_press_in_box(false), d_show_cursor_position(true), d_direct_render(false),
      d_draw_frame(true), d_scale_to_fit_pending(false), d_zoom_out_pending(false),
      d_requests_posted(false)
{
    d_scene.Set_Title(QStringLiteral("Sample Graph"));
    d_scene.Set_Horizontal_Title(QStringLiteral("H Title"));
    d_scene.Set_Vertical_Title(QStringLiteral("V Title"));
    d_view = Data_View();
    setAttribute(Qt::WA_MouseTracking);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
}

TGraphWidget::~TGraphWidget() = default;

// ================================================================================= data sets

int TGraphWidget::CreateDataSet(QColor color, TGraphType type)
{
    return d_scene.Add_Set(color, type);
}

bool TGraphWidget::AddPoint(int set, const TVector2 &point)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    d_scene.Points(set).push_back(point);
    return true;
}

bool TGraphWidget::AddPoints(int set, const std::vector<TVector2> &points)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    std::vector<TVector2> &target = d_scene.Points(set);
    target.insert(target.end(), points.begin(), points.end());
    return true;
}

bool TGraphWidget::SetPoints(int set, const std::vector<TVector2> &points)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    d_scene.Points(set) = points;
    return true;
}

bool TGraphWidget::ModifyPoint(int set, int index, const TVector2 &point)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    QUORVAL_ASSERT(index < static_cast<int>(d_data_sets[set].dataset_points.size()));
    QUORVAL_ASSERT(index >= 0);
    d_scene.Points(set)[index] = point;
    return true;
}

bool TGraphWidget::DeletePoint(int set, int index)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    QUORVAL_ASSERT(index < static_cast<int>(d_data_sets[set].dataset_points.size()));
    QUORVAL_ASSERT(index >= 0);
    std::vector<TVector2> &points = d_scene.Points(set);
    points.erase(points.begin() + index);
    return true;
}

bool TGraphWidget::DeletePoints(int set)
{
    QUORVAL_ASSERT(set < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(set >= 0);
    d_scene.Points(set).clear();
    return true;
}

bool TGraphWidget::DeleteDataSet(int index)
{
    QUORVAL_ASSERT(index < static_cast<int>(d_data_sets.size()));
    QUORVAL_ASSERT(index >= 0);
    d_scene.Remove_Set(index);
    return true;
}

void TGraphWidget::DeleteDataSets() { d_scene.Clear(); }

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

void TGraphWidget::Set_Scene(TGraphScene scene) { d_scene = std::move(scene); }

// ================================================================================== settings

void TGraphWidget::SetScaleMinimumY(const double &minimum, bool symmetric)
{
    d_fit_rules.scale_minimum_y = (minimum > 0.0) ? minimum : 5e-5;
    d_fit_rules.scale_minimum_symmetric = symmetric;
}

void TGraphWidget::EnableYIncludesZero(bool enable) { d_fit_rules.y_includes_zero = enable; }

void TGraphWidget::SetTitle(const QString &title) { d_scene.Set_Title(title); }

void TGraphWidget::SetHorizontalTitle(const QString &title) { d_scene.Set_Horizontal_Title(title); }

void TGraphWidget::SetVerticalTitle(const QString &title) { d_scene.Set_Vertical_Title(title); }

void TGraphWidget::Set_Direct_Render(bool direct)
{
    d_direct_render = direct;
    if (!direct && (d_scale_to_fit_pending || d_zoom_out_pending))
        Post_Requests();
}

// ===================================================================================== view

TGraphView TGraphWidget::Data_View() const
{
    return ViewFit::To_Data(d_scene, d_fit_rules, d_layout.graph);
}

void TGraphWidget::Follow_Data()
{
    d_view_follows_data = true;
    d_view = Data_View();
}

void TGraphWidget::Set_View(const TGraphView &view)
{
    // A view whose maps cannot read pixels back (a zero-sized plot area, overflow) is not taken.
    if (!ViewFit::Horizontal_Map(view, d_fit_rules, d_layout.graph).Usable() ||
        !ViewFit::Vertical_Map(view, d_fit_rules, d_layout.graph).Usable())
        return;
    d_view = view;
    d_view_follows_data = false;
}

TScaleMap TGraphWidget::Horizontal_Map() const
{
    return ViewFit::Horizontal_Map(d_view, d_fit_rules, d_layout.graph);
}

TScaleMap TGraphWidget::Vertical_Map() const
{
    return ViewFit::Vertical_Map(d_view, d_fit_rules, d_layout.graph);
}

void TGraphWidget::Update_Viewport_To_Data() { Follow_Data(); }

void TGraphWidget::Update_Viewport_To_Rect(const QRect &rect)
{
    TGraphView view = d_view;
    if (ViewFit::To_Box(Horizontal_Map(), Vertical_Map(), rect, &view))
        Set_View(view);
}

void TGraphWidget::Set_Horizontal_Range(const double &low, const double &high)
{
    if (!std::isfinite(low) || !std::isfinite(high))
        return;
    Set_View(ViewFit::To_Horizontal_Range(d_scene, d_fit_rules, d_layout.graph, d_view, low, high));
    if (d_layout.widget.isEmpty())
        return;
    if (!d_direct_render)
        Render_Cache(false);
    update();
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

// ============================================================================ axes and labels

void TGraphWidget::Calculate_Legend_Display_Precision(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    d_label_formats = GraphPainter::Label_Formats(painter, Horizontal_Map(), Vertical_Map());
}

void TGraphWidget::Draw_Legend(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    GraphPainter::Draw_Legend(painter, d_scene, d_layout, Horizontal_Map(), Vertical_Map(),
                              d_label_formats, Style());
}

// ================================================================================ rendering

TGraphStyle TGraphWidget::Style() const
{
    TGraphStyle style;
    style.frame = d_draw_frame;
    return style;
}

void TGraphWidget::resizeEvent(QResizeEvent *event)
{
    d_layout = TGraphLayout::Of(TGraphLayout::LAYOUT_SCREEN, QRect(QPoint(0, 0), event->size()),
                                QFontMetrics(font()).height());
    Render_Cache(true);
}

void TGraphWidget::UpdateGraph()
{
    if (d_layout.widget.isEmpty())
        return;
    Follow_Data();
    if (!d_direct_render) {
        Render_Cache(true);
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

void TGraphWidget::Render_Cache(bool new_pixmap)
{
    if (d_layout.widget.isEmpty())
        return;
    if (new_pixmap)
        d_background_pixmap = QPixmap(d_layout.widget.size());
    else if (d_background_pixmap.width() <= 0 || d_background_pixmap.height() <= 0)
        return;
    if (d_view_follows_data)
        d_view = Data_View();
    d_background_pixmap.fill(Qt::white);
    QPainter painter(&d_background_pixmap);
    painter.setFont(font());
    d_label_formats =
        GraphPainter::Paint(&painter, d_scene, d_layout, Horizontal_Map(), Vertical_Map(), Style());
}

void TGraphWidget::Draw_Background_Pixmap()
{
    if (d_layout.widget.isEmpty())
        return;
    Follow_Data();
    Render_Cache(true);
}

void TGraphWidget::Draw_Background_Scaled_Pixmap(const QRect &rect)
{
    if (d_background_pixmap.width() <= 0 || d_background_pixmap.height() <= 0)
        return;
    Update_Viewport_To_Rect(rect);
    Render_Cache(false);
}

void TGraphWidget::Direct_Render(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    Follow_Data();
    d_label_formats =
        GraphPainter::Paint(painter, d_scene, d_layout, Horizontal_Map(), Vertical_Map(), Style());
}

void TGraphWidget::Draw_Graph(QPainter *painter)
{
    QUORVAL_ASSERT(painter);
    GraphPainter::Draw_Data(painter, d_scene, d_layout.graph, Horizontal_Map(), Vertical_Map(),
                            Style());
}

bool TGraphWidget::PaintToDevice(QPainter *painter, const QRect &rect, bool frame)
{
    QUORVAL_ASSERT(painter);
    TGraphStyle style;
    style.frame = frame;
    Paint_Fitted(painter, TGraphLayout::LAYOUT_DEVICE, rect, style);
    return true;
}

bool TGraphWidget::PaintToDevice_GraphOnly(QPainter *painter, const QRect &rect, bool frame)
{
    QUORVAL_ASSERT(painter);
    TGraphStyle style;
    style.frame = frame;
    style.titles = false;
    Paint_Fitted(painter, TGraphLayout::LAYOUT_GRAPH_ONLY, rect, style);
    return true;
}

void TGraphWidget::Paint_Fitted(QPainter *painter, TLayoutKind kind, const QRect &rect,
                                const TGraphStyle &style)
{
    // Measured on the painter's device, so a printer or PDF at a high resolution gets a layout
    // in its own pixels.
    const int fh = QFontMetrics(painter->font(), painter->device()).height();
    const TGraphLayout layout = TGraphLayout::Of(kind, rect, fh);
    const TGraphView view = ViewFit::To_Data(d_scene, d_fit_rules, layout.graph);
    d_label_formats = GraphPainter::Paint(
        painter, d_scene, layout, ViewFit::Horizontal_Map(view, d_fit_rules, layout.graph),
        ViewFit::Vertical_Map(view, d_fit_rules, layout.graph), style);
}

void TGraphWidget::Draw_Cursor_Position(QPainter *painter)
{
    if (!d_show_cursor_position)
        return;
    painter->setPen(QPen(Qt::lightGray));
    const QRect box = painter->boundingRect(QRect(), 0, d_cursor_text);
    painter->drawText(
        QPoint(d_layout.graph.right() - box.width(), d_layout.graph.top() + box.height()),
        d_cursor_text);
}

void TGraphWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (d_direct_render) {
        painter.fillRect(d_layout.widget, QBrush(Qt::white));
        const TGraphView view = Data_View();
        GraphPainter::Paint(&painter, d_scene, d_layout,
                            ViewFit::Horizontal_Map(view, d_fit_rules, d_layout.graph),
                            ViewFit::Vertical_Map(view, d_fit_rules, d_layout.graph), Style());
        Draw_Cursor_Position(&painter);
        return;
    }
    for (const QRect &r : event->region()) {
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

// ============================================================================== requests

void TGraphWidget::ZoomOut()
{
    d_zoom_out_pending = true;
    Post_Requests();
}

void TGraphWidget::ScaleToFit()
{
    d_scale_to_fit_pending = true;
    Post_Requests();
}

void TGraphWidget::Post_Requests()
{
    if (d_requests_posted)
        return;
    d_requests_posted = true;
    QMetaObject::invokeMethod(this, &TGraphWidget::Carry_Out_Requests, Qt::QueuedConnection);
}

void TGraphWidget::Carry_Out_Requests()
{
    d_requests_posted = false;
    if (d_direct_render || !(d_scale_to_fit_pending || d_zoom_out_pending))
        return;
    if (d_scale_to_fit_pending) {
        d_scale_to_fit_pending = false;
        Follow_Data();
    }
    if (d_zoom_out_pending) {
        d_zoom_out_pending = false;
        // The visible range doubles about its centre, within the zoom-out limit.
        const QRect &plot = d_layout.graph;
        QRect r(plot.topLeft(), plot.size() * 2.0);
        r.moveCenter(plot.center());
        Update_Viewport_To_Rect(r);
    }
    Render_Cache(true);
    update(d_layout.widget);
    Emit_View_Changed();
}

// ========================================================================= mouse interaction

void TGraphWidget::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->pos();
    const Qt::MouseButton button = event->button();
    if (button != Qt::LeftButton && button != Qt::RightButton)
        return;
    // A right press while the left button is down restarts the zoom box at the pointer; moves
    // still draw the box, so the right release zooms out and the left release still zooms in.
    if (button == Qt::RightButton &&
        (d_drag_state == DRAG_LEFT_PRESSED || d_drag_state == DRAG_ZOOM_BOX)) {
        d_right_press_in_box = true;
        if (d_drag_state == DRAG_ZOOM_BOX)
            Update_Left_Down_Box();
        d_left_down_box = QRect(p, p);
        if (d_drag_state == DRAG_ZOOM_BOX)
            Update_Left_Down_Box();
        return;
    }
    d_right_press_in_box = false;
    if (button == Qt::LeftButton) {
        // A press outside the plot area anchors the zoom box at the plot's top left corner.
        const QPoint anchor = d_layout.graph.contains(p) ? p : d_layout.graph.topLeft();
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
                d_layout.graph.translated(anchor.x() - p.x(), anchor.y() - p.y()));
            repaint();
            d_left_down_box = QRect(p, p);
            Emit_View_Changed();
        }
    } else if (d_layout.graph.contains(p) && d_show_cursor_position) {
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
            if (d_fit_rules.horizontal_type == SCALE_LOG10) {
                d_left_down_box.setLeft(Reverse_Log10_Position_Horizontal(d_left_down_box.left()));
                d_left_down_box.setRight(
                    Reverse_Log10_Position_Horizontal(d_left_down_box.right()));
            }
            if (d_fit_rules.vertical_type == SCALE_LOG10) {
                d_left_down_box.setTop(Reverse_Log10_Position_Vertical(d_left_down_box.top()));
                d_left_down_box.setBottom(
                    Reverse_Log10_Position_Vertical(d_left_down_box.bottom()));
            }
            Draw_Background_Scaled_Pixmap(d_left_down_box);
            update(d_layout.widget);
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
        if (d_drag_state == DRAG_RIGHT_PRESSED || d_right_press_in_box)
            ZoomOut();
        d_right_press_in_box = false;
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
