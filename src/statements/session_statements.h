#pragma once
// The session's account statement: the reply to the statement window's request is read on the thread
// that received it and installed whole on the main queue, only when it answers the statement request
// made last (an older reply that arrives late never replaces a newer statement). The business object
// owns it (through its services).
#include "interfaces/statements.h"
#include "model/account_statement.h"
#include "session/business/business_services.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace tc {
class BusinessBase;
struct StatementSelection;
} // namespace tc

namespace tc::statements {

class SessionStatements final : public StatementHandlers {
public:
    using Listener = std::function<void(const interfaces::StatementArrival&)>;

    explicit SessionStatements(BusinessBase& business);
    ~SessionStatements() override;

    // Main queue: sends the request; its reply is the next statement.
    interfaces::RequestId requestAccountStatement(const StatementSelection& selection);
    // Main queue: the statement last installed; null before the first.
    std::shared_ptr<const AccountStatementInfo> statement() const { return statement_; }
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // Receiving thread.
    std::function<void()> readAccountStatement(const PendingRequest* request, std::string xml) override;

private:
    BusinessBase& business_;
    // The request whose reply is awaited (0: none); written on the main queue, read on the receiving
    // thread to skip reading replies nobody waits for.
    std::atomic<std::uint64_t> awaited_{0};
    std::shared_ptr<const AccountStatementInfo> statement_;
    Listener listener_;
};

} // namespace tc::statements
