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

// The keys listed under a name; a value that is no list (a bare true from an earlier version)
// stands for `legacy` when true.
std::vector<std::string> keyList(const std::optional<platform::PlistValue>& value,
                                 const std::vector<std::string>& legacy) {
    std::vector<std::string> keys;
    if (!value)
        return keys;
    if (const platform::PlistArray* items = value->array()) {
        for (const platform::PlistValue& item : *items)
            if (const std::string* key = item.string())
                keys.push_back(*key);
    } else if (value->asBool()) {
        keys = legacy;
    }
    return keys;
}

// The keys of one mode begin with the mode and its separator.
bool keyOfMode(std::string_view key, std::string_view mode) {
    std::string prefix;
    appendEscaped(prefix, mode);
    prefix += '#';
    return key.starts_with(prefix);
}

} // namespace

RememberedUsers::RememberedUsers(platform::UserDefaults& defaults, std::string productKey,
                                 SecretStore& secrets)
    : defaults_(defaults), productKey_(std::move(productKey)), secrets_(secrets),
      secretState_(std::make_shared<SecretState>()) {
    secretState_->defaults = &defaults_;
    secretState_->notKept = defaults_.boolForKey(kPasswordNotKeptKey);
    for (std::string_view mode : {kLiveMode, kDemoMode})
        if (auto key = entryKey(mode))
            secretState_->legacyKeys.push_back(std::move(*key));
    for (std::string& key :
         keyList(defaults_.objectForKey(kPasswordKeepNotKnownKey), secretState_->legacyKeys))
        secretState_->keepNotKnown.insert(std::move(key));
    // Passwords forgotten in an earlier run that the store never confirmed taking out: out again,
    // before anything is read for them (the store takes requests in turn).
    const std::vector<std::string> owed = keyList(defaults_.objectForKey(kPasswordRemovalsOwedKey), {});
    if (!owed.empty() && secrets_.answers())
        for (const std::string& key : owed)
            removeSecret(secretState_, secrets_, key);
    else
        secretState_->removalsOwed.insert(owed.begin(), owed.end());
}

std::optional<std::string> RememberedUsers::entryKey(std::string_view mode) const {
    const std::optional<RememberedForm> entry = load(mode);
    if (!entry)
        return std::nullopt;
    return secretKey(mode, entry->server, entry->userName);
}

bool RememberedUsers::passwordKeepNotKnown(std::string_view mode) const {
    const std::optional<std::string> key = entryKey(mode);
    return !secretState_->notKept && key && secretState_->keepNotKnown.contains(*key);
}

bool RememberedUsers::passwordNotReadBack(std::string_view mode) const {
    const std::optional<std::string> key = entryKey(mode);
    return key && secretState_->notReadBack.contains(*key);
}

