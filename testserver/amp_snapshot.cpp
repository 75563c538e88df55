#include "amp_snapshot.h"

#include "server_wire.h"

#include "platform/decimal.h"
#include "wire/separators.h"

#include <array>

using namespace tc;

namespace testserver {

AmpRecord& AmpRecord::set(std::size_t position, std::string value) {
    if (fields_.size() <= position)
        fields_.resize(position + 1);
    fields_[position] = std::move(value);
    return *this;
}

std::string AmpRecord::text() const {
    std::string out;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0)
            out.push_back(wire::kColumn);
        out += fields_[i];
    }
    return out;
}

namespace {

using Sections = std::array<std::vector<AmpRecord>, kSectionCount>;

void addRecord(std::vector<AmpRecord>& section, const AmpRecord& record) {
    section.push_back(record);
}

std::string joinSections(const std::string* sections, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out.push_back(wire::kSection);
        out += sections[i];
    }
    return out;
}

std::string tickText(int decimals) {
    return formatScaled(1, decimals);
}

void writeUser(Sections& s, const Market& m, const User& u, const SnapshotContext& c) {
    AmpRecord r;
    r.set(0, u.id).set(1, 0).set(2, c.referenceId).flag(3, false).flag(4, true).set(5, 1).set(6, 0).set(7, 0);
    r.set(8, 1).flag(9, true).set(10, 0).set(11, c.feedPort).set(12, c.dataPort).set(13, "").set(14, "");
    r.set(15, m.product.systemCurrency);
    addRecord(s[kSectionUser], r);
}

void writeProduct(Sections& s, const Market& m) {
    AmpRecord r;
    r.set(0, m.product.id).set(1, m.product.name).set(2, m.product.latestBuild).set(3, "");
    r.set(4, m.product.latestSupportedBuild);
    addRecord(s[kSectionProduct], r);
}

void writeTypesAndSessions(Sections& s, const Market& m) {
    for (const auto& t : m.types)
        addRecord(s[kSectionInstrumentTypes], AmpRecord().set(0, t.id).set(1, t.name));
    for (const auto& session : m.sessions) {
        AmpRecord r;
        r.set(0, session.id).set(1, session.name);
        // Every order may be entered, edited and executed; no market-maker orders.
        for (std::size_t pos = 2; pos <= 8; ++pos)
            r.flag(pos, true);
        r.flag(9, false).flag(10, false).flag(11, false);
        r.set(12, session.color).flag(13, false).set(14, "").set(15, session.status);
        addRecord(s[kSectionSessions], r);
    }
}

void writeInstruments(Sections& s, const Market& m, const std::vector<Quote>& quotes,
                      const SnapshotContext& c) {
    for (std::size_t k = 0; k < m.instruments.size(); ++k) {
        const Instrument& i = m.instruments[k];
        const Quote q = k < quotes.size()
                            ? quotes[k]
                            : Quote{i.price, i.price + i.spread, i.price, i.price, i.price, i.price, i.price};
        const std::string tick = tickText(i.decimals);
        AmpRecord r;
        r.set(0, i.id).set(1, i.name).set(2, i.code).set(3, i.conversion).flag(4, true).set(5, i.type);
        r.set(6, tick).set(7, tick).set(8, i.decimals).set(9, "").set(10, i.contractSize).set(11, i.unit);
        r.set(12, 1).flag(13, true).set(14, 0).set(15, "0").set(16, 0).set(17, "").set(18, "");
        r.set(19, "0").set(20, i.profitMode);
        r.set(21, formatScaled(q.bid, i.decimals)).set(22, formatScaled(q.ask, i.decimals));
        r.set(23, formatScaled(q.last, i.decimals)).set(24, formatScaled(q.high, i.decimals));
        r.set(25, formatScaled(q.low, i.decimals)).set(26, formatScaled(q.open, i.decimals));
        r.set(27, formatScaled(q.prevClose, i.decimals)).set(28, c.updateTime);
        r.set(29, i.session).set(30, 0).set(31, 0).set(32, 0).set(33, 255);
        r.set(34, "").set(35, "").set(36, "").flag(37, true).set(38, 255).set(39, "").set(40, "");
        r.set(41, 0).set(42, 0).set(43, tick).set(44, "0").set(45, "0").set(46, 0).set(47, 0).set(48, 0);
        addRecord(s[kSectionInstruments], r);
    }
}

