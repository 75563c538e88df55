#pragma once
// The statement side of a client: the account statement and the cancelled-order history of a period.
#include "interfaces/commands.h"
#include "interfaces/handler.h"
#include "model/account_statement.h"
#include "model/records/request_records.h"

#include <functional>
#include <memory>

namespace interfaces {

using tc::StatementSelection;

// An account statement installed, or (cancelledOrders) the period's cancelled orders filed in the
// data-service collections' cancelledOrderInfo: the request it answers.
struct StatementArrival {
    RequestId id = 0;
    bool cancelledOrders = false;
};

class Statements {
public:
    virtual ~Statements() = default;

    // The statement last installed (null before the first).
    virtual std::shared_ptr<const tc::statements::AccountStatementInfo> statement() const = 0;

    virtual RequestId requestAccountStatement(const StatementSelection& selection) = 0;
    // The rows arrive in the data-service collections' cancelledOrderInfo, announced as a
    // StatementArrival with cancelledOrders set.
    virtual RequestId requestCancelledOrderHistory(const StatementSelection& selection) = 0;

    using ArrivedFn = std::function<void(const StatementArrival& arrival)>;
    virtual std::unique_ptr<Handler> handleStatementArrived(ArrivedFn fn) = 0;
};

} // namespace interfaces
