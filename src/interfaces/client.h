#pragma once
// The one road from a program to a trading session. The client keeps session control, the market and
// account views, the tables, the journal and the network; it hands out one part each for orders,
// funding, chat, statements, resources and news (orders.h and its neighbours), each with its commands, views
// and events. Views are read-only, commands answer at once, events are typed. The desktop program
// reaches the core only through these headers and application_interface.h (which the core calls
// back). No Qt here.
//
// Threads: call every member on the main queue (the GUI thread, once the program's pump drains it).
// Event callbacks run there too, each from a main-queue task of its own, never inside a call the
// subscriber is making; a handler destroyed (or disconnected) before its event comes gets nothing.
//
// Lifetime: one client per login. A re-login replaces the client, old one first: the holder drops
// every handler it got from the old client and every reference into its views, then destroys it. The
// destructor signs out, stops the network threads and the reachability watcher, and drops everything
// it had queued for the main queue, so nothing of the old session arrives afterwards; only then does
// the holder call MakeClient for the new login. Handlers may outlive their client (they then do
// nothing), views may not.
#include "charts/chart_cache.h"
#include "interfaces/application_interface.h"
#include "interfaces/chat.h"
#include "interfaces/commands.h"
#include "interfaces/funding.h"
#include "interfaces/handler.h"
#include "interfaces/news.h"
#include "interfaces/orders.h"
#include "interfaces/resources.h"
#include "interfaces/statements.h"
#include "interfaces/tables.h"
#include "model/data_service_collections.h"
#include "model/market_depth.h"
#include "model/records/request_records.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "platform/clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {
class UserDefaults;
}

namespace interfaces {

using tc::DataServiceCollections;
using tc::MarketDepthStore;
using tc::SessionModel;
using tc::SessionQueries;
using tc::UserAccountMaps;
namespace charts = tc::charts;

// ---- session control

enum class LoginMode { Live, Simulation };

struct LoginSettings {
    LoginMode mode = LoginMode::Simulation;
    // Empty, 0: the mode's server and port from the login property list.
    std::string server;
    std::int32_t port = 0;
    std::string user;
    std::string password;
};

// SignedOut: before signIn, after signOut, a refusal, a login elsewhere or a failed start. Connecting:
// the stream is being opened and the login request sent. Loading: the login data arrived and the
// session is being set up. SignedIn: the server completed the login. Lost: the stream dropped without
// being asked to (there is no automatic reconnection; sign in again with a new client).
enum class LoginState { SignedOut, Connecting, Loading, SignedIn, Lost };

struct SignInResult {
    bool started = false;
    // Why the login did not start, in words for the login window; empty when it started.
    std::string error;
    explicit operator bool() const { return started; }
};

// The ping round trip's class (0 under 1 s, 1 under 2 s, 2 up to 3 s, 3 slower or unknown) and the
// server clock of the last ping reply ("yyyyMMddHHmmss", empty before the first) with the moment
// (the platform's monotonic clock) that reply came off the socket: the server's clock is that time
// moved on from that moment, whenever this is told (a silence, a network change). `answering` is
// false while a signed-in server has let its ping replies wait for several seconds: the stream is
// still up, but nothing the server is sent is answered, so prices and the clock are not current and
// orders are refused until a reply comes again.
struct NetworkSpeed {
    std::int32_t speedClass = 0;
    std::string serverTime;
    bool answering = true;
    std::optional<tc::platform::Clock::time_point> serverTimeHeardAt{};
};

// A demo-account registration as the registration sheet collects it; the deposit is the amount
// chosen, the country its display name. Server and port: empty, 0 for the simulation mode's.
struct DemoRegistration {
    std::string name;
    std::string email;
    std::string phone;
    std::string country;
    std::string deposit;
    bool newsletter = false;
    std::string server;
    std::int32_t port = 0;
};

// ---- events

// The server's answer to a demo registration: the new user's name and password, or (registered
// false) neither; the shell has then shown the refusal.
struct DemoRegistrationResult {
    bool registered = false;
    std::string userName;
    std::string password;
};

// A chart reply stored: the request it answers and the key it is kept under in the chart store.
struct ChartArrival {
    RequestId id = 0;
    std::string key;
};

// A market's session schedules arrived (the data-service collections hold them under the market id).
struct ScheduleArrival {
    RequestId id = 0;
    std::uint64_t marketId = 0;
};

// The users who may reach an account arrived (the data-service collections hold them).
struct UserAccessArrival {
    RequestId id = 0;
    std::int32_t accountId = 0;
};

// The server's answer to an edit of user access.
struct UserAccessEdit {
    RequestId id = 0;
    bool accepted = false;
};

class Client {
public:
    virtual ~Client() = default;

