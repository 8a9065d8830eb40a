// The main window on the offscreen platform: Update for 2 x 10,000 entries (reading the entry
// widgets, the comparison, filling and rendering both graphs), and what the Open command does
// after its dialog (reading the file, filling the entry widgets, the Update) and one Update more
// for 2 x 10,000 and 2 x 100,000 entries. Each benchmark reports the process's peak resident memory
// ("peak_MB"); run one benchmark per process to read it for that benchmark alone, e.g.
//   QT_QPA_PLATFORM=offscreen ./bench_quorval --benchmark_filter='BM_File_Load/100000$'
// bench_quorval --open=FILE opens FILE once as the Open command does after its dialog (Load_Data,
// which reads the file, fills both lists and runs one comparison with both graphs), in a shown
// window, and prints the time of that open and the process's peak memory: for timing the open of
// a given file (such as the report tool benchmark's 2 x 100,000 file) as a whole process.
// bench_quorval --graphs=FILE runs the road from FILE to both drawn graphs without the entry
// lists (reading, the comparison, both scenes, two graph widgets of the window's size painted),
// printing each step's time, the resident memory after it and the peak: compare its total with
// `quorval-report FILE -o /dev/null` under /usr/bin/time -v.

#include "bench_support.h"

#include "core/widgets/graphwidget.h"
#include "src/compute/comparisondocument.h"
#include "src/documents/comparisongraphs.h"
#include "src/window/entrywidget.h"
#include "src/window/quorval.h"

#include <QHBoxLayout>
#include <QUndoStack>

#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace Bench;

namespace {

QString Write_Data_File(const QString &folder, int count)
{
    const QString file_name =
        Save_Data_File(folder + QString("/data_%1.quorval").arg(count), Lab_Content(count));
    if (file_name.isEmpty())
        std::abort();
    return file_name;
}

// A shown window, so that both graphs have a size and render their background.
std::unique_ptr<TQuorval> Shown_Window()
{
    std::unique_ptr<TQuorval> window(new TQuorval(nullptr, Qt::WindowFlags()));
    window->show();
    QApplication::processEvents();
    return window;
}

void Run_Update(TQuorval *window)
{
    if (!QMetaObject::invokeMethod(window, "Update", Qt::DirectConnection))
        std::abort();
}

void BM_Update(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    const QString file_name = Write_Data_File(folder.path(), count);
    std::unique_ptr<TQuorval> window = Shown_Window();
    if (!window->Load_Data(file_name))
        std::abort();
    for (auto _ : state)
        Run_Update(window.get());
    if (window->Export_Rows().empty())
        std::abort();
    Report_Peak(state);
}
BENCHMARK(BM_Update)->Arg(10000)->Unit(benchmark::kMillisecond);

// Load_Data (reading the file, filling both lists, one Update with both graphs) and one Update
// more; the Open command after its dialog runs only the first (--open times that alone).
void BM_File_Load(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    const QString file_name = Write_Data_File(folder.path(), count);
    std::unique_ptr<TQuorval> window = Shown_Window();
    for (auto _ : state) {
        if (!window->Load_Data(file_name))
            std::abort();
        Run_Update(window.get());
        QApplication::processEvents();
    }
    if (window->Export_Rows().empty())
        std::abort();
    Report_Peak(state);
}
BENCHMARK(BM_File_Load)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Both entry lists of a document of two sets of count entries each, shown: the document takes
// the sets, the lists lay out their rows and paint the rows in view. Run one count per process
// to read its peak memory, e.g. --benchmark_filter='BM_Lists_Show/10000000$'.
void BM_Lists_Show(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    TComparisonDocument document;
    QUndoStack stack;
    QWidget window;
    QHBoxLayout *layout = new QHBoxLayout(&window);
    TEntryWidget *lists[2] = {new TEntryWidget(&window), new TEntryWidget(&window)};
    for (const int set : {TComparisonDocument::SET_A, TComparisonDocument::SET_B}) {
        lists[set]->Set_Document(&document, set, &stack);
        layout->addWidget(lists[set]);
    }
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        DataFile::TContent content = Lab_Content(count);
        state.ResumeTiming();
        document.Load(std::move(content), QString(), QString());
        QApplication::processEvents();
    }
    Report_Peak(state);
}
BENCHMARK(BM_Lists_Show)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The road from a file to both drawn graphs without the entry lists, step by step.
int Open_Graphs_Once(const QString &file_name)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    const auto Step = [&](const char *name) {
        QFile statm(QStringLiteral("/proc/self/statm"));
        const double pages =
            statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toDouble() : 0.0;
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%-13s %6lld ms  resident %7.1f MiB  peak %7.1f MiB\n", name,
                    static_cast<long long>(clock.elapsed() - last), pages * 4096 / 1048576.0,
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
        last = clock.elapsed();
    };
    DataFile::TContent content;
    QString error;
    if (!DataFile::Load_File(file_name, &content, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Step("read file");
    const Type::TOptions options = DataFile::Options_Of(content, Type::TOptions());
    EntryLists::TInputs inputs = TComparisonDocument::Inputs_Of(std::move(content));
    Step("inputs");
    TComparison comparison;
    comparison.Calculate(inputs.entries_a, inputs.entries_b, inputs.offset_b, options);
    inputs = EntryLists::TInputs();
    Step("comparison");
    ComparisonGraphs::TScenes scenes = ComparisonGraphs::Scenes_Of(comparison);
    Step("scenes");
    // As the window fits them: each to its data, then both over the lengths of both.
    TGraphWidget deviation;
    TGraphWidget en;
    deviation.Set_Scene(std::move(scenes.deviation));
    en.Set_Scene(std::move(scenes.en));
    for (TGraphWidget *graph : {&deviation, &en}) {
        graph->resize(1200, 330);
        graph->show();
        graph->Update_Viewport_To_Data();
    }
    const double low = std::min(deviation.View().x_low, en.View().x_low);
    const double high = std::max(deviation.View().x_high, en.View().x_high);
    for (TGraphWidget *graph : {&deviation, &en}) {
        graph->Set_Horizontal_Range(low, high);
        graph->repaint();
    }
    QApplication::processEvents();
    Step("graphs drawn");
    std::printf("total %lld ms, %zu rows\n", static_cast<long long>(clock.elapsed()),
                comparison.Export_Rows().size());
    return 0;
}

// The open of one file by the Open command, once.
int Open_Once(const QString &file_name)
{
    std::unique_ptr<TQuorval> window = Shown_Window();
    QElapsedTimer clock;
    clock.start();
    if (!window->Load_Data(file_name)) {
        std::fprintf(stderr, "%s\n", qPrintable(window->Last_Error()));
        return 1;
    }
    QApplication::processEvents();
    const qint64 elapsed = clock.elapsed();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("open %lld ms, %zu rows, peak %.1f MB\n", static_cast<long long>(elapsed),
                window->Export_Rows().size(), static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The window reads and creates its settings below the home directory: keep them away from
    // the real ones.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    for (int i = 1; i < argc; ++i) {
        const bool open = std::strncmp(argv[i], "--open=", 7) == 0;
        if (!open && std::strncmp(argv[i], "--graphs=", 9) != 0)
            continue;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication application(argc, argv);
        const QString file_name = QString::fromLocal8Bit(argv[i] + (open ? 7 : 9));
        return open ? Open_Once(file_name) : Open_Graphs_Once(file_name);
    }
    return Run_With_Application(argc, argv);
}
