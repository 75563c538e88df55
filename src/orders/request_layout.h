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
// or a fixed text. A field may also be a list of records, each through its own columns, or a run
// of sections (`list`, `sections`); `fieldText` gives such a field's text for a request that
// carries it as text.
#include "model/records/order.h"
#include "model/records/record_layout.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"
#include "platform/decimal_text.h"
#include "wire/message_base.h"
#include "wire/separators.h"

#include <concepts>
#include <cstdint>
#include <functional>
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
    SixDecimals,    // a decimal's double with six decimals, as "%f" prints it
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
std::string sixDecimalsOnWire(const platform::Decimal& value);
// A bracket's price when above 0, else `otherwise`.
std::string bracketOnWire(const std::optional<platform::Decimal>& price, std::int32_t decimals,
                          std::string_view otherwise);

// A field made of records: each record the source gives (a range) written through `columns`, its
// column texts separated by 0x05 and each record ended by 0x06. A column's source is a member of
// the record, a function of the record and the context, `itself`, or a fixed text.
template <class Source, class Columns>
struct ListRow {
    int tag;
    Source source;
    Columns columns;
};

// A field made of sections, each ended by 0x07: a section is a column's text or a record list.
template <class... Parts>
struct SectionsRow {
    int tag;
    std::tuple<Parts...> parts;
};

// A column of a record list or a part of a section (it has no tag of its own).
template <WireForm Form, class S>
constexpr WriteRow<Form, S> column(S source) {
    return {0, source};
}

template <class S, class... Columns>
constexpr ListRow<S, RequestLayout<Columns...>> list(int tag, S source, RequestLayout<Columns...> columns) {
    return {tag, source, columns};
}

// A record list that is a section.
template <class S, class... Columns>
constexpr ListRow<S, RequestLayout<Columns...>> list(S source, RequestLayout<Columns...> columns) {
    return {0, source, columns};
}

template <class... Parts>
constexpr SectionsRow<Parts...> sections(int tag, Parts... parts) {
    return {tag, std::tuple<Parts...>{parts...}};
}

// The column source that is the record itself (a list of texts or numbers).
inline constexpr auto itself = [](const auto& record, const WriteContext&) -> const auto& {
    return record;
};

namespace detail {

// A member of the record is read through a pointer or shared pointer too.
template <class S, class R>
decltype(auto) valueOf(const S& source, const R& record, const WriteContext& context) {
    if constexpr (std::is_convertible_v<S, std::string_view>)
        return std::string_view(source);
    else if constexpr (std::is_member_object_pointer_v<S> && std::is_invocable_v<S, const R&>)
        return std::invoke(source, record);
    else if constexpr (std::is_member_object_pointer_v<S>)
        return context.*source;
    else
        return source(record, context);
}

// The text the row's form gives its value; none for a code that does not apply.
template <WireForm Form, class S, class R>
std::optional<std::string> formText(const WriteRow<Form, S>& row, const R& record,
                                    const WriteContext& context) {
    const auto& value = valueOf(row.source, record, context);
    using V = std::decay_t<decltype(value)>;
    if constexpr (Form == WireForm::Text) {
        return std::string(std::string_view(value));
    } else if constexpr (Form == WireForm::Integer) {
        return platform::decimalText(static_cast<std::int64_t>(value));
    } else if constexpr (Form == WireForm::Code) {
        if (value == Order::kNotApplicable || value < 0)
            return std::nullopt;
        return platform::decimalText(static_cast<std::int64_t>(value));
    } else if constexpr (Form == WireForm::Quantity) {
        return quantityOnWire(value);
    } else if constexpr (Form == WireForm::Quote) {
        return priceOnWire(WirePrice{value, true}, context.decimals);
    } else if constexpr (Form == WireForm::SixDecimals) {
        return sixDecimalsOnWire(platform::Decimal(value));
    } else if constexpr (Form == WireForm::Price) {
        if constexpr (std::is_same_v<V, WirePrice>)
            return priceOnWire(value, context.decimals);
        else
            return priceOnWire(WirePrice{value, false}, context.decimals);
    } else if constexpr (Form == WireForm::PriceAboveZero) {
        return bracketOnWire(value, context.decimals, "");
    } else if constexpr (Form == WireForm::Time) {
        return wireDateTime(value);
    } else {
        static_assert(Form == WireForm::PriceOrZero);
        return bracketOnWire(value, context.decimals, "0");
    }
}

template <WireForm Form, class S, class R>
void appendPart(std::string& out, const WriteRow<Form, S>& part, const R& record,
                const WriteContext& context) {
    out += formText(part, record, context).value_or(std::string());
}

template <class S, class Columns, class R>
void appendPart(std::string& out, const ListRow<S, Columns>& list, const R& record,
                const WriteContext& context) {
    for (const auto& item : valueOf(list.source, record, context)) {
        bool first = true;
        auto one = [&](const auto& column) {
            if (!first)
                out += wire::kColumn;
            first = false;
            appendPart(out, column, item, context);
        };
        std::apply([&](const auto&... column) { (one(column), ...); }, list.columns.rows);
        out += wire::kRecord;
    }
}

template <class... Parts, class R>
void appendPart(std::string& out, const SectionsRow<Parts...>& row, const R& record,
                const WriteContext& context) {
    std::apply(
        [&](const auto&... part) { ((appendPart(out, part, record, context), out += wire::kSection), ...); },
        row.parts);
}

template <WireForm Form, class S, class R>
void writeRow(MessageBase& m, const WriteRow<Form, S>& row, const R& record, const WriteContext& context) {
    if (auto text = formText(row, record, context))
        m.setValue(row.tag, *text);
}

template <class Row, class R>
void writeRow(MessageBase& m, const Row& row, const R& record, const WriteContext& context) {
    std::string text;
    appendPart(text, row, record, context);
    m.setValue(row.tag, text);
}

} // namespace detail

// The text a record list or sections row writes, for a request that carries it as text.
template <class Row, class R>
std::string fieldText(const Row& row, const R& record, const WriteContext& context) {
    std::string text;
    detail::appendPart(text, row, record, context);
    return text;
}

// Writes every row of the table into the message, in table order. The record is the order, or the
// request's own record for requests that carry no order.
template <class R, class... Rows>
void writeRequest(MessageBase& m, const RequestLayout<Rows...>& layout, const R& record,
                  const WriteContext& context) {
    std::apply([&](const auto&... row) { (detail::writeRow(m, row, record, context), ...); }, layout.rows);
}

} // namespace tc::requests
