#pragma once

#include "common/Message.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>

class QWidget;

namespace ui {

// The program's own: a modal QMessageBox centred over the window it belongs to: the active
// window, or while none is active (right after a box or dialog closed) the visible window that
// was active last. Made after the QApplication.
class BoxMessages final : public Messages
{
public:
    BoxMessages();
    ~BoxMessages() override;
    Q_DISABLE_COPY_MOVE(BoxMessages)

    void tell(const Message &message) override;
    bool ask(const Message &message) override;

private:
    int run(const Message &message, int buttons);
    QWidget *owner() const;

    QList<QPointer<QWidget>> m_activeBefore; // most recent first
    QMetaObject::Connection m_tracking;
};

} // namespace ui
