// The deposit, withdrawal and funding history windows.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerFundingScreens().
#include "gui/screens/screen_registry.h"

#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/deposits_withdrawals_window_controller.h"
#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/models/client_model.h"
#include "gui/models/server_clock.h"

#include <QComboBox>
#include <QLineEdit>

#include <memory>

namespace tc::gui {
namespace {

enum class DepositScreen { Bank, AmountNoNumber, Online, GatewayResult };

// A deposit window of demo's first account: a bank transfer filled in (or with an amount that is
// no number, marked), an online payment with its gateway chosen, or a gateway payment's result (the
// browser left closed).
QWidget* depositWindow(ScreenContext& c, DepositScreen screen) {
    c.session();
    auto* window = c.own(new DepositRequestWindowController(c.context()));
    window->setUrlOpener([](const QUrl&) { return true; });
    window->show();
    window->windowDidAppear();
    if (screen == DepositScreen::Bank || screen == DepositScreen::AmountNoNumber) {
        window->chooseMode(1);
        window->amountTextField()->setText(screen == DepositScreen::Bank ? QStringLiteral("1500")
                                                                         : QStringLiteral("1,000"));
        window->remarksTextField()->setText(QStringLiteral("Transfer of 4 March"));
        return window;
    }
    window->chooseMode(2);
    c.waitUntil([window] { return window->paymentGatewayComboBox()->count() > 0; });
    window->chooseGateway(0);
    window->amountTextField()->setText(QStringLiteral("250"));
    window->emailTextField()->setText(QStringLiteral("demo@example.com"));
    if (screen == DepositScreen::GatewayResult) {
        window->sendRequest();
        c.waitUntil([window] { return window->okButton()->isEnabled() && window->currentPage() == 1; },
                    10000);
    }
    return window;
}

QWidget* withdrawalWindow(ScreenContext& c) {
    c.session();
    auto* window = c.own(new WithdrawalRequestWindowController(c.context()));
    window->show();
    window->windowDidAppear();
    window->amountTextField()->setText(QStringLiteral("750"));
    window->remarksTextField()->setText(QStringLiteral("To my bank account"));
    return window;
}

// Demo's March 2024 on account 20003 (or January, when it has none, and the window says so).
QWidget* fundingHistory(ScreenContext& c, int month) {
    c.session();
    auto* window = c.own(new DepositsWithdrawalsWindowController(c.context()));
    window->show();
    window->onWindowLoad();
    window->accountComboBox()->setEditText(QStringLiteral("20003"));
    const QDate first(2024, month, 1);
    window->setPeriod(serverMoment(first, QTime(0, 0)),
                      serverMoment(first.addDays(first.daysInMonth() - 1), QTime(23, 59)));
    auto shown = std::make_shared<int>(0);
    c.keep(shown);
    QObject::connect(window, &DepositsWithdrawalsWindowController::historyShown, window,
                     [shown] { ++*shown; });
    window->searchButtonClicked();
    c.waitUntil([shown] { return *shown > 0; }, 10000);
    return window;
}

} // namespace

void registerFundingScreens(ScreenRegistry& r) {
    r.add("deposit-bank", [](ScreenContext& c) { return depositWindow(c, DepositScreen::Bank); });
    r.add("deposit-amount-no-number",
          [](ScreenContext& c) { return depositWindow(c, DepositScreen::AmountNoNumber); });
    r.add("deposit-online", [](ScreenContext& c) { return depositWindow(c, DepositScreen::Online); });
    r.add("deposit-gateway-result",
          [](ScreenContext& c) { return depositWindow(c, DepositScreen::GatewayResult); });
    r.add("withdrawal", withdrawalWindow);
    r.add("funding-history", [](ScreenContext& c) { return fundingHistory(c, 3); });
    r.add("funding-history-empty", [](ScreenContext& c) { return fundingHistory(c, 1); });
}

} // namespace tc::gui
