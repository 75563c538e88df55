// The server's side of the wire, driven over real loopback sockets by a client written on OpenSSL,
// zlib and libzmq directly.
#include "testserver/server_peer.h"

#include "market.h"
#include "model/records/financial_approval.h"
#include "model/records/record_decimal.h"
#include "model/records/wall_time.h"
#include "test_server.h"
#include "wire/envelope_key.h"
#include "wire/envelope_opener.h"
#include "wire/message_base.h"
#include "wire/record_text.h"
#include "wire/stream_deframer.h"

#include <gtest/gtest.h>
#include <zmq.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

namespace {

using namespace tc;
using testing_support::wireText;
using namespace std::chrono_literals;

std::size_t records(std::string_view section) {
    std::size_t n = 0;
    for (const auto& r : peer::split(section, '\x06'))
        n += r.empty() ? 0 : 1;
    return n;
}

void expectLengthField(const peer::Frame& f) {
    EXPECT_EQ(f.length, std::to_string(peer::utf16Units(f.bodyText))) << "type " << f.type();
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { startServer({}); }
    void TearDown() override { server_->stop(); }

    void startServer(testserver::ServerOptions options) {
        if (server_)
            server_->stop();
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        options.port = options.feedPort = options.dataPort = 0;
        options.seed = 7;
        if (options.rate == testserver::kDefaultRate)
            options.rate = 500;
        server_ = std::make_unique<testserver::TestServer>(std::move(*market.market));
        ports_ = server_->start(options);
        productKey_ = peer::shippedProductKey();
        ASSERT_FALSE(productKey_.empty());
    }

    struct Session {
        std::string reference;
        std::string time;
        std::string key;
        std::string snapshot;
    };

    // Sends the sealed login and reads the snapshot (33) and the completion (18).
    Session login(peer::StreamClient& client, const std::string& user, const std::string& password,
                  bool sealedReply = false) {
        Session s;
        EXPECT_TRUE(client.send(peer::seal(peer::frame(peer::loginBody(user, password)), productKey_, true)));
        auto got = client.read(2);
        EXPECT_EQ(got.size(), 2u);
        if (got.size() < 2)
            return s;
        peer::Frame snapshot = got[0];
        if (sealedReply) {
            EXPECT_EQ(got[0].type(), 76);
            auto opened = peer::open(got[0].at(27), productKey_);
            EXPECT_TRUE(opened);
            auto inner = peer::frames(opened.value_or(""));
            EXPECT_EQ(inner.size(), 1u);
            if (inner.empty())
                return s;
            snapshot = inner[0];
        }
        expectLengthField(snapshot);
        EXPECT_EQ(snapshot.type(), 33);
        EXPECT_EQ(snapshot.at(160), "AMP");
        s.reference = snapshot.at(19);
        s.time = snapshot.at(21);
        EXPECT_TRUE(std::regex_match(s.time, std::regex("[0-9]{14}")));
        auto text = peer::decompress(snapshot.at(1050));
        EXPECT_TRUE(text);
        s.snapshot = text.value_or("");
        s.key = peer::sessionKey(user, password, s.reference, s.time);

        // The completion comes sealed under the session key, and only that key opens it.
        expectLengthField(got[1]);
        EXPECT_EQ(got[1].type(), 76);
        // A wrong key may still meet valid padding by chance (1 in 256): it must not give the message.
        const auto wrong = peer::open(got[1].at(27), productKey_);
        EXPECT_TRUE(!wrong || peer::frames(*wrong).empty() || peer::frames(*wrong)[0].type() != 18);
        auto opened = peer::open(got[1].at(27), s.key);
        EXPECT_TRUE(opened);
        auto inner = peer::frames(opened.value_or(""));
        EXPECT_EQ(inner.size(), 1u);
        if (!inner.empty()) {
            expectLengthField(inner[0]);
            EXPECT_EQ(inner[0].type(), 18);
        }
        return s;
    }

    std::unique_ptr<testserver::TestServer> server_;
    testserver::ServerPorts ports_;
    std::string productKey_;
};

TEST_F(ServerTest, LoginAnswersSnapshotWithPortsAndUserAccountsThenCompletion) {
    peer::StreamClient client(ports_.stream);
    ASSERT_TRUE(client.connected());
    const Session s = login(client, "demo", "demo1234");
    const auto sections = peer::split(s.snapshot, '\x07');
    ASSERT_EQ(sections.size(), 22u);
    const auto user = peer::split(peer::split(sections[0], '\x06')[0], '\x05');
    ASSERT_GE(user.size(), 16u);
    EXPECT_EQ(user[0], "1001");
    EXPECT_EQ(user[2], s.reference);
    EXPECT_EQ(user[11], std::to_string(ports_.feed));
    EXPECT_EQ(user[12], std::to_string(ports_.data));
    EXPECT_EQ(records(sections[4]), 14u);
    EXPECT_EQ(records(sections[5]), 2u);
    EXPECT_EQ(records(sections[6]), 28u); // every instrument in both groups
    EXPECT_EQ(records(sections[8]), 3u);  // demo's accounts only
    EXPECT_EQ(records(sections[21]), 2u);
    EXPECT_EQ(server_->stats().logins, 1);
}

TEST_F(ServerTest, ProjectCodecReadsWhatThePeerReads) {
    peer::StreamClient client(ports_.stream);
    const Session s = login(client, "trader", "trader1234");
    EXPECT_EQ(GenerateNewEncryptionKey("trader", "trader1234", s.reference, s.time), s.key);
    // The raw stream holds the plain snapshot and the sealed completion.
    const auto frames = peer::frames(client.raw());
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(decompressedPayloadOfField("1050=" + frames[0].at(1050)), s.snapshot);
    auto inner = openEncryptedEnvelope(frames[1].at(27), s.key);
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner, peer::open(frames[1].at(27), s.key));
    MessageBase message;
    StreamDeframer deframer;
    const auto cut = deframer.feed(*inner);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(message.loadFrame(cut[0]), 18);
}

