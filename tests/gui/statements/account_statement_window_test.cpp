// The account statement window against the in-process test server, signed in as demo: the seeded
// statement of a period in every table, refusals before sending (signed out too), replies of an
// earlier show dropped, hidden columns left out of print, the printed PDF read back; the journal and
// the main window's action.
#include "gui/app/common_alert.h"
#include "gui/app/language.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/controls/date_time_field.h"
#include "gui/login/idle_time.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/server_clock.h"
#include "gui/models/session_fixture.h"
#include "gui/statements/account_statement_window_controller.h"
#include "gui/statements/statement_table_models.h"
#include "gui/statements/table_printer.h"
#include "gui/texts.h"
#include "support/computer_zone.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::AccountStatementWindowController;
using tc::gui::StatementTable;

class NoIdle : public tc::gui::IdleSource {
public:
    std::int64_t idleSeconds() override { return 0; }
};

const QDateTime kJanuary1(QDate(2024, 1, 1), QTime(0, 0));
const QDateTime kJanuary31(QDate(2024, 1, 31), QTime(23, 59, 59));

class StatementWindowTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        window = new AccountStatementWindowController(*context);
        shown = std::make_unique<QSignalSpy>(window, &AccountStatementWindowController::statementShown);
        window->show();
        window->windowDidAppear();
        // The first opening asked for today's statement of the first account at once.
        ASSERT_TRUE(waitFor([&] { return shown->count() == 1; }));
        for (StatementTable table : tc::gui::kStatementTables)
            testers.push_back(std::make_unique<QAbstractItemModelTester>(
                window->tableView(table)->model(), QAbstractItemModelTester::FailureReportingMode::Fatal));
    }
    void TearDown() override {
        testers.clear();
        shown.reset();
        delete window;
        SessionTest::TearDown();
    }

    bool show(const QString& account, const QDateTime& from, const QDateTime& to) {
        window->setAccountText(account);
        window->setPeriod(from, to);
        return window->showAccountStatement();
    }
    bool showAndWait(const QString& account, const QDateTime& from, const QDateTime& to) {
        const int before = shown->count();
        return show(account, from, to) && waitFor([&] { return shown->count() > before; });
    }
    QString cell(StatementTable table, int row, const char* key) const {
        const QAbstractItemModel* model = window->tableView(table)->model();
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->headerData(c, Qt::Horizontal, tc::gui::IdentifierRole).toString() == key)
                return model->index(row, c).data().toString();
        return QStringLiteral("<no column>");
    }
    int rows(StatementTable table) const { return window->tableView(table)->model()->rowCount(); }
    static QString summary(const QTableView* view, int row, int column = 1) {
        return view->model()->index(row, column).data().toString();
    }

    AccountStatementWindowController* window = nullptr;
    std::unique_ptr<QSignalSpy> shown;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
};

TEST_F(StatementWindowTest, ShowsTheSeededStatementOfAPeriodInEveryTable) {
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    EXPECT_EQ(window->selectedAccountId(), 20001);
    EXPECT_TRUE(window->requestStatusText().isEmpty()) << window->requestStatusText().toStdString();

    ASSERT_EQ(rows(StatementTable::OpenPositions), 2);
    EXPECT_EQ(cell(StatementTable::OpenPositions, 0, texts::kPositionIDColumn), "300001");
    EXPECT_EQ(cell(StatementTable::OpenPositions, 0, texts::kSymbol), "EURUSD");
    EXPECT_EQ(cell(StatementTable::OpenPositions, 0, texts::kQuantity), "1.5");
    EXPECT_EQ(cell(StatementTable::OpenPositions, 0, texts::kOpenPrice), "1.08320");
    EXPECT_EQ(cell(StatementTable::OpenPositions, 1, texts::kSide), "S");
    ASSERT_EQ(rows(StatementTable::PendingOrders), 2);
    EXPECT_EQ(cell(StatementTable::PendingOrders, 1, texts::kRefPosition), "300001");
    EXPECT_EQ(cell(StatementTable::PendingOrders, 0, texts::kRefPosition), "0");
    ASSERT_EQ(rows(StatementTable::SettledPositions), 1);
    EXPECT_EQ(cell(StatementTable::SettledPositions, 0, texts::kSettlementID), "320001");
    EXPECT_EQ(cell(StatementTable::SettledPositions, 0, texts::kPL), "125.40");
    // The rate the server converted at, as the main window's settled grid shows it.
    EXPECT_EQ(cell(StatementTable::SettledPositions, 0, texts::kCurrencyRate), "1.00000");
    ASSERT_EQ(rows(StatementTable::CancelledOrders), 1);
    EXPECT_EQ(cell(StatementTable::CancelledOrders, 0, texts::kSymbol), "AUDUSD");
    EXPECT_EQ(cell(StatementTable::CancelledOrders, 0, texts::kPriceField), "0.66500");
    EXPECT_GT(rows(StatementTable::Instruments), 10);

    // The summaries: January's deposits and withdrawal of 20001, its two margin calls.
    const QTableView* account = window->accountSummaryView();
    ASSERT_EQ(account->model()->rowCount(), 16);
    EXPECT_EQ(summary(account, 0), "0.00");
    EXPECT_EQ(summary(account, 1), "10,380.10");
    EXPECT_EQ(summary(account, 2), "-500.00");
    EXPECT_EQ(summary(window->marginSummaryView(), 0), "2");
    EXPECT_EQ(summary(window->orderSummaryView(), 0), "1");
    EXPECT_EQ(summary(window->orderSummaryView(), 3), "1");
    EXPECT_TRUE(window->settledStatusText().startsWith("Quantity : 1     P/L : 125.40     "))
        << window->settledStatusText().toStdString();
    EXPECT_TRUE(window->openStatusText().startsWith("Quantity : 1.7     "))
        << window->openStatusText().toStdString();
    ASSERT_EQ(window->settledPie().slices().size(), 1u);
    EXPECT_EQ(window->openPie().slices().size(), 2u);
}

