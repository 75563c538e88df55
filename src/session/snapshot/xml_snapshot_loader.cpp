#include "session/snapshot/xml_snapshot_loader.h"

#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/session_model_lookup.h"
#include "model/text/formatter.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "platform/utf8.h"
#include "platform/xml_entities.h"
#include "wire/xml_tree.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>

namespace tc {

namespace {

// Skipped rows are logged one by one up to this many per table, then only counted.
constexpr std::size_t kLoggedSkipsPerTable = 5;

// Typed readings of a row's columns. Each stores the column's reading into `out` when the row holds
// the column and leaves `out` alone otherwise.
class Columns {
public:
    explicit Columns(const XmlSnapshotRow& row) : row_(row) {}

    const std::string* get(std::string_view name) const { return row_.get(name); }
    bool has(std::string_view name) const { return row_.contains(name); }

    bool text(std::string_view name, std::string& out) const {
        const auto* v = get(name);
        if (v)
            out = *v;
        return v;
    }
    bool integer(std::string_view name, std::int32_t& out) const {
        const auto* v = get(name);
        if (v)
            out = RecordFields::toInt(*v);
        return v;
    }
    // A 32-bit reading sign-extended into a 64-bit target.
    bool integer(std::string_view name, std::int64_t& out) const {
        const auto* v = get(name);
        if (v)
            out = RecordFields::toInt(*v);
        return v;
    }
    bool integer(std::string_view name, std::uint64_t& out) const {
        const auto* v = get(name);
        if (v)
            out = static_cast<std::uint64_t>(static_cast<std::int64_t>(RecordFields::toInt(*v)));
        return v;
    }
    bool long64(std::string_view name, std::int64_t& out) const {
        const auto* v = get(name);
        if (v)
            out = RecordFields::toInt64(*v);
        return v;
    }
    bool long64(std::string_view name, std::uint64_t& out) const {
        const auto* v = get(name);
        if (v)
            out = static_cast<std::uint64_t>(RecordFields::toInt64(*v));
        return v;
    }
    // "nan" and "inf" read as 0: no price or amount of the server is one, and they poison every sum.
    bool real(std::string_view name, double& out) const {
        const auto* v = get(name);
        if (v) {
            const double d = platform::lenientReal(*v);
            out = std::isfinite(d) ? d : 0.0;
        }
        return v;
    }
    // The exact reading, as the record layouts read it: malformed, NaN and out-of-range texts as 0.
    bool real(std::string_view name, platform::Decimal& out) const {
        const auto* v = get(name);
        if (v)
            out = lenientDecimal(*v);
        return v;
    }
    bool real(std::string_view name, platform::CompactDecimal& out) const {
        const auto* v = get(name);
        if (v)
            out = RecordFields::compactOf(lenientDecimal(*v));
        return v;
    }
    bool flag(std::string_view name, bool& out) const {
        const auto* v = get(name);
        if (v)
            out = platform::lenientFlag(*v);
        return v;
    }
    // The display text of a date with a UTC offset, in universal time; "" when the text is not such a date.
    bool date(std::string_view name, std::string& out) const {
        const auto* v = get(name);
        if (v) {
            out = Formatter::wireDateString(*v, XmlSnapshotLoader::kSourceDateFormat,
                                            XmlSnapshotLoader::kDisplayDateFormat)
                      .value_or(std::string());
        }
        return v;
    }
    bool date(std::string_view name, std::optional<WallTime>& out) const {
        const auto* v = get(name);
        if (v)
            out = wallTimeFromText(*v, XmlSnapshotLoader::kSourceDateFormat);
        return v;
    }

private:
    const XmlSnapshotRow& row_;
};

// The collection key of a 32-bit id column read leniently, so look-ups by id find the record whatever
// the server's spelling ("007", " 7"); nullopt when the row has no such column.
std::optional<std::string> idKey(const Columns& c, std::string_view column) {
    const auto* v = c.get(column);
    if (!v)
        return std::nullopt;
    return sessionKey(RecordFields::toInt(*v));
}

// Looks up the record under `key`, or makes one and files it; nullptr when the collection is full.
template <class V>
std::shared_ptr<V> recordFor(SessionModel::Collection<V>& collection, const std::string& key,
                             std::string_view collectionName) {
    if (auto* found = collection.get(key); found && *found)
        return *found;
    auto made = std::make_shared<V>();
    if (!SessionModel::file(collection, key, made, collectionName))
        return nullptr;
    return made;
}

// A tick that is not above 0 falls back on the decimals (clamped to what a display
// shows, so 1 / 10^d stays a normal positive number); priceTick, when not sent, follows TickSize.
void applyTickRules(ItemDetails& item) {
    if (!(item.TickSize > platform::Decimal())) {
        item.TickSize = platform::CompactDecimal();
        if (item.DecimalPlaces > 0) {
            if (item.DecimalPlaces > ItemDetails::kMaxDecimalPlaces)
                platform::Log::warning("instrument \"{}\": {} decimal places taken as {} for its tick",
                                       item.Code.substr(0, 64), item.DecimalPlaces,
                                       ItemDetails::kMaxDecimalPlaces);
            item.TickSize = platform::CompactDecimal(platform::Decimal::fromParts(
                false, 1, -std::min(item.DecimalPlaces, ItemDetails::kMaxDecimalPlaces)));
        }
    }
    if (!(item.priceTick > platform::Decimal()))
        item.priceTick = item.TickSize;
    if (item.priceTick.isZero())
        platform::Log::info("instrument \"{}\" has no tick size; spreads leave its quote alone",
                            item.Code.substr(0, 64));
}

void addToSymbolTypes(SessionModel& model, const ItemDetails& item) {
    std::string entry = item.Code + ":" + item.Name;
    if (auto* listed = model.symbolTypeCollection.get(item.InstrumentTypeName)) {
        *listed += ",";
        *listed += entry;
        return;
    }
    SessionModel::file(model.symbolTypeCollection, item.InstrumentTypeName, std::move(entry),
                       "symbolTypeCollection");
}

// Counts and logs the rows one table skips.
class SkipLog {
public:
    explicit SkipLog(std::string_view table) : table_(table) {}
    ~SkipLog() {
        if (skipped_ > kLoggedSkipsPerTable)
            platform::Log::warning("snapshot table {}: {} rows skipped in all", table_, skipped_);
    }
    SkipLog(const SkipLog&) = delete;
    SkipLog& operator=(const SkipLog&) = delete;