TEST_F(ServerTest, SecondUserGetsOwnAccountsAndReferenceIdsDiffer) {
    peer::StreamClient a(ports_.stream), b(ports_.stream);
    const Session sa = login(a, "demo", "demo1234");
    const Session sb = login(b, "trader", "trader1234");
    EXPECT_NE(sa.reference, sb.reference);
    EXPECT_NE(sa.key, sb.key);
    const auto sections = peer::split(sb.snapshot, '\x07');
    ASSERT_EQ(sections.size(), 22u);
    ASSERT_EQ(records(sections[8]), 1u);
    EXPECT_EQ(peer::split(sections[8], '\x05')[0], "20011");
}

TEST_F(ServerTest, SealedLoginReplyOpensWithTheProductKey) {
    testserver::ServerOptions options;
    options.sealLoginReplies = true;
    startServer(options);
    peer::StreamClient client(ports_.stream);
    const Session s = login(client, "demo", "demo1234", true);
    EXPECT_EQ(peer::split(s.snapshot, '\x07').size(), 22u);
}

TEST_F(ServerTest, RefusalsCarryTheLoginMessageRecordAndNoCompletion) {
    struct Case {
        std::string user, password;
        int code;
    };
    for (const Case& c : {Case{"demo", "wrong", 1}, Case{"nobody", "demo1234", 1}, Case{"", "", 1},
                          Case{"suspended", "suspended1234", 10}, Case{"locked", "locked1234", 11}}) {
        SCOPED_TRACE(c.user + "/" + c.password);
        peer::StreamClient client(ports_.stream);
        ASSERT_TRUE(
            client.send(peer::seal(peer::frame(peer::loginBody(c.user, c.password)), productKey_, true)));
        auto got = client.read(1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_TRUE(client.read(1, 200ms).empty()); // no completion follows
        expectLengthField(got[0]);
        EXPECT_EQ(got[0].type(), 47);
        EXPECT_EQ(got[0].at(160), "AMP");
        auto text = peer::decompress(got[0].at(1050));
        ASSERT_TRUE(text);
        const auto sections = peer::split(*text, '\x07');
        ASSERT_EQ(sections.size(), 17u);
        const auto record = peer::split(peer::split(sections[16], '\x06')[0], '\x05');
        ASSERT_EQ(record.size(), 3u);
        EXPECT_EQ(record[2], std::to_string(c.code));
        EXPECT_FALSE(record[1].empty());
    }
    EXPECT_EQ(server_->stats().refusals, 5);
    EXPECT_EQ(server_->stats().logins, 0);
}

TEST_F(ServerTest, DemoRegistrationHandsOutAUserWhoThenSignsInWithTheDepositAsBalance) {
    auto registration = [&](const std::string& name, const std::string& email, const std::string& deposit) {
        peer::StreamClient client(ports_.stream);
        EXPECT_TRUE(client.send(peer::seal(peer::frame(peer::body({{10, "1026"},
                                                                   {1152, email},
                                                                   {1033, "Trade"},
                                                                   {564, deposit},
                                                                   {1132, "Nepal"},
                                                                   {1137, "+977 1"},
                                                                   {1138, "1"},
                                                                   {1139, name},
                                                                   {1140, "Tradeclient"},
                                                                   {20, "1"},
                                                                   {19, "1"}})),
                                           productKey_, true)));
        auto got = client.read(1);
        EXPECT_EQ(got.size(), 1u);
        return got.empty() ? peer::Frame{} : got[0];
    };

    // A slot not handed out yet does not sign in, whatever its password.
    peer::StreamClient early(ports_.stream);
    ASSERT_TRUE(early.send(peer::seal(peer::frame(peer::loginBody("demo2001", "x")), productKey_, true)));
    ASSERT_EQ(early.read(1).at(0).type(), 47);

    const peer::Frame first = registration("Ann Example", "ann@example.org", "25000");
    ASSERT_EQ(first.type(), 1027);
    const std::string user = first.at(23), password = first.at(18);
    EXPECT_EQ(user, "demo2001");
    EXPECT_EQ(password.size(), 8u);
    const peer::Frame second = registration("Bob Example", "bob@example.org", "not a number");
    EXPECT_EQ(second.at(23), "demo2002");
    EXPECT_NE(second.at(18), password);

    // The new user signs in to one account whose balance is the deposit asked for.
    peer::StreamClient client(ports_.stream);
    const Session s = login(client, user, password);
    const auto sections = peer::split(s.snapshot, '\x07');
    ASSERT_EQ(sections.size(), 22u);
    EXPECT_EQ(records(sections[8]), 1u);
    EXPECT_NE(sections[8].find("\x05"
                               "25000\x05"),
              std::string::npos);

    // An incomplete form, and one past the number of users there are, get a reply without a user.
    const peer::Frame incomplete = registration("", "nobody@example.org", "5000");
    EXPECT_EQ(incomplete.type(), 1027);
    EXPECT_EQ(incomplete.at(23), "<missing>");
    EXPECT_EQ(incomplete.at(18), "<missing>");
    EXPECT_EQ(registration("No Mail", "no-at-sign", "5000").at(23), "<missing>");
    for (std::size_t i = 2; i < testserver::kRegistrationSlots; ++i)
        ASSERT_EQ(registration("Many", "many@example.org", "5000").at(23).rfind("demo", 0), 0u);
    EXPECT_EQ(registration("One Too Many", "late@example.org", "5000").at(23), "<missing>");
    EXPECT_EQ(server_->stats().demoRegistrations, static_cast<int>(testserver::kRegistrationSlots));
}

TEST_F(ServerTest, DemoRegistrationCountsCharactersAsTheFormAndNamesTheFieldItRefuses) {
    auto registration = [&](std::map<int, std::string> changed) {
        std::map<int, std::string> form{{10, "1026"},
                                        {1152, "ann@example.org"},
                                        {1033, "Trade"},
                                        {564, "5000"},
                                        {1132, "Nepal"},
                                        {1137, "+977 1"},
                                        {1138, "1"},
                                        {1139, "Ann Example"},
                                        {1140, "Tradeclient"},
                                        {20, "1"},
                                        {19, "1"}};
        for (auto& [tag, value] : changed)
            form[tag] = value;
        const peer::Fields fields(form.begin(), form.end());
        peer::StreamClient client(ports_.stream);
        EXPECT_TRUE(client.send(peer::seal(peer::frame(peer::body(fields)), productKey_, true)));
        auto got = client.read(1);
        EXPECT_EQ(got.size(), 1u);
        return got.empty() ? peer::Frame{} : got[0];
    };
    std::string devanagari;
    for (int i = 0; i < 256; ++i)
        devanagari += "\u0915"; // three bytes each
    // 256 characters, as many as the form takes, whatever their bytes.
    const peer::Frame taken = registration({{1139, devanagari}});
    EXPECT_EQ(taken.at(23).rfind("demo", 0), 0u);
    EXPECT_EQ(taken.at(74), "<missing>");

    // A refusal names the field the server did not take.
    const auto refusedWith = [&](std::map<int, std::string> changed) {
        const peer::Frame reply = registration(std::move(changed));
        EXPECT_EQ(reply.at(23), "<missing>");
        return reply.at(74);
    };
    EXPECT_EQ(refusedWith({{1139, devanagari + "\u0915"}}), "1");
    EXPECT_EQ(refusedWith({{1139, ""}}), "1");
    EXPECT_EQ(refusedWith({{1152, "no-at-sign"}}), "2");
    EXPECT_EQ(refusedWith({{1137, std::string(257, '1')}}), "3");
    EXPECT_EQ(refusedWith({{1132, std::string(257, 'N')}}), "4");
    EXPECT_EQ(refusedWith({{1140, std::string(257, 'T')}}), "5");
    EXPECT_EQ(server_->stats().demoRegistrations, 1);
}

TEST_F(ServerTest, PingIsAnsweredSealedWithItsRequestNumberAndServerTime) {
    peer::StreamClient client(ports_.stream);
    const Session s = login(client, "demo", "demo1234");
    ASSERT_TRUE(client.send(
        peer::seal(peer::frame(wireText("10=1018<F>20=5<F>21=20240102030405<F>")), s.key, false)));
    auto got = client.read(1);
    ASSERT_EQ(got.size(), 1u);
    expectLengthField(got[0]);
    ASSERT_EQ(got[0].type(), 76);
    auto inner = peer::frames(peer::open(got[0].at(27), s.key).value_or(""));
    ASSERT_EQ(inner.size(), 1u);
    expectLengthField(inner[0]);
    EXPECT_EQ(inner[0].type(), 1019);
    EXPECT_EQ(inner[0].at(20), "5");
    EXPECT_TRUE(std::regex_match(inner[0].at(21), std::regex("[0-9]{14}")));
}

TEST_F(ServerTest, PingBeforeLoginOrUnderAWrongKeyGetsNoAnswer) {
    peer::StreamClient client(ports_.stream);
    ASSERT_TRUE(client.send(
        peer::seal(peer::frame(wireText("10=1018<F>20=1<F>21=20240102030405<F>")), productKey_, false)));
    ASSERT_TRUE(client.send(peer::seal(peer::frame(wireText("10=1018<F>20=2<F>")), "not the key", false)));
    ASSERT_TRUE(client.send(peer::frame(wireText("10=1018<F>20=3<F>")))); // plain: never acted on
    EXPECT_TRUE(server_->waitFor([](const auto& s) { return s.unreadableFrames >= 2; }, 10s));
    EXPECT_TRUE(client.read(1, 200ms).empty());
    EXPECT_EQ(server_->stats().pings, 0);
    // The stream is still good for a login afterwards.
    login(client, "demo", "demo1234");
}

std::string dsRequest(std::string_view procedure, int requestId) {
    return peer::frame(peer::body(peer::fields("10=1023|151=" + std::string(procedure) +
                                               "|152=1000|153=1|20=" + std::to_string(requestId) +
                                               "|115=1001|23=demo|19=7001|21=20240102030405")));
}

TEST_F(ServerTest, DataServiceAnswersChartKeepAliveAndGarbage) {
    peer::Zmq req(ZMQ_REQ, ports_.data);
    ASSERT_TRUE(req.send(peer::frame(
        peer::body(peer::fields("10=1040|12=USDJPY|83=O|20=42|1025=50|23=demo|19=7001|21=20240102030405")))));
    auto reply = req.receive(5s);
    ASSERT_TRUE(reply);
    auto f = peer::frames(*reply);
    ASSERT_EQ(f.size(), 1u);
    expectLengthField(f[0]);
    EXPECT_EQ(f[0].type(), 1041);
    EXPECT_EQ(f[0].at(20), "42");
    const std::string chart = f[0].at(17);
    const auto close = chart.find('>');
    ASSERT_NE(close, std::string::npos);
    EXPECT_EQ(peer::split(chart.substr(1, close - 1), '~').at(1), "USDJPY^O");
    const std::string columns = chart.substr(close + 1, chart.rfind("<END>") - close - 1);
    const auto cols = peer::split(columns, '#');
    ASSERT_EQ(cols.size(), 6u);
    for (const auto& c : cols)
        EXPECT_EQ(peer::split(c, ',').size(), 50u);

    ASSERT_TRUE(req.send(peer::frame(wireText("10=1002<F>23=demo<F>19=7001<F>21=20240102030405<F>"))));
    reply = req.receive(5s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(peer::frames(*reply).at(0).type(), 1002);

    // Not a frame: the answer is empty, and the socket goes on answering.
    ASSERT_TRUE(req.send("garbage"));
    reply = req.receive(5s);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->empty());
    ASSERT_TRUE(req.send(dsRequest("getopenpositions", 9)));
    EXPECT_TRUE(req.receive(5s));
    EXPECT_EQ(server_->stats().keepAlives, 1);
    EXPECT_EQ(server_->stats().chartRequests, 1);
}

TEST_F(ServerTest, SilentDataServiceHoldsTheRequestUntilReleased) {
    server_->setDataServiceSilent(true);
    peer::Zmq req(ZMQ_REQ, ports_.data);
    ASSERT_TRUE(req.send(dsRequest("getopenpositions", 1)));
    EXPECT_FALSE(req.receive(300ms));
    server_->setDataServiceSilent(false);
    EXPECT_TRUE(req.receive(5s));
}

TEST_F(ServerTest, EveryTimeSentComesFromTheSetClock) {
    testserver::ServerOptions options;
    options.clockFrom = wallTimeFromWire("20270328020100");
    startServer(options);
    peer::StreamClient client(ports_.stream);
    const Session s = login(client, "demo", "demo1234");
    server_->placeOrderFor(20001, "EURUSD", true, "1");
    server_->clearAccount(20001);
    server_->sendNotice("demo", "Maintenance", "Back at six");
    server_->sendChatAs("trader", "demo", "Hello");
    const funding::FinancialApproval deposit{.beneficiaryAccount = 20001,
                                             .requestedAmount = decimalFromDouble(100),
                                             .financialTransactionTypeId =
                                                 funding::FinancialApproval::kDeposit,
                                             .transferMode = 2};
    ASSERT_TRUE(client.send(
        peer::seal(peer::frame(peer::body(peer::Fields{
                       {10, "693"}, {1063, "1"}, {1035, "801"}, {1059, deposit.getString(0).text}})),
                   s.key, false)));

    // A fill, a settlement, the notice (its room "N..."), the chat line (room "R...") and the approved
    // deposit; every time in them still in the minute the clock started at, as the run takes seconds.
    std::set<std::string> missing{"67", "66", "603 N", "603 R", "694 930"};
    const std::function<void(const peer::Frame&)> take = [&](const peer::Frame& f) {
        for (const auto& report :
             peer::frames(f.type() == 105 ? peer::decompress(f.at(1050)).value_or("") : ""))
            take(report);
        missing.erase(std::to_string(f.type()) + (f.type() == 603 ? " " + f.at(502).substr(0, 1) : "") +
                      (f.type() == 694 ? " " + f.at(1035) : ""));
        for (int tag : {21, 78, 1058})
            if (f.fields.contains(tag)) {
                EXPECT_EQ(f.at(tag).substr(0, 12), "202703280201") << f.type() << ", tag " << tag;
            }
    };
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!missing.empty() && std::chrono::steady_clock::now() < deadline)
        for (const auto& outer : client.read(1, 200ms))
            for (const auto& f : peer::frames(peer::open(outer.at(27), s.key).value_or("")))
                take(f);
    EXPECT_TRUE(missing.empty()) << *missing.begin();

    // The deposit's row in the funding history, asked for the clock's day.
    peer::Zmq req(ZMQ_REQ, ports_.data);
    ASSERT_TRUE(req.send(peer::frame(peer::body(
        peer::fields("10=1023|151=getfinancialtransactions|152=1000|153=1|20=1|34=20001|575=20270328000000|"
                     "576=20270328235959|115=1001|23=demo|19=7001|21=20270328020100")))));
    const auto reply = req.receive(5s);
    ASSERT_TRUE(reply);
    const auto row = peer::split(peer::split(peer::frames(*reply).at(0).at(159), '\x06').at(0), '\x05');
    ASSERT_GE(row.size(), 10u) << "no funding row on the clock's day";
    EXPECT_EQ(row[9].substr(0, 12), "202703280201");
}

