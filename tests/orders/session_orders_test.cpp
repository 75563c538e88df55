// The order side's floating figures as a session ends: a lost stream values the positions once more
// at the quotes held, so the price a grid shows and the figures worked from it freeze together.
#include "order_fixture.h"
#include "orders/session_orders.h"

namespace tc {
namespace {

class SessionOrdersFigures : public OrderFixture {};

TEST_F(SessionOrdersFigures, ALostStreamFreezesTheFiguresAtTheLastQuotesHeld) {
    const auto buy = position(0, "1", "1.2000");
    SessionOrders orders(host);
    orders.loginPhaseChanged(LoginPhase::SignedIn);
    orders.refreshFloatingFigures();
    const double atRefresh = buy->UnrealisedPL;
    // A quote after the last one-second refresh, then the stream goes.
    item->Bid = 1.2100_cdec;
    item->Ask = 1.2110_cdec;
    orders.loginPhaseChanged(LoginPhase::Lost);
    EXPECT_NEAR(buy->UnrealisedPL - atRefresh, 1000.0, 1e-6); // 0.0100 on 100,000 units
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, buy->UnrealisedPL);

    // A session that ends on purpose leaves the figures as they were.
    item->Bid = 1.2200_cdec;
    orders.loginPhaseChanged(LoginPhase::SignedIn);
    const double held = buy->UnrealisedPL;
    orders.loginPhaseChanged(LoginPhase::SignedOut);
    EXPECT_DOUBLE_EQ(buy->UnrealisedPL, held);
}

} // namespace
} // namespace tc
