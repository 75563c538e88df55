#pragma once
// The notifications of the given names posted on the default centre while one of these lives, in order.
#include "platform/handler.h"
#include "platform/notification_center.h"

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tc::testing_support {

class NotificationLog {
public:
    explicit NotificationLog(std::initializer_list<std::string_view> names) {
        for (auto name : names)
            handlers_.push_back(platform::NotificationCenter::defaultCenter().observe(
                std::string(name), [this](const platform::Notification& n) {
                    std::lock_guard lock(mutex_);
                    seen_.push_back(n);
                }));
    }
    std::vector<platform::Notification> seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    std::vector<platform::Notification> named(std::string_view name) const {
        std::vector<platform::Notification> out;
        for (const auto& n : seen())
            if (n.name == name)
                out.push_back(n);
        return out;
    }
    std::size_t count(std::string_view name) const { return named(name).size(); }
    // How many of the names were posted at least once.
    std::size_t distinct() const {
        std::vector<std::string> names;
        for (const auto& n : seen())
            if (std::find(names.begin(), names.end(), n.name) == names.end())
                names.push_back(n.name);
        return names.size();
    }
    // Each notification as its name, with ":" and its text object when it carries one.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& n : seen()) {
            const std::string* text = n.objectAs<std::string>();
            out.push_back(n.name + (text ? ":" + *text : ""));
        }
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<platform::Notification> seen_;
    std::vector<std::unique_ptr<platform::Handler>> handlers_;
};

} // namespace tc::testing_support
