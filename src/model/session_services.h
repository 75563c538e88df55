#pragma once
// What the session records ask of their surroundings. The session model answers the look-ups
// over its collections, the order manager the position arithmetic; tests give fakes.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tc {

class AccountDetails;
class GroupDetails;
class ItemDetails;
class Order;
class TradeCurrency;

// Read-only look-ups over the session collections. Records that are not loaded come back null.
class SessionLookup {
public:
    virtual ~SessionLookup() = default;
    // ItemCollection by Code.
    virtual std::shared_ptr<const ItemDetails> instrumentForCode(std::string_view code) const = 0;
    // The same record held only by the collection, for passes over thousands of positions on the
    // thread that owns the collections: valid until the collection changes.
    virtual const ItemDetails* instrumentRecordForCode(std::string_view code) const = 0;
    // The first instrument (in collection order) with that InstrumentId.
    virtual std::shared_ptr<const ItemDetails> instrumentForId(std::int64_t instrumentId) const = 0;
    // GroupDetailCollection by the account's group id text.
    virtual std::shared_ptr<const GroupDetails> groupForId(std::string_view groupId) const = 0;
    // tradeCurrencyCollection by currency id.
    virtual std::shared_ptr<const TradeCurrency> currencyForId(std::uint64_t currencyId) const = 0;
    // AccountDetailCollection by account id text.
    virtual std::shared_ptr<const AccountDetails> accountForId(std::string_view accountId) const = 0;
    // The displayable open positions: the open-position collection in stored order without the
    // positions of suspended (3) or closed (6) accounts or of access type 4 or 10; positions of
    // accounts that are not loaded stay.
    virtual std::vector<std::shared_ptr<const Order>> getOpenOrderCollection() const = 0;
};

// Position arithmetic of the order manager.
class OrderServices {
public:
    virtual ~OrderServices() = default;
    // Recomputes the position's floating P/L into its UnrealisedPL, in the instrument's profit
    // currency; leaves it alone for an account in status 5.
    virtual void CalcPL(Order& position) = 0;
    // The value in the position's account currency.
    virtual double calculateCurrencyConversionForValue(double value, const Order& position) = 0;
};

// The conversion of a position's value into its account's currency by the account's trade
// currency: the value unchanged when the account is not loaded or has no trade currency, and as
// TradeCurrency::convert rules otherwise, with the quote of the first instrument whose
// InstrumentId is the currency's instrumentID.
double convertIntoAccountCurrency(double value, const Order& position, const SessionLookup& session);

} // namespace tc
