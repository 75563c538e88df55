// The deposit, withdrawal and funding-history windows against the in-process test server, signed in
// as demo: a gateway payment from send to result with the payment page opened once at the right
// address, a refused payment, a bank deposit, amounts that are no number refused at once with their
// reason, the answers to approval requests reaching only the window that sent each, a withdrawal
// refused above the withdrawable amount and accepted below it, the history of a period and its print,
// and the main window's actions.
#include "gui/app/common_alert.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/controls/date_time_field.h"
#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/deposits_withdrawals_window_controller.h"
#include "gui/funding/funding_window_rules.h"
#include "gui/funding/request_window.h"
#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/login/idle_time.h"
#include "gui/main/main_window_controller.h"
#include "gui/market/detail_window_controller.h"
#include "gui/models/server_clock.h"
#include "gui/models/session_fixture.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "platform/amount_text.h"
#include "support/computer_zone.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <map>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::DepositRequestWindowController;
using tc::gui::DepositsWithdrawalsWindowController;
using tc::gui::WithdrawalRequestWindowController;

class NoIdle : public tc::gui::IdleSource {
public:
    std::int64_t idleSeconds() override { return 0; }
};

// Whether the window shows a line of this text.
bool showsLine(const QWidget* window, const QString& text) {
    const auto labels = window->findChildren<QLabel*>();
    return std::any_of(labels.begin(), labels.end(),
                       [&](const QLabel* label) { return label->isVisible() && label->text() == text; });
}

class FundingWindowsTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
    }
    interfaces::Client& client() { return session->client(); }

    DepositRequestWindowController* depositWindow() {
        auto* window = new DepositRequestWindowController(*context);
        window->setUrlOpener([this](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        window->show();
        window->windowDidAppear();
        return window;
    }
    // Online payment through the first gateway, once the gateways are held.
    void chooseGateway(DepositRequestWindowController* window) {
        window->chooseMode(2);
        ASSERT_TRUE(window->isOnlinePayment());
        ASSERT_TRUE(waitFor([&] { return window->paymentGatewayComboBox()->count() > 0; }));
        window->chooseGateway(0);
    }
    static QString alertText(QWidget* window, const char* topic) {
        QMessageBox* alert = tc::gui::CommonAlert::showing(window, QString::fromLatin1(topic));
        if (!alert)
            return {};
        const QString text = alert->informativeText();
        alert->done(0);
        return text;
    }
    static QString detailValue(tc::gui::DetailWindowController* detail, int row) {
        const QTableWidgetItem* item = detail->detailTableView()->item(row, 1);
        return item ? item->text() : QString();
    }

    QStringList opened;
};

TEST_F(FundingWindowsTest, GatewayDepositFromSendToResultOpensThePageOnce) {
    DepositRequestWindowController* window = depositWindow();
    // Only the accounts that take deposits; online payment only where the account offers it.
    ASSERT_EQ(window->accountComboBox()->count(), 2);
    EXPECT_EQ(window->accountComboBox()->itemText(0), "20001");
    EXPECT_EQ(window->accountComboBox()->itemText(1), "20003");
    EXPECT_EQ(window->depositModeComboBox()->count(), 3);
    EXPECT_FALSE(showsLine(window, context->text(texts::kNoneAccountsAllowsDeposits)));
    EXPECT_TRUE(window->followsTick());
    chooseGateway(window);
    EXPECT_FALSE(window->okButton()->isEnabled());
    EXPECT_EQ(window->estimateTitle(), context->text(texts::kDeposit) + " (USD)");
    // The server holds two gateways but has disabled "Euro Pay": only the usable one is offered.
    ASSERT_EQ(client().funding().collections().payGateSettings.size(), 2u);
    ASSERT_EQ(window->paymentGatewayComboBox()->count(), 1);
    EXPECT_EQ(window->paymentGatewayComboBox()->itemText(0), "Loopback Pay");

    guitest::typeOver(window->amountTextField(), "250");
    EXPECT_EQ(window->depositTextField()->text(), "250.00"); // same currency: the amount paid
    guitest::typeOver(window->emailTextField(), "demo@example.com");
    // The header the window shows after each of the gateway's replies (read after the window took it).
    QStringList headers;
    bool resultCame = false;
    QObject::connect(session.get(), &tc::gui::ClientModel::fundingReply, window,
                     [&](const interfaces::FundingReply& reply) {
                         headers << window->headerText();
                         resultCame |= reply.kind == interfaces::FundingReply::Kind::PayGateResult;
                     });
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    EXPECT_FALSE(window->sendRequestButton()->isEnabled());

    const auto& held = client().funding().collections().payGateTransactions;
    ASSERT_TRUE(waitFor([&] { return resultCame; }));
    ASSERT_EQ(held.size(), 1u);
    EXPECT_TRUE(window->okButton()->isEnabled());
    // Registered, under way, paid: a payment that succeeds never reads as failed on its way.
    ASSERT_EQ(headers.size(), 3);
    EXPECT_EQ(headers[0], context->text(texts::kPaymentRequestRegistered).toUpper());
    EXPECT_EQ(headers[1], headers[0]);
    const auto tx = *held.begin()->second;
    ASSERT_EQ(tx.transStatus, tc::funding::PayGateTransaction::kStatusSuccess);
    // Confirmation, progress and result reached the window: the result's header, eight lines.
    EXPECT_EQ(window->currentPage(), 1);
    EXPECT_EQ(window->headerText(), context->text(texts::kPaymentCompletedSuccessfully)
                                        .replace("{0}", QString::fromStdString(tx.payTransactionId)));
    // Once the result is in, only the result: the page to pay on is over.
    EXPECT_TRUE(window->footerText().isEmpty()) << window->footerText().toStdString();
    ASSERT_EQ(window->detailWindow()->detailTableView()->rowCount(), 8);
    EXPECT_EQ(detailValue(window->detailWindow(), 0), QString::number(tx.requestId));
    EXPECT_EQ(detailValue(window->detailWindow(), 2), "250.00");
    EXPECT_EQ(detailValue(window->detailWindow(), 5), "Loopback Pay");
    // The paid payment is listed as an approved deposit request tied to its transaction master,
    // announced by the gateway's replies alone.
    ASSERT_TRUE(waitFor([&] {
        const auto& requests = client().funding().collections().approvalRequests;
        return std::any_of(requests.begin(), requests.end(),
                           [&](const auto& held) { return held.second->transMasterId == tx.requestId; });
    }));
    for (const auto& [id, request] : client().funding().collections().approvalRequests)
        if (request->transMasterId == tx.requestId) {
            EXPECT_FALSE(request->isOpen);
            ASSERT_TRUE(request->information);
            EXPECT_EQ(request->information->transferMode, tc::funding::kOnlinePayment);
            EXPECT_EQ(request->information->approvedAmount, tc::platform::Decimal::fromInt64(250));
        }
    EXPECT_EQ(headers.size(), 3);
    // The payment page, once, with the request, the user and the key.
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front(), QStringLiteral("https://pay.example.test/checkout?p1=%1&p2=%2&p3=TK-%1")
                                  .arg(tx.requestId)
                                  .arg(tx.requestedByUserId));
    EXPECT_GT(tx.requestedByUserId, 0u);
    delete window;
}

TEST_F(FundingWindowsTest, APaymentPageNoBrowserOpensIsSaidWithItsAddress) {
    DepositRequestWindowController* window = depositWindow();
    window->setUrlOpener([](const QUrl&) { return false; });
    chooseGateway(window);
    guitest::typeOver(window->amountTextField(), "250");
    guitest::typeOver(window->emailTextField(), "demo@example.com");
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(
        waitFor([&] { return tc::gui::CommonAlert::showing(window, QStringLiteral("paymentPage")); }));
    QMessageBox* alert = tc::gui::CommonAlert::showing(window, QStringLiteral("paymentPage"));
    EXPECT_EQ(alert->text(), context->text(texts::kLinkCouldNotOpenedWeb));
    EXPECT_TRUE(alert->informativeText().startsWith("https://pay.example.test/checkout?p1="));
    alert->done(0);
    delete window;
}

TEST_F(FundingWindowsTest, RefusedPaymentAndRefusedInputAnswerTheWindowThatAsked) {
    DepositRequestWindowController* other = depositWindow();
    DepositRequestWindowController* window = depositWindow();
    chooseGateway(window);
    // Refused before sending: no amount, then a bad e-mail, then a text the wire cannot carry.
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    EXPECT_EQ(alertText(window, "deposit"), context->text(texts::kEnterAmountGreaterThanZero));
    guitest::typeOver(window->amountTextField(), "60000");
    guitest::typeOver(window->emailTextField(), "demo@example");
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    EXPECT_EQ(alertText(window, "deposit"), context->text(texts::kEnterValidEMailAddress));
    ASSERT_TRUE(guitest::clickInto(window->emailTextField()));
    guitest::pressKey(Qt::Key_End);
    guitest::typeKeys(".com");
    window->remarksTextField()->setText(QStringLiteral("note\x02"));
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    EXPECT_EQ(alertText(window, "deposit"), context->text(texts::kHoldsCharacterCannotSentControl)
                                                .replace("{0}", context->text(texts::kRemarks)));
    EXPECT_TRUE(window->sendRequestButton()->isEnabled());
    // A remark pasted past the limit is kept whole and refused with the limit, never cut and sent.
    QApplication::clipboard()->setText(QString(tc::gui::kMaxFundingText + 1, QLatin1Char('r')));
    ASSERT_TRUE(guitest::clickInto(window->remarksTextField()));
    guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
    guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window->remarksTextField()->text().size(), qsizetype(tc::gui::kMaxFundingText + 1));
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    EXPECT_EQ(alertText(window, "deposit"), context->text(texts::kLongerThanCharacters)
                                                .replace("{0}", context->text(texts::kRemarks))
                                                .replace("{1}", QString::number(tc::gui::kMaxFundingText)));
    window->remarksTextField()->clear();
    // Past the gateway's limit: the server refuses and the window that asked says so.
    ASSERT_TRUE(window->sendRequest());
    ASSERT_TRUE(waitFor([&] { return window->okButton()->isEnabled() && window->currentPage() == 1; }));
    EXPECT_EQ(window->headerText(), context->text(texts::kPaymentFailed).toUpper());
    EXPECT_TRUE(window->footerText().contains("limit")) << window->footerText().toStdString();
    // The refusal has no lines to list or print.
    EXPECT_FALSE(window->detailWindow()->isVisible());
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(other->currentPage(), 0);
    delete window;
    delete other;
}

