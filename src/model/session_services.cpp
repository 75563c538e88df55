#include "model/session_services.h"

#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/item_details.h"
#include "model/records/order.h"

namespace tc {

double convertIntoAccountCurrency(double value, const Order& position, const SessionLookup& session) {
    const auto account = session.accountForId(position.AccountNumber);
    if (!account || !account->tradeCurrency)
        return value;
    const TradeCurrency& currency = *account->tradeCurrency;
    std::optional<ConversionQuote> quote;
    if (currency.needsConversionQuote()) {
        if (const auto instrument = session.instrumentForId(static_cast<std::int64_t>(currency.instrumentID)))
            quote = ConversionQuote{instrument->Bid, instrument->Ask};
    }
    return currency.convert(value, quote ? &*quote : nullptr);
}

} // namespace tc
