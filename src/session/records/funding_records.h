#pragma once
// The funding records that banners and journal lines read: pay-gate transactions, approval requests
// and their deposit or withdrawal details. Only the fields those readers need; the funding code fills
// them from the server's replies.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tc {

struct PayGateTransaction {
    static constexpr std::int32_t kStatusSuccess = 3;
    static constexpr std::int32_t kStatusFailure = 4;

    std::int32_t transStatus = 0;
    std::string payTransactionId;
    std::uint64_t requestId = 0;
};

// A pay-gate reply as handed to observers and the journal: the transaction (may be null) and the
// server's error code, 0 for none.
struct PayGateTransactionResponse {
    std::shared_ptr<PayGateTransaction> Data;
    std::int64_t Error = 0;
};

// Deposit or withdrawal details of an approval request.
struct FinancialApproval {
    std::uint64_t beneficiaryAccount = 0;
    std::uint64_t benefactorAccount = 0;
    double approvedAmount = 0;
    std::int32_t financialTransactionTypeId = 0; // 1 deposit, 2 withdrawal
    std::int64_t transferMode = 0;               // 1 TTCopy, 2 BankTransfer, 3 OnlinePayment
    std::string dateOfTransaction;               // wire date text
    std::string bankName;
    std::string branch;
    std::string sourceBankAccount;
    std::string destinationBankAccount;
};

struct ApprovalReq {
    std::uint64_t approvalRequestId = 0;
    std::uint64_t approvalTypeId = 0;
    std::uint64_t approvalSubTypeId = 0;
    std::uint64_t refRequestId = 0;
    std::uint64_t requestedByUserId = 0;
    std::int64_t approvalType = 0;
    std::int64_t approvalSubType = 0; // 1 and 2 are the two kinds the banners tell apart
    bool isOpen = false;
    bool isRequestSentToCMS = false;
    bool isReadyToPost = false;
    std::string requestedDateTime; // wire date text "yyyyMMddHHmmss"
    std::string remarks;
    std::shared_ptr<FinancialApproval> information;

    void setInformation(std::shared_ptr<FinancialApproval> value) { information = std::move(value); }
};

struct FinancialEnum {
    static std::string_view getFinancialTransferMode(std::int64_t id) {
        switch (id) {
        case 1:
            return "TTCopy";
        case 2:
            return "BankTransfer";
        case 3:
            return "OnlinePayment";
        default:
            return "Unknown";
        }
    }
};

} // namespace tc
