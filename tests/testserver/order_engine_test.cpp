// The order engine driven over the stream by the peer written on OpenSSL/zlib/POSIX: requests go
// sealed under the session key, the execution reports come back the same way.
#include "support/wire_text.h"
#include "testserver/server_peer.h"

#include "market.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

using tc::testing_support::wireText;
using namespace std::chrono_literals;

std::string report(const peer::Frame& f) {
    return std::to_string(f.type()) + "/" + (f.fields.count(73) ? f.at(73) : std::string("-"));
}

class OrderEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        options.rate = 500;
        server_ = std::make_unique<testserver::TestServer>(std::move(*market.market));
        // The market's seeded history stays out of the way: each test starts from an empty book.
        server_->book().with([](testserver::Books& b) {
            const std::int64_t next = b.nextId;
            auto balances = std::move(b.balances);
            b = testserver::Books{};
            b.nextId = next;
            b.balances = std::move(balances);
        });
        server_->holdPrices(true);
        ports_ = server_->start(options);
        productKey_ = peer::shippedProductKey();
        ASSERT_FALSE(productKey_.empty());
        client_ = std::make_unique<peer::StreamClient>(ports_.stream);
        key_ = login(*client_, "demo", "demo1234");
        ASSERT_FALSE(key_.empty());
        ASSERT_TRUE(server_->setQuote("EURUSD", "1.08500", "1.08512"));
    }
    void TearDown() override { server_->stop(); }

    std::string login(peer::StreamClient& client, const std::string& user, const std::string& password) {
        EXPECT_TRUE(client.send(peer::seal(peer::frame(peer::loginBody(user, password)), productKey_, true)));
        auto got = client.read(2);
        if (got.size() < 2 || got[0].type() != 33)
            return {};
        return peer::sessionKey(user, password, got[0].at(19), got[0].at(21));
    }

    void send(std::string_view fields) {
        ASSERT_TRUE(client_->send(peer::seal(peer::frame(peer::body(peer::fields(fields))), key_, false)));
    }

    // Reads sealed reports until `count` have come or the time-out passes.
    std::vector<peer::Frame> reports(std::size_t count, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (inbox_.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            for (const auto& outer : client_->read(1, left)) {
                EXPECT_EQ(outer.type(), 76);
                auto plain = peer::open(outer.at(27), key_);
                EXPECT_TRUE(plain);
                for (auto& inner : peer::frames(plain.value_or("")))
                    take(std::move(inner));
            }
        }
        std::vector<peer::Frame> out;
        out.swap(inbox_);
        return out;
    }

    // Several reports of one request come compressed in one type-105 message; account summaries
    // (1045) are kept apart from the reports.
    void take(peer::Frame frame) {
        if (frame.type() == 105) {
            const auto inflated = peer::decompress(frame.at(1050));
            EXPECT_TRUE(inflated);
            for (auto& inner : peer::frames(inflated.value_or("")))
                take(std::move(inner));
            ++bursts_;
        } else if (frame.type() == 1045) {
            summaries_.push_back(std::move(frame));
        } else if (frame.type() == 619) {
            // Presence of other users signing in: not a report.
        } else {
            inbox_.push_back(std::move(frame));
        }
    }

    std::vector<std::string> kinds(const std::vector<peer::Frame>& frames) {
        std::vector<std::string> out;
        for (const auto& f : frames)
            out.push_back(report(f));
        return out;
    }

    // The quote fields every order request carries.
    static constexpr std::string_view kQuote =
        "|56=1.08500|54=1.08512|61=1.08500|60=1.08500|62=1.08500|67=20240102030405|78=20240102030405";

    std::string newOrder(const std::string& account, const std::string& side, const std::string& type,
                         const std::string& qty, const std::string& price, const std::string& requestId,
                         const std::string& deviation = "-1", const std::string& takeProfit = "",
                         const std::string& stopLoss = "", const std::string& code = "EURUSD") {
        return "10=60|34=" + account + "|23=demo|33=" + requestId + "|19=7001|12=" + code + "|32=" + type +
               "|117=51|37=" + qty + "|38=" + price + "|39=" + takeProfit + "|40=" + stopLoss +
               "|90=0|36=" + side + "|77=" + deviation + "|24=0|43=47" + std::string(kQuote);
    }

    std::string closeOrder(const std::string& account, const std::string& position, const std::string& qty,
                           const std::string& price, const std::string& deviation = "-1") {
        return "10=60|34=" + account + "|125=" + position +
               "|23=demo|33=40|19=7001|12=EURUSD|32=29|117=51|37=" + qty + "|38=" + price +
               "|90=0|36=46|77=" + deviation + "|24=0|43=47" + std::string(kQuote);
    }

    std::string edit(const std::string& kind, int idTag, const std::string& id, const std::string& qty,
                     const std::string& price, const std::string& tp, const std::string& sl,
                     const std::string& type = "30", const std::string& side = "46") {
        return "10=72|1035=" + kind + "|34=20001|23=demo|" + std::to_string(idTag) + "=" + id +
               "|33=50|19=7001|12=EURUSD|32=" + type + "|117=51|37=" + qty + "|38=" + price + "|39=" + tp +
               "|40=" + sl + "|90=0|36=" + side + "|24=0|43=47" + std::string(kQuote);
    }

    // Opens a market position and answers its id.
    std::string openPosition(const std::string& side, const std::string& qty,
                             const std::string& account = "20001") {
        send(newOrder(account, side, "29", qty, side == "45" ? "1.08512" : "1.08500", "3"));
        const auto got = reports(3);
        EXPECT_EQ(got.size(), 3u);
        return got.size() == 3 ? got[2].at(80) : std::string();
    }

    std::size_t positions() {
        return server_->book().with([](const testserver::Books& b) { return b.positions.size(); });
    }

    std::unique_ptr<testserver::TestServer> server_;
    testserver::ServerPorts ports_;
    std::string productKey_;
    std::unique_ptr<peer::StreamClient> client_;
    std::string key_;
    std::vector<peer::Frame> inbox_;
    std::vector<peer::Frame> summaries_;
    int bursts_ = 0;
};

