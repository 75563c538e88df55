#include "gui/trading/close_all_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/tick_header_view.h"
#include "gui/grid/grid_tones.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "gui/trading/awaited_requests.h"
#include "gui/trading/close_position_status_window_controller.h"
#include "gui/trading/position_dialog_rules.h"
#include "gui/trading/record_sheet.h"
#include "interfaces/client.h"
#include "model/data_service_collections.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"
#include "ui_close_all_window_controller.h"

#include <QBrush>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTableView>

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace tc::gui {

// One listed position as its row shows it; the live price and the result follow the tick.
struct CloseAllLine {
    std::string id;
    std::string account;
    std::string symbol;
    QString side; // the side's name in the language of the last reading of the list
    std::string quantity;
    std::string price;
    // The closing quote, formatted only when its cell is shown: a pass over a large book each second
    // would otherwise write every row's text for the few rows in sight.
    double live = 0;
    std::int32_t liveDecimals = -1; // none read yet
    std::optional<double> profit;   // none until the client has worked it out
    bool ticked = false;
    QString awaited; // the earlier request the position still waits for, if any
};

namespace {

// A count grouped as the program's other numbers are ("9,952").
QString countText(std::size_t count) {
    const std::string digits = std::to_string(count);
    return QString::fromStdString(Formatter::formatDecimalWithString(digits).value_or(digits));
}

QString cellText(const std::string& text) {
    return QString::fromStdString(text);
}

// A row's live figures read from its position: its closing quote at its instrument's digits and its
// result once worked out. False when they stand as they were.
bool readLive(CloseAllLine& line, const Order& p, const ItemDetails* item) {
    const double live = item ? closingQuote(*item, p).toDouble() : 0.0;
    const std::int32_t decimals = item ? item->DisplayDecimalPlaces() : 0;
    const std::optional<double> profit = p.UnrealisedPLValued ? std::optional(p.UnrealisedPL) : std::nullopt;
    if (live == line.live && decimals == line.liveDecimals && profit == line.profit)
        return false;
    line.live = live;
    line.liveDecimals = decimals;
    line.profit = profit;
    return true;
}

// The live cells: the market price and the floating result, changed in place each second.
constexpr int kLiveColumn = 7;
constexpr int kProfitColumn = 8;
constexpr int kAwaitedColumn = 9;

QString awaitedText(const CloseAllFlow& flow, const std::string& id) {
    const interfaces::AwaitedPositions* request = flow.awaitedBy(id);
    return request ? QString::fromStdString(request->description) : QString();
}

} // namespace

CloseAllWindowController::CloseAllWindowController(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::CloseAllWindowController>()), context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("CloseAllWindowController"));
    using Column = RecordTableModel<CloseAllLine>::Column;
    std::vector<Column> columns{
        {"",
         {},
         {},
         [](const CloseAllLine& l, int role) {
             return role == Qt::AccessibleTextRole ? QVariant(cellText(l.id)) : QVariant();
         },
         [](const CloseAllLine& l) { return l.ticked; },
         texts::kTickEveryRowTip},
        {texts::kAccount, [](const CloseAllLine& l) { return cellText(l.account); }},
        {texts::kPositionIDColumn, [](const CloseAllLine& l) { return cellText(l.id); }},
        {texts::kSymbol, [](const CloseAllLine& l) { return cellText(l.symbol); }},
        {texts::kSide, [](const CloseAllLine& l) { return l.side; }},
        {texts::kQuantity, [](const CloseAllLine& l) { return cellText(l.quantity); }},
        {texts::kPrice, [](const CloseAllLine& l) { return cellText(l.price); }},
        {texts::kMarketPrice,
         [](const CloseAllLine& l) {
             return l.liveDecimals < 0 ? QString()
                                       : cellText(Formatter::formatDecimal(l.live, l.liveDecimals));
         }},
        {texts::kFloatingPL,
         [](const CloseAllLine& l) {
             return l.profit ? cellText(platform::amountText(*l.profit)) : QString();
         },
         {},
         [this](const CloseAllLine& l, int role) -> QVariant {
             if (role != Qt::ForegroundRole || !l.profit)
                 return {};
             const auto colour = toneStyle(Grid::OpenPositions, *l.profit < 0 ? Tone::Loss : Tone::Gain,
                                           context_.themes().getThemeForKey())
                                     .foreground;
             return colour ? QVariant(QBrush(*colour)) : QVariant();
         }},
        {texts::kCloseAllAwaitedColumn,
         [](const CloseAllLine& l) { return l.awaited; },
         {},
         [this](const CloseAllLine& l, int role) -> QVariant {
             if (role == Qt::ToolTipRole && !l.awaited.isEmpty())
                 return l.awaited; // a long request reads whole here
             if (role != Qt::ForegroundRole || l.awaited.isEmpty())
                 return {};
             const auto colour =
                 toneStyle(Grid::OpenPositions, Tone::Loss, context_.themes().getThemeForKey()).foreground;
             return colour ? QVariant(QBrush(*colour)) : QVariant();
         }}};
    lines_ = new RecordTableModel<CloseAllLine>(
        std::move(columns), [](const CloseAllLine& l) { return l.id; },
        [&context = context_](std::string_view key) { return context.text(key); }, this);
    lines_->onTick([this](const std::string& id, bool ticked) {
        if (ticked != flow_.isTicked(id))
            hitCheckbox(id);
    });
    QTableView* table = ui_->closeAllTableView;
    // The title of the tick column shows the rows' ticks together.
    table->setHorizontalHeader(new TickHeaderView(Qt::Horizontal, table));
    // Rows come and go as positions close: the selection is kept by position id, read before the
    // view's selection model clears itself at the reset and given back after.
    connect(lines_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const QItemSelectionModel* selection = ui_->closeAllTableView->selectionModel();
        kept_.clear();
        for (const QModelIndex& row : selection->selectedRows())
            kept_.insert(lines_->idAt(row.row()));
        keptCurrent_ = lines_->idAt(selection->currentIndex().row());
        keptColumn_ = selection->currentIndex().column();
    });
    table->setModel(lines_);
    connect(lines_, &QAbstractItemModel::modelReset, this, [this] {
        QItemSelectionModel* selection = ui_->closeAllTableView->selectionModel();
        // One pass over the rows: a whole list selected is thousands of ids.
        QItemSelection rows;
        for (int row = 0; row < lines_->rowCount(); ++row)
            if (kept_.contains(lines_->idAt(row)))
                rows.select(lines_->index(row, 0), lines_->index(row, lines_->columnCount() - 1));
        selection->select(rows, QItemSelectionModel::ClearAndSelect);
        if (const int row = lines_->rowOf(keptCurrent_); row >= 0)
            selection->setCurrentIndex(lines_->index(row, std::max(keptColumn_, 0)),
                                       QItemSelectionModel::NoUpdate);
    });
    table->installEventFilter(this);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    // A click on the tick column's title unticks every row (ticks every row when some is unticked).
    table->horizontalHeader()->setSectionsClickable(true);
    connect(table->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == 0)
            hitTickTitle();
    });
    setUpStatusTable(*ui_->closeAllStatusTableView, context_);
    bindLanguage(this, context.language(), [this] {
        lines_->retitle();
        static_cast<StatusTableModel*>(ui_->closeAllStatusTableView->model())->retitle();
        fitStatusTable(*ui_->closeAllStatusTableView);
        setButtonTitle();
        showHeader();
        if (isVisible())
            loadRows(); // the side letters
    });
    connect(ui_->closeAllButton, &QPushButton::clicked, this,
            &CloseAllWindowController::closeAllButtonClicked);
    connect(ui_->notNowButton, &QPushButton::clicked, this, &QDialog::reject);
    answerTimer_.setSingleShot(true);
    answerTimer_.setInterval(RecordSheet::kAnswerTimeLimit);
    connect(&answerTimer_, &QTimer::timeout, this, &CloseAllWindowController::noAnswer);
    heldTimer_.setSingleShot(true);
    heldTimer_.setInterval(0);
    connect(&heldTimer_, &QTimer::timeout, this, &CloseAllWindowController::readHeld);
    connect(&context.themes(), &ThemeManager::themeChanged, this, [this] {
        lines_->refreshAll();
        fillStatusTable(*ui_->closeAllStatusTableView, flow_.statusRows());
    });
}

