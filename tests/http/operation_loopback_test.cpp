// The operation-based client against the loopback HTTP and TLS servers.
#include "http/request_operation_manager.h"
#include "http_server.h"
#include "http_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tc::http;
using testserver::HttpRequest;
using testserver::HttpResponse;

namespace {

const std::string kResource = [] {
    std::string s;
    for (int i = 0; s.size() < 4000; ++i)
        s += std::to_string(i) + ",";
    return s.substr(0, 4000);
}();

struct Outcome {
    bool done = false;
    bool succeeded = false;
    ResponseObject object;
    std::optional<Error> error;
};

struct LoopbackTest : ::testing::Test {
    std::atomic<bool> release{false};
    std::atomic<int> version{1};
    std::mutex seenMutex;
    std::vector<HttpRequest> seen;

    HttpResponse handle(const HttpRequest& req) {
        {
            std::lock_guard lock(seenMutex);
            seen.push_back(req);
        }
        HttpResponse r;
        const std::string& t = req.target;
        if (t == "/doc")
            r.headers = {{"Content-Type", "application/json"}}, r.body = R"({"ok":true})";
        else if (t == "/html")
            r.headers = {{"Content-Type", "text/html"}}, r.body = "<p>hi</p>";
        else if (t == "/missing")
            r.status = 404, r.headers = {{"Content-Type", "application/json"}}, r.body = R"({"e":1})";
        else if (t == "/cookie/set")
            r.headers = {{"Set-Cookie", "session=abc; Path=/cookie"}};
        else if (t == "/cookie/echo")
            r.body = req.header("cookie");
        else if (t == "/redirect")
            r.status = 302, r.headers = {{"Location", "/doc"}}, r.body = "moved";
        else if (t == "/huge-declared")
            r.headers = {{"Content-Type", "application/json"}, {"Content-Length", std::to_string(9 << 20)}},
            r.close = true;
        else if (t == "/huge") {
            auto sent = std::make_shared<std::size_t>(0);
            r.produce = [sent](std::string& chunk) {
                chunk.assign(64 * 1024, 'x');
                *sent += chunk.size();
                return *sent < (9u << 20);
            };
        } else if (t == "/range") {
            std::string content =
                version == 1 ? kResource : std::string(kResource.rbegin(), kResource.rend());
            std::string etag = "\"v" + std::to_string(version.load()) + "\"";
            std::size_t from = 0;
            std::string range = req.header("range");
            if (range.starts_with("bytes=") &&
                (req.header("if-range").empty() || req.header("if-range") == etag)) {
                from = std::stoul(range.substr(6));
                r.status = 206;
                r.headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" +
                                                          std::to_string(content.size() - 1) + "/" +
                                                          std::to_string(content.size())});
            }
            r.headers.push_back({"ETag", etag});
            r.length = static_cast<std::int64_t>(content.size() - from);
            auto offset = std::make_shared<std::size_t>(from);
            r.produce = [this, content, offset](std::string& chunk) {
                // The first 1000 bytes at once, the rest once the test releases it.
                if (*offset >= 1000 && !release) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    return true;
                }
                std::size_t n = *offset < 1000 ? 1000 - *offset : content.size() - *offset;
                chunk = content.substr(*offset, n);
                *offset += n;
                return *offset < content.size();
            };
        } else
            r.status = 404;
        return r;
    }

    std::unique_ptr<testserver::HttpServer> server =
        std::make_unique<testserver::HttpServer>([this](const HttpRequest& r) { return handle(r); });

    void TearDown() override { release = true; }

    // `prepare` runs before the operation is queued: callables set after that may miss the first bytes.
    static std::shared_ptr<HTTPRequestOperation>
    get(HTTPRequestOperationManager& m, const std::string& url, Outcome& out,
        const std::function<void(HTTPRequestOperation&)>& prepare = nullptr) {
        auto op = m.HTTPRequestOperationWithHTTPMethod(
            "GET", url, std::nullopt,
            [&out](const auto&, const ResponseObject& o) { out.done = out.succeeded = true, out.object = o; },
            [&out](const auto&, const Error& e) { out.done = true, out.error = e; });
        if (prepare)
            prepare(*op);
        m.operationQueue()->addOperation(op);
        return op;
    }
    // A GET of /range paused once its first 1000 bytes came (the server holds the rest until released).
    std::shared_ptr<HTTPRequestOperation> pausedRangeGet(HTTPRequestOperationManager& m, Outcome& out) {
        auto op = get(m, server->url("/range"), out, [this](HTTPRequestOperation& o) {
            o.setDownloadProgressBlock([this, op = &o](std::uint64_t, std::int64_t total, std::int64_t) {
                if (total >= 1000 && !op->isPaused() && !release)
                    op->pause();
            });
        });
        EXPECT_TRUE(http_test::pumpUntil([&] { return op->isPaused(); }));
        return op;
    }
    static Outcome run(HTTPRequestOperationManager& m, const std::string& url) {
        Outcome out;
        get(m, url, out);
        EXPECT_TRUE(http_test::pumpUntil([&] { return out.done; }));
        return out;
    }
};

} // namespace

