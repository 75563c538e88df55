// Table refreshes format a price and reformat a wire date for every row.
#include "chat/rtf_reader.h"
#include "model/text/formatter.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tc;

void BM_FormatDecimal(benchmark::State& state) {
    double v = 1.23456;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Formatter::formatDecimal(v, 5));
        v += 0.00001;
    }
}
BENCHMARK(BM_FormatDecimal);

void BM_WireDateReformat(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(Formatter::formatDateAndTimeFromString(
            "20190501153000", Formatter::kWireDateTime, Formatter::kDisplayDateTime));
}
BENCHMARK(BM_WireDateReformat);

void BM_WireDateReformatReusingFormatters(benchmark::State& state) {
    // What a table could do by keeping its two formatters for a whole refresh.
    auto reader = Formatter::getDateFormatter(Formatter::kWireDateTime);
    auto writer = Formatter::getDateFormatter(Formatter::kDisplayDateTime);
    for (auto _ : state)
        benchmark::DoNotOptimize(writer.format(*reader.parse("20190501153000")));
}
BENCHMARK(BM_WireDateReformatReusingFormatters);

void BM_RtfRoundTrip(benchmark::State& state) {
    const std::string text = "Please check order 12345 \xF0\x9F\x91\x8D {urgent}\nThanks";
    for (auto _ : state)
        benchmark::DoNotOptimize(
            tc::chat::RtfReader::ConvertRTFToString(Formatter::convertStringToRTF(text)));
}
BENCHMARK(BM_RtfRoundTrip);

} // namespace
