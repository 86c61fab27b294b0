#pragma once

#include <QString>

namespace bench {

// How big the generated library and install files are.
struct Scale
{
    int books = 10000;
    int storePhotos = 1000000;
    int smallPhotos = 5000;
    int mediumPhotos = 100000;
    int largePhotos = 1000000;
    int editorPhotos = 10000; // photos of kEditorBook, within storePhotos
};

// The store's book the editor is measured on (an unlocked book of Scale::editorPhotos photos).
constexpr qint64 kEditorBook = 2;

// The files the benchmark works on, all under one data folder.
struct DataFiles
{
    explicit DataFiles(const QString &folder);
    QString folder;
    QString fullStore; // program directory whose Photo3.mdb holds the whole library
    QString smallBks;  // install files of Scale::smallPhotos, mediumPhotos and largePhotos
    QString mediumBks;
    QString largeBks;
    QString mediumCsv;        // the medium file's photo rows, for the sqlite3 shell
    QString mediumShellTable; // SQL that creates the shell's table and index
    // The same rows as the import writes them into a server store (nulls included), in the
    // text form of COPY, for psql's \copy.
    QString mediumCopyText;
};

// The text that marks data as generated for this scale and format.
QString scaleStamp(const Scale &scale);

// Writes every file that is missing (or was written for another scale). The same seed and
// scale always give the same bytes. The code files the editor reads are copied from
// codeFilesDir into the library's program directory. Returns an empty text on success, else
// what failed.
QString generate(const DataFiles &files, const Scale &scale, const QString &codeFilesDir);

} // namespace bench
