#include "gui/main/main_window_controller.h"

#include "gui/main/network_status_view.h"

#include "gui/app/access_key_rules.h"
#include "gui/app/common_alert.h"
#include "gui/app/connect_each.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/app/window_front.h"
#include "gui/charts/chart_slot_config.h"
#include "gui/charts/chart_view_controller.h"
#include "gui/charts/chart_window_controller.h"
#include "gui/charts/pie_chart_view_controller.h"
#include "gui/chat/chat_window_controller.h"
#include "gui/chat/messages_window_controller.h"
#include "gui/controls/chart_drop_area.h"
#include "gui/controls/flow_layout.h"
#include "gui/controls/grid_table.h"
#include "gui/controls/tab_chain.h"
#include "gui/funding/account_access_setting_window_controller.h"
#include "gui/funding/change_password_window_controller.h"
#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/deposits_withdrawals_window_controller.h"
#include "gui/funding/pay_gate_requests.h"
#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/login/desktop_idle_source.h"
#include "gui/main/account_summary_view.h"
#include "gui/main/window_fit_rules.h"
#include "gui/market/add_remove_window_controller.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/market/watchlist_table_controller.h"
#include "gui/models/client_model.h"
#include "gui/news/news_table_controller.h"
#include "gui/resources/resources_view_controller.h"
#include "gui/settings/settings_window_controller.h"
#include "gui/statements/account_statement_window_controller.h"
#include "gui/statements/statement_table_models.h"
#include "gui/texts.h"
#include "gui/trading/position_dialogs.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "model/account_figures.h"
#include "model/data_service_collections.h"
#include "model/records/account_details.h"
#include "model/records/user_info.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "model/text/formatter.h"
#include "platform/bundle.h"
#include "platform/user_defaults.h"
#include "ui_main_window_controller.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <array>
#include <optional>
#include <utility>

