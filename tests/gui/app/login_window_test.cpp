// The login window, the demo registration, the console lock and the idle time-out, driven through
// real widgets against the in-process test server.
#include "client/headless_application.h"
#include "gui/app/about_window_controller.h"
#include "gui/app/app_delegate.h"
#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/idle_time.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/language_list.h"
#include "gui/app/login_registration_window_controller.h"
#include "gui/app/login_window_controller.h"
#include "gui/app/main_window_controller.h"
#include "gui/app/remembered_users.h"
#include "gui/app/sound_notification.h"
#include "gui/app/unlock_window_controller.h"
#include "gui/gui_test_support.h"
#include "market.h"
#include "options.h"
#include "test_server.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <map>

namespace {

using guitest::waitFor;
using tc::gui::AppDelegate;

class MemorySecrets : public tc::gui::SecretStore {
public:
    void write(const std::string& key, const std::string& secret, WriteDone done) override {
        secrets[key] = secret;
        done(true, {});
    }
    void read(const std::string& key, ReadDone done) override {
        auto it = secrets.find(key);
        done(it == secrets.end() ? std::nullopt : std::optional(it->second));
    }
    void remove(const std::string& key) override { secrets.erase(key); }
    std::map<std::string, std::string> secrets;
};

class FakeIdle : public tc::gui::IdleSource {
public:
    std::int64_t idleSeconds() override { return seconds; }
    std::int64_t seconds = 0;
};

class LoginWindowTest : public guitest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(market.market) << market.error;
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        ports = server->start(options);

        AppDelegate::Options app;
        app.secrets = &secrets;
        app.idle = &idle;
        app.simulation = true;
        app.clients = [this] {
            interfaces::ClientOptions client;
            client.userDefaults = clientDefaults.get();
            client.watchNetwork = false;
            return interfaces::MakeClient(*shell, client);
        };
        delegate = std::make_unique<AppDelegate>(*context, *shell, std::move(app));
        delegate->applicationDidFinishLaunching();
        login = &delegate->loginWindow();
    }
    void TearDown() override {
        delegate.reset();
        server->stop();
        ShellTest::TearDown();
    }

    template <typename W>
    W* child(QWidget* window, const char* name) {
        W* w = window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* field(const char* name) { return child<QLineEdit>(login, name); }
    // Types the text into a field of the login window after emptying it.
    void type(const char* name, const QString& text) {
        QLineEdit* f = field(name);
        f->clear();
        QTest::keyClicks(f, text);
    }
    // The server's port in the drawer, the user and password in the form; Return signs in.
    void signInByTyping(const QString& user, const QString& password) {
        if (!login->isDrawerOpen())
            QTest::mouseClick(child<QToolButton>(login, "drawerButton"), Qt::LeftButton);
        type("serverTextField", QStringLiteral("127.0.0.1"));
        type("portTextField", QString::number(ports.stream));
        type("usernameTextField", user);
        type("passwordTextField", password);
        QTest::keyClick(field("passwordTextField"), Qt::Key_Return);
    }
    bool signedIn() {
        return waitFor(
            [&] {
                return delegate->mainWindow() && delegate->mainWindow()->isVisible() && !login->isVisible();
            },
            15000);
    }
    // The alerts showing on a window.
    static QList<QMessageBox*> alertsOn(QWidget* window) {
        QList<QMessageBox*> shown;
        for (QMessageBox* box : window->findChildren<QMessageBox*>())
            if (box->isVisible())
                shown << box;
        return shown;
    }
    static bool shaking(QWidget* window) {
        return window->findChild<QPropertyAnimation*>(QStringLiteral("tcShakeAnimation")) != nullptr;
    }

    MemorySecrets secrets;
    FakeIdle idle;
    std::unique_ptr<tc::platform::UserDefaults> clientDefaults = tc::platform::UserDefaults::inMemory();
    std::unique_ptr<testserver::TestServer> server;
    testserver::ServerPorts ports;
    std::unique_ptr<AppDelegate> delegate;
    tc::gui::LoginWindowController* login = nullptr;
};

