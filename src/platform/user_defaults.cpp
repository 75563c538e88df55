#include "platform/user_defaults.h"

#include "platform/log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tc::platform {
namespace {

std::string systemMessage(int err) {
    return std::error_code(err, std::generic_category()).message();
}

SettingsTrouble::Cause causeOf(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
        return SettingsTrouble::Cause::NoPermission;
    case EROFS:
        return SettingsTrouble::Cause::ReadOnly;
    case ENOSPC:
    case EDQUOT:
        return SettingsTrouble::Cause::DiskFull;
    case ENOTDIR:
    case EEXIST:
        return SettingsTrouble::Cause::NotAFolder;
    default:
        return SettingsTrouble::Cause::Other;
    }
}

// What reading the settings file found. It is opened without blocking and read only when it is a
// regular file: a named pipe or a device in its place must never hold the start-up.
struct FileBytes {
    enum class Outcome { Missing, Read, NotRegular, TooLarge, CannotOpen };
    Outcome outcome = Outcome::Missing;
    std::string bytes;
    int error = 0;
    std::uintmax_t size = 0;
};

FileBytes readSettingsFile(const std::filesystem::path& file, std::uintmax_t maxBytes) {
    FileBytes out;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        out.error = errno;
        if (out.error != ENOENT && out.error != ENOTDIR)
            out.outcome = FileBytes::Outcome::CannotOpen;
        return out;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        out.error = errno;
        out.outcome = FileBytes::Outcome::CannotOpen;
    } else if (!S_ISREG(st.st_mode)) {
        out.outcome = FileBytes::Outcome::NotRegular;
    } else if (out.size = static_cast<std::uintmax_t>(st.st_size); out.size > maxBytes) {
        // Refused by its size before a byte is read: a huge file must not cost the memory of reading it.
        out.outcome = FileBytes::Outcome::TooLarge;
    } else {
        out.outcome = FileBytes::Outcome::Read;
        char buf[65536];
        // At most one byte past the cap, so a file growing meanwhile is refused without reading it all.
        while (out.bytes.size() <= maxBytes) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                out.error = errno;
                out.outcome = FileBytes::Outcome::CannotOpen;
                break;
            }
            if (n == 0)
                break;
            out.bytes.append(buf, static_cast<std::size_t>(n));
        }
        if (out.outcome == FileBytes::Outcome::Read && out.bytes.size() > maxBytes) {
            out.size = out.bytes.size();
            out.outcome = FileBytes::Outcome::TooLarge;
        }
    }
    ::close(fd);
    return out;
}

// Why a change to `file` could not be kept, found by looking at its folders: the first one that is
// there must be a folder this program may write in. nullopt when nothing is wrong there.
std::optional<SettingsTrouble> folderTrouble(const std::filesystem::path& file) {
    std::filesystem::path at = file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(at, ec);
    while (status.type() == std::filesystem::file_type::not_found) {
        if (!at.has_relative_path())
            return std::nullopt;
        at = at.parent_path();
        status = std::filesystem::status(at, ec);
    }
    if (ec)
        return std::nullopt;
    if (!std::filesystem::is_directory(status))
        return SettingsTrouble{SettingsTrouble::Kind::NotSaved, SettingsTrouble::Cause::NotAFolder, file, at,
                               "not a folder"};
    if (::access(at.c_str(), W_OK | X_OK) != 0) {
        const int err = errno;
        const auto cause = err == EACCES || err == EROFS ? SettingsTrouble::Cause::ReadOnly : causeOf(err);
        return SettingsTrouble{SettingsTrouble::Kind::NotSaved, cause, file, at, systemMessage(err)};
    }
    return std::nullopt;
}

