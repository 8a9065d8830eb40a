// Importing entries from a text file: reading and checking 100,000 lines, and the window's whole
// import of them into set B (read, parse, the lists, the comparison with 100,000 entries of set A
// and both graphs), as File > Import Set B does after its dialog.
//   QT_QPA_PLATFORM=offscreen ./bench_import

#include "bench_support.h"

#include "src/compute/entrytext.h"
#include "src/window/quorval.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

using namespace Bench;

namespace {

// Lab entries as a spreadsheet exports them: semicolons, decimal commas, a header line.
QString Write_Import_File(const QString &folder, int count)
{
    QString text = EntryText::Entries_Text(Lab_Entries(count, 0.25));
    text.replace('.', ',').replace('\t', ';');
    const QString file_name = folder + "/import.csv";
    QFile file(file_name);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray("Nominal;Actual;Uc (k=2)\r\n") + text.toUtf8()) < 0)
        std::abort();
    return file_name;
}

void BM_Read_File(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString file_name = Write_Import_File(folder.path(), static_cast<int>(state.range(0)));
    for (auto _ : state) {
        EntryText::TParsed parsed;
        QString reason;
        if (!EntryText::Read_File(file_name, &parsed, &reason) || !parsed.Accepted())
            std::abort();
        benchmark::DoNotOptimize(parsed.entries.data());
    }
}
BENCHMARK(BM_Read_File)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_Window_Import(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir folder;
    const QString file_name = Write_Import_File(folder.path(), count);
    const QString data_file = Save_Data_File(folder.path() + "/data.quorval", Lab_Content(count));
    std::unique_ptr<TQuorval> window(new TQuorval(nullptr, Qt::WindowFlags()));
    window->show();
    QApplication::processEvents();
    if (!window->Load_Data(data_file))
        std::abort();
    for (auto _ : state) {
        if (!window->Import_Data(file_name, true))
            std::abort();
        QApplication::processEvents();
    }
    if (window->Export_Rows().empty())
        std::abort();
    Report_Peak(state);
}
BENCHMARK(BM_Window_Import)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    return Run_With_Application(argc, argv);
}
