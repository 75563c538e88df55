#include "model/session_model.h"

#include "model/records/record_fields.h"
#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace {

using namespace tc;
using testing_support::wireText;

TEST(SessionModel, CollectionsAreKeyedByTheDecimalTextOfTheirIds) {
    SessionModel m;
    auto settings = std::make_shared<SessionSettings>();
    settings->settingsID = static_cast<std::uint64_t>(-1); // a sign-extended -1 prints unsigned
    ASSERT_TRUE(m.fileSessionSettings(settings));
    EXPECT_TRUE(m.SessionSettingCollection.contains("18446744073709551615"));
    EXPECT_EQ(m.sessionSettings(UINT64_MAX), settings);

    auto type = std::make_shared<ItemType>(ItemType{-3, "Forex"});
    ASSERT_TRUE(m.fileItemType(type));
    EXPECT_TRUE(m.ItemTypeCollection.contains("-3"));
    EXPECT_EQ(m.getInstrumentTypeName(-3), "Forex");
    EXPECT_EQ(m.getInstrumentTypeName(3), std::nullopt);

    auto message = std::make_shared<LoginInfoMessage>();
    message->ErrorCode = 1001;
    m.fileLoginInfoMessage(message);
    EXPECT_EQ(m.loginInfoMessage(1001), message);
    EXPECT_EQ(m.loginInfoMessage(1), nullptr);

    auto group = std::make_shared<GroupDetails>();
    group->GroupId = 12;
    m.fileGroup(group);
    EXPECT_EQ(m.group(12), group);
    EXPECT_TRUE(m.GroupDetailCollection.contains("12"));

    EXPECT_FALSE(m.fileGroup(nullptr));
    EXPECT_FALSE(m.fileTradeCurrency(nullptr));
}

TEST(SessionModel, ALaterRecordOfTheSameKeyReplacesTheEarlierInItsPlace) {
    SessionModel m;
    const std::string text = wireText("840<C>USD<C>1<C>1<C>1<C>4<C>Y<C>2");
    m.fileTradeCurrency(std::make_shared<CurrenyList>(CurrenyList::fromAmpRecord(RecordFields(text))));
    auto other = std::make_shared<TradeCurrency>();
    other->currencyID = 978;
    m.fileTradeCurrency(other);
    m.fileTradeCurrency(std::make_shared<TradeCurrency>(TradeCurrency::fromAmpRecord(RecordFields(text))));

    ASSERT_EQ(m.tradeCurrencyCollection.size(), 2u);
    EXPECT_EQ(m.tradeCurrencyCollection.front().first, "840");
    auto usd = m.tradeCurrency(840);
    ASSERT_TRUE(usd);
    EXPECT_EQ(dynamic_cast<CurrenyList*>(usd.get()), nullptr);
    EXPECT_TRUE(usd->isDirect);
    EXPECT_EQ(usd->depositRate.toDouble(), 2);
    // A currency only in the list section stays a list entry.
    m.fileTradeCurrency(std::make_shared<CurrenyList>(
        CurrenyList::fromAmpRecord(RecordFields(wireText("36<C>AUD<C>0<C>0<C>0<C>0<C>Y")))));
    EXPECT_NE(dynamic_cast<CurrenyList*>(m.tradeCurrency(36).get()), nullptr);
    EXPECT_FALSE(m.tradeCurrency(36)->isDirect);
}

TEST(SessionModel, ResourcesWithoutIconAreFiledUnderTheirCaption) {
    SessionModel m;
    auto withIcon = ResourceDetails::fromAmpRecord(RecordFields(wireText("1<C>Calendar<C>u<C>cal.png")));
    auto withoutIcon = ResourceDetails::fromAmpRecord(RecordFields(wireText("2<C>News<C>u<C>")));
    ASSERT_TRUE(withIcon && withoutIcon);
    m.fileResource(std::make_shared<ResourceDetails>(*withIcon));
    m.fileResource(std::make_shared<ResourceDetails>(*withoutIcon));
    EXPECT_TRUE(m.resourceCollection.contains("cal.png"));
    EXPECT_EQ(m.resourceCollection.at("News")->resourceId, 2u);
}

TEST(SessionModel, NewKeysAreRefusedPastTheCapButReplacementsGoOn) {
    platform::OrderedMap<std::string, int> c;
    EXPECT_TRUE(SessionModel::file(c, "a", 1, "test", 2));
    EXPECT_TRUE(SessionModel::file(c, "b", 2, "test", 2));
    EXPECT_FALSE(SessionModel::file(c, "c", 3, "test", 2));
    EXPECT_TRUE(SessionModel::file(c, "a", 10, "test", 2));
    EXPECT_EQ(c.size(), 2u);
    EXPECT_EQ(c.at("a"), 10);
    EXPECT_FALSE(c.contains("c"));
}

TEST(SessionModel, IsHandedOverWholeWithoutTheInstrumentAndAccountDefinitions) {
    SessionModel m;
    m.userInfo = std::make_shared<UserInfo>();
    m.userInfo->marketDepthPort = 7002;
    m.symbolTypeCollection.insert_or_assign("Forex", "EURUSD:Euro");
    m.ItemCollection.insert_or_assign("EURUSD", nullptr); // slot only: the record type is incomplete here
    m.fileItemType(std::make_shared<ItemType>(ItemType{1, "Forex"}));

    SessionModel taken = std::move(m);
    EXPECT_EQ(taken.userInfo->marketDepthPort, 7002);
    EXPECT_TRUE(taken.ItemCollection.contains("EURUSD"));
    // The moved map's index still works.
    EXPECT_EQ(taken.getInstrumentTypeName(1), "Forex");
}

} // namespace
