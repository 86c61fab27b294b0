#pragma once

#include <QString>

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

// The program's own: modal QMessageBox over the active window.
class BoxMessages final : public Messages
{
public:
    void tell(const Message &message) override;
    bool ask(const Message &message) override;
};

} // namespace ui
