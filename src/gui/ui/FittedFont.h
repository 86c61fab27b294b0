#pragma once

#include <QFont>
#include <QStringList>
#include <QStyledItemDelegate>

class QWidget;

namespace ui {

// The smallest point size a grid is shrunk to before its text is narrowed instead.
constexpr qreal kSmallestGridPoints = 7.0;

// The width a cell of `cellWidth` pixels leaves for its text in `view` (the item delegate's
// margins taken off both sides, and a pixel for rounding).
int cellTextWidth(const QWidget *view, int cellWidth);

// The largest size of `base`, in half points down to kSmallestGridPoints, in which every sample
// fits `width` pixels; when even that is too wide, the smallest size narrowed just enough.
// `base` is returned when it fits already.
QFont fittedFont(const QFont &base, const QStringList &samples, int width);

// Draws its cells in one given font (a column whose designed width needs a smaller one).
class FontDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    FontDelegate(const QFont &font, QObject *parent);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    QFont m_font;
};

} // namespace ui
