#include "ui/CoolButton.h"

#include <QEnterEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

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

void CoolButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, m_backcolor);

    const bool sunken = isDown() || isChecked();
    const QColor &topLeft = sunken ? m_darkShadow : m_highlight;
    const QColor &bottomRight = sunken ? m_highlight : m_darkShadow;
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    if (!sunken) {
        painter.fillRect(QRect(r.left() + 1, r.bottom() - 1, r.width() - 2, 1), m_lightShadow);
        painter.fillRect(QRect(r.right() - 1, r.top() + 1, 1, r.height() - 2), m_lightShadow);
    }

    QStyleOptionButton option;
    initStyleOption(&option);
    if (sunken)
        option.rect.translate(1, 1);
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(4, 4, -4, -4);
        focus.backgroundColor = m_backcolor;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void CoolButton::applyPalette()
{
    QPalette p = palette();
    p.setColor(QPalette::Button, m_backcolor);
    setPalette(p);
    update();
}

} // namespace ui
