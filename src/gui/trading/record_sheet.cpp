#include "gui/trading/record_sheet.h"

#include "gui/app/common_alert.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/app/waiting_answer.h"
#include "gui/controls/entry_marks.h"
#include "gui/controls/entry_refusal.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "gui/trading/position_dialog_rules.h"
#include "gui/trading/trade_entries.h"
#include "interfaces/client.h"
#include "model/data_service_collections.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace tc::gui {

RecordSheet::RecordSheet(GuiContext& context, QWidget* parent) : SheetController(parent), context_(context) {
    askBeforeDroppingTyped(context_.language());
    answerTimer_.setSingleShot(true);
    answerTimer_.setInterval(kAnswerTimeLimit);
    connect(&answerTimer_, &QTimer::timeout, this, &RecordSheet::giveUpAnswer);
}

RecordSheet::~RecordSheet() = default;

interfaces::Client* RecordSheet::client() const {
    return session_ ? &session_->client() : nullptr;
}

QString RecordSheet::text(std::string_view key) const {
    return context_.text(key);
}

void RecordSheet::follow(const std::string& id) {
    dropSession();
    lineDown_ = false;
    stopWaiting();
    record_ = id;
    awaitingLists_ = false;
    unanswered_ = false;
    session_ = context_.clientModel();
    if (!session_)
        return;
    user_ = session_->signedInUser();
    followSession();
}

void RecordSheet::followSession() {
    // The records belong to the old client: let go of them at once.
    follow_.add(connect(session_, &ClientModel::clientAboutToBeReplaced, this, [this] { letGoOfSession(); }));
    // While a request waits (or went without an answer) the record is changed by it: the answer, not
    // the tables, tells the sheet what became of it.
    follow_.add(connect(session_, &ClientModel::tick, this, [this] {
        if (isVisible() && answerFor_ == 0 && recordsReady())
            refresh(true);
    }));
    follow_.add(connect(session_, &ClientModel::tablesChanged, this, [this] {
        if (isVisible() && answerFor_ == 0 && recordsReady())
            refresh(false);
    }));
    follow_.add(connect(session_, &ClientModel::requestAnswered, this, &RecordSheet::answered));
    follow_.add(
        connect(session_, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
            if (state == interfaces::LoginState::Lost || state == interfaces::LoginState::SignedOut) {
                // The figures are the lost session's until a new one's lists are read (every sign-in
                // brings a new client: takeSessionBack): nothing to send on them.
                lineDown_ = true;
                noAnswer();
                showMaySend();
            }
        }));
    // A silent server is no loss: the request still waits (the limit runs on) and says so.
    follow_.add(connect(session_, &ClientModel::answeringChanged, this,
                        [this](bool answering) { showWaiting(answering); }));
}

void RecordSheet::letGoOfSession() {
    ClientModel* session = session_;
    dropSession();
    if (!isVisible() || !session)
        return;
    // A request of the old session is answered by none of the new one's reports: it is told as
    // unanswered, and the sheet sends again once the trader has looked.
    if (answerFor_ != 0) {
        noAnswer();
        answerFor_ = 0;
        noAnswer_ = false;
        unanswered_ = true;
    }
    lineDown_ = true;
    showMaySend();
    follow_.add(
        connect(session, &ClientModel::loginStateChanged, this, [this, session](interfaces::LoginState s) {
            if (s == interfaces::LoginState::SignedIn && session->signedInUser() == user_)
                takeSessionBack(session);
        }));
}

void RecordSheet::takeSessionBack(ClientModel* session) {
    follow_.drop();
    session_ = session;
    awaitingLists_ = true;
    followSession();
    // What was typed stays; the figures and marks are the new session's once its record is read.
    recordsReady();
}

bool RecordSheet::recordsReady() {
    if (!awaitingLists_)
        return true;
    const DataServiceCollections& lists = session_->client().dataService();
    if (!lists.openPositionsListed || !lists.pendingOrdersListed)
        return false;
    awaitingLists_ = false;
    takeUpLists();
    return false;
}

