// The session's resource part: a download is decoded on the thread that received it and stored on the
// main queue; a payload that does not decode writes nothing; the merged calendar waits for the
// calendars of the login's resource list, not for every file the searches found.
#include "client/session_wiring.h"
#include "downloads/session_resources.h"

#include "model/records/currency_records.h"
#include "model/session_model.h"
#include "platform/user_defaults.h"
#include "session/business/business_test_support.h"
#include "session/data_service/data_service_replies.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using namespace tc;
using namespace tc::sessiontest;
namespace fs = std::filesystem;

TEST(SessionResources, TheMergedCalendarWaitsForTheListedCalendarsOnly) {
    platform::RunLoop::main().bindToCurrentThread();
    FakeApplication app;
    auto defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    services.notifications = std::make_shared<FakeNotifications>();
    services.requests = std::make_shared<FakeRequests>();
    services.userDefaults = defaults.get();
    auto business = makeSession(app, app.loginData(), services);
    const testing_support::TempDir dir;
    const fs::path folder = dir.path();
    SessionResources resources(*business, resources::ResourceStore(folder));
    std::vector<interfaces::ResourceStored> stored;
    resources.setListener([&](const interfaces::ResourceStored& s) { stored.push_back(s); });

    // The login lists two calendars; the searches found those and one more that nothing lists.
    for (const std::string key : {"us.ics", "uk.ics"}) {
        auto entry = std::make_shared<ResourceDetails>();
        entry->iconResourceId = key;
        business->session().resourceCollection.insert_or_assign(key, entry);
    }
    for (const std::string name : {"us.ics", "uk.ics", "archive.ics"})
        business->dataServiceCollections().resourceSearchCollection.insert_or_assign(
            name, FileResource::initWithResourceType("CAL", 1));
    const auto download = [&](const std::string& name, std::string payload) {
        PendingRequest request;
        request.sequence = stored.size() + 1;
        request.subject = name;
        std::function<void()> store;
        std::thread receiving([&] { store = resources.readResourceDownload(&request, payload); });
        receiving.join();
        EXPECT_EQ(stored.size() + 1, request.sequence); // nothing is stored off the main queue
        store();
        return stored.back();
    };
    const auto payload = [](std::string_view text) { return compressedField(text).substr(5); };
    // Not Base64: no file, no merge text.
    EXPECT_NE(download("us.ics", "AAAAAAAA").error, "");
    EXPECT_FALSE(fs::exists(folder / "us.ics"));
    EXPECT_FALSE(download("us.ics", payload("US;")).calendarMerged);
    const interfaces::ResourceStored last = download("uk.ics", payload("UK;"));
    EXPECT_EQ(last.error, "");
    EXPECT_TRUE(last.calendarMerged);
    EXPECT_EQ(resources.store()->mergedCalendarData(), "");
    std::ifstream merged(folder / resources::kMergedCalendarName);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(merged), {}), "US;UK;");
    business.reset();
    platform::RunLoop::main().discardPending();
}

} // namespace
