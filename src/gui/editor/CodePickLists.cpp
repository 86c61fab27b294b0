#include "editor/CodePickLists.h"

#include "common/Twips.h"
#include "editor/AddCodeDialog.h"
#include "editor/CodeFile.h"
#include "editor/GridRules.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QListWidget>
#include <QStyle>

namespace editor {

CodePickLists::CodePickLists(QWidget *window, QString programDir, ui::Messages &messages, Photo photo)
    : QObject(window)
    , m_window(window)
    , m_programDir(std::move(programDir))
    , m_messages(messages)
    , m_photo(std::move(photo))
{
    for (const PickListInfo &info : pickLists()) {
        auto *list = window->findChild<QListWidget *>(QLatin1String(info.objectName));
        Q_ASSERT(list);
        m_lists.push_back(list);
        list->resize(ui::twips(info.widthTwips), ui::twips(info.heightTwips));
        // Codes are padded to five characters; a fixed pitch lines the descriptions up.
        list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        list->installEventFilter(this);
        // Sized to its widest entry when shown, so a horizontal bar would only hide an entry.
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        const PickList which = info.list;
        connect(list, &QListWidget::itemClicked, this, [this, which](QListWidgetItem *item) { choose(which, item); });
    }
}

void CodePickLists::fill()
{
    // Every code file's fault in one message: a library without its code files would otherwise
    // show one box per file.
    QStringList faults;
    for (const PickListInfo &info : pickLists()) {
        QStringList entries;
        if (info.codeFile) {
            const CodeFileContents read = readCodeFile(QDir(m_programDir).filePath(QLatin1String(info.codeFile)));
            if (!read.error.isEmpty())
                faults << read.error;
            entries = codeListEntries(read.records);
        } else if (info.list == PickList::FM) {
            entries = fireBehaviour2005Entries();
        } else if (info.list == PickList::FM2) {
            entries = fireBehaviour1982Entries();
        } else {
            entries = dangerRatingEntries();
        }
        fillList(list(info.list), entries);
    }
    if (!faults.isEmpty())
        m_messages.tell({faults.join(QLatin1Char('\n')), ui::Icon::Exclamation});
}

void CodePickLists::fitSize(PickList which)
{
    QListWidget *shown = list(which);
    const PickListInfo &info = pickListInfo(which);
    const int scrollBar = shown->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, shown);
    shown->resize(pickListSize(QSize(ui::twips(info.widthTwips), ui::twips(info.heightTwips)),
                               shown->sizeHintForColumn(0), shown->sizeHintForRow(0), shown->frameWidth(), scrollBar));
}

void CodePickLists::popUpOver(PickList which, const QRect &cell)
{
    fitSize(which);
    popUp(which, placePickList(cell, list(which)->size(), m_window->rect()));
}

void CodePickLists::popUp(PickList which, const QPoint &topLeft)
{
    QListWidget *shown = list(which);
    fitSize(which);
    if (QApplication::focusWidget() && !m_lists.contains(QApplication::focusWidget()))
        m_focusBefore = QApplication::focusWidget();
    shown->move(topLeft);
    shown->show();
    shown->raise();
    shown->setFocus(Qt::OtherFocusReason);
}

void CodePickLists::typeAhead(PickList which, const QString &typed)
{
    m_typed = typed;
    m_typedAt.start();
    QListWidget *shown = list(which);
    // Entries start with their code; the blank entry and "New Code..." are never typed to.
    for (int row = 0; row < shown->count(); ++row) {
        QListWidgetItem *item = shown->item(row);
        if (item->text() != newCodeEntry() && item->text().startsWith(typed, Qt::CaseInsensitive)) {
            shown->setCurrentItem(item);
            shown->scrollToItem(item);
            return;
        }
    }
}

void CodePickLists::choose(PickList which, QListWidgetItem *item)
{
    if (!item)
        return;
    const PickListInfo &info = pickListInfo(which);
    // Without a photo there is nothing to write the code into.
    if (!m_photo.any())
        return;
    if (info.tag && item->text() == newCodeEntry()) {
        // The list closes as the dialog opens (it would float over the dialog) and stays closed.
        hideList(list(which));
        AddCodeDialog dialog(QLatin1String(info.tag), m_programDir, m_messages, m_window);
        // Cancelling leaves the photo's code as it was.
        if (dialog.exec() == QDialog::Accepted)
            m_photo.setField(QLatin1String(info.field), dialog.code());
        return;
    }
    m_photo.setField(QLatin1String(info.field), storedCode(which, item->text()));
    hideList(list(which));
}

void CodePickLists::hideList(QListWidget *shown)
{
    const bool hadFocus = shown->hasFocus();
    shown->hide();
    if (hadFocus && m_focusBefore)
        m_focusBefore->setFocus(Qt::OtherFocusReason);
}

bool CodePickLists::eventFilter(QObject *watched, QEvent *event)
{
    auto *shown = qobject_cast<QListWidget *>(watched);
    if (!shown || !shown->isVisible())
        return false;
    if (event->type() == QEvent::FocusOut) {
        // A dialog or menu taking the focus does not end the choice; a click elsewhere does.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            shown->hide();
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            choose(PickList(m_lists.indexOf(shown)), shown->currentItem());
            return true;
        }
        if (key == Qt::Key_Escape) {
            hideList(shown);
            return true;
        }
        // Type-ahead goes on from the characters typed on the cell.
        const QString text = static_cast<QKeyEvent *>(event)->text();
        if (text.size() == 1 && text.at(0).isPrint() && !text.at(0).isSpace()) {
            const bool goesOn = m_typedAt.isValid() && m_typedAt.elapsed() < QApplication::keyboardInputInterval();
            typeAhead(PickList(m_lists.indexOf(shown)), goesOn ? m_typed + text : text);
            return true;
        }
    }
    return false;
}

} // namespace editor
