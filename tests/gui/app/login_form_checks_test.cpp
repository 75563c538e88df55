#include "gui/app/login_form_checks.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(LoginFormChecks, LoginValidationNamesOnlyTheFirstUnusableField) {
    struct Case {
        LoginFields fields;
        std::optional<std::string_view> key;
    };
    const Case cases[] = {
        {{"", "", "", ""}, "0004"},
        {{"  ", "5100", "demo", "pw"}, "0004"},
        {{"host", "", "", ""}, "0005"},
        {{"host", "0", "demo", "pw"}, "0005"},
        {{"host", "65536", "demo", "pw"}, "0005"},
        {{"host", "51a0", "demo", "pw"}, "0005"},
        {{"host", "5100", " ", "pw"}, "0002"},
        {{"host", "5100", "demo", ""}, "0003"},
        {{"host", "65535", "demo", " "}, std::nullopt}, // a password is taken as typed
    };
    for (const auto& c : cases)
        EXPECT_EQ(loginValidationKey(c.fields), c.key) << c.fields.server << "|" << c.fields.port;
}

} // namespace
} // namespace tc::gui
