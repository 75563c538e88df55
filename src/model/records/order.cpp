#include "model/records/order.h"

#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/record_decimal.h"
#include "model/text/language_string.h"

#include <array>

namespace tc {

std::int32_t Order::GetOrderTypeTagValue(std::int32_t code) {
    static constexpr std::array<std::int32_t, 4> kTags = {kNotApplicable, 29, 30, 31};
    const auto i = static_cast<std::uint32_t>(code);
    return i < kTags.size() ? kTags[i] : kNotApplicable;
}

std::int32_t Order::GetDeliveryModeTagValue(std::int32_t code) {
    static constexpr std::array<std::int32_t, 4> kTags = {kNotApplicable, 51, 52, 53};
    const auto i = static_cast<std::uint32_t>(code);
    return i < kTags.size() ? kTags[i] : kNotApplicable;
}

std::int32_t Order::GetTimeInForceTagValue(std::int32_t code) {
    static constexpr std::array<std::int32_t, 6> kTags = {kNotApplicable, 47, 48, kNotApplicable,
                                                          kNotApplicable, 54};
    const auto i = static_cast<std::uint32_t>(code);
    return i < kTags.size() ? kTags[i] : kNotApplicable;
}

std::int32_t Order::GetTradingModeTagValue(std::int32_t code) {
    return code == 0 ? 45 : 46;
}

std::string Order::GetTradingModeString(std::int32_t side, bool expandedText, std::int64_t language) {
    if (side != 0 && side != 1)
        return "";
    const std::string_view shortText = side == 0 ? "B" : "S";
    if (!expandedText)
        return std::string(shortText);
    const auto text = LanguageString::stringForSelectedLanguage(language, side == 0 ? "0009" : "0010");
    return text ? *text : std::string(shortText);
}

std::optional<std::string_view> Order::GetOrderStatus(std::int32_t status) {
    switch (status) {
    case 21:
        return "New";
    case 22:
        return "Partly Filled";
    case 23:
        return "Fully Filled";
    case 24:
        return "Cancelled";
    case 26:
        return "Expired";
    case 27:
        return "Suspended";
    case 28:
        return "Pending";
    default:
        return std::nullopt;
    }
}

std::optional<platform::Decimal> Order::GetMarginForSingleLot(const GroupInstruments* settings,
                                                              const ItemDetails& item) const {
    using platform::Decimal;
    if (!settings)
        return std::nullopt;
    Decimal value = settings->InitialMargin;
    if (deliveryMode == 3)
        value = settings->BTSTOrderMargin;
    else if (deliveryMode == 2)
        value = settings->IntradayOrderMargin;
    else if (tradingMode == 1 && settings->InitialSellMargin.isPositive())
        value = settings->InitialSellMargin;

    if (settings->marginCalculationMode == 2) {
        static const Decimal kHundred = Decimal::fromInt64(100);
        value = value * item.ContractSize / kHundred;
        switch (item.MarginFormulaId) {
        case 4:
            if (BaseCurrencyRate > 0)
                value = value / decimalFromDouble(BaseCurrencyRate);
            break;
        case 3:
            value = value * decimalFromDouble(BaseCurrencyRate);
            break;
        case 1:
            value = value * orZero(OrderPrice);
            break;
        default:
            break;
        }
    }
    if (value.isNaN())
        return std::nullopt;
    return value;
}

} // namespace tc
