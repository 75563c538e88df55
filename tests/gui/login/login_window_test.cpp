// The login window, the demo registration, the console lock and the idle time-out, driven through
// real widgets against the in-process test server.
#include "client/headless_application.h"
#include "gui/app/app_delegate.h"
#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/language_list.h"
#include "gui/app/sound_notification.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/chart_view_controller.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/charts/pie_chart_view_controller.h"
#include "gui/controls/date_time_field.h"
#include "gui/controls/grid_table.h"
#include "gui/funding/deposit_request_window_controller.h"
#include "gui/funding/deposits_withdrawals_window_controller.h"
#include "gui/funding/withdrawal_request_window_controller.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/grid/grid_view_proxy.h"
#include "gui/gui_test_support.h"
#include "gui/login/idle_time.h"
#include "gui/login/login_registration_window_controller.h"
#include "gui/login/login_window_controller.h"
#include "gui/login/memory_secrets.h"
#include "gui/login/remembered_users.h"
#include "gui/login/unlock_window_controller.h"
#include "gui/main/about_window_controller.h"
#include "gui/main/main_window_controller.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/watchlist_table_controller.h"
#include "gui/news/news_table_controller.h"
#include "gui/statements/account_statement_window_controller.h"
#include "gui/texts.h"
#include "gui/trading/close_and_cancel_position_window_controller.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "market.h"
#include "model/text/positional_text.h"
#include "options.h"
#include "platform/bundle.h"
#include "platform/dispatch.h"
#include "platform/string_table.h"
#include "support/temp_resources.h"
#include "test_server.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::AppDelegate;

using guitest::MemorySecrets;

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
        server->holdPrices(holdPrices);
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        if (serveNews)
            options.newsPort = 0;
        ports = server->start(options);
        if (serveNews)
            pointTheLoginListAtTheNewsDesk();

        startProgram();
    }
    // The program as it starts, on the fixture's keyring, idle monitor and settings.
    void startProgram() {
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
        if (resources) {
            tc::platform::Bundle::setResourcesRoot({});
            tc::platform::StringTableCache::clear();
        }
    }

    // The program's own road to the news feed: every client reads its address from the login list,
    // here a copy naming this server's news desk beside the build's other resources.
    void pointTheLoginListAtTheNewsDesk() {
        namespace fs = std::filesystem;
        const fs::path shipped = tc::platform::Bundle::resourcesRoot();
        resources = std::make_unique<tc::testing_support::TempDir>();
        for (const fs::directory_entry& entry : fs::directory_iterator(shipped))
            if (entry.path().filename() != "LoginPropertyList.plist")
                fs::create_symlink(entry.path(), resources->path() / entry.path().filename());
        std::ifstream in(shipped / "LoginPropertyList.plist");
        std::string list((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string port = "<integer>" + std::to_string(testserver::kDefaultNewsPort) + "</integer>";
        const std::size_t at = list.find(port);
        ASSERT_NE(at, std::string::npos);
        ASSERT_EQ(list.find(port, at + 1), std::string::npos);
        list.replace(at, port.size(), "<integer>" + std::to_string(ports.news) + "</integer>");
        resources->write("LoginPropertyList.plist", list);
        tc::platform::Bundle::setResourcesRoot(resources->path());
    }

    template <typename W>
    W* child(QWidget* window, const char* name) {
        W* w = window->findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* field(const char* name) { return child<QLineEdit>(login, name); }
    // Types the text over what a field of the login window holds, clicked into as a trader would.
    void type(const char* name, const QString& text) {
        QLineEdit* f = field(name);
        ASSERT_TRUE(guitest::clickInto(f)) << name;
        guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
        guitest::pressKey(Qt::Key_Delete);
        guitest::typeKeys(text);
    }
    // The server's port in the drawer, the user and password in the form; Return signs in.
    void signInByTyping(const QString& user, const QString& password) {
        if (!login->isDrawerOpen())
            QTest::mouseClick(child<QToolButton>(login, "drawerButton"), Qt::LeftButton);
        type("serverTextField", QStringLiteral("127.0.0.1"));
        type("portTextField", QString::number(ports.stream));
        type("usernameTextField", user);
        type("passwordTextField", password);
        guitest::pressKey(Qt::Key_Return);
    }
    // Pastes the text over what a field holds, as Ctrl+A and Ctrl+V do.
    static void paste(QLineEdit* f, const QString& text) {
        ASSERT_TRUE(guitest::clickInto(f));
        guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
        QApplication::clipboard()->setText(text);
        guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
    }
    // Types a password into the lock and presses Return, as the trader at the console does.
    void unlockWith(tc::gui::UnlockWindowController& unlock, const QString& password) {
        auto* field = unlock.findChild<QLineEdit*>(QStringLiteral("lockPasswordTextField"));
        ASSERT_TRUE(field);
        guitest::typeOver(field, password);
        guitest::pressKey(Qt::Key_Return);
    }
    QString refusal(const char* faultKey, const char* fieldKey, int limit = 0) {
        return context->text(faultKey)
            .replace("{0}", context->text(fieldKey))
            .replace("{1}", QString::number(limit));
    }
    // Whether `press` brought up one alert on the window saying `text`; the alert is closed.
    bool refusedWith(QWidget* window, QAbstractButton* press, const QString& text) {
        QTest::mouseClick(press, Qt::LeftButton);
        if (alertsOn(window).size() != 1)
            return false;
        EXPECT_EQ(alertsOn(window).front()->informativeText(), text);
        alertsOn(window).front()->buttons().front()->click();
        return waitFor([&] { return alertsOn(window).isEmpty(); });
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

    // The server stopped, then started again on the same ports (a server restart).
    void restartServer() {
        server->stop();
        testserver::ServerOptions options;
        options.port = ports.stream;
        options.feedPort = ports.feed;
        options.dataPort = ports.data;
        if (serveNews)
            options.newsPort = ports.news;
        ASSERT_EQ(server->start(options).stream, ports.stream);
    }
    // Drops the server and waits for the loss alert on the login window; OK closes it.
    void loseTheServerAndOkTheAlert() {
        server->stop();
        ASSERT_TRUE(waitFor([&] { return login->isVisible() && !alertsOn(login).isEmpty(); }, 15000));
        ASSERT_EQ(alertsOn(login).front()->informativeText(),
                  context->text(texts::kConnectionTradingServerLost));
        alertsOn(login).front()->buttons().front()->click();
    }

    // Quotes stay where they are, so two sign-ins see the same figures.
    bool holdPrices = false;
    // The server's news desk, named by the login list the clients read.
    bool serveNews = false;
    std::unique_ptr<tc::testing_support::TempDir> resources;
    MemorySecrets secrets;
    FakeIdle idle;
    std::unique_ptr<tc::platform::UserDefaults> clientDefaults = tc::platform::UserDefaults::inMemory();
    std::unique_ptr<testserver::TestServer> server;
    testserver::ServerPorts ports;
    std::unique_ptr<AppDelegate> delegate;
    tc::gui::LoginWindowController* login = nullptr;
};

TEST_F(LoginWindowTest, TypingTheDemoUserAndPressingReturnOpensTheMainWindowAndClosesTheLogin) {
    EXPECT_EQ(login->windowTitle(), context->text(texts::kLogin));
    EXPECT_EQ(login->connectionTypeKey(), "Demo");
    // Validation stops at the first empty field and sends nothing.
    type("usernameTextField", {});
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_EQ(alertsOn(login).size(), 1);
    EXPECT_EQ(alertsOn(login).front()->informativeText(), context->text(texts::kEnterUserName));
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
    // The main window opens filling the screen's free room (as far as its smallest size lets it).
    QWidget* main = delegate->mainWindow();
    const QRect room = main->screen()->availableGeometry();
    EXPECT_EQ(main->frameGeometry().topLeft(), room.topLeft());
    EXPECT_EQ(main->size(), room.size().expandedTo(main->minimumSize()));
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
    ASSERT_EQ(QApplication::focusWidget(), languages->view());
    guitest::pressKey(Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return !languages->view()->isVisible(); }));
    EXPECT_EQ(defaults->integerForKey(tc::gui::kLanguageKey), 7);
    EXPECT_EQ(languages->accessibleName(), context->text(texts::kLanguage)); // named in the language chosen
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_EQ(login->windowTitle(), context->text(texts::kLogin));
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
    ASSERT_TRUE(guitest::clickInto(field("usernameTextField")));
    ASSERT_TRUE(guitest::tabTo(settings));
    guitest::pressKey(Qt::Key_Space);
    EXPECT_TRUE(login->isDrawerOpen());
    login->toggleRightDrawer();
    EXPECT_FALSE(login->isDrawerOpen());
    EXPECT_FALSE(settings->isChecked());
}

TEST_F(LoginWindowTest, AWrongPasswordShowsTheRefusalAndTheFormSignsInAfterwards) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("wrong"));
    ASSERT_TRUE(waitFor([&] { return !alertsOn(login).isEmpty(); }, 15000));
    EXPECT_EQ(alertsOn(login).front()->informativeText(), context->text(texts::kLoginFailed));
    EXPECT_TRUE(shaking(login));
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_TRUE(child<QPushButton>(login, "loginButton")->isVisible());
    EXPECT_FALSE(child<QPushButton>(login, "cancelButton")->isVisible());
    EXPECT_TRUE(field("passwordTextField")->isEnabled());
    alertsOn(login).front()->buttons().front()->click();

    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    EXPECT_TRUE(signedIn());
}

// A text the login cannot send is refused when Login is pressed: nothing is sent, nothing waits.
TEST_F(LoginWindowTest, AUserNameOrPasswordThatCannotBeSentIsRefusedAtOnce) {
    QTest::mouseClick(child<QToolButton>(login, "drawerButton"), Qt::LeftButton);
    type("serverTextField", QStringLiteral("127.0.0.1"));
    type("passwordTextField", QStringLiteral("demo1234"));
    auto* loginButton = child<QPushButton>(login, "loginButton");
    // A port with a letter typed in is refused as it stands, not sent as the digits left.
    type("usernameTextField", QStringLiteral("demo"));
    type("portTextField", QString::number(ports.stream).insert(2, 'x'));
    EXPECT_TRUE(refusedWith(login, loginButton, context->text(texts::kEnterPortNumberFrom1)));
    type("portTextField", QString::number(ports.stream));
    paste(field("usernameTextField"), QStringLiteral("de\x03mo"));
    EXPECT_TRUE(
        refusedWith(login, loginButton, refusal(texts::kHoldsCharacterCannotSentControl, texts::kUserName)));
    // A password past the one limit of every password field is kept whole and refused as too long.
    type("usernameTextField", QStringLiteral("demo"));
    paste(field("passwordTextField"), QString(300, QLatin1Char('p')));
    EXPECT_EQ(field("passwordTextField")->text().size(), 300);
    EXPECT_TRUE(
        refusedWith(login, loginButton, refusal(texts::kLongerThanCharacters, texts::kPassword, 256)));
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_EQ(server->stats().connections, 0) << "nothing was sent";
}

