#include "gui/chat/messages_window_controller.h"

#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/chat/chat_room_list.h"
#include "gui/chat/chat_window_rules.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_messages_window_controller.h"
#include "ui_notice_message_window_controller.h"

namespace tc::gui {

// ---- the pop-up

NoticeMessageWindowController::NoticeMessageWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::NoticeMessageWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("NoticeMessageWindowController"));
    EscapeClose::install(this, context_.language());
    QFont subject = ui_->subjectLabel->font();
    subject.setBold(true);
    ui_->subjectLabel->setFont(subject);
    bindLanguage(this, context_.language());
}

NoticeMessageWindowController::~NoticeMessageWindowController() = default;

QLabel* NoticeMessageWindowController::subjectLabel() const {
    return ui_->subjectLabel;
}
QLabel* NoticeMessageWindowController::timeLabel() const {
    return ui_->timeLabel;
}
QPlainTextEdit* NoticeMessageWindowController::messageTextView() const {
    return ui_->messageTextView;
}

void NoticeMessageWindowController::showWindow(const std::string& roomKey) {
    applyLanguage(this, context_.language());
    const auto room = roomOf(context_.clientModel()->client().chat().collections(), roomKey);
    if (!room || room->messages.empty())
        return;
    // Only the first message is shown.
    const chat::ChatMessageEntry& entry = room->messages.front();
    ui_->subjectLabel->setText(
        context_.text(texts::kMessageSubject).replace(QLatin1String("{0}"), qt(room->MessageTitle)));
    ui_->timeLabel->setText(
        context_.text(texts::kMessageTime).replace(QLatin1String("{0}"), qt(noticeTime(entry.time))));
    ui_->messageTextView->setPlainText(qt(entry.msg));
}

// ---- the list

MessagesWindowController::MessagesWindowController(GuiContext& context, QWidget* parent)
    : ChatRoomListWindow(context, parent), ui_(std::make_unique<Ui::MessagesWindowController>()) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("MessagesWindowController"));
    EscapeClose::install(this, context_.language());
    listRooms(ChatRoomListModel::Kind::Notices, ui_->messagesTableView, texts::kNotices);
    ui_->messagesTableView->setColumnWidth(1, 300);
    connect(context_.clientModel(), &ClientModel::noticeArrived, this, [this] { reload(); });
}

MessagesWindowController::~MessagesWindowController() = default;

QTableView* MessagesWindowController::messagesTableView() const {
    return ui_->messagesTableView;
}

bool MessagesWindowController::reloadsOn(interfaces::ChatChange::Kind kind) const {
    using Kind = interfaces::ChatChange::Kind;
    return kind != Kind::Status && kind != Kind::Queue && kind != Kind::Contacts;
}

bool MessagesWindowController::roomChosen(const std::string& roomKey, bool) {
    const bool sent = static_cast<bool>(context_.clientModel()->client().chat().openNotice(roomKey));
    reload();
    return sent;
}

void MessagesWindowController::openRoom(const std::string& roomKey) {
    showRoomWindow(notice_, context_, this, roomKey);
}

} // namespace tc::gui
