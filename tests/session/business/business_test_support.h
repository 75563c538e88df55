#pragma once
// Fakes around the session object: the application, its notifications, the login requests and the
// snapshot loader, each recording what it was asked in order.
#include "interfaces/application_interface.h"
#include "model/records/history_rows.h"
#include "model/session_model.h"
#include "platform/base64.h"
#include "platform/bundle.h"
#include "platform/dispatch.h"
#include "session/business/business_base.h"
#include "session/business/business_services.h"
#include "support/wire_text.h"
#include "wire/data_additions.h"
#include "wire/login_inputdata.h"
#include "wire/message_base.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tc::sessiontest {

// A thread-safe list of the calls made, as texts ("name" or "name:argument").
class CallLog {
public:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::size_t count(const std::string& call) const {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const auto& c : calls_)
            n += c == call;
        return n;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// The history rows handed over, as "kind:id" in order (kinds: open, pending, settled, cancelled, equity).
class RowLog final : public HistoryRowSink {
public:
    void FillInitialOpenOrderCollection(const OpenOrderHD& r) override { log.add("open:" + r.PositionId); }
    void FillInitialPendingOrderCollection(const PendingOrderHD& r) override {
        log.add("pending:" + r.PendingOrderId);
    }
    void FillInitialSettledOrderCollection(const SettledOrderHD& r) override {
        log.add("settled:" + r.SettlementId);
    }
    void FillInitialCancelledOrderCollection(const CancelledOrderHD& r) override {
        log.add("cancelled:" + r.CancelledOrderId);
    }
    void SetEquityHitPriceInOrders(const EquityHitPriceInfos& r) override {
        log.add("equity:" + r.PositionId);
    }
    // The ids of one kind, in order.
    std::vector<std::string> of(std::string_view kind) const {
        std::vector<std::string> out;
        for (const auto& call : log.calls())
            if (call.starts_with(std::string(kind) + ":"))
                out.push_back(call.substr(kind.size() + 1));
        return out;
    }
    std::set<std::string> setOf(std::string_view kind) const {
        const auto ids = of(kind);
        return {ids.begin(), ids.end()};
    }
    CallLog log;
};

// Records the shell's calls that the login road makes; the rest do nothing.
class FakeApplication final : public interfaces::ApplicationInterface {
public:
    FakeApplication() : loginData_(std::make_unique<LoginInputData>()) {}
    // The sign-in data the tests hand their sessions.
    LoginInputData& loginData() { return *loginData_; }
    std::int64_t selectedLanguage() const override { return 0; }
    bool loginSuccess() const override { return false; }
    bool showConfirmationAlert() const override { return false; }
    std::string applicationName() const override { return "TradeClient"; }
    void onConnectionLost(const std::vector<std::string>& unanswered) override {
        ++connectionFailures;
        std::string line = "onConnectionLost";
        for (const std::string& request : unanswered)
            line += "|" + request;
        log.add(line);
    }
    void onSignedInElsewhere(const std::string& text) override { log.add("onSignedInElsewhere:" + text); }
    void onLoginRefused(const interfaces::LoginMessageAlert& alert) override {
        {
            std::lock_guard lock(mutex_);
            loginMessages_.push_back(alert);
        }
        log.add("onLoginRefused:" + alert.message);
    }
    void showMessageAlert(const std::string& message, const std::string&) override {
        log.add("showMessageAlert:" + message);
    }
    void showMessageBanner(const std::string&, const std::string&) override {}
    void showBanner(const interfaces::InAppNotification& banner) override { banners.push_back(banner); }
    void setBannerDelegate(BannerActivation) override {}
    void showSystemNotification(const std::string&, const std::string&) override {}
    void playSound(std::string_view) override {}
    void openAddress(const std::string& url) override { log.add("openAddress:" + url); }
    void quit() override { log.add("quit"); }

    std::vector<interfaces::LoginMessageAlert> loginMessages() const {
        std::lock_guard lock(mutex_);
        return loginMessages_;
    }

