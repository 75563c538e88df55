#include "gui/trading/modify_position_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/controls/decimal_text_field.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/input_filters.h"
#include "gui/controls/toggles.h"
#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "gui/trading/trade_entries.h"
#include "interfaces/client.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "ui_modify_position_window_controller.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tc::gui {
namespace {

// A price typed, as the request takes it; the sheet refuses one that is not a number before this.
Decimal priceOf(const QString& text, std::int32_t decimals) {
    return readPriceEntry(text.toStdString(), decimals).value.value_or(Decimal::notANumber());
}

} // namespace

ModifyPositionWindowController::ModifyPositionWindowController(GuiContext& context, QWidget* parent)
    : RecordSheet(context, parent), ui_(std::make_unique<Ui::ModifyPositionWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("ModifyPositionWindowController"));
    installDecimalFilter(ui_->QuantityComboField);
    ui_->QuantityComboField->setInsertPolicy(QComboBox::NoInsert);
    bindLanguage(this, context.language(), [this] {
        ui_->TakeProfitTextField->setAccessibleName(text(texts::kTakeProfit));
        ui_->StopLossTextField->setAccessibleName(text(texts::kStopLoss));
        // The titles follow the language; what the user typed stays.
        interfaces::Client* c = client();
        if (!c || !isVisible())
            return;
        if (const auto v = modifyView(c->model(), c->queries(), mode_, record(),
                                      this->context().language().selected())) {
            showTitles(recordFields(), *v);
            ui_->orderTypeTextField->setText(qt(v->orderType));
        }
    });
    connect(ui_->takeProfitCheckBox, &QCheckBox::toggled, this,
            &ModifyPositionWindowController::takeProfitCheckboxSelect);
    connect(ui_->stopLossCheckBox, &QCheckBox::toggled, this,
            &ModifyPositionWindowController::stopLossCheckboxSelect);
    connect(ui_->takeProfitStepperUp, &QToolButton::clicked, this, [this] { step(true, 1); });
    connect(ui_->takeProfitStepperDown, &QToolButton::clicked, this, [this] { step(true, -1); });
    connect(ui_->stopLossStepperUp, &QToolButton::clicked, this, [this] { step(false, 1); });
    connect(ui_->stopLossStepperDown, &QToolButton::clicked, this, [this] { step(false, -1); });
    // The fills set the fields quietly or by program: an edit, a tick or a step here is the trader's.
    for (QCheckBox* box : {ui_->takeProfitCheckBox, ui_->stopLossCheckBox})
        connect(box, &QCheckBox::clicked, this, [this] { traderEdited(); });
    for (QToolButton* stepper : {ui_->takeProfitStepperUp, ui_->takeProfitStepperDown, ui_->stopLossStepperUp,
                                 ui_->stopLossStepperDown})
        connect(stepper, &QToolButton::clicked, this, [this] { traderEdited(); });
    for (QLineEdit* field :
         {static_cast<QLineEdit*>(ui_->OrderPriceTextField),
          static_cast<QLineEdit*>(ui_->TakeProfitTextField), static_cast<QLineEdit*>(ui_->StopLossTextField)})
        connect(field, &QLineEdit::textEdited, this, [this] { traderEdited(); });
    connect(ui_->QuantityComboField, &QComboBox::editTextChanged, this, [this] {
        traderEdited();
        UpdateValueFields();
        // A pending order's bounds are checked with its quantity.
        markPrices();
    });
    // Each price field shows at once whether its text is a price.
    for (QLineEdit* field :
         {static_cast<QLineEdit*>(ui_->OrderPriceTextField),
          static_cast<QLineEdit*>(ui_->TakeProfitTextField), static_cast<QLineEdit*>(ui_->StopLossTextField)})
        connect(field, &QLineEdit::textChanged, this, [this] { markPrices(); });
    connectButtons(
        ui_->ModifyButton, [this] { ModifyButtonClicked(); }, ui_->notNowButton);
}

ModifyPositionWindowController::~ModifyPositionWindowController() = default;

bool ModifyPositionWindowController::openFor(ModifyMode mode, const std::string& id) {
    mode_ = mode;
    sent_.reset();
    return openRecord(
        id,
        [&](interfaces::Client& c) {
            return modifyView(c.model(), c.queries(), mode_, id, context().language().selected()).has_value();
        },
        {ui_->QuantityComboField, ui_->takeProfitCheckBox, ui_->ModifyButton});
}

