#include "gui/models/chart_model.h"

#include "charts/bar_time.h"
#include "charts/chart_cache.h"
#include "gui/grid/grid_cells.h"
#include "gui/models/client_model.h"
#include "model/records/item_details.h"

#include <QObject>

#include <vector>

namespace tc::gui {
namespace {

// Forgets its callback when destroyed: the connections to the session model go with it.
class SessionChartRequest final : public charts::ChartRequest {
public:
    ~SessionChartRequest() override {
        for (const QMetaObject::Connection& connection : connections)
            QObject::disconnect(connection);
    }
    std::vector<QMetaObject::Connection> connections;
};

} // namespace

std::optional<charts::InstrumentInfo> ChartModel::instrument(std::string_view code) {
    const ItemDetails* item = instrumentOf(session_.client().model(), code);
    if (!item)
        return std::nullopt;
    return charts::InstrumentInfo{item->Code, item->DisplayDecimalPlaces()};
}

std::optional<charts::LiveQuote> ChartModel::quote(std::string_view code) {
    const ItemDetails* item = instrumentOf(session_.client().model(), code);
    if (!item)
        return std::nullopt;
    const std::int64_t time =
        item->UpdateTime ? item->UpdateTime->time_since_epoch().count() : charts::kNoTime;
    return charts::LiveQuote{time, item->Last.toDouble(), item->Bid.toDouble(), item->Ask.toDouble()};
}

std::shared_ptr<const charts::BarSeries> ChartModel::cachedBars(std::string_view chartKey,
                                                                std::chrono::seconds maxAge) {
    return session_.client().chartData().freshBars(chartKey, maxAge);
}

std::unique_ptr<charts::ChartRequest>
ChartModel::requestBars(std::string_view code, std::string_view intervalText, int count,
                        std::function<void()> arrived, std::function<void(const std::string&)> failed) {
    const interfaces::RequestId id = session_.client().requestChartData(code, intervalText, count);
    if (id == 0)
        return nullptr;
    // Shared by the connections: a callback may destroy the request, and with it the connections,
    // while it runs. Whichever comes first takes both.
    struct Pending {
        std::function<void()> arrived;
        std::function<void(const std::string&)> failed;
    };
    auto pending = std::make_shared<Pending>(Pending{std::move(arrived), std::move(failed)});
    const auto fail = [pending](const std::string& reason) {
        if (!pending->failed)
            return;
        const auto done = std::move(pending->failed);
        *pending = {};
        done(reason);
    };
    auto request = std::make_unique<SessionChartRequest>();
    request->connections.push_back(QObject::connect(
        &session_, &ClientModel::chartArrived, [id, pending](const interfaces::ChartArrival& arrival) {
            if (arrival.id != id || !pending->arrived)
                return;
            const std::function<void()> done = std::move(pending->arrived);
            *pending = {};
            done();
        }));
    request->connections.push_back(QObject::connect(&session_, &ClientModel::requestFailed,
                                                    [id, fail](const interfaces::RequestFailure& failure) {
                                                        if (failure.id == id)
                                                            fail(failure.reason);
                                                    }));
    request->connections.push_back(
        QObject::connect(&session_, &ClientModel::clientAboutToBeReplaced, [fail] { fail({}); }));
    return request;
}

} // namespace tc::gui
