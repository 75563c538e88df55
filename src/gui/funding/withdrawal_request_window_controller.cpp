#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/funding/caption_alignment.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/controls/entry_refusal.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "platform/amount_text.h"
#include "ui_withdrawal_request_window_controller.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace tc::gui {

WithdrawalRequestWindowController::WithdrawalRequestWindowController(GuiContext& context, QWidget* parent)
    : RequestWindow(context, parent), ui_(std::make_unique<Ui::WithdrawalRequestWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("WithdrawalRequestWindowController"));
    attachFrame({ui_->withdrawalRequestTabView, ui_->detailArea, ui_->detailAreaLayout,
                 ui_->sendRequestButton, ui_->notNowButton, ui_->okButton, ui_->accountComboBox,
                 ui_->accountNameTextField, ui_->amountTextField, ui_->remarksTextField, ui_->noAccountLabel,
                 kWithdrawalsAllowedBit, QStringLiteral("withdrawal"),
                 interfaces::FundingFailure::Request::Withdrawal});
    ui_->headerLabel->hide();
    ui_->footerLabel->hide();
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
}

WithdrawalRequestWindowController::~WithdrawalRequestWindowController() = default;

void WithdrawalRequestWindowController::windowDidAppear() {
    updateLanguageStrings();
    setDefaults();
    loadAccountsData();
    updateValuesInViews();
    startTicking();
}

void WithdrawalRequestWindowController::updateLanguageStrings() {
    setWindowTitle(context_.text(texts::kWithdrawalRequest));
    alignCaptions(ui_->formPage);
}

void WithdrawalRequestWindowController::setDefaults() {
    showForm();
    ui_->amountTextField->clear();
    ui_->remarksTextField->clear();
}

void WithdrawalRequestWindowController::chooseAccount(int index) {
    if (takeAccountAt(index))
        updateValuesInViews();
}

void WithdrawalRequestWindowController::updateValuesInViews() {
    showChosenAccount();
    updateAccountDetails();
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
    // The account's figures of this moment, as the status bar shows them.
    const AccountDetails now = chosenFigures().value_or(*chosen);
    const double values[] = {
        now.Balance.toDouble(), now.UnrealisedPL, now.Equity,      now.oneSideMargin.toDouble(),
        now.AvailableMargin,    f.pending,        f.minimumBalance};
    for (std::size_t i = 0; i < std::size(values); ++i)
        fields[i]->setText(qt(platform::amountText(values[i])));
    ui_->withdrawableFundTextField->setText(qt(withdrawableText(f.withdrawable)));
    calculateResultingBalance();
}

void WithdrawalRequestWindowController::calculateResultingBalance() {
    // The withdrawable amount moves with the account: the mark follows it.
    markAmount();
    const auto chosen = account();
    if (!chosen) {
        ui_->resultingBalanceTextField->clear();
        return;
    }
    ui_->resultingBalanceTextField->setText(
        qt(resultingBalanceText(figures(*chosen), str(ui_->amountTextField->text()))));
}

std::optional<Refusal> WithdrawalRequestWindowController::amountRefusal() const {
    const auto chosen = account();
    return withdrawalAmountRefusal(str(ui_->amountTextField->text()),
                                   chosen && client() ? std::optional<double>(figures(*chosen).withdrawable)
                                                      : std::nullopt);
}

std::optional<QString>
WithdrawalRequestWindowController::checkForm(const std::shared_ptr<const AccountDetails>& chosen) const {
    WithdrawalForm form;
    form.networkAvailable = client() && client()->isNetworkAvailable();
    form.amountText = str(ui_->amountTextField->text());
    form.accountChosen = chosen != nullptr;
    // The withdrawable amount of this moment, not floored at 0.
    form.withdrawable = chosen && client() ? figures(*chosen).withdrawable : 0;
    form.texts = {{texts::kRemarks, str(ui_->remarksTextField->text())}};
    if (auto refusal = checkWithdrawalForm(form))
        return refusalWords(context_.language().selected(), *refusal);
    return std::nullopt;
}

interfaces::FundingRequestSent
WithdrawalRequestWindowController::sendForm(const std::shared_ptr<const AccountDetails>& chosen) {
    funding::NewWithdrawal withdrawal;
    withdrawal.accountDetail = chosen;
    withdrawal.amount = typedAmount(str(ui_->amountTextField->text())).value_or(platform::Decimal());
    withdrawal.remarks = str(ui_->remarksTextField->text());
    return client()->funding().requestWithdrawal(withdrawal);
}

QStringList WithdrawalRequestWindowController::typedForm() const {
    return {QString::number(accountId_), ui_->amountTextField->text().trimmed(),
            ui_->remarksTextField->text()};
}

QString WithdrawalRequestWindowController::describeRequest(const AccountDetails& chosen) const {
    return context_.text(texts::kWithdrawalRequestNamed)
        .replace(QStringLiteral("{0}"),
                 qt(platform::amountText(
                     typedAmount(str(ui_->amountTextField->text())).value_or(platform::Decimal()))))
        .replace(QStringLiteral("{1}"), QString::number(chosen.AccountId));
}

void WithdrawalRequestWindowController::fundingReply(const interfaces::FundingReply& reply) {
    if (reply.kind != interfaces::FundingReply::Kind::WithdrawalRequested || !isVisible() ||
        !answersOwnRequest(reply))
        return;
    showResult(reply.lines);
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

} // namespace tc::gui
