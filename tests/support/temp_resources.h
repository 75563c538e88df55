#pragma once
// A folder of the test's own, removed with everything in it when the test is done; and a resource
// bundle made in such a folder, installed for the lifetime of one test, so expected texts follow
// from what the test wrote rather than from the shipped tables.
#include "model/text/language_string.h"
#include "platform/bundle.h"
#include "platform/string_table.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tc::testing_support {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tc-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `content` to `name` (folders made as needed) and gives its path.
    std::filesystem::path write(const std::filesystem::path& name, std::string_view content) const {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

private:
    std::filesystem::path path_;
};

class ScopedResources : public TempDir {
public:
    ScopedResources() {
        platform::Bundle::setResourcesRoot(path());
        reset();
    }
    // A first string table for English, the usual need.
    explicit ScopedResources(std::string_view englishTable) : ScopedResources() {
        strings("en", englishTable);
    }
    ~ScopedResources() {
        reset();
        platform::Bundle::setResourcesRoot({});
    }

    // The string table of one language folder ("en", "fr", ...), "key<TAB>text" lines.
    ScopedResources& strings(std::string_view language, std::string_view table) {
        write(std::filesystem::path(std::string(language) + ".lproj") /
                  std::string(platform::StringTable::kFileName),
              table);
        platform::StringTableCache::clear();
        return *this;
    }

private:
    static void reset() {
        platform::StringTableCache::clear();
        LanguageString::setProductLocalizationList({});
    }
};

} // namespace tc::testing_support