CloseAllWindowController::~CloseAllWindowController() = default;

void CloseAllWindowController::onWindowLoad() {
    // Every opening starts again: the list, every position ticked, nothing refused or sent.
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    follow();
    flow_.awaiting(session->client().orders().requestsOnPositions());
    flow_.start(session->client().queries().getOpenOrderCollection());
    ui_->closeAllTabView->setCurrentIndex(0);
    ui_->closeAllButton->show();
    ui_->notNowButton->setText(context_.text(texts::kNotNow));
    static_cast<StatusTableModel*>(ui_->closeAllStatusTableView->model())->setRecords({});
    showHeader();
    loadRows();
    ui_->closeAllTableView->clearSelection();
    ui_->closeAllTableView->setFocus();
}

void CloseAllWindowController::follow() {
    ClientModel* session = context_.clientModel();
    follow_.drop();
    betweenSessions_ = false;
    awaitingList_ = false;
    user_ = session->signedInUser();
    follow_.add(connect(session, &ClientModel::clientAboutToBeReplaced, this, [this] { letGoOfSession(); }));
    follow_.add(connect(session, &ClientModel::tick, this, [this] {
        if (!isVisible())
            return;
        if (flow_.phase() != CloseAllFlow::Phase::Sent) {
            refreshTableView();
            refreshAwaited();
        } else if (flow_.heldToRead()) {
            readHeld(); // what a refused position holds follows the book
        }
    }));
    follow_.add(connect(session, &ClientModel::tablesChanged, this, [this](interfaces::TableSet tables) {
        if (awaitingList_) {
            takeUpList();
            return;
        }
        if (!isVisible() || flow_.phase() == CloseAllFlow::Phase::Sent)
            return;
        const bool book = tables.contains(interfaces::Table::OpenPositions);
        // The accounts come every second with the figures: the book is read again only when one of
        // them shows or hides its positions.
        const bool shown = !book && tables.contains(interfaces::Table::Accounts) && accountsChanged();
        if (flow_.phase() != CloseAllFlow::Phase::Choosing) {
            // The refusals shown, the rows stay; the button answers for the book listed now.
            if (book || shown)
                listBook();
            return;
        }
        if (book)
            loadRows();
        else if (shown)
            listBook();
        if (!book && tables.contains(interfaces::Table::OpenPositionFigures))
            refreshTableView(); // the core's refresh of the floating results
    }));
    // A settlement tells the price its row closed at.
    follow_.add(connect(session, &ClientModel::bulkCloseReported, this,
                        [this](const interfaces::BulkCloseReport& report) {
                            ClientModel* session = context_.clientModel();
                            if (!session)
                                return;
                            if (const auto row = flow_.report(session->client().model(), report))
                                showStatusRow(*row);
                        }));
    // Each position's answer of the window's own request tells its row; a refusal naming no position
    // is of the whole request, and each row still waiting reads it. The request is the window's until
    // every row has its answer.
    follow_.add(connect(
        session, &ClientModel::requestAnswered, this, [this](const interfaces::RequestAnswer& answer) {
            if (request_ == 0 || answer.request != request_)
                return;
            const std::vector<std::size_t> rows =
                answer.notKnown() ? flow_.answerNotKnown(answer.position, answer.whatIsKnown,
                                                         answer.closedByOne, context_.language().selected())
                                  : flow_.answer(answer.position, answer.accepted,
                                                 answer.reason.empty() ? answer.code : answer.reason,
                                                 context_.language().selected());
            if (rows.size() == 1)
                showStatusRow(rows.front());
            else if (!rows.empty())
                showStatus();
            if (flow_.heldToRead() && !heldTimer_.isActive())
                heldTimer_.start();
            if (!flow_.waiting()) {
                answerTimer_.stop();
                request_ = 0;
            }
            showHeader();
        }));
    // A lost line brings no more reports.
    follow_.add(connect(session, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::Lost || state == interfaces::LoginState::SignedOut)
            noAnswer();
        if (flow_.phase() == CloseAllFlow::Phase::Choosing)
            setButtonTitle();
    }));
    // A silent server may still answer within the time limit: the heading says it is silent and the
    // request still waits; only the limit or the loss makes the rows read "No answer".
    follow_.add(connect(session, &ClientModel::answeringChanged, this, [this](bool answering) {
        flow_.serverAnswering(answering);
        showHeader();
    }));
}

