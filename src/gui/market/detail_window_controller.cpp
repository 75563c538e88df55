#include "gui/market/detail_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_model.h"
#include "gui/models/client_model.h"
#include "gui/statements/table_printer.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/text/positional_text.h"
#include "platform/log.h"
#include "ui_detail_window_controller.h"

#include <QApplication>
#include <QHeaderView>
#include <QPrintDialog>
#include <QPrinter>
#include <QTableWidget>

namespace tc::gui {
namespace {

QTableWidgetItem* cellItem(const std::string& text) {
    auto* item = new QTableWidgetItem(qt(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

} // namespace

DetailWindowController::DetailWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::DetailWindowController>()), context_(context) {
    ui_->setupUi(this);
    setWindowTitle(QApplication::applicationDisplayName());
    QFont title = ui_->titleTextField->font();
    title.setBold(true);
    ui_->titleTextField->setFont(title);
    ui_->titleTextField->hide();

    QTableWidget* table = ui_->detailTableView;
    // The printed copy titles its columns by these identifiers.
    table->horizontalHeaderItem(0)->setData(GridModel::IdentifierRole, qt(std::string(kCaptionColumn)));
    table->horizontalHeaderItem(1)->setData(GridModel::IdentifierRole, qt(std::string(kValueColumn)));
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    // Long values wrap and their row grows; short rows keep the table's row height.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setTextElideMode(Qt::ElideNone);

    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->printButton, &QPushButton::clicked, this, &DetailWindowController::print);
    connect(this, &QDialog::finished, this, [this] { dropSession(); });
    connect(&context_, &GuiContext::clientModelChanged, this, [this](ClientModel* model) {
        if (model == session_)
            return;
        dropSession();
        if (isVisible())
            reject();
    });
    bindLanguage(this, context_.language(), [this] { reload(); });
}

DetailWindowController::~DetailWindowController() {
    dropSession();
}

QTableWidget* DetailWindowController::detailTableView() const {
    return ui_->detailTableView;
}

QPrinter& DetailWindowController::printer() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>();
    return *printer_;
}

bool DetailWindowController::isReceipt() const {
    return type_ == DetailType::OpenPositionReceipt || type_ == DetailType::ExecutedPositionReceipt;
}

bool DetailWindowController::setRecord(const std::string& id) {
    dropSession();
    record_ = id;
    bank_.reset();
    bankRequest_ = 0;
    scheduleAsked_.reset();
    content_ = {};
    ClientModel* session = context_.clientModel();
    if (!session || type_ == DetailType::DepositWithdrawalInfo) {
        showContent({});
        return false;
    }
    const SessionModel& model = session->client().model();
    const bool held = isReceipt()
                          ? findPosition(type_ == DetailType::OpenPositionReceipt
                                             ? session->client().queries().getOpenOrderCollection()
                                             : session->client().queries().getExecutedOrderCollection(),
                                         id) != nullptr
                          : instrumentOf(model, id) != nullptr;
    if (!held) {
        showContent({});
        return false;
    }
    follow(session);
    if (isReceipt())
        requestBankDetails();
    reload();
    return true;
}

void DetailWindowController::setLines(const std::vector<interfaces::LabelValue>& lines) {
    dropSession();
    type_ = DetailType::DepositWithdrawalInfo;
    record_.clear();
    std::vector<DetailRow> rows;
    rows.reserve(lines.size());
    for (const interfaces::LabelValue& line : lines)
        rows.push_back({line.label, line.value});
    showContent(depositWithdrawalInfo(std::move(rows)));
}

void DetailWindowController::follow(ClientModel* session) {
    session_ = session;
    connections_.push_back(connect(session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        // The records belong to the old client: let go of them at once.
        dropSession();
        if (isVisible())
            reject();
    }));
    connections_.push_back(
        connect(session, &ClientModel::tablesChanged, this, [this](interfaces::TableSet tables) {
            using interfaces::Table;
            const Table list =
                type_ == DetailType::OpenPositionReceipt ? Table::OpenPositions : Table::ExecutedPositions;
            if (isReceipt() && (tables.contains(list) || tables.contains(Table::Accounts)))
                reload();
            else if (type_ == DetailType::MarketSessions && !scheduleAsked_)
                reload(); // the instrument's market may be known by now
        }));
    connections_.push_back(connect(session, &ClientModel::bankDetailsArrived, this,
                                   [this](const interfaces::BankDetailsArrival& arrival) {
                                       if (!isReceipt() || arrival.id == 0 || arrival.id != bankRequest_)
                                           return;
                                       bank_ = arrival.details;
                                       reload();
                                   }));
    connections_.push_back(connect(session, &ClientModel::sessionScheduleArrived, this,
                                   [this](const interfaces::ScheduleArrival& arrival) {
                                       if (type_ == DetailType::MarketSessions &&
                                           scheduleAsked_ == arrival.marketId)
                                           reload();
                                   }));
}

