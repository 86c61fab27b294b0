#include "ui/FlatControl.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCursor>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QWidget>

namespace ui {

// Paints its owner's border and lets every mouse event through to what lies beneath.
class FlatFrame final : public QWidget
{
public:
    FlatFrame(const FlatControl *owner, QWidget *parent)
        : QWidget(parent)
        , m_owner(owner)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_owner->paint(painter);
    }

private:
    const FlatControl *m_owner;
};

namespace {

constexpr int hotTrackingInterval = 10; // milliseconds

// A rectangle whose right and bottom edges lie just outside it, as the border drawing counts.
struct EdgeRect
{
    int left, top, right, bottom;

    void shrink(int n)
    {
        left += n;
        top += n;
        right -= n;
        bottom -= n;
    }
    void offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
};

struct Pen
{
    QPainter &painter;
    QPoint at;

    // A one-pixel line along a row or column from the pen's place up to, not including, `to`.
    void lineTo(QPoint to, const QColor &colour)
    {
        if (colour.isValid() && to != at) {
            if (to.y() == at.y()) {
                const int step = to.x() > at.x() ? 1 : -1;
                painter.fillRect(QRect(QPoint(std::min(at.x(), to.x() - step), at.y()),
                                       QPoint(std::max(at.x(), to.x() - step), at.y())),
                                 colour);
            } else {
                const int step = to.y() > at.y() ? 1 : -1;
                painter.fillRect(QRect(QPoint(at.x(), std::min(at.y(), to.y() - step)),
                                       QPoint(at.x(), std::max(at.y(), to.y() - step))),
                                 colour);
            }
        }
        at = to;
    }
};

// Left and top edges in one colour, right and bottom in the other: raised or sunken.
void rect3d(QPainter &painter, const EdgeRect &r, const QColor &topLeft, const QColor &bottomRight)
{
    Pen pen{painter, QPoint(r.left, r.bottom - 1)};
    pen.lineTo(QPoint(r.left, r.top), topLeft);
    pen.lineTo(QPoint(r.right - 1, r.top), topLeft);
    if (r.left != r.right) {
        pen.lineTo(QPoint(r.right - 1, r.bottom - 1), bottomRight);
        pen.lineTo(QPoint(r.left, r.bottom - 1), bottomRight);
    }
}

EdgeRect edgeRect(const QRect &r)
{
    return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

// The desktop colours the borders are drawn in, read from the control's palette each time.
struct Colours
{
    QColor face, shadow, highlight, window;
    QColor topLeft, bottomRight; // of the outer edge in the current state

    Colours(const QWidget *control, bool lit)
    {
        const QPalette &p = control->palette();
        face = p.color(QPalette::Button);
        shadow = p.color(QPalette::Dark);
        highlight = p.color(QPalette::Light);
        window = p.color(QPalette::Base);
        topLeft = lit ? shadow : face;
        bottomRight = lit ? highlight : face;
    }
};

// The relief of a combo's button strip: at rest a ring in restRing with
// a line in the window colour at its left; raised when hot or focused; pressed while a list is
// open.
void paintRelief(QPainter &painter, EdgeRect r, FlatControl::State state, const Colours &c, const QColor &restRing,
                 const QColor &raisedTopLeft, const QColor &raisedBottomRight)
{
    switch (state) {
    case FlatControl::Normal:
        r.top -= 1;
        r.bottom += 1;
        rect3d(painter, r, restRing, restRing);
        r.left -= 1;
        r.right = r.left;
        rect3d(painter, r, c.window, c.window);
        break;
    case FlatControl::Hot:
        r.top -= 1;
        r.bottom += 1;
        r.right += 1;
        rect3d(painter, r, raisedTopLeft, raisedBottomRight);
        break;
    case FlatControl::DroppedOpen:
        r.left -= 1;
        r.top -= 2;
        r.offset(1, 1);
        rect3d(painter, r, c.shadow, c.highlight);
        break;
    }
}

} // namespace

FlatControl::FlatControl(QObject *parent)
    : QObject(parent)
{
    m_hotTimer.setInterval(hotTrackingInterval);
    connect(&m_hotTimer, &QTimer::timeout, this, &FlatControl::onTimer);
}

FlatControl::~FlatControl()
{
    detach();
}

QWidget *FlatControl::frame() const
{
    return m_frame;
}

void FlatControl::attach(QWidget *control)
{
    detach();
    // A label draws straight onto its parent in the designed windows and has nothing to style.
    if (!control || qobject_cast<QLabel *>(control))
        return;

    m_control = control;
    if (auto *combo = qobject_cast<QComboBox *>(control)) {
        m_isCombo = true;
        m_edit = combo->lineEdit();
        m_listPopup = combo->view()->window();
        m_frame = new FlatFrame(this, combo);
    } else if (control->parentWidget()) {
        m_frame = new FlatFrame(this, control->parentWidget());
    }

    for (QObject *watched :
         {static_cast<QObject *>(m_control), static_cast<QObject *>(m_edit), static_cast<QObject *>(m_listPopup)}) {
        if (watched)
            watched->installEventFilter(this);
    }
    connect(control, &QObject::destroyed, this, &FlatControl::detach);
    m_attached = true;
    m_state = hasFocus() ? (droppedDown() ? DroppedOpen : Hot) : Normal;
    placeFrame();
}

void FlatControl::detach()
{
    if (!m_attached)
        return;
    m_attached = false;
    for (QObject *watched :
         {static_cast<QObject *>(m_control), static_cast<QObject *>(m_edit), static_cast<QObject *>(m_listPopup)}) {
        if (watched)
            watched->removeEventFilter(this);
    }
    if (m_control)
        disconnect(m_control, &QObject::destroyed, this, &FlatControl::detach);
    m_hotTimer.stop();
    delete m_frame;
    m_control = m_edit = m_listPopup = nullptr;
    m_mouseOver = m_isCombo = false;
    m_state = Normal;
}

bool FlatControl::droppedDown() const
{
    return m_isCombo && m_control && m_listPopup && m_listPopup->isVisible();
}

bool FlatControl::hasFocus() const
{
    return (m_control && m_control->hasFocus()) || (m_edit && m_edit->hasFocus());
}

bool FlatControl::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_attached)
        return false;
    if (watched == m_listPopup) {
        if (event->type() == QEvent::Show) {
            draw(true, true);
            stopHotTracking(false);
        } else if (event->type() == QEvent::Hide) {
            draw(hasFocus(), false);
            stopHotTracking(false);
        }
        return false;
    }

    switch (event->type()) {
    case QEvent::FocusIn:
        draw(true, droppedDown());
        stopHotTracking(false);
        break;
    case QEvent::FocusOut:
        // The open list takes the focus to its popup: the combo stays drawn as open.
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason && !hasFocus() && !droppedDown())
            draw(false, false);
        break;
    case QEvent::Paint:
        if (watched == m_control) {
            const bool open = droppedDown();
            if (hasFocus() || open) {
                draw(true, open);
                stopHotTracking(false);
            } else {
                // Qt repaints a control when the mouse moves over it: a hot control stays lit.
                draw(m_mouseOver, false);
            }
        }
        break;
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        onMouseMove();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::ParentChange:
    case QEvent::ZOrderChange:
    case QEvent::ChildAdded:
        if (watched == m_control) {
            if (m_isCombo && event->type() == QEvent::ChildAdded) {
                // A combo box made editable later gets its edit part now.
                if (QWidget *edit = static_cast<QComboBox *>(m_control.data())->lineEdit(); edit && edit != m_edit) {
                    m_edit = edit;
                    m_edit->installEventFilter(this);
                }
            }
            placeFrame();
        }
        break;
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
        if (m_frame)
            m_frame->update();
        break;
    default:
        break;
    }
    return false;
}