void CloseAllWindowController::letGoOfSession() {
    ClientModel* session = context_.clientModel();
    follow_.drop();
    if (!isVisible() || !session)
        return;
    if (flow_.phase() != CloseAllFlow::Phase::Sent) {
        reject();
        return;
    }
    // None of the new client's reports answers the old one's request: the rows still waiting say no
    // answer came, until the next sign-in's list tells what became of them.
    noAnswer();
    request_ = 0;
    betweenSessions_ = true;
    follow_.add(connect(session, &ClientModel::loginStateChanged, this,
                        [this, session](interfaces::LoginState state) {
                            if (state != interfaces::LoginState::SignedIn)
                                return;
                            if (session->signedInUser() == user_)
                                takeSessionBack();
                            else
                                reject(); // another user's positions are not these: done() says so
                        }));
}

void CloseAllWindowController::takeSessionBack() {
    follow();
    awaitingList_ = true;
    takeUpList();
}

void CloseAllWindowController::takeUpList() {
    ClientModel* session = context_.clientModel();
    if (!awaitingList_ || !session || !session->client().dataService().openPositionsListed)
        return;
    awaitingList_ = false;
    flow_.takeUpList(session->client().queries().getOpenOrderCollection(), context_.language().selected());
    showStatus();
}

void CloseAllWindowController::done(int result) {
    // Closed for another user's sign-in (here, or with every window of the last user): a request of
    // the last user had no answer, said without naming that user's positions to whoever signed in.
    if (ClientModel* session = context_.clientModel();
        betweenSessions_ && session && session->signedInUser() != user_ && !flow_.unanswered().empty())
        CommonAlert::open(parentWidget(), {context_.text(kGoneForAnotherUserKey),
                                           {},
                                           AlertSpec::Informational,
                                           {},
                                           QStringLiteral("dialogCloseAllGone")});
    betweenSessions_ = false;
    awaitingList_ = false;
    // Its answer may still come: the core tells it then, naming the request.
    if (ClientModel* session = context_.clientModel(); session && request_ != 0)
        session->client().orders().giveUpRequest(request_);
    request_ = 0;
    answerTimer_.stop();
    heldTimer_.stop();
    follow_.drop();
    SheetController::done(result);
}

