#include "gui/funding/request_window.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/funding/funding_accounts.h"
#include "gui/funding/funding_window_rules.h"
#include "gui/funding/request_sheet_keys.h"

#include "gui/app/common_alert.h"
#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/app/waiting_answer.h"
#include "gui/market/detail_window_controller.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/account_figures.h"
#include "model/funding_collections.h"
#include "model/records/account_details.h"
#include "model/session_queries.h"
#include "platform/amount_text.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

#include <algorithm>
#include <utility>

namespace tc::gui {

RequestWindow::RequestWindow(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context) {
    answerTimer_.setSingleShot(true);
    answerTimer_.setInterval(kAnswerTimeLimit);
    connect(&answerTimer_, &QTimer::timeout, this, [this] {
        stopWaiting();
        noAnswer();
    });
}

RequestWindow::~RequestWindow() {
    lost_->forget(this);
}

void RequestWindow::shareLostRequests(std::shared_ptr<LostFundingRequests> lost) {
    if (!lost)
        return;
    lost_->forget(this);
    lost_ = std::move(lost);
}

void RequestWindow::attachFrame(Frame frame) {
    frame_ = std::move(frame);
    send_ = frame_.send;
    ok_ = frame_.ok;
    // The result list is the detail window's, shown in place on the second page.
    detail_ = new DetailWindowController(context_, frame_.detailArea);
    detail_->setWindowFlags(Qt::Widget);
    if (auto* close = detail_->findChild<QPushButton*>(QStringLiteral("closeButton")))
        close->hide();
    frame_.detailAreaLayout->addWidget(detail_);
    frame_.noAccountNote->hide();
    detail_->show();
    // Above the form, where the trader looks before sending again.
    outcomeNote_ = new QLabel(frame_.pages->widget(0));
    outcomeNote_->setObjectName(QStringLiteral("outcomeNote"));
    outcomeNote_->setWordWrap(true);
    outcomeNote_->hide();
    // Under it, while a request waits: whether the server is answering, so a silence is not read as
    // a window that stopped.
    waitingLine_ = new QLabel(frame_.pages->widget(0));
    waitingLine_->setObjectName(QStringLiteral("waitingLine"));
    waitingLine_->setWordWrap(true);
    waitingLine_->hide();
    if (auto* box = qobject_cast<QBoxLayout*>(frame_.pages->widget(0)->layout())) {
        box->insertWidget(0, outcomeNote_);
        box->insertWidget(1, waitingLine_);
    }

    connect(send_, &QPushButton::clicked, this, [this] { sendRequest(); });
    connect(frame_.accounts, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { chooseAccount(index); });
    connect(frame_.amount, &QLineEdit::textChanged, this, [this] {
        markAmount();
        amountEdited();
    });
    connect(&context_.themes(), &ThemeManager::themeChanged, this, [this] { markAmount(); });
    connect(&context_.language(), &Language::changed, this, [this] {
        markAmount();
        showOutcome();
        showWaiting();
    });
    connect(frame_.notNow, &QPushButton::clicked, this, &QWidget::close);
    connect(ok_, &QPushButton::clicked, this, &QWidget::close);
    installRequestSheetKeys(this, frame_.pages, send_, ok_);
    // Escape closes as Not Now does, asking first while the form holds what was typed; on the
    // result page the form went out.
    EscapeClose::install(this, context_.language(), {},
                         [this] { return frame_.pages->currentIndex() == 0 && holdsTypedText(this); });

    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::tick, this, [this] {
        if (ticking_)
            refreshFigures();
        settleOutcome();
    });
    // The figures move with the core's refresh: shown then, they read the moment the status bar does.
    connect(&session, &ClientModel::tablesChanged, this, [this](interfaces::TableSet tables) {
        if (ticking_ && tables.contains(interfaces::Table::Accounts))
            refreshFigures();
        settleOutcome();
    });
    connect(&session, &ClientModel::fundingReply, this, [this](const interfaces::FundingReply& reply) {
        // The request that receipt answers is no unanswered one's.
        if (reply.kind == interfaces::FundingReply::Kind::DepositRequested ||
            reply.kind == interfaces::FundingReply::Kind::WithdrawalRequested)
            lost_->answered(reply.id);
        fundingReply(reply);
    });
    // A silent server is no loss: the request still waits (its limit runs on) and the form says so.
    connect(&session, &ClientModel::answeringChanged, this, [this] { showWaiting(); });
    connect(&answerTimer_, &QTimer::timeout, this, [this] { showWaiting(); });
    // An approval refusal answers one request: only the window that sent it is told.
    connect(&session, &ClientModel::fundingFailed, this, [this](const interfaces::FundingFailure& failure) {
        if (failure.request == frame_.approvals && ticket_ != 0 && failure.id == ticket_) {
            sent_.reset();
            giveUpAnswer(context_.text(texts::kServerRefusedRequest)
                             .replace(QStringLiteral("{0}"), QString::fromStdString(failure.text)));
        }
    });
    user_ = session.signedInUser();
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        // The accounts and replies were the old session's: nothing more to show or send until the
        // same user is signed in again. What was typed stays.
        // A second sign-in (the first refused or unreached) finds the refresh already stopped: what
        // it was at the loss still stands.
        if (!std::exchange(sessionGone_, true))
            tickingWhenGone_ = std::exchange(ticking_, false);
        const bool waited = awaitsAnswer();
        answerTimer_.stop();
        ticket_ = 0;
        // The request's answer can no longer come: the trader is told to look before sending again.
        if (waited)
            noAnswer();
        showWaiting();
    });
    connect(&session, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        // The line lost: the answer can no longer come, so the trader hears of it now, not at the limit.
        if (state == interfaces::LoginState::Lost && awaitsAnswer()) {
            answerTimer_.stop();
            noAnswer();
            showWaiting();
        }
        if (state == interfaces::LoginState::SignedIn && sessionGone_ &&
            context_.clientModel()->signedInUser() == user_)
            sessionBack();
    });
}

