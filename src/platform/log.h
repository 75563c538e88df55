#pragma once
// A small levelled logger writing to stderr. Format strings are checked at compile time, so text
// from the outside can only ever be an argument, never the format.
//
// Every line is made safe before it is written: control characters (terminal escapes, line breaks that
// would forge a line of their own), invisible direction marks and bytes that are not UTF-8 are written
// as escapes, and a line past kMaxLineBytes is cut. A call site that repeats itself is rate-limited:
// past kLinesPerWindow lines in one window of kWindow its lines are counted, not written, and its next
// written line says how many were left out.
#include <fmt/format.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tc::platform {

enum class LogLevel { Debug = 0, Info = 1, Warning = 2, Error = 3, Off = 4 };

class Log {
public:
    using Sink = std::function<void(LogLevel, std::string_view)>;

    static constexpr std::size_t kMaxLineBytes = 4096;
    static constexpr int kLinesPerWindow = 20;
    static constexpr std::chrono::seconds kWindow{1};

    static void setLevel(LogLevel level);
    static LogLevel level();
    static bool enabled(LogLevel level) { return level >= Log::level(); }

    // Replaces the stderr sink (tests capture lines this way); an empty sink restores stderr.
    static void setSink(Sink sink);

    // Writes one line as it stands, made safe; no rate limit.
    static void write(LogLevel level, std::string_view line);
    // The line as write() passes it to the sink.
    static std::string escaped(std::string_view line);

    template <typename... Args>
    static void debug(fmt::format_string<Args...> f, Args&&... args) {
        emit(LogLevel::Debug, f, std::forward<Args>(args)...);
    }
    template <typename... Args>
    static void info(fmt::format_string<Args...> f, Args&&... args) {
        emit(LogLevel::Info, f, std::forward<Args>(args)...);
    }
    template <typename... Args>
    static void warning(fmt::format_string<Args...> f, Args&&... args) {
        emit(LogLevel::Warning, f, std::forward<Args>(args)...);
    }
    template <typename... Args>
    static void error(fmt::format_string<Args...> f, Args&&... args) {
        emit(LogLevel::Error, f, std::forward<Args>(args)...);
    }

private:
    // The number of lines of this call site left out since its last written line, or nothing when this
    // line is itself to be left out. The format string's address names the call site.
    static std::optional<std::uint64_t> admit(const void* site);
    static void writeAdmitted(LogLevel level, std::string line, std::uint64_t suppressed);

    template <typename... Args>
    static void emit(LogLevel level, fmt::format_string<Args...> f, Args&&... args) {
        if (!enabled(level))
            return;
        const std::optional<std::uint64_t> suppressed = admit(static_cast<fmt::string_view>(f).data());
        if (!suppressed)
            return;
        writeAdmitted(level, fmt::format(f, std::forward<Args>(args)...), *suppressed);
    }
};

} // namespace tc::platform