namespace tc::gui {
namespace {

// The first row as the current and selected one. QTableView::selectRow looks for its column at the
// view's right edge in a right-to-left layout, and finds none before the view has its width.
void selectFirstRow(QTableView* view) {
    view->selectionModel()->setCurrentIndex(view->model()->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// The trade menu's commands on the record selected in the grid in view: what each does to an open
// position and, where it has a counterpart, to a pending order, with the item's title for each.
struct RecordCommand {
    QAction* action;
    RowAction onPosition;
    std::optional<RowAction> onOrder;
    const char* positionTitle;
    const char* orderTitle;
};
std::array<RecordCommand, 3> recordCommands(const Ui::MainWindowController& ui) {
    return {{{ui.actionClosePosition, RowAction::ClosePosition, RowAction::CancelOrder,
              texts::kMenuClosePosition, texts::kMenuCancelOrder},
             {ui.actionModifyPosition, RowAction::ModifyBrackets, RowAction::EditOrder,
              texts::kMenuModifyPosition, texts::kMenuModifyOrder},
             {ui.actionOffsetPosition, RowAction::OffsetPosition, std::nullopt, texts::kMenuOffsetPosition,
              texts::kMenuOffsetPosition}}};
}

} // namespace

MainWindowController::MainWindowController(GuiContext& context, IdleSource* idle, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindowController>()), context_(context) {
    ui_->setupUi(this);
    addStatusViews();
    layOutPanes();
    addGridTables();
    addQuotesBoard();
    addJournal();
    addCharts();
    addNews();
    // Tab reads the window as it stands: the quotes, the charts, the pie and the tabs, the status line.
    chainTabOrder(
        {ui_->watchlistTabView, ui_->chartArea, ui_->pieChartPane, ui_->mainTabView, ui_->statusArea});

    watchIdleTime(idle);
    followSession();
    // The palette is the program's; the grids take their cell colours from the theme themselves.
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { update(); });

    connectMenus();

    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
    updateAccountActions();
    boundGeneration_ = context_.clientModel()->generation();
    getAccountDetails();
    changeNetworkStatusImage(context_.clientModel()->client().networkSpeed());
    loadAccountDetails();
    followLoginState();
}

void MainWindowController::addStatusViews() {
    wrapStatusFigures();
    summary_ = new AccountSummaryView({ui_->AccountIdValueTextField, ui_->equityValueTextField,
                                       ui_->BalanceValueTextField, ui_->ProfitLossValueTextField,
                                       ui_->UsedMarginValueTextField, ui_->AvailableMarginValueTextField},
                                      this);
    networkStatus_ = new NetworkStatusView(
        {ui_->NetworkStatusIndicatorImage, ui_->ConnectionStatusImage, ui_->ConnectionStatusTextField,
         ui_->ServerTimeTextField},
        [&context = context_](std::string_view key) { return context.text(key); }, this);
}

void MainWindowController::wrapStatusFigures() {
    // Each caption with its figure, the pairs wrapping to rows under one another where one row would
    // be wider than the screen; the network's part keeps the strip's end.
    QHBoxLayout* strip = ui_->statusLayout;
    for (int i = strip->count() - 1; i >= 0; --i)
        if (strip->itemAt(i)->spacerItem())
            delete strip->takeAt(i);
    auto* flow = new FlowLayout(strip->spacing() + 12, strip->spacing());
    strip->insertLayout(1, flow, 1);
    const std::array<std::pair<QLabel*, QLabel*>, kSummaryFigures> pairs{{
        {ui_->AccountIdTextField, ui_->AccountIdValueTextField},
        {ui_->equityTextField, ui_->equityValueTextField},
        {ui_->BalanceTextField, ui_->BalanceValueTextField},
        {ui_->ProfitLossTextField, ui_->ProfitLossValueTextField},
        {ui_->UsedMarginTextField, ui_->UsedMarginValueTextField},
        {ui_->AvailableMarginTextField, ui_->AvailableMarginValueTextField},
    }};
    for (const auto& [caption, value] : pairs) {
        auto* pair = new QWidget(ui_->statusArea);
        auto* row = new QHBoxLayout(pair);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(strip->spacing());
        strip->removeWidget(caption);
        strip->removeWidget(value);
        row->addWidget(caption);
        row->addWidget(value);
        flow->addWidget(pair);
    }
}

void MainWindowController::layOutPanes() {
    // The window fills the screen it is on, and no more: its smallest size is within the smallest
    // screen it may open on (tab titles shorten, status figures wrap).
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    for (QMenu* menu : ui_->menuBar->findChildren<QMenu*>())
        menu->setToolTipsVisible(true);
    ui_->verticalSplitView->setStretchFactor(0, 3);
    ui_->verticalSplitView->setStretchFactor(1, 2);
    ui_->marketSplitView->setStretchFactor(1, 1);
    ui_->openPositionSplitView->setStretchFactor(1, 1);
    ui_->marketSplitView->setSizes({560, width() - 560});
    // Every tab stays in sight, never behind scroll arrows. The main tabs' minimum is not their full
    // titles: where those have no room, short titles stand in (fitPieAndTabTitles), and the window
    // fits a small screen.
    ui_->watchlistTabView->setUsesScrollButtons(false);
    ui_->mainTabView->setUsesScrollButtons(false);
    ui_->mainTabView->setElideMode(Qt::ElideRight);
    titleProbe_ = new QTabBar(this);
    titleProbe_->hide();
    for (int i = 0; i < ui_->mainTabView->count(); ++i)
        titleProbe_->addTab(QString());
    // A screen shorter than the panes' smallest height scrolls them, the toolbar and the status
    // strip staying in sight; their width is never scrolled.
    auto* panes = new QScrollArea(ui_->centralWidget);
    panes->setObjectName(QStringLiteral("panesScrollArea"));
    panes->setFrameShape(QFrame::NoFrame);
    panes->setFocusPolicy(Qt::NoFocus);
    panes->setWidgetResizable(true);
    panes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    delete ui_->centralLayout->replaceWidget(ui_->verticalSplitView, panes);
    panes->setWidget(ui_->verticalSplitView);
    panesScroll_ = panes;
    // The pie counts for nothing in the window's minimum: it folds away where it has no room.
    ui_->pieChartPane->setMinimumWidth(0);
    ui_->pieChartPane->setSizePolicy(QSizePolicy::Ignored, ui_->pieChartPane->sizePolicy().verticalPolicy());
    ui_->openPositionSplitView->installEventFilter(this);
    // Shown, the pie keeps its one width, as before it could fold: its divider does not move it.
    connect(ui_->openPositionSplitView, &QSplitter::splitterMoved, this, [this] {
        QSplitter& split = *ui_->openPositionSplitView;
        const int pie = ui_->pieChartPane->maximumWidth();
        if (!ui_->pieChartPane->isHidden() && split.sizes().value(0) != pie)
            split.setSizes({pie, split.width() - pie - split.handleWidth()});
    });
    // The strip's rows of figures, as many as its width wraps them to, are its least height: the
    // panes above give way (they scroll), never the figures.
    keepWrappedRowsWhole(ui_->statusArea);
    groupToolbar();
    // The chart slots keep their places until charts fill them.
    for (QWidget* slot : {static_cast<QWidget*>(ui_->ChartView1), static_cast<QWidget*>(ui_->ChartView2),
                          static_cast<QWidget*>(ui_->ChartView3), static_cast<QWidget*>(ui_->ChartView4)}) {
        slot->setObjectName(slot->accessibleName()); // "Chart1".."Chart4", as drops name them
        slot->setBackgroundRole(QPalette::Base);
        slot->setAutoFillBackground(true);
    }
}

void MainWindowController::addNews() {
    news_ = new NewsTableController(context_, ui_->newsTab);
    ui_->newsTabLayout->addWidget(news_);
    pageTables_.emplace(ui_->newsTab, news_->newsTableView());
}

void MainWindowController::watchIdleTime(IdleSource* idle) {
    if (!idle) {
        ownIdle_ = std::make_unique<DesktopIdleSource>();
        idle = ownIdle_.get();
    }
    idleChecker_ =
        std::make_unique<IdleTimeChecker>(context_.defaults(), *idle, [this] { Q_EMIT quitRequested(); });
}

void MainWindowController::followSession() {
    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::tick, this, &MainWindowController::RefreshValues);
    // The core refreshes the figures on its own second: the summary follows that refresh, or it
    // would lag the positions grid by up to a second (and show the sign-in's zeros until then).
    connect(&session, &ClientModel::tablesChanged, this, [this](interfaces::TableSet tables) {
        if (tables.contains(interfaces::Table::Accounts))
            loadAccountDetails();
    });
    connect(&session, &ClientModel::networkSpeedChanged, this,
            &MainWindowController::changeNetworkStatusImage);
    // The places closed deposit windows left waiting for gateway registrations go with the line too.
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        if (payGateRequests_)
            payGateRequests_->lineGone();
    });
    connect(&session, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::Lost)
            changeNetworkStatusImage(context_.clientModel()->client().networkSpeed());
        followLoginState();
        if (state == interfaces::LoginState::SignedIn) {
            updateAccountActions();
            // A new client holds nothing until its login completes: the window takes it up now, as
            // it did the first client's when it was made.
            if (boundGeneration_ != context_.clientModel()->generation())
                bindSession();
        }
    });
    connect(&session, &ClientModel::clientReplaced, this, [this] {
        if (account_) {
            keptAccount_ = account_;
            keptUser_ = context_.clientModel()->signedInUser();
        }
        account_.reset();
        loadAccountDetails();
        followLoginState();
    });
}

