#include "orders/session_orders.h"

#include "model/account_figures.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/text/journal_data.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "platform/decimal_text.h"
#include "session/business/business_base.h"
#include "session/business/order_host.h"
#include "wire/login_inputdata.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace tc {

SessionOrders::SessionOrders(OrderHost& host)
    : host_(host), banners_(host.application(), host.lifetime()), collections_(host), manager_(host),
      requests_(host, manager_), tickets_(manager_, requests_),
      refreshTimer_(kRefreshInterval, [this] { refreshFloatingFigures(); }),
      leftOverTimer_(kLeftOverCheck, [this] { tellLeftOver(); }),
      lateLineTimer_(kLeftOverCheck, [this] { writeLateLines(false); }) {
    collections_.SetBanners(&banners_);
    // A stored limit or stop order is confirmed by the requests that placed it.
    collections_.OnPendingOrderStored([this](const std::shared_ptr<Order>& order) {
        if (order)
            requests_.ShowOrderConfirmation(*order);
    });
    collections_.OnPositionSettled(
        [this](const std::shared_ptr<Order>& settlement) { host_.events().bulkCloseSettled(settlement); });
}

void SessionOrders::executionReport(const ExecutionReport& report) {
    // An offset's refusal is told by the offset answer that follows it.
    const bool offsetRefused = requests_.inFlight().refusesOffset(report);
    const std::optional<RequestsInFlight::Answered> answered = requests_.inFlight().answered(report);
    std::vector<RequestsInFlight::Answered> givenBack = requests_.inFlight().takeGivenBack();
    // A refusal of a request is told once, by what names the request (tell); only one that answers
    // none gets the banner that names none. One of a group of like requests is told with the group.
    const bool told =
        (answered && answered->rejected) || offsetRefused || requests_.inFlight().lastReportGrouped();
    applyExecutionReport(report, collections_, host_, told ? nullptr : &banners_);
    // Told after the report is filed, so the window that waits for it reads the lists it changed.
    if (answered)
        tell(*answered);
    for (const RequestsInFlight::Answered& other : givenBack)
        tell(other);
    if (!leftOverTimer_.isRunning() &&
        (requests_.inFlight().leftOverWaiting() || requests_.inFlight().holdsReports()))
        leftOverTimer_.start();
    writeLateLines(false);
}

void SessionOrders::tellLeftOver() {
    for (const RequestsInFlight::Answered& answered :
         requests_.inFlight().takeLeftOver(host_.lastServerAnswer()))
        tell(answered);
    if (!requests_.inFlight().leftOverWaiting() && !requests_.inFlight().holdsReports())
        leftOverTimer_.stop();
}

