#include "orders/session_orders.h"

#include "connection/login_inputdata.h"
#include "model/text/language_string.h"
#include "session/business/business_base.h"

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

BusinessOrderHost::BusinessOrderHost(BusinessBase& business)
    : business_(business), events_(business.application(),
                                   platform::NotificationObject(static_cast<const BusinessBase*>(&business)),
                                   business.lifetime()) {}

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
    events_.PendingOrderNotification(order);
    business_.events().orderStored(order);
}

SessionOrders::SessionOrders(BusinessBase& business)
    : host_(business), collections_(business.session(), host_), session_(business), manager_(session_),
      context_(business), requests_(context_, session_, manager_) {}

SessionOrders& attachSessionOrders(BusinessBase& business) {
    auto orders = std::make_unique<SessionOrders>(business);
    SessionOrders& attached = *orders;
    business.attachOrderSide(std::move(orders));
    return attached;
}

} // namespace tc
