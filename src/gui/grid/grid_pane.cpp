#include "gui/grid/grid_pane.h"

#include "gui/app/common_alert.h"
#include "gui/app/font_sizes.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/controls/flow_layout.h"
#include "gui/controls/grid_table.h"
#include "gui/grid/executed_search.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_sources.h"
#include "gui/grid/grid_totals.h"
#include "gui/grid/grid_view_proxy.h"
#include "gui/market/detail_window_controller.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "gui/trading/position_dialogs.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/property_list.h"

#include <QAction>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <charconv>

namespace tc::gui {
namespace {

// The open positions' totals bar: caption key and the object names of its two labels.
struct TotalsField {
    std::string_view key;
    const char* caption;
    const char* value;
};
constexpr std::array<TotalsField, kOpenTotalsEntries> kTotalsFields = {{
    {texts::kTotalsOfAccount, "AccountTextField", "AccountValueTextField"},
    {texts::kQuantity, "QuantityTextField", "QuantityValueTextField"},
    {texts::kPL, "ProfitLossTextField", "ProfitLossValueTextField"},
    {texts::kCommission, "CommisonTextField", "CommisonValueTextField"},
    {texts::kMargin, "MarginTextField", "MarginValueTextField"},
    {texts::kStorage, "StorageTextField", "StorageValueTextField"},
}};

QString keyText(std::string_view key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

const char* actionName(RowAction action) {
    switch (action) {
    case RowAction::ModifyBrackets:
        return "modifyBracketOrder";
    case RowAction::ClosePosition:
        return "closePosition";
    case RowAction::OffsetPosition:
        return "offsetPosition";
    case RowAction::DeliveryReceipt:
        return "deliveryReceipt";
    case RowAction::EditOrder:
        return "editOrder";
    case RowAction::CancelOrder:
        return "cancelOrder";
    case RowAction::OpenTicket:
        return "openTicket";
    }
    return "";
}

// The session's record behind a row of an order grid that has a row menu.
std::shared_ptr<const Order> orderOf(const SessionQueries& queries, Grid grid, const std::string& id) {
    const GridSource& source = gridSource(grid);
    if (!source.menu || !source.orders)
        return nullptr;
    const OrderView orders = (queries.*source.orders)();
    const auto found = std::find_if(orders.begin(), orders.end(),
                                    [&](const auto& order) { return order && source.orderId(*order) == id; });
    return found == orders.end() ? nullptr : *found;
}

// Date columns as wide as kNarrowDateColumnWidth or narrower show only the time, following the
// column's width in this view as the user drags it.
class DateColumnDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QString textFor(const QModelIndex& index, int width) {
        return QString::fromStdString(
            dateTimeForWidth(index.data().toString().toStdString(), static_cast<double>(width)));
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = textFor(index, option->rect.width());
    }
};

bool isDateField(Field field) {
    return field == Field::TransactionTime || field == Field::ItemTime;
}

} // namespace

ColumnSwitches loadColumnSwitches() {
    ColumnSwitches switches;
    const auto path = platform::Bundle::pathForResource("LoginPropertyList", "plist");
    if (!path)
        return switches;
    const platform::PlistResult list = platform::PropertyList::readFile(*path);
    if (!list) {
        platform::Log::warning("the login property list cannot be read: {}", list.error());
        return switches;
    }
    if (const platform::PlistValue* general = list.value().find("General")) {
        if (const platform::PlistValue* value = general->find("Show account currency"))
            switches.showAccountCurrency = value->asBool();
        if (const platform::PlistValue* value = general->find("BaseCurrencyAvailable"))
            switches.baseCurrencyAvailable = value->asBool();
    }
    return switches;
}

GridPane::GridPane(GuiContext& context, Grid grid, QWidget* parent)
    : GridPane(context, grid, loadColumnSwitches(), parent) {}

GridPane::GridPane(GuiContext& context, Grid grid, const ColumnSwitches& switches, QWidget* parent)
    : QWidget(parent), context_(context), grid_(grid) {
    setObjectName(QStringLiteral("gridPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    if (grid_ == Grid::ExecutedPositions)
        addSearchBar();
    table_ = new GridTable(context_, grid_, this);
    layout->addWidget(table_, 1);

    // The columns as the user left them; those the login settings take away stay hidden, unoffered.
    headerMenu_ = new QMenu(this);
    headerMenu_->setObjectName(QStringLiteral("headerMenu"));
    const auto states = columnStates(grid_, switches, storedHiddenColumns(context_.defaults(), grid_));
    for (const ColumnState& state : states) {
        const int column = gridModel().columnOf(state.spec->id);
        table_->setColumnHidden(column, state.hidden);
        if (!state.inMenu)
            continue;
        auto* action = headerMenu_->addAction(QString());
        action->setCheckable(true);
        action->setChecked(!state.hidden);
        action->setData(keyText(state.spec->id));
        action->setObjectName(QStringLiteral("column_") + keyText(state.spec->id));
        connect(action, &QAction::toggled, this,
                [this, id = std::string(state.spec->id)](bool shown) { setColumnShown(id, shown); });
    }
    auto* dates = new DateColumnDelegate(this);
    for (int column = 0; column < gridModel().columnCount(); ++column)
        if (isDateField(gridModel().columnSpec(column).field))
            table_->setItemDelegateForColumn(column, dates);

    QHeaderView* header = table_->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint& at) { headerMenu_->popup(header->mapToGlobal(at)); });

    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table_, &QWidget::customContextMenuRequested, this, &GridPane::showRowMenu);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &GridPane::selectionChanged);
    connect(&table_->proxy(), &QAbstractItemModel::rowsRemoved, this, &GridPane::selectionChanged);
    connect(&table_->proxy(), &QAbstractItemModel::modelReset, this, &GridPane::selectionChanged);
    // Clicks on the header reach neither signal.
    connect(table_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        const std::string id = idAt(index);
        if (!id.empty())
            Q_EMIT rowDoubleClicked(grid_, QString::fromStdString(id));
    });
    if (grid_ == Grid::Accounts) {
        // The highlighted account is the current one, whatever moved the highlight.
        connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            const std::string id = selectedId();
            std::int32_t account = 0;
            if (!id.empty() && std::from_chars(id.data(), id.data() + id.size(), account).ec == std::errc())
                Q_EMIT accountChosen(account);
        });
        addRequestButtons();
    }
    if (grid_ == Grid::OpenPositions) {
        // A click on a position's current price asks to close it.
        connect(table_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
            const QModelIndex source = table_->proxy().mapToSource(index);
            const std::string id = idAt(index);
            if (!id.empty() && gridModel().columnSpec(source.column()).field == Field::ClosingPrice)
                runAction(RowAction::ClosePosition, id);
        });
        addTotalsBar();
    }
    if (gridSource(grid_).totals == GridTotals::Settled)
        addStatusLine();
    if (gridSource(grid_).totals != GridTotals::None)
        connect(&gridModel(), &GridModel::totalsChanged, this, &GridPane::updateTotals);

    // The font size setting shows at the next refresh, without a notification.
    applyFontSize();
    connect(context_.clientModel(), &ClientModel::tick, this, &GridPane::applyFontSize);
    connect(context_.clientModel(), &ClientModel::loginStateChanged, this, &GridPane::followLoginState);
    connect(context_.clientModel(), &ClientModel::clientReplaced, this, &GridPane::followLoginState);
    followLoginState();
    bindLanguage(this, context_.language(), [this] {
        updateHeaderMenu();
        updateTotals();
    });
}

