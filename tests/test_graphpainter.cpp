#include "core/graph/curvestyle.h"
#include "core/graph/graphpainter.h"
#include "core/graph/graphview.h"
#include "core/graph/legendpainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

namespace {

QImage White_Image(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A scene as a comparison of positions positions draws it, with random lengths (dense clusters
// and gaps), deviations and uncertainties: two curves (one broken by a point without a position),
// then three brackets per position in the comparison's colours, a translucent curve, a run of
// markers and a line across.
// Brackets with an empty place before each, as a comparison's rows leave places empty.
class TSparse_Brackets : public TGraphScene::TBracket_Source
{
public:
    explicit TSparse_Brackets(const double &reach) : d_list(reach) {}
    std::size_t Count() const override { return 2 * d_list.Count(); }
    double Reach() const override { return d_list.Reach(); }
    double Position(std::size_t place) const override { return d_list.Position(place / 2); }
    bool Bracket(std::size_t place, TGraphScene::TBracket *bracket, int *colour) const override
    {
        return place % 2 == 1 && d_list.Bracket(place / 2, bracket, colour);
    }

    TGraphScene::TBracket_List d_list;
};

// The window's graphs at a random comparison. With bracket_set its brackets are one set of
// brackets instead of a four-point set each, which must draw the same pixels.
TGraphScene Random_Scene(int positions, quint32 seed, bool bracket_set = false)
{
    QRandomGenerator random(seed);
    std::vector<double> x(static_cast<std::size_t>(positions));
    double at = 0.0;
    for (double &p : x)
        p = at += random.bounded(100) < 3 ? random.bounded(50.0) : random.bounded(0.4);
    TGraphScene scene;
    std::vector<TVector2> curve_a, curve_b;
    for (int i = 0; i < positions; ++i) {
        curve_a.emplace_back(x[i], random.bounded(2e-3) - 1e-3);
        curve_b.emplace_back(x[i], (i == positions / 3) ? qQNaN() : random.bounded(2e-3) - 1e-3);
    }
    scene.Points(scene.Add_Set(QColor(128, 40, 40), TGraphScene::GRAPH_DEFAULT)) = curve_a;
    scene.Points(scene.Add_Set(QColor(20, 96, 20), TGraphScene::GRAPH_DEFAULT)) = curve_b;
    const double half = (x.back() - x.front()) * 0.0025;
    const QColor colours[3] = {QColor(212, 212, 212), QColor(212, 96, 96), QColor(20, 96, 20)};
    const auto brackets = std::make_shared<TSparse_Brackets>(half);
    if (bracket_set)
        scene.Add_Bracket_Set(brackets, {colours[0], colours[1], colours[2]});
    for (int i = 0; i < positions; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double y = curve_a[i].y;
            const double u = random.bounded(1e-3);
            const TGraphScene::TBracket bracket{x[i], k == 2 ? -half : half, y + u, y - u};
            if (bracket_set) {
                brackets->d_list.Add(bracket, k);
                continue;
            }
            std::vector<TVector2> &points =
                scene.Points(scene.Add_Set(colours[k], TGraphScene::GRAPH_DEFAULT));
            points.resize(4);
            bracket.Points(points.data());
        }
    }
    scene.Points(scene.Add_Set(QColor(0, 0, 255, 100), TGraphScene::GRAPH_LINE)) = curve_b;
    for (int i = 0; i < positions; i += positions / 40)
        scene.Points(scene.Add_Set(Qt::black, TGraphScene::GRAPH_CROSS)) = {curve_a[i]};
    scene.Points(scene.Add_Set(QColor(196, 196, 196), TGraphScene::GRAPH_DEFAULT)) = {
        {x.front(), 5e-4}, {x.back(), 5e-4}};
    return scene;
}

} // namespace

class TTestGraphPainter : public QObject
{
    Q_OBJECT

private slots:
    void Layouts_data();
    void Layouts();
    void Bar_Widths();
    void Bounds_Of_A_Range();
    void Reduced_Drawing_Is_Pixel_Identical_data();
    void Reduced_Drawing_Is_Pixel_Identical();
    void Round_Ticks_data();
    void Round_Ticks();
    void Curve_Paths_Keep_Each_Columns_Envelope();
    void Curve_Markers_Only_Where_They_Stand_Apart();
    void Legend_Rows_data();
    void Legend_Rows();
};

void TTestGraphPainter::Layouts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("font_height");
    // graph, vertical legend, vertical title, horizontal legend, horizontal title, title
    QTest::addColumn<QList<QRect>>("areas");

