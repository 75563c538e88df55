// Login snapshot in the control-character form, as large as a big server sends it (10,000
// instruments, 1,000 accounts, 100,000 group-instrument settings), compressed, Base64'd and sealed
// in an encrypted envelope. Measures opening the envelope and inflating the payload alone, then
// the whole load into a session model; the goal is a whole load at most 2.5x the opening alone.
// The XML form's whole load (tree parse, row collection, tables) is measured on a smaller snapshot
// of the same shape, since its rows are held as column maps before they are read.
#include "platform/base64.h"
#include "platform/log.h"
#include "platform/message_cipher.h"
#include "session/snapshot/amp_snapshot_loader.h"
#include "session/snapshot/xml_snapshot_loader.h"
#include "wire/data_additions.h"
#include "wire/envelope_opener.h"
#include "wire/message_base.h"
#include "wire/stream_deframer.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tc;

constexpr std::string_view kKey =
    "Bu5fr9qBVR+KDtQPOzOiReyjI/L7/ZySpc2mcNhILA7/MJzSJfVuY2z/xK1NQOdzWY5LpZX1gIrJzk83jkgnqQ==";
constexpr int kInstruments = 10'000;
constexpr int kAccounts = 1'000;
constexpr int kGroups = 10;
constexpr int kTypes = 5;

void field(std::string& out, const std::string& value, bool first = false) {
    if (!first)
        out += '\x05';
    out += value;
}

