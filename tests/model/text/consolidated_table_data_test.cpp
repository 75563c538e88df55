#include "model/text/consolidated_table_data.h"

#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tc;

using Rows = ConsolidatedTableData::Rows;

class ConsolidatedTableDataTest : public ::testing::Test {
protected:
    testing_support::ScopedResources resources{"0088\tAccount\n0123\tAmount\n0004\tHidden title\n"};
    ConsolidatedTableDataTest() {
        table_.columns = {{"88", 100, false}, {"4", 80, true}, {"123", 60, false}};
        table_.cells = {{"A-1", "secret", "10.00"}, {"A-2", "secret", std::nullopt}};
    }
    TableViewData table_;
};

TEST_F(ConsolidatedTableDataTest, HeaderInTheUserLanguageThenVisibleCellsOfEachRow) {
    // Row 2 is past the table's data: the caller's count rules, missing values print empty.
    EXPECT_EQ(ConsolidatedTableData::getConsolidatedDataFromTableView(table_, 3, 0),
              (Rows{{"Account", "Amount"}, {"A-1", "10.00"}, {"A-2", ""}, {"", ""}}));
}

TEST_F(ConsolidatedTableDataTest, NoRowsGiveTheHeaderOnly) {
    EXPECT_EQ(ConsolidatedTableData::getConsolidatedDataFromTableView(table_, 0, 0),
              (Rows{{"Account", "Amount"}}));
}

TEST_F(ConsolidatedTableDataTest, AllColumnsHiddenGiveEmptyRows) {
    for (auto& c : table_.columns)
        c.isHidden = true;
    EXPECT_EQ(ConsolidatedTableData::getConsolidatedDataFromTableView(table_, 2, 0), (Rows{{}, {}, {}}));
}

TEST_F(ConsolidatedTableDataTest, TitlesWithoutALanguageTableShowTheirKeys) {
    // Language 6 has no folder in this bundle; an untranslated key shows itself.
    table_.columns.push_back({"999", 10, false});
    EXPECT_EQ(ConsolidatedTableData::getConsolidatedDataFromTableView(table_, 0, 6)[0],
              (std::vector<std::string>{"0088", "0123", "0999"}));
    EXPECT_EQ(ConsolidatedTableData::getConsolidatedDataFromTableView(table_, 0, 0)[0],
              (std::vector<std::string>{"Account", "Amount", "0999"}));
}

TEST_F(ConsolidatedTableDataTest, HugeRowCountsAreCut) {
    table_.columns = {{"88", 1, false}};
    auto rows = ConsolidatedTableData::getConsolidatedDataFromTableView(table_, UINT64_MAX, 0);
    EXPECT_EQ(rows.size(), ConsolidatedTableData::kMaxRows + 1);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"A-1"}));
}

} // namespace