TEST_F(FundingWindowsTest, BankDepositShowsTheRequest) {
    DepositRequestWindowController* window = depositWindow();
    EXPECT_EQ(window->transferMode(), tc::funding::kTTCopy);
    EXPECT_TRUE(window->okButton()->isEnabled());
    guitest::typeOver(window->amountTextField(), "1500");
    EXPECT_EQ(window->depositTextField()->text(), "1500.00");
    window->remarksTextField()->setText(QStringLiteral("TT copy"));
    QSignalSpy shown(window, &DepositRequestWindowController::resultShown);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
    EXPECT_EQ(window->currentPage(), 1);
    const QTableWidget* table = window->detailWindow()->detailTableView();
    ASSERT_EQ(table->rowCount(), 11);
    EXPECT_EQ(detailValue(window->detailWindow(), 1), "20001");
    EXPECT_EQ(detailValue(window->detailWindow(), 3), "TTCopy");
    // Nothing is approved while the request is open: the amount asked for, as every window shows it.
    EXPECT_EQ(detailValue(window->detailWindow(), 5), "1,500.00");
    EXPECT_EQ(detailValue(window->detailWindow(), 10), "TT copy");
    EXPECT_TRUE(opened.isEmpty());
    delete window;
}

// The transaction date is typed whole, as the statement's and the history's dates are: a text that is
// no date is marked at once and Send names it; a whole date typed over the field goes out as typed.
TEST_F(FundingWindowsTest, TheTransactionDateIsTypedWholeAndMarkedWhenItIsNone) {
    DepositRequestWindowController* window = depositWindow();
    tc::gui::DateTimeField* date = window->depositDateField();
    guitest::typeOver(window->amountTextField(), "1500");
    guitest::typeOver(date, "03/15/2024");
    ASSERT_EQ(QApplication::focusWidget(), date);
    EXPECT_EQ(date->text(), "03/15/2024");
    const QString noDate =
        context->text(texts::kNotDateTime).replace("{0}", context->text(texts::kDepositDate));
    EXPECT_TRUE(date->toolTip().startsWith(noDate.left(noDate.indexOf("{1}"))))
        << date->toolTip().toStdString();
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    EXPECT_TRUE(alertText(window, "deposit").startsWith(noDate.left(noDate.indexOf("{1}"))));
    EXPECT_FALSE(window->awaitsAnswer());

    ASSERT_TRUE(guitest::clickInto(date));
    guitest::pressKey(Qt::Key_End);
    guitest::typeKeys(" 10:30:00");
    EXPECT_TRUE(date->toolTip().isEmpty());
    QSignalSpy shown(window, &DepositRequestWindowController::resultShown);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
    EXPECT_EQ(detailValue(window->detailWindow(), 4), "03/15/2024");
    delete window;
}

// The refusals of a bank deposit: above the cap and past two decimals in the form, then the server's
// own refusal told with its text; each leaves the form as typed with Send offered again, as does a
// request the server leaves unanswered, given up after the time limit.
TEST_F(FundingWindowsTest, BankDepositRefusalsLeaveTheFormUsable) {
    DepositRequestWindowController* window = depositWindow();
    const auto refusedWith = [&](const QString& amount) {
        window->amountTextField()->setText(amount);
        QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
        return alertText(window, "deposit");
    };
    EXPECT_EQ(refusedWith("20000000000000"),
              context->text(texts::kAmountAboveMostOneRequest).replace("{0}", "1,000,000,000,000.00"));
    EXPECT_EQ(refusedWith("0.001"), context->text(texts::kAmountMoreThanTwoDecimals));
    EXPECT_TRUE(window->sendRequestButton()->isEnabled());
    EXPECT_FALSE(window->awaitsAnswer());

    // Above the desk's limit: the server refuses, and says why.
    window->amountTextField()->setText(QString::number(testserver::kApprovalLimit * 2, 'f', 0));
    ASSERT_TRUE(window->sendRequest());
    EXPECT_FALSE(window->sendRequestButton()->isEnabled());
    EXPECT_TRUE(window->awaitsAnswer());
    ASSERT_TRUE(waitFor([&] { return tc::gui::CommonAlert::showing(window, "deposit") != nullptr; }));
    const QString refused = alertText(window, "deposit");
    EXPECT_TRUE(refused.startsWith(context->text(texts::kServerRefusedRequest).remove("{0}")) &&
                refused.contains("limit"))
        << refused.toStdString();
    EXPECT_TRUE(window->sendRequestButton()->isEnabled());
    EXPECT_FALSE(window->awaitsAnswer());
    EXPECT_EQ(window->currentPage(), 0);
    delete window;
}

// An amount that is no number stays as typed, is marked with its reason while it is there, works
// out no figure and is refused by Send with that reason: nothing goes out. "1,000" was sent as 1.00.
TEST_F(FundingWindowsTest, AnAmountThatIsNoNumberIsRefusedWithItsReason) {
    DepositRequestWindowController* deposit = depositWindow();
    auto withdrawal = std::make_unique<WithdrawalRequestWindowController>(*context);
    withdrawal->show();
    withdrawal->windowDidAppear();
    // The alert's text when Send refused the text typed, as the field's mark says it.
    const auto refusal = [&](tc::gui::RequestWindow* window, const char* text, const char* topic) {
        guitest::typeOver(window->amountTextField(), text);
        EXPECT_EQ(window->amountTextField()->text(), text);
        EXPECT_EQ(window->amountTextField()->toolTip(), window->amountFault());
        QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
        EXPECT_FALSE(window->awaitsAnswer()) << text;
        return alertText(window, topic);
    };
    const auto reason = [&](std::string_view key) {
        return context->text(key).replace("{0}", context->text(texts::kAmount));
    };
    for (const auto& [text, key] :
         {std::pair{"1,000", texts::kHoldsAComma}, std::pair{"1 000", texts::kHoldsSpaceInsideNumber},
          std::pair{"abc", texts::kNotNumber}, std::pair{"$100", texts::kNotNumber}}) {
        EXPECT_EQ(refusal(deposit, text, "deposit"), reason(key)) << text;
        EXPECT_EQ(deposit->amountFault(), reason(key)) << text;
        EXPECT_TRUE(deposit->depositTextField()->text().isEmpty()) << text;
    }
    EXPECT_EQ(refusal(withdrawal.get(), "5,5", "withdrawal"), reason(texts::kHoldsAComma));
    EXPECT_TRUE(withdrawal->resultingBalanceTextField()->text().isEmpty());
    chooseGateway(deposit); // an online payment's amount too
    guitest::typeOver(deposit->emailTextField(), "demo@example.com");
    EXPECT_EQ(refusal(deposit, "250abc", "deposit"), reason(texts::kNotNumber));
    // A number takes the mark off.
    withdrawal->amountTextField()->setText(QStringLiteral("1000"));
    EXPECT_TRUE(withdrawal->amountTextField()->toolTip().isEmpty());
    EXPECT_FALSE(withdrawal->resultingBalanceTextField()->text().isEmpty());
    delete deposit;
}

// Whatever Send would refuse is marked as it is typed or pasted, with Send's own reason; a paste is
// kept whole (a 41-character amount was cut to 40, "...1000" read as 100), and the online payment's
// estimate is an amount in the program's format, beside an amount Send takes only.
TEST_F(FundingWindowsTest, AnAmountSendWouldRefuseIsMarkedWithSendsReasonAndKeptWhole) {
    DepositRequestWindowController* deposit = depositWindow();
    auto withdrawal = std::make_unique<WithdrawalRequestWindowController>(*context);
    withdrawal->show();
    withdrawal->windowDidAppear();
    const auto enter = [](tc::gui::RequestWindow* window, const QString& text, bool pasted) {
        if (pasted) {
            QApplication::clipboard()->setText(text);
            ASSERT_TRUE(guitest::clickInto(window->amountTextField()));
            guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
            guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
        } else {
            guitest::typeOver(window->amountTextField(), text);
        }
        EXPECT_EQ(window->amountTextField()->text(), text) << "kept whole";
    };
    // The mark's reason, which Send then gives.
    const auto marked = [&](tc::gui::RequestWindow* window, const char* topic) {
        const QString mark = window->amountTextField()->toolTip();
        QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
        EXPECT_FALSE(window->awaitsAnswer());
        EXPECT_EQ(alertText(window, topic), mark);
        return mark;
    };
    const QString tooLong = context->text(texts::kLongerThanCharacters)
                                .replace("{0}", context->text(texts::kAmount))
                                .replace("{1}", "64");
    for (const bool pasted : {false, true}) {
        enter(deposit, "-1", pasted);
        EXPECT_EQ(marked(deposit, "deposit"), context->text(texts::kEnterAmountGreaterThanZero));
        enter(deposit, "0.001", pasted);
        EXPECT_EQ(marked(deposit, "deposit"), context->text(texts::kAmountMoreThanTwoDecimals));
        enter(deposit, QString(70, '1'), pasted);
        EXPECT_EQ(marked(deposit, "deposit"), tooLong);
        enter(withdrawal.get(), "-5", pasted);
        EXPECT_EQ(marked(withdrawal.get(), "withdrawal"), context->text(texts::kAmountMustGreaterThanZero));
        EXPECT_TRUE(withdrawal->resultingBalanceTextField()->text().isEmpty());
        enter(withdrawal.get(), QString(70, '1'), pasted);
        EXPECT_EQ(marked(withdrawal.get(), "withdrawal"), tooLong);
    }
    const double withdrawable = withdrawal->withdrawableFundTextField()->text().remove(',').toDouble();
    enter(withdrawal.get(), QString::number(withdrawable + 0.01, 'f', 2), false);
    EXPECT_EQ(withdrawal->amountTextField()->toolTip(), context->text(texts::kAmountMustGreaterThanZero));
    EXPECT_TRUE(withdrawal->resultingBalanceTextField()->text().isEmpty());
    // 41 characters are an amount of 1000, not 100.
    enter(withdrawal.get(), QString(37, '0') + "1000", true);
    EXPECT_TRUE(withdrawal->amountTextField()->toolTip().isEmpty());
    const double balance = client().model().AccountDetailCollection.get("20001")->get()->Balance.toDouble();
    EXPECT_EQ(withdrawal->resultingBalanceTextField()->text(),
              QString::fromStdString(tc::platform::amountText(balance - 1000)));

    chooseGateway(deposit); // USD paid into a USD account
    for (const auto& [typed, estimate] : {std::pair{" 50 ", "50.00"}, std::pair{".5", "0.50"},
                                          std::pair{"250", "250.00"}, std::pair{"0.001", ""}}) {
        enter(deposit, typed, false);
        EXPECT_EQ(deposit->depositTextField()->text(), estimate) << typed;
        EXPECT_EQ(deposit->amountTextField()->toolTip().isEmpty(), *estimate != 0) << typed;
    }
    // The account is credited what is paid, in cents.
    EXPECT_EQ(deposit->amountTextField()->toolTip(), context->text(texts::kAmountMoreThanTwoDecimals));
    delete deposit;
}

