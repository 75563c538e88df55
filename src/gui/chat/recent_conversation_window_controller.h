#pragma once
// The recent conversations: the user's earlier conversations (the other party and the last text),
// newest first. A double click opens one in the transcript window, asking the server for its
// messages first when none are here (the window opens when they arrive). Made once by the chat
// window and kept; each opening refreshes texts and rows.
#include "interfaces/client.h"

#include <QWidget>

#include <memory>
#include <string>

class QTableView;

namespace Ui {
class RecentConversationWindowController;
}

namespace tc::gui {

class ChatMessageWindowController;
class ChatRoomList;
class GuiContext;

class RecentConversationWindowController : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit RecentConversationWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~RecentConversationWindowController() override;

    // Texts, no selection, the rows afresh.
    void showWindow();
    // The double click on a row.
    void doubleAction(int row);
    QTableView* recentconversationTableView() const;
    ChatMessageWindowController* transcriptWindow() const { return transcript_; }

private:
    void openRecentConversation(const std::string& roomKey);

    std::unique_ptr<Ui::RecentConversationWindowController> ui_;
    GuiContext& context_;
    std::unique_ptr<ChatRoomList> rooms_;
    ChatMessageWindowController* transcript_ = nullptr;
};

} // namespace tc::gui
