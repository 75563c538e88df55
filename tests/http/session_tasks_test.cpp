// The session manager's task lists, resumable downloads and owner callbacks against the loopback server.
#include "http/session_manager.h"
#include "http_server.h"
#include "http_test_support.h"

#include "platform/base64.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace tc::http;
using testserver::HttpRequest;
using testserver::HttpResponse;

namespace {

std::string patterned(std::size_t size, char salt) {
    std::string s(size, ' ');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + static_cast<std::size_t>(salt)) % 26);
    return s;
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Waits for what other threads change: they do not wake the main loop, so it looks every few ms.
bool waitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!http_test::pumpUntil(done, std::chrono::milliseconds(5)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

struct Outcome {
    std::atomic<bool> done{false};
    ResponseObject object;
    std::optional<Error> error;
    URLSessionManager::CompletionHandler handler() {
        return [this](auto, const ResponseObject& o, const std::optional<Error>& e) {
            object = o, error = e, done = true;
        };
    }
};

struct SessionTasksTest : ::testing::Test {
    static constexpr std::size_t kFirstPart = 100000;
    std::atomic<int> version{1};
    std::atomic<bool> release{false};
    std::mutex seenMutex;
    std::vector<HttpRequest> seen;
    const std::string credentials = "Basic " + *tc::platform::Base64::encodeBase64WithString("ann:secret");

    std::string body() const { return patterned(300000, static_cast<char>(version.load())); }

    HttpResponse handle(const HttpRequest& req) {
        {
            std::lock_guard lock(seenMutex);
            seen.push_back(req);
        }
        HttpResponse r;
        if (req.target == "/big" || req.target == "/untagged") {
            r = testserver::rangedResponse(req, body(), "\"v" + std::to_string(version.load()) + "\"");
            if (req.target == "/untagged")
                r.headers.clear();
            if (r.status == 200 && req.header("range").empty()) {
                // The first part goes at once, the rest once the test lets it (or after a long limit).
                auto whole = std::make_shared<std::string>(std::move(r.body));
                auto sent = std::make_shared<std::size_t>(0);
                r.length = static_cast<std::int64_t>(whole->size());
                r.produce = [this, whole, sent](std::string& chunk) {
                    if (*sent >= kFirstPart)
                        for (int i = 0; i < 2000 && !release; ++i)
                            std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    std::size_t n =
                        std::min<std::size_t>(*sent < kFirstPart ? kFirstPart : 65536, whole->size() - *sent);
                    chunk.assign(*whole, *sent, n);
                    *sent += n;
                    return *sent < whole->size();
                };
            }
        } else if (req.target == "/broken") {
            r = testserver::rangedResponse(req, body(), "\"v1\"");
            if (r.status == 200) {
                // The connection drops after the first part.
                auto first = std::make_shared<std::string>(r.body.substr(0, kFirstPart));
                r.length = static_cast<std::int64_t>(r.body.size());
                r.produce = [first](std::string& chunk) {
                    chunk = *first;
                    return false;
                };
                r.close = true;
            }
        } else if (req.target == "/secret") {
            if (req.header("authorization") == credentials)
                r.headers = {{"Content-Type", "application/json"}}, r.body = R"({"ok":true})";
            else
                r.status = 401, r.headers = {{"WWW-Authenticate", "Basic realm=\"desk\""}};
        } else if (req.target == "/moved") {
            r.status = 307, r.headers = {{"Location", "/echo"}};
        } else if (req.target == "/nostore") {
            r.headers = {{"Content-Type", "application/json"}, {"Cache-Control", "no-store"}}, r.body = "[]";
        } else {
            r.headers = {{"Content-Type", "application/json"}};
            r.body = req.method == "GET" ? R"({"path":")" + req.target + "\"}"
                                         : R"({"size":)" + std::to_string(req.body.size()) + "}";
        }
        return r;
    }
    testserver::HttpServer server{[this](const HttpRequest& r) { return handle(r); }};
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tc-session-tasks-" + std::to_string(::getpid()));
    std::filesystem::path partials = folder / "partial";
    std::shared_ptr<URLSessionManager> manager;

    void SetUp() override {
        std::filesystem::create_directories(partials);
        URLSessionConfiguration configuration;
        configuration.temporaryDirectory = partials;
        manager = URLSessionManager::create(configuration);
    }
    void TearDown() override {
        release = true;
        manager->invalidateSessionCancelingTasks(true);
        std::filesystem::remove_all(folder);
    }
    URLRequest get(const std::string& path) const { return URLRequest(*URL::parse(server.url(path))); }
    URLSessionManager::Destination to(const std::filesystem::path& p) {
        return
            [p](const URL&, const HTTPURLResponse*) { return std::optional<URL>(URL::fileURL(p.string())); };
    }
    std::size_t partialFiles() const {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(partials), {}));
    }
    // A download of `path` cancelled once its first part arrived; the resume data it left, if any.
    std::optional<Bytes> cancelMidway(const std::string& path) {
        release = false;
        Outcome out;
        std::shared_ptr<Progress> progress;
        auto task = manager->downloadTaskWithRequest(get(path), &progress, nullptr, out.handler());
        task->resume();
        EXPECT_TRUE(waitFor([&] { return progress->completedUnitCount >= std::int64_t{kFirstPart}; }));
        std::atomic<bool> handed{false};
        std::optional<Bytes> resumeData;
        task->cancelByProducingResumeData(
            [&](std::optional<Bytes> d) { resumeData = std::move(d), handed = true; });
        EXPECT_TRUE(waitFor([&] { return out.done && handed; }));
        EXPECT_EQ(out.error->code, urlerror::kCancelled);
        release = true;
        return resumeData;
    }
    std::vector<HttpRequest> requests() {
        std::lock_guard lock(seenMutex);
        return seen;
    }
};

} // namespace

