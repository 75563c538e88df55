#pragma once
// The deposit request window: one of the accounts that take deposits, a transfer mode and an amount.
// The bank modes ("TTCopy", "BankTransfer") send an approval request with the paying bank's details;
// "OnlinePayment" sends a gateway payment with an e-mail address, shows the estimate in the account's
// currency, opens the gateway's payment page in the browser once the server registered the payment
// and follows the gateway to its result. Every reply shows on the second page as a two-column list.
//
// The main window makes a new one at every press and the window deletes itself once closed. Its
// one-second refresh of the account figures runs from windowDidAppear until it closes. Which window
// asked for a gateway payment is kept in the PayGateRequests the main window shares among them.
#include "gui/funding/funding_window_rules.h"
#include "gui/funding/pay_gate_requests.h"
#include "gui/funding/request_window.h"

#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace Ui {
class DepositRequestWindowController;
}

namespace tc::gui {

class DateTimeField;

class DepositRequestWindowController : public RequestWindow {
    Q_OBJECT
public:
    // Opens an address in the browser; false when it could not be opened.
    using UrlOpener = std::function<bool(const QUrl&)>;

    // Needs the context's client model, signed in. Without `requests` the window keeps its own.
    explicit DepositRequestWindowController(GuiContext& context,
                                            std::shared_ptr<PayGateRequests> requests = {},
                                            QWidget* parent = nullptr);
    ~DepositRequestWindowController() override;

    // The start sequence: texts, an empty form on the first page, the accounts and modes, the
    // figures, the one-second refresh.
    void windowDidAppear();
    // Replaces the browser (tests, the screenshots).
    void setUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }
    // The default opener: http and https addresses only, through the desktop's browser.
    static bool openWebAddress(const QUrl& address);

    // Choices as the boxes make them.
    void chooseAccount(int index) override;
    void chooseMode(int index);
    void chooseGateway(int index);

    QComboBox* depositModeComboBox() const;
    QComboBox* paymentGatewayComboBox() const;
    QLineEdit* emailTextField() const;
    QLineEdit* depositTextField() const;
    DateTimeField* depositDateField() const;
    QString headerText() const;
    QString footerText() const;
    QString amountTitle() const;
    QString estimateTitle() const;
    std::int64_t transferMode() const { return ftMode_; }
    bool isOnlinePayment() const { return isOnlinePayment_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refreshFigures() override { calcAccountDetails(); }
    void fundingReply(const interfaces::FundingReply& reply) override;
    void amountEdited() override { updateEstimatedAmount(); }
    std::optional<Refusal> amountRefusal() const override;
    std::optional<QString> checkForm(const std::shared_ptr<const AccountDetails>& chosen) const override;
    interfaces::FundingRequestSent sendForm(const std::shared_ptr<const AccountDetails>& chosen) override;
    QStringList typedForm() const override;
    QString describeRequest(const AccountDetails& chosen) const override;
    std::int64_t approvalSubType() const override;
    bool sendsPayment() const override { return isOnlinePayment_; }
    // The new session holds no gateways yet: asked for, so the gateway chosen shows again.
    void sessionReturned() override;
    DepositForm form() const;
    // Why the transaction date typed is refused (no date and time); none for a gateway payment.
    std::optional<Refusal> dateRefusal() const;
    void markDate();
    void updateLanguageStrings();
    void setDefaults();
    void arrangeViews();
    void loadData();
    void loadFinancialTransferModes();
    void updateValuesInViews();
    void calcAccountDetails();
    void loadPaymentGateway();
    void showCurrencyOnLabel();
    void updateEstimatedAmount();
    void fundingFailed(const interfaces::FundingFailure& failure);
    void handleMasterUpdate(const std::shared_ptr<const funding::PayGateTransaction>& tx,
                            std::int64_t status);
    void handleTransactionUpdate(const std::shared_ptr<const funding::PayGateTransaction>& tx,
                                 std::int64_t transStatus, std::int64_t error);
    void showOnlinePaymentConfirmation(const funding::PayGateTransaction& tx);
    void redirectToPaymentGateway(const funding::PayGateTransaction& tx);
    void setHeader(const QString& text, bool upper);
    std::shared_ptr<const funding::PayGateSetting> gateway() const;
    DepositCurrencies currencies() const;

    std::unique_ptr<Ui::DepositRequestWindowController> ui_;
    std::shared_ptr<PayGateRequests> requests_;
    UrlOpener opener_ = &DepositRequestWindowController::openWebAddress;
    std::vector<std::int64_t> modes_; // the mode box's modes, in its order
    std::int64_t ftMode_ = 0;
    bool isOnlinePayment_ = false;
    std::uint64_t payGateId_ = 0; // 0: no gateway chosen
    std::vector<std::uint64_t> gateways_;
    // The gateway's result came: what the window said before it (the page to pay on) is over.
    bool paymentSettled_ = false;
};

} // namespace tc::gui
