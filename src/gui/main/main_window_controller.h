#pragma once
// The main window, shown once the first login completed: the toolbar and menus, the watch list and
// the four chart slots above, the account pie and the tabs of positions, orders and accounts below,
// and the status line with the current account's summary, the network status and the server time.
// The session's one-second tick refreshes the summary and checks the idle time-out.
//
// What it asks of its owner goes out as signals: quitRequested (logout confirmed, the window
// closed, the idle time-out reached) and lockRequested (the console lock). The trade menu closes,
// modifies and offsets the position selected in the grid in view (cancels and modifies the order
// selected there, Pending Orders in view) and opens the close-all window; the news tab reads
// the feed, the Resources button shows the resources panel.
#include "gui/grid/grid_spec.h"
#include "gui/login/idle_time.h"
#include "gui/models/client_model.h"
#include "gui/settings/settings_window_controller.h"
#include "interfaces/client.h"

#include <QMainWindow>
#include <QPointer>
#include <QUrl>

class QAction;
class QScrollArea;
class QTabBar;
class QTableView;
class QToolBar;

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Ui {
class MainWindowController;
}

namespace tc::gui {

class AccountSummaryView;
class AddRemoveWindowController;
class ChatWindowController;
class MessagesWindowController;
class NetworkStatusView;
class ChartViewController;
class ChartWindowController;
class PieChartViewController;
class AdvancedWatchlistTableController;
class AccountStatementWindowController;
class DepositRequestWindowController;
class DepositsWithdrawalsWindowController;
class LostFundingRequests;
class PayGateRequests;
class WithdrawalRequestWindowController;
class GridPane;
class GridTable;
class GuiContext;
class JournalTableModel;
class MarketDepthPane;
class NewsTableController;
class ResourcesViewController;
class WatchlistTableController;

class MainWindowController : public QMainWindow {
    Q_OBJECT
public:
    // Needs the context's client model, signed in. `idle` is where the idle time comes from (the
    // desktop's when null).
    explicit MainWindowController(GuiContext& context, IdleSource* idle = nullptr, QWidget* parent = nullptr);
    ~MainWindowController() override;

    // The login user named in the title.
    void setUserName(const QString& userName);
    // Another user signed in: every window of the window's own (sheets, alerts, funding, statement,
    // chat, notices, detail and chart windows, settings) closes and goes; the kept ones are made afresh
    // at their next opening, so none holds the last user's rows or forms.
    void forgetUser();
    // The account the summary shows (the accounts table picks another); none when it is not shown.
    void setAccount(std::int32_t accountId);
    std::optional<std::int32_t> account() const { return account_; }

    // The one-second refresh: the summary of the current account, then the idle time-out. Not entered
    // again while it runs.
    void RefreshValues();
    // The network-speed class and the server's clock ("yyyyMMddHHmmss"); a class outside 0..3
    // changes neither the images nor the text. While the stream is lost it shows no connection.
    void changeNetworkStatusImage(const interfaces::NetworkSpeed& speed);
    // The account pie's pane: 1 shows it, 0 hides it and gives the tabs the width.
    void toggleLeftViewSelectedIndex(int index);

    void SettingsButtonClicked();
    // The settings window, then its password or account-access sheet on it.
    void changePasswordClicked();
    void accountAccessClicked();
    // Told the new password once the server accepted a change (the remembered user follows it).
    void setPasswordChangedHandler(std::function<void(const std::string& password)> handler) {
        passwordChanged_ = std::move(handler);
    }
    // The order ticket, for the watch list's first instrument; nothing while the watch list is empty
    // or the session is not signed in.
    void TradeTicketButtonClicked();
    // The close-all window, as a sheet on the window; nothing while no position is open.
    void closeAllButtonClicked();
    void aboutApplication();
    void lockConsole();
    // Asks first; the default button ends the program.
    void logout();