TEST_F(SessionTasksTest, TasksListDataThenUploadThenDownload) {
    auto d1 = manager->dataTaskWithRequest(get("/a"), nullptr);
    auto down = manager->downloadTaskWithRequest(get("/b"), nullptr, nullptr, nullptr);
    auto up = manager->uploadTaskWithRequest(get("/c"), Bytes(3, 'x'), nullptr, nullptr);
    auto d2 = manager->dataTaskWithRequest(get("/d"), nullptr);
    EXPECT_EQ(manager->tasks(), (std::vector<std::shared_ptr<URLSessionTask>>{d1, d2, up, down}));
    EXPECT_EQ(manager->dataTasks(), (std::vector<std::shared_ptr<URLSessionTask>>{d1, d2}));
    EXPECT_EQ(manager->uploadTasks(), std::vector<std::shared_ptr<URLSessionTask>>{up});
    EXPECT_EQ(manager->downloadTasks(), std::vector<std::shared_ptr<URLSessionTask>>{down});
    for (auto& t : manager->tasks())
        t->cancel();
    EXPECT_TRUE(http_test::pumpUntil([&] { return manager->tasks().empty(); }));
}

TEST_F(SessionTasksTest, CancelledDownloadResumesWhereItStopped) {
    auto resumeData = cancelMidway("/big");
    ASSERT_TRUE(resumeData);
    EXPECT_EQ(partialFiles(), 1u); // kept for the resumed task

    std::vector<std::pair<std::int64_t, std::int64_t>> resumedAt;
    manager->setDownloadTaskDidResumeBlock(
        [&](const auto&, std::int64_t offset, std::int64_t total) { resumedAt.emplace_back(offset, total); });
    auto resume = [&](const Bytes& data, const std::filesystem::path& target) {
        Outcome out;
        std::shared_ptr<Progress> progress;
        auto task = manager->downloadTaskWithResumeData(data, &progress, to(target), out.handler());
        EXPECT_EQ(task->originalRequest().url.absoluteString(), server.url("/big"));
        task->resume();
        EXPECT_TRUE(http_test::pumpUntil([&] { return out.done.load(); }));
        EXPECT_FALSE(out.error) << out.error->describe();
        EXPECT_EQ(progress->completedUnitCount.load(), 300000);
        return readFile(target) == body();
    };
    EXPECT_TRUE(resume(*resumeData, folder / "one.bin"));
    HttpRequest asked = requests().back();
    auto offset = resumedAt.at(0).first;
    EXPECT_GE(offset, std::int64_t{kFirstPart});
    EXPECT_EQ(asked.header("range"), "bytes=" + std::to_string(offset) + "-");
    EXPECT_EQ(asked.header("if-range"), "\"v1\"");
    EXPECT_EQ(resumedAt[0].second, 300000);
    EXPECT_EQ(partialFiles(), 0u);

    // The body changed meanwhile: the server sends it all again and the file starts over.
    resumeData = cancelMidway("/big");
    ASSERT_TRUE(resumeData);
    version = 2;
    EXPECT_TRUE(resume(*resumeData, folder / "two.bin"));
    EXPECT_EQ(resumedAt.at(1).first, 0);
}

