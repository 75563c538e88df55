#pragma once
// What the server tells of an account's money: the balance the book holds, the margin its open
// positions hold, its one-side margin, and the account summary (type 1045) that carries them after
// a fill, a settlement or an approved deposit or withdrawal. Called under the book's lock.
#include "account_book.h"
#include "market.h"
#include "server_wire.h"

#include <string>

namespace testserver {

// The book's balance of the account, else the market file's; "0" for an unknown account.
std::string balanceOf(const Market& market, const Books& books, int accountId);

// The margin the account's open positions hold, as the client works it out from the group settings
// the snapshot sends: the group's margin is an amount per lot. Decimal text, two places at most.
std::string usedMarginOf(const Market& market, const Books& books, int accountId);

// The margin of the larger side only: per instrument and delivery mode, the group's amount per lot
// times the greater of the bought and the sold lots. What a withdrawal must leave in the account.
std::string oneSideMarginOf(const Market& market, const Books& books, int accountId);

// The account summary of the account now: status, balance (also as equity: this server values no
// position), used, available and one-side margin.
WireFields accountSummaryFields(const Market& market, const Books& books, const Account& account,
                                const std::string& time);

} // namespace testserver
