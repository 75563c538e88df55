#pragma once
// The base of the integration tests: the loopback server with the default market on free ports, the
// main run loop bound to the test's thread, and a count of "LoginSuccessNotification" posts.
// Subclasses close their sessions in TearDown before calling this TearDown.
#include "market.h"
#include "platform/bundle.h"
#include "platform/dispatch.h"
#include "platform/notification_center.h"
#include "session/business/notification_names.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>

namespace tc {

class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        loginObserver = platform::NotificationCenter::defaultCenter().observe(
            std::string(kLoginSuccessNotification), [this](const platform::Notification&) {
                ++logins;
                loginsPostedOnMain = loginsPostedOnMain && platform::MainQueue::isMainThread();
            });
    }
    void TearDown() override {
        loginObserver.reset();
        if (server)
            server->stop();
        platform::RunLoop::main().discardPending();
        platform::Bundle::setResourcesRoot({});
    }

    // Quotes per second, the random walk's seed, and whether prices stay still from the start.
    void startServer(double rate, std::uint64_t seed, bool holdPrices = false,
                     testserver::SnapshotForm snapshotForm = testserver::SnapshotForm::Amp) {
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        options.rate = rate;
        options.seed = seed;
        options.snapshotForm = snapshotForm;
        if (holdPrices)
            server->holdPrices(true);
        ports = server->start(options);
    }

    // Pumps the main queue until `n` logins have succeeded in all.
    bool loggedIn(int n = 1, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return platform::RunLoop::main().runUntil([&] { return logins >= n; }, timeout);
    }

    std::unique_ptr<testserver::TestServer> server;
    testserver::ServerPorts ports;
    std::unique_ptr<platform::Handler> loginObserver;
    int logins = 0;
    bool loginsPostedOnMain = true;
};

} // namespace tc
