#pragma once
// The holder of the program's single windows that several owners open (the About window; the
// order ticket joins it), and of the confirmation switch. Windows are made on first request.
#include "gui/app/about_window_controller.h"

#include <QPointer>

#include <atomic>

class QWidget;

namespace tc::gui {

class GuiContext;

class GUIObjects {
public:
    explicit GUIObjects(GuiContext& context);
    ~GUIObjects();

    // YES from the start: confirmations show as a modal alert, else as a banner. Any thread.
    bool showConfirmationAlert() const { return showConfirmationAlert_.load(); }
    void setShowConfirmationAlert(bool value) { showConfirmationAlert_ = value; }

    // The About window if it was made, else nullptr.
    AboutWindowController* aboutWindowController() const { return about_.data(); }
    AboutWindowController* getAboutWindowController();
    // Opens the About window above `owner`, unless it is already showing.
    void showAbout(QWidget* owner);

private:
    GuiContext& context_;
    std::atomic<bool> showConfirmationAlert_{true};
    QPointer<AboutWindowController> about_;
};

} // namespace tc::gui
