#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/caption_alignment.h"

#include "gui/app/browser.h"
#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/date_time_field.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/user_info.h"
#include "model/records/wall_time.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"
#include "platform/log.h"
#include "ui_deposit_request_window_controller.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace tc::gui {

DepositRequestWindowController::DepositRequestWindowController(GuiContext& context,
                                                               std::shared_ptr<PayGateRequests> requests,
                                                               QWidget* parent)
    : RequestWindow(context, parent), ui_(std::make_unique<Ui::DepositRequestWindowController>()),
      requests_(requests ? std::move(requests) : std::make_shared<PayGateRequests>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("DepositRequestWindowController"));
    attachFrame({ui_->depositRequestTabView, ui_->detailArea, ui_->detailAreaLayout, ui_->sendRequestButton,
                 ui_->notNowButton, ui_->okButton, ui_->accountComboBox, ui_->accountNameTextField,
                 ui_->amountTextField, ui_->remarksTextField, ui_->noAccountLabel, kDepositsAllowedBit,
                 QStringLiteral("deposit"), interfaces::FundingFailure::Request::Deposit});
    QFont bold = ui_->headerLabel->font();
    bold.setBold(true);
    ui_->headerLabel->setFont(bold);
    ui_->depositDatePicker->setDateTime(context_.clientModel()->serverNow());
    ui_->depositDatePicker->setToday([this] { return context_.clientModel()->serverNow().date(); });

    connect(ui_->depositModeComboBox, qOverload<int>(&QComboBox::activated), this,
            &DepositRequestWindowController::chooseMode);
    connect(ui_->paymentGatewayComboBox, qOverload<int>(&QComboBox::activated), this,
            &DepositRequestWindowController::chooseGateway);
    connect(context_.clientModel(), &ClientModel::fundingFailed, this,
            &DepositRequestWindowController::fundingFailed);
    // The date is typed whole, as the statement's and the history's; one that is no date is marked.
    connect(ui_->depositDatePicker, &QLineEdit::textChanged, this, [this] { markDate(); });
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { markDate(); });
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
    // A payment sent on the old line is never registered: its place must not take a later one's reply.
    connect(context_.clientModel(), &ClientModel::clientAboutToBeReplaced, this,
            [this] { requests_->lineGone(); });
}

DepositRequestWindowController::~DepositRequestWindowController() {
    requests_->forget(this);
}

void DepositRequestWindowController::windowDidAppear() {
    updateLanguageStrings();
    setDefaults();
    loadData();
    updateValuesInViews();
    startTicking();
}

void DepositRequestWindowController::closeEvent(QCloseEvent* event) {
    requests_->forget(this);
    RequestWindow::closeEvent(event);
}

void DepositRequestWindowController::updateLanguageStrings() {
    setWindowTitle(context_.text(texts::kDepositRequest));
    ui_->depositDatePicker->setCalendarName(context_.text(texts::kCalendar));
    markDate();
    showCurrencyOnLabel();
    alignCaptions(ui_->formPage);
}

void DepositRequestWindowController::setDefaults() {
    showForm();
    for (QLineEdit* field :
         {ui_->amountTextField, ui_->sourceBankNameTextField, ui_->sourceBankBranchTextField,
          ui_->sourceBankAccountTextField, ui_->depositedBankAccountTextField, ui_->remarksTextField})
        field->clear();
    arrangeViews();
}

void DepositRequestWindowController::arrangeViews() {
    ui_->payGateView->setVisible(isOnlinePayment_);
    ui_->depositView->setVisible(isOnlinePayment_);
    const bool bankDetails = client() && client()->funding().rules().canSpecifyBankDetails;
    ui_->bankView->setVisible(bankDetails && !isOnlinePayment_);
}

void DepositRequestWindowController::loadData() {
    loadAccountsData();
    loadFinancialTransferModes();
}

void DepositRequestWindowController::loadFinancialTransferModes() {
    modes_ = {funding::kTTCopy, funding::kBankTransfer};
    if (const auto chosen = account(); chosen && (chosen->accountSettings & kOnlinePaymentBit) != 0)
        modes_.push_back(funding::kOnlinePayment);
    QSignalBlocker block(ui_->depositModeComboBox);
    ui_->depositModeComboBox->clear();
    for (const std::int64_t mode : modes_)
        ui_->depositModeComboBox->addItem(qt(funding::FinancialEnum::getFinancialTransferMode(mode)));
}

