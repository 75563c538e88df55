#pragma once
// Rules of the login window's demo-registration sheet, free of Qt so they are tested without a
// display: the form's checks and the deposit amounts it offers.
#include "gui/controls/text_entry_rules.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {
class PlistValue;
}

namespace tc::gui {

// The registration form as typed.
struct RegistrationFields {
    std::string_view name;
    std::string_view email;
    std::string_view phone;
    std::string_view country;
};

// Whether the whole text is an e-mail address as the sheet accepts it: letters, digits and
// "._%+-" before one "@", a domain of letters, digits, "." and "-", then "." and two to four letters.
bool isRegistrationEmail(std::string_view text);

// The first check the form fails, in the order name, e-mail, phone, country: an empty name
// (kEnterName), an e-mail address that is not one (kEnterValidEMailAddress), an empty phone
// (kEnterPhoneNumber), a phone that is no phone number (kNotPhoneNumber, isPhoneNumber), no country
// (kChooseCountry); before its own check, each typed text is refused when it cannot be sent or passes
// its limit (text_entry_rules.h). Texts are taken as typed, so a name of a single blank counts as
// filled. nullopt when the form may be sent. The deposit and the newsletter choice are not checked.
std::optional<Refusal> registrationRefusal(const RegistrationFields& fields);

// The deposit amounts of the list named `listType` in the deposit property list (a dictionary of
// arrays keyed by list name), as texts in their stored order; empty when the list is missing.
std::vector<std::string> depositAmounts(const platform::PlistValue& root, std::string_view listType);
// The same from the program's "DepositAmountPropertyList.plist"; empty when it cannot be read.
std::vector<std::string> loadDepositAmounts(std::string_view listType);

} // namespace tc::gui
