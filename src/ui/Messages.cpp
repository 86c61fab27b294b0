#include "ui/Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace ui {

QString programTitle()
{
    return QStringLiteral("Photo Series Books");
}

namespace {

QMessageBox::Icon boxIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

int run(const Message &message, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(boxIcon(message.icon), message.title, message.text, buttons, QApplication::activeWindow());
    return box.exec();
}

} // namespace

void BoxMessages::tell(const Message &message)
{
    run(message, QMessageBox::Ok);
}

bool BoxMessages::ask(const Message &message)
{
    return run(message, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace ui
