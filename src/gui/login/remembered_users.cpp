#include "gui/login/remembered_users.h"

#include "platform/base64.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/message_cipher.h"
#include "platform/user_defaults.h"

#include <memory>
#include <utility>

namespace tc::gui {
namespace {

// An entry is four short fields; anything longer was not written by us.
constexpr std::size_t kMaxStoredEntryBytes = 4096;

void appendEscaped(std::string& out, std::string_view field) {
    for (char c : field) {
        if (c == '#' || c == '\\')
            out += '\\';
        out += c;
    }
}

} // namespace

RememberedUsers::RememberedUsers(platform::UserDefaults& defaults, std::string productKey,
                                 SecretStore& secrets)
    : defaults_(defaults), productKey_(std::move(productKey)), secrets_(secrets),
      secretState_(std::make_shared<SecretState>()) {
    secretState_->defaults = &defaults_;
    secretState_->notKept = defaults_.boolForKey(kPasswordNotKeptKey);
    secretState_->keepNotKnown = !secretState_->notKept && defaults_.boolForKey(kPasswordKeepNotKnownKey);
}

RememberedUsers::~RememberedUsers() {
    // A late answer finds no user defaults of ours to write in.
    secretState_->defaults = nullptr;
}

void RememberedUsers::SecretState::tell(PasswordNews news) const {
    // A copy: a listener may add another.
    const std::vector<PasswordListener> now = listeners;
    for (const PasswordListener& listener : now)
        listener(news);
}

std::string RememberedUsers::secretKey(std::string_view mode, std::string_view server,
                                       std::string_view userName) {
    std::string key;
    appendEscaped(key, mode);
    key += '#';
    appendEscaped(key, server);
    key += '#';
    appendEscaped(key, userName);
    return key;
}

std::string RememberedUsers::encodeFields(const RememberedForm& form) {
    std::string text;
    appendEscaped(text, form.userName);
    text += "##"; // the password's place stays empty
    appendEscaped(text, form.server);
    text += '#';
    appendEscaped(text, form.port);
    return text;
}

std::optional<RememberedForm> RememberedUsers::decodeFields(std::string_view text) {
    std::string fields[4];
    std::size_t index = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            if (index < 4)
                fields[index] += text[++i];
            else
                ++i;
        } else if (c == '#') {
            ++index;
        } else if (index < 4) {
            fields[index] += c;
        }
    }
    if (index < 3)
        return std::nullopt;
    return RememberedForm{std::move(fields[0]), std::move(fields[1]), std::move(fields[2]),
                          std::move(fields[3])};
}

std::optional<std::string> RememberedUsers::encryptEntry(std::string_view plain, std::string_view key) {
    if (key.empty())
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(plain.data());
    auto cipher = platform::Crypto::transformData({bytes, plain.size()}, platform::Crypto::kAlgorithmAES,
                                                  platform::Crypto::kEncrypt, key);
    if (!cipher)
        return std::nullopt;
    return platform::Base64::encodeBase64WithData(*cipher);
}

std::optional<std::string> RememberedUsers::decryptEntry(std::string_view stored, std::string_view key) {
    if (key.empty() || stored.size() > kMaxStoredEntryBytes)
        return std::nullopt;
    auto cipher = platform::Base64::decodeBase64WithString(stored);
    if (!cipher)
        return std::nullopt;
    auto plain = platform::Crypto::transformData(*cipher, platform::Crypto::kAlgorithmAES,
                                                 platform::Crypto::kDecrypt, key);
    if (!plain)
        return std::nullopt;
    return std::string(plain->begin(), plain->end());
}

std::optional<RememberedForm> RememberedUsers::load(std::string_view mode) const {
    auto stored = defaults_.stringForKey(mode);
    if (!stored)
        return std::nullopt;
    auto plain = decryptEntry(*stored, productKey_);
    auto form = plain ? decodeFields(*plain) : std::nullopt;
    if (!form) {
        platform::Log::warning("the remembered {} user cannot be read; the form shows the defaults", mode);
        return std::nullopt;
    }
    form->password.clear(); // an entry never carries the password; one written elsewhere is ignored
    return form;
}

void RememberedUsers::loadPassword(std::string_view mode, const RememberedForm& entry,
                                   SecretStore::ReadDone done) {
    // The entry is there only once a password was given with it: none coming back from a store that
    // answers is one that cannot give it, or lost it. Where none answers, its own line says so.
    // One that does not answer in time is told as one that gave nothing back; a password it gives
    // later still comes, so `done` may then be called a second time. A read asked again, or a
    // password kept since, supersedes it: its answer and its limit then change nothing.
    const std::uint64_t read = ++secretState_->reads;
    const bool answers = secrets_.answers();
    auto told = std::make_shared<bool>(false);
    auto shared = std::make_shared<SecretStore::ReadDone>(std::move(done));
    const auto notReadBack = [mode = std::string(mode)](SecretState& state) {
        state.notReadBack = true;
        if (!std::exchange(state.readFailureLogged, true))
            platform::Log::warning("the keyring gave back no password for the remembered {} user", mode);
        state.tell(PasswordNews::NotReadBack);
    };
    secrets_.read(
        secretKey(mode, entry.server, entry.userName),
        [state = secretState_, read, answers, told, shared, notReadBack](std::optional<std::string> secret) {
            if (read != state->reads)
                return;
            if (!answers) {
                (*shared)(std::move(secret));
                return;
            }
            if (std::exchange(*told, true) && !secret)
                return; // said at the limit already
            if (!secret) {
                notReadBack(*state);
            } else {
                state->notReadBack = false;
                state->tell(PasswordNews::ReadBack);
            }
            (*shared)(std::move(secret));
        });
    if (!answers || *told)
        return;
    platform::MainQueue::after(secrets_.answerLimit(), [weak = std::weak_ptr<SecretState>(secretState_), read,
                                                        told, shared, notReadBack] {
        const std::shared_ptr<SecretState> state = weak.lock();
        if (!state || read != state->reads || std::exchange(*told, true))
            return;
        platform::Log::warning("the keyring did not answer in time with the remembered password");
        notReadBack(*state);
        (*shared)(std::nullopt);
    });
}

