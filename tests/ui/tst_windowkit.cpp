#include "ui/FolderTree.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

class WindowKitTest : public QObject
{
    Q_OBJECT

private slots:
    void folderTreeListsFolderNamesOnly();
    void messageBoxShowsItsWholeTitle();
};

// The tree is for choosing a folder: files, the parent entries and the size, type and date
// columns stay out of it, and every drive is offered with its root as the entry's data.
void WindowKitTest::folderTreeListsFolderNamesOnly()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Int-46")));
    QFile file(QDir(dir.path()).filePath(QStringLiteral("Int-46.bks")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QWidget window;
    const QComboBox *drives = ui::makeDriveList(&window, "drvPhoto");
    QCOMPARE(drives->count(), int(QDir::drives().size()));
    QCOMPARE(drives->itemData(0).toString(), QDir::drives().first().absoluteFilePath());
    QFileSystemModel *folders = ui::makeFolderModel(&window);
    const QTreeView *tree = ui::makeFolderTree(&window, "dirPhoto", folders);
    const QModelIndex root = folders->setRootPath(dir.path());
    QTRY_COMPARE(folders->rowCount(root), 1);
    QCOMPARE(folders->fileName(folders->index(0, 0, root)), QStringLiteral("Int-46"));
    QVERIFY(folders->isReadOnly());
    for (int column = 1; column < folders->columnCount(); ++column)
        QVERIFY(tree->isColumnHidden(column));
    QVERIFY(!tree->isColumnHidden(0));
}

QTEST_MAIN(WindowKitTest)
// A box with a short text was once narrower than its title ("Photo S…s Books").
void WindowKitTest::messageBoxShowsItsWholeTitle()
{
    ui::BoxMessages messages;
    int width = 0;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        width = box->width();
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    messages.tell({QStringLiteral("OK")});
    const int title = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(ui::programTitle());
    QVERIFY2(width >= title + 100, qPrintable(QString::number(width)));
}

#include "tst_windowkit.moc"
