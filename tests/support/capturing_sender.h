#pragma once
// A message sender that keeps what the builders hand it, with keys of the test's own, and the
// opening of a sealed stream message back into its inner frame.
#include "wire/envelope_opener.h"
#include "wire/message_base.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace tc::testing_support {

class CapturingSender : public MessageSender {
public:
    void sendMessage(RequestMessage message) override {
        if (throwOnSend)
            throw std::runtime_error("transport gone");
        std::lock_guard lock(mutex);
        events.push_back("send");
        sent.push_back(std::move(message));
    }
    std::string envelopeKey(bool isInitialRequest) const override {
        if (throwOnKey)
            throw std::runtime_error("no key");
        return isInitialRequest ? productKey : sessionKey;
    }
    void pingSent() override { events.push_back("pingSent"); }

    // The inner frame of a sealed stream message, opened with the session key.
    std::string opened(const RequestMessage& r) const {
        EXPECT_FALSE(r.isZMQ);
        if (r.message.size() < 2)
            return {};
        MessageBase envelope;
        EXPECT_EQ(envelope.loadFrame(std::string_view(r.message).substr(1, r.message.size() - 2)), 76);
        const std::string* sealed = envelope.value(27);
        return sealed ? openEncryptedEnvelope(*sealed, sessionKey).value_or("") : "";
    }

    std::string productKey = "product-key-0123";
    std::string sessionKey = "session-key-4567";
    bool throwOnSend = false;
    bool throwOnKey = false;
    std::mutex mutex;
    std::vector<RequestMessage> sent;
    std::vector<std::string> events;
};

} // namespace tc::testing_support
