// The business object's incoming road. A receiving thread (stream, request socket, feed) frames,
// parses, opens envelopes, reads login snapshots and whatever a room reads off the main queue, and
// posts one task per message to the main queue; the main queue applies the messages of each thread
// in the order that thread received them: the session values first, then the room of the message's
// type.
#include "session/business/business_base.h"

#include "model/records/account_details.h"
#include "platform/log.h"
#include "session/business/message_labels.h"
#include "wire/envelope_key.h"
#include "wire/envelope_opener.h"
#include "wire/login_inputdata.h"
#include "wire/message_cracker.h"
#include "wire/separators.h"
#include "wire/stream_deframer.h"
#include "wire/wire_fields.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tc {

namespace msg = wire::msg;
namespace tag = wire::tag;

namespace {

std::int32_t clampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// The name and the size only: the values may hold a password or a key.
void traceInbound(const MessageBase& mb, std::size_t fields) {
    if (!platform::Log::enabled(platform::LogLevel::Debug))
        return;
    const std::int64_t type = mb.messageType();
    std::int64_t status = 0;
    if (type == msg::kExecutionReport || type == msg::kPositionReport)
        if (const std::string* s = mb.value(tag::kReportStatus))
            status = MessageCracker::integerValue(*s);
    const std::string_view label = inboundMessageLabel(type, status);
    if (label.empty())
        platform::Log::debug("incoming message type {} ({} fields)", type, fields);
    else
        platform::Log::debug("incoming {} (type {}, {} fields)", label, type, fields);
}

} // namespace

void BusinessBase::NewMessage(std::string_view frameText) {
    dispatch(frameText, 0);
}

void BusinessBase::ProcessMessage(std::string_view text) {
    processText(text, 0);
}

void BusinessBase::processFeedMessage(std::string_view text) {
    // The feed carries instrument status and nothing else: a relogin, a login completion or a login
    // elsewhere there would act on the stream's session from a socket that has no part in it.
    StreamDeframer deframer;
    deframer.feed(text, [this](std::string_view frame) {
        const std::int64_t type = MessageBase::typeOfFrame(frame);
        if (type != msg::kInstrumentStatus) {
            platform::Log::warning("message type {} dropped: the feed carries instrument status only", type);
            return;
        }
        dispatch(frame, 0);
    });
}

void BusinessBase::processText(std::string_view text, int depth) {
    // An envelope's content is whole frames; a tail without its frame end is dropped with the envelope.
    StreamDeframer deframer;
    deframer.feed(text, [this, depth](std::string_view frame) { dispatch(frame, depth); });
    if (deframer.pendingBytes() > 0)
        platform::Log::warning("unfinished frame of {} bytes dropped from an envelope",
                               deframer.pendingBytes());
}

void BusinessBase::dispatch(std::string_view frameText, int depth) {
    const std::size_t fields = MessageBase::fieldCount(frameText);
    if (fields > MessageBase::kMaxFieldsPerFrame) {
        platform::Log::error("message type {} of {} fields dropped: a message may have {} at most",
                             MessageBase::typeOfFrame(frameText), fields, MessageBase::kMaxFieldsPerFrame);
        return;
    }
    const std::int64_t type = MessageBase::typeOfFrame(frameText);
    if (type == 0) {
        platform::Log::warning("frame dropped: its first field is not a message type");
        return;
    }
    auto message = std::make_shared<InboundMessage>();
    message->arrivedAt = platform::Clock::currentTime();
    message->mb = std::make_shared<MessageBase>();
    message->room = rooms_.find(type);
    try {
        message->type = message->mb->loadFrame(frameText, message->room && message->room->readsFields);
        traceInbound(*message->mb, fields);
        readTags(frameText, *message);
        if (!readOnReceivingThread(*message, depth))
            return;
    } catch (const std::exception& e) {
        platform::Log::warning("message type {} dropped: {}", message->type, e.what());
        message->failed = true;
    } catch (...) {
        platform::Log::warning("message type {} dropped", message->type);
        message->failed = true;
    }
    // Stamped here, not when the main queue gets to it: a busy client must not read the server as silent.
    if (message->type == msg::kPingReply && !message->failed)
        pingReplyReceived_.store(message->arrivedAt.time_since_epoch().count(), std::memory_order_relaxed);
    postMain([this, message] { apply(*message); });
}

void BusinessBase::readTags(std::string_view frameText, InboundMessage& message) {
    StreamTags& t = message.tags;
    const std::vector<int>* roomTags = message.room ? &message.room->tags : nullptr;
    if (roomTags)
        message.roomValues.assign(roomTags->size(), std::nullopt);
    wire::FieldIterator it = wire::FieldIterator::overFrame(frameText);
    wire::Field f;
    while (it.next(f)) {
        if (!f.hasValue)
            continue;
        const std::string_view value = f.value; // copied only for the tags kept
        switch (f.tag) {
        case tag::kReferenceId:
            if (message.type == msg::kLoginSnapshot)
                t.referenceId = value;
            break;
        case tag::kRequestId:
        case tag::kOrderRequestId:
            t.requestNumber = clampToInt32(MessageCracker::integerValue(value));
            break;
        case tag::kTime:
            t.time = value;
            break;
        case tag::kSealedPayload:
            t.sealedPayload = value;
            break;
        case tag::kPayloadForm:
            t.payloadForm = value;
            break;
        case tag::kCompressedPayload:
            t.compressedField = f.text;
            break;
        default:
            break;
        }
        if (roomTags)
            for (std::size_t i = 0; i < roomTags->size(); ++i)
                if ((*roomTags)[i] == f.tag)
                    message.roomValues[i] = value;
    }
}

