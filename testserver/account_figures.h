#pragma once
// What the server tells of an account's money: the balance the book holds, the margin its open
// positions hold, its one-side margin, the commission of its positions, and the account summary
// (type 1045) that carries them after a fill, a settlement or an approved deposit or withdrawal.
// Called under the book's lock.
#include "account_book.h"
#include "market.h"
#include "price_book.h"
#include "server_wire.h"

#include "platform/decimal.h"

#include <functional>
#include <span>
#include <string>

namespace testserver {

// The book's balance of the account, else the market file's; "0" for an unknown account.
std::string balanceOf(const Market& market, const Books& books, int accountId);
// Moves the account's balance by `change`, to the cent: a settled profit, a commission charged, a
// deposit or withdrawal approved.
void addToBalance(const Market& market, Books& books, int accountId, const tc::platform::Decimal& change);

// The margin the account's open positions hold, as the client works it out from the group settings
// and the hedge mode the snapshot sends: per instrument and delivery mode, the group's amount per lot
// times the net lots (bought less sold, as a magnitude); hedged lots hold none. Decimal text, two
// places at most.
std::string usedMarginOf(const Market& market, const Books& books, int accountId);
// The same over the given positions of the account (those a statement lists).
tc::platform::Decimal usedMarginOf(const Market& market, std::span<const ServerPosition* const> positions,
                                   int accountId);

// The instruments' quotes as the profits of one moment are valued at.
using QuoteOf = std::function<Quote(const Instrument&)>;

// A profit in an instrument's quote currency in the account's currency, converted as the client
// converts a floating result: by the instrument's P/L mode into the system currency (times or
// divided by the mid of its conversion instrument), then by the account currency's conversion (its
// mode's quote or stored rate, divided when direct). With the two rates applied, 1 where none was.
struct AccountProfit {
    tc::platform::Decimal amount;
    tc::platform::Decimal instrumentRate = tc::platform::Decimal::fromInt64(1);
    tc::platform::Decimal accountRate = tc::platform::Decimal::fromInt64(1);
};
AccountProfit profitInAccountCurrency(const Market& market, const QuoteOf& quoteOf,
                                      const Instrument& instrument, int accountId,
                                      const tc::platform::Decimal& quoteProfit);

// The margin of the larger side only: per instrument and delivery mode, the group's amount per lot
// times the greater of the bought and the sold lots. What a withdrawal must leave in the account.
std::string oneSideMarginOf(const Market& market, const Books& books, int accountId);

// The commission of opening `qty` lots in the account: its group's amount per lot times the lots,
// to the cent, charged in full on opening. Decimal text; "0" for an unknown account or group.
std::string openingCommissionOf(const Market& market, int accountId, const std::string& qty);

// What a position whose opening paid `paid` for `initialQty` still carries while `qty` is open: the
// paid amount prorated to the open quantity, as the client shows it, to the cent. The whole paid
// amount when the initial quantity is not above 0 (nothing to prorate against).
tc::platform::Decimal commissionCarried(const std::string& paid, const std::string& initialQty,
                                        const std::string& qty);

// The share of the paid commission a close from `before` to `after` open lots settles: what the
// position carried less what it still carries, so the shares of its closes add up to what was paid.
tc::platform::Decimal commissionSettled(const ServerPosition& position, const std::string& before,
                                        const std::string& after);

// The account summary of the account now: status, balance (also as equity: this server values no
// position), used, available and one-side margin, and the margin status (0 normal, 2 margin call).
WireFields accountSummaryFields(const Market& market, const Books& books, const Account& account,
                                const std::string& time, int marginStatus = 0);

} // namespace testserver
