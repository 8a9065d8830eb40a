#ifndef QUORVAL_CORE_WIDGETS_GRAPHWIDGET_H
#define QUORVAL_CORE_WIDGETS_GRAPHWIDGET_H

#include "core/base/vector2.h"
#include "core/graph/graphpainter.h"
#include "core/graph/graphscene.h"
#include "core/graph/graphview.h"
#include "core/graph/scalemap.h"

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <vector>

class QPainter;

// A plotting widget: a graph scene (indexed data sets of TVector2 points, three titles) shown in
// a view fitted to the data, with mouse zooming and panning and a read-out of the values under
// the pointer. The pictures are painted by GraphPainter; the widget keeps the scene, its view,
// the interaction state and the cached picture that its paint events copy.
//
// The view is in values: until a zoom, a pan or Set_Horizontal_Range it follows the data
// (fitted on every rendering), afterwards it stays as it is, also when the widget is resized.
class TGraphWidget : public QWidget
{
    Q_OBJECT

public:
    using TScaleMap = ::TScaleMap;
    using TGraphType = TGraphScene::TGraphType;
    static constexpr TGraphType GRAPH_DEFAULT = TGraphScene::GRAPH_DEFAULT; // the widget-wide type
    static constexpr TGraphType GRAPH_LINE = TGraphScene::GRAPH_LINE;
    static constexpr TGraphType GRAPH_BAR = TGraphScene::GRAPH_BAR;
    static constexpr TGraphType GRAPH_CROSS = TGraphScene::GRAPH_CROSS;
    static constexpr TGraphType GRAPH_SQUARE = TGraphScene::GRAPH_SQUARE;
    using TScaleType = TScaleMap::TScaleType;
    static constexpr TScaleType SCALE_LINEAR = TScaleMap::SCALE_LINEAR;
    static constexpr TScaleType SCALE_INTEGER = TScaleMap::SCALE_INTEGER;
    static constexpr TScaleType SCALE_LOG10 = TScaleMap::SCALE_LOG10;
    using TLayoutKind = TGraphLayout::TKind;
    static constexpr TLayoutKind LAYOUT_SCREEN = TGraphLayout::LAYOUT_SCREEN;
    static constexpr TLayoutKind LAYOUT_DEVICE = TGraphLayout::LAYOUT_DEVICE;
    static constexpr TLayoutKind LAYOUT_GRAPH_ONLY = TGraphLayout::LAYOUT_GRAPH_ONLY;
    using TDataSet = TGraphScene::TDataSet;
    using TLayout = TGraphLayout;

    explicit TGraphWidget(const QWidget *parent = nullptr,
                          Qt::WindowFlags flags = Qt::WindowFlags());
    ~TGraphWidget() override;

    // ---- Data sets (none of these repaints; call UpdateGraph after a batch) ----
    int CreateDataSet(QColor color, TGraphType type);
    bool AddPoint(int set, const TVector2 &point);
    bool AddPoints(int set, const std::vector<TVector2> &points);
    bool SetPoints(int set, const std::vector<TVector2> &points);
    bool ModifyPoint(int set, int index, const TVector2 &point);
    bool DeletePoint(int set, int index);
    bool DeletePoints(int set);
    bool DeleteDataSet(int index);
    void DeleteDataSets();
    int DataSetSize(int set) const;
    TVector2 GetPoint(int set, int index) const;
    int DataSetCount() const;
    // The whole scene at once: data sets, titles and the widget-wide type.
    const TGraphScene &Scene() const { return d_scene; }
    void Set_Scene(TGraphScene scene);

    static bool GenerateRGBColor(int index, int *red, int *green, int *blue);

    // ---- Settings ----
    void SetScaleMinimumY(const double &minimum, bool symmetric);
    void EnableYIncludesZero(bool enable);
    void SetTitle(const QString &title);
    void SetHorizontalTitle(const QString &title);
    void SetVerticalTitle(const QString &title);
    const QString &Title() const { return d_scene.Title(); }
    const QString &Horizontal_Title() const { return d_scene.Horizontal_Title(); }
    const QString &Vertical_Title() const { return d_scene.Vertical_Title(); }
    double Scale_Minimum_Y() const { return d_fit_rules.scale_minimum_y; }
    bool Scale_Minimum_Symmetric() const { return d_fit_rules.scale_minimum_symmetric; }
    bool Y_Includes_Zero() const { return d_fit_rules.y_includes_zero; }

