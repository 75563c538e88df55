// The encrypted type-76 envelope around every stream message.
#include "platform/base64.h"
#include "platform/crypto.h"
#include "platform/message_cipher.h"
#include "wire/message_base.h"
#include "wire/separators.h"
#include "wire/wire_names.h"

#include <string>

namespace tc {

void MessageBase::EncryptMessage(std::string_view framedMessage, bool isInitialRequest, bool toZMQ) {
    MessageSender* const target = sender();
    if (target == nullptr)
        return;
    try {
        // The sender picks the key: the product key for requests sent before login has completed,
        // so a second login after a lost stream is not sealed with the previous session's key.
        const std::string key = target->envelopeKey(isInitialRequest);
        const auto sealed =
            platform::Crypto::transformData(platform::asBytes(framedMessage), platform::Crypto::kAlgorithmAES,
                                            platform::Crypto::kEncrypt, key);
        if (!sealed)
            return;
        const auto text = platform::Base64::encodeBase64WithData(*sealed);
        if (!text)
            return;

        std::string body;
        body.reserve(text->size() + 40);
        const auto field = [&body](int tag, std::string_view value) {
            body += std::to_string(tag);
            body += '=';
            body += value;
            body += wire::kFieldEnd;
        };
        field(wire::tag::kMessageType, std::to_string(wire::msg::kEnvelope));
        field(wire::tag::kSealedPayload, *text);
        if (isInitialRequest) {
            field(wire::tag::kInitialEnvelope, "2");
            field(wire::tag::kQualifier, "2");
        }
        setMessageLength(frameLength(body));

        RequestMessage message;
        message.message = frame(body);
        message.isZMQ = toZMQ;
        target->sendMessage(std::move(message));
    } catch (...) {
        // A request that cannot be sealed is dropped; the caller has nothing to recover.
    }
}

} // namespace tc