// Quotes held at the market's: the session values demo's positions as the server's statement does.
class HeldQuotesStatementTest : public StatementWindowTest {
protected:
    HeldQuotesStatementTest() { holdPrices = true; }

    // The value of the summary row with that caption.
    static QString row(const QTableView* view, const QString& caption) {
        for (int r = 0; r < view->model()->rowCount(); ++r)
            if (summary(view, r, 0) == caption)
                return summary(view, r);
        return QStringLiteral("<no row %1>").arg(caption);
    }
    QString label(const char* name) const {
        const auto* found = window->findChild<QLabel*>(name);
        return found ? found->text() : QStringLiteral("<no label>");
    }
};

TEST_F(HeldQuotesStatementTest, OneStatementOfAnAccountWithPositionsAgreesWithItself) {
    // EURUSD bought 1.5 at 1.08320 (bid 1.08500: 270.00), XAUUSD sold 0.2 at 2041.25 (ask 2034.85:
    // 128.00); the group credits the whole floating result.
    const auto floatingCredit = [&] {
        for (const auto& a : session->client().queries().getAccountCollection())
            if (a && a->AccountId == 20001)
                return a->Leverage;
        return 0.0;
    };
    ASSERT_TRUE(waitFor([&] { return std::abs(floatingCredit() - 398) < 0.005; }));
    ASSERT_TRUE(showAndWait("20001", kJanuary1, QDateTime::currentDateTime()));

    // The header: the account's floating credit, named so.
    EXPECT_EQ(label("leverageCaption"), context->text(texts::kFloatingCredit));
    EXPECT_EQ(label("leverageCaption"), "Floating Credit");
    EXPECT_EQ(label("leverageLabel"), "398.00");
    EXPECT_EQ(label("accountNumberLabel"), "20001");

    // The details' totals.
    EXPECT_TRUE(window->openStatusText().startsWith("Quantity : 1.7     P/L : 398.00     "))
        << window->openStatusText().toStdString();
    EXPECT_TRUE(window->settledStatusText().startsWith("Quantity : 1     P/L : 125.40     "))
        << window->settledStatusText().toStdString();

    // The summary agrees with both: the floating result listed, equity the closing balance and it,
    // the settled profit; the movements lead from the opening balance to the closing one.
    const QTableView* account = window->accountSummaryView();
    EXPECT_EQ(row(account, context->text(texts::kFloatingPL)), "398.00");
    EXPECT_EQ(row(account, context->text(texts::kEquity)), "10,398.00");
    EXPECT_EQ(row(account, context->text(texts::kClosingBalance)), "10,000.00");
    EXPECT_EQ(row(account, context->text(texts::kOpeningBalance)), "0.00");
    EXPECT_EQ(row(account, context->text(texts::kSettledPL)), "125.40");
    EXPECT_EQ(row(account, context->text(texts::kDeposit)), "10,380.10");
    EXPECT_EQ(row(account, context->text(texts::kCommission)), "-5.50");
    EXPECT_EQ(row(account, context->text(texts::kWithdrawal)), "-500.00");
    EXPECT_EQ(row(account, context->text(texts::kUsedMargin)), "1.70");
    EXPECT_EQ(row(account, context->text(texts::kAvailableMargin)), "10,396.30");

    // The order summary's figures are lots, and say so.
    const QTableView* orders = window->orderSummaryView();
    EXPECT_EQ(orders->model()->headerData(1, Qt::Horizontal).toString(), context->text(texts::kQuantity));
    EXPECT_EQ(row(orders, context->text(texts::kOpenPositions)), "1.7");
    EXPECT_EQ(row(orders, context->text(texts::kPendingOrders)), "3.5");
    EXPECT_EQ(window->accountSummaryView()->model()->headerData(1, Qt::Horizontal).toString(),
              context->text(texts::kValue));
}

