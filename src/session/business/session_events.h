#pragma once
// How the session shows the user what the server sent: banners, alerts and sounds through the
// application shell (the windows follow the typed events instead). Every method may be called from
// any thread; the banners happen later on the main queue, in call order.
// Texts from the server are shown as they stand: they are never read as a format, and addresses
// from the server are opened only when they are http or https.
#include "interfaces/application_interface.h"
#include "model/text/journal_data.h"
#include "platform/handler.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

class BusinessBase;
class Order;

class SessionEvents {
public:
    // Longest server text a banner shows; longer texts are cut (at a character boundary) and logged.
    static constexpr std::size_t kMaxServerTextBytes = 16 * 1024;
    static constexpr std::size_t kMaxURLBytes = 2048;
    static constexpr std::string_view kAppDownloadURLKey = "AppDownloadURL";
    // The margin calls' banner title, and its line for an account (the journal's line too).
    static constexpr std::string_view kMarginCallTitleKey = "97400";
    static constexpr std::string_view kMarginCallKey = "97401";

    SessionEvents(interfaces::ApplicationInterface& app);
    // The same for a part of an owner: once the owner's guard is disconnected, nothing queued here is
    // shown any more, and a banner it delivered no longer answers a click.
    SessionEvents(interfaces::ApplicationInterface& app, platform::CallbackGuard::Scope owner);

    // The events of a part of the session (funding, chat, statements): nothing queued is shown once
    // the business object is going.
    static std::unique_ptr<SessionEvents> ForPartOf(BusinessBase& business);

    // Plays "welcome".
    void LoginSuccessNotification();
    // The banner and system notification of an approval: title and message as composed by the caller.
    void CommonUserNotification(std::string message, std::string title);

    // Banners and alerts.
    // The refusal of a demo registration: a form the server did not take names the field it
    // refused (`code`, wire::registration); only a refusal without a code is "try again later".
    void demoUserCreationFailureNotification(std::int32_t code = 0);
    // [sender user name, message, sender display name]; nothing for an empty list, a missing sender, or
    // a message of the signed-in user (sign-in name or `chatUserName`).
    void NewChatMessageNotification(const std::vector<std::string>& message, std::string_view chatUserName,
                                    std::string_view ownUserName);
    void TriggerNewChatNotification(std::string displayName, std::string message);
    void NewMessageNotification(std::string noticeTitle);
    void NewMessagesNotification(std::int64_t count);
    void MarginCallNotification(std::int32_t accountNumber);
    // A lasting banner with a "Download" button; the message is also the download address.
    void appUpdateNotification(std::string message);
    // "<ItemCode>#<SettledPrice>#<SettlementId>".
    void ShowSettledOrderNotification(std::string settlement);
    // "Order Rejected": the request refused as the trader reads it, or when the refusal answers none
    // of the session's requests, only that an order was refused; then the reason.
    void OrderRejectionNotification(std::string reason, std::string request = {});
    // Sound "order", then the modal alert or the banner as the user prefers, then the system notification.
    void TradeConfirmationNotification(std::string message);
    // An executed order with quantity left: queues the trade confirmation and returns the journal line
    // to append; nullopt (and nothing shown) for no order or no quantity left. The price shows at least
    // `priceDecimals` digits after the point (the instrument's).
    std::optional<std::string> orderExecutedNotification(const std::shared_ptr<Order>& order,
                                                         const JournalContext& context,
                                                         std::int32_t priceDecimals);

    // The banner centre's delegate.
    bool shouldPresentNotification(const interfaces::InAppNotification&) const { return true; }
    // A banner carrying a download address opens it and quits, only for an http or https address.
    void didActivateNotification(const interfaces::InAppNotification& notification);
    void didDeliverNotification(const interfaces::InAppNotification&) {}

    // An absolute http or https address with a host, no blanks or control characters, within the cap.
    static bool IsOpenableURL(std::string_view url);
    // The text key of a registration refusal's code (wire::registration); "0314" for none or another.
    static std::string_view demoRefusalKey(std::int32_t code);

private:
    struct Context;
    void OnMain(std::function<void(const Context&)> work) const;

    platform::CallbackGuard bannerGuard_;
    std::shared_ptr<const Context> context_;
};

} // namespace tc
