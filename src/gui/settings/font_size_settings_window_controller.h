#pragma once
// The font-size sheet of the settings window: the sizes of the quotes board and of the order and
// position tables, written only by Apply.
#include "gui/app/sheet_controller.h"

#include <cstdint>
#include <memory>

namespace Ui {
class FontSizeSettingsWindowController;
}

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

class GuiContext;
class Language;

class FontSizeSettingsWindowController : public SheetController {
    Q_OBJECT
public:
    explicit FontSizeSettingsWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~FontSizeSettingsWindowController() override;

    void onWindowLoad() override;

private:
    void loadData();
    void fillNames();
    void applyButtonClicked();

    std::unique_ptr<Ui::FontSizeSettingsWindowController> ui_;
    Language& language_;
    platform::UserDefaults& defaults_;
    std::int64_t wlFontSize_ = 0;
    std::int64_t poFontSize_ = 0;
    // The sizes as the window opened with them: Apply writes only a size the trader changed.
    std::int64_t wlShown_ = 0;
    std::int64_t poShown_ = 0;
};

} // namespace tc::gui
