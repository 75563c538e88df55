#include "orders/requests_in_flight.h"

#include "model/records/record_decimal.h"
#include "session/business/business_services.h"
#include "wire/message_cracker.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <functional>
#include <unordered_set>
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
    std::optional<std::int32_t> orderType;            // of an order report: 1 market, 2 limit, 3 stop
    std::optional<platform::Decimal> settledQuantity; // 89 of a settlement
    // Of an order report: the order's price, and its legs (none when not named or 0).
    std::optional<platform::Decimal> price;
    std::optional<platform::Decimal> takeProfit;
    std::optional<platform::Decimal> stopLoss;
    bool closedWhole = false;               // a position's update leaving nothing of it (76 of 67 status 73)
    const RequestsInFlight* list = nullptr; // whose requests it is read against

    Named(const ExecutionReport& r, const RequestsInFlight* of) : type(r.type), status(r.status), list(of) {
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
            case wire::tag::kOrderType:
                // 29 to 31 on the wire.
                if (const std::int64_t v = MessageCracker::integerValue(*value); v >= 29 && v <= 31)
                    orderType = static_cast<std::int32_t>(v - 28);
                break;
            case wire::tag::kPrice:
            case wire::tag::kLimitPrice:
            case wire::tag::kStopPrice:
                if (type == wire::msg::kExecutionReport) {
                    auto v = strictDecimal(*value);
                    if (v && tag != wire::tag::kPrice && v->isZero())
                        v.reset();
                    (tag == wire::tag::kPrice        ? price
                     : tag == wire::tag::kLimitPrice ? takeProfit
                                                     : stopLoss) = v;
                }
                break;
            case wire::tag::kSettledQuantity:
                if (type == wire::msg::kPositionSettled)
                    settledQuantity = strictDecimal(*value);
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
        const auto targets = [&](const std::string& id) { return !id.empty() && list->waitsOn(r, id); };
        switch (r.kind) {
        case Kind::Close:
            // A close's refusal names its number; one naming none is a close-all's.
            return targets(closed) && !(rejection() && !number);
        case Kind::CloseAll:
            // It closes the whole position; refused as a whole, it is named by its number only.
            return (targets(closed) && !leavesPart()) ||
                   (rejection() && closed.empty() && bracket.empty() && instrument.empty() && sameNumber(r));
        case Kind::PositionEdit:
            return type == wire::msg::kExecutionReport && targets(bracket) &&
                   (rejection() ||
                    ((status == report::kPending || status == report::kEdited ||
                      (status == report::kCancelled && (r.removesLeg || (asksNoLeg(r) && !closeWaits())))) &&
                     legAsAsked(r)));
        case Kind::OrderEdit:
            if (type != wire::msg::kExecutionReport || !targets(order))
                return false;
            // Of an edit and a cancel sent in one pass, the cancellation is the cancel's.
            return rejection() ||
                   (r.cancels ? status == report::kCancelled
                              : (status == report::kPending || status == report::kEdited) && editAsAsked(r));
        case Kind::Offset:
            // The updates and settlement of its positions; its answer is the offset answer.
            return targets(closed) && !rejection();
        case Kind::NewOrder:
        case Kind::MultiAccount:
            return false;
        }
        return false;
    }

    // Whether the report of a position's leg (a take profit: type 2, a stop loss: 3) tells what the
    // edit `r` asks of that leg: standing at the price asked, or cancelled when it asks none.
    bool legAsAsked(const Request& r) const {
        if (!r.editedTo || !orderType || (*orderType != 2 && *orderType != 3))
            return true;
        const auto& asked = *orderType == 2 ? r.editedTo->takeProfit : r.editedTo->stopLoss;
        if (status == report::kCancelled)
            return !asked;
        return asked && (!price || *asked == *price);
    }
    // Whether the report is of a leg the edit `r` asks none of: the server takes off a leg another
    // request placed meanwhile, whatever the position held when the edit was sent.
    bool asksNoLeg(const Request& r) const {
        if (!r.editedTo || !orderType || (*orderType != 2 && *orderType != 3))
            return false;
        return !(*orderType == 2 ? r.editedTo->takeProfit : r.editedTo->stopLoss);
    }
    // Whether a close, close-all or offset of the leg's position waits: a leg's cancellation may be its
    // doing, and then no edit's that merely asks no such leg.
    bool closing(const Request& r) const {
        return (r.kind == Kind::Close || r.kind == Kind::CloseAll || r.kind == Kind::Offset) &&
               (list->waitsOn(r, bracket) ||
                (r.closesWhatIsOpen && coversOpen(r.openAccounts, r.openInstruments, account, instrument)));
    }
    bool closeWaits() const {
        return std::any_of(list->requests_.begin(), list->requests_.end(),
                           [&](const Request& r) { return closing(r); });
    }
    // Whether the report of a pending order edited names what the edit `r` asks: its price and
    // quantity, and its legs (a position's leg has none of its own).
    bool editAsAsked(const Request& r) const {
        if (!r.editedTo)
            return true;
        const auto differs = [](const std::optional<platform::Decimal>& asked,
                                const std::optional<platform::Decimal>& named) {
            return asked && named && !(*asked == *named);
        };
        if (differs(r.editedTo->price, price) || differs(r.quantity, quantity))
            return false;
        return !bracket.empty() || (r.editedTo->takeProfit == takeProfit && r.editedTo->stopLoss == stopLoss);
    }

    // An update leaving part of its position.
    bool leavesPart() const {
        return type == wire::msg::kPositionReport && status == report::kPositionUpdate && !closedWhole;
    }
    // A position's update or settlement: read alike whichever request closed it.
    bool ofPositionClosed() const {
        return !closed.empty() && !rejection() &&
               (type == wire::msg::kPositionSettled || type == wire::msg::kPositionReport);
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
        // Each account of a multi-account order has its quantity.
        if (eachQuantity && quantity)
            for (const auto& [of, qty] : r.accountQuantities)
                if (of == account && !(qty == *quantity))
                    return false;
        // An order's report names its account: like orders of two accounts are told apart; and its
        // type: a market order from a limit or stop order alike in side and quantity.
        return (instrument.empty() || instrument == r.instrument) && (!side || side == r.side) &&
               (eachQuantity || !quantity || !r.quantity || *quantity == *r.quantity) &&
               (!orderType || !r.orderType || *orderType == *r.orderType) &&
               (eachQuantity || account.empty() || r.account.empty() || account == r.account);
    }

    // A report about a position held or an edit never answers a new order.
    bool ofNewOrder() const {
        return closed.empty() && bracket.empty() &&
               !(type == wire::msg::kExecutionReport && status == report::kEdited);
    }
};

std::uint64_t RequestsInFlight::sent(Request request) {
    request.number = ++lastNumber_;
    request.givenUp = false;
    request.positions = request.kind == Kind::CloseAll ? request.targets.size() : 0;
    request.refusals.clear();
    for (std::size_t i = 0; i < request.targets.size(); ++i)
        waitingOn_[request.targets[i]].push_back({request.number, i, i});
    if (request.kind == Kind::CloseAll && request.closesWhatIsOpen && !request.openAccounts.empty()) {
        dropStrays(std::nullopt);
        Stray stray;
        stray.number = kStrayFirst + ++lastStray_;
        stray.request = request.number;
        stray.like = {request.number, request.requestNumber, request.description};
        stray.listed.insert(request.targets.begin(), request.targets.end());
        stray.accounts = request.openAccounts;
        stray.instruments = request.openInstruments;
        strays_.push_back(std::move(stray));
    }
    requests_.push_back(std::move(request));
    return lastNumber_;
}

const RequestsInFlight::Stray* RequestsInFlight::strayOf(std::uint64_t number) const {
    const auto s =
        std::find_if(strays_.begin(), strays_.end(), [&](const Stray& x) { return x.number == number; });
    return s == strays_.end() ? nullptr : &*s;
}

std::vector<RequestsInFlight::Candidate> RequestsInFlight::straysFitting(const Named& named) const {
    std::vector<Candidate> fit;
    // The whole position closed, or refused it: a close-all's reports name no number.
    if (named.closed.empty() || named.number || (!named.rejection() && !named.ofPositionClosed()) ||
        named.leavesPart())
        return fit;
    for (const Stray& s : strays_)
        if (!s.listed.contains(named.closed) && !s.taken.contains(named.closed) &&
            coversOpen(s.accounts, s.instruments, named.account, named.instrument))
            fit.push_back({s.number, named.closed});
    return fit;
}

void RequestsInFlight::strayTook(const Candidate& c) {
    for (Stray& s : strays_)
        if (s.number == c.first)
            s.taken.insert(c.second);
}

const RequestsInFlight::LegToCome* RequestsInFlight::legToComeOf(std::uint64_t number) const {
    const auto l = std::find_if(legsToCome_.begin(), legsToCome_.end(),
                                [&](const LegToCome& x) { return x.number == number; });
    return l == legsToCome_.end() ? nullptr : &*l;
}

bool RequestsInFlight::standInWaits(const Candidate& c) const {
    if (isLegToCome(c.first))
        return legToComeOf(c.first) != nullptr;
    const Stray* s = strayOf(c.first);
    return s && !s->taken.contains(c.second);
}

void RequestsInFlight::standInTook(const Candidate& c) {
    if (isLegToCome(c.first))
        dropLegToCome(c.first);
    else
        strayTook(c);
}

std::optional<RequestsInFlight::Like> RequestsInFlight::standInFor(std::uint64_t number) const {
    if (isLegToCome(number)) {
        if (const LegToCome* l = legToComeOf(number); l && l->of.number != 0)
            return l->of;
        return std::nullopt;
    }
    if (const Stray* s = strayOf(number))
        return s->like;
    return std::nullopt;
}

void RequestsInFlight::dropStrays(std::optional<platform::Clock::time_point> heard) {
    for (auto s = strays_.begin(); s != strays_.end();) {
        const bool past = heard ? s->since && *heard - *s->since >= kLeftOverWait
                                : strays_.size() >= kMaxRequests && s == strays_.begin();
        if (!past) {
            ++s;
            continue;
        }
        const std::uint64_t number = s->number;
        s = strays_.erase(s);
        touched(number, nullptr);
    }
}

bool RequestsInFlight::waitsOn(const Request& r, const std::string& id) const {
    // A request of a few targets is read as it is; a close-all of thousands through the index.
    if (r.targets.size() <= 4)
        return std::find(r.targets.begin(), r.targets.end(), id) != r.targets.end();
    const auto slots = waitingOn_.find(id);
    return slots != waitingOn_.end() && std::any_of(slots->second.begin(), slots->second.end(),
                                                    [&](const Slot& s) { return s.request == r.number; });
}

