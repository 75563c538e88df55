#include "gui/app/gui_objects.h"

#include "gui/app/about_window_controller.h"

namespace tc::gui {

GUIObjects::GUIObjects(GuiContext& context) : context_(context) {}

GUIObjects::~GUIObjects() {
    delete about_.data();
}

AboutWindowController* GUIObjects::getAboutWindowController() {
    if (!about_)
        about_ = new AboutWindowController(context_);
    return about_.data();
}

void GUIObjects::showAbout(QWidget* owner) {
    AboutWindowController* about = getAboutWindowController();
    if (about->isVisible())
        return;
    if (owner && about->parentWidget() != owner)
        about->setParent(owner, about->windowFlags()); // stays above its owner
    about->windowDidAppear();
    about->show();
    about->raise();
    about->activateWindow();
}

} // namespace tc::gui
