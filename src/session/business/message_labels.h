#pragma once
// The names under which the dispatcher traces incoming messages. An execution report (type 62) and a
// position report (type 67) are named by their status (tag 73).
#include <cstdint>
#include <string_view>

namespace tc {

// Empty when the type, or the status of a report, has no name.
std::string_view inboundMessageLabel(std::int64_t type, std::int64_t status = 0);

} // namespace tc
