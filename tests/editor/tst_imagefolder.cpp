#include "TestSupport.h"

#include "editor/ImageFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

using editor::BookFolderRequest;
using editor::BookFolderStep;
using testing::ProgramDir;
using testing::ScriptedMessages;

Q_DECLARE_METATYPE(BookFolderStep)

namespace {

const QString askText("The folder for the ABC book does not exist. Do you wish to create it?.");
const QString existsText("Folder to store book images: \nThe folder for this book already exists");

BookFolderRequest request(const ProgramDir &dir, const QString &root, const QString &id)
{
    BookFolderRequest r;
    r.programDir = dir.path();
    r.rootText = root;
    r.identifier = id;
    r.isOpticalVolume = [](const QString &) { return false; };
    return r;
}

} // namespace

class ImageFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void createsOnYesThenReportsItExists_data();
    void createsOnYesThenReportsItExists();
    void blanksAroundTheIdentifierAreDropped();
    void noCreatesNothing();
    void folderInOtherLetterCaseExists();
    void failedCreationIsReported();
    void unwritableRootIsReported();
    void ordinaryFolderIsNotOptical();
};

void ImageFolderTest::refusals_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("cdDrives");
    QTest::addColumn<bool>("optical");
    QTest::addColumn<BookFolderStep>("step");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ui::Icon>("icon");

    const QString untitled("Book Identity cannot be Untitled");
    const QString cd("Folder to store book images: \nCannot create a book folder on a CD ROM. Please check photo "
                     "images folder path.");
    const QString missing("Folder to store book images: \nThe photo image folder does not exist. Please check "
                          "photo images folder path.");
    for (const char *id : {"untitled", "Untitled", "UNTITLED", "uNtItLeD", " Untitled "})
        QTest::newRow(id) << "PhotoImages" << id << "" << false << BookFolderStep::Untitled << untitled
                          << ui::Icon::Exclamation;
    QTest::newRow("untitled before missing root")
        << "nowhere"
        << "Untitled"
        << "" << false << BookFolderStep::Untitled << untitled << ui::Icon::Exclamation;
    QTest::newRow("CD-ROM drive letter, folder exists")
        << "D:/PhotoImages/"
        << "ABC"
        << "D" << false << BookFolderStep::OnCdRom << cd << ui::Icon::Critical;
    QTest::newRow("CD-ROM drive letter, lower case")
        << "d:/nowhere"
        << "ABC"
        << "D" << false << BookFolderStep::OnCdRom << cd << ui::Icon::Critical;
    QTest::newRow("other drive letter") << "E:/PhotoImages"
                                        << "ABC"
                                        << "D" << false << BookFolderStep::RootMissing << missing << ui::Icon::Critical;
    QTest::newRow("optical volume") << "PhotoImages/"
                                    << "ABC"
                                    << "" << true << BookFolderStep::OnCdRom << cd << ui::Icon::Critical;
    QTest::newRow("missing root is not asked about its volume")
        << "nowhere/"
        << "ABC"
        << "" << true << BookFolderStep::RootMissing << missing << ui::Icon::Critical;
    QTest::newRow("empty root") << ""
                                << "ABC"
                                << "" << false << BookFolderStep::RootMissing << missing << ui::Icon::Critical;
    QTest::newRow("blank root") << "  "
                                << "ABC"
                                << "" << false << BookFolderStep::RootMissing << missing << ui::Icon::Critical;
    QTest::newRow("missing absolute root")
        << "/no/such/root"
        << "ABC"
        << "" << false << BookFolderStep::RootMissing << missing << ui::Icon::Critical;
    for (const char *id : {"", ".", "..", "../ABC", "a/b", "a:b", "x\"y", "a|b", "a\tb"})
        QTest::newRow(qPrintable(QString("identifier '%1'").arg(id)))
            << "PhotoImages" << id << "" << false << BookFolderStep::InvalidName
            << QString("Folder to store book images: \nThe book identity \"%1\" cannot be used as a folder name.")
                   .arg(id)
            << ui::Icon::Exclamation;
}

void ImageFolderTest::refusals()
{
    QFETCH(QString, root);
    QFETCH(QString, id);
    QFETCH(QString, cdDrives);
    QFETCH(bool, optical);
    QFETCH(BookFolderStep, step);
    QFETCH(QString, text);
    QFETCH(ui::Icon, icon);
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages"));
    QVERIFY(QDir(dir.path()).mkpath("D:/PhotoImages"));
    BookFolderRequest r = request(dir, root, id);
    r.isCdRomDrive = [&](QChar letter) { return cdDrives.contains(letter); };
    r.isOpticalVolume = [&](const QString &) { return optical; };
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    ScriptedMessages messages;
    QCOMPARE(editor::runBookFolderCommand(r, messages), step);
    QCOMPARE(messages.count(), 1);
    QVERIFY(!messages.last().question);
    QCOMPARE(messages.last().message.text, text);
    QCOMPARE(messages.last().message.icon, icon);
    QCOMPARE(messages.last().message.title, QString("Photo Series Books"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY(QDir(dir.filePath("PhotoImages")).isEmpty());
}

void ImageFolderTest::createsOnYesThenReportsItExists_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("folder"); // relative to the program directory
    QTest::addColumn<QString>("pressedLater");
    QTest::newRow("absolute root") << "<dir>/PhotoImages"
                                   << "PhotoImages/ABC"
                                   << "<dir>/PhotoImages/";
    QTest::newRow("absolute root with separator") << "<dir>/PhotoImages/"
                                                  << "PhotoImages/ABC"
                                                  << "<dir>/PhotoImages";
    QTest::newRow("relative root, other case") << "photoimages/"
                                               << "PhotoImages/ABC"
                                               << "photoimages";
    QTest::newRow("drive-like root not on CD-ROM") << "D:/PhotoImages/"
                                                   << "D:/PhotoImages/ABC"
                                                   << "D:/PhotoImages";
}

void ImageFolderTest::createsOnYesThenReportsItExists()
{
    QFETCH(QString, root);
    QFETCH(QString, folder);
    QFETCH(QString, pressedLater);
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages"));
    QVERIFY(QDir(dir.path()).mkpath("D:/PhotoImages"));
    root.replace("<dir>", dir.path());
    pressedLater.replace("<dir>", dir.path());

    ScriptedMessages messages;
    messages.answerNext(true);
    QCOMPARE(editor::runBookFolderCommand(request(dir, root, "ABC"), messages), BookFolderStep::AskToCreate);
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.last().question);
    QCOMPARE(messages.last().message.text, askText);
    QCOMPARE(messages.last().message.title, QString("Folder to store book images"));
    QCOMPARE(messages.last().message.icon, ui::Icon::Question);
    QVERIFY(QFileInfo(dir.filePath(folder)).isDir());

    for (const QString &again : {root, pressedLater}) {
        messages.clear();
        QCOMPARE(editor::runBookFolderCommand(request(dir, again, "ABC"), messages), BookFolderStep::AlreadyExists);
        QCOMPARE(messages.texts(), QStringList{existsText});
        QCOMPARE(messages.last().message.icon, ui::Icon::Information);
        QCOMPARE(messages.last().message.title, QString("Photo Series Books"));
    }
}

