#include "session/snapshot/xml_snapshot_loader.h"

#include "platform/log.h"
#include "session/records/account_details.h"
#include "session/records/item_details.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;

std::string readFixture(const char* name) {
    const auto path = std::filesystem::path(TC_TEST_DATA) / name;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A data set of the given rows.
std::string dataSet(const std::string& rows) {
    return "<?xml version=\"1.0\"?><NewDataSet>" + rows + "</NewDataSet>";
}

std::string account(int id, const std::string& group, const std::string& extra = "") {
    return "<Table4><AccountId>" + std::to_string(id) + "</AccountId><GroupId>" + group + "</GroupId>" +
           extra + "</Table4>";
}

class CapturedLog {
public:
    CapturedLog() : level_(platform::Log::level()) {
        platform::Log::setLevel(platform::LogLevel::Debug);
        platform::Log::setSink([this](platform::LogLevel, std::string_view s) { lines.emplace_back(s); });
    }
    ~CapturedLog() {
        platform::Log::setSink({});
        platform::Log::setLevel(level_);
    }
    bool has(std::string_view part) const {
        for (const auto& l : lines)
            if (l.find(part) != std::string::npos)
                return true;
        return false;
    }
    std::vector<std::string> lines;

private:
    platform::LogLevel level_;
};

class FixtureSnapshot : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string xml = readFixture("snapshot.xml");
        ASSERT_FALSE(xml.empty());
        m = XmlSnapshotLoader::load(xml);
    }
    std::shared_ptr<ItemDetails> item(const char* code) const {
        const auto* found = m.ItemCollection.get(code);
        return found ? *found : nullptr;
    }
    std::shared_ptr<AccountDetails> acct(const char* id) const {
        const auto* found = m.AccountDetailCollection.get(id);
        return found ? *found : nullptr;
    }
    SessionModel m;
};

TEST_F(FixtureSnapshot, UserCarriesTheDataSocketPortsAndTheProductId) {
    ASSERT_TRUE(m.userInfo);
    EXPECT_EQ(m.userInfo->UserId, 1001);
    EXPECT_EQ(m.userInfo->marketdepthPort, 5570);
    EXPECT_EQ(m.userInfo->hdServerPort, 5580);
    EXPECT_EQ(m.userInfo->tradePubPort, 5560);
    EXPECT_EQ(m.userInfo->DdeEnabled, 1);
    EXPECT_TRUE(m.userInfo->UserEnabled);       // "Y"
    EXPECT_TRUE(m.userInfo->CanChangePassword); // "True"
    EXPECT_EQ(m.userInfo->productID, 7u);
    EXPECT_EQ(m.userInfo->systemCurrencyId, 1u);
}

TEST_F(FixtureSnapshot, TypesAndSessionSettings) {
    EXPECT_EQ(m.getInstrumentTypeName(1), "Forex");
    EXPECT_EQ(m.getInstrumentTypeName(2), "Metals");

    auto regular = m.sessionSettings(1);
    ASSERT_TRUE(regular);
    EXPECT_EQ(regular->settingsName, "Regular");
    EXPECT_TRUE(regular->allowNewMarket && regular->allowNewContigent);
    EXPECT_FALSE(regular->allowEditContigent);
    // Enter limit and market are allowed, edit limit is not; edit limit is derived last.
    EXPECT_FALSE(regular->allowNewTpSl);
    // 16711680 = 0xFF0000: pure red.
    EXPECT_EQ(regular->sessionColor, (CalibratedColor{1, 0, 0, 1}));
    EXPECT_EQ(regular->marketTradingStatus, 3u);

    auto closed = m.sessionSettings(2);
    ASSERT_TRUE(closed);
    EXPECT_TRUE(closed->allowNewContigent);
    EXPECT_FALSE(closed->allowNewMarket);
    EXPECT_FALSE(closed->allowNewTpSl); // enter market ("N") is the last flag it sends
    EXPECT_FALSE(closed->sessionColor);
}