    // The settings window once made (null before).
    SettingsWindowController* settingsWindow() const;
    GridTable* gridTable(Grid grid) const;
    WatchlistTableController* watchlistBoard() const { return watchlist_; }
    AdvancedWatchlistTableController* advancedWatchlist() const { return advancedWatchlist_; }
    MarketDepthPane* marketDepth() const { return depth_; }
    // The watch-list chooser, as a sheet on the window (made on first use).
    void AddRemoveSymbolsToWatchlistClicked();
    AddRemoveWindowController* addRemoveWindow() const { return addRemove_; }
    // The account, position and order grids (null for the watch list).
    GridPane* gridPane(Grid grid) const;
    // The account statement window: made at the first press, kept, shown again at every press.
    void AccountStatementButtonClicked();
    AccountStatementWindowController* statementWindow() const { return statement_; }
    // A new deposit window at every press; it deletes itself once closed.
    DepositRequestWindowController* newDepositRequest();
    // The withdrawal window: made at the first press, kept; shown afresh unless already showing.
    void newWithdrawalRequest();
    WithdrawalRequestWindowController* withdrawalWindow() const { return withdrawal_; }
    // The funding history: made at the first press, kept, shown again with its rows.
    void DepositsWithdrawalsButtonClicked();
    DepositsWithdrawalsWindowController* fundingHistoryWindow() const { return history_; }
    // The chat window: made at the first press, kept, shown again in its empty state.
    void ChatButtonClicked();
    ChatWindowController* chatWindow() const { return chat_; }
    // The notices window: made at the first press, kept, shown again with its rows afresh.
    void MessagesButtonClicked();
    MessagesWindowController* noticesWindow() const { return notices_; }
    // The browser the deposit windows, the news and the resources panel open addresses with (tests
    // replace it).
    void setUrlOpener(std::function<bool(const QUrl&)> opener);
    // A View menu or toolbar item (News is both): brings forward the main tab whose index the item
    // carries as its data, and focuses that tab's table. The news feed is read when its tab is first
    // shown. An item whose data names no tab changes nothing.
    void mainToolbarButtonClicked(const QAction* item);
    NewsTableController* newsView() const { return news_; }
    // The resources panel, a popup under the toolbar's Resources button (made at the first press).
    void resourcesButtonClicked();
    ResourcesViewController* resourcesPanel() const { return resources_; }
    // The journal's table (the journal tab), newest line first.
    QTableView* journalTable() const { return journal_; }
    // A new chart window at every press, on the first watch-list instrument.
    ChartWindowController* ChartButtonClicked();
    // An instrument dropped on the slot "Chart1".."Chart4": that chart shows it, keeping its type
    // and interval; any other slot name changes nothing.
    void ReloadDataForChart(const QString& code, const QString& slot);
    // The chart of slot 0..3.
    ChartViewController* chartSlot(std::size_t index) const;
    PieChartViewController* accountPie() const { return pie_; }

Q_SIGNALS:
    void quitRequested();
    void lockRequested();
    // Emitted by the refresh once the summary stands; whoever shows something because of it runs
    // inside the refresh.
    void accountSummaryRefreshed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The board's pane grows (never shrinks) until the board shows its columns through the ask
    // price whole, at the board's font size and in the language's titles, with room kept for the
    // vertical scroll bar that added rows bring.
    void widenBoardToItsPrices();
    void updateLanguageStrings();
    // The menu bar's first menu, open with its first item current (F10).
    void openFirstMenu();
    void getAccountDetails();
    void loadAccountDetails();
    // The parts the window is built of, in the order the constructor builds them.
    // The account summary and the network status of the status line.
    void addStatusViews();
    // The status figures' captions and figures as pairs that wrap to rows on a narrow window.
    void wrapStatusFigures();
    // The window on its screen, its splitters, tabs and chart slots as they start.
    void layOutPanes();
    // What a narrow window gives up, in turn, so that it fits a small screen whole: the account
    // pie (shown again once there is room for it beside the tabs' full titles), the tabs' full
    // titles (short ones stand in, the full one in each tab's tooltip), and the toolbar's one row
    // (its groups wrap to rows under it).
    void fitPieAndTabTitles();
    void fitToolbar();
    // The toolbar's groups, the runs of commands between its separators, as the form lists them.
    void groupToolbar();
    void nameToolbarButtons();
    // The button of a toolbar command, on whichever row it stands.
    QWidget* toolbarButton(const QAction* action) const;
    void addGridTables();
    void addQuotesBoard();
    void addJournal();
    void addNews();
    // The idle time-out, on `idle` or else the desktop's own idle time.
    void watchIdleTime(IdleSource* idle);
    // The session's signals: the tick, the accounts' refresh, the network, the login and a new client.
    void followSession();
    // The menus' and toolbar's actions, and F10 for the first menu.
    void connectMenus();
    void updateLockAction();
    // The password and account-access actions follow what the signed-in user may do.
    void updateAccountActions();
    // Signed out (lost, or a new login under way): the order actions are off, the summary greyed.
    void followLoginState();
    // Close, modify and offset act on the row selected in the grid in view: an open position, or a
    // pending order (cancel and modify, so titled). Off where that row's menu would not offer them.
    void updatePositionActions();
    // A record command chosen: run on the selected row, or an alert saying nothing is selected for it.
    void runRecordCommand(QAction* action);
    // The grid of the tab in view under the charts; null for the journal and the news.
    GridPane* gridInView() const;
    void addCharts();
    // The slots' charts as a sign-in starts them: the stored slots, else the first watched instrument.
    void startCharts();
    // Takes up the session's current client: its first account, the board's first row, the charts.
    void bindSession();
    // Keeps the slot's chart as it is now for the next sign-in.
    void saveChartSlot(std::size_t index);

