#include "src/documents/comparisongraphs.h"

#include "core/base/assertion.h"
#include "core/graph/curvestyle.h"
#include "core/graph/graphpainter.h"
#include "core/graph/graphview.h"
#include "src/compute/comparison.h"
#include "src/documents/svgdevice.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <tuple>

namespace ComparisonGraphs {

const int Largest_Svg_Plot_Positions = 100000;

const QColor Curve_A_Colour(128, 40, 40);
const QColor Curve_B_Colour(20, 96, 20);
const QColor En_Curve_Colour(40, 40, 128);
const QColor Unadjusted_Bracket_Colour(212, 212, 212);
const QColor Bracket_A_Colour(212, 96, 96);
const QColor Bracket_B_Colour(20, 96, 20);
const QColor En_Limit_Colour(196, 196, 196);

namespace {

// Screen resolution used for the PDF and SVG plots, so that their text is laid out as in the PNG.
constexpr int Plot_Resolution = 96;

// The documents' colours, from a palette that readers with any common colour vision deficiency
// tell apart; set A's blue and set B's orange also differ in lightness, so they stay apart in grey.
const QColor Document_Blue(0, 114, 178);
const QColor Document_Orange(230, 159, 0);
const QColor Document_Vermillion(213, 94, 0);
const QColor Document_Grey(176, 176, 176);
// The brackets in lighter shades of their set's colour, so that a curve stays visible over the
// band that the brackets of many positions make.
const QColor Document_Bracket_A(128, 185, 216);
const QColor Document_Bracket_B(240, 200, 110);

// The documents' curves: A solid with circles, B dashed with squares, En solid with diamonds and
// the line En = 1 dashed.
TCurveStyle Document_Curve(const QColor &colour, Qt::PenStyle line, TCurveStyle::TMarker marker)
{
    TCurveStyle style;
    style.colour = colour;
    style.line = line;
    style.marker = marker;
    style.width = 1.5;
    return style;
}
const TCurveStyle Document_Curve_A =
    Document_Curve(Document_Blue, Qt::SolidLine, TCurveStyle::MARKER_CIRCLE);
const TCurveStyle Document_Curve_B =
    Document_Curve(Document_Orange, Qt::DashLine, TCurveStyle::MARKER_SQUARE);
const TCurveStyle Document_En_Curve =
    Document_Curve(Qt::black, Qt::SolidLine, TCurveStyle::MARKER_DIAMOND);
const TCurveStyle Document_En_Limit =
    Document_Curve(Document_Vermillion, Qt::DashLine, TCurveStyle::MARKER_NONE);

// The documents' text: one font wherever they are drawn, so that the window and the report tool
// lay out the same picture.
QFont Document_Font()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.5);
    return font;
}

// The brackets' kinds, their colours' places in a palette: the grey one of A's uncertainty before
// the alignment, A's and B's.
enum TBracket_Kind { Unadjusted_Bracket, Set_A_Bracket, Set_B_Bracket };

struct TCurves
{
    std::vector<TVector2> a, b, en;
};

TCurves Curves_Of(const std::vector<TComparison::TExportData> &rows)
{
    TCurves curves;
    curves.a.reserve(rows.size());
    curves.b.reserve(rows.size());
    curves.en.reserve(rows.size());
    for (const TComparison::TExportData &row : rows) {
        if (!row.Has_Position())
            continue;
        if (row.Has_Dev_A())
            curves.a.emplace_back(row.position, row.dev_a);
        if (row.Has_Dev_B())
            curves.b.emplace_back(row.position, row.dev_b);
        if (row.Has_En())
            curves.en.emplace_back(row.position, row.en_value);
    }
    return curves;
}

// The brackets of a comparison, made from its rows when they are drawn rather than kept: three
// places per row, the grey bracket of A's unadjusted uncertainty where both sets cover the
// position, A's where A covers it, B's where B covers it.
class TComparison_Brackets : public TGraphScene::TBracket_Source
{
public:
    explicit TComparison_Brackets(const TComparison &comparison)
        : d_rows(comparison.Shared_Rows()), d_adjustment(comparison.Uc_Adjustment())
    {
        // Bracket width: 0.5 % of the length range (taken in parts when the range itself is
        // beyond the largest double).
        double tick = (comparison.Range_Max() - comparison.Range_Min()) * 0.005;
        if (std::isinf(tick))
            tick = comparison.Range_Max() * 0.005 - comparison.Range_Min() * 0.005;
        d_half = tick / 2.0;
    }