TEST_F(SessionTasksTest, ADownloadTheNetworkBrokeOffResumesFromItsError) {
    Outcome broken;
    manager->downloadTaskWithRequest(get("/broken"), nullptr, nullptr, broken.handler())->resume();
    ASSERT_TRUE(waitFor([&] { return broken.done.load(); }));
    ASSERT_TRUE(broken.error);
    EXPECT_EQ(broken.error->code, urlerror::kNetworkConnectionLost);
    ASSERT_TRUE(broken.error->resumeData);
    EXPECT_TRUE(waitFor([&] { return partialFiles() == 1; }));

    Outcome resumed;
    auto target = folder / "mended.bin";
    manager->downloadTaskWithResumeData(*broken.error->resumeData, nullptr, to(target), resumed.handler())
        ->resume();
    ASSERT_TRUE(waitFor([&] { return resumed.done.load(); }));
    ASSERT_FALSE(resumed.error) << resumed.error->describe();
    EXPECT_EQ(requests().back().header("range"), "bytes=" + std::to_string(kFirstPart) + "-");
    EXPECT_EQ(readFile(target), body());
    EXPECT_EQ(partialFiles(), 0u);
}

// A cancelled download used to leave its partial file in the temporary folder for good.
TEST_F(SessionTasksTest, CancelledDownloadsLeaveNoPartialFile) {
    Outcome out;
    std::shared_ptr<Progress> progress;
    auto task = manager->downloadTaskWithRequest(get("/big"), &progress, nullptr, out.handler());
    task->resume();
    ASSERT_TRUE(waitFor([&] { return progress->completedUnitCount >= std::int64_t{kFirstPart}; }));
    task->cancel();
    ASSERT_TRUE(waitFor([&] { return out.done && partialFiles() == 0; }));
    EXPECT_EQ(out.error->code, urlerror::kCancelled);

    // Nothing says which version of the body the bytes belong to: no resume data, and no file.
    EXPECT_FALSE(cancelMidway("/untagged"));
    EXPECT_TRUE(waitFor([&] { return partialFiles() == 0; }));
}

