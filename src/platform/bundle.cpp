#include "platform/bundle.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <system_error>

namespace tc::platform {
namespace {

std::mutex& rootMutex() {
    static std::mutex m;
    return m;
}

std::atomic<std::uint64_t>& generation() {
    static std::atomic<std::uint64_t> g{0};
    return g;
}

std::filesystem::path& overrideRoot() {
    static std::filesystem::path root;
    return root;
}

std::filesystem::path defaultRoot() {
    if (const char* env = std::getenv("TC_RESOURCES"); env && *env)
        return env;
    const std::filesystem::path folder = Bundle::executableFolder();
    std::error_code ec;
    if (auto built = folder / "resources"; std::filesystem::is_directory(built, ec))
        return built;
    return folder.parent_path() / "share" / "tradeclient";
}

} // namespace

std::filesystem::path Bundle::executableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

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
    generation().fetch_add(1);
}

std::uint64_t Bundle::rootGeneration() {
    return generation().load();
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
