#pragma once
// What the order layer needs of the signed-in session, in one place: the business object implements
// it, and the order rules, requests, tickets and lists above the session reach it only through this
// (the records they look up are the model's, read through SessionModelLookup). Main queue only.
#include "interfaces/application_interface.h"
#include "interfaces/tables.h"
#include "model/text/journal_data.h"
#include "platform/clock.h"
#include "platform/date_format.h"
#include "platform/handler.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class MessageSender;
class SessionEventSink;
struct SessionModel;

class OrderHost {
public:
    virtual ~OrderHost() = default;
    // The live lists the order side keeps and the records its rules read.
    virtual SessionModel& model() = 0;
    virtual const SessionModel& model() const = 0;
    // Receives the built messages, already in their encrypted envelope.
    virtual MessageSender& sender() = 0;
    // Whether the trading stream is up, and whether the network path to the server is.
    virtual bool isStreamConnected() const = 0;
    virtual bool isNetworkAvailable() const = 0;
    // False while a signed-in server has answered nothing for several seconds: a request sent then
    // could not be accounted for.
    virtual bool isServerAnswering() const { return true; }
    // When the server last answered (a ping's reply came off the socket); now for a host that does
    // not ask.
    virtual platform::Clock::time_point lastServerAnswer() const { return platform::Clock::currentTime(); }
    // Tag 23 (the login user name), tag 19 of the login snapshot, and the last request number received.
    virtual std::string userName() const = 0;
    virtual std::string referenceId() const = 0;
    virtual std::int32_t requestId() const = 0;
    // The server's clock now as wire text ("yyyyMMddHHmmss"; empty before the server's first time).
    virtual std::string serverTime() const = 0;
    // Sounds, alerts, banners and the user's language.
    virtual interfaces::ApplicationInterface& application() = 0;
    // The text of a language key in the user's language; the key itself when that language's table
    // is not installed.
    virtual std::string textForKey(std::string_view key) const = 0;
    virtual JournalContext journalContext() const = 0;
    virtual void appendJournal(std::string line) = 0;
    // The session's typed events, and its tables marked as changed (announced once per pass).
    virtual SessionEventSink& events() = 0;
    virtual void tablesChanged(interfaces::TableSet tables) = 0;
    // An order record already listed was rewritten in place: the announcement names it, so the
    // windows read that row again and leave the others be.
    virtual void recordRewritten(std::shared_ptr<const Order> record) = 0;
    // The guard of everything the session leaves behind, for the order side's banners to bind with.
    virtual const platform::CallbackGuard::Scope& lifetime() const = 0;
};

} // namespace tc
