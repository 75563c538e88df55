#include "model/session_model_lookup.h"

#include "support/decimal_literal.h"

#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

constexpr double kEps = 1e-9;

class GroupSpreads : public ::testing::Test {
protected:
    void SetUp() override {
        // EURUSD (id 5): prices on a 0.00005 grid, points of 0.00001, holding 1.10000 / 1.10010.
        item = std::make_shared<ItemDetails>();
        item->InstrumentId = 5;
        item->Code = "EURUSD";
        item->TickSize = 0.00005_cdec;
        item->priceTick = 0.00001_cdec;
        item->Bid = 1.10000_cdec;
        item->Ask = 1.10010_cdec;
        item->High = 1.2_cdec;
        model.ItemCollection.insert_or_assign("EURUSD", item);
    }
    // Group `groupId` puts spread `type` with the points on instrument 5 (no entry when type < 0).
    void group(std::int32_t groupId, std::int32_t type, std::int32_t bid, std::int32_t ask) {
        auto g = std::make_shared<GroupDetails>();
        g->GroupId = groupId;
        if (type >= 0) {
            GroupInstruments s;
            s.InstrumentId = 5;
            s.SpreadTypeId = type;
            s.SpreadBid = bid;
            s.SpreadAsk = ask;
            g->fileGroupInstrument(s);
        }
        model.GroupDetailCollection.insert_or_assign(std::to_string(groupId), g);
    }
    void account(std::int32_t id, std::int32_t groupId) {
        auto a = std::make_shared<AccountDetails>();
        a->AccountId = id;
        a->GroupId = std::to_string(groupId);
        model.AccountDetailCollection.insert_or_assign(std::to_string(id), a);
    }
    void expectSpread(std::int32_t type, std::int32_t bid, std::int32_t ask) const {
        EXPECT_EQ(std::tuple(item->SpreadType, item->BidSpread, item->AskSpread), std::tuple(type, bid, ask));
    }
    void expectRawQuote() const {
        EXPECT_EQ(item->Bid, 1.10000_cdec);
        EXPECT_EQ(item->Ask, 1.10010_cdec);
    }
    SessionModel model;
    std::shared_ptr<ItemDetails> item;
};

TEST_F(GroupSpreads, OneGroupSettlesAndReappliesTheSpread) {
    // Mid 1.10005 on the grid: bid 1.10005 - 0.00002 = 1.10003, ask 1.10005 + 0.00003 = 1.10008.
    group(7, 1, 2, 3);
    account(1, 7);
    SetAllSymbolsSpread(model);
    expectSpread(1, 2, 3);
    EXPECT_NEAR(item->Bid.toDouble(), 1.10003, kEps);
    EXPECT_NEAR(item->Ask.toDouble(), 1.10008, kEps);
    EXPECT_EQ(item->High, 1.2_cdec);
}

TEST_F(GroupSpreads, AgreeingGroupsActAsOne) {
    group(7, 1, 2, 3);
    group(8, 1, 2, 3);
    account(1, 7);
    account(2, 8);
    SetAllSymbolsSpread(model);
    expectSpread(1, 2, 3);
    EXPECT_NEAR(item->Bid.toDouble(), 1.10003, kEps);
}

TEST_F(GroupSpreads, DisagreeingGroupsLeaveNoSpread) {
    for (auto other : {std::array{1, 2, 4}, std::array{1, 1, 3}, std::array{3, 2, 3}}) {
        SetUp();
        group(7, 1, 2, 3);
        group(8, other[0], other[1], other[2]);
        account(1, 7);
        account(2, 8);
        account(3, 7); // agrees with the first again: the disagreement stays
        SetAllSymbolsSpread(model);
        expectSpread(4, 0, 0);
        expectRawQuote();
    }
}

TEST_F(GroupSpreads, AccountsWithoutSpreadDoNotDisturb) {
    group(7, 1, 2, 3);
    group(8, 4, 9, 9);   // "groups disagree" from the server counts as nothing
    group(9, 0, 9, 9);   // no spread
    group(10, -1, 0, 0); // no entry for the instrument
    account(1, 8);
    account(2, 7);
    account(3, 9);
    account(4, 10);
    account(5, 77); // group not loaded
    SetAllSymbolsSpread(model);
    expectSpread(1, 2, 3);
}

TEST_F(GroupSpreads, ManyAccountsOfFewGroupsActAsTheirGroups) {
    group(7, 2, 1, 1);
    group(9, 0, 0, 0);
    for (int id = 1; id <= 50; ++id)
        account(id, id % 3 == 0 ? 9 : 7);
    SetAllSymbolsSpread(model);
    expectSpread(2, 1, 1);
    // One account in a group that disagrees, however late, settles it to "disagree".
    SetUp();
    group(7, 2, 1, 1);
    group(8, 2, 1, 2);
    for (int id = 1; id <= 50; ++id)
        account(id, 7);
    account(51, 8);
    SetAllSymbolsSpread(model);
    expectSpread(4, 0, 0);
}

