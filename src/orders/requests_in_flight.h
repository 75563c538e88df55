#pragma once
// The order requests handed to the server that it has not answered yet. Each is noted with what the
// trader reads of it and what its answer names; a report answers the request it names most exactly
// (the rule beside Kind below). When the stream is lost, what is still waiting is handed over once,
// so the trader hears of every request that went without an answer, and a later session's reports
// answer none of them. Each request gets a number of its own, so the window that sent it can follow
// it to its answer. Main queue only.
#include "platform/clock.h"
#include "platform/decimal.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tc {

struct ExecutionReport;

class RequestsInFlight {
public:
    // As many as are kept: past this a new request is refused before it is sent (full()), so a
    // server that answers in ways we cannot match never grows the list without end, and no request
    // waiting is dropped untold. The lists of positions beside it keep this many more than the
    // positions of the requests waiting.
    static constexpr std::size_t kMaxRequests = 1000;
    // The server's code for a position it no longer holds: what a close-all of every open position
    // is told of one closed before its turn.
    static constexpr std::int32_t kNoLongerHeldCode = 15;
    // How long the server must go on answering, once a close-all of every open position waits for
    // nothing but a held report that closed one of its positions, before that report is told (see
    // the rule below). The server answers in turn: another's own report, if any, follows at once;
    // a silence says nothing of it, so a silence does not count.
    static constexpr std::chrono::seconds kLeftOverWait{3};
    // How long the server must go on answering while a report stays held for several requests before
    // the requests it leaves open are told "not known" (takeLeftOver): a report may never come (a leg
    // standing where an edit asked it is not reported), and a wait must end. They stay in the list,
    // given up, as the reports' candidates. A silence does not count: of a gap between the server's
    // answers, a ping's period at most.
    static constexpr std::chrono::seconds kHeldWait{60};
    static constexpr std::chrono::seconds kAnswerGap{2};