void DetailWindowController::dropSession() {
    for (const QMetaObject::Connection& connection : connections_)
        disconnect(connection);
    connections_.clear();
    session_ = nullptr;
}

void DetailWindowController::requestBankDetails() {
    const interfaces::Client& client = session_->client();
    const OrderView positions = type_ == DetailType::OpenPositionReceipt
                                    ? client.queries().getOpenOrderCollection()
                                    : client.queries().getExecutedOrderCollection();
    const Order* position = findPosition(positions, record_);
    if (!position)
        return;
    const auto* account = client.model().AccountDetailCollection.get(position->AccountNumber);
    if (account && *account)
        bankRequest_ = session_->client().funding().requestBankDetails((*account)->AccountId);
}

void DetailWindowController::reload() {
    if (!session_ || record_.empty())
        return;
    const interfaces::Client& client = session_->client();
    const std::int64_t language = context_.language().selected();
    if (isReceipt()) {
        // The position is found by id in its list as it stands now: a row number would name another
        // position once the list has changed.
        const OrderView positions = type_ == DetailType::OpenPositionReceipt
                                        ? client.queries().getOpenOrderCollection()
                                        : client.queries().getExecutedOrderCollection();
        const Order* position = findPosition(positions, record_);
        if (!position) {
            closeAsGone();
            return;
        }
        // Until this account's own bank details arrive the bank rows stay empty, never another
        // account's.
        showContent(deliveryReceipt(position, client.model(), bank_ ? &*bank_ : nullptr, language));
        return;
    }
    // The settings are those of the account chosen in the main window; before one is chosen, those
    // of the first account (the main window's own first choice), not an empty set of zeros.
    std::int32_t account = client.currentAccount();
    if (account == 0)
        if (const auto accounts = client.queries().getAccountCollection();
            !accounts.empty() && accounts.front())
            account = accounts.front()->AccountId;
    DetailContent content =
        instrumentDetail(type_, record_, {client.model(), client.queries(), account, language});
    if (content.needsSchedule && !scheduleAsked_) {
        // The market is known once the data service's instrument list is in: asked for before that,
        // market 0 would be refused and the pane would stay empty.
        if (const ItemDetails* item = instrumentOf(client.model(), record_); item && item->marketID != 0) {
            scheduleAsked_ = item->marketID;
            session_->client().requestSessionSchedule(item->marketID);
        }
    }
    showContent(std::move(content));
}

