#include "session/snapshot/amp_snapshot_loader.h"

#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "platform/log.h"
#include "wire/data_additions.h"

#include "model/model_dump.h"
#include "support/log_capture.h"
#include "support/wire_text.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

constexpr double kEps = 1e-9;

std::string amp(std::string_view readable) {
    return testing_support::wireText(readable);
}

SessionModel loadOrFail(std::string_view text, AmpLoadStats* stats = nullptr,
                        AmpSnapshotLoader::Limits limits = {}) {
    auto model = AmpSnapshotLoader(limits).load(text, stats);
    EXPECT_TRUE(model.has_value());
    return model ? std::move(*model) : SessionModel{};
}

std::shared_ptr<const ItemDetails> item(const SessionModel& m, std::string_view code) {
    const auto* found = m.ItemCollection.get(code);
    return found ? found->shared() : nullptr;
}

std::shared_ptr<const AccountDetails> account(const SessionModel& m, std::string_view id) {
    const auto* found = m.AccountDetailCollection.get(id);
    return found ? found->shared() : nullptr;
}

std::vector<std::string> keysOf(const auto& map) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : map)
        keys.push_back(key);
    return keys;
}

using testing_support::LogCapture;

// A 49-field instrument record: id, code, type, tick size, decimals, price tick, with the watch-list
// and enabled flags set; every other field empty.
std::string instrument(std::string_view id, std::string_view code, std::string_view type,
                       std::string_view tick, std::string_view decimals, std::string_view priceTick,
                       std::size_t fields = 49) {
    std::vector<std::string> f(fields);
    auto set = [&](std::size_t pos, std::string_view v) {
        if (pos < f.size())
            f[pos] = v;
    };
    set(0, id);
    set(1, std::string(code) + " name");
    set(2, code);
    set(4, "1");
    set(5, type);
    set(6, tick);
    set(8, decimals);
    set(13, "1");
    set(43, priceTick);
    std::string out;
    for (std::size_t i = 0; i < f.size(); ++i)
        out += (i ? "<C>" : "") + f[i];
    return out;
}

class AmpFixture : public ::testing::Test {
protected:
    void SetUp() override {
        text = testing_support::ampSnapshotFixture();
        ASSERT_FALSE(text.empty()) << "fixture not found";
        model = loadOrFail(text, &stats);
    }
    std::string text;
    AmpLoadStats stats;
    SessionModel model;
};

TEST_F(AmpFixture, UserAndProduct) {
    ASSERT_TRUE(model.userInfo);
    const UserInfo& u = *model.userInfo;
    EXPECT_EQ(std::tuple(u.UserId, u.LastRefId, u.NewRefId, u.DdeEnabled), std::tuple(1001, 55, 56, 1));
    EXPECT_TRUE(u.UserEnabled);
    EXPECT_TRUE(u.CanChangePassword);
    EXPECT_EQ(std::tuple(u.tradePubPort, u.marketDepthPort, u.hdServerPort, u.systemCurrencyId, u.productID),
              std::tuple(5560, 5570, 5580, 1u, 7u));
    EXPECT_EQ(std::tuple(stats.sections, stats.recordsSkipped, stats.recordsDropped),
              std::tuple(22u, 0u, 0u));
}

