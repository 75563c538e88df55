// The HTTP client over loopback: 1,000 sequential GETs of a 1 KiB body on a kept-alive connection
// through the operation manager, beside the same loop on bare libcurl in the same run, and a 100 MiB
// download to a file whose memory growth ("rss_growth_MiB", goal under 16) is sampled while it runs.
// The manager's rate over bare libcurl's for the same request on the wire (its default header fields and
// Accept-Encoding) has the goal of at least 0.8, with completions on the network thread; the main-queue
// road (goal at least 0.5) and bare libcurl with no header fields are printed beside it.
#include "http/request_operation_manager.h"
#include "http_server.h"
#include "platform/dispatch.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRequests = 1000;
constexpr std::int64_t kDownloadBytes = std::int64_t{100} << 20;

testserver::HttpServer& server() {
    static testserver::HttpServer s([](const testserver::HttpRequest& req) {
        testserver::HttpResponse r;
        if (req.target == "/100m") {
            auto sent = std::make_shared<std::int64_t>(0);
            r.length = kDownloadBytes;
            r.produce = [sent](std::string& chunk) {
                std::int64_t n = std::min<std::int64_t>(256 * 1024, kDownloadBytes - *sent);
                chunk.assign(static_cast<std::size_t>(n), 'd');
                *sent += n;
                return *sent < kDownloadBytes;
            };
        } else {
            r.headers = {{"Content-Type", "application/octet-stream"}};
            r.body.assign(1024, 'k');
        }
        return r;
    });
    return s;
}

std::size_t onData(char*, std::size_t size, std::size_t count, void* p) {
    *static_cast<std::size_t*>(p) += size * count;
    return size * count;
}

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// kRequests GETs on one kept-alive libcurl handle; the bytes received.
std::size_t bareLoop(CURL* easy) {
    std::size_t received = 0;
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received);
    for (int i = 0; i < kRequests; ++i)
        if (curl_easy_perform(easy) != CURLE_OK)
            return 0;
    return received;
}

// kRequests GETs through the manager, each asked for once the last one's success ran on the main queue
// (the news feed's road: two thread hops a request).
std::size_t mainQueueLoop(tc::http::HTTPRequestOperationManager& manager, const std::string& url) {
    std::size_t received = 0;
    for (int i = 0; i < kRequests; ++i) {
        bool done = false;
        manager.GET(
            url, std::nullopt,
            [&](auto&, const tc::http::ResponseObject& o) {
                received += std::any_cast<const tc::http::Bytes&>(o).size();
                done = true;
            },
            [&](auto&, const tc::http::Error&) { done = true; });
        tc::platform::RunLoop::main().runUntil([&] { return done; }, std::chrono::seconds(10));
    }
    return received;
}

// The same with the completion queue on the network thread: each success asks for the next GET from there.
std::size_t chainedLoop(tc::http::HTTPRequestOperationManager& manager, const std::string& url) {
    std::size_t received = 0;
    int remaining = kRequests;
    tc::platform::Semaphore finished;
    std::function<void()> next = [&] {
        manager.GET(
            url, std::nullopt,
            [&](auto&, const tc::http::ResponseObject& o) {
                received += std::any_cast<const tc::http::Bytes&>(o).size();
                if (--remaining > 0)
                    next();
                else
                    finished.signal();
            },
            [&](auto&, const tc::http::Error&) { finished.signal(); });
    };
    next();
    if (!finished.waitFor(std::chrono::seconds(60))) {
        std::fprintf(stderr, "a chained GET never finished\n");
        std::abort(); // its callables still point at this frame
    }
    return received;
}

