#include "TestSupport.h"

#include "catalogue/CatalogueWindow.h"
#include "catalogue/FolderPicker.h"
#include "editor/BookEditor.h"
#include "ui/CoolButton.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

#include <functional>

using catalogue::FolderPicker;
using testing::ProgramDir;
using testing::ScriptedMessages;

namespace {

struct Catalogue
{
    explicit Catalogue(ProgramDir &dir)
        : window(catalogue::AppContext{dir.path(), &messages, &dir.settings(), store::noCdRomDrive})
    {
    }
    template <typename T> T *find(const char *name) { return window.findChild<T *>(QLatin1String(name)); }
    QLineEdit *path() { return find<QLineEdit>("txtPath"); }

    ScriptedMessages messages;
    catalogue::CatalogueWindow window;
};

QString storedPhotoDir(ProgramDir &dir)
{
    return QSettings(dir.settingsFile(), QSettings::IniFormat).value("PhotoDir", "<absent>").toString();
}

// Presses cmdBrowse and lets `act` work the picker while it is open.
[[nodiscard]] bool browse(Catalogue &c, const std::function<void(FolderPicker *)> &act)
{
    bool acted = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *picker = qobject_cast<FolderPicker *>(QApplication::activeModalWidget())) {
            poll.stop();
            acted = true;
            act(picker);
        }
    });
    poll.start(10);
    QTest::mouseClick(c.find<QPushButton>("cmdBrowse"), Qt::LeftButton);
    CHECK(acted);
    CHECK(!QApplication::activeModalWidget());
    return true;
}

void openInTree(FolderPicker *picker, const QString &path)
{
    auto *tree = picker->findChild<QTreeView *>("dirPhoto");
    auto *model = qobject_cast<QFileSystemModel *>(tree->model());
    tree->setCurrentIndex(model->index(path));
}

} // namespace

class ImageRootTest : public QObject
{
    Q_OBJECT

private slots:
    void typedCharactersAreFiltered_data();
    void typedCharactersAreFiltered();
    void pastedTextIsNotFiltered();
    void okPutsPickedFolderWithoutSeparator();
    void cancelAndCloseBoxChangeNothing_data();
    void cancelAndCloseBoxChangeNothing();
    void pickerOpensOnImageRootOrHome();
    void pickerCarriesItsTexts();
    void editorFolderCommandReadsTxtPathAtThePress();
};

void ImageRootTest::typedCharactersAreFiltered_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    for (const char *c : {"\\", ":", "*", "?", "|", "<", ">", ",", "\""})
        QTest::newRow(c) << QString(c) << false;
    // The path separator: "/data/photos" once became "dataphotos" without a sign.
    for (const char *c : {"/", "a", "Z", "7", " ", "-", ".", "_", ";"})
        QTest::newRow(c) << QString(c) << true;
    QTest::newRow("e acute") << QString::fromUtf8("é") << true;
}

void ImageRootTest::typedCharactersAreFiltered()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    ProgramDir dir;
    QVERIFY(dir.settings().setPhotoDir("/data/img").ok());
    Catalogue c(dir);
    QVERIFY(c.window.load());
    QLineEdit *path = c.path();
    path->setCursorPosition(int(path->text().size()));
    QTest::sendKeyEvent(QTest::Click, path, Qt::Key_unknown, typed, Qt::NoModifier);
    const QString expected = accepted ? "/data/img" + typed : "/data/img";
    QCOMPARE(path->text(), expected);
    QCOMPARE(storedPhotoDir(dir), expected);
    // A refused key is signalled at the box.
    QCOMPARE(QToolTip::isVisible(), !accepted);
    if (!accepted)
        QVERIFY(QToolTip::text().startsWith("A folder path cannot hold"));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    // The tooltip keeps the path loaded at start-up.
    QCOMPARE(path->toolTip(), QString("/data/img"));
}

void ImageRootTest::pastedTextIsNotFiltered()
{
    ProgramDir dir;
    QVERIFY(dir.settings().setPhotoDir("").ok());
    Catalogue c(dir);
    QVERIFY(c.window.load());
    QApplication::clipboard()->setText("/mnt/photos, 2024");
    QTest::keySequence(c.path(), QKeySequence::Paste);
    QCOMPARE(c.path()->text(), QString("/mnt/photos, 2024"));
    QCOMPARE(storedPhotoDir(dir), QString("/mnt/photos, 2024"));
}

void ImageRootTest::okPutsPickedFolderWithoutSeparator()
{
    ProgramDir dir;
    QTemporaryDir images;
    QVERIFY(QDir(images.path()).mkpath("Data/Images"));
    const QString picked = QDir(images.path()).filePath("Data/Images");
    Catalogue c(dir);
    QVERIFY(c.window.load());
    c.window.show();
    QVERIFY(browse(c, [&](FolderPicker *picker) {
        openInTree(picker, picked);
        QTest::mouseClick(picker->findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
    }));
    QCOMPARE(c.path()->text(), picked);
    QCOMPARE(storedPhotoDir(dir), picked);
    QTest::mouseClick(c.find<QPushButton>("cmdClose"), Qt::LeftButton);
    QCOMPARE(storedPhotoDir(dir), picked + "/");
}

void ImageRootTest::cancelAndCloseBoxChangeNothing_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Cancel") << false;
    QTest::newRow("close box") << true;
}

