#include "model/session_queries.h"

#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

namespace {

using namespace tc;

std::shared_ptr<AccountDetails> account(std::int32_t id, std::int32_t status, std::int32_t access,
                                        std::uint64_t holder = 0) {
    auto a = std::make_shared<AccountDetails>();
    a->AccountId = id;
    a->tradingStatus = status;
    a->accountAccessType = access;
    a->primaryAccountHolderUserid = holder;
    return a;
}

// A stored list of the given records (a braced list alone holds them const, so it cannot fill one).
OrderList listOf(std::initializer_list<std::shared_ptr<Order>> records) {
    return OrderList(records.begin(), records.end());
}

std::shared_ptr<Order> order(std::string accountNumber, std::string positionId) {
    auto o = std::make_shared<Order>();
    o->AccountNumber = std::move(accountNumber);
    o->OpenPositionId = std::move(positionId);
    return o;
}

std::vector<std::string> positionIds(const OrderView& orders) {
    std::vector<std::string> ids;
    for (const auto& o : orders)
        ids.push_back(o->OpenPositionId);
    return ids;
}

class SessionQueriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& a : {account(1, 1, 1, 77), account(2, 3, 1), account(3, 2, 10), account(4, 5, 3),
                        account(5, 0, 2), account(6, 4, 4), account(7, 6, 2)})
            model.AccountDetailCollection.insert_or_assign(sessionKey(a->AccountId), a);
    }

    void addItem(std::string code, std::int32_t id) {
        auto item = std::make_shared<ItemDetails>();
        item->Code = code;
        item->InstrumentId = id;
        model.ItemCollection.insert_or_assign(code, item);
    }

    SessionModel model;
    DataServiceCollections ds;
    SessionQuerySources sources;
    SessionQueries queries() const { return SessionQueries(model, sources); }
};

TEST_F(SessionQueriesTest, AccountVisibilityFollowsStatusAndAccessType) {
    // Shown: 1 (active, full), 4 (equity hit, trade-only access). 2 suspended, 3 no access, 5
    // status 0, 6 view-market, 7 closed.
    std::vector<std::int32_t> ids;
    for (const auto& a : queries().getAccountCollection())
        ids.push_back(a->AccountId);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 4}));

    EXPECT_FALSE(SessionQueries::canShowAccount(*account(9, 3, 1)));
    EXPECT_FALSE(SessionQueries::canShowAccount(*account(9, 0, 1)));
    EXPECT_FALSE(SessionQueries::canShowAccount(*account(9, 1, 0)));
    EXPECT_FALSE(SessionQueries::canShowAccount(*account(9, 1, 4)));
    EXPECT_TRUE(SessionQueries::canShowAccount(*account(9, 2, 2)));
}

TEST_F(SessionQueriesTest, AccessRightsAndUserMaps) {
    EXPECT_FALSE(queries().canShowAERights()); // nobody signed in
    model.userInfo = std::make_shared<UserInfo>();
    model.userInfo->UserId = 77;
    EXPECT_TRUE(queries().canShowAERights());
    // Holding only a hidden account gives no rights.
    model.AccountDetailCollection.at("1")->tradingStatus = 3;
    EXPECT_FALSE(queries().canShowAERights());

    UserAccountMapCollection& maps = ds.userAccountMapCollection;
    for (auto [user, acct] : {std::pair<std::uint64_t, std::uint64_t>{77, 1}, {80, 1}, {81, 4}, {82, 1}}) {
        auto m = std::make_shared<UserAccountMaps>();
        m->userId = user;
        m->accountId = acct;
        maps.insert_or_assign(m->key(), m);
    }
    EXPECT_FALSE(queries().isUserMappedWithAccount(1)); // no maps loaded
    EXPECT_TRUE(queries().getUserMappedWithAccount(1).empty());
    sources.dataService = &ds;
    EXPECT_TRUE(queries().isUserMappedWithAccount(4));
    EXPECT_FALSE(queries().isUserMappedWithAccount(2));

    // The holder (77) of account 1 is left out; the others keep collection order.
    std::vector<std::uint64_t> users;
    for (const auto& m : queries().getUserMappedWithAccount(1))
        users.push_back(m->userId);
    EXPECT_EQ(users, (std::vector<std::uint64_t>{80, 82}));
    // An account that is not loaded has no holder to leave out.
    maps.at("77:1")->accountId = 99;
    EXPECT_EQ(queries().getUserMappedWithAccount(99).size(), 1u);
}

