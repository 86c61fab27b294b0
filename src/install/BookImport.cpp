#include "install/BookImport.h"

#include "install/BksReader.h"
#include "store/BookList.h"
#include "store/NameRules.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDriver>

#include <sqlite3.h>

namespace install {

namespace {

enum class Rule { Ignored, Always, WhenNotEmpty };

struct Column
{
    const char *name;
    FieldKind kind;
    Rule rule;
};

constexpr FieldKind T = FieldKind::Text;
constexpr FieldKind N = FieldKind::Number;

// The header record in file order.
const Column kHeader[] = {
    {"BookLabel", T, Rule::Always},       {"BookDescription", T, Rule::Always}, {"BookDate", T, Rule::WhenNotEmpty},
    {"BookNotes", T, Rule::WhenNotEmpty}, {"Breakinches1", N, Rule::Always},    {"Breakinches2", N, Rule::Always},
    {"Breakinches3", N, Rule::Always},    {"BreakInches4", N, Rule::Always},    {"BreakInches5", N, Rule::Always},
    {"BreakInches6", N, Rule::Always},
};

// A photo record in file order; each one also gets BookID and BookLabel.
const Column kPhoto[] = {
    {nullptr, T, Rule::Ignored},
    {"GroupLabel", T, Rule::Always},
    {"PhotoLabel", T, Rule::Always},
    {"TonsPerAcreBreak1", N, Rule::Always},
    {"TonsPerAcreBreak2", N, Rule::Always},
    {"TonsPerAcreBreak3", N, Rule::Always},
    {"TonsPerAcreBreak4", N, Rule::Always},
    {"TonsPerAcreBreak5", N, Rule::Always},
    {"TonsPerAcreBreak6", N, Rule::Always},
    {"TonsPerAcreBreak7", N, Rule::Always},
    {"AverageFuelbedDepth", N, Rule::Always},
    {"AverageDuffDepth", N, Rule::Always},
    {"PhotoPic", T, Rule::WhenNotEmpty},
    {"DataPic", T, Rule::WhenNotEmpty},
    {"VegType", T, Rule::WhenNotEmpty},
    {"Activity", T, Rule::WhenNotEmpty},
    {"Oto3FL", N, Rule::Always},
    {"TotalFL", N, Rule::Always},
    {"DangerRatingFM", T, Rule::WhenNotEmpty},
    {"FireBehaveFM", T, Rule::WhenNotEmpty},
    {"HerbTonsPerAcre", N, Rule::Always},
    {"WoodyTonsPerAcre", N, Rule::Always},
    {"TreesPerAcre", N, Rule::Always},
    {"CanopyClosure", N, Rule::Always},
};

template <size_t n> std::vector<FieldKind> kindsOf(const Column (&columns)[n])
{
    std::vector<FieldKind> kinds;
    for (const Column &c : columns)
        kinds.push_back(c.kind);
    return kinds;
}

// The photo rows go through SQLite's own interface on the store's connection: one prepared
// statement bound straight from the reader's bytes, with no copy or conversion per field.
class Statement final
{
public:
    Statement(sqlite3 *db, const QByteArray &sql)
        : m_db(db)
    {
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
            m_stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool ok() const { return m_stmt != nullptr; }
    sqlite3_stmt *get() const { return m_stmt; }
    // What failed, described as the store describes its own failures.
    QString error(const QString &what) const
    {
        return store::describeError(what, QString::fromUtf8(sqlite3_errmsg(m_db)), sqlite3_errcode(m_db));
    }

    // Binds record field `field` to parameter `param` by the column's rule. A field that is
    // skipped is bound as null, which is the store's default for those columns.
    void bind(int param, const BksReader &reader, int field, const Column &column)
    {
        if (column.kind == FieldKind::Number) {
            sqlite3_bind_double(m_stmt, param, reader.number(field));
            return;
        }
        const std::string_view text = reader.text(field);
        if (text.empty() && column.rule == Rule::WhenNotEmpty)
            sqlite3_bind_null(m_stmt, param);
        else
            sqlite3_bind_text(m_stmt, param, text.data(), int(text.size()), SQLITE_STATIC);
    }

    bool step()
    {
        const bool done = sqlite3_step(m_stmt) == SQLITE_DONE;
        sqlite3_reset(m_stmt);
        return done;
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

template <size_t n> QByteArray insertSql(const char *table, const char *leading, const Column (&columns)[n])
{
    QByteArray names = leading, params;
    for (size_t i = 0; i < n; ++i)
        if (columns[i].rule != Rule::Ignored)
            names += QByteArray(names.isEmpty() ? "" : ", ") + columns[i].name;
    for (int i = 0, count = int(names.count(',')) + 1; i < count; ++i)
        params += i ? ", ?" : "?";
    return QByteArray("INSERT INTO ") + table + " (" + names + ") VALUES (" + params + ")";
}

sqlite3 *sqliteHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

QString named(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

ImportOutcome failed(const QString &message)
{
    ImportOutcome outcome;
    outcome.result = ImportOutcome::Result::Failed;
    outcome.message = message;
    return outcome;
}

ImportOutcome readFault(const QString &path, const BksFault &fault)
{
    const QString where = fault.field > 0 ? QStringLiteral("Line %1, field %2").arg(fault.line).arg(fault.field)
                                          : QStringLiteral("Line %1").arg(fault.line);
    return failed(QStringLiteral("The install file %1 was not imported.\n%2: %3.\nNothing of this file was written.")
                      .arg(named(path), where, fault.what));
}

// error is the store's description of what failed, so that a store in use by another program
// is reported in the same words as by every other write.
ImportOutcome storeFault(const QString &path, const QString &error)
{
    return failed(QStringLiteral("The install file %1 was not imported.\n%2.\nNothing of this file was written.")
                      .arg(named(path), error));
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

ImportOutcome importBookFile(const QSqlDatabase &db, const QString &path, ImportProgress *progress)
{
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(
            QStringLiteral("The install file %1 could not be opened: %2.").arg(named(path), file.errorString()));
    const qint64 size = file.size();

    BksReader reader(file);
    static const std::vector<FieldKind> headerKinds = kindsOf(kHeader);
    static const std::vector<FieldKind> photoKinds = kindsOf(kPhoto);
    if (!reader.readRecord(headerKinds)) {
        if (reader.failed())
            return readFault(path, reader.fault());
        return failed(
            QStringLiteral("The install file %1 was not imported: it holds no book header.").arg(named(path)));
    }
    // The label names the book's folder and is compared with other books' labels: blanks around
    // it are dropped, as the editor drops them on save. Photo fields are kept as the file has them.
    const QString label = reader.qtext(0).trimmed();
    if (const QString fault = labelFault(label); !fault.isEmpty())
        return failed(QStringLiteral("The install file %1 was not imported: %2.").arg(named(path), fault));

    sqlite3 *handle = sqliteHandle(db);
    if (!handle)
        return storeFault(path, QStringLiteral("The store is not open"));

    store::Transaction transaction(db);
    if (!transaction.begun())
        return storeFault(path, transaction.begun().error());

    const auto present = store::booksWithLabel(db, label, 0);
    if (!present)
        return storeFault(path, present.error());
    if (!present->isEmpty()) {
        ImportOutcome outcome;
        outcome.message = QStringLiteral("The Book ") + label + QStringLiteral(" is already imported");
        return outcome;
    }

    ImportOutcome outcome;
    const QByteArray labelBytes = label.toUtf8();
    {
        const QString bookFailed = QStringLiteral("The book could not be added");
        Statement book(handle, insertSql("Books", "", kHeader));
        if (!book.ok())
            return storeFault(path, book.error(bookFailed));
        const QByteArray date = bookDateFromHeader(reader.qtext(2)).toUtf8();
        for (int i = 0; i < int(std::size(kHeader)); ++i)
            book.bind(i + 1, reader, i, kHeader[i]);
        sqlite3_bind_text(book.get(), 1, labelBytes.constData(), int(labelBytes.size()), SQLITE_STATIC);
        if (date.isEmpty())
            sqlite3_bind_null(book.get(), 3);
        else
            sqlite3_bind_text(book.get(), 3, date.constData(), int(date.size()), SQLITE_STATIC);
        if (!book.step())
            return storeFault(path, book.error(bookFailed));
        outcome.bookId = sqlite3_last_insert_rowid(handle);
    }

    const QString photoFailed = QStringLiteral("A photo row could not be added");
    Statement photo(handle, insertSql("Photos", "BookID, BookLabel", kPhoto));
    if (!photo.ok())
        return storeFault(path, photo.error(photoFailed));
    sqlite3_stmt *stmt = photo.get();
    while (reader.readRecord(photoKinds)) {
        sqlite3_bind_int64(stmt, 1, outcome.bookId);
        sqlite3_bind_text(stmt, 2, labelBytes.constData(), int(labelBytes.size()), SQLITE_STATIC);
        for (int i = 1; i < int(std::size(kPhoto)); ++i)
            photo.bind(i + 2, reader, i, kPhoto[i]);
        if (!photo.step())
            return storeFault(path, photo.error(photoFailed));
        if (++outcome.photos % kProgressEvery == 0 && progress && !progress->advance(reader.position(), size)) {
            outcome.result = ImportOutcome::Result::Cancelled;
            return outcome;
        }
    }
    if (reader.failed())
        return readFault(path, reader.fault());
    if (const auto committed = transaction.commit(); !committed)
        return storeFault(path, committed.error());
    if (progress)
        progress->advance(size, size);
    outcome.result = ImportOutcome::Result::Imported;
    return outcome;
}

} // namespace install
