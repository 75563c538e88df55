#include "session/business/watch_list.h"

#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tc;

using Codes = std::vector<std::string>;

class FakeWatchContext : public WatchListContext {
public:
    std::string userName() const override { return user; }
    SessionModel& model() override { return session; }

    std::string user = "jdoe";
    SessionModel session;
};

struct SubscribeCall {
    Codes codes;
    bool subscribe;
    friend bool operator==(const SubscribeCall&, const SubscribeCall&) = default;
};

class WatchListTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        for (const char* code : {"EURUSD", "GBPUSD", "USDJPY", "XAUUSD"}) {
            auto item = std::make_shared<ItemDetails>();
            item->Code = code;
            context.session.ItemCollection.insert_or_assign(code, item);
        }
        context.session.symbolTypeCollection.insert_or_assign("Forex", "EURUSD:Euro,GBPUSD:Pound");
        context.session.symbolTypeCollection.insert_or_assign("Metal", "XAUUSD:Gold");
    }

    void addOrder(SessionModel::OrderList& list, std::string code, std::string account = "1") {
        auto o = std::make_shared<Order>();
        o->ItemCode = std::move(code);
        o->AccountNumber = std::move(account);
        list.push_back(o);
    }
    bool watched(const std::string& code) {
        return (*context.session.ItemCollection.get(code))->isWatchlistSymbol &&
               (*context.session.ItemCollection.get(code))->isWatchlistSymbolTemp;
    }

    FakeWatchContext context;
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::vector<SubscribeCall> calls;
    WatchList list{context, *defaults, [this](const Codes& codes, bool subscribe) {
                       calls.push_back({codes, subscribe});
                   }};
};

TEST_F(WatchListTest, LoadRestoresTheStoredListWithoutInstrumentsTheSnapshotLacks) {
    defaults->setStringArray("Watchlist.jdoe", {"XAUUSD", "OLDCODE", "EURUSD", "XAUUSD"});
    list.LoadItemsToWatchlist();

    const Codes kept = {"XAUUSD", "EURUSD", "XAUUSD"};
    EXPECT_EQ(list.selectedSymbols(), kept);
    EXPECT_EQ(defaults->stringArrayForKey("Watchlist.jdoe"), kept);
    EXPECT_TRUE(watched("XAUUSD"));
    EXPECT_TRUE(watched("EURUSD"));
    EXPECT_FALSE(watched("GBPUSD"));
    // Loading neither subscribes nor marks the list as updated.
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(list.isWatchlistDataUpdated());
}

TEST_F(WatchListTest, LoadWithoutStoredListTakesTheFirstInstrumentType) {
    // An empty stored list counts as none.
    defaults->setStringArray("Watchlist.jdoe", {});
    list.LoadItemsToWatchlist();
    const Codes forex = {"EURUSD", "GBPUSD"};
    EXPECT_EQ(list.selectedSymbols(), forex);
    EXPECT_EQ(defaults->stringArrayForKey("Watchlist.jdoe"), forex);
    EXPECT_TRUE(watched("GBPUSD"));
    EXPECT_FALSE(watched("XAUUSD"));

    // No instrument types at all: nothing is chosen or stored.
    FakeWatchContext bare;
    bare.user = "other";
    WatchList empty(bare, *defaults, {});
    empty.LoadItemsToWatchlist();
    EXPECT_TRUE(empty.selectedSymbols().empty());
    EXPECT_FALSE(defaults->objectForKey("Watchlist.other"));
}

TEST_F(WatchListTest, SaveSubscribesTheNewSetAndDropsOnlyWhatIsNoLongerNeeded) {
    addOrder(context.session.OpenOrderCollection, "USDJPY");
    addOrder(context.session.PendingOrderCollection, "EURUSD");
    addOrder(context.session.PendingOrderCollection, "USDJPY");
    defaults->setStringArray("Watchlist.jdoe", {"GBPUSD", "USDJPY", "XAUUSD"});
    list.LoadItemsToWatchlist();
    EXPECT_EQ(list.getAllItems(), (Codes{"GBPUSD", "USDJPY", "XAUUSD", "EURUSD"}));

    // USDJPY leaves the list but stays subscribed for its position; XAUUSD stays in the list;
    // GBPUSD alone is dropped.
    list.SaveItemsToWatchList({"XAUUSD", "EURUSD"});
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (SubscribeCall{{"XAUUSD", "EURUSD", "USDJPY"}, true}));
    EXPECT_EQ(calls[1], (SubscribeCall{{"GBPUSD"}, false}));
    EXPECT_EQ(list.selectedSymbols(), (Codes{"XAUUSD", "EURUSD"}));
    EXPECT_EQ(defaults->stringArrayForKey("Watchlist.jdoe"), (Codes{"XAUUSD", "EURUSD"}));
    EXPECT_TRUE(list.isWatchlistDataUpdated());

    // Saving the same list again drops nothing.
    calls.clear();
    list.SaveItemsToWatchList({"XAUUSD", "EURUSD"});
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].subscribe);
    platform::RunLoop::main().runOnce();
}

