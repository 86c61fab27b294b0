#include "PublishBench.h"

#include "BenchData.h"
#include "ProgramBench.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace bench {

namespace {

// A landscape with grass strokes, a label and a camera's grain: it compresses, and decodes, like
// a photograph rather than like a flat colour.
bool writePhotograph(const QString &path, const QSize &size, quint32 seed, const QString &label)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(120, 160, 220));
    sky.setColorAt(0.45, QColor(200, 210, 230));
    sky.setColorAt(0.5, QColor(70, 100, 40));
    sky.setColorAt(1, QColor(110, 90, 50));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 400; ++i) {
        painter.setPen(QPen(QColor(random.bounded(40, 120), random.bounded(50, 140), random.bounded(20, 60)),
                            random.bounded(2, 1 + size.width() / 150)));
        const int x = random.bounded(size.width());
        const int y = size.height() / 2 + random.bounded(size.height() / 2);
        painter.drawLine(x, y, x + random.bounded(-size.width() / 20, size.width() / 20),
                         y - random.bounded(size.height() / 2));
    }
    QFont font;
    font.setPixelSize(size.height() / 8);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, label);
    painter.end();
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int grain = int(random.bounded(17)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + grain, 255), qBound(0, qGreen(c) + grain, 255),
                           qBound(0, qBlue(c) + grain, 255));
        }
    }
    return image.save(path, "JPEG", 90);
}

void addBook(const QString &storePath, const QString &label, int photos)
{
    store::Store library(storePath);
    if (const auto opened = library.open(); !opened)
        die(opened.error());
    QSqlQuery q(library.db());
    q.prepare("INSERT INTO Books (BookLabel, BookDescription, BookDate, builtby, Breakinches1, Breakinches2, "
              "Breakinches3, BreakInches4, BreakInches5, BreakInches6, Active, Locked) "
              "VALUES (?, 'A hundred photos, each a 24-megapixel JPEG', '06/01/2024', 'Benchmark', 0.26, 1.1, 3.1, "
              "6, 9, 0, 0, 0)");
    q.addBindValue(label);
    if (!library.db().transaction() || !q.exec())
        die("the publish book could not be made: " + q.lastError().text());
    const QVariant book = q.lastInsertId();
    q.prepare("INSERT INTO Photos (BookID, BookLabel, PhotoLabel, GroupLabel, TonsPerAcreBreak1, TonsPerAcreBreak2, "
              "TonsPerAcreBreak3, TonsPerAcreBreak4, TonsPerAcreBreak5, VegType, Activity, PhotoPic, DataPic) "
              "VALUES (?, ?, ?, ?, 0.4, 1.2, 2.5, ?, 1.5, 'PIPO', 'NAT', ?, ?)");
    for (int i = 0; i < photos; ++i) {
        const QString number = QString::number(i + 1).rightJustified(3, '0');
        for (const QVariant &value :
             {book, QVariant(label), QVariant(number), QVariant("Photo " + number), QVariant(0.1 * i),
              QVariant("P" + number + ".jpg"), QVariant("D" + number + ".jpg")})
            q.addBindValue(value);
        if (!q.exec())
            die("the publish book's photos could not be made: " + q.lastError().text());
    }
    if (!library.db().commit())
        die("the publish book could not be stored");
}

} // namespace

PublishData preparePublishData(const QString &folder, const QString &codeFilesDir, int photos, const QSize &imageSize)
{
    PublishData data{QDir(folder).filePath("library"), QDir(folder).filePath("images"), "PUB-100"};
    const QString bookFolder = QDir(data.imageRoot).filePath(data.label);
    const QString done = QDir(folder).filePath("complete");
    if (QFile::exists(done))
        return data;
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(data.library) || !QDir().mkpath(bookFolder))
        die("the publish data's folders could not be made in " + folder);
    for (const char *name : {"Vegcodes.txt", "Actcodes.txt"})
        QFile::copy(QDir(codeFilesDir).filePath(name), QDir(data.library).filePath(name));
    addBook(QDir(data.library).filePath("Photo3.mdb"), data.label, photos);
    const QString photo = QDir(folder).filePath("photo.jpg");
    const QString plate = QDir(folder).filePath("plate.jpg");
    if (!writePhotograph(photo, imageSize, 7, "Photo") || !writePhotograph(plate, imageSize, 8, "Data plate"))
        die("the publish images could not be written");
    for (int i = 1; i <= photos; ++i) {
        const QString number = QString::number(i).rightJustified(3, '0');
        for (const auto &[source, name] : {std::pair{photo, "P" + number}, {plate, "D" + number}}) {
            const QString path = QDir(bookFolder).filePath(name + ".jpg");
            if (::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData()) != 0)
                die("the image files could not be made in " + bookFolder);
        }
    }
    QFile stamp(done);
    if (!stamp.open(QIODevice::WriteOnly))
        die("the publish data could not be marked complete");
    return data;
}

ChildRun runChild(const QString &program, const QStringList &arguments)
{
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        texts.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    argv.reserve(texts.size() + 1);
    for (QByteArray &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    // The program's own output is not the benchmark's.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ChildRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        // Waited for with its own resource use: its peak, not that of an earlier child.
        if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
            run.status = WEXITSTATUS(status);
            run.peakMB = double(usage.ru_maxrss) / 1024.0;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

} // namespace bench
