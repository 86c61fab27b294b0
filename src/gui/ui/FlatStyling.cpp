#include "ui/FlatStyling.h"

#include "ui/FlatControl.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QTextEdit>
#include <QVariant>

#include <algorithm>

namespace ui {

namespace {

// Parts of a compound control (a combo box's edit, a spin box's text, a grid's cell editor)
// belong to that control, not to the window.
bool insideCompound(const QWidget *widget, const QWidget *window)
{
    for (const QWidget *w = widget->parentWidget(); w && w != window; w = w->parentWidget()) {
        if (qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
            qobject_cast<const QAbstractItemView *>(w) || qobject_cast<const QTextEdit *>(w) ||
            qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QCalendarWidget *>(w))
            return true;
    }
    return false;
}

bool taggedSkip(const QWidget *widget)
{
    return widget->property("tag").toString().toUpper() == QLatin1String("SKIP");
}

// Taking away a control's own frame shrinks its preferred height, which would move the controls
// of its layout: keep the height it had.
template <typename RemoveFrame> void flatten(QWidget *control, RemoveFrame removeFrame)
{
    const int framedHeight = control->sizeHint().height();
    removeFrame();
    if (control->sizeHint().height() < framedHeight && control->maximumHeight() >= framedHeight)
        control->setMinimumHeight(std::max(control->minimumHeight(), framedHeight));
}

// Opens a combo box's list below the box instead of over it, so that its pressed button shows
// while the list is open.
class ListBelowStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle *listBelowStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new ListBelowStyle;
        style->setParent(qApp);
    }
    return style;
}

void style(QWidget *control)
{
    (new FlatControl(control))->attach(control);
}

} // namespace

void applyFlatStyling(QWidget *window)
{
    if (!window)
        return;
    const QList<QWidget *> controls = window->findChildren<QWidget *>();
    for (QWidget *control : controls) {
        if (insideCompound(control, window) || flatControlOf(control))
            continue;
        if (auto *combo = qobject_cast<QComboBox *>(control)) {
            flatten(combo, [combo] { combo->setFrame(false); });
            combo->setStyle(listBelowStyle());
            style(combo);
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            flatten(edit, [edit] { edit->setFrame(false); });
            if (!edit->isReadOnly() && !taggedSkip(edit))
                style(edit);
        } else if (auto *text = qobject_cast<QTextEdit *>(control)) {
            flatten(text, [text] { text->setFrameShape(QFrame::NoFrame); });
            if (!text->isReadOnly() && !taggedSkip(text))
                style(text);
        } else if (auto *plain = qobject_cast<QPlainTextEdit *>(control)) {
            flatten(plain, [plain] { plain->setFrameShape(QFrame::NoFrame); });
            if (!plain->isReadOnly() && !taggedSkip(plain))
                style(plain);
        } else if (qobject_cast<QLabel *>(control)) {
            style(control);
        }
    }
}

} // namespace ui
