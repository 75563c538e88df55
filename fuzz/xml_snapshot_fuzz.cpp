// Any bytes as a login snapshot in XML form: loading must not crash, and what it loads must hold
// together: records under the keys of their ids, no tick or quote that is not a finite number, no
// collection past its cap.
#include "fuzz_support.h"
#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "session/snapshot/xml_snapshot_loader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

using namespace tc;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken model: %s\n", what);
        std::abort();
    }
}

bool isNumberNotBelowZero(const platform::Decimal& v) {
    return !v.isNaN() && !v.isNegative();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    XmlSnapshotLoader::Limits limits;
    limits.maxRowsPerTable = 64;
    limits.maxColumnsPerRow = 32;
    limits.maxTables = 16;
    limits.maxColumnBytes = 256;

    const auto tables = XmlSnapshotLoader::collectTables(text, limits);
    check(tables.tables.size() <= limits.maxTables, "too many tables");
    for (const auto& [name, rows] : tables.tables) {
        check(name.find("Table") != std::string::npos, "a table whose name is no table name");
        check(rows.size() <= limits.maxRowsPerTable, "too many rows");
        for (const auto& row : rows)
            check(row.size() <= limits.maxColumnsPerRow, "too many columns");
    }

    SessionModel m;
    XmlSnapshotLoader::fillTableDetails(tables, m);
    for (const auto& [code, item] : m.ItemCollection) {
        check(item && !code.empty() && item->Code == code, "instrument under another code");
        check(isNumberNotBelowZero(item->TickSize), "tick size");
        check(isNumberNotBelowZero(item->priceTick), "price tick");
        check(!item->Bid.isNaN() && !item->Ask.isNaN(), "quote");
    }
    for (const auto& [key, account] : m.AccountDetailCollection)
        check(account && key == sessionKey(account->AccountId), "account under another id");
    for (const auto& [key, group] : m.GroupDetailCollection) {
        check(group && key == sessionKey(group->GroupId), "group under another id");
        for (const GroupInstruments& settings : group->GroupInstrumentCollection)
            check(group->groupInstrument(settings.InstrumentId) == &settings,
                  "group instrument under another id");
    }
    for (const auto& [typeName, entries] : m.symbolTypeCollection)
        check(!entries.empty(), "empty watch-list entry");
    return 0;
}
