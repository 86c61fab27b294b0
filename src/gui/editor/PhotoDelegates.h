#pragma once

#include "editor/PhotoColumns.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

class QLineEdit;

namespace ui {
class Messages;
struct Message;
} // namespace ui

namespace editor {

// The cell delegate of one input class of the photo grid. The in-place editor is a plain
// line edit that starts from the full stored value; it never clamps or rounds a number.
// Typed characters pass the class's keystroke filter. An editor closed on the text it opened
// with commits nothing; any other commit passes the pre-commit checks first, and a refused
// commit leaves the editor open with the text entered (the grid asks refusedEdit() before it
// closes an editor) and tells why once control is back in the event loop.
class PhotoCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit PhotoCellDelegate(InputClass input, QObject *parent = nullptr);
    InputClass inputClass() const { return m_input; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // Where refusals are told; none tells nothing.
    void setMessages(ui::Messages *messages) { m_messages = messages; }
    // The cell whose commit from this editor was refused last, else an invalid index.
    QModelIndex refusedEdit(QWidget *editor) const;

signals:
    // A cell's value was stored from its editor; edited tells whether the user changed the text.
    void cellCommitted(const QModelIndex &index, bool edited) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // An image name whose file is missing is drawn in red.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    InputClass m_input;
    ui::Messages *m_messages = nullptr;
    mutable bool m_telling = false;
    mutable QPointer<QWidget> m_refusedEditor;
    mutable QPersistentModelIndex m_refusedIndex;
    // Set from a refusal until its message has been shown.
    mutable bool m_refusalPending = false;

    // Keeps the editor open on `text` and tells `message` once back in the event loop.
    void refuse(QLineEdit *line, const QModelIndex &index, const QString &text, const ui::Message &message) const;
};

class FileNameDelegate final : public PhotoCellDelegate
{
    Q_OBJECT
public:
    explicit FileNameDelegate(QObject *parent = nullptr)
        : PhotoCellDelegate(InputClass::FileName, parent)
    {
    }
};

class FreeTextDelegate final : public PhotoCellDelegate
{
    Q_OBJECT
public:
    explicit FreeTextDelegate(QObject *parent = nullptr)
        : PhotoCellDelegate(InputClass::FreeText, parent)
    {
    }
};

class UnsignedNumberDelegate final : public PhotoCellDelegate
{
    Q_OBJECT
public:
    explicit UnsignedNumberDelegate(QObject *parent = nullptr)
        : PhotoCellDelegate(InputClass::UnsignedNumber, parent)
    {
    }
};

class SignedNumberDelegate final : public PhotoCellDelegate
{
    Q_OBJECT
public:
    explicit SignedNumberDelegate(QObject *parent = nullptr)
        : PhotoCellDelegate(InputClass::SignedNumber, parent)
    {
    }
};

// A code column: locked; its current cell has a narrow button at the right that asks for its
// pick list.
class CodeDelegate final : public PhotoCellDelegate
{
    Q_OBJECT

public:
    explicit CodeDelegate(QObject *parent = nullptr)
        : PhotoCellDelegate(InputClass::Code, parent)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    // Where the cell's button is drawn within a cell rectangle.
    static QRect buttonRect(const QRect &cell);
    // Whether the cell shows its button: the grid's current cell only.
    static bool showsButton(const QStyleOptionViewItem &option, const QModelIndex &index);

signals:
    void buttonClicked(const QModelIndex &index);
};

} // namespace editor
