#pragma once
// Server trust over OpenSSL: the chain a TLS server presented, evaluated against the system's anchors
// (or pinned ones) with or without host-name checking, and the policy that decides to accept it.
#include "http/http_types.h"

#include <mutex>

namespace tc::http {

// The anchors that "trusted by the system" means: the system's CA store, unless replaced (a deployment
// with its own CA bundle, or a test).
class TrustStore {
public:
    // DER certificates that replace the system's anchors; nullopt restores the system store.
    static void setAnchors(std::optional<std::vector<Bytes>> anchors);
};

// The certificate chain a server presented for a host, leaf first (DER).
class ServerTrust {
public:
    ServerTrust(std::string host, std::vector<Bytes> chain)
        : host_(std::move(host)), chain_(std::move(chain)) {}
    const std::string& host() const { return host_; }
    const std::vector<Bytes>& certificates() const { return chain_; }
    // Verifies the chain: as a TLS server certificate when `domain` is given, for that host unless it is
    // empty (else as any X.509 chain),
    // against `anchors` only when given (else the trust store). `built` receives the verified chain.
    bool evaluate(const std::optional<std::string>& domain, const std::vector<Bytes>* anchors,
                  std::vector<Bytes>* built = nullptr) const;

private:
    std::string host_;
    std::vector<Bytes> chain_;
};

// The DER SubjectPublicKeyInfo of a DER certificate; nullopt when it does not parse.
std::optional<Bytes> publicKeyOfCertificate(const Bytes& der);

enum class SSLPinningMode : unsigned { None = 0, PublicKey = 1, Certificate = 2 };

// Without pinning, a chain is accepted only when it is trusted and issued for the host: settings that
// would skip either check refuse every chain instead.
class SecurityPolicy {
public:
    static std::shared_ptr<SecurityPolicy> defaultPolicy() { return std::make_shared<SecurityPolicy>(); }
    static std::shared_ptr<SecurityPolicy> policyWithPinningMode(SSLPinningMode mode);
    // Every ".cer" file at the top of the application's resources, in name order; read once.
    static std::vector<Bytes> defaultPinnedCertificates();

    bool allowInvalidCertificates = false;
    bool validatesDomainName = true;
    http::SSLPinningMode pinningMode = http::SSLPinningMode::None;

    // Duplicates are dropped (first kept); the public keys are derived again.
    void setPinnedCertificates(std::optional<std::vector<Bytes>> certificates);
    const std::optional<std::vector<Bytes>>& pinnedCertificates() const { return pinnedCertificates_; }
    const std::optional<std::vector<Bytes>>& pinnedPublicKeys() const { return pinnedPublicKeys_; }

    bool evaluateServerTrust(const ServerTrust& trust, const std::optional<std::string>& domain) const;
    bool evaluateServerTrust(const ServerTrust& trust) const {
        return evaluateServerTrust(trust, std::nullopt);
    }

    std::shared_ptr<SecurityPolicy> copy() const;
    // True for the settings of defaultPolicy: connections it accepted may serve other requests.
    bool isDefault() const;

private:
    std::optional<std::vector<Bytes>> pinnedCertificates_;
    std::optional<std::vector<Bytes>> pinnedPublicKeys_;
};

} // namespace tc::http
