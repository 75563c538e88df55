// The feed handler's path from the feed thread to the instruments: quotes decoded on a producer
// thread, coalesced per instrument and applied on the pumped main queue, beside decoding alone.
// The "pending_codes_max" counter shows the pending set stays within the instrument count even when
// the main queue is pumped only now and then.
#include "bench_support.h"
#include "client/session_wiring.h"
#include "interfaces/application_interface.h"
#include "orders/session_orders.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/feed/price_feed.h"
#include "session/feed/session_feed.h"
#include "wire/login_inputdata.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;

constexpr int kInstruments = 50;

using bench::QuietApplication;

// About a hundred bytes each, cycling over the instruments with moving offsets.
std::vector<std::string> quoteTexts(std::size_t count) {
    std::vector<std::string> texts;
    texts.reserve(count);
    for (std::size_t n = 0; n < count; ++n) {
        const int offset = static_cast<int>(n % 9000) + 100;
        texts.push_back(fmt::format("INSTR{:03}\x04"
                                    "20240305101112\x04"
                                    "1.08\x04{}\x04{}\x04{}\x04{}\x04{}\x04{}\x04{}\x04"
                                    "5",
                                    n % kInstruments, offset, offset, offset + 12, offset + 400, offset - 50,
                                    offset + 3, offset + 7));
    }
    return texts;
}

struct FeedSession {
    QuietApplication app;
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::unique_ptr<BusinessBase> business;
    std::shared_ptr<SessionFeed> feed;

    FeedSession() {
        platform::RunLoop::main().bindToCurrentThread();
        app.loginData().setIPAddress("127.0.0.1");
        app.loginData().setPortNo(1);
        BusinessServices services;
        services.userDefaults = defaults.get();
        business = tc::makeSession(app, app.loginData(), services);
        feed = std::dynamic_pointer_cast<SessionFeed>(business->services().feed);
        for (int i = 0; i < kInstruments; ++i) {
            auto item = std::make_shared<ItemDetails>();
            item->Code = fmt::format("INSTR{:03}", i);
            business->session().ItemCollection.insert_or_assign(item->Code, item);
        }
    }
};

// Producer thread feeding as fast as it can; the main thread pumps every `pumpEvery` (0: constantly).
void runFeed(benchmark::State& state, std::chrono::microseconds pumpEvery) {
    FeedSession s;
    const std::vector<std::string> texts = quoteTexts(20'000);
    std::size_t pendingMax = 0;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread producer([&] {
            for (const std::string& text : texts)
                s.feed->ZMQNewMessage(text);
            done = true;
        });
        while (!done.load()) {
            pendingMax = std::max(pendingMax, s.feed->pendingCodes());
            platform::RunLoop::main().runOnce();
            if (pumpEvery.count() > 0)
                std::this_thread::sleep_for(pumpEvery);
        }
        producer.join();
        while (s.feed->pendingCodes() > 0)
            platform::RunLoop::main().runOnce();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
    state.counters["pending_codes_max"] = static_cast<double>(pendingMax);
    state.counters["merged_share"] =
        static_cast<double>(s.feed->quotesMerged()) / static_cast<double>(state.iterations() * texts.size());
}

void BM_FeedAppliedMainPumping(benchmark::State& state) {
    runFeed(state, std::chrono::microseconds(0));
}
BENCHMARK(BM_FeedAppliedMainPumping)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FeedAppliedMainBehind(benchmark::State& state) {
    runFeed(state, std::chrono::microseconds(2000));
}
BENCHMARK(BM_FeedAppliedMainBehind)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: decoding alone on one thread, nothing applied.
void BM_FeedDecodeOnly(benchmark::State& state) {
    const std::vector<std::string> texts = quoteTexts(20'000);
    for (auto _ : state)
        for (const std::string& text : texts)
            benchmark::DoNotOptimize(decodePriceText(text));
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(BM_FeedDecodeOnly)->Unit(benchmark::kMillisecond);

// The usual quote's road: integer offsets read without decimal arithmetic, into a reused update.
void BM_FeedDecodePlain(benchmark::State& state) {
    const std::vector<std::string> texts = quoteTexts(20'000);
    PriceUpdate update;
    for (auto _ : state)
        for (const std::string& text : texts) {
            benchmark::DoNotOptimize(decodePlainPriceUpdate(text, update));
            benchmark::ClobberMemory();
        }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
}
BENCHMARK(BM_FeedDecodePlain)->Unit(benchmark::kMillisecond);

} // namespace
