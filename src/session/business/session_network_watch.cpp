#include "session/business/session_network_watch.h"

#include "connection/connection_notifications.h"
#include "connection/reachability_notifier.h"
#include "model/text/language_string.h"
#include "platform/log.h"
#include "session/business/business_base.h"

namespace tc {

SessionNetworkWatch::SessionNetworkWatch(BusinessBase& business, platform::NotificationCenter& center)
    : business_(business) {
    observer_ = center.observe(
        std::string(kkReachabilityChangedNotification), [this](const platform::Notification& n) {
            if (const auto* watcher = n.objectAs<std::shared_ptr<ReachabilityNotifier>>();
                watcher && *watcher)
                reachabilityChanged((*watcher)->isReachable());
        });
}

SessionNetworkWatch::~SessionNetworkWatch() = default;

void SessionNetworkWatch::reachabilityChanged(bool reachable) {
    const bool returned = reachable && reachable_ == false;
    const bool lost = !reachable && reachable_ != false;
    reachable_ = reachable;
    business_.conn().setIsNetworkAvailable(reachable);
    if (lost) {
        // Signed in or not, the user hears that the network went.
        interfaces::ApplicationInterface& app = business_.application();
        const auto text = [&app](std::string_view key) {
            return LanguageString::stringForSelectedLanguage(app.selectedLanguage(), key)
                .value_or(std::string(key));
        };
        app.showBanner(interfaces::makeCommonBanner(app.applicationName(), text("1074"), text("1078")));
    }
    if (returned && business_.isLoginCompleted() && business_.conn().IsStreamConnected()) {
        platform::Log::info("network back: feed and data service reconnected");
        ++resubscriptions_;
        business_.reconnectZMQAndSubscribeAllItems();
    }
    if (lost && business_.isLoginCompleted() && business_.conn().IsStreamConnected()) {
        business_.postMainAfter(kSpeedCheckDelay,
                                [&business = business_] { business.calculateNetworkSpeedFromServerDate(); });
    }
}

} // namespace tc
