#include "platform/network_state.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace tc::platform {

// ---- IpAddress ----

std::size_t IpAddress::size() const {
    return family == AF_INET ? 4 : family == AF_INET6 ? 16 : 0;
}

bool IpAddress::isUnspecified() const {
    if (size() == 0)
        return false;
    return std::all_of(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size()),
                       [](std::uint8_t b) { return b == 0; });
}

bool IpAddress::isLoopback() const {
    if (family == AF_INET)
        return bytes[0] == 127;
    if (family == AF_INET6) {
        for (std::size_t i = 0; i < 15; ++i)
            if (bytes[i] != 0)
                return false;
        return bytes[15] == 1;
    }
    return false;
}

bool IpAddress::isLinkLocal() const {
    if (family == AF_INET)
        return bytes[0] == 169 && bytes[1] == 254;
    if (family == AF_INET6)
        return bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80;
    return false;
}

bool IpAddress::matchesPrefix(const IpAddress& other, unsigned prefixLength) const {
    if (family != other.family || size() == 0)
        return false;
    if (prefixLength > size() * 8)
        return false;
    const unsigned whole = prefixLength / 8;
    if (std::memcmp(bytes.data(), other.bytes.data(), whole) != 0)
        return false;
    const unsigned rest = prefixLength % 8;
    if (rest == 0)
        return true;
    const auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
    return (bytes[whole] & mask) == (other.bytes[whole] & mask);
}

IpAddress IpAddress::v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    IpAddress address;
    address.family = AF_INET;
    address.bytes[0] = a;
    address.bytes[1] = b;
    address.bytes[2] = c;
    address.bytes[3] = d;
    return address;
}

std::optional<IpAddress> IpAddress::fromSockaddr(const sockaddr* address, socklen_t length) {
    if (address == nullptr || length < static_cast<socklen_t>(sizeof(sa_family_t)))
        return std::nullopt;
    sa_family_t family = 0;
    std::memcpy(&family, reinterpret_cast<const char*>(address) + offsetof(sockaddr, sa_family),
                sizeof family);
    IpAddress result;
    if (family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        result.family = AF_INET;
        std::memcpy(result.bytes.data(), &in.sin_addr, 4);
        return result;
    }
    if (family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        result.family = AF_INET6;
        std::memcpy(result.bytes.data(), &in6.sin6_addr, 16);
        return result;
    }
    return std::nullopt;
}

std::optional<IpAddress> IpAddress::fromText(std::string_view text) {
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN)
        return std::nullopt;
    const std::string copy(text);
    IpAddress result;
    if (inet_pton(AF_INET, copy.c_str(), result.bytes.data()) == 1) {
        result.family = AF_INET;
        return result;
    }
    if (inet_pton(AF_INET6, copy.c_str(), result.bytes.data()) == 1) {
        result.family = AF_INET6;
        return result;
    }
    return std::nullopt;
}

} // namespace tc::platform