void RequestWindow::sessionBack() {
    sessionGone_ = false;
    // A closed window reads its session afresh at its next showing.
    if (!isVisible())
        return;
    const std::int32_t chosen = accountId_;
    loadAccountsData();
    if (std::find(accounts_.begin(), accounts_.end(), chosen) != accounts_.end())
        accountId_ = chosen;
    showChosenAccount();
    // While a result shows, its OK stays the way on.
    if (currentPage() == 1)
        send_->setEnabled(false);
    ticking_ = tickingWhenGone_;
    if (ticking_)
        refreshFigures();
    sessionReturned();
    settleOutcome();
}

interfaces::Client* RequestWindow::client() const {
    ClientModel* session = context_.clientModel();
    return session && !sessionGone_ ? &session->client() : nullptr;
}

void RequestWindow::closeEvent(QCloseEvent* event) {
    // Only this window's refresh stops; the other funding windows keep theirs. A request still
    // waiting is no longer this window's to tell.
    ticking_ = false;
    if (awaitsAnswer())
        stopWaiting();
    answerTimer_.stop();
    ticket_ = 0;
    // The next showing is an empty form.
    sent_.reset();
    unsettled_.reset();
    lost_->forget(this);
    outcome_ = Outcome::None;
    showOutcome();
    showWaiting();
    QWidget::closeEvent(event);
}

int RequestWindow::currentPage() const {
    return frame_.pages->currentIndex();
}

void RequestWindow::showForm() {
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    frame_.pages->setCurrentIndex(0);
}

void RequestWindow::setAnswerTimeLimit(std::chrono::milliseconds limit) {
    answerTimer_.setInterval(limit);
}

void RequestWindow::stopWaiting() {
    // Its answer may still come: the core must neither hand it to a later request nor drop it.
    if (ticket_ != 0 && client())
        client()->funding().giveUpRequest(ticket_);
}

void RequestWindow::giveUpAnswer(const QString& message) {
    answerTimer_.stop();
    showWaiting();
    showValidationInfo(message);
    // The form keeps what was typed; Send is offered again for the account still chosen.
    send_->setEnabled(account() != nullptr);
}

QString RequestWindow::amountFault() const {
    // An empty field is being typed; Send names it.
    if (frame_.amount->text().isEmpty())
        return {};
    const auto refusal = amountRefusal();
    return refusal ? refusalWords(context_.language().selected(), *refusal) : QString();
}