std::shared_ptr<const funding::PayGateSetting> DepositRequestWindowController::gateway() const {
    if (payGateId_ == 0 || !client())
        return nullptr;
    return client()->funding().collections().payGateSettings.find(payGateId_);
}

void DepositRequestWindowController::updateValuesInViews() {
    showChosenAccount();
    calcAccountDetails();
    ui_->depositDatePicker->setDateTime(context_.clientModel()->serverNow());
    // Back to the first mode, with its layout: the mode box and the form never disagree.
    if (!modes_.empty())
        chooseMode(0);
}

void DepositRequestWindowController::calcAccountDetails() {
    // The chosen account's figures of this moment, as the status bar shows them.
    const auto chosen = chosenFigures();
    const auto figure = [&](double value) { return chosen ? qt(platform::amountText(value)) : QString(); };
    ui_->balanceTextField->setText(figure(chosen ? chosen->Balance.toDouble() : 0));
    ui_->equityTextField->setText(figure(chosen ? chosen->Equity : 0));
    ui_->availableMarginTextField->setText(figure(chosen ? chosen->AvailableMargin : 0));
    // Gateways arrive after the request for them; the box lists what is held.
    if (isOnlinePayment_)
        loadPaymentGateway();
}

void DepositRequestWindowController::chooseAccount(int index) {
    if (!takeAccountAt(index))
        return;
    // The modes are the chosen account's: online payment only where it is offered.
    loadFinancialTransferModes();
    updateValuesInViews();
}

void DepositRequestWindowController::chooseMode(int index) {
    if (!selectQuietly(ui_->depositModeComboBox, index, modes_.size()))
        return;
    ftMode_ = modes_[static_cast<std::size_t>(index)];
    isOnlinePayment_ = ftMode_ == funding::kOnlinePayment;
    ui_->depositDatePicker->setEnabled(!isOnlinePayment_);
    ui_->okButton->setEnabled(!isOnlinePayment_);
    if (isOnlinePayment_) {
        ui_->depositDatePicker->setDateTime(context_.clientModel()->serverNow());
        if (client() && client()->funding().collections().payGateSettings.size() == 0)
            client()->funding().requestPayGateSettings();
        loadPaymentGateway();
    }
    arrangeViews();
    showCurrencyOnLabel();
    updateEstimatedAmount();
}

void DepositRequestWindowController::loadPaymentGateway() {
    if (!client())
        return;
    // Only the gateways the server has enabled: a payment through another one can only be refused.
    std::vector<std::shared_ptr<const funding::PayGateSetting>> usable;
    for (const auto& setting : client()->funding().collections().payGateSettings.getAllPayGateSettings())
        if (setting && setting->enabled)
            usable.push_back(setting);
    std::vector<std::uint64_t> ids;
    for (const auto& setting : usable)
        ids.push_back(setting->payGateId);
    if (ids == gateways_)
        return;
    gateways_ = std::move(ids);
    // None held yet (a new session asks for them again): the choice waits for the list.
    const bool listIn = !gateways_.empty();
    const auto held = std::find(gateways_.begin(), gateways_.end(), payGateId_);
    {
        QSignalBlocker block(ui_->paymentGatewayComboBox);
        ui_->paymentGatewayComboBox->clear();
        for (const auto& setting : usable)
            ui_->paymentGatewayComboBox->addItem(qt(setting->name));
        ui_->paymentGatewayComboBox->setCurrentIndex(
            payGateId_ != 0 && held != gateways_.end() ? static_cast<int>(held - gateways_.begin()) : -1);
    }
    // The gateway chosen was disabled since: no longer chosen, nor its currency shown. One found
    // again shows its currency.
    if (payGateId_ != 0 && held == gateways_.end() && listIn)
        payGateId_ = 0;
    showCurrencyOnLabel();
    updateEstimatedAmount();
}

void DepositRequestWindowController::chooseGateway(int index) {
    if (!selectQuietly(ui_->paymentGatewayComboBox, index, gateways_.size()))
        return;
    payGateId_ = gateways_[static_cast<std::size_t>(index)];
    showCurrencyOnLabel();
    updateEstimatedAmount();
}

DepositCurrencies DepositRequestWindowController::currencies() const {
    DepositCurrencies c;
    if (const auto chosen = account())
        c.account = chosen->tradeCurrency.get();
    if (const auto gate = gateway()) {
        c.gatewayChosen = true;
        c.gateway = gate->currency.get();
    }
    if (client()) {
        const SessionModel& model = client()->model();
        if (model.userInfo)
            c.system = model.tradeCurrency(model.userInfo->systemCurrencyId).get();
    }
    return c;
}

