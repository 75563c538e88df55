// The business object's own messages: the login road's rooms, the account summary, password-change
// and demo-registration replies; the ping and the network speed.
#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/text/formatter.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "session/business/business_base.h"
#include "session/business/session_events.h"
#include "wire/login_inputdata.h"
#include "wire/message_cracker.h"
#include "wire/wire_date.h"
#include "wire/wire_fields.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace tc {

namespace msg = wire::msg;
namespace tag = wire::tag;

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

void BusinessBase::enterOwnMessages() {
    // A snapshot and a refusal are read on the receiving thread, which hands on their step itself.
    rooms_.enter(msg::kLoginSnapshot, {}, false, nullptr, interfaces::TableSet::all());
    rooms_.enter(msg::kLoginRefused, {}, false, nullptr);
    rooms_.enter(msg::kLoginCompleted, {}, false, [this](const RoomMessage&) { handleLoginCompleted(); });
    rooms_.enter(msg::kRelogin, {}, false, [this](const RoomMessage&) { handleRelogin(); });
    rooms_.enter(msg::kLoggedInElsewhere, {tag::kNotice}, false, [this](const RoomMessage& m) {
        disconnectServer();
        application_.onSignedInElsewhere(m.text(tag::kNotice));
    });
    rooms_.enter(msg::kPasswordChangeReply, {}, true,
                 [this](const RoomMessage& m) { UpdateUserInfo(m.fields()); });
    rooms_.enter(msg::kDemoRegistrationReply, {}, true,
                 [this](const RoomMessage& m) { DemoUserCreationResponse(m.fields()); });
    rooms_.enter(msg::kPingReply, {}, true,
                 [this](const RoomMessage& m) { handlePingReply(m.fields(), m.arrivedAt()); });
    rooms_.enter(msg::kAccountSummary, {tag::kAccount}, true,
                 [this](const RoomMessage& m) { UpdateAccountDetails(m.fields(), m.text(tag::kAccount)); },
                 {interfaces::Table::Accounts});
}

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
        case tag::kAccountStatus: {
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
            if (account.previousTradingStatus == status)
                break;
            switch (status) {
            case 1:
            case 2:
            case 4:
                account.previousTradingStatus = status;
                subscribeAllItems(true);
                break;
            case 3:
            case 6:
                account.previousTradingStatus = status;
                if (onlyAccount)
                    subscribeAllItems(false);
                break;
            case 5:
                account.previousTradingStatus = status;
                services_.requests->requestEquityPriceInfo(account.AccountId);
                break;
            default:
                break;
            }
            break;
        }
        case tag::kAccount:
            account.AccountId = intValue(f.value);
            break;
        case tag::kUsedMargin:
            account.UsedMargin = RecordFields::compactOf(lenientDecimal(f.value));
            break;
        case tag::kAvailableMargin:
            account.AvailableMargin = platform::lenientReal(f.value);
            break;
        case tag::kOneSideMargin:
            account.oneSideMargin = RecordFields::compactOf(lenientDecimal(f.value));
            break;
        case tag::kMarginStatus: {
            const std::int32_t margin = intValue(f.value);
            account.MarginStatus = margin;
            account.accountMarginStatus = margin;
            if (account.previousAccountMarginStatus != margin) {
                account.previousAccountMarginStatus = margin;
                if (margin == 2)
                    services_.notifications->MarginCallNotification(sessionKey(account.AccountId));
            }
            break;
        }
        case tag::kEquity:
            account.Equity = platform::lenientReal(f.value);
            break;
        case tag::kLeverage:
            account.LeverageOnPositions = RecordFields::compactOf(lenientDecimal(f.value));
            break;
        case tag::kStorage:
            account.AccumulatingStorage = RecordFields::compactOf(lenientDecimal(f.value));
            break;
        case tag::kCollateral:
            account.CollateralSecurity = RecordFields::compactOf(lenientDecimal(f.value));
            break;
        case tag::kBalance:
            account.Balance = RecordFields::compactOf(lenientDecimal(f.value));
            break;
        default:
            break;
        }
    }
}

void BusinessBase::UpdateUserInfo(const std::vector<std::string>& fields) {
    bool success = false;
    std::string text;
    std::optional<std::string> newPassword;
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            continue;
        if (f.tag == tag::kText) {
            text = std::string(f.value);
            success = lowercaseAscii(f.value) == "success";
        } else if (f.tag == tag::kNewPassword) {
            newPassword = std::string(f.value);
        }
    }
    // The stored password follows the server only when the change went through; a refusal is told
    // too, with the server's text, so the user does not take the old password for the new one.
    if (success) {
        if (newPassword)
            loginData_.setPassword(*newPassword);
    } else if (text.empty()) {
        text = "The server refused the password change.";
    }
    services_.events->passwordChangeAnswered(success, success ? std::string() : text);
}

void BusinessBase::DemoUserCreationResponse(const std::vector<std::string>& fields) {
    std::optional<std::string> user, password;
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            continue;
        if (f.tag == tag::kUserName)
            user = std::string(f.value);
        else if (f.tag == tag::kPassword)
            password = std::string(f.value);
    }
    if (!user || !password)
        services_.notifications->demoUserCreationFailureNotification();
    services_.events->demoUserCreated(user && password, user.value_or(""), password.value_or(""));
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
                                                            [this] { services_.requests->pingToServer(); });
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

void BusinessBase::handlePingReply(const std::vector<std::string>& fields,
                                   platform::Clock::time_point arrivedAt) {
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue || f.tag != tag::kTime)
            continue;
        if (std::optional<platform::Date> date = wire::parseDate(f.value))
            serverDate_ = *date;
    }
    const std::optional<platform::Clock::time_point> sent = pingTime();
    // Measured to the reply's arrival, not to the moment the main queue got to it.
    if (sent)
        calculateNetworkSpeed(*sent, arrivedAt);
    else
        platform::Log::debug("ping reply without a ping sent");
}

void BusinessBase::calculateNetworkSpeed(platform::Clock::time_point since,
                                         std::optional<platform::Clock::time_point> until) {
    const double elapsed =
        std::chrono::duration<double>(until.value_or(platform::Clock::currentTime()) - since).count();
    networkSpeedStatus_.store(networkSpeedClass(elapsed));
    announceNetworkSpeed();
}

void BusinessBase::calculateNetworkSpeedFromServerDate() {
    const std::optional<platform::Date> date = serverDate();
    const double elapsed = date ? platform::Date::now().secondsSince1970 - date->secondsSince1970 : -1.0;
    networkSpeedStatus_.store(networkSpeedClass(elapsed));
    announceNetworkSpeed();
}

void BusinessBase::announceNetworkSpeed() {
    postMain([this, text = ServerTime(), speed = networkSpeedStatus_.load()] {
        events().networkSpeedChanged(speed, text.value_or(""));
    });
}

void BusinessBase::userNotificationCenterDidActivateNotification(
    const std::map<std::string, std::string>& userInfo) {
    auto it = userInfo.find("AppDownloadURL");
    if (it == userInfo.end() || it->second.empty())
        return;
    if (!SessionEvents::IsOpenableURL(it->second)) {
        platform::Log::warning("download address from the server is not a web address; not opened");
        return;
    }
    application_.openAddress(it->second);
    application_.quit();
}

} // namespace tc
