#include "model/pay_gate_settings.h"

#include "platform/log.h"

namespace tc::funding {

bool PayGateSettings::fillPayGateSettingsDetails(std::string_view record, const CurrencyLookup& currencyOf) {
    auto setting = std::make_shared<PayGateSetting>(PayGateSetting::fromRecord(record));
    const std::string key = std::to_string(setting->payGateId);
    if (settings_.contains(key))
        return false;
    if (settings_.size() >= kMaxSettings) {
        platform::Log::warning("pay-gate setting {} dropped: {} gateways held already", key, kMaxSettings);
        return false;
    }
    if (currencyOf)
        setting->currency = currencyOf(setting->currencyId);
    settings_.insert_or_assign(key, std::move(setting));
    return true;
}

std::vector<std::shared_ptr<const PayGateSetting>> PayGateSettings::getAllPayGateSettings() const {
    std::vector<std::shared_ptr<const PayGateSetting>> all;
    all.reserve(settings_.size());
    for (const auto& [key, setting] : settings_)
        all.push_back(setting);
    return all;
}

std::shared_ptr<const PayGateSetting> PayGateSettings::find(std::uint64_t payGateId) const {
    const auto* setting = settings_.get(std::to_string(payGateId));
    return setting ? *setting : nullptr;
}

} // namespace tc::funding
