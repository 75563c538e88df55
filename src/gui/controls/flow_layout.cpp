#include "gui/controls/flow_layout.h"

#include <QEvent>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace tc::gui {

FlowLayout::FlowLayout(int horizontalSpacing, int verticalSpacing, QWidget* parent)
    : QLayout(parent), horizontalSpacing_(horizontalSpacing), verticalSpacing_(verticalSpacing) {
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

int FlowLayout::count() const {
    return static_cast<int>(items_.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const {
    return Qt::Horizontal;
}

bool FlowLayout::hasHeightForWidth() const {
    return true;
}

int FlowLayout::heightForWidth(int width) const {
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const {
    QSize size;
    for (const QLayoutItem* item : items_)
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const {
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        width += (width > 0 ? horizontalSpacing_ : 0) + item->sizeHint().width();
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return QSize(width, height) + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool place) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const QWidget* owner = parentWidget();
    const Qt::LayoutDirection direction = owner ? owner->layoutDirection() : Qt::LeftToRight;
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint().boundedTo(QSize(area.width(), item->sizeHint().height()));
        // A new row when this one has no room left, unless it is the row's first item.
        if (x > area.x() && x + size.width() > area.x() + area.width()) {
            x = area.x();
            y += rowHeight + verticalSpacing_;
            rowHeight = 0;
        }
        if (place)
            item->setGeometry(QStyle::visualRect(direction, area, QRect(QPoint(x, y), size)));
        x += size.width() + horizontalSpacing_;
        rowHeight = std::max(rowHeight, size.height());
    }
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.y() + m.bottom();
}

namespace {

class WrappedRowsKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest) {
            auto* strip = static_cast<QWidget*>(watched);
            const int high = strip->layout() ? strip->layout()->heightForWidth(strip->width()) : -1;
            if (high > 0 && strip->minimumHeight() != high)
                strip->setMinimumHeight(high);
        }
        return false;
    }
};

} // namespace

void keepWrappedRowsWhole(QWidget* strip) {
    strip->installEventFilter(new WrappedRowsKeeper(strip));
}

} // namespace tc::gui
