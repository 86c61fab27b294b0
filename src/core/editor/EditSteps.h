#pragma once

#include "common/Message.h"
#include "editor/PhotoTableModel.h"

#include <QUndoCommand>
#include <QVariantList>

#include <functional>
#include <optional>

namespace editor {

// Where a step's change is seen: a cell (row and field), a row (no field), or nowhere in the
// grid (row -1).
struct StepPlace
{
    int row = -1;
    QString field;
};

// One step of the user's in the editor's history. Steps are recorded after the change they
// describe has been made, so the redo that pushing runs changes nothing; later redos and
// undos make the change again or take it back.
class EditStep : public QUndoCommand
{
public:
    using QUndoCommand::QUndoCommand;

    void redo() final;
    void undo() final;

    // Why taking the step back (undoing) or making it again would break a rule that holds
    // now; none when it would not.
    virtual std::optional<ui::Message> refusal(bool undoing) const;
    // False for a step that changes only how the editor works, nothing that is saved.
    virtual bool changesBook() const { return true; }
    // Where the change is seen once the step has been undone or redone.
    virtual StepPlace place(bool undoing) const;

protected:
    virtual void apply(bool undoing) = 0;

private:
    bool m_recorded = true;
};

// A change of one or more fields of one photo: a cell edit, a pick-list choice, with the image
// names a new label sets joined to it.
class CellStep final : public EditStep
{
public:
    static constexpr int Id = 1;

    CellStep(PhotoTableModel &photos, int row, const QString &field, const QVariant &before, const QVariant &after);

    // Later changes of the same row are joined to this step while join is set.
    void setJoining(bool joining) { m_joining = joining; }

    int id() const override { return Id; }
    bool mergeWith(const QUndoCommand *other) override;
    std::optional<ui::Message> refusal(bool undoing) const override;
    StepPlace place(bool undoing) const override;

protected:
    void apply(bool undoing) override;

private:
    struct Change
    {
        QString field;
        QVariant before;
        QVariant after;
    };
    PhotoTableModel &m_photos;
    int m_row;
    QVector<Change> m_changes;
    bool m_joining = false;
};

// A photo appended (Add Photo, Duplicate Photo) or removed (Delete Photo).
class RowStep final : public EditStep
{
public:
    enum class Kind { Appended, Removed };

    // For Appended, photo.row is the new row and its values are taken when it is undone.
    RowStep(PhotoTableModel &photos, Kind kind, RemovedPhoto photo, const QString &text);

    std::optional<ui::Message> refusal(bool undoing) const override;
    StepPlace place(bool undoing) const override;

protected:
    void apply(bool undoing) override;

private:
    PhotoTableModel &m_photos;
    Kind m_kind;
    RemovedPhoto m_photo;
};

// A change of state outside the photos, held as a list of values before and after: the
// header boxes, the data entry aides. The window says how a state is applied and checked.
class StateStep final : public EditStep
{
public:
    static constexpr int Id = 2;

    struct Handling
    {
        std::function<void(const QVariantList &state)> apply;
        // Why a state cannot be applied now, or none.
        std::function<std::optional<ui::Message>(const QVariantList &state)> refusal;
        // Steps with the same key (not -1) that follow each other become one step.
        int mergeKey = -1;
        bool changesBook = true;
    };

    StateStep(const QString &text, QVariantList before, QVariantList after, Handling handling);

    int id() const override { return m_handling.mergeKey < 0 ? -1 : Id; }
    bool mergeWith(const QUndoCommand *other) override;
    std::optional<ui::Message> refusal(bool undoing) const override;
    bool changesBook() const override { return m_handling.changesBook; }

protected:
    void apply(bool undoing) override;

private:
    QVariantList m_before;
    QVariantList m_after;
    Handling m_handling;
};

// The name of a photo in a step's text: its position in the grid, from 1.
QString photoNumber(int row);

} // namespace editor
