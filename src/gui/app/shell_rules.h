#pragma once
// Fixed tables and small rules of the application shell, free of Qt so they are tested without a
// display: the user-default keys, the language list, the login form's checks, the network-status
// images, the font-size and idle-time choices, the font-size store and the idle time-out.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

// User defaults the shell reads and writes.
inline constexpr std::string_view kLanguageKey = "LanguageKey"; // 0..11, absent = 0
inline constexpr std::string_view kThemeKey = "Theme";          // 0 dark, 1 light
inline constexpr std::string_view kIdleTimeKey = "IdleTime";    // seconds, 0 = never
inline constexpr std::string_view kWatchlistFontSizeKey = "WatchlistFontSize";
inline constexpr std::string_view kPositionsFontSizeKey = "PositionsFontSize";

// Languages by number, as the language chooser lists them and "LanguageKey" stores them.
inline constexpr std::array<std::string_view, 12> kLanguageNames = {
    "English", "中文",     "नेपाली",     "Dari",  "Pashto",  "العربية",
    "ру́сский", "français", "Indonesia", "বাংলা", "español", "Shqiptar",
};
bool isLanguage(std::int64_t number);
// The language in force for a stored "LanguageKey": a number outside the list means English (0).
std::int64_t languageForStoredValue(std::optional<std::int64_t> stored);

// The login form as typed.
struct LoginFields {
    std::string_view server;
    std::string_view port;
    std::string_view userName;
    std::string_view password;
};
// The port of the form: 1..65535 written in digits, else nullopt.
std::optional<std::int32_t> parsePort(std::string_view text);
// The text key of the first field that keeps the form from being sent, in the order server, port,
// user name, password: "0004", "0005", "0002", "0003". Server, port and user name made of blanks
// count as empty, and so does a port outside 1..65535; the password is taken as typed. nullopt when
// the form may be sent.
std::optional<std::string_view> loginValidationKey(const LoginFields& fields);

// What the main window's status area shows for a network-speed class.
struct NetworkStatusLook {
    std::string_view speedImage;
    std::string_view connectionImage;
    std::string_view textKey;
};
// Classes 0 (fastest) to 3 (poor or lost); any other number changes nothing (nullopt).
std::optional<NetworkStatusLook> networkStatusLook(std::int64_t speedClass);

// The font sizes the settings offer for the quotes board and the order and position tables.
struct FontSizeChoice {
    std::int64_t size;
    std::string_view nameKey;
};
inline constexpr std::array<FontSizeChoice, 4> kFontSizeChoices = {{
    {10, "11023"},
    {12, "11024"},
    {16, "11025"},
    {20, "11026"},
}};
inline constexpr std::int64_t kDefaultFontSize = 12;
// The row of a size in kFontSizeChoices; nullopt for any other size.
std::optional<std::size_t> fontSizeChoiceIndex(std::int64_t size);

// The font sizes in the user defaults.
class PreferenceManager {
public:
    static void saveFontSizeInfo(platform::UserDefaults& defaults, std::int64_t size, std::string_view key);
    // 0 when nothing is stored.
    static std::int64_t getFontSizeInfoForKey(const platform::UserDefaults& defaults, std::string_view key);
    static bool isFontSizeAvailableForKey(const platform::UserDefaults& defaults, std::string_view key);
    // At start-up: both sizes that are not stored yet become kDefaultFontSize.
    static void setDefaultFontSize(platform::UserDefaults& defaults);
};

// The idle time-out choices: stored seconds and the minutes shown ("0228" for never, else
// "<minutes> " and the text of "0497").
struct IdleChoice {
    std::int64_t seconds;
    int minutes;
};
inline constexpr std::array<IdleChoice, 5> kIdleChoices = {
    {{0, 0}, {300, 5}, {600, 10}, {1800, 30}, {3600, 60}}};
inline constexpr std::string_view kIdleNeverKey = "0228";
inline constexpr std::string_view kIdleMinutesKey = "0497";
// The choice that shows a stored "IdleTime"; any value not in the list shows "never" (0).
std::size_t idleChoiceIndex(std::int64_t storedSeconds);

// Seconds since the user last touched keyboard or mouse, or -1 when that cannot be told.
class IdleSource {
public:
    virtual ~IdleSource() = default;
    virtual std::int64_t idleSeconds() = 0;
};

// The time-out fires once the idle time has reached the setting; a late check that first sees a
// longer idle time still fires. A setting of 0 and an unknown idle time never fire.
bool idleTimeoutReached(std::int64_t settingSeconds, std::int64_t idleSeconds);

// Run by the main window's one-second refresh: reads "IdleTime" at every check, so a new setting
// takes effect at the next one, and calls onTimeout once when the time-out is reached.
class IdleTimeChecker {
public:
    IdleTimeChecker(const platform::UserDefaults& defaults, IdleSource& source,
                    std::function<void()> onTimeout);
    void startCheckingIdleTime();
    bool hasTimedOut() const { return fired_; }

private:
    const platform::UserDefaults& defaults_;
    IdleSource& source_;
    std::function<void()> onTimeout_;
    bool fired_ = false;
};

} // namespace tc::gui
