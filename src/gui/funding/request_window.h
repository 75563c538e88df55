#pragma once
// What the funding request windows share: a form page and a result page in a stack, the detail
// window embedded as the result list, Send on the form and OK on the result, the session let go of
// on a re-login and the account figures refreshed on the client model's one-second tick while the
// window shows. An amount that is no number is marked in its field with the reason while it is
// there. A request sent waits for its answer at most kAnswerTimeLimit (30 s): the server's refusal of an
// approval request, or no answer in time, is told and Send offered again. The answers to an approval
// request (its receipt or refusal) reach only the window that sent it. A request left without an
// answer (the time limit, or the line lost) may still have been carried out: the notice and a note
// in the form name it (kind, account, amount); once a new session's approval lists are in, the note
// says whether the server holds it (LostFundingRequests: a listed request is one window's at most),
// and sending the same form again unchanged asks first. While a request waits, a line over the form
// says so, and says when the server is not answering. Each window keeps its own form, checks and
// replies.
#include "gui/funding/funding_window_rules.h"
#include "gui/funding/lost_funding_requests.h"
#include "gui/models/client_model.h"
#include "interfaces/client.h"
#include "platform/decimal.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace tc {
class AccountDetails;
}

namespace tc::gui {

class DetailWindowController;
class GuiContext;

class RequestWindow : public QWidget {
    Q_OBJECT
public:
    ~RequestWindow() override;

    // Checks the form and sends the request; false (with an alert, nothing sent) when refused.
    bool sendRequest();
    // The account box's choice.
    virtual void chooseAccount(int index) = 0;