    std::unique_ptr<Ui::MainWindowController> ui_;
    GuiContext& context_;
    std::unique_ptr<IdleSource> ownIdle_;
    std::unique_ptr<IdleTimeChecker> idleChecker_;
    QString userName_;
    AccountSummaryView* summary_ = nullptr;
    NetworkStatusView* networkStatus_ = nullptr;
    std::optional<std::int32_t> account_;
    // The account chosen when the client was replaced, and whose it was: the same user signing in
    // again finds it chosen still.
    std::optional<std::int32_t> keptAccount_;
    std::optional<SignInUser> keptUser_;
    QPointer<SettingsWindowController> settings_;
    std::vector<GridTable*> tables_;
    std::map<QWidget*, QWidget*> pageTables_; // each tab page's table, focused when it is brought forward
    WatchlistTableController* watchlist_ = nullptr;
    AdvancedWatchlistTableController* advancedWatchlist_ = nullptr;
    MarketDepthPane* depth_ = nullptr;
    AddRemoveWindowController* addRemove_ = nullptr;
    std::vector<GridPane*> panes_;
    AccountStatementWindowController* statement_ = nullptr;
    WithdrawalRequestWindowController* withdrawal_ = nullptr;
    DepositsWithdrawalsWindowController* history_ = nullptr;
    ChatWindowController* chat_ = nullptr;
    MessagesWindowController* notices_ = nullptr;
    // Which deposit window asked for which gateway payment, shared by all of them.
    std::shared_ptr<PayGateRequests> payGateRequests_;
    // Their requests left without an answer, matched to a new session's approval lists together.
    std::shared_ptr<LostFundingRequests> lostRequests_;
    std::function<bool(const QUrl&)> urlOpener_;
    QTableView* journal_ = nullptr;
    JournalTableModel* journalModel_ = nullptr;
    std::vector<ChartViewController*> charts_;
    PieChartViewController* pie_ = nullptr;
    NewsTableController* news_ = nullptr;
    ResourcesViewController* resources_ = nullptr;
    std::function<void(const std::string&)> passwordChanged_;
    bool refreshing_ = false;
    bool boardFitted_ = false;
    // Whether the trader shows the account pie; a window too narrow for it hides it meanwhile.
    bool pieWanted_ = true;
    // The panes under the toolbar, scrolled up and down on a screen too short for them.
    QScrollArea* panesScroll_ = nullptr;
    // The tabs' titles measured on a tab bar never shown, as the full titles need them.
    QTabBar* titleProbe_ = nullptr;
    std::vector<std::vector<QAction*>> toolbarGroups_;
    // The separator before each group but the first, shown where the group does not start a row.
    std::vector<QAction*> groupSeparators_;
    std::vector<QToolBar*> toolbarRows_;
    std::vector<int> toolbarRowOf_;
    // The client (ClientModel::generation) whose session the window has taken up.
    std::uint64_t boundGeneration_ = 0;
};

} // namespace tc::gui
