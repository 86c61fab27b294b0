#include "EditorFixture.h"

#include "editor/ImageDecoding.h"
#include "editor/ImageFiles.h"
#include "editor/ImageFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include <sys/stat.h>

using testing::Editor;
using testing::ProgramDir;

namespace {

[[nodiscard]] bool writeImage(const QString &path, const char *format, QSize size = {800, 600})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    CHECK(image.save(path, format));
    return true;
}

// A book "BK" of four photos named P1.jpg .. P4.jpg and D1.jpg .. D4.jpg; its folder holds P1.jpg,
// p2.JPG (another letter case) and a damaged P3.jpg.
struct ImageBook
{
    ImageBook()
    {
        folder = dir.filePath("PhotoImages/BK");
        QDir().mkpath(folder);
        QVERIFY(writeImage(folder + "/P1.jpg", "JPEG"));
        QVERIFY(writeImage(folder + "/p2.JPG", "JPEG", {300, 900}));
        QVERIFY(dir.writeFile("PhotoImages/BK/P3.jpg", "not an image at all"));
        const qint64 id = dir.addBook("BK");
        for (int i = 1; i <= 4; ++i)
            dir.addPhoto(id, {{"BookLabel", "BK"},
                              {"PhotoLabel", QString::number(i)},
                              {"PhotoPic", QString("P%1.jpg").arg(i)},
                              {"DataPic", QString("D%1.jpg").arg(i)}});
        editor = std::make_unique<Editor>(dir);
        opened = editor->open(id);
        editor->window->show();
    }
    QLabel *label(const char *name) { return editor->find<QLabel>(name); }
    void drop(int row, const char *field, const QString &file)
    {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        const QPoint at = editor->grid()->visualRect(editor->cell(row, field)).center();
        // As a drag from a file manager arrives: it enters, then drops.
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(editor->grid()->viewport(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(editor->grid()->viewport(), &drop);
    }

    ProgramDir dir;
    QString folder;
    std::unique_ptr<Editor> editor;
    bool opened = false;
};

} // namespace

class ImagesTest : public QObject
{
    Q_OBJECT

private slots:
    void folderFindsNamesAsTheImageRootDoes();
    void namesDifferingOnlyInCaseFindOneFile();
    void previewsAreScaledAndDamagedFilesExplained();
    void copiesNeverReplaceAndMatchTheirFormat();
    void editorMarksMissingFilesAndPreviewsTheCurrentRow();
    void replacedImageIsPreviewedAnew();
    void dropCopiesIntoTheBookFolder();
    void renamingTheBookOffersToRenameItsFolder();
};

void ImagesTest::folderFindsNamesAsTheImageRootDoes()
{
    ImageBook b;
    const editor::BookImageFolder folder(b.folder);
    QCOMPARE(folder.find("P1.jpg"), b.folder + "/P1.jpg");
    QCOMPARE(folder.find("P2.jpg"), b.folder + "/p2.JPG");
    QCOMPARE(folder.find("P4.jpg"), QString());
    // Never outside the book's folder.
    QDir().mkpath(b.dir.filePath("PhotoImages/other"));
    QVERIFY(writeImage(b.dir.filePath("PhotoImages/other/x.jpg"), "JPEG"));
    for (const char *name : {"../other/x.jpg", "..", "sub/x.jpg", "..\\other\\x.jpg"})
        QCOMPARE(folder.find(name), QString());
}

void ImagesTest::namesDifferingOnlyInCaseFindOneFile()
{
    QTemporaryDir dir;
    for (const char *name : {"A.jpg", "a.JPG", "a.jpg", "b.JPG", "B.jpg", "c.png", "\xc3\x84.jpg"}) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const editor::BookImageFolder folder(dir.path());
    // The name in lower case wins over the others of its set; without one, the first by name.
    for (const char *name : {"A.jpg", "a.JPG", "a.jpg", "A.JPG"})
        QCOMPARE(folder.find(name), dir.filePath("a.jpg"));
    for (const char *name : {"b.jpg", "B.JPG", "b.JPG"})
        QCOMPARE(folder.find(name), dir.filePath("B.jpg"));
    QCOMPARE(folder.find("C.PNG"), dir.filePath("c.png"));
    QCOMPARE(folder.find(QString::fromUtf8("\xc3\xa4.JPG")), dir.filePath(QString::fromUtf8("\xc3\x84.jpg")));
    for (const char *name : {"a.jp", "b.jpg2", "0.jpg", "z.jpg", "c.pn"})
        QCOMPARE(folder.find(name), QString());
}

void ImagesTest::previewsAreScaledAndDamagedFilesExplained()
{
    ImageBook b;
    const editor::DecodedImage wide = editor::decodePreview(b.folder + "/P1.jpg", {200, 200});
    QCOMPARE(wide.image.size(), QSize(200, 150));
    const editor::DecodedImage tall = editor::decodePreview(b.folder + "/p2.JPG", {200, 200});
    QCOMPARE(tall.image.height(), 200);
    QVERIFY(qAbs(tall.image.width() - 67) <= 1);
    const editor::DecodedImage damaged = editor::decodePreview(b.folder + "/P3.jpg", {200, 200});
    QVERIFY(damaged.image.isNull());
    QVERIFY(!damaged.error.isEmpty());

    // A file that can be shown but is cut short, or is another format than its name says,
    // carries a warning; a whole one none.
    QCOMPARE(wide.image.text(editor::kImageWarningKey), QString());
    QFile whole(b.folder + "/P1.jpg");
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QVERIFY(b.dir.writeFile("PhotoImages/BK/cut.jpg", whole.readAll().chopped(200)));
    QVERIFY(editor::imageFileWarning(b.folder + "/cut.jpg").contains("cut short"));
    QVERIFY(writeImage(b.folder + "/png.jpg", "PNG"));
    const editor::DecodedImage png = editor::decodePreview(b.folder + "/png.jpg", {200, 200});
    QVERIFY(!png.image.isNull());
    QVERIFY2(png.image.text(editor::kImageWarningKey).contains("PNG"),
             qPrintable(png.image.text(editor::kImageWarningKey)));
}

void ImagesTest::copiesNeverReplaceAndMatchTheirFormat()
{
    ImageBook b;
    const QString png = b.dir.filePath("source.png");
    QVERIFY(writeImage(png, "PNG"));
    QVERIFY(editor::imageFormatMismatch(png, "P4.jpg").contains("PNG image"));
    QCOMPARE(editor::imageFormatMismatch(b.folder + "/P1.jpg", "P4.jpg"), QString());
    QVERIFY(editor::copyImageInto(b.folder + "/P1.jpg", b.folder, "P4.jpg"));
    QVERIFY(QFile::exists(b.folder + "/P4.jpg"));
    // The copy gets the mode the umask gives a new file, not the temporary file's owner-only one.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    struct stat copied = {};
    QCOMPARE(::stat(QFile::encodeName(b.folder + "/P4.jpg").constData(), &copied), 0);
    QCOMPARE(copied.st_mode & 0777, 0666 & ~mask);
    QVERIFY(editor::copyImageInto(png, b.folder, "p1.JPG").error().contains("already exists"));
    QVERIFY(editor::copyImageInto(png, b.folder, "../x.png").is(store::FailureKind::Invalid));
    // No temporary file is left behind.
    QCOMPARE(QDir(b.folder).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

void ImagesTest::editorMarksMissingFilesAndPreviewsTheCurrentRow()
{
    ImageBook b;
    QVERIFY(b.opened);
    QTRY_COMPARE(b.label("lblImages")->text(), QString("5 of 8 image files missing"));
    const QModelIndex p4 = b.editor->cell(3, "PhotoPic");
    QVERIFY(p4.data(editor::PhotoTableModel::MissingImageRole).isValid());
    QVERIFY(p4.data(Qt::ToolTipRole).toString().contains(QDir::toNativeSeparators(b.folder + "/P4.jpg")));
    QVERIFY(!b.editor->cell(1, "PhotoPic")
                 .data(editor::PhotoTableModel::MissingImageRole)
                 .isValid()); // found in another case

    // Files added, renamed or removed while the editor is open are noticed without reopening it.
    QVERIFY(writeImage(b.folder + "/D1.jpg", "JPEG"));
    QTRY_COMPARE_WITH_TIMEOUT(b.label("lblImages")->text(), QString("4 of 8 image files missing"), 5000);
    QVERIFY(QFile::rename(b.folder + "/D1.jpg", b.folder + "/D2.jpg"));
    QTRY_VERIFY_WITH_TIMEOUT(!b.editor->cell(1, "DataPic").data(editor::PhotoTableModel::MissingImageRole).isValid(),
                             5000);
    QVERIFY(QFile::remove(b.folder + "/D2.jpg"));
    QTRY_COMPARE_WITH_TIMEOUT(b.label("lblImages")->text(), QString("5 of 8 image files missing"), 5000);

    b.editor->click("cmdPreview");
    QLabel *photo = b.label("picPhoto");
    QTRY_VERIFY(!photo->pixmap().isNull());
    b.editor->grid()->setCurrentRow(2);
    QTRY_VERIFY(photo->pixmap().isNull() && photo->text().contains("image"));
    b.editor->grid()->setCurrentRow(3);
    QTRY_VERIFY(photo->text().startsWith("Missing:"));
    b.editor->grid()->setCurrentRow(1);
    QTRY_VERIFY(!photo->pixmap().isNull());

    // A book without images shows nothing and flags nothing.
    b.editor->find<QCheckBox>("chkNoImages")->setChecked(true);
    QTRY_COMPARE(b.label("lblImages")->text(), QString());
    QVERIFY(photo->pixmap().isNull());
    QVERIFY(!p4.data(editor::PhotoTableModel::MissingImageRole).isValid());
}

// The previews are cached; a file replaced under the same name is shown as it is now.
void ImagesTest::replacedImageIsPreviewedAnew()
{
    ImageBook b;
    QVERIFY(b.opened);
    b.editor->click("cmdPreview");
    QLabel *photo = b.label("picPhoto");
    b.editor->grid()->setCurrentRow(0);
    QTRY_VERIFY(!photo->pixmap().isNull());
    QVERIFY(photo->pixmap().width() > photo->pixmap().height()); // P1.jpg is wide
    b.editor->grid()->setCurrentRow(3);
    QTRY_VERIFY(photo->text().startsWith("Missing:"));

    const QString p1 = b.folder + "/P1.jpg";
    QVERIFY(QFile::remove(p1));
    QVERIFY(writeImage(p1, "JPEG", {300, 900}));
    QFile replaced(p1);
    QVERIFY(replaced.open(QIODevice::ReadWrite));
    QVERIFY(replaced.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime));
    replaced.close();
    b.editor->grid()->setCurrentRow(0);
    QTRY_VERIFY(!photo->pixmap().isNull() && photo->pixmap().height() > photo->pixmap().width());
}

void ImagesTest::dropCopiesIntoTheBookFolder()
{
    ImageBook b;
    QVERIFY(b.opened);
    const QString source = b.dir.filePath("field.jpg");
    QVERIFY(writeImage(source, "JPEG"));
    b.drop(3, "DataPic", source);
    QCOMPARE(b.editor->messages.count(), 1);
    QVERIFY2(b.editor->messages.last().message.text.contains("stays in the book's folder"),
             qPrintable(b.editor->messages.last().message.text));
    QVERIFY(QFile::exists(b.folder + "/D4.jpg"));
    QTRY_COMPARE(b.label("lblImages")->text(), QString("4 of 8 image files missing"));

    // A name whose file is there, or a file of another format, is refused.
    b.drop(0, "PhotoPic", source);
    QVERIFY(b.editor->messages.last().message.text.contains("already exists"));
    const QString png = b.dir.filePath("field.png");
    QVERIFY(writeImage(png, "PNG"));
    b.drop(3, "PhotoPic", png);
    QVERIFY(b.editor->messages.last().message.text.contains("PNG image"));
    QVERIFY(!QFile::exists(b.folder + "/P4.jpg"));
    QVERIFY(QFile::exists(source)); // the source stays as it was
}

// A save under a new identifier asks to take the image folder along: No leaves it, Yes renames
// it; a folder already under the new name is never merged into or replaced, and is not asked about.
void ImagesTest::renamingTheBookOffersToRenameItsFolder()
{
    ImageBook b;
    QVERIFY(b.opened);
    const QString root = b.dir.filePath("PhotoImages");
    b.editor->box("txtBookID")->setText("BK2");
    b.editor->messages.answerNext(false);
    b.editor->click("cmdSaveNow");
    QCOMPARE(b.editor->messages.texts(), QStringList{"Rename the image folder \"BK\" to \"BK2\"?"});
    QVERIFY(QFileInfo(root + "/BK").isDir() && !QFileInfo::exists(root + "/BK2"));

    b.editor->box("txtBookID")->setText("BK");
    b.editor->click("cmdSaveNow"); // back under the folder's name: nothing to ask
    b.editor->box("txtBookID")->setText("BK3");
    b.editor->click("cmdSaveNow"); // Yes
    QCOMPARE(b.editor->messages.count(), 2);
    QVERIFY(!QFileInfo::exists(root + "/BK") && QFileInfo::exists(root + "/BK3/P1.jpg"));
    QTRY_COMPARE(b.label("lblImages")->text(), QString("5 of 8 image files missing"));

    QVERIFY(QDir().mkpath(root + "/BK4"));
    b.editor->box("txtBookID")->setText("BK4");
    b.editor->click("cmdSaveNow");
    QCOMPARE(b.editor->messages.count(), 2);
    QVERIFY(QFileInfo::exists(root + "/BK3/P1.jpg"));
    QCOMPARE(b.dir.scalar("SELECT BookLabel FROM Books").toString(), QString("BK4"));

    // Something made under the new name between the question and the answer stays as it is.
    const editor::FolderRename rename = editor::folderToRename(root, "BK3", "BK5");
    QVERIFY(!rename.from.isEmpty());
    QVERIFY(QDir().mkpath(root + "/BK5"));
    QVERIFY(editor::renameBookFolder(rename).is(store::FailureKind::Io));
    QVERIFY(QFileInfo::exists(root + "/BK3/P1.jpg"));
}

QTEST_MAIN(ImagesTest)
#include "tst_images.moc"
