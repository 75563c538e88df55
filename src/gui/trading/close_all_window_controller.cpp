#include "gui/trading/close_all_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/models/client_model.h"
#include "gui/models/grid_tones.h"
#include "gui/texts.h"
#include "gui/trading/close_position_status_window_controller.h"
#include "gui/trading/position_dialog_rules.h"
#include "interfaces/client.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "ui_close_all_window_controller.h"

#include <QHeaderView>
#include <QTableWidgetItem>

#include <array>

namespace tc::gui {
namespace {

constexpr std::array<std::string_view, 9> kColumns = {"0",
                                                      texts::kAccount,
                                                      texts::kPositionID0317,
                                                      texts::kSymbol,
                                                      texts::kSide,
                                                      texts::kQuantity,
                                                      texts::kPrice,
                                                      texts::kMarketPrice,
                                                      texts::kFloatingPL};
constexpr int kTickColumn = 0;
constexpr int kLivePriceColumn = 7;
constexpr int kResultColumn = 8;

QTableWidgetItem* cell(const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

CloseAllWindowController::CloseAllWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::CloseAllWindowController>()), context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("CloseAllWindowController"));
    QTableWidget* table = ui_->closeAllTableView;
    table->setColumnCount(static_cast<int>(kColumns.size()));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    bindLanguage(this, context.language(), [this] {
        QStringList headers;
        for (std::string_view id : kColumns)
            headers << (id == "0" ? QStringLiteral(" ") : context_.text(id));
        ui_->closeAllTableView->setHorizontalHeaderLabels(headers);
        setStatusHeaders(*ui_->closeAllStatusTableView, context_);
        setButtonTitle();
        if (isVisible())
            loadRows(); // the side letters
    });
    connect(table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (loading_ || item->column() != kTickColumn || item->row() >= static_cast<int>(rowIds_.size()))
            return;
        const std::string& id = rowIds_[static_cast<std::size_t>(item->row())];
        if ((item->checkState() == Qt::Checked) != flow_.isTicked(id))
            hitCheckbox(id);
    });
    connect(ui_->closeAllButton, &QPushButton::clicked, this,
            &CloseAllWindowController::closeAllButtonClicked);
    connect(ui_->notNowButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&context.themes(), &ThemeManager::themeChanged, this, [this] {
        refreshTableView();
        fillStatusTable(*ui_->closeAllStatusTableView, flow_.statusRows(), context_);
    });
}

CloseAllWindowController::~CloseAllWindowController() = default;

void CloseAllWindowController::onWindowLoad() {
    // Every opening starts again: the list, every position ticked, nothing refused or sent.
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    follow();
    flow_.start(session->client().queries().getOpenOrderCollection());
    ui_->closeAllTabView->setCurrentIndex(0);
    ui_->closeAllButton->show();
    ui_->notNowButton->setText(context_.text(texts::kNotNow));
    ui_->closeAllStatusTableView->setRowCount(0);
    loadRows();
    ui_->closeAllTableView->setFocus();
}

void CloseAllWindowController::follow() {
    dropSession();
    ClientModel* session = context_.clientModel();
    connections_.push_back(connect(session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        dropSession();
        if (isVisible())
            reject();
    }));
    connections_.push_back(connect(session, &ClientModel::tick, this, [this] {
        if (isVisible() && flow_.phase() != CloseAllFlow::Phase::Sent)
            refreshTableView();
    }));
    connections_.push_back(
        connect(session, &ClientModel::tablesChanged, this, [this](interfaces::TableSet tables) {
            if (!isVisible() || flow_.phase() != CloseAllFlow::Phase::Choosing)
                return;
            if (tables.contains(interfaces::Table::OpenPositions))
                loadRows();
            else if (tables.contains(interfaces::Table::OpenPositionFigures))
                refreshTableView(); // the core's refresh of the floating results
        }));
    connections_.push_back(connect(session, &ClientModel::bulkCloseReported, this,
                                   [this](const interfaces::BulkCloseReport& report) {
                                       if (flow_.report(report, context_.language().selected()))
                                           showStatus();
                                   }));
}

void CloseAllWindowController::dropSession() {
    for (const QMetaObject::Connection& connection : connections_)
        disconnect(connection);
    connections_.clear();
}

void CloseAllWindowController::done(int result) {
    dropSession();
    SheetController::done(result);
}

void CloseAllWindowController::loadRows() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    const interfaces::Client& client = session->client();
    const OrderView listed = client.queries().getOpenOrderCollection();
    // Positions that went away are no longer ticked; new ones come unticked.
    flow_.follow(listed);
    loading_ = true;
    QTableWidget* table = ui_->closeAllTableView;
    rowIds_.clear();
    table->setRowCount(static_cast<int>(listed.size()));
    int row = 0;
    for (const auto& p : listed) {
        if (!p)
            continue;
        rowIds_.push_back(p->OpenPositionId);
        const ItemDetails* item = instrumentOf(client.model(), p->ItemCode);
        auto* tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        tick->setCheckState(flow_.isTicked(p->OpenPositionId) ? Qt::Checked : Qt::Unchecked);
        tick->setData(Qt::AccessibleTextRole, QString::fromStdString(p->OpenPositionId));
        table->setItem(row, kTickColumn, tick);
        table->setItem(row, 1, cell(p->AccountNumber));
        table->setItem(row, 2, cell(p->OpenPositionId));
        table->setItem(row, 3, cell(p->ItemCode));
        table->setItem(row, 4, cell(shownName(context_.language().selected(), sideText(p->tradingMode))));
        table->setItem(row, 5, cell(quantityText(p->RemainingQty)));
        table->setItem(row, 6, cell(priceText(p->OrderPrice, item)));
        ++row;
    }
    table->setRowCount(row);
    loading_ = false;
    refreshTableView();
    table->resizeColumnsToContents();
    setButtonTitle();
}