void MainWindowController::connectMenus() {
    connect(ui_->actionCloseAll, &QAction::triggered, this, &MainWindowController::closeAllButtonClicked);
    // The trade menu's record commands act on the row selected in the grid in view, never on a
    // selection left in a tab out of sight.
    for (const RecordCommand& command : recordCommands(*ui_))
        connect(command.action, &QAction::triggered, this,
                [this, command] { runRecordCommand(command.action); });
    for (const Grid grid : {Grid::OpenPositions, Grid::PendingOrders})
        if (GridPane* pane = gridPane(grid))
            connect(pane, &GridPane::selectionChanged, this, &MainWindowController::updatePositionActions);
    connect(ui_->mainTabView, &QTabWidget::currentChanged, this,
            &MainWindowController::updatePositionActions);
    connect(ui_->tradeMenu, &QMenu::aboutToShow, this, &MainWindowController::updatePositionActions);
    connect(context_.clientModel(), &ClientModel::tablesChanged, this,
            &MainWindowController::updatePositionActions);
    connectEach(
        &QAction::triggered, this,
        std::pair{ui_->actionSettings, &MainWindowController::SettingsButtonClicked},
        std::pair{ui_->actionChangePassword, &MainWindowController::changePasswordClicked},
        std::pair{ui_->actionAccessRights, &MainWindowController::accountAccessClicked},
        std::pair{ui_->actionTradeTicket, &MainWindowController::TradeTicketButtonClicked},
        std::pair{ui_->actionAddRemoveSymbols, &MainWindowController::AddRemoveSymbolsToWatchlistClicked},
        std::pair{ui_->actionAccountStatement, &MainWindowController::AccountStatementButtonClicked},
        std::pair{ui_->actionNewDeposit, [this] { newDepositRequest(); }},
        std::pair{ui_->actionNewWithdrawal, &MainWindowController::newWithdrawalRequest},
        std::pair{ui_->actionDepositsWithdrawals, &MainWindowController::DepositsWithdrawalsButtonClicked},
        std::pair{ui_->actionChart, &MainWindowController::ChartButtonClicked},
        std::pair{ui_->actionChat, &MainWindowController::ChatButtonClicked},
        std::pair{ui_->actionMessages, &MainWindowController::MessagesButtonClicked},
        std::pair{ui_->actionResources, &MainWindowController::resourcesButtonClicked},
        std::pair{ui_->actionAbout, &MainWindowController::aboutApplication},
        std::pair{ui_->actionLockConsole, &MainWindowController::lockConsole},
        std::pair{ui_->actionLogout, &MainWindowController::logout});
    // The View menu holds one item per main tab, each carrying its tab's index.
    for (QAction* item : ui_->viewMenu->actions())
        if (!item->isSeparator())
            connect(item, &QAction::triggered, this, [this, item] { mainToolbarButtonClicked(item); });
    // The Messages menu's News item is an action of its own: one action in two menus is told to a
    // screen reader as the item of the menu that asked first, hidden while the other one shows.
    connect(ui_->actionMessagesNews, &QAction::triggered, ui_->actionNews, &QAction::trigger);
    connect(ui_->appMenu, &QMenu::aboutToShow, this, &MainWindowController::updateLockAction);
    connect(ui_->toggleLeftViewButton, &QToolButton::toggled, this,
            [this](bool shown) { toggleLeftViewSelectedIndex(shown ? 1 : 0); });

    // F10 opens the first menu, as on the desktops; Alt with a menu's access key opens that menu.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, &MainWindowController::openFirstMenu);
}

void MainWindowController::followLoginState() {
    const bool live = context_.clientModel()->isSignedIn();
    // No order starts from a session that is not signed in (the position commands follow the
    // grid's row menu, which offers none then).
    for (QAction* action : {ui_->actionTradeTicket, ui_->actionCloseAll})
        action->setEnabled(live);
    updatePositionActions();
    // The summary keeps the session's last figures, greyed: they no longer move.
    summary_->setLive(live);
}

void MainWindowController::bindSession() {
    const ClientModel& session = *context_.clientModel();
    boundGeneration_ = session.generation();
    account_.reset();
    const std::optional<std::int32_t> kept = std::exchange(keptAccount_, std::nullopt);
    if (kept && keptUser_ && keptUser_ == session.signedInUser())
        for (const auto& account : session.client().queries().getAccountCollection())
            if (account && account->AccountId == *kept) {
                account_ = kept;
                context_.clientModel()->client().setCurrentAccount(*kept);
                break;
            }
    getAccountDetails();
    loadAccountDetails();
    if (!watchlist_->selectionModel()->hasSelection() && watchlist_->model()->rowCount() > 0)
        selectFirstRow(watchlist_);
    startCharts();
}

MainWindowController::~MainWindowController() {
    // The board's views go with the widget tree after this object has stopped being a main window:
    // their last geometry changes must not reach it.
    if (watchlist_) {
        disconnect(watchlist_, nullptr, this, nullptr);
        disconnect(watchlist_->verticalScrollBar(), nullptr, this, nullptr);
    }
}

void MainWindowController::addGridTables() {
    const std::pair<QLayout*, Grid> places[] = {
        {ui_->openPositionsTabLayout, Grid::OpenPositions},
        {ui_->pendingOrdersTabLayout, Grid::PendingOrders},
        {ui_->settledPositionsTabLayout, Grid::SettledPositions},
        {ui_->cancelledOrdersTabLayout, Grid::CancelledOrders},
        {ui_->executedPositionsTabLayout, Grid::ExecutedPositions},
        {ui_->accountsTabLayout, Grid::Accounts},
    };
    const ColumnSwitches switches = loadColumnSwitches();
    for (const auto& [layout, grid] : places) {
        // The account, position and order grids with their menus, totals and search.
        auto* pane = new GridPane(context_, grid, switches, layout->parentWidget());
        layout->addWidget(pane);
        tables_.push_back(&pane->table());
        panes_.push_back(pane);
        pageTables_.emplace(layout->parentWidget(), &pane->table());
        if (grid == Grid::Accounts) {
            connect(pane, &GridPane::accountChosen, this, &MainWindowController::setAccount);
            connect(pane, &GridPane::newDepositRequested, this, [this] { newDepositRequest(); });
            connect(pane, &GridPane::newWithdrawalRequested, this,
                    &MainWindowController::newWithdrawalRequest);
        }
    }
}

