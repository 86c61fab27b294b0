#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>

namespace testing {

// An install file of `photos` identical photo records under the book label, for the workers
// that write to a store without end.
inline bool writeWorkerInstallFile(const QString &path, const QString &label, const char *description, int photos)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << '"' << label << "\",\"" << description << "\",\"2024\",\"\",0.26,1.1,3.1,6,9,0\r\n";
    for (int i = 0; i < photos; ++i)
        out << "\"x\",\"Photo\",\"" << i
            << "\",1,2,3,4,5,0,0,6,1,\"P.jpg\",\"D.jpg\",\"PIPO\",\"THN\",1,2,\"U\",\"TU01\",0.5,1,45,30\r\n";
    return true;
}

} // namespace testing
