#include "gui/trading/trade_ticket_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/app/waiting_answer.h"
#include "gui/controls/entry_refusal.h"
#include "gui/controls/toggles.h"
#include "gui/grid/grid_cells.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "gui/trading/multi_account_model.h"
#include "gui/trading/ticket_accounts_drawer.h"
#include "gui/trading/ticket_advanced_box.h"
#include "gui/trading/ticket_depth_drawer.h"
#include "gui/trading/ticket_instrument_box.h"
#include "gui/trading/ticket_quote_panel.h"
#include "gui/trading/ticket_widgets.h"
#include "model/account_figures.h"
#include "model/data_service_collections.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "ui_trade_ticket_window_controller.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QTableView>

#include <algorithm>

namespace tc::gui {
namespace {

using interfaces::OrderKind;
using interfaces::Side;

// The drawers' room beside the ticket.
constexpr int kDrawerSpacing = 10;
// Past this many lines the lost orders' texts scroll: fifty of them would push the form off the screen.
constexpr int kLostOrderNoteLines = 10;

template <class T>
const T* entry(const tc::SessionModel::Collection<T>& map, const std::string& key) {
    const auto* found = map.get(key);
    return found && *found ? found->get() : nullptr;
}

} // namespace

TradeTicketWindowController::TradeTicketWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::TradeTicketWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    EscapeClose::install(this, context_.language());
    setAttribute(Qt::WA_QuitOnClose, false);
    ui_->tradeTicketBox->bind(state_);
    ui_->AdvancedTradeTicketBox->bind(state_);
    ui_->leftDrawer->setTextSource([&context = context_](std::string_view key) { return context.text(key); });
    ui_->leftDrawer->model().setRefusalWords(
        [this](const Refusal& refusal) { return refusalWords(refusal, texts::kQuantity); });

    orderTabs();
    addModeButtons();
    chartSession_ = context_.clientModel();
    connectInstrumentBox();
    connectQuotePanel();
    connectAdvancedBox();
    connectDrawers();
    followTheme();
    followSession();
    followLoginState();

    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
}

void TradeTicketWindowController::orderTabs() {
    // The tab order runs through the parts in reading order, the drawers last.
    QWidget* previous = nullptr;
    for (const char* name : {"simpleRadioButton",
                             "advancedRadioButton",
                             "lostOrderArea",
                             "AccountComboBox",
                             "SymbolComboBox",
                             "QuantityComboBox",
                             "sellButton",
                             "buyButton",
                             "OrderTypeComboBox",
                             "BuyCheckBox",
                             "SellCheckBox",
                             "PriceTextField",
                             "TakeProfitCheckBox",
                             "TakeProfitPriceTextField",
                             "StopLossCheckBox",
                             "StopLossPriceTextField",
                             "DeviationCheckBox",
                             "DeviationTextField",
                             "TimeInForceComboBox",
                             "ValidityComboBox",
                             "PlaceOrderButton",
                             "multiTradeButton",
                             "showConfirmationCheckBox",
                             "marketDepthChartButton",
                             "multiAccountSelectAllCheckBox",
                             "multiTradeTableView"}) {
        auto* next = findChild<QWidget*>(QLatin1String(name));
        if (previous && next)
            setTabOrder(previous, next);
        previous = next;
    }
}

void TradeTicketWindowController::addModeButtons() {
    auto* modes = new QButtonGroup(this);
    modes->setObjectName(QStringLiteral("TradeTicketRadioGroup"));
    modes->addButton(ui_->simpleRadioButton, kSimpleMode);
    modes->addButton(ui_->advancedRadioButton, kAdvancedMode);
    connect(modes, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (on)
            changeMode(id == kAdvancedMode);
    });
    ui_->leftDrawer->hide();
    ui_->rightDrawer->hide();
    ui_->rightDrawer->attach(context_);
}

void TradeTicketWindowController::connectInstrumentBox() {
    TicketInstrumentBox* instrument = ui_->tradeTicketBox;
    connect(instrument, &TicketInstrumentBox::accountChosen, this, [this](std::int32_t id) {
        state_.chooseAccount(id);
        state_.loadKinds(records(), orders());
        state_.resetDelivery();
        state_.applySideRights(records(), orders());
        showOrderLists();
        refreshContractValue();
    });
    connect(instrument, &TicketInstrumentBox::instrumentChosen, this, [this](const QString& code) {
        SymbolSelectionIsChanging(code.toStdString());
        state_.fillPrices(orders());
        state_.loadKinds(records(), orders());
        state_.resetDelivery();
        showOrderLists();
        refreshContractValue();
    });
    connect(instrument, &TicketInstrumentBox::quantityEdited, this, [this] { refreshContractValue(); });
}

void TradeTicketWindowController::connectQuotePanel() {
    TicketQuotePanel* quote = ui_->quotePanel;
    // Advanced mode: the price buttons choose the side; simple mode: they send.
    connect(quote, &TicketQuotePanel::buyClicked, this, [this] {
        if (state_.advanced())
            changeSide(Side::Buy);
        else
            sideButtonClicked(Side::Buy);
    });
    connect(quote, &TicketQuotePanel::sellClicked, this, [this] {
        if (state_.advanced())
            changeSide(Side::Sell);
        else
            sideButtonClicked(Side::Sell);
    });
}

