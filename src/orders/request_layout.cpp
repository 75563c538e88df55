#include "orders/request_layout.h"

#include "model/text/formatter.h"
#include "orders/order_numbers.h"

namespace tc::requests {

std::string priceOnWire(const WirePrice& price, std::int32_t decimals) {
    if (!price.value)
        return {};
    return price.fromQuote ? Formatter::formatDecimal(*price.value, decimals)
                           : priceText(*price.value, decimals);
}

std::string quantityOnWire(const platform::Decimal& quantity) {
    return quantity.isNaN() ? std::string() : quantity.toString();
}

std::string sixDecimalsOnWire(const platform::Decimal& value) {
    return Formatter::formatDecimal(value.toDouble(), 6);
}

std::string bracketOnWire(const std::optional<platform::Decimal>& price, std::int32_t decimals,
                          std::string_view otherwise) {
    // NaN is below every number, so it is no price either.
    if (price && *price > platform::Decimal())
        return priceText(*price, decimals);
    return std::string(otherwise);
}

} // namespace tc::requests
