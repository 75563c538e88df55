#include "gui/trading/trade_ticket_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_controller.h"
#include "gui/controls/decimal_text_field.h"
#include "gui/controls/header_editor.h"
#include "gui/controls/input_filters.h"
#include "gui/controls/price_stepper.h"
#include "gui/controls/toggles.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/depth_ladder.h"
#include "gui/market/grid_cells.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/models/chart_model.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "gui/trading/multi_account_model.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/session_queries.h"
#include "ui_trade_ticket_window_controller.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

#include <algorithm>

namespace tc::gui {
namespace {

using interfaces::OrderKind;
using interfaces::Side;

constexpr int kArrowSize = 14;
// The drawers' room beside the ticket.
constexpr int kDrawerSpacing = 10;
// The multi-account drawer's widest, and its layout's margin.
constexpr int kLeftDrawerWidth = 400;
constexpr int kDrawerMargin = 6;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <class T>
const T* entry(const tc::SessionModel::Collection<T>& map, const std::string& key) {
    const auto* found = map.get(key);
    return found && *found ? found->get() : nullptr;
}

void setArrow(QLabel* view, Tick tick) {
    const int shown = tick == Tick::Up ? 1 : tick == Tick::Down ? -1 : 0;
    if (view->property("tick").toInt() == shown && view->property("tick").isValid())
        return;
    view->setProperty("tick", shown);
    if (shown == 0)
        view->clear();
    else
        view->setPixmap(
            image(shown > 0 ? "banner_green_arrow" : "banner_red_arrow").pixmap(kArrowSize, kArrowSize));
}

// The stretched columns share the width equally, so the table is kept wide enough for its widest
// title in each of them, with room for a vertical scroll bar once the rows outgrow it.
int widthForTitles(const QTableView* table) {
    const QHeaderView* header = table->horizontalHeader();
    int fixed = 0;
    int widest = 0;
    int stretched = 0;
    for (int section = 0; section < header->count(); ++section) {
        if (header->isSectionHidden(section))
            continue;
        const int wants = header->sectionSizeHint(section);
        if (header->sectionResizeMode(section) == QHeaderView::Stretch) {
            widest = std::max(widest, wants);
            ++stretched;
        } else {
            fixed += std::max(wants, header->sectionSize(section));
        }
    }
    return fixed + stretched * widest + 2 * table->frameWidth() +
           table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
}

// Lists a combo box's entries without announcing them as the user's choice.
void fill(QComboBox* box, const QStringList& entries, const QString& current) {
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(entries);
    const int at = box->findText(current);
    if (at >= 0)
        box->setCurrentIndex(at);
    else if (box->isEditable())
        box->setEditText(current);
    else
        box->setCurrentIndex(entries.isEmpty() ? -1 : 0);
}

} // namespace

TradeTicketWindowController::TradeTicketWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::TradeTicketWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* modes = new QButtonGroup(this);
    modes->setObjectName(QStringLiteral("TradeTicketRadioGroup"));
    modes->addButton(ui_->simpleRadioButton, kSimpleMode);
    modes->addButton(ui_->advancedRadioButton, kAdvancedMode);
    connect(modes, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            changeMode();
    });

    installDecimalFilter(ui_->QuantityComboBox);
    installPortFilter(ui_->DeviationTextField); // digits only, at most five
    for (QLabel* arrow : {ui_->buyIndicatorImageView, ui_->sellIndicatorImageView})
        arrow->setFixedSize(kArrowSize, kArrowSize);
    // No width of their own: the contract value grows with the quantity, and the window with it.
    QFont code = ui_->SymbolTextLabel->font();
    code.setBold(true);
    ui_->SymbolTextLabel->setFont(code);
    ui_->leftDrawer->hide();
    ui_->rightDrawer->hide();

    // The drawers: the depth ladders over the chart, the multi-account rows.
    if (context_.clientModel()) {
        buyDepth_ = new MarketDepthTableController(context_, DepthSide::Buy, ui_->rightDrawer);
        sellDepth_ = new MarketDepthTableController(context_, DepthSide::Sell, ui_->rightDrawer);
        buyDepth_->setObjectName(QStringLiteral("BuyMarketDepthTableView"));
        sellDepth_->setObjectName(QStringLiteral("SellMarketDepthTableView"));
        for (MarketDepthTableController* ladder : {buyDepth_, sellDepth_}) {
            // Room for the header and five levels; the chart takes the rest.
            ladder->setFixedHeight(ladder->horizontalHeader()->sizeHint().height() +
                                   5 * ladder->verticalHeader()->defaultSectionSize() +
                                   2 * ladder->frameWidth());
            ui_->depthLayout->addWidget(ladder);
        }
        // A small chart: it repaints every second.
        ui_->TradeChart->setFixedHeight(240);
        ui_->rightDrawerLayout->addStretch(1);
        chartModel_ = std::make_unique<ChartModel>(*context_.clientModel());
        chartSession_ = context_.clientModel();
        chart_ = new ChartController(*chartModel_, ui_->TradeChart);
        chart_->setObjectName(QStringLiteral("TradeChartView"));
        chart_->setLanguage(context_.language());
        ui_->chartLayout->addWidget(chart_);
    }
    multiModel_ =
        new MultiAccountTableModel([this](std::string_view key) { return context_.text(key); }, this);
    ui_->multitradeTableView->setModel(multiModel_);
    ui_->multitradeTableView->verticalHeader()->hide();
    ui_->multitradeTableView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui_->multitradeTableView->horizontalHeader()->setSectionResizeMode(MultiAccountTableModel::Tick,
                                                                       QHeaderView::ResizeToContents);
    ui_->multitradeTableView->setEditTriggers(QAbstractItemView::DoubleClicked |
                                              QAbstractItemView::EditKeyPressed |
                                              QAbstractItemView::AnyKeyPressed);
    headerEditor_ = new HeaderEditor(ui_->multitradeTableView->horizontalHeader());
    connect(ui_->multitradeTableView->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &TradeTicketWindowController::doubleClickInTableViewHeader);
    connect(headerEditor_, &HeaderEditor::edited, this, &TradeTicketWindowController::TableHeaderEdited);
    connect(multiModel_, &MultiAccountTableModel::orderChanged, this,
            &TradeTicketWindowController::showMultiAccountQuantity);
    connect(multiModel_, &MultiAccountTableModel::rowTicked, this,
            [this] { setCheckedQuietly(ui_->multiAccountSelectAllCheckBox, false); });
    connect(ui_->multiAccountSelectAllCheckBox, &QCheckBox::toggled, this,
            [this](bool all) { multiModel_->tickAll(all); });

    connect(ui_->AccountComboBox, &QComboBox::activated, this, [this] {
        bool number = false;
        const int id = ui_->AccountComboBox->currentText().toInt(&number);
        if (number)
            state_.chooseAccount(id);
        state_.loadKinds(records(), orders());
        state_.resetDelivery();
        state_.applySideRights(records(), orders());
        fillOrderTypes();
        fillValidity();
        reloadRows();
        showState();
    });
    connect(ui_->SymbolComboBox, &QComboBox::activated, this, [this] {
        SymbolSelectionIsChanging(ui_->SymbolComboBox->currentText().toStdString());
        state_.fillPrices(orders());
        state_.loadKinds(records(), orders());
        state_.resetDelivery();
        fillOrderTypes();
        fillValidity();
        reloadRows();
        showState();
        refreshContractValue();
    });
    connect(ui_->QuantityComboBox, &QComboBox::activated, this, [this] {
        // The chosen entry is written back as its plain number.
        const auto value = fieldDecimal(ui_->QuantityComboBox->currentText().toStdString());
        ui_->QuantityComboBox->setEditText(qs(value.value_or(platform::Decimal()).toString()));
        refreshContractValue();
    });
    connect(ui_->QuantityComboBox, &QComboBox::editTextChanged, this, [this](const QString& text) {
        state_.setQuantity(text.toStdString());
        if (!loading_)
            refreshContractValue();
    });
    connect(ui_->OrderTypeComboBox, &QComboBox::activated, this, [this](int index) {
        const auto& kinds = state_.kinds();
        if (index >= 0 && index < static_cast<int>(kinds.size()))
            changeOrderType(kinds[static_cast<std::size_t>(index)]);
    });
    connect(ui_->TimeinforceComboBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(std::size(kTimesInForce)))
            state_.setTimeInForce(kTimesInForce[index]);
    });
    connect(ui_->ValidityComboBox, &QComboBox::activated, this, [this](int index) {
        const auto offered = deliveries(settings());
        if (index >= 0 && index < static_cast<int>(offered.size()))
            state_.setDelivery(offered[static_cast<std::size_t>(index)]);
    });
    // The fields write what is typed (or filled) into the state; the state fills them back.
    connect(ui_->PriceTextField, &QLineEdit::textChanged, this,
            [this](const QString& text) { state_.setPrice(text.toStdString()); });
    connect(ui_->TakeProfitPriceTextField, &QLineEdit::textChanged, this, [this](const QString& text) {
        state_.setBracketText(TicketState::Bracket::TakeProfit, text.toStdString());
    });
    connect(ui_->StopLossPriceTextField, &QLineEdit::textChanged, this, [this](const QString& text) {
        state_.setBracketText(TicketState::Bracket::StopLoss, text.toStdString());
    });
    connect(ui_->DeviationTextField, &QLineEdit::textChanged, this,
            [this](const QString& text) { state_.setDeviationText(text.toStdString()); });
    connect(ui_->TakeProfitCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { changeBracket(TicketState::Bracket::TakeProfit, on); });
    connect(ui_->StopLossCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { changeBracket(TicketState::Bracket::StopLoss, on); });
    connect(ui_->DeviationCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        state_.setDeviation(on);
        reloadRows();
        showState();
    });
    // The two sides act as a pair: either box, on or off, leaves its own side chosen.
    connect(ui_->BuyCheckBox, &QCheckBox::toggled, this, [this] { changeSide(Side::Buy); });
    connect(ui_->SellCheckBox, &QCheckBox::toggled, this, [this] { changeSide(Side::Sell); });
    connect(ui_->PriceStepper, &PriceStepper::stepped, this,
            [this](bool up) { stepField(TicketState::PriceField::Entry, up); });
    connect(ui_->TakeProfitStepper, &PriceStepper::stepped, this,
            [this](bool up) { stepField(TicketState::PriceField::TakeProfit, up); });
    connect(ui_->StopLossStepper, &PriceStepper::stepped, this,
            [this](bool up) { stepField(TicketState::PriceField::StopLoss, up); });
    connect(ui_->buyButton, &QPushButton::clicked, this, &TradeTicketWindowController::buyButtonClicked);
    connect(ui_->sellButton, &QPushButton::clicked, this, &TradeTicketWindowController::sellButtonClicked);
    connect(ui_->PlaceOrderButton, &QPushButton::clicked, this,
            &TradeTicketWindowController::placeOrderButtonClicked);
    ui_->showConfirmationCheckBox->setChecked(context_.guiObjects().showConfirmationAlert());
    connect(ui_->showConfirmationCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { context_.guiObjects().setShowConfirmationAlert(on); });
    connect(ui_->multitradeButton, &QPushButton::toggled, this, &TradeTicketWindowController::showLeftDrawer);
    connect(ui_->marketDepthChartButton, &QPushButton::toggled, this,
            &TradeTicketWindowController::showRightDrawer);

    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this](std::int64_t theme) {
        if (chart_)
            chart_->applyChartTheme(static_cast<int>(theme));
        for (QWidget* field : {static_cast<QWidget*>(ui_->PriceTextField),
                               static_cast<QWidget*>(ui_->TakeProfitPriceTextField),
                               static_cast<QWidget*>(ui_->StopLossPriceTextField)})
            field->setProperty("priceCheck", QVariant()); // repainted at the next check
        showPriceHints();
    });
    if (chart_)
        chart_->applyChartTheme(static_cast<int>(context_.themes().getThemeForKey()));
    // Another session: the ticket lets go of every record of the old one.
    connect(&context_, &GuiContext::clientModelChanged, this, [this] { forgetSession(); });
    if (ClientModel* model = context_.clientModel()) {
        connect(model, &ClientModel::clientAboutToBeReplaced, this, [this] { forgetSession(); });
        connect(model, &ClientModel::loginStateChanged, this, [this] { followLoginState(); });
        connect(model, &ClientModel::tick, this, [this] {
            if (ticking_)
                UpdateValuesinTimer();
        });
    }
    followLoginState();

    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
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