void TradeTicketWindowController::connectAdvancedBox() {
    TicketAdvancedBox* advanced = ui_->AdvancedTradeTicketBox;
    connect(advanced, &TicketAdvancedBox::orderTypeChosen, this,
            [this](OrderKind kind) { changeOrderType(kind); });
    connect(advanced, &TicketAdvancedBox::sideChosen, this, &TradeTicketWindowController::changeSide);
    connect(advanced, &TicketAdvancedBox::bracketToggled, this, &TradeTicketWindowController::changeBracket);
    connect(advanced, &TicketAdvancedBox::deviationToggled, this, [this](bool on) {
        state_.setDeviation(on);
        reloadRows();
        showState();
    });
    connect(advanced, &TicketAdvancedBox::stepped, this, &TradeTicketWindowController::stepField);
    connect(advanced, &TicketAdvancedBox::fieldEdited, this, &TradeTicketWindowController::showPriceHints);
    connect(advanced, &TicketAdvancedBox::placeClicked, this,
            &TradeTicketWindowController::placeOrderButtonClicked);
}

void TradeTicketWindowController::connectDrawers() {
    connect(ui_->leftDrawer, &TicketAccountsDrawer::orderChanged, this,
            &TradeTicketWindowController::showMultiAccountQuantity);
    connect(ui_->leftDrawer, &TicketAccountsDrawer::quantityRefused, this, [this](const QString& text) {
        showRefusal(
            {}, refusalWords(readQuantityEntry(text.toStdString()).refusal, texts::kQuantity).toStdString());
    });
    ui_->showConfirmationCheckBox->setChecked(context_.guiObjects().showConfirmationAlert());
    connect(ui_->showConfirmationCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { context_.guiObjects().setShowConfirmationAlert(on); });
    connect(ui_->multiTradeButton, &QPushButton::toggled, this, &TradeTicketWindowController::showLeftDrawer);
    connect(ui_->marketDepthChartButton, &QPushButton::toggled, this,
            &TradeTicketWindowController::showRightDrawer);
}

void TradeTicketWindowController::followTheme() {
    const auto paintRefusedCells = [this] {
        const ThemeManager& themes = context_.themes();
        ui_->leftDrawer->model().setRefusedColours(themes.colour(ThemeRole::PriceInvalidText),
                                                   themes.colour(ThemeRole::PriceInvalidGround));
    };
    connect(&context_.themes(), &ThemeManager::themeChanged, this,
            [this, paintRefusedCells](std::int64_t theme) {
                ui_->rightDrawer->applyTheme(static_cast<int>(theme));
                paintRefusedCells();
                showPriceHints();
                refreshContractValue();
            });
    ui_->rightDrawer->applyTheme(static_cast<int>(context_.themes().getThemeForKey()));
    paintRefusedCells();
}

void TradeTicketWindowController::followSession() {
    // Another session: the ticket lets go of every record of the old one. A new client of the same
    // user (a sign-in again after a loss) finds the ticket as typed; another user's closes it.
    connect(&context_, &GuiContext::clientModelChanged, this, [this] { forgetSession(); });
    if (ClientModel* model = context_.clientModel()) {
        user_ = model->signedInUser();
        connect(model, &ClientModel::clientAboutToBeReplaced, this, [this] { letGoOfSession(); });
        connect(model, &ClientModel::userChanged, this, [this] { forgetSession(); });
        connect(model, &ClientModel::loginStateChanged, this, [this, model](interfaces::LoginState state) {
            // The answers still awaited can no longer come: the trader hears of them now.
            if (state == interfaces::LoginState::Lost || state == interfaces::LoginState::SignedOut)
                lineLost();
            if (state == interfaces::LoginState::SignedIn && !chartSession_ && model->signedInUser() == user_)
                takeSessionBack();
            followLoginState();
        });
        connect(model, &ClientModel::requestAnswered, this, [this](const interfaces::RequestAnswer& answer) {
            // An order over several accounts is answered account by account: each part waits for its own.
            std::erase_if(awaiting_, [&](TicketOrder& order) {
                if (order.request != answer.request)
                    return false;
                if (answer.account.empty())
                    return true;
                std::erase_if(order.order.accounts, [&](const interfaces::AccountQuantity& part) {
                    return std::to_string(part.accountId) == answer.account;
                });
                return order.order.accounts.empty();
            });
            showWaiting();
        });
        // A silent server's prices are not current: the buttons grey and start nothing, as the tiles'.
        // An order still waiting is said to wait, nothing sent again: a silence is no loss.
        connect(model, &ClientModel::answeringChanged, this, [this] {
            followLoginState();
            showWaiting();
        });
        connect(model, &ClientModel::tick, this, [this] {
            if (ticking_)
                UpdateValuesInTimer();
            settleLostOrders(false);
        });
        // The accounts' figures move with the core's refresh, not the ticket's second: the margins
        // follow it, as the status bar and the accounts grid do, so all read one moment.
        connect(model, &ClientModel::tablesChanged, this, [this](interfaces::TableSet tables) {
            if (ticking_ && tables.contains(interfaces::Table::Accounts))
                refreshMargins();
            settleLostOrders(tables.contains(interfaces::Table::OpenPositions) ||
                             tables.contains(interfaces::Table::PendingOrders));
        });
    }
}

TradeTicketWindowController::~TradeTicketWindowController() = default;

ClientModel* TradeTicketWindowController::session() const {
    ClientModel* model = context_.clientModel();
    return model == chartSession_ ? model : nullptr;
}

const AccountDetails* TradeTicketWindowController::account() const {
    ClientModel* model = session();
    return model ? entry(model->client().model().AccountDetailCollection, std::to_string(state_.accountId()))
                 : nullptr;
}

const ItemDetails* TradeTicketWindowController::item() const {
    ClientModel* model = session();
    return model ? instrumentOf(model->client().model(), state_.itemCode()) : nullptr;
}

const GroupInstruments* TradeTicketWindowController::settings() const {
    ClientModel* model = session();
    return model ? groupSettings(model->client().model(), account(), item()) : nullptr;
}

