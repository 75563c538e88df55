#pragma once
// The log lines written while one of these lives, from any thread; the previous level comes back
// when it goes. A test that expects a line waits for it, since work on other threads logs late.
#include "platform/log.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc::testing_support {

class LogCapture {
public:
    using Level = platform::LogLevel;

    explicit LogCapture(Level level = Level::Debug) : saved_(platform::Log::level()) {
        platform::Log::setLevel(level);
        platform::Log::setSink([this](Level l, std::string_view s) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(l, std::string(s));
            added_.notify_all();
        });
    }
    ~LogCapture() {
        platform::Log::setSink({});
        platform::Log::setLevel(saved_);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The texts of the lines at `least` or above, in order.
    std::vector<std::string> lines(Level least = Level::Debug) const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& [l, s] : lines_)
            if (l >= least)
                out.push_back(s);
        return out;
    }
    std::vector<std::pair<Level, std::string>> entries() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // Whether any line holds `text`.
    bool contains(std::string_view text, Level least = Level::Debug) const {
        for (const auto& s : lines(least))
            if (s.find(text) != std::string::npos)
                return true;
        return false;
    }
    // How many lines hold `text`.
    std::size_t count(std::string_view text, Level least = Level::Debug) const {
        std::size_t n = 0;
        for (const auto& s : lines(least))
            n += s.find(text) != std::string::npos;
        return n;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    // Waits, with a generous limit, until `count` lines at `least` or above were written.
    bool waitForCount(std::size_t count, Level least = Level::Error) {
        std::unique_lock lock(mutex_);
        return added_.wait_for(lock, std::chrono::seconds(10), [&] {
            std::size_t n = 0;
            for (const auto& entry : lines_)
                n += entry.first >= least;
            return n >= count;
        });
    }

private:
    Level saved_;
    mutable std::mutex mutex_;
    std::condition_variable added_;
    std::vector<std::pair<Level, std::string>> lines_;
};

// Nothing is logged while one of these lives: for tests that provoke warnings they do not read.
class LogSilence {
public:
    LogSilence() : saved_(platform::Log::level()) { platform::Log::setLevel(platform::LogLevel::Off); }
    ~LogSilence() { platform::Log::setLevel(saved_); }
    LogSilence(const LogSilence&) = delete;
    LogSilence& operator=(const LogSilence&) = delete;

private:
    platform::LogLevel saved_;
};

} // namespace tc::testing_support
