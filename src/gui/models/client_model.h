#pragma once
// The desktop program's one hold on a trading session. Windows and table models never subscribe to
// interfaces::Client themselves: they connect to the signals here, read the session through
// client(), and follow tick() for every cell that changes without an event (live prices, profit
// and loss, times): a window that refreshes once a second follows tick() rather than a timer of its
// own, so one tickNow() drives them all.
//
//     ClientModel session([&shell] { return interfaces::MakeClient(shell); });
//     connect(&session, &ClientModel::tick, window, &Board::refreshLiveCells);
//     connect(&session, &ClientModel::clientAboutToBeReplaced, window, &Board::dropSession);
//     session.signIn(settings);              // outcome: loginStateChanged
//     session.client().orders().placeOrder(ticket);    // commands answer at once
//
// One client serves one login. signIn() on a client that has signed in before replaces it: first
// clientAboutToBeReplaced (let go of every reference into the old client's views: records,
// collections, the depth store), then the old client's handlers go and the client is destroyed, a new
// one is made by the factory, and clientReplaced follows. Nothing of the old session arrives after
// clientAboutToBeReplaced. Everything here runs on the GUI thread, which is the core's main queue;
// each signal is emitted from a main-queue task of its own, never inside a command a window is making.
//
// A new client is not a new user: after a lost stream the same user signs in again and finds their
// windows as they were, their chat conversations and their journal (the new client takes them over
// before it signs in: the journal's lines of the requests the lost line left without an answer stay
// readable after the loss alert). When a login completes for another user than the one signed in before,
// userChanged comes first (everything of the last user is emptied or closed, the conversations and the
// journal kept too), then loginStateChanged.
#include "gui/models/server_clock.h"
#include "interfaces/client.h"
#include "platform/crypto.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

// Who a sign-in is for: the mode, the server and the user name as sent. The same name on another
// server, or in the other mode, is another user.
struct SignInUser {
    interfaces::LoginMode mode = interfaces::LoginMode::Simulation;
    std::string server;
    std::int32_t port = 0;
    std::string user;
    bool operator==(const SignInUser&) const = default;
};

class ClientModel : public QObject {
    Q_OBJECT
public:
    using ClientFactory = std::function<std::unique_ptr<interfaces::Client>()>;

    // The one-second refresh of every live column.
    static constexpr int kTickMilliseconds = 1000;

    // Makes the first client at once (signed out), so client() is always there to read.
    explicit ClientModel(ClientFactory factory, QObject* parent = nullptr);
    ~ClientModel() override;

    // The current client. A reference to it, or into its views, is good until clientAboutToBeReplaced.
    interfaces::Client& client() { return *client_; }
    const interfaces::Client& client() const { return *client_; }

    // Starts a login, on a new client when this one has signed in before.
    interfaces::SignInResult signIn(const interfaces::LoginSettings& settings);
    void signOut();
    // Registers a demo user instead of signing in, on a new client when this one was used before;
    // the outcome comes as demoRegistered.
    interfaces::CommandResult registerDemoUser(const interfaces::DemoRegistration& form);
    interfaces::LoginState loginState() const { return client_->loginState(); }
    // Orders start, and figures move, only while signed in.
    bool isSignedIn() const { return loginState() == interfaces::LoginState::SignedIn; }
    // Prices and figures are current only while signed in to a server that answers: a server that
    // has stopped answering leaves them standing, shown as not current.
    bool isLive() const { return isSignedIn() && client_->networkSpeed().answering; }
    // Replaces the client with a new one, signed out (see the header comment).
    void replaceClient();
    // The user the current client signs in (or signed in) for; none for a client that never tried.
    const std::optional<SignInUser>& signInUser() const { return signInUser_; }
    // The user whose login completed last; none before the first.
    const std::optional<SignInUser>& signedInUser() const { return signedInUser_; }
    // Whether `text` is the password the server accepted for `user`'s session: the one of their last
    // completed sign-in, or the new one of a change the server confirmed since (the console lock's
    // check). A refused or unfinished sign-in changes nothing. Only a salted digest is kept.
    bool isAcceptedPassword(const SignInUser& user, std::string_view text) const;
    // The password form's change on the current client (interfaces::Client::changePassword); once
    // the server confirms it, the new password is the accepted one.
    interfaces::CommandResult changePassword(std::string_view oldPassword, std::string_view newPassword,
                                             std::string_view confirmPassword);
    // Counts the clients made: a holder that cached something of a client can tell whether it is
    // still the current one.
    std::uint64_t generation() const { return generation_; }

    // Whether the client's figures over the positions are worked out: its login's open positions have
    // come and the core's refresh has valued every one shown. Until then an account's floating P/L,
    // equity and free margin would read as if it held nothing, so windows leave them blank. Once so,
    // it stays so for the client: a fill valued at the next refresh counts meanwhile as every window
    // has counted it.
    bool figuresValued() const;

