#pragma once
// The desktop shell the session calls back: real alerts, banners, sounds, system notifications,
// addresses and quitting, over the services of the program's GuiContext. One per program, made on
// the GUI thread after the context.
//
// Alerts open window-modal on the primary window (the login window, then the main window) and
// never nest an event loop. The login window follows connectionLost and loginRefused to make its
// form usable again.
#include "gui/app/message_alert_line.h"
#include "interfaces/application_interface.h"
#include "platform/handler.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string_view>

namespace tc::gui {

class GuiContext;
struct AlertSpec;

class QtShell : public QObject, public interfaces::ApplicationInterface {
    Q_OBJECT
public:
    // Installs the product's own text keys for every text lookup.
    explicit QtShell(GuiContext& context, QObject* parent = nullptr);
    ~QtShell() override;

    // interfaces::ApplicationInterface
    std::int64_t selectedLanguage() const override;
    bool loginSuccess() const override { return loginSuccess_.load(); }
    bool showConfirmationAlert() const override;
    std::string applicationName() const override { return applicationName_; }
    void onConnectionLost(const std::vector<std::string>& unanswered) override;
    void onSignedInElsewhere(const std::string& text) override;
    void onLoginRefused(const interfaces::LoginMessageAlert& alert) override;
    void showMessageAlert(const std::string& message, const std::string& title) override;
    void showMessageBanner(const std::string& message, const std::string& title) override;
    void showBanner(const interfaces::InAppNotification& notification) override;
    void setBannerDelegate(BannerActivation onActivate) override;
    void showSystemNotification(const std::string& title, const std::string& subTitle) override;
    void playSound(std::string_view name) override;
    // Opens http and https addresses in the browser; anything else is refused and logged. One no
    // browser takes is said in an alert.
    void openAddress(const std::string& url) override;
    void quit() override;

    GuiContext& context() const { return context_; }

    // The window alerts open on; without one they are modal to the whole program.
    void setPrimaryWindow(QWidget* window) { primaryWindow_ = window; }
    QWidget* primaryWindow() const { return primaryWindow_.data(); }
    // Opens an alert on the primary window (see CommonAlert).
    void showAlert(const AlertSpec& spec, std::function<void(int)> done = {});

    // Set at the first completed login; never cleared.
    void setLoginSuccess() { loginSuccess_ = true; }
    // Runs 3.5 s after a lost stream (the session's network-speed check); dropped if the shell is
    // gone by then.
    void setConnectionFailureFollowUp(std::function<void()> followUp) {
        connectionFailureFollowUp_ = std::move(followUp);
    }
    // What quit() does; by default the Qt event loop quits.
    void setTerminationHandler(std::function<void()> handler) { terminationHandler_ = std::move(handler); }
    // The browser openAddress hands addresses to (tests replace it).
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

    static constexpr double kConnectionFailureFollowUpSeconds = 3.5;

Q_SIGNALS:
    // The stream dropped: the login form becomes usable again.
    void connectionLost();
    // The server refused the login: the login form becomes usable again.
    void loginRefused();
    void terminating();

private:
    QString text(std::string_view key) const;
    void showNextMessageAlert();

    GuiContext& context_;
    std::string applicationName_;
    QPointer<QWidget> primaryWindow_;
    std::atomic<bool> loginSuccess_{false};
    std::function<void()> connectionFailureFollowUp_;
    std::function<void()> terminationHandler_;
    std::function<bool(const QUrl&)> opener_;
    MessageAlertLine messageAlerts_;
    const QObject* messageBox_ = nullptr; // the message alert showing; compared, never used
    platform::CallbackGuard guard_;       // last: work left on the main queue stops before the members go
};

} // namespace tc::gui
