// Rendering cost of the graph widget at the application's largest sizes: three four-point
// bracket sets per comparison position plus two curves over all positions, on a 1000 x 400
// widget, on the offscreen platform unless QT_QPA_PLATFORM names another. The comparison
// benchmarks draw both graphs of a comparison of N positions (sets A and B 2 mm apart, set B
// 1 mm along, aligned), each 1000 x 400 pixels as in the graph export: fitted to the data, and
// showing a tenth of the length range as after a zoom or a pan step.
#include "bench_support.h"

#include "core/widgets/graphwidget.h"
#include "src/compute/comparison.h"
#include "src/documents/comparisongraphs.h"

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

// Both graphs of a comparison of positions positions, laid out at the export's size.
struct TComparisonGraphs
{
    TGraphWidget deviation;
    TGraphWidget en;
    double low = 0.0;
    double high = 0.0;

    explicit TComparisonGraphs(int positions)
    {
        std::vector<Type::TEntryItem> a;
        std::vector<Type::TEntryItem> b;
        for (int i = 0; i < positions / 2; ++i) {
            const double nominal = 2.0 * i;
            a.push_back({nominal, nominal + 4e-4 * std::sin(i / 700.0) + 1e-4 * std::sin(i * 1.3),
                         2e-4 + 3e-4 * std::fabs(std::sin(i * 0.37))});
            b.push_back({nominal + 1.0, nominal + 1.0 + 4e-4 * std::sin(i / 650.0),
                         3e-4 + 2e-4 * std::fabs(std::cos(i * 0.53))});
        }
        TComparison comparison;
        comparison.Calculate(a, b, 1.0, Type::TOptions{true});
        ComparisonGraphs::Make_Data_Sets(comparison, [this](ComparisonGraphs::TGraph graph,
                                                            const QColor &colour,
                                                            const std::vector<TVector2> &points) {
            TGraphWidget *w = graph == ComparisonGraphs::Deviation_Graph ? &deviation : &en;
            w->AddPoints(w->CreateDataSet(colour, TGraphWidget::GRAPH_DEFAULT), points);
        });
        Lay_Out(&deviation);
        Lay_Out(&en);
        low = comparison.Range_Min();
        high = comparison.Range_Max();
    }
};

void BM_Comparison_Full_Render(benchmark::State &state)
{
    TComparisonGraphs graphs(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        graphs.deviation.Draw_Background_Pixmap();
        graphs.en.Draw_Background_Pixmap();
        benchmark::DoNotOptimize(graphs.en.Background_Pixmap().cacheKey());
    }
    state.SetLabel(std::to_string(graphs.deviation.DataSetCount()) + " + " +
                   std::to_string(graphs.en.DataSetCount()) + " sets");
}
BENCHMARK(BM_Comparison_Full_Render)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

// A tenth of the length range, moving along it step by step as a pan does.
void BM_Comparison_Zoomed_Render(benchmark::State &state)
{
    TComparisonGraphs graphs(static_cast<int>(state.range(0)));
    const double width = (graphs.high - graphs.low) / 10.0;
    int step = 0;
    for (auto _ : state) {
        const double low = graphs.low + (step++ % 90) * width / 10.0;
        graphs.deviation.Set_Horizontal_Range(low, low + width);
        graphs.en.Set_Horizontal_Range(low, low + width);
        benchmark::DoNotOptimize(graphs.en.Background_Pixmap().cacheKey());
    }
}
BENCHMARK(BM_Comparison_Zoomed_Render)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv) { return Bench::Run_With_Application(argc, argv); }
