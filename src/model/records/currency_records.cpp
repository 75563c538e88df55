#include "model/records/currency_records.h"

#include "model/records/record_layout.h"

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
        price = quote->Bid.toDouble();
        break;
    case 2:
        price = quote->Ask.toDouble();
        break;
    case 3:
        price = (amount >= 0 ? quote->Bid : quote->Ask).toDouble();
        break;
    case 4:
        price = (amount >= 0 ? bidRate : askRate).toDouble(); // the conversion is worked in doubles
        break;
    case 5:
        price = (quote->Bid.toDouble() + quote->Ask.toDouble()) * 0.5;
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

namespace {

using namespace records;

// The currency list's fields lead the currency record's.
constexpr auto kCurrencyListLayout =
    recordLayout(int64(0, &TradeCurrency::currencyID), text(1, &TradeCurrency::currencyCode),
                 int64(2, &TradeCurrency::instrumentID), decimal(3, &TradeCurrency::bidRate),
                 decimal(4, &TradeCurrency::askRate), int64(5, &TradeCurrency::conversionMode));

constexpr auto kCurrencyTailLayout =
    recordLayout(flag(6, &TradeCurrency::isDirect), decimal(7, &TradeCurrency::depositRate));

constexpr auto kCurrencyListColumns = recordLayout(
    int64("currencyID", &TradeCurrency::currencyID), text("currencyCode", &TradeCurrency::currencyCode),
    int64("instrumentID", &TradeCurrency::instrumentID), decimal("bidRate", &TradeCurrency::bidRate),
    decimal("askRate", &TradeCurrency::askRate), int64("conversionMode", &TradeCurrency::conversionMode));

constexpr auto kCurrencyTailColumns = recordLayout(flag("isDirect", &TradeCurrency::isDirect),
                                                   decimal("depositRate", &TradeCurrency::depositRate));

constexpr auto kResourceLayout =
    recordLayout(int64(0, &ResourceDetails::resourceId), text(1, &ResourceDetails::caption),
                 text(2, &ResourceDetails::URL), text(3, &ResourceDetails::iconResourceId),
                 text(4, &ResourceDetails::groupName), text(5, &ResourceDetails::resourceType),
                 int64(6, &ResourceDetails::productId), flag(7, &ResourceDetails::isNew),
                 flag(8, &ResourceDetails::showFocus), flag(9, &ResourceDetails::enabled),
                 flag(10, &ResourceDetails::extraData));

constexpr auto kResourceColumns = recordLayout(
    int64("resourceId", &ResourceDetails::resourceId), text("caption", &ResourceDetails::caption),
    text("URL", &ResourceDetails::URL), text("iconResourceId", &ResourceDetails::iconResourceId),
    text("groupName", &ResourceDetails::groupName), text("resourceType", &ResourceDetails::resourceType),
    int64("productId", &ResourceDetails::productId), flag("isNew", &ResourceDetails::isNew),
    flag("showFocus", &ResourceDetails::showFocus), flag("enabled", &ResourceDetails::enabled),
    flag("extraData", &ResourceDetails::extraData));

} // namespace

TradeCurrency TradeCurrency::fromAmpRecord(const RecordFields& f) {
    TradeCurrency c;
    readRecord(f, kCurrencyListLayout, c);
    readRecord(f, kCurrencyTailLayout, c);
    return c;
}

void TradeCurrency::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kCurrencyListColumns, *this);
    readColumns(row, kCurrencyTailColumns, *this);
}

CurrenyList CurrenyList::fromAmpRecord(const RecordFields& f) {
    CurrenyList c;
    readRecord(f, kCurrencyListLayout, static_cast<TradeCurrency&>(c));
    return c;
}

void CurrenyList::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kCurrencyListColumns, static_cast<TradeCurrency&>(*this));
}

std::optional<ResourceDetails> ResourceDetails::fromAmpRecord(const RecordFields& f) {
    if (!f.has(3))
        return std::nullopt;
    ResourceDetails r;
    readRecord(f, kResourceLayout, r);
    return r;
}

void ResourceDetails::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kResourceColumns, *this);
}

} // namespace tc
