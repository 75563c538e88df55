// The resources panel's rows from the login's resource list, without widgets.
#include "gui/resources/resource_list.h"

#include "model/session_model.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;

TEST(ResourceList, NaturalOrderOfKeysHiddenCaptionsLeftOutAddressesToOpen) {
    SessionModel model;
    const auto add = [&](std::string caption, std::string url, std::string icon) {
        auto r = std::make_shared<ResourceDetails>();
        r->caption = std::move(caption);
        r->URL = std::move(url);
        r->iconResourceId = std::move(icon);
        model.fileResource(r);
    };
    add("Guide 10", "https://docs.test/10", "");
    add("Guide 2", "docs.test/2", "");
    add("Calendar", "http://cal.test/", "cal9.ics");
    add("#Desk notes", "https://desk.test/", "");
    add("Old calendar", "https://cal.test/old", "cal10.ics");
    add("Script", "javascript:alert(1)", "");
    const SessionQueries queries(model);
    const auto rows = gui::resourceRows(queries);
    std::vector<std::string> captions;
    for (const auto& row : rows)
        captions.push_back(row.caption);
    // Keys: icon ids when set, else captions; digit runs compare by value.
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Calendar", "Old calendar", "Guide 2", "Guide 10", "Script"}));
    EXPECT_EQ(rows[0].address, "http://cal.test/");
    EXPECT_EQ(rows[0].iconResourceId, "cal9.ics");
    EXPECT_EQ(rows[2].address, "https://docs.test/2");
    EXPECT_EQ(rows[3].address, "https://docs.test/10");
    EXPECT_FALSE(rows[4].address);
}

} // namespace
