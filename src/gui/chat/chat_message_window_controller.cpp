#include "gui/chat/chat_message_window_controller.h"

#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/chat/chat_transcript_view.h"
#include "gui/chat/chat_window_rules.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_chat_message_window_controller.h"

namespace tc::gui {

ChatMessageWindowController::ChatMessageWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::ChatMessageWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("ChatMessageWindowController"));
    EscapeClose::install(this, context_.language());
    ui_->chatMessageTableView->setThemes(context_.themes());
    connect(context_.clientModel(), &ClientModel::clientAboutToBeReplaced, this, [this] {
        room_.reset();
        ui_->chatMessageTableView->transcript()->setRoom(nullptr, {});
    });
    bindLanguage(this, context_.language(), [this] {
        ui_->chatMessageTableView->setAccessibleName(context_.text(texts::kConversation));
    });
}

ChatMessageWindowController::~ChatMessageWindowController() = default;

TranscriptView* ChatMessageWindowController::chatMessageTableView() const {
    return ui_->chatMessageTableView;
}

void ChatMessageWindowController::showWindow(std::string_view roomKey) {
    interfaces::Client& client = context_.clientModel()->client();
    room_ = roomOf(client.chat().collections(), roomKey);
    if (room_) {
        const std::string title = recentConversationName(*room_);
        setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
    }
    // The rows are taken now: later replies are seen at the next opening.
    ui_->chatMessageTableView->transcript()->setRoom(room_, client.userName());
}

} // namespace tc::gui
