#pragma once
// The signed-in session as the order layer sees it, over a model the test fills: the messages the
// requests hand over, the journal lines, the table changes and the typed events are kept.
#include "interfaces/application_interface.h"
#include "model/session_model.h"
#include "model/text/language_string.h"
#include "session/business/business_services.h"
#include "session/business/order_host.h"
#include "support/capturing_sender.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

class FakeOrderHost : public OrderHost {
public:
    FakeOrderHost(SessionModel& model, interfaces::ApplicationInterface& app) : model_(model), app_(app) {}

    SessionModel& model() override { return model_; }
    const SessionModel& model() const override { return model_; }
    MessageSender& sender() override { return capture; }
    bool isStreamConnected() const override { return streamUp; }
    bool isNetworkAvailable() const override { return networkUp; }
    bool isServerAnswering() const override { return serverAnswering; }
    std::string userName() const override { return "jdoe"; }
    std::string referenceId() const override { return "REF77"; }
    std::int32_t requestId() const override { return requestNumber; }
    std::string serverTime() const override { return "20240315093000"; }
    interfaces::ApplicationInterface& application() override { return app_; }
    // A text filed in `texts`, else the key itself with keysAsTexts (a test reads which check
    // refused), else the user's language's table as the business object reads it.
    std::string textForKey(std::string_view key) const override {
        if (const auto filed = texts.find(key); filed != texts.end())
            return filed->second;
        if (keysAsTexts)
            return std::string(key);
        return LanguageString::stringForSelectedLanguage(app_.selectedLanguage(), key)
            .value_or(std::string(key));
    }
    JournalContext journalContext() const override {
        JournalContext c;
        c.ServerTime = journalTime;
        return c;
    }
    void appendJournal(std::string line) override { journal.push_back(std::move(line)); }
    SessionEventSink& events() override { return eventSink ? *eventSink : noEvents_; }
    void tablesChanged(interfaces::TableSet t) override { tables.push_back(t); }
    void recordRewritten(std::shared_ptr<const Order> record) override {
        rewritten.push_back(std::move(record));
    }
    const platform::CallbackGuard::Scope& lifetime() const override { return guard_.scope(); }

    testing_support::CapturingSender capture;
    bool streamUp = true;
    bool networkUp = true;
    bool serverAnswering = true;
    std::int32_t requestNumber = 41;
    std::string journalTime = "20240315093000";
    std::vector<std::string> journal;
    std::vector<interfaces::TableSet> tables;
    std::vector<std::shared_ptr<const Order>> rewritten;
    SessionEventSink* eventSink = nullptr; // none: the events go nowhere
    std::map<std::string, std::string, std::less<>> texts;
    bool keysAsTexts = false;

private:
    SessionModel& model_;
    interfaces::ApplicationInterface& app_;
    SessionEventSink noEvents_;
    platform::CallbackGuard guard_;
};

} // namespace tc
