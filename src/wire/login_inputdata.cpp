#include "wire/login_inputdata.h"

#include "platform/bundle.h"
#include "platform/log.h"

#include <limits>

namespace tc {

using platform::PlistDictionary;
using platform::PlistValue;

namespace {

constexpr std::string_view kLoginList = "LoginPropertyList";
constexpr std::string_view kRulesList = "FinancialRequestRules";
constexpr std::string_view kLocalizationList = "ProductLocalization";

// The whole property list, or nullopt when it is missing. A file that is there but does not parse is a
// defect of the installation, so that one is logged.
std::optional<PlistValue> readResource(std::string_view name) {
    auto path = platform::Bundle::pathForResource(name, "plist");
    if (!path)
        return std::nullopt;
    auto read = platform::PropertyList::readFile(*path);
    if (!read) {
        platform::Log::warning("cannot read resource {}: {}", name, read.error());
        return std::nullopt;
    }
    return std::move(read).value();
}

std::optional<PlistDictionary> dictionaryEntry(std::string_view list, std::string_view name) {
    auto root = readResource(list);
    if (!root)
        return std::nullopt;
    const PlistValue* entry = root->find(name);
    if (!entry || !entry->isDictionary())
        return std::nullopt;
    return *entry->dictionary();
}

std::optional<std::string> textOf(const std::optional<PlistValue>& v) {
    return v ? v->asString() : std::nullopt;
}
bool boolOf(const std::optional<PlistValue>& v) {
    return v && v->asBool();
}
bool boolOf(const PlistValue* v) {
    return v && v->asBool();
}

std::optional<double> numberOf(const PlistValue* v) {
    if (!v || !(v->isNumber() || v->isBoolean() || v->isString()))
        return std::nullopt;
    return v->asDouble();
}

std::int32_t portOf(const std::optional<PlistValue>& v) {
    if (!v)
        return 0;
    std::int64_t n = v->asInt();
    if (n > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (n < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(n);
}

} // namespace

LoginInputData::LoginInputData() : productLocalizationList_(std::make_shared<const LocalizationList>()) {
    auto general = [this](std::string_view key) { return getLoginValueForMode("General", key); };

    productName_ = textOf(general("ProductName"));
    productVersion_ = platform::Bundle::shortVersionString();
    configuredSecurityKey_ = textOf(general("SecurityKey"));
    SecurityKey_ = configuredSecurityKey_;
    liveAccountRegistrationURL_ = textOf(general("LiveAccountRegistrationURL"));
    isLiveModeAvailable_ = boolOf(general("LiveModeAvailable"));
    depositAmountListType_ = textOf(general("DepositAmountListType"));

    std::optional<PlistDictionary> rule;
    if (auto name = textOf(general("Financial request rule")))
        rule = getFinancialRequestRuleForKey(*name);
    if (rule) {
        canSpecifyBankDetails_ = boolOf(rule->find("Can specify bank details"));
        canWithdrawFloatingPL_ = boolOf(rule->find("Can withdraw floatingPL"));
        minimumBalance_ = numberOf(rule->find("Minimum balance"));
    }

    showAccountCurrency_ = boolOf(general("Show account currency"));

    LocalizationList localization;
    if (auto name = textOf(general("Product localization list"))) {
        if (auto entry = getProductLocalizationListForKey(*name)) {
            for (const auto& [key, value] : *entry)
                if (auto text = value.asString())
                    localization.emplace(key, std::move(*text));
        }
    }
    productLocalizationList_ = std::make_shared<const LocalizationList>(std::move(localization));

    baseCurrencyAvailable_ = boolOf(general("BaseCurrencyAvailable"));
}

std::optional<PlistValue> LoginInputData::getLoginValueForMode(std::string_view section,
                                                               std::string_view key) const {
    auto root = readResource(kLoginList);
    if (!root)
        return std::nullopt;
    const PlistValue* sectionValue = root->find(section);
    const PlistValue* value = sectionValue ? sectionValue->find(key) : nullptr;
    if (!value)
        return std::nullopt;
    return *value;
}

std::optional<PlistDictionary> LoginInputData::getFinancialRequestRuleForKey(std::string_view name) const {
    return dictionaryEntry(kRulesList, name);
}

std::optional<PlistDictionary> LoginInputData::getProductLocalizationListForKey(std::string_view name) const {
    return dictionaryEntry(kLocalizationList, name);
}

void LoginInputData::loadServerSettings(std::string_view section) {
    auto address = textOf(getLoginValueForMode(section, "IPAddress"));
    auto port = portOf(getLoginValueForMode(section, "PortNo"));
    std::lock_guard lock(mutex_);
    IPAddress_ = std::move(address);
    PortNo_ = port;
}

void LoginInputData::loadLiveSettings() {
    loadServerSettings("LiveMode");
}
void LoginInputData::loadDemoSettings() {
    loadServerSettings("SimulationMode");
}

#define TC_LOGIN_PROPERTY(Type, getter, setter)                                                              \
    Type LoginInputData::getter() const {                                                                    \
        std::lock_guard lock(mutex_);                                                                        \
        return getter##_;                                                                                    \
    }                                                                                                        \
    void LoginInputData::setter(Type value) {                                                                \
        std::lock_guard lock(mutex_);                                                                        \
        getter##_ = std::move(value);                                                                        \
    }

TC_LOGIN_PROPERTY(std::optional<std::string>, IPAddress, setIPAddress)
TC_LOGIN_PROPERTY(std::int32_t, PortNo, setPortNo)
TC_LOGIN_PROPERTY(std::optional<std::string>, userName, setUserName)
TC_LOGIN_PROPERTY(std::optional<std::string>, password, setPassword)
TC_LOGIN_PROPERTY(std::optional<std::string>, productName, setProductName)
TC_LOGIN_PROPERTY(std::optional<std::string>, productVersion, setProductVersion)
TC_LOGIN_PROPERTY(std::optional<std::string>, SecurityKey, setSecurityKey)

std::optional<std::string> LoginInputData::configuredSecurityKey() const {
    std::lock_guard lock(mutex_);
    return configuredSecurityKey_;
}
TC_LOGIN_PROPERTY(std::optional<std::string>, liveAccountRegistrationURL, setLiveAccountRegistrationURL)
TC_LOGIN_PROPERTY(bool, isLiveModeAvailable, setIsLiveModeAvailable)
TC_LOGIN_PROPERTY(std::optional<std::string>, depositAmountListType, setDepositAmountListType)
TC_LOGIN_PROPERTY(bool, showAccountCurrency, setShowAccountCurrency)
TC_LOGIN_PROPERTY(bool, canSpecifyBankDetails, setCanSpecifyBankDetails)
TC_LOGIN_PROPERTY(bool, canWithdrawFloatingPL, setCanWithdrawFloatingPL)
TC_LOGIN_PROPERTY(std::optional<double>, minimumBalance, setMinimumBalance)
TC_LOGIN_PROPERTY(bool, baseCurrencyAvailable, setBaseCurrencyAvailable)

#undef TC_LOGIN_PROPERTY

std::shared_ptr<const LoginInputData::LocalizationList> LoginInputData::productLocalizationList() const {
    std::lock_guard lock(mutex_);
    return productLocalizationList_;
}

void LoginInputData::setProductLocalizationList(LocalizationList value) {
    auto list = std::make_shared<const LocalizationList>(std::move(value));
    std::lock_guard lock(mutex_);
    productLocalizationList_ = std::move(list);
}

} // namespace tc
