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
    "  --version      show the version\n"
    "Qt's standard options (-platform NAME, -style NAME, -reverse, ...) are accepted too.\n";

enum class TStart { Window, Done, Usage_Error };

// --help and --version are answered before the window system is opened, so without a display.
TStart Answer_Help(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "-h" || argument == "--help") {
            std::fputs(Usage, stdout);
            return TStart::Done;
        }
        if (argument == "--version") {
            std::puts("quorval " QUORVAL_VERSION);
            return TStart::Done;
        }
    }
    return TStart::Window;
}

// Whether one of Qt's options (-style, -platform) is given, in any of Qt's spellings.
bool Qt_Option_Given(int argc, char *argv[], const QByteArray &name)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        for (const QByteArray &dashes : {QByteArray("-"), QByteArray("--")})
            if (argument == dashes + name || argument.startsWith(dashes + name + '='))
                return true;
    }
    return false;
}

// What is left once QApplication took Qt's own options: the file and Quorval's options.
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
    if (Answer_Help(argc, argv) == TStart::Done)
        return 0;
    // Saving beyond the file-size limit then fails with a message and the entries stay open.
    SafeWrite::Ignore_File_Size_Signal();
    // The program's own style unless Qt's option chose one.
    const bool style_given = Qt_Option_Given(argc, argv, "style");
    QString file_name;
    // Without any display Qt could not start to take its options: a wrong command line is
    // answered as it stands.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !Qt_Option_Given(argc, argv, "platform") &&
        Read_Command_Line(argc, argv, &file_name) == TStart::Usage_Error)
        return 2;
    // QApplication takes Qt's standard options out of the arguments first.
    QApplication *application = new QApplication(argc, argv);
    const TStart start = Read_Command_Line(argc, argv, &file_name);
    if (start != TStart::Window) {
        delete application;
        return start == TStart::Done ? 0 : 2;
    }
    if (!style_given)
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
