#pragma once
// What the chat windows show, worked out without widgets: the contact tree from the chat
// collections, the support-queue rows and what choosing one does, the transcript's lines (head and
// text, own or not) and the notice and recent-conversation cells.
#include "model/chat_collections.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

// A group heading with its contacts, or a contact.
struct ContactNode {
    std::string displayName; // the group's name or the contact's display name
    std::string userName;    // the contact's user name; empty for a group
    bool isGroup = false;
    bool online = false;
    std::vector<ContactNode> children; // a group's contacts
};

// The groups in the order of their ids, digit runs by value; under each, the contacts whose group id
// is the group's, in the order of their user names. A contact of no listed group is left out; a
// group without contacts is shown empty.
std::vector<ContactNode> buildContactTree(const chat::ChatCollections& chat);
// Each listed contact's online mark as the collections hold it now (off for a contact no longer
// there); true when any mark changed. The tree itself is not rebuilt.
bool updateOnlineMarks(std::vector<ContactNode>& groups, const chat::ChatCollections& chat);

enum class QueueMark { Available, Unavailable, Waiting };

struct QueueRow {
    std::string queueId;
    std::string name; // the queue's name; the caller shows its "waiting" text instead while waiting
    QueueMark mark = QueueMark::Unavailable;
};

// One row per support queue, in the order the collection holds them.
std::vector<QueueRow> queueRows(const chat::ChatCollections& chat);

// What choosing a queue does.
enum class QueueChoice {
    Ignore,   // it waits for acceptance: nothing happens
    Empty,    // unavailable: the window returns to its empty state
    Open,     // accepted before: its conversation opens
    AskFirst, // its conversation opens behind the request dialog
};
QueueChoice chooseQueue(const chat::ChatQueue& queue);

// One transcript row: "name[time]:" then a tab and the text; the head is coloured by whose it is.
struct TranscriptLine {
    std::string head;
    std::string text;
    bool own = false;
    // Said under the text: the user's own text waits on the server for the contact to sign in, or its
    // delivery was not confirmed.
    std::string note;
    std::string whole() const { return head + "\t" + text + (note.empty() ? "" : "\n" + note); }
};

// The head names the sender's display name (the user name when the server sent none) and the time
// as "dd/MM/yyyy hh:mm:ss a"; a missing or null time leaves the brackets empty. Own: the entry's
// sender is the signed-in user.
// `heldNote` is the note of an entry held for a signed-out contact, `unconfirmedNote` that of an own text
// the server had not confirmed when the line was lost.
TranscriptLine transcriptLine(const chat::ChatMessageEntry& entry, std::string_view ownUserName,
                              std::string_view heldNote = {}, std::string_view unconfirmedNote = {});

// A chat time as "MM/dd/yyyy HH:mm:ss", the server's clock as sent; "" when it has none.
std::string noticeTime(const std::optional<WallTime>& time);
// The other party of a recent conversation: its display name, else the sender's name.
std::string recentConversationName(const chat::ChatRoom& room);

// The unsent text of each conversation: a draft stays with the conversation it was written for and
// comes back when that conversation is open again.
class ChatDrafts {
public:
    // Leaving conversation `from` (none when empty) with `text` in the field, for conversation `to`:
    // keeps the text as the draft of `from` and answers the draft of `to`, which it gives up.
    std::string move(const std::string& from, std::string text, const std::string& to);
    void clear() { drafts_.clear(); }
    std::size_t size() const { return drafts_.size(); }

private:
    std::map<std::string, std::string> drafts_;
};

// The room under a key, or null.
std::shared_ptr<const chat::ChatRoom> roomOf(const chat::ChatCollections& chat, std::string_view key);

} // namespace tc::gui
