#pragma once
// The session as charts see it: a charts::ChartSource over the session model. Instruments and live
// quotes are read from the session's instruments, bars from the login's chart-reply store; a request
// goes to the server and its callback runs when the session announces the reply (chartArrived).
//
//     ChartModel source(session);
//     ChartController chart(source);       // one source serves every chart of the session
//
// A request the session gives up (no reply in time, a failed connection) is told as failed with its
// reason; a re-login fails every outstanding request with no reason: its reply belonged to the old
// client.
#include "charts/chart_source.h"

namespace tc::gui {

class ClientModel;

class ChartModel final : public charts::ChartSource {
public:
    explicit ChartModel(ClientModel& session) : session_(session) {}

    std::optional<charts::InstrumentInfo> instrument(std::string_view code) override;
    std::optional<charts::LiveQuote> quote(std::string_view code) override;
    std::shared_ptr<const charts::BarSeries> cachedBars(std::string_view chartKey,
                                                        std::chrono::seconds maxAge) override;
    std::unique_ptr<charts::ChartRequest>
    requestBars(std::string_view code, std::string_view intervalText, int count,
                std::function<void()> arrived, std::function<void(const std::string&)> failed) override;

private:
    ClientModel& session_;
};

} // namespace tc::gui
