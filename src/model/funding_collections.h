#pragma once
// The funding state of one login, as the funding handlers fill it on the main queue and the deposit
// and withdrawal windows read it: gateway transactions, approval requests with their money side, and
// the gateways the server offers.
#include "model/pay_gate_settings.h"
#include "model/record_ptr.h"
#include "model/records/financial_approval.h"
#include "model/records/funding_records.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace tc::funding {

struct FundingCollections {
    // Past this, new transactions, requests and approvals are dropped with a warning.
    static constexpr std::size_t kMaxEntries = 100'000;

    PayGateSettings payGateSettings;
    platform::OrderedMap<std::string, RecordPtr<PayGateTransaction>> payGateTransactions; // "%lu" requestId
    std::map<std::uint64_t, RecordPtr<ApprovalReq>> approvalRequests;         // by approvalRequestId
    std::map<std::uint64_t, RecordPtr<FinancialApproval>> financialApprovals; // by approvalRequestId
    // Whether the lists the sign-in asks for have come (empty ones too): until then a request missing
    // from them may only be late.
    bool approvalRequestsIn = false;
    bool financialApprovalsIn = false;
};

} // namespace tc::funding
