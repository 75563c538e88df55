#include "gui/chat/chat_window_controller.h"

#include "gui/app/common_alert.h"
#include "gui/app/escape_close.h"
#include "gui/app/gui_context.h"
#include "gui/app/images.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/window_front.h"
#include "gui/chat/chat_transcript_view.h"
#include "gui/chat/recent_conversation_window_controller.h"
#include "gui/controls/entry_refusal.h"
#include "gui/controls/text_entry_rules.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "ui_chat_window_controller.h"
#include "ui_queue_request_sheet.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>

namespace tc::gui {
namespace {

constexpr int kUserNameRole = Qt::UserRole + 1;

QIcon statusImage(bool online) {
    return image(online ? "network-status-online" : "network-status-offline");
}

} // namespace

// ---- the queue request

QueueRequestSheet::QueueRequestSheet(GuiContext& context, QWidget* parent)
    : SheetController(parent), ui_(std::make_unique<Ui::QueueRequestSheet>()), context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("QueueRequestSheet"));
    askBeforeDroppingTyped(context_.language());
    // Buttons of our own texts, not standard ones: a language change gives a standard button the
    // standard text back.
    requestButton_ = ui_->buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
    requestButton_->setDefault(true);
    cancelButton_ = ui_->buttons->addButton(QString(), QDialogButtonBox::RejectRole);
    // A text that cannot be sent keeps the sheet open and says why.
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, [this] {
        if (const auto refusal = firstTextRefusal(
                {{texts::kRequestMessage, ui_->messageField->text().toStdString(), kMaxChatTextLength}})) {
            CommonAlert::open(this, {context_.text(texts::kValidation),
                                     refusalWords(context_.language().selected(), *refusal),
                                     AlertSpec::Warning,
                                     {},
                                     QStringLiteral("chat")});
            return;
        }
        accept();
    });
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    bindLanguage(this, context_.language(), [this] {
        requestButton_->setText(context_.text(texts::kRequest));
        cancelButton_->setText(context_.text(texts::kCancel));
    });
}

QueueRequestSheet::~QueueRequestSheet() = default;

void QueueRequestSheet::onWindowLoad() {
    ui_->messageField->setText(context_.text(texts::kHi));
    ui_->messageField->selectAll();
    ui_->messageField->setFocus();
}

QLineEdit* QueueRequestSheet::messageField() const {
    return ui_->messageField;
}

QPushButton* QueueRequestSheet::requestButton() const {
    return requestButton_;
}

// ---- the chat window

ChatWindowController::ChatWindowController(GuiContext& context, QWidget* parent)
    : QMainWindow(parent, Qt::Window), ui_(std::make_unique<Ui::ChatWindowController>()), context_(context) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("ChatWindowController"));
    // Closing keeps the open conversation's unsent text with it: nothing typed is lost.
    EscapeClose::install(this, context_.language(), {}, [] { return false; });
    ui_->messageTableView->setThemes(context_.themes());
    ui_->mainSplitView->setStretchFactor(1, 1);
    // The support queues by id: the name (or the waiting text) beside the queue's mark.
    std::vector<RecordTableModel<QueueRow>::Column> queueColumns{
        {texts::kSupport,
         [this](const QueueRow& row) {
             return row.mark == QueueMark::Waiting ? context_.text(texts::kWaitingForAcceptance)
                                                   : qt(row.name);
         },
         {},
         [](const QueueRow& row, int role) -> QVariant {
             if (role != Qt::DecorationRole)
                 return {};
             return image(row.mark == QueueMark::Waiting     ? "network-status-away"
                          : row.mark == QueueMark::Available ? "network-status-online"
                                                             : "network-status-offline");
         }}};
    queues_ = new RecordTableModel<QueueRow>(
        std::move(queueColumns), [](const QueueRow& row) { return row.queueId; },
        [&context = context_](std::string_view key) { return context.text(key); }, this);
    ui_->chatQueueTableView->setModel(queues_);
    ui_->chatQueueTableView->horizontalHeader()->setHighlightSections(false);
    ui_->chatQueueTableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    connect(ui_->contactsOutlineView, &QTreeWidget::itemSelectionChanged, this,
            &ChatWindowController::contactSelectionChanged);
    connect(ui_->chatQueueTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ChatWindowController::queueSelectionChanged);
    connect(ui_->sendButton, &QPushButton::clicked, this, &ChatWindowController::SendChatButtonClicked);
    connect(ui_->messageTextView, &QLineEdit::returnPressed, this,
            &ChatWindowController::SendChatButtonClicked);
    connect(ui_->rcToolbarItem, &QAction::triggered, this, [this] { RecentConversationButtonClicked(); });

    ClientModel& session = *context_.clientModel();
    connect(&session, &ClientModel::chatChanged, this, &ChatWindowController::chatChanged);
    // The transcript lets go of the old client's room. The open conversation and the unsent texts
    // stay: the same user signing in again finds them (and their transcripts, which the new session
    // takes over); another user's sign-in closes this window.
    connect(&session, &ClientModel::clientAboutToBeReplaced, this,
            [this] { ui_->messageTableView->transcript()->setRoom(nullptr, {}); });
    connect(&session, &ClientModel::clientReplaced, this, [this] {
        buildContactTree();
        reloadQueueTable();
        if (userName_.empty()) {
            loadDefaults();
            return;
        }
        context_.clientModel()->client().chat().setOpenConversation(userName_);
        reloadTranscript();
    });
    bindLanguage(this, context_.language(), [this] { updateLanguageStrings(); });

    buildContactTree();
    reloadQueueTable();
    loadDefaults();
}

