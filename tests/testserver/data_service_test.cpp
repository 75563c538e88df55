// The data service and the instrument-status feed of the test server, asked over real ZeroMQ
// sockets; replies are cut into records and columns by hand, and read once more with the client's
// own parsers to show both ends agree.
#include "model/records/financial_approval.h"
#include "resources/resource_files.h"
#include "testserver/server_peer.h"

#include "market.h"
#include "model/records/history_rows.h"
#include "model/records/wall_time.h"
#include "session/data_service/data_service_replies.h"
#include "statements/statement_reader.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <zmq.h>

namespace {

using namespace tc;
using namespace std::chrono_literals;

using Row = std::vector<std::string>;

// Records on 0x06 (empty ones dropped), columns on 0x05.
std::vector<Row> rowsOf(std::string_view text) {
    std::vector<Row> rows;
    for (const auto& record : peer::split(text, '\x06'))
        if (!record.empty())
            rows.push_back(peer::split(record, '\x05'));
    return rows;
}

const Row* rowWithId(const std::vector<Row>& rows, std::string_view id) {
    for (const auto& r : rows)
        if (!r.empty() && r[0] == id)
            return &r;
    return nullptr;
}

struct Asker {
    std::string user = "demo";
    std::string userId = "1001";
};

class DataServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        seedMarket(*market.market);
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        options.rate = 0;
        server_ = std::make_unique<testserver::TestServer>(std::move(*market.market));
        ports_ = server_->start(options);
        req_ = std::make_unique<peer::Zmq>(ZMQ_REQ, ports_.data);
    }
    void TearDown() override { server_->stop(); }
    // Records a test adds to the default market before the server starts.
    virtual void seedMarket(testserver::Market&) {}

    // The reply frame to a type-1023 request of `procedure` with the extra fields ("tag=value|...").
    peer::Frame ask(std::string_view procedure, const std::string& extra = "", const Asker& who = {}) {
        const std::string fields = "10=1023|151=" + std::string(procedure) +
                                   "|152=1000|153=1|20=" + std::to_string(++requestId_) +
                                   (extra.empty() ? "" : "|" + extra) + "|115=" + who.userId +
                                   "|23=" + who.user + "|19=7001|21=20240201000000";
        EXPECT_TRUE(req_->send(peer::frame(peer::body(peer::fields(fields)))));
        auto reply = req_->receive(30s); // generous: sanitizer builds on a busy machine
        if (!reply) {
            ADD_FAILURE() << "no answer to " << procedure;
            return {};
        }
        auto frames = peer::frames(*reply);
        EXPECT_EQ(frames.size(), 1u);
        if (frames.empty())
            return {};
        EXPECT_EQ(frames[0].type(), 1024);
        EXPECT_EQ(frames[0].at(151), procedure);
        EXPECT_EQ(frames[0].at(20), std::to_string(requestId_));
        return frames[0];
    }
    std::string text(std::string_view procedure, const std::string& extra = "", const Asker& who = {}) {
        return ask(procedure, extra, who).at(159);
    }
    std::vector<Row> rows(std::string_view procedure, const std::string& extra = "", const Asker& who = {}) {
        return rowsOf(text(procedure, extra, who));
    }

    std::unique_ptr<testserver::TestServer> server_;
    testserver::ServerPorts ports_;
    std::unique_ptr<peer::Zmq> req_;
    int requestId_ = 0;
};

const Asker kTrader{"trader", "1002"};

std::string statementOf(const std::string& account, const std::string& from, const std::string& to) {
    return "34=" + account + "|575=" + from + "|576=" + to;
}

// The columns of a row at the given positions.
Row pick(const Row& row, std::initializer_list<std::size_t> columns) {
    Row out;
    for (std::size_t c : columns)
        out.push_back(c < row.size() ? row[c] : "<none>");
    return out;
}

