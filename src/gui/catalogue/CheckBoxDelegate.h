#pragma once

#include <QStyledItemDelegate>

namespace catalogue {

// Draws a check-box cell with the box centred, and toggles it on a click or the space key. A
// press on the box is taken by the delegate, so the view does not see it: boxPressed tells the
// window, which makes that row current as a click anywhere else in the row would.
class CheckBoxDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

signals:
    void boxPressed(const QModelIndex &index);

private:
    static QRect checkRect(const QStyleOptionViewItem &option);
};

} // namespace catalogue
