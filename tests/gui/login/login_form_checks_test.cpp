#include "gui/login/login_form_checks.h"
#include "gui/texts.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(LoginFormChecks, LoginValidationNamesOnlyTheFirstUnusableField) {
    struct Case {
        LoginFields fields;
        std::optional<std::string_view> key;
    };
    const Case cases[] = {
        {{"", "", "", ""}, texts::kEnterServerAddress},
        {{"  ", "5100", "demo", "pw"}, texts::kEnterServerAddress},
        {{"host", "", "", ""}, texts::kEnterPortNumberFrom1},
        {{"host", "0", "demo", "pw"}, texts::kEnterPortNumberFrom1},
        {{"host", "65536", "demo", "pw"}, texts::kEnterPortNumberFrom1},
        {{"host", "51a0", "demo", "pw"}, texts::kEnterPortNumberFrom1},
        {{"host", "5100", " ", "pw"}, texts::kEnterUserName},
        {{"host", "5100", "demo", ""}, texts::kEnterPassword},
        {{"host", "65535", "demo", " "}, std::nullopt}, // a password is taken as typed
    };
    for (const auto& c : cases)
        EXPECT_EQ(loginValidationKey(c.fields), c.key) << c.fields.server << "|" << c.fields.port;
}

} // namespace
} // namespace tc::gui
