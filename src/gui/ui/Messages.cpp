#include "ui/Messages.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QWindow>

namespace ui {

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

} // namespace

BoxMessages::BoxMessages()
{
    m_tracking = QObject::connect(qApp, &QGuiApplication::focusWindowChanged, qApp, [this] {
        QWidget *active = QApplication::activeWindow();
        if (!active || qobject_cast<QMessageBox *>(active))
            return;
        m_activeBefore.removeAll(active);
        m_activeBefore.removeAll(nullptr);
        m_activeBefore.prepend(active);
    });
}

BoxMessages::~BoxMessages()
{
    QObject::disconnect(m_tracking);
}

QWidget *BoxMessages::owner() const
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    for (const QPointer<QWidget> &window : m_activeBefore) {
        if (window && window->isVisible())
            return window;
    }
    // Without a window manager a window may never become active: take a shown window that
    // takes input (the editor rather than the catalogue it disables).
    for (QWidget *window : QApplication::topLevelWidgets()) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && window->isEnabled() && !qobject_cast<QMessageBox *>(window) &&
            (type == Qt::Window || type == Qt::Dialog))
            return window;
    }
    return nullptr;
}

int BoxMessages::run(const Message &message, int buttons)
{
    // On the heap and guarded: a window deleted while its box waits takes the box with it, and a
    // box on the stack would then be freed twice.
    const QPointer<QMessageBox> box = new QMessageBox(boxIcon(message.icon), message.title, message.text,
                                                      QMessageBox::StandardButtons(buttons), owner());
    // Wide enough for its whole title ("Photo S…s Books" otherwise): the title bar also holds
    // the window's icon and buttons.
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        const int titleWidth =
            QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(message.title);
        grid->addItem(new QSpacerItem(titleWidth + 160, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                      0, 1, grid->columnCount());
    }
    const int answer = box->exec();
    delete box.data();
    return answer;
}

void BoxMessages::tell(const Message &message)
{
    run(message, QMessageBox::Ok);
}

bool BoxMessages::ask(const Message &message)
{
    return run(message, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace ui
