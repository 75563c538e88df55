#pragma once
// One table per record layout: each row names a field's position, how the wire writes it and the
// member (or loader) it goes to. `readRecord` reads a record through its table; `visitRecord`
// hands a writer each field with its position and type. The table is a tuple of rows, so reading
// one unrolls into the same straight calls a hand-written reader makes (snapshots carry millions
// of fields).
//
//     constexpr auto kUserLayout = recordLayout(int32(0, &UserInfo::UserId), text(1, &UserInfo::Name));
//     readRecord(fields, kUserLayout, user);
//
// Tables whose rows are named columns (XML replies) name the column instead of the position and are
// read by `readColumns`, with the same readings of the same types:
//
//     constexpr auto kNameLayout = recordLayout(text("Name", &Instrument::Name));
//     readColumns(row, kNameLayout, instrument);
//
// Tables of a tag=value message name the tag where a record's table names the position, and are
// read by `readTagged`, field by field in the message's order:
//
//     constexpr auto kFillLayout = recordLayout(text(tag::kAccount, &Order::AccountNumber));
//     readTagged(fields, kFillLayout, order);
//
// Tables that fill a record from another, already read one name the source's member instead, and
// are read by `copyRecord`:
//
//     constexpr auto kRowLayout = recordLayout(copied(&PositionRow::AccountId, &Order::AccountNumber));
//     copyRecord(row, kRowLayout, order);
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/records/wall_time.h"
#include "platform/compact_decimal.h"
#include "platform/date_format.h"
#include "platform/decimal.h"
#include "platform/lenient.h"

#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace tc::records {

// How a field is written on the wire, which decides its reading (see RecordFields).
enum class FieldType : std::uint8_t {
    Int32,   // saturated at the int32 limits; sign-extended into wider targets
    Int64,   // two's complement into an unsigned target
    Real,    // a double, non-finite as 0
    Decimal, // exact, malformed or non-finite as 0
    Flag,    // true/false, or 1/0 into an integer target
    Text,
    Time,          // "yyyyMMddHHmmss" into an optional WallTime, none when it names no time
    IsoDate,       // ISO date-time into an optional WallTime, the fields as sent; none when it names no time
    DecimalOrNone, // a Decimal's reading into an optional, none when the field is empty
    ZonedTime,     // "yyyy-MM-ddTHH:mm:ss" with a UTC offset into an optional WallTime, none as for Time
};

// "yyyy-MM-ddTHH:mm:ss", with or without milliseconds, as the server's clock wrote it (no zone of the
// computer's, which may skip that hour, is applied); none otherwise.
std::optional<WallTime> isoDateFromText(std::string_view text);

// One field of a tag=value message.
struct TaggedField {
    std::int64_t tag = 0;
    std::string_view value;
};

template <FieldType Type, class Target>
struct FieldRow {
    static constexpr FieldType type = Type;
    std::size_t position; // the tag, in a table of a tag=value message
    // A member pointer, or a loader `void(Record&, Value)` for fields that set more than one member.
    Target target;
};

// A row of a table of named columns.
template <FieldType Type, class Target>
struct ColumnRow {
    static constexpr FieldType type = Type;
    std::string_view column;
    Target target;
};

// A row of a table filled from another record: the source's member and the target.
template <class Source, class Target>
struct CopyRow {
    Source source;
    Target target;
};

template <class... Rows>
struct RecordLayout {
    std::tuple<Rows...> rows;
};

template <class... Rows>
constexpr RecordLayout<Rows...> recordLayout(Rows... rows) {
    return {std::tuple<Rows...>{rows...}};
}

// Tables one after another, as one table.
template <class... Layouts>
constexpr auto joined(const Layouts&... layouts) {
    return std::apply([](const auto&... rows) { return recordLayout(rows...); },
                      std::tuple_cat(layouts.rows...));
}