interfaces::Orders* TradeTicketWindowController::orders() const {
    ClientModel* model = session();
    return model ? &model->client().orders() : nullptr;
}

MultiAccountTableModel& TradeTicketWindowController::multiAccountModel() const {
    return ui_->leftDrawer->model();
}

ChartController* TradeTicketWindowController::tradeChart() const {
    return ui_->rightDrawer->chart();
}

MarketDepthTableController* TradeTicketWindowController::buyDepth() const {
    return ui_->rightDrawer->buyDepth();
}

MarketDepthTableController* TradeTicketWindowController::sellDepth() const {
    return ui_->rightDrawer->sellDepth();
}

QMessageBox* TradeTicketWindowController::confirmationSheet() const {
    return confirmation_.data();
}

QLabel* TradeTicketWindowController::lostOrderNote() const {
    return ui_->lostOrderNote;
}

QLabel* TradeTicketWindowController::waitingLine() const {
    return ui_->waitingLine;
}

void TradeTicketWindowController::followLoginState() {
    const ClientModel* model = session();
    state_.setLive(model && model->isLive());
    const bool live = state_.controls(records()).ordersEnabled;
    ui_->quotePanel->setLive(live);
    ui_->AdvancedTradeTicketBox->setLive(live);
}

void TradeTicketWindowController::forgetSession() {
    close();
    // The ladders and the chart read the old session: they go now (the session may go before the
    // deferred delete), and the ticket is made afresh for the next one.
    letGoOfSession();
    deleteLater();
}

void TradeTicketWindowController::letGoOfSession() {
    lineLost();
    ticking_ = false;
    // Nothing confirmed on the old session goes out on the new one.
    if (confirmation_)
        confirmation_->reject();
    state_.setAccounts({});
    ui_->leftDrawer->model().setAccounts({});
    ui_->rightDrawer->detach();
    chartSession_ = nullptr;
    followLoginState();
}

void TradeTicketWindowController::takeSessionBack() {
    ui_->rightDrawer->attach(context_);
    chartSession_ = context_.clientModel();
    ++sessions_;
    awaitingLists_ = !lost_.empty();
    // A closed ticket is filled afresh at its next opening.
    if (!isVisible())
        return;
    showSessionAccounts(state_.accountId());
    ui_->rightDrawer->setInstrument(state_.itemCode());
    checkMultiTradeIsAvailable();
    UpdateValuesInTimer();
    showState();
    refreshContractValue();
    ticking_ = true;
    settleLostOrders(false);
}

// ---- opening and closing

void TradeTicketWindowController::windowDidAppear() {
    if (!session())
        return;
    followLoginState();
    updateLanguageStrings();
    LoadAccountDetails();
    LoadSymbolDetails(fromWatchlist_);
    setCheckedQuietly(ui_->simpleRadioButton, true);
    changeMode(false);
    LoadQuantity();
    UpdateValuesInTimer();
    ticking_ = true;
    checkMultiTradeIsAvailable();
    setDefaultWindow();
}

void TradeTicketWindowController::runModalWindow(QWidget* owner) {
    if (owner && parentWidget() != owner)
        setParent(owner, windowFlags()); // stays above its owner, no modal loop
    show();
    raise();
    activateWindow();
}

void TradeTicketWindowController::closeEvent(QCloseEvent* event) {
    setDefaultWindow();
    ticking_ = false;
    // The next opening is a new ticket: nothing sent from this one is told there, and nothing typed
    // in this one (a multi-account cell's mark outlives its hidden drawer) is asked about there.
    forgetOrders();
    keepTypedText(this);
    if (confirmation_)
        confirmation_->reject();
    QWidget::closeEvent(event);
}

void TradeTicketWindowController::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // An order is placed only by its own button: Return on a focused button presses it, and
        // does nothing in an entry field, where it was typed to end a price, not to trade.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && isAncestorOf(button)) {
            if (button->isEnabled())
                button->click();
            return;
        }
        event->accept();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TradeTicketWindowController::updateLanguageStrings() {
    const auto text = [this](std::string_view key) { return context_.text(key); };
    const auto names = [this](std::string_view name) { return shown(name); };
    // A button reads "&" as its shortcut mark: the texts' own ones are doubled.
    const auto buttonText = [](QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); };
    // The depth panel opens on the trailing side, the accounts panel on the leading one: the
    // arrows point there in either layout direction.
    ui_->marketDepthChartButton->setText(buttonText(
        panelButtonText(context_.text(texts::kMarketDepthChart), PanelEdge::Trailing, layoutDirection())));
    ui_->multiTradeButton->setText(buttonText(
        panelButtonText(context_.text(texts::kMultiAccount), PanelEdge::Leading, layoutDirection())));
    ui_->quotePanel->setSideNames(context_.text(texts::kBuy), context_.text(texts::kSell));
    ui_->AdvancedTradeTicketBox->retranslate(text);
    ui_->rightDrawer->setSeriesTitles(context_.text(texts::kBid), context_.text(texts::kAsk));
    ui_->leftDrawer->retranslate();
    showRowsNote();
    showLostOrders();
    showWaiting();
    ui_->AdvancedTradeTicketBox->renameLists(names);
    ui_->quotePanel->showRange(state_.quoteTexts(item()), context_.text(texts::kLow),
                               context_.text(texts::kHigh));
    // The reasons a field gives read in the language too.
    showPriceHints();
    refreshContractValue();
}

QString TradeTicketWindowController::refusalWords(const Refusal& refusal, std::string_view fieldKey) const {
    return tc::gui::refusalWords(context_.language().selected(), refusal, fieldKey);
}

