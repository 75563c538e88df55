#include "options.h"

#include "platform/bundle.h"

#include <charconv>
#include <cstdlib>

namespace testserver {

namespace {

template <typename T>
bool parseNumber(std::string_view text, T& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc{} && end == text.data() + text.size();
}

} // namespace

std::string usage() {
    return "usage: trade-testserver [--host 127.0.0.1] [--port N] [--feed-port N] [--data-port N]\n"
           "                        [--market FILE] [--rate QUOTES_PER_SECOND] [--seed N]\n"
           "                        [--snapshot amp|xml] [--news-port N] [--news-http-port N]\n"
           "                        [--closed-market CODE ...] [--hold-orders] [--clock yyyyMMddHHmmss]\n"
           "Port 0 picks any free port. Defaults: 127.0.0.1, ports 5100, 5101, 5102, the default market,\n"
           "20 quotes per second, seed 1, the login snapshot in its AMP form, the news feed over HTTPS on\n"
           "5103 and over HTTP on 5104. --closed-market (repeatable) starts that instrument's market "
           "closed. --hold-orders keeps order requests unanswered: SIGUSR1 answers the kept ones in the "
           "order\n"
           "they came, SIGUSR2 in the reverse order; SIGRTMIN+1 answers the oldest kept one alone,\n"
           "SIGRTMIN+2 the newest, SIGRTMIN+3 and +4 the same refused with the market closed for that "
           "answer alone.\n"
           "SIGRTMIN puts every account in margin call (each time anew).\n"
           "--clock starts the server's clock, which every time it sends is read from, at that time (no "
           "zone\n"
           "applied), running on from there.\n";
}

std::filesystem::path defaultMarketPath() {
    if (const char* env = std::getenv("TC_TESTSERVER_MARKET"); env && *env)
        return env;
    // Beside the program in the build tree, under the shared data when installed.
    const std::filesystem::path folder = tc::platform::Bundle::executableFolder();
    const std::filesystem::path built = folder / "markets" / "default.market";
    std::error_code ec;
    if (std::filesystem::is_regular_file(built, ec))
        return built;
    return folder.parent_path() / "share" / "tradeclient" / "markets" / "default.market";
}

CommandLine parseCommandLine(std::span<const std::string_view> args) {
    CommandLine result;
    ServerOptions options;
    options.newsPort = kDefaultNewsPort;
    options.newsHttpPort = kDefaultNewsHttpPort;
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.help = true;
            return result;
        }
        if (arg == "--hold-orders") {
            options.holdOrders = true;
            continue;
        }
        const bool known = arg == "--host" || arg == "--port" || arg == "--feed-port" ||
                           arg == "--data-port" || arg == "--market" || arg == "--rate" || arg == "--seed" ||
                           arg == "--snapshot" || arg == "--news-port" || arg == "--news-http-port" ||
                           arg == "--closed-market" || arg == "--clock";
        if (!known)
            return fail("unknown option " + std::string(arg));
        if (i + 1 >= args.size())
            return fail(std::string(arg) + " needs a value");
        const std::string_view value = args[++i];
        if (value.size() > 4096)
            return fail(std::string(arg) + " value is too long");
        if (arg == "--host") {
            if (value.empty())
                return fail("--host needs an address");
            options.host = value;
        } else if (arg == "--closed-market") {
            if (value.empty())
                return fail("--closed-market needs an instrument code");
            options.closedMarkets.emplace_back(value);
        } else if (arg == "--clock") {
            options.clockFrom = tc::wallTimeFromWire(value);
            if (!options.clockFrom)
                return fail("--clock takes a time as yyyyMMddHHmmss, not " + std::string(value));
        } else if (arg == "--market") {
            if (value.empty())
                return fail("--market needs a file");
            options.market = std::filesystem::path(value);
        } else if (arg == "--rate") {
            double rate = 0;
            if (!parseNumber(value, rate) || !(rate >= 0) || rate > kMaxRate)
                return fail("--rate takes a number of quotes per second from 0 to 100000, not " +
                            std::string(value));
            options.rate = rate;
        } else if (arg == "--snapshot") {
            if (value == "amp")
                options.snapshotForm = SnapshotForm::Amp;
            else if (value == "xml")
                options.snapshotForm = SnapshotForm::Xml;
            else
                return fail("--snapshot takes amp or xml, not " + std::string(value));
        } else if (arg == "--seed") {
            std::uint64_t seed = 0;
            if (!parseNumber(value, seed))
                return fail("--seed takes a non-negative whole number, not " + std::string(value));
            options.seed = seed;
        } else {
            int port = -1;
            if (!parseNumber(value, port) || port < 0 || port > 65535)
                return fail(std::string(arg) + " takes a port from 0 to 65535, not " + std::string(value));
            (arg == "--port"             ? options.port
             : arg == "--feed-port"      ? options.feedPort
             : arg == "--news-port"      ? options.newsPort
             : arg == "--news-http-port" ? options.newsHttpPort
                                         : options.dataPort) = port;
        }
    }
    if (options.market.empty())
        options.market = defaultMarketPath();
    result.options = std::move(options);
    return result;
}

} // namespace testserver
