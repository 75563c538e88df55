#include "gui/trading/ticket_advanced_box.h"

#include "gui/app/images.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/decimal_text_field.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/input_filters.h"
#include "gui/controls/price_stepper.h"
#include "gui/controls/toggles.h"
#include "gui/texts.h"
#include "gui/trading/ticket_widgets.h"
#include "ui_ticket_advanced_box.h"

#include <tuple>

namespace tc::gui {

using interfaces::Side;
using Bracket = TicketState::Bracket;
using PriceField = TicketState::PriceField;

TicketAdvancedBox::TicketAdvancedBox(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::TicketAdvancedBox>()) {
    ui_->setupUi(this);
    // Whole points: a text that is no such number is kept as typed and refused with its reason.
    installDecimalFilter(ui_->DeviationTextField);

    connect(ui_->OrderTypeComboBox, &QComboBox::activated, this, [this](int index) {
        const auto& kinds = state_->kinds();
        if (index >= 0 && index < static_cast<int>(kinds.size()))
            Q_EMIT orderTypeChosen(kinds[static_cast<std::size_t>(index)]);
    });
    connect(ui_->TimeInForceComboBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(std::size(kTimesInForce)))
            state_->setTimeInForce(kTimesInForce[index]);
    });
    connect(ui_->ValidityComboBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(deliveries_.size()))
            state_->setDelivery(deliveries_[static_cast<std::size_t>(index)]);
    });
    // The fields write what is typed (or filled) into the state; the state fills them back.
    // Each edit is judged at once: the hints and the fields' marks follow the text.
    connect(ui_->PriceTextField, &QLineEdit::textChanged, this, [this](const QString& text) {
        state_->setPrice(text.toStdString());
        Q_EMIT fieldEdited();
    });
    connect(ui_->TakeProfitPriceTextField, &QLineEdit::textChanged, this, [this](const QString& text) {
        state_->setBracketText(Bracket::TakeProfit, text.toStdString());
        Q_EMIT fieldEdited();
    });
    connect(ui_->StopLossPriceTextField, &QLineEdit::textChanged, this, [this](const QString& text) {
        state_->setBracketText(Bracket::StopLoss, text.toStdString());
        Q_EMIT fieldEdited();
    });
    connect(ui_->DeviationTextField, &QLineEdit::textChanged, this, [this](const QString& text) {
        state_->setDeviationText(text.toStdString());
        Q_EMIT fieldEdited();
    });
    connect(ui_->TakeProfitCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { Q_EMIT bracketToggled(Bracket::TakeProfit, on); });
    connect(ui_->StopLossCheckBox, &QCheckBox::toggled, this,
            [this](bool on) { Q_EMIT bracketToggled(Bracket::StopLoss, on); });
    connect(ui_->DeviationCheckBox, &QCheckBox::toggled, this, &TicketAdvancedBox::deviationToggled);
    // The two sides act as a pair: either box, on or off, leaves its own side chosen.
    connect(ui_->BuyCheckBox, &QCheckBox::toggled, this, [this] { Q_EMIT sideChosen(Side::Buy); });
    connect(ui_->SellCheckBox, &QCheckBox::toggled, this, [this] { Q_EMIT sideChosen(Side::Sell); });
    connect(ui_->PriceStepper, &PriceStepper::stepped, this,
            [this](bool up) { Q_EMIT stepped(PriceField::Entry, up); });
    connect(ui_->TakeProfitStepper, &PriceStepper::stepped, this,
            [this](bool up) { Q_EMIT stepped(PriceField::TakeProfit, up); });
    connect(ui_->StopLossStepper, &PriceStepper::stepped, this,
            [this](bool up) { Q_EMIT stepped(PriceField::StopLoss, up); });
    connect(ui_->PlaceOrderButton, &QPushButton::clicked, this, &TicketAdvancedBox::placeClicked);
}

TicketAdvancedBox::~TicketAdvancedBox() = default;

QPushButton* TicketAdvancedBox::placeButton() const {
    return ui_->PlaceOrderButton;
}

