#include "ui/WindowKit.h"

#include "ui/CoolButton.h"

#include <QHBoxLayout>
#include <QLabel>

namespace ui {

CoolButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QString &tip, Hover hover)
{
    auto *button = new CoolButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    if (!tip.isEmpty())
        button->setToolTip(tip);
    button->setHoverColours(hover == Hover::Lights);
    return button;
}

QLabel *makePanelCaption(QWidget *parent, const QString &text, const char *name)
{
    auto *caption = new QLabel(text, parent);
    caption->setObjectName(QLatin1String(name));
    caption->setAlignment(Qt::AlignCenter);
    caption->setFrameShape(QFrame::Panel);
    caption->setFrameShadow(QFrame::Raised);
    caption->setAutoFillBackground(true);
    caption->setBackgroundRole(QPalette::Button);
    return caption;
}

QHBoxLayout *makeButtonRow(std::initializer_list<QWidget *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (QWidget *button : buttons)
        row->addWidget(button);
    return row;
}

} // namespace ui
