#include "market.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace testserver {

const User* Market::findUser(std::string_view name) const {
    for (const auto& u : users)
        if (u.name == name)
            return &u;
    return nullptr;
}

const Instrument* Market::findInstrument(std::string_view code) const {
    for (const auto& i : instruments)
        if (i.code == code)
            return &i;
    return nullptr;
}

std::vector<const Account*> Market::accountsOf(std::string_view user) const {
    std::vector<const Account*> out;
    for (const auto& a : accounts)
        if (a.user == user)
            out.push_back(&a);
    return out;
}

const User* Market::findUserById(int id) const {
    for (const auto& u : users)
        if (u.id == id)
            return &u;
    return nullptr;
}

const Account* Market::findAccount(int id) const {
    for (const auto& a : accounts)
        if (a.id == id)
            return &a;
    return nullptr;
}

std::vector<std::string> addRegistrationSlots(Market& market, std::size_t count) {
    std::vector<std::string> names;
    if (market.accounts.empty())
        return names;
    const Account model = market.accounts.front();
    int userId = 0, accountId = 0;
    for (const auto& u : market.users)
        userId = std::max(userId, u.id);
    for (const auto& a : market.accounts)
        accountId = std::max(accountId, a.id);
    std::random_device entropy;
    std::mt19937 random(entropy());
    constexpr std::string_view kAlphabet = "abcdefghijkmnpqrstuvwxyz23456789";
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    for (int number = 2001; names.size() < count; ++number) {
        std::string name = "demo" + std::to_string(number);
        if (market.findUser(name))
            continue;
        User user;
        user.id = ++userId;
        user.name = name;
        for (int i = 0; i < 8; ++i)
            user.password += kAlphabet[pick(random)];
        Account account;
        account.id = ++accountId;
        account.user = name;
        account.group = model.group;
        account.currency = model.currency;
        account.balance = "10000";
        account.name = std::string(kRegistrationAccountName);
        market.users.push_back(std::move(user));
        market.accounts.push_back(std::move(account));
        names.push_back(std::move(name));
    }
    return names;
}

bool isWireDate(std::string_view text) {
    if (text.size() != 14 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    auto at = [&](std::size_t pos, std::size_t len) {
        int n = 0;
        for (std::size_t i = pos; i < pos + len; ++i)
            n = n * 10 + (text[i] - '0');
        return n;
    };
    const int month = at(4, 2), day = at(6, 2);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && at(8, 2) <= 23 && at(10, 2) <= 59 &&
           at(12, 2) <= 59;
}

std::optional<std::int64_t> parseScaled(std::string_view text, int decimals) {
    if (text.empty() || decimals < 0 || decimals > kMaxDecimals)
        return std::nullopt;
    const auto dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 12 || fraction.size() > static_cast<std::size_t>(decimals))
        return std::nullopt;
    if (dot != std::string_view::npos && fraction.empty())
        return std::nullopt;
    std::int64_t units = 0;
    for (char c : whole) {
        if (c < '0' || c > '9')
            return std::nullopt;
        units = units * 10 + (c - '0');
    }
    for (int i = 0; i < decimals; ++i) {
        int digit = 0;
        if (static_cast<std::size_t>(i) < fraction.size()) {
            const char c = fraction[static_cast<std::size_t>(i)];
            if (c < '0' || c > '9')
                return std::nullopt;
            digit = c - '0';
        }
        units = units * 10 + digit;
    }
    return units;
}

std::string formatScaled(std::int64_t units, int decimals) {
    const bool negative = units < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude);
    std::string text(digits, end);
    if (decimals > 0) {
        const auto d = static_cast<std::size_t>(decimals);
        if (text.size() <= d)
            text.insert(0, d + 1 - text.size(), '0');
        text.insert(text.size() - d, 1, '.');
    }
    return negative ? "-" + text : text;
}

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(separator, start), text.size());
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

struct Line {
    int number = 0;
    std::string kind;
    std::map<std::string, std::string> values;
};

