#pragma once
// Settings files as another program leaves them: seeded with a list, or held under its lock.
#include "platform/user_defaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tc::testing_support {

// A settings file holding `values` under `key`, as an earlier run left it.
inline void seedStringArray(const std::filesystem::path& file, const std::string& key,
                            const std::vector<std::string>& values) {
    platform::UserDefaults first(file);
    first.setStringArray(key, values);
    EXPECT_TRUE(first.synchronize());
}

// Another program's hold on a settings file's lock, from construction until release().
class SettingsLock {
public:
    explicit SettingsLock(const std::filesystem::path& file)
        : fd_(::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        EXPECT_GE(fd_, 0);
        held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
        EXPECT_TRUE(held_);
    }
    ~SettingsLock() { release(); }
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

    bool held() const { return held_; }
    void release() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        held_ = false;
    }

private:
    int fd_ = -1;
    bool held_ = false;
};

} // namespace tc::testing_support