TEST_F(FixtureSnapshot, InstrumentsWithTheirTicksTypesAndDates) {
    ASSERT_EQ(m.ItemCollection.size(), 3u);
    auto eur = item("EURUSD");
    ASSERT_TRUE(eur);
    EXPECT_EQ(eur->InstrumentId, 1);
    EXPECT_EQ(eur->DecimalPlaces, 5);
    EXPECT_DOUBLE_EQ(eur->TickSize, 0.00001);
    EXPECT_DOUBLE_EQ(eur->priceTick, 0.00001);
    EXPECT_DOUBLE_EQ(eur->ContractSize, 100000);
    EXPECT_EQ(eur->InstrumentTypeName, "Forex");
    EXPECT_EQ(eur->instrumentTradingStatus, 1);
    EXPECT_EQ(eur->FND, "");
    EXPECT_EQ(eur->LTD, "12/31/2030 17:00:00");
    EXPECT_EQ(eur->UpdateTime, "03/15/2024 09:30:15");
    EXPECT_TRUE(eur->isAvailableForTrading);
    EXPECT_EQ(eur->BaseCurrencyId, 2u);

    auto jpy = item("USDJPY");
    ASSERT_TRUE(jpy);
    EXPECT_EQ(jpy->DecimalPlaces, 3);
    // Sent as 0: both from the 3 decimals.
    EXPECT_DOUBLE_EQ(jpy->TickSize, 0.001);
    EXPECT_DOUBLE_EQ(jpy->priceTick, 0.001);
    // Its currency instrument is the one whose id is its CurrencyID: itself, id 2.
    EXPECT_EQ(jpy->CalculationItems.lock(), jpy);
    EXPECT_EQ(eur->CalculationItems.lock(), nullptr);

    auto gold = item("XAUUSD");
    ASSERT_TRUE(gold);
    EXPECT_EQ(gold->InstrumentTypeName, "Metals");
    EXPECT_DOUBLE_EQ(gold->priceTick, 0.01);
    EXPECT_DOUBLE_EQ(gold->ContractSize, 100);
    EXPECT_EQ(gold->instrumentTradingStatus, 2);
    EXPECT_EQ(gold->MonthCode, "J24");
    // Sent with offsets: 20:00+03:00 and 11:30:17+02:00 are 17:00 and 09:30:17 universal time (tests
    // run in UTC).
    EXPECT_EQ(gold->LTD, "06/27/2024 17:00:00");
    EXPECT_EQ(gold->FND, "06/28/2024 00:00:00");
    EXPECT_EQ(gold->UpdateTime, "03/15/2024 09:30:17");

    ASSERT_EQ(m.symbolTypeCollection.size(), 2u);
    EXPECT_EQ(*m.symbolTypeCollection.get("Forex"),
              "EURUSD:Euro vs US Dollar,USDJPY:US Dollar vs Japanese Yen");
    EXPECT_EQ(*m.symbolTypeCollection.get("Metals"), "XAUUSD:Gold Spot");
}

TEST_F(FixtureSnapshot, GroupsAndTheirInstrumentSettings) {
    auto standard = m.group(10);
    auto pro = m.group(20);
    ASSERT_TRUE(standard && pro);
    EXPECT_EQ(standard->Name, "Standard");
    EXPECT_EQ(pro->ReportHistoryDaysLimit, 365);
    EXPECT_DOUBLE_EQ(standard->OrderQtyStep, 0.01);
    EXPECT_EQ(standard->GroupInstrumentCollection.size(), 3u);
    EXPECT_EQ(pro->GroupInstrumentCollection.size(), 3u);

    auto eurStandard = standard->groupInstrument(1);
    ASSERT_TRUE(eurStandard);
    EXPECT_EQ(eurStandard->GroupId, 10);
    EXPECT_EQ(eurStandard->groupdetailsid, 101);
    EXPECT_DOUBLE_EQ(eurStandard->InitialMargin, 1000);
    EXPECT_DOUBLE_EQ(eurStandard->InitialSellMargin, 1100);
    EXPECT_DOUBLE_EQ(eurStandard->BuyInterestRate, 0.5);
    EXPECT_EQ(eurStandard->margincalculationMode, 1);
    // Margin mode 0 stands for "not applicable".
    EXPECT_EQ(standard->groupInstrument(2)->margincalculationMode, 926);
    EXPECT_EQ(standard->groupInstrument(3)->margincalculationMode, 2);
    // Mode 3 is none of 0, 1, 2: the derived mode stays as it was.
    EXPECT_EQ(pro->groupInstrument(3)->MarginCalcModeId, 3);
    EXPECT_EQ(pro->groupInstrument(3)->margincalculationMode, 0);
    EXPECT_FALSE(pro->groupInstrument(3)->isAvailableForTrading);
}

