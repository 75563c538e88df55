// Every question whose yes sends an order or money again, in the real windows against the in-process
// test server: the order ticket's, for an order the line lost, before the new sign-in's lists tell its
// fate and once they hold it; Close All's, for positions an earlier request still waits for; the
// deposit form's, for a bank deposit without an answer in time and for one or an online payment the
// server holds after a lost line; and the withdrawal form's, both ways.
// Each question has the answer that sends nothing as its default, and neither Return nor Escape on it
// sends anything.
#include "gui/app/common_alert.h"
#include "gui/app/gui_objects.h"
#include "gui/app/language.h"
#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/request_window.h"
#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/texts.h"
#include "gui/trading/close_all_rules.h"
#include "gui/trading/close_all_window_controller.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "model/data_service_collections.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>

#include <algorithm>
#include <functional>
#include <memory>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::RequestWindow;

int streamMessagesOf(testserver::TestServer& server, int type) {
    const auto types = server.stats().streamTypes;
    return static_cast<int>(std::count(types.begin(), types.end(), type));
}
int approvalRequestsSent(testserver::TestServer& server) {
    return streamMessagesOf(server, 693);
}
int paymentsSent(testserver::TestServer& server) {
    return streamMessagesOf(server, 93);
}

// The "Connection Lost" alert (its title) showing, on whichever window it opened, or nullptr.
QMessageBox* lossAlert(const QString& title) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        QList<QMessageBox*> boxes = top->findChildren<QMessageBox*>();
        if (auto* box = qobject_cast<QMessageBox*>(top))
            boxes << box;
        for (QMessageBox* box : boxes)
            if (box->isVisible() && box->text() == title)
                return box;
    }
    return nullptr;
}

