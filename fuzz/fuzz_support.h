#pragma once
// Shared by the fuzz targets: log lines about refused input cost more than the input itself, so
// logging is off unless TC_LOG asks for it.
#include "platform/log.h"

#include <cstdlib>

namespace tc::fuzz_support {
inline const bool kLoggingSilenced = [] {
    if (!std::getenv("TC_LOG"))
        platform::Log::setLevel(platform::LogLevel::Off);
    return true;
}();
} // namespace tc::fuzz_support