void SessionOrders::tell(const RequestsInFlight::Answered& answered) {
    const RequestsInFlight::Request& request = answered.request;
    const std::string reason = reasonOf(answered);
    const std::string known =
        answered.notKnown ? knownText(*answered.notKnown, request.number) : std::string();
    const bool closedByOne = answered.notKnown && !closedByOneOfThem(*answered.notKnown).empty();
    // Its window had stopped waiting: the trader hears of the answer here, wherever the window is; of
    // a close-all once every position has had its report. The Journal keeps what the banner says, and
    // every refusal with the request it answers: a banner passes in seconds.
    const bool late = request.givenUp && answered.finished;
    // What the late line will tell is not written apart as well: a given-up request's answer, and each
    // position's answer of a given-up close-all (at a lost line, before its late line, those so far).
    const bool toldByLateLine = request.givenUp && (request.kind == RequestsInFlight::Kind::CloseAll ||
                                                    (late && answered.position.empty()));
    // The request, its position where the answer is of one, and what was said of it.
    const auto journal = [&](std::string_view key, std::string_view positionKey, const std::string& said) {
        host_.appendJournal(JournalData::getSessionNoteJournalData(
            answered.position.empty() ? fillPositional(host_.textForKey(key), {request.description, said})
                                      : fillPositional(host_.textForKey(positionKey),
                                                       {request.description, answered.position, said}),
            host_.journalContext()));
    };
    if (answered.rejected && !toldByLateLine)
        journal(kRefusedKey, kRefusedPositionKey, reason);
    // An outcome not known, as a refusal: the window shows it, the Journal keeps it, once for the
    // group (its text names every member).
    if (answered.notKnown && !answered.notKnown->like.empty()) {
        const std::uint64_t first = answered.notKnown->like.front().number;
        const std::string& part = answered.position.empty() ? answered.account : answered.position;
        auto group = std::find_if(groupsWritten_.begin(), groupsWritten_.end(),
                                  [&](const GroupWritten& g) { return g.first == first && g.part == part; });
        if (group == groupsWritten_.end()) {
            if (groupsWritten_.size() >= RequestsInFlight::kMaxRequests)
                groupsWritten_.pop_front();
            group = groupsWritten_.insert(groupsWritten_.end(),
                                          GroupWritten{first, part, answered.notKnown->like.size(), false});
        }
        if (!toldByLateLine && !group->written) {
            journal(kNotKnownLineKey, kNotKnownPositionLineKey, known);
            group->written = true;
        }
        if (--group->left == 0)
            groupsWritten_.erase(group);
    }
    // After the refusal it tells of.
    if (late) {
        const std::string told = lateText(answered);
        const std::string title = host_.textForKey(kLateAnswerTitleKey);
        journalLate(title + ": " + told, request);
        banners_.CommonUserNotification(told, title);
    }
    // A new order's refusal: the ticket that sent it shows no answer, so the banner tells it, of an
    // order for several accounts the part of each account apart. A window waiting for any other
    // request tells its refusal itself.
    const bool newOrder = request.kind == RequestsInFlight::Kind::NewOrder ||
                          request.kind == RequestsInFlight::Kind::MultiAccount;
    if (answered.rejected && !request.givenUp && newOrder)
        banners_.OrderRejectionNotification(reason, !answered.account.empty() && request.describeAccounts
                                                        ? request.describeAccounts({answered.account})
                                                        : request.description);
    if (answered.notKnown && !request.givenUp && newOrder)
        banners_.CommonUserNotification(fillPositional(host_.textForKey(kNotKnownLineKey),
                                                       {!answered.account.empty() && request.describeAccounts
                                                            ? request.describeAccounts({answered.account})
                                                            : request.description,
                                                        known}),
                                        host_.textForKey(kNotKnownKey));
    host_.events().requestAnswered(request.number, answered.rejected, codeOf(answered), reason,
                                   request.givenUp, answered.position, answered.account, known, closedByOne);
}

std::string SessionOrders::reasonsOf(const std::vector<std::int32_t>& codes, std::string_view between) {
    std::string reasons;
    for (const std::int32_t code : codes) {
        if (!reasons.empty())
            reasons += between;
        reasons += collections_.GetOrderRejectionReason(code);
    }
    return reasons;
}

std::string SessionOrders::reasonOf(const RequestsInFlight::Answered& answered) {
    if (!answered.rejected)
        return {};
    if (answered.possibleCodes.size() > 1)
        return fillPositional(host_.textForKey(kOneOfReasonsKey), {reasonsOf(answered.possibleCodes, " / ")});
    return collections_.GetOrderRejectionReason(answered.rejectionCode);
}

std::string SessionOrders::codeOf(const RequestsInFlight::Answered& answered) {
    if (!answered.rejected)
        return {};
    if (answered.possibleCodes.size() < 2)
        return std::to_string(answered.rejectionCode);
    std::string codes;
    for (const std::int32_t code : answered.possibleCodes)
        codes += (codes.empty() ? "" : "/") + std::to_string(code);
    return codes;
}

std::string SessionOrders::closedByOneOfThem(const RequestsInFlight::NotKnown& known) const {
    // A close-all closes the whole position, as does a close of all that was open: carried out for
    // any of them, it is closed.
    std::string position = known.position;
    if (position.empty() && !known.like.empty()) {
        position = requests_.WholeCloseOf(known.like.front().number);
        for (const RequestsInFlight::Like& l : known.like)
            if (requests_.WholeCloseOf(l.number) != position)
                return {};
    }
    const bool oneCarriedOut = known.outcomes.size() >= known.like.size() &&
                               std::any_of(known.outcomes.begin(), known.outcomes.end(),
                                           [](const RequestsInFlight::Outcome& o) { return !o.rejected; });
    return oneCarriedOut ? position : std::string();
}

