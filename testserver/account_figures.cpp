#include "account_figures.h"

#include "platform/decimal.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testserver {

namespace msg = tc::wire::msg;
namespace tag = tc::wire::tag;
using tc::platform::Decimal;

namespace {

Decimal decimalOf(const std::string& text) {
    return Decimal::fromString(text).value_or(Decimal());
}

const Group* groupOf(const Market& market, int accountId) {
    const Account* account = market.findAccount(accountId);
    if (!account)
        return nullptr;
    const auto group = std::find_if(market.groups.begin(), market.groups.end(),
                                    [&](const Group& g) { return g.id == account->group; });
    return group == market.groups.end() ? nullptr : &*group;
}

// The group's margin per lot of the account; none for an unknown account or group.
std::optional<Decimal> perLotOf(const Market& market, int accountId) {
    const Group* group = groupOf(market, accountId);
    if (!group)
        return std::nullopt;
    // Every delivery mode and side takes the group's one margin per lot (the snapshot sends it as
    // the initial, sell, intraday and BTST margin alike).
    return decimalOf(group->margin);
}

// The server's trading-status code of an account status (tag 24 of an account summary).
std::string tradingStatusCode(int status) {
    switch (status) {
    case 2:
        return "815";
    case 3:
        return "816";
    case 4:
        return "817";
    case 5:
        return "825";
    case 6:
        return "819";
    default:
        return "814";
    }
}

} // namespace

std::string balanceOf(const Market& market, const Books& books, int accountId) {
    if (const auto it = books.balances.find(accountId); it != books.balances.end())
        return it->second;
    const Account* account = market.findAccount(accountId);
    return account ? account->balance : std::string("0");
}

void addToBalance(const Market& market, Books& books, int accountId, const Decimal& change) {
    books.balances.insert_or_assign(
        accountId, decimalOf(balanceOf(market, books, accountId)).add(change).rounded(2).toString());
}

std::string usedMarginOf(const Market& market, const Books& books, int accountId) {
    std::vector<const ServerPosition*> held;
    held.reserve(books.positions.size());
    for (const auto& p : books.positions)
        held.push_back(&p);
    return usedMarginOf(market, held, accountId).rounded(2).toString();
}

Decimal usedMarginOf(const Market& market, std::span<const ServerPosition* const> positions, int accountId) {
    const auto perLot = perLotOf(market, accountId);
    if (!perLot)
        return {};
    // Bought less sold lots per instrument and delivery mode.
    std::map<std::pair<int, int>, Decimal> net;
    for (const ServerPosition* p : positions) {
        if (!p || p->accountId != accountId)
            continue;
        Decimal& lots = net[{p->instrumentId, p->deliveryMode}];
        lots = p->isBuy ? lots.add(decimalOf(p->qty)) : lots.subtract(decimalOf(p->qty));
    }
    Decimal margin;
    for (const auto& [key, lots] : net)
        margin = margin.add(perLot->multiply(lots.isNegative() ? lots.negated() : lots));
    return margin;
}

namespace {

Decimal midOf(const Instrument& instrument, const Quote& q) {
    return Decimal::fromInt64(q.bid + q.ask).multiply(Decimal::fromParts(false, 5, -1 - instrument.decimals));
}

Decimal priceOf(const Instrument& instrument, std::int64_t units) {
    return Decimal::fromInt64(units).multiply(Decimal::fromParts(false, 1, -instrument.decimals));
}

const Instrument* instrumentById(const Market& market, std::int64_t id) {
    for (const auto& i : market.instruments)
        if (i.id == id)
            return &i;
    return nullptr;
}

} // namespace

