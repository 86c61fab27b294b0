#include "editor/PhotoDelegates.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace editor {

PhotoCellDelegate::PhotoCellDelegate(InputClass input, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_input(input)
{
}

QWidget *PhotoCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    if (!(index.flags() & Qt::ItemIsEditable))
        return nullptr;
    auto *editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    editor->installEventFilter(const_cast<PhotoCellDelegate *>(this));
    return editor;
}

void PhotoCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->setText(index.data(Qt::EditRole).toString());
}

void PhotoCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line)
        return;
    QString text = line->text();
    if (!checkBeforeCommit(index, text))
        return;
    model->setData(index, text, Qt::EditRole);
}

bool PhotoCellDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        // Keys that commit, abandon or leave a cell, and editing keys, keep their meaning.
        if (text.size() == 1 && text.at(0).isPrint() && !acceptsCharacter(text.at(0)))
            return true;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

QRect CodeDelegate::buttonRect(const QRect &cell)
{
    const int side = qMin(cell.height(), 16);
    return QRect(cell.right() - side + 1, cell.top() + (cell.height() - side) / 2, side, side);
}

void CodeDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem textOption = option;
    textOption.rect.setRight(buttonRect(option.rect).left() - 2);
    QStyledItemDelegate::paint(painter, textOption, index);

    QStyleOptionButton button;
    button.rect = buttonRect(option.rect);
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
    QStyleOption arrow;
    arrow.rect = button.rect.adjusted(3, 3, -3, -3);
    arrow.state = QStyle::State_Enabled;
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, option.widget);
}

bool CodeDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                               const QModelIndex &index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && buttonRect(option.rect).contains(mouse->position().toPoint())) {
            emit buttonClicked(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace editor
