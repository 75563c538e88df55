#pragma once
// What every part of the seam shares: the answer of a command and the id of a request whose reply
// comes later.
#include <cstdint>
#include <string>

namespace interfaces {

// A data-service or chart request: an id unique within the client, which its reply or failure names;
// 0 when nothing was sent.
using RequestId = std::uint64_t;

// What a command came to: done (handed to the server, or done here), or refused here with the reason
// in words; nothing was sent then.
struct CommandResult {
    bool ok = false;
    std::string error;
    explicit operator bool() const { return ok; }
    static CommandResult done() { return {true, {}}; }
    static CommandResult refused(std::string why) { return {false, std::move(why)}; }
};

// A data-service or chart request that will get no usable reply.
struct RequestFailure {
    RequestId id = 0;
    std::string procedure; // the data-service procedure; empty for a chart request
    std::string reason;
};

} // namespace interfaces
