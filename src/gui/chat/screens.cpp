// The chat window, its sheets, the notices and the recent conversations.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerChatScreens().
#include "gui/screens/screen_registry.h"

#include "gui/chat/chat_message_window_controller.h"
#include "gui/chat/chat_transcript_view.h"
#include "gui/chat/chat_window_controller.h"
#include "gui/chat/messages_window_controller.h"
#include "gui/chat/recent_conversation_window_controller.h"
#include "gui/models/client_model.h"

namespace tc::gui {
namespace {

// The chat window on the support queue's conversation: the user's question, the agent's greeting and
// the user's answer.
QWidget* chatWindow(ScreenContext& c) {
    interfaces::Chat& chat = c.session().client().chat();
    const auto accepted = [&chat] {
        const auto* queue = chat.collections().ChatQueueCollection.get("1");
        const auto* room = chat.collections().ChatRoomCollection.get("1");
        return queue && *queue && (*queue)->chartRequestStatus == 2 && room && *room &&
               !(*room)->messages.empty();
    };
    if (!accepted()) {
        c.waitUntil([&chat] { return chat.collections().ChatQueueCollection.contains("1"); }, 10000);
        chat.requestChatQueue("1", "Hi");
        c.waitUntil(accepted, 10000);
    }
    auto* window = c.own(new ChatWindowController(c.context()));
    window->resize(860, 520);
    window->show();
    window->showWindow();
    window->chatQueueTableView()->selectRow(0);
    if (window->messageTableView()->transcript()->rowCount() < 3) {
        window->messageTextView()->setText(QStringLiteral("Thanks. Could you explain the margin I need for "
                                                          "one lot of EURUSD on my demo account?"));
        window->SendChatButtonClicked();
    }
    return window;
}

QWidget* chatQueueRequest(ScreenContext& c) {
    auto* window = c.own(new ChatWindowController(c.context()));
    window->show();
    auto* sheet = new QueueRequestSheet(c.context(), window);
    sheet->openOn(window);
    c.waitUntil([sheet] { return sheet->isVisible(); });
    return sheet;
}

MessagesWindowController* noticesWindow(ScreenContext& c) {
    auto* window = c.own(new MessagesWindowController(c.context()));
    window->show();
    window->showWindow();
    c.waitUntil([window] { return window->messagesTableView()->model()->rowCount() >= 2; }, 10000);
    return window;
}

int rowShowing(QAbstractItemModel* model, const QString& text) {
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 0).data().toString() == text)
            return r;
    return -1;
}

// The notice read already, so the notices screen keeps its unread one.
QWidget* noticePopup(ScreenContext& c) {
    MessagesWindowController* window = noticesWindow(c);
    window->doubleAction(rowShowing(window->messagesTableView()->model(), QStringLiteral("Welcome")));
    c.waitUntil([window] { return window->noticeWindow() && window->noticeWindow()->isVisible(); }, 10000);
    return window->noticeWindow();
}

RecentConversationWindowController* recentConversations(ScreenContext& c) {
    auto* chat = c.own(new ChatWindowController(c.context()));
    RecentConversationWindowController* window = chat->RecentConversationButtonClicked();
    c.waitUntil([window] { return window->recentConversationTableView()->model()->rowCount() > 0; }, 10000);
    return window;
}

QWidget* chatTranscript(ScreenContext& c) {
    RecentConversationWindowController* recent = recentConversations(c);
    recent->doubleAction(
        rowShowing(recent->recentConversationTableView()->model(), QStringLiteral("Trader Two")));
    c.waitUntil([recent] { return recent->transcriptWindow() && recent->transcriptWindow()->isVisible(); },
                10000);
    return recent->transcriptWindow();
}

} // namespace

void registerChatScreens(ScreenRegistry& r) {
    r.add("chat-window", chatWindow);
    r.add("chat-queue-request", chatQueueRequest);
    r.add("notices", [](ScreenContext& c) { return static_cast<QWidget*>(noticesWindow(c)); });
    r.add("notice-popup", noticePopup);
    r.add("recent-conversations",
          [](ScreenContext& c) { return static_cast<QWidget*>(recentConversations(c)); });
    r.add("chat-transcript", chatTranscript);
}

} // namespace tc::gui
