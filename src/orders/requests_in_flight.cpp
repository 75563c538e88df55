#include "orders/requests_in_flight.h"

#include "model/records/record_decimal.h"
#include "platform/log.h"
#include "session/business/business_services.h"
#include "wire/message_cracker.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace tc {

namespace report = wire::report;

// What a report names, by the role each id plays in it.
struct RequestsInFlight::Named {
    std::int64_t type = 0;
    int status = 0;
    std::optional<std::int64_t> number; // tag 33
    std::string closed;                 // a position settled, updated, or whose close was rejected
    std::string bracket;                // the position whose leg the report is of (573)
    std::string order;                  // the pending order (79)
    std::string opened;                 // a position just opened (80 of 67 status 74)
    std::string against;                // the position a settlement's position was closed against (87)
    std::string account;
    std::string instrument;
    std::optional<std::int32_t> side;
    std::optional<platform::Decimal> quantity;
    bool closedWhole = false; // a position's update leaving nothing of it (76 of 67 status 73)

    explicit Named(const ExecutionReport& r) : type(r.type), status(r.status) {
        // The status first: what an id stands for depends on it.
        for (const std::string& field : r.fields)
            if (field.starts_with("73="))
                status = static_cast<int>(MessageCracker::integerValue(field.substr(3)));
        for (const std::string& field : r.fields) {
            const auto value = MessageCracker::GetMessageValue(field, "=");
            if (!value || value->empty())
                continue;
            const std::int64_t tag =
                MessageCracker::integerValue(field.substr(0, field.size() - value->size() - 1));
            switch (tag) {
            case wire::tag::kOrderRequestId:
                number = MessageCracker::integerValue(*value);
                break;
            case wire::tag::kPositionId:
                if (type == wire::msg::kPositionSettled ||
                    (type == wire::msg::kPositionReport && status == report::kPositionUpdate))
                    closed = *value;
                else if (type == wire::msg::kPositionReport)
                    opened = *value;
                break;
            case wire::tag::kClosingPositionId:
                if (type == wire::msg::kPositionSettled)
                    against = *value;
                break;
            case wire::tag::kOffsetOrder:
                if (type == wire::msg::kExecutionReport)
                    closed = *value;
                break;
            case wire::tag::kBracketPositionId:
                if (type == wire::msg::kExecutionReport)
                    bracket = *value;
                break;
            case wire::tag::kPendingOrderId:
                order = *value;
                break;
            case wire::tag::kAccount:
                account = *value;
                break;
            case wire::tag::kInstrument:
                // A settlement names the instrument by its id.
                if (type != wire::msg::kPositionSettled)
                    instrument = *value;
                break;
            case wire::tag::kTradingMode:
                if (*value == "45")
                    side = 0;
                else if (*value == "46")
                    side = 1;
                break;
            case wire::tag::kQuantity:
                quantity = strictDecimal(*value);
                break;
            case wire::tag::kRemainingQuantity:
                if (type == wire::msg::kPositionReport && status == report::kPositionUpdate) {
                    const auto left = strictDecimal(*value);
                    closedWhole = left && left->isZero();
                }
                break;
            default:
                break;
            }
        }
    }

    bool rejection() const {
        return type == wire::msg::kExecutionReport &&
               (status == report::kRejected || status == report::kExchangeRejected);
    }

    // Of an offset answer: the offset of the account and instrument it names.
    bool answersOffset(const Request& r) const {
        return r.kind == Kind::Offset && (account.empty() || account == r.account) &&
               (instrument.empty() || instrument == r.instrument);
    }