void CloseAllWindowController::loadRows() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    const interfaces::Client& client = session->client();
    const OrderView listed = client.queries().getOpenOrderCollection();
    flow_.awaiting(session->client().orders().requestsOnPositions());
    // Positions that went away are no longer ticked; new ones come unticked.
    flow_.follow(listed);
    accountsChanged();
    // Each side's name looked up once for the list, not for each row.
    const std::int64_t language = context_.language().selected();
    std::map<std::int32_t, QString> sides;
    std::vector<CloseAllLine> lines;
    lines.reserve(listed.size());
    for (const auto& p : listed) {
        if (!p)
            continue;
        auto side = sides.find(p->tradingMode);
        if (side == sides.end())
            side =
                sides.emplace(p->tradingMode, cellText(shownName(language, sideText(p->tradingMode)))).first;
        const ItemDetails* item = instrumentOf(client.model(), p->ItemCode);
        CloseAllLine& line = lines.emplace_back();
        line.id = p->OpenPositionId;
        line.account = p->AccountNumber;
        line.symbol = p->ItemCode;
        line.side = side->second;
        line.quantity = quantityText(p->RemainingQty);
        line.price = priceText(p->OrderPrice, item);
        readLive(line, *p, item);
        line.ticked = flow_.isTicked(p->OpenPositionId);
        line.awaited = awaitedText(flow_, p->OpenPositionId);
    }
    lines_->setRecords(std::move(lines));
    ui_->closeAllTableView->resizeColumnsToContents();
    setButtonTitle();
}

void CloseAllWindowController::listBook() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    accountsChanged();
    flow_.list(session->client().queries().getOpenOrderCollection());
}

bool CloseAllWindowController::accountsChanged() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return false;
    std::vector<AccountShown> now;
    for (const auto& [key, account] : session->client().model().AccountDetailCollection)
        if (account)
            now.push_back({account->AccountId, account->tradingStatus, account->accountAccessType});
    if (now == accountsShown_)
        return false;
    accountsShown_ = std::move(now);
    return true;
}

void CloseAllWindowController::refreshTableView() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    const interfaces::Client& client = session->client();
    const OrderView listed = client.queries().getOpenOrderCollection();
    // The positions by id, once for the pass: a search of the book for each row costs its square.
    std::unordered_map<std::string_view, const Order*> byId;
    byId.reserve(listed.size());
    for (const auto& p : listed)
        if (p)
            byId.emplace(p->OpenPositionId, p.get());
    lines_->changeInPlace(
        [&](CloseAllLine& line) {
            const auto found = byId.find(line.id);
            if (found == byId.end())
                return false; // gone: the row keeps its last figures until the list is read again
            const Order& p = *found->second;
            return readLive(line, p, instrumentOf(client.model(), p.ItemCode));
        },
        kLiveColumn, kProfitColumn);
}

