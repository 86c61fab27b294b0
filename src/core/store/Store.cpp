#include "store/Store.h"

#include "store/ChangeSignals.h"
#include "store/Schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

namespace store {

namespace {

QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("photoseries-%1").arg(counter.fetchAndAddRelaxed(1));
}

Failure fileFault(const QString &path, const QString &what, FailureKind kind = FailureKind::Failed)
{
    return fail(QStringLiteral("The database file %1 %2").arg(QDir::toNativeSeparators(path), what), kind);
}

} // namespace

namespace {

bool serverBusy(const QString &code)
{
    return code.size() == 5 && (code.startsWith(QLatin1String("40")) || code == QLatin1String("55P03"));
}

bool sqliteBusy(int sqliteResultCode)
{
    const int primary = sqliteResultCode & 0xff;
    return primary == 5 || primary == 6;
}

// SQLITE_CONSTRAINT_UNIQUE, and the server's unique_violation.
bool uniqueRefused(const QString &code)
{
    return code == QLatin1String("2067") || code == QLatin1String("23505");
}

} // namespace

QString describeError(const QString &what, const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // The server reports a five-character SQLSTATE. Class 40 (a deadlock, or a conflict that
    // ended the transaction) and 55P03 (a row held past lock_timeout) mean another user was
    // writing the same rows: nothing was changed and trying again helps.
    if (serverBusy(code)) {
        return QStringLiteral("%1: the library is in use by another program; nothing was changed, try again (%2)")
            .arg(what, error.databaseText().trimmed());
    }
    if (code.size() == 5)
        return describeError(what, error.databaseText().trimmed(), 0);
    return describeError(what, error.text().trimmed(), code.toInt());
}

QString describeError(const QString &what, const QString &reason, int sqliteResultCode)
{
    // SQLITE_BUSY and SQLITE_LOCKED (extended codes keep the primary one in the low byte):
    // another program held the file past the busy timeout.
    const QString said =
        sqliteBusy(sqliteResultCode)
            ? QStringLiteral("the database file is in use by another program; nothing was changed, try again (%1)")
                  .arg(reason)
            : reason;
    return said.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, said);
}

Failure queryFailure(const QString &what, const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    FailureKind kind = FailureKind::Failed;
    if (serverBusy(code) || (code.size() != 5 && sqliteBusy(code.toInt())))
        kind = FailureKind::InUse;
    else if (uniqueRefused(code))
        kind = FailureKind::Duplicate;
    return fail(describeError(what, error), kind);
}

Failure queryFailure(const QString &what, const QString &reason, int sqliteResultCode)
{
    const FailureKind kind = sqliteBusy(sqliteResultCode) ? FailureKind::InUse
                             : sqliteResultCode == 2067   ? FailureKind::Duplicate
                                                          : FailureKind::Failed;
    return fail(describeError(what, reason, sqliteResultCode), kind);
}