// What the queries hand out cannot write a record: a reader holds each one as const.
template <class List>
constexpr bool readOnly = std::is_const_v<typename List::value_type::element_type>;
static_assert(readOnly<decltype(std::declval<SessionQueries>().getOpenOrderCollection())>);
static_assert(readOnly<decltype(std::declval<SessionQueries>().getExecutedOrderCollection())>);
static_assert(readOnly<decltype(std::declval<SessionQueries>().getAccountCollection())>);
static_assert(readOnly<decltype(std::declval<SessionQueries>().getUserMappedWithAccount(0))>);
static_assert(readOnly<decltype(std::declval<SessionQueries>().getResourceCollection())>);

TEST_F(SessionQueriesTest, OrderListsLeaveOutHiddenAccountsOnly) {
    // Accounts 2 (suspended), 3 (no access), 6 (view market) and 7 (closed) hide their orders;
    // 5 (status 0) does not, nor an account that is not loaded.
    for (const char* acct : {"1", "2", "3", "4", "5", "6", "7", "42"})
        model.OpenOrderCollection.push_back(order(acct, acct));
    model.OpenOrderCollection.push_back(nullptr);
    model.PendingOrderCollection = shareRecords(model.OpenOrderCollection);
    model.CancelledOrderCollection = shareRecords(model.OpenOrderCollection);
    model.SettledOrderCollection = shareRecords(model.OpenOrderCollection);
    const std::vector<std::string> expected{"1", "4", "5", "42"};
    const auto q = queries();
    EXPECT_EQ(positionIds(q.getOpenOrderCollection()), expected);
    EXPECT_EQ(positionIds(q.getPendingOrderCollection()), expected);
    EXPECT_EQ(positionIds(q.getCancelledOrderCollection()), expected);
    EXPECT_EQ(positionIds(q.getSettledOrderCollection()), expected);
    EXPECT_TRUE(q.getOpenOrderCollectionCopy().empty());
    // The stored lists are untouched and the records are the stored ones.
    EXPECT_EQ(model.OpenOrderCollection.size(), 9u);
    EXPECT_EQ(q.getOpenOrderCollection().front(), model.OpenOrderCollection.front());
}

TEST_F(SessionQueriesTest, ExecutedOrdersSortNumericallyWithStableTies) {
    model.OpenOrderCollection =
        listOf({order("1", "10"), order("2", "1"), order("1", "9"), order("4", "A10")});
    OrderList copy = listOf({order("1", "9"), order("1", "A9"), order("1", "100")});
    sources.OpenOrderCollectionCopy = [&copy] { return &copy; };
    auto executed = queries().getExecutedOrderCollection();
    // Hidden account 2's position "1" is gone; 9 before 10 before 100; text after digits.
    EXPECT_EQ(positionIds(executed), (std::vector<std::string>{"9", "9", "10", "100", "A9", "A10"}));
    // Equal ids keep open list first, then the copy.
    EXPECT_EQ(executed[0], model.OpenOrderCollection[2]);
    EXPECT_EQ(executed[1], copy[0]);

    // A search lists its result whole, hidden accounts included, sorted the same way. The queries
    // follow the live search rows and flag.
    sources.dataService = &ds;
    const SessionQueries live = queries();
    ds.ExecutedOrderSearchCollection = listOf({order("2", "20"), order("7", "3")});
    EXPECT_EQ(positionIds(live.getExecutedOrderCollection()).size(), 6u);
    ds.isExecutedPositionSearch = true;
    EXPECT_EQ(positionIds(live.getExecutedOrderCollection()), (std::vector<std::string>{"3", "20"}));
    // Leading zeros do not change a number's value: "007" and "7" tie and keep list order.
    ds.ExecutedOrderSearchCollection =
        listOf({order("1", "8"), order("1", "7"), order("1", "007"), order("1", "07")});
    EXPECT_EQ(positionIds(live.getExecutedOrderCollection()),
              (std::vector<std::string>{"7", "007", "07", "8"}));
    // Numbers past what a machine word holds, and lists already in order, keep the same rule.
    ds.ExecutedOrderSearchCollection =
        listOf({order("1", "12345678901234567890"), order("1", "99"), order("1", "123456789012345678")});
    EXPECT_EQ(positionIds(live.getExecutedOrderCollection()),
              (std::vector<std::string>{"99", "123456789012345678", "12345678901234567890"}));
    ds.ExecutedOrderSearchCollection =
        listOf({order("1", "2"), order("1", "10"), order("1", "010"), order("1", "B")});
    EXPECT_EQ(positionIds(live.getExecutedOrderCollection()),
              (std::vector<std::string>{"2", "10", "010", "B"}));
    ds.ExecutedOrderSearchCollection.clear();
    EXPECT_TRUE(live.getExecutedOrderCollection().empty());
}

