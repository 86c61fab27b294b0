#pragma once

#include "editor/EditorContext.h"
#include "library/BookSave.h"
#include "store/BookRecord.h"

#include <QVariantList>
#include <QWidget>

#include <optional>

class QAction;
class QCalendarWidget;
class QCheckBox;
class QFrame;
class QComboBox;
class QFileSystemWatcher;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSplitter;
template <typename T> class QFutureWatcher;

#include <memory>
#include <optional>

namespace ui {
class CoolButton;
struct Message;
} // namespace ui

namespace editor {

class BookImageFolder;
class CodePickLists;
class EditHistory;
struct StepPlace;
class PreviewPanel;
class PhotoGrid;
class PhotoTableModel;

// The book editor: one book's header and its photos. Opened by the catalogue for the book it
// names, or for a new book; it tells the catalogue when it has closed by any route.
class BookEditor final : public QWidget
{
    Q_OBJECT

public:
    explicit BookEditor(EditorContext context, QWidget *parent = nullptr);
    ~BookEditor() override;

    // Set by the opener before load(): a new book, or the key of the book to edit.
    void setNewBook(bool newBook) { m_newBook = newBook; }
    bool isNewBook() const { return m_newBook; }
    void setBookId(qint64 id) { m_book.id = id; }
    qint64 bookId() const { return m_book.id; }

    // The load sequence. When the book cannot be opened or created the user has been told
    // what failed, nothing of a new book is left in the store, and false comes back.
    bool load();

    const EditorContext &context() const { return m_context; }
    PhotoTableModel &photos() { return *m_photos; }
    PhotoGrid *grid() const { return grdPhotos; }
    EditHistory &history() { return *m_history; }

    // Another program may have changed or deleted this book: when it did, a line over the editor
    // says so and offers to reload it; nothing else changes, so typing goes on undisturbed.
    void checkStoredBook();

signals:
    // The window has closed: the opener re-reads its book list and takes input again.
    void unloaded();
    // The book was saved and the editor stays open: the opener shows the saved values.
    void bookSaved();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildCommandButtons();
    void layOutWindow(QSplitter *imageArea);
    void setUpHeaderBoxes();
    QGroupBox *buildBookFrame();
    QGroupBox *buildSizeClassFrame();
    QGroupBox *buildAidesFrame();
    void buildPickLists();
    bool loadExistingBook();
    bool loadNewBook();
    void fillHeader();
    void fillHeaderFromStore();
    // After a save refused because another program changed the book: asks, then reloads it.
    void offerReload();
    void reloadBook();
    // The line that says another program changed the book (BookEditorLive.cpp).
    QFrame *buildChangedLine();
    void onReloadChanged();
    void onKeepEditing();
    QStringList headerTexts() const;
    // The grid's columns by field name, as their widths are remembered.
    QStringList columnFields() const;
    bool hasPendingChanges() const;
    void tell(const QString &text);

    // Photo rows, pick lists and image naming (BookEditorPhotos.cpp).
    void setUpPhotoRules();
    void onAdd();
    void onDuplicate();
    void onDelete();
    void onUseSuffixToggled(bool checked);
    void onNoImagesToggled(bool checked);
    void onCellButton(int row, int column);
    void onCellCommitted(int row, int column, bool edited);

    // Images (BookEditorImages.cpp).
    QSplitter *buildImageArea();
    void setUpImages();
    void saveImageLayout();
    // The image root as the catalogue's path box gives it, resolved.
    QString imageRootPath() const;
    // The folder the book's images are read from: the image root + the saved identifier.
    QString bookImageFolderPath() const;
    // After a save that changed the identifier: offers to rename the old image folder to the new
    // identifier when only the old one exists.
    void offerFolderRename(const QString &oldLabel);
    void refreshImageFolder();
    void showImageCount();
    void togglePreview();
    void updatePreview();
    void onAddImage();
    void onFileDropped(int row, int column, const QString &path);
    void addImageFile(int row, const QString &field, const QString &source);

    // Undo and redo (BookEditorHistory.cpp).
    void setUpHistory();
    // From here on, header and aide changes are steps; what the boxes hold now is the start.
    void startRecording();
    QList<QLineEdit *> headerBoxes() const;
    void onHistoryKey(bool undo);
    void stepHistory(bool undo);
    void showStep(const StepPlace &place);
    static bool takesHistoryKey(QEvent *event);
    void recordHeader();
    void applyHeader(const QVariantList &texts);
    std::optional<ui::Message> headerRefusal(const QVariantList &texts) const;
    QVariantList aideState() const;
    void recordAides();
    void applyAides(const QVariantList &state);