    void Set_Graph_Type(TGraphType type) { d_scene.Set_Default_Type(type); }
    TGraphType Graph_Type() const { return d_scene.Default_Type(); }
    void Set_Horizontal_Scale_Type(TScaleType type) { d_fit_rules.horizontal_type = type; }
    TScaleType Horizontal_Scale_Type() const { return d_fit_rules.horizontal_type; }
    void Set_Vertical_Scale_Type(TScaleType type) { d_fit_rules.vertical_type = type; }
    TScaleType Vertical_Scale_Type() const { return d_fit_rules.vertical_type; }
    void Set_Lock_Aspect_Ratio(bool lock) { d_fit_rules.lock_aspect_ratio = lock; }
    bool Lock_Aspect_Ratio() const { return d_fit_rules.lock_aspect_ratio; }
    // Paints without the cache, fitted to the data; pending zoom-out and fit requests wait
    // until it is switched off again.
    void Set_Direct_Render(bool direct);
    bool Direct_Render_Enabled() const { return d_direct_render; }
    void Set_Show_Cursor_Position(bool show) { d_show_cursor_position = show; }
    bool Show_Cursor_Position() const { return d_show_cursor_position; }
    void Set_Draw_Frame(bool frame) { d_draw_frame = frame; }
    bool Draw_Frame() const { return d_draw_frame; }

    // ---- The view: values <-> pixels ----
    void Update_Viewport_To_Data();
    void Update_Viewport_To_Rect(const QRect &rect);
    // The values now shown, in the last view set or fitted.
    TGraphView View() const { return d_view; }

    int Calculate_Log10_Position_Horizontal(const double &value) const;
    int Calculate_Log10_Position_Vertical(const double &value) const;
    double Calculate_Log10_Value_Horizontal(int x) const;
    double Calculate_Log10_Value_Vertical(int y) const;
    int Reverse_Log10_Position_Horizontal(int x) const;
    int Reverse_Log10_Position_Vertical(int y) const;
    int Forward_Log10_Position_Horizontal(int x) const;
    int Forward_Log10_Position_Vertical(int y) const;

    // Data value shown at a pixel column / row (warped on a SCALE_LOG10 axis).
    double Horizontal_Value_At(int x) const;
    double Vertical_Value_At(int y) const;
    // Pixel column / row of a data value, clamped well inside int (warped on a SCALE_LOG10 axis).
    int Horizontal_Position_Of(const double &value) const;
    int Vertical_Position_Of(const double &value) const;

    TScaleMap Horizontal_Map() const;
    TScaleMap Vertical_Map() const;

    double Horizontal_Scale() const { return Horizontal_Map().scale; }
    double Vertical_Scale() const { return Vertical_Map().scale; }
    double Horizontal_Offset() const { return Horizontal_Map().offset; }
    double Vertical_Offset() const { return Vertical_Map().offset; }
    double Horizontal_Data_Range() const { return View().x_data_range; }
    double Vertical_Data_Range() const { return View().y_data_range; }

    // ---- Axes, labels, titles ----
    void Calculate_Legend_Display_Precision(QPainter *painter);
    void Draw_Legend(QPainter *painter);

    static void Label_Format(TScaleType type, bool vertical, const double &low, const double &high,
                             int *field_width, int *precision)
    {
        GraphPainter::Label_Format(type, vertical, low, high, field_width, precision);
    }
    static std::vector<int> Linear_Tick_Positions(int first, int last, int label_size)
    {
        return GraphPainter::Linear_Tick_Positions(first, last, label_size);
    }

    // The label format of the last rendering and the measured size of one label.
    int Horizontal_Field_Width() const { return d_label_formats.horizontal.field_width; }
    int Horizontal_Precision() const { return d_label_formats.horizontal.precision; }
    int Vertical_Field_Width() const { return d_label_formats.vertical.field_width; }
    int Vertical_Precision() const { return d_label_formats.vertical.precision; }
    QSize Horizontal_Label_Size() const { return d_label_formats.horizontal.label_size; }
    QSize Vertical_Label_Size() const { return d_label_formats.vertical.label_size; }

    // ---- Rendering: the cache and other painters ----
    void UpdateGraph();
    void Draw_Background_Pixmap();
    void Draw_Background_Scaled_Pixmap(const QRect &rect);
    void Direct_Render(QPainter *painter);
    void Draw_Graph(QPainter *painter);
    // The graph fitted to its data in the rectangle of another painter (its font measured on its
    // device), with or without the titles; the widget's own view stays.
    bool PaintToDevice(QPainter *painter, const QRect &rect, bool frame);
    bool PaintToDevice_GraphOnly(QPainter *painter, const QRect &rect, bool frame);

