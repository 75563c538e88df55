#include "gui/chat/messages_window_controller.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/chat/chat_room_list_model.h"
#include "gui/chat/chat_window_rules.h"
#include "gui/models/client_model.h"
#include "ui_messages_window_controller.h"
#include "ui_notice_message_window_controller.h"

#include <QHeaderView>

namespace tc::gui {
namespace {

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

// ---- the pop-up

NoticeMessageWindowController::NoticeMessageWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::NoticeMessageWindowController>()),
      context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("NoticeMessageWindowController"));
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
    ui_->subjectLabel->setText(context_.text("91305").replace(QLatin1String("{0}"), qt(room->MessageTitle)));
    ui_->timeLabel->setText(context_.text("91306").replace(QLatin1String("{0}"), qt(noticeTime(entry.time))));
    ui_->messageTextView->setPlainText(qt(entry.msg));
}

// ---- the list

MessagesWindowController::MessagesWindowController(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(std::make_unique<Ui::MessagesWindowController>()), context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("MessagesWindowController"));
    model_ = new ChatRoomListModel(ChatRoomListModel::Kind::Notices, context_.language(), this);
    QTableView* table = ui_->messagesTableView;
    table->setModel(model_);
    table->setColumnWidth(0, 180);
    table->setColumnWidth(1, 300);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // A double click, or Return on the row.
    connect(table, &QTableView::activated, this,
            [this](const QModelIndex& index) { doubleAction(index.row()); });

    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::chatChanged, this, [this](const interfaces::ChatChange& change) {
        using Kind = interfaces::ChatChange::Kind;
        if (change.kind == Kind::Transcript && awaited_.erase(change.key) > 0)
            openNoticeMessageWindow(change.key);
        if (change.kind != Kind::Status && change.kind != Kind::Queue && change.kind != Kind::Contacts)
            reload();
    });
    connect(&session, &ClientModel::noticeArrived, this, [this] { reload(); });
    connect(&session, &ClientModel::clientAboutToBeReplaced, this, [this] {
        awaited_.clear();
        model_->clear();
    });
    connect(&session, &ClientModel::clientReplaced, this, [this] { reload(); });
    bindLanguage(this, context_.language(),
                 [this] { ui_->messagesTableView->setAccessibleName(context_.text("0099")); });
    reload();
}

MessagesWindowController::~MessagesWindowController() = default;

QTableView* MessagesWindowController::messagesTableView() const {
    return ui_->messagesTableView;
}

void MessagesWindowController::showWindow() {
    applyLanguage(this, context_.language());
    ui_->messagesTableView->clearSelection();
    reload();
}

void MessagesWindowController::reload() {
    model_->reload(context_.clientModel()->client().chat().collections());
}

void MessagesWindowController::doubleAction(int row) {
    const auto room = model_->roomAt(row);
    if (!room)
        return;
    const std::string key = room->RoomId;
    const bool here = !room->messages.empty();
    if (!here && awaited_.contains(key))
        return; // asked already: opens when they come
    // Read from now on; acknowledged, or its messages asked for.
    const bool sent = static_cast<bool>(context_.clientModel()->client().chat().openNotice(key));
    reload();
    if (here)
        openNoticeMessageWindow(key);
    else if (sent)
        awaited_.insert(key);
}

void MessagesWindowController::openNoticeMessageWindow(const std::string& roomKey) {
    if (!notice_)
        notice_ = new NoticeMessageWindowController(context_, this);
    notice_->showWindow(roomKey);
    notice_->show();
    notice_->raise();
    notice_->activateWindow();
}

} // namespace tc::gui
