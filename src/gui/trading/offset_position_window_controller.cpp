#include "gui/trading/offset_position_window_controller.h"

#include "gui/app/qt_text.h"
#include "gui/trading/position_dialog_rules.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/controls/input_filters.h"
#include "gui/market/grid_cells.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "interfaces/client.h"
#include "ui_offset_position_window_controller.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableWidgetItem>

#include <array>

namespace tc::gui {
namespace {

// Column identifiers: the tick, then the row's figures; each header reads its key.
constexpr std::array<std::string_view, 8> kColumns = {"0",
                                                      texts::kPositionIDColumn,
                                                      texts::kOffsetOpenPrice,
                                                      texts::kSide,
                                                      texts::kFloatingPL,
                                                      texts::kTotalQty,
                                                      texts::kAvailableQty,
                                                      texts::kOffsetQty};
constexpr int kTickColumn = 0;
constexpr int kQuantityColumn = 7;

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

OffsetPositionWindowController::OffsetPositionWindowController(GuiContext& context, QWidget* parent)
    : RecordSheet(context, parent), ui_(std::make_unique<Ui::OffsetPositionWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("OffsetPositionWindowController"));
    QTableWidget* table = ui_->offsetPositionTableView;
    table->setColumnCount(static_cast<int>(kColumns.size()));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    bindLanguage(this, context.language(), [this] {
        QStringList headers;
        for (std::string_view id : kColumns)
            headers << (id == "0" ? QStringLiteral(" ") : text(id));
        ui_->offsetPositionTableView->setHorizontalHeaderLabels(headers);
        if (!state_.positionId().empty())
            showTitle();
        // The side letters; ticks and typed quantities stay as they are.
        QTableWidget* rows = ui_->offsetPositionTableView;
        for (int row = 0; row < rows->rowCount() && static_cast<std::size_t>(row) < state_.rows().size();
             ++row)
            if (QTableWidgetItem* side = rows->item(row, 3))
                side->setText(qt(sideName(state_.rows()[static_cast<std::size_t>(row)].side)));
    });
    connect(table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (showing_ || item->column() != kTickColumn)
            return;
        const bool ticked = item->checkState() == Qt::Checked;
        if (ticked != state_.isTicked(static_cast<std::size_t>(item->row())))
            hitCheckbox(item->row());
    });
    connect(ui_->offsetButton, &QPushButton::clicked, this,
            &OffsetPositionWindowController::OffsetButtonClicked);
    connect(ui_->notNowButton, &QPushButton::clicked, this, &QDialog::reject);
}

OffsetPositionWindowController::~OffsetPositionWindowController() = default;

bool OffsetPositionWindowController::openFor(const std::string& positionId) {
    follow(positionId);
    waiting_ = false;
    interfaces::Client* c = client();
    if (!c || !state_.fill(c->model(), c->queries(), positionId)) {
        closeAsGone();
        return false;
    }
    // Only the answer to this sheet's own request closes it.
    connect(context().clientModel(), &ClientModel::offsetAnswered, this,
            &OffsetPositionWindowController::answered, Qt::UniqueConnection);
    fill();
    openOn(parentWidget());
    ui_->offsetPositionTableView->setFocus();
    return true;
}

std::string OffsetPositionWindowController::sideName(std::int32_t side) const {
    return shownName(context().language().selected(), sideText(side));
}

void OffsetPositionWindowController::showTitle() {
    const QString title =
        QStringLiteral("%1 #%2 (%3)")
            .arg(text(texts::kOffsetPosition), qt(state_.positionId()), qt(sideName(state_.side())));
    ui_->OffsetBox->setTitle(title);
    setWindowTitle(title);
}

void OffsetPositionWindowController::fill() {
    showTitle();
    ui_->AccountTextField->setText(qt(state_.account()));
    ui_->SymbolTextField->setText(qt(state_.symbol()));
    ui_->OpenpriceTextField->setText(qt(state_.openPrice()));
    ui_->QuantityTextField->setText(qt(state_.quantity()));
    ui_->offsetButton->setEnabled(true);
    showRows();
    updateTextFieldValues();
}