    void skip(std::size_t rowNumber, std::string_view why) {
        if (++skipped_ <= kLoggedSkipsPerTable)
            platform::Log::warning("snapshot table {} row {} skipped: {}", table_, rowNumber, why);
    }

private:
    std::string_view table_;
    std::size_t skipped_ = 0;
};

template <class Loader>
void loadEvery(const XmlSnapshotTables& tables, std::string_view table, SessionModel& model, Loader loader) {
    const auto* rows = tables.rows(table);
    if (!rows)
        return;
    SkipLog log(table);
    for (std::size_t i = 0; i < rows->size(); ++i) {
        if (!loader((*rows)[i], model))
            log.skip(i, "no key column, an unknown owner or a full collection");
    }
}

// Reads one row element's columns; the reason when the row is bad, nullptr when it is good.
const char* readRow(const XMLTreeElement* element, const XmlSnapshotLoader::Limits& limits,
                    XmlSnapshotRow& row, std::size_t& unknownEntities) {
    std::size_t columns = 0;
    for (const XMLTreeElement* c = element->firstChild; c; c = c->nextSibling) {
        if (++columns > limits.maxColumnsPerRow)
            return "too many columns";
        const auto name = XMLTree::elementName(c);
        const auto text = XMLTree::textForElement(c);
        if (!name || !text)
            return "a column that is not UTF-8";
        if (name->size() > limits.maxColumnBytes || text->size() > limits.maxColumnBytes)
            return "a column longer than the cap";
        row.insert_or_assign(std::string(*name), XmlSnapshotLoader::decodeEntities(*text, &unknownEntities));
    }
    return nullptr;
}

} // namespace

const std::vector<XmlSnapshotRow>* XmlSnapshotTables::rows(std::string_view table) const {
    return tables.get(table);
}

XmlSnapshotTables XmlSnapshotLoader::collectTables(std::string_view xml, const Limits& limits) {
    XmlSnapshotTables result;
    auto tree = XMLTree::treeWithXMLString(xml);
    const XMLTreeElement* root = tree->rootXMLElement();
    if (!root) {
        result.error = tree->error().empty() ? std::string("no root element") : tree->error();
        platform::Log::warning("login snapshot is not XML: {}", result.error);
        return result;
    }
    std::size_t logged = 0;
    auto logSkip = [&](std::string_view table, std::size_t rowNumber, std::string_view why) {
        if (++logged <= kLoggedSkipsPerTable * 4)
            platform::Log::warning("snapshot row {} of {} skipped: {}", rowNumber, table.substr(0, 64), why);
    };

    // Document order, iteratively (the reader caps the depth, but a loop needs no stack at all). A row's
    // children are its columns and are not searched for further rows.
    const XMLTreeElement* e = root;
    while (e) {
        bool descend = true;
        const auto name = XMLTree::elementName(e);
        if (name && name->find("Table") != std::string_view::npos) {
            descend = false;
            auto* rows = result.tables.get(*name);
            if (!rows) {
                if (name->size() > limits.maxColumnBytes) {
                    ++result.skippedRows;
                    logSkip(*name, 0, "a table name longer than the cap");
                } else if (result.tables.size() >= limits.maxTables) {
                    ++result.skippedRows;
                    ++result.rowsPastCaps;
                    logSkip(*name, 0, "too many tables");
                } else {
                    rows = &result.tables.insert_or_assign(std::string(*name), std::vector<XmlSnapshotRow>{})
                                .first->second;
                }
            }
            if (rows) {
                XmlSnapshotRow row;
                const std::size_t rowNumber = rows->size();
                if (rows->size() >= limits.maxRowsPerTable) {
                    ++result.skippedRows;
                    ++result.rowsPastCaps;
                    logSkip(*name, rowNumber, "past the row cap");
                } else if (const char* why = readRow(e, limits, row, result.unknownEntities)) {
                    ++result.skippedRows;
                    logSkip(*name, rowNumber, why);
                } else {
                    rows->push_back(std::move(row));
                }
            }
        }
        if (descend && e->firstChild) {
            e = e->firstChild;
            continue;
        }
        while (e != root && !e->nextSibling)
            e = e->parent;
        if (e == root)
            break;
        e = e->nextSibling;
    }
    if (result.skippedRows > 0)
        platform::Log::warning("login snapshot: {} rows skipped", result.skippedRows);
    return result;
}

void XmlSnapshotLoader::fillTableDetails(const XmlSnapshotTables& tables, SessionModel& model,
                                         const InstrumentsLoadedHook& instrumentsLoaded) {
    if (const auto* rows = tables.rows(kUserTable); rows && !rows->empty())
        fillUserInfoDetails(rows->front(), model);
    if (const auto* rows = tables.rows(kProductTable); rows && !rows->empty())
        fillProductInfoDetails(rows->front(), model);
    loadEvery(tables, kAccountTable, model, fillAccountDetails);
    loadEvery(tables, kGroupTable, model, fillGroupDetails);
    loadEvery(tables, kInstrumentTypeTable, model, fillItemType);
    loadEvery(tables, kInstrumentTable, model, fillItemDetails);
    linkCalculationItems(model);
    if (instrumentsLoaded)
        instrumentsLoaded(model);
    loadEvery(tables, kGroupInstrumentTable, model, fillGroupInstruments);
    SetAllSymbolsSpread(model);
    loadEvery(tables, kSessionSettingsTable, model, fillSessionSettingCollection);
    loadEvery(tables, kCurrencyListTable, model, fillCurrencyListDetails);
    loadEvery(tables, kTradeCurrencyTable, model, fillTradeCurrencyDetails);
    linkTradeCurrencies(model);
    loadEvery(tables, kLoginMessageTable, model, fillLoginInfoDetails);
    loadEvery(tables, kResourceTable, model, fillResourceDetails);
}

SessionModel XmlSnapshotLoader::load(std::string_view xml, const Limits& limits,
                                     const InstrumentsLoadedHook& instrumentsLoaded) {
    SessionModel model;
    fillTableDetails(collectTables(xml, limits), model, instrumentsLoaded);
    return model;
}

bool XmlSnapshotLoader::fillUserInfoDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    auto user = std::make_shared<UserInfo>();
    c.integer("NewRefid", user->NewRefId);
    c.integer("OfflineMessageCount", user->OfflineMessageCount);
    c.integer("appModeId", user->AppModeId);
    c.flag("canChangePassword", user->CanChangePassword);
    c.integer("ddeenabled", user->DdeEnabled);
    c.integer("forceLogoutLoadServerId", user->ForceLogoutLoadServerId);
    c.integer("forceLogoutRefid", user->ForceLogoutRefId);
    c.integer("hdserverPort", user->hdServerPort);
    c.integer("lastrefid", user->LastRefId);
    c.integer("marketdepthPort", user->marketDepthPort);
    c.integer("tradePubPort", user->tradePubPort);
    c.integer("userTypeId", user->UserTypeId);
    c.flag("userenabled", user->UserEnabled);
    c.integer("userid", user->UserId);
    c.long64("systemCurrencyId", user->systemCurrencyId);
    model.userInfo = std::move(user);
    return true;
}

