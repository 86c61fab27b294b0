#include "editor/EditSteps.h"

#include "editor/GridRules.h"
#include "store/NameRules.h"
#include "store/Schema.h"

namespace editor {

namespace {

const QString kLabel = QStringLiteral("PhotoLabel");

// A column's heading on one line ("Veg.\nType\n" reads "Veg. Type"), or the field's own name
// for a field the grid does not show.
QString fieldCaption(const PhotoTableModel &photos, const QString &field)
{
    const int column = photos.columnOf(field);
    return column < 0 ? field : photos.column(column).heading.simplified();
}

bool isLabel(const QString &field)
{
    return field.compare(kLabel, Qt::CaseInsensitive) == 0;
}

} // namespace

QString photoNumber(int row)
{
    return QString::number(row + 1);
}

void EditStep::redo()
{
    if (m_recorded) {
        m_recorded = false;
        return;
    }
    apply(false);
}

void EditStep::undo()
{
    apply(true);
}

std::optional<ui::Message> EditStep::refusal(bool) const
{
    return std::nullopt;
}

StepPlace EditStep::place(bool) const
{
    return {};
}

CellStep::CellStep(PhotoTableModel &photos, int row, const QString &field, const QVariant &before,
                   const QVariant &after)
    : m_photos(photos)
    , m_row(row)
    , m_changes{{field, before, after}}
{
    setText(QStringLiteral("%1 of photo %2").arg(fieldCaption(photos, field), photoNumber(row)));
}

bool CellStep::mergeWith(const QUndoCommand *other)
{
    const auto *joined = static_cast<const CellStep *>(other);
    if (!joined->m_joining || joined->m_row != m_row)
        return false;
    for (const Change &change : joined->m_changes) {
        auto same =
            std::find_if(m_changes.begin(), m_changes.end(), [&](const Change &c) { return c.field == change.field; });
        if (same == m_changes.end())
            m_changes << change;
        else
            same->after = change.after;
    }
    return true;
}

void CellStep::apply(bool undoing)
{
    if (undoing) {
        for (auto c = m_changes.crbegin(); c != m_changes.crend(); ++c)
            m_photos.setValue(m_row, c->field, c->before);
    } else {
        for (const Change &c : m_changes)
            m_photos.setValue(m_row, c.field, c.after);
    }
}

std::optional<ui::Message> CellStep::refusal(bool undoing) const
{
    for (const Change &c : m_changes) {
        if (!isLabel(c.field))
            continue;
        const QString label = (undoing ? c.before : c.after).toString();
        const QString now = m_photos.value(m_row, kLabel).toString();
        // A label that breaks a rule already is no reason to refuse.
        if (store::holdsRefusedNameCharacter(label) && !store::holdsRefusedNameCharacter(now))
            return labelCharactersMessage();
        if (label.compare(now, Qt::CaseInsensitive) != 0 &&
            labelInOtherRow(m_photos, m_photos.columnOf(kLabel), label, m_row))
            return labelNotUniqueMessage();
    }
    return std::nullopt;
}

StepPlace CellStep::place(bool) const
{
    return {m_row, m_changes.first().field};
}

RowStep::RowStep(PhotoTableModel &photos, Kind kind, RemovedPhoto photo, const QString &text)
    : m_photos(photos)
    , m_kind(kind)
    , m_photo(std::move(photo))
{
    setText(text);
}

void RowStep::apply(bool undoing)
{
    if ((m_kind == Kind::Appended) == undoing)
        m_photo = m_photos.removePhoto(m_photo.row);
    else
        m_photos.restorePhoto(m_photo);
}

std::optional<ui::Message> RowStep::refusal(bool undoing) const
{
    const bool restoring = (m_kind == Kind::Removed) == undoing;
    if (!restoring)
        return std::nullopt;
    const QString label = m_photo.values.value(store::photoFieldIndex(kLabel)).toString();
    if (labelInOtherRow(m_photos, m_photos.columnOf(kLabel), label, -1))
        return labelNotUniqueMessage();
    return std::nullopt;
}

StepPlace RowStep::place(bool undoing) const
{
    const bool restored = (m_kind == Kind::Removed) == undoing;
    if (restored)
        return {m_photo.row, {}};
    return {qMin(m_photo.row, m_photos.rowCount() - 1), {}};
}

StateStep::StateStep(const QString &text, QVariantList before, QVariantList after, Handling handling)
    : m_before(std::move(before))
    , m_after(std::move(after))
    , m_handling(std::move(handling))
{
    setText(text);
}

bool StateStep::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const StateStep *>(other);
    if (next->m_handling.mergeKey != m_handling.mergeKey)
        return false;
    m_after = next->m_after;
    // Typing that ends where it started leaves no step.
    setObsolete(m_after == m_before);
    return true;
}

void StateStep::apply(bool undoing)
{
    m_handling.apply(undoing ? m_before : m_after);
}

std::optional<ui::Message> StateStep::refusal(bool undoing) const
{
    if (!m_handling.refusal)
        return std::nullopt;
    return m_handling.refusal(undoing ? m_before : m_after);
}

} // namespace editor