    // ---- session control
    // Starts the login: the stream is opened and the login request follows; the outcome arrives as
    // login state changes (a refusal also reaches the shell's loginRefused). One login per client.
    virtual SignInResult signIn(const LoginSettings& settings) = 0;
    // Ends the session without an alert; the state becomes SignedOut.
    virtual void signOut() = 0;
    virtual LoginState loginState() const = 0;
    virtual NetworkSpeed networkSpeed() const = 0;
    // Registers a demo user instead of signing in: the stream opens in registration mode and the form
    // goes out once it is up; the answer is a DemoRegistered event. One login or registration per client.
    virtual CommandResult registerDemoUser(const DemoRegistration& form) = 0;
    // Whether requests may go out now (after the login, while the network is up).
    virtual bool isNetworkAvailable() const = 0;
    // Works the network-speed class out again from the time since the server's last clock (class 3
    // past 3 s, or without one) and announces it; the shell runs it a while after a lost stream.
    virtual void measureNetworkSpeed() = 0;
    // The user name the session signs in with (empty before signIn).
    virtual std::string userName() const = 0;
    // The password form's checks (all filled, the old one is the current, new equals confirm, new
    // differs from the current), then the change request; the answer is an event.
    virtual CommandResult changePassword(std::string_view oldPassword, std::string_view newPassword,
                                         std::string_view confirmPassword) = 0;

    // ---- the parts, one per service; they live as long as the client
    virtual Orders& orders() = 0;
    virtual Funding& funding() = 0;
    virtual Chat& chat() = 0;
    virtual Statements& statements() = 0;
    virtual Resources& resources() = 0;
    // The news feed; its source is the login property list's entry for the mode signed in with,
    // unless set before.
    virtual News& news() = 0;

    // ---- read-only views, current as of the last event. The lists a window shows come from queries(),
    // which hand out each record as const; the model's look-ups are for reading only as well.
    virtual const SessionModel& model() const = 0;
    virtual const SessionQueries& queries() const = 0;
    virtual const MarketDepthStore& depth() const = 0;
    virtual const std::vector<std::string>& journal() const = 0;
    virtual const DataServiceCollections& dataService() const = 0;
    virtual const charts::ChartDataStore& chartData() const = 0;
    // The watch list's instrument codes in the user's order.
    virtual std::vector<std::string> watchList() const = 0;
    // The account the main window follows (its AccountId; 0 before one is chosen).
    virtual std::int32_t currentAccount() const = 0;

    // ---- commands
    // Puts the journal of the same user's session before this one ahead of this session's lines, so
    // that what it recorded (the requests a lost line left without an answer among them) stays
    // readable after the sign-in again. Called before signIn; the newest lines are kept within the
    // journal's limit.
    virtual void takeOverJournal(std::vector<std::string> lines) = 0;
    // Stores the watch list and follows it with the feed subscriptions.
    virtual void setWatchList(const std::vector<std::string>& codes) = 0;
    // The account whose figures the main window shows and whose hedge margin the order rules work
    // out; false (nothing changed) for an account the session does not hold.
    virtual bool setCurrentAccount(std::int32_t accountId) = 0;
    virtual RequestId requestChartData(std::string_view instrument, std::string_view interval,
                                       std::int32_t bars) = 0;
    // The executed-positions table shows the search result from now on, until endExecutedPositionSearch.
    virtual RequestId searchExecutedPositions(const SearchInfo& search) = 0;
    virtual void endExecutedPositionSearch() = 0;
    virtual RequestId requestSessionSchedule(std::uint64_t marketId) = 0;
    virtual RequestId requestUserMapWithAccount(std::int32_t accountId) = 0;
    virtual RequestId requestEditUserAccess(const UserAccountMaps& access) = 0;