    // Whether the report is of the kind that answers `r`, about what `r` acts on.
    bool aimsAt(const Request& r) const {
        const auto targets = [&](const std::string& id) {
            return !id.empty() && std::find(r.targets.begin(), r.targets.end(), id) != r.targets.end();
        };
        switch (r.kind) {
        case Kind::Close:
            return targets(closed);
        case Kind::CloseAll:
            // Refused as a whole, the request is named by its number only.
            return targets(closed) ||
                   (rejection() && closed.empty() && bracket.empty() && instrument.empty() && sameNumber(r));
        case Kind::PositionEdit:
            return type == wire::msg::kExecutionReport && targets(bracket) &&
                   (status == report::kPending || status == report::kEdited || rejection() ||
                    (r.removesLeg && status == report::kCancelled));
        case Kind::OrderEdit:
            return type == wire::msg::kExecutionReport && targets(order) &&
                   (status == report::kPending || status == report::kEdited || status == report::kCancelled ||
                    rejection());
        case Kind::NewOrder:
        case Kind::MultiAccount:
        case Kind::Offset:
            return false;
        }
        return false;
    }

    // The position or order the report is about, as a request on it names it.
    const std::string& subject() const {
        return !closed.empty() ? closed : !bracket.empty() ? bracket : order;
    }

    bool sameNumber(const Request& r) const {
        return number && r.requestNumber && *number == *r.requestNumber;
    }
    // A report of another request's number answers no request of its own number.
    bool numberAgrees(const Request& r) const { return !number || !r.requestNumber || sameNumber(r); }

    // Whether the report is of the new order `r`: its number, and the instrument, side and quantity
    // it names.
    bool namesNewOrder(const Request& r) const {
        if ((r.kind != Kind::NewOrder && r.kind != Kind::MultiAccount) || !sameNumber(r))
            return false;
        const bool eachQuantity = r.kind == Kind::MultiAccount;
        // An account that had its report is answered: another report of it is not this order's.
        if (eachQuantity && std::find(r.answeredAccounts.begin(), r.answeredAccounts.end(), account) !=
                                r.answeredAccounts.end())
            return false;
        return (instrument.empty() || instrument == r.instrument) && (!side || side == r.side) &&
               (eachQuantity || !quantity || !r.quantity || *quantity == *r.quantity);
    }

    // A report about a position held or an edit never answers a new order.
    bool ofNewOrder() const {
        return closed.empty() && bracket.empty() &&
               !(type == wire::msg::kExecutionReport && status == report::kEdited);
    }
};

std::uint64_t RequestsInFlight::sent(Request request) {
    if (requests_.size() >= kMaxRequests) {
        requests_.pop_front();
        ++dropped_;
    }
    request.number = ++lastNumber_;
    request.givenUp = false;
    request.positions = request.kind == Kind::CloseAll ? request.targets.size() : 0;
    request.refusals.clear();
    requests_.push_back(std::move(request));
    return lastNumber_;
}

void RequestsInFlight::giveUp(std::uint64_t number) {
    for (Request& r : requests_)
        if (r.number == number)
            r.givenUp = true;
}

bool RequestsInFlight::isWaiting(std::uint64_t number) const {
    return std::any_of(requests_.begin(), requests_.end(),
                       [&](const Request& r) { return r.number == number; });
}

template <class Test>
std::deque<RequestsInFlight::Request>::iterator RequestsInFlight::findFirst(Test test, bool exactFirst) {
    if (!exactFirst)
        return std::find_if(requests_.begin(), requests_.end(), test);
    // A close-all acts on many positions, a close or an edit on exactly the one named: of two sent
    // in one pass, the report of their number is the latter's.
    const auto it = std::find_if(requests_.begin(), requests_.end(),
                                 [&](const Request& r) { return r.kind != Kind::CloseAll && test(r); });
    if (it != requests_.end())
        return it;
    return std::find_if(requests_.begin(), requests_.end(),
                        [&](const Request& r) { return r.kind == Kind::CloseAll && test(r); });
}