TEST_F(LoopbackTest, StatusesContentTypesAndRedirects) {
    auto m = HTTPRequestOperationManager::manager();
    Outcome ok = run(*m, server->url("/doc"));
    ASSERT_TRUE(ok.succeeded) << (ok.error ? ok.error->describe() : "");
    EXPECT_EQ(std::any_cast<nlohmann::json>(ok.object)["ok"], true);

    Outcome missing = run(*m, server->url("/missing"));
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->domain, kResponseSerializationErrorDomain);
    EXPECT_EQ(missing.error->code, -1011);
    EXPECT_EQ(missing.error->response->statusCode(), 404);

    Outcome html = run(*m, server->url("/html"));
    ASSERT_TRUE(html.error);
    EXPECT_EQ(html.error->code, -1016);
    m->setResponseSerializer(HTTPResponseSerializer::serializer());
    Outcome raw = run(*m, server->url("/html"));
    EXPECT_EQ(std::any_cast<Bytes>(raw.object), toBytes("<p>hi</p>"));

    auto base = HTTPRequestOperationManager::create(URL::parse(server->url("/redirect")));
    base->setResponseSerializer(HTTPResponseSerializer::serializer());
    Outcome followed = run(*base, server->url("/redirect"));
    ASSERT_TRUE(followed.succeeded);
    EXPECT_EQ(std::any_cast<Bytes>(followed.object), toBytes(R"({"ok":true})"));
    // A redirect the owner declines is the answer itself.
    Outcome declined;
    auto op = base->HTTPRequestOperationWithHTTPMethod(
        "GET", server->url("/redirect"), std::nullopt,
        [&](auto&, auto&) { declined.done = declined.succeeded = true; },
        [&](auto&, const Error& e) { declined.done = true, declined.error = e; });
    op->setRedirectResponseBlock([](const URLRequest&, const HTTPURLResponse*) { return std::nullopt; });
    base->operationQueue()->addOperation(op);
    ASSERT_TRUE(http_test::pumpUntil([&] { return declined.done; }));
    EXPECT_EQ(declined.error->code, -1011);
    EXPECT_EQ(op->response()->statusCode(), 302);
}

// A cookie the server set comes back on later requests (on reused transfer handles too), unless a
// request declines cookies.
TEST_F(LoopbackTest, CookiesComeBackUnlessARequestDeclinesThem) {
    auto m = HTTPRequestOperationManager::manager();
    m->setResponseSerializer(HTTPResponseSerializer::serializer());
    ASSERT_TRUE(run(*m, server->url("/cookie/set")).succeeded);
    for (bool handle : {true, false, true}) {
        m->requestSerializer()->setHTTPShouldHandleCookies(handle);
        Outcome echoed = run(*m, server->url("/cookie/echo"));
        ASSERT_TRUE(echoed.succeeded);
        EXPECT_EQ(asText(std::any_cast<Bytes>(echoed.object)), handle ? "session=abc" : "") << handle;
    }
}

