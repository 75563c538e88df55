// Every pair of order requests that can touch one position, pending order or instrument, sent in one
// pass and answered by the server in the order sent or the other way round, one of them given up or
// none, and some with the line lost before the answers; and the triples a close-all, a close and an
// offset of the same positions make. Each request must be told once, through the client's interface,
// exactly what the server's own record says it did with it.
//
// One sign-in serves every row of a run: each row makes its positions and its order afresh through
// the server, and the clock the session's timers read is moved by the test, so the wait a request
// passed over sits out takes no time.
#include "client/client_factory.h"
#include "client/headless_application.h"
#include "interfaces/funding.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "orders/order_collections.h"
#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"

#include "market.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace tc;
using namespace std::chrono_literals;
using testserver::RecordedChange;
using testserver::RecordedRequest;

// The kinds of request a row sends. Every one acts on EURUSD of account 20001 (a multi-account order
// on 20003 too): a new order touches the instrument, the others the fresh position P, its hedge Q
// or the fresh buy limit order O.
enum class Kind {
    Market,         // buy 1 at market
    Limit,          // buy limit 1 below the market
    MultiAccount,   // buy at market, 1 for 20001 and 1 for 20003
    Close,          // close of the whole of P
    PartClose,      // close of 0.4 of P
    CloseAllTicked, // close-all naming P and Q: every listed position ticked, as the window sends it
    CloseAllListed, // close-all of every position held in P and Q's account and instrument
    Offset,         // P offset against Q
    TakeProfit,     // a take profit for P
    EditOrder,      // O moved lower
    CancelOrder,    // O cancelled
};
constexpr Kind kKinds[] = {Kind::Market,     Kind::Limit,          Kind::MultiAccount,   Kind::Close,
                           Kind::PartClose,  Kind::CloseAllTicked, Kind::CloseAllListed, Kind::Offset,
                           Kind::TakeProfit, Kind::EditOrder,      Kind::CancelOrder};

const char* nameOf(Kind k) {
    switch (k) {
    case Kind::Market:
        return "Market";
    case Kind::Limit:
        return "Limit";
    case Kind::MultiAccount:
        return "MultiAccount";
    case Kind::Close:
        return "Close";
    case Kind::PartClose:
        return "PartClose";
    case Kind::CloseAllTicked:
        return "CloseAllTicked";
    case Kind::CloseAllListed:
        return "CloseAllListed";
    case Kind::Offset:
        return "Offset";
    case Kind::TakeProfit:
        return "TakeProfit";
    case Kind::EditOrder:
        return "EditOrder";
    case Kind::CancelOrder:
        return "CancelOrder";
    }
    return "?";
}

bool isCloseAll(Kind k) {
    return k == Kind::CloseAllTicked || k == Kind::CloseAllListed;
}

struct Row {
    std::vector<Kind> kinds;           // in the order sent
    std::vector<std::size_t> answered; // the places the server takes them in
    int givenUp = -1;                  // the place of the one given up; -1: none
    bool lost = false;                 // the line is lost before the answers

    std::string name() const {
        std::string out;
        for (std::size_t i = 0; i < kinds.size(); ++i)
            out += (i ? "_" : "") + std::string(nameOf(kinds[i]));
        bool inOrder = std::is_sorted(answered.begin(), answered.end());
        bool reversed = std::is_sorted(answered.rbegin(), answered.rend());
        if (inOrder)
            out += "_InOrder";
        else if (reversed)
            out += "_Reversed";
        else {
            out += "_Answered";
            for (std::size_t p : answered)
                out += std::to_string(p + 1);
        }
        static const char* const place[] = {"First", "Second", "Third"};
        out += givenUp < 0 ? "_NoneGivenUp" : std::string("_") + place[givenUp] + "GivenUp";
        if (lost)
            out += "_LineLost";
        return out;
    }
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name();
}

// Rows whose requests the client does not yet tell what the server did, each with its fault. They are
// skipped until the answer rule is mended; every other row must pass.
const std::map<std::string, std::string>& notYetToldRight() {
    // None at present: a row that fails is named here with its fault ({"Close_Offset_Reversed_NoneGivenUp",
    // "a close is told the offset's outcome"}) only while its mend is under way.
    static const std::map<std::string, std::string> rows{};
    return rows;
}

std::vector<Row> pairs(bool reversed) {
    std::vector<Row> rows;
    for (Kind a : kKinds)
        for (Kind b : kKinds)
            for (int givenUp : {-1, 0, 1})
                rows.push_back({{a, b},
                                reversed ? std::vector<std::size_t>{1, 0} : std::vector<std::size_t>{0, 1},
                                givenUp});
    return rows;
}

