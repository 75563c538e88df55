#pragma once
// The application shell without a display, for tests, benchmarks and headless runs.
#include "interfaces/application_interface.h"
#include "interfaces/client.h"
#include "platform/handler.h"
#include "wire/login_inputdata.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

namespace platform {
class UserDefaults;
}

// Runs the session without a display: logs what a window would show and records every call for
// inspection. It reads "SoundKey" from the given defaults and takes loginSuccess from the login-state
// event of the client it follows. Thread-safe.
class HeadlessApplication : public interfaces::ApplicationInterface {
public:
    struct Call {
        std::string method;
        std::vector<std::string> args;
        std::optional<interfaces::InAppNotification> banner; // showBanner only
    };

    static constexpr std::string_view kDefaultApplicationName = "TradeClient";
    // Delay before the connection-failure follow-up runs.
    static constexpr double kConnectionFailureFollowUpSeconds = 3.5;

    explicit HeadlessApplication(platform::UserDefaults& defaults);
    ~HeadlessApplication() override;
    HeadlessApplication(const HeadlessApplication&) = delete;
    HeadlessApplication& operator=(const HeadlessApplication&) = delete;

    // Main queue: loginSuccess follows the client's login state from now on (signed in: true).
    void follow(interfaces::Client& client);
    // Sign-in data for a session made without a client (makeSession); a client keeps its own.
    LoginInputData& loginData() { return *loginData_; }
    std::int64_t selectedLanguage() const override;
    bool loginSuccess() const override;
    bool showConfirmationAlert() const override;
    std::string applicationName() const override;

    void onConnectionLost(const std::vector<std::string>& unanswered) override;
    void onSignedInElsewhere(const std::string& text) override;
    void onLoginRefused(const interfaces::LoginMessageAlert& alert) override;
    void showMessageAlert(const std::string& message, const std::string& title) override;
    void showMessageBanner(const std::string& message, const std::string& title) override;
    void showBanner(const interfaces::InAppNotification& notification) override;
    void setBannerDelegate(BannerActivation onActivate) override;
    void showSystemNotification(const std::string& title, const std::string& subTitle) override;
    void playSound(std::string_view name) override;
    void openAddress(const std::string& url) override;
    void quit() override;

    void setSelectedLanguage(std::int64_t language);
    void setShowConfirmationAlert(bool value);
    void setApplicationName(std::string name);
    // Run on the main queue kConnectionFailureFollowUpSeconds after a connection failure (the network
    // speed check of the business object); dropped if this object is gone by then.
    void setConnectionFailureFollowUp(std::function<void()> followUp);
    // What quit() does besides recording (a host stops its run loop); nothing by default.
    void setTerminationHandler(std::function<void()> handler);
    // Acts as the user clicking the banner's button: hands it to the banner delegate, if any.
    void activateBanner(const interfaces::InAppNotification& notification);

    std::vector<Call> calls() const;
    std::vector<Call> callsNamed(std::string_view method) const;
    // Sounds that were actually played (not muted, not empty), in order.
    std::vector<std::string> soundsPlayed() const;
    void clearCalls();

private:
    void record(Call call);
    bool soundsOff() const;

    platform::UserDefaults& defaults_;
    std::unique_ptr<LoginInputData> loginData_;
    std::unique_ptr<interfaces::Handler> loginState_;

    mutable std::mutex mutex_;
    std::int64_t selectedLanguage_ = 0;
    bool loginSuccess_ = false;
    bool showConfirmationAlert_ = true;
    std::string applicationName_{kDefaultApplicationName};
    std::function<void()> connectionFailureFollowUp_;
    std::function<void()> terminationHandler_;
    BannerActivation bannerDelegate_;
    std::vector<Call> calls_;
    std::vector<std::string> soundsPlayed_;
    platform::CallbackGuard guard_; // last: the follow-up stops before the members it reads go
};

} // namespace tc
