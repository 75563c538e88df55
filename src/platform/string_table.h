#pragma once
// Per-language string tables shipped in "<root>/<language>.lproj/Localizable.txt".
//
// File format: UTF-8 text (an optional byte-order mark is skipped), one entry per line `KEY<TAB>TEXT`,
// LF or CRLF line ends; KEY is 1 to 16 ASCII decimal digits; TEXT is everything after the first tab,
// may be empty, and knows the escapes \n \t \\ (any other backslash sequence makes the line malformed);
// blank lines and lines whose first non-blank character is '#' are ignored. A malformed line (no tab,
// bad key, bad escape, invalid UTF-8, a control character other than tab) is skipped with a warning
// naming the file and line. When a key repeats, the last entry wins (and a warning is logged).
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {

class StringTable {
public:
    static constexpr std::string_view kFileName = "Localizable.txt";
    static constexpr std::size_t kMaxFileBytes = 4u << 20;
    static constexpr std::size_t kMaxLineBytes = 16u << 10;
    static constexpr std::size_t kMaxKeyLength = 16;
    static constexpr std::size_t kMaxEntries = 100000;
    // Beyond this many, problems of one file are counted but no longer logged one by one.
    static constexpr std::size_t kMaxWarningsPerFile = 20;

    struct ParseReport {
        std::vector<std::size_t> malformedLines; // 1-based line numbers, in file order
        std::vector<std::size_t> duplicateLines; // lines whose key an earlier line already had
        bool entryCapReached = false;            // entries past kMaxEntries were dropped
    };

    StringTable() = default;

    // `origin` names the source in warnings (usually the file path).
    static StringTable parse(std::string_view bytes, std::string_view origin, ParseReport* report = nullptr);
    // Reads and parses a file. nullopt (with an error logged) when it cannot be read or exceeds
    // kMaxFileBytes.
    static std::optional<StringTable> load(const std::filesystem::path& file, ParseReport* report = nullptr);

    // The text of a key, or nullptr when the table has no entry for it.
    const std::string* find(std::string_view key) const;
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const std::map<std::string, std::string, std::less<>>& entries() const { return entries_; }

private:
    std::map<std::string, std::string, std::less<>> entries_;
};

// Process-wide cache of the tables of localisation folders, safe to use from any thread.
class StringTableCache {
public:
    // The table of "<folder>/Localizable.txt", read on first use. A missing, unreadable or oversized
    // file gives an empty table (logged once), so every key reads as itself.
    static std::shared_ptr<const StringTable> tableForFolder(const std::filesystem::path& folder);
    // The table of the bundle's "<name>.lproj", null when the bundle has no such folder. The folder
    // is looked for once per resources root, so a text looked up for every cell asks no file system.
    static std::shared_ptr<const StringTable> tableForLocalization(std::string_view name);
    // Forgets every table; tests that rewrite tables call it.
    static void clear();
};

} // namespace tc::platform
