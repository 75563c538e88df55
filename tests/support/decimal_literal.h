#pragma once
// Decimal literals for tests: 12.5_dec is the decimal of the text "12.5", not of a double; 12.5_cdec
// the same as records store it.
#include "platform/compact_decimal.h"
#include "platform/decimal.h"

#include <cstdlib>

namespace tc::testing_support {

inline platform::Decimal operator""_dec(const char* text) {
    const auto value = platform::Decimal::fromString(text);
    if (!value)
        std::abort(); // a test wrote a literal the decimal cannot read
    return *value;
}

// The same as a function, for tests that call it by name.
inline platform::Decimal dec(const char* text) {
    return operator""_dec(text);
}

// The same value in the form records store, for a literal of at most 16 digits.
inline platform::CompactDecimal operator""_cdec(const char* text) {
    return platform::CompactDecimal(operator""_dec(text));
}

} // namespace tc::testing_support