TEST_F(OrderEngineTest, LimitOrderWaitsTriggersAndItsTakeProfitClosesThePosition) {
    send(newOrder("20001", "45", "30", "1", "1.08400", "6", "-1", "1.08600"));
    auto got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/28"});
    EXPECT_EQ(got[0].at({32, 38, 39}), (std::vector<std::string>{"30", "1.08400", "1.08600"}));
    const std::string orderId = got[0].at(79);

    // An ask one point above the limit does not fill it.
    ASSERT_TRUE(server_->setQuote("EURUSD", "1.08389", "1.08401"));
    EXPECT_TRUE(reports(1, 300ms).empty());
    ASSERT_TRUE(server_->setQuote("EURUSD", "1.08388", "1.08400"));
    got = reports(3);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"62/23", "67/74", "62/28"}));
    EXPECT_EQ(got[0].at(79), orderId);
    EXPECT_EQ(got[1].at(38), "1.08400");
    EXPECT_EQ(got[1].at(79), orderId);
    const std::string position = got[1].at(80);
    // The take profit became a sell limit leg of the position.
    EXPECT_EQ(got[2].at({573, 32, 36, 38}), (std::vector<std::string>{position, "30", "46", "1.08600"}));

    ASSERT_TRUE(server_->setQuote("EURUSD", "1.08600", "1.08612"));
    got = reports(4);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"62/23", "67/74", "67/73", "66/-"}));
    EXPECT_EQ(got[0].at(573), position);
    EXPECT_EQ(got[1].at(76), "0");       // the closing deal
    EXPECT_EQ(got[1].at(38), "1.08600"); // at the bid
    EXPECT_EQ(got[2].at(80), position);
    EXPECT_EQ(got[2].at(76), "0");
    // 12: the instrument id; 88: 0.00200 x 1 lot x 100000
    EXPECT_EQ(got[3].at({80, 87, 12, 89, 88}),
              (std::vector<std::string>{position, got[1].at(80), "1", "1", "200"}));
    server_->book().with([](const testserver::Books& b) {
        EXPECT_TRUE(b.positions.empty());
        EXPECT_TRUE(b.pendingOrders.empty());
        ASSERT_EQ(b.settlements.size(), 1u);
        EXPECT_EQ(b.settlements[0].closePrice, "1.08600");
        EXPECT_EQ(b.settlements[0].pl, "200");
    });
}

