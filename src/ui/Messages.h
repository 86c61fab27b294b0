#pragma once

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace ui {

// Title of every message box unless a message says otherwise.
QString programTitle();

enum class Icon { None, Information, Question, Exclamation, Critical };

struct Message
{
    QString text;
    Icon icon = Icon::None;
    QString title = programTitle();
};

// Every message box of the program goes through this seam, so that tests can read what was
// shown and answer questions from a script.
class Messages
{
public:
    virtual ~Messages() = default;
    // A box with an OK button.
    virtual void tell(const Message &message) = 0;
    // A box with Yes and No buttons; true for Yes.
    virtual bool ask(const Message &message) = 0;
};

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
