#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/funding/caption_alignment.h"
#include "gui/funding/funding_accounts.h"
#include "gui/funding/request_sheet_keys.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/market/detail_window_controller.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "model/session_queries.h"
#include "ui_withdrawal_request_window_controller.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace tc::gui {

WithdrawalRequestWindowController::WithdrawalRequestWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::WithdrawalRequestWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("WithdrawalRequestWindowController"));
    detail_ = new DetailWindowController(context_, ui_->detailArea);
    detail_->setWindowFlags(Qt::Widget);
    if (auto* close = detail_->findChild<QPushButton*>(QStringLiteral("closeButton")))
        close->hide();
    ui_->detailAreaLayout->addWidget(detail_);
    detail_->show();
    ui_->headerLabel->hide();
    ui_->footerLabel->hide();

    connect(ui_->accountComboBox, qOverload<int>(&QComboBox::activated), this,
            &WithdrawalRequestWindowController::chooseAccount);
    connect(ui_->amountTextField, &QLineEdit::textChanged, this, [this] { calculateResultingBalance(); });
    connect(ui_->sendRequestButton, &QPushButton::clicked, this, [this] { sendRequest(); });
    connect(ui_->notNowButton, &QPushButton::clicked, this, &QWidget::close);
    connect(ui_->okButton, &QPushButton::clicked, this, &QWidget::close);
    installRequestSheetKeys(this, ui_->withdrawalRequestTabView, ui_->sendRequestButton, ui_->okButton);

    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::tick, this, [this] {
        if (ticking_)
            updateAccountDetails();
    });
    connect(&session, &ClientModel::fundingReply, this, &WithdrawalRequestWindowController::fundingReply);
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        sessionGone_ = true;
        ticking_ = false;
        close();
    });
    connect(&session, &ClientModel::clientReplaced, this, [this] { sessionGone_ = false; });
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
}

WithdrawalRequestWindowController::~WithdrawalRequestWindowController() = default;

interfaces::Client* WithdrawalRequestWindowController::client() const {
    ClientModel* session = context_.clientModel();
    return session && !sessionGone_ ? &session->client() : nullptr;
}

void WithdrawalRequestWindowController::windowDidAppear() {
    updateLanguageStrings();
    setDefaults();
    loadAccountsData();
    updateValuesinViews();
    ticking_ = true;
}

void WithdrawalRequestWindowController::closeEvent(QCloseEvent* event) {
    // Only this window's refresh stops.
    ticking_ = false;
    QWidget::closeEvent(event);
}

void WithdrawalRequestWindowController::updateLanguageStrings() {
    setWindowTitle(context_.text(texts::kWithdrawalRequest));
    alignCaptions(ui_->formPage);
}

void WithdrawalRequestWindowController::setDefaults() {
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    ui_->withdrawalRequestTabView->setCurrentIndex(0);
    ui_->amountTextField->clear();
    ui_->remarksTextField->clear();
}

void WithdrawalRequestWindowController::loadAccountsData() {
    accounts_ = listFundingAccounts(ui_->accountComboBox, client(), kWithdrawalsAllowedBit);
    accountId_ = accounts_.empty() ? 0 : accounts_.front();
}

std::shared_ptr<const AccountDetails> WithdrawalRequestWindowController::account() const {
    if (accountId_ == 0 || !client())
        return nullptr;
    for (const auto& account : client()->queries().getAccountCollection())
        if (account && account->AccountId == accountId_)
            return account;
    return nullptr;
}

void WithdrawalRequestWindowController::chooseAccount(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= accounts_.size())
        return;
    accountId_ = accounts_[static_cast<std::size_t>(index)];
    updateValuesinViews();
}

void WithdrawalRequestWindowController::updateValuesinViews() {
    const auto chosen = account();
    {
        QSignalBlocker block(ui_->accountComboBox);
        const auto at = std::find(accounts_.begin(), accounts_.end(), accountId_);
        ui_->accountComboBox->setCurrentIndex(chosen ? static_cast<int>(at - accounts_.begin()) : -1);
    }
    ui_->accountNameTextField->setText(chosen ? qt(chosen->AccountName) : QString());
    updateAccountDetails();
    // Nothing can be sent for no account.
    ui_->sendRequestButton->setEnabled(chosen != nullptr);
}

interfaces::WithdrawalFigures
WithdrawalRequestWindowController::figures(const AccountDetails& account) const {
    return client()->funding().withdrawalFigures(account.AccountId);
}

