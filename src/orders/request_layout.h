#pragma once
// The writing side of the record layouts: one table per order request, each row naming the tag, where
// its value comes from and the form the wire gives it. `writeRequest` fills a message through its
// table, so the order's numbers become text only there, at the wire.
//
//     constexpr auto kCloseLayout = recordLayout(as<WireForm::Text>(tag::kAccount, &Order::AccountNumber),
//                                                as<WireForm::Quantity>(tag::kQuantity, &Order::OrderQty));
//     writeRequest(message, kCloseLayout, order, context);
//
// A row's source is a member of the order, a member of the request's context, a function of both,
// or a fixed text.
#include "model/records/order.h"
#include "model/records/record_layout.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"
#include "wire/message_base.h"

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace tc::requests {

// What a request writes besides its order.
struct WriteContext {
    std::string userName;
    std::string referenceId;
    std::int32_t decimals = 0;                  // the instrument's, for the prices
    std::optional<platform::Decimal> editPrice; // the new price of an edit
    bool cancel = false;                        // a cancel sends quantity 0
    std::string_view records;                   // the record text of the request, when it has one
    std::string time;
    std::int64_t requestId = 0;
};

// A price and how it was come by: one taken from the live quote is written as the quotes are (two
// decimals at least), one given at least at the instrument's decimals, never rounded.
struct WirePrice {
    std::optional<platform::Decimal> value;
    bool fromQuote = false;
};

enum class WireForm : std::uint8_t {
    Text,
    Integer,        // plain decimal text
    Code,           // an integer code, left out when not applicable (the writer then puts "(null)")
    Quantity,       // the decimal's own text (a quantity, the spread); empty when none was given
    Quote,          // a decimal at the instrument's decimals as the quotes are written (two at least)
    Price,          // a WirePrice or decimal at the instrument's decimals; empty when none
    PriceAboveZero, // a bracket: the price when above 0, else empty
    PriceOrZero,    // an edited bracket: the price when above 0, else "0", which removes it
    Time,           // "yyyyMMddHHmmss"; empty without a time
};

template <WireForm Form, class Source>
struct WriteRow {
    static constexpr WireForm form = Form;
    int tag;
    Source source;
};

// The tables are the records' own tuples of rows, written instead of read.
template <class... Rows>
using RequestLayout = records::RecordLayout<Rows...>;
using records::recordLayout;

// Tables one after another; a tag listed twice is written by its later row.
using records::joined;

// A row of the given form: `as<WireForm::Price>(tag::kPrice, &Order::OrderPrice)`.
template <WireForm Form, class S>
constexpr WriteRow<Form, S> as(int tag, S source) {
    return {tag, source};
}

// The value texts of the forms that need more than the number's own text.
std::string priceOnWire(const WirePrice& price, std::int32_t decimals);
std::string quantityOnWire(const platform::Decimal& quantity);
// A bracket's price when above 0, else `otherwise`.
std::string bracketOnWire(const std::optional<platform::Decimal>& price, std::int32_t decimals,
                          std::string_view otherwise);

namespace detail {

template <class S>
decltype(auto) valueOf(const S& source, const Order& order, const WriteContext& context) {
    if constexpr (std::is_convertible_v<S, std::string_view>)
        return std::string_view(source);
    else if constexpr (std::is_member_object_pointer_v<S> && std::is_invocable_v<S, const Order&>)
        return order.*source;
    else if constexpr (std::is_member_object_pointer_v<S>)
        return context.*source;
    else
        return source(order, context);
}

template <WireForm Form, class S>
void writeRow(MessageBase& m, const WriteRow<Form, S>& row, const Order& order, const WriteContext& context) {
    const auto& value = valueOf(row.source, order, context);
    using V = std::decay_t<decltype(value)>;
    if constexpr (Form == WireForm::Text) {
        m.setValue(row.tag, std::string_view(value));
    } else if constexpr (Form == WireForm::Integer) {
        m.setValue(row.tag, static_cast<std::int64_t>(value));
    } else if constexpr (Form == WireForm::Code) {
        if (value != Order::kNotApplicable && value >= 0)
            m.setValue(row.tag, static_cast<std::int64_t>(value));
    } else if constexpr (Form == WireForm::Quantity) {
        m.setValue(row.tag, quantityOnWire(value));
    } else if constexpr (Form == WireForm::Quote) {
        m.setValue(row.tag, priceOnWire(WirePrice{value, true}, context.decimals));
    } else if constexpr (Form == WireForm::Price) {
        if constexpr (std::is_same_v<V, WirePrice>)
            m.setValue(row.tag, priceOnWire(value, context.decimals));
        else
            m.setValue(row.tag, priceOnWire(WirePrice{value, false}, context.decimals));
    } else if constexpr (Form == WireForm::PriceAboveZero) {
        m.setValue(row.tag, bracketOnWire(value, context.decimals, ""));
    } else if constexpr (Form == WireForm::Time) {
        m.setValue(row.tag, wireDateTime(value));
    } else {
        static_assert(Form == WireForm::PriceOrZero);
        m.setValue(row.tag, bracketOnWire(value, context.decimals, "0"));
    }
}

} // namespace detail

// Writes every row of the table into the message, in table order.
template <class... Rows>
void writeRequest(MessageBase& m, const RequestLayout<Rows...>& layout, const Order& order,
                  const WriteContext& context) {
    std::apply([&](const auto&... row) { (detail::writeRow(m, row, order, context), ...); }, layout.rows);
}

} // namespace tc::requests
