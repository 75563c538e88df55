// The resources panel.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerResourcesScreens().
#include "gui/screens/screen_registry.h"

#include "gui/models/client_model.h"
#include "gui/resources/resources_view_controller.h"

namespace tc::gui {
namespace {

// The resources panel: the demo login's resource list.
QWidget* resourcesPanel(ScreenContext& c) {
    c.session();
    auto* panel = c.own(new ResourcesViewController(c.context()));
    panel->showBelow(nullptr);
    return panel;
}

} // namespace

void registerResourcesScreens(ScreenRegistry& r) {
    r.add("resources", resourcesPanel);
}

} // namespace tc::gui