TEST_F(DataServiceTest, LoginListsCarryTheUsersRowsAtTheirColumns) {
    const auto open = rows("getopenpositions");
    ASSERT_EQ(open.size(), 2u);
    const Row* buy = rowWithId(open, "300001");
    ASSERT_TRUE(buy);
    ASSERT_EQ(buy->size(), 28u);
    // Instrument 1 is EURUSD.
    // Column 17 is the delivery mode: regular.
    EXPECT_EQ(pick(*buy, {1, 2, 3, 4, 6, 7, 9, 10, 11, 17}),
              (Row{"20001", "1", "1", "400001", "500001", "1.5", "1.08320", "3.5", "20240103091500", "1"}));
    const Row* sell = rowWithId(open, "300002");
    ASSERT_TRUE(sell);
    // The initial quantity, then what is still open.
    EXPECT_EQ(pick(*sell, {3, 7, 8}), (Row{"0", "0.5", "0.2"}));

    const auto pending = rows("getpendingorders");
    ASSERT_EQ(pending.size(), 2u);
    const Row* limit = rowWithId(pending, "310001");
    ASSERT_TRUE(limit);
    ASSERT_EQ(limit->size(), 29u);
    // Instrument 3 is USDJPY.
    EXPECT_EQ(pick(*limit, {2, 3, 5, 11, 14, 24, 25}),
              (Row{"20001", "3", "2", "150.250", "1", "20240105120000", ""}));
    const Row* takeProfit = rowWithId(pending, "310002");
    ASSERT_TRUE(takeProfit);
    EXPECT_EQ((*takeProfit)[25], "300001");

    const auto settled = rows("getsettledpositions");
    ASSERT_EQ(settled.size(), 2u);
    const Row* s = rowWithId(settled, "320001");
    ASSERT_TRUE(s);
    ASSERT_EQ(s->size(), 20u);
    // Settled when closed.
    EXPECT_EQ(pick(*s, {3, 6, 7, 13, 14}), (Row{"299001", "125.40", "20240102160000", "1.26500", "1.26625"}));
    EXPECT_TRUE(rowWithId(settled, "320002")); // the second account's too

    const auto cancelled = rows("getcancelledorders");
    ASSERT_EQ(cancelled.size(), 1u);
    ASSERT_EQ(cancelled[0].size(), 18u);
    EXPECT_EQ(pick(cancelled[0], {0, 5, 7, 9, 16}),
              (Row{"330001", "20001", "20240102150000", "0", "0.66500"}));
}

TEST_F(DataServiceTest, AnotherUsersRowsNeverReachTheRequester) {
    for (const char* procedure :
         {"getopenpositions", "getpendingorders", "getsettledpositions", "getcancelledorders"}) {
        for (const auto& row : rows(procedure, {}, kTrader)) {
            const std::size_t accountColumn = std::string_view(procedure) == "getpendingorders"     ? 2
                                              : std::string_view(procedure) == "getcancelledorders" ? 5
                                                                                                    : 1;
            EXPECT_EQ(row.at(accountColumn), "20011") << procedure;
        }
    }
    EXPECT_EQ(rows("getopenpositions", {}, kTrader).size(), 1u);
    // An account of demo asked for by the trader, and the reverse.
    EXPECT_EQ(text("getbankaccounts", "34=20001|1132=1", kTrader), "ERROR");
    EXPECT_EQ(text("getusermapwithmyaccount", "34=20011"), "ERROR");
    EXPECT_EQ(text("getfinancialtransactions", statementOf("20011", "20240101000000", "20241231000000")),
              "ERROR");
    EXPECT_EQ(text("getdsaccountstatement", statementOf("20011", "20240101000000", "20241231000000")),
              "ERROR");
    EXPECT_EQ(text("getcancelledorders", statementOf("20011", "20240101000000", "20241231000000")), "ERROR");
    EXPECT_EQ(text("getequityhitpriceinfo", "160=0|34=20011"), "ERROR");
    // A user id the market does not know.
    EXPECT_EQ(text("getopenpositions", {}, Asker{"demo", "9999"}), "ERROR");
}

