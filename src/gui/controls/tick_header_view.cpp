#include "gui/controls/tick_header_view.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionViewItem>

namespace tc::gui {

TickHeaderView::TickHeaderView(Qt::Orientation orientation, QWidget* parent)
    : QHeaderView(orientation, parent) {}

void TickHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    // The title's drawing may leave the painter clipped to its label.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    const QVariant tick =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::CheckStateRole) : QVariant();
    if (!tick.isValid() || !rect.isValid())
        return;
    // Placed as the style places a cell's tick box, so that it stands over the column's boxes.
    const QWidget* view = parentWidget() ? parentWidget() : this;
    QStyleOptionViewItem cell;
    cell.initFrom(view);
    cell.rect = rect;
    cell.features = QStyleOptionViewItem::HasCheckIndicator;
    cell.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    // The program's style draws every cell left to right: its box stands at the cell's left.
    cell.direction = Qt::LeftToRight;
    if (const auto* items = qobject_cast<const QAbstractItemView*>(view);
        items && items->iconSize().isValid())
        cell.decorationSize = items->iconSize();
    else
        cell.decorationSize = QSize(1, 1) * style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, view);
    QStyleOptionButton box;
    box.initFrom(this);
    box.rect = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &cell, view);
    const auto state = tick.value<Qt::CheckState>();
    box.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange | QStyle::State_MouseOver);
    box.state |= state == Qt::Checked     ? QStyle::State_On
                 : state == Qt::Unchecked ? QStyle::State_Off
                                          : QStyle::State_NoChange;
    painter->save();
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, this);
    painter->restore();
}

} // namespace tc::gui
