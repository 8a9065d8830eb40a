#include "src/documents/svgdevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSize>

namespace {

using TMake = QPaintDevice *(*)(QIODevice *, const QSize *, int, const QString *);
using TRelease = void (*)(QPaintDevice *);

struct TModule
{
    TMake make = nullptr;
    TRelease release = nullptr;
    QString error;
};

const TModule &Module()
{
    static const TModule module = [] {
        TModule loaded;
        const QDir program(QCoreApplication::applicationDirPath());
        const QStringList folders = {program.path(), program.filePath(".."),
                                     program.filePath(QUORVAL_MODULE_FOLDER)};
        for (const QString &folder : folders) {
            const QString file = QDir(folder).filePath("libquorval-svg.so");
            if (!QFileInfo::exists(file))
                continue;
            // Loaded for the rest of the run: a QLibrary does not unload when it goes.
            QLibrary library(file);
            const auto make = reinterpret_cast<TMake>(library.resolve("quorval_svg_device"));
            const auto release = reinterpret_cast<TRelease>(library.resolve("quorval_svg_release"));
            if (make != nullptr && release != nullptr) {
                loaded.make = make;
                loaded.release = release;
            } else {
                loaded.error = library.errorString();
            }
            return loaded;
        }
        loaded.error = QStringLiteral("the SVG module libquorval-svg.so is not installed beside "
                                      "the program");
        return loaded;
    }();
    return module;
}

} // namespace

TSvgDevice::TSvgDevice(QIODevice *output, const QSize &size, int resolution, const QString &title)
    : d_device(nullptr)
{
    const TModule &module = Module();
    if (module.make == nullptr) {
        d_error = module.error;
        return;
    }
    d_device = module.make(output, &size, resolution, &title);
}

TSvgDevice::~TSvgDevice()
{
    if (d_device != nullptr)
        Module().release(d_device);
}
