#pragma once
// The program's root: it owns the session's ClientModel, the login window, the unlock window and
// the main window once a login has completed. It opens the main window and closes the login window
// when the login completes, brings the login form back when the stream is lost, locks and unlocks
// the console, and ends the program after the idle time-out.
#include "gui/models/client_model.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QAction;
class QWidget;

namespace tc::gui {

class DesktopIdleSource;
class GuiContext;
class IdleSource;
class IdleTimeChecker;
class LoginWindowController;
class QtShell;
class RememberedUsers;
class SecretStore;
class UnlockWindowController;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Makes the main window on the first completed login; the delegate owns it from then on.
    using MainWindowFactory = std::function<QWidget*(AppDelegate&)>;

    struct Options {
        // Where remembered passwords are kept; the desktop's Secret Service when null.
        SecretStore* secrets = nullptr;
        // The user's idle time; the desktop's idle monitor when null.
        IdleSource* idle = nullptr;
        MainWindowFactory mainWindow;
        // Makes each session's client; interfaces::MakeClient over the shell when empty.
        ClientModel::ClientFactory clients;
        // Start with the simulation mode's form instead of the live one.
        bool simulation = false;
    };

    AppDelegate(GuiContext& context, QtShell& shell, Options options, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Shows the login window, centred.
    void applicationDidFinishLaunching();

    ClientModel& session() { return *session_; }
    LoginWindowController& loginWindow() { return *login_; }
    UnlockWindowController& unlockWindow() { return *unlock_; }
    // Null until the first completed login.
    QWidget* mainWindow() const { return mainWindow_.get(); }
    // The application menu's lock item: disabled until a login has completed and while the main
    // window is hidden or has a sheet open (checked by menuNeedsUpdate when the menu opens).
    QAction* lockAction() const { return lockAction_; }
    void menuNeedsUpdate();
    // Locks the console (the lock item and the main window's own lock action).
    void lockAppMenuItemClicked();

private:
    void loginSuccess();
    void connectionLost();
    void checkIdleTime();

    GuiContext& context_;
    QtShell& shell_;
    Options options_;
    std::unique_ptr<SecretStore> ownSecrets_;
    std::unique_ptr<DesktopIdleSource> ownIdle_;
    std::unique_ptr<RememberedUsers> remembered_;
    std::unique_ptr<ClientModel> session_;
    std::unique_ptr<IdleTimeChecker> idleChecker_;
    QAction* lockAction_ = nullptr;
    // Windows last: they go before the session they show.
    std::unique_ptr<QWidget> mainWindow_;
    std::unique_ptr<UnlockWindowController> unlock_;
    std::unique_ptr<LoginWindowController> login_;
};

// Moves a window to the middle of its screen.
void centreWindow(QWidget* window);

} // namespace tc::gui
