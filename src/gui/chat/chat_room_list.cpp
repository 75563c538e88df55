#include "gui/chat/chat_room_list.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/models/client_model.h"

#include <QHeaderView>
#include <QTableView>

namespace tc::gui {

ChatRoomListWindow::ChatRoomListWindow(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context) {}

ChatRoomListWindow::~ChatRoomListWindow() = default;

void ChatRoomListWindow::listRooms(ChatRoomListModel::Kind kind, QTableView* table,
                                   const char* accessibleKey) {
    table_ = table;
    model_ = new ChatRoomListModel(kind, context_.language(), this);
    table->setModel(model_);
    table->setColumnWidth(0, 180);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(table, &QTableView::activated, this,
            [this](const QModelIndex& index) { doubleAction(index.row()); });

    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::chatChanged, this, [this](const interfaces::ChatChange& change) {
        if (change.kind == interfaces::ChatChange::Kind::Transcript && awaited_.erase(change.key) > 0)
            openRoom(change.key);
        if (reloadsOn(change.kind))
            reload();
    });
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        awaited_.clear();
        model_->clear();
    });
    connect(&session, &ClientModel::clientReplaced, this, [this] { reload(); });
    bindLanguage(this, context_.language(),
                 [this, accessibleKey] { table_->setAccessibleName(context_.text(accessibleKey)); });
    reload();
}

void ChatRoomListWindow::reload() {
    model_->reload(context_.clientModel()->client().chat().collections());
}

void ChatRoomListWindow::showWindow() {
    applyLanguage(this, context_.language());
    table_->clearSelection();
    reload();
}

void ChatRoomListWindow::doubleAction(int row) {
    const auto room = model_->roomAt(row);
    if (!room)
        return;
    const std::string key = room->RoomId;
    const bool here = !room->messages.empty();
    if (!here && awaited_.contains(key))
        return; // asked already: opens when they come
    const bool asked = roomChosen(key, here);
    if (here)
        openRoom(key);
    else if (asked)
        awaited_.insert(key);
}

} // namespace tc::gui