QMessageBox* TradeTicketWindowController::confirmationSheet() const {
    return confirmation_.data();
}

void TradeTicketWindowController::followLoginState() {
    const ClientModel* model = session();
    state_.setLive(model && model->loginState() == interfaces::LoginState::SignedIn);
    const bool live = state_.controls(records()).ordersEnabled;
    for (PriceButton* button : {ui_->buyButton, ui_->sellButton}) {
        button->setEnabled(live);
        button->setStale(!live);
    }
    ui_->PlaceOrderButton->setEnabled(live);
}

void TradeTicketWindowController::forgetSession() {
    close();
    ticking_ = false;
    state_.setAccounts({});
    multiModel_->setAccounts({});
    // The ladders and the chart read the old session: they go now (the session may go before the
    // deferred delete), and the ticket is made afresh for the next one.
    delete chart_;
    chart_ = nullptr;
    chartModel_.reset();
    delete buyDepth_;
    buyDepth_ = nullptr;
    delete sellDepth_;
    sellDepth_ = nullptr;
    chartSession_ = nullptr;
    deleteLater();
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
    changeMode();
    LoadQuantity();
    UpdateValuesinTimer();
    ticking_ = true;
    checkMultiTradeisAvailable();
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
    if (confirmation_)
        confirmation_->reject();
    QWidget::closeEvent(event);
}