bool isServerLocation(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

Store::Store(QString location, int busyTimeoutMs)
    : m_path(std::move(location))
    , m_connectionName(nextConnectionName())
    , m_backend(isServerLocation(m_path) ? Backend::Postgres : Backend::Sqlite)
    , m_busyTimeoutMs(busyTimeoutMs)
{
}

Store::~Store()
{
    close();
}

QString Store::displayName() const
{
    if (m_backend == Backend::Sqlite)
        return QDir::toNativeSeparators(m_path);
    return QUrl(m_path).toString(QUrl::RemovePassword);
}

Failure Store::fault(const QString &what, FailureKind kind) const
{
    Failure failure = m_backend == Backend::Sqlite ? fileFault(m_path, what)
                                                   : fail(QStringLiteral("The library %1 %2").arg(displayName(), what));
    failure.kind = kind;
    return failure;
}

Result<> Store::checkExistingFile(Access access) const
{
    const QFileInfo info(m_path);
    const QFileInfo folder(info.absolutePath());
    const bool writing = access == Access::ReadWrite;
    // The journal that keeps every save whole lives beside the file.
    const auto readOnly = [](const QFileInfo &fi) {
        return !fi.isWritable() || !(fi.permissions() & QFileDevice::WriteOwner);
    };
    if (writing && readOnly(folder))
        return fileFault(m_path,
                         QStringLiteral("cannot be written: its folder %1 is read-only.")
                             .arg(QDir::toNativeSeparators(folder.absoluteFilePath())),
                         FailureKind::Io);
    QFile file(m_path);
    if (!writing && !file.exists())
        return fileFault(m_path, QStringLiteral("does not exist."), FailureKind::NotFound);
    if (!writing && file.size() == 0)
        return fileFault(m_path, QStringLiteral("is empty: it holds no books yet."), FailureKind::NotFound);
    if (!file.exists() || file.size() == 0)
        return done();
    if (writing && readOnly(info))
        return fileFault(m_path, QStringLiteral("is read-only: the program needs to write to it."), FailureKind::Io);
    if (!file.open(QIODevice::ReadOnly))
        return fileFault(m_path, QStringLiteral("cannot be read: %1").arg(file.errorString()), FailureKind::Io);
    // A change that a stopped program or a power cut left unfinished: its journal holds the
    // pages as they were, the header included, and opening the store puts them back. Until then
    // the header may be half written, so it is judged after that (checkTables).
    if (QFileInfo(m_path + QStringLiteral("-journal")).size() > 0)
        return done();
    const QByteArray header = file.read(100);
    static const QByteArray kMagic("SQLite format 3\0", 16);
    if (!header.startsWith(kMagic))
        return fileFault(m_path, QStringLiteral("is not a photo-series database (it is a file of another format)."),
                         FailureKind::Damaged);
    if (header.size() < 100)
        return fileFault(m_path, QStringLiteral("is damaged: it ends inside its header."), FailureKind::Damaged);

    // The header records the size of the database; a shorter file has been cut off.
    const auto bigEndian = [&](int offset, int bytes) {
        quint64 value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | quint8(header[offset + i]);
        return value;
    };
    quint64 pageSize = bigEndian(16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    const quint64 pages = bigEndian(28, 4);
    const bool sizeIsValid = bigEndian(24, 4) == bigEndian(92, 4) && pages > 0;
    if (sizeIsValid && pageSize * pages > quint64(file.size()))
        return fileFault(
            m_path, QStringLiteral("is damaged: the file is shorter than its contents (it may have been cut off)."),
            FailureKind::Damaged);
    return done();
}

Result<> Store::open()
{
    return openConnection(Access::ReadWrite);
}

Result<> Store::openReadOnly()
{
    return openConnection(Access::ReadOnly);
}

Result<> Store::reconnect()
{
    return openConnection(m_access);
}

Result<> Store::openConnection(Access access)
{
    close();
    m_access = access;
    auto opened = m_backend == Backend::Postgres ? openServer(access) : openFile(access);
    if (!opened)
        return opened;
    return checkTables(access);
}

Result<> Store::openFile(Access access)
{
    if (auto checked = checkExistingFile(access); !checked)
        return checked;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    // Another copy of the program, or the analysis program, may hold the file for a moment.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs);
    if (access == Access::ReadOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    if (!db.open())
        return fault(describeError(QStringLiteral("cannot be opened"), db.lastError()), FailureKind::Io);
    return done();
}

Result<> Store::openServer(Access access)
{
    const QUrl url(m_path);
    if (!url.isValid() || url.path().size() < 2)
        return fault(QStringLiteral("is not a valid address: write postgresql://user@host:port/database."));
    // A password in the address would end up in the settings file or the shell's history.
    if (!url.password().isEmpty())
        return fault(QStringLiteral("is given with a password. Leave it out of the address: put it in ~/.pgpass "
                                    "or PGPASSWORD, or type it when the program asks."));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fault(QStringLiteral("cannot be opened: the PostgreSQL driver of Qt is not installed "
                                    "(Debian package libqt6sql6-psql)."));
    const QUrlQuery query(url);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    // A socket folder may be given as ?host=/path, as libpq allows.
    db.setHostName(query.hasQueryItem(QStringLiteral("host")) ? query.queryItemValue(QStringLiteral("host"))
                                                              : url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    db.setUserName(url.userName());
    db.setDatabaseName(url.path().mid(1));
    if (!m_password.isEmpty())
        db.setPassword(m_password);
    const QString sslMode = query.hasQueryItem(QStringLiteral("sslmode"))
                                ? query.queryItemValue(QStringLiteral("sslmode"))
                                : QStringLiteral("prefer");
    db.setConnectOptions(QStringLiteral("sslmode=%1;connect_timeout=10;application_name=photoseries").arg(sslMode));
    if (!db.open())
        return serverLoginFault(db.lastError());

    // A row another user is writing is waited for as long as a file would be, then reported as
    // in use. A store opened for reading refuses every write, as a read-only file does.
    // The program's statements are short: compiling one with JIT (the recount's plan is costly
    // enough to trigger it) takes longer than running it.
    QSqlQuery q(db);
    QStringList settings{QStringLiteral("SET lock_timeout = %1").arg(m_busyTimeoutMs), QStringLiteral("SET jit = off"),
                         // The server's notices (a collation already there) are not for the user.
                         QStringLiteral("SET client_min_messages = warning")};
    if (access == Access::ReadOnly)
        settings << QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY");
    for (const QString &sql : std::as_const(settings)) {
        if (!q.exec(sql))
            return fault(describeError(QStringLiteral("cannot be used"), q.lastError()));
    }
    return done();
}

Failure Store::serverLoginFault(const QSqlError &error) const
{
    const QString said = error.databaseText().trimmed();
    const auto says = [&](const char *text) { return said.contains(QLatin1String(text), Qt::CaseInsensitive); };
    const QString user = QUrl(m_path).userName();
    const auto withKind = [](Failure failure, FailureKind kind) {
        failure.kind = kind;
        return failure;
    };
    if (says("no password supplied"))
        return withKind(fault(QStringLiteral("asks for a password for %1. Put it in ~/.pgpass or PGPASSWORD, or "
                                             "type it when the program asks.")
                                  .arg(user)),
                        FailureKind::NeedsPassword);
    if (says("password authentication failed"))
        return withKind(fault(QStringLiteral("refused the login of %1: the password is wrong (%2)").arg(user, said)),
                        FailureKind::NeedsPassword);
    if (says("authentication failed") || says("no pg_hba.conf entry") || says("role \"") || says("permission denied"))
        return fault(QStringLiteral("refused the login of %1 (%2)").arg(user, said));
    if (says("database \"") && says("does not exist"))
        return withKind(fault(QStringLiteral("does not exist on the server (%1)").arg(said)), FailureKind::NotFound);
    return fault(QStringLiteral("cannot be reached: the server does not answer (%1)").arg(said));
}

Result<> Store::checkTables(Access access)
{
    const bool writing = access == Access::ReadWrite;
    const bool server = m_backend == Backend::Postgres;
    QSqlDatabase db = this->db();
    const auto tables = dialect::tableNames(db);
    if (!tables) {
        // A program that stopped in the middle of a change leaves its journal beside the file.
        // SQLite undoes the change on the next open that may write; one that only reads cannot.
        if (!server && !writing && QFileInfo(m_path + QStringLiteral("-journal")).size() > 0)
            return fault(QStringLiteral("holds an unfinished change of a program that stopped while "
                                        "writing to it. Opening it in the program, or importing into "
                                        "it, undoes that change; after that it can be read."),
                         FailureKind::InUse);
        // A file another program holds locked past the busy timeout cannot even be read.
        if (tables.is(FailureKind::InUse))
            return fault(QStringLiteral("is in use by another program; nothing was changed, try again."),
                         FailureKind::InUse);
        return fault(server ? tables.error() : QStringLiteral("is damaged or not a database: ") + tables.error(),
                     FailureKind::Damaged);
    }
    const auto version = dialect::schemaVersion(db, *tables);
    if (!version)
        return fault(server ? version.error() : QStringLiteral("is damaged or not a database: ") + version.error(),
                     version.is(FailureKind::InUse) ? FailureKind::InUse : FailureKind::Damaged);

    const bool ours = tables->contains(QStringLiteral("books")) && tables->contains(QStringLiteral("photos"));
    if (writing && tables->isEmpty() && *version == 0) {
        if (const auto created = createSchema(db); !created)
            return fault(QStringLiteral("could not be set up: %1").arg(created.error()));
    } else if (server && tables->isEmpty()) {
        return fault(QStringLiteral("is empty: it holds no books yet."), FailureKind::NotFound);
    } else if (!ours || (server && *version == 0)) {
        return fault(server ? QStringLiteral("holds tables of another program, not the Books and Photos tables of "
                                             "a photo-series library; nothing was changed.")
                            : QStringLiteral("does not hold the Books and Photos tables of a photo-series database."),
                     FailureKind::Damaged);
    } else if (*version > kSchemaVersion) {
        return fault(QStringLiteral("was written by a newer version of this program."), FailureKind::Damaged);
    }
    if (writing) {
        addUniqueLabelIndex(db);
        addChangeCounter(db);
        // Other users' catalogues and editors learn of this program's changes through these; a
        // role that may not create triggers still works, only without them.
        (void)installChangeNotifications(db);
    }
    // Every commit reaches the disk before the program goes on, so a crash of the program
    // or of the machine never loses a save or an import that was reported as done. The commit
    // point of the rollback journal is the journal's deletion: EXTRA also syncs the folder after
    // it, without which a power cut can bring the journal back and the next opening rolls the
    // reported commit back. (A server commits to its disk by itself.)
    QSqlQuery q(db);
    if (!server && writing && !q.exec(QStringLiteral("PRAGMA synchronous = EXTRA")))
        return fault(describeError(QStringLiteral("cannot be set to write every change to the disk"), q.lastError()));
    return done();
}

void Store::close()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase Store::db() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

Result<> Store::recount()
{
    // One set-based statement; books whose count is right are not written. The counts come from
    // the change counter, whose triggers count every program's photos as they are written, so no
    // photo is read. Without it (a server role that may not read it), each book's photos are
    // counted once, through the index on BookID: a count in both the SET and the WHERE clause
    // would read the index twice for every stale book. MATERIALIZED keeps SQLite from folding
    // the counts back into both clauses.
    QSqlQuery q(db());
    if (q.exec(QStringLiteral("UPDATE Books SET NumOfPhotos = BookVersions.PhotoCount FROM BookVersions "
                              "WHERE BookVersions.BookID = Books.ID "
                              "AND Books.NumOfPhotos IS DISTINCT FROM BookVersions.PhotoCount")))
        return done();
    const bool ok = q.exec(QStringLiteral(
        "WITH Counted(ID, Actual, Stored) AS MATERIALIZED ("
        "SELECT ID, (SELECT COUNT(*) FROM Photos WHERE Photos.BookID = Books.ID), NumOfPhotos FROM Books) "
        "UPDATE Books SET NumOfPhotos = Counted.Actual FROM Counted "
        "WHERE Counted.ID = Books.ID AND Counted.Stored IS DISTINCT FROM Counted.Actual"));
    if (!ok)
        return queryFailure(QStringLiteral("The photo counts could not be updated"), q.lastError());
    return done();
}

QString changedElsewhereMessage()
{
    return QStringLiteral("This book was changed by another program since you opened it. Nothing was saved.");
}

Result<> beginSnapshot(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    for (const QString &sql : dialect::snapshotReads(backendOf(db))) {
        if (!q.exec(sql))
            return queryFailure(QStringLiteral("The store could not be read"), q.lastError());
    }
    return done();
}

Failure changedElsewhere()
{
    return fail(changedElsewhereMessage(), FailureKind::ChangedElsewhere);
}

Transaction::Transaction(const QSqlDatabase &db)
    : m_db(db)
{
    m_open = m_db.transaction();
    if (!m_open)
        m_begun = queryFailure(QStringLiteral("The store could not begin a transaction"), m_db.lastError());
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.rollback();
}

Result<> Transaction::commit()
{
    if (!m_open)
        return m_begun.ok() ? fail(QStringLiteral("The store could not save the changes: they were already saved."))
                            : m_begun;
    m_open = false;
    if (!m_db.commit()) {
        const QString error = describeError(QStringLiteral("The store could not save the changes"), m_db.lastError());
        m_db.rollback();
        return fail(error);
    }
    return done();
}

} // namespace store
