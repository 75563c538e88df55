// TLS upgrade of StreamSocket over OpenSSL. The engine reads and writes the descriptor through a BIO of
// our own, so bytes read ahead before the upgrade are handed to the engine first.
#include "connection/socket/stream_socket.h"
#include "connection/socket/stream_socket_internal.h"
#include "platform/crypto.h"
#include "platform/log.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <atomic>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace tc {

namespace {

// Sessions kept for resumption, by the caller's peer id.
struct SessionCache {
    std::mutex mutex;
    std::map<std::vector<std::uint8_t>, SSL_SESSION*> sessions;
    static constexpr std::size_t kMaxSessions = 256;

    static SessionCache& shared() {
        static SessionCache* cache = new SessionCache();
        return *cache;
    }
    void store(const std::vector<std::uint8_t>& id, SSL_SESSION* session) {
        std::lock_guard lock(mutex);
        auto it = sessions.find(id);
        if (it != sessions.end()) {
            SSL_SESSION_free(it->second);
            it->second = session;
            return;
        }
        if (sessions.size() >= kMaxSessions) {
            SSL_SESSION_free(sessions.begin()->second);
            sessions.erase(sessions.begin());
        }
        sessions.emplace(id, session);
    }
    SSL_SESSION* copy(const std::vector<std::uint8_t>& id) {
        std::lock_guard lock(mutex);
        auto it = sessions.find(id);
        if (it == sessions.end())
            return nullptr;
        SSL_SESSION_up_ref(it->second);
        return it->second;
    }
};

std::vector<std::uint8_t> derOf(X509* cert) {
    std::vector<std::uint8_t> der;
    int length = i2d_X509(cert, nullptr);
    if (length <= 0)
        return der;
    der.resize(static_cast<std::size_t>(length));
    unsigned char* p = der.data();
    i2d_X509(cert, &p);
    return der;
}

} // namespace

// The BIO and session callbacks reach the socket's private state through here.
struct StreamSocketTLSAccess {
    static int bioWrite(BIO* bio, const char* data, int length) {
        auto* s = static_cast<StreamSocket*>(BIO_get_data(bio));
        assert(s && "What the deuce?");
        BIO_clear_retry_flags(bio);
        ssize_t r = ::send(s->ioSourceFD_, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                BIO_set_retry_write(bio);
            return -1;
        }
        return static_cast<int>(r);
    }

    static int bioRead(BIO* bio, char* out, int length) {
        auto* s = static_cast<StreamSocket*>(BIO_get_data(bio));
        assert(s && "What the deuce?");
        BIO_clear_retry_flags(bio);
        if (length <= 0)
            return 0;
        StreamSocketPreBuffer& pre = s->sslPreBuffer_;
        if (pre.availableBytes() > 0) {
            std::size_t n = std::min<std::size_t>(pre.availableBytes(), static_cast<std::size_t>(length));
            std::memcpy(out, pre.readBuffer(), n);
            pre.didRead(n);
            return static_cast<int>(n);
        }
        ssize_t r = ::recv(s->ioSourceFD_, out, static_cast<std::size_t>(length), 0);
        if (r < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                BIO_set_retry_read(bio);
            return -1;
        }
        return static_cast<int>(r);
    }

    static long bioCtrl(BIO*, int cmd, long, void*) { return cmd == BIO_CTRL_FLUSH ? 1 : 0; }

    static BIO_METHOD* bioMethod() {
        static BIO_METHOD* method = [] {
            BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "StreamSocket");
            if (m) {
                BIO_meth_set_write(m, bioWrite);
                BIO_meth_set_read(m, bioRead);
                BIO_meth_set_ctrl(m, bioCtrl);
            }
            return m;
        }();
        return method;
    }

    static int newSession(SSL* ssl, SSL_SESSION* session) {
        auto* s = static_cast<StreamSocket*>(SSL_get_app_data(ssl));
        if (!s || s->sslPeerID_.empty())
            return 0;
        SessionCache::shared().store(s->sslPeerID_, session);
        return 1; // the cache keeps the reference
    }

    static int acceptAnyForManualTrust(int, X509_STORE_CTX*) { return 1; }
};

