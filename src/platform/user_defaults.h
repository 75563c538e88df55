#pragma once
// The user's settings: a dictionary of property-list values, kept in memory and written to one XML
// property-list file on synchronize(). All operations may be called from any thread.
#include "platform/property_list.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {

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

    // Writes the store to its file when it has changed since the last write: atomically, through a
    // temporary file in the same folder. False (and a warning) when that fails or when the file had
    // to be left alone at load.
    bool synchronize();

    std::optional<std::filesystem::path> path() const;

private:
    void reopen(std::optional<std::filesystem::path> file);
    void loadLocked();
    void setAsideLocked(const std::filesystem::path& file, const std::string& reason);

    mutable std::mutex mutex_; // guards everything below
    std::mutex writeMutex_;    // orders whole synchronize() calls
    std::optional<std::filesystem::path> path_;
    PlistDictionary values_;
    std::uint64_t generation_ = 0; // bumped by every change
    std::uint64_t savedGeneration_ = 0;
    bool writable_ = true;
    // A failure to save is logged once until a save succeeds again: saves are retried at every change.
    bool saveFailureLogged_ = false;
};

} // namespace tc::platform