bool BusinessBase::readOnReceivingThread(InboundMessage& message, int depth) {
    const StreamTags& tags = message.tags;
    switch (message.type) {
    case msg::kEnvelope: {
        if (depth >= kMaxEnvelopeDepth) {
            platform::Log::warning("envelope nested too deep; dropped");
            return false;
        }
        const std::optional<std::string> plain = openEnvelope(tags.sealedPayload.value_or(""));
        if (plain) {
            processText(*plain, depth + 1);
        } else {
            platform::Log::warning("encrypted envelope did not open; dropped");
            // One unreadable reply does not end a login whose good replies may follow, but a server
            // that sealed it under another key says nothing readable after it: a short wait decides.
            if (streamLoginUnderWay_.load()) {
                unopenedLoginReply_.store(true);
                loginReplyAfterUnopened_.store(false);
                const std::uint64_t mark = ++unopenedReplyMark_;
                postMainAfter(unopenedReplyWait_, [this, mark] { unopenedReplyWaitOver(mark); });
            }
        }
        return false; // its messages are posted each in its turn; the envelope itself changes nothing
    }
    case msg::kCompressed: {
        if (depth >= kMaxEnvelopeDepth) {
            platform::Log::warning("compressed message nested too deep; dropped");
            return false;
        }
        const std::optional<std::string> plain = decompressedPayloadOfField(tags.compressedField);
        if (plain)
            processText(*plain, depth + 1);
        else
            platform::Log::warning("compressed message did not inflate; dropped");
        return false;
    }
    case msg::kLoginSnapshot: {
        loginReplyAfterUnopened_.store(true);
        const bool isAmp = tags.payloadForm && *tags.payloadForm == "AMP";
        std::optional<SessionModel> model = services_.snapshotLoader->load(tags.compressedField, isAmp);
        // A session without a single account is no session: whatever the server meant, it is no login.
        if (model && model->AccountDetailCollection.empty()) {
            platform::Log::error("login snapshot holds no account");
            model.reset();
        }
        std::shared_ptr<SessionModel> snapshot;
        if (model) {
            snapshot = std::make_shared<SessionModel>(std::move(*model));
            // The key switches here, so the next envelope on this thread opens with it. It comes from
            // this message's own reference id and server time, which the main queue takes over next.
            loginData_.setSecurityKey(GenerateNewEncryptionKey(
                loginData_.userName().value_or(""), loginData_.password().value_or(""),
                tags.referenceId.value_or(""), tags.time.value_or("")));
            loginRepliesUnderProductKey_.store(false);
        }
        message.applyRead = [this, snapshot] { handleLoginSnapshot(snapshot); };
        return true;
    }
    case msg::kLoginCompleted:
        loginReplyAfterUnopened_.store(true);
        streamLoginUnderWay_.store(false);
        return true;
    case msg::kLoginRefused: {
        loginReplyAfterUnopened_.store(true);
        streamLoginUnderWay_.store(false);
        std::shared_ptr<LoginInfoMessage> loginInfo;
        if (tags.payloadForm && *tags.payloadForm == "AMP") {
            if (std::optional<SessionModel> model =
                    services_.snapshotLoader->load(tags.compressedField, true))
                if (!model->loginInfoMessageCollection.empty())
                    loginInfo = model->loginInfoMessageCollection.begin()->second;
        }
        message.applyRead = [this, loginInfo] { handleLoginRefused(loginInfo); };
        return true;
    }
    default:
        if (message.room && message.room->read)
            message.applyRead = message.room->read(RoomMessage(*message.mb, *message.room, message.roomValues,
                                                               tags.compressedField, 0, message.arrivedAt));
        return true;
    }
}

std::optional<std::string> BusinessBase::openEnvelope(std::string_view sealed) const {
    // A login's replies come under the key its request used (the product key), the rest under the
    // session key; a server may seal either way, so the other key is tried too.
    const std::string product = envelopeKey(true);
    const std::string session = envelopeKey(false);
    const bool productFirst = loginRepliesUnderProductKey_.load();
    const std::string& first = productFirst ? product : session;
    const std::string& second = productFirst ? session : product;
    std::optional<std::string> plain = openEncryptedEnvelope(sealed, first);
    if (!plain && second != first)
        plain = openEncryptedEnvelope(sealed, second);
    return plain;
}

void BusinessBase::apply(InboundMessage& message) {
    // Replies read behind a refusal or an ended login belong to no session.
    if (loginOver_) {
        platform::Log::debug("message type {} dropped: the login has ended", message.type);
        return;
    }
    if (!message.failed) {
        applySessionValues(message.tags, message.type);
        // The login's reply sets the server's clock until the first ping reply: its login lines
        // are stamped with it.
        if (message.type == msg::kLoginSnapshot || message.type == msg::kLoginRefused)
            if (const std::optional<WallTime> time = wallTimeFromWire(message.tags.time.value_or("")))
                serverClock_ = ServerClockAnchor{*time, message.arrivedAt};
        try {
            if (message.applyRead)
                message.applyRead();
            else if (message.room && message.room->apply)
                message.room->apply(RoomMessage(*message.mb, *message.room, message.roomValues,
                                                message.tags.compressedField, Requestid_, message.arrivedAt));
        } catch (const std::exception& e) {
            platform::Log::warning("message type {} dropped: {}", message.type, e.what());
        } catch (...) {
            platform::Log::warning("message type {} dropped", message.type);
        }
    }
    if (message.room)
        markTables(message.room->tables, message.room->namesRows);
}

void BusinessBase::applySessionValues(const StreamTags& tags, std::int64_t type) {
    if (tags.requestNumber)
        Requestid_ = *tags.requestNumber;
    if (type == msg::kLoginSnapshot && tags.referenceId)
        Referenceid_ = *tags.referenceId;
}

} // namespace tc