TEST_F(DataServiceTest, StatementRequestsFilterByPeriodAndRefuseBadDates) {
    EXPECT_EQ(rows("getcancelledorders", statementOf("20001", "20240102000000", "20240102235959")).size(),
              1u);
    EXPECT_EQ(text("getcancelledorders", statementOf("20001", "20240103000000", "20240131000000")), "");
    // Inclusive bounds: the cancellation at 15:00:00 sharp.
    EXPECT_EQ(rows("getcancelledorders", statementOf("20001", "20240102150000", "20240102150000")).size(),
              1u);

    const auto early =
        rows("getfinancialtransactions", statementOf("20001", "20240101000000", "20240110000000"));
    ASSERT_EQ(early.size(), 2u);
    ASSERT_EQ(early[0].size(), 10u);
    EXPECT_EQ(pick(early[0], {0, 4, 9}), (Row{"800001", "9880.10", "20240101100000"}));
    EXPECT_EQ(early[1][0], "800002");
    EXPECT_EQ(early[1][5], "500");
    EXPECT_EQ(
        rows("getfinancialtransactions", statementOf("20001", "20240101000000", "20240131000000")).size(),
        3u);

    for (const auto& bad : {statementOf("20001", "2024010100000", "20240131000000"),
                            statementOf("20001", "20241301000000", "20241231000000"),
                            statementOf("20001", "20240131000000", "20240101000000"),
                            statementOf("x", "20240101000000", "20240131000000"), std::string("34=20001")})
        EXPECT_EQ(text("getfinancialtransactions", bad), "ERROR");

    const auto executed = rows("getexecutedpositions", "575=20240103000000|576=20240104000000");
    ASSERT_EQ(executed.size(), 1u);
    ASSERT_EQ(executed[0].size(), 13u);
    EXPECT_EQ(pick(executed[0], {0, 3, 9}), (Row{"300001", "1", "20240103091500"}));
    EXPECT_EQ(rows("getexecutedpositions", "575=20240101000000|576=20241231000000").size(), 2u);
}

TEST_F(DataServiceTest, AccountStatementIsADataSetOfTheAccountAndPeriod) {
    const std::string january =
        text("getdsaccountstatement", statementOf("20001", "20240101000000", "20240131235959"));
    ASSERT_TRUE(january.starts_with("<NewDataSet>")) << january;
    EXPECT_NE(january.find("<TAHDate>2024-01-01T00:00:00</TAHDate>"), std::string::npos);
    EXPECT_NE(january.find("<TAHDate>2024-01-31T23:59:59</TAHDate>"), std::string::npos);
    EXPECT_NE(january.find("<Table3><SettlementId>320001</SettlementId>"), std::string::npos);
    EXPECT_NE(january.find("<Table1><PositionId>300001</PositionId>"), std::string::npos);
    EXPECT_EQ(january.find("<PositionId>300003</PositionId>"), std::string::npos); // the trader's
    EXPECT_NE(january.find("<Code>EURUSD</Code>"), std::string::npos);
    // Before anything happened: no positions, settlements or transactions.
    const std::string before =
        text("getdsaccountstatement", statementOf("20001", "20231201000000", "20231231000000"));
    EXPECT_EQ(before.find("<Table1>"), std::string::npos);
    EXPECT_EQ(before.find("<Table3>"), std::string::npos);
    EXPECT_EQ(before.find("<Table4>"), std::string::npos);
    EXPECT_NE(before.find("<Table5>"), std::string::npos);
}

// The period's movements as the account summary lists them.
double movementsOf(const statements::AccountStatementInfo& s) {
    return (s.getDeposit() + s.getWithDrawal() + s.getAdjustments() + s.getCommission() +
            s.getRealizedStorage() + s.getSettledPL() + s.getTDS() + s.getDailyTDS() + s.getMonthlyTDS() +
            s.getMiscellaneous())
        .toDouble();
}

