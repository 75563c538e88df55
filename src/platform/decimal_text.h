#pragma once
// The plain decimal text of an integer, as the wire, the collection keys and the request records write
// it: no grouping, a '-' for negatives, whatever the process locale.
#include <charconv>
#include <concepts>
#include <string>

namespace tc::platform {

template <std::integral Int>
std::string decimalText(Int value) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec; // 24 bytes hold any 64-bit integer
    return std::string(buf, end);
}

} // namespace tc::platform
