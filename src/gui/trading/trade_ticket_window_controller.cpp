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
#include "gui/market/tick_tracker.h"
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
      context_(context), ticks_(std::make_unique<TickTracker>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* modes = new QButtonGroup(this);
    modes->setObjectName(QStringLiteral("TradeTicketRadioGroup"));
    modes->addButton(ui_->simpleRadioButton, kSimpleMode);
    modes->addButton(ui_->advancedRadioButton, kAdvancedMode);
    connect(modes, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            TradeTicketRadioButtonClicked();
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
        AccountSelectionIsChanging(ui_->AccountComboBox->currentText());
        LoadOrderType();
        LoadValidity();
        loadAvailableOrderControls();
    });
    connect(ui_->SymbolComboBox, &QComboBox::activated, this, [this] {
        SymbolSelectionIsChanging(ui_->SymbolComboBox->currentText().toStdString());
        updatePriceinTextField();
        LoadOrderType();
        LoadValidity();
        refreshContractValue();
    });
    connect(ui_->QuantityComboBox, &QComboBox::activated, this, [this] {
        // The chosen entry is written back as its plain number.
        const auto value = fieldDecimal(ui_->QuantityComboBox->currentText().toStdString());
        ui_->QuantityComboBox->setEditText(qs(value.value_or(platform::Decimal()).toString()));
        refreshContractValue();
    });
    connect(ui_->QuantityComboBox, &QComboBox::editTextChanged, this, [this] {
        if (!loading_)
            refreshContractValue();
    });
    connect(ui_->OrderTypeComboBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(kinds_.size()))
            SetOrderType(kinds_[static_cast<std::size_t>(index)]);
    });
    connect(ui_->TimeinforceComboBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(std::size(kTimesInForce)))
            timeInForce_ = kTimesInForce[index];
    });
    connect(ui_->ValidityComboBox, &QComboBox::activated, this, [this](int index) {
        const auto offered = deliveries(settings());
        if (index >= 0 && index < static_cast<int>(offered.size()))
            delivery_ = offered[static_cast<std::size_t>(index)];
    });
    connect(ui_->TakeProfitCheckBox, &QCheckBox::toggled, this,
            &TradeTicketWindowController::takeProfitCheckboxSelect);
    connect(ui_->StopLossCheckBox, &QCheckBox::toggled, this,
            &TradeTicketWindowController::stopLossCheckboxSelect);
    connect(ui_->DeviationCheckBox, &QCheckBox::toggled, this,
            &TradeTicketWindowController::deviationCheckboxSelect);
    // The two sides act as a pair: either box, on or off, leaves its own side chosen.
    connect(ui_->BuyCheckBox, &QCheckBox::toggled, this, [this] { selectSide(Side::Buy); });
    connect(ui_->SellCheckBox, &QCheckBox::toggled, this, [this] { selectSide(Side::Sell); });
    connect(ui_->PriceStepper, &PriceStepper::stepped, this,
            [this](bool up) { stepField(ui_->PriceTextField, up); });
    connect(ui_->TakeProfitStepper, &PriceStepper::stepped, this,
            [this](bool up) { stepField(ui_->TakeProfitPriceTextField, up); });
    connect(ui_->StopLossStepper, &PriceStepper::stepped, this,
            [this](bool up) { stepField(ui_->StopLossPriceTextField, up); });
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
        updatePriceTextFieldColor();
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
    return model ? entry(model->client().model().AccountDetailCollection, std::to_string(accountId_))
                 : nullptr;
}

const ItemDetails* TradeTicketWindowController::item() const {
    ClientModel* model = session();
    return model ? instrumentOf(model->client().model(), itemCode_) : nullptr;
}

const GroupInstruments* TradeTicketWindowController::settings() const {
    ClientModel* model = session();
    return model ? groupSettings(model->client().model(), account(), item()) : nullptr;
}

QMessageBox* TradeTicketWindowController::confirmationSheet() const {
    return confirmation_.data();
}

bool TradeTicketWindowController::isAdvancedMode() const {
    return ui_->advancedRadioButton->isChecked();
}