TEST_F(OrderEngineTest, FeedTicksTriggerOrdersToo) {
    send(newOrder("20001", "46", "31", "1", "1.08450", "6")); // sell stop below the bid
    ASSERT_EQ(reports(1).size(), 1u);
    // While closed, a crossing quote triggers nothing; once open, the feed's next tick does.
    ASSERT_TRUE(server_->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server_->setQuote("EURUSD", "1.08440", "1.08452"));
    EXPECT_TRUE(reports(1, 300ms).empty());
    ASSERT_TRUE(server_->setMarketOpen("EURUSD", true));
    const auto got = reports(2);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"62/23", "67/74"}));
    EXPECT_EQ(got[1].at(38), "1.08440");
}

TEST_F(OrderEngineTest, PartialThenFullCloseSettlesEachPart) {
    // The fill reports the commission paid for the 2 lots (the group's 3 per lot) and the base rate.
    send(newOrder("20001", "45", "29", "2", "1.08512", "3"));
    auto got = reports(3);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"62/28", "62/23", "67/74"}));
    EXPECT_EQ(got[2].at({545, 162, 37}), (std::vector<std::string>{"6", "1", "2"}));
    const std::string position = got[2].at(80);
    send(closeOrder("20001", position, "0.5", "1.08500"));
    got = reports(3);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"67/74", "67/73", "66/-"}));
    EXPECT_EQ(got[0].at(37), "0.5");
    EXPECT_EQ(got[0].at(76), "0");
    EXPECT_EQ(got[0].at(545), "0"); // the closing deal pays nothing of its own
    EXPECT_EQ(got[1].at(80), position);
    EXPECT_EQ(got[1].at(76), "1.5");
    EXPECT_EQ(got[2].at(89), "0.5");
    EXPECT_EQ(got[2].at(88), "-6"); // bought at 1.08512, sold at 1.08500: -0.00012 x 0.5 x 100000
    // The share of the commission the half lot carried, and the rates the profit was taken at.
    EXPECT_EQ(got[2].at({545, 142, 604}), (std::vector<std::string>{"1.5", "1", "1"}));
    server_->book().with([](const testserver::Books& b) {
        ASSERT_EQ(b.positions.size(), 1u);
        EXPECT_EQ(b.positions[0].qty, "1.5");
        EXPECT_EQ(b.positions[0].initialQty, "2");
        EXPECT_EQ(b.positions[0].commission, "6");
    });

    // More than is open is refused and names the position.
    send(closeOrder("20001", position, "1.6", "1.08500"));
    got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/25"});
    EXPECT_EQ(got[0].at(74), std::to_string(testserver::kRejectQuantity));
    EXPECT_EQ(got[0].at(125), position);

    send(closeOrder("20001", position, "1.50", "1.08500"));
    got = reports(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].at(76), "0");
    EXPECT_EQ(got[2].at(88), "-18");
    EXPECT_EQ(got[2].at(545), "4.5");
    EXPECT_EQ(positions(), 0u);
    server_->book().with([](const testserver::Books& b) { EXPECT_EQ(b.settlements.size(), 2u); });

    // The open and each settlement are announced in an account summary: the balance (10000 in the
    // market file) less the commission paid on opening, then moved by each settled profit, the
    // margin the open lots hold (the group's 1 per lot) taken from what is free, and the one-side
    // margin; the reports of each close came as one compressed message.
    ASSERT_EQ(summaries_.size(), 3u);
    std::vector<std::vector<std::string>> figures;
    for (const auto& summary : summaries_) {
        EXPECT_EQ(summary.at(34), "20001");
        EXPECT_EQ(summary.at(24), "814");
        figures.push_back(summary.at({560, 130, 84, 85, 120}));
    }
    EXPECT_EQ(figures, (std::vector<std::vector<std::string>>{{"9994", "9994", "2", "9992", "2"},
                                                              {"9988", "9988", "1.5", "9986.5", "1.5"},
                                                              {"9970", "9970", "0", "9970", "0"}}));
    EXPECT_GE(bursts_, 2);
    server_->book().with([](const testserver::Books& b) { EXPECT_EQ(b.balances.at(20001), "9970"); });
}

TEST_F(OrderEngineTest, TheUsedMarginNetsEachInstrumentAndTheOneSideMarginChargesTheLargerSide) {
    // 2 bought and 0.5 sold of EURUSD: the net 1.5 lots hold margin, as the client works it out for
    // the hedge mode the snapshot sends; the larger side is the one-side margin (the group's 1 per
    // lot).
    ASSERT_FALSE(openPosition("45", "2").empty());
    ASSERT_FALSE(openPosition("46", "0.5").empty());
    ASSERT_EQ(summaries_.size(), 2u);
    // 10000 less the commission of 2.5 lots at 3, less the 1.5 used.
    EXPECT_EQ(summaries_.back().at({84, 85, 120}), (std::vector<std::string>{"1.5", "9991", "2"}));
    // Another instrument adds its own net lots.
    send(newOrder("20001", "46", "29", "1", "151.200", "4", "-1", "", "", "USDJPY"));
    ASSERT_EQ(reports(3).size(), 3u);
    EXPECT_EQ(summaries_.back().at({84, 120}), (std::vector<std::string>{"2.5", "3"}));
}

