#pragma once
// Lenient readings of numbers and flags in outside texts: such a read never fails. A number is the
// text's leading number (after blanks, with an optional sign), 0 when there is none; a flag is true
// when the first significant character is 'Y', 'y', 'T', 't' or a digit 1 to 9.
#include <cstdint>
#include <string_view>

namespace tc::platform {

// Space, tab, CR, LF, FF, VT.
constexpr bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
// 0-15 for a hexadecimal digit, -1 for anything else.
constexpr int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
// Leading blanks removed.
std::string_view skipBlanks(std::string_view text) noexcept;
// Leading and trailing blanks removed.
std::string_view trimBlanks(std::string_view text) noexcept;
// Saturates at the int64 limits.
std::int64_t lenientInteger(std::string_view text) noexcept;
double lenientReal(std::string_view text) noexcept;
// Blanks, one sign and leading zeros are skipped first, so "007" is true and "000" false.
bool lenientFlag(std::string_view text) noexcept;

} // namespace tc::platform
