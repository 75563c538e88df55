#pragma once
// The transcript window: the messages of one earlier conversation, read-only, as they were when it
// was opened (the room it shows is held; a later reply is seen at the next opening). The recent
// conversations make it once and keep it; each opening replaces what it shows.
#include "model/records/chat_records.h"

#include <QWidget>

#include <memory>
#include <string_view>

namespace Ui {
class ChatMessageWindowController;
}

namespace tc::gui {

class GuiContext;
class TranscriptView;

class ChatMessageWindowController : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit ChatMessageWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~ChatMessageWindowController() override;

    // Shows the room under the key in the chat collections (nothing when there is none).
    void showWindow(std::string_view roomKey);
    const std::shared_ptr<const chat::ChatRoom>& room() const { return room_; }
    TranscriptView* chatMessageTableView() const;

private:
    std::unique_ptr<Ui::ChatMessageWindowController> ui_;
    GuiContext& context_;
    std::shared_ptr<const chat::ChatRoom> room_;
};

} // namespace tc::gui
