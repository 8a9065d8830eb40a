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

#include "bench_support.h"

#include "src/compute/comparisondocument.h"
#include "src/window/entrywidget.h"
#include "src/window/quorval.h"

#include <QHBoxLayout>
#include <QUndoStack>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTemporaryDir>

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
        document.Load(std::move(content), QString(), DataFile::TFileStamp());
        QApplication::processEvents();
    }
    Report_Peak(state);
}
BENCHMARK(BM_Lists_Show)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The open of one file by the Open command, once.
int Open_Once(int argc, char **argv, const QString &file_name)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
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
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--open=", 7) == 0)
            return Open_Once(argc, argv, QString::fromLocal8Bit(argv[i] + 7));
    return Run_With_Application(argc, argv);
}