std::deque<RequestsInFlight::Request>::iterator RequestsInFlight::passedOver(const Named& named) {
    const std::string& subject = named.subject();
    for (auto p = passedOver_.begin(); p != passedOver_.end(); ++p) {
        if (p->number != *named.number || p->position != subject)
            continue;
        const std::uint64_t number = p->request;
        passedOver_.erase(p);
        return std::find_if(requests_.begin(), requests_.end(),
                            [&](const Request& r) { return r.number == number && named.aimsAt(r); });
    }
    return requests_.end();
}

std::vector<RequestsInFlight::Answered>
RequestsInFlight::answerPassedOver(const std::function<bool(const PassedOver&)>& due) {
    std::vector<PassedOver> taken;
    for (auto p = passedOver_.begin(); p != passedOver_.end();)
        if (due(*p)) {
            taken.push_back(std::move(*p));
            p = passedOver_.erase(p);
        } else {
            ++p;
        }
    std::vector<Answered> told;
    for (const PassedOver& p : taken) {
        // Answered meanwhile (a close-all's position by a report of its own) or gone with the line.
        const auto it = std::find_if(requests_.begin(), requests_.end(), [&](const Request& r) {
            return r.number == p.request &&
                   std::find(r.targets.begin(), r.targets.end(), p.position) != r.targets.end();
        });
        if (it != requests_.end())
            told.push_back(answer(it, p.position, p.rejected, p.code));
    }
    return told;
}

void RequestsInFlight::giveBack(std::uint64_t closeAll) {
    for (Answered& told : answerPassedOver([closeAll](const PassedOver& p) { return p.taker == closeAll; }))
        givenBack_.push_back(std::move(told));
}

std::vector<RequestsInFlight::Answered> RequestsInFlight::takeGivenBack() {
    return std::exchange(givenBack_, {});
}

std::vector<RequestsInFlight::Answered> RequestsInFlight::takeLeftOver(platform::Clock::time_point heard) {
    return answerPassedOver([heard](const PassedOver& p) {
        return p.closedIt && p.takerDone && heard - *p.takerDone >= kLeftOverWait;
    });
}

bool RequestsInFlight::leftOverWaiting() const {
    return std::any_of(passedOver_.begin(), passedOver_.end(),
                       [](const PassedOver& p) { return p.closedIt && p.takerDone; });
}

RequestsInFlight::Answered RequestsInFlight::answer(std::deque<Request>::iterator it,
                                                    const std::string& position, bool rejected,
                                                    std::int32_t code, const std::string& account) {
    Request& r = *it;
    // Each account's part is carried out apart: the order waits until every one has its report.
    std::string part;
    if (r.kind == Kind::MultiAccount && std::erase(r.accounts, account) > 0) {
        part = account;
        r.answeredAccounts.push_back(part);
        if (!r.accounts.empty())
            return {r, {}, rejected, code, false, std::move(part)};
    }
    if (r.kind == Kind::CloseAll && !position.empty()) {
        if (rejected)
            r.refusals.emplace_back(position, code);
        // The position has its answer: a later report of it answers no more of this request.
        r.targets.erase(std::remove(r.targets.begin(), r.targets.end(), position), r.targets.end());
        if (!r.targets.empty())
            return {r, position, rejected, code, false, {}};
    }
    std::string of = r.kind == Kind::CloseAll ? position : std::string();
    Answered done{std::move(r), std::move(of), rejected, code, true, std::move(part)};
    requests_.erase(it);
    if (!passedOver_.empty()) {
        std::erase_if(passedOver_, [&](const PassedOver& p) { return p.request == done.request.number; });
        // What it took over another is now all it will take: the other's own report has its time.
        for (PassedOver& p : passedOver_)
            if (p.taker == done.request.number && !p.takerDone)
                p.takerDone = platform::Clock::currentTime();
    }
    return done;
}

void RequestsInFlight::claim(const std::string& id) {
    if (id.empty() || claimed(id))
        return;
    if (claimed_.size() >= kMaxRequests)
        claimed_.pop_front();
    claimed_.push_back(id);
}

bool RequestsInFlight::claimed(const std::string& id) const {
    return !id.empty() && std::find(claimed_.begin(), claimed_.end(), id) != claimed_.end();
}