bool XmlSnapshotLoader::fillProductInfoDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    ProductInfo product;
    c.text("LatestBuild", product.LatestBuild);
    c.text("LatestSupportedBuild", product.LatestSupportedBuild);
    const bool hasId = c.integer("productId", product.ProductId);
    c.text("productName", product.ProductName);
    // Only the product id outlives the snapshot, in the user record (as the other form keeps it).
    if (hasId && model.userInfo)
        model.userInfo->productID = static_cast<std::uint64_t>(static_cast<std::int64_t>(product.ProductId));
    return true;
}

bool XmlSnapshotLoader::fillAccountDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    const auto key = idKey(c, "AccountId");
    if (!key)
        return false;
    auto account = recordFor(model.AccountDetailCollection, *key, "AccountDetailCollection");
    if (!account)
        return false;
    AccountDetails& a = *account;
    if (c.integer("AccountAccessTypeId", a.AccountAccessTypeId)) {
        const std::int32_t v = a.AccountAccessTypeId;
        a.accountAccessType = (v >= 1 && v <= 4) || v == 10 ? v : 0;
    }
    c.flag("AccountEnabled", a.AccountEnabled);
    c.integer("AccountId", a.AccountId);
    c.text("AccountName", a.AccountName);
    c.long64("AccountTypeId", a.tradeAccountType);
    c.integer("AutoExecutionModeId", a.AutoExecutionModeId);
    c.real("AvailableMargin", a.AvailableMargin);
    c.real("Balance", a.Balance);
    c.integer("BranchId", a.BranchId);
    c.real("CollateralSecurity", a.CollateralSecurity);
    c.real("Equity", a.Equity);
    c.text("GroupId", a.GroupId);
    c.integer("HedgeModeId", a.HedgeModeId);
    c.integer("InstrumentLimit", a.InstrumentLimit);
    c.real("LeverageOnPositions", a.LeverageOnPositions);
    c.integer("TradeRouteId", a.TradeRouteId);
    if (c.integer("TradingStatusId", a.TradingStatusId) && a.TradingStatusId >= 0 && a.TradingStatusId <= 6)
        a.tradingStatus = a.TradingStatusId;
    c.real("UnrealisedPL", a.UnrealisedPL);
    c.real("UsedMargin", a.UsedMargin);
    c.integer("WatchListItemLimit", a.WatchlistItemLimit);
    c.real("AccumulatingStorage", a.AccumulatingStorage);
    c.integer("AvailableOrderTypes", a.availableOrderTypes);
    // Columns the other form of the snapshot carries as well.
    c.long64("primaryAccountHolderUserid", a.primaryAccountHolderUserid);
    c.integer("accountSettings", a.accountSettings);
    c.long64("currencyID", a.currencyID);
    c.text("accountSettings2", a.accountSettings2);
    c.real("oneSideMargin", a.oneSideMargin);
    return true;
}

