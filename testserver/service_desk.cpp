#include "service_desk.h"

#include "account_figures.h"
#include "model/records/financial_approval.h"
#include "model/records/funding_records.h"
#include "model/records/record_decimal.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "platform/rtf_writer.h"
#include "server_wire.h"
#include "wire/record_text.h"
#include "wire/wire_names.h"

#include <fmt/format.h>

#include <cmath>

namespace testserver {

namespace msg = tc::wire::msg;
namespace tag = tc::wire::tag;
using tc::platform::Log;

namespace {

using Fields = std::map<int, std::string>;

constexpr char kColumn = '\x05';
constexpr char kRow = '\x06';

std::string valueOf(const Fields& f, int t, std::string fallback = {}) {
    const auto it = f.find(t);
    return it == f.end() ? std::move(fallback) : it->second;
}

std::string row(std::initializer_list<std::string> columns) {
    std::string out;
    bool first = true;
    for (const std::string& c : columns) {
        if (!first)
            out.push_back(kColumn);
        out += c;
        first = false;
    }
    out.push_back(kRow);
    return out;
}

std::string number(double value) {
    return fmt::format("{}", value);
}

} // namespace

ServiceDesk::ServiceDesk(const Market& market, DataService& data, AccountBook& book, const ServerClock& clock)
    : market_(market), data_(data), book_(book), clock_(clock) {
    for (const Notice& n : market.notices) {
        Room room;
        room.id = n.room;
        room.name = "N" + std::to_string(n.room);
        room.users = {n.user};
        room.title = n.title;
        room.messages.push_back(
            {std::to_string(nextMessage_++), "Server", tc::platform::rtfFromPlainText(n.text), n.sent});
        if (n.unread)
            room.unread.insert(n.user);
        rooms_[room.id] = std::move(room);
    }
    for (const ChatLine& l : market.chatLines) {
        Room& room = rooms_[l.room];
        room.id = l.room;
        room.name = "R" + std::to_string(l.room);
        room.users.insert(l.from);
        room.users.insert(l.to);
        room.messages.push_back(
            {std::to_string(nextMessage_++), l.from, tc::platform::rtfFromPlainText(l.text), l.sent});
    }
}

bool ServiceDesk::handles(int type) {
    switch (type) {
    case msg::kPayGateMaster:
    case msg::kApproval:
    case msg::kContactList:
    case msg::kRecentConversation:
    case msg::kOfflineMessages:
    case msg::kRoomCreation:
    case msg::kChatMessage:
    case msg::kRoomMessages:
    case msg::kChatAcknowledgement:
    case msg::kChatQueueRequest:
    case msg::kPasswordChange:
        return true;
    default:
        return false;
    }
}

std::vector<DeskMessage> ServiceDesk::handle(const std::string& user, const Fields& f) {
    std::lock_guard lock(mutex_);
    switch (tc::platform::lenientInteger(valueOf(f, tag::kMessageType))) {
    case msg::kPayGateMaster:
        return payGateDeposit(user, f);
    case msg::kApproval:
        return approvalRequest(user, f);
    case msg::kContactList:
        return contactList(user);
    case msg::kRecentConversation:
        return recentConversations(user);
    case msg::kOfflineMessages:
        return offlineMessages(user);
    case msg::kRoomCreation:
        return roomRequest(user, f);
    case msg::kChatMessage:
        return chatMessage(user, f);
    case msg::kRoomMessages:
        return roomMessages(user, f);
    case msg::kChatAcknowledgement:
        return acknowledge(user, f);
    case msg::kChatQueueRequest:
        return queueRequest(user, f);
    case msg::kPasswordChange:
        return passwordChange(user, f);
    default:
        return {};
    }
}

std::optional<std::string> ServiceDesk::passwordOf(const std::string& user) const {
    std::lock_guard lock(mutex_);
    if (const auto it = passwords_.find(user); it != passwords_.end())
        return it->second;
    const User* u = market_.findUser(user);
    return u ? std::optional<std::string>(u->password) : std::nullopt;
}

bool ServiceDesk::setPassword(const std::string& user, const std::string& password) {
    std::lock_guard lock(mutex_);
    if (!market_.findUser(user) || password.empty())
        return false;
    passwords_[user] = password;
    return true;
}

// ---- funding

std::vector<DeskMessage> ServiceDesk::payGateDeposit(const std::string& user, const Fields& f) {
    const User* u = market_.findUser(user);
    const int accountId = static_cast<int>(tc::platform::lenientInteger(valueOf(f, tag::kAccount)));
    const Account* account = market_.findAccount(accountId);
    const std::uint64_t gateId =
        static_cast<std::uint64_t>(tc::platform::lenientInteger(valueOf(f, tag::kPayGate)));
    const PayGate* gate = nullptr;
    for (const PayGate& g : market_.payGates)
        if (g.id == gateId)
            gate = &g;
    const double amount = tc::platform::lenientReal(valueOf(f, tag::kApprovalAmount));
    const std::uint64_t requestId = nextGateway_++;
    WireFields master{typeField(msg::kPayGateMasterReply),
                      {tag::kReferenceId, valueOf(f, tag::kReferenceId)},
                      {147, std::to_string(requestId)},
                      {tag::kPayGate, std::to_string(gateId)},
                      {tag::kAccount, std::to_string(accountId)},
                      {1058, clock_.text()},
                      {tag::kApprovalAmount, number(amount)},
                      {tag::kFundingUserId, std::to_string(u ? u->id : 0)},
                      {tag::kRemarks, valueOf(f, tag::kRemarks)},
                      {tag::kEmail, valueOf(f, tag::kEmail)},
                      {tag::kTransactionFilter, "TK-" + std::to_string(requestId)}};
    std::string refusal;
    int error = 0;
    if (!account || account->user != user || (account->settings & 0x110) != 0x110) {
        error = 3;
        refusal = "This account does not take online payments.";
    } else if (!gate || !gate->enabled) {
        error = 4;
        refusal = "The payment gateway is not available.";
    } else if (!std::isfinite(amount) || amount <= 0 || amount > kGatewayLimit) {
        error = kGatewayLimitError;
        refusal = fmt::format("The amount is above the gateway's limit of {}.", kGatewayLimit);
    }
    if (error != 0) {
        master.push_back({1015, std::to_string(error)});
        master.push_back({tag::kText, refusal});
        master.push_back({572, "4"});
        return {{"", frameFields(master)}};
    }
    master.push_back({1015, "0"});
    master.push_back({572, "1"});
    std::vector<DeskMessage> out{{"", frameFields(master)}};
    // The payment page: redirected, paid, notified. Its status is that of a payment under way (3),
    // which the deposit window leaves as it is: 1 would open the page again, 2, 4 and 9 read as failed.
    // A registration told late comes after the result, with the status of a payment registered.
    const bool late = registrationAfterResult_;
    const std::string progress = frameFields({typeField(msg::kPayGateStatusReply),
                                              {147, std::to_string(requestId)},
                                              {146, clock_.text()},
                                              {148, clock_.text()},
                                              {149, ""},
                                              {572, late ? "1" : std::to_string(kGatewayUnderWay)},
                                              {150, "1"},
                                              {49, "0"}});
    if (!late)
        out.push_back({"", progress});
    tc::funding::AmpPayGateTransaction result;
    result.transId = requestId + 100000;
    result.refRequestId = requestId;
    result.payRequestId = "PR-" + std::to_string(requestId);
    result.payApprovedAmount = tc::decimalFromDouble(amount);
    result.transactionDate = clock_.now();
    result.resultCode = 0;
    result.authCode = "A1";
    result.currency = "USD";
    result.resultDesc = "Approved";
    result.payTransactionId = "PT-" + std::to_string(requestId);
    result.payMethod = "CARD";
    result.transStatus = tc::funding::PayGateTransaction::kStatusSuccess;
    out.push_back({"", frameFields({typeField(msg::kPayGateTransactionReply),
                                    {1015, "0"},
                                    {1061, result.toString(0).text},
                                    {1062, "0"}})});
    if (late)
        out.push_back({"", progress});
    // The paid payment is booked as an approved deposit request of the gateway's mode, tied to its
    // transaction master (tag 147): the approval lists show it as they show bank deposits.
    Approval a;
    a.account = accountId;
    a.subType = 1;
    a.mode = static_cast<std::uint64_t>(tc::funding::kOnlinePayment);
    a.requested = clock_.text();
    a.remarks = valueOf(f, tag::kRemarks);
    a.requestedAmount = number(amount);
    a.approvedAmount = a.requestedAmount;
    a.open = false;
    a.sentToCms = true;
    a.ready = true;
    a.date = a.requested;
    a.id = data_.addApproval(a);
    tc::funding::FinancialApproval money;
    money.approvalRequestId = a.id;
    money.approvalFinancialId = a.id + 10000;
    money.beneficiaryAccount = static_cast<std::uint64_t>(accountId);
    money.requestedAmount = tc::decimalFromDouble(amount);
    money.approvedAmount = money.requestedAmount;
    money.financialTransactionTypeId = tc::funding::FinancialApproval::kDeposit;
    money.transferMode = a.mode;
    money.dateOfTransaction = a.date;
    out.push_back({"", frameFields({typeField(msg::kApprovalReply),
                                    {tag::kApprovalAction, std::to_string(tc::wire::approval::kDeposit)},
                                    {1054, std::to_string(a.id)},
                                    {1055, "0"},
                                    {1056, "1"},
                                    {1057, "1"},
                                    {1058, a.requested},
                                    {tag::kApprovalRecord, money.getString(0).text},
                                    {tag::kApprovalFlag, "0"},
                                    {tag::kApprovalCount, "1"},
                                    {tag::kFundingUserId, std::to_string(u ? u->id : 0)},
                                    {tag::kRemarks, a.remarks},
                                    {147, std::to_string(requestId)}})});
    FinancialTransaction t;
    t.code = "DEP";
    t.account = accountId;
    t.subId = 14; // an online deposit
    t.credit = number(amount);
    t.subCode = "CARD";
    t.narration = "Online payment " + result.payTransactionId;
    t.date = clock_.text();
    t.type = 1;
    out.push_back(moveBalance(*account, amount, std::move(t)));
    return out;
}

std::vector<DeskMessage> ServiceDesk::marginCall(int accountId) {
    const Account* account = market_.findAccount(accountId);
    if (!account)
        return {};
    return book_.with([&](Books& books) {
        std::vector<DeskMessage> out;
        for (int status : {0, 2})
            out.push_back({account->user, frameFields(accountSummaryFields(market_, books, *account,
                                                                           clock_.text(), status))});
        return out;
    });
}

DeskMessage ServiceDesk::moveBalance(const Account& account, double amount,
                                     FinancialTransaction transaction) {
    using tc::platform::Decimal;
    const Decimal change = Decimal::fromString(number(amount)).value_or(Decimal());
    return book_.with([&](Books& books) {
        addToBalance(market_, books, account.id, change);
        // Booked under the same lock, so that its balance is the one this move left.
        transaction.balance = balanceOf(market_, books, account.id);
        data_.addTransaction(std::move(transaction));
        return DeskMessage{account.user,
                           frameFields(accountSummaryFields(market_, books, account, clock_.text()))};
    });
}

std::vector<DeskMessage> ServiceDesk::approvalRequest(const std::string& user, const Fields& f) {
    const int action = static_cast<int>(tc::platform::lenientInteger(valueOf(f, tag::kApprovalAction)));
    tc::funding::FinancialApproval money;
    money.loadFromString(valueOf(f, tag::kApprovalRecord), 0);
    const bool deposit = action == tc::wire::approval::kDeposit;
    const int accountId = static_cast<int>(deposit ? money.beneficiaryAccount : money.benefactorAccount);
    const Account* account = market_.findAccount(accountId);
    const std::int64_t right = deposit ? 0x10 : 0x20;
    if (action != tc::wire::approval::kDeposit && action != tc::wire::approval::kWithdrawal) {
        Log::warning("testserver: approval request {} of {} refused: unknown action", action, user);
        return {};
    }
    int error = 0;
    std::string refusal;
    const double asked = money.requestedAmount.isNaN() ? 0 : money.requestedAmount.toDouble();
    if (!account || account->user != user || (account->settings & right) == 0) {
        error = kApprovalAccountError;
        refusal =
            deposit ? "This account does not take deposits." : "This account does not allow withdrawals.";
    } else if (!(asked > 0)) {
        error = kApprovalAmountError;
        refusal = "The amount must be above 0.00.";
    } else if (asked > kApprovalLimit) {
        error = kApprovalAmountError;
        refusal = fmt::format("The amount is above the limit of {} for one request.", kApprovalLimit);
    }
    if (error != 0) {
        // As a trading server does: the action answered with the error and its text, and the
        // client's request number.
        Log::warning("testserver: approval request {} of {} for account {} refused: {}", action, user,
                     accountId, refusal);
        return {{"", frameFields({typeField(msg::kApprovalReply),
                                  {tag::kApprovalAction, std::to_string(action)},
                                  {tag::kRequestId, valueOf(f, tag::kRequestId, "0")},
                                  {1015, std::to_string(error)},
                                  {tag::kText, refusal}})}};
    }
    const User* u = market_.findUser(user);
    Approval a;
    a.account = accountId;
    a.subType = deposit ? 1 : 2;
    a.requested = clock_.text();
    a.remarks = valueOf(f, tag::kRemarks);
    a.requestedAmount = number(money.requestedAmount.toDouble());
    a.mode = money.transferMode == 0 ? 2 : money.transferMode;
    a.date = money.dateOfTransaction.value_or("");
    a.bank = money.bankName.value_or("");
    a.branch = money.branch.value_or("");
    a.source = money.sourceBankAccount.value_or("");
    a.destination = money.destinationBankAccount.value_or("");
    a.id = data_.addApproval(a);
    money.approvalRequestId = a.id;
    money.approvalFinancialId = a.financialId == 0 ? a.id + 10000 : a.financialId;
    const auto action694 = [&](int code, bool open) {
        return frameFields({typeField(msg::kApprovalReply),
                            {tag::kApprovalAction, std::to_string(code)},
                            {1054, std::to_string(a.id)},
                            {1055, open ? "1" : "0"},
                            {1056, open ? "0" : "1"},
                            {1057, open ? "0" : "1"},
                            {1058, a.requested},
                            {tag::kApprovalRecord, money.getString(0).text},
                            {tag::kApprovalFlag, "0"},
                            {tag::kApprovalCount, "1"},
                            {tag::kFundingUserId, std::to_string(u ? u->id : 0)},
                            {tag::kRemarks, a.remarks}});
    };
    std::vector<DeskMessage> out{{"", action694(action, true)}};
    // The desk approves at once: the money moves and the request closes.
    money.approvedAmount = money.requestedAmount;
    a.approvedAmount = number(money.approvedAmount.toDouble());
    a.open = false;
    a.ready = true;
    data_.updateApproval(a);
    out.push_back({"", action694(930, false)});
    FinancialTransaction t;
    t.code = deposit ? "DEP" : "WDL";
    t.account = accountId;
    t.subId = deposit ? 1 : 2;
    (deposit ? t.credit : t.debit) = number(money.approvedAmount.toDouble());
    t.subCode = "BANK";
    t.narration = deposit ? "Bank deposit" : "Withdrawal";
    t.date = clock_.text();
    t.type = deposit ? 1 : 2;
    // As a trading server does, the account's new balance follows the approval.
    const double moved = money.approvedAmount.toDouble();
    out.push_back(moveBalance(*account, deposit ? moved : -moved, std::move(t)));
    return out;
}

// ---- password

std::vector<DeskMessage> ServiceDesk::passwordChange(const std::string& user, const Fields& f) {
    const auto it = passwords_.find(user);
    const User* u = market_.findUser(user);
    const std::string current = it != passwords_.end() ? it->second : (u ? u->password : std::string());
    const std::string oldPassword = valueOf(f, tag::kOldPassword);
    const std::string newPassword = valueOf(f, tag::kNewPassword);
    if (!u || oldPassword != current || newPassword.empty())
        return {{"", frameFields({typeField(msg::kPasswordChangeReply),
                                  {tag::kRequestId, valueOf(f, tag::kRequestId, "0")},
                                  {tag::kText, "The old password is not correct."}})}};
    // The server's own rule, which the client does not know: it learns of it from the refusal.
    if (newPassword.size() < kMinPasswordLength)
        return {{"", frameFields({typeField(msg::kPasswordChangeReply),
                                  {tag::kRequestId, valueOf(f, tag::kRequestId, "0")},
                                  {tag::kText, "The new password must be at least 8 characters long."}})}};
    passwords_[user] = newPassword;
    return {{"", frameFields({typeField(msg::kPasswordChangeReply),
                              {tag::kRequestId, valueOf(f, tag::kRequestId, "0")},
                              {tag::kText, "success"},
                              {tag::kNewPassword, newPassword}})}};
}

// ---- chat

std::string ServiceDesk::display(const std::string& user) const {
    for (const ChatContact& c : market_.contacts)
        if (c.name == user && !c.display.empty())
            return c.display;
    return user;
}

ServiceDesk::Room* ServiceDesk::newRoom(std::set<std::string> users) {
    if (rooms_.size() >= kMaxRooms)
        return nullptr;
    Room room;
    room.id = nextRoom_++;
    room.name = "R" + std::to_string(room.id);
    room.users = std::move(users);
    return &(rooms_[room.id] = std::move(room));
}

ServiceDesk::Room* ServiceDesk::findRoom(std::uint64_t id) {
    const auto it = rooms_.find(id);
    return it == rooms_.end() ? nullptr : &it->second;
}

std::vector<DeskMessage> ServiceDesk::contactList(const std::string& user) {
    std::string groups, users, queues;
    for (const ChatGroupSeed& g : market_.chatGroups)
        groups += row({g.id, g.name, g.parent});
    for (const ChatContact& c : market_.contacts) {
        if (c.name == user)
            continue;
        const User* u = market_.findUser(c.name);
        users += row({std::to_string(u ? u->id : 0), c.name, online_.contains(c.name) ? "Online" : "Offline",
                      "", c.group, "1", "", c.display});
    }
    for (const ChatQueueSeed& q : market_.queues)
        queues += row({std::to_string(q.id), q.name, "false", "true"});
    return {
        {"", frameFields({typeField(msg::kContactListReply), {522, groups}, {521, users}, {1019, queues}})}};
}

std::vector<DeskMessage> ServiceDesk::recentConversations(const std::string& user) {
    std::string table;
    for (const auto& [id, room] : rooms_) {
        if (!room.users.contains(user) || room.messages.empty())
            continue;
        const Message& last = room.messages.back();
        std::string other;
        for (const std::string& u : room.users)
            if (u != user)
                other = u;
        std::string users;
        for (const std::string& u : room.users)
            users += (users.empty() ? "" : ";") + u;
        table += row({last.sender, last.text, users, last.time, std::to_string(room.id), room.name, "",
                      room.title, room.title.empty() ? display(other) : std::string()});
    }
    return {{"", frameFields({typeField(msg::kRecentConversationReply), {tag::kText, table}})}};
}

std::vector<DeskMessage> ServiceDesk::offlineMessages(const std::string& user) {
    std::string table;
    for (const auto& [id, room] : rooms_) {
        if (!room.title.empty() && room.unread.contains(user))
            table += row({"Server", "", user, room.messages.back().time, std::to_string(room.id), room.name,
                          "", room.title});
        if (!room.title.empty())
            continue;
        std::string users;
        for (const std::string& u : room.users)
            users += (users.empty() ? "" : ";") + u;
        // The messages held for the user, as a recent conversation's columns with no notice title.
        for (const Message& m : room.messages)
            if (m.heldFor.contains(user))
                table += row({m.sender, m.text, users, m.time, std::to_string(room.id), room.name, m.id, "",
                              display(m.sender)});
    }
    return {{"", frameFields({typeField(msg::kOfflineMessagesReply), {tag::kText, table}})}};
}

ServiceDesk::Room* ServiceDesk::conversationRoom(const std::string& a, const std::string& b) {
    for (auto& [id, r] : rooms_)
        if (r.title.empty() && r.queue == 0 && r.users == std::set<std::string>{a, b})
            return &r;
    return newRoom({a, b});
}

std::string ServiceDesk::roomFrame(std::int64_t type, const Room& room, const std::string& key,
                                   const std::string& other, const std::string& requestId) const {
    const User* o = market_.findUser(other);
    return frameFields({typeField(type),
                        {tag::kRequestId, requestId},
                        {tag::kChatPartner, key},
                        {tag::kRoomId, std::to_string(room.id)},
                        {tag::kRoomName, room.name},
                        {tag::kChatUser, other},
                        {tag::kRoomState, "0"},
                        {1051, std::to_string(o ? o->id : 0) + kColumn + display(other)}});
}

std::vector<DeskMessage> ServiceDesk::roomRequest(const std::string& user, const Fields& f) {
    const std::string partner = valueOf(f, tag::kChatPartner);
    if (partner.empty() || partner == user || !market_.findUser(partner))
        return {};
    Room* room = conversationRoom(user, partner);
    if (!room)
        return {};
    const std::string requestId = valueOf(f, tag::kRequestId, "0");
    // The requester's room is stored under the partner's name; the partner's under the requester's.
    return {{"", roomFrame(msg::kRoomCreationReply, *room, partner, partner, requestId)},
            {partner, roomFrame(msg::kRoomCreation, *room, user, user, requestId)}};
}

std::vector<DeskMessage> ServiceDesk::chatAs(const std::string& from, const std::string& to,
                                             const std::string& text) {
    std::lock_guard lock(mutex_);
    if (from == to || !market_.findUser(from) || !market_.findUser(to))
        return {};
    Room* room = conversationRoom(from, to);
    if (!room)
        return {};
    // The room is announced with every text: the receiver may not hold it under the sender's name.
    std::vector<DeskMessage> out;
    if (online_.contains(to))
        out.push_back({to, roomFrame(msg::kRoomCreation, *room, from, from, "0")});
    if (room->messages.size() >= kMaxTranscript)
        room->messages.erase(room->messages.begin());
    room->messages.push_back(
        {std::to_string(nextMessage_++), from, tc::platform::rtfFromPlainText(text), clock_.text(), {}});
    for (DeskMessage& m : relay(*room, from))
        out.push_back(std::move(m));
    return out;
}

std::vector<std::pair<std::string, std::string>> ServiceDesk::conversation(const std::string& a,
                                                                           const std::string& b) const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [id, r] : rooms_)
        if (r.title.empty() && r.queue == 0 && r.users == std::set<std::string>{a, b})
            for (const Message& m : r.messages)
                out.emplace_back(m.sender, m.text);
    return out;
}

