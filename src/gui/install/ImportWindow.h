#pragma once

#include <QDialog>
#include <QSqlDatabase>

class QComboBox;
class QFileSystemModel;
class QListWidget;
class QTreeView;

namespace ui {
class CoolButton;
class Messages;
} // namespace ui

namespace install {

// The install-file window: a drive list, a folder view and the *.bks files of the chosen
// folder. Import reads every selected file into the store as a new book; the catalogue recounts
// and re-queries its list once when the window has closed.
class ImportWindow final : public QDialog
{
    Q_OBJECT

public:
    ImportWindow(const QSqlDatabase &db, QString programDir, ui::Messages &messages, QWidget *parent = nullptr);

    // Styles the window and opens it on the program directory's Books folder, which is
    // created when no folder of that name (in any letter case) is there.
    void load();

    // The folder whose files are listed.
    QString folder() const { return m_folder; }
    void setFolder(const QString &path);

    // Files larger than this show a progress dialog while they are imported (a few thousand photos).
    static constexpr qint64 kProgressFromBytes = qint64(512) * 1024;

private:
    void buildWindow();
    void layOutWindow();
    void connectLists();
    void showFolderInTree();
    void onDriveChanged(int index);
    void onFolderActivated(const QModelIndex &index);
    void onSelectionChanged();
    void onImport();
    bool importOne(const QString &path);

    QSqlDatabase m_db;
    QString m_programDir;
    ui::Messages &m_messages;
    QString m_folder;
    QFileSystemModel *m_folders = nullptr;
    bool m_followFolder = true;

    QComboBox *drvBook = nullptr;
    QTreeView *dirBooks = nullptr;
    QListWidget *filBook = nullptr;
    ui::CoolButton *cmdOpen = nullptr;
    ui::CoolButton *cmdCancel = nullptr;
};

} // namespace install
