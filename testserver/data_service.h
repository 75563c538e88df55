#pragma once
// The data service's answers (type 1024) to the procedures of a type-1023 request: the rows of
// positions, orders, history, schedules, bank details, access maps, resources and funding records
// of the requesting user's accounts, read from the account book and the market. Records end in
// 0x06, columns are separated by 0x05, at the positions the client's row readers take them.
// A refused request (unknown user, procedure, account or market, an account of another user,
// malformed dates or records) answers "ERROR".
#include "account_book.h"
#include "market.h"
#include "price_book.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

struct DataReply {
    std::string text;                   // tag 159
    std::optional<std::string> payload; // tag 1050, the compressed file of a resource download
};

inline constexpr std::string_view kDataError = "ERROR";
// Access maps added by clients past this are refused.
inline constexpr std::size_t kMaxAccessMaps = 10'000;

class DataService {
public:
    // Both must outlive the service.
    DataService(const Market& market, const AccountBook& book);

    // The answer to a request given by its fields (tag -> value). Thread-safe.
    DataReply answer(const std::map<int, std::string>& fields);

    // The access maps as they stand (seeded ones and the clients' changes).
    std::vector<AccessMap> accessMaps() const;
    // Funding the stream side booked: a new approval request (its id returned), its later state, and
    // a money movement (ids are the next free ones).
    std::uint64_t addApproval(Approval approval);
    void updateApproval(const Approval& approval);
    void addTransaction(FinancialTransaction transaction);
    // Answers every request of that procedure with the data service's error from now on.
    void refuseProcedure(std::string procedure);
    // The quotes a statement closes at (must outlive the service, or be replaced first); without
    // them, the market file's prices.
    void setPrices(const PriceBook* prices) { prices_.store(prices); }

private:
    const Market& market_;
    const AccountBook& book_;
    mutable std::mutex mutex_;
    std::vector<AccessMap> accessMaps_;
    std::vector<Approval> approvals_;
    std::vector<FinancialTransaction> transactions_;
    std::vector<std::string> refused_;
    std::atomic<const PriceBook*> prices_{nullptr};
};

// Fills the book with the market's positions, orders, settlements and cancellations, and the
// commissions their openings were charged; the seeded positions are also the executed ones. Later
// ids start above every seeded id.
void seedAccountBook(const Market& market, AccountBook& book);

} // namespace testserver