void writeGroups(Sections& s, const Market& m) {
    int rowId = 1;
    for (const auto& g : m.groups) {
        AmpRecord r;
        r.set(0, g.id).set(1, g.name).flag(2, true).set(3, 1).set(4, "").flag(5, true).flag(6, true);
        r.flag(7, true).flag(8, false).set(9, 0).set(10, 0).set(11, g.maxQty).set(12, g.qtyStep);
        // 16 and 17 are the shares (percent) of a floating profit and loss that count into equity:
        // all of it, whatever the group's leverage.
        r.flag(13, true).set(14, g.marginCall).set(15, g.stopOut).set(16, 100).set(17, 100);
        r.set(18, g.historyDays).flag(19, false).flag(20, false).set(21, 0);
        addRecord(s[kSectionGroups], r);
        for (const auto& i : m.instruments) {
            AmpRecord gi;
            gi.set(0, rowId++).set(1, g.id).set(2, i.id).set(3, g.qtyStep).set(4, g.maxQty).set(5, g.minQty);
            gi.set(6, g.spreadBid)
                .set(7, g.spreadAsk)
                .set(8, g.spreadType)
                .set(9, "0")
                .set(10, "0")
                .set(11, 0);
            // Hedged lots hold no margin (liquidation margin 0): the account's hedge mode (0) nets
            // each instrument, as the server's used margin does.
            gi.set(12, 0).flag(13, true).set(14, g.margin).set(15, g.margin).set(16, "0");
            gi.set(17, g.margin)
                .set(18, g.margin)
                .set(19, g.margin)
                .set(20, g.commission)
                .set(21, 1)
                .set(22, 1);
            gi.set(23, "").set(24, "").set(25, g.margin).set(26, 255).flag(27, true);
            addRecord(s[kSectionGroupInstruments], gi);
        }
    }
}

void writeAccounts(Sections& s, const Market& m, const User& u, const SnapshotContext& c) {
    for (const Account* a : m.accountsOf(u.name)) {
        const auto current = c.balances.find(a->id);
        const std::string& balance = current == c.balances.end() ? a->balance : current->second;
        // Equity is the balance (positions are valued by the client); what they hold is not free.
        const auto held = c.usedMargins.find(a->id);
        const std::string used = held == c.usedMargins.end() ? "0" : held->second;
        const auto oneSide = c.oneSideMargins.find(a->id);
        const std::string available =
            platform::Decimal::fromString(balance)
                .value_or(platform::Decimal())
                .subtract(platform::Decimal::fromString(used).value_or(platform::Decimal()))
                .rounded(2)
                .toString();
        AmpRecord r;
        r.set(0, a->id).set(1, a->group).set(2, 1).set(3, "").set(4, balance).set(5, "0").set(6, "0");
        r.set(7, "0").set(8, used).set(9, balance).set(10, available).set(11, "").set(12, 0).set(13, 1);
        r.set(14, 1)
            .set(15, a->name)
            .flag(16, true)
            .set(17, 0)
            .set(18, 0)
            .set(19, 1)
            .set(20, a->tradingStatus);
        r.set(21, "").set(22, "0").set(23, u.id).set(24, 255).set(25, "").set(26, "").set(27, "");
        r.set(28, a->settings)
            .set(29, "")
            .set(30, "")
            .set(31, "")
            .set(32, "")
            .set(33, a->currency)
            .set(34, "");
        r.set(35, oneSide == c.oneSideMargins.end() ? "0" : oneSide->second);
        addRecord(s[kSectionAccounts], r);
    }
}

void writeCurrencies(Sections& s, const Market& m) {
    for (const auto& c : m.currencies) {
        AmpRecord r;
        r.set(0, c.id).set(1, c.code).set(2, c.instrument).set(3, c.bidRate).set(4, c.askRate).set(5, c.mode);
        addRecord(s[kSectionCurrencyList], r);
        r.flag(6, c.direct).set(7, c.depositRate);
        addRecord(s[kSectionTradeCurrencies], r);
    }
}