ChatWindowController::~ChatWindowController() = default;

QTreeWidget* ChatWindowController::contactsOutlineView() const {
    return ui_->contactsOutlineView;
}
QTableView* ChatWindowController::chatQueueTableView() const {
    return ui_->chatQueueTableView;
}
TranscriptView* ChatWindowController::messageTableView() const {
    return ui_->messageTableView;
}
QLineEdit* ChatWindowController::messageTextView() const {
    return ui_->messageTextView;
}
QPushButton* ChatWindowController::sendButton() const {
    return ui_->sendButton;
}

void ChatWindowController::showWindow() {
    updateLanguageStrings();
    loadDefaults();
}

void ChatWindowController::updateLanguageStrings() {
    ui_->contactsOutlineView->setHeaderLabels({context_.text(texts::kContacts)});
    ui_->contactsOutlineView->setAccessibleName(context_.text(texts::kContacts));
    queues_->retitle();
    ui_->chatQueueTableView->setAccessibleName(context_.text(texts::kSupport));
    ui_->messageTableView->setAccessibleName(context_.text(texts::kConversation));
    ui_->messageTextView->setAccessibleName(context_.text(texts::kTypeAMessage));
    ui_->messageTextView->setPlaceholderText(context_.text(texts::kTypeAMessage));
    ui_->rcToolbarItem->setIconText(context_.text(texts::kRecentConversations));
    ui_->messageTableView->transcript()->setNotes(
        context_.text(texts::kHeldForSignedOutContact).toStdString(),
        context_.text(texts::kChatTextNotConfirmed).toStdString());
    if (userName_.empty())
        setWindowTitle(context_.text(texts::kChat));
    reloadQueueTable();
}

void ChatWindowController::loadDefaults() {
    moveDraft({});
    userName_.clear();
    if (context_.clientModel())
        context_.clientModel()->client().chat().setOpenConversation({});
    setWindowTitle(context_.text(texts::kChat));
    ui_->sendButton->setEnabled(false);
    // No text without a conversation to go to.
    ui_->messageTextView->setEnabled(false);
    if (QWidget* focused = focusWidget())
        focused->clearFocus();
    reloadTranscript();
    deselectContacts();
    deselectQueues();
}

void ChatWindowController::closeEvent(QCloseEvent* event) {
    loadDefaults();
    QMainWindow::closeEvent(event);
}

// ---- contacts