// A port is kept as typed or pasted, however long, marked at once and refused by the login and the
// demo registration alike: never cut to five digits, nor replaced by the default port.
TEST_F(LoginWindowTest, APortIsKeptWholeMarkedAndRefusedByLoginAndRegistration) {
    QTest::mouseClick(child<QToolButton>(login, "drawerButton"), Qt::LeftButton);
    type("serverTextField", QStringLiteral("127.0.0.1"));
    type("usernameTextField", QStringLiteral("demo"));
    type("passwordTextField", QStringLiteral("demo1234"));
    auto* loginButton = child<QPushButton>(login, "loginButton");
    const QString portRefusal = context->text(texts::kEnterPortNumberFrom1);
    QLineEdit* port = field("portTextField");
    type("portTextField", QStringLiteral("510000"));
    EXPECT_EQ(port->text(), QStringLiteral("510000")) << "not 51000";
    EXPECT_EQ(port->toolTip(), portRefusal);
    EXPECT_TRUE(refusedWith(login, loginButton, portRefusal));
    paste(port, QStringLiteral("402217"));
    EXPECT_EQ(port->text(), QStringLiteral("402217")) << "not 40221";
    EXPECT_TRUE(refusedWith(login, loginButton, portRefusal));
    paste(port, QString(70, QLatin1Char('5')));
    EXPECT_EQ(port->text().size(), 70) << "a long paste is kept, not dropped";
    EXPECT_TRUE(refusedWith(login, loginButton, portRefusal));
    type("portTextField", QString::number(ports.stream));
    EXPECT_TRUE(port->toolTip().isEmpty());

    type("portTextField", QStringLiteral("33x08"));
    QTest::mouseClick(child<QPushButton>(login, "demoUserCreationButton"), Qt::LeftButton);
    tc::gui::LoginRegistrationWindowController* sheet = login->registrationSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    type("portTextField", QStringLiteral("33x08")); // the mode's defaults came in with the sheet
    guitest::typeOver(child<QLineEdit>(sheet, "NameTextField"), QStringLiteral("Ann Example"));
    guitest::typeOver(child<QLineEdit>(sheet, "EmailTextField"), QStringLiteral("ann@example.org"));
    guitest::typeOver(child<QLineEdit>(sheet, "PhoneTextField"), QStringLiteral("+977 1 4000000"));
    child<QComboBox>(sheet, "CountryComboBox")->setCurrentIndex(3);
    EXPECT_TRUE(refusedWith(sheet, child<QPushButton>(sheet, "submitButton"), portRefusal));
    EXPECT_TRUE(child<QPushButton>(sheet, "submitButton")->isEnabled()) << "nothing waits";
    EXPECT_EQ(server->stats().demoRegistrations, 0);
    EXPECT_EQ(server->stats().connections, 0) << "nothing was sent";
    sheet->reject();
}

TEST_F(LoginWindowTest, CancellingALoginGivesTheFormBackWithoutTheLossAlert) {
    // The server reads nothing of the login, so it is still under way when Cancel is clicked.
    server->pauseStream(true);
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(login->isLoggingIn());
    QTest::mouseClick(child<QPushButton>(login, "cancelButton"), Qt::LeftButton);
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_TRUE(child<QPushButton>(login, "loginButton")->isVisible());
    guitest::settle(200, "no loss alert comes: the time one takes after a cancelled stream closes");
    EXPECT_TRUE(alertsOn(login).isEmpty()) << alertsOn(login).front()->text().toStdString();
    server->pauseStream(false);
}

TEST_F(LoginWindowTest, ALoginElsewhereTellsSoAndEndsTheProgramWhenTheAlertCloses) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    auto otherDefaults = tc::platform::UserDefaults::inMemory();
    tc::HeadlessApplication otherApp(*otherDefaults);
    interfaces::ClientOptions otherOptions;
    otherOptions.userDefaults = otherDefaults.get();
    otherOptions.watchNetwork = false;
    auto other = interfaces::MakeClient(otherApp, otherOptions);
    ASSERT_TRUE(
        other->signIn({interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"}));
    QWidget* main = delegate->mainWindow();
    ASSERT_TRUE(waitFor([&] { return !alertsOn(main).isEmpty(); }, 15000));
    // The sentence once, then where the other login came from when the server names it.
    const QString said = alertsOn(main).front()->informativeText();
    const QString lead = context->text(texts::kSignedFromAnotherLocation);
    EXPECT_TRUE(said == lead || (said.startsWith(lead + " : ") && said.endsWith(" !"))) << said.toStdString();
    EXPECT_EQ(said.count(QStringLiteral("another location")), 1) << said.toStdString();
    EXPECT_EQ(terminations, 0);
    alertsOn(main).front()->buttons().front()->click();
    EXPECT_TRUE(waitFor([&] { return terminations == 1; }));
}

TEST_F(LoginWindowTest, AServerThatStopsAnsweringReadsSoAndTheLossNamesTheOrderItLeftUnanswered) {
    using tc::gui::Tone;
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    tc::gui::GridModel& quotes = main.watchlistBoard()->gridModel();
    auto* status = child<QLabel>(&main, "ConnectionStatusTextField");
    ASSERT_TRUE(waitFor([&] { return quotes.rowCount() > 0; }));
    ASSERT_EQ(status->text(), context->text(texts::kConnected));
    const auto bidTone = [&] {
        for (int c = 0; c < quotes.columnCount(); ++c)
            if (quotes.isTickColumn(c))
                return Tone(quotes.index(0, c).data(tc::gui::GridModel::ToneRole).toInt());
        return Tone::Stale;
    };
    ASSERT_NE(bidTone(), Tone::Stale);

    // The server stands still; an order goes out before its silence shows.
    server->pauseStream(true);
    interfaces::OrderTicket order;
    order.instrument = "EURUSD";
    order.account = 20001;
    order.quantity = interfaces::Decimal::fromString("0.1").value();
    ASSERT_TRUE(delegate->session().client().orders().placeOrder(order).sent());
    // A few seconds on the status says so, the prices read as not current and orders are refused.
    ASSERT_TRUE(waitFor([&] { return status->text() == context->text(texts::kServerNotAnswering); }, 15000));
    EXPECT_TRUE(waitFor([&] { return bidTone() == Tone::Stale; }));
    const interfaces::OrderResult refused = delegate->session().client().orders().placeOrder(order);
    EXPECT_FALSE(refused.sent());
    EXPECT_EQ(QString::fromStdString(refused.refusalText), context->text(texts::kServerNotAnsweringRefusal));
    // The ticket's check before its confirmation says so too.
    EXPECT_EQ(delegate->session().client().orders().checkOrder(order).refusalKey, refused.refusalKey);

    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return login->isVisible() && !alertsOn(login).isEmpty(); }, 15000));
    const QString said = alertsOn(login).front()->informativeText();
    EXPECT_TRUE(said.startsWith(context->text(texts::kConnectionTradingServerLost))) << said.toStdString();
    EXPECT_TRUE(said.contains(context->text(texts::kUnansweredRequestsAlert))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("EURUSD"))) << said.toStdString();
    server->pauseStream(false);
}

// Once the loss alert is read its list is still there: the same user's next session keeps the
// journal, each request without an answer on its line below the new session's own lines.
TEST_F(LoginWindowTest, TheRequestsALostLineLeftWithoutAnAnswerStayInTheJournalAfterTheSignInAgain) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    server->pauseStream(true);
    interfaces::OrderTicket order;
    order.instrument = "EURUSD";
    order.account = 20001;
    order.quantity = interfaces::Decimal::fromString("0.1").value();
    ASSERT_TRUE(delegate->session().client().orders().placeOrder(order).sent());
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return login->isVisible() && !alertsOn(login).isEmpty(); }, 15000));
    const QString said = alertsOn(login).front()->informativeText();
    QStringList listed;
    for (const QString& line : said.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("- ")))
            listed << line.mid(2);
    ASSERT_EQ(listed.size(), 1) << said.toStdString();
    // The alert says where its list can be read again.
    EXPECT_TRUE(said.endsWith(context->text(texts::kUnansweredListInJournal))) << said.toStdString();
    alertsOn(login).front()->buttons().front()->click();
    ASSERT_TRUE(waitFor([&] { return alertsOn(login).isEmpty(); }));
    server->pauseStream(false);

    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    // The journal brought forward as the trader does, Ctrl+7 from the window.
    ASSERT_TRUE(guitest::clickInto(main.gridPane(tc::gui::Grid::OpenPositions)->table().viewport()));
    guitest::pressKey(Qt::Key_7, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), main.journalTable());
    const QString line = context->text(texts::kUnansweredRequestJournal).replace("{0}", listed.front());
    const QAbstractItemModel* journal = main.journalTable()->model();
    const auto rowOf = [&](const QString& event) {
        for (int row = 0; row < journal->rowCount(); ++row)
            if (journal->index(row, 1).data().toString() == event)
                return row;
        return -1;
    };
    ASSERT_TRUE(waitFor([&] { return rowOf(line) >= 0; })) << line.toStdString();
    // Newest first: the new session's sign-in stands above it.
    const QString loggedIn = context->text(texts::kLoggedServerAs)
                                 .replace("{0}", QStringLiteral("127.0.0.1"))
                                 .replace("{1}", QString::number(ports.stream))
                                 .replace("{2}", QStringLiteral("demo"));
    ASSERT_TRUE(waitFor([&] { return rowOf(loggedIn) >= 0; }));
    EXPECT_LT(rowOf(loggedIn), rowOf(line));

    // Another user signing in on the console reads none of it.
    loseTheServerAndOkTheAlert();
    restartServer();
    signInByTyping(QStringLiteral("trader"), QStringLiteral("trader1234"));
    ASSERT_TRUE(signedIn());
    ASSERT_TRUE(waitFor([&] { return journal->rowCount() > 0; }));
    for (int row = 0; row < journal->rowCount(); ++row)
        EXPECT_FALSE(journal->index(row, 1).data().toString().contains(QStringLiteral("demo")))
            << journal->index(row, 1).data().toString().toStdString();
}

