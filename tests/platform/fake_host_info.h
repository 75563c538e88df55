#pragma once
// A host with chosen facts, installed for the lifetime of one test.
#include "platform/host_info.h"

#include <memory>
#include <stdexcept>

namespace tc::testing_support {

struct FakeHostInfoSource final : platform::HostInfoSource {
    std::vector<std::string> addressList;
    std::optional<std::string> name;
    std::optional<std::string> version;
    std::optional<std::string> user;
    bool throws = false;

    std::vector<std::string> addresses() const override {
        check();
        return addressList;
    }
    std::optional<std::string> localizedName() const override {
        check();
        return name;
    }
    std::optional<std::string> operatingSystemVersionString() const override {
        check();
        return version;
    }
    std::optional<std::string> fullUserName() const override {
        check();
        return user;
    }

private:
    void check() const {
        if (throws)
            throw std::runtime_error("host query failed");
    }
};

class ScopedHostInfoSource {
public:
    explicit ScopedHostInfoSource(std::shared_ptr<const platform::HostInfoSource> source)
        : previous_(platform::HostInfo::setSource(std::move(source))) {}
    ~ScopedHostInfoSource() { platform::HostInfo::setSource(previous_); }
    ScopedHostInfoSource(const ScopedHostInfoSource&) = delete;
    ScopedHostInfoSource& operator=(const ScopedHostInfoSource&) = delete;

private:
    std::shared_ptr<const platform::HostInfoSource> previous_;
};

} // namespace tc::testing_support