TEST_F(HeldQuotesStatementTest, TheHeadersFloatingCreditIsOfTheMomentTheSummaryShows) {
    const QTableView* account = window->accountSummaryView();
    const auto floatingPL = [&] { return row(account, context->text(texts::kFloatingPL)); };
    // The statement asked for as the window opened, right after the sign-in: the core had not
    // valued the positions yet, the server had.
    ASSERT_EQ(window->selectedAccountId(), 20001);
    EXPECT_EQ(floatingPL(), "398.00");
    EXPECT_EQ(label("leverageLabel"), "398.00") << "the group credits the whole floating result";

    // Valued by the session, then the quote moves on the server before the session hears of it.
    ASSERT_TRUE(waitFor([&] {
        for (const auto& a : session->client().queries().getAccountCollection())
            if (a && a->AccountId == 20001)
                return std::abs(a->Leverage - 398) < 0.005;
        return false;
    }));
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08600", "1.08620"));
    ASSERT_TRUE(showAndWait("20001", kJanuary1, QDateTime::currentDateTime()));
    EXPECT_EQ(floatingPL(), "548.00") << "(1.08600 - 1.08320) × 1.5 × 100000 + 128.00";
    EXPECT_EQ(label("leverageLabel"), floatingPL());
}

TEST_F(HeldQuotesStatementTest, TheHeadersFloatingCreditIsGroupedAsEveryAmountOfTheWindow) {
    // XAUUSD sold 0.2 at 2041.25, now asked at 1941.25: 2,000.00 more than the 128.00 of the seed.
    ASSERT_TRUE(server->setQuote("XAUUSD", "1941.05", "1941.25"));
    ASSERT_TRUE(showAndWait("20001", kJanuary1, QDateTime::currentDateTime()));
    EXPECT_EQ(row(window->accountSummaryView(), context->text(texts::kFloatingPL)), "2,270.00");
    EXPECT_EQ(label("leverageLabel"), "2,270.00");
}

// The header names the account and period of the figures under it: while another show waits, and
// after one that failed, the figures are still the last statement's, and so is the header (and the
// print).
TEST_F(HeldQuotesStatementTest, TheHeaderNamesThePeriodOfTheFiguresItShows) {
    const QString january = QStringLiteral("01/01/2024 - 01/31/2024");
    const QString march = QStringLiteral("03/01/2024 - 03/31/2024");
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    EXPECT_EQ(label("statementPeriodLabel"), january);
    EXPECT_EQ(label("accountNumberLabel"), "20001");

    const int before = shown->count();
    ASSERT_TRUE(show("20003", QDateTime(QDate(2024, 3, 1), QTime(0, 0)),
                     QDateTime(QDate(2024, 3, 31), QTime(23, 0))));
    EXPECT_EQ(label("statementPeriodLabel"), january) << "January's figures are shown while March is awaited";
    EXPECT_EQ(label("accountNumberLabel"), "20001");
    EXPECT_EQ(window->selectedAccountId(), 20001);
    ASSERT_TRUE(waitFor([&] { return shown->count() > before; }));
    EXPECT_EQ(label("statementPeriodLabel"), march);
    EXPECT_EQ(label("accountNumberLabel"), "20003");
    EXPECT_EQ(window->selectedAccountId(), 20003);

    const auto marchFigures = window->shownData()->statement;
    server->refuseDataServiceProcedure("getdsaccountstatement");
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    ASSERT_FALSE(window->requestStatusText().isEmpty()) << "the show failed";
    ASSERT_EQ(window->shownData()->statement, marchFigures);
    EXPECT_EQ(label("statementPeriodLabel"), march);
    EXPECT_EQ(label("accountNumberLabel"), "20003");

    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("statement.pdf"));
    AccountStatementWindowController::setUpPrinter(printer);
    ASSERT_TRUE(window->printTo(printer));
    const QString text = guitest::pdfText(printer.outputFileName());
    EXPECT_TRUE(text.contains("Account : 20003")) << text.toStdString();
    EXPECT_TRUE(text.contains("Period : " + march)) << text.toStdString();
}