void DepositRequestWindowController::showCurrencyOnLabel() {
    const QString amountTitle = context_.text(texts::kAmount);
    const QString estimateTitle = context_.text(texts::kDeposit);
    if (!isOnlinePayment_) {
        ui_->amounTitleLabel->setText(amountTitle);
        ui_->depositTitleLabel->setText(estimateTitle);
        alignCaptions(ui_->formPage);
        return;
    }
    const DepositCurrencies c = currencies();
    const QString gatewayCode = c.gateway ? qt(c.gateway->currencyCode) : QString();
    const QString accountCode = c.account ? qt(c.account->currencyCode) : QString();
    ui_->amounTitleLabel->setText(
        gatewayCode.isEmpty() ? amountTitle : QStringLiteral("%1 (%2)").arg(amountTitle, gatewayCode));
    ui_->depositTitleLabel->setText(QStringLiteral("%1 (%2)").arg(estimateTitle, accountCode));
    alignCaptions(ui_->formPage);
}

void DepositRequestWindowController::updateEstimatedAmount() {
    ui_->depositTextField->setText(
        qt(depositEstimate(str(ui_->amountTextField->text()), isOnlinePayment_, currencies())));
    // The mode and the gateway change what the amount may be.
    markAmount();
}

std::optional<Refusal> DepositRequestWindowController::amountRefusal() const {
    return depositAmountRefusal(str(ui_->amountTextField->text()), isOnlinePayment_, currencies());
}

DepositForm DepositRequestWindowController::form() const {
    DepositForm form;
    form.networkAvailable = client() && client()->isNetworkAvailable();
    form.amountText = str(ui_->amountTextField->text());
    form.mode = ftMode_;
    form.gatewayText = str(ui_->paymentGatewayComboBox->currentText());
    form.email = str(ui_->emailTextField->text());
    form.currencies = currencies();
    form.texts = {{texts::kBankName, str(ui_->sourceBankNameTextField->text())},
                  {texts::kBranch, str(ui_->sourceBankBranchTextField->text())},
                  {texts::kSourceAccount, str(ui_->sourceBankAccountTextField->text())},
                  {texts::kDestinationAccount, str(ui_->depositedBankAccountTextField->text())},
                  {texts::kRemarks, str(ui_->remarksTextField->text())},
                  {texts::kEMail, form.email}};
    return form;
}

std::optional<Refusal> DepositRequestWindowController::dateRefusal() const {
    if (isOnlinePayment_ || ui_->depositDatePicker->dateTime())
        return std::nullopt;
    const QString example =
        context_.clientModel()->serverNow().toString(QLatin1String(DateTimeField::kFormat));
    return Refusal{texts::kNotDateTime, str(example), texts::kDepositDate};
}

void DepositRequestWindowController::markDate() {
    const auto refusal = dateRefusal();
    markEntry(ui_->depositDatePicker,
              refusal ? refusalWords(context_.language().selected(), *refusal) : QString(),
              context_.themes());
}

std::optional<QString>
DepositRequestWindowController::checkForm(const std::shared_ptr<const AccountDetails>&) const {
    auto refusal = checkDepositForm(form());
    // The date stands above the amount: its fault is named first.
    if (const auto date = dateRefusal();
        date && (!refusal || refusal->key != texts::kNoConnectionTradingServer))
        refusal = date;
    if (!refusal)
        return std::nullopt;
    if (refusal->key != texts::kAccountsCurrencyCannotPaidThrough)
        return refusalWords(context_.language().selected(), *refusal);
    return QStringLiteral("%1 : %2\n%3")
        .arg(context_.text(texts::kError), qt(refusal->limit),
             context_.text(texts::kAccountsCurrencyCannotPaidThrough));
}

interfaces::FundingRequestSent
DepositRequestWindowController::sendForm(const std::shared_ptr<const AccountDetails>& chosen) {
    const DepositForm typed = form();
    funding::NewDeposit deposit;
    deposit.accountDetail = chosen;
    deposit.mode = ftMode_;
    // A bank deposit carries the date picked; a gateway payment is made now, on the server's clock
    // as every date the trader is offered.
    const QDateTime date = isOnlinePayment_ ? context_.clientModel()->serverNow()
                                            : ui_->depositDatePicker->dateTime().value_or(QDateTime());
    deposit.depositDate = str(date.toString(QStringLiteral("yyyyMMddHHmmss")));
    deposit.bankName = str(ui_->sourceBankNameTextField->text());
    deposit.bankBranch = str(ui_->sourceBankBranchTextField->text());
    deposit.sourceAccount = str(ui_->sourceBankAccountTextField->text());
    deposit.depositedAccount = str(ui_->depositedBankAccountTextField->text());
    deposit.amount = typedAmount(typed.amountText).value_or(platform::Decimal());
    deposit.remarks = str(ui_->remarksTextField->text());
    deposit.email = typed.email;
    deposit.payGateId = isOnlinePayment_ ? payGateId_ : 0;
    deposit.estimatedAmount = typedAmount(str(ui_->depositTextField->text())).value_or(platform::Decimal());
    const interfaces::FundingRequestSent sent = client()->funding().requestDeposit(deposit);
    if (sent && isOnlinePayment_) {
        requests_->asked(this);
        paymentSettled_ = false;
    }
    return sent;
}