std::string ServiceDesk::messageFrame(const Room& room, const Message& m) const {
    return frameFields({typeField(msg::kChatMessage),
                        {tag::kRoomId, std::to_string(room.id)},
                        {tag::kRoomName, room.name},
                        {tag::kChatUser, m.sender},
                        {506, m.id},
                        {517, display(m.sender)},
                        {tag::kTime, m.time},
                        {tag::kText, m.text}});
}

std::vector<DeskMessage> ServiceDesk::chatMessage(const std::string& user, const Fields& f) {
    Room* room = findRoom(static_cast<std::uint64_t>(tc::platform::lenientInteger(valueOf(f, tag::kRoomId))));
    if (!room || !room->users.contains(user) || room->name != valueOf(f, tag::kRoomName))
        return {};
    if (room->messages.size() >= kMaxTranscript)
        room->messages.erase(room->messages.begin());
    room->messages.push_back(
        {std::to_string(nextMessage_++), user, valueOf(f, tag::kText), clock_.text(), {}});
    return relay(*room, user);
}

std::vector<DeskMessage> ServiceDesk::relay(Room& room, const std::string& from) {
    std::vector<DeskMessage> out;
    Message& m = room.messages.back();
    for (const std::string& other : room.users) {
        if (other == from)
            continue;
        if (online_.contains(other))
            out.push_back({other, messageFrame(room, m)});
        else
            m.heldFor.insert(other);
    }
    return out;
}

