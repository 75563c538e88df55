#include "gui/trading/close_all_rules.h"

#include "model/position_arithmetic.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/session_model.h"
#include "model/text/positional_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace tc::gui {
namespace {

// The request's own answer said the row's position closed (not a later list, which tells no price).
bool closedByAnswer(const CloseAllStatusRow& row) {
    return row.answered && row.tone == Tone::Gain && row.fromList == FromList::Untold;
}

// The listed positions by id, built once for a pass over many ids (a search of the list for each
// would cost the square of a large book).
std::unordered_map<std::string_view, const Order*> positionsById(const OrderView& listed) {
    std::unordered_map<std::string_view, const Order*> byId;
    byId.reserve(listed.size());
    for (const auto& p : listed)
        if (p)
            byId.emplace(p->OpenPositionId, p.get());
    return byId;
}

const Order* positionOf(const std::unordered_map<std::string_view, const Order*>& byId, std::string_view id) {
    const auto at = byId.find(id);
    return at == byId.end() ? nullptr : at->second;
}

CloseAllStatusRow rowOf(const SessionModel& model, const Order& position, double price) {
    const ItemDetails* item = instrumentOf(model, position.ItemCode);
    CloseAllStatusRow row;
    row.positionId = position.OpenPositionId;
    row.account = position.AccountNumber;
    row.symbol = position.ItemCode;
    row.side = position.tradingMode;
    row.quantity = quantityText(position.RemainingQty);
    row.price = priceText(price, item);
    return row;
}

// The price a close of the position would take now: a buy sells at the Bid, a sell buys at the Ask.
double closePrice(const SessionModel& model, const Order& position) {
    const ItemDetails* item = instrumentOf(model, position.ItemCode);
    if (!item)
        return 0;
    return closingQuote(*item, position).toDouble();
}

// The holdings (account, instrument, delivery mode) open on both sides that closing `closing` would
// leave open on one side only with more or the other way round exposed than before: a hedge whose
// other side goes, not a holding merely reduced. "account instrument" each, in list order.
std::vector<std::string> oneSidedAfter(const OrderView& listed, const std::vector<std::string>& closing) {
    if (closing.empty())
        return {};
    const std::unordered_set<std::string_view> closes(closing.begin(), closing.end());
    struct Sides {
        double before[2] = {0, 0};
        double after[2] = {0, 0};
        bool touched = false;
    };
    std::vector<std::pair<std::tuple<std::string, std::string, std::int32_t>, Sides>> holdings;
    for (const auto& p : listed) {
        if (!p)
            continue;
        const auto key = std::tuple(p->AccountNumber, p->ItemCode, p->deliveryMode);
        auto at =
            std::find_if(holdings.begin(), holdings.end(), [&](const auto& h) { return h.first == key; });
        if (at == holdings.end())
            at = holdings.insert(holdings.end(), {key, Sides{}});
        const int side = p->tradingMode == 0 ? 0 : 1;
        const double lots = p->RemainingQty.toDouble();
        at->second.before[side] += lots;
        if (closes.contains(p->OpenPositionId))
            at->second.touched = true;
        else
            at->second.after[side] += lots;
    }
    std::vector<std::string> oneSided;
    for (const auto& [key, sides] : holdings) {
        const bool hedged = sides.before[0] > 0 && sides.before[1] > 0;
        const bool alone = (sides.after[0] > 0) != (sides.after[1] > 0);
        const double netBefore = sides.before[0] - sides.before[1];
        const double netAfter = sides.after[0] - sides.after[1];
        const bool exposed = std::abs(netAfter) > std::abs(netBefore) || netAfter * netBefore < 0;
        if (sides.touched && hedged && alone && exposed)
            oneSided.push_back(fmt::format("{} {}", std::get<0>(key), std::get<1>(key)));
    }
    return oneSided;
}

} // namespace

std::string refusalLine(std::string_view text) {
    const auto first = text.find('\n');
    if (first == std::string_view::npos)
        return std::string(text);
    const auto second = text.find('\n', first + 1);
    return std::string(text.substr(first + 1, second == std::string_view::npos ? std::string_view::npos
                                                                               : second - first - 1));
}

