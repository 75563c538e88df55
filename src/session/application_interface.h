#pragma once
// What the session asks of the application shell: the sign-in data, the chosen language, alerts,
// banners, sounds, opening addresses and quitting. Every method that shows something is called on the
// main thread. The desktop shell implements it with windows; HeadlessApplication runs without a display.
#include "connection/login_inputdata.h"
#include "platform/notification_center.h"

#include <cstdint>
#include <functional>
#include <map>
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

// The banner centre's two named sounds.
inline constexpr std::string_view kInAppNotificationDefaultSound = "InAppNotificationDefaultSound";
inline constexpr std::string_view kInAppNotificationDefaultSound2 = "InAppNotificationDefaultSound2";
// User default that switches all sounds off when YES.
inline constexpr std::string_view kSoundKey = "SoundKey";

struct InAppNotificationFeature {
    double dismissDelayTime = 5.0; // seconds; -1 keeps the banner until the user acts
    std::int32_t lineBreakMode = 0;
    friend bool operator==(const InAppNotificationFeature&, const InAppNotificationFeature&) = default;
};

// One banner of the program's own banner centre.
struct InAppNotification {
    std::string title;
    std::string subtitle;
    std::string informativeText;
    bool hasActionButton = false;
    std::string actionButtonTitle;
    std::string soundName;
    std::map<std::string, std::string, std::less<>> userInfo;
    InAppNotificationFeature feature;
    friend bool operator==(const InAppNotification&, const InAppNotification&) = default;
};

// A login refusal for the login window: message text, alert tag as text, and (tag "3" only, an
// unsupported version) the address offered for download.
struct LoginMessageAlert {
    std::string message;
    std::string tag;
    std::optional<std::string> url;
};

// The banner the common alert delivers for (message, title): program name, the title as subtitle,
// the message, no button, 5 s, the default sound.
InAppNotification makeCommonBanner(std::string_view applicationName, std::string_view message,
                                   std::string_view title);

// The read-only queries (logindata() through applicationName()) may be called from any thread.
class ApplicationInterface {
public:
    virtual ~ApplicationInterface() = default;

    // The one sign-in data record of the running client; never null after start-up.
    virtual LoginInputdata& logindata() = 0;
    // The language number passed to every text lookup.
    virtual std::int64_t selectedLanguage() const = 0;
    // True once the first login has completed; never cleared.
    virtual bool loginSuccess() const = 0;
    // The user prefers a modal confirmation to a banner.
    virtual bool showConfirmationAlert() const = 0;
    // The program's name shown as banner title.
    virtual std::string applicationName() const = 0;

    // The stream dropped without a manual disconnect: sound "connectionLost", login form back, alert.
    virtual void ConnectionFailureNotification() = 0;
    // The same user signed in elsewhere: modal alert with the server's text, then the program quits.
    virtual void LogininAnotherLocation(const std::string& text) = 0;
    virtual void showLoginMessages(const LoginMessageAlert& alert) = 0;

    // Modal alert: the title as message text, the message as informative text, one "OK" button.
    virtual void ShowCommonAlertVieWwithMessage(const std::string& message, const std::string& title) = 0;
    // Banner made by makeCommonBanner.
    virtual void ShowCommonUserNotificationwithMessage(const std::string& message,
                                                       const std::string& title) = 0;
    // Shows the banner for its dismiss delay and plays its sound.
    virtual void deliverNotification(const InAppNotification& notification) = 0;
    // The banner centre's delegate: called on the main thread when the user acts on a banner. The
    // session sets itself before each delivery; the last one set wins.
    using BannerActivation = std::function<void(const InAppNotification&)>;
    virtual void setBannerDelegate(BannerActivation onActivate) = 0;
    // A system notification, 1 s later, with the system's default sound.
    virtual void showLocalNotificationWithTitle(const std::string& title, const std::string& subTitle) = 0;
    // Silent for an empty name or when the user switched sounds off.
    virtual void playSoundNamed(std::string_view name) = 0;
    // Opens the address in the user's browser. Callers pass only http and https addresses.
    virtual void openURL(const std::string& url) = 0;
    virtual void terminate() = 0;
};

// Runs the session without a display: logs what a window would show and records every call for
// inspection. It owns its sign-in data, reads "SoundKey" from the given defaults and sets
// loginSuccess when "LoginSuccessNotification" is posted on its centre. Thread-safe.
class HeadlessApplication : public ApplicationInterface {
public:
    struct Call {
        std::string method;
        std::vector<std::string> args;
        std::optional<InAppNotification> banner; // deliverNotification only
    };

    static constexpr std::string_view kDefaultApplicationName = "TradeClient";
    // Delay before the connection-failure follow-up runs.
    static constexpr double kConnectionFailureFollowUpSeconds = 3.5;

    explicit HeadlessApplication(
        platform::UserDefaults& defaults,
        platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter());
    ~HeadlessApplication() override;
    HeadlessApplication(const HeadlessApplication&) = delete;
    HeadlessApplication& operator=(const HeadlessApplication&) = delete;

    LoginInputdata& logindata() override { return *logindata_; }
    std::int64_t selectedLanguage() const override;
    bool loginSuccess() const override;
    bool showConfirmationAlert() const override;
    std::string applicationName() const override;

    void ConnectionFailureNotification() override;
    void LogininAnotherLocation(const std::string& text) override;
    void showLoginMessages(const LoginMessageAlert& alert) override;
    void ShowCommonAlertVieWwithMessage(const std::string& message, const std::string& title) override;
    void ShowCommonUserNotificationwithMessage(const std::string& message, const std::string& title) override;
    void deliverNotification(const InAppNotification& notification) override;
    void setBannerDelegate(BannerActivation onActivate) override;
    void showLocalNotificationWithTitle(const std::string& title, const std::string& subTitle) override;
    void playSoundNamed(std::string_view name) override;
    void openURL(const std::string& url) override;
    void terminate() override;

    void setSelectedLanguage(std::int64_t language);
    void setShowConfirmationAlert(bool value);
    void setApplicationName(std::string name);
    // Run on the main queue kConnectionFailureFollowUpSeconds after a connection failure (the network
    // speed check of the business object); dropped if this object is gone by then.
    void setConnectionFailureFollowUp(std::function<void()> followUp);
    // What terminate() does besides recording (a host stops its run loop); nothing by default.
    void setTerminationHandler(std::function<void()> handler);
    // Acts as the user clicking the banner's button: hands it to the banner delegate, if any.
    void activateBanner(const InAppNotification& notification);

    std::vector<Call> calls() const;
    std::vector<Call> callsNamed(std::string_view method) const;
    // Sounds that were actually played (not muted, not empty), in order.
    std::vector<std::string> soundsPlayed() const;
    void clearCalls();

private:
    void record(Call call);
    bool soundsOff() const;

    platform::UserDefaults& defaults_;
    platform::NotificationCenter& center_;
    std::unique_ptr<LoginInputdata> logindata_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

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
};

} // namespace tc