void MainWindowController::addQuotesBoard() {
    // The board over the depth ladders of its selected instrument; the tiles on a tab of their own.
    auto* split = new QSplitter(Qt::Vertical, ui_->watchlistTab);
    split->setObjectName(QStringLiteral("watchlistSplitView"));
    split->setChildrenCollapsible(false);
    watchlist_ = new WatchlistTableController(context_, split);
    depth_ = new MarketDepthPane(context_, split);
    split->setStretchFactor(0, 1);
    ui_->watchlistLayout->addWidget(split);
    connect(watchlist_, &WatchlistTableController::instrumentSelected, depth_,
            &MarketDepthPane::setInstrument);
    // A larger font or longer titles widen the board's columns: its pane follows, once laid out.
    // Rows added bring the vertical scroll bar, which narrows the columns' room the same way.
    const auto refit = [this] {
        if (boardFitted_)
            QTimer::singleShot(0, this, &MainWindowController::widenBoardToItsPrices);
    };
    connect(watchlist_, &WatchlistTableController::columnsFitted, this, refit);
    connect(watchlist_->verticalScrollBar(), &QScrollBar::rangeChanged, this, refit);
    if (watchlist_->model()->rowCount() > 0)
        selectFirstRow(watchlist_);

    auto* tilesTab = new QWidget;
    tilesTab->setObjectName(QStringLiteral("advancedWatchlistTab"));
    tilesTab->setProperty(kLangKeyProperty, QString::fromLatin1(texts::kTiles));
    auto* tilesLayout = new QVBoxLayout(tilesTab);
    tilesLayout->setContentsMargins(0, 0, 0, 0);
    advancedWatchlist_ = new AdvancedWatchlistTableController(context_, tilesTab);
    tilesLayout->addWidget(advancedWatchlist_);
    ui_->watchlistTabView->addTab(tilesTab, context_.text(texts::kTiles));
}

void MainWindowController::addJournal() {
    journal_ = new QTableView(ui_->journalTab);
    journal_->setObjectName(QStringLiteral("journalTableView"));
    journalModel_ = new JournalTableModel(context_.language(), journal_);
    journal_->setModel(journalModel_);
    journal_->setSelectionMode(QAbstractItemView::NoSelection);
    journal_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    journal_->verticalHeader()->hide();
    journal_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    journal_->horizontalHeader()->setStretchLastSection(true);
    journal_->setColumnWidth(0, 170);
    journal_->setWordWrap(false);
    journal_->setAccessibleName(context_.text(texts::kJournal));
    ui_->journalTabLayout->addWidget(journal_);
    pageTables_.emplace(ui_->journalTab, journal_);

    ClientModel& session = *context_.clientModel();
    journalModel_->setLines(&session.client().journal());
    connect(&session, &ClientModel::journalAppended, journalModel_,
            [this] { journalModel_->lineAppended(); });
    // The journal belongs to the client: let go of it before the client goes.
    connect(&session, &ClientModel::clientAboutToBeReplaced, journalModel_,
            [this] { journalModel_->setLines(nullptr); });
    connect(&session, &ClientModel::clientReplaced, journalModel_,
            [this] { journalModel_->setLines(&context_.clientModel()->client().journal()); });
}

void MainWindowController::forgetUser() {
    // Each window standing on this one goes with its own (a sheet's alerts, the chat's transcripts):
    // the kept ones held rows, lists and forms of the last user, and are made afresh when next opened.
    // Menus, choice lists and the resources panel are popups of this window's own, not windows of a user.
    for (QWidget* window : findChildren<QWidget*>()) {
        const Qt::WindowType type = window->windowType();
        if ((type != Qt::Window && type != Qt::Dialog && type != Qt::Sheet) || !window->parentWidget() ||
            window->parentWidget()->window() != this)
            continue;
        window->close();
        window->hide(); // an alert whose only button was not pressed refuses to close
        window->deleteLater();
    }
    statement_ = nullptr;
    withdrawal_ = nullptr;
    history_ = nullptr;
    chat_ = nullptr;
    notices_ = nullptr;
    addRemove_ = nullptr;
    settings_ = nullptr;
}

void MainWindowController::AccountStatementButtonClicked() {
    showKeptWindow(statement_, context_, this, &AccountStatementWindowController::windowDidAppear);
}

void MainWindowController::setUrlOpener(std::function<bool(const QUrl&)> opener) {
    urlOpener_ = std::move(opener);
    news_->setUrlOpener(urlOpener_);
    if (resources_)
        resources_->setUrlOpener(urlOpener_);
}

void MainWindowController::mainToolbarButtonClicked(const QAction* item) {
    bool isIndex = false;
    const int index = item ? item->data().toInt(&isIndex) : -1;
    QWidget* page = isIndex ? ui_->mainTabView->widget(index) : nullptr;
    if (!page)
        return;
    ui_->mainTabView->setCurrentWidget(page);
    // A tab brought forward focuses its table. Not through a focus proxy: Tab would land on the page
    // from wherever it stands in the focus chain and jump to its table out of reading order.
    const auto table = pageTables_.find(page);
    (table != pageTables_.end() ? table->second : page)->setFocus();
}

void MainWindowController::resourcesButtonClicked() {
    if (!resources_) {
        resources_ = new ResourcesViewController(context_, this);
        if (urlOpener_)
            resources_->setUrlOpener(urlOpener_);
    }
    resources_->showBelow(toolbarButton(ui_->actionResources));
}

