#include "gui/login/login_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/connect_each.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/language.h"
#include "gui/app/language_list.h"
#include "gui/app/qt_shell.h"
#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/controls/input_filters.h"
#include "gui/controls/text_entry_rules.h"
#include "gui/controls/toggles.h"
#include "gui/login/login_form_checks.h"
#include "gui/login/login_registration_window_controller.h"
#include "gui/login/remembered_users.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "platform/log.h"
#include "ui_login_window_controller.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QShowEvent>

namespace tc::gui {
namespace {

constexpr int kLiveSegment = 0;
constexpr int kDemoSegment = 1;

} // namespace

LoginWindowController::LoginWindowController(GuiContext& context, QtShell& shell, ClientModel& session,
                                             RememberedUsers& remembered, QWidget* parent)
    : ProgramDialog(context, shell, session, parent), ui_(std::make_unique<Ui::LoginWindowController>()),
      remembered_(remembered), product_(interfaces::productInfo()) {
    ui_->setupUi(this);
    modes_ = new QButtonGroup(this);
    modes_->addButton(ui_->liveModeButton, kLiveSegment);
    modes_->addButton(ui_->demoModeButton, kDemoSegment);
    modes_->setExclusive(true);
    installPortFilter(ui_->portTextField);
    ui_->rightDrawer->hide();
    ui_->cancelButton->hide();
    ui_->loginProgressIndicator->hide();

    // The About window is the program's, not only the main window's: before a login the login
    // window's context menu offers it.
    auto* about = new QAction(this);
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setProperty(kLangKeyProperty, QString::fromLatin1(texts::kAboutTradeClient));
    connect(about, &QAction::triggered, this, [this] { context_.guiObjects().showAbout(this); });
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    loadLanguages();
    bindLanguage(this, context_.language(), [this] {
        updateLanguageStrings();
        markPort();
        showNotices();
    });
    connect(&context_, &GuiContext::settingsNoticeChanged, this, &LoginWindowController::showNotices);
    remembered_.addPasswordListener(
        [self = QPointer<LoginWindowController>(this)](RememberedUsers::PasswordNews) {
            if (self)
                self->showNotices();
        });
    connect(ui_->portTextField, &QLineEdit::textChanged, this, [this] { markPort(); });
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { markPort(); });
    connect(ui_->languagesComboBox, &QComboBox::activated, this,
            [this](int index) { context_.language().select(index); });
    connect(modes_, &QButtonGroup::idToggled, this, [this](int segment, bool on) {
        if (on)
            connectionSegmentControlChanged(segment);
    });
    connect(ui_->CheckBox, &QCheckBox::toggled, this, &LoginWindowController::checkBoxStatus);
    connect(ui_->drawerButton, &QToolButton::toggled, ui_->rightDrawer, &QWidget::setVisible);
    connectEach(
        &QPushButton::clicked, this, std::pair{ui_->loginButton, &LoginWindowController::loginButtonClicked},
        std::pair{ui_->cancelButton, &LoginWindowController::cancelButtonClicked},
        std::pair{ui_->resetDefaultsButton, &LoginWindowController::resetConnectionSettingsDefault},
        std::pair{ui_->demoUserCreationButton, &LoginWindowController::createDemoUserButtonClicked},
        std::pair{ui_->openLiveAccountButton, &LoginWindowController::liveAccountRegistrationButtonClicked});
    // A refusal or a lost stream gives the form back; the shell has shaken the window and tells why.
    connect(&shell_, &QtShell::loginRefused, this, [this] {
        setEnableUIObjects();
        // A registration that could not reach its server ends the same way.
        if (registrationSheet_)
            registrationSheet_->setWaiting(false);
    });
    connect(&shell_, &QtShell::connectionLost, this, [this] {
        setEnableUIObjects();
        if (registrationSheet_)
            registrationSheet_->setWaiting(false);
    });
    connect(&session_, &ClientModel::demoRegistered, this,
            [this](const interfaces::DemoRegistrationResult& result) {
                if (registrationSheet_)
                    registrationSheet_->requestDone(result);
            });

    const bool live = product_.liveModeAvailable;
    ui_->liveModeButton->setEnabled(live);
    ui_->openLiveAccountButton->setEnabled(live && !product_.liveAccountRegistrationURL.empty());
    selectConnectionMode(live ? kLiveSegment : kDemoSegment);
    // The window opens on the user name: typed letters go there, not to the language chooser above.
    ui_->usernameTextField->setFocus();
}

