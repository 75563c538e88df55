#include "gui/statements/account_statement_window_controller.h"

#include "gui/app/column_gap.h"
#include "gui/app/common_alert.h"
#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/controls/date_time_field.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/controls/input_rules.h"
#include "gui/controls/text_entry_rules.h"
#include "gui/grid/grid_cells.h"
#include "gui/models/client_model.h"
#include "gui/models/server_clock.h"
#include "gui/statements/statement_table_models.h"
#include "gui/statements/table_printer.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"
#include "platform/log.h"
#include "platform/number_entry.h"
#include "ui_account_statement_window_controller.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QPrinter>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <utility>

namespace tc::gui {
namespace {

constexpr std::size_t indexOf(StatementTable table) {
    return static_cast<std::size_t>(table);
}

WallTime dateOf(const QDateTime& time) {
    return wireMomentOf(time);
}

// The server's fields as held, never read through a zone that may skip them.
QString displayDate(const QDateTime& time) {
    return serverDateText(time);
}

QString momentText(const QDateTime& time) {
    return serverMomentText(time);
}

// Date-time columns 135 px wide or narrower show only the time, following the column as it is
// dragged.
class DateColumnDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = QString::fromStdString(dateTimeForWidth(index.data().toString().toStdString(),
                                                               static_cast<double>(option->rect.width())));
    }
};

// The printed statement's pieces, styled as the statement prints them.
PrintTextStyle sectionHeading() {
    PrintTextStyle style;
    style.background = QColor(158, 207, 224);
    return style;
}

PrintTextStyle statusLineStyle() {
    PrintTextStyle style;
    style.pointSize = 10;
    style.background = QColor(Qt::lightGray).lighter(115);
    return style;
}

} // namespace

AccountStatementWindowController::AccountStatementWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::AccountStatementWindowController>()),
      context_(context), now_([this] { return context_.clientModel()->serverNow(); }) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("AccountStatementWindowController"));
    EscapeClose::install(this, context_.language())->setDiscard([this] { loadAccountCombo(); });
    Language& language = context_.language();

    const std::pair<QTableView*, StatementTable> detail[] = {
        {ui_->openPositionHistoryTableView, StatementTable::OpenPositions},
        {ui_->settledPositionHistoryTableView, StatementTable::SettledPositions},
        {ui_->pendingOrderHistoryTableView, StatementTable::PendingOrders},
        {ui_->cancelledOrderHistoryTableView, StatementTable::CancelledOrders},
        {ui_->instrumentHistoryTableView, StatementTable::Instruments},
    };
    for (const auto& [view, table] : detail) {
        tables_[indexOf(table)] = new StatementTableModel(table, language, this);
        prepareTable(view, table);
    }
    accountSummary_ = new SummaryTableModel(language, this);
    // Its figures are lots (the quantities of each list), titled so.
    orderSummary_ = new SummaryTableModel(language, this, texts::kQuantity);
    marginSummary_ = new SummaryTableModel(language, this);
    for (const auto& [view, model] : {std::pair{ui_->accountSummaryHistoryTableView, accountSummary_},
                                      std::pair{ui_->orderSummaryHistoryTableView, orderSummary_},
                                      std::pair{ui_->marginSummaryHistoryTableView, marginSummary_}}) {
        view->setModel(model);
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        view->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setFocusPolicy(Qt::NoFocus);
        fitSummaryHeight(view);
    }
    ui_->accountSummaryHistoryTableView->setMinimumWidth(360);
    // The summaries sit at the top of their boxes, whatever height the row gives them.
    for (QVBoxLayout* layout :
         {ui_->accountSummaryBoxLayout, ui_->orderSummaryBoxLayout, ui_->marginSummaryBoxLayout})
        layout->addStretch(1);

    settledPie_ = new PieChartController(ui_->settledPLBox);
    settledPie_->setObjectName(QStringLiteral("settledPLPieChart"));
    ui_->settledPLBoxLayout->addWidget(settledPie_);
    openPie_ = new PieChartController(ui_->unrealisedPLBox);
    openPie_->setObjectName(QStringLiteral("openPLPieChart"));
    ui_->unrealisedPLBoxLayout->addWidget(openPie_);
    for (PieChartController* pie : {settledPie_, openPie_})
        pie->setMinimumSize(280, 240);

    connect(ui_->showButton, &QPushButton::clicked, this, [this] { showAccountStatement(); });
    // Return anywhere in the window shows, as the default button of a sheet would; a typed account
    // is looked up, never added to the list.
    ui_->accountComboBox->setInsertPolicy(QComboBox::NoInsert);
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { showAccountStatement(); });
    }
    connect(ui_->summaryButton, &QPushButton::clicked, this,
            &AccountStatementWindowController::summaryButtonClicked);
    connect(ui_->detailsButton, &QPushButton::clicked, this,
            &AccountStatementWindowController::detailsButtonClicked);
    connect(ui_->printButton, &QPushButton::clicked, this, &AccountStatementWindowController::print);
    connect(ui_->accountComboBox, &QComboBox::currentTextChanged, this, [this] { markEntries(); });
    for (DateTimeField* picker : {ui_->fromDatePicker, ui_->toDatePicker}) {
        connect(picker, &QLineEdit::textChanged, this, [this] { markEntries(); });
        picker->setCalendarName(context_.text(texts::kCalendar));
        picker->setToday([this] { return now_().date(); });
    }
    // While it shows, the to-date left at the present moment follows it.
    clock_ = new QTimer(this);
    clock_->setInterval(1000);
    connect(clock_, &QTimer::timeout, this, [this] {
        if (toFollowsNow() && !ui_->toDatePicker->hasFocus())
            followNow();
        markEntries();
    });

    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::statementArrived, this,
            &AccountStatementWindowController::statementArrived);
    connect(&session, &ClientModel::requestFailed, this, &AccountStatementWindowController::requestFailed);
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        // Nothing of the old session's requests may land here; the records shown stay as they are.
        awaitedStatement_ = awaitedCancelled_ = 0;
    });
    // A new client holds its accounts once its login completes: the window starts again then, as
    // when it was first made, and shows nothing of the old session (another user's, maybe).
    connect(&session, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::SignedIn &&
            boundGeneration_ != context_.clientModel()->generation())
            bindSession();
    });
    boundGeneration_ = session.generation();
    boundUser_ = session.signedInUser();
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { applyTheme(); });
    bindLanguage(this, language, [this] { updateLanguageStrings(); });

    setDateValues();
    loadAccountCombo();
    markEntries();
    applyTheme();
    showAccountStatement();
}

