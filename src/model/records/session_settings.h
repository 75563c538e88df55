#pragma once
// Instrument types and the permissions of each kind of trading session.
#include "model/records/snapshot_columns.h"
#include <cstdint>
#include <optional>
#include <string>

namespace tc {

class RecordFields;

struct ItemType {
    std::int32_t InstrumentTypeId = 0;
    std::string InstrumentTypeName;

    // Fields 0 (id) and 1 (name); further fields are ignored.
    static ItemType fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form; columns the row lacks leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

// An opaque colour in the calibrated RGB space, components 0..1.
struct CalibratedColor {
    float red = 0;
    float green = 0;
    float blue = 0;
    float alpha = 1;

    // 0xRRGGBB; bits above 23 are ignored.
    static CalibratedColor fromRGB(std::int32_t rgb);
    friend bool operator==(const CalibratedColor&, const CalibratedColor&) = default;
};

struct SessionSettings {
    std::optional<CalibratedColor> sessionColor;
    std::uint64_t settingsID = 0;
    std::string settingsName;
    bool editLimitOrder = false;
    bool editMarketMakerOrder = false;
    bool editMarketOrder = false;
    bool enterLimitOrder = false;
    bool enterMarketMakerOrder = false;
    bool enterMarketOrder = false;
    bool executeOrders = false;
    bool matchMMWithMMOrders = false;
    bool publishMarketData = false;
    bool publishTradeData = false;
    bool useELP = false;
    bool allowNewMarket = false;
    bool allowNewContigent = false;
    bool allowEditContigent = false;
    bool allowNewTpSl = false;
    std::uint64_t marketTradingStatus = 0;

    // The server sends no allow flags: loading an enter or edit flag derives them. Whichever of the
    // three is loaded last decides allowNewTpSl.
    void loadEnterLimitOrder(bool value);  // also allowNewContigent, allowNewTpSl
    void loadEnterMarketOrder(bool value); // also allowNewMarket, allowNewTpSl
    void loadEditLimitOrder(bool value);   // also allowEditContigent, allowNewTpSl

    // Fields in position order (so allowNewTpSl follows the last of positions 2, 3, 4 present).
    static SessionSettings fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form, the allow flags derived in the order above whatever the
    // columns' order; columns the row lacks leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

} // namespace tc
