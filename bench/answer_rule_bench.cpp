// Two Close Alls of the same thousands of positions, the server closing them for one and refusing
// them to the other: every report fits both, so each position's reports wait for its group and each
// request is told of each position that its outcome is not known. The reports are read on the main
// queue; they grow with the positions, not with their square or cube.
#include "orders/requests_in_flight.h"
#include "session/business/business_services.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace tc;

using Reports = std::vector<std::pair<std::int64_t, std::vector<std::string>>>;

// Reads the reports as the session does, each refusal (status 25) of `code`: the answers they told, and,
// given `worst`, the longest one report held the main queue (ms).
std::size_t readAll(RequestsInFlight& list, const Reports& reports, std::int32_t code,
                    double* worst = nullptr) {
    std::size_t told = 0;
    for (const auto& [type, fields] : reports) {
        ExecutionReport report(type, fields);
        if (fields[1] == "73=25")
            report.rejectionCode = code;
        const auto start = std::chrono::steady_clock::now();
        told += list.answered(report).has_value();
        told += list.takeGivenBack().size();
        if (worst)
            *worst = std::max(
                *worst,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return told;
}

void BM_TwoLikeCloseAllsAnsweredApart(benchmark::State& state) {
    const int positions = static_cast<int>(state.range(0));
    std::vector<std::string> ids;
    for (int i = 0; i < positions; ++i)
        ids.push_back(std::to_string(900000 + i));
    // Each report as the wire brings it: the update that closed the position, its settlement, and the
    // other request's refusal of it.
    Reports reports;
    for (const std::string& id : ids) {
        reports.push_back({67, {"10=67", "73=73", "80=" + id, "76=0"}});
        reports.push_back({66, {"10=66", "80=" + id, "12=1"}});
    }
    for (const std::string& id : ids)
        reports.push_back({62, {"10=62", "73=25", "74=15", "79=", "125=" + id}});
    std::size_t told = 0;
    for (auto _ : state) {
        RequestsInFlight list;
        for (const char* text : {"first", "second"}) {
            RequestsInFlight::Request r;
            r.kind = RequestsInFlight::Kind::CloseAll;
            r.description = text;
            r.targets = ids;
            r.positions = ids.size();
            list.sent(std::move(r));
        }
        told = readAll(list, reports, 15);
        if (list.waiting() != 0)
            state.SkipWithError("a request was left waiting");
    }
    state.counters["answers"] = static_cast<double>(told);
}
BENCHMARK(BM_TwoLikeCloseAllsAnsweredApart)
    ->Arg(1'000)
    ->Arg(5'000)
    ->Arg(10'000)
    ->Arg(20'000)
    ->Unit(benchmark::kMillisecond);

// Pairs of a buy and a sell sent in one pass, each pair of its own number: the server refuses one of
// each pair first (a refusal names no side, so it fits both) and then fills the other. Each report is
// looked up by the requests it fits: the burst grows with the pairs, not with their square.
void BM_RefusalsFittingSeveralRequests(benchmark::State& state) {
    const int pairs = static_cast<int>(state.range(0));
    Reports reports;
    for (int i = 0; i < pairs; ++i)
        reports.push_back({62, {"10=62", "73=25", "33=" + std::to_string(100 + i), "12=EURUSD", "74=11"}});
    for (int i = 0; i < pairs; ++i)
        reports.push_back({62,
                           {"10=62", "73=23", "33=" + std::to_string(100 + i), "12=EURUSD", "36=46", "37=1",
                            "79=" + std::to_string(700000 + i), "80=" + std::to_string(800000 + i)}});
    std::size_t told = 0;
    for (auto _ : state) {
        RequestsInFlight list;
        for (int i = 0; i < pairs; ++i)
            for (const int side : {0, 1}) {
                RequestsInFlight::Request r;
                r.kind = RequestsInFlight::Kind::NewOrder;
                r.description = side == 0 ? "buy" : "sell";
                r.requestNumber = 100 + i;
                r.instrument = "EURUSD";
                r.side = side;
                r.quantity = platform::Decimal::fromString("1");
                list.sent(std::move(r));
            }
        told = readAll(list, reports, 11);
        if (list.waiting() != 0)
            state.SkipWithError("a request was left waiting");
    }
    state.counters["answers"] = static_cast<double>(told);
}
BENCHMARK(BM_RefusalsFittingSeveralRequests)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

// A burst of like market orders of one number, a third of them for another quantity, every other one
// refused (a refusal names no quantity, so it fits them all), answered in reverse. The worst single
// report is what holds the main queue: it grows with the burst, not with its cube.
void BM_LikeBurstEveryOtherRefused(benchmark::State& state) {
    const int orders = static_cast<int>(state.range(0));
    Reports reports;
    for (int i = orders - 1; i >= 0; --i) {
        if (i % 2)
            reports.push_back({62, {"10=62", "73=25", "33=60", "12=EURUSD", "74=1"}});
        else
            reports.push_back({62,
                               {"10=62", "73=23", "33=60", "12=EURUSD", "36=45", i % 3 == 0 ? "37=2" : "37=1",
                                "79=" + std::to_string(700000 + i), "80=" + std::to_string(800000 + i)}});
    }
    std::size_t told = 0;
    double worst = 0;
    for (auto _ : state) {
        RequestsInFlight list;
        for (int i = 0; i < orders; ++i) {
            RequestsInFlight::Request r;
            r.kind = RequestsInFlight::Kind::NewOrder;
            r.description = "buy";
            r.requestNumber = 60;
            r.instrument = "EURUSD";
            r.side = 0;
            r.quantity = platform::Decimal::fromString(i % 3 == 0 ? "2" : "1");
            list.sent(std::move(r));
        }
        told = readAll(list, reports, 1, &worst);
        if (list.waiting() != 0)
            state.SkipWithError("a request was left waiting");
    }
    state.counters["answers"] = static_cast<double>(told);
    state.counters["worst_report_ms"] = worst;
}
BENCHMARK(BM_LikeBurstEveryOtherRefused)->Arg(100)->Arg(300)->Arg(1'000)->Unit(benchmark::kMillisecond);

// A close-all of every open position listing thousands beside a listed one of as many others in the
// same account and instrument: the first closes both lists (the others it did not list), the second is
// refused each of its own as no longer held. Each report of a position the first did not list fits it
// too, and waits until the server went on answering past its turn.
void BM_EveryOpenCloseAllBesideAListedOne(benchmark::State& state) {
    const int positions = static_cast<int>(state.range(0));
    std::vector<std::string> own, others;
    for (int i = 0; i < positions; ++i) {
        own.push_back(std::to_string(900000 + i));
        others.push_back(std::to_string(800000 + i));
    }
    Reports reports;
    for (const auto* list : {&own, &others})
        for (const std::string& id : *list) {
            reports.push_back({67, {"10=67", "73=73", "80=" + id, "76=0"}});
            reports.push_back({66, {"10=66", "80=" + id, "12=1"}});
        }
    for (const std::string& id : others)
        reports.push_back({62, {"10=62", "73=25", "74=15", "79=", "125=" + id}});
    std::size_t told = 0;
    double worst = 0, leftOver = 0;
    for (auto _ : state) {
        RequestsInFlight list;
        RequestsInFlight::Request every;
        every.kind = RequestsInFlight::Kind::CloseAll;
        every.description = "every open";
        every.targets = own;
        every.positions = own.size();
        every.closesWhatIsOpen = true;
        // Without them (0) the close-all owns no report of a position it did not list, as before.
        if (state.range(1) != 0) {
            every.openAccounts = {"20001"};
            every.openInstruments = {"EURUSD"};
        }
        list.sent(std::move(every));
        RequestsInFlight::Request listed;
        listed.kind = RequestsInFlight::Kind::CloseAll;
        listed.description = "listed";
        listed.targets = others;
        listed.positions = others.size();
        list.sent(std::move(listed));
        worst = 0;
        told = readAll(list, reports, 15, &worst);
        const auto start = std::chrono::steady_clock::now();
        told += list.takeLeftOver(platform::Clock::currentTime() + std::chrono::seconds(4)).size();
        leftOver =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (list.waiting() != 0)
            state.SkipWithError("a request was left waiting");
    }
    state.counters["answers"] = static_cast<double>(told);
    state.counters["worst_report_ms"] = worst;
    state.counters["left_over_ms"] = leftOver;
}
// Without (0) and with (1) the reports of the positions it did not list its own.
BENCHMARK(BM_EveryOpenCloseAllBesideAListedOne)
    ->Args({300, 0})
    ->Args({3'000, 0})
    ->Args({300, 1})
    ->Args({1'000, 1})
    ->Args({3'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
