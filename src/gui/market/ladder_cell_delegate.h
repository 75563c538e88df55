#pragma once
// The ladders' cells drawn once per content. The style lays out and shapes a cell's text three or
// four times per paint; a ladder repaints on every tick with most of its cells as they were, so each
// cell keeps what the style drew for it, over the row's own ground, and shows that again until its
// text, colours, font, size or state change. A changed cell is drawn by the style as before: the
// pixels are the same.
#include <QPixmap>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>

#include <vector>

namespace tc::gui {

class LadderCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // How many cells the style has drawn (not shown again from what was kept).
    int drawnByStyle() const { return drawnByStyle_; }

private:
    // What the style's drawing of a cell depends on.
    struct Look {
        QString text;
        QRgb foreground = 0;
        QBrush background;
        QFont font;
        Qt::Alignment alignment;
        QStyleOptionViewItem::ViewItemFeatures features;
        QStyle::State state;
        QSize size;
        qreal ratio = 1;
        qint64 palette = 0;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        Qt::TextElideMode elide = Qt::ElideRight;
        bool operator==(const Look&) const = default;
    };
    struct Kept {
        Look look;
        QPixmap pixmap;
    };

    mutable std::vector<std::vector<Kept>> kept_; // by row, then column
    mutable int drawnByStyle_ = 0;
};

} // namespace tc::gui
