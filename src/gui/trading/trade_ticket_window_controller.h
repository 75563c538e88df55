#pragma once
// The order ticket: one window for the run, opened from the main window and the watch lists. Simple
// mode sends a market order from the bid and ask buttons; advanced mode sets the order type, entry
// price, take profit, stop loss, deviation, time in force and validity, and sends from the place
// button. Its right drawer shows the instrument's depth ladders and a bid and ask chart, its left
// drawer the multi-account rows. The ticket keeps ids (the account number, the instrument code) and
// looks the records up on every use; every refusal comes back as the command's answer and is shown
// here, and sending leaves the ticket open.
//
// An order the ticket sent and the line lost before its answer may still have been carried out: the
// ticket says so at once, and once a later sign-in's lists are in, what they hold of it (the position
// or pending order of each account, or nothing, when it may be sent again); sending that same order
// again unchanged asks first, naming the earlier one. While an order waits and the server is silent,
// a line says so: the order still waits and nothing is sent again meanwhile.
//
// The window composes its parts (the instrument box, the quote panel, the advanced box and the two
// drawers) over one TicketState: the parts write the user's edits into it, the state's rules decide,
// and the window shows the state through the parts.
#include "gui/models/client_model.h"
#include "gui/trading/lost_order_rules.h"
#include "gui/trading/ticket_state.h"
#include "interfaces/orders.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QLabel;
class QMessageBox;

namespace Ui {
class TradeTicketWindowController;
}

namespace tc::gui {

class ChartController;
class ClientModel;
class GuiContext;
class MarketDepthTableController;
class MultiAccountTableModel;

class TradeTicketWindowController : public QWidget {
    Q_OBJECT
public:
    // The simple and the advanced mode's ids in the mode group.
    static constexpr int kSimpleMode = 1000;
    static constexpr int kAdvancedMode = 1001;

    explicit TradeTicketWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~TradeTicketWindowController() override;

    // The opening sequence: whether the caller names the instrument, the instrument, the preparation,
    // then the showing above `owner` (no modal loop).
    void setIsTradeTicketFromWatchlist(bool named) { fromWatchlist_ = named; }
    void setValue(const std::string& itemCode) { state_.chooseInstrument(itemCode); }
    void windowDidAppear();
    void runModalWindow(QWidget* owner);

    // The watch list was saved: the ticket follows its first instrument, or closes when it is empty.
    void updateItemsInSymbolComboBox();

    // What the ticket stands on, for its tests and the benchmark.
    const std::string& itemCode() const { return state_.itemCode(); }
    std::int32_t accountId() const { return state_.accountId(); }
    std::optional<interfaces::OrderKind> orderKind() const { return state_.kind(); }
    bool isAdvancedMode() const { return state_.advanced(); }
    bool isMultiAccountMode() const { return state_.multiAccount(); }
    bool isMarketDepthOpen() const { return toggleMarketDepth_; }
    MultiAccountTableModel& multiAccountModel() const;
    ChartController* tradeChart() const;
    MarketDepthTableController* buyDepth() const;
    MarketDepthTableController* sellDepth() const;
    QMessageBox* confirmationSheet() const;
    // The order as the fields stand (the account and quantity of one account).
    interfaces::OrderTicket currentTicket() const { return state_.ticket(); }
    // What the ticket says of the orders whose answers the line lost; hidden while there are none.
    QLabel* lostOrderNote() const;
    // The line saying that the server is not answering while an order sent waits for its answer;
    // hidden otherwise.
    QLabel* waitingLine() const;
    // Most orders the ticket follows to their answers; past it the oldest is no longer followed.
    static constexpr std::size_t kMaxFollowedOrders = 50;

    // The one-second refresh of the quote, the price checks, the ladders and the margin column.
    void UpdateValuesInTimer();
    // The multi-account rows' margins from the accounts' figures of this moment.
    void refreshMargins();
    void setMode(int mode);
    // Chooses an order type of those offered, as the order type box does; false when it is not offered.
    bool selectOrderType(interfaces::OrderKind kind);
    // Rebuilds the multi-account rows for the order as set (ticks and quantities go).
    void LoadMultiAccountDetails() { reloadRows(); }
    // Open the closed drawer, close the open one, through their buttons' state.
    void toggleRightDrawer();
    void toggleLeftDrawer();

Q_SIGNALS:
    // An order went to the server (one account or several).
    void orderSent();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Return presses the focused button and nothing else (no order from an entry field); Escape
    // closes.
    void keyPressEvent(QKeyEvent* event) override;
    // The lost orders' texts wrap again at the new width.
    void resizeEvent(QResizeEvent* event) override;

private:
    // The drawers follow their buttons' checked state, whatever changed it.
    void showRightDrawer(bool open);
    void showLeftDrawer(bool open);
    // The parts the ticket is built of, in the order the constructor builds them.
    void orderTabs();
    // Simple and advanced mode, and the drawers closed as the ticket opens.
    void addModeButtons();
    void connectInstrumentBox();
    void connectQuotePanel();
    void connectAdvancedBox();
    // The drawers' buttons and the accounts drawer's rows, and the confirmation box.
    void connectDrawers();
    // The depth drawer's and the refused cells' colours, now and at a theme change.
    void followTheme();
    // The session: its tick and refresh, a re-login of the same user or another's, a new client.
    void followSession();
    ClientModel* session() const;
    const AccountDetails* account() const;
    const ItemDetails* item() const;
    const GroupInstruments* settings() const;
    TicketRecords records() const { return {account(), item(), settings()}; }
    interfaces::Orders* orders() const;