void ImageRootTest::cancelAndCloseBoxChangeNothing()
{
    QFETCH(bool, closeBox);
    ProgramDir dir;
    QVERIFY(dir.settings().setPhotoDir("/data/images/").ok());
    Catalogue c(dir);
    QVERIFY(c.window.load());
    c.window.show();
    QVERIFY(browse(c, [&](FolderPicker *picker) {
        openInTree(picker, QDir::tempPath());
        if (closeBox)
            picker->close();
        else
            QTest::mouseClick(picker->findChild<QPushButton *>("cmdCancel"), Qt::LeftButton);
    }));
    QCOMPARE(c.path()->text(), QString("/data/images/"));
    QCOMPARE(storedPhotoDir(dir), QString("/data/images/"));
}

void ImageRootTest::pickerOpensOnImageRootOrHome()
{
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages"));
    const QString root = QDir(dir.path()).filePath("PhotoImages");
    // A relative root is found in the program directory, whatever its letter case or separator.
    for (const QString &text : {QString("photoimages/"), QString("PhotoImages"), root + "/"}) {
        QCOMPARE(FolderPicker::startFolder(dir.path(), text), root);
        FolderPicker picker(dir.path(), text);
        QCOMPARE(picker.currentPath(), root);
    }
    for (const QString &text : {QString("missing/"), QString("/no/such/folder")})
        QCOMPARE(FolderPicker::startFolder(dir.path(), text), QDir::homePath());
}

void ImageRootTest::pickerCarriesItsTexts()
{
    ProgramDir dir;
    FolderPicker picker(dir.path(), "");
    QCOMPARE(picker.windowTitle(), QString("Select Photo Image Directory"));
    QCOMPARE(picker.findChild<QLabel *>("Label1")->text(), QString("Please select one of the following:"));
    QCOMPARE(picker.findChild<QGroupBox *>("Frame2")->title(), QString("  Select folder that contains photo images "));
    QCOMPARE(picker.findChild<QLabel *>("lblHint")->text(),
             QString("HINT: Select the folder that \ncontains the photo series folders \n"
                     "such as the example on the right.\nThe default name is PhotoImages."));
    QCOMPARE(picker.findChild<QLabel *>("Image1")->pixmap().size(), QSize(109, 78));
    QVERIFY(picker.findChild<QComboBox *>("drvPhoto")->count() >= 1);
    for (const char *name : {"cmdOK", "cmdCancel"}) {
        auto *button = picker.findChild<ui::CoolButton *>(name);
        QVERIFY2(button && button->hasHoverColours(), name);
    }
}

void ImageRootTest::editorFolderCommandReadsTxtPathAtThePress()
{
    ProgramDir dir;
    dir.addBook("Int-46");
    QVERIFY(dir.copyCodeFiles()); // the editor reads them when it opens
    QTemporaryDir elsewhere;
    QVERIFY(QDir(elsewhere.path()).mkpath("Images"));
    Catalogue c(dir);
    QVERIFY(c.window.load());
    c.window.show();
    auto *grid = c.find<QTableView>("grdBooks");
    grid->selectionModel()->setCurrentIndex(grid->model()->index(0, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::mouseClick(c.find<QPushButton>("cmdEdit"), Qt::LeftButton);
    editor::BookEditor *editor = c.window.editorWindow();
    QVERIFY(editor);
    auto *cmdFolder = editor->findChild<ui::CoolButton *>("cmdFolder");
    QVERIFY(cmdFolder->hasHoverColours());

    // The root in the catalogue's box at the moment of the press counts, with or without
    // its trailing separator.
    const QString root = QDir(elsewhere.path()).filePath("Images");
    c.path()->setText(root);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(cmdFolder, &enter);
    QCOMPARE(cmdFolder->backcolor(), QColor(255, 255, 192));
    c.messages.answerNext(true);
    QTest::mouseClick(cmdFolder, Qt::LeftButton);
    QCOMPARE(cmdFolder->backcolor(), QColor(192, 192, 255)); // rest colours before the question
    QCOMPARE(c.messages.texts(),
             QStringList{"The folder for the Int-46 book does not exist. Do you wish to create it?."});
    QVERIFY(QFileInfo(QDir(root).filePath("Int-46")).isDir());

    c.messages.clear();
    c.path()->setText(root + "/");
    QTest::mouseClick(cmdFolder, Qt::LeftButton);
    QCOMPARE(c.messages.texts(), QStringList{"Folder to store book images: \nThe folder for this book already exists"});

    // A root that is not there is refused and nothing is made.
    c.messages.clear();
    c.path()->setText(QDir(elsewhere.path()).filePath("Missing"));
    QTest::mouseClick(cmdFolder, Qt::LeftButton);
    QCOMPARE(c.messages.count(), 1);
    QVERIFY(c.messages.last().message.text.contains("The photo image folder does not exist."));
    QVERIFY(!QFileInfo::exists(QDir(elsewhere.path()).filePath("Missing")));

    // The identifier as typed, in any letter case of "Untitled", is refused.
    c.messages.clear();
    editor->findChild<QLineEdit *>("txtBookID")->setText("UNTITLED");
    c.path()->setText(root);
    QTest::mouseClick(cmdFolder, Qt::LeftButton);
    QCOMPARE(c.messages.texts(), QStringList{"Book Identity cannot be Untitled"});
    QVERIFY(!QFileInfo::exists(QDir(root).filePath("UNTITLED")));
    editor->close();
}

QTEST_MAIN(ImageRootTest)
#include "tst_imageroot.moc"