std::string SessionOrders::likeText(const RequestsInFlight::NotKnown& known, std::uint64_t self) {
    const auto marked = [&](const RequestsInFlight::Like& l, std::string named) {
        return l.number == self ? fillPositional(host_.textForKey(kThisRequestKey), {named}) : named;
    };
    std::vector<std::int64_t> numbers;
    for (const RequestsInFlight::Like& l : known.like)
        if (l.requestNumber)
            numbers.push_back(*l.requestNumber);
    std::sort(numbers.begin(), numbers.end());
    if (numbers.size() == known.like.size() &&
        std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end()) {
        std::string which;
        for (const RequestsInFlight::Like& l : known.like)
            which += (which.empty() ? "" : ", ") + marked(l, std::to_string(*l.requestNumber));
        return fillPositional(host_.textForKey(kRequestNumbersKey), {which});
    }
    // Sent in one pass they share a number (and, alike, their texts): the order sent tells them apart.
    // "A, then B, then C" is written in one pass where the text puts the earlier first, not filled
    // again for each (a burst of hundreds copied it hundreds of times for each of them).
    const std::string then = host_.textForKey(kThenKey);
    const std::size_t earlier = then.find("{0}"), later = then.find("{1}");
    const bool inOrder = earlier != std::string::npos && later != std::string::npos && earlier < later;
    std::string which;
    for (std::size_t i = 0; inOrder && i + 1 < known.like.size(); ++i)
        which += then.substr(0, earlier);
    // Each member of a group is told the same names, but for its mark: named once for them all.
    std::vector<std::uint64_t> members;
    for (const RequestsInFlight::Like& l : known.like)
        members.push_back(l.number);
    if (likeNames_.first != members) {
        likeNames_.first = std::move(members);
        likeNames_.second.clear();
        for (const RequestsInFlight::Like& l : known.like) {
            std::string named = l.requestNumber ? fillPositional(host_.textForKey(kRequestNumberKey),
                                                                 {std::to_string(*l.requestNumber)})
                                                : l.description;
            if (const std::string at = requests_.SentAt(l.number); !at.empty())
                named = fillPositional(host_.textForKey(kSentAtKey), {named, at});
            likeNames_.second.push_back(std::move(named));
        }
    }
    for (const RequestsInFlight::Like& l : known.like) {
        const std::string named =
            marked(l, likeNames_.second[static_cast<std::size_t>(&l - known.like.data())]);
        const bool first = &l == &known.like.front();
        if (inOrder)
            which += first ? named
                           : then.substr(earlier + 3, later - earlier - 3) + named + then.substr(later + 3);
        else
            which = first ? named : fillPositional(then, {which, named});
    }
    return which;
}

std::string SessionOrders::knownText(const RequestsInFlight::NotKnown& known, std::uint64_t self) {
    const std::string which = likeText(known, self);
    std::size_t carried = 0;
    std::vector<std::int32_t> codes;
    std::vector<std::vector<std::int32_t>> eitherCodes;
    for (const RequestsInFlight::Outcome& o : known.outcomes) {
        if (!o.rejected)
            ++carried;
        else if (o.possibleCodes.size() > 1) {
            if (std::find(eitherCodes.begin(), eitherCodes.end(), o.possibleCodes) == eitherCodes.end())
                eitherCodes.push_back(o.possibleCodes);
        } else if (std::find(codes.begin(), codes.end(), o.rejectionCode) == codes.end())
            codes.push_back(o.rejectionCode);
    }
    const std::size_t refused = known.outcomes.size() - carried;
    const std::string of = std::to_string(known.like.size());
    // Handed over at a lost line, or held until the server had answered on past a bound: only some of
    // them had their report.
    if (known.outcomes.size() < known.like.size()) {
        if (!known.position.empty() && carried == 1 && refused == 0)
            return fillPositional(host_.textForKey(kClosedForOneKey), {known.position, which});
        return fillPositional(host_.textForKey(!known.lineLost ? kNoMoreCameKey
                                               : known.alike   ? kSomeAnsweredKey
                                                               : kSomeUnlikeAnsweredKey),
                              {std::to_string(known.outcomes.size()), of, std::to_string(carried),
                               std::to_string(refused), which});
    }
    // Close-alls of one position, or closes of all of it: what is not known is which closed it, not
    // whether it closed.
    if (const std::string closed = closedByOneOfThem(known); !closed.empty())
        return fillPositional(host_.textForKey(kClosedForOneKey), {closed, which});
    std::string reasons = reasonsOf(codes, "; ");
    for (const std::vector<std::int32_t>& either : eitherCodes)
        reasons += (reasons.empty() ? "" : "; ") +
                   fillPositional(host_.textForKey(kOneOfReasonsShortKey), {reasonsOf(either, " / ")});
    return fillPositional(host_.textForKey(known.alike ? kLikeOutcomesKey : kUnlikeOutcomesKey),
                          {std::to_string(carried), of, reasons, which});
}

