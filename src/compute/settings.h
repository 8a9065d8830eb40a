#ifndef QUORVAL_SRC_COMPUTE_SETTINGS_H
#define QUORVAL_SRC_COMPUTE_SETTINGS_H

#include <QPoint>
#include <QSettings>
#include <QSize>
#include <QString>

// Typed reading of the window's settings. A value that is missing or cannot be read as the key's
// type (a damaged or hand-edited file) gives the key's default, never some other value.
namespace Settings {

// "true" and "false" as the window writes them (any case, and "1" and "0"), or a stored bool.
bool Read_Bool(const QSettings &settings, const QString &key, bool default_value);
// A finite number as text in the C locale (as the window writes it), or a stored number.
double Read_Double(const QSettings &settings, const QString &key, double default_value);
// A whole number as text or a stored one.
int Read_Int(const QSettings &settings, const QString &key, int default_value);
// "@Point(x y)" and "@Size(w h)" as the window writes them.
QPoint Read_Point(const QSettings &settings, const QString &key, const QPoint &default_value);
QSize Read_Size(const QSettings &settings, const QString &key, const QSize &default_value);
// Plain text; a list (unquoted text with a comma) or any typed value is not a string.
QString Read_String(const QSettings &settings, const QString &key, const QString &default_value);

} // namespace Settings

#endif
