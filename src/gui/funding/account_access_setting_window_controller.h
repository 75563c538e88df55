#pragma once
// The account-access sheet of the settings window: the accounts of which the signed-in user is the
// primary holder, the other users mapped to the chosen account and the right of the chosen user.
// Every opening and every change of account asks the server for that account's maps again. Apply
// sends the chosen right; the sheet closes on the server's answer and says whether it was taken. A
// request with no answer (its time limit, a dropped line) is no refusal: the sheet says the change
// may have been made, stays open and shows the right the server holds once it answers again. While
// an edit waits a line says so, and says when the server is not answering.
#include "gui/app/sheet_controller.h"
#include "gui/funding/account_access_rules.h"
#include "gui/models/session_follow.h"
#include "interfaces/commands.h"

#include <memory>
#include <vector>

class QLabel;

namespace Ui {
class AccountAccessSettingWindowController;
}

namespace interfaces {
struct UserAccessArrival;
struct UserAccessEdit;
} // namespace interfaces

namespace tc::gui {

class GuiContext;

class AccountAccessSettingWindowController : public SheetController {
    Q_OBJECT
public:
    explicit AccountAccessSettingWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~AccountAccessSettingWindowController() override;

    void onWindowLoad() override;
    void applyButtonClicked();
    const AccountAccessForm& form() const { return form_; }
    // The maps request of the chosen account awaiting its reply (0 when none).
    interfaces::RequestId mapRequest() const { return mapRequest_; }
    // The edit sent awaiting its answer (0 when none).
    interfaces::RequestId editRequest() const { return editRequest_; }
    // The line under an edit waiting for its answer (hidden while none waits).
    QLabel* waitingLine() const;

protected:
    void done(int result) override;

private:
    void follow();
    void requestMaps();
    void loadUsers();
    void updateValuesInViews();
    void accountChosen(int index);
    void userChosen(int index);
    void rightChosen(int index);
    void mapsArrived(const interfaces::UserAccessArrival& arrival);
    void editAnswered(bool accepted);
    void editUnanswered();
    // The line under an edit that waits: waiting, or the server not answering.
    void showWaiting();

    std::unique_ptr<Ui::AccountAccessSettingWindowController> ui_;
    GuiContext& context_;
    AccountAccessForm form_;
    interfaces::RequestId mapRequest_ = 0;
    interfaces::RequestId editRequest_ = 0;
    // An edit went without an answer: the maps are asked again until they come.
    bool unansweredEdit_ = false;
    SessionFollow follow_;
};

} // namespace tc::gui