TEST_F(WatchListTest, OrdersOfHiddenAccountsAreNotSubscribed) {
    auto closed = std::make_shared<AccountDetails>();
    closed->AccountId = 6;
    closed->tradingStatus = 6;
    context.session.AccountDetailCollection.insert_or_assign("6", closed);
    addOrder(context.session.OpenOrderCollection, "USDJPY", "6");
    addOrder(context.session.PendingOrderCollection, "GBPUSD", "7");
    list.SaveItemsToWatchList({"EURUSD"});
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].codes, (Codes{"EURUSD", "GBPUSD"}));
    platform::RunLoop::main().runOnce();
}

TEST_F(WatchListTest, RecordsWhoseInstrumentTheSnapshotLacksSubscribeNothing) {
    // An empty topic would subscribe to the whole feed; an unknown code has no feed.
    addOrder(context.session.OpenOrderCollection, "");
    addOrder(context.session.PendingOrderCollection, "NOPE");
    addOrder(context.session.OpenOrderCollection, "USDJPY");
    list.SaveItemsToWatchList({"EURUSD"});
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].codes, (Codes{"EURUSD", "USDJPY"}));
    platform::RunLoop::main().runOnce();
}

TEST_F(WatchListTest, StoredUnderItsOwnKeySoAUserNameCannotOverwriteOtherSettings) {
    // A user whose name is also a settings key leaves that setting alone.
    context.user = "selectedLanguage";
    defaults->set("selectedLanguage", platform::PlistValue(std::string("de")));
    list.SaveItemsToWatchList({"EURUSD"});
    EXPECT_EQ(defaults->stringForKey("selectedLanguage"), "de");
    EXPECT_EQ(defaults->stringArrayForKey("Watchlist.selectedLanguage"), (Codes{"EURUSD"}));
    EXPECT_EQ(WatchList::StorageKey("jdoe"), "Watchlist.jdoe");
    platform::RunLoop::main().runOnce();
}

TEST_F(WatchListTest, ListUnderTheOldBareKeyIsTakenOverOnlyWhenItNamesOurInstruments) {
    defaults->setStringArray("jdoe", {"GONE", "XAUUSD"});
    list.LoadItemsToWatchlist();
    EXPECT_EQ(list.selectedSymbols(), (Codes{"XAUUSD"}));
    EXPECT_EQ(defaults->stringArrayForKey("Watchlist.jdoe"), (Codes{"XAUUSD"}));
    // The old entry is left as it was: it may be somebody else's setting.
    EXPECT_EQ(defaults->stringArrayForKey("jdoe"), (Codes{"GONE", "XAUUSD"}));

    // A bare-key array naming no instrument is another setting: the default list is used instead.
    FakeWatchContext other;
    other.session.ItemCollection = shareRecords(context.session.ItemCollection);
    other.session.symbolTypeCollection = context.session.symbolTypeCollection;
    other.user = "AppleLanguages";
    defaults->setStringArray("AppleLanguages", {"en", "de"});
    WatchList second(other, *defaults, {});
    second.LoadItemsToWatchlist();
    EXPECT_EQ(second.selectedSymbols(), (Codes{"EURUSD", "GBPUSD"}));
    EXPECT_EQ(defaults->stringArrayForKey("AppleLanguages"), (Codes{"en", "de"}));
}

TEST_F(WatchListTest, OverlongStoredListIsCut) {
    defaults->setStringArray("Watchlist.jdoe", Codes(WatchList::kMaxStoredCodes + 5, "EURUSD"));
    list.LoadItemsToWatchlist();
    EXPECT_EQ(list.selectedSymbols().size(), WatchList::kMaxStoredCodes);
}

} // namespace