void TradeTicketWindowController::followLoginState() {
    const ClientModel* model = session();
    const bool live = model && model->loginState() == interfaces::LoginState::SignedIn;
    for (PriceButton* button : {ui_->buyButton, ui_->sellButton}) {
        button->setEnabled(live);
        button->setStale(!live);
    }
    ui_->PlaceOrderButton->setEnabled(live);
}

void TradeTicketWindowController::forgetSession() {
    close();
    ticking_ = false;
    accounts_.clear();
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
    TradeTicketRadioButtonClicked();
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
        if (isAdvancedMode() && ui_->PlaceOrderButton->isEnabled()) {
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
    for (int i = 0; i < ui_->OrderTypeComboBox->count() && i < static_cast<int>(kinds_.size()); ++i)
        ui_->OrderTypeComboBox->setItemText(i, shown(orderKindName(kinds_[static_cast<std::size_t>(i)])));
    for (int i = 0; i < ui_->TimeinforceComboBox->count() && i < static_cast<int>(std::size(kTimesInForce));
         ++i)
        ui_->TimeinforceComboBox->setItemText(i, shown(timeInForceName(kTimesInForce[i])));
    const auto offered = deliveries(settings());
    for (int i = 0; i < ui_->ValidityComboBox->count() && i < static_cast<int>(offered.size()); ++i)
        ui_->ValidityComboBox->setItemText(i, shown(deliveryName(offered[static_cast<std::size_t>(i)])));
    ui_->ValidityComboBox->setPlaceholderText(shown(deliveryName(interfaces::Delivery::Regular)));
    if (const ItemDetails* instrument = item()) {
        ui_->LowTextLabel->setText(rangeText(texts::kLow, instrument->Low, instrument));
        ui_->HighTextLabel->setText(rangeText(texts::kHigh, instrument->High, instrument));
    }
}

// "Low : 1.2345", "High : ..." in the selected language.
QString TradeTicketWindowController::rangeText(std::string_view key, double price,
                                               const ItemDetails* item) const {
    return context_.text(key) + QStringLiteral(" : ") + qs(priceText(price, item));
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
    updatePriceinTextField();
    LoadOrderType();
    LoadValidity();
}

// ---- accounts, instrument, quantities

void TradeTicketWindowController::LoadAccountDetails() {
    ClientModel* model = session();
    const auto watchList = model->client().watchList();
    if (itemCode_.empty() && !watchList.empty())
        itemCode_ = watchList.front();
    // Built at opening only, for the instrument selected then.
    accounts_ =
        ticketAccounts(model->client().model(), model->client().queries().getAccountCollection(), itemCode_);
    QStringList numbers;
    for (const auto& a : accounts_)
        numbers << QString::number(a->AccountId);
    if (!accounts_.empty())
        accountId_ = accounts_.front()->AccountId;
    fill(ui_->AccountComboBox, numbers, QString::number(accountId_));
}

void TradeTicketWindowController::AccountSelectionIsChanging(const QString& accountText) {
    bool number = false;
    const int id = accountText.toInt(&number);
    if (number)
        accountId_ = id;
}

void TradeTicketWindowController::LoadSymbolDetails(bool named) {
    ClientModel* model = session();
    const auto watchList = model->client().watchList();
    if (!named && !watchList.empty())
        itemCode_ = watchList.front();
    QStringList codes;
    for (const auto& c : watchList)
        codes << qs(c);
    fill(ui_->SymbolComboBox, codes, qs(itemCode_));
    SymbolSelectionIsChanging(itemCode_);
}

void TradeTicketWindowController::SymbolSelectionIsChanging(const std::string& code) {
    itemCode_ = code;
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
    loadAvailableOrderControls();
    LoadQuantity();
}

void TradeTicketWindowController::LoadQuantity() {
    const GroupInstruments* s = settings();
    QStringList entries;
    if (s)
        for (const auto& q :
             quantityList(s->MinOrderQty.toDouble(), s->OrderQtyStep.toDouble(), s->MaxOrderQty.toDouble()))
            entries << qs(q);
    loading_ = true;
    fill(ui_->QuantityComboBox, entries, QStringLiteral("0"));
    ui_->QuantityComboBox->setEditText(QStringLiteral("0"));
    loading_ = false;
    if (toggleMultiTrade_)
        showMultiAccountQuantity();
    refreshContractValue();
}

void TradeTicketWindowController::refreshContractValue() {
    const ItemDetails* instrument = item();
    const double quantity = fieldDecimal(ui_->QuantityComboBox->currentText().toStdString())
                                .value_or(platform::Decimal())
                                .toDouble();
    ui_->QuantityDescriptionTextField->setText(
        qs(contractValueText(quantity, instrument ? instrument->ContractSize.toDouble() : 0)));
}

// ---- order type, time in force, validity, mode

void TradeTicketWindowController::LoadOrderType() {
    kinds_ = toggleMultiTrade_ ? orderKinds(item(), accounts_) : orderKinds(item(), account());
    QStringList names;
    for (OrderKind kind : kinds_)
        names << shown(orderKindName(kind));
    fill(ui_->OrderTypeComboBox, names, names.value(0));
    SetOrderType(kinds_.empty() ? std::nullopt : std::optional<OrderKind>(kinds_.front()));
    SetFieldsforAvailableOrderTypes();
}

void TradeTicketWindowController::SetOrderType(std::optional<OrderKind> kind) {
    {
        const QSignalBlocker quiet(ui_->OrderTypeComboBox);
        ui_->OrderTypeComboBox->setCurrentText(kind ? shown(orderKindName(*kind)) : QString());
    }
    LoadTimeinForce();
    kind_ = kind;
    EnableAdvancedControls();
    checkandloadOrderTypesforMultiAccount();
    checkDeviationisAvailable();
}

void TradeTicketWindowController::LoadTimeinForce() {
    QStringList names;
    for (auto tif : kTimesInForce)
        names << shown(timeInForceName(tif));
    fill(ui_->TimeinforceComboBox, names, names.front());
    timeInForce_ = interfaces::TimeInForce::Day;
}

void TradeTicketWindowController::LoadValidity() {
    QStringList names;
    for (auto delivery : deliveries(settings()))
        names << shown(deliveryName(delivery));
    // Regular is chosen even when the group carries no margin for it: then it shows as the box's
    // placeholder, not as another entry's text.
    const QString regular = shown(deliveryName(interfaces::Delivery::Regular));
    fill(ui_->ValidityComboBox, names, regular);
    ui_->ValidityComboBox->setPlaceholderText(regular);
    if (!names.contains(regular)) {
        const QSignalBlocker quiet(ui_->ValidityComboBox);
        ui_->ValidityComboBox->setCurrentIndex(-1);
    }
    delivery_ = interfaces::Delivery::Regular;
}

void TradeTicketWindowController::TradeTicketRadioButtonClicked() {
    LoadOrderType();
    LoadValidity();
    ui_->PlaceOrderButton->setIcon(image("buy_button_img"));
    for (QLineEdit* field : {static_cast<QLineEdit*>(ui_->TakeProfitPriceTextField),
                             static_cast<QLineEdit*>(ui_->StopLossPriceTextField), ui_->DeviationTextField})
        field->clear();
    const bool advanced = isAdvancedMode();
    ui_->AdvancedTradeTicketBox->setEnabled(advanced);
    for (QCheckBox* box : {ui_->TakeProfitCheckBox, ui_->StopLossCheckBox, ui_->DeviationCheckBox})
        setCheckedQuietly(box, false);
    for (QWidget* field :
         {static_cast<QWidget*>(ui_->TakeProfitPriceTextField), static_cast<QWidget*>(ui_->TakeProfitStepper),
          static_cast<QWidget*>(ui_->StopLossPriceTextField), static_cast<QWidget*>(ui_->StopLossStepper),
          static_cast<QWidget*>(ui_->DeviationTextField)})
        field->setEnabled(false);
    ui_->BuyCheckBox->setVisible(advanced);
    ui_->SellCheckBox->setVisible(advanced);
    if (advanced) {
        EnableAdvancedControls();
        selectSide(Side::Buy);
    } else {
        setCheckedQuietly(ui_->BuyCheckBox, false);
        setCheckedQuietly(ui_->SellCheckBox, false);
        // Simple mode sends at the market: no entry price stands.
        ui_->PriceTextField->clear();
    }
    loadAvailableOrderControls();
    updatePriceTextFieldColor();
}

void TradeTicketWindowController::setMode(int mode) {
    setCheckedQuietly(mode == kAdvancedMode ? ui_->advancedRadioButton : ui_->simpleRadioButton, true);
    TradeTicketRadioButtonClicked();
}

bool TradeTicketWindowController::selectOrderType(OrderKind kind) {
    const auto at = std::find(kinds_.begin(), kinds_.end(), kind);
    if (at == kinds_.end())
        return false;
    ui_->OrderTypeComboBox->setCurrentIndex(static_cast<int>(at - kinds_.begin()));
    SetOrderType(kind);
    return true;
}

void TradeTicketWindowController::loadAvailableOrderControls() {
    if (!isAdvancedMode())
        return;
    const SideRights rights = sideRights(settings());
    if (!rights.brackets()) {
        for (QCheckBox* box : {ui_->TakeProfitCheckBox, ui_->StopLossCheckBox}) {
            setCheckedQuietly(box, false);
            box->setEnabled(false);
        }
        takeProfitCheckboxSelect();
        stopLossCheckboxSelect();
    } else {
        ui_->TakeProfitCheckBox->setEnabled(true);
        ui_->StopLossCheckBox->setEnabled(true);
    }
    selectSide(rights.preselected());
}

void TradeTicketWindowController::SetFieldsforAvailableOrderTypes() {
    const auto show = [](bool offered, QCheckBox* box, QLineEdit* field, QWidget* stepper) {
        for (QWidget* w : {static_cast<QWidget*>(box), static_cast<QWidget*>(field), stepper})
            w->setVisible(offered);
        if (!offered) {
            setCheckedQuietly(box, false);
            field->setEnabled(false);
            field->clear();
        }
    };
    // Several accounts: the rows are filtered by what is set, so every control is shown.
    show(toggleMultiTrade_ || offers(account(), item(), kTakeProfitOrders), ui_->TakeProfitCheckBox,
         ui_->TakeProfitPriceTextField, ui_->TakeProfitStepper);
    show(toggleMultiTrade_ || offers(account(), item(), kStopLossOrders), ui_->StopLossCheckBox,
         ui_->StopLossPriceTextField, ui_->StopLossStepper);
    ui_->takeprofitpricesuggestionLabel->setVisible(ui_->TakeProfitCheckBox->isVisible());
    ui_->stoplosspricesuggestionLabel->setVisible(ui_->StopLossCheckBox->isVisible());
}

void TradeTicketWindowController::checkDeviationisAvailable() {
    const AdvancedOffer offer = advancedOffer(account(), item(), settings(), kind_, toggleMultiTrade_);
    ui_->DeviationCheckBox->setVisible(offer.deviation);
    ui_->DeviationTextField->setVisible(offer.deviation);
    if (!offer.deviation) {
        setCheckedQuietly(ui_->DeviationCheckBox, false);
        ui_->DeviationTextField->setEnabled(false);
        ui_->DeviationTextField->clear();
    }
}

void TradeTicketWindowController::EnableAdvancedControls() {
    const bool pending = kind_ == OrderKind::Limit || kind_ == OrderKind::Stop;
    ui_->PriceTextField->setEnabled(pending);
    ui_->PriceStepper->setEnabled(pending);
    ui_->TimeinforceComboBox->setEnabled(pending);
    if (!pending)
        ui_->PriceTextField->clear();
    if (kind_)
        updatePriceinTextField();
}

void TradeTicketWindowController::selectSide(Side side) {
    side_ = side;
    setCheckedQuietly(ui_->BuyCheckBox, side == Side::Buy);
    setCheckedQuietly(ui_->SellCheckBox, side == Side::Sell);
    ui_->PlaceOrderButton->setIcon(image(side == Side::Buy ? "buy_button_img" : "sell_button_img"));
    updatePriceinTextField();
}

void TradeTicketWindowController::takeProfitCheckboxSelect() {
    const bool on = ui_->TakeProfitCheckBox->isChecked();
    ui_->TakeProfitPriceTextField->setEnabled(on);
    ui_->TakeProfitStepper->setEnabled(on);
    if (on && session())
        ui_->TakeProfitPriceTextField->setText(
            qs(session()->client().orders().takeProfitLimit(currentTicket()).price));
    else
        ui_->TakeProfitPriceTextField->clear();
    checkandloadOrderTypesforMultiAccount();
    updatePriceTextFieldColor();
}

void TradeTicketWindowController::stopLossCheckboxSelect() {
    const bool on = ui_->StopLossCheckBox->isChecked();
    ui_->StopLossPriceTextField->setEnabled(on);
    ui_->StopLossStepper->setEnabled(on);
    if (on && session())
        ui_->StopLossPriceTextField->setText(
            qs(session()->client().orders().stopLossLimit(currentTicket()).price));
    else
        ui_->StopLossPriceTextField->clear();
    checkandloadOrderTypesforMultiAccount();
    updatePriceTextFieldColor();
}

void TradeTicketWindowController::deviationCheckboxSelect() {
    const bool on = ui_->DeviationCheckBox->isChecked();
    ui_->DeviationTextField->setEnabled(on);
    ui_->DeviationTextField->setText(on ? QStringLiteral("0") : QString());
    checkandloadOrderTypesforMultiAccount();
}

// ---- prices

interfaces::OrderTicket TradeTicketWindowController::currentTicket() const {
    interfaces::OrderTicket t;
    t.instrument = itemCode_;
    t.account = accountId_;
    t.side = side_;
    t.kind = kind_.value_or(OrderKind::Market);
    t.delivery = delivery_;
    t.timeInForce = timeInForce_;
    t.quantity =
        fieldDecimal(ui_->QuantityComboBox->currentText().toStdString()).value_or(platform::Decimal());
    if (t.kind != OrderKind::Market)
        t.price = fieldDecimal(ui_->PriceTextField->text().toStdString()).value_or(platform::Decimal());
    // A box on with an empty field asks for 0, which the order rules refuse with the limit.
    if (ui_->TakeProfitCheckBox->isChecked())
        t.takeProfit =
            fieldDecimal(ui_->TakeProfitPriceTextField->text().toStdString()).value_or(platform::Decimal());
    if (ui_->StopLossCheckBox->isChecked())
        t.stopLoss =
            fieldDecimal(ui_->StopLossPriceTextField->text().toStdString()).value_or(platform::Decimal());
    if (ui_->DeviationCheckBox->isChecked())
        t.deviation = ui_->DeviationTextField->text().toInt();
    return t;
}

void TradeTicketWindowController::updatePriceinTextField() {
    ClientModel* model = session();
    if (!model || !isAdvancedMode() || !kind_)
        return;
    interfaces::Orders& orders = model->client().orders();
    interfaces::OrderTicket t = currentTicket();
    if (*kind_ != OrderKind::Market) {
        ui_->PriceTextField->setText(qs(orders.entryPriceLimit(t).price));
        t.price = fieldDecimal(ui_->PriceTextField->text().toStdString());
    } else {
        ui_->PriceTextField->clear();
    }
    if (ui_->TakeProfitCheckBox->isChecked())
        ui_->TakeProfitPriceTextField->setText(qs(orders.takeProfitLimit(t).price));
    if (ui_->StopLossCheckBox->isChecked())
        ui_->StopLossPriceTextField->setText(qs(orders.stopLossLimit(t).price));
    updatePriceTextFieldColor();
}

void TradeTicketWindowController::updatePriceTextFieldColor() {
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
    ClientModel* model = session();
    const bool tested = model && isAdvancedMode() && kind_;
    interfaces::OrderTicket t;
    if (tested)
        t = currentTicket();
    interfaces::Orders* orders = model ? &model->client().orders() : nullptr;

    interfaces::PriceLimit entryLimit;
    if (tested && *kind_ != OrderKind::Market)
        entryLimit = orders->entryPriceLimit(t);
    label(ui_->contigentpricesuggestionLabel, entryLimit.signedText());
    paint(ui_->PriceTextField, checkPrice(ui_->PriceTextField->text().toStdString(), entryLimit));

    const auto bracket = [&](QCheckBox* box, QLineEdit* field, QLabel* hint, bool takeProfit) {
        interfaces::PriceLimit limit;
        if (tested && box->isChecked())
            limit = takeProfit ? orders->takeProfitLimit(t) : orders->stopLossLimit(t);
        label(hint, limit.signedText());
        paint(field, checkPrice(field->text().toStdString(), limit));
    };
    bracket(ui_->TakeProfitCheckBox, ui_->TakeProfitPriceTextField, ui_->takeprofitpricesuggestionLabel,
            true);
    bracket(ui_->StopLossCheckBox, ui_->StopLossPriceTextField, ui_->stoplosspricesuggestionLabel, false);
}

void TradeTicketWindowController::stepField(QWidget* field, bool up) {
    auto* edit = qobject_cast<QLineEdit*>(field);
    const ItemDetails* instrument = item();
    if (!edit || !instrument)
        return;
    // A typed value is taken as it stands before the step.
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    edit->setText(
        qs(stepPrice(edit->text().toStdString(), instrument->TickSize, instrument->DecimalPlaces, up)));
    updatePriceTextFieldColor();
}

void TradeTicketWindowController::UpdateValuesinTimer() {
    const ItemDetails* instrument = item();
    const auto setText = [](QLabel* label, const QString& text) {
        if (label->text() != text)
            label->setText(text);
    };
    setText(ui_->SymbolTextLabel, qs(itemCode_));
    if (!instrument) {
        for (QLabel* label :
             {ui_->TimeTextLabel, ui_->LowTextLabel, ui_->HighTextLabel, ui_->SpreadTextLabel})
            setText(label, QString());
        ui_->buyButton->setPrice(QString(), 0, 0);
        ui_->sellButton->setPrice(QString(), 0, 0);
    } else {
        setText(ui_->TimeTextLabel, qs(clockTime(instrument->UpdateTime)));
        setText(ui_->LowTextLabel, rangeText(texts::kLow, instrument->Low, instrument));
        setText(ui_->HighTextLabel, rangeText(texts::kHigh, instrument->High, instrument));
        setText(ui_->SpreadTextLabel, qs(spreadText(*instrument)));
        const auto big = static_cast<std::size_t>(instrument->mostSignificantDigitLength);
        const auto small = static_cast<std::size_t>(instrument->leastSignificantDigitLength);
        const QString ask = qs(priceText(instrument->Ask, instrument));
        const QString bid = qs(priceText(instrument->Bid, instrument));
        if (ui_->buyButton->price() != ask)
            ui_->buyButton->setPrice(ask, big, small);
        if (ui_->sellButton->price() != bid)
            ui_->sellButton->setPrice(bid, big, small);
        setArrow(ui_->buyIndicatorImageView, ticks_->note("ask", instrument->Ask));
        setArrow(ui_->sellIndicatorImageView, ticks_->note("bid", instrument->Bid));
        ticks_->endRefresh();
    }
    updatePriceTextFieldColor();
    if (toggleMultiTrade_)
        multiModel_->refreshMargins();
}

// ---- drawers and multi-account rows

void TradeTicketWindowController::toggleRightDrawer() {
    ui_->marketDepthChartButton->setChecked(!toggleMarketDepth_);
}

void TradeTicketWindowController::toggleLeftDrawer() {
    ui_->multitradeButton->setChecked(!toggleMultiTrade_);
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
    if (open == toggleMultiTrade_)
        return;
    toggleMultiTrade_ = open;
    // The drawer takes what it wants up to its widest; the ticket keeps its own width.
    const int room =
        std::min(ui_->leftDrawer->sizeHint().width(), ui_->leftDrawer->maximumWidth()) + kDrawerSpacing;
    const int before = width();
    ui_->leftDrawer->setVisible(open);
    if (isVisible())
        resize(before + (open ? room : -room), height());
    DisableControlsonMultiTrade();
    LoadOrderType();
}

void TradeTicketWindowController::setDefaultWindow() {
    if (toggleMarketDepth_)
        toggleRightDrawer();
    if (toggleMultiTrade_) {
        toggleMultiTrade_ = false;
        ui_->leftDrawer->hide();
        setCheckedQuietly(ui_->multitradeButton, false);
    }
    DisableControlsonMultiTrade();
    adjustSize();
}

void TradeTicketWindowController::checkMultiTradeisAvailable() {
    const bool offered = multiAccountOffered(accounts_);
    ui_->multitradeButton->setVisible(offered);
    if (offered)
        checkandloadOrderTypesforMultiAccount();
}

void TradeTicketWindowController::checkandloadOrderTypesforMultiAccount() {
    if (!toggleMultiTrade_)
        return;
    multiModel_->setAccounts(
        multiAccountRowAccounts(accounts_, item(), kind_, ui_->TakeProfitCheckBox->isChecked(),
                                ui_->StopLossCheckBox->isChecked(), ui_->DeviationCheckBox->isChecked()));
    setCheckedQuietly(ui_->multiAccountSelectAllCheckBox, false);
}

void TradeTicketWindowController::DisableControlsonMultiTrade() {
    ui_->AccountComboBox->setEnabled(!toggleMultiTrade_);
    ui_->QuantityComboBox->setEnabled(!toggleMultiTrade_);
    if (toggleMultiTrade_) {
        setCheckedQuietly(ui_->multiAccountSelectAllCheckBox, false);
        showMultiAccountQuantity();
    }
}

void TradeTicketWindowController::showMultiAccountQuantity() {
    if (!toggleMultiTrade_)
        return;
    loading_ = true;
    ui_->QuantityComboBox->setEditText(qs(tickedTotal(multiModel_->rows()).toString()));
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
    if (isAdvancedMode())
        selectSide(Side::Buy);
    else
        sideButtonClicked(Side::Buy);
}

void TradeTicketWindowController::sellButtonClicked() {
    if (isAdvancedMode())
        selectSide(Side::Sell);
    else
        sideButtonClicked(Side::Sell);
}

void TradeTicketWindowController::alert(std::string_view key) {
    CommonAlert::open(this, {context_.text(kTicketAlertTitleKey),
                             context_.text(key),
                             AlertSpec::Warning,
                             {},
                             QStringLiteral("ticketRefusal")});
}

void TradeTicketWindowController::showRefusal(const interfaces::OrderResult& result) {
    QString text = qs(result.refusalText);
    if (text.isEmpty())
        text = context_.text(result.refusalKey);
    CommonAlert::open(
        this,
        {context_.text(kTicketAlertTitleKey), text, AlertSpec::Warning, {}, QStringLiteral("ticketRefusal")});
}

interfaces::OrderTicket TradeTicketWindowController::ticketFor(Side side, bool simple) const {
    interfaces::OrderTicket t = currentTicket();
    t.side = side;
    if (simple) {
        // Simple mode sends at the market, without brackets or a deviation.
        t.kind = OrderKind::Market;
        t.price.reset();
        t.takeProfit.reset();
        t.stopLoss.reset();
        t.deviation.reset();
    }
    return t;
}

bool TradeTicketWindowController::validate(Side side, bool placeButton) {
    ClientModel* model = session();
    if (!model || model->loginState() != interfaces::LoginState::SignedIn)
        return false;
    if (placeButton && ui_->DeviationCheckBox->isChecked() && ui_->DeviationTextField->text().isEmpty()) {
        alert(kNoDeviationKey);
        return false;
    }
    if (!placeButton || !kind_) {
        // Simple mode sends at the market (and the place button needs an order type).
        const bool market =
            toggleMultiTrade_ ? kind_ == OrderKind::Market : offers(account(), item(), kMarketOrders);
        if (!market || (placeButton && !kind_)) {
            alert(kNoMarketOrderKey);
            return false;
        }
    }
    interfaces::Orders& orders = model->client().orders();
    interfaces::OrderTicket t = ticketFor(side, !placeButton);
    // The order rules' checks run before the confirmation, so that nothing they would refuse is
    // confirmed first.
    if (!toggleMultiTrade_) {
        const auto result = orders.checkOrder(t);
        if (!result.sent()) {
            showRefusal(result);
            return false;
        }
        return true;
    }
    if (multiModel_->tickedCount() == 0) {
        alert(kNoAccountTickedKey);
        return false;
    }
    for (const auto& row : tickedAccounts(multiModel_->rows())) {
        t.account = row.accountId;
        t.quantity = row.quantity;
        const auto result = orders.checkOrder(t);
        if (!result.sent()) {
            showRefusal(result);
            return false;
        }
    }
    return true;
}

platform::Decimal TradeTicketWindowController::orderQuantity(Side side, bool simple) const {
    return toggleMultiTrade_ ? tickedTotal(multiModel_->rows()) : ticketFor(side, simple).quantity;
}

void TradeTicketWindowController::sideButtonClicked(Side side) {
    if (!validate(side, false))
        return;
    selectSide(side);
    if (context_.guiObjects().dontShowOrderConfirmation())
        sendPlaceorderObjects(side, true);
    else
        orderConfirmation(side, orderQuantity(side, true));
}

void TradeTicketWindowController::placeOrderButtonClicked() {
    if (!validate(side_, true))
        return;
    if (kind_ == OrderKind::Market && !context_.guiObjects().dontShowOrderConfirmation()) {
        orderConfirmation(side_, orderQuantity(side_, false));
        return;
    }
    sendPlaceorderObjects(side_, false);
}

void TradeTicketWindowController::orderConfirmation(Side side, const platform::Decimal& quantity) {
    if (confirmation_ && confirmation_->isVisible())
        return; // one sheet at a time
    const ItemDetails* instrument = item();
    ConfirmationTexts texts;
    texts.side = context_.text(side == Side::Buy ? texts::kBuy : texts::kSell).toStdString();
    texts.atMarket = context_.text(texts::kMarketRate).toStdString();
    texts.takeProfit = context_.text(texts::kTakeProfit).toStdString();
    texts.stopLoss = context_.text(texts::kStopLoss).toStdString();
    const auto optional = [](QCheckBox* box, QLineEdit* field) -> std::optional<std::string> {
        if (!box->isChecked())
            return std::nullopt;
        return field->text().toStdString();
    };
    const auto takeProfit = optional(ui_->TakeProfitCheckBox, ui_->TakeProfitPriceTextField);
    const auto stopLoss = optional(ui_->StopLossCheckBox, ui_->StopLossPriceTextField);
    const std::string body =
        confirmationBody(texts, quantity.toString(), instrument ? instrument->ContractSize.toDouble() : 0,
                         itemCode_, takeProfit ? std::optional<std::string_view>(*takeProfit) : std::nullopt,
                         stopLoss ? std::optional<std::string_view>(*stopLoss) : std::nullopt);

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
                sendPlaceorderObjects(side, !isAdvancedMode());
            });
    confirmation_ = sheet;
    sheet->open();
}

void TradeTicketWindowController::sendPlaceorderObjects(Side side, bool simple) {
    ClientModel* model = session();
    if (!model)
        return;
    const interfaces::OrderTicket t = ticketFor(side, simple);
    interfaces::Orders& orders = model->client().orders();
    const interfaces::OrderResult result =
        toggleMultiTrade_ ? orders.placeMultiAccountOrder(t, tickedAccounts(multiModel_->rows()))
                          : orders.placeOrder(t);
    if (!result.sent()) {
        showRefusal(result);
        return;
    }
    Q_EMIT orderSent();
}

} // namespace tc::gui