TEST_F(AmpFixture, TypesAndSessionSettings) {
    EXPECT_EQ(keysOf(model.ItemTypeCollection), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(model.getInstrumentTypeName(2), "Metals");

    // The take-profit permission and colour rules of a record have their own tests.
    auto regular = model.sessionSettings(1);
    ASSERT_TRUE(regular && model.sessionSettings(2));
    EXPECT_EQ(std::tuple(regular->settingsName, regular->allowNewMarket, regular->sessionColor,
                         regular->marketTradingStatus),
              std::tuple("Regular", true, (CalibratedColor{1, 0, 0, 1}), 3u));
    EXPECT_FALSE(model.sessionSettings(2)->sessionColor.has_value());
}

TEST_F(AmpFixture, Instruments) {
    EXPECT_EQ(keysOf(model.ItemCollection), (std::vector<std::string>{"EURUSD", "USDJPY", "XAUUSD"}));

    auto eur = item(model, "EURUSD");
    ASSERT_TRUE(eur);
    EXPECT_EQ(std::tuple(eur->InstrumentId, eur->Name, eur->InstrumentTypeName, eur->DecimalPlaces,
                         eur->TickSize, eur->priceTick, eur->ContractSize, eur->instrumentTradingStatus,
                         displayDateTime(eur->FND), displayDateTime(eur->LTD),
                         displayDateTime(eur->UpdateTime), eur->DayOpen, eur->mostSignificantDigitLength,
                         eur->BaseCurrencyId),
              std::tuple(1, "Euro vs US Dollar", "Forex", 5, 0.00001_dec, 0.00001_dec, 100000_dec, 1, "",
                         "12/31/2030 17:00:00", "03/15/2024 09:30:15", 1.101_dec, 3u, 2u));
    EXPECT_FALSE(eur->CalculationItems.lock());

    // Neither tick sent: both come from the 3 decimals.
    auto jpy = item(model, "USDJPY");
    ASSERT_TRUE(jpy);
    EXPECT_EQ(jpy->TickSize, 0.001_dec);
    EXPECT_EQ(jpy->priceTick, 0.001_dec);
    EXPECT_EQ(jpy->CalculationItems.lock(), jpy);

    auto gold = item(model, "XAUUSD");
    ASSERT_TRUE(gold);
    EXPECT_EQ(std::tuple(gold->InstrumentTypeName, gold->MonthCode, gold->UnitId,
                         gold->instrumentTradingStatus, displayDateTime(gold->FND), gold->HighlightColor),
              std::tuple("Metals", "J24", 9, 2, "06/28/2024 00:00:00", 255));
    EXPECT_EQ(std::tuple(gold->isAvailableForTrading, gold->orderSettings2, gold->MarginFormulaId),
              std::tuple(false, 8, 2u));

    EXPECT_EQ(keysOf(model.symbolTypeCollection), (std::vector<std::string>{"Forex", "Metals"}));
    EXPECT_EQ(model.symbolTypeCollection.at("Forex"),
              "EURUSD:Euro vs US Dollar,USDJPY:US Dollar vs Japanese Yen");
    EXPECT_EQ(model.symbolTypeCollection.at("Metals"), "XAUUSD:Gold Spot");
}

TEST_F(AmpFixture, GroupsAndTheirInstrumentSettings) {
    auto standard = model.group(10);
    auto pro = model.group(20);
    ASSERT_TRUE(standard && pro);
    EXPECT_EQ(std::tuple(standard->Name, standard->WatchlistItemLimit, standard->OrderQtyStep,
                         standard->ReportHistoryDaysLimit),
              std::tuple("Standard", 40, 0.01_dec, 90));
    EXPECT_EQ(std::tuple(pro->StopOutLevel, pro->SendExecutionSMS, pro->CreditRating),
              std::tuple(30_dec, true, 5));

    std::vector<std::int32_t> ids;
    for (const GroupInstruments& settings : standard->GroupInstrumentCollection)
        ids.push_back(settings.InstrumentId);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3}));
    auto eur = standard->groupInstrument(1);
    ASSERT_TRUE(eur);
    EXPECT_EQ(std::tuple(eur->groupdetailsid, eur->SpreadTypeId, eur->Commission, eur->InitialSellMargin,
                         eur->marginCalculationMode),
              std::tuple(101, 1, 3.5_dec, 1100_dec, 1));
    // The margin-mode rules of a record have their own tests.
    EXPECT_EQ(pro->groupInstrument(3)->MarginCalcModeId, 3);
    EXPECT_FALSE(pro->groupInstrument(3)->isAvailableForTrading);
}

