#pragma once
// Keys of the session collections: the decimal text of a 32-bit id (accounts, groups, group
// instruments, instrument types, login messages) or of an unsigned 64-bit id (session settings,
// trade currencies, session schedules, user-account maps). Instruments are keyed by their code.
#include <charconv>
#include <cstdint>
#include <string>

namespace tc {

inline std::string sessionKey(std::int32_t id) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, id);
    return std::string(buf, r.ptr);
}

inline std::string sessionKey64(std::uint64_t id) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, id);
    return std::string(buf, r.ptr);
}

} // namespace tc