TEST_F(DataServiceTest, AStatementsAccountFiguresAgreeWithWhatItLists) {
    ASSERT_TRUE(server_->setQuote("EURUSD", "1.08600", "1.08612"));
    const auto s = statements::parseAccountStatement(
        text("getdsaccountstatement", statementOf("20001", "20240101000000", "20240131235959")));
    ASSERT_TRUE(s.StartInfo && s.EndInfo);
    ASSERT_EQ(s.OpenPositionInfo.size(), 2u);
    // Closed at the quotes of the moment: EURUSD bought 1.5 at 1.08320, bid now 1.08600 (420.00);
    // XAUUSD sold 0.2 at 2041.25, ask 2034.85 (128.00).
    EXPECT_EQ(s.OpenPositionInfo[0].CurrentPrice.toString(), "1.086");
    EXPECT_DOUBLE_EQ(s.OpenPositionInfo[0].UnrealisedPL, 420);
    EXPECT_DOUBLE_EQ(s.getOpenProfitOrLoss(), 548);

    // The end: the balance, the floating result of the positions listed, equity counting all of it,
    // the margin the 1.7 lots hold at the group's 1 per lot, the rest available.
    const AccountHistoryInfo& end = *s.EndInfo;
    EXPECT_DOUBLE_EQ(end.Balance.toDouble(), 10000);
    EXPECT_DOUBLE_EQ(end.UnrealisedPL, s.getOpenProfitOrLoss());
    EXPECT_DOUBLE_EQ(end.AccumulatingStorage.toDouble(), s.getOpenStorage().toDouble());
    EXPECT_DOUBLE_EQ(end.Equity,
                     end.Balance.toDouble() + end.UnrealisedPL + end.AccumulatingStorage.toDouble());
    EXPECT_DOUBLE_EQ(end.UsedMargin.toDouble(), 1.7);
    EXPECT_DOUBLE_EQ(end.AvailableMargin, end.Equity - end.UsedMargin.toDouble());

    // The settlement of 2 January is the period's settled profit; its commission and that of the
    // position opened on 3 January are the period's; the summary adds up from an opening balance of
    // 0 (before the opening deposit).
    EXPECT_DOUBLE_EQ(s.getSettledPL().toDouble(), 125.40);
    EXPECT_DOUBLE_EQ(s.getSettledPL().toDouble(), s.getSettledProfitOrLoss().toDouble());
    EXPECT_DOUBLE_EQ(s.getCommission().toDouble(), -5.5);
    EXPECT_DOUBLE_EQ(s.getCommission().toDouble(), -(s.getOpenCommission() + s.getSettledCommission()));
    EXPECT_TRUE(s.StartInfo->OpeningBalanceOfDay.isZero());
    EXPECT_NEAR(s.StartInfo->OpeningBalanceOfDay.toDouble() + movementsOf(s), end.Balance.toDouble(), 1e-9);
}

// Two hundred positions of one kind, listed while the feed moves fast.
class StatementMomentTest : public DataServiceTest {
protected:
    void seedMarket(testserver::Market& market) override {
        for (int i = 0; i < 200; ++i) {
            testserver::ServerPosition p;
            p.positionId = 390000 + i;
            p.accountId = 20001;
            p.instrumentId = 1; // EURUSD
            p.qty = p.initialQty = "1";
            p.openPrice = "1.08000";
            p.openedAt = "20240110100000";
            p.deliveryMode = 1;
            market.positions.push_back(p);
        }
    }
};

TEST_F(StatementMomentTest, EveryRowIsValuedAtTheQuotesOfOneMoment) {
    std::atomic<bool> stop = false;
    std::thread feed([&] {
        // Two quotes 100 points apart, in turn, as fast as they can be set.
        for (int i = 0; !stop; ++i)
            server_->setQuote("EURUSD", i % 2 ? "1.09000" : "1.08000", i % 2 ? "1.09012" : "1.08012");
    });
    for (int round = 0; round < 5; ++round) {
        const auto s = statements::parseAccountStatement(
            text("getdsaccountstatement", statementOf("20001", "20240101000000", "20240131235959")));
        ASSERT_GE(s.OpenPositionInfo.size(), 200u);
        for (const auto& p : s.OpenPositionInfo) {
            if (p.InstrumentId != 1 || !p.OpenPositionId.starts_with("390"))
                continue;
            // Each bought lot at the bid of the closing prices the statement lists.
            EXPECT_NEAR(p.UnrealisedPL, (p.CurrentPrice.toDouble() - 1.08) * 100000, 0.005)
                << "round " << round << ", position " << p.OpenPositionId;
        }
    }
    stop = true;
    feed.join();
}

// Settlements of the professional account: two in March beside the March transactions' own settled
// profit (120) and loss (20), one in April.
class StatementTotalsTest : public DataServiceTest {
protected:
    void seedMarket(testserver::Market& market) override {
        testserver::ServerSettlement s;
        s.accountId = 20003;
        s.instrumentId = 1;
        s.settlementId = 329001;
        s.pl = "30";
        s.settledAt = s.closedAt = "20240320100000";
        market.settlements.push_back(s);
        s.settlementId = 329002;
        s.pl = "-12.5";
        s.settledAt = s.closedAt = "20240321100000";
        market.settlements.push_back(s);
        s.settlementId = 329003;
        s.pl = "50";
        s.settledAt = s.closedAt = "20240410100000";
        market.settlements.push_back(s);
    }
};