void RememberedUsers::store(std::string_view mode, const RememberedForm& form) {
    auto value = encryptEntry(encodeFields(form), productKey_);
    if (!value) {
        platform::Log::warning("the {} user is not remembered: the product key is missing or unusable", mode);
        return;
    }
    // A different user or server leaves no password of the old one behind.
    if (auto previous = load(mode);
        previous && (previous->server != form.server || previous->userName != form.userName))
        forget(secretKey(mode, previous->server, previous->userName));
    defaults_.set(mode, *value);
    defaults_.synchronize();

    const std::string key = secretKey(mode, form.server, form.userName);
    if (form.password.empty()) {
        forget(key);
        defaults_.synchronize();
        return;
    }
    writeSecret(key, form.password);
}

bool RememberedUsers::changePassword(std::string_view mode, std::string_view userName,
                                     const std::string& password) {
    const std::optional<RememberedForm> entry = load(mode);
    if (!entry || entry->userName != userName || password.empty())
        return false;
    writeSecret(secretKey(mode, entry->server, entry->userName), password);
    return true;
}

void RememberedUsers::SecretState::keepOnDisk(bool refused, bool unknown) {
    if (!defaults)
        return;
    const std::pair<std::string_view, bool> keys[] = {{kPasswordNotKeptKey, refused},
                                                      {kPasswordKeepNotKnownKey, unknown}};
    for (const auto& [key, on] : keys)
        if (on)
            defaults->set(key, true);
        else
            defaults->remove(key);
    defaults->synchronize();
}

void RememberedUsers::SecretState::keepIs(PasswordNews news, bool answers) {
    const bool refused = news == PasswordNews::NotKept;
    const bool unknown = news == PasswordNews::KeepNotKnown;
    notKept = refused;
    keepNotKnown = unknown;
    // A refusal or a silence, which may come after the login window closed, is still said at the
    // next start; written even when nothing changed here, since the keep's start wrote it as not known.
    if (answers || news == PasswordNews::Kept)
        keepOnDisk(refused, unknown);
    if (news == PasswordNews::Kept)
        notReadBack = false;
    tell(news);
}

void RememberedUsers::writeSecret(const std::string& key, const std::string& secret) {
    const std::uint64_t write = ++secretState_->writes;
    ++secretState_->reads; // a read of the password before this one no longer tells anything
    secretState_->lastWrites[key] = write;
    secretState_->waiting.emplace(write, key);
    const bool answers = secrets_.answers();
    enum class Answer { Waited, Given, Overdue };
    auto answer = std::make_shared<Answer>(Answer::Waited);
    // The store calls back only while it lives, so it is still there to take a password out.
    secrets_.write(key, secret,
                   [state = secretState_, &secrets = secrets_, key, write, answers,
                    answer](bool ok, const std::string& reason) {
                       if (std::exchange(*answer, Answer::Given) == Answer::Overdue)
                           platform::Log::info("the keyring answered after all: the password was {}",
                                               ok ? "kept" : "not kept");
                       if (!ok && !std::exchange(state->failureLogged, true))
                           platform::Log::warning("passwords are not remembered: {}", reason);
                       state->waiting.erase(write);
                       if (state->forgotten.erase(write)) {
                           // The trader said not to remember it while it waited; a password kept
                           // anew since is left, as the store takes requests in turn.
                           if (ok && state->lastWrites[key] == write)
                               secrets.remove(key);
                           return;
                       }
                       if (write != state->writes)
                           return; // a later password was given since: its outcome stands
                       state->keepIs(ok ? PasswordNews::Kept : PasswordNews::NotKept, answers);
                   });
    if (*answer == Answer::Given)
        return;
    // The program may end before the store answers: the next start is then to read the outcome as not
    // known. This run tells the trader only at the limit.
    if (answers)
        secretState_->keepOnDisk(false, true);
    platform::MainQueue::after(secrets_.answerLimit(), [weak = std::weak_ptr<SecretState>(secretState_),
                                                        write, answers, answer] {
        const std::shared_ptr<SecretState> state = weak.lock();
        if (!state || *answer == Answer::Given || write != state->writes || state->forgotten.contains(write))
            return;
        *answer = Answer::Overdue;
        platform::Log::warning("the keyring did not answer in time whether it kept the password");
        state->keepIs(PasswordNews::KeepNotKnown, answers);
    });
}

void RememberedUsers::forget(const std::string& key) {
    bool last = false;
    for (const auto& [write, waited] : secretState_->waiting)
        if (waited == key) {
            secretState_->forgotten.insert(write);
            last = last || write == secretState_->writes;
        }
    ++secretState_->reads;
    secrets_.remove(key);
    // What is not known is no longer whether it was kept: it is not remembered.
    if (last || secretState_->writes == 0) {
        secretState_->keepNotKnown = false;
        defaults_.remove(kPasswordKeepNotKnownKey);
    }
}

void RememberedUsers::remove(std::string_view mode) {
    if (auto previous = load(mode))
        forget(secretKey(mode, previous->server, previous->userName));
    defaults_.remove(mode);
    defaults_.synchronize();
}

} // namespace tc::gui