void DetailWindowController::showContent(DetailContent content) {
    const bool same = content.rows == content_.rows;
    content_ = std::move(content);
    if (same && ui_->detailTableView->rowCount() == static_cast<int>(content_.rows.size()))
        return;
    QTableWidget* table = ui_->detailTableView;
    table->setRowCount(static_cast<int>(content_.rows.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const DetailRow& detail = content_.rows[static_cast<std::size_t>(row)];
        table->setItem(row, 0, cellItem(detail.caption));
        table->setItem(row, 1, cellItem(detail.value));
    }
}

void DetailWindowController::closeAsGone() {
    const std::string id = record_;
    dropSession();
    // A print dialog still open would print the list of a record that is gone.
    for (QPrintDialog* dialog : findChildren<QPrintDialog*>())
        dialog->reject();
    showContent({});
    const bool wasShowing = isVisible();
    if (wasShowing)
        reject();
    Q_EMIT recordGone();
    if (!wasShowing)
        return;
    const std::string text = context_.language().text(texts::kPositionOrOrderNoLongerHeld).toStdString();
    CommonAlert::open(parentWidget(), {QString::fromStdString(fillPositional(text, {id})),
                                       {},
                                       AlertSpec::Informational,
                                       {},
                                       QStringLiteral("detailRecordGone")});
}

void DetailWindowController::onWindowLoad() {
    if (const auto title = detailTitle(type_)) {
        ui_->titleTextField->setText(qt(std::string(*title)));
        ui_->titleTextField->show();
    } else {
        ui_->titleTextField->setVisible(!ui_->titleTextField->text().isEmpty());
    }
    if (isReceipt()) {
        ui_->detailTableView->clearSelection();
        ui_->printButton->show();
    }
    ui_->closeButton->setFocus();
}

void DetailWindowController::print() {
    openPrintDialog(this, printer(), [this] {
        if (!printNow())
            platform::Log::warning("the detail list could not be printed on {}",
                                   printer().printerName().toStdString());
    });
}

bool DetailWindowController::printNow() {
    TablePrinter table{qt(std::string(kPrintJobTitle))};
    table.setPrintedAt(context_.clientModel()->serverNow());
    table.addTable(*ui_->detailTableView, context_.language().selected(), GridModel::IdentifierRole);
    return table.print(printer());
}

namespace {

DetailWindowController* windowFor(GuiContext& context, QWidget* owner, const char* name) {
    if (owner)
        if (auto* kept =
                owner->findChild<DetailWindowController*>(QLatin1String(name), Qt::FindDirectChildrenOnly))
            return kept;
    auto* window = new DetailWindowController(context, owner);
    window->setObjectName(QLatin1String(name));
    if (!owner)
        window->setAttribute(Qt::WA_DeleteOnClose);
    return window;
}

// Says on `owner` that the record could not be shown; a window made for nobody goes.
DetailWindowController* refuse(DetailWindowController* window, QWidget* owner, const QString& text) {
    if (!owner)
        window->deleteLater();
    CommonAlert::open(owner, {text, {}, AlertSpec::Informational, {}, QStringLiteral("detailRecordGone")});
    return nullptr;
}

} // namespace

DetailWindowController* openDeliveryReceipt(GuiContext& context, QWidget* owner,
                                            const std::string& positionId, ReceiptOf list) {
    if (!context.clientModel())
        return nullptr;
    DetailWindowController* window = windowFor(context, owner, "deliveryReceipt");
    window->setDetailViewType(list == ReceiptOf::OpenPosition ? DetailType::OpenPositionReceipt
                                                              : DetailType::ExecutedPositionReceipt);
    if (!window->setRecord(positionId))
        return refuse(window, owner,
                      qt(fillPositional(context.text(texts::kPositionOrOrderNoLongerHeld).toStdString(),
                                        {std::string_view(positionId)})));
    window->openOn(owner);
    return window;
}

DetailWindowController* openInstrumentDetail(GuiContext& context, QWidget* owner, const std::string& code,
                                             DetailType type) {
    if (!context.clientModel() || type == DetailType::OpenPositionReceipt ||
        type == DetailType::ExecutedPositionReceipt || type == DetailType::DepositWithdrawalInfo)
        return nullptr;
    DetailWindowController* window = windowFor(context, owner, "instrumentDetail");
    window->setDetailViewType(type);
    if (!window->setRecord(code))
        return refuse(window, owner, context.text(texts::kInstrumentNotKnownServer));
    window->openOn(owner);
    return window;
}

DetailWindowController* openDepositWithdrawalInfo(GuiContext& context, QWidget* owner,
                                                  const std::vector<interfaces::LabelValue>& lines) {
    DetailWindowController* window = windowFor(context, owner, "depositWithdrawalInfo");
    window->setLines(lines);
    window->openOn(owner);
    return window;
}

} // namespace tc::gui