TEST_F(StatementTotalsTest, SettledResultsAreTotalledAndTheBalanceIsThatOfThePeriodsEnd) {
    const auto march = statements::parseAccountStatement(
        text("getdsaccountstatement", statementOf("20003", "20240301000000", "20240331235959")));
    ASSERT_TRUE(march.StartInfo && march.EndInfo);
    // One row per totalled sub-type, or the summary would count only the first.
    EXPECT_DOUBLE_EQ(march.getSettledPL().toDouble(), 120 + 30 - 20 - 12.5);
    EXPECT_EQ(march.getFinancialTransactionHistoryInfo(8)->CrAmount.toString(), "150");
    EXPECT_EQ(march.getFinancialTransactionHistoryInfo(7)->DrAmount.toString(), "32.5");
    EXPECT_DOUBLE_EQ(march.getDeposit().toDouble(), 1500);
    // Today's balance (25000, the market file's) less April's settled 50.
    EXPECT_DOUBLE_EQ(march.EndInfo->Balance.toDouble(), 24950);
    EXPECT_NEAR(march.StartInfo->OpeningBalanceOfDay.toDouble() + movementsOf(march),
                march.EndInfo->Balance.toDouble(), 1e-9);

    const auto april = statements::parseAccountStatement(
        text("getdsaccountstatement", statementOf("20003", "20240401000000", "20240430235959")));
    ASSERT_TRUE(april.StartInfo && april.EndInfo);
    EXPECT_DOUBLE_EQ(april.StartInfo->OpeningBalanceOfDay.toDouble(), march.EndInfo->Balance.toDouble());
    EXPECT_DOUBLE_EQ(april.EndInfo->Balance.toDouble(), 25000);
    EXPECT_DOUBLE_EQ(april.getSettledPL().toDouble(), 50);
}

TEST_F(DataServiceTest, ReferenceDataBankAndEquityHits) {
    const auto bank = rows("getbankaccounts", "34=20001|1132=1");
    ASSERT_EQ(bank.size(), 1u);
    EXPECT_EQ(bank[0],
              (Row{"9001", "123456789", "12", "Demo User", "1", "Salary account", "First Loopback Bank"}));
    EXPECT_EQ(text("getbankaccounts", "34=20002|1132=1"), ""); // none on file

    const auto instruments = rows("getinstruments", "160=3");
    EXPECT_EQ(instruments.size(), 14u);
    const Row* us500 = rowWithId(instruments, "11");
    ASSERT_TRUE(us500);
    EXPECT_EQ((*us500)[1], "2");
    EXPECT_EQ((*us500)[2], "CME");
    const Row* eurusd = rowWithId(instruments, "1");
    ASSERT_TRUE(eurusd);
    EXPECT_EQ((*eurusd)[5], "eurusd.ico");

    const auto schedules = rows("getsessionschedule", "581=2");
    ASSERT_EQ(schedules.size(), 2u);
    EXPECT_EQ(schedules[0], (Row{"6", "2", "1", "1", "14:30", "21:00"}));
    EXPECT_EQ(rows("getsessionschedule", "581=1").size(), 5u);
    EXPECT_EQ(text("getsessionschedule", "581=99"), "ERROR");
    EXPECT_EQ(text("getsessionschedule", "581=-1"), "ERROR");
    EXPECT_EQ(text("getsessionschedule", "581=2x"), "ERROR");

    const auto hits = rows("getequityhitpriceinfo", "160=0|34=20003");
    ASSERT_EQ(hits.size(), 1u);
    ASSERT_EQ(hits[0].size(), 14u);
    EXPECT_EQ(pick(hits[0], {2, 5, 6}), (Row{"299007", "22.100", "20003"}));
    EXPECT_EQ(text("getequityhitpriceinfo", "160=0|34=20001"), "");
    EXPECT_EQ(text("nosuchprocedure"), "ERROR");
}

