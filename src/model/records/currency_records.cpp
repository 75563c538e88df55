#include "model/records/currency_records.h"

#include "model/records/record_fields.h"

#include <cmath>

namespace tc {

bool TradeCurrency::needsConversionQuote() const {
    return conversionMode == 1 || conversionMode == 2 || conversionMode == 3 || conversionMode == 5;
}

double TradeCurrency::convert(double amount, const ConversionQuote* quote) const {
    if (amount == 0 || conversionMode < 1 || conversionMode > 5)
        return amount;
    if (needsConversionQuote() && !quote)
        return amount;
    double price = 0;
    switch (conversionMode) {
    case 1:
        price = quote->Bid;
        break;
    case 2:
        price = quote->Ask;
        break;
    case 3:
        price = amount >= 0 ? quote->Bid : quote->Ask;
        break;
    case 4:
        price = amount >= 0 ? bidRate : askRate;
        break;
    case 5:
        price = (quote->Bid + quote->Ask) * 0.5;
        break;
    }
    return currencyConversion(amount, price, isDirect);
}

double TradeCurrency::currencyConversion(double amount, double price, bool isDirect) {
    if (isDirect && (!(price > 0) || !std::isfinite(price)))
        return amount;
    double result = isDirect ? amount / price : amount * price;
    return std::isfinite(result) ? result : amount;
}

void TradeCurrency::readCurrencyListFields(const RecordFields& f) {
    f.readInt64(0, currencyID);
    f.readText(1, currencyCode);
    f.readInt64(2, instrumentID);
    f.readDouble(3, bidRate);
    f.readDouble(4, askRate);
    f.readInt64(5, conversionMode);
}

TradeCurrency TradeCurrency::fromAmpRecord(const RecordFields& f) {
    TradeCurrency c;
    c.readCurrencyListFields(f);
    f.readBool(6, c.isDirect);
    f.readDouble(7, c.depositRate);
    return c;
}

CurrenyList CurrenyList::fromAmpRecord(const RecordFields& f) {
    CurrenyList c;
    c.readCurrencyListFields(f);
    return c;
}

std::optional<ResourceDetails> ResourceDetails::fromAmpRecord(const RecordFields& f) {
    if (!f.has(3))
        return std::nullopt;
    ResourceDetails r;
    f.readInt64(0, r.resourceId);
    f.readText(1, r.caption);
    f.readText(2, r.URL);
    f.readText(3, r.iconResourceId);
    f.readText(4, r.groupName);
    f.readText(5, r.resourceType);
    f.readInt64(6, r.productId);
    f.readBool(7, r.isNew);
    f.readBool(8, r.showFocus);
    f.readBool(9, r.enabled);
    f.readBool(10, r.extraData);
    return r;
}

} // namespace tc
