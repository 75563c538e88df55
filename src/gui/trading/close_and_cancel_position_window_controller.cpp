#include "gui/trading/close_and_cancel_position_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/controls/input_filters.h"
#include "gui/texts.h"
#include "gui/trading/trade_entries.h"
#include "interfaces/client.h"
#include "model/position_quantities.h"
#include "ui_close_and_cancel_position_window_controller.h"

#include <QLineEdit>

#include <utility>

namespace tc::gui {

CloseAndCancelPositionWindowController::CloseAndCancelPositionWindowController(GuiContext& context,
                                                                               QWidget* parent)
    : RecordSheet(context, parent), ui_(std::make_unique<Ui::CloseAndCancelPositionWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("CloseAndCancelPositionWindowController"));
    // Both keep what is typed; a text that is no number is marked at once and refused by the button.
    installDecimalFilter(ui_->QuantityComboField);
    installDecimalFilter(ui_->DeviationTextField);
    ui_->QuantityComboField->setInsertPolicy(QComboBox::NoInsert);
    bindLanguage(this, context.language(), [this] {
        ui_->DeviationTextField->setAccessibleName(text(texts::kDeviation));
        if (!record().empty() && isVisible() && client())
            fill();
    });
    // The fills set the quantity with its signals blocked: a change here is the trader's.
    connect(ui_->QuantityComboField, &QComboBox::editTextChanged, this, [this] {
        traderEdited();
        updateValuesOnTimer(false);
    });
    connect(ui_->DeviationTextField, &QLineEdit::textChanged, this, [this] { markDeviation(); });
    connect(ui_->DeviationTextField, &QLineEdit::textEdited, this, [this] { traderEdited(); });
    connect(ui_->DeviationCheckBox, &QCheckBox::clicked, this, [this] { traderEdited(); });
    connect(ui_->DeviationCheckBox, &QCheckBox::toggled, this,
            &CloseAndCancelPositionWindowController::deviationCheckboxSelect);
    connectButtons(
        ui_->CloseAndCancelButton, [this] { closeAndCancelButtonClicked(); }, ui_->notNowButton);
}

CloseAndCancelPositionWindowController::~CloseAndCancelPositionWindowController() = default;

bool CloseAndCancelPositionWindowController::openFor(CloseJob job, const std::string& id) {
    job_ = job;
    sent_.reset();
    // Each opening starts from the record: the deviation unticked and empty.
    ui_->DeviationCheckBox->setChecked(false);
    deviationCheckboxSelect(false);
    return openRecord(
        id,
        [&](interfaces::Client& c) {
            return closeView(c.model(), c.queries(), job_, id, context().language().selected()).has_value();
        },
        {ui_->QuantityComboField, ui_->CloseAndCancelButton});
}

void CloseAndCancelPositionWindowController::fill() {
    interfaces::Client* c = client();
    const auto v = c ? closeView(c->model(), c->queries(), job_, record(), context().language().selected())
                     : std::nullopt;
    if (!v) {
        closeAsGone();
        return;
    }
    const bool close = job_ == CloseJob::Close;
    showRecordLines({ui_->ClosenadCancelBox, ui_->AccountTextField, ui_->SymbolTextField,
                     ui_->SymbolDescriptionTextField, ui_->QuantityComboField,
                     ui_->QuantityDescriptionTextField, ui_->OrderTypeTextField, ui_->CloseAndCancelButton},
                    *v);
    // The mark follows the quantity filled; one left from an earlier opening goes.
    markRefusal(ui_->QuantityComboField, close ? v->quantityRefused : std::nullopt);
    ui_->OrderPriceTextField->setText(qt(v->orderPrice));
    ui_->CurrentPriceTextField->setText(qt(v->currentPrice));
    ui_->EstimatedPLLabel->setVisible(close);
    ui_->EstimatedPLTextField->setVisible(close);
    ui_->EstimatedPLTextField->setText(qt(v->estimatedResult));
    ui_->DeviationCheckBox->setVisible(v->deviationShown);
    ui_->DeviationTextField->setVisible(v->deviationShown);
    if (!v->deviationShown) {
        ui_->DeviationCheckBox->setChecked(false);
        deviationCheckboxSelect(false);
    }
}

void CloseAndCancelPositionWindowController::refresh(bool fromTick) {
    updateValuesOnTimer(fromTick);
}

std::optional<RecordSheet::SentOutcome>
CloseAndCancelPositionWindowController::takeUpRecord(bool unanswered) {
    interfaces::Client* c = client();
    const std::optional<Sent> sent = std::exchange(sent_, std::nullopt);
    if (!unanswered || !sent || !c) {
        refresh(false);
        return std::nullopt;
    }
    const bool close = job_ == CloseJob::Close;
    const auto now =
        findRecord(c->queries(), close ? DialogRecord::OpenPosition : DialogRecord::PendingOrder, record());
    if (!now)
        return SentOutcome::Gone;
    // As it was: what was typed stays, to be sent again.
    if (!close || now->RemainingQty == sent->held) {
        refresh(false);
        return SentOutcome::NotCarriedOut;
    }
    // Changed: the sheet shows what is left, not the quantity of the request already carried out.
    fill();
    return now->RemainingQty == sent->held - sent->quantity ? SentOutcome::CarriedOut : SentOutcome::Unclear;
}