class MarketError : public std::runtime_error {
public:
    MarketError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what) {}
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// kind key=value key="value with blanks" ...
Line tokenise(std::string_view text, int number) {
    Line line;
    line.number = number;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i]))
            ++i;
    };
    skipBlanks();
    while (i < text.size() && !isBlank(text[i]))
        line.kind.push_back(text[i++]);
    while (true) {
        skipBlanks();
        if (i >= text.size())
            break;
        const std::size_t keyStart = i;
        while (i < text.size() && text[i] != '=' && !isBlank(text[i]))
            ++i;
        if (i >= text.size() || text[i] != '=')
            throw MarketError(number, "expected key=value after \"" + line.kind + "\"");
        std::string key(text.substr(keyStart, i - keyStart));
        ++i;
        std::string value;
        if (i < text.size() && text[i] == '"') {
            const auto close = text.find('"', i + 1);
            if (close == std::string_view::npos)
                throw MarketError(number, "unterminated quoted value of " + key);
            value = std::string(text.substr(i + 1, close - i - 1));
            i = close + 1;
            if (i < text.size() && !isBlank(text[i]))
                throw MarketError(number, "text after the quoted value of " + key);
        } else {
            while (i < text.size() && !isBlank(text[i]))
                value.push_back(text[i++]);
        }
        if (key.empty())
            throw MarketError(number, "empty key");
        if (value.size() > kMaxMarketValueBytes)
            throw MarketError(number, "value of " + key + " is too long");
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20)
                throw MarketError(number, "control character in the value of " + key);
        if (!line.values.emplace(std::move(key), std::move(value)).second)
            throw MarketError(number, "a key given twice");
    }
    return line;
}

// Reads the keys of one record; every key of the line must be known.
class Reader {
public:
    explicit Reader(const Line& line) : line_(line) {}

    std::string text(const char* key, std::optional<std::string> fallback = std::nullopt) {
        used_.insert(key);
        auto it = line_.values.find(key);
        if (it != line_.values.end())
            return it->second;
        if (!fallback)
            throw MarketError(line_.number, std::string(line_.kind) + " needs " + key);
        return *fallback;
    }

    std::int64_t integer(const char* key, std::optional<std::int64_t> fallback = std::nullopt,
                         std::int64_t low = 0, std::int64_t high = 2147483647) {
        used_.insert(key);
        auto it = line_.values.find(key);
        if (it == line_.values.end()) {
            if (!fallback)
                throw MarketError(line_.number, line_.kind + " needs " + key);
            return *fallback;
        }
        std::string_view v = it->second;
        int base = 10;
        if (v.starts_with("0x") || v.starts_with("0X")) {
            v.remove_prefix(2);
            base = 16;
        }
        std::int64_t n = 0;
        auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n, base);
        if (v.empty() || ec != std::errc{} || end != v.data() + v.size() || n < low || n > high)
            throw MarketError(line_.number, "bad number for " + std::string(key) + ": " + it->second);
        return n;
    }

    // A decimal number kept as its text (it goes into the snapshot as it stands).
    // An empty fallback stands for a figure the record does not hold.
    std::string number(const char* key, std::string fallback) {
        const bool given = line_.values.contains(key);
        std::string v = text(key, fallback);
        if (!given && v.empty())
            return v;
        double d = 0;
        auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
        if (v.empty() || ec != std::errc{} || end != v.data() + v.size())
            throw MarketError(line_.number, "bad number for " + std::string(key) + ": " + v);
        return v;
    }

    // A wire date-time "yyyyMMddHHmmss"; empty only when the fallback is.
    std::string date(const char* key, std::optional<std::string> fallback = std::nullopt) {
        std::string v = text(key, fallback);
        if (!(v.empty() && fallback && fallback->empty()) && !isWireDate(v))
            throw MarketError(line_.number, std::string(key) + " is not a date yyyyMMddHHmmss: " + v);
        return v;
    }

    bool side(const char* key) {
        const std::string v = text(key);
        if (v == "buy" || v == "sell")
            return v == "buy";
        throw MarketError(line_.number, std::string(key) + " is buy or sell, not " + v);
    }

    // An instrument by its code; it must stand earlier in the file.
    int instrument(const Market& m, const char* key) {
        const std::string code = text(key);
        const Instrument* i = m.findInstrument(code);
        if (!i)
            throw MarketError(line_.number, "unknown instrument " + code);
        return i->id;
    }

    // A position's instrument: by code, or (`instrumentid`) by an id no instrument of the market
    // holds, as a server lists a position on an instrument the login's lists no longer carry.
    int positionInstrument(const Market& m) {
        const bool byId = line_.values.contains("instrumentid");
        if (byId == line_.values.contains("instrument"))
            throw MarketError(line_.number, "a position names instrument or instrumentid, one of them");
        if (!byId)
            return instrument(m, "instrument");
        const auto id = static_cast<int>(integer("instrumentid", std::nullopt, 1));
        if (std::any_of(m.instruments.begin(), m.instruments.end(),
                        [&](const Instrument& i) { return i.id == id; }))
            throw MarketError(line_.number, "instrumentid " + std::to_string(id) +
                                                " is a listed instrument's: name it by its code");
        return id;
    }

    bool flag(const char* key, bool fallback) {
        const std::string v = text(key, fallback ? "1" : "0");
        if (v == "1" || v == "yes" || v == "true")
            return true;
        if (v == "0" || v == "no" || v == "false")
            return false;
        throw MarketError(line_.number, "bad flag for " + std::string(key) + ": " + v);
    }

    void finish() const {
        for (const auto& [key, value] : line_.values)
            if (!used_.contains(key))
                throw MarketError(line_.number, "unknown key " + key + " in " + line_.kind);
    }

    int number() const { return line_.number; }

