#pragma once
// The accounts' figures over their open positions, worked out in the model so that every window
// reads the same numbers: each account's floating P/L, equity and free margin from the positions'
// stored figures, and the account pie's holdings and slices.
#include "charts/pie_data.h"
#include "model/session_queries.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tc {

class AccountDetails;
struct SessionModel;

// The account a record's AccountNumber names, read leniently as a 32-bit id as an account reads it:
// what a position counts towards in every figure of one account.
std::int32_t accountIdOfNumber(std::string_view number);

// Each account's floating P/L: the finite stored UnrealisedPL of the positions naming it, summed in
// their order, the account number read leniently as a 32-bit id as an account reads it.
std::unordered_map<std::int32_t, double> floatingPLByAccount(const OrderView& openPositions);

// The accounts' figures (floating P/L, floating credit, equity, free margin) on copies of the
// records, from the positions' stored figures in one pass; the session's records are left alone.
std::vector<AccountDetails> accountFigures(const SessionModel& model,
                                           const std::vector<std::shared_ptr<const AccountDetails>>& accounts,
                                           const OrderView& openPositions);
// The same over every stored position, as the accounts grid reads it each second without copying
// the list: a position counts only towards its own account, and an account that is listed never has
// its positions hidden, so the listed accounts' figures are the same.
std::vector<AccountDetails> accountFigures(const SessionModel& model,
                                           const std::vector<std::shared_ptr<const AccountDetails>>& accounts,
                                           const std::vector<RecordPtr<Order>>& openPositions);

// One account's figures of this moment, worked as accountFigures works them, so that a window
// showing one account reads what the status bar and the accounts grid read; nullopt when the
// session does not hold the account.
std::optional<AccountDetails> accountFiguresOf(const SessionModel& model, std::int32_t accountId);

enum class PieMode { ProfitLoss, Margin };

// One holding per open position of `accountId`, in the order given, under its instrument's code (the
// server's instrument id for one the login's lists lack); for the margin, one per instrument (the
// first position's place) with the session's hedge-margin figure. The floating P/L
// is the position's stored UnrealisedPL, which the one-second refresh keeps in the account currency
// (the server's figure for an account in Equity Hit).
std::vector<charts::PieHolding> pieHoldings(const SessionModel& model, const OrderView& positions,
                                            std::int32_t accountId, PieMode mode);

// The account pie: the margin pie's shares of equity (none when the account is not loaded or has no
// equity to share; an instrument the login's lists lack holds what the others leave of the account's
// used margin as the server sent it, blank when two or more such share it), or the profit-and-loss
// pie's sums (no figure, NaN, for an instrument with a position not valued yet, unless `markUnvalued`
// is false: the session's figures were valued once and a new fill counts as 0 until the next
// refresh, as in every window).
std::vector<charts::PieSlice> accountPieSlices(const SessionModel& model, const OrderView& positions,
                                               std::int32_t accountId, PieMode mode,
                                               bool markUnvalued = true);

} // namespace tc