    std::size_t Count() const override { return d_rows->size() * 3; }
    double Reach() const override { return d_half; }
    double Position(std::size_t place) const override { return (*d_rows)[place / 3].position; }

    bool Bracket(std::size_t place, TGraphScene::TBracket *bracket, int *colour) const override
    {
        const TComparison::TExportData &row = (*d_rows)[place / 3];
        const double p = row.position;
        *colour = static_cast<int>(place % 3);
        if (!row.Has_Position())
            return false;
        const double u = row.uc_a_adj;
        const bool a = row.Has_Dev_A() && row.Has_Uc_A_Adj();
        switch (*colour) {
        case Unadjusted_Bracket:
            // Behind A's, both open to the right, upright at p - half.
            if (!a || !row.dev_b_valid || !std::isfinite(d_adjustment))
                return false;
            *bracket = {p, d_half, row.dev_a + u + d_adjustment, row.dev_a - u - d_adjustment};
            return true;
        case Set_A_Bracket:
            if (!a)
                return false;
            *bracket = {p, d_half, row.dev_a + u, row.dev_a - u};
            return true;
        default:
            // Open to the left, upright at p + half: facing A's bracket.
            if (!row.Has_Dev_B() || !row.Has_Uc_B())
                return false;
            *bracket = {p, -d_half, row.dev_b + row.uc_b, row.dev_b - row.uc_b};
            return true;
        }
    }

private:
    std::shared_ptr<const std::vector<TComparison::TExportData>> d_rows;
    double d_adjustment;
    double d_half;
};

// All brackets of a comparison as one set of the scene, in the palette's colours by kind.
void Add_Brackets(TGraphScene *scene, const TComparison &comparison, std::vector<QColor> palette)
{
    scene->Add_Bracket_Set(std::make_shared<TComparison_Brackets>(comparison), std::move(palette));
}

// The line En = 1 across the length range.
std::vector<TVector2> En_Limit(const TComparison &comparison)
{
    return {TVector2(comparison.Range_Min(), 1.0), TVector2(comparison.Range_Max(), 1.0)};
}

void Add_Curve(TGraphScene *scene, const QColor &colour, std::vector<TVector2> points)
{
    scene->Points(scene->Add_Set(colour, TGraphScene::GRAPH_DEFAULT)) = std::move(points);
}

} // namespace

void Make_Data_Sets(const TComparison &comparison, const TSet_Sink &sink)
{
    const std::vector<TComparison::TExportData> &rows = comparison.Export_Rows();
    if (rows.empty())
        return;
    const TCurves curves = Curves_Of(rows);
    sink(Deviation_Graph, Curve_A_Colour, curves.a);
    sink(Deviation_Graph, Curve_B_Colour, curves.b);
    const QColor palette[] = {Unadjusted_Bracket_Colour, Bracket_A_Colour, Bracket_B_Colour};
    const TComparison_Brackets brackets(comparison);
    std::vector<TVector2> points(4);
    for (std::size_t k = 0; k < brackets.Count(); ++k) {
        TGraphScene::TBracket bracket;
        int colour = 0;
        if (!brackets.Bracket(k, &bracket, &colour))
            continue;
        bracket.Points(points.data());
        sink(Deviation_Graph, palette[colour], points);
    }
    sink(En_Graph, En_Curve_Colour, curves.en);
    sink(En_Graph, En_Limit_Colour, En_Limit(comparison));
}

TScenes Scenes_Of(const TComparison &comparison)
{
    TScenes scenes;
    scenes.deviation.Set_Title("Length Comparison");
    scenes.deviation.Set_Horizontal_Title("Length");
    scenes.deviation.Set_Vertical_Title("Deviation");
    scenes.en.Set_Title("En Score");
    scenes.en.Set_Horizontal_Title("Length");
    scenes.en.Set_Vertical_Title("En Value");
    if (comparison.Export_Rows().empty())
        return scenes;
    TCurves curves = Curves_Of(comparison.Export_Rows());
    Add_Curve(&scenes.deviation, Curve_A_Colour, std::move(curves.a));
    Add_Curve(&scenes.deviation, Curve_B_Colour, std::move(curves.b));
    Add_Brackets(&scenes.deviation, comparison,
                 {Unadjusted_Bracket_Colour, Bracket_A_Colour, Bracket_B_Colour});
    Add_Curve(&scenes.en, En_Curve_Colour, std::move(curves.en));
    Add_Curve(&scenes.en, En_Limit_Colour, En_Limit(comparison));
    return scenes;
}