void RequestsInFlight::dropTarget(Request& r, const std::string& id) {
    const auto slots = waitingOn_.find(id);
    if (slots == waitingOn_.end())
        return;
    auto& list = slots->second;
    const auto slot =
        std::find_if(list.begin(), list.end(), [&](const Slot& s) { return s.request == r.number; });
    if (slot == list.end())
        return;
    const std::size_t place = slot->place;
    list.erase(slot);
    if (list.empty())
        waitingOn_.erase(slots);
    // The last target moves into the place left.
    if (place + 1 != r.targets.size()) {
        r.targets[place] = std::move(r.targets.back());
        for (Slot& s : waitingOn_[r.targets[place]])
            if (s.request == r.number)
                s.place = place;
    }
    r.targets.pop_back();
}

void RequestsInFlight::unindex(const Request& r) {
    for (const std::string& id : r.targets)
        if (const auto slots = waitingOn_.find(id); slots != waitingOn_.end()) {
            std::erase_if(slots->second, [&](const Slot& s) { return s.request == r.number; });
            if (slots->second.empty())
                waitingOn_.erase(slots);
        }
}

bool RequestsInFlight::RecentIds::contains(const std::string& id) const {
    const auto it = count_.find(id);
    return it != count_.end() && it->second > 0;
}

void RequestsInFlight::RecentIds::push_back(const std::string& id) {
    order_.push_back(id);
    ++count_[id];
    ++live_;
}

bool RequestsInFlight::RecentIds::erase(const std::string& id) {
    const auto it = count_.find(id);
    if (it == count_.end() || it->second == 0)
        return false;
    if (--it->second == 0)
        count_.erase(it);
    --live_;
    // Erased notes stay in the order until they reach its front; never more than as many as are live.
    if (order_.size() > 2 * live_ + 64) {
        std::unordered_map<std::string, std::size_t> keep = count_;
        std::deque<std::string> kept;
        for (auto o = order_.rbegin(); o != order_.rend(); ++o)
            if (auto k = keep.find(*o); k != keep.end() && k->second > 0) {
                --k->second;
                kept.push_front(std::move(*o));
            }
        order_ = std::move(kept);
    }
    return true;
}

void RequestsInFlight::RecentIds::pop_front() {
    // Of an id noted more than once the oldest note goes: the live count tells how many are left.
    while (!order_.empty()) {
        std::string id = std::move(order_.front());
        order_.pop_front();
        if (erase(id))
            return;
    }
}

void RequestsInFlight::RecentIds::clear() {
    order_.clear();
    count_.clear();
    live_ = 0;
}

void RequestsInFlight::giveUp(std::uint64_t number) {
    for (Request& r : requests_)
        if (r.number == number)
            r.givenUp = true;
}

bool RequestsInFlight::isWaiting(std::uint64_t number) const {
    const auto it = std::lower_bound(requests_.begin(), requests_.end(), number,
                                     [](const Request& r, std::uint64_t n) { return r.number < n; });
    return it != requests_.end() && it->number == number;
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

std::deque<RequestsInFlight::Request>::iterator RequestsInFlight::byNumber(std::uint64_t number) {
    // Kept in the order sent, so by number.
    const auto it = std::lower_bound(requests_.begin(), requests_.end(), number,
                                     [](const Request& r, std::uint64_t n) { return r.number < n; });
    return it != requests_.end() && it->number == number ? it : requests_.end();
}

void RequestsInFlight::hold(const Named& named, const std::vector<std::uint64_t>& candidates) {
    // Past the bound the oldest is told, never dropped untold: an offset's own tells the close-alls of
    // every open position it was kept for that the position was no longer held; any other is not known.
    if (held_.size() >= kMaxRequests && held_.size() >= bound()) {
        const Held oldest = std::move(held_.front());
        held_.pop_front();
        std::vector<std::uint64_t> waiting;
        for (const std::uint64_t n : oldest.candidates)
            if (const auto it = byNumber(n); it != requests_.end() && waitsOn(*it, oldest.position))
                waiting.push_back(n);
        const NotKnown known = notKnownOf(waiting, {Outcome{}}, oldest.position, oldest.position);
        for (const std::uint64_t n : waiting)
            givenBack_.push_back(oldest.taken ? answer(byNumber(n), oldest.position, true, kNoLongerHeldCode)
                                              : answer(byNumber(n), oldest.position, false, 0, {}, &known));
    }
    held_.push_back({named.closed, named.closedWhole, candidates, std::nullopt});
}

bool RequestsInFlight::ofBothCloseAlls(const std::vector<Candidate>& candidates) {
    bool everyOpen = false, listed = false;
    for (const Candidate& c : candidates)
        if (isStray(c.first))
            everyOpen = true;
        else if (const auto it = byNumber(c.first); it != requests_.end() && it->kind == Kind::CloseAll)
            (it->closesWhatIsOpen ? everyOpen : listed) = true;
    return everyOpen && listed;
}

bool RequestsInFlight::closesHeldRefusal(const Named& named, const std::vector<std::uint64_t>& candidates) {
    // Only closes and close-alls: an offset's update is its answer's to tell.
    if (!std::all_of(candidates.begin(), candidates.end(), [&](std::uint64_t n) {
            const auto it = byNumber(n);
            return isStray(n) ||
                   (it != requests_.end() && (it->kind == Kind::CloseAll || it->kind == Kind::Close));
        }))
        return false;
    // Either kind of close-all may be refused a position as no longer held while it is held (the
    // closing that follows may be either's): the refusal stays held for each, and so does the closing.
    if (!refusalHeld(candidates, named.closed))
        return false;
    std::vector<Candidate> takers;
    for (const std::uint64_t n : candidates)
        takers.push_back(
            {n, isStray(n) || byNumber(n)->kind == Kind::CloseAll ? named.closed : std::string()});
    addUnsettled(std::move(takers), Outcome{});
    return true;
}

bool RequestsInFlight::refusalHeld(const std::vector<std::uint64_t>& candidates,
                                   const std::string& position) {
    for (const std::uint64_t n : candidates)
        if (const auto f = fitting_.find(n); f != fitting_.end())
            if (const auto p = f->second.find(position); p != f->second.end())
                for (const std::uint64_t id : p->second) {
                    const Unsettled& u = unsettled_.at(id);
                    if (u.outcome.rejected &&
                        (u.outcome.rejectionCode == kNoLongerHeldCode || ofBothCloseAlls(u.candidates)))
                        return true;
                }
    return false;
}

void RequestsInFlight::settled(const Named& named) {
    // Its settlement names two of an offset's positions, the one settled and the one it closed
    // against: that offset was carried out.
    if (!named.against.empty())
        for (const Request& r : requests_)
            if (r.kind == Kind::Offset && waitsOn(r, named.closed) && waitsOn(r, named.against) &&
                std::find(offsetsSettled_.begin(), offsetsSettled_.end(), r.number) ==
                    offsetsSettled_.end()) {
                keepWithin(offsetsSettled_);
                offsetsSettled_.push_back(r.number);
            }
    const auto holds = [this](std::uint64_t number, const std::string& id) {
        const auto it = byNumber(number);
        return it != requests_.end() && waitsOn(*it, id);
    };
    const auto kindOf = [this](std::uint64_t n) {
        const auto it = byNumber(n);
        return it == requests_.end() ? std::optional<Kind>() : std::optional(it->kind);
    };
    for (auto h = held_.begin(); h != held_.end();) {
        if (h->taken ||
            (h->position != named.closed && (named.against.empty() || h->position != named.against))) {
            ++h;
            continue;
        }
        const bool offsets = std::any_of(h->candidates.begin(), h->candidates.end(), [&](std::uint64_t n) {
            return kindOf(n) == Kind::Offset && holds(n, named.closed) && holds(n, named.against);
        });
        if (offsets) {
            // The offset's own: only a close-all of every open position would hear nothing more of it.
            std::erase_if(h->candidates, [&](std::uint64_t n) {
                const auto it = byNumber(n);
                return it == requests_.end() || it->kind != Kind::CloseAll || !it->closesWhatIsOpen;
            });
            if (h->candidates.empty()) {
                h = held_.erase(h);
                continue;
            }
            h->taken = true;
            ++h;
            continue;
        }
        // Settled against a closing deal: a close's or a close-all's, of the quantity it names. One
        // naming none may still be an offset's: its answer tells.
        h->offsetsAnswerTells = named.against.empty();
        std::erase_if(h->candidates, [&](std::uint64_t n) {
            const auto it = byNumber(n);
            if (it == requests_.end())
                return false;
            return (it->kind == Kind::Offset && !named.against.empty()) ||
                   (it->kind == Kind::Close && h->position == named.closed && it->quantity &&
                    named.settledQuantity && !(*it->quantity == *named.settledQuantity));
        });
        ++h;
    }
}

void RequestsInFlight::offsetsOwn(const Named& named) {
    // Carried out, the offset updated its positions: the held reports of them it fitted, settled naming
    // no closing position, were its own, and only a close-all of every open position would hear nothing more
    // of them.
    for (auto h = held_.begin(); h != held_.end();) {
        const bool offsets =
            h->offsetsAnswerTells &&
            std::any_of(h->candidates.begin(), h->candidates.end(), [&](std::uint64_t n) {
                const auto it = byNumber(n);
                return it != requests_.end() && named.answersOffset(*it) && waitsOn(*it, h->position);
            });
        if (offsets)
            std::erase_if(h->candidates, [&](std::uint64_t n) {
                const auto it = byNumber(n);
                return it == requests_.end() || it->kind != Kind::CloseAll || !it->closesWhatIsOpen;
            });
        if (offsets && h->candidates.empty()) {
            h = held_.erase(h);
            continue;
        }
        h->taken = h->taken || offsets;
        ++h;
    }
}

void RequestsInFlight::resolveHeld() {
    for (bool changed = true; changed;) {
        changed = false;
        // The held updates of each position, by place (a pass ends at the first change, which moves them).
        std::unordered_map<std::string_view, std::vector<std::size_t>> ofPosition;
        for (std::size_t o = 0; o < held_.size(); ++o)
            ofPosition[held_[o].position].push_back(o);
        for (auto h = held_.begin(); h != held_.end() && !changed; ++h) {
            // Those answered meanwhile for this position wait for it no more.
            std::erase_if(h->candidates, [&](std::uint64_t n) {
                if (isStray(n))
                    return !stillWaits({n, h->position});
                const auto it = byNumber(n);
                return it == requests_.end() || !waitsOn(*it, h->position);
            });
            if (h->taken) {
                if (h->candidates.empty()) {
                    held_.erase(h);
                    changed = true;
                    break;
                }
                continue;
            }
            // Close-alls alone now (a close of the position had its own report), a refusal of the position
            // held for one of them: which closed it and which was refused it, the reports do not say. Held
            // with the refusal, as had they come without the close.
            if (h->candidates.size() > 1 &&
                std::all_of(
                    h->candidates.begin(), h->candidates.end(),
                    [&](std::uint64_t n) { return isStray(n) || byNumber(n)->kind == Kind::CloseAll; }) &&
                refusalHeld(h->candidates, h->position)) {
                std::vector<Candidate> takers;
                for (const std::uint64_t n : h->candidates)
                    takers.push_back({n, h->position});
                held_.erase(h);
                addUnsettled(std::move(takers), Outcome{});
                changed = true;
                break;
            }
            const bool offsetsOnly =
                std::all_of(h->candidates.begin(), h->candidates.end(), [&](std::uint64_t n) {
                    return !isStray(n) && byNumber(n)->kind == Kind::Offset;
                });
            if (offsetsOnly) {
                held_.erase(h);
                changed = true;
                break;
            }
            if (h->candidates.size() == 1) {
                const Held one = std::move(*h);
                held_.erase(h);
                if (isStray(one.candidates.front()))
                    strayTook({one.candidates.front(), one.position});
                else
                    givenBack_.push_back(answer(byNumber(one.candidates.front()), one.position, false, 0));
                changed = true;
                break;
            }
            // Close-alls of the position the wire cannot tell apart: the update is their group's. One of
            // every open position may hear nothing of it: that waits to ripen.
            const bool strays = std::any_of(h->candidates.begin(), h->candidates.end(), isStray);
            const Request& first = *byNumber(h->candidates.front());
            if (!strays && !first.closesWhatIsOpen &&
                std::all_of(h->candidates.begin(), h->candidates.end(), [&](std::uint64_t n) {
                    return alike(first, *byNumber(n), h->position, false);
                })) {
                const Held one = std::move(*h);
                held_.erase(h);
                if (auto told = settle(byNumber(one.candidates.front()), one.position, false, 0, false))
                    givenBack_.push_back(std::move(*told));
                changed = true;
                break;
            }
            // As many reports of the position as requests they fit: each was carried out, in turn.
            std::vector<std::size_t> same;
            for (const std::size_t o : ofPosition.at(h->position))
                if (o >= static_cast<std::size_t>(h - held_.begin()) && !held_[o].taken &&
                    held_[o].candidates == h->candidates)
                    same.push_back(o);
            if (same.size() < h->candidates.size())
                continue;
            const std::vector<std::uint64_t> takers = h->candidates;
            const std::string position = h->position;
            for (auto o = same.rbegin(); o != same.rend(); ++o)
                held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(*o));
            for (const std::uint64_t n : takers)
                if (isStray(n))
                    strayTook({n, position});
                else if (const auto it = byNumber(n); it != requests_.end())
                    givenBack_.push_back(answer(it, position, false, 0));
            changed = true;
            break;
        }
    }
}