// The row makers, one per wire type: `int32(3, &Record::Member)`.
template <FieldType Type>
struct RowMaker {
    template <class T>
    constexpr FieldRow<Type, T> operator()(std::size_t position, T target) const {
        return {position, target};
    }
    template <class T>
    constexpr ColumnRow<Type, T> operator()(std::string_view column, T target) const {
        return {column, target};
    }
};
inline constexpr RowMaker<FieldType::Int32> int32{};
inline constexpr RowMaker<FieldType::Int64> int64{};
inline constexpr RowMaker<FieldType::Real> real{};
inline constexpr RowMaker<FieldType::Decimal> decimal{};
inline constexpr RowMaker<FieldType::DecimalOrNone> decimalOrNone{};
inline constexpr RowMaker<FieldType::Flag> flag{};
inline constexpr RowMaker<FieldType::Text> text{};
inline constexpr RowMaker<FieldType::Time> time{};
inline constexpr RowMaker<FieldType::IsoDate> isoDate{};
inline constexpr RowMaker<FieldType::ZonedTime> zonedTime{};

template <class S, class T>
constexpr CopyRow<S, T> copied(S source, T target) {
    return {source, target};
}

namespace detail {

template <class M>
struct MemberOf;
template <class R, class V>
struct MemberOf<V R::*> {
    using type = V;
};

// The reading of one present field, in the type the wire gives it.
template <FieldType Type>
auto reading(const RecordFields& f, std::size_t pos) {
    if constexpr (Type == FieldType::Int32) {
        std::int32_t v = 0;
        f.readInt(pos, v);
        return v;
    } else if constexpr (Type == FieldType::Int64) {
        std::int64_t v = 0;
        f.readInt64(pos, v);
        return v;
    } else if constexpr (Type == FieldType::Real) {
        double v = 0;
        f.readDouble(pos, v);
        return v;
    } else if constexpr (Type == FieldType::Decimal) {
        platform::Decimal v;
        f.readDecimal(pos, v);
        return v;
    } else if constexpr (Type == FieldType::DecimalOrNone) {
        std::optional<platform::Decimal> v;
        if (!f.text(pos).empty()) {
            platform::Decimal d;
            f.readDecimal(pos, d);
            v = d;
        }
        return v;
    } else if constexpr (Type == FieldType::Flag) {
        bool v = false;
        f.readBool(pos, v);
        return v;
    } else if constexpr (Type == FieldType::Time) {
        return wallTimeFromWire(f.text(pos));
    } else if constexpr (Type == FieldType::IsoDate) {
        return isoDateFromText(f.text(pos));
    } else if constexpr (Type == FieldType::ZonedTime) {
        return wallTimeFromText(f.text(pos), kZonedTimeFormat);
    } else {
        return f.text(pos);
    }
}

inline double finiteReal(std::string_view text) {
    const double v = platform::lenientReal(text);
    return std::isfinite(v) ? v : 0.0;
}

// The reading of a column's text, the same as a field's.
template <FieldType Type>
auto readingOf(std::string_view text) {
    if constexpr (Type == FieldType::Int32)
        return RecordFields::toInt(text);
    else if constexpr (Type == FieldType::Int64)
        return RecordFields::toInt64(text);
    else if constexpr (Type == FieldType::Real)
        return finiteReal(text);
    else if constexpr (Type == FieldType::Decimal)
        return lenientDecimal(text);
    else if constexpr (Type == FieldType::DecimalOrNone)
        return text.empty() ? std::nullopt : std::optional(lenientDecimal(text));
    else if constexpr (Type == FieldType::Flag)
        return platform::lenientFlag(text);
    else if constexpr (Type == FieldType::Time)
        return wallTimeFromWire(text);
    else if constexpr (Type == FieldType::IsoDate)
        return isoDateFromText(text);
    else if constexpr (Type == FieldType::ZonedTime)
        return wallTimeFromText(text, kZonedTimeFormat);
    else
        return text;
}

// The reading converted to its target: integers widen with their sign and wrap into unsigned
// targets, flags go into integers as 1 or 0.
template <class V, class W>
V converted(W value) {
    if constexpr (std::is_same_v<V, std::string>)
        return std::string(value);
    else if constexpr (std::is_same_v<V, platform::CompactDecimal>)
        return RecordFields::compactOf(value);
    else if constexpr (std::is_same_v<W, bool> && !std::is_same_v<V, bool>)
        return static_cast<V>(value ? 1 : 0);
    else if constexpr (std::is_integral_v<V> && std::is_signed_v<W> && std::is_unsigned_v<V>)
        return static_cast<V>(static_cast<std::int64_t>(value));
    else if constexpr (std::is_same_v<W, platform::Decimal> && std::is_floating_point_v<V>)
        return static_cast<V>(value.toDouble());
    else
        return static_cast<V>(value);
}

template <FieldType Type, class Target, class R, class Value>
void store(const Target& target, R& out, const Value& value) {
    if constexpr (std::is_member_object_pointer_v<Target>) {
        using V = typename MemberOf<Target>::type;
        if constexpr (Type == FieldType::Text)
            (out.*target).assign(value);
        else
            out.*target = converted<V>(value);
    } else {
        target(out, value);
    }
}

template <FieldType Type, class Target, class R>
void readRow(const RecordFields& f, const FieldRow<Type, Target>& row, R& out) {
    if (!f.has(row.position))
        return;
    if constexpr (Type == FieldType::Decimal && std::is_member_object_pointer_v<Target>) {
        // A stored decimal is read straight into its form, without a Decimal between.
        if constexpr (std::is_same_v<typename MemberOf<Target>::type, platform::CompactDecimal>) {
            f.readDecimal(row.position, out.*row.target);
            return;
        }
    }
    store<Type>(row.target, out, reading<Type>(f, row.position));
}

template <class Columns, FieldType Type, class Target, class R>
void readColumn(const Columns& columns, const ColumnRow<Type, Target>& row, R& out) {
    if (const auto* text = columns.get(row.column))
        store<Type>(row.target, out, readingOf<Type>(*text));
}

template <FieldType Type, class Target, class R>
void readTaggedRow(const TaggedField& field, const FieldRow<Type, Target>& row, R& out) {
    if (field.tag == static_cast<std::int64_t>(row.position))
        store<Type>(row.target, out, readingOf<Type>(field.value));
}

template <class From, class Source, class Target, class R>
void copyRow(const From& from, const CopyRow<Source, Target>& row, R& out) {
    const auto& value = from.*row.source;
    if constexpr (std::is_member_object_pointer_v<Target>) {
        using V = typename MemberOf<Target>::type;
        if constexpr (std::is_same_v<V, std::decay_t<decltype(value)>>)
            out.*row.target = value;
        else
            out.*row.target = converted<V>(value);
    } else
        row.target(out, value);
}

} // namespace detail

