#include "gui/trading/offset_position_window_controller.h"

#include "gui/app/qt_text.h"
#include "gui/trading/position_dialog_rules.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/input_filters.h"
#include "gui/controls/tab_chain.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_tones.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "gui/trading/trade_entries.h"
#include "interfaces/client.h"
#include "platform/amount_text.h"
#include "ui_offset_position_window_controller.h"

#include <QBrush>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QTableView>

#include <algorithm>

namespace tc::gui {

// One row of the offset table: the position's figures and whether it is ticked.
struct OffsetLine {
    OffsetRow row;
    bool ticked = false;
    bool refused = false;           // its quantity is refused: no figure is worked from it
    std::optional<double> floating; // the position's floating P/L, as the grid shows it
};

namespace {

constexpr int kQuantityColumn = 8;

// Return or Enter in a row's quantity box ends the entry there (the box already holds it): it is
// not passed on to the sheet, whose default button would send the offset.
class EndsEntryOnReturn : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                auto* box = qobject_cast<QComboBox*>(watched);
                if (!box)
                    box = qobject_cast<QComboBox*>(watched->parent());
                if (event->type() == QEvent::KeyPress && box)
                    box->lineEdit()->selectAll();
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};
// The table's width in the form, below which it never goes.
constexpr int kLeastTableWidth = 720;

} // namespace

OffsetPositionWindowController::OffsetPositionWindowController(GuiContext& context, QWidget* parent)
    : RecordSheet(context, parent), ui_(std::make_unique<Ui::OffsetPositionWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("OffsetPositionWindowController"));
    // The tick, then the row's figures; the offset quantity is a box of its own in the last column.
    using Column = RecordTableModel<OffsetLine>::Column;
    std::vector<Column> columns{
        {"", {}, {}, {}, [](const OffsetLine& l) { return l.ticked; }},
        {texts::kPositionIDColumn, [](const OffsetLine& l) { return qt(l.row.positionId); }},
        {texts::kOffsetOpenPrice,
         [this](const OffsetLine& l) { return qt(priceText(l.row.closePrice, instrument())); }},
        {texts::kSide, [this](const OffsetLine& l) { return qt(sideName(l.row.tradingMode)); }},
        {texts::kFloatingPL,
         [](const OffsetLine& l) { return l.floating ? qt(platform::amountText(*l.floating)) : QString(); },
         {},
         // In the grid's colours of a gain and a loss.
         [&context](const OffsetLine& l, int role) -> QVariant {
             if (role != Qt::ForegroundRole || !l.floating)
                 return {};
             const auto colour = toneStyle(Grid::OpenPositions, *l.floating < 0 ? Tone::Loss : Tone::Gain,
                                           context.themes().getThemeForKey())
                                     .foreground;
             return colour ? QVariant(QBrush(*colour)) : QVariant();
         }},
        // What offsetting the chosen quantity fixes: a figure of its own, beside the floating one.
        {texts::kOffsetPL,
         [](const OffsetLine& l) {
             return l.refused ? QString() : qt(platform::amountText(l.row.profitLoss));
         }},
        {texts::kTotalQty, [](const OffsetLine& l) { return qt(quantityText(l.row.totalQty)); }},
        {texts::kAvailableQty,
         [](const OffsetLine& l) { return l.refused ? QString() : qt(quantityText(l.row.QtyAvailable)); }},
        {texts::kOffsetQty, {}}};
    lines_ = new RecordTableModel<OffsetLine>(
        std::move(columns), [](const OffsetLine& l) { return l.row.positionId; },
        [&shown = context](std::string_view key) { return shown.text(key); }, this);
    lines_->setSelectable(false);
    lines_->onTick([this](const std::string& id, bool ticked) {
        const int row = lines_->rowOf(id);
        if (!showing_ && row >= 0 && ticked != state_.isTicked(static_cast<std::size_t>(row)))
            hitCheckbox(row);
    });
    QTableView* table = ui_->offsetPositionTableView;
    table->setModel(lines_);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    bindLanguage(this, context.language(), [this] {
        lines_->retitle();
        if (!state_.positionId().empty())
            showTitle();
        // The side letters; ticks and typed quantities stay as they are.
        lines_->refreshAll();
    });
    connectButtons(
        ui_->offsetButton, [this] { OffsetButtonClicked(); }, ui_->notNowButton);
}

