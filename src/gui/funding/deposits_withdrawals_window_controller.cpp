#include "gui/funding/deposits_withdrawals_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/date_time_field.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/funding/funding_window_rules.h"
#include "gui/models/client_model.h"
#include "gui/models/server_clock.h"
#include "gui/statements/statement_table_models.h"
#include "gui/statements/table_printer.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "model/session_queries.h"
#include "platform/log.h"
#include "ui_deposits_withdrawals_window_controller.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPrinter>
#include <QShortcut>

#include <utility>

namespace tc::gui {
namespace {

WallTime dateOf(const QDateTime& time) {
    return wireMomentOf(time);
}

bool isAmountColumn(std::string_view key) {
    return key == texts::kCredit || key == texts::kDebit || key == texts::kBalanceAfter;
}

std::vector<FundingHistoryTableModel::Column> historyColumns(const Language& language) {
    std::vector<FundingHistoryTableModel::Column> columns;
    for (const std::string_view key : kHistoryColumns) {
        auto cell = [key](const FinancialTransactionDetails& row) { return qt(historyCell(row, key)); };
        // A trader reads what the transaction booked, not the server's code for it.
        auto subType = [&language](const FinancialTransactionDetails& row) {
            const auto name = subTypeNameKey(row.SubTransactionId);
            return name ? language.text(*name) : QString::number(row.SubTransactionId);
        };
        columns.push_back(
            {key,
             key == texts::kSubType ? std::function<QString(const FinancialTransactionDetails&)>(subType)
                                    : cell,
             isAmountColumn(key) ? std::optional<Qt::Alignment>(Qt::AlignRight | Qt::AlignVCenter)
                                 : std::nullopt});
    }
    return columns;
}

} // namespace

FundingHistoryTableModel::FundingHistoryTableModel(Language& language, QObject* parent)
    : RecordTableModel(
          historyColumns(language),
          [](const FinancialTransactionDetails& row) {
              return std::to_string(row.TransactionId) + '.' + std::to_string(row.SubTransactionId);
          },
          [&language](std::string_view key) { return language.text(key); }, parent) {
    setKeyRole(IdentifierRole);
    connect(&language, &Language::changed, this, [this] {
        retitle();
        refreshAll(); // the sub-types' names
    });
}

DepositsWithdrawalsWindowController::DepositsWithdrawalsWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::DepositsWithdrawalsWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("DepositsWithdrawalsWindowController"));
    EscapeClose::install(this, context_.language())->setDiscard([this] {
        setDefaultValues();
        loadAccountCombo();
    });
    model_ = new FundingHistoryTableModel(context_.language(), this);
    QTableView* table = ui_->depositWithdrawalTableView;
    table->setModel(model_);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    // A typed account is sent as typed; a typed type is none of the list's.
    ui_->accountComboBox->setInsertPolicy(QComboBox::NoInsert);
    ui_->transactionCodeComboBox->setInsertPolicy(QComboBox::NoInsert);

    connect(ui_->searchButton, &QPushButton::clicked, this, [this] { searchButtonClicked(); });
    connect(ui_->clearButton, &QPushButton::clicked, this,
            &DepositsWithdrawalsWindowController::setDefaultValues);
    connect(ui_->printButton, &QPushButton::clicked, this, &DepositsWithdrawalsWindowController::print);
    // Return anywhere in the window searches, as a sheet's default button would.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { searchButtonClicked(); });
    }
    // A typed text that matches no type leaves no type chosen.
    connect(ui_->transactionCodeComboBox, &QComboBox::editTextChanged, this, [this](const QString& text) {
        QComboBox* box = ui_->transactionCodeComboBox;
        if (box->currentIndex() >= 0 && box->itemText(box->currentIndex()) != text) {
            QSignalBlocker block(box);
            box->setCurrentIndex(-1);
            box->setEditText(text);
        }
    });
    // A typed account that is no account number is marked while it is there.
    connect(ui_->accountComboBox, &QComboBox::editTextChanged, this, [this] { markAccount(); });
    // The dates are taken as typed; one that is no date, or a period the wrong way round, is marked.
    for (DateTimeField* field : {ui_->fromDatePicker, ui_->toDatePicker}) {
        connect(field, &QLineEdit::textChanged, this, [this] { markPeriod(); });
        field->setToday([this] { return context_.clientModel()->serverNow().date(); });
    }
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] {
        markAccount();
        markPeriod();
    });
    connect(&context_.language(), &Language::changed, this, [this] {
        markAccount();
        markPeriod();
    });
    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::fundingHistoryArrived, this,
            &DepositsWithdrawalsWindowController::historyArrived);
    connect(&session, &ClientModel::requestFailed, this, [this](const interfaces::RequestFailure& failure) {
        if (failure.id != 0 && failure.id == awaited_)
            searchFailed(QString::fromStdString(failure.reason));
    });
    // The old session's reply can no longer come.
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        if (awaited_ != 0)
            searchFailed(context_.text(texts::kConnectionDroppedBeforeReplyCame));
    });
    connect(&session, &ClientModel::clientReplaced, this, [this] {
        loadAccountCombo();
        accountsAwaited_ = true;
    });
    // A new client holds its accounts once its login completes; the same user's search is asked again
    // then, so the list is what the new session holds for its period (what the server carried out
    // while the line was down included), as the statement does.
    connect(&session, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::SignedIn && std::exchange(accountsAwaited_, false))
            sessionBack();
    });
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });

    user_ = session.signedInUser();
    setDefaultValues();
    loadAccountCombo();
    loadTransactionCodeCombo();
}

