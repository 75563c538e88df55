#include "gui/chat/recent_conversation_window_controller.h"

#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/chat/chat_message_window_controller.h"
#include "gui/chat/chat_room_list.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_recent_conversation_window_controller.h"

namespace tc::gui {

RecentConversationWindowController::RecentConversationWindowController(GuiContext& context, QWidget* parent)
    : ChatRoomListWindow(context, parent), ui_(std::make_unique<Ui::RecentConversationWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("RecentConversationWindowController"));
    EscapeClose::install(this, context_.language());
    listRooms(ChatRoomListModel::Kind::RecentConversations, ui_->recentConversationTableView,
              texts::kRecentConversations);
}

RecentConversationWindowController::~RecentConversationWindowController() = default;

QTableView* RecentConversationWindowController::recentConversationTableView() const {
    return ui_->recentConversationTableView;
}

bool RecentConversationWindowController::reloadsOn(interfaces::ChatChange::Kind kind) const {
    using Kind = interfaces::ChatChange::Kind;
    return kind == Kind::Recent || kind == Kind::Transcript || kind == Kind::RoomReady;
}

bool RecentConversationWindowController::roomChosen(const std::string& roomKey, bool messagesHere) {
    return !messagesHere && context_.clientModel()->client().chat().requestRoomMessages(roomKey);
}

void RecentConversationWindowController::openRoom(const std::string& roomKey) {
    showRoomWindow(transcript_, context_, this, roomKey);
}

} // namespace tc::gui