LoginWindowController::~LoginWindowController() = default;

void LoginWindowController::showEvent(QShowEvent* event) {
    ProgramDialog::showEvent(event);
    // A remembered user whose password could not be kept: the password is what is left to type.
    if (!ui_->usernameTextField->text().isEmpty() && ui_->passwordTextField->text().isEmpty())
        ui_->passwordTextField->setFocus();
}

void LoginWindowController::closeEvent(QCloseEvent* event) {
    QDialog::closeEvent(event);
    if (event->isAccepted())
        shell_.quit();
}

void LoginWindowController::loadLanguages() {
    ui_->languagesComboBox->clear();
    for (std::string_view name : kLanguageNames)
        ui_->languagesComboBox->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

void LoginWindowController::updateLanguageStrings() {
    const QSignalBlocker block(ui_->languagesComboBox);
    ui_->languagesComboBox->setCurrentIndex(static_cast<int>(context_.language().selected()));
    ui_->languagesComboBox->setAccessibleName(context_.text(texts::kLanguage));
    ui_->drawerButton->setAccessibleName(context_.text(texts::kConnectionSettings));
    ui_->loginProgressIndicator->setAccessibleName(context_.text(texts::kSigningIn));
}

bool LoginWindowController::isDrawerOpen() const {
    return ui_->rightDrawer->isVisible();
}

void LoginWindowController::selectConnectionMode(int segment) {
    if (QAbstractButton* button = modes_->button(segment))
        setCheckedQuietly(button, true);
    connectionSegmentControlChanged(segment);
}

void LoginWindowController::connectionSegmentControlChanged(int segment) {
    if (segment == kLiveSegment)
        loadUserInfo(kLiveMode);
    else if (segment == kDemoSegment)
        loadUserInfo(kDemoMode);
}

void LoginWindowController::showNotices() {
    const QString settings = context_.settingsNotice();
    ui_->settingsNoticeLabel->setText(settings);
    ui_->settingsNoticeLabel->setVisible(!settings.isEmpty());
    // Said where it matters: the trader asks for the password to be remembered and it cannot be,
    // the keyring answered but did not keep the last one, did not say in time whether it kept it, or
    // did not give the remembered one back.
    // Each of the last three is of this mode's remembered user only. A password forgotten in this
    // mode that the keyring did not take out is said with the box on or off.
    const bool asked = ui_->CheckBox->isChecked();
    const bool noKeyring = asked && !remembered_.passwordsCanBeKept();
    const std::optional<RememberedUsers::PasswordNews> removal =
        noKeyring ? std::nullopt : remembered_.passwordRemovalTrouble(connectionTypeKey_);
    const bool notKept = asked && !noKeyring && !removal && remembered_.passwordNotKept();
    const bool notKnown =
        asked && !noKeyring && !removal && !notKept && remembered_.passwordKeepNotKnown(connectionTypeKey_);
    const bool notReadBack = asked && !noKeyring && !removal && !notKept && !notKnown &&
                             remembered_.passwordNotReadBack(connectionTypeKey_);
    ui_->keyringNoticeLabel->setText(
        noKeyring     ? context_.text(texts::kPasswordsCannotBeRemembered)
        : removal     ? context_.text(*removal == RememberedUsers::PasswordNews::RemovalFailed
                                          ? texts::kPasswordRemovalFailed
                                          : texts::kPasswordRemovalNotKnown)
        : notKept     ? context_.text(texts::kPasswordNotRemembered)
        : notKnown    ? context_.text(texts::kPasswordKeepNotKnown)
        : notReadBack ? context_.text(texts::kPasswordNotReadBack)
                      : QString());
    ui_->keyringNoticeLabel->setVisible(noKeyring || removal || notKept || notKnown || notReadBack);
}

void LoginWindowController::loadUserInfo(std::string_view mode) {
    connectionTypeKey_ = std::string(mode);
    const std::optional<RememberedForm> entry = remembered_.load(mode);
    if (!entry) {
        fillDefaults(mode);
        showNotices();
        return;
    }
    ui_->usernameTextField->setText(qt(entry->userName));
    ui_->passwordTextField->clear();
    ui_->serverTextField->setText(qt(entry->server));
    ui_->portTextField->setText(qt(entry->port));
    setCheckedQuietly(ui_->CheckBox, true);
    showNotices();
    // The password comes from the secret store, maybe later; it is put in only while the form still
    // shows the same user and nothing was typed meanwhile.
    remembered_.loadPassword(mode, *entry,
                             [self = QPointer<LoginWindowController>(this), mode = std::string(mode),
                              user = qt(entry->userName)](std::optional<std::string> password) {
                                 if (!self || !password || self->connectionTypeKey_ != mode ||
                                     self->ui_->usernameTextField->text() != user ||
                                     !self->ui_->passwordTextField->text().isEmpty())
                                     return;
                                 self->ui_->passwordTextField->setText(qt(*password));
                             });
}

void LoginWindowController::fillDefaults(std::string_view mode) {
    const interfaces::ServerAddress& server =
        mode == kLiveMode ? product_.liveServer : product_.simulationServer;
    ui_->usernameTextField->clear();
    ui_->passwordTextField->clear();
    ui_->serverTextField->setText(qt(server.host));
    ui_->portTextField->setText(server.port > 0 ? QString::number(server.port) : QString());
    setCheckedQuietly(ui_->CheckBox, false);
}

void LoginWindowController::storeUserInfo(std::string_view mode) {
    if (!ui_->CheckBox->isChecked())
        return;
    remembered_.store(
        mode, {ui_->usernameTextField->text().toStdString(), ui_->passwordTextField->text().toStdString(),
               ui_->serverTextField->text().toStdString(), ui_->portTextField->text().toStdString()});
}

void LoginWindowController::checkBoxStatus(bool on) {
    if (!on)
        remembered_.remove(connectionTypeKey_);
    showNotices();
}

void LoginWindowController::toggleRightDrawer() {
    ui_->drawerButton->toggle();
}

void LoginWindowController::resetConnectionSettingsDefault() {
    const interfaces::ServerAddress& server =
        modes_->checkedId() == kLiveSegment ? product_.liveServer : product_.simulationServer;
    ui_->serverTextField->setText(qt(server.host));
    ui_->portTextField->setText(QString::number(server.port));
}

void LoginWindowController::alert(const QString& message) {
    CommonAlert::open(this, {qt(shell_.applicationName()), message, AlertSpec::Critical, {}, {}});
}

bool LoginWindowController::checkLoginValidation() {
    const std::string server = ui_->serverTextField->text().toStdString();
    const std::string port = ui_->portTextField->text().toStdString();
    const std::string user = ui_->usernameTextField->text().toStdString();
    const std::string password = ui_->passwordTextField->text().toStdString();
    if (const auto key = loginValidationKey({server, port, user, password})) {
        alert(context_.text(*key));
        return false;
    }
    // What is sent: the server and the user trimmed, the password as typed.
    const std::string sentServer = ui_->serverTextField->text().trimmed().toStdString();
    const std::string sentUser = ui_->usernameTextField->text().trimmed().toStdString();
    if (const auto refusal = firstTextRefusal({{texts::kServerAddress, sentServer},
                                               {texts::kUserName, sentUser},
                                               {texts::kPassword, password, kMaxPasswordLength}})) {
        alert(refusalWords(context_.language().selected(), *refusal));
        return false;
    }
    return true;
}

void LoginWindowController::markPort() {
    const std::string port = ui_->portTextField->text().toStdString();
    markEntry(ui_->portTextField,
              port.empty() || parsePort(port) ? QString() : context_.text(texts::kEnterPortNumberFrom1),
              context_.themes());
}

void LoginWindowController::loginButtonClicked() {
    if (loggingIn_ || !checkLoginValidation())
        return;
    storeUserInfo(connectionTypeKey_);
    interfaces::LoginSettings settings;
    settings.mode =
        connectionTypeKey_ == kLiveMode ? interfaces::LoginMode::Live : interfaces::LoginMode::Simulation;
    settings.server = ui_->serverTextField->text().trimmed().toStdString();
    settings.port = parsePort(ui_->portTextField->text().toStdString()).value_or(0);
    settings.user = ui_->usernameTextField->text().trimmed().toStdString();
    settings.password = ui_->passwordTextField->text().toStdString();
    context_.setClientModel(&session_);
    const interfaces::SignInResult result = session_.signIn(settings);
    if (!result) {
        alert(qt(result.error));
        return;
    }
    setDisableUIObjects();
}

void LoginWindowController::cancelButtonClicked() {
    setEnableUIObjects();
    // A manual disconnect: no connection-loss alert follows.
    session_.signOut();
}

void LoginWindowController::setEnableUIObjects() {
    loggingIn_ = false;
    ui_->loginButton->show();
    ui_->cancelButton->hide();
    ui_->loginProgressIndicator->hide();
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->demoUserCreationButton), static_cast<QWidget*>(ui_->usernameTextField),
          static_cast<QWidget*>(ui_->passwordTextField), static_cast<QWidget*>(ui_->serverTextField),
          static_cast<QWidget*>(ui_->portTextField),
          static_cast<QWidget*>(ui_->connectionModeSegmentedControl), static_cast<QWidget*>(ui_->CheckBox),
          static_cast<QWidget*>(ui_->languagesComboBox)})
        w->setEnabled(true);
    ui_->liveModeButton->setEnabled(product_.liveModeAvailable);
    ui_->openLiveAccountButton->setEnabled(product_.liveModeAvailable &&
                                           !product_.liveAccountRegistrationURL.empty());
    ui_->loginButton->setDefault(true);
}

