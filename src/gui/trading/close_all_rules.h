#pragma once
// The close-all window's course: choosing (every open position ticked at first), validating the
// ticked ones without sending, the refusals in the status sheet (going on closes the others),
// and once the request went out, one status row per sent position that the answers of that request
// turn to closed or rejected, each row its own position's answer. Positions are kept by id. No Qt.
#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "interfaces/orders.h"
#include "model/session_queries.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tc {
struct SessionModel;
}

namespace tc::gui {

inline constexpr std::string_view kCloseAllTitleKey = texts::kCloseAll;      // every position ticked
inline constexpr std::string_view kCloseSelectedKey = texts::kCloseSelected; // "<text> (<n>)"
inline constexpr std::string_view kStatusSentKey = texts::kSent;             // request sent, no report yet
inline constexpr std::string_view kStatusClosedKey = texts::kExecuted;       // settled
inline constexpr std::string_view kAllRefusedKey =
    texts::kNoneSelectedPositionsCanClosed; // the sheet offers nothing more
inline constexpr std::string_view kSomeRefusedKey =
    texts::kSomeSelectedPositionsCannotClosed; // the sheet offers to go on
inline constexpr std::string_view kLeftOneSidedKey = texts::kClosingOthersLeavesOneSide; // {0}: the holdings
// The list's heading: choosing, then once sent: waiting for the server, every position closed, or
// some rejected.
inline constexpr std::string_view kHeaderChoosingKey = texts::kPositionsToClose;
inline constexpr std::string_view kHeaderWaitingKey = texts::kSentCloseWaitingServersAnswer;
inline constexpr std::string_view kHeaderClosedKey = texts::kClosedPricesShown;
inline constexpr std::string_view kHeaderSomeRejectedKey = texts::kNotEveryPositionClosed;
// The server silent for a while, the request still waiting within its time limit.
inline constexpr std::string_view kHeaderServerSilentKey = texts::kCloseAllServerSilentStillWaiting;
// Past the time limit (or once the line is lost) with positions still unanswered: not known.
inline constexpr std::string_view kHeaderNoAnswerKey = texts::kNoAnswerCameTimeEveryPosition;
inline constexpr std::string_view kStatusNoAnswerKey = texts::kNoAnswer;
inline constexpr std::string_view kHeaderRefusedWholeKey = texts::kServerRefusedCloseAllWhole;
// The server's reports fitted this and a like request alike and differed: a row reads "Not known: "
// with what is known, and the heading says some outcomes are not known.
inline constexpr std::string_view kStatusNotKnownKey = texts::kNotKnown;
inline constexpr std::string_view kHeaderSomeNotKnownKey = texts::kSentSomePositionsOutcomeNot;
// Where the position is closed all the same (the server closed it for this or a like request): the row
// reads closed with what is known, and the heading, when nothing else is amiss, that every position
// closed.
inline constexpr std::string_view kHeaderClosedSomeByOneOfLikeKey = texts::kCloseAllClosedSomeByOneOfLike;
// More ticked than the server takes in one request ({0} the limit, {1} the ticked).
inline constexpr std::string_view kAboveLimitKey = texts::kServerTakesMostPositionsOne;
// The same user signed in again after a loss: what the new session's list shows of each row that
// had no answer, and the heading over them.
inline constexpr std::string_view kStatusClosedByListKey = texts::kCloseAllRowClosedByList;
inline constexpr std::string_view kStatusStillHeldKey = texts::kCloseAllRowStillHeld;
inline constexpr std::string_view kStatusChangedKey = texts::kCloseAllRowChangedSinceSent;
inline constexpr std::string_view kHeaderListAllClosedKey = texts::kCloseAllListShowsAllClosed;
inline constexpr std::string_view kHeaderListNoneClosedKey = texts::kCloseAllListShowsNoneClosed;
inline constexpr std::string_view kHeaderListSomeClosedKey = texts::kCloseAllListShowsSomeClosed;
// The window went because another user signed in ({0}: the positions that had no answer).
inline constexpr std::string_view kGoneForAnotherUserKey = texts::kCloseAllGoneForAnotherUser;

// What a sign-in again's list shows of a sent position that had no answer.
enum class FromList : std::uint8_t { Untold, Gone, AsSent, Changed };

// One row of the status sheet (refusals) or of the sent list.
struct CloseAllStatusRow {
    std::string positionId;
    std::string account;
    std::string symbol;
    std::int32_t side = 0; // the position's own side, as the position table shows it
    std::string quantity;
    // A refusal: the price the close would take now. Once sent: none until its own answer says
    // closed, then the price its settlement named.
    std::string price;
    // Sent: the price a settlement of the position named, which may be another request's until
    // this request's answer says closed.
    std::string settledPrice;
    std::string status;
    Tone tone = Tone::Gain;   // Gain: sent or closed; Loss: refused or rejected
    bool answered = false;    // sent, and the server closed or rejected it (or a later list told it)
    bool notKnown = false;    // answered, but whether this request closed it is not known
    bool closedByOne = false; // closed, by this request or a like one: which is not known
    // Refused by the server: its reason, and what the position holds now while it is still open
    // (empty once it is not), which the status says beside the reason.
    bool refused = false;
    std::string reason;
    std::string held;
    FromList fromList = FromList::Untold;
};

// The line of a refusal text the status shows: the second line of a text of several, else the text.
std::string refusalLine(std::string_view text);

class CloseAllFlow {
public:
    enum class Phase : std::uint8_t { Choosing, Refused, Sent };
    struct Button {
        std::string title;
        bool enabled = false;
    };
    // Asks the core whether the positions would close in one request; one result per id, Sent
    // when it would.
    using CheckFn = std::function<std::vector<interfaces::OrderResult>(const std::vector<std::string>& ids)>;

