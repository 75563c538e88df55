#include "http/security_policy.h"

#include "platform/bundle.h"
#include "platform/log.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tc::http {

namespace {

struct X509Deleter {
    void operator()(X509* x) const { X509_free(x); }
};
struct StoreDeleter {
    void operator()(X509_STORE* s) const { X509_STORE_free(s); }
};
using X509Ptr = std::unique_ptr<X509, X509Deleter>;
using StorePtr = std::unique_ptr<X509_STORE, StoreDeleter>;

X509Ptr parseDER(const Bytes& der) {
    const unsigned char* p = der.data();
    X509Ptr x(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    if (x && p != der.data() + der.size())
        return nullptr; // trailing bytes: not one certificate
    return x;
}

Bytes toDER(X509* x) {
    int n = i2d_X509(x, nullptr);
    if (n <= 0)
        return {};
    Bytes out(static_cast<std::size_t>(n));
    unsigned char* p = out.data();
    i2d_X509(x, &p);
    return out;
}

StorePtr storeWith(const std::vector<Bytes>& anchors) {
    StorePtr store(X509_STORE_new());
    for (const auto& der : anchors)
        if (auto x = parseDER(der))
            X509_STORE_add_cert(store.get(), x.get());
    return store;
}

struct SystemStore {
    std::mutex mutex;
    std::optional<std::vector<Bytes>> anchors;
    X509_STORE* store = nullptr; // built on first use, replaced when the anchors change
};

SystemStore& systemStore() {
    static SystemStore* s = new SystemStore; // lives as long as the process
    return *s;
}

// A reference to the current store (up-referenced), built on demand.
X509_STORE* acquireSystemStore() {
    SystemStore& s = systemStore();
    std::lock_guard lock(s.mutex);
    if (!s.store) {
        if (s.anchors)
            s.store = storeWith(*s.anchors).release();
        else {
            s.store = X509_STORE_new();
            X509_STORE_set_default_paths(s.store);
        }
    }
    X509_STORE_up_ref(s.store);
    return s.store;
}

} // namespace

void TrustStore::setAnchors(std::optional<std::vector<Bytes>> anchors) {
    SystemStore& s = systemStore();
    std::lock_guard lock(s.mutex);
    s.anchors = std::move(anchors);
    if (s.store)
        X509_STORE_free(s.store);
    s.store = nullptr;
}

bool ServerTrust::evaluate(const std::optional<std::string>& domain, const std::vector<Bytes>* anchors,
                           std::vector<Bytes>* built) const {
    if (chain_.empty())
        return false;
    X509Ptr leaf = parseDER(chain_.front());
    if (!leaf)
        return false;
    std::vector<X509Ptr> rest;
    STACK_OF(X509)* untrusted = sk_X509_new_null();
    for (std::size_t i = 1; i < chain_.size(); ++i)
        if (auto x = parseDER(chain_[i])) {
            sk_X509_push(untrusted, x.get());
            rest.push_back(std::move(x));
        }
    StorePtr store(anchors ? storeWith(*anchors).release() : acquireSystemStore());
    X509_STORE_CTX* ctx = X509_STORE_CTX_new();
    bool ok = false;
    if (ctx && X509_STORE_CTX_init(ctx, store.get(), leaf.get(), untrusted) == 1) {
        X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(ctx);
        if (anchors) // a pinned certificate may be a leaf or an intermediate
            X509_VERIFY_PARAM_set_flags(param, X509_V_FLAG_PARTIAL_CHAIN);
        if (domain) {
            X509_STORE_CTX_set_purpose(ctx, X509_PURPOSE_SSL_SERVER);
            X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
            bool isIP = false;
            if (!domain->empty())
                isIP = X509_VERIFY_PARAM_set1_ip_asc(param, domain->c_str()) == 1;
            if (!domain->empty() && !isIP &&
                X509_VERIFY_PARAM_set1_host(param, domain->c_str(), domain->size()) != 1) {
                X509_STORE_CTX_free(ctx);
                sk_X509_free(untrusted);
                return false;
            }
        }
        ok = X509_verify_cert(ctx) == 1;
        if (ok && built) {
            built->clear();
            STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(ctx);
            for (int i = 0; chain && i < sk_X509_num(chain); ++i)
                built->push_back(toDER(sk_X509_value(chain, i)));
        }
    }
    X509_STORE_CTX_free(ctx);
    sk_X509_free(untrusted);
    return ok;
}

std::optional<Bytes> publicKeyOfCertificate(const Bytes& der) {
    X509Ptr x = parseDER(der);
    if (!x)
        return std::nullopt;
    EVP_PKEY* key = X509_get0_pubkey(x.get());
    if (!key)
        return std::nullopt;
    int n = i2d_PUBKEY(key, nullptr);
    if (n <= 0)
        return std::nullopt;
    Bytes out(static_cast<std::size_t>(n));
    unsigned char* p = out.data();
    i2d_PUBKEY(key, &p);
    return out;
}

// ---- the policy

std::shared_ptr<SecurityPolicy> SecurityPolicy::policyWithPinningMode(http::SSLPinningMode mode) {
    auto p = std::make_shared<SecurityPolicy>();
    p->pinningMode = mode;
    p->setPinnedCertificates(defaultPinnedCertificates());
    return p;
}

std::vector<Bytes> SecurityPolicy::defaultPinnedCertificates() {
    static const std::vector<Bytes> certificates = [] {
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(platform::Bundle::resourcesRoot(), ec))
            if (entry.is_regular_file(ec) && entry.path().extension() == ".cer")
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        std::vector<Bytes> out;
        for (const auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (b.size() <= (1u << 20))
                out.push_back(std::move(b));
        }
        return out;
    }();
    return certificates;
}

