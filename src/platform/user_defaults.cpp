#include "platform/user_defaults.h"

#include "platform/log.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

namespace tc::platform {
namespace {

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

} // namespace

UserDefaults::UserDefaults() = default;

UserDefaults::UserDefaults(std::filesystem::path file) : path_(std::move(file)) {
    std::lock_guard lock(mutex_);
    loadLocked();
}

UserDefaults::~UserDefaults() = default;

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
    std::lock_guard writeLock(writeMutex_);
    std::lock_guard lock(mutex_);
    path_ = std::move(file);
    values_.clear();
    generation_ = savedGeneration_ = 0;
    writable_ = true;
    loadLocked();
}

void UserDefaults::loadLocked() {
    if (!path_)
        return;
    const auto& file = *path_;
    removeStaleTemporaries(file);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        if (ec) {
            // Cannot even tell whether it is there: do not risk replacing it.
            writable_ = false;
            Log::warning("cannot check the settings file {}: {}; changes will not be saved", file.string(),
                         ec.message());
        }
        return;
    }
    // Refused by its size before a byte is read: a huge file must not cost the memory of reading it.
    if (const std::uintmax_t size = std::filesystem::file_size(file, ec); !ec && size > kMaxFileBytes) {
        setAsideLocked(file,
                       fmt::format("{} bytes, over the {} a settings file may have", size, kMaxFileBytes));
        return;
    }
    PlistLimits limits;
    limits.maxBytes = kMaxFileBytes;
    auto read = PropertyList::readFile(file, limits);
    if (read && read.value().isDictionary()) {
        values_ = *std::move(read).value().dictionary();
        return;
    }
    // An earlier version wrote bytes that are not UTF-8, U+FFFE and U+FFFF as they came: such a file is
    // read with them as U+FFFD and written back clean at the next save.
    if (!read) {
        if (auto repaired = PropertyList::readFileRepairingText(file, limits);
            repaired && repaired.value().isDictionary()) {
            Log::warning("settings file {} held text that is not XML ({}); read with U+FFFD in its place",
                         file.string(), read.error());
            values_ = *std::move(repaired).value().dictionary();
            ++generation_;
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
        Log::warning("settings file {} is unreadable ({}) and could not be set aside ({}); starting with "
                     "empty settings that will not be saved",
                     file.string(), reason, ec.message());
        return;
    }
    Log::warning("settings file {} is unreadable ({}); set aside as {}, starting with empty settings",
                 file.string(), reason, aside.string());
    // Only the newest copies stay: a file that keeps going bad must not fill the folder.
    const std::vector<SetAsideCopy> copies = setAsideCopies(folder, prefix);
    for (std::size_t i = 0; i + kCorruptCopiesKept < copies.size(); ++i)
        std::filesystem::remove(copies[i].path, ec);
}

void UserDefaults::set(std::string_view key, PlistValue value) {
    std::lock_guard lock(mutex_);
    values_.set(std::string(key), std::move(value));
    ++generation_;
}

void UserDefaults::setStringArray(std::string_view key, const std::vector<std::string>& values) {
    PlistArray array(values.begin(), values.end());
    set(key, PlistValue(std::move(array)));
}

void UserDefaults::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key))
        ++generation_;
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

bool UserDefaults::synchronize() {
    // One writer at a time, so an older snapshot can never land after a newer one.
    std::lock_guard writeLock(writeMutex_);
    PlistValue snapshot;
    std::filesystem::path file;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        if (!path_)
            return true;
        if (!writable_) {
            if (!std::exchange(saveFailureLogged_, true))
                Log::warning("settings not saved: {} was left alone at load", path_->string());
            return false;
        }
        if (generation_ == savedGeneration_)
            return true;
        snapshot = PlistValue(values_);
        file = *path_;
        generation = generation_;
    }
    std::error_code ec;
    if (!file.parent_path().empty())
        std::filesystem::create_directories(file.parent_path(), ec);
    const auto failed = [this](const std::string& reason) {
        std::lock_guard lock(mutex_);
        if (!std::exchange(saveFailureLogged_, true))
            Log::warning("settings not saved: {}", reason);
        return false;
    };
    if (ec)
        return failed(fmt::format("cannot create {}: {}", file.parent_path().string(), ec.message()));
    if (auto st = PropertyList::writeFile(file, snapshot); !st)
        return failed(st.error);
    std::lock_guard lock(mutex_);
    savedGeneration_ = generation;
    saveFailureLogged_ = false;
    return true;
}

} // namespace tc::platform
