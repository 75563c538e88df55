#include "session/snapshot/xml_snapshot_loader.h"

#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/record_fields.h"
#include "model/records/record_layout.h"
#include "model/session_model_lookup.h"
#include "platform/log.h"
#include "platform/utf8.h"
#include "platform/xml_entities.h"
#include "wire/xml_tree.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace tc {

namespace {

// Skipped rows are logged one by one up to this many per table, then only counted.
constexpr std::size_t kLoggedSkipsPerTable = 5;

// The collection key of a 32-bit id column read leniently, so look-ups by id find the record whatever
// the server's spelling ("007", " 7"); nullopt when the row has no such column.
std::optional<std::string> idKey(const XmlSnapshotRow& row, std::string_view column) {
    const auto* v = row.get(column);
    if (!v)
        return std::nullopt;
    return sessionKey(RecordFields::toInt(*v));
}

// Only the product id outlives the snapshot, in the user record (as the other form keeps it).
constexpr auto kProductColumns = records::recordLayout(records::int32("productId", &UserInfo::productID));

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

// The grid settled as the other form settles it, with word of what the server left out.
void applyTickRules(ItemDetails& item) {
    if (!(item.TickSize > platform::Decimal()) && item.DecimalPlaces > ItemDetails::kMaxDecimalPlaces)
        platform::Log::warning("instrument \"{}\": {} decimal places taken as {} for its tick",
                               item.Code.substr(0, 64), item.DecimalPlaces, ItemDetails::kMaxDecimalPlaces);
    item.SettleTickSizes();
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
    auto user = std::make_shared<UserInfo>();
    user->readSnapshotColumns(row);
    model.userInfo = std::move(user);
    return true;
}

bool XmlSnapshotLoader::fillProductInfoDetails(const XmlSnapshotRow& row, SessionModel& model) {
    if (model.userInfo)
        records::readColumns(row, kProductColumns, *model.userInfo);
    return true;
}

bool XmlSnapshotLoader::fillAccountDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const auto key = idKey(row, "AccountId");
    if (!key)
        return false;
    auto account = recordFor(model.AccountDetailCollection, *key, "AccountDetailCollection");
    if (!account)
        return false;
    account->readSnapshotColumns(row);
    return true;
}

bool XmlSnapshotLoader::fillGroupDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const auto key = idKey(row, "GroupId");
    if (!key)
        return false;
    auto group = recordFor(model.GroupDetailCollection, *key, "GroupDetailCollection");
    if (!group)
        return false;
    group->readSnapshotColumns(row);
    return true;
}

bool XmlSnapshotLoader::fillItemType(const XmlSnapshotRow& row, SessionModel& model) {
    const auto key = idKey(row, "InstrumentTypeId");
    if (!key)
        return false;
    auto type = recordFor(model.ItemTypeCollection, *key, "ItemTypeCollection");
    if (!type)
        return false;
    type->readSnapshotColumns(row);
    return true;
}

bool XmlSnapshotLoader::fillItemDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const auto* code = row.get("Code");
    if (!code || !ItemDetails::IsAcceptableCode(*code))
        return false;
    auto item = recordFor(model.ItemCollection, *code, "ItemCollection");
    if (!item)
        return false;
    ItemDetails& i = *item;
    i.readSnapshotColumns(row);
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
    const auto groupKey = idKey(row, "groupid");
    const auto* instrumentText = row.get("InstrumentId");
    if (!groupKey || !instrumentText)
        return false;
    auto* group = model.GroupDetailCollection.get(*groupKey);
    if (!group || !*group)
        return false;
    const std::int32_t instrumentId = RecordFields::toInt(*instrumentText);
    // A row for settings already filed fills them in further.
    const GroupInstruments* known = (*group)->groupInstrument(instrumentId);
    GroupInstruments s = known ? *known : GroupInstruments();
    s.readSnapshotColumns(row);
    // InstrumentId was read from the same text as instrumentId, so this replaces `known`.
    return (*group)->fileGroupInstrument(s);
}

bool XmlSnapshotLoader::fillSessionSettingCollection(const XmlSnapshotRow& row, SessionModel& model) {
    const auto* id = row.get("SettingsId");
    if (!id)
        return false;
    const auto key =
        sessionKey64(static_cast<std::uint64_t>(static_cast<std::int64_t>(RecordFields::toInt(*id))));
    auto settings = recordFor(model.SessionSettingCollection, key, "SessionSettingCollection");
    if (!settings)
        return false;
    settings->readSnapshotColumns(row);
    return true;
}

bool XmlSnapshotLoader::fillCurrencyListDetails(const XmlSnapshotRow& row, SessionModel& model) {
    if (!row.contains("currencyID"))
        return false;
    auto currency = std::make_shared<CurrenyList>();
    currency->readSnapshotColumns(row);
    return model.fileTradeCurrency(std::move(currency));
}

// Replaces a currency-list entry of the same currency.
bool XmlSnapshotLoader::fillTradeCurrencyDetails(const XmlSnapshotRow& row, SessionModel& model) {
    if (!row.contains("currencyID"))
        return false;
    auto currency = std::make_shared<TradeCurrency>();
    currency->readSnapshotColumns(row);
    return model.fileTradeCurrency(std::move(currency));
}

bool XmlSnapshotLoader::fillLoginInfoDetails(const XmlSnapshotRow& row, SessionModel& model) {
    const auto* codeText = row.get("ErrorCode");
    if (!codeText)
        return false;
    const std::int32_t code = RecordFields::toInt(*codeText);
    if (code <= 0 || !LoginInfoMessage::isEnumDefined(code))
        return false;
    auto message = std::make_shared<LoginInfoMessage>();
    message->readSnapshotColumns(row);
    message->ErrorCode = code;
    return model.fileLoginInfoMessage(std::move(message));
}

bool XmlSnapshotLoader::fillResourceDetails(const XmlSnapshotRow& row, SessionModel& model) {
    auto resource = std::make_shared<ResourceDetails>();
    resource->readSnapshotColumns(row);
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
