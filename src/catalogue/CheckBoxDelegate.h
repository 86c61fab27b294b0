#pragma once

#include <QStyledItemDelegate>

namespace catalogue {

// Draws a check-box cell with the box centred, and toggles it on a click or the space key.
class CheckBoxDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    static QRect checkRect(const QStyleOptionViewItem &option);
};

} // namespace catalogue
