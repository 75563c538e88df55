#include "gui/trading/ticket_accounts_drawer.h"

#include "gui/controls/header_editor.h"
#include "gui/controls/toggles.h"
#include "gui/texts.h"
#include "gui/trading/multi_account_model.h"
#include "gui/trading/trade_entries.h"
#include "ui_ticket_accounts_drawer.h"

#include <QHeaderView>
#include <QStyle>

#include <algorithm>

namespace tc::gui {
namespace {

// The drawer's widest, and its layout's margin.
constexpr int kLeftDrawerWidth = 400;
constexpr int kDrawerMargin = 6;

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

} // namespace

TicketAccountsDrawer::TicketAccountsDrawer(QWidget* parent)
    : QFrame(parent), ui_(std::make_unique<Ui::TicketAccountsDrawer>()) {
    ui_->setupUi(this);
    model_ = new MultiAccountTableModel(
        [this](std::string_view key) { return text_ ? text_(key) : QString(); }, this);
    QTableView* table = ui_->multiTradeTableView;
    table->setModel(model_);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(MultiAccountTableModel::Tick,
                                                    QHeaderView::ResizeToContents);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    headerEditor_ = new HeaderEditor(table->horizontalHeader());
    // The quantity header sets every ticked row's quantity once two or more are ticked.
    connect(table->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, [this](int section) {
        if (section == MultiAccountTableModel::Quantity && model_->tickedCount() >= 2)
            headerEditor_->edit(section);
    });
    // An empty header edit sets nothing; any other text is a quantity for every ticked row, or refused.
    connect(headerEditor_, &HeaderEditor::edited, this, [this](const QString& text) {
        if (text.trimmed().isEmpty())
            return;
        if (const TradeEntry entry = readQuantityEntry(text.toStdString()); entry.ok())
            model_->setTickedQuantity(*entry.value);
        else
            Q_EMIT quantityRefused(text);
    });
    connect(model_, &MultiAccountTableModel::quantityRefused, this, &TicketAccountsDrawer::quantityRefused);
    connect(model_, &MultiAccountTableModel::orderChanged, this, &TicketAccountsDrawer::orderChanged);
    connect(model_, &MultiAccountTableModel::rowTicked, this, [this] { clearSelectAll(); });
    connect(ui_->multiAccountSelectAllCheckBox, &QCheckBox::toggled, this,
            [this](bool all) { model_->tickAll(all); });
}

// The table's header asks for its titles while the frame hides on the way out, after text_ is gone.
TicketAccountsDrawer::~TicketAccountsDrawer() {
    ui_->multiTradeTableView->setModel(nullptr);
}

void TicketAccountsDrawer::setTextSource(std::function<QString(std::string_view)> text) {
    text_ = std::move(text);
    model_->retitle();
}

void TicketAccountsDrawer::setRows(const AccountList& accounts) {
    model_->setAccounts(accounts);
    clearSelectAll();
}

void TicketAccountsDrawer::setNote(const QString& note) {
    ui_->multiAccountNoteLabel->setText(note);
    ui_->multiAccountNoteLabel->setVisible(!note.isEmpty());
}

void TicketAccountsDrawer::clearSelectAll() {
    setCheckedQuietly(ui_->multiAccountSelectAllCheckBox, false);
}

void TicketAccountsDrawer::retranslate() {
    ui_->multiTradeTableView->setAccessibleName(text_(texts::kMultiAccount));
    model_->retitle();
    const int tableWidth = widthForTitles(ui_->multiTradeTableView);
    ui_->multiTradeTableView->setMinimumWidth(tableWidth);
    // The drawer does not grow with the window beyond its rows' needs; the ticket takes the rest.
    setMaximumWidth(std::max(kLeftDrawerWidth, tableWidth + 2 * kDrawerMargin + 2 * frameWidth()));
}

} // namespace tc::gui