TEST_F(DataServiceTest, AccessMapChangeShowsInTheNextMapRequest) {
    auto maps = rows("getusermapwithmyaccount", "34=20001");
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_EQ(maps[0], (Row{"1002", "20001", "1", "trader"}));

    EXPECT_EQ(text("addedituac", "1132=edituabycl|159=1004<C>20001<C>2<C><R>"), "success");
    EXPECT_EQ(text("addedituac", "1132=edituabycl|159=1002<C>20001<C>3<C><R>"), "success");
    maps = rows("getusermapwithmyaccount", "34=20001");
    ASSERT_EQ(maps.size(), 2u);
    EXPECT_EQ(*rowWithId(maps, "1002"), (Row{"1002", "20001", "3", "trader"}));
    EXPECT_EQ(*rowWithId(maps, "1004"), (Row{"1004", "20001", "2", "locked"}));

    // Someone else's account, an unknown user, a malformed record: refused and nothing stored.
    EXPECT_EQ(text("addedituac", "1132=edituabycl|159=1004<C>20011<C>2<C><R>"), "ERROR");
    EXPECT_EQ(text("addedituac", "1132=edituabycl|159=4242<C>20001<C>2<C><R>"), "ERROR");
    EXPECT_EQ(text("addedituac", "1132=edituabycl|159=1004<C>20001<R>"), "ERROR");
    EXPECT_EQ(text("addedituac", "159=1003<C>20001<C>2<C><R>"), "ERROR");
    EXPECT_EQ(rows("getusermapwithmyaccount", "34=20001").size(), 2u);
    EXPECT_EQ(rows("getusermapwithmyaccount", "34=20011", kTrader).size(), 1u);
}

TEST_F(DataServiceTest, ResourcesAreFoundByTypeAndDownloadedCompressed) {
    const auto found = rows("resourcesearch", "159=<C>0<C>1<C>0<C><C>CAL<C><C><C>0<R>|160=1");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], (Row{"holidays.ics", "1", "1", "1", "files1", "CAL", "*.ics", "1a2b3c", "0"}));
    EXPECT_EQ(rows("resourcesearch", "159=<C>0<C>1<C>0<C><C>ICO<C><C><C>0<R>|160=1").at(0).at(0),
              "eurusd.ico");

    const auto download = ask("resourcedownload", "159=holidays.ics<C>1<C>1<C>1<C>files1<C>1a2b3c<C>0<R>");
    EXPECT_EQ(rowsOf(download.at(159)),
              (std::vector<Row>{{"holidays.ics", "1", "1", "1", "files1", "1a2b3c", "0"}}));
    const auto file = peer::decompress(download.at(1050));
    ASSERT_TRUE(file);
    EXPECT_EQ(*file, "BEGIN:VCALENDAR\nVERSION:2.0\nEND:VCALENDAR\n");
    EXPECT_EQ(text("resourcedownload", "159=missing.ics<C>1<C>1<C>1<C><C><C>0<R>"), "ERROR");
}

TEST_F(DataServiceTest, FundingRecordsOfTheUser) {
    const auto gates = rows("paygategetsettings");
    ASSERT_EQ(gates.size(), 2u);
    EXPECT_EQ(gates[0], (Row{"1", "Loopback Pay", "1", "https://pay.example.test/checkout", "20240101000000",
                             "1", "1"}));
    EXPECT_EQ(gates[1][2], "0");

    const auto requests = rows("getapprovalrequest");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0],
              (Row{"700001", "1", "1", "0", "0", "20240106090000", "5", "1001", "TT copy sent", "1"}));
    const auto approvals = rows("getfinancialapprovals");
    ASSERT_EQ(approvals.size(), 1u);
    EXPECT_EQ(approvals[0], (Row{"700001", "710001", "20001", "(null)", "2500.00", "2500.00", "1", "0", "1",
                                 "20240105", "First Loopback Bank", "Main", "123456789", "555000111"}));
    const auto withdrawal = rows("getfinancialapprovals", {}, kTrader);
    ASSERT_EQ(withdrawal.size(), 1u);
    EXPECT_EQ(pick(withdrawal[0], {2, 3, 4}), (Row{"(null)", "20011", "100.00"}));
}

TEST_F(DataServiceTest, ClientParsersReadTheServersReplies) {
    auto parse = [&](std::string_view procedure, int subType, const std::string& extra = "") {
        const auto f = ask(procedure, extra);
        const std::string payload = f.fields.contains(1050) ? "1050=" + f.at(1050) : std::string();
        return DataServiceReplies::parse(procedure, subType, f.at(159), payload).value;
    };
    // The login lists, bank details, schedules, instruments, access maps, resource searches and
    // approvals reach the client's model in the data-service round trip; here the rest.
    auto executed = std::get<dsreply::ExecutedPositions>(
        parse("getexecutedpositions", 5, "575=20240103000000|576=20240103235959"));
    ASSERT_EQ(executed.rows.size(), 1u);
    EXPECT_EQ(executed.rows[0].tradingMode, 0);
    EXPECT_EQ(displayDateTime(executed.rows[0].TransactionDateTime), "01/03/2024 09:15:00");

    EXPECT_TRUE(std::get<dsreply::EditUserAccess>(
                    parse("addedituac", 9, "1132=edituabycl|159=1002<C>20001<C>2<C><R>"))
                    .success);

    auto file = std::get<dsreply::ResourceDownload>(
        parse("resourcedownload", 12, "159=eurusd.ico<C>2<C>1<C>1<C>files1<C>4d5e6f<C>0<R>"));
    EXPECT_EQ(resources::decodeResourcePayload(file.payloadBase64), "icon EURUSD");

    EXPECT_TRUE(std::holds_alternative<dsreply::Failed>(parse("getsessionschedule", 7, "581=99")));
}

