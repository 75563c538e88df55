#pragma once
// The base of the integration tests: the loopback server with the default market on free ports, the
// main run loop bound to the test's thread, and a count of the logins completed by the clients it
// watches.
// Subclasses close their sessions in TearDown before calling this TearDown.
#include "interfaces/client.h"
#include "market.h"
#include "platform/bundle.h"
#include "platform/dispatch.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tc {

class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
    }
    void TearDown() override {
        loginWatches.clear();
        if (server)
            server->stop();
        platform::RunLoop::main().discardPending();
        platform::Bundle::setResourcesRoot({});
    }

    // Quotes per second, the random walk's seed, whether prices stay still from the start, the
    // snapshot's form, and whether the login's replies come sealed under the product key.
    void startServer(double rate, std::uint64_t seed, bool holdPrices = false,
                     testserver::SnapshotForm snapshotForm = testserver::SnapshotForm::Amp,
                     bool sealLoginReplies = false) {
        testserver::ServerOptions options;
        options.rate = rate;
        options.seed = seed;
        options.snapshotForm = snapshotForm;
        options.sealLoginReplies = sealLoginReplies;
        startServer(options, holdPrices);
    }
    // The same with any options; the ports are free ones.
    void startServer(testserver::ServerOptions options, bool holdPrices = false) {
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        options.port = options.feedPort = options.dataPort = 0;
        if (holdPrices)
            server->holdPrices(true);
        ports = server->start(options);
    }

    // The sign-in of `user` to the loopback server.
    interfaces::LoginSettings loginOf(const std::string& user = "demo",
                                      const std::string& password = "demo1234") {
        return {interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, user, password};
    }
    // A decimal written as the tests write it.
    static interfaces::Decimal dec(std::string_view text) {
        return interfaces::Decimal::fromString(text).value_or(interfaces::Decimal::notANumber());
    }
    // A market order of `qty` lots, any deviation allowed.
    static interfaces::OrderTicket marketOrder(const std::string& code, int account, bool buy,
                                               const std::string& qty) {
        interfaces::OrderTicket ticket;
        ticket.instrument = code;
        ticket.account = account;
        ticket.side = buy ? interfaces::Side::Buy : interfaces::Side::Sell;
        ticket.kind = interfaces::OrderKind::Market;
        ticket.quantity = qty.empty() ? interfaces::Decimal() : dec(qty);
        return ticket;
    }
    // Pumps the main queue until `done` holds, with a limit generous for the sanitizer builds.
    static bool until(const std::function<bool()>& done) {
        return platform::RunLoop::main().runUntil(done, std::chrono::seconds(10));
    }

    // How many messages of `type` the server has read on its stream port.
    int streamCount(int type) const {
        const auto types = server->stats().streamTypes;
        return static_cast<int>(std::count(types.begin(), types.end(), type));
    }

    // Counts the logins `client` completes (each time its state becomes signed in).
    void countLogins(interfaces::Client& client) {
        loginWatches.push_back(client.handleLoginStateChanged([this](interfaces::LoginState state) {
            if (state != interfaces::LoginState::SignedIn)
                return;
            ++logins;
            loginsPostedOnMain = loginsPostedOnMain && platform::MainQueue::isMainThread();
        }));
    }
    // Pumps the main queue until `n` logins of the watched clients have succeeded in all.
    bool loggedIn(int n = 1, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return platform::RunLoop::main().runUntil([&] { return logins >= n; }, timeout);
    }

    std::unique_ptr<testserver::TestServer> server;
    testserver::ServerPorts ports;
    std::vector<std::unique_ptr<interfaces::Handler>> loginWatches;
    int logins = 0;
    bool loginsPostedOnMain = true;
};

} // namespace tc