QString TradeTicketWindowController::verdictWords(const TicketVerdict& verdict) const {
    // The order rules' text as given; else the ticket's key, naming its field or filled with its limit.
    if (!verdict.text.empty())
        return ticketText(verdict.text);
    return refusalWords(verdict, verdict.fieldKey);
}

QString TradeTicketWindowController::shown(std::string_view name) const {
    return ticketText(shownName(context_.language().selected(), name));
}

void TradeTicketWindowController::updateItemsInSymbolComboBox() {
    ClientModel* model = session();
    if (!model || !isVisible())
        return;
    if (model->client().watchList().empty()) {
        close();
        return;
    }
    LoadSymbolDetails(false);
    state_.fillPrices(orders());
    state_.loadKinds(records(), orders());
    state_.resetDelivery();
    showOrderLists();
}

// ---- accounts, instrument, quantities

void TradeTicketWindowController::LoadAccountDetails() {
    ClientModel* model = session();
    const auto watchList = model->client().watchList();
    if (state_.itemCode().empty() && !watchList.empty())
        state_.chooseInstrument(watchList.front());
    // Built at opening only, for the instrument selected then.
    showSessionAccounts(std::nullopt);
}

void TradeTicketWindowController::showSessionAccounts(std::optional<std::int32_t> keep) {
    ClientModel* model = session();
    state_.setAccounts(ticketAccounts(model->client().model(),
                                      model->client().queries().getAccountCollection(), state_.itemCode()));
    std::vector<std::int32_t> ids;
    for (const auto& a : state_.accounts())
        ids.push_back(a->AccountId);
    if (keep && std::find(ids.begin(), ids.end(), *keep) != ids.end())
        state_.chooseAccount(*keep);
    ui_->tradeTicketBox->setAccounts(ids, state_.accountId());
}

void TradeTicketWindowController::LoadSymbolDetails(bool named) {
    ClientModel* model = session();
    const auto watchList = model->client().watchList();
    if (!named && !watchList.empty())
        state_.chooseInstrument(watchList.front());
    QStringList codes;
    for (const auto& c : watchList)
        codes << ticketText(c);
    ui_->tradeTicketBox->setInstruments(codes, ticketText(state_.itemCode()));
    SymbolSelectionIsChanging(state_.itemCode());
}

void TradeTicketWindowController::SymbolSelectionIsChanging(const std::string& code) {
    state_.chooseInstrument(code);
    const ItemDetails* instrument = item();
    ui_->tradeTicketBox->showInstrument(ticketText(code),
                                        instrument ? ticketText(instrument->Name) : QString());
    const int decimals =
        instrument ? std::clamp(instrument->DecimalPlaces, 0, ItemDetails::kMaxDecimalPlaces) : 2;
    ui_->AdvancedTradeTicketBox->setDecimals(decimals);
    state_.setPriceDecimals(decimals);
    ui_->rightDrawer->setInstrument(code);
    UpdateValuesInTimer();
    state_.applySideRights(records(), orders());
    reloadRows();
    showState();
    LoadQuantity();
}

void TradeTicketWindowController::showOrderLists() {
    const auto names = [this](std::string_view name) { return shown(name); };
    ui_->AdvancedTradeTicketBox->fillOrderTypes(names);
    ui_->AdvancedTradeTicketBox->fillTimesInForce(names);
    ui_->AdvancedTradeTicketBox->fillValidity(deliveries(settings()), names);
    reloadRows();
    showState();
}

void TradeTicketWindowController::LoadQuantity() {
    QStringList entries;
    for (const auto& q : TicketState::quantities(settings()))
        entries << ticketText(q);
    state_.resetQuantity();
    ui_->tradeTicketBox->setQuantities(entries, ticketText(state_.quantity()));
    if (state_.multiAccount())
        showMultiAccountQuantity();
    refreshContractValue();
}

void TradeTicketWindowController::refreshContractValue() {
    std::vector<TickedLots> ticked;
    if (ClientModel* model = session(); model && state_.multiAccount())
        for (const auto& row : ui_->leftDrawer->model().rows())
            if (row.ticked)
                ticked.push_back(
                    {row.quantity, groupSettings(model->client().model(), row.accountDet.get(), item())});
    ui_->tradeTicketBox->showContractValue(ticketText(state_.contractValue(records(), ticked)));
    // The button's own reason, as soon as the trader's entry would be refused; an empty field is being
    // typed, and the ticket's own 0 waits for one (Buy names both).
    const auto refusal = state_.quantity().empty() || state_.quantityFilled()
                             ? std::nullopt
                             : state_.quantityVerdict(settings());
    ui_->tradeTicketBox->markQuantity(refusal ? verdictWords(*refusal) : QString(), context_.themes());
}

// ---- order type, side, brackets, mode

void TradeTicketWindowController::changeMode(bool advanced) {
    state_.setMode(advanced, records(), orders());
    showOrderLists();
}

void TradeTicketWindowController::setMode(int mode) {
    setCheckedQuietly(mode == kAdvancedMode ? ui_->advancedRadioButton : ui_->simpleRadioButton, true);
    changeMode(mode == kAdvancedMode);
}

bool TradeTicketWindowController::selectOrderType(OrderKind kind) {
    const auto& kinds = state_.kinds();
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
        return false;
    changeOrderType(kind);
    ui_->AdvancedTradeTicketBox->fillOrderTypes([this](std::string_view name) { return shown(name); });
    return true;
}

void TradeTicketWindowController::changeOrderType(std::optional<OrderKind> kind) {
    state_.setKind(kind, records(), orders());
    ui_->AdvancedTradeTicketBox->fillTimesInForce([this](std::string_view name) { return shown(name); });
    reloadRows();
    showState();
}

