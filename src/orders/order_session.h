#pragma once
// What the order rules read and write of the signed-in session beyond the record look-ups: the
// session permissions, the working orders, the connection flag, the account chosen in the main
// window, the hedge-margin figures of the pie chart and the user's language. ModelOrderSession keeps
// it over a session model: the signed-in session's (its network flag and language read from the
// session), or a plain one for tests and tools.
#include "model/session_model_lookup.h"
#include "model/session_services.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

class OrderHost;
struct SessionModel;
struct SessionSettings;

class OrderSession : public SessionLookup {
public:
    // SessionSettingCollection by settingsID.
    virtual std::shared_ptr<const SessionSettings> sessionSettingsForId(std::int64_t settingsId) const = 0;
    // The displayable working orders, filtered as getOpenOrderCollection filters positions.
    virtual std::vector<std::shared_ptr<const Order>> getPendingOrderCollection() const = 0;
    // Whether the network path to the trading server is up.
    virtual bool isNetworkAvailable() const = 0;
    // The AccountId chosen in the main window.
    virtual std::int32_t currentAccountSelected() const = 0;
    // HedgeMarginCollection: the entry under `key` is replaced.
    virtual void setHedgeMargin(std::string key, std::string marginText) = 0;
    // The user-visible text of a language key in the user's language.
    virtual std::string textForKey(std::string_view key) const = 0;
};

// The order session over a session model's collections, with the state the rules keep here. The
// hedge-margin figures go into the model's HedgeMarginCollection.
class ModelOrderSession : public OrderSession {
public:
    // Over a plain model: the network flag and language are the fields below. A read-only model
    // takes no hedge-margin figures (they are logged and dropped).
    explicit ModelOrderSession(const SessionModel& model) : model_(model), lookup_(model) {}
    explicit ModelOrderSession(SessionModel& model) : writable_(&model), model_(model), lookup_(model) {}
    // Over the signed-in session's model: the network flag and language are the session's.
    explicit ModelOrderSession(OrderHost& host);

    bool networkAvailable = true;
    std::int64_t selectedLanguage = 0;
    std::int32_t selectedAccount = 0;

    std::shared_ptr<const ItemDetails> instrumentForCode(std::string_view code) const override;
    std::shared_ptr<const ItemDetails> instrumentForId(std::int64_t instrumentId) const override;
    std::shared_ptr<const GroupDetails> groupForId(std::string_view groupId) const override;
    std::shared_ptr<const TradeCurrency> currencyForId(std::uint64_t currencyId) const override;
    std::shared_ptr<const AccountDetails> accountForId(std::string_view accountId) const override;
    std::vector<std::shared_ptr<const Order>> getOpenOrderCollection() const override;

    std::shared_ptr<const SessionSettings> sessionSettingsForId(std::int64_t settingsId) const override;
    std::vector<std::shared_ptr<const Order>> getPendingOrderCollection() const override;
    bool isNetworkAvailable() const override;
    std::int32_t currentAccountSelected() const override { return selectedAccount; }
    void setHedgeMargin(std::string key, std::string marginText) override;
    // The language table's text; the key itself when the language's table is not installed.
    std::string textForKey(std::string_view key) const override;

private:
    OrderHost* host_ = nullptr;
    SessionModel* writable_ = nullptr;
    const SessionModel& model_;
    SessionModelLookup lookup_;
};

} // namespace tc