private:
    const Line& line_;
    std::set<std::string> used_;
};

constexpr std::int64_t kMaxId = 9'000'000'000'000'000;

// The records the account book and the data service start from; false for any other kind.
bool readSeed(Market& m, Reader& r, const std::string& kind) {
    auto id = [&](const char* key) { return r.integer(key, std::nullopt, 1, kMaxId); };
    auto account = [&](const char* key) { return static_cast<int>(r.integer(key, std::nullopt, 1)); };
    // 1 regular, 2 intraday, 3 BTST: every trade has one.
    auto delivery = [&] { return static_cast<int>(r.integer("delivery", 1, 1, 3)); };
    if (kind == "position") {
        ServerPosition p;
        p.positionId = id("id");
        p.accountId = account("account");
        p.instrumentId = r.positionInstrument(m);
        p.isBuy = r.side("side");
        p.qty = r.number("qty", "");
        p.initialQty = r.number("initialqty", p.qty);
        p.openPrice = r.number("price", "");
        p.commission = r.number("commission", "0");
        p.openedAt = r.date("opened");
        p.refTicketId = r.integer("ticket", 0, 0, kMaxId);
        p.executionId = r.integer("execution", 0, 0, kMaxId);
        p.orderTypeId = static_cast<int>(r.integer("type", 1, 1, 9));
        p.storage = r.number("storage", "0");
        p.deliveryMode = delivery();
        m.positions.push_back(p);
    } else if (kind == "order") {
        ServerPendingOrder o;
        o.pendingOrderId = id("id");
        o.ticketId = r.integer("ticket", 0, 0, kMaxId);
        o.accountId = account("account");
        o.instrumentId = r.instrument(m, "instrument");
        o.isBuy = r.side("side");
        o.orderTypeId = static_cast<int>(r.integer("type", 2, 1, 9));
        o.orderQty = r.number("qty", "");
        o.remainingQty = r.number("remaining", o.orderQty);
        o.orderPrice = r.number("price", "");
        o.limitPrice = r.number("limit", "0");
        o.stopPrice = r.number("stop", "0");
        o.timeInForce = static_cast<int>(r.integer("tif", 1, 0, 9)); // GTC unless said
        o.expiry = r.date("expiry", "");
        o.placedAt = r.date("placed");
        o.refPositionId = r.integer("bracket", 0, 0, kMaxId);
        o.deliveryMode = delivery();
        m.orders.push_back(o);
    } else if (kind == "settled") {
        ServerSettlement s;
        s.settlementId = id("id");
        s.accountId = account("account");
        s.instrumentId = r.instrument(m, "instrument");
        s.refPositionId = r.integer("position", 0, 0, kMaxId);
        s.refClosingPositionId = r.integer("closing", 0, 0, kMaxId);
        s.isBuy = r.side("side");
        s.qty = r.number("qty", "");
        s.pl = r.number("pl", "0");
        s.commission = r.number("commission", "0");
        s.openPrice = r.number("open", "");
        s.closePrice = r.number("close", "");
        s.openedAt = r.date("opened");
        s.closedAt = r.date("closed");
        s.settledAt = r.date("settled", s.closedAt);
        s.deliveryMode = delivery();
        m.settlements.push_back(s);
    } else if (kind == "cancelled") {
        ServerCancellation c;
        c.cancelledOrderId = id("id");
        c.accountId = account("account");
        c.instrumentId = r.instrument(m, "instrument");
        c.isBuy = r.side("side");
        c.qty = r.number("qty", "");
        c.orderTypeId = static_cast<int>(r.integer("type", 2, 1, 9));
        c.orderPrice = r.number("price", "0");
        c.refTicketId = r.integer("ticket", 0, 0, kMaxId);
        c.refPendingOrderId = r.integer("order", 0, 0, kMaxId);
        c.reasonId = static_cast<int>(r.integer("reason", 1, 0, 99));
        c.orderedAt = r.date("ordered");
        c.cancelledAt = r.date("cancelled");
        c.byUserId = static_cast<int>(r.integer("by", 0));
        c.deliveryMode = delivery();
        m.cancellations.push_back(c);
    } else if (kind == "schedule") {
        SessionSchedule s;
        s.id = static_cast<std::uint64_t>(id("id"));
        s.market = static_cast<std::uint64_t>(id("market"));
        s.setting = static_cast<std::uint64_t>(r.integer("setting", 1, 0));
        s.day = static_cast<int>(r.integer("day", std::nullopt, 0, 6));
        s.start = r.text("start");
        s.stop = r.text("stop");
        m.schedules.push_back(s);
    } else if (kind == "bank") {
        BankAccount b;
        b.account = account("account");
        b.id = id("id");
        b.number = r.integer("number", std::nullopt, 0, kMaxId);
        b.branch = r.integer("branch", 0, 0, kMaxId);
        b.name = r.text("name");
        b.currency = r.integer("currency", 0);
        b.remarks = r.text("remarks", "");
        b.bank = r.text("bank");
        m.banks.push_back(b);
    } else if (kind == "access") {
        const std::string user = r.text("user");
        const User* u = m.findUser(user);
        if (!u)
            throw MarketError(r.number(), "access names an unknown user " + user);
        m.accessMaps.push_back({u->id, account("account"), static_cast<int>(r.integer("type", 1, 0))});
    } else if (kind == "resource") {
        Resource res;
        res.name = r.text("name");
        res.kind = r.text("kind");
        res.type = static_cast<std::uint64_t>(r.integer("type", 0));
        res.organization = static_cast<std::uint64_t>(r.integer("organization", 0));
        res.server = r.text("server", "");
        res.pattern = r.text("pattern", "");
        res.crc = r.text("crc", "");
        res.encode = static_cast<std::uint64_t>(r.integer("encode", 0));
        // A backslash and n in the file stand for a line break, so calendar files fit on one line.
        std::string content = r.text("content");
        for (std::size_t at = 0; (at = content.find("\\n", at)) != std::string::npos;)
            content.replace(at, 2, "\n");
        res.content = std::move(content);
        if (res.name.empty() || res.kind.empty())
            throw MarketError(r.number(), "a resource needs a name and a kind");
        m.resources.push_back(std::move(res));
    } else if (kind == "link") {
        ResourceLink link;
        link.id = id("id");
        link.caption = r.text("caption");
        link.url = r.text("url", "");
        link.icon = r.text("icon", "");
        link.group = r.text("group", "");
        if (link.caption.empty())
            throw MarketError(r.number(), "a link needs a caption");
        m.links.push_back(std::move(link));
    } else if (kind == "paygate") {
        PayGate g;
        g.id = static_cast<std::uint64_t>(id("id"));
        g.name = r.text("name");
        g.enabled = r.flag("enabled", true);
        g.url = r.text("url");
        g.updated = r.date("updated");
        g.currency = static_cast<std::uint64_t>(r.integer("currency", std::nullopt, 1));
        g.organization = static_cast<std::uint64_t>(r.integer("organization", 1));
        m.payGates.push_back(g);
    } else if (kind == "approval") {
        Approval a;
        a.id = static_cast<std::uint64_t>(id("id"));
        a.financialId = static_cast<std::uint64_t>(r.integer("financial", 0, 0, kMaxId));
        a.account = account("account");
        a.type = static_cast<std::uint64_t>(r.integer("type", 1, 0));
        a.subType = static_cast<std::uint64_t>(r.integer("subtype", std::nullopt, 1, 2));
        a.open = r.flag("open", true);
        a.sentToCms = r.flag("senttocms", false);
        a.ready = r.flag("ready", false);
        a.requested = r.date("requested");
        a.ref = static_cast<std::uint64_t>(r.integer("ref", 0, 0, kMaxId));
        a.remarks = r.text("remarks", "");
        a.requestedAmount = r.number("amount", "");
        a.approvedAmount = r.number("approved", "0");
        a.collateral = r.flag("collateral", false);
        a.mode = static_cast<std::uint64_t>(r.integer("mode", 2, 1, 3));
        a.date = r.text("date", "");
        a.bank = r.text("bank", "");
        a.branch = r.text("branch", "");
        a.source = r.text("source", "");
        a.destination = r.text("destination", "");
        m.approvals.push_back(a);
    } else if (kind == "transaction") {
        FinancialTransaction t;
        t.id = id("id");
        t.code = r.text("code");
        t.account = account("account");
        t.subId = r.integer("sub", 0, 0, kMaxId);
        t.credit = r.number("credit", "0");
        t.debit = r.number("debit", "0");
        t.balance = r.number("balance", ""); // none when the file does not say
        t.subCode = r.text("subcode", "");
        t.narration = r.text("narration", "");
        t.date = r.date("date");
        t.type = static_cast<int>(r.integer("type", 1, 0, 99));
        m.transactions.push_back(t);
    } else if (kind == "chatgroup") {
        m.chatGroups.push_back({r.text("id"), r.text("name"), r.text("parent", "0")});
    } else if (kind == "contact") {
        m.contacts.push_back({r.text("name"), r.text("group"), r.text("display", "")});
    } else if (kind == "queue") {
        ChatQueueSeed q;
        q.id = static_cast<std::uint64_t>(id("id"));
        q.name = r.text("name");
        q.agent = r.text("agent");
        q.greeting = r.text("greeting", "");
        m.queues.push_back(q);
    } else if (kind == "notice") {
        Notice n;
        n.room = static_cast<std::uint64_t>(id("room"));
        n.user = r.text("user");
        n.title = r.text("title");
        n.text = r.text("text");
        n.sent = r.date("sent");
        n.unread = r.flag("unread", true);
        m.notices.push_back(n);
    } else if (kind == "chatline") {
        ChatLine l;
        l.room = static_cast<std::uint64_t>(id("room"));
        l.from = r.text("from");
        l.to = r.text("to");
        l.text = r.text("text");
        l.sent = r.date("sent");
        m.chatLines.push_back(l);
    } else if (kind == "equityhit") {
        EquityHit e;
        e.id = static_cast<int>(id("id"));
        e.ref = static_cast<int>(r.integer("ref", 0));
        e.position = id("position");
        e.account = account("account");
        e.instrumentId = r.instrument(m, "instrument");
        e.isBuy = r.side("side");
        e.qty = r.number("qty", "");
        e.orderPrice = r.number("price", "");
        e.hitPrice = r.number("hit", "");
        e.pl = r.number("pl", "0");
        e.charges = r.number("charges", "0");
        e.storage = r.number("storage", "0");
        e.rate = r.number("rate", "1");
        e.contract = r.number("contract", "1");
        m.equityHits.push_back(e);
    } else {
        return false;
    }
    return true;
}