TEST_F(SessionTasksTest, RefusesMalformedResumeDataWithAClearError) {
    auto resumeData = cancelMidway("/big");
    ASSERT_TRUE(resumeData);
    std::string good(asText(*resumeData));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        auto at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return s.replace(at, from.size(), to);
    };
    std::string file = (partials / "x").parent_path().string();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "empty"},
        {"garbage\n", "not resume data"},
        {replaced("tradeclient-resume-data 1", "tradeclient-resume-data 9"), "another version"},
        {good + std::string(kMaximumResumeDataBytes, 'x') + "\n", "larger than"},
        {good.substr(0, good.size() - 1), "cut short"},
        {replaced("offset ", "offset -"), "not a number"},
        {replaced("offset ", "offset 1x"), "not a number"},
        {replaced("etag \"v1\"", "etag W/\"v1\""), "not a strong one"},
        {replaced("url http://", "url ftp://"), "not an http"},
        {replaced("file " + file + "/", "file relative/"), "plain absolute path"},
        {replaced("file " + file + "/", "file " + file + "/../"), "plain absolute path"},
        {replaced("file " + file + "/tc-download-", "file /etc/tc-download-"), "temporary folder"},
        {replaced("file " + file + "/tc-download-", "file " + file + "/other-"), "temporary folder"},
        {good + "url http://127.0.0.1/\n", "given twice"},
        {good + "header Range: bytes=0-\n", "range of its own"},
        {good + "header Bad Name: 1\n", "malformed"},
        {good + "colour blue\n", "unknown key"},
        {replaced("etag \"v1\"\n", "header X: \x01\n"), "control character"},
    };
    for (const auto& [text, why] : cases) {
        Outcome out;
        manager->downloadTaskWithResumeData(toBytes(text), nullptr, nullptr, out.handler())->resume();
        ASSERT_TRUE(http_test::pumpUntil([&] { return out.done.load(); })) << why;
        ASSERT_TRUE(out.error) << why;
        EXPECT_EQ(out.error->code, urlerror::kCannotResumeDownload) << why;
        EXPECT_NE(out.error->localizedDescription.find(why), std::string::npos)
            << why << ": " << out.error->localizedDescription;
    }
    std::size_t before = requests().size();
    // Well-formed, but the partial file is gone.
    auto path = good.substr(good.find("file ") + 5);
    std::filesystem::remove(path.substr(0, path.find('\n')));
    Outcome out;
    manager->downloadTaskWithResumeData(*resumeData, nullptr, nullptr, out.handler())->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return out.done.load(); }));
    EXPECT_EQ(out.error->code, urlerror::kCannotResumeDownload);
    EXPECT_EQ(requests().size(), before); // nothing was asked of the server
}

TEST_F(SessionTasksTest, AuthenticationChallengesReachTheTaskBlock) {
    std::vector<int> failures;
    std::optional<URLCredential> answer = URLCredential{"ann", "wrong"};
    manager->setTaskDidReceiveAuthenticationChallengeBlock(
        [&](const auto&, const URLAuthenticationChallenge& c, std::optional<URLCredential>& credential) {
            EXPECT_EQ(c.authenticationMethod, URLAuthenticationChallenge::Method::HTTPBasic);
            EXPECT_EQ(c.realm, "desk");
            EXPECT_EQ(c.failureResponse->statusCode(), 401);
            failures.push_back(c.previousFailureCount);
            credential = failures.size() == 1 ? answer : URLCredential{"ann", "secret"};
            return ChallengeDisposition::UseCredential;
        });
    Outcome ok;
    manager->dataTaskWithRequest(get("/secret"), ok.handler())->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return ok.done.load(); }));
    ASSERT_FALSE(ok.error) << ok.error->describe();
    EXPECT_EQ(failures, (std::vector<int>{0, 1}));

    manager->setTaskDidReceiveAuthenticationChallengeBlock(
        [](const auto&, const auto&, auto&) { return ChallengeDisposition::CancelChallenge; });
    Outcome cancelled;
    manager->dataTaskWithRequest(get("/secret"), cancelled.handler())->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return cancelled.done.load(); }));
    EXPECT_EQ(cancelled.error->code, urlerror::kUserCancelledAuthentication);

    // Without the block the 401 is the answer.
    manager->setTaskDidReceiveAuthenticationChallengeBlock(nullptr);
    Outcome refused;
    manager->dataTaskWithRequest(get("/secret"), refused.handler())->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return refused.done.load(); }));
    EXPECT_EQ(refused.error->code, urlerror::kBadServerResponse);
    EXPECT_EQ(refused.error->response->statusCode(), 401);
}