OffsetPositionWindowController::~OffsetPositionWindowController() = default;

bool OffsetPositionWindowController::openFor(const std::string& positionId) {
    sent_.reset();
    return openRecord(positionId,
                      [&](interfaces::Client& c) { return state_.fill(c.model(), c.queries(), positionId); },
                      {ui_->offsetPositionTableView});
}

const ItemDetails* OffsetPositionWindowController::instrument() const {
    interfaces::Client* c = client();
    return c ? instrumentOf(c->model(), state_.symbol()) : nullptr;
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
    ui_->OpenPriceTextField->setText(qt(state_.openPrice()));
    ui_->QuantityTextField->setText(qt(quantityText(state_.quantity())));
    showMaySend();
    showRows();
    updateTextFieldValues();
}

std::vector<OffsetLine> OffsetPositionWindowController::lines() const {
    std::vector<OffsetLine> lines;
    const interfaces::Client* c = client();
    for (std::size_t i = 0; i < state_.rows().size(); ++i)
        lines.push_back({state_.rows()[i], state_.isTicked(i), state_.refusedEntry(i),
                         c ? state_.floatingPL(c->model(), i) : std::nullopt});
    return lines;
}

void OffsetPositionWindowController::showRows() {
    showing_ = true;
    QTableView* table = ui_->offsetPositionTableView;
    // Every opening makes its boxes again: the old ones go with the old rows.
    lines_->setRecords({});
    lines_->setRecords(lines());
    quantityBoxes_.clear();
    for (int row = 0; row < lines_->rowCount(); ++row) {
        auto* box = new QComboBox(table);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        installDecimalFilter(box);
        // On the box as well as its line edit: the key comes to the box (the line edit's focus
        // proxy), which hands it to the line edit past its filters and then up to the sheet.
        auto* endsEntry = new EndsEntryOnReturn(box);
        box->installEventFilter(endsEntry);
        box->lineEdit()->installEventFilter(endsEntry);
        box->setAccessibleName(text(texts::kOffsetQty));
        connect(box, &QComboBox::editTextChanged, this, [this, row](const QString& quantity) {
            if (!showing_)
                QuantitySelectedAtIndex(row, quantity);
        });
        table->setIndexWidget(lines_->index(row, kQuantityColumn), box);
        quantityBoxes_.push_back(box);
        updateRow(row);
    }
    // The sheet is never narrower than its columns (the quantity boxes are the last of them), as
    // far as the screen allows; measured without the last column's stretch, which would keep its
    // title's room.
    QHeaderView* header = table->horizontalHeader();
    header->setStretchLastSection(false);
    table->resizeColumnsToContents();
    int least = header->length() + 2 * table->frameWidth() +
                table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
    if (const QScreen* shown = screen())
        least = std::min(least, shown->availableGeometry().width() * 9 / 10);
    header->setStretchLastSection(true);
    table->setMinimumWidth(std::max(least, kLeastTableWidth));
    // Each row's quantity box is reached from the table, row by row, before the buttons.
    chainTabOrder({ui_->OffsetBox, table, ui_->notNowButton, ui_->offsetButton});
    showing_ = false;
}

void OffsetPositionWindowController::updateRow(int row) {
    const bool wasShowing = showing_;
    showing_ = true;
    const OffsetRow& r = state_.rows()[static_cast<std::size_t>(row)];
    const bool ticked = state_.isTicked(static_cast<std::size_t>(row));
    lines_->setRecords(lines());
    QComboBox* box = quantityBoxes_[static_cast<std::size_t>(row)];
    if (box->currentText() != qt(r.offsetText) || box->count() == 0 || !ticked) {
        const QSignalBlocker block(box);
        box->clear();
        if (interfaces::Client* c = client())
            for (const std::string& entry : state_.quantityList(c->model(), static_cast<std::size_t>(row)))
                box->addItem(qt(entry));
        box->setEditText(qt(r.offsetText));
    }
    box->setEnabled(ticked);
    showing_ = wasShowing;
}