    // The requests still waiting on positions (the core's list, oldest first): a position one of them
    // waits for is shown as such, comes unticked, and sending it again asks first. Read once per pass
    // (the list's positions indexed by id, oldest request first); true when it changed.
    bool awaiting(std::vector<interfaces::AwaitedPositions> requests);
    // The oldest waiting request on the position, or null.
    const interfaces::AwaitedPositions* awaitedBy(std::string_view id) const;
    // How many positions of the last book read a waiting request still acts on.
    std::size_t awaitedListed() const { return awaitedListed_; }
    // The earlier requests some ticked position still waits for, oldest first, and how many ticked
    // positions wait: what to ask about before sending.
    struct AwaitedTicked {
        std::vector<const interfaces::AwaitedPositions*> requests;
        std::size_t positions = 0;
    };
    AwaitedTicked awaitedTicked() const;

    // Choosing again: every listed position ticked, in list order, but those a waiting request acts on.
    void start(const OrderView& listed);
    // The positions listed now, what the button and isCloseAll() answer for; no tick changes. Read
    // once for each change of the book, never for a click.
    void list(const OrderView& listed);
    // How many times a book was read (start, list, follow): a click reads none.
    std::size_t booksRead() const { return booksRead_; }
    Phase phase() const { return phase_; }

    bool isTicked(std::string_view id) const;
    void toggle(std::string_view id);
    // The tick column's title over the rows it shows (`shown`, in list order): every row unticked when
    // all of them are ticked, else all of them ticked.
    void toggleAll(const std::vector<std::string>& shown);
    // Space on several rows: each of them ticked when any was not, else each unticked.
    void tickTogether(const std::vector<std::string>& ids);
    // The book read again (as list()), and ticks of positions no longer listed go.
    void follow(const OrderView& listed);
    const std::vector<std::string>& ticked() const { return ticked_; }
    // The send button for the positions of the last book read.
    Button button(std::int64_t language) const;
    // Every position of the last book read ticked, and nothing else (the button's "Close All"). The
    // request names its positions all the same: the server's "every position" would close one opened
    // since the list was read too (a fill, or a waiting order filled before the server reaches it).
    bool isCloseAll() const;
    // The same for `listed`, read now by a pass over it.
    bool isCloseAll(const OrderView& listed) const;
    // More ticked than one request may carry: nothing can be sent until some are unticked.
    bool aboveLimit(std::size_t limit) const { return ticked_.size() > limit; }

    // Checks every ticked position; the refused ones become the status sheet's rows (Phase Refused)
    // and nothing is sent. True when none was refused.
    bool validate(const SessionModel& model, const SessionQueries& queries, const CheckFn& check);
    const std::vector<CloseAllStatusRow>& refused() const { return refused_; }
    // Whether some ticked position passed, so the sheet may go on with the others.
    bool canGoOn() const { return refused_.size() < ticked_.size(); }
    // The sheet's explanation.
    std::string_view refusedTextKey() const { return canGoOn() ? kSomeRefusedKey : kAllRefusedKey; }
    // What going on would leave open on one side only where both sides were open, more exposed or
    // the other way round: "account instrument" each, in list order. Empty when nothing can go on.
    const std::vector<std::string>& leftOneSided() const { return leftOneSided_; }
    // Back to choosing after the sheet was dismissed.
    void dismissRefusals();