// Holds "<file>.lock" while a save reads the file again and replaces it, so two programs on one
// home folder take turns. Never waits: busy() when another program holds it. A lock file that cannot
// be opened or locked at all (a file system without locks) is gone without: the write still reports
// its own failure.
class SaveLock {
public:
    explicit SaveLock(const std::filesystem::path& file) {
        const std::filesystem::path lock = file.string() + ".lock";
        fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return;
        int got = 0;
        while ((got = ::flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        if (got == 0)
            return;
        if (errno == EWOULDBLOCK)
            busy_ = true;
        else
            Log::warning("settings saved without the lock {}: {}", lock.string(), systemMessage(errno));
    }
    ~SaveLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

    bool busy() const { return busy_; }

private:
    int fd_ = -1;
    bool busy_ = false;
};

// How often a save waiting for another program's lock tries again.
constexpr auto kLockRetry = std::chrono::milliseconds(50);

// Temporary files older than this are leftovers of an interrupted write; younger ones may belong to
// another process writing right now.
constexpr auto kStaleTemporaryAge = std::chrono::minutes(5);

std::mutex& standardMutex() {
    static std::mutex m;
    return m;
}

std::filesystem::path& standardOverride() {
    static std::filesystem::path p;
    return p;
}

std::atomic<bool> standardMade{false};

std::string utcStamp() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    return fmt::format("{:04}{:02}{:02}T{:02}{:02}{:02}Z", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       tm.tm_hour, tm.tm_min, tm.tm_sec);
}

// The set-aside copies of a settings file, oldest first. Their names end in a UTC stamp and, for
// more than one within a second, a counter.
struct SetAsideCopy {
    std::filesystem::path path;
    std::string stamp;
    int counter = 0;
};
std::vector<SetAsideCopy> setAsideCopies(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code ec;
    std::vector<SetAsideCopy> copies;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0)
            continue;
        const std::size_t dash = name.find('-', prefix.size());
        copies.push_back({it->path(), name.substr(prefix.size(), dash - std::min(dash, prefix.size())),
                          dash == std::string::npos ? 0 : std::atoi(name.c_str() + dash + 1)});
    }
    std::sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) {
        return std::tie(a.stamp, a.counter) < std::tie(b.stamp, b.counter);
    });
    return copies;
}

void removeStaleTemporaries(const std::filesystem::path& file) {
    std::error_code ec;
    const std::string prefix = PropertyList::temporaryPrefix(file);
    auto dir = file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    std::filesystem::directory_iterator it(dir, ec), end;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (; !ec && it != end; it.increment(ec)) {
        const auto name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::error_code tec;
        auto written = std::filesystem::last_write_time(it->path(), tec);
        if (tec || now - written < kStaleTemporaryAge)
            continue;
        if (std::filesystem::remove(it->path(), tec))
            Log::info("removed the leftover of an interrupted settings write: {}", it->path().string());
    }
}

// The changes a program could not save at quit, beside the file: "<file name>.unsaved-<stamp>-<pid>".
std::string asidePrefix(const std::filesystem::path& file) {
    return file.filename().string() + ".unsaved-";
}

std::optional<PlistValue> partOf(const PlistDictionary& dictionary, std::string_view key) {
    const PlistValue* v = dictionary.find(key);
    return v ? std::optional(*v) : std::nullopt;
}

using ListMerge = UserDefaults::ListMerge;

// How a kept-aside change says what its key's lists are.
constexpr std::string_view kListsField = "Lists";
constexpr std::string_view kPlacesLists = "Places";
constexpr std::string_view kMemberLists = "Members";

