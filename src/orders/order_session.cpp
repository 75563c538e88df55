#include "orders/order_session.h"

#include "model/records/order.h"
#include "model/session_model.h"
#include "model/text/language_string.h"
#include "platform/log.h"
#include "session/business/order_host.h"

namespace tc {

ModelOrderSession::ModelOrderSession(OrderHost& host)
    : host_(&host), writable_(&host.model()), model_(host.model()), lookup_(host.model()) {}

bool ModelOrderSession::isNetworkAvailable() const {
    return host_ ? host_->isNetworkAvailable() : networkAvailable;
}

std::shared_ptr<const ItemDetails> ModelOrderSession::instrumentForCode(std::string_view code) const {
    return lookup_.instrumentForCode(code);
}

std::shared_ptr<const ItemDetails> ModelOrderSession::instrumentForId(std::int64_t instrumentId) const {
    return lookup_.instrumentForId(instrumentId);
}

std::shared_ptr<const GroupDetails> ModelOrderSession::groupForId(std::string_view groupId) const {
    return lookup_.groupForId(groupId);
}

std::shared_ptr<const TradeCurrency> ModelOrderSession::currencyForId(std::uint64_t currencyId) const {
    return lookup_.currencyForId(currencyId);
}

std::shared_ptr<const AccountDetails> ModelOrderSession::accountForId(std::string_view accountId) const {
    return lookup_.accountForId(accountId);
}

std::vector<std::shared_ptr<const Order>> ModelOrderSession::getOpenOrderCollection() const {
    return lookup_.getOpenOrderCollection();
}

std::shared_ptr<const SessionSettings>
ModelOrderSession::sessionSettingsForId(std::int64_t settingsId) const {
    // Setting ids are unsigned; a negative id names no setting.
    if (settingsId < 0)
        return nullptr;
    return model_.sessionSettings(static_cast<std::uint64_t>(settingsId));
}

std::vector<std::shared_ptr<const Order>> ModelOrderSession::getPendingOrderCollection() const {
    std::vector<std::shared_ptr<const Order>> visible;
    visible.reserve(model_.PendingOrderCollection.size());
    for (const auto& order : model_.PendingOrderCollection) {
        if (order && lookup_.isOrderOfVisibleAccount(*order))
            visible.push_back(order.shared());
    }
    return visible;
}

void ModelOrderSession::setHedgeMargin(std::string key, std::string marginText) {
    if (!writable_) {
        platform::Log::warning("order rules: a read-only session keeps no hedge margin for {}", key);
        return;
    }
    SessionModel::file(writable_->HedgeMarginCollection, std::move(key), std::move(marginText),
                       "HedgeMarginCollection");
}

std::string ModelOrderSession::textForKey(std::string_view key) const {
    auto text = LanguageString::stringforSelectedLanguage(
        host_ ? host_->application().selectedLanguage() : selectedLanguage, key);
    return text ? std::move(*text) : std::string(key);
}

} // namespace tc
