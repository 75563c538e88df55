#pragma once
// The close-all window: a sheet on the main window listing every open position with a tick (all
// ticked at each opening, but those an earlier request still waits for, whose row names it); rows
// are selected as in any list, Space ticks or unticks the selected ones together, and a click on the
// tick column's title every one. Its button asks first when a ticked position still waits for an
// earlier request, then checks each ticked position without sending; refusals show in the status
// sheet (ClosePositionStatusWindowController), whose going on closes the others. One request goes
// out, naming the positions it closes (never the server's "every position", which would close one
// opened since the list was read). Then the window lists the sent positions, and each position's
// answer of that request turns its row to closed or rejected; a rejected row says whether its position
// is still open and what it holds now.
// Sent, the window stays through a sign-in again of the same user: once the new session's open
// positions are in, each row that had no answer reads from them what became of it, and nothing is
// sent again. Another user signing in closes it with a word naming the positions that had no answer.
#include "gui/app/sheet_controller.h"
#include "gui/models/client_model.h"
#include "gui/models/record_table_model.h"
#include "gui/models/session_follow.h"
#include "gui/trading/close_all_rules.h"

#include <QTimer>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace Ui {
class CloseAllWindowController;
}

namespace tc::gui {

class ClosePositionStatusWindowController;
class GuiContext;
struct CloseAllLine;

class CloseAllWindowController : public SheetController {
    Q_OBJECT
public:
    explicit CloseAllWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~CloseAllWindowController() override;

    const CloseAllFlow& flow() const { return flow_; }
    Ui::CloseAllWindowController& ui() const { return *ui_; }
    // The status sheet, once made.
    ClosePositionStatusWindowController* statusSheet() const { return status_; }

    void onWindowLoad() override;
    void done(int result) override;
    // A tick box of the position list, as a click on it.
    void hitCheckbox(const std::string& positionId);
    // The tick column's title: every row unticked, or every row ticked when some was not.
    void hitTickTitle();
    // Space in the list: the selected rows (or the current one) ticked together, or unticked
    // together when all of them were ticked.
    void spaceOnRows();
    // Asks first when a ticked position still waits for an earlier request (not sending the default),
    // then checks and sends.
    void closeAllButtonClicked();
    // How long the sent list waits for every position's report before saying that none came: the
    // sheets' own limit (RecordSheet::kAnswerTimeLimit) unless a test sets another.
    void setAnswerTimeLimit(std::chrono::milliseconds limit) { answerTimer_.setInterval(limit); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    // The client is replaced: a window that sent keeps its rows and waits for the same user's sign-in;
    // one still choosing goes (its list was the old client's, nothing was sent).
    void letGoOfSession();
    // The same user signed in again: the window follows the new client and waits for its list.
    void takeSessionBack();
    // The new session's open positions are in: the rows without an answer read what became of them.
    void takeUpList();
    // The rows again with the ticks of the flow.
    void showTicks();
    // The list read again from the book (positions came or went, or the language changed).
    void loadRows();
    // The flow told the book listed now, for the button, without reading the rows again.
    void listBook();
    // Whether an account's status or access (whether its positions are listed) changed since the book
    // was last read; notes them.
    bool accountsChanged();
    // The live cells again, where they stand.
    void refreshTableView();
    void setButtonTitle();
    // The core's check of the ticked positions; refusals go to the status sheet, else the request goes.
    void checkAndSend();
    // The waiting requests read again: the rows whose request changed, and the heading.
    void refreshAwaited();
    void showOrderStatusTableView();
    void send();
    void showStatus();
    // One row of the sent list again, after its report.
    void showStatusRow(std::size_t row);
    void showHeader();
    // No answer in time, or none can come: the rows still waiting say so.
    void noAnswer();
    // The refused rows read what their positions hold now.
    void readHeld();

    // The request sent while some of its rows still wait for their answers (0: none); given up if the
    // window closes first.
    std::uint64_t request_ = 0;
    std::unique_ptr<Ui::CloseAllWindowController> ui_;
    GuiContext& context_;
    CloseAllFlow flow_;
    RecordTableModel<CloseAllLine>* lines_ = nullptr;
    ClosePositionStatusWindowController* status_ = nullptr;
    SessionFollow follow_;
    QTimer answerTimer_;
    // A refusal's row reads its position once the reports of this pass are in: one pass over the book
    // for the refusals of a burst, not one for each.
    QTimer heldTimer_;
    // The selected rows and the current one by position id, across a reset of the rows.
    std::unordered_set<std::string> kept_;
    std::string keptCurrent_;
    int keptColumn_ = 0;
    // Whose session the window serves (the user signed in when it opened).
    std::optional<SignInUser> user_;
    // Each account's id, trading status and access as the book was last read.
    using AccountShown = std::tuple<std::int32_t, std::int32_t, std::int32_t>;
    std::vector<AccountShown> accountsShown_;
    // The old client went with the window's request sent; the window waits for the next sign-in.
    bool betweenSessions_ = false;
    // Taken up by the same user's sign-in, it waits for that login's open positions.
    bool awaitingList_ = false;
};

} // namespace tc::gui