TEST_F(LoginWindowTest, TypingTheDemoUserAndPressingReturnOpensTheMainWindowAndClosesTheLogin) {
    EXPECT_EQ(login->windowTitle(), context->text("0037"));
    EXPECT_EQ(login->connectionTypeKey(), "Demo");
    // Validation stops at the first empty field and sends nothing.
    type("usernameTextField", {});
    QTest::keyClick(field("passwordTextField"), Qt::Key_Return);
    ASSERT_EQ(alertsOn(login).size(), 1);
    EXPECT_EQ(alertsOn(login).front()->informativeText(), context->text("0002"));
    alertsOn(login).front()->buttons().front()->click();
    EXPECT_TRUE(waitFor([&] { return alertsOn(login).isEmpty(); }));
    EXPECT_EQ(server->stats().connections, 0);

    child<QCheckBox>(login, "CheckBox")->setChecked(true);
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    EXPECT_TRUE(login->isLoggingIn());
    ASSERT_TRUE(signedIn());
    EXPECT_TRUE(shell->loginSuccess());
    EXPECT_EQ(shell->primaryWindow(), delegate->mainWindow());
    EXPECT_EQ(context->clientModel(), &delegate->session());
    // The form with the remember box on was remembered, its password in the secret store only.
    const auto remembered =
        tc::gui::RememberedUsers(*defaults, interfaces::productInfo().productKey, secrets).load("Demo");
    ASSERT_TRUE(remembered);
    EXPECT_EQ(remembered->userName, "demo");
    EXPECT_EQ(remembered->port, std::to_string(ports.stream));
    EXPECT_EQ(secrets.secrets.size(), 1u);
}

TEST_F(LoginWindowTest, EachModeShowsItsRememberedUserAndTheBoxTurnedOffForgetsIt) {
    tc::gui::RememberedUsers store(*defaults, interfaces::productInfo().productKey, secrets);
    store.store("Demo", {"trader", "trader1234", "127.0.0.1", "5199"});
    login->selectConnectionMode(0);
    EXPECT_EQ(login->connectionTypeKey(), "Live");
    EXPECT_TRUE(field("usernameTextField")->text().isEmpty());
    EXPECT_EQ(field("serverTextField")->text().toStdString(), interfaces::productInfo().liveServer.host);
    EXPECT_FALSE(child<QCheckBox>(login, "CheckBox")->isChecked());

    QTest::mouseClick(child<QPushButton>(login, "demoModeButton"), Qt::LeftButton);
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("trader"));
    EXPECT_EQ(field("passwordTextField")->text(), QStringLiteral("trader1234"));
    EXPECT_EQ(field("portTextField")->text(), QStringLiteral("5199"));
    EXPECT_TRUE(child<QCheckBox>(login, "CheckBox")->isChecked());
    // The reset button brings back the mode's own server and port, the user stays.
    login->resetConnectionSettingsDefault();
    EXPECT_EQ(field("portTextField")->text(),
              QString::number(interfaces::productInfo().simulationServer.port));
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("trader"));

    auto* remember = child<QCheckBox>(login, "CheckBox");
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    EXPECT_FALSE(remember->isChecked());
    EXPECT_FALSE(store.load("Demo"));
    EXPECT_TRUE(secrets.secrets.empty());
    login->selectConnectionMode(1);
    EXPECT_TRUE(field("usernameTextField")->text().isEmpty());

    // Return in the open language list picks a language and does not sign in; texts missing from
    // the language read in English.
    auto* languages = child<QComboBox>(login, "languagesComboBox");
    EXPECT_EQ(languages->count(), 12);
    type("usernameTextField", QStringLiteral("demo"));
    type("passwordTextField", QStringLiteral("demo1234"));
    languages->showPopup();
    ASSERT_TRUE(waitFor([&] { return languages->view()->isVisible(); }));
    languages->view()->setCurrentIndex(languages->model()->index(7, 0));
    QTest::keyClick(languages->view(), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !languages->view()->isVisible(); }));
    EXPECT_EQ(defaults->integerForKey(tc::gui::kLanguageKey), 7);
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_EQ(login->windowTitle(), context->text("0037"));
    EXPECT_FALSE(login->windowTitle().isEmpty());
}

