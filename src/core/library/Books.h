#pragma once

#include "store/Result.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads of the whole library for the command line: each one statement or one snapshot.
namespace library {

// One book as `list` shows it: its photos counted, not read from NumOfPhotos, since a store that
// is only read cannot have its counts brought up to date first.
struct BookSummary
{
    QString label;
    QString description;
    qint64 photos = 0;
    bool active = false;
    bool locked = false;
};

// Every book in label order (letter case ignored, the same on both kinds of store).
store::Result<QVector<BookSummary>> listBookSummaries(const QSqlDatabase &db);

// The book whose label is `label` (letter case ignored); FailureKind::NotFound when none.
store::Result<qint64> bookByLabel(const QSqlDatabase &db, const QString &label);

// What is wrong with a library, found without changing anything, read in one snapshot.
struct CheckReport
{
    // The database file's own integrity check: "ok" alone when sound; empty on a server, which
    // keeps its structure sound by itself.
    QStringList integrity;
    bool integrityChecked = false;
    QString integrityError; // the check could not run

    // Photo rows whose BookID names no book, as "BookID (count)"; and how many rows in all.
    QStringList orphanBooks;
    qint64 orphans = 0;
    // Books whose NumOfPhotos differs from their photos: "LABEL (ID n): m recorded, k photos".
    QStringList staleCounts;
    // Labels that more than one book carries (letter case ignored), as "LABEL (IDs a, b)".
    QStringList duplicateLabels;
};
store::Result<CheckReport> checkLibrary(const QSqlDatabase &db);

// Labels that more than one book carries (letter case ignored), as "LABEL (IDs a, b)".
store::Result<QStringList> duplicateLabels(const QSqlDatabase &db);

} // namespace library
