#include "platform/log.h"

#include "platform/clock.h"
#include "platform/utf8.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace tc::platform {
namespace {

LogLevel initialLevel() {
    // TC_LOG=debug|info|warning|error|off
    const char* env = std::getenv("TC_LOG");
    if (!env)
        return LogLevel::Info;
    std::string_view v(env);
    if (v == "debug")
        return LogLevel::Debug;
    if (v == "warning")
        return LogLevel::Warning;
    if (v == "error")
        return LogLevel::Error;
    if (v == "off")
        return LogLevel::Off;
    return LogLevel::Info;
}

std::atomic<LogLevel>& levelRef() {
    static std::atomic<LogLevel> level{initialLevel()};
    return level;
}

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

Log::Sink& sinkRef() {
    static Log::Sink sink;
    return sink;
}

// One call site's budget in the current window.
struct SiteBudget {
    Clock::time_point windowStart{};
    int written = 0;
    std::uint64_t suppressed = 0;
};

struct RateLimiter {
    // Call sites are the program's format strings, a few thousand at most; the bound only guards the
    // table. A site past it shares one budget with every other such site, so it is still limited.
    static constexpr std::size_t kMaxSites = 8192;
    std::mutex mutex;
    std::unordered_map<const void*, SiteBudget> sites;
    SiteBudget overflow;
};

RateLimiter& rateLimiter() {
    static auto* limiter = new RateLimiter{};
    return *limiter;
}

// Characters that move the terminal or the reading order without showing: C1 controls, direction
// marks and overrides, line and paragraph separators, the byte-order mark.
bool isInvisibleControl(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x200E || cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0xFEFF;
}

const char* levelName(LogLevel level) {
    switch (level) {
    case LogLevel::Debug:
        return "debug";
    case LogLevel::Info:
        return "info";
    case LogLevel::Warning:
        return "warning";
    case LogLevel::Error:
        return "error";
    case LogLevel::Off:
        break;
    }
    return "";
}

} // namespace

void Log::setLevel(LogLevel level) {
    levelRef().store(level);
}

LogLevel Log::level() {
    return levelRef().load();
}

void Log::setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    sinkRef() = std::move(sink);
}

std::string Log::escaped(std::string_view line) {
    std::string out;
    out.reserve(std::min(line.size(), kMaxLineBytes) + 16);
    std::size_t i = 0;
    while (i < line.size()) {
        if (out.size() >= kMaxLineBytes) {
            out += fmt::format("... ({} more bytes)", line.size() - i);
            break;
        }
        const auto c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += fmt::format("\\x{:02X}", c);
            }
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t n = decodeUtf8(line, i, cp);
        if (n == 0) {
            out += fmt::format("\\x{:02X}", c);
            ++i;
        } else if (isInvisibleControl(cp)) {
            out += fmt::format("\\u{{{:04X}}}", static_cast<std::uint32_t>(cp));
            i += n;
        } else {
            out.append(line.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::optional<std::uint64_t> Log::admit(const void* site) {
    RateLimiter& limiter = rateLimiter();
    const Clock::time_point now = Clock::currentTime();
    std::lock_guard lock(limiter.mutex);
    // Each site keeps its own count: sites that once shared a slot reset each other and went unlimited.
    auto it = limiter.sites.find(site);
    if (it == limiter.sites.end() && limiter.sites.size() < RateLimiter::kMaxSites)
        it = limiter.sites.emplace(site, SiteBudget{now, 0, 0}).first;
    SiteBudget& slot = it != limiter.sites.end() ? it->second : limiter.overflow;
    // A new window once this one is over, or on another clock (tests).
    if (now < slot.windowStart || now - slot.windowStart >= kWindow)
        slot.windowStart = now, slot.written = 0;
    if (slot.written >= kLinesPerWindow) {
        ++slot.suppressed;
        return std::nullopt;
    }
    ++slot.written;
    return std::exchange(slot.suppressed, 0);
}

void Log::writeAdmitted(LogLevel level, std::string line, std::uint64_t suppressed) {
    if (suppressed > 0)
        line += fmt::format(" ({} more like this were left out)", suppressed);
    write(level, line);
}

void Log::write(LogLevel level, std::string_view raw) {
    const std::string line = escaped(raw);
    std::lock_guard lock(sinkMutex());
    if (sinkRef()) {
        sinkRef()(level, line);
        return;
    }
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    std::fprintf(stderr, "%s.%03d [%s] %.*s\n", stamp, static_cast<int>(ms), levelName(level),
                 static_cast<int>(line.size()), line.data());
}

} // namespace tc::platform
