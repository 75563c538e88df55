// The news feed over the HTTP client against the test server's news desk: the address asked for, the
// pinned test certificate, cancellation of a load by the next, and bodies that are no feed.
#include "news/news_service.h"

#include "http/http_test_support.h"
#include "http_server.h"
#include "news_desk.h"
#include "platform/bundle.h"
#include "wire/login_inputdata.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using tc::news::NewsService;

// Pumps the main queue until `done`, also when what it waits for happens on another thread and posts
// nothing (the desk's counters); a generous limit.
bool until(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        http_test::pumpUntil(done, std::chrono::milliseconds(10));
    }
    return true;
}

class NewsServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        desk = std::make_unique<testserver::NewsDesk>(0, 0);
        service.setListener([this](const interfaces::NewsLoad& load) { loads.push_back(load); });
    }
    void TearDown() override {
        desk->release();
        service.cancelLoad();
    }
    interfaces::NewsSource pinned() const {
        const auto path = tc::platform::Bundle::pathForResource("news-simulation", "pem");
        return {"https", "127.0.0.1", desk->httpsPort(), path ? path->string() : std::string()};
    }
    bool waitForLoads(std::size_t count) {
        return http_test::pumpUntil([&] { return loads.size() >= count; });
    }

    std::unique_ptr<testserver::NewsDesk> desk;
    NewsService service;
    std::vector<interfaces::NewsLoad> loads;
};

TEST(NewsFeedAddress, DoubledSlashEmptyParametersAndOnlyPlainCategories) {
    const interfaces::NewsSource source{"https", "news.test", 8443, ""};
    EXPECT_EQ(tc::news::feedURL(source, "BreakingNews"),
              "https://news.test:8443//news/Service1.asmx/Rss2_V2?category=BreakingNews&newsID=&maxCount=");
    EXPECT_EQ(tc::news::feedURL({"http", "news.test", 0, ""}, "Forex"),
              "http://news.test//news/Service1.asmx/Rss2_V2?category=Forex&newsID=&maxCount=");
    for (const char* category : {"", "Forex&x=1", "Fo rex", "../x", "Forex#"})
        EXPECT_FALSE(tc::news::feedURL(source, category)) << category;
    EXPECT_FALSE(tc::news::feedURL({"ftp", "news.test", 0, ""}, "Forex"));
    EXPECT_FALSE(tc::news::feedURL({"https", "", 0, ""}, "Forex"));
    EXPECT_FALSE(tc::news::feedURL({"https", "a.test/evil?", 0, ""}, "Forex"));
}

TEST(NewsFeedAddress, TheSimulationEntryPinsTheTestServersCertificate) {
    tc::LoginInputData login;
    const interfaces::NewsSource simulation = tc::news::sourceFromLoginList(login, "SimulationMode");
    EXPECT_EQ(simulation.scheme, "https");
    EXPECT_EQ(simulation.host, "127.0.0.1");
    EXPECT_EQ(simulation.port, 5103);
    ASSERT_FALSE(simulation.pinnedCertificate.empty());
    // The file the client pins is the certificate the test server presents.
    std::ifstream file(simulation.pinnedCertificate);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), testserver::newsCertificatePem());
    const interfaces::NewsSource live = tc::news::sourceFromLoginList(login, "LiveMode");
    EXPECT_EQ(live.scheme, "https");
    EXPECT_TRUE(live.pinnedCertificate.empty());
}

TEST_F(NewsServiceTest, LoadsACategoryOverHttpsWithTheTestCertificatePinned) {
    service.setSource(pinned());
    const interfaces::RequestId id = service.loadCategory("Forex");
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(waitForLoads(1));
    EXPECT_EQ(loads[0].id, id);
    EXPECT_EQ(loads[0].category, "Forex");
    EXPECT_EQ(loads[0].error, "");
    ASSERT_EQ(loads[0].items->size(), 24u);
    EXPECT_EQ((*loads[0].items)[0].title, "Forex desk: central banks & rates hold steady");
    EXPECT_EQ((*loads[0].items)[0].link, "https://news.example.invalid/Forex/1?src=rss&lang=en");
    EXPECT_EQ((*loads[0].items)[0].pubDate, "Mon, 07 Dec 2026 17:00:00 GMT");
    // Plain HTTP serves the same feed.
    service.setSource({"http", "127.0.0.1", desk->httpPort(), ""});
    service.loadCategory("Sports");
    ASSERT_TRUE(waitForLoads(2));
    EXPECT_EQ(loads[1].error, "");
    EXPECT_EQ(loads[1].items->size(), 24u);
}

