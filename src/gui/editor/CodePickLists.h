#pragma once

#include "editor/PickLists.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>

class QListWidget;
class QListWidgetItem;

namespace ui {
class Messages;
}

namespace editor {

// Runs the five pick lists of the photo grid's code columns: fills them, pops one up over a
// cell, stores what is chosen in the current photo, and hides the list on a choice or when the
// focus moves elsewhere in the window. The lists are the window's own hidden children, found
// by their object names.
class CodePickLists final : public QObject
{
    Q_OBJECT

public:
    struct Photo
    {
        // Whether the book holds any photo.
        std::function<bool()> any;
        // Writes a field of the current photo; false when no photo is current.
        std::function<bool(const QString &field, const QString &value)> setField;
    };

    CodePickLists(QWidget *window, QString programDir, ui::Messages &messages, Photo photo);

    // Fills the lists in order: vegetation and activity codes from their files, then the three
    // fixed model lists. A code file that cannot be read whole is reported once, naming the file
    // and line; its list keeps " ", every complete record read and "New Code...".
    void fill();

    QListWidget *list(PickList which) const { return m_lists.value(int(which)); }
    // Shows a list with its top-left corner at a point of the window and gives it the focus.
    void popUp(PickList which, const QPoint &topLeft);
    // Shows a list over a cell (a rectangle of the window), where placePickList puts it.
    void popUpOver(PickList which, const QRect &cell);

    // Makes the first entry whose code starts with the typed text (any letter case) current.
    void typeAhead(PickList which, const QString &typed);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void choose(PickList which, QListWidgetItem *item);
    void hideList(QListWidget *list);
    // Sizes a list for its entries (pickListSize).
    void fitSize(PickList which);

    QWidget *m_window;
    QString m_programDir;
    ui::Messages &m_messages;
    Photo m_photo;
    QVector<QListWidget *> m_lists; // by PickList
    QPointer<QWidget> m_focusBefore;
    QString m_typed; // type-ahead so far
    QElapsedTimer m_typedAt;
};

} // namespace editor