void StreamSocket::startTLS(StreamSocketTLSSettings settings) {
    auto packet = std::make_shared<StreamSpecialPacket>(std::move(settings));
    onSocketQueueAsync([packet](StreamSocket& s) {
        if ((s.flags_ & kSocketStarted) && !(s.flags_ & kQueuedTLS) && !(s.flags_ & kForbidReadsWrites)) {
            s.readQueue_.push_back(packet);
            s.writeQueue_.push_back(packet);
            s.flags_ |= kQueuedTLS;
            s.maybeDequeueRead();
            s.maybeDequeueWrite();
            s.updateInterest();
        }
    });
}

void StreamSocket::maybeStartTLS() {
    if ((flags_ & kStartingReadTLS) && (flags_ & kStartingWriteTLS))
        startTLSEngine();
}

void StreamSocket::startTLSEngine() {
    auto* marker = dynamic_cast<StreamSpecialPacket*>(currentRead_.get());
    assert(marker && "Logic error");
    const StreamSocketTLSSettings settings = marker->tlsSettings;
    const auto fail = [this](std::string text) {
        closeWithError(SocketError::streamSocket(StreamSocketOtherError, std::move(text)));
    };

    for (std::string_view key :
         {kCFStreamSSLAllowsAnyRoot, kCFStreamSSLAllowsExpiredRoots, kCFStreamSSLValidatesCertificateChain,
          kCFStreamSSLAllowsExpiredCertificates, kCFStreamSSLLevel}) {
        if (settings.find(key) != settings.end()) {
            fail("Security option unavailable - " + std::string(key));
            return;
        }
    }
    bool badType = false;
    std::string badKey;
    const auto get = [&]<typename T>(std::string_view key, const T*) -> const T* {
        auto it = settings.find(key);
        if (it == settings.end())
            return nullptr;
        if (const T* v = std::get_if<T>(&it->second))
            return v;
        if (!badType) {
            badType = true;
            badKey = std::string(key);
        }
        return nullptr;
    };
    const bool* isServer = get(kCFStreamSSLIsServer, static_cast<const bool*>(nullptr));
    const bool* manual = get(kStreamSocketManuallyEvaluateTrust, static_cast<const bool*>(nullptr));
    const std::string* peerName = get(kCFStreamSSLPeerName, static_cast<const std::string*>(nullptr));
    const StreamSocketTLSIdentity* identity =
        get(kCFStreamSSLCertificates, static_cast<const StreamSocketTLSIdentity*>(nullptr));
    const SocketData* peerID = get(kStreamSocketSSLPeerID, static_cast<const SocketData*>(nullptr));
    const std::int64_t* versionMin =
        get(kStreamSocketSSLProtocolVersionMin, static_cast<const std::int64_t*>(nullptr));
    const std::int64_t* versionMax =
        get(kStreamSocketSSLProtocolVersionMax, static_cast<const std::int64_t*>(nullptr));
    const bool* falseStart = get(kStreamSocketSSLSessionOptionFalseStart, static_cast<const bool*>(nullptr));
    const bool* oneByteRecord =
        get(kStreamSocketSSLSessionOptionSendOneByteRecord, static_cast<const bool*>(nullptr));
    const std::vector<std::int64_t>* ciphers =
        get(kStreamSocketSSLCipherSuites, static_cast<const std::vector<std::int64_t>*>(nullptr));
    const SocketData* dhParams =
        get(kStreamSocketSSLDiffieHellmanParameters, static_cast<const SocketData*>(nullptr));
    if (badType) {
        platform::Log::error("StreamSocket: TLS setting {} has a value of the wrong type", badKey);
        fail("Invalid value for " + badKey + ".");
        return;
    }
    tlsIsServer_ = isServer && *isServer;
    if (manual && *manual && tlsIsServer_) {
        fail("Manual trust validation is not supported for server sockets");
        return;
    }
    manualTrust_ = manual && *manual;
    (void)falseStart; // the engine has no false start; accepted and ignored

    platform::initialiseCrypto();
    ERR_clear_error();
    sslCtx_ = SSL_CTX_new(tlsIsServer_ ? TLS_server_method() : TLS_client_method());
    if (sslCtx_)
        ssl_ = SSL_new(sslCtx_);
    if (!sslCtx_ || !ssl_) {
        fail("Error in SSLCreateContext");
        return;
    }
    BIO_METHOD* method = StreamSocketTLSAccess::bioMethod();
    BIO* bio = method ? BIO_new(method) : nullptr;
    if (!bio) {
        fail("Error in SSLSetIOFuncs");
        return;
    }
    BIO_set_data(bio, this);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl_, bio, bio);
    SSL_set_app_data(ssl_, this);
    SSL_set_mode(ssl_, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);

    if (tlsIsServer_) {
        SSL_set_accept_state(ssl_);
    } else {
        SSL_set_connect_state(ssl_);
        // The peer is verified against the system's trust store unless the delegate judges it.
        if (SSL_CTX_set_default_verify_paths(sslCtx_) != 1)
            platform::Log::warning("StreamSocket: the system's trust store could not be loaded");
        SSL_set_verify(ssl_, SSL_VERIFY_PEER,
                       manualTrust_ ? StreamSocketTLSAccess::acceptAnyForManualTrust : nullptr);
    }
    if (peerName) {
        if (peerName->empty() || SSL_set_tlsext_host_name(ssl_, peerName->c_str()) != 1 ||
            SSL_set1_host(ssl_, peerName->c_str()) != 1) {
            fail("Error in SSLSetPeerDomainName");
            return;
        }
    }
    if (identity) {
        bool ok = identity->key && !identity->certificates.empty() && identity->certificates[0] &&
                  SSL_use_certificate(ssl_, identity->certificates[0].get()) == 1 &&
                  SSL_use_PrivateKey(ssl_, identity->key.get()) == 1 && SSL_check_private_key(ssl_) == 1;
        for (std::size_t i = 1; ok && i < identity->certificates.size(); ++i)
            ok = identity->certificates[i] && SSL_add1_chain_cert(ssl_, identity->certificates[i].get()) == 1;
        if (!ok) {
            fail("Error in SSLSetCertificate");
            return;
        }
    }
    if (peerID) {
        if (peerID->empty()) {
            fail("Error in SSLSetPeerID");
            return;
        }
        sslPeerID_ = *peerID;
        if (!tlsIsServer_) {
            SSL_CTX_set_session_cache_mode(sslCtx_, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
            SSL_CTX_sess_set_new_cb(sslCtx_, StreamSocketTLSAccess::newSession);
            if (SSL_SESSION* session = SessionCache::shared().copy(sslPeerID_)) {
                int ok = SSL_set_session(ssl_, session);
                SSL_SESSION_free(session);
                if (ok != 1) {
                    fail("Error in SSLSetPeerID");
                    return;
                }
            }
        }
    }
    if (versionMin && SSL_set_min_proto_version(ssl_, static_cast<int>(*versionMin)) != 1) {
        fail("Error in SSLSetProtocolVersionMin");
        return;
    }
    if (versionMax && SSL_set_max_proto_version(ssl_, static_cast<int>(*versionMax)) != 1) {
        fail("Error in SSLSetProtocolVersionMax");
        return;
    }
    if (oneByteRecord) {
        if (*oneByteRecord)
            SSL_clear_options(ssl_, SSL_OP_DONT_INSERT_EMPTY_FRAGMENTS);
        else
            SSL_set_options(ssl_, SSL_OP_DONT_INSERT_EMPTY_FRAGMENTS);
    }
    if (ciphers) {
        std::string tls12, tls13;
        bool ok = !ciphers->empty();
        for (std::int64_t id : *ciphers) {
            if (id < 0 || id > 0xFFFF) {
                ok = false;
                break;
            }
            const unsigned char bytes[2] = {static_cast<unsigned char>(id >> 8),
                                            static_cast<unsigned char>(id & 0xFF)};
            const SSL_CIPHER* cipher = SSL_CIPHER_find(ssl_, bytes);
            if (!cipher) {
                ok = false;
                break;
            }
            // Suites of TLS 1.3 are configured apart from the older ones; only their names start "TLS_".
            const std::string name = SSL_CIPHER_get_name(cipher);
            std::string& list = name.rfind("TLS_", 0) == 0 ? tls13 : tls12;
            if (!list.empty())
                list += ':';
            list += name;
        }
        if (ok && !tls12.empty())
            ok = SSL_set_cipher_list(ssl_, tls12.c_str()) == 1;
        if (ok)
            ok = SSL_set_ciphersuites(ssl_, tls13.c_str()) == 1;
        if (!ok) {
            fail("Error in SSLSetEnabledCiphers");
            return;
        }
    }
    if (dhParams) {
        EVP_PKEY* params = nullptr;
        const unsigned char* p = dhParams->data();
        params = d2i_KeyParams(EVP_PKEY_DH, nullptr, &p, static_cast<long>(dhParams->size()));
        if (!params) {
            BIO* mem = BIO_new_mem_buf(dhParams->data(), static_cast<int>(dhParams->size()));
            if (mem) {
                params = PEM_read_bio_Parameters(mem, nullptr);
                BIO_free(mem);
            }
        }
        if (!params || SSL_set0_tmp_dh_pkey(ssl_, params) != 1) {
            EVP_PKEY_free(params);
            fail("Error in SSLSetDiffieHellmanParams");
            return;
        }
    }

    // Bytes read ahead before the upgrade are the start of the TLS stream.
    if (std::size_t n = preBuffer_.availableBytes()) {
        sslPreBuffer_.ensureCapacityForWrite(n);
        std::memcpy(sslPreBuffer_.writeBuffer(), preBuffer_.readBuffer(), n);
        sslPreBuffer_.didWrite(n);
        preBuffer_.didRead(n);
    }
    socketFDBytesAvailable_ = 0;
    handshakeWantsWrite_ = false;
    trustDecision_ = 0;
    ERR_clear_error();
    continueHandshake();
    updateInterest();
}