AccountStatementWindowController::~AccountStatementWindowController() = default;

void AccountStatementWindowController::bindSession() {
    const ClientModel& session = *context_.clientModel();
    boundGeneration_ = session.generation();
    awaitedStatement_ = awaitedCancelled_ = 0;
    // The same user signing in again keeps the account and period chosen, and the statement shown
    // until the new session's answer to them; a period that show would refuse is only marked.
    const bool sameUser = boundUser_ && boundUser_ == session.signedInUser();
    boundUser_ = session.signedInUser();
    if (sameUser && accountOf(ui_->accountComboBox->currentText())) {
        const QString account = ui_->accountComboBox->currentText();
        loadAccountCombo();
        ui_->accountComboBox->setCurrentText(account);
        markEntries();
        if (accountFault(account).isEmpty() && periodFault().text.isEmpty())
            showAccountStatement();
        return;
    }
    requestError_.clear();
    selectedAccountId_ = 0;
    shownFrom_ = shownTo_ = QDateTime();
    statement_.reset();
    cancelled_.clear();
    data_.reset();
    for (QLabel* label :
         {ui_->accountNumberLabel, ui_->statementPeriodLabel, ui_->leverageLabel, ui_->figuresMomentLabel,
          ui_->addressLabel, ui_->companyAddressLabel, ui_->requestStatusLabel})
        label->clear();
    marginSummary_->setRows({});
    accountStatementUpdate();
    setDateValues();
    loadAccountCombo();
    markEntries();
    // A user without accounts gets an empty window, not an alert it did not ask for.
    if (ui_->accountComboBox->count() > 0)
        showAccountStatement();
}