std::string num(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string snapshotText() {
    std::string t;
    // 0 user, 1 product.
    t += "1001\x05"
         "55\x05"
         "56\x05"
         "1\x05Y\x05"
         "2\x05"
         "0\x05"
         "0\x05"
         "1\x05"
         "1\x05"
         "5560\x05"
         "5570\x05"
         "5580\x05"
         "demo\x05\x05"
         "1\x07";
    t += "7\x05TradeDesk\x05"
         "2.4.1\x05x\x05"
         "2.3.0\x07";
    // 2 types.
    for (int i = 1; i <= kTypes; ++i)
        t += std::to_string(i) + "\x05Type " + std::to_string(i) + "\x06";
    t += '\x07';
    // 3 session settings.
    for (int i = 1; i <= 3; ++i)
        t += std::to_string(i) + "\x05Session\x05"
                                 "1\x05"
                                 "1\x05"
                                 "1\x05"
                                 "1\x05"
                                 "1\x05"
                                 "1\x05"
                                 "0\x05"
                                 "0\x05"
                                 "0\x05"
                                 "0\x05"
                                 "16711680\x05"
                                 "0\x05\x05"
                                 "3\x06";
    t += '\x07';
    // 4 instruments, 49 fields each; update times all differ.
    for (int i = 0; i < kInstruments; ++i) {
        const double bid = 1.0 + i * 0.00013;
        char code[16];
        std::snprintf(code, sizeof code, "SYM%05d", i);
        char time[16];
        std::snprintf(time, sizeof time, "20240315%02d%02d%02d", (i / 3600) % 24, (i / 60) % 60, i % 60);
        std::string r;
        field(r, std::to_string(i + 1), true);
        field(r, std::string("Instrument ") + code);
        field(r, code);
        field(r, std::to_string(i % 10 == 0 ? 0 : (i / 7) % kInstruments + 1));
        field(r, "1");
        field(r, std::to_string(i % kTypes + 1));
        field(r, "0.00001");
        field(r, "0.0001");
        field(r, "5");
        field(r, "");
        field(r, "100000");
        field(r, "17");
        field(r, "1");
        field(r, i % 3 == 0 ? "1" : "0");
        field(r, "0");
        field(r, "0.5");
        field(r, "10");
        field(r, "00010101000000");
        field(r, "20301231170000");
        field(r, "0");
        field(r, "1");
        field(r, num(bid));
        field(r, num(bid + 0.0002));
        field(r, num(bid + 0.0001));
        field(r, num(bid + 0.01));
        field(r, num(bid - 0.01));
        field(r, num(bid));
        field(r, num(bid - 0.001));
        field(r, time);
        for (const char* v : {"1", "1", "0", "0", "7",       "",  "",  "",  "1", "3",
                              "",  "",  "3", "2", "0.00001", "0", "0", "0", "2", "1"})
            field(r, v);
        t += r;
        t += '\x06';
    }
    t += '\x07';
    // 5 groups.
    for (int g = 1; g <= kGroups; ++g)
        t += std::to_string(g) + "\x05Group\x05"
                                 "1\x05"
                                 "1\x05\x05"
                                 "1\x05"
                                 "0\x05"
                                 "1\x05"
                                 "0\x05"
                                 "50\x05"
                                 "40\x05"
                                 "100\x05"
                                 "0.01\x05"
                                 "1\x05"
                                 "100\x05"
                                 "50\x05"
                                 "0\x05"
                                 "0\x05"
                                 "90\x05"
                                 "1\x05"
                                 "0\x05"
                                 "3\x06";
    t += '\x07';
    // 6 group instruments: every group has every instrument; groups sometimes disagree.
    for (int g = 1; g <= kGroups; ++g) {
        for (int i = 0; i < kInstruments; ++i) {
            std::string r;
            field(r, std::to_string(g * kInstruments + i), true);
            field(r, std::to_string(g));
            field(r, std::to_string(i + 1));
            for (const char* v : {"0.01", "50", "0.01"})
                field(r, v);
            field(r, std::to_string(1 + i % 3));
            field(r, "2");
            field(r, std::to_string((i + (g % 2) * (i % 5 == 0)) % 4));
            for (const char* v : {"0.5", "0.25", "5", "5", "1", "1000", "500", "50", "250", "750", "1000",
                                  "3.5", "1", "1", "", "", "1100", "3", "1"})
                field(r, v);
            t += r;
            t += '\x06';
        }
    }
    t += '\x07';
    t += '\x07'; // 7
    // 8 accounts.
    for (int a = 0; a < kAccounts; ++a) {
        std::string r;
        field(r, std::to_string(100000 + a), true);
        field(r, std::to_string(a % kGroups + 1));
        for (const char* v :
             {"1", "", "10000.5", "-12.25", "0", "0", "250", "9988.25", "9738.25", "", "1", "2", "1"})
            field(r, v);
        field(r, "Account " + std::to_string(a));
        for (const char* v :
             {"1", "50", "40", "1", "1", "", "0", "1001", "7", "", "", "", "4", "", "", "", ""})
            field(r, v);
        field(r, a % 2 ? "1" : "2");
        field(r, "A1");
        field(r, "0.5");
        t += r;
        t += '\x06';
    }
    for (int s = 9; s <= 16; ++s)
        t += '\x07';
    t += "1\x05Welcome\x05"
         "1\x07\x07\x07";
    t += "42\x05"
         "Calendar\x05url\x05"
         "CAL\x05Tools\x05"
         "CAL\x05"
         "7\x05"
         "1\x05"
         "0\x05"
         "1\x05"
         "0\x07";
    t += "1\x05USD\x05"
         "0\x05"
         "1\x05"
         "1\x05"
         "0\x06"
         "2\x05"
         "EUR\x05"
         "1\x05"
         "0\x05"
         "0\x05"
         "5\x07";
    t += "2\x05"
         "EUR\x05"
         "1\x05"
         "0\x05"
         "0\x05"
         "5\x05"
         "0\x05"
         "1.0";
    return t;
}

struct Sealed {
    std::size_t textBytes = 0;
    std::string tag27; // the envelope's Base64 text, as the type-76 message carries it
};

const Sealed& sealed() {
    static const Sealed s = [] {
        Sealed out;
        const std::string text = snapshotText();
        out.textBytes = text.size();
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        auto deflated = NSDataAdditions::gzipDeflate(bytes);
        std::vector<std::uint8_t> payload{0, 0, 0, 0};
        payload.insert(payload.end(), deflated->begin(), deflated->end());
        const std::string body = "10=33\x03"
                                 "19=778899\x03"
                                 "20=5\x03"
                                 "21=20240315093015\x03"
                                 "160=AMP\x03"
                                 "1050=" +
                                 *NSDataAdditions::base64Encoding(payload) + "\x03";
        const std::string framed = MessageBase::frame(body);
        const std::vector<std::uint8_t> plain(framed.begin(), framed.end());
        auto cipher = platform::Crypto::transformData(plain, platform::Crypto::kAlgorithmAES,
                                                      platform::Crypto::kEncrypt, kKey);
        out.tag27 = *NSDataAdditions::base64Encoding(*cipher);
        return out;
    }();
    return s;
}

// Step (a): the envelope opened, its one frame cut out, the tag-1050 field found and inflated.
std::string openAndInflate(const std::string& tag27) {
    auto plain = openEncryptedEnvelope(tag27, kKey);
    if (!plain)
        std::abort();
    StreamDeframer deframer;
    std::string text;
    deframer.feed(*plain, [&](std::string_view frame) {
        const std::size_t at = frame.find("\x03"
                                          "1050=");
        if (at == std::string_view::npos)
            return;
        std::string_view f = frame.substr(at + 1);
        f = f.substr(0, f.find('\x03'));
        if (auto inflated = decompressedPayloadOfField(f))
            text = std::move(*inflated);
    });
    if (text.empty())
        std::abort();
    return text;
}

SessionModel wholeLoad(const std::string& tag27) {
    auto model = AmpSnapshotLoader().load(openAndInflate(tag27));
    if (!model || model->ItemCollection.size() != kInstruments)
        std::abort();
    return std::move(*model);
}

void BM_SnapshotOpenAndInflate(benchmark::State& state) {
    const auto& s = sealed();
    for (auto _ : state)
        benchmark::DoNotOptimize(openAndInflate(s.tag27));
    state.counters["text_MiB"] = static_cast<double>(s.textBytes) / (1 << 20);
    state.counters["envelope_MiB"] = static_cast<double>(s.tag27.size()) / (1 << 20);
}
BENCHMARK(BM_SnapshotOpenAndInflate)->Unit(benchmark::kMillisecond);

void BM_SnapshotWholeLoad(benchmark::State& state) {
    platform::Log::setLevel(platform::LogLevel::Error);
    const auto& s = sealed();
    for (auto _ : state) {
        auto model = wholeLoad(s.tag27);
        benchmark::DoNotOptimize(model);
        // The loaded model lives on in the session; freeing it is not part of loading. The freed
        // heap goes back to the system, so each load starts as a login does, on fresh pages, not
        // on whatever the allocator's trimming happened to keep.
        state.PauseTiming();
        { [[maybe_unused]] auto gone = std::move(model); }
        malloc_trim(0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SnapshotWholeLoad)->Unit(benchmark::kMillisecond);

// The XML form: 5,000 instruments, 1,000 accounts, two groups with every instrument, every column the
// loader reads.
constexpr int kXmlInstruments = 5'000;
constexpr int kXmlGroups = 2;

// A row of "name=text;name=text" columns.
void xmlRow(std::string& doc, std::string_view table, std::string_view columns) {
    doc += "<";
    doc += table;
    doc += ">";
    while (!columns.empty()) {
        const std::string_view column = columns.substr(0, columns.find(';'));
        columns.remove_prefix(std::min(columns.size(), column.size() + 1));
        const std::string_view name = column.substr(0, column.find('='));
        const std::string_view value = column.substr(std::min(column.size(), name.size() + 1));
        doc += "<";
        doc += name;
        doc += ">";
        doc += value;
        doc += "</";
        doc += name;
        doc += ">";
    }
    doc += "</";
    doc += table;
    doc += ">\n";
}

std::string xmlSnapshotText() {
    std::string doc = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<NewDataSet>\n";
    xmlRow(doc, "Table1",
           "userid=1001;lastrefid=55;NewRefid=56;ddeenabled=1;userenabled=Y;userTypeId=2;forceLogoutRefid=0;"
           "forceLogoutLoadServerId=0;appModeId=1;canChangePassword=True;tradePubPort=5560;"
           "marketdepthPort=5570;hdserverPort=5580;OfflineMessageCount=2;systemCurrencyId=1");
    xmlRow(doc, "Table2", "productId=7;productName=TradeDesk;LatestBuild=2.4.1;LatestSupportedBuild=2.3.0");
    for (int i = 1; i <= kTypes; ++i)
        xmlRow(doc, "Table5",
               "InstrumentTypeId=" + std::to_string(i) + ";InstrumentTypeName=Type " + std::to_string(i));
    for (int i = 1; i <= 3; ++i)
        xmlRow(doc, "Table10",
               "SettingsId=" + std::to_string(i) +
                   ";SettingsName=Session;EnterLimitOrder=1;EnterMarketOrder=1;EditLimitOrder=1;"
                   "EditMarketOrder=1;ExecuteOrders=1;PublishMarketData=1;PublishTradeData=0;"
                   "MatchMMwithMMOrders=0;EnterMarketMakerOrder=0;EditMarketMakertOrder=0;"
                   "SessionColor=16711680;UseELP=0;marketTradingStatus=3");
    for (int i = 0; i < kXmlInstruments; ++i) {
        const double bid = 1.0 + i * 0.00013;
        char code[16];
        std::snprintf(code, sizeof code, "SYM%05d", i);
        char time[32];
        std::snprintf(time, sizeof time, "2024-03-15T%02d:%02d:%02d+00:00", (i / 3600) % 24, (i / 60) % 60,
                      i % 60);
        xmlRow(doc, "Table6",
               "InstrumentId=" + std::to_string(i + 1) + ";Name=Instrument " + code + ";Code=" + code +
                   ";CurrencyID=" + std::to_string(i % 10 == 0 ? 0 : (i / 7) % kXmlInstruments + 1) +
                   ";Enabled=1;InstrumentTypeId=" + std::to_string(i % kTypes + 1) +
                   ";TickSize=0.00001;Point=0.0001;DecimalPlaces=5;MonthCode=;ContractSize=100000;UnitId=17;"
                   "TradingStatusId=1;IsAvailableForWatchList=" +
                   (i % 3 == 0 ? "1" : "0") +
                   ";UnderlyingInstrumentId=0;MaxUpdateFrequency=0.5;CutOffLimitPercentCP=10;"
                   "FND=0001-01-01T00:00:00+00:00;LTD=2030-12-31T17:00:00+00:00;CircuitLimit=0;"
                   "PLCalcModeId=1;Bid=" +
                   num(bid) + ";Ask=" + num(bid + 0.0002) + ";Last=" + num(bid + 0.0001) +
                   ";High=" + num(bid + 0.01) + ";Low=" + num(bid - 0.01) + ";DayOpen=" + num(bid) +
                   ";PrevClose=" + num(bid - 0.001) + ";UpdateTime=" + time +
                   ";CurrentTradeSessionSettingId=1;HedgeModeId=1;MaxHoldingDays=0;HighlightColor=0;"
                   "AvailableOrderTypes=7;isAvailableForTrading=1;availableOrderSettings=3;"
                   "mostSignificantDigitLength=3;leastSignificantDigitLength=2;priceTick=0.00001;"
                   "circuitLimitUp=0;circuitLimitDown=0;orderSettings2=0;BaseCurrencyId=2;MarginFormulaId=1");
    }
    for (int g = 1; g <= kXmlGroups; ++g)
        xmlRow(doc, "Table8",
               "GroupId=" + std::to_string(g) +
                   ";Name=Group;TradingEnabled=1;CompanyId=1;IsNewsEnabled=1;IsMailEnabled=0;IsChatEnabled=1;"
                   "IsEAEnabled=0;InstrumentLimit=50;WatchListItemLimit=40;MaxOrderQty=100;OrderQtyStep=0.01;"
                   "IsTrailingStopEnabled=1;MarginCallLevel=100;StopOutLevel=50;LeverageOnFProfit=0;"
                   "RevLeverageOnFLoss=0;ReportHistoryDaysLimit=90;SendMailReports=1;SendExecutionSMS=0;"
                   "CreditRating=3");
    for (int g = 1; g <= kXmlGroups; ++g) {
        for (int i = 0; i < kXmlInstruments; ++i)
            xmlRow(doc, "Table7",
                   "groupdetailsid=" + std::to_string(g * kXmlInstruments + i) +
                       ";groupid=" + std::to_string(g) + ";InstrumentId=" + std::to_string(i + 1) +
                       ";OrderQtyStep=0.01;MaxOrderQty=50;MinOrderQty=0.01;SpreadBid=" +
                       std::to_string(1 + i % 3) +
                       ";SpreadAsk=2;SpreadTypeId=" + std::to_string((i + (g % 2) * (i % 5 == 0)) % 4) +
                       ";buyInterestRate=0.5;sellInterestRate=0.25;LimitMinPips=5;StopMinPips=5;"
                       "AllowShortSelling=1;Initialmargin=1000;LimitOrderMargin=500;LiquidationMargin=50;"
                       "IntradayOrderMargin=250;BTSTOrderMargin=750;OverNightMargin=1000;Commission=3.5;"
                       "AutoExecutionModeId=1;MarginCalcModeId=1;PLCalcModeId=1;InitialSellMargin=1100;"
                       "availableOrderSettings=3;isAvailableForTrading=1");
    }
    for (int a = 0; a < kAccounts; ++a)
        xmlRow(doc, "Table4",
               "AccountId=" + std::to_string(100000 + a) + ";GroupId=" + std::to_string(a % kXmlGroups + 1) +
                   ";AccountTypeId=1;Balance=10000.5;UnrealisedPL=-12.25;LeverageOnPositions=0;"
                   "CollateralSecurity=0;UsedMargin=250;Equity=9988.25;AvailableMargin=9738.25;HedgeModeId=1;"
                   "TradeRouteId=2;AutoExecutionModeId=1;AccountName=Account " +
                   std::to_string(a) +
                   ";AccountEnabled=1;InstrumentLimit=50;WatchListItemLimit=40;AccountAccessTypeId=1;"
                   "TradingStatusId=1;BranchId=3;AccumulatingStorage=0;primaryAccountHolderUserid=1001;"
                   "AvailableOrderTypes=7;accountSettings=4;currencyID=" +
                   (a % 2 ? "1" : "2") + ";accountSettings2=A1;oneSideMargin=0.5");
    xmlRow(doc, "Table9", "DisplayMode=1;Message=Welcome;ErrorCode=1");
    xmlRow(doc, "Table11",
           "resourceId=42;caption=Calendar;URL=url;iconResourceId=CAL;groupName=Tools;resourceType=CAL;"
           "productId=7;isNew=1;showFocus=0;enabled=1;extraData=0");
    xmlRow(doc, "Table3",
           "currencyID=1;currencyCode=USD;instrumentID=0;bidRate=1;askRate=1;conversionMode=0");
    xmlRow(doc, "Table12",
           "currencyID=2;currencyCode=EUR;instrumentID=1;bidRate=0;askRate=0;conversionMode=5;isDirect=0;"
           "depositRate=1.0");
    doc += "</NewDataSet>\n";
    return doc;
}

const std::string& xmlSnapshot() {
    static const std::string doc = xmlSnapshotText();
    return doc;
}

void BM_SnapshotXmlWholeLoad(benchmark::State& state) {
    platform::Log::setLevel(platform::LogLevel::Error);
    const std::string& doc = xmlSnapshot();
    for (auto _ : state) {
        auto model = XmlSnapshotLoader::load(doc);
        if (model.ItemCollection.size() != kXmlInstruments ||
            model.AccountDetailCollection.size() != kAccounts)
            std::abort();
        benchmark::DoNotOptimize(model);
        state.PauseTiming();
        { [[maybe_unused]] auto gone = std::move(model); }
        state.ResumeTiming();
    }
    state.counters["text_MiB"] = static_cast<double>(doc.size()) / (1 << 20);
}
BENCHMARK(BM_SnapshotXmlWholeLoad)->Unit(benchmark::kMillisecond);

// Both steps timed side by side (best of several runs each), their ratio, and the heap the
// loaded model holds.
void BM_SnapshotLoadRatio(benchmark::State& state) {
    platform::Log::setLevel(platform::LogLevel::Error);
    const auto& s = sealed();
    using Clock = std::chrono::steady_clock;
    double bestOpen = 1e300;
    double bestWhole = 1e300;
    for (auto _ : state) {
        for (int i = 0; i < 5; ++i) {
            auto t0 = Clock::now();
            benchmark::DoNotOptimize(openAndInflate(s.tag27));
            auto t1 = Clock::now();
            auto model = wholeLoad(s.tag27);
            auto t2 = Clock::now();
            benchmark::DoNotOptimize(model);
            bestOpen = std::min(bestOpen, std::chrono::duration<double, std::milli>(t1 - t0).count());
            bestWhole = std::min(bestWhole, std::chrono::duration<double, std::milli>(t2 - t1).count());
        }
    }
    malloc_trim(0);
    const auto before = mallinfo2().uordblks;
    auto model = wholeLoad(s.tag27);
    const auto after = mallinfo2().uordblks;
    benchmark::DoNotOptimize(model);
    std::printf(
        "Login snapshot: whole load %.1f ms, its floor (decrypt and inflate alone) %.1f ms, ratio %.2f "
        "(goal <= 2.5)\n",
        bestWhole, bestOpen, bestWhole / bestOpen);
    state.counters["open_ms"] = bestOpen;
    state.counters["whole_ms"] = bestWhole;
    state.counters["ratio"] = bestWhole / bestOpen;
    state.counters["model_MiB"] = static_cast<double>(after - before) / (1 << 20);
}
BENCHMARK(BM_SnapshotLoadRatio)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
