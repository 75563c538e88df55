#pragma once
// A secret store in memory for the login tests; `available = false` plays a desktop without one,
// `keeps = false` one whose store answers but keeps nothing (its library missing), `readable = false`
// one that answers but gives nothing back (a keyring without its collection), `holdWrites` a store
// that answers writes only at answerWrites(), as a keyring does after the login window closed,
// `holdReads` reads only at answerReads(), `holdRemoves` removals only at answerRemoves() (as a
// keyring does behind a keep that never answers), `removes = false` one that refuses them; `limit`
// is how long it may take to answer.
#include "gui/login/remembered_users.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace guitest {

class MemorySecrets : public tc::gui::SecretStore {
public:
    void write(const std::string& key, const std::string& secret, WriteDone done) override {
        if (holdWrites) {
            held.emplace_back(key, secret, std::move(done));
            return;
        }
        if (!available || !keeps) {
            done(false, available ? "the Secret Service did not keep it in this test"
                                  : "no Secret Service in this test");
            return;
        }
        secrets[key] = secret;
        done(true, {});
    }
    void read(const std::string& key, ReadDone done) override {
        if (holdReads) {
            heldReads.emplace_back(key, std::move(done));
            return;
        }
        auto it = secrets.find(key);
        done(it == secrets.end() || !readable ? std::nullopt : std::optional(it->second));
    }
    void remove(const std::string& key, RemoveDone done) override {
        if (holdRemoves) {
            heldRemoves.emplace_back(key, std::move(done));
            return;
        }
        ++removals;
        if (!removes) {
            done(false, "the Secret Service did not take it out in this test");
            return;
        }
        secrets.erase(key);
        done(true, {});
    }
    bool answers() const override { return available; }
    std::chrono::milliseconds answerLimit() const override { return limit; }

    void answerWrites() {
        holdWrites = false;
        auto writes = std::move(held);
        held.clear();
        for (auto& [key, secret, done] : writes)
            write(key, secret, std::move(done));
    }

    void answerRemoves() {
        holdRemoves = false;
        auto removals = std::move(heldRemoves);
        heldRemoves.clear();
        for (auto& [key, done] : removals)
            remove(key, std::move(done));
    }

    void answerReads() {
        holdReads = false;
        auto reads = std::move(heldReads);
        heldReads.clear();
        for (auto& [key, done] : reads)
            read(key, std::move(done));
    }

    bool available = true;
    bool keeps = true;
    bool readable = true;
    bool holdWrites = false;
    bool holdReads = false;
    bool holdRemoves = false;
    bool removes = true;
    int removals = 0;
    std::chrono::milliseconds limit = tc::gui::kSecretAnswerLimit;
    std::vector<std::tuple<std::string, std::string, WriteDone>> held;
    std::vector<std::pair<std::string, ReadDone>> heldReads;
    std::vector<std::pair<std::string, RemoveDone>> heldRemoves;
    std::map<std::string, std::string> secrets;
};

} // namespace guitest