DepositsWithdrawalsWindowController::~DepositsWithdrawalsWindowController() = default;

void DepositsWithdrawalsWindowController::onWindowLoad() {
    updateLanguageStrings();
}

void DepositsWithdrawalsWindowController::fitColumns() {
    QTableView* table = ui_->depositWithdrawalTableView;
    const QFontMetrics header = table->horizontalHeader()->fontMetrics();
    const QFontMetrics cells = table->fontMetrics();
    for (int column = 0; column < model_->columnCount(); ++column) {
        const std::string_view key = kHistoryColumns[static_cast<std::size_t>(column)];
        int width = std::max(header.horizontalAdvance(context_.text(key)) + 28, column == 7 ? 150 : 90);
        // The sub-types' names in this language, whichever rows come.
        if (key == texts::kSubType)
            for (std::int64_t code = 0; code <= kLastNamedSubType; ++code)
                if (const auto name = subTypeNameKey(code))
                    width = std::max(width, cells.horizontalAdvance(context_.text(*name)) + 16);
        table->setColumnWidth(column, width);
    }
}

void DepositsWithdrawalsWindowController::updateLanguageStrings() {
    setWindowTitle(context_.text(texts::kDepositsAndWithdrawals));
    fitColumns();
    ui_->depositWithdrawalTableView->setAccessibleName(context_.text(texts::kDepositsAndWithdrawals));
    for (DateTimeField* field : {ui_->fromDatePicker, ui_->toDatePicker})
        field->setCalendarName(context_.text(texts::kCalendar));
    // The type labels follow the language; the choice stays.
    QComboBox* box = ui_->transactionCodeComboBox;
    for (int i = 0; i < box->count() && static_cast<std::size_t>(i) < kTransactionTypes.size(); ++i)
        box->setItemText(i, context_.text(kTransactionTypes[static_cast<std::size_t>(i)].labelKey));
}

void DepositsWithdrawalsWindowController::setDefaultValues() {
    // The server's day, as the rows' times are the server's.
    const QDate today = context_.clientModel()->serverNow().date();
    ui_->fromDatePicker->setDateTime(
        serverMoment(today, QTime(0, 0).addSecs(kDefaultHistoryPeriod.fromSecond)));
    ui_->toDatePicker->setDateTime(serverMoment(today, QTime(0, 0).addSecs(kDefaultHistoryPeriod.toSecond)));
    model_->setRows({});
    // A reply still on its way no longer fills the cleared table, nor is a new session asked again.
    awaited_ = 0;
    lastSearch_.reset();
    shownSearch_.clear();
    showStatus({});
    chooseAllTransactions();
}

