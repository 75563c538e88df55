// trade-testserver: the loopback trading server behind the simulation mode and the integration tests.
// Prints one line "listening stream=P feed=P data=P news=P news-http=P" once every socket accepts, and stops
// cleanly on SIGINT or SIGTERM; with --hold-orders SIGUSR1 and SIGUSR2 answer the order requests kept,
// and SIGRTMIN+1 to +4 one of them (the oldest or the newest, carried out or refused with the market
// closed for that answer alone); SIGRTMIN puts every account of the market in margin call.
#include "market.h"
#include "options.h"
#include "test_server.h"

#include "platform/log.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string_view>
#include <vector>

using namespace tc;

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const testserver::CommandLine line = testserver::parseCommandLine(args);
    if (line.help) {
        std::fputs(testserver::usage().c_str(), stdout);
        return 0;
    }
    if (!line.options) {
        std::fprintf(stderr, "trade-testserver: %s\n%s", line.error.c_str(), testserver::usage().c_str());
        return 2;
    }
    const testserver::ServerOptions& options = *line.options;

    testserver::MarketResult market = testserver::loadMarketFile(options.market);
    if (!market.market) {
        std::fprintf(stderr, "trade-testserver: %s\n", market.error.c_str());
        return 1;
    }

    // Block the stop signals in every thread; the main thread takes them with sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    sigaddset(&stopSignals, SIGUSR2);
    sigaddset(&stopSignals, SIGRTMIN);
    for (int one = 1; one <= 4; ++one)
        sigaddset(&stopSignals, SIGRTMIN + one);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    testserver::TestServer server(std::move(*market.market));
    testserver::ServerPorts ports;
    try {
        ports = server.start(options);
    } catch (const testserver::ServerError& e) {
        std::fprintf(stderr, "trade-testserver: %s\n", e.what());
        return 1;
    }
    for (const std::string& code : options.closedMarkets)
        if (!server.setMarketOpen(code, false)) {
            std::fprintf(stderr, "trade-testserver: --closed-market: no instrument %s in the market\n",
                         code.c_str());
            server.stop();
            return 2;
        }
    if (options.holdOrders)
        server.holdOrders(true);
    std::printf("listening stream=%d feed=%d data=%d news=%d news-http=%d\n", ports.stream, ports.feed,
                ports.data, ports.news, ports.newsHttp);
    std::fflush(stdout);

    int received = 0;
    for (;;) {
        sigwait(&stopSignals, &received);
        if (received == SIGRTMIN) {
            // Margin calls on demand, told to the signed-in clients of each account's user.
            for (const testserver::Account& account : server.market().accounts)
                server.sendMarginCall(account.id);
            platform::Log::info("testserver: margin call for {} accounts", server.market().accounts.size());
            continue;
        }
        if (received >= SIGRTMIN + 1 && received <= SIGRTMIN + 4) {
            // One kept request answered: +1 and +3 the oldest, +2 and +4 the newest; +3 and +4 refuse
            // it with the market closed for that answer alone, so one of a pair can be refused by hand.
            const auto kept = static_cast<std::size_t>(server.stats().heldOrderRequests);
            const int which = received - SIGRTMIN;
            if (kept == 0) {
                platform::Log::info("testserver: no kept order request to answer");
                continue;
            }
            const std::size_t place = which % 2 == 1 ? 0 : kept - 1;
            const auto answer =
                which >= 3 ? testserver::HeldAnswer::MarketClosed : testserver::HeldAnswer::AsItStands;
            platform::Log::info("testserver: answering the {} of {} kept order requests{}",
                                place == 0 ? "oldest" : "newest", kept,
                                which >= 3 ? ", the market closed for it" : "");
            server.answerHeldOrders({place}, {answer});
            continue;
        }
        if (received != SIGUSR1 && received != SIGUSR2)
            break;
        // The order requests kept so far, answered all at once; later ones are kept again.
        std::vector<std::size_t> places(static_cast<std::size_t>(server.stats().heldOrderRequests));
        std::iota(places.begin(), places.end(), std::size_t{0});
        if (received == SIGUSR2)
            std::reverse(places.begin(), places.end());
        platform::Log::info("testserver: answering {} kept order requests{}", places.size(),
                            received == SIGUSR2 ? ", the last first" : "");
        server.answerHeldOrders(places);
    }
    platform::Log::info("testserver: signal {}, stopping", received);
    server.stop();
    return 0;
}
