#include "gui/chat/chat_room_list.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/models/client_model.h"

#include <QHeaderView>
#include <QTableView>

#include <utility>

namespace tc::gui {

ChatRoomList::ChatRoomList(QWidget* owner, GuiContext& context, ChatRoomListModel::Kind kind,
                           QTableView* table, const char* accessibleKey, Hooks hooks)
    : owner_(owner), context_(context), table_(table),
      model_(new ChatRoomListModel(kind, context.language(), owner)), hooks_(std::move(hooks)) {
    table->setModel(model_);
    table->setColumnWidth(0, 180);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QObject::connect(table, &QTableView::activated, owner,
                     [this](const QModelIndex& index) { hooks_.activated(index.row()); });

    ClientModel& session = *context_.clientModel();
    QObject::connect(
        &session, &ClientModel::chatChanged, owner, [this](const interfaces::ChatChange& change) {
            if (change.kind == interfaces::ChatChange::Kind::Transcript && awaited_.erase(change.key) > 0)
                hooks_.open(change.key);
            if (hooks_.reloadsOn(change.kind))
                reload();
        });
    QObject::connect(&session, &ClientModel::clientAboutToBeReplaced, owner, [this] {
        awaited_.clear();
        model_->clear();
    });
    QObject::connect(&session, &ClientModel::clientReplaced, owner, [this] { reload(); });
    bindLanguage(owner, context_.language(),
                 [this, accessibleKey] { table_->setAccessibleName(context_.text(accessibleKey)); });
}

void ChatRoomList::reload() {
    model_->reload(context_.clientModel()->client().chat().collections());
}

void ChatRoomList::showWindow() {
    applyLanguage(owner_, context_.language());
    table_->clearSelection();
    reload();
}

} // namespace tc::gui