// A change kept aside at quit, made again on the value the file has now: what the change did to
// `base` (the value it was made over) to give `result` goes onto `now`, and the parts another
// program changed meanwhile stay. Where the file no longer holds the base, another program saved
// over it after this one last read it: that later value on disk stands. `lists` says whether the
// lists are members or places; a change that does not say (a whole set, or one kept aside before
// changes said it) is taken for places where all three keep one length.
std::optional<PlistValue> mergeChange(std::optional<PlistValue> now, const std::optional<PlistValue>& base,
                                      const std::optional<PlistValue>& result,
                                      std::optional<ListMerge> lists) {
    if (now == base)
        return result;
    if (base == result)
        return now;
    if (!now || !base || !result)
        return now;
    if (now->isDictionary() && base->isDictionary() && result->isDictionary()) {
        const PlistDictionary& was = *base->dictionary();
        const PlistDictionary& became = *result->dictionary();
        PlistDictionary merged = *now->dictionary();
        std::vector<std::string> keys;
        for (const auto& [key, value] : was)
            keys.push_back(key);
        for (const auto& [key, value] : became)
            if (!was.contains(key))
                keys.push_back(key);
        for (const std::string& key : keys) {
            const auto from = partOf(was, key);
            const auto to = partOf(became, key);
            if (from == to)
                continue;
            if (auto part = mergeChange(partOf(merged, key), from, to, lists))
                merged.set(key, *std::move(part));
            else
                merged.erase(key);
        }
        return PlistValue(std::move(merged));
    }
    if (now->isArray() && base->isArray() && result->isArray()) {
        const PlistArray& current = *now->array();
        const PlistArray& was = *base->array();
        const PlistArray& became = *result->array();
        const auto holds = [](const PlistArray& array, const PlistValue& item) {
            return std::find(array.begin(), array.end(), item) != array.end();
        };
        PlistArray merged;
        const bool sameLength = current.size() == was.size() && was.size() == became.size();
        if (sameLength && lists.value_or(ListMerge::Places) == ListMerge::Places) {
            // Places (the chart slots): each place changed takes its new value.
            merged = current;
            for (std::size_t i = 0; i < was.size(); ++i)
                if (!(was[i] == became[i]))
                    merged[i] = became[i];
        } else {
            // Members (hidden columns): those taken out go, those put in come, once.
            for (const PlistValue& item : current)
                if (!holds(was, item) || holds(became, item))
                    merged.push_back(item);
            for (const PlistValue& item : became)
                if (!holds(was, item) && !holds(merged, item))
                    merged.push_back(item);
        }
        return PlistValue(std::move(merged));
    }
    return now;
}

} // namespace

UserDefaults::UserDefaults() = default;

UserDefaults::UserDefaults(std::filesystem::path file) : path_(std::move(file)) {
    bool aside = false;
    {
        std::lock_guard lock(mutex_);
        loadLocked();
        aside = !asideFiles_.empty();
    }
    // Changes an earlier run kept aside go into the file now, under the lock, or once it lets go.
    if (aside)
        synchronize();
}

UserDefaults::~UserDefaults() {
    {
        std::lock_guard lock(saverMutex_);
        saverStopping_ = true;
    }
    saverWake_.notify_all();
    if (saver_.joinable())
        saver_.join();
}

std::optional<std::filesystem::path> UserDefaults::defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    // Relative values are invalid by the XDG rules and ignored.
    if (xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        base = std::filesystem::path(home) / ".config";
    else
        return std::nullopt;
    return base / "tradeclient" / "defaults.plist";
}

UserDefaults& UserDefaults::standard() {
    // Never destroyed: other static objects may still use it while the program exits.
    static UserDefaults* instance = [] {
        std::lock_guard lock(standardMutex());
        auto file = standardOverride().empty() ? defaultPath() : std::optional(standardOverride());
        standardMade = true;
        if (!file)
            Log::warning("no home folder; settings are kept in memory only");
        return file ? new UserDefaults(*file) : new UserDefaults();
    }();
    return *instance;
}

void UserDefaults::setStandardPath(const std::filesystem::path& file) {
    {
        std::lock_guard lock(standardMutex());
        standardOverride() = file;
        if (!standardMade)
            return;
    }
    standard().reopen(file.empty() ? defaultPath() : std::optional(file));
}

void UserDefaults::reopen(std::optional<std::filesystem::path> file) {
    bool aside = false;
    {
        std::lock_guard writeLock(writeMutex_);
        std::lock_guard lock(mutex_);
        path_ = std::move(file);
        values_.clear();
        changed_.clear();
        trouble_.reset();
        loadTrouble_.reset();
        generation_ = savedGeneration_ = 0;
        writable_ = true;
        saveFailureLogged_ = false;
        troubleSaid_.reset();
        asideFiles_.clear();
        loadLocked();
        aside = !asideFiles_.empty();
    }
    if (aside)
        synchronize();
}

void UserDefaults::loadLocked() {
    loadFileLocked();
    // A file left alone at load is never written, and neither are the changes kept aside for it.
    if (path_ && writable_)
        loadAsideLocked(*path_);
}

