#pragma once

class QComboBox;
class QFileSystemModel;
class QObject;
class QTreeView;
class QWidget;

namespace ui {

// The drive list beside a folder tree: one entry per file-system root, shown with native
// separators, the root's path as the entry's data.
QComboBox *makeDriveList(QWidget *parent, const char *name);

// The folders of every drive, read only, without files.
QFileSystemModel *makeFolderModel(QObject *parent);

// A tree over `folders` that shows the folders' names only.
QTreeView *makeFolderTree(QWidget *parent, const char *name, QFileSystemModel *folders);

} // namespace ui
