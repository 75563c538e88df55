#include "resources/resource_files.h"

#include "platform/base64.h"
#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/data_additions.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace tc::resources {
namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr std::string_view kCalendarMark = ".ics";

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

SafeName safeBaseName(std::string_view name) {
    SafeName out;
    if (name.empty())
        out.error = "the file name is empty";
    else if (name == "." || name == "..")
        out.error = "the file name is a folder reference";
    else if (name.size() > kMaxNameBytes)
        out.error = "the file name is longer than " + std::to_string(kMaxNameBytes) + " bytes";
    else if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos)
        out.error = "the file name holds a path separator or NUL";
    else if (!platform::isValidUtf8(name))
        out.error = "the file name is not UTF-8 text";
    else {
        for (char c : name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                out.error = "the file name holds a control character";
    }
    if (out.ok())
        out.name = std::string(name);
    return out;
}

std::optional<std::filesystem::path> FileManager::getPathForDirectory(std::string_view folderName) {
    std::filesystem::path base;
    // Relative values are invalid by the XDG rules and ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        base = std::filesystem::path(home) / ".local" / "share";
    else
        return std::nullopt;
    return base / "tradeclient" / std::string(folderName);
}

bool FileManager::createDirectoryAtPath(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return std::filesystem::is_directory(path, ec);
    std::filesystem::create_directories(path, ec);
    if (ec) {
        platform::Log::error("Create directory error: {}: {}", path.string(), ec.message());
        return false;
    }
    return true;
}

std::filesystem::path FileManager::getPathForFile(std::string_view fileName,
                                                  const std::filesystem::path& parent) {
    return parent / std::string(fileName);
}

bool FileManager::fileExistsAtPath(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

bool FileManager::saveFileAtPath(const std::filesystem::path& path, std::string_view text) {
    if (fileExistsAtPath(path))
        return false;
    // A short temporary name: the final name may already be as long as a name can be.
    std::string temp = (path.parent_path() / ".tc-download-XXXXXX").string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        platform::Log::error("Write file error: {}: {}", path.string(), std::strerror(errno));
        return false;
    }
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // link() refuses an existing target, so a file that appeared meanwhile is kept as it is.
    if (ok && ::link(temp.c_str(), path.c_str()) != 0)
        ok = false;
    const int saved = errno;
    ::unlink(temp.c_str());
    if (!ok)
        platform::Log::error("Write file error: {}: {}", path.string(), std::strerror(saved));
    return ok;
}

std::optional<std::string> decodeResourcePayload(std::string_view base64, std::string* error) {
    const auto fail = [&](std::string reason) -> std::optional<std::string> {
        if (error)
            *error = std::move(reason);
        return std::nullopt;
    };
    const auto bytes = platform::Base64::decodeBase64WithString(base64);
    if (!bytes)
        return fail("the payload is not Base64 text");
    if (bytes->size() < NSDataAdditions::kPayloadPrefixLength)
        return fail("the payload is shorter than its prefix");
    const auto inflated = NSDataAdditions::gzipInflateSkippingPrefix(*bytes, kMaxResourceBytes);
    if (!inflated)
        return fail("the payload does not inflate within " + std::to_string(kMaxResourceBytes) + " bytes");
    std::string text(inflated->begin(), inflated->end());
    if (!platform::isValidUtf8(text))
        return fail("the file is not UTF-8 text");
    return text;
}

std::optional<ResourceStore> ResourceStore::standard() {
    auto folder = FileManager::getPathForDirectory("Resources");
    if (!folder)
        return std::nullopt;
    return ResourceStore(std::move(*folder));
}

std::vector<std::string> ResourceStore::missingFiles(const std::vector<std::string>& resultNames,
                                                     std::string_view text) const {
    std::vector<std::string> missing;
    if (text.empty())
        return missing;
    for (const std::string& name : resultNames) {
        if (name.find(text) == std::string::npos || !safeBaseName(name).ok())
            continue;
        if (!FileManager::fileExistsAtPath(FileManager::getPathForFile(name, folder_)))
            missing.push_back(name);
    }
    return missing;
}

bool ResourceStore::checkFilesDownloaded(const std::vector<std::string>& resourceKeys) const {
    for (const std::string& key : resourceKeys) {
        if (key.find(kCalendarMark) == std::string::npos || !safeBaseName(key).ok())
            continue;
        if (!FileManager::fileExistsAtPath(FileManager::getPathForFile(key, folder_)))
            return false;
    }
    return true;
}

ResourceStore::Saved ResourceStore::saveFileWithName(std::string_view name, std::string_view text,
                                                     const std::vector<std::string>& resourceKeys) {
    Saved saved;
    const SafeName safe = safeBaseName(name);
    if (!safe.ok()) {
        saved.error = safe.error;
        return saved;
    }
    if (!FileManager::createDirectoryAtPath(folder_)) {
        saved.error = "the resources folder cannot be made";
        return saved;
    }
    const auto path = FileManager::getPathForFile(safe.name, folder_);
    if (!FileManager::fileExistsAtPath(path)) {
        saved.written = FileManager::saveFileAtPath(path, text);
        if (!saved.written) {
            saved.error = "the file cannot be written";
            return saved;
        }
    }
    if (safe.name.find(kCalendarMark) == std::string::npos)
        return saved;
    if (merged_.size() + text.size() > kMaxResourceBytes) {
        platform::Log::warning("calendar {} left out of the merged calendar: over {} bytes", safe.name,
                               kMaxResourceBytes);
    } else {
        merged_ += text;
    }
    if (checkFilesDownloaded(resourceKeys)) {
        FileManager::saveFileAtPath(FileManager::getPathForFile(kMergedCalendarName, folder_), merged_);
        saved.downloadCompleted = true;
        merged_.clear();
    }
    return saved;
}

} // namespace tc::resources
