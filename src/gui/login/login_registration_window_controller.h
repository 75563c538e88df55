#pragma once
// The demo-registration sheet of the login window: name, e-mail, phone, country, starting deposit
// and the newsletter choice. A complete form is handed to the login window (submitted), which opens
// the registration connection; the server's answer comes back through requestDone.
#include "gui/app/sheet_controller.h"
#include "interfaces/client.h"

#include <QString>

#include <memory>
#include <string>

namespace Ui {
class LoginRegistrationWindowController;
}

namespace tc::gui {

class GuiContext;

class LoginRegistrationWindowController : public SheetController {
    Q_OBJECT
public:
    // `depositListType` names the list of DepositAmountPropertyList the deposit box offers.
    LoginRegistrationWindowController(GuiContext& context, std::string depositListType,
                                      QWidget* parent = nullptr);
    ~LoginRegistrationWindowController() override;

    // Every opening: an empty form, the first deposit amount, no registration waiting.
    void onWindowLoad() override;
    // The form as typed; server and port are the login window's.
    interfaces::DemoRegistration form() const;
    // Checks the form (the first failure is shown) and hands it on.
    void registerButtonClicked();
    // The registration connection is under way (true) or over.
    void setWaiting(bool waiting);
    bool isWaiting() const { return waiting_; }
    // The server's answer: a new user is shown, and the sheet closes once the alert is; after a
    // refusal (already told by the shell) the form can be sent again.
    void requestDone(const interfaces::DemoRegistrationResult& result);

Q_SIGNALS:
    void submitted(const interfaces::DemoRegistration& form);
    // The new user's name and password, for the login form.
    void registered(const QString& userName, const QString& password);

private:
    void loadDepositData();
    void loadCountriesData();

    std::unique_ptr<Ui::LoginRegistrationWindowController> ui_;
    GuiContext& context_;
    std::string depositListType_;
    bool waiting_ = false;
};

} // namespace tc::gui