void AccountStatementWindowController::prepareTable(QTableView* view, StatementTable table) {
    StatementTableModel* model = tables_[indexOf(table)];
    view->setModel(model);
    // Rows of one height and columns of set widths: a table of thousands of rows fills at once.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    QHeaderView* header = view->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    auto* dates = new DateColumnDelegate(view);
    const int padding = cellPadding(*view);
    for (int column = 0; column < model->columnCount(); ++column) {
        const std::string_view key = model->columnKey(column);
        const int title = header->fontMetrics().horizontalAdvance(context_.text(key)) + 28;
        if (isStatementDateColumn(table, key)) {
            view->setItemDelegateForColumn(column, dates);
            view->setColumnWidth(column, std::max(title, 143 + padding));
        } else {
            view->setColumnWidth(column, std::max(title, 65 + padding));
        }
    }
    view->setAccessibleName(context_.text(table == StatementTable::Instruments ? texts::kInstruments
                                                                               : statementColumns(table)[0]));
    if (hasStatementHeaderMenu(table))
        buildHeaderMenu(table);
}

void AccountStatementWindowController::buildHeaderMenu(StatementTable table) {
    QTableView* view = tableView(table);
    StatementTableModel* model = tables_[indexOf(table)];
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("headerMenu"));
    for (int column = 0; column < model->columnCount(); ++column) {
        const QString key = qt(model->columnKey(column));
        QAction* action = menu->addAction(context_.text(model->columnKey(column)));
        action->setCheckable(true);
        action->setChecked(!view->isColumnHidden(column));
        action->setData(key);
        action->setObjectName(QStringLiteral("column_") + key);
        // Hidden columns are this window's only: the next window starts with every column.
        connect(action, &QAction::toggled, view,
                [view, column](bool shown) { view->setColumnHidden(column, !shown); });
    }
    QHeaderView* header = view->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, menu,
            [menu, header](const QPoint& at) { menu->popup(header->mapToGlobal(at)); });
    headerMenus_[indexOf(table)] = menu;
}

void AccountStatementWindowController::windowDidAppear() {
    updateLanguageStrings();
    applyTheme();
    setDateValues();
    markEntries();
    summaryButtonClicked();
}

void AccountStatementWindowController::showEvent(QShowEvent* event) {
    clock_->start();
    QWidget::showEvent(event);
}

void AccountStatementWindowController::hideEvent(QHideEvent* event) {
    clock_->stop();
    QWidget::hideEvent(event);
}

void AccountStatementWindowController::updateLanguageStrings() {
    setWindowTitle(context_.text(texts::kAccountStatement));
    // Menu items and accessible names follow the language like the titles.
    for (StatementTable table : kStatementTables) {
        if (QMenu* menu = headerMenus_[indexOf(table)])
            for (QAction* action : menu->actions())
                action->setText(context_.text(action->data().toString().toStdString()));
    }
    ui_->accountSummaryHistoryTableView->setAccessibleName(context_.text(texts::kAccountSummary));
    ui_->orderSummaryHistoryTableView->setAccessibleName(context_.text(texts::kOrderSummary));
    ui_->marginSummaryHistoryTableView->setAccessibleName(context_.text(texts::kMarginSummary));
    ui_->openPositionHistoryTableView->setAccessibleName(context_.text(texts::kOpenPositions));
    ui_->settledPositionHistoryTableView->setAccessibleName(context_.text(texts::kSettledPositions));
    ui_->pendingOrderHistoryTableView->setAccessibleName(context_.text(texts::kPendingOrders));
    ui_->cancelledOrderHistoryTableView->setAccessibleName(context_.text(texts::kCancelledOrders));
    ui_->instrumentHistoryTableView->setAccessibleName(context_.text(texts::kInstruments));
    ui_->accountComboBox->setAccessibleName(context_.text(texts::kAccount));
    settledPie_->setAccessibleName(context_.text(texts::kSettledPL));
    openPie_->setAccessibleName(context_.text(texts::kFloatingPL));
    settledPie_->setEmptyText(context_.text(texts::kNoSettledPositionsPeriod));
    openPie_->setEmptyText(context_.text(texts::kNoOpenPositions));
    if (data_)
        accountStatementUpdate();
}

void AccountStatementWindowController::applyTheme() {
    const auto theme = static_cast<int>(context_.themes().getThemeForKey());
    settledPie_->applyTheme(theme);
    openPie_->applyTheme(theme);
}

void AccountStatementWindowController::setDateValues() {
    // From today's start to the present moment, which the to-date then follows.
    ui_->fromDatePicker->setDateTime(serverMoment(now_().date(), QTime(0, 0)));
    followNow();
}

