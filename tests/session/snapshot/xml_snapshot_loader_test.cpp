#include "session/snapshot/xml_snapshot_loader.h"

#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "platform/log.h"
#include "support/decimal_literal.h"
#include "support/log_capture.h"
#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace tc;

// A data set of the given rows.
std::string dataSet(const std::string& rows) {
    return "<?xml version=\"1.0\"?><NewDataSet>" + rows + "</NewDataSet>";
}

std::string account(int id, const std::string& group, const std::string& extra = "") {
    return "<Table4><AccountId>" + std::to_string(id) + "</AccountId><GroupId>" + group + "</GroupId>" +
           extra + "</Table4>";
}

using testing_support::LogCapture;
using testing_support::operator""_dec;

// The fixture's values are checked on the control-character form; the two forms load to the same
// model, field for field (snapshot_forms_test).
TEST(XmlSnapshotLoader, TheHookSeesTheInstrumentsBeforeTheGroupSpreads) {
    std::size_t instruments = 0;
    int settledSpreads = -1;
    const auto again =
        XmlSnapshotLoader::load(testing_support::fixtureText("snapshot.xml"), {}, [&](SessionModel& model) {
            instruments = model.ItemCollection.size();
            settledSpreads = 0;
            for (const auto& [code, i] : model.ItemCollection)
                settledSpreads += i->SpreadType != ItemDetails::kSpreadNone;
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
    EXPECT_EQ(a->Balance.toDouble(), 9);
    EXPECT_DOUBLE_EQ(a->Equity, 7); // not in the later row: kept
    EXPECT_EQ(a->GroupId, "2");
    EXPECT_EQ(m.AccountDetailCollection.front().first, "100");
}

// The forms test cannot see these: the control-character form has no such fields.
TEST(XmlSnapshotLoader, ColumnsOnlyThisFormCarriesAreRead) {
    const auto m = XmlSnapshotLoader::load(dataSet(
        "<Table1><userid>5</userid><OfflineMessageCount>3</OfflineMessageCount></Table1>"
        "<Table2><productId>-1</productId></Table2>" +
        account(1, "1", "<BranchId>12</BranchId>") +
        "<Table8><GroupId>1</GroupId></Table8><Table7><groupid>1</groupid><InstrumentId>4</InstrumentId>"
        "<PLCalcModeId>2</PLCalcModeId></Table7>"));
    ASSERT_TRUE(m.userInfo);
    EXPECT_EQ(std::tuple(m.userInfo->UserId, m.userInfo->OfflineMessageCount), std::tuple(5, 3));
    EXPECT_EQ(m.userInfo->productID, ~std::uint64_t{0}); // a 32-bit id widened with its sign
    EXPECT_EQ((*m.AccountDetailCollection.get("1"))->BranchId, 12);
    ASSERT_NE(m.group(1)->groupInstrument(4), nullptr);
    EXPECT_EQ(m.group(1)->groupInstrument(4)->PLCalcModeId, 2);
}

TEST(XmlSnapshotLoader, AccessTypeAndTradingStatusRules) {
    const auto m = XmlSnapshotLoader::load(dataSet(
        account(1, "1", "<AccountAccessTypeId>5</AccountAccessTypeId><TradingStatusId>3</TradingStatusId>") +
        account(2, "1", "<AccountAccessTypeId>10</AccountAccessTypeId><TradingStatusId>9</TradingStatusId>") +
        "<Table6><Code>A</Code><TradingStatusId>9</TradingStatusId></Table6>"
        "<Table6><Code>B</Code><TradingStatusId>4</TradingStatusId></Table6>"));
    EXPECT_EQ((*m.AccountDetailCollection.get("1"))->accountAccessType, 0);
    EXPECT_EQ((*m.AccountDetailCollection.get("1"))->tradingStatus, 3);
    EXPECT_EQ((*m.AccountDetailCollection.get("2"))->accountAccessType, 10);
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
    LogCapture log;
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
    EXPECT_TRUE(log.contains("Table4 row 1 skipped"));
    EXPECT_TRUE(log.contains("not UTF-8"));
    EXPECT_TRUE(log.contains("Table7 row 0 skipped"));
}

TEST(XmlSnapshotLoader, CapsOnRowsColumnsAndTablesAreLogged) {
    LogCapture log;
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
    EXPECT_TRUE(log.contains("past the row cap"));
    EXPECT_TRUE(log.contains("too many columns"));
    EXPECT_TRUE(log.contains("longer than the cap"));
    EXPECT_TRUE(log.contains("too many tables"));
    EXPECT_TRUE(log.contains("table name longer than the cap"));
    EXPECT_TRUE(log.contains("5 rows skipped"));
}

TEST(XmlSnapshotLoader, TickRulesNeverGiveNonFiniteTicks) {
    LogCapture log;
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
    auto tick = [&](const char* code) { return (*m.ItemCollection.get(code))->TickSize.toDouble(); };
    auto priceTick = [&](const char* code) { return (*m.ItemCollection.get(code))->priceTick.toDouble(); };
    EXPECT_DOUBLE_EQ(tick("A"), 0.00001);
    EXPECT_DOUBLE_EQ(priceTick("A"), 0.00001);
    EXPECT_DOUBLE_EQ(tick("B"), 1e-10);
    EXPECT_EQ(tick("C"), 0);
    EXPECT_EQ(priceTick("C"), 0);
    EXPECT_DOUBLE_EQ(tick("D"), 0.01);
    EXPECT_TRUE((*m.ItemCollection.get("D"))->Bid.isZero());
    EXPECT_DOUBLE_EQ(tick("E"), 0.25);
    EXPECT_DOUBLE_EQ(priceTick("E"), 0.5);
    for (const auto& [code, item] : m.ItemCollection) {
        EXPECT_TRUE(!item->TickSize.isNaN() && !item->TickSize.isNegative()) << code;
        EXPECT_TRUE(!item->priceTick.isNaN() && !item->priceTick.isNegative()) << code;
    }
    EXPECT_TRUE(log.contains("400 decimal places"));
    EXPECT_TRUE(log.contains("\"C\" has no tick size"));
}

TEST(XmlSnapshotLoader, ASpreadOnAnInstrumentWithoutTickLeavesItsQuote) {
    const auto m = XmlSnapshotLoader::load(
        dataSet("<Table6><Code>A</Code><InstrumentId>1</InstrumentId><Bid>10</Bid><Ask>11</Ask></Table6>"
                "<Table8><GroupId>1</GroupId></Table8>"
                "<Table7><groupid>1</groupid><InstrumentId>1</InstrumentId><SpreadTypeId>1</SpreadTypeId>"
                "<SpreadBid>2</SpreadBid><SpreadAsk>2</SpreadAsk></Table7>" +
                account(1, "1")));
    const auto& a = *m.ItemCollection.get("A");
    EXPECT_EQ(std::tuple(a->SpreadType, a->Bid, a->Ask), std::tuple(1, 10_dec, 11_dec));
}

TEST(XmlSnapshotLoader, DatesHonourTheirOffset) {
    const auto m = XmlSnapshotLoader::load(
        dataSet("<Table6><Code>A</Code><UpdateTime>2019-05-01T10:00:00+03:00</UpdateTime>"
                "<FND>2019-05-01T10:00:00-02:30</FND><LTD>not a date</LTD></Table6>"));
    const auto& a = *m.ItemCollection.get("A");
    EXPECT_EQ(std::tuple(displayDateTime(a->UpdateTime), displayDateTime(a->FND), displayDateTime(a->LTD)),
              std::tuple("05/01/2019 07:00:00", "05/01/2019 12:30:00", ""));
}

TEST(XmlSnapshotLoader, TextThatIsNotASnapshot) {
    LogCapture log;
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