void LoginWindowController::setDisableUIObjects() {
    loggingIn_ = true;
    ui_->loginButton->hide();
    ui_->cancelButton->show();
    ui_->loginProgressIndicator->show();
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->demoUserCreationButton),
          static_cast<QWidget*>(ui_->openLiveAccountButton), static_cast<QWidget*>(ui_->usernameTextField),
          static_cast<QWidget*>(ui_->passwordTextField), static_cast<QWidget*>(ui_->serverTextField),
          static_cast<QWidget*>(ui_->portTextField),
          static_cast<QWidget*>(ui_->connectionModeSegmentedControl), static_cast<QWidget*>(ui_->CheckBox),
          static_cast<QWidget*>(ui_->languagesComboBox)})
        w->setEnabled(false);
}

void LoginWindowController::closeAfterLogin() {
    setEnableUIObjects();
    ui_->drawerButton->setChecked(false);
    hide();
}

void LoginWindowController::createDemoUserButtonClicked() {
    if (modes_->checkedId() == kLiveSegment)
        selectConnectionMode(kDemoSegment);
    if (!registrationSheet_) {
        registrationSheet_ = new LoginRegistrationWindowController(
            context_, product_.depositAmountListType.empty() ? "Default" : product_.depositAmountListType,
            this);
        connect(registrationSheet_, &LoginRegistrationWindowController::submitted, this,
                &LoginWindowController::demoRegistrationSubmit);
        connect(registrationSheet_, &LoginRegistrationWindowController::registered, this,
                [this](const QString& user, const QString& password) {
                    ui_->usernameTextField->setText(user);
                    ui_->passwordTextField->setText(password);
                });
    }
    registrationSheet_->openOn(this);
}