// Two deposit windows wait for the server's refusals: each refusal ends the wait of the window whose
// request it answers, the other waits on; a receipt shows only in the window that sent its request.
TEST_F(FundingWindowsTest, ApprovalAnswersReachOnlyTheWindowThatSentTheRequest) {
    std::unique_ptr<DepositRequestWindowController> first(depositWindow()), second(depositWindow());
    std::vector<std::pair<bool, bool>> waitingAtEachRefusal;
    QObject::connect(session.get(), &tc::gui::ClientModel::fundingFailed, first.get(), [&] {
        waitingAtEachRefusal.emplace_back(first->awaitsAnswer(), second->awaitsAnswer());
    });
    // Above the desk's limit: both are refused, in the order they were sent.
    for (DepositRequestWindowController* window : {first.get(), second.get()}) {
        window->amountTextField()->setText(QString::number(testserver::kApprovalLimit * 2, 'f', 0));
        ASSERT_TRUE(window->sendRequest());
    }
    ASSERT_TRUE(waitFor([&] { return waitingAtEachRefusal.size() == 2; }));
    EXPECT_EQ(waitingAtEachRefusal, (std::vector{std::pair(false, true), std::pair(false, false)}));
    EXPECT_TRUE(alertText(first.get(), "deposit").contains("limit"));
    EXPECT_TRUE(alertText(second.get(), "deposit").contains("limit"));

    first->amountTextField()->setText(QStringLiteral("1500"));
    QSignalSpy shown(first.get(), &DepositRequestWindowController::resultShown);
    ASSERT_TRUE(first->sendRequest());
    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
    EXPECT_EQ(detailValue(first->detailWindow(), 5), "1,500.00");
    EXPECT_EQ(second->currentPage(), 0);
}

// The trader sends the same deposit again after the window gave up on the first: the server answers
// both in turn, so the first receipt is the first request's, told late in a banner, and the window
// shows the second's (a receipt cannot tell the two apart by account and amount).
TEST_F(FundingWindowsTest, ARequestWithoutAnswerIsGivenUpAfterTheLimitAndTheNextTakesItsOwnAnswer) {
    DepositRequestWindowController* window = depositWindow();
    server->holdApprovals(true);
    window->setAnswerTimeLimit(std::chrono::milliseconds(50));
    window->amountTextField()->setText(QStringLiteral("250"));
    ASSERT_TRUE(window->sendRequest());
    ASSERT_TRUE(waitFor([&] { return tc::gui::CommonAlert::showing(window, "deposit") != nullptr; }));
    // Named, and still to be looked for: the session's lists predate it.
    const QString described = "Deposit request (TTCopy) of 250.00 for account 20001";
    EXPECT_EQ(alertText(window, "deposit"),
              context->text(texts::kNamedRequestNotAnswered).replace("{0}", described));
    EXPECT_TRUE(window->sendRequestButton()->isEnabled());
    EXPECT_EQ(window->amountTextField()->text(), "250");
    EXPECT_EQ(window->currentPage(), 0);
    EXPECT_EQ(window->outcome(), tc::gui::RequestWindow::Outcome::Unknown);
    EXPECT_EQ(window->outcomeNote()->text(),
              context->text(texts::kRequestMayHaveBeenCarriedOut).replace("{0}", described));

    // The same form again: asked first, then sent.
    window->setAnswerTimeLimit(tc::gui::RequestWindow::kAnswerTimeLimit);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    QMessageBox* asked = tc::gui::CommonAlert::showing(window, "deposit");
    ASSERT_TRUE(asked);
    for (QAbstractButton* button : asked->buttons())
        if (button->text() == context->text(texts::kSendRequestAgain))
            QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] {
        const auto types = server->stats().streamTypes;
        return std::count(types.begin(), types.end(), 693) == 2;
    }));
    server->holdApprovals(false);
    ASSERT_TRUE(waitFor([&] { return window->currentPage() == 1; }));
    EXPECT_FALSE(window->awaitsAnswer());
    EXPECT_EQ(detailValue(window->detailWindow(), 5), "250.00");
    const QString shownId = detailValue(window->detailWindow(), 0);
    // The first request's receipt, told as late, with its own request number: the older one.
    const QString late = context->text(texts::kDepositRequestAnsweredLate);
    const tc::gui::InAppNotificationBannerController* told = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (const auto* banner : context->banners().banners())
            if (QString::fromStdString(banner->notification().subtitle) == late)
                told = banner;
        return told != nullptr;
    }));
    const QString text = QString::fromStdString(told->notification().informativeText);
    static const QRegularExpression number(QStringLiteral("^.* : (\\d+)\n"));
    const QRegularExpressionMatch lateId = number.match(text);
    ASSERT_TRUE(lateId.hasMatch()) << text.toStdString();
    EXPECT_LT(lateId.captured(1).toULongLong(), shownId.toULongLong()) << text.toStdString();
    EXPECT_TRUE(text.contains("250.00")) << text.toStdString();
    delete window;
}

TEST_F(FundingWindowsTest, WithdrawalRefusedAboveTheWithdrawableAmountAndAcceptedBelow) {
    auto* window = new WithdrawalRequestWindowController(*context);
    window->show();
    window->windowDidAppear();
    ASSERT_EQ(window->accountComboBox()->count(), 2);
    ASSERT_EQ(window->accountComboBox()->currentText(), "20001");
    // Shown as every window shows an amount: grouped, two decimals.
    const double withdrawable = client().funding().withdrawalFigures(20001).withdrawable;
    ASSERT_GT(withdrawable, 1000);
    EXPECT_EQ(window->withdrawableFundTextField()->text().toStdString(),
              tc::platform::amountText(withdrawable));
    EXPECT_EQ(window->pendingWithdrawalsTextField()->text(), "0.00");

    guitest::typeOver(window->amountTextField(), QString::number(withdrawable + 0.01, 'f', 2));
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    EXPECT_EQ(alertText(window, "withdrawal"), context->text(texts::kAmountMustGreaterThanZero));
    EXPECT_EQ(window->currentPage(), 0);
    EXPECT_TRUE(window->sendRequestButton()->isEnabled());

    guitest::typeOver(window->amountTextField(), "100");
    const double balance = client().model().AccountDetailCollection.get("20001")->get()->Balance.toDouble();
    EXPECT_EQ(window->resultingBalanceTextField()->text().toStdString(),
              tc::platform::amountText(balance - 100));
    QSignalSpy shown(window, &WithdrawalRequestWindowController::resultShown);
    // Return presses the form's default button.
    ASSERT_TRUE(guitest::clickInto(window->amountTextField()));
    guitest::pressKey(Qt::Key_Return);
    EXPECT_FALSE(window->sendRequestButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
    EXPECT_EQ(window->currentPage(), 1);
    EXPECT_EQ(window->detailWindow()->detailTableView()->rowCount(), 5);
    EXPECT_EQ(detailValue(window->detailWindow(), 1), "20001");
    EXPECT_EQ(detailValue(window->detailWindow(), 3), "100.00");
    // Escape closes it, which stops its refresh; the next opening starts on an empty form. The
    // approval's banner shows without activating, but the offscreen platform activates every window
    // it shows: a click on the window's margin takes it back, as under X it never left.
    const QString approved = context->text("1182"); // the approval banner's subtitle
    ASSERT_TRUE(waitFor([&] {
        const auto banners = context->banners().banners();
        return std::any_of(banners.begin(), banners.end(), [&](const auto* banner) {
            return QString::fromStdString(banner->notification().subtitle) == approved;
        });
    }));
    ASSERT_TRUE(guitest::clickInto(window, QPoint(2, 2)));
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->followsTick());
    window->show();
    window->windowDidAppear();
    EXPECT_TRUE(window->followsTick());
    EXPECT_EQ(window->currentPage(), 0);
    EXPECT_TRUE(window->amountTextField()->text().isEmpty());
    delete window;
}

// Escape closes every funding window the same way: a window holding what was typed asks first, a
// second Escape keeps it as typed, and only Discard drops it; the history, which is kept, opens
// again as new once its typed account and From date were discarded, and closes at once with
// nothing typed.
TEST_F(FundingWindowsTest, EscapeClosesEachWindowAndAsksBeforeDroppingWhatWasTyped) {
    const QString keep = context->text(texts::kKeepEditing);
    const QString discard = context->text(texts::kDiscard);
    DepositRequestWindowController* deposit = depositWindow();
    guitest::typeOver(deposit->amountTextField(), "77");
    EXPECT_TRUE(guitest::secondEscapeKeeps(deposit, keep));
    EXPECT_EQ(deposit->amountTextField()->text(), "77");
    EXPECT_TRUE(guitest::escapeAndDiscard(deposit->amountTextField(), discard));
    delete deposit;

    auto* history = new DepositsWithdrawalsWindowController(*context);
    history->show();
    history->onWindowLoad();
    ASSERT_TRUE(guitest::waitForExposed(history));
    QComboBox* account = history->accountComboBox();
    auto* from = history->findChild<QLineEdit*>(QStringLiteral("fromDatePicker"));
    ASSERT_TRUE(account->lineEdit() && from);
    const QString newAccount = account->currentText();
    const QString newFrom = from->text();
    guitest::typeOver(account->lineEdit(), "20003");
    guitest::typeOver(from, "01/02/2024 00:00:00");
    ASSERT_NE(account->currentText(), newAccount);
    EXPECT_TRUE(guitest::secondEscapeKeeps(history, keep));
    EXPECT_EQ(account->currentText(), "20003");
    EXPECT_EQ(from->text(), "01/02/2024 00:00:00");
    EXPECT_TRUE(guitest::escapeAndDiscard(from, discard));
    history->show(); // as the main window opens it again
    history->onWindowLoad();
    EXPECT_EQ(account->currentText(), newAccount);
    EXPECT_EQ(from->text(), newFrom);
    ASSERT_TRUE(guitest::focusIn(history));
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_FALSE(guitest::alertShowingOn(history));
    EXPECT_FALSE(history->isVisible());
    delete history;
}

