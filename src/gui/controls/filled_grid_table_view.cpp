#include "gui/controls/filled_grid_table_view.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace tc::gui {

FilledGridTableView::FilledGridTableView(QWidget* parent) : QTableView(parent) {
    // The grid stays on (it keeps each cell a pixel short of its column and row, as ever) but is
    // stroked with no pen; paintEvent fills it.
    setGridStyle(Qt::NoPen);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    // The width left empty past the last whole column reads as the table's own empty ground.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &FilledGridTableView::updateGeometries);
    // The view lays its columns out later, on a timer; the window's layout must hear of a wider
    // column at once, or it keeps the least width it last asked for.
    QHeaderView* header = horizontalHeader();
    connect(header, &QHeaderView::sectionResized, this, &FilledGridTableView::tellLeastWidth);
    connect(header, &QHeaderView::sectionCountChanged, this, &FilledGridTableView::tellLeastWidth);
}

void FilledGridTableView::setFocusOnSelectedRow() {
    focusOnSelected_ = true;
    setSelectionMode(QAbstractItemView::SingleSelection);
    followSelection();
}

void FilledGridTableView::setSelectionModel(QItemSelectionModel* selection) {
    QTableView::setSelectionModel(selection);
    followSelection();
}

void FilledGridTableView::followSelection() {
    QItemSelectionModel* selection = selectionModel();
    if (!focusOnSelected_ || !selection || !selection->model())
        return;
    // Unique connections: a model set again does not connect twice.
    const auto unique = Qt::UniqueConnection;
    connect(selection, &QItemSelectionModel::selectionChanged, this,
            &FilledGridTableView::dropUnselectedCurrent, unique);
    const QAbstractItemModel* model = selection->model();
    connect(model, &QAbstractItemModel::rowsRemoved, this, &FilledGridTableView::dropUnselectedCurrent,
            unique);
    connect(model, &QAbstractItemModel::modelReset, this, &FilledGridTableView::dropUnselectedCurrent,
            unique);
    connect(model, &QAbstractItemModel::layoutChanged, this, &FilledGridTableView::dropUnselectedCurrent,
            unique);
}

void FilledGridTableView::dropUnselectedCurrent() {
    QItemSelectionModel* selection = selectionModel();
    if (!focusOnSelected_ || !selection)
        return;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && !selection->isRowSelected(current.row(), current.parent()))
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void FilledGridTableView::focusInEvent(QFocusEvent* event) {
    // Qt makes the first cell current, unselected, when a view takes the focus without one.
    QTableView::focusInEvent(event);
    dropUnselectedCurrent();
}

QModelIndex FilledGridTableView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Without a current row every key goes to the first row; End goes to the last.
    if (focusOnSelected_ && !currentIndex().isValid() && action == MoveEnd && model()) {
        for (int row = model()->rowCount(rootIndex()) - 1; row >= 0; --row)
            if (!isRowHidden(row))
                for (int column = 0; column < model()->columnCount(rootIndex()); ++column)
                    if (!isColumnHidden(column))
                        return model()->index(row, column, rootIndex());
    }
    return QTableView::moveCursor(action, modifiers);
}

QItemSelectionModel::SelectionFlags FilledGridTableView::selectionCommand(const QModelIndex& index,
                                                                          const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags flags = QTableView::selectionCommand(index, event);
    // A key that moves the focus (Ctrl+Down too) selects the row it lands on.
    if (focusOnSelected_ && index.isValid() && event && event->type() == QEvent::KeyPress &&
        flags == QItemSelectionModel::NoUpdate)
        return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return flags;
}

void FilledGridTableView::tellLeastWidth() {
    if (const int least = minimumSizeHint().width(); least != leastWidth_) {
        leastWidth_ = least;
        updateGeometry();
    }
}

void FilledGridTableView::setWholeColumns(bool whole) {
    wholeColumns_ = whole;
    setHorizontalScrollMode(whole ? QAbstractItemView::ScrollPerItem : QAbstractItemView::ScrollPerPixel);
    updateGeometries();
}

void FilledGridTableView::updateGeometries() {
    // Narrowing the viewport below comes back here; the outer call finishes the layout.
    if (fitting_)
        return;
    QTableView::updateGeometries();
    startAtAColumnsEdge();
    tellLeastWidth();
    restretchLastColumn();
    // The table's own margins hold the headers and leave the trailing side (the right, the left in
    // a right-to-left view) free: what stands there is the width left empty.
    QMargins margins = viewportMargins();
    const bool rightToLeft = isRightToLeft();
    const int trailing = rightToLeft ? margins.left() : margins.right();
    cut_ = wholeColumns_ ? widthPastWholeColumns(viewport()->width() + trailing) : 0;
    if (trailing == cut_)
        return;
    if (rightToLeft)
        margins.setLeft(cut_);
    else
        margins.setRight(cut_);
    fitting_ = true;
    setViewportMargins(margins);
    fitting_ = false;
    QHeaderView* header = horizontalHeader();
    const QRect port = viewport()->geometry();
    header->setGeometry(port.left(), header->y(), port.width(), header->height());
}

void FilledGridTableView::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    if (dx != 0)
        startAtAColumnsEdge();
}

