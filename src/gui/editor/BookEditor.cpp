#include "editor/BookEditor.h"

#include "common/Twips.h"
#include "editor/BookEdits.h"
#include "editor/EditHistory.h"
#include "editor/GridRules.h"
#include "editor/HeaderRules.h"
#include "editor/ImageFolder.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "library/BookList.h"
#include "store/NameRules.h"
#include "store/Store.h"
#include "ui/CoolButton.h"
#include "ui/FlatStyling.h"
#include "ui/InputFeedback.h"
#include "ui/Messages.h"
#include "ui/WindowKit.h"
#include "ui/WindowLayout.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace editor {

namespace {

QLineEdit *makeBox(QWidget *parent, const char *name, const QString &tip = {})
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    return box;
}

QLabel *makeLabel(QWidget *parent, const QString &text, const char *name = nullptr)
{
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    return label;
}

QCheckBox *makeCheck(QWidget *parent, const char *name, const QString &caption, const QString &tip)
{
    auto *check = new QCheckBox(caption, parent);
    check->setObjectName(QLatin1String(name));
    check->setToolTip(tip);
    return check;
}

// Takes the refused characters out of the box's text as soon as the user's edit brings them
// (so a typed one never shows), with a beep and a tooltip saying what the box takes.
void refuseCharacters(QLineEdit *box, bool (*refused)(QChar), const QString &hint)
{
    QObject::connect(box, &QLineEdit::textEdited, box, [box, refused, hint](const QString &text) {
        QString kept = text;
        kept.removeIf(refused);
        if (kept == text)
            return;
        const int cursor = box->cursorPosition() - int(text.size() - kept.size());
        box->setText(kept);
        box->setCursorPosition(qMax(0, cursor));
        ui::signalRefusedInput(box, hint);
    });
}

ui::Message discardQuestion()
{
    return {QStringLiteral("The changes to this book have not been saved.\n"
                           "Do you want to discard them and close the editor?"),
            ui::Icon::Question};
}

// A stored header value as the box shows it: null as empty text, numbers in short form.
QString headerText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double)
        return numberText(value.toDouble());
    return value.toString();
}

} // namespace

