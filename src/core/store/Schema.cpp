#include "store/Schema.h"

#include "store/Dialect.h"
#include "store/Store.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <iterator>
#include <limits>

namespace store {

namespace {

// Every field of the two tables, declared once: the CREATE statements, the field lists and the
// text-or-number rule are all made from these. The spellings are the documented ones
// (Breakinches1 but BreakInches4, builtby). Text fields compare without regard to case, as the
// store's queries must.
using Kind = dialect::Column;

struct Field
{
    const char *name;
    Kind kind;
    const char *defaultValue = nullptr;
    // The value a photo added in the editor starts with; NaN for none (a null).
    double newPhotoValue = std::numeric_limits<double>::quiet_NaN();
};

const Field kBookFields[] = {
    {"ID", Kind::Key},
    {"BookLabel", Kind::Text},
    {"BookDescription", Kind::Text},
    {"BookDate", Kind::Text},
    {"BookNotes", Kind::Text},
    {"builtby", Kind::Text},
    {"Breakinches1", Kind::Number},
    {"Breakinches2", Kind::Number},
    {"Breakinches3", Kind::Number},
    {"BreakInches4", Kind::Number},
    {"BreakInches5", Kind::Number},
    {"BreakInches6", Kind::Number},
    {"Active", Kind::Integer, "0"},
    {"Locked", Kind::Integer, "0"},
    {"NumOfPhotos", Kind::Integer, "0"},
};

const Field kPhotoFields[] = {
    {"ID", Kind::Key},
    {"BookID", Kind::Integer},
    {"BookLabel", Kind::Text},
    {"PhotoLabel", Kind::Text},
    {"GroupLabel", Kind::Text},
    {"TonsPerAcreBreak1", Kind::Number, nullptr, 0.0},
    {"TonsPerAcreBreak2", Kind::Number, nullptr, 0.0},
    {"TonsPerAcreBreak3", Kind::Number, nullptr, 0.0},
    {"TonsPerAcreBreak4", Kind::Number, nullptr, 0.0},
    {"TonsPerAcreBreak5", Kind::Number, nullptr, 0.0},
    {"TonsPerAcreBreak6", Kind::Number, nullptr, 0.0},
    {"TonsPerAcreBreak7", Kind::Number, nullptr, 0.0},
    {"HerbTonsPerAcre", Kind::Number, nullptr, 0.0},
    {"WoodyTonsPerAcre", Kind::Number, nullptr, 0.0},
    {"AverageFuelbedDepth", Kind::Number, nullptr, 0.0},
    {"AverageDuffDepth", Kind::Number, nullptr, 0.0},
    {"VegType", Kind::Text},
    {"Activity", Kind::Text},
    {"FireBehaveFM", Kind::Text},
    {"FireBehaveFM2", Kind::Text},
    {"DangerRatingFM", Kind::Text},
    {"TreesPerAcre", Kind::Number, nullptr, 1.0},
    {"CanopyClosure", Kind::Number, nullptr, 0.5},
    {"PhotoPic", Kind::Text},
    {"DataPic", Kind::Text},
    {"Oto3FL", Kind::Number},
    {"TotalFL", Kind::Number},
};

template <std::size_t N> QStringList namesOf(const Field (&fields)[N])
{
    QStringList names;
    for (const Field &f : fields)
        names << QLatin1String(f.name);
    return names;
}

// The statement text exactly as the first version wrote it, one field a line: stores made by
// any version read back the same schema.
template <std::size_t N> QString createTable(Backend backend, const char *table, const Field (&fields)[N])
{
    QStringList lines;
    for (const Field &f : fields) {
        QString line =
            QStringLiteral("    ") + QLatin1String(f.name) + QLatin1Char(' ') + dialect::columnType(backend, f.kind);
        if (f.defaultValue)
            line += QStringLiteral(" DEFAULT ") + QLatin1String(f.defaultValue);
        lines << line;
    }
    return QStringLiteral("CREATE TABLE %1 (\n%2\n)").arg(QLatin1String(table), lines.join(QStringLiteral(",\n")));
}

} // namespace

const QStringList &photoFields()
{
    static const QStringList fields = namesOf(kPhotoFields);
    return fields;
}

const QStringList &bookFields()
{
    static const QStringList fields = namesOf(kBookFields);
    return fields;
}

QVariantMap newPhotoValues()
{
    QVariantMap values;
    for (const Field &f : kPhotoFields) {
        if (!std::isnan(f.newPhotoValue))
            values.insert(QLatin1String(f.name), f.newPhotoValue);
    }
    return values;
}

bool isTextPhotoField(int index)
{
    return index >= 0 && index < int(std::size(kPhotoFields)) && kPhotoFields[index].kind == Kind::Text;
}

void addUniqueLabelIndex(const QSqlDatabase &db)
{
    const Backend backend = backendOf(db);
    QSqlQuery q(db);
    if (!q.exec(dialect::hasUniqueLabelIndex(backend)) || q.next())
        return;
    const QString key = dialect::labelKey(backend, QStringLiteral("BookLabel"));
    if (!q.exec(QStringLiteral("SELECT 1 FROM Books GROUP BY %1 HAVING COUNT(*) > 1").arg(key)) || q.next())
        return;
    q.finish();
    (void)q.exec(dialect::createUniqueLabelIndex(backend));
}

void addChangeCounter(const QSqlDatabase &db)
{
    const Backend backend = backendOf(db);
    QSqlQuery q(db);
    if (!q.exec(dialect::hasChangeCounter(backend)) || q.next())
        return;
    q.finish();
    Transaction transaction(db);
    if (!transaction.begun())
        return;
    for (const QString &sql : dialect::changeCounter(backend)) {
        if (!q.exec(sql))
            return;
    }
    (void)transaction.commit();
}

Result<> createSchema(QSqlDatabase &db)
{
    const Backend backend = backendOf(db);
    Transaction transaction(db);
    if (!transaction.begun())
        return transaction.begun();
    QStringList statements = dialect::schemaPreamble(backend);
    statements << createTable(backend, "Books", kBookFields) << createTable(backend, "Photos", kPhotoFields)
               << QStringLiteral("CREATE INDEX PhotosByBook ON Photos(BookID)")
               << QStringLiteral("CREATE INDEX BooksByLabel ON Books(BookLabel)") << dialect::changeCounter(backend)
               << dialect::recordVersion(backend, kSchemaVersion);
    QSqlQuery q(db);
    for (const QString &sql : std::as_const(statements)) {
        if (!q.exec(sql))
            return queryFailure(QStringLiteral("The tables could not be created"), q.lastError());
    }
    return transaction.commit();
}

} // namespace store
