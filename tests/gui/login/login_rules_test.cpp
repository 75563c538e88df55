// The demo-registration form's checks and its deposit amounts.
#include "gui/login/login_rules.h"
#include "gui/texts.h"
#include "platform/property_list.h"

#include <gtest/gtest.h>

namespace texts = tc::gui::texts;

namespace {

using tc::gui::registrationRefusal;
using tc::gui::TextRefusal;

TEST(RegistrationRules, TheFirstFailingCheckNamesItsTextInTheOrderNameEmailPhoneCountry) {
    struct Case {
        std::string name, email, phone, country;
        std::optional<TextRefusal> refusal;
    };
    const TextRefusal notAPhone{texts::kNotPhoneNumber, texts::kPhone};
    const Case cases[] = {
        {"", "", "", "", TextRefusal{texts::kEnterName}}, // the name first, whatever else is missing
        {"Ann", "ann", "", "", TextRefusal{texts::kEnterValidEMailAddress}},
        {"Ann", "ann@example.org", "", "", TextRefusal{texts::kEnterPhoneNumber}},
        {"Ann", "ann@example.org", "+977 1 4000000", "", TextRefusal{texts::kChooseCountry}},
        {"Ann", "ann@example.org", "+977 1 4000000", "Nepal", {}},
        {" ", "a.b+c_d%e-f@mail-1.example.co", "(01) 234-567", "X", {}}, // a name is taken as typed
        // A phone that is no phone number, with the reason.
        {"Ann", "ann@example.org", "abc", "Nepal", notAPhone},
        {"Ann", "ann@example.org", " ", "Nepal", notAPhone},
        {"Ann", "ann@example.org", "1", "Nepal", notAPhone},
        // A text that cannot be sent, or is too long, names its field.
        {"An\x03n", "ann@example.org", "123456", "Nepal",
         TextRefusal{texts::kHoldsCharacterCannotSentControl, texts::kRegistrationName, 256}},
        {std::string(257, 'n'), "ann@example.org", "123456", "Nepal",
         TextRefusal{texts::kLongerThanCharacters, texts::kRegistrationName, 256}},
        {"Ann", std::string(250, 'a') + "@b.cd", "123456", "Nepal",
         TextRefusal{texts::kLongerThanCharacters, texts::kRegistrationEMail, 254}},
        {"Ann", "ann@example.org", "123456\n", "Nepal",
         TextRefusal{texts::kHoldsCharacterCannotSentControl, texts::kPhone, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 8) + "|" + c.email.substr(0, 20) + "|" + c.phone + "|" + c.country);
        EXPECT_EQ(registrationRefusal({c.name, c.email, c.phone, c.country}), c.refusal);
    }
}

TEST(RegistrationRules, AnEmailEndsInTwoToFourLettersAfterItsLastDotAndHasOneAtSign) {
    for (const char* good : {"a@b.cd", "a@b.com", "a@b.info", "A.Z@x-y.example.org"})
        EXPECT_TRUE(tc::gui::isRegistrationEmail(good)) << good;
    for (const char* bad :
         {"a@b.c", "a@b.museum", "ab.com", "a@@b.com", "a@b.com ", " a@b.com", "a b@c.com", "a@b.c0m", ""})
        EXPECT_FALSE(tc::gui::isRegistrationEmail(bad)) << bad;
}

TEST(RegistrationRules, DepositAmountsAreTheNamedListInItsOrder) {
    using tc::platform::PlistArray;
    using tc::platform::PlistDictionary;
    using tc::platform::PlistValue;
    const PlistValue root(
        PlistDictionary{{"Default", PlistValue(PlistArray{PlistValue("5000"), PlistValue(1000)})},
                        {"Other", PlistValue("not a list")}});
    EXPECT_EQ(tc::gui::depositAmounts(root, "Default"), (std::vector<std::string>{"5000", "1000"}));
    EXPECT_TRUE(tc::gui::depositAmounts(root, "Other").empty());
    EXPECT_TRUE(tc::gui::depositAmounts(root, "Missing").empty());
    // The shipped list is there and offers amounts.
    EXPECT_FALSE(tc::gui::loadDepositAmounts("Default").empty());
}

} // namespace
