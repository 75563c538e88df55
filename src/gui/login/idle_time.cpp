#include "gui/login/idle_time.h"

#include "platform/user_defaults.h"

namespace tc::gui {

std::size_t idleChoiceIndex(std::int64_t storedSeconds) {
    for (std::size_t i = 0; i < kIdleChoices.size(); ++i)
        if (kIdleChoices[i].seconds == storedSeconds)
            return i;
    return 0;
}

std::int64_t idleTimeoutInForce(std::int64_t storedSeconds) {
    return kIdleChoices[idleChoiceIndex(storedSeconds)].seconds;
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
    const std::int64_t setting = idleTimeoutInForce(defaults_.integerForKey(kIdleTimeKey));
    if (setting <= 0)
        return; // never: the idle source is not even asked
    if (!idleTimeoutReached(setting, source_.idleSeconds()))
        return;
    fired_ = true;
    if (onTimeout_)
        onTimeout_();
}

} // namespace tc::gui