TEST_F(AmpFixture, AccountsAndTheirCurrencies) {
    EXPECT_EQ(keysOf(model.AccountDetailCollection), (std::vector<std::string>{"5001", "5002", "5003"}));
    auto usd = account(model, "5001");
    ASSERT_TRUE(usd);
    EXPECT_EQ(std::tuple(usd->GroupId, usd->AccountName, usd->Balance, usd->UnrealisedPL,
                         usd->AvailableMargin, usd->accountSettings, usd->accountSettings2,
                         usd->oneSideMargin, usd->primaryAccountHolderUserid, usd->accountAccessType,
                         usd->tradingStatus),
              std::tuple("10", "Demo USD", 10000.5_dec, -12.25, 9738.25, 4, "A1", 0.5_dec, 1001u, 1, 1));

    // Access type 7 is unknown: 0. Status 9 is out of range: the initial 0 stays.
    auto savings = account(model, "5003");
    ASSERT_TRUE(savings);
    EXPECT_FALSE(savings->AccountEnabled);
    EXPECT_EQ(std::tuple(savings->AccountAccessTypeId, savings->accountAccessType, savings->TradingStatusId,
                         savings->tradingStatus),
              std::tuple(7, 0, 9, 0));

    // USD comes only from the currency list; EUR is replaced by the trade-currency section.
    ASSERT_TRUE(usd->tradeCurrency);
    EXPECT_EQ(usd->tradeCurrency->currencyCode, "USD");
    EXPECT_TRUE(dynamic_cast<const CurrenyList*>(usd->tradeCurrency.get()));
    auto eur = account(model, "5002")->tradeCurrency;
    ASSERT_TRUE(eur);
    EXPECT_FALSE(dynamic_cast<const CurrenyList*>(eur.get()));
    EXPECT_EQ(eur->conversionMode, 5);
    EXPECT_EQ(eur->depositRate, 1_dec);
    EXPECT_EQ(savings->tradeCurrency, eur);
    EXPECT_EQ(keysOf(model.tradeCurrencyCollection), (std::vector<std::string>{"1", "2"}));
}

TEST_F(AmpFixture, GroupSpreadsSettledAndApplied) {
    // Accounts 5001 and 5003 are in group 10, 5002 in group 20.
    //
    // EURUSD: group 10 fixed 2/3, group 20 none -> fixed 2/3. Raw 1.10000 / 1.10017, mid 1.100085;
    // on the 0.00001 grid the remainder 0.000005 is exactly half a tick, which rounds down: 1.10008.
    // Bid = 1.10008 - 2 x 0.00001 = 1.10006, Ask = 1.10008 + 3 x 0.00001 = 1.10011.
    auto eur = item(model, "EURUSD");
    EXPECT_EQ(std::tuple(eur->SpreadType, eur->BidSpread, eur->AskSpread),
              std::tuple(ItemDetails::kSpreadFixed, 2, 3));
    EXPECT_NEAR(eur->Bid.toDouble(), 1.10006, kEps);
    EXPECT_NEAR(eur->Ask.toDouble(), 1.10011, kEps);

    // USDJPY: both groups top-up 1/2 -> agree. Bid = 150.100 - 0.001, Ask = 150.120 + 2 x 0.001.
    auto jpy = item(model, "USDJPY");
    EXPECT_EQ(jpy->SpreadType, ItemDetails::kSpreadTopup);
    EXPECT_NEAR(jpy->Bid.toDouble(), 150.099, kEps);
    EXPECT_NEAR(jpy->Ask.toDouble(), 150.122, kEps);

    // XAUUSD: fixed 5/5 against minimum 10/10 -> the groups disagree, the quote stays raw.
    auto gold = item(model, "XAUUSD");
    EXPECT_EQ(std::tuple(gold->SpreadType, gold->BidSpread, gold->AskSpread, gold->Bid, gold->Ask),
              std::tuple(ItemDetails::kSpreadGroupsDisagree, 0, 0, 2150.10_dec, 2150.60_dec));
}

TEST_F(AmpFixture, LoginMessageAndResource) {
    auto welcome = model.loginInfoMessage(1);
    ASSERT_TRUE(welcome);
    EXPECT_EQ(welcome->Message, "Welcome to the demo server");
    EXPECT_EQ(welcome->DisplayMode, 1);
    ASSERT_EQ(model.resourceCollection.size(), 1u);
    const auto& [key, calendar] = model.resourceCollection.front();
    EXPECT_EQ(key, "CAL");
    EXPECT_EQ(std::tuple(calendar->caption, calendar->productId, calendar->isNew, calendar->showFocus,
                         calendar->enabled),
              std::tuple("Economic calendar", 7u, true, false, true));
}