GridPane::~GridPane() = default;

GridModel& GridPane::gridModel() const {
    return table_->gridModel();
}

void GridPane::updateHeaderMenu() {
    for (QAction* action : headerMenu_->actions()) {
        const int column = gridModel().columnOf(action->data().toString().toStdString());
        action->setText(gridModel().headerData(column, Qt::Horizontal).toString());
    }
}

bool GridPane::isColumnShown(std::string_view identifier) const {
    const int column = gridModel().columnOf(identifier);
    return column >= 0 && !table_->isColumnHidden(column);
}

void GridPane::setColumnShown(std::string_view identifier, bool shown) {
    const int column = gridModel().columnOf(identifier);
    if (column < 0)
        return;
    const QString key = keyText(identifier);
    const auto actions = headerMenu_->actions();
    const auto action = std::find_if(actions.begin(), actions.end(),
                                     [&](const QAction* a) { return a->data().toString() == key; });
    if (action == actions.end())
        return; // a column the login settings took away stays hidden
    if ((*action)->isChecked() != shown) {
        (*action)->setChecked(shown); // toggled comes back here
        return;
    }
    if (table_->isColumnHidden(column) == !shown)
        return;
    table_->setColumnHidden(column, !shown);
    storeColumnHidden(context_.defaults(), grid_, identifier, !shown);
}

