#include "model/records/session_settings.h"

#include "model/records/record_fields.h"

namespace tc {

ItemType ItemType::fromAmpRecord(const RecordFields& f) {
    ItemType t;
    f.readInt(0, t.InstrumentTypeId);
    f.readText(1, t.InstrumentTypeName);
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

SessionSettings SessionSettings::fromAmpRecord(const RecordFields& f) {
    SessionSettings s;
    bool flag = false;
    f.readInt(0, s.settingsID);
    f.readText(1, s.settingsName);
    if (f.readBool(2, flag))
        s.loadEnterLimitOrder(flag);
    if (f.readBool(3, flag))
        s.loadEnterMarketOrder(flag);
    if (f.readBool(4, flag))
        s.loadEditLimitOrder(flag);
    f.readBool(5, s.editMarketOrder);
    f.readBool(6, s.executeOrders);
    f.readBool(7, s.publishMarketData);
    f.readBool(8, s.publishTradeData);
    f.readBool(9, s.matchMMWithMMOrders);
    f.readBool(10, s.enterMarketMakerOrder);
    f.readBool(11, s.editMarketMakertOrder);
    if (f.has(12))
        s.sessionColor = CalibratedColor::fromRGB(RecordFields::toInt(f.text(12)));
    f.readBool(13, s.useELP);
    f.readInt64(15, s.marketTradingStatus);
    return s;
}

} // namespace tc