bool XmlSnapshotLoader::fillGroupDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    const auto key = idKey(c, "GroupId");
    if (!key)
        return false;
    auto group = recordFor(model.GroupDetailCollection, *key, "GroupDetailCollection");
    if (!group)
        return false;
    GroupDetails& g = *group;
    c.integer("CompanyId", g.CompanyId);
    c.integer("CreditRating", g.CreditRating);
    c.integer("GroupId", g.GroupId);
    c.integer("InstrumentLimit", g.InstrumentLimit);
    c.flag("IsChatEnabled", g.IsChatEnabled);
    c.flag("IsEAEnabled", g.IsEAEnabled);
    c.flag("IsMailEnabled", g.IsMailEnabled);
    c.flag("IsNewsEnabled", g.IsNewsEnabled);
    c.flag("IsTrailingStopEnabled", g.IsTrailingStopEnabled);
    c.integer("LeverageOnFProfit", g.LeverageOnFProfit);
    c.real("MarginCallLevel", g.MarginCallLevel);
    c.real("MaxOrderQty", g.MaxOrderQty);
    c.text("Name", g.Name);
    c.real("OrderQtyStep", g.OrderQtyStep);
    c.integer("ReportHistoryDaysLimit", g.ReportHistoryDaysLimit);
    c.integer("RevLeverageOnFLoss", g.RevLeverageOnFLoss);
    c.flag("SendExecutionSMS", g.SendExecutionSMS);
    c.flag("SendMailReports", g.SendMailReports);
    c.real("StopOutLevel", g.StopOutLevel);
    c.flag("TradingEnabled", g.TradingEnabled);
    c.integer("WatchListItemLimit", g.WatchlistItemLimit);
    return true;
}