// Transfer handles are reused: each request goes out with its own method and comes back whole, whatever
// the request before it on the same handle was.
TEST_F(LoopbackTest, ReusedTransfersCarryEachRequestsOwnMethod) {
    auto m = HTTPRequestOperationManager::manager();
    m->setResponseSerializer(HTTPResponseSerializer::serializer());
    const std::vector<std::string> methods{"GET", "HEAD", "GET", "DELETE", "GET", "GET"};
    for (const auto& method : methods) {
        Outcome out;
        auto op = m->HTTPRequestOperationWithHTTPMethod(
            method, server->url("/doc"), std::nullopt,
            [&](auto&, const ResponseObject& o) { out.done = out.succeeded = true, out.object = o; },
            [&](auto&, const Error& e) { out.done = true, out.error = e; });
        m->operationQueue()->addOperation(op);
        ASSERT_TRUE(http_test::pumpUntil([&] { return out.done; }));
        ASSERT_TRUE(out.succeeded) << method;
        std::string body = method == "HEAD" ? "" : R"({"ok":true})";
        EXPECT_EQ(asText(std::any_cast<Bytes>(out.object)), body) << method;
    }
    std::lock_guard lock(seenMutex);
    ASSERT_EQ(seen.size(), methods.size());
    for (std::size_t i = 0; i < methods.size(); ++i)
        EXPECT_EQ(seen[i].method, methods[i]) << i;
}

TEST_F(LoopbackTest, ResponseBodiesAreCapped) {
    auto m = HTTPRequestOperationManager::manager();
    m->setResponseSerializer(HTTPResponseSerializer::serializer());
    for (std::string path : {"/huge", "/huge-declared"}) {
        Outcome out = run(*m, server->url(path));
        ASSERT_TRUE(out.error) << path;
        EXPECT_EQ(out.error->code, urlerror::kDataLengthExceedsMaximum) << path;
        EXPECT_NE(out.error->localizedDescription.find("8388608"), std::string::npos)
            << out.error->describe();
    }
}

TEST_F(LoopbackTest, CancelBeforeAndWhileRunning) {
    auto m = HTTPRequestOperationManager::manager();
    Outcome early;
    auto op = m->HTTPRequestOperationWithHTTPMethod(
        "GET", server->url("/doc"), std::nullopt, [&](auto&, auto&) { early.done = early.succeeded = true; },
        [&](auto&, const Error& e) { early.done = true, early.error = e; });
    op->cancel();
    m->operationQueue()->addOperation(op);
    ASSERT_TRUE(http_test::pumpUntil([&] { return early.done; }));
    EXPECT_EQ(early.error->code, urlerror::kCancelled);
    EXPECT_EQ(early.error->failingURL, server->url("/doc"));

    Outcome late;
    m->setResponseSerializer(HTTPResponseSerializer::serializer());
    std::shared_ptr<HTTPRequestOperation> running;
    running = get(*m, server->url("/range"), late, [&](HTTPRequestOperation& op) {
        op.setDownloadProgressBlock([&](std::uint64_t, std::int64_t total, std::int64_t) {
            if (total >= 1000)
                running->cancel();
        });
    });
    ASSERT_TRUE(http_test::pumpUntil([&] { return late.done; }));
    EXPECT_EQ(late.error->code, urlerror::kCancelled);
    running->cancel(); // a second cancel of a finished operation changes nothing
    EXPECT_TRUE(running->isFinished());
}

TEST_F(LoopbackTest, PauseAndResumeAskForTheRestWithRangeAndIfRange) {
    for (int changed : {0, 1}) {
        version = 1;
        release = false;
        auto m = HTTPRequestOperationManager::manager();
        m->setResponseSerializer(HTTPResponseSerializer::serializer());
        Outcome out;
        auto op = pausedRangeGet(*m, out);
        ASSERT_TRUE(op->isPaused());
        EXPECT_EQ(op->request().headers.value("Range"), "bytes=1000-");
        EXPECT_EQ(op->request().headers.value("If-Range"), "\"v1\"");
        if (changed)
            version = 2; // the server answers the whole new body
        release = true;
        op->resume();
        ASSERT_TRUE(http_test::pumpUntil([&] { return out.done; }));
        ASSERT_TRUE(out.succeeded) << out.error->describe();
        std::string expected = changed ? std::string(kResource.rbegin(), kResource.rend()) : kResource;
        EXPECT_EQ(asText(std::any_cast<Bytes>(out.object)), expected) << "changed " << changed;
    }
}

