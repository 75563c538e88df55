#pragma once
// The login window: language, live or simulation mode, user name, password, the remember box with
// the remembered user of each mode, and a drawer with the server and port. Sign-in runs through the
// program's ClientModel; the window follows its answer (a refusal or a lost stream make the form
// usable again), and the program's root closes it once the login completes. The demo-registration
// sheet opens on it and fills the form with the user it registered.
#include "gui/login/login_registration_window_controller.h"
#include "gui/login/program_dialog.h"
#include "interfaces/application_interface.h"
#include "interfaces/client.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <string>
#include <string_view>

namespace Ui {
class LoginWindowController;
}

class QButtonGroup;

namespace tc::gui {

class ClientModel;
class GuiContext;
class QtShell;
class RememberedUsers;

class LoginWindowController : public ProgramDialog {
    Q_OBJECT
public:
    // Fills the form for `mode` ("Live" or "Demo"); live mode when the program offers it.
    LoginWindowController(GuiContext& context, QtShell& shell, ClientModel& session,
                          RememberedUsers& remembered, QWidget* parent = nullptr);
    ~LoginWindowController() override;

    // The mode whose form is shown: "Live" or "Demo".
    std::string_view connectionTypeKey() const { return connectionTypeKey_; }
    // Selects segment 0 (live) or 1 (simulation) and fills the form for it.
    void selectConnectionMode(int segment);
    bool isLoggingIn() const { return loggingIn_; }
    bool isDrawerOpen() const;
    // The demo-registration sheet, made on first use (null before).
    LoginRegistrationWindowController* registrationSheet() const { return registrationSheet_; }

    // Actions of the window.
    void loginButtonClicked();
    void cancelButtonClicked();
    void toggleRightDrawer();
    void resetConnectionSettingsDefault();
    void createDemoUserButtonClicked();
    void liveAccountRegistrationButtonClicked();

    // Form usable (login button shown) or a login under way (cancel shown, the rest disabled).
    void setEnableUIObjects();
    void setDisableUIObjects();
    // Closes the drawer and the window once the login has completed.
    void closeAfterLogin();

protected:
    // Closed by the user, the login window ends the program, even with a lost main window still open
    // (which offers no way back to a login).
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void loadLanguages();
    void updateLanguageStrings();
    void connectionSegmentControlChanged(int segment);
    void checkBoxStatus(bool on);
    // The lines under the form: a settings file that could not be read or written, and passwords
    // that cannot be remembered here while the remember box is on.
    void showNotices();
    void loadUserInfo(std::string_view mode);
    void storeUserInfo(std::string_view mode);
    void fillDefaults(std::string_view mode);
    bool checkLoginValidation();
    void alert(const QString& message);
    void demoRegistrationSubmit(interfaces::DemoRegistration form);
    // The port field red, with the login's reason, while it holds no port (empty is being typed).
    void markPort();

    std::unique_ptr<Ui::LoginWindowController> ui_;
    RememberedUsers& remembered_;
    const interfaces::ProductInfo product_;
    QButtonGroup* modes_ = nullptr;
    std::string connectionTypeKey_;
    bool loggingIn_ = false;
    QPointer<LoginRegistrationWindowController> registrationSheet_;
};

} // namespace tc::gui