TEST_F(LoginWindowTest, ALostStreamPlaysItsSoundBringsTheFormBackAndAlerts) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    QSignalSpy speeds(&delegate->session(), &tc::gui::ClientModel::networkSpeedChanged);
    auto* status = child<QLabel>(delegate->mainWindow(), "ConnectionStatusTextField");
    ASSERT_EQ(status->text(), context->text(texts::kConnected));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return login->isVisible() && !alertsOn(login).isEmpty(); }, 15000));
    // The main window, still open behind, no longer reads "Connected" (its state event may come a pass
    // after the alert); the shell measures the lost stream again 3.5 s later.
    EXPECT_TRUE(waitFor([&] { return status->text() == context->text(texts::kNoConnectionTradingServer); }));
    EXPECT_TRUE(waitFor(
        [&] {
            return std::any_of(speeds.begin(), speeds.end(), [](const QList<QVariant>& s) {
                return s.front().value<interfaces::NetworkSpeed>().speedClass == 3;
            });
        },
        15000));
    EXPECT_EQ(status->text(), context->text(texts::kNoConnectionTradingServer));
    EXPECT_EQ(alertsOn(login).front()->text(), context->text(texts::kConnectionLost));
    EXPECT_EQ(alertsOn(login).front()->informativeText(), context->text(texts::kConnectionTradingServerLost));
    EXPECT_TRUE(std::any_of(sounds.begin(), sounds.end(), [](const QList<QVariant>& s) {
        return s.front().toString() == "connectionLost";
    }));
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_TRUE(field("usernameTextField")->isEnabled());
    // A new login from the form replaces the lost session.
    alertsOn(login).front()->buttons().front()->click();
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    EXPECT_TRUE(signedIn());
    EXPECT_EQ(server->stats().logins, 2);
}

// What a sign-in shows on the console: the status strip, the four chart slots, the pie and the
// board's selected instrument.
struct ConsoleLook {
    QStringList summary;
    std::vector<std::string> slots; // "code#interval#type", "" while a slot has no bars
    std::vector<std::pair<std::string, double>> pie;
    QString selected;
    bool operator==(const ConsoleLook&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ConsoleLook& look) {
    out << look.summary.join(QLatin1Char(' ')).toStdString() << " |";
    for (const auto& slot : look.slots)
        out << ' ' << slot;
    out << " |";
    for (const auto& [title, value] : look.pie)
        out << ' ' << title << '=' << value;
    return out << " | " << look.selected.toStdString();
}

ConsoleLook lookOf(tc::gui::MainWindowController& main) {
    ConsoleLook look;
    for (const char* name :
         {"AccountIdValueTextField", "equityValueTextField", "BalanceValueTextField",
          "ProfitLossValueTextField", "UsedMarginValueTextField", "AvailableMarginValueTextField"})
        look.summary << main.findChild<QLabel*>(QLatin1String(name))->text();
    for (std::size_t i = 0; i < 4; ++i) {
        const tc::gui::ChartController* chart = main.chartSlot(i)->chartController();
        look.slots.push_back(
            chart && !chart->chart().bars().empty()
                ? chart->chart().code() + "#" + std::to_string(chart->chart().interval().code) + "#" +
                      std::to_string(int(chart->chart().type().value_or(tc::charts::ChartType{})))
                : std::string());
    }
    for (const auto& slice : main.accountPie()->pieChartController().slices())
        look.pie.emplace_back(slice.title, slice.value);
    const QModelIndex current = main.watchlistBoard()->currentIndex();
    look.selected = current.isValid() ? current.data(tc::gui::GridModel::IdRole).toString() : QString();
    return look;
}

bool settled(const ConsoleLook& look) {
    // The demo's positions at held prices are in profit: a strip still blank (or at 0.00) has not had
    // the core's first profit-and-loss pass yet, whatever the equity the snapshot brought.
    return look.summary.front() != QStringLiteral(": 0") && look.summary.at(3) != QStringLiteral(": 0.00") &&
           look.summary.at(3).contains(QRegularExpression(QStringLiteral("[0-9]"))) && !look.pie.empty() &&
           !look.selected.isEmpty() &&
           std::none_of(look.slots.begin(), look.slots.end(), [](const std::string& s) { return s.empty(); });
}

// The news tab's titles, in order.
QStringList titlesOf(const tc::gui::NewsTableController& news) {
    QStringList titles;
    for (int row = 0; row < news.model()->rowCount(); ++row)
        titles << news.model()->index(row, 0).data().toString();
    return titles;
}

class HeldPricesLoginTest : public LoginWindowTest {
protected:
    void SetUp() override {
        holdPrices = true;
        serveNews = true;
        LoginWindowTest::SetUp();
    }
};

TEST_F(HeldPricesLoginTest, ASignInAfterALostServerShowsWhatTheFirstSignInShowed) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    ASSERT_TRUE(waitFor([&] { return settled(lookOf(main)); }, 20000)) << lookOf(main);
    const ConsoleLook first = lookOf(main);
    // The funding history lists the accounts of the session.
    main.DepositsWithdrawalsButtonClicked();
    QComboBox* historyAccounts = main.fundingHistoryWindow()->accountComboBox();
    const auto items = [historyAccounts] {
        QStringList texts;
        for (int i = 0; i < historyAccounts->count(); ++i)
            texts << historyAccounts->itemText(i);
        return texts;
    };
    const QStringList accounts = items();
    ASSERT_FALSE(accounts.isEmpty());
    main.fundingHistoryWindow()->close();
    // The news tab reads its first category from the feed the login list names.
    tc::gui::NewsTableController& news = *main.newsView();
    main.findChild<QAction*>("actionNews")->trigger();
    ASSERT_TRUE(waitFor([&] { return news.model()->rowCount() > 0; }, 20000));
    const QStringList headlines = titlesOf(news);
    EXPECT_EQ(server->newsDesk()->answered("BreakingNews"), 1u);

    loseTheServerAndOkTheAlert();
    restartServer();
    const int chartRequests = server->stats().chartRequests;
    QSignalSpy newsShown(&news, &tc::gui::NewsTableController::newsShown);
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(signedIn());
    // The new client's figures, charts and pie, as the first sign-in showed them; the four slots ask
    // the new session for their bars.
    EXPECT_TRUE(waitFor([&] { return lookOf(main) == first; }, 20000)) << lookOf(main) << "\n" << first;
    EXPECT_TRUE(waitFor([&] { return server->stats().chartRequests >= chartRequests + 4; }));
    EXPECT_EQ(main.account(), std::optional<std::int32_t>(first.summary.front().mid(2).toInt()));
    EXPECT_EQ(delegate->session().client().currentAccount(), *main.account());
    EXPECT_EQ(items(), accounts);
    // The news are read again, from the restarted server's desk, through the new client.
    EXPECT_TRUE(waitFor([&] { return !newsShown.isEmpty(); }, 20000));
    EXPECT_EQ(server->newsDesk()->answered("BreakingNews"), 1u);
    EXPECT_EQ(news.shownCategory(), QStringLiteral("BreakingNews"));
    EXPECT_FALSE(news.errorLabel()->isVisible());
    EXPECT_EQ(titlesOf(news), headlines);
}

TEST_F(LoginWindowTest, AServerThatCannotBeReachedIsToldSoNotAsALostConnection) {
    server->stop();
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(waitFor([&] { return !alertsOn(login).isEmpty(); }, 15000));
    const std::string port = std::to_string(ports.stream);
    EXPECT_EQ(
        alertsOn(login).front()->informativeText().toStdString(),
        tc::fillPositional(context->text(texts::kServerCouldNotReached).toStdString(), {"127.0.0.1", port}));
    EXPECT_NE(alertsOn(login).front()->text(), context->text(texts::kConnectionLost));
    EXPECT_TRUE(std::none_of(sounds.begin(), sounds.end(), [](const QList<QVariant>& s) {
        return s.front().toString() == "connectionLost";
    }));
    EXPECT_FALSE(login->isLoggingIn());
    EXPECT_TRUE(field("usernameTextField")->isEnabled());
    // Once the server is back, the same form signs in.
    alertsOn(login).front()->buttons().front()->click();
    restartServer();
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    EXPECT_TRUE(signedIn());
}

// The colour a grid cell's text is drawn in, through the view's proxy.
QColor textColour(const QAbstractItemModel& model, int row, int column) {
    return model.index(row, column).data(Qt::ForegroundRole).value<QColor>();
}