    void updateLanguageStrings();
    // An order type, time in force or validity name in the selected language.
    QString shown(std::string_view name) const;
    void LoadAccountDetails();
    void LoadSymbolDetails(bool named);
    void SymbolSelectionIsChanging(const std::string& code);
    // The order types, times in force and validities as the state offers them, then the state.
    void showOrderLists();
    void LoadQuantity();
    // The session's accounts for the instrument, in the state and the instrument box; `keep` stays
    // the chosen account when it is one of them.
    void showSessionAccounts(std::optional<std::int32_t> keep);
    // The units line, and the quantity field marked when Buy or Sell would refuse it.
    void refreshContractValue();
    // A field's refusal in the selected language.
    QString refusalWords(const Refusal& refusal, std::string_view fieldKey) const;
    // A refusal of the ticket's checks in the selected language.
    QString verdictWords(const TicketVerdict& verdict) const;
    void changeMode(bool advanced);
    void changeOrderType(std::optional<interfaces::OrderKind> kind);
    void changeSide(interfaces::Side side);
    void changeBracket(TicketState::Bracket which, bool on);
    void stepField(TicketState::PriceField field, bool up);
    // Shows what the state holds through the parts, then the price hints.
    void showState();
    void showPriceHints();

    // Multi-account rows: rebuilt for the order as set (ticks and quantities go).
    void checkMultiTradeIsAvailable();
    void reloadRows();
    // Names the accounts a price deviation keeps out of the rows, under them.
    void showRowsNote();
    void DisableControlsOnMultiTrade();
    void showMultiAccountQuantity();
    void setDefaultWindow();

    // Sending.
    void sideButtonClicked(interfaces::Side side);
    void placeOrderButtonClicked();
    // The state's checks; false after an alert (or quietly when signed out).
    bool validate(interfaces::Side side, bool placeButton);
    void orderConfirmation(interfaces::Side side, const platform::Decimal& quantity);
    void sendPlaceOrderObjects(interfaces::Side side, bool simple);
    void showRefusal(const std::string& key, const std::string& text);

    // Orders sent and the line lost before their answers.
    struct TicketOrder {
        // Its accounts are the parts still without an answer; `sentTo` every part as sent, which a
        // repeat sends again.
        SentOrder order;
        std::vector<interfaces::AccountQuantity> sentTo;
        std::uint64_t request = 0; // the number its answer names
        std::string price;         // at the instrument's decimals; empty at market
        std::uint64_t session = 0; // the sign-in it went out on
        // What a later sign-in's lists hold of each account's part, once they are in.
        std::optional<std::vector<PartHeld>> held;
    };
    // The order sent, followed until its answer.
    void followOrder(TicketOrder order);
    // The line went: the orders still without an answer may have been carried out.
    void lineLost();
    // A later sign-in's lists are in, or changed since: what they hold of each order lost.
    void settleLostOrders(bool listsChanged);
    void showLostOrders();
    // The texts as high as they wrap to, up to a bound past which they scroll, and the window grown
    // so that the form keeps its fields' room.
    void fitLostOrderNote();
    // The line over the form while an order waits and the server is silent.
    void showWaiting();
    QString describe(const TicketOrder& order) const;
    // Each account's part as the lists hold it, one line each.
    QString heldLines(const TicketOrder& order) const;
    // The order about to go is one the line lost, unchanged: the trader is asked first, and `send`
    // runs only on their word. False when there is nothing to ask.
    bool askBeforeSendingAgain(interfaces::Side side, bool simple, std::function<void()> send);
    // Whether `ticket` over `accounts` sends `order` again, every part of it as sent.
    static bool repeats(const TicketOrder& order, const interfaces::OrderTicket& ticket,
                        std::span<const interfaces::AccountQuantity> accounts);
    // The lost orders the order about to go repeats.
    std::vector<TicketOrder>::iterator lostLike(interfaces::Side side, bool simple);
    void forgetOrders();

    void forgetSession();
    // The client is being replaced: its records, ladders and chart go, the form as typed stays.
    void letGoOfSession();
    // The same user signed in again: the new client's accounts (the chosen one kept), ladders and chart.
    void takeSessionBack();
    // Signed out (the stream lost): the prices stay, greyed, and Buy, Sell and Place are off.
    void followLoginState();

    std::unique_ptr<Ui::TradeTicketWindowController> ui_;
    GuiContext& context_;
    QPointer<ClientModel> chartSession_;
    // The user the ticket was made for: only their next sign-in gives it back its session.
    std::optional<SignInUser> user_;
    QPointer<QMessageBox> confirmation_;
    bool ticking_ = false; // follows the client model's tick while shown

    TicketState state_;
    std::vector<TicketOrder> awaiting_; // sent, oldest first, not yet answered
    std::vector<TicketOrder> lost_;     // the line went before their answers
    std::uint64_t sessions_ = 0;        // counts the sign-ins taken up again
    bool awaitingLists_ = false;        // taken up again, the new sign-in's lists still coming
    bool fromWatchlist_ = false;
    bool toggleMarketDepth_ = false;
};

} // namespace tc::gui
