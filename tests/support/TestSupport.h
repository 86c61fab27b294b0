#pragma once

#include "store/Settings.h"
#include "store/Store.h"
#include "ui/Messages.h"

#include <QQueue>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QVector>

#include <memory>

namespace testing {

// Records every message and answers questions from a script (Yes when the script is empty).
class ScriptedMessages final : public ui::Messages
{
public:
    struct Shown
    {
        ui::Message message;
        bool question = false;
    };

    void tell(const ui::Message &message) override;
    bool ask(const ui::Message &message) override;

    void answerNext(bool yes) { m_answers.enqueue(yes); }
    QStringList texts() const;
    const Shown &last() const { return m_shown.last(); }
    int count() const { return int(m_shown.size()); }
    void clear() { m_shown.clear(); }

private:
    QVector<Shown> m_shown;
    QQueue<bool> m_answers;
};

// A temporary program directory with its own settings file, optionally holding the shipped
// code files, and helpers to put rows into its store.
class ProgramDir
{
public:
    ProgramDir();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString storePath() const { return filePath(QStringLiteral("Photo3.mdb")); }
    store::Settings &settings() { return *m_settings; }
    QString settingsFile() const { return filePath(QStringLiteral("settings.ini")); }

    // Copies Vegcodes.txt and Actcodes.txt of the shipped data.
    void copyCodeFiles();
    void writeFile(const QString &name, const QByteArray &bytes);

    // Opens (creating when new) the store; fails the test on error.
    store::Store &store();
    void closeStore() { m_store.reset(); }

    // Inserts a book and returns its ID. Fields not given stay at the store's default.
    qint64 addBook(const QVariantMap &fields);
    qint64 addBook(const QString &label, bool locked = false, bool active = false);
    qint64 addPhoto(qint64 bookId, const QVariantMap &fields = {});

    // Values of one query, first column of every row.
    QVariantList column(const QString &sql);
    QVariant scalar(const QString &sql);

private:
    qint64 insert(const QString &table, const QVariantMap &fields);

    QTemporaryDir m_dir;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<store::Store> m_store;
};

} // namespace testing