void TradeTicketWindowController::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (state_.advanced() && state_.controls(records()).ordersEnabled) {
            ui_->PlaceOrderButton->click();
            return;
        }
        break;
    case Qt::Key_Escape:
        close();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void TradeTicketWindowController::updateLanguageStrings() {
    // A button reads "&" as its shortcut mark: the texts' own ones are doubled.
    const auto buttonText = [](QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); };
    ui_->marketDepthChartButton->setText(
        buttonText(context_.text(texts::kMarketDepthChart) + QStringLiteral(" >>")));
    ui_->multitradeButton->setText(buttonText(QStringLiteral("<< ") + context_.text(texts::kMultiAccount)));
    ui_->PriceStepper->setFieldName(context_.text(texts::kPrice0232));
    ui_->TakeProfitStepper->setFieldName(context_.text(texts::kTakeProfit));
    ui_->StopLossStepper->setFieldName(context_.text(texts::kStopLoss));
    ui_->buyButton->setAccessibleName(context_.text(texts::kBuy));
    ui_->sellButton->setAccessibleName(context_.text(texts::kSell));
    ui_->DeviationTextField->setAccessibleName(context_.text(texts::kAllowPriceDeviationPoints));
    ui_->TakeProfitPriceTextField->setAccessibleName(context_.text(texts::kTakeProfit));
    ui_->StopLossPriceTextField->setAccessibleName(context_.text(texts::kStopLoss));
    ui_->multitradeTableView->setAccessibleName(context_.text(texts::kMultiAccount));
    if (chart_)
        chart_->setSeriesTitles(context_.text(texts::kBid), context_.text(texts::kAsk));
    multiModel_->retitle();
    const int tableWidth = widthForTitles(ui_->multitradeTableView);
    ui_->multitradeTableView->setMinimumWidth(tableWidth);
    // The drawer does not grow with the window beyond its rows' needs; the ticket takes the rest.
    ui_->leftDrawer->setMaximumWidth(
        std::max(kLeftDrawerWidth, tableWidth + 2 * kDrawerMargin + 2 * ui_->leftDrawer->frameWidth()));
    // The names in the order type, time in force and validity lists, in the lists' order.
    const auto& kinds = state_.kinds();
    for (int i = 0; i < ui_->OrderTypeComboBox->count() && i < static_cast<int>(kinds.size()); ++i)
        ui_->OrderTypeComboBox->setItemText(i, shown(orderKindName(kinds[static_cast<std::size_t>(i)])));
    for (int i = 0; i < ui_->TimeinforceComboBox->count() && i < static_cast<int>(std::size(kTimesInForce));
         ++i)
        ui_->TimeinforceComboBox->setItemText(i, shown(timeInForceName(kTimesInForce[i])));
    const auto offered = deliveries(settings());
    for (int i = 0; i < ui_->ValidityComboBox->count() && i < static_cast<int>(offered.size()); ++i)
        ui_->ValidityComboBox->setItemText(i, shown(deliveryName(offered[static_cast<std::size_t>(i)])));
    ui_->ValidityComboBox->setPlaceholderText(shown(deliveryName(interfaces::Delivery::Regular)));
    const TicketQuote quote = state_.quoteTexts(item());
    if (quote.known) {
        ui_->LowTextLabel->setText(rangeText(texts::kLow, quote.low));
        ui_->HighTextLabel->setText(rangeText(texts::kHigh, quote.high));
    }
}

