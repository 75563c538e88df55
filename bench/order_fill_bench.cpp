// The initial lists from the data service, filled on the main queue: 100,000 settled rows, and
// 100,000 open positions with a take-profit order each. Each row's duplicate check and bracket link
// is a look-up by id, so the fill grows with the rows, not with their square. And the execution
// reports of an order's life (stored, edited, filled, partly closed, settled) read into the lists.
#include "client/headless_application.h"
#include "model/records/account_details.h"
#include "model/records/history_rows.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "orders/order_collections.h"
#include "platform/user_defaults.h"
#include "session/business/order_host.h"
#include "wire/message_base.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tc;

constexpr int kRows = 100'000;
constexpr int kInstruments = 200;

// The session around the lists: its model, nothing sent, no journal, no events.
class QuietHost final : public OrderHost {
public:
    explicit QuietHost(SessionModel& model) : model_(model), app_(*defaults_) {}
    SessionModel& model() override { return model_; }
    const SessionModel& model() const override { return model_; }
    MessageSender& sender() override { return sender_; }
    bool isStreamConnected() const override { return true; }
    bool isNetworkAvailable() const override { return true; }
    std::string userName() const override { return {}; }
    std::string referenceId() const override { return {}; }
    std::int32_t requestId() const override { return 0; }
    std::string serverTime() const override { return {}; }
    interfaces::ApplicationInterface& application() override { return app_; }
    std::string textForKey(std::string_view key) const override { return std::string(key); }
    JournalContext journalContext() const override { return {}; }
    void appendJournal(std::string) override {}
    SessionEventSink& events() override { return events_; }
    void tablesChanged(interfaces::TableSet) override {}
    void recordRewritten(std::shared_ptr<const Order>) override {}
    const platform::CallbackGuard::Scope& lifetime() const override { return guard_.scope(); }

private:
    class NoSender final : public MessageSender {
    public:
        void sendMessage(RequestMessage) override {}
        std::string envelopeKey(bool) const override { return {}; }
    };
    SessionModel& model_;
    std::unique_ptr<platform::UserDefaults> defaults_ = platform::UserDefaults::inMemory();
    HeadlessApplication app_;
    NoSender sender_;
    SessionEventSink events_;
    platform::CallbackGuard guard_;
};

void fillSnapshot(SessionModel& model) {
    for (int n = 0; n < kInstruments; ++n) {
        auto item = std::make_shared<ItemDetails>();
        item->Code = fmt::format("SYM{:03}", n);
        item->InstrumentId = n + 1;
        model.ItemCollection.insert_or_assign(item->Code, item);
    }
    for (int a = 0; a < 4; ++a) {
        auto account = std::make_shared<AccountDetails>();
        account->AccountId = 1000 + a;
        model.AccountDetailCollection.insert_or_assign(std::to_string(account->AccountId), account);
    }
}

std::vector<SettledOrderHD> settledRows() {
    std::vector<SettledOrderHD> rows(kRows);
    for (int n = 0; n < kRows; ++n) {
        SettledOrderHD& r = rows[static_cast<std::size_t>(n)];
        r.SettlementId = std::to_string(9'000'000 + n);
        r.AccountId = std::to_string(1000 + n % 4);
        r.InstrumentId = 1 + n % kInstruments;
        r.RefPositionId = std::to_string(5'000'000 + n);
        r.RefClosingPositionId = std::to_string(6'000'000 + n);
        r.SettledQty = platform::Decimal::fromInt64(1 + n % 5);
        r.SettledPL = platform::Decimal::fromInt64(n % 200) - *platform::Decimal::fromString("100.25");
        r.SettlementDate = wallTimeFromWire("20240131154500");
        r.OpenPrice = *platform::Decimal::fromString("1.2000");
        r.ClosePrice = *platform::Decimal::fromString("1.2050");
        r.OpenPositionDate = wallTimeFromWire("20240130101500");
        r.DeliveryModeId = Delivery::Regular;
    }
    return rows;
}