bool CloseAllFlow::awaiting(std::vector<interfaces::AwaitedPositions> requests) {
    const auto same = [](const interfaces::AwaitedPositions& a, const interfaces::AwaitedPositions& b) {
        return a.request == b.request && a.positions == b.positions;
    };
    if (std::equal(requests.begin(), requests.end(), awaited_.begin(), awaited_.end(), same))
        return false;
    awaited_ = std::move(requests);
    awaitedBy_.clear();
    for (std::size_t at = 0; at < awaited_.size(); ++at)
        for (const std::string& id : awaited_[at].positions)
            awaitedBy_.emplace(id, at); // the oldest stays
    awaitedListed_ = static_cast<std::size_t>(std::count_if(
        listed_.begin(), listed_.end(), [&](const std::string& id) { return awaitedBy_.contains(id); }));
    return true;
}

const interfaces::AwaitedPositions* CloseAllFlow::awaitedBy(std::string_view id) const {
    const auto at = awaitedBy_.find(id);
    return at == awaitedBy_.end() ? nullptr : &awaited_[at->second];
}

CloseAllFlow::AwaitedTicked CloseAllFlow::awaitedTicked() const {
    AwaitedTicked found;
    std::vector<bool> named(awaited_.size(), false);
    for (const std::string& id : ticked_) {
        const auto at = awaitedBy_.find(id);
        if (at == awaitedBy_.end())
            continue;
        ++found.positions;
        named[at->second] = true;
    }
    for (std::size_t at = 0; at < awaited_.size(); ++at)
        if (named[at])
            found.requests.push_back(&awaited_[at]);
    return found;
}

void CloseAllFlow::start(const OrderView& listed) {
    phase_ = Phase::Choosing;
    ticked_.clear();
    refused_.clear();
    leftOneSided_.clear();
    status_.clear();
    statusRow_.clear();
    refusedRows_.clear();
    tickedSet_.clear();
    list(listed);
    // A position an earlier request still waits for is the trader's to tick: sent twice, the server
    // refuses what the first closed.
    for (const auto& p : listed)
        if (p && !p->OpenPositionId.empty() && !awaitedBy_.contains(p->OpenPositionId))
            tick(p->OpenPositionId);
}

void CloseAllFlow::list(const OrderView& listed) {
    ++booksRead_;
    listed_.clear();
    listed_.reserve(listed.size());
    awaitedListed_ = 0;
    for (const auto& p : listed)
        if (p && !p->OpenPositionId.empty() && listed_.emplace(p->OpenPositionId).second)
            awaitedListed_ += awaitedBy_.contains(p->OpenPositionId);
    tickedListed_ = static_cast<std::size_t>(std::count_if(
        ticked_.begin(), ticked_.end(), [&](const std::string& id) { return listed_.contains(id); }));
}

bool CloseAllFlow::isTicked(std::string_view id) const {
    return tickedSet_.contains(id);
}

void CloseAllFlow::tick(std::string_view id) {
    if (!tickedSet_.emplace(id).second)
        return;
    ticked_.emplace_back(id);
    tickedListed_ += listed_.contains(id);
}

void CloseAllFlow::untick(std::string_view id) {
    const auto at = tickedSet_.find(id);
    if (at == tickedSet_.end())
        return;
    tickedListed_ -= listed_.contains(id);
    ticked_.erase(std::find(ticked_.begin(), ticked_.end(), id));
    tickedSet_.erase(at);
}

void CloseAllFlow::untickIf(const std::function<bool(const std::string&)>& drop) {
    std::erase_if(ticked_, [&](const std::string& id) {
        if (!drop(id))
            return false;
        tickedListed_ -= listed_.contains(id);
        tickedSet_.erase(id);
        return true;
    });
}

void CloseAllFlow::toggle(std::string_view id) {
    if (phase_ != Phase::Choosing || id.empty())
        return;
    if (!isTicked(id))
        tick(id);
    else
        untick(id);
}

void CloseAllFlow::toggleAll(const std::vector<std::string>& shown) {
    if (phase_ != Phase::Choosing)
        return;
    // Decided by the rows the title shows, not by the book: a position opened since (a fill whose
    // row is not listed yet) must not turn the click that unticks every row into one that ticks.
    const bool all = !shown.empty() && std::all_of(shown.begin(), shown.end(),
                                                   [&](const std::string& id) { return isTicked(id); });
    ticked_.clear();
    tickedSet_.clear();
    tickedListed_ = 0;
    if (all)
        return;
    for (const std::string& id : shown)
        if (!id.empty())
            tick(id);
}