void FlatControl::onMouseMove()
{
    if (m_mouseOver || hasFocus() || droppedDown())
        return;
    draw(true, false);
    m_mouseOver = true;
    m_hotTimer.start();
}

void FlatControl::onTimer()
{
    stopHotTracking(true);
    if (!m_mouseOver)
        draw(false, false);
}

void FlatControl::stopHotTracking(bool checkMouse)
{
    if (checkMouse && m_control &&
        QRect(m_control->mapToGlobal(QPoint(0, 0)), m_control->size()).contains(QCursor::pos()))
        return;
    m_hotTimer.stop();
    m_mouseOver = false;
}

void FlatControl::draw(bool focused, bool open)
{
    const State state = focused ? (open ? DroppedOpen : Hot) : Normal;
    if (state == m_state)
        return;
    m_state = state;
    if (m_frame)
        m_frame->update();
}

void FlatControl::placeFrame()
{
    if (!m_frame || !m_control)
        return;
    if (m_isCombo) {
        m_frame->setGeometry(m_control->rect());
        m_frame->raise();
        m_frame->show();
        return;
    }
    QWidget *parent = m_control->parentWidget();
    if (!parent) {
        m_frame->hide();
        return;
    }
    if (m_frame->parentWidget() != parent)
        m_frame->setParent(parent);
    m_frame->setGeometry(m_control->geometry().adjusted(-1, -1, 1, 1));
    // Just above the control, so that a sibling shown over it also covers its border.
    const QObjectList &siblings = parent->children();
    QWidget *above = nullptr;
    for (qsizetype i = siblings.indexOf(m_control) + 1; i < siblings.size() && !above; ++i) {
        auto *w = qobject_cast<QWidget *>(siblings.at(i));
        if (w && w != m_frame && !w->isWindow())
            above = w;
    }
    if (above)
        m_frame->stackUnder(above);
    else
        m_frame->raise();
    m_frame->setVisible(m_control->isVisibleTo(parent));
}