void DepositsWithdrawalsWindowController::sessionBack() {
    const QString account = ui_->accountComboBox->currentText();
    loadAccountCombo();
    const std::optional<SignInUser> user = context_.clientModel()->signedInUser();
    if (!user || std::exchange(user_, user) != user) {
        lastSearch_.reset();
        return;
    }
    // The same user's account stays chosen, and the search shown is asked of the new session.
    {
        QComboBox* box = ui_->accountComboBox;
        QSignalBlocker block(box);
        if (const int listed = box->findText(account); listed >= 0)
            box->setCurrentIndex(listed);
        else
            box->setEditText(account);
    }
    markAccount();
    if (lastSearch_)
        sendSearch(*lastSearch_);
}

void DepositsWithdrawalsWindowController::chooseAllTransactions() {
    // A blank chooser would leave the trader guessing what a search lists: it names the whole.
    QSignalBlocker block(ui_->transactionCodeComboBox);
    ui_->transactionCodeComboBox->setCurrentIndex(ui_->transactionCodeComboBox->count() > 0 ? 0 : -1);
}

void DepositsWithdrawalsWindowController::loadAccountCombo() {
    const auto accounts = context_.clientModel()->client().queries().getAccountCollection();
    QComboBox* box = ui_->accountComboBox;
    QSignalBlocker block(box);
    const QString before = box->currentText();
    box->clear();
    for (const auto& account : accounts)
        if (account)
            box->addItem(QString::number(account->AccountId));
    if (!accounts.empty() && accounts.front())
        box->setCurrentIndex(0);
    else
        box->setEditText(before);
}

void DepositsWithdrawalsWindowController::loadTransactionCodeCombo() {
    QComboBox* box = ui_->transactionCodeComboBox;
    QSignalBlocker block(box);
    box->clear();
    for (const TransactionType& type : kTransactionTypes)
        box->addItem(context_.text(type.labelKey), qt(type.code));
    chooseAllTransactions();
}

bool DepositsWithdrawalsWindowController::searchButtonClicked() {
    QComboBox* types = ui_->transactionCodeComboBox;
    std::optional<std::size_t> chosen;
    if (types->currentIndex() >= 0)
        chosen = static_cast<std::size_t>(types->currentIndex());
    const auto code = transactionCodeFor(types->currentText().isEmpty(), chosen);
    if (!code)
        return false;
    const HistoryAccount account = historyAccountOf(str(ui_->accountComboBox->currentText()));
    if (account.refusal) {
        CommonAlert::open(this, {context_.text(texts::kValidation),
                                 accountFault(),
                                 AlertSpec::Warning,
                                 {},
                                 QStringLiteral("fundingHistory")});
        return false;
    }
    if (const PeriodFault period = periodFault(); !period.text.isEmpty()) {
        CommonAlert::open(this, {context_.text(texts::kValidation),
                                 period.text,
                                 AlertSpec::Warning,
                                 {},
                                 QStringLiteral("fundingHistory")});
        return false;
    }
    SearchInfo search;
    search.AccountNumber = account.number;
    search.FromDate = dateOf(*ui_->fromDatePicker->dateTime());
    search.ToDate = dateOf(*ui_->toDatePicker->dateTime());
    search.TransactionDetails = std::string(*code);
    shownSearch_ =
        QStringLiteral("%1 %2    %3 %4    %5 %6")
            .arg(context_.text(texts::kAccount), qt(account.number), context_.text(texts::kFrom),
                 ui_->fromDatePicker->text(), context_.text(texts::kTo), ui_->toDatePicker->text());
    lastSearch_ = search;
    return sendSearch(search);
}

bool DepositsWithdrawalsWindowController::sendSearch(const SearchInfo& search) {
    // The last search's rows go at once: under this search's account and period they would read as
    // its answer.
    model_->setRows({});
    awaited_ = context_.clientModel()->client().funding().requestFinancialTransactions(search);
    if (awaited_ == 0) {
        searchFailed(context_.text(texts::kRequestCouldNotSent));
        return false;
    }
    showStatus(context_.text(texts::kWaitingHistory));
    return true;
}

void DepositsWithdrawalsWindowController::searchFailed(const QString& reason) {
    awaited_ = 0;
    showStatus(context_.text(texts::kHistoryCouldNotLoaded).replace(QStringLiteral("{0}"), reason));
}

