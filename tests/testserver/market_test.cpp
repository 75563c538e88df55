#include "market.h"
#include "options.h"

#include "support/case_table.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace {

using testserver::parseMarket;

TEST(MarketFile, DefaultMarketHoldsWhatTheSimulationNeeds) {
    auto r = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(r.market) << r.error;
    const auto& m = *r.market;
    EXPECT_GE(m.instruments.size(), 12u);
    std::set<int> types, decimals;
    for (const auto& i : m.instruments) {
        types.insert(i.type);
        if (i.type == 1)
            decimals.insert(i.decimals);
    }
    EXPECT_GE(types.size(), 4u);
    EXPECT_TRUE(decimals.contains(5) && decimals.contains(3)) << "FX with 5 and 3 decimals";
    EXPECT_EQ(m.groups.size(), 2u);
    const auto* demo = m.findUser("demo");
    ASSERT_NE(demo, nullptr);
    EXPECT_EQ(demo->password, "demo1234");
    const auto accounts = m.accountsOf("demo");
    EXPECT_EQ(accounts.size(), 3u);
    std::set<std::int64_t> currencies;
    for (const auto* a : accounts)
        currencies.insert(a->currency);
    EXPECT_EQ(currencies.size(), 2u);
    EXPECT_GE(m.users.size(), 2u);
    const auto* usdjpy = m.findInstrument("USDJPY");
    ASSERT_NE(usdjpy, nullptr);
    EXPECT_EQ(usdjpy->price, 151200);
    // Lots count in the instrument's own unit: currency for the pairs, troy ounces for the metals.
    for (const auto& i : m.instruments) {
        if (i.type == 1) {
            EXPECT_EQ(i.unit, 17) << i.code;
        }
    }
    ASSERT_NE(m.findInstrument("XAUUSD"), nullptr);
    EXPECT_EQ(m.findInstrument("XAUUSD")->unit, 9);
    // Every pending order has a time in force; without one a grid could only call it unknown.
    ASSERT_FALSE(m.orders.empty());
    for (const auto& o : m.orders)
        EXPECT_NE(o.timeInForce, 0) << o.pendingOrderId;
}

const char* kSmall =
    "type id=1 name=Forex\n"
    "session id=1 name=\"Regular hours\" color=0xFF0000\n"
    "currency id=1 code=USD\n"
    "group id=1 name=G\n"
    "instrument id=1 code=EURUSD name=\"Euro Dollar\" type=1 decimals=5 price=1.085 spread=12\n"
    "user id=1 name=u password=p\n"
    "account id=5 user=u group=1 currency=1 balance=100.5\n";

TEST(MarketFile, ReadsQuotedValuesHexColoursAndShortPrices) {
    auto r = parseMarket(kSmall);
    ASSERT_TRUE(r.market) << r.error;
    EXPECT_EQ(r.market->sessions[0].name, "Regular hours");
    EXPECT_EQ(r.market->sessions[0].color, 0xFF0000);
    EXPECT_EQ(r.market->instruments[0].name, "Euro Dollar");
    EXPECT_EQ(r.market->instruments[0].price, 108500);
    EXPECT_EQ(r.market->accounts[0].balance, "100.5");
    EXPECT_EQ(r.market->groups[0].spreadType, 0) << "a group puts no spread on the quotes unless told";
    EXPECT_EQ(r.market->instruments[0].unit, 0) << "no unit unless told";
}

TEST(MarketFile, RefusesFaultsWithTheirLine) {
    auto refused = [](const std::string& extra, const std::string& error) {
        auto r = parseMarket(std::string(kSmall) + extra + "\n");
        EXPECT_FALSE(r.market) << extra;
        EXPECT_NE(r.error.find(error), std::string::npos) << r.error;
    };
    for (const auto& row : tc::testing_support::caseTable("tables/market_file_errors.txt", 2))
        refused(row[0], row[1]);
    refused(std::string(5000, 'x'), "line 8: line is too long");
    EXPECT_FALSE(parseMarket("# nothing but a comment\n").market);
    EXPECT_FALSE(parseMarket(std::string(testserver::kMaxMarketFileBytes + 1, '#')).market);
    EXPECT_FALSE(testserver::loadMarketFile("/nonexistent/market").market);
}

TEST(MarketFile, EachInstrumentTakesTheProfitModeOfItsQuoteCurrency) {
    // In the system currency (USD): mode 1; through an instrument quoting the system currency
    // (USDJPY for yen): 6; through one quoted in it (GBPUSD for pounds): 5; or as the file says.
    auto r = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(r.market) << r.error;
    std::vector<std::pair<std::string, int>> modes;
    for (const char* code : {"EURUSD", "XAUUSD", "USDJPY", "EURJPY", "USDCHF", "EURGBP"})
        modes.emplace_back(code, r.market->findInstrument(code)->profitMode);
    EXPECT_EQ(modes,
              (std::vector<std::pair<std::string, int>>{
                  {"EURUSD", 1}, {"XAUUSD", 1}, {"USDJPY", 6}, {"EURJPY", 6}, {"USDCHF", 6}, {"EURGBP", 5}}));
    const std::string small = std::string(kSmall) + "product id=1 name=T systemcurrency=1\n";
    r = parseMarket(
        small + "instrument id=2 code=EURGBP name=x type=1 decimals=5 price=0.85 conversion=1 plmode=6\n");
    ASSERT_TRUE(r.market) << r.error;
    EXPECT_EQ(r.market->findInstrument("EURGBP")->profitMode, 6);
    // A conversion instrument that names no system currency leaves the mode to the file.
    r = parseMarket(small + "instrument id=2 code=GBPCHF name=x type=1 decimals=5 price=1.1 conversion=3\n" +
                    "instrument id=3 code=EURCHF name=x type=1 decimals=5 price=0.95\n");
    EXPECT_FALSE(r.market);
    EXPECT_NE(r.error.find("give its plmode"), std::string::npos) << r.error;
}

