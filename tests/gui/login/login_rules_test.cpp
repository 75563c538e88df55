// The demo-registration form's checks and its deposit amounts.
#include "gui/login/login_rules.h"
#include "gui/texts.h"
#include "platform/property_list.h"

#include <gtest/gtest.h>

namespace texts = tc::gui::texts;

namespace {

using tc::gui::Refusal;
using tc::gui::registrationRefusal;

TEST(RegistrationRules, TheFirstFailingCheckNamesItsTextInTheOrderNameEmailPhoneCountry) {
    struct Case {
        const char *name, *email, *phone, *country;
        std::optional<Refusal> refusal;
    };
    const Case cases[] = {
        {"", "", "", "", Refusal{texts::kEnterName}}, // the name first, whatever else is missing
        {"Ann", "ann", "", "", Refusal{texts::kEnterValidEMailAddress}},
        {"Ann", "ann@example.org", "", "", Refusal{texts::kEnterPhoneNumber}},
        {"Ann", "ann@example.org", "abc", "", Refusal{texts::kNotPhoneNumber, {}, texts::kPhone}},
        {"Ann", "ann@example.org", " ", "", Refusal{texts::kNotPhoneNumber, {}, texts::kPhone}},
        {"Ann", "ann@example.org", "+977 1 4000000", "", Refusal{texts::kChooseCountry}},
        {" ", "a.b+c_d%e-f@mail-1.example.co", "(01) 234-567", "X", {}}, // a name is taken as typed
        {"An\tn", "ann@example.org", "123456", "X",
         Refusal{texts::kHoldsCharacterCannotSentControl, {}, texts::kRegistrationName}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "|" + c.email + "|" + c.phone + "|" + c.country);
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
