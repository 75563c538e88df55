// The detail window against the in-process test server, signed in as demo: receipts of real
// positions printed to PDF, the instrument panes, and records that go away.
#include "gui/app/common_alert.h"
#include "gui/market/detail_window_controller.h"
#include "gui/models/session_fixture.h"
#include "model/records/item_details.h"
#include "model/session_model.h"

#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>

namespace {

using guitest::waitFor;
using tc::gui::DetailType;
using tc::gui::DetailWindowController;

class DetailWindowTest : public guitest::SessionTest {
protected:
    // A position on 20003, an account without bank details.
    void seedMarket(testserver::Market& market) override {
        auto position = market.positions.front(); // 300001, 20001, EURUSD 1.5 at 1.08320
        position.positionId = 300077;
        position.accountId = 20003;
        market.positions.push_back(position);
    }
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        ASSERT_TRUE(
            waitFor([&] { return session->client().queries().getOpenOrderCollection().size() >= 3; }, 15000));
        owner = new QWidget;
        owner->resize(800, 600);
        owner->show();
    }

    static std::string valueOf(const DetailWindowController& window, const std::string& caption) {
        const QTableWidget* table = window.detailTableView();
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, 0)->text().toStdString() == caption)
                return table->item(row, 1)->text().toStdString();
        return "<no row>";
    }
    QMessageBox* goneAlert() const {
        return tc::gui::CommonAlert::showing(owner, QStringLiteral("detailRecordGone"));
    }

    QWidget* owner = nullptr;
};

TEST_F(DetailWindowTest, DeliveryReceiptOfARealPositionPrintsToPdf) {
    DetailWindowController* receipt = tc::gui::openDeliveryReceipt(*context, owner, "300001");
    ASSERT_TRUE(receipt);
    EXPECT_TRUE(receipt->isVisible());
    EXPECT_EQ(receipt->windowModality(), Qt::WindowModal);
    EXPECT_EQ(receipt->findChild<QLabel*>("titleTextField")->text(), "Delivery Receipt:");
    // The bank rows fill in when the account's bank details arrive.
    ASSERT_TRUE(waitFor([&] { return valueOf(*receipt, "Bank Name") == "First Loopback Bank"; }));
    EXPECT_EQ(valueOf(*receipt, "Bank Account Number"), "123456789");
    EXPECT_EQ(valueOf(*receipt, "Position ID"), "300001");
    EXPECT_EQ(valueOf(*receipt, "Account No."), "20001");
    EXPECT_EQ(valueOf(*receipt, "Quantity"), "1.5");
    EXPECT_EQ(valueOf(*receipt, "Price"), "1.08320");
    // 1.5 lots of 100,000 at 1.08320.
    EXPECT_EQ(valueOf(*receipt, "Total Cost"), "162480 (one hundred sixty-two thousand four hundred eighty)");
    EXPECT_NE(valueOf(*receipt, "Initial Margin"), "");

    // The print button opens the print dialog on the window; confirming it prints.
    QTemporaryDir dir;
    const QString pdf = dir.filePath("receipt.pdf");
    receipt->printer().setOutputFormat(QPrinter::PdfFormat);
    receipt->printer().setOutputFileName(pdf);
    receipt->findChild<QPushButton*>("printButton")->click();
    QPrintDialog* dialog = receipt->findChild<QPrintDialog*>();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(waitFor([&] { return dialog->isVisible(); }));
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    dialog->accept();
    ASSERT_TRUE(waitFor([&] { return QFileInfo(pdf).size() > 0; }));
    const QString text = guitest::pdfText(pdf);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.contains("Delivery Receipt")) << "the job's title heads the page";
    for (const tc::gui::DetailRow& row : receipt->content().rows) {
        EXPECT_TRUE(text.contains(QString::fromStdString(row.caption))) << row.caption;
        EXPECT_TRUE(text.contains(QString::fromStdString(row.value))) << row.caption << ": " << row.value;
    }

    // Reopened for a position of an account without bank details: no other account's bank shows,
    // neither before the reply nor after it.
    QSignalSpy banks(session.get(), &tc::gui::ClientModel::bankDetailsArrived);
    EXPECT_EQ(tc::gui::openDeliveryReceipt(*context, owner, "300077"), receipt)
        << "the owner's receipt is reused";
    EXPECT_EQ(valueOf(*receipt, "Account No."), "20003");
    EXPECT_EQ(valueOf(*receipt, "Bank Name"), "");
    ASSERT_TRUE(waitFor([&] { return banks.count() > 0; }));
    EXPECT_EQ(valueOf(*receipt, "Bank Name"), "");
    EXPECT_EQ(valueOf(*receipt, "Bank Account Number"), "");
}