void AccountStatementWindowController::followNow() {
    const QDateTime now = now_();
    toFollowed_ =
        serverMoment(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    ui_->toDatePicker->setDateTime(toFollowed_);
}

bool AccountStatementWindowController::toFollowsNow() const {
    const auto to = ui_->toDatePicker->dateTime();
    return to && *to == toFollowed_;
}

std::int32_t AccountStatementWindowController::historyDays(const AccountDetails& account) const {
    std::int32_t group = 0;
    std::from_chars(account.GroupId.data(), account.GroupId.data() + account.GroupId.size(), group);
    const auto details = context_.clientModel()->client().model().group(group);
    return details ? std::max(0, details->ReportHistoryDaysLimit) : 0;
}

// The fields take a date as typed (a range of their own would pull a typed date into it, another
// date); a period the account's statements cannot cover is refused with its reason.
PeriodFault AccountStatementWindowController::periodFault() const {
    const std::int64_t language = context_.language().selected();
    const QDateTime now = now_();
    if (PeriodFault unread =
            unreadPeriod(*ui_->fromDatePicker, *ui_->toDatePicker, language, momentText(now));
        !unread.text.isEmpty())
        return unread;
    const QDateTime from = *ui_->fromDatePicker->dateTime();
    const QDateTime to = *ui_->toDatePicker->dateTime();
    if (to > now)
        return {filledText(language, texts::kDateCannotAfterPresentMoment, {momentText(now)}), false, true};
    if (const auto account = accountOf(ui_->accountComboBox->currentText())) {
        const std::int32_t days = historyDays(*account);
        const QDateTime earliest = now.addDays(-days);
        if (from < earliest)
            return {filledText(
                        language, texts::kFromDateCannotBeforeStatements,
                        {momentText(earliest), QString::number(account->AccountId), QString::number(days)}),
                    true, false};
    }
    if (from > to)
        return {context_.text(texts::kFromDateMustNotAfter), true, true};
    return {};
}

void AccountStatementWindowController::markEntries() {
    ThemeManager& themes = context_.themes();
    markEntry(ui_->accountComboBox, accountFault(ui_->accountComboBox->currentText()), themes);
    markPeriod(*ui_->fromDatePicker, *ui_->toDatePicker, periodFault(), themes);
}

void AccountStatementWindowController::loadAccountCombo() {
    const auto accounts = context_.clientModel()->client().queries().getAccountCollection();
    QSignalBlocker block(ui_->accountComboBox);
    ui_->accountComboBox->clear();
    for (const auto& account : accounts)
        ui_->accountComboBox->addItem(QString::number(account->AccountId));
    if (!accounts.empty())
        ui_->accountComboBox->setCurrentIndex(0);
}

std::shared_ptr<const AccountDetails> AccountStatementWindowController::accountOf(const QString& text) const {
    const platform::IntegerEntry entry = platform::readIntegerEntry(text.toStdString());
    if (!entry.ok() || textEntryFault(text.toStdString(), platform::kMaxEntryLength) != TextFault::None)
        return nullptr;
    for (const auto& account : context_.clientModel()->client().queries().getAccountCollection())
        if (account && account->AccountId == *entry.value)
            return account;
    return nullptr;
}

// One rule for the account, wherever a character stands: a control character (a tab or another a
// paste brings in unseen) refuses it, blanks around it are passed over, and it is read whole as a
// number of the user's.
QString AccountStatementWindowController::accountFault(const QString& text) const {
    const std::int64_t language = context_.language().selected();
    const std::string typed = text.toStdString();
    if (const auto unsendable = firstTextRefusal({{texts::kAccount, typed, platform::kMaxEntryLength}}))
        return refusalWords(language, *unsendable);
    const platform::IntegerEntry entry = platform::readIntegerEntry(typed);
    if (!entry.ok())
        return refusalWords(
            language, Refusal{std::string(wholeNumberFaultKey(typed, entry.fault)), {}, texts::kAccount});
    if (!accountOf(text))
        return filledText(language, texts::kAccountNotOneAccounts, {QString::number(*entry.value)});
    return {};
}

void AccountStatementWindowController::setPeriod(const QDateTime& from, const QDateTime& to) {
    ui_->fromDatePicker->setDateTime(from);
    ui_->toDatePicker->setDateTime(to);
}

void AccountStatementWindowController::setClock(std::function<QDateTime()> now) {
    now_ = std::move(now);
}

void AccountStatementWindowController::setAccountText(const QString& account) {
    ui_->accountComboBox->setCurrentText(account);
}

bool AccountStatementWindowController::showAccountStatement() {
    // The to-date left at the present moment is the moment of the show.
    if (toFollowsNow())
        followNow();
    const QString text = ui_->accountComboBox->currentText();
    const auto account = accountOf(text);
    const auto refuse = [this](const QString& message) {
        CommonAlert::open(this, {context_.text(texts::kValidation),
                                 message,
                                 AlertSpec::Warning,
                                 {},
                                 QStringLiteral("statement")});
        return false;
    };
    // Signed out nothing would answer: the window would wait for good under the last figures.
    const ClientModel& session = *context_.clientModel();
    if (!session.isSignedIn() || !session.client().isNetworkAvailable())
        return refuse(context_.text(texts::kNoConnectionTradingServer));
    // An account typed with a character no one sees is said to be so, not to be someone else's.
    if (const QString fault = accountFault(text); !fault.isEmpty())
        return refuse(fault);
    if (const PeriodFault fault = periodFault(); !fault.text.isEmpty())
        return refuse(fault.text);
    const QDateTime from = *ui_->fromDatePicker->dateTime();
    const QDateTime to = *ui_->toDatePicker->dateTime();

    interfaces::Statements& statements = context_.clientModel()->client().statements();
    const StatementSelection selection{std::to_string(account->AccountId), dateOf(from), dateOf(to)};
    awaitedStatement_ = statements.requestAccountStatement(selection);
    awaitedAccountId_ = account->AccountId;
    awaitedFrom_ = from;
    awaitedTo_ = to;
    awaitedCancelled_ = statements.requestCancelledOrderHistory(selection);
    requestError_.clear();
    if (awaitedStatement_ == 0 || awaitedCancelled_ == 0) {
        awaitedStatement_ = awaitedCancelled_ = 0;
        requestError_ = context_.text(texts::kStatementCouldNotLoaded)
                            .replace(QStringLiteral("{0}"), context_.text(texts::kRequestCouldNotSent));
    }
    ui_->requestStatusLabel->setText(requestError_.isEmpty() ? context_.text(texts::kWaitingStatement)
                                                             : requestError_);
    return true;
}

void AccountStatementWindowController::statementArrived(const interfaces::StatementArrival& arrival) {
    interfaces::Client& client = context_.clientModel()->client();
    if (arrival.cancelledOrders) {
        if (arrival.id == 0 || arrival.id != awaitedCancelled_)
            return; // an earlier show's rows
        awaitedCancelled_ = 0;
        const auto& rows = client.dataService().cancelledOrderInfo;
        cancelled_.assign(rows.begin(), rows.end());
    } else {
        if (arrival.id == 0 || arrival.id != awaitedStatement_)
            return;
        awaitedStatement_ = 0;
        statement_ = client.statements().statement();
        // The header names the figures now shown. Kept until another statement comes: the window
        // opened again later, signed out or not, still says which moment its figures are of.
        selectedAccountId_ = awaitedAccountId_;
        shownFrom_ = awaitedFrom_;
        shownTo_ = awaitedTo_;
        ui_->accountNumberLabel->setText(QString::number(selectedAccountId_));
        ui_->statementPeriodLabel->setText(
            QStringLiteral("%1 - %2").arg(displayDate(shownFrom_), displayDate(shownTo_)));
        ui_->figuresMomentLabel->setText(momentText(awaitedTo_));
    }
    const SessionModel& model = client.model();
    data_ = std::make_shared<const StatementData>(
        makeStatementData(statement_, cancelled_, [&model](std::string_view code) -> std::int32_t {
            const auto* item = model.ItemCollection.get(std::string(code));
            return item && *item ? (*item)->DecimalPlaces : -1;
        }));
    accountStatementUpdate();
    finishWaiting();
}

void AccountStatementWindowController::requestFailed(const interfaces::RequestFailure& failure) {
    if (failure.id == 0 || (failure.id != awaitedStatement_ && failure.id != awaitedCancelled_))
        return;
    (failure.id == awaitedStatement_ ? awaitedStatement_ : awaitedCancelled_) = 0;
    requestError_ = context_.text(texts::kStatementCouldNotLoaded)
                        .replace(QStringLiteral("{0}"), QString::fromStdString(failure.reason));
    finishWaiting();
}

void AccountStatementWindowController::finishWaiting() {
    if (awaitedStatement_ != 0 || awaitedCancelled_ != 0)
        return;
    ui_->requestStatusLabel->setText(requestError_);
    Q_EMIT statementShown();
}

void AccountStatementWindowController::accountStatementUpdate() {
    const std::int64_t language = context_.language().selected();
    const statements::AccountStatementInfo* statement = data_ ? data_->statement.get() : nullptr;
    for (StatementTableModel* model : tables_)
        model->setStatement(data_);
    ui_->openStatusLabel->setText(
        figuresKeptWhole(language, QString::fromStdString(openStatusLine(statement, language))));
    ui_->closedStatusLabel->setText(
        figuresKeptWhole(language, QString::fromStdString(settledStatusLine(statement, language))));
    accountSummary_->setRows(accountSummaryRows(statement, language));
    // The floating credit (the group's share of the floating result; no leverage, whatever the
    // label's name) of the statement's own end snapshot, the moment its summary shows.
    const auto credit =
        statement ? statement->getFloatingCredit(context_.clientModel()->client().model()) : std::nullopt;
    // Grouped as every amount of the window.
    ui_->leverageLabel->setText(
        credit ? figuresKeptWhole(language, QString::fromStdString(platform::amountText(*credit)))
               : QString());
    if (selectedAccountId_ != 0 && statement) {
        ui_->addressLabel->setText(
            QString::fromStdString(statement->getClientAddressForAccountId(selectedAccountId_).value_or("")));
        ui_->companyAddressLabel->setText(QString::fromStdString(
            statement->getCompanyAddressForAccountId(selectedAccountId_).value_or("")));
        marginSummary_->setRows(marginSummaryRows(statement, selectedAccountId_, language));
    }
    orderSummary_->setRows(data_ ? orderSummaryRows(*data_, language) : std::vector<SummaryRow>{});
    for (QTableView* view : {ui_->accountSummaryHistoryTableView, ui_->orderSummaryHistoryTableView,
                             ui_->marginSummaryHistoryTableView})
        fitSummaryHeight(view);

    const auto loadPie = [](PieChartController& pie, const statements::PieInput& input) {
        QStringList titles;
        QList<double> values;
        for (std::size_t i = 0; i < input.titles.size() && i < input.values.size(); ++i) {
            titles.push_back(QString::fromStdString(input.titles[i]));
            values.push_back(input.values[i]);
        }
        pie.loadChart(titles, values);
    };
    loadPie(*settledPie_, statement ? statement->getSettledPLForItems() : statements::PieInput{});
    loadPie(*openPie_, statement ? statement->getOpendPLForItems() : statements::PieInput{});
}

void AccountStatementWindowController::fitSummaryHeight(QTableView* view) {
    // Every row shows: the summaries never scroll on their own.
    const int rows = std::max(1, view->model()->rowCount());
    const int height = view->horizontalHeader()->sizeHint().height() +
                       rows * view->verticalHeader()->defaultSectionSize() + 2 * view->frameWidth();
    view->setFixedHeight(height);
}

void AccountStatementWindowController::summaryButtonClicked() {
    ui_->accountSummaryTabView->setCurrentIndex(0);
}

void AccountStatementWindowController::detailsButtonClicked() {
    ui_->accountSummaryTabView->setCurrentIndex(1);
}

void AccountStatementWindowController::showDetails(StatementTable table) {
    detailsButtonClicked();
    ui_->detailsTabView->setCurrentIndex(static_cast<int>(indexOf(table)));
}

QTableView* AccountStatementWindowController::tableView(StatementTable table) const {
    switch (table) {
    case StatementTable::OpenPositions:
        return ui_->openPositionHistoryTableView;
    case StatementTable::SettledPositions:
        return ui_->settledPositionHistoryTableView;
    case StatementTable::PendingOrders:
        return ui_->pendingOrderHistoryTableView;
    case StatementTable::CancelledOrders:
        return ui_->cancelledOrderHistoryTableView;
    case StatementTable::Instruments:
        break;
    }
    return ui_->instrumentHistoryTableView;
}

QTableView* AccountStatementWindowController::accountSummaryView() const {
    return ui_->accountSummaryHistoryTableView;
}
QTableView* AccountStatementWindowController::orderSummaryView() const {
    return ui_->orderSummaryHistoryTableView;
}
QTableView* AccountStatementWindowController::marginSummaryView() const {
    return ui_->marginSummaryHistoryTableView;
}
QMenu* AccountStatementWindowController::headerMenu(StatementTable table) const {
    return headerMenus_[indexOf(table)];
}
QString AccountStatementWindowController::openStatusText() const {
    return ui_->openStatusLabel->text();
}
QString AccountStatementWindowController::settledStatusText() const {
    return ui_->closedStatusLabel->text();
}
QString AccountStatementWindowController::requestStatusText() const {
    return ui_->requestStatusLabel->text();
}

QPrinter& AccountStatementWindowController::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>();
        setUpPrinter(*printer_);
    }
    return *printer_;
}

