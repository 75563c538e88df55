#include "gui/app/app_delegate.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/qt_shell.h"
#include "gui/app/qt_text.h"
#include "gui/login/desktop_idle_source.h"
#include "gui/login/idle_time.h"
#include "gui/login/keychain_secret_store.h"
#include "gui/login/login_window_controller.h"
#include "gui/login/remembered_users.h"
#include "gui/login/unlock_window_controller.h"
#include "gui/main/main_window_controller.h"
#include "gui/texts.h"
#include "interfaces/client.h"
#include "platform/user_defaults.h"

#include <QScreen>
#include <QWidget>

#include <utility>

namespace tc::gui {

void centreWindow(QWidget* window) {
    if (!window)
        return;
    window->adjustSize();
    if (const QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

void fillScreen(QWidget* window, const QRect& available) {
    if (!window || available.isEmpty())
        return;
    window->setGeometry(available);
    window->move(available.topLeft()); // the frame's corner, not the contents'
}

void fillScreen(QWidget* window) {
    if (window && window->screen())
        fillScreen(window, window->screen()->availableGeometry());
}

AppDelegate::AppDelegate(GuiContext& context, QtShell& shell, Options options, QObject* parent)
    : QObject(parent), context_(context), shell_(shell), options_(std::move(options)) {
    if (!options_.secrets) {
        ownSecrets_ = std::make_unique<KeychainSecretStore>();
        options_.secrets = ownSecrets_.get();
    }
    if (!options_.idle) {
        ownIdle_ = std::make_unique<DesktopIdleSource>();
        options_.idle = ownIdle_.get();
    }
    remembered_ = std::make_unique<RememberedUsers>(context_.defaults(), interfaces::productInfo().productKey,
                                                    *options_.secrets);
    // The keyring may refuse the password, or not answer in time, after the login window closed:
    // the signed-in trader is told by a banner, kept until closed; one kept later takes it back.
    remembered_->addPasswordListener(
        [self = QPointer<AppDelegate>(this)](RememberedUsers::PasswordNews news) {
            if (!self)
                return;
            using News = RememberedUsers::PasswordNews;
            const char* said = news == News::NotKept           ? texts::kPasswordNotRemembered
                               : news == News::KeepNotKnown    ? texts::kPasswordKeepNotKnown
                               : news == News::RemovalFailed   ? texts::kPasswordRemovalFailed
                               : news == News::RemovalNotKnown ? texts::kPasswordRemovalNotKnown
                                                               : nullptr;
            if (said) {
                self->keyringBannerOwed_ = true;
                self->keyringTextKey_ = said;
                self->sayPasswordNotKept();
            } else if ((news == News::Kept && self->keyringTextKey_ != texts::kPasswordRemovalFailed &&
                        self->keyringTextKey_ != texts::kPasswordRemovalNotKnown) ||
                       (news == News::Removed && self->keyringTextKey_ == texts::kPasswordRemovalNotKnown)) {
                // A late answer takes back what the banner said of it.
                self->keyringBannerOwed_ = false;
                self->withdrawKeyringBanner();
            }
        });
    session_ = std::make_unique<ClientModel>(options_.clients);

    login_ = std::make_unique<LoginWindowController>(context_, shell_, *session_, *remembered_);
    unlock_ = std::make_unique<UnlockWindowController>(context_, shell_, *session_);
    if (options_.simulation)
        login_->selectConnectionMode(1);
    shell_.setPrimaryWindow(login_.get());

    connect(session_.get(), &ClientModel::userChanged, this, &AppDelegate::userChanged);
    connect(session_.get(), &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::SignedIn)
            loginSuccess();
    });
    connect(&shell_, &QtShell::connectionLost, this, &AppDelegate::connectionLost);
    // The lost stream is measured again once its last ping is surely stale, so the status line reads
    // the loss; a client made meanwhile for a new login is not the one that was lost.
    shell_.setConnectionFailureFollowUp([self = QPointer<AppDelegate>(this)] {
        if (self && self->session_->generation() == self->lostGeneration_)
            self->session_->client().measureNetworkSpeed();
    });
    connect(unlock_.get(), &UnlockWindowController::unlocked, this, [this] {
        shell_.setPrimaryWindow(mainWindow_.get());
        sayUnsavedSettings();
    });
    // Settings that stop being kept: the login window says so under its form; once signed in a
    // banner says it too, kept until the trader closes it, once until a save succeeds again.
    connect(&context_, &GuiContext::settingsNoticeChanged, this, [this] {
        settingsBannerOwed_ = true;
        sayUnsavedSettings();
    });
}

AppDelegate::~AppDelegate() {
    if (context_.clientModel() == session_.get())
        context_.setClientModel(nullptr);
    shell_.setPrimaryWindow(nullptr);
    shell_.setConnectionFailureFollowUp({});
    login_.reset();
    unlock_.reset();
    mainWindow_.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    centreWindow(login_.get());
    login_->show();
    login_->raise();
    login_->activateWindow();
}

void AppDelegate::loginSuccess() {
    shell_.setLoginSuccess();
    login_->setEnableUIObjects();
    context_.setClientModel(session_.get());
    if (!mainWindow_) {
        mainWindow_ = std::make_unique<MainWindowController>(context_, options_.idle);
        // Logout, closing the window and the idle time-out end the program.
        connect(mainWindow_.get(), &MainWindowController::quitRequested, &shell_, &QtShell::quit);
        // Only a change the server accepted reaches the remembered user's password.
        mainWindow_->setPasswordChangedHandler([this](const std::string& password) {
            remembered_->changePassword(login_->connectionTypeKey(), session_->client().userName(), password);
        });
        connect(mainWindow_.get(), &MainWindowController::lockRequested, this,
                &AppDelegate::lockAppMenuItemClicked);
        // It opens filling the screen; centring would shrink it to its size hint.
        fillScreen(mainWindow_.get());
    }
    mainWindow_->setUserName(QString::fromStdString(session_->client().userName()));
    if (!unlock_->isLocked()) {
        mainWindow_->show();
        mainWindow_->raise();
        mainWindow_->activateWindow();
        shell_.setPrimaryWindow(mainWindow_.get());
    }
    // The main window first, so the program never stands without a window.
    login_->closeAfterLogin();
    sayUnsavedSettings();
    sayPasswordNotKept();
    if (!endedLockOf_.isEmpty()) {
        const QString locker = std::exchange(endedLockOf_, QString());
        CommonAlert::open(mainWindow_.get(),
                          {qt(shell_.applicationName()),
                           filledText(context_.language().selected(), texts::kLockedSessionEnded,
                                      {locker, QString::fromStdString(session_->client().userName())}),
                           AlertSpec::Informational,
                           {},
                           {}});
    }
}

void AppDelegate::sayUnsavedSettings() {
    // A save that succeeded meanwhile owes nothing, and what was said no longer holds.
    if (!context_.defaults().trouble()) {
        settingsBannerOwed_ = false;
        withdrawSettingsBanner();
        return;
    }
    // Behind the console lock it waits for the unlock, when it may no longer hold.
    if (!settingsBannerOwed_ || !session_->isSignedIn() || !mainWindow_ || context_.banners().isHeld())
        return;
    const QString notice = context_.settingsNotice();
    if (notice.isEmpty())
        return;
    settingsBannerOwed_ = false;
    const std::string text = notice.toStdString();
    if (text == settingsSaid_)
        for (const InAppNotificationBannerController* shown : context_.banners().banners())
            if (isSettingsBanner(shown->notification()) && !shown->isLeaving() && shown->lines().total() == 1)
                return;
    // Gone first, so the new words stand alone rather than join the old as a line.
    withdrawSettingsBanner();
    interfaces::InAppNotification banner;
    banner.title = kApplicationName;
    banner.informativeText = text;
    banner.feature.dismissDelayTime = -1;
    settingsSaid_ = text;
    context_.banners().deliverNotification(banner);
}

bool AppDelegate::isSettingsBanner(const interfaces::InAppNotification& notification) const {
    return !settingsSaid_.empty() && notification.title == kApplicationName &&
           notification.informativeText == settingsSaid_;
}

void AppDelegate::withdrawSettingsBanner() {
    if (settingsSaid_.empty())
        return;
    context_.banners().withdraw(
        [this](const interfaces::InAppNotification& notification) { return isSettingsBanner(notification); });
    settingsSaid_.clear();
}

void AppDelegate::sayPasswordNotKept() {
    if (!keyringBannerOwed_ || !session_->isSignedIn() || !mainWindow_)
        return;
    keyringBannerOwed_ = false;
    withdrawKeyringBanner();
    interfaces::InAppNotification banner;
    banner.title = kApplicationName;
    // Named as the other banners name what they are about, no blank line under the title.
    banner.subtitle = context_.text(texts::kKeyringBannerSubtitle).toStdString();
    banner.informativeText = context_.text(keyringTextKey_).toStdString();
    banner.feature.dismissDelayTime = -1;
    keyringSaid_ = banner.informativeText;
    context_.banners().deliverNotification(banner);
}

void AppDelegate::withdrawKeyringBanner() {
    if (keyringSaid_.empty())
        return;
    context_.banners().withdraw([said = std::exchange(keyringSaid_, std::string())](
                                    const interfaces::InAppNotification& notification) {
        return notification.title == kApplicationName && notification.informativeText == said;
    });
}

void AppDelegate::userChanged() {
    if (unlock_->isLocked())
        endedLockOf_ = unlock_->endForAnotherUser();
    // The last user's banners, on screen or held behind the lock, are not the new user's to read.
    context_.banners().forgetAll();
    context_.banners().setHeld(false);
    // "Do not ask again" was the last user's choice: the next one is asked before each order.
    context_.guiObjects().setShowConfirmationAlert(true);
    if (mainWindow_)
        mainWindow_->forgetUser();
}

void AppDelegate::connectionLost() {
    lostGeneration_ = session_->generation();
    // The form comes back for a new login; the alert that follows opens on it.
    if (!login_->isVisible()) {
        centreWindow(login_.get());
        login_->show();
        login_->raise();
    }
    shell_.setPrimaryWindow(login_.get());
}

void AppDelegate::lockAppMenuItemClicked() {
    unlock_->lock(mainWindow_.get());
    if (unlock_->isLocked())
        shell_.setPrimaryWindow(unlock_.get());
}

} // namespace tc::gui