TEST(MarketFile, ScaledPrices) {
    using testserver::formatScaled;
    using testserver::parseScaled;
    EXPECT_EQ(parseScaled("1.08500", 5), 108500);
    EXPECT_EQ(parseScaled("1.085", 5), 108500);
    EXPECT_EQ(parseScaled("151", 3), 151000);
    EXPECT_EQ(parseScaled("0.00001", 5), 1);
    EXPECT_EQ(parseScaled("7", 0), 7);
    for (const char* bad : {"", "1.", ".5", "-1", "1.2.3", "1e5", "1.000001", "12a"})
        EXPECT_FALSE(parseScaled(bad, 5)) << bad;
    EXPECT_FALSE(parseScaled("1", 9));
    EXPECT_EQ(formatScaled(108500, 5), "1.08500");
    EXPECT_EQ(formatScaled(1, 5), "0.00001");
    EXPECT_EQ(formatScaled(151200, 3), "151.200");
    EXPECT_EQ(formatScaled(7, 0), "7");
    EXPECT_EQ(formatScaled(-5, 2), "-0.05");
}

std::vector<std::string_view> args(std::initializer_list<std::string_view> a) {
    return {a};
}

TEST(CommandLine, DefaultsMatchTheSimulationEntry) {
    const auto v = args({});
    auto line = testserver::parseCommandLine(v);
    ASSERT_TRUE(line.options);
    EXPECT_EQ(std::tuple(line.options->host, line.options->port, line.options->feedPort,
                         line.options->dataPort, line.options->market),
              std::tuple("127.0.0.1", 5100, 5101, 5102, testserver::defaultMarketPath()));
    EXPECT_GT(line.options->rate, 0);
    EXPECT_EQ(line.options->snapshotForm, testserver::SnapshotForm::Amp);
    // The news feed where the simulation entry reads it; servers made in-process serve none.
    EXPECT_EQ(std::pair(line.options->newsPort, line.options->newsHttpPort), std::pair(5103, 5104));
    EXPECT_EQ(testserver::ServerOptions().newsPort, -1);
}

TEST(CommandLine, ReadsEveryOption) {
    const auto v = args({"--host",           "127.0.0.2",
                         "--port",           "0",
                         "--feed-port",      "6001",
                         "--data-port",      "65535",
                         "--market",         "/tmp/m.market",
                         "--rate",           "2.5",
                         "--seed",           "18446744073709551615",
                         "--snapshot",       "xml",
                         "--news-port",      "0",
                         "--news-http-port", "7004",
                         "--closed-market",  "EURUSD",
                         "--closed-market",  "XAUUSD",
                         "--clock",          "20270328020100",
                         "--hold-orders"});
    auto line = testserver::parseCommandLine(v);
    ASSERT_TRUE(line.options) << line.error;
    EXPECT_EQ(std::tuple(line.options->host, line.options->port, line.options->feedPort,
                         line.options->dataPort, line.options->market),
              std::tuple("127.0.0.2", 0, 6001, 65535, "/tmp/m.market"));
    EXPECT_DOUBLE_EQ(line.options->rate, 2.5);
    EXPECT_EQ(line.options->seed, 18446744073709551615ULL);
    EXPECT_EQ(line.options->snapshotForm, testserver::SnapshotForm::Xml);
    EXPECT_EQ(std::pair(line.options->newsPort, line.options->newsHttpPort), std::pair(0, 7004));
    EXPECT_EQ(line.options->closedMarkets, (std::vector<std::string>{"EURUSD", "XAUUSD"}));
    EXPECT_TRUE(line.options->holdOrders);
    EXPECT_EQ(tc::wireDateTime(line.options->clockFrom), "20270328020100");
    EXPECT_FALSE(testserver::parseCommandLine(args({"--seed", "1"})).options->holdOrders);
    EXPECT_FALSE(testserver::parseCommandLine(args({"--seed", "1"})).options->clockFrom);
}

TEST(CommandLine, RefusesBadLines) {
    const std::vector<std::vector<std::string_view>> bad = {
        {"--port"},           {"--port", "65536"},    {"--port", "-1"},        {"--port", "80x"},
        {"--feed-port", ""},  {"--rate", "-1"},       {"--rate", "nan"},       {"--rate", "1e9"},
        {"--seed", "-3"},     {"--market", ""},       {"--verbose"},           {"5100"},
        {"--host", ""},       {"--snapshot", "json"}, {"--snapshot"},          {"--news-port", "70000"},
        {"--news-http-port"}, {"--closed-market"},    {"--closed-market", ""},
    };
    for (const auto& v : bad) {
        auto line = testserver::parseCommandLine(v);
        EXPECT_FALSE(line.options) << v.front();
        EXPECT_FALSE(line.error.empty());
    }
    // A clock that names no time (no 30 February, not all its fields).
    for (const char* clock : {"20270230020100", "2027", ""})
        EXPECT_FALSE(testserver::parseCommandLine(args({"--clock", clock})).options) << clock;
    const auto help = args({"--help"});
    EXPECT_TRUE(testserver::parseCommandLine(help).help);
}

} // namespace
