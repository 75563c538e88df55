// History reply texts on arbitrary bytes: every row kind parses every record without crashing,
// and the parsed values keep the readers' promises.
#include "fuzz_support.h"
#include "model/records/history_rows.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using namespace tc;

void check(bool condition) {
    if (!condition)
        std::abort();
}

template <typename Row>
void parseAll(std::string_view reply) {
    const auto rows = history::parseRows<Row>(reply);
    check(rows.size() <= history::splitRecords(reply).size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    parseAll<OpenOrderHD>(reply);
    parseAll<PendingOrderHD>(reply);
    parseAll<SettledOrderHD>(reply);
    parseAll<CancelledOrderHD>(reply);
    parseAll<EquityHitPriceInfos>(reply);
    for (std::string_view record : history::splitRecords(reply)) {
        check(!record.empty());
        // Every amount reads as a number: no NaN reaches a list.
        if (const auto hit = EquityHitPriceInfos::initWithMessage(record))
            for (const auto* v :
                 {&hit->OrderPrice, &hit->HitPrice, &hit->UnrealisedPL, &hit->UnrealisedCharges,
                  &hit->AccumulatingStorage, &hit->PositionQty, &hit->CurrencyRate, &hit->ContractSize})
                check(!v->isNaN());
        else
            check(record.size() > history::kMaxRecordBytes);
    }
    return 0;
}