DepositRequestWindowController* MainWindowController::newDepositRequest() {
    if (!payGateRequests_)
        payGateRequests_ = std::make_shared<PayGateRequests>();
    if (!lostRequests_)
        lostRequests_ = std::make_shared<LostFundingRequests>();
    auto* window = new DepositRequestWindowController(context_, payGateRequests_, this);
    // Two deposits alike without an answer are matched to the approval lists together.
    window->shareLostRequests(lostRequests_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (urlOpener_)
        window->setUrlOpener(urlOpener_);
    showInFront(window, &DepositRequestWindowController::windowDidAppear);
    return window;
}

void MainWindowController::newWithdrawalRequest() {
    if (withdrawal_ && withdrawal_->isVisible())
        return;
    showKeptWindow(withdrawal_, context_, this, &WithdrawalRequestWindowController::windowDidAppear);
}

void MainWindowController::DepositsWithdrawalsButtonClicked() {
    showKeptWindow(history_, context_, this, &DepositsWithdrawalsWindowController::onWindowLoad);
}

void MainWindowController::ChatButtonClicked() {
    showKeptWindow(chat_, context_, this, &ChatWindowController::showWindow);
}

void MainWindowController::MessagesButtonClicked() {
    showKeptWindow(notices_, context_, this, &MessagesWindowController::showWindow);
}

void MainWindowController::TradeTicketButtonClicked() {
    if (!context_.clientModel()->isSignedIn() || context_.clientModel()->client().watchList().empty())
        return;
    context_.guiObjects().showTradeTicket(this);
}

void MainWindowController::addCharts() {
    const std::array<ChartDropArea*, kChartSlots> slots{ui_->ChartView1, ui_->ChartView2, ui_->ChartView3,
                                                        ui_->ChartView4};
    for (std::size_t i = 0; i < kChartSlots; ++i) {
        auto* layout = new QVBoxLayout(slots[i]);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* chart = new ChartViewController(context_, this);
        charts_.push_back(chart);
        connect(chart, &ChartViewController::configurationChanged, this, [this, i] { saveChartSlot(i); });
        connect(slots[i], &ChartDropArea::symbolDropped, this, &MainWindowController::ReloadDataForChart);
    }
    startCharts();
    pie_ = new PieChartViewController(context_, ui_->pieChartPane);
    ui_->pieLayout->addWidget(pie_);
}

void MainWindowController::startCharts() {
    const std::array<ChartDropArea*, kChartSlots> slots{ui_->ChartView1, ui_->ChartView2, ui_->ChartView3,
                                                        ui_->ChartView4};
    const interfaces::Client& client = context_.clientModel()->client();
    const auto stored =
        context_.defaults().stringArrayForKey(kChartSlotsKey).value_or(std::vector<std::string>{});
    const auto starts = startingSlots(stored, client.watchList(), [&client](std::string_view code) {
        return instrumentOf(client.model(), code) != nullptr;
    });
    for (std::size_t i = 0; i < kChartSlots && i < charts_.size(); ++i) {
        if (!starts[i])
            continue;
        ChartViewController* chart = charts_[i];
        // Configured first: the chart starts as its view is made (or at once, when it has one).
        chart->setValue(*starts[i]);
        if (!chart->isViewLoaded())
            slots[i]->layout()->addWidget(chart->view());
    }
}

ChartViewController* MainWindowController::chartSlot(std::size_t index) const {
    return index < charts_.size() ? charts_[index] : nullptr;
}

void MainWindowController::ReloadDataForChart(const QString& code, const QString& slot) {
    const std::array<ChartDropArea*, kChartSlots> slots{ui_->ChartView1, ui_->ChartView2, ui_->ChartView3,
                                                        ui_->ChartView4};
    for (std::size_t i = 0; i < kChartSlots && i < charts_.size(); ++i) {
        if (slots[i]->objectName() != slot)
            continue;
        ChartViewController* chart = charts_[i];
        ChartSlotConfig config{code.toStdString(), static_cast<int>(chart->currentInterval()),
                               static_cast<int>(chart->chartType())};
        chart->setValue(config);
        if (!chart->isViewLoaded())
            slots[i]->layout()->addWidget(chart->view());
        saveChartSlot(i);
        return;
    }
}

void MainWindowController::saveChartSlot(std::size_t index) {
    if (index >= charts_.size())
        return;
    const auto config = charts_[index]->configuration();
    const std::string text = config ? slotText(*config) : std::string();
    const auto stored = context_.defaults().stringArrayForKey(kChartSlotsKey);
    if (stored && index < stored->size() && (*stored)[index] == text)
        return;
    // Written at once, as every other setting is: a slot's change must survive a quit or a crash.
    // Only this slot: another program on the same home keeps its own.
    storeChartSlot(context_.defaults(), index, text);
}

ChartWindowController* MainWindowController::ChartButtonClicked() {
    return openChartWindow(context_, this);
}

void MainWindowController::AddRemoveSymbolsToWatchlistClicked() {
    if (!addRemove_) {
        addRemove_ = new AddRemoveWindowController(context_, this);
        connect(addRemove_, &AddRemoveWindowController::WatchListSaved, this, [this] {
            if (TradeTicketWindowController* ticket = context_.guiObjects().tradeTicketWindowController())
                ticket->updateItemsInSymbolComboBox();
            watchlist_->gridModel().refresh();
            advancedWatchlist_->refreshTableView();
            if (!watchlist_->selectionModel()->hasSelection() && watchlist_->model()->rowCount() > 0)
                selectFirstRow(watchlist_);
        });
    }
    addRemove_->openOn(this);
}

GridPane* MainWindowController::gridPane(Grid grid) const {
    for (GridPane* pane : panes_)
        if (pane->grid() == grid)
            return pane;
    return nullptr;
}

GridTable* MainWindowController::gridTable(Grid grid) const {
    for (GridTable* table : tables_)
        if (table->gridModel().grid() == grid)
            return table;
    return nullptr;
}

void MainWindowController::setUserName(const QString& userName) {
    userName_ = userName;
    updateLanguageStrings();
}

void MainWindowController::updateLanguageStrings() {
    // The toolbar names its commands as the menus do, without their access keys.
    for (const auto& group : toolbarGroups_)
        for (QAction* action : group)
            action->setIconText(QString::fromStdString(withoutAccessKey(action->text().toStdString())));
    fitPieAndTabTitles();
    fitToolbar();
    // The pie's switch shows a sign, not a word: screen readers read its tooltip.
    ui_->toggleLeftViewButton->setAccessibleName(ui_->toggleLeftViewButton->toolTip());
    setWindowTitle(QStringLiteral("%1 v%2 - %3")
                       .arg(QGuiApplication::applicationDisplayName(),
                            QString::fromStdString(platform::Bundle::shortVersionString()), userName_));
}

void MainWindowController::openFirstMenu() {
    const QList<QAction*> menus = ui_->menuBar->actions();
    if (menus.isEmpty())
        return;
    ui_->menuBar->setActiveAction(menus.front());
    // Its first item is current, so that the arrows, Return and the items' keys act at once.
    if (QMenu* menu = menus.front()->menu())
        for (QAction* item : menu->actions())
            if (!item->isSeparator() && item->isVisible() && item->isEnabled()) {
                menu->setActiveAction(item);
                break;
            }
}

void MainWindowController::getAccountDetails() {
    interfaces::Client& client = context_.clientModel()->client();
    const auto accounts = client.queries().getAccountCollection();
    if (accounts.empty() || account_)
        return;
    account_ = accounts.front()->AccountId;
    client.setCurrentAccount(*account_);
}

void MainWindowController::setAccount(std::int32_t accountId) {
    account_ = accountId;
    context_.clientModel()->client().setCurrentAccount(accountId); // refused for one it does not hold
    loadAccountDetails();
}

void MainWindowController::RefreshValues() {
    if (refreshing_)
        return; // an alert of a step below ran the event loop: this tick is the running refresh's
    refreshing_ = true;
    loadAccountDetails();
    Q_EMIT accountSummaryRefreshed();
    idleChecker_->startCheckingIdleTime();
    refreshing_ = false;
}

void MainWindowController::loadAccountDetails() {
    // The session refreshes every account's figures each second; no account shows zeros. They are
    // worked as the accounts grid, the ticket and the funding windows work them, so all agree.
    const interfaces::Client& client = context_.clientModel()->client();
    std::vector<std::shared_ptr<const AccountDetails>> current;
    for (const auto& account : client.queries().getAccountCollection())
        if (account_ && account->AccountId == *account_)
            current.push_back(account);
    const SessionModel& model = client.model();
    const auto figures = accountFigures(model, current, model.OpenOrderCollection);
    // Blank figures until the login's positions have come and are valued.
    const bool valued = figures.empty() || context_.clientModel()->figuresValued();
    summary_->show(figures.empty() ? AccountDetails() : figures.front(), valued,
                   context_.language().selected());
    // The accounts grid highlights the account the status bar shows, and no other.
    if (GridPane* accounts = gridPane(Grid::Accounts))
        accounts->selectRecord(account_ ? std::to_string(*account_) : std::string());
}

void MainWindowController::changeNetworkStatusImage(const interfaces::NetworkSpeed& speed) {
    networkStatus_->show(speed,
                         context_.clientModel()->client().loginState() == interfaces::LoginState::Lost);
}

void MainWindowController::toggleLeftViewSelectedIndex(int index) {
    if (index == 0 || index == 1)
        pieWanted_ = index == 1;
    fitPieAndTabTitles();
}

namespace {

// The quotes board's pane at its narrowest, as the form sets it.
constexpr int kLeastBoardWidth = 330;

// The short title that stands in for a main tab's full one where the window is too narrow for those.
const char* shortTitleOf(const QWidget* page) {
    static const std::map<QString, const char*> shortTitles{
        {QStringLiteral("openPositionsTab"), texts::kOpenPositionsTabShort},
        {QStringLiteral("pendingOrdersTab"), texts::kPendingOrdersTabShort},
        {QStringLiteral("settledPositionsTab"), texts::kSettledPositionsTabShort},
        {QStringLiteral("cancelledOrdersTab"), texts::kCancelledOrdersTabShort},
        {QStringLiteral("executedPositionsTab"), texts::kExecutedPositionsTabShort},
    };
    const auto found = shortTitles.find(page->objectName());
    return found == shortTitles.end() ? nullptr : found->second;
}

} // namespace

void MainWindowController::fitPieAndTabTitles() {
    QTabWidget& tabs = *ui_->mainTabView;
    QSplitter& split = *ui_->openPositionSplitView;
    // The full titles' room, measured on a bar that shows none of them.
    QStringList full;
    for (int i = 0; i < tabs.count(); ++i) {
        const QVariant key = tabs.widget(i)->property("langKey");
        full << (key.isValid() ? context_.text(key.toString().toStdString()) : tabs.tabText(i));
        titleProbe_->setTabText(i, full.back());
    }
    const int fullTitles = titleProbe_->sizeHint().width();
    // The short titles are the least the tabs take: the window is never narrower than they need.
    for (int i = 0; i < tabs.count(); ++i)
        if (const char* shortKey = shortTitleOf(tabs.widget(i)))
            titleProbe_->setTabText(i, context_.text(shortKey));
    tabs.setMinimumWidth(titleProbe_->sizeHint().width());
    // Nor narrower than the quotes board's pane shows its depth ladders whole, in the language's
    // titles; 330 px at least, as the form sets it.
    ui_->watchlistTabView->setMinimumWidth(
        std::max(kLeastBoardWidth, ui_->watchlistTabView->minimumSizeHint().width()));
    // The panes' width never scrolls: the scroll area is at least as wide as they need, with room
    // for its vertical scroll bar.
    panesScroll_->setMinimumWidth(ui_->verticalSplitView->minimumSizeHint().width() +
                                  panesScroll_->verticalScrollBar()->sizeHint().width());
    const int pieWidth = ui_->pieChartPane->maximumWidth();
    const int handle = split.handleWidth();
    const int tabsNeed = std::max(tabs.minimumSizeHint().width(), fullTitles);
    const bool pieRoom = split.width() >= pieWidth + handle + tabsNeed;
    const bool pieShown = pieWanted_ && pieRoom;
    if (pieShown != !ui_->pieChartPane->isHidden()) {
        ui_->pieChartPane->setVisible(pieShown);
        if (pieShown)
            split.setSizes({pieWidth, split.width() - pieWidth - handle});
    }
    {
        const QSignalBlocker block(ui_->toggleLeftViewButton);
        ui_->toggleLeftViewButton->setChecked(pieWanted_);
    }
    // No room: the switch would change nothing the trader sees.
    ui_->toggleLeftViewButton->setEnabled(pieRoom);
    const int room = split.width() - (pieShown ? pieWidth + handle : 0);
    const bool shortTitles = room < fullTitles;
    for (int i = 0; i < tabs.count(); ++i) {
        const char* shortKey = shortTitleOf(tabs.widget(i));
        const QString title = shortTitles && shortKey ? context_.text(shortKey) : full.at(i);
        if (tabs.tabText(i) != title)
            tabs.setTabText(i, title);
        tabs.setTabToolTip(i, shortTitles && shortKey ? full.at(i) : QString());
    }
}

void MainWindowController::groupToolbar() {
    toolbarRows_ = {ui_->mainToolbar};
    toolbarGroups_.assign(1, {});
    for (QAction* action : ui_->mainToolbar->actions()) {
        if (action->isSeparator()) {
            groupSeparators_.push_back(action);
            toolbarGroups_.emplace_back();
        } else {
            toolbarGroups_.back().push_back(action);
        }
    }
    toolbarRowOf_.assign(toolbarGroups_.size(), 0);
    nameToolbarButtons();
}

QWidget* MainWindowController::toolbarButton(const QAction* action) const {
    for (QToolBar* row : toolbarRows_)
        if (QWidget* button = row->widgetForAction(const_cast<QAction*>(action)))
            return button;
    return nullptr;
}

void MainWindowController::fitToolbar() {
    QToolBar& first = *ui_->mainToolbar;
    const QStyle& style = *first.style();
    const int spacing = style.pixelMetric(QStyle::PM_ToolBarItemSpacing, nullptr, &first);
    const int separator = style.pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, &first) + spacing;
    const int frame = 2 * (style.pixelMetric(QStyle::PM_ToolBarItemMargin, nullptr, &first) +
                           style.pixelMetric(QStyle::PM_ToolBarFrameWidth, nullptr, &first));
    std::vector<int> widths;
    for (const auto& group : toolbarGroups_) {
        int width = 0;
        for (const QAction* action : group)
            if (const QWidget* button = toolbarButton(action))
                width += (width > 0 ? spacing : 0) + button->sizeHint().width();
        widths.push_back(width);
    }
    // A pixel spare for each row's rounding.
    const std::vector<int> rows = toolbarRows(widths, separator, width() - frame - 2);
    if (rows == toolbarRowOf_)
        return;
    toolbarRowOf_ = rows;
    const int needed = rows.empty() ? 1 : rows.back() + 1;
    while (static_cast<int>(toolbarRows_.size()) < needed) {
        auto* row = new QToolBar(this);
        row->setObjectName(QStringLiteral("mainToolbarRow%1").arg(toolbarRows_.size() + 1));
        row->setMovable(false);
        row->setToolButtonStyle(first.toolButtonStyle());
        addToolBarBreak(Qt::TopToolBarArea);
        addToolBar(Qt::TopToolBarArea, row);
        toolbarRows_.push_back(row);
    }
    for (QToolBar* row : toolbarRows_)
        for (QAction* action : row->actions())
            row->removeAction(action);
    for (std::size_t g = 0; g < toolbarGroups_.size(); ++g) {
        QToolBar* row = toolbarRows_[static_cast<std::size_t>(rows[g])];
        if (!row->actions().isEmpty())
            row->addAction(groupSeparators_[g - 1]);
        for (QAction* action : toolbarGroups_[g])
            row->addAction(action);
    }
    for (QToolBar* row : toolbarRows_)
        row->setVisible(!row->actions().isEmpty());
    nameToolbarButtons();
}