    std::unique_ptr<LoginInputData> loginData_;
    CallLog log;
    std::atomic<int> connectionFailures{0};
    std::vector<interfaces::InAppNotification> banners; // main queue

private:
    mutable std::mutex mutex_;
    std::vector<interfaces::LoginMessageAlert> loginMessages_;
};

class FakeNotifications final : public SessionNotifications {
public:
    void LoginSuccessNotification() override { log.add("LoginSuccessNotification"); }
    void appUpdateNotification(const std::string& m) override { log.add("appUpdateNotification:" + m); }
    void MarginCallNotification(const std::string& a) override { log.add("MarginCallNotification:" + a); }
    void demoUserCreationFailureNotification(std::int32_t code) override {
        log.add("demoUserCreationFailureNotification:" + std::to_string(code));
    }
    std::string getLoginJournalData(int event, const std::string& serverTime) override {
        return "journal " + std::to_string(event) + (serverTime.empty() ? "" : " at " + serverTime);
    }
    CallLog log;
};

// Records some of the typed events: "tablesChanged" (one per flush), "passwordChangeAnswered:<0|1>|text",
// "demoUserCreated:<0|1>|user|password", "bulkCloseRejected:<order number>/<reason>",
// "schedule:<market>", "bankDetails", "cancelledOrders", "chartArrived:<key>",
// "networkSpeed:<class>|<time>".
class FakeEvents final : public SessionEventSink {
public:
    void tablesChanged(const interfaces::TableChange& change) override {
        log.add("tablesChanged");
        lastChange = change;
    }
    void passwordChangeAnswered(bool accepted, const std::string& text) override {
        log.add("passwordChangeAnswered:" + std::to_string(accepted) + "|" + text);
    }
    void demoUserCreated(bool registered, const std::string& user, const std::string& password) override {
        log.add("demoUserCreated:" + std::to_string(registered) + "|" + user + "|" + password);
    }
    void bulkCloseRejected(const std::string& orderNumber, const std::string& reason) override {
        log.add("bulkCloseRejected:" + orderNumber + "/" + reason);
    }
    void sessionScheduleArrived(std::uint64_t, std::uint64_t market) override {
        log.add("schedule:" + std::to_string(market));
    }
    void bankDetailsArrived(std::uint64_t) override { log.add("bankDetails"); }
    void statementCancelledOrdersArrived(std::uint64_t) override { log.add("cancelledOrders"); }
    void chartArrived(std::uint64_t, const std::string& key) override { log.add("chartArrived:" + key); }
    void networkSpeedChanged(std::int32_t speedClass, const std::string& serverTime,
                             std::optional<platform::Clock::time_point> heardAt, bool answering) override {
        lastHeardAt = heardAt;
        log.add("networkSpeed:" + std::to_string(speedClass) + "|" + serverTime +
                (answering ? "" : "|silent"));
    }
    CallLog log;
    interfaces::TableChange lastChange;
    std::optional<platform::Clock::time_point> lastHeardAt;
};

// Records the requests; the ping and keep-alive go through the real builder so they reach the sender.
class FakeRequests final : public LoginRequests {
public:
    void pingToServer() override {
        log.add("pingToServer");
        if (onPing)
            onPing();
    }
    void requestOpenPosition() override { log.add("requestOpenPosition"); }
    void requestPendingOrders() override { log.add("requestPendingOrders"); }
    void requestSettledOrders() override { log.add("requestSettledOrders"); }
    void requestCancelledOrders() override { log.add("requestCancelledOrders"); }
    void requestEquityPriceInfo(std::int32_t id) override {
        log.add("requestEquityPriceInfo:" + std::to_string(id));
    }
    void requestContactList() override { log.add("requestContactList"); }
    void requestRecentConversation() override { log.add("requestRecentConversation"); }
    void requestOfflineMessages() override { log.add("requestOfflineMessages"); }
    void requestAdvancedInstrumentInfo() override { log.add("requestAdvancedInstrumentInfo"); }
    void requestResourceSearchForTypes(const std::vector<std::string>& types) override {
        std::string joined;
        for (const auto& t : types)
            joined += (joined.empty() ? "" : ",") + t;
        log.add("requestResourceSearchForTypes:" + joined);
    }
    void requestApprovalRequest() override { log.add("requestApprovalRequest"); }
    void requestFinancialApprovals() override { log.add("requestFinancialApprovals"); }
    void requestControlClientConnectMessage() override { log.add("requestControlClientConnectMessage"); }
    CallLog log;
    // What the real request does once the ping has gone (the session's pingSent), when a test needs it.
    std::function<void()> onPing;
};

// Hands out a copy of a prepared model, whatever the payload.
class FakeSnapshotLoader final : public SnapshotLoader {
public:
    std::optional<SessionModel> load(std::string_view field, bool isAmp) override {
        log.add(std::string(isAmp ? "amp:" : "xml:") + std::string(field));
        if (!model)
            return std::nullopt;
        SessionModel copy;
        copy.userInfo = model->userInfo;
        copy.AccountDetailCollection = shareRecords(model->AccountDetailCollection);
        copy.loginInfoMessageCollection = shareRecords(model->loginInfoMessageCollection);
        copy.ItemCollection = shareRecords(model->ItemCollection);
        return copy;
    }
    std::optional<SessionModel> model;
    CallLog log;
};

// The text the de-framer hands on for a body: length, 0x03, body.
inline std::string frameText(std::string_view body) {
    const std::string framed = MessageBase::frame(body);
    return framed.substr(1, framed.size() - 2);
}

using testing_support::body;

// A type-76 envelope (as a de-framed text) sealing the given framed messages with a key.
inline std::string envelopeText(const std::string& framedMessages, const std::string& key) {
    struct Capture final : MessageSender {
        std::string key, out;
        void sendMessage(RequestMessage m) override { out = m.message; }
        std::string envelopeKey(bool) const override { return key; }
    } capture;
    capture.key = key;
    MessageBase mb;
    mb.setSender(&capture);
    mb.EncryptMessage(framedMessages, false, false);
    return capture.out.substr(1, capture.out.size() - 2);
}

// A tag-1050 field: Base64 of 4 arbitrary bytes and the gzip stream of the text.
inline std::string compressedField(std::string_view text, std::uint8_t prefixByte = 0xAB) {
    auto deflated = NSDataAdditions::gzipDeflate(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    std::vector<std::uint8_t> payload(4 + deflated->size(), prefixByte);
    std::copy(deflated->begin(), deflated->end(), payload.begin() + 4);
    return "1050=" + *platform::Base64::encodeBase64WithData(payload);
}

// Runs the main queue until `done`, or twenty seconds of real time (sanitized builds on a busy machine
// need far more than the few milliseconds these waits take alone).
inline bool pumpUntil(const std::function<bool()>& done) {
    return platform::RunLoop::main().runUntil(done, std::chrono::seconds(20));
}

inline void pump() {
    for (int i = 0; i < 5; ++i)
        platform::RunLoop::main().runOnce();
}

} // namespace tc::sessiontest
