// Charts fed by the session: instruments, quotes and bars of the demo user's login on the in-process
// test server, through the chart model.
#include "gui/models/session_fixture.h"

#include "charts/chart_interval.h"
#include "gui/app/language.h"
#include "gui/charts/chart_controller.h"
#include "gui/models/chart_model.h"
#include "gui/texts.h"

#include <QLabel>
#include <QPushButton>

namespace {

using guitest::waitFor;

class ChartModelTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        source = std::make_unique<tc::gui::ChartModel>(*session);
        QObject::connect(session.get(), &tc::gui::ClientModel::chartArrived,
                         [this](const interfaces::ChartArrival&) { ++arrivals; });
    }
    void TearDown() override {
        source.reset();
        SessionTest::TearDown();
    }

    std::unique_ptr<tc::gui::ChartModel> source;
    int arrivals = 0;
};

TEST_F(ChartModelTest, InstrumentsQuotesAndBarsComeFromTheSession) {
    ASSERT_TRUE(signIn());
    const auto euro = source->instrument("EURUSD");
    ASSERT_TRUE(euro);
    EXPECT_EQ(euro->code, "EURUSD");
    EXPECT_EQ(euro->decimals, 5);
    EXPECT_FALSE(source->instrument("NOSUCH"));
    EXPECT_TRUE(waitFor([&] {
        const auto quote = source->quote("EURUSD");
        return quote && quote->bid > 0 && quote->ask >= quote->bid && quote->time != tc::charts::kNoTime;
    }));

    int called = 0;
    auto request = source->requestBars("EURUSD", "1", 60, [&] { ++called; }, {});
    ASSERT_TRUE(request);
    ASSERT_TRUE(waitFor([&] { return called > 0; }, 15000));
    const auto bars = source->cachedBars(tc::charts::chartKey("EURUSD", "1"), std::chrono::seconds::max());
    ASSERT_TRUE(bars);
    EXPECT_GT(bars->size(), 0u);

    // A request dropped before its reply forgets its callback.
    bool late = false;
    const int before = arrivals;
    source->requestBars("GBPUSD", "5", 60, [&] { late = true; }, {}).reset();
    ASSERT_TRUE(waitFor([&] { return arrivals > before; }, 15000));
    EXPECT_FALSE(late);
    EXPECT_EQ(called, 1);
}

TEST_F(ChartModelTest, PriceChartLoadsTheSessionsBars) {
    ASSERT_TRUE(signIn());
    tc::gui::ChartController chart(*source);
    chart.resize(600, 400);
    chart.setValue("EURUSD", "1#3");
    EXPECT_TRUE(waitFor([&] { return chart.chart().bars().size() > 0; }, 15000));
}

TEST_F(ChartModelTest, AChartWhoseRequestWentWithItsSessionSaysSoAndLoadsOnceSignedInAgain) {
    ASSERT_TRUE(signIn());
    tc::gui::ChartController chart(*source);
    chart.followTick(session.get());
    chart.resize(600, 400);
    chart.show();
    server->setDataServiceSilent(true);
    chart.setValue("EURUSD", "1#3");
    EXPECT_TRUE(chart.statusLabel().isVisible());
    EXPECT_FALSE(chart.reloadButton().isVisible());

    // Signing in again drops the request with its client: the chart says the connection went.
    ASSERT_TRUE(session->signIn(loginOf()));
    EXPECT_TRUE(chart.loadFailed());
    EXPECT_TRUE(chart.statusLabel().text().contains(
        tc::gui::lookupText(0, tc::gui::texts::kConnectionDroppedBeforeReplyCame)));
    EXPECT_TRUE(chart.reloadButton().isVisible());
    server->setDataServiceSilent(false);
    // Asked for again once the sign-in completes.
    EXPECT_TRUE(waitFor([&] { return chart.chart().bars().size() > 0; }, 15000));
    EXPECT_FALSE(chart.statusLabel().isVisible());
    EXPECT_FALSE(chart.loadFailed());
}

TEST_F(ChartModelTest, ReLoginForgetsTheOldClientsRequests) {
    ASSERT_TRUE(signIn());
    bool old = false;
    std::vector<std::string> failures;
    auto request = source->requestBars(
        "EURUSD", "1", 60, [&] { old = true; },
        [&](const std::string& reason) { failures.push_back(reason); });
    ASSERT_TRUE(request);
    ASSERT_TRUE(signIn("trader", "trader1234"));
    // Told as failed, once, with no reason of its own: its session is gone.
    EXPECT_EQ(failures, std::vector<std::string>{""});
    // The new client numbers its requests afresh: its first reply must not reach the old callback.
    int fresh = 0;
    auto next = source->requestBars("EURUSD", "1", 60, [&] { ++fresh; }, {});
    ASSERT_TRUE(waitFor([&] { return fresh > 0; }, 15000));
    EXPECT_FALSE(old);
}

} // namespace