std::vector<DeskMessage> ServiceDesk::roomMessages(const std::string& user, const Fields& f) {
    Room* room = findRoom(static_cast<std::uint64_t>(tc::platform::lenientInteger(valueOf(f, tag::kRoomId))));
    if (!room || !room->users.contains(user))
        return {};
    std::string table;
    for (const Message& m : room->messages)
        table += row({m.id, m.sender, m.text, m.time, display(m.sender)});
    return {{"", frameFields({typeField(msg::kRoomMessagesReply),
                              {tag::kRoomId, std::to_string(room->id)},
                              {tag::kText, table}})}};
}

std::vector<DeskMessage> ServiceDesk::acknowledge(const std::string& user, const Fields& f) {
    const std::string record = valueOf(f, tag::kAcknowledgedMessage);
    const std::size_t cut = record.find(kColumn);
    const std::string roomName = record.substr(0, cut);
    const std::int64_t upTo =
        cut == std::string::npos ? 0 : tc::platform::lenientInteger(std::string_view(record).substr(cut + 1));
    for (auto& [id, room] : rooms_) {
        if (room.name != roomName)
            continue;
        room.unread.erase(user);
        // Held messages up to the one acknowledged are the user's now.
        for (Message& m : room.messages)
            if (tc::platform::lenientInteger(m.id) <= upTo)
                m.heldFor.erase(user);
    }
    return {};
}