// The mode segments, the remember box and the connection-settings button act on their state, so a
// screen reader's toggle or setChecked() works as a click does.
TEST_F(LoginWindowTest, ModeRememberBoxAndConnectionSettingsActOnTheirState) {
    using guitest::accessibleToggle;
    tc::gui::RememberedUsers store(*defaults, interfaces::productInfo().productKey, secrets);
    store.store("Demo", {"trader", "trader1234", "127.0.0.1", "5199"});
    login->selectConnectionMode(0);
    ASSERT_TRUE(accessibleToggle(child<QAbstractButton>(login, "demoModeButton")));
    EXPECT_EQ(login->connectionTypeKey(), "Demo");
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("trader"));
    auto* remember = child<QCheckBox>(login, "CheckBox");
    ASSERT_TRUE(remember->isChecked());
    ASSERT_TRUE(accessibleToggle(remember));
    EXPECT_FALSE(remember->isChecked());
    EXPECT_FALSE(store.load("Demo"));
    EXPECT_TRUE(secrets.secrets.empty());

    auto* settings = child<QToolButton>(login, "drawerButton");
    ASSERT_FALSE(login->isDrawerOpen());
    ASSERT_TRUE(accessibleToggle(settings));
    EXPECT_TRUE(login->isDrawerOpen());
    EXPECT_TRUE(field("portTextField")->isVisible());
    settings->setChecked(false);
    EXPECT_FALSE(login->isDrawerOpen());
    QTest::keyClick(settings, Qt::Key_Space);
    EXPECT_TRUE(login->isDrawerOpen());
    login->toggleRightDrawer();
    EXPECT_FALSE(login->isDrawerOpen());
    EXPECT_FALSE(settings->isChecked());
}

TEST_F(LoginWindowTest, AWrongPasswordShowsTheRefusalAndTheFormSignsInAfterwards) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("wrong"));
    ASSERT_TRUE(waitFor([&] { return !alertsOn(login).isEmpty(); }, 15000));
    EXPECT_EQ(alertsOn(login).front()->informativeText(), context->text("1004"));
    EXPECT_TRUE(shaking(login));
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_TRUE(child<QPushButton>(login, "loginButton")->isVisible());
    EXPECT_FALSE(child<QPushButton>(login, "cancelButton")->isVisible());
    EXPECT_TRUE(field("passwordTextField")->isEnabled());
    alertsOn(login).front()->buttons().front()->click();

    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    EXPECT_TRUE(signedIn());
}

TEST_F(LoginWindowTest, CancellingALoginGivesTheFormBackWithoutTheLossAlert) {
    server->setDataServiceSilent(true);
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(login->isLoggingIn());
    QTest::mouseClick(child<QPushButton>(login, "cancelButton"), Qt::LeftButton);
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_TRUE(child<QPushButton>(login, "loginButton")->isVisible());
    QTest::qWait(200);
    EXPECT_TRUE(alertsOn(login).isEmpty()) << alertsOn(login).front()->text().toStdString();
    server->setDataServiceSilent(false);
}

