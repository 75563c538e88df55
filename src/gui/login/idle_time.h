#pragma once
#include "gui/texts.h"
// The idle time-out: the choices of its sheet, where the idle time comes from, and the check the
// main window's one-second refresh runs. Free of Qt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

inline constexpr std::string_view kIdleTimeKey = "IdleTime"; // seconds, 0 = never

// The idle time-out choices: stored seconds and the minutes shown (kNever for never, else
// "<minutes> " and the text of kMinutesWithoutInput).
struct IdleChoice {
    std::int64_t seconds;
    int minutes;
};
inline constexpr std::array<IdleChoice, 5> kIdleChoices = {
    {{0, 0}, {300, 5}, {600, 10}, {1800, 30}, {3600, 60}}};
inline constexpr std::string_view kIdleNeverKey = texts::kNever;
inline constexpr std::string_view kIdleMinutesKey = texts::kMinutesWithoutInput;
// The choice that shows a stored "IdleTime"; any value not in the list shows "never" (0).
std::size_t idleChoiceIndex(std::int64_t storedSeconds);
// The time-out in force for a stored "IdleTime": what its choice says, so a value no choice holds
// (a hand-edited file) is never, as the sheet shows it, rather than ending the program unannounced.
std::int64_t idleTimeoutInForce(std::int64_t storedSeconds);

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
// takes effect at the next one, and calls onTimeout once when the time-out in force is reached.
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
