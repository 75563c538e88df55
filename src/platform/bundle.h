#pragma once
// The application's shipped resources (property lists, string tables, sounds, images).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tc::platform {

class Bundle {
public:
    // Resolution order: setResourcesRoot(), then $TC_RESOURCES, then <exe dir>/resources (the build
    // tree), then <exe dir>/../share/tradeclient (installed). The program never looks in its source tree.
    static std::filesystem::path resourcesRoot();
    // The folder of the running program; empty when it cannot be told.
    static std::filesystem::path executableFolder();
    // Tests point the bundle at a folder of their own; an empty path restores the default.
    static void setResourcesRoot(const std::filesystem::path& root);
    // Counts the changes of setResourcesRoot, so what was looked up under an earlier root is known stale.
    static std::uint64_t rootGeneration();

    // "<root>/<name>.<type>" when that file exists.
    static std::optional<std::filesystem::path> pathForResource(std::string_view name, std::string_view type);
    // "<root>/<name>.lproj" when that folder exists.
    static std::optional<std::filesystem::path> localizationFolder(std::string_view name);

    // The application's version text ("CFBundleShortVersionString").
    static std::string shortVersionString();
};

} // namespace tc::platform
