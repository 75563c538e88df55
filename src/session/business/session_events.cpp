#include "session/business/session_events.h"

#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/text/formatter.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "session/business/business_base.h"
#include "wire/wire_names.h"

#include <array>
#include <utility>

namespace tc {

namespace {

constexpr double kChatBannerSeconds = 15.0;
constexpr double kNoticeBannerSeconds = 30.0;
constexpr double kMarginCallBannerSeconds = 30.0;
constexpr double kStaysUntilActed = -1.0;

std::string text(std::int64_t language, std::string_view key) {
    return LanguageString::stringForSelectedLanguage(language, key).value_or(std::string(key));
}

// Server texts beyond the cap are cut at a character boundary.
std::string bounded(std::string value) {
    if (value.size() <= SessionEvents::kMaxServerTextBytes)
        return value;
    platform::Log::warning("server text of {} bytes cut to {} for display", value.size(),
                           SessionEvents::kMaxServerTextBytes);
    std::size_t end = SessionEvents::kMaxServerTextBytes;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80)
        --end;
    value.resize(end);
    value.append("\u2026");
    return value;
}

interfaces::InAppNotification banner(std::string title, std::string subtitle, std::string informativeText,
                                     double delay) {
    interfaces::InAppNotification n;
    n.title = std::move(title);
    n.subtitle = std::move(subtitle);
    n.informativeText = std::move(informativeText);
    n.hasActionButton = false;
    n.feature.dismissDelayTime = delay;
    n.soundName = std::string(interfaces::kInAppNotificationDefaultSound);
    return n;
}

// A chat message or a notice: its window keeps it, so the banner may give way to one that must be told.
interfaces::InAppNotification keptElsewhere(interfaces::InAppNotification n) {
    n.keptElsewhere = true;
    return n;
}

} // namespace

struct SessionEvents::Context : std::enable_shared_from_this<SessionEvents::Context> {
    Context(interfaces::ApplicationInterface& a, platform::CallbackGuard::Scope o,
            platform::CallbackGuard::Scope b)
        : app(a), owner(std::move(o)), banners(std::move(b)) {}

    interfaces::ApplicationInterface& app;
    platform::CallbackGuard::Scope owner;
    // The events object's own: a banner it delivered answers clicks while it lives.
    platform::CallbackGuard::Scope banners;

    std::string t(std::string_view key) const { return text(app.selectedLanguage(), key); }
    // The session becomes the banner centre's delegate, then the banner goes out.
    void deliver(const interfaces::InAppNotification& notification) const;
    void activate(const interfaces::InAppNotification& notification) const;
    // The common banner (message, title), then the system notification (title, message).
    void commonBannerAndSystemNotification(const std::string& message, const std::string& title) const {
        app.showMessageBanner(message, title);
        app.showSystemNotification(title, message);
    }
};

void SessionEvents::Context::deliver(const interfaces::InAppNotification& notification) const {
    app.setBannerDelegate(
        owner.bind(banners.bind([self = shared_from_this()](const interfaces::InAppNotification& clicked) {
            self->activate(clicked);
        })));
    app.showBanner(notification);
}

void SessionEvents::Context::activate(const interfaces::InAppNotification& notification) const {
    const auto it = notification.userInfo.find(kAppDownloadURLKey);
    if (it == notification.userInfo.end() || it->second.empty())
        return;
    if (!IsOpenableURL(it->second)) {
        platform::Log::warning("download address refused, not an http or https address: {}",
                               std::string_view(it->second).substr(0, 200));
        return;
    }
    app.openAddress(it->second);
    app.quit();
}

SessionEvents::SessionEvents(interfaces::ApplicationInterface& app) : SessionEvents(app, {}) {}

SessionEvents::SessionEvents(interfaces::ApplicationInterface& app, platform::CallbackGuard::Scope owner)
    : context_(std::make_shared<const Context>(app, std::move(owner), bannerGuard_.scope())) {}

