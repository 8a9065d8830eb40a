#ifndef QUORVAL_SRC_DOCUMENTS_SVGDEVICE_H
#define QUORVAL_SRC_DOCUMENTS_SVGDEVICE_H

#include <QString>

class QIODevice;
class QPaintDevice;
class QSize;

// A paint device that writes SVG into output, from the SVG module (src/svgmodule). Qt Svg links
// Qt Widgets, which the report tool keeps out of its process unless an SVG file is drawn, so the
// module is loaded on first use: from the program's folder, the one above it (the tests' and
// benchmarks' folders lie inside the build folder) or the installed module folder.
class TSvgDevice
{
public:
    TSvgDevice(QIODevice *output, const QSize &size, int resolution, const QString &title);
    ~TSvgDevice();
    TSvgDevice(const TSvgDevice &) = delete;
    TSvgDevice &operator=(const TSvgDevice &) = delete;

    // Null when the module cannot be loaded; Error() then says why.
    QPaintDevice *Device() const { return d_device; }
    const QString &Error() const { return d_error; }

private:
    QPaintDevice *d_device;
    QString d_error;
};

#endif