TEST_F(FixtureSnapshot, AccountsCurrenciesMessagesAndResources) {
    ASSERT_EQ(m.AccountDetailCollection.size(), 3u);
    auto usd = acct("5001");
    auto eur = acct("5002");
    auto savings = acct("5003");
    ASSERT_TRUE(usd && eur && savings);
    EXPECT_EQ(usd->AccountName, "Demo USD");
    EXPECT_EQ(usd->GroupId, "10");
    EXPECT_DOUBLE_EQ(usd->Balance, 10000.50);
    EXPECT_EQ(usd->accountSettings2, "A1");
    EXPECT_EQ(eur->accountaccessType, 2);
    EXPECT_EQ(eur->tradingStatus, 1);
    EXPECT_DOUBLE_EQ(eur->AccumulatingStorage, -4.5);
    // Access type 7 is none of the known ones; trading status 9 leaves the status as it was.
    EXPECT_EQ(savings->accountaccessType, 0);
    EXPECT_EQ(savings->TradingStatusId, 9);
    EXPECT_EQ(savings->tradingStatus, 0);
    EXPECT_FALSE(savings->AccountEnabled);

    ASSERT_EQ(m.tradeCurrencyCollection.size(), 2u);
    ASSERT_TRUE(usd->tradeCurrency && eur->tradeCurrency && savings->tradeCurrency);
    EXPECT_EQ(usd->tradeCurrency->currencyCode, "USD");
    EXPECT_EQ(eur->tradeCurrency->currencyCode, "EUR");
    EXPECT_EQ(savings->tradeCurrency, eur->tradeCurrency);
    // USD comes from the currency list only; EUR's trade-currency row replaced its list entry.
    EXPECT_TRUE(dynamic_cast<const CurrenyList*>(usd->tradeCurrency.get()));
    EXPECT_FALSE(dynamic_cast<const CurrenyList*>(eur->tradeCurrency.get()));
    EXPECT_DOUBLE_EQ(eur->tradeCurrency->depositRate, 1.0);
    EXPECT_EQ(eur->tradeCurrency->conversionMode, 5);

    auto welcome = m.loginInfoMessage(1);
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->Message, "Welcome to the demo server");
    EXPECT_EQ(welcome->DisplayMode, 1);

    ASSERT_EQ(m.resourceCollection.size(), 1u);
    const auto& calendar = *m.resourceCollection.get("CAL");
    EXPECT_EQ(calendar->caption, "Economic calendar");
    EXPECT_EQ(calendar->resourceId, 42u);
    EXPECT_TRUE(calendar->isNew && calendar->enabled);
}