void MainWindowController::nameToolbarButtons() {
    // Each button named after its command, on whatever row it stands: the same control in every
    // language, though the rows differ.
    for (const auto& group : toolbarGroups_)
        for (const QAction* action : group)
            if (QWidget* button = toolbarButton(action))
                button->setObjectName(action->objectName() + QStringLiteral("Button"));
}

SettingsWindowController* MainWindowController::settingsWindow() const {
    return settings_.data();
}

void MainWindowController::SettingsButtonClicked() {
    if (!settings_) {
        settings_ = new SettingsWindowController(context_, this);
        updateAccountActions();
        settings_->setNetworkAvailableQuery(
            [this] { return context_.clientModel()->client().isNetworkAvailable(); });
        settings_->setChangePasswordSheet([this](QWidget* owner) {
            auto* sheet = new ChangePasswordWindowController(context_, owner);
            sheet->SetPasswordChangedHandler([this](const std::string& password) {
                if (passwordChanged_)
                    passwordChanged_(password);
            });
            return sheet;
        });
        settings_->setAccountAccessSheet(
            [this](QWidget* owner) { return new AccountAccessSettingWindowController(context_, owner); });
    }
    settings_->show();
    settings_->raise();
    settings_->activateWindow();
}

void MainWindowController::updateAccountActions() {
    const interfaces::Client& client = context_.clientModel()->client();
    const auto& user = client.model().userInfo;
    const bool password = user && user->CanChangePassword;
    const bool access = client.queries().canShowAERights();
    ui_->actionChangePassword->setEnabled(password);
    ui_->actionAccessRights->setEnabled(access);
    if (settings_)
        settings_->setAccountCapabilities(password, access);
}