void ChatWindowController::buildContactTree() {
    tree_ = ::tc::gui::buildContactTree(context_.clientModel()->client().chat().collections());
    QTreeWidget* view = ui_->contactsOutlineView;
    QSignalBlocker block(view);
    const std::string chosen = userName_;
    view->clear();
    QFont heading = view->font();
    heading.setBold(true);
    for (const ContactNode& group : tree_) {
        auto* groupItem = new QTreeWidgetItem(view, {qt(group.displayName)});
        groupItem->setFont(0, heading);
        for (const ContactNode& contact : group.children) {
            auto* item = new QTreeWidgetItem(groupItem, {qt(contact.displayName)});
            item->setData(0, kUserNameRole, qt(contact.userName));
            item->setIcon(0, statusImage(contact.online));
            if (!chosen.empty() && contact.userName == chosen)
                item->setSelected(true);
        }
    }
    view->expandAll();
}

void ChatWindowController::updateOnlineMarks() {
    if (!::tc::gui::updateOnlineMarks(tree_, context_.clientModel()->client().chat().collections()))
        return;
    QTreeWidget* view = ui_->contactsOutlineView;
    for (int g = 0; g < view->topLevelItemCount() && static_cast<std::size_t>(g) < tree_.size(); ++g) {
        QTreeWidgetItem* groupItem = view->topLevelItem(g);
        const auto& contacts = tree_[static_cast<std::size_t>(g)].children;
        for (int c = 0; c < groupItem->childCount() && static_cast<std::size_t>(c) < contacts.size(); ++c)
            groupItem->child(c)->setIcon(0, statusImage(contacts[static_cast<std::size_t>(c)].online));
    }
}

void ChatWindowController::contactSelectionChanged() {
    const QList<QTreeWidgetItem*> selected = ui_->contactsOutlineView->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* item = selected.front();
    // The first row (the first group's heading) opens nothing and empties nothing.
    if (item == ui_->contactsOutlineView->topLevelItem(0))
        return;
    const QString userName = item->data(0, kUserNameRole).toString();
    if (userName.isEmpty()) {
        userSelectedAtIndex({}, {});
        return;
    }
    userSelectedAtIndex(userName.toStdString(), item->text(0).toStdString());
}

void ChatWindowController::userSelectedAtIndex(const std::string& userName, const std::string& displayName) {
    deselectQueues();
    if (userName.empty()) {
        loadDefaults();
        return;
    }
    interfaces::Chat& chat = context_.clientModel()->client().chat();
    ui_->sendButton->setEnabled(true);
    ui_->messageTextView->setEnabled(true);
    moveDraft(userName);
    userName_ = userName;
    chat.setOpenConversation(userName);
    setWindowTitle(qt(displayName.empty() ? userName : displayName));
    chat.createChatRoom(userName);
    reloadTranscript();
    reloadQueueTable();
}

void ChatWindowController::deselectContacts() {
    QSignalBlocker block(ui_->contactsOutlineView);
    ui_->contactsOutlineView->clearSelection();
}

// ---- support queues

void ChatWindowController::reloadQueueTable() {
    QTableView* table = ui_->chatQueueTableView;
    QSignalBlocker block(table->selectionModel());
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    const std::string chosen = selected.isEmpty() ? std::string() : queues_->idAt(selected.front().row());
    queues_->setRecords(queueRows(context_.clientModel()->client().chat().collections()));
    // Waiting texts in the current language.
    queues_->refreshAll();
    if (const int row = chosen.empty() ? -1 : queues_->rowOf(chosen); row >= 0)
        table->selectRow(row);
}

void ChatWindowController::queueSelectionChanged() {
    const QModelIndexList selected = ui_->chatQueueTableView->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const std::string queueId = queues_->idAt(selected.front().row());
    const auto* queue =
        context_.clientModel()->client().chat().collections().ChatQueueCollection.get(queueId);
    // A queue waiting for acceptance cannot be opened.
    if (queue && *queue && chooseQueue(**queue) == QueueChoice::Ignore)
        return;
    ChatSupportSelectedAtIndex(queueId);
}