void RequestsInFlight::ripenHeld() {
    if (held_.empty() && strays_.empty() && unsettled_.empty())
        return;
    // Looked up once per pass, not per held update and position: a close-all of thousands brings as many
    // reports, each passing here.
    std::unordered_set<std::string_view> heldPositions;
    for (const Held& h : held_)
        heldPositions.insert(h.position);
    // Whether a held update closed the request's position (which it may still hear of otherwise).
    const auto heardOf = [&](const Request& r, const std::string& id) {
        if (heldPositions.contains(id))
            return true;
        const auto f = fitting_.find(r.number);
        if (f == fitting_.end())
            return false;
        const auto ids = f->second.find(id);
        return ids != f->second.end() &&
               std::any_of(ids->second.begin(), ids->second.end(),
                           [&](std::uint64_t u) { return !unsettled_.at(u).outcome.rejected; });
    };
    std::unordered_map<std::uint64_t, bool> waits;
    const auto waitsForOthers = [&](const Request& r) {
        const auto [w, added] = waits.try_emplace(r.number, false);
        if (added)
            w->second = std::any_of(r.targets.begin(), r.targets.end(),
                                    [&](const std::string& id) { return !heardOf(r, id); });
        return w->second;
    };
    for (Held& h : held_) {
        if (h.ripe || !h.closedWhole)
            continue;
        bool everyOpen = false, waiting = false;
        for (const std::uint64_t n : h.candidates) {
            everyOpen = everyOpen || isStray(n);
            const auto it = byNumber(n);
            if (it == requests_.end() || it->kind != Kind::CloseAll)
                continue;
            everyOpen = everyOpen || it->closesWhatIsOpen;
            waiting = waiting || waitsForOthers(*it);
        }
        if (everyOpen && !waiting)
            h.ripe = platform::Clock::currentTime();
    }
    // A close-all of every open position's turn is past once it waits for nothing else.
    for (Stray& s : strays_)
        if (const auto it = byNumber(s.request); !s.since && (it == requests_.end() || !waitsForOthers(*it)))
            s.since = platform::Clock::currentTime();
    if (!unsettled_.empty())
        for (const Request& r : requests_)
            if (r.kind == Kind::CloseAll && r.closesWhatIsOpen && !turnPast_.contains(r.number) &&
                !waitsForOthers(r))
                turnPast_.emplace(r.number, platform::Clock::currentTime());
}

void RequestsInFlight::tellHeardNothing(platform::Clock::time_point heard) {
    std::vector<std::pair<std::uint64_t, std::string>> nothing;
    for (auto t = turnPast_.begin(); t != turnPast_.end();) {
        const auto it = byNumber(t->first);
        if (it == requests_.end()) {
            t = turnPast_.erase(t);
            continue;
        }
        std::vector<std::string> parts;
        if (const auto f = fitting_.find(it->number);
            f != fitting_.end() && heard - t->second >= kLeftOverWait)
            for (const auto& [of, ids] : f->second) {
                const std::string& part = of;
                // A held update of it is the left-over wait's to tell (below).
                if (!part.empty() && !ids.empty() && waitsOn(*it, part) &&
                    std::none_of(held_.begin(), held_.end(),
                                 [&](const Held& h) { return h.position == part; }))
                    parts.push_back(part);
            }
        for (const std::string& part : parts) {
            const auto f = fitting_.find(it->number);
            if (f == fitting_.end())
                break;
            const auto ids = f->second.find(part);
            if (ids == f->second.end() || ids->second.empty())
                continue;
            // Held reports of the position one fewer than the requests they fit, no stand-in among those:
            // the others had their turns and their reports, so it is the one without.
            const std::vector<std::uint64_t> reports = componentOf(ids->second.front());
            const std::vector<Candidate> keys = keysOf(reports);
            if (keys.size() != reports.size() + 1 ||
                std::any_of(keys.begin(), keys.end(), [](const Candidate& c) { return isStandIn(c.first); }))
                continue;
            // One such close-all only: of two, which heard nothing the reports do not say.
            const auto everyOpen = std::count_if(keys.begin(), keys.end(), [&](const Candidate& c) {
                const auto r = byNumber(c.first);
                return r != requests_.end() && r->kind == Kind::CloseAll && r->closesWhatIsOpen;
            });
            if (everyOpen == 1)
                nothing.emplace_back(it->number, part);
        }
        ++t;
    }
    for (const auto& [number, part] : nothing)
        if (const auto it = byNumber(number); it != requests_.end() && waitsOn(*it, part))
            givenBack_.push_back(answer(it, part, true, kNoLongerHeldCode));
    if (!nothing.empty())
        settleAll();
}

bool RequestsInFlight::alike(const Request& a, const Request& b, const std::string& part,
                             bool numbered) const {
    if (a.kind != b.kind)
        return false;
    const auto holds = [&](const Request& r) { return waitsOn(r, part); };
    const bool sameNumber = a.requestNumber == b.requestNumber;
    switch (a.kind) {
    case Kind::Offset: {
        // Its answer names only the account and instrument; its positions' settlement names its
        // positions.
        auto ta = a.targets, tb = b.targets;
        std::sort(ta.begin(), ta.end());
        std::sort(tb.begin(), tb.end());
        return a.account == b.account && a.instrument == b.instrument && ta == tb;
    }
    case Kind::CloseAll:
        // A position's reports name no number (a server's that does tells them apart); refused as a
        // whole, it is named by its number.
        if (part.empty())
            return sameNumber;
        return holds(a) && holds(b) && a.closesWhatIsOpen == b.closesWhatIsOpen && (!numbered || sameNumber);
    case Kind::MultiAccount: {
        const auto waitsFor = [&](const Request& r) {
            return part.empty() ? r.answeredAccounts.empty()
                                : std::find(r.accounts.begin(), r.accounts.end(), part) != r.accounts.end();
        };
        const auto quantityOf = [&](const Request& r) {
            std::optional<platform::Decimal> q;
            for (const auto& [of, qty] : r.accountQuantities)
                if (of == part)
                    q = qty;
            return q;
        };
        return sameNumber && a.instrument == b.instrument && a.side == b.side && a.orderType == b.orderType &&
               waitsFor(a) && waitsFor(b) && quantityOf(a) == quantityOf(b);
    }
    case Kind::NewOrder:
        return sameNumber && a.account == b.account && a.instrument == b.instrument && a.side == b.side &&
               a.quantity == b.quantity && a.orderType == b.orderType;
    case Kind::Close:
        return sameNumber && a.targets == b.targets && a.quantity == b.quantity;
    case Kind::PositionEdit:
        // A carried-out edit's report names the legs as they now stand.
        return sameNumber && a.targets == b.targets && a.removesLeg == b.removesLeg &&
               a.editedTo == b.editedTo;
    case Kind::OrderEdit:
        // An edit's report names the order's price, quantity and legs; a cancellation none of them.
        return sameNumber && a.targets == b.targets && a.cancels == b.cancels &&
               (a.cancels || (a.editedTo == b.editedTo && a.quantity == b.quantity));
    }
    return false;
}