// The computer in Kathmandu, 5:45 from the server: the period offered, its present moment and the
// moment the figures are of are the server's, the clock the rows read, so a settlement made just now
// lies inside the period shown.
TEST_F(HeldQuotesStatementTest, ThePeriodAndItsMomentAreOnTheServersClockWhateverTheComputersZone) {
    tc::testing_support::ComputerZone zone("Asia/Kathmandu");
    ASSERT_TRUE(waitFor([&] { return session->serverClock().known(); }));
    const auto serverIds = [&](bool settlements) {
        return server->book().with([&](const testserver::Books& b) {
            std::set<std::int64_t> out;
            if (settlements)
                for (const auto& s : b.settlements)
                    out.insert(s.settlementId);
            else
                for (const auto& p : b.positions)
                    out.insert(p.positionId);
            return out;
        });
    };
    const auto newOf = [](const std::set<std::int64_t>& now, const std::set<std::int64_t>& before) {
        for (const std::int64_t id : now)
            if (!before.contains(id))
                return id;
        return std::int64_t{0};
    };
    const auto positionsBefore = serverIds(false);
    const auto settlementsBefore = serverIds(true);
    interfaces::OrderTicket ticket;
    ticket.instrument = "EURUSD";
    ticket.account = 20001;
    ticket.quantity = *interfaces::Decimal::fromString("1");
    ASSERT_TRUE(session->client().orders().placeOrder(ticket).sent());
    std::int64_t position = 0;
    ASSERT_TRUE(waitFor([&] { return (position = newOf(serverIds(false), positionsBefore)) != 0; }));
    ASSERT_TRUE(waitFor([&] {
        for (const auto& open : session->client().queries().getOpenOrderCollection())
            if (open && open->OpenPositionId == std::to_string(position))
                return true;
        return false;
    }));
    ASSERT_TRUE(session->client()
                    .orders()
                    .closePosition(std::to_string(position), *interfaces::Decimal::fromString("1"))
                    .sent());
    std::int64_t settlement = 0;
    ASSERT_TRUE(waitFor([&] { return (settlement = newOf(serverIds(true), settlementsBefore)) != 0; }));
    // The server writes whole seconds, so the session's reading of its clock may lag its stamp by
    // the part of a second left out: the window is opened once it reads the settlement's second.
    const std::string settledAt = server->book().with([&](const testserver::Books& b) {
        for (const auto& s : b.settlements)
            if (s.settlementId == settlement)
                return s.settledAt;
        return std::string{};
    });
    const QDateTime stamped = QDateTime::fromString(QString::fromStdString(settledAt), "yyyyMMddHHmmss");
    ASSERT_TRUE(stamped.isValid()) << settledAt;
    ASSERT_TRUE(waitFor([&] {
        return session->serverClock().now() >= tc::gui::serverMoment(stamped.date(), stamped.time());
    }));

    window->hide();
    window->show();
    window->windowDidAppear();
    const auto* from = window->findChild<tc::gui::DateTimeField*>(QStringLiteral("fromDatePicker"));
    const auto* to = window->findChild<tc::gui::DateTimeField*>(QStringLiteral("toDatePicker"));
    ASSERT_TRUE(from && to && from->dateTime() && to->dateTime());
    // Universal time is the in-process server's clock.
    const QDateTime utc = QDateTime::currentDateTimeUtc();
    const QDateTime serverNow = tc::gui::serverMoment(utc.date(), utc.time());
    EXPECT_LE(std::abs(to->dateTime()->secsTo(serverNow)), 5) << to->text().toStdString();
    EXPECT_EQ(from->dateTime(), tc::gui::serverMoment(serverNow.date(), QTime(0, 0)));

    window->setAccountText(QStringLiteral("20001"));
    const int before = shown->count();
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("showButton")), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return shown->count() > before; }));
    EXPECT_EQ(label("figuresMomentLabel"), to->text());
    int row = -1;
    for (int r = 0; r < rows(StatementTable::SettledPositions); ++r)
        if (cell(StatementTable::SettledPositions, r, texts::kSettlementID) == QString::number(settlement))
            row = r;
    ASSERT_GE(row, 0) << "the settlement made now is listed";
    const QDateTime read = QDateTime::fromString(cell(StatementTable::SettledPositions, row, texts::kTime),
                                                 QStringLiteral("MM/dd/yyyy HH:mm:ss"));
    ASSERT_TRUE(read.isValid());
    const QDateTime settled = tc::gui::serverMoment(read.date(), read.time());
    EXPECT_LE(*from->dateTime(), settled);
    EXPECT_LE(settled, *to->dateTime());
}

TEST_F(StatementWindowTest, RefusesABackwardPeriodAndAForeignAccountBeforeSending) {
    const auto* before = window->shownData();
    EXPECT_FALSE(show("20001", kJanuary31, kJanuary1));
    QMessageBox* alert = tc::gui::CommonAlert::showing(window, QStringLiteral("statement"));
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->informativeText().contains(context->text(texts::kFromDateMustNotAfter)));
    alert->close();
    // An account pasted with a character no one sees is said to hold it, not to be someone else's.
    QLineEdit* account = window->findChild<QComboBox*>(QStringLiteral("accountComboBox"))->lineEdit();
    QApplication::clipboard()->setText(QStringLiteral("20001\x03"));
    ASSERT_TRUE(guitest::clickInto(account));
    guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
    guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("showButton")), Qt::LeftButton);
    alert = tc::gui::CommonAlert::showing(window, QStringLiteral("statement"));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), context->text(texts::kHoldsCharacterCannotSentControl)
                                            .replace("{0}", context->text(texts::kAccount)));
    alert->close();
    // The trader's account is not the demo's, nor is text that names no account.
    EXPECT_FALSE(show("20011", kJanuary1, kJanuary31));
    EXPECT_FALSE(show("twenty", kJanuary1, kJanuary31));
    EXPECT_EQ(window->selectedAccountId(),
              session->client().queries().getAccountCollection().front()->AccountId);
    EXPECT_EQ(window->shownData(), before) << "nothing was sent, nothing arrived";
}

