#pragma once
// Settings of a TLS upgrade: a dictionary of named values, as callers of the socket pass them.
#include <openssl/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tc {

// Own identity of a TLS endpoint: a private key and its certificate, followed by any intermediates.
struct StreamSocketTLSIdentity {
    std::shared_ptr<EVP_PKEY> key;
    std::vector<std::shared_ptr<X509>> certificates;
};

using StreamSocketTLSValue = std::variant<bool, std::int64_t, std::string, std::vector<std::uint8_t>,
                                          std::vector<std::int64_t>, StreamSocketTLSIdentity>;
using StreamSocketTLSSettings = std::map<std::string, StreamSocketTLSValue, std::less<>>;

inline constexpr std::string_view kCFStreamSSLIsServer = "kCFStreamSSLIsServer";
inline constexpr std::string_view kCFStreamSSLPeerName = "kCFStreamSSLPeerName";
inline constexpr std::string_view kCFStreamSSLCertificates = "kCFStreamSSLCertificates";
inline constexpr std::string_view kStreamSocketManuallyEvaluateTrust = "StreamSocketManuallyEvaluateTrust";
inline constexpr std::string_view kStreamSocketSSLPeerID = "StreamSocketSSLPeerID";
// Protocol bounds are TLS wire versions (0x0301 = TLS 1.0 ... 0x0304 = TLS 1.3).
inline constexpr std::string_view kStreamSocketSSLProtocolVersionMin = "StreamSocketSSLProtocolVersionMin";
inline constexpr std::string_view kStreamSocketSSLProtocolVersionMax = "StreamSocketSSLProtocolVersionMax";
inline constexpr std::string_view kStreamSocketSSLSessionOptionFalseStart =
    "StreamSocketSSLSessionOptionFalseStart";
inline constexpr std::string_view kStreamSocketSSLSessionOptionSendOneByteRecord =
    "StreamSocketSSLSessionOptionSendOneByteRecord";
// Cipher suites are IANA two-byte suite numbers.
inline constexpr std::string_view kStreamSocketSSLCipherSuites = "StreamSocketSSLCipherSuites";
// Diffie-Hellman parameters in DER or PEM form.
inline constexpr std::string_view kStreamSocketSSLDiffieHellmanParameters =
    "StreamSocketSSLDiffieHellmanParameters";

// Keys of an older trust model; refused, because trust decisions go through manual evaluation.
inline constexpr std::string_view kCFStreamSSLAllowsAnyRoot = "kCFStreamSSLAllowsAnyRoot";
inline constexpr std::string_view kCFStreamSSLAllowsExpiredRoots = "kCFStreamSSLAllowsExpiredRoots";
inline constexpr std::string_view kCFStreamSSLValidatesCertificateChain =
    "kCFStreamSSLValidatesCertificateChain";
inline constexpr std::string_view kCFStreamSSLAllowsExpiredCertificates =
    "kCFStreamSSLAllowsExpiredCertificates";
inline constexpr std::string_view kCFStreamSSLLevel = "kCFStreamSSLLevel";

// What a delegate sees when asked to judge the peer: the peer's chain (DER, leaf first) and what the
// default verification against the system's trust store concluded.
struct StreamSocketTrust {
    std::vector<std::vector<std::uint8_t>> certificateChain;
    long verifyResult = 0; // X509_V_OK when the default verification passed
    std::string verifyResultText;
};

} // namespace tc
