#include "editor/KeystrokeFilter.h"

#include "ui/InputFeedback.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace editor {

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

} // namespace

KeystrokeFilter::KeystrokeFilter(InputClass inputClass, QObject *parent)
    : QObject(parent)
    , m_class(inputClass)
{
}

void KeystrokeFilter::install(QLineEdit *editor, InputClass inputClass)
{
    // Dropped or menu-pasted text would pass by the filter.
    editor->setAcceptDrops(false);
    editor->setContextMenuPolicy(Qt::NoContextMenu);
    editor->installEventFilter(new KeystrokeFilter(inputClass, editor));
}

void KeystrokeFilter::paste(QLineEdit *edit, const QString &text) const
{
    QString out;
    for (const QChar c : text) {
        if (isControl(c))
            continue;
        if (!acceptsCharacter(m_class, c)) {
            ui::signalRefusedInput(edit, acceptedInputHint(m_class));
            return;
        }
        out.append(c);
    }
    edit->insert(out);
}

bool KeystrokeFilter::eventFilter(QObject *watched, QEvent *event)
{
    // A middle click pastes the X11 primary selection: it passes the same filter as typing.
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton) {
        auto *edit = qobject_cast<QLineEdit *>(watched);
        if (!edit || edit->isReadOnly() || !QGuiApplication::clipboard()->supportsSelection())
            return false;
        paste(edit, QGuiApplication::clipboard()->text(QClipboard::Selection));
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->matches(QKeySequence::Paste)) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched); edit && !edit->isReadOnly())
            paste(edit, QGuiApplication::clipboard()->text());
        return true;
    }
    for (const QChar c : key->text()) {
        if (!isControl(c) && !acceptsCharacter(m_class, c)) {
            if (auto *edit = qobject_cast<QLineEdit *>(watched))
                ui::signalRefusedInput(edit, acceptedInputHint(m_class));
            return true;
        }
    }
    return false;
}

} // namespace editor