void TradeTicketWindowController::changeSide(Side side) {
    state_.selectSide(side, orders());
    showState();
}

void TradeTicketWindowController::changeBracket(TicketState::Bracket which, bool on) {
    state_.setBracket(which, on, orders());
    reloadRows();
    showState();
}

void TradeTicketWindowController::stepField(TicketState::PriceField field, bool up) {
    // A typed value is taken as it stands before the step.
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    if (state_.step(field, item(), up))
        showState();
}

void TradeTicketWindowController::showState() {
    const TicketControls controls = state_.controls(records());
    ui_->AdvancedTradeTicketBox->show(controls);
    ui_->tradeTicketBox->setSingleAccount(controls.singleAccount);
    showPriceHints();
}

void TradeTicketWindowController::showPriceHints() {
    ui_->AdvancedTradeTicketBox->showHints(state_.priceHints(orders()), context_.themes(),
                                           [this](const Refusal& refusal, std::string_view fieldKey) {
                                               return refusalWords(refusal, fieldKey);
                                           });
}

void TradeTicketWindowController::UpdateValuesInTimer() {
    ui_->quotePanel->showQuote(state_.quote(item()), context_.text(texts::kLow), context_.text(texts::kHigh));
    // The prices the ticket filled keep to their limits as the quote moves, until the user sets them;
    // not while a confirmation shows them, so the order sent is the one confirmed.
    const bool confirming = confirmation_ && confirmation_->isVisible();
    if (!confirming && state_.followLimits(orders()))
        showState();
    else
        showPriceHints();
    refreshMargins();
}

void TradeTicketWindowController::refreshMargins() {
    ClientModel* model = session();
    if (!model || !state_.multiAccount())
        return;
    const SessionModel& records = model->client().model();
    ui_->leftDrawer->model().refreshMargins(
        accountFigures(records, state_.accounts(), records.OpenOrderCollection));
}

// ---- drawers and multi-account rows

void TradeTicketWindowController::toggleRightDrawer() {
    ui_->marketDepthChartButton->setChecked(!toggleMarketDepth_);
}

void TradeTicketWindowController::toggleLeftDrawer() {
    ui_->multiTradeButton->setChecked(!state_.multiAccount());
}

void TradeTicketWindowController::showRightDrawer(bool open) {
    if (open == toggleMarketDepth_)
        return;
    toggleMarketDepth_ = open;
    const int room = ui_->rightDrawer->sizeHint().width() + kDrawerSpacing;
    // Read before the drawer shows: showing it already widens the window to its new minimum.
    const int before = width();
    ui_->rightDrawer->setVisible(open);
    if (isVisible())
        resize(before + (open ? room : -room), height());
}

void TradeTicketWindowController::showLeftDrawer(bool open) {
    if (open == state_.multiAccount())
        return;
    state_.setMultiAccount(open);
    // The drawer takes what it wants up to its widest; the ticket keeps its own width.
    const int room =
        std::min(ui_->leftDrawer->sizeHint().width(), ui_->leftDrawer->maximumWidth()) + kDrawerSpacing;
    const int before = width();
    ui_->leftDrawer->setVisible(open);
    if (isVisible())
        resize(before + (open ? room : -room), height());
    DisableControlsOnMultiTrade();
    state_.loadKinds(records(), orders());
    showOrderLists();
}

void TradeTicketWindowController::setDefaultWindow() {
    if (toggleMarketDepth_)
        toggleRightDrawer();
    if (state_.multiAccount()) {
        state_.setMultiAccount(false);
        ui_->leftDrawer->hide();
        setCheckedQuietly(ui_->multiTradeButton, false);
    }
    DisableControlsOnMultiTrade();
    adjustSize();
}

void TradeTicketWindowController::checkMultiTradeIsAvailable() {
    const bool offered = multiAccountOffered(state_.accounts());
    ui_->multiTradeButton->setVisible(offered);
    if (offered)
        reloadRows();
}

void TradeTicketWindowController::reloadRows() {
    if (!state_.multiAccount())
        return;
    ui_->leftDrawer->setRows(multiAccountRowAccounts(
        state_.accounts(), item(), state_.kind(), state_.bracket(TicketState::Bracket::TakeProfit).on,
        state_.bracket(TicketState::Bracket::StopLoss).on, state_.deviation().on));
    showRowsNote();
    refreshMargins();
}

void TradeTicketWindowController::showRowsNote() {
    QStringList left;
    if (state_.multiAccount() && state_.deviation().on)
        for (const std::int32_t account :
             accountsLeftOutByDeviation(state_.accounts(), item(), state_.kind(),
                                        state_.bracket(TicketState::Bracket::TakeProfit).on,
                                        state_.bracket(TicketState::Bracket::StopLoss).on))
            left << QString::number(account);
    ui_->leftDrawer->setNote(left.isEmpty()
                                 ? QString()
                                 : context_.text(texts::kAccountsAllowNoPriceDeviation)
                                       .replace(QStringLiteral("{0}"), left.join(QStringLiteral(", "))));
}

void TradeTicketWindowController::DisableControlsOnMultiTrade() {
    const bool single = state_.controls(records()).singleAccount;
    ui_->tradeTicketBox->setSingleAccount(single);
    if (!single) {
        ui_->leftDrawer->clearSelectAll();
        showMultiAccountQuantity();
    }
}

void TradeTicketWindowController::showMultiAccountQuantity() {
    if (!state_.multiAccount())
        return;
    state_.setQuantity(tickedTotal(ui_->leftDrawer->model().rows()).toString());
    ui_->tradeTicketBox->showQuantity(ticketText(state_.quantity()));
    refreshContractValue();
}

// ---- sending

