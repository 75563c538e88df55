// The server's clock in the hour the computer's zone skips (the computer in Berlin, the server at
// 02:01 on the night Berlin goes from 02:00 to 03:00): every window that shows or takes the server's
// time reads it as the status bar does, never moved to the computer's 03:00.
#include "gui/controls/date_time_field.h"
#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/deposits_withdrawals_window_controller.h"
#include "gui/grid/grid_pane.h"
#include "gui/login/idle_time.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/server_clock.h"
#include "gui/models/session_fixture.h"
#include "gui/statements/account_statement_window_controller.h"
#include "support/computer_zone.h"

#include <QLabel>
#include <QTableView>

#include <optional>

namespace {

using guitest::waitFor;
using tc::gui::DateTimeField;

class NoIdle : public tc::gui::IdleSource {
public:
    std::int64_t idleSeconds() override { return 0; }
};

const QDate kSkipDay(2027, 3, 28);

class SkippedHourTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        zone.emplace("Europe/Berlin");
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        ASSERT_TRUE(waitFor([&] { return session->serverClock().known(); }));
    }
    void TearDown() override {
        SessionTest::TearDown();
        zone.reset();
    }
    void serverOptions(testserver::ServerOptions& options) override {
        options.clockFrom = tc::wallTimeFromWire("20270328020100");
    }
    static DateTimeField* field(QWidget* window, const char* name) {
        return window->findChild<DateTimeField*>(QString::fromLatin1(name));
    }
    static QString label(QWidget* window, const char* name) {
        const auto* found = window->findChild<QLabel*>(QString::fromLatin1(name));
        return found ? found->text() : QStringLiteral("<no label>");
    }

    std::optional<tc::testing_support::ComputerZone> zone;
};

TEST_F(SkippedHourTest, EveryWindowReadsTheServersClockInTheHourTheComputersZoneSkips) {
    // The run takes minutes: the server's clock stays inside its 02:00 hour.
    const QString inTheHour = QStringLiteral("03/28/2027 02:");
    const QDateTime now = session->serverNow();
    EXPECT_EQ(now.date(), kSkipDay);
    EXPECT_EQ(now.time().hour(), 2);

    NoIdle idle;
    tc::gui::MainWindowController main(*context, &idle);
    main.show();
    EXPECT_TRUE(waitFor([&] { return label(&main, "ServerTimeTextField").startsWith("Mar 28, 2027 02:"); }))
        << label(&main, "ServerTimeTextField").toStdString();
    ASSERT_TRUE(main.gridPane(tc::gui::Grid::ExecutedPositions));
    EXPECT_EQ(main.gridPane(tc::gui::Grid::ExecutedPositions)->searchDay(), kSkipDay);

    // The statement: today's period to the present moment, and the moment its figures are of.
    main.AccountStatementButtonClicked();
    tc::gui::AccountStatementWindowController* statement = main.statementWindow();
    ASSERT_TRUE(statement);
    DateTimeField* from = field(statement, "fromDatePicker");
    DateTimeField* to = field(statement, "toDatePicker");
    ASSERT_TRUE(from && to);
    EXPECT_EQ(from->text(), "03/28/2027 00:00:00");
    EXPECT_TRUE(to->text().startsWith(inTheHour)) << to->text().toStdString();
    ASSERT_TRUE(waitFor([&] { return !label(statement, "figuresMomentLabel").isEmpty(); }));
    EXPECT_TRUE(label(statement, "figuresMomentLabel").startsWith(inTheHour))
        << label(statement, "figuresMomentLabel").toStdString();
    EXPECT_EQ(label(statement, "statementPeriodLabel"), "03/28/2027 - 03/28/2027");
    // A time typed in the hour is a time, checked against the server's present moment.
    to->setFocus();
    guitest::retype(to, QStringLiteral("03/28/2027 02:59:59"));
    ASSERT_TRUE(to->dateTime());
    EXPECT_EQ(to->dateTime()->time(), QTime(2, 59, 59));
    EXPECT_TRUE(to->toolTip().contains(inTheHour)) << to->toolTip().toStdString();
    EXPECT_FALSE(to->toolTip().contains(QStringLiteral("03/28/2027 03:"))) << to->toolTip().toStdString();

    // The funding history: the server's day, a time in the hour taken as typed, and the example of
    // a date to type is the server's present moment.
    main.DepositsWithdrawalsButtonClicked();
    tc::gui::DepositsWithdrawalsWindowController* history = main.fundingHistoryWindow();
    ASSERT_TRUE(history);
    EXPECT_EQ(history->fromDate(), tc::gui::serverMoment(kSkipDay, QTime(0, 0)));
    EXPECT_EQ(history->toDate(), tc::gui::serverMoment(kSkipDay, QTime(23, 59, 59)));
    DateTimeField* historyFrom = field(history, "fromDatePicker");
    ASSERT_TRUE(historyFrom);
    historyFrom->setFocus();
    guitest::retype(historyFrom, QStringLiteral("03/28/2027 02:30:00"));
    EXPECT_EQ(history->fromDate(), tc::gui::serverMoment(kSkipDay, QTime(2, 30)));
    EXPECT_TRUE(historyFrom->toolTip().isEmpty()) << historyFrom->toolTip().toStdString();
    guitest::retype(historyFrom, QStringLiteral("03/28/2027 2:30"));
    EXPECT_TRUE(historyFrom->toolTip().contains(inTheHour)) << historyFrom->toolTip().toStdString();

    // A bank deposit's date is offered at the server's present moment.
    tc::gui::DepositRequestWindowController* deposit = main.newDepositRequest();
    ASSERT_TRUE(deposit);
    DateTimeField* depositDate = field(deposit, "depositDatePicker");
    ASSERT_TRUE(depositDate);
    EXPECT_TRUE(depositDate->text().startsWith(inTheHour)) << depositDate->text().toStdString();
    deposit->close();

    // The journal's lines are stamped with the same clock.
    QAbstractItemModel* journal = main.journalTable()->model();
    ASSERT_GT(journal->rowCount(), 0);
    bool stamped = false;
    for (int column = 0; column < journal->columnCount(); ++column)
        stamped = stamped || journal->index(0, column).data().toString().contains("Mar 28, 2027 02:");
    EXPECT_TRUE(stamped);
}

} // namespace