// Reads each field the record holds into its target; fields past the record's end leave their
// targets alone. Rows run in table order.
template <class R, class... Rows>
void readRecord(const RecordFields& f, const RecordLayout<Rows...>& layout, R& out) {
    std::apply([&](const auto&... row) { (detail::readRow(f, row, out), ...); }, layout.rows);
}

// Reads each column the row holds into its target (`columns.get(name)` gives the column's text, or
// null when the row lacks it); missing columns leave their targets alone. Rows run in table order.
template <class Columns, class R, class... Rows>
void readColumns(const Columns& columns, const RecordLayout<Rows...>& layout, R& out) {
    std::apply([&](const auto&... row) { (detail::readColumn(columns, row, out), ...); }, layout.rows);
}

// Reads each field of the message into the targets of the rows of its tag, in the message's order:
// a repeated tag leaves its last value, a loader sees what the fields before it set, and tags the
// table lacks leave the record alone.
template <class R, class... Rows>
void readTagged(std::span<const TaggedField> fields, const RecordLayout<Rows...>& layout, R& out) {
    for (const TaggedField& field : fields)
        std::apply([&](const auto&... row) { (detail::readTaggedRow(field, row, out), ...); }, layout.rows);
}

// Fills each row's target from its member of `from`, converted as the readings are (a choice into its
// code, a decimal into a double by its value). Rows run in table order.
template <class From, class R, class... Rows>
void copyRecord(const From& from, const RecordLayout<Rows...>& layout, R& out) {
    std::apply([&](const auto&... row) { (detail::copyRow(from, row, out), ...); }, layout.rows);
}

// Calls `visit(position, type, value)` for each member row in table order (loader rows have no
// single value to write and are passed over).
template <class R, class Visit, class... Rows>
void visitRecord(const R& record, const RecordLayout<Rows...>& layout, Visit&& visit) {
    auto one = [&](const auto& row) {
        using Row = std::decay_t<decltype(row)>;
        if constexpr (std::is_member_object_pointer_v<decltype(row.target)>)
            visit(row.position, Row::type, record.*row.target);
    };
    std::apply([&](const auto&... row) { (one(row), ...); }, layout.rows);
}

} // namespace tc::records
