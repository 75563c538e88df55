// The settings window and the sheets it opens.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerSettingsScreens().
#include "gui/screens/screen_registry.h"

#include "gui/funding/account_access_setting_window_controller.h"
#include "gui/funding/change_password_window_controller.h"
#include "gui/login/idle_timeout_window_controller.h"
#include "gui/models/client_model.h"
#include "gui/settings/font_size_settings_window_controller.h"
#include "gui/settings/settings_window_controller.h"

#include <QLineEdit>

namespace tc::gui {
namespace {

SettingsWindowController* settingsWindow(ScreenContext& c) {
    auto* settings = c.own(new SettingsWindowController(c.context()));
    settings->setAccountCapabilities(true, true);
    settings->show();
    return settings;
}

QWidget* settingsSheet(ScreenContext& c, bool fontSize) {
    SettingsWindowController* settings = settingsWindow(c);
    if (fontSize)
        settings->fontSizeSettingButtonClicked();
    else
        settings->IdleTimeoutButtonClicked();
    QWidget* sheet =
        fontSize ? static_cast<QWidget*>(settings->fontSizeSheet()) : settings->idleTimeoutSheet();
    c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

// The settings window with the password or the account-access sheet open on it. The access sheet
// waits for the demo's maps of 20001 (trader may trade on it); the password sheet, with `refused`,
// has sent a new password the server finds too short and shows its answer.
QWidget* accountSheet(ScreenContext& c, bool access, bool refused) {
    c.session();
    SettingsWindowController* settings = settingsWindow(c);
    if (access) {
        auto* sheet = new AccountAccessSettingWindowController(c.context());
        settings->setAccountAccessSheet([sheet](QWidget*) { return sheet; });
        settings->accountAccessSettingButtonClicked();
        c.waitUntil([sheet] { return sheet->isVisible() && sheet->form().user() != nullptr; });
        return sheet;
    }
    auto* sheet = new ChangePasswordWindowController(c.context());
    settings->setChangePasswordSheet([sheet](QWidget*) { return sheet; });
    settings->ChangePasswordButtonClicked();
    c.waitUntil([sheet] { return sheet->isVisible(); });
    if (refused) {
        for (const auto& [field, text] :
             {std::pair{"OldPasswordTextField", "demo1234"}, std::pair{"NewPasswordField", "short"},
              std::pair{"ConfirmPasswordField", "short"}})
            if (auto* edit = sheet->findChild<QLineEdit*>(QString::fromLatin1(field)))
                edit->setText(QString::fromLatin1(text));
        sheet->ChangePasswordButtonClicked();
        c.waitUntil([sheet] { return !sheet->Waiting(); });
    }
    return sheet;
}

} // namespace

void registerSettingsScreens(ScreenRegistry& r) {
    r.add("settings", [](ScreenContext& c) { return settingsWindow(c); });
    r.add("settings-font-size", [](ScreenContext& c) { return settingsSheet(c, true); });
    r.add("settings-idle-timeout", [](ScreenContext& c) { return settingsSheet(c, false); });
    r.add("access-rights", [](ScreenContext& c) { return accountSheet(c, true, false); });
    r.add("change-password", [](ScreenContext& c) { return accountSheet(c, false, false); });
    r.add("change-password-refused", [](ScreenContext& c) { return accountSheet(c, false, true); });
}

} // namespace tc::gui
