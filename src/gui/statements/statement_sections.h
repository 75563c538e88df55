#pragma once
// What the account statement window shows, worked out from one statement and the period's cancelled
// orders: the detail tables' columns and cells, the three summary tables' rows, the two status lines
// and the journal's rows. No Qt here; the window's table models only hand these texts on.
#include "model/account_statement.h"
#include "model/records/order.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

// What one arrival of the statement window holds until the next: both parts are fresh records
// (a reply never refills them in place), so a table reads them without a copy.
struct StatementData {
    std::shared_ptr<const statements::AccountStatementInfo> statement;
    std::vector<std::shared_ptr<const Order>> cancelled;
    // The live instruments' decimal places of each cancelled row, taken when the rows arrived
    // (the cancelled table prices with the session's instrument, not the statement's); -1: unknown.
    std::vector<std::int32_t> cancelledDecimals;
    // The statement's instruments in the order its map lists them (row r of the instrument table).
    std::vector<const statements::InstrumentHistoryInfo*> instruments;
};

// The data of one arrival; `liveDecimals` gives the session's decimal places of an instrument code
// (-1 for one it does not hold).
StatementData makeStatementData(std::shared_ptr<const statements::AccountStatementInfo> statement,
                                std::vector<std::shared_ptr<const Order>> cancelled,
                                const std::function<std::int32_t(std::string_view code)>& liveDecimals);

enum class StatementTable : std::uint8_t {
    OpenPositions,
    SettledPositions,
    PendingOrders,
    CancelledOrders,
    Instruments
};
inline constexpr StatementTable kStatementTables[] = {
    StatementTable::OpenPositions, StatementTable::SettledPositions, StatementTable::PendingOrders,
    StatementTable::CancelledOrders, StatementTable::Instruments};

// The columns of a detail table by their language keys, in the order they show.
const std::vector<std::string_view>& statementColumns(StatementTable table);
// Whether a column shows a "MM/dd/yyyy HH:mm:ss" text (only its time when the column is narrow).
bool isStatementDateColumn(StatementTable table, std::string_view key);
// Whether a column shows a quantity, price or amount (set right-aligned on screen).
bool isStatementNumberColumn(std::string_view key);
// Whether the table's header offers a menu that hides columns (all but the instruments).
bool hasStatementHeaderMenu(StatementTable table);

std::size_t statementRowCount(const StatementData& data, StatementTable table);
// The text of a cell; empty for a column the table does not list or a row past its end.
std::string statementCell(const StatementData& data, StatementTable table, std::size_t row,
                          std::string_view key);

// The cell as the window shows and prints it: sides, order types, deliveries and times in force in
// the language; every other column as statementCell gives it.
std::string statementShownCell(const StatementData& data, StatementTable table, std::size_t row,
                               std::string_view key, std::int64_t language);
// Whether a column's cells are names that read in the selected language.
bool isStatementNameColumn(std::string_view key);

// A row of the two-column summary tables: caption and value.
struct SummaryRow {
    std::string caption;
    std::string value;
    friend bool operator==(const SummaryRow&, const SummaryRow&) = default;
};

// The opening balance, the period's movements and the closing figures: 16 rows, 17 or 18 with the
// daily and monthly TDS rows; none without both account snapshots.
std::vector<SummaryRow> accountSummaryRows(const statements::AccountStatementInfo* statement,
                                           std::int64_t language);
// Settled, open, pending and cancelled quantities.
std::vector<SummaryRow> orderSummaryRows(const StatementData& data, std::int64_t language);
// The margin calls of one account.
std::vector<SummaryRow> marginSummaryRows(const statements::AccountStatementInfo* statement,
                                          std::int32_t accountId, std::int64_t language);

// "Quantity : q", "P/L : p", "Commission : c", "Storage : s", each followed by five blanks.
std::string openStatusLine(const statements::AccountStatementInfo* statement, std::int64_t language);
// The same over the settled positions, with "TDS : t" (their other charges) last.
std::string settledStatusLine(const statements::AccountStatementInfo* statement, std::int64_t language);

// A quantity sum as the window shows it: six decimals, trailing zeros dropped ("12.5").
std::string quantityTotalText(double value);

// The journal's table: newest line first, the time before the first "#$#", the event text up to the
// second.
struct JournalRow {
    std::string time;
    std::string event;
    friend bool operator==(const JournalRow&, const JournalRow&) = default;
};
JournalRow journalRow(const std::vector<std::string>& lines, std::size_t row);
JournalRow splitJournalLine(std::string_view line);

} // namespace tc::gui