void WithdrawalRequestWindowController::updateAccountDetails() {
    const auto chosen = account();
    const std::vector<QLineEdit*> fields{ui_->balanceTextField,         ui_->unrealisedPLTextField,
                                         ui_->equityTextField,          ui_->marginTextField,
                                         ui_->availableMarginTextField, ui_->pendingWithdrawalsTextField,
                                         ui_->minimumBalanceTextField,  ui_->withdrawableFundTextField};
    if (!chosen) {
        for (QLineEdit* field : fields)
            field->clear();
        ui_->resultingBalanceTextField->clear();
        return;
    }
    const interfaces::WithdrawalFigures f = figures(*chosen);
    const double values[] = {chosen->Balance.toDouble(),
                             chosen->UnrealisedPL,
                             chosen->Equity,
                             chosen->oneSideMargin.toDouble(),
                             chosen->AvailableMargin,
                             f.pending,
                             f.minimumBalance};
    for (std::size_t i = 0; i < std::size(values); ++i)
        fields[i]->setText(qt(fixed2(values[i])));
    ui_->withdrawableFundTextField->setText(qt(withdrawableText(f.withdrawable)));
    calculateResultingBalance();
}

void WithdrawalRequestWindowController::calculateResultingBalance() {
    const auto chosen = account();
    if (!chosen) {
        ui_->resultingBalanceTextField->clear();
        return;
    }
    const double pending = figures(*chosen).pending;
    ui_->resultingBalanceTextField->setText(
        qt(fixed2(resultingBalance(*chosen, str(ui_->amountTextField->text()), pending))));
}

void WithdrawalRequestWindowController::showValidationInfo(const QString& message) {
    CommonAlert::open(
        this,
        {context_.text(texts::kValidation), message, AlertSpec::Warning, {}, QStringLiteral("withdrawal")});
}

bool WithdrawalRequestWindowController::sendRequest() {
    const auto chosen = account();
    WithdrawalForm form;
    form.networkAvailable = client() && client()->isNetworkAvailable();
    form.amountText = str(ui_->amountTextField->text());
    form.accountChosen = chosen != nullptr;
    // The withdrawable amount of this moment, not floored at 0.
    form.withdrawable = chosen && client() ? figures(*chosen).withdrawable : 0;
    form.texts = {{texts::kRemarks, str(ui_->remarksTextField->text())}};
    if (auto refusal = checkWithdrawalForm(form)) {
        QString message = context_.text(refusal->key);
        if (!refusal->field.empty())
            message.replace(QStringLiteral("{0}"), context_.text(refusal->field));
        showValidationInfo(message);
        return false;
    }
    if (!chosen) {
        ui_->sendRequestButton->setEnabled(false);
        return false;
    }
    funding::NewWithdrawal withdrawal;
    withdrawal.accountDetail = chosen;
    withdrawal.amount = typedAmount(form.amountText);
    withdrawal.remarks = str(ui_->remarksTextField->text());
    const interfaces::CommandResult sent = client()->funding().requestWithdrawal(withdrawal);
    if (!sent) {
        showValidationInfo(qt(sent.error));
        return false;
    }
    ui_->sendRequestButton->setEnabled(false);
    return true;
}

void WithdrawalRequestWindowController::fundingReply(const interfaces::FundingReply& reply) {
    if (reply.kind != interfaces::FundingReply::Kind::WithdrawalRequested || !isVisible())
        return;
    ui_->withdrawalRequestTabView->setCurrentIndex(1);
    detail_->setLines(reply.lines);
    Q_EMIT resultShown();
}

QComboBox* WithdrawalRequestWindowController::accountComboBox() const {
    return ui_->accountComboBox;
}
QLineEdit* WithdrawalRequestWindowController::amountTextField() const {
    return ui_->amountTextField;
}
QLineEdit* WithdrawalRequestWindowController::remarksTextField() const {
    return ui_->remarksTextField;
}
QLineEdit* WithdrawalRequestWindowController::balanceTextField() const {
    return ui_->balanceTextField;
}
QLineEdit* WithdrawalRequestWindowController::marginTextField() const {
    return ui_->marginTextField;
}
QLineEdit* WithdrawalRequestWindowController::withdrawableFundTextField() const {
    return ui_->withdrawableFundTextField;
}
QLineEdit* WithdrawalRequestWindowController::resultingBalanceTextField() const {
    return ui_->resultingBalanceTextField;
}
QLineEdit* WithdrawalRequestWindowController::pendingWithdrawalsTextField() const {
    return ui_->pendingWithdrawalsTextField;
}
QPushButton* WithdrawalRequestWindowController::sendRequestButton() const {
    return ui_->sendRequestButton;
}
int WithdrawalRequestWindowController::currentPage() const {
    return ui_->withdrawalRequestTabView->currentIndex();
}

} // namespace tc::gui