bool XmlSnapshotLoader::fillItemType(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    const auto key = idKey(c, "InstrumentTypeId");
    if (!key)
        return false;
    auto type = recordFor(model.ItemTypeCollection, *key, "ItemTypeCollection");
    if (!type)
        return false;
    c.integer("InstrumentTypeId", type->InstrumentTypeId);
    c.text("InstrumentTypeName", type->InstrumentTypeName);
    return true;
}

bool XmlSnapshotLoader::fillItemDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    const auto* code = c.get("Code");
    if (!code || !ItemDetails::IsAcceptableCode(*code))
        return false;
    auto item = recordFor(model.ItemCollection, *code, "ItemCollection");
    if (!item)
        return false;
    ItemDetails& i = *item;
    c.real("Ask", i.Ask);
    c.real("Bid", i.Bid);
    c.real("CircuitLimit", i.CircuitLimit);
    c.text("Code", i.Code);
    c.real("ContractSize", i.ContractSize);
    c.integer("CurrencyID", i.CurrencyID);
    c.integer("CutOffLimitPercentCP", i.CutOffLimitPercentCP);
    c.real("DayOpen", i.DayOpen);
    c.integer("DecimalPlaces", i.DecimalPlaces);
    c.flag("Enabled", i.Enabled);
    c.date("FND", i.FND);
    c.real("High", i.High);
    c.real("Low", i.Low);
    c.real("Last", i.Last);
    c.integer("InstrumentId", i.InstrumentId);
    c.integer("InstrumentTypeId", i.InstrumentTypeId);
    c.flag("IsAvailableForWatchList", i.IsAvailableForWatchlist);
    c.date("LTD", i.LTD);
    c.real("MaxUpdateFrequency", i.MaxUpdateFrequency);
    c.text("MonthCode", i.MonthCode);
    c.text("Name", i.Name);
    c.integer("PLCalcModeId", i.PLCalcModeId);
    c.real("Point", i.Point);
    c.real("PrevClose", i.PrevClose);
    c.real("TickSize", i.TickSize);
    if (c.integer("TradingStatusId", i.TradingStatusId))
        i.instrumentTradingStatus = i.TradingStatusId >= 1 && i.TradingStatusId <= 4 ? i.TradingStatusId : 0;
    c.integer("UnderlyingInstrumentId", i.UnderlyingInstrumentId);
    c.integer("UnitId", i.UnitId);
    c.date("UpdateTime", i.UpdateTime);
    c.integer("CurrentTradeSessionSettingId", i.CurrentTradeSessionSettingId);
    c.integer("AvailableOrderTypes", i.availableOrderTypes);
    // Columns the other form of the snapshot carries as well.
    c.integer("HedgeModeId", i.HedgeModeId);
    c.integer("MaxHoldingDays", i.MaxHoldingDays);
    c.integer("HighlightColor", i.HighlightColor);
    c.flag("isAvailableForTrading", i.isAvailableForTrading);
    c.integer("availableOrderSettings", i.availableOrderSettings);
    c.long64("mostSignificantDigitLength", i.mostSignificantDigitLength);
    c.long64("leastSignificantDigitLength", i.leastSignificantDigitLength);
    c.real("priceTick", i.priceTick);
    c.real("circuitLimitUp", i.circuitLimitUp);
    c.real("circuitLimitDown", i.circuitLimitDown);
    c.long64("orderSettings2", i.orderSettings2);
    c.long64("BaseCurrencyId", i.BaseCurrencyId);
    c.long64("MarginFormulaId", i.MarginFormulaId);
    applyTickRules(i);

    i.InstrumentTypeName = model.getInstrumentTypeName(i.InstrumentTypeId).value_or(std::string());
    if (i.IsAvailableForWatchlist && i.Enabled) {
        // Without a type name there is nothing to list the instrument under; it stays loaded.
        if (model.ItemTypeCollection.contains(sessionKey(i.InstrumentTypeId)))
            addToSymbolTypes(model, i);
        else
            platform::Log::warning("instrument \"{}\" has unknown type {}; not offered for the watch list",
                                   i.Code.substr(0, 64), i.InstrumentTypeId);
    }
    return true;
}

