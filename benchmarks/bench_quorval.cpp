// The main window on the offscreen platform: Update for 2 x 10,000 entries (reading the entry
// widgets, the comparison, filling and rendering both graphs), and what the Open command does
// after its dialog (reading the file, filling the entry widgets, the Updates) for 2 x 10,000 and
// 2 x 100,000 entries. Each benchmark reports the process's peak resident memory ("peak_MB"); run
// one benchmark per process to read it for that benchmark alone, e.g.
//   QT_QPA_PLATFORM=offscreen ./bench_quorval --benchmark_filter='BM_File_Load/100000$'

#include "bench_support.h"

#include "src/quorval.h"

#include <QMetaObject>
#include <QTemporaryDir>

#include <cstdlib>
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

// Load_Data (which runs Update once per offset it sets), Update once more, the flag cleared: the
// Open command after its dialog.
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

} // namespace

int main(int argc, char **argv)
{
    // The window reads and creates its settings below the home directory: keep them away from
    // the real ones.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    return Run_With_Application(argc, argv);
}
