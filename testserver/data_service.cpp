#include "data_service.h"

#include "account_figures.h"
#include "server_wire.h"

#include "platform/log.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <concepts>
#include <set>

#include <fmt/format.h>

using namespace tc;

namespace testserver {

namespace msg = tc::wire::msg;
namespace tag = tc::wire::tag;

namespace {

using FieldMap = std::map<int, std::string>;

// Rows of a reply: 0x05 between the columns of a record, 0x06 after each record.
class Rows {
public:
    Rows& text(std::string_view value) {
        if (open_)
            text_ += '\x05';
        text_ += value;
        open_ = true;
        return *this;
    }
    template <std::integral T>
    Rows& num(T value) {
        char digits[24];
        auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
        return text(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    Rows& flag(bool value) { return text(value ? "1" : "0"); }
    Rows& blank(int count = 1) {
        for (int i = 0; i < count; ++i)
            text({});
        return *this;
    }
    void end() {
        text_ += '\x06';
        open_ = false;
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
    bool open_ = false;
};

std::optional<std::int64_t> wholeNumber(const std::string& text) {
    std::int64_t n = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

// A decimal text with exactly two decimals, as the approval record carries its amounts.
std::string twoDecimals(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    char digits[64];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 2);
    return ec == std::errc{} ? std::string(digits, end) : "0.00";
}

struct Period {
    std::string from;
    std::string to;
    bool contains(std::string_view date) const { return date >= from && date <= to; }
};

// The request as the procedures read it: who asks, and the fields.
class Request {
public:
    Request(const Market& market, const FieldMap& fields) : fields_(fields) {
        // The data service is not signed in: the user is the one the request names (tag 115, or
        // the user name of tag 23 when the id is missing).
        if (auto id = wholeNumber(value(tag::kUserId)); id && *id > 0 && *id <= 2147483647)
            user_ = market.findUserById(static_cast<int>(*id));
        else if (!fields.contains(tag::kUserId))
            user_ = market.findUser(value(tag::kUserName));
        if (user_)
            for (const Account* a : market.accountsOf(user_->name))
                accounts_.insert(a->id);
    }

    const User* user() const { return user_; }
    bool owns(int account) const { return accounts_.contains(account); }
    bool has(int tag) const { return fields_.contains(tag); }
    std::string value(int tag) const {
        auto it = fields_.find(tag);
        return it == fields_.end() ? std::string() : it->second;
    }

    // Tag 34: one of the user's accounts; nullopt for a malformed, unknown or foreign one.
    std::optional<int> account() const {
        auto id = wholeNumber(value(tag::kAccount));
        if (!id || *id <= 0 || *id > 2147483647 || !owns(static_cast<int>(*id)))
            return std::nullopt;
        return static_cast<int>(*id);
    }

    // Tags 575 and 576, both valid wire dates in order.
    std::optional<Period> period() const {
        Period p{value(tag::kFromDate), value(tag::kToDate)};
        if (!isWireDate(p.from) || !isWireDate(p.to) || p.from > p.to)
            return std::nullopt;
        return p;
    }

private:
    const FieldMap& fields_;
    const User* user_ = nullptr;
    std::set<int> accounts_;
};

DataReply error() {
    return {std::string(kDataError), std::nullopt};
}

void openPositionRow(Rows& rows, const ServerPosition& p) {
    rows.num(p.positionId).num(p.accountId).num(p.instrumentId).flag(p.isBuy);
    rows.num(p.refTicketId).num(p.refPendingOrderId).num(p.executionId);
    rows.text(p.initialQty).text(p.qty).text(p.openPrice).text(p.commission).text(p.openedAt);
    rows.text("1").blank().text("0"); // confirmation mode, confirmed by, unrealised P/L
    rows.text("0").text("0");         // trade route, route position
    rows.num(p.deliveryMode).num(p.orderTypeId).text(p.storage);
    rows.blank(2); // value date, expiry date
    rows.blank(5); // 22..26 are not read
    rows.text(p.baseCurrencyRate);
    rows.end();
}

void pendingOrderRow(Rows& rows, const ServerPendingOrder& o) {
    rows.num(o.pendingOrderId).num(o.ticketId).num(o.accountId).num(o.instrumentId).flag(o.isBuy);
    rows.num(o.orderTypeId).text(o.orderQty).text("0").text("0").text(o.remainingQty);
    rows.text(o.orderPrice).text(o.limitPrice).text(o.stopPrice).text("0");
    rows.num(o.deliveryMode).num(o.timeInForce).text(o.expiry);
    rows.text("0").text("0").text("0").text("0"); // one-cancels-other prices
    rows.text("0").text("0").text("0");           // spread, trade route, route order
    rows.text(o.placedAt);
    if (o.refPositionId != 0)
        rows.num(o.refPositionId);
    else
        rows.blank();
    rows.text("0").text("0").blank(); // touch quantity, price, time
    rows.end();
}

void settlementRow(Rows& rows, const ServerSettlement& s) {
    rows.num(s.settlementId).num(s.accountId).num(s.instrumentId).num(s.refPositionId);
    rows.num(s.refClosingPositionId).text(s.qty).text(s.pl).text(s.settledAt);
    rows.text(s.currencyRate).text("0").text(s.commission).text("0").flag(s.isBuy); // storage, charges
    rows.text(s.openPrice).text(s.closePrice).text(s.openedAt).text(s.closedAt).num(s.deliveryMode);
    rows.blank().text(s.accountCurrencyRate); // 18 is not read
    rows.end();
}

void cancellationRow(Rows& rows, const ServerCancellation& c) {
    rows.num(c.cancelledOrderId).text(c.qty).num(c.refTicketId).num(c.refPendingOrderId);
    rows.num(c.instrumentId).num(c.accountId).num(c.reasonId).text(c.cancelledAt).num(c.byUserId);
    rows.flag(c.isBuy).num(c.deliveryMode).text("0").text("0").text("0").text("0");
    rows.num(c.orderTypeId).text(c.orderPrice).text(c.orderedAt);
    rows.end();
}

void executedRow(Rows& rows, const ServerPosition& p) {
    rows.num(p.positionId).num(p.accountId).num(p.instrumentId).flag(p.isBuy).text(p.qty);
    rows.text(p.initialQty).text(p.openPrice).num(p.orderTypeId).num(p.deliveryMode).text(p.openedAt);
    rows.text(p.openedAt).blank().num(p.refPendingOrderId); // value date: the day it opened
    rows.end();
}

void resourceRow(Rows& rows, const Resource& r, std::uint64_t product, bool search) {
    rows.text(r.name).num(r.type).num(product).num(r.organization).text(r.server);
    if (search)
        rows.text(r.kind).text(r.pattern);
    rows.text(r.crc).num(r.encode);
    rows.end();
}

// The record text split into its fields (the last one ends at 0x06).
std::vector<std::string> recordFields(std::string_view record) {
    record = record.substr(0, record.find('\x06'));
    std::vector<std::string> out;
    while (true) {
        const auto cut = record.find('\x05');
        out.emplace_back(record.substr(0, cut));
        if (cut == std::string_view::npos || out.size() > 16)
            return out;
        record.remove_prefix(cut + 1);
    }
}

double amountOf(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

// Two decimals, never "-0.00".
std::string money(double value) {
    return fmt::format("{:.2f}", std::abs(value) < 0.005 ? 0.0 : value);
}

// A money movement of a statement: its transaction sub-type, credit and debit.
struct Movement {
    std::int64_t sub = 0;
    double credit = 0;
    double debit = 0;
    int type = 3; // 1 deposit, 2 withdrawal, 3 any other
};

// The sub-types the account summary counts (3, 0 and 20 on it never enter a figure). Of 4, 5, 6,
// 7, 8, 9, 15 and 16 it reads the first row only, so a statement carries one row of each: the
// period's total.
bool counted(std::int64_t sub) {
    return sub >= 1 && sub <= 19 && sub != 3;
}
bool totalled(std::int64_t sub) {
    return sub == 4 || sub == 5 || sub == 6 || sub == 7 || sub == 8 || sub == 9 || sub == 15 || sub == 16;
}

// The account's money movements dated within `within`: its transactions; its settlements, as settled
// profit (8) or loss (7); the commissions charged when its positions opened (4). A settlement's
// commission is its share of one of those charges and moves nothing again.
template <typename Within>
std::vector<Movement> movementsOf(const Books& books, const std::vector<FinancialTransaction>& transactions,
                                  int account, Within within) {
    std::vector<Movement> out;
    for (const auto& t : transactions)
        if (t.account == account && counted(t.subId) && within(t.date))
            out.push_back({t.subId, amountOf(t.credit), amountOf(t.debit), t.type});
    for (const auto& s : books.settlements) {
        if (s.accountId != account || !within(s.settledAt))
            continue;
        const double pl = amountOf(s.pl);
        out.push_back(pl < 0 ? Movement{7, 0, -pl, 3} : Movement{8, pl, 0, 3});
    }
    for (const auto& c : books.charges)
        if (const double amount = amountOf(c.amount);
            c.accountId == account && amount != 0 && within(c.chargedAt))
            out.push_back({4, 0, amount, 3});
    return out;
}

double sumOf(const std::vector<Movement>& movements) {
    double sum = 0;
    for (const auto& m : movements)
        sum += m.credit - m.debit;
    return sum;
}

// The rows of "Table4": each movement of a summed sub-type, one total of each totalled sub-type (in
// the place of its first movement).
std::vector<Movement> transactionRows(const std::vector<Movement>& movements) {
    std::vector<Movement> rows;
    for (const auto& m : movements) {
        const auto same =
            std::find_if(rows.begin(), rows.end(), [&](const Movement& r) { return r.sub == m.sub; });
        if (totalled(m.sub) && same != rows.end()) {
            same->credit += m.credit;
            same->debit += m.debit;
        } else {
            rows.push_back(m);
        }
    }
    return rows;
}

// The statement of one account over one period: the data set of tables the statement reader takes
// ("Table" the account at the start and the end, "Table1" to "Table6" positions, orders,
// settlements, transactions, instruments and closing prices). The closing prices are the quotes of
// one moment (the market file's when there is no price book), and every row is valued at them. The
// floating results are in the account's currency. The account's figures at the end agree
// with what the statement lists: the balance then (today's less what moved it since), the floating
// result and storage of the listed positions, equity (balance, the whole floating result and
// storage, as the login's groups count it), the margin the listed lots hold (usedMarginOf: the
// group's amount per net lot) and the rest as available. The opening balance is the closing one less the
// period's movements, so the summary adds up.
std::string statementDocument(const Market& market, const AccountBook& book, const Account& account,
                              const Period& period, const std::vector<FinancialTransaction>& transactions,
                              const PriceBook* prices) {
    // Every row is valued at the quotes of one moment, taken once: a fast feed moves them meanwhile.
    const std::vector<Quote> moment = prices ? prices->quotes() : std::vector<Quote>();
    const QuoteOf quoteOf = [&](const Instrument& i) {
        if (prices)
            if (const std::size_t index = prices->indexOf(i.code); index < moment.size())
                return moment[index];
        return Quote{i.price, i.price + i.spread};
    };
    const auto closingQuote = [&](const Instrument& i) {
        const Quote q = quoteOf(i);
        return std::pair{q.bid, q.ask};
    };

    std::string positions;
    std::string orders;
    std::string settlements;
    double floating = 0;
    double storage = 0;
    double used = 0;
    double closingBalance = 0;
    std::vector<Movement> moved;
    book.with([&](const Books& b) {
        const auto balance = b.balances.find(account.id);
        const double today = amountOf(balance == b.balances.end() ? account.balance : balance->second);
        const auto later =
            movementsOf(b, transactions, account.id, [&](std::string_view date) { return date > period.to; });
        closingBalance = today - sumOf(later);
        moved = movementsOf(b, transactions, account.id,
                            [&](std::string_view date) { return period.contains(date); });

        std::vector<const ServerPosition*> listed;
        for (const auto& p : b.positions) {
            if (p.accountId != account.id || p.openedAt > period.to)
                continue;
            XmlRow row("Table1");
            row.col("PositionId", p.positionId).col("AccountId", p.accountId);
            row.col("InstrumentId", p.instrumentId).col("IsBuy", p.isBuy ? "true" : "false");
            row.col("RefOrderTicketId", p.refTicketId).col("PositionInitialQty", p.initialQty);
            row.col("PositionQty", p.qty).col("OrderPrice", p.openPrice).col("CommisionPaid", p.commission);
            row.col("PositionDate", xmlDate(p.openedAt)).col("DeliveryModeId", p.deliveryMode);
            row.col("AccumulatingStorage", p.storage);
            // Floating at the closing prices (Table6): a buy closes at the bid, a sell at the ask;
            // in the account's currency, as the client values it and the settlements are.
            for (const auto& i : market.instruments) {
                if (i.id != p.instrumentId)
                    continue;
                const auto [bid, ask] = closingQuote(i);
                const double close = static_cast<double>(p.isBuy ? bid : ask) / std::pow(10.0, i.decimals);
                const double gain = (close - amountOf(p.openPrice)) * (p.isBuy ? 1 : -1);
                const auto inQuote =
                    platform::Decimal::fromString(money(gain * amountOf(p.qty) * amountOf(i.contractSize)));
                const std::string pl = money(profitInAccountCurrency(market, quoteOf, i, account.id,
                                                                     inQuote.value_or(platform::Decimal()))
                                                 .amount.toDouble());
                row.col("UnrealisedPL", pl);
                floating += amountOf(pl);
            }
            storage += amountOf(p.storage);
            listed.push_back(&p);
            positions += row.str();
        }
        used = usedMarginOf(market, listed, account.id).toDouble();
        for (const auto& o : b.pendingOrders) {
            if (o.accountId != account.id || o.placedAt > period.to)
                continue;
            XmlRow row("Table2");
            row.col("PendingOrderId", o.pendingOrderId).col("RefTicketId", o.ticketId);
            row.col("AccountId", o.accountId).col("InstrumentId", o.instrumentId);
            row.col("IsBuy", o.isBuy ? "true" : "false").col("OrderTypeId", o.orderTypeId);
            row.col("OrderQty", o.orderQty).col("RemainingQty", o.remainingQty);
            row.col("OrderPrice", o.orderPrice).col("LimitPrice", o.limitPrice).col("StopPrice", o.stopPrice);
            row.col("DeliveryModeId", o.deliveryMode).col("TimeInForceId", o.timeInForce);
            row.col("OrderTime", xmlDate(o.placedAt));
            if (o.refPositionId != 0)
                row.col("RefPosIdOfBracket", o.refPositionId);
            orders += row.str();
        }
        for (const auto& s : b.settlements) {
            if (s.accountId != account.id || !period.contains(s.settledAt))
                continue;
            XmlRow row("Table3");
            row.col("SettlementId", s.settlementId).col("AccountId", s.accountId);
            row.col("InstrumentId", s.instrumentId).col("RefPositionId", s.refPositionId);
            row.col("RefClosingPositionId", s.refClosingPositionId).col("SettledQty", s.qty);
            row.col("IsBuy", s.isBuy ? "true" : "false").col("SettledPL", s.pl);
            row.col("SettlementDate", xmlDate(s.settledAt)).col("CommisionPaid", s.commission);
            row.col("OpenPrice", s.openPrice).col("ClosePrice", s.closePrice);
            row.col("OpenDate", xmlDate(s.openedAt)).col("CloseDate", xmlDate(s.closedAt));
            row.col("DeliveryModeId", s.deliveryMode).col("CurrencyRate", s.currencyRate);
            settlements += row.str();
        }
    });

    const double openingBalance = closingBalance - sumOf(moved);
    const double equity = closingBalance + floating + storage;
    std::string xml = "<NewDataSet>";
    for (const bool start : {true, false}) {
        const std::string& date = start ? period.from : period.to;
        const double balance = start ? openingBalance : closingBalance;
        XmlRow row("Table");
        row.col("TAHId", start ? 1 : 2).col("TAHDate", xmlDate(date));
        row.col("TAHEntryDateTime", xmlDate(date)).col("AccountId", account.id);
        row.col("AccountName", account.name).col("TradingEnabled", "true").col("Enabled", "true");
        row.col("GroupId", std::to_string(account.group)).col("OpeningBalanceOfDay", money(balance));
        row.col("Balance", money(balance)).col("CollateralSecurity", "0");
        if (start) {
            // Only its balance is read: the summary opens with it.
            row.col("Equity", money(balance)).col("AvailableMargin", money(balance));
            row.col("UsedMargin", "0").col("UnrealisedPL", "0").col("AccumulatingStorage", "0");
        } else {
            row.col("Equity", money(equity)).col("AvailableMargin", money(equity - used));
            row.col("UsedMargin", money(used)).col("UnrealisedPL", money(floating));
            row.col("AccumulatingStorage", money(storage));
        }
        row.col("CurrencyID", account.currency).col("TradingStatusId", account.tradingStatus);
        xml += row.str();
    }
    xml += positions + orders + settlements;
    for (const auto& m : transactionRows(moved)) {
        XmlRow row("Table4");
        row.col("DrAmount", money(m.debit)).col("CrAmount", money(m.credit));
        row.col("FinancialTransactionTypeId", m.type);
        row.col("SubFinancialTransactionTypeId", m.sub).col("AccountId", account.id);
        xml += row.str();
    }
    for (const auto& i : market.instruments) {
        XmlRow row("Table5");
        row.col("InstrumentId", i.id)
            .col("Name", i.name)
            .col("Code", i.code)
            .col("DecimalPlaces", i.decimals);
        xml += row.str();
    }
    for (const auto& i : market.instruments) {
        const auto [bid, ask] = closingQuote(i);
        XmlRow row("Table6");
        row.col("InstrumentId", i.id).col("Bid", formatScaled(bid, i.decimals));
        row.col("Ask", formatScaled(ask, i.decimals));
        xml += row.str();
    }
    XmlRow calls("Table7");
    calls.col("AccountId", account.id).col("MarginCallCount", account.marginCalls);
    xml += calls.str();
    if (!account.address.empty()) {
        XmlRow row("Table8");
        row.col("AccountId", account.id).col("ClientId", market.findUser(account.user)->id);
        row.col("Address1", account.address);
        xml += row.str();
    }
    if (!account.company.empty()) {
        XmlRow row("Table9");
        row.col("AccountId", account.id).col("CompanyAddress", account.company);
        xml += row.str();
    }
    return xml + "</NewDataSet>";
}

} // namespace

DataService::DataService(const Market& market, const AccountBook& book)
    : market_(market), book_(book), accessMaps_(market.accessMaps), approvals_(market.approvals),
      transactions_(market.transactions) {}

std::uint64_t DataService::addApproval(Approval approval) {
    std::lock_guard lock(mutex_);
    std::uint64_t next = 700001;
    for (const auto& a : approvals_)
        next = std::max(next, a.id + 1);
    approval.id = next;
    if (approval.financialId == 0)
        approval.financialId = next + 10000;
    approvals_.push_back(approval);
    return next;
}

void DataService::updateApproval(const Approval& approval) {
    std::lock_guard lock(mutex_);
    for (auto& a : approvals_)
        if (a.id == approval.id)
            a = approval;
}

void DataService::refuseProcedure(std::string procedure) {
    std::lock_guard lock(mutex_);
    refused_.push_back(std::move(procedure));
}

void DataService::addTransaction(FinancialTransaction transaction) {
    std::lock_guard lock(mutex_);
    std::int64_t next = 800001;
    for (const auto& t : transactions_)
        next = std::max(next, t.id + 1);
    transaction.id = next;
    transactions_.push_back(std::move(transaction));
}

std::vector<AccessMap> DataService::accessMaps() const {
    std::lock_guard lock(mutex_);
    return accessMaps_;
}

void seedAccountBook(const Market& market, AccountBook& book) {
    book.with([&](Books& b) {
        b.positions = market.positions;
        b.executed = market.positions;
        b.pendingOrders = market.orders;
        b.settlements = market.settlements;
        b.cancellations = market.cancellations;
        // The market's balances have paid the commissions of its positions when they opened; a
        // settlement of a position no longer listed stands for the charge of the part it closed.
        std::set<std::int64_t> listed;
        for (const auto& p : market.positions) {
            listed.insert(p.positionId);
            b.charges.push_back({p.accountId, p.positionId, p.commission, p.openedAt});
        }
        for (const auto& s : market.settlements)
            if (!listed.contains(s.refPositionId))
                b.charges.push_back({s.accountId, s.refPositionId, s.commission, s.openedAt});
        for (const auto& a : market.accounts)
            b.balances.insert_or_assign(a.id, a.balance);
        std::int64_t top = 0;
        for (const auto& p : market.positions)
            top = std::max({top, p.positionId, p.refTicketId, p.executionId});
        for (const auto& o : market.orders)
            top = std::max({top, o.pendingOrderId, o.ticketId});
        for (const auto& s : market.settlements)
            top = std::max(top, s.settlementId);
        for (const auto& c : market.cancellations)
            top = std::max(top, c.cancelledOrderId);
        b.nextId = std::max(b.nextId, top + 1);
    });
}

DataReply DataService::answer(const FieldMap& fields) {
    const Request request(market_, fields);
    const std::string procedure = request.value(tag::kProcedure);
    if (!request.user()) {
        platform::Log::warning("testserver: data-service request \"{}\" of an unknown user", procedure);
        return error();
    }
    Rows rows;
    // What the stream side booked meanwhile, read once under the lock.
    std::vector<Approval> approvals;
    std::vector<FinancialTransaction> transactions;
    {
        std::lock_guard lock(mutex_);
        if (std::find(refused_.begin(), refused_.end(), procedure) != refused_.end())
            return error();
        approvals = approvals_;
        transactions = transactions_;
    }
    auto done = [&] { return DataReply{rows.take(), std::nullopt}; };
    auto ownAccount = [&](int account) { return request.owns(account); };

    // The session's lists at login: every account of the user.
    if (procedure == "getopenpositions" || procedure == "getpendingorders" ||
        procedure == "getsettledpositions" ||
        (procedure == "getcancelledorders" && !request.has(tag::kAccount))) {
        book_.with([&](const Books& b) {
            if (procedure == "getopenpositions") {
                for (const auto& p : b.positions)
                    if (ownAccount(p.accountId))
                        openPositionRow(rows, p);
            } else if (procedure == "getpendingorders") {
                for (const auto& o : b.pendingOrders)
                    if (ownAccount(o.accountId))
                        pendingOrderRow(rows, o);
            } else if (procedure == "getsettledpositions") {
                for (const auto& s : b.settlements)
                    if (ownAccount(s.accountId))
                        settlementRow(rows, s);
            } else {
                for (const auto& c : b.cancellations)
                    if (ownAccount(c.accountId))
                        cancellationRow(rows, c);
            }
        });
        return done();
    }
    if (procedure == "getcancelledorders") {
        // The statement's cancellations: one account over one period.
        const auto account = request.account();
        const auto period = request.period();
        if (!account || !period)
            return error();
        book_.with([&](const Books& b) {
            for (const auto& c : b.cancellations)
                if (c.accountId == *account && period->contains(c.cancelledAt))
                    cancellationRow(rows, c);
        });
        return done();
    }
    if (procedure == "getequityhitpriceinfo") {
        const auto account = request.account();
        if (!account)
            return error();
        for (const auto& e : market_.equityHits) {
            if (e.account != *account)
                continue;
            rows.num(e.id).num(e.ref).num(e.position).num(e.instrumentId).text(e.orderPrice).text(e.hitPrice);
            rows.num(e.account).text(e.pl).text(e.charges).text(e.storage).flag(e.isBuy).text(e.qty);
            rows.text(e.rate).text(e.contract);
            rows.end();
        }
        return done();
    }
    if (procedure == "getexecutedpositions") {
        const auto period = request.period();
        if (!period)
            return error();
        book_.with([&](const Books& b) {
            for (const auto& p : b.executed)
                if (ownAccount(p.accountId) && period->contains(p.openedAt))
                    executedRow(rows, p);
        });
        return done();
    }
    if (procedure == "getbankaccounts") {
        const auto account = request.account();
        if (!account)
            return error();
        for (const auto& bank : market_.banks) {
            if (bank.account != *account)
                continue;
            rows.num(bank.id).num(bank.number).num(bank.branch).text(bank.name).num(bank.currency);
            rows.text(bank.remarks).text(bank.bank);
            rows.end();
        }
        return done();
    }
    if (procedure == "getinstruments") {
        for (const auto& i : market_.instruments) {
            rows.num(i.id).num(i.market).text(i.exchange).text(i.description).blank().text(i.icon);
            rows.text("1").text("1").blank(); // price unit id and value, extra info
            rows.end();
        }
        return done();
    }
    if (procedure == "getsessionschedule") {
        const auto market = wholeNumber(request.value(tag::kMarketId));
        const bool known =
            market && *market > 0 &&
            (std::any_of(
                 market_.instruments.begin(), market_.instruments.end(),
                 [&](const Instrument& i) { return i.market == static_cast<std::uint64_t>(*market); }) ||
             std::any_of(market_.schedules.begin(), market_.schedules.end(), [&](const SessionSchedule& s) {
                 return s.market == static_cast<std::uint64_t>(*market);
             }));
        if (!known)
            return error();
        for (const auto& s : market_.schedules) {
            if (s.market != static_cast<std::uint64_t>(*market))
                continue;
            rows.num(s.id).num(s.market).num(s.setting).num(s.day).text(s.start).text(s.stop);
            rows.end();
        }
        return done();
    }
    if (procedure == "getusermapwithmyaccount") {
        const auto account = request.account();
        if (!account)
            return error();
        for (const auto& m : accessMaps()) {
            const User* u = market_.findUserById(m.userId);
            if (m.account != *account || !u)
                continue;
            rows.num(m.userId).num(m.account).num(m.type).text(u->name);
            rows.end();
        }
        return done();
    }
    if (procedure == "addedituac") {
        // userId 0x05 accountId 0x05 accessTypeId 0x05 0x06: grant (or change) a user's access to
        // one of the requester's accounts.
        const auto parts = recordFields(request.value(tag::kRecordText));
        if (request.value(tag::kQualifier) != "edituabycl" || parts.size() < 3)
            return error();
        const auto userId = wholeNumber(parts[0]);
        const auto account = wholeNumber(parts[1]);
        const auto type = wholeNumber(parts[2]);
        if (!userId || !account || !type || *type < 0 || *type > 2147483647 || *userId <= 0 ||
            *userId > 2147483647 || *account <= 0 || *account > 2147483647 ||
            !market_.findUserById(static_cast<int>(*userId)) || !request.owns(static_cast<int>(*account)))
            return error();
        const AccessMap entry{static_cast<int>(*userId), static_cast<int>(*account), static_cast<int>(*type)};
        std::lock_guard lock(mutex_);
        auto it = std::find_if(accessMaps_.begin(), accessMaps_.end(), [&](const AccessMap& m) {
            return m.userId == entry.userId && m.account == entry.account;
        });
        if (it != accessMaps_.end())
            *it = entry;
        else if (accessMaps_.size() >= kMaxAccessMaps)
            return error();
        else
            accessMaps_.push_back(entry);
        return {"success", std::nullopt};
    }
    if (procedure == "resourcesearch") {
        const auto parts = recordFields(request.value(tag::kRecordText));
        if (parts.size() < 9)
            return error();
        for (const auto& r : market_.resources)
            if (r.kind == parts[5])
                resourceRow(rows, r, static_cast<std::uint64_t>(market_.product.id), true);
        return done();
    }
    if (procedure == "resourcedownload") {
        const auto parts = recordFields(request.value(tag::kRecordText));
        auto it = std::find_if(market_.resources.begin(), market_.resources.end(),
                               [&](const Resource& r) { return r.name == parts.front(); });
        if (it == market_.resources.end())
            return error();
        resourceRow(rows, *it, static_cast<std::uint64_t>(market_.product.id), false);
        auto payload = compressPayload(it->content);
        if (!payload)
            return error();
        return {rows.take(), std::move(payload)};
    }
    if (procedure == "paygategetsettings") {
        for (const auto& g : market_.payGates) {
            rows.num(g.id).text(g.name).flag(g.enabled).text(g.url).text(g.updated).num(g.currency);
            rows.num(g.organization);
            rows.end();
        }
        return done();
    }
    if (procedure == "getapprovalrequest" || procedure == "getfinancialapprovals") {
        const bool requests = procedure == "getapprovalrequest";
        for (const auto& a : approvals) {
            if (!ownAccount(a.account))
                continue;
            if (requests) {
                rows.num(a.id).num(a.type).flag(a.open).flag(a.sentToCms).flag(a.ready).text(a.requested);
                rows.num(a.ref).num(request.user()->id).text(a.remarks).num(a.subType);
            } else {
                // A deposit credits the account, a withdrawal debits it; the other side is unset.
                const std::string account = std::to_string(a.account);
                rows.num(a.id).num(a.financialId);
                rows.text(a.subType == 2 ? "(null)" : account).text(a.subType == 1 ? "(null)" : account);
                rows.text(twoDecimals(a.requestedAmount)).text(twoDecimals(a.approvedAmount)).num(a.subType);
                rows.flag(a.collateral).num(a.mode).text(a.date).text(a.bank).text(a.branch);
                rows.text(a.source).text(a.destination);
            }
            rows.end();
        }
        return done();
    }
    if (procedure == "getfinancialtransactions") {
        const auto account = request.account();
        const auto period = request.period();
        if (!account || !period)
            return error();
        for (const auto& t : transactions) {
            if (t.account != *account || !period->contains(t.date))
                continue;
            rows.num(t.id).text(t.code).num(t.account).num(t.subId).text(t.credit).text(t.debit);
            rows.text(t.balance).text(t.subCode).text(t.narration).text(t.date);
            rows.end();
        }
        return done();
    }
    if (procedure == "getdsaccountstatement") {
        const auto account = request.account();
        const auto period = request.period();
        if (!account || !period)
            return error();
        return {statementDocument(market_, book_, *market_.findAccount(*account), *period, transactions,
                                  prices_.load()),
                std::nullopt};
    }
    platform::Log::warning("testserver: unknown data-service procedure \"{}\"", procedure);
    return error();
}

} // namespace testserver
