#pragma once

#include <QString>

// The message seam without widgets: what the rules below the windows hand up to be shown or
// asked. BoxMessages (ui/Messages.h) shows them; tests script the answers.
namespace ui {

// Title of every message box unless a message says otherwise.
inline QString programTitle()
{
    return QStringLiteral("Photo Series Books");
}

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

} // namespace ui