void CloseAllWindowController::refreshAwaited() {
    ClientModel* session = context_.clientModel();
    if (!session || !flow_.awaiting(session->client().orders().requestsOnPositions()))
        return;
    // The requests answered or sent since: each row's request cell, by one look-up per row.
    lines_->changeInPlace(
        [&](CloseAllLine& line) {
            QString awaited = awaitedText(flow_, line.id);
            if (awaited == line.awaited)
                return false;
            line.awaited = std::move(awaited);
            return true;
        },
        kAwaitedColumn, kAwaitedColumn);
    showHeader();
}

void CloseAllWindowController::setButtonTitle() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    // Answered from the book the flow last read: a click reads the book no more than it reads the rows.
    const auto button = flow_.button(context_.language().selected());
    ui_->closeAllButton->setText(QString::fromStdString(button.title));
    // More than the server takes in one request: the heading says so, and nothing can be sent. Nor on
    // a lost line's rows: the next sign-in's lists are another choice.
    ui_->closeAllButton->setEnabled(button.enabled &&
                                    session->loginState() == interfaces::LoginState::SignedIn &&
                                    !flow_.aboveLimit(session->client().orders().closeAllLimit()));
    showHeader();
}

bool CloseAllWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->closeAllTableView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Ctrl+Space stays the view's own: it selects or deselects the current row.
        if (key->key() == Qt::Key_Space && !(key->modifiers() & ~Qt::KeypadModifier)) {
            spaceOnRows();
            return true;
        }
    }
    return SheetController::eventFilter(watched, event);
}

void CloseAllWindowController::spaceOnRows() {
    const QTableView* table = ui_->closeAllTableView;
    std::vector<std::string> ids;
    for (const QModelIndex& row : table->selectionModel()->selectedRows())
        ids.push_back(lines_->idAt(row.row()));
    if (ids.empty() && table->currentIndex().isValid())
        ids.push_back(lines_->idAt(table->currentIndex().row()));
    if (ids.empty())
        return;
    flow_.tickTogether(ids);
    showTicks();
}

void CloseAllWindowController::hitCheckbox(const std::string& positionId) {
    flow_.toggle(positionId);
    // That position's row alone: a pass over every row for one click held a large book's paint.
    const bool ticked = flow_.isTicked(positionId);
    lines_->changeRowsOf(
        positionId,
        [&](CloseAllLine& line) {
            if (line.ticked == ticked)
                return false;
            line.ticked = ticked;
            return true;
        },
        0, 0);
    setButtonTitle();
}

void CloseAllWindowController::showTicks() {
    lines_->changeInPlace(
        [&](CloseAllLine& line) {
            const bool ticked = flow_.isTicked(line.id);
            if (ticked == line.ticked)
                return false;
            line.ticked = ticked;
            return true;
        },
        0, 0);
    setButtonTitle();
}

void CloseAllWindowController::hitTickTitle() {
    if (flow_.phase() != CloseAllFlow::Phase::Choosing)
        return;
    std::vector<std::string> shown;
    shown.reserve(lines_->records().size());
    for (const CloseAllLine& line : lines_->records())
        shown.push_back(line.id);
    flow_.toggleAll(shown);
    showTicks();
}

void CloseAllWindowController::closeAllButtonClicked() {
    ClientModel* session = context_.clientModel();
    if (!session || flow_.phase() != CloseAllFlow::Phase::Choosing || flow_.ticked().empty())
        return;
    // As the core holds them now, not as of the last tick.
    refreshAwaited();
    const CloseAllFlow::AwaitedTicked awaited = flow_.awaitedTicked();
    if (awaited.positions == 0) {
        checkAndSend();
        return;
    }
    const std::int64_t language = context_.language().selected();
    const QString requests = QString::fromStdString(awaitedNames(language, awaited.requests));
    // What the earlier requests may do first, by their kinds: Close Alls alone only close the
    // positions; a close in part or an offset changes a position's quantity, which refuses it here.
    const bool onlyClosing = onlyCloseAlls(awaited.requests);
    const QString mayDo =
        QString::fromStdString(whatAwaitedMayDo(language, awaited.requests, AskingWindow::CloseAll));
    // One position has a text of its own: "1 of them still wait" reads wrong.
    QString question;
    if (awaited.positions == 1)
        question = onlyClosing
                       ? filledIn(context_.text(texts::kCloseAllSendOneAwaitedAgainQuestion), {requests})
                       : filledIn(context_.text(texts::kCloseAllSendOneAwaitedQuestion), {requests, mayDo});
    else
        question = onlyClosing ? filledIn(context_.text(texts::kCloseAllSendAwaitedAgainQuestion),
                                          {countText(awaited.positions), requests})
                               : filledIn(context_.text(texts::kCloseAllSendAwaitedQuestion),
                                          {countText(awaited.positions), requests, mayDo});
    // The positions may be changed or closed by the earlier requests first.
    CommonAlert::askSendAgain(this, context_, context_.text(texts::kCloseAll), question,
                              QStringLiteral("closeAllSendAwaitedAgain"), [this] {
                                  if (flow_.phase() == CloseAllFlow::Phase::Choosing &&
                                      !flow_.ticked().empty())
                                      checkAndSend();
                              });
}

