// The book editor's undo and redo: the keys and the grid's context menu, and the steps the
// window records itself (the header boxes, the data entry aides). The photos' steps are
// recorded by EditHistory from the model.

#include "editor/BookEditor.h"

#include "editor/EditHistory.h"
#include "editor/GridRules.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "store/NameRules.h"
#include "ui/Messages.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace editor {

namespace {

// The header boxes' steps, in the order of headerTexts().
const char *const kHeaderSteps[] = {
    "Identifier",           "Name", "Built By", "Date Built", "Size Class 4 Boundary", "Size Class 5 Boundary",
    "Size Class 6 Boundary"};
constexpr int kHeaderBoxes = 7;

QVariantList variants(const QStringList &texts)
{
    return {texts.cbegin(), texts.cend()};
}

QString stepCaption(const QString &verb, const QString &step)
{
    return step.isEmpty() ? verb : verb + QLatin1Char(' ') + step;
}

bool isHistoryKey(const QKeyEvent *key)
{
    const QKeySequence pressed(key->keyCombination());
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
           pressed == QKeySequence(Qt::CTRL | Qt::Key_Y) || pressed == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
}

// Keeps an action's text and state on the history's next step.
void follow(QAction *action, QUndoStack &stack, bool undo)
{
    const QString verb = undo ? QStringLiteral("Undo") : QStringLiteral("Redo");
    action->setText(verb);
    action->setEnabled(false);
    QObject::connect(&stack, undo ? &QUndoStack::undoTextChanged : &QUndoStack::redoTextChanged, action,
                     [action, verb](const QString &step) { action->setText(stepCaption(verb, step)); });
    QObject::connect(&stack, undo ? &QUndoStack::canUndoChanged : &QUndoStack::canRedoChanged, action,
                     &QAction::setEnabled);
}

} // namespace

void BookEditor::setUpHistory()
{
    m_history = new EditHistory(*m_photos, this);
    connect(m_history, &EditHistory::applied, this, &BookEditor::showStep);

    // The keys, anywhere in the window; an open cell editor takes them for its own text.
    actUndo = new QAction(this);
    actUndo->setObjectName(QStringLiteral("actUndo"));
    actUndo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    actRedo = new QAction(this);
    actRedo->setObjectName(QStringLiteral("actRedo"));
    actRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // The grid's context menu names the steps; it acts on the book, after committing an open cell.
    mnuUndo = new QAction(grdPhotos);
    mnuUndo->setObjectName(QStringLiteral("mnuUndo"));
    mnuRedo = new QAction(grdPhotos);
    mnuRedo->setObjectName(QStringLiteral("mnuRedo"));
    for (auto [action, undo] :
         {std::pair{actUndo, true}, std::pair{actRedo, false}, std::pair{mnuUndo, true}, std::pair{mnuRedo, false}})
        follow(action, m_history->stack(), undo);
    addAction(actUndo);
    addAction(actRedo);
    grdPhotos->addAction(mnuUndo);
    grdPhotos->addAction(mnuRedo);
    grdPhotos->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(actUndo, &QAction::triggered, this, [this] { onHistoryKey(true); });
    connect(actRedo, &QAction::triggered, this, [this] { onHistoryKey(false); });
    connect(mnuUndo, &QAction::triggered, this, [this] { stepHistory(true); });
    connect(mnuRedo, &QAction::triggered, this, [this] { stepHistory(false); });

    const QList<QLineEdit *> boxes = headerBoxes();
    for (int i = 0; i < kHeaderBoxes; ++i)
        connect(boxes.at(i), &QLineEdit::textChanged, this, &BookEditor::recordHeader);
    for (QCheckBox *check : {chkCopyPhotoDesc, chkNoImages, chkUseSuffix})
        connect(check, &QCheckBox::toggled, this, &BookEditor::recordAides);
    connect(cboFileType, &QComboBox::currentIndexChanged, this, &BookEditor::recordAides);
    startRecording();
}

void BookEditor::startRecording()
{
    m_loadedHeader = headerTexts();
    m_recordedAides = aideState();
    m_recording = true;
}

QList<QLineEdit *> BookEditor::headerBoxes() const
{
    return {txtBookID, txtName, txtBuiltBy, txtDate, txtSC4, txtSC5, txtSC6};
}

void BookEditor::onHistoryKey(bool undo)
{
    // An open cell editor keeps its own text undo until it closes.
    if (grdPhotos->isEditing()) {
        if (auto *cell = qobject_cast<QLineEdit *>(grdPhotos->indexWidget(grdPhotos->currentIndex()))) {
            undo ? cell->undo() : cell->redo();
            return;
        }
    }
    stepHistory(undo);
}