void SessionEvents::OnMain(std::function<void(const Context&)> work) const {
    platform::MainQueue::async(
        context_->owner.bind([context = context_, work = std::move(work)] { work(*context); }));
}

void SessionEvents::LoginSuccessNotification() {
    OnMain([](const Context& c) { c.app.playSound("welcome"); });
}

std::unique_ptr<SessionEvents> SessionEvents::ForPartOf(BusinessBase& business) {
    return std::make_unique<SessionEvents>(business.application(), business.lifetime());
}

void SessionEvents::CommonUserNotification(std::string message, std::string title) {
    OnMain([message = bounded(std::move(message)), title = bounded(std::move(title))](const Context& c) {
        c.commonBannerAndSystemNotification(message, title);
    });
}

// ---- banners and alerts

std::string_view SessionEvents::demoRefusalKey(std::int32_t code) {
    switch (code) {
    case wire::registration::kNameRefused:
        return "95250";
    case wire::registration::kEmailRefused:
        return "95251";
    case wire::registration::kPhoneRefused:
        return "95252";
    case wire::registration::kCountryRefused:
        return "95253";
    case wire::registration::kFormRefused:
        return "95254";
    case wire::registration::kNoUsersLeft:
        return "95255";
    default:
        return "0314";
    }
}

void SessionEvents::demoUserCreationFailureNotification(std::int32_t code) {
    OnMain([key = demoRefusalKey(code)](const Context& c) {
        c.app.showMessageAlert(c.t(key), c.app.applicationName());
    });
}

void SessionEvents::NewChatMessageNotification(const std::vector<std::string>& message,
                                               std::string_view chatUserName, std::string_view ownUserName) {
    if (message.empty() || message[0].empty())
        return;
    const std::string& sender = message[0];
    if (sender == ownUserName || sender == chatUserName)
        return;
    TriggerNewChatNotification(message.size() > 2 ? message[2] : std::string(),
                               message.size() > 1 ? message[1] : std::string());
}

void SessionEvents::TriggerNewChatNotification(std::string displayName, std::string message) {
    OnMain([displayName = bounded(std::move(displayName)),
            message = bounded(std::move(message))](const Context& c) {
        const std::string subtitle = c.t("20240") + " : " + displayName;
        c.deliver(keptElsewhere(banner(c.app.applicationName(), subtitle, message, kChatBannerSeconds)));
        c.app.showSystemNotification(subtitle, message);
    });
}

void SessionEvents::NewMessageNotification(std::string noticeTitle) {
    OnMain([title = bounded(std::move(noticeTitle))](const Context& c) {
        const std::string info = c.t("1073");
        c.deliver(keptElsewhere(banner(c.app.applicationName(), title, info, kNoticeBannerSeconds)));
        c.app.showSystemNotification(title, info);
    });
}

void SessionEvents::NewMessagesNotification(std::int64_t count) {
    OnMain([count](const Context& c) {
        const std::string subtitle = c.t("0099");
        const std::string info = fillPositional(c.t("20234"), {std::to_string(count)});
        c.deliver(keptElsewhere(banner(c.app.applicationName(), subtitle, info, kChatBannerSeconds)));
        c.app.showSystemNotification(subtitle, info);
    });
}

void SessionEvents::MarginCallNotification(std::int32_t accountNumber) {
    OnMain([accountNumber](const Context& c) {
        // One kind for every account: the calls of many accounts gather as lines of one banner.
        const std::string account = std::to_string(accountNumber);
        c.deliver(banner(c.app.applicationName(), c.t(kMarginCallTitleKey),
                         fillPositional(c.t(kMarginCallKey), {account}), kMarginCallBannerSeconds));
        const std::string subtitle = c.t("0012") + " : " + account;
        const std::string info = c.t("20217");
        c.app.showSystemNotification(subtitle, info);
    });
}

