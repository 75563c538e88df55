// The session-based client against the loopback HTTP server.
#include "http/session_manager.h"
#include "http_server.h"
#include "http_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace tc::http;

namespace {

struct SessionTest : ::testing::Test {
    std::string uploaded;
    testserver::HttpRequest lastRequest;
    testserver::HttpServer server{[this](const testserver::HttpRequest& req) {
        lastRequest = req;
        testserver::HttpResponse r;
        if (req.method == "POST" || req.method == "PUT") {
            uploaded = req.body;
            r.headers = {{"Content-Type", "application/json"}};
            r.body = "{\"size\":" + std::to_string(req.body.size()) + "}";
        } else if (req.target == "/file") {
            r.body = std::string(200000, 'f');
        } else {
            r.headers = {{"Content-Type", "application/json"}};
            r.body = R"({"path":")" + req.target + "\"}";
        }
        return r;
    }};
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tc-session-" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(folder); }
    void TearDown() override { std::filesystem::remove_all(folder); }
};

} // namespace

TEST_F(SessionTest, VerbsResolveAgainstTheBaseAndPostTheTaskNotifications) {
    auto m = HTTPSessionManager::create(URL::parse(server.url("/api")));
    std::vector<std::string> seen;
    tc::platform::UserInfo completeInfo;
    auto& center = tc::platform::NotificationCenter::defaultCenter();
    auto a = center.addObserver(kTaskDidResumeNotification,
                                [&](const tc::platform::Notification&) { seen.push_back("resume"); });
    auto b = center.addObserver(kTaskDidCompleteNotification, [&](const tc::platform::Notification& n) {
        seen.push_back("complete");
        completeInfo = n.userInfo;
    });
    nlohmann::json result;
    std::shared_ptr<URLSessionTask> reported;
    auto task = m->GET(
        "items", Parameters{{"q", "1"}},
        [&](const auto& t, const ResponseObject& o) {
            reported = t;
            result = std::any_cast<nlohmann::json>(o);
        },
        nullptr);
    ASSERT_TRUE(http_test::pumpUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(result["path"], "/api/items?q=1");
    EXPECT_EQ(reported, task);
    EXPECT_EQ(seen, (std::vector<std::string>{"resume", "complete"}));
    EXPECT_TRUE(completeInfo.count(kTaskCompleteResponseDataKey));
    EXPECT_TRUE(completeInfo.count(kTaskCompleteSerializedResponseKey));
    EXPECT_TRUE(completeInfo.count(kTaskCompleteResponseSerializerKey));
    task->resume(); // a finished task posts nothing more
    center.removeObserver(a);
    center.removeObserver(b);
}

TEST_F(SessionTest, UploadReportsProgressAndDownloadMovesToItsDestination) {
    auto m = URLSessionManager::create();
    std::shared_ptr<Progress> progress;
    bool uploadDone = false;
    URLRequest put(*URL::parse(server.url("/up")));
    put.httpMethod = "PUT";
    auto up = m->uploadTaskWithRequest(put, Bytes(300000, 'u'), &progress,
                                       [&](auto, const ResponseObject& o, const std::optional<Error>& e) {
                                           EXPECT_FALSE(e);
                                           EXPECT_EQ(std::any_cast<nlohmann::json>(o)["size"], 300000);
                                           uploadDone = true;
                                       });
    up->resume();
    ASSERT_TRUE(http_test::pumpUntil([&] { return uploadDone; }));
    EXPECT_EQ(uploaded.size(), 300000u);
    EXPECT_EQ(progress->totalUnitCount.load(), 300000);
    EXPECT_EQ(progress->completedUnitCount.load(), 300000);

    auto target = folder / "saved.bin";
    std::shared_ptr<Progress> down;
    std::optional<Error> downloadError;
    ResponseObject downloadObject;
    bool downloaded = false;
    auto download = [&](const std::filesystem::path& to) {
        downloaded = false;
        auto t = m->downloadTaskWithRequest(
            URLRequest(*URL::parse(server.url("/file"))), &down,
            [to](const URL&, const HTTPURLResponse*) {
                return std::optional<URL>(URL::fileURL(to.string()));
            },
            [&](auto, const ResponseObject& o, const std::optional<Error>& e) {
                downloadObject = o, downloadError = e, downloaded = true;
            });
        t->resume();
        EXPECT_TRUE(http_test::pumpUntil([&] { return downloaded; }));
    };
    download(target);
    ASSERT_FALSE(downloadError) << downloadError->describe();
    EXPECT_EQ(std::filesystem::file_size(target), 200000u);
    EXPECT_EQ(std::any_cast<URL>(downloadObject), URL::fileURL(target.string()));
    EXPECT_EQ(down->completedUnitCount.load(), 200000);

    // A move that fails is reported, not passed off as a finished download.
    bool moveFailedPosted = false;
    auto o = tc::platform::NotificationCenter::defaultCenter().addObserver(
        kDownloadMoveFailedNotification, [&](const tc::platform::Notification&) { moveFailedPosted = true; });
    download(target); // the destination exists: files are written once
    ASSERT_TRUE(downloadError);
    EXPECT_EQ(downloadError->domain, kFileErrorDomain);
    download(folder / "no-such-folder" / "x.bin");
    ASSERT_TRUE(downloadError);
    EXPECT_TRUE(moveFailedPosted);
    tc::platform::NotificationCenter::defaultCenter().removeObserver(o);
}

// The manager's block decides first; when it names no place, the task's own destination still does.
TEST_F(SessionTest, DownloadGoesToTheTaskDestinationWhenTheManagerBlockNamesNone) {
    auto m = URLSessionManager::create();
    std::optional<URL> managerAnswer;
    int asked = 0;
    m->setDownloadTaskDidFinishDownloadingBlock([&](const auto&, const URL&) {
        ++asked;
        return managerAnswer;
    });
    auto download = [&](const std::filesystem::path& own) {
        ResponseObject object;
        std::optional<Error> error;
        bool done = false;
        m->downloadTaskWithRequest(
             URLRequest(*URL::parse(server.url("/file"))), nullptr,
             [own](const URL&, const HTTPURLResponse*) {
                 return std::optional<URL>(URL::fileURL(own.string()));
             },
             [&](auto, const ResponseObject& o, const std::optional<Error>& e) {
                 object = o, error = e, done = true;
             })
            ->resume();
        EXPECT_TRUE(http_test::pumpUntil([&] { return done; }));
        EXPECT_FALSE(error) << error->describe();
        return object.has_value() ? std::optional<URL>(std::any_cast<URL>(object)) : std::nullopt;
    };

    auto own = folder / "own.bin";
    EXPECT_EQ(download(own), URL::fileURL(own.string()));
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(std::filesystem::exists(own));
    EXPECT_EQ(std::filesystem::file_size(own), 200000u);

    auto chosen = folder / "chosen.bin";
    managerAnswer = URL::fileURL(chosen.string());
    EXPECT_EQ(download(folder / "unused.bin"), managerAnswer);
    EXPECT_TRUE(std::filesystem::exists(chosen));
    EXPECT_FALSE(std::filesystem::exists(folder / "unused.bin"));
}

TEST_F(SessionTest, MultipartPostStreamsTheBodyAndSuspendedTasksWaitForResume) {
    auto m = HTTPSessionManager::create(URL::parse(server.url("/")));
    bool done = false;
    m->POST(
        "form", Parameters{{"a", "1"}},
        [](MultipartFormData& form) {
            form.appendPartWithFileData(toBytes("xyz"), "f", "f.txt", "text/plain");
        },
        [&](const auto&, const ResponseObject&) { done = true; }, nullptr);
    ASSERT_TRUE(http_test::pumpUntil([&] { return done; }));
    EXPECT_NE(uploaded.find("name=\"f\"; filename=\"f.txt\"\r\nContent-Type: text/plain\r\n\r\nxyz\r\n"),
              std::string::npos);

    bool cancelled = false;
    auto t = m->dataTaskWithHTTPMethod("GET", "x", std::nullopt, nullptr, [&](const auto&, const Error& e) {
        cancelled = e.code == urlerror::kCancelled;
    });
    EXPECT_EQ(t->state(), URLSessionTask::State::Suspended);
    t->cancel();
    ASSERT_TRUE(http_test::pumpUntil([&] { return cancelled; }));
}

TEST_F(SessionTest, CopiesKeepTheConfigurationAndOwnTheirSerializersAndPolicy) {
    URLSessionConfiguration configuration;
    configuration.HTTPAdditionalHeaders.set("X-Desk", "7");
    configuration.timeoutIntervalForRequest = 12;
    auto plain = URLSessionManager::create(configuration);
    plain->setTaskWillPerformHTTPRedirectionBlock([](const auto&, const auto&, const auto& r) { return r; });
    plain->setResponseSerializer(HTTPResponseSerializer::serializer());
    auto plainCopy = plain->copy();
    EXPECT_EQ(typeid(*plainCopy), typeid(URLSessionManager));
    EXPECT_NE(plainCopy->session(), plain->session());
    EXPECT_EQ(plainCopy->session()->configuration().HTTPAdditionalHeaders,
              configuration.HTTPAdditionalHeaders);
    EXPECT_EQ(plainCopy->session()->configuration().timeoutIntervalForRequest, 12);
    EXPECT_FALSE(plainCopy->respondsTo(URLSessionManager::OptionalCallback::TaskWillPerformHTTPRedirection));
    EXPECT_NE(dynamic_cast<JSONResponseSerializer*>(plainCopy->responseSerializer().get()), nullptr);

    auto m = HTTPSessionManager::create(URL::parse(server.url("/api")), configuration);
    m->requestSerializer()->setValueForHTTPHeaderField("abc", "X-Token");
    auto json = JSONResponseSerializer::serializerWithReadingOptions(JSONResponseSerializer::kAllowFragments);
    json->removesKeysWithNullValues = true;
    m->setResponseSerializer(json);
    m->securityPolicy = SecurityPolicy::policyWithPinningMode(SSLPinningMode::Certificate);
    std::shared_ptr<URLSessionManager> asBase = m;
    auto copy = std::dynamic_pointer_cast<HTTPSessionManager>(asBase->copy()); // the class survives the base
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->baseURL(), m->baseURL());
    EXPECT_EQ(copy->session()->configuration().HTTPAdditionalHeaders, configuration.HTTPAdditionalHeaders);

    ASSERT_NE(copy->requestSerializer(), m->requestSerializer());
    EXPECT_EQ(copy->requestSerializer()->valueForHTTPHeaderField("X-Token"), "abc");
    copy->requestSerializer()->setValueForHTTPHeaderField("other", "X-Token");
    EXPECT_EQ(m->requestSerializer()->valueForHTTPHeaderField("X-Token"), "abc");
    auto copiedJson = std::dynamic_pointer_cast<JSONResponseSerializer>(copy->responseSerializer());
    ASSERT_TRUE(copiedJson);
    ASSERT_NE(copiedJson, json);
    EXPECT_EQ(copiedJson->readingOptions, JSONResponseSerializer::kAllowFragments);
    EXPECT_TRUE(copiedJson->removesKeysWithNullValues);
    ASSERT_NE(copy->securityPolicy, m->securityPolicy);
    EXPECT_EQ(copy->securityPolicy->pinningMode, SSLPinningMode::Certificate);
    copy->securityPolicy->pinningMode = SSLPinningMode::None;
    EXPECT_EQ(m->securityPolicy->pinningMode, SSLPinningMode::Certificate);

    // The copy runs requests on its own: its base, its session's and its serializer's headers are sent.
    nlohmann::json result;
    copy->GET(
        "items", std::nullopt,
        [&](const auto&, const ResponseObject& o) { result = std::any_cast<nlohmann::json>(o); }, nullptr);
    ASSERT_TRUE(http_test::pumpUntil([&] { return !result.is_null(); }));
    EXPECT_EQ(result["path"], "/api/items");
    EXPECT_EQ(lastRequest.header("x-desk"), "7");
    EXPECT_EQ(lastRequest.header("x-token"), "other");
}
