#include "gui/chat/recent_conversation_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/chat/chat_message_window_controller.h"
#include "gui/chat/chat_room_list_model.h"
#include "gui/models/client_model.h"
#include "ui_recent_conversation_window_controller.h"

#include <QHeaderView>

namespace tc::gui {

RecentConversationWindowController::RecentConversationWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::RecentConversationWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("RecentConversationWindowController"));
    model_ = new ChatRoomListModel(ChatRoomListModel::Kind::RecentConversations, context_.language(), this);
    QTableView* table = ui_->recentconversationTableView;
    table->setModel(model_);
    table->setColumnWidth(0, 180);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // A double click, or Return on the row.
    connect(table, &QTableView::activated, this,
            [this](const QModelIndex& index) { doubleAction(index.row()); });

    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::chatChanged, this, [this](const interfaces::ChatChange& change) {
        using Kind = interfaces::ChatChange::Kind;
        if (change.kind == Kind::Transcript && awaited_.erase(change.key) > 0)
            openRecentConversation(change.key);
        if (change.kind == Kind::Recent || change.kind == Kind::Transcript || change.kind == Kind::RoomReady)
            reload();
    });
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        awaited_.clear();
        model_->clear();
    });
    connect(&session, &ClientModel::clientReplaced, this, [this] { reload(); });
    bindLanguage(this, context_.language(),
                 [this] { ui_->recentconversationTableView->setAccessibleName(context_.text("0309")); });
    reload();
}

RecentConversationWindowController::~RecentConversationWindowController() = default;

QTableView* RecentConversationWindowController::recentconversationTableView() const {
    return ui_->recentconversationTableView;
}

void RecentConversationWindowController::showWindow() {
    applyLanguage(this, context_.language());
    ui_->recentconversationTableView->clearSelection();
    reload();
}

void RecentConversationWindowController::reload() {
    model_->reload(context_.clientModel()->client().chat().collections());
}

void RecentConversationWindowController::doubleAction(int row) {
    const auto room = model_->roomAt(row);
    if (!room)
        return;
    const std::string key = room->RoomId;
    if (room->messages.empty()) {
        if (awaited_.contains(key))
            return; // asked already: opens when they come
        if (context_.clientModel()->client().chat().requestRoomMessages(key))
            awaited_.insert(key);
        return;
    }
    openRecentConversation(key);
}

void RecentConversationWindowController::openRecentConversation(const std::string& roomKey) {
    if (!transcript_)
        transcript_ = new ChatMessageWindowController(context_, this);
    transcript_->showWindow(roomKey);
    transcript_->show();
    transcript_->raise();
    transcript_->activateWindow();
}

} // namespace tc::gui
