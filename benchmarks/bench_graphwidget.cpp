// Rendering cost of the graph widget at the application's largest sizes: three four-point
// bracket sets per comparison position plus two curves over all positions, on a 1000 x 400
// widget, on the offscreen platform unless QT_QPA_PLATFORM names another.
#include "bench_support.h"

#include "core/widgets/graphwidget.h"

#include <QMouseEvent>
#include <QResizeEvent>

#include <cmath>
#include <memory>

namespace {

const QSize Graph_Size(1000, 400);

void Fill(TGraphWidget *widget, int positions)
{
    widget->DeleteDataSets();
    const QColor colors[3] = {QColor(255, 0, 0), QColor(0, 127, 0), QColor(0, 0, 255)};
    for (int i = 0; i < positions; ++i) {
        const double x = i * 0.5;
        const double y = 0.002 * std::sin(i / 300.0);
        for (int k = 0; k < 3; ++k) {
            // An uncertainty bracket: a short bar with end ticks.
            const double u = 0.001 * (k + 1);
            const int set = widget->CreateDataSet(colors[k], TGraphWidget::GRAPH_DEFAULT);
            widget->AddPoints(set, {TVector2(x - 0.1, y + u), TVector2(x, y + u),
                                    TVector2(x, y - u), TVector2(x - 0.1, y - u)});
        }
    }
    for (int c = 0; c < 2; ++c) {
        const int set = widget->CreateDataSet(colors[c], TGraphWidget::GRAPH_DEFAULT);
        std::vector<TVector2> points;
        points.reserve(positions);
        for (int i = 0; i < positions; ++i)
            points.emplace_back(i * 0.5, 0.002 * std::sin(i / 300.0 + c));
        widget->SetPoints(set, points);
    }
}

void Lay_Out(TGraphWidget *widget)
{
    widget->resize(Graph_Size);
    QResizeEvent event(Graph_Size, QSize());
    QApplication::sendEvent(widget, &event);
}

void BM_Full_Render(benchmark::State &state)
{
    TGraphWidget widget;
    Fill(&widget, static_cast<int>(state.range(0)));
    Lay_Out(&widget);
    for (auto _ : state) {
        widget.Draw_Background_Pixmap();
        benchmark::DoNotOptimize(widget.Background_Pixmap().cacheKey());
    }
    state.SetLabel(std::to_string(widget.DataSetCount()) + " sets");
}
BENCHMARK(BM_Full_Render)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A repaint for a changed cursor read-out on a shown widget holding the largest data.
void BM_Cursor_Paint(benchmark::State &state)
{
    TGraphWidget widget;
    Fill(&widget, static_cast<int>(state.range(0)));
    widget.resize(Graph_Size);
    widget.show();
    QApplication::processEvents();
    const QRect plot = widget.Graph_Rect();
    int step = 0;
    for (auto _ : state) {
        const QPoint p(plot.left() + 10 + (step++ % 200), plot.center().y());
        QMouseEvent move(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        // Updates the read-out and repaints at once.
        QApplication::sendEvent(&widget, &move);
    }
}
BENCHMARK(BM_Cursor_Paint)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return Bench::Run_With_Application(argc, argv);
}