TEST_F(LoginWindowTest, AfterALossPricesReadAsStaleAndNoOrderCanBeStarted) {
    using tc::gui::Grid;
    using tc::gui::GridModel;
    using tc::gui::Tone;
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    tc::gui::WatchlistTableController& board = *main.watchlistBoard();
    GridModel& quotes = board.gridModel();
    tc::gui::GridPane& positions = *main.gridPane(Grid::OpenPositions);
    ASSERT_TRUE(waitFor([&] { return quotes.rowCount() > 0 && positions.gridModel().rowCount() > 0; }));
    int bid = -1;
    for (int c = 0; c < quotes.columnCount() && bid < 0; ++c)
        if (quotes.isTickColumn(c))
            bid = c;
    ASSERT_GE(bid, 0);
    const std::string position = positions.gridModel().rowId(0);
    const auto tone = [&](const GridModel& grid, int column) {
        return Tone(grid.index(0, column).data(GridModel::ToneRole).toInt());
    };
    const QColor stale = [&] {
        const tc::gui::Rgba c =
            tc::gui::colourOf(context->themes().getThemeForKey(), tc::gui::ThemeRole::StaleText);
        return QColor(c.r, c.g, c.b, c.a);
    }();
    // The position commands act on the selected position.
    positions.table().selectRow(0);
    const std::vector<QAction*> orderActions = {main.findChild<QAction*>("actionTradeTicket"),
                                                main.findChild<QAction*>("actionCloseAll"),
                                                main.findChild<QAction*>("actionClosePosition")};
    auto* equity = main.findChild<QLabel*>("equityValueTextField");
    auto* totalProfit = positions.findChild<QLabel*>("ProfitLossValueTextField");
    auto* closeAll = positions.findChild<QPushButton*>("closeAllButton");

    // Signed in: live prices, the ticket's buttons and every order action.
    main.TradeTicketButtonClicked();
    QPointer<tc::gui::TradeTicketWindowController> ticket =
        context->guiObjects().tradeTicketWindowController();
    ASSERT_TRUE(ticket && ticket->isVisible());
    auto* buy = ticket->findChild<tc::gui::PriceButton*>("buyButton");
    auto* sell = ticket->findChild<tc::gui::PriceButton*>("sellButton");
    auto* place = ticket->findChild<QPushButton*>("PlaceOrderButton");
    // The advanced mode, whose place button sends the order.
    QTest::mouseClick(ticket->findChild<QRadioButton*>("advancedRadioButton"), Qt::LeftButton);
    ASSERT_TRUE(ticket->isAdvancedMode());
    EXPECT_TRUE(buy->isEnabled() && sell->isEnabled() && place->isEnabled());
    EXPECT_FALSE(buy->isStale());
    EXPECT_NE(tone(quotes, bid), Tone::Stale);
    EXPECT_NE(textColour(board.proxy(), 0, bid), stale);
    EXPECT_TRUE(positions.offers(tc::gui::RowAction::ClosePosition, position));
    for (QAction* action : orderActions)
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_TRUE(equity->isEnabled() && totalProfit->isEnabled() && closeAll->isEnabled());

    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !alertsOn(login).isEmpty(); }, 15000));
    ASSERT_TRUE(waitFor([&] { return !buy->isEnabled(); }));
    // The last prices stay, greyed, with no tick colour; nothing starts an order.
    EXPECT_FALSE(sell->isEnabled() || place->isEnabled());
    EXPECT_TRUE(buy->isStale() && sell->isStale());
    EXPECT_FALSE(buy->price().isEmpty()) << "the last price stays, marked stale";
    EXPECT_EQ(tone(quotes, bid), Tone::Stale);
    EXPECT_EQ(textColour(board.proxy(), 0, bid), stale);
    EXPECT_FALSE(board.proxy().index(0, bid).data(Qt::BackgroundRole).isValid());
    const int closing = [&] {
        for (int c = 0; c < positions.gridModel().columnCount(); ++c)
            if (positions.gridModel().isTickColumn(c))
                return c;
        return -1;
    }();
    ASSERT_GE(closing, 0);
    EXPECT_EQ(tone(positions.gridModel(), closing), Tone::Stale);
    EXPECT_FALSE(positions.offers(tc::gui::RowAction::ClosePosition, position));
    for (QAction* action : orderActions)
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_FALSE(equity->isEnabled() || totalProfit->isEnabled() || closeAll->isEnabled());
    for (int i = 0; i < main.advancedWatchlist()->tileCount(); ++i)
        EXPECT_FALSE(main.advancedWatchlist()->tile(i)->buyButton->isEnabled());
    // Neither the board's ticket nor a position's sheet opens.
    alertsOn(login).front()->buttons().front()->click();
    ticket->close();
    context->guiObjects().showTradeTicket(&main, quotes.rowId(0));
    EXPECT_FALSE(ticket->isVisible());
    positions.runAction(tc::gui::RowAction::ClosePosition, position);
    EXPECT_TRUE(main.findChildren<QWidget*>(QStringLiteral("closeCancelSheet")).isEmpty());

    // A new sign-in is live again.
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(signedIn());
    ASSERT_TRUE(waitFor([&] { return quotes.rowCount() > 0 && tone(quotes, bid) != Tone::Stale; }));
    ASSERT_TRUE(waitFor([&] { return positions.gridModel().rowCount() > 0; }));
    positions.table().selectRow(0);
    for (QAction* action : orderActions)
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_TRUE(equity->isEnabled() && totalProfit->isEnabled() && closeAll->isEnabled());
}

// The window opens on the user name: a trader who starts typing types the name, not a language.
TEST_F(LoginWindowTest, TheWindowOpensWithTheUserNameFocusedSoTypingGoesThere) {
    login->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(login));
    const std::int64_t language = context->language().selected();
    ASSERT_EQ(QApplication::focusWidget(), field("usernameTextField"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("demo"));
    EXPECT_EQ(field("usernameTextField")->text(), "demo");
    EXPECT_EQ(context->language().selected(), language);
}

TEST_F(LoginWindowTest, TheLoginWindowOffersTheAboutWindowBeforeAnyLogin) {
    auto* about = child<QAction>(login, "actionAbout");
    ASSERT_TRUE(about);
    EXPECT_EQ(about->text(), context->text(texts::kAboutTradeClient));
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
    // Escape neither closes the program's first window nor ends the program.
    ASSERT_TRUE(guitest::clickInto(field("usernameTextField")));
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_TRUE(login->isVisible());
    EXPECT_EQ(terminations, 0);
    login->close();
    EXPECT_EQ(terminations, 1);
}

TEST_F(LoginWindowTest, TheLockHidesTheMainWindowUntilTheLoginPasswordIsTyped) {
    delegate->lockAppMenuItemClicked(); // nothing to lock before a login
    EXPECT_FALSE(delegate->unlockWindow().isLocked());
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    // The notices found at sign-in come in a banner of their own: it comes before the lock, so that
    // the banners counted at the unlock are only this test's.
    ASSERT_TRUE(waitFor([&] {
        for (auto* banner : context->banners().banners())
            if (banner->notification().subtitle == "Notices")
                return true;
        return false;
    }));
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
    settings->activateWindow(); // the trader at work in it
    ASSERT_TRUE(guitest::waitForActive(settings));
    delegate->mainWindow()->lockConsole();
    EXPECT_FALSE(settings->isVisible());
    tc::gui::UnlockWindowController& unlock = delegate->unlockWindow();
    ASSERT_TRUE(unlock.isLocked());
    EXPECT_FALSE(main->isVisible());
    // Nothing shows over the lock: the open banners go at once (to show again at the unlock), a new
    // one waits for the unlock.
    EXPECT_TRUE(!before || !before->isVisible());
    note.subtitle = "While locked";
    EXPECT_EQ(context->banners().deliverNotification(note), nullptr);
    EXPECT_TRUE(context->banners().banners().isEmpty());
    EXPECT_EQ(unlock.windowTitle(), context->text(texts::kUnlock) + QStringLiteral(" demo"));

    QLineEdit* password = unlock.findChild<QLineEdit*>(QStringLiteral("lockPasswordTextField"));
    // The lock opens with the focus on its field.
    ASSERT_TRUE(guitest::focusIn(&unlock));
    EXPECT_EQ(QApplication::focusWidget(), password);
    guitest::typeKeys(QStringLiteral("demo12345"));
    guitest::pressKey(Qt::Key_Return);
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
    EXPECT_TRUE(visibleTexts().contains(context->text(texts::kPasswordNotCorrect)));
    EXPECT_EQ(password->accessibleDescription(), context->text(texts::kPasswordNotCorrect));
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_TRUE(unlock.isLocked());

    // A paste longer than any password field takes is kept whole and refused as too long, not wrong.
    paste(password, QString(3000, QLatin1Char('x')));
    EXPECT_EQ(password->text().size(), 3000);
    guitest::pressKey(Qt::Key_Return);
    EXPECT_EQ(password->accessibleDescription(),
              refusal(texts::kLongerThanCharacters, texts::kUnlockPassword, 256));
    EXPECT_TRUE(visibleTexts().contains(password->accessibleDescription()));

    guitest::typeOver(password, QStringLiteral("demo1234"));
    EXPECT_FALSE(visibleTexts().contains(context->text(texts::kPasswordNotCorrect)));
    // The windows brought back stand as they stood: the main window's own over it, never hidden
    // under it, the one in use at the lock in use again, and the banners over them all.
    struct Raised : QObject {
        std::vector<QObject*> order;
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::ZOrderChange && watched->isWidgetType() &&
                static_cast<QWidget*>(watched)->isWindow())
                order.push_back(watched);
            return false;
        }
        std::ptrdiff_t last(const QObject* window) const {
            const auto at = std::find(order.rbegin(), order.rend(), window);
            return at == order.rend() ? -1 : std::distance(at, order.rend()) - 1;
        }
    } raised;
    qApp->installEventFilter(&raised);
    guitest::pressKey(Qt::Key_Return);
    qApp->removeEventFilter(&raised);
    EXPECT_FALSE(unlock.isLocked());
    EXPECT_TRUE(main->isVisible());
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_TRUE(settings->isVisible());
    EXPECT_GE(raised.last(main), 0);
    EXPECT_GT(raised.last(settings), raised.last(main));
    ASSERT_FALSE(context->banners().banners().isEmpty());
    for (const auto* banner : context->banners().banners())
        EXPECT_GT(raised.last(banner), raised.last(settings)) << banner->notification().subtitle;
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == settings; }));
    std::vector<std::string> banners;
    for (const auto* banner : context->banners().banners())
        banners.push_back(banner->notification().subtitle);
    EXPECT_EQ(banners, (std::vector<std::string>{"Notices", "Before the lock", "While locked"}));
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

// A phone that is no phone number, and a name past its limit, are refused with the reason.
TEST_F(LoginWindowTest, TheRegistrationRefusesAPhoneThatIsNoPhoneNumberAndANameTooLong) {
    QTest::mouseClick(child<QPushButton>(login, "demoUserCreationButton"), Qt::LeftButton);
    tc::gui::LoginRegistrationWindowController* sheet = login->registrationSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    guitest::typeOver(child<QLineEdit>(sheet, "NameTextField"), QStringLiteral("Ann Example"));
    guitest::typeOver(child<QLineEdit>(sheet, "EmailTextField"), QStringLiteral("ann@example.org"));
    guitest::typeOver(child<QLineEdit>(sheet, "PhoneTextField"), QStringLiteral("abc"));
    child<QComboBox>(sheet, "CountryComboBox")->setCurrentIndex(3);
    auto* submit = child<QPushButton>(sheet, "submitButton");
    EXPECT_TRUE(refusedWith(sheet, submit, refusal(texts::kNotPhoneNumber, texts::kPhone)));
    child<QLineEdit>(sheet, "PhoneTextField")->setText(QStringLiteral("+977 1 4000000"));
    paste(child<QLineEdit>(sheet, "NameTextField"), QString(300, QLatin1Char('n')));
    EXPECT_EQ(child<QLineEdit>(sheet, "NameTextField")->text().size(), 300) << "kept whole";
    EXPECT_TRUE(
        refusedWith(sheet, submit, refusal(texts::kLongerThanCharacters, texts::kRegistrationName, 256)));
    EXPECT_EQ(server->stats().demoRegistrations, 0);
    sheet->reject();
}