void ModifyPositionWindowController::fill() {
    interfaces::Client* c = client();
    const auto v = c ? modifyView(c->model(), c->queries(), mode_, record(), context().language().selected())
                     : std::nullopt;
    if (!v) {
        closeAsGone();
        return;
    }
    tickSize_ = v->tickSize;
    decimals_ = v->decimals;
    // Prices take the instrument's decimals and no more.
    for (DecimalTextField* field :
         {ui_->OrderPriceTextField, ui_->TakeProfitTextField, ui_->StopLossTextField})
        field->setMaximumDecimals(decimals_);
    showRecordLines(recordFields(), *v);
    // A mark left from an earlier opening goes; the quantity filled is marked as typed would be.
    markQuantity(modifyQuantity(c->model(), c->queries(), mode_, record(), v->quantity).refusal);
    ui_->OrderPriceTextField->setText(qt(v->price));
    ui_->OrderPriceTextField->setReadOnly(!v->priceEditable);
    setCheckedQuietly(ui_->takeProfitCheckBox, v->takeProfitOn);
    ui_->TakeProfitTextField->setText(qt(v->takeProfit));
    setCheckedQuietly(ui_->stopLossCheckBox, v->stopLossOn);
    ui_->StopLossTextField->setText(qt(v->stopLoss));
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->TakeProfitTextField), static_cast<QWidget*>(ui_->takeProfitStepperUp),
          static_cast<QWidget*>(ui_->takeProfitStepperDown)})
        w->setEnabled(v->takeProfitOn);
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->StopLossTextField), static_cast<QWidget*>(ui_->stopLossStepperUp),
          static_cast<QWidget*>(ui_->stopLossStepperDown)})
        w->setEnabled(v->stopLossOn);
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->takeProfitCheckBox), static_cast<QWidget*>(ui_->TakeProfitTextField),
          static_cast<QWidget*>(ui_->takeProfitStepperUp), static_cast<QWidget*>(ui_->takeProfitStepperDown)})
        w->setVisible(v->takeProfitShown);
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->stopLossCheckBox), static_cast<QWidget*>(ui_->StopLossTextField),
          static_cast<QWidget*>(ui_->stopLossStepperUp), static_cast<QWidget*>(ui_->stopLossStepperDown)})
        w->setVisible(v->stopLossShown);
    markPrices();
}

RecordSheet::RecordFields ModifyPositionWindowController::recordFields() const {
    return {ui_->EditOrderBox,       ui_->AccountTextField,
            ui_->SymbolTextField,    ui_->SymbolDescriptionTextField,
            ui_->QuantityComboField, ui_->QuantityDescriptionTextField,
            ui_->orderTypeTextField, ui_->ModifyButton};
}

void ModifyPositionWindowController::refresh(bool) {
    interfaces::Client* c = client();
    if (!c || !findRecord(c->queries(),
                          mode_ == ModifyMode::PositionBrackets ? DialogRecord::OpenPosition
                                                                : DialogRecord::PendingOrder,
                          record())) {
        closeAsGone();
        return;
    }
    // A bound moves with the quote and the record: the marks follow it.
    markPrices();
}

ModifyPositionWindowController::Figures ModifyPositionWindowController::figuresOf(const Order& o) const {
    const auto bracket = [](const std::optional<Decimal>& price) {
        return price && price->compare(Decimal()) > 0 ? price : std::nullopt;
    };
    if (mode_ == ModifyMode::PositionBrackets)
        return {std::nullopt, std::nullopt, bracket(o.LimitPrice), bracket(o.StopPrice)};
    return {o.RemainingQty, o.OrderPrice, bracket(o.LimitPrice), bracket(o.StopPrice)};
}

std::optional<RecordSheet::SentOutcome> ModifyPositionWindowController::takeUpRecord(bool unanswered) {
    interfaces::Client* c = client();
    const std::optional<Sent> sent = std::exchange(sent_, std::nullopt);
    if (!unanswered || !sent || !c) {
        refresh(false);
        return std::nullopt;
    }
    const auto now = findRecord(c->queries(),
                                mode_ == ModifyMode::PositionBrackets ? DialogRecord::OpenPosition
                                                                      : DialogRecord::PendingOrder,
                                record());
    if (!now)
        return SentOutcome::GoneUnclear;
    const Figures held = figuresOf(*now);
    // As it was: what was typed stays, to be sent again.
    if (held == sent->held) {
        refresh(false);
        return SentOutcome::NotCarriedOut;
    }
    // Changed: the sheet shows the record as the server holds it.
    fill();
    return held == sent->sent ? SentOutcome::CarriedOut : SentOutcome::Unclear;
}