bool XmlSnapshotLoader::fillGroupInstruments(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    const auto groupKey = idKey(c, "groupid");
    const auto* instrumentText = c.get("InstrumentId");
    if (!groupKey || !instrumentText)
        return false;
    auto* group = model.GroupDetailCollection.get(*groupKey);
    if (!group || !*group)
        return false;
    const std::int32_t instrumentId = RecordFields::toInt(*instrumentText);
    // A row for settings already filed fills them in further.
    const GroupInstruments* known = (*group)->groupInstrument(instrumentId);
    GroupInstruments s = known ? *known : GroupInstruments();
    c.flag("AllowShortSelling", s.AllowShortSelling);
    c.integer("AutoExecutionModeId", s.AutoExecutionModeId);
    c.real("BTSTOrderMargin", s.BTSTOrderMargin);
    c.real("Commission", s.Commission);
    c.real("Initialmargin", s.InitialMargin);
    c.integer("InstrumentId", s.InstrumentId);
    c.real("IntradayOrderMargin", s.IntradayOrderMargin);
    c.integer("LimitMinPips", s.LimitMinPips);
    c.real("LimitOrderMargin", s.LimitOrderMargin);
    c.real("LiquidationMargin", s.LiquidationMargin);
    if (const auto* mode = c.get("MarginCalcModeId"))
        s.loadMarginCalcModeId(RecordFields::toInt(*mode));
    c.real("MaxOrderQty", s.MaxOrderQty);
    c.real("MinOrderQty", s.MinOrderQty);
    c.real("OrderQtyStep", s.OrderQtyStep);
    c.real("OverNightMargin", s.OverNightMargin);
    c.integer("PLCalcModeId", s.PLCalcModeId);
    c.integer("SpreadAsk", s.SpreadAsk);
    c.integer("SpreadBid", s.SpreadBid);
    c.integer("SpreadTypeId", s.SpreadTypeId);
    c.integer("StopMinPips", s.StopMinPips);
    c.real("buyInterestRate", s.BuyInterestRate);
    c.integer("groupdetailsid", s.groupdetailsid);
    c.integer("groupid", s.GroupId);
    c.real("sellInterestRate", s.SellInterestRate);
    // Columns the other form of the snapshot carries as well.
    c.real("InitialSellMargin", s.InitialSellMargin);
    c.integer("availableOrderSettings", s.availableOrderSettings);
    c.flag("isAvailableForTrading", s.isAvailableForTrading);
    // InstrumentId was read from the same text as instrumentId, so this replaces `known`.
    return (*group)->fileGroupInstrument(s);
}

