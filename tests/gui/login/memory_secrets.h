#pragma once
// A secret store in memory for the login tests; `available = false` plays a desktop without one,
// `keeps = false` one whose store answers but keeps nothing (its library missing).
#include "gui/login/remembered_users.h"

#include <map>
#include <optional>
#include <string>

namespace guitest {

class MemorySecrets : public tc::gui::SecretStore {
public:
    void write(const std::string& key, const std::string& secret, WriteDone done) override {
        if (!available || !keeps) {
            done(false, available ? "the Secret Service did not keep it in this test"
                                  : "no Secret Service in this test");
            return;
        }
        secrets[key] = secret;
        done(true, {});
    }
    void read(const std::string& key, ReadDone done) override {
        auto it = secrets.find(key);
        done(it == secrets.end() ? std::nullopt : std::optional(it->second));
    }
    void remove(const std::string& key) override { secrets.erase(key); }
    bool answers() const override { return available; }

    bool available = true;
    bool keeps = true;
    std::map<std::string, std::string> secrets;
};

} // namespace guitest
