#include "ui/LayoutSettings.h"

#include <QSettings>

namespace ui {

LayoutSettings::LayoutSettings()
    : m_settings(std::make_unique<QSettings>(QStringLiteral("photoseries"), QStringLiteral("photoseries")))
{
}

LayoutSettings::LayoutSettings(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

LayoutSettings::~LayoutSettings() = default;

QByteArray LayoutSettings::geometry(const QString &window) const
{
    return m_settings->value(window + QStringLiteral("/geometry")).toByteArray();
}

void LayoutSettings::setGeometry(const QString &window, const QByteArray &geometry)
{
    m_settings->setValue(window + QStringLiteral("/geometry"), geometry);
}

int LayoutSettings::columnWidth(const QString &window, const QString &field) const
{
    return m_settings->value(window + QStringLiteral("/columns/") + field, 0).toInt();
}

void LayoutSettings::setColumnWidth(const QString &window, const QString &field, int width)
{
    m_settings->setValue(window + QStringLiteral("/columns/") + field, width);
}

QVariant LayoutSettings::value(const QString &window, const QString &name, const QVariant &defaultValue) const
{
    return m_settings->value(window + QLatin1Char('/') + name, defaultValue);
}

void LayoutSettings::setValue(const QString &window, const QString &name, const QVariant &value)
{
    m_settings->setValue(window + QLatin1Char('/') + name, value);
}

} // namespace ui
