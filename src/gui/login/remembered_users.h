#pragma once
// The login form remembered for each connection mode ("Live", "Demo"). The user defaults keep user
// name, server and port, encrypted with the product's configured key and Base64-encoded; the
// password never goes there: with the remember box on it goes to the desktop's secret store, keyed
// by mode, server and user. Free of Qt; the secret store is an interface.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

inline constexpr std::string_view kLiveMode = "Live";
inline constexpr std::string_view kDemoMode = "Demo";
// Set in the user defaults while the secret store refuses the remembered password.
inline constexpr std::string_view kPasswordNotKeptKey = "PasswordNotKept";
// The secret keys whose keep the store has not answered yet (a bare true, as an earlier version
// wrote it, stands for the remembered entries).
inline constexpr std::string_view kPasswordKeepNotKnownKey = "PasswordKeepNotKnown";
// The secret keys of forgotten passwords the store has not confirmed taking out: taken out again at
// the next start, never filled into the form meanwhile.
inline constexpr std::string_view kPasswordRemovalsOwedKey = "PasswordRemovalsOwed";
// How long a keyring may take to answer: one whose unlock prompt stays open, or whose daemon is
// restarted under an open prompt, may never answer at all.
inline constexpr std::chrono::milliseconds kSecretAnswerLimit = std::chrono::seconds(30);

// Where passwords are kept. Calls return at once; answers come through the callbacks, on the
// caller's thread, possibly before the call returns.
class SecretStore {
public:
    // ok false: the secret was not kept; `reason` says why for the log.
    using WriteDone = std::function<void(bool ok, const std::string& reason)>;
    using ReadDone = std::function<void(std::optional<std::string> secret)>;
    // ok false: the secret may still be there; `reason` says why for the log.
    using RemoveDone = std::function<void(bool ok, const std::string& reason)>;

    virtual ~SecretStore() = default;
    virtual void write(const std::string& key, const std::string& secret, WriteDone done) = 0;
    virtual void read(const std::string& key, ReadDone done) = 0;
    virtual void remove(const std::string& key, RemoveDone done) = 0;
    // Whether a store answers on this computer at all; where none does, no password can be kept.
    virtual bool answers() const { return true; }
    // Past this without an answer the outcome is told as not known.
    virtual std::chrono::milliseconds answerLimit() const { return kSecretAnswerLimit; }
};

// The login form as the login window holds it.
struct RememberedForm {
    std::string userName;
    std::string password;
    std::string server;
    std::string port;
    friend bool operator==(const RememberedForm&, const RememberedForm&) = default;
};

class RememberedUsers {
public:
    // `productKey` is the configured key beside the program, never the session key, so an entry
    // written after a login still reads at the next start.
    RememberedUsers(platform::UserDefaults& defaults, std::string productKey, SecretStore& secrets);
    ~RememberedUsers();
    RememberedUsers(const RememberedUsers&) = delete;
    RememberedUsers& operator=(const RememberedUsers&) = delete;

    // The mode's entry without its password; nullopt when there is none or it cannot be read.
    std::optional<RememberedForm> load(std::string_view mode) const;
    // Asks the secret store for the password of the mode's remembered user.
    void loadPassword(std::string_view mode, const RememberedForm& entry, SecretStore::ReadDone done);
    // Remembers the form for the mode (the login button with the remember box on). A password the
    // store cannot keep is not remembered; the log says why once.
    void store(std::string_view mode, const RememberedForm& form);
    // The server accepted a new password for `userName`: the mode's remembered password follows it
    // when that user is the one remembered; false (nothing written) otherwise.
    bool changePassword(std::string_view mode, std::string_view userName, const std::string& password);
    // Forgets the mode's entry and its password (the remember box turned off); a keep of it still
    // waiting is undone once the store answers it.
    void remove(std::string_view mode);
    // Whether passwords can be remembered here (a secret store answers).
    bool passwordsCanBeKept() const { return secrets_.answers(); }
    // Whether the store refused the last password given to it: one that answers may still not keep
    // it (a keyring reached through a library that is missing). Kept in the user defaults, so the
    // next start still knows when the refusal came after its login window had closed.
    bool passwordNotKept() const { return secretState_->notKept; }
    // Whether the store gave no answer in time to the password of the mode's remembered user (kept
    // in the user defaults too); an answer that comes later settles it.
    bool passwordKeepNotKnown(std::string_view mode) const;
    // Whether the store failed to give back the password of the mode's remembered user (a keyring
    // without its collection, or one that did not answer in time); cleared once it is read or kept.
    bool passwordNotReadBack(std::string_view mode) const;
    // What the store last answered about a password.
    enum class PasswordNews {
        Kept,
        NotKept,
        KeepNotKnown,
        ReadBack,
        NotReadBack,
        Removed,
        RemovalFailed,
        RemovalNotKnown
    };
    // Whether the store refused (RemovalFailed) or did not confirm in time (RemovalNotKnown) taking
    // out a password of the mode that was forgotten in this run; nullopt when neither.
    std::optional<PasswordNews> passwordRemovalTrouble(std::string_view mode) const;
    using PasswordListener = std::function<void(PasswordNews)>;
    // Called at every answer of the store to a password: the login window's line and the banner
    // of a signed-in session both follow them.
    void addPasswordListener(PasswordListener listener) {
        secretState_->listeners.push_back(std::move(listener));
    }

