#pragma once
// Shared by the HTTP client's tests: certificates made with OpenSSL for the loopback TLS server, and
// waiting on the main queue.
#include "http/http_types.h"
#include "platform/dispatch.h"

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace http_test {

inline bool pumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return tc::platform::RunLoop::main().runUntil(done, limit);
}

struct KeyDeleter {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertDeleter {
    void operator()(X509* x) const { X509_free(x); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Cert = std::unique_ptr<X509, CertDeleter>;

inline Key makeKey() {
    return Key(EVP_EC_gen("P-256"));
}

// A certificate for `key`, signed by `issuerKey` under `issuer` (self-signed when issuer is null).
inline Cert makeCertificate(EVP_PKEY* key, const std::string& commonName, const std::string& subjectAltName,
                            bool ca, X509* issuer, EVP_PKEY* issuerKey, long serial) {
    Cert x(X509_new());
    X509_set_version(x.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(x.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(x.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(x.get()), 86400);
    X509_set_pubkey(x.get(), key);
    X509_NAME* name = X509_get_subject_name(x.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(x.get(), issuer ? X509_get_subject_name(issuer) : name);
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, issuer ? issuer : x.get(), x.get(), nullptr, nullptr, 0);
    auto add = [&](int nid, const char* value) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        X509_add_ext(x.get(), ext, -1);
        X509_EXTENSION_free(ext);
    };
    add(NID_basic_constraints, ca ? "critical,CA:TRUE" : "critical,CA:FALSE");
    if (ca)
        add(NID_key_usage, "critical,keyCertSign,cRLSign");
    else {
        add(NID_key_usage, "critical,digitalSignature");
        add(NID_ext_key_usage, "serverAuth");
    }
    if (!subjectAltName.empty())
        add(NID_subject_alt_name, subjectAltName.c_str());
    X509_sign(x.get(), issuerKey ? issuerKey : key, EVP_sha256());
    return x;
}

inline tc::http::Bytes der(X509* x) {
    int n = i2d_X509(x, nullptr);
    tc::http::Bytes out(static_cast<std::size_t>(n));
    unsigned char* p = out.data();
    i2d_X509(x, &p);
    return out;
}

// A CA and two leaves it signed (for 127.0.0.1, and for another host), plus a self-signed leaf.
struct TestPKI {
    Key caKey = makeKey();
    Cert ca = makeCertificate(caKey.get(), "Test Root", "", true, nullptr, nullptr, 1);
    Key leafKey = makeKey();
    Cert leaf = makeCertificate(leafKey.get(), "127.0.0.1", "IP:127.0.0.1,DNS:localhost", false, ca.get(),
                                caKey.get(), 2);
    Cert reissued =
        makeCertificate(leafKey.get(), "127.0.0.1", "IP:127.0.0.1", false, ca.get(), caKey.get(), 3);
    Key otherKey = makeKey();
    Cert otherHost =
        makeCertificate(otherKey.get(), "other.test", "DNS:other.test", false, ca.get(), caKey.get(), 4);
    Key selfKey = makeKey();
    Cert selfSigned = makeCertificate(selfKey.get(), "127.0.0.1", "IP:127.0.0.1", false, nullptr, nullptr, 5);
};

} // namespace http_test
