#pragma once
// What the session asks of the application shell: the chosen language, alerts, banners, sounds,
// opening addresses and quitting. Every method that shows something is called on the
// main thread. The desktop shell implements it with windows; HeadlessApplication (src/client) runs
// without a display.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace interfaces {

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
    // What it tells stays where the trader reads it later (a chat message, a notice): past the banner
    // centre's bound such a banner is the first to go, counted; one that is not is never dropped.
    bool keptElsewhere = false;
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

// The product's values beside the program (its login property list), for the login and About
// windows.
struct ServerAddress {
    std::string host;
    std::int32_t port = 0;
};
struct ProductInfo {
    std::string productName;
    std::string productVersion;
    bool liveModeAvailable = false;
    std::string liveAccountRegistrationURL;
    // Each mode's server, as the login form starts with it and its reset button brings it back.
    ServerAddress liveServer;
    ServerAddress simulationServer;
    // The configured key the login window's remembered users are encrypted with (never the session's).
    std::string productKey;
    // The list of DepositAmountPropertyList the demo registration offers.
    std::string depositAmountListType;
};
ProductInfo productInfo();

// Makes the product's own words for some texts (its localization list beside the program) part of
// every text lookup of the program. The program calls it once at start-up (the desktop shell does).
void installProductTexts();

// The read-only queries (selectedLanguage() through applicationName()) may be called from any thread.
class ApplicationInterface {
public:
    virtual ~ApplicationInterface() = default;

    // The language number passed to every text lookup.
    virtual std::int64_t selectedLanguage() const = 0;
    // True once the first login has completed; never cleared.
    virtual bool loginSuccess() const = 0;
    // The user prefers a modal confirmation to a banner.
    virtual bool showConfirmationAlert() const = 0;
    // The program's name shown as banner title.
    virtual std::string applicationName() const = 0;

    // The stream dropped without a manual disconnect: sound "connectionLost", login form back, alert.
    // `unanswered` names the order requests the server had not answered (each line as the trader
    // reads it), which the alert lists so the trader checks what became of them.
    virtual void onConnectionLost(const std::vector<std::string>& unanswered) = 0;
    // The same user signed in elsewhere: modal alert with the server's text, then the program quits.
    virtual void onSignedInElsewhere(const std::string& text) = 0;
    // The server refused the login: the alert for the login window.
    virtual void onLoginRefused(const LoginMessageAlert& alert) = 0;

    // Modal alert: the title as message text, the message as informative text, one "OK" button.
    virtual void showMessageAlert(const std::string& message, const std::string& title) = 0;
    // Banner made by makeCommonBanner.
    virtual void showMessageBanner(const std::string& message, const std::string& title) = 0;
    // Shows the banner for its dismiss delay and plays its sound.
    virtual void showBanner(const InAppNotification& notification) = 0;
    // The banner centre's delegate: called on the main thread when the user acts on a banner. The
    // session sets itself before each delivery; the last one set wins.
    using BannerActivation = std::function<void(const InAppNotification&)>;
    virtual void setBannerDelegate(BannerActivation onActivate) = 0;
    // A system notification, 1 s later, with the system's default sound.
    virtual void showSystemNotification(const std::string& title, const std::string& subTitle) = 0;
    // Silent for an empty name or when the user switched sounds off.
    virtual void playSound(std::string_view name) = 0;
    // Opens the address in the user's browser. Callers pass only http and https addresses.
    virtual void openAddress(const std::string& url) = 0;
    // The program ends.
    virtual void quit() = 0;
};

} // namespace interfaces
