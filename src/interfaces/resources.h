#pragma once
// The resource files of a client: searches by type and downloads of what a search found.
#include "interfaces/commands.h"
#include "interfaces/handler.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace interfaces {

// A downloaded resource file: stored (path), or refused (error); calendarMerged when the merged
// calendar was written by it.
struct ResourceStored {
    RequestId id = 0;
    std::string name;
    std::string path;
    std::string error;
    bool calendarMerged = false;
};

class Resources {
public:
    virtual ~Resources() = default;

    // Searches by type ("CAL", "ICO"), whose rows arrive in the data-service collections, and
    // downloads of a found resource by name; the file arrives as a ResourceStored event.
    virtual RequestId searchResources(std::string_view resourceType) = 0;
    virtual RequestId downloadResource(std::string_view resourceName) = 0;
    // Downloads every file the searches found whose name holds `text` and that is not stored yet (what
    // a listed entry names by its icon id); how many were asked for. An empty text asks for none.
    virtual std::size_t requestFileResourceForExtension(std::string_view text) = 0;

    using StoredFn = std::function<void(const ResourceStored& stored)>;
    virtual std::unique_ptr<Handler> handleResourceStored(StoredFn fn) = 0;
};

} // namespace interfaces