void DepositsWithdrawalsWindowController::showStatus(const QString& text) {
    ui_->requestStatusLabel->setText(text);
    ui_->requestStatusLabel->setVisible(!text.isEmpty());
}

QString DepositsWithdrawalsWindowController::statusText() const {
    return ui_->requestStatusLabel->isVisible() ? ui_->requestStatusLabel->text() : QString();
}

QString DepositsWithdrawalsWindowController::accountFault() const {
    const auto refusal = historyAccountOf(str(ui_->accountComboBox->currentText())).refusal;
    return refusal ? refusalWords(context_.language().selected(), *refusal) : QString();
}

void DepositsWithdrawalsWindowController::markAccount() {
    if (QLineEdit* field = ui_->accountComboBox->lineEdit())
        markEntry(field, accountFault(), context_.themes());
}

PeriodFault DepositsWithdrawalsWindowController::periodFault() const {
    // The example is the present moment, on the server's clock, in the format asked for.
    const QString example =
        context_.clientModel()->serverNow().toString(QString::fromLatin1(DateTimeField::kFormat));
    if (PeriodFault unread =
            unreadPeriod(*ui_->fromDatePicker, *ui_->toDatePicker, context_.language().selected(), example);
        !unread.text.isEmpty())
        return unread;
    if (*ui_->fromDatePicker->dateTime() > *ui_->toDatePicker->dateTime())
        return {context_.text(texts::kFromDateMustNotAfter), true, true};
    return {};
}

void DepositsWithdrawalsWindowController::markPeriod() {
    tc::gui::markPeriod(*ui_->fromDatePicker, *ui_->toDatePicker, periodFault(), context_.themes());
}

void DepositsWithdrawalsWindowController::historyArrived(interfaces::RequestId id) {
    // Only the reply of this window's last search; an earlier one arriving late is dropped.
    if (id == 0 || id != awaited_)
        return;
    awaited_ = 0;
    model_->setRows(context_.clientModel()->client().dataService().FinancialTransactionCollection);
    // An empty table says so: a search that failed says so too, in its own words.
    showStatus(model_->rowCount() == 0 ? context_.text(texts::kNoTransactionsMatchSearch) : QString());
    Q_EMIT historyShown();
}

QPrinter& DepositsWithdrawalsWindowController::printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        setUpPrinter(*printer_);
    }
    return *printer_;
}

void DepositsWithdrawalsWindowController::setUpPrinter(QPrinter& printer) {
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
}

void DepositsWithdrawalsWindowController::print() {
    openPrintDialog(this, printer(), [this] {
        if (!printTo(printer()))
            platform::Log::warning("the funding history could not be printed on {}",
                                   printer().printerName().toStdString());
    });
}

bool DepositsWithdrawalsWindowController::printTo(QPrinter& printer) const {
    // What the window shows: the search the rows answer, the rows, and what it says of them.
    TablePrinter out(context_.text(texts::kDepositsAndWithdrawals));
    out.setPrintedAt(context_.clientModel()->serverNow());
    if (!shownSearch_.isEmpty())
        out.addText(shownSearch_);
    out.addTable(*ui_->depositWithdrawalTableView, context_.language().selected(), IdentifierRole);
    if (const QString status = statusText(); !status.isEmpty())
        out.addText(status);
    return out.print(printer);
}

void DepositsWithdrawalsWindowController::setPeriod(const QDateTime& from, const QDateTime& to) {
    ui_->fromDatePicker->setDateTime(from);
    ui_->toDatePicker->setDateTime(to);
}

QComboBox* DepositsWithdrawalsWindowController::accountComboBox() const {
    return ui_->accountComboBox;
}
QComboBox* DepositsWithdrawalsWindowController::transactionCodeComboBox() const {
    return ui_->transactionCodeComboBox;
}
QTableView* DepositsWithdrawalsWindowController::depositWithdrawalTableView() const {
    return ui_->depositWithdrawalTableView;
}
std::optional<QDateTime> DepositsWithdrawalsWindowController::fromDate() const {
    return ui_->fromDatePicker->dateTime();
}
std::optional<QDateTime> DepositsWithdrawalsWindowController::toDate() const {
    return ui_->toDatePicker->dateTime();
}

} // namespace tc::gui