void LoginWindowController::demoRegistrationSubmit(interfaces::DemoRegistration form) {
    // The registration goes where the login would: a port the login refuses is refused here too,
    // not replaced by the default port.
    const std::string port = ui_->portTextField->text().toStdString();
    if (const auto key = serverValidationKey(ui_->serverTextField->text().toStdString(), port)) {
        CommonAlert::open(registrationSheet_,
                          {qt(shell_.applicationName()), context_.text(*key), AlertSpec::Critical, {}, {}});
        return;
    }
    form.server = ui_->serverTextField->text().trimmed().toStdString();
    form.port = parsePort(port).value_or(0);
    context_.setClientModel(&session_);
    const interfaces::CommandResult result = session_.registerDemoUser(form);
    if (!result) {
        CommonAlert::open(registrationSheet_,
                          {qt(shell_.applicationName()), qt(result.error), AlertSpec::Critical, {}, {}});
        return;
    }
    registrationSheet_->setWaiting(true);
}

void LoginWindowController::liveAccountRegistrationButtonClicked() {
    if (product_.liveAccountRegistrationURL.empty())
        platform::Log::warning("Failed to open url: no live-account registration address is configured");
    else
        shell_.openAddress(product_.liveAccountRegistrationURL);
}

} // namespace tc::gui
