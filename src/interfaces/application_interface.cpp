#include "interfaces/application_interface.h"

namespace interfaces {

InAppNotification makeCommonBanner(std::string_view applicationName, std::string_view message,
                                   std::string_view title) {
    InAppNotification n;
    n.title = std::string(applicationName);
    n.subtitle = std::string(title);
    n.informativeText = std::string(message);
    n.hasActionButton = false;
    n.feature.dismissDelayTime = 5.0;
    n.feature.lineBreakMode = 0;
    n.soundName = std::string(kInAppNotificationDefaultSound);
    return n;
}

} // namespace interfaces