// The account is read by one rule wherever a character stands: an empty one is said to be empty, a
// tab pasted after it is refused as a character no one sees, as any other control character is.
TEST_F(StatementWindowTest, AnEmptyAccountAndOneWithAPastedTabAreRefusedWithTheirReasons) {
    const auto* before = window->shownData();
    auto* box = window->findChild<QComboBox*>(QStringLiteral("accountComboBox"));
    QLineEdit* account = box->lineEdit();
    auto* showButton = window->findChild<QPushButton*>(QStringLiteral("showButton"));
    const auto refusal = [&] {
        QTest::mouseClick(showButton, Qt::LeftButton);
        QMessageBox* alert = tc::gui::CommonAlert::showing(window, QStringLiteral("statement"));
        const QString text = alert ? alert->informativeText() : QString();
        if (alert)
            alert->close();
        return text;
    };
    ASSERT_TRUE(guitest::clickInto(account));
    guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
    guitest::pressKey(Qt::Key_Delete);
    const QString empty = context->text(texts::kIsEmpty92600).replace("{0}", context->text(texts::kAccount));
    EXPECT_EQ(box->toolTip(), empty) << "marked before any show";
    EXPECT_EQ(refusal(), empty);
    for (const QString& pasted : {QStringLiteral("20003\t"), QStringLiteral("2000\x01")}) {
        QApplication::clipboard()->setText(pasted);
        ASSERT_TRUE(guitest::clickInto(account));
        guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
        guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(refusal(), context->text(texts::kHoldsCharacterCannotSentControl)
                                 .replace("{0}", context->text(texts::kAccount)))
            << pasted.toStdString();
    }
    EXPECT_EQ(window->shownData(), before) << "nothing was sent";
}

// The to-date left at the present moment follows it: opened again later it reads that later moment,
// while shown it keeps up with it, and Show asks up to the moment of the show, which "Figures as of"
// then names. The window's clock is moved by hand, so each is seen on its own.
TEST_F(StatementWindowTest, ToLeftAtThePresentMomentCoversUpToTheShow) {
    auto* to = window->findChild<tc::gui::DateTimeField*>(QStringLiteral("toDatePicker"));
    ASSERT_TRUE(to) << "a field that takes a date as typed";
    const QDateTime real = QDateTime::currentDateTime().addDays(-1);
    QDateTime now(real.date(), QTime(real.time().hour(), real.time().minute(), real.time().second()));
    window->setClock([&] { return now; });
    const auto reopen = [&] {
        window->hide();
        window->show();
        window->windowDidAppear();
    };
    reopen();
    EXPECT_EQ(to->dateTime(), now);

    now = now.addSecs(3600);
    reopen();
    EXPECT_EQ(to->dateTime(), now) << "not the moment the window last opened";

    now = now.addSecs(60);
    EXPECT_TRUE(waitFor([&] { return to->dateTime() == now; })) << "it follows the moment while shown";

    // Show pressed an hour later, before the field's next second: the request reads the moment of
    // the press.
    now = now.addSecs(3600);
    const int before = shown->count();
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("showButton")), Qt::LeftButton);
    EXPECT_EQ(to->dateTime(), now);
    ASSERT_TRUE(waitFor([&] { return shown->count() > before; }));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("figuresMomentLabel"))->text(), to->text());
}

