#pragma once
// The user's settings: a dictionary of property-list values, kept in memory and written to one XML
// property-list file on synchronize(). All operations may be called from any thread.
#include "platform/property_list.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tc::platform {

// Why the settings file could not be read, or why changes to it cannot be kept: what the trader is
// told, beside the log.
struct SettingsTrouble {
    enum class Kind {
        SetAside,    // unreadable: moved to `where`, the store started empty
        NotSetAside, // unreadable and could not be moved away: started empty, nothing is written
        CannotOpen,  // could not be opened: left in place, changes kept in memory only
        NotSaved,    // changes cannot be written
    };
    enum class Cause {
        Damaged,      // content that is no settings list (or no regular file, or too large)
        NoPermission, // the system refused access to `where`
        ReadOnly,     // `where` is a folder that cannot be written to
        DiskFull,
        NotAFolder, // `where` is a file standing where a folder should be
        Locked,     // another program has held the lock file `where` for long: changes wait for it
        Other,      // `detail` has the system's words
    };
    Kind kind = Kind::NotSaved;
    Cause cause = Cause::Other;
    std::filesystem::path file;
    std::filesystem::path where;
    std::string detail;
    friend bool operator==(const SettingsTrouble&, const SettingsTrouble&) = default;
};

class UserDefaults {
public:
    // A store that lives in memory only; synchronize() succeeds without writing anything.
    UserDefaults();
    // A store kept in `file`, loaded now. A file that cannot be read as a dictionary is reported
    // and set aside as "<file>.corrupt-<UTC timestamp>", and the store starts empty.
    explicit UserDefaults(std::filesystem::path file);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    static std::unique_ptr<UserDefaults> inMemory() { return std::make_unique<UserDefaults>(); }

    // A settings file past this size is set aside unread: settings are a few kilobytes.
    static constexpr std::uintmax_t kMaxFileBytes = 4u << 20;
    // Set-aside copies kept beside the file; older ones are removed.
    static constexpr std::size_t kCorruptCopiesKept = 3;

    // The application's store, in $XDG_CONFIG_HOME/tradeclient/defaults.plist (or
    // ~/.config/tradeclient/defaults.plist); memory only when neither folder can be found.
    static UserDefaults& standard();
    // Points the standard store at another file and reloads it, dropping unsaved changes (tests use
    // this); an empty path restores the default location.
    static void setStandardPath(const std::filesystem::path& file);
    static std::optional<std::filesystem::path> defaultPath();

    void set(std::string_view key, PlistValue value);
    void setStringArray(std::string_view key, const std::vector<std::string>& values);
    void remove(std::string_view key);
    // Changes part of a key's value (one slot of several, one column of a list): `edit` takes the
    // value (nullopt when missing) and gives the new one (nullopt removes the key). It is applied now
    // to this store's value and again at the save to the file's, so another program's changes to the
    // other parts stay. Called under the store's lock: it must not use the store.
    using Edit = std::function<std::optional<PlistValue>(std::optional<PlistValue> value)>;
    // What the key's lists are, for a change kept aside at quit, which is merged as a value it was
    // made over and the value it gave (the edit itself is not kept): a set of members (hidden
    // columns: those taken out go, those put in come) or places (chart slots: each place changed
    // takes its new value). A list of members can keep its length through a change.
    enum class ListMerge { Members, Places };
    void edit(std::string_view key, Edit edit, ListMerge lists = ListMerge::Members);

    std::optional<PlistValue> objectForKey(std::string_view key) const;
    // The lenient readings of PlistValue; 0, false, 0.0 when missing.
    std::int64_t integerForKey(std::string_view key) const;
    bool boolForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    // Texts (numbers as their decimal text); nullopt when missing or of another type.
    std::optional<std::string> stringForKey(std::string_view key) const;
    // nullopt when missing, not an array, or holding anything but texts.
    std::optional<std::vector<std::string>> stringArrayForKey(std::string_view key) const;
    std::optional<PlistData> dataForKey(std::string_view key) const;
    std::optional<PlistDictionary> dictionaryForKey(std::string_view key) const;
    PlistDictionary dictionaryRepresentation() const;

