#include "gui/market/watchlist_table_controller.h"

#include "gui/app/column_gap.h"
#include "gui/app/common_alert.h"
#include "gui/app/font_sizes.h"
#include "gui/app/gui_context.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_window_controller.h"
#include "gui/controls/chart_drop_area.h"
#include "gui/controls/input_rules.h"
#include "gui/controls/price_text.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_view_proxy.h"
#include "gui/market/advanced_detail_window_controller.h"
#include "gui/market/detail_window_controller.h"
#include "gui/market/row_menu_rules.h"
#include "gui/market/ticket_opening.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/records/item_details.h"

#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace tc::gui {
namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The bid and ask cells: the price with its big figure enlarged, on the view's tick colour.
class PriceDelegate : public QStyledItemDelegate {
public:
    PriceDelegate(ClientModel& session, GridViewProxy& proxy, QObject* parent)
        : QStyledItemDelegate(parent), session_(session), proxy_(proxy) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem ground = option;
        initStyleOption(&ground, index);
        const QString text = ground.text;
        ground.text.clear();
        const QModelIndex source = proxy_.mapToSource(index);
        // A tick shows on the selected row too: the board keeps its selection for the ladders.
        const bool ticked = proxy_.tick(source.row(), source.column()) != Tick::Same;
        if (ticked)
            ground.state &= ~QStyle::State_Selected;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        if (style)
            style->drawControl(QStyle::CE_ItemViewItem, &ground, painter, widget);
        const ItemDetails* item = instrumentOf(session_.client().model(), proxy_.grid().rowId(source.row()));
        const PriceHighlight price =
            priceHighlight(text.toStdString(), item ? item->mostSignificantDigitLength : 0,
                           item ? item->leastSignificantDigitLength : 0);
        PriceTextStyle look;
        look.font = option.font;
        look.bigGrowth = 3;
        const QVariant foreground = index.data(Qt::ForegroundRole);
        const bool selected = (ground.state & QStyle::State_Selected) != 0;
        look.colour = selected                          ? option.palette.color(QPalette::HighlightedText)
                      : foreground.canConvert<QColor>() ? foreground.value<QColor>()
                                                        : option.palette.color(QPalette::Text);
        const int margin = textMargin(widget);
        drawPriceText(*painter, QRectF(option.rect).adjusted(margin, 0, -margin, 0), price, look);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        PriceTextStyle look;
        look.font = option.font;
        look.bigGrowth = 3;
        const QSizeF size = priceTextSize(priceHighlight(index.data().toString().toStdString(), 2, 1), look);
        return {qCeil(size.width()) + 2 * textMargin(option.widget), qCeil(size.height()) + 4};
    }

private:
    // The style's margin beside a cell's text, as every other cell keeps it.
    static int textMargin(const QWidget* widget) { return widget ? cellTextMargin(*widget) : 4; }

    ClientModel& session_;
    GridViewProxy& proxy_;
};

// The contract-detail column: the image of the instrument's type.
class DetailButtonDelegate : public QStyledItemDelegate {
public:
    DetailButtonDelegate(GridViewProxy& proxy, int typeColumn, QObject* parent)
        : QStyledItemDelegate(parent), proxy_(proxy), typeColumn_(typeColumn) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QModelIndex source = proxy_.mapToSource(index);
        const QString type = typeColumn_ < 0
                                 ? QString()
                                 : QString::fromStdString(proxy_.grid().cell(source.row(), typeColumn_).text);
        const int side = std::min({option.rect.width(), option.rect.height(), 18}) - 2;
        const QRect at(option.rect.center().x() - side / 2, option.rect.center().y() - side / 2, side, side);
        instrumentTypeImage(type).paint(painter, at);
    }

private:
    GridViewProxy& proxy_;
    int typeColumn_;
};

} // namespace