std::optional<RequestsInFlight::Answered> RequestsInFlight::settle(std::deque<Request>::iterator it,
                                                                   const std::string& part, bool rejected,
                                                                   std::int32_t code, bool numbered) {
    const std::string of =
        it->kind == Kind::CloseAll || it->kind == Kind::MultiAccount ? part : std::string();
    std::vector<Candidate> like;
    for (const Request& r : requests_)
        if (r.number == it->number || alike(*it, r, of, numbered))
            like.push_back({r.number, of});
    if (like.size() < 2)
        return answer(it, it->kind == Kind::CloseAll ? of : std::string(), rejected, code,
                      it->kind == Kind::MultiAccount ? of : std::string());
    // Held like any report fitting several: told once the others have theirs.
    addUnsettled(std::move(like), Outcome{rejected, rejected ? code : 0});
    return std::nullopt;
}

void RequestsInFlight::settleAll() {
    do
        resolveHeld();
    while (settleUnsettled());
}

RequestsInFlight::NotKnown RequestsInFlight::notKnownOf(const std::vector<std::uint64_t>& members,
                                                        std::vector<Outcome> outcomes,
                                                        const std::string& position,
                                                        const std::string& part) {
    NotKnown known;
    bool standIn = false;
    for (const std::uint64_t n : members)
        if (isStandIn(n)) {
            // Named as the request it stands for, once.
            const std::optional<Like> of = standInFor(n);
            if (of && std::none_of(known.like.begin(), known.like.end(),
                                   [&](const Like& k) { return k.number == of->number; })) {
                known.like.push_back(*of);
                standIn = true;
            }
        } else if (const auto r = byNumber(n); r != requests_.end()) {
            known.like.push_back({r->number, r->requestNumber, r->description});
        }
    // In the order sent.
    if (standIn)
        std::stable_sort(known.like.begin(), known.like.end(),
                         [](const Like& a, const Like& b) { return a.number < b.number; });
    known.outcomes = std::move(outcomes);
    known.position = position;
    const auto first = members.empty() ? requests_.end() : byNumber(members.front());
    known.alike = !standIn && std::all_of(members.begin(), members.end(), [&](std::uint64_t n) {
        const auto r = byNumber(n);
        return first == requests_.end() || r == requests_.end() || r == first ||
               alike(*first, *r, part, first->kind != Kind::CloseAll);
    });
    return known;
}

std::size_t RequestsInFlight::bound() const {
    std::size_t positions = 0;
    for (const Request& r : requests_)
        positions += r.targets.size();
    return kMaxRequests + positions;
}

template <class List>
void RequestsInFlight::keepWithin(List& list) {
    // Checked before each is added: the count of waiting positions only once the list is long.
    if (list.size() >= kMaxRequests && list.size() >= bound())
        list.pop_front();
}

std::vector<RequestsInFlight::Answered> RequestsInFlight::takeGivenBack() {
    return std::exchange(givenBack_, {});
}

void RequestsInFlight::tellHeldPast(platform::Clock::time_point heard) {
    if (lastHeard_ && heard > *lastHeard_)
        answering_ += std::min<platform::Clock::duration>(heard - *lastHeard_, kAnswerGap);
    lastHeard_ = heard;
    if (unsettled_.empty()) {
        heardAt_.clear();
        return;
    }
    if (heardAt_.empty() || heardAt_.back().reports != reportsHeard_)
        heardAt_.push_back({reportsHeard_, answering_});
    while (heardAt_.size() > 1 && answering_ - heardAt_[1].at >= kHeldWait)
        heardAt_.pop_front();
    if (answering_ - heardAt_.front().at < kHeldWait)
        return;
    const std::uint64_t by = heardAt_.front().reports;
    std::vector<std::uint64_t> due;
    for (const auto& [id, u] : unsettled_)
        if (u.heard <= by && !toldPast_.contains(id))
            due.push_back(id);
    for (const std::uint64_t id : due)
        if (unsettled_.contains(id) && !toldPast_.contains(id)) {
            const std::vector<std::uint64_t> reports = componentOf(id);
            toldPast_.insert(reports.begin(), reports.end());
            tellOpen(reports);
        }
}

std::vector<RequestsInFlight::Answered> RequestsInFlight::takeLeftOver(platform::Clock::time_point heard) {
    givenBack_.clear();
    dropStrays(heard);
    settleAll();
    tellHeardNothing(heard);
    tellHeldPast(heard);
    // Updates a stray dropped fitted may now wait for nothing else.
    ripenHeld();
    for (auto h = held_.begin(); h != held_.end();) {
        if (!h->ripe || heard - *h->ripe < kLeftOverWait) {
            ++h;
            continue;
        }
        Held& due = *h;
        // Those still waiting for the position: the close-alls of every open position heard nothing of
        // it, so another's turn came first and closed it.
        std::vector<std::uint64_t> everyOpen, others;
        for (const std::uint64_t n : due.candidates) {
            if (isStray(n)) {
                if (stillWaits({n, due.position}))
                    everyOpen.push_back(n);
                continue;
            }
            if (const auto it = byNumber(n); it != requests_.end() && waitsOn(*it, due.position))
                (it->kind == Kind::CloseAll && it->closesWhatIsOpen ? everyOpen : others).push_back(n);
        }
        // Of those, one that did not list the position is told nothing of it.
        const auto tell = [&](std::uint64_t n, const std::string& of, bool refused, const NotKnown* known) {
            if (isStray(n))
                strayTook({n, of});
            else if (const auto it = byNumber(n); it != requests_.end())
                givenBack_.push_back(answer(it, of, refused, refused ? kNoLongerHeldCode : 0, {}, known));
        };
        std::optional<std::uint64_t> closer;
        if (!due.taken && others.size() == 1)
            closer = others.front();
        else if (!due.taken && others.empty() && !everyOpen.empty())
            closer = everyOpen.front();
        const std::string position = due.position;
        // Of several such close-alls alone, the server closed it for one and the others heard nothing:
        // which is not known.
        if (closer && others.empty() && everyOpen.size() > 1) {
            h = held_.erase(h);
            std::vector<Outcome> outcomes{Outcome{}};
            outcomes.resize(everyOpen.size(), Outcome{true, kNoLongerHeldCode});
            const NotKnown known = notKnownOf(everyOpen, std::move(outcomes), position, position);
            for (const std::uint64_t n : everyOpen)
                tell(n, position, false, &known);
            settleAll();
            h = held_.begin();
            continue;
        }
        if (closer || others.empty()) {
            h = held_.erase(h);
        } else {
            // The others' own reports are still to come: only the close-alls are told.
            due.candidates = others;
            due.ripe.reset();
            ++h;
        }
        if (closer)
            tell(*closer, position, false, nullptr);
        for (const std::uint64_t n : everyOpen)
            if (n != closer)
                tell(n, position, true, nullptr);
        settleAll();
        h = held_.begin();
    }
    return std::exchange(givenBack_, {});
}

bool RequestsInFlight::leftOverWaiting() const {
    return std::any_of(held_.begin(), held_.end(), [](const Held& h) { return h.ripe.has_value(); }) ||
           std::any_of(strays_.begin(), strays_.end(), [](const Stray& s) { return s.since.has_value(); });
}

bool RequestsInFlight::awaitsSettlement(const std::string& position) const {
    return settling_.contains(position);
}

namespace {

// The request as a part of its answer names it: without the lists that grow with its positions, which
// only its last answer reads (copied at each position's answer, a burst of thousands took minutes).
RequestsInFlight::Request partOf(RequestsInFlight::Request& r) {
    auto targets = std::move(r.targets);
    auto refusals = std::move(r.refusals);
    auto closed = std::move(r.closed);
    auto notKnown = std::move(r.notKnown);
    RequestsInFlight::Request part = r;
    r.targets = std::move(targets);
    r.refusals = std::move(refusals);
    r.closed = std::move(closed);
    r.notKnown = std::move(notKnown);
    return part;
}

} // namespace

RequestsInFlight::Answered RequestsInFlight::answer(std::deque<Request>::iterator it,
                                                    const std::string& position, bool rejected,
                                                    std::int32_t code, const std::string& account,
                                                    const NotKnown* notKnown) {
    Request& r = *it;
    if ((r.kind == Kind::Close || r.kind == Kind::CloseAll || r.kind == Kind::Offset) && !notKnown)
        for (const std::string& of :
             r.kind == Kind::CloseAll && !position.empty() ? std::vector<std::string>{position} : r.targets)
            closeAnswered(r, of, rejected || !closedWhole_.contains(of));
    std::optional<NotKnown> unknown;
    if (notKnown) {
        unknown = *notKnown;
        rejected = false;
        code = 0;
    }
    // Each account's part is carried out apart: the order waits until every one has its report.
    std::string part;
    if (r.kind == Kind::MultiAccount && std::erase(r.accounts, account) > 0) {
        part = account;
        r.answeredAccounts.push_back(part);
        // What its accounts were told so far: one outcome, or none when they differ or one is not known.
        if (const auto told = accountsTold_.find(r.number); told == accountsTold_.end())
            accountsTold_[r.number] = unknown ? std::nullopt : std::optional(rejected);
        else if (told->second && (unknown || *told->second != rejected))
            told->second.reset();
        touched(r.number, nullptr);
        if (!r.accounts.empty())
            return {partOf(r), {}, rejected, code, false, std::move(part), std::move(unknown)};
    }
    if (r.kind == Kind::CloseAll && !position.empty()) {
        if (unknown)
            r.notKnown.push_back(*unknown);
        else if (rejected)
            r.refusals.emplace_back(position, code);
        else
            r.closed.push_back(position);
        // The position has its answer: a later report of it answers no more of this request.
        dropTarget(r, position);
        // Nor does a held report of the position wait for it.
        touched(r.number, &position);
        if (!r.targets.empty())
            return {partOf(r), position, rejected, code, false, {}, std::move(unknown)};
    }
    if (r.kind == Kind::PositionEdit && !rejected && !unknown)
        expectOtherLegs(r);
    std::string of = r.kind == Kind::CloseAll ? position : std::string();
    // The held reports it may have left.
    touched(r.number, nullptr);
    accountsTold_.erase(r.number);
    unindex(r);
    Answered done{std::move(r), std::move(of), rejected, code, true, std::move(part), std::move(unknown)};
    requests_.erase(it);
    if (!passedOver_.empty())
        std::erase_if(passedOver_, [&](const PassedOver& p) { return p.request == done.request.number; });
    return done;
}

