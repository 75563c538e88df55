#pragma once
// The login and product settings of the running client. Product values come from the property lists
// shipped in the resource bundle ("LoginPropertyList", "FinancialRequestRules", "ProductLocalization");
// the login window fills the user name and password; the server address comes from the live or the
// simulation section. Texts are nullopt where the property lists have no value. All accessors may be
// called from any thread.
#include "platform/property_list.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class LoginInputData {
public:
    // Text key -> product-specific text key; shared and never changed once made.
    using LocalizationList = std::map<std::string, std::string>;

    // Loads every product value; leaves the server address, port, user name and password unset.
    LoginInputData();
    LoginInputData(const LoginInputData&) = delete;
    LoginInputData& operator=(const LoginInputData&) = delete;

    std::optional<std::string> IPAddress() const;
    void setIPAddress(std::optional<std::string> value);
    std::int32_t PortNo() const;
    void setPortNo(std::int32_t value);
    std::optional<std::string> userName() const;
    void setUserName(std::optional<std::string> value);
    std::optional<std::string> password() const;
    void setPassword(std::optional<std::string> value);
    std::optional<std::string> productName() const;
    void setProductName(std::optional<std::string> value);
    std::optional<std::string> productVersion() const;
    void setProductVersion(std::optional<std::string> value);
    // The current envelope key: the configured key until a login snapshot replaces it with the session key.
    std::optional<std::string> SecurityKey() const;
    void setSecurityKey(std::optional<std::string> value);
    // The key configured beside the program; never replaced, so initial requests (login, demo
    // registration) can always be sent, also after a lost stream left a stale session key behind.
    std::optional<std::string> configuredSecurityKey() const;
    std::optional<std::string> liveAccountRegistrationURL() const;
    void setLiveAccountRegistrationURL(std::optional<std::string> value);
    bool isLiveModeAvailable() const;
    void setIsLiveModeAvailable(bool value);
    std::optional<std::string> depositAmountListType() const;
    void setDepositAmountListType(std::optional<std::string> value);
    bool showAccountCurrency() const;
    void setShowAccountCurrency(bool value);
    // Never null.
    std::shared_ptr<const LocalizationList> productLocalizationList() const;
    void setProductLocalizationList(LocalizationList value);
    bool canSpecifyBankDetails() const;
    void setCanSpecifyBankDetails(bool value);
    bool canWithdrawFloatingPL() const;
    void setCanWithdrawFloatingPL(bool value);
    std::optional<double> minimumBalance() const;
    void setMinimumBalance(std::optional<double> value);
    bool baseCurrencyAvailable() const;
    void setBaseCurrencyAvailable(bool value);

    // IPAddress and PortNo from section "LiveMode" / "SimulationMode".
    void loadLiveSettings();
    void loadDemoSettings();

    // Each lookup reads its property list afresh. nullopt when the file, the section, the entry or the
    // key is missing, and when a section or entry is not a dictionary.
    std::optional<platform::PlistValue> getLoginValueForMode(std::string_view section,
                                                             std::string_view key) const;
    std::optional<platform::PlistDictionary> getFinancialRequestRuleForKey(std::string_view name) const;
    std::optional<platform::PlistDictionary> getProductLocalizationListForKey(std::string_view name) const;

private:
    void loadServerSettings(std::string_view section);

    mutable std::mutex mutex_;
    std::optional<std::string> IPAddress_;
    std::int32_t PortNo_ = 0;
    std::optional<std::string> userName_;
    std::optional<std::string> password_;
    std::optional<std::string> productName_;
    std::optional<std::string> productVersion_;
    std::optional<std::string> SecurityKey_;
    std::optional<std::string> configuredSecurityKey_;
    std::optional<std::string> liveAccountRegistrationURL_;
    bool isLiveModeAvailable_ = false;
    std::optional<std::string> depositAmountListType_;
    bool showAccountCurrency_ = false;
    std::shared_ptr<const LocalizationList> productLocalizationList_;
    bool canSpecifyBankDetails_ = false;
    bool canWithdrawFloatingPL_ = false;
    std::optional<double> minimumBalance_;
    bool baseCurrencyAvailable_ = false;
};

} // namespace tc