void CloseAllWindowController::checkAndSend() {
    ClientModel* session = context_.clientModel();
    if (!session)
        return;
    interfaces::Client& client = session->client();
    const bool passed =
        flow_.validate(client.model(), client.queries(), [&](const std::vector<std::string>& ids) {
            return client.orders().checkClosePositions(ids);
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
    status_->setRows(flow_.refused(), flow_.canGoOn(), flow_.leftOneSided());
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
    // Named, whatever is ticked: what the window did not list stays open.
    const interfaces::OrderResult result =
        client.orders().closeAllPositions(ids, interfaces::CloseAllScope::Selected);
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
    request_ = result.request;
    flow_.sent(client.model(), client.queries(), ids, context_.language().selected());
    answerTimer_.start();
    ui_->closeAllTabView->setCurrentIndex(1);
    ui_->closeAllButton->hide();
    ui_->notNowButton->setText(context_.text(texts::kCloseButton));
    ui_->notNowButton->setDefault(true);
    showStatus();
}

void CloseAllWindowController::showStatusRow(std::size_t row) {
    // The report's own row alone: a refill of the whole table for each of hundreds of reports held
    // the main queue for seconds, the ping's answer behind them.
    showStatusRecord(*ui_->closeAllStatusTableView, static_cast<int>(row), flow_.statusRows()[row]);
    showHeader();
}

void CloseAllWindowController::showStatus() {
    fillStatusTable(*ui_->closeAllStatusTableView, flow_.statusRows());
    showHeader();
}

void CloseAllWindowController::noAnswer() {
    if (flow_.phase() != CloseAllFlow::Phase::Sent || !flow_.waiting())
        return;
    answerTimer_.stop();
    flow_.noAnswer(context_.language().selected());
    showStatus();
}

void CloseAllWindowController::readHeld() {
    ClientModel* session = context_.clientModel();
    if (!session || betweenSessions_ || flow_.phase() != CloseAllFlow::Phase::Sent)
        return;
    const std::vector<std::size_t> rows =
        flow_.readHeld(session->client().queries().getOpenOrderCollection(), context_.language().selected());
    if (rows.size() == 1)
        showStatusRow(rows.front());
    else if (!rows.empty())
        showStatus();
}

void CloseAllWindowController::showHeader() {
    ClientModel* session = context_.clientModel();
    if (session && flow_.phase() == CloseAllFlow::Phase::Choosing) {
        const std::size_t limit = session->client().orders().closeAllLimit();
        if (flow_.aboveLimit(limit)) {
            // Filled in: no key for the language change to read again (showHeader does).
            ui_->headerTextField->setProperty(kLangKeyProperty, QString());
            ui_->headerTextField->setText(
                context_.text(kAboveLimitKey)
                    .replace(QStringLiteral("{0}"), countText(limit))
                    .replace(QStringLiteral("{1}"), countText(flow_.ticked().size())));
            return;
        }
        if (const std::size_t awaited = flow_.awaitedListed(); awaited > 0) {
            ui_->headerTextField->setProperty(kLangKeyProperty, QString());
            ui_->headerTextField->setText(awaited == 1
                                              ? context_.text(texts::kCloseAllOneAwaitedHeading)
                                              : context_.text(texts::kCloseAllSomeAwaitedHeading)
                                                    .replace(QStringLiteral("{0}"), countText(awaited)));
            return;
        }
    }
    // Kept as the label's key, so that a change of language reads the heading of this moment.
    const std::string_view key = flow_.headerKey();
    ui_->headerTextField->setProperty(kLangKeyProperty, QString::fromUtf8(key.data(), qsizetype(key.size())));
    ui_->headerTextField->setText(context_.text(key));
}

} // namespace tc::gui