BookEditor::BookEditor(EditorContext context, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(std::move(context))
{
    setObjectName(QStringLiteral("frmBooks"));
    buildWindow();
}

BookEditor::~BookEditor()
{
    // QWidget's destructor hides the window, which can still commit an open cell editor into
    // the model; its signals must not reach this window's slots once this part is gone.
    if (m_photos)
        disconnect(m_photos, nullptr, this, nullptr);
    if (grdPhotos)
        disconnect(grdPhotos, nullptr, this, nullptr);
}

void BookEditor::buildWindow()
{
    setWindowTitle(QStringLiteral("Books Editor"));

    fraBook = buildBookFrame();
    fraSizeClasses = buildSizeClassFrame();
    fraAides = buildAidesFrame();
    lblPhotos = ui::makePanelCaption(this, QStringLiteral("Photos"), "lblPhotos");
    grdPhotos = new PhotoGrid(this);
    QSplitter *imageArea = buildImageArea();
    lblStatus = makeLabel(this, QString(), "lblStatus");
    buildCommandButtons();
    fraChanged = buildChangedLine();
    layOutWindow(imageArea);
    buildPickLists();

    // The calendar floats over the window below the date box.
    calDate = new QCalendarWidget(this);
    calDate->setObjectName(QStringLiteral("calDate"));
    calDate->hide();

    setUpHeaderBoxes();
    connect(cmdCalendar, &QPushButton::clicked, this, &BookEditor::onCalendar);
    connect(cmdFolder, &QPushButton::clicked, this, &BookEditor::onFolder);
    connect(calDate, &QCalendarWidget::clicked, this, &BookEditor::onDateClicked);
    connect(cmdSave, &QPushButton::clicked, this, &BookEditor::onSaveAndClose);
    connect(cmdSaveNow, &QPushButton::clicked, this, &BookEditor::onSaveNow);
    connect(cmdCancel, &QPushButton::clicked, this, &BookEditor::onCancel);

    resize(1180, 640);
}

void BookEditor::buildCommandButtons()
{
    cmdAdd = ui::makeButton(this, "cmdAdd", QStringLiteral("Add Photo"), QStringLiteral("Add a New Photo"));
    cmdDup = ui::makeButton(this, "cmdDup", QStringLiteral("Duplicate Photo"),
                            QStringLiteral("Create a New Photo using Selected Photo"));
    cmdDelete =
        ui::makeButton(this, "cmdDelete", QStringLiteral("Delete Photo"), QStringLiteral("Delete the Selected Photo"));
    cmdSave =
        ui::makeButton(this, "cmdSave", QStringLiteral("Save and Close"), QStringLiteral("Save Changes and Exit"));
    cmdSaveNow =
        ui::makeButton(this, "cmdSaveNow", QStringLiteral("Save"), QStringLiteral("Save Changes"), ui::Hover::Plain);
    cmdCancel = ui::makeButton(this, "cmdCancel", QStringLiteral("Cancel"), QStringLiteral("Discard Changes and Exit"));
}

// The three header frames in a row, the caption over the grid and its image panel, and the
// status line with the command buttons at the bottom.
void BookEditor::layOutWindow(QSplitter *imageArea)
{
    // The frames share the width in fixed parts, whatever the texts a book puts into them.
    auto *header = new QHBoxLayout;
    header->addWidget(fraBook, 3);
    header->addWidget(fraSizeClasses, 2);
    header->addWidget(fraAides, 2);
    // The size classes' frame keeps room for seven classes whose bounds run to three digits, so
    // that every heading shows whole whichever book is open.
    lblSC5->setText(QStringLiteral("999.9->"));
    lblSC6->setText(QStringLiteral("999.9->"));
    lblSC7->setText(QStringLiteral("999.9 +"));
    for (QGroupBox *frame : {fraBook, fraSizeClasses, fraAides}) {
        frame->setMinimumWidth(frame->minimumSizeHint().width());
        frame->setSizePolicy(QSizePolicy::Ignored, frame->sizePolicy().verticalPolicy());
    }
    for (QLabel *label : {lblSC5, lblSC6, lblSC7})
        label->clear();

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(lblStatus, 1);
    buttons->addWidget(lblImages);
    buttons->addWidget(cmdAddImage);
    buttons->addWidget(cmdPreview);
    buttons->addSpacing(24);
    for (QWidget *b : {cmdAdd, cmdDup, cmdDelete})
        buttons->addWidget(b);
    buttons->addSpacing(24);
    for (QWidget *b : {cmdSaveNow, cmdSave, cmdCancel})
        buttons->addWidget(b);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(fraChanged);
    outer->addLayout(header);
    outer->setSpacing(6);
    auto *gridColumn = new QVBoxLayout;
    gridColumn->setSpacing(0);
    gridColumn->addWidget(lblPhotos);
    gridColumn->addWidget(imageArea, 1);
    outer->addLayout(gridColumn, 1);
    outer->addLayout(buttons);
}

// Tab order, select-all on entry, and the identifier's and bounds' live checks.
void BookEditor::setUpHeaderBoxes()
{
    // In the order on screen: the date's row comes before the builder's.
    setTabOrder(txtBookID, txtName);
    setTabOrder(txtName, txtDate);
    setTabOrder(txtDate, txtBuiltBy);
    setTabOrder(txtBuiltBy, txtSC4);
    setTabOrder(txtSC4, txtSC5);
    setTabOrder(txtSC5, txtSC6);

    for (QLineEdit *box : {txtBookID, txtName, txtDate, txtBuiltBy, txtSC4, txtSC5, txtSC6})
        box->installEventFilter(this);
    // The identifier names the book's image folder: characters a folder name cannot hold are
    // refused however they arrive (typed, pasted, middle-clicked or dropped). The texts that go
    // into an install file refuse the double quote, which that file cannot carry.
    refuseCharacters(txtBookID, store::isRefusedNameCharacter,
                     QStringLiteral("An identifier cannot hold \\ / : * ? | < > , or \""));
    for (QLineEdit *box : {txtName, txtBuiltBy, txtDate})
        refuseCharacters(
            box, [](QChar c) { return c == QLatin1Char('"'); }, quoteRefusedHint());
    connect(txtSC4, &QLineEdit::textChanged, this, [this] { onBoundChanged(4); });
    connect(txtSC5, &QLineEdit::textChanged, this, [this] { onBoundChanged(5); });
    connect(txtSC6, &QLineEdit::textChanged, this, [this] { onBoundChanged(6); });
}

QGroupBox *BookEditor::buildBookFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Book Information"), this);
    frame->setObjectName(QStringLiteral("fraBook"));
    txtBookID = makeBox(frame, "txtBookID", QStringLiteral("Enter Book ID - Must be valid filename"));
    txtBookID->setText(QStringLiteral("Untitled"));
    txtName = makeBox(frame, "txtName", QStringLiteral("Enter Book Description"));
    txtDate = makeBox(frame, "txtDate", QStringLiteral("Enter Date Built"));
    txtBuiltBy = makeBox(frame, "txtBuiltBy");
    cmdCalendar = ui::makeButton(frame, "cmdCalendar", QStringLiteral("Calendar..."),
                                 QStringLiteral("Set The Date Using The Calendar Tool"));
    cmdFolder = ui::makeButton(frame, "cmdFolder", QStringLiteral("Create Images Folder"),
                               QStringLiteral("Create an Image Folder for this Book"));

    auto *layout = new QGridLayout(frame);
    layout->addWidget(makeLabel(frame, QStringLiteral("Identifier")), 0, 0);
    layout->addWidget(txtBookID, 0, 1);
    layout->addWidget(cmdFolder, 0, 2);
    layout->addWidget(makeLabel(frame, QStringLiteral("Name")), 1, 0);
    layout->addWidget(txtName, 1, 1, 1, 2);
    layout->addWidget(makeLabel(frame, QStringLiteral("Date Built")), 2, 0);
    layout->addWidget(txtDate, 2, 1);
    layout->addWidget(cmdCalendar, 2, 2);
    layout->addWidget(makeLabel(frame, QStringLiteral("Built By")), 3, 0);
    layout->addWidget(txtBuiltBy, 3, 1, 1, 2);
    layout->setColumnStretch(1, 1);
    return frame;
}

