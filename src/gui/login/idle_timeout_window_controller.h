#pragma once
// The idle time-out sheet of the settings window: after how long without input the program ends.
#include "gui/app/sheet_controller.h"

#include <memory>

namespace Ui {
class IdleTimeoutWindowController;
}

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

class GuiContext;
class Language;

class IdleTimeoutWindowController : public SheetController {
    Q_OBJECT
public:
    explicit IdleTimeoutWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~IdleTimeoutWindowController() override;

    void onWindowLoad() override;

private:
    void loadTimeoutCombo();
    void applyButtonClicked();

    std::unique_ptr<Ui::IdleTimeoutWindowController> ui_;
    Language& language_;
    platform::UserDefaults& defaults_;
};

} // namespace tc::gui