std::pair<double, double> En_Range(const std::vector<TVector2> &en_curve)
{
    double top = 1.0;
    for (const TVector2 &p : en_curve)
        if (std::isfinite(p.y))
            top = std::max(top, p.y);
    // The range's extent stays a finite number, which the scale maps divide by.
    top = std::min(top, std::numeric_limits<double>::max() / 1.25);
    const double margin = 0.08 * top;
    return {-margin, top + margin};
}

std::vector<TLegendItem> Legend_Items(TLook look, const TLegendTexts &texts)
{
    const bool document = look == Document_Look;
    const auto Line = [](const QColor &colour) {
        TCurveStyle style;
        style.colour = colour;
        return style;
    };
    const auto Named = [](const char *name, const QString &description) {
        return description.isEmpty() ? QString::fromLatin1(name)
                                     : QStringLiteral("%1: %2").arg(name, description);
    };
    std::vector<TLegendItem> items(2);
    items[0].text = Named("Set A", texts.set_a_description);
    items[0].curve = document ? Document_Curve_A : Line(Curve_A_Colour);
    items[0].bracket_colour = document ? Document_Bracket_A : Bracket_A_Colour;
    items[1].text = Named("Set B", texts.set_b_description);
    items[1].curve = document ? Document_Curve_B : Line(Curve_B_Colour);
    items[1].bracket_colour = document ? Document_Bracket_B : Bracket_B_Colour;
    items[1].bracket_opens_right = false;
    for (TLegendItem &item : items)
        item.bracket = true;
    if (texts.aligned) {
        TLegendItem before;
        before.text = QStringLiteral("A before alignment");
        before.curve.line = Qt::NoPen;
        before.bracket = true;
        before.bracket_colour = document ? Document_Grey : Unadjusted_Bracket_Colour;
        items.push_back(before);
    }
    TLegendItem en;
    en.text = QStringLiteral("En");
    en.curve = document ? Document_En_Curve : Line(En_Curve_Colour);
    items.push_back(en);
    TLegendItem limit;
    limit.text = QStringLiteral("En = 1");
    limit.curve = document ? Document_En_Limit : Line(En_Limit_Colour);
    items.push_back(limit);
    return items;
}

namespace {

// Both graphs in the documents' look: the scenes hold the brackets in the documents' colours and
// the titles with units; the curves are drawn over them in their own styles.
struct TDocumentGraphs
{
    TScenes scenes;
    std::vector<TVector2> curve_a, curve_b, en_curve, en_limit;
};

TDocumentGraphs Document_Graphs_Of(const TComparison &comparison)
{
    TDocumentGraphs graphs;
    graphs.scenes.deviation.Set_Title("Length Comparison");
    graphs.scenes.deviation.Set_Horizontal_Title("Length (mm)");
    graphs.scenes.deviation.Set_Vertical_Title("Deviation (mm)");
    graphs.scenes.en.Set_Title("En Score");
    graphs.scenes.en.Set_Horizontal_Title("Length (mm)");
    graphs.scenes.en.Set_Vertical_Title("En");
    if (comparison.Export_Rows().empty())
        return graphs;
    TCurves curves = Curves_Of(comparison.Export_Rows());
    graphs.curve_a = std::move(curves.a);
    graphs.curve_b = std::move(curves.b);
    graphs.en_curve = std::move(curves.en);
    graphs.en_limit = En_Limit(comparison);
    Add_Brackets(&graphs.scenes.deviation, comparison,
                 {Document_Grey, Document_Bracket_A, Document_Bracket_B});
    return graphs;
}

void Paint_Graph(QPainter *painter, const TGraphScene &scene, const QRect &area,
                 const TGraphView &view, const TFitRules &rules)
{
    TGraphStyle style;
    style.frame = false;
    style.round_ticks = true;
    const int fh = QFontMetrics(painter->font(), painter->device()).height();
    const TGraphLayout layout = TGraphLayout::Of(TGraphLayout::LAYOUT_DEVICE, area, fh);
    GraphPainter::Paint(painter, scene, layout, ViewFit::Horizontal_Map(view, rules, layout.graph),
                        ViewFit::Vertical_Map(view, rules, layout.graph), style);
}

// The plot as a PNG image; false with *error set when there is no memory for its pixels.
bool Write_Png(const TComparison &comparison, const TLegendTexts &texts, const QSize &size,
               QBuffer *buffer, QString *error)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        *error = QStringLiteral("ERR  Cannot draw the plot: not enough memory for %1x%2 pixels.")
                     .arg(size.width())
                     .arg(size.height());
        return false;
    }
    // At the plot resolution whatever the screen's: the same size gives the same picture.
    const int dots_per_metre = qRound(Plot_Resolution / 0.0254);
    image.setDotsPerMeterX(dots_per_metre);
    image.setDotsPerMeterY(dots_per_metre);
    {
        QPainter painter(&image);
        Paint_Comparison(&painter, image.rect(), comparison, texts);
    }
    return image.save(buffer, "PNG");
}

