#pragma once
// The recent conversations: the user's earlier conversations (the other party and the last text),
// newest first. A double click opens one in the transcript window, asking the server for its
// messages first when none are here (the window opens when they arrive). Made once by the chat
// window and kept; each opening refreshes texts and rows.
#include "gui/chat/chat_room_list.h"

#include <memory>
#include <string>

class QTableView;

namespace Ui {
class RecentConversationWindowController;
}

namespace tc::gui {

class ChatMessageWindowController;
class GuiContext;

class RecentConversationWindowController : public ChatRoomListWindow {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit RecentConversationWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~RecentConversationWindowController() override;

    QTableView* recentConversationTableView() const;
    ChatMessageWindowController* transcriptWindow() const { return transcript_; }

private:
    bool reloadsOn(interfaces::ChatChange::Kind kind) const override;
    // Only a room without messages asks for them.
    bool roomChosen(const std::string& roomKey, bool messagesHere) override;
    void openRoom(const std::string& roomKey) override;

    std::unique_ptr<Ui::RecentConversationWindowController> ui_;
    ChatMessageWindowController* transcript_ = nullptr;
};

} // namespace tc::gui
