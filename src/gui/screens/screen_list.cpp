// Every window and sheet of the program, as the screenshot tool shows them. One line per screen.
#include "connection/login_inputdata.h"
#include "gui/app/about_window_controller.h"
#include "gui/app/common_alert.h"
#include "gui/app/font_size_settings_window_controller.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/idle_timeout_window_controller.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/login_registration_window_controller.h"
#include "gui/app/login_window_controller.h"
#include "gui/app/qt_shell.h"
#include "gui/app/remembered_users.h"
#include "gui/app/settings_window_controller.h"
#include "gui/app/unlock_window_controller.h"
#include "gui/models/client_model.h"
#include "gui/screens/screen_registry.h"
#include "platform/user_defaults.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

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

QWidget* about(ScreenContext& c) {
    AboutWindowController* window = c.context().guiObjects().getAboutWindowController();
    c.context().guiObjects().showAbout(nullptr);
    return window;
}

QWidget* banner(ScreenContext& c, bool withButtons) {
    GuiContext& gui = c.context();
    interfaces::InAppNotification n;
    n.title = kApplicationName;
    if (withButtons) {
        n.subtitle = gui.text("10852").toStdString();
        n.informativeText = gui.text("1089").toStdString();
        n.hasActionButton = true;
        n.feature.lineBreakMode = 0;
        n.feature.dismissDelayTime = -1;
    } else {
        n.subtitle = gui.text("1078").toStdString();
        n.informativeText = gui.text("1074").toStdString();
        n.feature.dismissDelayTime = -1;
    }
    auto* banner = gui.banners().deliverNotification(n);
    c.waitUntil([banner] { return banner->phase() == InAppNotificationBannerController::Phase::Shown; });
    return banner;
}

QWidget* alert(ScreenContext& c) {
    QtShell& shell = c.shell();
    auto* owner = c.own(new QWidget);
    owner->resize(480, 320);
    owner->show();
    shell.setPrimaryWindow(owner);
    shell.ConnectionFailureNotification();
    QMessageBox* box = CommonAlert::showing(owner, QStringLiteral("connectionLost"));
    c.waitUntil([box] { return box && box->isVisible(); });
    return box;
}

// Screens keep no passwords.
class NoSecrets : public SecretStore {
public:
    void write(const std::string&, const std::string&, WriteDone done) override {
        done(false, "the screenshot tool keeps no passwords");
    }
    void read(const std::string&, ReadDone done) override { done(std::nullopt); }
    void remove(const std::string&) override {}
};

// The login window in simulation mode with its connection drawer open; its session never signs in.
LoginWindowController* loginWindow(ScreenContext& c) {
    auto defaults = std::shared_ptr<platform::UserDefaults>(platform::UserDefaults::inMemory());
    auto secrets = std::make_shared<NoSecrets>();
    auto remembered = std::make_shared<RememberedUsers>(*defaults, "", *secrets);
    QtShell& shell = c.shell();
    auto session = std::make_shared<ClientModel>([&shell, defaults] {
        return interfaces::MakeClient(shell, {defaults.get(), false});
    });
    for (std::shared_ptr<void> part : {std::shared_ptr<void>(defaults), std::shared_ptr<void>(secrets),
                                       std::shared_ptr<void>(remembered), std::shared_ptr<void>(session)})
        c.keep(std::move(part));
    auto* login = c.own(new LoginWindowController(c.context(), shell, *session, *remembered));
    login->selectConnectionMode(1);
    login->show();
    return login;
}

QWidget* login(ScreenContext& c) {
    LoginWindowController* window = loginWindow(c);
    window->toggleRightDrawer();
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
    c.shell().logindata().setUserName(std::string("demo"));
    auto* main = c.own(new QWidget);
    main->resize(640, 400);
    main->show();
    auto* window = c.own(new UnlockWindowController(c.context(), c.shell()));
    window->lock(main);
    return window;
}

// Every shipped image on the window background, to judge them in both themes.
QWidget* images(ScreenContext& c) {
    auto* sheet = c.own(new QWidget);
    auto* grid = new QGridLayout(sheet);
    const QStringList files = QDir(QStringLiteral(":/images")).entryList(QDir::Files, QDir::Name);
    for (int i = 0; i < files.size(); ++i) {
        auto* picture = new QLabel(sheet);
        picture->setPixmap(QIcon(QStringLiteral(":/images/") + files[i]).pixmap(32, 32));
        auto* name = new QLabel(QFileInfo(files[i]).baseName(), sheet);
        grid->addWidget(picture, i / 3, (i % 3) * 2);
        grid->addWidget(name, i / 3, (i % 3) * 2 + 1);
    }
    sheet->show();
    return sheet;
}

} // namespace

void registerScreens(ScreenRegistry& r) {
    r.add("settings", [](ScreenContext& c) { return settingsWindow(c); });
    r.add("settings-font-size", [](ScreenContext& c) { return settingsSheet(c, true); });
    r.add("settings-idle-timeout", [](ScreenContext& c) { return settingsSheet(c, false); });
    r.add("about", about);
    r.add("banner", [](ScreenContext& c) { return banner(c, false); });
    r.add("banner-buttons", [](ScreenContext& c) { return banner(c, true); });
    r.add("alert", alert);
    r.add("login", login);
    r.add("demo-registration", demoRegistration);
    r.add("unlock", unlock);
    r.add("images", images);
}

} // namespace tc::gui