TEST_F(LoginWindowTest, ADemoRegistrationThatCannotReachItsServerSaysSoAndStopsWaiting) {
    server->stop();
    login->selectConnectionMode(1);
    QTest::mouseClick(child<QToolButton>(login, "drawerButton"), Qt::LeftButton);
    type("portTextField", QString::number(ports.stream));
    QTest::mouseClick(child<QPushButton>(login, "demoUserCreationButton"), Qt::LeftButton);
    tc::gui::LoginRegistrationWindowController* sheet = login->registrationSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    guitest::typeOver(child<QLineEdit>(sheet, "NameTextField"), QStringLiteral("Ann Example"));
    guitest::typeOver(child<QLineEdit>(sheet, "EmailTextField"), QStringLiteral("ann@example.org"));
    guitest::typeOver(child<QLineEdit>(sheet, "PhoneTextField"), QStringLiteral("+977 1 4000000"));
    child<QComboBox>(sheet, "CountryComboBox")->setCurrentIndex(3);
    QTest::mouseClick(child<QPushButton>(sheet, "submitButton"), Qt::LeftButton);
    ASSERT_FALSE(child<QPushButton>(sheet, "submitButton")->isEnabled()) << "waiting for the server";
    ASSERT_TRUE(waitFor([&] { return !alertsOn(login).isEmpty(); }, 15000));
    EXPECT_EQ(alertsOn(login).front()->informativeText().toStdString(),
              tc::fillPositional(context->text(texts::kServerCouldNotReached).toStdString(),
                                 {"127.0.0.1", std::to_string(ports.stream)}));
    EXPECT_TRUE(child<QPushButton>(sheet, "submitButton")->isEnabled()) << "the sheet no longer waits";
    EXPECT_TRUE(sheet->isVisible());
}

TEST_F(LoginWindowTest, ADemoRegistrationFillsTheFormAndThatUserSignsIn) {
    login->selectConnectionMode(0);
    QTest::mouseClick(child<QToolButton>(login, "drawerButton"), Qt::LeftButton);
    type("portTextField", QString::number(ports.stream));
    QTest::mouseClick(child<QPushButton>(login, "demoUserCreationButton"), Qt::LeftButton);
    EXPECT_EQ(login->connectionTypeKey(), "Demo"); // the sheet opens in simulation mode
    tc::gui::LoginRegistrationWindowController* sheet = login->registrationSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    // The checks come first, in order; nothing is sent.
    QTest::mouseClick(child<QPushButton>(sheet, "submitButton"), Qt::LeftButton);
    ASSERT_EQ(alertsOn(sheet).size(), 1);
    EXPECT_EQ(alertsOn(sheet).front()->informativeText(), context->text(texts::kEnterName));
    alertsOn(sheet).front()->buttons().front()->click();

    // Switching to the simulation mode filled in its default port; the test server listens elsewhere.
    type("portTextField", QString::number(ports.stream));
    guitest::typeOver(child<QLineEdit>(sheet, "NameTextField"), QStringLiteral("Ann Example"));
    guitest::typeOver(child<QLineEdit>(sheet, "EmailTextField"), QStringLiteral("ann@example.org"));
    guitest::typeOver(child<QLineEdit>(sheet, "PhoneTextField"), QStringLiteral("+977 1 4000000"));
    child<QComboBox>(sheet, "CountryComboBox")->setCurrentIndex(3);
    EXPECT_EQ(child<QComboBox>(sheet, "DepositComboBox")->currentText(), QStringLiteral("10000"));
    QTest::mouseClick(child<QPushButton>(sheet, "submitButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !alertsOn(sheet).isEmpty(); }, 15000));
    EXPECT_EQ(alertsOn(sheet).front()->text(), context->text(texts::kDemoAccountReady));
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("demo2001"));
    EXPECT_FALSE(field("passwordTextField")->text().isEmpty());
    EXPECT_TRUE(alertsOn(sheet).front()->informativeText().contains(field("passwordTextField")->text()));
    alertsOn(sheet).front()->buttons().front()->click();
    EXPECT_TRUE(waitFor([&] { return !sheet->isVisible(); }));

    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
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

// What a signed-in user's data reads as, here demo's alone: the trader signed in after demo may see
// demo's account 20001 (the trader has access to it), never these.
const QStringList kDemoOnly = {"20002", "20003", "Demo EUR", "Demo Pro USD", "Holiday hours"};

// The texts of every widget the program holds, shown or hidden, that carry demo's data alone: item
// views' cells, fields, labels, choice boxes and window titles.
QStringList demoOnlyTexts() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList texts;
    for (QWidget* widget : QApplication::allWidgets()) {
        texts << widget->windowTitle();
        if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model())
            for (int row = 0; row < view->model()->rowCount(); ++row)
                for (int column = 0; column < view->model()->columnCount(); ++column)
                    texts << view->model()->index(row, column).data().toString();
        if (auto* field = qobject_cast<QLineEdit*>(widget))
            texts << field->text();
        if (auto* label = qobject_cast<QLabel*>(widget))
            texts << label->text();
        if (auto* box = qobject_cast<QComboBox*>(widget))
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
    }
    return texts.filter(QRegularExpression("\\b(" + kDemoOnly.join('|') + ")\\b"));
}

// The funding history of demo's 20003 in March 2024: 18 rows.
void searchHistoryOf20003(tc::gui::MainWindowController& main) {
    main.DepositsWithdrawalsButtonClicked();
    tc::gui::DepositsWithdrawalsWindowController* history = main.fundingHistoryWindow();
    history->accountComboBox()->setEditText("20003");
    history->setPeriod(QDateTime(QDate(2024, 3, 1), QTime(0, 0)),
                       QDateTime(QDate(2024, 3, 31), QTime(23, 59)));
    ASSERT_TRUE(history->searchButtonClicked());
    ASSERT_TRUE(waitFor([&] { return history->depositWithdrawalTableView()->model()->rowCount() == 18; }));
}

// demo leaves windows and lists open and kept (the funding history of 20003, the notices, a
// withdrawal on 20003, a deposit, the statement, the chat, a banner); the server goes and the trader
// signs in on the same console: none of demo's data is held anywhere, and the kept windows open
// afresh for the trader.
TEST_F(LoginWindowTest, AnotherUserSigningInFindsNothingOfTheLastUser) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    searchHistoryOf20003(main);
    main.fundingHistoryWindow()->close();
    main.MessagesButtonClicked();
    main.newWithdrawalRequest();
    main.withdrawalWindow()->chooseAccount(1);
    main.newDepositRequest();
    main.AccountStatementButtonClicked();
    main.ChatButtonClicked();
    ASSERT_TRUE(waitFor([&] { return !demoOnlyTexts().filter("Holiday hours").isEmpty(); }));

    loseTheServerAndOkTheAlert();
    restartServer();
    context->banners().deliverNotification({});
    signInByTyping(QStringLiteral("trader"), QStringLiteral("trader1234"));
    ASSERT_TRUE(signedIn());
    EXPECT_TRUE(context->banners().banners().isEmpty());
    tc::gui::GridModel& accounts = main.gridPane(tc::gui::Grid::Accounts)->gridModel();
    ASSERT_TRUE(waitFor([&] { return accounts.rowCount() > 0; }));
    EXPECT_EQ(demoOnlyTexts().join(" | ").toStdString(), "");
    for (QWidget* window : main.findChildren<QWidget*>())
        EXPECT_FALSE(window->isWindow() && window->isVisible()) << window->metaObject()->className();
    main.DepositsWithdrawalsButtonClicked();
    EXPECT_EQ(main.fundingHistoryWindow()->depositWithdrawalTableView()->model()->rowCount(), 0);
    EXPECT_EQ(main.fundingHistoryWindow()->accountComboBox()->currentText(), "20011");
}

// A console demo locked opens only to demo's password: a login of the trader under way over the lock
// does not open it with the trader's password, and once the trader's login completes demo's session
// is ended (its windows closed, its rows gone) and the trader is told so.
TEST_F(LoginWindowTest, TheLockOpensOnlyToTheLockersPasswordAndAnotherUserEndsTheLockedSession) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    searchHistoryOf20003(main);
    main.lockConsole();
    tc::gui::UnlockWindowController& unlock = delegate->unlockWindow();
    loseTheServerAndOkTheAlert();
    restartServer();
    // The trader's login is held under way while the lock is tried with the trader's password: the
    // server reads nothing of it (the login completes on the stream's answer, not the data service's).
    server->pauseStream(true);
    signInByTyping(QStringLiteral("trader"), QStringLiteral("trader1234"));
    ASSERT_TRUE(login->isLoggingIn());
    unlockWith(unlock, QStringLiteral("trader1234"));
    EXPECT_TRUE(unlock.isLocked());
    EXPECT_EQ(unlock.windowTitle(), context->text(texts::kUnlock) + QStringLiteral(" demo"));

    server->pauseStream(false);
    ASSERT_TRUE(signedIn());
    EXPECT_FALSE(unlock.isLocked());
    EXPECT_TRUE(main.windowTitle().contains("trader"));
    EXPECT_EQ(demoOnlyTexts().join(" | ").toStdString(), "");
    ASSERT_EQ(alertsOn(&main).size(), 1);
    EXPECT_EQ(alertsOn(&main).front()->informativeText(),
              context->text(texts::kLockedSessionEnded).replace("{0}", "demo").replace("{1}", "trader"));
}

// The lock opens only to the password the server accepted for the locker's session: a sign-in of
// demo's that the server refused after a restart, or one that never reached it, neither opens it to
// its password nor shuts demo's own out.
TEST_F(LoginWindowTest, ARefusedOrUnreachedSignInNeitherOpensTheLockNorShutsOutTheLocker) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    main.AccountStatementButtonClicked();
    QWidget* statement = main.findChild<tc::gui::AccountStatementWindowController*>();
    ASSERT_TRUE(statement && statement->isVisible());
    main.lockConsole();
    tc::gui::UnlockWindowController& unlock = delegate->unlockWindow();
    ASSERT_TRUE(unlock.isLocked());
    const auto refusedSaying = [&](const QString& said) {
        EXPECT_TRUE(waitFor([&] { return !alertsOn(login).isEmpty(); }, 15000));
        if (alertsOn(login).isEmpty())
            return false;
        EXPECT_EQ(alertsOn(login).front()->informativeText(), said);
        alertsOn(login).front()->buttons().front()->click();
        return waitFor([&] { return alertsOn(login).isEmpty() && !login->isLoggingIn(); });
    };
    const auto stillLocked = [&] {
        return unlock.isLocked() && !main.isVisible() && !statement->isVisible() &&
               unlock.findChild<QLineEdit*>(QStringLiteral("lockPasswordTextField"))
                       ->accessibleDescription() == context->text(texts::kPasswordNotCorrect);
    };

    loseTheServerAndOkTheAlert();
    restartServer();
    signInByTyping(QStringLiteral("demo"), QStringLiteral("intruder1"));
    ASSERT_TRUE(refusedSaying(context->text(texts::kLoginFailed)));
    unlockWith(unlock, QStringLiteral("intruder1"));
    EXPECT_TRUE(stillLocked()) << "a password the server refused";

    server->stop();
    signInByTyping(QStringLiteral("demo"), QStringLiteral("intruder1"));
    ASSERT_TRUE(refusedSaying(
        QString::fromStdString(tc::fillPositional(context->text(texts::kServerCouldNotReached).toStdString(),
                                                  {"127.0.0.1", std::to_string(ports.stream)}))));
    unlockWith(unlock, QStringLiteral("intruder1"));
    EXPECT_TRUE(stillLocked()) << "a password no server saw";

    unlockWith(unlock, QStringLiteral("demo1234"));
    EXPECT_FALSE(unlock.isLocked()) << "demo's own password, which the server accepted, still opens it";
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(statement->isVisible());
}