void RequestWindow::markAmount() {
    markEntry(frame_.amount, amountFault(), context_.themes());
}

void RequestWindow::noAnswer() {
    if (sent_) {
        unsettled_ = std::move(sent_);
        sent_.reset();
        lost_->lost(this, unsettled_->place, unsettled_->asked, unsettled_->heldBefore,
                    unsettled_->generation);
        outcome_ = Outcome::Unknown;
        showOutcome();
    }
    // The notice names the request, so the trader knows what to look for.
    if (isVisible())
        giveUpAnswer(unsettled_ ? context_.text(texts::kNamedRequestNotAnswered)
                                      .replace(QStringLiteral("{0}"), unsettled_->description)
                                : context_.text(texts::kServerDidNotAnswerRequest));
}

std::set<std::uint64_t> RequestWindow::alike(const SentRequest& request) const {
    if (!client())
        return {};
    const auto ids = LostFundingRequests::alike(request.asked, client()->funding().collections());
    return {ids.begin(), ids.end()};
}

void RequestWindow::settleOutcome() {
    // A payment whose registration never came is matched by account, amount and mode: the master id
    // that would tie it to its approval request came only in that registration. The windows' lost
    // requests are settled together, so one listed request is told to one window only.
    if (outcome_ != Outcome::Unknown || !unsettled_ || unsettled_->asked.subType == 0 || !client())
        return;
    const funding::FundingCollections& lists = client()->funding().collections();
    const auto found = lost_->outcome(this, lists, context_.clientModel()->generation());
    if (!found)
        return;
    outcome_ = Outcome::NotHeld;
    if (const auto held = lists.approvalRequests.find(*found);
        *found != 0 && held != lists.approvalRequests.end() && held->second && held->second->information) {
        unsettled_->heldAs = *found;
        unsettled_->heldOpen = held->second->isOpen;
        unsettled_->heldApproved = held->second->information->approvedAmount;
        outcome_ = Outcome::Held;
    }
    showOutcome();
}

QString RequestWindow::heldState(const SentRequest& request) const {
    if (request.heldOpen)
        return context_.text(texts::kApprovalStillOpen);
    if (request.heldApproved.isNaN() || request.heldApproved <= platform::Decimal())
        return context_.text(texts::kApprovalClosedWithoutApproval);
    return context_.text(texts::kApprovedForAmount)
        .replace(QStringLiteral("{0}"), qt(platform::amountText(request.heldApproved)));
}

void RequestWindow::showOutcome() {
    if (!outcomeNote_)
        return;
    if (!unsettled_ || outcome_ == Outcome::None) {
        outcomeNote_->hide();
        return;
    }
    QString text;
    switch (outcome_) {
    case Outcome::Held:
        text =
            context_
                .text(unsettled_->asked.payment ? texts::kPaymentHeldByServer : texts::kRequestHeldByServer)
                .replace(QStringLiteral("{1}"), QString::number(unsettled_->heldAs));
        if (unsettled_->asked.payment)
            text.replace(QStringLiteral("{2}"), heldState(*unsettled_));
        break;
    case Outcome::NotHeld:
        text = context_.text(unsettled_->asked.payment ? texts::kPaymentNotHeldByServer
                                                       : texts::kRequestNotHeldByServer);
        break;
    default:
        text = context_.text(texts::kRequestMayHaveBeenCarriedOut);
        break;
    }
    outcomeNote_->setText(text.replace(QStringLiteral("{0}"), unsettled_->description));
    outcomeNote_->show();
}

void RequestWindow::showResult(const std::vector<interfaces::LabelValue>& lines) {
    answered();
    // A request answered: nothing is left to look for.
    sent_.reset();
    unsettled_.reset();
    lost_->forget(this);
    outcome_ = Outcome::None;
    showOutcome();
    frame_.pages->setCurrentIndex(1);
    detail_->setLines(lines);
    // A refusal brings no lines: an empty list with its Print button would only puzzle.
    detail_->setVisible(!lines.empty());
    Q_EMIT resultShown();
}

void RequestWindow::showValidationInfo(const QString& message) {
    CommonAlert::open(this,
                      {context_.text(texts::kValidation), message, AlertSpec::Warning, {}, frame_.alertId});
}