void RequestsInFlight::tellOpen(const std::vector<std::uint64_t>& reports) {
    std::vector<Candidate> keys;
    const NotKnown known = knownOf(reports, keys);
    // Whole requests only: a close-all's position or an account of several waits on for its own report, to
    // the bound or a lost line (told and dropped, a late report of it would fit only another request).
    for (const Candidate& c : keys) {
        if (isStandIn(c.first) || !c.second.empty())
            continue;
        const auto it = byNumber(c.first);
        if (it == requests_.end() || it->toldOpen)
            continue;
        givenBack_.push_back(Answered{partOf(*it), {}, false, 0, true, {}, known});
        it->toldOpen = true;
        it->givenUp = true;
    }
}

void RequestsInFlight::claim(const std::string& id) {
    if (id.empty() || claimed(id))
        return;
    keepWithin(claimed_);
    claimed_.push_back(id);
}

bool RequestsInFlight::claimed(const std::string& id) const {
    return !id.empty() && claimed_.contains(id);
}

std::optional<RequestsInFlight::Answered> RequestsInFlight::answered(const ExecutionReport& report) {
    const Named named(report, this);
    givenBack_.clear();
    lastGrouped_ = false;
    ++reportsHeard_;
    const std::uint64_t before = lastUnsettled_;
    reading_ = &named;
    std::optional<Answered> done = answerOf(named, report);
    reading_ = nullptr;
    // Held for several, it is told with them: the first of them it settled is its answer.
    std::vector<Candidate> heldFor;
    const std::uint64_t own = lastUnsettled_;
    if (own != before)
        if (const auto u = unsettled_.find(own); u != unsettled_.end())
            heldFor = u->second.candidates;
    settleAll();
    if (!done && !heldFor.empty() && !unsettled_.contains(own))
        if (const auto own = std::find_if(givenBack_.begin(), givenBack_.end(),
                                          [&](const Answered& a) {
                                              return std::any_of(heldFor.begin(), heldFor.end(),
                                                                 [&](const Candidate& c) {
                                                                     return c.first == a.request.number;
                                                                 });
                                          });
            own != givenBack_.end()) {
            done = std::move(*own);
            givenBack_.erase(own);
        }
    ripenHeld();
    return done;
}

bool RequestsInFlight::refusesOffset(const ExecutionReport& report) const {
    const Named named(report, this);
    return named.rejection() && !named.number && named.closed.empty() && named.bracket.empty() &&
           !named.account.empty() && !named.instrument.empty() &&
           std::any_of(requests_.begin(), requests_.end(),
                       [&](const Request& r) { return named.answersOffset(r); });
}

std::optional<RequestsInFlight::Answered> RequestsInFlight::answerOf(const Named& named,
                                                                     const ExecutionReport& report) {
    if (report.type == wire::msg::kCloseHedged) {
        const bool carried = report.rejectionCode == 0;
        if (carried)
            offsetsOwn(named);
        // An offset whose positions' settlement came was carried out: a refusal is another's.
        std::vector<Candidate> candidates, known;
        for (const Request& r : requests_)
            if (named.answersOffset(r)) {
                const bool settledPair = std::find(offsetsSettled_.begin(), offsetsSettled_.end(),
                                                   r.number) != offsetsSettled_.end();
                candidates.push_back({r.number, {}});
                if (settledPair == carried)
                    known.push_back({r.number, {}});
            }
        if (candidates.empty())
            return std::nullopt;
        return holdFor(known.empty() ? std::move(candidates) : std::move(known), {}, !carried,
                       report.rejectionCode, false);
    }
    // A close brings its position's update and then its settlement: the update is the answer, and the
    // settlement that follows answers no other request of that position.
    if (report.type == wire::msg::kExecutionReport && named.status == wire::report::kFullyFilled &&
        !named.bracket.empty()) {
        keepWithin(closedByLeg_);
        closedByLeg_.push_back(named.bracket);
        return std::nullopt;
    }
    if (report.type == wire::msg::kExecutionReport && named.status == wire::report::kCancelled &&
        !named.bracket.empty() && closedWhole_.contains(named.bracket))
        return std::nullopt;
    if (report.type == wire::msg::kPositionReport && named.status == wire::report::kPositionUpdate &&
        !named.closed.empty()) {
        keepWithin(settling_);
        settling_.push_back(named.closed);
        if (!named.closedWhole && !resized_.contains(named.closed)) {
            keepWithin(resized_);
            resized_.push_back(named.closed);
        }
        if (named.closedWhole) {
            keepWithin(closedWhole_);
            closedWhole_.push_back(named.closed);
        }
        if (closedByLeg_.erase(named.closed))
            return std::nullopt;
    } else if (report.type == wire::msg::kPositionSettled && !named.closed.empty()) {
        settled(named);
        // An offset updates both positions and settles them in one report: neither waits any more.
        if (!named.against.empty())
            settling_.erase(named.against);
        if (settling_.erase(named.closed))
            return std::nullopt;
    }
    if (report.type == wire::msg::kExecutionReport && !named.bracket.empty() && !named.rejection()) {
        // Another leg of an edit answered already, or a leg a close changed: held with the edits it
        // fits, never one's certain answer.
        std::vector<Candidate> legs = legsToComeFitting(named);
        if (named.number)
            resized_.erase(named.bracket);
        std::vector<Candidate> edits;
        for (const Request& r : requests_)
            if (r.kind == Kind::PositionEdit && named.aimsAt(r) && named.numberAgrees(r))
                edits.push_back({r.number, {}});
        if (!named.number && named.status == wire::report::kEdited && !edits.empty() &&
            resized_.contains(named.bracket)) {
            legsToCome_.push_back(
                {kLegToComeFirst + ++lastLegToCome_, named.bracket, {}, 0, {}, reportsHeard_, {}, {}});
            legs.push_back({legsToCome_.back().number, {}});
        }
        // A cancellation an edit asking no such leg fits while a close of the position waits: held with
        // a stand-in for the closes until their answers say whether it may be theirs.
        if (named.status == wire::report::kCancelled && named.closeWaits()) {
            std::vector<Candidate> asking;
            for (const Request& r : requests_)
                if (r.kind == Kind::PositionEdit && !r.removesLeg && named.asksNoLeg(r) &&
                    named.numberAgrees(r) && waitsOn(r, named.bracket))
                    asking.push_back({r.number, {}});
            if (!asking.empty()) {
                LegToCome standIn{
                    kLegToComeFirst + ++lastLegToCome_, named.bracket, {}, 0, {}, reportsHeard_, {}, {}};
                for (const Request& r : requests_)
                    if (named.closing(r)) {
                        if (standIn.closes.empty())
                            standIn.of = {r.number, r.requestNumber, r.description};
                        standIn.closes.push_back(r.number);
                    }
                legsToCome_.push_back(std::move(standIn));
                edits.insert(edits.end(), asking.begin(), asking.end());
                legs.push_back({legsToCome_.back().number, {}});
            }
        }
        if (!legs.empty()) {
            if (edits.empty()) {
                dropLegToCome(legs.front().first);
                return std::nullopt;
            }
            edits.insert(edits.end(), legs.begin(), legs.end());
            addUnsettled(std::move(edits), Outcome{});
            return std::nullopt;
        }
    }
    if (requests_.empty())
        return std::nullopt;
    const bool rejected = named.rejection();
    const std::int32_t code = rejected ? report.rejectionCode : 0;
    if (named.number) {
        const auto ofNumber = [&](const Request& r) { return named.aimsAt(r) && named.sameNumber(r); };
        const auto it = findFirst(ofNumber, true);
        if (it != requests_.end() && it->kind == Kind::CloseAll)
            return settle(it, named.closed, rejected, code, true);
        if (it != requests_.end()) {
            // Of a close and a close-all of one number, the close's; else any it fits of its number.
            std::vector<Candidate> candidates;
            for (const Request& r : requests_)
                if (r.kind != Kind::CloseAll && ofNumber(r))
                    candidates.push_back({r.number, {}});
            return holdFor(std::move(candidates), named.closed, rejected, code, true);
        }
    }
    const auto fits = [&](const Request& r) {
        return named.aimsAt(r) && (!named.number || !r.requestNumber);
    };
    if (named.ofPositionClosed()) {
        std::vector<std::uint64_t> candidates;
        bool alike = true, others = false;
        for (const Request& r : requests_)
            if (fits(r)) {
                // A close-all of every open position may hear nothing of it: never alike.
                if (!candidates.empty()) {
                    const Request& first = *byNumber(candidates.front());
                    alike = alike && r.kind == first.kind && r.requestNumber == first.requestNumber &&
                            r.quantity == first.quantity && !r.closesWhatIsOpen && !first.closesWhatIsOpen;
                }
                others = others || r.kind != Kind::Offset;
                candidates.push_back(r.number);
            }
        // An offset's own update or settlement: it is answered by the offset answer.
        if (!others)
            return std::nullopt;
        // Of closes and close-alls, a close-all of every open position that did not list it may have
        // closed it too: held with them as one that lists it.
        if (std::all_of(candidates.begin(), candidates.end(), [&](std::uint64_t n) {
                const Kind kind = byNumber(n)->kind;
                return kind == Kind::Close || kind == Kind::CloseAll;
            }))
            for (const Candidate& stray : straysFitting(named)) {
                candidates.push_back(stray.first);
                alike = false;
            }
        if (!alike) {
            if (!closesHeldRefusal(named, candidates))
                hold(named, candidates);
            return std::nullopt;
        }
    }
    // A refusal of a position, as no longer held too (the server may refuse either so while it holds
    // the position), tells a close-all of every open position from a listed one no better than its
    // closing does: held for each, with the closing if it came first. One of every open position may
    // be refused one it did not list.
    if (rejected && !named.closed.empty()) {
        std::vector<Candidate> ofPosition;
        for (const Request& r : requests_)
            if (r.kind == Kind::CloseAll && fits(r))
                ofPosition.push_back({r.number, named.closed});
        if (!ofPosition.empty()) {
            const std::vector<Candidate> strays = straysFitting(named);
            ofPosition.insert(ofPosition.end(), strays.begin(), strays.end());
        }
        if (ofBothCloseAlls(ofPosition)) {
            const auto among = [&](std::uint64_t n) {
                return std::any_of(ofPosition.begin(), ofPosition.end(),
                                   [&](const Candidate& c) { return c.first == n; });
            };
            for (auto h = held_.begin(); h != held_.end();)
                if (!h->taken && h->position == named.closed && h->candidates.size() > 1 &&
                    std::all_of(h->candidates.begin(), h->candidates.end(), among)) {
                    h = held_.erase(h);
                    addUnsettled(ofPosition, Outcome{});
                } else {
                    ++h;
                }
            addUnsettled(std::move(ofPosition), Outcome{true, code});
            return std::nullopt;
        }
    }
    // A position no longer held is refused by a close-all that lists it rather than by one of every
    // open position (which lists what is open at its turn), where not both kinds fit.
    if (rejected && code == kNoLongerHeldCode) {
        // Of close-alls a held update of the position fits, the server closed it for one and refused
        // it to the others: their group's.
        const auto heldFor = [&](const Request& r) {
            return std::any_of(held_.begin(), held_.end(), [&](const Held& h) {
                return !h.taken && h.position == named.closed &&
                       std::find(h.candidates.begin(), h.candidates.end(), r.number) != h.candidates.end();
            });
        };
        auto newest = requests_.end();
        std::size_t closeAlls = 0;
        for (auto r = requests_.begin(); r != requests_.end(); ++r)
            if (r->kind == Kind::CloseAll && fits(*r) && !r->closesWhatIsOpen && heldFor(*r)) {
                newest = r;
                ++closeAlls;
            }
        if (closeAlls > 1)
            return settle(newest, named.closed, rejected, code, named.number.has_value());
        if (const auto it = findFirst([&](const Request& r) { return fits(r) && !r.closesWhatIsOpen; });
            it != requests_.end())
            return settle(it, named.closed, rejected, code, named.number.has_value());
    }
    if (const auto it = findFirst(fits); it != requests_.end()) {
        // Taken by the older of two edits it fits: should the older's own report come, it is the other's.
        if (!named.number && it->requestNumber && !named.ofPositionClosed())
            if (const auto other = std::find_if(std::next(it), requests_.end(), fits);
                other != requests_.end() && !alike(*it, *other, named.closed, false)) {
                keepWithin(passedOver_);
                passedOver_.push_back({*it->requestNumber, named.subject(), other->number});
            }
        return settle(it, named.closed, rejected, code, named.number.has_value());
    }
    if (named.number)
        if (const auto it = passedOver(named); it != requests_.end())
            return answer(it, named.closed, rejected, code);
    // Pending orders are named by 79 in "order:" form and positions by 80, kept apart.
    const std::string order = named.order.empty() ? std::string() : "order:" + named.order;
    const std::string opened = named.opened.empty() ? std::string() : "position:" + named.opened;
    if (!named.number || !named.ofNewOrder() || claimed(order) || claimed(opened))
        return std::nullopt;
    std::vector<Candidate> candidates;
    for (const Request& r : requests_)
        if (named.namesNewOrder(r))
            candidates.push_back(
                {r.number, r.kind == Kind::MultiAccount && std::find(r.accounts.begin(), r.accounts.end(),
                                                                     named.account) != r.accounts.end()
                               ? named.account
                               : std::string()});
    if (candidates.empty())
        return std::nullopt;
    claim(order);
    claim(opened);
    return holdFor(std::move(candidates), named.account, rejected, code, true);
}