GridPane* MainWindowController::gridInView() const {
    QWidget* page = ui_->mainTabView->currentWidget();
    for (GridPane* pane : panes_)
        if (page && page->isAncestorOf(pane))
            return pane;
    return nullptr;
}

namespace {

// What a record command acts on in the grid in view: the pane and the row action, none when that
// grid holds no record the command acts on.
std::pair<GridPane*, std::optional<RowAction>> commandTarget(GridPane* inView, const RecordCommand& command) {
    if (!inView)
        return {nullptr, std::nullopt};
    if (inView->grid() == Grid::OpenPositions)
        return {inView, command.onPosition};
    if (inView->grid() == Grid::PendingOrders && command.onOrder)
        return {inView, command.onOrder};
    return {nullptr, std::nullopt};
}

} // namespace

void MainWindowController::updatePositionActions() {
    const bool live = context_.clientModel() && context_.clientModel()->isSignedIn();
    GridPane* inView = gridInView();
    for (const RecordCommand& command : recordCommands(*ui_)) {
        const auto [pane, row] = commandTarget(inView, command);
        const bool onOrder = pane && pane->grid() == Grid::PendingOrders;
        // Keyed, so that a change of language titles it as it now acts.
        const char* title = onOrder ? command.orderTitle : command.positionTitle;
        if (command.action->property(kLangKeyProperty).toString() != QLatin1String(title)) {
            command.action->setProperty(kLangKeyProperty, QString::fromLatin1(title));
            command.action->setText(context_.text(title));
        }
        // A row selected there that its own menu would not offer the command to: off. With none
        // selected the command stays on and says so when chosen.
        const std::string id = pane ? pane->selectedId() : std::string();
        command.action->setEnabled(live && (id.empty() || pane->offers(*row, id)));
    }
}

