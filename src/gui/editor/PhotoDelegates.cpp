#include "editor/PhotoDelegates.h"

#include "editor/GridRules.h"
#include "editor/KeystrokeFilter.h"
#include "editor/PhotoTableModel.h"
#include "ui/Messages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>

namespace editor {

namespace {

constexpr char kTyped[] = "typed";
// The text the cell showed when its editor opened.
constexpr char kShown[] = "shownText";

} // namespace

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
    KeystrokeFilter::install(editor, m_input);
    // Whether the user typed into the cell (Enter clears QLineEdit's own modified flag).
    connect(editor, &QLineEdit::textEdited, editor, [editor] { editor->setProperty(kTyped, true); });
    return editor;
}

void PhotoCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        const QString text = index.data(Qt::EditRole).toString();
        line->setText(text);
        line->setProperty(kShown, text);
    }
}

void PhotoCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line)
        return;
    const bool refusedLast = m_refusedEditor == editor && m_refusedIndex == index;
    if (refusedLast && m_refusalPending)
        return;
    // An editor closed on the text it started with changes nothing: tabbing through a row
    // leaves empty names empty, null names null and stored numbers as they are.
    if (!refusedLast && line->text() == line->property(kShown).toString())
        return;
    const int column = index.column();
    const CommitCheck check =
        checkCommit(m_input, column, line->text(), index.data(Qt::EditRole),
                    [&](const QString &label) { return labelInOtherRow(*model, column, label, index.row()); });
    if (check.refused) {
        refuse(line, index, check.text, check.message);
        return;
    }
    if (!model->setData(index, check.text, Qt::EditRole)) {
        refuse(line, index, check.text, ui::Message{QStringLiteral("Value entered is not numeric")});
        return;
    }
    m_refusedEditor = nullptr;
    emit cellCommitted(index, line->property(kTyped).toBool());
}

void PhotoCellDelegate::refuse(QLineEdit *line, const QModelIndex &index, const QString &text,
                               const ui::Message &message) const
{
    line->setText(text);
    m_refusedEditor = line;
    m_refusedIndex = index;
    // The message is shown once control is back in the event loop, never from inside the
    // view's commit: a modal box started there runs its own event loop in the middle of the
    // view's editing, and on X11 such a box can stay unpainted. Until it has been shown, a
    // second commit of the same editor (focus leaving right after Enter, or the box taking the
    // focus) is refused again without a second message.
    m_refusalPending = true;
    QMetaObject::invokeMethod(
        const_cast<PhotoCellDelegate *>(this),
        [this, message, editor = QPointer<QWidget>(line)] {
            if (m_messages) {
                m_telling = true;
                m_messages->tell(message);
                m_telling = false;
            }
            m_refusalPending = false;
            if (editor)
                editor->setFocus();
        },
        Qt::QueuedConnection);
}

void PhotoCellDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(PhotoTableModel::MissingImageRole).toBool())
        option->palette.setBrush(QPalette::Text, QColor(200, 0, 0));
}

QModelIndex PhotoCellDelegate::refusedEdit(QWidget *editor) const
{
    return editor && m_refusedEditor == editor ? QModelIndex(m_refusedIndex) : QModelIndex();
}

bool PhotoCellDelegate::eventFilter(QObject *watched, QEvent *event)
{
    // While a refusal is being told, the message box takes the focus; that is no commit.
    if (m_telling && event->type() == QEvent::FocusOut)
        return false;
    return QStyledItemDelegate::eventFilter(watched, event);
}

QRect CodeDelegate::buttonRect(const QRect &cell)
{
    const int side = qMin(cell.height(), 16);
    const int width = qMin(side, 12);
    return QRect(cell.right() - width + 1, cell.top() + (cell.height() - side) / 2, width, side);
}

bool CodeDelegate::showsButton(const QStyleOptionViewItem &option, const QModelIndex &index)
{
    // Only the current cell has its button, so that every other code cell shows its code whole.
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    return view && view->currentIndex() == index;
}

void CodeDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!showsButton(option, index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem textOption = option;
    textOption.rect.setRight(buttonRect(option.rect).left() - 1);
    QStyledItemDelegate::paint(painter, textOption, index);

    QStyleOptionButton button;
    button.rect = buttonRect(option.rect);
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, option.widget);
    QStyleOption arrow;
    arrow.rect = button.rect.adjusted(2, 4, -2, -4);
    arrow.state = QStyle::State_Enabled;
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, option.widget);
}

bool CodeDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                               const QModelIndex &index)
{
    if (event->type() == QEvent::MouseButtonRelease && showsButton(option, index)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && buttonRect(option.rect).contains(mouse->position().toPoint())) {
            emit buttonClicked(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace editor