void CloseAllFlow::tickTogether(const std::vector<std::string>& ids) {
    if (phase_ != Phase::Choosing)
        return;
    const bool ticking =
        std::any_of(ids.begin(), ids.end(), [&](const std::string& id) { return !isTicked(id); });
    if (!ticking) {
        const std::unordered_set<std::string_view> unticking(ids.begin(), ids.end());
        untickIf([&](const std::string& id) { return unticking.contains(id); });
        return;
    }
    for (const std::string& id : ids)
        if (!id.empty())
            tick(id);
}

void CloseAllFlow::follow(const OrderView& listed) {
    list(listed);
    untickIf([&](const std::string& id) { return !listed_.contains(id); });
}

bool CloseAllFlow::isCloseAll() const {
    // The ticks are a set: every one listed and as many as the book's ids is the book itself.
    return tickedListed_ == ticked_.size() && ticked_.size() == listed_.size();
}

bool CloseAllFlow::isCloseAll(const OrderView& listed) const {
    std::unordered_set<std::string_view> all;
    for (const auto& p : listed)
        if (p && !p->OpenPositionId.empty())
            all.insert(p->OpenPositionId);
    if (all.size() != ticked_.size())
        return false;
    return std::all_of(ticked_.begin(), ticked_.end(),
                       [&](const std::string& id) { return all.contains(id); });
}

CloseAllFlow::Button CloseAllFlow::button(std::int64_t language) const {
    if (!ticked_.empty() && isCloseAll())
        return {languageText(language, kCloseAllTitleKey), true};
    return {fmt::format("{} ({})", languageText(language, kCloseSelectedKey), ticked_.size()),
            !ticked_.empty()};
}

bool CloseAllFlow::validate(const SessionModel& model, const SessionQueries& queries, const CheckFn& check) {
    refused_.clear();
    leftOneSided_.clear();
    const OrderView listed = queries.getOpenOrderCollection();
    const auto byId = positionsById(listed);
    const std::vector<interfaces::OrderResult> results = check(ticked_);
    for (std::size_t i = 0; i < ticked_.size(); ++i) {
        const std::string& id = ticked_[i];
        const interfaces::OrderResult result =
            i < results.size() ? results[i] : interfaces::OrderResult::refused({}, {});
        if (result.sent())
            continue;
        CloseAllStatusRow row;
        if (const Order* position = positionOf(byId, id))
            row = rowOf(model, *position, closePrice(model, *position));
        else
            row.positionId = id;
        row.status = refusalLine(result.refusalText.empty() ? result.refusalKey : result.refusalText);
        row.tone = Tone::Loss;
        refused_.push_back(std::move(row));
    }
    phase_ = refused_.empty() ? Phase::Choosing : Phase::Refused;
    if (!refused_.empty())
        leftOneSided_ = oneSidedAfter(listed, idsToSend());
    return refused_.empty();
}

void CloseAllFlow::dismissRefusals() {
    refused_.clear();
    leftOneSided_.clear();
    phase_ = Phase::Choosing;
}

std::vector<std::string> CloseAllFlow::idsToSend() const {
    std::unordered_set<std::string_view> refused;
    for (const CloseAllStatusRow& r : refused_)
        refused.insert(r.positionId);
    std::vector<std::string> ids;
    for (const std::string& id : ticked_)
        if (!refused.contains(id))
            ids.push_back(id);
    return ids;
}

void CloseAllFlow::sent(const SessionModel& model, const SessionQueries& queries,
                        const std::vector<std::string>& ids, std::int64_t language) {
    phase_ = Phase::Sent;
    noAnswer_ = false;
    refusedWhole_ = false;
    silent_ = false;
    refused_.clear();
    status_.clear();
    statusRow_.clear();
    refusedRows_.clear();
    const OrderView listed = queries.getOpenOrderCollection();
    const auto byId = positionsById(listed);
    for (const std::string& id : ids) {
        const Order* position = positionOf(byId, id);
        if (!position || statusRow_.contains(id))
            continue;
        statusRow_.emplace(id, status_.size());
        CloseAllStatusRow row = rowOf(model, *position, 0);
        row.price.clear(); // not closed yet: no price to tell
        row.status = languageText(language, kStatusSentKey);
        row.tone = Tone::Gain;
        status_.push_back(std::move(row));
    }
}

