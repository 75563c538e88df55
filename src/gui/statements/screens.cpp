// The account statement window, its tables and its print preview.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerStatementsScreens().
#include "gui/screens/screen_registry.h"

#include "gui/models/client_model.h"
#include "gui/models/server_clock.h"
#include "gui/screens/layout_check.h"
#include "gui/statements/account_statement_window_controller.h"
#include "model/records/account_details.h"

#include <QPrintPreviewWidget>
#include <QPrinter>

#include <memory>
#include <optional>

namespace tc::gui {
namespace {

// The statement window showing account 20001 from January 2024 to now: its positions, valued at the
// quotes of the moment as the header's floating credit is, and its settlement and transactions.
AccountStatementWindowController* statementWindow(ScreenContext& c) {
    c.session();
    auto* window = c.own(new AccountStatementWindowController(c.context()));
    window->resize(1240, 860);
    window->show();
    window->windowDidAppear();
    auto shown = std::make_shared<int>(0);
    c.keep(shown);
    QObject::connect(window, &AccountStatementWindowController::statementShown, window,
                     [shown] { ++*shown; });
    c.waitUntil([shown] { return *shown > 0; }, 10000);
    // The header's floating credit as the core's first refresh values the positions, not the
    // sign-in's zero.
    c.waitUntil([&c] {
        for (const auto& account : c.session().client().queries().getAccountCollection())
            if (account && account->AccountId == 20001)
                return account->Leverage != 0;
        return false;
    });
    window->setAccountText(QStringLiteral("20001"));
    window->setPeriod(serverMoment(QDate(2024, 1, 1), QTime(0, 0)), c.session().serverNow());
    window->showAccountStatement();
    c.waitUntil([shown] { return *shown > 1; }, 10000);
    return window;
}

QWidget* statement(ScreenContext& c, std::optional<StatementTable> details) {
    AccountStatementWindowController* window = statementWindow(c);
    if (details)
        window->showDetails(*details);
    else
        window->summaryButtonClicked();
    settleLayout(); // the pies' first layout
    return window;
}

QWidget* statementPrintPreview(ScreenContext& c) {
    AccountStatementWindowController* window = statementWindow(c);
    auto printer = std::make_shared<QPrinter>();
    AccountStatementWindowController::setUpPrinter(*printer);
    c.keep(printer);
    auto* preview = c.own(new QPrintPreviewWidget(printer.get()));
    QObject::connect(preview, &QPrintPreviewWidget::paintRequested, window,
                     [window](QPrinter* target) { window->printTo(*target); });
    preview->resize(1100, 860);
    preview->setZoomMode(QPrintPreviewWidget::FitInView);
    preview->show();
    preview->updatePreview();
    c.waitUntil([preview] { return preview->pageCount() > 0; });
    return preview;
}

} // namespace

void registerStatementsScreens(ScreenRegistry& r) {
    r.add("statement-summary", [](ScreenContext& c) { return statement(c, std::nullopt); });
    r.add("statement-open-positions",
          [](ScreenContext& c) { return statement(c, StatementTable::OpenPositions); });
    r.add("statement-settled-positions",
          [](ScreenContext& c) { return statement(c, StatementTable::SettledPositions); });
    r.add("statement-pending-orders",
          [](ScreenContext& c) { return statement(c, StatementTable::PendingOrders); });
    r.add("statement-cancelled-orders",
          [](ScreenContext& c) { return statement(c, StatementTable::CancelledOrders); });
    r.add("statement-instruments",
          [](ScreenContext& c) { return statement(c, StatementTable::Instruments); });
    r.add("statement-print-preview", statementPrintPreview);
}

} // namespace tc::gui
