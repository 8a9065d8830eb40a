// Saving and loading comparison data files of 2 x 10,000 and 2 x 100,000 entries (the load as the
// program does it, through the byte reader, and with the conformant parser alone), and a load
// that also fills two entry widgets as the main window does; the checksum of a file of 300 MiB.
// Each benchmark reports the process's peak resident memory ("peak_MB"); as that peak never
// falls, run one benchmark per process to read it for that benchmark alone, e.g.
// --benchmark_filter='BM_Load_File/100000$'.

#include "bench_support.h"

#include "src/compute/comparisondocument.h"
#include "src/window/entrywidget.h"
#include "tests/reference/parsed_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUndoStack>

using namespace Bench;

namespace {

// Writes the file text directly, so that a load benchmark's peak memory is not that of building
// the document for the file.
bool Write_Test_File(const QString &file_name, int count)
{
    const DataFile::TContent content = Lab_Content(count);
    QByteArray text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<Quorval_Data File_Version=\"2\">\n"
                      "    <Data_Set_A_Offset>0.00000</Data_Set_A_Offset>\n"
                      "    <Data_Set_B_Offset>12.50000</Data_Set_B_Offset>\n";
    const auto add_set = [&text](const char *name, const std::vector<Type::TEntryItem> &items) {
        text += QByteArray("    <") + name + ">\n";
        for (const Type::TEntryItem &item : items) {
            text += "        <Entry>\n            <Nominal>" +
                    QByteArray::number(item.nominal, 'f', 5) + "</Nominal>\n            <Actual>" +
                    QByteArray::number(item.actual, 'f', 5) + "</Actual>\n            <Uc>" +
                    QByteArray::number(item.uc, 'f', 5) + "</Uc>\n        </Entry>\n";
        }
        text += QByteArray("    </") + name + ">\n";
    };
    add_set("Data_Set_A", content.entries_a);
    add_set("Data_Set_B", content.entries_b);
    text += "</Quorval_Data>\n";
    QFile file(file_name);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

void Report(benchmark::State &state, const QString &file_name)
{
    Report_Peak(state);
    state.counters["file_MB"] = static_cast<double>(QFile(file_name).size()) / (1024.0 * 1024.0);
}

void BM_Save_File(benchmark::State &state)
{
    const DataFile::TContent content = Lab_Content(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    const QString file_name = dir.filePath("bench.quorval");
    for (auto _ : state) {
        QString error;
        if (!DataFile::Save_File(file_name, content, &error))
            state.SkipWithError(qPrintable(error));
    }
    Report(state, file_name);
}
BENCHMARK(BM_Save_File)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Loads the file of the benchmark's size with load(file_name, &content, &error).
template <typename TLoad> void Run_Load(benchmark::State &state, TLoad load)
{
    QTemporaryDir dir;
    const QString file_name = dir.filePath("bench.quorval");
    QString error;
    if (!Write_Test_File(file_name, static_cast<int>(state.range(0))))
        state.SkipWithError("cannot write the test file");
    for (auto _ : state) {
        DataFile::TContent content;
        if (!load(file_name, &content, &error))
            state.SkipWithError(qPrintable(error));
        benchmark::DoNotOptimize(content.entries_b.data());
    }
    Report(state, file_name);
}

void BM_Load_File(benchmark::State &state)
{
    Run_Load(state, [](const QString &file_name, DataFile::TContent *content, QString *error) {
        return DataFile::Load_File(file_name, content, error);
    });
}
BENCHMARK(BM_Load_File)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The checksum of a file of 300 MiB (any bytes) as the record asks for it, read and hashed.
void BM_Checksum_Of_File(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file_name = dir.filePath("bench.bin");
    QFile file(file_name);
    const QByteArray block(1 << 20, 'q');
    bool written = file.open(QIODevice::WriteOnly);
    for (int i = 0; written && i < 300; ++i)
        written = file.write(block) == block.size();
    file.close();
    if (!written)
        state.SkipWithError("cannot write the test file");
    for (auto _ : state)
        if (DataFile::Checksum_Of_File(file_name).isEmpty())
            state.SkipWithError("cannot hash the test file");
    Report(state, file_name);
}
BENCHMARK(BM_Checksum_Of_File)->Unit(benchmark::kMillisecond);

// The conformant parser alone, as the documents that the byte reader does not take are read.
void BM_Load_Parsed_File(benchmark::State &state) { Run_Load(state, Reference::Load_Parsed_File); }
BENCHMARK(BM_Load_Parsed_File)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The load as the main window does it, without the comparison: read the file into the document
// that both entry lists show, then take the entries sorted as the comparison does.
void BM_Load_Into_Widgets(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file_name = dir.filePath("bench.quorval");
    QString error;
    if (!Write_Test_File(file_name, static_cast<int>(state.range(0))))
        state.SkipWithError("cannot write the test file");
    TComparisonDocument document;
    QUndoStack stack;
    TEntryWidget widget_a;
    TEntryWidget widget_b;
    widget_a.Set_Document(&document, TComparisonDocument::SET_A, &stack);
    widget_b.Set_Document(&document, TComparisonDocument::SET_B, &stack);
    for (auto _ : state) {
        DataFile::TContent content;
        if (!DataFile::Load_File(file_name, &content, &error))
            state.SkipWithError(qPrintable(error));
        document.Load(std::move(content), file_name, QString());
        TComparisonDocument::TEntries sorted_a;
        TComparisonDocument::TEntries sorted_b;
        benchmark::DoNotOptimize(
            document.Sorted_Entries(TComparisonDocument::SET_A, &sorted_a).size() +
            document.Sorted_Entries(TComparisonDocument::SET_B, &sorted_b).size());
    }
    Report(state, file_name);
}
BENCHMARK(BM_Load_Into_Widgets)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) { return Run_With_Application(argc, argv); }