std::optional<RequestsInFlight::Answered> RequestsInFlight::holdFor(std::vector<Candidate> candidates,
                                                                    const std::string& part, bool rejected,
                                                                    std::int32_t code, bool numbered) {
    const auto first = byNumber(candidates.front().first);
    const std::string of =
        first->kind == Kind::CloseAll || first->kind == Kind::MultiAccount ? part : std::string();
    if (std::all_of(candidates.begin(), candidates.end(), [&](const Candidate& c) {
            return c.first == first->number || alike(*first, *byNumber(c.first), of, numbered);
        }))
        return settle(first, part, rejected, code, numbered);
    // Told once the others' own reports, or every pairing of the reports, say whose it is.
    addUnsettled(std::move(candidates), Outcome{rejected, rejected ? code : 0});
    return std::nullopt;
}

void RequestsInFlight::addUnsettled(std::vector<Candidate> candidates, Outcome outcome) {
    // Past the bound the oldest is told "not known" with what is known, never dropped untold.
    if (unsettled_.size() >= kMaxRequests && unsettled_.size() >= bound())
        tellNotKnown(componentOf(unsettled_.begin()->first));
    const std::uint64_t id = ++lastUnsettled_;
    for (const Candidate& c : candidates)
        fitting_[c.first][c.second].push_back(id);
    // A burst of like requests brings report after report fitting them all, a few lists taking turns.
    std::uint64_t list = 0;
    for (auto u = unsettled_.rbegin();
         u != unsettled_.rend() && !list && std::distance(unsettled_.rbegin(), u) < 4; ++u)
        if (u->second.candidates == candidates)
            list = u->second.list ? u->second.list : (u->second.list = ++lastList_);
    Unsettled& u = unsettled_
                       .emplace_hint(unsettled_.end(), id,
                                     Unsettled{std::move(candidates), outcome, reportsHeard_, list, 0, {}})
                       ->second;
    if (reading_ && !reading_->bracket.empty() && !outcome.rejected && reading_->orderType &&
        (*reading_->orderType == 2 || *reading_->orderType == 3)) {
        u.leg = *reading_->orderType;
        if (reading_->status != report::kCancelled)
            u.legPrice = reading_->price;
    }
    toSettle_.insert(id);
    lastGrouped_ = true;
}

void RequestsInFlight::dropUnsettled(std::uint64_t id) {
    const auto u = unsettled_.find(id);
    if (u == unsettled_.end())
        return;
    for (const Candidate& c : u->second.candidates)
        unfit(c, id);
    unsettled_.erase(u);
    toSettle_.erase(id);
    toldPast_.erase(id);
}

void RequestsInFlight::unfit(const Candidate& c, std::uint64_t id) {
    const auto f = fitting_.find(c.first);
    if (f == fitting_.end())
        return;
    if (const auto p = f->second.find(c.second); p != f->second.end()) {
        std::erase(p->second, id);
        if (p->second.empty())
            f->second.erase(p);
    }
    if (f->second.empty())
        fitting_.erase(f);
}

void RequestsInFlight::touched(std::uint64_t number, const std::string* part) {
    const auto f = fitting_.find(number);
    if (f == fitting_.end())
        return;
    if (part) {
        if (const auto p = f->second.find(*part); p != f->second.end())
            toSettle_.insert(p->second.begin(), p->second.end());
        return;
    }
    for (const auto& [of, ids] : f->second)
        toSettle_.insert(ids.begin(), ids.end());
}

bool RequestsInFlight::stillWaits(const Candidate& c) {
    if (isStandIn(c.first))
        return standInWaits(c);
    const auto it = byNumber(c.first);
    if (it == requests_.end())
        return false;
    if (c.second.empty())
        return true;
    if (it->kind == Kind::CloseAll)
        return waitsOn(*it, c.second);
    if (it->kind == Kind::MultiAccount)
        return std::find(it->accounts.begin(), it->accounts.end(), c.second) != it->accounts.end();
    return true;
}

namespace {

// The candidate lists already looked over: reports of like requests share theirs, so a list met again
// adds nothing. A few kept; one of a number met is met, any other compared at the cost of its length.
class ListsSeen {
public:
    using List = std::vector<std::pair<std::uint64_t, std::string>>;
    bool met(const List& list, std::uint64_t number) const {
        return (number && numbers_.contains(number)) ||
               std::any_of(lists_.begin(), lists_.end(),
                           [&](const List* l) { return l->size() == list.size() && *l == list; });
    }
    // Kept as met: the list must outlive the looking over.
    void add(const List& list, std::uint64_t number) {
        if (number)
            numbers_.insert(number);
        if (lists_.size() == kKept)
            lists_.erase(lists_.begin());
        lists_.push_back(&list);
    }

private:
    static constexpr std::size_t kKept = 8;
    std::vector<const List*> lists_;
    std::unordered_set<std::uint64_t> numbers_;
};

} // namespace

std::vector<std::uint64_t> RequestsInFlight::componentOf(std::uint64_t id, bool accounts) {
    std::vector<std::uint64_t> ids{id}, kept;
    // Report numbers run on from the oldest held: marked in a flat list, each looked at once per request
    // it fits.
    const std::uint64_t oldest = unsettled_.empty() ? id : std::min(id, unsettled_.begin()->first);
    std::vector<char> seen(lastUnsettled_ - oldest + 1, 0);
    const auto see = [&](std::uint64_t o) { return o >= oldest && !std::exchange(seen[o - oldest], 1); };
    see(id);
    // Each request's reports are looked up once; reports of like requests share their candidates, so
    // one just like the last looked over adds nothing and waits as it does.
    std::set<Candidate> expanded;
    ListsSeen lists;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto u = unsettled_.find(ids[i]);
        if (u == unsettled_.end())
            continue;
        if (lists.met(u->second.candidates, u->second.list)) {
            kept.push_back(ids[i]);
            continue;
        }
        // A request answered meanwhile (or its part) leaves the candidates.
        std::vector<Candidate> gone;
        for (const Candidate& c : u->second.candidates)
            if (!stillWaits(c))
                gone.push_back(c);
        if (!gone.empty()) {
            const Unsettled was = u->second;
            dropUnsettled(ids[i]);
            const std::set<Candidate> goneSet(gone.begin(), gone.end());
            std::vector<Candidate> left;
            for (const Candidate& c : was.candidates)
                if (!goneSet.contains(c)) {
                    left.push_back(c);
                    fitting_[c.first][c.second].push_back(ids[i]);
                }
            if (left.empty())
                continue;
            unsettled_.emplace(ids[i],
                               Unsettled{std::move(left), was.outcome, was.heard, 0, was.leg, was.legPrice});
        } else {
            lists.add(u->second.candidates, u->second.list);
        }
        kept.push_back(ids[i]);
        for (const Candidate& c : unsettled_.at(ids[i]).candidates) {
            // A multi-account order's accounts share one outcome: the reports of each are paired together.
            const auto r = accounts && !c.second.empty() ? byNumber(c.first) : requests_.end();
            const bool shared = r != requests_.end() && r->kind == Kind::MultiAccount;
            if (!expanded.insert(shared ? Candidate{c.first, "\n"} : c).second)
                continue;
            const auto f = fitting_.find(c.first);
            if (f == fitting_.end())
                continue;
            const auto add = [&](const std::vector<std::uint64_t>& of) {
                for (const std::uint64_t o : of)
                    if (see(o))
                        ids.push_back(o);
            };
            if (shared) {
                for (const auto& [part, of] : f->second)
                    if (!part.empty())
                        add(of);
            } else if (const auto p = f->second.find(c.second); p != f->second.end()) {
                add(p->second);
            }
        }
    }
    std::sort(kept.begin(), kept.end());
    return kept;
}

