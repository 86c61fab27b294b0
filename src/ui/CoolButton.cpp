#include "ui/CoolButton.h"

#include <QEnterEvent>

namespace ui {

CoolButton::CoolButton(const QString &text, QWidget *parent)
    : QPushButton(text, parent)
    , m_backcolor(192, 192, 255)
    , m_highlight(Qt::black)
    , m_lightShadow(palette().color(QPalette::ButtonText))
    , m_darkShadow(palette().color(QPalette::HighlightedText))
{
    applyPalette();
}

void CoolButton::setBackcolor(const QColor &c)
{
    m_backcolor = c;
    applyPalette();
}

void CoolButton::setColorhighlight(const QColor &c)
{
    m_highlight = c;
    update();
}

void CoolButton::setColorlightshadow(const QColor &c)
{
    m_lightShadow = c;
    update();
}

void CoolButton::setColordarkshadow(const QColor &c)
{
    m_darkShadow = c;
    update();
}

void CoolButton::setHoverColoursNow()
{
    setBackcolor(QColor(255, 255, 192));
    const QColor orange(255, 128, 0);
    setColorhighlight(orange);
    setColorlightshadow(orange);
    setColordarkshadow(orange);
}

void CoolButton::setRestColours()
{
    setBackcolor(QColor(192, 192, 255));
    setColorhighlight(Qt::black);
    setColorlightshadow(Qt::black);
    setColordarkshadow(Qt::black);
}

void CoolButton::enterEvent(QEnterEvent *event)
{
    if (m_hover)
        setHoverColoursNow();
    QPushButton::enterEvent(event);
}

void CoolButton::leaveEvent(QEvent *event)
{
    if (m_hover)
        setRestColours();
    QPushButton::leaveEvent(event);
}

void CoolButton::applyPalette()
{
    QPalette p = palette();
    p.setColor(QPalette::Button, m_backcolor);
    setPalette(p);
    update();
}

} // namespace ui
