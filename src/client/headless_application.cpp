#include "client/headless_application.h"

#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/user_defaults.h"

#include <chrono>

namespace tc {

namespace {

// Log lines show the start of long texts only.
std::string_view clip(std::string_view text) {
    constexpr std::size_t kLogTextBytes = 200;
    if (text.size() <= kLogTextBytes)
        return text;
    std::size_t end = kLogTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

} // namespace

HeadlessApplication::HeadlessApplication(platform::UserDefaults& defaults)
    : defaults_(defaults), loginData_(std::make_unique<LoginInputData>()) {}

void HeadlessApplication::follow(interfaces::Client& client) {
    loginState_ = client.handleLoginStateChanged([this](interfaces::LoginState state) {
        std::lock_guard lock(mutex_);
        loginSuccess_ = state == interfaces::LoginState::SignedIn;
    });
}

HeadlessApplication::~HeadlessApplication() = default;

std::int64_t HeadlessApplication::selectedLanguage() const {
    std::lock_guard lock(mutex_);
    return selectedLanguage_;
}
bool HeadlessApplication::loginSuccess() const {
    std::lock_guard lock(mutex_);
    return loginSuccess_;
}
bool HeadlessApplication::showConfirmationAlert() const {
    std::lock_guard lock(mutex_);
    return showConfirmationAlert_;
}
std::string HeadlessApplication::applicationName() const {
    std::lock_guard lock(mutex_);
    return applicationName_;
}
void HeadlessApplication::setSelectedLanguage(std::int64_t language) {
    std::lock_guard lock(mutex_);
    selectedLanguage_ = language;
}
void HeadlessApplication::setShowConfirmationAlert(bool value) {
    std::lock_guard lock(mutex_);
    showConfirmationAlert_ = value;
}
void HeadlessApplication::setApplicationName(std::string name) {
    std::lock_guard lock(mutex_);
    applicationName_ = std::move(name);
}
void HeadlessApplication::setConnectionFailureFollowUp(std::function<void()> followUp) {
    std::lock_guard lock(mutex_);
    connectionFailureFollowUp_ = std::move(followUp);
}
void HeadlessApplication::setTerminationHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    terminationHandler_ = std::move(handler);
}

void HeadlessApplication::record(Call call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<HeadlessApplication::Call> HeadlessApplication::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}
std::vector<HeadlessApplication::Call> HeadlessApplication::callsNamed(std::string_view method) const {
    std::lock_guard lock(mutex_);
    std::vector<Call> out;
    for (const auto& c : calls_)
        if (c.method == method)
            out.push_back(c);
    return out;
}
std::vector<std::string> HeadlessApplication::soundsPlayed() const {
    std::lock_guard lock(mutex_);
    return soundsPlayed_;
}
void HeadlessApplication::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    soundsPlayed_.clear();
}

bool HeadlessApplication::soundsOff() const {
    return defaults_.boolForKey(interfaces::kSoundKey);
}

void HeadlessApplication::onConnectionLost(const std::vector<std::string>& unanswered) {
    record({"onConnectionLost", unanswered, std::nullopt});
    playSound("connectionLost");
    platform::Log::warning("alert: the connection to the server was lost");
    for (const std::string& request : unanswered)
        platform::Log::warning("alert: no answer to: {}", request);
    std::function<void()> followUp;
    {
        std::lock_guard lock(mutex_);
        followUp = connectionFailureFollowUp_;
    }
    if (followUp)
        platform::MainQueue::after(std::chrono::duration_cast<platform::Clock::duration>(
                                       std::chrono::duration<double>(kConnectionFailureFollowUpSeconds)),
                                   guard_.bind(std::move(followUp)));
}

void HeadlessApplication::onSignedInElsewhere(const std::string& text) {
    record({"onSignedInElsewhere", {text}, std::nullopt});
    platform::Log::warning("alert: signed in at another location: {}", clip(text));
    // Without a window the alert is closed at once, and closing it quits.
    quit();
}

void HeadlessApplication::onLoginRefused(const interfaces::LoginMessageAlert& alert) {
    record({"onLoginRefused", {alert.message, alert.tag, alert.url.value_or("")}, std::nullopt});
    platform::Log::warning("login refused (tag {}): {}", clip(alert.tag), clip(alert.message));
    if (alert.url)
        platform::Log::info("download offered at {}", clip(*alert.url));
}

void HeadlessApplication::showMessageAlert(const std::string& message, const std::string& title) {
    record({"showMessageAlert", {message, title}, std::nullopt});
    platform::Log::info("alert: {}: {}", clip(title), clip(message));
}

void HeadlessApplication::showMessageBanner(const std::string& message, const std::string& title) {
    record({"showMessageBanner", {message, title}, std::nullopt});
    showBanner(interfaces::makeCommonBanner(applicationName(), message, title));
}

void HeadlessApplication::showBanner(const interfaces::InAppNotification& notification) {
    record({"showBanner", {}, notification});
    platform::Log::info("banner: {} / {}: {}", clip(notification.title), clip(notification.subtitle),
                        clip(notification.informativeText));
    playSound(notification.soundName);
}

void HeadlessApplication::setBannerDelegate(BannerActivation onActivate) {
    std::lock_guard lock(mutex_);
    bannerDelegate_ = std::move(onActivate);
}

void HeadlessApplication::activateBanner(const interfaces::InAppNotification& notification) {
    BannerActivation delegate;
    {
        std::lock_guard lock(mutex_);
        delegate = bannerDelegate_;
    }
    if (delegate)
        delegate(notification);
}

void HeadlessApplication::showSystemNotification(const std::string& title, const std::string& subTitle) {
    record({"showSystemNotification", {title, subTitle}, std::nullopt});
    platform::Log::info("system notification: {}: {}", clip(title), clip(subTitle));
}

void HeadlessApplication::playSound(std::string_view name) {
    record({"playSound", {std::string(name)}, std::nullopt});
    if (name.empty() || soundsOff())
        return;
    std::lock_guard lock(mutex_);
    soundsPlayed_.emplace_back(name);
}

void HeadlessApplication::openAddress(const std::string& url) {
    record({"openAddress", {url}, std::nullopt});
    platform::Log::info("open address: {}", clip(url));
}

void HeadlessApplication::quit() {
    record({"quit", {}, std::nullopt});
    std::function<void()> handler;
    {
        std::lock_guard lock(mutex_);
        handler = terminationHandler_;
    }
    platform::Log::info("application terminates");
    if (handler)
        handler();
}

} // namespace tc