std::vector<Row> triples() {
    std::vector<Row> rows;
    for (Kind closeAll : {Kind::CloseAllTicked, Kind::CloseAllListed}) {
        std::vector<Kind> kinds{closeAll, Kind::Close, Kind::Offset};
        std::sort(kinds.begin(), kinds.end());
        do {
            std::vector<std::size_t> answered{0, 1, 2};
            do {
                for (int givenUp : {-1, 0, 2})
                    rows.push_back({kinds, answered, givenUp});
            } while (std::next_permutation(answered.begin(), answered.end()));
        } while (std::next_permutation(kinds.begin(), kinds.end()));
    }
    return rows;
}

// With the line lost before the answers: every pair once, half of them answered in the order sent and
// half the other way round, none, the first or the second given up in turn.
std::vector<Row> lostRows(bool reversed) {
    std::vector<Row> rows;
    std::size_t i = 0;
    for (Kind a : kKinds)
        for (Kind b : kKinds) {
            if (i % 2 == (reversed ? 1u : 0u))
                rows.push_back({{a, b},
                                reversed ? std::vector<std::size_t>{1, 0} : std::vector<std::size_t>{0, 1},
                                static_cast<int>(i / 2 % 3) - 1,
                                true});
            ++i;
        }
    return rows;
}

std::string text(std::string_view key) {
    return LanguageString::stringForSelectedLanguage(0, key).value_or("");
}

std::string reasonOf(int code) {
    return text(OrderCollections::RejectionReasonKey(code));
}

// Whether `s` is the text of `key` with its {n} filled in; the fills, in order.
std::optional<std::vector<std::string>> filled(std::string_view key, const std::string& s) {
    const std::string pattern = text(key);
    std::string re;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
            std::isdigit(static_cast<unsigned char>(pattern[i + 1]))) {
            re += "([\\s\\S]*)";
            i += 2;
            continue;
        }
        if (std::string_view("\\^$.|?*+()[]{}").find(pattern[i]) != std::string_view::npos)
            re += '\\';
        re += pattern[i];
    }
    std::smatch m;
    if (!std::regex_match(s, m, std::regex(re)))
        return std::nullopt;
    std::vector<std::string> out;
    for (std::size_t i = 1; i < m.size(); ++i)
        out.push_back(m[i]);
    return out;
}

std::string recordText(const RecordedRequest* r) {
    return r ? testserver::changesText(*r) : "not answered";
}

std::string answerText(const interfaces::RequestAnswer& a) {
    std::string out = !a.known     ? "not known \"" + a.whatIsKnown + "\""
                      : a.accepted ? "done"
                                   : "refused " + a.code + " \"" + a.reason + "\"";
    if (!a.position.empty())
        out += " of #" + a.position;
    if (!a.account.empty())
        out += " of account " + a.account;
    if (a.late)
        out += " (late)";
    return out;
}

// One sign-in of the demo user, with what it tells.
struct Session {
    std::unique_ptr<platform::UserDefaults> appDefaults = platform::UserDefaults::inMemory();
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::unique_ptr<HeadlessApplication> app;
    std::unique_ptr<interfaces::Client> client;
    std::vector<interfaces::RequestAnswer> told;
    int pings = 0;
    std::vector<std::unique_ptr<interfaces::Handler>> handlers;

    const SessionModel& lists() const { return client->model(); }
    bool holds(const std::string& position) const {
        return std::any_of(lists().OpenOrderCollection.begin(), lists().OpenOrderCollection.end(),
                           [&](const auto& p) { return p && p->OpenPositionId == position; });
    }
    bool holdsOrder(const std::string& order) const {
        return std::any_of(lists().PendingOrderCollection.begin(), lists().PendingOrderCollection.end(),
                           [&](const auto& o) { return o && o->PendingOrderId == order; });
    }
    std::vector<std::string> lateBanners() const {
        std::vector<std::string> out;
        for (const HeadlessApplication::Call& c : app->callsNamed("showMessageBanner"))
            if (c.args.size() == 2 && c.args[1] == text("94161"))
                out.push_back(c.args[0]);
        return out;
    }
};

bool until(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    return platform::RunLoop::main().runUntil(done, limit);
}

void drain() {
    while (platform::RunLoop::main().runOnce() > 0) {
    }
}

