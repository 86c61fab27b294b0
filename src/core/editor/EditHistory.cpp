#include "editor/EditHistory.h"

#include "editor/PhotoTableModel.h"

namespace editor {

EditHistory::EditHistory(PhotoTableModel &photos, QObject *parent)
    : QObject(parent)
    , m_photos(photos)
{
    m_stack.setUndoLimit(kStepLimit);
    connect(&photos, &PhotoTableModel::valueEdited, this, &EditHistory::recordCell);
    connect(&photos, &PhotoTableModel::photoAppended, this, [this](int row) {
        record(new RowStep(m_photos, RowStep::Kind::Appended, {row, {}},
                           rowStepName(QStringLiteral("Add Photo %1"), row)));
    });
    connect(&photos, &PhotoTableModel::photoRemoved, this, [this](const RemovedPhoto &photo) {
        record(new RowStep(m_photos, RowStep::Kind::Removed, photo,
                           rowStepName(QStringLiteral("Delete Photo %1"), photo.row)));
    });
    // Another book, or the same one read again: the steps no longer fit its rows.
    connect(&photos, &QAbstractItemModel::modelReset, &m_stack, &QUndoStack::clear);
}

void EditHistory::push(EditStep *step)
{
    record(step);
}

void EditHistory::record(EditStep *step)
{
    if (m_applying) {
        delete step;
        return;
    }
    m_stack.push(step);
}

void EditHistory::recordCell(int row, const QString &field, const QVariant &before, const QVariant &after)
{
    if (m_applying)
        return;
    auto *step = new CellStep(m_photos, row, field, before, after);
    step->setJoining(m_joining > 0);
    m_stack.push(step);
}

void EditHistory::nameNextRowStep(const QString &name)
{
    m_nextRowStepName = name;
}

QString EditHistory::rowStepName(const QString &fallback, int row)
{
    const QString name = m_nextRowStepName.isEmpty() ? fallback : std::exchange(m_nextRowStepName, {});
    return name.arg(photoNumber(row));
}

EditHistory::Joining::Joining(EditHistory &history)
    : m_history(history)
{
    ++m_history.m_joining;
}

EditHistory::Joining::~Joining()
{
    --m_history.m_joining;
}

std::optional<ui::Message> EditHistory::undo()
{
    return apply(true);
}

std::optional<ui::Message> EditHistory::redo()
{
    return apply(false);
}

std::optional<ui::Message> EditHistory::apply(bool undoing)
{
    if (undoing ? !m_stack.canUndo() : !m_stack.canRedo())
        return std::nullopt;
    // Every command on the stack is an EditStep: push() takes nothing else.
    const auto *step = static_cast<const EditStep *>(m_stack.command(m_stack.index() - (undoing ? 1 : 0)));
    if (auto refused = step->refusal(undoing))
        return refused;
    m_applying = true;
    if (undoing)
        m_stack.undo();
    else
        m_stack.redo();
    m_applying = false;
    emit applied(step->place(undoing));
    return std::nullopt;
}

void EditHistory::markSaved()
{
    m_stack.setClean();
}

bool EditHistory::isBookChanged() const
{
    const int saved = m_stack.cleanIndex();
    if (saved < 0)
        return true;
    const int now = m_stack.index();
    for (int i = qMin(saved, now); i < qMax(saved, now); ++i) {
        if (static_cast<const EditStep *>(m_stack.command(i))->changesBook())
            return true;
    }
    return false;
}

} // namespace editor