void StreamSocket::continueHandshake() {
    if (!ssl_ || awaitingTrust_ || (flags_ & kSocketSecure))
        return;
    ERR_clear_error();
    int r = SSL_do_handshake(ssl_);
    if (r == 1) {
        if (manualTrust_ && trustDecision_ == 0)
            askDelegateForTrust();
        else
            finishHandshake();
        return;
    }
    int e = SSL_get_error(ssl_, r);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
        lastSSLHandshakeError_ = errSSLWouldBlock;
        handshakeWantsWrite_ = e == SSL_ERROR_WANT_WRITE;
        return;
    }
    const long verify = SSL_get_verify_result(ssl_);
    if (!tlsIsServer_ && !manualTrust_ && verify != X509_V_OK) {
        lastSSLHandshakeError_ = errSSLXCertChainInvalid;
        ERR_clear_error();
        closeWithError(SocketError::tls(errSSLXCertChainInvalid, std::string("certificate verify failed: ") +
                                                                     X509_verify_cert_error_string(verify)));
        return;
    }
    const bool unexpectedEOF =
        e == SSL_ERROR_SYSCALL || e == SSL_ERROR_ZERO_RETURN ||
        (e == SSL_ERROR_SSL && ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
    if (unexpectedEOF) {
        lastSSLHandshakeError_ = errSSLClosedAbort;
        ERR_clear_error();
        closeWithError(SocketError::tls(errSSLClosedAbort, "Connection closed during the TLS handshake"));
        return;
    }
    lastSSLHandshakeError_ = errSSLProtocol;
    closeWithError(SocketError::tls(errSSLProtocol, stream_socket_detail::openSSLErrorText()));
}