QStringList DepositRequestWindowController::typedForm() const {
    QStringList typed{QString::number(accountId_), QString::number(ftMode_),
                      QString::number(isOnlinePayment_ ? payGateId_ : 0),
                      ui_->amountTextField->text().trimmed(), ui_->emailTextField->text()};
    if (!isOnlinePayment_)
        typed << ui_->depositDatePicker->text();
    for (const QLineEdit* field :
         {ui_->sourceBankNameTextField, ui_->sourceBankBranchTextField, ui_->sourceBankAccountTextField,
          ui_->depositedBankAccountTextField, ui_->remarksTextField})
        typed << field->text();
    return typed;
}

QString DepositRequestWindowController::describeRequest(const AccountDetails& chosen) const {
    const QString amount = qt(
        platform::amountText(typedAmount(str(ui_->amountTextField->text())).value_or(platform::Decimal())));
    const QString accountText = QString::number(chosen.AccountId);
    if (isOnlinePayment_) {
        const auto gate = gateway();
        return context_.text(texts::kOnlinePaymentNamed)
            .replace(QStringLiteral("{0}"), amount)
            .replace(QStringLiteral("{1}"), gate ? qt(gate->name) : QString())
            .replace(QStringLiteral("{2}"), accountText);
    }
    return context_.text(texts::kDepositRequestNamed)
        .replace(QStringLiteral("{0}"), qt(funding::FinancialEnum::getFinancialTransferMode(ftMode_)))
        .replace(QStringLiteral("{1}"), amount)
        .replace(QStringLiteral("{2}"), accountText);
}

std::int64_t DepositRequestWindowController::approvalSubType() const {
    return funding::ApprovalReq::kDepositSubType;
}

void DepositRequestWindowController::sessionReturned() {
    if (isOnlinePayment_ && client() && client()->funding().collections().payGateSettings.size() == 0)
        client()->funding().requestPayGateSettings();
    loadPaymentGateway();
    showCurrencyOnLabel();
}

// ---- replies

void DepositRequestWindowController::fundingReply(const interfaces::FundingReply& reply) {
    using Kind = interfaces::FundingReply::Kind;
    if (!client())
        return;
    switch (reply.kind) {
    case Kind::DepositRequested:
        // The receipt of another window's request is that window's.
        if (answersOwnRequest(reply))
            showResult(reply.lines);
        return;
    case Kind::PayGateStarted:
    case Kind::PayGateProgress:
    case Kind::PayGateResult: {
        const auto* held =
            client()->funding().collections().payGateTransactions.get(std::to_string(reply.id));
        // Another window's payment is that window's to show.
        if (!held || !*held || requests_->ownerOf(reply.id) != this)
            return;
        answered();
        // The state the reply brought: the record may have moved on before this event was read.
        if (reply.kind == Kind::PayGateResult)
            handleTransactionUpdate(*held, reply.status, reply.code);
        else
            handleMasterUpdate(*held, reply.status);
        return;
    }
    default:
        return;
    }
}

void DepositRequestWindowController::fundingFailed(const interfaces::FundingFailure& failure) {
    // A refused payment answers the window that asked, which must not wait for ever.
    if (requests_->ownerOf(failure.id) != this)
        return;
    setHeader(context_.text(texts::kPaymentFailed), true);
    ui_->footerLabel->setText(
        context_.text(texts::kServerRefusedPayment).replace(QStringLiteral("{0}"), qt(failure.text)));
    ui_->okButton->setEnabled(true);
    showResult({});
}

void DepositRequestWindowController::setHeader(const QString& text, bool upper) {
    ui_->headerLabel->setText(upper ? text.toUpper() : text);
}