TEST_F(OrderEngineTest, AProfitInYenSettlesInTheEuroAccountsCurrency) {
    ASSERT_TRUE(server_->setQuote("USDJPY", "151.200", "151.214"));
    send(newOrder("20002", "45", "29", "1", "151.214", "3", "-1", "", "", "USDJPY"));
    auto got = reports(3);
    ASSERT_EQ(got.size(), 3u);
    const std::string position = got[2].at(80);
    ASSERT_TRUE(server_->setQuote("USDJPY", "150.200", "150.214"));
    send("10=60|34=20002|125=" + position + "|23=demo|33=40|19=7001|12=USDJPY|32=29|117=51|37=1|38=150.200|" +
         "90=0|36=46|77=-1|24=0|43=47" + std::string(kQuote));
    got = reports(3);
    ASSERT_EQ(got.size(), 3u);
    // -1.014 yen a dollar on 100,000: -101,400 yen, at the USDJPY mid 150.207 -675.07 dollars, at
    // the EURUSD mid 1.08506 -622.15 euros; with the two rates it was taken at.
    EXPECT_EQ(got[2].at({88, 142, 604}), (std::vector<std::string>{"-622.15", "150.207", "1.08506"}));
    server_->book().with([](const testserver::Books& b) {
        // 5000 less the commission of 3, less the loss.
        EXPECT_EQ(b.balances.at(20002), "4374.85");
    });
}

TEST_F(OrderEngineTest, PendingOrderEditedThenCancelled) {
    send(newOrder("20001", "46", "30", "1", "1.08700", "6"));
    auto got = reports(1);
    ASSERT_EQ(got.size(), 1u);
    const std::string id = got[0].at(79);

    send(edit("EWO", 79, id, "2", "1.08650", "1.08300", "0"));
    got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/75"});
    EXPECT_EQ(got[0].at({79, 37, 38, 39}),
              (std::vector<std::string>{std::string(id), "2", "1.08650", "1.08300"}));
    EXPECT_EQ(got[0].fields.count(40), 0u); // no stop loss: the client clears it
    server_->book().with([](const testserver::Books& b) {
        ASSERT_EQ(b.pendingOrders.size(), 1u);
        EXPECT_EQ(b.pendingOrders[0].remainingQty, "2");
        EXPECT_EQ(b.pendingOrders[0].orderPrice, "1.08650");
    });

    // A sell limit below the bid would fill at once: refused, the order stays as it was.
    send(edit("EWO", 79, id, "2", "1.08400", "0", "0"));
    got = reports(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].at(74), std::to_string(testserver::kRejectPrice));

    send(edit("EWO", 79, id, "0", "1.08512", "0", "0", "29"));
    got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/24"});
    EXPECT_EQ(got[0].at(79), id);
    EXPECT_EQ(got[0].at(37), "2");
    server_->book().with([](const testserver::Books& b) {
        EXPECT_TRUE(b.pendingOrders.empty());
        ASSERT_EQ(b.cancellations.size(), 1u);
        EXPECT_EQ(b.cancellations[0].qty, "2");
    });
    // Cancelling it again: no such order.
    send(edit("EWO", 79, id, "0", "1.08512", "0", "0", "29"));
    got = reports(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].at(74), std::to_string(testserver::kRejectUnknownOrder));
}