void UserDefaults::loadFileLocked() {
    if (!path_)
        return;
    const auto& file = *path_;
    removeStaleTemporaries(file);
    FileBytes got = readSettingsFile(file, kMaxFileBytes);
    switch (got.outcome) {
    case FileBytes::Outcome::Missing:
        trouble_ = folderTrouble(file);
        return;
    case FileBytes::Outcome::CannotOpen:
        // Not known to be broken (another user's file, a folder that may not be searched): left where
        // it is, never replaced; this session's changes live in memory.
        writable_ = false;
        loadTrouble_ = SettingsTrouble{SettingsTrouble::Kind::CannotOpen,
                                       causeOf(got.error) == SettingsTrouble::Cause::NoPermission
                                           ? SettingsTrouble::Cause::NoPermission
                                           : SettingsTrouble::Cause::Other,
                                       file, file, systemMessage(got.error)};
        Log::warning("cannot open the settings file {}: {}; it is left as it is, and changes are kept only "
                     "until the program quits",
                     file.string(), systemMessage(got.error));
        return;
    case FileBytes::Outcome::NotRegular:
        setAsideLocked(file, "not a regular file");
        return;
    case FileBytes::Outcome::TooLarge:
        setAsideLocked(
            file, fmt::format("{} bytes, over the {} a settings file may have", got.size, kMaxFileBytes));
        return;
    case FileBytes::Outcome::Read:
        break;
    }
    PlistLimits limits;
    limits.maxBytes = kMaxFileBytes;
    auto read = PropertyList::readBytes(got.bytes, limits);
    if (read && read.value().isDictionary()) {
        values_ = *std::move(read).value().dictionary();
        trouble_ = folderTrouble(file);
        return;
    }
    // An earlier version wrote bytes that are not UTF-8, U+FFFE and U+FFFF as they came: such a file is
    // read with them as U+FFFD and written back clean, whole, at the next save.
    if (!read) {
        if (auto repaired = PropertyList::readBytes(PropertyList::repairedText(got.bytes), limits);
            repaired && repaired.value().isDictionary()) {
            Log::warning("settings file {} held text that is not XML ({}); read with U+FFFD in its place",
                         file.string(), read.error());
            values_ = *std::move(repaired).value().dictionary();
            for (const auto& [key, value] : values_)
                markChangedLocked(key);
            trouble_ = folderTrouble(file);
            return;
        }
    }
    setAsideLocked(file, read ? std::string("the top level is not a dictionary") : read.error());
}

void UserDefaults::setAsideLocked(const std::filesystem::path& file, const std::string& reason) {
    std::error_code ec;
    // Keep the unreadable file for inspection under a name of its own, never overwrite it.
    const std::string prefix = file.filename().string() + ".corrupt-";
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    const std::string stamp = utcStamp();
    // Past every copy of this second, never in a gap an old copy's removal left: names keep their age.
    int counter = 0;
    for (const SetAsideCopy& copy : setAsideCopies(folder, prefix))
        if (copy.stamp == stamp)
            counter = std::max(counter, copy.counter + 1);
    const auto named = [&](int n) { return folder / (prefix + stamp + (n ? "-" + std::to_string(n) : "")); };
    auto aside = named(counter);
    for (int tries = 0; std::filesystem::exists(aside, ec) && tries < 1000; ++tries)
        aside = named(++counter);
    std::filesystem::rename(file, aside, ec);
    if (ec) {
        writable_ = false;
        loadTrouble_ = SettingsTrouble{SettingsTrouble::Kind::NotSetAside, causeOf(ec.value()), file, folder,
                                       ec.message()};
        Log::warning("settings file {} is unreadable ({}) and could not be set aside ({}); starting with "
                     "empty settings that will not be saved",
                     file.string(), reason, ec.message());
        return;
    }
    Log::warning("settings file {} is unreadable ({}); set aside as {}, starting with empty settings",
                 file.string(), reason, aside.string());
    loadTrouble_ = SettingsTrouble{SettingsTrouble::Kind::SetAside, SettingsTrouble::Cause::Damaged, file,
                                   aside, reason};
    trouble_ = folderTrouble(file);
    // Only the newest copies stay: a file that keeps going bad must not fill the folder.
    const std::vector<SetAsideCopy> copies = setAsideCopies(folder, prefix);
    for (std::size_t i = 0; i + kCorruptCopiesKept < copies.size(); ++i)
        std::filesystem::remove(copies[i].path, ec);
}