// The loops take turns in each round so that a change of machine load falls on all of them.
void BM_LoopbackGets(benchmark::State& state) {
    tc::platform::RunLoop::main().bindToCurrentThread();
    std::string url = server().url("/1k");
    auto manager = tc::http::HTTPRequestOperationManager::manager();
    manager->setResponseSerializer(tc::http::HTTPResponseSerializer::serializer());
    auto chained = tc::http::HTTPRequestOperationManager::manager();
    chained->setResponseSerializer(tc::http::HTTPResponseSerializer::serializer());
    chained->completionQueue = tc::http::DispatchQueue::network();

    CURL* plain = curl_easy_init();
    CURL* same = curl_easy_init();
    curl_slist* fields = nullptr;
    for (const auto& [name, value] : manager->requestSerializer()->HTTPRequestHeaders())
        fields = curl_slist_append(fields, (name + ": " + value).c_str());
    for (CURL* easy : {plain, same}) {
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onData);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    }
    curl_easy_setopt(same, CURLOPT_HTTPHEADER, fields);
    curl_easy_setopt(same, CURLOPT_ACCEPT_ENCODING, "");

    const std::size_t expected = std::size_t{kRequests} * 1024;
    double plainSeconds = 0, sameSeconds = 0, mainSeconds = 0, chainSeconds = 0;
    std::uint64_t connections = server().connectionCount();
    for (auto _ : state) {
        auto t0 = Clock::now();
        bool ok = bareLoop(plain) == expected;
        plainSeconds += since(t0);
        t0 = Clock::now();
        ok = bareLoop(same) == expected && ok;
        sameSeconds += since(t0);
        t0 = Clock::now();
        ok = chainedLoop(*chained, url) == expected && ok;
        chainSeconds += since(t0);
        t0 = Clock::now();
        ok = mainQueueLoop(*manager, url) == expected && ok;
        mainSeconds += since(t0);
        if (!ok)
            state.SkipWithError("a GET failed or came back short");
    }
    curl_easy_cleanup(plain);
    curl_easy_cleanup(same);
    curl_slist_free_all(fields);
    connections = server().connectionCount() - connections;
    double n = static_cast<double>(state.iterations()) * kRequests;
    state.counters["bare_per_s"] = n / sameSeconds;
    state.counters["bare_no_fields_per_s"] = n / plainSeconds;
    state.counters["chained_per_s"] = n / chainSeconds;
    state.counters["main_queue_per_s"] = n / mainSeconds;
    state.counters["chained_vs_bare"] = sameSeconds / chainSeconds;
    state.counters["main_queue_vs_bare"] = sameSeconds / mainSeconds;
    state.counters["connections"] = static_cast<double>(connections);
    std::printf(
        "HTTP GETs, %lld rounds of %d, %llu connections: bare libcurl %.0f/s (%.0f/s without the header "
        "fields); manager with completions on the network thread %.0f/s, ratio %.2f (goal >= 0.8); "
        "on the main queue %.0f/s, ratio %.2f (goal >= 0.5)\n",
        static_cast<long long>(state.iterations()), kRequests, static_cast<unsigned long long>(connections),
        n / sameSeconds, n / plainSeconds, n / chainSeconds, sameSeconds / chainSeconds, n / mainSeconds,
        sameSeconds / mainSeconds);
}

long rssKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return 0;
}

void BM_DownloadToFile(benchmark::State& state) {
    tc::platform::RunLoop::main().bindToCurrentThread();
    auto path = std::filesystem::temp_directory_path() / ("tc-http-bench-" + std::to_string(::getpid()));
    double growthMiB = 0;
    for (auto _ : state) {
        long before = rssKiB();
        std::atomic<long> peak{before};
        std::atomic<bool> running{true};
        std::thread sampler([&] {
            while (running) {
                long now = rssKiB();
                if (now > peak)
                    peak = now;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        tc::http::URLRequest request(*tc::http::URL::parse(server().url("/100m")));
        auto op = tc::http::HTTPRequestOperation::create(request);
        op->setOutputStream(std::make_shared<tc::http::FileOutputStream>(path, false));
        bool done = false;
        std::optional<tc::http::Error> error;
        op->setCompletionBlockWithSuccess([&](auto&, auto&) { done = true; },
                                          [&](auto&, const tc::http::Error& e) { done = true, error = e; });
        auto queue = tc::http::OperationQueue::create();
        queue->addOperation(op);
        tc::platform::RunLoop::main().runUntil([&] { return done; }, std::chrono::seconds(60));
        running = false;
        sampler.join();
        if (error || std::filesystem::file_size(path) != static_cast<std::uintmax_t>(kDownloadBytes))
            state.SkipWithError("download failed");
        growthMiB = std::max(growthMiB, (peak - before) / 1024.0);
        std::filesystem::remove(path);
    }
    state.counters["rss_growth_MiB"] = growthMiB;
    std::printf("100 MiB download to a file: memory growth %.1f MiB (goal < 16)\n", growthMiB);
}

} // namespace

BENCHMARK(BM_LoopbackGets)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DownloadToFile)->Unit(benchmark::kMillisecond)->Iterations(1);
