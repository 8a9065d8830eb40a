#ifndef QUORVAL_CORE_WIDGETS_GRAPHWIDGET_H
#define QUORVAL_CORE_WIDGETS_GRAPHWIDGET_H

#include "core/base/vector2.h"

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <vector>

class QPainter;

// A plotting widget: indexed data sets of TVector2 points, a viewport fitted to the data,
// linear, integer or logarithmic-style axes with computed labels, three titles, a cached
// background rendering, and mouse zooming and panning.
//
// The class has three layers: the scale (the value <-> pixel transform and its fits), the scale
// drawing (ticks, labels, zero lines, titles) and the canvas (data painting and the cache).
class TGraphWidget : public QWidget
{
    Q_OBJECT

public:
    enum TGraphType {
        GRAPH_DEFAULT = 0, // use the widget-wide graph type
        GRAPH_LINE = 1,
        GRAPH_BAR = 2,
        GRAPH_CROSS = 3,
        GRAPH_SQUARE = 4
    };

    enum TScaleType { SCALE_LINEAR = 1, SCALE_INTEGER = 2, SCALE_LOG10 = 3 };

    struct TDataSet
    {
        std::vector<TVector2> dataset_points;
        QColor dataset_color;
        TGraphType dataset_type;
    };

    // The transform of one axis as a value: a data value v sits at pixel v * scale + offset,
    // warped on a SCALE_LOG10 axis. first and last are the plot area's edges in pixel order (left
    // and right, or top and bottom); the values grow toward last horizontally and toward first
    // vertically.
    struct TScaleMap
    {
        double scale;
        double offset;
        int first;
        int last;
        TScaleType type;
        bool vertical;

        int Low_Pixel() const { return vertical ? last : first; }
        int High_Pixel() const { return vertical ? first : last; }
        // Value at a pixel under the plain transform, without the warp.
        double Plain_Value(double pixel) const { return (pixel - offset) / scale; }
        // Value shown at a pixel, and pixel of a value (clamped well inside int).
        double Value_At(int pixel) const;
        int Position_Of(const double &value) const;
        // The logarithmic-style warp (see the Calculate_Log10_... operations of the widget).
        int Log10_Position(const double &value) const;
        double Log10_Value(int pixel) const;
        int Reverse_Log10(int pixel) const;
        int Forward_Log10(int pixel) const;
    };

    // The seven areas of one layout (inclusive QRect coordinates).
    struct TLayout
    {
        QRect graph;
        QRect vertical_legend;
        QRect vertical_title;
        QRect horizontal_legend;
        QRect horizontal_title;
        QRect title;
        QRect widget;
    };

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

    static bool GenerateRGBColor(int index, int *red, int *green, int *blue);

    // ---- Settings ----
    void SetScaleMinimumY(const double &minimum, bool symmetric);
    void EnableYIncludesZero(bool enable);
    void SetTitle(const QString &title);
    void SetHorizontalTitle(const QString &title);
    void SetVerticalTitle(const QString &title);
    const QString &Title() const { return d_title; }
    const QString &Horizontal_Title() const { return d_horizontal_title; }
    const QString &Vertical_Title() const { return d_vertical_title; }
    double Scale_Minimum_Y() const { return d_scale_minimum_y; }
    bool Scale_Minimum_Symmetric() const { return d_scale_minimum_symmetric; }
    bool Y_Includes_Zero() const { return d_y_includes_zero; }

    void Set_Graph_Type(TGraphType type) { d_graph_type = type; }
    TGraphType Graph_Type() const { return d_graph_type; }
    void Set_Horizontal_Scale_Type(TScaleType type) { d_horizontal_scale_type = type; }
    TScaleType Horizontal_Scale_Type() const { return d_horizontal_scale_type; }
    void Set_Vertical_Scale_Type(TScaleType type) { d_vertical_scale_type = type; }
    TScaleType Vertical_Scale_Type() const { return d_vertical_scale_type; }
    void Set_Lock_Aspect_Ratio(bool lock) { d_lock_aspect_ratio = lock; }
    bool Lock_Aspect_Ratio() const { return d_lock_aspect_ratio; }
    void Set_Direct_Render(bool direct) { d_direct_render = direct; }
    bool Direct_Render_Enabled() const { return d_direct_render; }
    void Set_Show_Cursor_Position(bool show) { d_show_cursor_position = show; }
    bool Show_Cursor_Position() const { return d_show_cursor_position; }
    void Set_Draw_Frame(bool frame) { d_draw_frame = frame; }
    bool Draw_Frame() const { return d_draw_frame; }

    // ---- Scale: the value <-> pixel transform ----
    void Update_Viewport_To_Data();
    void Update_Viewport_To_Rect(const QRect &rect);

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

    double Horizontal_Scale() const { return d_horizontal_scale; }
    double Vertical_Scale() const { return d_vertical_scale; }
    double Horizontal_Offset() const { return d_horizontal_offset; }
    double Vertical_Offset() const { return d_vertical_offset; }
    double Horizontal_Data_Range() const { return d_horizontal_data_range; }
    double Vertical_Data_Range() const { return d_vertical_data_range; }

    // ---- Scale drawing: axes, labels, titles ----
    void Calculate_Legend_Display_Precision(QPainter *painter);
    void Draw_Legend(QPainter *painter);

