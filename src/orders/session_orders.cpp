#include "orders/session_orders.h"

#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/text/language_string.h"
#include "platform/decimal_text.h"
#include "platform/lenient.h"
#include "session/business/business_base.h"
#include "wire/login_inputdata.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace tc {

BusinessOrderSession::BusinessOrderSession(BusinessBase& business)
    : ModelOrderSession(business.session()), business_(business) {}

bool BusinessOrderSession::isNetworkAvailable() const {
    return business_.conn().isNetworkAvailable();
}

std::string BusinessOrderSession::textForKey(std::string_view key) const {
    auto text = LanguageString::stringforSelectedLanguage(business_.application().selectedLanguage(), key);
    return text ? std::move(*text) : std::string(key);
}

BusinessOrderHost::BusinessOrderHost(BusinessBase& business, OrderRequests& requests)
    : business_(business), requests_(requests), events_(business.application(), business.lifetime()) {}

std::int32_t BusinessOrderHost::Requestid() const {
    return business_.Requestid();
}

std::int64_t BusinessOrderHost::selectedLanguage() const {
    return business_.application().selectedLanguage();
}

JournalContext BusinessOrderHost::journalContext() const {
    return JournalContext::from(business_.logindata(), selectedLanguage(),
                                business_.ServerTime().value_or(""));
}

void BusinessOrderHost::appendJournal(std::string line) {
    business_.appendJournal(std::move(line));
}

void BusinessOrderHost::pendingOrderStored(const std::shared_ptr<Order>& order) {
    if (order)
        requests_.ShowOrderConfirmation(*order);
    business_.events().orderStored(order);
}

void BusinessOrderHost::positionSettled(const std::shared_ptr<Order>& settlement) {
    business_.events().bulkCloseSettled(settlement);
}

SessionOrders::SessionOrders(BusinessBase& business)
    : business_(business), host_(business, requests_), collections_(business.session(), host_),
      session_(business), manager_(session_), context_(business), requests_(context_, session_, manager_),
      refreshTimer_(kRefreshInterval, [this] { refreshFloatingFigures(); }) {}

void SessionOrders::loginPhaseChanged(LoginPhase phase) {
    // Only a signed-in session has figures to refresh; nothing runs on the main queue otherwise.
    if (phase == LoginPhase::SignedIn)
        refreshTimer_.start();
    else
        refreshTimer_.stop();
}

bool SessionOrders::setCurrentAccount(std::int32_t accountId) {
    if (!session_.accountForId(platform::decimalText(accountId)))
        return false;
    if (session_.selectedAccount != accountId) {
        session_.selectedAccount = accountId;
        business_.tablesChanged({interfaces::Table::Accounts});
    }
    return true;
}

void SessionOrders::refreshFloatingFigures() {
    SessionModel& model = business_.session();
    refreshOpenPositions(model.OpenOrderCollection, session_);
    // Every account's floating total, equity and available margin from the figures just written, as
    // calcAccountDetails sums them, in one pass over the displayed positions for all accounts.
    std::unordered_map<std::int32_t, double> totals;
    for (const auto& position : session_.getOpenOrderCollection()) {
        if (!position || !std::isfinite(position->UnrealisedPL))
            continue;
        const std::int64_t number = platform::lenientInteger(position->AccountNumber);
        totals[static_cast<std::int32_t>(std::clamp<std::int64_t>(
            number, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()))] +=
            position->UnrealisedPL;
    }
    for (auto& [key, account] : model.AccountDetailCollection)
        if (account) {
            const auto total = totals.find(account->AccountId);
            account->applyFloatingPL(total == totals.end() ? 0.0 : total->second, session_);
        }
    // Only the positions' figures moved: the grids refresh their live cells, not every cell.
    business_.tablesChanged({interfaces::Table::OpenPositionFigures, interfaces::Table::Accounts});
}

SessionOrders& attachSessionOrders(BusinessBase& business) {
    auto orders = std::make_unique<SessionOrders>(business);
    SessionOrders& attached = *orders;
    business.attachOrderSide(std::move(orders));
    return attached;
}

} // namespace tc