TEST(SessionCollectionWrites, SortByKeysAndUpdateAccessType) {
    OrderList orders = listOf({order("2", "b"), nullptr, order("1", "c"), order("2", "a"), order("1", "d")});
    const auto byAccount = [](const Order& a, const Order& b) {
        return a.AccountNumber.compare(b.AccountNumber);
    };
    const auto byPosition = [](const Order& a, const Order& b) {
        return a.OpenPositionId.compare(b.OpenPositionId);
    };
    sortOrderCollection(orders, {});
    EXPECT_EQ(orders[1], nullptr); // nothing to sort by: unchanged
    // Account descending, ties in stored order; the empty record last.
    sortOrderCollection(orders, {{byAccount, false}});
    EXPECT_EQ(positionIds({orders.begin(), orders.begin() + 4}),
              (std::vector<std::string>{"b", "a", "c", "d"}));
    EXPECT_EQ(orders[4], nullptr);
    // A second key breaks the ties.
    sortOrderCollection(orders, {{byAccount, true}, {byPosition, false}});
    EXPECT_EQ(positionIds({orders.begin(), orders.begin() + 4}),
              (std::vector<std::string>{"d", "c", "b", "a"}));

    UserAccountMapCollection maps;
    auto stored = std::make_shared<UserAccountMaps>();
    stored->userId = 5;
    stored->accountId = 9;
    stored->accountAccessTypeId = 1;
    maps.insert_or_assign(stored->key(), stored);
    UserAccountMaps change;
    change.userId = 5;
    change.accountId = 123; // the same user on another account is another map
    change.accountAccessTypeId = 3;
    EXPECT_FALSE(updateUserAccountMaps(maps, change));
    EXPECT_EQ(stored->accountAccessTypeId, 1u);
    change.accountId = 9;
    EXPECT_TRUE(updateUserAccountMaps(maps, change));
    EXPECT_EQ(stored->accountAccessTypeId, 3u);
    change.userId = 6;
    EXPECT_FALSE(updateUserAccountMaps(maps, change));
    EXPECT_EQ(maps.size(), 1u);
}

TEST_F(SessionQueriesTest, InstrumentLookUps) {
    EXPECT_EQ(queries().getItemIdForItemCode("EURUSD"), 0u); // empty collection
    EXPECT_EQ(queries().getItemCode(5), "");
    addItem("EURUSD", 5);
    addItem("GOLD", 7);
    addItem("GOLD2", 7);
    addItem("BAD", -3);
    EXPECT_EQ(queries().getItemIdForItemCode("GOLD"), 7u);
    EXPECT_EQ(queries().getItemIdForItemCode("gold"), 0u);
    EXPECT_EQ(queries().getItemIdForItemCode("BAD"), 0u);
    EXPECT_EQ(queries().getItemCode(7), "GOLD"); // the first of that id
    EXPECT_EQ(queries().getItemCode(8), "");

    auto type = std::make_shared<ItemType>();
    type->InstrumentTypeId = 2;
    type->InstrumentTypeName = "Metals";
    model.fileItemType(type);
    EXPECT_EQ(queries().getInstrumentTypeName(2), "Metals");
    EXPECT_EQ(queries().getInstrumentTypeName(3), std::nullopt);

    model.symbolTypeCollection.insert_or_assign("Forex", "EURUSD:Euro,USDJPY:Yen");
    model.symbolTypeCollection.insert_or_assign("Metals", "GOLD:Gold,,");
    model.symbolTypeCollection.insert_or_assign("Empty", "");
    using Types = std::vector<std::pair<std::string, std::vector<std::string>>>;
    EXPECT_EQ(queries().getSymbolTypes(),
              (Types{{"Forex", {"EURUSD:Euro", "USDJPY:Yen"}}, {"Metals", {"GOLD:Gold"}}, {"Empty", {}}}));
}