void writeResourceLinks(Sections& s, const Market& m) {
    for (const auto& link : m.links) {
        AmpRecord r;
        r.set(0, link.id).set(1, link.caption).set(2, link.url).set(3, link.icon).set(4, link.group);
        r.set(5, "")
            .set(6, static_cast<std::int64_t>(m.product.id))
            .flag(7, false)
            .flag(8, false)
            .flag(9, true);
        r.flag(10, false);
        addRecord(s[kSectionResources], r);
    }
}

} // namespace

namespace {

Sections snapshotSections(const Market& market, const User& user, const std::vector<Quote>& quotes,
                          const SnapshotContext& context) {
    Sections s;
    writeUser(s, market, user, context);
    writeProduct(s, market);
    writeTypesAndSessions(s, market);
    writeInstruments(s, market, quotes, context);
    writeGroups(s, market);
    writeAccounts(s, market, user, context);
    writeCurrencies(s, market);
    writeResourceLinks(s, market);
    return s;
}

// The XML form's table of each section and the column name of each record position ("" for a
// position that form does not carry).
struct XmlTable {
    AmpSection section;
    std::string_view table;
    std::vector<std::string_view> columns;
};

const std::vector<XmlTable>& xmlTables() {
    static const std::vector<XmlTable> tables = {
        {kSectionUser,
         "Table1",
         {"userid", "lastrefid", "NewRefid", "ddeenabled", "userenabled", "userTypeId", "forceLogoutRefid",
          "forceLogoutLoadServerId", "appModeId", "canChangePassword", "tradePubPort", "marketdepthPort",
          "hdserverPort", "", "", "systemCurrencyId"}},
        {kSectionProduct, "Table2", {"productId", "productName", "LatestBuild", "", "LatestSupportedBuild"}},
        {kSectionCurrencyList,
         "Table3",
         {"currencyID", "currencyCode", "instrumentID", "bidRate", "askRate", "conversionMode"}},
        {kSectionAccounts,
         "Table4",
         {"AccountId",
          "GroupId",
          "AccountTypeId",
          "",
          "Balance",
          "UnrealisedPL",
          "LeverageOnPositions",
          "CollateralSecurity",
          "UsedMargin",
          "Equity",
          "AvailableMargin",
          "",
          "HedgeModeId",
          "TradeRouteId",
          "AutoExecutionModeId",
          "AccountName",
          "AccountEnabled",
          "InstrumentLimit",
          "WatchListItemLimit",
          "AccountAccessTypeId",
          "TradingStatusId",
          "",
          "AccumulatingStorage",
          "primaryAccountHolderUserid",
          "AvailableOrderTypes",
          "",
          "",
          "",
          "accountSettings",
          "",
          "",
          "",
          "",
          "currencyID",
          "accountSettings2",
          "oneSideMargin"}},
        {kSectionInstrumentTypes, "Table5", {"InstrumentTypeId", "InstrumentTypeName"}},
        {kSectionInstruments,
         "Table6",
         {"InstrumentId",
          "Name",
          "Code",
          "CurrencyID",
          "Enabled",
          "InstrumentTypeId",
          "TickSize",
          "Point",
          "DecimalPlaces",
          "MonthCode",
          "ContractSize",
          "UnitId",
          "TradingStatusId",
          "IsAvailableForWatchList",
          "UnderlyingInstrumentId",
          "MaxUpdateFrequency",
          "CutOffLimitPercentCP",
          "FND",
          "LTD",
          "CircuitLimit",
          "PLCalcModeId",
          "Bid",
          "Ask",
          "Last",
          "High",
          "Low",
          "DayOpen",
          "PrevClose",
          "UpdateTime",
          "CurrentTradeSessionSettingId",
          "HedgeModeId",
          "MaxHoldingDays",
          "HighlightColor",
          "AvailableOrderTypes",
          "",
          "",
          "",
          "isAvailableForTrading",
          "availableOrderSettings",
          "",
          "",
          "mostSignificantDigitLength",
          "leastSignificantDigitLength",
          "priceTick",
          "circuitLimitUp",
          "circuitLimitDown",
          "orderSettings2",
          "BaseCurrencyId",
          "MarginFormulaId"}},
        {kSectionGroupInstruments,
         "Table7",
         {"groupdetailsid",
          "groupid",
          "InstrumentId",
          "OrderQtyStep",
          "MaxOrderQty",
          "MinOrderQty",
          "SpreadBid",
          "SpreadAsk",
          "SpreadTypeId",
          "buyInterestRate",
          "sellInterestRate",
          "LimitMinPips",
          "StopMinPips",
          "AllowShortSelling",
          "Initialmargin",
          "LimitOrderMargin",
          "LiquidationMargin",
          "IntradayOrderMargin",
          "BTSTOrderMargin",
          "OverNightMargin",
          "Commission",
          "AutoExecutionModeId",
          "MarginCalcModeId",
          "",
          "",
          "InitialSellMargin",
          "availableOrderSettings",
          "isAvailableForTrading"}},
        {kSectionGroups,
         "Table8",
         {"GroupId",
          "Name",
          "TradingEnabled",
          "CompanyId",
          "",
          "IsNewsEnabled",
          "IsMailEnabled",
          "IsChatEnabled",
          "IsEAEnabled",
          "InstrumentLimit",
          "WatchListItemLimit",
          "MaxOrderQty",
          "OrderQtyStep",
          "IsTrailingStopEnabled",
          "MarginCallLevel",
          "StopOutLevel",
          "LeverageOnFProfit",
          "RevLeverageOnFLoss",
          "ReportHistoryDaysLimit",
          "SendMailReports",
          "SendExecutionSMS",
          "CreditRating"}},
        {kSectionSessions,
         "Table10",
         {"SettingsId", "SettingsName", "EnterLimitOrder", "EnterMarketOrder", "EditLimitOrder",
          "EditMarketOrder", "ExecuteOrders", "PublishMarketData", "PublishTradeData", "MatchMMwithMMOrders",
          "EnterMarketMakerOrder", "EditMarketMakertOrder", "SessionColor", "UseELP", "",
          "marketTradingStatus"}},
        {kSectionResources,
         "Table11",
         {"resourceId", "caption", "URL", "iconResourceId", "groupName", "resourceType", "productId", "isNew",
          "showFocus", "enabled", "extraData"}},
        {kSectionTradeCurrencies,
         "Table12",
         {"currencyID", "currencyCode", "instrumentID", "bidRate", "askRate", "conversionMode", "isDirect",
          "depositRate"}},
    };
    return tables;
}

// Instrument positions that hold wire dates, which the XML form writes as ISO dates.
bool isInstrumentDate(std::size_t position) {
    return position == 17 || position == 18 || position == 28;
}

} // namespace