std::optional<RememberedUsers::PasswordNews>
RememberedUsers::passwordRemovalTrouble(std::string_view mode) const {
    std::optional<PasswordNews> trouble;
    for (const auto& [key, news] : secretState_->removalTrouble)
        if (keyOfMode(key, mode) && (!trouble || news == PasswordNews::RemovalFailed))
            trouble = news;
    return trouble;
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
    const std::string key = secretKey(mode, entry.server, entry.userName);
    // A password the trader said to forget is never put back into the form.
    if (secretState_->removalsOwed.contains(key))
        return;
    const bool answers = secrets_.answers();
    auto told = std::make_shared<bool>(false);
    auto shared = std::make_shared<SecretStore::ReadDone>(std::move(done));
    const auto notReadBack = [mode = std::string(mode), key](SecretState& state) {
        state.notReadBack.insert(key);
        if (!std::exchange(state.readFailureLogged, true))
            platform::Log::warning("the keyring gave back no password for the remembered {} user", mode);
        state.tell(PasswordNews::NotReadBack);
    };
    secrets_.read(key, [state = secretState_, read, key, answers, told, shared,
                        notReadBack](std::optional<std::string> secret) {
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
            state->notReadBack.erase(key);
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

void RememberedUsers::SecretState::listOnDisk(std::string_view name, const std::string& key, bool on) {
    if (!defaults)
        return;
    defaults->edit(name, [key, on, legacy = legacyKeys](std::optional<platform::PlistValue> value) {
        std::vector<std::string> keys = keyList(value, legacy);
        std::erase(keys, key);
        if (on)
            keys.push_back(key);
        if (keys.empty())
            return std::optional<platform::PlistValue>();
        return std::optional(platform::PlistValue(platform::PlistArray(keys.begin(), keys.end())));
    });
}

void RememberedUsers::SecretState::keepOnDisk(const std::string& key, bool refused, bool unknown) {
    if (!defaults)
        return;
    if (refused)
        defaults->set(kPasswordNotKeptKey, true);
    else
        defaults->remove(kPasswordNotKeptKey);
    listOnDisk(kPasswordKeepNotKnownKey, key, unknown);
    defaults->synchronize();
}

void RememberedUsers::SecretState::keepIs(const std::string& key, PasswordNews news, bool answers) {
    const bool refused = news == PasswordNews::NotKept;
    const bool unknown = news == PasswordNews::KeepNotKnown;
    notKept = refused;
    if (unknown)
        keepNotKnown.insert(key);
    else
        keepNotKnown.erase(key);
    // A refusal or a silence, which may come after the login window closed, is still said at the
    // next start; written even when nothing changed here, since the keep's start wrote it as not known.
    if (answers || news == PasswordNews::Kept)
        keepOnDisk(key, refused, unknown);
    if (news == PasswordNews::Kept) {
        notReadBack.erase(key);
        // The store takes requests in turn: a removal asked before this keep is done.
        if (removalsOwed.erase(key) > 0) {
            removalTrouble.erase(key);
            listOnDisk(kPasswordRemovalsOwedKey, key, false);
            if (defaults)
                defaults->synchronize();
        }
    }
    tell(news);
}

void RememberedUsers::writeSecret(const std::string& key, const std::string& secret) {
    // A removal still owed was asked before this keep: done again at the next start it would take out
    // what the trader said last. Owed again only if the keyring refuses this keep.
    const bool owed = secretState_->removalsOwed.erase(key) > 0;
    if (owed) {
        secretState_->removalTrouble.erase(key);
        secretState_->listOnDisk(kPasswordRemovalsOwedKey, key, false);
        if (secretState_->defaults)
            secretState_->defaults->synchronize();
    }
    const std::uint64_t write = ++secretState_->writes;
    ++secretState_->reads; // a read of the password before this one no longer tells anything
    secretState_->lastWrites[key] = write;
    secretState_->waiting.emplace(write, key);
    const bool answers = secrets_.answers();
    enum class Answer { Waited, Given, Overdue };
    auto answer = std::make_shared<Answer>(Answer::Waited);
    // The store calls back only while it lives, so it is still there to take a password out.
    secrets_.write(key, secret,
                   [state = secretState_, &secrets = secrets_, key, write, answers, answer,
                    owed](bool ok, const std::string& reason) {
                       if (std::exchange(*answer, Answer::Given) == Answer::Overdue)
                           platform::Log::info("the keyring answered after all: the password was {}",
                                               ok ? "kept" : "not kept");
                       if (!ok && !std::exchange(state->failureLogged, true))
                           platform::Log::warning("passwords are not remembered: {}", reason);
                       state->waiting.erase(write);
                       if (!ok && owed && state->lastWrites[key] == write) {
                           // The forgotten password may still be there.
                           state->removalsOwed.insert(key);
                           state->listOnDisk(kPasswordRemovalsOwedKey, key, true);
                           if (state->defaults)
                               state->defaults->synchronize();
                       }
                       if (state->forgotten.erase(write)) {
                           // The trader said not to remember it while it waited; a password kept
                           // anew since is left, as the store takes requests in turn.
                           if (ok && state->lastWrites[key] == write)
                               removeSecret(state, secrets, key);
                           return;
                       }
                       if (write != state->lastWrites[key])
                           return; // a later password was given to this key since: its outcome stands
                       state->keepIs(key, ok ? PasswordNews::Kept : PasswordNews::NotKept, answers);
                   });
    if (*answer == Answer::Given)
        return;
    // The program may end before the store answers: the next start is then to read the outcome as not
    // known. This run tells the trader only at the limit.
    if (answers)
        secretState_->keepOnDisk(key, false, true);
    platform::MainQueue::after(secrets_.answerLimit(), [weak = std::weak_ptr<SecretState>(secretState_), key,
                                                        write, answers, answer] {
        const std::shared_ptr<SecretState> state = weak.lock();
        if (!state || *answer == Answer::Given || write != state->lastWrites[key] ||
            state->forgotten.contains(write))
            return;
        *answer = Answer::Overdue;
        platform::Log::warning("the keyring did not answer in time whether it kept the password");
        state->keepIs(key, PasswordNews::KeepNotKnown, answers);
    });
}

void RememberedUsers::forget(const std::string& key) {
    for (const auto& [write, waited] : secretState_->waiting)
        if (waited == key)
            secretState_->forgotten.insert(write);
    ++secretState_->reads;
    // What is not known is no longer whether it was kept: it is not remembered.
    secretState_->keepNotKnown.erase(key);
    secretState_->notReadBack.erase(key);
    secretState_->listOnDisk(kPasswordKeepNotKnownKey, key, false);
    if (secrets_.answers())
        removeSecret(secretState_, secrets_, key);
}

void RememberedUsers::removeSecret(const std::shared_ptr<SecretState>& state, SecretStore& secrets,
                                   const std::string& key) {
    // Owed from the asking on: the store may take it behind a keep that never answers, and the
    // program may end first.
    const std::uint64_t remove = ++state->removes;
    state->lastRemoves[key] = remove;
    state->removalsOwed.insert(key);
    state->listOnDisk(kPasswordRemovalsOwedKey, key, true);
    if (state->defaults)
        state->defaults->synchronize();
    enum class Answer { Waited, Given, Overdue };
    auto answer = std::make_shared<Answer>(Answer::Waited);
    secrets.remove(key, [state, key, remove, answer](bool ok, const std::string& reason) {
        const bool overdue = std::exchange(*answer, Answer::Given) == Answer::Overdue;
        if (state->lastRemoves[key] != remove)
            return; // asked again since: that answer stands
        if (!ok) {
            platform::Log::warning("the keyring did not take out a forgotten password ({}); it is tried "
                                   "again at the next start",
                                   reason);
            state->removalTrouble[key] = PasswordNews::RemovalFailed;
            state->tell(PasswordNews::RemovalFailed);
            return;
        }
        if (overdue)
            platform::Log::info("the keyring took the forgotten password out after all");
        state->removalsOwed.erase(key);
        state->removalTrouble.erase(key);
        state->listOnDisk(kPasswordRemovalsOwedKey, key, false);
        if (state->defaults)
            state->defaults->synchronize();
        state->tell(PasswordNews::Removed);
    });
    if (*answer == Answer::Given)
        return;
    platform::MainQueue::after(
        secrets.answerLimit(), [weak = std::weak_ptr<SecretState>(state), key, remove, answer] {
            const std::shared_ptr<SecretState> state = weak.lock();
            if (!state || *answer == Answer::Given || state->lastRemoves[key] != remove)
                return;
            *answer = Answer::Overdue;
            platform::Log::warning("the keyring did not answer in time whether it took a forgotten password "
                                   "out; it is tried again at the next start");
            state->removalTrouble[key] = PasswordNews::RemovalNotKnown;
            state->tell(PasswordNews::RemovalNotKnown);
        });
}

void RememberedUsers::remove(std::string_view mode) {
    if (auto previous = load(mode))
        forget(secretKey(mode, previous->server, previous->userName));
    defaults_.remove(mode);
    defaults_.synchronize();
}

} // namespace tc::gui
