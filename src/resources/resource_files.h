#pragma once
// The resource files the server's file store publishes: the resources folder under the user's XDG
// data folder, names from the server reduced to safe base names, payloads decoded within a cap, and
// the calendar files merged into one. Files are written once: an existing file is never replaced.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::resources {

// The largest file a download may inflate to, and the largest merged calendar.
inline constexpr std::size_t kMaxResourceBytes = std::size_t{32} << 20;
// The merged calendar's file name.
inline constexpr std::string_view kMergedCalendarName = "calendar_ios.ics";

// A server's file name as a base name inside the resources folder, or why it is refused.
struct SafeName {
    std::string name;
    std::string error; // empty when the name is safe

    bool ok() const { return error.empty(); }
};

// Refuses the empty name, "." and "..", any "/", "\\" or NUL, other control characters, text that is
// not UTF-8 and names longer than a file system takes.
SafeName safeBaseName(std::string_view name);

class FileManager {
public:
    // "<data>/tradeclient/<folder>", where <data> is $XDG_DATA_HOME when it is absolute, else
    // $HOME/.local/share; nullopt when neither is usable.
    static std::optional<std::filesystem::path> getPathForDirectory(std::string_view folderName);
    // Creates the folder with its parents unless something exists there; false (and a logged
    // error) when it cannot.
    static bool createDirectoryAtPath(const std::filesystem::path& path);
    static std::filesystem::path getPathForFile(std::string_view fileName,
                                                const std::filesystem::path& parent);
    static bool fileExistsAtPath(const std::filesystem::path& path);
    // Writes the text once and whole: through a temporary file linked into place, so a reader never
    // sees half a file and an existing file is never overwritten (false then, nothing written).
    static bool saveFileAtPath(const std::filesystem::path& path, std::string_view text);
};

// A download's payload: Base64, four leading bytes that are not read, then a gzip or zlib stream of
// the file's UTF-8 text. nullopt (with the reason) when any step fails or the text passes the cap.
std::optional<std::string> decodeResourcePayload(std::string_view base64, std::string* error = nullptr);

class ResourceStore {
public:
    // The default store: the "Resources" folder of getPathForDirectory.
    static std::optional<ResourceStore> standard();
    explicit ResourceStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path& folder() const { return folder_; }

    // The search results whose name contains `text` and whose file is not in the folder yet: what
    // to download for one listed entry. An empty text matches nothing; unsafe names are left out.
    std::vector<std::string> missingFiles(const std::vector<std::string>& resultNames,
                                          std::string_view text) const;

    // Every calendar key (a key of the login's resource list holding ".ics") has its file here.
    // Keys that cannot name a file here are passed over.
    bool checkFilesDownloaded(const std::vector<std::string>& resourceKeys) const;

    struct Saved {
        std::string error;              // empty when the file is in the folder (new or already there)
        bool written = false;           // the file was written now
        bool downloadCompleted = false; // the merged calendar was due: announce the download complete
    };
    // Stores one downloaded file, its text decoded (decodeResourcePayload). A calendar (".ics" in the
    // name) also joins the merge text; once every calendar key has its file, the merged calendar is
    // written (once) and the merge text starts again.
    Saved saveFileWithName(std::string_view name, std::string_view text,
                           const std::vector<std::string>& resourceKeys);

    const std::string& mergedCalendarData() const { return merged_; }

private:
    std::filesystem::path folder_;
    std::string merged_;
};

} // namespace tc::resources