void TradeTicketWindowController::showRefusal(const std::string& key, const std::string& text) {
    CommonAlert::open(this, {context_.text(kTicketAlertTitleKey),
                             text.empty() ? context_.text(key) : ticketText(text),
                             AlertSpec::Warning,
                             {},
                             QStringLiteral("ticketRefusal")});
}

bool TradeTicketWindowController::validate(Side side, bool placeButton) {
    // The prices the ticket filled stand on their limits of this moment, not of the last second's
    // refresh: a quote that moved since would refuse them though the trader set none.
    if (state_.followLimits(orders()))
        showState();
    const TicketVerdict verdict =
        state_.check(side, placeButton, records(), orders(), ui_->leftDrawer->model().rows());
    if (verdict.outcome == TicketVerdict::Outcome::Refused)
        showRefusal(verdict.key, verdictWords(verdict).toStdString());
    return verdict.go();
}

void TradeTicketWindowController::sideButtonClicked(Side side) {
    if (!validate(side, false))
        return;
    changeSide(side);
    if (askBeforeSendingAgain(side, true, [this, side] { sendPlaceOrderObjects(side, true); }))
        return;
    if (context_.guiObjects().dontShowOrderConfirmation())
        sendPlaceOrderObjects(side, true);
    else
        orderConfirmation(side, state_.orderQuantity(side, true, ui_->leftDrawer->model().rows()));
}

void TradeTicketWindowController::placeOrderButtonClicked() {
    const Side side = state_.side();
    if (!validate(side, true))
        return;
    // The question names the order: the trader's word to it stands for the confirmation too.
    if (askBeforeSendingAgain(side, false, [this, side] { sendPlaceOrderObjects(side, false); }))
        return;
    if (state_.kind() == OrderKind::Market && !context_.guiObjects().dontShowOrderConfirmation()) {
        orderConfirmation(side, state_.orderQuantity(side, false, ui_->leftDrawer->model().rows()));
        return;
    }
    sendPlaceOrderObjects(side, false);
}

