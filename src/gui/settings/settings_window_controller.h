#pragma once
// The settings window: sounds and theme switches that act at once, and buttons that open the
// font-size, idle time-out, password and account-access sheets on it. The password and
// account-access sheets belong to the account windows, which hand in how to make them; until then
// their buttons stay disabled with a tooltip.
#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class SettingsWindowController;
}

namespace tc::gui {

class FontSizeSettingsWindowController;
class GuiContext;
class IdleTimeoutWindowController;
class SheetController;

class SettingsWindowController : public QDialog {
    Q_OBJECT
public:
    using SheetFactory = std::function<SheetController*(QWidget* owner)>;

    explicit SettingsWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~SettingsWindowController() override;

    // What the signed-in user may do: change the password; grant other users rights on accounts
    // (without it the account-access group is hidden).
    void setAccountCapabilities(bool canChangePassword, bool canShowAccessRights);
    // Asked before the password sheet opens; without network the sheet does not open.
    void setNetworkAvailableQuery(std::function<bool()> query) { networkAvailable_ = std::move(query); }
    void setChangePasswordSheet(SheetFactory factory);
    void setAccountAccessSheet(SheetFactory factory);

    // The sheets, made on first use and kept (null before).
    FontSizeSettingsWindowController* fontSizeSheet() const { return fontSizeSheet_; }
    IdleTimeoutWindowController* idleTimeoutSheet() const { return idleTimeoutSheet_; }

    void fontSizeSettingButtonClicked();
    void IdleTimeoutButtonClicked();
    void ChangePasswordButtonClicked();
    void accountAccessSettingButtonClicked();

private:
    struct LazySheet {
        SheetFactory factory;
        SheetController* sheet = nullptr;
    };
    void updateLanguageStrings();
    void loadSoundSettings();
    void loadThemeSettings();
    void updateSheetButtons();
    void openSheet(LazySheet& lazy);

    std::unique_ptr<Ui::SettingsWindowController> ui_;
    GuiContext& context_;
    FontSizeSettingsWindowController* fontSizeSheet_ = nullptr;
    IdleTimeoutWindowController* idleTimeoutSheet_ = nullptr;
    LazySheet passwordSheet_;
    LazySheet accessSheet_;
    bool canChangePassword_ = true;
    std::function<bool()> networkAvailable_;
};

} // namespace tc::gui