WatchlistTableController::WatchlistTableController(GuiContext& context, QWidget* parent)
    : FilledGridTableView(parent), context_(context) {
    setObjectName(QStringLiteral("watchlistTableView"));
    model_ = new GridModel(*context.clientModel(), Grid::Watchlist, this);
    proxy_ = new GridViewProxy(*model_, this);
    model_->setLanguage(context.language().selected());
    model_->setTheme(context.themes().getThemeForKey());
    setModel(proxy_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setFocusOnSelectedRow();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsMovable(false);

    for (const char* id : {"Bid", "Ask"})
        setItemDelegateForColumn(model_->columnOf(id),
                                 new PriceDelegate(*context.clientModel(), *proxy_, this));
    detailColumn_ = model_->columnOf("ContractDetail");
    if (detailColumn_ >= 0)
        setItemDelegateForColumn(detailColumn_,
                                 new DetailButtonDelegate(*proxy_, model_->columnOf("InstrumentType"), this));

    SetHeaderMenuItems();
    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QHeaderView::customContextMenuRequested, this,
            [this](const QPoint& at) { headerMenu_->popup(horizontalHeader()->mapToGlobal(at)); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = indexAt(at);
        if (!index.isValid())
            return;
        QMenu* menu = rowMenu(index.row());
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(viewport()->mapToGlobal(at));
    });
    connect(this, &QAbstractItemView::doubleClicked, this, &WatchlistTableController::doubleAction);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && proxy_->mapToSource(index).column() == detailColumn_)
            contractDetailButtonClicked(index.row());
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    Q_EMIT instrumentSelected(QString::fromStdString(codeAt(current.row())));
            });

    connect(&context.language(), &Language::changed, this, [this, &context] {
        model_->setLanguage(context.language().selected());
        retitleHeaderMenu();
        fitColumns();
    });
    connect(&context.themes(), &ThemeManager::themeChanged, this,
            [this](std::int64_t theme) { model_->setTheme(theme); });
    // A change of the font-size setting shows at the next refresh.
    connect(model_, &GridModel::refreshed, this, &WatchlistTableController::applyFontSize);
    applyFontSize();
    model_->refresh();
}

WatchlistTableController::~WatchlistTableController() = default;

void WatchlistTableController::SetHeaderMenuItems() {
    const auto states =
        columnStates(Grid::Watchlist, {}, storedHiddenColumns(context_.defaults(), Grid::Watchlist));
    headerMenu_ = new QMenu(this);
    headerMenu_->setObjectName(QStringLiteral("WatchlistHeaderMenu"));
    for (std::size_t column = 0; column < states.size(); ++column) {
        const ColumnState& state = states[column];
        setColumnHidden(static_cast<int>(column), state.hidden);
        if (!state.inMenu)
            continue;
        QAction* item = headerMenu_->addAction(QString());
        const QString identifier = fromView(state.spec->id);
        item->setData(identifier);
        item->setCheckable(true);
        item->setChecked(!state.hidden);
        connect(item, &QAction::toggled, this, [this, identifier](bool shown) {
            HideAndShowTableColumns(identifier.toStdString(), !shown);
        });
    }
    retitleHeaderMenu();
    fitColumns();
}

void WatchlistTableController::retitleHeaderMenu() {
    setAccessibleName(context_.text(gridNameKey(Grid::Watchlist)));
    for (QAction* item : headerMenu_->actions()) {
        const int column = model_->columnOf(item->data().toString().toStdString());
        item->setText(model_->headerData(column, Qt::Horizontal).toString());
    }
}

void WatchlistTableController::HideAndShowTableColumns(const std::string& identifier, bool hide) {
    const int column = model_->columnOf(identifier);
    if (column < 0)
        return;
    setColumnHidden(column, hide);
    if (!hide && columnWidth(column) == 0)
        setColumnWidth(column, columnWidthForFontSize(model_->columnSpec(column).width, fontSize_));
    for (QAction* item : headerMenu_->actions())
        if (item->data().toString().toStdString() == identifier)
            item->setChecked(!hide);
    storeColumnHidden(context_.defaults(), Grid::Watchlist, identifier, hide);
}

bool WatchlistTableController::isColumnHiddenById(const std::string& identifier) const {
    const int column = model_->columnOf(identifier);
    return column < 0 || isColumnHidden(column);
}

