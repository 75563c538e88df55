// The login window, the demo registration sheet and the lock.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerLoginScreens().
#include "gui/screens/screen_registry.h"

#include "gui/app/gui_context.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/login/login_registration_window_controller.h"
#include "gui/login/login_window_controller.h"
#include "gui/login/remembered_users.h"
#include "gui/login/unlock_window_controller.h"
#include "platform/user_defaults.h"

#include <QCheckBox>
#include <QLineEdit>

#include <memory>
#include <optional>

namespace tc::gui {
namespace {

// Screens keep no passwords.
class NoSecrets : public SecretStore {
public:
    void write(const std::string&, const std::string&, WriteDone done) override {
        done(false, "the screenshot tool keeps no passwords");
    }
    void read(const std::string&, ReadDone done) override { done(std::nullopt); }
    void remove(const std::string&, RemoveDone done) override { done(true, {}); }
};

// The login window in simulation mode with its connection drawer open, over the demo session (it
// signs in nowhere here).
LoginWindowController* loginWindow(ScreenContext& c, bool keepNotKnown = false) {
    auto defaults = std::shared_ptr<platform::UserDefaults>(platform::UserDefaults::inMemory());
    const std::string key = "screens";
    if (keepNotKnown) {
        // A remembered demo user; the earlier version's flag stands for the remembered entries.
        const RememberedForm user{"demo", {}, "127.0.0.1", {}};
        defaults->set(kDemoMode,
                      RememberedUsers::encryptEntry(RememberedUsers::encodeFields(user), key).value());
        defaults->set(kPasswordKeepNotKnownKey, true);
    }
    auto secrets = std::make_shared<NoSecrets>();
    auto remembered = std::make_shared<RememberedUsers>(*defaults, key, *secrets);
    c.keep(defaults);
    c.keep(secrets);
    c.keep(remembered);
    auto* login = c.own(new LoginWindowController(c.context(), c.shell(), c.session(), *remembered));
    login->selectConnectionMode(1);
    login->show();
    return login;
}

QWidget* login(ScreenContext& c) {
    LoginWindowController* window = loginWindow(c);
    window->toggleRightDrawer();
    return window;
}

// Remember me ticked after a run whose keyring never said whether it kept the password: the line
// under the form, the longest of the keyring's.
QWidget* loginKeepNotKnown(ScreenContext& c) {
    LoginWindowController* window = loginWindow(c, true);
    window->findChild<QCheckBox*>(QStringLiteral("CheckBox"))->setChecked(true);
    return window;
}

QWidget* demoRegistration(ScreenContext& c) {
    LoginWindowController* window = loginWindow(c);
    window->createDemoUserButtonClicked();
    LoginRegistrationWindowController* sheet = window->registrationSheet();
    sheet->findChild<QLineEdit*>(QStringLiteral("NameTextField"))->setText(QStringLiteral("Ann Example"));
    sheet->findChild<QLineEdit*>(QStringLiteral("EmailTextField"))
        ->setText(QStringLiteral("ann@example.org"));
    c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

QWidget* unlock(ScreenContext& c) {
    auto* main = c.own(new QWidget);
    main->resize(640, 400);
    main->show();
    auto* window = c.own(new UnlockWindowController(c.context(), c.shell(), c.session()));
    window->lock(main);
    // The lock holds banners back; once captured they are let through again for later screens.
    GuiContext& gui = c.context();
    c.keep(std::shared_ptr<void>(nullptr, [&gui](void*) { gui.banners().setHeld(false); }));
    return window;
}

// The lock refusing a paste longer than any password field takes: the longest of its refusals.
QWidget* unlockRefused(ScreenContext& c) {
    auto* window = static_cast<UnlockWindowController*>(unlock(c));
    window->findChild<QLineEdit*>(QStringLiteral("lockPasswordTextField"))
        ->setText(QString(300, QLatin1Char('x')));
    window->unLockButtonClicked();
    return window;
}

} // namespace

void registerLoginScreens(ScreenRegistry& r) {
    r.add("login", login);
    r.add("login-keep-not-known", loginKeepNotKnown);
    r.add("demo-registration", demoRegistration);
    r.add("unlock", unlock);
    r.add("unlock-refused", unlockRefused);
}

} // namespace tc::gui
