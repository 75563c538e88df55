#pragma once
// The main window signed in as demo against the in-process test server, prices held, with two
// positions seeded beside 300001 (20001, EURUSD, buy 1.5): 300901 its opposite (sell 1), for an
// offset, and 300902, a buy of `largeQuantity` lots.
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/session_fixture.h"

#include <memory>
#include <string>

namespace guitest {

class PositionsWindowTest : public SessionTest {
protected:
    explicit PositionsWindowTest(std::string largeQuantity) : largeQuantity_(std::move(largeQuantity)) {}

    void seedMarket(testserver::Market& market) override {
        auto position = market.positions.front();
        position.positionId = 300901;
        position.isBuy = false;
        position.qty = position.initialQty = "1";
        market.positions.push_back(position);
        position.positionId = 300902;
        position.isBuy = true;
        position.qty = position.initialQty = largeQuantity_;
        market.positions.push_back(position);
    }
    void SetUp() override {
        holdPrices = true;
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        window = std::make_unique<tc::gui::MainWindowController>(*context);
        window->show();
        open = window->gridPane(tc::gui::Grid::OpenPositions);
        pending = window->gridPane(tc::gui::Grid::PendingOrders);
        ASSERT_TRUE(waitFor([&] {
            return open->gridModel().rowOf("300001") >= 0 && open->gridModel().rowOf("300901") >= 0 &&
                   open->gridModel().rowOf("300902") >= 0 && open->gridModel().rowOf("300002") >= 0;
        }));
    }
    void TearDown() override {
        window.reset();
        SessionTest::TearDown();
    }

    std::unique_ptr<tc::gui::MainWindowController> window;
    tc::gui::GridPane* open = nullptr;
    tc::gui::GridPane* pending = nullptr;

private:
    std::string largeQuantity_;
};

} // namespace guitest