void DepositRequestWindowController::handleMasterUpdate(
    const std::shared_ptr<const funding::PayGateTransaction>& tx, std::int64_t status) {
    // Once the result is in, only the result stands.
    if (paymentSettled_)
        return;
    if (status == 1) {
        setHeader(context_.text(texts::kPaymentRequestRegistered), true);
        ui_->footerLabel->setText(context_.text(texts::kPaymentPageOpensWebBrowser));
        showOnlinePaymentConfirmation(*tx);
        redirectToPaymentGateway(*tx);
    } else if (status == 2 || status == 4 || status == 9) {
        setHeader(context_.text(texts::kPaymentFailed), true);
        ui_->footerLabel->clear();
        showOnlinePaymentConfirmation(*tx);
        ui_->okButton->setEnabled(true);
    }
}

void DepositRequestWindowController::handleTransactionUpdate(
    const std::shared_ptr<const funding::PayGateTransaction>& tx, std::int64_t transStatus,
    std::int64_t error) {
    // The page to pay on is over once the result is in: only the result stands.
    if (error != 0 || transStatus == funding::PayGateTransaction::kStatusFailure) {
        paymentSettled_ = true;
        setHeader(context_.text(texts::kPaymentFailed), true);
        ui_->footerLabel->clear();
        showOnlinePaymentConfirmation(*tx);
        ui_->okButton->setEnabled(true);
    } else if (transStatus == 1) {
        if (paymentSettled_)
            return;
        setHeader(context_.text(texts::kPaymentRequestRegistered), true);
        showOnlinePaymentConfirmation(*tx);
    } else if (transStatus == funding::PayGateTransaction::kStatusSuccess) {
        paymentSettled_ = true;
        ui_->footerLabel->clear();
        setHeader(context_.text(texts::kPaymentCompletedSuccessfully)
                      .replace(QStringLiteral("{0}"), qt(tx->payTransactionId)),
                  false);
        showOnlinePaymentConfirmation(*tx);
        ui_->okButton->setEnabled(true);
    }
}

void DepositRequestWindowController::showOnlinePaymentConfirmation(const funding::PayGateTransaction& tx) {
    const auto label = [this](std::string_view key) { return str(context_.text(key)); };
    const std::string requested = displayDateTime(tx.requestTime);
    showResult({
        {label(texts::kRequestID), std::to_string(tx.requestId)},
        {label(texts::kAccount), std::to_string(tx.accountId)},
        {label(texts::kAmount), platform::amountText(tx.payRequestAmount)},
        {label(texts::kRequestedOn), requested},
        {label(texts::kTransferMode), label(texts::kOnlinePayment)},
        {label(texts::kPaymentGateway), tx.payGate ? tx.payGate->name : std::string()},
        {label(texts::kEMail), tx.email},
        {label(texts::kRemarks), tx.remarks},
    });
}

void DepositRequestWindowController::redirectToPaymentGateway(const funding::PayGateTransaction& tx) {
    // Only the window that asked opens the page, and only once per request.
    if (!requests_->takePageOpening(tx.requestId, this))
        return;
    const std::string address = client()->funding().paymentPageAddress(tx.requestId);
    if (address.empty() || !opener_ || !opener_(QUrl(qt(address), QUrl::StrictMode))) {
        platform::Log::warning("Failed to open url for payment request {}", tx.requestId);
        // The payment waits on that page: said, with its address, so it can be opened by hand.
        CommonAlert::open(this, addressNotOpenedAlert(context_, address, QStringLiteral("paymentPage")));
    }
}

bool DepositRequestWindowController::openWebAddress(const QUrl& address) {
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    return openInBrowser(address);
}

// ---- accessors

QComboBox* DepositRequestWindowController::depositModeComboBox() const {
    return ui_->depositModeComboBox;
}
QComboBox* DepositRequestWindowController::paymentGatewayComboBox() const {
    return ui_->paymentGatewayComboBox;
}
QLineEdit* DepositRequestWindowController::emailTextField() const {
    return ui_->emailTextField;
}
QLineEdit* DepositRequestWindowController::depositTextField() const {
    return ui_->depositTextField;
}
DateTimeField* DepositRequestWindowController::depositDateField() const {
    return ui_->depositDatePicker;
}
QString DepositRequestWindowController::headerText() const {
    return ui_->headerLabel->text();
}
QString DepositRequestWindowController::footerText() const {
    return ui_->footerLabel->text();
}
QString DepositRequestWindowController::amountTitle() const {
    return ui_->amounTitleLabel->text();
}
QString DepositRequestWindowController::estimateTitle() const {
    return ui_->depositTitleLabel->text();
}

} // namespace tc::gui
