// Decoding and inflating a 1 MiB payload, the size class of a large login snapshot.
#include "platform/base64.h"
#include "wire/data_additions.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tc;

constexpr std::size_t kPayload = std::size_t{1} << 20;

// Text-like bytes: compressible about as well as the snapshot's field lists.
std::vector<std::uint8_t> textLikePayload() {
    std::mt19937 rng(3);
    const std::string words[] = {"1050=", "EURUSD", "1.08425", "|", "buy", "sell", "2024-03-01 12:00:00",
                                 "\x01"};
    std::vector<std::uint8_t> out;
    out.reserve(kPayload);
    while (out.size() < kPayload) {
        const auto& w = words[rng() % std::size(words)];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(kPayload);
    return out;
}

void BM_Base64Decode(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(kPayload);
    std::mt19937 rng(5);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    const std::string text = *platform::Base64::encodeBase64WithData(bytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::Base64::decodeBase64WithString(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Base64Decode);

void BM_Base64Encode(benchmark::State& state) {
    const auto bytes = textLikePayload();
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::Base64::encodeBase64WithData(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Base64Encode);

void BM_GzipInflate(benchmark::State& state) {
    const auto packed = *NSDataAdditions::gzipDeflate(textLikePayload());
    for (auto _ : state)
        benchmark::DoNotOptimize(NSDataAdditions::gzipInflate(packed));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
    state.counters["ratio"] = static_cast<double>(kPayload) / static_cast<double>(packed.size());
}
BENCHMARK(BM_GzipInflate);

// 1 MiB of zeros packs into about 1 KiB: the output buffer has to grow from a tiny start.
void BM_GzipInflateHighRatio(benchmark::State& state) {
    const auto packed = *NSDataAdditions::gzipDeflate(std::vector<std::uint8_t>(kPayload, 0));
    for (auto _ : state)
        benchmark::DoNotOptimize(NSDataAdditions::gzipInflate(packed));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
    state.counters["ratio"] = static_cast<double>(kPayload) / static_cast<double>(packed.size());
}
BENCHMARK(BM_GzipInflateHighRatio);

// The full path of a compressed payload: Base64 text to inflated text.
void BM_DecompressData(benchmark::State& state) {
    auto payload = std::vector<std::uint8_t>{0, 0, 16, 0};
    const auto packed = *NSDataAdditions::gzipDeflate(textLikePayload());
    payload.insert(payload.end(), packed.begin(), packed.end());
    const std::string text = *platform::Base64::encodeBase64WithData(payload);
    for (auto _ : state)
        benchmark::DoNotOptimize(NSDataAdditions::decompressData(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPayload));
}
BENCHMARK(BM_DecompressData);

} // namespace
