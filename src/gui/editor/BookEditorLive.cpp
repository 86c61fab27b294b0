#include "editor/BookEditor.h"
#include "editor/BookEdits.h"
#include "store/Store.h"
#include "ui/CoolButton.h"
#include "ui/WindowKit.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

namespace editor {

QFrame *BookEditor::buildChangedLine()
{
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("fraChanged"));
    frame->setFrameShape(QFrame::StyledPanel);
    // A pale yellow band, as a note rather than an error: nothing is lost yet.
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(255, 244, 196));
    frame->setPalette(palette);
    lblChanged = new QLabel(QStringLiteral("This book was changed by another program."), frame);
    lblChanged->setObjectName(QStringLiteral("lblChanged"));
    cmdReload = ui::makeButton(frame, "cmdReload", QStringLiteral("Reload"),
                               QStringLiteral("Discard the changes made here and show the book as it is stored"));
    cmdKeepEditing = ui::makeButton(frame, "cmdKeepEditing", QStringLiteral("Keep editing"),
                                    QStringLiteral("Go on editing; saving will not overwrite the other change"));
    // The buttons do not take the focus from the cell or box being typed in.
    for (QWidget *button : {static_cast<QWidget *>(cmdReload), static_cast<QWidget *>(cmdKeepEditing)})
        button->setFocusPolicy(Qt::NoFocus);
    auto *row = new QHBoxLayout(frame);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(lblChanged, 1);
    row->addWidget(cmdReload);
    row->addWidget(cmdKeepEditing);
    connect(cmdReload, &QPushButton::clicked, this, &BookEditor::onReloadChanged);
    connect(cmdKeepEditing, &QPushButton::clicked, this, &BookEditor::onKeepEditing);
    frame->hide();
    return frame;
}

void BookEditor::checkStoredBook()
{
    if (m_newBook || !m_photos || fraChanged->isVisible())
        return;
    const QSqlDatabase db = m_context.store->db();
    const auto changed = m_keptOver ? editor::changedElsewhere(db, m_keptOver->header, m_keptOver->photos)
                                    : editor::changedElsewhere(db, m_book, *m_photos);
    // A store that cannot be read now says nothing here: the save's own check still holds.
    if (changed && *changed)
        fraChanged->show();
}

void BookEditor::onReloadChanged()
{
    // The user asked for the stored book: this editor's changes, an open cell's text among them,
    // go without another question (the model's reset closes the cell editor).
    fraChanged->hide();
    reloadBook();
}

void BookEditor::onKeepEditing()
{
    // A book deleted meanwhile has nothing to compare with: any later change shows the line.
    auto stored = library::loadBook(m_context.store->db(), m_book.id);
    m_keptOver = stored ? std::optional(std::move(*stored)) : std::optional(library::LoadedBook{m_book, {}});
    fraChanged->hide();
}

} // namespace editor