void UserDefaults::markChangedLocked(std::string_view key, const std::optional<PlistValue>* before) {
    auto [it, fresh] = changed_.try_emplace(std::string(key));
    Pending& pending = it->second;
    if (fresh && before) {
        pending.base = *before;
        pending.based = true;
    }
    pending.whole = true;
    pending.edits.clear();
    ++generation_;
}

void UserDefaults::edit(std::string_view key, Edit edit, ListMerge lists) {
    std::lock_guard lock(mutex_);
    editLocked(key, std::move(edit), lists);
}

void UserDefaults::editLocked(std::string_view key, Edit edit, std::optional<ListMerge> lists) {
    const PlistValue* v = values_.find(key);
    std::optional<PlistValue> before = v ? std::optional(*v) : std::nullopt;
    if (auto changed = edit(before))
        values_.set(std::string(key), *std::move(changed));
    else
        values_.erase(key);
    Pending& pending = changed_.try_emplace(std::string(key)).first->second;
    if (lists)
        pending.lists = lists;
    if (!pending.whole) {
        if (pending.edits.empty() && !pending.based) {
            pending.base = std::move(before);
            pending.based = true;
        }
        pending.edits.push_back(std::move(edit));
    }
    ++generation_;
}

void UserDefaults::dropAsideLocked() {
    std::error_code ec;
    for (const std::filesystem::path& aside : asideFiles_)
        std::filesystem::remove(aside, ec);
    asideFiles_.clear();
}

void UserDefaults::loadAsideLocked(const std::filesystem::path& file) {
    const std::string prefix = asidePrefix(file);
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // A write of one that was cut short leaves a temporary file, never the file itself.
        if (name.rfind(prefix, 0) == 0 && name.find(".tmp-") == std::string::npos)
            found.push_back(it->path());
    }
    // Oldest first (the names begin with their stamp): a later run's change goes over an earlier's.
    std::sort(found.begin(), found.end());
    for (const std::filesystem::path& aside : found) {
        const FileBytes got = readSettingsFile(aside, kMaxFileBytes);
        PlistLimits limits;
        limits.maxBytes = kMaxFileBytes;
        auto read = got.outcome == FileBytes::Outcome::Read ? PropertyList::readBytes(got.bytes, limits)
                                                            : PlistResult::failure("not read");
        if (!read || !read.value().isDictionary()) {
            Log::warning("the settings kept aside in {} cannot be read; left as they are", aside.string());
            continue;
        }
        const PlistDictionary& changes = *read.value().dictionary();
        std::size_t count = 0;
        if (const PlistValue* set = changes.find("Set"); set && set->isDictionary())
            for (const auto& [key, value] : *set->dictionary()) {
                values_.set(key, value);
                markChangedLocked(key);
                ++count;
            }
        if (const PlistValue* removed = changes.find("Removed"); removed && removed->isArray())
            for (const PlistValue& key : *removed->array())
                if (key.isString()) {
                    values_.erase(*key.string());
                    markChangedLocked(*key.string());
                    ++count;
                }
        if (const PlistValue* edited = changes.find("Edited"); edited && edited->isDictionary())
            for (const auto& [key, change] : *edited->dictionary()) {
                if (!change.isDictionary())
                    continue;
                std::optional<ListMerge> lists;
                if (const auto said = partOf(*change.dictionary(), kListsField); said && said->isString())
                    lists = *said->string() == kPlacesLists ? ListMerge::Places : ListMerge::Members;
                editLocked(
                    key,
                    [base = partOf(*change.dictionary(), "Base"),
                     result = partOf(*change.dictionary(), "Result"), lists](std::optional<PlistValue> now) {
                        return mergeChange(std::move(now), base, result, lists);
                    },
                    lists);
                ++count;
            }
        Log::info("took in the changes to {} settings kept aside in {}", count, aside.string());
        asideFiles_.push_back(aside);
    }
}

void UserDefaults::set(std::string_view key, PlistValue value) {
    std::lock_guard lock(mutex_);
    const std::optional<PlistValue> before = partOf(values_, key);
    values_.set(std::string(key), std::move(value));
    markChangedLocked(key, &before);
}

void UserDefaults::setStringArray(std::string_view key, const std::vector<std::string>& values) {
    PlistArray array(values.begin(), values.end());
    set(key, PlistValue(std::move(array)));
}

