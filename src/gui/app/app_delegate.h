#pragma once
// The program's root: it owns the session's ClientModel, the login window, the unlock window and
// the main window once a login has completed. It opens the main window and closes the login window
// when the login completes, brings the login form back when the stream is lost, locks and unlocks
// the console, and ends the program when the main window asks (logout, closing, idle time-out).
#include "gui/models/client_model.h"
#include "interfaces/application_interface.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QRect;
class QWidget;

namespace tc::gui {

class DesktopIdleSource;
class GuiContext;
class InAppNotificationBannerController;
class IdleSource;
class LoginWindowController;
class MainWindowController;
class QtShell;
class RememberedUsers;
class SecretStore;
class UnlockWindowController;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct Options {
        // Where remembered passwords are kept; the desktop's Secret Service when null.
        SecretStore* secrets = nullptr;
        // The user's idle time, which the main window checks; the desktop's idle monitor when null.
        IdleSource* idle = nullptr;
        // Makes each session's client (the program's composition root: interfaces::MakeClient).
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
    // Null until the first completed login; made once and kept.
    MainWindowController* mainWindow() const { return mainWindow_.get(); }
    // Locks the console (the main window's lock item and action ask for it).
    void lockAppMenuItemClicked();

private:
    void loginSuccess();
    void connectionLost();
    // A login completed for another user: nothing of the last one stays, a lock of theirs included.
    void userChanged();
    // The banner a failed save owes, once signed in.
    void sayUnsavedSettings();

    GuiContext& context_;
    QtShell& shell_;
    Options options_;
    std::unique_ptr<SecretStore> ownSecrets_;
    std::unique_ptr<DesktopIdleSource> ownIdle_;
    std::unique_ptr<RememberedUsers> remembered_;
    std::unique_ptr<ClientModel> session_;
    // The client whose stream was lost last (ClientModel::generation).
    std::uint64_t lostGeneration_ = 0;
    // The user whose locked session a sign-in of another user ended, told once the console shows.
    QString endedLockOf_;
    // A save failed where the last had not, and no banner has said so yet: the login window that
    // shows it before sign-in closes at sign-in.
    bool settingsBannerOwed_ = false;
    // The words the banner said, taken back once a save succeeds or replaced when another fault
    // follows: the banner itself may be a copy the console lock held and showed again.
    std::string settingsSaid_;
    bool isSettingsBanner(const interfaces::InAppNotification& notification) const;
    void withdrawSettingsBanner();
    // The keyring refused the remembered password, did not answer, or did not take a forgotten one
    // out, and no banner has said so yet.
    bool keyringBannerOwed_ = false;
    const char* keyringTextKey_ = nullptr; // what the banner is to say
    std::string keyringSaid_;
    void sayPasswordNotKept();
    void withdrawKeyringBanner();
    // Windows last: they go before the session they show.
    std::unique_ptr<MainWindowController> mainWindow_;
    std::unique_ptr<UnlockWindowController> unlock_;
    std::unique_ptr<LoginWindowController> login_;
};

// Moves a window to the middle of its screen.
void centreWindow(QWidget* window);
// Gives a window the whole of `available` (a screen's room without its panels), or of its own
// screen's: the main window's first-run size.
void fillScreen(QWidget* window, const QRect& available);
void fillScreen(QWidget* window);

} // namespace tc::gui
