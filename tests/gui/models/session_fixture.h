#pragma once
// A session model over the in-process test server: the default market on free ports, a shell over
// settings kept in memory, and a client made through the composition root.
#include "gui/gui_test_support.h"
#include "gui/models/client_model.h"
#include "market.h"
#include "options.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace guitest {

class SessionTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        seedMarket(*market.market);
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        server->holdPrices(holdPrices);
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        serverOptions(options);
        ports = server->start(options);
        session = std::make_unique<tc::gui::ClientModel>([this] {
            interfaces::ClientOptions options;
            options.userDefaults = defaults.get();
            options.watchNetwork = false;
            // Requests go out at once rather than on the channel's next half-second pass: the tests
            // wait on the server's answers, not on the pass.
            options.dataRequestPass = std::chrono::milliseconds(20);
            options.dataReplyTimeout = dataReplyTimeout;
            return interfaces::MakeClient(*shell, options);
        });
        QObject::connect(session.get(), &tc::gui::ClientModel::loginStateChanged,
                         [this](interfaces::LoginState state) { signalledState = state; });
    }
    void TearDown() override {
        session.reset();
        if (server)
            server->stop();
        ShellTest::TearDown();
    }

    // Records a test adds to the default market before the server starts.
    virtual void seedMarket(testserver::Market&) {}
    // Settings a test changes before the server starts (ports are free ones, no news desk).
    virtual void serverOptions(testserver::ServerOptions&) {}

    interfaces::LoginSettings loginOf(const std::string& user = "demo",
                                      const std::string& password = "demo1234") {
        return {interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, user, password};
    }
    // Signs in and waits until the session model has announced the login.
    bool signIn(const std::string& user = "demo", const std::string& password = "demo1234") {
        if (!session->signIn(loginOf(user, password)))
            return false;
        return waitFor([&] { return signalledState == interfaces::LoginState::SignedIn; }, 15000);
    }

    // Quotes stay where they are until a test sets them.
    bool holdPrices = false;
    // How long a data-service request waits for its reply (the client's own limit when none).
    std::optional<std::chrono::milliseconds> dataReplyTimeout;
    std::unique_ptr<testserver::TestServer> server;
    testserver::ServerPorts ports;
    std::unique_ptr<tc::gui::ClientModel> session;
    interfaces::LoginState signalledState = interfaces::LoginState::SignedOut;
};

} // namespace guitest