TEST_F(OrderEngineTest, BracketEditAddsMovesAndDropsLegs) {
    const std::string position = openPosition("45", "1");
    send(edit("EBO", 573, position, "1", "1.08512", "1.08700", "1.08300", "29"));
    auto got = reports(2);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"62/28", "62/28"}));
    EXPECT_EQ(got[0].at(32), "30");
    EXPECT_EQ(got[0].at(38), "1.08700");
    EXPECT_EQ(got[1].at({32, 38, 573}), (std::vector<std::string>{"31", "1.08300", position}));
    // Legs stand until their position closes: good till cancelled, never "not applicable".
    EXPECT_EQ(got[0].at(43), "47");
    EXPECT_EQ(got[1].at(43), "47");
    const std::string stopLeg = got[1].at(79);

    send(edit("EBO", 573, position, "1", "1.08512", "1.08750", "0", "29"));
    got = reports(2);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"62/75", "62/24"}));
    EXPECT_EQ(got[0].at(38), "1.08750");
    EXPECT_EQ(got[1].at(79), stopLeg);
    EXPECT_EQ(got[1].at(32), "31");
    server_->book().with([](const testserver::Books& b) {
        ASSERT_EQ(b.pendingOrders.size(), 1u);
        EXPECT_EQ(b.pendingOrders[0].orderPrice, "1.08750");
    });

    // A stop loss above the bid of a buy position would close it at once.
    send(edit("EBO", 573, position, "1", "1.08512", "0", "1.08510", "29"));
    got = reports(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].at(74), std::to_string(testserver::kRejectPrice));
    EXPECT_EQ(got[0].fields.count(32), 0u); // so the client clears no bracket price
}

// Every edit is answered, with its request id, even one that changes nothing; a leg taken off too.
TEST_F(OrderEngineTest, AnEditThatChangesNothingIsAnsweredToo) {
    const std::string position = openPosition("45", "1");
    send(edit("EBO", 573, position, "1", "1.08512", "0", "0", "29"));
    auto got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/25"}) << "nothing held, nothing asked";
    EXPECT_EQ(got[0].at({33, 573}), (std::vector<std::string>{"50", position}));

    send(edit("EBO", 573, position, "1", "1.08512", "1.08700", "0", "29"));
    ASSERT_EQ(kinds(reports(1)), std::vector<std::string>{"62/28"});
    send(edit("EBO", 573, position, "1", "1.08512", "1.08700", "0", "29"));
    got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/75"}) << "the leg as it stands";
    EXPECT_EQ(got[0].at({33, 38, 573}), (std::vector<std::string>{"50", "1.08700", position}));

    send(edit("EBO", 573, position, "1", "1.08512", "0", "0", "29"));
    got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/24"});
    EXPECT_EQ(got[0].at(33), "50");
}

// While the exchange rejects, each request is refused with status 826, naming what it acts on.
TEST_F(OrderEngineTest, TheExchangeRejectsEachRequestNamingWhatItActsOn) {
    const std::string position = openPosition("45", "1");
    server_->rejectOrdersAtExchange(true);
    send(closeOrder("20001", position, "1", "1.08500"));
    auto got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/826"});
    EXPECT_EQ(got[0].at({33, 125}), (std::vector<std::string>{"40", position}));
    send(edit("EBO", 573, position, "1", "1.08512", "1.08700", "0", "29"));
    got = reports(1);
    ASSERT_EQ(kinds(got), std::vector<std::string>{"62/826"});
    EXPECT_EQ(got[0].at(573), position);
    EXPECT_EQ(positions(), 1u);
    server_->rejectOrdersAtExchange(false);
    send(closeOrder("20001", position, "1", "1.08500"));
    EXPECT_EQ(kinds(reports(3)), (std::vector<std::string>{"67/74", "67/73", "66/-"}));
}