void AccountStatementWindowController::setUpPrinter(QPrinter& printer) {
    // About half an inch on every side; across the page, so the settlements' seventeen columns
    // keep their ids and prices on one line.
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
}

void AccountStatementWindowController::print() {
    openPrintDialog(this, printer(), [this] {
        if (!printTo(printer()))
            platform::Log::warning("the account statement could not be printed on {}",
                                   printer().printerName().toStdString());
    });
}

QString AccountStatementWindowController::accountBlock() const {
    // The account and period of the statement shown, not what is typed for the next show.
    const auto account = accountOf(QString::number(selectedAccountId_));
    const QString lines[] = {
        ui_->addressLabel->text(),
        ui_->companyAddressLabel->text(),
        QStringLiteral("%1 : %2").arg(context_.text(texts::kAccount)).arg(account ? account->AccountId : 0),
        QStringLiteral("%1 : %2").arg(context_.text(texts::kAccountName),
                                      account ? QString::fromStdString(account->AccountName) : QString()),
        QStringLiteral("%1 : %2 - %3")
            .arg(context_.text(texts::kPeriod), shownFrom_.isValid() ? displayDate(shownFrom_) : QString(),
                 shownTo_.isValid() ? displayDate(shownTo_) : QString()),
    };
    QString block = QStringLiteral("\n\n");
    for (const QString& line : lines)
        block += line + QStringLiteral("\n\n");
    return block;
}

