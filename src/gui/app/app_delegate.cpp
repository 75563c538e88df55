#include "gui/app/app_delegate.h"

#include "connection/login_inputdata.h"
#include "gui/app/desktop_idle_source.h"
#include "gui/app/gui_context.h"
#include "gui/app/keychain_secret_store.h"
#include "gui/app/language.h"
#include "gui/app/login_window_controller.h"
#include "gui/app/qt_shell.h"
#include "gui/app/remembered_users.h"
#include "gui/app/shell_rules.h"
#include "gui/app/unlock_window_controller.h"
#include "interfaces/client.h"

#include <QAction>
#include <QDialog>
#include <QScreen>
#include <QWidget>

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
    if (!options_.clients)
        options_.clients = [&shell] { return interfaces::MakeClient(shell); };
    remembered_ = std::make_unique<RememberedUsers>(
        context_.defaults(), shell_.logindata().configuredSecurityKey().value_or(""), *options_.secrets);
    session_ = std::make_unique<ClientModel>(options_.clients);
    idleChecker_ = std::make_unique<IdleTimeChecker>(context_.defaults(), *options_.idle, [this] {
        // Whatever is open: the program ends once the user has been away for the time chosen.
        shell_.terminate();
    });

    lockAction_ = new QAction(this);
    lockAction_->setEnabled(false);
    lockAction_->setProperty("tag", 1011);
    lockAction_->setProperty(kLangKeyProperty, QStringLiteral("90308"));
    applyLanguage(lockAction_, context_.language());
    connect(&context_.language(), &Language::changed, lockAction_,
            [this] { applyLanguage(lockAction_, context_.language()); });
    connect(lockAction_, &QAction::triggered, this, &AppDelegate::lockAppMenuItemClicked);

    login_ = std::make_unique<LoginWindowController>(context_, shell_, *session_, *remembered_);
    unlock_ = std::make_unique<UnlockWindowController>(context_, shell_);
    if (options_.simulation)
        login_->selectConnectionMode(1);
    shell_.setPrimaryWindow(login_.get());

    connect(session_.get(), &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::SignedIn)
            loginSuccess();
    });
    connect(session_.get(), &ClientModel::tick, this, &AppDelegate::checkIdleTime);
    connect(&shell_, &QtShell::connectionLost, this, &AppDelegate::connectionLost);
    connect(unlock_.get(), &UnlockWindowController::unlocked, this,
            [this] { shell_.setPrimaryWindow(mainWindow_.get()); });
}

AppDelegate::~AppDelegate() {
    if (context_.clientModel() == session_.get())
        context_.setClientModel(nullptr);
    shell_.setPrimaryWindow(nullptr);
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
    if (!mainWindow_ && options_.mainWindow) {
        mainWindow_.reset(options_.mainWindow(*this));
        centreWindow(mainWindow_.get());
    }
    if (mainWindow_ && !unlock_->isLocked()) {
        mainWindow_->show();
        mainWindow_->raise();
        mainWindow_->activateWindow();
        shell_.setPrimaryWindow(mainWindow_.get());
    }
    lockAction_->setEnabled(mainWindow_ != nullptr);
    // The main window first, so the program never stands without a window.
    login_->closeAfterLogin();
}

void AppDelegate::connectionLost() {
    // The form comes back for a new login; the alert that follows opens on it.
    if (!login_->isVisible()) {
        centreWindow(login_.get());
        login_->show();
        login_->raise();
    }
    shell_.setPrimaryWindow(login_.get());
}

void AppDelegate::menuNeedsUpdate() {
    if (!mainWindow_ || !mainWindow_->isVisible()) {
        lockAction_->setEnabled(false);
        return;
    }
    bool sheetOpen = false;
    for (const QDialog* dialog : mainWindow_->findChildren<QDialog*>())
        sheetOpen = sheetOpen || (dialog->isVisible() && dialog->windowModality() != Qt::NonModal);
    lockAction_->setEnabled(!sheetOpen);
}

void AppDelegate::lockAppMenuItemClicked() {
    unlock_->lock(mainWindow_.get());
    if (unlock_->isLocked())
        shell_.setPrimaryWindow(unlock_.get());
}

void AppDelegate::checkIdleTime() {
    // The check runs once a main window exists, as its one-second refresh would.
    if (mainWindow_)
        idleChecker_->startCheckingIdleTime();
}

} // namespace tc::gui