void MainWindowController::runRecordCommand(QAction* action) {
    GridPane* inView = gridInView();
    for (const RecordCommand& command : recordCommands(*ui_)) {
        if (command.action != action)
            continue;
        const auto [pane, row] = commandTarget(inView, command);
        const std::string id = pane ? pane->selectedId() : std::string();
        if (!id.empty()) {
            if (pane->offers(*row, id))
                pane->runAction(*row, id);
            return;
        }
        const QString name = QString::fromStdString(withoutAccessKey(action->text().toStdString()));
        const QString tab = ui_->mainTabView->tabText(ui_->mainTabView->currentIndex());
        const char* key = pane              ? texts::kMenuCommandNothingSelected
                          : command.onOrder ? texts::kMenuCommandActsOnPositionOrOrder
                                            : texts::kMenuCommandActsOnPosition;
        CommonAlert::open(this, {context_.text(texts::kValidation),
                                 filledIn(context_.text(key), {name, tab}),
                                 AlertSpec::Informational,
                                 {},
                                 QStringLiteral("tradeMenuNothingSelected")});
        return;
    }
}

void MainWindowController::changePasswordClicked() {
    SettingsButtonClicked();
    settings_->ChangePasswordButtonClicked();
}

void MainWindowController::accountAccessClicked() {
    SettingsButtonClicked();
    settings_->accountAccessSettingButtonClicked();
}

void MainWindowController::closeAllButtonClicked() {
    openCloseAll(context_, this);
}

void MainWindowController::aboutApplication() {
    context_.guiObjects().showAbout(this);
}

void MainWindowController::lockConsole() {
    Q_EMIT lockRequested();
}

void MainWindowController::updateLockAction() {
    // The menu does not offer the lock while a sheet is open on the window.
    bool sheet = false;
    for (const QDialog* dialog : findChildren<QDialog*>())
        sheet = sheet || (dialog->isVisible() && dialog->windowModality() == Qt::WindowModal);
    ui_->actionLockConsole->setEnabled(isVisible() && !sheet);
}

void MainWindowController::logout() {
    CommonAlert::open(this,
                      {context_.text(texts::kDoWantLogOut),
                       QString(),
                       AlertSpec::Warning,
                       {context_.text(texts::kLogOut), context_.text(texts::kCancel)},
                       QStringLiteral("logout")},
                      [this](int button) {
                          if (button == 0)
                              Q_EMIT quitRequested();
                      });
}

void MainWindowController::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Once the panes have their first sizes.
    if (!boardFitted_) {
        boardFitted_ = true;
        QTimer::singleShot(0, this, &MainWindowController::widenBoardToItsPrices);
    }
}

void MainWindowController::widenBoardToItsPrices() {
    // Room is kept for the vertical scroll bar before rows bring it, so that it never hides the ask.
    const QScrollBar& scroll = *watchlist_->verticalScrollBar();
    const int scrollBar =
        scroll.isVisibleTo(watchlist_)
            ? 0
            : watchlist_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &scroll);
    const int missing = watchlist_->widthThrough("Ask") + scrollBar - watchlist_->columnRoom();
    QList<int> sizes = ui_->marketSplitView->sizes();
    if (missing <= 0 || sizes.size() < 2)
        return;
    const int wanted = std::min(sizes[0] + missing, ui_->watchlistTabView->maximumWidth());
    sizes[1] -= wanted - sizes[0];
    sizes[0] = wanted;
    ui_->marketSplitView->setSizes(sizes);
}

void MainWindowController::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitToolbar();
}

bool MainWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->openPositionSplitView && event->type() == QEvent::Resize)
        fitPieAndTabTitles();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindowController::closeEvent(QCloseEvent* event) {
    event->accept();
    Q_EMIT quitRequested();
}

} // namespace tc::gui