void UserDefaults::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    const std::optional<PlistValue> before = partOf(values_, key);
    if (values_.erase(key))
        markChangedLocked(key, &before);
}

std::optional<PlistValue> UserDefaults::objectForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    return v ? std::optional(*v) : std::nullopt;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    return v ? v->asInt() : 0;
}

bool UserDefaults::boolForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    return v && v->asBool();
}

double UserDefaults::doubleForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    return v ? v->asDouble() : 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    return v ? v->asString() : std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    if (!v || !v->isArray())
        return std::nullopt;
    std::vector<std::string> out;
    for (const auto& item : *v->array()) {
        if (!item.isString())
            return std::nullopt;
        out.push_back(*item.string());
    }
    return out;
}

std::optional<PlistData> UserDefaults::dataForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    return v && v->isData() ? std::optional(*v->data()) : std::nullopt;
}

std::optional<PlistDictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const PlistValue* v = values_.find(key);
    return v && v->isDictionary() ? std::optional(*v->dictionary()) : std::nullopt;
}

PlistDictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_;
}

std::optional<std::filesystem::path> UserDefaults::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

std::optional<SettingsTrouble> UserDefaults::loadTrouble() const {
    std::lock_guard lock(mutex_);
    return loadTrouble_;
}

std::optional<SettingsTrouble> UserDefaults::trouble() const {
    std::lock_guard lock(mutex_);
    return trouble_;
}

void UserDefaults::setTroubleHandler(TroubleHandler handler) {
    std::lock_guard lock(handlerMutex_);
    troubleHandler_ = std::move(handler);
}

bool UserDefaults::saveFailed(SettingsTrouble trouble, const std::string& reason) {
    bool tell = false;
    {
        std::lock_guard lock(mutex_);
        trouble_ = trouble;
        // Once per kind of failure, not at every retry: the details (the system's words) may differ.
        tell = !troubleSaid_ || troubleSaid_->kind != trouble.kind || troubleSaid_->cause != trouble.cause ||
               troubleSaid_->where != trouble.where;
        if (tell)
            troubleSaid_ = trouble;
        if (!std::exchange(saveFailureLogged_, true) || tell)
            Log::warning("settings not saved: {}", reason);
    }
    if (tell)
        tellTrouble(trouble);
    return false;
}

void UserDefaults::tellTrouble(const std::optional<SettingsTrouble>& trouble) {
    std::lock_guard lock(handlerMutex_);
    if (troubleHandler_)
        troubleHandler_(trouble);
}

bool UserDefaults::synchronize() {
    switch (save()) {
    case SaveOutcome::Saved:
        return true;
    case SaveOutcome::Failed:
        return false;
    case SaveOutcome::LockBusy:
        deferSave();
        return true;
    }
    return false;
}

bool UserDefaults::waitForPendingSave(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(saverMutex_);
    while (saveDeferred_ && std::chrono::steady_clock::now() < until) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        lock.lock();
    }
    return !saveDeferred_;
}

bool UserDefaults::finishSaves(std::chrono::milliseconds limit) {
    synchronize();
    const bool saved = waitForPendingSave(limit);
    {
        std::lock_guard lock(saverMutex_);
        saverStopping_ = true;
    }
    saverWake_.notify_all();
    if (saver_.joinable())
        saver_.join();
    {
        std::lock_guard lock(mutex_);
        if (changed_.empty())
            return saved;
    }
    return keepAside();
}

