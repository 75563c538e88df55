#include "gui/login/login_rules.h"
#include "gui/texts.h"

#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/property_list.h"

#include <regex>

namespace tc::gui {

bool isRegistrationEmail(std::string_view text) {
    // Addresses are short; the cap keeps the pattern's work bounded.
    if (text.size() > kMaxEmailLength)
        return false;
    static const std::regex pattern("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,4}");
    return std::regex_match(text.begin(), text.end(), pattern);
}

std::optional<Refusal> registrationRefusal(const RegistrationFields& fields) {
    if (fields.name.empty())
        return Refusal{texts::kEnterName};
    if (auto refusal = firstTextRefusal({{texts::kRegistrationName, fields.name, kMaxFormTextLength},
                                         {texts::kRegistrationEMail, fields.email, kMaxEmailLength}}))
        return refusal;
    if (!isRegistrationEmail(fields.email))
        return Refusal{texts::kEnterValidEMailAddress};
    if (fields.phone.empty())
        return Refusal{texts::kEnterPhoneNumber};
    if (auto refusal = firstTextRefusal({{texts::kPhone, fields.phone, kMaxPhoneLength}}))
        return refusal;
    if (!isPhoneNumber(fields.phone))
        return Refusal{texts::kNotPhoneNumber, {}, texts::kPhone};
    if (fields.country.empty())
        return Refusal{texts::kChooseCountry};
    return std::nullopt;
}

std::vector<std::string> depositAmounts(const platform::PlistValue& root, std::string_view listType) {
    std::vector<std::string> amounts;
    const platform::PlistValue* list = root.find(listType);
    if (!list || !list->array())
        return amounts;
    for (const platform::PlistValue& value : *list->array())
        if (auto text = value.asString())
            amounts.push_back(*text);
    return amounts;
}

} // namespace tc::gui

namespace tc::gui {

std::vector<std::string> loadDepositAmounts(std::string_view listType) {
    const auto path = platform::Bundle::pathForResource("DepositAmountPropertyList", "plist");
    if (!path)
        return {};
    const platform::PlistResult list = platform::PropertyList::readFile(*path);
    if (!list) {
        platform::Log::warning("the deposit amounts cannot be read: {}", list.error());
        return {};
    }
    return depositAmounts(list.value(), listType);
}

} // namespace tc::gui
