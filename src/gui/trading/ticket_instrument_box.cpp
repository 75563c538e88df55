#include "gui/trading/ticket_instrument_box.h"

#include "gui/controls/entry_marks.h"
#include "gui/controls/input_filters.h"
#include "gui/trading/ticket_state.h"
#include "gui/trading/ticket_widgets.h"
#include "ui_ticket_instrument_box.h"

namespace tc::gui {

TicketInstrumentBox::TicketInstrumentBox(QWidget* parent)
    : QGroupBox(parent), ui_(std::make_unique<Ui::TicketInstrumentBox>()) {
    ui_->setupUi(this);
    installDecimalFilter(ui_->QuantityComboBox);
    connect(ui_->AccountComboBox, &QComboBox::activated, this, [this](int index) {
        const QVariant id = ui_->AccountComboBox->itemData(index);
        if (id.isValid())
            Q_EMIT accountChosen(id.value<std::int32_t>());
    });
    connect(ui_->SymbolComboBox, &QComboBox::activated, this,
            [this] { Q_EMIT instrumentChosen(ui_->SymbolComboBox->currentText()); });
    connect(ui_->QuantityComboBox, &QComboBox::activated, this, [this] {
        // The chosen entry is written back as its plain number.
        const auto value = fieldDecimal(ui_->QuantityComboBox->currentText().toStdString());
        ui_->QuantityComboBox->setEditText(ticketText(value.value_or(platform::Decimal()).toString()));
        Q_EMIT quantityEdited();
    });
    connect(ui_->QuantityComboBox, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (state_)
            state_->setQuantity(text.toStdString());
        if (!loading_)
            Q_EMIT quantityEdited();
    });
}

TicketInstrumentBox::~TicketInstrumentBox() = default;

void TicketInstrumentBox::setAccounts(const std::vector<std::int32_t>& ids, std::int32_t current) {
    QStringList numbers;
    for (const std::int32_t id : ids)
        numbers << QString::number(id);
    fillQuietly(ui_->AccountComboBox, numbers, QString::number(current));
    // The id rides with its entry, so choosing one never reads the shown number back.
    for (int i = 0; i < static_cast<int>(ids.size()); ++i)
        ui_->AccountComboBox->setItemData(i, QVariant::fromValue(ids[static_cast<std::size_t>(i)]));
}

void TicketInstrumentBox::setInstruments(const QStringList& codes, const QString& current) {
    fillQuietly(ui_->SymbolComboBox, codes, current);
}

void TicketInstrumentBox::showInstrument(const QString& code, const QString& name) {
    {
        const QSignalBlocker quiet(ui_->SymbolComboBox);
        ui_->SymbolComboBox->setCurrentIndex(ui_->SymbolComboBox->findText(code));
    }
    ui_->SymbolDescriptionTextField->setText(name);
}

void TicketInstrumentBox::setQuantities(const QStringList& entries, const QString& text) {
    loading_ = true;
    fillQuietly(ui_->QuantityComboBox, entries, text);
    ui_->QuantityComboBox->setEditText(text);
    loading_ = false;
}

void TicketInstrumentBox::showQuantity(const QString& text) {
    loading_ = true;
    ui_->QuantityComboBox->setEditText(text);
    loading_ = false;
}

void TicketInstrumentBox::showContractValue(const QString& text) {
    ui_->QuantityDescriptionTextField->setText(text);
}

void TicketInstrumentBox::markQuantity(const QString& reason, const ThemeManager& themes) {
    markEntry(ui_->QuantityComboBox, reason, themes);
}

void TicketInstrumentBox::setSingleAccount(bool single) {
    ui_->AccountComboBox->setEnabled(single);
    ui_->QuantityComboBox->setEnabled(single);
}

} // namespace tc::gui