// A date is taken as typed, or refused with its reason and marked; never read as another date.
TEST_F(StatementWindowTest, ATypedDateIsTakenAsTypedOrRefusedWithItsReason) {
    auto* from = window->findChild<QLineEdit*>(QStringLiteral("fromDatePicker"));
    auto* to = window->findChild<QLineEdit*>(QStringLiteral("toDatePicker"));
    ASSERT_TRUE(from && to) << "fields that take a date as typed";
    const auto typeInto = guitest::retype;
    const QString format = QStringLiteral("MM/dd/yyyy HH:mm:ss");
    const QDate today = QDate::currentDate();
    const QString typedFrom = QDateTime(today.addDays(-24), QTime(8, 30)).toString(format);
    const QString typedTo = QDateTime(today.addDays(-1), QTime(0, 14)).toString(format);
    typeInto(from, typedFrom);
    typeInto(to, typedTo);
    EXPECT_EQ(from->text(), typedFrom);
    EXPECT_EQ(to->text(), typedTo);
    const int before = shown->count();
    ASSERT_TRUE(window->showAccountStatement());
    ASSERT_TRUE(waitFor([&] { return shown->count() > before; }));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("figuresMomentLabel"))->text(), typedTo);

    // Text that is no date (no 30th of February) stays as typed, marked, and Show says why.
    const QString noDate = QStringLiteral("02/30/2026 10:00:00");
    typeInto(from, noDate);
    EXPECT_EQ(from->text(), noDate);
    EXPECT_TRUE(from->toolTip().startsWith(context->text(texts::kFromDateNotDateTime).section('{', 0, 0)))
        << from->toolTip().toStdString();
    EXPECT_FALSE(window->showAccountStatement());
    QMessageBox* refused = tc::gui::CommonAlert::showing(window, QStringLiteral("statement"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->informativeText(), from->toolTip());
    refused->close();
    typeInto(from, typedFrom);

    // A to-date past the present moment stays as typed, marked, and Show says why.
    const QString future = QDateTime(today.addYears(1), QTime(0, 0)).toString(format);
    typeInto(to, future);
    EXPECT_EQ(to->text(), future);
    EXPECT_TRUE(
        to->toolTip().startsWith(context->text(texts::kDateCannotAfterPresentMoment).section('{', 0, 0)))
        << to->toolTip().toStdString();
    EXPECT_FALSE(window->showAccountStatement());
    QMessageBox* alert = tc::gui::CommonAlert::showing(window, QStringLiteral("statement"));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), to->toolTip());
    alert->close();
    EXPECT_EQ(to->text(), future);
}

// Escape closes the window, as every window's does: at once with nothing typed to lose; with a date
// typed it asks, a second Escape keeps it, and Discard drops it, so the window opens again as new
// (on the first account, the account chosen since dropped with it).
TEST_F(StatementWindowTest, EscapeClosesTheWindow) {
    ASSERT_TRUE(guitest::waitForExposed(window));
    auto* account = window->findChild<QComboBox*>(QStringLiteral("accountComboBox"));
    auto* from = window->findChild<QLineEdit*>(QStringLiteral("fromDatePicker"));
    ASSERT_TRUE(account && from);
    const QString first = account->currentText();
    const QString today = from->text();
    account->setCurrentIndex(1);
    ASSERT_NE(account->currentText(), first);
    guitest::typeOver(from, "01/02/2024 00:00:00");
    EXPECT_TRUE(guitest::secondEscapeKeeps(window, context->text(texts::kKeepEditing)));
    EXPECT_EQ(from->text(), "01/02/2024 00:00:00");
    EXPECT_TRUE(guitest::escapeAndDiscard(from, context->text(texts::kDiscard)));
    window->show();
    window->windowDidAppear();
    EXPECT_EQ(account->currentText(), first);
    EXPECT_EQ(from->text(), today);
    ASSERT_TRUE(guitest::focusIn(window));
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_FALSE(guitest::alertShowingOn(window));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(StatementWindowTest, SignedOutAShowIsRefusedAtOnceInsteadOfWaitingForGood) {
    const auto* before = window->shownData();
    const QString status = window->requestStatusText();
    session->signOut();
    ASSERT_TRUE(waitFor([&] { return signalledState == interfaces::LoginState::SignedOut; }));
    EXPECT_FALSE(show("20001", kJanuary1, kJanuary31));
    QMessageBox* alert = tc::gui::CommonAlert::showing(window, QStringLiteral("statement"));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), context->text(texts::kNoConnectionTradingServer));
    EXPECT_EQ(window->requestStatusText(), status) << "nothing is awaited";
    EXPECT_EQ(window->shownData(), before);
}

// Opened again signed out, the pickers go back to today while the figures, still January's, say so.
TEST_F(StatementWindowTest, OpenedAgainSignedOutItSaysTheMomentItsFiguresAreOf) {
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    auto* caption = window->findChild<QLabel*>(QStringLiteral("figuresMomentCaption"));
    auto* moment = window->findChild<QLabel*>(QStringLiteral("figuresMomentLabel"));
    ASSERT_TRUE(caption && moment);
    EXPECT_EQ(caption->text(), context->text(texts::kFiguresAsOf));
    const auto* figures = window->shownData();
    session->signOut();
    ASSERT_TRUE(waitFor([&] { return signalledState == interfaces::LoginState::SignedOut; }));
    window->hide();
    window->show();
    window->windowDidAppear();
    EXPECT_EQ(window->shownData(), figures);
    EXPECT_TRUE(moment->isVisible());
    EXPECT_EQ(moment->text(), "01/31/2024 23:59:59");
}

