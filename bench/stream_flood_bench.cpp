// A flood of small stream messages over loopback TCP: a bare server logs the client in and then
// writes account summaries, instrument-status changes and order reports (30 to 40 bytes each) as
// fast as the client takes them, or at a fixed rate. The main queue is pumped as an event loop
// would pump it, while a probe thread posts to it every millisecond and notes how late each probe
// runs. Reported: messages applied per second, the worst main-queue delay seen, and the process's
// peak resident memory (high-water mark, reset at the start of the run where the system allows).
// Argument: the sending rate in messages per second (0: unpaced).
#include "bench_support.h"
#include "client/session_wiring.h"
#include "model/records/item_details.h"
#include "platform/base64.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "wire/data_additions.h"
#include "wire/message_base.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;
using Clock = std::chrono::steady_clock;
constexpr std::int64_t kMessages = 1'000'000;
constexpr std::int32_t kAccount = 5001;

// The requests of login completion go nowhere: only the stream is measured.
class NoRequests final : public LoginRequests {
public:
    void pingToServer() override {}
    void requestOpenPosition() override {}
    void requestPendingOrders() override {}
    void requestSettledOrders() override {}
    void requestCancelledOrders() override {}
    void requestEquityPriceInfo(std::int32_t) override {}
    void requestContactList() override {}
    void requestRecentConversation() override {}
    void requestOfflineMessages() override {}
    void requestAdvancedInstrumentInfo() override {}
    void requestResourceSearchForTypes(const std::vector<std::string>&) override {}
    void requestApprovalRequest() override {}
    void requestFinancialApprovals() override {}
    void requestControlClientConnectMessage() override {}
};

std::string frame(const std::string& body) {
    return MessageBase::frame(body);
}

// User, one instrument (EURUSD) in section 4, one account in section 8; the data ports lead nowhere.
std::string snapshotFrame() {
    const std::string text = "1001\x05"
                             "55\x05"
                             "56\x05"
                             "1\x05"
                             "Y\x05"
                             "2\x05"
                             "0\x05"
                             "0\x05"
                             "1\x05"
                             "True\x05"
                             "1\x05"
                             "1\x05"
                             "1"
                             "\x07\x07\x07\x07"
                             "1\x05"
                             "Euro vs US Dollar\x05"
                             "EURUSD"
                             "\x07\x07\x07\x07" +
                             std::to_string(kAccount) +
                             "\x05"
                             "10\x05"
                             "1";
    const auto deflated = NSDataAdditions::gzipDeflate(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    std::vector<std::uint8_t> payload(4, 0);
    payload.insert(payload.end(), deflated->begin(), deflated->end());
    return frame("10=33\x03"
                 "19=5\x03"
                 "21=20240102030405\x03"
                 "160=AMP\x03"
                 "1050=" +
                 *platform::Base64::encodeBase64WithData(payload) + "\x03") +
           frame("10=18\x03");
}

// Message n of the flood; the last one sets the instrument's setting to kMessages.
std::string floodMessage(std::int64_t n) {
    switch (n % 3) {
    case 0:
        return frame("10=1049\x03"
                     "12=EURUSD\x03"
                     "574=" +
                     std::to_string(n) + "\x03");
    case 1:
        return frame("10=1045\x03"
                     "34=" +
                     std::to_string(kAccount) +
                     "\x03"
                     "84=" +
                     std::to_string(n % 1000) + ".5\x03");
    default:
        return frame("10=62\x03"
                     "73=21\x03"
                     "79=" +
                     std::to_string(n) + "\x03");
    }
}

class FloodServer {
public:
    FloodServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            throw std::runtime_error("listen");
        port = ntohs(a.sin_port);
    }
    ~FloodServer() {
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
        if (peer_ >= 0)
            ::close(peer_);
    }
    // Accepts the client, reads its login request, logs it in and floods it.
    void start(double rate) {
        thread_ = std::thread([this, rate] {
            peer_ = ::accept(listener_, nullptr, nullptr);
            for (char c = 0; c != '\x02';)
                if (::recv(peer_, &c, 1, 0) != 1)
                    return;
            if (!sendAll(snapshotFrame()))
                return;
            std::string chunk;
            const auto begin = Clock::now();
            for (std::int64_t n = 1; n <= kMessages; ++n) {
                chunk += floodMessage(n == kMessages ? kMessages * 3 : n);
                if (chunk.size() < 16 * 1024 && n != kMessages)
                    continue;
                if (rate > 0) {
                    const auto due =
                        begin + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(static_cast<double>(n) / rate));
                    std::this_thread::sleep_until(due);
                }
                if (!sendAll(chunk))
                    return;
                chunk.clear();
            }
        });
    }
    int port = 0;