void ImageFolderTest::blanksAroundTheIdentifierAreDropped()
{
    // Save stores " ABC " as "ABC": the folder carries the same name.
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages"));
    ScriptedMessages messages;
    messages.answerNext(true);
    QCOMPARE(editor::runBookFolderCommand(request(dir, "PhotoImages", " ABC "), messages), BookFolderStep::AskToCreate);
    QCOMPARE(messages.last().message.text, askText);
    QCOMPARE(QDir(dir.filePath("PhotoImages")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"ABC"});
}

void ImageFolderTest::noCreatesNothing()
{
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages"));
    ScriptedMessages messages;
    messages.answerNext(false);
    QCOMPARE(editor::runBookFolderCommand(request(dir, "PhotoImages", "ABC"), messages), BookFolderStep::AskToCreate);
    QCOMPARE(messages.texts(), QStringList{askText});
    QVERIFY(QDir(dir.filePath("PhotoImages")).isEmpty());
}

void ImageFolderTest::folderInOtherLetterCaseExists()
{
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages/abc"));
    const editor::BookFolderCheck check = editor::checkBookFolder(request(dir, "PhotoImages", "ABC"));
    QCOMPARE(check.step, BookFolderStep::AlreadyExists);
    QCOMPARE(check.folder, dir.filePath("PhotoImages/abc"));
}

void ImageFolderTest::failedCreationIsReported()
{
    // A file of the book's name stands where the folder should go.
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages"));
    QVERIFY(dir.writeFile("PhotoImages/ABC", "not a folder"));
    ScriptedMessages messages;
    QCOMPARE(editor::runBookFolderCommand(request(dir, "PhotoImages", "ABC"), messages), BookFolderStep::AskToCreate);
    QCOMPARE(messages.count(), 2);
    const ui::Message &failure = messages.last().message;
    QVERIFY(failure.text.startsWith("Folder to store book images: \nThe folder "));
    QVERIFY(failure.text.contains(QDir::toNativeSeparators(dir.filePath("PhotoImages/ABC"))));
    QVERIFY(failure.text.contains("could not be created: "));
    QCOMPARE(failure.icon, ui::Icon::Critical);
    QVERIFY(QFileInfo(dir.filePath("PhotoImages/ABC")).isFile());
}

void ImageFolderTest::unwritableRootIsReported()
{
    if (::geteuid() == 0) {
        // Folder permissions do not bind the superuser, which is how CI runs the suite: run this
        // test again as nobody, from a copy of the program that nobody may reach.
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        QVERIFY2(!setpriv.isEmpty(), "setpriv (util-linux) runs this test as nobody");
        QTemporaryDir copyDir;
        QVERIFY(copyDir.isValid());
        const QString copy = copyDir.filePath(QStringLiteral("tst_imagefolder"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        const auto readAndRun = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(copyDir.path(), readAndRun | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(copy, readAndRun));
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        child.setProcessEnvironment(env);
        child.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                              QStringLiteral("--clear-groups"), copy, QStringLiteral("unwritableRootIsReported")});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray output = child.readAll();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
        QVERIFY2(output.contains("PASS   : ImageFolderTest::unwritableRootIsReported()"), output.constData());
        return;
    }
    ProgramDir dir;
    QVERIFY(QDir(dir.path()).mkpath("PhotoImages"));
    const QString root = dir.filePath("PhotoImages");
    QVERIFY(QFile::setPermissions(root, QFile::ReadOwner | QFile::ExeOwner));
    ScriptedMessages messages;
    editor::runBookFolderCommand(request(dir, root, "ABC"), messages);
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(messages.count(), 2);
    QVERIFY(messages.last().message.text.contains("could not be created: "));
    QVERIFY(!QFileInfo::exists(dir.filePath("PhotoImages/ABC")));
}

void ImageFolderTest::ordinaryFolderIsNotOptical()
{
    QTemporaryDir dir;
    QVERIFY(!editor::isOnOpticalDisc(dir.path()));
    QVERIFY(!editor::isOnOpticalDisc(dir.filePath("missing")));
}

QTEST_MAIN(ImageFolderTest)
#include "tst_imagefolder.moc"