std::string ampLoginSnapshot(const Market& market, const User& user, const std::vector<Quote>& quotes,
                             const SnapshotContext& context) {
    const Sections s = snapshotSections(market, user, quotes, context);
    std::array<std::string, kSectionCount> texts;
    for (std::size_t k = 0; k < s.size(); ++k)
        for (const AmpRecord& r : s[k]) {
            texts[k] += r.text();
            texts[k].push_back(wire::kRecord);
        }
    return joinSections(texts.data(), texts.size());
}

std::string xmlLoginSnapshot(const Market& market, const User& user, const std::vector<Quote>& quotes,
                             const SnapshotContext& context) {
    const Sections s = snapshotSections(market, user, quotes, context);
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><NewDataSet>";
    for (const XmlTable& t : xmlTables()) {
        for (const AmpRecord& r : s[t.section]) {
            XmlRow row{std::string(t.table)};
            const auto& fields = r.fields();
            for (std::size_t pos = 0; pos < fields.size() && pos < t.columns.size(); ++pos) {
                if (t.columns[pos].empty())
                    continue;
                const bool date = t.section == kSectionInstruments && isInstrumentDate(pos);
                row.col(t.columns[pos], date ? xmlDate(fields[pos]) : fields[pos]);
            }
            xml += row.str();
        }
    }
    xml += "</NewDataSet>";
    return xml;
}

std::string ampLoginRefusal(int errorCode, std::string_view message) {
    std::array<std::string, kSectionLoginMessages + 1> s;
    AmpRecord r;
    r.set(0, 1).set(1, std::string(message)).set(2, errorCode);
    s[kSectionLoginMessages] = r.text();
    s[kSectionLoginMessages].push_back(wire::kRecord);
    return joinSections(s.data(), s.size());
}

} // namespace testserver
