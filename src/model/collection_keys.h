#pragma once
// Keys of the session collections: the decimal text of a 32-bit id (accounts, groups, group
// instruments, instrument types, login messages) or of an unsigned 64-bit id (session settings,
// trade currencies, session schedules, user-account maps). Instruments are keyed by their code.
#include "platform/decimal_text.h"

#include <cstdint>
#include <string>

namespace tc {

inline std::string sessionKey(std::int32_t id) {
    return platform::decimalText(id);
}

inline std::string sessionKey64(std::uint64_t id) {
    return platform::decimalText(id);
}

} // namespace tc
