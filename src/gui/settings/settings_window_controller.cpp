#include "gui/settings/settings_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/connect_each.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_shell.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"
#include "gui/login/idle_timeout_window_controller.h"
#include "gui/settings/font_size_settings_window_controller.h"
#include "gui/texts.h"
#include "interfaces/application_interface.h"
#include "platform/user_defaults.h"
#include "ui_settings_window_controller.h"

namespace tc::gui {

SettingsWindowController::SettingsWindowController(GuiContext& context, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SettingsWindowController>()), context_(context) {
    ui_->setupUi(this);
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });
    loadSoundSettings();
    loadThemeSettings();
    updateSheetButtons();

    connect(ui_->SoundsButton, &QCheckBox::toggled, this, [this](bool off) {
        context_.defaults().set(interfaces::kSoundKey, off);
        context_.defaults().synchronize();
    });
    // The box names the dark theme and is ticked while it is on.
    connect(ui_->themeButton, &QCheckBox::toggled, this,
            [this](bool dark) { context_.themes().saveTheme(dark ? kDarkTheme : kLightTheme); });
    // The switch follows a theme chosen elsewhere.
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { loadThemeSettings(); });
    connectEach(&QPushButton::clicked, this,
                std::pair{ui_->fontSizeButton, &SettingsWindowController::fontSizeSettingButtonClicked},
                std::pair{ui_->idleTimeoutButton, &SettingsWindowController::IdleTimeoutButtonClicked},
                std::pair{ui_->ChangePasswordButton, &SettingsWindowController::ChangePasswordButtonClicked},
                std::pair{ui_->accountAccessSettingsButton,
                          &SettingsWindowController::accountAccessSettingButtonClicked});
}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::updateLanguageStrings() {
    ui_->themeButton->setText(
        QStringLiteral("%1 %2").arg(context_.text(texts::kTheme), context_.text(texts::kDark)));
    const QString later = context_.text(texts::kNotAvailableVersion);
    ui_->ChangePasswordButton->setToolTip(passwordSheet_.factory ? QString() : later);
    ui_->accountAccessSettingsButton->setToolTip(accessSheet_.factory ? QString() : later);
}

void SettingsWindowController::loadSoundSettings() {
    const QSignalBlocker block(ui_->SoundsButton);
    ui_->SoundsButton->setChecked(context_.defaults().boolForKey(interfaces::kSoundKey));
}

void SettingsWindowController::loadThemeSettings() {
    const std::int64_t theme = context_.themes().getThemeForKey();
    if (theme == kDarkTheme || theme == kLightTheme) {
        const QSignalBlocker block(ui_->themeButton);
        ui_->themeButton->setChecked(theme == kDarkTheme);
    }
}

void SettingsWindowController::setAccountCapabilities(bool canChangePassword, bool canShowAccessRights) {
    canChangePassword_ = canChangePassword;
    ui_->accountAccessSettingsBox->setVisible(canShowAccessRights);
    updateSheetButtons();
    adjustSize();
}

void SettingsWindowController::setChangePasswordSheet(SheetFactory factory) {
    passwordSheet_.factory = std::move(factory);
    updateSheetButtons();
}

void SettingsWindowController::setAccountAccessSheet(SheetFactory factory) {
    accessSheet_.factory = std::move(factory);
    updateSheetButtons();
}

void SettingsWindowController::updateSheetButtons() {
    ui_->ChangePasswordButton->setEnabled(canChangePassword_ && passwordSheet_.factory);
    ui_->accountAccessSettingsButton->setEnabled(static_cast<bool>(accessSheet_.factory));
    updateLanguageStrings();
}

void SettingsWindowController::fontSizeSettingButtonClicked() {
    if (!fontSizeSheet_)
        fontSizeSheet_ = new FontSizeSettingsWindowController(context_, this);
    fontSizeSheet_->openOn(this);
}

void SettingsWindowController::IdleTimeoutButtonClicked() {
    if (!idleTimeoutSheet_)
        idleTimeoutSheet_ = new IdleTimeoutWindowController(context_, this);
    idleTimeoutSheet_->openOn(this);
}

void SettingsWindowController::ChangePasswordButtonClicked() {
    if (networkAvailable_ && !networkAvailable_()) {
        CommonAlert::open(this, {context_.text(texts::kValidation),
                                 context_.text(texts::kNoConnectionTradingServer),
                                 AlertSpec::Informational,
                                 {},
                                 {}});
        return;
    }
    openSheet(passwordSheet_);
}

void SettingsWindowController::accountAccessSettingButtonClicked() {
    openSheet(accessSheet_);
}

void SettingsWindowController::openSheet(LazySheet& lazy) {
    if (!lazy.factory)
        return;
    if (!lazy.sheet)
        lazy.sheet = lazy.factory(this);
    if (lazy.sheet)
        lazy.sheet->openOn(this);
}

} // namespace tc::gui