// Paused and resumed at once on the network thread (as a completion there may do), the operation lets
// the first connection go before the second starts: the first one's remaining bytes, sent when the server
// is released, never join the new answer.
TEST_F(LoopbackTest, AConnectionLetGoByPauseAddsNothingAfterResume) {
    auto m = HTTPRequestOperationManager::manager();
    m->setResponseSerializer(HTTPResponseSerializer::serializer());
    Outcome out;
    std::atomic<bool> firstPart{false};
    auto op = get(*m, server->url("/range"), out, [&](HTTPRequestOperation& o) {
        o.setDownloadProgressBlock(
            [&](std::uint64_t, std::int64_t total, std::int64_t) { firstPart = firstPart || total >= 1000; });
    });
    ASSERT_TRUE(http_test::pumpUntil([&] { return firstPart.load(); }));
    version = 2;
    NetworkThread::post([this, op] {
        op->pause();
        release = true;
        op->resume();
    });
    ASSERT_TRUE(http_test::pumpUntil([&] { return out.done; }));
    ASSERT_TRUE(out.succeeded) << out.error->describe();
    EXPECT_EQ(asText(std::any_cast<Bytes>(out.object)), std::string(kResource.rbegin(), kResource.rend()));
    std::lock_guard lock(seenMutex);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].header("range"), "bytes=1000-");
    EXPECT_EQ(seen[1].header("if-range"), "\"v1\"");
}

// Cancelling a paused operation ends it with the cancellation error; it is not asked for again.
TEST_F(LoopbackTest, APausedOperationThatIsCancelledFailsWithCancelled) {
    auto m = HTTPRequestOperationManager::manager();
    m->setResponseSerializer(HTTPResponseSerializer::serializer());
    Outcome out;
    auto op = pausedRangeGet(*m, out);
    ASSERT_TRUE(op->isPaused());
    op->cancel();
    ASSERT_TRUE(http_test::pumpUntil([&] { return out.done; }));
    EXPECT_FALSE(out.succeeded);
    ASSERT_TRUE(out.error);
    EXPECT_EQ(out.error->code, urlerror::kCancelled);
    EXPECT_EQ(out.error->failingURL, server->url("/range"));
    EXPECT_TRUE(op->isFinished());
    EXPECT_EQ(m->operationQueue()->operationCount(), 0u); // it left its queue before its completion ran
    std::lock_guard lock(seenMutex);
    EXPECT_EQ(seen.size(), 1u);
}

// With completions on the network thread, a success that asks for the next request starts it from there,
// on the connection the last one kept open.
TEST_F(LoopbackTest, CompletionsOnTheNetworkThreadChainRequests) {
    auto m = HTTPRequestOperationManager::manager();
    m->completionQueue = DispatchQueue::network();
    int succeeded = 0;
    bool elsewhere = false;
    tc::platform::Semaphore finished;
    std::function<void(int)> next = [&](int left) {
        m->GET(
            server->url("/doc"), std::nullopt,
            [&, left](const auto&, const ResponseObject& o) {
                elsewhere = elsewhere || !NetworkThread::isCurrent();
                succeeded += std::any_cast<nlohmann::json>(o)["ok"] == true;
                if (left > 1)
                    next(left - 1);
                else
                    finished.signal();
            },
            [&](auto&, const Error&) { finished.signal(); });
    };
    next(3);
    ASSERT_TRUE(finished.waitFor(std::chrono::seconds(20)));
    EXPECT_EQ(succeeded, 3);
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(server->connectionCount(), 1u);
}

TEST_F(LoopbackTest, BatchesReportProgressAndCompleteOnce) {
    auto m = HTTPRequestOperationManager::manager();
    std::vector<std::shared_ptr<URLConnectionOperation>> ops;
    int successes = 0;
    for (int i = 0; i < 3; ++i) {
        URLRequest r(*URL::parse(server->url("/doc")));
        ops.push_back(m->HTTPRequestOperationWithRequest(
            r, [&](auto&, auto&) { ++successes; }, nullptr));
    }
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    int completions = 0;
    std::size_t completedCount = 0;
    auto batch = URLConnectionOperation::batchOfRequestOperations(
        ops, [&](std::size_t done, std::size_t total) { progress.emplace_back(done, total); },
        [&](const auto& list) {
            ++completions;
            completedCount = list.size();
            EXPECT_EQ(successes, 3); // every success ran before the batch completion
        });
    ASSERT_EQ(batch.size(), 4u);
    m->operationQueue()->addOperations(batch, false);
    ASSERT_TRUE(http_test::pumpUntil([&] { return completions == 1; }));
    EXPECT_EQ(completedCount, 3u);
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress.back(), std::make_pair(std::size_t{3}, std::size_t{3}));

    bool emptyDone = false;
    auto none = URLConnectionOperation::batchOfRequestOperations(
        {}, nullptr, [&](const auto& list) { emptyDone = list.empty(); });
    m->operationQueue()->addOperations(none, false);
    EXPECT_TRUE(http_test::pumpUntil([&] { return emptyDone; }));
}