void ChatWindowController::ChatSupportSelectedAtIndex(const std::string& queueId) {
    deselectContacts();
    interfaces::Chat& chat = context_.clientModel()->client().chat();
    const auto* held = chat.collections().ChatQueueCollection.get(queueId);
    if (!held || !*held) {
        loadDefaults();
        return;
    }
    const chat::ChatQueue& queue = **held;
    const QueueChoice choice = chooseQueue(queue);
    if (choice == QueueChoice::Ignore)
        return;
    moveDraft(queueId);
    userName_ = queueId;
    chat.setOpenConversation(queue.roomUserName);
    setWindowTitle(qt(queue.QueueName));
    reloadTranscript();
    ui_->sendButton->setEnabled(false);
    if (choice == QueueChoice::Empty) {
        loadDefaults();
        return;
    }
    ui_->sendButton->setEnabled(true);
    ui_->messageTextView->setEnabled(true);
    if (choice == QueueChoice::AskFirst)
        loadRequestQueueMessageSheet();
}

void ChatWindowController::loadRequestQueueMessageSheet() {
    if (!queueSheet_) {
        queueSheet_ = new QueueRequestSheet(context_, this);
        connect(queueSheet_, &QDialog::accepted, this, [this] {
            if (userName_.empty())
                return;
            const std::string text = queueSheet_->messageField()->text().toStdString();
            if (const auto asked = context_.clientModel()->client().chat().requestChatQueue(userName_, text);
                !asked)
                refuse(qt(asked.error));
        });
        connect(queueSheet_, &QDialog::rejected, this, &ChatWindowController::loadDefaults);
    }
    queueSheet_->openOn(this);
}

void ChatWindowController::deselectQueues() {
    QSignalBlocker block(ui_->chatQueueTableView->selectionModel());
    ui_->chatQueueTableView->clearSelection();
}

// ---- the conversation

void ChatWindowController::SendChatButtonClicked() {
    const QString text = ui_->messageTextView->text();
    if (text.isEmpty() || userName_.empty() || !ui_->sendButton->isEnabled())
        return;
    // A refused text stays in the field, so nothing typed is lost, and the window says why.
    const std::string typed = text.toStdString();
    if (const auto refusal = firstTextRefusal({{texts::kMessage, typed, kMaxChatTextLength}})) {
        refuse(refusalWords(context_.language().selected(), *refusal));
        return;
    }
    if (const auto sent = context_.clientModel()->client().chat().sendChat(userName_, typed); !sent) {
        refuse(qt(sent.error));
        return;
    }
    ui_->messageTextView->clear();
    reloadTranscript();
}

void ChatWindowController::refuse(const QString& message) {
    CommonAlert::open(
        this, {context_.text(texts::kValidation), message, AlertSpec::Warning, {}, QStringLiteral("chat")});
}

void ChatWindowController::moveDraft(const std::string& to) {
    ui_->messageTextView->setText(
        qt(drafts_.move(userName_, ui_->messageTextView->text().toStdString(), to)));
}

void ChatWindowController::reloadTranscript() {
    TranscriptModel* model = ui_->messageTableView->transcript();
    if (userName_.empty() || !context_.clientModel()) {
        model->setRoom(nullptr, {});
        return;
    }
    interfaces::Client& client = context_.clientModel()->client();
    model->setRoom(roomOf(client.chat().collections(), userName_), client.userName());
}

void ChatWindowController::chatChanged(const interfaces::ChatChange& change) {
    using Kind = interfaces::ChatChange::Kind;
    switch (change.kind) {
    case Kind::Contacts:
        // Contacts that come after the window was made are listed too.
        buildContactTree();
        reloadQueueTable();
        break;
    case Kind::Status:
        updateOnlineMarks();
        break;
    case Kind::Queue:
        reloadQueueTable();
        break;
    case Kind::RoomReady:
    case Kind::Message:
    case Kind::Transcript:
    case Kind::Recent:
        reloadTranscript();
        break;
    case Kind::Rewritten:
        // Rows already shown changed, or came between them.
        reloadTranscript();
        ui_->messageTableView->transcript()->reread();
        break;
    }
}

RecentConversationWindowController* ChatWindowController::RecentConversationButtonClicked() {
    return showKeptWindow(recent_, context_, this, &RecentConversationWindowController::showWindow);
}

} // namespace tc::gui