std::optional<std::size_t> CloseAllFlow::report(const SessionModel& model,
                                                const interfaces::BulkCloseReport& report) {
    // Which row closed or was rejected is its own answer's to tell (answer()); a settlement only
    // gives the price it closed at. A rejection's report adds nothing the answer does not carry.
    if (phase_ != Phase::Sent || report.kind != interfaces::BulkCloseReport::Kind::Settled ||
        !report.settlement)
        return std::nullopt;
    const Order& settled = *report.settlement;
    const auto at = statusRow_.find(settled.OpenPositionId);
    if (at == statusRow_.end() || !settled.SettledPrice)
        return std::nullopt;
    CloseAllStatusRow& row = status_[at->second];
    row.settledPrice = priceText(*settled.SettledPrice, instrumentOf(model, settled.ItemCode));
    // A row still waiting, or refused, may have been closed by another request: the price is not
    // this request's to show.
    if (!closedByAnswer(row) || row.price == row.settledPrice)
        return std::nullopt;
    row.price = row.settledPrice;
    return at->second;
}

std::vector<std::size_t> CloseAllFlow::answer(std::string_view position, bool accepted,
                                              const std::string& reason, std::int64_t language) {
    if (phase_ != Phase::Sent)
        return {};
    if (position.empty()) {
        // An acceptance of the whole tells nothing of any row: each position's own answer does.
        if (accepted || !waiting())
            return {};
        std::vector<std::size_t> rows;
        for (std::size_t row = 0; row < status_.size(); ++row)
            if (!status_[row].answered)
                rows.push_back(row);
        refusedWhole(reason);
        return rows;
    }
    const auto at = statusRow_.find(position);
    if (at == statusRow_.end())
        return {};
    CloseAllStatusRow& row = status_[at->second];
    row.answered = true;
    row.status = accepted ? languageText(language, kStatusClosedKey) : reason;
    row.tone = accepted ? Tone::Gain : Tone::Loss;
    row.price = accepted ? row.settledPrice : std::string();
    refuse(at->second, !accepted, reason);
    return {at->second};
}

void CloseAllFlow::refuse(std::size_t at, bool refused, const std::string& reason) {
    CloseAllStatusRow& row = status_[at];
    if (refused && !row.refused)
        refusedRows_.push_back(at);
    else if (!refused && row.refused)
        std::erase(refusedRows_, at);
    row.refused = refused;
    row.reason = refused ? reason : std::string();
    row.held.clear();
}

std::vector<std::size_t> CloseAllFlow::readHeld(const OrderView& listed, std::int64_t language) {
    std::vector<std::size_t> rows;
    if (refusedRows_.empty())
        return rows;
    const auto byId = positionsById(listed);
    for (const std::size_t at : refusedRows_) {
        CloseAllStatusRow& row = status_[at];
        const Order* position = positionOf(byId, row.positionId);
        std::string held = position ? quantityText(position->RemainingQty) : std::string();
        if (held == row.held && !row.status.empty())
            continue;
        row.held = std::move(held);
        row.status = row.held.empty()
                         ? row.reason
                         : fillPositional(languageText(language, texts::kCloseAllRowRefusedStillHeld),
                                          {row.reason, row.held});
        rows.push_back(at);
    }
    return rows;
}

std::vector<std::size_t> CloseAllFlow::answerNotKnown(std::string_view position,
                                                      const std::string& whatIsKnown, bool closedByOne,
                                                      std::int64_t language) {
    if (phase_ != Phase::Sent)
        return {};
    std::vector<std::size_t> rows;
    if (position.empty()) {
        for (std::size_t row = 0; row < status_.size(); ++row)
            if (!status_[row].answered)
                rows.push_back(row);
    } else if (const auto at = statusRow_.find(position); at != statusRow_.end()) {
        rows.push_back(at->second);
    }
    for (const std::size_t at : rows) {
        refuse(at, false, {});
        CloseAllStatusRow& row = status_[at];
        row.answered = true;
        if (closedByOne && !position.empty()) {
            // Closed whichever request closed it: its settlement's price is the price it closed at.
            row.closedByOne = true;
            row.status = fillPositional(languageText(language, texts::kText95781),
                                        {languageText(language, kStatusClosedKey), whatIsKnown});
            row.tone = Tone::Gain;
            row.price = row.settledPrice;
            continue;
        }
        row.notKnown = true;
        row.status = fillPositional(languageText(language, texts::kText95781),
                                    {languageText(language, kStatusNotKnownKey), whatIsKnown});
        row.tone = Tone::Plain;
        // Closed, perhaps by the other request: its price is not this one's to show.
        row.price.clear();
    }
    return rows;
}

