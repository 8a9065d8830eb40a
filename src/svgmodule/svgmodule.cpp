// The SVG paint device, in a module of its own: Qt Svg brings Qt Widgets into the process, so the
// programs load it only when an SVG file is drawn (see src/documents/svgdevice).
#include <QIODevice>
#include <QPaintDevice>
#include <QRect>
#include <QSize>
#include <QString>
#include <QSvgGenerator>

extern "C" Q_DECL_EXPORT QPaintDevice *quorval_svg_device(QIODevice *output, const QSize *size,
                                                          int resolution, const QString *title)
{
    QSvgGenerator *generator = new QSvgGenerator;
    generator->setOutputDevice(output);
    generator->setSize(*size);
    generator->setViewBox(QRect(QPoint(0, 0), *size));
    generator->setResolution(resolution);
    generator->setTitle(*title);
    return generator;
}

extern "C" Q_DECL_EXPORT void quorval_svg_release(QPaintDevice *device) { delete device; }
