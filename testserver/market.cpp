#include "market.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
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
    std::string number(const char* key, std::string fallback) {
        std::string v = text(key, fallback);
        double d = 0;
        auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
        if (v.empty() || ec != std::errc{} || end != v.data() + v.size())
            throw MarketError(line_.number, "bad number for " + std::string(key) + ": " + v);
        return v;
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
        g.spreadBid = static_cast<int>(r.integer("spreadbid", 0, -1000000, 1000000));
        g.spreadAsk = static_cast<int>(r.integer("spreadask", 0, -1000000, 1000000));
        g.marginCall = r.number("margincall", g.marginCall);
        g.stopOut = r.number("stopout", g.stopOut);
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
        i.session = static_cast<int>(r.integer("session", 1, 1));
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
        m.accounts.push_back(a);
    } else {
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
