#include "platform/base64.h"

#include <array>

namespace tc::platform {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::int16_t kSkip = -1;
constexpr std::int16_t kInvalid = -2;

constexpr std::array<std::int16_t, 256> makeDecodeTable() {
    std::array<std::int16_t, 256> table{};
    for (auto& v : table)
        v = kInvalid;
    for (std::int16_t v = 0; v < 64; ++v)
        table[static_cast<unsigned char>(kAlphabet[v])] = v;
    for (unsigned char c : {'\t', '\n', '\f', '\r', ' '})
        table[c] = kSkip;
    return table;
}

constexpr auto kDecodeTable = makeDecodeTable();

} // namespace

int Base64::sextet(char c) noexcept {
    const std::int16_t v = kDecodeTable[static_cast<unsigned char>(c)];
    return v >= 0 ? v : -1;
}

std::optional<std::string> Base64::encodeBase64WithString(std::string_view text) {
    return encodeBase64WithData(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<std::string> Base64::encodeBase64WithData(std::span<const std::uint8_t> data) {
    const std::size_t n = data.size();
    if (n == 0 || n > kMaxDataLength)
        return std::nullopt;
    std::string out(4 * ((n + 2) / 3), '\0');
    char* o = out.data();
    std::size_t k = 0;
    for (; k + 3 <= n; k += 3) {
        const unsigned b0 = data[k], b1 = data[k + 1], b2 = data[k + 2];
        *o++ = kAlphabet[b0 >> 2];
        *o++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *o++ = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        *o++ = kAlphabet[b2 & 63];
    }
    if (n - k == 2) {
        const unsigned b0 = data[k], b1 = data[k + 1];
        *o++ = kAlphabet[b0 >> 2];
        *o++ = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        *o++ = kAlphabet[(b1 & 15) << 2];
        *o++ = '=';
    } else if (n - k == 1) {
        const unsigned b0 = data[k];
        *o++ = kAlphabet[b0 >> 2];
        *o++ = kAlphabet[(b0 & 3) << 4];
        *o++ = '=';
        *o++ = '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> Base64::decodeBase64WithString(std::string_view text) {
    const std::size_t n = text.size();
    if (n > kMaxTextLength)
        return std::nullopt;
    // Never longer than the text: at most one byte is opened per accepted character.
    std::vector<std::uint8_t> out(n);
    std::size_t i = 0; // accepted alphabet characters
    std::size_t j = 0; // completed output bytes
    for (std::size_t k = 0; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        if (c == '=') {
            // A pad right after a quantum's first sextet is only tolerated as the first of "==".
            if (i % 4 == 1 && (k + 1 >= n || text[k + 1] != '='))
                return std::nullopt;
            continue;
        }
        // Bytes >= 0x80 (non-ASCII) and NUL classify as invalid.
        const std::int16_t v = kDecodeTable[c];
        if (v == kSkip)
            continue;
        if (v == kInvalid)
            return std::nullopt;
        const auto u = static_cast<unsigned>(v);
        switch (i % 4) {
        case 0:
            out[j] = static_cast<std::uint8_t>(u << 2);
            break;
        case 1:
            out[j++] |= static_cast<std::uint8_t>(u >> 4);
            if (j < n)
                out[j] = static_cast<std::uint8_t>(u << 4);
            break;
        case 2:
            out[j++] |= static_cast<std::uint8_t>(u >> 2);
            if (j < n)
                out[j] = static_cast<std::uint8_t>(u << 6);
            break;
        default:
            out[j++] |= static_cast<std::uint8_t>(u);
            break;
        }
        ++i;
    }
    out.resize(j);
    return out;
}

} // namespace tc::platform