void GridPane::addTotalsBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 6, 2);
    // Each caption with its figure; on a narrow window the pairs wrap to rows rather than widen it.
    auto* flow = new FlowLayout(row->spacing() + 12, row->spacing());
    row->addLayout(flow, 1);
    for (const TotalsField& field : kTotalsFields) {
        auto* pair = new QWidget(bar);
        auto* both = new QHBoxLayout(pair);
        both->setContentsMargins(0, 0, 0, 0);
        both->setSpacing(row->spacing());
        auto* caption = new QLabel(pair);
        caption->setObjectName(QString::fromLatin1(field.caption));
        caption->setProperty("langKey", keyText(field.key));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* value = new QLabel(pair);
        value->setObjectName(QString::fromLatin1(field.value));
        value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        both->addWidget(caption);
        both->addWidget(value);
        flow->addWidget(pair);
        totalValues_.push_back(value);
    }
    keepWrappedRowsWhole(bar);
    auto* closeAll = closeAllButton_ = new QPushButton(bar);
    closeAll->setObjectName(QStringLiteral("closeAllButton"));
    closeAll->setProperty("langKey", QString::fromLatin1(texts::kCloseAll));
    connect(closeAll, &QPushButton::clicked, this, [this] { openCloseAll(context_, window()); });
    row->addWidget(closeAll);
    layout()->addWidget(bar);
}

void GridPane::addStatusLine() {
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLabel"));
    statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusLine_->setContentsMargins(6, 2, 6, 2);
    layout()->addWidget(statusLine_);
}

void GridPane::addSearchBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("searchBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 6, 2);
    auto* caption = new QLabel(bar);
    caption->setObjectName(QStringLiteral("dateTextField"));
    caption->setProperty("langKey", QString::fromLatin1(texts::kDate));
    searchDate_ = new QDateEdit(bar);
    searchDate_->setObjectName(QStringLiteral("searchDatePicker"));
    offerToday();
    // The server's clock heard first after the pane was made, or its day turning, moves the day
    // offered on, unless the trader has chosen one.
    connect(context_.clientModel(), &ClientModel::networkSpeedChanged, this, [this] {
        if (!searching_ && searchDate_->date() == offeredDay_)
            offerToday();
    });
    searchDate_->setCalendarPopup(true);
    searchDate_->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    caption->setBuddy(searchDate_);
    auto* searchButton = new QPushButton(bar);
    searchButton->setObjectName(QStringLiteral("searchButton"));
    searchButton->setProperty("langKey", QString::fromLatin1(texts::kSearch));
    auto* resetButton = new QPushButton(bar);
    resetButton->setObjectName(QStringLiteral("resetButton"));
    resetButton->setProperty("langKey", QString::fromLatin1(texts::kReset));
    connect(searchButton, &QPushButton::clicked, this, [this] { search(searchDate_->date()); });
    connect(resetButton, &QPushButton::clicked, this, &GridPane::endSearch);
    row->addWidget(caption);
    row->addWidget(searchDate_);
    row->addWidget(searchButton);
    row->addWidget(resetButton);
    row->addStretch(1);
    layout()->addWidget(bar);
}