// Scrolled a column at a time to the scroll bar's end (Ctrl+End, End, the bar dragged there), Qt lines
// the last column up with the view's edge, which leaves the first in sight cut to a letter or a digit.
// The view starts at the column the scroll bar names instead: the columns from it on fit, as the bar's
// range was worked out, and what is left past them is the width left empty.
void FilledGridTableView::startAtAColumnsEdge() {
    QScrollBar& scroll = *horizontalScrollBar();
    if (!wholeColumns_ || horizontalScrollMode() != QAbstractItemView::ScrollPerItem ||
        scroll.maximum() <= 0 || scroll.value() != scroll.maximum())
        return;
    QHeaderView& header = *horizontalHeader();
    const int offset = header.offset();
    header.setOffsetToSectionPosition(scroll.value());
    if (header.offset() != offset)
        viewport()->update();
}

// The header stretches its last column on a timer once its width changes; a cut worked out before
// would take that column at its old width, too wide for the room the vertical scroll bar leaves,
// and cut it away for good (the view, narrowed to the columns before it, never stretches it back).
// So the stretch is laid out again at once, over the room the header has now.
void FilledGridTableView::restretchLastColumn() {
    QHeaderView* header = horizontalHeader();
    if (!wholeColumns_ || !header->stretchLastSection())
        return;
    int visual = header->count() - 1;
    while (visual >= 0 && header->isSectionHidden(header->logicalIndex(visual)))
        --visual;
    if (visual < 0)
        return;
    const int last = header->logicalIndex(visual);
    if (header->sectionPosition(last) - header->offset() + header->sectionSize(last) <= header->width())
        return;
    fitting_ = true;
    header->setStretchLastSection(false);
    header->setStretchLastSection(true);
    fitting_ = false;
}

QSize FilledGridTableView::minimumSizeHint() const {
    QSize least = QTableView::minimumSizeHint();
    if (!wholeColumns_)
        return least;
    const QHeaderView& header = *horizontalHeader();
    int widest = 0;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int column = header.logicalIndex(visual);
        const bool stretched = header.sectionResizeMode(column) == QHeaderView::Stretch ||
                               (header.stretchLastSection() && visual == header.count() - 1);
        if (!header.isSectionHidden(column) && !stretched)
            widest = std::max(widest, header.sectionSize(column));
    }
    const int sides = 2 * frameWidth() + (verticalHeader()->isHidden() ? 0 : verticalHeader()->width()) +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    least.setWidth(std::max(least.width(), widest + sides));
    return least;
}

int FilledGridTableView::columnRoom() const {
    return viewport()->width() + cut_;
}

int FilledGridTableView::widthPastWholeColumns(int room) const {
    // Scrolling a column at a time, the first column in sight starts at the view's edge; the
    // columns from it on that fit the room whole.
    const QHeaderView& header = *horizontalHeader();
    int used = 0;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int column = header.logicalIndex(visual);
        if (header.isSectionHidden(column) || header.sectionPosition(column) < header.offset())
            continue;
        const int size = header.sectionSize(column);
        if (used + size > room)
            return used > 0 ? room - used : 0; // a column wider than the view shows as far as it goes
        used += size;
    }
    return 0;
}

std::vector<QRect> FilledGridTableView::gridLineRects(const QRect& dirty) const {
    std::vector<QRect> lines;
    const QHeaderView& rows = *verticalHeader();
    const QHeaderView& columns = *horizontalHeader();
    if (rows.count() == 0 || columns.count() == 0)
        return lines;
    // The cells' extent, as QTableView clips each dirty rectangle before its grid.
    const bool rightToLeft = isRightToLeft();
    const int x = columns.length() - columns.offset() - (rightToLeft ? 0 : 1);
    const int y = rows.length() - rows.offset() - 1;
    QRect area = dirty;
    area.setBottom(std::min(area.bottom(), y));
    if (rightToLeft)
        area.setLeft(std::max(area.left(), viewport()->width() - x));
    else
        area.setRight(std::min(area.right(), x));
    if (!area.isValid())
        return lines;
    int top = rows.visualIndexAt(area.top());
    int bottom = rows.visualIndexAt(area.bottom());
    if (bottom == -1)
        bottom = rows.count() - 1;
    if (top == -1 || top > bottom)
        return lines;
    int left = columns.visualIndexAt(area.left());
    int right = columns.visualIndexAt(area.right());
    if (rightToLeft)
        std::swap(left, right);
    if (left == -1)
        left = 0;
    if (right == -1)
        right = columns.count() - 1;
    for (int visual = top; visual <= bottom; ++visual) {
        const int row = rows.logicalIndex(visual);
        if (rows.isSectionHidden(row))
            continue;
        lines.emplace_back(area.left(), rowViewportPosition(row) + rowHeight(row) - 1, area.width(), 1);
    }
    for (int visual = left; visual <= right; ++visual) {
        const int column = columns.logicalIndex(visual);
        if (columns.isSectionHidden(column))
            continue;
        const int at = columnViewportPosition(column) + (rightToLeft ? 0 : columnWidth(column) - 1);
        for (int from = area.top(); from <= area.bottom(); from += kPieceHeight)
            lines.emplace_back(at, from, 1, std::min(kPieceHeight, area.bottom() - from + 1));
    }
    return lines;
}

void FilledGridTableView::setCellFont(const QFont& font) {
    cellFont_ = font;
    setFont(font);
}

void FilledGridTableView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    // The style's repolish ends in this event, after it has set the font it remembers.
    if (event->type() == QEvent::StyleChange && cellFont_ && font() != *cellFont_)
        setFont(*cellFont_);
}

void FilledGridTableView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (!showGrid() || !model())
        return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QColor colour = QColor::fromRgba(
        static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    QPainter painter(viewport());
    for (const QRect& dirty : event->region())
        for (const QRect& line : gridLineRects(dirty))
            painter.fillRect(line, colour);
}

} // namespace tc::gui
