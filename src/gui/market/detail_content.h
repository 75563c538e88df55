#pragma once
// The detail window's contents: two-column lists of captions and values for the delivery receipt
// of a position, the deposit and withdrawal information of the funding windows, and the instrument
// panes of the contract-details window. Each loader builds the whole list from the session's
// records as they stand. No Qt here.
#include "model/session_queries.h"
#include "model/text/consolidated_table_data.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
class Order;
struct BankDetails;
struct SessionModel;
} // namespace tc

namespace tc::gui {

enum class DetailType : std::int32_t {
    InstrumentDetails = 0,
    OpenPositionReceipt = 1,
    ExecutedPositionReceipt = 2,
    SymbolSpecification = 3,
    ContractSpecification = 4,
    MarginRequirement = 5,
    DailyPriceLimits = 6,
    MarketSessions = 7,
    Storage = 8,
    RelatedDates = 9,
    DepositWithdrawalInfo = 10,
};
// The type of a number, nullopt outside 0 to 10.
std::optional<DetailType> detailTypeOf(std::int32_t number);

// The table's two column identifiers.
inline constexpr std::string_view kCaptionColumn = "Entity";
inline constexpr std::string_view kValueColumn = "Details";
// The print job's name, whatever the content.
inline constexpr std::string_view kPrintJobTitle = "Delivery Receipt";
// The window title of a content (literal text): receipts and the instrument details have their own.
std::optional<std::string_view> detailTitle(DetailType type);

struct DetailRow {
    std::string caption;
    std::string value;
    friend bool operator==(const DetailRow&, const DetailRow&) = default;
};

struct DetailContent {
    std::vector<DetailRow> rows;
    // A receipt whose position is no longer held: its captions stand without values, and the
    // window says the record is gone.
    bool recordFound = true;
    // The market-sessions pane of a market whose schedule the session does not hold yet: the window
    // requests it and loads the pane again when it arrives.
    bool needsSchedule = false;
};

// The position of a receipt, found by id in the list the receipt is of (the open positions, or the
// executed positions); nullptr when it is no longer there.
const Order* findPosition(const OrderView& positions, std::string_view positionId);

// The delivery receipt (fourteen rows). `bank`: the bank details the session holds now, if any.
DetailContent deliveryReceipt(const Order* position, const SessionModel& model, const BankDetails* bank,
                              std::int64_t language);

struct InstrumentSources {
    const SessionModel& model;
    const SessionQueries& queries;   // market schedules and day names
    std::int32_t currentAccount = 0; // the account chosen in the main window: its group's settings
    std::int64_t language = 0;
};
// The instrument details (type 0) and the contract-details panes (types 3 to 9) of an instrument
// code; any other type gives an empty content.
DetailContent instrumentDetail(DetailType type, std::string_view code, const InstrumentSources& sources);

// The list as the table printer takes it: the two column titles, then each caption beside its value.
ConsolidatedTableData::Rows detailPrintRows(const DetailContent& content, std::int64_t language);

// Deposit or withdrawal information: the lines of a funding reply, caption and value as the core
// split them, in order.
DetailContent depositWithdrawalInfo(std::vector<DetailRow> lines);

} // namespace tc::gui
