#include "model/records/decimal_extension.h"
#include "platform/compact_decimal.h"
#include "platform/decimal.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace tc;
using platform::Decimal;
using platform::DecimalRounding;
using platform::RoundingMode;

Decimal dec(const char* text) {
    return *Decimal::fromString(text);
}

void BM_ParsePrice(benchmark::State& state) {
    const std::vector<std::string> prices{"1.23455", "108.125", "0.00005", "27150.5", "-3.75"};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Decimal::fromString(prices[i++ % prices.size()]));
    }
}
BENCHMARK(BM_ParsePrice);

void BM_ParseThirtyEightDigits(benchmark::State& state) {
    const std::string text = "-1234567890123456789.0123456789012345678";
    for (auto _ : state)
        benchmark::DoNotOptimize(Decimal::fromString(text));
}
BENCHMARK(BM_ParseThirtyEightDigits);

void BM_ToString(benchmark::State& state) {
    const Decimal d = dec("1.23455");
    for (auto _ : state)
        benchmark::DoNotOptimize(d.toString());
}
BENCHMARK(BM_ToString);

void BM_MultiplyLotByPrice(benchmark::State& state) {
    const Decimal lots = dec("2.5"), price = dec("1.23455");
    for (auto _ : state)
        benchmark::DoNotOptimize(lots.multiply(price));
}
BENCHMARK(BM_MultiplyLotByPrice);

void BM_MultiplyThirtyEightDigits(benchmark::State& state) {
    const Decimal a = dec("12345678901234567890123456789012345678"),
                  b = dec("0.98765432109876543210987654321098765432");
    for (auto _ : state)
        benchmark::DoNotOptimize(a.multiply(b));
}
BENCHMARK(BM_MultiplyThirtyEightDigits);

void BM_DivideAtScale(benchmark::State& state) {
    const Decimal amount = dec("10000"), price = dec("1.23455");
    const DecimalRounding r{RoundingMode::Bankers, 2};
    for (auto _ : state)
        benchmark::DoNotOptimize(amount.divide(price, r));
}
BENCHMARK(BM_DivideAtScale);

void BM_DivideWideDivisor(benchmark::State& state) {
    const Decimal a = dec("1"), b = dec("3.0000000000000000000000000000000000007");
    for (auto _ : state)
        benchmark::DoNotOptimize(a.divide(b));
}
BENCHMARK(BM_DivideWideDivisor);

void BM_ModuloForOnTick(benchmark::State& state) {
    const Decimal price = dec("1.23455"), tick = dec("0.00005");
    for (auto _ : state)
        benchmark::DoNotOptimize(moduloFor(price, tick));
}
BENCHMARK(BM_ModuloForOnTick);

void BM_ModuloForDoubleOffTick(benchmark::State& state) {
    const Decimal price = dec("1.23456");
    for (auto _ : state)
        benchmark::DoNotOptimize(moduloForDouble(price, 0.00005));
}
BENCHMARK(BM_ModuloForDoubleOffTick);

// The compact stored form: the wire's plain text into it, and the trips to and from Decimal that
// every arithmetic on a stored figure makes.
void BM_CompactParsePrice(benchmark::State& state) {
    const std::vector<std::string> prices{"1.23455", "108.125", "0.00005", "27150.50", "-3.75"};
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::CompactDecimal::fromPlainText(prices[i++ % prices.size()]));
}
BENCHMARK(BM_CompactParsePrice);

void BM_CompactToDecimal(benchmark::State& state) {
    const platform::CompactDecimal c(dec("-27150.125"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(c);
        benchmark::DoNotOptimize(c.toDecimal());
    }
}
BENCHMARK(BM_CompactToDecimal);

void BM_CompactFromDecimal(benchmark::State& state) {
    const Decimal d = dec("-27150.125");
    for (auto _ : state) {
        benchmark::DoNotOptimize(d);
        benchmark::DoNotOptimize(platform::CompactDecimal(d));
    }
}
BENCHMARK(BM_CompactFromDecimal);

void BM_CompactFromLongDecimal(benchmark::State& state) {
    const Decimal d = dec("-1234567890123456789.0123456789012345678");
    for (auto _ : state) {
        benchmark::DoNotOptimize(d);
        benchmark::DoNotOptimize(platform::CompactDecimal(d));
    }
}
BENCHMARK(BM_CompactFromLongDecimal);

void BM_CompactToString(benchmark::State& state) {
    const platform::CompactDecimal c(dec("1.23455"));
    for (auto _ : state)
        benchmark::DoNotOptimize(c.toString());
}
BENCHMARK(BM_CompactToString);

} // namespace
