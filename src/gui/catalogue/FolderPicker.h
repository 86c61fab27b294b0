#pragma once

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QTreeView;

namespace ui {
class CoolButton;
}

namespace catalogue {

// The folder picker: a drive list and a folder tree. OK accepts the dialog with the folder
// opened in the tree as currentPath(); Cancel and the close box reject it.
class FolderPicker final : public QDialog
{
    Q_OBJECT

public:
    // rootText is the image root as the catalogue's txtPath holds it; a relative root is taken
    // relative to programDir.
    FolderPicker(const QString &programDir, const QString &rootText, QWidget *parent = nullptr);

    // The folder the picker opens on: the image root when it is an existing folder, else the
    // user's home folder.
    static QString startFolder(const QString &programDir, const QString &rootText);
    // The example folder tree shown beside the hint.
    static QPixmap examplePicture();
    static QString hintText();

    // Full path of the folder opened in dirPhoto, without a trailing separator (a file-system
    // root keeps its own).
    QString currentPath() const { return m_path; }
    void setCurrentPath(const QString &path);

private:
    void buildWindow();
    void buildFolderFrame();
    // Keeps m_path on the folder opened in the tree while the model fills and sorts.
    void followOpenedFolder();
    void load(const QString &startPath);
    void onDriveChanged(int index);

    QFileSystemModel *m_folders = nullptr;
    QString m_path;

    QLabel *Label1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QComboBox *drvPhoto = nullptr;
    QTreeView *dirPhoto = nullptr;
    QLabel *lblHint = nullptr;
    QLabel *Image1 = nullptr;
    ui::CoolButton *cmdOK = nullptr;
    ui::CoolButton *cmdCancel = nullptr;
};

} // namespace catalogue
