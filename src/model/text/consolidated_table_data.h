#pragma once
// A printable copy of a table: the visible columns' titles in the user's language, then each row's
// displayed texts, ready for the table printer (which takes the first row as the header).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tc {

struct TableColumn {
    std::string identifier; // language-text key of the column's title ("88" -> key "0088")
    double width = 0;
    bool isHidden = false;
};

// What a table shows, as the printing needs it.
class TableView {
public:
    virtual ~TableView() = default;
    // Every column, hidden ones included, in display order.
    virtual std::vector<TableColumn> tableColumns() const = 0;
    // The value displayed in a column at a row; nullopt when the data source has none.
    virtual std::optional<std::string> objectValueForTableColumn(const TableColumn& column, std::uint64_t row,
                                                                 std::size_t columnIndex) const = 0;
};

// A table held as plain data: cells[row][columnIndex], columnIndex counting hidden columns too.
// Missing rows or cells read as "no value".
struct TableViewData : TableView {
    std::vector<TableColumn> columns;
    std::vector<std::vector<std::optional<std::string>>> cells;

    std::vector<TableColumn> tableColumns() const override { return columns; }
    std::optional<std::string> objectValueForTableColumn(const TableColumn& column, std::uint64_t row,
                                                         std::size_t columnIndex) const override;
};

class ConsolidatedTableData {
public:
    // Longer tables are cut here (and the cut is logged); printing more than this is not sensible.
    static constexpr std::uint64_t kMaxRows = 1'000'000;

    using Rows = std::vector<std::vector<std::string>>;

    // Row 0: the titles of the visible columns; then rows 0..rowCount-1 of the table, one value per
    // visible column, "" where the table has none. rowCount is the caller's (the collection the
    // table shows), not asked of the table. A title whose language table is missing shows its key.
    static Rows getConsolidatedDataFromTableView(const TableView& tableView, std::uint64_t rowCount,
                                                 std::int64_t selectedLanguage);
};

} // namespace tc
