#pragma once
// The login snapshot in its XML form: a data set whose row elements are named after their table
// ("Table1", "Table6", ...) and whose child elements are the columns. Reading it is two steps, both
// free of shared state so two snapshots (or two threads) never see each other's rows: the rows are
// collected into tables, then the tables are loaded into a fresh session model.
#include "model/records/snapshot_columns.h"
#include "model/session_model.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

// Column name -> text, entities decoded; a later column of the same name overwrites an earlier one.
using XmlSnapshotRow = SnapshotColumns;

// The rows of one snapshot by table name, each table's rows in document order.
struct XmlSnapshotTables {
    platform::OrderedMap<std::string, std::vector<XmlSnapshotRow>> tables;
    // Rows dropped while collecting (bad or past a cap).
    std::size_t skippedRows = 0;
    // Of those, the rows dropped because a table or row cap was reached.
    std::size_t rowsPastCaps = 0;
    // References to entities that are neither predefined nor numeric ("&name;"), in any column.
    std::size_t unknownEntities = 0;
    // Why the document gave no rows at all (the reader refused it, or it has no root element); empty
    // when it was read.
    std::string error;

    // nullptr when the snapshot has no such table.
    const std::vector<XmlSnapshotRow>* rows(std::string_view table) const;
};

// Caps on what one snapshot may bring.
struct XmlSnapshotLimits {
    // Distinct table names; rows of further tables are dropped.
    std::size_t maxTables = 64;
    // Rows kept per table; well above any session's instrument or account count.
    std::size_t maxRowsPerTable = 200'000;
    // Columns of one row; a row with more is bad.
    std::size_t maxColumnsPerRow = 256;
    // Bytes of one column text or name; a row with a longer one is bad.
    std::size_t maxColumnBytes = 64 * 1024;
};

class XmlSnapshotLoader {
public:
    // Table names of the data set.
    static constexpr std::string_view kUserTable = "Table1";
    static constexpr std::string_view kProductTable = "Table2";
    static constexpr std::string_view kCurrencyListTable = "Table3";
    static constexpr std::string_view kAccountTable = "Table4";
    static constexpr std::string_view kInstrumentTypeTable = "Table5";
    static constexpr std::string_view kInstrumentTable = "Table6";
    static constexpr std::string_view kGroupInstrumentTable = "Table7";
    static constexpr std::string_view kGroupTable = "Table8";
    static constexpr std::string_view kLoginMessageTable = "Table9";
    static constexpr std::string_view kSessionSettingsTable = "Table10";
    static constexpr std::string_view kResourceTable = "Table11";
    static constexpr std::string_view kTradeCurrencyTable = "Table12";

    using Limits = XmlSnapshotLimits;
    // Called right after the instrument table (with or without one) with the model being built, so
    // the watch list can be restored against the new instruments.
    using InstrumentsLoadedHook = std::function<void(SessionModel&)>;

    // Collects the row elements of an XML text. A text that is not XML (or is refused by the reader's
    // caps) gives no tables. A bad row (more columns than the cap, a name or text that is not UTF-8 or
    // longer than the cap) is skipped and the rest of its table is read.
    static XmlSnapshotTables collectTables(std::string_view xml, const Limits& limits = {});

    // Loads collected tables into `model`: user, product, accounts, groups, instrument types,
    // instruments (then the hook), group instruments (then the group spreads), session settings,
    // currency list, trade currencies (then each account's currency), login messages, resources. A
    // row that cannot be filed (no key column, an unknown group) is skipped and its table goes on.
    static void fillTableDetails(const XmlSnapshotTables& tables, SessionModel& model,
                                 const InstrumentsLoadedHook& instrumentsLoaded = {});

    // Both steps into a fresh model.
    static SessionModel load(std::string_view xml, const Limits& limits = {},
                             const InstrumentsLoadedHook& instrumentsLoaded = {});

    // One loader per table; each returns false (nothing filed) for a row it cannot file.
    static bool fillUserInfoDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillProductInfoDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillAccountDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillGroupDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillItemType(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillItemDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillGroupInstruments(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillSessionSettingCollection(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillCurrencyListDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillTradeCurrencyDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillLoginInfoDetails(const XmlSnapshotRow& row, SessionModel& model);
    static bool fillResourceDetails(const XmlSnapshotRow& row, SessionModel& model);

    // Each instrument's calculation instrument: the one whose InstrumentId equals its CurrencyID.
    static void linkCalculationItems(SessionModel& model);
    // Each account's trade currency, by its currencyID (none when the currency is not loaded).
    static void linkTradeCurrencies(SessionModel& model);

    // The five predefined entities and numeric character references decoded; anything else that
    // starts with '&' is kept as it stands, and each "&name;" of an unknown name is counted.
    static std::string decodeEntities(std::string_view text, std::size_t* unknownEntities = nullptr);
};

} // namespace tc