void SessionEvents::appUpdateNotification(std::string message) {
    OnMain([message = bounded(std::move(message))](const Context& c) {
        interfaces::InAppNotification n =
            banner("App Updates Available", fillPositional(c.t("20252"), {"\n"}), message, kStaysUntilActed);
        n.hasActionButton = true;
        n.actionButtonTitle = "Download";
        n.feature.lineBreakMode = 0;
        n.soundName = std::string(interfaces::kInAppNotificationDefaultSound2);
        n.userInfo.emplace(kAppDownloadURLKey, message);
        c.deliver(n);
    });
}

void SessionEvents::ShowSettledOrderNotification(std::string settlement) {
    OnMain([settlement = bounded(std::move(settlement))](const Context& c) {
        std::array<std::string, 3> parts; // ItemCode, SettledPrice, SettlementId
        std::size_t start = 0;
        for (std::size_t i = 0; i < parts.size() && start <= settlement.size(); ++i) {
            const std::size_t hash = settlement.find('#', start);
            parts[i] = settlement.substr(start, hash == std::string::npos ? std::string::npos : hash - start);
            start = hash == std::string::npos ? settlement.size() + 1 : hash + 1;
        }
        const std::string title = c.t("10980");
        const std::string message =
            '#' + parts[2] + '\n' + c.t("1020") + ' ' + parts[0] + " @" + parts[1] + ' ';
        c.commonBannerAndSystemNotification(message, title);
    });
}

void SessionEvents::OrderRejectionNotification(std::string reason, std::string request) {
    OnMain([reason = bounded(std::move(reason)), request = bounded(std::move(request))](const Context& c) {
        const std::string title = c.t("11006");
        const std::string what = request.empty() ? c.t("0072") + " : " + c.t("0538") : request;
        const std::string message = what + '\n' + c.t("0728") + ' ' + reason;
        c.commonBannerAndSystemNotification(message, title);
    });
}

void SessionEvents::TradeConfirmationNotification(std::string message) {
    OnMain([message = bounded(std::move(message))](const Context& c) {
        c.app.playSound("order");
        const std::string title = c.t("0307");
        if (c.app.showConfirmationAlert())
            c.app.showMessageAlert(message, title);
        else
            c.app.showMessageBanner(message, title);
        c.app.showSystemNotification(title, message);
    });
}

std::optional<std::string> SessionEvents::orderExecutedNotification(const std::shared_ptr<Order>& order,
                                                                    const JournalContext& context,
                                                                    std::int32_t priceDecimals) {
    if (!order || !(order->RemainingQty > platform::Decimal()))
        return std::nullopt;
    const std::int64_t language = context_->app.selectedLanguage();
    const std::string side = fillPositional(text(language, order->tradingMode != 0 ? "20219" : "20218"),
                                            {order->RemainingQty.toString(), order->ItemCode});
    TradeConfirmationNotification(text(language, "0012") + " : " + order->AccountNumber + '\n' +
                                  text(language, "0075") + " : " + order->OpenPositionId + '\n' + side +
                                  " @ " + decimalText(order->OrderPrice, priceDecimals));
    return JournalData::getOrderJournalData(JournalData::kOrderExecuted, *order, context, priceDecimals);
}

// ---- banner centre delegate

void SessionEvents::didActivateNotification(const interfaces::InAppNotification& notification) {
    context_->activate(notification);
}

bool SessionEvents::IsOpenableURL(std::string_view url) {
    if (url.empty() || url.size() > kMaxURLBytes)
        return false;
    for (char ch : url) {
        const auto u = static_cast<unsigned char>(ch);
        if (u <= 0x20 || u == 0x7F || ch == '\\')
            return false;
    }
    const auto colon = url.find("://");
    if (colon == std::string_view::npos)
        return false;
    std::string scheme(url.substr(0, colon));
    for (char& ch : scheme)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    if (scheme != "http" && scheme != "https")
        return false;
    const std::string_view rest = url.substr(colon + 3);
    const std::size_t hostEnd = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, hostEnd);
    // The host is what follows any user part; an address without one opens nothing.
    const std::size_t at = authority.rfind('@');
    const std::string_view host = at == std::string_view::npos ? authority : authority.substr(at + 1);
    return !host.empty() && host.front() != ':';
}

} // namespace tc
