#pragma once

#include "PgTestSupport.h"
#include "store/Settings.h"
#include "store/Store.h"
#include "ui/Messages.h"

#include <QQueue>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <QVector>

#include <memory>

// Checks for helpers that return bool: a failed check is recorded where it happened and the
// helper returns false, so the test function stops at once with QVERIFY(helper(...)) instead of
// carrying on in a broken state.
#define CHECK(condition)                                                                                               \
    do {                                                                                                               \
        if (!QTest::qVerify(static_cast<bool>(condition), #condition, "", __FILE__, __LINE__))                         \
            return false;                                                                                              \
    } while (false)
#define CHECK2(condition, message)                                                                                     \
    do {                                                                                                               \
        if (!QTest::qVerify(static_cast<bool>(condition), #condition, (message), __FILE__, __LINE__))                  \
            return false;                                                                                              \
    } while (false)
#define CHECK_COMPARE(actual, expected)                                                                                \
    do {                                                                                                               \
        if (!QTest::qCompare(actual, expected, #actual, #expected, __FILE__, __LINE__))                                \
            return false;                                                                                              \
    } while (false)

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
    ~ProgramDir();
    ProgramDir(const ProgramDir &) = delete;
    ProgramDir &operator=(const ProgramDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString storePath() const { return filePath(QStringLiteral("Photo3.mdb")); }
    // The store the test uses: storePath(), or in a suite's PostgreSQL variant a fresh database
    // of its own on the test server.
    QString storeLocation() const;
    bool onServer() const { return m_pg != nullptr; }
    store::Settings &settings() { return *m_settings; }
    QString settingsFile() const { return filePath(QStringLiteral("settings.ini")); }

    // Copies Vegcodes.txt and Actcodes.txt of the shipped data.
    [[nodiscard]] bool copyCodeFiles();
    [[nodiscard]] bool writeFile(const QString &name, const QByteArray &bytes);

    // Opens (creating when new) the store. A store that does not open fails the test; the
    // queries of the helpers below then fail too and report it.
    store::Store &store();
    void closeStore() { m_store.reset(); }

    // Inserts a book and returns its ID (-1, with the test failed, when the insert fails).
    // Fields not given stay at the store's default.
    qint64 addBook(const QVariantMap &fields);
    // Makes the store one written before labels were kept unique, which may hold equal labels.
    void allowEqualLabels();
    // Takes the per-book change counter out of the store, as in a store whose owner never
    // opened it with this version, or a server role that may not create it.
    void dropChangeCounter();
    qint64 addBook(const QString &label, bool locked = false, bool active = false);
    qint64 addPhoto(qint64 bookId, const QVariantMap &fields = {});

    // Values of one query, first column of every row.
    QVariantList column(const QString &sql);
    QVariant scalar(const QString &sql);

private:
    qint64 insert(const QString &table, const QVariantMap &fields);

    QTemporaryDir m_dir;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<PgDatabase> m_pg;
    std::unique_ptr<store::Store> m_store;
};

} // namespace testing
