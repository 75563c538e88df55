#include "platform/log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

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

void Log::write(LogLevel level, std::string_view line) {
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
