#include "gui/market/ladder_cell_delegate.h"

#include <QAbstractItemView>
#include <QPainter>

namespace tc::gui {

void LadderCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem looks = option;
    initStyleOption(&looks, index);
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    Look look{looks.text,
              looks.palette.color(QPalette::Text).rgba(),
              looks.backgroundBrush,
              looks.font,
              looks.displayAlignment,
              looks.features,
              looks.state,
              option.rect.size(),
              ratio,
              option.palette.cacheKey(),
              looks.direction,
              looks.textElideMode};
    // A cell with more than a colour under its text (a selection, a focus frame, a gradient) or
    // an empty one goes to the style each time.
    const bool plain = !option.rect.isEmpty() && look.background.style() <= Qt::SolidPattern &&
                       !(option.state & (QStyle::State_Selected | QStyle::State_HasFocus));
    if (!plain) {
        ++drawnByStyle_;
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const auto row = static_cast<std::size_t>(index.row());
    const auto column = static_cast<std::size_t>(index.column());
    if (kept_.size() <= row)
        kept_.resize(row + 1);
    if (kept_[row].size() <= column)
        kept_[row].resize(column + 1);
    Kept& kept = kept_[row][column];
    if (kept.pixmap.isNull() || !(kept.look == look)) {
        ++drawnByStyle_;
        QPixmap pixmap(option.rect.size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        QStyleOptionViewItem at = option;
        at.rect.moveTopLeft(QPoint(0, 0));
        {
            QPainter cell(&pixmap);
            // What the view lays under a cell: its ground, then the row's (the alternate colour).
            const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled)  ? QPalette::Disabled
                                               : !(option.state & QStyle::State_Active) ? QPalette::Inactive
                                                                                        : QPalette::Active;
            cell.fillRect(at.rect, option.palette.brush(group, QPalette::Base));
            const QWidget* view = option.widget;
            QStyle* style = view ? view->style() : nullptr;
            if (style)
                style->drawPrimitive(QStyle::PE_PanelItemViewRow, &at, &cell, view);
            QStyledItemDelegate::paint(&cell, at, index);
        }
        kept = {std::move(look), std::move(pixmap)};
    }
    painter->drawPixmap(option.rect.topLeft(), kept.pixmap);
}

} // namespace tc::gui
