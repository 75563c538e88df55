#pragma once
// Wire texts written readably in tests. The protocol's control bytes appear as tags: <B> 0x01 (frame
// start), <E> 0x02 (frame end), <F> 0x03 (field end), <C> 0x05 (field of a record), <R> 0x06 (record
// end), <S> 0x07 (section end). Golden texts kept in tests/fixtures use the same tags.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace tc::testing_support {

inline std::string wireText(std::string_view readable) {
    std::string out;
    out.reserve(readable.size());
    for (std::size_t i = 0; i < readable.size(); ++i) {
        if (readable[i] == '<' && i + 2 < readable.size() && readable[i + 2] == '>') {
            const char c = readable[i + 1];
            const char byte = c == 'B'   ? '\x01'
                              : c == 'E' ? '\x02'
                              : c == 'F' ? '\x03'
                              : c == 'C' ? '\x05'
                              : c == 'R' ? '\x06'
                              : c == 'S' ? '\x07'
                                         : 0;
            if (byte) {
                out += byte;
                i += 2;
                continue;
            }
        }
        out += readable[i];
    }
    return out;
}

// A message body from "tag=value|tag=value": each field ended by 0x03, the values read by wireText.
inline std::string body(std::string_view fields) {
    std::string out;
    while (!fields.empty()) {
        const std::size_t bar = fields.find('|');
        out += wireText(fields.substr(0, bar));
        out += '\x03';
        if (bar == std::string_view::npos)
            break;
        fields.remove_prefix(bar + 1);
    }
    return out;
}

// The frame of an ASCII body: its byte count is its length.
inline std::string asciiFrame(std::string_view b) {
    return "\x01" + std::to_string(b.size()) + "\x03" + std::string(b) + "\x02";
}

// The whole text of a file under tests/fixtures.
inline std::string fixtureText(const std::filesystem::path& name) {
    std::ifstream in(std::filesystem::path(TC_TEST_DATA) / name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A readable wire fixture: lines starting with "#" and every line break dropped, the tags read.
inline std::string readableWire(std::string_view readable) {
    std::string kept;
    std::size_t start = 0;
    while (start < readable.size()) {
        std::size_t end = readable.find('\n', start);
        if (end == std::string_view::npos)
            end = readable.size();
        std::string_view line = readable.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() != '#')
            kept += line;
        start = end + 1;
    }
    return wireText(kept);
}

// The login snapshot fixture in its AMP form, as the wire carries it.
inline std::string ampSnapshotFixture() {
    return readableWire(fixtureText("snapshot_amp.txt"));
}

} // namespace tc::testing_support
