#include "gui/login/login_registration_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/language_list.h"
#include "gui/controls/entry_refusal.h"
#include "gui/login/login_rules.h"
#include "gui/texts.h"
#include "platform/countries.h"
#include "ui_login_registration_window_controller.h"

namespace tc::gui {

LoginRegistrationWindowController::LoginRegistrationWindowController(GuiContext& context,
                                                                     std::string depositListType,
                                                                     QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::LoginRegistrationWindowController>()),
      context_(context), depositListType_(std::move(depositListType)) {
    ui_->setupUi(this);
    askBeforeDroppingTyped(context_.language());
    bindLanguage(this, context_.language(), [this] {
        // The countries follow the language; the one chosen stays chosen.
        const QString chosen = ui_->CountryComboBox->currentData().toString();
        loadCountriesData();
        if (!chosen.isEmpty())
            ui_->CountryComboBox->setCurrentIndex(ui_->CountryComboBox->findData(chosen));
    });
    connect(ui_->submitButton, &QPushButton::clicked, this,
            &LoginRegistrationWindowController::registerButtonClicked);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    ui_->registrationProgressIndicator->hide();
}

LoginRegistrationWindowController::~LoginRegistrationWindowController() = default;

void LoginRegistrationWindowController::onWindowLoad() {
    ui_->NameTextField->clear();
    ui_->PhoneTextField->clear();
    ui_->EmailTextField->clear();
    ui_->SubNewsLetterCheckBox->setChecked(false);
    loadDepositData();
    loadCountriesData();
    setWaiting(false);
    ui_->NameTextField->setFocus();
}

void LoginRegistrationWindowController::loadDepositData() {
    const std::vector<std::string> amounts = loadDepositAmounts(depositListType_);
    // An empty list leaves the box as it was.
    if (amounts.empty())
        return;
    ui_->DepositComboBox->clear();
    for (const std::string& amount : amounts)
        ui_->DepositComboBox->addItem(QString::fromStdString(amount));
    ui_->DepositComboBox->setCurrentIndex(0);
}

void LoginRegistrationWindowController::loadCountriesData() {
    // The countries named in the program's language and in its order; the name shown is sent.
    const std::int64_t language = context_.language().selected();
    const std::string_view locale =
        kLanguageLocales[static_cast<std::size_t>(isLanguage(language) ? language : 0)];
    ui_->CountryComboBox->clear();
    for (const platform::Country& country : platform::countriesNamedIn(locale))
        ui_->CountryComboBox->addItem(QString::fromStdString(country.name),
                                      QString::fromStdString(country.code));
    ui_->CountryComboBox->setCurrentIndex(-1);
}

interfaces::DemoRegistration LoginRegistrationWindowController::form() const {
    interfaces::DemoRegistration f;
    f.name = ui_->NameTextField->text().toStdString();
    f.email = ui_->EmailTextField->text().toStdString();
    f.phone = ui_->PhoneTextField->text().toStdString();
    f.country = ui_->CountryComboBox->currentText().toStdString();
    f.deposit = ui_->DepositComboBox->currentText().toStdString();
    f.newsletter = ui_->SubNewsLetterCheckBox->isChecked();
    return f;
}

void LoginRegistrationWindowController::registerButtonClicked() {
    if (waiting_)
        return;
    const interfaces::DemoRegistration f = form();
    if (const auto refusal = registrationRefusal({f.name, f.email, f.phone, f.country})) {
        CommonAlert::open(this, {context_.text(texts::kValidation),
                                 refusalWords(context_.language().selected(), *refusal),
                                 AlertSpec::Informational,
                                 {},
                                 {}});
        return;
    }
    Q_EMIT submitted(f);
}

void LoginRegistrationWindowController::setWaiting(bool waiting) {
    waiting_ = waiting;
    ui_->registrationProgressIndicator->setVisible(waiting);
    ui_->submitButton->setEnabled(!waiting);
    ui_->createDemoUserBox->setEnabled(!waiting);
}

void LoginRegistrationWindowController::requestDone(const interfaces::DemoRegistrationResult& result) {
    setWaiting(false);
    if (!result.registered || !isVisible())
        return;
    const QString user = QString::fromStdString(result.userName);
    const QString password = QString::fromStdString(result.password);
    Q_EMIT registered(user, password);
    const QString details = QStringLiteral("%1 : %2\n%3 : %4\n%5")
                                .arg(context_.text(texts::kLogin), user, context_.text(texts::kPassword),
                                     password, context_.text(texts::kUserNamePasswordFilledLogin));
    CommonAlert::open(this,
                      {context_.text(texts::kDemoAccountReady),
                       details,
                       AlertSpec::Informational,
                       {context_.text(texts::kOK)},
                       {}},
                      [this](int) { accept(); });
}

} // namespace tc::gui