    // Field width and decimals of the labels of an axis showing low to high, before a linear
    // axis gets more decimals where neighbouring labels would read alike.
    static void Label_Format(TScaleType type, bool vertical, const double &low, const double &high,
                             int *field_width, int *precision);
    // Positions of the ticks of a linear axis spanning the pixels first to last with labels of
    // the given size: evenly spread, the last one at last + 1.
    static std::vector<int> Linear_Tick_Positions(int first, int last, int label_size);

    // The label format of the last rendering and the measured size of one label.
    int Horizontal_Field_Width() const { return d_horizontal_field_width; }
    int Horizontal_Precision() const { return d_horizontal_precision; }
    int Vertical_Field_Width() const { return d_vertical_field_width; }
    int Vertical_Precision() const { return d_vertical_precision; }
    QSize Horizontal_Label_Size() const { return d_horizontal_label_size; }
    QSize Vertical_Label_Size() const { return d_vertical_label_size; }

    // ---- Canvas: layout, data painting and the cache ----
    void UpdateGraph();
    void Draw_Background_Pixmap();
    void Draw_Background_Scaled_Pixmap(const QRect &rect);
    void Direct_Render(QPainter *painter);
    void Draw_Graph(QPainter *painter);
    bool PaintToDevice(QPainter *painter, const QRect &rect, bool frame);
    bool PaintToDevice_GraphOnly(QPainter *painter, const QRect &rect, bool frame);

    // The widget on screen; a rendering into another painter; the same without the titles.
    enum TLayoutKind { LAYOUT_SCREEN, LAYOUT_DEVICE, LAYOUT_GRAPH_ONLY };
    // The areas of a graph filling rect, measured in the height of the font used.
    static TLayout Layout(TLayoutKind kind, const QRect &rect, int font_height);
    // Half the width of the bars of a set of count points on a plot area plot_width wide.
    static int Bar_Half_Width(int plot_width, int count, bool log_axis);

    TLayout Current_Layout() const;
    const QRect &Graph_Rect() const { return d_graph_rect; }
    const QRect &Widget_Rect() const { return d_widget_rect; }
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
    // Both are carried out by the next paint; a pending fit is done before a pending zoom-out.
    void ZoomOut();
    void ScaleToFit();
    // Shows exactly low to high horizontally and fits the vertical range to the points within
    // it as a fit to the data does; without such points the vertical range stays. Renders once
    // and schedules one repaint.
    void Set_Horizontal_Range(const double &low, const double &high);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    // A left double-click asks for ScaleToFit.
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
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

    void Apply_Layout(const TLayout &layout);
    // One rendering with another layout and frame setting; the screen's layout and transform
    // are restored afterwards.
    void Render_With_Layout(QPainter *painter, const TLayout &layout, bool frame);
    // Legend and data under the current transform.
    void Render_Scale_And_Data(QPainter *painter);
    void Set_Transform(const double &xmin, const double &xmax, const double &ymin,
                       const double &ymax);
    // Bounds of the points with a position whose x lies between low and high; false, leaving
    // the bounds alone, when there are none.
    bool Data_Bounds(const double &low, const double &high, double *xmin, double *xmax,
                     double *ymin, double *ymax) const;
    // The vertical fit's rule for zero and the scale minimum.
    void Include_Zero(double *ymin, double *ymax) const;
    // Renders legend and data into the cache under the current transform.
    void Render_Cache();
    void Emit_View_Changed();
    void Draw_Cursor_Position(QPainter *painter);
    // The number format of an axis's labels and the size of one label.
    static void Choose_Label_Format(QPainter *painter, const TScaleMap &map, int *field_width,
                                    int *precision, QSize *label_size);
    // Ticks and number labels of one axis.
    void Draw_Axis(QPainter *painter, const TScaleMap &map, const QSize &label_size,
                   int field_width, int precision);

    double d_horizontal_scale;
    double d_vertical_scale;
    double d_horizontal_offset;
    double d_vertical_offset;
    std::vector<TDataSet> d_data_sets;
    QRect d_graph_rect;
    QRect d_vertical_legend_rect;
    QRect d_vertical_title_rect;
    QRect d_horizontal_legend_rect;
    QRect d_horizontal_title_rect;
    QRect d_title_rect;
    QRect d_widget_rect;
    QRect d_left_down_box;
    QString d_vertical_title;
    QString d_horizontal_title;
    QString d_title;
    int d_horizontal_field_width;
    int d_horizontal_precision;
    int d_vertical_field_width;
    int d_vertical_precision;
    QSize d_vertical_label_size;
    QSize d_horizontal_label_size;
    TGraphType d_graph_type;
    double d_horizontal_data_range;
    double d_vertical_data_range;
    QPixmap d_background_pixmap;
    QString d_cursor_text;
    TDragState d_drag_state;
    bool d_show_cursor_position;
    bool d_direct_render;
    bool d_y_includes_zero;
    bool d_scale_minimum_symmetric;
    bool d_draw_frame;
    bool d_scale_to_fit_pending;
    bool d_zoom_out_pending;
    TScaleType d_horizontal_scale_type;
    TScaleType d_vertical_scale_type;
    double d_scale_minimum_y;
    bool d_lock_aspect_ratio;
};

#endif
