#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

class QPainter;
class QWidget;

namespace ui {

class FlatFrame;

// Draws the flat border of one control: invisible at rest, a thin sunken frame while the
// control has the focus or the mouse is over it, and for a combo box a flat drop-down button,
// raised under the mouse or focus and pressed while its list is open. It watches the control's
// events through an event filter and never consumes one, so the control behaves as before.
//
// The border is painted by a small transparent widget that lets every mouse event through:
// around a text box it sits on the parent, one pixel outside the control, and paints the
// control's outermost pixel in the face colour, so the box looks one pixel smaller on every
// side without moving a widget a layout manages; on a combo box it lies over the control's own
// painting.
class FlatControl final : public QObject
{
    Q_OBJECT

public:
    // Drawing states.
    enum State { Normal = 1, Hot = 2, DroppedOpen = 4 };

    explicit FlatControl(QObject *parent = nullptr);
    ~FlatControl() override;

    // Styles one control, dropping any earlier attachment. A control without a window of its
    // own (a label) or no control at all attaches nothing.
    void attach(QWidget *control);
    // Whether the attached combo box has its list open.
    bool droppedDown() const;

    QWidget *control() const { return m_control; }
    bool isCombo() const { return m_isCombo; }
    State state() const { return m_state; }
    bool mouseOver() const { return m_mouseOver; }
    // Hot tracking polls the cursor only while this runs.
    bool isTracking() const { return m_hotTimer.isActive(); }
    // The widget that paints the border (none when nothing is attached).
    QWidget *frame() const;

    void paint(QPainter &painter) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void detach();
    void draw(bool focused, bool open);
    void stopHotTracking(bool checkMouse);
    void onTimer();
    void onMouseMove();
    bool hasFocus() const;
    void placeFrame();

    void paintFrame(QPainter &painter) const;
    void paintCombo(QPainter &painter) const;

    QPointer<QWidget> m_control;
    QPointer<QWidget> m_edit;      // the edit part of an editable combo box
    QPointer<QWidget> m_listPopup; // the window a combo box shows its list in
    QPointer<FlatFrame> m_frame;
    QTimer m_hotTimer;
    bool m_attached = false;
    bool m_mouseOver = false;
    bool m_isCombo = false;
    State m_state = Normal;
};

// The styling object attached to a control by applyFlatStyling, if any.
FlatControl *flatControlOf(const QWidget *control);

} // namespace ui