// The session going stops both request windows' refresh and sending, but what was typed stays:
// the same user signing in again finds the forms as they were, on the account chosen, and can send.
TEST_F(FundingWindowsTest, TheSameUserSigningInAgainFindsTheRequestFormsAsTyped) {
    std::unique_ptr<DepositRequestWindowController> deposit(depositWindow());
    auto withdrawal = std::make_unique<WithdrawalRequestWindowController>(*context);
    withdrawal->show();
    withdrawal->windowDidAppear();
    ASSERT_TRUE(deposit->followsTick() && withdrawal->followsTick());
    ASSERT_EQ(withdrawal->accountComboBox()->count(), 2);
    withdrawal->chooseAccount(1);
    ASSERT_EQ(withdrawal->accountComboBox()->currentText(), "20003");
    guitest::typeOver(withdrawal->amountTextField(), "50");
    guitest::typeOver(deposit->amountTextField(), "250");
    guitest::typeOver(deposit->remarksTextField(), "For the margin");

    session->replaceClient();
    EXPECT_TRUE(deposit->isVisible() && withdrawal->isVisible());
    EXPECT_FALSE(deposit->followsTick() || withdrawal->followsTick());
    EXPECT_FALSE(deposit->sendRequest());
    alertText(deposit.get(), "deposit");

    ASSERT_TRUE(signIn());
    EXPECT_TRUE(deposit->followsTick() && withdrawal->followsTick());
    EXPECT_EQ(withdrawal->accountComboBox()->currentText(), "20003");
    EXPECT_EQ(withdrawal->amountTextField()->text(), "50");
    EXPECT_EQ(deposit->amountTextField()->text(), "250");
    EXPECT_EQ(deposit->remarksTextField()->text(), "For the margin");
    EXPECT_TRUE(withdrawal->sendRequestButton()->isEnabled());
    ASSERT_TRUE(deposit->sendRequestButton()->isEnabled());
    QSignalSpy shown(deposit.get(), &tc::gui::RequestWindow::resultShown);
    ASSERT_TRUE(deposit->sendRequest());
    EXPECT_TRUE(waitFor([&] { return shown.count() > 0; }));
}

// The "Connection Lost" alert showing, or nullptr.
QMessageBox* lossAlert(const QString& title) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QList<QMessageBox*> boxes = top->findChildren<QMessageBox*>();
        if (auto* box = qobject_cast<QMessageBox*>(top))
            boxes << box;
        for (QMessageBox* candidate : boxes)
            if (candidate->isVisible() && candidate->text() == title)
                return candidate;
    }
    return nullptr;
}

int approvalRequestsSent(testserver::TestServer& server) {
    const auto types = server.stats().streamTypes;
    return static_cast<int>(std::count(types.begin(), types.end(), 693));
}

// The button of an alert with this text.
QAbstractButton* alertButton(QMessageBox* alert, const QString& text) {
    for (QAbstractButton* button : alert->buttons())
        if (button->text() == text)
            return button;
    return nullptr;
}

// A funding request into a line that is then lost: the loss alert and the window's notice name it,
// the form says it may have been carried out and, once the new session's lists are in, what became
// of it; the same form sent again unchanged asks first, naming the account and the amount.
class LostFundingRequestTest : public FundingWindowsTest {
protected:
    // The line drops under the request sent, and the session goes as a new sign-in replaces it: the
    // loss alert's text.
    QString loseTheLine(tc::gui::RequestWindow* window) {
        EXPECT_TRUE(window->awaitsAnswer());
        server->dropStreams();
        QMessageBox* lost = nullptr;
        EXPECT_TRUE(
            waitFor([&] { return (lost = lossAlert(context->text(texts::kConnectionLost))) != nullptr; }));
        const QString told = lost ? lost->informativeText() : QString();
        if (lost)
            lost->done(0);
        // Told at the loss, not at the time limit.
        EXPECT_TRUE(waitFor([&] { return !window->awaitsAnswer(); }));
        EXPECT_TRUE(tc::gui::CommonAlert::showing(window, window->objectName().startsWith("Deposit")
                                                              ? QStringLiteral("deposit")
                                                              : QStringLiteral("withdrawal")));
        session->replaceClient();
        return told;
    }
    QString named(std::string_view key, const QString& described) {
        return context->text(key).replace("{0}", described);
    }
    // Send pressed on the unchanged form: the question, or nullptr when it sent at once.
    QMessageBox* pressSendAgain(tc::gui::RequestWindow* window, const char* topic) {
        QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
        return tc::gui::CommonAlert::showing(window, QString::fromLatin1(topic));
    }
};

TEST_F(LostFundingRequestTest,
       ADepositTheServerCarriedOutIsNamedFoundAfterTheSignInAndAskedBeforeSendingAgain) {
    std::unique_ptr<DepositRequestWindowController> window(depositWindow());
    guitest::typeOver(window->amountTextField(), "222");
    guitest::typeOver(window->remarksTextField(), "remarks");
    const QString described = "Deposit request (TTCopy) of 222.00 for account 20001";
    server->setApprovalAnswersLost(true);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 1; }));
    const QString told = loseTheLine(window.get());
    EXPECT_TRUE(told.contains("- " + described)) << told.toStdString();
    EXPECT_EQ(alertText(window.get(), "deposit"), named(texts::kNamedRequestNotAnswered, described));
    EXPECT_TRUE(window->outcomeNote()->isVisible());
    EXPECT_EQ(window->outcomeNote()->text(), named(texts::kRequestMayHaveBeenCarriedOut, described));
    server->setApprovalAnswersLost(false);

    ASSERT_TRUE(signIn());
    EXPECT_EQ(window->amountTextField()->text(), "222");
    ASSERT_TRUE(waitFor([&] { return window->outcome() == tc::gui::RequestWindow::Outcome::Held; }));
    const auto& requests = client().funding().collections().approvalRequests;
    ASSERT_FALSE(requests.empty());
    const QString id = QString::number(requests.rbegin()->first);
    EXPECT_EQ(window->outcomeNote()->text(),
              named(texts::kRequestHeldByServer, described).replace("{1}", id));

    // Unchanged, Send asks first; Cancel sends nothing.
    QMessageBox* asked = pressSendAgain(window.get(), "deposit");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->informativeText(),
              named(texts::kSendHeldRequestAgainQuestion, described).replace("{1}", id));
    QAbstractButton* cancel = alertButton(asked, context->text(texts::kCancel));
    ASSERT_TRUE(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(window->awaitsAnswer());
    EXPECT_EQ(approvalRequestsSent(*server), 1);
    // Confirmed, it goes, and its answer ends the note.
    asked = pressSendAgain(window.get(), "deposit");
    ASSERT_TRUE(asked);
    QTest::mouseClick(alertButton(asked, context->text(texts::kSendRequestAgain)), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return window->currentPage() == 1; }));
    EXPECT_EQ(approvalRequestsSent(*server), 2);
    EXPECT_FALSE(window->outcomeNote()->isVisible());
}

// A sign-in refused first (a password mistyped after the loss) leaves the next one no less the
// session the forms read: both show the balance the new session holds, the deposit carried out.
TEST_F(LostFundingRequestTest, AfterASignInRefusedFirstTheFormsShowTheNewSessionsBalance) {
    std::unique_ptr<DepositRequestWindowController> deposit(depositWindow());
    auto withdrawal = std::make_unique<WithdrawalRequestWindowController>(*context);
    withdrawal->show();
    withdrawal->windowDidAppear();
    const auto* depositBalance = deposit->findChild<QLineEdit*>("balanceTextField");
    ASSERT_TRUE(depositBalance);
    const QString before = depositBalance->text();
    ASSERT_FALSE(before.isEmpty());
    guitest::typeOver(deposit->amountTextField(), "222");
    server->setApprovalAnswersLost(true);
    QTest::mouseClick(deposit->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 1; }));
    loseTheLine(deposit.get());
    alertText(deposit.get(), "deposit");
    server->setApprovalAnswersLost(false);

    QSignalSpy refused(shell.get(), &tc::gui::QtShell::loginRefused);
    ASSERT_TRUE(session->signIn(loginOf("demo", "not-the-password")));
    ASSERT_TRUE(waitFor([&] { return !refused.isEmpty(); }));
    ASSERT_TRUE(signIn());
    const QString held = QString::fromStdString(tc::platform::amountText(
        (**client().model().AccountDetailCollection.get("20001")).Balance.toDouble()));
    ASSERT_NE(held, before);
    EXPECT_TRUE(waitFor([&] {
        return depositBalance->text() == held && withdrawal->balanceTextField()->text() == held;
    })) << depositBalance->text().toStdString()
        << " / " << withdrawal->balanceTextField()->text().toStdString();
    EXPECT_TRUE(deposit->sendRequestButton()->isEnabled());
}

TEST_F(LostFundingRequestTest, AWithdrawalTheServerNeverGotIsSaidNotHeldAndMaySimplyGoAgain) {
    auto window = std::make_unique<WithdrawalRequestWindowController>(*context);
    window->show();
    window->windowDidAppear();
    guitest::typeOver(window->amountTextField(), "4");
    const QString described = "Withdrawal request of 4.00 from account 20001";
    server->setApprovalsSilent(true);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 1; }));
    const QString told = loseTheLine(window.get());
    EXPECT_TRUE(told.contains("- " + described)) << told.toStdString();
    EXPECT_EQ(alertText(window.get(), "withdrawal"), named(texts::kNamedRequestNotAnswered, described));
    server->setApprovalsSilent(false);

    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return window->outcome() == tc::gui::RequestWindow::Outcome::NotHeld; }));
    EXPECT_EQ(window->outcomeNote()->text(), named(texts::kRequestNotHeldByServer, described));
    // Not held: it goes at once.
    EXPECT_FALSE(pressSendAgain(window.get(), "withdrawal"));
    ASSERT_TRUE(waitFor([&] { return window->currentPage() == 1; }));
    EXPECT_EQ(approvalRequestsSent(*server), 2);
}

