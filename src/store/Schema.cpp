#include "store/Schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace store {

namespace {

// Text fields compare without regard to case, as the store's queries must.
const char *const kCreateBooks = R"(CREATE TABLE Books (
    ID INTEGER PRIMARY KEY,
    BookLabel TEXT COLLATE NOCASE,
    BookDescription TEXT COLLATE NOCASE,
    BookDate TEXT COLLATE NOCASE,
    BookNotes TEXT COLLATE NOCASE,
    builtby TEXT COLLATE NOCASE,
    Breakinches1 REAL,
    Breakinches2 REAL,
    Breakinches3 REAL,
    BreakInches4 REAL,
    BreakInches5 REAL,
    BreakInches6 REAL,
    Active INTEGER DEFAULT 0,
    Locked INTEGER DEFAULT 0,
    NumOfPhotos INTEGER DEFAULT 0
))";

const char *const kCreatePhotos = R"(CREATE TABLE Photos (
    ID INTEGER PRIMARY KEY,
    BookID INTEGER,
    BookLabel TEXT COLLATE NOCASE,
    PhotoLabel TEXT COLLATE NOCASE,
    GroupLabel TEXT COLLATE NOCASE,
    TonsPerAcreBreak1 REAL,
    TonsPerAcreBreak2 REAL,
    TonsPerAcreBreak3 REAL,
    TonsPerAcreBreak4 REAL,
    TonsPerAcreBreak5 REAL,
    TonsPerAcreBreak6 REAL,
    TonsPerAcreBreak7 REAL,
    HerbTonsPerAcre REAL,
    WoodyTonsPerAcre REAL,
    AverageFuelbedDepth REAL,
    AverageDuffDepth REAL,
    VegType TEXT COLLATE NOCASE,
    Activity TEXT COLLATE NOCASE,
    FireBehaveFM TEXT COLLATE NOCASE,
    FireBehaveFM2 TEXT COLLATE NOCASE,
    DangerRatingFM TEXT COLLATE NOCASE,
    TreesPerAcre REAL,
    CanopyClosure REAL,
    PhotoPic TEXT COLLATE NOCASE,
    DataPic TEXT COLLATE NOCASE,
    Oto3FL REAL,
    TotalFL REAL
))";

} // namespace

const QStringList &photoFields()
{
    static const QStringList fields{
        "ID", "BookID", "BookLabel", "PhotoLabel", "GroupLabel",
        "TonsPerAcreBreak1", "TonsPerAcreBreak2", "TonsPerAcreBreak3", "TonsPerAcreBreak4",
        "TonsPerAcreBreak5", "TonsPerAcreBreak6", "TonsPerAcreBreak7",
        "HerbTonsPerAcre", "WoodyTonsPerAcre", "AverageFuelbedDepth", "AverageDuffDepth",
        "VegType", "Activity", "FireBehaveFM", "FireBehaveFM2", "DangerRatingFM",
        "TreesPerAcre", "CanopyClosure", "PhotoPic", "DataPic", "Oto3FL", "TotalFL"};
    return fields;
}

const QStringList &bookFields()
{
    static const QStringList fields{
        "ID", "BookLabel", "BookDescription", "BookDate", "BookNotes", "builtby",
        "Breakinches1", "Breakinches2", "Breakinches3", "BreakInches4", "BreakInches5", "BreakInches6",
        "Active", "Locked", "NumOfPhotos"};
    return fields;
}

QString createSchema(QSqlDatabase &db)
{
    if (!db.transaction())
        return db.lastError().text();
    QSqlQuery q(db);
    const QString statements[] = {
        kCreateBooks,
        kCreatePhotos,
        "CREATE INDEX PhotosByBook ON Photos(BookID)",
        "CREATE INDEX BooksByLabel ON Books(BookLabel)",
        QString("PRAGMA user_version = %1").arg(kSchemaVersion),
    };
    for (const QString &sql : statements) {
        if (!q.exec(sql)) {
            const QString error = q.lastError().text();
            db.rollback();
            return error;
        }
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        return error;
    }
    return {};
}

} // namespace store