    static TLayout Layout(TLayoutKind kind, const QRect &rect, int font_height)
    {
        return TGraphLayout::Of(kind, rect, font_height);
    }
    static int Bar_Half_Width(int plot_width, int count, bool log_axis)
    {
        return GraphPainter::Bar_Half_Width(plot_width, count, log_axis);
    }

    TLayout Current_Layout() const { return d_layout; }
    const QRect &Graph_Rect() const { return d_layout.graph; }
    const QRect &Widget_Rect() const { return d_layout.widget; }
    const QPixmap &Background_Pixmap() const { return d_background_pixmap; }
    const QString &Cursor_Text() const { return d_cursor_text; }
    QRect Left_Down_Box() const { return d_left_down_box; }
    bool Left_Down_Box_Shown() const { return d_drag_state == DRAG_ZOOM_BOX; }
    bool Scale_To_Fit_Pending() const { return d_scale_to_fit_pending; }
    bool Zoom_Out_Pending() const { return d_zoom_out_pending; }

    // Schedules a repaint of the four one-pixel strips of the zoom box outline.
    void Update_Left_Down_Box();

signals:
    // Data coordinates of a left click.
    void Mouse_Click(const double &x, const double &y);
    // The horizontal data range now shown from the plot area's left to its right edge (before
    // the warp of a log axis), after a zoom box, each pan step, a zoom-out, and a fit to the data
    // (ScaleToFit carried out, UpdateGraph). Set_Horizontal_Range does not emit it.
    void View_Changed(const double &low, const double &high);

public slots:
    // Requests, carried out together once control returns to the event loop: a pending fit
    // before a pending zoom-out.
    void ZoomOut();
    void ScaleToFit();
    // Shows exactly low to high horizontally and fits the vertical range to the points within
    // it as a fit to the data does; without such points the vertical range stays. Renders once
    // and schedules one repaint; before the widget is laid out it only sets the view.
    void Set_Horizontal_Range(const double &low, const double &high);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    // A left double-click asks for ScaleToFit.
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    // Copies the cached picture (or, in direct rendering, paints the graph fitted to its data)
    // and draws the zoom box and the read-out; it changes nothing.
    void paintEvent(QPaintEvent *event) override;
    // Lays the areas out for the new size and renders the cache in the same view.
    void resizeEvent(QResizeEvent *event) override;

private:
    // The mouse gesture in progress. A press of the left or the right button starts one (ending
    // any other) and the release of that button ends it.
    enum TDragState {
        DRAG_NONE,
        DRAG_LEFT_PRESSED,  // a click, unless the mouse moves
        DRAG_ZOOM_BOX,      // the zoom box follows the mouse; its outline is shown
        DRAG_RIGHT_PRESSED, // a zoom-out, unless the mouse moves
        DRAG_PANNING,
        DRAG_DOUBLE_CLICK // until the release after a left double-click
    };

    // The view fitted to the data for the current layout.
    TGraphView Data_View() const;
    // The view follows the data again, or shows a view of its own if its maps are usable.
    void Follow_Data();
    void Set_View(const TGraphView &view);
    TGraphStyle Style() const;
    // Renders the cache in the current view; a new pixmap of the widget's size when asked.
    void Render_Cache(bool new_pixmap);
    void Post_Requests();
    void Carry_Out_Requests();
    void Emit_View_Changed();
    void Draw_Cursor_Position(QPainter *painter);
    // The graph fitted to its data in a layout of the given kind filling rect.
    void Paint_Fitted(QPainter *painter, TLayoutKind kind, const QRect &rect,
                      const TGraphStyle &style);

    TGraphScene d_scene;
    // The scene's sets, by the name that the index checks of the data-set operations use.
    const std::vector<TDataSet> &d_data_sets;
    TFitRules d_fit_rules;
    TGraphView d_view;
    bool d_view_follows_data;
    TGraphLayout d_layout;
    TLabelFormats d_label_formats;
    QRect d_left_down_box;
    QPixmap d_background_pixmap;
    QString d_cursor_text;
    TDragState d_drag_state;
    // The right button went down while the left one drew the zoom box: its release zooms out.
    bool d_right_press_in_box;
    bool d_show_cursor_position;
    bool d_direct_render;
    bool d_draw_frame;
    bool d_scale_to_fit_pending;
    bool d_zoom_out_pending;
    bool d_requests_posted;
};

#endif