// Whether `text` reads as `pattern`, a text of the tables, with anything in its places ({0}, {1}...).
bool readsAs(const QString& text, const QString& pattern) {
    QString expression = QRegularExpression::escape(pattern);
    expression.replace(QRegularExpression(QStringLiteral(R"(\\\{\d+\\\})")), QStringLiteral(".*"));
    return QRegularExpression(QStringLiteral("^") + expression + QStringLiteral("$"),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

class SendAgainQuestionsTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        holdPrices = true;
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        ASSERT_TRUE(listsIn());
    }

    bool listsIn() {
        return waitFor([&] {
            const auto& lists = session->client().dataService();
            return lists.openPositionsListed && lists.pendingOrdersListed;
        });
    }

    // A question on screen, and what its window has sent: at once on the client's side (`went`), and
    // as the server read it (`read`); `again` presses the window's button once more, as the trader
    // would after saying no, and gives the question it asks.
    struct Asked {
        QPointer<QMessageBox> question;
        std::function<bool()> went;
        std::function<int()> read;
        std::function<QMessageBox*()> again;
    };

    // The line drops; the loss alert closes as the trader closes it; `whileLost` runs; then the same
    // user signs in again (on a client of its own where `newClient`).
    void loseTheLine(const std::function<void()>& whileLost, bool newClient) {
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
        QMessageBox* lost = nullptr;
        ASSERT_TRUE(
            waitFor([&] { return (lost = lossAlert(context->text(texts::kConnectionLost))) != nullptr; }));
        lost->done(0);
        if (whileLost) {
            ASSERT_NO_FATAL_FAILURE(whileLost());
        }
        if (newClient)
            session->replaceClient();
        ASSERT_TRUE(signIn());
    }

    // The ticket's market order goes, the server holds it, and the line drops before its answer; the
    // server carries it out while no client is signed in. `listsBack`: the new sign-in's lists come
    // (they hold the order's position), else the data service stays silent. Then Buy again.
    void ticketOrderLost(bool listsBack, Asked& asked) {
        context->guiObjects().showTradeTicket(nullptr);
        ticket = context->guiObjects().tradeTicketWindowController();
        ASSERT_TRUE(ticket);
        ticket->findChild<QComboBox*>(QStringLiteral("QuantityComboBox"))
            ->setEditText(QStringLiteral("0.01"));
        auto* buy = ticket->findChild<QPushButton*>(QStringLiteral("buyButton"));
        server->holdOrders(true);
        QTest::mouseClick(buy, Qt::LeftButton);
        QMessageBox* confirmation = ticket->confirmationSheet();
        ASSERT_TRUE(confirmation && confirmation->isVisible());
        confirmation->findChild<QPushButton*>(QStringLiteral("confirmButton"))->click();
        ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
        ASSERT_NO_FATAL_FAILURE(loseTheLine(
            [&] {
                ASSERT_TRUE(server->answerHeldOrders({0}));
                server->holdOrders(false);
                server->setDataServiceSilent(!listsBack);
            },
            false));
        if (listsBack) {
            const QString carriedOut = context->text(texts::kTicketOrderCarriedOut).section("{0}", 0, 0);
            ASSERT_TRUE(waitFor([&] { return ticket->lostOrderNote()->text().startsWith(carriedOut); }));
        }
        ASSERT_TRUE(waitFor([&] { return buy->isEnabled(); }));
        sentOrders =
            std::make_unique<QSignalSpy>(ticket.data(), &tc::gui::TradeTicketWindowController::orderSent);
        asked.again = [this, buy] {
            QTest::mouseClick(buy, Qt::LeftButton);
            return tc::gui::CommonAlert::showing(ticket, QStringLiteral("sendOrderAgain"));
        };
        asked.question = asked.again();
        asked.went = [this] { return !sentOrders->isEmpty(); };
        asked.read = [this] { return server->stats().orderRequests; };
    }

    template <class Window>
    Window* fundingWindow() {
        auto* window = new Window(*context);
        funding = window;
        window->show();
        window->windowDidAppear();
        return window;
    }
    static QString topicOf(const RequestWindow* window) {
        return window->objectName().startsWith(QStringLiteral("Deposit")) ? QStringLiteral("deposit")
                                                                          : QStringLiteral("withdrawal");
    }
    // Send pressed on the form as it was sent: what it asks.
    void sendAgain(RequestWindow* window, Asked& asked, std::function<int()> read) {
        ASSERT_TRUE(waitFor([&] { return window->sendRequestButton()->isEnabled(); }));
        asked.again = [window] {
            QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
            return tc::gui::CommonAlert::showing(window, topicOf(window));
        };
        asked.question = asked.again();
        asked.went = [window] { return window->awaitsAnswer(); };
        asked.read = std::move(read);
    }
    // The request goes and the server never answers it: the form gives it up at its time limit.
    void noAnswerInTime(RequestWindow* window, const QString& amount, Asked& asked) {
        guitest::typeOver(window->amountTextField(), amount);
        server->setApprovalsSilent(true);
        window->setAnswerTimeLimit(std::chrono::milliseconds(50));
        QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return window->outcome() == RequestWindow::Outcome::Unknown; }));
        ASSERT_TRUE(waitFor([&] { return tc::gui::CommonAlert::showing(window, topicOf(window)); }));
        tc::gui::CommonAlert::showing(window, topicOf(window))->done(0);
        window->setAnswerTimeLimit(RequestWindow::kAnswerTimeLimit);
        ASSERT_NO_FATAL_FAILURE(sendAgain(window, asked, [this] { return approvalRequestsSent(*server); }));
    }
    // The request goes, the server carries it out, and its answer is lost with the line: the new
    // sign-in's lists hold it. `ready`: the form as sent is back on the new client.
    void heldAfterTheLoss(
        RequestWindow* window, const std::function<int()>& read, Asked& asked,
        const std::function<bool()>& ready = [] { return true; }) {
        const int before = read();
        QTest::mouseClick(window->sendRequestButton(), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return read() == before + 1; }));
        ASSERT_NO_FATAL_FAILURE(loseTheLine(
            [&] {
                ASSERT_TRUE(waitFor([&] { return !window->awaitsAnswer(); }));
                if (QMessageBox* told = tc::gui::CommonAlert::showing(window, topicOf(window)))
                    told->done(0);
                server->setApprovalAnswersLost(false);
                server->setPaymentAnswersLost(false);
            },
            true));
        ASSERT_TRUE(waitFor(ready));
        ASSERT_TRUE(waitFor([&] { return window->outcome() == RequestWindow::Outcome::Held; }));
        ASSERT_NO_FATAL_FAILURE(sendAgain(window, asked, read));
    }

    void bankDepositHeld(Asked& asked) {
        auto* window = fundingWindow<tc::gui::DepositRequestWindowController>();
        guitest::typeOver(window->amountTextField(), QStringLiteral("222"));
        server->setApprovalAnswersLost(true);
        heldAfterTheLoss(
            window, [this] { return approvalRequestsSent(*server); }, asked);
    }
    void onlinePaymentHeld(Asked& asked) {
        auto* window = fundingWindow<tc::gui::DepositRequestWindowController>();
        window->setUrlOpener([](const QUrl&) { return true; });
        window->chooseMode(2);
        ASSERT_TRUE(window->isOnlinePayment());
        ASSERT_TRUE(waitFor([&] { return window->paymentGatewayComboBox()->count() > 0; }));
        window->chooseGateway(0);
        guitest::typeOver(window->amountTextField(), QStringLiteral("77"));
        guitest::typeOver(window->emailTextField(), QStringLiteral("demo@example.com"));
        const QString gateway = window->paymentGatewayComboBox()->currentText();
        server->setPaymentAnswersLost(true);
        // The new client's gateways come after its sign-in, the one chosen chosen again.
        heldAfterTheLoss(
            window, [this] { return paymentsSent(*server); }, asked,
            [window, gateway] { return window->paymentGatewayComboBox()->currentText() == gateway; });
    }
    void withdrawalHeld(Asked& asked) {
        auto* window = fundingWindow<tc::gui::WithdrawalRequestWindowController>();
        guitest::typeOver(window->amountTextField(), QStringLiteral("4"));
        server->setApprovalAnswersLost(true);
        heldAfterTheLoss(
            window, [this] { return approvalRequestsSent(*server); }, asked);
    }

    // The open positions' totals bar opens Close All once the positions are listed: the window, once
    // it shows (one closed before stands hidden beside it).
    tc::gui::CloseAllWindowController* openCloseAll() {
        tc::gui::GridPane* open = main->gridPane(tc::gui::Grid::OpenPositions);
        auto* button = open->findChild<QPushButton*>(QStringLiteral("closeAllButton"));
        if (!button || !waitFor([&] { return button->isEnabled() && open->gridModel().rowCount() > 0; }))
            return nullptr;
        QTest::mouseClick(button, Qt::LeftButton);
        tc::gui::CloseAllWindowController* shown = nullptr;
        waitFor([&] {
            for (auto* closeAll : main->findChildren<tc::gui::CloseAllWindowController*>())
                if (closeAll->isVisible())
                    shown = closeAll;
            return shown != nullptr;
        });
        return shown;
    }
    // A Close All of every position (or of the first one only, `one`) goes, the server holds it, and its
    // window closes; a new Close All of every position, ticked again from the tick column's title, is
    // pressed.
    void closeAllWhileOneWaits(Asked& asked, bool one) {
        main = std::make_unique<tc::gui::MainWindowController>(*context);
        main->show();
        server->holdOrders(true);
        tc::gui::CloseAllWindowController* first = openCloseAll();
        ASSERT_TRUE(first);
        if (one) {
            QAbstractItemModel* lines =
                first->findChild<QTableView*>(QStringLiteral("closeAllTableView"))->model();
            for (int row = 1; row < lines->rowCount(); ++row)
                lines->setData(lines->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
            ASSERT_EQ(first->flow().ticked().size(), 1u);
        }
        QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("closeAllButton")), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
        QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("notNowButton")), Qt::LeftButton);
        tc::gui::CloseAllWindowController* again = openCloseAll();
        ASSERT_TRUE(again);
        QHeaderView* titles =
            again->findChild<QTableView*>(QStringLiteral("closeAllTableView"))->horizontalHeader();
        QTest::mouseClick(
            titles->viewport(), Qt::LeftButton, {},
            QPoint(titles->sectionViewportPosition(0) + titles->sectionSize(0) / 2, titles->height() / 2));
        ASSERT_FALSE(again->flow().ticked().empty());
        asked.again = [again] {
            QTest::mouseClick(again->findChild<QPushButton*>(QStringLiteral("closeAllButton")),
                              Qt::LeftButton);
            return tc::gui::CommonAlert::showing(again, QStringLiteral("closeAllSendAwaitedAgain"));
        };
        asked.question = asked.again();
        asked.went = [again] { return again->flow().phase() != tc::gui::CloseAllFlow::Phase::Choosing; };
        asked.read = [this] { return server->stats().orderRequests; };
    }

    // What a row leaves on screen goes before the next row.
    void closeWindows() {
        // A Close All held is refused (the markets of the positions closed), so the next row finds the
        // positions as they were, and waits for no request of this one.
        for (const char* code : {"EURUSD", "XAUUSD"})
            EXPECT_TRUE(server->setMarketOpen(code, false));
        if (server->stats().heldOrderRequests > 0) {
            EXPECT_TRUE(server->answerHeldOrders({0}));
        }
        server->holdOrders(false);
        EXPECT_TRUE(waitFor([&] {
            return server->stats().heldOrderRequests == 0 &&
                   session->client().orders().requestsOnPositions().empty();
        }));
        for (const char* code : {"EURUSD", "XAUUSD"})
            EXPECT_TRUE(server->setMarketOpen(code, true));
        main.reset();
        server->setApprovalsSilent(false);
        server->setDataServiceSilent(false);
        delete ticket.data();
        delete funding.data();
    }

    std::unique_ptr<tc::gui::MainWindowController> main;
    QPointer<tc::gui::TradeTicketWindowController> ticket;
    QPointer<RequestWindow> funding;
    std::unique_ptr<QSignalSpy> sentOrders;
};

