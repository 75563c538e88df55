#pragma once
// The server's order engine: checks and executes the order requests of the stream (new, close,
// bracket and working-order edits, cancels, multi-account orders, close-all, offsets), keeps the
// account book and answers with execution reports 62, 66 and 67 (and 1052 to an offset). Pending
// entry orders and take-profit / stop-loss legs trigger when a quote crosses them.
//
// Prices are held in units of 10^-decimals of the instrument and quantities in units of 10^-8, so
// nothing drifts; both travel as decimal texts.
//
// Thread-safe: every call works under the book's lock and only builds the reports; the caller sends
// them after the lock is released.
#include "account_book.h"
#include "market.h"
#include "price_book.h"
#include "server_clock.h"

#include "platform/decimal.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

// One framed report for every stream client signed in as `user`.
struct EngineReport {
    std::string user;
    std::string framed;
};
using EngineReports = std::vector<EngineReport>;

// Rejection codes of the refusals (tag 74 of a type-62 report with status 25).
inline constexpr int kRejectGeneral = 1;           // unreadable request: type, side, record
inline constexpr int kRejectUnknownInstrument = 2; // no such instrument code or id
inline constexpr int kRejectQuantity = 5;          // outside the group's min/max/step, or above what is open
inline constexpr int kRejectPrice = 8;             // unreadable price or on the wrong side of the market
inline constexpr int kRejectMarketClosed = 11;     // the instrument does not trade now
inline constexpr int kRejectAccount = 13;          // unknown account or one of another user
inline constexpr int kRejectUnknownOrder = 15;     // no such open position or pending order
inline constexpr int kRejectPriceMoved = 50;       // market moved past the allowed deviation
inline constexpr int kRejectBookFull = 12;         // the book holds kMaxBookEntries already

// What the engine did with one order request, as it answered it: the tests' judge of what each
// request came to, never the client's view of it.
struct RecordedChange {
    enum class What {
        Opened,    // a position opened (a market order filled): its id and quantity
        Placed,    // a pending order or a take-profit / stop-loss leg placed
        Closed,    // a position closed in full: the quantity it had
        Reduced,   // part of a position closed: the quantity closed
        Changed,   // a pending order or leg edited: its quantity as it is now
        Unchanged, // an edit that changed nothing, answered by a leg as it stands
        Cancelled, // a pending order cancelled, or a leg gone with its position or by an edit
        Refused,   // refused with `code`, naming `id` when the refusal names a position or order
    };
    What what = What::Refused;
    std::int64_t id = 0;
    int account = 0;
    std::string qty;
    int code = 0;
};
struct RecordedRequest {
    // Its place among the order requests the server received, 1 the first; 0 for one the server
    // made itself (TestServer::openPosition and the like).
    std::uint64_t received = 0;
    std::string user;
    int type = 0;
    // What identifies it on the wire: the request number (tag 33, a close-all's tag 20; empty when it
    // carries none); an offset's account and instrument.
    std::string number;
    int account = 0;
    std::string instrument;
    std::vector<RecordedChange> changes;
    // Nothing carried out, and refused.
    bool refused() const {
        return !changes.empty() && std::all_of(changes.begin(), changes.end(), [](const RecordedChange& c) {
            return c.what == RecordedChange::What::Refused;
        });
    }
};
// "closed #500012 1 on 20001, refused #500016 (15)": what came of a request, as the log and the tests
// print it; "nothing" when it changed nothing and was not refused.
std::string changesText(const RecordedRequest& request);

// A refusal forced on one request (TestServer::answerHeldOrders): whatever of it the engine would carry
// out is refused instead, each part as the engine's own refusals name it. Its own checks come first, so
// a close of a position no longer held is still refused as such.
struct ForcedRefusal {
    bool atExchange = false; // status 826, as setExchangeRejection does
    int code = 0;            // a rejection code (kRejectQuantity, kRejectUnknownOrder); 0: none
    bool any() const { return atExchange || code != 0; }
};

// The record keeps the newest requests answered, this many at most.
inline constexpr std::size_t kMaxRecordedRequests = 10'000;

// Caps on one request.
inline constexpr std::size_t kMaxOrderRecords = 200; // tag-91 accounts, close-all positions, offset legs
inline constexpr std::size_t kMaxOrderValueBytes = 64;

// Quantities are kept in units of 10^-kQuantityDecimals.
inline constexpr int kQuantityDecimals = 8;