std::optional<RecordSheet::SentOutcome> RecordSheet::takeUpRecord(bool) {
    refresh(false);
    return std::nullopt;
}

void RecordSheet::takeUpLists() {
    const bool unanswered = std::exchange(unanswered_, false);
    lineDown_ = false;
    const auto outcome = takeUpRecord(unanswered);
    showMaySend();
    // Unknown, the line of the old session stays; closed as gone, nothing more is said here.
    if (!outcome || !isVisible())
        return;
    switch (*outcome) {
    case SentOutcome::Gone:
        closeAsGone(texts::kSheetRequestCarriedOutGone);
        return;
    case SentOutcome::GoneUnclear:
        closeAsGone(texts::kSheetEditRecordGone);
        return;
    case SentOutcome::NotCarriedOut:
        showAnswerLine(texts::kSheetRequestNotCarriedOut);
        return;
    case SentOutcome::CarriedOut:
    case SentOutcome::Unclear:
        // The figures shown are what is left: sending them as they stand is no request the trader
        // made, so the button waits for an edit.
        heldUntilEdited_ = true;
        showMaySend();
        showAnswerLine(*outcome == SentOutcome::CarriedOut ? texts::kSheetRequestCarriedOut
                                                           : texts::kSheetRequestChangedSinceSent);
        return;
    }
}

void RecordSheet::traderEdited() {
    if (!heldUntilEdited_)
        return;
    // The figures are the trader's own now; on a lost line the button still waits for the next sign-in's
    // lists (takeUpLists).
    heldUntilEdited_ = false;
    showMaySend();
}

bool RecordSheet::maySend() const {
    return !isWaitingForAnswer() && !heldUntilEdited_ && !lineDown_ && !awaitingLists_;
}

void RecordSheet::showMaySend() {
    if (requestButton_)
        requestButton_->setEnabled(maySend());
}

bool RecordSheet::openRecord(const std::string& id, const std::function<bool(interfaces::Client&)>& view,
                             std::initializer_list<QWidget*> focusOrder) {
    follow(id);
    interfaces::Client* c = client();
    if (!c || !view(*c)) {
        closeAsGone();
        return false;
    }
    fill();
    openWithFocus(focusOrder);
    return true;
}

void RecordSheet::showTitles(const RecordFields& fields, const RecordLines& lines) {
    fields.box->setTitle(qt(lines.boxTitle));
    setWindowTitle(qt(lines.boxTitle));
    fields.button->setText(qt(lines.buttonTitle));
}

void RecordSheet::showRecordLines(const RecordFields& fields, const RecordLines& lines) {
    showTitles(fields, lines);
    fields.account->setText(qt(lines.account));
    fields.symbol->setText(qt(lines.symbol));
    fields.name->setText(qt(lines.name));
    {
        const QSignalBlocker block(fields.quantity);
        fields.quantity->clear();
        for (const std::string& entry : lines.quantityList)
            fields.quantity->addItem(qt(entry));
        fields.quantity->setEditText(qt(lines.quantity));
    }
    fields.quantity->setEnabled(lines.quantityEditable);
    fields.quantityDescription->setText(qt(lines.quantityDescription));
    fields.orderType->setText(qt(lines.orderType));
}

void RecordSheet::connectButtons(QPushButton* request, std::function<void()> send, QPushButton* notNow) {
    requestButton_ = request;
    connect(request, &QPushButton::clicked, this, [this, send = std::move(send)] {
        // The new session's lists came in just now: the sheet shows its record as it now is, and
        // the press sends nothing on figures the trader has not seen.
        if (session_ && awaitingLists_ && !recordsReady() && !awaitingLists_)
            return;
        // Between two sessions the sheet holds no record to send on.
        if (!session_ || awaitingLists_) {
            showRefusal(text(texts::kNoConnectionTradingServer));
            return;
        }
        // Sent once: nothing more goes out while its answer is awaited.
        if (!isWaitingForAnswer())
            send();
    });
    connect(notNow, &QPushButton::clicked, this, &QDialog::reject);
    // The answer line sits above the buttons.
    answerLine_ = new QLabel(this);
    answerLine_->setObjectName(QStringLiteral("answerLine"));
    answerLine_->setWordWrap(true);
    answerLine_->hide();
    if (auto* box = qobject_cast<QBoxLayout*>(layout()))
        box->insertWidget(box->count() - 1, answerLine_);
}