TEST_F(NewsServiceTest, AnotherCertificateOrNoPinIsRefused) {
    // The system's anchors do not know the test server's certificate.
    service.setSource({"https", "127.0.0.1", desk->httpsPort(), ""});
    service.loadCategory("Forex");
    ASSERT_TRUE(waitForLoads(1));
    EXPECT_NE(loads[0].error, "");
    EXPECT_TRUE(loads[0].items->empty());
    // A pin on some other certificate.
    http_test::TestPKI pki;
    const auto other = std::filesystem::temp_directory_path() / ("tc_news_pin_" + std::to_string(::getpid()));
    {
        BIO* bio = BIO_new_file(other.c_str(), "w");
        ASSERT_TRUE(bio);
        PEM_write_bio_X509(bio, pki.selfSigned.get());
        BIO_free(bio);
    }
    service.setSource({"https", "127.0.0.1", desk->httpsPort(), other.string()});
    service.loadCategory("Forex");
    ASSERT_TRUE(waitForLoads(2));
    EXPECT_NE(loads[1].error, "");
    std::filesystem::remove(other);
    EXPECT_EQ(desk->answered("Forex"), 0u); // nothing reached the desk without a trusted handshake
}

TEST_F(NewsServiceTest, APinnedCertificateForAnotherHostIsRefused) {
    // The pin makes the chain trusted; the host the feed is asked of must still be on the certificate.
    http_test::TestPKI pki;
    std::atomic<int> answered{0};
    testserver::HttpServer other(
        [&](const testserver::HttpRequest&) {
            ++answered;
            testserver::HttpResponse response;
            response.body = testserver::newsFeedDocument("Forex", 1);
            return response;
        },
        testserver::HttpServer::Tls{pki.otherHost.get(), {}, pki.otherKey.get()});
    const auto pin = std::filesystem::temp_directory_path() / ("tc_news_host_" + std::to_string(::getpid()));
    {
        BIO* bio = BIO_new_file(pin.c_str(), "w");
        ASSERT_TRUE(bio);
        PEM_write_bio_X509(bio, pki.otherHost.get());
        BIO_free(bio);
    }
    service.setSource({"https", "127.0.0.1", other.port(), pin.string()});
    service.loadCategory("Forex");
    ASSERT_TRUE(waitForLoads(1));
    std::filesystem::remove(pin);
    EXPECT_NE(loads[0].error, "");
    EXPECT_TRUE(loads[0].items->empty());
    EXPECT_EQ(answered.load(), 0);
}

TEST_F(NewsServiceTest, ALoadCancelsTheOneBeforeSoALateReplyNeverReplacesTheChosenCategory) {
    service.setSource(pinned());
    desk->hold("BreakingNews");
    const interfaces::RequestId first = service.loadCategory("BreakingNews");
    // Under way at the server when the next category is chosen.
    ASSERT_TRUE(until([&] { return desk->asked("BreakingNews") == 1; }));
    const interfaces::RequestId second = service.loadCategory("Forex");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, first);
    ASSERT_TRUE(waitForLoads(1));
    EXPECT_EQ(loads[0].id, second);
    EXPECT_EQ(loads[0].category, "Forex");
    // The held reply goes out now; whatever becomes of it, the next load is the only one after Forex.
    desk->release();
    ASSERT_TRUE(until([&] { return desk->answered("BreakingNews") == 1; }));
    const interfaces::RequestId third = service.loadCategory("Sports");
    ASSERT_TRUE(waitForLoads(2));
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[1].id, third);
    EXPECT_EQ(loads[1].category, "Sports");
}

TEST_F(NewsServiceTest, AFeedPastEightMebibytesOrNotXmlIsAnError) {
    service.setSource(pinned());
    desk->setReply("Business", std::string((8u << 20) + 1, 'x'));
    desk->setReply("Health", "Service temporarily unavailable");
    desk->setReply("Weather", "<rss><channel></channel></rss>");
    service.loadCategory("Business");
    ASSERT_TRUE(waitForLoads(1));
    EXPECT_NE(loads[0].error.find("larger"), std::string::npos) << loads[0].error;
    service.loadCategory("Health");
    ASSERT_TRUE(waitForLoads(2));
    EXPECT_EQ(loads[1].error, "The news feed is not XML.");
    service.loadCategory("Weather");
    ASSERT_TRUE(waitForLoads(3));
    EXPECT_EQ(loads[2].error, "");
    EXPECT_TRUE(loads[2].items->empty());
    // An unknown category is a status the feed refuses, told as such.
    service.loadCategory("Unknown");
    ASSERT_TRUE(waitForLoads(4));
    EXPECT_NE(loads[3].error, "");
    EXPECT_EQ(service.loadCategory("Not a name"), 0u);
}

} // namespace