TEST_F(DataServiceTest, InstrumentStatusTravelsOnTheFeedAsAStreamMessage) {
    peer::Zmq sub(ZMQ_SUB, ports_.feed);
    sub.subscribe("IS;");
    EXPECT_FALSE(server_->publishInstrumentStatus("EUR;USD", 1));
    EXPECT_FALSE(server_->publishInstrumentStatus("", 1));
    // The subscription takes a moment to reach the publisher: ask again until one arrives.
    std::optional<std::string> text;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!text && std::chrono::steady_clock::now() < deadline) {
        ASSERT_TRUE(server_->publishInstrumentStatus("GBPUSD", 3));
        text = sub.receive(100ms);
    }
    ASSERT_TRUE(text);
    const auto pieces = peer::split(*text, ';');
    ASSERT_EQ(pieces.size(), 2u) << *text; // what follows "IS;" holds no further ";"
    EXPECT_EQ(pieces[0], "IS");
    const auto frames = peer::frames(pieces[1]);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].length, std::to_string(peer::utf16Units(frames[0].bodyText)));
    EXPECT_EQ(frames[0].type(), 1049);
    EXPECT_EQ(frames[0].at(12), "GBPUSD");
    EXPECT_EQ(frames[0].at(574), "3");
}

TEST(DataServiceFeed, QuotesAreFollowedNowAndThenByTheInstrumentsOwnStatus) {
    auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(market.market) << market.error;
    testserver::ServerOptions options;
    options.port = options.feedPort = options.dataPort = 0;
    options.rate = 2000;
    testserver::TestServer server(std::move(*market.market));
    const auto ports = server.start(options);
    peer::Zmq sub(ZMQ_SUB, ports.feed);
    sub.subscribe("IS;");
    std::optional<std::string> text;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!text && std::chrono::steady_clock::now() < deadline)
        text = sub.receive(500ms);
    ASSERT_TRUE(text);
    const auto frames = peer::frames(peer::split(*text, ';').at(1));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].type(), 1049);
    EXPECT_EQ(frames[0].at(574), "1"); // every instrument of the default market trades in session 1
    EXPECT_NE(server.market().findInstrument(frames[0].at(12)), nullptr);
    // The counts move just after the sends.
    EXPECT_TRUE(server.waitFor(
        [](const testserver::ServerStats& st) {
            return st.statusesPublished >= 1 && st.quotesPublished >= testserver::kStatusEveryQuotes;
        },
        5s));
    server.stop();
}

TEST(DataServiceFeed, TheInstrumentsStatusTellsTheServersClock) {
    auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(market.market) << market.error;
    testserver::ServerOptions options;
    options.port = options.feedPort = options.dataPort = 0;
    options.clockFrom = wallTimeFromWire("20270328020100");
    testserver::TestServer server(std::move(*market.market));
    const auto ports = server.start(options);
    peer::Zmq sub(ZMQ_SUB, ports.feed);
    sub.subscribe("IS;");
    std::optional<std::string> text;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!text && std::chrono::steady_clock::now() < deadline) {
        ASSERT_TRUE(server.publishInstrumentStatus("GBPUSD", 2));
        text = sub.receive(100ms);
    }
    ASSERT_TRUE(text);
    const auto frames = peer::frames(peer::split(*text, ';').at(1));
    ASSERT_EQ(frames.size(), 1u);
    // The run takes seconds: the clock is still in the minute it started at.
    EXPECT_EQ(frames[0].at(21).substr(0, 12), "202703280201") << frames[0].at(21);
    server.stop();
}

} // namespace