TEST_F(StatementWindowTest, TwoShowsInARowShowOnlyTheSecondsReplies) {
    const int before = shown->count();
    ASSERT_TRUE(show("20001", kJanuary1, kJanuary31));
    ASSERT_TRUE(show("20003", QDateTime(QDate(2024, 3, 1), QTime(0, 0)),
                     QDateTime(QDate(2024, 3, 31), QTime(23, 0))));
    ASSERT_TRUE(waitFor([&] { return shown->count() > before; }));
    EXPECT_EQ(shown->count(), before + 1);
    // The data service answers in order: the first show's replies came and went unseen.
    EXPECT_EQ(rows(StatementTable::OpenPositions), 0);
    EXPECT_EQ(rows(StatementTable::CancelledOrders), 0);
    const QTableView* account = window->accountSummaryView();
    ASSERT_EQ(account->model()->rowCount(), 18) << "March of 20003 has daily and monthly TDS";
    EXPECT_EQ(summary(account, 8, 0), "Daily TDS");
    EXPECT_EQ(summary(account, 1), "1,500.00");
}

TEST_F(StatementWindowTest, ARefusedRequestShowsItsErrorInsteadOfWaiting) {
    const auto statementBefore = window->shownData()->statement;
    server->refuseDataServiceProcedure("getdsaccountstatement");
    // Said whole in the trader's language, the reason the core gives too.
    ASSERT_TRUE(context->language().select(7)); // French
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    EXPECT_EQ(
        window->requestStatusText(),
        QStringLiteral("Le relevé n'a pas pu être chargé : Le service de données a refusé la demande."));
    ASSERT_TRUE(context->language().select(0));
    // The cancelled orders came; the statement shown is still the one of before.
    EXPECT_EQ(rows(StatementTable::CancelledOrders), 1);
    EXPECT_EQ(window->shownData()->statement, statementBefore);
}

TEST_F(StatementWindowTest, PrintsTheStatementWithoutItsHiddenColumns) {
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    QMenu* menu = window->headerMenu(StatementTable::OpenPositions);
    ASSERT_TRUE(menu);
    EXPECT_FALSE(window->headerMenu(StatementTable::Instruments));
    QAction* marketPrice = menu->findChild<QAction*>("column_0147");
    ASSERT_TRUE(marketPrice);
    QTableView* open = window->tableView(StatementTable::OpenPositions);
    const auto* model = static_cast<tc::gui::StatementTableModel*>(open->model());
    marketPrice->trigger();
    EXPECT_FALSE(marketPrice->isChecked());
    EXPECT_TRUE(open->isColumnHidden(model->columnOf(texts::kMarketPrice)));
    marketPrice->trigger();
    EXPECT_FALSE(open->isColumnHidden(model->columnOf(texts::kMarketPrice)));
    marketPrice->trigger();

    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("statement.pdf"));
    AccountStatementWindowController::setUpPrinter(printer);
    ASSERT_TRUE(window->printTo(printer));
    const QString text = guitest::pdfText(printer.outputFileName());
    ASSERT_FALSE(text.isEmpty());
    for (const char* expected :
         {"Account : 20001", "Account Name : Demo USD", "Period : 01/01/2024 - 01/31/2024",
          "1 Loopback Lane, Localhost", "Tradeclient Markets Ltd"})
        EXPECT_TRUE(text.contains(expected)) << expected;
    for (const char* heading :
         {texts::kAccountSummary, texts::kOrderSummary, texts::kMarginSummary, texts::kInstruments,
          texts::kSettledPositions, texts::kOpenPositions, texts::kPendingOrders, texts::kCancelledOrders})
        EXPECT_TRUE(text.contains(context->text(heading))) << heading;
    // Known rows, and the status lines.
    for (const char* row : {"320001", "300001", "310002", "309001", "125.40", "TDS : 0.00"})
        EXPECT_TRUE(text.contains(row)) << row;
    EXPECT_FALSE(text.contains(context->text(texts::kMarketPrice))) << "a hidden column is not printed";
}

// The order names read in the language chosen, on screen and in print, and back in English; the
// section cells the window works from stay English.
TEST_F(StatementWindowTest, OrderNamesFollowTheLanguage) {
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    const auto names = [&] {
        QStringList out;
        for (const char* column : {texts::kSide, texts::kType, texts::kTimeInForce, texts::kDelivery})
            out << cell(StatementTable::PendingOrders, 0, column);
        out << cell(StatementTable::OpenPositions, 1, texts::kSide)
            << cell(StatementTable::CancelledOrders, 0, texts::kType);
        return out;
    };
    const QStringList english = names();
    EXPECT_EQ(english, (QStringList{"B", "Limit", "Day", "Regular", "S", "Limit"}));
    QTableView* pending = window->tableView(StatementTable::PendingOrders);
    QSignalSpy changed(pending->model(), &QAbstractItemModel::dataChanged);

    ASSERT_TRUE(context->language().select(7)); // French
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(names(), (QStringList{"A", "Limite", "Jour", "Normal", "V", "Limite"}));
    const tc::gui::PrintRows printed = tc::gui::printRowsOf(*pending, 7, tc::gui::IdentifierRole);
    ASSERT_GE(printed.size(), 2u);
    EXPECT_NE(std::find(printed[1].begin(), printed[1].end(), "Limite"), printed[1].end());
    EXPECT_EQ(tc::gui::statementCell(*window->shownData(), StatementTable::PendingOrders, 0, texts::kType),
              "Limit");

    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(names(), english);
}

