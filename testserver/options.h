#pragma once
// The server's settings and its command line:
//   trade-testserver [--host 127.0.0.1] [--port N] [--feed-port N] [--data-port N] [--market FILE]
//                    [--rate QUOTES_PER_SECOND] [--seed N] [--snapshot amp|xml]
//                    [--news-port N] [--news-http-port N] [--closed-market CODE ...] [--hold-orders]
//                    [--clock yyyyMMddHHmmss]
#include "model/records/wall_time.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

// The simulation entry of the shipped login property list names 127.0.0.1:5100; the feed and the
// data service sit on the next two ports.
inline constexpr std::string_view kDefaultHost = "127.0.0.1";
inline constexpr int kDefaultStreamPort = 5100;
inline constexpr int kDefaultFeedPort = 5101;
inline constexpr int kDefaultDataPort = 5102;
// The news feed's web service (HTTPS, and plain HTTP), as the simulation entry names it.
inline constexpr int kDefaultNewsPort = 5103;
inline constexpr int kDefaultNewsHttpPort = 5104;
inline constexpr double kDefaultRate = 20.0;
inline constexpr double kMaxRate = 100000.0;

// The form of the login snapshot (type 33, tag 160): fields by position, or an XML data set.
enum class SnapshotForm { Amp, Xml };

struct ServerOptions {
    std::string host{kDefaultHost};
    int port = kDefaultStreamPort; // 0: any free port
    int feedPort = kDefaultFeedPort;
    int dataPort = kDefaultDataPort;
    // The news feed's web service over HTTPS and HTTP: -1 serves no news (what tests that need none
    // keep), 0 any free port; the command line defaults to kDefaultNewsPort and kDefaultNewsHttpPort.
    int newsPort = -1;
    int newsHttpPort = -1;
    std::filesystem::path market; // empty: the default market file
    double rate = kDefaultRate;   // quotes per second over all instruments; 0 stops the feed
    std::uint64_t seed = 1;
    // Instruments (by code) whose market starts closed: orders and closes of them are refused, as
    // TestServer::setMarketOpen does in-process.
    std::vector<std::string> closedMarkets;
    // Order requests kept unanswered from the start, as TestServer::holdOrders keeps them; the
    // program answers the kept ones on SIGUSR1 in the order they came, on SIGUSR2 in the reverse
    // order (a server taking them out of order), so a late or reordered answer can be tried by hand.
    bool holdOrders = false;
    // Seal the login reply (33) and the refusal (47) in an envelope under the product key, as every
    // later stream reply is sealed under the session key. Off: they go plain, compressed only.
    bool sealLoginReplies = false;
    // Envelope key of the initial requests; empty: the configured key of the login property list. An
    // initial request that does not open under it is refused.
    std::string productKey;
    SnapshotForm snapshotForm = SnapshotForm::Amp;
    // Several reports for one user from one request go as one compressed message (type 105).
    bool compressBursts = true;
    // The server's clock, which every time it sends is read from: these fields when the server starts,
    // run on by the computer's monotonic clock, no zone applied (so an hour a zone skips can be told).
    // None: the computer's clock.
    std::optional<tc::WallTime> clockFrom;
};

struct CommandLine {
    std::optional<ServerOptions> options; // set when the line parsed and the server should run
    bool help = false;                    // --help: print usage() and exit 0
    std::string error;                    // set when the line is refused
};

CommandLine parseCommandLine(std::span<const std::string_view> args);
std::string usage();

// The market file used when --market is not given.
std::filesystem::path defaultMarketPath();

} // namespace testserver
