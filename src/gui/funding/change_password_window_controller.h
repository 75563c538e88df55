#pragma once
// The password sheet of the settings window: the current password, the new one and its
// confirmation. The form's checks are the core's; the sheet then waits for the server, saying so, and
// while the server does not answer its pings that the change still waits, nothing sent again. Success
// closes it and says so (text 0369); a refusal shows the server's reason in the sheet, which stays
// open with the fields as typed. No answer in time, or the line lost first, is told as an outcome
// not known: the change may have been made, and if the current password is refused at the next
// sign-in the new one is in force; an answer that comes later in the session is still told. A
// remembered password is rewritten only on success.
#include "gui/app/sheet_controller.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace Ui {
class ChangePasswordWindowController;
}

namespace tc::gui {

class GuiContext;

class ChangePasswordWindowController : public SheetController {
    Q_OBJECT
public:
    // How long the sheet waits for the server's answer before it gives up on it.
    static constexpr int kReplyTimeoutMs = 30'000;

    explicit ChangePasswordWindowController(GuiContext& context, QWidget* parent = nullptr);
    void setReplyTimeLimit(std::chrono::milliseconds limit) { replyTimer_.setInterval(limit); }
    ~ChangePasswordWindowController() override;

    // Told the new password once the server accepted it (the remembered user's record follows).
    void SetPasswordChangedHandler(std::function<void(const std::string& password)> handler) {
        changed_ = std::move(handler);
    }

    void onWindowLoad() override;
    void ChangePasswordButtonClicked();
    // The server's answers while the sheet waits for one.
    void ShowStatusMessage();
    void ShowRefusal(const std::string& reason);
    // Whether a change was sent and its answer has not come.
    bool Waiting() const { return waiting_; }
    // Whether the sheet gave up waiting and told the trader the change may have been made.
    bool OutcomeUnknown() const { return outcomeUnknown_; }
    // The refusal shown in the sheet (empty when none).
    QString StatusText() const;

private:
    void ValidationAlert(const QString& text);
    void SetWaiting(bool waiting);
    // The line of a change waiting: sent, or the server not answering (the other sheets' line).
    void showWaiting();

    std::unique_ptr<Ui::ChangePasswordWindowController> ui_;
    GuiContext& context_;
    std::function<void(const std::string&)> changed_;
    std::string sentPassword_;
    bool waiting_ = false;
    bool outcomeUnknown_ = false;
    // The Notice of a change the lost line left without an answer, said until a sign-in tells.
    QPointer<QWidget> unknownNotice_;
    QTimer replyTimer_;
};

} // namespace tc::gui
