#include "model/records/session_settings.h"

#include "model/records/record_layout.h"

namespace tc {

namespace {

using namespace records;

constexpr auto kItemTypeLayout =
    recordLayout(int32(0, &ItemType::InstrumentTypeId), text(1, &ItemType::InstrumentTypeName));

constexpr auto kItemTypeColumns = recordLayout(int32("InstrumentTypeId", &ItemType::InstrumentTypeId),
                                               text("InstrumentTypeName", &ItemType::InstrumentTypeName));

} // namespace

ItemType ItemType::fromAmpRecord(const RecordFields& f) {
    ItemType t;
    readRecord(f, kItemTypeLayout, t);
    return t;
}

void ItemType::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kItemTypeColumns, *this);
}

CalibratedColor CalibratedColor::fromRGB(std::int32_t rgb) {
    auto bits = static_cast<std::uint32_t>(rgb);
    CalibratedColor c;
    c.red = static_cast<float>((bits >> 16) & 0xFF) / 255.0f;
    c.green = static_cast<float>((bits >> 8) & 0xFF) / 255.0f;
    c.blue = static_cast<float>(bits & 0xFF) / 255.0f;
    c.alpha = 1.0f;
    return c;
}

void SessionSettings::loadEnterLimitOrder(bool value) {
    enterLimitOrder = value;
    allowNewContigent = value;
    allowNewTpSl = value;
}

void SessionSettings::loadEnterMarketOrder(bool value) {
    enterMarketOrder = value;
    allowNewMarket = value;
    allowNewTpSl = value;
}

void SessionSettings::loadEditLimitOrder(bool value) {
    editLimitOrder = value;
    allowEditContigent = value;
    allowNewTpSl = value;
}

namespace {

constexpr auto loadEnterLimit = [](SessionSettings& s, bool v) { s.loadEnterLimitOrder(v); };
constexpr auto loadEnterMarket = [](SessionSettings& s, bool v) { s.loadEnterMarketOrder(v); };
constexpr auto loadEditLimit = [](SessionSettings& s, bool v) { s.loadEditLimitOrder(v); };
constexpr auto loadColor = [](SessionSettings& s, std::int32_t rgb) {
    s.sessionColor = CalibratedColor::fromRGB(rgb);
};

constexpr auto kSessionSettingsLayout = recordLayout(
    int32(0, &SessionSettings::settingsID), text(1, &SessionSettings::settingsName), flag(2, loadEnterLimit),
    flag(3, loadEnterMarket), flag(4, loadEditLimit), flag(5, &SessionSettings::editMarketOrder),
    flag(6, &SessionSettings::executeOrders), flag(7, &SessionSettings::publishMarketData),
    flag(8, &SessionSettings::publishTradeData), flag(9, &SessionSettings::matchMMWithMMOrders),
    flag(10, &SessionSettings::enterMarketMakerOrder), flag(11, &SessionSettings::editMarketMakerOrder),
    int32(12, loadColor), flag(13, &SessionSettings::useELP),
    int64(15, &SessionSettings::marketTradingStatus));

// The allow flags follow the wire's order: enter limit, enter market, edit limit.
constexpr auto kSessionSettingsColumns = recordLayout(
    flag("EditMarketMakertOrder", &SessionSettings::editMarketMakerOrder),
    flag("EditMarketOrder", &SessionSettings::editMarketOrder),
    flag("EnterMarketMakerOrder", &SessionSettings::enterMarketMakerOrder),
    flag("EnterLimitOrder", loadEnterLimit), flag("EnterMarketOrder", loadEnterMarket),
    flag("EditLimitOrder", loadEditLimit), flag("ExecuteOrders", &SessionSettings::executeOrders),
    flag("MatchMMwithMMOrders", &SessionSettings::matchMMWithMMOrders),
    flag("PublishMarketData", &SessionSettings::publishMarketData),
    flag("PublishTradeData", &SessionSettings::publishTradeData), int32("SessionColor", loadColor),
    int32("SettingsId", &SessionSettings::settingsID), text("SettingsName", &SessionSettings::settingsName),
    flag("UseELP", &SessionSettings::useELP),
    int64("marketTradingStatus", &SessionSettings::marketTradingStatus));

} // namespace

SessionSettings SessionSettings::fromAmpRecord(const RecordFields& f) {
    SessionSettings s;
    readRecord(f, kSessionSettingsLayout, s);
    return s;
}

void SessionSettings::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kSessionSettingsColumns, *this);
}

} // namespace tc
