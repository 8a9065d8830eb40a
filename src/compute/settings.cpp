#include "src/compute/settings.h"

#include <QVariant>

#include <cmath>

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

double Read_Double(const QSettings &settings, const QString &key, double default_value)
{
    const QVariant value = settings.value(key);
    bool ok = false;
    double number = 0.0;
    if (value.userType() == QMetaType::Double)
        number = value.toDouble(&ok);
    else if (value.userType() == QMetaType::QString)
        number = value.toString().trimmed().toDouble(&ok);
    return ok && std::isfinite(number) ? number : default_value;
}

int Read_Int(const QSettings &settings, const QString &key, int default_value)
{
    const QVariant value = settings.value(key);
    bool ok = false;
    int number = 0;
    if (value.userType() == QMetaType::Int)
        number = value.toInt(&ok);
    else if (value.userType() == QMetaType::QString)
        number = value.toString().trimmed().toInt(&ok);
    return ok ? number : default_value;
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
