#pragma once
// One tradable instrument: its static definition, its live quote, its watch-list flags and the
// spread that the user's account groups put on the raw feed price. Plain record; the session
// model owns it and guards concurrent access.
#include "model/records/snapshot_columns.h"
#include "model/records/wall_time.h"
#include "platform/compact_decimal.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class RecordFields;

// One decoded quote; lives while one feed message (or one spread re-application) is processed.
// A price of 0 means the quote does not carry that price.
struct PriceUpdate {
    // Decimals of a feed message's price offsets are capped here, so the scale stays finite.
    static constexpr std::int64_t kMaxDotDecimals = 15;

    std::string ItemCode;
    std::optional<WallTime> Time;
    std::int32_t DotPosition = 0; // the decimals of the message's price offsets, 0..kMaxDotDecimals
    platform::CompactDecimal Last;
    platform::CompactDecimal Bid;
    platform::CompactDecimal Ask;
    platform::CompactDecimal High;
    platform::CompactDecimal Low;
    platform::CompactDecimal Open;
    platform::CompactDecimal PreviousClose;

    // |Ask - Bid| counted in points of `pointSize`, worked in exact decimals so a whole number of
    // points counts as whole; 0 when the point size is not above 0 (a point without a size has no
    // count).
    double GetSpread(const platform::Decimal& pointSize) const;

    // The feed's decimals of price offsets clamped to 0..kMaxDotDecimals.
    static std::int32_t DotPositionForDecimals(std::int64_t decimals);
};

class ItemDetails {
public:
    // SpreadType codes.
    static constexpr std::int32_t kSpreadNone = 0;
    static constexpr std::int32_t kSpreadFixed = 1;
    static constexpr std::int32_t kSpreadMinimum = 2;
    static constexpr std::int32_t kSpreadTopup = 3;
    static constexpr std::int32_t kSpreadGroupsDisagree = 4;
    // Price decimals that displays use; DecimalPlaces from the server is clamped to this.
    static constexpr std::int32_t kMaxDecimalPlaces = 10;
    // Longest instrument code taken from the server: a code is a collection key, a feed topic and a
    // column of every table.
    static constexpr std::size_t kMaxCodeBytes = 64;
    static bool IsAcceptableCode(std::string_view code) {
        return !code.empty() && code.size() <= kMaxCodeBytes;
    }

    std::int32_t InstrumentId = 0;
    std::string Name;
    std::string Code;
    std::int32_t CurrencyID = 0;
    bool Enabled = false;
    std::int32_t InstrumentTypeId = 0;
    std::string InstrumentTypeName;
    platform::CompactDecimal TickSize;
    platform::CompactDecimal Point;
    std::int32_t DecimalPlaces = 0;
    std::string MonthCode;
    platform::CompactDecimal ContractSize;
    std::int32_t UnitId = 0;
    std::int32_t TradingStatusId = 0;
    bool IsAvailableForWatchlist = false;
    std::int32_t UnderlyingInstrumentId = 0;
    double MaxUpdateFrequency = 0; // a rate the server may write with a fraction ("0.5"), not money
    std::int32_t CutOffLimitPercentCP = 0;
    std::optional<WallTime> FND;
    std::optional<WallTime> LTD;
    platform::CompactDecimal CircuitLimit; // percent of the previous close
    std::int32_t PLCalcModeId = 0;
    platform::CompactDecimal Ask;
    platform::CompactDecimal Bid;
    platform::CompactDecimal High;
    platform::CompactDecimal Low;
    platform::CompactDecimal Last;
    platform::CompactDecimal PrevClose;
    platform::CompactDecimal DayOpen;
    std::optional<WallTime> UpdateTime;
    bool isWatchlistSymbol = false;
    bool isWatchlistSymbolTemp = false;
    std::int32_t CurrentTradeSessionSettingId = 0;
    platform::CompactDecimal Open;
    // The instrument whose InstrumentId equals CurrencyID. Held weakly: the session's instrument
    // collection owns every instrument, and an instrument may name itself.
    std::weak_ptr<const ItemDetails> CalculationItems;
    platform::CompactDecimal previousBid;
    platform::CompactDecimal previousAsk;
    std::int32_t BidSpread = 0;
    std::int32_t AskSpread = 0;
    std::int32_t SpreadType = kSpreadNone;
    std::int32_t instrumentTradingStatus = 0;
    std::int32_t availableOrderTypes = 0;
    std::int32_t HedgeModeId = 0;
    std::int32_t MaxHoldingDays = 0;
    std::int32_t HighlightColor = 0;
    bool isPriceUpdateReceived = false;
    std::int32_t availableOrderSettings = 0;
    bool isAvailableForTrading = false;
    std::uint64_t marketID = 0;
    std::string exchangeName;
    std::string descriptions;
    std::uint64_t mostSignificantDigitLength = 0;
    std::uint64_t leastSignificantDigitLength = 0;
    platform::CompactDecimal priceTick;
    platform::CompactDecimal circuitLimitUp;
    platform::CompactDecimal circuitLimitDown;
    std::string iconResource;
    std::uint64_t priceUnitID = 0;
    platform::CompactDecimal priceUnitValue;
    std::string extraInfo;
    std::int64_t orderSettings2 = 0;
    std::uint64_t BaseCurrencyId = 0;
    std::uint64_t MarginFormulaId = 0;

    // Puts this instrument's spread on the update's Bid and Ask in place. Nothing happens for an
    // update of another code, a quote without both sides, spread types 0, 4 and unknown ones, and
    // an instrument whose priceTick is not above 0 (its points have no value).
    void ApplySpread(PriceUpdate& update) const;
    // Bid and Ask become the tick-corrected mid minus / plus the points times priceTick.
    void ApplyFixedSpread(PriceUpdate& update, std::int64_t bidPoints, std::int64_t askPoints) const;
    // Bid and Ask widen by the points times priceTick.
    void ApplyTopupSpread(PriceUpdate& update, std::int64_t bidPoints, std::int64_t askPoints) const;
    // The price put on the TickSize grid: up to the next line when the remainder is more than half
    // a tick, else down. Worked in exact decimals, so a price that is on the grid or exactly half way
    // is recognised as such. A TickSize that is not above 0, and a NaN price, come back unchanged.
    platform::Decimal DoMidPriceTickCorrection(const platform::Decimal& price) const;

    // DecimalPlaces clamped to 0..kMaxDecimalPlaces.
    std::int32_t DisplayDecimalPlaces() const;

    // Settles the price grid after loading: a TickSize that is not above 0 becomes 10^-decimals
    // (decimals clamped as for display; 0 when DecimalPlaces is not above 0), and a priceTick that
    // is not above 0 becomes TickSize. Neither is ever negative or NaN afterwards.
    void SettleTickSizes();

    // A record of the snapshot's instrument section (fields 0 to 48); the grid is settled whatever the
    // record's length. InstrumentTypeName and CalculationItems are the loader's: they need the other
    // collections.
    static ItemDetails fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form, times with their UTC offset; columns the row lacks leave
    // their members alone, and the grid is the loader's.
    void readSnapshotColumns(const SnapshotColumns& row);

    // Literal texts (not language keys); "" for codes outside the tables.
    static std::string_view getInstrumentTradingStatus(std::int32_t status);
    static std::string_view getUnits(std::uint64_t unitId);
    bool isInstrumentTradingStatusActive() const { return instrumentTradingStatus == 1; }
};

} // namespace tc