void ModifyPositionWindowController::UpdateValueFields() {
    const std::string typed = ui_->QuantityComboField->currentText().trimmed().toStdString();
    interfaces::Client* c = client();
    const TypedQuantity quantity =
        c ? modifyQuantity(c->model(), c->queries(), mode_, record(), typed) : TypedQuantity{};
    markQuantity(quantity.refusal);
    ui_->QuantityDescriptionTextField->setText(qt(quantity.description));
}

void ModifyPositionWindowController::markQuantity(const std::optional<Refusal>& refusal) {
    // Marked with what the edit would refuse; a quantity not sent is not marked.
    markRefusal(ui_->QuantityComboField, ui_->QuantityComboField->isEnabled() ? refusal : std::nullopt);
}

void ModifyPositionWindowController::markPrices() {
    // A field not sent (a position's price, an unticked bracket) or being emptied is not marked;
    // the button names an empty one.
    const TradeEntry reads{Decimal(), {}};
    const auto entry = [&](const QLineEdit* field, bool sent) {
        return sent && !field->text().isEmpty() ? readPriceEntry(field->text().toStdString(), decimals_)
                                                : reads;
    };
    const std::pair<QLineEdit*, TradeEntry> fields[] = {
        {ui_->OrderPriceTextField, entry(ui_->OrderPriceTextField, mode_ == ModifyMode::PendingOrder)},
        {ui_->TakeProfitTextField, entry(ui_->TakeProfitTextField, ui_->takeProfitCheckBox->isChecked())},
        {ui_->StopLossTextField, entry(ui_->StopLossTextField, ui_->stopLossCheckBox->isChecked())}};
    constexpr std::string_view kFieldKeys[] = {texts::kPriceField, texts::kTakeProfit, texts::kStopLoss};
    // Every price reads: a field the order rules refuse (off the grid, past its bound) is marked with
    // what Modify would say of it.
    const bool allRead =
        std::all_of(std::begin(fields), std::end(fields), [](const auto& f) { return f.second.ok(); });
    const auto rule = allRead ? ruleRefusal() : std::nullopt;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        if (rule && static_cast<std::size_t>(rule->first) == i)
            markEntry(fields[i].first, rule->second, context().themes());
        else
            markField(fields[i].first, fields[i].second, kFieldKeys[i]);
    }
}

std::optional<std::pair<ModifyField, QString>> ModifyPositionWindowController::ruleRefusal() const {
    interfaces::Client* c = client();
    if (!c || !isVisible())
        return std::nullopt;
    // A ticked field left empty is named by the button, not checked against the rules.
    const auto typed = [this](const QLineEdit* field, bool used) -> std::optional<std::optional<Decimal>> {
        if (!used)
            return std::optional<Decimal>();
        if (field->text().trimmed().isEmpty())
            return std::nullopt;
        return std::optional<Decimal>(priceOf(field->text(), decimals_));
    };
    const auto takeProfit = typed(ui_->TakeProfitTextField, ui_->takeProfitCheckBox->isChecked());
    const auto stopLoss = typed(ui_->StopLossTextField, ui_->stopLossCheckBox->isChecked());
    if (!takeProfit || !stopLoss)
        return std::nullopt;
    interfaces::OrderResult checked;
    if (mode_ == ModifyMode::PositionBrackets) {
        checked = c->orders().checkPositionBrackets(record(), *takeProfit, *stopLoss);
    } else {
        const auto quantity =
            readQuantityEntry(ui_->QuantityComboField->currentText().trimmed().toStdString());
        if (!quantity.ok() || ui_->OrderPriceTextField->text().trimmed().isEmpty())
            return std::nullopt;
        checked = c->orders().checkPendingOrderEdit(record(), *quantity.value,
                                                    priceOf(ui_->OrderPriceTextField->text(), decimals_),
                                                    *takeProfit, *stopLoss);
    }
    const auto field = checked.sent() ? std::nullopt : modifyFieldOf(checked.refusalKey);
    if (!field)
        return std::nullopt;
    return std::pair{*field, QString::fromStdString(checked.refusalText.empty() ? checked.refusalKey
                                                                                : checked.refusalText)};
}