private:
    bool sendAll(std::string_view data) {
        while (!data.empty()) {
            const ssize_t n = ::send(peer_, data.data(), data.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    int listener_ = -1;
    int peer_ = -1;
    std::thread thread_;
};

// Resets the resident-memory high-water mark; false where the system does not allow it.
bool resetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear.flush());
}

double peakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_StreamFlood(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    platform::Log::setLevel(platform::LogLevel::Error);
    platform::RunLoop::main().bindToCurrentThread();
    double worstDelayMs = 0, peakMiB = 0, perSecond = 0;
    std::size_t pendingMax = 0;
    for (auto _ : state) {
        FloodServer server;
        bench::QuietApplication app;
        app.loginData().setUserName("demo");
        app.loginData().setPassword("demo1234");
        app.loginData().setIPAddress("127.0.0.1");
        app.loginData().setPortNo(server.port);
        auto defaults = platform::UserDefaults::inMemory();
        BusinessServices services;
        services.userDefaults = defaults.get();
        services.requests = std::make_shared<NoRequests>();
        const bool peakReset = resetPeakMemory();
        auto business = makeSession(app, app.loginData(), services);
        server.start(rate);
        business->StreamingConnection(false);
        const bool loggedIn = platform::RunLoop::main().runUntil(
            [&] { return business->loginPhase() == LoginPhase::SignedIn; }, std::chrono::seconds(10));
        const auto item = business->session().ItemCollection.get("EURUSD");
        if (!loggedIn || !item) {
            state.SkipWithError("the client did not log in");
            break;
        }

        // The probe: posted every millisecond, it notes how late it runs.
        std::atomic<bool> probing{true};
        std::atomic<std::int64_t> worstNs{0};
        std::thread prober([&] {
            while (probing) {
                const auto posted = Clock::now();
                platform::MainQueue::async([&worstNs, posted] {
                    const std::int64_t late = (Clock::now() - posted).count();
                    std::int64_t seen = worstNs.load();
                    while (late > seen && !worstNs.compare_exchange_weak(seen, late)) {
                    }
                });
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const auto start = Clock::now();
        platform::RunLoop::main().runUntil(
            [&] {
                pendingMax = std::max(pendingMax, business->pendingMainWork());
                return (*item)->CurrentTradeSessionSettingId == static_cast<std::int32_t>(kMessages * 3);
            },
            std::chrono::seconds(120));
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        probing = false;
        prober.join();
        platform::RunLoop::main().runOnce();
        worstDelayMs = std::max(worstDelayMs, static_cast<double>(worstNs.load()) / 1e6);
        peakMiB = std::max(peakMiB, peakMemoryMiB());
        perSecond = static_cast<double>(kMessages) / elapsed;
        state.SetIterationTime(elapsed);
        business.reset();
        platform::RunLoop::main().discardPending();
        if (!peakReset)
            state.counters["peak_is_process_lifetime"] = 1;
    }
    state.counters["msgs_per_second"] = perSecond;
    state.counters["worst_main_delay_ms"] = worstDelayMs;
    state.counters["peak_rss_MiB"] = peakMiB;
    state.counters["main_work_waiting_max"] = static_cast<double>(pendingMax);
    fmt::print(stderr,
               "stream flood at {}: {:.0f} messages/s applied, main queue at most {:.1f} ms late, peak "
               "memory {:.0f} MiB (goals: under 100 ms, under 256 MiB)\n",
               rate > 0 ? fmt::format("{:.0f} messages/s", rate) : std::string("full speed"), perSecond,
               worstDelayMs, peakMiB);
}
BENCHMARK(BM_StreamFlood)
    ->Arg(0)
    ->Arg(200'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