// What the rows share within one run: the server, the session signed in, and the clock.
struct Bench {
    std::unique_ptr<testserver::TestServer> server;
    testserver::ServerPorts ports;
    std::unique_ptr<Session> session;
    std::vector<std::unique_ptr<Session>> gone; // sessions lost or left behind, kept to the end
    std::shared_ptr<platform::ManualClock> clock;
    std::unique_ptr<platform::ScopedClock> scoped;
    bool manualClock = false;
    bool dirty = false; // a request of the last row may still wait: the next signs in anew

    void start(bool withManualClock) {
        manualClock = withManualClock;
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        testserver::ServerOptions options;
        options.rate = 200;
        options.seed = 11;
        options.port = options.feedPort = options.dataPort = 0;
        server->holdPrices(true);
        ports = server->start(options);
        // Nothing seeded stands in the rows' way.
        server->clearAccount(20001);
        server->clearAccount(20003);
        signIn();
    }

    void signIn() {
        scoped.reset(); // the sign-in's requests go out on the real clock
        if (session)
            gone.push_back(std::move(session));
        auto s = std::make_unique<Session>();
        s->app = std::make_unique<HeadlessApplication>(*s->appDefaults);
        s->client = tc::makeClient(*s->app, {s->defaults.get(), false});
        Session& r = *s;
        s->handlers.push_back(r.client->orders().handleRequestAnswered(
            [&r](const interfaces::RequestAnswer& a) { r.told.push_back(a); }));
        s->handlers.push_back(
            r.client->handleNetworkSpeed([&r](const interfaces::NetworkSpeed&) { ++r.pings; }));
        ASSERT_TRUE(r.client->signIn(
            {interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"}));
        ASSERT_TRUE(until([&] { return r.client->loginState() == interfaces::LoginState::SignedIn; }));
        // The financial approvals are the last reply of the login's requests.
        ASSERT_TRUE(until([&] { return !r.client->funding().collections().financialApprovals.empty(); }));
        session = std::move(s);
        // The server prices orders at the quote the client sees.
        const auto* item = session->lists().ItemCollection.get("EURUSD");
        ASSERT_TRUE(item);
        ASSERT_TRUE(server->setQuote("EURUSD", Formatter::formatDecimal((*item)->Bid, 5),
                                     Formatter::formatDecimal((*item)->Ask, 5)));
        if (manualClock) {
            clock = std::make_shared<platform::ManualClock>(std::chrono::steady_clock::now());
            scoped = std::make_unique<platform::ScopedClock>(clock);
        }
        dirty = false;
    }

    // After a row that did not go through: what the server still holds back is answered, the accounts
    // are cleared, and a new sign-in starts afresh, none of the last one's requests waiting in it.
    void recover() {
        server->holdOrders(false);
        server->clearAccount(20001);
        server->clearAccount(20003);
        signIn();
    }

    // Everything the server sent before is taken in: a ping goes out (the clock moved a second) and
    // its reply, behind those reports on the stream, is told.
    bool settle() {
        Session& s = *session;
        const int before = s.pings;
        clock->advance(1s);
        const bool answered = until([&] { return s.pings > before; });
        drain();
        return answered;
    }

    void stop() {
        scoped.reset();
        session.reset();
        gone.clear();
        drain();
        if (server)
            server->stop();
        server.reset();
    }
};

Bench* bench = nullptr;

class AnswerTable : public ::testing::TestWithParam<Row> {
protected:
    static void SetUpTestSuite() {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
    }
    static void TearDownTestSuite() {
        if (bench) {
            bench->stop();
            delete bench;
            bench = nullptr;
        }
        platform::RunLoop::main().discardPending();
        platform::Bundle::setResourcesRoot({});
    }

    // The row's fresh position P, its hedge Q and the limit order O, as the server made them.
    struct Fresh {
        std::string p, q, o;
    };

    struct Sent {
        Kind kind;
        interfaces::OrderResult result;
        std::vector<std::string> listed; // a close-all's positions
        const RecordedRequest* record = nullptr;
    };

    void run(const Row& row) {
        // TC_ANSWER_TABLE_ALL=1 runs them too, to see which the rule now tells right.
        if (const auto skip = notYetToldRight().find(row.name());
            skip != notYetToldRight().end() && !std::getenv("TC_ANSWER_TABLE_ALL"))
            GTEST_SKIP() << skip->second;
        // Rows of a lost line sign in again and again, on the real clock.
        if (bench && bench->manualClock == row.lost) {
            bench->stop();
            delete bench;
            bench = nullptr;
        }
        if (!bench) {
            bench = new Bench;
            bench->start(!row.lost);
        }
        if (bench->dirty || !bench->session)
            bench->recover();
        ASSERT_TRUE(bench->session);
        // Until the row is through: one stopped half-way leaves the next to start clean.
        bench->dirty = true;
        testserver::TestServer& server = *bench->server;
        Session* s = bench->session.get();
        s->app->clearCalls();
        s->told.clear();

        const Fresh fresh = make(row);
        if (HasFatalFailure())
            return;
        const std::uint64_t receivedBefore = static_cast<std::uint64_t>(server.stats().orderRequests);
        const std::size_t recordBefore = server.orderRecord().size();

        server.holdOrders(true);
        std::vector<Sent> sent;
        for (std::size_t i = 0; i < row.kinds.size(); ++i) {
            sent.push_back(send(*s, row.kinds[i], fresh));
            if (static_cast<int>(i) == row.givenUp && sent.back().result.sent())
                s->client->orders().giveUpRequest(sent.back().result.request);
        }
        // What went out, in its place among those held.
        std::vector<std::size_t> heldPlace(sent.size(), 0);
        std::size_t held = 0;
        for (std::size_t i = 0; i < sent.size(); ++i)
            if (sent[i].result.sent())
                heldPlace[i] = held++;
        ASSERT_TRUE(server.waitFor(
            [&](const testserver::ServerStats& st) { return st.heldOrderRequests == static_cast<int>(held); },
            5s));
        std::vector<std::size_t> places;
        for (std::size_t i : row.answered)
            if (sent[i].result.sent())
                places.push_back(heldPlace[i]);

        std::vector<std::string> lossAlert;
        if (row.lost) {
            server.dropStreams();
            ASSERT_TRUE(until([&] { return s->client->loginState() == interfaces::LoginState::Lost; }));
            const auto losses = s->app->callsNamed("onConnectionLost");
            ASSERT_EQ(losses.size(), 1u);
            lossAlert = losses[0].args;
            bench->signIn();
        }
        ASSERT_TRUE(server.answerHeldOrders(places));
        server.holdOrders(false);

        // The record of each request sent, by the place it was received in.
        const std::vector<RecordedRequest> record = server.orderRecord(recordBefore);
        std::size_t received = 0;
        for (Sent& x : sent) {
            if (!x.result.sent())
                continue;
            ++received;
            for (const RecordedRequest& r : record)
                if (r.received == receivedBefore + received)
                    x.record = &r;
        }

        if (row.lost)
            checkLost(row, sent, lossAlert, *s);
        else
            checkTold(row, sent, *s);
        bench->dirty = !clear() || HasFailure();
    }

    Fresh make(const Row& row) {
        testserver::TestServer& server = *bench->server;
        Session& s = *bench->session;
        // Enough money for every row: the balance is set afresh, and the fills' summaries tell it.
        server.book().with([](testserver::Books& b) {
            b.balances[20001] = "1000000";
            b.balances[20003] = "1000000";
        });
        const auto needs = [&](std::initializer_list<Kind> ks) {
            return std::any_of(row.kinds.begin(), row.kinds.end(),
                               [&](Kind k) { return std::find(ks.begin(), ks.end(), k) != ks.end(); });
        };
        Fresh f;
        const auto idOf = [](const RecordedRequest& r) {
            return r.changes.empty() || r.changes[0].what == RecordedChange::What::Refused
                       ? std::string()
                       : std::to_string(r.changes[0].id);
        };
        const bool position = needs({Kind::Close, Kind::PartClose, Kind::CloseAllTicked, Kind::CloseAllListed,
                                     Kind::Offset, Kind::TakeProfit});
        if (position) {
            f.p = idOf(server.placeOrderFor(20001, "EURUSD", true, "1"));
            f.q = idOf(server.placeOrderFor(20001, "EURUSD", false, "1"));
            EXPECT_FALSE(f.p.empty() || f.q.empty());
        }
        if (needs({Kind::EditOrder, Kind::CancelOrder})) {
            f.o = idOf(server.placeOrderFor(20001, "EURUSD", true, "1", 2, "1.07000"));
            EXPECT_FALSE(f.o.empty());
        }
        EXPECT_TRUE(until([&] {
            return (f.p.empty() || s.holds(f.p)) && (f.q.empty() || s.holds(f.q)) &&
                   (f.o.empty() || s.holdsOrder(f.o));
        })) << "the client never listed what the server made";
        return f;
    }

    static Sent send(Session& s, Kind kind, const Fresh& f) {
        interfaces::Orders& orders = s.client->orders();
        const auto dec = [](std::string_view t) { return interfaces::Decimal::fromString(t).value(); };
        interfaces::OrderTicket ticket;
        ticket.instrument = "EURUSD";
        ticket.account = 20001;
        ticket.side = interfaces::Side::Buy;
        ticket.quantity = dec("1");
        Sent out{kind, {}, {}, nullptr};
        switch (kind) {
        case Kind::Market:
            ticket.kind = interfaces::OrderKind::Market;
            out.result = orders.placeOrder(ticket);
            break;
        case Kind::Limit:
            ticket.kind = interfaces::OrderKind::Limit;
            ticket.price = dec("1.07000");
            out.result = orders.placeOrder(ticket);
            break;
        case Kind::MultiAccount: {
            ticket.kind = interfaces::OrderKind::Market;
            const interfaces::AccountQuantity accounts[] = {{20001, dec("1")}, {20003, dec("1")}};
            out.result = orders.placeMultiAccountOrder(ticket, accounts);
            break;
        }
        case Kind::Close:
            out.result = orders.closePosition(f.p, dec("1"));
            break;
        case Kind::PartClose:
            out.result = orders.closePosition(f.p, dec("0.4"));
            break;
        case Kind::CloseAllTicked:
        case Kind::CloseAllListed:
            out.listed = {f.p, f.q};
            out.result = orders.closeAllPositions(out.listed, kind == Kind::CloseAllTicked
                                                                  ? interfaces::CloseAllScope::Selected
                                                                  : interfaces::CloseAllScope::AllListed);
            break;
        case Kind::Offset: {
            const interfaces::OffsetLeg legs[] = {{f.q, dec("1")}};
            out.result = orders.offsetPosition(f.p, legs);
            break;
        }
        case Kind::TakeProfit: {
            const auto* item = s.lists().ItemCollection.get("EURUSD");
            out.result = orders.editPositionBrackets(f.p, (*item)->Bid + dec("0.01"), std::nullopt);
            break;
        }
        case Kind::EditOrder:
            out.result = orders.editPendingOrder(f.o, dec("1"), dec("1.06900"), std::nullopt, std::nullopt);
            break;
        case Kind::CancelOrder:
            out.result = orders.cancelPendingOrder(f.o);
            break;
        }
        return out;
    }

    // What one request must be told by the record: per part (a close-all's position, a multi-account
    // order's account, or "" for the request as a whole) done or refused with its code (0: any).
    struct Due {
        std::string part;
        bool done = true;
        int code = 0;
    };
    static std::vector<Due> dueOf(const Sent& x, std::vector<std::string>& problems) {
        std::vector<Due> due;
        const RecordedRequest& r = *x.record;
        const auto refusalCode = [&]() {
            for (const RecordedChange& c : r.changes)
                if (c.what == RecordedChange::What::Refused)
                    return c.code;
            return 0;
        };
        if (isCloseAll(x.kind)) {
            for (const std::string& p : x.listed) {
                Due d{p, false, 0};
                for (const RecordedChange& c : r.changes)
                    if (std::to_string(c.id) == p) {
                        if (c.what == RecordedChange::What::Refused)
                            d = {p, false, c.code};
                        else if (c.what == RecordedChange::What::Closed ||
                                 c.what == RecordedChange::What::Reduced)
                            d = {p, true, 0};
                    }
                due.push_back(d);
            }
            if (r.refused() && std::none_of(r.changes.begin(), r.changes.end(),
                                            [](const RecordedChange& c) { return c.id != 0; }))
                due = {{"", false, refusalCode()}};
            // A close-all of every position held closes, by its meaning, one opened in its accounts
            // and instruments since its list was read; one naming its positions closes only those.
            for (const RecordedChange& c : r.changes)
                if (x.kind == Kind::CloseAllTicked &&
                    (c.what == RecordedChange::What::Closed || c.what == RecordedChange::What::Reduced) &&
                    std::find(x.listed.begin(), x.listed.end(), std::to_string(c.id)) == x.listed.end())
                    problems.push_back("the server closed #" + std::to_string(c.id) +
                                       ", which it never listed");
            return due;
        }
        const bool whole = std::any_of(r.changes.begin(), r.changes.end(),
                                       [](const RecordedChange& c) { return c.account == 0; });
        if (x.kind == Kind::MultiAccount && !whole) {
            for (const char* account : {"20001", "20003"}) {
                Due d{account, false, 0};
                for (const RecordedChange& c : r.changes)
                    if (std::to_string(c.account) == account)
                        d = c.what == RecordedChange::What::Refused ? Due{account, false, c.code}
                                                                    : Due{account, true, 0};
                due.push_back(d);
            }
            return due;
        }
        due.push_back({"", !r.refused(), r.refused() ? refusalCode() : 0});
        return due;
    }

    static std::string partOf(const Sent& x, const interfaces::RequestAnswer& a) {
        if (isCloseAll(x.kind))
            return a.position;
        if (x.kind == Kind::MultiAccount)
            return a.account;
        return {};
    }

    void checkTold(const Row& row, std::vector<Sent>& sent, Session& s) {
        ASSERT_TRUE(bench->settle()) << "no ping answered";
        const auto expectedAnswers = [&] {
            std::size_t n = 0;
            std::vector<std::string> ignored;
            for (const Sent& x : sent)
                if (x.record)
                    n += dueOf(x, ignored).size();
            return n;
        };
        const auto toldOfRow = [&] {
            std::size_t n = 0;
            for (const auto& a : s.told)
                for (const Sent& x : sent)
                    n += x.result.sent() && a.request == x.result.request;
            return n;
        };
        // A request passed over for a report that closed its position is told that report once the
        // server has gone on answering for a while: the clock moves on, a ping a second.
        for (int i = 0; i < 5 && toldOfRow() < expectedAnswers(); ++i)
            bench->settle();
        const std::vector<std::string> banners = s.lateBanners();

        std::ostringstream report;
        std::vector<std::string> problems = judge(row, sent, s, banners, &report);
        if (!problems.empty()) {
            std::string all;
            for (const std::string& p : problems)
                all += "\n  - " + p;
            ADD_FAILURE() << row.name() << all << report.str();
        }
    }

    // What is wrong with what each request was told, against the record; the requests, what each was
    // told and the record go to `report`.
    static std::vector<std::string> judge(const Row& row, const std::vector<Sent>& sent, const Session& s,
                                          const std::vector<std::string>& banners, std::ostringstream* out) {
        std::ostringstream ignoredReport;
        std::ostringstream& report = out ? *out : ignoredReport;
        std::vector<std::string> problems;
        const auto unknown = notKnownParts(sent);
        for (std::size_t i = 0; i < sent.size(); ++i) {
            const Sent& x = sent[i];
            report << "\n  " << (i + 1) << ". " << nameOf(x.kind);
            if (!x.result.sent()) {
                report << ": not sent (" << x.result.refusalKey << " " << x.result.refusalText << ")";
                continue;
            }
            std::vector<const interfaces::RequestAnswer*> mine;
            for (const auto& a : s.told)
                if (a.request == x.result.request)
                    mine.push_back(&a);
            report << " (request " << x.result.request << "): told [";
            for (std::size_t k = 0; k < mine.size(); ++k)
                report << (k ? "; " : "") << answerText(*mine[k]);
            report << "] against the record [" << recordText(x.record) << "]";
            if (!x.record) {
                problems.push_back(std::string(nameOf(x.kind)) + " has no record");
                continue;
            }
            const bool givenUp = static_cast<int>(i) == row.givenUp;
            std::vector<std::string> own;
            for (const Due& d : dueOf(x, own)) {
                std::vector<const interfaces::RequestAnswer*> of;
                for (const auto* a : mine)
                    if (partOf(x, *a) == d.part)
                        of.push_back(a);
                const std::string what = std::string(nameOf(x.kind)) + (d.part.empty() ? "" : " #" + d.part);
                if (of.empty()) {
                    problems.push_back(what + " left waiting");
                    continue;
                }
                if (of.size() > 1)
                    problems.push_back(what + " told " + std::to_string(of.size()) + " times");
                const interfaces::RequestAnswer& a = *of.front();
                if (a.late != givenUp)
                    problems.push_back(what + (givenUp ? " not told as late" : " told as late"));
                if (const auto like = unknown.find(d.part); like != unknown.end()) {
                    checkKnown(what, a, like->second, problems);
                    continue;
                }
                if (!a.known)
                    problems.push_back(what + " told not known, though the server's reports tell it");
                else if (a.accepted != d.done)
                    problems.push_back(what + (d.done ? " told refused, though carried out"
                                                      : " told done, though not carried out"));
                else if (!d.done && d.code != 0 &&
                         (a.code != std::to_string(d.code) || a.reason != reasonOf(d.code)))
                    problems.push_back(what + " told the wrong reason");
            }
            for (const auto* a : mine) {
                const std::string part = partOf(x, *a);
                std::vector<std::string> ignored;
                const auto due = dueOf(x, ignored);
                if (std::none_of(due.begin(), due.end(), [&](const Due& d) { return d.part == part; }))
                    problems.push_back(std::string(nameOf(x.kind)) + " told of " +
                                       (part.empty() ? "the whole request" : part) +
                                       ", which it did not wait for");
            }
            problems.insert(problems.end(), own.begin(), own.end());
            if (givenUp)
                checkBanner(x, banners, unknown, problems);
        }
        if (row.givenUp < 0 && !banners.empty())
            problems.push_back("a late banner, though none was given up");
        for (const auto& a : s.told)
            if (std::none_of(sent.begin(), sent.end(),
                             [&](const Sent& x) { return x.result.sent() && x.result.request == a.request; }))
                problems.push_back("request " + std::to_string(a.request) + " of another row told " +
                                   answerText(a));
        for (const std::string& b : banners)
            report << "\n  late banner: " << b;
        return problems;
    }

    // Two requests of one kind sent in one pass are alike on the wire: a part (a close-all's position,
    // an account, or the whole) the server did not do alike to both can be told to neither. Each such
    // part with the two dues.
    static std::map<std::string, std::vector<Due>> notKnownParts(const std::vector<Sent>& sent) {
        std::map<std::string, std::vector<Due>> parts;
        if (sent.size() != 2 || sent[0].kind != sent[1].kind || !sent[0].record || !sent[1].record)
            return parts;
        std::vector<std::string> ignored;
        const auto first = dueOf(sent[0], ignored), second = dueOf(sent[1], ignored);
        for (const Due& a : first)
            for (const Due& b : second)
                if (a.part == b.part && (a.done != b.done || (!a.done && a.code != b.code)))
                    parts[a.part] = {a, b};
        return parts;
    }

    // Not known, with what the server did to the two: how many it carried out, and each refusal's reason.
    static void checkKnown(const std::string& what, const interfaces::RequestAnswer& a,
                           const std::vector<Due>& both, std::vector<std::string>& problems) {
        if (a.known) {
            problems.push_back(what + " told " + (a.accepted ? "done" : "refused") +
                               ", though the server did not do alike to it and its like");
            return;
        }
        const auto carried = std::count_if(both.begin(), both.end(), [](const Due& d) { return d.done; });
        // Of close-alls, a position one of them closed is closed whichever did.
        if (!a.position.empty() && carried > 0) {
            const auto closed = filled("97602", a.whatIsKnown);
            if (!a.closedByOne || !closed || closed->size() != 2 || (*closed)[0] != a.position)
                problems.push_back(what + " not told its position closed for one of the 2");
            return;
        }
        const auto parts = filled("97601", a.whatIsKnown);
        if (!parts || parts->size() != 4 || (*parts)[0] != std::to_string(carried) || (*parts)[1] != "2") {
            problems.push_back(what + " not told that the server carried out " + std::to_string(carried) +
                               " of the 2");
            return;
        }
        for (const Due& d : both)
            if (!d.done && (*parts)[2].find(reasonOf(d.code == 0 ? 15 : d.code)) == std::string::npos)
                problems.push_back(what + " not told the refusal's reason");
    }

    static void checkBanner(const Sent& x, const std::vector<std::string>& banners,
                            const std::map<std::string, std::vector<Due>>& unknown,
                            std::vector<std::string>& problems) {
        if (banners.size() != 1) {
            problems.push_back(std::to_string(banners.size()) + " late banners for the one given up");
            return;
        }
        const std::string& b = banners.front();
        std::vector<std::string> ignored;
        const auto due = dueOf(x, ignored);
        if (!unknown.empty()) {
            if (!isCloseAll(x.kind) || (due.size() == 1 && due[0].part.empty())) {
                if (!filled("97608", b))
                    problems.push_back("the late banner does not say the outcome is not known");
                return;
            }
            // Closed for certain: by this request, or by either where one of the two closed it.
            std::size_t closed = 0;
            bool allClosed = true;
            for (const Due& d : due) {
                const auto part = unknown.find(d.part);
                const bool byOne =
                    part != unknown.end() && std::any_of(part->second.begin(), part->second.end(),
                                                         [](const Due& e) { return e.done; });
                allClosed = allClosed && (part == unknown.end() || byOne);
                closed += part == unknown.end() ? d.done : byOne;
            }
            const auto parts = filled(allClosed ? "98001" : "97609", b);
            if (!parts || parts->size() < 3 || (*parts)[1] != std::to_string(closed))
                problems.push_back("the late banner does not say " + std::to_string(closed) +
                                   " closed for certain and the others not known");
            return;
        }
        const bool allDone = std::all_of(due.begin(), due.end(), [](const Due& d) { return d.done; });
        const bool noneDone = std::none_of(due.begin(), due.end(), [](const Due& d) { return d.done; });
        if (allDone) {
            if (!filled("94162", b))
                problems.push_back("the late banner does not say carried out");
            return;
        }
        if (isCloseAll(x.kind) && !(due.size() == 1 && due[0].part.empty())) {
            const auto parts = filled("95780", b);
            std::size_t closed = 0;
            for (const Due& d : due)
                closed += d.done;
            if (!parts || parts->size() < 3 || (*parts)[1] != std::to_string(closed))
                problems.push_back("the late banner does not say " + std::to_string(closed) + " of " +
                                   std::to_string(due.size()) + " closed");
            return;
        }
        const auto parts = filled("94163", b);
        if (!noneDone || !parts || parts->size() < 2)
            problems.push_back("the late banner does not say refused");
        else if (due.size() == 1 && due[0].code != 0 && (*parts)[1] != reasonOf(due[0].code))
            problems.push_back("the late banner gives the wrong reason");
    }

    // The line was lost before the answers: the alert named each request once, none is told a thing
    // afterwards, and the next sign-in's lists hold what the server did.
    void checkLost(const Row& row, std::vector<Sent>& sent, const std::vector<std::string>& alert,
                   Session& lost) {
        Session& now = *bench->session;
        std::vector<std::string> problems;
        std::size_t went = 0;
        for (const Sent& x : sent)
            went += x.result.sent();
        if (alert.size() != went)
            problems.push_back("the loss alert names " + std::to_string(alert.size()) + " requests of " +
                               std::to_string(went));
        // What the record changed, as the new sign-in must list it.
        const auto listed = [&] {
            for (const Sent& x : sent) {
                if (!x.record)
                    continue;
                for (const RecordedChange& c : x.record->changes) {
                    const std::string id = std::to_string(c.id);
                    switch (c.what) {
                    case RecordedChange::What::Opened:
                    case RecordedChange::What::Reduced:
                        if (!now.holds(id) && bench->server->book().with([&](const testserver::Books& b) {
                                return std::any_of(
                                    b.positions.begin(), b.positions.end(),
                                    [&](const auto& p) { return std::to_string(p.positionId) == id; });
                            }))
                            return false;
                        break;
                    case RecordedChange::What::Closed:
                        if (now.holds(id))
                            return false;
                        break;
                    case RecordedChange::What::Cancelled:
                        if (now.holdsOrder(id))
                            return false;
                        break;
                    default:
                        break;
                    }
                }
            }
            return true;
        };
        if (!until(listed))
            problems.push_back("the new sign-in's lists do not hold what the server did");
        drain();
        if (!lost.told.empty())
            problems.push_back("the lost session told " + answerText(lost.told.front()));
        if (!now.told.empty())
            problems.push_back("the new session told " + answerText(now.told.front()));
        if (!problems.empty()) {
            std::ostringstream report;
            for (std::size_t i = 0; i < sent.size(); ++i)
                report << "\n  " << (i + 1) << ". " << nameOf(sent[i].kind) << ": record ["
                       << recordText(sent[i].record) << "]";
            for (const std::string& a : alert)
                report << "\n  alert: " << a;
            std::string all;
            for (const std::string& p : problems)
                all += "\n  - " + p;
            ADD_FAILURE() << row.name() << all << report.str();
        }
    }

    // The row's positions and orders go, and the client hears of it before the next row; false when
    // the client's lists do not follow.
    bool clear() {
        testserver::TestServer& server = *bench->server;
        server.clearAccount(20001);
        server.clearAccount(20003);
        Session& s = *bench->session;
        const bool flat = until([&] {
            for (const auto& p : s.lists().OpenOrderCollection)
                if (p && (p->AccountNumber == "20001" || p->AccountNumber == "20003"))
                    return false;
            for (const auto& o : s.lists().PendingOrderCollection)
                if (o && (o->AccountNumber == "20001" || o->AccountNumber == "20003"))
                    return false;
            return true;
        });
        return flat && (!bench->manualClock || bench->settle());
    }
};

TEST_P(AnswerTable, EachRequestIsToldWhatTheServerDid) {
    run(GetParam());
}

std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name();
}

INSTANTIATE_TEST_SUITE_P(InOrder, AnswerTable, ::testing::ValuesIn(pairs(false)), rowName);
INSTANTIATE_TEST_SUITE_P(Reversed, AnswerTable, ::testing::ValuesIn(pairs(true)), rowName);
INSTANTIATE_TEST_SUITE_P(Triples, AnswerTable, ::testing::ValuesIn(triples()), rowName);
INSTANTIATE_TEST_SUITE_P(LineLostInOrder, AnswerTable, ::testing::ValuesIn(lostRows(false)), rowName);
INSTANTIATE_TEST_SUITE_P(LineLostReversed, AnswerTable, ::testing::ValuesIn(lostRows(true)), rowName);

} // namespace