    QTest::newRow("screen") << int(TGraphLayout::LAYOUT_SCREEN) << QRect(0, 0, 400, 300) << 14
                            << QList<QRect>{QRect(QPoint(98, 28), QPoint(372, 244)),
                                            QRect(QPoint(28, 0), QPoint(84, 272)),
                                            QRect(QPoint(0, 28), QPoint(28, 244)),
                                            QRect(QPoint(84, 244), QPoint(400, 272)),
                                            QRect(QPoint(98, 272), QPoint(372, 300)),
                                            QRect(QPoint(98, 0), QPoint(400, 28))};
    // The plot area and the horizontal title start one font height further left than on screen.
    QTest::newRow("device, at an offset")
        << int(TGraphLayout::LAYOUT_DEVICE) << QRect(50, 40, 600, 400) << 20
        << QList<QRect>{
               QRect(QPoint(170, 80), QPoint(610, 360)),  QRect(QPoint(90, 40), QPoint(170, 400)),
               QRect(QPoint(50, 80), QPoint(90, 360)),    QRect(QPoint(170, 360), QPoint(650, 400)),
               QRect(QPoint(170, 400), QPoint(610, 440)), QRect(QPoint(190, 40), QPoint(650, 80))};
    QTest::newRow("graph only") << int(TGraphLayout::LAYOUT_GRAPH_ONLY) << QRect(10, 20, 300, 200)
                                << 15 << QList<QRect>{QRect(QPoint(76, 26), QPoint(280, 184)),
                                                      QRect(QPoint(16, 20), QPoint(76, 214)),
                                                      QRect(QPoint(10, 26), QPoint(16, 184)),
                                                      QRect(QPoint(76, 184), QPoint(310, 214)),
                                                      QRect(QPoint(76, 214), QPoint(280, 220)),
                                                      QRect(QPoint(22, 20), QPoint(310, 26))};
}

void TTestGraphPainter::Layouts()
{
    QFETCH(int, kind);
    QFETCH(QRect, rect);
    QFETCH(int, font_height);
    QFETCH(QList<QRect>, areas);
    const TGraphLayout l = TGraphLayout::Of(TGraphLayout::TKind(kind), rect, font_height);
    QCOMPARE(l.graph, areas[0]);
    QCOMPARE(l.vertical_legend, areas[1]);
    QCOMPARE(l.vertical_title, areas[2]);
    QCOMPARE(l.horizontal_legend, areas[3]);
    QCOMPARE(l.horizontal_title, areas[4]);
    QCOMPARE(l.title, areas[5]);
    QCOMPARE(l.widget, rect);
}

void TTestGraphPainter::Bar_Widths()
{
    QCOMPARE(GraphPainter::Bar_Half_Width(300, 10, false), 14);
    QCOMPARE(GraphPainter::Bar_Half_Width(300, 200, false), 1);
    QCOMPARE(GraphPainter::Bar_Half_Width(300, 10, true), 6);

    // A plot area exactly 300 pixels wide.
    const QColor color(200, 0, 200);
    const QRect plot(50, 20, 300, 200);
    for (int count : {10, 200}) {
        // One bar is visible; the others have value 0 and so no height.
        TGraphScene scene;
        std::vector<TVector2> &points = scene.Points(scene.Add_Set(color, TGraphScene::GRAPH_BAR));
        for (int i = 0; i < count; ++i)
            points.emplace_back(i + 1, i == count / 2 ? 1.0 : 0.0);
        const TFitRules rules;
        const TGraphView view = ViewFit::To_Data(scene, rules, plot);
        QImage image = White_Image(QSize(400, 300));
        QPainter painter(&image);
        GraphPainter::Draw_Data(&painter, scene, plot, ViewFit::Horizontal_Map(view, rules, plot),
                                ViewFit::Vertical_Map(view, rules, plot), TGraphStyle());
        painter.end();
        // The widest run of bar colour along any row is one bar.
        int best = 0;
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            int run = 0;
            for (int x = plot.left(); x <= plot.right(); ++x) {
                if (QColor(image.pixel(x, y)) == color)
                    ++run;
                else if (run > 0)
                    break;
            }
            best = std::max(best, run);
        }
        QCOMPARE(best, count == 10 ? 28 : 2);
    }
}

