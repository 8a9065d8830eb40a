// The road from a data file to both drawn graphs, without the entry lists: reading the file, the
// comparison's inputs, the comparison, both graph scenes, and two shown graph widgets of the
// window's size painted on the offscreen platform. BM_Open runs it on 2 x N generated entries.
// bench_open --open=FILE runs it once on FILE and prints each step's time and the resident
// memory after it, and the process's peak: compare its total with `quorval-report FILE -o
// /dev/null` under /usr/bin/time -v.
#include "bench_support.h"

#include "core/widgets/graphwidget.h"
#include "src/compute/comparison.h"
#include "src/documents/comparisongraphs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace Bench;

namespace {

// The resident memory now and at its peak, in MiB, from the kernel's account of the process.
void Memory(double *now, double *peak)
{
    *now = *peak = 0.0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n')) {
        double *target = line.startsWith("VmRSS:")   ? now
                         : line.startsWith("VmHWM:") ? peak
                                                     : nullptr;
        if (target != nullptr)
            *target = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
}

struct TOpened
{
    TComparison comparison;
    std::unique_ptr<TGraphWidget> deviation{new TGraphWidget};
    std::unique_ptr<TGraphWidget> en{new TGraphWidget};
};

// Each step of the open; step, when given, hears each one's name once it is done.
bool Open(const QString &file_name, TOpened *opened,
          const std::function<void(const char *)> &step = {})
{
    const auto Done = [&step](const char *name) {
        if (step)
            step(name);
    };
    EntryLists::TInputs inputs;
    Type::TOptions options;
    {
        DataFile::TContent content;
        QString error;
        if (!DataFile::Load_File(file_name, &content, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return false;
        }
        Done("read file");
        options = DataFile::Options_Of(content, options);
        inputs = EntryLists::Inputs_Of(DataFile::Lists_Of(content));
    }
    Done("inputs");
    if (!opened->comparison.Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b, options))
        return false;
    inputs = EntryLists::TInputs();
    Done("comparison");
    ComparisonGraphs::TScenes scenes = ComparisonGraphs::Scenes_Of(opened->comparison);
    Done("scenes");
    for (TGraphWidget *graph : {opened->deviation.get(), opened->en.get()}) {
        graph->resize(1200, 330);
        graph->show();
    }
    opened->deviation->Set_Scene(std::move(scenes.deviation));
    opened->en->Set_Scene(std::move(scenes.en));
    // As the window fits them: each to its data, then both over the lengths of both.
    opened->deviation->Update_Viewport_To_Data();
    opened->en->Update_Viewport_To_Data();
    const TGraphView deviation = opened->deviation->View();
    const TGraphView en = opened->en->View();
    for (TGraphWidget *graph : {opened->deviation.get(), opened->en.get()}) {
        graph->Set_Horizontal_Range(std::min(deviation.x_low, en.x_low),
                                    std::max(deviation.x_high, en.x_high));
        graph->repaint();
    }
    QApplication::processEvents();
    Done("graphs drawn");
    return true;
}

void BM_Open(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString file_name = Save_Data_File(folder.path() + QStringLiteral("/data.quorval"),
                                             Lab_Content(static_cast<int>(state.range(0))));
    if (file_name.isEmpty())
        std::abort();
    for (auto _ : state) {
        TOpened opened;
        if (!Open(file_name, &opened))
            std::abort();
    }
    Report_Peak(state);
}
BENCHMARK(BM_Open)->Arg(100000)->Unit(benchmark::kMillisecond);

int Open_Once(int argc, char **argv, const QString &file_name)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    TOpened opened;
    const bool done = Open(file_name, &opened, [&](const char *name) {
        double now = 0.0;
        double peak = 0.0;
        Memory(&now, &peak);
        const qint64 at = clock.elapsed();
        std::printf("%-14s %7lld ms  resident %7.1f MiB  peak %7.1f MiB\n", name,
                    static_cast<long long>(at - last), now, peak);
        last = at;
    });
    std::printf("total %lld ms, %zu rows\n", static_cast<long long>(clock.elapsed()),
                opened.comparison.Export_Rows().size());
    return done ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--open=", 7) == 0)
            return Open_Once(argc, argv, QString::fromLocal8Bit(argv[i] + 7));
    return Run_With_Application(argc, argv);
}
