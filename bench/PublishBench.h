#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace bench {

// The library the publish is measured on: one book of `photos` photos whose photograph and data
// plate are each a JPEG of `imageSize` (hard links to two generated files, with the grain of a
// camera's picture so that they decode like one). Made once under `folder`; later runs reuse it.
struct PublishData
{
    QString library;   // program directory with its Photo3.mdb and code files
    QString imageRoot; // holds the book's image folder
    QString label;
};
PublishData preparePublishData(const QString &folder, const QString &codeFilesDir, int photos, const QSize &imageSize);

// One run of a program of its own, waited for: its exit status and its peak resident size.
struct ChildRun
{
    int status = -1;
    double peakMB = 0;
};
ChildRun runChild(const QString &program, const QStringList &arguments);

} // namespace bench
