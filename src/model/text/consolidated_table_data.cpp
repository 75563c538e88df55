#include "model/text/consolidated_table_data.h"

#include "model/text/language_string.h"
#include "platform/log.h"

namespace tc {

std::optional<std::string> TableViewData::objectValueForTableColumn(const TableColumn&, std::uint64_t row,
                                                                    std::size_t columnIndex) const {
    if (row >= cells.size() || columnIndex >= cells[row].size())
        return std::nullopt;
    return cells[row][columnIndex];
}

ConsolidatedTableData::Rows
ConsolidatedTableData::getConsolidatedDataFromTableView(const TableView& tableView, std::uint64_t rowCount,
                                                        std::int64_t selectedLanguage) {
    const std::vector<TableColumn> columns = tableView.tableColumns();
    std::vector<std::size_t> visible;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].isHidden)
            visible.push_back(i);
    }

    if (rowCount > kMaxRows) {
        platform::Log::error("table copy: {} rows asked for, only the first {} are copied", rowCount,
                             kMaxRows);
        rowCount = kMaxRows;
    }

    Rows rows;
    rows.reserve(static_cast<std::size_t>(rowCount) + 1);
    std::vector<std::string>& header = rows.emplace_back();
    header.reserve(visible.size());
    for (std::size_t i : visible) {
        std::string key = LanguageString::setLanguageKey(columns[i].identifier);
        auto title = LanguageString::stringForSelectedLanguage(selectedLanguage, key);
        header.push_back(title ? std::move(*title) : std::move(key));
    }

    for (std::uint64_t r = 0; r < rowCount; ++r) {
        std::vector<std::string>& row = rows.emplace_back();
        row.reserve(visible.size());
        for (std::size_t i : visible) {
            auto value = tableView.objectValueForTableColumn(columns[i], r, i);
            row.push_back(value ? std::move(*value) : std::string());
        }
    }
    return rows;
}

} // namespace tc