    // The rule: a report answers a request only where it can be no other's. A report fits the waiting
    // requests of the kind it answers (Kind below; of its number where it names one). Fitting one, it
    // answers it at once: the usual case. Fitting several (among them a leg still to come of an edit
    // answered, or a leg a close changed), it is held (one place for every such report,
    // like requests being the case no later report separates) until the others' own reports settle it:
    // a request is told an outcome only when every pairing of the held reports with the requests they
    // fit gives it that outcome (refused in each for different reasons: refused for one of them; a
    // multi-account order's accounts share one). What stays open once each request it may be has its
    // report, once the server went on answering past bound(), or at a lost line, is told "not known"
    // with what is known, never as done or refused. Given up changes only how an answer is told, as late.
    // Reports that are no request's: a position's update after its leg filled, the cancellation of a
    // leg of a position closed in full, an offset's own updates and settlement. A close-all of every
    // open position hears nothing of a position closed before its turn: a held update that closed one
    // goes to the one other request it fits once the server went on answering for kLeftOverWait.
    enum class Kind {
        NewOrder,     // by its number, instrument, side and quantity
        MultiAccount, // by its number, instrument and side: each account has its quantity;
                      // account by account, while `accounts` lists the ones still without a report
        Close,        // its position's settlement (66), update (67 status 73) or a rejection naming it (125)
        CloseAll,     // as Close, each of its positions apart (it waits until each has had its report);
                      // or a rejection of its number naming no position nor instrument (the request
                      // refused as a whole)
        PositionEdit, // an order report of its position's legs (573) that names the leg as the edit
                      // asks it, or a rejection naming it
        OrderEdit,    // an edit or cancel: the order's report (79: pending or edited at the price,
                      // quantity and legs the edit asks; cancelled for a cancel) or a rejection
        Offset,       // the offset answer (1052) of its account and instrument; its positions' updates
                      // and settlements answer no other request
    };
    // What the server did with one request of a group the wire cannot tell apart.
    struct Outcome {
        Outcome() = default;
        Outcome(bool refused, std::int32_t code, std::vector<std::int32_t> codes = {})
            : rejected(refused), rejectionCode(code), possibleCodes(std::move(codes)) {}
        bool rejected = false;
        std::int32_t rejectionCode = 0;
        // Refused for one of these reasons (two or more, ascending), the reports not saying which;
        // `rejectionCode` is then the first.
        std::vector<std::int32_t> possibleCodes;
        bool operator==(const Outcome&) const = default;
    };
    // One request of such a group, as the trader reads it.
    struct Like {
        std::uint64_t number = 0;
        std::optional<std::int64_t> requestNumber;
        std::string description;
    };
    // What is known of a group of requests the wire cannot tell apart (see the rule above): the
    // members, oldest first, and what the server did to the group, not to whom. Of close-alls,
    // `position` is the position the group is of; of a report held at a lost line, the position the
    // server closed for one of them (`outcomes` then holds that one carried out).
    struct NotKnown {
        std::vector<Like> like;
        std::vector<Outcome> outcomes;
        std::string position;
        // Whether they are alike on the wire; else unlike ones a report fitted, whose own reports did
        // not settle it.
        bool alike = true;
        // Handed over at a lost line (else held until the server had answered on past a bound).
        bool lineLost = false;
    };
    struct Request {
        Kind kind = Kind::NewOrder;
        // What the trader reads of it ("New order: Buy 1 EURUSD (Request ID 24)").
        std::string description;
        // The request number it went out with (tag 33; a close-all's tag 20); none for an offset.
        std::optional<std::int64_t> requestNumber;
        // The positions (Close, CloseAll, PositionEdit, Offset) or the pending order (OrderEdit) it
        // acts on.
        std::vector<std::string> targets;
        // A new order's instrument code, side (0 buy, 1 sell) and quantity, as its reports name them
        // (a close's quantity, as its settlement names it); an offset's account and instrument code,
        // as its answer names them.
        std::string account;
        std::string instrument;
        std::optional<std::int32_t> side;
        std::optional<platform::Decimal> quantity;
        // A new order's type (1 market, 2 limit, 3 stop), as its order report names it.
        std::optional<std::int32_t> orderType;
        // A multi-account order's quantity for each account, as that account's order report names it.
        std::vector<std::pair<std::string, platform::Decimal>> accountQuantities;
        // A bracket edit that takes a leg off is answered by that leg's cancellation as well.
        bool removesLeg = false;
        // What an edit asks for, as the report of it carried out names it: a pending order's price
        // (and `quantity`) and the legs, or a position's legs (none: taken off or not asked for). A
        // report naming other prices or legs is another's. Unset: not known, any such report fits.
        struct EditedTo {
            std::optional<platform::Decimal> price;
            std::optional<platform::Decimal> takeProfit;
            std::optional<platform::Decimal> stopLoss;
            bool operator==(const EditedTo&) const = default;
        };
        std::optional<EditedTo> editedTo;
        // A pending order's cancel: answered by its cancellation, never by an edit report; an edit of
        // it never by a cancellation.
        bool cancels = false;
        // A close-all of every open position: the server closes what is open at its turn and says
        // nothing of a listed position closed before.
        bool closesWhatIsOpen = false;
        // Of such a close-all: the accounts and instrument codes it closes every position of, listed
        // or not (none: only what it lists).
        std::vector<std::string> openAccounts;
        std::vector<std::string> openInstruments;
        // Its window waits for it no more (giveUp): its answer, should it come, is told as late.
        bool givenUp = false;
        // Told "not known" once reports held for it waited past kHeldWait: it stays, given up, so that its
        // own reports are still its own, and its outcome, should they tell it, is told late.
        bool toldOpen = false;
        // Given by sent(): 1, 2, ... in the order sent.
        std::uint64_t number = 0;
        // A close-all's: how many positions it was sent for, and those refused, each with its
        // rejection code, in the order answered.
        std::size_t positions = 0;
        std::vector<std::pair<std::string, std::int32_t>> refusals;
        // A close-all's positions whose report said they closed, in the order answered.
        std::vector<std::string> closed;
        // A multi-account order's accounts whose report has not come yet, and those whose report came.
        std::vector<std::string> accounts;
        std::vector<std::string> answeredAccounts;
        // A multi-account order's text naming only the accounts given, each with its quantity: what
        // is still waiting of it once some accounts had their report.
        std::function<std::string(const std::vector<std::string>& accounts)> describeAccounts;
        // A close-all's positions whose outcome is not known, each with what is known; of a request
        // handed over at a lost line, what the reports that came knew of it and its like.
        std::vector<NotKnown> notKnown;
    };
    // What a report answered. Of a close-all, `position` is the position the report is of (empty for
    // the request refused as a whole), and the request leaves the list (`finished`) once each of its
    // positions has had its report or it was refused as a whole. Of a multi-account order, `account`
    // is the account the report is of, and it leaves once each account has had its report or a
    // report names none of them (refused as a whole). Every other request leaves at once.
    struct Answered {
        Answered() = default;
        Answered(Request r, std::string of, bool refused, std::int32_t code, bool done = true,
                 std::string accountOf = {}, std::optional<NotKnown> unknown = {})
            : request(std::move(r)), position(std::move(of)), rejected(refused), rejectionCode(code),
              finished(done), account(std::move(accountOf)), notKnown(std::move(unknown)) {}
        Request request;
        std::string position;
        bool rejected = false;
        std::int32_t rejectionCode = 0;
        bool finished = true;
        std::string account;
        // Set when the outcome is not known: the server's reports fitted this request and like ones
        // alike and said different things of them. `rejected` is then false and means nothing.
        std::optional<NotKnown> notKnown;
        // Refused for certain for one of these reasons (two or more), the reports not saying which;
        // `rejectionCode` is then the first.
        std::vector<std::int32_t> possibleCodes;
    };