TEST_F(SessionQueriesTest, ResourcesWithoutHashSortedByKey) {
    for (auto [key, caption] : {std::pair<const char*, const char*>{"10", "ten"},
                                {"9", "nine"},
                                {"2", "#hidden"},
                                {"b", "letter"},
                                {"1", "one"}}) {
        auto r = std::make_shared<ResourceDetails>();
        r->caption = caption;
        model.resourceCollection.insert_or_assign(key, r);
    }
    std::vector<std::string> captions;
    for (const auto& r : queries().getResourceCollection())
        captions.push_back(r->caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"one", "nine", "ten", "letter"}));
}

class SessionTextsTest : public SessionQueriesTest {
protected:
    void setting(std::uint64_t id, std::uint64_t status) {
        auto s = std::make_shared<SessionSettings>();
        s->settingsID = id;
        s->marketTradingStatus = status;
        model.fileSessionSettings(s);
    }
    testing_support::ScopedResources resources{
        "0685\tSunday\n0686\tMonday\n0687\tTuesday\n0688\tWednesday\n"
        "0689\tThursday\n0690\tFriday\n0691\tSaturday\n10971\tClosed\n"};
};

TEST_F(SessionTextsTest, DayNamesByIndex) {
    const auto q = queries();
    const char* names[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    for (std::uint64_t i = 0; i < 7; ++i)
        EXPECT_EQ(q.getDaysOfTheWeekName(i), names[i]) << i;
    EXPECT_EQ(q.getDaysOfTheWeekName(7), "");
    EXPECT_EQ(q.getDaysOfTheWeekName(UINT64_MAX), "");
}

TEST_F(SessionTextsTest, MarketSchedulesListOpenSessionsPerDay) {
    setting(1, 1);
    setting(2, 2);
    setting(3, 0);
    setting(4, 3);
    MarketScheduleCollection& schedules = ds.marketSessionSchedulesCollection;
    auto schedule = [](std::uint64_t settingId, std::uint64_t day, std::string start, std::string stop) {
        return SessionScheduleInfo{.tradeSessionSettingID = settingId,
                                   .dayOfTheWeekID = day,
                                   .startTime = dayTimeFromWire(start),
                                   .stopTime = dayTimeFromWire(stop)};
    };
    schedules.insert_or_assign("12", std::vector<SessionScheduleInfo>{
                                         schedule(2, 1, "13:00", "17:00"), schedule(3, 2, "00:00", "23:59"),
                                         schedule(1, 1, "08:00", "12:00"), schedule(4, 2, "01:00", "02:00"),
                                         schedule(99, 3, "05:00", "06:00"), schedule(3, 1, "x", "y")});
    schedules.insert_or_assign("13", std::vector<SessionScheduleInfo>{});

    const auto none = queries();
    EXPECT_FALSE(none.checkMarketSessionSchedulesIsAvailable(12));
    EXPECT_TRUE(none.getMarketSessionSchedulesCollection(12).empty());

    sources.dataService = &ds;
    const auto q = queries();
    EXPECT_TRUE(q.checkMarketSessionSchedulesIsAvailable(12));
    EXPECT_TRUE(q.checkMarketSessionSchedulesIsAvailable(13));
    EXPECT_FALSE(q.checkMarketSessionSchedulesIsAvailable(14));
    // Day 1 keeps stored order; day 2's settings are closed (0, 3) and day 3's is missing.
    using Days = std::map<std::uint64_t, std::vector<std::string>>;
    EXPECT_EQ(q.getMarketSessionSchedulesCollection(12),
              (Days{{1, {"13:00 - 17:00", "08:00 - 12:00"}}, {2, {"Closed"}}, {3, {"Closed"}}}));
    EXPECT_TRUE(q.getMarketSessionSchedulesCollection(13).empty());
    EXPECT_TRUE(q.getMarketSessionSchedulesCollection(14).empty());
}

} // namespace
