#pragma once
// Decimal literals for tests: 12.5_dec is the decimal of the text "12.5", not of a double.
#include "platform/decimal.h"

#include <cstdlib>

namespace tc::testing_support {

inline platform::Decimal operator""_dec(const char* text) {
    const auto value = platform::Decimal::fromString(text);
    if (!value)
        std::abort(); // a test wrote a literal the decimal cannot read
    return *value;
}

} // namespace tc::testing_support