    // Size classes: each bound box rewrites the labels, headings and columns after it.
    void onBoundChanged(int sizeClass);
    void setClassHeading(int sizeClass, const QString &heading);
    void showClassColumn(int sizeClass, bool visible);
    void onCalendar();
    // Creates the book's image folder under the image root, after its checks and a question.
    void onFolder();
    void onDateClicked(const QDate &date);

    bool validate();
    // Checks and writes the whole book in one transaction and leaves the editor on the saved
    // book; false (the user told why) when nothing was written.
    bool save();
    void onSaveAndClose();
    void onSaveNow();
    void onCancel();
    // Ends the editor without the close box's question; a removal of a new book's row has
    // been done or was not wanted.
    void closeWithoutAsking();
    // True (and the close remembered) while a box or dialog over this window is open.
    bool postponeWhileBoxOpen();

    EditorContext m_context;
    bool m_newBook = false;
    bool m_unloaded = false;
    bool m_closeWithoutAsking = false;
    enum class PostponedClose { None, Asking, WithoutAsking };
    PostponedClose m_postponedClose = PostponedClose::None;
    // The header boxes as the last step (or the loading) left them.
    QStringList m_loadedHeader;
    QVariantList m_recordedAides;
    bool m_recording = false;
    int m_headerSession = 0; // a new one each time a header box takes the focus
    EditHistory *m_history = nullptr;
    QAction *actUndo = nullptr;
    QAction *actRedo = nullptr;
    QAction *mnuUndo = nullptr;
    QAction *mnuRedo = nullptr;
    store::BookHeader m_book;
    PhotoTableModel *m_photos = nullptr;
    CodePickLists *m_pickLists = nullptr;

    QGroupBox *fraBook = nullptr;
    QLineEdit *txtBookID = nullptr;
    QLineEdit *txtName = nullptr;
    QLineEdit *txtDate = nullptr;
    QLineEdit *txtBuiltBy = nullptr;
    ui::CoolButton *cmdCalendar = nullptr;
    QCalendarWidget *calDate = nullptr;
    ui::CoolButton *cmdFolder = nullptr;

    QGroupBox *fraSizeClasses = nullptr;
    QLineEdit *txtSC4 = nullptr;
    QLineEdit *txtSC5 = nullptr;
    QLineEdit *txtSC6 = nullptr;
    QLabel *lblSC5 = nullptr;
    QLabel *lblSC6 = nullptr;
    QLabel *lblSC7 = nullptr;

    QGroupBox *fraAides = nullptr;
    QCheckBox *chkCopyPhotoDesc = nullptr;
    QCheckBox *chkNoImages = nullptr;
    QCheckBox *chkUseSuffix = nullptr;
    QComboBox *cboFileType = nullptr;

    QLabel *lblPhotos = nullptr;
    PhotoGrid *grdPhotos = nullptr;
    QLabel *lblStatus = nullptr;
    ui::CoolButton *cmdAdd = nullptr;
    ui::CoolButton *cmdDup = nullptr;
    ui::CoolButton *cmdDelete = nullptr;
    ui::CoolButton *cmdSave = nullptr;
    ui::CoolButton *cmdSaveNow = nullptr;
    ui::CoolButton *cmdCancel = nullptr;

    QFrame *fraChanged = nullptr;
    QLabel *lblChanged = nullptr;
    ui::CoolButton *cmdReload = nullptr;
    ui::CoolButton *cmdKeepEditing = nullptr;
    // The book as stored when the user chose to keep editing over another program's change: the
    // line comes back only when the stored book differs from it again.
    std::optional<library::LoadedBook> m_keptOver;

    PreviewPanel *fraPreview = nullptr;
    QSplitter *m_splitter = nullptr;
    ui::CoolButton *cmdPreview = nullptr;
    ui::CoolButton *cmdAddImage = nullptr;
    QLabel *lblImages = nullptr;
    QFutureWatcher<std::shared_ptr<const BookImageFolder>> *m_folderListing = nullptr;
    QFileSystemWatcher *m_folderWatcher = nullptr;

    QListWidget *lstVegType = nullptr;
    QListWidget *lstActType = nullptr;
    QListWidget *lstFM = nullptr;
    QListWidget *lstFM2 = nullptr;
    QListWidget *lstDR = nullptr;
};

} // namespace editor