bool UserDefaults::keepAside() {
    PlistDictionary set;
    PlistArray removed;
    PlistDictionary edited;
    std::filesystem::path file;
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        count = changed_.size();
        if (!path_ || !writable_) {
            Log::warning("changes to {} settings left unsaved at quit", count);
            return false;
        }
        for (const auto& [key, pending] : changed_) {
            const PlistValue* v = values_.find(key);
            // A whole change without the value it was made over (one an earlier run kept aside
            // the old way) still goes whole.
            if (pending.whole && !pending.based) {
                if (v)
                    set.set(key, *v);
                else
                    removed.emplace_back(key);
                continue;
            }
            PlistDictionary change;
            if (pending.base)
                change.set("Base", *pending.base);
            if (v)
                change.set("Result", *v);
            if (pending.lists)
                change.set(std::string(kListsField),
                           PlistValue(std::string(*pending.lists == ListMerge::Places ? kPlacesLists
                                                                                      : kMemberLists)));
            edited.set(key, PlistValue(std::move(change)));
        }
        file = *path_;
    }
    // Written without the lock, to a file of this program's own: the lock is what it could not get.
    const std::filesystem::path aside =
        file.string() + ".unsaved-" + utcStamp() + "-" + std::to_string(::getpid());
    const PlistDictionary changes{{"Set", PlistValue(std::move(set))},
                                  {"Removed", PlistValue(std::move(removed))},
                                  {"Edited", PlistValue(std::move(edited))}};
    if (auto st = PropertyList::writeFile(aside, PlistValue(changes)); !st) {
        Log::warning("changes to {} settings left unsaved at quit: they could not be kept aside in {}: {}",
                     count, aside.string(), st.error);
        return false;
    }
    Log::warning("changes to {} settings could not be saved at quit; kept in {} for the next start", count,
                 aside.string());
    std::lock_guard lock(mutex_);
    changed_.clear();
    savedGeneration_ = generation_;
    return true;
}

void UserDefaults::deferSave() {
    std::lock_guard lock(saverMutex_);
    if (saverStopping_)
        return;
    if (!saveDeferred_) {
        saveDeferred_ = true;
        deferredSince_ = std::chrono::steady_clock::now();
    }
    ++deferrals_;
    if (!saver_.joinable())
        saver_ = std::thread([this] { runSaver(); });
    saverWake_.notify_all();
}

void UserDefaults::runSaver() {
    std::unique_lock lock(saverMutex_);
    while (!saverStopping_) {
        if (!saveDeferred_) {
            saverWake_.wait(lock);
            continue;
        }
        if (saverWake_.wait_for(lock, kLockRetry, [this] { return saverStopping_; }))
            break;
        const auto since = deferredSince_;
        const std::uint64_t deferrals = deferrals_;
        lock.unlock();
        const SaveOutcome outcome = save();
        if (outcome == SaveOutcome::LockBusy && std::chrono::steady_clock::now() - since >= kLockWait) {
            std::filesystem::path file;
            {
                std::lock_guard values(mutex_);
                file = path_.value_or(std::filesystem::path());
            }
            const std::filesystem::path lockFile = file.string() + ".lock";
            saveFailed({SettingsTrouble::Kind::NotSaved, SettingsTrouble::Cause::Locked, file, lockFile,
                        "held by another program"},
                       fmt::format("another program has held {} for {} s; the changes wait for it",
                                   lockFile.string(), std::chrono::seconds(kLockWait).count()));
        }
        lock.lock();
        if (outcome != SaveOutcome::LockBusy && deferrals == deferrals_)
            saveDeferred_ = false;
    }
}

