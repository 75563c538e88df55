// The business object's own messages: the login road's rooms, the account summary, password-change
// and demo-registration replies; the ping and the network speed.
#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/records/record_layout.h"
#include "model/records/tagged_fields.h"
#include "model/text/formatter.h"
#include "model/text/journal_data.h"
#include "model/text/positional_text.h"
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

std::string lowercaseAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::int32_t tradingStatusOfCode(std::int64_t code) {
    switch (code) {
    case 814:
        return 1;
    case 815:
        return 2;
    case 816:
        return 3;
    case 817:
        return 4;
    case 819:
        return 6;
    case 825:
        return 5;
    default:
        return 0;
    }
}

// The summary's figures. AvailableMargin and Equity keep their plain double reading, a figure that is
// not finite included.
constexpr auto kAccountSummaryLayout = records::recordLayout(
    records::int32(tag::kAccount, &AccountDetails::AccountId),
    records::decimal(tag::kUsedMargin, &AccountDetails::UsedMargin),
    records::text(
        tag::kAvailableMargin,
        [](AccountDetails& a, std::string_view v) { a.AvailableMargin = platform::lenientReal(v); }),
    records::decimal(tag::kOneSideMargin, &AccountDetails::oneSideMargin),
    records::text(tag::kEquity,
                  [](AccountDetails& a, std::string_view v) { a.Equity = platform::lenientReal(v); }),
    records::decimal(tag::kLeverage, &AccountDetails::LeverageOnPositions),
    records::decimal(tag::kStorage, &AccountDetails::AccumulatingStorage),
    records::decimal(tag::kCollateral, &AccountDetails::CollateralSecurity),
    records::decimal(tag::kBalance, &AccountDetails::Balance));

// The summary's statuses, kept apart: only a status the message carries sets off its transition.
struct SummaryStatus {
    std::optional<std::int32_t> trading;
    std::optional<std::int32_t> margin;
};
constexpr auto kSummaryStatusLayout = records::recordLayout(
    records::int64(tag::kAccountStatus,
                   [](SummaryStatus& s, std::int64_t code) { s.trading = tradingStatusOfCode(code); }),
    records::int32(tag::kMarginStatus, [](SummaryStatus& s, std::int32_t margin) { s.margin = margin; }));

struct PasswordChangeReply {
    std::string text;
    std::optional<std::string> newPassword;
};
constexpr auto kPasswordChangeLayout =
    records::recordLayout(records::text(tag::kText, &PasswordChangeReply::text),
                          records::text(tag::kNewPassword, [](PasswordChangeReply& r, std::string_view v) {
                              r.newPassword = std::string(v);
                          }));

struct DemoUserReply {
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::int32_t refusal = 0; // wire::registration, 0 when the answer names none
};
constexpr auto kDemoUserLayout = records::recordLayout(
    records::text(tag::kUserName, [](DemoUserReply& r, std::string_view v) { r.user = std::string(v); }),
    records::text(tag::kPassword, [](DemoUserReply& r, std::string_view v) { r.password = std::string(v); }),
    records::int32(tag::kRejectionCode, &DemoUserReply::refusal));

struct PingReply {
    std::optional<WallTime> serverTime;
};
// A time that does not read leaves the one read before. Its fields are the server's, read as they
// stand: an hour the computer's zone skips is a time like any other.
constexpr auto kPingLayout =
    records::recordLayout(records::text(tag::kTime, [](PingReply& r, std::string_view v) {
        if (std::optional<WallTime> time = wallTimeFromWire(v))
            r.serverTime = *time;
    }));

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
    records::readTagged(fields, kAccountSummaryLayout, account);
    SummaryStatus status;
    records::readTagged(fields, kSummaryStatusLayout, status);
    if (status.trading) {
        account.tradingStatus = *status.trading;
        if (account.previousTradingStatus != account.tradingStatus) {
            switch (account.tradingStatus) {
            case 1:
            case 2:
            case 4:
                account.previousTradingStatus = account.tradingStatus;
                subscribeAllItems(true);
                break;
            case 3:
            case 6:
                account.previousTradingStatus = account.tradingStatus;
                if (onlyAccount)
                    subscribeAllItems(false);
                break;
            case 5:
                account.previousTradingStatus = account.tradingStatus;
                services_.requests->requestEquityPriceInfo(account.AccountId);
                break;
            default:
                break;
            }
        }
    }
    if (status.margin) {
        account.MarginStatus = *status.margin;
        account.accountMarginStatus = *status.margin;
        if (account.previousAccountMarginStatus != *status.margin) {
            account.previousAccountMarginStatus = *status.margin;
            if (*status.margin == 2) {
                services_.notifications->MarginCallNotification(sessionKey(account.AccountId));
                // The banner and the desktop notification pass: the Journal keeps it.
                appendJournal(JournalData::getSessionNoteJournalData(
                    fillPositional(textForKey(SessionEvents::kMarginCallKey),
                                   {sessionKey(account.AccountId)}),
                    journalContext()));
            }
        }
    }
}

void BusinessBase::UpdateUserInfo(const std::vector<std::string>& fields) {
    PasswordChangeReply reply;
    records::readTagged(fields, kPasswordChangeLayout, reply);
    const bool success = lowercaseAscii(reply.text) == "success";
    passwordChangeWaiting_ = false;
    // The stored password follows the server only when the change went through; a refusal is told
    // too, with the server's text, so the user does not take the old password for the new one.
    if (success) {
        if (reply.newPassword)
            loginData_.setPassword(*reply.newPassword);
    } else if (reply.text.empty()) {
        reply.text = textForKey("94702");
    }
    services_.events->passwordChangeAnswered(success, success ? std::string() : reply.text);
}