void readRecord(Market& m, const Line& line) {
    Reader r(line);
    const std::string& kind = line.kind;
    if (kind == "product") {
        m.product.id = static_cast<int>(r.integer("id"));
        m.product.name = r.text("name");
        m.product.latestBuild = r.text("latest", m.product.latestBuild);
        m.product.latestSupportedBuild = r.text("supported", m.product.latestSupportedBuild);
        m.product.systemCurrency = r.integer("systemcurrency", 0);
    } else if (kind == "type") {
        m.types.push_back({static_cast<int>(r.integer("id", std::nullopt, 1)), r.text("name")});
    } else if (kind == "session") {
        TradingSession s;
        s.id = static_cast<int>(r.integer("id", std::nullopt, 1));
        s.name = r.text("name");
        s.color = r.integer("color", 0, 0, 0xFFFFFF);
        s.status = r.integer("status", 1);
        m.sessions.push_back(s);
    } else if (kind == "currency") {
        Currency c;
        c.id = r.integer("id", std::nullopt, 1);
        c.code = r.text("code");
        c.instrument = r.integer("instrument", 0);
        c.mode = r.integer("mode", 0, 0, 5);
        c.direct = r.flag("direct", false);
        c.bidRate = r.number("bid", "0");
        c.askRate = r.number("ask", "0");
        c.depositRate = r.number("deposit", "1");
        m.currencies.push_back(c);
    } else if (kind == "group") {
        Group g;
        g.id = static_cast<int>(r.integer("id", std::nullopt, 1));
        g.name = r.text("name");
        g.leverage = static_cast<int>(r.integer("leverage", 100, 1));
        g.maxQty = r.number("maxqty", g.maxQty);
        g.qtyStep = r.number("step", g.qtyStep);
        g.minQty = r.number("minqty", g.minQty);
        g.margin = r.number("margin", g.margin);
        g.commission = r.number("commission", g.commission);
        if (g.commission.starts_with('-'))
            throw MarketError(r.number(), "a group's commission is not below 0: " + g.commission);
        g.spreadBid = static_cast<int>(r.integer("spreadbid", 0, -1000000, 1000000));
        g.spreadAsk = static_cast<int>(r.integer("spreadask", 0, -1000000, 1000000));
        g.spreadType = static_cast<int>(r.integer("spreadtype", 0, 0, 3));
        g.marginCall = r.number("margincall", g.marginCall);
        g.stopOut = r.number("stopout", g.stopOut);
        g.historyDays = static_cast<int>(r.integer("history", 365, 0, 100000));
        m.groups.push_back(g);
    } else if (kind == "instrument") {
        Instrument i;
        i.id = static_cast<int>(r.integer("id", std::nullopt, 1));
        i.code = r.text("code");
        i.name = r.text("name");
        i.type = static_cast<int>(r.integer("type", std::nullopt, 1));
        i.decimals = static_cast<int>(r.integer("decimals", std::nullopt, 0, kMaxDecimals));
        const std::string price = r.text("price");
        auto units = parseScaled(price, i.decimals);
        if (!units || *units <= 0)
            throw MarketError(line.number,
                              "bad price " + price + " for " + std::to_string(i.decimals) + " decimals");
        i.price = *units;
        i.spread = r.integer("spread", 1, 0, 1000000);
        i.step = r.integer("step", 1, 1, 1000000);
        i.contractSize = r.number("contract", "1");
        i.conversion = static_cast<int>(r.integer("conversion", 0));
        i.profitMode = static_cast<int>(r.integer("plmode", 0, 1, 6));
        i.session = static_cast<int>(r.integer("session", 1, 1));
        i.market = static_cast<std::uint64_t>(r.integer("market", 1, 1));
        i.exchange = r.text("exchange", "");
        i.description = r.text("description", "");
        i.icon = r.text("icon", "");
        i.unit = static_cast<int>(r.integer("unit", 0, 0, kMaxUnit));
        m.instruments.push_back(i);
    } else if (kind == "user") {
        User u;
        u.id = static_cast<int>(r.integer("id", std::nullopt, 1));
        u.name = r.text("name");
        u.password = r.text("password");
        const std::string status = r.text("status", "enabled");
        if (status == "enabled")
            u.status = UserStatus::Enabled;
        else if (status == "disabled")
            u.status = UserStatus::Disabled;
        else if (status == "locked")
            u.status = UserStatus::Locked;
        else
            throw MarketError(line.number, "status is enabled, disabled or locked, not " + status);
        m.users.push_back(u);
    } else if (kind == "account") {
        Account a;
        a.id = static_cast<int>(r.integer("id", std::nullopt, 1));
        a.user = r.text("user");
        a.group = static_cast<int>(r.integer("group", std::nullopt, 1));
        a.currency = r.integer("currency", std::nullopt, 1);
        a.balance = r.number("balance", "0");
        a.name = r.text("name", std::to_string(a.id));
        a.tradingStatus = static_cast<int>(r.integer("status", 1, 0, 6));
        for (const std::string& right : split(r.text("funding", ""), ',')) {
            if (right == "deposit")
                a.settings |= 0x10;
            else if (right == "withdraw")
                a.settings |= 0x20;
            else if (right == "online")
                a.settings |= 0x100;
            else if (!right.empty())
                throw MarketError(line.number,
                                  "funding is a list of deposit, withdraw and online, not " + right);
        }
        a.address = r.text("address", "");
        a.company = r.text("company", "");
        a.marginCalls = static_cast<int>(r.integer("margincalls", 0, 0, 1000000));
        m.accounts.push_back(a);
    } else if (!readSeed(m, r, kind)) {
        throw MarketError(line.number, "unknown record kind " + kind);
    }
    r.finish();
}