AccountProfit profitInAccountCurrency(const Market& market, const QuoteOf& quoteOf,
                                      const Instrument& instrument, int accountId,
                                      const Decimal& quoteProfit) {
    AccountProfit out;
    out.amount = quoteProfit;
    if (instrument.profitMode == 5 || instrument.profitMode == 6)
        if (const Instrument* by = instrumentById(market, instrument.conversion)) {
            const Decimal mid = midOf(*by, quoteOf(*by));
            if (!mid.isZero()) {
                out.instrumentRate = mid;
                out.amount = instrument.profitMode == 5 ? out.amount.multiply(mid) : out.amount.divide(mid);
            }
        }
    const Account* account = market.findAccount(accountId);
    const Currency* currency = nullptr;
    for (const auto& c : market.currencies)
        if (account && c.id == account->currency)
            currency = &c;
    if (!currency || currency->mode == 0 || out.amount.isZero())
        return out;
    const Instrument* by = instrumentById(market, currency->instrument);
    if (!by && currency->mode != 4)
        return out;
    const bool gain = !out.amount.isNegative();
    Decimal rate;
    switch (currency->mode) {
    case 1:
        rate = priceOf(*by, quoteOf(*by).bid);
        break;
    case 2:
        rate = priceOf(*by, quoteOf(*by).ask);
        break;
    case 3:
        rate = priceOf(*by, gain ? quoteOf(*by).bid : quoteOf(*by).ask);
        break;
    case 4:
        rate = decimalOf(gain ? currency->bidRate : currency->askRate);
        break;
    case 5:
        rate = midOf(*by, quoteOf(*by));
        break;
    default:
        return out;
    }
    if (rate.isZero())
        return out;
    out.accountRate = rate;
    out.amount = currency->direct ? out.amount.divide(rate) : out.amount.multiply(rate);
    return out;
}

std::string oneSideMarginOf(const Market& market, const Books& books, int accountId) {
    const auto perLot = perLotOf(market, accountId);
    if (!perLot)
        return "0";
    // Bought and sold lots per instrument and delivery mode.
    std::map<std::pair<int, int>, std::pair<Decimal, Decimal>> sides;
    for (const auto& p : books.positions) {
        if (p.accountId != accountId)
            continue;
        auto& [bought, sold] = sides[{p.instrumentId, p.deliveryMode}];
        (p.isBuy ? bought : sold) = (p.isBuy ? bought : sold).add(decimalOf(p.qty));
    }
    Decimal margin;
    for (const auto& [key, lots] : sides)
        margin = margin.add(perLot->multiply(std::max(lots.first, lots.second)));
    return margin.rounded(2).toString();
}

std::string openingCommissionOf(const Market& market, int accountId, const std::string& qty) {
    const Group* group = groupOf(market, accountId);
    if (!group)
        return "0";
    return decimalOf(group->commission).multiply(decimalOf(qty)).rounded(2).toString();
}

Decimal commissionCarried(const std::string& paid, const std::string& initialQty, const std::string& qty) {
    const Decimal amount = decimalOf(paid);
    const Decimal initial = decimalOf(initialQty);
    if (!(initial > Decimal()))
        return amount;
    return amount.multiply(decimalOf(qty)).divide(initial).rounded(2);
}

Decimal commissionSettled(const ServerPosition& position, const std::string& before,
                          const std::string& after) {
    return commissionCarried(position.commission, position.initialQty, before)
        .subtract(commissionCarried(position.commission, position.initialQty, after));
}

WireFields accountSummaryFields(const Market& market, const Books& books, const Account& account,
                                const std::string& time, int marginStatus) {
    const std::string balance = balanceOf(market, books, account.id);
    const std::string used = usedMarginOf(market, books, account.id);
    const Decimal available = decimalOf(balance).subtract(decimalOf(used));
    return {typeField(msg::kAccountSummary),
            {tag::kTime, time},
            {tag::kAccount, std::to_string(account.id)},
            {tag::kAccountStatus, tradingStatusCode(account.tradingStatus)},
            {tag::kBalance, balance},
            {tag::kEquity, balance},
            {tag::kUsedMargin, used},
            {tag::kAvailableMargin, available.rounded(2).toString()},
            {tag::kOneSideMargin, oneSideMarginOf(market, books, account.id)},
            {tag::kMarginStatus, std::to_string(marginStatus)}};
}

} // namespace testserver