std::vector<RequestsInFlight::Candidate>
RequestsInFlight::keysOf(const std::vector<std::uint64_t>& ids) const {
    std::vector<Candidate> keys;
    std::set<Candidate> have;
    ListsSeen lists;
    for (const std::uint64_t id : ids) {
        const std::vector<Candidate>& candidates = unsettled_.at(id).candidates;
        if (lists.met(candidates, unsettled_.at(id).list))
            continue;
        lists.add(candidates, unsettled_.at(id).list);
        for (const Candidate& c : candidates)
            if (have.insert(c).second)
                keys.push_back(c);
    }
    return keys;
}

RequestsInFlight::NotKnown RequestsInFlight::knownOf(const std::vector<std::uint64_t>& ids,
                                                     std::vector<Candidate>& keys) {
    keys = keysOf(ids);
    std::vector<Outcome> outcomes;
    for (const std::uint64_t id : ids)
        outcomes.push_back(unsettled_.at(id).outcome);
    std::vector<std::uint64_t> members;
    for (const Candidate& c : keys)
        members.push_back(c.first);
    std::sort(members.begin(), members.end());
    members.erase(std::unique(members.begin(), members.end()), members.end());
    // More reports than requests: some were not theirs, which is not known.
    if (outcomes.size() > keys.size())
        outcomes.resize(keys.size());
    // Of close-alls, the position they are all of.
    std::string position;
    const auto ofCloseAll = [&](const Candidate& c) {
        if (isStray(c.first))
            return !c.second.empty();
        const auto it = byNumber(c.first);
        return it != requests_.end() && it->kind == Kind::CloseAll && !c.second.empty();
    };
    if (!keys.empty() && std::all_of(keys.begin(), keys.end(), [&](const Candidate& c) {
            return ofCloseAll(c) && c.second == keys.front().second;
        }))
        position = keys.front().second;
    return notKnownOf(members, std::move(outcomes), position,
                      keys.empty() ? std::string() : keys.front().second);
}

void RequestsInFlight::tellNotKnown(const std::vector<std::uint64_t>& ids) {
    if (ids.empty())
        return;
    std::vector<Candidate> keys;
    const NotKnown known = knownOf(ids, keys);
    // The set's requests are fitted by its reports alone: their lists go whole, not report by report.
    for (const Candidate& c : keys)
        if (const auto f = fitting_.find(c.first); f != fitting_.end()) {
            f->second.erase(c.second);
            if (f->second.empty())
                fitting_.erase(f);
        }
    for (const std::uint64_t id : ids) {
        unsettled_.erase(id);
        toSettle_.erase(id);
        toldPast_.erase(id);
    }
    for (const Candidate& c : keys)
        if (isStandIn(c.first)) {
            standInTook(c);
        } else if (stillWaits(c)) {
            const auto it = byNumber(c.first);
            const bool closeAll = it->kind == Kind::CloseAll;
            givenBack_.push_back(answer(it, closeAll ? c.second : std::string(), false, 0,
                                        closeAll ? std::string() : c.second, &known));
        }
}

namespace {

// The reasons an outcome may have been refused for.
std::vector<std::int32_t> codesOf(const RequestsInFlight::Outcome& o) {
    return o.possibleCodes.empty() ? std::vector<std::int32_t>{o.rejectionCode} : o.possibleCodes;
}

} // namespace

std::optional<RequestsInFlight::Outcome>
RequestsInFlight::certainOf(const std::vector<std::uint64_t>& reports) const {
    if (reports.empty())
        return std::nullopt;
    const Outcome& first = unsettled_.at(reports.front()).outcome;
    std::set<std::int32_t> codes;
    for (const std::uint64_t r : reports) {
        const Outcome& o = unsettled_.at(r).outcome;
        if (o.rejected != first.rejected)
            return std::nullopt;
        if (o.rejected)
            for (const std::int32_t c : codesOf(o))
                codes.insert(c);
    }
    if (!first.rejected || codes.size() == 1)
        return first.rejected ? Outcome{true, *codes.begin()} : Outcome{};
    // Refused whichever it had: one of their reasons.
    return Outcome{true, *codes.begin(), std::vector<std::int32_t>(codes.begin(), codes.end())};
}

void RequestsInFlight::tookOneOf(const std::vector<std::uint64_t>& reports, const Candidate& key,
                                 const Outcome& outcome) {
    const Unsettled& first = unsettled_.at(reports.front());
    if (reports.size() == 1 || std::all_of(reports.begin(), reports.end(), [&](std::uint64_t r) {
            const Unsettled& u = unsettled_.at(r);
            return u.outcome == first.outcome && u.candidates == first.candidates;
        })) {
        dropUnsettled(reports.front());
        return;
    }
    // Which one it took is not known: the rest stand as as many reports, each of any request one of
    // them fitted and with any of their outcomes.
    std::vector<Candidate> candidates;
    std::set<Candidate> have{key};
    std::uint64_t heard = first.heard;
    for (const std::uint64_t r : reports) {
        const Unsettled& u = unsettled_.at(r);
        heard = std::min(heard, u.heard);
        for (const Candidate& c : u.candidates)
            if (have.insert(c).second)
                candidates.push_back(c);
    }
    for (const std::uint64_t r : reports)
        dropUnsettled(r);
    for (std::size_t n = 1; n < reports.size() && !candidates.empty(); ++n) {
        const std::uint64_t id = ++lastUnsettled_;
        for (const Candidate& c : candidates)
            fitting_[c.first][c.second].push_back(id);
        unsettled_.emplace(id, Unsettled{candidates, outcome, heard, 0, 0, {}});
        toSettle_.insert(id);
    }
}

void RequestsInFlight::tellCertain(const Candidate& key, const Outcome& o) {
    if (isStandIn(key.first))
        return standInTook(key);
    const auto it = byNumber(key.first);
    const bool closeAll = it->kind == Kind::CloseAll;
    Answered told = answer(it, closeAll ? key.second : std::string(), o.rejected, o.rejectionCode,
                           closeAll ? std::string() : key.second);
    told.possibleCodes = o.possibleCodes;
    givenBack_.push_back(std::move(told));
}

bool RequestsInFlight::settleUnsettled() {
    if (unsettled_.empty())
        return false;
    // Held while the server went on answering past the bound: what is open is told "not known".
    if (reportsHeard_ - unsettled_.begin()->second.heard > bound()) {
        tellNotKnown(componentOf(unsettled_.begin()->first));
        return true;
    }
    while (!toSettle_.empty()) {
        const std::uint64_t start = *toSettle_.begin();
        toSettle_.erase(toSettle_.begin());
        if (!unsettled_.contains(start))
            continue;
        // The reports that share requests, paired on their own.
        const std::vector<std::uint64_t> reports = componentOf(start, true);
        for (const std::uint64_t id : reports)
            toSettle_.erase(id);
        if (reports.empty())
            continue;
        std::vector<Candidate> keys = keysOf(reports);
        std::sort(keys.begin(), keys.end());
        const bool bounded = keys.size() <= kMaxPairings && reports.size() <= kMaxPairings;
        if (!bounded) {
            if (settleUnpaired(reports, keys))
                return true;
            continue;
        }
        // Every way of giving each report to a request it fits, no request taking two: what each
        // request is given in each (none: -1).
        std::vector<std::vector<int>> given(keys.size());
        std::vector<int> taker(reports.size(), -1);
        std::vector<bool> used(keys.size(), false);
        std::size_t ways = 0;
        // The server carries out or refuses a multi-account order as a whole: a way giving one of its
        // accounts another outcome than its accounts told so far is no way, unless no other is left.
        // What each multi-account order's accounts are given in the way being made: refused, and how many.
        std::map<std::uint64_t, std::pair<bool, int>> wayGives;
        const auto agrees = [&](const Candidate& c, const Outcome& o) {
            if (c.second.empty())
                return true;
            const auto f = accountsTold_.find(c.first);
            const auto w = wayGives.find(c.first);
            return (f == accountsTold_.end() || !f->second || *f->second == o.rejected) &&
                   (w == wayGives.end() || w->second.second == 0 || w->second.first == o.rejected);
        };
        const auto give = [&](const Candidate& c, const Outcome& o, int step) {
            if (c.second.empty())
                return;
            if (const auto it = byNumber(c.first); it != requests_.end() && it->kind == Kind::MultiAccount) {
                auto& w = wayGives[c.first];
                w.first = o.rejected;
                w.second += step;
            }
        };
        bool agreeing = true;
        const std::function<void(std::size_t)> pair = [&](std::size_t i) {
            if (i == reports.size()) {
                ++ways;
                std::vector<int> of(keys.size(), -1);
                for (std::size_t r = 0; r < reports.size(); ++r)
                    of[static_cast<std::size_t>(taker[r])] = static_cast<int>(r);
                for (std::size_t k = 0; k < keys.size(); ++k)
                    if (std::find(given[k].begin(), given[k].end(), of[k]) == given[k].end())
                        given[k].push_back(of[k]);
                return;
            }
            const Outcome o = unsettled_.at(reports[i]).outcome;
            for (const Candidate& c : unsettled_.at(reports[i]).candidates) {
                const std::size_t k =
                    static_cast<std::size_t>(std::find(keys.begin(), keys.end(), c) - keys.begin());
                if (used[k] || (agreeing && !agrees(c, o)))
                    continue;
                used[k] = true;
                taker[i] = static_cast<int>(k);
                give(c, o, 1);
                pair(i + 1);
                give(c, o, -1);
                used[k] = false;
            }
        };
        pair(0);
        if (ways == 0) {
            agreeing = false;
            pair(0);
        }
        // A request every way gives a report, each carrying it out or each refusing it, is told so;
        // refused for different reasons, that it is one of them. Its report leaves with it.
        for (std::size_t k = 0; ways > 0 && k < keys.size(); ++k) {
            const auto& g = given[k];
            if (std::find(g.begin(), g.end(), -1) != g.end())
                continue;
            std::vector<std::uint64_t> took;
            for (const int r : g)
                took.push_back(reports[static_cast<std::size_t>(r)]);
            const std::optional<Outcome> o = certainOf(took);
            if (!o)
                continue;
            // Which of them it took is known only where they are one report repeated.
            tookOneOf(took, keys[k], *o);
            // The rest may say more once this one is told.
            toSettle_.insert(reports.begin(), reports.end());
            tellCertain(keys[k], *o);
            return true;
        }
        if (!allReportsIn(reports, keys))
            continue;
        // Told part by part: what the reports of each account say of it.
        for (const std::uint64_t id : reports)
            if (unsettled_.contains(id))
                tellNotKnown(componentOf(id));
        return true;
    }
    return false;
}

