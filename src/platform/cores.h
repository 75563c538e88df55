#pragma once
// How many cores this process may run on (its affinity mask, not the machine's count), and a helper
// that spreads independent work over them.
#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace tc::platform {

std::size_t usableCores() noexcept;

// work(begin, end) over [0, count) cut into contiguous shares, one per usable core but none smaller
// than `minShare`; the first share runs on the calling thread. The shares must touch nothing in
// common. The first exception thrown by a share is rethrown once all have ended.
template <class Work>
void forEachShare(std::size_t count, std::size_t minShare, Work&& work) {
    const std::size_t threads =
        std::max<std::size_t>(1, std::min(usableCores(), count / std::max<std::size_t>(minShare, 1)));
    if (threads <= 1) {
        work(std::size_t{0}, count);
        return;
    }
    const std::size_t chunk = (count + threads - 1) / threads;
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    auto run = [&](std::size_t t) {
        try {
            work(std::min(t * chunk, count), std::min((t + 1) * chunk, count));
        } catch (...) {
            failures[t] = std::current_exception();
        }
    };
    std::size_t t = 1;
    try {
        for (; t < threads; ++t)
            helpers.emplace_back(run, t);
    } catch (...) {
        // No thread to be had: what did not start runs here.
        for (; t < threads; ++t)
            run(t);
    }
    run(0);
    for (auto& h : helpers)
        h.join();
    for (auto& f : failures)
        if (f)
            std::rethrow_exception(f);
}

} // namespace tc::platform