void TradeTicketWindowController::orderConfirmation(Side side, const platform::Decimal& quantity) {
    if (confirmation_ && confirmation_->isVisible())
        return; // one sheet at a time
    ConfirmationTexts texts;
    texts.side = context_.text(side == Side::Buy ? texts::kBuy : texts::kSell).toStdString();
    texts.atMarket = context_.text(texts::kMarketRate).toStdString();
    texts.takeProfit = context_.text(texts::kTakeProfit).toStdString();
    texts.stopLoss = context_.text(texts::kStopLoss).toStdString();
    texts.accountShare = context_.text(texts::kAccountShareLine).toStdString();
    const auto accounts = state_.multiAccount() ? tickedAccounts(ui_->leftDrawer->model().rows())
                                                : std::vector<interfaces::AccountQuantity>();
    const std::string body = state_.confirmation(texts, quantity, item(), accounts);

    auto* sheet = new QMessageBox(this);
    sheet->setObjectName(QStringLiteral("orderConfirmationSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setIcon(QMessageBox::Information);
    sheet->setTextFormat(Qt::PlainText);
    sheet->setWindowTitle(context_.text(texts::kOrderConfirmation));
    sheet->setText(context_.text(texts::kOrderConfirmation));
    sheet->setInformativeText(QString::fromStdString(body).trimmed());
    CommonAlert::keepTextsAtReadingSide(sheet);
    // Room for the order's line without wrapping it.
    sheet->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 300px; }"));
    QPushButton* place = sheet->addButton(context_.text(texts::kPlace), QMessageBox::AcceptRole);
    place->setObjectName(QStringLiteral("confirmButton"));
    QPushButton* cancel = sheet->addButton(context_.text(texts::kCancel), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    sheet->setDefaultButton(place);
    sheet->setEscapeButton(cancel);
    auto* suppress = new QCheckBox(context_.text(texts::kDoNotAskAgainUntil), sheet);
    suppress->setObjectName(QStringLiteral("suppressionCheckBox"));
    sheet->setCheckBox(suppress);
    connect(sheet, &QMessageBox::buttonClicked, this,
            [this, sheet, place, suppress, side](QAbstractButton* pressed) {
                if (pressed != place)
                    return;
                if (suppress->isChecked())
                    context_.guiObjects().setDontShowOrderConfirmation(true);
                sheet->hide();
                sendPlaceOrderObjects(side, !state_.advanced());
            });
    confirmation_ = sheet;
    sheet->open();
}

void TradeTicketWindowController::sendPlaceOrderObjects(Side side, bool simple) {
    ClientModel* model = session();
    if (!model)
        return;
    const interfaces::OrderTicket t = state_.ticketFor(side, simple);
    const auto accounts = state_.multiAccount() ? tickedAccounts(ui_->leftDrawer->model().rows())
                                                : std::vector<interfaces::AccountQuantity>();
    TicketOrder sent;
    sent.order.ticket = t;
    sent.order.accounts = orderParts(t, accounts);
    sent.sentTo = sent.order.accounts;
    // What the lists hold now is not this order's, whatever becomes of it.
    const SessionQueries& queries = model->client().queries();
    sent.order.listedBefore = listedFor(t.instrument, sent.order.accounts, queries.getOpenOrderCollection(),
                                        queries.getPendingOrderCollection());
    if (t.price && t.kind != OrderKind::Market)
        sent.price = priceText(*t.price, item());
    sent.session = sessions_;
    interfaces::Orders& orders = model->client().orders();
    const interfaces::OrderResult result =
        state_.multiAccount() ? orders.placeMultiAccountOrder(t, accounts) : orders.placeOrder(t);
    if (!result.sent()) {
        showRefusal(result.refusalKey, result.refusalText);
        return;
    }
    // An earlier order this one repeats is sent again: what the ticket said of it is done with.
    std::erase_if(lost_, [&](const TicketOrder& lost) { return repeats(lost, t, accounts); });
    showLostOrders();
    sent.request = result.request;
    followOrder(std::move(sent));
    // What was typed went out with the order: Escape no longer asks to drop it.
    keepTypedText(this);
    Q_EMIT orderSent();
}

} // namespace tc::gui

namespace tc::gui {

// ---- orders the line lost before their answers

void TradeTicketWindowController::followOrder(TicketOrder order) {
    if (awaiting_.size() >= kMaxFollowedOrders)
        awaiting_.erase(awaiting_.begin());
    awaiting_.push_back(std::move(order));
    showWaiting();
}

void TradeTicketWindowController::lineLost() {
    if (awaiting_.empty())
        return;
    // Every record the lists hold now came with a report read before the line went, each of which
    // answered its own request or no request of ours: an order without an answer made none of them.
    // Save like orders in flight together: the wire cannot tell them apart, so a report of one waits
    // for the others', and what came since the oldest of them went out may be any one's.
    const ClientModel* model = session();
    std::vector<std::set<std::string>> sentBefore;
    for (const TicketOrder& order : awaiting_)
        sentBefore.push_back(order.order.listedBefore);
    for (TicketOrder& order : awaiting_) {
        if (model) {
            const SessionQueries& queries = model->client().queries();
            std::set<std::string> listed =
                listedFor(order.order.ticket.instrument, order.order.accounts,
                          queries.getOpenOrderCollection(), queries.getPendingOrderCollection());
            for (std::size_t i = 0; i < awaiting_.size(); ++i)
                if (&awaiting_[i] != &order && repeats(awaiting_[i], order.order.ticket, order.sentTo))
                    std::erase_if(listed, [&](const std::string& id) { return !sentBefore[i].contains(id); });
            order.order.listedBefore.merge(listed);
        }
    }
    for (TicketOrder& order : awaiting_)
        lost_.push_back(std::move(order));
    awaiting_.clear();
    while (lost_.size() > kMaxFollowedOrders)
        lost_.erase(lost_.begin());
    showLostOrders();
    showWaiting();
}

void TradeTicketWindowController::showWaiting() {
    // Only a silence is said: an order is answered at once, and a line that came and went with each
    // one would move the ticket under the trader's hand.
    const ClientModel* model = session();
    const bool silent = model && !awaiting_.empty() && !model->client().networkSpeed().answering;
    if (silent)
        ui_->waitingLine->setText(context_.text(waitingAnswerKey(false)));
    ui_->waitingLine->setVisible(silent);
}

void TradeTicketWindowController::settleLostOrders(bool listsChanged) {
    ClientModel* model = session();
    if (!model || lost_.empty() || (!awaitingLists_ && !listsChanged))
        return;
    const DataServiceCollections& lists = model->client().dataService();
    if (!lists.openPositionsListed || !lists.pendingOrdersListed)
        return;
    awaitingLists_ = false;
    // A record told as an earlier order's holds no other. The parts the lists held nothing of are
    // looked for again at each change: the server may carry such an order out after the sign-in (a
    // request it held, answered on the new stream).
    std::set<std::string> taken;
    for (const TicketOrder& order : lost_)
        for (const PartHeld& part : order.held.value_or(std::vector<PartHeld>()))
            if (!part.id.empty())
                taken.insert(part.id);
    std::vector<SentOrder> open;
    std::vector<TicketOrder*> telling;
    for (TicketOrder& order : lost_) {
        if (order.session >= sessions_)
            continue;
        SentOrder unheld = order.order;
        if (order.held)
            for (std::size_t i = 0; i < order.held->size() && i < order.order.accounts.size(); ++i)
                if ((*order.held)[i].by != PartHeld::By::Nothing)
                    std::erase_if(unheld.accounts, [&](const interfaces::AccountQuantity& part) {
                        return part.accountId == order.order.accounts[i].accountId;
                    });
        if (unheld.accounts.empty())
            continue;
        open.push_back(std::move(unheld));
        telling.push_back(&order);
    }
    const SessionQueries& queries = model->client().queries();
    const auto held =
        heldParts(open, queries.getOpenOrderCollection(), queries.getPendingOrderCollection(), taken);
    bool changed = false;
    for (std::size_t i = 0; i < telling.size(); ++i) {
        TicketOrder& order = *telling[i];
        if (!order.held) {
            order.held = held[i];
            changed = true;
        } else {
            for (const PartHeld& found : held[i]) {
                if (found.by == PartHeld::By::Nothing)
                    continue;
                for (PartHeld& part : *order.held)
                    if (part.account == found.account && part.by == PartHeld::By::Nothing) {
                        part = found;
                        changed = true;
                        break;
                    }
            }
        }
        // What the lists hold now and was not taken for it is another order's, and so is any
        // position the later fill of such a pending order opens.
        if (heldOf(*order.held) != Held::All)
            order.order.listedBefore.merge(listedFor(order.order.ticket.instrument, order.order.accounts,
                                                     queries.getOpenOrderCollection(),
                                                     queries.getPendingOrderCollection()));
    }
    if (changed)
        showLostOrders();
}

QString TradeTicketWindowController::describe(const TicketOrder& order) const {
    const interfaces::OrderTicket& t = order.order.ticket;
    const std::int64_t language = context_.language().selected();
    const QString side = context_.text(t.side == Side::Buy ? texts::kBuy : texts::kSell);
    const QString kind = shown(orderKindName(t.kind));
    const QString price = order.price.empty() ? context_.text(texts::kMarketRate) : ticketText(order.price);
    const QString instrument = ticketText(t.instrument);
    const auto& parts = order.order.accounts;
    if (parts.size() == 1)
        return filledText(language, texts::kTicketOrderDescription,
                          {side, kind, ticketText(parts.front().quantity.toString()), instrument, price,
                           QString::number(parts.front().accountId)});
    QStringList shares;
    for (const interfaces::AccountQuantity& part : parts)
        shares << filledText(language, texts::kAccountLots,
                             {QString::number(part.accountId), ticketText(part.quantity.toString())});
    return filledText(language, texts::kTicketMultiOrderDescription,
                      {side, kind, instrument, price, shares.join(QStringLiteral(", "))});
}

QString TradeTicketWindowController::heldLines(const TicketOrder& order) const {
    const std::int64_t language = context_.language().selected();
    QStringList lines;
    for (const PartHeld& part : order.held.value_or(std::vector<PartHeld>())) {
        const QString account = QString::number(part.account);
        switch (part.by) {
        case PartHeld::By::Position:
            lines << filledText(language, texts::kTicketPartPosition, {account, ticketText(part.id)});
            break;
        case PartHeld::By::PendingOrder:
            lines << filledText(language, texts::kTicketPartPendingOrder, {account, ticketText(part.id)});
            break;
        case PartHeld::By::Nothing:
            lines << filledText(language, texts::kTicketPartNotCarriedOut, {account});
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void TradeTicketWindowController::showLostOrders() {
    const std::int64_t language = context_.language().selected();
    QStringList paragraphs;
    for (const TicketOrder& order : lost_) {
        const QString what = describe(order);
        if (!order.held) {
            paragraphs << filledText(language, texts::kTicketOrderNoAnswer, {what});
            continue;
        }
        switch (heldOf(*order.held)) {
        case Held::All:
            paragraphs << filledText(language, texts::kTicketOrderCarriedOut, {what}) + QLatin1Char('\n') +
                              heldLines(order);
            break;
        case Held::Some:
            paragraphs << filledText(language, texts::kTicketOrderPartlyCarriedOut, {what}) +
                              QLatin1Char('\n') + heldLines(order);
            break;
        case Held::Nothing:
            paragraphs << filledText(language, texts::kTicketOrderNotCarriedOut, {what});
            break;
        }
    }
    ui_->lostOrderNote->setText(paragraphs.join(QStringLiteral("\n\n")));
    fitLostOrderNote();
}

void TradeTicketWindowController::fitLostOrderNote() {
    QScrollArea* area = ui_->lostOrderArea;
    QLabel* note = ui_->lostOrderNote;
    area->setVisible(!note->text().isEmpty());
    if (area->isHidden())
        return;
    // A wrapped label asks the layout for too little height: left to it, the texts took the room of
    // the fields under them.
    if (QLayout* box = layout())
        box->activate();
    const int needs = note->heightForWidth(area->width());
    const int most = note->fontMetrics().lineSpacing() * kLostOrderNoteLines;
    area->setFixedHeight(std::min(needs, most));
    // Scrolled texts are reached from the keyboard too.
    area->setFocusPolicy(needs > most ? Qt::StrongFocus : Qt::NoFocus);
    if (QLayout* box = layout())
        box->activate();
    if (height() < sizeHint().height())
        resize(width(), sizeHint().height());
}

void TradeTicketWindowController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitLostOrderNote();
}

bool TradeTicketWindowController::repeats(const TicketOrder& order, const interfaces::OrderTicket& ticket,
                                          std::span<const interfaces::AccountQuantity> accounts) {
    SentOrder whole;
    whole.ticket = order.order.ticket;
    whole.accounts = order.sentTo;
    return sameOrder(whole, ticket, accounts);
}

std::vector<TradeTicketWindowController::TicketOrder>::iterator
TradeTicketWindowController::lostLike(Side side, bool simple) {
    const interfaces::OrderTicket t = state_.ticketFor(side, simple);
    const auto accounts = state_.multiAccount() ? tickedAccounts(ui_->leftDrawer->model().rows())
                                                : std::vector<interfaces::AccountQuantity>();
    // The newest first: the question names the order sent last. One the new lists hold nothing of is
    // asked about too: the server may still carry it out.
    const auto found = std::find_if(lost_.rbegin(), lost_.rend(),
                                    [&](const TicketOrder& order) { return repeats(order, t, accounts); });
    return found == lost_.rend() ? lost_.end() : std::prev(found.base());
}

bool TradeTicketWindowController::askBeforeSendingAgain(Side side, bool simple, std::function<void()> send) {
    const auto earlier = lostLike(side, simple);
    if (earlier == lost_.end())
        return false;
    const std::int64_t language = context_.language().selected();
    const QString question =
        earlier->held && heldOf(*earlier->held) != Held::Nothing
            ? filledText(language, texts::kTicketSendHeldOrderAgainQuestion,
                         {describe(*earlier), heldLines(*earlier)})
            : filledText(language, texts::kTicketSendOrderAgainQuestion, {describe(*earlier)});
    CommonAlert::askSendAgain(this, context_, context_.text(texts::kTradeTicketTitle), question,
                              QStringLiteral("sendOrderAgain"), [this, side, simple, send = std::move(send)] {
                                  // Still the same order, and it may still go (the line, the checks).
                                  if (lostLike(side, simple) != lost_.end() && validate(side, !simple))
                                      send();
                              });
    return true;
}

void TradeTicketWindowController::forgetOrders() {
    awaiting_.clear();
    lost_.clear();
    awaitingLists_ = false;
    showLostOrders();
    showWaiting();
}

} // namespace tc::gui
