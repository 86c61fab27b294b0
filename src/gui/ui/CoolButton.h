#pragma once

#include <QColor>
#include <QPushButton>

namespace ui {

// A command button whose face and three accent colours can be set at run time. Buttons with
// hover colours light up while the mouse is over them. The button is flat: its face colour
// fills it, and the accent colours are its edges (colorhighlight the outer top and left edge,
// colordarkshadow the outer bottom and right edge, colorlightshadow the inner bottom and right).
class CoolButton : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(QColor backcolor READ backcolor WRITE setBackcolor)
    Q_PROPERTY(QColor colorhighlight READ colorhighlight WRITE setColorhighlight)
    Q_PROPERTY(QColor colorlightshadow READ colorlightshadow WRITE setColorlightshadow)
    Q_PROPERTY(QColor colordarkshadow READ colordarkshadow WRITE setColordarkshadow)

public:
    explicit CoolButton(const QString &text, QWidget *parent = nullptr);

    QColor backcolor() const { return m_backcolor; }
    QColor colorhighlight() const { return m_highlight; }
    QColor colorlightshadow() const { return m_lightShadow; }
    QColor colordarkshadow() const { return m_darkShadow; }
    void setBackcolor(const QColor &c);
    void setColorhighlight(const QColor &c);
    void setColorlightshadow(const QColor &c);
    void setColordarkshadow(const QColor &c);

    // Whether entering and leaving the button switch between hover and rest colours.
    void setHoverColours(bool on) { m_hover = on; }
    bool hasHoverColours() const { return m_hover; }

    void setHoverColoursNow();
    void setRestColours();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void applyPalette();

    QColor m_backcolor;
    QColor m_highlight;
    QColor m_lightShadow;
    QColor m_darkShadow;
    bool m_hover = false;
};

} // namespace ui