void RecordSheet::stopWaiting() {
    // Its answer may still come: the core must not take it for another request's, and tells it late.
    if (answerFor_ != 0 && session_)
        session_->client().orders().giveUpRequest(answerFor_);
    answerTimer_.stop();
    answerFor_ = 0;
    noAnswer_ = false;
    heldUntilEdited_ = false;
    showMaySend();
    if (answerLine_) {
        answerLine_->hide();
        answerLine_->setMinimumHeight(0);
    }
}

void RecordSheet::answered(const interfaces::RequestAnswer& answer) {
    // Another window's request, or one this sheet no longer follows. A late answer after the
    // server's silence is still this sheet's.
    if (answerFor_ == 0 || answer.request != answerFor_ || !isVisible())
        return;
    answerFor_ = 0;
    stopWaiting();
    // Given up at the time limit: the core's banner told the outcome; the sheet shows its record as
    // it now stands and stays with what was typed.
    if (answer.late) {
        refresh(false);
        return;
    }
    // Neither done nor refused: the sheet stays, with what is known, and the trader looks at the lists.
    if (answer.notKnown()) {
        showNotKnown(qt(answer.whatIsKnown));
        return;
    }
    if (answer.accepted) {
        accept();
        Q_EMIT requestSent();
        return;
    }
    const QString reason = qt(answer.reason.empty() ? answer.code : answer.reason);
    showRefusal(reason);
    serverRefusal_ = reason;
}

void RecordSheet::showAnswerLine(const char* key) {
    // Keyed, so that a change of language rewrites it.
    answerLine_->setProperty(kLangKeyProperty, QString::fromLatin1(key));
    answerLine_->setText(text(key));
    answerLine_->show();
    // The line wraps at the sheet's width: the sheet grows so that all of it shows.
    if (QLayout* box = layout())
        box->activate();
    answerLine_->setMinimumHeight(answerLine_->heightForWidth(answerLine_->width()));
    if (height() < sizeHint().height())
        resize(width(), sizeHint().height());
}

void RecordSheet::showWaiting(bool answering) {
    if (isWaitingForAnswer())
        showAnswerLine(waitingAnswerKey(answering));
}

void RecordSheet::noAnswer() {
    if (answerFor_ == 0 || noAnswer_)
        return;
    // The line is lost: no answer comes, nor does the time limit mean anything now. The trader may send
    // again once the next sign-in's lists say what became of the first.
    noAnswer_ = true;
    answerTimer_.stop();
    showAnswerLine(texts::kSheetRequestNoAnswer);
}

void RecordSheet::giveUpAnswer() {
    if (answerFor_ == 0 || noAnswer_)
        return;
    if (session_)
        session_->client().orders().giveUpRequest(answerFor_);
    noAnswer_ = true;
    showMaySend();
    showAnswerLine(texts::kSheetRequestTimedOut);
}

void RecordSheet::openWithFocus(std::initializer_list<QWidget*> order) {
    openOn(parentWidget());
    for (QWidget* widget : order)
        if (widget == *(order.end() - 1) || (widget->isEnabled() && widget->isVisibleTo(this))) {
            widget->setFocus();
            return;
        }
}

void RecordSheet::dropSession() {
    follow_.drop();
    session_ = nullptr;
    awaitingLists_ = false;
}