TEST_F(LoginWindowTest, ALoginElsewhereTellsSoAndEndsTheProgramWhenTheAlertCloses) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    auto otherDefaults = tc::platform::UserDefaults::inMemory();
    tc::HeadlessApplication otherApp(*otherDefaults);
    auto other = interfaces::MakeClient(otherApp, {otherDefaults.get(), false});
    ASSERT_TRUE(
        other->signIn({interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"}));
    QWidget* main = delegate->mainWindow();
    ASSERT_TRUE(waitFor([&] { return !alertsOn(main).isEmpty(); }, 15000));
    // The sentence once, then where the other login came from when the server names it.
    const QString said = alertsOn(main).front()->informativeText();
    const QString lead = context->text("0008");
    EXPECT_TRUE(said == lead || (said.startsWith(lead + " : ") && said.endsWith(" !"))) << said.toStdString();
    EXPECT_EQ(said.count(QStringLiteral("another location")), 1) << said.toStdString();
    EXPECT_EQ(terminations, 0);
    alertsOn(main).front()->buttons().front()->click();
    EXPECT_TRUE(waitFor([&] { return terminations == 1; }));
}

TEST_F(LoginWindowTest, ALostStreamPlaysItsSoundBringsTheFormBackAndAlerts) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    QSignalSpy speeds(&delegate->session(), &tc::gui::ClientModel::networkSpeedChanged);
    auto* status = child<QLabel>(delegate->mainWindow(), "ConnectionStatusTextField");
    ASSERT_EQ(status->text(), context->text("0051"));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return login->isVisible() && !alertsOn(login).isEmpty(); }, 15000));
    // The main window, still open behind, no longer reads "Connected" (its state event may come a pass
    // after the alert); the shell measures the lost stream again 3.5 s later.
    EXPECT_TRUE(waitFor([&] { return status->text() == context->text("1007"); }));
    EXPECT_TRUE(waitFor(
        [&] {
            return std::any_of(speeds.begin(), speeds.end(), [](const QList<QVariant>& s) {
                return s.front().value<interfaces::NetworkSpeed>().speedClass == 3;
            });
        },
        15000));
    EXPECT_EQ(status->text(), context->text("1007"));
    EXPECT_EQ(alertsOn(login).front()->text(), context->text("0052"));
    EXPECT_EQ(alertsOn(login).front()->informativeText(), context->text("20251"));
    EXPECT_TRUE(std::any_of(sounds.begin(), sounds.end(), [](const QList<QVariant>& s) {
        return s.front().toString() == "connectionLost";
    }));
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_TRUE(field("usernameTextField")->isEnabled());
    // A new login from the form replaces the lost session.
    alertsOn(login).front()->buttons().front()->click();
    QTest::keyClick(field("passwordTextField"), Qt::Key_Return);
    EXPECT_TRUE(signedIn());
    EXPECT_EQ(server->stats().logins, 2);
}

TEST_F(LoginWindowTest, TheLoginWindowOffersTheAboutWindowBeforeAnyLogin) {
    auto* about = child<QAction>(login, "actionAbout");
    ASSERT_TRUE(about);
    EXPECT_EQ(about->text(), context->text("90117"));
    EXPECT_EQ(login->contextMenuPolicy(), Qt::ActionsContextMenu);
    about->trigger();
    QWidget* window = context->guiObjects().aboutWindowController();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), login);
}

TEST_F(LoginWindowTest, ClosingTheLoginWindowEndsTheProgramEvenWithALostMainWindowOpen) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return login->isVisible() && !alertsOn(login).isEmpty(); }, 15000));
    alertsOn(login).front()->buttons().front()->click();
    EXPECT_TRUE(delegate->mainWindow()->isVisible());
    EXPECT_EQ(terminations, 0);
    login->close();
    EXPECT_EQ(terminations, 1);
}

