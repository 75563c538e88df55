#include "session/business/notification_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

using namespace tc;

TEST(NotificationNames, AreSortedAndUnique) {
    const auto& names = kAllNotificationNames;
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::set<std::string_view>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(std::count(names.begin(), names.end(), kLoginSuccessNotification), 1);
    // Misspellings are kept as the windows expect them.
    EXPECT_EQ(kEditUserAccountAccessSucessNotification, "EditUserAccountAccessSucessNotification");
}

// Each constant is named after its text and listed once in the table, so a name added to the header but
// not to the table (or mistyped in one of them) is caught.
TEST(NotificationNames, HeaderConstantsMatchTheirTextsAndTheTable) {
    std::string source;
    for (const char* header :
         {"src/session/business/notification_names.h", "src/connection/connection_notifications.h"}) {
        std::ifstream in(std::filesystem::path(TC_SOURCE_DIR) / header);
        ASSERT_TRUE(in) << header;
        std::stringstream text;
        text << in.rdbuf();
        source += text.str();
    }
    std::regex constant(R"re(std::string_view (k\w+)\s*=\s*"([^"]*)";)re");
    std::set<std::string> declared;
    for (std::sregex_iterator it(source.begin(), source.end(), constant), end; it != end; ++it) {
        std::string ident = (*it)[1];
        std::string value = (*it)[2];
        std::string expected = "k";
        for (char c : value)
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '_')
                expected += c;
        EXPECT_EQ(ident, expected);
        EXPECT_TRUE(declared.insert(value).second) << value;
    }
    std::set<std::string> listed(kAllNotificationNames.begin(), kAllNotificationNames.end());
    EXPECT_EQ(declared, listed);
}

} // namespace
