#include "wire/envelope_key.h"

#include "platform/base64.h"
#include "platform/message_cipher.h"
#include "platform/utf8.h"

#include <cstdint>

namespace tc {

namespace {
constexpr std::uint64_t kMinKeySourceLength = 32;
}

std::string GenerateNewEncryptionKey(std::string_view userName, std::string_view password,
                                     std::string_view referenceId, std::string_view serverTime) {
    std::string text;
    text.reserve(userName.size() + password.size() + referenceId.size() + serverTime.size() +
                 kMinKeySourceLength);
    text.append(userName).append(password).append(referenceId).append(serverTime);
    const std::uint64_t units = platform::utf16Length(text);
    if (units < kMinKeySourceLength)
        text.append(static_cast<std::size_t>(kMinKeySourceLength - units), '-');

    const platform::Crypto::Bytes digest = platform::Crypto::computeSHA512DigestForString(text);
    if (digest.empty())
        return {};
    return platform::Base64::encodeBase64WithData(digest).value_or(std::string{});
}

} // namespace tc