void CloseAndCancelPositionWindowController::updateValuesOnTimer(bool fromTimer) {
    interfaces::Client* c = client();
    const std::string typed = ui_->QuantityComboField->currentText().trimmed().toStdString();
    const auto v =
        c ? closeView(c->model(), c->queries(), job_, record(), context().language().selected(),
                      job_ == CloseJob::Close ? std::optional<std::string_view>(typed) : std::nullopt)
          : std::nullopt;
    if (!v) {
        closeAsGone();
        return;
    }
    ui_->CurrentPriceTextField->setText(qt(v->currentPrice));
    if (job_ != CloseJob::Close)
        return;
    ui_->EstimatedPLTextField->setText(qt(v->estimatedResult));
    // What the button would refuse, marked at once; the tick may move the closable lots.
    markRefusal(ui_->QuantityComboField, v->quantityRefused);
    if (!fromTimer) {
        ui_->QuantityDescriptionTextField->setText(qt(v->quantityDescription));
        ui_->CloseAndCancelButton->setText(qt(v->buttonTitle));
    }
}

void CloseAndCancelPositionWindowController::deviationCheckboxSelect(bool ticked) {
    ui_->DeviationTextField->setEnabled(ticked);
    ui_->DeviationTextField->setText(ticked ? QStringLiteral("0") : QString());
    markDeviation();
}

void CloseAndCancelPositionWindowController::markDeviation() {
    // An empty field is being typed; the button names it.
    const QString typed = ui_->DeviationTextField->text();
    markField(ui_->DeviationTextField,
              ui_->DeviationCheckBox->isChecked() && !typed.isEmpty() ? readPointsEntry(typed.toStdString())
                                                                      : TradeEntry{Decimal(), {}},
              texts::kDeviation);
}

void CloseAndCancelPositionWindowController::closeAndCancelButtonClicked() {
    // A close on a position an earlier request still waits for asks first; a cancel acts on a
    // pending order, which no such request names.
    if (job_ == CloseJob::Close && closeSendable())
        sendOrAskFirst({record()}, AskingWindow::CloseSheet, [this] { send(); });
    else
        send();
}

bool CloseAndCancelPositionWindowController::closeSendable() {
    interfaces::Client* c = client();
    if (!c)
        return false;
    const auto position = findRecord(c->queries(), DialogRecord::OpenPosition, record());
    if (!position)
        return false;
    const std::string quantity = ui_->QuantityComboField->currentText().trimmed().toStdString();
    const std::string deviationText = ui_->DeviationTextField->text().toStdString();
    const bool deviation = ui_->DeviationCheckBox->isVisible() && ui_->DeviationCheckBox->isChecked();
    const Decimal closable = closableQuantity(*position, c->queries().getPendingOrderCollection());
    return !closeRefusal(quantity, closable,
                         deviation ? std::optional<std::string_view>(deviationText) : std::nullopt);
}

void CloseAndCancelPositionWindowController::send() {
    interfaces::Client* c = client();
    if (!c)
        return;
    if (job_ == CloseJob::Cancel) {
        if (!findRecord(c->queries(), DialogRecord::PendingOrder, record())) {
            closeAsGone();
            return;
        }
        if (takeResult(c->orders().cancelPendingOrder(record())))
            sent_ = Sent{};
        return;
    }
    const auto position = findRecord(c->queries(), DialogRecord::OpenPosition, record());
    if (!position) {
        closeAsGone();
        return;
    }
    const std::string quantity = ui_->QuantityComboField->currentText().trimmed().toStdString();
    const std::string deviationText = ui_->DeviationTextField->text().toStdString();
    const bool deviation = ui_->DeviationCheckBox->isVisible() && ui_->DeviationCheckBox->isChecked();
    const Decimal closable = closableQuantity(*position, c->queries().getPendingOrderCollection());
    if (const auto refusal = closeRefusal(
            quantity, closable, deviation ? std::optional<std::string_view>(deviationText) : std::nullopt)) {
        showRefusal(refusalText(*refusal));
        return;
    }
    std::optional<std::int32_t> points;
    if (deviation)
        points = static_cast<std::int32_t>(readPointsEntry(deviationText).value->int64Value());
    const Decimal closing = *readQuantityEntry(quantity).value;
    if (takeResult(c->orders().closePosition(record(), closing, points)))
        sent_ = Sent{position->RemainingQty, closing};
}

} // namespace tc::gui