void WatchlistTableController::fitColumns() {
    // The grid's width at the cells' font size, or the header title's where that is wider: no title
    // is cut.
    const QHeaderView& header = *horizontalHeader();
    const int padding = 2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header) + 4;
    const QFontMetricsF cells(font());
    for (int column = 0; column < model_->columnCount(); ++column) {
        const QString title = model_->headerData(column, Qt::Horizontal).toString();
        int width = std::max(columnWidthForFontSize(model_->columnSpec(column).width, fontSize_),
                             header.fontMetrics().horizontalAdvance(title) + padding);
        // The update time stands whole in the cells' font.
        if (model_->columnSpec(column).field == Field::UpdateTime)
            width = std::max(width,
                             qCeil(cells.horizontalAdvance(QStringLiteral("00:00:00"))) + cellPadding(*this));
        setColumnWidth(column, width);
    }
    Q_EMIT columnsFitted();
}

int WatchlistTableController::widthThrough(std::string_view identifier) const {
    const int last = model_->columnOf(identifier);
    if (last < 0 || isColumnHidden(last))
        return 0;
    const QHeaderView& header = *horizontalHeader();
    int width = 0;
    for (int visual = 0; visual <= header.visualIndex(last); ++visual)
        if (const int column = header.logicalIndex(visual); !isColumnHidden(column))
            width += columnWidth(column);
    return width;
}

void WatchlistTableController::applyFontSize() {
    const std::int64_t size =
        PreferenceManager::getFontSizeInfoForKey(context_.defaults(), kWatchlistFontSizeKey);
    if (size == fontSize_ || size <= 0)
        return;
    fontSize_ = size;
    QFont cells = font();
    cells.setPointSize(static_cast<int>(size));
    // The header keeps the window's font, as the other grids' do.
    setCellFont(cells);
    // Room for the bid and ask's enlarged big figure.
    verticalHeader()->setDefaultSectionSize(QFontMetrics(cells).height() + 12);
    if (headerMenu_)
        fitColumns();
}

std::string WatchlistTableController::codeAt(int row) const {
    const QModelIndex index = proxy_->index(row, 0);
    if (!index.isValid())
        return {};
    const std::string& id = model_->rowId(proxy_->mapToSource(index).row());
    return id.substr(0, id.find('\x1f'));
}

QMenu* WatchlistTableController::rowMenu(int row) {
    auto* menu = new QMenu(this);
    menu->setToolTipsVisible(true);
    const std::string code = codeAt(row);
    QAction* ticket = menu->addAction(context_.text(texts::kNewOrder));
    ticket->setObjectName(QStringLiteral("newOrderAction"));
    ticket->setEnabled(!code.empty());
    connect(ticket, &QAction::triggered, this, [this, row] { openTicket(row); });
    QAction* chart = menu->addAction(context_.text(texts::kNewChart));
    chart->setObjectName(QStringLiteral("chartAction"));
    chart->setEnabled(!code.empty());
    connect(chart, &QAction::triggered, this,
            [this, code] { openChartWindow(context_, window(), QString::fromStdString(code)); });
    menu->addSeparator();
    QAction* details = menu->addAction(context_.text(texts::kInstrumentDetails));
    details->setEnabled(!code.empty());
    connect(details, &QAction::triggered, this,
            [this, code] { openInstrumentDetail(context_, window(), code); });
    return menu;
}

void WatchlistTableController::doubleAction(const QModelIndex& index) {
    if (!index.isValid())
        return;
    if (proxy_->mapToSource(index).column() == detailColumn_) {
        contractDetailButtonClicked(index.row());
        return;
    }
    openTicket(index.row());
}

void WatchlistTableController::openTicket(int row) {
    const std::string code = codeAt(row);
    if (!code.empty())
        openTicketFor(context_, window(), code);
}

void WatchlistTableController::contractDetailButtonClicked(int row) {
    const std::string code = codeAt(row);
    if (!code.empty())
        openAdvancedDetail(context_, window(), code);
}

void WatchlistTableController::startDrag(Qt::DropActions) {
    // A row dragged onto a chart slot charts its instrument: the code as plain text.
    const QModelIndex current = currentIndex();
    dragInstrumentCode(this, QString::fromStdString(codeAt(current.isValid() ? current.row() : -1)));
}

} // namespace tc::gui