    // Notes the request and gives back its number.
    std::uint64_t sent(Request request);
    // An execution report or an offset answer: the request it answers (taken out of the list once
    // answered in full).
    std::optional<Answered> answered(const ExecutionReport& report);
    // Whether the last report went to a group of like requests: told with the group, never alone.
    bool lastReportGrouped() const { return lastGrouped_; }
    // Whether the report is the refusal an offset gets beside its offset answer: naming no number nor
    // position, of the account and instrument of an offset still waiting. The answer that follows tells it.
    bool refusesOffset(const ExecutionReport& report) const;
    // What the last report answered besides: the held reports it left with one request to answer
    // Told after the report's own answer.
    std::vector<Answered> takeGivenBack();
    // The held reports that closed a position of a close-all of every open position, no other report
    // having come though the server answered (last at `heard`) kLeftOverWait after the close-all came
    // to wait for nothing else: each request they fit answered by them.
    std::vector<Answered> takeLeftOver(platform::Clock::time_point heard);
    // Whether such a held report waits, and takeLeftOver may answer it.
    bool leftOverWaiting() const;
    // Whether a report is held for several requests: takeLeftOver tells it past kHeldWait.
    bool holdsReports() const { return !unsettled_.empty(); }
    // Whether the position's update came and the settlement that follows it has not yet.
    bool awaitsSettlement(const std::string& position) const;
    // The window that sent the request of that number waits for it no more; it stays in the list, in
    // its place, answered by the rule above as if its window still waited.
    void giveUp(std::uint64_t number);
    // Whether the request of that number is still waiting for its answer.
    bool isWaiting(std::uint64_t number) const;
    // What is still waiting, oldest first, a
    // close-all with only its positions still without an answer as `targets`; the list is empty
    // afterwards.
    std::vector<Request> takeUnanswered();
    std::size_t waiting() const { return requests_.size(); }
    bool full() const { return requests_.size() >= kMaxRequests; }
    // What is still waiting, oldest first, as it stands: read only, for a window to show.
    const std::deque<Request>& list() const { return requests_; }

private:
    struct Named;
    // Ids kept in the order noted, the oldest dropped first, each looked up at the cost of a hash:
    // a burst of thousands of positions reads them at every report.
    class RecentIds {
    public:
        bool contains(const std::string& id) const;
        void push_back(const std::string& id);
        // Takes out one note of the id; whether there was one.
        bool erase(const std::string& id);
        void pop_front();
        std::size_t size() const { return live_; }
        void clear();

