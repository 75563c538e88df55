#pragma once
// The order side of one signed-in session: the order rules over the session's collections, the
// requests that place, edit, close and offset, the live lists the execution reports keep, and the
// status switch that files each report. Everything it needs of the session comes through one host
// (OrderHost), which the business object implements. Main queue only, like the collections it reads.
#include "orders/execution_reports.h"
#include "orders/order_collections.h"
#include "orders/order_manager.h"
#include "orders/order_requests.h"
#include "orders/order_tickets.h"
#include "platform/dispatch.h"
#include "session/business/business_services.h"
#include "session/business/session_events.h"

#include <chrono>
#include <deque>
#include <string>
#include <vector>

namespace tc {

class BusinessBase;
class OrderHost;

class SessionOrders final : public OrderSide {
public:
    static constexpr platform::Clock::duration kRefreshInterval = std::chrono::seconds(1);
    // The banner of an answer that came after its window stopped waiting (the request's text fills
    // {0}, a rejection's reason {1}).
    static constexpr std::string_view kLateAnswerTitleKey = "94161";
    static constexpr std::string_view kLateDoneKey = "94162";
    static constexpr std::string_view kLateRejectedKey = "94163";
    // Of a close-all some of whose positions were refused: the request {0}, {1} of {2} closed, the
    // refused {3}, each reason once with its positions ("#1, #2: reason").
    static constexpr std::string_view kLatePartlyClosedKey = "95780";
    static constexpr std::string_view kRefusedPositionsKey = "95781";
    // The Journal's line of a refused request, and of a close-all's refused position.
    static constexpr std::string_view kRefusedKey = "97402";
    static constexpr std::string_view kRefusedPositionKey = "97403";
    // Of like requests the wire cannot tell apart whose reports differ: the word, what the server did
    // to them ({0} carried out of {1}, {2} the refusals' reasons, {3} the requests), the Journal's lines
    // (as the refusal's), the request numbers, and the late banners (of a close-all: {1} of {2}
    // closed, {3} each group's positions with what is known).
    static constexpr std::string_view kNotKnownKey = "97600";
    static constexpr std::string_view kLikeOutcomesKey = "97601";
    static constexpr std::string_view kNotKnownLineKey = "97603";
    static constexpr std::string_view kNotKnownPositionLineKey = "97604";
    static constexpr std::string_view kRequestNumbersKey = "97605";
    static constexpr std::string_view kLateNotKnownKey = "97608";
    static constexpr std::string_view kLatePartlyNotKnownKey = "97609";
    static constexpr std::string_view kNotClosedKey = "97611";
    // Handed over at a lost line: a position closed for one of them ({0}, {1} the requests); the
    // reports of some ({0} of {1} answered, {2} carried out, {3} refused, {4} the requests); the
    // request's line with that.
    static constexpr std::string_view kClosedForOneKey = "97602";
    static constexpr std::string_view kSomeAnsweredKey = "97610";
    static constexpr std::string_view kUnansweredWithKnownKey = "97607";
    // The same, of requests not alike that a report fitted, which their own reports did not settle.
    static constexpr std::string_view kUnlikeOutcomesKey = "98400";
    static constexpr std::string_view kSomeUnlikeAnsweredKey = "98401";
    // The same, held until the server had answered on past a bound, no line lost.
    static constexpr std::string_view kNoMoreCameKey = "98402";
    // A refusal for certain whose reason is one of several, the reports not saying which: the reason
    // ({0} the reasons), and the same within what is known of like requests.
    static constexpr std::string_view kOneOfReasonsKey = "98450";
    static constexpr std::string_view kOneOfReasonsShortKey = "98451";
    // Of close-alls alike whose position the server closed for one of them: the late banner's line of
    // such positions ({0} the requests), and the banner when every outcome not known is such a one
    // ({0} the request, {1} of {2} closed, {3} the positions with what is known).
    static constexpr std::string_view kClosedForOneOfLikeKey = "98000";
    static constexpr std::string_view kLateClosedByOneOfLikeKey = "98001";
    // Like requests named apart: by number, with when each was sent, in the order sent.
    static constexpr std::string_view kRequestNumberKey = "98003";
    static constexpr std::string_view kSentAtKey = "98004";
    static constexpr std::string_view kThenKey = "98005";
    // The request a text is of, marked among its like ones.
    static constexpr std::string_view kThisRequestKey = "98300";

    // Main queue.
    explicit SessionOrders(OrderHost& host);
    SessionOrders(const SessionOrders&) = delete;
    SessionOrders& operator=(const SessionOrders&) = delete;

    OrderManager& manager() { return manager_; }
    OrderRequests& requests() { return requests_; }
    OrderTickets& tickets() { return tickets_; }
    // The live lists with their look-ups by id. They follow the execution reports unless the business
    // object was given another order side for them.
    OrderCollections& collections() { return collections_; }

    // The account the main window follows (its AccountId), which the hedge margin is worked out for;
    // false, nothing changed, for an account the session does not hold.
    bool setCurrentAccount(std::int32_t accountId);
    std::int32_t currentAccount() const { return manager_.currentAccount(); }

