#include "core/base/safewrite.h"
#include "src/window/quorval.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

const char *const Usage =
    "Usage: quorval [FILE.quorval]\n"
    "Compares two calibrations of a length standard by their normalised error En.\n"
    "Opens FILE, a Quorval data file, at start when it is given.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this usage\n"
    "  --version      show the version\n";

enum class TStart { Window, Done, Usage_Error };

// The command line is read before the window system is opened, so that --help, --version and a
// wrong command line are answered without a display.
TStart Read_Command_Line(int argc, char *argv[], QString *file_name)
{
    bool options = true;
    bool file_given = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "-h" || argument == "--help")) {
            std::fputs(Usage, stdout);
            return TStart::Done;
        } else if (options && argument == "--version") {
            std::puts("quorval " QUORVAL_VERSION);
            return TStart::Done;
        } else if (options && argument.startsWith('-')) {
            std::fprintf(stderr, "quorval: unknown option '%s'\n\n%s", argv[i], Usage);
            return TStart::Usage_Error;
        } else if (file_given || argument.isEmpty()) {
            std::fprintf(stderr, "quorval: %s\n\n%s",
                         file_given ? "only one file can be opened" : "the file name is empty",
                         Usage);
            return TStart::Usage_Error;
        } else {
            *file_name = QFileInfo(QFile::decodeName(argument)).absoluteFilePath();
            file_given = true;
        }
    }
    return TStart::Window;
}

} // namespace

int main(int argc, char *argv[])
{
    QString file_name;
    switch (Read_Command_Line(argc, argv, &file_name)) {
    case TStart::Window: break;
    case TStart::Done: return 0;
    case TStart::Usage_Error: return 2;
    }
    // Saving beyond the file-size limit then fails with a message and the entries stay open.
    SafeWrite::Ignore_File_Size_Signal();
    // Qt sees the program name only: every argument was Quorval's own.
    int qt_argc = 1;
    QApplication *application = new QApplication(qt_argc, argv);
    QApplication::setStyle(QStyleFactory::create("fusion"));
    QApplication::setWindowIcon(QIcon(":/icons/quorval.png"));

    TQuorval *window = new TQuorval(nullptr, Qt::WindowFlags());
    window->show();
    // Opened once the window is up, so that an error box stands in front of it.
    if (!file_name.isEmpty())
        QTimer::singleShot(0, window, [window, file_name]() { window->Open_Data_File(file_name); });
    const int result = application->exec();

    delete window;
    delete application;
    return result;
}