QGroupBox *BookEditor::buildSizeClassFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Size Classes (inches)"), this);
    frame->setObjectName(QStringLiteral("fraSizeClasses"));
    const QString tip = QStringLiteral("Enter the Upper Boundary for this Size Class");
    txtSC4 = makeBox(frame, "txtSC4", tip);
    txtSC5 = makeBox(frame, "txtSC5", tip);
    txtSC6 = makeBox(frame, "txtSC6", tip);
    lblSC5 = makeLabel(frame, QString(), "lblSC5");
    lblSC6 = makeLabel(frame, QString(), "lblSC6");
    lblSC7 = makeLabel(frame, QString(), "lblSC7");

    auto *layout = new QGridLayout(frame);
    const QStringList lower{QStringLiteral("0->.25"), QStringLiteral(".26->1"), QStringLiteral("1.1->3.0"),
                            QStringLiteral("3.1->")};
    for (int c = 0; c < 7; ++c) {
        auto *number = makeLabel(frame, QString::number(c + 1));
        number->setAlignment(Qt::AlignCenter);
        layout->addWidget(number, 0, c);
    }
    for (int c = 0; c < 4; ++c)
        layout->addWidget(makeLabel(frame, lower.at(c)), 1, c);
    layout->addWidget(lblSC5, 1, 4);
    layout->addWidget(lblSC6, 1, 5);
    layout->addWidget(lblSC7, 1, 6);
    for (QLineEdit *box : {txtSC4, txtSC5, txtSC6}) {
        box->setText(QStringLiteral(" n/a"));
        // Kept out of the flat styling's sunken frame.
        box->setProperty("tag", QStringLiteral("skip"));
        box->setMaximumWidth(56);
    }
    layout->addWidget(txtSC4, 2, 3);
    layout->addWidget(txtSC5, 2, 4);
    layout->addWidget(txtSC6, 2, 5);
    layout->setRowStretch(3, 1);
    return frame;
}

