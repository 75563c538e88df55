#include "platform/string_table.h"

#include "platform/bundle.h"
#include "platform/utf8.h"

#include "platform/log.h"

#include <fstream>
#include <mutex>
#include <system_error>
#include <utility>

namespace tc::platform {
namespace {

bool isBlank(std::string_view line) {
    for (char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

bool isComment(std::string_view line) {
    for (char c : line) {
        if (c == ' ' || c == '\t')
            continue;
        return c == '#';
    }
    return false;
}

bool isValidKey(std::string_view key) {
    if (key.empty() || key.size() > StringTable::kMaxKeyLength)
        return false;
    for (char c : key)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Decodes TEXT; the reason is set when the text is malformed.
std::optional<std::string> decodeText(std::string_view raw, const char*& reason) {
    for (char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            reason = "control character in text";
            return std::nullopt;
        }
    }
    if (!isValidUtf8(raw)) {
        reason = "invalid UTF-8";
        return std::nullopt;
    }
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out += raw[i];
            continue;
        }
        if (i + 1 == raw.size()) {
            reason = "backslash at end of line";
            return std::nullopt;
        }
        switch (raw[++i]) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            reason = "unknown escape";
            return std::nullopt;
        }
    }
    return out;
}

// A file's problems are bounded per file, so they are written past the log's limit per call site:
// that limit is shared by every file read in the same second (the language tables at start), and a
// later file's problems would go untold behind an earlier file's.
template <typename... Args>
void tellProblem(fmt::format_string<Args...> f, Args&&... args) {
    if (Log::enabled(LogLevel::Warning))
        Log::write(LogLevel::Warning, fmt::format(f, std::forward<Args>(args)...));
}

class ProblemLog {
public:
    explicit ProblemLog(std::string_view origin) : origin_(origin) {}
    ~ProblemLog() {
        if (count_ > StringTable::kMaxWarningsPerFile)
            tellProblem("string table {}: {} more problems not shown", origin_,
                        count_ - StringTable::kMaxWarningsPerFile);
    }
    void warn(std::size_t line, std::string_view reason) {
        if (++count_ <= StringTable::kMaxWarningsPerFile)
            tellProblem("string table {}: line {}: {}", origin_, line, reason);
    }

private:
    std::string_view origin_;
    std::size_t count_ = 0;
};

} // namespace

StringTable StringTable::parse(std::string_view bytes, std::string_view origin, ParseReport* report) {
    StringTable table;
    ProblemLog problems(origin);
    std::map<std::string, std::size_t, std::less<>> firstLineOfKey;
    bool capLogged = false;

    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);

    std::size_t lineNo = 0;
    while (!bytes.empty()) {
        ++lineNo;
        const std::size_t nl = bytes.find('\n');
        std::string_view line = bytes.substr(0, nl);
        bytes.remove_prefix(nl == std::string_view::npos ? bytes.size() : nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        auto malformed = [&](std::string_view reason) {
            problems.warn(lineNo, reason);
            if (report)
                report->malformedLines.push_back(lineNo);
        };

        if (line.size() > kMaxLineBytes) {
            malformed("line too long");
            continue;
        }
        if (isBlank(line) || isComment(line))
            continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            malformed("no tab between key and text");
            continue;
        }
        const std::string_view key = line.substr(0, tab);
        if (!isValidKey(key)) {
            malformed("key is not 1 to 16 decimal digits");
            continue;
        }
        const char* reason = "";
        auto text = decodeText(line.substr(tab + 1), reason);
        if (!text) {
            malformed(reason);
            continue;
        }

        if (auto it = table.entries_.find(key); it != table.entries_.end()) {
            problems.warn(lineNo, fmt::format("key {} repeats line {}; the later entry is used", key,
                                              firstLineOfKey[std::string(key)]));
            if (report)
                report->duplicateLines.push_back(lineNo);
            it->second = std::move(*text);
            continue;
        }
        if (table.entries_.size() >= kMaxEntries) {
            if (report)
                report->entryCapReached = true;
            if (!capLogged) {
                capLogged = true;
                tellProblem("string table {}: more than {} entries; the rest are ignored", origin,
                            kMaxEntries);
            }
            continue;
        }
        firstLineOfKey.emplace(key, lineNo);
        table.entries_.emplace(std::string(key), std::move(*text));
    }
    return table;
}

std::optional<StringTable> StringTable::load(const std::filesystem::path& file, ParseReport* report) {
    const std::string name = file.string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        Log::error("string table {}: not a readable file", name);
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        Log::error("string table {}: cannot open", name);
        return std::nullopt;
    }
    // Read one byte past the cap rather than trusting the size reported before opening.
    std::string bytes(kMaxFileBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        Log::error("string table {}: read error", name);
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxFileBytes) {
        Log::error("string table {}: larger than {} bytes; not loaded", name, kMaxFileBytes);
        return std::nullopt;
    }
    return parse(bytes, name, report);
}

const std::string* StringTable::find(std::string_view key) const {
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

namespace {

struct Cache {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const StringTable>, std::less<>> tables;
    // By localization name, for the resources root of `rootGeneration`.
    std::map<std::string, std::shared_ptr<const StringTable>, std::less<>> localizations;
    std::uint64_t rootGeneration = 0;
};

Cache& cache() {
    static Cache c;
    return c;
}

} // namespace

std::shared_ptr<const StringTable> StringTableCache::tableForFolder(const std::filesystem::path& folder) {
    const std::string key = folder.lexically_normal().string();
    auto& c = cache();
    {
        std::lock_guard lock(c.mutex);
        if (auto it = c.tables.find(key); it != c.tables.end())
            return it->second;
    }
    // Read without holding the lock; if two threads race, the first insert is kept for both.
    auto loaded = StringTable::load(folder / StringTable::kFileName);
    auto table = std::make_shared<const StringTable>(loaded ? std::move(*loaded) : StringTable{});
    std::lock_guard lock(c.mutex);
    return c.tables.emplace(key, std::move(table)).first->second;
}

std::shared_ptr<const StringTable> StringTableCache::tableForLocalization(std::string_view name) {
    auto& c = cache();
    const std::uint64_t generation = Bundle::rootGeneration();
    {
        std::lock_guard lock(c.mutex);
        if (c.rootGeneration != generation) {
            c.localizations.clear();
            c.rootGeneration = generation;
        }
        if (auto it = c.localizations.find(name); it != c.localizations.end())
            return it->second;
    }
    const auto folder = Bundle::localizationFolder(name);
    auto table = folder ? tableForFolder(*folder) : nullptr;
    std::lock_guard lock(c.mutex);
    if (c.rootGeneration != generation)
        return table;
    return c.localizations.emplace(std::string(name), std::move(table)).first->second;
}

void StringTableCache::clear() {
    auto& c = cache();
    std::lock_guard lock(c.mutex);
    c.tables.clear();
    c.localizations.clear();
}

} // namespace tc::platform
