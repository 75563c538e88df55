// Arbitrary bytes as a string table: must never crash, and every kept entry obeys the format.
#include "platform/log.h"
#include "platform/string_table.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        platform::Log::setLevel(platform::LogLevel::Off);
        return true;
    }();
    (void)quiet;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::StringTable::ParseReport report;
    const auto table = platform::StringTable::parse(bytes, "fuzz", &report);
    if (table.size() > platform::StringTable::kMaxEntries)
        std::abort();
    for (const auto& [key, text] : table.entries()) {
        if (key.empty() || key.size() > platform::StringTable::kMaxKeyLength)
            std::abort();
        for (char c : key)
            if (c < '0' || c > '9')
                std::abort();
        if (text.size() > platform::StringTable::kMaxLineBytes || table.find(key) != &text)
            std::abort();
    }
    return 0;
}
