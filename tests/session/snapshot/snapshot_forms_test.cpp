// The two forms of the login snapshot describe one model: the hand-written fixtures hold the same
// values, one in each form, and must load to the same model, field for field.
#include "model/model_dump.h"
#include "model/records/item_details.h"
#include "platform/date_format.h"
#include "session/snapshot/amp_snapshot_loader.h"
#include "session/snapshot/xml_snapshot_loader.h"
#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using namespace tc;

// The first differing line of two dumps, for a readable failure.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::istringstream ia(a);
    std::istringstream ib(b);
    std::string la;
    std::string lb;
    while (true) {
        const bool ha = static_cast<bool>(std::getline(ia, la));
        const bool hb = static_cast<bool>(std::getline(ib, lb));
        if (!ha && !hb)
            return "";
        if (!ha || !hb || la != lb)
            return "AMP: " + (ha ? la : "<end>") + "\nXML: " + (hb ? lb : "<end>");
    }
}

// The forms must agree wherever the user is: at UTC, at a whole-hour offset, and in a zone with a
// non-whole-hour offset and daylight saving. Wire times show the server's universal clock in each.
class SnapshotFormsInZone : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { ASSERT_TRUE(platform::setDeviceTimeZone(GetParam())); }
    void TearDown() override { platform::resetDeviceTimeZone(); }
};

TEST_P(SnapshotFormsInZone, BothFixturesLoadToTheSameModel) {
    const auto amp = AmpSnapshotLoader().load(testing_support::ampSnapshotFixture());
    ASSERT_TRUE(amp);
    const SessionModel xml = XmlSnapshotLoader::load(testing_support::fixtureText("snapshot.xml"));

    const std::string ampDump = dumpSessionModel(*amp);
    const std::string xmlDump = dumpSessionModel(xml);
    // Not a trivial match: the model holds the whole demo snapshot.
    ASSERT_EQ(amp->ItemCollection.size(), 3u);
    ASSERT_EQ(amp->AccountDetailCollection.size(), 3u);
    EXPECT_EQ(firstDifference(ampDump, xmlDump), "");
    EXPECT_TRUE(ampDump == xmlDump);

    // 20:00 at +03:00 in the XML form is 17:00 universal time, as the AMP form sends it.
    for (const SessionModel* model : {&*amp, &xml}) {
        bool found = false;
        for (const auto& [code, item] : model->ItemCollection) {
            const std::string ltd = displayDateTime(item->LTD);
            if (ltd.empty() || ltd.starts_with("12/31/2030"))
                continue;
            EXPECT_EQ(ltd, "06/27/2024 17:00:00") << code;
            EXPECT_EQ(displayDateTime(item->FND), "06/28/2024 00:00:00") << code;
            found = true;
        }
        EXPECT_TRUE(found);
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, SnapshotFormsInZone,
                         ::testing::Values("UTC", "America/New_York", "America/St_Johns", "Asia/Kathmandu"));

TEST(SnapshotForms, BothFormsRunTheHookAtTheSamePoint) {
    auto watch = [](SessionModel& m) {
        if (auto* eur = m.ItemCollection.get("EURUSD"))
            (*eur)->isWatchlistSymbol = true;
    };
    AmpSnapshotLoader ampLoader;
    ampLoader.setInstrumentsLoadedHook(watch);
    const auto amp = ampLoader.load(testing_support::ampSnapshotFixture());
    ASSERT_TRUE(amp);
    const SessionModel xml = XmlSnapshotLoader::load(testing_support::fixtureText("snapshot.xml"), {}, watch);
    EXPECT_EQ(firstDifference(dumpSessionModel(*amp), dumpSessionModel(xml)), "");
}

} // namespace