void RequestWindow::loadAccountsData() {
    accounts_ = listFundingAccounts(frame_.accounts, client(), frame_.allowedBit);
    accountId_ = accounts_.empty() ? 0 : accounts_.front();
    // An empty list and blank figures alone would not tell the trader why nothing can be sent.
    frame_.noAccountNote->setVisible(accounts_.empty());
}

bool RequestWindow::takeAccountAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= accounts_.size())
        return false;
    accountId_ = accounts_[static_cast<std::size_t>(index)];
    return true;
}

std::shared_ptr<const AccountDetails> RequestWindow::showChosenAccount() {
    const auto chosen = account();
    {
        QSignalBlocker block(frame_.accounts);
        const auto at = std::find(accounts_.begin(), accounts_.end(), accountId_);
        frame_.accounts->setCurrentIndex(chosen ? static_cast<int>(at - accounts_.begin()) : -1);
    }
    frame_.accountName->setText(chosen ? QString::fromStdString(chosen->AccountName) : QString());
    // Nothing can be sent for no account.
    send_->setEnabled(chosen != nullptr);
    return chosen;
}

bool RequestWindow::selectQuietly(QComboBox* box, int index, std::size_t choices) {
    if (index < 0 || static_cast<std::size_t>(index) >= choices)
        return false;
    QSignalBlocker block(box);
    box->setCurrentIndex(index);
    return true;
}

bool RequestWindow::sendRequest() {
    const auto chosen = account();
    if (const auto refusal = checkForm(chosen)) {
        showValidationInfo(*refusal);
        return false;
    }
    if (!chosen) {
        send_->setEnabled(false);
        return false;
    }
    // The same form again after no answer: it may have been carried out, or the server holds it, so
    // the trader says so first.
    if (unsettled_ && outcome_ != Outcome::NotHeld && typedForm() == unsettled_->form) {
        QString question = outcome_ == Outcome::Held
                               ? context_.text(texts::kSendHeldRequestAgainQuestion)
                                     .replace(QStringLiteral("{1}"), QString::number(unsettled_->heldAs))
                               : context_.text(texts::kSendRequestAgainQuestion);
        CommonAlert::askSendAgain(this, context_, windowTitle(),
                                  question.replace(QStringLiteral("{0}"), unsettled_->description),
                                  frame_.alertId, [this] {
                                      if (const auto again = account(); again && !checkForm(again))
                                          sendChecked(again);
                                  });
        return false;
    }
    return sendChecked(chosen);
}

bool RequestWindow::sendChecked(const std::shared_ptr<const AccountDetails>& chosen) {
    SentRequest request;
    request.description = describeRequest(*chosen);
    request.form = typedForm();
    request.asked.subType = approvalSubType();
    request.asked.payment = sendsPayment();
    request.asked.account = static_cast<std::uint64_t>(chosen->AccountId);
    request.asked.amount = typedAmount(str(frame_.amount->text())).value_or(platform::Decimal());
    request.heldBefore = alike(request);
    request.place = lost_->nextPlace();
    request.generation = context_.clientModel()->generation();
    const interfaces::FundingRequestSent sent = sendForm(chosen);
    if (!sent) {
        showValidationInfo(QString::fromStdString(sent.error));
        return false;
    }
    ticket_ = sent.ticket;
    sent_ = std::move(request);
    send_->setEnabled(false);
    answerTimer_.start();
    showWaiting();
    return true;
}

void RequestWindow::showWaiting() {
    if (!waitingLine_)
        return;
    if (!awaitsAnswer()) {
        waitingLine_->hide();
        return;
    }
    const ClientModel* session = context_.clientModel();
    waitingLine_->setText(
        context_.text(waitingAnswerKey(!session || session->client().networkSpeed().answering)));
    waitingLine_->show();
}

std::optional<AccountDetails> RequestWindow::chosenFigures() const {
    if (!account())
        return std::nullopt;
    return accountFiguresOf(client()->model(), accountId_);
}

std::shared_ptr<const AccountDetails> RequestWindow::account() const {
    if (accountId_ == 0 || !client())
        return nullptr;
    for (const auto& account : client()->queries().getAccountCollection())
        if (account && account->AccountId == accountId_)
            return account;
    return nullptr;
}

} // namespace tc::gui
