#include "model/records/session_settings.h"

#include "model/records/record_layout.h"

namespace tc {

namespace {

using namespace records;

constexpr auto kItemTypeLayout =
    recordLayout(int32(0, &ItemType::InstrumentTypeId), text(1, &ItemType::InstrumentTypeName));

} // namespace

ItemType ItemType::fromAmpRecord(const RecordFields& f) {
    ItemType t;
    readRecord(f, kItemTypeLayout, t);
    return t;
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

constexpr auto kSessionSettingsLayout = recordLayout(
    int32(0, &SessionSettings::settingsID), text(1, &SessionSettings::settingsName),
    flag(2, [](SessionSettings& s, bool v) { s.loadEnterLimitOrder(v); }),
    flag(3, [](SessionSettings& s, bool v) { s.loadEnterMarketOrder(v); }),
    flag(4, [](SessionSettings& s, bool v) { s.loadEditLimitOrder(v); }),
    flag(5, &SessionSettings::editMarketOrder), flag(6, &SessionSettings::executeOrders),
    flag(7, &SessionSettings::publishMarketData), flag(8, &SessionSettings::publishTradeData),
    flag(9, &SessionSettings::matchMMWithMMOrders), flag(10, &SessionSettings::enterMarketMakerOrder),
    flag(11, &SessionSettings::editMarketMakerOrder),
    int32(12, [](SessionSettings& s, std::int32_t rgb) { s.sessionColor = CalibratedColor::fromRGB(rgb); }),
    flag(13, &SessionSettings::useELP), int64(15, &SessionSettings::marketTradingStatus));

} // namespace

SessionSettings SessionSettings::fromAmpRecord(const RecordFields& f) {
    SessionSettings s;
    readRecord(f, kSessionSettingsLayout, s);
    return s;
}

} // namespace tc
