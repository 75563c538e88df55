// The session model against the in-process test server: the client's events arrive as signals, the
// tick runs, and a second sign-in replaces the client with everything let go of first.
#include "gui/models/session_fixture.h"

#include "model/session_queries.h"

#include <algorithm>
#include <vector>

namespace {

using guitest::waitFor;
using interfaces::LoginState;
using interfaces::Table;
using interfaces::TableSet;

class ClientModelTest : public guitest::SessionTest {};

TEST_F(ClientModelTest, SignInReEmitsTheClientsEventsAndTicks) {
    std::vector<LoginState> states;
    TableSet tables;
    std::vector<std::string> deepened;
    int ticks = 0;
    int journalLines = 0;
    QObject::connect(session.get(), &tc::gui::ClientModel::loginStateChanged,
                     [&](LoginState s) { states.push_back(s); });
    QObject::connect(session.get(), &tc::gui::ClientModel::tablesChanged, [&](TableSet t) { tables |= t; });
    QObject::connect(session.get(), &tc::gui::ClientModel::depthChanged,
                     [&](const std::vector<std::string>& codes) {
                         deepened.insert(deepened.end(), codes.begin(), codes.end());
                     });
    QObject::connect(session.get(), &tc::gui::ClientModel::tick, [&] { ++ticks; });
    QObject::connect(session.get(), &tc::gui::ClientModel::journalAppended,
                     [&](const std::string&) { ++journalLines; });

    EXPECT_EQ(session->loginState(), LoginState::SignedOut);
    ASSERT_TRUE(signIn());
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), LoginState::Connecting);
    EXPECT_EQ(states.back(), LoginState::SignedIn);

    // The demo's positions load through the data service and are announced as a table change.
    EXPECT_TRUE(waitFor(
        [&] {
            return tables.contains(Table::OpenPositions) &&
                   !session->client().queries().getOpenOrderCollection().empty();
        },
        15000));
    ASSERT_TRUE(waitFor([&] { return !deepened.empty() && ticks >= 1; }, 15000));
    EXPECT_GT(journalLines, 0);

    session->signOut();
    EXPECT_TRUE(waitFor([&] { return states.back() == LoginState::SignedOut; }));
}

TEST_F(ClientModelTest, SecondSignInReplacesTheClientAfterHoldersLetGo) {
    ASSERT_TRUE(signIn());
    const interfaces::Client* first = &session->client();
    const std::uint64_t generation = session->generation();

    std::vector<std::string> order;
    bool oldClientWhileLettingGo = false;
    QObject::connect(session.get(), &tc::gui::ClientModel::clientAboutToBeReplaced, [&] {
        order.push_back("about");
        oldClientWhileLettingGo = &session->client() == first;
    });
    QObject::connect(session.get(), &tc::gui::ClientModel::clientReplaced,
                     [&] { order.push_back("replaced"); });
    std::vector<LoginState> states;
    QObject::connect(session.get(), &tc::gui::ClientModel::loginStateChanged, [&](LoginState s) {
        states.push_back(s);
        order.push_back("state");
    });

    ASSERT_TRUE(signIn("trader", "trader1234"));
    EXPECT_EQ(session->generation(), generation + 1);
    ASSERT_GE(order.size(), 3u);
    EXPECT_EQ(order[0], "about");
    EXPECT_EQ(order[1], "replaced");
    EXPECT_TRUE(oldClientWhileLettingGo);
    // The new client starts signed out, then signs in; the old session says nothing more.
    EXPECT_EQ(states.front(), LoginState::SignedOut);
    EXPECT_EQ(states.back(), LoginState::SignedIn);
    EXPECT_EQ(std::count(states.begin(), states.end(), LoginState::SignedIn), 1);

    // The feed keeps coming from the new session.
    int ladders = 0;
    QObject::connect(session.get(), &tc::gui::ClientModel::depthChanged,
                     [&](const std::vector<std::string>&) { ++ladders; });
    EXPECT_TRUE(waitFor([&] { return ladders > 0; }, 15000));
}

TEST_F(ClientModelTest, SignInThatDoesNotStartKeepsTheClient) {
    const std::uint64_t generation = session->generation();
    const auto refused = session->signIn(loginOf("", "x"));
    EXPECT_FALSE(refused.started);
    EXPECT_FALSE(refused.error.empty());
    // Nothing was used up: the same client signs in.
    ASSERT_TRUE(signIn());
    EXPECT_EQ(session->generation(), generation);
}

} // namespace
