#include "statements/session_statements.h"

#include "platform/log.h"
#include "session/business/business_base.h"
#include "session/business/session_requests.h"
#include "statements/statement_reader.h"

namespace tc::statements {

SessionStatements::SessionStatements(BusinessBase& business) : business_(business) {}

SessionStatements::~SessionStatements() = default;

interfaces::RequestId SessionStatements::requestAccountStatement(const StatementSelection& selection) {
    const interfaces::RequestId id = business_.sessionRequests().requestAccountStatement(selection).sequence;
    if (id != 0)
        awaited_.store(id);
    return id;
}

std::function<void()> SessionStatements::readAccountStatement(const PendingRequest* request,
                                                              std::string xml) {
    const std::uint64_t sequence = request ? request->sequence : 0;
    if (sequence == 0 || sequence != awaited_.load()) {
        platform::Log::warning("account statement reply {} answers no awaited request; dropped", sequence);
        return [] {};
    }
    // Read here; a reply without a table is an empty statement, which replaces the old rows too.
    auto parsed = std::make_shared<const AccountStatementInfo>(parseAccountStatement(xml));
    return [this, parsed, sequence] {
        // A later request made while this one was read wins.
        if (awaited_.load() != sequence)
            return;
        statement_ = parsed;
        awaited_.store(0);
        if (listener_)
            listener_({sequence});
    };
}

} // namespace tc::statements
