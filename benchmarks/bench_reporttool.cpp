// The report tool's work on data files of 2 x 10,000 and 2 x 100,000 entries: the file read alone
// against the whole run without the plot (read, compare, report text, CSV text), and the plot.
// Run one benchmark per process to read its peak memory ("peak_MB").
//
//   bench_reporttool --write-files=DIR   writes DIR/report_10000.quorval and
//                                        DIR/report_100000.quorval for timing the program itself
//                                        (e.g. /usr/bin/time -v quorval-report FILE -o /dev/null).

#include "bench_support.h"

#include "src/compute/comparisondocument.h"
#include "src/compute/report.h"
#include "src/reporttool/reporttool.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

using namespace Bench;

namespace {

// Set A every 2.5 mm, set B between them 1.25 mm away, so that no position merges: 2 x count
// comparison positions, most covered by both sets. Small deviations and uncertainties growing
// with length, as in a calibration of a long scale.
DataFile::TContent Make_Content(int count)
{
    DataFile::TContent content;
    content.offset_a = 0.0;
    content.offset_b = 12.5;
    for (int i = 0; i < count; ++i) {
        Type::TEntryItem a;
        a.nominal = 2.5 * i;
        a.actual = a.nominal + 1e-4 * std::sin(0.01 * i);
        a.uc = 0.0005 + 1e-8 * i;
        content.entries_a.push_back(a);
        Type::TEntryItem b;
        b.nominal = 2.5 * i + 1.25 + content.offset_b;
        b.actual = b.nominal + 1e-4 * std::cos(0.013 * i);
        b.uc = 0.0007 + 1e-8 * i;
        content.entries_b.push_back(b);
    }
    return content;
}

QString Write_File(const QString &folder, int count)
{
    return Save_Data_File(QDir(folder).filePath(QStringLiteral("report_%1.quorval").arg(count)),
                          Make_Content(count));
}

// Writes the file of the benchmark's size into dir, or marks the benchmark failed.
QString Benchmark_File(benchmark::State &state, const QTemporaryDir &dir)
{
    const QString file_name = Write_File(dir.path(), static_cast<int>(state.range(0)));
    if (file_name.isEmpty())
        state.SkipWithError("cannot write the test file");
    return file_name;
}

DataFile::TContent Load(benchmark::State &state, const QString &file_name)
{
    DataFile::TContent content;
    QString error;
    if (!DataFile::Load_File(file_name, &content, &error))
        state.SkipWithError(qPrintable(error));
    return content;
}

// The comparison the tool runs by default: alignment on.
void Compare(const EntryLists::TInputs &inputs, TComparison *comparison)
{
    comparison->Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b,
                          Type::TOptions{true});
}

void BM_Read_File(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file_name = Benchmark_File(state, dir);
    for (auto _ : state)
        benchmark::DoNotOptimize(Load(state, file_name).entries_b.data());
    Report_Peak(state);
}
BENCHMARK(BM_Read_File)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Whole_Run_Without_Plot(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file_name = Benchmark_File(state, dir);
    for (auto _ : state) {
        const EntryLists::TInputs inputs =
            TComparisonDocument::Inputs_Of(Load(state, file_name));
        TComparison comparison;
        Compare(inputs, &comparison);
        const QByteArray report =
            Report::Text(comparison.Export_Rows(), inputs.offset_b, comparison.Data_B_Dev_Offset());
        const QByteArray csv = TReportTool::Csv_Text(comparison.Export_Rows());
        benchmark::DoNotOptimize(report.size() + csv.size());
    }
    Report_Peak(state);
}
BENCHMARK(BM_Whole_Run_Without_Plot)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Png_Plot(benchmark::State &state)
{
    TComparison comparison;
    Compare(
        TComparisonDocument::Inputs_Of(Make_Content(static_cast<int>(state.range(0)))),
        &comparison);
    for (auto _ : state) {
        QByteArray data;
        QString error;
        if (!ComparisonGraphs::Render_Plot(comparison, ComparisonGraphs::TLegendTexts(),
                                           ComparisonGraphs::PLOT_PNG, QSize(1000, 800),
                                           TReportTool::Version_Text, &data, &error))
            state.SkipWithError(qPrintable(error));
        benchmark::DoNotOptimize(data.size());
    }
    Report_Peak(state);
}
BENCHMARK(BM_Png_Plot)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--write-files=", 14) == 0) {
            const QString folder = QString::fromLocal8Bit(argv[i] + 14);
            for (int count : {10000, 100000}) {
                const QString file_name = Write_File(folder, count);
                if (file_name.isEmpty()) {
                    std::fprintf(stderr, "cannot write the %d entry file into %s\n", count,
                                 argv[i] + 14);
                    return 1;
                }
                std::printf("%s\n", qPrintable(file_name));
            }
            return 0;
        }
    }
    return Run_With_Application(argc, argv);
}
