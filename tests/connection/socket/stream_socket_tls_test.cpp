#include "connection/socket/stream_socket.h"
#include "platform/dispatch.h"
#include "socket_test_support.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <string>

namespace {

using namespace tc;
using namespace sockettest;

// A fresh key and a self-signed certificate for "localhost", valid for a day.
StreamSocketTLSIdentity makeSelfSignedIdentity() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"),
                               -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, "DNS:localhost");
    X509_add_ext(cert, san, -1);
    X509_EXTENSION_free(san);
    X509_sign(cert, key, EVP_sha256());
    StreamSocketTLSIdentity identity;
    identity.key = std::shared_ptr<EVP_PKEY>(key, EVP_PKEY_free);
    identity.certificates.push_back(std::shared_ptr<X509>(cert, X509_free));
    return identity;
}

std::vector<std::uint8_t> der(const StreamSocketTLSIdentity& identity) {
    X509* cert = identity.certificates.front().get();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(i2d_X509(cert, nullptr)));
    unsigned char* p = out.data();
    i2d_X509(cert, &p);
    return out;
}

class StreamSocketTLSTest : public ::testing::Test {
protected:
    std::shared_ptr<platform::SerialQueue> delegateQueue =
        std::make_shared<platform::SerialQueue>("delegate");
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    StreamSocketTLSIdentity identity = makeSelfSignedIdentity();
    std::shared_ptr<StreamSocket> server;
    std::uint16_t port = 0;

    std::vector<std::shared_ptr<StreamSocket>> owned;

    std::shared_ptr<StreamSocket> makeSocket() {
        owned.push_back(StreamSocket::create(recorder, delegateQueue));
        return owned.back();
    }

    void TearDown() override {
        auto sockets = recorder->takeAccepted();
        sockets.insert(sockets.end(), owned.begin(), owned.end());
        owned.clear();
        server.reset();
        retire(std::move(sockets), *delegateQueue);
    }

    // A TLS echo server: every accepted socket upgrades at once and echoes lines.
    void SetUp() override {
        StreamSocketTLSSettings serverSettings{{std::string(kCFStreamSSLIsServer), true},
                                               {std::string(kCFStreamSSLCertificates), identity}};
        recorder->onAccept = [serverSettings](const std::shared_ptr<StreamSocket>& s) {
            s->startTLS(serverSettings);
            s->readDataToData(StreamSocket::LFData(), 5.0, 100);
        };
        recorder->onRead = [](const std::shared_ptr<StreamSocket>& s, const SocketData& data, long tag) {
            if (tag == 100) {
                s->writeData(data, 5.0, 100);
                s->readDataToData(StreamSocket::LFData(), 5.0, 100);
            }
        };
        server = makeSocket();
        ASSERT_TRUE(server->acceptOnInterface("127.0.0.1", 0));
        port = server->localPort4();
    }

    std::shared_ptr<StreamSocket> connectClient(StreamSocketTLSSettings settings) {
        auto client = makeSocket();
        EXPECT_TRUE(client->connectToHost("127.0.0.1", port, 5.0));
        client->startTLS(std::move(settings));
        return client;
    }

    std::optional<SocketError> disconnectError(StreamSocket* socket) {
        auto closed = recorder->waitFor(Event::Disconnect, socket);
        EXPECT_TRUE(closed);
        return closed ? closed->error : std::nullopt;
    }
};

TEST_F(StreamSocketTLSTest, UntrustedSelfSignedCertificateFailsVerification) {
    auto client = connectClient({{std::string(kCFStreamSSLPeerName), std::string("localhost")}});
    client->writeData(bytes("never sent in clear\n"), 5.0, 1);
    auto error = disconnectError(client.get());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, SSLErrorDomain);
    EXPECT_EQ(error->code, errSSLXCertChainInvalid);
    EXPECT_NE(error->description.find("self"), std::string::npos) << error->description;
    EXPECT_EQ(recorder->count(Event::Secure, client.get()), 0u);
    EXPECT_EQ(recorder->count(Event::Write, client.get()), 0u);
}

