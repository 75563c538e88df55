#pragma once
// What an order check or request came to: passed (for a request: handed to the server), or refused
// here with the language key of the reason, the reason as shown and the order built, when one was.
// The caller gets it back; nothing else is told of a refusal.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace tc {

class Order;

struct [[nodiscard]] OrderAnswer {
    bool passed = false;
    std::string key;
    std::string text;
    std::shared_ptr<Order> order;
    // A request handed to the server: its number in the list of requests waiting for an answer (0
    // for a check, a refusal, or a request not followed there).
    std::uint64_t request = 0;

    static OrderAnswer ok() { return {true, {}, {}, nullptr}; }
    static OrderAnswer refused(std::string key, std::string text, std::shared_ptr<Order> order = nullptr) {
        return {false, std::move(key), std::move(text), std::move(order)};
    }
    explicit operator bool() const noexcept { return passed; }
};

} // namespace tc
