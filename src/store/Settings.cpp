#include "store/Settings.h"

#include <QSettings>

namespace store {

namespace {
// Written without a group: Qt keeps such a key in the [General] section.
const QString kPhotoDir = QStringLiteral("PhotoDir");
} // namespace

Settings::Settings()
    : m_settings(std::make_unique<QSettings>(QStringLiteral("Orvane 3"), QStringLiteral("Orvane 3")))
{
}

Settings::Settings(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

Settings::~Settings() = default;

QString Settings::photoDir(const QString &defaultValue) const
{
    return m_settings->value(kPhotoDir, defaultValue).toString();
}

void Settings::setPhotoDir(const QString &path)
{
    m_settings->setValue(kPhotoDir, path);
    m_settings->sync();
}

} // namespace store
