#include "gui/app/shell_rules.h"

#include "platform/user_defaults.h"

#include <algorithm>

namespace tc::gui {
namespace {

bool isBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

} // namespace

bool isLanguage(std::int64_t number) {
    return number >= 0 && number < static_cast<std::int64_t>(kLanguageNames.size());
}

std::int64_t languageForStoredValue(std::optional<std::int64_t> stored) {
    return stored && isLanguage(*stored) ? *stored : 0;
}

std::optional<std::int32_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    std::int32_t port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

std::optional<std::string_view> loginValidationKey(const LoginFields& fields) {
    if (isBlank(fields.server))
        return "0004";
    if (!parsePort(fields.port))
        return "0005";
    if (isBlank(fields.userName))
        return "0002";
    if (fields.password.empty())
        return "0003";
    return std::nullopt;
}

std::optional<NetworkStatusLook> networkStatusLook(std::int64_t speedClass) {
    switch (speedClass) {
    case 0:
        return NetworkStatusLook{"Network_Speed_Excellent", "network-status-online", "0051"};
    case 1:
        return NetworkStatusLook{"Network_Speed_Good", "network-status-online", "0051"};
    case 2:
        return NetworkStatusLook{"Network_Speed_Fair", "network-status-away", "0051"};
    case 3:
        return NetworkStatusLook{"Network_Speed_Poor", "network-status-offline", "1007"};
    default:
        return std::nullopt;
    }
}

std::optional<std::size_t> fontSizeChoiceIndex(std::int64_t size) {
    for (std::size_t i = 0; i < kFontSizeChoices.size(); ++i)
        if (kFontSizeChoices[i].size == size)
            return i;
    return std::nullopt;
}

void PreferenceManager::saveFontSizeInfo(platform::UserDefaults& defaults, std::int64_t size,
                                         std::string_view key) {
    defaults.set(key, size);
    defaults.synchronize();
}

std::int64_t PreferenceManager::getFontSizeInfoForKey(const platform::UserDefaults& defaults,
                                                      std::string_view key) {
    return defaults.integerForKey(key);
}

bool PreferenceManager::isFontSizeAvailableForKey(const platform::UserDefaults& defaults,
                                                  std::string_view key) {
    return defaults.objectForKey(key).has_value();
}

void PreferenceManager::setDefaultFontSize(platform::UserDefaults& defaults) {
    for (std::string_view key : {kWatchlistFontSizeKey, kPositionsFontSizeKey})
        if (!isFontSizeAvailableForKey(defaults, key))
            saveFontSizeInfo(defaults, kDefaultFontSize, key);
}

std::size_t idleChoiceIndex(std::int64_t storedSeconds) {
    for (std::size_t i = 0; i < kIdleChoices.size(); ++i)
        if (kIdleChoices[i].seconds == storedSeconds)
            return i;
    return 0;
}

bool idleTimeoutReached(std::int64_t settingSeconds, std::int64_t idleSeconds) {
    return settingSeconds > 0 && idleSeconds >= 0 && idleSeconds >= settingSeconds;
}

IdleTimeChecker::IdleTimeChecker(const platform::UserDefaults& defaults, IdleSource& source,
                                 std::function<void()> onTimeout)
    : defaults_(defaults), source_(source), onTimeout_(std::move(onTimeout)) {}

void IdleTimeChecker::startCheckingIdleTime() {
    if (fired_)
        return;
    const std::int64_t setting = defaults_.integerForKey(kIdleTimeKey);
    if (setting <= 0)
        return; // never: the idle source is not even asked
    if (!idleTimeoutReached(setting, source_.idleSeconds()))
        return;
    fired_ = true;
    if (onTimeout_)
        onTimeout_();
}

} // namespace tc::gui
