#pragma once
// The order requests handed to the server that it has not answered yet. Each is noted with what the
// trader reads of it and the ids its answer can name (the request number of a new order, a position,
// a pending order); a report naming one of them answers the oldest request waiting for it, an offset
// answer the oldest offset. When the stream is lost, what is still waiting is handed over once, so the
// trader hears of every request that went without an answer. Each request gets a number of its own,
// so the window that sent it can follow it to its answer. Main queue only.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tc {

struct ExecutionReport;

class RequestsInFlight {
public:
    // Past this the oldest requests are only counted: a session that never loses its line must not
    // grow the list without end when a server answers in ways we cannot match.
    static constexpr std::size_t kMaxRequests = 1000;

    enum class Kind { Order, Offset };
    struct Request {
        Kind kind = Kind::Order;
        // What the trader reads of it ("New order: Buy 1 EURUSD (Request ID 24)").
        std::string description;
        // Ids an answer can name: "request:24", "position:300001", "order:400002".
        std::vector<std::string> answerIds;
        // Given by sent(): 1, 2, ... in the order sent.
        std::uint64_t number = 0;
    };

    static std::string requestNumberId(std::int64_t requestNumber);
    static std::string positionId(std::string_view id);
    static std::string pendingOrderId(std::string_view id);

    // Notes the request and gives back its number.
    std::uint64_t sent(Request request);
    // An execution report or an offset answer: the oldest request it names is answered, and given back.
    std::optional<Request> answered(const ExecutionReport& report);
    // Whether the request of that number is still waiting for its answer.
    bool isWaiting(std::uint64_t number) const;
    // What is still waiting, oldest first (the ones dropped past the cap are counted in the log); the
    // list is empty afterwards.
    std::vector<std::string> takeUnanswered();
    std::size_t waiting() const { return requests_.size() + dropped_; }

private:
    // The oldest request that passes `test`, taken out of the list; none when no request does.
    template <class Test>
    std::optional<Request> takeFirst(Test test);
    // The oldest order request waiting for one of `ids`, taken out of the list.
    std::optional<Request> answerFirst(const std::vector<std::string>& ids);

    std::deque<Request> requests_;
    std::size_t dropped_ = 0;
    std::uint64_t lastNumber_ = 0;
    // Two orders sent before the server's next message carry the same request number, and every
    // report of an order repeats it: the pending orders (tag 79) whose report already answered a
    // request number, so that their later reports (the fill of a market order) do not answer the
    // other order of that number as well. The newest kept.
    std::deque<std::pair<std::string, std::string>> followed_;
};

} // namespace tc
