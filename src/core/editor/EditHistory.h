#pragma once

#include "common/Message.h"
#include "editor/EditSteps.h"

#include <QObject>
#include <QUndoStack>

#include <optional>

namespace editor {

class PhotoTableModel;

// The editor's undo history: one step per change the user makes, on Qt's undo stack. Every
// change of the photos is recorded from the model as it happens (cell edits, pick-list choices,
// added, duplicated and deleted photos); the window pushes the steps it makes outside them (the
// header boxes, the data entry aides). Undo and redo are refused, with the rule's message and
// the history left as it was, when the step would break a rule that holds now. A reset of the
// photos (a book loaded anew) clears the history.
class EditHistory final : public QObject
{
    Q_OBJECT

public:
    // Steps kept; older ones are dropped, and with them the way back to their state.
    static constexpr int kStepLimit = 1000;

    explicit EditHistory(PhotoTableModel &photos, QObject *parent = nullptr);

    QUndoStack &stack() { return m_stack; }
    const QUndoStack &stack() const { return m_stack; }

    // Records a step already made outside the photos; it is dropped while a step is being
    // undone or redone (the changes that brings are that step's).
    void push(EditStep *step);
    // The next photo appended or removed is named so ("%1": the photo's number) rather than
    // "Add Photo %1" or "Delete Photo %1".
    void nameNextRowStep(const QString &name);

    // While one is alive, the changes recorded join the last step when it changed the same
    // photo (the image names a new label sets).
    class Joining
    {
    public:
        explicit Joining(EditHistory &history);
        ~Joining();
        Joining(const Joining &) = delete;
        Joining &operator=(const Joining &) = delete;

    private:
        EditHistory &m_history;
    };

    // Takes the last step back, or makes the next one again; the message of the rule it would
    // break when refused (nothing changed then).
    std::optional<ui::Message> undo();
    std::optional<ui::Message> redo();
    bool isApplying() const { return m_applying; }

    // The book as the editor holds it now is the saved one.
    void markSaved();
    // Whether the book differs from the one last saved (or loaded): a step that changes it
    // lies between that point and now, or that point has been dropped from the history.
    bool isBookChanged() const;

signals:
    // A step was undone or redone; the window shows where.
    void applied(const editor::StepPlace &place);

private:
    std::optional<ui::Message> apply(bool undoing);
    void record(EditStep *step);
    void recordCell(int row, const QString &field, const QVariant &before, const QVariant &after);
    QString rowStepName(const QString &fallback, int row);

    PhotoTableModel &m_photos;
    QUndoStack m_stack;
    bool m_applying = false;
    int m_joining = 0;
    QString m_nextRowStepName;
};

} // namespace editor
