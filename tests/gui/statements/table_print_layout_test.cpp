#include "gui/statements/table_print_layout.h"

#include <gtest/gtest.h>

using namespace tc::gui;

namespace {

// Every character 5 points wide; lines 10 points high.
const TextMetrics kMetrics{[](std::string_view text) { return 5.0 * static_cast<double>(text.size()); }, 10};
// Padding and border of a cell: 2 + 2 + 0.1 points.
constexpr double kInset = 4.1;

TEST(TablePrint, HeaderShadingAndBanding) {
    const auto fills = [](const TablePrintStyle& style) {
        std::string out;
        for (std::size_t row = 0; row < 5; ++row)
            out += "RAH"[static_cast<int>(cellFill(row, 1, style))];
        return out;
    };
    TablePrintStyle style;
    EXPECT_EQ(fills(style), "HRARA"); // the second, fourth... data row is banded, never the header
    style.headerRow = false;
    EXPECT_EQ(fills(style), "RARAR");
    style.alternateRows = false;
    EXPECT_EQ(fills(style), "RRRRR");
    style.headerColumn = true;
    EXPECT_EQ(cellFill(3, 0, style), CellFill::Header);
    EXPECT_EQ(cellTextStyle(2, 1, TablePrintStyle{}), CellTextStyle::Row);
    style = {};
    style.alternateTextRows = true;
    EXPECT_EQ(cellTextStyle(2, 1, style), CellTextStyle::AlternateRow);
}

TEST(TablePrint, ColumnsFitThePageAndTextsWrap) {
    const PrintRows rows = {{"Entity", "Details"},
                            {"Total Cost", "300 (three hundred)"},
                            {"Sessions", "09:00 - 12:00\n13:00 - 17:00"},
                            {"Short"}};
    TableLayout wide = layoutTable(rows, kMetrics, {500, 700});
    EXPECT_EQ(wide.columnWidths, (std::vector<double>{50 + kInset, 95 + kInset})); // natural widths
    EXPECT_EQ(wide.cells[2][1].lines, (std::vector<std::string>{"09:00 - 12:00", "13:00 - 17:00"}));
    EXPECT_EQ(wide.cells[3][1].lines, (std::vector<std::string>{""})) << "a short row gets empty cells";
    EXPECT_EQ(wide.rowHeights[2], 20 + 2 + 0.1);

    // 120 points: each column gives up a share of what it can wrap at blanks (the widest words,
    // "Sessions" and "hundred)", are 40 points each): 10 of the first's, 55 of the second's.
    TableLayout narrow = layoutTable(rows, kMetrics, {120, 700});
    EXPECT_DOUBLE_EQ(narrow.columnWidths[0] + narrow.columnWidths[1], 120);
    const double keep = (120 - 2 * (40 + kInset)) / 65.0;
    EXPECT_DOUBLE_EQ(narrow.columnWidths[0], 40 + kInset + 10 * keep);
    EXPECT_EQ(narrow.cells[1][1].lines, (std::vector<std::string>{"300 (three", "hundred)"}));
    // Down to the widest words no word breaks; narrower, the columns share the page.
    const TableLayout words = layoutTable(rows, kMetrics, {2 * (40 + kInset), 700});
    EXPECT_EQ(words.columnWidths, (std::vector<double>{40 + kInset, 40 + kInset}));
    EXPECT_EQ(words.cells[2][0].lines, (std::vector<std::string>{"Sessions"}));
    // Narrower, each column keeps its header's widest word ("Entity" 30, "Details" 35) and they
    // share the rest.
    EXPECT_EQ(layoutTable(rows, kMetrics, {80, 700}).columnWidths,
              (std::vector<double>{30 + kInset + 3.4, 35 + kInset + 3.4}));
    // A word longer than its column is cut.
    TableLayout tiny = layoutTable({{"A"}, {"abcdefghij"}}, kMetrics, {30, 700});
    EXPECT_EQ(tiny.cells[1][0].lines, (std::vector<std::string>{"abcde", "fghij"}));
}

TEST(TablePrint, HeadersAndFiguresNeverBreakWithinAWordAndFiguresStandRight) {
    // A column as wide as its text holds it, though the padding added and taken away leaves a hair
    // less: at 3.04 points a character, "Debit" measures 15.2.
    const TextMetrics odd{[](std::string_view text) { return 3.04 * static_cast<double>(text.size()); }, 10};
    EXPECT_EQ(layoutTable({{"Debit"}}, odd, {500, 700}).cells[0][0].lines,
              (std::vector<std::string>{"Debit"}));
    // Too narrow for every word: the header's words and the right-aligned figures ("1,000,000.00",
    // 60) keep their widths; only the narration breaks within a word.
    TablePrintStyle style;
    style.alignments = {CellAlignment::Left, CellAlignment::Right};
    const TableLayout narrow =
        layoutTable({{"Narration", "Balance After", "Ref"}, {"transferredfromsavings", "1,000,000.00", "x"}},
                    kMetrics, {140, 700}, style);
    EXPECT_EQ(narrow.columnWidths[1], 60 + kInset);
    EXPECT_EQ(narrow.cells[0][0].lines, (std::vector<std::string>{"Narration"}));
    EXPECT_EQ(narrow.cells[0][1].lines, (std::vector<std::string>{"Balance", "After"}));
    EXPECT_EQ(narrow.cells[1][1].lines, (std::vector<std::string>{"1,000,000.00"}));
    EXPECT_GT(narrow.cells[1][0].lines.size(), 1u);
    // The header stands over its figures; a column the style names nothing for reads from the left.
    EXPECT_EQ(narrow.cells[0][1].alignment, CellAlignment::Right);
    EXPECT_EQ(narrow.cells[1][2].alignment, CellAlignment::Left);
}

TEST(TablePrint, RowsFlowOntoPagesUnderARepeatedHeader) {
    PrintRows rows = {{"H"}};
    for (int i = 1; i <= 10; ++i)
        rows.push_back({std::to_string(i)});
    // Every row 12.1 points high; a page of 50 points takes four rows.
    const TableLayout layout = layoutTable(rows, kMetrics, {100, 50});
    std::vector<std::pair<std::size_t, std::size_t>> placed; // row, page
    for (const PlacedRow& p : layout.placed)
        placed.emplace_back(p.row, p.page);
    EXPECT_EQ(placed, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 0},
                                                                        {1, 0},
                                                                        {2, 0},
                                                                        {3, 0},
                                                                        {0, 1},
                                                                        {4, 1},
                                                                        {5, 1},
                                                                        {6, 1},
                                                                        {0, 2},
                                                                        {7, 2},
                                                                        {8, 2},
                                                                        {9, 2},
                                                                        {0, 3},
                                                                        {10, 3}}));
    EXPECT_EQ(layout.lastPage, 3u);
    EXPECT_DOUBLE_EQ(layout.endTop, 2 * 12.1);

    // Started near the foot of a page, the header moves on with its first row.
    const TableLayout late = layoutTable({{"H"}, {"1"}}, kMetrics, {100, 50}, {}, 2, 30);
    EXPECT_EQ(late.placed.front().page, 3u);
    EXPECT_EQ(late.placed.front().top, 0);
    // A row taller than a page stands alone.
    const TableLayout tall = layoutTable({{"H"}, {"a\nb\nc\nd\ne\nf"}, {"x"}}, kMetrics, {100, 50});
    EXPECT_EQ(tall.placed.size(), 4u);
    EXPECT_EQ(tall.placed[2].row, 0u);
    EXPECT_EQ(tall.placed[3].page, 1u);
}

} // namespace