TEST_F(SessionTasksTest, BodyStreamSendProgressAndResponseDispositions) {
    int newStreams = 0;
    std::int64_t sentTotal = 0, expectedTotal = 0;
    manager->setTaskNeedNewBodyStreamBlock([&](const auto&) -> std::shared_ptr<InputStream> {
        ++newStreams;
        return std::make_shared<DataInputStream>(Bytes(5000, 'b'));
    });
    manager->setTaskDidSendBodyDataBlock(
        [&](const auto&, std::int64_t, std::int64_t total, std::int64_t expected) {
            sentTotal = total, expectedTotal = expected;
        });
    URLRequest post = get("/moved");
    post.httpMethod = "POST";
    post.httpBodyStream = std::make_shared<DataInputStream>(Bytes(5000, 'a'));
    post.headers.set("Content-Length", "5000");
    Outcome posted;
    manager->uploadTaskWithStreamedRequest(post, nullptr, posted.handler())->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return posted.done.load(); }));
    ASSERT_FALSE(posted.error) << posted.error->describe();
    EXPECT_EQ(std::any_cast<nlohmann::json>(posted.object)["size"], 5000); // sent again at /echo
    EXPECT_EQ(newStreams, 1);
    EXPECT_EQ(sentTotal, 5000);
    EXPECT_EQ(expectedTotal, 5000);

    // A file whose size the session cannot tell: the progress total comes from Content-Length.
    URLRequest put = get("/echo");
    put.headers.set("Content-Length", "42");
    std::shared_ptr<Progress> unknown;
    auto unsized =
        manager->uploadTaskWithRequest(put, URL::fileURL((folder / "absent").string()), &unknown, nullptr);
    EXPECT_EQ(unknown->totalUnitCount.load(), 42);
    unsized->cancel();

    EXPECT_FALSE(manager->respondsTo(URLSessionManager::OptionalCallback::DataTaskDidReceiveResponse));
    ResponseDisposition disposition = ResponseDisposition::Cancel;
    manager->setDataTaskDidReceiveResponseBlock([&](const auto&, const HTTPURLResponse& r) {
        EXPECT_EQ(r.statusCode(), 200);
        return disposition;
    });
    EXPECT_TRUE(manager->respondsTo(URLSessionManager::OptionalCallback::DataTaskDidReceiveResponse));
    Outcome cancelled;
    manager->dataTaskWithRequest(get("/doc"), cancelled.handler())->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return cancelled.done.load(); }));
    EXPECT_EQ(cancelled.error->code, urlerror::kCancelled);

    // A data task that becomes a download: the same completion, now with the file.
    disposition = ResponseDisposition::BecomeDownload;
    std::shared_ptr<URLSessionTask> from, into;
    manager->setDataTaskDidBecomeDownloadTaskBlock([&](const auto& d, const auto& t) { from = d, into = t; });
    auto target = folder / "became.bin";
    manager->setDownloadTaskDidFinishDownloadingBlock(
        [&](const auto&, const URL&) { return std::optional<URL>(URL::fileURL(target.string())); });
    release = true;
    Outcome became;
    auto task = manager->dataTaskWithRequest(get("/big"), became.handler());
    task->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return became.done.load(); }));
    ASSERT_FALSE(became.error) << became.error->describe();
    EXPECT_EQ(from, task);
    ASSERT_TRUE(into);
    EXPECT_EQ(into->kind(), URLSessionTask::Kind::Download);
    EXPECT_EQ(std::any_cast<URL>(became.object), URL::fileURL(target.string()));
    EXPECT_EQ(readFile(target), body());
}