    private:
        std::deque<std::string> order_; // with ids erased since, dropped as they reach the front
        std::unordered_map<std::string, std::size_t> count_;
        std::size_t live_ = 0;
    };
    // The oldest request that passes `test`, given up or not; with `exactFirst`, any other kind
    // before a close-all.
    template <class Test>
    std::deque<Request>::iterator findFirst(Test test, bool exactFirst = false);
    // The edit the report of a number that found none of its own answers: the one passed over
    // when a report naming no number went to the edit of that number (see the rule above).
    std::deque<Request>::iterator passedOver(const Named& named);
    // A report naming no number that fits several requests not alike: held.
    struct Held;
    void hold(const Named& named, const std::vector<std::uint64_t>& candidates);
    // A position's closing fitting several requests, a refusal of it being held for them (as no longer
    // held, or fitting a close-all of every open position and a listed one): held with it.
    bool closesHeldRefusal(const Named& named, const std::vector<std::uint64_t>& candidates);
    // Whether a refusal of the position, as no longer held or fitting both kinds of close-all, is held
    // for one of the requests.
    bool refusalHeld(const std::vector<std::uint64_t>& candidates, const std::string& position);
    // A settlement of held positions: an offset's (naming its other position) is the offset's, any
    // other no offset's.
    void settled(const Named& named);
    // An offset answered carried out (an offset answer of `named`'s account and instrument): the held
    // reports of its positions settled naming no closing position are its own.
    void offsetsOwn(const Named& named);
    // Answers the held reports that fit one request only, or as many requests as there are reports;
    // the answers go to givenBack_.
    void resolveHeld();
    // Marks the held reports whose close-all of every open position now waits for nothing else.
    void ripenHeld();
    // Close-alls of every open position whose turn is past (they wait for nothing but held reports), since
    // when. One the server went on answering past for kLeftOverWait, one of whose positions has held reports
    // one fewer than the requests they fit, heard nothing of it: refused it as no longer held, as of a held
    // update it fits.
    std::unordered_map<std::uint64_t, platform::Clock::time_point> turnPast_;
    void tellHeardNothing(platform::Clock::time_point heard);
    // Tells "not known" the requests of the reports held while the server went on answering (last at
    // `heard`) for kHeldWait, with the reports that share requests with them (toldOpen).
    void tellHeldPast(platform::Clock::time_point heard);
    void tellOpen(const std::vector<std::uint64_t>& reports);
    // How long the server has gone on answering, and when it last did.
    platform::Clock::duration answering_{};
    std::optional<platform::Clock::time_point> lastHeard_;
    // How many reports had come when the server had gone on answering `at`: a report held by then (its
    // `heard` no more) has waited since. The first of each count, one at most kHeldWait old kept.
    struct HeardAt {
        std::uint64_t reports = 0;
        platform::Clock::duration at{};
    };
    std::deque<HeardAt> heardAt_;
    // Held reports whose requests were told so.
    std::set<std::uint64_t> toldPast_;
    std::deque<Request>::iterator byNumber(std::uint64_t number);
    std::optional<Answered> answerOf(const Named& named, const ExecutionReport& report);
    // What the report answers of the request at `it`, taking it out when nothing more of it waits;
    // with `notKnown`, that its outcome is not known.
    Answered answer(std::deque<Request>::iterator it, const std::string& position, bool rejected,
                    std::int32_t code, const std::string& account = {}, const NotKnown* notKnown = nullptr);
    // Remembers a pending order or position that answered a new order, so that its later reports
    // answer no other request of that number.
    void claim(const std::string& id);
    bool claimed(const std::string& id) const;

