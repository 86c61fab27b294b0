#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace testing {

void ScriptedMessages::tell(const ui::Message &message)
{
    m_shown.push_back({message, false});
}

bool ScriptedMessages::ask(const ui::Message &message)
{
    m_shown.push_back({message, true});
    return m_answers.isEmpty() ? true : m_answers.dequeue();
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const Shown &s : m_shown)
        out << s.message.text;
    return out;
}

ProgramDir::ProgramDir()
    : m_settings(std::make_unique<store::Settings>(m_dir.filePath(QStringLiteral("settings.ini"))))
{
    if (testingOnPostgres())
        m_pg = std::make_unique<PgDatabase>();
}

ProgramDir::~ProgramDir()
{
    // Every connection to the test's database goes before the database is dropped.
    m_store.reset();
}

QString ProgramDir::storeLocation() const
{
    return m_pg ? m_pg->url() : storePath();
}

bool ProgramDir::copyCodeFiles()
{
    for (const char *name : {"Vegcodes.txt", "Actcodes.txt"}) {
        const QString target = filePath(QLatin1String(name));
        QFile::remove(target);
        CHECK(QFile::copy(QStringLiteral(PHOTOSERIES_DATA_DIR "/") + QLatin1String(name), target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    return true;
}

bool ProgramDir::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(filePath(name));
    CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    CHECK(file.write(bytes) == bytes.size());
    return true;
}

store::Store &ProgramDir::store()
{
    if (!m_store) {
        if (m_pg && !m_pg->isValid())
            QTest::qFail(qPrintable(QStringLiteral("no test database: ") + m_pg->error()), __FILE__, __LINE__);
        m_store = std::make_unique<store::Store>(storeLocation());
        if (const auto opened = m_store->open(); !opened)
            QTest::qFail(qPrintable(QStringLiteral("store did not open: ") + opened.error()), __FILE__, __LINE__);
    }
    return *m_store;
}

qint64 ProgramDir::insert(const QString &table, const QVariantMap &fields)
{
    QStringList names = fields.keys();
    QStringList marks;
    for (int i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery q(store().db());
    const QString sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES RETURNING ID").arg(table)
                                        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING ID")
                                              .arg(table, names.join(','), marks.join(','));
    if (!q.prepare(sql)) {
        QTest::qFail(qPrintable(QStringLiteral("prepare failed: ") + q.lastError().text()), __FILE__, __LINE__);
        return -1;
    }
    for (const QString &name : names)
        q.addBindValue(fields.value(name));
    if (!q.exec() || !q.next()) {
        QTest::qFail(qPrintable(QStringLiteral("insert failed: ") + q.lastError().text()), __FILE__, __LINE__);
        return -1;
    }
    return q.value(0).toLongLong();
}

qint64 ProgramDir::addBook(const QVariantMap &fields)
{
    return insert(QStringLiteral("Books"), fields);
}

void ProgramDir::allowEqualLabels()
{
    QSqlQuery q(store().db());
    QVERIFY2(q.exec(QStringLiteral("DROP INDEX BooksLabelUnique")), qPrintable(q.lastError().text()));
}

void ProgramDir::dropChangeCounter()
{
    QSqlQuery q(store().db());
    QStringList statements{QStringLiteral("DROP FUNCTION BookVersionsRaiseBook() CASCADE"),
                           QStringLiteral("DROP FUNCTION BookVersionsRaisePhotos() CASCADE")};
    if (!onServer()) {
        statements.clear();
        QVERIFY(q.exec(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND name LIKE 'BookVersions%'")));
        while (q.next())
            statements << QStringLiteral("DROP TRIGGER %1").arg(q.value(0).toString());
    }
    statements << QStringLiteral("DROP TABLE BookVersions");
    for (const QString &sql : std::as_const(statements))
        QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
}

qint64 ProgramDir::addBook(const QString &label, bool locked, bool active)
{
    return addBook(QVariantMap{{"BookLabel", label},
                               {"BookDescription", label + QStringLiteral(" description")},
                               {"Locked", locked ? -1 : 0},
                               {"Active", active ? -1 : 0}});
}

qint64 ProgramDir::addPhoto(qint64 bookId, const QVariantMap &fields)
{
    QVariantMap all = fields;
    all.insert(QStringLiteral("BookID"), bookId);
    return insert(QStringLiteral("Photos"), all);
}

QVariantList ProgramDir::column(const QString &sql)
{
    QSqlQuery q(store().db());
    if (!q.exec(sql)) {
        QTest::qFail(qPrintable(QStringLiteral("query failed: ") + q.lastError().text()), __FILE__, __LINE__);
        return {};
    }
    QVariantList out;
    while (q.next())
        out << q.value(0);
    return out;
}

QVariant ProgramDir::scalar(const QString &sql)
{
    const QVariantList values = column(sql);
    return values.isEmpty() ? QVariant() : values.first();
}

} // namespace testing