TEST_F(AmpFixture, CompressedFieldLoadsTheSameModel) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    auto deflated = NSDataAdditions::gzipDeflate(bytes);
    ASSERT_TRUE(deflated);
    std::vector<std::uint8_t> payload{0xde, 0xad, 0xbe, 0xef};
    payload.insert(payload.end(), deflated->begin(), deflated->end());
    const std::string field = "1050=" + *NSDataAdditions::base64Encoding(payload);

    auto fromField = AmpSnapshotLoader().loadFromCompressedField(field);
    ASSERT_TRUE(fromField);
    EXPECT_EQ(dumpSessionModel(*fromField), dumpSessionModel(model));

    LogCapture log;
    EXPECT_FALSE(AmpSnapshotLoader().loadFromCompressedField("1050=not a payload"));
    EXPECT_FALSE(AmpSnapshotLoader().loadFromCompressedField("1051=" + field.substr(5)));
    EXPECT_TRUE(log.contains("does not decode"));
}

TEST_F(AmpFixture, ParsesOnTwoThreadsDoNotInterfere) {
    const std::string expected = dumpSessionModel(model);
    std::string a;
    std::string b;
    const AmpSnapshotLoader loader;
    std::thread ta([&] {
        for (int i = 0; i < 20; ++i)
            a = dumpSessionModel(*loader.load(text));
    });
    std::thread tb([&] {
        for (int i = 0; i < 20; ++i)
            b = dumpSessionModel(*loader.load(text));
    });
    ta.join();
    tb.join();
    EXPECT_EQ(a, expected);
    EXPECT_EQ(b, expected);
}

TEST_F(AmpFixture, HookRunsAfterInstrumentsBeforeAccounts) {
    AmpSnapshotLoader loader;
    std::size_t instruments = 0;
    std::size_t accounts = 99;
    int calls = 0;
    loader.setInstrumentsLoadedHook([&](SessionModel& m) {
        ++calls;
        instruments = m.ItemCollection.size();
        accounts = m.AccountDetailCollection.size();
    });
    ASSERT_TRUE(loader.load(text));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(instruments, 3u);
    EXPECT_EQ(accounts, 0u);
}

TEST_F(AmpFixture, SectionsPastTheLastKnownOneAreIgnored) {
    const auto more = loadOrFail(text + "\x07" + "junk\x05record\x07\x07" + "1\x05more");
    EXPECT_EQ(dumpSessionModel(more), dumpSessionModel(model));
}

TEST(AmpSnapshotLoader, SectionBoundaries) {
    // No 0x07 at all: the user section alone.
    auto userOnly = loadOrFail(amp("42<C>1<C>2"));
    ASSERT_TRUE(userOnly.userInfo);
    EXPECT_EQ(userOnly.userInfo->UserId, 42);
    EXPECT_TRUE(userOnly.ItemTypeCollection.empty());

    // An empty text still gives a fresh user with every value 0.
    auto empty = loadOrFail("");
    ASSERT_TRUE(empty.userInfo);
    EXPECT_EQ(empty.userInfo->UserId, 0);
    EXPECT_EQ(empty.userInfo->marketDepthPort, 0);

    // Only the first record of the user and product sections is read; a trailing 0x07 is an empty
    // section that files nothing.
    auto m = loadOrFail(amp("1<R>2<S>3<C>A<R>4<C>B<S>"));
    EXPECT_EQ(m.userInfo->UserId, 1);
    EXPECT_EQ(m.userInfo->productID, 3u);
    EXPECT_TRUE(m.ItemTypeCollection.empty());

    // A negative product id is sign-extended into the unsigned property.
    EXPECT_EQ(loadOrFail(amp("<S>-1")).userInfo->productID, UINT64_MAX);
}