    // The once-a-second refresh while signed in: every displayed open position's floating P/L at the
    // live quote converted into its account currency, then every account's floating total, equity
    // and available margin from them; announced as a change of the open-position and account tables.
    void refreshFloatingFigures();
    // HedgeMarginCollection made afresh for the current account's open positions: before every
    // announced change of the open positions or accounts, and at once when the current account
    // changes.
    void refreshHedgeMargins();

    // OrderSide.
    void executionReport(const ExecutionReport& report) override;
    HistoryRowSink& historyRows() override { return collections_; }
    const SessionModel::OrderList* openPositionHistory() const override {
        return &collections_.OpenOrderCollectionCopy();
    }
    std::vector<std::string> takeUnansweredRequests() override;
    // The window that sent the request of that number waits for it no more: it is answered by the
    // rule as before, and that answer, should it come, is told as late.
    void giveUpRequest(std::uint64_t request) { requests_.inFlight().giveUp(request); }
    // The refresh runs while signed in.
    void loginPhaseChanged(LoginPhase phase) override;
    // A change of the open positions or accounts makes the hedge margins afresh before it is told.
    void tablesAboutToBeAnnounced(interfaces::TableSet tables) override;

private:
    // The answer to its window (and, given up, in a banner).
    void tell(const RequestsInFlight::Answered& answered);
    // The held reports a close-all of every open position heard nothing more of
    // (RequestsInFlight::takeLeftOver).
    void tellLeftOver();
    // A refusal's reason as the trader reads it, and its code: of one refused for one of several
    // reasons, every one (the codes joined by "/").
    std::string reasonOf(const RequestsInFlight::Answered& answered);
    static std::string codeOf(const RequestsInFlight::Answered& answered);
    // The reasons of those codes, as one list, `between` each two.
    std::string reasonsOf(const std::vector<std::int32_t>& codes, std::string_view between);
    // The banner's text of an answer its window no longer waited for.
    std::string lateText(const RequestsInFlight::Answered& answered);
    // What is known of like requests the wire cannot tell apart, in words the trader reads, told of
    // the request numbered `self` (0: of none).
    std::string knownText(const RequestsInFlight::NotKnown& known, std::uint64_t self);
    // The like requests as the trader tells them apart: their numbers where those differ, else each
    // with when it was sent, in the order sent; `self` marked, as like texts read alike.
    std::string likeText(const RequestsInFlight::NotKnown& known, std::uint64_t self);
    // The last group named by likeText, each member's name unmarked.
    std::pair<std::vector<std::uint64_t>, std::vector<std::string>> likeNames_;
    // The position the group closed whichever of its members the server carried out: close-alls of
    // it, or closes each of the whole of it, all of whose reports came, one of them carrying it out.
    // Empty where what is not known is whether it closed.
    std::string closedByOneOfThem(const RequestsInFlight::NotKnown& known) const;
    // The Journal's lines of a given-up close-all's answers so far, which its late line would have
    // told: at a lost line, where that line never comes.
    void journalAnsweredSoFar(const RequestsInFlight::Request& request);
    // The Journal's line of a late answer, once the settlements of the positions it closed are in the
    // Journal: the update that answered a close comes before its settlement.
    void journalLate(std::string event, const RequestsInFlight::Request& request);
    // Writes the late answers whose settlements came; with `all`, every one held, and those held
    // past kSettlementWait in any case.
    void writeLateLines(bool all);

    OrderHost& host_;
    SessionEvents banners_;
    OrderCollections collections_;
    OrderManager manager_;
    OrderRequests requests_;
    OrderTickets tickets_;
    platform::RepeatingTimer refreshTimer_; // last: stops before the members it reads go
    // Runs while such a held report waits; at the pings' pace, so it is told soon after the server's
    // answers have counted the wait out.
    static constexpr std::chrono::seconds kLeftOverCheck{1};
    platform::RepeatingTimer leftOverTimer_;
    // A late answer's Journal line waiting for settlements: a settlement that never comes holds it
    // this long at most.
    struct LateLine {
        std::string event;
        std::vector<std::string> positions;
        platform::Clock::time_point since;
    };
    static constexpr std::chrono::seconds kSettlementWait{5};
    std::deque<LateLine> lateLines_;
    platform::RepeatingTimer lateLineTimer_;
    // A group of like requests is told to each of its members alike: its outcome goes into the
    // Journal once, with the first member whose answers are written apart. The group (its first
    // member's number and the part it is of) and how many of its members are still to be told.
    struct GroupWritten {
        std::uint64_t first = 0;
        std::string part;
        std::size_t left = 0;
        bool written = false;
    };
    std::deque<GroupWritten> groupsWritten_;
};

// Makes the order side of `business`, attaches it (the business object owns it from then on) and
// returns it. Main queue, before the stream starts.
SessionOrders& attachSessionOrders(BusinessBase& business);

} // namespace tc