void ModifyPositionWindowController::step(bool takeProfit, int steps) {
    QLineEdit* field = takeProfit ? ui_->TakeProfitTextField : ui_->StopLossTextField;
    field->setText(qt(steppedPrice(field->text().toStdString(), tickSize_, decimals_, steps)));
}

void ModifyPositionWindowController::takeProfitCheckboxSelect(bool ticked) {
    bracketCheckboxSelect(true, ticked);
}

void ModifyPositionWindowController::stopLossCheckboxSelect(bool ticked) {
    bracketCheckboxSelect(false, ticked);
}

void ModifyPositionWindowController::bracketCheckboxSelect(bool takeProfit, bool ticked) {
    interfaces::Client* c = client();
    const auto record = c ? findRecord(c->queries(),
                                       mode_ == ModifyMode::PositionBrackets ? DialogRecord::OpenPosition
                                                                             : DialogRecord::PendingOrder,
                                       this->record())
                          : nullptr;
    QLineEdit* field = takeProfit ? ui_->TakeProfitTextField : ui_->StopLossTextField;
    setCheckedQuietly(takeProfit ? ui_->takeProfitCheckBox : ui_->stopLossCheckBox, ticked);
    field->setEnabled(ticked);
    (takeProfit ? ui_->takeProfitStepperUp : ui_->stopLossStepperUp)->setEnabled(ticked);
    (takeProfit ? ui_->takeProfitStepperDown : ui_->stopLossStepperDown)->setEnabled(ticked);
    field->setText(ticked && record ? qt(defaultBracketPrice(c->model(), *record, mode_, takeProfit))
                                    : QString());
    markPrices();
}

void ModifyPositionWindowController::ModifyButtonClicked() {
    interfaces::Client* c = client();
    if (!c)
        return;
    const bool position = mode_ == ModifyMode::PositionBrackets;
    const auto held = findRecord(
        c->queries(), position ? DialogRecord::OpenPosition : DialogRecord::PendingOrder, record());
    if (!held) {
        closeAsGone();
        return;
    }
    const auto typed = [](const QLineEdit* field, bool used) {
        return used ? std::optional<std::string>(field->text().trimmed().toStdString()) : std::nullopt;
    };
    const auto priceText = typed(ui_->OrderPriceTextField, !position);
    const auto takeProfitText = typed(ui_->TakeProfitTextField, ui_->takeProfitCheckBox->isChecked());
    const auto stopLossText = typed(ui_->StopLossTextField, ui_->stopLossCheckBox->isChecked());
    // A field left empty is named, rather than reaching the core as a number that is not one.
    if (const auto refusal = modifyRefusal(priceText, takeProfitText, stopLossText, decimals_)) {
        showRefusal(refusalText(*refusal));
        return;
    }
    std::optional<Decimal> takeProfit;
    std::optional<Decimal> stopLoss;
    if (takeProfitText)
        takeProfit = priceOf(ui_->TakeProfitTextField->text(), decimals_);
    if (stopLossText)
        stopLoss = priceOf(ui_->StopLossTextField->text(), decimals_);
    if (position) {
        if (takeResult(c->orders().editPositionBrackets(record(), takeProfit, stopLoss)))
            sent_ = Sent{figuresOf(*held), {std::nullopt, std::nullopt, takeProfit, stopLoss}};
        return;
    }
    const std::string quantity = ui_->QuantityComboField->currentText().trimmed().toStdString();
    if (const auto refusal = quantityRefusal(quantity)) {
        showRefusal(refusalText(*refusal));
        return;
    }
    const Decimal quantityValue = *readQuantityEntry(quantity).value;
    const Decimal price = priceOf(ui_->OrderPriceTextField->text(), decimals_);
    if (takeResult(c->orders().editPendingOrder(record(), quantityValue, price, takeProfit, stopLoss)))
        sent_ = Sent{figuresOf(*held), {quantityValue, price, takeProfit, stopLoss}};
}

} // namespace tc::gui