// The forms demo had open when the server went (a deposit, a withdrawal, the order ticket) are there
// as typed when demo signs in again, over demo's own lock, which stays and opens to demo's password.
TEST_F(LoginWindowTest, TheSameUserSigningInAgainFindsTheirOpenFormsAsTyped) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    QPointer<tc::gui::DepositRequestWindowController> deposit = main.newDepositRequest();
    guitest::typeOver(deposit->amountTextField(), QStringLiteral("250"));
    guitest::typeOver(deposit->remarksTextField(), QStringLiteral("First Bank"));
    main.newWithdrawalRequest();
    QPointer<tc::gui::WithdrawalRequestWindowController> withdrawal = main.withdrawalWindow();
    guitest::typeOver(withdrawal->amountTextField(), QStringLiteral("50"));
    main.TradeTicketButtonClicked();
    QPointer<tc::gui::TradeTicketWindowController> ticket =
        context->guiObjects().tradeTicketWindowController();
    auto* quantity = ticket->findChild<QComboBox*>(QStringLiteral("QuantityComboBox"));
    quantity->lineEdit()->clear();
    guitest::typeOver(quantity->lineEdit(), QStringLiteral("0.1"));
    auto* buy = ticket->findChild<QPushButton*>(QStringLiteral("buyButton"));
    main.lockConsole();
    tc::gui::UnlockWindowController& unlock = delegate->unlockWindow();

    loseTheServerAndOkTheAlert();
    restartServer();
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !login->isVisible(); }));
    ASSERT_TRUE(unlock.isLocked());
    unlockWith(unlock, QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(deposit && withdrawal && ticket);
    EXPECT_TRUE(deposit->isVisible() && withdrawal->isVisible() && ticket->isVisible());
    EXPECT_EQ(deposit->amountTextField()->text(), "250");
    EXPECT_EQ(deposit->remarksTextField()->text(), "First Bank");
    EXPECT_TRUE(deposit->sendRequestButton()->isEnabled());
    EXPECT_EQ(withdrawal->amountTextField()->text(), "50");
    EXPECT_TRUE(withdrawal->sendRequestButton()->isEnabled());
    EXPECT_EQ(ticket->currentTicket().quantity.toString(), "0.1");
    EXPECT_TRUE(waitFor([&] { return buy->isEnabled(); }));
}

// The account the trader chose is still the one shown when the same user signs in again after a
// lost line, in the status bar and in the session.
TEST_F(LoginWindowTest, TheSameUserSigningInAgainKeepsTheAccountChosen) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    const auto accounts = context->clientModel()->client().queries().getAccountCollection();
    ASSERT_GE(accounts.size(), 2u);
    const std::int32_t second = accounts[1]->AccountId;
    main.setAccount(second);
    ASSERT_EQ(main.account(), second);

    loseTheServerAndOkTheAlert();
    restartServer();
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(signedIn());
    ASSERT_TRUE(
        waitFor([&] { return !context->clientModel()->client().queries().getAccountCollection().empty(); }));
    EXPECT_EQ(main.account(), second);
    EXPECT_EQ(context->clientModel()->client().currentAccount(), second) << "the new session follows it";
    EXPECT_EQ(main.findChild<QLabel*>(QStringLiteral("AccountIdValueTextField"))->text(),
              QStringLiteral(": %1").arg(second));
}

// A close sheet with 0.5 typed and a statement of a period chosen stay as they were when demo signs in
// again: the sheet closes 0.5 on the new session, and the statement asks the same account and period
// again.
TEST_F(LoginWindowTest, TheSameUserSigningInAgainKeepsThePositionSheetAndTheStatementPeriod) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    tc::gui::MainWindowController& main = *delegate->mainWindow();
    tc::gui::GridModel& open = main.gridPane(tc::gui::Grid::OpenPositions)->gridModel();
    ASSERT_TRUE(waitFor([&] { return open.rowOf("300001") >= 0; }));
    main.activateWindow();
    ASSERT_TRUE(guitest::waitForActive(&main));
    main.gridPane(tc::gui::Grid::OpenPositions)->runAction(tc::gui::RowAction::ClosePosition, "300001");
    QPointer<tc::gui::CloseAndCancelPositionWindowController> sheet =
        main.findChild<tc::gui::CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    sheet->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(sheet));
    auto* quantity = sheet->findChild<QComboBox*>(QStringLiteral("QuantityComboField"));
    QTest::mouseClick(quantity->lineEdit(), Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), quantity); // the box takes the keys of its line edit
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("0.5"));

    main.AccountStatementButtonClicked();
    QPointer<tc::gui::AccountStatementWindowController> statement = main.statementWindow();
    ASSERT_TRUE(statement);
    auto* from = statement->findChild<tc::gui::DateTimeField*>(QStringLiteral("fromDatePicker"));
    auto* accountBox = statement->findChild<QComboBox*>(QStringLiteral("accountComboBox"));
    ASSERT_TRUE(from && accountBox && accountBox->count() >= 2);
    accountBox->setCurrentIndex(1);
    const QString account = accountBox->currentText();
    statement->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(statement));
    QTest::mouseClick(from, Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("01/01/2024 00:00:00"));
    QSignalSpy shown(statement.data(), &tc::gui::AccountStatementWindowController::statementShown);
    QTest::mouseClick(statement->findChild<QPushButton*>(QStringLiteral("showButton")), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return shown.count() >= 1 && statement->requestStatusText().isEmpty(); }));
    ASSERT_EQ(statement->selectedAccountId(), account.toInt());
    shown.clear();

    loseTheServerAndOkTheAlert();
    restartServer();
    ASSERT_TRUE(guitest::clickInto(field("passwordTextField")));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(signedIn());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(sheet && statement);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(quantity->currentText(), "0.5");
    EXPECT_FALSE(tc::gui::CommonAlert::showing(&main, QStringLiteral("dialogRecordGone")));
    // The statement is asked again, of the account and period chosen.
    EXPECT_TRUE(waitFor([&] { return shown.count() >= 1; }));
    EXPECT_EQ(from->text(), "01/01/2024 00:00:00");
    EXPECT_EQ(accountBox->currentText(), account);
    EXPECT_EQ(statement->selectedAccountId(), account.toInt());

    // The sheet sends on the new session: 300001 holds 1.5 lots, 0.5 of them close.
    const auto remaining = [&] {
        return server->book().with([](const testserver::Books& b) {
            for (const auto& p : b.positions)
                if (p.positionId == 300001)
                    return p.qty;
            return std::string();
        });
    };
    ASSERT_EQ(remaining(), "1.5");
    QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("CloseAndCancelButton")), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return remaining() == "1"; }));
    EXPECT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
}

} // namespace

namespace {

// A desktop where no keyring service answers, with the demo user remembered by an earlier start.
class NoKeyringLoginTest : public LoginWindowTest {
protected:
    void SetUp() override {
        secrets.available = false;
        tc::gui::RememberedUsers(*defaults, interfaces::productInfo().productKey, secrets)
            .store("Demo", {"demo", "demo1234", "127.0.0.1", "5199"});
        LoginWindowTest::SetUp();
    }
};

TEST_F(NoKeyringLoginTest, TheWindowSaysPasswordsCannotBeRememberedAndOpensOnThePassword) {
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("demo"));
    EXPECT_TRUE(field("passwordTextField")->text().isEmpty());
    EXPECT_TRUE(line->isVisibleTo(login));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordsCannotBeRemembered));

    // The user is there, the password is not: typing goes to the password.
    login->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(login));
    ASSERT_EQ(QApplication::focusWidget(), field("passwordTextField"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("demo1234"));
    EXPECT_EQ(field("passwordTextField")->text(), QStringLiteral("demo1234"));
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("demo"));

    // Said while the box asks for it, in the language chosen.
    auto* remember = child<QCheckBox>(login, "CheckBox");
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    EXPECT_FALSE(line->isVisibleTo(login));
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    EXPECT_TRUE(line->isVisibleTo(login));
    ASSERT_TRUE(context->language().select(1));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordsCannotBeRemembered));
    EXPECT_NE(line->text(), tc::gui::lookupText(0, texts::kPasswordsCannotBeRemembered));

    // Where a keyring answers, the box brings no such line.
    secrets.available = true;
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    EXPECT_TRUE(remember->isChecked());
    EXPECT_FALSE(line->isVisibleTo(login));
}

// A keyring that answers but does not keep the password: said by the line under the form, as a
// desktop without a keyring is, until a password is kept again.
TEST_F(LoginWindowTest, APasswordTheKeyringDidNotKeepIsSaidUnderTheForm) {
    secrets.keeps = false;
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    auto* remember = child<QCheckBox>(login, "CheckBox");
    if (!remember->isChecked())
        QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    ASSERT_TRUE(remember->isChecked());
    EXPECT_FALSE(line->isVisibleTo(login)) << "nothing is known before a password is given";
    signInByTyping(QStringLiteral("demo"), QStringLiteral("wrong"));
    ASSERT_TRUE(waitFor([&] { return !alertsOn(login).isEmpty(); }, 15000));
    EXPECT_TRUE(line->isVisibleTo(login));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordNotRemembered));
    EXPECT_TRUE(secrets.secrets.empty());
    alertsOn(login).front()->buttons().front()->click();

    // A sign-in that succeeds closes the window a moment later: the line is there again at the next
    // login window of this run, here after the line to the server is lost.
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return login->isVisible() && !alertsOn(login).isEmpty(); }, 15000));
    alertsOn(login).front()->buttons().front()->click();
    EXPECT_TRUE(remember->isChecked());
    EXPECT_TRUE(line->isVisibleTo(login));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordNotRemembered));

    secrets.keeps = true;
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    EXPECT_FALSE(line->isVisibleTo(login));
    EXPECT_EQ(secrets.secrets.size(), 1u);
}