void OffsetPositionWindowController::updateTextFieldValues() {
    ui_->OffsetQtyTextField->setText(qt(state_.offsetTotal()));
    ui_->RemainingQtyTextField->setText(qt(state_.remaining()));
    // Each row marked with what the Offset button would say of it; one row's entry can change
    // another's (their total).
    const interfaces::Client* c = client();
    for (std::size_t row = 0; row < quantityBoxes_.size(); ++row)
        markRefusal(quantityBoxes_[row], c ? state_.rowRefusal(c->model(), row) : std::nullopt);
}

void OffsetPositionWindowController::hitCheckbox(int row) {
    if (row < 0 || row >= static_cast<int>(state_.rows().size()))
        return;
    state_.toggle(static_cast<std::size_t>(row));
    traderEdited();
    updateRow(row);
    updateTextFieldValues();
}

void OffsetPositionWindowController::QuantitySelectedAtIndex(int row, const QString& quantity) {
    interfaces::Client* c = client();
    if (!c || row < 0 || row >= static_cast<int>(state_.rows().size()))
        return;
    state_.setQuantity(c->model(), static_cast<std::size_t>(row), quantity.trimmed().toStdString());
    traderEdited();
    updateRow(row);
    updateTextFieldValues();
}

void OffsetPositionWindowController::OffsetButtonClicked() {
    interfaces::Client* c = client();
    if (!c || isWaitingForAnswer())
        return;
    if (const auto refusal = state_.refusal(c->model(), c->isNetworkAvailable())) {
        showRefusal(refusalText(*refusal));
        return;
    }
    // The position and its legs: an earlier request still waiting on any of them asks first.
    std::vector<std::string> positions{state_.positionId()};
    for (const auto& leg : state_.legs())
        positions.push_back(leg.positionId);
    sendOrAskFirst(positions, AskingWindow::OffsetSheet, [this] { send(); });
}

void OffsetPositionWindowController::send() {
    interfaces::Client* c = client();
    if (!c || isWaitingForAnswer())
        return;
    // Checked again: the question may have stood open while the figures moved.
    if (const auto refusal = state_.refusal(c->model(), c->isNetworkAvailable())) {
        showRefusal(refusalText(*refusal));
        return;
    }
    const auto legs = state_.legs();
    // Sent once: the sheet waits for the server's answer to this request and sends nothing more.
    Decimal total;
    for (const auto& leg : legs)
        total = total + leg.quantity;
    if (takeResult(c->orders().offsetPosition(state_.positionId(), legs)))
        sent_ = Sent{state_.quantity(), total};
}

std::optional<RecordSheet::SentOutcome> OffsetPositionWindowController::takeUpRecord(bool unanswered) {
    interfaces::Client* c = client();
    const std::optional<Sent> sent = unanswered ? std::exchange(sent_, std::nullopt) : std::nullopt;
    const auto now = c ? findRecord(c->queries(), DialogRecord::OpenPosition, record()) : nullptr;
    if (!now) {
        if (sent)
            return SentOutcome::Gone;
        closeAsGone();
        return std::nullopt;
    }
    if (sent && now->RemainingQty != sent->held) {
        // Changed: the sheet starts again from what is left, nothing ticked.
        state_.fill(c->model(), c->queries(), record());
        fill();
        return now->RemainingQty == sent->held - sent->total ? SentOutcome::CarriedOut : SentOutcome::Unclear;
    }
    // The position's and the rows' figures as the server now holds them; ticks and typed quantities stay.
    state_.reread(c->model(), c->queries());
    fill();
    if (sent)
        return SentOutcome::NotCarriedOut;
    return std::nullopt;
}

void OffsetPositionWindowController::refresh(bool fromTick) {
    // The floating P/L moves every second, as in the grid; ticks and typed quantities stay.
    if (!state_.positionId().empty()) {
        const bool wasShowing = showing_;
        showing_ = true;
        lines_->setRecords(lines());
        showing_ = wasShowing;
    }
    if (fromTick)
        return;
    interfaces::Client* c = client();
    if (!c || !findRecord(c->queries(), DialogRecord::OpenPosition, record()))
        closeAsGone();
}

} // namespace tc::gui
