#pragma once
// The order ticket: one window for the run, opened from the main window and the watch lists. Simple
// mode sends a market order from the bid and ask buttons; advanced mode sets the order type, entry
// price, take profit, stop loss, deviation, time in force and validity, and sends from the place
// button. Its right drawer shows the instrument's depth ladders and a bid and ask chart, its left
// drawer the multi-account rows. The ticket keeps ids (the account number, the instrument code) and
// looks the records up on every use; every refusal comes back as the command's answer and is shown
// here, and sending leaves the ticket open.
#include "gui/trading/ticket_rules.h"
#include "interfaces/orders.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QMessageBox;

namespace Ui {
class TradeTicketWindowController;
}

namespace tc::gui {

class ChartController;
class ChartModel;
class ClientModel;
class GuiContext;
class HeaderEditor;
class MarketDepthTableController;
class MultiAccountTableModel;
class TickTracker;

class TradeTicketWindowController : public QWidget {
    Q_OBJECT
public:
    // The simple and the advanced mode's ids in the mode group.
    static constexpr int kSimpleMode = 1000;
    static constexpr int kAdvancedMode = 1001;
    // The drawer chart: mini ticks, bid and ask lines.
    static constexpr char kChartStartKey[] = "9#4";

    explicit TradeTicketWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~TradeTicketWindowController() override;

    // The opening sequence: whether the caller names the instrument, the instrument, the preparation,
    // then the showing above `owner` (no modal loop).
    void setIsTradeTicketfromWatchlist(bool named) { fromWatchlist_ = named; }
    void setValue(const std::string& itemCode) { itemCode_ = itemCode; }
    void windowDidAppear();
    void runModalWindow(QWidget* owner);

    // The watch list was saved: the ticket follows its first instrument, or closes when it is empty.
    void updateItemsinSymbolComboBox();

    // What the ticket stands on, for its tests and the benchmark.
    const std::string& itemCode() const { return itemCode_; }
    std::int32_t accountId() const { return accountId_; }
    std::optional<interfaces::OrderKind> orderKind() const { return kind_; }
    bool isAdvancedMode() const;
    bool isMultiAccountMode() const { return toggleMultiTrade_; }
    bool isMarketDepthOpen() const { return toggleMarketDepth_; }
    MultiAccountTableModel& multiAccountModel() const { return *multiModel_; }
    ChartController* tradeChart() const { return chart_; }
    MarketDepthTableController* buyDepth() const { return buyDepth_; }
    MarketDepthTableController* sellDepth() const { return sellDepth_; }
    QMessageBox* confirmationSheet() const;
    // The order as the fields stand (the account and quantity of one account).
    interfaces::OrderTicket currentTicket() const;

    // The one-second refresh of the quote, the price checks, the ladders and the margin column.
    void UpdateValuesinTimer();
    void setMode(int mode);
    // Chooses an order type of those offered, as the order type box does; false when it is not offered.
    bool selectOrderType(interfaces::OrderKind kind);
    // Rebuilds the multi-account rows for the order as set (ticks and quantities go).
    void LoadMultiAccountDetails() { checkandloadOrderTypesforMultiAccount(); }
    // Open the closed drawer, close the open one, through their buttons' state.
    void toggleRightDrawer();
    void toggleLeftDrawer();

Q_SIGNALS:
    // An order went to the server (one account or several).
    void orderSent();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Return places the order in advanced mode (simple mode has two sides, no default); Escape closes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The drawers follow their buttons' checked state, whatever changed it.
    void showRightDrawer(bool open);
    void showLeftDrawer(bool open);
    ClientModel* session() const;
    const AccountDetails* account() const;
    const ItemDetails* item() const;
    const GroupInstruments* settings() const;

    void updateLanguageStrings();
    // An order type, time in force or validity name in the selected language.
    QString shown(std::string_view name) const;
    QString rangeText(std::string_view key, double price, const ItemDetails* item) const;
    void LoadAccountDetails();
    void AccountSelectionIsChanging(const QString& accountText);
    void LoadSymbolDetails(bool named);
    void SymbolSelectionIsChanging(const std::string& code);
    void LoadQuantity();
    void refreshContractValue();
    void LoadOrderType();
    void SetOrderType(std::optional<interfaces::OrderKind> kind);
    void LoadTimeinForce();
    void LoadValidity();
    void TradeTicketRadioButtonClicked();
    void loadAvailableOrderControls();
    void SetFieldsforAvailableOrderTypes();
    void checkDeviationisAvailable();
    void EnableAdvancedControls();
    void selectSide(interfaces::Side side);
    void takeProfitCheckboxSelect();
    void stopLossCheckboxSelect();
    void deviationCheckboxSelect();
    void updatePriceinTextField();
    void updatePriceTextFieldColor();
    void stepField(QWidget* field, bool up);

    // Multi-account rows.
    void checkMultiTradeisAvailable();
    void checkandloadOrderTypesforMultiAccount();
    void DisableControlsonMultiTrade();
    void showMultiAccountQuantity();
    void doubleClickInTableViewHeader(int section);
    void TableHeaderEdited(const QString& text);
    void setDefaultWindow();

    // Sending.
    void buyButtonClicked();
    void sellButtonClicked();
    void sideButtonClicked(interfaces::Side side);
    void placeOrderButtonClicked();
    // The ticket's own checks and the order rules' per order (or per ticked row); false after an alert.
    // The order as it goes out: simple mode's at the market, without brackets or a deviation.
    interfaces::OrderTicket ticketFor(interfaces::Side side, bool simple) const;
    // The lots ordered: the quantity field's number, or the ticked rows' total.
    platform::Decimal orderQuantity(interfaces::Side side, bool simple) const;
    bool validate(interfaces::Side side, bool placeButton);
    void orderConfirmation(interfaces::Side side, const platform::Decimal& quantity);
    void sendPlaceorderObjects(interfaces::Side side, bool simple);
    void showRefusal(const interfaces::OrderResult& result);
    void alert(std::string_view key);
    void forgetSession();
    // Signed out (the stream lost): the prices stay, greyed, and Buy, Sell and Place are off.
    void followLoginState();

    std::unique_ptr<Ui::TradeTicketWindowController> ui_;
    GuiContext& context_;
    std::unique_ptr<ChartModel> chartModel_;
    QPointer<ClientModel> chartSession_;
    ChartController* chart_ = nullptr;
    MarketDepthTableController* buyDepth_ = nullptr;
    MarketDepthTableController* sellDepth_ = nullptr;
    MultiAccountTableModel* multiModel_ = nullptr;
    HeaderEditor* headerEditor_ = nullptr;
    std::unique_ptr<TickTracker> ticks_;
    QPointer<QMessageBox> confirmation_;
    bool ticking_ = false; // follows the client model's tick while shown

    std::string itemCode_;
    std::int32_t accountId_ = 0;
    AccountList accounts_; // the ticket's account list, built at opening
    std::optional<interfaces::OrderKind> kind_;
    std::vector<interfaces::OrderKind> kinds_;
    interfaces::TimeInForce timeInForce_ = interfaces::TimeInForce::Day;
    interfaces::Delivery delivery_ = interfaces::Delivery::Regular;
    interfaces::Side side_ = interfaces::Side::Buy;
    bool fromWatchlist_ = false;
    bool toggleMarketDepth_ = false;
    bool toggleMultiTrade_ = false;
    bool loading_ = false; // filling lists: their change signals are not the user's
};

} // namespace tc::gui