// The plot as a PDF page of exactly its size: pixels at the plot resolution, in points.
bool Write_Pdf(const TComparison &comparison, const TLegendTexts &texts, const QSize &size,
               const QString &creator, QBuffer *buffer)
{
    QPdfWriter writer(buffer);
    writer.setCreator(creator);
    writer.setTitle("Length Comparison");
    writer.setResolution(Plot_Resolution);
    const QSizeF page_points(size.width() * 72.0 / Plot_Resolution,
                             size.height() * 72.0 / Plot_Resolution);
    writer.setPageSize(QPageSize(page_points, QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    Paint_Comparison(&painter, QRect(0, 0, writer.width(), writer.height()), comparison, texts);
    return painter.end();
}

// The plot as SVG; false with *error set when the SVG module cannot be loaded.
bool Write_Svg(const TComparison &comparison, const TLegendTexts &texts, const QSize &size,
               QBuffer *buffer, QString *error)
{
    const TSvgDevice svg(buffer, size, Plot_Resolution, "Length Comparison");
    if (svg.Device() == nullptr) {
        *error = QStringLiteral("ERR  Cannot draw the plot: %1.").arg(svg.Error());
        return false;
    }
    QPainter painter;
    if (!painter.begin(svg.Device()))
        return false;
    Paint_Comparison(&painter, QRect(QPoint(0, 0), size), comparison, texts);
    return painter.end();
}

// The legend above both graphs, half a line from the top; returns the first row below it.
int Paint_Legend(QPainter *painter, const QRect &area, const TLegendTexts &texts, const QFont &font,
                 double unit)
{
    const int fh = QFontMetrics(font, painter->device()).height();
    const std::vector<TLegendItem> items = Legend_Items(Document_Look, texts);
    const double needed =
        LegendPainter::Height(font, painter->device(), items, area.width() - 2 * fh);
    // Long descriptions on a small plot: the legend keeps to a quarter of it, cut at its edge,
    // and leaves the graphs their room.
    const double room = area.height() / 4.0;
    const QRectF legend_area(area.left() + fh, area.top() + fh / 2, area.width() - 2 * fh,
                             std::min(needed, room));
    painter->save();
    if (needed > room)
        painter->setClipRect(legend_area, Qt::IntersectClip);
    LegendPainter::Paint(painter, legend_area, items, unit);
    painter->restore();
    return static_cast<int>(std::ceil(legend_area.bottom()));
}

} // namespace

TPlotFormat Plot_Format_Of(const QString &file_name)
{
    const QString suffix = QFileInfo(file_name).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return PLOT_PNG;
    if (suffix == QLatin1String("pdf"))
        return PLOT_PDF;
    if (suffix == QLatin1String("svg"))
        return PLOT_SVG;
    return PLOT_NONE;
}

void Paint_Comparison(QPainter *painter, const QRect &area, const TComparison &comparison,
                      const TLegendTexts &texts)
{
    QUORVAL_ASSERT(painter != nullptr);
    QUORVAL_ASSERT(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr);
    const TDocumentGraphs graphs = Document_Graphs_Of(comparison);
    painter->fillRect(area, Qt::white);
    const QFont font = Document_Font();
    painter->setFont(font);
    const double unit = painter->device()->logicalDpiY() / static_cast<double>(Plot_Resolution);
    const int fh = QFontMetrics(font, painter->device()).height();

    const int graphs_top = Paint_Legend(painter, area, texts, font, unit);
    const int height = area.bottom() + 1 - graphs_top;
    const QRect upper(area.left(), graphs_top, area.width(), height / 2);
    const QRect lower(area.left(), upper.bottom() + 1, area.width(), height - height / 2);

    // Both graphs over the lengths of both fits, so that an En value stands below its deviations.
    const TFitRules rules;
    const auto Plot = [&](const QRect &rect) {
        return TGraphLayout::Of(TGraphLayout::LAYOUT_DEVICE, rect, fh).graph;
    };
    TGraphView deviation = ViewFit::To_Data(graphs.scenes.deviation, rules, Plot(upper));
    TGraphScene en_scene;
    en_scene.Points(en_scene.Add_Set(Qt::black, TGraphScene::GRAPH_DEFAULT)) = graphs.en_curve;
    en_scene.Points(en_scene.Add_Set(Qt::black, TGraphScene::GRAPH_DEFAULT)) = graphs.en_limit;
    TGraphView en = ViewFit::To_Data(en_scene, rules, Plot(lower));
    deviation.x_low = en.x_low = std::min(deviation.x_low, en.x_low);
    deviation.x_high = en.x_high = std::max(deviation.x_high, en.x_high);
    std::tie(en.y_low, en.y_high) = En_Range(graphs.en_curve);

    for (const auto &graph : {std::make_pair(&graphs.scenes.deviation, upper),
                              std::make_pair(&graphs.scenes.en, lower)}) {
        painter->setFont(font);
        Paint_Graph(painter, *graph.first, graph.second,
                    graph.first == &graphs.scenes.deviation ? deviation : en, rules);
    }
    const TGraphLayout upper_layout = TGraphLayout::Of(TGraphLayout::LAYOUT_DEVICE, upper, fh);
    const TGraphLayout lower_layout = TGraphLayout::Of(TGraphLayout::LAYOUT_DEVICE, lower, fh);
    const auto Curve = [&](const TGraphLayout &layout, const TGraphView &view,
                           const std::vector<TVector2> &points, const TCurveStyle &style) {
        CurveDrawing::Draw(painter, points, layout.graph,
                           ViewFit::Horizontal_Map(view, rules, layout.graph),
                           ViewFit::Vertical_Map(view, rules, layout.graph), style, unit);
    };
    // Both curves stand out over the band of brackets of many positions, neither hides the other.
    for (const auto *points : {&graphs.curve_a, &graphs.curve_b})
        CurveDrawing::Draw_Halo(painter, *points, upper_layout.graph,
                                ViewFit::Horizontal_Map(deviation, rules, upper_layout.graph),
                                ViewFit::Vertical_Map(deviation, rules, upper_layout.graph),
                                Document_Curve_A, unit);
    Curve(upper_layout, deviation, graphs.curve_a, Document_Curve_A);
    Curve(upper_layout, deviation, graphs.curve_b, Document_Curve_B);
    Curve(lower_layout, en, graphs.en_limit, Document_En_Limit);
    Curve(lower_layout, en, graphs.en_curve, Document_En_Curve);
}

bool Render_Plot(const TComparison &comparison, const TLegendTexts &texts, TPlotFormat format,
                 const QSize &size, const QString &creator, QByteArray *data, QString *error)
{
    QUORVAL_ASSERT(data != nullptr);
    QUORVAL_ASSERT(error != nullptr);
    QUORVAL_ASSERT(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr);
    QUORVAL_ASSERT(format != PLOT_NONE);
    error->clear();

    // An SVG file spells out every point, bracket and line, about 2 kB per position: beyond the
    // limit the text outgrows what the memory and a byte array can hold.
    const std::size_t positions = comparison.Export_Rows().size();
    if (format == PLOT_SVG && positions > static_cast<std::size_t>(Largest_Svg_Plot_Positions)) {
        *error = QStringLiteral("ERR  Cannot draw the plot: an SVG plot holds at most %1 "
                                "positions, this comparison has %2; draw a PNG or PDF plot.")
                     .arg(Largest_Svg_Plot_Positions)
                     .arg(positions);
        return false;
    }

    data->clear();
    QBuffer buffer(data);
    buffer.open(QIODevice::WriteOnly);
    bool written = false;
    switch (format) {
    case PLOT_PNG: written = Write_Png(comparison, texts, size, &buffer, error); break;
    case PLOT_PDF: written = Write_Pdf(comparison, texts, size, creator, &buffer); break;
    case PLOT_SVG: written = Write_Svg(comparison, texts, size, &buffer, error); break;
    case PLOT_NONE: break;
    }
    if (!error->isEmpty())
        return false;
    if (!written || data->isEmpty()) {
        *error = QStringLiteral("ERR  Cannot draw the plot.");
        return false;
    }
    return true;
}

} // namespace ComparisonGraphs
