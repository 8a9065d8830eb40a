#include "core/base/interpolation.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

std::vector<TVector2> Make_Points(std::size_t n)
{
    std::vector<TVector2> points;
    points.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i) * 0.5;
        points.emplace_back(x, 1e-4 * std::sin(x));
    }
    return points;
}

// One look-up in a 100,000-point list at keys spread over the whole range (the segment search is
// linear, so keys near the far end cost the most).
void BM_Get_Value_100k(benchmark::State &state)
{
    const std::vector<TVector2> points = Make_Points(100000);
    const double span = points.back().x;
    const double fraction = static_cast<double>(state.range(0)) / 100.0;
    const double key = span * fraction + 0.25;
    for (auto _ : state) {
        double value;
        benchmark::DoNotOptimize(Extrapolation::Get_Value(points, key, &value));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_Get_Value_100k)->Arg(0)->Arg(50)->Arg(99);

} // namespace

BENCHMARK_MAIN();
