// The main window's one-second refresh: floating P/L (converted into each account's currency) and
// margin of 10,000 open positions over 1,000 instruments, beside the cost of only walking them.
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <fmt/format.h>

#include <memory>
#include <random>

namespace {

using namespace tc;

constexpr int kInstruments = 1000;
constexpr int kPositions = 10000;
constexpr int kAccounts = 8;

struct RefreshSession {
    SessionModel model;
    SessionModelLookup lookup{model};

    RefreshSession() {
        std::mt19937 random(42);
        std::uniform_real_distribution<double> price(0.5, 150.0);
        for (int n = 0; n < kInstruments; ++n) {
            auto item = std::make_shared<ItemDetails>();
            item->Code = fmt::format("SYM{:04}", n);
            item->InstrumentId = n + 1;
            item->DecimalPlaces = 4;
            item->Point = platform::CompactDecimal::fromString("1").value();
            item->ContractSize = platform::CompactDecimal::fromString("1000").value();
            item->PLCalcModeId = 1 + n % 6;
            // Quotes come on the instrument's 4 decimals, as the feed sends them.
            const auto units = std::llround(price(random) * 1e4);
            item->Bid = platform::CompactDecimal::fromUnits(units, -4);
            item->Ask = platform::CompactDecimal::fromUnits(units + 5, -4);
            model.ItemCollection.insert_or_assign(item->Code, item);
        }
        // Modes 5 and 6 convert by another instrument's quote.
        for (auto& [code, item] : model.ItemCollection)
            item->CalculationItems =
                model.ItemCollection.get(fmt::format("SYM{:04}", item->InstrumentId % kInstruments))
                    ->shared();
        for (int g = 0; g < 2; ++g) {
            auto group = std::make_shared<GroupDetails>();
            group->GroupId = g + 1;
            group->TradingEnabled = true;
            for (int n = 0; n < kInstruments; ++n) {
                GroupInstruments s;
                s.InstrumentId = n + 1;
                s.InitialMargin = platform::CompactDecimal::fromString("2").value();
                s.InitialSellMargin = platform::CompactDecimal::fromString("3").value();
                s.marginCalculationMode = g == 0 ? 2 : 1;
                group->fileGroupInstrument(s);
            }
            model.fileGroup(group);
        }
        for (int a = 0; a < kAccounts; ++a) {
            auto account = std::make_shared<AccountDetails>();
            account->AccountId = 1000 + a;
            account->GroupId = std::to_string(1 + a % 2);
            account->tradingStatus = 1;
            account->accountAccessType = 1;
            auto currency = std::make_shared<TradeCurrency>();
            currency->conversionMode = a % 6;
            currency->instrumentID = static_cast<std::uint64_t>(kInstruments - a); // late in the list
            currency->bidRate = platform::CompactDecimal::fromString("0.9").value();
            currency->askRate = platform::CompactDecimal::fromString("1.1").value();
            account->tradeCurrency = currency;
            model.AccountDetailCollection.insert_or_assign(std::to_string(account->AccountId), account);
        }
        std::uniform_int_distribution<int> instrument(0, kInstruments - 1);
        std::uniform_int_distribution<int> account(0, kAccounts - 1);
        for (int n = 0; n < kPositions; ++n) {
            auto p = std::make_shared<Order>();
            p->OpenPositionId = std::to_string(500000 + n);
            p->AccountNumber = std::to_string(1000 + account(random));
            p->ItemCode = fmt::format("SYM{:04}", instrument(random));
            p->tradingMode = n % 2;
            p->deliveryMode = 1;
            p->RemainingQty = platform::Decimal::fromInt64(1 + n % 7);
            p->OrderPrice = *platform::Decimal::fromString(fmt::format("{:.4f}", price(random)));
            model.OpenOrderCollection.push_back(p);
        }
    }
};

RefreshSession& fixture() {
    static RefreshSession s;
    return s;
}

// Only walking the stored positions, reading one field.
void BM_IteratePositions(benchmark::State& state) {
    auto& s = fixture();
    for (auto _ : state) {
        double sum = 0;
        for (const auto& p : s.model.OpenOrderCollection)
            sum += p->UnrealisedPL;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPositions);
}
BENCHMARK(BM_IteratePositions)->Unit(benchmark::kMicrosecond);

// The displayable list as the window asks for it (one account look-up per position).
void BM_DisplayablePositions(benchmark::State& state) {
    auto& s = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.lookup.getOpenOrderCollection());
    state.SetItemsProcessed(state.iterations() * kPositions);
}
BENCHMARK(BM_DisplayablePositions)->Unit(benchmark::kMicrosecond);

// The whole refresh over the stored positions: visibility, P/L, conversion and margin.
void BM_RefreshOpenPositions(benchmark::State& state) {
    auto& s = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(refreshOpenPositions(s.model.OpenOrderCollection, s.lookup));
    state.SetItemsProcessed(state.iterations() * kPositions);
}
BENCHMARK(BM_RefreshOpenPositions)->Unit(benchmark::kMicrosecond);

// The same P/L and conversion one operation at a time (each conversion looks its instrument up by
// id), for comparison.
void BM_PerPositionOperations(benchmark::State& state) {
    auto& s = fixture();
    PositionArithmetic arithmetic(s.lookup);
    for (auto _ : state) {
        for (auto& p : s.model.OpenOrderCollection) {
            arithmetic.CalcPL(*p);
            p->UnrealisedPL = arithmetic.calculateCurrencyConversionForValue(p->UnrealisedPL, *p);
        }
    }
    state.SetItemsProcessed(state.iterations() * kPositions);
}
BENCHMARK(BM_PerPositionOperations)->Unit(benchmark::kMicrosecond);

} // namespace
