#include "model/records/group_details.h"

#include "model/collection_keys.h"
#include "model/records/record_fields.h"
#include "platform/log.h"

namespace tc {

void GroupInstruments::loadMarginCalcModeId(std::int32_t mode) {
    MarginCalcModeId = mode;
    if (mode == 1 || mode == 2)
        margincalculationMode = mode;
    else if (mode == 0)
        margincalculationMode = kMarginModeNotApplicable;
}

GroupInstruments GroupInstruments::fromAmpRecord(const RecordFields& f) {
    GroupInstruments g;
    f.readInt(0, g.groupdetailsid);
    f.readInt(1, g.GroupId);
    f.readInt(2, g.InstrumentId);
    f.readDouble(3, g.OrderQtyStep);
    f.readDouble(4, g.MaxOrderQty);
    f.readDouble(5, g.MinOrderQty);
    f.readInt(6, g.SpreadBid);
    f.readInt(7, g.SpreadAsk);
    f.readInt(8, g.SpreadTypeId);
    f.readDouble(9, g.BuyInterestRate);
    f.readDouble(10, g.SellInterestRate);
    f.readInt(11, g.LimitMinPips);
    f.readInt(12, g.StopMinPips);
    f.readBool(13, g.AllowShortSelling);
    f.readDouble(14, g.InitialMargin);
    f.readDouble(15, g.LimitOrderMargin);
    f.readDouble(16, g.LiquidationMargin);
    f.readDouble(17, g.IntradayOrderMargin);
    f.readDouble(18, g.BTSTOrderMargin);
    f.readDouble(19, g.OverNightMargin);
    f.readDouble(20, g.Commission);
    f.readInt(21, g.AutoExecutionModeId);
    if (f.has(22))
        g.loadMarginCalcModeId(RecordFields::toInt(f.text(22)));
    f.readDouble(25, g.InitialSellMargin);
    f.readInt(26, g.availableOrderSettings);
    f.readBool(27, g.isAvailableForTrading);
    return g;
}

std::shared_ptr<GroupInstruments> GroupDetails::groupInstrument(std::int32_t instrumentId) const {
    const auto* found = GroupInstrumentCollection.get(sessionKey(instrumentId));
    return found ? *found : nullptr;
}

bool GroupDetails::fileGroupInstrument(std::shared_ptr<GroupInstruments> settings) {
    if (!settings)
        return false;
    std::string key = sessionKey(settings->InstrumentId);
    if (GroupInstrumentCollection.size() >= kMaxGroupInstruments &&
        !GroupInstrumentCollection.contains(key)) {
        platform::Log::warning("group {}: more than {} instrument settings, instrument {} dropped", GroupId,
                               kMaxGroupInstruments, settings->InstrumentId);
        return false;
    }
    GroupInstrumentCollection.insert_or_assign(std::move(key), std::move(settings));
    return true;
}

GroupDetails GroupDetails::fromAmpRecord(const RecordFields& f) {
    GroupDetails g;
    f.readInt(0, g.GroupId);
    f.readText(1, g.Name);
    f.readBool(2, g.TradingEnabled);
    f.readInt(3, g.CompanyId);
    f.readBool(5, g.IsNewsEnabled);
    f.readBool(6, g.IsMailEnabled);
    f.readBool(7, g.IsChatEnabled);
    f.readBool(8, g.IsEAEnabled);
    f.readInt(9, g.InstrumentLimit);
    f.readInt(10, g.WatchlistItemLimit);
    f.readDouble(11, g.MaxOrderQty);
    f.readDouble(12, g.OrderQtyStep);
    f.readBool(13, g.IsTrailingStopEnabled);
    f.readDouble(14, g.MarginCallLevel);
    f.readDouble(15, g.StopOutLevel);
    f.readInt(16, g.LeverageOnFProfit);
    f.readInt(17, g.RevLeverageOnFLoss);
    f.readInt(18, g.ReportHistoryDaysLimit);
    f.readBool(19, g.SendMailReports);
    f.readBool(20, g.SendExecutionSMS);
    f.readInt(21, g.CreditRating);
    return g;
}

} // namespace tc