std::optional<RequestsInFlight::Answered> RequestsInFlight::answered(const ExecutionReport& report) {
    const Named named(report);
    givenBack_.clear();
    if (report.type == wire::msg::kCloseHedged) {
        const auto it = findFirst([&](const Request& r) { return named.answersOffset(r); });
        if (it == requests_.end())
            return std::nullopt;
        return answer(it, {}, report.rejectionCode != 0, report.rejectionCode);
    }
    // A close brings its position's update and then its settlement: the update is the answer, and the
    // settlement that follows answers no other request of that position.
    if (report.type == wire::msg::kPositionReport && named.status == wire::report::kPositionUpdate &&
        !named.closed.empty()) {
        if (settling_.size() >= kMaxRequests)
            settling_.pop_front();
        settling_.push_back(named.closed);
    } else if (report.type == wire::msg::kPositionSettled && !named.closed.empty()) {
        // An offset updates both positions and settles them in one report: neither waits any more.
        if (const auto other = std::find(settling_.begin(), settling_.end(), named.against);
            !named.against.empty() && other != settling_.end())
            settling_.erase(other);
        const auto update = std::find(settling_.begin(), settling_.end(), named.closed);
        if (update != settling_.end()) {
            settling_.erase(update);
            return std::nullopt;
        }
    }
    if (requests_.empty())
        return std::nullopt;
    const bool rejected = named.rejection();
    const std::int32_t code = rejected ? report.rejectionCode : 0;
    if (named.number) {
        const auto it =
            findFirst([&](const Request& r) { return named.aimsAt(r) && named.sameNumber(r); }, true);
        if (it != requests_.end()) {
            const std::uint64_t taker = it->number;
            const bool whole = it->kind == Kind::CloseAll && named.closed.empty();
            Answered done = answer(it, named.closed, rejected, code);
            if (whole)
                giveBack(taker);
            return done;
        }
    }
    const auto fits = [&](const Request& r) {
        return named.aimsAt(r) && (!named.number || !r.requestNumber);
    };
    if (const auto it = findFirst(fits); it != requests_.end()) {
        // Taken by the older of two it fits: should the older's own report come, it is the other's.
        if (!named.number && it->requestNumber)
            if (const auto other = std::find_if(std::next(it), requests_.end(), fits);
                other != requests_.end()) {
                if (passedOver_.size() >= kMaxRequests)
                    passedOver_.pop_front();
                passedOver_.push_back({*it->requestNumber, it->number, named.subject(), other->number,
                                       rejected, code, named.closedWhole, std::nullopt});
            }
        return answer(it, named.closed, rejected, code);
    }
    if (named.number)
        if (const auto it = passedOver(named); it != requests_.end())
            return answer(it, named.closed, rejected, code);
    // Pending orders are named by 79 in "order:" form and positions by 80, kept apart.
    const std::string order = named.order.empty() ? std::string() : "order:" + named.order;
    const std::string opened = named.opened.empty() ? std::string() : "position:" + named.opened;
    if (!named.number || !named.ofNewOrder() || claimed(order) || claimed(opened))
        return std::nullopt;
    const auto it = findFirst([&](const Request& r) { return named.namesNewOrder(r); });
    if (it == requests_.end())
        return std::nullopt;
    claim(order);
    claim(opened);
    return answer(it, {}, rejected, code, named.account);
}

std::vector<RequestsInFlight::Request> RequestsInFlight::takeUnanswered() {
    std::vector<Request> left(std::make_move_iterator(requests_.begin()),
                              std::make_move_iterator(requests_.end()));
    if (dropped_ > 0)
        platform::Log::warning("{} older requests without an answer were not kept", dropped_);
    requests_.clear();
    settling_.clear();
    passedOver_.clear();
    givenBack_.clear();
    dropped_ = 0;
    return left;
}

} // namespace tc
