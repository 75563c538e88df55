// The HTTP client over loopback: 1,000 sequential GETs of a 1 KiB body on a kept-alive connection
// through the operation manager, beside the same loop on bare libcurl ("manager_vs_bare" is the ratio
// of their request rates, goal at least 0.8), and a 100 MiB download to a file whose memory growth
// ("rss_growth_MiB", goal under 16) is sampled while it runs.
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

double& bareRate() {
    static double rate = 0;
    return rate;
}

std::size_t onData(char*, std::size_t size, std::size_t count, void* p) {
    *static_cast<std::size_t*>(p) += size * count;
    return size * count;
}

void BM_BareCurlGets(benchmark::State& state) {
    std::string url = server().url("/1k");
    CURL* easy = curl_easy_init();
    std::size_t received = 0;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    double seconds = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kRequests; ++i)
            if (curl_easy_perform(easy) != CURLE_OK)
                state.SkipWithError("bare GET failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    curl_easy_cleanup(easy);
    bareRate() = state.iterations() * kRequests / seconds;
    state.counters["requests_per_s"] = bareRate();
}

void BM_ManagerGets(benchmark::State& state) {
    platform::RunLoop::main().bindToCurrentThread();
    auto manager = http::HTTPRequestOperationManager::manager();
    manager->setResponseSerializer(http::HTTPResponseSerializer::serializer());
    std::string url = server().url("/1k");
    double seconds = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kRequests; ++i) {
            bool done = false;
            manager->GET(
                url, std::nullopt, [&](auto&, auto&) { done = true; },
                [&](auto&, const http::Error&) { done = true; });
            platform::RunLoop::main().runUntil([&] { return done; }, std::chrono::seconds(10));
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    double rate = state.iterations() * kRequests / seconds;
    state.counters["requests_per_s"] = rate;
    if (bareRate() > 0) {
        state.counters["manager_vs_bare"] = rate / bareRate();
        std::printf("HTTP GETs: manager %.0f/s, bare libcurl %.0f/s, ratio %.2f (goal >= 0.8)\n", rate,
                    bareRate(), rate / bareRate());
    }
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
    platform::RunLoop::main().bindToCurrentThread();
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
        http::URLRequest request(*http::URL::parse(server().url("/100m")));
        auto op = http::HTTPRequestOperation::create(request);
        op->setOutputStream(std::make_shared<http::FileOutputStream>(path, false));
        bool done = false;
        std::optional<http::Error> error;
        op->setCompletionBlockWithSuccess([&](auto&, auto&) { done = true; },
                                          [&](auto&, const http::Error& e) { done = true, error = e; });
        auto queue = http::OperationQueue::create();
        queue->addOperation(op);
        platform::RunLoop::main().runUntil([&] { return done; }, std::chrono::seconds(60));
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

BENCHMARK(BM_BareCurlGets)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ManagerGets)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DownloadToFile)->Unit(benchmark::kMillisecond)->Iterations(1);