// A sink that fails, or takes nothing without saying why, must fail the operation, not truncate or hang.
TEST_F(LoopbackTest, AFailingOrStuckOutputStreamFailsTheOperation) {
    struct BadSink final : OutputStream {
        bool reportsError;
        explicit BadSink(bool e) : reportsError(e) {}
        void open() override {}
        void close() override {}
        ssize_t write(const std::uint8_t*, std::size_t) override { return reportsError ? -1 : 0; }
        bool hasSpaceAvailable() const override { return true; }
        StreamStatus streamStatus() const override { return StreamStatus::Open; }
        std::optional<Error> streamError() const override {
            if (!reportsError)
                return std::nullopt;
            return Error::make(kFileErrorDomain, 28, "No space left on device");
        }
    };
    for (bool reportsError : {true, false}) {
        auto m = HTTPRequestOperationManager::manager();
        Outcome out;
        auto op = m->HTTPRequestOperationWithHTTPMethod(
            "GET", server->url("/doc"), std::nullopt, [&](auto&, auto&) { out.done = out.succeeded = true; },
            [&](auto&, const Error& e) { out.done = true, out.error = e; });
        op->setOutputStream(std::make_shared<BadSink>(reportsError));
        m->operationQueue()->addOperation(op);
        ASSERT_TRUE(http_test::pumpUntil([&] { return out.done; }));
        ASSERT_TRUE(out.error);
        EXPECT_EQ(out.error->code, reportsError ? 28 : urlerror::kCannotWriteToFile);
    }
}

struct TlsTest : ::testing::Test {
    http_test::TestPKI pki;
    void SetUp() override { TrustStore::setAnchors(std::vector<Bytes>{http_test::der(pki.ca.get())}); }
    void TearDown() override { TrustStore::setAnchors(std::nullopt); }

    std::unique_ptr<testserver::HttpServer> serve(X509* cert, EVP_PKEY* key) {
        testserver::HttpServer::Tls tls;
        tls.certificate = cert;
        tls.key = key;
        return std::make_unique<testserver::HttpServer>(
            [](const HttpRequest&) {
                HttpResponse r;
                r.body = "secret";
                return r;
            },
            tls);
    }
    Outcome fetch(const std::string& url, std::shared_ptr<SecurityPolicy> policy) {
        auto m = HTTPRequestOperationManager::manager();
        m->setResponseSerializer(HTTPResponseSerializer::serializer());
        m->securityPolicy = std::move(policy);
        Outcome out;
        m->GET(
            url, std::nullopt,
            [&](auto&, const ResponseObject& o) { out.done = out.succeeded = true, out.object = o; },
            [&](auto&, const Error& e) { out.done = true, out.error = e; });
        EXPECT_TRUE(http_test::pumpUntil([&] { return out.done; }));
        return out;
    }
};

TEST_F(TlsTest, DefaultPolicyChecksTheChainAndTheHostName) {
    auto good = serve(pki.leaf.get(), pki.leafKey.get());
    Outcome ok = fetch(good->url("/"), SecurityPolicy::defaultPolicy());
    ASSERT_TRUE(ok.succeeded) << ok.error->describe();
    EXPECT_EQ(std::any_cast<Bytes>(ok.object), toBytes("secret"));

    auto wrongHost = serve(pki.otherHost.get(), pki.otherKey.get());
    Outcome refused = fetch(wrongHost->url("/"), SecurityPolicy::defaultPolicy());
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code, urlerror::kServerCertificateUntrusted);

    auto self = serve(pki.selfSigned.get(), pki.selfKey.get());
    Outcome untrusted = fetch(self->url("/"), SecurityPolicy::defaultPolicy());
    ASSERT_TRUE(untrusted.error);
    EXPECT_EQ(untrusted.error->code, urlerror::kServerCertificateUntrusted);
    EXPECT_EQ(wrongHost->requestCount() + self->requestCount(), 0u); // nothing was sent to them

    // Without pinning, settings that skip the chain or the host check refuse every chain rather than
    // take any certificate.
    auto relaxed = SecurityPolicy::defaultPolicy();
    relaxed->allowInvalidCertificates = true;
    relaxed->validatesDomainName = false;
    EXPECT_TRUE(fetch(self->url("/"), relaxed).error);
    relaxed->allowInvalidCertificates = false;
    EXPECT_TRUE(fetch(wrongHost->url("/"), relaxed).error);
    EXPECT_TRUE(fetch(good->url("/"), relaxed).error);
    // Host validation of an untrusted chain needs pinning.
    relaxed->allowInvalidCertificates = true;
    relaxed->validatesDomainName = true;
    EXPECT_TRUE(fetch(self->url("/"), relaxed).error);
    EXPECT_EQ(self->requestCount(), 0u);
}

