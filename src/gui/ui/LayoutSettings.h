#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

namespace ui {

// The program's own per-user settings (organization and application "photoseries"): how the
// user left the windows, by window and, for grid columns, by field name. Kept apart from the
// image root's settings, which the analysis program shares.
class LayoutSettings final
{
public:
    LayoutSettings();
    // A settings file of its own (tests).
    explicit LayoutSettings(const QString &iniFile);
    ~LayoutSettings();

    QByteArray geometry(const QString &window) const;
    void setGeometry(const QString &window, const QByteArray &geometry);
    // 0 when the user never changed the column.
    int columnWidth(const QString &window, const QString &field) const;
    void setColumnWidth(const QString &window, const QString &field, int width);
    // Any other choice a window remembers, by window and name.
    QVariant value(const QString &window, const QString &name, const QVariant &defaultValue = {}) const;
    void setValue(const QString &window, const QString &name, const QVariant &value);

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace ui