void FlatControl::paint(QPainter &painter) const
{
    if (!m_control)
        return;
    if (m_isCombo)
        paintCombo(painter);
    else
        paintFrame(painter);
}

void FlatControl::paintFrame(QPainter &painter) const
{
    // The frame widget reaches one pixel beyond the control on every side. The outer edge lies
    // outside the control; the next one covers the control's outermost pixel, which makes the
    // box one pixel smaller on every side. Further rings would lie under the control's own
    // face, which covers them.
    const Colours c(m_control, m_state != Normal);
    EdgeRect r = edgeRect(m_frame->rect());
    rect3d(painter, r, c.topLeft, c.bottomRight);
    r.shrink(1);
    const QColor inner = m_control->isEnabled() ? c.face : c.highlight;
    rect3d(painter, r, inner, inner);
}

void FlatControl::paintCombo(QPainter &painter) const
{
    auto *combo = static_cast<QComboBox *>(m_control.data());
    const Colours c(combo, m_state != Normal);
    const bool enabled = combo->isEnabled();

    EdgeRect r = edgeRect(combo->rect());
    rect3d(painter, r, c.topLeft, c.bottomRight);
    r.shrink(1);
    const QColor inner = enabled ? c.face : c.highlight;
    rect3d(painter, r, inner, inner);
    r.shrink(1);

    // The button strip covers the style's own drop-down arrow.
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    int stripWidth =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, combo).width();
    if (stripWidth <= 0)
        stripWidth = combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, combo);
    EdgeRect b = r;
    b.left = r.right - stripWidth;
    rect3d(painter, b, c.face, c.face);
    b.shrink(1);
    rect3d(painter, b, c.face, c.face);
    if (enabled)
        paintRelief(painter, b, m_state, c, c.highlight, c.highlight, c.shadow);
}

FlatControl *flatControlOf(const QWidget *control)
{
    return control ? control->findChild<FlatControl *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace ui