void GridPane::addRequestButtons() {
    // Decided once, from the accounts known when the grid is made.
    const RequestButtons shown =
        requestButtons(context_.clientModel()->client().queries().getAccountCollection());
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("requestBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 2, 6, 2);
    row->addStretch(1);
    const std::pair<const char*, const char*> buttons[] = {{"newDepositButton", texts::kNewDeposit},
                                                           {"newWithdrawalButton", texts::kNewWithdrawal}};
    for (const auto& [name, key] : buttons) {
        auto* button = new QPushButton(bar);
        button->setObjectName(QString::fromLatin1(name));
        button->setProperty("langKey", QString::fromLatin1(key));
        const bool deposit = std::string_view(name) == "newDepositButton";
        connect(button, &QPushButton::clicked, this, [this, deposit] {
            if (deposit)
                Q_EMIT newDepositRequested();
            else
                Q_EMIT newWithdrawalRequested();
        });
        button->setVisible(std::string_view(name) == "newDepositButton" ? shown.deposit : shown.withdrawal);
        row->addWidget(button);
    }
    bar->setVisible(shown.deposit || shown.withdrawal);
    layout()->addWidget(bar);
}

void GridPane::updateTotals() {
    if (gridSource(grid_).totals == GridTotals::OpenPositions) {
        const auto entries = openPositionTotalsBar(gridModel().openPositionTotals());
        const std::int64_t language = context_.language().selected();
        for (std::size_t i = 0; i < entries.size() && i < totalValues_.size(); ++i)
            totalValues_[i]->setText(pairValue(language, QString::fromStdString(entries[i].value)));
    } else if (statusLine_) {
        const std::int64_t language = context_.language().selected();
        statusLine_->setText(figuresKeptWhole(language, QString::fromStdString(tc::gui::settledStatusLine(
                                                            gridModel().settledTotals(), language))));
    }
}

void GridPane::followLoginState() {
    const bool live = context_.clientModel()->isSignedIn();
    for (QLabel* value : totalValues_)
        value->setEnabled(live);
    if (closeAllButton_)
        closeAllButton_->setEnabled(live);
}

QString GridPane::totalValue(std::string_view key) const {
    for (std::size_t i = 0; i < kTotalsFields.size() && i < totalValues_.size(); ++i)
        if (kTotalsFields[i].key == key)
            return valueOfPair(totalValues_[i]->text());
    return {};
}

QString GridPane::statusLine() const {
    return statusLine_ ? statusLine_->text() : QString();
}

void GridPane::applyFontSize() {
    // The accounts grid keeps the system's 12 points.
    std::int64_t size = kDefaultFontSize;
    if (grid_ != Grid::Accounts)
        size = PreferenceManager::getFontSizeInfoForKey(context_.defaults(), kPositionsFontSizeKey);
    if (size <= 0)
        size = kDefaultFontSize;
    // The setting's points are the desktop's logical pixels, as the sizes offered (10 to 20) were
    // chosen for: 12 is about the system font.
    table_->setCellFontSize(static_cast<int>(size));
}

std::string GridPane::idAt(const QModelIndex& index) const {
    if (!index.isValid())
        return {};
    return index.data(GridModel::IdRole).toString().toStdString();
}

bool GridPane::sheetOpen() const {
    // A window-modal sheet on the main window blocks the row menus.
    const QWidget* top = window();
    for (const QWidget* child : top->findChildren<QWidget*>())
        if (child->isWindow() && child->isVisible() && child->windowModality() != Qt::NonModal)
            return true;
    return false;
}

std::vector<MenuItem> GridPane::menuItems(const std::string& id) const {
    const interfaces::Client& client = context_.clientModel()->client();
    const auto order = orderOf(client.queries(), grid_, id);
    if (!order)
        return {};
    const RowRecords records = recordsOf(client.model(), *order);
    std::vector<MenuItem> items = gridSource(grid_).menu({*order, records, client.queries(), sheetOpen()});
    // A session that is not signed in sends no order: the order actions show, but cannot be chosen.
    if (!context_.clientModel()->isSignedIn())
        for (MenuItem& item : items)
            item.enabled = item.enabled && !isOrderAction(item.action);
    return items;
}

bool GridPane::offers(RowAction action, const std::string& id) const {
    const auto items = menuItems(id);
    return std::any_of(items.begin(), items.end(),
                       [&](const MenuItem& item) { return item.action == action && item.enabled; });
}

QMenu* GridPane::rowMenu(const std::string& id) {
    delete rowMenu_;
    rowMenu_ = nullptr;
    const std::vector<MenuItem> items = menuItems(id);
    if (std::none_of(items.begin(), items.end(), [](const MenuItem& item) { return item.visible; }))
        return nullptr;
    rowMenu_ = new QMenu(this);
    rowMenu_->setObjectName(QStringLiteral("rowMenu"));
    rowMenu_->setToolTipsVisible(true);
    for (const MenuItem& item : items) {
        if (!item.visible)
            continue;
        QAction* action = rowMenu_->addAction(context_.text(item.titleKey));
        action->setObjectName(QString::fromLatin1(actionName(item.action)));
        action->setEnabled(item.enabled);
        if (!item.enabled)
            action->setToolTip(context_.text(kNotAvailableKey));
        connect(action, &QAction::triggered, this, [this, what = item.action, id] { runAction(what, id); });
    }
    return rowMenu_;
}

void GridPane::runAction(RowAction action, const std::string& id) {
    if (!isActionAvailable(action) || (isOrderAction(action) && !context_.clientModel()->isSignedIn()))
        return;
    switch (action) {
    case RowAction::ClosePosition: {
        if (grid_ != Grid::OpenPositions)
            return;
        // The group's settings must allow both sides, and pending orders that already close every
        // lot refuse the close before its dialog.
        const interfaces::Client& client = context_.clientModel()->client();
        const auto position = orderOf(client.queries(), grid_, id);
        if (!position)
            return;
        const CloseCheck check = closeCheck(*position, recordsOf(client.model(), *position),
                                            client.queries().getPendingOrderCollection());
        if (check == CloseCheck::AlreadyClosing)
            CommonAlert::open(window(), {context_.text(kValidationTitleKey),
                                         context_.text(kAlreadyClosingKey),
                                         AlertSpec::Warning,
                                         {},
                                         QStringLiteral("positionAlreadyClosing")});
        else if (check == CloseCheck::Allowed)
            openCloseDialog(context_, window(), CloseJob::Close, id);
        return;
    }
    case RowAction::CancelOrder:
        if (grid_ == Grid::PendingOrders)
            openCloseDialog(context_, window(), CloseJob::Cancel, id);
        return;
    case RowAction::ModifyBrackets:
        if (grid_ == Grid::OpenPositions)
            openModifyDialog(context_, window(), ModifyMode::PositionBrackets, id);
        return;
    case RowAction::EditOrder:
        if (grid_ == Grid::PendingOrders)
            openModifyDialog(context_, window(), ModifyMode::PendingOrder, id);
        return;
    case RowAction::OffsetPosition:
        if (grid_ == Grid::OpenPositions)
            openOffsetDialog(context_, window(), id);
        return;
    case RowAction::DeliveryReceipt:
        openDeliveryReceipt(context_, window(), id,
                            grid_ == Grid::ExecutedPositions ? ReceiptOf::ExecutedPosition
                                                             : ReceiptOf::OpenPosition);
        return;
    case RowAction::OpenTicket:
        return;
    }
}

std::string GridPane::selectedId() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.size() == 1 ? idAt(rows.front()) : std::string();
}

