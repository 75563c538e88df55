// Any reply text, read as the reply to any procedure, parses and applies without fault.
#include "fuzz_support.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "session/data_service/data_service_replies.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace tc;

constexpr std::array<std::string_view, 19> kProcedures = {"getopenpositions",
                                                          "getpendingorders",
                                                          "getsettledpositions",
                                                          "getcancelledorders",
                                                          "getequityhitpriceinfo",
                                                          "getbankaccounts",
                                                          "getexecutedpositions",
                                                          "getinstruments",
                                                          "getsessionschedule",
                                                          "getapprovalrequest",
                                                          "getfinancialapprovals",
                                                          "getfinancialtransactions",
                                                          "getusermapwithmyaccount",
                                                          "resourcesearch",
                                                          "resourcedownload",
                                                          "paygategetsettings",
                                                          "getdsaccountstatement",
                                                          "addedituac",
                                                          "unknown"};

struct Rows : HistoryRowSink {
    void FillInitialOpenOrderCollection(const OpenOrderHD&) override {}
    void FillInitialPendingOrderCollection(const PendingOrderHD&) override {}
    void FillInitialSettledOrderCollection(const SettledOrderHD&) override {}
    void FillInitialCancelledOrderCollection(const CancelledOrderHD&) override {}
    void SetEquityHitPriceInOrders(const EquityHitPriceInfos&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::string_view procedure = kProcedures[data[0] % kProcedures.size()];
    const int subType = (data[1] & 1) ? 10 : 0;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    SessionModel model;
    auto item = std::make_shared<ItemDetails>();
    item->InstrumentId = 1;
    item->Code.assign(1, 'A'); // assigning a literal trips a false -Wrestrict in GCC 12
    model.ItemCollection.insert_or_assign("A", item);
    auto account = std::make_shared<AccountDetails>();
    account->AccountId = 1;
    model.AccountDetailCollection.insert_or_assign("1", account);

    DataServiceCollections targets;
    Rows rows;
    const auto parsed = DataServiceReplies::parse(procedure, subType, text, "");
    DataServiceReplies::apply(parsed, model, targets, &rows);
    if (model.ItemCollection.size() != 1 || targets.cancelledOrderInfo.size() > text.size())
        std::abort();

    return 0;
}