void RecordSheet::done(int result) {
    // A sheet that is not showing follows nothing; the next opening follows its record again. A
    // request still waiting is given up first, while the session is at hand to be told.
    stopWaiting();
    dropSession();
    SheetController::done(result);
}

void RecordSheet::closeAsGone(std::string_view key) {
    const std::string id = record_;
    // A refusal still showing goes with the sheet: one alert says that the record is gone and, when
    // the server refused the sheet's request, that it did and why (often for the same reason).
    QString refused;
    if (refusalAlert_) {
        if (!serverRefusal_.isEmpty())
            refused = filledIn(text(texts::kSheetRefusedThenGone), {serverRefusal_});
        // An outcome not known is what the trader has of the request: the record going (perhaps by
        // that very request) does not take it away.
        else if (!notKnown_.isEmpty())
            refused = filledIn(text(texts::kSheetNotKnownThenGone), {notKnown_});
        refusalAlert_->close();
    }
    const bool wasShowing = isVisible();
    if (wasShowing)
        reject();
    dropSession();
    Q_EMIT recordGone();
    CommonAlert::open(parentWidget(), {refusalText({std::string(key), id}),
                                       refused,
                                       AlertSpec::Informational,
                                       {},
                                       QStringLiteral("dialogRecordGone")});
}

QString RecordSheet::refusalText(const Refusal& refusal) const {
    return refusalWords(context_.language().selected(), refusal);
}

void RecordSheet::markField(QWidget* field, const TradeEntry& entry, std::string_view fieldKey) const {
    markEntry(field,
              entry.ok() ? QString() : refusalWords(context_.language().selected(), entry.refusal, fieldKey),
              context_.themes());
}

void RecordSheet::markRefusal(QWidget* field, const std::optional<Refusal>& refusal) const {
    markEntry(field, refusal ? refusalText(*refusal) : QString(), context_.themes());
}

void RecordSheet::showRefusal(const QString& message) {
    serverRefusal_.clear();
    notKnown_.clear();
    refusalAlert_ = CommonAlert::open(this, {text(kRefusalTitleKey), message, AlertSpec::Warning, {}, {}});
}

void RecordSheet::showNotKnown(const QString& whatIsKnown) {
    serverRefusal_.clear();
    notKnown_ = whatIsKnown;
    refusalAlert_ =
        CommonAlert::open(this, {text(texts::kNotKnown), whatIsKnown, AlertSpec::Warning, {}, {}});
}

void RecordSheet::sendOrAskFirst(const std::vector<std::string>& positions, AskingWindow window,
                                 std::function<void()> send) {
    interfaces::Client* c = client();
    if (!c)
        return;
    // As the core holds them now: the earlier requests' positions, given up or not.
    const std::vector<interfaces::AwaitedPositions> awaited = c->orders().requestsOnPositions();
    const std::vector<const interfaces::AwaitedPositions*> earlier = awaitedOn(awaited, positions);
    if (earlier.empty()) {
        send();
        return;
    }
    const QString question = qt(sheetAwaitedQuestion(context_.language().selected(), earlier, window));
    CommonAlert::askSendAgain(this, context_, windowTitle(), question,
                              QStringLiteral("sheetSendAwaitedAgain"), [this, send = std::move(send)] {
                                  // Not on a lost session's figures, nor on figures held for an edit.
                                  if (isVisible() && client() && maySend())
                                      send();
                              });
}

bool RecordSheet::takeResult(const interfaces::OrderResult& result) {
    if (result.sent()) {
        // The sheet stays until the server answers this request: closing now would look done.
        answerFor_ = result.request;
        noAnswer_ = false;
        if (answerFor_ == 0) {
            accept();
            Q_EMIT requestSent();
            return true;
        }
        showMaySend();
        showWaiting(session_ && session_->client().networkSpeed().answering);
        answerTimer_.start();
        return true;
    }
    showRefusal(QString::fromStdString(result.refusalText.empty() ? result.refusalKey : result.refusalText));
    return false;
}

} // namespace tc::gui
