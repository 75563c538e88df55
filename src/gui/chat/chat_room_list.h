#pragma once
// What the notices and the recent-conversations windows share: the table of rooms kept in step with
// the session, the double click that opens a room, and the rooms whose messages were asked for,
// opened as soon as they come.
#include "gui/chat/chat_room_list_model.h"
#include "interfaces/chat.h"

#include <QWidget>

#include <set>
#include <string>

class QTableView;

namespace tc::gui {

class GuiContext;

class ChatRoomListWindow : public QWidget {
    Q_OBJECT
public:
    ~ChatRoomListWindow() override;

    // Texts, no selection, the rows afresh.
    void showWindow();
    // The double click on a row (or Return): a room whose messages are here opens; one without them
    // is asked for once and opens when they come.
    void doubleAction(int row);

protected:
    // Needs the context's client model.
    ChatRoomListWindow(GuiContext& context, QWidget* parent);
    // After the layout is set up: fills `table` with the rooms of `kind` and follows the session's
    // chat and client replacement; `accessibleKey` names the table in the current language.
    void listRooms(ChatRoomListModel::Kind kind, QTableView* table, const char* accessibleKey);
    void reload();

    // The chat changes that refresh the rows.
    virtual bool reloadsOn(interfaces::ChatChange::Kind kind) const = 0;
    // Tells the server what choosing the room means; true when its messages were asked for.
    virtual bool roomChosen(const std::string& roomKey, bool messagesHere) = 0;
    // Shows a room whose messages are here.
    virtual void openRoom(const std::string& roomKey) = 0;

    GuiContext& context_;

private:
    QTableView* table_ = nullptr;
    ChatRoomListModel* model_ = nullptr;
    std::set<std::string> awaited_; // rooms whose messages were asked for
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
