#include "model/record_ptr.h"

#include "interfaces/client.h"
#include "model/account_statement.h"
#include "model/chat_collections.h"
#include "model/data_service_collections.h"
#include "model/funding_collections.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <type_traits>
#include <utility>

namespace {

using namespace tc;

// ---- the pointer: const in, const out

// Writing through P compiles only when P hands out a writable record.
template <class P>
concept writesThrough = requires(P p) {
    p->UnrealisedPL = 1.0;
};

static_assert(writesThrough<RecordPtr<Order>&>);
static_assert(!writesThrough<const RecordPtr<Order>&>);
static_assert(std::is_same_v<decltype(*std::declval<const RecordPtr<Order>&>()), const Order&>);
static_assert(std::is_same_v<decltype(std::declval<const RecordPtr<Order>&>().get()), const Order*>);
// A read-only owner shares the record read-only, and cannot be copied into a writable owner.
static_assert(std::is_convertible_v<const RecordPtr<Order>&, std::shared_ptr<const Order>>);
static_assert(!std::is_convertible_v<const RecordPtr<Order>&, std::shared_ptr<Order>>);
static_assert(!std::is_constructible_v<std::shared_ptr<Order>, const RecordPtr<Order>&>);
static_assert(!std::is_constructible_v<RecordPtr<Order>, const RecordPtr<Order>&>);
static_assert(!std::is_assignable_v<RecordPtr<Order>&, const RecordPtr<Order>&>);
static_assert(!std::is_constructible_v<RecordPtr<Order>, const RecordPtr<Order>&&>);
static_assert(
    std::is_same_v<decltype(std::declval<const RecordPtr<Order>&>().shared()), std::shared_ptr<const Order>>);
// A writable owner shares it writable; moving one costs nothing and throws nothing.
static_assert(std::is_convertible_v<RecordPtr<Order>&, std::shared_ptr<Order>>);
static_assert(std::is_nothrow_move_constructible_v<RecordPtr<Order>>);
static_assert(sizeof(RecordPtr<Order>) == sizeof(std::shared_ptr<Order>));

// ---- what a const view reaches

// The record a const collection's entries lead to.
template <class Entry>
using Reached = std::remove_reference_t<decltype(*std::declval<const Entry&>())>;
template <class Map>
using ReachedInMap = Reached<typename Map::mapped_type>;
template <class List>
using ReachedInList = Reached<typename List::value_type>;

using Model = SessionModel;
static_assert(std::is_const_v<Reached<decltype(Model::userInfo)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::AccountDetailCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::GroupDetailCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::ItemTypeCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::ItemCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::SessionSettingCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::tradeCurrencyCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::loginInfoMessageCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(Model::resourceCollection)>>);
static_assert(std::is_const_v<ReachedInList<decltype(Model::PendingOrderCollection)>>);
static_assert(std::is_const_v<ReachedInList<decltype(Model::CancelledOrderCollection)>>);
static_assert(std::is_const_v<ReachedInList<decltype(Model::OpenOrderCollection)>>);
static_assert(std::is_const_v<ReachedInList<decltype(Model::SettledOrderCollection)>>);

// A const model's look-ups, and the look-ups over a model, hand out read-only records.
template <class Shared>
constexpr bool readOnly = std::is_const_v<typename Shared::element_type>;
static_assert(readOnly<decltype(std::declval<const Model&>().itemType(0))>);
static_assert(readOnly<decltype(std::declval<const Model&>().sessionSettings(0))>);
static_assert(readOnly<decltype(std::declval<const Model&>().tradeCurrency(0))>);
static_assert(readOnly<decltype(std::declval<const Model&>().group(0))>);
static_assert(readOnly<decltype(std::declval<const Model&>().loginInfoMessage(0))>);
static_assert(readOnly<decltype(std::declval<const SessionModelLookup&>().instrumentForCode(""))>);
static_assert(readOnly<decltype(std::declval<const SessionModelLookup&>().instrumentForId(0))>);
static_assert(readOnly<decltype(std::declval<const SessionModelLookup&>().groupForId(""))>);
static_assert(readOnly<decltype(std::declval<const SessionModelLookup&>().currencyForId(0))>);
static_assert(readOnly<decltype(std::declval<const SessionModelLookup&>().accountForId(""))>);
static_assert(
    readOnly<decltype(std::declval<const SessionModelLookup&>().getOpenOrderCollection())::value_type>);

// Records that lead to other records lead to them read-only.
static_assert(readOnly<decltype(MultiTrade::accountDet)>);
static_assert(readOnly<decltype(AccountDetails::tradeCurrency)>);
static_assert(readOnly<decltype(std::declval<const ItemDetails&>().CalculationItems.lock())>);
static_assert(readOnly<decltype(std::declval<const chat::ChatUser&>().Group.lock())>);
static_assert(std::is_const_v<ReachedInMap<decltype(chat::ChatGroup::GroupUsers)>>);
static_assert(std::is_const_v<Reached<decltype(funding::ApprovalReq::information)>>);

// The data-service, funding, chat and statement collections.
static_assert(
    std::is_const_v<ReachedInList<decltype(DataServiceCollections::ExecutedOrderSearchCollection)>>);
static_assert(std::is_const_v<ReachedInList<decltype(DataServiceCollections::cancelledOrderInfo)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(DataServiceCollections::userAccountMapCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(funding::FundingCollections::payGateTransactions)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(funding::FundingCollections::approvalRequests)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(funding::FundingCollections::financialApprovals)>>);
static_assert(readOnly<decltype(funding::PayGateTransaction::payGate)>);
static_assert(readOnly<decltype(std::declval<const funding::PayGateSettings&>().find(0))>);
static_assert(std::is_const_v<ReachedInMap<decltype(chat::ChatCollections::GroupChatCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(chat::ChatCollections::UserChatCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(chat::ChatCollections::ChatQueueCollection)>>);
static_assert(std::is_const_v<ReachedInMap<decltype(chat::ChatCollections::ChatRoomCollection)>>);
static_assert(readOnly<decltype(std::declval<const chat::ChatCollections&>()
                                    .getMessageNoticesCollection())::value_type>);
static_assert(
    readOnly<decltype(std::declval<const chat::ChatCollections&>().getRecentChatCollection())::value_type>);
static_assert(readOnly<decltype(statements::AccountStatementInfo::StartInfo)>);
static_assert(readOnly<decltype(statements::AccountStatementInfo::EndInfo)>);

// The seam hands out only the const views.
static_assert(
    std::is_same_v<decltype(std::declval<const interfaces::Client&>().model()), const SessionModel&>);
static_assert(std::is_same_v<decltype(std::declval<const interfaces::Client&>().dataService()),
                             const DataServiceCollections&>);

// ---- at run time: one record, two kinds of owner

TEST(RecordPtr, OwnersShareOneRecordAndOnlyTheWritableOneWrites) {
    auto order = std::make_shared<Order>();
    SessionModel model;
    model.OpenOrderCollection.emplace_back(order);
    model.OpenOrderCollection.front()->UnrealisedPL = 12.5; // the core writes through its own model
    const SessionModel& view = model;
    const std::shared_ptr<const Order> read = view.OpenOrderCollection.front();
    EXPECT_EQ(read.get(), order.get());
    EXPECT_EQ(read->UnrealisedPL, 12.5);
    EXPECT_TRUE(view.OpenOrderCollection.front() == order);
    EXPECT_EQ(order.use_count(), 3);

    // Sharing from a writable list keeps the record in both; moving leaves the source empty.
    SessionModel::OrderList copy = shareRecords(model.OpenOrderCollection);
    EXPECT_TRUE(copy.front() == model.OpenOrderCollection.front());
    RecordPtr<Order> moved = std::move(copy.front());
    EXPECT_FALSE(copy.front());
    EXPECT_TRUE(copy.front() == nullptr);
    EXPECT_TRUE(moved == order);

    // A map filed from a fresh record keeps its key even when the record moves in (the key is read
    // first).
    std::map<std::int32_t, RecordPtr<AccountDetails>> accounts;
    auto account = std::make_shared<AccountDetails>();
    account->AccountId = 7;
    accounts[account->AccountId] = std::move(account);
    ASSERT_TRUE(accounts.contains(7));
    EXPECT_EQ(accounts.at(7)->AccountId, 7);
    accounts.at(7) = nullptr;
    EXPECT_FALSE(accounts.at(7));
}

} // namespace