void SessionOrders::journalLate(std::string event, const RequestsInFlight::Request& request) {
    const std::vector<std::string> none;
    const std::vector<std::string>& closed = request.kind == RequestsInFlight::Kind::CloseAll ? request.closed
                                             : request.kind == RequestsInFlight::Kind::Close ? request.targets
                                                                                             : none;
    LateLine line{std::move(event), {}, platform::Clock::currentTime()};
    for (const std::string& position : closed)
        if (requests_.inFlight().awaitsSettlement(position))
            line.positions.push_back(position);
    lateLines_.push_back(std::move(line));
    writeLateLines(false);
    if (!lateLines_.empty() && !lateLineTimer_.isRunning())
        lateLineTimer_.start();
}

void SessionOrders::writeLateLines(bool all) {
    const auto now = platform::Clock::currentTime();
    for (auto line = lateLines_.begin(); line != lateLines_.end();) {
        std::erase_if(line->positions,
                      [&](const std::string& p) { return !requests_.inFlight().awaitsSettlement(p); });
        if (!all && !line->positions.empty() && now - line->since < kSettlementWait) {
            ++line;
            continue;
        }
        host_.appendJournal(JournalData::getSessionNoteJournalData(line->event, host_.journalContext()));
        line = lateLines_.erase(line);
    }
    if (lateLines_.empty())
        lateLineTimer_.stop();
}

std::string SessionOrders::lateText(const RequestsInFlight::Answered& answered) {
    const RequestsInFlight::Request& request = answered.request;
    if (answered.notKnown && (request.kind != RequestsInFlight::Kind::CloseAll || answered.position.empty()))
        return fillPositional(host_.textForKey(kLateNotKnownKey),
                              {request.description, knownText(*answered.notKnown, request.number)});
    // Refused as a whole (or any other request refused): the request and the reason.
    if (answered.rejected && (request.kind != RequestsInFlight::Kind::CloseAll || answered.position.empty()))
        return fillPositional(host_.textForKey(kLateRejectedKey), {request.description, reasonOf(answered)});
    if (request.refusals.empty() && request.notKnown.empty())
        return fillPositional(host_.textForKey(kLateDoneKey), {request.description});
    // As the close-all window's heading and rows read: not every position closed, each refused one
    // with its reason; a reason shared by many is said once, with its positions.
    std::vector<std::pair<std::int32_t, std::vector<std::string>>> byReason;
    for (const auto& refusal : request.refusals) {
        const auto code = refusal.second;
        auto same =
            std::find_if(byReason.begin(), byReason.end(), [code](const auto& r) { return r.first == code; });
        if (same == byReason.end())
            same = byReason.insert(byReason.end(), {code, {}});
        same->second.push_back(refusal.first);
    }
    std::string refused;
    for (const auto& [code, positions] : byReason) {
        if (!refused.empty())
            refused += ' ';
        refused +=
            fillPositional(host_.textForKey(kRefusedPositionsKey),
                           {requests_.PositionList(positions), collections_.GetOrderRejectionReason(code)});
    }
    std::size_t closed =
        request.positions - std::min(request.positions, request.refusals.size() + request.notKnown.size());
    if (!request.notKnown.empty()) {
        // Each group's positions once with what is known of them (a close-all's groups read alike but
        // for the position). A position closed for one of like close-alls is closed for certain.
        std::size_t closedByOne = 0;
        std::vector<std::pair<std::string, std::vector<std::string>>> byKnown;
        for (const RequestsInFlight::NotKnown& known : request.notKnown) {
            RequestsInFlight::NotKnown anyPosition = known;
            anyPosition.position.clear();
            const bool byOne = !closedByOneOfThem(known).empty();
            closedByOne += byOne ? 1 : 0;
            const std::string text = byOne ? fillPositional(host_.textForKey(kClosedForOneOfLikeKey),
                                                            {likeText(known, request.number)})
                                           : knownText(anyPosition, request.number);
            auto same =
                std::find_if(byKnown.begin(), byKnown.end(), [&](const auto& k) { return k.first == text; });
            if (same == byKnown.end())
                same = byKnown.insert(byKnown.end(), {text, {}});
            same->second.push_back(known.position);
        }
        std::string unknown;
        for (const auto& [text, positions] : byKnown)
            unknown +=
                (unknown.empty() ? "" : " ") + fillPositional(host_.textForKey(kRefusedPositionsKey),
                                                              {requests_.PositionList(positions), text});
        if (!refused.empty())
            unknown += " " + fillPositional(host_.textForKey(kNotClosedKey), {refused});
        const bool allClosed = closedByOne == request.notKnown.size();
        closed = std::min(request.positions, closed + closedByOne);
        return fillPositional(
            host_.textForKey(allClosed ? kLateClosedByOneOfLikeKey : kLatePartlyNotKnownKey),
            {request.description, std::to_string(closed), std::to_string(request.positions), unknown});
    }
    return fillPositional(
        host_.textForKey(kLatePartlyClosedKey),
        {request.description, std::to_string(closed), std::to_string(request.positions), refused});
}

