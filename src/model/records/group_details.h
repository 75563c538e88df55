#pragma once
// Account groups and their settings per instrument.
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tc {

class RecordFields;

struct GroupInstruments {
    // Margin mode 0 from the server means "not applicable", which the margin arithmetic knows as 926.
    static constexpr std::int32_t kMarginModeNotApplicable = 926;

    std::int32_t GroupId = 0;
    std::int32_t InstrumentId = 0;
    double OrderQtyStep = 0;
    double MaxOrderQty = 0;
    double MinOrderQty = 0;
    double InitialMargin = 0;
    double InitialSellMargin = 0;
    double LimitOrderMargin = 0;
    double LiquidationMargin = 0;
    std::int32_t SpreadBid = 0;
    std::int32_t SpreadAsk = 0;
    std::int32_t SpreadTypeId = 0;
    double BuyInterestRate = 0;
    double SellInterestRate = 0;
    std::int32_t LimitMinPips = 0;
    std::int32_t StopMinPips = 0;
    bool AllowShortSelling = false;
    double IntradayOrderMargin = 0;
    double BTSTOrderMargin = 0;
    double OverNightMargin = 0;
    double Commission = 0;
    std::int32_t PLCalcModeId = 0;
    std::int32_t AutoExecutionModeId = 0;
    std::int32_t MarginCalcModeId = 0;
    std::int32_t groupdetailsid = 0;
    std::int32_t margincalculationMode = 0;
    bool isAvailableForTrading = false;
    std::int32_t availableOrderSettings = 0;

    // Stores the server's mode and derives margincalculationMode: 1 and 2 as they are, 0 as 926,
    // any other value leaves it unchanged.
    void loadMarginCalcModeId(std::int32_t mode);

    // A record of the snapshot's group-instrument section (PLCalcModeId is not in it).
    static GroupInstruments fromAmpRecord(const RecordFields& fields);
};

class GroupDetails {
public:
    // Far above any real group; a longer list from the server is cut here.
    static constexpr std::size_t kMaxGroupInstruments = 100'000;

    std::int32_t GroupId = 0;
    std::string Name;
    bool TradingEnabled = false;
    std::int32_t CompanyId = 0;
    bool IsNewsEnabled = false;
    bool IsMailEnabled = false;
    bool IsChatEnabled = false;
    bool IsEAEnabled = false;
    std::int32_t InstrumentLimit = 0;
    std::int32_t WatchlistItemLimit = 0;
    double MaxOrderQty = 0;
    double OrderQtyStep = 0;
    bool IsTrailingStopEnabled = false;
    double MarginCallLevel = 0;
    double StopOutLevel = 0;
    std::int32_t LeverageOnFProfit = 0;
    std::int32_t RevLeverageOnFLoss = 0;
    std::int32_t ReportHistoryDaysLimit = 0;
    bool SendMailReports = false;
    bool SendExecutionSMS = false;
    std::int32_t CreditRating = 0;
    // Keyed by the decimal text of InstrumentId; empty (never missing) on a new group.
    platform::OrderedMap<std::string, std::shared_ptr<GroupInstruments>> GroupInstrumentCollection;

    // The group's settings for an instrument, or nullptr.
    std::shared_ptr<GroupInstruments> groupInstrument(std::int32_t instrumentId) const;
    // Files (or replaces) the settings under their InstrumentId. false, and nothing filed, for a
    // null record or a new instrument once the group holds kMaxGroupInstruments.
    bool fileGroupInstrument(std::shared_ptr<GroupInstruments> settings);

    // A record of the snapshot's group section.
    static GroupDetails fromAmpRecord(const RecordFields& fields);
};

} // namespace tc