bool XmlSnapshotLoader::fillSessionSettingCollection(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    const auto* id = c.get("SettingsId");
    if (!id)
        return false;
    const auto key =
        sessionKey64(static_cast<std::uint64_t>(static_cast<std::int64_t>(RecordFields::toInt(*id))));
    auto settings = recordFor(model.SessionSettingCollection, key, "SessionSettingCollection");
    if (!settings)
        return false;
    SessionSettings& s = *settings;
    // The allow flags are derived in one order whatever the columns' order (enter limit, enter market,
    // edit limit, as the other form sends them), so both forms give the same permissions.
    bool enterLimit = false;
    bool enterMarket = false;
    bool editLimit = false;
    const bool hasEditLimit = c.flag("EditLimitOrder", editLimit);
    c.flag("EditMarketMakertOrder", s.editMarketMakerOrder);
    c.flag("EditMarketOrder", s.editMarketOrder);
    const bool hasEnterLimit = c.flag("EnterLimitOrder", enterLimit);
    c.flag("EnterMarketMakerOrder", s.enterMarketMakerOrder);
    const bool hasEnterMarket = c.flag("EnterMarketOrder", enterMarket);
    if (hasEnterLimit)
        s.loadEnterLimitOrder(enterLimit);
    if (hasEnterMarket)
        s.loadEnterMarketOrder(enterMarket);
    if (hasEditLimit)
        s.loadEditLimitOrder(editLimit);
    c.flag("ExecuteOrders", s.executeOrders);
    c.flag("MatchMMwithMMOrders", s.matchMMWithMMOrders);
    c.flag("PublishMarketData", s.publishMarketData);
    c.flag("PublishTradeData", s.publishTradeData);
    std::int32_t color = 0;
    if (c.integer("SessionColor", color))
        s.sessionColor = CalibratedColor::fromRGB(color);
    c.integer("SettingsId", s.settingsID);
    c.text("SettingsName", s.settingsName);
    c.flag("UseELP", s.useELP);
    // A column the other form of the snapshot carries as well.
    c.long64("marketTradingStatus", s.marketTradingStatus);
    return true;
}

namespace {

void readCurrencyListColumns(const Columns& c, TradeCurrency& currency) {
    c.long64("currencyID", currency.currencyID);
    c.text("currencyCode", currency.currencyCode);
    c.long64("instrumentID", currency.instrumentID);
    c.real("bidRate", currency.bidRate);
    c.real("askRate", currency.askRate);
    c.long64("conversionMode", currency.conversionMode);
}

} // namespace