void BusinessBase::DemoUserCreationResponse(const std::vector<std::string>& fields) {
    DemoUserReply reply;
    records::readTagged(fields, kDemoUserLayout, reply);
    const bool created = reply.user && reply.password;
    if (!created)
        services_.notifications->demoUserCreationFailureNotification(reply.refusal);
    services_.events->demoUserCreated(created, reply.user.value_or(""), reply.password.value_or(""));
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
    pingTimer_ = std::make_unique<platform::RepeatingTimer>(kPingPeriod, [this] {
        checkServerAnswering();
        services_.requests->pingToServer();
    });
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
    PingReply reply;
    records::readTagged(fields, kPingLayout, reply);
    if (reply.serverTime)
        serverClock_ = ServerClockAnchor{*reply.serverTime, arrivedAt};
    lastServerAnswer_ = arrivedAt;
    ++pingsAnswered_;
    if (std::exchange(serverSilent_, false))
        platform::Log::info("the server answers again");
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
    // The age of the server's last time, on the monotonic clock: the zones of the two clocks and a
    // change of the computer's time play no part.
    const double elapsed =
        serverClock()
            ? std::chrono::duration<double>(platform::Clock::currentTime() - serverClock_->heardAt).count()
            : -1.0;
    networkSpeedStatus_.store(networkSpeedClass(elapsed));
    announceNetworkSpeed();
}

void BusinessBase::announceNetworkSpeed() {
    // The clock as heard, with the moment its reply arrived: a silence or a network change told now
    // carries no newer time, and the windows move the clock on from that moment, not from this.
    postMain([this, text = heardServerTime(),
              heardAt = serverClock_ ? std::optional(serverClock_->heardAt) : std::nullopt,
              speed = networkSpeedStatus_.load(),
              answering = !serverSilent_] { events().networkSpeedChanged(speed, text, heardAt, answering); });
}

bool BusinessBase::isServerAnswering() const {
    TC_ASSERT_MAIN_QUEUE();
    return !serverSilent_;
}

platform::Clock::time_point BusinessBase::lastServerAnswer() const {
    TC_ASSERT_MAIN_QUEUE();
    return lastServerAnswer_.value_or(platform::Clock::currentTime());
}

void BusinessBase::dropAnsweredPings() {
    if (!lastServerAnswer_)
        return;
    const platform::Clock::time_point received{
        platform::Clock::duration(pingReplyReceived_.load(std::memory_order_relaxed))};
    // A ping followed by a reply is answered (the server answers in order); silence counts from the
    // first ping sent since the last reply, so a main thread held past the limit, which sent
    // nothing meanwhile, is no silence of the server's.
    const platform::Clock::time_point heard = std::max(*lastServerAnswer_, received);
    while (!pingsAwaited_.empty() && pingsAwaited_.front() <= heard)
        pingsAwaited_.pop_front();
}

bool BusinessBase::awaitsAnswers() const {
    // Silence is told once, when it starts; only a reply ends it. A session that is not signed in
    // has nothing to wait for: its loss or sign-out says enough.
    return !serverSilent_ && loginPhase_ == LoginPhase::SignedIn && lastServerAnswer_.has_value();
}

void BusinessBase::checkServerAnswering() {
    const platform::Clock::time_point now = platform::Clock::currentTime();
    const std::optional<platform::Clock::time_point> checkedBefore = std::exchange(lastPingCheck_, now);
    if (!awaitsAnswers())
        return;
    dropAnsweredPings();
    // A tick this late follows a hold of the client's own: with the whole program stopped, a reply
    // that came meanwhile may wait unread in the socket while this tick runs first. The pings still
    // waiting count on as if the hold had not been.
    if (checkedBefore && now - *checkedBefore > kPingHeldAfter)
        for (platform::Clock::time_point& sent : pingsAwaited_)
            sent += now - *checkedBefore - kPingPeriod;
    judgeSilence(now);
}

void BusinessBase::silenceLimitReached(platform::Clock::time_point due) {
    if (silenceCheckAt_ != due)
        return; // a check armed again since
    silenceCheckAt_.reset();
    if (!awaitsAnswers())
        return;
    const platform::Clock::time_point now = platform::Clock::currentTime();
    // Come this long after the last tick, the client itself was held: the tick, due as well, takes
    // the hold out of the pings' wait first and arms the check again.
    if (lastPingCheck_ && now - *lastPingCheck_ > kPingHeldAfter)
        return;
    dropAnsweredPings();
    judgeSilence(now);
}

void BusinessBase::armSilenceCheck(platform::Clock::time_point due) {
    // One check waits at a time: the oldest ping waiting only ever moves later, so the check that
    // waits arms the next. One long overdue (its task dropped) is replaced.
    const platform::Clock::time_point now = platform::Clock::currentTime();
    if (silenceCheckAt_ && *silenceCheckAt_ <= due && now - *silenceCheckAt_ < kPingHeldAfter)
        return;
    silenceCheckAt_ = due;
    postMainAfter(std::max(due - now, platform::Clock::duration::zero()),
                  [this, due] { silenceLimitReached(due); });
}

void BusinessBase::judgeSilence(platform::Clock::time_point now) {
    if (pingsAwaited_.empty())
        return;
    const platform::Clock::time_point due = pingsAwaited_.front() + kServerSilentAfter;
    if (now < due) {
        armSilenceCheck(due);
        return;
    }
    serverSilent_ = true;
    silenceCheckAt_.reset();
    networkSpeedStatus_.store(networkSpeedClass(-1.0));
    platform::Log::warning("the server has not answered a ping for {} s; orders are refused until it does",
                           std::chrono::duration_cast<std::chrono::seconds>(kServerSilentAfter).count());
    announceNetworkSpeed();
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
