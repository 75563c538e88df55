#pragma once
// Account currencies with their conversion rule, and the resources offered by the server.
#include "model/records/snapshot_columns.h"
#include "platform/compact_decimal.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tc {

class RecordFields;

// The live quote of a currency's conversion instrument.
struct ConversionQuote {
    platform::CompactDecimal Bid;
    platform::CompactDecimal Ask;
};

class TradeCurrency {
public:
    TradeCurrency() = default;
    TradeCurrency(const TradeCurrency&) = default;
    TradeCurrency(TradeCurrency&&) = default;
    TradeCurrency& operator=(const TradeCurrency&) = default;
    TradeCurrency& operator=(TradeCurrency&&) = default;
    virtual ~TradeCurrency() = default;

    std::uint64_t currencyID = 0;
    std::string currencyCode;
    std::uint64_t instrumentID = 0;   // InstrumentId of the conversion instrument
    platform::CompactDecimal bidRate; // mode 4, amounts of 0 or more
    platform::CompactDecimal askRate; // mode 4, negative amounts
    std::int64_t conversionMode = 0;
    bool isDirect = false; // amounts are divided by the price rather than multiplied
    platform::CompactDecimal depositRate;

    // Whether the conversion needs the conversion instrument's quote (modes 1, 2, 3 and 5).
    bool needsConversionQuote() const;

    // `amount` in this currency. `quote` is the conversion instrument's, nullptr when there is none.
    // Unchanged for an amount of 0, modes 0 and above 5, and modes 1, 2, 3, 5 without a quote.
    double convert(double amount, const ConversionQuote* quote) const;

    // amount × price, or amount ÷ price when direct. The amount comes back unchanged where the
    // result would not be a finite number: a direct price of 0, below 0 (no rate is negative) or
    // not finite, and any product that overflows.
    static double currencyConversion(double amount, double price, bool isDirect);

    // Fields 0 to 7 of the snapshot's trade-currency section.
    static TradeCurrency fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form; columns the row lacks leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

// A currency as the snapshot's currency-list section brings it: never direct, no deposit rate.
class CurrenyList : public TradeCurrency {
public:
    // Fields 0 to 5.
    static CurrenyList fromAmpRecord(const RecordFields& fields);
    // The currency list's columns alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

struct ResourceDetails {
    std::uint64_t resourceId = 0;
    std::string caption;
    std::string URL;
    std::string iconResourceId;
    std::string groupName;
    std::string resourceType;
    std::uint64_t productId = 0;
    bool isNew = false;
    bool showFocus = false;
    bool enabled = false;
    bool extraData = false;

    // The key in the resource collection: iconResourceId, or the caption when that is empty.
    const std::string& collectionKey() const { return iconResourceId.empty() ? caption : iconResourceId; }
    // Captions holding "#" are kept out of the resources view's list.
    bool isListed() const { return caption.find('#') == std::string::npos; }

    // nullopt for a record too short to carry iconResourceId (under four fields); only that record
    // is skipped.
    static std::optional<ResourceDetails> fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form; columns the row lacks leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

} // namespace tc