bool XmlSnapshotLoader::fillCurrencyListDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    if (!c.has("currencyID"))
        return false;
    auto currency = std::make_shared<CurrenyList>();
    readCurrencyListColumns(c, *currency);
    return model.fileTradeCurrency(std::move(currency));
}

// Replaces a currency-list entry of the same currency.
bool XmlSnapshotLoader::fillTradeCurrencyDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    if (!c.has("currencyID"))
        return false;
    auto currency = std::make_shared<TradeCurrency>();
    readCurrencyListColumns(c, *currency);
    c.flag("isDirect", currency->isDirect);
    c.real("depositRate", currency->depositRate);
    return model.fileTradeCurrency(std::move(currency));
}

bool XmlSnapshotLoader::fillLoginInfoDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    std::int32_t code = 0;
    if (!c.integer("ErrorCode", code) || code <= 0 || !LoginInfoMessage::isEnumDefined(code))
        return false;
    auto message = std::make_shared<LoginInfoMessage>();
    c.integer("DisplayMode", message->DisplayMode);
    c.text("Message", message->Message);
    message->ErrorCode = code;
    return model.fileLoginInfoMessage(std::move(message));
}

bool XmlSnapshotLoader::fillResourceDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const Columns c(row);
    auto resource = std::make_shared<ResourceDetails>();
    c.long64("resourceId", resource->resourceId);
    c.text("caption", resource->caption);
    c.text("URL", resource->URL);
    c.text("iconResourceId", resource->iconResourceId);
    c.text("groupName", resource->groupName);
    c.text("resourceType", resource->resourceType);
    c.long64("productId", resource->productId);
    c.flag("isNew", resource->isNew);
    c.flag("showFocus", resource->showFocus);
    c.flag("enabled", resource->enabled);
    c.flag("extraData", resource->extraData);
    // A resource with neither an icon nor a caption has no key to be found under.
    if (resource->collectionKey().empty())
        return false;
    return model.fileResource(std::move(resource));
}

void XmlSnapshotLoader::linkCalculationItems(SessionModel& model) {
    const SessionModelLookup lookup(model);
    for (auto& [code, item] : model.ItemCollection) {
        if (item && item->CurrencyID > 0)
            item->CalculationItems = lookup.instrumentForId(item->CurrencyID);
    }
}

void XmlSnapshotLoader::linkTradeCurrencies(SessionModel& model) {
    for (auto& [key, account] : model.AccountDetailCollection) {
        if (account)
            account->tradeCurrency = model.tradeCurrency(account->currencyID);
    }
}

std::string XmlSnapshotLoader::decodeEntities(std::string_view text, std::size_t* unknownEntities) {
    if (text.find('&') == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        if (ch != '&') {
            out += ch;
            ++i;
            continue;
        }
        const std::size_t semi = text.find(';', i + 1);
        // Entity names are short; a far ';' belongs to something else.
        if (semi == std::string_view::npos || semi - i > 12) {
            out += ch;
            ++i;
            continue;
        }
        const std::string_view ref = text.substr(i + 1, semi - i - 1);
        bool decoded = true;
        if (const auto c = platform::predefinedXmlEntity(ref)) {
            out += *c;
        } else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x' || ref[1] == 'X';
            const auto value = platform::characterReferenceValue(ref.substr(hex ? 2 : 1), hex);
            if (!value || *value == 0)
                decoded = false;
            else
                platform::appendUtf8(out, static_cast<char32_t>(*value));
        } else {
            decoded = false;
        }
        if (!decoded && unknownEntities)
            ++*unknownEntities;
        if (decoded) {
            i = semi + 1;
        } else {
            out += ch;
            ++i;
        }
    }
    return out;
}

} // namespace tc
