#pragma once
// The chat window: the contact tree (groups and their users, each with an online mark), the support
// queues, and the transcript of the open conversation with a text field and a send button. A typed
// text goes to the core as plain text (which sends it as RTF, in order, once the room exists); the
// transcript follows the open room as messages arrive; the core's banners announce messages of other
// conversations. The main window makes it once and keeps it; every opening and every close returns
// it to its empty state, where nothing can be typed. Each conversation keeps its own unsent text,
// which comes back when it is open again; a text that cannot be sent is refused with the reason and
// stays in the field. A new client (the same user signing in again) leaves the open conversation and
// the unsent texts as they are. Its toolbar opens the recent conversations.
#include "gui/app/sheet_controller.h"
#include "gui/chat/chat_window_rules.h"
#include "gui/models/record_table_model.h"
#include "interfaces/client.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class ChatWindowController;
class QueueRequestSheet;
} // namespace Ui

namespace tc::gui {

class GuiContext;
class RecentConversationWindowController;
class TranscriptView;

// The request to a support queue: a text ("Hi" to start with) sent with Request; Cancel returns the
// chat window to its empty state.
class QueueRequestSheet : public SheetController {
    Q_OBJECT
public:
    explicit QueueRequestSheet(GuiContext& context, QWidget* parent = nullptr);
    ~QueueRequestSheet() override;

    void onWindowLoad() override;
    QLineEdit* messageField() const;
    QPushButton* requestButton() const;

private:
    std::unique_ptr<Ui::QueueRequestSheet> ui_;
    GuiContext& context_;
    QPushButton* requestButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

class ChatWindowController : public QMainWindow {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit ChatWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~ChatWindowController() override;

    // Each opening: texts, then the empty state.
    void showWindow();
    // The empty state: no conversation, send disabled, nothing selected.
    void loadDefaults();

    // A contact chosen (user name and display name); empty names are a group heading.
    void userSelectedAtIndex(const std::string& userName, const std::string& displayName);
    // A support queue chosen by its id.
    void ChatSupportSelectedAtIndex(const std::string& queueId);
    // Sends the field's text to the open conversation; nothing for an empty field.
    void SendChatButtonClicked();
    // The recent conversations, made at the first press and kept.
    RecentConversationWindowController* RecentConversationButtonClicked();

    // The key of the open conversation (a user name or a queue id); empty when none.
    const std::string& openConversation() const { return userName_; }
    QTreeWidget* contactsOutlineView() const;
    QTableView* chatQueueTableView() const;
    TranscriptView* messageTableView() const;
    QLineEdit* messageTextView() const;
    QPushButton* sendButton() const;
    QueueRequestSheet* queueRequestSheet() const { return queueSheet_; }
    RecentConversationWindowController* recentConversations() const { return recent_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateLanguageStrings();
    void buildContactTree();
    void updateOnlineMarks();
    void reloadQueueTable();
    void reloadTranscript();
    void contactSelectionChanged();
    void queueSelectionChanged();
    void chatChanged(const interfaces::ChatChange& change);
    void deselectContacts();
    void deselectQueues();
    void loadRequestQueueMessageSheet();
    // Puts the open conversation's text aside and the draft of `to` into the field.
    void moveDraft(const std::string& to);
    void refuse(const QString& message);

    std::unique_ptr<Ui::ChatWindowController> ui_;
    GuiContext& context_;
    std::vector<ContactNode> tree_;
    std::string userName_;
    ChatDrafts drafts_;
    RecordTableModel<QueueRow>* queues_ = nullptr;
    QPointer<QueueRequestSheet> queueSheet_;
    RecentConversationWindowController* recent_ = nullptr;
};

} // namespace tc::gui