TEST_F(DetailWindowTest, AReceiptWhosePositionGoesClosesWithAMessage) {
    // Opened twice and closed, a receipt no longer follows its position.
    DetailWindowController* receipt = tc::gui::openDeliveryReceipt(*context, owner, "300001");
    ASSERT_TRUE(receipt);
    ASSERT_EQ(tc::gui::openDeliveryReceipt(*context, owner, "300001"), receipt);
    receipt->reject();
    QSignalSpy gone(receipt, &DetailWindowController::recordGone);
    ASSERT_TRUE(
        session->client().orders().closePosition("300001", *interfaces::Decimal::fromString("1.5")).sent());
    ASSERT_TRUE(waitFor(
        [&] {
            return !tc::gui::findPosition(session->client().queries().getOpenOrderCollection(), "300001");
        },
        15000));
    EXPECT_EQ(gone.count(), 0);
    EXPECT_FALSE(goneAlert());

    // Showing, with its print dialog open: both close, and the owner is told.
    ASSERT_EQ(tc::gui::openDeliveryReceipt(*context, owner, "300002"), receipt);
    receipt->print();
    QPointer<QPrintDialog> dialog = receipt->findChild<QPrintDialog*>();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(
        session->client().orders().closePosition("300002", *interfaces::Decimal::fromString("0.2")).sent());
    ASSERT_TRUE(waitFor([&] { return gone.count() == 1; }, 15000));
    EXPECT_FALSE(receipt->isVisible());
    EXPECT_TRUE(!dialog || !dialog->isVisible());
    QMessageBox* alert = goneAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "Position or order 300002 is no longer held.");
    alert->accept();

    // The executed list still holds it: its receipt opens.
    DetailWindowController* executed =
        tc::gui::openDeliveryReceipt(*context, owner, "300002", tc::gui::ReceiptOf::ExecutedPosition);
    ASSERT_TRUE(executed);
    EXPECT_EQ(valueOf(*executed, "Position ID"), "300002");
    executed->reject();

    // A position the session does not hold: a message, no window.
    ASSERT_TRUE(waitFor([&] { return !goneAlert(); }));
    EXPECT_EQ(tc::gui::openDeliveryReceipt(*context, owner, "999999"), nullptr);
    ASSERT_TRUE(goneAlert());
    EXPECT_TRUE(goneAlert()->text().contains("999999"));
}