void CloseAllFlow::noAnswer(std::int64_t language) {
    if (phase_ != Phase::Sent || !waiting())
        return;
    noAnswer_ = true;
    for (CloseAllStatusRow& row : status_)
        if (!row.answered) {
            row.status = languageText(language, kStatusNoAnswerKey);
            row.tone = Tone::Loss;
        }
}

void CloseAllFlow::refusedWhole(const std::string& reason) {
    if (phase_ != Phase::Sent || !waiting())
        return;
    refusedWhole_ = true;
    for (std::size_t at = 0; at < status_.size(); ++at)
        if (CloseAllStatusRow& row = status_[at]; !row.answered) {
            row.answered = true;
            row.status = reason;
            row.tone = Tone::Loss;
            refuse(at, true, reason);
        }
}

std::vector<std::size_t> CloseAllFlow::takeUpList(const OrderView& listed, std::int64_t language) {
    if (phase_ != Phase::Sent)
        return {};
    const auto byId = positionsById(listed);
    std::vector<std::size_t> rows;
    for (std::size_t at = 0; at < status_.size(); ++at) {
        CloseAllStatusRow& row = status_[at];
        if (row.answered)
            continue;
        const Order* held = positionOf(byId, row.positionId);
        // A close-all closes whole positions: one held still with the lots it was sent with was not
        // closed; one held with others has changed by something besides this request.
        row.fromList = !held                                              ? FromList::Gone
                       : quantityText(held->RemainingQty) == row.quantity ? FromList::AsSent
                                                                          : FromList::Changed;
        row.answered = true;
        row.tone = row.fromList == FromList::Gone ? Tone::Gain : Tone::Loss;
        row.status = languageText(language, row.fromList == FromList::Gone     ? kStatusClosedByListKey
                                            : row.fromList == FromList::AsSent ? kStatusStillHeldKey
                                                                               : kStatusChangedKey);
        rows.push_back(at);
    }
    return rows;
}

std::vector<std::string> CloseAllFlow::unanswered() const {
    std::vector<std::string> ids;
    if (phase_ == Phase::Sent)
        for (const CloseAllStatusRow& row : status_)
            if (!row.answered)
                ids.push_back(row.positionId);
    return ids;
}

bool CloseAllFlow::waiting() const {
    return std::any_of(status_.begin(), status_.end(),
                       [](const CloseAllStatusRow& r) { return !r.answered; });
}

std::string_view CloseAllFlow::headerKey() const {
    if (phase_ != Phase::Sent)
        return kHeaderChoosingKey;
    if (waiting()) {
        if (noAnswer_)
            return kHeaderNoAnswerKey;
        return silent_ ? kHeaderServerSilentKey : kHeaderWaitingKey;
    }
    // Told by a sign-in again's list: the heading says what became of the rows it told.
    const auto told = [&](FromList outcome) {
        return std::any_of(status_.begin(), status_.end(),
                           [&](const CloseAllStatusRow& r) { return r.fromList == outcome; });
    };
    const bool gone = told(FromList::Gone);
    const bool held = told(FromList::AsSent) || told(FromList::Changed);
    if (gone || held)
        return !held ? kHeaderListAllClosedKey : gone ? kHeaderListSomeClosedKey : kHeaderListNoneClosedKey;
    if (std::any_of(status_.begin(), status_.end(), [](const CloseAllStatusRow& r) { return r.notKnown; }))
        return kHeaderSomeNotKnownKey;
    // Refused as a whole only where no position closed before the refusal.
    if (refusedWhole_ && std::none_of(status_.begin(), status_.end(),
                                      [](const CloseAllStatusRow& r) { return r.tone == Tone::Gain; }))
        return kHeaderRefusedWholeKey;
    if (std::any_of(status_.begin(), status_.end(),
                    [](const CloseAllStatusRow& r) { return r.tone == Tone::Loss; }))
        return kHeaderSomeRejectedKey;
    if (std::any_of(status_.begin(), status_.end(), [](const CloseAllStatusRow& r) { return r.closedByOne; }))
        return kHeaderClosedSomeByOneOfLikeKey;
    return kHeaderClosedKey;
}

} // namespace tc::gui
