#include "store/Settings.h"

#include <QDir>
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

Result<> Settings::setPhotoDir(const QString &path)
{
    m_settings->setValue(kPhotoDir, path);
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return done();
    return fail(QStringLiteral("The image location could not be saved in the settings file %1: the file cannot be "
                               "written. The location shown is used until the program ends, but the next start will "
                               "not know it.")
                    .arg(QDir::toNativeSeparators(m_settings->fileName())));
}

} // namespace store
