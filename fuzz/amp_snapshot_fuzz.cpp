// Arbitrary text loaded as a login snapshot in the control-character form. Whatever loads must
// hold together: a user record, instruments filed under their own codes with a grid that is
// never negative or NaN, group settings filed under their instrument's id, and a second load of
// the same text giving the same collections.
#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "platform/log.h"
#include "session/snapshot/amp_snapshot_loader.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::Log::setLevel(platform::LogLevel::Off);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    AmpSnapshotLoader::Limits limits;
    limits.maxRecordsPerSection = 64;
    const AmpSnapshotLoader loader(limits);
    AmpLoadStats stats;
    auto model = loader.load(text, &stats);
    if (!model || !model->userInfo)
        std::abort();
    for (const auto& [code, item] : model->ItemCollection) {
        if (!item || item->Code != code || code.empty())
            std::abort();
        if (item->TickSize.isNaN() || item->TickSize.isNegative() || item->priceTick.isNaN() ||
            item->priceTick.isNegative() || item->Bid.isNaN() || item->Ask.isNaN())
            std::abort();
    }
    for (const auto& [key, group] : model->GroupDetailCollection) {
        if (!group || sessionKey(group->GroupId) != key)
            std::abort();
        for (const GroupInstruments& settings : group->GroupInstrumentCollection)
            if (group->groupInstrument(settings.InstrumentId) != &settings ||
                settings.GroupId != group->GroupId)
                std::abort();
    }
    for (const auto& [key, account] : model->AccountDetailCollection)
        if (!account || sessionKey(account->AccountId) != key)
            std::abort();
    auto again = loader.load(text);
    if (!again || again->ItemCollection.size() != model->ItemCollection.size() ||
        again->AccountDetailCollection.size() != model->AccountDetailCollection.size() ||
        again->symbolTypeCollection != model->symbolTypeCollection)
        std::abort();
    return 0;
}
