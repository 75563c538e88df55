// The price feed end to end over loopback ZeroMQ: a PUB socket sends ~100-byte quotes at a fixed
// rate; the client's subscriber thread receives and decodes them, and the main queue applies them to
// the instruments (coalesced per instrument). Beside it, in the same run, a bare zmq_recv loop
// receives the same messages from the same publisher. Each reports the messages it took per second
// of the run; "client_vs_bare" in the client's row is the ratio of the two at that rate.
// Arguments: the publishing rate in messages per second (0: as fast as the publisher can), and for
// the client the drain interval of its feed handler in milliseconds (0: drain as soon as possible).
#include "bench_support.h"
#include "client/session_wiring.h"
#include "interfaces/application_interface.h"
#include "model/records/item_details.h"
#include "orders/session_orders.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/feed/session_feed.h"
#include "wire/login_inputdata.h"
#include "wire/wire_names.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <zmq.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;

using Clock = std::chrono::steady_clock;
constexpr int kInstruments = 50;
constexpr std::size_t kMessages = 200'000;
const std::string kMarker = "ENDMARK";

// The bare loop's rate per publishing rate, for the client's ratio (the bare rows run first).
std::map<std::int64_t, double>& bareRates() {
    static std::map<std::int64_t, double> rates;
    return rates;
}

using bench::QuietApplication;

std::string code(int i) {
    return fmt::format("INSTR{:03}", i);
}

std::string quoteText(std::string_view instrument, std::size_t n) {
    const int offset = static_cast<int>(n % 9000) + 100;
    return fmt::format("{}\x04"
                       "20240305101112\x04"
                       "1.08\x04{}\x04{}\x04{}\x04{}\x04{}\x04{}\x04{}\x04"
                       "5",
                       instrument, offset, offset, offset + 12, offset + 400, offset - 50, offset + 3,
                       offset + 7);
}

// Counts what the subscriber thread hands over, then lets the session's feed handler take it.
class CountingFeed final : public FeedHandler {
public:
    void ZMQNewMessage(const std::string& text) override {
        received.fetch_add(1, std::memory_order_relaxed);
        if (auto t = target.load())
            t->ZMQNewMessage(text);
    }
    void enterMessages(tc::MessageRooms& rooms) override {
        tc::MessageRoom status;
        status.readsFields = true;
        status.apply = [this](const tc::RoomMessage& m) {
            if (auto t = target.load())
                t->messageCrackerOnInstrumentStatusChange(m.fields());
        };
        rooms.enter(tc::wire::msg::kInstrumentStatus, std::move(status));
    }
    std::atomic<std::uint64_t> received{0};
    std::atomic<SessionFeed*> target{nullptr};
};

struct Publisher {
    void* context = zmq_ctx_new();
    void* socket = nullptr;
    int port = 0;
    std::vector<std::string> texts;

