#pragma once
// The payment gateways the server offers, as the "paygategetsettings" rows bring them. The first row
// of a gateway stays for the login; later rows for the same id are dropped.
#include "model/records/funding_records.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tc::funding {

class PayGateSettings {
public:
    // More gateways than any server offers; further ones are dropped with a warning.
    static constexpr std::size_t kMaxSettings = 1000;
    // The account currency of an id; null when unknown.
    using CurrencyLookup = std::function<std::shared_ptr<const TradeCurrency>(std::uint64_t currencyId)>;

    // Reads one row and keeps it unless its gateway is held already; true when kept.
    bool fillPayGateSettingsDetails(std::string_view record, const CurrencyLookup& currencyOf = {});

    // The settings held, in the order they arrived; the same order on every call.
    std::vector<std::shared_ptr<const PayGateSetting>> getAllPayGateSettings() const;
    std::shared_ptr<const PayGateSetting> find(std::uint64_t payGateId) const;
    std::size_t size() const { return settings_.size(); }

private:
    platform::OrderedMap<std::string, std::shared_ptr<const PayGateSetting>> settings_;
};

} // namespace tc::funding