// Accounts 5001 and 5003 are in group 10, 5002 in group 20.
// EURUSD: group 10 fixed (type 1) 2 bid / 3 ask points; group 20 type 0 neither sets nor disturbs it.
//   priceTick 0.00001; mid = (1.10000 + 1.10017) / 2 = 1.100085, exactly half a tick off the grid,
//   which the tick correction rounds down: 1.10008. bid = 1.10008 - 2 * 0.00001 = 1.10006,
//   ask = 1.10008 + 3 * 0.00001 = 1.10011.
// USDJPY: both groups top-up (type 3) 1/2: they agree. priceTick 0.001 (from 3 decimals).
//   bid = 150.100 - 1 * 0.001 = 150.099, ask = 150.120 + 2 * 0.001 = 150.122.
// XAUUSD: group 10 fixed 5/5, group 20 minimum 10/10: the groups disagree, type 4, 0/0, raw quote.
TEST_F(FixtureSnapshot, GroupSpreadsSettledOverAllAccounts) {
    auto eur = item("EURUSD");
    EXPECT_EQ(eur->Spreadtype, ItemDetails::kSpreadFixed);
    EXPECT_EQ(eur->BidSpread, 2);
    EXPECT_EQ(eur->AskSpread, 3);
    EXPECT_DOUBLE_EQ(eur->Bid, 1.10006);
    EXPECT_DOUBLE_EQ(eur->Ask, 1.10011);

    auto jpy = item("USDJPY");
    EXPECT_EQ(jpy->Spreadtype, ItemDetails::kSpreadTopup);
    EXPECT_EQ(jpy->BidSpread, 1);
    EXPECT_EQ(jpy->AskSpread, 2);
    EXPECT_DOUBLE_EQ(jpy->Bid, 150.099);
    EXPECT_DOUBLE_EQ(jpy->Ask, 150.122);

    auto gold = item("XAUUSD");
    EXPECT_EQ(gold->Spreadtype, ItemDetails::kSpreadGroupsDisagree);
    EXPECT_EQ(gold->BidSpread, 0);
    EXPECT_EQ(gold->AskSpread, 0);
    EXPECT_DOUBLE_EQ(gold->Bid, 2150.10);
    EXPECT_DOUBLE_EQ(gold->Ask, 2150.60);
}