    // Writes the keys changed since the last write, merged into the file as it is on disk now (read
    // again under "<file>.lock"), so another program's changes to other keys stay; atomically,
    // through a temporary file in the same folder. The keys this store did not change take the
    // file's values. False (and a warning) when that fails or when the file had to be left alone at
    // load. Never waits for another program: while one holds the lock, the changes stay pending and
    // a thread of the store's saves them once it lets go (true); one held past kLockWait is said as
    // trouble (Locked) until the save gets through.
    bool synchronize();
    // Waits up to `limit` for a save left to that thread (tests); false when one is still pending then.
    bool waitForPendingSave(std::chrono::milliseconds limit);
    // At quit: saves what is pending, a change an earlier failed save left included, waits up to
    // `limit` for another program's lock, then stops the store's thread, so nothing writes while the
    // program ends. Changes still unsaved then (the lock still held) are kept aside, without the
    // lock, in "<file>.unsaved-<UTC stamp>-<process>", which the next store of that file merges in
    // under the lock at load and removes once saved. False (and a warning) when changes are lost.
    bool finishSaves(std::chrono::milliseconds limit);

    // How long another program may hold the lock before the changes waiting for it are said.
    static constexpr auto kLockWait = std::chrono::seconds(2);

    std::optional<std::filesystem::path> path() const;

    // What was wrong with the file at load (SetAside, NotSetAside, CannotOpen); nullopt when it read.
    std::optional<SettingsTrouble> loadTrouble() const;
    // Why changes cannot be kept (NotSaved): found at load by looking at the folders, or by the last
    // save; nullopt while they can. A save that succeeds clears it.
    std::optional<SettingsTrouble> trouble() const;
    // Called on the thread that saved: with the trouble when a save first fails, or fails otherwise
    // than last said (changes that waited for a lock may then meet a full disk); with nullopt when a
    // save succeeds while trouble() was set, so what was said can go. Replaces the last handler; an
    // empty one stops the calls.
    using TroubleHandler = std::function<void(const std::optional<SettingsTrouble>&)>;
    void setTroubleHandler(TroubleHandler handler);

private:
    // A key's change since the last write: set or removed whole (written as this store has it), or
    // edits to replay on the file's value.
    struct Pending {
        bool whole = false;
        std::vector<Edit> edits;
        // The value before the first change since the last write (when `based`): what a change kept
        // aside at quit is merged against.
        std::optional<PlistValue> base;
        bool based = false;
        // How its lists merge when kept aside; none for a key only ever set whole.
        std::optional<ListMerge> lists;
    };
    enum class SaveOutcome { Saved, Failed, LockBusy };

    void reopen(std::optional<std::filesystem::path> file);
    void loadLocked();
    void loadFileLocked();
    void setAsideLocked(const std::filesystem::path& file, const std::string& reason);
    // `before`, when given, is the key's value before this change.
    void markChangedLocked(std::string_view key, const std::optional<PlistValue>* before = nullptr);
    void editLocked(std::string_view key, Edit edit, std::optional<ListMerge> lists);
    // Takes in the changes earlier runs kept aside at quit; they are saved with the next save.
    void loadAsideLocked(const std::filesystem::path& file);
    void dropAsideLocked();
    // Writes the changes still pending at quit beside the file; false when that fails.
    bool keepAside();
    bool saveFailed(SettingsTrouble trouble, const std::string& reason);
    void tellTrouble(const std::optional<SettingsTrouble>& trouble);
    SaveOutcome save();
    void deferSave();
    void runSaver();

    mutable std::mutex mutex_; // guards everything below up to handlerMutex_
    std::mutex writeMutex_;    // orders whole saves
    std::optional<std::filesystem::path> path_;
    PlistDictionary values_;
    std::map<std::string, Pending, std::less<>> changed_; // keys changed since the last write
    std::optional<SettingsTrouble> loadTrouble_;
    std::optional<SettingsTrouble> trouble_;
    std::mutex handlerMutex_;
    TroubleHandler troubleHandler_;
    std::uint64_t generation_ = 0; // bumped by every change
    std::uint64_t savedGeneration_ = 0;
    bool writable_ = true;
    // A failure to save is logged once until a save succeeds again: saves are retried at every change.
    bool saveFailureLogged_ = false;
    // The failure last told to the handler, until a save succeeds.
    std::optional<SettingsTrouble> troubleSaid_;
    // Files of changes kept aside that were taken in at load, removed once a save holds them.
    std::vector<std::filesystem::path> asideFiles_;

    // The thread that saves once another program's lock lets go; started at the first need.
    std::mutex saverMutex_; // guards the five below
    std::condition_variable saverWake_;
    bool saveDeferred_ = false;
    std::uint64_t deferrals_ = 0; // a save left to the thread after it began its own counts anew
    bool saverStopping_ = false;
    std::chrono::steady_clock::time_point deferredSince_;
    std::thread saver_;
};

} // namespace tc::platform