// The keyring refuses the password only after the login window has closed: the signed-in trader
// reads it in a banner, and the next start's login window says it under the form.
TEST_F(LoginWindowTest, APasswordTheKeyringRefusesAfterTheSignInIsSaidThenAndAtTheNextStart) {
    auto* remember = child<QCheckBox>(login, "CheckBox");
    if (!remember->isChecked())
        QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    secrets.holdWrites = true;
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    const std::string notKept = context->text(texts::kPasswordNotRemembered).toStdString();
    const auto saying = [&] {
        int n = 0;
        for (const auto* banner : context->banners().banners())
            n += banner->notification().informativeText == notKept &&
                 banner->phase() != tc::gui::InAppNotificationBannerController::Phase::Hiding;
        return n;
    };
    EXPECT_EQ(saying(), 0);
    secrets.keeps = false;
    secrets.answerWrites();
    EXPECT_TRUE(waitFor([&] { return saying() == 1; }));
    EXPECT_TRUE(secrets.secrets.empty());
    // Its subtitle names what it is about, as other banners do: no blank line under the title.
    for (const auto* banner : context->banners().banners()) {
        if (banner->notification().informativeText == notKept) {
            EXPECT_EQ(banner->notification().subtitle,
                      context->text(texts::kKeyringBannerSubtitle).toStdString());
        }
    }

    // The program ends; the next one opens on the remembered user, the password to type, and why.
    delegate.reset();
    context->banners().forgetAll();
    startProgram();
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("demo"));
    EXPECT_TRUE(field("passwordTextField")->text().isEmpty());
    EXPECT_TRUE(line->isVisibleTo(login));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordNotRemembered));

    // Kept at this sign-in: nothing is said any more, at this start or the next.
    secrets.keeps = true;
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    EXPECT_EQ(saying(), 0);
    EXPECT_FALSE(line->isVisibleTo(login));
    EXPECT_FALSE(
        tc::gui::RememberedUsers(*defaults, interfaces::productInfo().productKey, secrets).passwordNotKept());
}

// The keyring does not answer the keep at all (its daemon restarted under an open unlock prompt):
// past the limit the signed-in trader reads that the password may not be remembered, and so does
// the next start's form; a late answer that it was kept takes the banner back.
TEST_F(LoginWindowTest, AKeepTheKeyringNeverAnswersIsToldAsNotKnownThenAndAtTheNextStart) {
    auto* remember = child<QCheckBox>(login, "CheckBox");
    if (!remember->isChecked())
        QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    secrets.holdWrites = true;
    secrets.limit = std::chrono::milliseconds(200);
    const std::string notKnown = context->text(texts::kPasswordKeepNotKnown).toStdString();
    const auto saying = [&] {
        int n = 0;
        for (const auto* banner : context->banners().banners())
            n += banner->notification().informativeText == notKnown &&
                 banner->phase() != tc::gui::InAppNotificationBannerController::Phase::Hiding;
        return n;
    };
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    EXPECT_TRUE(waitFor([&] { return saying() == 1; }));

    delegate.reset();
    context->banners().forgetAll();
    startProgram();
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("demo"));
    EXPECT_TRUE(line->isVisibleTo(login));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordKeepNotKnown));

    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    EXPECT_TRUE(waitFor([&] { return saying() == 1; }));
    secrets.answerWrites();
    EXPECT_TRUE(waitFor([&] { return saying() == 0; }));
    EXPECT_FALSE(tc::gui::RememberedUsers(*defaults, interfaces::productInfo().productKey, secrets)
                     .passwordKeepNotKnown("Demo"));
}

// A keyring that answers but gives the remembered password back empty-handed (no collection):
// the line under the form says why the password field is empty.
class UnreadableKeyringLoginTest : public LoginWindowTest {
protected:
    void SetUp() override {
        tc::gui::RememberedUsers(*defaults, interfaces::productInfo().productKey, secrets)
            .store("Demo", {"demo", "demo1234", "127.0.0.1", "5199"});
        secrets.readable = false;
        LoginWindowTest::SetUp();
    }
};

TEST_F(UnreadableKeyringLoginTest, TheLineUnderTheFormSaysThePasswordWasNotGivenBack) {
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("demo"));
    EXPECT_TRUE(field("passwordTextField")->text().isEmpty());
    EXPECT_TRUE(line->isVisibleTo(login));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordNotReadBack));
    ASSERT_TRUE(context->language().select(1));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordNotReadBack));
    EXPECT_NE(line->text(), tc::gui::lookupText(0, texts::kPasswordNotReadBack));

    // Once the keyring gives it back, the line goes with the password in its field.
    secrets.readable = true;
    login->selectConnectionMode(0);
    QTest::mouseClick(child<QPushButton>(login, "demoModeButton"), Qt::LeftButton);
    EXPECT_EQ(field("passwordTextField")->text(), QStringLiteral("demo1234"));
    EXPECT_FALSE(line->isVisibleTo(login));
}

// The program started over a settings file in a folder of the test's, as prepare() leaves it.
class SettingsFileLoginTest : public LoginWindowTest {
protected:
    void SetUp() override {
        settingsFile = prepare(folder.path());
        defaults = std::make_unique<tc::platform::UserDefaults>(settingsFile);
        LoginWindowTest::SetUp();
    }
    // The settings file's path; a good file holding the language by default.
    virtual std::filesystem::path prepare(const std::filesystem::path& at) {
        tc::platform::UserDefaults good(at / "tradeclient" / "defaults.plist");
        good.set(tc::gui::kLanguageKey, 0);
        EXPECT_TRUE(good.synchronize());
        return at / "tradeclient" / "defaults.plist";
    }
    QLabel* notice() { return child<QLabel>(login, "settingsNoticeLabel"); }
    QString withPath(const char* key, const std::filesystem::path& path) const {
        return context->text(key).replace(QStringLiteral("{0}"), QString::fromStdString(path.string()));
    }

    tc::testing_support::TempDir folder;
    std::filesystem::path settingsFile;
};

// The file cut in half by a crash of another program.
class BrokenSettingsLoginTest : public SettingsFileLoginTest {
protected:
    std::filesystem::path prepare(const std::filesystem::path&) override {
        return folder.write("tradeclient/defaults.plist", "<plist><dict><key>LanguageKey</key><integ");
    }
};

// ".config" a file: no settings folder can be made.
class NoSettingsFolderLoginTest : public SettingsFileLoginTest {
protected:
    std::filesystem::path prepare(const std::filesystem::path& at) override {
        folder.write("config", "a file where the folder should be");
        return at / "config" / "tradeclient" / "defaults.plist";
    }
};

TEST_F(BrokenSettingsLoginTest, TheWindowSaysTheSettingsWereNotReadAndWhereTheOldFileIsKept) {
    std::vector<std::filesystem::path> kept;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path() / "tradeclient"))
        if (entry.path().filename().string().rfind("defaults.plist.corrupt-", 0) == 0)
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_TRUE(notice()->isVisibleTo(login));
    EXPECT_EQ(notice()->text(), withPath(texts::kSettingsSetAside, kept.front()));
    EXPECT_TRUE(notice()->text().contains(QString::fromStdString(kept.front().string())));
    // Changes are kept in a new file, so nothing more is said; the line follows the language.
    ASSERT_TRUE(context->language().select(2));
    EXPECT_EQ(tc::platform::UserDefaults(settingsFile).integerForKey(tc::gui::kLanguageKey), 2);
    EXPECT_EQ(notice()->text(), withPath(texts::kSettingsSetAside, kept.front()));
    EXPECT_NE(notice()->text(),
              tc::gui::lookupText(0, texts::kSettingsSetAside)
                  .replace(QStringLiteral("{0}"), QString::fromStdString(kept.front().string())));
    EXPECT_FALSE(child<QLabel>(login, "keyringNoticeLabel")->isVisibleTo(login));
}

TEST_F(NoSettingsFolderLoginTest, TheWindowSaysOnceThatChangesWillNotBeKeptAndWhy) {
    const auto said = [&] {
        return context->text(texts::kSettingsNotKept) + QLatin1Char(' ') +
               withPath(texts::kSettingsNotAFolder, folder.path() / "config");
    };
    EXPECT_TRUE(notice()->isVisibleTo(login));
    EXPECT_EQ(notice()->text(), said());
    // A language chosen is not kept either: said once, in that language, not again at each change.
    ASSERT_TRUE(context->language().select(1));
    QApplication::processEvents();
    EXPECT_EQ(notice()->text(), said());
    EXPECT_EQ(alertsOn(login).size(), 0);
}

TEST_F(SettingsFileLoginTest, AFolderLostDuringTheSessionIsSaidAtTheFirstChangeNotKept) {
    EXPECT_FALSE(notice()->isVisibleTo(login));
    std::filesystem::remove_all(folder.path() / "tradeclient");
    folder.write("tradeclient", "a file where the folder was");
    // The settings window's theme switch: the first save that fails is told, found after load.
    context->themes().saveTheme(1);
    ASSERT_TRUE(waitFor([&] { return notice()->isVisibleTo(login); }));
    EXPECT_EQ(notice()->text(), context->text(texts::kSettingsNotKept) + QLatin1Char(' ') +
                                    withPath(texts::kSettingsNotAFolder, folder.path() / "tradeclient"));
}

// Changes that cannot be kept from before the sign-in (a disk already full): the login window says
// so, and once signed in a banner says it too, once until a save succeeds again, and then again at
// the next failure.
TEST_F(SettingsFileLoginTest, ChangesNotKeptBeforeTheSignInAreSaidInABannerOnceSignedIn) {
    std::filesystem::remove_all(folder.path() / "tradeclient");
    folder.write("tradeclient", "a file where the folder was");
    context->themes().saveTheme(1);
    ASSERT_TRUE(waitFor([&] { return notice()->isVisibleTo(login); }));
    const auto notices = [&] {
        int n = 0;
        for (const auto* banner : context->banners().banners())
            n += banner->notification().informativeText == context->settingsNotice().toStdString();
        return n;
    };
    EXPECT_EQ(notices(), 0) << "the login window says it while it shows";
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    ASSERT_TRUE(waitFor([&] { return notices() == 1; }));
    context->themes().saveTheme(0);
    QApplication::processEvents();
    EXPECT_EQ(notices(), 1) << "said once";
    // Saved again, then lost again: said again.
    std::filesystem::remove(folder.path() / "tradeclient");
    context->themes().saveTheme(1);
    ASSERT_FALSE(context->defaults().trouble());
    context->banners().forgetAll();
    ASSERT_TRUE(waitFor([&] { return context->banners().banners().isEmpty(); }));
    std::filesystem::remove_all(folder.path() / "tradeclient");
    folder.write("tradeclient", "a file where the folder was");
    context->themes().saveTheme(0);
    ASSERT_TRUE(waitFor([&] { return notices() == 1; }));
}