void BookEditor::stepHistory(bool undo)
{
    if (!grdPhotos->commitPendingEdit())
        return;
    if (const auto refused = undo ? m_history->undo() : m_history->redo())
        m_context.messages->tell(*refused);
}

void BookEditor::showStep(const StepPlace &place)
{
    if (place.row < 0 || place.row >= m_photos->rowCount())
        return;
    const int column = place.field.isEmpty() ? -1 : m_photos->columnOf(place.field);
    if (column >= 0 && !grdPhotos->isColumnHidden(column))
        grdPhotos->setCurrentIndex(m_photos->index(place.row, column));
    else
        grdPhotos->setCurrentRow(place.row);
    grdPhotos->scrollTo(grdPhotos->currentIndex());
}

bool BookEditor::takesHistoryKey(QEvent *event)
{
    // The header boxes leave the keys to the editor's history, where their typing is a step.
    return event->type() == QEvent::ShortcutOverride && isHistoryKey(static_cast<QKeyEvent *>(event));
}

// A header box changed. The step holds every box, since a size-class bound can empty the
// bounds after it; it is named after the first box that changed, the one the user edited, and
// typing on in that box joins it until the focus leaves.
void BookEditor::recordHeader()
{
    if (!m_recording || m_history->isApplying())
        return;
    const QStringList now = headerTexts();
    int first = 0;
    while (first < kHeaderBoxes && now.at(first) == m_loadedHeader.at(first))
        ++first;
    if (first == kHeaderBoxes)
        return;
    StateStep::Handling handling;
    handling.apply = [this](const QVariantList &texts) { applyHeader(texts); };
    handling.refusal = [this](const QVariantList &texts) { return headerRefusal(texts); };
    handling.mergeKey = m_headerSession * kHeaderBoxes + first;
    const QVariantList before = variants(m_loadedHeader);
    m_loadedHeader = now;
    m_history->push(new StateStep(QLatin1String(kHeaderSteps[first]), before, variants(now), std::move(handling)));
}

void BookEditor::applyHeader(const QVariantList &texts)
{
    const QList<QLineEdit *> boxes = headerBoxes();
    for (int i = 0; i < kHeaderBoxes; ++i) {
        if (boxes.at(i)->text() != texts.at(i).toString())
            boxes.at(i)->setText(texts.at(i).toString());
    }
    m_loadedHeader = headerTexts();
    ++m_headerSession;
}

// The characters the identifier and the install-file texts refuse as they are typed are
// refused on undo and redo too, unless the box holds one already.
std::optional<ui::Message> BookEditor::headerRefusal(const QVariantList &texts) const
{
    const auto quote = [](QChar c) { return c == QLatin1Char('"'); };
    const QStringList now = headerTexts();
    for (int i = 0; i < 4; ++i) {
        const QString text = texts.at(i).toString();
        const auto refused = i == 0 ? store::isRefusedNameCharacter : +quote;
        if (std::any_of(text.cbegin(), text.cend(), refused) &&
            std::none_of(now.at(i).cbegin(), now.at(i).cend(), refused))
            return ui::Message{i == 0 ? QStringLiteral("An identifier cannot hold \\ / : * ? | < > , or \"")
                                      : quoteRefusedHint(),
                               ui::Icon::Exclamation};
    }
    return std::nullopt;
}

QVariantList BookEditor::aideState() const
{
    return {chkCopyPhotoDesc->isChecked(), chkNoImages->isChecked(), chkUseSuffix->isChecked(),
            cboFileType->currentIndex()};
}

// A data entry aide changed: a step of its own that changes nothing saved. Checking "No
// Images" clears automatic naming; the step holds both.
void BookEditor::recordAides()
{
    if (!m_recording || m_history->isApplying())
        return;
    const QVariantList now = aideState();
    int first = 0;
    while (first < now.size() && now.at(first) == m_recordedAides.at(first))
        ++first;
    if (first == now.size())
        return;
    const QString names[] = {chkCopyPhotoDesc->text(), chkNoImages->text(), chkUseSuffix->text(),
                             QStringLiteral("File Type")};
    StateStep::Handling handling;
    handling.apply = [this](const QVariantList &state) { applyAides(state); };
    handling.changesBook = false;
    const QVariantList before = std::exchange(m_recordedAides, now);
    m_history->push(new StateStep(names[first], before, now, std::move(handling)));
}

void BookEditor::applyAides(const QVariantList &state)
{
    chkCopyPhotoDesc->setChecked(state.at(0).toBool());
    chkNoImages->setChecked(state.at(1).toBool());
    chkUseSuffix->setChecked(state.at(2).toBool());
    cboFileType->setCurrentIndex(state.at(3).toInt());
    m_recordedAides = aideState();
}

} // namespace editor