TEST_F(FixtureSnapshot, TheHookSeesTheInstrumentsBeforeTheGroupSpreads) {
    std::size_t instruments = 0;
    int settledSpreads = -1;
    const auto again = XmlSnapshotLoader::load(readFixture("snapshot.xml"), {}, [&](SessionModel& model) {
        instruments = model.ItemCollection.size();
        settledSpreads = 0;
        for (const auto& [code, i] : model.ItemCollection)
            settledSpreads += i->Spreadtype != ItemDetails::kSpreadNone;
        (*model.ItemCollection.get("EURUSD"))->isWatchlistSymbol = true;
    });
    EXPECT_EQ(instruments, 3u);
    EXPECT_EQ(settledSpreads, 0);
    EXPECT_TRUE((*again.ItemCollection.get("EURUSD"))->isWatchlistSymbol);

    // Without an instrument table the hook still runs.
    bool ran = false;
    XmlSnapshotLoader::load(dataSet(account(1, "1")), {}, [&](SessionModel&) { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(XmlSnapshotLoader, EachLoadGivesOnlyItsOwnSnapshotsRows) {
    const std::string first =
        dataSet(account(100, "1") + account(200, "1") + "<Table6><Code>EURUSD</Code></Table6>");
    const std::string second = dataSet(account(300, "2"));
    const SessionModel a = XmlSnapshotLoader::load(first);
    const SessionModel b = XmlSnapshotLoader::load(second);
    EXPECT_EQ(a.AccountDetailCollection.size(), 2u);
    ASSERT_EQ(b.AccountDetailCollection.size(), 1u);
    EXPECT_TRUE(b.AccountDetailCollection.contains("300"));
    EXPECT_TRUE(b.ItemCollection.empty());

    // The collected tables are the second text's alone as well.
    const auto tables = XmlSnapshotLoader::collectTables(second);
    ASSERT_EQ(tables.tables.size(), 1u);
    ASSERT_EQ(tables.rows("Table4")->size(), 1u);
}

TEST(XmlSnapshotLoader, TwoThreadsLoadingAtOnceKeepTheirRowsApart) {
    const std::string first = dataSet(account(1, "1") + account(2, "1"));
    const std::string second = dataSet(account(3, "1"));
    auto run = [](const std::string& xml, std::size_t expected, const char* key, bool& ok) {
        ok = true;
        for (int i = 0; i < 200; ++i) {
            const SessionModel m = XmlSnapshotLoader::load(xml);
            ok =
                ok && m.AccountDetailCollection.size() == expected && m.AccountDetailCollection.contains(key);
        }
    };
    bool ok1 = false;
    bool ok2 = false;
    std::thread t1(run, std::cref(first), 2, "2", std::ref(ok1));
    std::thread t2(run, std::cref(second), 1, "3", std::ref(ok2));
    t1.join();
    t2.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

TEST(XmlSnapshotLoader, RowsOfATableKeptWhenOtherTablesStandBetween) {
    const auto m = XmlSnapshotLoader::load(dataSet(
        account(100, "1") + "<Table5><InstrumentTypeId>1</InstrumentTypeId></Table5>" + account(200, "1")));
    EXPECT_EQ(m.AccountDetailCollection.size(), 2u);
    EXPECT_EQ(m.ItemTypeCollection.size(), 1u);
}

TEST(XmlSnapshotLoader, ALaterRowUpdatesTheSameRecordInPlace) {
    const auto m =
        XmlSnapshotLoader::load(dataSet(account(100, "1", "<Balance>5</Balance><Equity>7</Equity>") +
                                        account(200, "1") + account(100, "2", "<Balance>9</Balance>")));
    ASSERT_EQ(m.AccountDetailCollection.size(), 2u);
    const auto& a = *m.AccountDetailCollection.get("100");
    EXPECT_DOUBLE_EQ(a->Balance, 9);
    EXPECT_DOUBLE_EQ(a->Equity, 7); // not in the later row: kept
    EXPECT_EQ(a->GroupId, "2");
    EXPECT_EQ(m.AccountDetailCollection.front().first, "100");
}

TEST(XmlSnapshotLoader, AccessTypeAndTradingStatusRules) {
    const auto m = XmlSnapshotLoader::load(dataSet(
        account(1, "1", "<AccountAccessTypeId>5</AccountAccessTypeId><TradingStatusId>3</TradingStatusId>") +
        account(2, "1", "<AccountAccessTypeId>10</AccountAccessTypeId><TradingStatusId>9</TradingStatusId>") +
        "<Table6><Code>A</Code><TradingStatusId>9</TradingStatusId></Table6>"
        "<Table6><Code>B</Code><TradingStatusId>4</TradingStatusId></Table6>"));
    EXPECT_EQ((*m.AccountDetailCollection.get("1"))->accountaccessType, 0);
    EXPECT_EQ((*m.AccountDetailCollection.get("1"))->tradingStatus, 3);
    EXPECT_EQ((*m.AccountDetailCollection.get("2"))->accountaccessType, 10);
    EXPECT_EQ((*m.AccountDetailCollection.get("2"))->tradingStatus, 0);
    EXPECT_EQ((*m.ItemCollection.get("A"))->instrumentTradingStatus, 0);
    EXPECT_EQ((*m.ItemCollection.get("B"))->instrumentTradingStatus, 4);
}

TEST(XmlSnapshotLoader, WatchListEntriesAndCalculationInstruments) {
    const auto m = XmlSnapshotLoader::load(dataSet(
        "<Table5><InstrumentTypeId>1</InstrumentTypeId><InstrumentTypeName>Forex</InstrumentTypeName></"
        "Table5>"
        "<Table6><Code>EURUSD</Code><Name>Euro</Name><InstrumentId>1</InstrumentId><InstrumentTypeId>1"
        "</InstrumentTypeId><Enabled>1</Enabled><IsAvailableForWatchList>Y</IsAvailableForWatchList></Table6>"
        "<Table6><Code>GBPUSD</Code><Name>Pound</Name><InstrumentId>2</InstrumentId><CurrencyID>1</"
        "CurrencyID>"
        "<InstrumentTypeId>1</InstrumentTypeId><Enabled>true</Enabled>"
        "<IsAvailableForWatchList>true</IsAvailableForWatchList></Table6>"
        // Disabled, then an unknown type: loaded, but not offered for the watch list.
        "<Table6><Code>OFF</Code><InstrumentTypeId>1</InstrumentTypeId><Enabled>0</Enabled>"
        "<IsAvailableForWatchList>1</IsAvailableForWatchList></Table6>"
        "<Table6><Code>ODD</Code><InstrumentTypeId>7</InstrumentTypeId><Enabled>1</Enabled>"
        "<IsAvailableForWatchList>1</IsAvailableForWatchList></Table6>"));
    ASSERT_EQ(m.ItemCollection.size(), 4u);
    ASSERT_EQ(m.symbolTypeCollection.size(), 1u);
    EXPECT_EQ(*m.symbolTypeCollection.get("Forex"), "EURUSD:Euro,GBPUSD:Pound");
    // GBPUSD's CurrencyID 1 names EURUSD's InstrumentId: that is its calculation instrument, not itself.
    EXPECT_EQ((*m.ItemCollection.get("GBPUSD"))->CalculationItems.lock(), *m.ItemCollection.get("EURUSD"));
    EXPECT_EQ((*m.ItemCollection.get("ODD"))->InstrumentTypeName, "");
}

TEST(XmlSnapshotLoader, SessionColorAndTheOrderOfDerivedFlags) {
    const auto m = XmlSnapshotLoader::load(
        dataSet("<Table10><SettingsId>4</SettingsId><SessionColor>16711680</SessionColor>"
                "<EditLimitOrder>1</EditLimitOrder><EnterLimitOrder>0</EnterLimitOrder>"
                "<EnterMarketOrder>0</EnterMarketOrder></Table10>"
                "<Table10><SettingsId>5</SettingsId><SessionColor>abc</SessionColor>"
                "<EnterLimitOrder>1</EnterLimitOrder></Table10>"));
    auto s = m.sessionSettings(4);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sessionColor, (CalibratedColor{1, 0, 0, 1}));
    // Whatever the column order, edit limit is derived last and decides allowNewTpSl.
    EXPECT_TRUE(s->allowNewTpSl);
    EXPECT_TRUE(s->allowEditContigent);
    EXPECT_FALSE(s->allowNewMarket || s->allowNewContigent);
    auto t = m.sessionSettings(5);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->sessionColor, (CalibratedColor{0, 0, 0, 1}));
    EXPECT_TRUE(t->allowNewTpSl);
}

TEST(XmlSnapshotLoader, KeysFollowTheIdNotItsSpelling) {
    const auto m = XmlSnapshotLoader::load(dataSet("<Table8><GroupId> 007</GroupId></Table8>"
                                                   "<Table7><groupid>7</groupid><InstrumentId>+03</"
                                                   "InstrumentId><SpreadTypeId>1</SpreadTypeId></Table7>"));
    auto g = m.group(7);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->GroupId, 7);
    ASSERT_TRUE(g->groupInstrument(3));
    EXPECT_EQ(g->groupInstrument(3)->SpreadTypeId, 1);
}

TEST(XmlSnapshotLoader, ABadRowIsSkippedAndItsTableGoesOn) {
    CapturedLog log;
    const std::string rows = account(1, "1") +
                             // No key column.
                             "<Table4><Balance>5</Balance></Table4>" +
                             // Not UTF-8.
                             "<Table4><AccountId>2</AccountId><AccountName>\xff\xfe</AccountName></Table4>" +
                             account(3, "1") +
                             "<Table8><GroupId>1</GroupId></Table8>"
                             // A group instrument of an unknown group, then one of a known group.
                             "<Table7><groupid>99</groupid><InstrumentId>1</InstrumentId></Table7>"
                             "<Table7><groupid>1</groupid><InstrumentId>2</InstrumentId></Table7>"
                             // An instrument without a code.
                             "<Table6><Name>nameless</Name></Table6><Table6><Code>X</Code></Table6>";
    const auto m = XmlSnapshotLoader::load(dataSet(rows));
    EXPECT_EQ(m.AccountDetailCollection.size(), 2u);
    EXPECT_TRUE(m.AccountDetailCollection.contains("1"));
    EXPECT_TRUE(m.AccountDetailCollection.contains("3"));
    EXPECT_EQ(m.group(1)->GroupInstrumentCollection.size(), 1u);
    EXPECT_EQ(m.ItemCollection.size(), 1u);
    EXPECT_TRUE(log.has("Table4 row 1 skipped"));
    EXPECT_TRUE(log.has("not UTF-8"));
    EXPECT_TRUE(log.has("Table7 row 0 skipped"));
}

TEST(XmlSnapshotLoader, CapsOnRowsColumnsAndTablesAreLogged) {
    CapturedLog log;
    XmlSnapshotLoader::Limits limits;
    limits.maxRowsPerTable = 2;
    limits.maxColumnsPerRow = 3;
    limits.maxTables = 2;
    limits.maxColumnBytes = 9; // "AccountId" just fits
    const std::string rows = account(1, "1") + account(2, "1") + account(3, "1") +
                             "<Table6><Code>A</Code><a>1</a><b>2</b><c>3</c></Table6>"
                             "<Table6><Code>B</Code><Name>1234567890</Name></Table6>"
                             "<Table6><Code>C</Code></Table6>"
                             "<Table5><InstrumentTypeId>1</InstrumentTypeId></Table5>"
                             "<Table6xxxxxxx><Code>D</Code></Table6xxxxxxx>";
    const auto tables = XmlSnapshotLoader::collectTables(dataSet(rows), limits);
    EXPECT_EQ(tables.rows("Table4")->size(), 2u);
    ASSERT_EQ(tables.rows("Table6")->size(), 1u);
    EXPECT_EQ(*tables.rows("Table6")->front().get("Code"), "C");
    EXPECT_EQ(tables.rows("Table5"), nullptr);
    EXPECT_EQ(tables.skippedRows, 5u);
    EXPECT_TRUE(log.has("past the row cap"));
    EXPECT_TRUE(log.has("too many columns"));
    EXPECT_TRUE(log.has("longer than the cap"));
    EXPECT_TRUE(log.has("too many tables"));
    EXPECT_TRUE(log.has("table name longer than the cap"));
    EXPECT_TRUE(log.has("5 rows skipped"));
}

TEST(XmlSnapshotLoader, TickRulesNeverGiveNonFiniteTicks) {
    CapturedLog log;
    const auto m = XmlSnapshotLoader::load(dataSet(
        // No tick: one from the decimals.
        "<Table6><Code>A</Code><TickSize>0</TickSize><DecimalPlaces>5</DecimalPlaces></Table6>"
        // Negative tick, and decimals far past any display: 10^-10.
        "<Table6><Code>B</Code><TickSize>-0.5</TickSize><DecimalPlaces>400</DecimalPlaces></Table6>"
        // No tick and no decimals: no tick at all.
        "<Table6><Code>C</Code><TickSize>0</TickSize><DecimalPlaces>-3</DecimalPlaces></Table6>"
        // Not numbers.
        "<Table6><Code>D</Code><TickSize>nan</TickSize><DecimalPlaces>2</DecimalPlaces><Bid>inf</Bid></"
        "Table6>"
        // A sent priceTick wins over the tick size.
        "<Table6><Code>E</Code><TickSize>0.25</TickSize><priceTick>0.5</priceTick></Table6>"
        // Spreads on all of them, with quotes.
        "<Table4><AccountId>1</AccountId><GroupId>1</GroupId></Table4><Table8><GroupId>1</GroupId></"
        "Table8>"));
    auto tick = [&](const char* code) { return (*m.ItemCollection.get(code))->TickSize; };
    auto priceTick = [&](const char* code) { return (*m.ItemCollection.get(code))->priceTick; };
    EXPECT_DOUBLE_EQ(tick("A"), 0.00001);
    EXPECT_DOUBLE_EQ(priceTick("A"), 0.00001);
    EXPECT_DOUBLE_EQ(tick("B"), 1e-10);
    EXPECT_EQ(tick("C"), 0);
    EXPECT_EQ(priceTick("C"), 0);
    EXPECT_DOUBLE_EQ(tick("D"), 0.01);
    EXPECT_EQ((*m.ItemCollection.get("D"))->Bid, 0);
    EXPECT_DOUBLE_EQ(tick("E"), 0.25);
    EXPECT_DOUBLE_EQ(priceTick("E"), 0.5);
    for (const auto& [code, item] : m.ItemCollection) {
        EXPECT_TRUE(std::isfinite(item->TickSize) && item->TickSize >= 0) << code;
        EXPECT_TRUE(std::isfinite(item->priceTick) && item->priceTick >= 0) << code;
    }
    EXPECT_TRUE(log.has("400 decimal places"));
    EXPECT_TRUE(log.has("\"C\" has no tick size"));
}

TEST(XmlSnapshotLoader, ASpreadOnAnInstrumentWithoutTickLeavesItsQuote) {
    const auto m = XmlSnapshotLoader::load(
        dataSet("<Table6><Code>A</Code><InstrumentId>1</InstrumentId><Bid>10</Bid><Ask>11</Ask></Table6>"
                "<Table8><GroupId>1</GroupId></Table8>"
                "<Table7><groupid>1</groupid><InstrumentId>1</InstrumentId><SpreadTypeId>1</SpreadTypeId>"
                "<SpreadBid>2</SpreadBid><SpreadAsk>2</SpreadAsk></Table7>" +
                account(1, "1")));
    const auto& a = *m.ItemCollection.get("A");
    EXPECT_EQ(a->Spreadtype, 1);
    EXPECT_EQ(a->Bid, 10);
    EXPECT_EQ(a->Ask, 11);
}

TEST(XmlSnapshotLoader, DatesHonourTheirOffset) {
    const auto m = XmlSnapshotLoader::load(
        dataSet("<Table6><Code>A</Code><UpdateTime>2019-05-01T10:00:00+03:00</UpdateTime>"
                "<FND>2019-05-01T10:00:00-02:30</FND><LTD>not a date</LTD></Table6>"));
    const auto& a = *m.ItemCollection.get("A");
    EXPECT_EQ(a->UpdateTime, "05/01/2019 07:00:00");
    EXPECT_EQ(a->FND, "05/01/2019 12:30:00");
    EXPECT_EQ(a->LTD, "");
}

TEST(XmlSnapshotLoader, TextThatIsNotASnapshot) {
    CapturedLog log;
    for (const char* text : {"", "not xml at all", "<a><b>1</b></a>", "<NewDataSet><Table4>"}) {
        const auto m = XmlSnapshotLoader::load(text);
        EXPECT_TRUE(m.AccountDetailCollection.empty()) << text;
        EXPECT_FALSE(m.userInfo) << text;
    }
    // A user row without a column still gives a fresh user.
    const auto m = XmlSnapshotLoader::load(dataSet("<Table1/><Table2><productId>4</productId></Table2>"));
    ASSERT_TRUE(m.userInfo);
    EXPECT_EQ(m.userInfo->UserId, 0);
    EXPECT_EQ(m.userInfo->productID, 4u);
}

TEST(XmlSnapshotLoader, EntitiesInColumnTexts) {
    EXPECT_EQ(XmlSnapshotLoader::decodeEntities("a &amp; b &lt;c&gt; &quot;d&quot; &apos;"),
              "a & b <c> \"d\" '");
    EXPECT_EQ(XmlSnapshotLoader::decodeEntities("&#233;&#xE9;&#X41;"), "\xc3\xa9\xc3\xa9"
                                                                       "A");
    // Unknown or broken references stay as they stand; a code point past Unicode becomes U+FFFD.
    EXPECT_EQ(XmlSnapshotLoader::decodeEntities("&nbsp; &#; &#x; &#0; & &amp"),
              "&nbsp; &#; &#x; &#0; & &amp");
    EXPECT_EQ(XmlSnapshotLoader::decodeEntities("&#x110000;"), "\xef\xbf\xbd");
    EXPECT_EQ(XmlSnapshotLoader::decodeEntities("&#99999999999;"), "&#99999999999;");
}

} // namespace