TEST(AmpSnapshotLoader, RepeatedKeysReplaceInPlace) {
    auto m = loadOrFail(amp("<S><S>1<C>Forex<R>2<C>Metals<R>1<C>FX<S>7<C>First<R>7<C>Second"));
    EXPECT_EQ(keysOf(m.ItemTypeCollection), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(m.getInstrumentTypeName(1), "FX");
    EXPECT_EQ(m.sessionSettings(7)->settingsName, "Second");
}

// Sections 0 to 3 empty, then instruments, as a readable prefix.
constexpr std::string_view kTypesThenInstruments = "<S><S>1<C>Forex<S><S>";

TEST(AmpSnapshotLoader, BadInstrumentIsPassedOverAndTheSectionGoesOn) {
    LogCapture log;
    AmpLoadStats stats;
    const std::string text =
        amp(std::string(kTypesThenInstruments) + instrument("1", "EURUSD", "1", "0.00001", "5", "") +
            "<R>7<C>Broken<R>" + instrument("8", "GBPUSD", "99", "0.00001", "5", "") + "<R>" +
            instrument("9", "USDCHF", "1", "0.00001", "5", "") + "<R><C>no code<C><C>1");
    auto m = loadOrFail(text, &stats);
    // The record without a code and the one with an empty code are passed over; the instrument of an
    // unknown type is filed but not offered for the watch list.
    EXPECT_EQ(keysOf(m.ItemCollection), (std::vector<std::string>{"EURUSD", "GBPUSD", "USDCHF"}));
    EXPECT_EQ(stats.recordsSkipped, 2u);
    EXPECT_EQ(stats.instrumentsWithoutType, 1u);
    EXPECT_EQ(m.symbolTypeCollection.at("Forex"), "EURUSD:EURUSD name,USDCHF:USDCHF name");
    EXPECT_EQ(item(m, "GBPUSD")->InstrumentTypeName, "");
    EXPECT_TRUE(log.contains("without a code"));
    EXPECT_TRUE(log.contains("unknown type 99"));
}

TEST(AmpSnapshotLoader, CalculationInstrumentsLinkedAfterASkippedRecord) {
    // USDJPY converts through instrument 2 (itself), EURGBP through 9 (absent).
    std::string jpy = instrument("2", "USDJPY", "1", "0.001", "3", "");
    jpy.replace(jpy.find("USDJPY<C>") + 9, 0, "2");
    std::string cross = instrument("3", "EURGBP", "1", "0.00001", "5", "");
    cross.replace(cross.find("EURGBP<C>") + 9, 0, "9");
    auto m = loadOrFail(amp(std::string(kTypesThenInstruments) + "1<C>bad<R>" + jpy + "<R>" + cross));
    EXPECT_EQ(item(m, "USDJPY")->CurrencyID, 2);
    EXPECT_EQ(item(m, "USDJPY")->CalculationItems.lock(), item(m, "USDJPY"));
    EXPECT_EQ(item(m, "EURGBP")->CurrencyID, 9);
    EXPECT_FALSE(item(m, "EURGBP")->CalculationItems.lock());
}

TEST(AmpSnapshotLoader, TickSizesNeverLeaveAGridThatBreaksArithmetic) {
    const std::string text = amp(std::string(kTypesThenInstruments) +
                                 // Negative tick: derived from the decimals.
                                 instrument("1", "NEG", "1", "-0.5", "2", "") + "<R>" +
                                 // Far too many decimals: the finest grid shown, 10 decimals.
                                 instrument("2", "DEEP", "1", "0", "400", "0") + "<R>" +
                                 // Nothing to derive from: no grid at all, not NaN.
                                 instrument("3", "FLAT", "1", "0", "0", "0") + "<R>" +
                                 instrument("4", "NEGDEC", "1", "nan", "-3", "-1") + "<R>" +
                                 // A short record still gets its grid.
                                 instrument("5", "SHORT", "1", "0", "4", "", 12) + "<R>" +
                                 // Price tick of its own is kept.
                                 instrument("6", "OWN", "1", "0.25", "2", "0.5"));
    auto m = loadOrFail(text);
    EXPECT_EQ(item(m, "NEG")->TickSize, 0.01_dec);
    EXPECT_EQ(item(m, "NEG")->priceTick, 0.01_dec);
    EXPECT_EQ(item(m, "DEEP")->DecimalPlaces, 400);
    EXPECT_EQ(item(m, "DEEP")->TickSize, 1e-10_dec);
    EXPECT_EQ(item(m, "FLAT")->TickSize, 0_dec);
    EXPECT_EQ(item(m, "FLAT")->priceTick, 0_dec);
    EXPECT_EQ(item(m, "NEGDEC")->TickSize, 0_dec);
    EXPECT_EQ(item(m, "NEGDEC")->priceTick, 0_dec);
    EXPECT_EQ(item(m, "SHORT")->TickSize, 0.0001_dec);
    EXPECT_EQ(item(m, "SHORT")->priceTick, 0.0001_dec);
    EXPECT_EQ(item(m, "OWN")->TickSize, 0.25_dec);
    EXPECT_EQ(item(m, "OWN")->priceTick, 0.5_dec);

    // A fixed spread on the instrument without a grid leaves its quote alone.
    const std::shared_ptr<ItemDetails> flat = *m.ItemCollection.get("FLAT");
    flat->SpreadType = ItemDetails::kSpreadFixed;
    flat->BidSpread = 2;
    flat->AskSpread = 3;
    PriceUpdate quote;
    quote.ItemCode = "FLAT";
    quote.Bid = 10_cdec;
    quote.Ask = 11_cdec;
    flat->ApplySpread(quote);
    EXPECT_EQ(quote.Bid, 10_cdec);
    EXPECT_EQ(quote.Ask, 11_cdec);
    for (const auto& [code, i] : m.ItemCollection) {
        EXPECT_TRUE(!i->TickSize.isNaN() && i->TickSize >= 0_dec) << code;
        EXPECT_TRUE(!i->priceTick.isNaN() && i->priceTick >= 0_dec) << code;
    }
}

TEST(AmpSnapshotLoader, RecordCountsAreCapped) {
    LogCapture log;
    AmpLoadStats stats;
    AmpSnapshotLoader::Limits limits;
    limits.maxRecordsPerSection = 2;
    auto m = loadOrFail(amp("<S><S>1<C>A<R>2<C>B<R><R>3<C>C<R>4<C>D<S>5<C>Only"), &stats, limits);
    EXPECT_EQ(keysOf(m.ItemTypeCollection), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(stats.recordsDropped, 2u);
    // The next section starts its own count.
    EXPECT_TRUE(m.sessionSettings(5));
    EXPECT_TRUE(log.contains("section 2 holds more than 2 records"));
}

TEST(AmpSnapshotLoader, TextOverTheCapIsRefused) {
    LogCapture log;
    AmpSnapshotLoader::Limits limits;
    limits.maxTextBytes = 8;
    EXPECT_FALSE(AmpSnapshotLoader(limits).load("123456789"));
    EXPECT_TRUE(AmpSnapshotLoader(limits).load("12345678"));
    EXPECT_TRUE(log.contains("over the 8 byte limit"));
}

TEST(AmpSnapshotLoader, GroupInstrumentCapPerGroup) {
    // The group's own cap holds whatever the section cap is.
    std::string text = "<S><S><S><S><S>1<C>G<S>";
    const std::size_t n = GroupDetails::kMaxGroupInstruments + 1;
    for (std::size_t i = 1; i <= n; ++i)
        text += "0<C>1<C>" + std::to_string(i) + "<R>";
    LogCapture log;
    AmpLoadStats stats;
    auto m = loadOrFail(amp(text), &stats);
    EXPECT_EQ(m.group(1)->GroupInstrumentCollection.size(), GroupDetails::kMaxGroupInstruments);
    EXPECT_EQ(stats.recordsDropped, 1u);
}

TEST(AmpSnapshotLoader, LoginMessagesAndResourcesSkipOnlyTheBadRecord) {
    std::string text = "<S><S><S><S><S><S><S><S>";
    text += "<S><S><S><S><S><S><S><S>";
    // 16: a record without a code, one with an unknown code, then two good ones.
    text += "1<C>short<R>1<C>unknown<C>16<R>2<C>Update<C>15<R>0<C>Fine<C>1001<S><S><S>";
    // 19: a resource without an icon field, then one keyed by its caption.
    text += "1<C>No icon<C>url<R>2<C>Calendar<C>url<C><C>Tools";
    AmpLoadStats stats;
    auto m = loadOrFail(amp(text), &stats);
    EXPECT_EQ(keysOf(m.loginInfoMessageCollection), (std::vector<std::string>{"15", "1001"}));
    EXPECT_EQ(m.loginInfoMessage(15)->Message, "Update");
    EXPECT_EQ(m.loginInfoMessage(1001)->DisplayMode, 0);
    EXPECT_EQ(keysOf(m.resourceCollection), (std::vector<std::string>{"Calendar"}));
    EXPECT_EQ(stats.recordsSkipped, 2u);
}

TEST(AmpSnapshotLoader, SettingsForAGroupNotInTheSnapshotAreDropped) {
    AmpLoadStats stats;
    auto m = loadOrFail(amp("<S><S><S><S><S>1<C>G<S>0<C>2<C>5<R>0<C>1<C>5"), &stats);
    EXPECT_EQ(m.group(1)->GroupInstrumentCollection.size(), 1u);
    EXPECT_EQ(stats.recordsSkipped, 1u);
}

TEST(AmpSnapshotLoader, AccountsLinkOnlyToCurrenciesTheSnapshotBrings) {
    // Account 1 in currency 3 (in no currency section), account 2 in currency 1.
    std::string accounts = "1<C>10";
    for (int i = 0; i < 31; ++i)
        accounts += "<C>";
    std::string other = "2" + accounts.substr(1) + "<C>1";
    accounts += "<C>3<R>" + other;
    std::string text = "<S><S><S><S><S><S><S><S>" + accounts;
    auto withoutCurrencies = loadOrFail(amp(text));
    EXPECT_EQ(account(withoutCurrencies, "2")->currencyID, 1u);
    EXPECT_FALSE(account(withoutCurrencies, "2")->tradeCurrency);

    for (int s = 9; s <= 21; ++s)
        text += "<S>";
    text += "1<C>USD";
    auto m = loadOrFail(amp(text));
    EXPECT_FALSE(account(m, "1")->tradeCurrency);
    ASSERT_TRUE(account(m, "2")->tradeCurrency);
    EXPECT_EQ(account(m, "2")->tradeCurrency->currencyCode, "USD");
}

TEST(AmpSnapshotLoader, LargeSectionsReadOnSeveralThreadsLoadTheSameModel) {
    // Enough records for the helper threads to take part, with bad ones scattered through.
    std::string text = "<S><S>1<C>Forex<S><S>";
    for (int i = 1; i <= 9000; ++i) {
        text += i % 1000 == 0 ? std::string("1<C>no code")
                              : instrument(std::to_string(i), "S" + std::to_string(i), "1", "0", "5", "");
        text += "<R>";
    }
    text += "<S>1<C>G<R>2<C>H<S>";
    for (int i = 1; i <= 9000; ++i)
        text += "0<C>" + std::to_string(i % 1500 == 0 ? 3 : 1 + i % 2) + "<C>" + std::to_string(i) +
                "<C><C><C><C>1<C>2<C>" + std::to_string(i % 4) + "<R>";
    text += "<S><S>1<C>1<R>2<C>2";
    const std::string wire = amp(text);
    AmpSnapshotLoader::Limits one;
    one.maxReadThreads = 1;
    AmpSnapshotLoader::Limits four;
    four.maxReadThreads = 4;
    AmpLoadStats statsOne;
    AmpLoadStats statsFour;
    testing_support::LogSilence quiet;
    const auto a = loadOrFail(wire, &statsOne, one);
    const auto b = loadOrFail(wire, &statsFour, four);
    EXPECT_EQ(a.ItemCollection.size(), 8991u);
    EXPECT_EQ(statsOne.recordsSkipped, 9u + 6u);
    EXPECT_EQ(statsFour.recordsSkipped, statsOne.recordsSkipped);
    EXPECT_EQ(dumpSessionModel(a), dumpSessionModel(b));
    EXPECT_EQ(a.ItemCollection.front().first, "S1");
    EXPECT_EQ(a.ItemCollection.back().first, "S8999");
}

} // namespace