std::vector<DeskMessage> ServiceDesk::queueRequest(const std::string& user, const Fields& f) {
    const std::uint64_t queueId =
        static_cast<std::uint64_t>(tc::platform::lenientInteger(valueOf(f, tag::kQueueId)));
    const ChatQueueSeed* queue = nullptr;
    for (const ChatQueueSeed& q : market_.queues)
        if (q.id == queueId)
            queue = &q;
    if (!queue)
        return {};
    const std::string id = std::to_string(queueId);
    std::vector<DeskMessage> out{
        {"", frameFields({typeField(msg::kChatQueueReply), {tag::kQueueId, id}, {572, "1"}})}};
    Room* room = newRoom({user, queue->agent});
    if (!room)
        return out;
    room->queue = queueId;
    // The room's users, the user then the agent, before the queue id: the agent answers for the queue.
    out.push_back({"", frameFields({typeField(msg::kRoomCreation),
                                    {tag::kChatPartner, user + ";" + queue->agent},
                                    {tag::kRoomId, std::to_string(room->id)},
                                    {tag::kRoomName, room->name},
                                    {tag::kChatUser, queue->agent},
                                    {tag::kQueueId, id}})});
    out.push_back({"", frameFields({typeField(msg::kChatQueueReply), {tag::kQueueId, id}, {572, "2"}})});
    if (!valueOf(f, tag::kText).empty())
        room->messages.push_back(
            {std::to_string(nextMessage_++), user, valueOf(f, tag::kText), clock_.text()});
    if (!queue->greeting.empty()) {
        room->messages.push_back({std::to_string(nextMessage_++), queue->agent,
                                  tc::platform::rtfFromPlainText(queue->greeting), clock_.text()});
        out.push_back({"", messageFrame(*room, room->messages.back())});
    }
    return out;
}

