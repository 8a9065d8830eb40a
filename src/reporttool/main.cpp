#include "core/base/safewrite.h"
#include "src/reporttool/reporttool.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace {

// Start-up notes of the graphics platform (such as "XDG_RUNTIME_DIR not set") would stand
// between a script and the tool's own messages on standard error; only real errors pass.
void Quiet_Start_Up(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// The application object the outputs asked for need: Qt Gui for a plot or a record (drawn
// without a display on Qt's offscreen platform), Qt Core for the text report and the CSV.
std::unique_ptr<QCoreApplication> Application_For(const QStringList &arguments, int &argc,
                                                  char *argv[])
{
    TReportTool::TArguments parsed;
    QString error;
    if (!TReportTool::Parse_Arguments(arguments, &parsed, &error) || !TReportTool::Draws(parsed))
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QtMessageHandler previous = qInstallMessageHandler(Quiet_Start_Up);
    auto application = std::make_unique<QGuiApplication>(argc, argv);
    qInstallMessageHandler(previous);
    return application;
}

} // namespace

int main(int argc, char *argv[])
{
    // A file-size limit then makes a write fail with a message instead of killing the tool.
    SafeWrite::Ignore_File_Size_Signal();
    // The command line as Qt would read it, before any application object exists.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const std::unique_ptr<QCoreApplication> application = Application_For(arguments, argc, argv);
    QCoreApplication::setApplicationName("quorval-report");
    QCoreApplication::setApplicationVersion(QUORVAL_VERSION);
    return TReportTool::Run(arguments, stdout, stderr);
}
