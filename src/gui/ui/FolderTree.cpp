#include "ui/FolderTree.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QTreeView>

namespace ui {

QComboBox *makeDriveList(QWidget *parent, const char *name)
{
    auto *drives = new QComboBox(parent);
    drives->setObjectName(QLatin1String(name));
    for (const QFileInfo &drive : QDir::drives())
        drives->addItem(QDir::toNativeSeparators(drive.absoluteFilePath()), drive.absoluteFilePath());
    return drives;
}

QFileSystemModel *makeFolderModel(QObject *parent)
{
    auto *folders = new QFileSystemModel(parent);
    folders->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    folders->setReadOnly(true);
    return folders;
}

QTreeView *makeFolderTree(QWidget *parent, const char *name, QFileSystemModel *folders)
{
    auto *tree = new QTreeView(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setModel(folders);
    tree->setHeaderHidden(true);
    // Size, type and date would crowd the names.
    for (int column = 1; column < folders->columnCount(); ++column)
        tree->hideColumn(column);
    return tree;
}

} // namespace ui