template <typename T, typename Key>
void requireUnique(const std::vector<T>& items, Key key, const char* what) {
    std::set<decltype(key(items.front()))> seen;
    for (const auto& item : items)
        if (!seen.insert(key(item)).second)
            throw MarketError(0, std::string("duplicate ") + what);
}

void validateSeeds(const Market& m) {
    auto requireAccount = [&](int account, const char* what) {
        if (!m.findAccount(account))
            throw MarketError(0, std::string(what) + " of an unknown account " + std::to_string(account));
    };
    // Ids of positions, orders, settlements and cancellations share one space in the book.
    std::set<std::int64_t> ids;
    auto requireNewId = [&](std::int64_t id, const char* what) {
        if (!ids.insert(id).second)
            throw MarketError(0, std::string("duplicate id of a ") + what + ": " + std::to_string(id));
    };
    for (const auto& p : m.positions) {
        requireAccount(p.accountId, "position");
        requireNewId(p.positionId, "position");
    }
    for (const auto& o : m.orders) {
        requireAccount(o.accountId, "order");
        requireNewId(o.pendingOrderId, "order");
        if (o.refPositionId != 0 &&
            std::none_of(m.positions.begin(), m.positions.end(),
                         [&](const ServerPosition& p) { return p.positionId == o.refPositionId; }))
            throw MarketError(0,
                              "order " + std::to_string(o.pendingOrderId) + " brackets an unknown position");
    }
    for (const auto& s : m.settlements) {
        requireAccount(s.accountId, "settlement");
        requireNewId(s.settlementId, "settlement");
    }
    for (const auto& c : m.cancellations) {
        requireAccount(c.accountId, "cancellation");
        requireNewId(c.cancelledOrderId, "cancellation");
    }
    for (const auto& b : m.banks)
        requireAccount(b.account, "bank details");
    for (const auto& a : m.accessMaps)
        requireAccount(a.account, "access map");
    for (const auto& a : m.approvals)
        requireAccount(a.account, "approval");
    for (const auto& t : m.transactions)
        requireAccount(t.account, "transaction");
    for (const auto& e : m.equityHits)
        requireAccount(e.account, "equity hit");
    requireUnique(
        m.banks, [](const BankAccount& b) { return b.account; }, "bank details of an account");
    requireUnique(
        m.resources, [](const Resource& r) { return r.name; }, "resource name");
    requireUnique(
        m.payGates, [](const PayGate& g) { return g.id; }, "pay-gate id");
    requireUnique(
        m.approvals, [](const Approval& a) { return a.id; }, "approval id");
    requireUnique(
        m.notices, [](const Notice& n) { return n.room; }, "notice room");
    for (const auto& n : m.notices)
        if (!m.findUser(n.user))
            throw MarketError(0, "notice for an unknown user " + n.user);
    for (const auto& l : m.chatLines) {
        if (!m.findUser(l.from) || !m.findUser(l.to) || l.from == l.to)
            throw MarketError(0, "chat line between unknown users " + l.from + " and " + l.to);
        for (const auto& n : m.notices)
            if (n.room == l.room)
                throw MarketError(0, "chat line in notice room " + std::to_string(l.room));
    }
    for (const auto& c : m.contacts)
        if (!m.findUser(c.name))
            throw MarketError(0, "chat contact of an unknown user " + c.name);
    for (const auto& q : m.queues)
        if (!m.findUser(q.agent))
            throw MarketError(0, "queue answered by an unknown user " + q.agent);
    requireUnique(
        m.schedules, [](const SessionSchedule& s) { return s.id; }, "schedule id");
}

