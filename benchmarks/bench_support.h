#ifndef QUORVAL_BENCHMARKS_BENCH_SUPPORT_H
#define QUORVAL_BENCHMARKS_BENCH_SUPPORT_H

// Data and start-up shared by the benchmarks that need data files or a Qt application.

#include "src/compute/datafile.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include <sys/resource.h>

namespace Bench {

// Entries as a laboratory would have them: nominal steps of 0.5 mm, small deviations.
inline std::vector<Type::TEntryItem> Lab_Entries(int count, double offset)
{
    std::vector<Type::TEntryItem> items;
    items.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        Type::TEntryItem item;
        item.nominal = 0.5 * (i + 1) + offset;
        item.actual = item.nominal + 1e-4 * std::sin(0.1 * i);
        item.uc = 0.0005 + 1e-6 * i;
        items.push_back(item);
    }
    return items;
}

// Two sets of count lab entries, set B placed 12.5 mm along.
inline DataFile::TContent Lab_Content(int count)
{
    DataFile::TContent content;
    content.entries_a = Lab_Entries(count, 0.0);
    content.entries_b = Lab_Entries(count, 12.5);
    content.offset_a = 0.0;
    content.offset_b = 12.5;
    return content;
}

// Saves content as a data file; the name, or an empty string when it cannot be written.
inline QString Save_Data_File(const QString &file_name, const DataFile::TContent &content)
{
    QString error;
    return DataFile::Save_File(file_name, content, &error) ? file_name : QString();
}

// The process's peak resident memory so far. As that peak never falls, run one benchmark per
// process to read it for that benchmark alone.
inline void Report_Peak(benchmark::State &state)
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A main for benchmarks that need a QApplication: offscreen unless a platform is chosen.
inline int Run_With_Application(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

} // namespace Bench

#endif
