#include "gui/models/client_model.h"

#include "model/data_service_collections.h"
#include "model/records/order.h"
#include "model/session_queries.h"

#include <algorithm>

#include <utility>

namespace tc::gui {

namespace {

// Rounds of the password digest: enough that a digest read from memory is slow to turn back, few
// enough for a sign-in and an unlock on the GUI thread.
constexpr std::uint32_t kDigestRounds = 4096;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kDigestBytes = 32;

} // namespace

std::optional<ClientModel::PasswordDigest> ClientModel::digestOf(std::string_view password) {
    std::optional<platform::Bytes> salt = platform::randomBytes(kSaltBytes);
    if (!salt)
        return std::nullopt;
    platform::Bytes digest =
        platform::pbkdf2HmacSha1(platform::asBytes(password), *salt, kDigestRounds, kDigestBytes);
    if (digest.size() != kDigestBytes)
        return std::nullopt;
    return PasswordDigest{std::move(*salt), std::move(digest)};
}

bool ClientModel::matches(const PasswordDigest& digest, std::string_view text) {
    const platform::Bytes typed =
        platform::pbkdf2HmacSha1(platform::asBytes(text), digest.salt, kDigestRounds, kDigestBytes);
    if (typed.size() != digest.digest.size())
        return false;
    // Every byte compared, whatever the first difference.
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < typed.size(); ++i)
        difference |= typed[i] ^ digest.digest[i];
    return difference == 0;
}

bool ClientModel::isAcceptedPassword(const SignInUser& user, std::string_view text) const {
    return acceptedUser_ == user && acceptedPassword_ && matches(*acceptedPassword_, text);
}

interfaces::CommandResult ClientModel::changePassword(std::string_view oldPassword,
                                                      std::string_view newPassword,
                                                      std::string_view confirmPassword) {
    interfaces::CommandResult result = client_->changePassword(oldPassword, newPassword, confirmPassword);
    if (result.ok)
        changedPassword_ = digestOf(newPassword);
    return result;
}

ClientModel::ClientModel(ClientFactory factory, QObject* parent)
    : QObject(parent), factory_(std::move(factory)) {
    makeClient();
    tickTimer_.setInterval(kTickMilliseconds);
    connect(&tickTimer_, &QTimer::timeout, this, &ClientModel::tick);
    tickTimer_.start();
}

ClientModel::~ClientModel() {
    // The handlers first: the client's destructor must find nobody listening.
    handlers_.clear();
    client_.reset();
}

void ClientModel::makeClient() {
    client_ = factory_();
    ++generation_;
    loginUsed_ = false;
    clientSignedIn_ = false;
    signInUser_.reset();
    signInPassword_.reset();
    changedPassword_.reset();
    answering_ = true;
    figuresValued_ = false;
    subscribe();
}

void ClientModel::replaceClient() {
    replaceClientFor(std::nullopt);
}

void ClientModel::replaceClientFor(const std::optional<SignInUser>& next) {
    // The conversations of a session that signed in go to the same user's next one.
    if (clientSignedIn_ && signedInUser_) {
        keptConversations_ = client_->chat().keptConversations();
        keptConversationsUser_ = signedInUser_;
    }
    // So does the journal: the lines of the requests a lost line left without an answer are read
    // after the sign-in again. A sign-in again that did not complete hands on what it carried.
    if (signInUser_ && (clientSignedIn_ || signInUser_ == keptJournalUser_)) {
        keptJournal_ = client_->journal();
        keptJournalUser_ = signInUser_;
    }
    // A change sent without an answer: only the next sign-in of its user tells whether it was made.
    if (clientSignedIn_ && signInUser_ && changedPassword_)
        unsettledChange_ = UnsettledChange{*signInUser_, std::move(*changedPassword_)};
    Q_EMIT clientAboutToBeReplaced();
    handlers_.clear();
    client_.reset();
    makeClient();
    // Before the windows read the new client, so its journal shows the kept lines from the start.
    if (next && next == keptJournalUser_)
        client_->takeOverJournal(std::exchange(keptJournal_, {}));
    Q_EMIT clientReplaced();
    if (const interfaces::LoginState state = client_->loginState(); state != lastState_) {
        lastState_ = state;
        Q_EMIT loginStateChanged(state);
    }
}

interfaces::SignInResult ClientModel::signIn(const interfaces::LoginSettings& settings) {
    const SignInUser user{settings.mode, settings.server, settings.port, settings.user};
    if (loginUsed_)
        replaceClientFor(user);
    signInUser_ = user;
    if (keptConversationsUser_ == signInUser_)
        client_->chat().takeOverConversations(keptConversations_);
    signInPassword_ = digestOf(settings.password);
    signingInWithChange_.reset();
    if (unsettledChange_ && unsettledChange_->user == user)
        signingInWithChange_ = matches(unsettledChange_->newPassword, settings.password);
    interfaces::SignInResult result = client_->signIn(settings);
    loginUsed_ = result.started;
    return result;
}

interfaces::CommandResult ClientModel::registerDemoUser(const interfaces::DemoRegistration& form) {
    if (loginUsed_)
        replaceClient();
    interfaces::CommandResult result = client_->registerDemoUser(form);
    loginUsed_ = result.ok;
    return result;
}

void ClientModel::signOut() {
    client_->signOut();
}

bool ClientModel::figuresValued() const {
    if (figuresValued_)
        return true;
    if (!client_->dataService().openPositionsListed)
        return false;
    const auto positions = client_->queries().getOpenOrderCollection();
    figuresValued_ = std::all_of(positions.begin(), positions.end(), [](const auto& position) {
        return !position || position->UnrealisedPLValued;
    });
    return figuresValued_;
}

