#pragma once

#include "store/Result.h"

#include <QString>

#include <memory>

class QSettings;

namespace store {

// The one per-user setting: the image root path, key "PhotoDir" of application "Orvane 3",
// section "General".
class Settings final
{
public:
    // The user's own settings store.
    Settings();
    // A settings file of its own (tests).
    explicit Settings(const QString &iniFile);
    ~Settings();

    QString photoDir(const QString &defaultValue) const;
    // Writes the path through to the file at once. Fails with why the settings file could not be
    // written (the text names the file).
    Result<> setPhotoDir(const QString &path);

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace store
