#pragma once
// What the position dialogs share: a sheet on the main window that keeps the id of one record, looks
// it up again at every use, and closes with a message when it is gone (or when another user signs
// in). Each request's outcome is the command's own answer: a refusal is shown here, on this sheet,
// and nothing that another window sends or is refused closes or alerts this one. A request sent
// keeps the sheet open, its button disabled, until the server answers that request: done closes the
// sheet, a rejection is shown on it. While the server is not answering the request still waits and
// the sheet says so. A loss of the line leaves it open saying the request had no answer and where to
// look for its outcome; so does the time limit, after which the sheet waits no more (the core tells a
// later answer as late, in a banner). A sign-in again of the same user keeps the sheet open as typed:
// once the login's lists are in it reads its record again as the server holds it (gone by then, it
// closes and says so). A request of the old session that had no answer is told from those lists: the
// record gone, the sheet closes saying it was carried out; changed by what was sent, it was carried
// out and the sheet shows what is left, its button held until the trader makes a new request; as it
// was, it was not carried out and may be sent again. An edit's record gone tells nothing of the edit:
// the sheet closes saying so. A close or an offset on a position an earlier request still waits for
// (another window's, or this sheet's own given up) asks before it goes, Cancel the default.
#include "gui/app/sheet_controller.h"
#include "gui/models/client_model.h"
#include "gui/models/session_follow.h"
#include "gui/trading/awaited_requests.h"
#include "gui/trading/position_dialog_rules.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace interfaces {
class Client;
struct OrderResult;
struct RequestAnswer;
} // namespace interfaces

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tc::gui {

class ClientModel;
class GuiContext;

class RecordSheet : public SheetController {
    Q_OBJECT
public:
    explicit RecordSheet(GuiContext& context, QWidget* parent = nullptr);
    ~RecordSheet() override;

    const std::string& record() const { return record_; }
    // Closing lets go of the session; the next opening follows its record again.
    void done(int result) override;

Q_SIGNALS:
    // The record went away while the sheet showed it; the sheet closed and said so.
    void recordGone();
    // The server carried out the sheet's request and the sheet closed.
    void requestSent();

public:
    // How long a request sent waits for the server's answer before the sheet gives up on it.
    static constexpr std::chrono::milliseconds kAnswerTimeLimit{30'000};
    void setAnswerTimeLimit(std::chrono::milliseconds limit) { answerTimer_.setInterval(limit); }
    // Whether the sheet's request waits for the server's answer, and whether its time limit runs.
    bool isWaitingForAnswer() const { return answerFor_ != 0 && !noAnswer_; }
    bool answerTimeLimitRuns() const { return answerTimer_.isActive(); }
    // The line above the buttons: waiting for the answer, or no answer came (hidden otherwise).
    QLabel* answerLine() const { return answerLine_; }

protected:
    // Keeps the id and follows the session (tick, table changes, replacement) while shown.
    void follow(const std::string& id);
    // Follows `id` and reads its record with `view`; false, with the sheet closed as gone, when there
    // is no session or the record cannot be read. Else fills the sheet and opens it with the focus on
    // the first of `focusOrder` that takes input.
    bool openRecord(const std::string& id, const std::function<bool(interfaces::Client&)>& view,
                    std::initializer_list<QWidget*> focusOrder);
    // The sheet's fields from its record as it stands.
    virtual void fill() = 0;
    // Whether the sheet's button may send: no request of it waiting, the session's lists taken up (none
    // lost), and figures the trader asked for; the button shows it.
    bool maySend() const;
    void showMaySend();

    // What the new session's lists show of a request the old session had no answer to.
    enum class SentOutcome {
        Gone,          // its record is no longer held: carried out
        CarriedOut,    // changed by what was sent
        NotCarriedOut, // as it was when sent
        Unclear,       // changed, but not by what was sent
        GoneUnclear,   // no longer held, which tells nothing of what was sent (an edit's record)
    };
    // Once a sign-in again's lists are in: reads the record again as the server now holds it and,
    // when `unanswered` (a request of the old session had no answer), says what became of it; nullopt
    // when the sheet cannot tell. Left to the base, a refresh that keeps what was typed.
    virtual std::optional<SentOutcome> takeUpRecord(bool unanswered);
    // The trader changed the request: a button held after a request carried out is live again.
    void traderEdited();

    // The fields both sheets show their record in.
    struct RecordFields {
        QGroupBox* box;
        QLineEdit* account;
        QLineEdit* symbol;
        QLineEdit* name;
        QComboBox* quantity;
        QLineEdit* quantityDescription;
        QLineEdit* orderType;
        QPushButton* button;
    };
    // The box, window and button titles.
    void showTitles(const RecordFields& fields, const RecordLines& lines);
    // The titles and the record's lines; the quantity box is filled without announcing it.
    void showRecordLines(const RecordFields& fields, const RecordLines& lines);
    // The sheet's request button runs `send`; Not Now dismisses the sheet.
    void connectButtons(QPushButton* request, std::function<void()> send, QPushButton* notNow);
    // Called at each tick and table change while the sheet shows; the subclass refreshes (and calls
    // closeAsGone() when the record is gone).
    virtual void refresh(bool fromTick) = 0;
    // The sheet closes and says on its owner that the record is no longer held (with `key`, a text
    // naming it by {0}).
    void closeAsGone(std::string_view key = kRecordGoneKey);
    // A refusal on this sheet: the text under the refusal title; the sheet stays open.
    void showRefusal(const QString& text);
    // An answer whose outcome is not known: what is known under its title; the sheet stays open.
    void showNotKnown(const QString& whatIsKnown);
    // A refusal the sheet found itself in the language; one of a field's text names the field.
    QString refusalText(const Refusal& refusal) const;
    // A numeric field shows at once whether it reads: marked with the reason when it does not.
    void markField(QWidget* field, const TradeEntry& entry, std::string_view fieldKey) const;
    // A field marked with the refusal its button would show (refusalText), or unmarked with none.
    void markRefusal(QWidget* field, const std::optional<Refusal>& refusal) const;
    // The answer of a request this sheet made: sent, the sheet waits for the server's answer to it;
    // a refusal is shown.
    bool takeResult(const interfaces::OrderResult& result);
    // Runs `send` at once when no request still waiting for the server's answer acts on any of
    // `positions` (this sheet's own, given up at its time limit, included). Else asks first, naming
    // the earlier requests and what each kind of them may do first (`window` words it), with Cancel
    // the default and what Return and Escape press; `send` runs on Send Again only, while the sheet
    // still shows and waits for nothing.
    void sendOrAskFirst(const std::vector<std::string>& positions, AskingWindow window,
                        std::function<void()> send);

    interfaces::Client* client() const;
    GuiContext& context() const { return context_; }
    QString text(std::string_view key) const;

private:
    void dropSession();
    // The session's connections: its tick, tables, answers and state.
    void followSession();
    // The client is replaced: its records go, what was typed stays while the sheet shows.
    void letGoOfSession();
    // The same user's login completed: the sheet works on the new session.
    void takeSessionBack(ClientModel* session);
    // Called at each tick and table change: false while the new session's lists are still coming.
    // The moment they are in, the record is taken up again (takeUpRecord) and false is returned once
    // more: the sheet has shown the record as it now is, and sends nothing on that call.
    bool recordsReady();
    // The lists of a sign-in again are in: the record read again, and the outcome of an unanswered
    // request told.
    void takeUpLists();
    // The sheet forgets the request it waited for: its button sends again, the answer line hides.
    void stopWaiting();
    void answered(const interfaces::RequestAnswer& answer);
    // The line under a request that still waits: the server's silence said, if it is silent.
    void showWaiting(bool answering);
    // The line was lost: the request may or may not have been carried out.
    void noAnswer();
    // No answer within the time limit: the sheet waits no more, and says so.
    void giveUpAnswer();
    void showAnswerLine(const char* key);
    // Opens the sheet on its owner with the focus on the first of `order` that takes input (the
    // last one whatever it is).
    void openWithFocus(std::initializer_list<QWidget*> order);

    GuiContext& context_;
    std::string record_;
    ClientModel* session_ = nullptr;
    SessionFollow follow_;
    QPushButton* requestButton_ = nullptr;
    QLabel* answerLine_ = nullptr;
    // The request sent and not answered (0: none), and whether the line went before its answer.
    std::uint64_t answerFor_ = 0;
    bool noAnswer_ = false;
    QTimer answerTimer_;
    // Whose session the sheet serves (the user signed in when it opened).
    std::optional<SignInUser> user_;
    // Taken up by a sign-in again, the sheet waits for the login's lists before it reads its record.
    bool awaitingLists_ = false;
    // A request of the old session had no answer: the new session's lists tell what became of it.
    bool unanswered_ = false;
    // Carried out (or changed past telling): the button waits for the trader's own new request.
    bool heldUntilEdited_ = false;
    // The line was lost (or the trader signed out): nothing goes out until a new session's lists are read.
    bool lineDown_ = false;
    // The refusal showing on the sheet, and the server's reason when it refused the sheet's request
    // (or what is known when its outcome is not): the record going meanwhile is told in one alert
    // that says both.
    QPointer<QMessageBox> refusalAlert_;
    QString serverRefusal_;
    QString notKnown_;
};

} // namespace tc::gui
