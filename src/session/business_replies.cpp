// Account summary, password-change and demo-registration replies; the ping and the network speed.
#include "connection/login_inputdata.h"
#include "connection/message_cracker.h"
#include "connection/wire_fields.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "session/account_details.h"
#include "session/business_base.h"
#include "session/formatter.h"
#include "session/session_events.h"
#include "session/session_keys.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace {

std::int32_t intValue(std::string_view text) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(platform::lenientInteger(text), INT32_MIN, INT32_MAX));
}

std::string lowercaseAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

void BusinessBase::UpdateAccountDetails(const std::vector<std::string>& fields,
                                        const std::string& accountId) {
    auto it = session_.AccountDetailCollection.find(accountId);
    if (it == session_.AccountDetailCollection.end() || !it->second)
        return;
    AccountDetails& account = *it->second;
    const bool onlyAccount = session_.AccountDetailCollection.size() == 1;
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            continue;
        switch (f.tag) {
        case 24: {
            int status = 0;
            switch (platform::lenientInteger(f.value)) {
            case 814:
                status = 1;
                break;
            case 815:
                status = 2;
                break;
            case 816:
                status = 3;
                break;
            case 817:
                status = 4;
                break;
            case 819:
                status = 6;
                break;
            case 825:
                status = 5;
                break;
            default:
                status = 0;
                break;
            }
            account.tradingStatus = status;
            if (account.previoustradingStatus == status)
                break;
            switch (status) {
            case 1:
            case 2:
            case 4:
                account.previoustradingStatus = status;
                subscribeAllItems(true);
                break;
            case 3:
            case 6:
                account.previoustradingStatus = status;
                if (onlyAccount)
                    subscribeAllItems(false);
                break;
            case 5:
                account.previoustradingStatus = status;
                services_.requests->requestEquityPriceinfo(account.AccountId);
                break;
            default:
                break;
            }
            break;
        }
        case 34:
            account.AccountId = intValue(f.value);
            break;
        case 84:
            account.UsedMargin = platform::lenientReal(f.value);
            break;
        case 85:
            account.AvailableMargin = platform::lenientReal(f.value);
            break;
        case 120:
            account.oneSideMargin = platform::lenientReal(f.value);
            break;
        case 129: {
            const std::int32_t margin = intValue(f.value);
            account.MarginStatus = margin;
            account.accountMarginStatus = margin;
            if (account.previousaccountMarginStatus != margin) {
                account.previousaccountMarginStatus = margin;
                if (margin == 2)
                    services_.notifications->MarginCallNotification(sessionKey(account.AccountId));
            }
            break;
        }
        case 130:
            account.Equity = platform::lenientReal(f.value);
            break;
        case 132:
            account.LeverageOnPositions = platform::lenientReal(f.value);
            break;
        case 141:
            account.AccumulatingStorage = platform::lenientReal(f.value);
            break;
        case 144:
            account.CollateralSecurity = platform::lenientReal(f.value);
            break;
        case 560:
            account.Balance = platform::lenientReal(f.value);
            break;
        default:
            break;
        }
    }
}

void BusinessBase::UpdateUserInfo(const std::vector<std::string>& fields) {
    bool success = false;
    std::optional<std::string> newPassword;
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            continue;
        if (f.tag == 17 && lowercaseAscii(f.value) == "success")
            success = true;
        else if (f.tag == 103)
            newPassword = std::string(f.value);
    }
    // The stored password follows the server only when the change went through.
    if (success) {
        if (newPassword)
            logindata_.setPassword(*newPassword);
        postMain([this] { services_.notifications->passwordChangeNotification(); });
    }
}

void BusinessBase::DemoUserCreationResponse(const std::vector<std::string>& fields) {
    std::optional<std::string> user, password;
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            continue;
        if (f.tag == 23)
            user = std::string(f.value);
        else if (f.tag == 18)
            password = std::string(f.value);
    }
    if (user && password) {
        postMain([this, user = *user, password = *password] {
            services_.notifications->demoUserCreationNotification(user, password);
        });
    } else {
        postMain([this] { services_.notifications->demoUserCreationFailureNotification(); });
    }
}

// ---- ping ----

void BusinessBase::startPingTimer() {
    std::lock_guard lock(timerLock_);
    if (pingTimer_) {
        // One timer per session: a repeated login completion restarts nothing.
        if (!pingTimer_->isRunning())
            pingTimer_->start();
        return;
    }
    pingTimer_ = std::make_unique<platform::RepeatingTimer>(std::chrono::seconds(1),
                                                            [this] { services_.requests->pingToserver(); });
    pingTimer_->start();
}

void BusinessBase::stopPingTimer() {
    std::lock_guard lock(timerLock_);
    if (pingTimer_)
        pingTimer_->stop();
}

bool BusinessBase::isPingTimerRunning() const {
    std::lock_guard lock(timerLock_);
    return pingTimer_ && pingTimer_->isRunning();
}

std::int32_t BusinessBase::networkSpeedClass(double elapsed) {
    if (elapsed >= 0 && elapsed < 1)
        return 0;
    if (elapsed >= 1 && elapsed < 2)
        return 1;
    if (elapsed >= 2 && elapsed <= 3)
        return 2;
    return 3;
}

void BusinessBase::handlePingReply(const std::vector<std::string>& fields) {
    static thread_local platform::DateFormatter wireDate(Formatter::kWireDateTime, Formatter::kLocale);
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue || f.tag != 21)
            continue;
        if (std::optional<platform::Date> date = wireDate.parse(f.value)) {
            std::lock_guard lock(valuesLock_);
            serverDate_ = *date;
        }
    }
    const std::optional<platform::Clock::time_point> sent = pingTime();
    if (sent)
        calculateNetworkSpeed(*sent);
    else
        platform::Log::debug("ping reply without a ping sent");
}

void BusinessBase::calculateNetworkSpeed(platform::Clock::time_point since) {
    const double elapsed = std::chrono::duration<double>(platform::Clock::currentTime() - since).count();
    networkspeedStatus_.store(networkSpeedClass(elapsed));
    postMain([this, text = ServerTime()] { services_.notifications->postnetworkspeedNotification(text); });
}

void BusinessBase::calculateNetworkSpeedFromServerDate() {
    const std::optional<platform::Date> date = serverDate();
    const double elapsed = date ? platform::Date::now().secondsSince1970 - date->secondsSince1970 : -1.0;
    networkspeedStatus_.store(networkSpeedClass(elapsed));
    postMain([this, text = ServerTime()] { services_.notifications->postnetworkspeedNotification(text); });
}

void BusinessBase::userNotificationCenterDidActivateNotification(
    const std::map<std::string, std::string>& userInfo) {
    auto it = userInfo.find("AppDownloadURL");
    if (it == userInfo.end() || it->second.empty())
        return;
    if (!SessionEvents::isOpenableURL(it->second)) {
        platform::Log::warning("download address from the server is not a web address; not opened");
        return;
    }
    application_.openURL(it->second);
    application_.terminate();
}
