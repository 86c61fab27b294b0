#pragma once

#include "app/CommandLine.h"

#include <QPageSize>
#include <QString>

namespace cli {

struct PublishRequest
{
    QString location;   // the store (store::Store)
    QString programDir; // the code files, and the image root's base
    QString bookLabel;  // letter case ignored
    QString file;       // the PDF to write
    QString imageRoot;  // empty: the per-user image root setting
    QPageSize::PageSizeId pageSize = QPageSize::Letter;
    bool images = true;
};

// Writes one book as a print-ready PDF (publish::publishBook). Reads the store only. An image
// that is missing or cannot be read gets a placeholder and a line on console.err; the PDF is
// written all the same. Needs a QGuiApplication.
int publishBook(const PublishRequest &request, Console &console);

} // namespace cli
