#pragma once
// The withdrawal request window: one of the accounts that allow withdrawals, its figures refreshed
// every second (balance, floating profit and loss, equity, margin, available margin, the withdrawals
// still open, the minimum balance, the amount that may be withdrawn now and the balance that would
// remain), an amount and remarks. An amount above the withdrawable amount is refused before sending;
// the server's acknowledgement shows on the second page as a two-column list.
//
// The main window makes it once and keeps it; each showing runs windowDidAppear (an empty form on
// the first page), and closing the window stops its refresh.
#include "gui/funding/funding_window_rules.h"
#include "gui/funding/request_window.h"

#include <memory>

class QLineEdit;

namespace Ui {
class WithdrawalRequestWindowController;
}

namespace tc::gui {

class WithdrawalRequestWindowController : public RequestWindow {
    Q_OBJECT
public:
    // Needs the context's client model, signed in.
    explicit WithdrawalRequestWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~WithdrawalRequestWindowController() override;

    // The start sequence: texts, an empty form on the first page, the accounts, the figures, the
    // one-second refresh.
    void windowDidAppear();
    void chooseAccount(int index) override;

    QLineEdit* balanceTextField() const;
    QLineEdit* marginTextField() const;
    QLineEdit* withdrawableFundTextField() const;
    QLineEdit* resultingBalanceTextField() const;
    QLineEdit* pendingWithdrawalsTextField() const;

private:
    void refreshFigures() override { updateAccountDetails(); }
    void fundingReply(const interfaces::FundingReply& reply) override;
    void amountEdited() override { calculateResultingBalance(); }
    std::optional<Refusal> amountRefusal() const override;
    // The amount is checked against the withdrawable amount of this moment.
    std::optional<QString> checkForm(const std::shared_ptr<const AccountDetails>& chosen) const override;
    interfaces::FundingRequestSent sendForm(const std::shared_ptr<const AccountDetails>& chosen) override;
    QStringList typedForm() const override;
    QString describeRequest(const AccountDetails& chosen) const override;
    std::int64_t approvalSubType() const override { return funding::ApprovalReq::kWithdrawalSubType; }
    void updateLanguageStrings();
    void setDefaults();
    void updateValuesInViews();
    void updateAccountDetails();
    void calculateResultingBalance();
    interfaces::WithdrawalFigures figures(const AccountDetails& account) const;

    std::unique_ptr<Ui::WithdrawalRequestWindowController> ui_;
};

} // namespace tc::gui
