#include "src/documents/comparisongraphs.h"

#include "core/base/assertion.h"
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

#include <cmath>

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

// A bracket from top to bottom at position p: its upright at p - reach and its arms reaching to
// p + reach, so open to the right for a positive reach and to the left for a negative one.
void Fill_Bracket(std::vector<TVector2> *points, const double &p, const double &reach,
                  const double &top, const double &bottom)
{
    points->assign({TVector2(p + reach, top), TVector2(p - reach, top), TVector2(p - reach, bottom),
                    TVector2(p + reach, bottom)});
}

} // namespace

void Make_Data_Sets(const TComparison &comparison, const TSet_Sink &sink)
{
    const std::vector<TComparison::TExportData> &rows = comparison.Export_Rows();
    if (rows.empty())
        return;

    std::vector<TVector2> curve_a, curve_b, en_curve;
    curve_a.reserve(rows.size());
    curve_b.reserve(rows.size());
    en_curve.reserve(rows.size());
    for (const TComparison::TExportData &row : rows) {
        if (!row.Has_Position())
            continue;
        if (row.Has_Dev_A())
            curve_a.emplace_back(row.position, row.dev_a);
        if (row.Has_Dev_B())
            curve_b.emplace_back(row.position, row.dev_b);
        if (row.Has_En())
            en_curve.emplace_back(row.position, row.en_value);
    }
    sink(Deviation_Graph, Curve_A_Colour, curve_a);
    sink(Deviation_Graph, Curve_B_Colour, curve_b);

    // Bracket width: 0.5 % of the length range (taken in parts when the range itself is beyond
    // the largest double).
    double tick = (comparison.Range_Max() - comparison.Range_Min()) * 0.005;
    if (std::isinf(tick))
        tick = comparison.Range_Max() * 0.005 - comparison.Range_Min() * 0.005;
    const double half = tick / 2.0;
    const double adjustment = comparison.Uc_Adjustment();
    std::vector<TVector2> bracket;
    for (const TComparison::TExportData &row : rows) {
        if (!row.Has_Position())
            continue;
        const double p = row.position;
        if (row.Has_Dev_A() && row.Has_Uc_A_Adj()) {
            const double u = row.uc_a_adj;
            // The grey bracket shows the unadjusted uncertainty behind the red one.
            if (row.dev_b_valid && std::isfinite(adjustment)) {
                Fill_Bracket(&bracket, p, half, row.dev_a + u + adjustment,
                             row.dev_a - u - adjustment);
                sink(Deviation_Graph, Unadjusted_Bracket_Colour, bracket);
            }
            // Open to the right, upright at p - half.
            Fill_Bracket(&bracket, p, half, row.dev_a + u, row.dev_a - u);
            sink(Deviation_Graph, Bracket_A_Colour, bracket);
        }
        if (row.Has_Dev_B() && row.Has_Uc_B()) {
            // Open to the left, upright at p + half: facing A's bracket.
            Fill_Bracket(&bracket, p, -half, row.dev_b + row.uc_b, row.dev_b - row.uc_b);
            sink(Deviation_Graph, Bracket_B_Colour, bracket);
        }
    }

    sink(En_Graph, En_Curve_Colour, en_curve);
    sink(En_Graph, En_Limit_Colour,
         {TVector2(comparison.Range_Min(), 1.0), TVector2(comparison.Range_Max(), 1.0)});
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
    Make_Data_Sets(comparison, [&scenes](TGraph graph, const QColor &colour,
                                         const std::vector<TVector2> &points) {
        TGraphScene &scene = graph == Deviation_Graph ? scenes.deviation : scenes.en;
        scene.Points(scene.Add_Set(colour, TGraphScene::GRAPH_DEFAULT)) = points;
    });
    return scenes;
}

namespace {

// The plot as a PNG image; false with *error set when there is no memory for its pixels.
bool Write_Png(const TComparison &comparison, const QSize &size, QBuffer *buffer, QString *error)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        *error = QStringLiteral("ERR  Cannot draw the plot: not enough memory for %1x%2 pixels.")
                     .arg(size.width())
                     .arg(size.height());
        return false;
    }
    {
        QPainter painter(&image);
        Paint_Comparison(&painter, image.rect(), comparison);
    }
    return image.save(buffer, "PNG");
}

// The plot as a PDF page of exactly its size: pixels at the plot resolution, in points.
bool Write_Pdf(const TComparison &comparison, const QSize &size, const QString &creator,
               QBuffer *buffer)
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
    Paint_Comparison(&painter, QRect(0, 0, writer.width(), writer.height()), comparison);
    return painter.end();
}

// The plot as SVG; false with *error set when the SVG module cannot be loaded.
bool Write_Svg(const TComparison &comparison, const QSize &size, QBuffer *buffer, QString *error)
{
    const TSvgDevice svg(buffer, size, Plot_Resolution, "Length Comparison");
    if (svg.Device() == nullptr) {
        *error = QStringLiteral("ERR  Cannot draw the plot: %1.").arg(svg.Error());
        return false;
    }
    QPainter painter;
    if (!painter.begin(svg.Device()))
        return false;
    Paint_Comparison(&painter, QRect(QPoint(0, 0), size), comparison);
    return painter.end();
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

void Paint_Comparison(QPainter *painter, const QRect &area, const TComparison &comparison)
{
    QUORVAL_ASSERT(painter != nullptr);
    QUORVAL_ASSERT(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr);
    const TScenes scenes = Scenes_Of(comparison);
    painter->fillRect(area, Qt::white);
    const int upper_height = area.height() / 2;
    const QRect upper(area.left(), area.top(), area.width(), upper_height);
    const QRect lower(area.left(), area.top() + upper_height, area.width(),
                      area.height() - upper_height);
    const TFitRules rules;
    TGraphStyle style;
    style.frame = false;
    for (const auto &graph :
         {std::make_pair(&scenes.deviation, upper), std::make_pair(&scenes.en, lower)}) {
        // The painter leaves its title font behind.
        painter->setFont(QGuiApplication::font());
        const int fh = QFontMetrics(painter->font(), painter->device()).height();
        const TGraphLayout layout = TGraphLayout::Of(TGraphLayout::LAYOUT_DEVICE, graph.second, fh);
        const TGraphView view = ViewFit::To_Data(*graph.first, rules, layout.graph);
        GraphPainter::Paint(painter, *graph.first, layout,
                            ViewFit::Horizontal_Map(view, rules, layout.graph),
                            ViewFit::Vertical_Map(view, rules, layout.graph), style);
    }
}

bool Render_Plot(const TComparison &comparison, TPlotFormat format, const QSize &size,
                 const QString &creator, QByteArray *data, QString *error)
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
    case PLOT_PNG: written = Write_Png(comparison, size, &buffer, error); break;
    case PLOT_PDF: written = Write_Pdf(comparison, size, creator, &buffer); break;
    case PLOT_SVG: written = Write_Svg(comparison, size, &buffer, error); break;
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