    Publisher() {
        socket = zmq_socket(context, ZMQ_PUB);
        // No high-water mark: unpaced, the publisher queues instead of dropping, so each receiver's
        // own speed is what is measured.
        const int unlimited = 0;
        zmq_setsockopt(socket, ZMQ_SNDHWM, &unlimited, sizeof unlimited);
        if (zmq_bind(socket, "tcp://127.0.0.1:*") != 0)
            throw std::runtime_error("bind");
        char endpoint[256];
        std::size_t size = sizeof endpoint;
        zmq_getsockopt(socket, ZMQ_LAST_ENDPOINT, endpoint, &size);
        port = std::stoi(std::string(endpoint).substr(std::string(endpoint).rfind(':') + 1));
        texts.reserve(kMessages);
        for (std::size_t n = 0; n < kMessages; ++n)
            texts.push_back(quoteText(code(static_cast<int>(n % kInstruments)), n));
    }
    ~Publisher() {
        zmq_close(socket);
        zmq_ctx_term(context);
    }
    void send(const std::string& text) { zmq_send(socket, text.data(), text.size(), 0); }
    // Until `ready`: the subscriber's topics reach the publisher only after a while.
    void warmUp(const std::function<bool()>& ready) {
        const std::string probe = quoteText(code(0), 1);
        while (!ready()) {
            send(probe);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Sends every text at `rate` per second (0: unpaced), then the marker a few times.
    void run(double rate) {
        const auto start = Clock::now();
        for (std::size_t n = 0; n < texts.size(); ++n) {
            if (rate > 0 && n % 64 == 0) {
                const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(static_cast<double>(n) / rate));
                while (Clock::now() < due)
                    std::this_thread::yield();
            }
            send(texts[n]);
        }
        const std::string marker = quoteText(kMarker, 0);
        for (int i = 0; i < 50; ++i) {
            send(marker);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

void BM_FeedLoopbackBareRecv(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    double received = 0, seconds = 0;
    for (auto _ : state) {
        Publisher pub;
        void* sub = zmq_socket(pub.context, ZMQ_SUB);
        for (int i = 0; i < kInstruments; ++i)
            zmq_setsockopt(sub, ZMQ_SUBSCRIBE, code(i).data(), code(i).size());
        zmq_setsockopt(sub, ZMQ_SUBSCRIBE, kMarker.data(), kMarker.size());
        zmq_connect(sub, fmt::format("tcp://127.0.0.1:{}", pub.port).c_str());
        char buffer[512];
        pub.warmUp([&] { return zmq_recv(sub, buffer, sizeof buffer, ZMQ_DONTWAIT) > 0; });
        while (zmq_recv(sub, buffer, sizeof buffer, ZMQ_DONTWAIT) > 0) {
        }
        std::thread publisher([&] { pub.run(rate); });
        const auto start = Clock::now();
        std::uint64_t count = 0;
        while (true) {
            const int n = zmq_recv(sub, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            if (static_cast<std::size_t>(n) >= kMarker.size() &&
                std::equal(kMarker.begin(), kMarker.end(), buffer))
                break;
            ++count;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        publisher.join();
        zmq_close(sub);
        received += static_cast<double>(count);
        seconds += elapsed;
        state.SetIterationTime(elapsed);
    }
    state.counters["msgs_per_second"] = received / seconds;
    state.counters["received_share"] = received / (static_cast<double>(kMessages) * state.iterations());
    bareRates()[state.range(0)] = received / seconds;
}
BENCHMARK(BM_FeedLoopbackBareRecv)
    ->Arg(100'000)
    ->Arg(400'000)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// range(0): publishing rate; range(1): the feed's drain interval in milliseconds (0: drain at once).
void BM_FeedLoopbackClientApplied(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    const auto drainInterval = std::chrono::milliseconds(state.range(1));
    platform::RunLoop::main().bindToCurrentThread();
    double received = 0, seconds = 0;
    std::size_t pendingMax = 0;
    for (auto _ : state) {
        Publisher pub;
        QuietApplication app;
        app.loginData().setIPAddress("127.0.0.1");
        app.loginData().setPortNo(1);
        auto defaults = platform::UserDefaults::inMemory();
        auto counting = std::make_shared<CountingFeed>();
        BusinessServices services;
        services.userDefaults = defaults.get();
        services.feed = counting;
        auto business = tc::makeSession(app, app.loginData(), services);
        auto feed = std::make_shared<SessionFeed>(*business);
        feed->setDrainInterval(drainInterval);
        counting->target = feed.get();
        std::vector<std::string> codes;
        for (int i = 0; i < kInstruments; ++i) {
            auto item = std::make_shared<ItemDetails>();
            item->Code = code(i);
            codes.push_back(item->Code);
            business->session().ItemCollection.insert_or_assign(item->Code, item);
        }
        auto marker = std::make_shared<ItemDetails>();
        marker->Code = kMarker;
        business->session().ItemCollection.insert_or_assign(kMarker, marker);
        codes.push_back(kMarker);
        business->conn().ConnectToZMQSubServer("127.0.0.1", pub.port);
        business->conn().ProcessSubscribeAndUnsubscribeItems(codes, true);
        pub.warmUp([&] {
            platform::RunLoop::main().runOnce();
            return counting->received.load() > 0;
        });
        platform::RunLoop::main().runUntil([&] { return feed->pendingCodes() == 0; },
                                           std::chrono::seconds(2));
        counting->received = 0;

        std::thread publisher([&] { pub.run(rate); });
        const auto start = Clock::now();
        // The run ends when the main queue has applied the marker's quote.
        // Pumped as an event loop would: sleeping until work is posted.
        platform::RunLoop::main().runUntil(
            [&] {
                pendingMax = std::max(pendingMax, feed->pendingCodes());
                return marker->isPriceUpdateReceived;
            },
            std::chrono::seconds(60));
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        publisher.join();
        const double count = static_cast<double>(counting->received.load()) - 1; // the marker
        business.reset();
        platform::RunLoop::main().discardPending();
        received += count;
        seconds += elapsed;
        state.SetIterationTime(elapsed);
    }
    state.counters["msgs_per_second"] = received / seconds;
    state.counters["received_share"] = received / (static_cast<double>(kMessages) * state.iterations());
    state.counters["pending_codes_max"] = static_cast<double>(pendingMax);
    if (auto it = bareRates().find(state.range(0)); it != bareRates().end() && it->second > 0) {
        state.counters["client_vs_bare"] = (received / seconds) / it->second;
        const bool atDefault = drainInterval == SessionFeed::kDefaultDrainInterval;
        std::printf(
            "Feed decoded and applied, %s, drain %lld ms%s: %.0f/s, bare ZeroMQ %.0f/s, ratio %.2f%s\n",
            rate > 0 ? fmt::format("{:.0f} a second", rate).c_str() : "unpaced",
            static_cast<long long>(state.range(1)), atDefault ? " (the default)" : "", received / seconds,
            it->second, (received / seconds) / it->second, atDefault && rate == 0 ? " (goal >= 0.8)" : "");
    }
}
BENCHMARK(BM_FeedLoopbackClientApplied)
    ->Args({100'000, 0})
    ->Args({400'000, 0})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 16})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