// "Low : 1.2345", "High : ..." in the selected language.
QString TradeTicketWindowController::rangeText(std::string_view key, const std::string& price) const {
    return context_.text(key) + QStringLiteral(" : ") + qs(price);
}

QString TradeTicketWindowController::shown(std::string_view name) const {
    return qs(shownName(context_.language().selected(), name));
}

void TradeTicketWindowController::updateItemsinSymbolComboBox() {
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
    fillOrderTypes();
    fillValidity();
    reloadRows();
    showState();
}

// ---- accounts, instrument, quantities

void TradeTicketWindowController::LoadAccountDetails() {
    ClientModel* model = session();
    const auto watchList = model->client().watchList();
    if (state_.itemCode().empty() && !watchList.empty())
        state_.chooseInstrument(watchList.front());
    // Built at opening only, for the instrument selected then.
    state_.setAccounts(ticketAccounts(model->client().model(),
                                      model->client().queries().getAccountCollection(), state_.itemCode()));
    QStringList numbers;
    for (const auto& a : state_.accounts())
        numbers << QString::number(a->AccountId);
    fill(ui_->AccountComboBox, numbers, QString::number(state_.accountId()));
}

void TradeTicketWindowController::LoadSymbolDetails(bool named) {
    ClientModel* model = session();
    const auto watchList = model->client().watchList();
    if (!named && !watchList.empty())
        state_.chooseInstrument(watchList.front());
    QStringList codes;
    for (const auto& c : watchList)
        codes << qs(c);
    fill(ui_->SymbolComboBox, codes, qs(state_.itemCode()));
    SymbolSelectionIsChanging(state_.itemCode());
}