TEST_F(SettingsFileLoginTest, ChangesNotKeptWhileSignedInAreSaidInABanner) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    std::filesystem::remove_all(folder.path() / "tradeclient");
    folder.write("tradeclient", "a file where the folder was");
    const auto notices = [&] {
        int n = 0;
        for (const auto* banner : context->banners().banners())
            n += banner->notification().informativeText == context->settingsNotice().toStdString();
        return n;
    };
    context->themes().saveTheme(1);
    ASSERT_TRUE(waitFor([&] { return notices() == 1; }));
    EXPECT_EQ(context->settingsNotice(),
              context->text(texts::kSettingsNotKept) + QLatin1Char(' ') +
                  withPath(texts::kSettingsNotAFolder, folder.path() / "tradeclient"));
    // Said once: the next change that is not kept brings no second banner.
    context->themes().saveTheme(0);
    QApplication::processEvents();
    EXPECT_EQ(notices(), 1);
}

// Behind the console lock the banner waits for the unlock: said then if the changes still wait,
// and not at all if they were saved meanwhile.
TEST_F(SettingsFileLoginTest,
       ChangesWaitingForTheLockBehindTheConsoleLockAreSaidAtTheUnlockOnlyIfTheyStillWait) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    const std::filesystem::path lockFile = settingsFile.string() + ".lock";
    const std::string waiting = withPath(texts::kSettingsWaitingForLock, lockFile).toStdString();
    const auto saying = [&] {
        int n = 0;
        for (const auto* banner : context->banners().banners())
            n += banner->notification().informativeText == waiting &&
                 banner->phase() != tc::gui::InAppNotificationBannerController::Phase::Hiding;
        return n;
    };
    tc::gui::UnlockWindowController& unlock = delegate->unlockWindow();
    for (const bool stillWaiting : {false, true}) {
        SCOPED_TRACE(stillWaiting ? "still waiting at the unlock" : "saved before the unlock");
        delegate->mainWindow()->lockConsole();
        ASSERT_TRUE(unlock.isLocked());
        const int lock = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(lock, 0);
        ASSERT_EQ(::flock(lock, LOCK_EX), 0);
        context->themes().saveTheme(stillWaiting ? 0 : 1);
        // The login window's line shows that the program heard of it.
        ASSERT_TRUE(waitFor([&] { return notice()->isVisibleTo(login); }, 30000));
        if (!stillWaiting) {
            ::close(lock);
            ASSERT_TRUE(waitFor([&] { return !notice()->isVisibleTo(login); }, 30000));
        }
        unlockWith(unlock, QStringLiteral("demo1234"));
        ASSERT_FALSE(unlock.isLocked());
        QApplication::processEvents();
        EXPECT_EQ(saying(), stillWaiting ? 1 : 0);
        if (stillWaiting) {
            ::close(lock);
            ASSERT_TRUE(waitFor([&] { return saying() == 0; }, 30000));
        }
    }
}

// A banner on screen when the console locks shows again at the unlock only while the changes still
// wait, and goes once they are saved after it: never stale.
TEST_F(SettingsFileLoginTest, ABannerOnScreenAtTheConsoleLockGoesOnceTheChangesAreSaved) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    const std::filesystem::path lockFile = settingsFile.string() + ".lock";
    const std::string waiting = withPath(texts::kSettingsWaitingForLock, lockFile).toStdString();
    const auto saying = [&] {
        int n = 0;
        for (const auto* banner : context->banners().banners())
            n += banner->notification().informativeText == waiting &&
                 banner->phase() != tc::gui::InAppNotificationBannerController::Phase::Hiding;
        return n;
    };
    tc::gui::UnlockWindowController& unlock = delegate->unlockWindow();
    for (const bool savedBehindTheLock : {true, false}) {
        SCOPED_TRACE(savedBehindTheLock ? "saved behind the lock" : "saved after the unlock");
        const int lock = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(lock, 0);
        ASSERT_EQ(::flock(lock, LOCK_EX), 0);
        context->themes().saveTheme(savedBehindTheLock ? 1 : 0);
        ASSERT_TRUE(waitFor([&] { return saying() == 1; }, 30000));
        delegate->mainWindow()->lockConsole();
        ASSERT_TRUE(unlock.isLocked());
        if (savedBehindTheLock) {
            ::close(lock);
            ASSERT_TRUE(waitFor([&] { return !notice()->isVisibleTo(login); }, 30000));
        }
        unlockWith(unlock, QStringLiteral("demo1234"));
        ASSERT_FALSE(unlock.isLocked());
        QApplication::processEvents();
        EXPECT_EQ(saying(), savedBehindTheLock ? 0 : 1);
        if (!savedBehindTheLock)
            ::close(lock);
        ASSERT_TRUE(waitFor([&] { return saying() == 0; }, 30000));
        // Gone for good, not only leaving, before the next round.
        ASSERT_TRUE(waitFor(
            [&] {
                const auto open = context->banners().banners();
                return std::none_of(open.cbegin(), open.cend(), [&](const auto* banner) {
                    return banner->notification().informativeText == waiting;
                });
            },
            30000));
    }
}

// Another program holds the settings' lock past the wait: a banner says the changes wait for it,
// and goes once they are saved; the login window's line goes with it.
TEST_F(SettingsFileLoginTest, ChangesWaitingForAnotherProgramsLockAreSaidUntilTheyAreSaved) {
    signInByTyping(QStringLiteral("demo"), QStringLiteral("demo1234"));
    ASSERT_TRUE(signedIn());
    const std::filesystem::path lockFile = settingsFile.string() + ".lock";
    const int lock = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const std::string waiting = withPath(texts::kSettingsWaitingForLock, lockFile).toStdString();
    const auto saying = [&] {
        int n = 0;
        for (const auto* banner : context->banners().banners())
            n += banner->notification().informativeText == waiting &&
                 banner->phase() != tc::gui::InAppNotificationBannerController::Phase::Hiding;
        return n;
    };
    context->themes().saveTheme(1);
    ASSERT_TRUE(waitFor([&] { return saying() == 1; }, 30000));
    EXPECT_TRUE(notice()->isVisibleTo(login));
    ::close(lock);
    ASSERT_TRUE(waitFor([&] { return saying() == 0; }, 30000));
    EXPECT_EQ(tc::platform::UserDefaults(settingsFile).integerForKey(tc::gui::kThemeKey), 1);
    EXPECT_TRUE(context->settingsNotice().isEmpty());
    EXPECT_FALSE(notice()->isVisibleTo(login));
}

// The Demo read still waits at the keyring when the trader turns to Live, which has no remembered
// user, and ticks Remember me: the Demo read's limit says nothing under the empty Live form.
TEST_F(LoginWindowTest, AnAbandonedReadsLimitSaysNothingUnderAnotherModesEmptyForm) {
    delegate.reset();
    tc::gui::RememberedUsers(*defaults, interfaces::productInfo().productKey, secrets)
        .store("Demo", {"trader", "trader1234", "127.0.0.1", "5199"});
    secrets.holdReads = true;
    secrets.limit = std::chrono::milliseconds(200);
    startProgram();
    ASSERT_EQ(login->connectionTypeKey(), "Demo");
    QTest::mouseClick(child<QPushButton>(login, "liveModeButton"), Qt::LeftButton);
    ASSERT_EQ(login->connectionTypeKey(), "Live");
    ASSERT_TRUE(field("usernameTextField")->text().isEmpty());
    auto* remember = child<QCheckBox>(login, "CheckBox");
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    ASSERT_TRUE(remember->isChecked());
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    EXPECT_FALSE(line->isVisibleTo(login));
    // A task due after the Demo read's limit runs after it.
    bool past = false;
    tc::platform::MainQueue::after(2 * secrets.limit, [&] { past = true; });
    ASSERT_TRUE(waitFor([&] { return past || line->isVisibleTo(login); }));
    EXPECT_FALSE(line->isVisibleTo(login)) << line->text().toStdString();
}

// A Live user whose password the keyring kept, and a Demo keep still waiting when the program
// ended: the next start's Live form, its password filled in, does not say it may not be remembered.
TEST_F(LoginWindowTest, AnotherModesUnknownKeepIsNotSaidUnderThisModesForm) {
    delegate.reset();
    {
        tc::gui::RememberedUsers users(*defaults, interfaces::productInfo().productKey, secrets);
        users.store("Live", {"ann", "ann12345", "127.0.0.1", "5199"});
        secrets.holdWrites = true;
        users.store("Demo", {"demo", "demo1234", "127.0.0.1", "5199"});
    } // the program ends while the Demo keep waits
    startProgram();
    login->selectConnectionMode(0);
    ASSERT_EQ(login->connectionTypeKey(), "Live");
    EXPECT_EQ(field("usernameTextField")->text(), QStringLiteral("ann"));
    EXPECT_EQ(field("passwordTextField")->text(), QStringLiteral("ann12345"));
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    EXPECT_FALSE(line->isVisibleTo(login)) << line->text().toStdString();
    login->selectConnectionMode(1);
    EXPECT_EQ(line->text(), context->text(texts::kPasswordKeepNotKnown));
}

// Remember me unticked while the keyring holds a keep that never answers: the removal waits behind
// it, and the line under the form says the password may still be kept.
TEST_F(LoginWindowTest, AForgottenPasswordTheKeyringDoesNotTakeOutIsSaidUnderTheForm) {
    delegate.reset();
    tc::gui::RememberedUsers(*defaults, interfaces::productInfo().productKey, secrets)
        .store("Demo", {"trader", "trader1234", "127.0.0.1", "5199"});
    secrets.holdRemoves = true;
    secrets.limit = std::chrono::milliseconds(200);
    startProgram();
    auto* remember = child<QCheckBox>(login, "CheckBox");
    ASSERT_TRUE(remember->isChecked());
    QTest::mouseClick(remember, Qt::LeftButton, {}, QPoint(6, remember->height() / 2));
    auto* line = child<QLabel>(login, "keyringNoticeLabel");
    EXPECT_TRUE(waitFor([&] { return line->isVisibleTo(login); }));
    EXPECT_EQ(line->text(), context->text(texts::kPasswordRemovalNotKnown));
    secrets.answerRemoves();
    EXPECT_FALSE(line->isVisibleTo(login));
}

} // namespace