TEST_F(LoginWindowTest, TheLockHidesTheMainWindowUntilTheLoginPasswordIsTyped) {
    delegate->lockAppMenuItemClicked(); // nothing to lock before a login
    EXPECT_FALSE(delegate->unlockWindow().isLocked());
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    QWidget* main = delegate->mainWindow();
    interfaces::InAppNotification note;
    note.title = "TradeClient";
    note.subtitle = "Before the lock";
    QPointer<tc::gui::InAppNotificationBannerController> before =
        context->banners().deliverNotification(note);
    ASSERT_TRUE(before && before->isVisible());
    delegate->mainWindow()->SettingsButtonClicked();
    QWidget* settings = delegate->mainWindow()->settingsWindow();
    ASSERT_TRUE(settings->isVisible());
    delegate->mainWindow()->lockConsole();
    EXPECT_FALSE(settings->isVisible());
    tc::gui::UnlockWindowController& unlock = delegate->unlockWindow();
    ASSERT_TRUE(unlock.isLocked());
    EXPECT_FALSE(main->isVisible());
    // Nothing shows over the lock: the open banner goes at once, a new one waits for the unlock.
    EXPECT_TRUE(!before || !before->isVisible());
    note.subtitle = "While locked";
    EXPECT_EQ(context->banners().deliverNotification(note), nullptr);
    EXPECT_TRUE(context->banners().banners().isEmpty());
    EXPECT_EQ(unlock.windowTitle(), context->text("10855") + QStringLiteral(" demo"));

    QLineEdit* password = unlock.findChild<QLineEdit*>(QStringLiteral("lockPasswordTextField"));
    QTest::keyClicks(password, QStringLiteral("demo12345"));
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_TRUE(shaking(&unlock));
    EXPECT_TRUE(unlock.isLocked());
    EXPECT_EQ(password->text(), QStringLiteral("demo12345"));
    // The refusal in words, on the window and to a screen reader; typing again takes it away.
    auto visibleTexts = [&] {
        QStringList shown;
        for (QLabel* label : unlock.findChildren<QLabel*>())
            if (label->isVisible())
                shown << label->text();
        return shown;
    };
    EXPECT_TRUE(visibleTexts().contains(context->text("90308")));
    EXPECT_EQ(password->accessibleDescription(), context->text("90308"));
    QTest::keyClick(&unlock, Qt::Key_Escape);
    EXPECT_TRUE(unlock.isLocked());

    password->clear();
    QTest::keyClicks(password, QStringLiteral("demo1234"));
    EXPECT_FALSE(visibleTexts().contains(context->text("90308")));
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_FALSE(unlock.isLocked());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_TRUE(settings->isVisible());
    ASSERT_EQ(context->banners().banners().size(), 1);
    EXPECT_EQ(context->banners().banners().front()->notification().subtitle, "While locked");
    EXPECT_EQ(shell->primaryWindow(), main);
    EXPECT_EQ(delegate->session().loginState(), interfaces::LoginState::SignedIn);
    EXPECT_EQ(terminations, 0);
}

TEST_F(LoginWindowTest, TheIdleTimeOutEndsTheProgramOnceTheIdleTimeReachesTheSetting) {
    defaults->set(tc::gui::kIdleTimeKey, std::int64_t{300});
    idle.seconds = 5000;
    delegate->session().tickNow(); // no main window yet: no check
    EXPECT_EQ(terminations, 0);
    idle.seconds = 0; // the session's own tick checks too while the sign-in is awaited
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    idle.seconds = 299;
    delegate->session().tickNow();
    EXPECT_EQ(terminations, 0);
    idle.seconds = 301; // a late check still ends it
    delegate->session().tickNow();
    EXPECT_EQ(terminations, 1);
}

