#pragma once
// One table per record layout: each row names a field's position, how the wire writes it and the
// member (or loader) it goes to. `readRecord` reads a record through its table; `visitRecord`
// hands a writer each field with its position and type. The table is a tuple of rows, so reading
// one unrolls into the same straight calls a hand-written reader makes (snapshots carry millions
// of fields).
//
//     constexpr auto kUserLayout = recordLayout(int32(0, &UserInfo::UserId), text(1, &UserInfo::Name));
//     readRecord(fields, kUserLayout, user);
#include "model/records/record_fields.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
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
    Time, // "yyyyMMddHHmmss" into an optional WallTime, none when it names no time
};

template <FieldType Type, class Target>
struct FieldRow {
    static constexpr FieldType type = Type;
    std::size_t position;
    // A member pointer, or a loader `void(Record&, Value)` for fields that set more than one member.
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

// The row makers, one per wire type: `int32(3, &Record::Member)`.
template <FieldType Type>
struct RowMaker {
    template <class T>
    constexpr FieldRow<Type, T> operator()(std::size_t position, T target) const {
        return {position, target};
    }
};
inline constexpr RowMaker<FieldType::Int32> int32{};
inline constexpr RowMaker<FieldType::Int64> int64{};
inline constexpr RowMaker<FieldType::Real> real{};
inline constexpr RowMaker<FieldType::Decimal> decimal{};
inline constexpr RowMaker<FieldType::Flag> flag{};
inline constexpr RowMaker<FieldType::Text> text{};
inline constexpr RowMaker<FieldType::Time> time{};

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
    } else if constexpr (Type == FieldType::Flag) {
        bool v = false;
        f.readBool(pos, v);
        return v;
    } else if constexpr (Type == FieldType::Time) {
        return wallTimeFromWire(f.text(pos));
    } else {
        return f.text(pos);
    }
}

// The reading converted to its target: integers widen with their sign and wrap into unsigned
// targets, flags go into integers as 1 or 0.
template <class V, class W>
V converted(W value) {
    if constexpr (std::is_same_v<V, std::string>)
        return std::string(value);
    else if constexpr (std::is_same_v<W, bool> && !std::is_same_v<V, bool>)
        return static_cast<V>(value ? 1 : 0);
    else if constexpr (std::is_integral_v<V> && std::is_signed_v<W> && std::is_unsigned_v<V>)
        return static_cast<V>(static_cast<std::int64_t>(value));
    else
        return static_cast<V>(value);
}

template <FieldType Type, class Target, class R>
void readRow(const RecordFields& f, const FieldRow<Type, Target>& row, R& out) {
    if (!f.has(row.position))
        return;
    auto value = reading<Type>(f, row.position);
    if constexpr (std::is_member_object_pointer_v<Target>) {
        using V = typename MemberOf<Target>::type;
        if constexpr (Type == FieldType::Text)
            (out.*row.target).assign(value);
        else
            out.*row.target = converted<V>(value);
    } else {
        row.target(out, value);
    }
}

} // namespace detail

// Reads each field the record holds into its target; fields past the record's end leave their
// targets alone. Rows run in table order.
template <class R, class... Rows>
void readRecord(const RecordFields& f, const RecordLayout<Rows...>& layout, R& out) {
    std::apply([&](const auto&... row) { (detail::readRow(f, row, out), ...); }, layout.rows);
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
