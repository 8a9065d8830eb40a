#include "src/compute/settings.h"

#include <QVariant>

namespace {

// The stored value when it has the given type, or nothing.
QVariant Value_Of_Type(const QSettings &settings, const QString &key, int type)
{
    const QVariant value = settings.value(key);
    return value.userType() == type ? value : QVariant();
}

} // namespace

namespace Settings {

bool Read_Bool(const QSettings &settings, const QString &key, bool default_value)
{
    const QVariant value = settings.value(key);
    if (value.userType() == QMetaType::Bool)
        return value.toBool();
    if (value.userType() != QMetaType::QString)
        return default_value;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return default_value;
}

QPoint Read_Point(const QSettings &settings, const QString &key, const QPoint &default_value)
{
    const QVariant value = Value_Of_Type(settings, key, QMetaType::QPoint);
    return value.isValid() ? value.toPoint() : default_value;
}

QSize Read_Size(const QSettings &settings, const QString &key, const QSize &default_value)
{
    const QVariant value = Value_Of_Type(settings, key, QMetaType::QSize);
    return value.isValid() ? value.toSize() : default_value;
}

QString Read_String(const QSettings &settings, const QString &key, const QString &default_value)
{
    const QVariant value = Value_Of_Type(settings, key, QMetaType::QString);
    return value.isValid() ? value.toString() : default_value;
}

} // namespace Settings
