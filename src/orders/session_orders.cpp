#include "orders/session_orders.h"

#include "orders/order_collections.h"
#include "session/business_base.h"
#include "session/language_string.h"

BusinessOrderSession::BusinessOrderSession(BusinessBase& business)
    : ModelOrderSession(business.session()), business_(business) {}

bool BusinessOrderSession::isNetworkAvailable() const {
    return business_.conn().isNetworkAvailable();
}

std::string BusinessOrderSession::textForKey(std::string_view key) const {
    auto text = LanguageString::stringforSelectedLanguage(business_.application().selectedLanguage(), key);
    return text ? std::move(*text) : std::string(key);
}

SessionOrders::SessionOrders(BusinessBase& business)
    : business_(business), session_(business), manager_(session_), context_(business),
      requests_(context_, session_, manager_) {}