TEST_F(GroupSpreads, SettingsAreFoundByTheInstrumentId) {
    // A second instrument with the same id gets the same settings; settings for an id no
    // instrument has settle nothing.
    auto twin = std::make_shared<ItemDetails>(*item);
    twin->Code = "EURUSD.x";
    model.ItemCollection.insert_or_assign("EURUSD.x", twin);
    group(7, 1, 2, 3);
    GroupInstruments stray;
    stray.InstrumentId = 6;
    stray.SpreadTypeId = 3;
    auto g8 = std::make_shared<GroupDetails>();
    g8->fileGroupInstrument(stray);
    model.GroupDetailCollection.insert_or_assign("8", g8);
    account(1, 8);
    account(2, 7);
    SetAllSymbolsSpread(model);
    expectSpread(1, 2, 3);
    EXPECT_EQ(twin->SpreadType, 1);
    EXPECT_EQ(twin->AskSpread, 3);

    // Ids far apart are matched just the same.
    twin->InstrumentId = 2'000'000'000;
    twin->SpreadType = 0;
    GroupInstruments far = stray;
    far.InstrumentId = 2'000'000'000;
    far.SpreadTypeId = 2;
    g8->fileGroupInstrument(far);
    SetAllSymbolsSpread(model);
    EXPECT_EQ(twin->SpreadType, 2);
}

TEST_F(GroupSpreads, NoHeldQuoteGetsSettingsOnly) {
    item->Bid = 0_cdec;
    group(7, 3, 2, 3);
    account(1, 7);
    SetAllSymbolsSpread(model);
    expectSpread(3, 2, 3);
    EXPECT_EQ(item->Bid, 0_cdec);
    EXPECT_EQ(item->Ask, 1.10010_cdec);
}

// A large list is shared out over the cores: every instrument gets its own group's spread applied
// once, as the one instrument above does.
TEST_F(GroupSpreads, ALargeListGetsEverySpreadAppliedOnce) {
    group(7, 1, 2, 3);
    account(1, 7);
    auto g = std::make_shared<GroupDetails>();
    g->GroupId = 7;
    GroupInstruments own;
    own.InstrumentId = 5;
    own.SpreadTypeId = 1;
    own.SpreadBid = 2;
    own.SpreadAsk = 3;
    g->fileGroupInstrument(own);
    model.GroupDetailCollection.insert_or_assign("7", g);
    std::vector<std::shared_ptr<ItemDetails>> items;
    for (int n = 0; n < 10'000; ++n) {
        auto other = std::make_shared<ItemDetails>(*item);
        other->InstrumentId = 100 + n;
        other->Code = "X" + std::to_string(n);
        GroupInstruments s;
        s.InstrumentId = other->InstrumentId;
        s.SpreadTypeId = n % 3 == 0 ? 3 : 1; // top-up or fixed
        s.SpreadBid = 2;
        s.SpreadAsk = 3;
        g->fileGroupInstrument(s);
        model.ItemCollection.insert_or_assign(other->Code, other);
        items.push_back(other);
    }
    SetAllSymbolsSpread(model);
    for (std::size_t n = 0; n < items.size(); ++n) {
        if (n % 3 == 0) {
            // Top-up: the raw quote widened by the points, once.
            EXPECT_EQ(items[n]->Bid, 1.09998_cdec) << n;
            EXPECT_EQ(items[n]->Ask, 1.10013_cdec) << n;
        } else {
            EXPECT_NEAR(items[n]->Bid.toDouble(), 1.10003, kEps) << n;
            EXPECT_NEAR(items[n]->Ask.toDouble(), 1.10008, kEps) << n;
        }
    }
    EXPECT_NEAR(item->Bid.toDouble(), 1.10003, kEps);
}

TEST_F(GroupSpreads, NothingLoadedChangesNothing) {
    SetAllSymbolsSpread(model);
    expectSpread(0, 0, 0);
    expectRawQuote();
}

TEST(SessionModelLookup, VisibleOpenOrdersAndLookups) {
    SessionModel model;
    auto addAccount = [&](std::int32_t id, std::int32_t status, std::int32_t access) {
        auto a = std::make_shared<AccountDetails>();
        a->AccountId = id;
        a->tradingStatus = status;
        a->accountAccessType = access;
        model.AccountDetailCollection.insert_or_assign(std::to_string(id), a);
    };
    addAccount(1, 1, 1);
    addAccount(2, 1, 10);
    addAccount(3, 3, 1);
    addAccount(4, 6, 1);
    addAccount(5, 2, 4);
    addAccount(6, 5, 3);
    for (const char* number : {"1", "2", "3", "4", "5", "6", "99"}) {
        auto o = std::make_shared<Order>();
        o->AccountNumber = number;
        model.OpenOrderCollection.push_back(o);
    }
    const SessionModelLookup lookup(model);
    std::vector<std::string> listed;
    for (const auto& o : lookup.getOpenOrderCollection())
        listed.push_back(o->AccountNumber);
    EXPECT_EQ(listed, (std::vector<std::string>{"1", "6", "99"}));

    auto a = std::make_shared<ItemDetails>();
    a->Code = "A";
    a->InstrumentId = 9;
    auto b = std::make_shared<ItemDetails>();
    b->Code = "B";
    b->InstrumentId = 9;
    model.ItemCollection.insert_or_assign("A", a);
    model.ItemCollection.insert_or_assign("B", b);
    EXPECT_EQ(lookup.instrumentForId(9), a);
    EXPECT_EQ(lookup.instrumentForId(8), nullptr);
    EXPECT_EQ(lookup.instrumentForCode("B"), b);
    EXPECT_EQ(lookup.instrumentForCode("C"), nullptr);
    EXPECT_EQ(lookup.accountForId("6")->AccountId, 6);
    EXPECT_EQ(lookup.accountForId("7"), nullptr);
    EXPECT_EQ(lookup.groupForId("1"), nullptr);
}

} // namespace