UserDefaults::SaveOutcome UserDefaults::save() {
    // One writer at a time, so an older snapshot can never land after a newer one.
    std::lock_guard writeLock(writeMutex_);
    std::filesystem::path file;
    std::uint64_t generation = 0;
    // This store's changes since the last write: the value set (nothing for a removed key), or the
    // edits to replay on the file's value.
    struct Change {
        std::string key;
        Pending pending;
        std::optional<PlistValue> value;
    };
    std::vector<Change> changes;
    PlistDictionary whole;
    {
        std::lock_guard lock(mutex_);
        if (!path_) {
            changed_.clear();
            savedGeneration_ = generation_;
            return SaveOutcome::Saved;
        }
        if (!writable_) {
            if (!std::exchange(saveFailureLogged_, true))
                Log::warning("settings not saved: {} was left alone at load", path_->string());
            return SaveOutcome::Failed;
        }
        if (generation_ == savedGeneration_) {
            dropAsideLocked();
            return SaveOutcome::Saved;
        }
        for (auto& [key, pending] : changed_) {
            const PlistValue* v = values_.find(key);
            changes.push_back({key, std::move(pending), v ? std::optional(*v) : std::nullopt});
        }
        changed_.clear();
        whole = values_;
        file = *path_;
        generation = generation_;
    }
    // Changes not written stay pending, before any made meanwhile, for the next save to try again.
    const auto keepPending = [&] {
        std::lock_guard lock(mutex_);
        for (Change& change : changes) {
            auto [it, fresh] = changed_.try_emplace(change.key, std::move(change.pending));
            if (fresh)
                continue;
            // The value before the older change is what both were made over.
            it->second.base = std::move(change.pending.base);
            it->second.based = change.pending.based;
            if (!it->second.lists)
                it->second.lists = change.pending.lists;
            if (it->second.whole)
                continue;
            if (change.pending.whole) {
                // This store's value holds the whole change and every edit since.
                it->second.whole = true;
                it->second.edits.clear();
            } else {
                it->second.edits.insert(it->second.edits.begin(),
                                        std::make_move_iterator(change.pending.edits.begin()),
                                        std::make_move_iterator(change.pending.edits.end()));
            }
        }
    };
    const auto failed = [&](int err, const std::string& reason) {
        keepPending();
        SettingsTrouble trouble{SettingsTrouble::Kind::NotSaved, causeOf(err), file, file.parent_path(),
                                systemMessage(err)};
        if (auto folder = folderTrouble(file);
            folder && (trouble.cause != SettingsTrouble::Cause::DiskFull || !err))
            trouble = *folder;
        saveFailed(std::move(trouble), reason);
        return SaveOutcome::Failed;
    };
    std::error_code ec;
    if (!file.parent_path().empty())
        std::filesystem::create_directories(file.parent_path(), ec);
    if (ec)
        return failed(ec.value(),
                      fmt::format("cannot create {}: {}", file.parent_path().string(), ec.message()));

    PlistDictionary merged;
    {
        SaveLock lock(file);
        if (lock.busy()) {
            keepPending();
            return SaveOutcome::LockBusy;
        }
        // The file as it is now, which another program may have changed since this one read it. One
        // that is gone or cannot be read now is replaced by this program's whole copy, which holds
        // every change: a file removed meanwhile must not leave only the keys just changed.
        const FileBytes got = readSettingsFile(file, kMaxFileBytes);
        bool fromFile = false;
        if (got.outcome == FileBytes::Outcome::Read) {
            PlistLimits limits;
            limits.maxBytes = kMaxFileBytes;
            auto read = PropertyList::readBytes(got.bytes, limits);
            if (!read)
                read = PropertyList::readBytes(PropertyList::repairedText(got.bytes), limits);
            fromFile = read && read.value().isDictionary();
            if (fromFile)
                merged = *std::move(read).value().dictionary();
        }
        if (!fromFile)
            merged = whole;
        for (const Change& change : changes) {
            if (!fromFile)
                break;
            if (change.pending.whole) {
                if (change.value)
                    merged.set(change.key, *change.value);
                else
                    merged.erase(change.key);
                continue;
            }
            const PlistValue* v = merged.find(change.key);
            std::optional<PlistValue> value = v ? std::optional(*v) : std::nullopt;
            for (const Edit& edit : change.pending.edits)
                value = edit(std::move(value));
            if (value)
                merged.set(change.key, *std::move(value));
            else
                merged.erase(change.key);
        }
        if (auto st = PropertyList::writeFile(file, PlistValue(merged)); !st)
            return failed(st.errorNumber, st.error);
    }
    std::unique_lock lock(mutex_);
    // The keys this store left alone read as the file has them now; those changed meanwhile stay.
    for (const auto& [key, pending] : changed_) {
        if (pending.whole) {
            if (const PlistValue* v = values_.find(key))
                merged.set(key, *v);
            else
                merged.erase(key);
            continue;
        }
        const PlistValue* v = merged.find(key);
        std::optional<PlistValue> value = v ? std::optional(*v) : std::nullopt;
        for (const Edit& edit : pending.edits)
            value = edit(std::move(value));
        if (value)
            merged.set(key, *std::move(value));
        else
            merged.erase(key);
    }
    values_ = std::move(merged);
    savedGeneration_ = generation;
    // The changes kept aside by an earlier run are in the file now.
    dropAsideLocked();
    saveFailureLogged_ = false;
    troubleSaid_.reset();
    // What was said (a hold of the lock, a full disk, a folder found unwritable at load) can go.
    if (std::exchange(trouble_, std::nullopt)) {
        lock.unlock();
        tellTrouble(std::nullopt);
    }
    return SaveOutcome::Saved;
}

} // namespace tc::platform
