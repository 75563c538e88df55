#pragma once
// The market the loopback server plays: instruments, groups, currencies, users and their accounts,
// read from a market file (see markets/default.market for the format), and the history, schedules,
// bank details, access maps, resources and funding records the data service starts from.
#include "account_book.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

struct ProductRecord {
    int id = 1;
    std::string name = "Tradeclient";
    std::string latestBuild = "0.1.0";
    std::string latestSupportedBuild = "0.1.0";
    std::int64_t systemCurrency = 0;
};

struct InstrumentType {
    int id = 0;
    std::string name;
};

struct TradingSession {
    int id = 0;
    std::string name;
    std::int64_t color = 0; // 0xRRGGBB
    std::int64_t status = 1;
};

struct Currency {
    std::int64_t id = 0;
    std::string code;
    std::int64_t instrument = 0; // the instrument whose prices convert into it; 0 for none
    std::int64_t mode = 0;       // conversion mode
    bool direct = false;
    std::string bidRate = "0";
    std::string askRate = "0";
    std::string depositRate = "1";
};

struct Group {
    int id = 0;
    std::string name;
    int leverage = 100; // told to no one: margin is per lot, equity counts the whole floating result
    std::string maxQty = "100";
    std::string qtyStep = "0.01";
    std::string minQty = "0.01";
    std::string margin = "1"; // initial margin per group instrument
    // Charged per lot in the account's currency when a position opens (the group instruments'
    // commission in the snapshot).
    std::string commission = "0";
    int spreadBid = 0;
    int spreadAsk = 0;
    // How the client puts the points on the feed's quotes: 0 not at all (quotes pass raw), 1 fixed
    // around the mid, 2 at least the points, 3 on top of the raw spread.
    int spreadType = 0;
    std::string marginCall = "100";
    std::string stopOut = "50";
    int historyDays = 365; // how far back a statement may be asked for
};

struct Instrument {
    int id = 0;
    std::string code;
    std::string name;
    int type = 0;
    int decimals = 5;
    std::int64_t price = 0;  // opening bid in units of 10^-decimals
    std::int64_t spread = 1; // ask minus bid, same units
    std::int64_t step = 1;   // largest move of one quote, same units
    std::string contractSize = "1";
    int conversion = 0; // CurrencyID of the snapshot: the instrument converting its P/L, 0 for none
    // PLCalcModeId of the snapshot: how its profit, in its quote currency, becomes one in the system
    // currency. 1: it is in it already; 5: times the mid of the conversion instrument; 6: divided
    // by it. Given by `plmode`, else worked out from the conversion instrument (profitModeOf).
    int profitMode = 0;
    int session = 1;
    std::uint64_t market = 1; // market id of the session schedules
    std::string exchange;
    std::string description;
    std::string icon; // resource name of its icon
    int unit = 0;     // UnitId of the snapshot: 17 currency, 9 troy ounces, 18 index...; 0 for none
};

enum class UserStatus { Enabled, Disabled, Locked };

struct User {
    int id = 0;
    std::string name;
    std::string password;
    UserStatus status = UserStatus::Enabled;
};

struct Account {
    int id = 0;
    std::string user;
    int group = 0;
    std::int64_t currency = 0;
    std::string balance = "0";
    std::string name;
    int tradingStatus = 1;
    // accountSettings bits of the login data: 0x10 deposits, 0x20 withdrawals, 0x100 online payment.
    std::int64_t settings = 0;
    // What the statement tells of the account: the client's and the company's address, margin calls.
    std::string address;
    std::string company;
    int marginCalls = 0;
};

// Wire date-times of the seeds are "yyyyMMddHHmmss".
struct SessionSchedule {
    std::uint64_t id = 0;
    std::uint64_t market = 0;
    std::uint64_t setting = 0; // trade-session setting id
    int day = 0;               // day of the week, 0 = Sunday (the client names 0 to 6)
    std::string start;
    std::string stop;
};

struct BankAccount {
    int account = 0;
    std::int64_t id = 0;
    std::int64_t number = 0;
    std::int64_t branch = 0;
    std::string name;
    std::int64_t currency = 0;
    std::string remarks;
    std::string bank;
};

struct AccessMap {
    int userId = 0;
    int account = 0;
    int type = 0; // kind of access granted
};

// An entry of the login's resource list: a caption the resources panel lists and the address it
// opens; icon names the entry's file among the resources (its key when set).
struct ResourceLink {
    std::int64_t id = 0;
    std::string caption;
    std::string url;
    std::string icon;
    std::string group;
};

struct Resource {
    std::string name; // file name, unique
    std::string kind; // the type text searched for: "CAL", "ICO"
    std::uint64_t type = 0;
    std::uint64_t organization = 0;
    std::string server;
    std::string pattern;
    std::string crc;
    std::uint64_t encode = 0;
    std::string content; // served compressed by a download
};

struct PayGate {
    std::uint64_t id = 0;
    std::string name;
    bool enabled = true;
    std::string url;
    std::string updated;
    std::uint64_t currency = 0;
    std::uint64_t organization = 0;
};

