#include "orders/requests_in_flight.h"

#include "platform/log.h"
#include "session/business/business_services.h"
#include "wire/message_cracker.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <utility>

namespace tc {

std::string RequestsInFlight::requestNumberId(std::int64_t requestNumber) {
    return "request:" + std::to_string(requestNumber);
}

std::string RequestsInFlight::positionId(std::string_view id) {
    return "position:" + std::string(id);
}

std::string RequestsInFlight::pendingOrderId(std::string_view id) {
    return "order:" + std::string(id);
}

std::uint64_t RequestsInFlight::sent(Request request) {
    if (requests_.size() >= kMaxRequests) {
        requests_.pop_front();
        ++dropped_;
    }
    request.number = ++lastNumber_;
    requests_.push_back(std::move(request));
    return lastNumber_;
}

bool RequestsInFlight::isWaiting(std::uint64_t number) const {
    return std::any_of(requests_.begin(), requests_.end(),
                       [&](const Request& r) { return r.number == number; });
}

template <class Test>
std::optional<RequestsInFlight::Request> RequestsInFlight::takeFirst(Test test) {
    const auto it = std::find_if(requests_.begin(), requests_.end(), test);
    if (it == requests_.end())
        return std::nullopt;
    Request taken = std::move(*it);
    requests_.erase(it);
    return taken;
}

std::optional<RequestsInFlight::Request> RequestsInFlight::answerFirst(const std::vector<std::string>& ids) {
    return takeFirst([&](const Request& r) {
        return r.kind == Kind::Order &&
               std::any_of(r.answerIds.begin(), r.answerIds.end(), [&](const auto& id) {
                   return std::find(ids.begin(), ids.end(), id) != ids.end();
               });
    });
}

std::optional<RequestsInFlight::Request> RequestsInFlight::answered(const ExecutionReport& report) {
    if (requests_.empty())
        return std::nullopt;
    if (report.type == wire::msg::kCloseHedged)
        return takeFirst([](const Request& r) { return r.kind == Kind::Offset; });
    std::vector<std::string> ids;
    std::optional<std::string> number;
    std::vector<std::string> orders;
    for (const std::string& field : report.fields) {
        const auto value = MessageCracker::GetMessageValue(field, "=");
        if (!value || value->empty())
            continue;
        const std::int64_t tag =
            MessageCracker::integerValue(field.substr(0, field.size() - value->size() - 1));
        if (tag == wire::tag::kOrderRequestId) {
            number = requestNumberId(MessageCracker::integerValue(*value));
        } else if (tag == wire::tag::kPositionId || tag == wire::tag::kOffsetOrder ||
                   tag == wire::tag::kBracketPositionId) {
            ids.push_back(positionId(*value));
        } else if (tag == wire::tag::kPendingOrderId) {
            orders.push_back(pendingOrderId(*value));
            ids.push_back(orders.back());
        }
    }
    // A later report of an order that already answered its request number answers no other order of
    // that number.
    const bool followUp =
        number && std::any_of(followed_.begin(), followed_.end(), [&](const auto& f) {
            return f.first == *number && std::find(orders.begin(), orders.end(), f.second) != orders.end();
        });
    if (number && !followUp)
        ids.push_back(*number);
    std::optional<Request> answered = answerFirst(ids);
    if (!answered || !number ||
        std::find(answered->answerIds.begin(), answered->answerIds.end(), *number) ==
            answered->answerIds.end())
        return answered;
    for (const std::string& order : orders) {
        if (followed_.size() >= kMaxRequests)
            followed_.pop_front();
        followed_.emplace_back(*number, order);
    }
    return answered;
}

std::vector<std::string> RequestsInFlight::takeUnanswered() {
    std::vector<std::string> lines;
    lines.reserve(requests_.size());
    for (Request& r : requests_)
        lines.push_back(std::move(r.description));
    if (dropped_ > 0)
        platform::Log::warning("{} older requests without an answer were not kept", dropped_);
    requests_.clear();
    dropped_ = 0;
    return lines;
}

} // namespace tc
