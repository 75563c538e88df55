#include "platform/bundle.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace tc::platform {
namespace {

std::mutex& rootMutex() {
    static std::mutex m;
    return m;
}

std::filesystem::path& overrideRoot() {
    static std::filesystem::path root;
    return root;
}

std::filesystem::path defaultRoot() {
    if (const char* env = std::getenv("TC_RESOURCES"); env && *env)
        return env;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto installed = exe.parent_path().parent_path() / "share" / "tradeclient" / "resources";
        if (std::filesystem::is_directory(installed, ec))
            return installed;
    }
    return TC_SOURCE_RESOURCES;
}

} // namespace

std::filesystem::path Bundle::resourcesRoot() {
    std::lock_guard lock(rootMutex());
    if (!overrideRoot().empty())
        return overrideRoot();
    static const std::filesystem::path root = defaultRoot();
    return root;
}

void Bundle::setResourcesRoot(const std::filesystem::path& root) {
    std::lock_guard lock(rootMutex());
    overrideRoot() = root;
}

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name, std::string_view type) {
    std::string file(name);
    if (!type.empty()) {
        file += '.';
        file += type;
    }
    // Resource names come from our own code, but keep lookups inside the bundle regardless.
    if (file.find('/') != std::string::npos || name.empty() || name == "..")
        return std::nullopt;
    auto path = resourcesRoot() / file;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    return path;
}

std::optional<std::filesystem::path> Bundle::localizationFolder(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos || name == "..")
        return std::nullopt;
    auto path = resourcesRoot() / (std::string(name) + ".lproj");
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec))
        return std::nullopt;
    return path;
}

std::string Bundle::shortVersionString() {
    return TC_VERSION;
}

} // namespace tc::platform