std::vector<std::string> SessionOrders::takeUnansweredRequests() {
    writeLateLines(true);
    std::vector<std::string> lines;
    for (RequestsInFlight::Request& request : requests_.inFlight().takeUnanswered()) {
        if (request.givenUp && request.kind == RequestsInFlight::Kind::CloseAll)
            journalAnsweredSoFar(request);
        std::string line = requests_.UnansweredText(request);
        // What the reports that came knew of it and its like: the server did something to one of them.
        for (const RequestsInFlight::NotKnown& known : request.notKnown)
            line = fillPositional(host_.textForKey(kUnansweredWithKnownKey),
                                  {line, knownText(known, request.number)});
        lines.push_back(std::move(line));
    }
    return lines;
}

void SessionOrders::journalAnsweredSoFar(const RequestsInFlight::Request& request) {
    // Its refusals; what is not known goes with its line as handed over.
    for (const auto& [position, code] : request.refusals)
        host_.appendJournal(JournalData::getSessionNoteJournalData(
            fillPositional(host_.textForKey(kRefusedPositionKey),
                           {request.description, position, collections_.GetOrderRejectionReason(code)}),
            host_.journalContext()));
}

void SessionOrders::loginPhaseChanged(LoginPhase phase) {
    // Only a signed-in session has figures to refresh; nothing runs on the main queue otherwise.
    if (phase == LoginPhase::SignedIn) {
        refreshTimer_.start();
        return;
    }
    // No settlement comes on a stream that ended.
    writeLateLines(true);
    // A lost stream freezes every figure: valued once more at the last quotes held (the feed stopped
    // with the stream), so the prices shown and the figures worked from them agree.
    if (phase == LoginPhase::Lost && refreshTimer_.isRunning())
        refreshFloatingFigures();
    refreshTimer_.stop();
}

bool SessionOrders::setCurrentAccount(std::int32_t accountId) {
    if (!manager_.lookup().accountForId(platform::decimalText(accountId)))
        return false;
    if (manager_.currentAccount() != accountId) {
        manager_.setCurrentAccount(accountId);
        refreshHedgeMargins();
        host_.tablesChanged({interfaces::Table::Accounts});
    }
    return true;
}

void SessionOrders::tablesAboutToBeAnnounced(interfaces::TableSet tables) {
    if (tables.contains(interfaces::Table::OpenPositions) || tables.contains(interfaces::Table::Accounts))
        refreshHedgeMargins();
}

void SessionOrders::refreshHedgeMargins() {
    host_.model().HedgeMarginCollection = manager_.hedgeMargins();
}

void SessionOrders::refreshFloatingFigures() {
    SessionModel& model = host_.model();
    refreshOpenPositions(model.OpenOrderCollection, manager_.lookup());
    // Every account's floating total, equity and available margin from the figures just written, as
    // calcAccountDetails sums them, in one pass over the displayed positions for all accounts.
    const auto totals = floatingPLByAccount(manager_.lookup().getOpenOrderCollection());
    for (auto& [key, account] : model.AccountDetailCollection)
        if (account) {
            const auto total = totals.find(account->AccountId);
            account->applyFloatingPL(total == totals.end() ? 0.0 : total->second, manager_.lookup());
        }
    // Only the positions' figures moved: the grids refresh their live cells, not every cell.
    host_.tablesChanged({interfaces::Table::OpenPositionFigures, interfaces::Table::Accounts});
}

SessionOrders& attachSessionOrders(BusinessBase& business) {
    auto orders = std::make_unique<SessionOrders>(business);
    SessionOrders& attached = *orders;
    business.attachOrderSide(std::move(orders));
    return attached;
}

} // namespace tc