void GridPane::selectRecord(const std::string& id) {
    if (selectedId() == id)
        return;
    const int row = gridModel().rowOf(id);
    if (row < 0) {
        table_->clearSelection();
        return;
    }
    const QModelIndex index = table_->proxy().mapFromSource(gridModel().index(row, 0));
    table_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
}

void GridPane::showRowMenu(const QPoint& at) {
    const QModelIndex index = table_->indexAt(at);
    const std::string id = idAt(index);
    if (id.empty())
        return; // below the last row
    // A grid without a row menu (the accounts) keeps its highlight.
    if (QMenu* menu = rowMenu(id)) {
        table_->clearSelection();
        menu->popup(table_->viewport()->mapToGlobal(at));
    }
}

bool GridPane::search(const QDate& day) {
    if (grid_ != Grid::ExecutedPositions || !day.isValid())
        return false;
    const auto criteria = executedDaySearch(day.year(), day.month(), day.day());
    if (!criteria)
        return false;
    searchDate_->setDate(day);
    // The table shows the search's rows from now on (none until the reply, or the last search's).
    if (context_.clientModel()->client().searchExecutedPositions(*criteria) == 0)
        return false;
    searching_ = true;
    gridModel().refresh();
    return true;
}

void GridPane::endSearch() {
    if (grid_ != Grid::ExecutedPositions)
        return;
    context_.clientModel()->client().endExecutedPositionSearch();
    searching_ = false;
    offerToday();
    gridModel().refresh();
}

QString GridPane::shownText(const std::string& id, std::string_view identifier) const {
    const int row = gridModel().rowOf(id);
    const int column = gridModel().columnOf(identifier);
    if (row < 0 || column < 0)
        return {};
    const QModelIndex index = table_->proxy().mapFromSource(gridModel().index(row, column));
    if (dynamic_cast<DateColumnDelegate*>(table_->itemDelegateForIndex(index)))
        return DateColumnDelegate::textFor(index, table_->columnWidth(index.column()));
    return index.data().toString();
}

void GridPane::offerToday() {
    offeredDay_ = context_.clientModel()->serverNow().date();
    searchDate_->setDate(offeredDay_);
}

QDate GridPane::searchDay() const {
    return searchDate_ ? searchDate_->date() : QDate();
}

} // namespace tc::gui