    std::deque<Request> requests_;
    std::uint64_t lastNumber_ = 0;
    // Orders sent before the server's next message carry the same request number, and every report
    // of an order repeats it: the pending orders and positions whose report already answered a new
    // order. The newest kept.
    RecentIds claimed_;
    // Positions whose update came and whose settlement is still to follow (the same close's): a
    // settlement takes out the position it settles and the one it was closed against (an offset
    // updates both, and its settlement names the first as settled, the other as closing it).
    RecentIds settling_;
    // Positions whose take-profit or stop-loss leg just filled: the update and settlement that follow
    // are the leg's, no close's or close-all's (which are refused the position in their turn).
    RecentIds closedByLeg_;
    // Positions an update left with nothing: the cancellations of their legs that follow are the
    // server's own, no answer to an edit taking a leg off (which is refused in its turn).
    RecentIds closedWhole_;
    // An edit's report naming no number that fitted two edits and went to the older: the older's
    // request number, the position and the edit passed over. The newest kept.
    struct PassedOver {
        std::int64_t number = 0;
        std::string position;
        std::uint64_t request = 0;
    };
    std::deque<PassedOver> passedOver_;
    // The held position reports, oldest first: the position, whether it left nothing of it, the
    // requests (their numbers in this list) it may answer, and since when the close-all of every
    // open position among them waits for nothing else.
    // `taken`: an offset's own, kept only for the close-alls of every open position it fitted, which
    // will hear nothing of the position.
    struct Held {
        std::string position;
        bool closedWhole = false;
        std::vector<std::uint64_t> candidates;
        std::optional<platform::Clock::time_point> ripe;
        bool taken = false;
        // Settled naming no closing position: an offset it fits may have made it, as its answer tells.
        bool offsetsAnswerTells = false;
    };
    std::deque<Held> held_;
    // The reports that fit several waiting requests: the requests each may answer (with the part of a
    // close-all or multi-account order it is of: the position or account) and what it says. A group of
    // like requests is the case where no later report can tell them apart. Every such report is counted
    // here and nowhere else. By arrival; each looked up by the requests it fits.
    using Candidate = std::pair<std::uint64_t, std::string>;
    struct Unsettled {
        std::vector<Candidate> candidates;
        Outcome outcome;
        // How many reports the server had sent when it came: held past bound() more, it is told.
        std::uint64_t heard = 0;
        // Reports of like requests fit one list: those found to share it share this number, and are
        // compared by it, not request by request (0: none shared).
        std::uint64_t list = 0;
        // Of a leg's report (carried out): the leg (2, 3) and its price (none: cancelled), so that an
        // edit it fitted, answered by its other leg's report, keeps a candidate for this leg.
        std::int32_t leg = 0;
        std::optional<platform::Decimal> legPrice;
    };
    std::map<std::uint64_t, Unsettled> unsettled_;
    std::uint64_t lastList_ = 0;
    std::uint64_t lastUnsettled_ = 0;
    std::uint64_t reportsHeard_ = 0;
    // By request and part: the unsettled reports that fit it.
    std::unordered_map<std::uint64_t, std::unordered_map<std::string, std::vector<std::uint64_t>>> fitting_;
    // Of a multi-account order some of whose accounts were told: whether they were refused (none when
    // they were told differently).
    std::unordered_map<std::uint64_t, std::optional<bool>> accountsTold_;
    // The unsettled reports a change may have settled: only they are looked over again.
    std::set<std::uint64_t> toSettle_;
    // As many requests as this, and reports, are paired every way; a larger set is told "not known"
    // once every one has its report.
    static constexpr std::size_t kMaxPairings = 8;
    // Whether they are of a close-all of every open position and a listed one.
    bool ofBothCloseAlls(const std::vector<Candidate>& candidates);
    // Holds the report for the candidates: the answer, if it can be only one's, told now.
    std::optional<Answered> holdFor(std::vector<Candidate> candidates, const std::string& part, bool rejected,
                                    std::int32_t code, bool numbered);
    void addUnsettled(std::vector<Candidate> candidates, Outcome outcome);
    void dropUnsettled(std::uint64_t id);
    // Takes the held report `id` out of the index of the candidate `c`.
    void unfit(const Candidate& c, std::uint64_t id);
    // A request (of a part, or every part: nullptr) may have stopped waiting: its reports are looked
    // over again.
    void touched(std::uint64_t number, const std::string* part);
    bool stillWaits(const Candidate& c);
    // The unsettled reports that share requests with `id`, each with the requests still waiting for it;
    // with `accounts`, those of any account of a multi-account order it fits too.
    std::vector<std::uint64_t> componentOf(std::uint64_t id, bool accounts = false);
    // What the reports `ids` say of the requests they fit (those gathered in `keys`).
    NotKnown knownOf(const std::vector<std::uint64_t>& ids, std::vector<Candidate>& keys);
    // Tells the requests of the reports `ids` "not known" with what the reports say, and drops them.
    void tellNotKnown(const std::vector<std::uint64_t>& ids);
    // The requests the reports `ids` fit, each once, in the order first fitted.
    std::vector<Candidate> keysOf(const std::vector<std::uint64_t>& ids) const;
    // What the reports say alike: each carrying out, or each refusing (for one of their reasons).
    std::optional<Outcome> certainOf(const std::vector<std::uint64_t>& reports) const;
    // `key` was told it took one of `reports`, which one not known: the others stay held.
    void tookOneOf(const std::vector<std::uint64_t>& reports, const Candidate& key, const Outcome& outcome);
    void tellCertain(const Candidate& key, const Outcome& outcome);
    // Whether every request of the set has had its report, so none to come may tell more.
    bool allReportsIn(const std::vector<std::uint64_t>& reports, const std::vector<Candidate>& keys);
    // Of a set too large to pair every way, what is certain; whether it told any.
    bool settleUnpaired(const std::vector<std::uint64_t>& reports, const std::vector<Candidate>& keys);
    // Tells what the unsettled reports say for certain, by elimination and by pairing; whether it told any.
    bool settleUnsettled();
    // A leg report that may be no waiting request's: another leg of an edit already answered by its
    // first report, or a leg a close changed (the server names no number then). Held with the requests it
    // fits as a candidate of its own (a number past any request's), which takes at most that report and
    // is told nothing; kept until its report came, or the server went on answering past bound().
    struct LegToCome {
        std::uint64_t number = 0;
        std::string position;
        // Of an edit's leg: the edit's number, the leg's type (2, 3) and the price asked (none: taken off).
        std::optional<std::int64_t> requestNumber;
        std::int32_t leg = 0;
        std::optional<platform::Decimal> price;
        std::uint64_t heard = 0;
        // Of a leg's cancellation an edit asking no such leg fits while closes of the position wait: those
        // closes. It may be theirs; it is not once each is refused or leaves part of the position.
        std::vector<std::uint64_t> closes;
        // The request it stands for, as a text of what is not known names it: the edit whose leg it is, or
        // the first of those closes (none: a leg a close changed, which close not known).
        Like of;
    };
    std::deque<LegToCome> legsToCome_;
    std::uint64_t lastLegToCome_ = 0;
    static constexpr std::uint64_t kLegToComeFirst = std::uint64_t{1} << 62;
    static bool isLegToCome(std::uint64_t number) { return number >= kLegToComeFirst; }
    // The edit carried out, answered by the report of one of its legs: the other legs it asked still to come.
    void expectOtherLegs(const Request& edit);
    // The report being read, while it is.
    const Named* reading_ = nullptr;
    // Those still to come the report may be, each as a candidate; expired ones dropped first.
    std::vector<Candidate> legsToComeFitting(const Named& named);
    void dropLegToCome(std::uint64_t number);
    const LegToCome* legToComeOf(std::uint64_t number) const;
    // A close answered: a cancellation held for it is not its doing where it was refused or left part of
    // the position.
    void closeAnswered(const Request& close, const std::string& position, bool leftOpen);
    // A close-all of every open position closes, or is refused, positions of its accounts and
    // instruments it did not list: a report of such a position that fits another request may be its.
    // Each such close-all stands as a candidate of its own (a number past any request's) that takes at
    // most one report of each position it did not list and is told nothing; kept while the close-all
    // waits, then until the server went on answering for kLeftOverWait once it waited for nothing but
    // held reports (its turn is past).
    struct Stray {
        std::uint64_t number = 0;
        std::uint64_t request = 0;
        Like like;
        std::unordered_set<std::string> listed;
        std::vector<std::string> accounts;
        std::vector<std::string> instruments;
        std::set<std::string> taken;
        std::optional<platform::Clock::time_point> since;
    };
    std::deque<Stray> strays_;
    std::uint64_t lastStray_ = 0;
    static constexpr std::uint64_t kStrayFirst = std::uint64_t{1} << 61;
    static bool isStray(std::uint64_t number) { return number >= kStrayFirst && number < kLegToComeFirst; }
    // Legs to come and strays alike stand in a held report's candidates for what may have made it and is
    // told nothing: each takes at most one report (a stray one of each position), and what is not known
    // names the request it stands for.
    static bool isStandIn(std::uint64_t number) { return number >= kStrayFirst; }
    bool standInWaits(const Candidate& c) const;
    void standInTook(const Candidate& c);
    std::optional<Like> standInFor(std::uint64_t number) const;
    // Whether a close-all of every open position of these accounts and instruments closes, or is refused,
    // a position of `account` and `instrument` (unnamed: any), listed or not.
    static bool coversOpen(const std::vector<std::string>& accounts,
                           const std::vector<std::string>& instruments, const std::string& account,
                           const std::string& instrument) {
        const auto has = [](const std::vector<std::string>& list, const std::string& id) {
            return id.empty() || std::find(list.begin(), list.end(), id) != list.end();
        };
        return has(accounts, account) && has(instruments, instrument);
    }
    const Stray* strayOf(std::uint64_t number) const;
    // The close-alls of every open position a report of a position they did not list may be of.
    std::vector<Candidate> straysFitting(const Named& named) const;
    // The stray took a report of its position: it takes no other.
    void strayTook(const Candidate& c);
    // Drops the strays whose close-all's turn is past (`heard`: the server's last answer), and those
    // past the bound; the reports they fitted are looked over again.
    void dropStrays(std::optional<platform::Clock::time_point> heard);
    // Positions a close left part of: their legs' reports naming no number may be its doing.
    RecentIds resized_;
    // Offsets whose positions' settlement (naming two of their positions) came: carried out.
    std::deque<std::uint64_t> offsetsSettled_;
    std::vector<Answered> givenBack_;
    bool lastGrouped_ = false;
    // Which requests still wait for each position or order, and where it stands in their targets (and
    // stood when sent): what a report names is looked up, never searched for in lists of thousands.
    struct Slot {
        std::uint64_t request = 0;
        std::size_t place = 0;
        std::size_t sentPlace = 0;
    };
    std::unordered_map<std::string, std::vector<Slot>> waitingOn_;
    bool waitsOn(const Request& r, const std::string& id) const;
    // Takes the id out of the request's targets (the last moved into its place).
    void dropTarget(Request& r, const std::string& id);
    void unindex(const Request& r);
    // Whether the wire cannot tell `a` from `b` by a report of `part` (`numbered`: one naming a number).
    bool alike(const Request& a, const Request& b, const std::string& part, bool numbered) const;
    // The answer of the request at `it` (of `part`: a close-all's position, a multi-account order's
    // account), or, when like requests wait beside it, none: the report is held for them all.
    std::optional<Answered> settle(std::deque<Request>::iterator it, const std::string& part, bool rejected,
                                   std::int32_t code, bool numbered);
    // Answers the held reports that can be, until none can.
    void settleAll();
    // Of `members` (alike when so of `part`: a position or an account).
    NotKnown notKnownOf(const std::vector<std::uint64_t>& members, std::vector<Outcome> outcomes,
                        const std::string& position, const std::string& part = {});
    // How many of each list of positions are kept: more than every waiting request may need, so that
    // none is dropped while one waits, yet bounded.
    std::size_t bound() const;
    template <class List>
    void keepWithin(List& list);
};

} // namespace tc