// An approval request with its deposit (sub-type 1) or withdrawal (2) details.
struct Approval {
    std::uint64_t id = 0;
    std::uint64_t financialId = 0;
    int account = 0;
    std::uint64_t type = 1;
    std::uint64_t subType = 1;
    bool open = true;
    bool sentToCms = false;
    bool ready = false;
    std::string requested;
    std::uint64_t ref = 0;
    std::string remarks;
    std::string requestedAmount = "0";
    std::string approvedAmount = "0";
    bool collateral = false;
    std::uint64_t mode = 2;
    std::string date;
    std::string bank;
    std::string branch;
    std::string source;
    std::string destination;
};

// The chat: groups of the contact tree, the users listed in it, support queues with the user who
// answers for them, and server notices (their text plain; the server sends it as RTF).
struct ChatGroupSeed {
    std::string id;
    std::string name;
    std::string parent;
};
struct ChatContact {
    std::string name; // a user name
    std::string group;
    std::string display;
};
struct ChatQueueSeed {
    std::uint64_t id = 0;
    std::string name;
    std::string agent;    // the user who answers
    std::string greeting; // the agent's first message
};
struct Notice {
    std::uint64_t room = 0;
    std::string user; // who receives it
    std::string title;
    std::string text;
    std::string sent;
    bool unread = true;
};

// One message of an earlier conversation between two users (its text plain; sent as RTF).
struct ChatLine {
    std::uint64_t room = 0;
    std::string from;
    std::string to;
    std::string text;
    std::string sent;
};

struct FinancialTransaction {
    std::int64_t id = 0;
    std::string code;
    int account = 0;
    std::int64_t subId = 0;
    std::string credit = "0";
    std::string debit = "0";
    std::string balance; // the balance after it; empty when not known
    std::string subCode;
    std::string narration;
    std::string date;
    int type = 1; // deposit 1, withdrawal 2: the statement's grouping
};

struct EquityHit {
    int id = 0;
    int ref = 0;
    std::int64_t position = 0;
    int account = 0;
    int instrumentId = 0;
    std::string orderPrice = "0";
    std::string hitPrice = "0";
    std::string pl = "0";
    std::string charges = "0";
    std::string storage = "0";
    bool isBuy = true;
    std::string qty = "0";
    std::string rate = "1";
    std::string contract = "1";
};

struct Market {
    ProductRecord product;
    std::vector<InstrumentType> types;
    std::vector<TradingSession> sessions;
    std::vector<Currency> currencies;
    std::vector<Group> groups;
    std::vector<Instrument> instruments;
    std::vector<User> users;
    std::vector<Account> accounts;

    // Seeds of the account book and of the data service.
    std::vector<ServerPosition> positions;
    std::vector<ServerPendingOrder> orders;
    std::vector<ServerSettlement> settlements;
    std::vector<ServerCancellation> cancellations;
    std::vector<SessionSchedule> schedules;
    std::vector<BankAccount> banks;
    std::vector<AccessMap> accessMaps;
    std::vector<Resource> resources;
    std::vector<ResourceLink> links;
    std::vector<PayGate> payGates;
    std::vector<Approval> approvals;
    std::vector<FinancialTransaction> transactions;
    std::vector<ChatGroupSeed> chatGroups;
    std::vector<ChatContact> contacts;
    std::vector<ChatQueueSeed> queues;
    std::vector<Notice> notices;
    std::vector<ChatLine> chatLines;
    std::vector<EquityHit> equityHits;

    const User* findUser(std::string_view name) const;
    const Instrument* findInstrument(std::string_view code) const;
    std::vector<const Account*> accountsOf(std::string_view user) const;
    const User* findUserById(int id) const;
    const Account* findAccount(int id) const;
};

// Caps on a market file; past them the file is refused with an error naming the line.
inline constexpr std::size_t kMaxMarketFileBytes = std::size_t{1} << 20;
inline constexpr std::size_t kMaxMarketLineBytes = 4096;
inline constexpr std::size_t kMaxMarketRecords = 10000;
inline constexpr std::size_t kMaxMarketValueBytes = 256;
inline constexpr int kMaxDecimals = 8;
// The highest unit number the client names (22, bales).
inline constexpr int kMaxUnit = 22;

struct MarketResult {
    std::optional<Market> market;
    std::string error; // "line N: ..." when market is empty
};

MarketResult parseMarket(std::string_view text);

// Users that demo registrations hand out: made with the market, so nothing the other threads read
// changes later, and refused at login until a registration gives them out.
inline constexpr std::size_t kRegistrationSlots = 50;
inline constexpr std::string_view kRegistrationAccountName = "Demo account";
// Adds `count` users ("demo" and a number no user has yet, a password of eight random letters and
// digits), each with one account in the group and currency of the market's first account, and
// returns their names in the order they are handed out. A market without accounts gets none.
std::vector<std::string> addRegistrationSlots(Market& market, std::size_t count);
MarketResult loadMarketFile(const std::filesystem::path& path);

// "1.08500" with 5 decimals -> 108500; more fraction digits than decimals, a sign or any other
// character is refused.
std::optional<std::int64_t> parseScaled(std::string_view text, int decimals);
// "yyyyMMddHHmmss" with a valid month, day, hour, minute and second.
bool isWireDate(std::string_view text);
// 108500 with 5 decimals -> "1.08500".
std::string formatScaled(std::int64_t units, int decimals);

} // namespace testserver