// Times `fill` over a fresh session holding only the snapshot, `rows` rows per iteration.
template <typename Fill>
void timeFill(benchmark::State& state, std::int64_t rows, Fill fill) {
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<SessionModel>();
        fillSnapshot(*model);
        QuietHost host(*model);
        auto collections = std::make_unique<OrderCollections>(host);
        state.ResumeTiming();
        fill(*collections, *model);
        state.PauseTiming();
        collections.reset();
        model.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void BM_FillSettledRows(benchmark::State& state) {
    const auto rows = settledRows();
    timeFill(state, kRows * 2, [&](OrderCollections& collections, SessionModel& model) {
        for (const auto& r : rows)
            collections.FillInitialSettledOrderCollection(r);
        // A second reply with the same rows adds nothing.
        for (const auto& r : rows)
            collections.FillInitialSettledOrderCollection(r);
        if (model.SettledOrderCollection.size() != kRows)
            state.SkipWithError("settled rows lost or doubled");
    });
}
BENCHMARK(BM_FillSettledRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FillPositionsWithBrackets(benchmark::State& state) {
    std::vector<OpenOrderHD> open(kRows);
    std::vector<PendingOrderHD> pending(kRows);
    for (int n = 0; n < kRows; ++n) {
        OpenOrderHD& p = open[static_cast<std::size_t>(n)];
        p.PositionId = std::to_string(5'000'000 + n);
        p.AccountId = std::to_string(1000 + n % 4);
        p.InstrumentId = 1 + n % kInstruments;
        p.PositionInitialQty = p.PositionQty = platform::Decimal::fromInt64(1 + n % 5);
        p.OrderPrice = *platform::Decimal::fromString("1.2");
        p.PositionDate = wallTimeFromWire("20240131154500");
        PendingOrderHD& o = pending[static_cast<std::size_t>(n)];
        o.PendingOrderId = std::to_string(7'000'000 + n);
        o.AccountId = p.AccountId;
        o.InstrumentId = p.InstrumentId;
        o.OrderTypeId = OrderKind::Limit;
        o.OrderQty = o.RemainingQty = p.PositionQty;
        o.OrderPrice = *platform::Decimal::fromString("1.25");
        o.RefPositionIdOfBracket = p.PositionId;
    }
    timeFill(state, kRows * 2, [&](OrderCollections& collections, SessionModel& model) {
        for (const auto& r : open)
            collections.FillInitialOpenOrderCollection(r);
        for (const auto& r : pending)
            collections.FillInitialPendingOrderCollection(r);
        if (model.PendingOrderCollection.size() != kRows)
            state.SkipWithError("pending rows lost or doubled");
    });
}
BENCHMARK(BM_FillPositionsWithBrackets)->Unit(benchmark::kMillisecond)->Iterations(3);

// Each order's reports, as the dispatcher hands them over: the order stored, its price edited, the
// fill, a partial close of the position and its settlement. 300 orders per pass, so the look-ups
// along the lists stay small beside the reading.
void BM_ExecutionReportRoad(benchmark::State& state) {
    constexpr int kOrders = 300;
    using Fields = OrderCollections::Fields;
    struct Road {
        std::string pendingId, positionId;
        Fields stored, edited, filled, reduced, settled;
    };
    std::vector<Road> roads(kOrders);
    for (int n = 0; n < kOrders; ++n) {
        Road& r = roads[static_cast<std::size_t>(n)];
        r.pendingId = std::to_string(7'000'000 + n);
        r.positionId = std::to_string(5'000'000 + n);
        const std::string account = std::to_string(1000 + n % 4);
        const std::string code = fmt::format("SYM{:03}", n % kInstruments);
        const std::string quantity = std::to_string(1 + n % 5);
        r.stored = {"10=62",
                    "73=21",
                    "12=" + code,
                    "32=30",
                    "33=0",
                    "34=" + account,
                    "36=45",
                    "37=" + quantity,
                    "38=1.2345",
                    "39=1.2500",
                    "40=1.2000",
                    "43=47",
                    "76=" + quantity,
                    "78=20240131154500",
                    "79=" + r.pendingId,
                    "81=T" + r.pendingId,
                    "117=51",
                    "570=R" + r.pendingId};
        r.edited = {"10=62",     "73=75",     "79=" + r.pendingId, "38=1.2350",        "37=" + quantity,
                    "39=1.2600", "40=1.1900", "76=" + quantity,    "78=20240131154510"};
        r.filled = {"10=66",
                    "73=23",
                    "12=" + code,
                    "33=0",
                    "34=" + account,
                    "37=" + quantity,
                    "38=1.2350",
                    "44=20240301000000",
                    "72=E" + r.pendingId,
                    "76=" + quantity,
                    "78=20240131154520",
                    "79=" + r.pendingId,
                    "80=" + r.positionId,
                    "162=1.0834",
                    "545=2.5",
                    "570=R" + r.positionId,
                    "585=20240202000000"};
        r.reduced = {"10=66", "80=" + r.positionId, "37=" + quantity, "38=1.2350",
                     "76=1",  "141=0.12",           "545=1.5"};
        r.settled = {"10=67",
                     "12=" + std::to_string(1 + n % kInstruments),
                     "34=" + account,
                     "78=20240131160000",
                     "80=" + r.positionId,
                     "86=S" + r.positionId,
                     "87=" + r.positionId,
                     "88=-12.50",
                     "89=1",
                     "141=0.12",
                     "142=1.0834",
                     "143=0",
                     "545=1.5",
                     "604=1"};
    }
    timeFill(state, kOrders * 5, [&](OrderCollections& collections, SessionModel& model) {
        for (const Road& r : roads) {
            collections.FillPendingOrderCollection(r.stored, r.pendingId);
            collections.UpdatePendingOrderCollection(r.edited, r.pendingId);
            collections.FillOpenOrderCollection(r.filled);
            collections.RemovePendingOrder(r.pendingId);
            collections.UpdateOpenOrderCollection(r.positionId, r.reduced, platform::Decimal::fromInt64(1));
            collections.FillSettledOrderCollection(r.settled);
        }
        if (model.OpenOrderCollection.size() != kOrders || model.SettledOrderCollection.size() != kOrders)
            state.SkipWithError("reports lost");
    });
}
BENCHMARK(BM_ExecutionReportRoad)->Unit(benchmark::kMillisecond);

} // namespace