    // ---- events
    using LoginStateFn = std::function<void(LoginState state)>;
    using TablesFn = std::function<void(const TableChange& change)>;
    using CodesFn = std::function<void(const std::vector<std::string>& codes)>;
    using RequestFailedFn = std::function<void(const RequestFailure& failure)>;
    using ChartArrivedFn = std::function<void(const ChartArrival& arrival)>;
    using NetworkSpeedFn = std::function<void(const NetworkSpeed& speed)>;
    using JournalFn = std::function<void(const std::string& line)>;
    using PasswordChangedFn = std::function<void()>;
    using PasswordRefusedFn = std::function<void(const std::string& text)>;
    using ScheduleFn = std::function<void(const ScheduleArrival& arrival)>;
    using UserAccessFn = std::function<void(const UserAccessArrival& arrival)>;
    using UserAccessEditFn = std::function<void(const UserAccessEdit& edit)>;
    using DemoRegisteredFn = std::function<void(const DemoRegistrationResult& result)>;

    virtual std::unique_ptr<Handler> handleLoginStateChanged(LoginStateFn fn) = 0;
    // The tables a pass of the main queue changed: by messages, and once a second by the refresh of
    // the open positions' floating profit and loss and margin and the accounts' figures. The change
    // names the order records rewritten in place when it knows them all.
    virtual std::unique_ptr<Handler> handleTablesChanged(TablesFn fn) = 0;
    // The instruments whose depth ladder the feed's last drain changed. Quotes have no event: the
    // model holds the latest, and what shows them reads it on its own beat.
    virtual std::unique_ptr<Handler> handleDepthChanged(CodesFn fn) = 0;
    virtual std::unique_ptr<Handler> handleRequestFailed(RequestFailedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleChartArrived(ChartArrivedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleNetworkSpeed(NetworkSpeedFn fn) = 0;
    // A line added to the journal.
    virtual std::unique_ptr<Handler> handleJournal(JournalFn fn) = 0;
    virtual std::unique_ptr<Handler> handlePasswordChanged(PasswordChangedFn fn) = 0;
    virtual std::unique_ptr<Handler> handlePasswordRefused(PasswordRefusedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleSessionSchedule(ScheduleFn fn) = 0;
    virtual std::unique_ptr<Handler> handleUserAccess(UserAccessFn fn) = 0;
    virtual std::unique_ptr<Handler> handleUserAccessEdited(UserAccessEditFn fn) = 0;
    virtual std::unique_ptr<Handler> handleDemoRegistered(DemoRegisteredFn fn) = 0;
};

struct ClientOptions {
    // Where the watch list is kept; the user's standard defaults when null.
    tc::platform::UserDefaults* userDefaults = nullptr;
    // Watch the internet connection, so the feed and data-service sockets are made again when the
    // network comes back. The program wants it; a test that plays the network itself may not.
    bool watchNetwork = true;
    // How often the data-service requests queued meanwhile go out; none: the request channel's own
    // pass. The program keeps it; the screenshot tool, whose windows by the hundred each ask the
    // loopback server and wait for its answer, asks sooner.
    std::optional<std::chrono::milliseconds> dataRequestPass;
    // How long a data-service request waits for its reply before it fails; none: the channel's own
    // limit. A test that plays a reply that never comes shortens it.
    std::optional<std::chrono::milliseconds> dataReplyTimeout;
};

// The composition root: a client with every real part of the session wired in. The shell must
// outlive the client.
std::unique_ptr<Client> MakeClient(ApplicationInterface& application, ClientOptions options = {});

} // namespace interfaces