void TradeTicketWindowController::SymbolSelectionIsChanging(const std::string& code) {
    state_.chooseInstrument(code);
    const ItemDetails* instrument = item();
    {
        const QSignalBlocker quiet(ui_->SymbolComboBox);
        ui_->SymbolComboBox->setCurrentIndex(ui_->SymbolComboBox->findText(qs(code)));
    }
    ui_->SymbolDescriptionTextField->setText(instrument ? qs(instrument->Name) : QString());
    const int decimals =
        instrument ? std::clamp(instrument->DecimalPlaces, 0, ItemDetails::kMaxDecimalPlaces) : 2;
    for (DecimalTextField* field :
         {ui_->PriceTextField, ui_->TakeProfitPriceTextField, ui_->StopLossPriceTextField})
        field->setMaximumDecimals(decimals);
    if (chart_)
        chart_->setValue(qs(code), QString::fromLatin1(kChartStartKey));
    for (MarketDepthTableController* ladder : {buyDepth_, sellDepth_})
        if (ladder)
            ladder->setValue(code);
    UpdateValuesinTimer();
    state_.applySideRights(records(), orders());
    reloadRows();
    showState();
    LoadQuantity();
}

void TradeTicketWindowController::LoadQuantity() {
    QStringList entries;
    for (const auto& q : TicketState::quantities(settings()))
        entries << qs(q);
    state_.resetQuantity();
    loading_ = true;
    fill(ui_->QuantityComboBox, entries, qs(state_.quantity()));
    ui_->QuantityComboBox->setEditText(qs(state_.quantity()));
    loading_ = false;
    if (state_.multiAccount())
        showMultiAccountQuantity();
    refreshContractValue();
}

void TradeTicketWindowController::refreshContractValue() {
    ui_->QuantityDescriptionTextField->setText(qs(state_.contractValue(item())));
}

// ---- order type, time in force, validity, mode

void TradeTicketWindowController::fillOrderTypes() {
    QStringList names;
    for (OrderKind kind : state_.kinds())
        names << shown(orderKindName(kind));
    fill(ui_->OrderTypeComboBox, names, names.value(0));
    const QSignalBlocker quiet(ui_->OrderTypeComboBox);
    ui_->OrderTypeComboBox->setCurrentText(state_.kind() ? shown(orderKindName(*state_.kind())) : QString());
    fillTimesInForce();
}

void TradeTicketWindowController::fillTimesInForce() {
    QStringList names;
    for (auto tif : kTimesInForce)
        names << shown(timeInForceName(tif));
    fill(ui_->TimeinforceComboBox, names, shown(timeInForceName(state_.timeInForce())));
}

void TradeTicketWindowController::fillValidity() {
    QStringList names;
    for (auto delivery : deliveries(settings()))
        names << shown(deliveryName(delivery));
    // Regular is chosen even when the group carries no margin for it: then it shows as the box's
    // placeholder, not as another entry's text.
    const QString regular = shown(deliveryName(state_.delivery()));
    fill(ui_->ValidityComboBox, names, regular);
    ui_->ValidityComboBox->setPlaceholderText(regular);
    if (!names.contains(regular)) {
        const QSignalBlocker quiet(ui_->ValidityComboBox);
        ui_->ValidityComboBox->setCurrentIndex(-1);
    }
}

void TradeTicketWindowController::changeMode() {
    state_.setMode(ui_->advancedRadioButton->isChecked(), records(), orders());
    fillOrderTypes();
    fillValidity();
    reloadRows();
    showState();
}

void TradeTicketWindowController::setMode(int mode) {
    setCheckedQuietly(mode == kAdvancedMode ? ui_->advancedRadioButton : ui_->simpleRadioButton, true);
    changeMode();
}

bool TradeTicketWindowController::selectOrderType(OrderKind kind) {
    const auto& kinds = state_.kinds();
    const auto at = std::find(kinds.begin(), kinds.end(), kind);
    if (at == kinds.end())
        return false;
    ui_->OrderTypeComboBox->setCurrentIndex(static_cast<int>(at - kinds.begin()));
    changeOrderType(kind);
    return true;
}