TEST_F(StreamSocketTLSTest, EchoOverTLSWhenTheDelegateTrustsTheCertificate) {
    const auto expected = der(identity);
    recorder->trustDecider = [expected](const StreamSocketTrust& trust) {
        return !trust.certificateChain.empty() && trust.certificateChain.front() == expected;
    };
    auto client = connectClient({{std::string(kCFStreamSSLPeerName), std::string("localhost")},
                                 {std::string(kStreamSocketManuallyEvaluateTrust), true}});
    // Queued behind the upgrade: these run over TLS.
    client->writeData(bytes("secret one\n"), 5.0, 1);
    client->writeData(bytes("secret two\n"), 5.0, 2);
    client->readDataToData(StreamSocket::LFData(), 5.0, 1);
    client->readDataToData(StreamSocket::LFData(), 5.0, 2);

    auto asked = recorder->waitFor(Event::TrustAsked, client.get());
    ASSERT_TRUE(asked);
    EXPECT_NE(asked->trust.verifyResult, 0) << "the system's trust store does not know this certificate";
    ASSERT_TRUE(recorder->waitFor(Event::Secure, client.get()));
    auto first = recorder->waitFor(Event::Read, client.get());
    auto second = recorder->waitFor(Event::Read, client.get(), 1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(text(first->data), "secret one\n");
    EXPECT_EQ(text(second->data), "secret two\n");
    EXPECT_TRUE(client->isSecure());
    EXPECT_EQ(recorder->count(Event::Disconnect, client.get()), 0u);
}

TEST_F(StreamSocketTLSTest, LargeTransfersOverTLS) {
    recorder->trustDecider = [](const StreamSocketTrust&) { return true; };
    auto client = connectClient({{std::string(kStreamSocketManuallyEvaluateTrust), true}});
    // Larger than one TLS write piece and one read request, so both sides loop and wait.
    std::string line(300000, 'x');
    line += '\n';
    client->writeData(bytes(line), 5.0, 1);
    client->readDataToData(StreamSocket::LFData(), 5.0, 1);
    auto echo = recorder->waitFor(Event::Read, client.get());
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->data.size(), line.size());
    EXPECT_EQ(text(echo->data), line);
}

TEST_F(StreamSocketTLSTest, DelegateRefusingTrustClosesWithBadPeerCertificate) {
    recorder->trustDecider = [](const StreamSocketTrust&) { return false; };
    auto client = connectClient({{std::string(kStreamSocketManuallyEvaluateTrust), true}});
    auto error = disconnectError(client.get());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, SSLErrorDomain);
    EXPECT_EQ(error->code, errSSLPeerBadCert);
    EXPECT_EQ(recorder->count(Event::Secure, client.get()), 0u);
}

TEST_F(StreamSocketTLSTest, ManualTrustWithoutADelegateAnswerCloses) {
    auto client = connectClient({{std::string(kStreamSocketManuallyEvaluateTrust), true}});
    auto error = disconnectError(client.get());
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isStreamSocketError(StreamSocketOtherError));
    EXPECT_EQ(error->description,
              "StreamSocketManuallyEvaluateTrust specified in tlsSettings, but delegate doesn't "
              "implement socket:shouldTrustPeer:");
}

TEST_F(StreamSocketTLSTest, BadSettingsCloseWithTheirText) {
    auto wrongType = connectClient({{std::string(kCFStreamSSLPeerName), std::int64_t{7}}});
    auto error = disconnectError(wrongType.get());
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isStreamSocketError(StreamSocketOtherError));
    EXPECT_EQ(error->description, "Invalid value for kCFStreamSSLPeerName.");

    auto legacy = connectClient({{std::string(kCFStreamSSLAllowsAnyRoot), true}});
    error = disconnectError(legacy.get());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, "Security option unavailable - kCFStreamSSLAllowsAnyRoot");

    auto manualServer = connectClient(
        {{std::string(kCFStreamSSLIsServer), true}, {std::string(kStreamSocketManuallyEvaluateTrust), true}});
    error = disconnectError(manualServer.get());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, "Manual trust validation is not supported for server sockets");

    auto badVersion = connectClient({{std::string(kStreamSocketSSLProtocolVersionMin), std::int64_t{12345}}});
    error = disconnectError(badVersion.get());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, "Error in SSLSetProtocolVersionMin");
}

TEST_F(StreamSocketTLSTest, PlainBytesBeforeTheUpgradeStayPlain) {
    // Reads and writes queued before startTLS run in clear; a plain peer sees them as they are.
    PlainListener listener;
    auto client = makeSocket();
    ASSERT_TRUE(client->connectToHost("127.0.0.1", listener.port(), 5.0));
    client->writeData(bytes("STARTTLS\n"), 5.0, 1);
    client->readDataToData(StreamSocket::LFData(), 5.0, 1);
    client->startTLS({{std::string(kStreamSocketManuallyEvaluateTrust), true}});
    int peer = listener.accept();
    ASSERT_GE(peer, 0);
    EXPECT_EQ(receive(peer, 9), "STARTTLS\n");
    ASSERT_TRUE(sendAll(peer, "OK\n"));
    auto read = recorder->waitFor(Event::Read, client.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(text(read->data), "OK\n");
    // The peer now receives a TLS client hello: a handshake record (type 22).
    std::string hello = receive(peer, 1);
    ASSERT_EQ(hello.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(hello[0]), 22);
    ::close(peer);
    auto error = disconnectError(client.get());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain, SSLErrorDomain);
    EXPECT_EQ(error->code, errSSLClosedAbort);
}

} // namespace