int paymentsSent(testserver::TestServer& server) {
    const auto types = server.stats().streamTypes;
    return static_cast<int>(std::count(types.begin(), types.end(), 93));
}

// The server paid the payment but its replies were lost with the line: the new sign-in's approval
// lists hold it as an approved deposit request of the online-payment mode, and the form says so with
// its id and state.
TEST_F(LostFundingRequestTest, AnOnlinePaymentTheServerCarriedOutIsNamedFoundWithItsStateAfterTheSignIn) {
    std::unique_ptr<DepositRequestWindowController> window(depositWindow());
    chooseGateway(window.get());
    guitest::typeOver(window->amountTextField(), "77");
    guitest::typeOver(window->emailTextField(), "demo@example.com");
    const QString amountTitle = window->amountTitle();
    ASSERT_EQ(amountTitle, context->text(texts::kAmount) + " (USD)");
    const QString described = "Online payment of 77.00 through Loopback Pay for account 20001";
    server->setPaymentAnswersLost(true);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return paymentsSent(*server) == 1; }));
    const QString told = loseTheLine(window.get());
    server->setPaymentAnswersLost(false);
    EXPECT_TRUE(told.contains("- " + described)) << told.toStdString();
    EXPECT_EQ(alertText(window.get(), "deposit"), named(texts::kNamedRequestNotAnswered, described));
    EXPECT_EQ(window->outcomeNote()->text(), named(texts::kRequestMayHaveBeenCarriedOut, described));

    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return window->paymentGatewayComboBox()->currentText() == "Loopback Pay"; }));
    EXPECT_EQ(window->amountTitle(), amountTitle);
    EXPECT_EQ(window->amountTextField()->text(), "77");
    ASSERT_TRUE(waitFor([&] { return window->outcome() == tc::gui::RequestWindow::Outcome::Held; }));
    // The payment's request as listed: a deposit of 77 to 20001 through the gateway, approved.
    std::uint64_t listed = 0;
    for (const auto& [id, request] : client().funding().collections().approvalRequests)
        if (request->information && request->information->transferMode == tc::funding::kOnlinePayment &&
            request->information->beneficiaryAccount == 20001u &&
            request->information->requestedAmount == tc::platform::Decimal::fromInt64(77))
            listed = id;
    ASSERT_NE(listed, 0u);
    EXPECT_EQ(window->outcomeNote()->text(),
              named(texts::kPaymentHeldByServer, described)
                  .replace("{1}", QString::number(listed))
                  .replace("{2}", context->text(texts::kApprovedForAmount).replace("{0}", "77.00")));

    // Unchanged, Send asks first; Cancel sends nothing.
    QMessageBox* asked = pressSendAgain(window.get(), "deposit");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->informativeText(),
              named(texts::kSendHeldRequestAgainQuestion, described).replace("{1}", QString::number(listed)));
    QTest::mouseClick(alertButton(asked, context->text(texts::kCancel)), Qt::LeftButton);
    EXPECT_FALSE(window->awaitsAnswer());
    EXPECT_EQ(paymentsSent(*server), 1);
}

// The payment never reached the server; a bank deposit of the same account and amount, sent from
// another window just before and carried out with its answer lost, is not taken for it. The payment
// is said not held and goes again at once, keeping its gateway and the currency on its amount.
TEST_F(LostFundingRequestTest, AnOnlinePaymentTheServerNeverGotIsSaidNotHeldBesideABankDepositAlike) {
    std::unique_ptr<DepositRequestWindowController> bank(depositWindow());
    guitest::typeOver(bank->amountTextField(), "77");
    server->setApprovalAnswersLost(true);
    QTest::mouseClick(bank->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 1; }));

    std::unique_ptr<DepositRequestWindowController> window(depositWindow());
    chooseGateway(window.get());
    guitest::typeOver(window->amountTextField(), "77");
    guitest::typeOver(window->emailTextField(), "demo@example.com");
    const QString amountTitle = window->amountTitle();
    const QString described = "Online payment of 77.00 through Loopback Pay for account 20001";
    server->pauseStream(true);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    const QString told = loseTheLine(window.get());
    server->pauseStream(false);
    server->setApprovalAnswersLost(false);
    EXPECT_TRUE(told.contains("- " + described)) << told.toStdString();
    EXPECT_EQ(alertText(window.get(), "deposit"), named(texts::kNamedRequestNotAnswered, described));
    alertText(bank.get(), "deposit");

    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return window->paymentGatewayComboBox()->currentText() == "Loopback Pay"; }));
    EXPECT_EQ(window->amountTitle(), amountTitle);
    EXPECT_EQ(window->amountTextField()->text(), "77");
    ASSERT_TRUE(waitFor([&] { return bank->outcome() == tc::gui::RequestWindow::Outcome::Held; }));
    ASSERT_TRUE(waitFor([&] { return window->outcome() != tc::gui::RequestWindow::Outcome::Unknown; }));
    EXPECT_EQ(window->outcome(), tc::gui::RequestWindow::Outcome::NotHeld);
    EXPECT_EQ(window->outcomeNote()->text(), named(texts::kPaymentNotHeldByServer, described));
    // Not held: it goes at once, and the gateway's confirmation shows.
    EXPECT_FALSE(pressSendAgain(window.get(), "deposit"));
    ASSERT_TRUE(waitFor([&] { return window->currentPage() == 1; }));
    EXPECT_EQ(paymentsSent(*server), 1);
    EXPECT_FALSE(window->outcomeNote()->isVisible());
}

// A payment given up at a lost line keeps no place among the windows waiting for the gateway's
// registration: the next payment's registration, in the new session, answers the window that sent
// it, which opens its page, not the one given up nor one closed since.
TEST_F(LostFundingRequestTest, APaymentGivenUpLeavesNoPlaceThatTakesTheNextPaymentsRegistration) {
    auto shared = std::make_shared<tc::gui::PayGateRequests>();
    std::map<const QWidget*, QStringList> pages;
    const auto open = [&] {
        auto window = std::make_unique<DepositRequestWindowController>(*context, shared);
        window->setUrlOpener([&pages, w = window.get()](const QUrl& url) {
            pages[w] << url.toString();
            return true;
        });
        window->show();
        window->windowDidAppear();
        chooseGateway(window.get());
        guitest::typeOver(window->emailTextField(), "demo@example.com");
        return window;
    };
    auto given = open();
    auto closed = open();
    guitest::typeOver(given->amountTextField(), "77");
    guitest::typeOver(closed->amountTextField(), "66");
    server->pauseStream(true);
    QTest::mouseClick(given->sendRequestButton(), Qt::LeftButton);
    QTest::mouseClick(closed->sendRequestButton(), Qt::LeftButton);
    loseTheLine(given.get());
    server->pauseStream(false);
    alertText(given.get(), "deposit");
    alertText(closed.get(), "deposit");
    closed->close();

    ASSERT_TRUE(signIn());
    auto next = open();
    guitest::typeOver(next->amountTextField(), "60");
    QTest::mouseClick(next->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return next->currentPage() == 1; }));
    EXPECT_EQ(detailValue(next->detailWindow(), 2), "60.00");
    EXPECT_EQ(pages[next.get()].size(), 1);
    EXPECT_TRUE(pages[given.get()].isEmpty());
}

// The same through the main window, whose deposit windows share their places: the window given up
// is closed before the new sign-in, so no deposit window is open as the line goes.
TEST_F(LostFundingRequestTest, APaymentOfAWindowClosedBeforeTheSignInLeavesNoPlaceEither) {
    NoIdle idle;
    tc::gui::MainWindowController main(*context, &idle);
    std::map<const QWidget*, QStringList> pages;
    const auto open = [&] {
        DepositRequestWindowController* window = main.newDepositRequest();
        window->setUrlOpener([&pages, window](const QUrl& url) {
            pages[window] << url.toString();
            return true;
        });
        chooseGateway(window);
        guitest::typeOver(window->emailTextField(), "demo@example.com");
        return QPointer<DepositRequestWindowController>(window);
    };
    QPointer<DepositRequestWindowController> given = open();
    guitest::typeOver(given->amountTextField(), "77");
    server->pauseStream(true);
    QTest::mouseClick(given->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(given->awaitsAnswer());
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !given->awaitsAnswer(); }));
    server->pauseStream(false);
    alertText(given, "deposit");
    given->close();
    ASSERT_TRUE(waitFor([&] { return given.isNull(); }));
    session->replaceClient();

    ASSERT_TRUE(signIn());
    QPointer<DepositRequestWindowController> next = open();
    guitest::typeOver(next->amountTextField(), "60");
    QTest::mouseClick(next->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return next->currentPage() == 1; }));
    EXPECT_EQ(pages[next.data()].size(), 1);
    next->close();
}