void StreamSocket::askDelegateForTrust() {
    lastSSLHandshakeError_ = errSSLPeerAuthCompleted;
    awaitingTrust_ = true;
    StreamSocketTrust trust;
    if (STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl_)) {
        for (int i = 0; i < sk_X509_num(chain); ++i)
            trust.certificateChain.push_back(derOf(sk_X509_value(chain, i)));
    }
    trust.verifyResult = SSL_get_verify_result(ssl_);
    trust.verifyResultText = X509_verify_cert_error_string(trust.verifyResult);

    const int aStateIndex = stateIndex_;
    if (!delegateQueue_) {
        trustEvaluationUnavailable(aStateIndex);
        return;
    }
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    auto queue = socketQueue_;
    auto self = selfForCallbacks();
    std::weak_ptr<StreamSocketDelegate> weakDelegate = delegate_;
    delegateQueue_.async([=] {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        std::function<void(bool)> completion = [weak, queue, aStateIndex, answered](bool trusted) {
            if (answered->exchange(true))
                return; // only the first answer counts
            queue->async([weak, aStateIndex, trusted] {
                if (auto s = weak.lock()) {
                    s->handshakeTrustAnswer(trusted, aStateIndex);
                    s->updateInterest();
                }
            });
        };
        auto d = weakDelegate.lock();
        if (!d || !d->socketDidReceiveTrust(self, trust, completion)) {
            queue->async([weak, aStateIndex] {
                if (auto s = weak.lock())
                    s->trustEvaluationUnavailable(aStateIndex);
            });
        }
    });
}

