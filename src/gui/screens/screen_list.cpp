// Every window and sheet of the program, as the screenshot tool shows them. Each feature folder
// registers its own screens in its screens.cpp; the list only calls them, in this order.
#include "gui/screens/screen_registry.h"

namespace tc::gui {

void registerScreens(ScreenRegistry& r) {
    registerMainScreens(r);
    registerSettingsScreens(r);
    registerAppScreens(r);
    registerLoginScreens(r);
    registerChartsScreens(r);
    registerMarketScreens(r);
    registerGridScreens(r);
    registerStatementsScreens(r);
    registerFundingScreens(r);
    registerNewsScreens(r);
    registerResourcesScreens(r);
    registerChatScreens(r);
    registerTradingScreens(r);
}

} // namespace tc::gui