bool RequestsInFlight::allReportsIn(const std::vector<std::uint64_t>& reports,
                                    const std::vector<Candidate>& keys) {
    const auto heldFor = [&](std::uint64_t number, const std::string& part) {
        const auto f = fitting_.find(number);
        return f != fitting_.end() && f->second.contains(part);
    };
    if (reports.size() < keys.size())
        return false;
    // Unless a multi-account order's other accounts, still to come, may tell.
    const std::set<Candidate> have(keys.begin(), keys.end());
    return std::none_of(keys.begin(), keys.end(), [&](const Candidate& c) {
        const auto it = byNumber(c.first);
        return it != requests_.end() && it->kind == Kind::MultiAccount &&
               std::any_of(it->accounts.begin(), it->accounts.end(), [&](const std::string& a) {
                   return !have.contains(Candidate{c.first, a}) && !heldFor(c.first, a);
               });
    });
}

bool RequestsInFlight::settleUnpaired(const std::vector<std::uint64_t>& reports,
                                      const std::vector<Candidate>& keys) {
    // Too many to pair every way. As many reports fitting only some requests as those requests: they
    // are theirs, and no other report is.
    // The reports by their candidates (reports of like requests share them), each list looked over once.
    constexpr std::size_t kMaxLists = 64;
    std::vector<std::pair<const std::vector<Candidate>*, std::vector<std::uint64_t>>> byList;
    for (const std::uint64_t r : reports) {
        const std::vector<Candidate>& c = unsettled_.at(r).candidates;
        const auto same = std::find_if(byList.rbegin(), byList.rend(), [&](const auto& l) {
            const std::uint64_t number = unsettled_.at(l.second.front()).list;
            return (number && number == unsettled_.at(r).list) ||
                   (l.first->size() == c.size() && *l.first == c);
        });
        if (same != byList.rend()) {
            same->second.push_back(r);
            continue;
        }
        // Lists of many kinds: too costly to look over each against each, and they are left to pairing.
        if (byList.size() == kMaxLists) {
            byList.clear();
            break;
        }
        byList.push_back({&c, {r}});
    }
    for (const auto& entry : byList) {
        const std::vector<Candidate>* list = entry.first;
        if (list->size() >= keys.size())
            continue;
        const std::set<Candidate> of(list->begin(), list->end());
        std::vector<std::uint64_t> theirs, others;
        for (const auto& [other, reportsOf] : byList) {
            auto& to =
                std::all_of(other->begin(), other->end(), [&](const Candidate& k) { return of.contains(k); })
                    ? theirs
                    : others;
            to.insert(to.end(), reportsOf.begin(), reportsOf.end());
        }
        if (theirs.size() != of.size())
            continue;
        bool changed = false;
        for (const std::uint64_t r : others) {
            Unsettled u = unsettled_.at(r);
            if (std::erase_if(u.candidates, [&](const Candidate& k) { return of.contains(k); }) == 0)
                continue;
            dropUnsettled(r);
            changed = true;
            if (u.candidates.empty())
                continue;
            for (const Candidate& c : u.candidates)
                fitting_[c.first][c.second].push_back(r);
            unsettled_.emplace(r, std::move(u));
        }
        if (changed) {
            toSettle_.insert(reports.begin(), reports.end());
            return true;
        }
    }
    // As many reports as requests, each request has one, so one every report it fits says the same
    // of is told that.
    if (reports.size() != keys.size())
        return false;
    if (const std::optional<Outcome> all = certainOf(reports);
        all && std::all_of(reports.begin(), reports.end(),
                           [&](std::uint64_t r) { return unsettled_.at(r).outcome == *all; })) {
        for (const std::uint64_t r : reports)
            dropUnsettled(r);
        for (const Candidate& c : keys)
            if (stillWaits(c))
                tellCertain(c, *all);
        return true;
    }
    for (const Candidate& k : keys) {
        const auto& of = fitting_.at(k.first).at(k.second);
        const std::vector<std::uint64_t> fit(of.begin(), of.end());
        if (const std::optional<Outcome> o = certainOf(fit)) {
            tookOneOf(fit, k, *o);
            toSettle_.insert(reports.begin(), reports.end());
            tellCertain(k, *o);
            return true;
        }
    }
    if (!allReportsIn(reports, keys))
        return false;
    tellNotKnown(reports);
    return true;
}

void RequestsInFlight::expectOtherLegs(const Request& edit) {
    if (!edit.editedTo || edit.targets.size() != 1)
        return;
    // The report that answered it is of one leg; which, when it was held, is not known.
    const Named* by = reading_ && reading_->bracket == edit.targets.front() ? reading_ : nullptr;
    for (const std::int32_t leg : {2, 3}) {
        const auto& price = leg == 2 ? edit.editedTo->takeProfit : edit.editedTo->stopLoss;
        if (!price || (by && by->orderType == leg))
            continue;
        legsToCome_.push_back({kLegToComeFirst + ++lastLegToCome_,
                               edit.targets.front(),
                               edit.requestNumber,
                               leg,
                               price,
                               reportsHeard_,
                               {},
                               {edit.number, edit.requestNumber, edit.description}});
        // A held report of that leg that fitted the edit may have been its own, come before (when the
        // report that answered it is known to be of its other leg).
        std::vector<std::uint64_t> ofLeg;
        if (const auto f = by ? fitting_.find(edit.number) : fitting_.end(); f != fitting_.end())
            if (const auto of = f->second.find(std::string()); of != f->second.end())
                for (const std::uint64_t id : of->second)
                    if (const auto u = unsettled_.find(id);
                        u != unsettled_.end() && u->second.leg == leg && u->second.legPrice == price)
                        ofLeg.push_back(id);
        for (const std::uint64_t id : ofLeg) {
            Unsettled& u = unsettled_.at(id);
            u.candidates.push_back({legsToCome_.back().number, {}});
            u.list = 0;
            fitting_[legsToCome_.back().number][std::string()].push_back(id);
        }
    }
}

std::vector<RequestsInFlight::Candidate> RequestsInFlight::legsToComeFitting(const Named& named) {
    // Past the bound a leg that never came is no longer looked for, unless a held report waits on it.
    std::erase_if(legsToCome_, [&](const LegToCome& l) {
        return reportsHeard_ - l.heard > bound() && !fitting_.contains(l.number);
    });
    std::vector<Candidate> fit;
    const bool standing = named.status == wire::report::kPending || named.status == wire::report::kEdited;
    for (const LegToCome& l : legsToCome_)
        if (l.requestNumber && standing && l.position == named.bracket && named.orderType == l.leg &&
            (!named.number || *named.number == *l.requestNumber) &&
            (!named.price || *named.price == *l.price) && !fitting_.contains(l.number))
            fit.push_back({l.number, {}});
    return fit;
}

void RequestsInFlight::dropLegToCome(std::uint64_t number) {
    std::erase_if(legsToCome_, [&](const LegToCome& l) { return l.number == number; });
}

void RequestsInFlight::closeAnswered(const Request& close, const std::string& position, bool leftOpen) {
    // Closed whole by it, the cancellation may be its doing: the stand-in stays.
    if (!leftOpen)
        return;
    std::vector<std::uint64_t> free;
    for (LegToCome& l : legsToCome_)
        if (!l.closes.empty() && l.position == position && std::erase(l.closes, close.number) > 0 &&
            l.closes.empty())
            free.push_back(l.number);
    for (const std::uint64_t n : free) {
        dropLegToCome(n);
        touched(n, nullptr);
    }
}

std::vector<RequestsInFlight::Request> RequestsInFlight::takeUnanswered() {
    // What the reports that came knew goes with the requests they fitted: a position the server closed
    // for one of them, what it did to some of a group.
    const auto tellEach = [this](const NotKnown& known) {
        for (const Like& l : known.like)
            if (const auto it = byNumber(l.number); it != requests_.end())
                it->notKnown.push_back(known);
    };
    for (const Held& h : held_) {
        std::vector<std::uint64_t> waiting;
        for (const std::uint64_t n : h.candidates)
            if (const auto it = byNumber(n); it != requests_.end() && waitsOn(*it, h.position))
                waiting.push_back(n);
        if (!h.taken && !waiting.empty()) {
            NotKnown known = notKnownOf(waiting, {Outcome{}}, h.position, h.position);
            known.lineLost = true;
            tellEach(known);
        }
    }
    while (!unsettled_.empty()) {
        const std::vector<std::uint64_t> ids = componentOf(unsettled_.begin()->first);
        if (ids.empty())
            continue;
        std::vector<Candidate> keys;
        NotKnown known = knownOf(ids, keys);
        known.lineLost = true;
        // A close-all of every open position is told nothing of a position it did not list.
        for (const Like& l : known.like)
            if (std::any_of(keys.begin(), keys.end(),
                            [&](const Candidate& c) { return c.first == l.number; }))
                if (const auto it = byNumber(l.number); it != requests_.end())
                    it->notKnown.push_back(known);
        for (const std::uint64_t id : ids)
            dropUnsettled(id);
    }
    fitting_.clear();
    toSettle_.clear();
    heardAt_.clear();
    toldPast_.clear();
    accountsTold_.clear();
    offsetsSettled_.clear();
    // A close-all's positions still without an answer, in the order it was sent with.
    for (Request& r : requests_)
        if (r.targets.size() > 1) {
            const auto sentPlace = [&](const std::string& id) {
                for (const Slot& s : waitingOn_[id])
                    if (s.request == r.number)
                        return s.sentPlace;
                return std::size_t{0};
            };
            std::vector<std::pair<std::size_t, std::string>> places;
            for (std::string& id : r.targets)
                places.emplace_back(sentPlace(id), std::move(id));
            std::sort(places.begin(), places.end());
            for (std::size_t i = 0; i < places.size(); ++i)
                r.targets[i] = std::move(places[i].second);
        }
    waitingOn_.clear();
    std::vector<Request> left(std::make_move_iterator(requests_.begin()),
                              std::make_move_iterator(requests_.end()));
    requests_.clear();
    settling_.clear();
    passedOver_.clear();
    legsToCome_.clear();
    strays_.clear();
    turnPast_.clear();
    resized_.clear();
    held_.clear();
    closedByLeg_.clear();
    closedWhole_.clear();
    givenBack_.clear();
    return left;
}

} // namespace tc