void TradeTicketWindowController::changeOrderType(std::optional<OrderKind> kind) {
    state_.setKind(kind, records(), orders());
    fillTimesInForce();
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

namespace {

void showText(QLineEdit* field, const std::string& text) {
    const QString shown = qs(text);
    if (field->text() != shown)
        field->setText(shown);
}

} // namespace

void TradeTicketWindowController::showState() {
    const TicketControls c = state_.controls(records());
    ui_->AdvancedTradeTicketBox->setEnabled(c.advanced);
    ui_->BuyCheckBox->setVisible(c.advanced);
    ui_->SellCheckBox->setVisible(c.advanced);
    setCheckedQuietly(ui_->BuyCheckBox, c.advanced && state_.side() == Side::Buy);
    setCheckedQuietly(ui_->SellCheckBox, c.advanced && state_.side() == Side::Sell);
    const char* icon = state_.side() == Side::Buy ? "buy_button_img" : "sell_button_img";
    if (ui_->PlaceOrderButton->property("iconName").toString() != QLatin1String(icon)) {
        ui_->PlaceOrderButton->setProperty("iconName", QLatin1String(icon));
        ui_->PlaceOrderButton->setIcon(image(icon));
    }
    ui_->PriceTextField->setEnabled(c.pendingPrice);
    ui_->PriceStepper->setEnabled(c.pendingPrice);
    ui_->TimeinforceComboBox->setEnabled(c.pendingPrice);
    showText(ui_->PriceTextField, state_.price());

    struct BracketWidgets {
        TicketState::Bracket which;
        bool offered;
        QCheckBox* box;
        QLineEdit* field;
        QWidget* stepper;
        QLabel* hint;
    };
    for (const BracketWidgets& b :
         {BracketWidgets{TicketState::Bracket::TakeProfit, c.takeProfitShown, ui_->TakeProfitCheckBox,
                         ui_->TakeProfitPriceTextField, ui_->TakeProfitStepper,
                         ui_->takeprofitpricesuggestionLabel},
          BracketWidgets{TicketState::Bracket::StopLoss, c.stopLossShown, ui_->StopLossCheckBox,
                         ui_->StopLossPriceTextField, ui_->StopLossStepper,
                         ui_->stoplosspricesuggestionLabel}}) {
        const TicketField& field = state_.bracket(b.which);
        for (QWidget* w : {static_cast<QWidget*>(b.box), static_cast<QWidget*>(b.field), b.stepper,
                           static_cast<QWidget*>(b.hint)})
            w->setVisible(b.offered);
        // Simple mode leaves the boxes as they were: the whole box is off there.
        if (c.advanced)
            b.box->setEnabled(c.bracketsEnabled);
        setCheckedQuietly(b.box, field.on);
        b.field->setEnabled(field.on);
        b.stepper->setEnabled(field.on);
        showText(b.field, field.text);
    }
    ui_->DeviationCheckBox->setVisible(c.deviationShown);
    ui_->DeviationTextField->setVisible(c.deviationShown);
    setCheckedQuietly(ui_->DeviationCheckBox, state_.deviation().on);
    ui_->DeviationTextField->setEnabled(state_.deviation().on);
    showText(ui_->DeviationTextField, state_.deviation().text);

    ui_->AccountComboBox->setEnabled(c.singleAccount);
    ui_->QuantityComboBox->setEnabled(c.singleAccount);
    showPriceHints();
}

void TradeTicketWindowController::showPriceHints() {
    const auto paint = [this](QLineEdit* field, PriceCheck check) {
        const int shown = static_cast<int>(check);
        const QVariant was = field->property("priceCheck");
        if (was.isValid() && was.toInt() == shown)
            return; // a style sheet change costs; only a change is painted
        field->setProperty("priceCheck", shown);
        if (check == PriceCheck::Untested) {
            field->setStyleSheet(QString());
            return;
        }
        const bool valid = check == PriceCheck::Valid;
        const QColor ground =
            context_.themes().colour(valid ? ThemeRole::PriceValidGround : ThemeRole::PriceInvalidGround);
        const QColor text =
            context_.themes().colour(valid ? ThemeRole::PriceValidText : ThemeRole::PriceInvalidText);
        field->setStyleSheet(
            QStringLiteral("QLineEdit { background-color: %1; color: %2; }").arg(ground.name(), text.name()));
    };
    const auto label = [](QLabel* hint, const std::string& text) {
        const QString shown = qs(text);
        if (hint->text() != shown)
            hint->setText(shown);
    };
    const TicketPriceHints hints = state_.priceHints(orders());
    label(ui_->contigentpricesuggestionLabel, hints.entry.limit);
    paint(ui_->PriceTextField, hints.entry.check);
    label(ui_->takeprofitpricesuggestionLabel, hints.takeProfit.limit);
    paint(ui_->TakeProfitPriceTextField, hints.takeProfit.check);
    label(ui_->stoplosspricesuggestionLabel, hints.stopLoss.limit);
    paint(ui_->StopLossPriceTextField, hints.stopLoss.check);
}

void TradeTicketWindowController::UpdateValuesinTimer() {
    const TicketQuote quote = state_.quote(item());
    const auto setText = [](QLabel* label, const QString& text) {
        if (label->text() != text)
            label->setText(text);
    };
    setText(ui_->SymbolTextLabel, qs(quote.code));
    if (!quote.known) {
        for (QLabel* label :
             {ui_->TimeTextLabel, ui_->LowTextLabel, ui_->HighTextLabel, ui_->SpreadTextLabel})
            setText(label, QString());
        ui_->buyButton->setPrice(QString(), 0, 0);
        ui_->sellButton->setPrice(QString(), 0, 0);
    } else {
        setText(ui_->TimeTextLabel, qs(quote.time));
        setText(ui_->LowTextLabel, rangeText(texts::kLow, quote.low));
        setText(ui_->HighTextLabel, rangeText(texts::kHigh, quote.high));
        setText(ui_->SpreadTextLabel, qs(quote.spread));
        const QString ask = qs(quote.ask);
        const QString bid = qs(quote.bid);
        if (ui_->buyButton->price() != ask)
            ui_->buyButton->setPrice(ask, quote.bigDigits, quote.smallDigits);
        if (ui_->sellButton->price() != bid)
            ui_->sellButton->setPrice(bid, quote.bigDigits, quote.smallDigits);
        setArrow(ui_->buyIndicatorImageView, quote.askTick);
        setArrow(ui_->sellIndicatorImageView, quote.bidTick);
    }
    showPriceHints();
    if (state_.multiAccount())
        multiModel_->refreshMargins();
}

// ---- drawers and multi-account rows

void TradeTicketWindowController::toggleRightDrawer() {
    ui_->marketDepthChartButton->setChecked(!toggleMarketDepth_);
}

void TradeTicketWindowController::toggleLeftDrawer() {
    ui_->multitradeButton->setChecked(!state_.multiAccount());
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
    DisableControlsonMultiTrade();
    state_.loadKinds(records(), orders());
    fillOrderTypes();
    reloadRows();
    showState();
}

void TradeTicketWindowController::setDefaultWindow() {
    if (toggleMarketDepth_)
        toggleRightDrawer();
    if (state_.multiAccount()) {
        state_.setMultiAccount(false);
        ui_->leftDrawer->hide();
        setCheckedQuietly(ui_->multitradeButton, false);
    }
    DisableControlsonMultiTrade();
    adjustSize();
}

void TradeTicketWindowController::checkMultiTradeisAvailable() {
    const bool offered = multiAccountOffered(state_.accounts());
    ui_->multitradeButton->setVisible(offered);
    if (offered)
        reloadRows();
}

void TradeTicketWindowController::reloadRows() {
    if (!state_.multiAccount())
        return;
    multiModel_->setAccounts(multiAccountRowAccounts(
        state_.accounts(), item(), state_.kind(), state_.bracket(TicketState::Bracket::TakeProfit).on,
        state_.bracket(TicketState::Bracket::StopLoss).on, state_.deviation().on));
    setCheckedQuietly(ui_->multiAccountSelectAllCheckBox, false);
}

void TradeTicketWindowController::DisableControlsonMultiTrade() {
    const bool single = state_.controls(records()).singleAccount;
    ui_->AccountComboBox->setEnabled(single);
    ui_->QuantityComboBox->setEnabled(single);
    if (!single) {
        setCheckedQuietly(ui_->multiAccountSelectAllCheckBox, false);
        showMultiAccountQuantity();
    }
}

void TradeTicketWindowController::showMultiAccountQuantity() {
    if (!state_.multiAccount())
        return;
    state_.setQuantity(tickedTotal(multiModel_->rows()).toString());
    loading_ = true;
    ui_->QuantityComboBox->setEditText(qs(state_.quantity()));
    loading_ = false;
    refreshContractValue();
}

void TradeTicketWindowController::doubleClickInTableViewHeader(int section) {
    if (section == MultiAccountTableModel::Quantity && multiModel_->tickedCount() >= 2)
        headerEditor_->edit(section);
}

void TradeTicketWindowController::TableHeaderEdited(const QString& text) {
    const auto quantity = fieldDecimal(text.toStdString());
    if (quantity)
        multiModel_->setTickedQuantity(*quantity);
}

// ---- sending

void TradeTicketWindowController::buyButtonClicked() {
    if (state_.advanced())
        changeSide(Side::Buy);
    else
        sideButtonClicked(Side::Buy);
}

void TradeTicketWindowController::sellButtonClicked() {
    if (state_.advanced())
        changeSide(Side::Sell);
    else
        sideButtonClicked(Side::Sell);
}

void TradeTicketWindowController::showRefusal(const std::string& key, const std::string& text) {
    CommonAlert::open(this, {context_.text(kTicketAlertTitleKey),
                             text.empty() ? context_.text(key) : qs(text),
                             AlertSpec::Warning,
                             {},
                             QStringLiteral("ticketRefusal")});
}

bool TradeTicketWindowController::validate(Side side, bool placeButton) {
    const TicketVerdict verdict = state_.check(side, placeButton, records(), orders(), multiModel_->rows());
    if (verdict.outcome == TicketVerdict::Outcome::Refused)
        showRefusal(verdict.key, verdict.text);
    return verdict.go();
}

void TradeTicketWindowController::sideButtonClicked(Side side) {
    if (!validate(side, false))
        return;
    changeSide(side);
    if (context_.guiObjects().dontShowOrderConfirmation())
        sendPlaceorderObjects(side, true);
    else
        orderConfirmation(side, state_.orderQuantity(side, true, multiModel_->rows()));
}

void TradeTicketWindowController::placeOrderButtonClicked() {
    const Side side = state_.side();
    if (!validate(side, true))
        return;
    if (state_.kind() == OrderKind::Market && !context_.guiObjects().dontShowOrderConfirmation()) {
        orderConfirmation(side, state_.orderQuantity(side, false, multiModel_->rows()));
        return;
    }
    sendPlaceorderObjects(side, false);
}

void TradeTicketWindowController::orderConfirmation(Side side, const platform::Decimal& quantity) {
    if (confirmation_ && confirmation_->isVisible())
        return; // one sheet at a time
    ConfirmationTexts texts;
    texts.side = context_.text(side == Side::Buy ? texts::kBuy : texts::kSell).toStdString();
    texts.atMarket = context_.text(texts::kMarketRate).toStdString();
    texts.takeProfit = context_.text(texts::kTakeProfit).toStdString();
    texts.stopLoss = context_.text(texts::kStopLoss).toStdString();
    const std::string body = state_.confirmation(texts, quantity, item());

    auto* sheet = new QMessageBox(this);
    sheet->setObjectName(QStringLiteral("orderConfirmationSheet"));
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setIcon(QMessageBox::Information);
    sheet->setTextFormat(Qt::PlainText);
    sheet->setWindowTitle(context_.text(texts::kOrderConfirmation));
    sheet->setText(context_.text(texts::kOrderConfirmation));
    sheet->setInformativeText(QString::fromStdString(body).trimmed());
    // Room for the order's line without wrapping it.
    sheet->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 300px; }"));
    QPushButton* place = sheet->addButton(context_.text(texts::kPlace), QMessageBox::AcceptRole);
    place->setObjectName(QStringLiteral("confirmButton"));
    QPushButton* cancel = sheet->addButton(context_.text(texts::kCancel), QMessageBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    sheet->setDefaultButton(place);
    sheet->setEscapeButton(cancel);
    auto* suppress = new QCheckBox(context_.text(texts::kDoNotAskAgain), sheet);
    suppress->setObjectName(QStringLiteral("suppressionCheckBox"));
    sheet->setCheckBox(suppress);
    connect(sheet, &QMessageBox::buttonClicked, this,
            [this, sheet, place, suppress, side](QAbstractButton* pressed) {
                if (pressed != place)
                    return;
                if (suppress->isChecked())
                    context_.guiObjects().setDontShowOrderConfirmation(true);
                sheet->hide();
                sendPlaceorderObjects(side, !state_.advanced());
            });
    confirmation_ = sheet;
    sheet->open();
}

void TradeTicketWindowController::sendPlaceorderObjects(Side side, bool simple) {
    ClientModel* model = session();
    if (!model)
        return;
    const interfaces::OrderTicket t = state_.ticketFor(side, simple);
    interfaces::Orders& orders = model->client().orders();
    const interfaces::OrderResult result =
        state_.multiAccount() ? orders.placeMultiAccountOrder(t, tickedAccounts(multiModel_->rows()))
                              : orders.placeOrder(t);
    if (!result.sent()) {
        showRefusal(result.refusalKey, result.refusalText);
        return;
    }
    Q_EMIT orderSent();
}

} // namespace tc::gui