    // The secret store's key of a password.
    static std::string secretKey(std::string_view mode, std::string_view server, std::string_view userName);
    // The entry's plain text: the four fields joined by "#", "#" and "\" in a field escaped with "\",
    // the password field left empty.
    static std::string encodeFields(const RememberedForm& form);
    // The four fields of a plain text, password included as stored; nullopt when it has fewer than four.
    static std::optional<RememberedForm> decodeFields(std::string_view text);
    // Encrypted, Base64-encoded entry; nullopt when the key cannot encrypt.
    static std::optional<std::string> encryptEntry(std::string_view plain, std::string_view key);
    static std::optional<std::string> decryptEntry(std::string_view stored, std::string_view key);

private:
    platform::UserDefaults& defaults_;
    std::string productKey_;
    SecretStore& secrets_;
    // What the store answered, shared with answers that may outlive this object.
    struct SecretState {
        platform::UserDefaults* defaults = nullptr; // null once this object is gone
        bool failureLogged = false;
        bool readFailureLogged = false;
        bool notKept = false;
        std::set<std::string> keepNotKnown;                 // keys whose keep did not answer in time
        std::set<std::string> notReadBack;                  // keys whose password did not come back
        std::set<std::string> removalsOwed;                 // keys whose removal the store has not confirmed
        std::map<std::string, PasswordNews> removalTrouble; // refused or unanswered removals
        std::uint64_t writes = 0; // writes begun; only the last one's outcome stands
        std::uint64_t removes = 0;
        std::map<std::string, std::uint64_t> lastRemoves; // the last removal asked of each key
        // Reads asked, writes begun and passwords forgotten: only the last read's answer stands.
        std::uint64_t reads = 0;
        std::map<std::string, std::uint64_t> lastWrites; // the last write begun to each key
        std::map<std::uint64_t, std::string> waiting;    // writes not answered yet, and their keys
        std::set<std::uint64_t> forgotten;               // waiting writes whose password was forgotten since
        std::vector<PasswordListener> listeners;
        void tell(PasswordNews news) const;
        // Kept, NotKept or KeepNotKnown of the key: noted, kept in the user defaults (a refusal only
        // where a store answers: where none does, the next start says so by itself), told.
        void keepIs(const std::string& key, PasswordNews news, bool answers);
        // The refusal, and whether the key's keep is still not known, as the next start is to read them.
        void keepOnDisk(const std::string& key, bool refused, bool unknown);
        // Adds or takes `key` out of the list of keys under `name`, merged with the file's list.
        void listOnDisk(std::string_view name, const std::string& key, bool on);
        // The keys of the remembered entries, what a bare true from an earlier version stood for.
        std::vector<std::string> legacyKeys;
    };
    void writeSecret(const std::string& key, const std::string& secret);
    // Takes the password out of the store, and out again if a keep still waiting keeps it.
    void forget(const std::string& key);
    // Asks the store to take the key's password out; owed in the user defaults until it confirms.
    static void removeSecret(const std::shared_ptr<SecretState>& state, SecretStore& secrets,
                             const std::string& key);
    // The key of the mode's remembered user; nullopt when none is remembered.
    std::optional<std::string> entryKey(std::string_view mode) const;
    std::shared_ptr<SecretState> secretState_;
};

} // namespace tc::gui
