#pragma once
// The console lock: the main window (with its own windows and the banners) is hidden behind a
// window that asks again for the password the server last accepted for the user (at their last
// completed sign-in, or a change it confirmed since; a refused sign-in changes nothing). A wrong password
// shakes the window and says so, as does one no password field takes (too long, or a character that cannot be
// typed); the right one brings the main window back, its own windows over it as they stood (the one in
// use at the lock in use again), Quit ends the program. The login, its timers and the
// connection stay alive while locked. The lock is the user's who locked it: it opens only to their password,
// and only while the session is theirs (signed in again after a loss included); another user signing in ends
// it instead.
#include "gui/controls/text_entry_rules.h"
#include "gui/login/program_dialog.h"
#include "gui/models/client_model.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

namespace Ui {
class UnlockWindowController;
}

namespace tc::gui {

class ClientModel;
class GuiContext;
class QtShell;

class UnlockWindowController : public ProgramDialog {
    Q_OBJECT
public:
    UnlockWindowController(GuiContext& context, QtShell& shell, ClientModel& session,
                           QWidget* parent = nullptr);
    ~UnlockWindowController() override;

    // Locks when `mainWindow` is showing: hides it and shows this window, titled with the user's name.
    // Locking again only renews the title.
    void lock(QWidget* mainWindow);
    bool isLocked() const { return isVisible(); }
    // Another user signed in over the lock: the locked user's hidden windows are closed, not shown
    // again, and the lock goes without an unlock. Returns the name of the user who had locked.
    QString endForAnotherUser();

    void unLockButtonClicked();
    void quitButtonClicked();

Q_SIGNALS:
    // The right password was typed; the main window is back.
    void unlocked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateLanguageStrings();
    void refuse(std::optional<Refusal> refusal);
    QString refusalText() const;

    std::unique_ptr<Ui::UnlockWindowController> ui_;
    QPointer<QWidget> mainWindow_;
    // The main window's own windows (settings, About, its sheets) hidden with it, shown again at the
    // unlock.
    QList<QPointer<QWidget>> hiddenWindows_;
    // Which of them was in use at the lock (none: the main window was).
    QPointer<QWidget> activeAtLock_;
    // Who locked: the user signed in at the lock, whose password alone opens it.
    std::optional<SignInUser> lockedUser_;
    QString lockedUserName_;
    // Why the last try was refused: a text no password field takes, else a wrong password.
    std::optional<Refusal> refusal_;
};

} // namespace tc::gui
