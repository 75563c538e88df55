#include "gui/trading/close_and_cancel_position_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/controls/input_filters.h"
#include "gui/texts.h"
#include "interfaces/client.h"
#include "ui_close_and_cancel_position_window_controller.h"

#include <QLineEdit>

#include <charconv>

namespace tc::gui {

CloseAndCancelPositionWindowController::CloseAndCancelPositionWindowController(GuiContext& context,
                                                                               QWidget* parent)
    : RecordSheet(context, parent), ui_(std::make_unique<Ui::CloseAndCancelPositionWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("CloseAndCancelPositionWindowController"));
    installDecimalFilter(ui_->QuantityComboField);
    installPortFilter(ui_->DeviationTextField);
    ui_->QuantityComboField->setInsertPolicy(QComboBox::NoInsert);
    bindLanguage(this, context.language(), [this] {
        ui_->DeviationTextField->setAccessibleName(text(texts::kDeviation));
        if (!record().empty() && isVisible())
            fill();
    });
    connect(ui_->QuantityComboField, &QComboBox::editTextChanged, this, [this] {
        if (!filling_)
            updateValuesOnTimer(false);
    });
    connect(ui_->DeviationCheckBox, &QCheckBox::toggled, this,
            &CloseAndCancelPositionWindowController::deviationCheckboxSelect);
    connectButtons(
        ui_->CloseandCancelButton, [this] { closeAndCancelButtonClicked(); }, ui_->notNowButton);
}

CloseAndCancelPositionWindowController::~CloseAndCancelPositionWindowController() = default;

bool CloseAndCancelPositionWindowController::openFor(CloseJob job, const std::string& id) {
    job_ = job;
    if (!followRecord(id, [&](interfaces::Client& c) {
            return closeView(c.model(), c.queries(), job_, id, context().language().selected()).has_value();
        }))
        return false;
    // Each opening starts from the record: the deviation unticked and empty.
    ui_->DeviationCheckBox->setChecked(false);
    deviationCheckboxSelect(false);
    fill();
    openWithFocus({ui_->QuantityComboField, ui_->CloseandCancelButton});
    return true;
}

void CloseAndCancelPositionWindowController::fill() {
    interfaces::Client* c = client();
    const auto v = c ? closeView(c->model(), c->queries(), job_, record(), context().language().selected())
                     : std::nullopt;
    if (!v) {
        closeAsGone();
        return;
    }
    filling_ = true;
    const bool close = job_ == CloseJob::Close;
    ui_->ClosenadCancelBox->setTitle(qt(v->boxTitle));
    setWindowTitle(qt(v->boxTitle));
    ui_->AccountTextField->setText(qt(v->account));
    ui_->SymbolTextField->setText(qt(v->symbol));
    ui_->SymbolDescriptionTextField->setText(qt(v->name));
    ui_->QuantityComboField->clear();
    for (const std::string& entry : v->quantityList)
        ui_->QuantityComboField->addItem(qt(entry));
    ui_->QuantityComboField->setEditText(qt(v->quantity));
    ui_->QuantityComboField->setEnabled(v->quantityEditable);
    ui_->QuantityDescriptionTextField->setText(qt(v->quantityDescription));
    ui_->OrderTypeTextField->setText(qt(v->orderType));
    ui_->OrderPriceTextField->setText(qt(v->orderPrice));
    ui_->CurrentPriceTextField->setText(qt(v->currentPrice));
    ui_->EstimatedPLLabel->setVisible(close);
    ui_->EstimatedPLTextField->setVisible(close);
    ui_->EstimatedPLTextField->setText(qt(v->estimatedResult));
    ui_->CloseandCancelButton->setText(qt(v->buttonTitle));
    ui_->DeviationCheckBox->setVisible(v->deviationShown);
    ui_->DeviationTextField->setVisible(v->deviationShown);
    if (!v->deviationShown) {
        ui_->DeviationCheckBox->setChecked(false);
        deviationCheckboxSelect(false);
    }
    filling_ = false;
}

void CloseAndCancelPositionWindowController::refresh(bool fromTick) {
    updateValuesOnTimer(fromTick);
}

void CloseAndCancelPositionWindowController::updateValuesOnTimer(bool fromTimer) {
    interfaces::Client* c = client();
    const std::string typed = ui_->QuantityComboField->currentText().toStdString();
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
    if (!fromTimer) {
        ui_->QuantityDescriptionTextField->setText(qt(v->quantityDescription));
        ui_->CloseandCancelButton->setText(qt(v->buttonTitle));
    }
}

void CloseAndCancelPositionWindowController::deviationCheckboxSelect(bool ticked) {
    ui_->DeviationTextField->setEnabled(ticked);
    ui_->DeviationTextField->setText(ticked ? QStringLiteral("0") : QString());
}

void CloseAndCancelPositionWindowController::closeAndCancelButtonClicked() {
    interfaces::Client* c = client();
    if (!c)
        return;
    if (job_ == CloseJob::Cancel) {
        if (!findRecord(c->queries(), DialogRecord::PendingOrder, record())) {
            closeAsGone();
            return;
        }
        takeResult(c->orders().cancelPendingOrder(record()));
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
        showRefusal(refusalText(refusal->key, refusal->detail));
        return;
    }
    std::optional<std::int32_t> points;
    if (deviation) {
        std::int32_t value = 0;
        std::from_chars(deviationText.data(), deviationText.data() + deviationText.size(), value);
        points = value;
    }
    takeResult(c->orders().closePosition(record(), *typedDecimal(quantity), points));
}

} // namespace tc::gui
