#pragma once
// Builds server record texts for tests: fields joined by 0x05.
#include <initializer_list>
#include <string>

namespace tc {

inline std::string recordText(std::initializer_list<std::string> fields) {
    std::string out;
    bool first = true;
    for (const auto& f : fields) {
        if (!first)
            out += '\x05';
        out += f;
        first = false;
    }
    return out;
}

} // namespace tc
