#pragma once
// The server's side of the services around trading on the stream: gateway deposits (93 -> 94, 98,
// 96, then the paid payment's approval request, 694 801 with its transaction master), approval requests for
// bank deposits and withdrawals (693 -> 694 801/802, then 930 once approved; an approved or paid amount moves
// the account's balance in the book, told in an account summary 1045), the chat (contact tree, rooms,
// messages between signed-in users, support queues with an agent's greeting, recent conversations, offline
// notices, room transcripts, acknowledgements, presence changes, messages held for users signed out until
// they sign in) and the password change (37 -> 38). Bookings land in the data service, so its approval and
// transaction lists show them. Pure apart from that: the caller delivers the messages it returns.
// Thread-safe.
#include "account_book.h"
#include "data_service.h"
#include "market.h"
#include "server_clock.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testserver {

// A framed message for the stream clients of `user`; empty user: the client that sent the request.
struct DeskMessage {
    std::string user;
    std::string framed;
};

// Above this a gateway payment is refused with a server error (reply 94, tag 1015).
inline constexpr double kGatewayLimit = 50'000;
inline constexpr int kGatewayLimitError = 7;
// The gateway status (tag 572) of the progress reply (98): a payment under way, neither registered
// anew nor failed.
inline constexpr int kGatewayUnderWay = 3;
// Approval requests the desk refuses are answered with their action code, a server error (tag 1015)
// and its text: an account that is not the user's or does not allow the kind, an amount that is not
// above 0, or one above this limit.
inline constexpr double kApprovalLimit = 1'000'000;
inline constexpr int kApprovalAccountError = 3;
inline constexpr int kApprovalAmountError = 8;
// Rooms and transcripts kept; past these new ones are refused.
inline constexpr std::size_t kMaxRooms = 10'000;
inline constexpr std::size_t kMaxTranscript = 1'000;

// A new password shorter than this is refused.
inline constexpr std::size_t kMinPasswordLength = 8;

class ServiceDesk {
public:
    // All must outlive the desk; the clock gives every time the desk sends or books.
    ServiceDesk(const Market& market, DataService& data, AccountBook& book, const ServerClock& clock);

    static bool handles(int type);
    // A stream message of a signed-in user, by its fields.
    std::vector<DeskMessage> handle(const std::string& user, const std::map<int, std::string>& fields);

    // The password the user signs in with now (the market's until changed).
    std::optional<std::string> passwordOf(const std::string& user) const;
    // The user's password from now on, as if changed from another program; false for an unknown user.
    bool setPassword(const std::string& user, const std::string& password);
    // While on, a gateway payment's progress reply (98) comes after its result (96) and says the
    // payment registered (status 1), as a gateway's late registration notice would.
    void setRegistrationAfterResult(bool on) { registrationAfterResult_ = on; }
    // Presence: the user's contacts hear of it (type 619).
    std::vector<DeskMessage> presenceChanged(const std::string& user, bool online);
    // A server notice for the user: a new notice room (601 with its title) and its message (603), the
    // text sent as RTF.
    std::vector<DeskMessage> notice(const std::string& user, const std::string& title,
                                    const std::string& text);
    // A text from `from` to `to` as if typed by `from` (sent as RTF): their room (601 to `to`, made
    // when there is none) and the message (603 to `to`). Empty for unknown or equal users.
    std::vector<DeskMessage> chatAs(const std::string& from, const std::string& to, const std::string& text);
    // The account reaches the margin call level again: two account summaries to its user's clients,
    // margin status back to normal (0), then margin call (2), so each call is one the client tells.
    // Empty for an unknown account.
    std::vector<DeskMessage> marginCall(int accountId);
    // The messages of the conversation between two users as the server keeps them: sender and RTF
    // text, oldest first.
    std::vector<std::pair<std::string, std::string>> conversation(const std::string& a,
                                                                  const std::string& b) const;

private:
    struct Message {
        std::string id, sender, text, time; // text: RTF
        // The room's users who were signed out when it was sent: held for them until they acknowledge
        // it (type 608) after their sign-in's offline messages (613) brought it.
        std::set<std::string> heldFor{};
    };
    struct Room {
        std::uint64_t id = 0;
        std::string name;
        std::set<std::string> users;
        std::string title; // a notice's
        std::uint64_t queue = 0;
        std::vector<Message> messages;
        std::set<std::string> unread; // users who have not acknowledged a notice
    };

    std::vector<DeskMessage> payGateDeposit(const std::string& user, const std::map<int, std::string>& f);
    std::atomic<bool> registrationAfterResult_{false};
    std::vector<DeskMessage> approvalRequest(const std::string& user, const std::map<int, std::string>& f);
    // Adds `amount` (negative: takes it) to the account's balance in the book and books the
    // transaction with the balance it leaves; the account summary that tells its clients.
    DeskMessage moveBalance(const Account& account, double amount, FinancialTransaction transaction);
    std::vector<DeskMessage> contactList(const std::string& user);
    std::vector<DeskMessage> recentConversations(const std::string& user);
    std::vector<DeskMessage> offlineMessages(const std::string& user);
    std::vector<DeskMessage> roomRequest(const std::string& user, const std::map<int, std::string>& f);
    std::vector<DeskMessage> chatMessage(const std::string& user, const std::map<int, std::string>& f);
    std::vector<DeskMessage> roomMessages(const std::string& user, const std::map<int, std::string>& f);
    std::vector<DeskMessage> acknowledge(const std::string& user, const std::map<int, std::string>& f);
    std::vector<DeskMessage> queueRequest(const std::string& user, const std::map<int, std::string>& f);
    std::vector<DeskMessage> passwordChange(const std::string& user, const std::map<int, std::string>& f);
    Room* newRoom(std::set<std::string> users);
    std::string display(const std::string& user) const;
    std::string messageFrame(const Room& room, const Message& m) const;
    Room* findRoom(std::uint64_t id);
    Room* conversationRoom(const std::string& a, const std::string& b);
    // The room's newest message, to its users other than `from`: at once to those signed in, held for
    // the others.
    std::vector<DeskMessage> relay(Room& room, const std::string& from);
    std::string roomFrame(std::int64_t type, const Room& room, const std::string& key,
                          const std::string& other, const std::string& requestId) const;

    const Market& market_;
    DataService& data_;
    AccountBook& book_;
    const ServerClock& clock_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> passwords_; // changed passwords
    std::set<std::string> online_;
    std::map<std::uint64_t, Room> rooms_;
    std::uint64_t nextRoom_ = 5001;
    std::uint64_t nextGateway_ = 900001;
    std::uint64_t nextMessage_ = 1;
};

} // namespace testserver