void SecurityPolicy::setPinnedCertificates(std::optional<std::vector<Bytes>> certificates) {
    if (!certificates) {
        pinnedCertificates_.reset();
        pinnedPublicKeys_.reset();
        return;
    }
    std::vector<Bytes> unique;
    for (auto& c : *certificates)
        if (std::find(unique.begin(), unique.end(), c) == unique.end())
            unique.push_back(std::move(c));
    std::vector<Bytes> keys;
    for (const auto& c : unique)
        if (auto key = publicKeyOfCertificate(c))
            keys.push_back(std::move(*key));
    pinnedCertificates_ = std::move(unique);
    pinnedPublicKeys_ = std::move(keys);
}

bool SecurityPolicy::evaluateServerTrust(const ServerTrust& trust,
                                         const std::optional<std::string>& domain) const {
    bool pinnedNone = !pinnedCertificates_ || pinnedCertificates_->empty();
    if (domain && allowInvalidCertificates && validatesDomainName &&
        (pinningMode == SSLPinningMode::None || pinnedNone)) {
        platform::Log::warning(
            "In order to validate a domain name for self signed certificates, you MUST use pinning.");
        return false;
    }
    // Without pinning only the chain and the host name authenticate the server: a policy that skips
    // either would take any certificate (or any trusted one, for any host).
    if (pinningMode == SSLPinningMode::None && (allowInvalidCertificates || !validatesDomainName)) {
        platform::Log::warning("Without pinning, the server's chain and host name must both be validated; "
                               "the certificate is refused.");
        return false;
    }
    std::optional<std::string> sslDomain;
    if (validatesDomainName)
        sslDomain = domain.value_or(""); // a TLS server chain; the host is checked when one is given
    switch (pinningMode) {
    case SSLPinningMode::None:
        return trust.evaluate(sslDomain, nullptr);
    case SSLPinningMode::PublicKey: {
        if (!allowInvalidCertificates && !trust.evaluate(sslDomain, nullptr))
            return false;
        if (!pinnedPublicKeys_)
            return false;
        for (const auto& cert : trust.certificates())
            if (auto key = publicKeyOfCertificate(cert))
                if (std::find(pinnedPublicKeys_->begin(), pinnedPublicKeys_->end(), *key) !=
                    pinnedPublicKeys_->end())
                    return true;
        return false;
    }
    case SSLPinningMode::Certificate: {
        if (!allowInvalidCertificates && !trust.evaluate(sslDomain, nullptr))
            return false;
        if (pinnedNone)
            return false;
        std::vector<Bytes> chain;
        if (!trust.evaluate(sslDomain, &*pinnedCertificates_, &chain))
            return false;
        for (const auto& cert : chain)
            if (std::find(pinnedCertificates_->begin(), pinnedCertificates_->end(), cert) !=
                pinnedCertificates_->end())
                return true;
        return false;
    }
    }
    return false;
}

std::shared_ptr<SecurityPolicy> SecurityPolicy::copy() const {
    auto p = std::make_shared<SecurityPolicy>();
    p->allowInvalidCertificates = allowInvalidCertificates;
    p->validatesDomainName = validatesDomainName;
    p->pinningMode = pinningMode;
    p->setPinnedCertificates(pinnedCertificates_);
    return p;
}

bool SecurityPolicy::isDefault() const {
    return !allowInvalidCertificates && validatesDomainName && pinningMode == SSLPinningMode::None;
}

} // namespace tc::http