// The registration lists the countries by their names in the program's language, and what it sends
// is the name shown; a language change keeps the country chosen.
TEST_F(LoginWindowTest, TheRegistrationNamesCountriesInTheLanguageChosenAndSendsTheNameShown) {
    login->createDemoUserButtonClicked();
    tc::gui::LoginRegistrationWindowController* sheet = login->registrationSheet();
    ASSERT_TRUE(sheet);
    auto* countries = child<QComboBox>(sheet, "CountryComboBox");
    EXPECT_GE(countries->findText(QStringLiteral("Germany")), 0);
    EXPECT_EQ(countries->itemText(0), QStringLiteral("Afghanistan"));
    countries->setCurrentIndex(countries->findText(QStringLiteral("Germany")));
    ASSERT_TRUE(context->language().select(7)); // French
    EXPECT_LT(countries->findText(QStringLiteral("Germany")), 0);
    EXPECT_EQ(countries->currentText(), QStringLiteral("Allemagne"));
    EXPECT_EQ(sheet->form().country, "Allemagne");
    ASSERT_TRUE(context->language().select(6)); // Russian
    EXPECT_EQ(countries->currentText(), QString::fromUtf8("Германия"));
    EXPECT_EQ(sheet->form().country, "Германия");
    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(sheet->form().country, "Germany");
    sheet->reject();
}

TEST_F(LoginWindowTest, ADemoRegistrationFillsTheFormAndThatUserSignsIn) {
    login->selectConnectionMode(0);
    QTest::mouseClick(child<QToolButton>(login, "drawerButton"), Qt::LeftButton);
    type("portTextField", QString::number(ports.stream));
    QTest::mouseClick(child<QPushButton>(login, "demouserCreationButton"), Qt::LeftButton);
    EXPECT_EQ(login->connectionTypeKey(), "Demo"); // the sheet opens in simulation mode
    tc::gui::LoginRegistrationWindowController* sheet = login->registrationSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    // The checks come first, in order; nothing is sent.
    QTest::mouseClick(child<QPushButton>(sheet, "submitButton"), Qt::LeftButton);
    ASSERT_EQ(alertsOn(sheet).size(), 1);
    EXPECT_EQ(alertsOn(sheet).front()->informativeText(), context->text("20225"));
    alertsOn(sheet).front()->buttons().front()->click();

    // Switching to the simulation mode filled in its default port; the test server listens elsewhere.
    type("portTextField", QString::number(ports.stream));
    QTest::keyClicks(child<QLineEdit>(sheet, "NameTextField"), QStringLiteral("Ann Example"));
    QTest::keyClicks(child<QLineEdit>(sheet, "EmailTextField"), QStringLiteral("ann@example.org"));
    QTest::keyClicks(child<QLineEdit>(sheet, "PhoneTextField"), QStringLiteral("+977 1 4000000"));
    child<QComboBox>(sheet, "CountryComboBox")->setCurrentIndex(3);
    EXPECT_EQ(child<QComboBox>(sheet, "DepositComboBox")->currentText(), QStringLiteral("10000"));
    QTest::mouseClick(child<QPushButton>(sheet, "submitButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !alertsOn(sheet).isEmpty(); }, 15000));
    EXPECT_EQ(alertsOn(sheet).front()->text(), context->text("0315"));
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("demo2001"));
    EXPECT_FALSE(field("passwordTextField")->text().isEmpty());
    EXPECT_TRUE(alertsOn(sheet).front()->informativeText().contains(field("passwordTextField")->text()));
    alertsOn(sheet).front()->buttons().front()->click();
    EXPECT_TRUE(waitFor([&] { return !sheet->isVisible(); }));

    QTest::keyClick(field("passwordTextField"), Qt::Key_Return);
    ASSERT_TRUE(signedIn());
    EXPECT_EQ(delegate->session().client().userName(), "demo2001");
    EXPECT_EQ(server->stats().demoRegistrations, 1);

    // Opened again, the sheet starts from an empty form and the first deposit amount.
    login->show();
    child<QComboBox>(sheet, "DepositComboBox")->setCurrentIndex(2);
    login->createDemoUserButtonClicked();
    EXPECT_TRUE(child<QLineEdit>(sheet, "NameTextField")->text().isEmpty());
    EXPECT_TRUE(child<QComboBox>(sheet, "CountryComboBox")->currentText().isEmpty());
    EXPECT_EQ(child<QComboBox>(sheet, "DepositComboBox")->currentIndex(), 0);
}

} // namespace
