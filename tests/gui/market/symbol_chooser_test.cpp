#include "gui/market/market_fixture.h"
#include "gui/market/symbol_chooser.h"
#include "model/session_queries.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/watch_list.h"

#include <gtest/gtest.h>

using namespace tc;

using namespace tc::gui;

namespace {

using Codes = std::vector<std::string>;

class SymbolChooserTest : public ::testing::Test, public WatchListContext {
protected:
    void SetUp() override {
        for (const char* code : {"EURUSD", "GBPUSD", "XAUUSD", "US30"})
            s.item(code);
        s.model.symbolTypeCollection.insert_or_assign("Forex", "EURUSD:Euro:Major,GBPUSD:Pound");
        s.model.symbolTypeCollection.insert_or_assign("Metal", "XAUUSD:Gold,ZZZ:Not loaded");
        s.model.symbolTypeCollection.insert_or_assign("Index", "US30:Dow");
    }
    std::string userName() const override { return "demo"; }
    SessionModel& model() override { return s.model; }

    SymbolChooser chooser(const Codes& watchList) {
        return SymbolChooser(SessionQueries(s.model).getSymbolTypes(), watchList, s.model);
    }

    markettest::Session s;
};

TEST_F(SymbolChooserTest, TypesAndSearch) {
    SymbolChooser c = chooser({});
    EXPECT_EQ(c.typeNames(), (Codes{"Forex", "Metal", "Index"}));
    EXPECT_TRUE(c.rows().empty());
    ASSERT_TRUE(c.selectType(1));
    EXPECT_EQ(c.rows(), (Codes{"XAUUSD:Gold", "ZZZ:Not loaded"}));
    EXPECT_FALSE(c.selectType(3));
    c.search("us");
    EXPECT_EQ(c.rows(), (Codes{"EURUSD:Euro:Major", "GBPUSD:Pound", "XAUUSD:Gold", "US30:Dow"}));
    c.search("SD:p"); // across the end of the code, the colon and the name
    EXPECT_EQ(c.rows(), (Codes{"GBPUSD:Pound"}));
    c.search("");
    EXPECT_EQ(c.rows(), (Codes{"XAUUSD:Gold", "ZZZ:Not loaded"}));
    EXPECT_EQ(SymbolChooser::codeOf("EURUSD:Euro:Major"), "EURUSD");
    EXPECT_EQ(SymbolChooser::nameOf("EURUSD:Euro:Major"), "Euro");
    EXPECT_EQ(SymbolChooser::nameOf("EURUSD"), "");
}

TEST_F(SymbolChooserTest, AddRemoveToggleAndSaveInCollectionOrder) {
    SymbolChooser c = chooser({"XAUUSD", "NOTLOADED"});
    EXPECT_FALSE(c.isMember("NOTLOADED"));
    c.selectType(0);
    c.change(SymbolChooser::changeForTag(100), {1, 0, 9}, s.model);
    EXPECT_TRUE(c.isMember("EURUSD"));
    EXPECT_TRUE(c.isMember("GBPUSD"));
    c.change(SymbolChooser::changeForTag(100), {0}, s.model); // already there: stays
    EXPECT_TRUE(c.isMember("EURUSD"));
    c.change(SymbolChooser::changeForTag(200), {0}, s.model);
    EXPECT_FALSE(c.isMember("EURUSD"));
    c.selectType(1);
    c.change(SymbolChooser::changeForTag(0), {0, 1}, s.model); // toggles gold off; ZZZ is not loaded
    EXPECT_FALSE(c.isMember("XAUUSD"));
    EXPECT_FALSE(c.isMember("ZZZ"));
    c.selectType(2);
    c.change(SymbolChooser::changeForTag(0), {0}, s.model);
    c.selectType(0);
    c.change(SymbolChooser::changeForTag(0), {0}, s.model);
    // The instruments' order, not the order of the clicks.
    const Codes saved = c.watchList(s.model);
    EXPECT_EQ(saved, (Codes{"EURUSD", "GBPUSD", "US30"}));

    // Saving through the session keeps the list under the user's name.
    platform::RunLoop::main().bindToCurrentThread();
    auto defaults = platform::UserDefaults::inMemory();
    WatchList watchList(*this, *defaults, {});
    watchList.SaveItemsToWatchList(saved);
    platform::RunLoop::main().discardPending();
    EXPECT_EQ(defaults->stringArrayForKey(WatchList::StorageKey("demo")), saved);
    EXPECT_EQ(watchList.selectedSymbols(), saved);
}

} // namespace