// The bounds of the points between two lengths, found through the runs of sets and the sorted
// curves, are those of every point there.
void TTestGraphPainter::Bounds_Of_A_Range()
{
    const TGraphScene scene = Random_Scene(3000, 7);
    // The same points, the brackets held as one set of brackets.
    const TGraphScene bracket_scene = Random_Scene(3000, 7, true);
    QRandomGenerator random(11);
    const double end = scene.Sets().front().dataset_points.back().x;
    for (int i = 0; i < 200; ++i) {
        const double low = random.bounded(end * 1.1) - end * 0.05;
        const double high = low + random.bounded(end / (1 + random.bounded(100)));
        TGraphScene::TBounds expected{0.0, 0.0, 0.0, 0.0};
        bool any = false;
        for (const TGraphScene::TDataSet &set : scene.Sets())
            for (const TVector2 &p : set.dataset_points) {
                if (!std::isfinite(p.y) || p.x < low || p.x > high)
                    continue;
                if (any)
                    expected.Include(p);
                else
                    expected = {p.x, p.x, p.y, p.y};
                any = true;
            }
        for (const TGraphScene *searched : {&scene, &bracket_scene}) {
            TGraphScene::TBounds found{0.0, 0.0, 0.0, 0.0};
            QCOMPARE(searched->Bounds(low, high, &found), any);
            QVERIFY(!any || (found.x_low == expected.x_low && found.x_high == expected.x_high &&
                             found.y_low == expected.y_low && found.y_high == expected.y_high));
        }
    }
}

void TTestGraphPainter::Reduced_Drawing_Is_Pixel_Identical_data()
{
    QTest::addColumn<int>("positions");
    QTest::addColumn<QSize>("size");
    // The share of the fitted ranges shown (1: all), from a quarter of the way along.
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("log");

    QTest::newRow("10k, small") << 10000 << QSize(420, 260) << 1.0 << false;
    QTest::newRow("10k, zoomed 20x") << 10000 << QSize(1000, 400) << 0.05 << false;
    QTest::newRow("10k, logarithmic") << 10000 << QSize(1000, 400) << 1.0 << true;
    QTest::newRow("100k, export size") << 100000 << QSize(1000, 400) << 1.0 << false;
    QTest::newRow("100k, zoomed 10x, large") << 100000 << QSize(1600, 700) << 0.1 << false;
    QTest::newRow("100k, logarithmic, zoomed") << 100000 << QSize(800, 300) << 0.3 << true;
}

void TTestGraphPainter::Reduced_Drawing_Is_Pixel_Identical()
{
    QFETCH(int, positions);
    QFETCH(QSize, size);
    QFETCH(double, zoom);
    QFETCH(bool, log);
    const TGraphScene scene =
        Random_Scene(positions, static_cast<quint32>(positions + size.width()));
    TFitRules rules;
    if (log)
        rules.horizontal_type = rules.vertical_type = TScaleMap::SCALE_LOG10;
    const QRect plot =
        TGraphLayout::Of(TGraphLayout::LAYOUT_DEVICE, QRect(QPoint(0, 0), size), 14).graph;
    TGraphView view = ViewFit::To_Data(scene, rules, plot);
    const double width = (view.x_high - view.x_low) * zoom;
    const double height = (view.y_high - view.y_low) * zoom;
    view.x_low += (view.x_high - view.x_low - width) / 4.0;
    view.x_high = view.x_low + width;
    view.y_low += (view.y_high - view.y_low - height) / 4.0;
    view.y_high = view.y_low + height;

    // Each bracket a set of its own, drawn whole and reduced; then the brackets as one set of
    // brackets, drawn whole and reduced: every picture the same as the first.
    const TGraphScene bracket_scene =
        Random_Scene(positions, static_cast<quint32>(positions + size.width()), true);
    int lines[4] = {0, 0, 0, 0};
    QImage images[4];
    for (int drawing = 0; drawing < 4; ++drawing) {
        TGraphStyle style;
        style.reduce = drawing % 2 == 1;
        images[drawing] = White_Image(size);
        QPainter painter(&images[drawing]);
        lines[drawing] = GraphPainter::Draw_Data(&painter, drawing < 2 ? scene : bracket_scene,
                                                 plot, ViewFit::Horizontal_Map(view, rules, plot),
                                                 ViewFit::Vertical_Map(view, rules, plot), style);
    }
    for (int drawing = 1; drawing < 4; ++drawing) {
        int differing = 0;
        QPoint first;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                if (images[0].pixel(x, y) != images[drawing].pixel(x, y) && differing++ == 0)
                    first = QPoint(x, y);
        QVERIFY2(differing == 0,
                 qPrintable(QString("drawing %1: %2 pixels differ, the first at %3, %4")
                                .arg(drawing)
                                .arg(differing)
                                .arg(first.x())
                                .arg(first.y())));
    }
    // The reduction was at work: fewer lines went to the painter.
    for (int whole = 0; whole < 4; whole += 2)
        QVERIFY2(lines[whole + 1] < lines[whole],
                 qPrintable(QString("%1 of %2").arg(lines[whole + 1]).arg(lines[whole])));
}

