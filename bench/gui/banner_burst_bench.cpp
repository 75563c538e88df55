// A burst of settlement banners of one kind, 200, 2,000 and 20,000 lines, on the offscreen platform.
//   /N/0 (shown): a banner on screen takes N - 1 more lines one by one, as a Close All's settlements
//        come: list_ms is the second line's delivery, which makes the banner's list; join_ms each
//        later line's deliverNotification (mean and worst); paint_ms the banner drawn whole with all
//        of them in. Goal: a join's cost does not grow with N (well under 1 ms).
//   /N/1 (held): the N lines delivered behind the console lock (held_us: one delivery, mean), then
//        the lock lifted: unlock_ms from setHeld(false) to the banner drawn whole. Goal: within a
//        frame (16 ms) however many.
// Figures are the main thread's CPU time (on a shared machine its wall time counts others' turns).
// lines_listed is what the banner lists (at most its bound), to read the figures against.
#include "gui/app/in_app_notification_center.h"

#include "gui_bench_support.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

double msSince(double startCpuMs) {
    return threadCpuMs() - startCpuMs;
}

interfaces::InAppNotification settlement(int n) {
    interfaces::InAppNotification s;
    s.title = "TradeClient";
    s.subtitle = "Order Settled";
    s.informativeText = "#" + std::to_string(700000 + n) + "\nSettled EURUSD @1.08" + std::to_string(n % 100);
    s.feature.dismissDelayTime = 5.0;
    s.feature.lineBreakMode = 0;
    return s;
}

void BM_BannerBurst(benchmark::State& state) {
    ensureApplication();
    const int lines = static_cast<int>(state.range(0));
    const bool held = state.range(1) != 0;
    BenchDesktop desktop;
    tc::gui::InAppNotificationCenter& centre = desktop.context.banners();
    for (auto _ : state) {
        std::vector<double> joinMs;
        double listMs = 0;
        double heldUs = 0;
        double unlockMs = 0;
        double paintMs = 0;
        tc::gui::InAppNotificationBannerController* banner = nullptr;
        if (held) {
            centre.setHeld(true);
            const double start = threadCpuMs();
            for (int n = 0; n < lines; ++n)
                centre.deliverNotification(settlement(n));
            heldUs = msSince(start) * 1000.0 / lines;
            const double unlock = threadCpuMs();
            centre.setHeld(false);
            const auto open = centre.banners();
            if (!open.isEmpty()) {
                banner = open.front();
                benchmark::DoNotOptimize(banner->grab());
            }
            unlockMs = msSince(unlock);
        } else {
            banner = centre.deliverNotification(settlement(0));
            joinMs.reserve(static_cast<std::size_t>(lines));
            for (int n = 1; n < lines; ++n) {
                const double start = threadCpuMs();
                centre.deliverNotification(settlement(n));
                (n == 1 ? listMs : joinMs.emplace_back()) = msSince(start);
            }
            if (banner) {
                const double start = threadCpuMs();
                benchmark::DoNotOptimize(banner->grab());
                paintMs = msSince(start);
            }
        }
        if (!banner) {
            state.SkipWithError("no banner shown");
            break;
        }
        state.counters["lines_listed"] = static_cast<double>(banner->lines().kept().size());
        if (held) {
            state.counters["held_us"] = heldUs;
            state.counters["unlock_ms"] = unlockMs;
        } else {
            state.counters["list_ms"] = listMs;
            state.counters["join_ms"] = meanOf(joinMs);
            state.counters["join_ms_worst"] = worstOf(joinMs);
            state.counters["paint_ms"] = paintMs;
        }
        centre.forgetAll();
        pumpFor(50); // the closed banners deleted
    }
}

} // namespace

BENCHMARK(BM_BannerBurst)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->ArgsProduct({{200, 2'000, 20'000}, {0, 1}});