void TicketAdvancedBox::fillOrderTypes(const Namer& shown) {
    QStringList names;
    for (interfaces::OrderKind kind : state_->kinds())
        names << shown(orderKindName(kind));
    fillQuietly(ui_->OrderTypeComboBox, names, names.value(0));
    const QSignalBlocker quiet(ui_->OrderTypeComboBox);
    ui_->OrderTypeComboBox->setCurrentText(state_->kind() ? shown(orderKindName(*state_->kind()))
                                                          : QString());
}

void TicketAdvancedBox::fillTimesInForce(const Namer& shown) {
    QStringList names;
    for (auto tif : kTimesInForce)
        names << shown(timeInForceName(tif));
    fillQuietly(ui_->TimeInForceComboBox, names, shown(timeInForceName(state_->timeInForce())));
}

void TicketAdvancedBox::fillValidity(const std::vector<interfaces::Delivery>& offered, const Namer& shown) {
    deliveries_ = offered;
    QStringList names;
    for (auto delivery : offered)
        names << shown(deliveryName(delivery));
    // Regular is chosen even when the group carries no margin for it: then it shows as the box's
    // placeholder, not as another entry's text.
    const QString chosen = shown(deliveryName(state_->delivery()));
    fillQuietly(ui_->ValidityComboBox, names, chosen);
    ui_->ValidityComboBox->setPlaceholderText(shown(deliveryName(interfaces::Delivery::Regular)));
    if (!names.contains(chosen)) {
        const QSignalBlocker quiet(ui_->ValidityComboBox);
        ui_->ValidityComboBox->setCurrentIndex(-1);
    }
}

void TicketAdvancedBox::renameLists(const Namer& shown) {
    const auto& kinds = state_->kinds();
    for (int i = 0; i < ui_->OrderTypeComboBox->count() && i < static_cast<int>(kinds.size()); ++i)
        ui_->OrderTypeComboBox->setItemText(i, shown(orderKindName(kinds[static_cast<std::size_t>(i)])));
    for (int i = 0; i < ui_->TimeInForceComboBox->count() && i < static_cast<int>(std::size(kTimesInForce));
         ++i)
        ui_->TimeInForceComboBox->setItemText(i, shown(timeInForceName(kTimesInForce[i])));
    for (int i = 0; i < ui_->ValidityComboBox->count() && i < static_cast<int>(deliveries_.size()); ++i)
        ui_->ValidityComboBox->setItemText(i, shown(deliveryName(deliveries_[static_cast<std::size_t>(i)])));
    ui_->ValidityComboBox->setPlaceholderText(shown(deliveryName(interfaces::Delivery::Regular)));
}

void TicketAdvancedBox::retranslate(const std::function<QString(std::string_view)>& text) {
    ui_->PriceStepper->setFieldName(text(texts::kPriceField));
    ui_->TakeProfitStepper->setFieldName(text(texts::kTakeProfit));
    ui_->StopLossStepper->setFieldName(text(texts::kStopLoss));
    ui_->DeviationTextField->setAccessibleName(text(texts::kAllowPriceDeviationPoints));
    ui_->TakeProfitPriceTextField->setAccessibleName(text(texts::kTakeProfit));
    ui_->StopLossPriceTextField->setAccessibleName(text(texts::kStopLoss));
}

void TicketAdvancedBox::setDecimals(int decimals) {
    for (DecimalTextField* field :
         {ui_->PriceTextField, ui_->TakeProfitPriceTextField, ui_->StopLossPriceTextField})
        field->setMaximumDecimals(decimals);
}

void TicketAdvancedBox::setLive(bool live) {
    ui_->PlaceOrderButton->setEnabled(live);
}