// A challenge block that answers "use the credential" does not vouch for the chain: it is still examined.
TEST_F(TlsTest, ChallengeBlockCannotAcceptAnUnexaminedChain) {
    auto self = serve(pki.selfSigned.get(), pki.selfKey.get());
    auto good = serve(pki.leaf.get(), pki.leafKey.get());
    auto fetchAnswering = [&](const std::string& url, ChallengeDisposition answer) {
        auto m = HTTPRequestOperationManager::manager();
        m->setResponseSerializer(HTTPResponseSerializer::serializer());
        Outcome out;
        auto op = m->HTTPRequestOperationWithHTTPMethod(
            "GET", url, std::nullopt, [&](auto&, auto&) { out.done = out.succeeded = true; },
            [&](auto&, const Error& e) { out.done = true, out.error = e; });
        int asked = 0;
        op->setWillSendRequestForAuthenticationChallengeBlock([&](const AuthenticationChallenge& c) {
            ++asked;
            EXPECT_EQ(c.host, "127.0.0.1");
            return answer;
        });
        m->operationQueue()->addOperation(op);
        EXPECT_TRUE(http_test::pumpUntil([&] { return out.done; }));
        EXPECT_GE(asked, 1);
        return out;
    };
    Outcome forced = fetchAnswering(self->url("/"), ChallengeDisposition::UseCredential);
    ASSERT_TRUE(forced.error);
    EXPECT_EQ(forced.error->code, urlerror::kServerCertificateUntrusted);
    EXPECT_EQ(self->requestCount(), 0u);
    EXPECT_TRUE(fetchAnswering(good->url("/"), ChallengeDisposition::UseCredential).succeeded);
    EXPECT_TRUE(fetchAnswering(good->url("/"), ChallengeDisposition::CancelChallenge).error);
}

TEST_F(TlsTest, PinningAcceptsOnlyThePinnedCertificateOrKey) {
    auto self = serve(pki.selfSigned.get(), pki.selfKey.get());
    auto pinCert = [&](X509* pinned) {
        auto p = SecurityPolicy::defaultPolicy();
        p->pinningMode = SSLPinningMode::Certificate;
        p->allowInvalidCertificates = true;
        p->setPinnedCertificates(std::vector<Bytes>{http_test::der(pinned), http_test::der(pinned)});
        EXPECT_EQ(p->pinnedCertificates()->size(), 1u);
        EXPECT_EQ(p->pinnedPublicKeys()->size(), 1u);
        return p;
    };
    EXPECT_TRUE(fetch(self->url("/"), pinCert(pki.selfSigned.get())).succeeded);
    EXPECT_TRUE(fetch(self->url("/"), pinCert(pki.leaf.get())).error);
    // A chain the store trusts but that holds no pinned certificate is refused.
    auto good = serve(pki.leaf.get(), pki.leafKey.get());
    EXPECT_TRUE(fetch(good->url("/"), pinCert(pki.otherHost.get())).error);

    // Public-key pinning survives a re-issued certificate with the same key.
    auto reissued = serve(pki.reissued.get(), pki.leafKey.get());
    auto pinKey = [&](X509* pinned) {
        auto p = SecurityPolicy::defaultPolicy();
        p->pinningMode = SSLPinningMode::PublicKey;
        p->setPinnedCertificates(std::vector<Bytes>{http_test::der(pinned)});
        return p;
    };
    EXPECT_TRUE(fetch(reissued->url("/"), pinKey(pki.leaf.get())).succeeded);
    EXPECT_TRUE(fetch(reissued->url("/"), pinKey(pki.otherHost.get())).error);
}
