#pragma once
// The notices window: the server's notices (subject, text, time), unread ones in bold, newest first.
// A double click (or Return) opens one: it is read from then on, the server is told (or asked for
// its messages when none are here), and the notice pop-up shows its first message. Made once by the
// main window and kept; a notice that arrives refreshes the list.
#include "gui/chat/chat_room_list.h"

#include <memory>
#include <string>

class QLabel;
class QPlainTextEdit;
class QTableView;

namespace Ui {
class MessagesWindowController;
class NoticeMessageWindowController;
} // namespace Ui

namespace tc::gui {

class GuiContext;

// One notice: "Subject: " and its title, "Time: " and the first message's time, then its text.
class NoticeMessageWindowController : public QWidget {
    Q_OBJECT
public:
    explicit NoticeMessageWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~NoticeMessageWindowController() override;

    // The notice under the key in the chat collections; without messages the texts stay as they were.
    void showWindow(const std::string& roomKey);
    QLabel* subjectLabel() const;
    QLabel* timeLabel() const;
    QPlainTextEdit* messageTextView() const;

private:
    std::unique_ptr<Ui::NoticeMessageWindowController> ui_;
    GuiContext& context_;
};

class MessagesWindowController : public ChatRoomListWindow {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit MessagesWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~MessagesWindowController() override;

    QTableView* messagesTableView() const;
    NoticeMessageWindowController* noticeWindow() const { return notice_; }

private:
    bool reloadsOn(interfaces::ChatChange::Kind kind) const override;
    // Read from now on: acknowledged, or its messages asked for.
    bool roomChosen(const std::string& roomKey, bool messagesHere) override;
    void openRoom(const std::string& roomKey) override;

    std::unique_ptr<Ui::MessagesWindowController> ui_;
    NoticeMessageWindowController* notice_ = nullptr;
};

} // namespace tc::gui
