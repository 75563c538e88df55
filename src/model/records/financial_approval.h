#pragma once
// Bank and transfer deposits and all withdrawals travel as approval requests: `FinancialApproval`
// holds the money side (its fourteen-field text goes out in tag 1059 and comes back in approval
// actions and "getfinancialapprovals" rows), `ApprovalReq` the request itself.
#include "model/record_ptr.h"
#include "model/records/funding_records.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The wire's record text, written by the core only: behind the GUI's wall the type stays incomplete.
namespace tc::wire {
struct RecordText;
} // namespace tc::wire

namespace tc::funding {

struct FinancialApproval {
    static constexpr std::int64_t kFullForm = 0;
    static constexpr std::int64_t kShortForm = 1; // the first seven fields
    static constexpr std::uint64_t kDeposit = 1;
    static constexpr std::uint64_t kWithdrawal = 2;

    std::uint64_t approvalRequestId = 0; // 0 in a new request
    std::uint64_t approvalFinancialId = 0;
    std::uint64_t beneficiaryAccount = 0; // credited (deposits)
    std::uint64_t benefactorAccount = 0;  // debited (withdrawals)
    platform::Decimal requestedAmount;
    platform::Decimal approvedAmount;
    bool isCollateral = false;
    std::uint64_t financialTransactionTypeId = 0; // kDeposit or kWithdrawal
    std::uint64_t transferMode = 0;               // TransferMode
    // Absent texts are written "(null)"; an incoming "(null)" is kept as that text. The date stays
    // text: the approval goes back to the server as it came (or as the deposit form wrote it).
    std::optional<std::string> dateOfTransaction;
    std::optional<std::string> bankName;
    std::optional<std::string> branch;
    std::optional<std::string> sourceBankAccount;
    std::optional<std::string> destinationBankAccount;

    // The money side of a deposit or withdrawal about to be sent.
    static FinancialApproval forDeposit(const NewDeposit& deposit);
    static FinancialApproval forWithdrawal(const NewWithdrawal& withdrawal);

    // True when the two decimals the text writes an amount with keep it unchanged.
    static bool carriesExactly(const platform::Decimal& amount);

    // Form 0: the fourteen fields; any other form: the first seven. The account a type does not
    // use is written "(null)", amounts with two decimals. Refused (with the field named) when a text
    // holds a wire control byte or an amount is not a number.
    wire::RecordText getString(std::int64_t form) const;
    // Reads what stands before the first 0x06, in place: mode 0 all fourteen fields, any other mode
    // only the first seven. Reading stops at the first missing piece; the fields not read keep their
    // values.
    void loadFromString(std::string_view text, std::int64_t mode);
};

struct ApprovalReq {
    static constexpr std::int64_t kDepositSubType = 1;
    static constexpr std::int64_t kWithdrawalSubType = 2;

    std::uint64_t approvalRequestId = 0; // key
    std::uint64_t approvalTypeId = 0;
    std::uint64_t approvalSubTypeId = 0;
    bool isOpen = false;
    bool isRequestSentToCMS = false;
    bool isReadyToPost = false;
    std::optional<WallTime> requestedDateTime;
    std::uint64_t refRequestId = 0;
    std::uint64_t requestedByUserId = 0;
    std::string remarks;
    std::int64_t approvalType = 0;
    std::int64_t approvalSubType = 0; // kDepositSubType or kWithdrawalSubType
    std::int64_t state = 0;
    RecordPtr<FinancialApproval> information; // absent until known
    std::uint64_t transMasterId = 0;          // the gateway transaction it belongs to; 0 for none

    // A "getapprovalrequest" row: 0 id, 1 type, 2 open, 3 sent on, 4 ready to post, 5 requested at,
    // 6 reference, 7 requested by, 8 remarks, 9 sub-type.
    static ApprovalReq fromRecord(std::string_view record);
};

} // namespace tc::funding