void StreamSocket::trustEvaluationUnavailable(int aStateIndex) {
    if (aStateIndex != stateIndex_ || !awaitingTrust_)
        return;
    closeWithError(SocketError::streamSocket(
        StreamSocketOtherError, "StreamSocketManuallyEvaluateTrust specified in tlsSettings, but "
                                "delegate doesn't implement socket:shouldTrustPeer:"));
}

void StreamSocket::handshakeTrustAnswer(bool trusted, int aStateIndex) {
    if (aStateIndex != stateIndex_ || !awaitingTrust_)
        return; // a late answer for an attempt that has ended
    awaitingTrust_ = false;
    if (!trusted) {
        closeWithError(SocketError::tls(errSSLPeerBadCert, "The peer's certificate was not trusted"));
        return;
    }
    trustDecision_ = 1;
    finishHandshake();
}

void StreamSocket::finishHandshake() {
    lastSSLHandshakeError_ = 0;
    flags_ &= ~(kQueuedTLS | kStartingReadTLS | kStartingWriteTLS);
    flags_ |= kSocketSecure;
    notifyDelegate(
        [](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) { d.socketDidSecure(s); });
    endCurrentRead();
    endCurrentWrite();
    flags_ |= kSocketCanAcceptBytes;
    suspendWriteSource();
    resumeReadSource();
    maybeDequeueRead();
    maybeDequeueWrite();
    updateInterest();
}

std::size_t StreamSocket::sslBufferedBytes() const {
    if (!ssl_)
        return 0;
    return static_cast<std::size_t>(std::max(SSL_pending(ssl_), 0)) + sslPreBuffer_.availableBytes();
}

void StreamSocket::flushSSLBuffers() {
    assert((flags_ & kSocketSecure) && "Cannot flush ssl buffers on non-secure socket");
    if (preBuffer_.availableBytes() > 0)
        return;
    while (sslBufferedBytes() > 0) {
        std::size_t want =
            std::max<std::size_t>(static_cast<std::size_t>(std::max(SSL_pending(ssl_), 0)), 4096);
        preBuffer_.ensureCapacityForWrite(want);
        ERR_clear_error();
        int r = SSL_read(ssl_, preBuffer_.writeBuffer(), static_cast<int>(want));
        if (r > 0) {
            preBuffer_.didWrite(static_cast<std::size_t>(r));
            continue;
        }
        int e = SSL_get_error(ssl_, r);
        if (e == SSL_ERROR_ZERO_RETURN) {
            sslErrCode_ = errSSLClosedGraceful;
            flags_ |= kSocketHasReadEOF;
        } else if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
            sslErrCode_ = errSSLClosedAbort;
            flags_ |= kSocketHasReadEOF;
        }
        ERR_clear_error();
        break;
    }
}

void StreamSocket::endTLS() {
    if (ssl_) {
        if ((flags_ & kSocketSecure) && !(flags_ & kSocketHasReadEOF) && ioSourceFD_ != -1) {
            ERR_clear_error();
            SSL_shutdown(ssl_); // one polite close_notify; nobody waits for the answer
            ERR_clear_error();
        }
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (sslCtx_) {
        SSL_CTX_free(sslCtx_);
        sslCtx_ = nullptr;
    }
    manualTrust_ = false;
    awaitingTrust_ = false;
    tlsIsServer_ = false;
    trustDecision_ = 0;
    handshakeWantsWrite_ = false;
    sslPeerID_.clear();
}

} // namespace tc
