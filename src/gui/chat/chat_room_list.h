#pragma once
// What the notices and the recent-conversations windows share: the table of rooms kept in step with
// the session, and the rooms whose messages were asked for, opened as soon as they come.
#include "gui/chat/chat_room_list_model.h"
#include "interfaces/chat.h"

#include <functional>
#include <set>
#include <string>

class QTableView;
class QWidget;

namespace tc::gui {

class GuiContext;

class ChatRoomList {
public:
    struct Hooks {
        std::function<void(int row)> activated;                      // a double click, or Return on the row
        std::function<void(const std::string& key)> open;            // a room whose awaited messages came
        std::function<bool(interfaces::ChatChange::Kind)> reloadsOn; // the chat changes that refresh the rows
    };

    // Fills `table` with the rooms of `kind` and follows the session's chat and client replacement;
    // `accessibleKey` names the table in the current language. Lives as long as `owner`.
    ChatRoomList(QWidget* owner, GuiContext& context, ChatRoomListModel::Kind kind, QTableView* table,
                 const char* accessibleKey, Hooks hooks);

    ChatRoomListModel* model() const { return model_; }
    // Rooms whose messages were asked for.
    std::set<std::string>& awaited() { return awaited_; }
    void reload();
    // Texts, no selection, the rows afresh.
    void showWindow();

private:
    QWidget* owner_;
    GuiContext& context_;
    QTableView* table_;
    ChatRoomListModel* model_;
    Hooks hooks_;
    std::set<std::string> awaited_;
};

// Makes the room window on first use, then shows `roomKey` in it in front.
template <class Window>
void showRoomWindow(Window*& window, GuiContext& context, QWidget* parent, const std::string& roomKey) {
    if (!window)
        window = new Window(context, parent);
    window->showWindow(roomKey);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace tc::gui