TEST_F(OrderEngineTest, OffsetSettlesTheHedgedPositionsAgainstEachOther) {
    const std::string buy = openPosition("45", "1");
    const std::string sellA = openPosition("46", "0.4");
    const std::string sellB = openPosition("46", "0.6");
    const std::string details =
        buy + wireText("<C>1<R><S>") + sellA + wireText("<C>0.4<R>") + sellB + wireText("<C>0.6<R><S>");
    send(std::string("10=1052|34=20001|12=EURUSD|583=") + details + "|23=demo|19=7001|21=20240102030405");
    auto got = reports(7);
    ASSERT_EQ(kinds(got),
              (std::vector<std::string>{"67/73", "67/73", "66/-", "67/73", "67/73", "66/-", "1052/-"}));
    EXPECT_EQ(got[0].at(80), buy);
    EXPECT_EQ(got[0].at(76), "0.6");
    EXPECT_EQ(got[1].at(80), sellA);
    EXPECT_EQ(got[1].at(76), "0");
    // 88: bought 1.08512, sold 1.08500: -0.00012 x 0.4 x 100000; 545: the commission both sides'
    // 0.4 lots carried (1.20 of the buy's 3.00, all 1.20 of the first sell's).
    EXPECT_EQ(got[2].at({80, 87, 88, 545}),
              (std::vector<std::string>{std::string(buy), std::string(sellA), "-4.8", "2.4"}));
    EXPECT_EQ(got[3].at(76), "0");
    EXPECT_EQ(got[5].at({88, 545}), (std::vector<std::string>{"-7.2", "3.6"}));
    EXPECT_EQ(got[6].at(74), "0");
    EXPECT_EQ(positions(), 0u);

    // Quantities that do not balance are refused with the reply too.
    const std::string b2 = openPosition("45", "1");
    const std::string s2 = openPosition("46", "1");
    send(std::string("10=1052|34=20001|12=EURUSD|583=") + b2 + wireText("<C>1<R><S>") + s2 +
         wireText("<C>0.5<R><S>") + "|23=demo|19=7001|21=20240102030405");
    got = reports(2);
    ASSERT_EQ(kinds(got), (std::vector<std::string>{"62/25", "1052/-"}));
    EXPECT_EQ(got[1].at(74), std::to_string(testserver::kRejectQuantity));
    EXPECT_EQ(positions(), 2u);
}

TEST_F(OrderEngineTest, BulkCloseOfThreePositionsWithOneRefused) {
    const std::string a = openPosition("45", "1");
    const std::string b = openPosition("46", "2");
    const std::string entries =
        a + wireText("<C><C>1<C>20001<R>999<C><C>1<C>20001<R>") + b + wireText("<C><C>2<C>20001<R>");
    const std::string body = wireText("20001<R><S>3<S>2<S>1<R>1<R>1<R><S>") + entries +
                             wireText("<S>1<C>1.085000<C>1.085120<C>20240102030405<R><S>0<S>0<S>0<S>0<S><S>");
    send(std::string("10=82|583=") + body + "|20=11|23=demo|19=7001|21=20240102030405");
    const auto got = reports(7);
    ASSERT_EQ(kinds(got),
              (std::vector<std::string>{"67/74", "67/73", "66/-", "62/25", "67/74", "67/73", "66/-"}));
    EXPECT_EQ(got[2].at(80), a);
    EXPECT_EQ(got[3].at(125), "999");
    EXPECT_EQ(got[3].at(74), std::to_string(testserver::kRejectUnknownOrder));
    EXPECT_NE(got[3].at(79), ""); // an id of its own, never the client's request id
    EXPECT_EQ(got[6].at(80), b);
    EXPECT_EQ(got[6].at(88), "-24"); // sold at the bid 1.08500, bought back at the ask 1.08512, 2 lots
    EXPECT_EQ(positions(), 0u);
}

TEST_F(OrderEngineTest, MultiAccountOrderExecutesPerAccountAndRefusesOthers) {
    send("10=77|23=demo|19=7001|12=EURUSD|32=29|117=51|38=1.08512|39=|40=|90=0|36=45|77=-1|24=0|43=47" +
         std::string(kQuote) + "|91=20001<C>1.000000<C>7<R>20011<C>1.000000<C>7<R>20003<C>2.500000<C>7<R>");
    const auto got = reports(7);
    ASSERT_EQ(kinds(got),
              (std::vector<std::string>{"62/28", "62/23", "67/74", "62/25", "62/28", "62/23", "67/74"}));
    EXPECT_EQ(got[2].at(34), "20001");
    EXPECT_EQ(got[2].at(76), "1");
    EXPECT_EQ(got[3].at(34), "20011"); // trader's account
    EXPECT_EQ(got[3].at(74), std::to_string(testserver::kRejectAccount));
    EXPECT_EQ(got[6].at(34), "20003");
    EXPECT_EQ(got[6].at(76), "2.5");
    EXPECT_EQ(got[0].at(33), "7");
    server_->book().with([](const testserver::Books& b) {
        ASSERT_EQ(b.positions.size(), 2u);
        EXPECT_EQ(b.positions[0].accountId, 20001);
        EXPECT_EQ(b.positions[1].accountId, 20003);
    });
}