void TTestGraphPainter::Round_Ticks_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("pixels");
    QTest::addColumn<double>("room"); // pixels each label needs
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("count");
    // Ranges whose evenly spread labels were 0.00056, 0.00051 ... and -1.75, 15.62 ...
    QTest::newRow("deviations") << -0.00031 << 0.00059 << 300.0 << 30.0 << "-0.0003"
                                << "0.0005" << 9;
    QTest::newRow("lengths") << -1.75 << 101.75 << 900.0 << 60.0 << "0"
                             << "100" << 11;
    QTest::newRow("step of two") << 0.0 << 1.0 << 180.0 << 30.0 << "0.0"
                                 << "1.0" << 6;
    QTest::newRow("one label's room") << 0.0 << 1000.0 << 50.0 << 60.0 << "0"
                                      << "0" << 1;
    QTest::newRow("ten labels of 20") << 0.0 << 10.0 << 200.0 << 20.0 << "0"
                                      << "10" << 11;
    QTest::newRow("far from zero") << 1e15 << 1e15 + 64.0 << 400.0 << 30.0 << "1000000000000000"
                                   << "1000000000000060" << 13;
    QTest::newRow("below a double's steps")
        << 1.0 << 1.0 + 4e-16 << 400.0 << 30.0 << "1.000000000000000"
        << "1.000000000000000" << 1;
    QTest::newRow("empty range") << 1.0 << 1.0 << 400.0 << 30.0 << ""
                                 << "" << 0;
    QTest::newRow("not finite") << 0.0 << qInf() << 400.0 << 30.0 << ""
                                << "" << 0;
}

void TTestGraphPainter::Round_Ticks()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, pixels);
    QFETCH(double, room);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, count);
    const TRoundTicks ticks =
        GraphPainter::Round_Ticks(low, high, pixels, [room](const QString &) { return room; });
    QCOMPARE(static_cast<int>(ticks.labels.size()), count);
    QCOMPARE(ticks.values.size(), ticks.labels.size());
    if (count == 0)
        return;
    QCOMPARE(ticks.labels.front(), first);
    QCOMPARE(ticks.labels.back(), last);
    // A step of 1, 2 or 5 times a power of ten, wide enough for the labels, and no label twice.
    const double mantissa = ticks.step / std::pow(10.0, std::floor(std::log10(ticks.step) + 1e-9));
    QVERIFY2(std::fabs(mantissa - 1.0) < 1e-9 || std::fabs(mantissa - 2.0) < 1e-9 ||
                 std::fabs(mantissa - 5.0) < 1e-9,
             qPrintable(QString::number(ticks.step)));
    if (count > 1)
        QVERIFY(ticks.step / (high - low) * pixels >= room);
    QCOMPARE(QSet<QString>(ticks.labels.begin(), ticks.labels.end()).size(), count);
    for (const double value : ticks.values)
        QVERIFY(value >= low && value <= high);
}

void TTestGraphPainter::Curve_Paths_Keep_Each_Columns_Envelope()
{
    // 1000 points over 10 pixel columns, broken once by a point without a position.
    std::vector<TVector2> points;
    for (int i = 0; i < 1000; ++i)
        points.emplace_back(i / 100.0, i == 500 ? qQNaN() : std::sin(i * 0.37));
    const TScaleMap horizontal = TScaleMap::Horizontal(0.0, 10.0, 0, 10, TScaleMap::SCALE_LINEAR);
    const TScaleMap vertical = TScaleMap::Vertical(-1.0, 1.0, 0, 100, TScaleMap::SCALE_LINEAR);
    const auto paths = CurveDrawing::Pixel_Paths(points, horizontal, vertical);
    QCOMPARE(paths.size(), std::size_t(2));
    for (const auto &path : paths) {
        QVERIFY(path.size() <= 4 * 6);
        double low = 1e9, high = -1e9;
        for (const QPointF &p : path) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
        // The envelope reaches the curve's extremes: sin over 500 points covers nearly -1 to 1.
        QVERIFY(low < vertical.Position(0.99) && high > vertical.Position(-0.99));
    }
}

