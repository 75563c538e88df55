// Wire codec speed: framing and field split of 10,000 realistic messages, the same messages as FIX
// parsed by QuickFIX (validation off), and stream reassembly from 1460-byte reads.
#include "wire/message_base.h"
#include "wire/stream_deframer.h"
#include "wire/wire_fields.h"

#include <benchmark/benchmark.h>

// The installed QuickFIX headers still carry dynamic `throw(...)` clauses, which C++17 and later reject.
// Everything they include is pulled in first, then those clauses are blanked out for QuickFIX's own
// headers only.
#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iomanip>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <numeric>
#include <pthread.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>
#define throw(...)
#include <quickfix/Message.h>
#undef throw

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

// Counting allocator: shows whether a loop allocates per message or per field.
namespace {

using namespace tc;
std::atomic<std::uint64_t> gAllocations{0};
} // namespace

// Kept out of line so the compiler does not pair an inlined malloc with a delete call site.
[[gnu::noinline]] void* operator new(std::size_t n) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t n) {
    return operator new(n);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int kMessages = 10000;

struct Lcg {
    std::uint64_t s = 0x9E3779B97F4A7C15ULL;
    std::uint32_t next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(s >> 33);
    }
    int between(int lo, int hi) {
        return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1));
    }
};

struct Corpus {
    std::vector<std::string> bodies; // tag=value 0x03 ...
    std::vector<std::string> fix;    // the same values as FIX.4.4, SOH-separated, with 9= and 10=
    std::string stream;              // all bodies framed back to back
    std::size_t totalFields = 0;
};

std::string fixChecksum(const std::string& s) {
    unsigned sum = 0;
    for (unsigned char c : s)
        sum += c;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%03u", sum % 256);
    return buf;
}

const Corpus& corpus() {
    static const Corpus c = [] {
        Corpus c;
        Lcg rng;
        static const int ourTags[] = {20,  21,  23,  19,  79,  80,  73,  74,  76, 125, 151, 159,
                                      502, 503, 573, 105, 160, 563, 114, 504, 34, 17,  27,  1026};
        static const int fixTags[] = {11, 1,  38, 40,  44,  54,  55,  59,  60,  21,  100, 207,
                                      15, 58, 18, 110, 111, 126, 167, 200, 201, 202, 231, 336};
        const char alnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.-";
        for (int m = 0; m < kMessages; ++m) {
            const int n = rng.between(15, 25);
            const int target = rng.between(150, 250);
            std::vector<std::string> values;
            // Overhead of "tag=" and 0x03 per field, so the value lengths fill the target size.
            int overhead = 8; // "10=" type, 0x03
            for (int i = 1; i < n; ++i)
                overhead += static_cast<int>(std::to_string(ourTags[i - 1]).size()) + 2;
            int room = target - overhead;
            for (int i = 1; i < n; ++i) {
                const int left = n - i;
                int len = i + 1 == n ? room : std::max(1, room / left + rng.between(-2, 2));
                len = std::max(1, std::min(len, room - (left - 1)));
                room -= len;
                std::string v;
                for (int k = 0; k < len; ++k)
                    v.push_back(alnum[rng.next() % (sizeof alnum - 1)]);
                values.push_back(std::move(v));
            }
            std::string body = "10=62\x03";
            for (int i = 1; i < n; ++i)
                body.append(std::to_string(ourTags[i - 1]))
                    .append("=")
                    .append(values[i - 1])
                    .push_back('\x03');
            c.totalFields += static_cast<std::size_t>(n);
            c.bodies.push_back(body);

            std::string fixBody = "35=D\x01";
            for (int i = 1; i < n; ++i)
                fixBody.append(std::to_string(fixTags[i - 1]))
                    .append("=")
                    .append(values[i - 1])
                    .push_back('\x01');
            std::string fix = "8=FIX.4.4\x01"
                              "9=" +
                              std::to_string(fixBody.size()) + "\x01" + fixBody;
            fix += "10=" + fixChecksum(fix) + "\x01";
            c.fix.push_back(std::move(fix));
            MessageBase::appendFrame(c.stream, body);
        }
        return c;
    }();
    return c;
}

// One pass of frame + split over all messages; returns a checksum so nothing is optimised away.
std::uint64_t frameAndSplitPass(const Corpus& c, std::string& frame) {
    std::uint64_t sum = 0;
    for (const std::string& body : c.bodies) {
        frame.clear();
        MessageBase::appendFrame(frame, body);
        // What the de-framer hands on is the text between 0x01 and 0x02.
        const std::string_view text(frame.data() + 1, frame.size() - 2);
        auto it = wire::FieldIterator::overFrame(text);
        wire::Field f;
        while (it.next(f) && f.hasValue)
            sum += static_cast<std::uint64_t>(f.tag) + f.value.size();
    }
    return sum;
}

std::uint64_t quickFixPass(const Corpus& c, FIX::Message& msg) {
    std::uint64_t sum = 0;
    for (const std::string& s : c.fix) {
        msg.setString(s, false);
        sum += static_cast<std::uint64_t>(msg.totalFields());
    }
    return sum;
}