void TicketAdvancedBox::show(const TicketControls& c) {
    const TicketState& state = *state_;
    setEnabled(c.advanced);
    ui_->BuyCheckBox->setVisible(c.advanced);
    ui_->SellCheckBox->setVisible(c.advanced);
    setCheckedQuietly(ui_->BuyCheckBox, c.advanced && state.side() == Side::Buy);
    setCheckedQuietly(ui_->SellCheckBox, c.advanced && state.side() == Side::Sell);
    const char* icon = state.side() == Side::Buy ? "buy_button_img" : "sell_button_img";
    if (ui_->PlaceOrderButton->property("iconName").toString() != QLatin1String(icon)) {
        ui_->PlaceOrderButton->setProperty("iconName", QLatin1String(icon));
        ui_->PlaceOrderButton->setIcon(image(icon));
    }
    ui_->PriceTextField->setEnabled(c.pendingPrice);
    ui_->PriceStepper->setEnabled(c.pendingPrice);
    ui_->TimeInForceComboBox->setEnabled(c.pendingPrice);
    showChanged(ui_->PriceTextField, ticketText(state.price()));

    struct BracketWidgets {
        Bracket which;
        bool offered;
        QCheckBox* box;
        QLineEdit* field;
        QWidget* stepper;
        QLabel* hint;
    };
    for (const BracketWidgets& b :
         {BracketWidgets{Bracket::TakeProfit, c.takeProfitShown, ui_->TakeProfitCheckBox,
                         ui_->TakeProfitPriceTextField, ui_->TakeProfitStepper,
                         ui_->takeProfitPriceSuggestionLabel},
          BracketWidgets{Bracket::StopLoss, c.stopLossShown, ui_->StopLossCheckBox,
                         ui_->StopLossPriceTextField, ui_->StopLossStepper,
                         ui_->stopLossPriceSuggestionLabel}}) {
        const TicketField& field = state.bracket(b.which);
        for (QWidget* w : {static_cast<QWidget*>(b.box), static_cast<QWidget*>(b.field), b.stepper,
                           static_cast<QWidget*>(b.hint)})
            w->setVisible(b.offered);
        // Simple mode leaves the boxes as they were: the whole box is off there.
        if (c.advanced)
            b.box->setEnabled(c.bracketsEnabled);
        setCheckedQuietly(b.box, field.on);
        b.field->setEnabled(field.on);
        b.stepper->setEnabled(field.on);
        showChanged(b.field, ticketText(field.text));
    }
    ui_->DeviationCheckBox->setVisible(c.deviationShown);
    ui_->DeviationTextField->setVisible(c.deviationShown);
    setCheckedQuietly(ui_->DeviationCheckBox, state.deviation().on);
    ui_->DeviationTextField->setEnabled(state.deviation().on);
    showChanged(ui_->DeviationTextField, ticketText(state.deviation().text));
}

void TicketAdvancedBox::showHints(const TicketPriceHints& hints, const ThemeManager& themes,
                                  const Words& words) {
    // paintEntry sets a style sheet only when it changes, a theme's new colours included.
    const auto paint = [&themes](QLineEdit* field, PriceCheck check) {
        field->setProperty("priceCheck", static_cast<int>(check));
        paintEntry(field,
                   check == PriceCheck::Untested ? std::nullopt
                                                 : std::optional<bool>(check == PriceCheck::Valid),
                   themes);
    };
    for (const auto& [hint, field, label, key] :
         {std::tuple{&hints.entry, ui_->PriceTextField, ui_->contingentPriceSuggestionLabel,
                     std::string_view(texts::kPriceField)},
          std::tuple{&hints.takeProfit, ui_->TakeProfitPriceTextField, ui_->takeProfitPriceSuggestionLabel,
                     std::string_view(texts::kTakeProfit)},
          std::tuple{&hints.stopLoss, ui_->StopLossPriceTextField, ui_->stopLossPriceSuggestionLabel,
                     std::string_view(texts::kStopLoss)}}) {
        showChanged(label, ticketText(hint->limit));
        paint(field, hint->check);
        noteEntry(field, hint->refusal.refused() ? words(hint->refusal, key) : QString());
    }
    markEntry(ui_->DeviationTextField,
              hints.deviation.refused() ? words(hints.deviation, texts::kDeviation) : QString(), themes);
}

} // namespace tc::gui
