// Outgoing message speed: a new order with realistic values composed into its frame, and built
// through BuildMessage into its sealed envelope.
#include "wire/message_builders.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tc;

void fillNewOrder(MessageBase& m) {
    m.setMessageType(60);
    m.setNewOrderRequestType(0);
    auto& d = m.messageDataDictionary();
    d.clear();
    m.setValue(10, 60);
    m.setValue(34, "100234");
    m.setValue(23, "jdoe");
    m.setValue(33, "512");
    m.setValue(19, "REF77");
    m.setValue(12, "EURUSD");
    m.setValue(32, "29");
    m.setValue(117, "3");
    m.setValue(37, "1.00");
    m.setValue(38, "1.08512");
    m.setValue(39, "1.09000");
    m.setValue(40, "1.08000");
    m.setValue(90, "0");
    m.setValue(36, "45");
    m.setValue(77, "-1");
    m.setValue(24, "0");
    m.setValue(43, "925");
    m.setValue(56, "1.08510");
    m.setValue(54, "1.08512");
    m.setValue(61, "1.08511");
    m.setValue(60, "1.08730");
    m.setValue(62, "1.08201");
    m.setValue(67, "20240315093000");
    m.setValue(78, "20240315093001");
}

void BM_ComposeNewOrder(benchmark::State& state) {
    MessageBase m;
    fillNewOrder(m);
    std::size_t bytes = 0;
    for (auto _ : state) {
        ComposedMessage c = composeMessage(m);
        bytes += c.framed.size();
        benchmark::DoNotOptimize(c.framed.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ComposeNewOrder);

// Filling the dictionary is part of every real send, so it is measured beside the composing.
void BM_FillAndComposeNewOrder(benchmark::State& state) {
    MessageBase m;
    for (auto _ : state) {
        fillNewOrder(m);
        ComposedMessage c = composeMessage(m);
        benchmark::DoNotOptimize(c.framed.data());
    }
}
BENCHMARK(BM_FillAndComposeNewOrder);

// Counts what it is handed; the key is a realistic session key length.
class CountingSender : public MessageSender {
public:
    void sendMessage(RequestMessage message) override {
        bytes += message.message.size();
        benchmark::DoNotOptimize(message.message.data());
    }
    std::string envelopeKey(bool) const override { return "3f9a1c77e2b04d5e8a6f0c2b9d1e4a73"; }
    std::size_t bytes = 0;
};

// Fill, compose, encrypt, Base64 and frame the envelope: the whole cost of sending an order.
void BM_BuildAndSealNewOrder(benchmark::State& state) {
    CountingSender sender;
    MessageBase m;
    m.setSender(&sender);
    for (auto _ : state) {
        fillNewOrder(m);
        m.BuildMessage();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(sender.bytes));
}
BENCHMARK(BM_BuildAndSealNewOrder);

} // namespace