TEST_F(StatementWindowTest, TheMainWindowOpensOneStatementWindowAndShowsTheJournal) {
    NoIdle idle;
    tc::gui::MainWindowController main(*context, &idle);
    QAction* action = main.findChild<QAction*>("actionAccountStatement");
    ASSERT_TRUE(action);
    EXPECT_TRUE(action->isEnabled());
    action->trigger();
    AccountStatementWindowController* statement = main.statementWindow();
    ASSERT_TRUE(statement);
    EXPECT_TRUE(statement->isVisible());
    action->trigger();
    EXPECT_EQ(main.statementWindow(), statement);

    // The journal: the login's lines, newest first, split at their separator.
    const std::vector<std::string>& lines = session->client().journal();
    ASSERT_FALSE(lines.empty());
    QAbstractItemModel* journal = main.journalTable()->model();
    QAbstractItemModelTester tester(journal, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(journal->rowCount(), static_cast<int>(lines.size()));
    const std::string& newest = lines.back();
    EXPECT_EQ(journal->index(0, 0).data().toString().toStdString(), newest.substr(0, newest.find("#$#")));
    EXPECT_FALSE(journal->index(0, 1).data().toString().contains("#$#"));
}

// What the window shows but its period: the accounts offered, the account's lines, every summary and
// table cell.
std::string lookOf(const AccountStatementWindowController& window) {
    QStringList look;
    const auto* accounts = window.findChild<QComboBox*>("accountComboBox");
    for (int i = 0; i < accounts->count(); ++i)
        look << QStringLiteral("account ") + accounts->itemText(i);
    look << QStringLiteral("chosen ") + accounts->currentText();
    for (const char* name : {"accountNumberLabel", "leverageLabel", "addressLabel", "companyAddressLabel",
                             "requestStatusLabel", "openStatusLabel", "closedStatusLabel"})
        look << QLatin1String(name) + QLatin1Char(' ') +
                    window.findChild<QLabel*>(QLatin1String(name))->text();
    std::vector<const QTableView*> views = {window.accountSummaryView(), window.orderSummaryView(),
                                            window.marginSummaryView()};
    for (StatementTable table : tc::gui::kStatementTables)
        views.push_back(window.tableView(table));
    for (const QTableView* view : views) {
        const QAbstractItemModel* model = view->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < model->columnCount(); ++c)
                row << model->index(r, c).data().toString();
            look << view->objectName() + QLatin1Char(' ') + row.join(QLatin1Char('|'));
        }
    }
    return look.join(QLatin1Char('\n')).toStdString();
}

TEST_F(HeldQuotesStatementTest, AfterASignInAsAnotherUserItShowsWhatItFirstShowsThatUser) {
    ASSERT_TRUE(showAndWait("20001", kJanuary1, kJanuary31));
    const std::string demo = lookOf(*window);
    const int before = shown->count();
    // A new client for another user; the window stays open.
    ASSERT_TRUE(signIn("trader", "trader1234"));
    EXPECT_TRUE(waitFor([&] { return shown->count() > before; }));
    // A window first opened now.
    AccountStatementWindowController fresh(*context);
    QSignalSpy freshShown(&fresh, &AccountStatementWindowController::statementShown);
    ASSERT_TRUE(waitFor([&] { return freshShown.count() == 1; }));
    EXPECT_EQ(lookOf(*window), lookOf(fresh));
    EXPECT_NE(lookOf(*window), demo);
    const auto accounts = session->client().queries().getAccountCollection();
    ASSERT_FALSE(accounts.empty());
    EXPECT_EQ(window->selectedAccountId(), accounts.front()->AccountId);
    EXPECT_EQ(window->findChild<QComboBox*>("accountComboBox")->count(), static_cast<int>(accounts.size()));
    EXPECT_EQ(lookOf(*window).find("account 20002"), std::string::npos);
}

TEST(JournalTableModel, ALineAddedIsInsertedAtTheTop) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    tc::gui::Language language(*defaults);
    tc::gui::JournalTableModel model(language);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    std::vector<std::string> lines = {"10:00:01#$#Login"};
    model.setLines(&lines);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Time");
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    lines.push_back("10:00:02#$#Order 7#$#");
    model.lineAppended();
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.front().at(1).toInt(), 0);
    EXPECT_EQ(model.index(0, 1).data().toString(), "Order 7");
    EXPECT_EQ(model.index(1, 1).data().toString(), "Login");
    model.setLines(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