TEST_F(OrderEngineTest, RefusalsCarryTheirCodes) {
    struct Case {
        std::string request;
        int code;
    };
    const std::vector<Case> cases = {
        {newOrder("20001", "45", "29", "1", "1.08512", "21", "-1", "", "", "NOPE"),
         testserver::kRejectUnknownInstrument},
        {newOrder("20001", "45", "29", "0.015", "1.08512", "22"),
         testserver::kRejectQuantity}, // off the 0.01 step
        {newOrder("20001", "45", "29", "0.001", "1.08512", "23"), testserver::kRejectQuantity}, // below 0.01
        {newOrder("20001", "45", "29", "51", "1.08512", "24"), testserver::kRejectQuantity},    // above 50
        {newOrder("20001", "45", "29", "-1", "1.08512", "25"), testserver::kRejectQuantity},
        {newOrder("20011", "45", "29", "1", "1.08512", "26"), testserver::kRejectAccount},
        {newOrder("20001", "45", "30", "1", "1.08600", "27"),
         testserver::kRejectPrice}, // buy limit over the ask
        {newOrder("20001", "45", "29", "1", "1.08512", "28", "-1", "1.08400"), testserver::kRejectPrice},
    };
    for (const auto& c : cases) {
        send(c.request);
        const auto got = reports(1);
        ASSERT_EQ(kinds(got), std::vector<std::string>{"62/25"});
        EXPECT_EQ(got[0].at(74), std::to_string(c.code)) << "request " << got[0].at(33);
    }
    ASSERT_TRUE(server_->setMarketOpen("EURUSD", false));
    send(newOrder("20001", "45", "29", "1", "1.08512", "29"));
    const auto got = reports(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].at(74), std::to_string(testserver::kRejectMarketClosed));
    EXPECT_EQ(positions(), 0u);
    EXPECT_EQ(server_->stats().orderRequests, 9);
}

// Held requests answered one at a time, one refused as asked and the others carried out: the refusal
// is that answer's alone (the market is open again for the next), and a forced refusal comes after the
// engine's own checks (a close of a position already gone is refused as gone, not as asked).
TEST_F(OrderEngineTest, AHeldRequestIsRefusedAsAskedForItsAnswerAlone) {
    using testserver::HeldAnswer;
    const std::string a = openPosition("45", "1");
    const std::size_t mark = server_->orderRecord().size();
    server_->holdOrders(true);
    for (const char* id : {"61", "62", "63", "64", "65"})
        send(newOrder("20001", "45", "29", "1", "1.08512", id));
    send(closeOrder("20001", a, "0.4", "1.08500"));
    send(closeOrder("20001", a, "1", "1.08500"));
    send(closeOrder("20001", "999", "1", "1.08500"));
    ASSERT_TRUE(
        server_->waitFor([](const testserver::ServerStats& st) { return st.heldOrderRequests == 8; }, 30s));
    ASSERT_TRUE(server_->answerHeldOrders({0, 1, 2, 3, 4, 5, 6, 7},
                                          {HeldAnswer::MarketClosed, HeldAnswer::AsItStands,
                                           HeldAnswer::ExchangeRejection, HeldAnswer::QuantityRefused,
                                           HeldAnswer::NoLongerExists, HeldAnswer::NoLongerExists,
                                           HeldAnswer::AsItStands, HeldAnswer::QuantityRefused}));
    server_->holdOrders(false);
    const auto record = server_->orderRecord(mark);
    ASSERT_EQ(record.size(), 8u);
    const auto code = [&](std::size_t i) { return record[i].refused() ? record[i].changes[0].code : 0; };
    EXPECT_EQ(code(0), testserver::kRejectMarketClosed);
    EXPECT_EQ(code(1), 0);
    EXPECT_EQ(code(2), testserver::kRejectGeneral);
    EXPECT_EQ(code(3), testserver::kRejectQuantity);
    EXPECT_EQ(code(4), testserver::kRejectUnknownOrder);
    // The part close refused as gone, naming a, which the whole close then closed.
    EXPECT_EQ(code(5), testserver::kRejectUnknownOrder);
    EXPECT_EQ(std::to_string(record[5].changes[0].id), a);
    EXPECT_EQ(code(6), 0);
    EXPECT_EQ(code(7), testserver::kRejectUnknownOrder);
    // The market closed for the first answer alone: a later order fills.
    send(newOrder("20001", "45", "29", "1", "1.08512", "66"));
    // The held answers' reports may still be unread: wait for the server's record, not a report count.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (server_->orderRecord(mark).size() < 9 && std::chrono::steady_clock::now() < deadline)
        reports(1, 100ms);
    const auto later = server_->orderRecord(mark);
    ASSERT_EQ(later.size(), 9u);
    EXPECT_FALSE(later[8].refused());
    server_->clearAccount(20001);
}

