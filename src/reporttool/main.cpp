#include "core/base/safewrite.h"
#include "src/reporttool/reporttool.h"

#include <QApplication>
#include <QCoreApplication>

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

} // namespace

int main(int argc, char *argv[])
{
    // A file-size limit then makes a write fail with a message instead of killing the tool.
    SafeWrite::Ignore_File_Size_Signal();
    // Only the plot and the record need the graph widgets and so a QApplication; without a display
    // that uses Qt's offscreen platform instead of failing.
    std::unique_ptr<QCoreApplication> application;
    if (TReportTool::Wants_Graphs(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const QtMessageHandler previous = qInstallMessageHandler(Quiet_Start_Up);
        application = std::make_unique<QApplication>(argc, argv);
        qInstallMessageHandler(previous);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName("quorval-report");
    QCoreApplication::setApplicationVersion(QUORVAL_VERSION);
    return TReportTool::Run(QCoreApplication::arguments(), stdout, stderr);
}