class OrderEngine {
public:
    // `market`, `prices` and `clock` must outlive the engine; the price book supplies the fill quotes,
    // the clock the reports' times.
    OrderEngine(const Market& market, const PriceBook& prices, AccountBook& book, const ServerClock& clock);

    // Whether a stream message type is an order request: 60, 72, 77, 82 and 1052.
    static bool handles(int type);
    // Acts on one order request of a signed-in user; fields by tag (a later tag wins). `received` is
    // its place among the requests received (0: made by the server), kept in the record; `forced`
    // refuses it.
    EngineReports handle(std::string_view user, const std::map<int, std::string>& fields,
                         std::uint64_t received = 0, ForcedRefusal forced = {});
    // What was done with each request answered, in the order answered, from the `from`th entry kept on.
    std::vector<RecordedRequest> record(std::size_t from = 0) const;
    // Closes every position and cancels every entry order of the account, reporting each as the engine
    // does (no request number); not recorded.
    EngineReports clearAccount(int account);
    // Triggers the pending orders and bracket legs of the instrument at `index` that the quote crosses.
    EngineReports onQuote(std::size_t index, const Quote& quote);

    // Test control: a closed instrument refuses new orders, closes and edits, and triggers nothing.
    void setMarketOpen(std::size_t index, bool open);
    bool marketOpen(std::size_t index) const;
    // Test control: while on, every new order, close and edit, and each position of a close-all, is
    // rejected by the exchange (status 826) instead of carried out, naming what it acts on as the
    // engine's own refusals do.
    void setExchangeRejection(bool on) { exchangeRejects_ = on; }
    // Test control: a close-all of more positions than this is refused as a whole (at most
    // kMaxOrderRecords).
    void setCloseAllLimit(std::size_t limit) { closeAllLimit_ = std::min(limit, kMaxOrderRecords); }
    // Test control: a multi-account order's part for this account (0: none) is carried out, but its
    // reports are not sent: that part's answer lost on the way.
    void loseMultiAccountReportsOf(int account) { reportsLostOf_ = account; }

private:
    struct Call;

    void placeNew(Call& c, int accountId, std::string_view qtyText, const std::string& requestId);
    void closeRequest(Call& c);
    void editBrackets(Call& c);
    void editWorking(Call& c);
    void multiAccount(Call& c);
    void closeAll(Call& c);
    void offset(Call& c);

    void fill(Call& c, ServerPendingOrder order, std::int64_t price, const std::string& requestId);
    void closePart(Call& c, std::size_t positionIndex, std::int64_t qty, std::int64_t price);
    // The settlement's profit and rates: a profit in the instrument's quote currency in the
    // account's currency, at the quotes of now.
    void takeProfit(ServerSettlement& s, const Instrument& instrument, int accountId,
                    const tc::platform::Decimal& quoteProfit) const;
    // The legs of the position go (but `exceptOrderId`); their reports carry the request id of the
    // edit that took them off (none when their position closed).
    void cancelLegs(Call& c, std::int64_t positionId, std::int64_t exceptOrderId,
                    const std::string& requestId = {});
    void rejectAtExchange(Call& c, int type);
    // Charges the commission of a position just opened to its account's balance, in full.
    void charge(Call& c, const ServerPosition& position);
    // Books a settlement: its profit goes to the account's balance (its share of the commission was
    // charged at opening), and the account's user hears the new figures in an account summary
    // (1045) at the end of the call.
    void settle(Call& c, const std::string& user, ServerSettlement settlement);
    // The account summary of every account whose balance or open positions the call changed.
    void sendSummaries(Call& c);
    void reject(Call& c, int code, int accountId, std::string_view requestId, std::string_view orderId = {},
                std::string_view positionId = {}, std::string_view refPositionId = {});

    const Instrument* instrumentOf(int instrumentId, std::size_t* index = nullptr) const;
    const Account* accountOf(int accountId) const;
    std::string userOf(int accountId) const;
    const Group* groupOf(const Account& account) const;

    const Market& market_;
    const PriceBook& prices_;
    AccountBook& book_;
    const ServerClock& clock_;
    std::unique_ptr<std::atomic<bool>[]> closed_;
    std::atomic<bool> exchangeRejects_{false};
    std::atomic<std::size_t> closeAllLimit_{kMaxOrderRecords};
    std::atomic<int> reportsLostOf_{0};
    // Under the book's lock.
    std::vector<RecordedRequest> record_;
};

} // namespace testserver