TEST(ServerStart, RefusesAHostThatIsNoIPv4AddressAndABusyPort) {
    auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(market.market);
    testserver::TestServer first(*market.market), second(*market.market);
    testserver::ServerOptions options;
    options.port = options.feedPort = options.dataPort = 0;
    options.host = "not-a-host";
    EXPECT_THROW(first.start(options), testserver::ServerError);
    options.host = "127.0.0.1";
    const auto ports = first.start(options);
    options.port = ports.stream;
    EXPECT_THROW(second.start(options), testserver::ServerError);
    options.port = 0;
    options.dataPort = ports.data;
    EXPECT_THROW(second.start(options), testserver::ServerError);
    EXPECT_FALSE(second.running());
}

#ifdef TC_TESTSERVER_BINARY
TEST(ServerProgram, PrintsTheListeningLineAndStopsOnSigterm) {
    if (::access(TC_TESTSERVER_BINARY, X_OK) != 0)
        GTEST_SKIP() << "no " << TC_TESTSERVER_BINARY;
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const char* argv[] = {TC_TESTSERVER_BINARY,
                          "--port",
                          "0",
                          "--feed-port",
                          "0",
                          "--data-port",
                          "0",
                          "--news-port",
                          "0",
                          "--news-http-port",
                          "0",
                          "--rate",
                          "5",
                          nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TC_TESTSERVER_BINARY, &actions, nullptr, const_cast<char**>(argv), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    std::string line;
    char c = 0;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1)
        line.push_back(c);
    std::smatch m;
    const bool matched = std::regex_match(
        line, m,
        std::regex(
            "listening stream=([0-9]+) feed=([0-9]+) data=([0-9]+) news=([0-9]+) news-http=([0-9]+)\n"));
    EXPECT_TRUE(matched) << line;
    if (matched) {
        peer::StreamClient client(std::stoi(m[1]));
        EXPECT_TRUE(client.connected());
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string rest;
    while (::read(out[0], &c, 1) == 1)
        rest.push_back(c);
    EXPECT_EQ(rest, "") << "exactly one line on standard output";
    ::close(out[0]);
}

TEST(ServerProgram, RefusesABadCommandLine) {
    if (::access(TC_TESTSERVER_BINARY, X_OK) != 0)
        GTEST_SKIP() << "no " << TC_TESTSERVER_BINARY;
    const char* argv[] = {TC_TESTSERVER_BINARY, "--port", "70000", nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, TC_TESTSERVER_BINARY, nullptr, nullptr, const_cast<char**>(argv), environ),
              0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}
#endif

} // namespace