void OffsetPositionWindowController::showRows() {
    showing_ = true;
    QTableWidget* table = ui_->offsetPositionTableView;
    table->clearContents();
    const auto& rows = state_.rows();
    table->setRowCount(static_cast<int>(rows.size()));
    quantityBoxes_.clear();
    for (int row = 0; row < table->rowCount(); ++row) {
        auto* tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        table->setItem(row, kTickColumn, tick);
        auto* box = new QComboBox(table);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        installDecimalFilter(box);
        box->setAccessibleName(text(texts::kOffsetQty));
        connect(box, &QComboBox::editTextChanged, this, [this, row](const QString& quantity) {
            if (!showing_)
                QuantitySelectedAtIndex(row, quantity);
        });
        table->setCellWidget(row, kQuantityColumn, box);
        quantityBoxes_.push_back(box);
        updateRow(row);
    }
    table->resizeColumnsToContents();
    showing_ = false;
}

void OffsetPositionWindowController::updateRow(int row) {
    const bool wasShowing = showing_;
    showing_ = true;
    QTableWidget* table = ui_->offsetPositionTableView;
    const OffsetRow& r = state_.rows()[static_cast<std::size_t>(row)];
    const bool ticked = state_.isTicked(static_cast<std::size_t>(row));
    table->item(row, kTickColumn)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    table->setItem(row, 1, cell(qt(r.positionId)));
    table->setItem(row, 2, cell(qt(r.openPrice)));
    table->setItem(row, 3, cell(qt(sideName(r.side))));
    table->setItem(row, 4, cell(qt(moneyText(r.profitLoss))));
    table->setItem(row, 5, cell(qt(r.totalQty)));
    table->setItem(row, 6, cell(qt(r.availableQty)));
    QComboBox* box = quantityBoxes_[static_cast<std::size_t>(row)];
    if (box->currentText() != qt(r.offsetQty) || box->count() == 0 || !ticked) {
        const QSignalBlocker block(box);
        box->clear();
        if (interfaces::Client* c = client())
            for (const std::string& entry : state_.quantityList(c->model(), static_cast<std::size_t>(row)))
                box->addItem(qt(entry));
        box->setEditText(qt(r.offsetQty));
    }
    box->setEnabled(ticked);
    showing_ = wasShowing;
}

void OffsetPositionWindowController::updateTextFieldValues() {
    ui_->OffsetQtyTextField->setText(qt(state_.offsetTotal()));
    ui_->RemainingQtyTextField->setText(qt(state_.remaining()));
}

void OffsetPositionWindowController::hitCheckbox(int row) {
    if (row < 0 || row >= static_cast<int>(state_.rows().size()))
        return;
    state_.toggle(static_cast<std::size_t>(row));
    updateRow(row);
    updateTextFieldValues();
}

void OffsetPositionWindowController::QuantitySelectedAtIndex(int row, const QString& quantity) {
    interfaces::Client* c = client();
    if (!c || row < 0 || row >= static_cast<int>(state_.rows().size()))
        return;
    state_.setQuantity(c->model(), static_cast<std::size_t>(row), quantity.trimmed().toStdString());
    updateRow(row);
    updateTextFieldValues();
}

void OffsetPositionWindowController::OffsetButtonClicked() {
    interfaces::Client* c = client();
    if (!c || waiting_)
        return;
    if (const auto key = state_.refusalKey(c->model(), c->isNetworkAvailable())) {
        showRefusal(text(*key));
        return;
    }
    const auto legs = state_.legs();
    const interfaces::OrderResult result = c->orders().offsetPosition(state_.positionId(), legs);
    if (!result.sent()) {
        showRefusal(qt(result.refusalText.empty() ? result.refusalKey : result.refusalText));
        return;
    }
    // Sent once: the sheet waits for the server's answer and sends nothing more meanwhile.
    waiting_ = true;
    ui_->offsetButton->setEnabled(false);
}

void OffsetPositionWindowController::answered(const interfaces::OffsetAnswer& answer) {
    if (!waiting_ || !isVisible())
        return; // another window's offset, or one this sheet gave up waiting for
    waiting_ = false;
    if (answer.accepted) {
        accept();
        Q_EMIT requestSent();
        return;
    }
    ui_->offsetButton->setEnabled(true);
    showRefusal(qt(answer.reason.empty() ? answer.code : answer.reason));
}

void OffsetPositionWindowController::refresh(bool fromTick) {
    if (fromTick || waiting_)
        return; // no live values; while waiting, the offset itself changes the positions
    interfaces::Client* c = client();
    if (!c || !findRecord(c->queries(), DialogRecord::OpenPosition, record()))
        closeAsGone();
}

void OffsetPositionWindowController::done(int result) {
    waiting_ = false;
    RecordSheet::done(result);
}

} // namespace tc::gui