TEST_F(SendAgainQuestionsTest, EveryQuestionThatSendsAgainDefaultsToSendingNothingAndNoKeySendsAnything) {
    struct Row {
        const char* what;
        const char* question; // the text key it asks with
        std::function<void(Asked&)> ask;
    };
    // The ticket's row whose lists never come goes last: the data service stays silent to the end.
    const Row rows[] = {
        {"deposit without an answer in time", texts::kSendRequestAgainQuestion,
         [&](Asked& asked) {
             noAnswerInTime(fundingWindow<tc::gui::DepositRequestWindowController>(), QStringLiteral("250"),
                            asked);
         }},
        {"withdrawal without an answer in time", texts::kSendRequestAgainQuestion,
         [&](Asked& asked) {
             noAnswerInTime(fundingWindow<tc::gui::WithdrawalRequestWindowController>(), QStringLiteral("3"),
                            asked);
         }},
        {"bank deposit held after a lost line", texts::kSendHeldRequestAgainQuestion,
         [&](Asked& asked) { bankDepositHeld(asked); }},
        {"online payment held after a lost line", texts::kSendHeldRequestAgainQuestion,
         [&](Asked& asked) { onlinePaymentHeld(asked); }},
        {"withdrawal held after a lost line", texts::kSendHeldRequestAgainQuestion,
         [&](Asked& asked) { withdrawalHeld(asked); }},
        {"Close All of positions one of which an earlier Close All still waits for",
         texts::kCloseAllSendOneAwaitedAgainQuestion,
         [&](Asked& asked) { closeAllWhileOneWaits(asked, true); }},
        {"Close All of positions an earlier Close All still waits for",
         texts::kCloseAllSendAwaitedAgainQuestion,
         [&](Asked& asked) { closeAllWhileOneWaits(asked, false); }},
        {"ticket order held after a lost line", texts::kTicketSendHeldOrderAgainQuestion,
         [&](Asked& asked) { ticketOrderLost(true, asked); }},
        {"ticket order lost, the lists not yet in", texts::kTicketSendOrderAgainQuestion,
         [&](Asked& asked) { ticketOrderLost(false, asked); }},
    };
    const QString sendsNothing = context->text(texts::kCancel);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Asked asked;
        ASSERT_NO_FATAL_FAILURE(row.ask(asked));
        const int read = asked.read();
        // Return where the question has the focus, as it opened; then the window's button again, and
        // Escape.
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            SCOPED_TRACE(key == Qt::Key_Return ? "Return" : "Escape");
            if (key == Qt::Key_Escape)
                asked.question = asked.again();
            ASSERT_TRUE(asked.question) << "nothing was asked";
            EXPECT_TRUE(readsAs(asked.question->informativeText(), context->text(row.question)))
                << asked.question->informativeText().toStdString();
            ASSERT_TRUE(asked.question->defaultButton());
            EXPECT_EQ(asked.question->defaultButton()->text().toStdString(), sendsNothing.toStdString());
            ASSERT_FALSE(asked.went());
            ASSERT_TRUE(guitest::focusIn(asked.question));
            guitest::pressKey(key);
            EXPECT_TRUE(waitFor([&] { return !asked.question; }));
            EXPECT_FALSE(asked.went());
            EXPECT_EQ(asked.read(), read);
        }
        closeWindows();
    }
}

} // namespace