void setCounters(benchmark::State& state, std::uint64_t allocs, std::size_t fieldsPerPass) {
    const double msgs = static_cast<double>(state.iterations()) * kMessages;
    state.counters["allocs_per_msg"] = static_cast<double>(allocs) / msgs;
    state.counters["allocs_per_field"] =
        static_cast<double>(allocs) /
        (static_cast<double>(state.iterations()) * static_cast<double>(fieldsPerPass));
}

void BM_FrameAndSplit(benchmark::State& state) {
    const Corpus& c = corpus();
    std::string frame;
    frame.reserve(512);
    const std::uint64_t before = gAllocations.load();
    for (auto _ : state)
        benchmark::DoNotOptimize(frameAndSplitPass(c, frame));
    setCounters(state, gAllocations.load() - before, c.totalFields);
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_FrameAndSplit)->Unit(benchmark::kMicrosecond);

void BM_QuickFixParse(benchmark::State& state) {
    const Corpus& c = corpus();
    FIX::Message msg;
    const std::uint64_t before = gAllocations.load();
    for (auto _ : state)
        benchmark::DoNotOptimize(quickFixPass(c, msg));
    setCounters(state, gAllocations.load() - before, c.totalFields);
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_QuickFixParse)->Unit(benchmark::kMicrosecond);

// The full incoming read: frame, then a fresh MessageBase per message filled with its fields
// (dictionary of strings: this one allocates per field, as QuickFIX does).
void BM_FrameAndReadIntoMessage(benchmark::State& state) {
    const Corpus& c = corpus();
    std::string frame;
    const std::uint64_t before = gAllocations.load();
    for (auto _ : state) {
        std::size_t n = 0;
        for (const std::string& body : c.bodies) {
            frame.clear();
            MessageBase::appendFrame(frame, body);
            const std::string_view text(frame.data() + 1, frame.size() - 2);
            MessageBase m;
            m.setMessageFromBody(text.substr(text.find('\x03') + 1));
            n += m.messageDataDictionary().size();
        }
        benchmark::DoNotOptimize(n);
    }
    setCounters(state, gAllocations.load() - before, c.totalFields);
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_FrameAndReadIntoMessage)->Unit(benchmark::kMicrosecond);

void BM_StreamReassembly1460(benchmark::State& state) {
    const Corpus& c = corpus();
    const std::string_view stream = c.stream;
    const std::uint64_t before = gAllocations.load();
    for (auto _ : state) {
        StreamDeframer d;
        std::uint64_t sum = 0;
        auto sink = [&sum](std::string_view text) {
            auto it = wire::FieldIterator::overFrame(text);
            wire::Field f;
            while (it.next(f) && f.hasValue)
                sum += static_cast<std::uint64_t>(f.tag) + f.value.size();
        };
        for (std::size_t pos = 0; pos < stream.size(); pos += 1460)
            d.feed(stream.substr(pos, 1460), sink);
        if (d.stats().frames != kMessages)
            state.SkipWithError("frame count mismatch");
        benchmark::DoNotOptimize(sum);
    }
    setCounters(state, gAllocations.load() - before, c.totalFields);
    state.SetItemsProcessed(state.iterations() * kMessages);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_StreamReassembly1460)->Unit(benchmark::kMicrosecond);

// Both in one run, timed alike, best of several passes each, with the ratio as a counter.
void BM_RatioVersusQuickFix(benchmark::State& state) {
    const Corpus& c = corpus();
    std::string frame;
    FIX::Message msg;
    auto best = [](auto&& pass) {
        double bestNs = 1e300;
        for (int r = 0; r < 5; ++r) {
            const auto t0 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(pass());
            const auto t1 = std::chrono::steady_clock::now();
            bestNs = std::min(bestNs, std::chrono::duration<double, std::nano>(t1 - t0).count());
        }
        return bestNs / kMessages;
    };
    double ours = 0, theirs = 0;
    std::uint64_t ourAllocations = 0;
    for (auto _ : state) {
        const std::uint64_t before = gAllocations.load();
        ours = best([&] { return frameAndSplitPass(c, frame); });
        ourAllocations += gAllocations.load() - before;
        theirs = best([&] { return quickFixPass(c, msg); });
    }
    const double ourMessages = static_cast<double>(state.iterations()) * 5 * kMessages;
    std::printf("Framing and splitting a message: %.0f ns, QuickFIX %.0f ns, ratio %.2f (goal >= 6); "
                "%.3f allocations a message (goal 0)\n",
                ours, theirs, theirs / ours, static_cast<double>(ourAllocations) / ourMessages);
    state.counters["allocs_per_msg"] = static_cast<double>(ourAllocations) / ourMessages;
    state.counters["ours_ns_per_msg"] = ours;
    state.counters["quickfix_ns_per_msg"] = theirs;
    state.counters["speedup"] = theirs / ours;
    double bytes = 0, fixBytes = 0;
    for (std::size_t i = 0; i < c.bodies.size(); ++i) {
        bytes += static_cast<double>(c.bodies[i].size());
        fixBytes += static_cast<double>(c.fix[i].size());
    }
    state.counters["avg_body_bytes"] = bytes / kMessages;
    state.counters["avg_fix_bytes"] = fixBytes / kMessages;
    state.counters["avg_fields"] = static_cast<double>(c.totalFields) / kMessages;
}
BENCHMARK(BM_RatioVersusQuickFix)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