    // 0 the form, 1 the result.
    int currentPage() const;
    QPushButton* sendRequestButton() const { return send_; }
    QPushButton* okButton() const { return ok_; }
    QComboBox* accountComboBox() const { return frame_.accounts; }
    QLineEdit* amountTextField() const { return frame_.amount; }
    QLineEdit* remarksTextField() const { return frame_.remarks; }
    QLabel* noAccountNote() const { return frame_.noAccountNote; }
    DetailWindowController* detailWindow() const { return detail_; }
    // Whether the window follows the client model's one-second tick (from showing until closing).
    bool followsTick() const { return ticking_; }
    // How long a request sent waits for the server's answer before the window gives up on it.
    static constexpr std::chrono::milliseconds kAnswerTimeLimit{30'000};
    void setAnswerTimeLimit(std::chrono::milliseconds limit);
    // A request was sent and neither its answer nor its refusal has come.
    bool awaitsAnswer() const { return answerTimer_.isActive(); }
    // The reason the amount field is marked with, Send's own for the amount; empty while the amount
    // would be taken or nothing is typed.
    QString amountFault() const;
    // What the form says of a request sent and never answered; hidden while there is none.
    QLabel* outcomeNote() const { return outcomeNote_; }
    // The line over the form while a request waits: waiting, or the server not answering.
    QLabel* waitingLine() const { return waitingLine_; }
    // The windows whose unanswered requests are matched against the approval lists together (each
    // window has its own until given one to share).
    void shareLostRequests(std::shared_ptr<LostFundingRequests> lost);
    // What became of a request never answered, as far as the approval lists tell.
    enum class Outcome { None, Unknown, Held, NotHeld };
    Outcome outcome() const { return outcome_; }

Q_SIGNALS:
    // The second page shows a reply.
    void resultShown();

protected:
    // The widgets of the window's layout the shared part drives; all are set.
    struct Frame {
        QStackedWidget* pages;
        QWidget* detailArea;
        QLayout* detailAreaLayout;
        QPushButton* send;
        QPushButton* notNow;
        QPushButton* ok;
        QComboBox* accounts;
        QLineEdit* accountName;
        QLineEdit* amount;
        QLineEdit* remarks;
        // Says why the form is empty while no account of the user allows this kind of request.
        QLabel* noAccountNote;
        // The accounts listed are those whose settings carry this bit.
        std::int64_t allowedBit;
        // Alert id of the validation alerts.
        QString alertId;
        // The approval requests this window sends, whose refusals it shows.
        interfaces::FundingFailure::Request approvals;
    };
    // Needs the context's client model, signed in.
    RequestWindow(GuiContext& context, QWidget* parent);
    // After the layout is set up: embeds the result list, wires the buttons, keys and session.
    void attachFrame(Frame frame);

    // The tick's refresh while the window shows.
    virtual void refreshFigures() = 0;
    virtual void fundingReply(const interfaces::FundingReply& reply) = 0;
    // The amount typed changed.
    virtual void amountEdited() = 0;
    // The amount's own checks as Send runs them, for the window's form as it stands.
    virtual std::optional<Refusal> amountRefusal() const = 0;
    // The amount field marked, or not, for what it holds; again whenever what the checks read
    // changes (the mode, the gateway, the withdrawable amount).
    void markAmount();
    // The form's refusal text; nothing when it may be sent.
    virtual std::optional<QString> checkForm(const std::shared_ptr<const AccountDetails>& chosen) const = 0;
    // Sends the checked form for the chosen account.
    virtual interfaces::FundingRequestSent sendForm(const std::shared_ptr<const AccountDetails>& chosen) = 0;
    // The form's fields as they would be sent: an unchanged form is the same request.
    virtual QStringList typedForm() const = 0;
    // What the trader reads of the request the form would send for the chosen account (kind, account,
    // amount), and the approval sub-type it files under (ApprovalReq): a paid gateway payment is
    // listed as a deposit request of the online-payment mode.
    virtual QString describeRequest(const AccountDetails& chosen) const = 0;
    virtual std::int64_t approvalSubType() const = 0;
    // Whether the form sends a gateway payment.
    virtual bool sendsPayment() const { return false; }
    // The same user's new session was taken and the form shown again.
    virtual void sessionReturned() {}
    // Whether an approval receipt answers this window's last request (told while the window is open).
    bool answersOwnRequest(const interfaces::FundingReply& reply) const {
        return ticket_ != 0 && reply.ticket == ticket_;
    }

    // No client once the session it was made for is being replaced.
    interfaces::Client* client() const;
    void startTicking() { ticking_ = true; }
    void closeEvent(QCloseEvent* event) override;
    // The same user signed in again: the new session's accounts with the chosen one kept, and the
    // form as typed.
    void sessionBack();

    // Focus off and the form page up.
    void showForm();
    // The result page with these lines; the request sent has its answer.
    void showResult(const std::vector<interfaces::LabelValue>& lines);
    // The request sent has its answer, whatever the window shows of it.
    void answered() {
        answerTimer_.stop();
        showWaiting();
    }
    void showValidationInfo(const QString& message);

    // The account box afresh, the first account chosen; with none the note says why.
    void loadAccountsData();
    // Chooses the account at the box's index; false for an index out of range.
    bool takeAccountAt(int index);
    // The box and the name field show the chosen account (none when it is gone), and Send is offered
    // only for one; returns it.
    std::shared_ptr<const AccountDetails> showChosenAccount();
    std::shared_ptr<const AccountDetails> account() const;
    // The chosen account's figures of this moment, as the status bar and the accounts grid show
    // them; none while no account is chosen.
    std::optional<AccountDetails> chosenFigures() const;
    // Selects `index` of a choice box without announcing it; false for an index out of range.
    static bool selectQuietly(QComboBox* box, int index, std::size_t choices);

    GuiContext& context_;
    std::int32_t accountId_ = 0; // 0: none chosen

private:
    Frame frame_{};
    QPushButton* send_ = nullptr;
    QPushButton* ok_ = nullptr;
    DetailWindowController* detail_ = nullptr;
    // The request sent waits no longer: a refusal or the time limit leaves the form as it was.
    void giveUpAnswer(const QString& message);
    // No answer came (the time limit, or the line lost): the request may have been carried out.
    void noAnswer();
    // Sends the checked form; `asked` once the trader confirmed sending an unanswered request again.
    bool sendChecked(const std::shared_ptr<const AccountDetails>& chosen);
    // Whether the new session's approval lists tell what became of the unanswered request.
    void settleOutcome();
    void showOutcome();

    // A request as it went out: what it is named, the form, and what the approval lists hold of it.
    struct SentRequest {
        QString description;
        QStringList form;
        LostFundingRequests::Asked asked;
        // The approval requests alike held when it was sent: none of them is its own.
        std::set<std::uint64_t> heldBefore;
        std::uint64_t heldAs = 0; // the server's request id once found
        // Its state there: open, or closed with the amount approved (0: none).
        bool heldOpen = false;
        platform::Decimal heldApproved;
        // Its place in the order of sending, and the session it went out on: only a later one's
        // sign-in lists can tell what became of it.
        std::uint64_t place = 0;
        std::uint64_t generation = 0;
    };
    // What the lists say of a payment found there: open, approved for its amount, or closed.
    QString heldState(const SentRequest& request) const;
    // The approval requests of the session's lists that ask what `request` asks.
    std::set<std::uint64_t> alike(const SentRequest& request) const;
    // The waiting line shown or hidden for the request waiting and the server's state.
    void showWaiting();
    // The request sent until its answer; then the one left unanswered, until a request is answered.
    std::optional<SentRequest> sent_;
    std::optional<SentRequest> unsettled_;
    Outcome outcome_ = Outcome::None;
    QLabel* outcomeNote_ = nullptr;
    QLabel* waitingLine_ = nullptr;
    std::shared_ptr<LostFundingRequests> lost_ = std::make_shared<LostFundingRequests>();
    // The core is told that no one waits for the last request's answer any more.
    void stopWaiting();

    QTimer answerTimer_;
    // The last approval request this window sent, whose answers it takes; 0 for none.
    std::uint64_t ticket_ = 0;
    std::vector<std::int32_t> accounts_; // the box's accounts, in its order
    bool sessionGone_ = false;
    bool ticking_ = false;
    // Whose session the window serves: a sign-in of this user again gives the window the new session
    // with the form as typed; another user's never reaches it (the main window closes it first).
    std::optional<SignInUser> user_;
    // Whether the window was following the tick when its session went, to follow it again.
    bool tickingWhenGone_ = false;
};

} // namespace tc::gui