TEST_F(DetailWindowTest, InstrumentPanesShowTheInstrumentsFields) {
    const tc::ItemDetails& gold = **session->client().model().ItemCollection.get("XAUUSD");
    DetailWindowController* details = tc::gui::openInstrumentDetail(*context, owner, "XAUUSD");
    ASSERT_TRUE(details);
    EXPECT_EQ(details->findChild<QLabel*>("titleTextField")->text(), "Instrument Details:");
    EXPECT_EQ(valueOf(*details, "Symbol"), "XAUUSD");
    EXPECT_EQ(valueOf(*details, "Name"), gold.Name);
    EXPECT_EQ(valueOf(*details, "Name"), "Gold / US Dollar");
    EXPECT_EQ(valueOf(*details, "Contract Size"), "100");
    EXPECT_EQ(valueOf(*details, "Type"), gold.InstrumentTypeName);
    details->reject();

    // The market-sessions pane asks for the market's schedule and fills in when it arrives.
    QSignalSpy schedules(session.get(), &tc::gui::ClientModel::sessionScheduleArrived);
    DetailWindowController* sessions =
        tc::gui::openInstrumentDetail(*context, owner, "US500", DetailType::MarketSessions);
    ASSERT_TRUE(sessions);
    EXPECT_EQ(sessions, details) << "the owner's instrument window is reused";
    EXPECT_TRUE(sessions->content().needsSchedule);
    ASSERT_TRUE(waitFor([&] { return sessions->detailTableView()->rowCount() > 0; }, 30000));
    EXPECT_EQ(schedules.count(), 1) << "asked once";
    EXPECT_FALSE(sessions->content().needsSchedule);
    // The market's days 1 and 5 of the week.
    EXPECT_EQ(sessions->content().rows,
              (std::vector<tc::gui::DetailRow>{{"Monday", "14:30 - 21:00"}, {"Friday", "14:30 - 21:00"}}));

    // A code the session does not hold: a message, no window.
    sessions->reject();
    EXPECT_EQ(tc::gui::openInstrumentDetail(*context, owner, "NOPE"), nullptr);
    EXPECT_TRUE(goneAlert());
}

TEST_F(DetailWindowTest, DepositInformationAndAReplacedSessionClose) {
    DetailWindowController* info = tc::gui::openDepositWithdrawalInfo(
        *context, owner,
        {{"Amount", "2500.00"},
         {"Remarks", "A long remark that wraps onto several lines of the value column "
                     "when the window is narrow enough to need it"}});
    ASSERT_TRUE(info);
    EXPECT_EQ(info->detailViewType(), DetailType::DepositWithdrawalInfo);
    EXPECT_EQ(valueOf(*info, "Amount"), "2500.00");
    info->resize(360, 300);
    ASSERT_TRUE(waitFor([&] {
        return info->detailTableView()->rowHeight(1) > info->detailTableView()->rowHeight(0);
    })) << "a long value wraps and its row grows";
    info->reject();

    DetailWindowController* receipt = tc::gui::openDeliveryReceipt(*context, owner, "300001");
    ASSERT_TRUE(receipt);
    session->replaceClient();
    EXPECT_FALSE(receipt->isVisible()) << "the old session's records are let go of";
    EXPECT_FALSE(goneAlert());
}

// Opened before the data service's instrument list is in, the market-sessions pane waits for the
// instrument's market rather than ask for market 0, then asks once and fills in.
class DetailWindowBeforeTheInstrumentListTest : public guitest::SessionTest {};

TEST_F(DetailWindowBeforeTheInstrumentListTest, MarketSessionsAskOnceTheMarketIsKnown) {
    server->setDataServiceSilent(true);
    context->setClientModel(session.get());
    ASSERT_TRUE(signIn());
    ASSERT_EQ((*session->client().model().ItemCollection.get("US500"))->marketID, 0u);
    QWidget owner;
    owner.show();
    QSignalSpy schedules(session.get(), &tc::gui::ClientModel::sessionScheduleArrived);
    DetailWindowController* sessions =
        tc::gui::openInstrumentDetail(*context, &owner, "US500", DetailType::MarketSessions);
    ASSERT_TRUE(sessions);
    EXPECT_TRUE(sessions->content().needsSchedule);
    server->setDataServiceSilent(false);
    ASSERT_TRUE(waitFor([&] { return sessions->detailTableView()->rowCount() > 0; }));
    EXPECT_EQ(schedules.count(), 1);
    const auto asked = server->stats().procedures;
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "getsessionschedule"), 1);
    EXPECT_EQ(sessions->content().rows,
              (std::vector<tc::gui::DetailRow>{{"Monday", "14:30 - 21:00"}, {"Friday", "14:30 - 21:00"}}));
}

} // namespace
