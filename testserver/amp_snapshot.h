#pragma once
// Writer of the login snapshot in its control-character ("AMP") form: sections cut by 0x07, records
// by 0x06, fields by 0x05, each field at the position the client reads it from; and in its XML form,
// made from the same records.
#include "market.h"
#include "price_book.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

// Positions in the snapshot's section list.
enum AmpSection : int {
    kSectionUser = 0,
    kSectionProduct = 1,
    kSectionInstrumentTypes = 2,
    kSectionSessions = 3,
    kSectionInstruments = 4,
    kSectionGroups = 5,
    kSectionGroupInstruments = 6,
    kSectionAccounts = 8,
    kSectionLoginMessages = 16,
    kSectionResources = 19,
    kSectionCurrencyList = 20,
    kSectionTradeCurrencies = 21,
    kSectionCount = 22,
};

// One record: fields by position, the positions in between left empty.
class AmpRecord {
public:
    AmpRecord& set(std::size_t position, std::string value);
    AmpRecord& set(std::size_t position, std::int64_t value) { return set(position, std::to_string(value)); }
    AmpRecord& flag(std::size_t position, bool value) {
        return set(position, std::string(value ? "1" : "0"));
    }
    // The fields joined by 0x05.
    std::string text() const;
    const std::vector<std::string>& fields() const { return fields_; }

private:
    std::vector<std::string> fields_;
};

struct SnapshotContext {
    int feedPort = 0;
    int dataPort = 0;
    int referenceId = 0;
    std::string updateTime; // "yyyyMMddHHmmss", the instruments' quote time
    // Current balance by account id; an account missing here shows the market file's.
    std::map<int, std::string> balances;
    // The margin each account's open positions hold (decimal text); none missing here holds any.
    std::map<int, std::string> usedMargins;
    // Each account's one-side margin (decimal text); 0 for an account missing here.
    std::map<int, std::string> oneSideMargins;
};

// The whole snapshot of one signed-in user: every section 0 to 21, accounts of that user only, the
// instruments at their current prices (quotes in the market's instrument order).
std::string ampLoginSnapshot(const Market& market, const User& user, const std::vector<Quote>& quotes,
                             const SnapshotContext& context);

// The same snapshot in the XML form: a data set of tables "Table1" to "Table12" whose rows hold the
// records' fields under their column names, dates as ISO texts.
std::string xmlLoginSnapshot(const Market& market, const User& user, const std::vector<Quote>& quotes,
                             const SnapshotContext& context);

// The payload of a refused login: sections 0 to 16, only the login-message section filled, with one
// record (display mode, message, error code).
std::string ampLoginRefusal(int errorCode, std::string_view message);

} // namespace testserver
