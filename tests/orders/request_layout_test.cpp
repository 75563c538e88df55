#include "orders/request_layout.h"

#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tc;
using namespace tc::requests;
using testing_support::wireText;

platform::Decimal dec(std::string_view text) {
    return *platform::Decimal::fromString(text);
}

std::string valueOr(const MessageBase& m, int tag, std::string_view absent = "(absent)") {
    const std::string* v = m.value(tag);
    return v ? *v : std::string(absent);
}

WirePrice quoted(const Order& o, const WriteContext&) {
    return {o.OrderPrice, true};
}

TEST(RequestLayout, EachRowReadsItsSourceAndWritesItsForm) {
    constexpr auto layout = recordLayout(
        as<WireForm::Text>(1, &Order::AccountNumber), as<WireForm::Text>(2, &WriteContext::userName),
        as<WireForm::Text>(3, "EBO"), as<WireForm::Integer>(4, &Order::RequestId),
        as<WireForm::Code>(5, &Order::timeInForceTag), as<WireForm::Quantity>(6, &Order::OrderQty),
        as<WireForm::Price>(7, &Order::OrderPrice), as<WireForm::Price>(8, &quoted),
        as<WireForm::PriceAboveZero>(9, &Order::LimitPrice), as<WireForm::PriceOrZero>(10, &Order::StopPrice),
        as<WireForm::Price>(11, &WriteContext::editPrice), as<WireForm::Quote>(12, &Order::Bid),
        as<WireForm::Quantity>(13, &Order::Spread));
    Order o;
    o.AccountNumber = "1001";
    o.RequestId = 42;
    o.timeInForceTag = 54;
    o.OrderQty = dec("1.5");
    o.OrderPrice = dec("1.23456");
    o.LimitPrice = dec("1.1");
    o.StopPrice = dec("0.9");
    o.Bid = dec("1.3");
    WriteContext c;
    c.userName = "jdoe";
    c.decimals = 4;
    MessageBase m;
    writeRequest(m, layout, o, c);
    // A typed price keeps its digits, at least the instrument's; a quoted one is written as quotes are.
    EXPECT_EQ(m.messageDataDictionary(), (MessageBase::Dictionary{{1, "1001"},
                                                                  {2, "jdoe"},
                                                                  {3, "EBO"},
                                                                  {4, "42"},
                                                                  {5, "54"},
                                                                  {6, "1.5"},
                                                                  {7, "1.23456"},
                                                                  {8, "1.2346"},
                                                                  {9, "1.1000"},
                                                                  {10, "0.9000"},
                                                                  {11, ""},
                                                                  {12, "1.3000"},
                                                                  {13, "0"}}));

    // Nothing given, nothing applicable: each form's own answer.
    o.timeInForceTag = Order::kNotApplicable;
    o.OrderQty = platform::Decimal::notANumber();
    o.OrderPrice = dec("1.2");
    o.LimitPrice = dec("0");
    o.StopPrice = std::nullopt;
    c.decimals = 0;
    MessageBase none;
    writeRequest(none, layout, o, c);
    EXPECT_EQ(valueOr(none, 5), "(absent)");
    EXPECT_EQ(valueOr(none, 6), "");
    EXPECT_EQ(valueOr(none, 7), "1.2");
    EXPECT_EQ(valueOr(none, 8), "1.20");
    EXPECT_EQ(valueOr(none, 9), "");
    EXPECT_EQ(valueOr(none, 10), "0");
    EXPECT_EQ(valueOr(none, 12), "1.30");
    o.timeInForceTag = -1;
    o.LimitPrice = dec("-1");
    writeRequest(none, layout, o, c);
    EXPECT_EQ(valueOr(none, 5), "(absent)");
    EXPECT_EQ(valueOr(none, 9), "");
}

TEST(RequestLayout, AJoinedTableWritesATagTwiceListedByItsLaterRow) {
    constexpr auto layout =
        joined(recordLayout(as<WireForm::Text>(1, &Order::ItemCode), as<WireForm::Text>(2, "first")),
               recordLayout(as<WireForm::Text>(2, "second")));
    Order o;
    o.ItemCode = "EURUSD";
    MessageBase m;
    writeRequest(m, layout, o, WriteContext{});
    EXPECT_EQ(m.messageDataDictionary(), (MessageBase::Dictionary{{1, "EURUSD"}, {2, "second"}}));
}

struct Line {
    std::string id;
    platform::Decimal quantity;
};

struct Body {
    std::vector<Line> lines;
    std::vector<int> codes;
    std::vector<std::shared_ptr<const Order>> orders;
};

std::string doubled(const Line& l, const WriteContext&) {
    return l.id + l.id;
}

TEST(RequestLayout, ListsAndSectionsJoinTheirColumnsRecordsAndSections) {
    constexpr auto lines = recordLayout(
        column<WireForm::Text>(&Line::id), column<WireForm::Text>(""),
        column<WireForm::Quantity>(&Line::quantity), column<WireForm::SixDecimals>(&Line::quantity),
        column<WireForm::Text>(&doubled), column<WireForm::Integer>(&WriteContext::requestId));
    constexpr auto layout = recordLayout(
        sections(1, list(&Body::lines, lines), column<WireForm::Text>("2"),
                 list(&Body::codes, recordLayout(column<WireForm::Integer>(itself))),
                 list(&Body::orders, recordLayout(column<WireForm::Text>(&Order::AccountNumber)))),
        list(2, &Body::lines, recordLayout(column<WireForm::Text>(&Line::id))));
    auto order = std::make_shared<Order>();
    order->AccountNumber = "1001";
    const Body body{{{"P1", dec("1.5")}, {"P2", dec("0.1234567")}}, {7, -8}, {order}};
    WriteContext c;
    c.requestId = 42;
    MessageBase m;
    writeRequest(m, layout, body, c);
    EXPECT_EQ(valueOr(m, 1), wireText("P1<C><C>1.5<C>1.500000<C>P1P1<C>42<R>"
                                      "P2<C><C>0.1234567<C>0.123457<C>P2P2<C>42<R><S>"
                                      "2<S>7<R>-8<R><S>1001<R><S>"));
    EXPECT_EQ(valueOr(m, 2), wireText("P1<R>P2<R>"));
    EXPECT_EQ(fieldText(std::get<0>(layout.rows), body, c), valueOr(m, 1));
    // No records, no separators of their own; each section still ends.
    writeRequest(m, layout, Body{}, c);
    EXPECT_EQ(valueOr(m, 1), wireText("<S>2<S><S><S>"));
    EXPECT_EQ(valueOr(m, 2), "");
}

} // namespace
