#include "gui/chat/recent_conversation_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/chat/chat_message_window_controller.h"
#include "gui/chat/chat_room_list.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_recent_conversation_window_controller.h"

namespace tc::gui {

RecentConversationWindowController::RecentConversationWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::RecentConversationWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("RecentConversationWindowController"));
    ChatRoomList::Hooks hooks;
    hooks.activated = [this](int row) { doubleAction(row); };
    hooks.open = [this](const std::string& key) { openRecentConversation(key); };
    hooks.reloadsOn = [](interfaces::ChatChange::Kind kind) {
        using Kind = interfaces::ChatChange::Kind;
        return kind == Kind::Recent || kind == Kind::Transcript || kind == Kind::RoomReady;
    };
    rooms_ = std::make_unique<ChatRoomList>(this, context_, ChatRoomListModel::Kind::RecentConversations,
                                            ui_->recentconversationTableView, texts::kRecentConversations,
                                            std::move(hooks));
    rooms_->reload();
}

RecentConversationWindowController::~RecentConversationWindowController() = default;

QTableView* RecentConversationWindowController::recentconversationTableView() const {
    return ui_->recentconversationTableView;
}

void RecentConversationWindowController::showWindow() {
    rooms_->showWindow();
}

void RecentConversationWindowController::doubleAction(int row) {
    const auto room = rooms_->model()->roomAt(row);
    if (!room)
        return;
    const std::string key = room->RoomId;
    if (room->messages.empty()) {
        if (rooms_->awaited().contains(key))
            return; // asked already: opens when they come
        if (context_.clientModel()->client().chat().requestRoomMessages(key))
            rooms_->awaited().insert(key);
        return;
    }
    openRecentConversation(key);
}

void RecentConversationWindowController::openRecentConversation(const std::string& roomKey) {
    showRoomWindow(transcript_, context_, this, roomKey);
}

} // namespace tc::gui
