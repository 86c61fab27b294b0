#include "library/BookImport.h"

#include "install/BksLayout.h"
#include "library/BookList.h"
#include "store/Dialect.h"
#include "store/NameRules.h"
#include "store/PgCopy.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <memory>

namespace library {

using namespace install;

namespace {

// The store columns of a record, in the order of the fields that fill them.
template <size_t n> QStringList columnsOf(const BksField (&fields)[n])
{
    QStringList names;
    for (const BksField &f : fields)
        names << QLatin1String(f.name);
    return names;
}

// The field kinds the reader checks: a photo record starts with the book's label.
std::vector<FieldKind> headerKinds()
{
    std::vector<FieldKind> kinds;
    for (const BksField &f : kBksHeader)
        kinds.push_back(f.kind);
    return kinds;
}

std::vector<FieldKind> photoKinds()
{
    std::vector<FieldKind> kinds{FieldKind::Text};
    for (const BksField &f : kBksPhoto)
        kinds.push_back(f.kind);
    return kinds;
}

// The layout of photo record field `i` (1 and up; field 0 is the book's label).
const BksField &photoField(int i)
{
    return kBksPhoto[i - 1];
}

// A photo row: the book's key and label, then the record's fields.
const QStringList &photoColumns()
{
    static const QStringList columns =
        QStringList{QStringLiteral("BookID"), QStringLiteral("BookLabel")} + columnsOf(kBksPhoto);
    return columns;
}

QString insertSql(const QString &table, const QStringList &columns)
{
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
}

// Whether a record field is stored as null: an empty text the column keeps only when given.
bool storedAsNull(const BksReader &reader, int field, const BksField &layout)
{
    return layout.kind == FieldKind::Text && layout.nullWhenEmpty && reader.text(field).empty();
}

// Where a file's photo rows go, inside the file's transaction: the one place where the two
// kinds of store write differently. Both take the rows as photoColumns() lists them and store
// the same values. A sink dropped before finish() leaves its rows to the rollback.
class PhotoSink
{
public:
    virtual ~PhotoSink() = default;
    // The failure, if any, names what failed.
    virtual store::Result<> add(const BksReader &reader) = 0;
    virtual store::Result<> finish() = 0;
};

// The database file: one prepared statement of SQLite's own interface, bound straight from the
// reader's bytes with no copy or conversion per field.
class SqlitePhotos final : public PhotoSink
{
public:
    SqlitePhotos(sqlite3 *db, qint64 bookId, const QByteArray &label)
        : m_db(db)
        , m_bookId(bookId)
        , m_label(label)
    {
        if (!setCounterTriggerAside())
            return;
        const QByteArray sql = insertSql(QStringLiteral("Photos"), photoColumns()).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~SqlitePhotos() override { sqlite3_finalize(m_stmt); }
    SqlitePhotos(const SqlitePhotos &) = delete;
    SqlitePhotos &operator=(const SqlitePhotos &) = delete;

    store::Result<> prepared() const { return m_stmt ? store::done() : fault(); }

    store::Result<> add(const BksReader &reader) override
    {
        sqlite3_bind_int64(m_stmt, 1, m_bookId);
        sqlite3_bind_text(m_stmt, 2, m_label.constData(), int(m_label.size()), SQLITE_STATIC);
        for (int i = 1, param = 3; i <= kBksPhotoCount; ++i, ++param) {
            if (photoField(i).kind == FieldKind::Number) {
                sqlite3_bind_double(m_stmt, param, reader.number(i));
            } else if (storedAsNull(reader, i, photoField(i))) {
                sqlite3_bind_null(m_stmt, param);
            } else {
                const std::string_view text = reader.text(i);
                sqlite3_bind_text(m_stmt, param, text.data(), int(text.size()), SQLITE_STATIC);
            }
        }
        const bool added = sqlite3_step(m_stmt) == SQLITE_DONE;
        sqlite3_reset(m_stmt);
        if (!added)
            return fault();
        ++m_added;
        return store::done();
    }
    store::Result<> finish() override { return restoreCounterTrigger() ? store::done() : fault(); }

private:
    // The change counter's trigger on added photos would update the book's counter row once per
    // photo, a third of a large import's time. Inside the import's transaction it is set aside,
    // the counter raised once for all the file's photos, and the trigger made again from its own
    // stored text before the commit: no other connection ever sees the store without it, and a
    // failed or cancelled import rolls the drop back with the rows.
    bool setCounterTriggerAside()
    {
        sqlite3_stmt *read = nullptr;
        const char sql[] = "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?";
        if (sqlite3_prepare_v2(m_db, sql, -1, &read, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_text(read, 1, store::dialect::kPhotoAddedTrigger, -1, SQLITE_STATIC);
        const int step = sqlite3_step(read);
        if (step == SQLITE_ROW)
            m_counterTrigger =
                QByteArray(static_cast<const char *>(sqlite3_column_blob(read, 0)), sqlite3_column_bytes(read, 0));
        sqlite3_finalize(read);
        if (step != SQLITE_ROW)
            return step == SQLITE_DONE; // a store without the counter
        const QByteArray drop = QByteArray("DROP TRIGGER ") + store::dialect::kPhotoAddedTrigger;
        return sqlite3_exec(m_db, drop.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    bool restoreCounterTrigger()
    {
        if (m_counterTrigger.isEmpty())
            return true;
        sqlite3_stmt *raise = nullptr;
        const char sql[] =
            "UPDATE BookVersions SET Version = Version + 1, PhotoCount = PhotoCount + ? WHERE BookID = ?";
        if (sqlite3_prepare_v2(m_db, sql, -1, &raise, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_int64(raise, 1, m_added);
        sqlite3_bind_int64(raise, 2, m_bookId);
        const bool raised = sqlite3_step(raise) == SQLITE_DONE;
        sqlite3_finalize(raise);
        return raised && sqlite3_exec(m_db, m_counterTrigger.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    store::Failure fault() const
    {
        return store::queryFailure(QStringLiteral("A photo row could not be added"),
                                   QString::fromUtf8(sqlite3_errmsg(m_db)), sqlite3_errcode(m_db));
    }

    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    qint64 m_bookId;
    QByteArray m_label;
    QByteArray m_counterTrigger; // its CREATE statement while set aside
    qint64 m_added = 0;
};

// A server store: the rows stream with COPY on the store's own connection, each one written
// in COPY's text form straight from the reader's bytes.
class ServerPhotos final : public PhotoSink
{
public:
    ServerPhotos(const QSqlDatabase &db, qint64 bookId, const QByteArray &label)
        : m_copy(db, QStringLiteral("Photos"), photoColumns())
    {
        // Every row starts with the same key and label.
        m_line = QByteArray::number(bookId) + '\t';
        store::PgCopy::appendText(m_line, label);
        m_prefix = m_line.size();
    }

    store::Result<> begin() { return m_copy.begin(); }

    store::Result<> add(const BksReader &reader) override
    {
        m_line.resize(m_prefix);
        for (int i = 1; i <= kBksPhotoCount; ++i) {
            m_line += '\t';
            if (photoField(i).kind == FieldKind::Number) {
                store::PgCopy::appendNumber(m_line, reader.number(i));
            } else if (storedAsNull(reader, i, photoField(i))) {
                store::PgCopy::appendNull(m_line);
            } else {
                const std::string_view text = reader.text(i);
                store::PgCopy::appendText(m_line, QByteArrayView(text.data(), qsizetype(text.size())));
            }
        }
        return m_copy.addRaw(m_line);
    }
    store::Result<> finish() override { return m_copy.finish(); }

private:
    store::PgCopy m_copy;
    QByteArray m_line;
    qsizetype m_prefix = 0;
};

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

store::Result<std::unique_ptr<PhotoSink>> photoSink(const QSqlDatabase &db, qint64 bookId, const QByteArray &label)
{
    if (store::backendOf(db) == store::Backend::Postgres) {
        auto sink = std::make_unique<ServerPhotos>(db, bookId, label);
        if (auto begun = sink->begin(); !begun)
            return begun.failure();
        return std::unique_ptr<PhotoSink>(std::move(sink));
    }
    sqlite3 *handle = sqliteHandle(db);
    if (!handle)
        return store::fail(QStringLiteral("The store is not open"));
    auto sink = std::make_unique<SqlitePhotos>(handle, bookId, label);
    if (auto prepared = sink->prepared(); !prepared)
        return prepared.failure();
    return std::unique_ptr<PhotoSink>(std::move(sink));
}

// Adds the book row from the header record and returns its key. One statement for both kinds
// of store: it runs once per file.
store::Result<qint64> addBook(const QSqlDatabase &db, const BksReader &reader, const QString &label)
{
    const QString failed = QStringLiteral("The book could not be added");
    QSqlQuery q(db);
    // On the server the statement is prepared there, which waits for the table like the insert.
    if (!q.prepare(insertSql(QStringLiteral("Books"), columnsOf(kBksHeader)) + QStringLiteral(" RETURNING ID")))
        return store::queryFailure(failed, q.lastError());
    for (int i = 0; i < kBksHeaderCount; ++i) {
        if (i == 0) {
            q.addBindValue(label);
        } else if (i == 2) {
            const QString date = bookDateFromHeader(reader.qtext(i));
            q.addBindValue(date.isEmpty() ? QVariant() : QVariant(date));
        } else if (kBksHeader[i].kind == FieldKind::Number) {
            q.addBindValue(reader.number(i));
        } else if (storedAsNull(reader, i, kBksHeader[i])) {
            q.addBindValue(QVariant());
        } else {
            // An empty text stays an empty text: a null QString would be bound as NULL.
            const QString text = reader.qtext(i);
            q.addBindValue(text.isNull() ? QString(QLatin1String("")) : text);
        }
    }
    if (!q.exec() || !q.next())
        return store::queryFailure(failed, q.lastError());
    return q.value(0).toLongLong();
}

QString named(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

store::Failure readFault(const QString &path, const BksFault &fault)
{
    const QString where = fault.field > 0 ? QStringLiteral("Line %1, field %2").arg(fault.line).arg(fault.field)
                                          : QStringLiteral("Line %1").arg(fault.line);
    return store::fail(
        QStringLiteral("The install file %1 was not imported.\n%2: %3.\nNothing of this file was written.")
            .arg(named(path), where, fault.what),
        store::FailureKind::Invalid);
}

// error is the store's description of what failed, so that a store in use by another program
// is reported in the same words as by every other write.
store::Failure storeFault(const QString &path, const store::Failure &error)
{
    return store::fail(QStringLiteral("The install file %1 was not imported.\n%2.\nNothing of this file was written.")
                           .arg(named(path), error.text),
                       error.kind);
}

} // namespace

QString bookDateFromHeader(const QString &text)
{
    const QString date = text.trimmed();
    if (date.isEmpty())
        return {};
    static const QRegularExpression monthDayYear(QStringLiteral("^\\d{1,2}[/-]\\d{1,2}[/-](\\d{4})$"));
    static const QRegularExpression yearMonthDay(QStringLiteral("^(\\d{4})[/-]\\d{1,2}[/-]\\d{1,2}$"));
    for (const QRegularExpression *form : {&monthDayYear, &yearMonthDay})
        if (const QRegularExpressionMatch m = form->match(date); m.hasMatch())
            return m.captured(1);
    return date.left(4);
}

QString labelFault(const QString &label)
{
    if (label.isEmpty())
        return QStringLiteral("its book label is empty");
    if (store::isUntitled(label))
        return QStringLiteral("its book label \"%1\" marks a book that has not been named").arg(label);
    if (store::holdsRefusedNameCharacter(label))
        return QStringLiteral("its book label \"%1\" holds a character that a folder name cannot hold "
                              "(one of \\ / : * ? | < > , \" or a control character)")
            .arg(label);
    if (!store::isUsableFolderName(label))
        return QStringLiteral("its book label \"%1\" cannot name a book folder").arg(label);
    return {};
}

store::Result<ImportedBook> importBookFile(const QSqlDatabase &db, const QString &path, ImportProgress *progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return store::fail(
            QStringLiteral("The install file %1 could not be opened: %2.").arg(named(path), file.errorString()),
            store::FailureKind::Io);
    const qint64 size = file.size();

    BksReader reader(file);
    static const std::vector<FieldKind> header = headerKinds();
    static const std::vector<FieldKind> photo = photoKinds();
    if (!reader.readRecord(header)) {
        if (reader.failed())
            return readFault(path, reader.fault());
        return store::fail(
            QStringLiteral("The install file %1 was not imported: it holds no book header.").arg(named(path)),
            store::FailureKind::Invalid);
    }
    // The label names the book's folder and is compared with other books' labels: blanks around
    // it are dropped, as the editor drops them on save. Photo fields are kept as the file has them.
    const QString label = reader.qtext(0).trimmed();
    if (const QString fault = labelFault(label); !fault.isEmpty())
        return store::fail(QStringLiteral("The install file %1 was not imported: %2.").arg(named(path), fault),
                           store::FailureKind::Invalid);

    store::Transaction transaction(db);
    if (!transaction.begun())
        return storeFault(path, transaction.begun().failure());

    // The label is locked first, so that another program importing the same label at this moment
    // is seen here once it commits, or sees this book.
    if (auto locked = library::lockLabel(db, label); !locked)
        return storeFault(path, locked.failure());
    const auto present = library::booksWithLabel(db, label, 0);
    if (!present)
        return storeFault(path, present.failure());
    if (!present->isEmpty())
        return store::fail(QStringLiteral("The Book ") + label + QStringLiteral(" is already imported"),
                           store::FailureKind::Duplicate);

    ImportedBook outcome;
    const auto bookId = addBook(db, reader, label);
    if (!bookId)
        return storeFault(path, bookId.failure());
    outcome.bookId = *bookId;
    outcome.label = label;

    // Declared after the transaction, so that a sink left unfinished ends before the rollback.
    auto sink = photoSink(db, outcome.bookId, label.toUtf8());
    if (!sink)
        return storeFault(path, sink.failure());
    while (reader.readRecord(photo)) {
        if (const auto added = (*sink)->add(reader); !added)
            return storeFault(path, added.failure());
        if (++outcome.photos % kProgressEvery == 0 && progress && !progress->advance(reader.position(), size))
            return store::fail(
                QStringLiteral("The import of %1 was cancelled; nothing of it was written.").arg(named(path)),
                store::FailureKind::Cancelled);
    }
    if (reader.failed())
        return readFault(path, reader.fault());
    if (const auto finished = (*sink)->finish(); !finished)
        return storeFault(path, finished.failure());
    if (const auto committed = transaction.commit(); !committed)
        return storeFault(path, committed.failure());
    if (progress)
        progress->advance(size, size);
    return outcome;
}

} // namespace library
