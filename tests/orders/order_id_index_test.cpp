#include "orders/order_id_index.h"

#include "model/records/order.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tc;
using OrderList = OrderIdIndex::OrderList;

RecordPtr<Order> position(const std::string& id) {
    auto order = std::make_shared<Order>();
    order->OpenPositionId = id;
    return order;
}

OrderList book(int size) {
    OrderList list;
    for (int n = 0; n < size; ++n)
        list.push_back(position(std::to_string(1000 + n)));
    return list;
}

// Erases as the order lists do, telling the index.
void eraseAt(OrderList& list, OrderIdIndex& index, std::size_t at) {
    auto gone = list[at];
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(at));
    index.erased(list, at, gone.get());
}

// Every record found at its own place, every erased id at none.
void expectFound(OrderList& list, OrderIdIndex& index, const std::vector<std::string>& erased) {
    for (const auto& record : list)
        EXPECT_EQ(index.find(list, record->OpenPositionId).get(), record.get()) << record->OpenPositionId;
    for (const std::string& id : erased)
        EXPECT_EQ(index.find(list, id), nullptr) << id;
}

TEST(OrderIdIndex, ErasesItIsToldOfAreFollowedWithoutIndexingTheBookAgain) {
    OrderList list = book(1200);
    OrderIdIndex index(&Order::OpenPositionId);
    ASSERT_TRUE(index.find(list, "1000"));
    ASSERT_EQ(index.rebuilds(), 1u);
    // The middle, the front and the back, one after another as a Close All's reports come; more of
    // them than the index keeps apart before it settles the places.
    eraseAt(list, index, 50);
    eraseAt(list, index, 0);
    eraseAt(list, index, list.size() - 1);
    for (int n = 0; n < 700; ++n) {
        eraseAt(list, index, (list.size() * static_cast<std::size_t>(n % 7)) / 7);
        if (n % 100 == 0)
            expectFound(list, index, {"1050", "1000", "2199"});
    }
    expectFound(list, index, {"1050", "1000", "2199"});
    EXPECT_EQ(list.size(), 497u);
    EXPECT_EQ(index.rebuilds(), 1u);
    // Appends between the erases are followed too.
    list.push_back(position("9000"));
    index.appended(list);
    const std::string third = list[3]->OpenPositionId;
    eraseAt(list, index, 3);
    expectFound(list, index, {third});
    EXPECT_EQ(index.find(list, "9000").get(), list.back().get());
    EXPECT_EQ(index.rebuilds(), 1u);
}

TEST(OrderIdIndex, AnEraseOfARepeatedIdFindsTheNextAndAChangeItWasNotToldOfIsIndexedAnew) {
    OrderList list = book(5);
    list.push_back(position("1001")); // a second record of one id: the first is the one found
    OrderIdIndex index(&Order::OpenPositionId);
    ASSERT_EQ(index.find(list, "1001").get(), list[1].get());
    eraseAt(list, index, 1);
    EXPECT_EQ(index.find(list, "1001").get(), list.back().get());
    EXPECT_EQ(index.rebuilds(), 1u);

    // Erased without telling, then an erase told: the index is not misled into the wrong places.
    list.erase(list.begin());
    eraseAt(list, index, 0);
    expectFound(list, index, {"1000", "1002"});
    EXPECT_EQ(index.rebuilds(), 2u);
    // An erase told of a list the index never looked at.
    OrderList other = book(3);
    OrderIdIndex fresh(&Order::OpenPositionId);
    eraseAt(other, fresh, 1);
    expectFound(other, fresh, {"1001"});
}

TEST(OrderIdIndex, AnIndexOfTheNewestFindsTheLastRecordOfAnIdAcrossAppendsAndErases) {
    // A copy list: closed positions appended, the oldest erased when full, one id closed twice.
    OrderList list = book(4);
    OrderIdIndex index(&Order::OpenPositionId, OrderIdIndex::Finds::Last);
    ASSERT_EQ(index.find(list, "1002").get(), list[2].get());
    list.push_back(position("1002"));
    index.appended(list);
    EXPECT_EQ(index.find(list, "1002").get(), list.back().get());
    EXPECT_EQ(index.placeOf(list, "1002"), 4u);
    // The newest erased: the one before it is found again; the oldest erased: the others stay.
    eraseAt(list, index, 4);
    EXPECT_EQ(index.find(list, "1002").get(), list[2].get());
    eraseAt(list, index, 0);
    EXPECT_EQ(index.find(list, "1000"), nullptr);
    EXPECT_EQ(index.find(list, "1003").get(), list.back().get());
    EXPECT_EQ(index.placeOf(list, "9999"), OrderIdIndex::npos);
    EXPECT_EQ(index.rebuilds(), 1u);

    // A first-record index asked for the last reads from the end only when an id repeats.
    OrderList open = book(3);
    OrderIdIndex first(&Order::OpenPositionId);
    EXPECT_EQ(first.findLast(open, "1001").get(), open[1].get());
    open.push_back(position("1001"));
    first.appended(open);
    EXPECT_EQ(first.find(open, "1001").get(), open[1].get());
    EXPECT_EQ(first.findLast(open, "1001").get(), open.back().get());
    EXPECT_EQ(first.findLast(open, ""), nullptr);
}

} // namespace