std::vector<DeskMessage> ServiceDesk::presenceChanged(const std::string& user, bool online) {
    std::lock_guard lock(mutex_);
    if (online)
        online_.insert(user);
    else
        online_.erase(user);
    std::vector<DeskMessage> out;
    for (const std::string& other : online_)
        if (other != user)
            out.push_back({other, frameFields({typeField(msg::kChatUserStatus),
                                               {tag::kUserName, user},
                                               {tag::kOrderStatus, online ? "Online" : "Offline"}})});
    return out;
}

std::vector<DeskMessage> ServiceDesk::notice(const std::string& user, const std::string& title,
                                             const std::string& text) {
    std::lock_guard lock(mutex_);
    Room* room = newRoom({user});
    if (!room)
        return {};
    room->name = "N" + std::to_string(room->id);
    room->title = title;
    room->messages.push_back(
        {std::to_string(nextMessage_++), "Server", tc::platform::rtfFromPlainText(text), clock_.text()});
    room->unread.insert(user);
    const std::string id = std::to_string(room->id);
    return {{user, frameFields({typeField(msg::kRoomCreation),
                                {161, title},
                                {tag::kRoomId, id},
                                {tag::kRoomName, room->name},
                                {tag::kChatPartner, id},
                                {tag::kChatUser, "Server"}})},
            {user, frameFields({typeField(msg::kChatMessage),
                                {tag::kRoomId, id},
                                {tag::kRoomName, room->name},
                                {506, room->messages.back().id},
                                {tag::kTime, room->messages.back().time},
                                {tag::kText, room->messages.back().text}})}};
}

} // namespace testserver
