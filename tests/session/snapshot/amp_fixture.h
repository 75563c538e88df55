#pragma once
// The hand-written login snapshot of tests/fixtures: readable text turned into the wire form.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace tc {

// Drops lines starting with "#" and every line break; <C>, <R> and <S> become 0x05, 0x06, 0x07.
inline std::string ampFromReadable(std::string_view readable) {
    std::string out;
    std::size_t start = 0;
    while (start < readable.size()) {
        std::size_t end = readable.find('\n', start);
        if (end == std::string_view::npos)
            end = readable.size();
        std::string_view line = readable.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() != '#')
            out += line;
        start = end + 1;
    }
    // One pass: large generated texts stay linear.
    std::string wire;
    wire.reserve(out.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '<' && i + 2 < out.size() && out[i + 2] == '>') {
            const char c = out[i + 1];
            const char byte = c == 'C' ? '\x05' : c == 'R' ? '\x06' : c == 'S' ? '\x07' : 0;
            if (byte) {
                wire += byte;
                i += 2;
                continue;
            }
        }
        wire += out[i];
    }
    out.swap(wire);
    return out;
}

inline std::string readAmpFixture() {
    // The test data root is tests/data; the fixtures sit beside it.
    const auto path = std::filesystem::path(TC_TEST_DATA) / "snapshot_amp.txt";
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return ampFromReadable(text.str());
}

} // namespace tc