TEST_F(OrderEngineTest, ReportsReachOnlyTheAccountsUser) {
    peer::StreamClient other(ports_.stream);
    ASSERT_FALSE(login(other, "trader", "trader1234").empty());
    openPosition("45", "1");
    EXPECT_TRUE(other.read(1, 300ms).empty());
}

// The record: what the server did with each request, in the order it answered them, whatever the
// requests' numbers. Held and answered the other way round, the two closes of one position sharing a
// number are told apart by the place each was received in.
TEST_F(OrderEngineTest, TheRecordSaysWhatEachRequestCameToInTheOrderAnswered) {
    using What = testserver::RecordedChange::What;
    const std::string a = openPosition("45", "1");
    const std::string b = openPosition("46", "1");
    const std::size_t mark = server_->orderRecord().size();
    const auto received = server_->stats().orderRequests;
    server_->holdOrders(true);
    send(closeOrder("20001", a, "0.4", "1.08500"));
    send(closeOrder("20001", a, "1", "1.08500"));
    ASSERT_TRUE(
        server_->waitFor([](const testserver::ServerStats& st) { return st.heldOrderRequests == 2; }, 30s));
    ASSERT_TRUE(server_->answerHeldOrders({1, 0}));
    reports(4);
    server_->holdOrders(false);
    // An offset of what is left of nothing: refused, named by its account and instrument.
    send(std::string("10=1052|34=20001|12=EURUSD|583=") + b + wireText("<C>1<R><S>") + a +
         wireText("<C>1<R><S>") + "|23=demo|19=7001|21=20240102030405");
    reports(2);
    // A close-all of b and of a position the server does not hold: one closed, one refused.
    const std::string body = wireText("20001<R><S>3<S>2<S>1<R><S>") + b +
                             wireText("<C><C>1<C>20001<R>999<C><C>1<C>20001<R>") +
                             wireText("<S>1<C>1.085000<C>1.085120<C>20240102030405<R><S>0<S>0<S>0<S>0<S><S>");
    send(std::string("10=82|583=") + body + "|20=11|23=demo|19=7001|21=20240102030405");
    reports(4);

    const auto record = server_->orderRecord(mark);
    ASSERT_EQ(record.size(), 4u);
    const auto changes = [](const testserver::RecordedRequest& r) {
        std::vector<std::tuple<What, std::string, std::string, int>> out;
        for (const auto& c : r.changes)
            out.emplace_back(c.what, std::to_string(c.id), c.qty, c.code);
        return out;
    };
    // The second close, taken first, closed a; the first then found it gone.
    EXPECT_EQ(record[0].received, static_cast<std::uint64_t>(received + 2));
    EXPECT_EQ(record[0].number, "40");
    EXPECT_FALSE(record[0].refused());
    EXPECT_EQ(changes(record[0]),
              (std::vector<std::tuple<What, std::string, std::string, int>>{{What::Closed, a, "1", 0}}));
    EXPECT_EQ(record[1].received, static_cast<std::uint64_t>(received + 1));
    EXPECT_TRUE(record[1].refused());
    EXPECT_EQ(changes(record[1]), (std::vector<std::tuple<What, std::string, std::string, int>>{
                                      {What::Refused, a, "", testserver::kRejectUnknownOrder}}));
    EXPECT_EQ(std::tuple(record[2].type, record[2].number, record[2].account, record[2].instrument),
              std::tuple(1052, std::string(), 20001, std::string("EURUSD")));
    EXPECT_TRUE(record[2].refused());
    EXPECT_EQ(record[3].number, "11");
    EXPECT_FALSE(record[3].refused());
    EXPECT_EQ(changes(record[3]),
              (std::vector<std::tuple<What, std::string, std::string, int>>{
                  {What::Closed, b, "1", 0}, {What::Refused, "999", "", testserver::kRejectUnknownOrder}}));

    // What the server does of itself is recorded too, as received by none.
    const auto placed = server_->placeOrderFor(20001, "EURUSD", false, "0.3");
    reports(3);
    EXPECT_EQ(placed.received, 0u);
    ASSERT_EQ(placed.changes.size(), 1u);
    EXPECT_EQ(placed.changes[0].what, What::Opened);
    EXPECT_EQ(placed.changes[0].qty, "0.3");
    server_->clearAccount(20001);
    EXPECT_EQ(positions(), 0u);
}

} // namespace
