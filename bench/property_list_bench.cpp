#include "platform/property_list.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tc;

using platform::PlistArray;
using platform::PlistDictionary;
using platform::PlistValue;
using platform::PropertyList;

// A settings file of a busy user: many keys, some watch lists, a few encrypted blobs.
PlistValue settings(int users) {
    PlistDictionary d;
    for (int u = 0; u < users; ++u) {
        PlistArray codes;
        for (int i = 0; i < 20; ++i)
            codes.emplace_back("CODE" + std::to_string(i));
        d.set("user" + std::to_string(u), PlistValue(std::move(codes)));
        d.set("flag" + std::to_string(u), PlistValue(u % 2 == 0));
        d.set("size" + std::to_string(u), PlistValue(12));
        d.set("blob" + std::to_string(u), PlistValue(platform::PlistData(48, static_cast<std::uint8_t>(u))));
    }
    return PlistValue(std::move(d));
}

void BM_ReadSettings(benchmark::State& state) {
    std::string doc;
    PropertyList::write(settings(static_cast<int>(state.range(0))), doc);
    for (auto _ : state) {
        auto r = PropertyList::readBytes(doc);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ReadSettings)->Arg(10)->Arg(1000);

void BM_WriteSettings(benchmark::State& state) {
    const PlistValue v = settings(static_cast<int>(state.range(0)));
    std::string doc;
    for (auto _ : state) {
        PropertyList::write(v, doc);
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_WriteSettings)->Arg(10)->Arg(1000);

} // namespace
