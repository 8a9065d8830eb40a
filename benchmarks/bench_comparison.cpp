#include "src/compute/comparison.h"
#include "src/compute/report.h"
#include "tests/reference/literal_comparison.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// n entries 10 mm apart with deviations of a few micrometres, sorted by actual as the entry
// widget delivers them. Set B lies half a step beside set A, so no position merges.
std::vector<Type::TEntryItem> Make_Entries(int n, double start, unsigned seed, int misplaced)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> deviation(-0.005, 0.005);
    std::vector<Type::TEntryItem> entries;
    entries.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double nominal = start + 10.0 * i;
        entries.push_back({nominal, nominal + deviation(rng), 0.0005 + 1e-6 * (i % 100)});
    }
    // A few mistyped actual values move their entries elsewhere in the order, which leaves the
    // nominal keys unsorted.
    std::uniform_int_distribution<int> index(0, n - 1);
    for (int k = 0; k < misplaced; ++k)
        entries[static_cast<std::size_t>(index(rng))].actual += 500.0;
    std::stable_sort(entries.begin(), entries.end(), TEntryItem_Sort());
    return entries;
}

template <typename TMethod = TComparison>
void Run(benchmark::State &state, int misplaced, bool reuse = false)
{
    const int n = static_cast<int>(state.range(0));
    const std::vector<Type::TEntryItem> a = Make_Entries(n, 0.0, 1, misplaced);
    const std::vector<Type::TEntryItem> b = Make_Entries(n, 5.0, 2, misplaced);
    Type::TOptions options;
    options.remove_deviations = true;
    TMethod kept;
    for (auto _ : state) {
        if (reuse) {
            // As a window member: the result vectors keep their capacity between runs.
            benchmark::DoNotOptimize(kept.Calculate(a, b, 2000.0, options));
            benchmark::DoNotOptimize(kept.Export_Rows().data());
        } else {
            TMethod comparison;
            benchmark::DoNotOptimize(comparison.Calculate(a, b, 2000.0, options));
            benchmark::DoNotOptimize(comparison.Export_Rows().data());
        }
    }
    state.SetLabel("2 x " + std::to_string(n) + " entries");
}

void BM_Comparison_Indexed(benchmark::State &state) { Run(state, 0); }

void BM_Comparison_Indexed_Reused(benchmark::State &state) { Run(state, 0, true); }

void BM_Comparison_Indexed_Unsorted_Keys(benchmark::State &state) { Run(state, 3); }

// The tests' plain reference method, for scale.
void BM_Comparison_Literal(benchmark::State &state) { Run<TLiteral_Comparison>(state, 0); }

// The report text of a whole comparison (export runs once per command, not per edit).
void BM_Report_Text(benchmark::State &state)
{
    const int n = static_cast<int>(state.range(0));
    Type::TOptions options;
    options.remove_deviations = true;
    TComparison comparison;
    comparison.Calculate(Make_Entries(n, 0.0, 1, 0), Make_Entries(n, 5.0, 2, 0), 2000.0, options);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            Report::Text(comparison.Export_Rows(), 2000.0, comparison.Data_B_Dev_Offset()));
    state.SetLabel("2 x " + std::to_string(n) + " entries");
}

} // namespace

BENCHMARK(BM_Comparison_Indexed)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Comparison_Indexed_Reused)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Comparison_Indexed_Unsorted_Keys)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
// The quadratic reference takes minutes at 2 x 100,000.
BENCHMARK(BM_Comparison_Literal)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Report_Text)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
