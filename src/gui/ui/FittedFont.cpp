#include "ui/FittedFont.h"

#include <QFontMetrics>
#include <QStyle>
#include <QWidget>
#include <QtMath>

namespace ui {

namespace {

bool fits(const QFont &font, const QStringList &samples, int width)
{
    const QFontMetrics metrics(font);
    for (const QString &sample : samples) {
        if (metrics.horizontalAdvance(sample) > width)
            return false;
    }
    return true;
}

} // namespace

int cellTextWidth(const QWidget *view, int cellWidth)
{
    const QStyle *style = view->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    // One pixel more for the text layout, which rounds a width up.
    return cellWidth - 2 * margin - 1;
}

QFont fittedFont(const QFont &base, const QStringList &samples, int width)
{
    if (fits(base, samples, width) || base.pointSizeF() <= 0)
        return base;
    QFont font = base;
    for (qreal points = qFloor(base.pointSizeF() * 2) / 2.0; points >= kSmallestGridPoints; points -= 0.5) {
        font.setPointSizeF(points);
        if (fits(font, samples, width))
            return font;
    }
    font.setPointSizeF(qMin(base.pointSizeF(), kSmallestGridPoints));
    for (int stretch = 95; stretch > 60; stretch -= 5) {
        font.setStretch(stretch);
        if (fits(font, samples, width))
            return font;
    }
    return font;
}

FontDelegate::FontDelegate(const QFont &font, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_font(font)
{
}

void FontDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->font = m_font;
    option->fontMetrics = QFontMetrics(m_font);
}

} // namespace ui