// Two deposit windows of the main window alike (account, amount, mode), both left without an answer
// by the lost line, of which the server got only the first: the one listed request is told to one
// window only, the one that sent first, though it was opened last; the other reads not held.
TEST_F(LostFundingRequestTest, OneListedRequestIsToldToTheOldestOfTwoWindowsAlikeOnly) {
    NoIdle idle;
    tc::gui::MainWindowController main(*context, &idle);
    const QPointer<DepositRequestWindowController> later = main.newDepositRequest();
    const QPointer<DepositRequestWindowController> older = main.newDepositRequest();
    for (DepositRequestWindowController* window : {later.data(), older.data()})
        guitest::typeOver(window->amountTextField(), "55");
    const QString described = "Deposit request (TTCopy) of 55.00 for account 20001";
    server->setApprovalAnswersLost(true);
    QTest::mouseClick(older->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 1; }));
    server->setApprovalAnswersLost(false);
    server->setApprovalsSilent(true);
    QTest::mouseClick(later->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 2; }));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !older->awaitsAnswer() && !later->awaitsAnswer(); }));
    if (QMessageBox* lost = lossAlert(context->text(texts::kConnectionLost)))
        lost->done(0);
    alertText(older, "deposit");
    alertText(later, "deposit");
    session->replaceClient();
    server->setApprovalsSilent(false);

    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] {
        return older->outcome() != tc::gui::RequestWindow::Outcome::Unknown &&
               later->outcome() != tc::gui::RequestWindow::Outcome::Unknown;
    }));
    const auto& requests = client().funding().collections().approvalRequests;
    ASSERT_FALSE(requests.empty());
    const QString id = QString::number(requests.rbegin()->first);
    EXPECT_EQ(older->outcome(), tc::gui::RequestWindow::Outcome::Held);
    EXPECT_EQ(older->outcomeNote()->text(), named(texts::kRequestHeldByServer, described).replace("{1}", id));
    EXPECT_EQ(later->outcome(), tc::gui::RequestWindow::Outcome::NotHeld);
    EXPECT_EQ(later->outcomeNote()->text(), named(texts::kRequestNotHeldByServer, described));
    // Not held: it goes at once; the held one asks first.
    EXPECT_FALSE(pressSendAgain(later, "deposit"));
    ASSERT_TRUE(waitFor([&] { return later->currentPage() == 1; }));
    QMessageBox* asked = pressSendAgain(older, "deposit");
    ASSERT_TRUE(asked);
    asked->done(0);
    older->close();
    later->close();
}

// A deposit alike already listed when the request went (carried out from another window, which
// shares nothing with this one) is not the request the line lost: the server never got that one.
TEST_F(LostFundingRequestTest, ARequestAlikeListedBeforeTheSendIsNeverTakenForTheLostOne) {
    std::unique_ptr<DepositRequestWindowController> earlier(depositWindow());
    guitest::typeOver(earlier->amountTextField(), "55");
    QTest::mouseClick(earlier->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return earlier->currentPage() == 1; }));
    earlier->close();
    std::unique_ptr<DepositRequestWindowController> window(depositWindow());
    guitest::typeOver(window->amountTextField(), "55");
    const QString described = "Deposit request (TTCopy) of 55.00 for account 20001";
    server->setApprovalsSilent(true);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 2; }));
    loseTheLine(window.get());
    alertText(window.get(), "deposit");
    server->setApprovalsSilent(false);

    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return window->outcome() != tc::gui::RequestWindow::Outcome::Unknown; }));
    EXPECT_EQ(window->outcome(), tc::gui::RequestWindow::Outcome::NotHeld);
    EXPECT_EQ(window->outcomeNote()->text(), named(texts::kRequestNotHeldByServer, described));
}

// Two deposit windows of the main window each paying through the gateway: each shows its own
// payment's confirmation, progress and result, and a third that sent nothing stays on its form.
TEST_F(FundingWindowsTest, EachDepositWindowShowsItsOwnPaymentOnly) {
    NoIdle idle;
    tc::gui::MainWindowController main(*context, &idle);
    main.setUrlOpener([](const QUrl&) { return true; });
    std::vector<QPointer<DepositRequestWindowController>> windows;
    for (const char* amount : {"77", "66", "55"}) {
        windows.emplace_back(main.newDepositRequest());
        chooseGateway(windows.back());
        guitest::typeOver(windows.back()->amountTextField(), amount);
        guitest::typeOver(windows.back()->emailTextField(), "demo@example.com");
    }
    QTest::mouseClick(windows[0]->sendRequestButton(), Qt::LeftButton);
    QTest::mouseClick(windows[1]->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(
        waitFor([&] { return windows[0]->okButton()->isEnabled() && windows[1]->okButton()->isEnabled(); }));
    EXPECT_EQ(detailValue(windows[0]->detailWindow(), 2), "77.00");
    EXPECT_EQ(detailValue(windows[1]->detailWindow(), 2), "66.00");
    EXPECT_EQ(windows[2]->currentPage(), 0);
    EXPECT_TRUE(windows[2]->headerText().isEmpty()) << windows[2]->headerText().toStdString();
    for (const auto& window : windows)
        window->close();
}

// The gateway's registration told after the payment's result: the result stands alone, without the
// line sending the trader to the payment page.
TEST_F(FundingWindowsTest, ARegistrationAfterThePaymentsResultLeavesTheResultAlone) {
    std::unique_ptr<DepositRequestWindowController> window(depositWindow());
    chooseGateway(window.get());
    guitest::typeOver(window->amountTextField(), "250");
    guitest::typeOver(window->emailTextField(), "demo@example.com");
    server->setRegistrationAfterResult(true);
    QList<interfaces::FundingReply::Kind> kinds;
    QObject::connect(session.get(), &tc::gui::ClientModel::fundingReply, window.get(),
                     [&](const interfaces::FundingReply& reply) { kinds << reply.kind; });
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return kinds.contains(interfaces::FundingReply::Kind::PayGateProgress); }));
    server->setRegistrationAfterResult(false);
    ASSERT_EQ(kinds.indexOf(interfaces::FundingReply::Kind::PayGateResult) + 1,
              kinds.indexOf(interfaces::FundingReply::Kind::PayGateProgress));
    const auto& held = client().funding().collections().payGateTransactions;
    ASSERT_EQ(held.size(), 1u);
    const auto tx = *held.begin()->second;
    EXPECT_EQ(window->headerText(), context->text(texts::kPaymentCompletedSuccessfully)
                                        .replace("{0}", QString::fromStdString(tx.payTransactionId)));
    EXPECT_TRUE(window->footerText().isEmpty()) << window->footerText().toStdString();
    EXPECT_TRUE(window->okButton()->isEnabled());
    EXPECT_EQ(opened.size(), 1);
}

// A request waiting while the server is silent: the form says the server is not answering and that
// the request still waits, nothing sent again (the position sheets' line), never that it may have
// been carried out; its answer ends the line.
TEST_F(FundingWindowsTest, ARequestWaitingThroughASilenceSaysTheServerIsNotAnswering) {
    auto window = std::make_unique<WithdrawalRequestWindowController>(*context);
    window->show();
    window->windowDidAppear();
    guitest::typeOver(window->amountTextField(), "4");
    EXPECT_FALSE(window->waitingLine()->isVisible());
    QSignalSpy answering(session.get(), &tc::gui::ClientModel::answeringChanged);
    server->pauseStream(true);
    QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(window->awaitsAnswer());
    EXPECT_TRUE(window->waitingLine()->isVisible());
    EXPECT_EQ(window->waitingLine()->text(), context->text(texts::kSheetWaitingForAnswer));
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }, 30000));
    EXPECT_FALSE(answering.takeFirst().at(0).toBool());
    EXPECT_TRUE(window->awaitsAnswer());
    EXPECT_FALSE(window->sendRequestButton()->isEnabled());
    EXPECT_TRUE(window->waitingLine()->isVisible());
    EXPECT_EQ(window->waitingLine()->text(), context->text(texts::kSheetServerNotAnswering));
    EXPECT_FALSE(window->outcomeNote()->isVisible());
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return window->currentPage() == 1; }));
    EXPECT_FALSE(window->waitingLine()->isVisible());
    EXPECT_EQ(approvalRequestsSent(*server), 1);
}

// The history left open across the same user's sign-in after a loss: it asks the new session for
// the search shown (its account kept), so a deposit the server carried out while the line was down
// is listed without a press of Search.
TEST_F(FundingWindowsTest, TheHistoryLeftOpenAcrossASignInListsWhatTheNewSessionHolds) {
    auto history = std::make_unique<DepositsWithdrawalsWindowController>(*context);
    history->show();
    history->onWindowLoad();
    history->accountComboBox()->setEditText("20003");
    QSignalSpy shown(history.get(), &DepositsWithdrawalsWindowController::historyShown);
    ASSERT_TRUE(history->searchButtonClicked());
    ASSERT_TRUE(waitFor([&] { return shown.count() == 1; }));
    const QAbstractItemModel* rows = history->depositWithdrawalTableView()->model();
    const int before = rows->rowCount();
    const auto lists55 = [&] {
        for (int row = 0; row < rows->rowCount(); ++row)
            if (rows->index(row, 3).data().toString() == "55.00")
                return true;
        return false;
    };
    ASSERT_FALSE(lists55());

    std::unique_ptr<DepositRequestWindowController> deposit(depositWindow());
    deposit->chooseAccount(1);
    ASSERT_EQ(deposit->accountComboBox()->currentText(), "20003");
    guitest::typeOver(deposit->amountTextField(), "55");
    server->setApprovalAnswersLost(true);
    QTest::mouseClick(deposit->sendRequestButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return approvalRequestsSent(*server) == 1; }));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !deposit->awaitsAnswer(); }));
    server->setApprovalAnswersLost(false);
    if (QMessageBox* lost = lossAlert(context->text(texts::kConnectionLost)))
        lost->done(0);
    alertText(deposit.get(), "deposit");
    deposit->close();
    session->replaceClient();

    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return shown.count() == 2; }));
    EXPECT_EQ(history->accountComboBox()->currentText(), "20003");
    EXPECT_EQ(rows->rowCount(), before + 1);
    EXPECT_TRUE(lists55());
    EXPECT_TRUE(history->statusText().isEmpty()) << history->statusText().toStdString();
}