void validate(const Market& m) {
    if (m.users.empty() || m.instruments.empty() || m.groups.empty())
        throw MarketError(0, "a market needs at least one user, one instrument and one group");
    requireUnique(
        m.types, [](const InstrumentType& t) { return t.id; }, "type id");
    requireUnique(
        m.sessions, [](const TradingSession& s) { return s.id; }, "session id");
    requireUnique(
        m.currencies, [](const Currency& c) { return c.id; }, "currency id");
    requireUnique(
        m.groups, [](const Group& g) { return g.id; }, "group id");
    requireUnique(
        m.instruments, [](const Instrument& i) { return i.id; }, "instrument id");
    requireUnique(
        m.instruments, [](const Instrument& i) { return i.code; }, "instrument code");
    requireUnique(
        m.users, [](const User& u) { return u.name; }, "user name");
    requireUnique(
        m.users, [](const User& u) { return u.id; }, "user id");
    requireUnique(
        m.accounts, [](const Account& a) { return a.id; }, "account id");
    auto has = [](const auto& items, auto pred) { return std::any_of(items.begin(), items.end(), pred); };
    for (const auto& i : m.instruments) {
        // The feed puts the code first and cuts at the field separator; the topics are prefixes.
        if (i.code.empty() || i.code.find(';') != std::string::npos || i.code.starts_with("MD_") ||
            i.code.starts_with("IS;"))
            throw MarketError(0, "instrument code " + i.code + " cannot be a feed topic");
        if (!has(m.types, [&](const InstrumentType& t) { return t.id == i.type; }))
            throw MarketError(0, "instrument " + i.code + " names an unknown type");
        if (!has(m.sessions, [&](const TradingSession& s) { return s.id == i.session; }))
            throw MarketError(0, "instrument " + i.code + " names an unknown session");
        if (i.conversion != 0 &&
            !has(m.instruments, [&](const Instrument& o) { return o.id == i.conversion; }))
            throw MarketError(0, "instrument " + i.code + " converts through an unknown instrument");
    }
    for (const auto& a : m.accounts) {
        if (!m.findUser(a.user))
            throw MarketError(0, "account " + std::to_string(a.id) + " belongs to an unknown user");
        if (!has(m.groups, [&](const Group& g) { return g.id == a.group; }))
            throw MarketError(0, "account " + std::to_string(a.id) + " names an unknown group");
        if (!has(m.currencies, [&](const Currency& c) { return c.id == a.currency; }))
            throw MarketError(0, "account " + std::to_string(a.id) + " names an unknown currency");
    }
    validateSeeds(m);
}