TEST_F(SessionTasksTest, CacheBackgroundEventsInvalidationAndReachability) {
    EXPECT_EQ(manager->reachabilityManager, tc::NetworkStatusMonitor::sharedManager());

    URLSessionConfiguration configuration;
    configuration.identifier = "com.tradeclient.tests.session";
    configuration.urlCache = std::make_shared<URLCache>(1 << 20);
    auto m = URLSessionManager::create(configuration);
    auto fetch = [&](const std::string& path) {
        Outcome out;
        m->dataTaskWithRequest(get(path), out.handler())->resume();
        EXPECT_TRUE(http_test::pumpUntil([&] { return out.done.load(); }));
    };
    std::atomic<int> eventsDone{0};
    EXPECT_FALSE(m->respondsTo(URLSessionManager::OptionalCallback::DidFinishEventsForBackgroundURLSession));
    m->setDidFinishEventsForBackgroundURLSessionBlock([&](const auto& s) {
        EXPECT_EQ(s, m->session());
        ++eventsDone;
    });
    fetch("/kept");
    // The event comes once the session's last task is gone, after its completion.
    EXPECT_TRUE(waitFor([&] { return eventsDone == 1; }));
    auto kept = configuration.urlCache->cachedResponseForRequest(get("/kept"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(asText(kept->data), R"({"path":"/kept"})");
    fetch("/nostore");
    EXPECT_TRUE(waitFor([&] { return eventsDone == 2; }));
    EXPECT_FALSE(configuration.urlCache->cachedResponseForRequest(get("/nostore")));
    m->setDataTaskWillCacheResponseBlock([](const auto&, const CachedURLResponse&) { return std::nullopt; });
    fetch("/refused");
    EXPECT_FALSE(configuration.urlCache->cachedResponseForRequest(get("/refused")));
    EXPECT_TRUE(waitFor([&] { return eventsDone == 3; }));

    std::atomic<bool> invalid{false};
    m->setSessionDidBecomeInvalidBlock([&](const auto& s, const auto&) { invalid = s == m->session(); });
    m->invalidateSessionCancelingTasks(true);
    EXPECT_TRUE(waitFor([&] { return invalid.load(); }));
}

namespace {

struct SessionTlsTest : ::testing::Test {
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
                r.headers = {{"Content-Type", "application/json"}};
                r.body = "[1]";
                return r;
            },
            tls);
    }
    std::optional<Error> fetch(URLSessionManager& m, const std::string& url) {
        Outcome out;
        m.dataTaskWithRequest(URLRequest(*URL::parse(url)), out.handler())->resume();
        EXPECT_TRUE(http_test::pumpUntil([&] { return out.done.load(); }));
        return out.error;
    }
};

} // namespace

// No answer of the session's challenge block takes a chain without the chain and host being checked.
TEST_F(SessionTlsTest, ChallengeBlockAnswersAreStillChecked) {
    auto self = serve(pki.selfSigned.get(), pki.selfKey.get());
    auto wrongHost = serve(pki.otherHost.get(), pki.otherKey.get());
    auto good = serve(pki.leaf.get(), pki.leafKey.get());
    auto m = URLSessionManager::create();
    EXPECT_FALSE(fetch(*m, good->url("/")));
    int asked = 0;
    ChallengeDisposition answer = ChallengeDisposition::UseCredential;
    m->setSessionDidReceiveAuthenticationChallengeBlock(
        [&](const auto& s, const URLAuthenticationChallenge& c, std::optional<URLCredential>&) {
            ++asked;
            EXPECT_EQ(s, m->session());
            EXPECT_EQ(c.authenticationMethod, URLAuthenticationChallenge::Method::ServerTrust);
            EXPECT_EQ(c.host, "127.0.0.1");
            EXPECT_TRUE(c.serverTrust && !c.serverTrust->certificates().empty());
            return answer;
        });
    for (auto a : {ChallengeDisposition::UseCredential, ChallengeDisposition::PerformDefaultHandling}) {
        answer = a;
        EXPECT_EQ(fetch(*m, self->url("/"))->code, urlerror::kServerCertificateUntrusted);
        EXPECT_EQ(fetch(*m, wrongHost->url("/"))->code, urlerror::kServerCertificateUntrusted);
        EXPECT_FALSE(fetch(*m, good->url("/")));
    }
    answer = ChallengeDisposition::CancelChallenge;
    EXPECT_TRUE(fetch(*m, good->url("/")));
    EXPECT_EQ(asked, 7);
    // Nor does a policy that would skip the chain and the host check.
    m->setSessionDidReceiveAuthenticationChallengeBlock(nullptr);
    m->securityPolicy = SecurityPolicy::defaultPolicy();
    m->securityPolicy->allowInvalidCertificates = true;
    m->securityPolicy->validatesDomainName = false;
    EXPECT_EQ(fetch(*m, self->url("/"))->code, urlerror::kServerCertificateUntrusted);
    EXPECT_EQ(self->requestCount() + wrongHost->requestCount(), 0u);
    m->invalidateSessionCancelingTasks(true);
}