TEST_F(FundingWindowsTest, HistoryOfAPeriodListsTheSeededTransactionsAndPrints) {
    auto* window = new DepositsWithdrawalsWindowController(*context);
    QAbstractItemModelTester tester(window->depositWithdrawalTableView()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    window->show();
    window->onWindowLoad();
    const QDate today = QDate::currentDate();
    EXPECT_EQ(window->fromDate(), QDateTime(today, QTime(0, 0)));
    // The whole day: what was approved this afternoon is listed.
    EXPECT_EQ(window->toDate(), QDateTime(today, QTime(23, 59, 59)));
    EXPECT_EQ(window->accountComboBox()->currentText(), "20001");
    // It opens on a type, the whole: a blank chooser leaves the trader guessing.
    EXPECT_EQ(window->transactionCodeComboBox()->currentText(), context->text(texts::kAllTransactions));
    EXPECT_EQ(window->transactionCodeComboBox()->count(), 11);

    window->accountComboBox()->setEditText("20003");
    window->setPeriod(QDateTime(QDate(2024, 3, 1), QTime(0, 0)),
                      QDateTime(QDate(2024, 3, 31), QTime(23, 59)));
    QSignalSpy shown(window, &DepositsWithdrawalsWindowController::historyShown);
    ASSERT_TRUE(window->searchButtonClicked());
    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
    const QAbstractItemModel* model = window->depositWithdrawalTableView()->model();
    ASSERT_EQ(model->rowCount(), 18);
    EXPECT_EQ(model->index(0, 0).data().toString(), "20003");
    EXPECT_EQ(model->index(0, 3).data().toString(), "1,000.00");
    // The balance each transaction left, as the server keeps it.
    EXPECT_EQ(model->index(0, 5).data().toString(), "24,607.75");
    EXPECT_EQ(model->index(17, 5).data().toString(), "25,000.00");
    EXPECT_EQ(model->index(0, 7).data().toString(), "03/01/2024 10:00:00");
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString(), context->text(texts::kCredit));
    // Sub-types by name: the seeded codes 1, 11, 14, 2, 12, 4, 5, 6, 7, 8, 9, 10, ... in this order.
    const auto subType = [&](int row) { return model->index(row, 1).data().toString(); };
    for (const auto& [row, key] : {std::pair{0, texts::kDeposit},
                                   {2, texts::kDeposit},
                                   {3, texts::kWithdrawal},
                                   {5, texts::kCommission},
                                   {6, texts::kTDS},
                                   {8, texts::kSettledLoss},
                                   {9, texts::kSettledProfit},
                                   {10, texts::kAdjustment},
                                   {11, texts::kMiscellaneous},
                                   {13, texts::kDailyTDS},
                                   {14, texts::kMonthlyTDS}})
        EXPECT_EQ(subType(row), context->text(key)) << row;

    // Printed on the window's own page settings, in languages of several scripts: every word of
    // every title whole, and the amounts right-aligned as the grid shows them.
    QTemporaryDir dir;
    for (const std::int64_t language : {0, 6, 7, 10, 11}) {
        ASSERT_TRUE(context->language().select(language));
        SCOPED_TRACE(language);
        QPrinter printer(QPrinter::HighResolution);
        DepositsWithdrawalsWindowController::setUpPrinter(printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("history-%1.pdf").arg(language)));
        ASSERT_TRUE(window->printTo(printer));
        const std::vector<guitest::PdfWord> words = guitest::pdfWords(printer.outputFileName());
        QSet<QString> printed;
        for (const guitest::PdfWord& word : words)
            printed.insert(word.text);
        QStringList expected{context->text(texts::kDepositsAndWithdrawals), context->text(texts::kCommission),
                             QStringLiteral("1,000.00 03/18/2024 10:00:00")};
        for (int c = 0; c < model->columnCount(); ++c)
            expected << model->headerData(c, Qt::Horizontal).toString();
        for (const QString& word : expected.join(' ').split(' ', Qt::SkipEmptyParts))
            EXPECT_TRUE(printed.contains(word)) << word.toStdString();
        // Each row's credit, debit and balance end where the first row's do.
        std::map<int, std::vector<QRectF>> rows; // amounts by the top of their line
        static const QRegularExpression amount(QStringLiteral("^\\d[\\d,]*\\.\\d\\d$"));
        for (const guitest::PdfWord& word : words)
            if (amount.match(word.text).hasMatch())
                rows[qRound(word.box.top())].push_back(word.box);
        ASSERT_EQ(rows.size(), 18u);
        const std::vector<QRectF>& first = rows.begin()->second;
        for (auto& [top, amounts] : rows) {
            std::sort(amounts.begin(), amounts.end(), [](QRectF a, QRectF b) { return a.left() < b.left(); });
            ASSERT_EQ(amounts.size(), 3u) << top;
            for (std::size_t a = 0; a < 3; ++a)
                EXPECT_NEAR(amounts[a].right(), first[a].right(), 0.5) << "amount " << a << " at " << top;
        }
    }
    ASSERT_TRUE(context->language().select(0));

    // A type typed by hand is none of the list's: nothing is sent.
    window->transactionCodeComboBox()->setEditText("nonsense");
    EXPECT_FALSE(window->searchButtonClicked());
    window->transactionCodeComboBox()->setEditText(QString());
    // An account that is no account number is marked and refused with its reason in the words of
    // whole numbers, never cut to one.
    QLineEdit* account = window->accountComboBox()->lineEdit();
    guitest::typeOver(account, "20,003");
    const QString comma =
        context->text(texts::kHoldsAComma92601).replace("{0}", context->text(texts::kAccount));
    EXPECT_EQ(account->toolTip(), comma);
    EXPECT_FALSE(window->searchButtonClicked());
    EXPECT_EQ(alertText(window, "fundingHistory"), comma);
    account->setText(QStringLiteral("20003"));
    EXPECT_TRUE(account->toolTip().isEmpty());
    // Clear: the default period, all transactions, no rows; the account stays.
    window->transactionCodeComboBox()->setCurrentIndex(2);
    window->setDefaultValues();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(window->transactionCodeComboBox()->currentText(), context->text(texts::kAllTransactions));
    EXPECT_EQ(window->accountComboBox()->currentText(), "20003");
    EXPECT_EQ(window->toDate(), QDateTime(today, QTime(23, 59, 59)));
    delete window;
}

// The words of the history as it prints, in its PDF.
QStringList printedHistory(const DepositsWithdrawalsWindowController& window, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    DepositsWithdrawalsWindowController::setUpPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QStringList words;
    if (!window.printTo(printer))
        return words;
    for (const guitest::PdfWord& word : guitest::pdfWords(path))
        words << word.text;
    return words;
}

// A search takes the last one's rows away at once and says what it came to: waiting while the
// server is silent, no rows, or why it failed; the print shows the same.
TEST_F(FundingWindowsTest, HistorySearchSaysWhatItCameToAndNeverShowsTheLastOnesRows) {
    auto* window = new DepositsWithdrawalsWindowController(*context);
    window->show();
    window->onWindowLoad();
    QTemporaryDir dir;
    window->setPeriod(QDateTime(QDate(2024, 1, 1), QTime(0, 0)),
                      QDateTime(QDate(2024, 1, 31), QTime(23, 59)));
    QSignalSpy shown(window, &DepositsWithdrawalsWindowController::historyShown);
    ASSERT_TRUE(window->searchButtonClicked());
    ASSERT_TRUE(waitFor([&] { return shown.count() == 1; }));
    const QAbstractItemModel* model = window->depositWithdrawalTableView()->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_TRUE(window->statusText().isEmpty());

    // Another account into a silence: 20001's rows go at once, and the window says it waits.
    server->setDataServiceSilent(true);
    window->accountComboBox()->setEditText("20003");
    ASSERT_TRUE(window->searchButtonClicked());
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(window->statusText(), context->text(texts::kWaitingHistory));
    const QStringList waiting = printedHistory(*window, dir.filePath("waiting.pdf"));
    EXPECT_TRUE(waiting.contains("20003") && !waiting.contains("20001")) << waiting.join(' ').toStdString();
    for (const QString& word : context->text(texts::kWaitingHistory).split(' '))
        EXPECT_TRUE(waiting.contains(word)) << word.toStdString();
    server->setDataServiceSilent(false);
    ASSERT_TRUE(waitFor([&] { return shown.count() == 2; }));
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(window->statusText(), context->text(texts::kNoTransactionsMatchSearch));

    // A search the data service cannot answer says so, in words, on screen and on paper.
    server->refuseDataServiceProcedure("getfinancialtransactions");
    window->accountComboBox()->setEditText("20001");
    ASSERT_TRUE(window->searchButtonClicked());
    ASSERT_TRUE(waitFor([&] { return window->awaitedRequest() == 0; }));
    EXPECT_EQ(model->rowCount(), 0);
    const QString failed = context->text(texts::kHistoryCouldNotLoaded)
                               .replace("{0}", context->text(texts::kDataServiceCouldNotAnswer));
    EXPECT_EQ(window->statusText(), failed);
    const QStringList printed = printedHistory(*window, dir.filePath("failed.pdf"));
    for (const QString& word : failed.split(' '))
        EXPECT_TRUE(printed.contains(word)) << word.toStdString();
    // Clear takes the line away with the rows.
    window->setDefaultValues();
    EXPECT_TRUE(window->statusText().isEmpty());
    delete window;
}

// The history over two rows of April, the first with no balance from the server.
class UnbookedBalanceHistoryTest : public FundingWindowsTest {
protected:
    void seedMarket(testserver::Market& market) override {
        testserver::FinancialTransaction t;
        t.id = 800900;
        t.code = "DEP";
        t.account = 20003;
        t.subId = 1;
        t.credit = "75";
        t.date = "20240402100000";
        market.transactions.push_back(t);
        t.id = 800901;
        t.credit = "25";
        t.balance = "25013.00";
        t.date = "20240403100000";
        market.transactions.push_back(t);
    }
};

// A balance the server did not send is blank in the window, its print and the PDF, never 0.00.
TEST_F(UnbookedBalanceHistoryTest, ABalanceTheServerDidNotSendIsBlankOnScreenAndOnPaper) {
    auto* window = new DepositsWithdrawalsWindowController(*context);
    window->show();
    window->onWindowLoad();
    window->accountComboBox()->setEditText("20003");
    window->setPeriod(QDateTime(QDate(2024, 4, 1), QTime(0, 0)),
                      QDateTime(QDate(2024, 4, 30), QTime(23, 59)));
    QSignalSpy shown(window, &DepositsWithdrawalsWindowController::historyShown);
    ASSERT_TRUE(window->searchButtonClicked());
    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
    const QAbstractItemModel* model = window->depositWithdrawalTableView()->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 3).data().toString(), "75.00");
    EXPECT_EQ(model->index(0, 5).data().toString(), "");
    EXPECT_EQ(model->index(1, 5).data().toString(), "25,013.00");
    // On paper: the amounts of each line, left to right.
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    DepositsWithdrawalsWindowController::setUpPrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("history.pdf")));
    ASSERT_TRUE(window->printTo(printer));
    std::map<int, std::vector<std::pair<double, QString>>> lines;
    static const QRegularExpression amount(QStringLiteral("^\\d[\\d,]*\\.\\d\\d$"));
    for (const guitest::PdfWord& word : guitest::pdfWords(printer.outputFileName()))
        if (amount.match(word.text).hasMatch())
            lines[qRound(word.box.top())].emplace_back(word.box.left(), word.text);
    ASSERT_EQ(lines.size(), 2u);
    std::vector<QStringList> printed;
    for (auto& [top, amounts] : lines) {
        std::sort(amounts.begin(), amounts.end());
        printed.emplace_back();
        for (const auto& [left, text] : amounts)
            printed.back() << text;
    }
    EXPECT_EQ(printed[0], (QStringList{"75.00", "0.00"}));
    EXPECT_EQ(printed[1], (QStringList{"25.00", "0.00", "25,013.00"}));
    delete window;
}

