#pragma once
// The session key that replaces the configured key once the login snapshot has arrived.
#include <string>
#include <string_view>

namespace tc {

// Base64 of the SHA-512 digest of user name, password, reference id and server time joined without
// separators, padded with '-' to 32 UTF-16 units when shorter: 88 characters ending in "==". Empty
// only when the joined text is beyond the digest's cap.
std::string GenerateNewEncryptionKey(std::string_view userName, std::string_view password,
                                     std::string_view referenceId, std::string_view serverTime);

} // namespace tc
