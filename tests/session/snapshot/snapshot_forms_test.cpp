// The two forms of the login snapshot describe one model: the hand-written fixtures hold the same
// values, one in each form, and must load to the same model, field for field.
#include "amp_fixture.h"
#include "session/model/model_dump.h"
#include "session/records/item_details.h"
#include "session/snapshot/amp_snapshot_loader.h"
#include "session/snapshot/xml_snapshot_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace tc;

std::string readXmlFixture() {
    const auto path = std::filesystem::path(TC_TEST_DATA).parent_path() / "fixtures" / "snapshot.xml";
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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

TEST(SnapshotForms, BothFixturesLoadToTheSameModel) {
    const auto amp = AmpSnapshotLoader().load(readAmpFixture());
    ASSERT_TRUE(amp);
    const SessionModel xml = XmlSnapshotLoader::load(readXmlFixture());

    const std::string ampDump = dumpSessionModel(*amp);
    const std::string xmlDump = dumpSessionModel(xml);
    // Not a trivial match: the model holds the whole demo snapshot.
    ASSERT_EQ(amp->ItemCollection.size(), 3u);
    ASSERT_EQ(amp->AccountDetailCollection.size(), 3u);
    EXPECT_EQ(firstDifference(ampDump, xmlDump), "");
    EXPECT_TRUE(ampDump == xmlDump);
}

TEST(SnapshotForms, BothFormsRunTheHookAtTheSamePoint) {
    auto watch = [](SessionModel& m) {
        if (auto* eur = m.ItemCollection.get("EURUSD"))
            (*eur)->isWatchlistSymbol = true;
    };
    AmpSnapshotLoader ampLoader;
    ampLoader.setInstrumentsLoadedHook(watch);
    const auto amp = ampLoader.load(readAmpFixture());
    ASSERT_TRUE(amp);
    const SessionModel xml = XmlSnapshotLoader::load(readXmlFixture(), {}, watch);
    EXPECT_EQ(firstDifference(dumpSessionModel(*amp), dumpSessionModel(xml)), "");
}

} // namespace