void TTestGraphPainter::Curve_Markers_Only_Where_They_Stand_Apart()
{
    QImage image = White_Image(QSize(400, 200));
    QPainter painter(&image);
    const QRect plot(20, 20, 360, 160);
    const TScaleMap horizontal =
        TScaleMap::Horizontal(0.0, 100.0, plot.left(), plot.right(), TScaleMap::SCALE_LINEAR);
    const TScaleMap vertical =
        TScaleMap::Vertical(0.0, 1.0, plot.top(), plot.bottom(), TScaleMap::SCALE_LINEAR);
    TCurveStyle style;
    style.colour = Qt::blue;
    style.marker = TCurveStyle::MARKER_CIRCLE;
    std::vector<TVector2> sparse, dense;
    for (int i = 0; i <= 10; ++i)
        sparse.emplace_back(i * 10.0, 0.5);
    for (int i = 0; i <= 100; ++i)
        dense.emplace_back(i * 1.0, 0.5);
    // Points outside the plot area get no marker.
    sparse.emplace_back(150.0, 0.5);
    QCOMPARE(CurveDrawing::Draw(&painter, sparse, plot, horizontal, vertical, style, 1.0), 11);
    QCOMPARE(CurveDrawing::Draw(&painter, dense, plot, horizontal, vertical, style, 1.0), 0);
    painter.end();
    // The line stays inside the plot area.
    for (int x = 0; x < plot.left() - 3; ++x)
        QCOMPARE(image.pixel(x, 100) & 0xffffff, 0xffffffu);
    bool drawn = false;
    for (int y = 95; y <= 105; ++y)
        drawn = drawn || (image.pixel(110, y) & 0xffffff) != 0xffffffu;
    QVERIFY(drawn);
}

void TTestGraphPainter::Legend_Rows_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("elided");
    QTest::newRow("wide") << 2000 << QString() << 1 << false;
    QTest::newRow("narrow") << 120 << QString() << 4 << false;
    QTest::newRow("long description") << 400 << QString(1000, QChar('x')) << 2 << true;
    QTest::newRow("line breaks") << 2000 << QString("PTB\nCertificate 12") << 1 << false;
}

void TTestGraphPainter::Legend_Rows()
{
    QFETCH(int, width);
    QFETCH(QString, description);
    QFETCH(int, rows);
    QFETCH(bool, elided);
    std::vector<TLegendItem> items(4);
    items[0].text = "Set A" + (description.isEmpty() ? QString() : ": " + description);
    items[1].text = "Set B";
    items[2].text = "En";
    items[3].text = "En = 1";
    QImage image = White_Image(QSize(width, 200));
    const QFont font("DejaVu Sans", 9);
    const QRectF area(0.0, 10.0, width, 0.0);
    const auto placements = LegendPainter::Lay_Out(font, &image, items, area);
    QCOMPARE(placements.size(), items.size());
    QSet<double> tops;
    for (std::size_t i = 0; i < placements.size(); ++i) {
        const LegendPainter::TPlacement &p = placements[i];
        tops.insert(p.sample.top());
        QVERIFY(p.sample.left() >= area.left() - 0.01 && p.text.right() <= area.right() + 0.01);
        QVERIFY(p.sample.right() <= p.text.left());
        QVERIFY(!p.shown.contains('\n'));
        for (std::size_t k = 0; k < i; ++k)
            QVERIFY(!p.text.united(p.sample).intersects(
                placements[k].text.united(placements[k].sample)));
    }
    QCOMPARE(tops.size(), rows);
    QCOMPARE(placements[0].shown.endsWith(QChar(0x2026)), elided);
    QCOMPARE(LegendPainter::Height(font, &image, items, width),
             placements.back().sample.bottom() - area.top());
}

QTEST_MAIN(TTestGraphPainter)
#include "test_graphpainter.moc"