QGroupBox *BookEditor::buildAidesFrame()
{
    auto *frame = new QGroupBox(QStringLiteral("Data Entry Aides"), this);
    frame->setObjectName(QStringLiteral("fraAides"));
    chkCopyPhotoDesc = makeCheck(frame, "chkCopyPhotoDesc", QStringLiteral("Add New Photo with Previous Photo Name"),
                                 QStringLiteral("Use Previous Photo's Name for New Photos"));
    chkNoImages = makeCheck(frame, "chkNoImages", QStringLiteral("No Images for this Book"),
                            QStringLiteral("Check If You Do Not Have Images"));
    chkUseSuffix = makeCheck(frame, "chkUseSuffix", QStringLiteral("Use Automatic Photo and Data Plate Image Naming"),
                             QStringLiteral("Automatic Naming of Images with File Type Suffix"));
    chkUseSuffix->setChecked(true);
    cboFileType = new QComboBox(frame);
    cboFileType->setObjectName(QStringLiteral("cboFileType"));

    auto *layout = new QGridLayout(frame);
    layout->addWidget(chkCopyPhotoDesc, 0, 0, 1, 2);
    layout->addWidget(chkNoImages, 1, 0, 1, 2);
    layout->addWidget(chkUseSuffix, 2, 0, 1, 2);
    layout->addWidget(makeLabel(frame, QStringLiteral("File Type")), 3, 0);
    layout->addWidget(cboFileType, 3, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(4, 1);
    return frame;
}

void BookEditor::buildPickLists()
{
    // Shown over a code cell only while the user picks from them.
    for (auto [list, name] : {std::pair{&lstVegType, "lstVegType"}, std::pair{&lstActType, "lstActType"},
                              std::pair{&lstFM, "lstFM"}, std::pair{&lstFM2, "lstFM2"}, std::pair{&lstDR, "lstDR"}}) {
        *list = new QListWidget(this);
        (*list)->setObjectName(QLatin1String(name));
        (*list)->hide();
    }
}

bool BookEditor::load()
{
    cboFileType->clear();
    cboFileType->addItems({QStringLiteral("JPEG (.jpg)"), QStringLiteral("GIF  (.gif)")});
    cboFileType->setCurrentIndex(0);

    m_photos = new PhotoTableModel(this);
    if (!(m_newBook ? loadNewBook() : loadExistingBook()))
        return false;
    grdPhotos->setPhotoModel(m_photos);
    fillHeader();
    if (!m_newBook) {
        for (int sizeClass = 4; sizeClass <= 6; ++sizeClass)
            onBoundChanged(sizeClass);
    }
    m_loadedHeader = headerTexts();
    setUpPhotoRules();
    setUpImages();
    setUpHistory();
    if (m_photos->rowCount() > 0)
        grdPhotos->setCurrentRow(0);

    txtBookID->setFocus();
    ui::applyFlatStyling(this);
    ui::restoreLayout(m_context.layout, this, grdPhotos, columnFields());
    return true;
}

bool BookEditor::loadExistingBook()
{
    const auto header = loadInto(m_context.store->db(), m_book.id, *m_photos);
    if (!header) {
        tell(header.error());
        return false;
    }
    m_book = *header;
    return true;
}

bool BookEditor::loadNewBook()
{
    // A new book lives here until its first save writes it whole: nothing of it is in the store
    // before, so another program never sees it half made and a crash leaves nothing behind.
    m_book = store::BookHeader{};
    m_book.label = QStringLiteral("Untitled");
    m_photos->setRows({});
    m_photos->appendRow(PhotoTableModel::defaultPhotoValues(0, m_book.label));
    m_photos->markUnedited();
    return true;
}

void BookEditor::fillHeader()
{
    if (m_newBook) {
        txtName->setText(QStringLiteral("New Book"));
        txtBookID->setText(m_book.label.toString());
        for (QLineEdit *box : {txtBuiltBy, txtDate, txtSC4, txtSC5, txtSC6})
            box->clear();
        return;
    }
    fillHeaderFromStore();
}

void BookEditor::fillHeaderFromStore()
{
    txtName->setText(headerText(m_book.description));
    txtBookID->setText(headerText(m_book.label));
    txtBuiltBy->setText(headerText(m_book.builtBy));
    txtDate->setText(headerText(m_book.date));
    txtSC4->setText(headerText(m_book.breakInches4));
    txtSC5->setText(headerText(m_book.breakInches5));
    txtSC6->setText(headerText(m_book.breakInches6));
}

QStringList BookEditor::columnFields() const
{
    QStringList fields;
    for (int c = 0; c < m_photos->columnCount(); ++c)
        fields << m_photos->column(c).field;
    return fields;
}

QStringList BookEditor::headerTexts() const
{
    QStringList texts;
    for (const QLineEdit *box : {txtBookID, txtName, txtBuiltBy, txtDate, txtSC4, txtSC5, txtSC6})
        texts << box->text();
    return texts;
}

bool BookEditor::hasPendingChanges() const
{
    // Every change of the book is a step of the history, and undone steps change it back.
    return m_history && m_history->isBookChanged();
}

void BookEditor::tell(const QString &text)
{
    m_context.messages->tell({text, ui::Icon::Critical});
}

bool BookEditor::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (box && event->type() == QEvent::FocusIn) {
        // After the focus event: a mouse click would otherwise place the cursor over the selection.
        QTimer::singleShot(0, box, &QLineEdit::selectAll);
        ++m_headerSession;
    }
    if (box && takesHistoryKey(event)) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void BookEditor::setClassHeading(int sizeClass, const QString &heading)
{
    m_photos->setColumnHeading(m_photos->columnOf(QStringLiteral("TonsPerAcreBreak%1").arg(sizeClass)), heading);
}

void BookEditor::showClassColumn(int sizeClass, bool visible)
{
    m_photos->setColumnVisible(m_photos->columnOf(QStringLiteral("TonsPerAcreBreak%1").arg(sizeClass)), visible);
}

// The bound box of class 4, 5 or 6 changed. A positive bound opens the class after it and
// closes its own heading; a bound of 0 or less (an empty box, " n/a", "0", ".") is emptied at
// once, and with it every bound after it: classes are used in order.
void BookEditor::onBoundChanged(int sizeClass)
{
    if (!m_photos)
        return;
    QLineEdit *const bounds[] = {txtSC4, txtSC5, txtSC6};
    QLabel *const lowerLabels[] = {lblSC5, lblSC6, lblSC7};
    const int i = sizeClass - 4;
    const double bound = leadingNumber(bounds[i]->text());
    if (bound > 0) {
        const QString next = nextLowerBound(bound);
        showClassColumn(sizeClass + 1, true);
        lowerLabels[i]->setText(next + (sizeClass == 6 ? QStringLiteral(" +") : QStringLiteral("->")));
        setClassHeading(sizeClass + 1, openClassHeading(next));
        const QString lower = i == 0 ? QStringLiteral("3.1") : nextLowerBound(leadingNumber(bounds[i - 1]->text()));
        setClassHeading(sizeClass, closedClassHeading(lower, bound));
    } else {
        showClassColumn(sizeClass + 1, false);
        for (int j = i; j < 3; ++j) {
            bounds[j]->clear();
            lowerLabels[j]->clear();
        }
    }
}

void BookEditor::onFolder()
{
    cmdFolder->setRestColours();
    BookFolderRequest request;
    request.programDir = m_context.programDir;
    request.rootText = m_context.imageRootText ? m_context.imageRootText() : QString();
    // Save trims the identifier; the folder is named after the identifier it saves.
    request.identifier = txtBookID->text().trimmed();
    request.isCdRomDrive = m_context.isCdRom;
    runBookFolderCommand(request, *m_context.messages);
}

void BookEditor::onCalendar()
{
    const QPoint buttonLeft = cmdCalendar->mapTo(this, QPoint(0, 0));
    const QPoint dateBottom = txtDate->mapTo(this, QPoint(0, txtDate->height()));
    calDate->move(buttonLeft.x() + ui::twips(10), dateBottom.y() + ui::twips(10));
    calDate->resize(calDate->sizeHint());
    if (cmdCalendar->text() == QLatin1String("Calendar...")) {
        cmdCalendar->setText(QStringLiteral("Close Calendar"));
        calDate->show();
        calDate->raise();
        const QDate typed = readBookDate(txtDate->text());
        calDate->setSelectedDate(typed.isValid() ? typed : QDate::currentDate());
    } else {
        cmdCalendar->setText(QStringLiteral("Calendar..."));
        calDate->hide();
    }
}

void BookEditor::onDateClicked(const QDate &date)
{
    txtDate->setText(bookDateText(date));
    cmdCalendar->setText(QStringLiteral("Calendar..."));
    calDate->hide();
}

bool BookEditor::validate()
{
    HeaderTexts header{txtBookID->text(), txtName->text(), txtSC4->text(), txtSC5->text(), txtSC6->text()};
    QString queryError;
    // The book's own row does not count: a book keeps its label, or changes only its case.
    const LabelTaken taken = [&](const QString &label) {
        const auto ids = library::booksWithLabel(m_context.store->db(), label, m_book.id);
        if (!ids)
            queryError = ids.error();
        return ids && !ids->isEmpty();
    };
    const QStringList problems = bookProblems(header, taken);
    if (!queryError.isEmpty()) {
        tell(queryError);
        return false;
    }
    if (problems.isEmpty())
        return true;
    m_context.messages->tell({problemsMessage(problems), ui::Icon::Exclamation});
    return false;
}

bool BookEditor::save()
{
    if (!grdPhotos->commitPendingEdit())
        return false;
    // The header is checked and written whatever the number of photos.
    if (!validate())
        return false;
    store::HeaderFields header;
    header.label = txtBookID->text().trimmed();
    header.description = txtName->text();
    header.date = txtDate->text();
    header.builtBy = txtBuiltBy->text();
    header.breakInches4 = leadingNumber(txtSC4->text());
    header.breakInches5 = leadingNumber(txtSC5->text());
    header.breakInches6 = leadingNumber(txtSC6->text());
    // One transaction: on failure the store is as it was and every edit stays here.
    const auto saved = saveEdits(m_context.store->db(), m_book, header, *m_photos);
    if (!saved) {
        if (saved.is(store::FailureKind::ChangedElsewhere))
            offerReload();
        else
            tell(saved.error());
        return false;
    }
    const QString oldLabel = m_newBook ? QString() : m_book.label.toString();
    m_book = *saved;
    m_newBook = false;
    if (!oldLabel.isEmpty() && oldLabel != m_book.label.toString())
        offerFolderRename(oldLabel);
    m_history->markSaved();
    m_keptOver.reset();
    fraChanged->hide();
    if (const auto counted = m_context.store->recount(); !counted)
        tell(counted.error());
    emit bookSaved();
    return true;
}

void BookEditor::onSaveAndClose()
{
    if (save())
        closeWithoutAsking();
}

void BookEditor::offerReload()
{
    const ui::Message question{QStringLiteral("This book was changed by another program since you opened it. "
                                              "Nothing was saved. Reload it and lose your changes?"),
                               ui::Icon::Exclamation};
    if (m_context.messages->ask(question))
        reloadBook();
}

void BookEditor::reloadBook()
{
    // The book read anew starts a new history (the model's reset clears it).
    m_recording = false;
    const auto header = loadInto(m_context.store->db(), m_book.id, *m_photos);
    if (!header) {
        // Deleted by the other program: there is nothing left to edit.
        tell(header.error());
        closeWithoutAsking();
        return;
    }
    m_book = *header;
    fillHeaderFromStore();
    for (int sizeClass = 4; sizeClass <= 6; ++sizeClass)
        onBoundChanged(sizeClass);
    startRecording();
    m_keptOver.reset();
    fraChanged->hide();
    if (m_photos->rowCount() > 0)
        grdPhotos->setCurrentRow(0);
}

void BookEditor::onSaveNow()
{
    (void)save();
}

void BookEditor::onCancel()
{
    // Work since the book was opened or last saved goes only when the user says so; without
    // any, the editor closes at once.
    if ((grdPhotos->hasTypedEdit() || hasPendingChanges()) && !m_context.messages->ask(discardQuestion()))
        return;
    closeWithoutAsking();
}

void BookEditor::closeWithoutAsking()
{
    m_closeWithoutAsking = true;
    close();
    m_closeWithoutAsking = false;
}

bool BookEditor::postponeWhileBoxOpen()
{
    // A message box or dialog runs its own event loop, and the code that opened it waits for it
    // inside this window. Closed now, the window would be deleted under that box (and under the
    // code waiting for it): the close is carried out once the box has gone.
    QWidget *box = QApplication::activeModalWidget();
    if (!box || box == this)
        return false;
    if (m_postponedClose == PostponedClose::None) {
        connect(
            box, &QObject::destroyed, this,
            [this] {
                const bool asking = m_postponedClose == PostponedClose::Asking;
                m_postponedClose = PostponedClose::None;
                if (asking)
                    close();
                else
                    closeWithoutAsking();
            },
            Qt::QueuedConnection);
    }
    if (m_postponedClose != PostponedClose::WithoutAsking)
        m_postponedClose = m_closeWithoutAsking ? PostponedClose::WithoutAsking : PostponedClose::Asking;
    return true;
}

void BookEditor::closeEvent(QCloseEvent *event)
{
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (postponeWhileBoxOpen()) {
        event->ignore();
        return;
    }
    if (!m_closeWithoutAsking && m_photos) {
        // A refused cell keeps the editor open: its message tells what to correct.
        if (!grdPhotos->commitPendingEdit()) {
            event->ignore();
            return;
        }
        if (hasPendingChanges() && !m_context.messages->ask(discardQuestion())) {
            event->ignore();
            return;
        }
    }
    event->accept();
    m_unloaded = true;
    if (m_photos) {
        ui::saveLayout(m_context.layout, this, grdPhotos, columnFields());
        saveImageLayout();
    }
    emit unloaded();
}

} // namespace editor