bool AccountStatementWindowController::printTo(QPrinter& printer) const {
    const std::int64_t language = context_.language().selected();
    TablePrinter document(QStringLiteral("%1 - %2").arg(QGuiApplication::applicationDisplayName(),
                                                        context_.text(texts::kAccountStatement)));
    document.setPrintedAt(now_());
    const QIcon logo(QStringLiteral(":/images/Company_Logo.svg"));
    document.addImage(logo.pixmap(QSize(720, 144)).toImage(), 36);
    document.addLineFeeds(1);
    PrintTextStyle title;
    title.pointSize = 20;
    title.foreground = QColor(Qt::darkGray);
    title.underline = true;
    document.addText(context_.text(texts::kAccountStatement), title);
    document.addText(accountBlock());

    const auto section = [&](std::string_view heading, const QTableView* view) {
        document.addHeading(context_.text(heading), sectionHeading());
        document.addTable(*view, language, IdentifierRole);
    };
    section(texts::kAccountSummary, ui_->accountSummaryHistoryTableView);
    document.addLineFeeds(1);
    section(texts::kOrderSummary, ui_->orderSummaryHistoryTableView);
    document.addLineFeeds(1);
    section(texts::kMarginSummary, ui_->marginSummaryHistoryTableView);
    document.addLineFeeds(1);
    section(texts::kInstruments, ui_->instrumentHistoryTableView);
    document.addLineFeeds(1);
    section(texts::kSettledPositions, ui_->settledPositionHistoryTableView);
    document.addText(ui_->closedStatusLabel->text(), statusLineStyle());
    document.addLineFeeds(3);
    section(texts::kOpenPositions, ui_->openPositionHistoryTableView);
    document.addText(ui_->openStatusLabel->text(), statusLineStyle());
    document.addLineFeeds(3);
    section(texts::kPendingOrders, ui_->pendingOrderHistoryTableView);
    document.addLineFeeds(1);
    section(texts::kCancelledOrders, ui_->cancelledOrderHistoryTableView);
    return document.print(printer);
}

} // namespace tc::gui
