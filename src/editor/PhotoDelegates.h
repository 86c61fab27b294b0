#pragma once

#include "editor/PhotoColumns.h"

#include <QStyledItemDelegate>

class QLineEdit;

namespace editor {

// The cell delegate of one input class of the photo grid. The in-place editor is a plain
// line edit that starts from the full stored value; it never clamps or rounds a number.
// The hooks are where a class's keystroke filter and pre-commit check live.
class PhotoCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit PhotoCellDelegate(InputClass input, QObject *parent = nullptr);
    InputClass inputClass() const { return m_input; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

protected:
    // Whether a typed character may enter the cell (the editor's key filter asks per character).
    virtual bool acceptsCharacter(QChar) const { return true; }
    // Runs before an edited cell is committed; false refuses the commit. text may be rewritten.
    virtual bool checkBeforeCommit(const QModelIndex &, QString &) const { return true; }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    InputClass m_input;
};

class FileNameDelegate final : public PhotoCellDelegate
{
    Q_OBJECT
public:
    explicit FileNameDelegate(QObject *parent = nullptr) : PhotoCellDelegate(InputClass::FileNameText, parent) {}
};

class FreeTextDelegate final : public PhotoCellDelegate
{
    Q_OBJECT
public:
    explicit FreeTextDelegate(QObject *parent = nullptr) : PhotoCellDelegate(InputClass::FreeText, parent) {}
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
    explicit SignedNumberDelegate(QObject *parent = nullptr) : PhotoCellDelegate(InputClass::SignedNumber, parent)
    {
    }
};

// A code column: locked, with a button at the right of the cell that asks for its pick list.
class CodeDelegate final : public PhotoCellDelegate
{
    Q_OBJECT

public:
    explicit CodeDelegate(QObject *parent = nullptr) : PhotoCellDelegate(InputClass::Code, parent) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    // Where the cell's button is drawn within a cell rectangle.
    static QRect buttonRect(const QRect &cell);

signals:
    void buttonClicked(const QModelIndex &index);
};

} // namespace editor
