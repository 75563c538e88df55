#pragma once
// The choices of an order: its side, kind, delivery and time in force. Each enumerator's value is the
// code the order records and requests carry for it, so a record's code reads as the choice and back.
#include <cstdint>

namespace tc {

enum class Side : std::int32_t { Buy = 0, Sell = 1 };
enum class OrderKind : std::int32_t { Market = 1, Limit = 2, Stop = 3 };
enum class Delivery : std::int32_t { Regular = 1, Intraday = 2, Btst = 3 };
enum class TimeInForce : std::int32_t { GoodTillCancelled = 1, GoodTillFriday = 2, Day = 5 };

constexpr std::int32_t codeOf(Side v) {
    return static_cast<std::int32_t>(v);
}
constexpr std::int32_t codeOf(OrderKind v) {
    return static_cast<std::int32_t>(v);
}
constexpr std::int32_t codeOf(Delivery v) {
    return static_cast<std::int32_t>(v);
}
constexpr std::int32_t codeOf(TimeInForce v) {
    return static_cast<std::int32_t>(v);
}

constexpr Side opposite(Side side) {
    return side == Side::Buy ? Side::Sell : Side::Buy;
}

} // namespace tc