    // The request: every ticked position that was not refused.
    std::vector<std::string> idsToSend() const;

    // The request went out: one "sent" row per position sent.
    void sent(const SessionModel& model, const SessionQueries& queries, const std::vector<std::string>& ids,
              std::int64_t language);
    const std::vector<CloseAllStatusRow>& statusRows() const { return status_; }
    // A settlement of a sent position: its row shows the price it closed at once its own answer says
    // closed (a settlement names no request: until then it may be another's). The row changed, none
    // when its shown price did not.
    std::optional<std::size_t> report(const SessionModel& model, const interfaces::BulkCloseReport& report);
    // An answer of the window's own request: of one position (`position`: closed or reduced when
    // accepted, else rejected with `reason`), or of the request as a whole (`position` empty; a
    // refusal there is of the whole request). The rows it changed, in order.
    std::vector<std::size_t> answer(std::string_view position, bool accepted, const std::string& reason,
                                    std::int64_t language);
    // The same of an answer whose outcome is not known (`whatIsKnown`): neither closed nor rejected,
    // or (`closedByOne`) closed by this request or a like one.
    std::vector<std::size_t> answerNotKnown(std::string_view position, const std::string& whatIsKnown,
                                            bool closedByOne, std::int64_t language);
    // The time limit passed, or the line was lost, with positions unanswered: each reads that no
    // answer came (a later report still turns it to closed or rejected).
    void noAnswer(std::int64_t language);
    // The server refused the request as a whole: each position still waiting reads its reason.
    void refusedWhole(const std::string& reason);
    // Whether a refused row waits to read what its position holds (readHeld).
    bool heldToRead() const { return !refusedRows_.empty(); }
    // Each refused row reads from `listed` whether its position is still open and what it holds now:
    // the status says so beside the reason (the trader who ticked it may think it closed). One pass
    // over the book for every refused row. The rows changed.
    std::vector<std::size_t> readHeld(const OrderView& listed, std::int64_t language);
    // The server answers pings again (true) or has been silent for a while (false): while silent the
    // heading says so, the request still waiting; no row reads "No answer" for a silence.
    void serverAnswering(bool answering) { silent_ = !answering; }
    // The same user signed in again after the line went: each row still unanswered reads from the new
    // session's open positions what became of it (gone: closed; held as sent: not closed; else
    // changed). Nothing is sent. The rows changed.
    std::vector<std::size_t> takeUpList(const OrderView& listed, std::int64_t language);
    // The sent positions with no answer, in the request's order.
    std::vector<std::string> unanswered() const;
    // Whether a sent position still waits for its report.
    bool waiting() const;
    // The text key of the list's heading now.
    std::string_view headerKey() const;

private:
    void tick(std::string_view id);
    // One tick gone, from both its list and its set.
    void untick(std::string_view id);
    void untickIf(const std::function<bool(const std::string&)>& drop);
    // A sent row told refused (with the server's reason) or not: kept among the rows readHeld reads.
    void refuse(std::size_t at, bool refused, const std::string& reason);

    Phase phase_ = Phase::Choosing;
    // The ticks in the order ticked (the request's order), and the same as a set: each row asks.
    std::vector<std::string> ticked_;
    struct IdHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view id) const { return std::hash<std::string_view>{}(id); }
    };
    std::unordered_set<std::string, IdHash, std::equal_to<>> tickedSet_;
    // The ids of the last book read (an id listed twice once), and how many ticks are among them:
    // kept as ticks and the book change, so that a click answers the button without a pass.
    std::unordered_set<std::string, IdHash, std::equal_to<>> listed_;
    std::size_t tickedListed_ = 0;
    std::size_t booksRead_ = 0;
    // The waiting requests on positions, and each position's oldest among them by index.
    std::vector<interfaces::AwaitedPositions> awaited_;
    std::unordered_map<std::string, std::size_t, IdHash, std::equal_to<>> awaitedBy_;
    std::size_t awaitedListed_ = 0;
    std::vector<CloseAllStatusRow> refused_;
    std::vector<std::string> leftOneSided_;
    std::vector<CloseAllStatusRow> status_;
    std::unordered_map<std::string, std::size_t, IdHash, std::equal_to<>> statusRow_; // a sent row by id
    std::vector<std::size_t> refusedRows_; // the rows refused, in the order refused
    bool noAnswer_ = false;
    bool refusedWhole_ = false;
    bool silent_ = false;
};

} // namespace tc::gui