// The history's dates are taken as typed, or marked and refused by Search with their reason; they
// read left to right in Arabic too.
// The computer a day ahead of or behind the server: the history's period and a bank deposit's date
// are offered on the server's day, the day of the rows.
TEST_F(FundingWindowsTest, ThePeriodAndTheDepositDateOfferedAreTheServersDay) {
    tc::testing_support::ComputerZone zone(tc::testing_support::zoneOfAnotherDay());
    ASSERT_TRUE(waitFor([&] { return session->serverClock().known(); }));
    const QDate day = session->serverNow().date();
    ASSERT_NE(day, QDate::currentDate()) << "the computer's date is another day";
    // Universal time is the in-process server's clock.
    ASSERT_EQ(day, QDateTime::currentDateTimeUtc().date());

    auto* history = new DepositsWithdrawalsWindowController(*context);
    history->show();
    history->onWindowLoad();
    EXPECT_EQ(history->fromDate(), tc::gui::serverMoment(day, QTime(0, 0)));
    EXPECT_EQ(history->toDate(), tc::gui::serverMoment(day, QTime(23, 59, 59)));
    delete history;

    DepositRequestWindowController* deposit = depositWindow();
    const auto* date = deposit->findChild<tc::gui::DateTimeField*>(QStringLiteral("depositDatePicker"));
    ASSERT_TRUE(date);
    ASSERT_TRUE(date->dateTime());
    EXPECT_EQ(date->dateTime()->date(), day);
    delete deposit;
}

TEST_F(FundingWindowsTest, HistoryDatesAreTakenAsTypedOrRefusedWithTheirReason) {
    auto* window = new DepositsWithdrawalsWindowController(*context);
    window->show();
    window->onWindowLoad();
    auto* from = window->findChild<QLineEdit*>(QStringLiteral("fromDatePicker"));
    auto* to = window->findChild<QLineEdit*>(QStringLiteral("toDatePicker"));
    ASSERT_TRUE(from && to) << "fields that take a date as typed";
    const auto typeInto = guitest::retype;
    typeInto(from, QStringLiteral("11/15/2026 08:30:00"));
    typeInto(to, QStringLiteral("12/31/2026 00:00:00"));
    EXPECT_EQ(from->text(), "11/15/2026 08:30:00");
    EXPECT_EQ(window->fromDate(), QDateTime(QDate(2026, 11, 15), QTime(8, 30)));
    EXPECT_EQ(window->toDate(), QDateTime(QDate(2026, 12, 31), QTime(0, 0)));
    EXPECT_TRUE(from->toolTip().isEmpty());
    EXPECT_TRUE(window->searchButtonClicked());

    // No 31st of November: kept as typed, marked, and Search says the same.
    typeInto(from, QStringLiteral("11/31/2026 08:30:00"));
    EXPECT_EQ(from->text(), "11/31/2026 08:30:00");
    EXPECT_TRUE(from->toolTip().startsWith(context->text(texts::kFromDateNotDateTime).section('{', 0, 0)))
        << from->toolTip().toStdString();
    EXPECT_FALSE(window->searchButtonClicked());
    EXPECT_EQ(alertText(window, "fundingHistory"), from->toolTip());
    // A period the wrong way round marks both ends.
    typeInto(from, QStringLiteral("01/01/2027 00:00:00"));
    EXPECT_EQ(from->toolTip(), context->text(texts::kFromDateMustNotAfter));
    EXPECT_EQ(to->toolTip(), from->toolTip());
    EXPECT_FALSE(window->searchButtonClicked());
    EXPECT_EQ(alertText(window, "fundingHistory"), from->toolTip());

    ASSERT_TRUE(context->language().select(5)); // Arabic
    EXPECT_TRUE(window->isRightToLeft());
    EXPECT_FALSE(from->isRightToLeft());
    EXPECT_FALSE(to->isRightToLeft());
    ASSERT_TRUE(context->language().select(0));
    delete window;
}

TEST_F(FundingWindowsTest, MainWindowOpensTheWindowsAndEachStopsOnlyItsOwnTimer) {
    NoIdle idle;
    tc::gui::MainWindowController main(*context, &idle);
    for (const char* name : {"actionNewDeposit", "actionNewWithdrawal", "actionDepositsWithdrawals"}) {
        QAction* action = main.findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_TRUE(action && action->isEnabled()) << name;
    }
    QPointer<DepositRequestWindowController> first = main.newDepositRequest();
    QPointer<DepositRequestWindowController> second = main.newDepositRequest();
    ASSERT_NE(first, second);
    main.findChild<QAction*>("actionNewWithdrawal")->trigger();
    ASSERT_TRUE(main.withdrawalWindow() && main.withdrawalWindow()->isVisible());
    EXPECT_TRUE(first->followsTick() && second->followsTick());
    first->close();
    // The closed deposit window goes; the others keep their refresh.
    ASSERT_TRUE(waitFor([&] { return first.isNull(); }));
    EXPECT_TRUE(second->followsTick());
    EXPECT_TRUE(main.withdrawalWindow()->followsTick());
    // The accounts grid's button opens one more.
    QPushButton* button = main.findChild<QPushButton*>("newDepositButton");
    ASSERT_TRUE(button && button->isEnabled());
    const auto deposits = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<DepositRequestWindowController*>(w) && w->isVisible() ? 1 : 0;
        return n;
    };
    const int before = deposits();
    button->click();
    EXPECT_EQ(deposits(), before + 1);
    main.findChild<QAction*>("actionDepositsWithdrawals")->trigger();
    ASSERT_TRUE(main.fundingHistoryWindow() && main.fundingHistoryWindow()->isVisible());
    second->close();
}

class HeldFundingWindowsTest : public FundingWindowsTest {
protected:
    void SetUp() override {
        holdPrices = true; // the account's equity stands still between two readings
        FundingWindowsTest::SetUp();
    }
};

TEST_F(HeldFundingWindowsTest, WithdrawableAmountLeavesTheMarginAndTheBalanceFollowsTheWithdrawal) {
    auto* window = new WithdrawalRequestWindowController(*context);
    window->show();
    window->windowDidAppear();
    ASSERT_EQ(window->accountComboBox()->currentText(), "20001");
    EXPECT_FALSE(showsLine(window, context->text(texts::kNoneAccountsAllowsWithdrawals)));
    // Seeded: 1.5 EURUSD bought and 0.2 XAUUSD sold; the server charges the group's 1 per lot on
    // the larger side of each instrument.
    ASSERT_TRUE(waitFor([&] { return window->marginTextField()->text() == "1.70"; }))
        << window->marginTextField()->text().toStdString();
    const auto held = [&] { return **client().model().AccountDetailCollection.get("20001"); };
    const tc::AccountDetails account = held();
    const auto figures = client().funding().withdrawalFigures(20001);
    ASSERT_GT(figures.withdrawable, 100);
    EXPECT_EQ(window->withdrawableFundTextField()->text().toStdString(),
              tc::gui::withdrawableText(figures.withdrawable));
    // The login's rules keep a floating profit back and set no floor.
    EXPECT_NEAR(
        figures.withdrawable,
        account.Equity - account.CollateralSecurity.toDouble() - std::max(0.0, account.Leverage) - 1.7, 1e-9)
        << "what the positions hold cannot be withdrawn";

    const double balance = held().Balance.toDouble();
    guitest::typeOver(window->amountTextField(), "100");
    ASSERT_TRUE(window->sendRequest());
    // The server approves at once and tells the new balance, which the window shows.
    EXPECT_TRUE(waitFor([&] {
        return held().Balance.toDouble() == balance - 100 &&
               window->balanceTextField()->text().toStdString() == tc::platform::amountText(balance - 100);
    })) << held().Balance.toDouble();
    delete window;

    // Today's history lists the withdrawal with the balance it left.
    auto* history = new DepositsWithdrawalsWindowController(*context);
    history->show();
    history->onWindowLoad();
    QSignalSpy shown(history, &DepositsWithdrawalsWindowController::historyShown);
    ASSERT_TRUE(history->searchButtonClicked());
    ASSERT_TRUE(waitFor([&] { return shown.count() > 0; }));
    const QAbstractItemModel* model = history->depositWithdrawalTableView()->model();
    ASSERT_GE(model->rowCount(), 1);
    const int last = model->rowCount() - 1;
    EXPECT_EQ(model->index(last, 4).data().toString(), "100.00");
    EXPECT_EQ(model->index(last, 5).data().toString().toStdString(), tc::platform::amountText(balance - 100));
    delete history;
}

class NoFundingAccountTest : public guitest::SessionTest {};

TEST_F(NoFundingAccountTest, NoEligibleAccountDisablesSendAndSaysWhy) {
    context->setClientModel(session.get());
    ASSERT_TRUE(signIn("trader", "trader1234"));
    auto* deposit = new DepositRequestWindowController(*context);
    deposit->show();
    deposit->windowDidAppear();
    EXPECT_EQ(deposit->accountComboBox()->count(), 0);
    EXPECT_FALSE(deposit->sendRequestButton()->isEnabled());
    EXPECT_FALSE(deposit->sendRequest());
    EXPECT_TRUE(showsLine(deposit, context->text(texts::kNoneAccountsAllowsDeposits)));
    auto* withdrawal = new WithdrawalRequestWindowController(*context);
    withdrawal->show();
    withdrawal->windowDidAppear();
    EXPECT_EQ(withdrawal->accountComboBox()->count(), 0);
    EXPECT_FALSE(withdrawal->sendRequestButton()->isEnabled());
    EXPECT_TRUE(withdrawal->withdrawableFundTextField()->text().isEmpty());
    EXPECT_TRUE(showsLine(withdrawal, context->text(texts::kNoneAccountsAllowsWithdrawals)));
    delete deposit;
    delete withdrawal;
}

} // namespace
