#include "gui/controls/grid_table.h"

#include "gui/app/column_gap.h"
#include "gui/app/font_sizes.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_view_proxy.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QtMath>

#include <algorithm>

namespace tc::gui {

GridTable::GridTable(GuiContext& context, Grid grid, QWidget* parent) : FilledGridTableView(parent) {
    model_ = new GridModel(*context.clientModel(), grid, this);
    proxy_ = new GridViewProxy(*model_, this);
    model_->setLanguage(context.language().selected());
    model_->setTheme(context.themes().getThemeForKey());
    setModel(proxy_);
    setSortingEnabled(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // A row's actions act on the selected row: the focus never stands on another.
    setFocusOnSelectedRow();
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < model_->columnCount(); ++column)
        setColumnHidden(column, model_->columnSpec(column).hiddenByDefault);
    fitColumns();
    // No sort until the user picks a column: the session's order stands.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this, &GridTable::followSortIndicator);
    connect(proxy_, &QAbstractItemModel::rowsAboutToBeInserted, this, &GridTable::noteRowInSight);
    connect(proxy_, &QAbstractItemModel::rowsAboutToBeRemoved, this, &GridTable::noteRowInSight);
    connect(proxy_, &QAbstractItemModel::rowsInserted, this, &GridTable::keepRowInSight);
    connect(proxy_, &QAbstractItemModel::rowsRemoved, this, &GridTable::keepRowInSight);
    setAccessibleName(context.text(gridNameKey(grid)));
    connect(&context.language(), &Language::changed, this, [this, &context, grid] {
        model_->setLanguage(context.language().selected());
        setAccessibleName(context.text(gridNameKey(grid)));
        fitColumns();
    });
    connect(&context.themes(), &ThemeManager::themeChanged, this,
            [this](std::int64_t theme) { model_->setTheme(theme); });
    model_->refresh();
}

GridTable::~GridTable() = default;

int GridTable::titleWidth(int column) const {
    const QString title = model_->headerData(column, Qt::Horizontal).toString();
    return horizontalHeader()->fontMetrics().horizontalAdvance(title);
}

int GridTable::titleRoom(int column) const {
    const QHeaderView& header = *horizontalHeader();
    const QStyle& style = *header.style();
    int padding = 2 * style.pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header) +
                  style.pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, &header);
    if (model_->columnSpec(column).sortable) {
        // The style takes the arrow's room from the title's, and that room grows with the header's
        // height (the font's size): what a section of this header leaves its title beside the arrow.
        QStyleOptionHeader option;
        option.initFrom(&header);
        option.state |= QStyle::State_Horizontal;
        option.orientation = Qt::Horizontal;
        option.rect = QRect(0, 0, 1000, std::max(header.height(), header.sizeHint().height()));
        option.sortIndicator = QStyleOptionHeader::SortDown;
        padding =
            std::max(padding, option.rect.width() -
                                  style.subElementRect(QStyle::SE_HeaderLabel, &option, &header).width());
    }
    return titleWidth(column) + padding;
}

void GridTable::followSortIndicator(int section, Qt::SortOrder order) {
    if (section < 0 || section >= model_->columnCount() || model_->columnSpec(section).sortable)
        return;
    // The click sorted nothing: the arrow stays on the column the rows are sorted by, if any.
    Q_UNUSED(order);
    horizontalHeader()->setSortIndicator(proxy_->sortColumn(), proxy_->sortOrder());
}

void GridTable::noteRowInSight() {
    const int row = rowAt(0);
    rowInSight_ = row < 0 ? QPersistentModelIndex() : QPersistentModelIndex(model()->index(row, 0));
    rowInSightAt_ = row < 0 ? 0 : rowViewportPosition(row);
    rowInSightPlace_ = row < 0 ? 0 : verticalHeader()->visualIndex(row);
    const QScrollBar& scroll = *verticalScrollBar();
    scrolledTo_ = scroll.value();
    atEnd_ = scroll.maximum() > 0 && scroll.value() == scroll.maximum();
    atTop_ = scroll.value() == scroll.minimum();
}

void GridTable::keepRowInSight() {
    // A row that came or went above the ones in sight moves the view with them, so that a click aimed
    // at a row lands on it: the row that stood first stays where it stood. Scrolled a row at a time,
    // a view at its end shows its last row whole (the first in part): it stays at its end, and a row
    // that came below shows. A view at the top of its list stays at the top in the same way, so that a
    // row arriving there (the newest, newest first) shows.
    if (!rowInSight_.isValid())
        return;
    const int row = rowInSight_.row();
    rowInSight_ = QPersistentModelIndex();
    updateGeometries();
    QScrollBar& scroll = *verticalScrollBar();
    if (atTop_) {
        scroll.setValue(scroll.minimum());
    } else if (verticalScrollMode() == QAbstractItemView::ScrollPerItem) {
        const int moved = verticalHeader()->visualIndex(row) - rowInSightPlace_;
        scroll.setValue(atEnd_ && moved == 0 ? scroll.maximum() : scrolledTo_ + moved);
    } else {
        scroll.setValue(scroll.value() + rowViewportPosition(row) - rowInSightAt_);
    }
}

void GridTable::setCellFontSize(int size) {
    if (size == fontSize_)
        return;
    fontSize_ = size;
    QFont cells = font();
    cells.setPixelSize(size);
    setCellFont(cells);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 6);
    fitColumns();
}

void GridTable::fitColumns() {
    // The grid's width at the cells' font size, or the header title's where that is wider: no title
    // is cut. A column of names is as wide as its longest name in the language and the cells' font.
    // The text's margins in its cell, and the grid line on the cell's last pixel; and a pixel more,
    // which a shaped script's line as the cell lays it out can take past its advance.
    const int cellPadding = gui::cellPadding(*this) + 1;
    const QFontMetricsF cells(font());
    for (int column = 0; column < model_->columnCount(); ++column) {
        const ColumnSpec& spec = model_->columnSpec(column);
        int width = std::max(columnWidthForFontSize(spec.width, fontSize_), titleRoom(column));
        for (std::string_view name : namesOf(spec.field))
            width = std::max(width, qCeil(cells.horizontalAdvance(
                                        QString::fromStdString(shownName(model_->language(), name)))) +
                                        cellPadding);
        setColumnWidth(column, width);
    }
}

} // namespace tc::gui