void ClientModel::tickNow() {
    Q_EMIT tick();
}

void ClientModel::subscribe() {
    interfaces::Client& c = *client_;
    auto keep = [this](std::unique_ptr<interfaces::Handler> handler) {
        handlers_.push_back(std::move(handler));
    };
    keep(c.handleLoginStateChanged([this](interfaces::LoginState state) {
        lastState_ = state;
        if (state == interfaces::LoginState::SignedIn && signInUser_) {
            clientSignedIn_ = true;
            const std::optional<SignInUser> previous = std::exchange(signedInUser_, signInUser_);
            if (keptConversationsUser_ != signInUser_) {
                keptConversations_.clear();
                keptConversationsUser_.reset();
            }
            if (keptJournalUser_ != signInUser_) {
                keptJournal_.clear();
                keptJournalUser_.reset();
            }
            if (previous && *previous != *signInUser_)
                Q_EMIT userChanged(*previous);
            if (signInPassword_) {
                acceptedUser_ = signInUser_;
                acceptedPassword_ = std::exchange(signInPassword_, std::nullopt);
            }
        }
        Q_EMIT loginStateChanged(state);
        if (state == interfaces::LoginState::SignedIn && signingInWithChange_ && unsettledChange_ &&
            unsettledChange_->user == signInUser_) {
            const bool made = *signingInWithChange_;
            unsettledChange_.reset();
            signingInWithChange_.reset();
            Q_EMIT passwordChangeSettled(made);
        }
    }));
    keep(c.handleTablesChanged(
        [this](const interfaces::TableChange& change) { Q_EMIT tablesChanged(change); }));
    keep(c.handleDepthChanged([this](const std::vector<std::string>& codes) { Q_EMIT depthChanged(codes); }));
    keep(c.handleRequestFailed(
        [this](const interfaces::RequestFailure& failure) { Q_EMIT requestFailed(failure); }));
    keep(c.handleChartArrived(
        [this](const interfaces::ChartArrival& arrival) { Q_EMIT chartArrived(arrival); }));
    keep(c.handleNetworkSpeed([this](const interfaces::NetworkSpeed& speed) {
        // Before the signal: what follows it reads the clock just heard.
        // Anchored to the moment its reply arrived, however late this is told (a silence, a network
        // change tell the same reply again).
        if (!speed.serverTime.empty() && speed.serverTimeHeardAt)
            serverClock_.heard(speed.serverTime, *speed.serverTimeHeardAt);
        Q_EMIT networkSpeedChanged(speed);
        if (std::exchange(answering_, speed.answering) != speed.answering)
            Q_EMIT answeringChanged(speed.answering);
    }));
    keep(c.handleJournal([this](const std::string& line) { Q_EMIT journalAppended(line); }));
    keep(c.funding().handleFundingReply(
        [this](const interfaces::FundingReply& reply) { Q_EMIT fundingReply(reply); }));
    keep(c.funding().handleFundingFailure(
        [this](const interfaces::FundingFailure& failure) { Q_EMIT fundingFailed(failure); }));
    keep(c.chat().handleChatChanged(
        [this](const interfaces::ChatChange& change) { Q_EMIT chatChanged(change); }));
    keep(c.chat().handleNoticeArrived(
        [this](const interfaces::NoticeArrival& notice) { Q_EMIT noticeArrived(notice); }));
    keep(c.statements().handleStatementArrived(
        [this](const interfaces::StatementArrival& arrival) { Q_EMIT statementArrived(arrival); }));
    keep(c.resources().handleResourceStored(
        [this](const interfaces::ResourceStored& stored) { Q_EMIT resourceStored(stored); }));
    keep(c.news().handleNewsLoaded([this](const interfaces::NewsLoad& load) { Q_EMIT newsLoaded(load); }));
    keep(c.handlePasswordChanged([this] {
        if (changedPassword_ && acceptedUser_ == signInUser_)
            acceptedPassword_ = std::exchange(changedPassword_, std::nullopt);
        changedPassword_.reset();
        Q_EMIT passwordChanged();
    }));
    keep(c.handlePasswordRefused([this](const std::string& text) {
        changedPassword_.reset();
        Q_EMIT passwordRefused(text);
    }));
    keep(c.handleSessionSchedule(
        [this](const interfaces::ScheduleArrival& arrival) { Q_EMIT sessionScheduleArrived(arrival); }));
    keep(c.handleUserAccess(
        [this](const interfaces::UserAccessArrival& arrival) { Q_EMIT userAccessArrived(arrival); }));
    keep(c.handleUserAccessEdited(
        [this](const interfaces::UserAccessEdit& edit) { Q_EMIT userAccessEdited(edit); }));
    keep(c.orders().handleBulkCloseReport(
        [this](const interfaces::BulkCloseReport& report) { Q_EMIT bulkCloseReported(report); }));
    keep(c.orders().handleRequestAnswered(
        [this](const interfaces::RequestAnswer& answer) { Q_EMIT requestAnswered(answer); }));
    keep(c.funding().handleBankDetails(
        [this](const interfaces::BankDetailsArrival& arrival) { Q_EMIT bankDetailsArrived(arrival); }));
    keep(c.funding().handleFundingHistory(
        [this](interfaces::RequestId id) { Q_EMIT fundingHistoryArrived(id); }));
    keep(c.handleDemoRegistered(
        [this](const interfaces::DemoRegistrationResult& result) { Q_EMIT demoRegistered(result); }));
}

} // namespace tc::gui