    // Emits tick() now, ahead of the timer (a window that must show the latest at once, tests).
    void tickNow();

    // The server's date and time now, as the rows show theirs (ServerClock); every date a window
    // offers or checks against the present is read here, never from the computer's clock.
    QDateTime serverNow() const { return serverClock_.now(); }
    const ServerClock& serverClock() const { return serverClock_; }

Q_SIGNALS:
    void clientAboutToBeReplaced();
    void clientReplaced();
    // A login completed for another user than the last one signed in (`previous`); emitted before
    // loginStateChanged(SignedIn). Every window and list of the previous user's goes now.
    void userChanged(const tc::gui::SignInUser& previous);
    // The one-second refresh.
    void tick();

    void loginStateChanged(interfaces::LoginState state);
    // The tables a message changed, naming the order records it rewrote in place when it knows them
    // all; the views already hold the change.
    void tablesChanged(const interfaces::TableChange& change);
    // Instrument codes whose depth ladder changed (quotes are read on the tick).
    void depthChanged(const std::vector<std::string>& codes);
    void requestFailed(const interfaces::RequestFailure& failure);
    void chartArrived(const interfaces::ChartArrival& arrival);
    // The server's clock in the speed is serverNow's from this signal on.
    void networkSpeedChanged(const interfaces::NetworkSpeed& speed);
    // The server stopped answering, or answers again (isLive follows it).
    void answeringChanged(bool answering);
    void journalAppended(const std::string& line);
    void fundingReply(const interfaces::FundingReply& reply);
    void fundingFailed(const interfaces::FundingFailure& failure);
    void chatChanged(const interfaces::ChatChange& change);
    void noticeArrived(const interfaces::NoticeArrival& notice);
    void statementArrived(const interfaces::StatementArrival& arrival);
    void resourceStored(const interfaces::ResourceStored& stored);
    // A news category loaded (or why it could not be); only the latest load is announced.
    void newsLoaded(const interfaces::NewsLoad& load);
    void passwordChanged();
    void passwordRefused(const std::string& text);
    // A password change whose answer a replaced client never heard is known now: a sign-in of its
    // user completed with the new password (`made`) or with another one.
    void passwordChangeSettled(bool made);
    void sessionScheduleArrived(const interfaces::ScheduleArrival& arrival);
    void userAccessArrived(const interfaces::UserAccessArrival& arrival);
    void userAccessEdited(const interfaces::UserAccessEdit& edit);
    void bulkCloseReported(const interfaces::BulkCloseReport& report);
    // The server answered a request sent (OrderResult::request names it).
    void requestAnswered(const interfaces::RequestAnswer& answer);
    void bankDetailsArrived(const interfaces::BankDetailsArrival& arrival);
    void fundingHistoryArrived(interfaces::RequestId id);
    void demoRegistered(const interfaces::DemoRegistrationResult& result);

private:
    struct PasswordDigest {
        platform::Bytes salt;
        platform::Bytes digest;
    };
    static std::optional<PasswordDigest> digestOf(std::string_view password);
    static bool matches(const PasswordDigest& digest, std::string_view text);

    void makeClient();
    void subscribe();
    // replaceClient, the new client to sign in `next`: it takes over that user's kept journal.
    void replaceClientFor(const std::optional<SignInUser>& next);

    ClientFactory factory_;
    std::unique_ptr<interfaces::Client> client_;
    std::vector<std::unique_ptr<interfaces::Handler>> handlers_;
    bool loginUsed_ = false;
    mutable bool figuresValued_ = false;
    std::optional<SignInUser> signInUser_;
    std::optional<SignInUser> signedInUser_;
    // The client's login completed: its chat conversations are the user's to keep.
    bool clientSignedIn_ = false;
    std::vector<tc::chat::KeptConversation> keptConversations_;
    std::optional<SignInUser> keptConversationsUser_;
    // The journal of the user's last session, for their next one (see replaceClientFor).
    std::vector<std::string> keptJournal_;
    std::optional<SignInUser> keptJournalUser_;
    // The current client's sign-in and password change under way, taken up once the server accepts.
    std::optional<PasswordDigest> signInPassword_;
    std::optional<PasswordDigest> changedPassword_;
    // A change a replaced client sent and heard no answer of: whose, and the new password's digest,
    // until a sign-in of that user completes; and whether the sign-in under way is with it.
    struct UnsettledChange {
        SignInUser user;
        PasswordDigest newPassword;
    };
    std::optional<UnsettledChange> unsettledChange_;
    std::optional<bool> signingInWithChange_;
    // Whose password the server accepted last, and the digest of it.
    std::optional<SignInUser> acceptedUser_;
    std::optional<PasswordDigest> acceptedPassword_;
    bool answering_ = true;
    interfaces::LoginState lastState_ = interfaces::LoginState::SignedOut;
    std::uint64_t generation_ = 0;
    ServerClock serverClock_;
    QTimer tickTimer_;
};

} // namespace tc::gui
