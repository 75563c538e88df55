#pragma once
// The tag=value message of the trading protocol, in both directions: the data model, the frame writer
// and the field reader. Outgoing builders live beside it in their own source file.
#include "wire/request_message.h"
#include "wire/wire_fields.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc {

// Where built messages go: the business object implements it. Stream messages arrive already
// wrapped in their encrypted envelope; request-socket messages travel plain.
class MessageSender {
public:
    virtual ~MessageSender() = default;
    virtual void sendMessage(RequestMessage message) = 0;
    // The envelope key: the configured product key for the initial requests (login, demo
    // registration), the current session key for everything else.
    virtual std::string envelopeKey(bool isInitialRequest) const = 0;
    // Called by the ping builder once the ping has been handed over.
    virtual void pingSent() {}
};

class MessageBase {
public:
    // Tag -> the value text as it goes on (or came off) the wire. Ordered, so dumps and tests read in
    // tag order; builders write in their own order anyway.
    using Dictionary = std::map<int, std::string>;

    // Most fields one incoming message may have; the longest real one (a contact list, one field per
    // contact) stays far below. A frame of bare separators must not become millions of strings.
    static constexpr std::size_t kMaxFieldsPerFrame = 65'536;

    MessageBase() = default;

    std::int64_t messageType() const noexcept { return messageType_; }
    void setMessageType(std::int64_t v) noexcept { messageType_ = v; }
    int newOrderRequestType() const noexcept { return newOrderRequestType_; }
    void setNewOrderRequestType(int v) noexcept { newOrderRequestType_ = v; }
    int editOrderRequestType() const noexcept { return editOrderRequestType_; }
    void setEditOrderRequestType(int v) noexcept { editOrderRequestType_ = v; }
    int dsRequestType() const noexcept { return dsRequestType_; }
    void setDsRequestType(int v) noexcept { dsRequestType_ = v; }
    std::int64_t messageTagValue() const noexcept { return messageTagValue_; }
    void setMessageTagValue(std::int64_t v) noexcept { messageTagValue_ = v; }
    std::int64_t messageTagKey() const noexcept { return messageTagKey_; }
    void setMessageTagKey(std::int64_t v) noexcept { messageTagKey_ = v; }
    std::uint64_t messageLength() const noexcept { return messageLength_; }
    void setMessageLength(std::uint64_t v) noexcept { messageLength_ = v; }

    Dictionary& messageDataDictionary() noexcept { return messageDataDictionary_; }
    const Dictionary& messageDataDictionary() const noexcept { return messageDataDictionary_; }
    void setMessageDataDictionary(Dictionary d) { messageDataDictionary_ = std::move(d); }

    const std::vector<std::string>& messageArray() const noexcept { return messageArray_; }
    void setMessageArray(std::vector<std::string> fields) { messageArray_ = std::move(fields); }

    // Dictionary helpers: numbers are stored as their plain decimal text.
    void setValue(int tag, std::string_view text) {
        messageDataDictionary_.insert_or_assign(tag, std::string(text));
    }
    void setValue(int tag, std::int64_t number);
    // Starts a request of `type` in this builder: the type set, earlier fields gone, tag 10 written.
    void startRequest(std::int64_t type);
    const std::string* value(int tag) const noexcept;

    // The sender this message is built for; not owned, must outlive the build.
    void setSender(MessageSender* sender) noexcept { sender_ = sender; }
    MessageSender* sender() const noexcept { return sender_; }

    // Builds the message described by the type, sub-types and dictionary, hands it to the sender
    // (a request-socket message carrying `requestSequence`), then empties the dictionary (type and
    // sub-types keep their values). True when the message went out; a refusal is logged.
    bool BuildMessage(std::uint64_t requestSequence = 0);
    // Wraps a framed stream message in the encrypted type-76 envelope and hands it to the sender.
    void EncryptMessage(std::string_view framedMessage, bool isInitialRequest, bool toZMQ);

    // Field reader: fills the dictionary from the field strings (length element already removed).
    // Later occurrences of a tag win; reading stops at the first piece without "<tag>=".
    void setMessage(const std::vector<std::string>& fields);
    // The same straight from a body (fields ended by 0x03), without building the field strings.
    void setMessageFromBody(std::string_view body);

    // The whole incoming sequence for one de-framed text (length, 0x03, body): type from the first
    // field, messageArray (only with keepFields: the field strings are one copy each), dictionary
    // emptied and read. Returns the type.
    std::int64_t loadFrame(std::string_view frameText, bool keepFields = true);

    // Most digits a message type may have.
    static constexpr std::size_t kMaxTypeDigits = 9;
    // The type of a de-framed text: its first field must be tag 10 and digits only ("10=18"); 0 for
    // anything else (the text is then no message).
    static std::int64_t typeOfFrame(std::string_view frameText) noexcept;
    // How many fields the text has, counted without cutting it.
    static std::size_t fieldCount(std::string_view frameText) noexcept;

    // Field strings of a de-framed text: split at 0x03 with the length piece removed.
    static std::vector<std::string> fieldsOfFrame(std::string_view frameText);

    // Frame writer: 0x01, body length in UTF-16 code units, 0x03, body, 0x02.
    static std::string frame(std::string_view body);
    static void appendFrame(std::string& out, std::string_view body);
    // Body length as the frame counts it.
    static std::uint64_t frameLength(std::string_view body) noexcept;

private:
    std::uint64_t messageLength_ = 0;
    int newOrderRequestType_ = 0;
    int editOrderRequestType_ = 0;
    int dsRequestType_ = 0;
    std::int64_t messageType_ = 0;
    std::int64_t messageTagValue_ = 0;
    std::int64_t messageTagKey_ = 0;
    Dictionary messageDataDictionary_;
    std::vector<std::string> messageArray_;
    MessageSender* sender_ = nullptr;
};

} // namespace tc