void CloseAllWindowController::refreshTableView() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    const interfaces::Client& client = session->client();
    const OrderView listed = client.queries().getOpenOrderCollection();
    const std::int64_t theme = context_.themes().getThemeForKey();
    QTableWidget* table = ui_->closeAllTableView;
    for (int row = 0; row < static_cast<int>(rowIds_.size()); ++row) {
        const auto found = std::find_if(listed.begin(), listed.end(), [&](const auto& p) {
            return p && p->OpenPositionId == rowIds_[static_cast<std::size_t>(row)];
        });
        if (found == listed.end())
            continue;
        const Order& p = **found;
        const ItemDetails* item = instrumentOf(client.model(), p.ItemCode);
        const double live = item ? (p.tradingMode == 0 ? item->Bid : item->Ask) : 0;
        table->setItem(row, kLivePriceColumn, cell(priceText(live, item)));
        QTableWidgetItem* result = cell(moneyText(p.UnrealisedPL));
        if (const auto colour =
                toneStyle(Grid::OpenPositions, p.UnrealisedPL < 0 ? Tone::Loss : Tone::Gain, theme)
                    .foreground)
            result->setForeground(*colour);
        table->setItem(row, kResultColumn, result);
    }
}

void CloseAllWindowController::setButtonTitle() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    const auto button =
        flow_.button(session->client().queries().getOpenOrderCollection(), context_.language().selected());
    ui_->closeAllButton->setText(QString::fromStdString(button.title));
    ui_->closeAllButton->setEnabled(button.enabled);
}

void CloseAllWindowController::hitCheckbox(const std::string& positionId) {
    flow_.toggle(positionId);
    const auto at = std::find(rowIds_.begin(), rowIds_.end(), positionId);
    if (at != rowIds_.end()) {
        loading_ = true;
        ui_->closeAllTableView->item(static_cast<int>(at - rowIds_.begin()), kTickColumn)
            ->setCheckState(flow_.isTicked(positionId) ? Qt::Checked : Qt::Unchecked);
        loading_ = false;
    }
    setButtonTitle();
}

void CloseAllWindowController::closeAllButtonClicked() {
    ClientModel* session = context_.clientModel();
    if (!session || flow_.phase() != CloseAllFlow::Phase::Choosing || flow_.ticked().empty())
        return;
    interfaces::Client& client = session->client();
    const bool passed = flow_.validate(client.model(), client.queries(), [&](const std::string& id) {
        return client.orders().checkClosePosition(id);
    });
    if (!passed) {
        showOrderStatusTableView();
        return;
    }
    send();
}

void CloseAllWindowController::showOrderStatusTableView() {
    if (!status_) {
        status_ = new ClosePositionStatusWindowController(context_, this);
        connect(status_, &ClosePositionStatusWindowController::goOn, this, &CloseAllWindowController::send);
        connect(status_, &QDialog::rejected, this, [this] {
            if (flow_.phase() == CloseAllFlow::Phase::Refused)
                flow_.dismissRefusals();
        });
    }
    status_->setRows(flow_.refused(), flow_.canGoOn());
    status_->openOn(this);
}

void CloseAllWindowController::send() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    interfaces::Client& client = session->client();
    const std::vector<std::string> ids = flow_.idsToSend();
    if (ids.empty()) {
        flow_.dismissRefusals();
        return;
    }
    const auto scope = flow_.scope(client.queries().getOpenOrderCollection());
    const interfaces::OrderResult result = client.orders().closeAllPositions(ids, scope);
    if (!result.sent()) {
        flow_.dismissRefusals();
        CommonAlert::open(this, {context_.text(kRefusalTitleKey),
                                 QString::fromStdString(result.refusalText.empty() ? result.refusalKey
                                                                                   : result.refusalText),
                                 AlertSpec::Warning,
                                 {},
                                 {}});
        return;
    }
    flow_.sent(client.model(), client.queries(), ids, context_.language().selected());
    ui_->closeAllTabView->setCurrentIndex(1);
    ui_->closeAllButton->hide();
    ui_->notNowButton->setText(context_.text(texts::kClose90010));
    ui_->notNowButton->setDefault(true);
    showStatus();
}

void CloseAllWindowController::showStatus() {
    fillStatusTable(*ui_->closeAllStatusTableView, flow_.statusRows(), context_);
}

} // namespace tc::gui