// An instrument's P/L mode when the file gives none: no conversion instrument, the profit is in the
// system currency already (1); a conversion instrument quoting the system currency, as USDJPY does
// for USDJPY and EURJPY, divides by its mid (6); one quoted in it, as GBPUSD for EURGBP, multiplies
// (5). The client values every floating result so, then into the account's currency.
void assignProfitModes(Market& m) {
    std::string system;
    for (const auto& c : m.currencies)
        if (c.id == m.product.systemCurrency)
            system = c.code;
    for (auto& i : m.instruments) {
        if (i.profitMode != 0)
            continue;
        if (i.conversion == 0) {
            i.profitMode = 1;
            continue;
        }
        const auto by = std::find_if(m.instruments.begin(), m.instruments.end(),
                                     [&](const Instrument& o) { return o.id == i.conversion; });
        if (!system.empty() && by->code.starts_with(system))
            i.profitMode = 6;
        else if (!system.empty() && by->code.ends_with(system))
            i.profitMode = 5;
        else
            throw MarketError(0, "instrument " + i.code + " converts through " + by->code +
                                     ", which does not quote the system currency: give its plmode");
    }
}

} // namespace

MarketResult parseMarket(std::string_view text) {
    MarketResult result;
    if (text.size() > kMaxMarketFileBytes) {
        result.error = "market file is larger than 1 MiB";
        return result;
    }
    try {
        Market m;
        m.types.clear();
        int number = 0;
        std::size_t records = 0;
        while (!text.empty()) {
            ++number;
            const auto eol = text.find('\n');
            std::string_view raw = text.substr(0, eol);
            text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
            if (raw.size() > kMaxMarketLineBytes)
                throw MarketError(number, "line is too long");
            std::size_t first = 0;
            while (first < raw.size() && isBlank(raw[first]))
                ++first;
            if (first == raw.size() || raw[first] == '#')
                continue;
            if (++records > kMaxMarketRecords)
                throw MarketError(number, "too many records");
            readRecord(m, tokenise(raw, number));
        }
        validate(m);
        assignProfitModes(m);
        result.market = std::move(m);
    } catch (const MarketError& e) {
        result.error = e.what();
        if (result.error.starts_with("line 0: "))
            result.error.erase(0, 8);
    }
    return result;
}

MarketResult loadMarketFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return {std::nullopt, "cannot read " + path.string() + ": " + ec.message()};
    if (size > kMaxMarketFileBytes)
        return {std::nullopt, path.string() + " is larger than 1 MiB"};
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (!in.good() && !in.eof())
        return {std::nullopt, "cannot read " + path.string()};
    MarketResult r = parseMarket(buffer.str());
    if (!r.market)
        r.error = path.filename().string() + ": " + r.error;
    return r;
}

} // namespace testserver
