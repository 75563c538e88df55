#pragma once
// A small levelled logger writing to stderr. Format strings are checked at compile time, so text
// from the outside can only ever be an argument, never the format.
#include <fmt/format.h>

#include <functional>
#include <string>
#include <string_view>

namespace tc::platform {

enum class LogLevel { Debug = 0, Info = 1, Warning = 2, Error = 3, Off = 4 };

class Log {
public:
    using Sink = std::function<void(LogLevel, std::string_view)>;

    static void setLevel(LogLevel level);
    static LogLevel level();
    static bool enabled(LogLevel level) { return level >= Log::level(); }

    // Replaces the stderr sink (tests capture lines this way); an empty sink restores stderr.
    static void setSink(Sink sink);

    static void write(LogLevel level, std::string_view line);

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
    template <typename... Args>
    static void emit(LogLevel level, fmt::format_string<Args...> f, Args&&... args) {
        if (!enabled(level))
            return;
        write(level, fmt::format(f, std::forward<Args>(args)...));
    }
};

} // namespace tc::platform
